// SPDX-License-Identifier: GPL-3.0-or-later
#include "archive/sync_worker.h"

#include <QCoreApplication>
#include <QLibrary>
#include <QTimer>

#include <algorithm>

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <sys/socket.h>
#endif

namespace velantis {

namespace {

QString ServerReason(const ServerArchive& server, const ServerError& error) {
    const QString text = error.text();
    if (text.contains(server.where()))
        return text;
    return QCoreApplication::translate("velantis::SyncWorker", "server %1: %2")
        .arg(server.where(), text);
}

QString ArchiveReason(const Archive& archive, const ArchiveError& error) {
    return QCoreApplication::translate("velantis::SyncWorker", "record database %1: %2")
        .arg(archive.path(), error.text());
}

// The statement under way, for the watchdog.
class Busy {
public:
    explicit Busy(SyncProgress* progress) : progress_(progress) {
        if (progress_)
            progress_->busySince = QDateTime::currentMSecsSinceEpoch();
    }
    ~Busy() {
        if (progress_)
            progress_->busySince = 0;
    }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

private:
    SyncProgress* progress_;
};

} // namespace

qintptr SocketOf(const ServerArchive& server) {
    const QVariant handle = server.driverHandle();
    // Qt names the type after libpq's struct behind the PGconn typedef.
    if (!handle.isValid() ||
        (qstrcmp(handle.typeName(), "PGconn*") != 0 && qstrcmp(handle.typeName(), "pg_conn*") != 0))
        return -1;
    const void* connection = *static_cast<void* const*>(handle.constData());
    if (!connection)
        return -1;
    // libpq is loaded already (the driver uses it): resolved here, no link-time dependency.
    using SocketFn = int (*)(const void*);
#ifdef Q_OS_WIN
    static const auto socketOf =
        reinterpret_cast<SocketFn>(QLibrary::resolve(QStringLiteral("libpq"), "PQsocket"));
#else
    static const auto socketOf =
        reinterpret_cast<SocketFn>(QLibrary::resolve(QStringLiteral("pq"), 5, "PQsocket"));
#endif
    return socketOf ? socketOf(connection) : -1;
}

bool DropSocket(qintptr socket) {
    if (socket < 0)
        return false;
#ifdef Q_OS_WIN
    return ::shutdown(static_cast<SOCKET>(socket), SD_BOTH) == 0;
#else
    return ::shutdown(static_cast<int>(socket), SHUT_RDWR) == 0;
#endif
}

SyncResult SyncPass(Archive& archive, ServerArchive& server,
                    const std::function<void(const SyncEvent&)>& told, SyncProgress* progress) {
    SyncResult result;
    ArchiveError archiveError;
    const auto archiveFailed = [&] {
        result.failed = true;
        result.reason = ArchiveReason(archive, archiveError);
        result.waiting = archive.waitingCount(nullptr).value_or(result.waiting);
        return result;
    };
    QList<WaitingTest> waiting;
    QStringList queue;
    if (!archive.waiting(&waiting, &archiveError)) {
        if (archiveError.reason == ArchiveError::Reason::NoDatabase)
            return result; // nothing archived yet, nothing to send
        return archiveFailed();
    }
    if (!archive.supersedeQueue(&queue, &archiveError))
        return archiveFailed();
    if (waiting.isEmpty() && queue.isEmpty())
        return result;

    ServerError serverError;
    const auto serverFailed = [&] {
        if (serverError.reason == ServerError::Reason::Lost)
            server.disconnect(); // connected again by the next pass
        result.failed = true;
        result.reason = ServerReason(server, serverError);
        result.waiting = archive.waitingCount(nullptr).value_or(int(waiting.size() + queue.size()));
        return result;
    };
    {
        Busy busy(progress);
        if (!server.connect(&serverError))
            return serverFailed();
    }
    if (progress)
        progress->socket = SocketOf(server);

    QString refused;
    for (const WaitingTest& w : waiting) {
        if (progress && progress->stopping)
            break;
        TestRecord test;
        QList<ArchivedGroup> groups;
        if (!archive.find(w.record.number, &test, &groups, &archiveError)) {
            if (archiveError.reason == ArchiveError::Reason::NoSuchTest)
                continue; // removed meanwhile
            return archiveFailed();
        }
        if (test.uuid != w.record.uuid)
            continue; // split or merged meanwhile: the next pass takes what it became
        SyncEvent event{SyncEvent::Kind::Sent, test.uuid, test.number, test.revision, {}};
        bool update = w.sentRevision > 0;
        bool ok = true;
        Busy busy(progress);
        if (!update) {
            bool inserted = false;
            ok = server.push(test, groups, &inserted, &serverError);
            // Already there (an earlier pass whose mark was lost, or a copy from another PC):
            // its information is brought up to this revision when newer.
            update = ok && !inserted && test.revision > 1;
        }
        if (ok && update) {
            bool applied = false;
            ok = server.updateInfo(test, &applied, &serverError);
            if (!ok && serverError.reason == ServerError::Reason::NoSuchTest) {
                bool inserted = false; // the server lost it: sent whole again
                ok = server.push(test, groups, &inserted, &serverError);
            } else if (ok && w.sentRevision > 0) {
                event.kind = SyncEvent::Kind::Updated;
            }
        }
        if (!ok && serverError.reason == ServerError::Reason::NotYourTest) {
            event.kind = SyncEvent::Kind::Refused;
            event.reason = ServerReason(server, serverError);
            refused = event.reason;
            if (!archive.markRefused(test.uuid, test.revision, &archiveError))
                return archiveFailed();
            if (told)
                told(event);
            continue;
        }
        if (!ok)
            return serverFailed();
        // The server committed: only now is the test marked sent here.
        if (!archive.markSent(test, &archiveError))
            return archiveFailed();
        if (told)
            told(event);
    }
    if (!queue.isEmpty() && !(progress && progress->stopping)) {
        {
            Busy busy(progress);
            if (!server.supersede(queue, &serverError))
                return serverFailed();
        }
        if (!archive.unqueueSupersede(queue, &archiveError))
            return archiveFailed();
        for (const QString& uuid : queue) {
            if (told)
                told({SyncEvent::Kind::Superseded, uuid, 0, 0, {}});
        }
    }
    const auto left = archive.waitingCount(&archiveError);
    if (!left)
        return archiveFailed();
    result.waiting = *left;
    result.reason = refused;
    return result;
}

SyncWorker::SyncWorker(QString archivePath, QString connInfo, QString password,
                       SyncProgress* progress)
    : archivePath_(std::move(archivePath)), connInfo_(std::move(connInfo)),
      password_(std::move(password)), progress_(progress) {}

SyncWorker::~SyncWorker() = default;

void SyncWorker::begin() {
    archive_ = std::make_unique<Archive>(archivePath_);
    server_ = std::make_unique<ServerArchive>(connInfo_, password_);
    period_ = new QTimer(this);
    period_->setInterval(PeriodMs);
    connect(period_, &QTimer::timeout, this, &SyncWorker::runPass);
    period_->start();
    retry_ = new QTimer(this);
    retry_->setSingleShot(true);
    connect(retry_, &QTimer::timeout, this, &SyncWorker::runPass);
    runPass();
}

void SyncWorker::runPass() {
    if (!archive_)
        return; // not begun
    const SyncResult result = SyncPass(
        *archive_, *server_, [this](const SyncEvent& e) { emit event(e); }, progress_);
    if (progress_)
        progress_->socket = -1;
    if (result.failed) {
        retry_->start(retryMs_);
        retryMs_ = std::min(retryMs_ * 2, LongestRetryMs);
    } else {
        retry_->stop();
        retryMs_ = FirstRetryMs;
    }
    emit passDone(result, QDateTime::currentDateTime());
}

SyncService::SyncService(const QString& archivePath, const QString& connInfo, QObject* parent,
                         const QString& password)
    : QObject(parent) {
    qRegisterMetaType<SyncEvent>();
    qRegisterMetaType<SyncResult>();
    worker_ = new SyncWorker(archivePath, connInfo, password, &progress_);
    worker_->moveToThread(&thread_);
    connect(&thread_, &QThread::finished, worker_, &QObject::deleteLater);
    connect(worker_, &SyncWorker::event, this, &SyncService::event);
    connect(worker_, &SyncWorker::passDone, this,
            [this](const SyncResult& result, const QDateTime& when) {
                emit passDone(result, when);
                emit status(result.waiting, result.reason, when);
            });
    watchdog_ = new QTimer(this);
    watchdog_->setInterval(1000);
    connect(watchdog_, &QTimer::timeout, this, &SyncService::watch);
}

SyncService::~SyncService() {
    progress_.stopping = true;
    thread_.quit();
    // A statement that waits on a stalled server would hold the exit: its connection is dropped.
    while (!thread_.wait(200)) {
        if (progress_.busySince != 0)
            DropSocket(progress_.socket);
    }
}

void SyncService::start() {
    if (thread_.isRunning())
        return;
    thread_.setObjectName(QStringLiteral("velantis-sync"));
    thread_.start();
    QMetaObject::invokeMethod(worker_, &SyncWorker::begin, Qt::QueuedConnection);
    watchdog_->start();
}

void SyncService::nudge() {
    QMetaObject::invokeMethod(worker_, &SyncWorker::runPass, Qt::QueuedConnection);
}

void SyncService::watch() {
    const qint64 since = progress_.busySince;
    if (since == 0 || QDateTime::currentMSecsSinceEpoch() - since < stuckMs_)
        return;
    // Once per statement: the blocked call returns with an error and the pass ends.
    qint64 expected = since;
    if (progress_.busySince.compare_exchange_strong(expected, 0) && DropSocket(progress_.socket))
        ++dropped_;
}

} // namespace velantis
