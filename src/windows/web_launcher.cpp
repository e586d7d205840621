#include "windows/web_launcher.h"

#include "windows/web_site.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QRandomGenerator>
#include <QTimer>

namespace velantis {

WebLauncher::WebLauncher(QObject* parent) : WebLauncher(DefaultProgram(), {}, parent) {}

WebLauncher::WebLauncher(QString program, QStringList extraArguments, QObject* parent)
    : QObject(parent), program_(std::move(program)), extraArguments_(std::move(extraArguments)),
      startTimer_(new QTimer(this)) {
    startTimer_->setSingleShot(true);
    startTimer_->setInterval(30000);
    connect(startTimer_, &QTimer::timeout, this, &WebLauncher::OnStartTimeout);
}

// The connection closes with the program; a window that has been greeted stays open on its own.
WebLauncher::~WebLauncher() {
    if (socket_)
        socket_->disconnect(this);
}

QString WebLauncher::DefaultProgram() {
#ifdef Q_OS_WIN
    const QString name = "velantis-web.exe";
#else
    const QString name = "velantis-web";
#endif
    return QDir(QCoreApplication::applicationDirPath()).filePath(name);
}

void WebLauncher::setStartTimeout(int ms) {
    startTimer_->setInterval(ms);
}

void WebLauncher::show() {
    switch (state_) {
    case State::Running:
        Send(kRaise);
        return;
    case State::Starting:
        raisePending_ = true; // the window shows on top anyway once it is up
        return;
    case State::NotRunning:
        break;
    }
    Listen();
    if (!server_->isListening()) {
        emit failed(
            tr("No control channel for the web-page window: %1").arg(server_->errorString()));
        return;
    }
    QProcess process;
    process.setProgram(program_);
    process.setArguments(extraArguments_ + QStringList{kControlOption, server_->fullServerName()});
    // The window outlives the program when the program ends by its close box: it must not hold
    // the program's standard channels (a write to a closed pipe would end it).
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    if (!process.startDetached(&processId_)) {
        emit failed(tr("Cannot start %1: %2").arg(program_, process.errorString()));
        return;
    }
    ++startCount_;
    state_ = State::Starting;
    raisePending_ = false;
    startTimer_->start();
}

void WebLauncher::stop() {
    startTimer_->stop();
    raisePending_ = false;
    if (socket_) {
        Send(kQuit);
        socket_->flush();
        QLocalSocket* socket = socket_;
        DropConnection();
        socket->disconnectFromServer();
    }
    // A window still starting finds no program to report to, or loses its connection before the
    // greeting, and ends by itself.
    if (server_)
        server_->close();
    state_ = State::NotRunning;
}

void WebLauncher::Listen() {
    if (server_ && server_->isListening())
        return;
    delete server_;
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &WebLauncher::OnConnection);
    const QString name = QString("velantis-web-%1-%2")
                             .arg(QCoreApplication::applicationPid())
                             .arg(QRandomGenerator::global()->generate(), 8, 16, QChar('0'));
    if (!server_->listen(name)) {
        QLocalServer::removeServer(name); // a stale socket file of an earlier program
        server_->listen(name);
    }
}

void WebLauncher::OnConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        if (socket_) {
            // Only one window: a second one that got through (a late starter) ends at once.
            socket->write(kQuit);
            socket->write("\n");
            socket->flush();
            socket->disconnectFromServer();
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            continue;
        }
        socket_ = socket;
        connect(socket_, &QLocalSocket::readyRead, this, &WebLauncher::OnReadyRead);
        connect(socket_, &QLocalSocket::disconnected, this, &WebLauncher::OnDisconnected);
        Send(kHello);
        startTimer_->stop();
        state_ = State::Running;
        emit started();
        if (raisePending_) {
            raisePending_ = false;
            Send(kRaise);
        }
    }
}

void WebLauncher::OnReadyRead() {
    while (socket_ && socket_->canReadLine()) {
        const QByteArray line = socket_->readLine().trimmed();
        if (line == kRaised)
            emit raised();
    }
}

void WebLauncher::OnDisconnected() {
    DropConnection();
    state_ = State::NotRunning;
    emit finished();
}

void WebLauncher::OnStartTimeout() {
    if (state_ != State::Starting)
        return;
    state_ = State::NotRunning;
    emit failed(tr("The web-page window did not start: %1").arg(program_));
}

void WebLauncher::Send(const char* line) {
    if (!socket_)
        return;
    socket_->write(QByteArray(line) + '\n');
    socket_->flush(); // at once: the program may end before its event loop runs again
}

void WebLauncher::DropConnection() {
    if (!socket_)
        return;
    socket_->disconnect(this);
    socket_->deleteLater();
    socket_ = nullptr;
}

} // namespace velantis
