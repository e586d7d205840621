// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Offline first: every download lands in the local record database; the sync sends to the
// department's server what it lacks, on a thread of its own, so no window ever waits on the
// network.

#include "archive/archive.h"
#include "archive/server_archive.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QThread>

#include <atomic>
#include <functional>
#include <memory>

class QTimer;

namespace velantis {

// What the sync did with one test.
struct SyncEvent {
    enum class Kind {
        Sent,       // the server now has the test
        Updated,    // the server has the test's newer information
        Superseded, // the server marked the test replaced by a split or merge
        Refused,    // another role's test: its edit is not sent again until the next edit
    };
    Kind kind = Kind::Sent;
    QString uuid;
    qint64 number = 0; // the local test; 0 for a superseded uuid
    int revision = 0;
    QString reason; // for Refused
};

// How a sync pass ended.
struct SyncResult {
    int waiting = 0;     // tests and superseded uuids the server still lacks
    QString reason;      // why something still waits, naming the server; empty when nothing does
    bool failed = false; // the server (or the record database) failed: try again later
};

// Where the watchdog finds the connection of a pass on its way: the socket of the server's
// connection and since when the current statement runs (ms since the epoch, 0: none).
struct SyncProgress {
    std::atomic<qintptr> socket{-1};
    std::atomic<qint64> busySince{0};
    std::atomic<bool> stopping{false}; // the program ends: no further test is begun
};

// One pass on the calling thread: every waiting test (never sent: push, marked sent only after
// the server's commit; sent at an older revision: updateInfo), then the supersede queue. The
// server failing ends the pass: nothing is lost, what is left waits for the next.
SyncResult SyncPass(Archive& archive, ServerArchive& server,
                    const std::function<void(const SyncEvent&)>& told, SyncProgress* progress);

// Ends the wait of a libpq connection's blocking call from another thread: the socket shut
// down, the call returns with an error. False when libpq's PQsocket is not to be had.
qintptr SocketOf(const ServerArchive& server);
bool DropSocket(qintptr socket);

// The worker: an object on its own thread with its own record database connection and its own
// server connection.
class SyncWorker : public QObject {
    Q_OBJECT
public:
    SyncWorker(QString archivePath, QString connInfo, QString password, SyncProgress* progress);
    ~SyncWorker() override;

    // The waits after a failed pass: 30 s, doubled each time, at most 10 min.
    static constexpr int FirstRetryMs = 30 * 1000;
    static constexpr int LongestRetryMs = 10 * 60 * 1000;
    static constexpr int PeriodMs = 5 * 60 * 1000;

public slots:
    // On the worker's thread: the timers, and the first pass.
    void begin();
    void runPass();

signals:
    void event(const velantis::SyncEvent& event);
    void passDone(const velantis::SyncResult& result, const QDateTime& when);

private:
    QString archivePath_;
    QString connInfo_;
    QString password_;
    SyncProgress* progress_;
    std::unique_ptr<Archive> archive_;
    std::unique_ptr<ServerArchive> server_;
    QTimer* period_ = nullptr;
    QTimer* retry_ = nullptr;
    int retryMs_ = FirstRetryMs;
};

// What the windows and the command line hold: the worker's thread and a watchdog on the
// caller's thread that drops a connection stuck in one statement beyond the limit.
class SyncService : public QObject {
    Q_OBJECT
public:
    static constexpr int DefaultStuckMs = 60 * 1000;

    SyncService(const QString& archivePath, const QString& connInfo, QObject* parent = nullptr,
                const QString& password = {});
    ~SyncService() override;

    // Starts the thread: a first pass at once, then every 5 minutes.
    void start();
    void setStuckLimit(int ms) { stuckMs_ = ms; }
    // How many connections the watchdog dropped.
    int dropped() const { return dropped_; }

public slots:
    // A pass as soon as the worker is free: after an archive, an edit, 立即同步.
    void nudge();

signals:
    void event(const velantis::SyncEvent& event);
    void passDone(const velantis::SyncResult& result, const QDateTime& when);
    // What the title panel shows: the count waiting, the last reason and when it was.
    void status(int waiting, const QString& reason, const QDateTime& when);

private:
    void watch();

    SyncProgress progress_;
    QThread thread_;
    SyncWorker* worker_ = nullptr;
    QTimer* watchdog_ = nullptr;
    int stuckMs_ = DefaultStuckMs;
    int dropped_ = 0;
};

} // namespace velantis

Q_DECLARE_METATYPE(velantis::SyncEvent)
Q_DECLARE_METATYPE(velantis::SyncResult)
