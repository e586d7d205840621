// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "archive/archive.h"

#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QString>
#include <QStringList>

#include <optional>

class QSettings;

namespace velantis {

// Why the department's server could not do what was asked.
struct ServerError {
    enum class Reason {
        None,
        NoDriver,       // Qt's PostgreSQL driver (QPSQL) is not installed
        CannotConnect,  // host unreachable, refused, TLS or authentication failed; system: libpq's
                        // words
        PasswordNeeded, // the server asks for a password and none was given or found in the
                        // password file
        NoSchema,       // the database has no Velantis tables (server.sql not loaded)
        NewerSchema,    // the server's schema is of a later program version: browsing only
        NotYourTest,    // an edit of a test another role sent
        NoSuchTest,     // no test with that uuid on the server
        Denied,         // the role lacks the right (permission denied, row-level security)
        Lost,           // the connection broke or was dropped as stuck; nothing was committed
        Other,          // see system
    };
    Reason reason = Reason::None;
    QString system;

    // The reason in English (translated in the programs), naming the server where it matters.
    QString text() const;
};

// What 测试连接 and `records sync` tell of a server.
struct ServerInfo {
    QString serverVersion; // "15.18"
    int schemaVersion = 0;
    QString user; // the database role connected
    bool canSelect = false;
    bool canInsert = false;
    bool canUpdate = false;
    bool canDelete = false;
    bool readOnly = false; // a newer schema: browsing only
};

// Where a page of the server view ends: the next page starts after this test.
struct ServerPageKey {
    QDateTime started;
    QString uuid;
};

// The department's archive on a PostgreSQL server, reached through Qt's QPSQL driver. One object,
// one connection, used by one thread only (a Qt SQL connection belongs to the thread that made it).
//
// The connection is a libpq connection string ("host=... port=... dbname=... user=...
// sslmode=verify-full" or "service=NAME"); a password is never part of the settings: libpq reads
// it from the password file, or the caller passes one given by the user. connect_timeout,
// keepalives and tcp_user_timeout are added when the string does not set them, so that a server
// that stops answering ends the wait instead of holding the caller.
//
// The program never creates databases or roles: the schema is server.sql, run by the
// department's administrator.
class ServerArchive {
public:
    static constexpr int SchemaVersion = 1;
    // Rows the server view fetches at a time.
    static constexpr int PageSize = 100;

    // The text of server.sql, as installed with the program and printed by
    // `velantis-cli server schema`.
    static QString SchemaSql();

    explicit ServerArchive(QString connInfo, QString password = {});
    ~ServerArchive();
    ServerArchive(const ServerArchive&) = delete;
    ServerArchive& operator=(const ServerArchive&) = delete;

    // The server as people know it: host (and port) or service name, for messages.
    QString where() const;

    // Connects (once; later calls do nothing while connected) and reads the schema version: a
    // database without the tables is NoSchema, a later schema connects read only (readOnly()).
    bool connect(ServerError* error);
    void disconnect();
    bool isConnected() const;
    bool readOnly() const { return readOnly_; }
    // The driver's handle of the connection (a PGconn*), for a watchdog on another thread that
    // drops a connection stuck on a stalled server; invalid when not connected.
    QVariant driverHandle() const {
        return db_.isOpen() && db_.driver() ? db_.driver()->handle() : QVariant();
    }
    // The server's version, the schema version, the role and its rights.
    bool info(ServerInfo* info, ServerError* error);

    // Sends a test and its groups in one transaction (INSERT … ON CONFLICT (uuid) DO NOTHING):
    // *inserted is false when the server had the test already (its groups are then not sent).
    // The server sets the owner; record.owner is ignored.
    bool push(const TestRecord& record, const QList<ArchivedGroup>& groups, bool* inserted,
              ServerError* error);
    // Sends an edit of a test's information (with its revision, edit time and recounted verdict
    // counts): only a newer revision replaces the server's. A test another role sent is
    // NotYourTest and nothing changes; *applied is false when the server's revision was as new.
    bool updateInfo(const TestRecord& record, bool* applied, ServerError* error);
    // Marks tests replaced by a split or merge as superseded (never deletes them).
    bool supersede(const QStringList& uuids, ServerError* error);

    // The server view: tests not superseded, newest first (download time, then uuid), up to
    // limit of them after the given key; filter: station, equipment, serial or remarks containing
    // the text (case ignored), by the trigram index from three characters on, by prefix below.
    bool page(const QString& filter, const std::optional<ServerPageKey>& after, int limit,
              QList<TestRecord>* tests, ServerError* error);
    // One test and its groups in group order.
    bool find(const QString& uuid, TestRecord* test, QList<ArchivedGroup>* groups,
              ServerError* error);

private:
    // Connected and not a later schema's server (NewerSchema otherwise).
    bool writable(ServerError* error);
    // writable(), the test's uuid in the server's form (NoSuchTest for none) and a transaction
    // begun.
    bool beginTestWrite(const QString& raw, QString* uuid, ServerError* error);

    QString connInfo_;
    QString password_;
    QString connection_;
    QSqlDatabase db_;
    bool readOnly_ = false;
};

// The server connection remembered in the programs' settings (key "server/connection", shared by
// the windows and velantis-cli); empty when none was chosen. Never holds a password.
QString RememberedServer(const QSettings& settings);
void RememberServer(QSettings& settings, const QString& connInfo);

} // namespace velantis
