// The fault matrix: the controller with a real serial port and its timers against the simulated
// instrument on a pseudo-terminal, one fault per test. Each case states how the download ends
// and checks that every group stored is exactly the instrument's, in the list as Save writes it.
#include "link/monitor.h"
#include "link/monitor_timers.h"
#include "link/qt_serial_line.h"
#include "simulator/simulated_instrument.h"
#include "support/simulated_lists.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace velantis;
using velantis::testing::ExpectedList;

namespace {

struct FaultCase {
    const char* name;
    SimulatorOptions options;
    DownloadEnd end;
    int minStored; // groups kept at least ...
    int maxStored; // ... and at most
    bool comesBack = false;
};

void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.name;
}

SimulatorOptions Fast(int groups, SimulatorOptions o = {}) {
    o.storedGroups = groups;
    o.emulateByteTime = false;
    return o;
}

class FaultMatrix : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultMatrix, DownloadEndsAsStatedAndKeepsEveryGroup) {
    const FaultCase& c = GetParam();
    QTemporaryDir dir;
    SimulatorOptions options = c.options;
    if (c.comesBack)
        options.linkPath = dir.filePath(QStringLiteral("ttyVELANTIS"));
    SimulatedInstrument sim(options);
    QString error;
    ASSERT_TRUE(sim.start(&error)) << error.toStdString();

    QtSerialLine line;
    PortMap ports([] { return QStringList(); });
    ports.setOverride(3, sim.portPath());
    Monitor monitor(line, ports, dir.path());
    MonitorTimers timers(monitor);
    QSignalSpy countErrors(&monitor, &Monitor::groupCountError);
    bool ended = false;
    QObject::connect(&monitor, &Monitor::downloadEnded, [&] { ended = true; });
    monitor.Form_Load();
    timers.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return monitor.linkUp == 1; }, 5000));
    {
        // A real event loop: QTest::qWaitFor naps between its passes, which would pace a fast
        // download to one group per nap.
        QEventLoop loop;
        QObject::connect(&monitor, &Monitor::downloadEnded, &loop, &QEventLoop::quit);
        QTimer::singleShot(30000, &loop, &QEventLoop::quit);
        monitor.Command2_Click();
        if (!ended)
            loop.exec();
    }
    ASSERT_TRUE(ended) << monitor.groupsStored() << " stored, "
                       << monitor.display().downloadSummary.toStdString();

    EXPECT_EQ(monitor.lastDownloadEnd(), c.end) << monitor.display().downloadSummary.toStdString();
    const int stored = monitor.groupsStored();
    EXPECT_GE(stored, c.minStored);
    EXPECT_LE(stored, c.maxStored);
    EXPECT_EQ(monitor.history().listText(), ExpectedList(sim, stored))
        << "every group kept, in order, exactly as the instrument holds it";
    EXPECT_EQ(countErrors.count(), sim.storedGroupCount() == 0 ? 1 : 0);
    EXPECT_EQ(monitor.downloading, 0);
    if (c.options.unplugAfter > 0) {
        EXPECT_TRUE(monitor.display().portNotice.startsWith(QStringLiteral("串口已断开")))
            << monitor.display().portNotice.toStdString();
    }

    if (c.comesBack) {
        // The device returns on a new pty behind the same name: the search finds it and live
        // readings come again; the groups downloaded before stay in the list.
        const QString before = monitor.history().listText();
        ASSERT_TRUE(QTest::qWaitFor([&] { return sim.replugCount() == 1; }, 5000));
        EXPECT_EQ(QFileInfo(sim.portPath()).symLinkTarget(), sim.devicePath());
        QSignalSpy live(&monitor, &Monitor::liveReadingShown);
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return monitor.linkUp == 1 && live.count() > 0; }, 10000));
        EXPECT_EQ(monitor.commPort(), 3);
        EXPECT_EQ(monitor.history().listText(), before);
    }
}

const FaultCase Cases[] = {
    {"DroppedAnswers", Fast(60, {.dropEvery = 9}), DownloadEnd::EndFrame, 60, 60},
    {"CorruptedChecksums", Fast(60, {.corruptEvery = 7}), DownloadEnd::EndFrame, 60, 60},
    {"WrongGroupNumbers", Fast(60, {.wrongGroupEvery = 5}), DownloadEnd::EndFrame, 60, 60},
    {"ShortBlocks", Fast(60, {.shortEvery = 8}), DownloadEnd::EndFrame, 60, 60},
    {"NoiseBetweenFrames", Fast(60, {.noiseEvery = 6}), DownloadEnd::EndFrame, 60, 60},
    {"SilentMidDownload", Fast(60, {.silentAfter = 30}), DownloadEnd::Watchdog, 20, 29},
    // The watchdog's three repeats (about 0.6 s) end it before the link supervision would (2 s).
    {"UnpluggedMidDownload", Fast(60, {.unplugAfter = 30}), DownloadEnd::Watchdog, 20, 29},
    {"UnpluggedAndBack", Fast(60, {.unplugAfter = 30, .replugAfterMs = 300}), DownloadEnd::Watchdog,
     20, 29, true},
    {"GroupCountZero", Fast(0), DownloadEnd::EndFrame, 0, 0},
    {"CountAbove4000", Fast(4100), DownloadEnd::StoreFull, 4000, 4000},
};

INSTANTIATE_TEST_SUITE_P(Faults, FaultMatrix, ::testing::ValuesIn(Cases),
                         [](const auto& info) { return std::string(info.param.name); });

// A USB adapter's latency timer: no answer reaches the program before it has run out.
TEST(SimulatedAdapter, LatencyTimerHoldsEveryAnswer) {
    SimulatedInstrument sim(Fast(5, {.latencyTimerMs = 16}));
    ASSERT_TRUE(sim.start());
    QtSerialLine line;
    ASSERT_TRUE(line.open(sim.devicePath()));
    for (std::uint16_t code : {std::uint16_t(1), std::uint16_t(40000), std::uint16_t(30000)}) {
        QElapsedTimer clock;
        clock.start();
        line.write(QByteArray::fromHex("6465") + char(code >> 8) + char(code & 255));
        ASSERT_TRUE(QTest::qWaitFor([&] { return line.bytesAvailable() >= 20; }, 2000)) << code;
        EXPECT_GE(clock.elapsed(), 16) << code;
        EXPECT_TRUE(IsValidFrame(line.read(20))) << code;
    }
}

} // namespace

namespace {

// The stable link never replaces a file that has its name.
TEST(SimulatedAdapter, LinkPathNeverReplacesAFile) {
    QTemporaryDir dir;
    const QString taken = dir.filePath(QStringLiteral("taken"));
    QFile file(taken);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("data") == 4);
    file.close();
    SimulatorOptions options;
    options.linkPath = taken;
    SimulatedInstrument sim(options);
    QString error;
    EXPECT_FALSE(sim.start(&error));
    EXPECT_TRUE(error.contains(QStringLiteral("not a link"))) << error.toStdString();
    sim.stop();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("data"));
}

} // namespace
