// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/start_flow.h"

#include "windows/main_window.h"
#include "windows/splash_window.h"
#include "windows/web_launcher.h"
#include "windows/web_page_opener.h"

#include <QApplication>
#include <QMessageBox>

namespace velantis {

StartFlow::StartFlow(std::function<QWidget*()> makeMainWindow, WebLauncher& web, QObject* parent)
    : QObject(parent), makeMainWindow_(std::move(makeMainWindow)), web_(web) {
    connect(&web_, &WebLauncher::failed, this, &StartFlow::WebFailed);
}

void StartFlow::WebFailed(const QString& reason) {
    if (auto* main = qobject_cast<MainWindow*>(mainWindow_.data())) {
        main->showStatusNotice(reason);
    } else if (splash_) {
        auto* box =
            new QMessageBox(QMessageBox::Warning, tr("网页"), reason, QMessageBox::Ok, splash_);
        box->setObjectName(QStringLiteral("webFailure"));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open(); // the splash goes on blinking meanwhile
    }
}

StartFlow::~StartFlow() {
    delete splash_;
}

bool StartFlow::WantsSplash(const QStringList& arguments) {
    return !arguments.contains("--no-splash");
}

void StartFlow::start(bool withSplash) {
    if (!withSplash) {
        Enter();
        return;
    }
    splash_ = new SplashWindow;
    // Entering is queued: the splash is destroyed outside its own mouse handler.
    connect(splash_, &SplashWindow::enterRequested, this, &StartFlow::Enter, Qt::QueuedConnection);
    connect(splash_, &SplashWindow::webPageRequested, &web_, [this] { OpenWebPage(web_); });
    splash_->show();
}

// Unload the splash first, then create and show the main window. For that moment no window of
// the program is visible, which must not end it.
void StartFlow::Enter() {
    if (entered_)
        return;
    entered_ = true;
    const bool quitOnLastWindowClosed = QApplication::quitOnLastWindowClosed();
    QApplication::setQuitOnLastWindowClosed(false);
    if (splash_) {
        splash_->close();
        delete splash_;
    }
    mainWindow_ = makeMainWindow_();
    if (mainWindow_) {
        mainWindow_->show();
        emit mainWindowShown(mainWindow_);
    }
    QApplication::setQuitOnLastWindowClosed(quitOnLastWindowClosed);
}

} // namespace velantis
