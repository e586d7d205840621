// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/simulate.h"

#include "cli/help.h"
#include "simulator/simulated_instrument.h"

#include <QCoreApplication>

#include <array>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <limits>
#include <optional>
#include <utility>

namespace {

volatile std::sig_atomic_t g_stopRequested = 0;

void OnStopSignal(int) {
    g_stopRequested = 1;
}

// The options in the order the help names them.
const struct {
    const char* typed;
    const char* description;
} Options[] = {
    {"--groups N",
     QT_TRANSLATE_NOOP("Simulate", "stored groups it holds (default 200, at most 29999)")},
    {"--no-byte-time",
     QT_TRANSLATE_NOOP("Simulate", "answer at once instead of at 38400-baud line speed")},
    {"--drop-every K", QT_TRANSLATE_NOOP("Simulate", "leave out every K-th answer")},
    {"--corrupt-every K",
     QT_TRANSLATE_NOOP("Simulate", "send every K-th answer with a wrong checksum")},
    {"--wrong-group-every K",
     QT_TRANSLATE_NOOP("Simulate", "answer every K-th stored-group request with the next group")},
    {"--short-every K",
     QT_TRANSLATE_NOOP("Simulate", "send only the first 10 bytes of every K-th answer")},
    {"--silent-after N", QT_TRANSLATE_NOOP("Simulate", "answer nothing after N answers")},
    {"--unplug-after N",
     QT_TRANSLATE_NOOP("Simulate", "close the line after N answers, like pulling the USB plug")},
    {"--replug-after MS",
     QT_TRANSLATE_NOOP("Simulate",
                       "after the unplug, come back on a new pty MS milliseconds later")},
    {"--link PATH",
     QT_TRANSLATE_NOOP("Simulate", "keep a symbolic link at PATH to the current pty (for --port)")},
    {"--noise-every K",
     QT_TRANSLATE_NOOP("Simulate", "lead every K-th answer with 1 to 8 bytes of line noise")},
    {"--latency-timer MS",
     QT_TRANSLATE_NOOP("Simulate", "hold each answer MS ms, like a USB adapter's latency timer\n"
                                   "(FTDI: 16 ms by default)")},
    {"--seed S", QT_TRANSLATE_NOOP("Simulate", "seed of the generated readings (default 1)")},
    {"--help", QT_TRANSLATE_NOOP("Simulate", "show this help")},
};

QString HelpText() {
    QList<std::pair<QString, QString>> rows;
    for (const auto& o : Options)
        rows.append(
            {QLatin1String(o.typed), QCoreApplication::translate("Simulate", o.description)});
    return QCoreApplication::translate("Simulate", "Usage: velantis-cli simulate [options]") +
           QLatin1Char('\n') +
           QCoreApplication::translate(
               "Simulate",
               "Runs a simulated ratio tester on a pseudo-terminal. The first line on stdout is "
               "its\ndevice path; it runs until interrupted (SIGINT/SIGTERM) or until its plug "
               "is pulled.") +
           QStringLiteral("\n\n") + velantis::HelpRows(rows, 25) + QLatin1Char('\n') +
           QCoreApplication::translate(
               "Simulate",
               "Answers are numbered from 1; \"every K-th\" means answers K, 2K, 3K, ... A "
               "dropped answer\nkeeps its number. Requests with unknown codes get no answer "
               "and no number.") +
           QLatin1Char('\n');
}

// Writes text as UTF-8, whatever the locale's encoding.
void Print(FILE* to, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), to);
    std::fflush(to);
}

struct IntOption {
    const char* name;
    int* target;
    int min;
    int max;
};

int Fail(const QString& message) {
    Print(stderr, QCoreApplication::translate("Simulate", "velantis-cli simulate: %1 (see --help)")
                          .arg(message) +
                      QLatin1Char('\n'));
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
            return Fail(
                QCoreApplication::translate("Simulate", "unexpected argument '%1'").arg(arg));
        QString name = arg.mid(2);
        std::optional<QString> value;
        if (const auto eq = name.indexOf(QLatin1Char('=')); eq >= 0) {
            value = name.mid(eq + 1);
            name.truncate(eq);
        }
        if (name == QLatin1String("help")) {
            Print(stdout, HelpText());
            return 0;
        }
        if (name == QLatin1String("no-byte-time")) {
            if (value)
                return Fail(
                    QCoreApplication::translate("Simulate", "--no-byte-time takes no value"));
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
                return Fail(QCoreApplication::translate("Simulate", "--link needs a path"));
            options.linkPath = *text;
            continue;
        }
        if (name == QLatin1String("seed")) {
            const auto text = takeValue();
            if (!text)
                return Fail(QCoreApplication::translate("Simulate", "--seed needs a value"));
            bool ok = false;
            const uint seed = text->toUInt(&ok);
            if (!ok)
                return Fail(QCoreApplication::translate(
                    "Simulate", "--seed needs a number from 0 to 4294967295"));
            options.seed = seed;
            continue;
        }
        const IntOption* option = nullptr;
        for (const auto& o : intOptions) {
            if (name == QLatin1String(o.name))
                option = &o;
        }
        if (!option)
            return Fail(QCoreApplication::translate("Simulate", "unknown option '%1'").arg(arg));
        const auto text = takeValue();
        if (!text)
            return Fail(QCoreApplication::translate("Simulate", "--%1 needs a value").arg(name));
        bool ok = false;
        const int number = text->toInt(&ok);
        if (!ok || number < option->min || number > option->max)
            return Fail(QCoreApplication::translate(
                            "Simulate", "--%1 needs a whole number from %2 to %3, not '%4'")
                            .arg(name)
                            .arg(option->min)
                            .arg(option->max)
                            .arg(*text));
        *option->target = number;
    }

    velantis::SimulatedInstrument instrument(options);
    QString error;
    if (!instrument.start(&error)) {
        Print(stderr,
              QCoreApplication::translate("Simulate", "velantis-cli simulate: cannot start: %1")
                      .arg(error) +
                  QLatin1Char('\n'));
        return 1;
    }
    const QByteArray path = instrument.portPath().toLocal8Bit();
    std::fprintf(stdout, "%s\n", path.constData());
    std::fflush(stdout);
    const QString where = instrument.portPath();
    Print(
        stderr,
        (options.emulateByteTime
             ? QCoreApplication::translate("Simulate", "Simulated instrument with %1 stored groups "
                                                       "on %2.")
             : QCoreApplication::translate("Simulate", "Simulated instrument with %1 stored groups "
                                                       "on %2 (no line timing)."))
                .arg(QString::number(instrument.storedGroupCount()), where) +
            QLatin1Char('\n') +
            QCoreApplication::translate("Simulate", "Try: %1")
                .arg(QStringLiteral("velantis-cli download --port 3=") + where) +
            QLatin1Char('\n') + QCoreApplication::translate("Simulate", "Stop it with Ctrl+C.") +
            QLatin1Char('\n'));

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

    Print(stderr,
          (unplugged
               ? QCoreApplication::translate(
                     "Simulate", "Simulator unplugged: %1 requests received, %2 answers sent.")
               : QCoreApplication::translate(
                     "Simulate", "Simulator stopped: %1 requests received, %2 answers sent."))
                  .arg(instrument.requestsReceived())
                  .arg(instrument.answersSent()) +
              QLatin1Char('\n'));
    return 0;
}
