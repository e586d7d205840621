// SPDX-License-Identifier: GPL-3.0-or-later
// velantis-cli: the program's work without windows — decode a captured frame, run the simulated
// instrument, show live readings, download the stored groups.
#include <QtGlobal>

#include "cli/decode.h"
#include "cli/records.h"
#include "cli/session.h"
#ifdef Q_OS_UNIX
#include "cli/simulate.h"
#endif

#include <QCoreApplication>
#include <QGuiApplication>
#include <QStringList>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

void Usage(FILE* to) {
    std::fputs(
        "usage: velantis-cli COMMAND [OPTIONS]\n"
        "\n"
        "Commands:\n"
        "  decode HEX...   decode one captured 20-byte frame (40 hex digits) as JSON\n"
        "                  e.g. velantis-cli decode 03E8311388330000330000330000 8F0064320277\n"
        "  simulate        run a simulated instrument on a pseudo-terminal (prints its path)\n"
        "                  e.g. velantis-cli simulate --groups 500\n"
        "  live            find the instrument and print its live readings\n"
        "                  e.g. velantis-cli live --port 3=/dev/ttyUSB0 --count 5\n"
        "  download        read every stored group and write the list as Save does\n"
        "                  e.g. velantis-cli download --port 3=/dev/ttyUSB0 -o groups.txt\n"
        "                  (live and download --demo: the simulated instrument inside the tool)\n"
        "                  each download is kept in the record database (--records PATH,\n"
        "                  --no-archive)\n"
        "  records         the tests kept: list [--filter TEXT], show N, export N --csv,\n"
        "                  export N --report FILE, delete N\n"
        "\n"
        "  --help          this text;  COMMAND --help: the command's options\n"
        "  --version       the program's version\n"
        "\n"
        "--port N=DEVICE names the devices to search (ports 1 to 16); without it the system's\n"
        "serial devices are numbered from 1.\n",
        to);
}

} // namespace

int main(int argc, char** argv) {
    // The plain Unix event dispatcher wakes faster than the GLib one on each answer of the
    // instrument; a headless tool has no use for GLib integration.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    // The report's pages are drawn with fonts, which needs a GUI application; a headless tool
    // draws on Qt's offscreen platform.
    bool drawsPages = false;
    for (int i = 1; i < argc; ++i)
        drawsPages = drawsPages || std::strncmp(argv[i], "--report", 8) == 0;
    if (drawsPages && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const std::unique_ptr<QCoreApplication> app =
        drawsPages ? std::make_unique<QGuiApplication>(argc, argv)
                   : std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(VELANTIS_VERSION));
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty()) {
        Usage(stderr);
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
    if (command == QLatin1String("--help") || command == QLatin1String("-h") ||
        command == QLatin1String("help")) {
        Usage(stdout);
        return 0;
    }
    if (command == QLatin1String("--version")) {
        std::printf("velantis-cli %s\n", VELANTIS_VERSION);
        return 0;
    }
    std::fprintf(stderr, "velantis-cli: unknown command '%s'\n", qPrintable(command));
    Usage(stderr);
    return 2;
}
