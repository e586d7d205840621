// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/web_page_window.h"

#include "web/web_icons.h"
#include "windows/web_site.h"

#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QStatusBar>
#include <QTime>
#include <QTimer>
#include <QToolBar>
#include <QWebEngineHistory>
#include <QWebEngineLoadingInfo>
#include <QWebEngineView>

#include <algorithm>

namespace velantis {

namespace {

constexpr QSize kClientSize{954, 609};
constexpr int kToolbarHeight = 44;
constexpr int kAddressWidth = 561;
constexpr int kGoWidth = 49;
constexpr int kPanelWidths[3] = {96, 763, 96};
// The engine's code for a load that was cancelled (by Stop or by a newer navigation).
constexpr int kErrorAborted = -3;

const QString kOfflinePage = "qrc:/velantis/offline.html";

// The system's long time format without the time zone: "15:04:05", "3:04:05 PM".
QString ClockFormat() {
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    format.remove(QRegularExpression("\\s*\\bt+\\b"));
    return format.trimmed();
}

// "http://host" and "http://host/" are the same page.
bool SameAddress(QUrl a, QUrl b) {
    for (QUrl* url : {&a, &b})
        if (url->path().isEmpty())
            url->setPath("/");
    return a == b;
}

} // namespace

WebPageWindow::WebPageWindow(QString homeAddress, QWidget* parent)
    : QMainWindow(parent), home_(std::move(homeAddress)) {
    setObjectName("IE");
    setWindowTitle("IE");
    setWindowIcon(WebWindowIcon());

    auto* fileMenu = menuBar()->addMenu(tr("文件"));
    fileMenu->setObjectName("weijian");
    auto* editMenu = menuBar()->addMenu(tr("编辑"));
    editMenu->setObjectName("bianji");
    auto* actions = menuBar()->addMenu(tr("操作"));
    actions->setObjectName("caozhou");
    const struct {
        const char* name;
        const char* caption;
        void (WebPageWindow::*handler)();
    } items[] = {{"fanhui", QT_TR_NOOP("返回"), &WebPageWindow::fanhui_Click},
                 {"qian", QT_TR_NOOP("前进"), &WebPageWindow::qian_Click},
                 {"shaxin", QT_TR_NOOP("刷新"), &WebPageWindow::shaxin_Click},
                 {"fanwen", QT_TR_NOOP("访问主页"), &WebPageWindow::fanwen_Click}};
    for (const auto& item : items) {
        QAction* action = actions->addAction(tr(item.caption));
        action->setObjectName(item.name);
        connect(action, &QAction::triggered, this, item.handler);
    }

    toolbar_ = addToolBar("Toolbar1");
    toolbar_->setObjectName("Toolbar1");
    toolbar_->setMovable(false);
    toolbar_->setFloatable(false);
    toolbar_->setIconSize(QSize(20, 20));
    toolbar_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    toolbar_->setMinimumHeight(kToolbarHeight);
    const struct {
        const char* key;
        const char* caption;
        WebIcon icon;
    } buttons[] = {{"j", QT_TR_NOOP("返回"), WebIcon::Back},
                   {"k", QT_TR_NOOP("前进"), WebIcon::Forward},
                   {"l", QT_TR_NOOP("访问主页"), WebIcon::Home},
                   {"sho", QT_TR_NOOP("停止"), WebIcon::Stop}};
    for (const auto& button : buttons) {
        QAction* action = toolbar_->addAction(QIcon(WebPixmap(button.icon)), tr(button.caption));
        action->setObjectName(button.key);
        const QString key = button.key;
        connect(action, &QAction::triggered, this, [this, key] { Toolbar1_ButtonClick(key); });
    }
    toolbar_->addSeparator();
    address_ = new QLineEdit(home_, toolbar_);
    address_->setObjectName("Text1");
    QFont addressFont;
    addressFont.setFamilies({QString::fromUtf8("宋体"), "SimSun", "WenQuanYi Zen Hei"});
    addressFont.setPointSizeF(15.75);
    address_->setFont(addressFont);
    address_->setMinimumWidth(kAddressWidth);
    address_->setFixedHeight(33);
    toolbar_->addWidget(address_);
    go_ = new QPushButton(tr("转到"), toolbar_);
    go_->setObjectName("Command2");
    go_->setFixedSize(kGoWidth, 33);
    toolbar_->addWidget(go_);
    connect(go_, &QPushButton::clicked, this, &WebPageWindow::Command2_Click);
    // Enter in the address box presses the go button.
    connect(address_, &QLineEdit::returnPressed, go_, &QPushButton::click);

    // The browser is placed, not laid out: Timer1 sizes it from the window.
    auto* area = new QWidget(this);
    area->setObjectName("area");
    setCentralWidget(area);
    browser_ = new QWebEngineView(area);
    browser_->setObjectName("WebBrowser1");
    browser_->move(0, 0);
    connect(browser_, &QWebEngineView::titleChanged, this, &WebPageWindow::OnTitle);
    connect(browser_->page(), &QWebEnginePage::loadingChanged, this, &WebPageWindow::OnLoading);

    statusBar()->setObjectName("StatusBar1");
    for (int i = 0; i < 3; ++i) {
        panels_[i] = new QLabel(statusBar());
        panels_[i]->setObjectName(QString("Panel%1").arg(i + 1));
        panels_[i]->setFixedWidth(kPanelWidths[i]);
        statusBar()->addWidget(panels_[i]);
    }

    timer1_ = new QTimer(this);
    timer1_->setObjectName("Timer1");
    timer1_->setInterval(50);
    connect(timer1_, &QTimer::timeout, this, &WebPageWindow::Timer1_Timer);
    timer1_->start();

    resize(kClientSize.width(), kClientSize.height() + menuBar()->sizeHint().height());
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(0, 0), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    Timer1_Timer();
    Navigate(address_->text());
}

QString WebPageWindow::DefaultHomeAddress() {
    return kHomeAddress;
}

QUrl WebPageWindow::AddressUrl(const QString& typed) {
    return QUrl::fromUserInput(typed.trimmed());
}

QSize WebPageWindow::BrowserSize(QSize window, int above, int below) {
    return QSize(std::max(0, window.width()), std::max(0, window.height() - above - below));
}

bool WebPageWindow::offlinePageShown() const {
    return browser_->url() == QUrl(kOfflinePage);
}

QString WebPageWindow::OfflinePageHtml() {
    QFile file(":/velantis/offline.html");
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

void WebPageWindow::Navigate(const QString& address) {
    const QUrl url = AddressUrl(address);
    homeRequest_ = url == AddressUrl(home_) ? url : QUrl();
    browser_->load(url);
}

void WebPageWindow::Command2_Click() {
    Navigate(address_->text());
}

void WebPageWindow::Toolbar1_ButtonClick(const QString& key) {
    if (key == "j") {
        Step(-1);
    } else if (key == "k") {
        Step(+1);
    } else if (key == "l") {
        Navigate(home_);
    } else if (key == "sho") {
        homeRequest_ = QUrl();
        browser_->stop();
    }
}

void WebPageWindow::fanhui_Click() {
    Step(-1);
}

void WebPageWindow::qian_Click() {
    Step(+1);
}

void WebPageWindow::Step(int direction) {
    QWebEngineHistory* history = browser_->history();
    const QList<QWebEngineHistoryItem> items = history->items();
    const QUrl home = AddressUrl(home_);
    auto standsInFor = [&](qsizetype i) {
        return i + 1 < items.size() && items[i + 1].url() == QUrl(kOfflinePage) &&
               (SameAddress(items[i].url(), home) || SameAddress(items[i].originalUrl(), home));
    };
    for (qsizetype i = history->currentItemIndex() + direction; i >= 0 && i < items.size();
         i += direction) {
        if (!standsInFor(i)) {
            history->goToItem(items[i]);
            return;
        }
    }
}

// On the page that stands in for the home page, refresh tries the home page again.
void WebPageWindow::shaxin_Click() {
    if (offlinePageShown())
        Navigate(home_);
    else
        browser_->reload();
}

void WebPageWindow::fanwen_Click() {
    Navigate(home_);
}

void WebPageWindow::Timer1_Timer() {
    const QWidget* area = centralWidget();
    const int above = area->y();
    const int below = height() - area->geometry().bottom() - 1;
    browser_->resize(BrowserSize(size(), above, below));

    static const QString clockFormat = ClockFormat();
    panels_[2]->setText(QLocale::system().toString(QTime::currentTime(), clockFormat));
    panels_[1]->setText(QString("http://") + kHomeAddress);
    panels_[0]->setText(kMakerName);
}

// A home page that cannot be reached is replaced by the page that comes with the program. Only a
// failure to get an answer counts: a stopped or superseded load does not, nor an error status
// the site answered with.
void WebPageWindow::OnLoading(const QWebEngineLoadingInfo& info) {
    switch (info.status()) {
    case QWebEngineLoadingInfo::LoadStartedStatus:
        return;
    case QWebEngineLoadingInfo::LoadFailedStatus:
        // Back or forward onto the home page that failed before count as well.
        if ((homeRequest_.isValid() || SameAddress(info.url(), AddressUrl(home_))) &&
            info.errorCode() != kErrorAborted &&
            info.errorDomain() != QWebEngineLoadingInfo::HttpStatusCodeDomain) {
            homeRequest_ = QUrl();
            browser_->load(QUrl(kOfflinePage));
            return;
        }
        break;
    case QWebEngineLoadingInfo::LoadStoppedStatus:
    case QWebEngineLoadingInfo::LoadSucceededStatus:
        break;
    }
    homeRequest_ = QUrl();
    emit pageSettled(info.status() == QWebEngineLoadingInfo::LoadSucceededStatus);
}

void WebPageWindow::OnTitle(const QString& title) {
    setWindowTitle(title);
}

} // namespace velantis
