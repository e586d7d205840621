// SPDX-License-Identifier: GPL-3.0-or-later
// End-to-end download timing: the controller with a real serial port and the programs' timers
// against the simulated instrument on a pseudo-terminal.
//
//   bench_download [--groups N] [--runs R] [--glib] [--latency-timer MS]
//
// Like velantis-cli it runs on Qt's plain Unix event dispatcher; --glib keeps the GLib one that
// Qt picks by default (as a desktop session would).
//
// With the instrument's line time emulated (38400 baud: 4 request bytes and 20 answer bytes per
// group), the download is compared with the time the wire itself needs; with the emulation off,
// the program's own throughput (groups per second) shows. --latency-timer MS has the simulated
// instrument hold each answer for MS ms, the way a USB serial adapter holds a short packet until
// its latency timer runs out (FTDI: 16 ms by default), to show what that costs.
#include "link/monitor.h"
#include "link/monitor_timers.h"
#include "link/qt_serial_line.h"
#include "simulator/simulated_instrument.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <vector>

using namespace velantis;

namespace {

// Seconds from the read command to the end of the download; negative on failure.
double TimeDownload(int groups, bool byteTime, int latencyMs) {
    SimulatorOptions options;
    options.storedGroups = groups;
    options.emulateByteTime = byteTime;
    options.latencyTimerMs = latencyMs;
    SimulatedInstrument sim(options);
    QString error;
    if (!sim.start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
        return -1;
    }
    QtSerialLine line;
    PortMap ports([] { return QStringList(); });
    ports.setOverride(2, sim.devicePath());
    QTemporaryDir folder;
    Monitor monitor(line, ports, folder.path());
    MonitorTimers timers(monitor);

    QElapsedTimer clock;
    double seconds = -1;
    bool started = false;
    QObject::connect(&monitor, &Monitor::displayChanged, [&] {
        if (!started && monitor.linkUp == 1) {
            started = true;
            QTimer::singleShot(0, [&] {
                clock.start();
                monitor.Command2_Click();
            });
        }
    });
    QObject::connect(&monitor, &Monitor::downloadEnded, [&](DownloadEnd how) {
        if (how == DownloadEnd::EndFrame && monitor.groupsStored() == groups)
            seconds = clock.nsecsElapsed() / 1e9;
        QCoreApplication::exit();
    });
    QTimer::singleShot(120000, [] { QCoreApplication::exit(); });
    monitor.Form_Load();
    timers.start();
    QCoreApplication::exec();
    return seconds;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    bool glib = false;
    for (int i = 1; i < argc; ++i)
        glib = glib || std::string_view(argv[i]) == "--glib";
    if (!glib)
        qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    int groups = 1000;
    int runs = 3;
    int latencyMs = 0;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--groups"))
            groups = args[++i].toInt();
        else if (args[i] == QLatin1String("--runs"))
            runs = args[++i].toInt();
        else if (args[i] == QLatin1String("--latency-timer"))
            latencyMs = args[++i].toInt();
    }
    if (groups < 1 || runs < 1 || latencyMs < 0 || latencyMs > 1000) {
        std::fprintf(stderr, "usage: bench_download [--groups N] [--runs R] [--glib] "
                             "[--latency-timer MS (0..1000)]\n");
        return 2;
    }
    const double wire = groups * 24 * 10 / 38400.0;
    std::vector<double> paced, instant;
    for (int r = 0; r < runs; ++r) {
        paced.push_back(TimeDownload(groups, true, latencyMs));
        instant.push_back(TimeDownload(groups, false, latencyMs));
        if (paced.back() < 0 || instant.back() < 0) {
            std::fprintf(stderr, "a download did not complete\n");
            return 1;
        }
    }
    const double p = Median(paced);
    const double i = Median(instant);
    std::printf("download of %d groups, median of %d runs, %s event dispatcher, adapter latency "
                "timer %d ms\n",
                groups, runs, glib ? "GLib" : "Unix", latencyMs);
    std::printf("  at 38400 baud (emulated): %.3f s, wire time %.3f s, ratio %.3f\n", p, wire,
                p / wire);
    std::printf("  answered at once:         %.3f s, %.0f groups/s\n", i, groups / i);
    return 0;
}
