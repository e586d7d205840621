// velantis-cli: the program's work without windows — decode a captured frame, run the simulated
// instrument, show live readings, download the stored groups.
#include <QtGlobal>

#include "cli/decode.h"
#include "cli/session.h"
#ifdef Q_OS_UNIX
#include "cli/simulate.h"
#endif

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace {

void Usage(FILE* to) {
    std::fputs("usage: velantis-cli COMMAND [ARGS]\n"
               "  decode HEX...      decode one captured 20-byte frame (40 hex digits) as JSON\n",
               to);
}

} // namespace

int main(int argc, char** argv) {
    // The plain Unix event dispatcher wakes faster than the GLib one on each answer of the
    // instrument; a headless tool has no use for GLib integration.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
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
    if (command == QLatin1String("--help") || command == QLatin1String("help")) {
        Usage(stdout);
        return 0;
    }
    std::fprintf(stderr, "velantis-cli: unknown command '%s'\n", qPrintable(command));
    Usage(stderr);
    return 2;
}
