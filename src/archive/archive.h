// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/frame.h"
#include "records/download_end.h"
#include "records/record_store.h"
#include "records/test_report.h"

#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QString>

#include <optional>

class QSqlQuery;

namespace velantis {

// Why the record database could not do what was asked.
struct ArchiveError {
    enum class Reason {
        None,
        NotADatabase, // the file is no SQLite database (or a damaged one)
        NoDatabase,   // there is no file at the path (reading never makes one)
        Foreign,      // an SQLite database of another program: left as it is
        NewerVersion, // written by a later version of the program: read only here
        ReadOnly,     // read-only file or file system
        DiskFull,     // no space left on the device
        Locked,       // another program held the database past the busy timeout
        CannotOpen,   // no such folder, no permission
        NoSuchTest,   // no test with that number
        Other,        // see system
        AlreadyKept,  // a test of the same identity (uuid) is kept already; system: its number
        Refused,      // a split or merge these tests do not allow; system: why
    };
    Reason reason = Reason::None;
    QString system; // SQLite's own words; the path for NoDatabase, the tables for Foreign

    // The reason in English, as the command line prints it.
    QString text() const;
};

// One group of a test as the archive keeps it: its number and the instrument's frame.
struct ArchivedGroup {
    int group = 0;
    MeasurementFrame frame;
};

// One test: when and where it was downloaded, how the download ended, the test information and
// the verdict counts that information gives.
struct TestRecord {
    qint64 number = 0; // given by the archive, never reused
    QDateTime started;
    QDateTime ended;
    QString port;
    DownloadEnd ending = DownloadEnd::EndFrame;
    int announced = -1; // groups the instrument announced; -1: no count arrived
    int stored = 0;
    TestInfo info;
    int pass = 0;
    int fail = 0;
    int none = 0;
    QString version; // the program that archived it
    // The test's identity, given when it is first archived and kept by every copy of it (an
    // export, an import into another database); empty for a test never archived.
    QString uuid;
    // The download the test's groups came from, shared by every test split from it (the uuid of
    // the test first archived from it), and the test's range of its groups.
    QString download;
    int firstGroup = 0;
    int lastGroup = 0;
    // Where the test was made: the PC (its machine id, else its host name) and the user logged in
    // there; a test brought in from a saved list says "imported from FILE" as its PC.
    QString originPc;
    QString originUser;
    // The information's revision, 1 when archived and one more with each edit, and when it was
    // last edited (invalid: never).
    int revision = 1;
    QDateTime edited;
    // On the department's server only: the database role that sent the test (set by the server),
    // and whether a later split or merge replaced it.
    QString owner;
    bool superseded = false;
};

// A test the department's server lacks, or has at an older revision of its information.
struct WaitingTest {
    TestRecord record;
    int sentRevision = 0; // the revision the server has; 0: never sent
};

// This PC as the origin of a test: its machine id as hex text, else its host name.
QString ThisPc();
// The user logged in here (USER, else USERNAME).
QString ThisUser();

// Whether a test matches a filter text: the text (case ignored) in its station, equipment,
// serial or remarks. An empty filter matches every test.
bool MatchesFilter(const TestRecord& record, const QString& filter);
// "complete", "incomplete", "watchdog", "link-lost", "store-full", "interrupted".
QString EndingName(DownloadEnd how);
// The ending of a name EndingName gives; nothing for any other text.
std::optional<DownloadEnd> EndingNamed(const QString& name);
// The database column of a free-text field of the test information: its key with '_' for '-'
// (the same in the record database and on the server).
QString ColumnOf(const TestInfoTextField& field);

// The test records: an SQLite database (Qt SQL's QSQLITE driver) with one row per test and one per
// group, the group's 20-byte frame kept as it came. Write-ahead journal, synchronous=FULL, foreign
// keys on, and every write in a BEGIN IMMEDIATE transaction that waits for another program's
// write up to the busy timeout. The schema version is PRAGMA user_version.
//
// Reading (open, list, find) opens an existing file read only and never makes, migrates or
// renames anything; only add() makes the file (and its folder). Every operation first checks that
// the file open is still the one at the path: one deleted or moved away while the program runs is
// let go, and add() starts a new one there (takeNotice() says so).
class Archive {
public:
    // 1: the tests and their groups; 2: the nameplate, conditions, test set, organisation,
    // logo, report prefix, guard band and the test's uuid; 3: the groups kept once per download,
    // each test naming its download and its range of groups; 4: each test's origin (PC and
    // user), revision and edit time, what the department's server has of it, and the uuids the
    // server is to mark as superseded.
    static constexpr int SchemaVersion = 4;
    static constexpr int DefaultBusyTimeoutMs = 5000;

    // velantis/records.sqlite in the user's data folder, the same for both programs.
    static QString DefaultPath();

    explicit Archive(const QString& path, int busyTimeoutMs = DefaultBusyTimeoutMs);
    ~Archive();
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;

    const QString& path() const { return path_; }

    // Opens the file for reading. No file at the path is NoDatabase, an SQLite file of another
    // program Foreign, a file that is no database or fails PRAGMA quick_check (checked once per
    // Archive) NotADatabase: each left as it is. A file of a later schema version opens read
    // only. Calls after a success do nothing (while the file stays at the path); after a failure
    // they try again.
    bool open(ArchiveError* error);
    bool isOpen() const { return open_; }
    bool isReadOnly() const { return readOnly_; }
    // What an opening did beside opening: the file renamed aside, opened read only, or a new file
    // started where the one open had been moved or deleted. Empty when there is nothing to tell;
    // taken once.
    QString takeNotice();
    // The name the damaged file was given, when the first opening renamed one aside.
    const QString& asideName() const { return asideName_; }
    int fileVersion() const { return fileVersion_; }

    // Adds a test with the framed groups of store, in one transaction: its number, or nothing.
    // record's number, counts and version are filled in here (counts from MakeTestReport); a
    // record without a uuid is given a new one, one whose uuid is kept already is refused
    // (AlreadyKept) and nothing is written.
    // Makes the file and its folder when there is none. The first write-opening of an Archive
    // renames a file that is no database (or fails the check) aside with the date and time and
    // starts a new one (takeNotice() says so); another program's database is refused.
    std::optional<qint64> add(const TestRecord& record, const RecordStore& store,
                              ArchiveError* error);
    // Every test, newest first.
    bool list(QList<TestRecord>* tests, ArchiveError* error);
    // One test and its groups in group order.
    bool find(qint64 number, TestRecord* test, QList<ArchivedGroup>* groups, ArchiveError* error);
    // Removing from and editing a file that is not there is NoDatabase: neither makes one.
    bool remove(qint64 number, ArchiveError* error);
    // Replaces a test's information and recounts its verdicts against the (new) class; its
    // revision goes up by one and its edit time is now.
    bool updateInfo(qint64 number, const TestInfo& info, ArchiveError* error);
    // Splits a test at the groups in cuts, each starting a part, in one transaction: the numbers
    // of the parts in group order, the first the test itself. Every other part gets a number and
    // uuid of its own, the test's information and verdicts recounted over its groups. The server
    // never deletes: of a test it has already, the first part gets a new uuid too and the old one
    // is queued to be superseded there. A cut that
    // is not inside the test's range or would leave a part without a group is refused (Refused).
    std::optional<QList<qint64>> split(qint64 number, const QList<int>& cuts, ArchiveError* error);
    // The same with each part's information given (infos: one per part, in group order).
    std::optional<QList<qint64>> split(qint64 number, const QList<int>& cuts,
                                       const QList<TestInfo>& infos, ArchiveError* error);
    // Puts tests of one download back into one, in one transaction: the first number named keeps
    // its number, uuid and information over the range from the lowest to the highest group, the
    // others are removed. When the server has any of them, the test kept gets a new uuid and
    // the uuids the server has are queued to be superseded there. Tests of different downloads,
    // or a range that would take in a test of the download not named, are refused (Refused).
    std::optional<qint64> merge(const QList<qint64>& numbers, ArchiveError* error);

    // What the sync with the department's server works through (each makes the file's schema
    // current; no file is NoDatabase). The tests waiting, oldest first, without their groups
    // (find() gives them): never sent, or edited since, unless the server refused that revision.
    bool waiting(QList<WaitingTest>* tests, ArchiveError* error);
    // The server has the test (its uuid) at its revision, with the range of groups sent. When a
    // split or merge changed its groups meanwhile, the local test becomes a new one: a new uuid,
    // and the uuid sent queued to be superseded.
    bool markSent(const TestRecord& sent, ArchiveError* error);
    // The server refused this revision of the test (another role's test): not sent again until
    // it is edited again.
    bool markRefused(const QString& uuid, int revision, ArchiveError* error);
    // The uuids the server is to mark as superseded, and their removal once it has.
    bool supersedeQueue(QStringList* uuids, ArchiveError* error);
    bool unqueueSupersede(const QStringList& uuids, ArchiveError* error);
    // The tests waiting and the uuids queued together.
    std::optional<int> waitingCount(ArchiveError* error);

private:
    enum class Access { Read, Write };
    // Which file a path names: device and inode where there are such, else whether it exists.
    struct FileId {
        bool exists = false;
        quint64 device = 0;
        quint64 inode = 0;
        bool operator==(const FileId&) const = default;
    };
    static FileId IdOf(const QString& path);

    bool ensureOpen(Access access, ArchiveError* error);
    bool openFile(Access access, ArchiveError* error);
    // Reads the file's schema version and tells a new file (fresh) from another program's
    // database (an error, Foreign) and a damaged one (NotADatabase).
    bool readKind(bool* fresh, ArchiveError* error);
    bool prepareSchema(Access access, ArchiveError* error);
    void closeFile();
    // Lets the connection go when the file at the path is no longer the one open; true then.
    bool letGoOfMovedFile();
    bool renameAside(const QString& reason, ArchiveError* error);
    bool exec(const QString& sql, ArchiveError* error);
    // Open for writing and not a later version's file; create: a missing file is made.
    bool writable(bool create, ArchiveError* error);
    bool begin(ArchiveError* error);
    bool commit(ArchiveError* error);
    void rollback();
    // A statement failed inside a write transaction: its error told, the transaction undone.
    // Always false.
    bool abandon(QSqlQuery& q, ArchiveError* error);
    // Inside a write transaction: inserts a test row, its number or nothing (undone).
    std::optional<qint64> insertTest(const TestRecord& record, const TestReport& report, int stored,
                                     ArchiveError* error);
    // Inside a write transaction: when the server has any of the tests, they are queued to be
    // superseded there and the test keeping the number gets a new uuid; false: undone.
    bool renewIfSent(qint64 kept, const QList<qint64>& numbers, ArchiveError* error);
    // Queues the uuids as superseded and gives test `kept` a new uuid, not yet sent.
    bool queueAndRenew(const QStringList& uuids, qint64 kept, ArchiveError* error);
    // Inside a write transaction: the verdicts of a test recounted over its range, with info.
    bool rewriteTest(qint64 number, const TestInfo& info, int first, int last, ArchiveError* error);

    QString path_;
    int busyTimeoutMs_;
    QString connection_;
    QSqlDatabase db_;
    bool open_ = false;
    bool writeOpen_ = false;
    bool readOnly_ = false;
    bool empty_ = false; // opened for reading before any test was written: no tables yet
    bool asideTried_ = false;
    bool quickChecked_ = false;
    bool movedAway_ = false; // the file open was moved or deleted; the next write-open tells
    FileId openId_;
    int fileVersion_ = 0;
    QString notice_;
    QString asideName_;
};

// The groups of a test put into a store, as the download stored them.
void FillStore(const QList<ArchivedGroup>& groups, RecordStore* store);
// The framed groups of a store, in group order: what the archive keeps of them.
QList<ArchivedGroup> ArchivedGroups(const RecordStore& store);
// The report of a kept test: its groups alone, its information, its download, its number.
TestReport ArchivedTestReport(const TestRecord& test, const QList<ArchivedGroup>& groups);

} // namespace velantis
