// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/simulate.h"

#include "simulator/simulated_instrument.h"

#include <array>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <limits>
#include <optional>

namespace {

volatile std::sig_atomic_t g_stopRequested = 0;

void OnStopSignal(int) {
    g_stopRequested = 1;
}

const char* const HelpText =
    "Usage: velantis-cli simulate [options]\n"
    "Runs a simulated ratio tester on a pseudo-terminal. The first line on stdout is its\n"
    "device path; it runs until interrupted (SIGINT/SIGTERM) or until its plug is pulled.\n"
    "\n"
    "  --groups N             stored groups it holds (default 200, at most 29999)\n"
    "  --no-byte-time         answer at once instead of at 38400-baud line speed\n"
    "  --drop-every K         leave out every K-th answer\n"
    "  --corrupt-every K      send every K-th answer with a wrong checksum\n"
    "  --wrong-group-every K  answer every K-th stored-group request with the next group\n"
    "  --short-every K        send only the first 10 bytes of every K-th answer\n"
    "  --silent-after N       answer nothing after N answers\n"
    "  --unplug-after N       close the line after N answers, like pulling the USB plug\n"
    "  --replug-after MS      after the unplug, come back on a new pty MS milliseconds later\n"
    "  --link PATH            keep a symbolic link at PATH to the current pty (for --port)\n"
    "  --noise-every K        lead every K-th answer with 1 to 8 bytes of line noise\n"
    "  --latency-timer MS     hold each answer MS ms, like a USB adapter's latency timer\n"
    "                         (FTDI: 16 ms by default)\n"
    "  --seed S               seed of the generated readings (default 1)\n"
    "  --help                 show this help\n"
    "\n"
    "Answers are numbered from 1; \"every K-th\" means answers K, 2K, 3K, ... A dropped answer\n"
    "keeps its number. Requests with unknown codes get no answer and no number.\n";

struct IntOption {
    const char* name;
    int* target;
    int min;
    int max;
};

int Fail(const QString& message) {
    std::fprintf(stderr, "velantis-cli simulate: %s (see --help)\n", qPrintable(message));
    return 2;
}

} // namespace

int RunSimulate(const QStringList& args) {
    velantis::SimulatorOptions options;
    constexpr int IntMax = std::numeric_limits<int>::max();
    const std::array<IntOption, 10> intOptions = {{
        {"groups", &options.storedGroups, 0, velantis::SimulatedInstrument::MaxStoredGroups},
        {"drop-every", &options.dropEvery, 0, IntMax},
        {"corrupt-every", &options.corruptEvery, 0, IntMax},
        {"wrong-group-every", &options.wrongGroupEvery, 0, IntMax},
        {"short-every", &options.shortEvery, 0, IntMax},
        {"silent-after", &options.silentAfter, 0, IntMax},
        {"unplug-after", &options.unplugAfter, 0, IntMax},
        {"replug-after", &options.replugAfterMs, 0, 3'600'000},
        {"noise-every", &options.noiseEvery, 0, IntMax},
        {"latency-timer", &options.latencyTimerMs, 0, 1000},
    }};

    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (!arg.startsWith(QLatin1String("--")))
            return Fail(QStringLiteral("unexpected argument '%1'").arg(arg));
        QString name = arg.mid(2);
        std::optional<QString> value;
        if (const auto eq = name.indexOf(QLatin1Char('=')); eq >= 0) {
            value = name.mid(eq + 1);
            name.truncate(eq);
        }
        if (name == QLatin1String("help")) {
            std::fputs(HelpText, stdout);
            return 0;
        }
        if (name == QLatin1String("no-byte-time")) {
            if (value)
                return Fail(QStringLiteral("--no-byte-time takes no value"));
            options.emulateByteTime = false;
            continue;
        }
        auto takeValue = [&]() -> std::optional<QString> {
            if (value)
                return value;
            if (i + 1 < args.size())
                return args[++i];
            return std::nullopt;
        };
        if (name == QLatin1String("link")) {
            const auto text = takeValue();
            if (!text || text->isEmpty())
                return Fail(QStringLiteral("--link needs a path"));
            options.linkPath = *text;
            continue;
        }
        if (name == QLatin1String("seed")) {
            const auto text = takeValue();
            if (!text)
                return Fail(QStringLiteral("--seed needs a value"));
            bool ok = false;
            const uint seed = text->toUInt(&ok);
            if (!ok)
                return Fail(QStringLiteral("--seed needs a number from 0 to 4294967295"));
            options.seed = seed;
            continue;
        }
        const IntOption* option = nullptr;
        for (const auto& o : intOptions) {
            if (name == QLatin1String(o.name))
                option = &o;
        }
        if (!option)
            return Fail(QStringLiteral("unknown option '%1'").arg(arg));
        const auto text = takeValue();
        if (!text)
            return Fail(QStringLiteral("--%1 needs a value").arg(name));
        bool ok = false;
        const int number = text->toInt(&ok);
        if (!ok || number < option->min || number > option->max)
            return Fail(QStringLiteral("--%1 needs a whole number from %2 to %3, not '%4'")
                            .arg(name)
                            .arg(option->min)
                            .arg(option->max)
                            .arg(*text));
        *option->target = number;
    }

    velantis::SimulatedInstrument instrument(options);
    QString error;
    if (!instrument.start(&error)) {
        std::fprintf(stderr, "velantis-cli simulate: cannot start: %s\n", qPrintable(error));
        return 1;
    }
    const QByteArray path = instrument.portPath().toLocal8Bit();
    std::fprintf(stdout, "%s\n", path.constData());
    std::fflush(stdout);
    std::fprintf(stderr,
                 "Simulated instrument with %d stored groups on %s%s.\n"
                 "Try: velantis-cli download --port 3=%s\n"
                 "Stop it with Ctrl+C.\n",
                 instrument.storedGroupCount(), path.constData(),
                 options.emulateByteTime ? "" : " (no line timing)", path.constData());

    g_stopRequested = 0;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    struct sigaction oldInt {};
    struct sigaction oldTerm {};
    sigaction(SIGINT, &action, &oldInt);
    sigaction(SIGTERM, &action, &oldTerm);

    while (!g_stopRequested && instrument.isRunning()) {
        timespec nap{0, 50'000'000};
        nanosleep(&nap, nullptr);
    }
    const bool unplugged = instrument.isUnplugged();
    instrument.stop();
    sigaction(SIGINT, &oldInt, nullptr);
    sigaction(SIGTERM, &oldTerm, nullptr);

    std::fprintf(stderr, "Simulator %s: %d requests received, %d answers sent.\n",
                 unplugged ? "unplugged" : "stopped", instrument.requestsReceived(),
                 instrument.answersSent());
    return 0;
}
