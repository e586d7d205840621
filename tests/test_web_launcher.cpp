// SPDX-License-Identifier: GPL-3.0-or-later
// The launcher with the real velantis-web: one window, raise, stop, and a window that outlives
// the program when the program ends without stop().
#include "windows/web_launcher.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>

#include <signal.h>

using velantis::WebLauncher;

namespace {

constexpr int Patience = 30000;

QString WebProgram() {
    return QDir(QCoreApplication::applicationDirPath()).filePath("../src/app/velantis-web");
}

// Running, not a zombie waiting for its parent.
bool Alive(qint64 pid) {
    QFile status(QString("/proc/%1/stat").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    const QByteArray stat = status.readAll();
    const int afterName = stat.lastIndexOf(')');
    return afterName > 0 && stat.mid(afterName + 2, 1) != "Z";
}

bool Ends(qint64 pid) {
    return QTest::qWaitFor([pid] { return !Alive(pid); }, Patience);
}

class Launcher : public ::testing::Test {
protected:
    void SetUp() override {
        if (!QFile::exists(WebProgram()))
            GTEST_SKIP() << "velantis-web is not built: " << qPrintable(WebProgram());
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    void TearDown() override {
        for (qint64 pid : started_)
            if (Alive(pid))
                ::kill(static_cast<pid_t>(pid), SIGKILL);
    }
    std::unique_ptr<WebLauncher> Make() {
        // The home page is a local address that fails at once: nothing goes out.
        return std::make_unique<WebLauncher>(WebProgram(),
                                             QStringList{"--home", "http://127.0.0.1:1/"});
    }
    void Started(const WebLauncher& web) { started_.push_back(web.processId()); }

    std::vector<qint64> started_;
};

} // namespace

TEST_F(Launcher, SecondRequestRaisesTheRunningWindowAndStopEndsIt) {
    auto web = Make();
    QSignalSpy started(web.get(), &WebLauncher::started);
    QSignalSpy raised(web.get(), &WebLauncher::raised);
    web->show();
    Started(*web);
    web->show(); // while it starts
    ASSERT_TRUE(started.wait(Patience));
    EXPECT_EQ(web->state(), WebLauncher::State::Running);
    ASSERT_TRUE(raised.count() > 0 || raised.wait(Patience));
    web->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return raised.count() == 2; }, Patience));
    EXPECT_EQ(web->startCount(), 1);

    const qint64 pid = web->processId();
    web->stop();
    EXPECT_EQ(web->state(), WebLauncher::State::NotRunning);
    EXPECT_TRUE(Ends(pid));
}

TEST_F(Launcher, AWindowThatEndedIsStartedAfresh) {
    auto web = Make();
    QSignalSpy started(web.get(), &WebLauncher::started);
    QSignalSpy finished(web.get(), &WebLauncher::finished);
    web->show();
    Started(*web);
    ASSERT_TRUE(started.wait(Patience));
    const qint64 first = web->processId();
    ::kill(static_cast<pid_t>(first), SIGTERM); // closed or crashed, the same to the launcher
    ASSERT_TRUE(finished.wait(Patience));
    EXPECT_EQ(web->state(), WebLauncher::State::NotRunning);
    web->show();
    Started(*web);
    ASSERT_TRUE(started.wait(Patience));
    EXPECT_EQ(web->startCount(), 2);
    EXPECT_NE(web->processId(), first);
    web->stop();
    EXPECT_TRUE(Ends(web->processId()));
}

TEST_F(Launcher, WindowOutlivesAProgramThatEndsWithoutStop) {
    auto web = Make();
    QSignalSpy started(web.get(), &WebLauncher::started);
    web->show();
    Started(*web);
    ASSERT_TRUE(started.wait(Patience));
    const qint64 pid = web->processId();
    web.reset(); // the program ends because its main window was closed
    QTest::qWait(1500);
    EXPECT_TRUE(Alive(pid));
}

TEST_F(Launcher, StopWhileStartingEndsTheWindowToo) {
    auto web = Make();
    web->show();
    Started(*web);
    const qint64 pid = web->processId();
    web->stop();
    EXPECT_TRUE(Ends(pid));
}
