// SPDX-License-Identifier: GPL-3.0-or-later
// The port the instrument last answered on is kept in the settings and searched first at the
// next start.
#include "link/monitor.h"
#include "simulator/simulated_line.h"
#include "support/fake_serial_line.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace velantis;
using velantis::testing::FakeSerialLine;

namespace {

// One start of the program against the simulated instrument on port 7: the search ticks until
// the instrument answers, the port it answered on goes into the settings as the program does.
// Returns the number of probes the search took (0: none answered within 40).
int StartAndSearch(QSettings& settings, int* codesReceived) {
    SimulatorOptions options;
    options.emulateByteTime = false;
    SimulatedLine sim(options);
    PortMap ports([] { return QStringList(); });
    ports.setOverride(7, SimulatedLine::DeviceName());
    ports.setRememberedPort(RememberedPort(settings));
    QTemporaryDir dir;
    Monitor monitor(sim, ports, dir.path());
    monitor.setYieldToEvents([] {});
    QObject::connect(&monitor, &Monitor::answeredOn,
                     [&settings](int n) { RememberPort(settings, n); });
    monitor.Form_Load();
    for (int probes = 1; probes <= 40; ++probes) {
        monitor.Timer2_Timer();
        if (!sim.isOpen())
            continue; // nothing behind this port
        // The answer comes through the event loop.
        const QDeadlineTimer deadline(1000);
        while (monitor.linkUp == 0 && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (monitor.linkUp == 1) {
            *codesReceived = int(sim.instrument().requestCodes().size());
            return probes;
        }
    }
    return 0;
}

} // namespace

TEST(PortMemory, SecondStartFindsTheInstrumentOnItsFirstProbe) {
    QTemporaryDir dir;
    QSettings settings(dir.filePath(QStringLiteral("velantis.conf")), QSettings::IniFormat);
    int codes = 0;
    EXPECT_EQ(StartAndSearch(settings, &codes), 6) << "ports 2..7, as the search has always gone";
    EXPECT_EQ(RememberedPort(settings), 7);
    codes = 0;
    EXPECT_EQ(StartAndSearch(settings, &codes), 1);
    EXPECT_EQ(codes, 1) << "the instrument saw the one probe and nothing else";
    EXPECT_EQ(RememberedPort(settings), 7);
}

TEST(PortMemory, RememberedPortLeadsTheSearchOnlyWhereItNamesADevice) {
    const struct {
        int remembered;
        int devices; // ports 1..devices have a device
        QList<int> probes;
    } cases[] = {
        {7, 16, {7, 8, 9}},   // first the remembered port, then the cycle from there
        {16, 16, {16, 1, 2}}, // the wrap to port 1 after it
        {0, 16, {2, 3, 4}},   // none remembered: the search as it always went
        {17, 16, {2, 3, 4}},  // no port number
        {9, 4, {2, 3, 4}},    // nothing behind it this time
        {1, 16, {1, 2, 3}},   // port 1, opened at start, is probed too
    };
    for (const auto& c : cases) {
        FakeSerialLine line;
        QStringList devices;
        for (int n = 1; n <= c.devices; ++n)
            devices << QStringLiteral("/dev/fake%1").arg(n);
        for (const QString& device : devices)
            line.existing.insert(device);
        PortMap ports([devices] { return devices; });
        ports.setRememberedPort(c.remembered);
        QTemporaryDir dir;
        Monitor monitor(line, ports, dir.path());
        monitor.setYieldToEvents([] {});
        monitor.Form_Load();
        line.written.clear();
        QList<int> probes;
        for (int i = 0; i < c.probes.size(); ++i) {
            monitor.Timer2_Timer();
            probes << line.lastCode() - Monitor::ProbeBase;
        }
        EXPECT_EQ(probes, c.probes) << "remembered " << c.remembered;
    }
}

TEST(PortMemory, EachPortAnsweredOnIsToldOnce) {
    FakeSerialLine line;
    for (int n = 1; n <= 16; ++n)
        line.existing.insert(QStringLiteral("/dev/fake%1").arg(n));
    PortMap ports([] {
        QStringList devices;
        for (int n = 1; n <= 16; ++n)
            devices << QStringLiteral("/dev/fake%1").arg(n);
        return devices;
    });
    QTemporaryDir dir;
    Monitor monitor(line, ports, dir.path());
    monitor.setYieldToEvents([] {});
    QSignalSpy told(&monitor, &Monitor::answeredOn);
    monitor.Form_Load();
    monitor.Timer2_Timer(); // port 2
    line.receive(FrameBuilder().build().toByteArray());
    line.receive(FrameBuilder().build().toByteArray());
    monitor.setPortFieldText(QStringLiteral("4"));
    monitor.OpenPort();
    line.receive(FrameBuilder().build().toByteArray());
    line.receive(QByteArray(20, '\x01')); // a frame that fails its check proves nothing
    ASSERT_EQ(told.size(), 2);
    EXPECT_EQ(told.at(0).at(0).toInt(), 2);
    EXPECT_EQ(told.at(1).at(0).toInt(), 4);
}
