// SPDX-License-Identifier: GPL-3.0-or-later
// The web-page window in-process, offscreen, on local pages.
#include "web/web_page_window.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineHistory>
#include <QWebEngineView>

#include <gtest/gtest.h>

#include <memory>

namespace {

// The engine must find these before the application object exists (the shared test main creates
// it): shared OpenGL contexts, and no sandbox, which would abort the process as root.
const bool EngineReady = [] {
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    return true;
}();

constexpr int Patience = 20000;

bool WaitForTitle(QWidget& window, const QString& title) {
    return QTest::qWaitFor([&] { return window.windowTitle() == title; }, Patience);
}

class WebWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(EngineReady && dir_.isValid());
        // The link fills the page, so that a click anywhere follows it.
        Page("one.html", "Page One",
             "<a href='two.html' style='position:fixed;top:0;left:0;right:0;bottom:0'>two</a>");
        Page("two.html", "Page Two", "");
        Page("three.html", "Page Three", "");
    }
    void Page(const QString& name, const QString& title, const QString& body) {
        QFile file(dir_.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QString("<html><head><title>%1</title></head><body>%2</body></html>")
                       .arg(title, body)
                       .toUtf8());
    }
    QString Url(const QString& name) const {
        return QUrl::fromLocalFile(dir_.filePath(name)).toString();
    }
    std::unique_ptr<velantis::WebPageWindow> Open(const QString& home) {
        auto window = std::make_unique<velantis::WebPageWindow>(home);
        window->show();
        return window;
    }

    QTemporaryDir dir_;
};

} // namespace

TEST_F(WebWindow, CaptionFollowsTheTitleWhileTheAddressBoxKeepsWhatItHeld) {
    auto window = Open(Url("one.html"));
    EXPECT_EQ(window->windowTitle(), "IE");
    ASSERT_TRUE(WaitForTitle(*window, "Page One"));
    // A click by the user: the engine's back skips pages that navigated away by script alone.
    QWidget* page = window->browser()->focusProxy();
    ASSERT_TRUE(page);
    QTest::mouseClick(page, Qt::LeftButton, {}, page->rect().center());
    ASSERT_TRUE(WaitForTitle(*window, "Page Two"));
    auto* address = window->findChild<QLineEdit*>("Text1");
    EXPECT_EQ(address->text(), Url("one.html"));
    window->Toolbar1_ButtonClick("j"); // back
    ASSERT_TRUE(WaitForTitle(*window, "Page One"));
    window->qian_Click(); // forward
    ASSERT_TRUE(WaitForTitle(*window, "Page Two"));
    EXPECT_EQ(address->text(), Url("one.html"));
}

TEST_F(WebWindow, BackOnTheFirstPageAndForwardOnTheLastDoNothing) {
    auto window = Open(Url("one.html"));
    ASSERT_TRUE(WaitForTitle(*window, "Page One"));
    QSignalSpy loads(window->browser(), &QWebEngineView::loadStarted);
    window->Toolbar1_ButtonClick("j");
    window->fanhui_Click();
    window->Toolbar1_ButtonClick("k");
    window->qian_Click();
    window->Toolbar1_ButtonClick("J"); // keys are case-sensitive: no button
    QTest::qWait(300);
    EXPECT_EQ(loads.count(), 0);
    EXPECT_EQ(window->browser()->url(), QUrl(Url("one.html")));
    EXPECT_EQ(window->windowTitle(), "Page One");
}

TEST_F(WebWindow, EnterInTheAddressBoxLoadsTheTypedAddress) {
    auto window = Open(Url("one.html"));
    ASSERT_TRUE(WaitForTitle(*window, "Page One"));
    auto* address = window->findChild<QLineEdit*>("Text1");
    address->clear();
    QTest::keyClicks(address, Url("three.html"));
    QTest::keyClick(address, Qt::Key_Return);
    ASSERT_TRUE(WaitForTitle(*window, "Page Three"));
    window->Toolbar1_ButtonClick("l"); // home
    ASSERT_TRUE(WaitForTitle(*window, "Page One"));
    EXPECT_EQ(address->text(), Url("three.html"));
}

// Nothing listens on a port just given back: the load fails at once.
TEST_F(WebWindow, UnreachableHomeShowsTheBundledPageOtherAddressesDoNot) {
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const QString unreachable = QString("http://127.0.0.1:%1/").arg(probe.serverPort());
    probe.close();
    auto window = Open(unreachable);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->offlinePageShown(); }, Patience));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return window->windowTitle().startsWith("Velantis"); }, Patience));
    EXPECT_TRUE(window->windowTitle().contains("Qintar Norvak"));

    QSignalSpy settled(window.get(), &velantis::WebPageWindow::pageSettled);
    auto* address = window->findChild<QLineEdit*>("Text1");
    address->setText(unreachable + "other");
    window->Command2_Click();
    // (the bundled page's own load may settle first)
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !settled.isEmpty() && !settled.last().first().toBool(); }, Patience));
    QTest::qWait(300);
    EXPECT_FALSE(window->offlinePageShown()) << "only the home page has a stand-in";

    // Back onto the bundled page, which stands in for the home page that failed: it is the first
    // page, so Back again does nothing, and Forward still leads to the typed address.
    window->fanhui_Click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->offlinePageShown(); }, Patience));
    QTest::qWait(300);
    QSignalSpy loads(window->browser(), &QWebEngineView::loadStarted);
    window->fanhui_Click();
    QTest::qWait(500);
    EXPECT_EQ(loads.count(), 0);
    EXPECT_TRUE(window->offlinePageShown());
    window->qian_Click();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return window->browser()->history()->currentItemIndex() == 2 &&
                   !window->offlinePageShown();
        },
        Patience));
    EXPECT_EQ(window->browser()->history()->count(), 3) << "no entry added or dropped";
}

TEST_F(WebWindow, StopWhileTheHomePageLoadsDoesNotBringTheBundledPage) {
    QTcpServer silent; // accepts, never answers
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    QSignalSpy connected(&silent, &QTcpServer::newConnection);
    auto window = Open(QString("http://127.0.0.1:%1/").arg(silent.serverPort()));
    ASSERT_TRUE(connected.count() > 0 || connected.wait(Patience));
    QSignalSpy settled(window.get(), &velantis::WebPageWindow::pageSettled);
    window->Toolbar1_ButtonClick("sho");
    ASSERT_TRUE(settled.count() > 0 || settled.wait(Patience));
    QTest::qWait(500);
    EXPECT_FALSE(window->offlinePageShown());
}

TEST_F(WebWindow, TimerSizesTheBrowserAndWritesTheStatusPanels) {
    auto window = Open(Url("one.html"));
    window->resize(700, 500);
    window->Timer1_Timer();
    EXPECT_EQ(window->browser()->size(), window->centralWidget()->size());
    window->resize(1100, 300);
    window->Timer1_Timer();
    EXPECT_EQ(window->browser()->size(), window->centralWidget()->size());
    EXPECT_EQ(window->findChild<QLabel*>("Panel1")->text(), "Qintar Norvak");
    EXPECT_EQ(window->findChild<QLabel*>("Panel2")->text(), "http://www.qintarnorvak.com");
    EXPECT_FALSE(window->findChild<QLabel*>("Panel3")->text().isEmpty());
    EXPECT_TRUE(window->findChild<QMenu*>("weijian")->actions().isEmpty());
    EXPECT_TRUE(window->findChild<QMenu*>("bianji")->actions().isEmpty());
}

TEST(WebWindowRules, BundledPageCarriesMakerAndVersion) {
    const QString page = velantis::WebPageWindow::OfflinePageHtml();
    EXPECT_TRUE(page.contains("Qintar Norvak"));
    EXPECT_FALSE(page.contains("@PROJECT_VERSION@"));
}
