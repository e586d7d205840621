// SPDX-License-Identifier: GPL-3.0-or-later
// The port the instrument last answered on is kept in the settings and probed first at the next
// start.
#include "link/monitor.h"
#include "simulator/simulated_line.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace velantis;

namespace {

// One start against the simulated instrument on port 7, the only port with a device: the search
// ticks until the instrument answers, and the settings remember the port as the program does.
// Returns the number of probes it took (0: no answer within a round).
int ProbesToFind(QSettings& settings) {
    SimulatorOptions options;
    options.emulateByteTime = false;
    SimulatedLine sim(options);
    PortMap ports([] { return QStringList(); });
    ports.setOverride(7, SimulatedLine::DeviceName());
    ports.setRememberedPort(RememberedPort(settings));
    QTemporaryDir dir;
    Monitor monitor(sim, ports, dir.path());
    QObject::connect(&monitor, &Monitor::answeredOn, [&](int n) { RememberPort(settings, n); });
    monitor.Form_Load();
    for (int probes = 1; probes <= PortMap::LastPort; ++probes) {
        monitor.Timer2_Timer();
        const QDeadlineTimer deadline(1000); // the answer comes through the event loop
        while (sim.isOpen() && monitor.linkUp == 0 && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (monitor.linkUp == 1)
            return probes;
    }
    return 0;
}

} // namespace

TEST(PortMemory, SecondStartFindsTheInstrumentOnItsFirstProbe) {
    QTemporaryDir dir;
    QSettings settings(dir.filePath(QStringLiteral("velantis.conf")), QSettings::IniFormat);
    EXPECT_EQ(ProbesToFind(settings), 6) << "ports 2 to 7, as the search always went";
    EXPECT_EQ(ProbesToFind(settings), 1);
    RememberPort(settings, 9);
    EXPECT_EQ(ProbesToFind(settings), 6) << "a remembered port without a device is not probed";
    EXPECT_EQ(ProbesToFind(settings), 1);
}
