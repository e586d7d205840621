// SPDX-License-Identifier: GPL-3.0-or-later
// The fault matrix: the controller and its timers against the simulated instrument, one fault
// per test, both through a real serial port on a pseudo-terminal (POSIX) and through the
// in-process simulated line of the demos. Each case states how the download ends and checks that
// every group stored is exactly the instrument's, in the list as Save writes it.
#include "link/monitor.h"
#include "link/monitor_timers.h"
#include "link/qt_serial_line.h"
#include "simulator/simulated_line.h"
#include "support/simulated_lists.h"
#ifdef Q_OS_UNIX
#include "simulator/simulated_instrument.h"
#endif

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

// The simulated instrument and the line the controller reaches it through.
struct Rig {
    virtual ~Rig() = default;
    virtual SerialLine& line() = 0;
    virtual QString device() const = 0;
    virtual const AnswerEngine& instrument() const = 0;
    // The device came back after its unplug, under the name the controller knows.
    virtual bool cameBack() const = 0;
};

struct InProcessRig final : Rig {
    explicit InProcessRig(const SimulatorOptions& options) : sim(options) {}
    SerialLine& line() override { return sim; }
    QString device() const override { return SimulatedLine::DeviceName(); }
    const AnswerEngine& instrument() const override { return sim.instrument(); }
    bool cameBack() const override { return sim.replugCount() == 1; }
    SimulatedLine sim;
};

#ifdef Q_OS_UNIX
struct PtyRig final : Rig {
    explicit PtyRig(const SimulatorOptions& options) : sim(options) {}
    SerialLine& line() override { return port; }
    QString device() const override { return sim.portPath(); }
    const AnswerEngine& instrument() const override { return sim.engine(); }
    bool cameBack() const override {
        return sim.replugCount() == 1 &&
               QFileInfo(sim.portPath()).symLinkTarget() == sim.devicePath();
    }
    SimulatedInstrument sim;
    QtSerialLine port;
};
#endif

enum class Through { Pty, InProcess };

class FaultMatrix : public ::testing::TestWithParam<std::tuple<FaultCase, Through>> {};

TEST_P(FaultMatrix, DownloadEndsAsStatedAndKeepsEveryGroup) {
    const FaultCase& c = std::get<0>(GetParam());
    QTemporaryDir dir;
    SimulatorOptions options = c.options;
    std::unique_ptr<Rig> rig;
    if (std::get<1>(GetParam()) == Through::InProcess) {
        rig = std::make_unique<InProcessRig>(options);
    } else {
#ifdef Q_OS_UNIX
        if (c.comesBack)
            options.linkPath = dir.filePath(QStringLiteral("ttyVELANTIS"));
        auto pty = std::make_unique<PtyRig>(options);
        QString error;
        ASSERT_TRUE(pty->sim.start(&error)) << error.toStdString();
        rig = std::move(pty);
#endif
    }
    const AnswerEngine& sim = rig->instrument();

    PortMap ports([] { return QStringList(); });
    ports.setOverride(3, rig->device());
    Monitor monitor(rig->line(), ports, dir.path());
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
        // The device returns behind the same name (on a pty: a new one): the search finds it and
        // live readings come again; the groups downloaded before stay in the list.
        const QString before = monitor.history().listText();
        QSignalSpy live(&monitor, &Monitor::liveReadingShown);
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return monitor.linkUp == 1 && live.count() > 0; }, 10000));
        EXPECT_TRUE(rig->cameBack());
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

#ifdef Q_OS_UNIX
const Through Ways[] = {Through::Pty, Through::InProcess};
#else
const Through Ways[] = {Through::InProcess};
#endif

INSTANTIATE_TEST_SUITE_P(Faults, FaultMatrix,
                         ::testing::Combine(::testing::ValuesIn(Cases), ::testing::ValuesIn(Ways)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) == Through::Pty ? "" : "InProcess");
                         });

#ifdef Q_OS_UNIX

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

#endif
} // namespace
