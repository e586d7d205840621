// SPDX-License-Identifier: GPL-3.0-or-later
#include "archive/archive.h"

#include "records/list_test_import.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardPaths>
#include <QSysInfo>
#include <QThread>
#include <QUuid>
#include <QVariant>

#include <algorithm>
#include <atomic>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace velantis {

namespace {

// SQLite's primary result codes that the archive tells apart.
constexpr int SqliteBusy = 5;
constexpr int SqliteLocked = 6;
constexpr int SqliteReadOnly = 8;
constexpr int SqliteCorrupt = 11;
constexpr int SqliteFull = 13;
constexpr int SqliteCantOpen = 14;
constexpr int SqliteNotADb = 26;

ArchiveError ErrorOf(const QSqlError& e) {
    ArchiveError out;
    out.system = e.databaseText().isEmpty() ? e.text() : e.databaseText();
    bool ok = false;
    const int code = e.nativeErrorCode().toInt(&ok) & 0xFF; // extended codes carry it low
    const QString words = out.system.toLower();
    if ((ok && (code == SqliteNotADb || code == SqliteCorrupt)) ||
        words.contains(QLatin1String("not a database")) ||
        words.contains(QLatin1String("malformed")))
        out.reason = ArchiveError::Reason::NotADatabase;
    else if ((ok && code == SqliteFull) || words.contains(QLatin1String("disk is full")))
        out.reason = ArchiveError::Reason::DiskFull;
    else if ((ok && code == SqliteReadOnly) || words.contains(QLatin1String("readonly")))
        out.reason = ArchiveError::Reason::ReadOnly;
    else if ((ok && (code == SqliteBusy || code == SqliteLocked)) ||
             words.contains(QLatin1String("locked")))
        out.reason = ArchiveError::Reason::Locked;
    else if ((ok && code == SqliteCantOpen) || words.contains(QLatin1String("unable to open")))
        out.reason = ArchiveError::Reason::CannotOpen;
    else
        out.reason = ArchiveError::Reason::Other;
    return out;
}

void Set(ArchiveError* error, ArchiveError value) {
    if (error)
        *error = std::move(value);
}

bool Failed(ArchiveError* error, const QSqlError& e) {
    Set(error, ErrorOf(e));
    return false;
}

QString TimeText(const QDateTime& t) {
    return t.toString(Qt::ISODateWithMs);
}
QDateTime TimeOf(const QVariant& v) {
    return QDateTime::fromString(v.toString(), Qt::ISODateWithMs);
}

DownloadEnd EndingOf(const QString& name) {
    return EndingNamed(name).value_or(DownloadEnd::None);
}

// The columns version 2 added, with what a version-1 file reads in their place.
const struct {
    const char* column;
    const char* declaration;
    const char* inVersion1;
} ColumnsV2[] = {
    {"uuid", "TEXT NOT NULL DEFAULT ''", "''"},
    {"organisation", "TEXT NOT NULL DEFAULT ''", "''"},
    {"logo", "BLOB NOT NULL DEFAULT x''", "x''"},
    {"maker", "TEXT NOT NULL DEFAULT ''", "''"},
    {"type", "TEXT NOT NULL DEFAULT ''", "''"},
    {"phase", "TEXT NOT NULL DEFAULT ''", "''"},
    {"core", "TEXT NOT NULL DEFAULT ''", "''"},
    {"rated_burden", "TEXT NOT NULL DEFAULT ''", "''"},
    {"test_burden", "TEXT NOT NULL DEFAULT ''", "''"},
    {"standard", "TEXT NOT NULL DEFAULT ''", "''"},
    {"temperature", "TEXT NOT NULL DEFAULT ''", "''"},
    {"humidity", "TEXT NOT NULL DEFAULT ''", "''"},
    {"set_serial", "TEXT NOT NULL DEFAULT ''", "''"},
    {"set_calibration", "TEXT NOT NULL DEFAULT ''", "''"},
    {"report_prefix", "TEXT NOT NULL DEFAULT ''", "''"},
    {"guard_band", "INTEGER NOT NULL DEFAULT 0", "0"},
};

// The columns a test is read from, in the order RecordOf takes them: the download, the counts,
// the class, dates, logo, guard band and uuid, then every free-text field of the test
// information. A version-1 file (read, never migrated, when it is only read) gives the columns
// it lacks as empty values.
QString TestColumns(int fileVersion) {
    QStringList columns = {QStringLiteral("number"),    QStringLiteral("started"),
                           QStringLiteral("ended"),     QStringLiteral("port"),
                           QStringLiteral("ending"),    QStringLiteral("announced"),
                           QStringLiteral("stored"),    QStringLiteral("class"),
                           QStringLiteral("test_date"), QStringLiteral("pass"),
                           QStringLiteral("fail"),      QStringLiteral("undecided"),
                           QStringLiteral("version"),   QStringLiteral("uuid"),
                           QStringLiteral("logo"),      QStringLiteral("set_calibration"),
                           QStringLiteral("guard_band")};
    for (const TestInfoTextField& f : TestInfoTextFields)
        columns << ColumnOf(f);
    if (fileVersion < 3) {
        // Before version 3 each test was a download of its own holding all its groups.
        columns << QStringLiteral("%1 AS download")
                       .arg(fileVersion < 2 ? QStringLiteral("''") : QStringLiteral("uuid"))
                << QStringLiteral("(SELECT ifnull(min(group_no), 0) FROM groups "
                                  "WHERE groups.test = tests.number) AS first_group")
                << QStringLiteral("(SELECT ifnull(max(group_no), 0) FROM groups "
                                  "WHERE groups.test = tests.number) AS last_group");
    } else {
        columns << QStringLiteral("download") << QStringLiteral("first_group")
                << QStringLiteral("last_group");
    }
    if (fileVersion < 4) {
        // Before version 4 a test had no origin and was never edited as far as the file knows.
        columns << QStringLiteral("'' AS origin_pc") << QStringLiteral("'' AS origin_user")
                << QStringLiteral("1 AS revision") << QStringLiteral("'' AS edited");
    } else {
        columns << QStringLiteral("origin_pc") << QStringLiteral("origin_user")
                << QStringLiteral("revision") << QStringLiteral("edited");
    }
    if (fileVersion < 2) {
        for (const auto& added : ColumnsV2) {
            const QString name = QLatin1String(added.column);
            for (QString& c : columns) {
                if (c == name)
                    c = QStringLiteral("%1 AS %2").arg(QLatin1String(added.inVersion1), name);
            }
        }
    }
    return columns.join(QStringLiteral(", "));
}

TestRecord RecordOf(const QSqlQuery& q) {
    TestRecord r;
    r.number = q.value(0).toLongLong();
    r.started = TimeOf(q.value(1));
    r.ended = TimeOf(q.value(2));
    r.port = q.value(3).toString();
    r.ending = EndingOf(q.value(4).toString());
    r.announced = q.value(5).toInt();
    r.stored = q.value(6).toInt();
    r.info.accuracy = ParseClass(q.value(7).toString()).value_or(AccuracyClass::None);
    r.info.date = QDate::fromString(q.value(8).toString(), Qt::ISODate);
    r.pass = q.value(9).toInt();
    r.fail = q.value(10).toInt();
    r.none = q.value(11).toInt();
    r.version = q.value(12).toString();
    r.uuid = q.value(13).toString();
    r.info.logo = q.value(14).toByteArray();
    r.info.setCalibration = QDate::fromString(q.value(15).toString(), Qt::ISODate);
    r.info.guardBand = q.value(16).toInt();
    int column = 17;
    for (const TestInfoTextField& f : TestInfoTextFields)
        r.info.*f.member = q.value(column++).toString();
    r.download = q.value(column++).toString();
    r.firstGroup = q.value(column++).toInt();
    r.lastGroup = q.value(column++).toInt();
    r.originPc = q.value(column++).toString();
    r.originUser = q.value(column++).toString();
    r.revision = q.value(column++).toInt();
    r.edited = TimeOf(q.value(column));
    return r;
}

// Every text column is NOT NULL: an empty field is kept as an empty text.
QVariant NotNull(const QVariant& v) {
    if (v.typeId() == QMetaType::QString && v.toString().isNull())
        return QVariant(QStringLiteral(""));
    return v;
}

// Whether the tables of a file are the record database's: tests and groups, with the columns
// this program reads.
bool OurTables(QSqlDatabase& db) {
    const struct {
        const char* table;
        QStringList columns;
    } expected[] = {
        {"tests", {QStringLiteral("number"), QStringLiteral("ended"), QStringLiteral("stored")}},
        // Keyed by the test before version 3, by the download since.
        {"groups", {QStringLiteral("group_no"), QStringLiteral("frame")}},
    };
    for (const auto& e : expected) {
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("PRAGMA table_info(%1)").arg(QLatin1String(e.table))))
            return false;
        QStringList found;
        while (q.next())
            found << q.value(1).toString();
        for (const QString& column : e.columns) {
            if (!found.contains(column))
                return false;
        }
    }
    return true;
}

// The program's own journal files of a database it may write: a run that found the database
// read-only may have left them without write permission (SQLite gives them the database's
// mode), which would keep every later write out once the database is writable again.
void MakeJournalsWritable(const QString& path) {
    if (!QFileInfo(path).isWritable())
        return;
    for (const char* part : {"-wal", "-shm"}) {
        const QString journal = path + QLatin1String(part);
        const QFileInfo info(journal);
        if (info.isFile() && !info.isSymLink() && !(info.permissions() & QFileDevice::WriteOwner))
            QFile::setPermissions(journal, info.permissions() | QFileDevice::WriteOwner);
    }
}

QString ClassText(AccuracyClass c) {
    return c == AccuracyClass::None ? QString() : ClassName(c);
}

// The test information's columns and the verdict counts: the names and their values, in the
// same order, for both the insert and the update.
QStringList InfoColumnNames() {
    QStringList names = {QStringLiteral("class"),      QStringLiteral("test_date"),
                         QStringLiteral("logo"),       QStringLiteral("set_calibration"),
                         QStringLiteral("guard_band"), QStringLiteral("pass"),
                         QStringLiteral("fail"),       QStringLiteral("undecided")};
    for (const TestInfoTextField& f : TestInfoTextFields)
        names << ColumnOf(f);
    return names;
}
QVariantList InfoColumns(const TestInfo& i, const TestReport& report) {
    QVariantList values = {ClassText(i.accuracy),
                           i.date.toString(Qt::ISODate),
                           i.logo.isNull() ? QByteArray("") : i.logo,
                           i.setCalibration.toString(Qt::ISODate),
                           i.guardBand,
                           report.pass,
                           report.fail,
                           report.none};
    for (const TestInfoTextField& f : TestInfoTextFields)
        values << i.*f.member;
    return values;
}

// Version 1: the tests and their groups. AUTOINCREMENT keeps a deleted test's number unused.
const char* const SchemaV1[] = {
    "CREATE TABLE tests ("
    " number INTEGER PRIMARY KEY AUTOINCREMENT,"
    " started TEXT NOT NULL, ended TEXT NOT NULL, port TEXT NOT NULL, ending TEXT NOT NULL,"
    " announced INTEGER NOT NULL, stored INTEGER NOT NULL,"
    " station TEXT NOT NULL, device TEXT NOT NULL, serial TEXT NOT NULL,"
    " rated_ratio TEXT NOT NULL, class TEXT NOT NULL, tester TEXT NOT NULL,"
    " reviewer TEXT NOT NULL, test_date TEXT NOT NULL, remarks TEXT NOT NULL,"
    " pass INTEGER NOT NULL, fail INTEGER NOT NULL, undecided INTEGER NOT NULL,"
    " version TEXT NOT NULL)",
    "CREATE TABLE groups ("
    " test INTEGER NOT NULL REFERENCES tests(number) ON DELETE CASCADE,"
    " group_no INTEGER NOT NULL CHECK (group_no BETWEEN 0 AND 4000),"
    " frame BLOB NOT NULL CHECK (length(frame) = 20),"
    " PRIMARY KEY (test, group_no)) WITHOUT ROWID",
    "CREATE INDEX tests_by_end ON tests(ended)",
    "PRAGMA user_version = 1",
};

// Version 1 to 2: the nameplate, the conditions, the test set, the organisation and its logo,
// the report prefix and the guard band of each test, and its identity (a UUID) that every copy
// of the test keeps. Tests kept before get empty fields and a UUID of their own.
bool MigrateToV2(QSqlDatabase& db, ArchiveError* error) {
    QSqlQuery q(db);
    for (const auto& added : ColumnsV2) {
        if (!q.exec(QStringLiteral("ALTER TABLE tests ADD COLUMN %1 %2")
                        .arg(QLatin1String(added.column), QLatin1String(added.declaration))))
            return Failed(error, q.lastError());
    }
    QList<qint64> numbers;
    if (!q.exec(QStringLiteral("SELECT number FROM tests WHERE uuid = ''")))
        return Failed(error, q.lastError());
    while (q.next())
        numbers << q.value(0).toLongLong();
    q.finish();
    q.prepare(QStringLiteral("UPDATE tests SET uuid = ? WHERE number = ?"));
    for (const qint64 number : numbers) {
        q.addBindValue(QUuid::createUuid().toString(QUuid::WithoutBraces));
        q.addBindValue(number);
        if (!q.exec())
            return Failed(error, q.lastError());
    }
    if (!q.exec(QStringLiteral("CREATE UNIQUE INDEX tests_by_uuid ON tests(uuid)")) ||
        !q.exec(QStringLiteral("PRAGMA user_version = 2")))
        return Failed(error, q.lastError());
    return true;
}

// Version 2 to 3: the groups kept once per download, keyed by the download's id, and each test
// naming its download and its range of groups. Each test kept before becomes a download of its
// own (its uuid) with its one range; the frames are copied as they are.
bool MigrateToV3(QSqlDatabase& db, ArchiveError* error) {
    QSqlQuery q(db);
    for (const char* sql : {
             "ALTER TABLE tests ADD COLUMN download TEXT NOT NULL DEFAULT ''",
             "ALTER TABLE tests ADD COLUMN first_group INTEGER NOT NULL DEFAULT 0",
             "ALTER TABLE tests ADD COLUMN last_group INTEGER NOT NULL DEFAULT 0",
             "UPDATE tests SET download = uuid,"
             " first_group = (SELECT ifnull(min(group_no), 0) FROM groups WHERE test = number),"
             " last_group = (SELECT ifnull(max(group_no), 0) FROM groups WHERE test = number)",
             "CREATE TABLE download_groups ("
             " download TEXT NOT NULL,"
             " group_no INTEGER NOT NULL CHECK (group_no BETWEEN 0 AND 4000),"
             " frame BLOB NOT NULL CHECK (length(frame) = 20),"
             " PRIMARY KEY (download, group_no)) WITHOUT ROWID",
             "INSERT INTO download_groups (download, group_no, frame)"
             " SELECT tests.download, groups.group_no, groups.frame"
             " FROM groups JOIN tests ON tests.number = groups.test",
             "DROP TABLE groups",
             "ALTER TABLE download_groups RENAME TO groups",
             "CREATE INDEX tests_by_download ON tests(download)",
             "PRAGMA user_version = 3",
         }) {
        if (!q.exec(QString::fromLatin1(sql)))
            return Failed(error, q.lastError());
    }
    return true;
}

// Version 3 to 4: where each test was made (this PC and user for the tests kept before), the
// revision of its information and when it was last edited, what the department's server has of
// it (the revision last sent, 0: never; the revision the server refused as another's test), and
// the uuids the server is to mark as replaced by a split or merge.
bool MigrateToV4(QSqlDatabase& db, ArchiveError* error) {
    QSqlQuery q(db);
    for (const char* sql : {
             "ALTER TABLE tests ADD COLUMN origin_pc TEXT NOT NULL DEFAULT ''",
             "ALTER TABLE tests ADD COLUMN origin_user TEXT NOT NULL DEFAULT ''",
             "ALTER TABLE tests ADD COLUMN revision INTEGER NOT NULL DEFAULT 1",
             "ALTER TABLE tests ADD COLUMN edited TEXT NOT NULL DEFAULT ''",
             "ALTER TABLE tests ADD COLUMN sent_revision INTEGER NOT NULL DEFAULT 0",
             "ALTER TABLE tests ADD COLUMN refused_revision INTEGER NOT NULL DEFAULT 0",
             "CREATE TABLE supersede_queue (uuid TEXT PRIMARY KEY) WITHOUT ROWID",
         }) {
        if (!q.exec(QString::fromLatin1(sql)))
            return Failed(error, q.lastError());
    }
    q.prepare(QStringLiteral("UPDATE tests SET origin_pc = ?, origin_user = ?"));
    q.addBindValue(NotNull(ThisPc()));
    q.addBindValue(NotNull(ThisUser()));
    if (!q.exec() || !q.exec(QStringLiteral("PRAGMA user_version = 4")))
        return Failed(error, q.lastError());
    return true;
}

// The tests the server still lacks: never sent, or edited since they were sent, unless the
// server refused that very revision.
const char* const WaitingCondition = "revision > sent_revision AND revision > refused_revision";

QString NewUuid() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

ArchiveError Refusal(const QString& why) {
    return {ArchiveError::Reason::Refused, why};
}

} // namespace

QString ArchiveError::text() const {
    switch (reason) {
    case Reason::None:
        return QString();
    case Reason::NotADatabase:
        return QCoreApplication::translate("velantis::ArchiveError", "not a record database (%1)")
            .arg(system);
    case Reason::NoDatabase:
        return QCoreApplication::translate("velantis::ArchiveError", "no record database at %1")
            .arg(system);
    case Reason::Foreign:
        return QCoreApplication::translate("velantis::ArchiveError",
                                           "a database of another program (tables: %1), not "
                                           "a record database; left as it is")
            .arg(system);
    case Reason::NewerVersion:
        return QCoreApplication::translate(
            "velantis::ArchiveError",
            "written by a later version of the program; opened read only");
    case Reason::ReadOnly:
        return QCoreApplication::translate("velantis::ArchiveError", "read-only (%1)").arg(system);
    case Reason::DiskFull:
        return QCoreApplication::translate("velantis::ArchiveError",
                                           "no space left on the device (%1)")
            .arg(system);
    case Reason::Locked:
        return QCoreApplication::translate("velantis::ArchiveError",
                                           "locked by another program (%1)")
            .arg(system);
    case Reason::CannotOpen:
        return QCoreApplication::translate("velantis::ArchiveError", "cannot be opened (%1)")
            .arg(system);
    case Reason::NoSuchTest:
        return QCoreApplication::translate("velantis::ArchiveError", "no such test");
    case Reason::AlreadyKept:
        return QCoreApplication::translate("velantis::ArchiveError",
                                           "the same test is kept already as test %1")
            .arg(system);
    case Reason::Refused:
        return system;
    case Reason::Other:
        break;
    }
    return QCoreApplication::translate("velantis::ArchiveError", "database error (%1)").arg(system);
}

bool MatchesFilter(const TestRecord& r, const QString& filter) {
    const QString f = filter.trimmed();
    if (f.isEmpty())
        return true;
    for (const QString* field :
         {&r.info.station, &r.info.device, &r.info.serial, &r.info.remarks}) {
        if (field->contains(f, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

QString EndingName(DownloadEnd how) {
    switch (how) {
    case DownloadEnd::EndFrame:
        return QStringLiteral("complete");
    case DownloadEnd::Incomplete:
        return QStringLiteral("incomplete");
    case DownloadEnd::Watchdog:
        return QStringLiteral("watchdog");
    case DownloadEnd::LinkLost:
        return QStringLiteral("link-lost");
    case DownloadEnd::StoreFull:
        return QStringLiteral("store-full");
    case DownloadEnd::Interrupted:
        return QStringLiteral("interrupted");
    case DownloadEnd::None:
    case DownloadEnd::Running:
        break;
    }
    return QStringLiteral("unknown");
}

std::optional<DownloadEnd> EndingNamed(const QString& name) {
    for (DownloadEnd how :
         {DownloadEnd::EndFrame, DownloadEnd::Incomplete, DownloadEnd::Watchdog,
          DownloadEnd::LinkLost, DownloadEnd::StoreFull, DownloadEnd::Interrupted}) {
        if (EndingName(how) == name)
            return how;
    }
    return std::nullopt;
}

QString ColumnOf(const TestInfoTextField& field) {
    return QString::fromLatin1(field.key).replace(u'-', u'_');
}

QString ThisPc() {
    const QByteArray id = QSysInfo::machineUniqueId();
    if (id.isEmpty())
        return QSysInfo::machineHostName();
    // Linux gives its machine id as hex text already, Windows a GUID's text.
    static const QRegularExpression text(QStringLiteral("^[0-9A-Fa-f-]+$"));
    const QString asText = QString::fromLatin1(id);
    return text.match(asText).hasMatch() ? asText : QString::fromLatin1(id.toHex());
}

QString ThisUser() {
    for (const char* name : {"USER", "USERNAME", "LOGNAME"}) {
        const QString user = qEnvironmentVariable(name);
        if (!user.isEmpty())
            return user;
    }
    return {};
}

QString Archive::DefaultPath() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("velantis/records.sqlite"));
}

Archive::Archive(const QString& path, int busyTimeoutMs)
    : path_(path), busyTimeoutMs_(busyTimeoutMs) {
    static std::atomic<int> counter{0};
    connection_ = QStringLiteral("velantis-archive-%1").arg(++counter);
}

Archive::~Archive() {
    closeFile();
    QSqlDatabase::removeDatabase(connection_);
}

void Archive::closeFile() {
    if (db_.isValid())
        db_.close();
    db_ = QSqlDatabase();
    open_ = false;
    writeOpen_ = false;
    empty_ = false;
}

Archive::FileId Archive::IdOf(const QString& path) {
#ifdef Q_OS_UNIX
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return {true, static_cast<quint64>(st.st_dev), static_cast<quint64>(st.st_ino)};
#else
    // An open file cannot be deleted here; one moved away leaves nothing at the path.
    return {QFileInfo::exists(path), 0, 0};
#endif
}

bool Archive::letGoOfMovedFile() {
    if (!open_ || IdOf(path_) == openId_)
        return false;
    // Closed before anything opens the path again: the old connection's last checkpoint and
    // clean-up touch only its own files.
    closeFile();
    movedAway_ = true;
    return true;
}

QString Archive::takeNotice() {
    return std::exchange(notice_, QString());
}

bool Archive::exec(const QString& sql, ArchiveError* error) {
    QSqlQuery q(db_);
    if (!q.exec(sql))
        return Failed(error, q.lastError());
    return true;
}

bool Archive::open(ArchiveError* error) {
    return ensureOpen(Access::Read, error);
}

bool Archive::ensureOpen(Access access, ArchiveError* error) {
    letGoOfMovedFile();
    if (open_ && (access == Access::Read || writeOpen_))
        return true;
    if (access == Access::Read)
        return openFile(Access::Read, error);
    const bool existed = QFileInfo::exists(path_);
    // Only the first write-opening puts a damaged file aside: later failures are the system's.
    const bool first = !asideTried_;
    asideTried_ = true;
    ArchiveError why;
    bool opened = openFile(Access::Write, &why);
    if (!opened && first && why.reason == ArchiveError::Reason::NotADatabase)
        opened = renameAside(why.system, error) && openFile(Access::Write, error);
    else if (!opened)
        Set(error, why);
    if (opened && movedAway_) {
        movedAway_ = false;
        const QString moved =
            existed ? QCoreApplication::translate(
                          "velantis::Archive",
                          "the record database %1 was moved or replaced while the program ran; "
                          "the file now at that path is used")
                    : QCoreApplication::translate(
                          "velantis::Archive",
                          "the record database %1 was moved or deleted while the program ran; a "
                          "new one was started there");
        notice_ = moved.arg(QDir::toNativeSeparators(path_)) +
                  (notice_.isEmpty() ? QString() : QLatin1Char('\n') + notice_);
    }
    return opened;
}

bool Archive::renameAside(const QString& reason, ArchiveError* error) {
    closeFile();
    const QFileInfo info(path_);
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = info.dir().filePath(
        QStringLiteral("%1.damaged-%2.%3").arg(info.completeBaseName(), stamp, info.suffix()));
    for (int n = 2; QFileInfo::exists(aside); ++n)
        aside = info.dir().filePath(QStringLiteral("%1.damaged-%2-%3.%4")
                                        .arg(info.completeBaseName(), stamp)
                                        .arg(n)
                                        .arg(info.suffix()));
    QFile file(path_);
    if (!file.rename(aside)) {
        Set(error,
            {ArchiveError::Reason::NotADatabase,
             QCoreApplication::translate("velantis::Archive", "%1; renaming it to %2 failed: %3")
                 .arg(reason, QDir::toNativeSeparators(aside), file.errorString())});
        return false;
    }
    // The old file's journal belongs to it, never to the new one.
    for (const char* part : {"-wal", "-shm", "-journal"}) {
        const QString from = path_ + QLatin1String(part);
        if (QFileInfo::exists(from))
            QFile::rename(from, aside + QLatin1String(part));
    }
    asideName_ = aside;
    notice_ = QCoreApplication::translate(
                  "velantis::Archive",
                  "%1 was not a readable record database (%2); it was renamed to %3 and a new one "
                  "started")
                  .arg(QDir::toNativeSeparators(path_), reason, QDir::toNativeSeparators(aside));
    return true;
}

bool Archive::openFile(Access access, ArchiveError* error) {
    closeFile();
    const QString folder = QFileInfo(path_).absolutePath();
    if (access == Access::Read) {
        if (!QFileInfo::exists(path_)) {
            Set(error, {ArchiveError::Reason::NoDatabase, QDir::toNativeSeparators(path_)});
            return false;
        }
    } else {
        if (!QDir().mkpath(folder)) {
            Set(error,
                {ArchiveError::Reason::CannotOpen,
                 QCoreApplication::translate("velantis::ArchiveError", "cannot make the folder %1")
                     .arg(QDir::toNativeSeparators(folder))});
            return false;
        }
        MakeJournalsWritable(path_);
    }
    db_ = QSqlDatabase::contains(connection_)
              ? QSqlDatabase::database(connection_, false)
              : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    if (!db_.isValid()) {
        Set(error, {ArchiveError::Reason::Other,
                    QCoreApplication::translate("velantis::Archive",
                                                "Qt's SQLite driver (QSQLITE) is not installed")});
        return false;
    }
    db_.setDatabaseName(path_);
    QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs_);
    if (access == Access::Read)
        options += QStringLiteral(";QSQLITE_OPEN_READONLY");
    db_.setConnectOptions(options);
    if (!db_.open()) {
        const QSqlError e = db_.lastError();
        closeFile();
        return Failed(error, e);
    }
    readOnly_ = false;
    if (!prepareSchema(access, error)) {
        closeFile();
        return false;
    }
    openId_ = IdOf(path_);
    open_ = true;
    writeOpen_ = access == Access::Write;
    return true;
}

bool Archive::readKind(bool* fresh, ArchiveError* error) {
    QSqlQuery q(db_);
    // The first statement reads the file: a file that is no database fails here.
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next())
        return Failed(error, q.lastError());
    fileVersion_ = q.value(0).toInt();
    q.finish();
    if (!quickChecked_) {
        if (!q.exec(QStringLiteral("PRAGMA quick_check")) || !q.next())
            return Failed(error, q.lastError());
        const QString verdict = q.value(0).toString();
        q.finish();
        if (verdict != QLatin1String("ok")) {
            Set(error, {ArchiveError::Reason::NotADatabase,
                        QStringLiteral("quick_check: %1").arg(verdict)});
            return false;
        }
        quickChecked_ = true;
    }
    // Another program's database is told before anything of it is touched.
    if (!q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' "
                               "AND name NOT LIKE 'sqlite_%' ORDER BY name")))
        return Failed(error, q.lastError());
    QStringList tables;
    while (q.next())
        tables << q.value(0).toString();
    q.finish();
    *fresh = fileVersion_ == 0 && tables.isEmpty();
    if (!*fresh && (fileVersion_ == 0 || !OurTables(db_))) {
        Set(error, {ArchiveError::Reason::Foreign,
                    tables.isEmpty() ? QStringLiteral("-") : tables.join(QStringLiteral(", "))});
        return false;
    }
    return true;
}

bool Archive::prepareSchema(Access access, ArchiveError* error) {
    // The version and the tables are read in one read transaction: another program making the
    // file at this moment is seen before or after its schema, never with its tables but not yet
    // its version (which would look like another program's database).
    if (!exec(QStringLiteral("BEGIN"), error))
        return false;
    bool fresh = false;
    const bool known = readKind(&fresh, error);
    rollback(); // nothing was written
    if (!known)
        return false;
    QSqlQuery q(db_);
    if (!exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(busyTimeoutMs_), error) ||
        !exec(QStringLiteral("PRAGMA foreign_keys = ON"), error))
        return false;
    if (fileVersion_ > SchemaVersion) {
        // A later program's file: read here, never written, so nothing of it is spoilt.
        readOnly_ = true;
        notice_ = QCoreApplication::translate(
                      "velantis::Archive",
                      "%1 was written by a later version of the program (schema %2, this one "
                      "knows %3): it is opened read only and new tests are not archived")
                      .arg(QDir::toNativeSeparators(path_))
                      .arg(fileVersion_)
                      .arg(SchemaVersion);
        return access == Access::Read || exec(QStringLiteral("PRAGMA query_only = ON"), error);
    }
    if (access == Access::Read) {
        empty_ = fresh;
        return true;
    }
    // Switching a new file to the write-ahead journal takes the file for a moment without
    // SQLite's busy handler: another program opening the same new file at that moment makes
    // the switch fail at once with "database is locked". Tried again within the busy timeout.
    QDeadlineTimer deadline(busyTimeoutMs_);
    while (!q.exec(QStringLiteral("PRAGMA journal_mode = WAL"))) {
        if (ErrorOf(q.lastError()).reason != ArchiveError::Reason::Locked || deadline.hasExpired())
            return Failed(error, q.lastError());
        q.finish();
        QThread::msleep(10);
    }
    q.finish();
    if (!exec(QStringLiteral("PRAGMA synchronous = FULL"), error))
        return false;
    if (fileVersion_ == SchemaVersion)
        return true;
    // A new (or 0-byte) file; another program may be making it at the same moment.
    if (!begin(error))
        return false;
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next()) {
        return abandon(q, error);
    }
    fileVersion_ = q.value(0).toInt();
    q.finish();
    if (fileVersion_ == 0) {
        for (const char* sql : SchemaV1) {
            if (!exec(QString::fromLatin1(sql), error)) {
                rollback();
                return false;
            }
        }
        fileVersion_ = 1;
    }
    // Each migration step from the version before, in the same transaction: a file is either
    // migrated whole or left as it was.
    if (fileVersion_ == 1) {
        if (!MigrateToV2(db_, error)) {
            rollback();
            fileVersion_ = 1;
            return false;
        }
        fileVersion_ = 2;
    }
    if (fileVersion_ == 2) {
        if (!MigrateToV3(db_, error)) {
            rollback();
            fileVersion_ = 2;
            return false;
        }
        fileVersion_ = 3;
    }
    if (fileVersion_ == 3) {
        if (!MigrateToV4(db_, error)) {
            rollback();
            fileVersion_ = 3;
            return false;
        }
        fileVersion_ = 4;
    }
    return commit(error);
}

bool Archive::begin(ArchiveError* error) {
    // Qt's transaction() is a deferred BEGIN, which fails at once when two programs write:
    // IMMEDIATE takes the write lock now, waiting up to the busy timeout.
    return exec(QStringLiteral("BEGIN IMMEDIATE"), error);
}

bool Archive::commit(ArchiveError* error) {
    if (exec(QStringLiteral("COMMIT"), error))
        return true;
    rollback();
    return false;
}

bool Archive::abandon(QSqlQuery& q, ArchiveError* error) {
    const QSqlError e = q.lastError();
    q.finish();
    rollback();
    return Failed(error, e);
}

void Archive::rollback() {
    QSqlQuery q(db_);
    q.exec(QStringLiteral("ROLLBACK"));
}

bool Archive::writable(bool create, ArchiveError* error) {
    if (!create && !QFileInfo::exists(path_)) {
        letGoOfMovedFile();
        Set(error, {ArchiveError::Reason::NoDatabase, QDir::toNativeSeparators(path_)});
        return false;
    }
    if (!ensureOpen(Access::Write, error))
        return false;
    if (readOnly_) {
        Set(error, {ArchiveError::Reason::NewerVersion,
                    QCoreApplication::translate("velantis::ArchiveError", "schema version %1")
                        .arg(fileVersion_)});
        return false;
    }
    return true;
}

std::optional<qint64> Archive::add(const TestRecord& record, const RecordStore& store,
                                   ArchiveError* error) {
    if (!writable(true, error))
        return std::nullopt;
    const TestReport report = MakeTestReport(store, record.info, {});
    if (!begin(error))
        return std::nullopt;
    {
        const QString uuid = record.uuid.isEmpty()
                                 ? QUuid::createUuid().toString(QUuid::WithoutBraces)
                                 : record.uuid;
        QSqlQuery q(db_);
        // A test keeps its identity in every copy: one already here is not kept twice.
        q.prepare(QStringLiteral("SELECT number FROM tests WHERE uuid = ?"));
        q.addBindValue(uuid);
        if (!q.exec()) {
            abandon(q, error);
            return std::nullopt;
        }
        if (q.next()) {
            const qint64 existing = q.value(0).toLongLong();
            q.finish();
            rollback();
            Set(error, {ArchiveError::Reason::AlreadyKept, QString::number(existing)});
            return std::nullopt;
        }
        q.finish();
        // The download's id: the test's uuid, unless a download of that id is kept already.
        QString download = uuid;
        q.prepare(QStringLiteral("SELECT 1 FROM tests WHERE download = ?"));
        q.addBindValue(download);
        if (!q.exec()) {
            abandon(q, error);
            return std::nullopt;
        }
        if (q.next())
            download = QUuid::createUuid().toString(QUuid::WithoutBraces);
        q.finish();
        TestRecord kept = record;
        kept.uuid = uuid;
        kept.download = download;
        if (kept.originPc.isEmpty())
            kept.originPc = ThisPc();
        if (kept.originUser.isEmpty())
            kept.originUser = ThisUser();
        kept.revision = std::max(kept.revision, 1);
        const QList<ArchivedGroup> groups = ArchivedGroups(store);
        kept.firstGroup = groups.isEmpty() ? 0 : groups.first().group;
        kept.lastGroup = groups.isEmpty() ? 0 : groups.last().group;
        const auto number = insertTest(kept, report, groups.size(), error);
        if (!number)
            return std::nullopt;
        QVariantList downloads, numbers, frames;
        for (const ArchivedGroup& group : groups) {
            downloads << download;
            numbers << group.group;
            frames << group.frame.toByteArray();
        }
        if (!frames.isEmpty()) {
            QSqlQuery g(db_);
            g.prepare(
                QStringLiteral("INSERT INTO groups (download, group_no, frame) VALUES (?,?,?)"));
            g.addBindValue(downloads);
            g.addBindValue(numbers);
            g.addBindValue(frames);
            if (!g.execBatch()) {
                abandon(g, error);
                return std::nullopt;
            }
        }
        if (!commit(error))
            return std::nullopt;
        return number;
    }
}

std::optional<qint64> Archive::insertTest(const TestRecord& record, const TestReport& report,
                                          int stored, ArchiveError* error) {
    const QStringList names =
        QStringList{QStringLiteral("started"),     QStringLiteral("ended"),
                    QStringLiteral("port"),        QStringLiteral("ending"),
                    QStringLiteral("announced"),   QStringLiteral("stored"),
                    QStringLiteral("uuid"),        QStringLiteral("download"),
                    QStringLiteral("first_group"), QStringLiteral("last_group"),
                    QStringLiteral("origin_pc"),   QStringLiteral("origin_user"),
                    QStringLiteral("revision"),    QStringLiteral("edited")} +
        InfoColumnNames() + QStringList{QStringLiteral("version")};
    QSqlQuery q(db_);
    q.prepare(QStringLiteral("INSERT INTO tests (%1) VALUES (%2)")
                  .arg(names.join(QStringLiteral(", ")),
                       QStringList(names.size(), QStringLiteral("?")).join(QLatin1Char(','))));
    const QString version =
        record.version.isEmpty() ? QCoreApplication::applicationVersion() : record.version;
    for (const QVariant& v :
         QVariantList{TimeText(record.started), TimeText(record.ended), record.port,
                      EndingName(record.ending), record.announced, stored, record.uuid,
                      record.download, record.firstGroup, record.lastGroup, record.originPc,
                      record.originUser, record.revision,
                      record.edited.isValid() ? TimeText(record.edited) : QString()} +
             InfoColumns(record.info, report) + QVariantList{version})
        q.addBindValue(NotNull(v));
    if (!q.exec()) {
        abandon(q, error);
        return std::nullopt;
    }
    return q.lastInsertId().toLongLong();
}

bool Archive::list(QList<TestRecord>* tests, ArchiveError* error) {
    if (!open(error))
        return false;
    tests->clear();
    if (empty_)
        return true;
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT %1 FROM tests ORDER BY number DESC")
                    .arg(TestColumns(fileVersion_))))
        return Failed(error, q.lastError());
    while (q.next())
        tests->append(RecordOf(q));
    if (q.lastError().isValid())
        return Failed(error, q.lastError());
    return true;
}

bool Archive::find(qint64 number, TestRecord* test, QList<ArchivedGroup>* groups,
                   ArchiveError* error) {
    if (!open(error))
        return false;
    if (empty_) {
        Set(error,
            {ArchiveError::Reason::NoSuchTest,
             QCoreApplication::translate("velantis::ArchiveError", "no test %1").arg(number)});
        return false;
    }
    // One read transaction, so the groups belong to the very test row read.
    if (!exec(QStringLiteral("BEGIN"), error))
        return false;
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    q.prepare(
        QStringLiteral("SELECT %1 FROM tests WHERE number = ?").arg(TestColumns(fileVersion_)));
    q.addBindValue(number);
    if (!q.exec()) {
        return abandon(q, error);
    }
    if (!q.next()) {
        q.finish();
        rollback();
        Set(error,
            {ArchiveError::Reason::NoSuchTest,
             QCoreApplication::translate("velantis::ArchiveError", "no test %1").arg(number)});
        return false;
    }
    if (test)
        *test = RecordOf(q);
    q.finish();
    if (groups) {
        groups->clear();
        if (fileVersion_ < 3) {
            q.prepare(QStringLiteral("SELECT group_no, frame FROM groups WHERE test = ? "
                                     "ORDER BY group_no"));
        } else {
            // The test's range of its download's groups.
            q.prepare(
                QStringLiteral("SELECT groups.group_no, groups.frame FROM groups JOIN tests"
                               " ON groups.download = tests.download WHERE tests.number = ?"
                               " AND groups.group_no BETWEEN tests.first_group AND tests.last_group"
                               " ORDER BY groups.group_no"));
        }
        q.addBindValue(number);
        if (!q.exec()) {
            return abandon(q, error);
        }
        while (q.next()) {
            const auto frame = MeasurementFrame::fromBlock(q.value(1).toByteArray());
            if (frame)
                groups->append({q.value(0).toInt(), *frame});
        }
        q.finish();
    }
    rollback(); // nothing was written
    return true;
}

bool Archive::remove(qint64 number, ArchiveError* error) {
    if (!writable(false, error) || !begin(error))
        return false;
    QSqlQuery q(db_);
    q.prepare(QStringLiteral("DELETE FROM tests WHERE number = ?"));
    q.addBindValue(number);
    if (!q.exec()) {
        return abandon(q, error);
    }
    const int removed = q.numRowsAffected();
    q.finish();
    if (removed == 0) {
        rollback();
        Set(error,
            {ArchiveError::Reason::NoSuchTest,
             QCoreApplication::translate("velantis::ArchiveError", "no test %1").arg(number)});
        return false;
    }
    // The frames no test's range takes in any longer go with it; those of the download's other
    // tests stay.
    if (!q.exec(QStringLiteral(
            "DELETE FROM groups WHERE NOT EXISTS (SELECT 1 FROM tests WHERE tests.download ="
            " groups.download AND groups.group_no BETWEEN tests.first_group AND"
            " tests.last_group)")))
        return abandon(q, error);
    q.finish();
    return commit(error);
}

bool Archive::updateInfo(qint64 number, const TestInfo& info, ArchiveError* error) {
    QList<ArchivedGroup> groups;
    if (!writable(false, error) || !find(number, nullptr, &groups, error))
        return false;
    RecordStore store;
    FillStore(groups, &store);
    const TestReport report = MakeTestReport(store, info, {});
    if (!begin(error))
        return false;
    QSqlQuery q(db_);
    q.prepare(QStringLiteral("UPDATE tests SET %1 = ?, revision = revision + 1, edited = ? "
                             "WHERE number = ?")
                  .arg(InfoColumnNames().join(QStringLiteral(" = ?, "))));
    for (const QVariant& v :
         InfoColumns(info, report) + QVariantList{TimeText(QDateTime::currentDateTime()), number})
        q.addBindValue(NotNull(v));
    if (!q.exec()) {
        return abandon(q, error);
    }
    q.finish();
    return commit(error);
}

bool Archive::rewriteTest(qint64 number, const TestInfo& info, int first, int last,
                          ArchiveError* error) {
    QSqlQuery q(db_);
    q.prepare(QStringLiteral("SELECT groups.group_no, groups.frame FROM groups JOIN tests"
                             " ON groups.download = tests.download WHERE tests.number = ?"
                             " AND groups.group_no BETWEEN ? AND ?"));
    q.addBindValue(number);
    q.addBindValue(first);
    q.addBindValue(last);
    if (!q.exec())
        return abandon(q, error);
    RecordStore store;
    int stored = 0;
    while (q.next()) {
        const auto slot = SlotIndex::make(q.value(0).toInt());
        const auto frame = MeasurementFrame::fromBlock(q.value(1).toByteArray());
        if (slot && frame) {
            store.store(*slot, *frame);
            ++stored;
        }
    }
    q.finish();
    const TestReport report = MakeTestReport(store, info, {});
    q.prepare(QStringLiteral("UPDATE tests SET %1 = ?, first_group = ?, last_group = ?, "
                             "stored = ? WHERE number = ?")
                  .arg(InfoColumnNames().join(QStringLiteral(" = ?, "))));
    for (const QVariant& v : InfoColumns(info, report) + QVariantList{first, last, stored, number})
        q.addBindValue(NotNull(v));
    if (!q.exec())
        return abandon(q, error);
    q.finish();
    return true;
}

std::optional<QList<qint64>> Archive::split(qint64 number, const QList<int>& cuts,
                                            ArchiveError* error) {
    return split(number, cuts, {}, error);
}

std::optional<QList<qint64>> Archive::split(qint64 number, const QList<int>& cuts,
                                            const QList<TestInfo>& infos, ArchiveError* error) {
    TestRecord test;
    QList<ArchivedGroup> groups;
    if (!writable(false, error) || !find(number, &test, &groups, error))
        return std::nullopt;
    QList<int> starts = {test.firstGroup};
    QList<int> sorted = cuts;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    for (const int cut : sorted) {
        if (cut <= test.firstGroup || cut > test.lastGroup) {
            Set(error, Refusal(QCoreApplication::translate(
                                   "velantis::ArchiveError",
                                   "group %1 does not lie inside test %2's groups %3-%4")
                                   .arg(cut)
                                   .arg(number)
                                   .arg(test.firstGroup)
                                   .arg(test.lastGroup)));
            return std::nullopt;
        }
        starts << cut;
    }
    if (!infos.isEmpty() && infos.size() != starts.size()) {
        Set(error, Refusal(QCoreApplication::translate("velantis::ArchiveError",
                                                       "%1 parts but test information for %2")
                               .arg(starts.size())
                               .arg(infos.size())));
        return std::nullopt;
    }
    struct Part {
        int first;
        int last;
        RecordStore store;
        int stored = 0;
    };
    QList<Part> parts;
    for (qsizetype i = 0; i < starts.size(); ++i) {
        Part part{starts[i], i + 1 < starts.size() ? starts[i + 1] - 1 : test.lastGroup, {}};
        for (const ArchivedGroup& g : groups) {
            if (g.group >= part.first && g.group <= part.last) {
                part.store.store(*SlotIndex::make(g.group), g.frame);
                ++part.stored;
            }
        }
        if (part.stored == 0) {
            Set(error, Refusal(QCoreApplication::translate(
                                   "velantis::ArchiveError",
                                   "the part from group %1 to %2 would hold no group")
                                   .arg(part.first)
                                   .arg(part.last)));
            return std::nullopt;
        }
        parts.append(part);
    }
    if (!begin(error))
        return std::nullopt;
    QList<qint64> numbers = {number};
    if (!renewIfSent(number, {number}, error) ||
        !rewriteTest(number, infos.isEmpty() ? test.info : infos[0], parts[0].first, parts[0].last,
                     error))
        return std::nullopt;
    for (qsizetype i = 1; i < parts.size(); ++i) {
        TestRecord part = test;
        if (!infos.isEmpty())
            part.info = infos[i];
        part.uuid = NewUuid();
        part.firstGroup = parts[i].first;
        part.lastGroup = parts[i].last;
        const auto added =
            insertTest(part, MakeTestReport(parts[i].store, part.info, {}), parts[i].stored, error);
        if (!added)
            return std::nullopt;
        numbers << *added;
    }
    if (!commit(error))
        return std::nullopt;
    return numbers;
}

std::optional<qint64> Archive::merge(const QList<qint64>& numbers, ArchiveError* error) {
    if (!writable(false, error))
        return std::nullopt;
    QList<TestRecord> tests;
    for (const qint64 n : numbers) {
        TestRecord test;
        if (!find(n, &test, nullptr, error))
            return std::nullopt;
        if (!tests.isEmpty() && test.download != tests.first().download) {
            Set(error,
                Refusal(QCoreApplication::translate("velantis::ArchiveError",
                                                    "tests %1 and %2 come from different downloads")
                            .arg(tests.first().number)
                            .arg(n)));
            return std::nullopt;
        }
        if (std::none_of(tests.begin(), tests.end(),
                         [&](const TestRecord& t) { return t.number == n; }))
            tests.append(test);
    }
    if (tests.size() < 2) {
        Set(error, Refusal(QCoreApplication::translate("velantis::ArchiveError",
                                                       "a merge needs two tests or more")));
        return std::nullopt;
    }
    int first = tests.first().firstGroup;
    int last = tests.first().lastGroup;
    for (const TestRecord& t : tests) {
        first = std::min(first, t.firstGroup);
        last = std::max(last, t.lastGroup);
    }
    if (!begin(error))
        return std::nullopt;
    QSqlQuery q(db_);
    // A test of the download inside the merged range but not named would overlap it.
    q.prepare(QStringLiteral("SELECT number FROM tests WHERE download = ? AND last_group >= ? "
                             "AND first_group <= ? ORDER BY number"));
    q.addBindValue(tests.first().download);
    q.addBindValue(first);
    q.addBindValue(last);
    if (!q.exec()) {
        abandon(q, error);
        return std::nullopt;
    }
    while (q.next()) {
        const qint64 n = q.value(0).toLongLong();
        if (!numbers.contains(n)) {
            q.finish();
            rollback();
            Set(error, Refusal(QCoreApplication::translate(
                                   "velantis::ArchiveError",
                                   "test %1 of the same download lies between them")
                                   .arg(n)));
            return std::nullopt;
        }
    }
    q.finish();
    QList<qint64> merged;
    for (const TestRecord& t : tests)
        merged << t.number;
    if (!renewIfSent(tests.first().number, merged, error))
        return std::nullopt;
    q.prepare(QStringLiteral("DELETE FROM tests WHERE number = ?"));
    for (qsizetype i = 1; i < tests.size(); ++i) {
        q.addBindValue(tests[i].number);
        if (!q.exec()) {
            abandon(q, error);
            return std::nullopt;
        }
    }
    q.finish();
    const qint64 kept = tests.first().number;
    if (!rewriteTest(kept, tests.first().info, first, last, error) || !commit(error))
        return std::nullopt;
    return kept;
}

bool Archive::renewIfSent(qint64 kept, const QList<qint64>& numbers, ArchiveError* error) {
    QSqlQuery q(db_);
    q.prepare(QStringLiteral("SELECT uuid FROM tests WHERE number = ? AND sent_revision > 0"));
    QStringList sent;
    for (const qint64 n : numbers) {
        q.addBindValue(n);
        if (!q.exec())
            return abandon(q, error);
        if (q.next())
            sent << q.value(0).toString();
        q.finish();
    }
    return sent.isEmpty() || queueAndRenew(sent, kept, error);
}

bool Archive::queueAndRenew(const QStringList& uuids, qint64 kept, ArchiveError* error) {
    QSqlQuery q(db_);
    q.prepare(QStringLiteral("INSERT OR IGNORE INTO supersede_queue (uuid) VALUES (?)"));
    for (const QString& uuid : uuids) {
        q.addBindValue(uuid);
        if (!q.exec())
            return abandon(q, error);
    }
    q.prepare(QStringLiteral("UPDATE tests SET uuid = ?, sent_revision = 0, refused_revision = 0 "
                             "WHERE number = ?"));
    q.addBindValue(NewUuid());
    q.addBindValue(kept);
    if (!q.exec())
        return abandon(q, error);
    q.finish();
    return true;
}

bool Archive::waiting(QList<WaitingTest>* tests, ArchiveError* error) {
    tests->clear();
    if (!writable(false, error))
        return false;
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT %1, sent_revision FROM tests WHERE %2 ORDER BY number")
                    .arg(TestColumns(fileVersion_), QLatin1String(WaitingCondition))))
        return Failed(error, q.lastError());
    const int sentColumn = q.record().count() - 1;
    while (q.next())
        tests->append({RecordOf(q), q.value(sentColumn).toInt()});
    if (q.lastError().isValid())
        return Failed(error, q.lastError());
    return true;
}

bool Archive::markSent(const TestRecord& sent, ArchiveError* error) {
    if (!writable(false, error) || !begin(error))
        return false;
    QSqlQuery q(db_);
    q.prepare(QStringLiteral("SELECT number, first_group, last_group FROM tests WHERE uuid = ?"));
    q.addBindValue(sent.uuid);
    if (!q.exec())
        return abandon(q, error);
    if (!q.next()) { // removed here meanwhile: nothing to mark
        q.finish();
        rollback();
        return true;
    }
    const qint64 number = q.value(0).toLongLong();
    const bool sameGroups =
        q.value(1).toInt() == sent.firstGroup && q.value(2).toInt() == sent.lastGroup;
    q.finish();
    if (sameGroups) {
        q.prepare(QStringLiteral("UPDATE tests SET sent_revision = max(sent_revision, ?) "
                                 "WHERE number = ?"));
        q.addBindValue(sent.revision);
        q.addBindValue(number);
        if (!q.exec())
            return abandon(q, error);
        q.finish();
    } else if (!queueAndRenew({sent.uuid}, number, error)) {
        return false; // split or merged on its way: what the server has is no longer this test
    }
    return commit(error);
}

bool Archive::markRefused(const QString& uuid, int revision, ArchiveError* error) {
    if (!writable(false, error) || !begin(error))
        return false;
    QSqlQuery q(db_);
    q.prepare(QStringLiteral(
        "UPDATE tests SET refused_revision = max(refused_revision, ?) WHERE uuid = ?"));
    q.addBindValue(revision);
    q.addBindValue(uuid);
    if (!q.exec())
        return abandon(q, error);
    q.finish();
    return commit(error);
}

bool Archive::supersedeQueue(QStringList* uuids, ArchiveError* error) {
    uuids->clear();
    if (!writable(false, error))
        return false;
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT uuid FROM supersede_queue ORDER BY uuid")))
        return Failed(error, q.lastError());
    while (q.next())
        uuids->append(q.value(0).toString());
    return true;
}

bool Archive::unqueueSupersede(const QStringList& uuids, ArchiveError* error) {
    if (!writable(false, error) || !begin(error))
        return false;
    QSqlQuery q(db_);
    q.prepare(QStringLiteral("DELETE FROM supersede_queue WHERE uuid = ?"));
    for (const QString& uuid : uuids) {
        q.addBindValue(uuid);
        if (!q.exec())
            return abandon(q, error);
    }
    q.finish();
    return commit(error);
}

std::optional<int> Archive::waitingCount(ArchiveError* error) {
    if (!writable(false, error))
        return std::nullopt;
    QSqlQuery q(db_);
    if (!q.exec(QStringLiteral("SELECT (SELECT count(*) FROM tests WHERE %1) + "
                               "(SELECT count(*) FROM supersede_queue)")
                    .arg(QLatin1String(WaitingCondition))) ||
        !q.next()) {
        Failed(error, q.lastError());
        return std::nullopt;
    }
    return q.value(0).toInt();
}

void FillStore(const QList<ArchivedGroup>& groups, RecordStore* store) {
    store->clear();
    for (const ArchivedGroup& g : groups) {
        if (const auto slot = SlotIndex::make(g.group))
            store->store(*slot, g.frame);
    }
}

QList<ArchivedGroup> ArchivedGroups(const RecordStore& store) {
    QList<ArchivedGroup> groups;
    for (int n = 0; n < RecordStore::SlotCount; ++n) {
        if (const auto& frame = store.frame(*SlotIndex::make(n)))
            groups.append({n, *frame});
    }
    return groups;
}

TestReport ArchivedTestReport(const TestRecord& test, const QList<ArchivedGroup>& groups) {
    RecordStore store;
    FillStore(groups, &store);
    return MakeTestReport(store, test.info, DownloadInfoOf(test));
}

} // namespace velantis
