// SPDX-License-Identifier: GPL-3.0-or-later
#include "archive/server_archive.h"

#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>

#include <atomic>

namespace velantis {

namespace {

constexpr const char* Driver = "QPSQL";
constexpr const char* SettingsKey = "server/connection";

// What a connection string sets when it does not say otherwise: a server that stops answering
// ends the wait instead of holding the caller.
const struct {
    const char* key;
    const char* value;
} ConnectionDefaults[] = {
    {"connect_timeout", "10"},
    {"keepalives", "1"},
    {"keepalives_idle", "30"},
    {"tcp_user_timeout", "30000"},
};

// One keyword = value of a libpq connection string, the value unquoted.
struct ConnInfoItem {
    QString key;
    QString value;
};

// The keywords of a libpq connection string ("host=a port=5432 sslrootcert='C:\\x y'"): white
// space around '=', values in single quotes with backslash escapes. Nothing when it is not one.
std::optional<QList<ConnInfoItem>> ParseConnInfo(const QString& text) {
    QList<ConnInfoItem> items;
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto skipSpace = [&] {
        while (i < n && text.at(i).isSpace())
            ++i;
    };
    for (;;) {
        skipSpace();
        if (i == n)
            return items;
        ConnInfoItem item;
        while (i < n && !text.at(i).isSpace() && text.at(i) != u'=')
            item.key += text.at(i++);
        skipSpace();
        if (item.key.isEmpty() || i == n || text.at(i) != u'=')
            return std::nullopt;
        ++i;
        skipSpace();
        if (i < n && text.at(i) == u'\'') {
            ++i;
            for (;;) {
                if (i == n)
                    return std::nullopt; // an unterminated quote
                const QChar c = text.at(i++);
                if (c == u'\'')
                    break;
                if (c == u'\\' && i < n)
                    item.value += text.at(i++);
                else
                    item.value += c;
            }
        } else {
            while (i < n && !text.at(i).isSpace()) {
                const QChar c = text.at(i++);
                if (c == u'\\' && i < n)
                    item.value += text.at(i++);
                else
                    item.value += c;
            }
        }
        items.append(item);
    }
}

// A value as libpq reads it back: quoted, with ' and \ escaped.
QString Quoted(const QString& value) {
    QString v = value;
    v.replace(u'\\', QStringLiteral("\\\\")).replace(u'\'', QStringLiteral("\\'"));
    return u'\'' + v + u'\'';
}

QString JoinConnInfo(const QList<ConnInfoItem>& items) {
    QStringList parts;
    for (const ConnInfoItem& item : items)
        parts << item.key + u'=' + Quoted(item.value);
    return parts.join(u' ');
}

QString ValueOf(const QList<ConnInfoItem>& items, const QString& key) {
    QString value; // the last one given counts, as in libpq
    for (const ConnInfoItem& item : items) {
        if (item.key == key)
            value = item.value;
    }
    return value;
}

ServerError Error(ServerError::Reason reason, const QString& system = {}) {
    return {reason, system};
}

void Set(ServerError* error, ServerError value) {
    if (error)
        *error = std::move(value);
}

bool Fail(ServerError* error, ServerError value) {
    Set(error, std::move(value));
    return false;
}

// PostgreSQL's SQLSTATE and libpq's words sorted into the reasons the programs tell apart.
ServerError ErrorOf(const QSqlError& e) {
    ServerError out;
    // libpq's words span several indented lines, and the driver may leave an empty "()" after
    // them: one line for the title panel's tip and the status line.
    out.system = (e.databaseText().isEmpty() ? e.text() : e.databaseText()).simplified();
    while (out.system.endsWith(QLatin1String("()")))
        out.system = out.system.chopped(2).trimmed();
    const QString state = e.nativeErrorCode();
    const QString words = out.system.toLower();
    if (words.contains(QLatin1String("no password supplied")))
        out.reason = ServerError::Reason::PasswordNeeded;
    else if (state == QLatin1String("42501") || state == QLatin1String("42P01") ||
             words.contains(QLatin1String("row-level security")) ||
             words.contains(QLatin1String("permission denied")))
        out.reason = state == QLatin1String("42P01") ? ServerError::Reason::NoSchema
                                                     : ServerError::Reason::Denied;
    else if (state.startsWith(QLatin1String("08")) || state.startsWith(QLatin1String("57P")) ||
             words.contains(QLatin1String("server closed the connection")) ||
             words.contains(QLatin1String("no connection to the server")) ||
             words.contains(QLatin1String("terminating connection")) ||
             words.contains(QLatin1String("connection to server")) ||
             words.contains(QLatin1String("could not receive data")) ||
             words.contains(QLatin1String("could not send data")))
        out.reason = ServerError::Reason::Lost;
    else
        out.reason = ServerError::Reason::Other;
    return out;
}

bool Failed(ServerError* error, const QSqlError& e) {
    Set(error, ErrorOf(e));
    return false;
}

// Times go to the server as UTC text and come back as milliseconds since the epoch: exact to
// the millisecond both ways, whatever the session's time zone.
QVariant TimeValue(const QDateTime& t) {
    if (!t.isValid())
        return QVariant(QMetaType(QMetaType::QString));
    return t.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) + u'Z';
}
QString TimeColumn(const char* column) {
    return QStringLiteral("(extract(epoch FROM %1) * 1000)::bigint").arg(QLatin1String(column));
}
QDateTime TimeOf(const QVariant& v) {
    if (v.isNull())
        return {};
    return QDateTime::fromMSecsSinceEpoch(v.toLongLong());
}

// Every text column is NOT NULL: an empty field goes as an empty text.
QVariant Text(const QString& s) {
    return s.isNull() ? QVariant(QStringLiteral("")) : QVariant(s);
}

DownloadEnd EndingOf(const QString& name) {
    return EndingNamed(name).value_or(DownloadEnd::None);
}

// The columns an edit of the test information changes, and their values: the information, the
// verdict counts, the revision and the edit time.
QStringList EditColumnNames() {
    QStringList names = {QStringLiteral("class"),      QStringLiteral("test_date"),
                         QStringLiteral("logo"),       QStringLiteral("set_calibration"),
                         QStringLiteral("guard_band"), QStringLiteral("pass"),
                         QStringLiteral("fail"),       QStringLiteral("undecided"),
                         QStringLiteral("revision"),   QStringLiteral("edited")};
    for (const TestInfoTextField& f : TestInfoTextFields)
        names << ColumnOf(f);
    return names;
}
QVariantList EditColumns(const TestRecord& r) {
    const TestInfo& i = r.info;
    QVariantList values = {
        Text(i.accuracy == AccuracyClass::None ? QString() : ClassName(i.accuracy)),
        Text(i.date.toString(Qt::ISODate)),
        i.logo.isNull() ? QByteArray("") : i.logo,
        Text(i.setCalibration.toString(Qt::ISODate)),
        i.guardBand,
        r.pass,
        r.fail,
        r.none,
        r.revision,
        TimeValue(r.edited)};
    for (const TestInfoTextField& f : TestInfoTextFields)
        values << Text(i.*f.member);
    return values;
}
// The placeholder of each edit column, with the casts the server needs.
QString EditPlaceholder(const QString& column) {
    return column == QLatin1String("edited") ? QStringLiteral("CAST(? AS timestamptz)")
                                             : QStringLiteral("?");
}

// The columns a test is read from, in the order RecordOf takes them.
QString SelectColumns() {
    QStringList columns = {QStringLiteral("uuid::text"),
                           TimeColumn("started"),
                           TimeColumn("ended"),
                           QStringLiteral("port"),
                           QStringLiteral("ending"),
                           QStringLiteral("announced"),
                           QStringLiteral("stored"),
                           QStringLiteral("download"),
                           QStringLiteral("first_group"),
                           QStringLiteral("last_group"),
                           QStringLiteral("origin_pc"),
                           QStringLiteral("origin_user"),
                           QStringLiteral("version"),
                           QStringLiteral("owner::text"),
                           QStringLiteral("superseded"),
                           QStringLiteral("class"),
                           QStringLiteral("test_date"),
                           QStringLiteral("logo"),
                           QStringLiteral("set_calibration"),
                           QStringLiteral("guard_band"),
                           QStringLiteral("pass"),
                           QStringLiteral("fail"),
                           QStringLiteral("undecided"),
                           QStringLiteral("revision"),
                           TimeColumn("edited")};
    for (const TestInfoTextField& f : TestInfoTextFields)
        columns << ColumnOf(f);
    return columns.join(QStringLiteral(", "));
}

TestRecord RecordOf(const QSqlQuery& q) {
    TestRecord r;
    int c = 0;
    r.uuid = q.value(c++).toString();
    r.started = TimeOf(q.value(c++));
    r.ended = TimeOf(q.value(c++));
    r.port = q.value(c++).toString();
    r.ending = EndingOf(q.value(c++).toString());
    r.announced = q.value(c++).toInt();
    r.stored = q.value(c++).toInt();
    r.download = q.value(c++).toString();
    r.firstGroup = q.value(c++).toInt();
    r.lastGroup = q.value(c++).toInt();
    r.originPc = q.value(c++).toString();
    r.originUser = q.value(c++).toString();
    r.version = q.value(c++).toString();
    r.owner = q.value(c++).toString();
    r.superseded = q.value(c++).toBool();
    r.info.accuracy = ParseClass(q.value(c++).toString()).value_or(AccuracyClass::None);
    r.info.date = QDate::fromString(q.value(c++).toString(), Qt::ISODate);
    r.info.logo = q.value(c++).toByteArray();
    r.info.setCalibration = QDate::fromString(q.value(c++).toString(), Qt::ISODate);
    r.info.guardBand = q.value(c++).toInt();
    r.pass = q.value(c++).toInt();
    r.fail = q.value(c++).toInt();
    r.none = q.value(c++).toInt();
    r.revision = q.value(c++).toInt();
    r.edited = TimeOf(q.value(c++));
    for (const TestInfoTextField& f : TestInfoTextFields)
        r.info.*f.member = q.value(c++).toString();
    return r;
}

// A uuid as the server writes it (lower case, no braces); empty when the text is none.
QString UuidText(const QString& text) {
    const QUuid id = QUuid::fromString(text.trimmed());
    return id.isNull() ? QString() : id.toString(QUuid::WithoutBraces);
}

// The filter as an ILIKE pattern: its own %, _ and \ taken literally; inside the text from three
// characters on (the trigram index), at the start of the text below.
QString FilterPattern(const QString& filter) {
    QString escaped = filter;
    escaped.replace(u'\\', QStringLiteral("\\\\"))
        .replace(u'%', QStringLiteral("\\%"))
        .replace(u'_', QStringLiteral("\\_"));
    return filter.toUcs4().size() >= 3 ? u'%' + escaped + u'%' : escaped + u'%';
}

// Where a public operation tells its outcome: a connection found lost is let go, so that the next
// call connects again instead of failing on the dead one.
class Outcome {
public:
    Outcome(ServerArchive* server, ServerError** error) : server_(server), out_(*error) {
        *error = &error_;
    }
    ~Outcome() {
        if (error_.reason == ServerError::Reason::Lost)
            server_->disconnect();
        if (out_)
            *out_ = std::move(error_);
    }
    Outcome(const Outcome&) = delete;
    Outcome& operator=(const Outcome&) = delete;

private:
    ServerArchive* server_;
    ServerError* out_;
    ServerError error_;
};

} // namespace

QString ServerError::text() const {
    switch (reason) {
    case Reason::None:
        return {};
    case Reason::NoDriver:
        return QCoreApplication::translate(
            "velantis::ServerError",
            "Qt's PostgreSQL driver (QPSQL) is not installed (Debian: libqt6sql6-psql)");
    case Reason::CannotConnect:
        return QCoreApplication::translate("velantis::ServerError",
                                           "cannot connect to the server (%1)")
            .arg(system);
    case Reason::PasswordNeeded:
        return QCoreApplication::translate(
            "velantis::ServerError",
            "the server asks for a password: give one, or put it in the password file");
    case Reason::NoSchema:
        return QCoreApplication::translate(
            "velantis::ServerError",
            "the database holds no Velantis archive: the administrator loads server.sql "
            "(velantis-cli server schema prints it)");
    case Reason::NewerSchema:
        return QCoreApplication::translate("velantis::ServerError",
                                           "the server's archive is of a later program version: "
                                           "it can be browsed, not changed");
    case Reason::NotYourTest:
        return QCoreApplication::translate("velantis::ServerError",
                                           "the test was sent by %1: only that role may edit it")
            .arg(system);
    case Reason::NoSuchTest:
        return QCoreApplication::translate("velantis::ServerError", "no test %1 on the server")
            .arg(system);
    case Reason::Denied:
        return QCoreApplication::translate("velantis::ServerError",
                                           "the server refused: the role lacks the right (%1)")
            .arg(system);
    case Reason::Lost:
        return QCoreApplication::translate(
                   "velantis::ServerError",
                   "the connection to the server was lost; nothing was changed (%1)")
            .arg(system);
    case Reason::Other:
        break;
    }
    return QCoreApplication::translate("velantis::ServerError", "server error (%1)").arg(system);
}

QString ServerArchive::SchemaSql() {
    QFile file(QStringLiteral(":/velantis/archive/server.sql"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

ServerArchive::ServerArchive(QString connInfo, QString password)
    : connInfo_(std::move(connInfo)), password_(std::move(password)) {
    static std::atomic<int> counter{0};
    connection_ = QStringLiteral("velantis-server-%1").arg(++counter);
}

ServerArchive::~ServerArchive() {
    disconnect();
    QSqlDatabase::removeDatabase(connection_);
}

QString ServerArchive::where() const {
    const auto items = ParseConnInfo(connInfo_);
    if (!items)
        return connInfo_;
    const QString service = ValueOf(*items, QStringLiteral("service"));
    QString host = ValueOf(*items, QStringLiteral("host"));
    if (host.isEmpty())
        host = ValueOf(*items, QStringLiteral("hostaddr"));
    if (host.isEmpty() && !service.isEmpty())
        return service;
    if (host.isEmpty())
        host = QStringLiteral("localhost");
    const QString port = ValueOf(*items, QStringLiteral("port"));
    return port.isEmpty() ? host : host + u':' + port;
}

bool ServerArchive::isConnected() const {
    return db_.isValid() && db_.isOpen();
}

void ServerArchive::disconnect() {
    if (db_.isValid())
        db_.close();
    db_ = QSqlDatabase();
    readOnly_ = false;
}

bool ServerArchive::connect(ServerError* error) {
    if (isConnected())
        return true;
    if (!QSqlDatabase::isDriverAvailable(QLatin1String(Driver)))
        return Fail(error, Error(ServerError::Reason::NoDriver));
    auto items = ParseConnInfo(connInfo_);
    if (!items) {
        return Fail(error, Error(ServerError::Reason::CannotConnect,
                                 QCoreApplication::translate("velantis::ServerError",
                                                             "not a connection string: %1")
                                     .arg(connInfo_)));
    }
    for (const auto& d : ConnectionDefaults) {
        if (ValueOf(*items, QLatin1String(d.key)).isEmpty())
            items->append({QLatin1String(d.key), QLatin1String(d.value)});
    }
    // The driver replaces every ';' of its options by a space, and quotes only what its own
    // setters take; the password goes through its setter, which quotes it.
    const QString options = JoinConnInfo(*items);
    if (options.contains(u';')) {
        return Fail(error, Error(ServerError::Reason::CannotConnect,
                                 QCoreApplication::translate(
                                     "velantis::ServerError",
                                     "a ';' in the connection string cannot be passed to the "
                                     "driver: %1")
                                     .arg(connInfo_)));
    }
    db_ = QSqlDatabase::contains(connection_)
              ? QSqlDatabase::database(connection_, false)
              : QSqlDatabase::addDatabase(QLatin1String(Driver), connection_);
    db_.setConnectOptions(options);
    db_.setPassword(password_);
    if (!db_.open()) {
        ServerError e = ErrorOf(db_.lastError());
        if (e.reason != ServerError::Reason::PasswordNeeded)
            e.reason = ServerError::Reason::CannotConnect;
        disconnect();
        return Fail(error, e);
    }
    QSqlQuery q(db_);
    // Names are compared as written; the session's own messages stay in English for the log.
    if (!q.exec(QStringLiteral("SELECT max(version) FROM velantis_schema"))) {
        ServerError e = ErrorOf(q.lastError());
        disconnect();
        return Fail(error, e.reason == ServerError::Reason::NoSchema
                               ? Error(ServerError::Reason::NoSchema, e.system)
                               : e);
    }
    const int version = q.next() ? q.value(0).toInt() : 0;
    if (version < 1) {
        disconnect();
        return Fail(error, Error(ServerError::Reason::NoSchema));
    }
    readOnly_ = version > SchemaVersion;
    return true;
}

bool ServerArchive::info(ServerInfo* out, ServerError* error) {
    const Outcome outcome(this, &error);
    if (!connect(error))
        return false;
    QSqlQuery q(db_);
    if (!q.exec(QStringLiteral(
            "SELECT split_part(current_setting('server_version'), ' ', 1),"
            " (SELECT max(version) FROM velantis_schema), current_user::text,"
            " has_table_privilege('tests', 'SELECT'), has_table_privilege('tests', 'INSERT'),"
            " has_any_column_privilege('tests', 'UPDATE'), has_table_privilege('tests', "
            "'DELETE')")) ||
        !q.next())
        return Failed(error, q.lastError());
    out->serverVersion = q.value(0).toString();
    out->schemaVersion = q.value(1).toInt();
    out->user = q.value(2).toString();
    out->canSelect = q.value(3).toBool();
    out->canInsert = q.value(4).toBool();
    out->canUpdate = q.value(5).toBool();
    out->canDelete = q.value(6).toBool();
    out->readOnly = out->schemaVersion > SchemaVersion;
    return true;
}

namespace {

// Undoes the transaction of a statement that failed: its error told. Always false.
bool Abandon(QSqlDatabase& db, const QSqlQuery& q, ServerError* error) {
    const QSqlError e = q.lastError();
    db.rollback();
    return Failed(error, e);
}

} // namespace

bool ServerArchive::writable(ServerError* error) {
    if (!connect(error))
        return false;
    return !readOnly_ || Fail(error, Error(ServerError::Reason::NewerSchema));
}

bool ServerArchive::beginTestWrite(const QString& raw, QString* uuid, ServerError* error) {
    if (!writable(error))
        return false;
    *uuid = UuidText(raw);
    if (uuid->isEmpty())
        return Fail(error, Error(ServerError::Reason::NoSuchTest, raw));
    return db_.transaction() || Failed(error, db_.lastError());
}

bool ServerArchive::push(const TestRecord& record, const QList<ArchivedGroup>& groups,
                         bool* inserted, ServerError* error) {
    const Outcome outcome(this, &error);
    if (inserted)
        *inserted = false;
    QString uuid;
    if (!beginTestWrite(record.uuid, &uuid, error))
        return false;
    QStringList names = {
        QStringLiteral("uuid"),     QStringLiteral("origin_pc"),   QStringLiteral("origin_user"),
        QStringLiteral("started"),  QStringLiteral("ended"),       QStringLiteral("port"),
        QStringLiteral("ending"),   QStringLiteral("announced"),   QStringLiteral("stored"),
        QStringLiteral("download"), QStringLiteral("first_group"), QStringLiteral("last_group"),
        QStringLiteral("version"),  QStringLiteral("superseded")};
    QStringList placeholders = {QStringLiteral("CAST(? AS uuid)"), QStringLiteral("?"),
                                QStringLiteral("?"), QStringLiteral("CAST(? AS timestamptz)"),
                                QStringLiteral("CAST(? AS timestamptz)")};
    while (placeholders.size() < names.size())
        placeholders << QStringLiteral("?");
    const QString version =
        record.version.isEmpty() ? QCoreApplication::applicationVersion() : record.version;
    QVariantList values = {uuid,
                           Text(record.originPc),
                           Text(record.originUser),
                           TimeValue(record.started),
                           TimeValue(record.ended),
                           Text(record.port),
                           EndingName(record.ending),
                           record.announced,
                           record.stored,
                           Text(record.download),
                           record.firstGroup,
                           record.lastGroup,
                           Text(version),
                           record.superseded};
    for (const QString& column : EditColumnNames()) {
        names << column;
        placeholders << EditPlaceholder(column);
    }
    values += EditColumns(record);
    QSqlQuery q(db_);
    const bool testPrepared = q.prepare(
        QStringLiteral("INSERT INTO tests (%1) VALUES (%2) ON CONFLICT (uuid) DO NOTHING")
            .arg(names.join(QStringLiteral(", ")), placeholders.join(QStringLiteral(", "))));
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!testPrepared || !q.exec())
        return Abandon(db_, q, error);
    if (q.numRowsAffected() == 0) {
        // The server has the test already, with its groups.
        q.finish();
        db_.rollback();
        return true;
    }
    q.finish();
    if (!groups.isEmpty()) {
        // One statement for all groups: their numbers as an array, their frames one after
        // another, 20 bytes each.
        QStringList numbers;
        QByteArray frames;
        numbers.reserve(groups.size());
        frames.reserve(groups.size() * MeasurementFrame::Size);
        for (const ArchivedGroup& g : groups) {
            numbers << QString::number(g.group);
            frames += g.frame.toByteArray();
        }
        QSqlQuery g(db_);
        const bool groupsPrepared = g.prepare(
            QStringLiteral("INSERT INTO groups (test, group_no, frame)"
                           " SELECT CAST(? AS uuid), n.no,"
                           " substring(CAST(? AS bytea) FROM CAST(n.i AS integer) * 20 - 19 FOR 20)"
                           " FROM unnest(CAST(? AS integer[])) WITH ORDINALITY AS n(no, i)"));
        g.addBindValue(uuid);
        g.addBindValue(frames);
        g.addBindValue(u'{' + numbers.join(u',') + u'}');
        if (!groupsPrepared || !g.exec())
            return Abandon(db_, g, error);
        g.finish();
    }
    if (!db_.commit())
        return Failed(error, db_.lastError());
    if (inserted)
        *inserted = true;
    return true;
}

bool ServerArchive::updateInfo(const TestRecord& record, bool* applied, ServerError* error) {
    const Outcome outcome(this, &error);
    if (applied)
        *applied = false;
    QString uuid;
    if (!beginTestWrite(record.uuid, &uuid, error))
        return false;
    // Row-level security makes another role's update change nothing without an error: the
    // owner is read first. Two edits at once are kept apart by the revision the update asks for.
    QSqlQuery q(db_);
    const bool ownerPrepared =
        q.prepare(QStringLiteral("SELECT owner::text, owner = current_user FROM tests"
                                 " WHERE uuid = CAST(? AS uuid)"));
    q.addBindValue(uuid);
    if (!ownerPrepared || !q.exec())
        return Abandon(db_, q, error);
    if (!q.next()) {
        q.finish();
        db_.rollback();
        return Fail(error, Error(ServerError::Reason::NoSuchTest, uuid));
    }
    const QString owner = q.value(0).toString();
    const bool own = q.value(1).toBool();
    q.finish();
    if (!own) {
        db_.rollback();
        return Fail(error, Error(ServerError::Reason::NotYourTest, owner));
    }
    QStringList sets;
    for (const QString& column : EditColumnNames())
        sets << column + QStringLiteral(" = ") + EditPlaceholder(column);
    const bool updatePrepared = q.prepare(
        QStringLiteral("UPDATE tests SET %1 WHERE uuid = CAST(? AS uuid) AND revision < ?")
            .arg(sets.join(QStringLiteral(", "))));
    for (const QVariant& v : EditColumns(record) + QVariantList{uuid, record.revision})
        q.addBindValue(v);
    if (!updatePrepared || !q.exec())
        return Abandon(db_, q, error);
    const bool changed = q.numRowsAffected() > 0;
    q.finish();
    if (!db_.commit())
        return Failed(error, db_.lastError());
    if (applied)
        *applied = changed;
    return true;
}

bool ServerArchive::supersede(const QStringList& uuids, ServerError* error) {
    const Outcome outcome(this, &error);
    if (!writable(error))
        return false;
    QStringList ids;
    for (const QString& u : uuids) {
        const QString id = UuidText(u);
        if (id.isEmpty())
            return Fail(error, Error(ServerError::Reason::NoSuchTest, u));
        ids << id;
    }
    if (ids.isEmpty())
        return true;
    const QString array = u'{' + ids.join(u',') + u'}';
    if (!db_.transaction())
        return Failed(error, db_.lastError());
    // A test the server does not have is not there to be marked; one of another role is refused
    // and nothing changes.
    QSqlQuery q(db_);
    const bool ownersPrepared = q.prepare(
        QStringLiteral("SELECT owner::text FROM tests WHERE uuid = ANY (CAST(? AS uuid[]))"
                       " AND owner <> current_user LIMIT 1"));
    q.addBindValue(array);
    if (!ownersPrepared || !q.exec())
        return Abandon(db_, q, error);
    if (q.next()) {
        const QString owner = q.value(0).toString();
        q.finish();
        db_.rollback();
        return Fail(error, Error(ServerError::Reason::NotYourTest, owner));
    }
    q.finish();
    const bool markPrepared =
        q.prepare(QStringLiteral("UPDATE tests SET superseded = true"
                                 " WHERE uuid = ANY (CAST(? AS uuid[])) AND NOT superseded"));
    q.addBindValue(array);
    if (!markPrepared || !q.exec())
        return Abandon(db_, q, error);
    q.finish();
    if (!db_.commit())
        return Failed(error, db_.lastError());
    return true;
}

bool ServerArchive::page(const QString& filter, const std::optional<ServerPageKey>& after,
                         int limit, QList<TestRecord>* tests, ServerError* error) {
    const Outcome outcome(this, &error);
    tests->clear();
    if (!connect(error))
        return false;
    QString where = QStringLiteral("NOT superseded");
    QVariantList values;
    if (after) {
        where += QStringLiteral(" AND (started, uuid) < (CAST(? AS timestamptz), CAST(? AS uuid))");
        values << TimeValue(after->started) << UuidText(after->uuid);
    }
    const QString text = filter.trimmed();
    if (!text.isEmpty()) {
        where += QStringLiteral(" AND (station ILIKE ? OR device ILIKE ? OR serial ILIKE ? OR "
                                "remarks ILIKE ?)");
        const QString pattern = FilterPattern(text);
        values << pattern << pattern << pattern << pattern;
    }
    // Read through the view (see server.sql): the planner then knows how common the text is and
    // takes a common one from the newest tests, a rare one by the trigram index.
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    const bool pagePrepared = q.prepare(
        QStringLiteral("SELECT %1 FROM tests_browse WHERE %2 ORDER BY started DESC, uuid DESC "
                       "LIMIT ?")
            .arg(SelectColumns(), where));
    for (const QVariant& v : values)
        q.addBindValue(v);
    q.addBindValue(std::max(limit, 0));
    if (!pagePrepared || !q.exec())
        return Failed(error, q.lastError());
    while (q.next())
        tests->append(RecordOf(q));
    if (q.lastError().isValid())
        return Failed(error, q.lastError());
    return true;
}

bool ServerArchive::find(const QString& uuidText, TestRecord* test, QList<ArchivedGroup>* groups,
                         ServerError* error) {
    const Outcome outcome(this, &error);
    if (!connect(error))
        return false;
    const QString uuid = UuidText(uuidText);
    if (uuid.isEmpty())
        return Fail(error, Error(ServerError::Reason::NoSuchTest, uuidText));
    // One snapshot for the test and its groups.
    QSqlQuery q(db_);
    if (!q.exec(QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY")))
        return Failed(error, q.lastError());
    auto rollback = [&] { QSqlQuery(db_).exec(QStringLiteral("ROLLBACK")); };
    q.setForwardOnly(true);
    const bool testPrepared =
        q.prepare(QStringLiteral("SELECT %1 FROM tests_browse WHERE uuid = CAST(? AS uuid)")
                      .arg(SelectColumns()));
    q.addBindValue(uuid);
    if (!testPrepared || !q.exec()) {
        const QSqlError e = q.lastError();
        rollback();
        return Failed(error, e);
    }
    if (!q.next()) {
        q.finish();
        rollback();
        return Fail(error, Error(ServerError::Reason::NoSuchTest, uuid));
    }
    if (test)
        *test = RecordOf(q);
    q.finish();
    if (groups) {
        groups->clear();
        const bool groupsPrepared = q.prepare(QStringLiteral(
            "SELECT group_no, frame FROM groups WHERE test = CAST(? AS uuid) ORDER BY group_no"));
        q.addBindValue(uuid);
        if (!groupsPrepared || !q.exec()) {
            const QSqlError e = q.lastError();
            rollback();
            return Failed(error, e);
        }
        while (q.next()) {
            if (const auto frame = MeasurementFrame::fromBlock(q.value(1).toByteArray()))
                groups->append({q.value(0).toInt(), *frame});
        }
        q.finish();
    }
    rollback(); // nothing was written
    return true;
}

QString RememberedServer(const QSettings& settings) {
    return settings.value(QLatin1String(SettingsKey)).toString();
}

void RememberServer(QSettings& settings, const QString& connInfo) {
    // A password typed into the string is never written to the settings file.
    QString kept = connInfo.trimmed();
    if (auto items = ParseConnInfo(kept)) {
        const auto before = items->size();
        items->removeIf([](const ConnInfoItem& i) { return i.key == QLatin1String("password"); });
        if (items->size() != before)
            kept = JoinConnInfo(*items);
    }
    if (kept.isEmpty())
        settings.remove(QLatin1String(SettingsKey));
    else
        settings.setValue(QLatin1String(SettingsKey), kept);
}

} // namespace velantis
