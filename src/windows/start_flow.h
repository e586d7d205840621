// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <functional>

namespace velantis {

class SplashWindow;
class WebLauncher;

// How the program starts: with the splash, which leads to the main window and to the web-page
// window, or with the main window at once (--no-splash).
//
//   velantis::WebLauncher web;
//   velantis::StartFlow flow([&] { return new velantis::MainWindow(...); }, web);
//   flow.start(velantis::StartFlow::WantsSplash(app.arguments()));
//   return app.exec();
//
// The factory is called once, after the splash has been closed and destroyed; the flow does not
// own the window it returns (give it WA_DeleteOnClose or keep it yourself). A web-page window
// that cannot start is told where the user is: in a message on the splash, or in the main
// window's title panel.
class StartFlow : public QObject {
    Q_OBJECT
public:
    StartFlow(std::function<QWidget*()> makeMainWindow, WebLauncher& web,
              QObject* parent = nullptr);
    ~StartFlow() override;

    // False when the arguments hold --no-splash.
    static bool WantsSplash(const QStringList& arguments);

    void start(bool withSplash);

    SplashWindow* splash() const { return splash_; }
    QWidget* mainWindow() const { return mainWindow_; }

signals:
    void mainWindowShown(QWidget* window);

private:
    void Enter();
    void WebFailed(const QString& reason);

    std::function<QWidget*()> makeMainWindow_;
    WebLauncher& web_;
    QPointer<SplashWindow> splash_;
    QPointer<QWidget> mainWindow_;
    bool entered_ = false;
};

} // namespace velantis
