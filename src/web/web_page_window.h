// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMainWindow>
#include <QSize>
#include <QString>
#include <QUrl>

class QAction;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class QToolBar;
class QWebEngineLoadingInfo;
class QWebEngineView;

namespace velantis {

// The web-page window "IE": a small browser showing the maker's site, with an address box and a
// go button, back / forward / home / stop on the toolbar, back / forward / refresh / home in the
// 操作 menu, and a status bar with the maker, the site and a clock.
//
// The address box is only read: following a link, back or forward leave it as it is. The caption
// is "IE" until the first page title arrives and follows the title from then on. When the home
// page cannot be loaded (the program is often used offline) the window shows the page that comes
// with the program instead of the engine's error page.
class WebPageWindow : public QMainWindow {
    Q_OBJECT
public:
    // `homeAddress` as a user would type it; a host name without scheme is fine.
    explicit WebPageWindow(QString homeAddress = DefaultHomeAddress(), QWidget* parent = nullptr);

    static QString DefaultHomeAddress();
    // What the address box shows as a web address: a missing scheme completed.
    static QUrl AddressUrl(const QString& typed);
    // The browser's size for a window whose area below the toolbar and above the status bar is
    // `area`, never negative.
    static QSize BrowserSize(QSize window, int above, int below);
    // The page that comes with the program, as HTML.
    static QString OfflinePageHtml();

    QWebEngineView* browser() const { return browser_; }
    // The page that comes with the program stands in for the home page.
    bool offlinePageShown() const;

    // The handlers, also called directly by tests.
    void Command2_Click();
    void Toolbar1_ButtonClick(const QString& key);
    void fanhui_Click();
    void qian_Click();
    void shaxin_Click();
    void fanwen_Click();
    void Timer1_Timer();

signals:
    // The browser finished a load (true) or gave up (false), after the window's own handling.
    void pageSettled(bool ok);

private:
    // Back (-1) or forward (+1) through the engine's history, the bundled page standing in for the
    // failed home entry right before it: that entry is no stop of its own. Nothing at either end.
    void Step(int direction);
    void Navigate(const QString& address);
    void OnLoading(const QWebEngineLoadingInfo& info);
    void OnTitle(const QString& title);

    QString home_;
    QToolBar* toolbar_;
    QLineEdit* address_;
    QPushButton* go_;
    QWebEngineView* browser_;
    QLabel* panels_[3];
    QTimer* timer1_;
    QUrl homeRequest_; // the home page while a load of it is under way
};

} // namespace velantis
