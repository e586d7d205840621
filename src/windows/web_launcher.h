// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;
class QLocalSocket;
class QTimer;

namespace velantis {

// Starts the web-page window, velantis-web, as a process of its own, and keeps it single: the
// first show() starts it, a later one raises the running window. The two talk over a local
// socket (see web_site.h). stop() ends the window (Exit of the main window); merely destroying the
// launcher, as when the program ends because its main window was closed, leaves an open web-page
// window running on its own.
class WebLauncher : public QObject {
    Q_OBJECT
public:
    enum class State { NotRunning, Starting, Running };

    // Starts DefaultProgram().
    explicit WebLauncher(QObject* parent = nullptr);
    // Starts `program` with `extraArguments` in front of the control option.
    WebLauncher(QString program, QStringList extraArguments, QObject* parent = nullptr);
    ~WebLauncher() override;

    // velantis-web next to the running executable.
    static QString DefaultProgram();

    void show();
    void stop();

    State state() const { return state_; }
    // How many times a window process was started.
    int startCount() const { return startCount_; }
    // The process id of the window last started, 0 before the first start.
    qint64 processId() const { return processId_; }

    // A window that does not report back within this time counts as not started.
    void setStartTimeout(int ms);

signals:
    void started();  // the window's process reported back
    void raised();   // the running window confirmed a raise
    void finished(); // the window's process ended or went silent
    // It could not be started, or ended before it reported back; the launcher is not running
    // again, and the next show() tries afresh.
    void failed(const QString& reason);

private:
    void Listen();
    void OnConnection();
    void OnReadyRead();
    void OnDisconnected();
    void OnStartTimeout();
    void OnStartCheck();
    void StartFailed(const QString& reason);
    void Send(const char* line);
    void DropConnection();

    QString program_;
    QStringList extraArguments_;
    QLocalServer* server_ = nullptr;
    QLocalSocket* socket_ = nullptr;
    QTimer* startTimer_;
    QTimer* startCheck_; // while starting: whether the process is still there
    State state_ = State::NotRunning;
    bool raisePending_ = false;
    int startCount_ = 0;
    qint64 processId_ = 0;
};

} // namespace velantis
