// SPDX-License-Identifier: GPL-3.0-or-later
// The splash: its pictures, the blink cycle, where a click lands, and the start flow from the
// splash to the main window on the real event loop.
#define QTEST_QPA_MOUSE_HANDLING // clicks go through the window system, which picks the child
#include "support/fake_serial_line.h"
#include "support/window_stand_ins.h"
#include "windows/main_window.h"
#include "windows/splash_images.h"
#include "windows/splash_window.h"
#include "windows/start_flow.h"
#include "windows/web_launcher.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

using velantis::PromptShade;
using velantis::SplashWindow;
using velantis::StartFlow;
using velantis::WebLauncher;

TEST(SplashImages, DifferOnlyInThePromptPatch) {
    const QImage light = velantis::SplashImage(PromptShade::Light);
    const QImage dark = velantis::SplashImage(PromptShade::Dark);
    ASSERT_EQ(light.size(), QSize(794, 462));
    ASSERT_EQ(dark.size(), light.size());
    EXPECT_EQ(light.depth(), 24);
    const QRect patch(76, 385, 62, 30);
    int differentInside = 0, differentOutside = 0;
    for (int y = 0; y < light.height(); ++y)
        for (int x = 0; x < light.width(); ++x)
            if (light.pixel(x, y) != dark.pixel(x, y))
                ++(patch.contains(x, y) ? differentInside : differentOutside);
    EXPECT_EQ(differentOutside, 0);
    EXPECT_GT(differentInside, 100); // the word itself, not a stray pixel
}

// Timer1 every 3500 ms from the start, Timer2 every 300 ms from the moment Timer1 started it.
TEST(SplashBlink, DarkForAPhaseThenBlinkingThenDarkAgain) {
    SplashWindow splash;
    struct Expect {
        int ms;
        bool dark, blinking;
    };
    const Expect expected[] = {
        {0, true, false},     {3400, true, false},  {3500, true, true},   {3800, false, true},
        {4100, true, true},   {4400, false, true},  {6800, false, true},  {6900, false, true},
        {7000, true, false},  {7300, true, false},  {10400, true, false}, {10500, true, true},
        {10800, false, true}, {14000, true, false},
    };
    int timer2Started = -1;
    size_t next = 0;
    for (int t = 0; t <= 14000; t += 100) {
        if (t > 0 && t % 3500 == 0) {
            splash.Timer1_Timer();
            timer2Started = splash.blinking() ? t : -1;
        } else if (timer2Started >= 0 && (t - timer2Started) % 300 == 0) {
            splash.Timer2_Timer();
        }
        if (next < std::size(expected) && expected[next].ms == t) {
            EXPECT_EQ(splash.darkPromptShown(), expected[next].dark) << "at " << t << " ms";
            EXPECT_EQ(splash.blinking(), expected[next].blinking) << "at " << t << " ms";
            ++next;
        }
    }
    EXPECT_EQ(next, std::size(expected));
}

TEST(SplashBlink, RunsOnlyWhileShown) {
    SplashWindow splash;
    auto* timer1 = splash.findChild<QTimer*>("Timer1");
    auto* timer2 = splash.findChild<QTimer*>("Timer2");
    ASSERT_TRUE(timer1 && timer2);
    EXPECT_EQ(timer1->interval(), 3500);
    EXPECT_EQ(timer2->interval(), 300);
    splash.show();
    EXPECT_TRUE(timer1->isActive());
    splash.Timer1_Timer();
    EXPECT_TRUE(timer2->isActive());
    splash.close(); // unloaded: both stop
    EXPECT_FALSE(timer1->isActive());
    EXPECT_FALSE(timer2->isActive());
}

// Where a click at a point of the window lands, with either picture on top.
TEST(SplashClicks, RegionsWithEachPictureOnTop) {
    enum Lands { Enter, Web };
    struct Case {
        QPoint at;
        bool darkOnTop;
        Lands lands;
        const char* what;
    };
    const Case cases[] = {
        {{300, 100}, true, Enter, "title"},
        {{300, 100}, false, Enter, "title"},
        {{100, 400}, true, Enter, "prompt word"},
        {{100, 400}, false, Enter, "prompt word"},
        {{30, 350}, true, Enter, "prompt area corner"},
        {{550, 400}, true, Web, "maker and address (Image1)"},
        {{550, 400}, false, Web, "maker and address (Image1 inside Image4)"},
        {{424, 360}, true, Web, "Image1 top-left pixel"},
        {{423, 400}, true, Enter, "just left of Image1"},
        {{410, 400}, true, Enter, "Image4 outside Image1, dark picture on top"},
        {{410, 400}, false, Web, "Image4 outside Image1, dark picture hidden"},
        {{740, 355}, true, Enter, "Image4 top-right outside Image1, dark on top"},
        {{740, 355}, false, Web, "Image4 top-right outside Image1, dark hidden"},
        {{600, 452}, false, Enter, "below Image4"},
        {{760, 400}, false, Enter, "right of Image4"},
    };
    for (const Case& c : cases) {
        SplashWindow splash;
        splash.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&splash));
        if (!c.darkOnTop) {
            splash.Timer1_Timer(); // blinking starts
            splash.Timer2_Timer(); // light picture on top
        }
        ASSERT_EQ(splash.darkPromptShown(), c.darkOnTop);
        QSignalSpy enter(&splash, &SplashWindow::enterRequested);
        QSignalSpy web(&splash, &SplashWindow::webPageRequested);
        QTest::mouseClick(&splash, Qt::LeftButton, {}, c.at);
        EXPECT_EQ(enter.count(), c.lands == Enter ? 1 : 0) << c.what;
        EXPECT_EQ(web.count(), c.lands == Web ? 1 : 0) << c.what;
        EXPECT_EQ(splash.darkPromptShown(), c.darkOnTop) << c.what << ": a click changes nothing";
    }
}

namespace {

// The flow over the real event loop: quits with 0 if the program ended by itself (the last
// window closed), with 42 when the test's own deadline came.
int RunEventLoopFor(int ms) {
    QTimer::singleShot(ms, qApp, [] { QCoreApplication::exit(42); });
    return QApplication::exec();
}

struct FlowProbe {
    int created = 0;
    bool splashGoneAtCreation = false;
    std::unique_ptr<QWidget> main;
};

std::function<QWidget*()> MainWindowFactory(FlowProbe& probe) {
    return [&probe] {
        ++probe.created;
        probe.splashGoneAtCreation = true;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<SplashWindow*>(w))
                probe.splashGoneAtCreation = false;
        // A main window's start-up may let pending events run (opening the port, the first
        // list refresh): a quit posted when the splash went away would be taken there.
        QCoreApplication::processEvents();
        probe.main = std::make_unique<QWidget>();
        probe.main->resize(300, 200);
        return probe.main.get();
    };
}

} // namespace

TEST(StartFlow, ClickOnPictureUnloadsSplashThenShowsMainWithoutEndingTheProgram) {
    ASSERT_TRUE(QApplication::quitOnLastWindowClosed());
    WebLauncher web("/nonexistent/velantis-web", {});
    FlowProbe probe;
    StartFlow flow(MainWindowFactory(probe), web);
    flow.start(true);
    ASSERT_TRUE(flow.splash());
    SplashWindow* splash = flow.splash();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(splash));
    QTimer::singleShot(
        50, splash, [splash] { QTest::mouseClick(splash, Qt::LeftButton, {}, QPoint(300, 100)); });
    // A second click that arrives before the first one is handled enters only once.
    QTimer::singleShot(40, splash, [splash] { emit splash->enterRequested(); });
    EXPECT_EQ(RunEventLoopFor(500), 42) << "the program ended on the way to the main window";
    EXPECT_EQ(probe.created, 1);
    EXPECT_TRUE(probe.splashGoneAtCreation);
    EXPECT_FALSE(flow.splash());
    ASSERT_TRUE(probe.main);
    EXPECT_TRUE(probe.main->isVisible());
    EXPECT_EQ(flow.mainWindow(), probe.main.get());
    EXPECT_TRUE(QApplication::quitOnLastWindowClosed()) << "restored for the main window";

    // Closing the main window, now the last one, ends the program as usual.
    QTimer::singleShot(50, probe.main.get(), [&] { probe.main->close(); });
    EXPECT_EQ(RunEventLoopFor(2000), 0);
}

TEST(StartFlow, NoSplashShowsTheMainWindowAtOnce) {
    EXPECT_FALSE(StartFlow::WantsSplash({"velantis", "--no-splash"}));
    EXPECT_TRUE(StartFlow::WantsSplash({"velantis", "--demo"}));
    WebLauncher web("/nonexistent/velantis-web", {});
    FlowProbe probe;
    StartFlow flow(MainWindowFactory(probe), web);
    flow.start(false);
    EXPECT_FALSE(flow.splash());
    EXPECT_EQ(probe.created, 1);
    ASSERT_TRUE(probe.main);
    EXPECT_TRUE(probe.main->isVisible());
}

TEST(StartFlow, AddressCornerStartsOneWebWindowAndLeavesTheSplash) {
#ifdef Q_OS_WIN
    GTEST_SKIP() << "the Windows build opens the maker's page in the browser: no web-page window";
#endif
    // A program that starts but never reports back keeps the launcher in its starting state.
    WebLauncher web("/bin/sleep", {"2"});
    QSignalSpy failed(&web, &WebLauncher::failed);
    FlowProbe probe;
    StartFlow flow(MainWindowFactory(probe), web);
    flow.start(true);
    SplashWindow* splash = flow.splash();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(splash));
    QTest::mouseClick(splash, Qt::LeftButton, {}, QPoint(550, 400));
    QTest::mouseClick(splash, Qt::LeftButton, {}, QPoint(550, 400));
    QCoreApplication::processEvents();
    EXPECT_EQ(web.startCount(), 1);
    EXPECT_EQ(web.state(), WebLauncher::State::Starting);
    EXPECT_TRUE(failed.isEmpty());
    EXPECT_TRUE(splash->isVisible());
    EXPECT_EQ(probe.created, 0);
    web.stop();
}

// A web-page window that cannot start is told, the launcher is free again and the next click
// tries afresh: a missing program, and one that ends before it reports back.
TEST(WebLauncher, FailureIsToldAndTheNextClickTriesAgain) {
#ifdef Q_OS_WIN
    GTEST_SKIP() << "the Windows build opens the maker's page in the browser: no web-page window";
#endif
    const struct {
        const char* program;
        const char* told;
        int startsPerClick;
    } cases[] = {
        {"/nonexistent/velantis-web", "找不到程序", 0},
        {"/bin/true", "启动后即退出", 1},
    };
    for (const auto& c : cases) {
        WebLauncher web(c.program, {});
        QSignalSpy failed(&web, &WebLauncher::failed);
        for (int click = 1; click <= 2; ++click) {
            web.show();
            ASSERT_TRUE(failed.count() == click || failed.wait(5000)) << c.program;
            EXPECT_TRUE(failed.last().first().toString().contains(QString::fromUtf8(c.told)))
                << c.program;
            EXPECT_EQ(web.state(), WebLauncher::State::NotRunning);
            EXPECT_EQ(web.startCount(), c.startsPerClick * click);
        }
    }
}

// Told where the user is: a message on the splash, then the main window's title panel.
TEST(StartFlow, WebWindowFailureIsToldOnTheSplashThenInTheTitlePanel) {
#ifdef Q_OS_WIN
    GTEST_SKIP() << "the Windows build opens the maker's page in the browser: no web-page window";
#endif
    QTemporaryDir folder;
    WebLauncher web("/nonexistent/velantis-web", {});
    QPointer<velantis::MainWindow> main;
    StartFlow flow(
        [&] {
            auto line = std::make_unique<velantis::testing::FakeSerialLine>();
            main = new velantis::MainWindow(
                {std::move(line), std::make_unique<velantis::PortMap>([] { return QStringList(); }),
                 folder.path(), std::make_unique<velantis::testing::AnsweringDialogs>(),
                 std::make_unique<velantis::testing::PdfChooser>()});
            return main.data();
        },
        web);
    flow.start(true);
    ASSERT_TRUE(flow.splash());
    emit flow.splash()->webPageRequested();
    auto* box = flow.splash()->findChild<QMessageBox*>("webFailure");
    ASSERT_TRUE(box && box->isVisible());
    EXPECT_TRUE(box->text().contains(QString::fromUtf8("找不到程序")));
    box->close();

    emit flow.splash()->enterRequested();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !main.isNull(); }, 5000));
    web.show();
    EXPECT_TRUE(main->titlePanelText().contains(QString::fromUtf8("找不到程序")));
    delete main.data();
}
