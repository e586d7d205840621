// SPDX-License-Identifier: GPL-3.0-or-later
// USB adapters that hold short answers back: the decision from the driver's answer and the
// adapter's latency timer (read below a sysfs folder the test makes), and the one-off notice.
#include "link/monitor.h"
#include "link/qt_serial_line.h"
#include "support/fake_serial_line.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>

#include <gtest/gtest.h>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <pty.h>
#include <unistd.h>
#endif

using namespace velantis;
using velantis::testing::FakeSerialLine;

namespace {

// A sysfs tree with the given adapters' latency_timer files.
class FakeSysfs {
public:
    void addTimer(const QString& tty, const QByteArray& contents) {
        const QString folder = dir.filePath(QStringLiteral("bus/usb-serial/devices/") + tty);
        ASSERT_TRUE(QDir().mkpath(folder));
        QFile file(folder + QStringLiteral("/latency_timer"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }
    QString root() const { return dir.path(); }
    QString timerFile(const QString& tty) const {
        return dir.filePath(QStringLiteral("bus/usb-serial/devices/%1/latency_timer").arg(tty));
    }

    QTemporaryDir dir;
};

TEST(LowLatency, AdapterIsToldAboutOnlyWhenItHoldsAnswersBack) {
    FakeSysfs sysfs;
    sysfs.addTimer(QStringLiteral("ttyUSB0"), "16\n");
    sysfs.addTimer(QStringLiteral("ttyUSB1"), "1\n");
    sysfs.addTimer(QStringLiteral("ttyUSB2"), "garbage\n");
    sysfs.addTimer(QStringLiteral("ttyUSB3"), "");
    sysfs.addTimer(QStringLiteral("3"), "16\n");

    const struct {
        const char* tty;
        int error; // the low-latency request's answer (0: taken)
        int msecs; // expected
    } cases[] = {
        {"ttyUSB0", EPERM, 16},  // refused, default timer
        {"ttyUSB0", EINVAL, 16}, // refused for another reason
        {"ttyUSB0", 0, 16},      // taken, yet the timer still holds answers back
        {"ttyUSB0", ENOTTY, 0},  // no serial driver at all
        {"ttyUSB1", EPERM, 0},   // timer already at 1 ms (the udev rule did it)
        {"ttyUSB2", EPERM, 0},   // unreadable figure
        {"ttyUSB3", EPERM, 0},   // empty file
        {"ttyS0", EINVAL, 0},    // on-board port: no latency timer
        {"ttyACM0", EPERM, 0},   // USB modem class: no latency timer
        {"3", ENOTTY, 0},        // pseudo-terminal, even with a file of its name
        {"../ttyUSB0", EPERM, 0}, {"", EPERM, 0},
    };
    for (const auto& c : cases) {
        const SerialLine::SlowAdapter adapter =
            QtSerialLine::CheckAdapter(QString::fromLatin1(c.tty), c.error, sysfs.root());
        EXPECT_EQ(adapter.msecs, c.msecs) << c.tty << " error " << c.error;
        if (c.msecs > 0)
            EXPECT_EQ(adapter.timerFile, sysfs.timerFile(QString::fromLatin1(c.tty)));
        else
            EXPECT_TRUE(adapter.timerFile.isEmpty()) << c.tty;
    }
}

#ifdef Q_OS_UNIX
TEST(LowLatency, KernelNameFollowsLinks) {
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("ttyUSB7"));
    QFile(target).open(QIODevice::WriteOnly);
    const QString link = dir.filePath(QStringLiteral("usb-FTDI_FT232R_A1B2-if00-port0"));
    ASSERT_TRUE(QFile::link(target, link));
    EXPECT_EQ(QtSerialLine::KernelName(link), QStringLiteral("ttyUSB7"));
    EXPECT_EQ(QtSerialLine::KernelName(QStringLiteral("/dev/no-such-ttyUSB9")),
              QStringLiteral("no-such-ttyUSB9"));
}
#endif

#ifdef Q_OS_LINUX
// The request on a real pseudo-terminal: refused with ENOTTY, and opening one says nothing even
// when the sysfs folder has a slow timer under the terminal's name.
TEST(LowLatency, PseudoTerminalRefusalIsSilent) {
    int master = -1;
    int follower = -1;
    char name[128] = {};
    ASSERT_EQ(::openpty(&master, &follower, name, nullptr, nullptr), 0);
    EXPECT_EQ(QtSerialLine::RequestLowLatency(follower), ENOTTY);
    EXPECT_EQ(QtSerialLine::RequestLowLatency(-1), EBADF);

    FakeSysfs sysfs;
    const QString device = QString::fromLocal8Bit(name);
    sysfs.addTimer(QtSerialLine::KernelName(device), "16\n");
    QtSerialLine line;
    line.setSysfsRoot(sysfs.root());
    ASSERT_TRUE(line.open(device)) << qPrintable(line.lastErrorText());
    EXPECT_EQ(line.slowAdapter().msecs, 0);
    line.close();
    ::close(follower);
    ::close(master);
}
#endif

class SlowAdapterNoticeTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int n = 1; n <= 16; ++n)
            line.existing.insert(Dev(n));
        line.slowAdapters.insert(Dev(2), {16, QStringLiteral("/sys/x/ttyUSB0/latency_timer")});
        monitor.setYieldToEvents([] {});
        monitor.Form_Load();
    }
    static QString Dev(int n) { return QStringLiteral("/dev/fake%1").arg(n); }
    // Opens port n through the port search.
    void searchTo(int n) {
        monitor.setPortFieldText(QString::number(n - 1));
        monitor.Timer2_Timer();
        ASSERT_EQ(line.device, Dev(n));
    }

    QTemporaryDir folder;
    FakeSerialLine line;
    PortMap ports{[] {
        QStringList devices;
        for (int n = 1; n <= 16; ++n)
            devices << QStringLiteral("/dev/fake%1").arg(n);
        return devices;
    }};
    Monitor monitor{line, ports, folder.path()};
};

TEST_F(SlowAdapterNoticeTest, ToldOncePerDeviceWithFigureAndRemedy) {
    EXPECT_TRUE(monitor.display().portNotice.isEmpty()) << "port 1 passes answers on at once";
    searchTo(2);
    const QString notice = monitor.display().portNotice;
    EXPECT_TRUE(notice.contains(Dev(2)));
    EXPECT_TRUE(notice.contains(QStringLiteral("16 ms")));
    // 4000 groups at 6.25 ms of wire time plus 16 ms held in the adapter, against 25 s.
    EXPECT_TRUE(notice.contains(QStringLiteral("89 s")));
    EXPECT_TRUE(notice.contains(QStringLiteral("25 s")));
    EXPECT_TRUE(notice.contains(QStringLiteral("echo 1 | sudo tee /sys/x/ttyUSB0/latency_timer")));
    EXPECT_TRUE(notice.contains(QStringLiteral("60-velantis-ftdi-latency.rules")));

    // The search goes round and opens the adapter again: no second notice.
    searchTo(3);
    line.denied.insert(Dev(5));
    searchTo(4);
    monitor.setPortFieldText(QStringLiteral("4"));
    monitor.Timer2_Timer(); // port 5: permission problem, a notice of its own
    ASSERT_TRUE(monitor.display().portNotice.contains(QStringLiteral("dialout")));
    searchTo(2);
    EXPECT_TRUE(monitor.display().portNotice.contains(QStringLiteral("dialout")));
}

} // namespace
