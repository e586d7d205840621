// SPDX-License-Identifier: GPL-3.0-or-later
// velantis-cli: the program's work without windows — decode a captured frame, run the simulated
// instrument, show live readings, download the stored groups.
#include <QtGlobal>

#include "cli/decode.h"
#include "cli/help.h"
#include "cli/records.h"
#include "cli/remote.h"
#include "cli/session.h"
#include "i18n/language.h"
#ifdef Q_OS_UNIX
#include "cli/simulate.h"
#endif

#include <QCoreApplication>
#include <QGuiApplication>
#include <QStringList>

#include <cstdio>
#include <cstring>
#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#endif
#include <memory>
#include <utility>

namespace {

// The commands in the order the help names them, each with an example and what more there is
// to tell.
const struct {
    const char* typed;
    const char* description;
    const char* example;
    const char* more;
} Commands[] = {
    {"decode HEX...",
     QT_TRANSLATE_NOOP("Main", "decode one captured 20-byte frame (40 hex digits) as JSON"),
     "velantis-cli decode 03E8311388330000330000330000 8F0064320277", nullptr},
    {"simulate",
     QT_TRANSLATE_NOOP("Main", "run a simulated instrument on a pseudo-terminal (prints its path)"),
     "velantis-cli simulate --groups 500", nullptr},
    {"live", QT_TRANSLATE_NOOP("Main", "find the instrument and print its live readings"),
     "velantis-cli live --port 3=/dev/ttyUSB0 --count 5", nullptr},
    {"download",
     QT_TRANSLATE_NOOP("Main", "read every stored group and write the list as Save does"),
     "velantis-cli download --port 3=/dev/ttyUSB0 -o groups.txt",
     QT_TRANSLATE_NOOP("Main", "(live and download --demo: the simulated instrument inside the "
                               "tool)\neach download is kept in the record database (--records "
                               "PATH,\n--no-archive)")},
    {"records",
     QT_TRANSLATE_NOOP("Main", "the tests kept: list [--filter TEXT], show N, export N --csv,\n"
                               "export N --json, export N --report FILE, delete N,\n"
                               "import FILE..., split N, merge N M..., sync;\n"
                               "list, show and export with --remote: the department's server"),
     nullptr, nullptr},
    {"server schema",
     QT_TRANSLATE_NOOP("Main", "print the SQL that sets up the department's server database"),
     nullptr, nullptr},
};

QString UsageText() {
    QList<std::pair<QString, QString>> commands;
    for (const auto& c : Commands) {
        QString description = QCoreApplication::translate("Main", c.description);
        if (c.example)
            description +=
                QLatin1Char('\n') +
                QCoreApplication::translate("Main", "e.g. %1").arg(QLatin1String(c.example));
        if (c.more)
            description += QLatin1Char('\n') + QCoreApplication::translate("Main", c.more);
        commands.append({QLatin1String(c.typed), description});
    }
    const QList<std::pair<QString, QString>> options = {
        {QStringLiteral("--help"),
         QCoreApplication::translate("Main", "this text;  COMMAND --help: the command's options")},
        {QStringLiteral("--version"), QCoreApplication::translate("Main", "the program's version")},
        {QStringLiteral("--lang zh|en"),
         QCoreApplication::translate(
             "Main",
             "the language of messages and help (otherwise the locale's: Chinese\nwhere its "
             "language is Chinese, English elsewhere)")},
    };
    constexpr qsizetype Column = 18;
    return QCoreApplication::translate("Main", "usage: velantis-cli COMMAND [OPTIONS]") +
           QStringLiteral("\n\n") + QCoreApplication::translate("Main", "Commands:") +
           QLatin1Char('\n') + velantis::HelpRows(commands, Column) + QLatin1Char('\n') +
           velantis::HelpRows(options, Column) + QLatin1Char('\n') +
           QCoreApplication::translate(
               "Main",
               "--port N=DEVICE names the devices to search (ports 1 to 16); without it the "
               "system's\nserial devices are numbered from 1.") +
           QLatin1Char('\n');
}

void Print(FILE* to, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), to);
}

} // namespace

int main(int argc, char** argv) {
#ifdef Q_OS_WIN
    // The data the tool writes to its standard output (the list with its CR LF, CSV, JSON) are
    // bytes: in the C library's text mode Windows would turn every LF into CR LF again.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    // The plain Unix event dispatcher wakes faster than the GLib one on each answer of the
    // instrument; a headless tool has no use for GLib integration.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    // The report's pages and the error curve are drawn with fonts, which needs a GUI application; a
    // headless tool draws on Qt's offscreen platform.
    bool drawsPages = false;
    for (int i = 1; i < argc; ++i)
        drawsPages = drawsPages || std::strncmp(argv[i], "--report", 8) == 0 ||
                     std::strncmp(argv[i], "--curve", 7) == 0;
    if (drawsPages && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const std::unique_ptr<QCoreApplication> app =
        drawsPages ? std::make_unique<QGuiApplication>(argc, argv)
                   : std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(VELANTIS_VERSION));
    // Chinese where the locale's language is, English elsewhere and in the C locale (scripts
    // read the messages); --lang, anywhere among the arguments, decides over the locale. A
    // catalogue that is missing leaves its texts in the language they are written in.
    const velantis::LanguageArgument chosen =
        velantis::FindLanguageArgument(QCoreApplication::arguments().mid(1));
    const velantis::Language language =
        velantis::ChosenOrLocale(chosen.language, velantis::CLocaleLanguage::English);
    velantis::InstallTranslations(
        language, {{QStringLiteral(":/i18n/velantis-cli_zh_CN"), velantis::Language::English},
                   {QStringLiteral(":/i18n/velantis-core_zh_CN"), velantis::Language::English},
                   {QStringLiteral(":/i18n/velantis-archive_zh_CN"), velantis::Language::English},
                   {QStringLiteral(":/i18n/velantis-report_en"), velantis::Language::Chinese}});
    if (chosen.given && !chosen.language) {
        Print(stderr, QStringLiteral("velantis-cli: %1\n").arg(chosen.error));
        return 2;
    }
    QStringList args = chosen.others;
    if (args.isEmpty()) {
        Print(stderr, UsageText());
        return 2;
    }
    const QString command = args.takeFirst();
    if (command == QLatin1String("decode"))
        return velantis::RunDecode(args);
#ifdef Q_OS_UNIX
    if (command == QLatin1String("simulate"))
        return ::RunSimulate(args);
#endif
    if (command == QLatin1String("live"))
        return velantis::RunLive(args);
    if (command == QLatin1String("download"))
        return velantis::RunDownload(args);
    if (command == QLatin1String("records"))
        return velantis::RunRecords(args);
    if (command == QLatin1String("server"))
        return velantis::RunServer(args);
    if (command == QLatin1String("--help") || command == QLatin1String("-h") ||
        command == QLatin1String("help")) {
        Print(stdout, UsageText());
        return 0;
    }
    if (command == QLatin1String("--version")) {
        std::printf("velantis-cli %s\n", VELANTIS_VERSION);
        return 0;
    }
    Print(stderr,
          QCoreApplication::translate("Main", "velantis-cli: unknown command '%1'").arg(command) +
              QLatin1Char('\n'));
    Print(stderr, UsageText());
    return 2;
}
