// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/web_launcher.h"

#include "windows/web_site.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QRandomGenerator>
#include <QTimer>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace velantis {

namespace {

// Whether a process started detached still runs (a zombie that nobody reaped does not).
bool ProcessRuns(qint64 pid) {
#ifdef Q_OS_WIN
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                 static_cast<DWORD>(pid));
    if (!process)
        return false;
    const bool runs = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return runs;
#else
    QFile status(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return !QFileInfo::exists(QStringLiteral("/proc/self")); // no /proc: cannot tell
    const QByteArray stat = status.readAll();
    const qsizetype afterName = stat.lastIndexOf(')');
    return afterName > 0 && stat.mid(afterName + 2, 1) != "Z";
#endif
}

} // namespace

WebLauncher::WebLauncher(QObject* parent) : WebLauncher(DefaultProgram(), {}, parent) {}

WebLauncher::WebLauncher(QString program, QStringList extraArguments, QObject* parent)
    : QObject(parent), program_(std::move(program)), extraArguments_(std::move(extraArguments)),
      startTimer_(new QTimer(this)), startCheck_(new QTimer(this)) {
    startTimer_->setSingleShot(true);
    startTimer_->setInterval(30000);
    connect(startTimer_, &QTimer::timeout, this, &WebLauncher::OnStartTimeout);
    startCheck_->setInterval(200);
    connect(startCheck_, &QTimer::timeout, this, &WebLauncher::OnStartCheck);
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
        StartFailed(tr("网页窗口无法启动: 控制通道无法建立 (%1)").arg(server_->errorString()));
        return;
    }
    if (!QFileInfo(program_).isFile()) {
        StartFailed(tr("网页窗口无法启动: 找不到程序 %1").arg(QDir::toNativeSeparators(program_)));
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
        StartFailed(tr("网页窗口无法启动: %1 (%2)")
                        .arg(QDir::toNativeSeparators(program_), process.errorString()));
        return;
    }
    ++startCount_;
    state_ = State::Starting;
    raisePending_ = false;
    startTimer_->start();
    startCheck_->start();
}

void WebLauncher::stop() {
    startTimer_->stop();
    startCheck_->stop();
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
        startCheck_->stop();
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
    StartFailed(tr("网页窗口在 %1 秒内没有启动 (%2)")
                    .arg(startTimer_->interval() / 1000.0)
                    .arg(QDir::toNativeSeparators(program_)));
}

// A window that crashed or quit before it reported back: said at once, not after the timeout.
void WebLauncher::OnStartCheck() {
    if (state_ != State::Starting || socket_ || ProcessRuns(processId_))
        return;
    StartFailed(tr("网页窗口启动后即退出 (%1)").arg(QDir::toNativeSeparators(program_)));
}

void WebLauncher::StartFailed(const QString& reason) {
    startTimer_->stop();
    startCheck_->stop();
    raisePending_ = false;
    state_ = State::NotRunning;
    if (server_)
        server_->close(); // a window that still reports back later finds nobody and ends
    emit failed(reason);
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
