// SPDX-License-Identifier: GPL-3.0-or-later
// Soak of live polling: the controller with a real serial port against the simulated instrument
// answering at once (no byte time), its live poll and supervision ticks driven back to back, so
// a long run of polling (500 ms apart in the programs) passes in minutes.
//
//   soak_live [--polls N]      (default 100000, about 14 hours of polling)
//
// Prints resident memory after the first 1 % of the polls and at the end, the polls per second,
// and exits 1 when a poll goes unanswered or memory grew by more than 2 MB.
#include "link/monitor.h"
#include "link/qt_serial_line.h"
#include "simulator/simulated_instrument.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <fstream>
#include <string>

using namespace velantis;

namespace {

// Resident memory in kB, from /proc/self/status.
long ResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    long polls = 100000;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--polls"))
            polls = args[++i].toLong();
    }
    if (polls < 100) {
        std::fprintf(stderr, "usage: soak_live [--polls N]   (N at least 100)\n");
        return 2;
    }

    SimulatedInstrument sim({.emulateByteTime = false});
    QString error;
    if (!sim.start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
        return 1;
    }
    QtSerialLine line;
    PortMap ports([] { return QStringList(); });
    ports.setOverride(3, sim.devicePath());
    QTemporaryDir folder;
    Monitor monitor(line, ports, folder.path());
    monitor.setPortFieldText(QStringLiteral("3"));
    monitor.Form_Load();

    QEventLoop loop;
    bool shown = false;
    QObject::connect(&monitor, &Monitor::liveReadingShown, [&] {
        shown = true;
        loop.quit();
    });
    QTimer giveUp;
    giveUp.setSingleShot(true);
    QObject::connect(&giveUp, &QTimer::timeout, &loop, &QEventLoop::quit);

    // The link first: port probes until the instrument answers.
    for (int i = 0; i < 200 && monitor.linkUp == 0; ++i) {
        monitor.Timer2_Timer();
        giveUp.start(50);
        loop.exec();
    }
    if (monitor.linkUp == 0) {
        std::fprintf(stderr, "no link to the simulated instrument\n");
        return 1;
    }

    long startKb = 0;
    long unanswered = 0;
    QElapsedTimer clock;
    clock.start();
    for (long n = 1; n <= polls; ++n) {
        shown = false;
        monitor.Timer3_Timer();
        giveUp.start(1000);
        if (!shown)
            loop.exec();
        unanswered += shown ? 0 : 1;
        // The other timers tick in their proportions to the 500 ms poll.
        for (int t = 0; t < 7; ++t)
            monitor.Timer1_Timer();
        for (int t = 0; t < 7; ++t)
            monitor.Timer2_Timer();
        monitor.Timer5_Timer();
        if (n == polls / 100)
            startKb = ResidentKb();
    }
    const double seconds = clock.nsecsElapsed() / 1e9;
    const long endKb = ResidentKb();
    std::printf("%ld live polls (%.1f hours at 500 ms) in %.1f s, %.0f polls/s, %ld unanswered\n",
                polls, polls * 0.5 / 3600.0, seconds, polls / seconds, unanswered);
    std::printf("resident memory: %ld kB after %ld polls, %ld kB at the end\n", startKb,
                polls / 100, endKb);
    return unanswered == 0 && endKb - startKb <= 2048 ? 0 : 1;
}
