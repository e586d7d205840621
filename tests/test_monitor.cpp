// SPDX-License-Identifier: GPL-3.0-or-later
// The controller at tick level: a fake line, ticks called by hand, frames handed in directly.
#include "link/monitor.h"
#include "support/fake_serial_line.h"

#include <QSignalSpy>

#include <QTemporaryDir>
#include <functional>

#include <gtest/gtest.h>

using namespace velantis;
using velantis::testing::FakeSerialLine;

namespace {

QString Dev(int n) {
    return QStringLiteral("/dev/fake%1").arg(n);
}

MeasurementFrame Group(int n, std::uint8_t channel = 0) {
    return FrameBuilder()
        .hv(static_cast<std::uint16_t>(1000 + n % 500), 0x31)
        .r(5000, 0x33)
        .s(4987, 0x33)
        .t(501, 0x32)
        .groupNo(static_cast<std::uint16_t>(n))
        .ratioError(0x83)
        .rated(100, 50)
        .channelKind(channel, 1)
        .build();
}

MeasurementFrame Live(std::uint8_t channel, std::uint16_t hv = 1000, std::uint8_t err = 0x8F) {
    return FrameBuilder()
        .hv(hv, 0x31)
        .r(5000, 0x33)
        .s(4000, 0x33)
        .t(3000, 0x33)
        .ratioError(err)
        .rated(100, 50)
        .channelKind(channel, 2)
        .build();
}

QStringList SixteenDevices() {
    QStringList devices;
    for (int n = 1; n <= 16; ++n)
        devices << Dev(n);
    return devices;
}

class MonitorTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const QString& device : SixteenDevices())
            line.existing.insert(device);
        monitor.setYieldToEvents([] {});
        monitor.Form_Load();
        line.written.clear();
    }
    void send(const MeasurementFrame& f) { line.receive(f.toByteArray()); }
    void bringLinkUp() {
        send(FrameBuilder().build());
        monitor.Timer1_Timer();
    }
    // Starts a read and answers the count request.
    void startDownload(int count) {
        monitor.Command2_Click();
        send(GroupCountFrame(static_cast<std::uint16_t>(count)));
    }
    int rows(const QString& text) const { return text.count(QStringLiteral("\r\n")) - 2; }

    QTemporaryDir folder;
    FakeSerialLine line;
    PortMap ports{&SixteenDevices};
    Monitor monitor{line, ports, folder.path()};
};

TEST(SendRequest, RequestBytes) {
    const struct {
        int code;
        QByteArray bytes;
    } cases[] = {{1, QByteArray::fromHex("64650001")},
                 {30000, QByteArray::fromHex("64657530")},
                 {40000, QByteArray::fromHex("64659C40")},
                 {60003, QByteArray::fromHex("6465EA63")}};
    for (const auto& c : cases) {
        FakeSerialLine line;
        line.existing.insert(QStringLiteral("/dev/x"));
        PortMap ports([] { return QStringList(); });
        ports.setOverride(1, QStringLiteral("/dev/x"));
        QTemporaryDir dir;
        Monitor m(line, ports, dir.path());
        m.OpenPort();
        line.input = "stale bytes";
        m.SendRequest(c.code);
        ASSERT_EQ(line.written.size(), 1) << c.code;
        EXPECT_EQ(line.written[0], c.bytes) << c.code;
        EXPECT_TRUE(line.input.isEmpty()) << "bytes received before a request are discarded";
    }
}

TEST_F(MonitorTest, BusyRequestIsDropped) {
    monitor.requestBusy = 1;
    monitor.SendRequest(1);
    EXPECT_TRUE(line.written.isEmpty());
}

TEST_F(MonitorTest, StartUpOpensPortOneAndListsHeadingOnly) {
    EXPECT_EQ(line.openCalls.first(), Dev(1));
    EXPECT_TRUE(line.isOpen());
    EXPECT_EQ(monitor.history().listText(), HistoryHeading());
    EXPECT_EQ(monitor.history().printText(), HistoryHeading());
}

TEST_F(MonitorTest, SearchProbesTwoToSixteenThenWraps) {
    QList<int> expected;
    for (int p = 2; p <= 16; ++p)
        expected << 60000 + p;
    expected << 60001 << 60002;
    for (int i = 0; i < expected.size(); ++i)
        monitor.Timer2_Timer();
    EXPECT_EQ(line.codes(), expected);
    EXPECT_EQ(line.device, Dev(2));
    EXPECT_EQ(monitor.display().Combo1, QStringLiteral("2"));
}

TEST_F(MonitorTest, SearchStepOnAPortWithoutDeviceLeavesItClosed) {
    ports.setDeviceLister([] { return QStringList{Dev(1), Dev(2)}; });
    monitor.Timer2_Timer(); // port 2
    EXPECT_TRUE(line.isOpen());
    monitor.Timer2_Timer(); // port 3: nothing behind it
    EXPECT_FALSE(line.isOpen());
    EXPECT_EQ(monitor.commPort(), 3);
    monitor.Timer1_Timer();
    EXPECT_EQ(monitor.display().Text1, QStringLiteral("COM3"));
    EXPECT_EQ(monitor.display().Text2, QStringLiteral("串口关闭"));
}

TEST_F(MonitorTest, PortFieldTextDecidesTheNextProbe) {
    const struct {
        QString typed;
        QString next;
        int code;
    } cases[] = {{"16", "1", 60001}, {"7", "8", 60008},  {"abc", "1", 60001},
                 {"", "1", 60001},   {"99", "1", 60001}, {" 4 ", "5", 60005}};
    for (const auto& c : cases) {
        monitor.setPortFieldText(c.typed);
        monitor.Timer2_Timer();
        EXPECT_EQ(monitor.display().Combo1, c.next) << c.typed.toStdString();
        EXPECT_EQ(line.lastCode(), c.code) << c.typed.toStdString();
    }
}

TEST_F(MonitorTest, AnyValidFrameEndsTheSearchAndSilenceRestartsIt) {
    send(FrameBuilder().build()); // twenty zero bytes: kind 0
    EXPECT_EQ(monitor.linkUp, 1);
    EXPECT_EQ(monitor.silentTicks, 0);
    EXPECT_EQ(monitor.history().listText(), HistoryHeading());
    for (int i = 0; i < 30; ++i)
        monitor.Timer2_Timer();
    EXPECT_TRUE(line.written.isEmpty()) << "no probe while the link is up";
    EXPECT_EQ(monitor.linkUp, 1);
    monitor.Timer2_Timer();
    EXPECT_EQ(monitor.linkUp, 0);
    for (int i = 0; i < 1400; ++i)
        monitor.Timer2_Timer();
    EXPECT_EQ(monitor.silentTicks, 1300);
}

TEST_F(MonitorTest, CorruptFrameChangesNothing) {
    QByteArray bad = Live(0).toByteArray();
    bad[19] = char(bad[19] + 1);
    line.receive(bad);
    EXPECT_EQ(monitor.linkUp, 0);
    EXPECT_EQ(monitor.display().Label2, NoReading);
}

TEST_F(MonitorTest, StatusFieldsFollowTheLink) {
    monitor.Timer1_Timer();
    EXPECT_EQ(monitor.display().Text3, QStringLiteral("通信失败"));
    EXPECT_EQ(monitor.display().Text4, QStringLiteral("正在查找..."));
    EXPECT_EQ(monitor.display().Text2, QStringLiteral("串口打开"));
    EXPECT_EQ(monitor.display().Text1, QStringLiteral("COM1"));
    EXPECT_EQ(monitor.timer2Interval(), 20);
    send(Live(0));
    monitor.Timer1_Timer();
    EXPECT_EQ(monitor.display().Text3, QStringLiteral("通信成功"));
    EXPECT_EQ(monitor.display().panel1, QStringLiteral("通信失败")) << "panel 1 lags one tick";
    EXPECT_EQ(monitor.display().Text4, QString());
    EXPECT_EQ(monitor.timer2Interval(), 70);
}

TEST_F(MonitorTest, LiveReadingFillsTheChannelsRow) {
    const QString hv = QStringLiteral("100.0A");
    const QString err = QStringLiteral("+1.5%");
    const QString none = NoReading;
    const QString zero = ZeroError;
    const QString keep = QStringLiteral("keep");
    const struct {
        std::uint8_t channel;
        std::uint16_t hvRaw;
        QString l8, l9, l10, l13, l19, l20, ratio;
    } cases[] = {
        {0, 1000, hv, none, none, err, zero, zero, "变比:100/5A"},
        {1, 1000, none, hv, none, zero, err, zero, "变比:125/5A"},
        {2, 1000, none, none, hv, zero, zero, err, "变比:167/5A"},
        {0, 20000, none, none, none, keep, keep, keep, "变比:---/5A"},
        {7, 1000, none, none, none, keep, keep, keep, "变比:---/5A"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.channel);
        SCOPED_TRACE(c.hvRaw);
        send(Live(2));
        send(Live(c.channel, c.hvRaw));
        const DisplayState& d = monitor.display();
        const QString before = QStringLiteral("0.0%");
        auto f = [&](const QString& expected) { return expected == keep ? before : expected; };
        EXPECT_EQ(d.Label8, c.l8);
        EXPECT_EQ(d.Label9, c.l9);
        EXPECT_EQ(d.Label10, c.l10);
        // "keep": unchanged from the channel-2 frame before it.
        EXPECT_EQ(d.Label13, f(c.l13));
        EXPECT_EQ(d.Label19, f(c.l19));
        EXPECT_EQ(d.Label20, c.l20 == keep ? err : c.l20);
        EXPECT_EQ(d.Label2, QStringLiteral("5.000A"));
        EXPECT_EQ(d.Label4, QStringLiteral("4.000A"));
        EXPECT_EQ(d.Label5, QStringLiteral("3.000A"));
        EXPECT_EQ(d.Label14, QStringLiteral("设定:100/5A"));
        EXPECT_EQ(d.Label17, c.ratio);
    }
}

TEST_F(MonitorTest, WarningsShowWhileFlaggedAndVanishWithTheLink) {
    send(FrameBuilder().hv(1000, 0x31).r(5000, 0x33).flags(true, false).channelKind(0, 2).build());
    EXPECT_TRUE(monitor.display().Label15Visible);
    EXPECT_FALSE(monitor.display().Label16Visible);
    send(FrameBuilder().hv(1000, 0x31).r(5000, 0x33).flags(false, true).channelKind(0, 2).build());
    EXPECT_FALSE(monitor.display().Label15Visible);
    EXPECT_TRUE(monitor.display().Label16Visible);
    monitor.linkUp = 0;
    monitor.Timer1_Timer();
    EXPECT_FALSE(monitor.display().Label16Visible);
    EXPECT_EQ(monitor.display().Label2, NoReading);
    EXPECT_EQ(monitor.display().Label14, NoSetting);
    EXPECT_EQ(monitor.display().Label17, NoRatio);
}

TEST_F(MonitorTest, LivePollOnlyWhileLinkedAndIdle) {
    monitor.Timer3_Timer();
    EXPECT_TRUE(line.written.isEmpty());
    bringLinkUp();
    monitor.Timer3_Timer();
    EXPECT_EQ(line.codes(), QList<int>{30000});
    monitor.Command2_Click();
    line.written.clear();
    monitor.Timer3_Timer();
    EXPECT_TRUE(line.written.isEmpty()) << "no live request during a download";
}

TEST_F(MonitorTest, DownloadOfThreeGroups) {
    bringLinkUp();
    startDownload(3);
    EXPECT_EQ(line.codes(), (QList<int>{40000, 1}));
    EXPECT_TRUE(monitor.display().progressVisible);
    EXPECT_EQ(monitor.display().progressValue, 0);
    const int progress[] = {66, 100, 100};
    for (int n = 1; n <= 3; ++n) {
        send(Group(n));
        EXPECT_EQ(monitor.display().progressValue, progress[n - 1]);
        EXPECT_EQ(line.lastCode(), n + 1);
    }
    monitor.Timer1_Timer();
    EXPECT_FALSE(monitor.display().Command2Enabled);
    EXPECT_EQ(monitor.timer4Interval(), 50);
    send(EndOfGroupsFrame());
    EXPECT_EQ(monitor.downloading, 0);
    EXPECT_FALSE(monitor.display().progressVisible);
    EXPECT_EQ(rows(monitor.history().listText()), 3);
    EXPECT_EQ(monitor.lastDownloadEnd(), DownloadEnd::EndFrame);
    EXPECT_EQ(monitor.groupsStored(), 3);
    monitor.Timer1_Timer();
    EXPECT_TRUE(monitor.display().Command2Enabled);
    EXPECT_EQ(monitor.timer4Interval(), 0);
}

TEST_F(MonitorTest, WrongGroupRepeatsTheRequest) {
    bringLinkUp();
    startDownload(5);
    send(Group(1));
    monitor.replyTicks = 2;
    send(Group(3));
    EXPECT_EQ(monitor.groupIndex, 2);
    EXPECT_EQ(monitor.replyTicks, 2);
    EXPECT_EQ(line.lastCode(), 2);
    EXPECT_TRUE(monitor.store().isEmpty(*SlotIndex::make(3)));
}

TEST_F(MonitorTest, WatchdogRepeatsThreeTimesThenEndsWithTheList) {
    bringLinkUp();
    startDownload(5);
    send(Group(1));
    line.written.clear();
    QList<int> repeatedAt;
    for (int tick = 1; tick <= 6; ++tick) {
        const auto before = line.written.size();
        monitor.Timer4_Timer();
        if (line.written.size() > before)
            repeatedAt << tick;
    }
    EXPECT_EQ(repeatedAt, (QList<int>{4, 5, 6}));
    EXPECT_EQ(line.codes(), (QList<int>{2, 2, 2}));
    EXPECT_EQ(monitor.downloading, 0);
    EXPECT_EQ(monitor.lastDownloadEnd(), DownloadEnd::Watchdog);
    EXPECT_EQ(rows(monitor.history().listText()), 1);

    // The next read keeps replyTicks: its first watchdog tick already repeats (the count
    // request, as no count has come yet).
    monitor.Command2_Click();
    line.written.clear();
    monitor.Timer4_Timer();
    EXPECT_EQ(line.codes(), QList<int>{40000});
    EXPECT_EQ(monitor.retryCount, 1);
}

TEST_F(MonitorTest, LostLinkEndsTheDownloadAndKeepsTheGroupsInTheList) {
    bringLinkUp();
    startDownload(10);
    for (int n = 1; n <= 5; ++n)
        send(Group(n));
    for (int i = 0; i < 31; ++i)
        monitor.Timer2_Timer();
    monitor.Timer1_Timer();
    EXPECT_EQ(monitor.downloading, 0);
    EXPECT_EQ(monitor.lastDownloadEnd(), DownloadEnd::LinkLost);
    EXPECT_EQ(rows(monitor.history().listText()), 5);
    EXPECT_EQ(monitor.history().printText(), monitor.history().listText());
    EXPECT_TRUE(monitor.display().downloadSummary.contains(QStringLiteral("5/10")));
}

TEST_F(MonitorTest, GroupSixtyFourRefreshesTheListMidway) {
    bringLinkUp();
    startDownload(100);
    for (int n = 1; n <= 63; ++n)
        send(Group(n));
    EXPECT_EQ(rows(monitor.history().listText()), 0);
    send(Group(64));
    EXPECT_EQ(rows(monitor.history().listText()), 64);
    EXPECT_EQ(monitor.downloading, 1);
    EXPECT_EQ(line.lastCode(), 65);
}

TEST_F(MonitorTest, CountZeroRaisesTheErrorAndSendsNothing) {
    bringLinkUp();
    QSignalSpy error(&monitor, &Monitor::groupCountError);
    monitor.Command2_Click();
    line.written.clear();
    send(GroupCountFrame(0));
    EXPECT_EQ(error.count(), 1);
    EXPECT_TRUE(line.written.isEmpty());
    EXPECT_EQ(monitor.downloading, 1);
}

TEST_F(MonitorTest, StoreEndsAtGroupFourThousand) {
    const struct {
        int count;
        int lastRequest;
        DownloadEnd end;
    } cases[] = {{4005, 4000, DownloadEnd::StoreFull}, {4000, 4001, DownloadEnd::EndFrame}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.count);
        bringLinkUp();
        startDownload(c.count);
        for (int n = 1; n <= 4000; ++n)
            send(Group(n));
        EXPECT_EQ(line.lastCode(), c.lastRequest);
        if (c.end == DownloadEnd::EndFrame)
            send(EndOfGroupsFrame());
        EXPECT_EQ(monitor.downloading, 0);
        EXPECT_EQ(monitor.lastDownloadEnd(), c.end);
        EXPECT_FALSE(monitor.store().isEmpty(*SlotIndex::make(4000)));
        EXPECT_EQ(rows(monitor.history().listText()), 3500) << "the full list ends at 3500";
    }
}

TEST_F(MonitorTest, PortNumberFrameReopensThePort) {
    const struct {
        std::uint8_t port;
        QString field;
        QString device;
    } cases[] = {{7, "7", Dev(7)}, {0, "0", Dev(7)}, {20, "20", Dev(7)}, {3, "3", Dev(3)}};
    for (const auto& c : cases) {
        send(PortNumberFrame(c.port));
        EXPECT_EQ(monitor.display().Combo1, c.field);
        EXPECT_EQ(line.device, c.device) << int(c.port);
        EXPECT_TRUE(line.isOpen());
    }
    line.existing.remove(Dev(9));
    ports.setDeviceLister([] {
        QStringList devices;
        for (int n = 1; n <= 8; ++n)
            devices << Dev(n);
        return devices;
    });
    send(PortNumberFrame(9));
    EXPECT_EQ(line.device, Dev(3)) << "a port without a device keeps the previous one";
    EXPECT_EQ(monitor.display().Combo1, QStringLiteral("3"));
}

TEST_F(MonitorTest, ShortBlockWaitsAndTwoBlocksAreBothHandled) {
    const QByteArray frame = Live(1).toByteArray();
    line.receive(frame.left(12));
    EXPECT_EQ(monitor.linkUp, 0);
    line.receive(frame.mid(12));
    EXPECT_EQ(monitor.linkUp, 1);
    EXPECT_EQ(monitor.display().Label9, QStringLiteral("100.0A"));
    line.receive(Live(0).toByteArray() + Live(2).toByteArray());
    EXPECT_EQ(monitor.display().Label10, QStringLiteral("100.0A"));
    EXPECT_EQ(monitor.display().Label13, ZeroError);
}

TEST_F(MonitorTest, ReadCommandYieldStaysConsistent) {
    // A late group of an earlier download arrives inside the yield: it must not survive the
    // clear of the new read.
    bringLinkUp();
    startDownload(10);
    send(Group(1));
    monitor.setYieldToEvents([this] { send(Group(2)); });
    line.written.clear();
    monitor.Command2_Click();
    EXPECT_TRUE(monitor.store().isEmpty(*SlotIndex::make(2)));
    EXPECT_EQ(monitor.history().listText(), HistoryHeading());
    EXPECT_EQ(line.lastCode(), 40000);
    EXPECT_EQ(monitor.groupIndex, 1);

    // A second read from the menu inside the yield: one count request, not two.
    bool nested = false;
    monitor.setYieldToEvents([&] {
        if (!nested) {
            nested = true;
            monitor.Command2_Click();
        }
    });
    line.written.clear();
    monitor.Command2_Click();
    EXPECT_EQ(line.codes(), QList<int>{40000});
    EXPECT_EQ(monitor.downloading, 1);

    // A late end frame or a last watchdog tick inside the yield does not end the download that
    // is starting: that download ends once, when its own end comes.
    QSignalSpy ended(&monitor, &Monitor::downloadEnded);
    const std::function<void()> lateEnds[] = {
        [this] { send(EndOfGroupsFrame()); },
        [this] {
            monitor.replyTicks = 5;
            monitor.retryCount = 2;
            monitor.Timer4_Timer();
        },
    };
    for (const auto& late : lateEnds) {
        ended.clear();
        monitor.setYieldToEvents(late);
        monitor.Command2_Click();
        EXPECT_EQ(monitor.downloading, 1);
        EXPECT_EQ(monitor.lastDownloadEnd(), DownloadEnd::Running);
        EXPECT_EQ(ended.count(), 0);
        monitor.setYieldToEvents([] {});
        send(GroupCountFrame(1));
        send(Group(1));
        send(EndOfGroupsFrame());
        EXPECT_EQ(ended.count(), 1);
        EXPECT_EQ(monitor.lastDownloadEnd(), DownloadEnd::EndFrame);
    }

    // A tick inside the yield that finds the link down ends the download as usual.
    monitor.setYieldToEvents([this] {
        monitor.linkUp = 0;
        monitor.Timer1_Timer();
    });
    monitor.Command2_Click();
    EXPECT_EQ(monitor.downloading, 0);
    EXPECT_EQ(line.lastCode(), 40000);
}

// Until the count has arrived the watchdog asks for the count again; a download that ends with
// fewer groups than announced is never called complete.
TEST_F(MonitorTest, DownloadIsCompleteOnlyWithEveryAnnouncedGroup) {
    const struct {
        const char* name;
        int count;   // announced groups, or -1: the count answer is lost
        int answers; // groups answered before the instrument sends its end frame
        DownloadEnd end;
        const char* summary;
    } cases[] = {
        {"all groups", 3, 3, DownloadEnd::EndFrame, "读取完成: 已存 3/3 组"},
        {"end frame early", 5, 3, DownloadEnd::Incomplete,
         "读取不完整 (仪器提前结束): 已存 3/5 组"},
        {"count lost", -1, 0, DownloadEnd::Incomplete, "已存 0/? 组"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        bringLinkUp();
        startDownload(7); // an earlier download leaves a count behind
        send(EndOfGroupsFrame());
        QSignalSpy ended(&monitor, &Monitor::downloadEnded);
        line.written.clear();
        if (c.count >= 0)
            startDownload(c.count);
        else
            monitor.Command2_Click();
        for (int n = 1; n <= c.answers; ++n)
            send(Group(n));
        send(EndOfGroupsFrame());
        EXPECT_EQ(monitor.lastDownloadEnd(), c.end);
        EXPECT_TRUE(monitor.display().downloadSummary.endsWith(QString::fromUtf8(c.summary)))
            << monitor.display().downloadSummary.toStdString();
        EXPECT_EQ(ended.count(), 1);
    }

    // The count answer is lost: the watchdog repeats the count request, three times at most.
    bringLinkUp();
    monitor.Command2_Click();
    line.written.clear();
    for (int tick = 1; tick <= 6; ++tick)
        monitor.Timer4_Timer();
    EXPECT_EQ(line.codes(), (QList<int>{40000, 40000, 40000}));
    EXPECT_EQ(monitor.lastDownloadEnd(), DownloadEnd::Watchdog);
}

// No answer for 10 s of searching is told, and again every 60 s, with the ports tried and the
// one the system refused; once the instrument answers, the count starts afresh.
TEST_F(MonitorTest, UnansweredSearchIsToldAfterTenSecondsThenEveryMinute) {
    line.denied.insert(Dev(4));
    QSignalSpy told(&monitor, &Monitor::searchUnanswered);
    for (int i = 0; i < 4; ++i)
        monitor.Timer2_Timer(); // ports 2..5 after port 1 at start
    for (int t = 1; t < Monitor::SearchAdviceTicks; ++t)
        monitor.Timer1_Timer();
    EXPECT_EQ(told.count(), 0);
    monitor.Timer1_Timer();
    EXPECT_EQ(told.count(), 1);
    const Monitor::SearchReport report = monitor.searchReport();
    ASSERT_EQ(report.tried.size(), 5);
    EXPECT_EQ(report.tried[3], std::make_pair(4, Dev(4)));
    EXPECT_EQ(report.refused, QStringList{Dev(4)});
    for (int t = 0; t < Monitor::SearchAdviceRepeatTicks; ++t)
        monitor.Timer1_Timer();
    EXPECT_EQ(told.count(), 2);
    bringLinkUp();
    EXPECT_TRUE(monitor.searchReport().tried.isEmpty());
    for (int t = 0; t < Monitor::SearchAdviceTicks * 2; ++t) {
        send(FrameBuilder().build()); // the instrument keeps answering
        monitor.Timer1_Timer();
    }
    EXPECT_EQ(told.count(), 2);
}

TEST_F(MonitorTest, PortInUseIsNotAPermissionProblem) {
    line.busy.insert(Dev(3));
    line.denied.insert(Dev(4));
    monitor.setPortFieldText(QStringLiteral("2"));
    monitor.Timer2_Timer();
    const QString busyNotice = monitor.display().portNotice;
    EXPECT_TRUE(busyNotice.contains(QStringLiteral("已被其他程序占用")));
    EXPECT_TRUE(busyNotice.contains(QStringLiteral("minicom")));
    EXPECT_FALSE(busyNotice.contains(QStringLiteral("dialout")));
    monitor.Timer2_Timer();
    const QString deniedNotice = monitor.display().portNotice;
    EXPECT_TRUE(deniedNotice.contains(QStringLiteral("dialout")));
    EXPECT_FALSE(deniedNotice.contains(QStringLiteral("in use")));
}

TEST_F(MonitorTest, ClosePortIsSafeToRepeat) {
    ASSERT_TRUE(line.isOpen());
    monitor.closePort();
    EXPECT_FALSE(line.isOpen());
    EXPECT_EQ(monitor.display().Text2, QStringLiteral("串口关闭"));
    monitor.closePort();
    EXPECT_FALSE(line.isOpen());
}

TEST_F(MonitorTest, PermissionProblemIsToldOnce) {
    line.denied.insert(Dev(2));
    monitor.Timer2_Timer();
    EXPECT_TRUE(monitor.display().portNotice.contains(QStringLiteral("dialout")));
    monitor.setPortFieldText(QStringLiteral("5"));
    monitor.Timer2_Timer();
    const QString later = QStringLiteral("later");
    // The notice is not raised again for the same device.
    monitor.setPortFieldText(QStringLiteral("1"));
    monitor.Timer2_Timer();
    EXPECT_TRUE(monitor.display().portNotice.contains(Dev(2)));
}

TEST_F(MonitorTest, UnpluggedLineIsClosedAndSearchGoesOn) {
    bringLinkUp();
    line.unplug();
    EXPECT_TRUE(monitor.display().portNotice.contains(QStringLiteral("unplugged")));
    monitor.Timer1_Timer();
    EXPECT_EQ(monitor.display().Text2, QStringLiteral("串口关闭"));
    for (int i = 0; i < 31; ++i)
        monitor.Timer2_Timer();
    EXPECT_EQ(monitor.linkUp, 0);
    monitor.Timer2_Timer();
    EXPECT_TRUE(line.isOpen()) << "the search opens the next port";
}

TEST_F(MonitorTest, PrintServiceRangeThenFullList) {
    bringLinkUp();
    startDownload(20);
    for (int n = 1; n <= 20; ++n)
        send(Group(n));
    send(EndOfGroupsFrame());
    QStringList printed;
    monitor.setPrintList([&](const QString& text) { printed << text; });
    const struct {
        int first, last, rows, firstAfter, lastAfter;
    } cases[] = {{1, 100, 20, 1, 100}, {5, 3, 0, 5, 3}, {0, 0, 20, 1, 3500}, {15, 0, 6, 15, 3500}};
    for (const auto& c : cases) {
        printed.clear();
        monitor.form2kai = c.first;
        monitor.form2jie = c.last;
        monitor.form2dybiaozi = 1;
        monitor.Timer5_Timer();
        ASSERT_EQ(printed.size(), 1);
        EXPECT_EQ(rows(printed[0]), c.rows) << c.first << ".." << c.last;
        EXPECT_EQ(monitor.form2kai, c.firstAfter);
        EXPECT_EQ(monitor.form2jie, c.lastAfter);
        EXPECT_EQ(monitor.form2dybiaozi, 0);
        EXPECT_EQ(monitor.history().printText(), monitor.history().listText());
        monitor.Timer5_Timer();
        EXPECT_EQ(printed.size(), 1) << "a request is served once";
    }
}

} // namespace
