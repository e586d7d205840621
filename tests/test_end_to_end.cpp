// SPDX-License-Identifier: GPL-3.0-or-later
// The whole chain over a pseudo-terminal: the simulated instrument on one side, the controller
// with a real serial port (in this process, or in velantis-cli) on the other.
#include "link/monitor.h"
#include "link/monitor_timers.h"
#include "link/qt_serial_line.h"
#include "records/data_file.h"
#include "records/live_record.h"
#include "simulator/simulated_instrument.h"
#include "support/simulated_lists.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include <sys/stat.h>

using namespace velantis;

namespace {

// What Save writes after a download that stored groups 1..count of the simulator.
QByteArray ExpectedDownload(const SimulatedInstrument& sim, int count) {
    return DataFileBytes(velantis::testing::ExpectedList(sim, count));
}

int RowCount(const QByteArray& saved) {
    return static_cast<int>(saved.count("\r\n")) - 3; // two heading lines and the final CR LF
}

struct CliResult {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

CliResult Download(const SimulatedInstrument& sim, const QStringList& more = {}) {
    QProcess cli;
    cli.start(QStringLiteral(VELANTIS_CLI),
              QStringList{QStringLiteral("download"), QStringLiteral("--port"),
                          QStringLiteral("3=") + sim.devicePath(), QStringLiteral("--timeout"),
                          QStringLiteral("10")} +
                  more);
    EXPECT_TRUE(cli.waitForFinished(60000));
    return {cli.exitCode(), cli.readAllStandardOutput(), cli.readAllStandardError()};
}

TEST(EndToEnd, SearchFindsTheInstrumentAndShowsLiveReadings) {
    SimulatedInstrument sim;
    QString error;
    ASSERT_TRUE(sim.start(&error)) << error.toStdString();
    QtSerialLine line;
    PortMap ports([] { return QStringList(); }); // only the simulator, as port 5
    ports.setOverride(5, sim.devicePath());
    QTemporaryDir dir;
    Monitor monitor(line, ports, dir.path());
    MonitorTimers timers(monitor);
    monitor.Form_Load();
    timers.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return monitor.linkUp == 1; }, 5000));
    EXPECT_EQ(monitor.display().Combo1, QStringLiteral("5"));
    EXPECT_EQ(monitor.commPort(), 5);
    ASSERT_TRUE(QTest::qWaitFor([&] { return monitor.display().Label14 != NoSetting; }, 3000));
    EXPECT_TRUE(monitor.display().Label17.startsWith(QStringLiteral("变比:")));
    EXPECT_NE(monitor.display().Label2, NoReading);
    EXPECT_TRUE(sim.requestCodes().contains(Monitor::LiveRequest));
    // The status texts follow at Timer1's next tick (70 ms), later on a loaded machine.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return monitor.display().Text3 == QStringLiteral("通信成功"); }, 3000))
        << monitor.display().Text3.toStdString();
    EXPECT_EQ(monitor.display().Text2, QStringLiteral("串口打开"));
}

TEST(EndToEnd, DownloadOfTwoHundredGroupsGivesTheExactList) {
    SimulatorOptions options;
    options.storedGroups = 200;
    SimulatedInstrument sim(options);
    ASSERT_TRUE(sim.start());
    const CliResult r = Download(sim);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, ExpectedDownload(sim, 200));
}

TEST(EndToEnd, FaultsOnTheLineLoseNoGroup) {
    const struct {
        const char* name;
        SimulatorOptions options;
        int exitCode; // 0: complete; 4: ended early, every group stored so far kept
    } cases[] = {
        {"dropped answers", {.storedGroups = 40, .emulateByteTime = false, .dropEvery = 9}, 0},
        {"bad checksums", {.storedGroups = 40, .emulateByteTime = false, .corruptEvery = 7}, 0},
        {"wrong groups", {.storedGroups = 40, .emulateByteTime = false, .wrongGroupEvery = 5}, 0},
        {"short blocks", {.storedGroups = 40, .emulateByteTime = false, .shortEvery = 8}, 0},
        {"silent", {.storedGroups = 40, .emulateByteTime = false, .silentAfter = 25}, 4},
        {"unplugged", {.storedGroups = 40, .emulateByteTime = false, .unplugAfter = 30}, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimulatedInstrument sim(c.options);
        ASSERT_TRUE(sim.start());
        const CliResult r = Download(sim);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err.toStdString();
        const int rows = RowCount(r.out);
        if (c.exitCode == 0) {
            EXPECT_EQ(rows, 40);
        } else {
            // Groups stored before the line went quiet are all in the output, in order.
            EXPECT_GT(rows, 10);
            EXPECT_LT(rows, 40);
        }
        EXPECT_EQ(r.out, ExpectedDownload(sim, rows));
    }
}

TEST(EndToEnd, NoInstrumentMeansExitThree) {
    QProcess cli;
    cli.start(QStringLiteral(VELANTIS_CLI), {QStringLiteral("download"), QStringLiteral("--port"),
                                             QStringLiteral("3=/nonexistent/tty"),
                                             QStringLiteral("--timeout"), QStringLiteral("0.5")});
    ASSERT_TRUE(cli.waitForFinished(20000));
    EXPECT_EQ(cli.exitCode(), 3);
    EXPECT_TRUE(cli.readAllStandardOutput().isEmpty());
    // The ports given are the only ones searched: none of the machine's own serial devices.
    const QString err = QString::fromUtf8(cli.readAllStandardError());
    EXPECT_TRUE(err.startsWith(QStringLiteral("ports: 3=/nonexistent/tty\n"))) << err.toStdString();
}

// Every other answer lost, the count answer among them: the download still gets every group.
TEST(EndToEnd, LostCountAnswerIsAskedAgain) {
    SimulatedInstrument sim({.storedGroups = 6, .emulateByteTime = false, .dropEvery = 2});
    ASSERT_TRUE(sim.start());
    const CliResult r = Download(sim);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, ExpectedDownload(sim, 6));
}

// A download given up by the watchdog: the third repeat reaches the instrument before the
// tool exits.
TEST(EndToEnd, LastRepeatLeavesBeforeExit) {
    SimulatedInstrument sim({.storedGroups = 40, .emulateByteTime = false, .silentAfter = 12});
    ASSERT_TRUE(sim.start());
    const CliResult r = Download(sim);
    EXPECT_EQ(r.exitCode, 4) << r.err.toStdString();
    QTest::qWait(200); // the simulator's thread reads what is on the line
    const QList<std::uint16_t> codes = sim.requestCodes();
    ASSERT_FALSE(codes.isEmpty());
    int sameAtEnd = 0;
    for (auto it = codes.crbegin(); it != codes.crend() && *it == codes.last(); ++it)
        ++sameAtEnd;
    EXPECT_EQ(sameAtEnd, 4) << "the request and its three repeats";
}

TEST(EndToEnd, OutputToStreamsAndFifos) {
    SimulatedInstrument sim({.storedGroups = 5, .emulateByteTime = false});
    ASSERT_TRUE(sim.start());
    const CliResult toStdout = Download(sim, {QStringLiteral("-o"), QStringLiteral("/dev/stdout")});
    EXPECT_EQ(toStdout.exitCode, 0) << toStdout.err.toStdString();
    EXPECT_EQ(toStdout.out, ExpectedDownload(sim, 5));

    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const CliResult noReader = Download(sim, {QStringLiteral("-o"), fifo});
    EXPECT_EQ(noReader.exitCode, 5);
    EXPECT_TRUE(noReader.err.contains("no reader")) << noReader.err.toStdString();
}

// Standard output that cannot be written (a full disk) is never reported as done: exit 5 with
// the system's reason, for the list, the CSV and live readings.
TEST(EndToEnd, UnwritableStandardOutputIsAFailure) {
    SimulatedInstrument sim({.storedGroups = 5, .emulateByteTime = false});
    ASSERT_TRUE(sim.start());
    const QStringList commands[] = {{"download"},
                                    {"download", "--csv"},
                                    {"live", "--count", "2"},
                                    {"live", "--csv", "--count", "2"}};
    for (const QStringList& command : commands) {
        QProcess cli;
        cli.setStandardOutputFile(QStringLiteral("/dev/full"));
        cli.start(QStringLiteral(VELANTIS_CLI),
                  command + QStringList{"--port", "3=" + sim.devicePath(), "--timeout", "10"});
        ASSERT_TRUE(cli.waitForFinished(60000));
        const QString err = QString::fromUtf8(cli.readAllStandardError());
        EXPECT_EQ(cli.exitCode(), 5) << command.join(' ').toStdString() << err.toStdString();
        EXPECT_TRUE(err.contains(QString::fromLocal8Bit(std::strerror(ENOSPC))))
            << command.join(' ').toStdString() << err.toStdString();
    }
}

// live --csv writes the live record's rows, to standard output or through the record to a file.
TEST(EndToEnd, LiveCsvHasTheRecordColumns) {
    SimulatedInstrument sim({.storedGroups = 0, .emulateByteTime = false});
    ASSERT_TRUE(sim.start());
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("live.csv"));
    for (const QStringList& more : {QStringList{}, QStringList{"-o", file}}) {
        QProcess cli;
        cli.start(QStringLiteral(VELANTIS_CLI),
                  QStringList{"live", "--csv", "--count", "2", "--port", "3=" + sim.devicePath()} +
                      more);
        ASSERT_TRUE(cli.waitForFinished(60000));
        EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
        QFile written(file);
        const QByteArray out = more.isEmpty()
                                   ? cli.readAllStandardOutput()
                                   : (written.open(QIODevice::ReadOnly), written.readAll());
        ASSERT_TRUE(out.startsWith(LiveRecordHeading())) << out.toStdString();
        const QList<QByteArray> rows = out.mid(LiveRecordHeading().size()).split('\n');
        ASSERT_EQ(rows.size(), 3) << out.toStdString(); // two rows, nothing after the last
        for (int i = 0; i < 2; ++i) {
            const QList<QByteArray> cells = rows[i].split(',');
            ASSERT_EQ(cells.size(), 11) << rows[i].toStdString();
            EXPECT_TRUE(cells[10] == "0\r" || cells[10] == "1\r");
            EXPECT_TRUE(QDateTime::fromString(QString::fromLatin1(cells[0]),
                                              QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"))
                            .isValid());
        }
    }
}

// The test report from the command line: read back with pdftotext it holds the information, the
// summary and a 超差 row, in the tool's language; a wrong class, key or date is a usage error, an
// unwritable report exit 5.
TEST(EndToEnd, DownloadWritesTheTestReport) {
    SimulatedInstrument sim({.storedGroups = 60, .emulateByteTime = false});
    ASSERT_TRUE(sim.start());
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
    const QStringList info{
        "--class",        "0.5",    "--info",         "station=城南变电站", "--info",
        "serial=CT-2041", "--info", "date=2026-11-30"};
    const auto reportText = [&](const char* language) {
        const CliResult r = Download(sim, info + QStringList{"--report", pdf, "--lang", language});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(r.out, ExpectedDownload(sim, 60)) << "the list is as without a report";
        QProcess text;
        text.start(QStringLiteral("pdftotext"),
                   {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        EXPECT_TRUE(text.waitForFinished(20000));
        return QString::fromUtf8(text.readAllStandardOutput());
    };
    const QString report = reportText("zh");
    QString packed = report; // pdftotext spaces Chinese text as it likes
    packed.remove(QLatin1Char(' '));
    for (const char* expected :
         {"电流互感器变比试验报告", "城南变电站", "CT-2041", "2026-11-30", "组数60", "第1页/共"})
        EXPECT_TRUE(packed.contains(QString::fromUtf8(expected))) << expected;
    EXPECT_TRUE(report.contains(QRegularExpression(QStringLiteral("\\n\\s*\\d+ .*超差"))))
        << "a 超差 row";
    // In English the report's own texts are English; what was typed in stays as it was.
    QString english = reportText("en");
    english.remove(QLatin1Char(' '));
    EXPECT_TRUE(english.contains(QStringLiteral("CT-2041")));
    EXPECT_TRUE(english.contains(QString::fromUtf8("城南变电站")));
    EXPECT_FALSE(english.contains(QString::fromUtf8("电流互感器变比试验报告")))
        << english.toStdString();

    const struct {
        QStringList args;
        int exitCode;
    } wrong[] = {
        {{"--class", "0.3"}, 2},
        {{"--info", "colour=red"}, 2},
        {{"--info", "date=2026-13-01"}, 2},
        {{"--report", "/dev/full"}, 5},
    };
    for (const auto& w : wrong) {
        const CliResult bad = Download(sim, w.args);
        EXPECT_EQ(bad.exitCode, w.exitCode)
            << w.args.join(' ').toStdString() << bad.err.toStdString();
    }
}

// A port that another program holds is told as such, naming the lock.
TEST(EndToEnd, PortHeldByAnotherProgramIsBusy) {
    SimulatedInstrument sim;
    ASSERT_TRUE(sim.start());
    QSerialPort holder(sim.devicePath());
    ASSERT_TRUE(holder.open(QIODevice::ReadWrite)) << holder.errorString().toStdString();
    QtSerialLine line;
    EXPECT_FALSE(line.open(sim.devicePath()));
    EXPECT_EQ(line.lastOpenError(), SerialLine::OpenError::Busy);
    EXPECT_TRUE(line.lastErrorText().contains(QStringLiteral("LCK..")))
        << line.lastErrorText().toStdString();
    holder.close();
    EXPECT_TRUE(line.open(sim.devicePath()));
}

// Requests written just before the line closes still leave it.
TEST(EndToEnd, CloseLetsQueuedRequestsLeave) {
    SimulatedInstrument sim;
    ASSERT_TRUE(sim.start());
    QtSerialLine line;
    ASSERT_TRUE(line.open(sim.devicePath()));
    for (std::uint16_t code : {std::uint16_t(7), std::uint16_t(8)})
        line.write(QByteArray::fromHex("6465") + char(code >> 8) + char(code & 255));
    line.close();
    line.close(); // twice is harmless
    EXPECT_TRUE(QTest::qWaitFor([&] { return sim.requestCodes().size() == 2; }, 2000));
    EXPECT_EQ(sim.requestCodes(), (QList<std::uint16_t>{7, 8}));
}

} // namespace

// Stopped by SIGTERM or SIGINT while it reads, the tool keeps what it stored: archived as an
// interrupted download with its count, written out as after any early end, exit 4.
TEST(EndToEnd, DownloadStoppedBySignalIsKeptAsInterrupted) {
    for (const int signal : {SIGTERM, SIGINT}) {
        SimulatedInstrument sim({.storedGroups = 200, .latencyTimerMs = 10}); // a few seconds
        ASSERT_TRUE(sim.start());
        QTemporaryDir dir;
        const QStringList records{QStringLiteral("--records"), dir.filePath("r.sqlite")};
        QProcess cli;
        cli.start(QStringLiteral(VELANTIS_CLI),
                  QStringList{"download", "--port", "3=" + sim.devicePath()} + records);
        QByteArray err;
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return (err += cli.readAllStandardError()).contains("10% ("); }, 30000));
        ASSERT_EQ(::kill(static_cast<pid_t>(cli.processId()), signal), 0);
        ASSERT_TRUE(cli.waitForFinished(30000));
        EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(cli.exitCode(), 4) << signal << cli.readAllStandardError().toStdString();
        QProcess list;
        list.start(QStringLiteral(VELANTIS_CLI), QStringList{"records", "list"} + records);
        ASSERT_TRUE(list.waitForFinished(30000));
        const QStringList fields = QString::fromUtf8(list.readAllStandardOutput()).split(u'\t');
        ASSERT_EQ(fields.size(), 14) << signal;
        const int stored = fields[4].toInt();
        EXPECT_TRUE(stored > 0 && stored < 200) << stored;
        EXPECT_EQ(fields[7], QStringLiteral("%1/200 interrupted").arg(stored));
        EXPECT_EQ(fields[8], QStringLiteral("1-%1").arg(stored)); // the groups it stored
        EXPECT_EQ(cli.readAllStandardOutput(), ExpectedDownload(sim, stored)) << "written out";
    }
}

// Two downloads archiving into one database at the same moment: both kept; each reopened test
// gives back exactly the bytes its download wrote; a test that is not there is exit 2.
TEST(EndToEnd, ConcurrentDownloadsAreBothArchivedAndShowTheirBytes) {
    QTemporaryDir dir;
    const QString records = dir.filePath(QStringLiteral("records.sqlite"));
    SimulatedInstrument a({.storedGroups = 300, .emulateByteTime = false});
    SimulatedInstrument b({.storedGroups = 250, .emulateByteTime = false});
    ASSERT_TRUE(a.start() && b.start());
    QProcess runs[2];
    const SimulatedInstrument* sims[2] = {&a, &b};
    const char* serials[2] = {"serial=CT-A", "serial=CT-B"};
    for (int i = 0; i < 2; ++i)
        runs[i].start(QStringLiteral(VELANTIS_CLI),
                      {QStringLiteral("download"), QStringLiteral("--port"),
                       QStringLiteral("3=") + sims[i]->devicePath(), QStringLiteral("--records"),
                       records, QStringLiteral("--info"), QString::fromLatin1(serials[i])});
    QByteArray saved[2];
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(runs[i].waitForFinished(60000));
        EXPECT_EQ(runs[i].exitCode(), 0) << runs[i].readAllStandardError().toStdString();
        saved[i] = runs[i].readAllStandardOutput();
    }
    auto records_ = [&](const QStringList& args) {
        QProcess cli;
        cli.start(QStringLiteral(VELANTIS_CLI),
                  QStringList{QStringLiteral("records")} + args +
                      QStringList{QStringLiteral("--records"), records});
        EXPECT_TRUE(cli.waitForFinished(30000));
        return CliResult{cli.exitCode(), cli.readAllStandardOutput(), cli.readAllStandardError()};
    };
    const QStringList lines =
        QString::fromUtf8(records_({QStringLiteral("list")}).out).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    for (const QString& line : lines) {
        const QStringList cells = line.split(u'\t');
        ASSERT_GE(cells.size(), 5) << line.toStdString();
        const int i = cells[3] == QLatin1String("CT-A") ? 0 : 1;
        EXPECT_EQ(cells[4], QString::number(i == 0 ? 300 : 250));
        EXPECT_EQ(records_({QStringLiteral("show"), cells[0]}).out, saved[i]);
    }
    EXPECT_EQ(records_({QStringLiteral("list"), QStringLiteral("--filter"), QStringLiteral("ct-b")})
                  .out.count('\n'),
              1);
    EXPECT_EQ(records_({QStringLiteral("show"), QStringLiteral("99")}).exitCode, 2);
}
