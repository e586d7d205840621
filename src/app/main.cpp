// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop program: the main window over the controller, on a real serial port or, with
// --demo, on the simulated instrument.
#include "archive/sync_worker.h"
#include "link/port_map.h"
#include "link/qt_serial_line.h"
#include "records/history.h"
#include "records/text_codec.h"
#include "simulator/simulated_line.h"
#include "windows/icons.h"
#include "windows/interface_language.h"
#include "windows/main_window.h"
#include "windows/splash_window.h"
#include "windows/start_flow.h"
#include "windows/web_launcher.h"
#include "windows/window_services.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <cstring>
#include <memory>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace {

const char* const Version = VELANTIS_VERSION;

QString Tr(const char* text) {
    return QCoreApplication::translate("velantis::Program", text);
}

QString HelpText() {
    return QCoreApplication::translate(
        "velantis::Program",
        "用法: velantis [选项]\n"
        "三通道无线高压变比测试仪的监视程序。它自己查找仪器所在的串口 (端口 1 到 16)。\n"
        "\n"
        "  --port N=DEVICE    端口 N 是设备 DEVICE (可重复), 例如 3=/dev/ttyUSB0\n"
        "  --demo             用程序内的模拟仪器运行, 作为端口 3\n"
        "  --demo-groups N    模拟仪器存有的组数 (默认 200)\n"
        "  --no-splash        直接打开主窗口, 不显示启动画面\n"
        "  --records PATH     每次读取的数据存入记录数据库 PATH\n"
        "                     (默认: 用户数据文件夹中的 velantis/records.sqlite)\n"
        "  --no-archive       本次运行不保存测试记录\n"
        "  --server CONNINFO  存档的测试同步到部门服务器 (libpq 连接字符串, 记住供下次使用)\n"
        "  --lang zh|en       界面语言: 中文或英文 (默认: 菜单中选定的语言, 否则按系统区域设置)\n"
        "  --version          显示版本\n"
        "  --help             显示本帮助\n");
}

// --help and --version are answered before any window system is touched (without a display the
// application object would abort).
enum class Asked { Nothing, Help, Version };
Asked AskedAtOnce(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0)
            return Asked::Help;
        if (std::strcmp(argv[i], "--version") == 0)
            return Asked::Version;
    }
    return Asked::Nothing;
}

// On Windows velantis.exe is a GUI program and gets no console of its own: what it writes (help,
// version, an error in the arguments) goes to the console of the command prompt that started it,
// unless its output already goes somewhere (a file, a pipe).
void AttachParentConsole() {
#ifdef _WIN32
    if (GetFileType(GetStdHandle(STD_OUTPUT_HANDLE)) != FILE_TYPE_UNKNOWN)
        return;
    if (!AttachConsole(ATTACH_PARENT_PROCESS))
        return; // started from Explorer or a shortcut: nobody to tell
    std::freopen("CONOUT$", "w", stdout);
    std::freopen("CONOUT$", "w", stderr);
#endif
}

int Fail(const QString& message) {
    AttachParentConsole();
    std::fprintf(stderr, "velantis: %s\n", qPrintable(message));
    return 2;
}

int Fail(const QString& message, const QString& hint) {
    return Fail(message + QLatin1Char(' ') + hint);
}

} // namespace

int main(int argc, char** argv) {
    const velantis::LanguageArgument lang = velantis::FindLanguageArgument(argc, argv);
    if (!lang.error.isEmpty())
        return Fail(lang.error);
    const velantis::Language language = velantis::WindowsLanguage(lang.language);
    if (const Asked asked = AskedAtOnce(argc, argv); asked != Asked::Nothing) {
        // The help speaks the windows' language; no window system is needed for it.
        QCoreApplication helper(argc, argv);
        AttachParentConsole();
        velantis::InstallTranslations(language, velantis::WindowCatalogues());
        std::fputs(qPrintable(asked == Asked::Help
                                  ? HelpText()
                                  : QStringLiteral("velantis %1\n").arg(QLatin1String(Version))),
                   stdout);
        return 0;
    }
    // Lists and data files are GBK text: without the codec nothing could be shown or saved.
    if (!velantis::GbkCodecAvailable()) {
        std::fprintf(stderr, "velantis: %s\n", qPrintable(velantis::NoGbkCodecMessage()));
        return velantis::NoGbkCodecExitCode;
    }
    // The plain Unix event dispatcher serves the serial line with less delay than GLib's.
    if (qEnvironmentVariableIsEmpty("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("velantis"));
    QApplication::setApplicationVersion(QString::fromLatin1(Version));
    QApplication::setWindowIcon(velantis::AppIcon());
    // The windows, the report and Qt's own dialogs (files, printer) in the chosen language.
    velantis::InstallTranslations(language, velantis::WindowCatalogues());

    QCommandLineParser parser;
    const QCommandLineOption portOption(QStringLiteral("port"), QString(),
                                        QStringLiteral("N=DEVICE"));
    const QCommandLineOption demoOption(QStringLiteral("demo"));
    const QCommandLineOption groupsOption(QStringLiteral("demo-groups"), QString(),
                                          QStringLiteral("N"));
    const QCommandLineOption noSplashOption(QStringLiteral("no-splash"));
    const QCommandLineOption recordsOption(QStringLiteral("records"), QString(),
                                           QStringLiteral("PATH"));
    const QCommandLineOption noArchiveOption(QStringLiteral("no-archive"));
    const QCommandLineOption serverOption(QStringLiteral("server"), QString(),
                                          QStringLiteral("CONNINFO"));
    const QCommandLineOption langOption(QStringLiteral("lang"), QString(), QStringLiteral("zh|en"));
    parser.addOptions({portOption, demoOption, groupsOption, noSplashOption, recordsOption,
                       noArchiveOption, langOption, serverOption});
    const QString seeHelp = Tr("(见 --help)");
    if (!parser.parse(QApplication::arguments()))
        return Fail(parser.errorText(), seeHelp);
    if (!parser.positionalArguments().isEmpty())
        return Fail(Tr("多余的参数 '%1'").arg(parser.positionalArguments().constFirst()), seeHelp);

    velantis::MainWindowParts parts;
    // lishi.txt: beside a portable program, in the user's data folder for an installed one.
    parts.programFolder = velantis::HistoryFolder(QApplication::applicationDirPath());
    // Every download is kept in the record database unless told otherwise.
    const QString records = parser.isSet(noArchiveOption) ? QString()
                            : parser.isSet(recordsOption) ? parser.value(recordsOption)
                                                          : velantis::Archive::DefaultPath();
    if (parser.isSet(demoOption)) {
        // The simulated instrument is the only device: no system port is searched.
        velantis::SimulatorOptions options;
        if (parser.isSet(groupsOption)) {
            bool ok = false;
            options.storedGroups = parser.value(groupsOption).toInt(&ok);
            if (!ok || options.storedGroups < 0 ||
                options.storedGroups > velantis::AnswerEngine::MaxStoredGroups)
                return Fail(Tr("--demo-groups 需要 0 到 %1 之间的整数")
                                .arg(velantis::AnswerEngine::MaxStoredGroups));
        }
        if (parser.isSet(portOption))
            return Fail(Tr("--demo 不能与 --port 同用"), seeHelp);
        parts.line = std::make_unique<velantis::SimulatedLine>(options);
        parts.ports = std::make_unique<velantis::PortMap>([] { return QStringList(); });
        parts.ports->setOverride(velantis::SimulatedLine::DemoPort,
                                 velantis::SimulatedLine::DeviceName());
    } else {
        parts.line = std::make_unique<velantis::QtSerialLine>();
        parts.ports = std::make_unique<velantis::PortMap>();
        for (const QString& mapping : parser.values(portOption)) {
            const QString error = parts.ports->addPortMapping(mapping);
            if (!error.isEmpty())
                return Fail(error);
        }
    }

    // The port the instrument answered on last time (not the demo's) is searched first.
    const bool rememberPort = !parser.isSet(demoOption);
    if (rememberPort)
        parts.ports->setRememberedPort(velantis::RememberedPort(velantis::ProgramSettings()));

    // The department's server the archived tests are sent to: the one given (remembered for the
    // next start), else the one remembered.
    QString server;
    {
        QSettings settings = velantis::ProgramSettings();
        if (parser.isSet(serverOption))
            velantis::RememberServer(settings, parser.value(serverOption));
        server = velantis::RememberedServer(settings);
    }
    std::unique_ptr<velantis::SyncService> sync;
    if (!server.isEmpty() && !records.isEmpty())
        sync = std::make_unique<velantis::SyncService>(records, server);

    // The splash leads to the main window (made only then, so that the port is opened then) and
    // to the web-page window; Exit of the main window ends the web-page window too.
    velantis::WebLauncher web(velantis::WebLauncher::DefaultProgram(),
                              {QStringLiteral("--lang"), velantis::LanguageCode(language)});
    velantis::StartFlow flow(
        [&] {
            parts.language = language;
            auto* window = new velantis::MainWindow(std::move(parts));
            window->setRecordsPath(records);
            if (sync) {
                window->setSync(sync.get());
                sync->start();
            }
            if (rememberPort)
                QObject::connect(&window->monitor(), &velantis::Monitor::answeredOn, [](int n) {
                    QSettings settings = velantis::ProgramSettings();
                    velantis::RememberPort(settings, n);
                });
            QObject::connect(window, &velantis::MainWindow::exitRequested, &web,
                             &velantis::WebLauncher::stop);
            window->startTimers();
            return window;
        },
        web);
    flow.start(!parser.isSet(noSplashOption));
    return QApplication::exec();
}
