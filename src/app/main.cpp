// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop program: the main window over the controller, on a real serial port or, with
// --demo, on the simulated instrument.
#include "link/port_map.h"
#include "link/qt_serial_line.h"
#include "records/text_codec.h"
#include "simulator/simulated_line.h"
#include "windows/icons.h"
#include "windows/main_window.h"
#include "windows/splash_window.h"
#include "windows/start_flow.h"
#include "windows/web_launcher.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

const char* const Version = VELANTIS_VERSION;

const char* const HelpText =
    "Usage: velantis [options]\n"
    "The monitor of the three-channel wireless high-voltage ratio tester. It finds the\n"
    "instrument's serial port by itself (ports 1 to 16).\n"
    "\n"
    "  --port N=DEVICE    port N is DEVICE (repeatable), e.g. 3=/dev/ttyUSB0\n"
    "  --demo             run against a simulated instrument inside the program, as port 3\n"
    "  --demo-groups N    stored groups the simulated instrument holds (default 200)\n"
    "  --no-splash        start with the main window instead of the splash\n"
    "  --records PATH     keep every download in the record database PATH\n"
    "                     (default: velantis/records.sqlite in the user's data folder)\n"
    "  --no-archive       keep no test records in this run\n"
    "  --version          print the version\n"
    "  --help             show this help\n";

// --help and --version are answered before any window system is touched (without a display the
// application object would abort).
bool AnswersAtOnce(int argc, char** argv, int* exitCode) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(HelpText, stdout);
            *exitCode = 0;
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("velantis %s\n", Version);
            *exitCode = 0;
            return true;
        }
    }
    return false;
}

int Fail(const QString& message) {
    std::fprintf(stderr, "velantis: %s\n", qPrintable(message));
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    int exitCode = 0;
    if (AnswersAtOnce(argc, argv, &exitCode))
        return exitCode;
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
    // Qt's own dialogs (files, printer) in the user's language where Qt has it.
    QTranslator qtTranslations;
    if (qtTranslations.load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                            QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslations);

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
    parser.addOptions(
        {portOption, demoOption, groupsOption, noSplashOption, recordsOption, noArchiveOption});
    if (!parser.parse(QApplication::arguments()))
        return Fail(parser.errorText() + QStringLiteral(" (see --help)"));
    if (!parser.positionalArguments().isEmpty())
        return Fail(QStringLiteral("unexpected argument '%1' (see --help)")
                        .arg(parser.positionalArguments().constFirst()));

    velantis::MainWindowParts parts;
    parts.programFolder = QApplication::applicationDirPath();
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
                return Fail(QStringLiteral("--demo-groups takes a whole number from 0 to %1")
                                .arg(velantis::AnswerEngine::MaxStoredGroups));
        }
        if (parser.isSet(portOption))
            return Fail(QStringLiteral("--demo takes no --port (see --help)"));
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

    // The splash leads to the main window (made only then, so that the port is opened then) and
    // to the web-page window; Exit of the main window ends the web-page window too.
    velantis::WebLauncher web;
    velantis::StartFlow flow(
        [&] {
            auto* window = new velantis::MainWindow(std::move(parts));
            window->setRecordsPath(records);
            QObject::connect(window, &velantis::MainWindow::exitRequested, &web,
                             &velantis::WebLauncher::stop);
            window->startTimers();
            return window;
        },
        web);
    flow.start(!parser.isSet(noSplashOption));
    return QApplication::exec();
}
