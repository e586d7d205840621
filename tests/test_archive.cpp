// SPDX-License-Identifier: GPL-3.0-or-later
// The test-record database: a round trip to the very bytes Save writes, and each way the file
// can fail - none loses a test already kept or crashes.
#include "archive/archive.h"
#include "records/data_file.h"
#include "records/history.h"
#include "support/sent_groups.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUuid>

#include <gtest/gtest.h>

#include <random>

using namespace velantis;

namespace {

using velantis::testing::SentGroup;

RecordStore Downloaded(int groups) {
    RecordStore store;
    for (int n = 1; n <= groups; ++n)
        store.store(*SlotIndex::make(n), SentGroup(n));
    return store;
}

QByteArray SavedBytes(const RecordStore& store, const QString& folder) {
    HistoryList list(folder);
    int first = 0, last = 0;
    list.RefreshHistory(store, first, last);
    return DataFileBytes(list.listText());
}

TestRecord Record(const QString& station) {
    TestRecord r;
    r.started = QDateTime::currentDateTime();
    r.ended = r.started.addSecs(30);
    r.port = QStringLiteral("COM3 (/dev/ttyUSB0)");
    r.announced = 60;
    r.info.station = station;
    r.info.serial = QStringLiteral("CT-2041");
    r.info.accuracy = AccuracyClass::C0_5;
    return r;
}

// A root shell command (mounts); false where it cannot be had.
bool Shell(const QString& command) {
    return QProcess::execute(QStringLiteral("sh"), {QStringLiteral("-c"), command}) == 0;
}

TEST(Archive, ReopenedTestGivesSaveTheBytesOfTheDownloadAndNumbersAreNeverReused) {
    QTemporaryDir dir;
    const RecordStore store = Downloaded(60);
    Archive archive(dir.filePath(QStringLiteral("records.sqlite")));
    const auto first = archive.add(Record(QStringLiteral("城南变")), store, nullptr);
    ASSERT_TRUE(first);
    TestRecord kept;
    QList<ArchivedGroup> groups;
    ASSERT_TRUE(archive.find(*first, &kept, &groups, nullptr));
    RecordStore reopened;
    FillStore(groups, &reopened);
    EXPECT_EQ(SavedBytes(reopened, dir.path()), SavedBytes(store, dir.path()));
    EXPECT_EQ(kept.info.station, QStringLiteral("城南变"));
    EXPECT_EQ(kept.stored, 60);
    EXPECT_EQ(kept.pass + kept.fail + kept.none, 60);

    // A class edited later recounts the verdicts from the frames.
    TestInfo info = kept.info;
    info.accuracy = AccuracyClass::None;
    ASSERT_TRUE(archive.updateInfo(*first, info, nullptr));
    ASSERT_TRUE(archive.find(*first, &kept, nullptr, nullptr));
    EXPECT_EQ(kept.none, 60);

    ASSERT_TRUE(archive.remove(*first, nullptr));
    ArchiveError error;
    EXPECT_FALSE(archive.find(*first, &kept, nullptr, &error));
    EXPECT_EQ(error.reason, ArchiveError::Reason::NoSuchTest);
    EXPECT_GT(archive.add(Record(QString()), store, nullptr).value_or(0), *first);
}

TEST(Archive, FilesThatAreNoDatabaseAreRenamedAsideByTheFirstWriteAndEmptyOrNewerFilesOpen) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("records.sqlite"));
    QByteArray noise(8192, '\0');
    std::mt19937 random(7);
    for (char& c : noise)
        c = static_cast<char>(random());
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(noise);
    }
    Archive archive(path);
    ASSERT_TRUE(archive.add(Record(QString()), Downloaded(3), nullptr));
    const QString notice = archive.takeNotice();
    EXPECT_TRUE(notice.contains(QDir::toNativeSeparators(path)) &&
                notice.contains(QDir::toNativeSeparators(archive.asideName())))
        << qPrintable(notice);
    QFile aside(archive.asideName());
    ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
    EXPECT_EQ(aside.readAll(), noise);

    // A 0-byte file is a new database: read as one without tests, made one by the first write.
    const QString empty = dir.filePath(QStringLiteral("empty.sqlite"));
    QFile(empty).open(QIODevice::WriteOnly);
    Archive fresh(empty);
    QList<TestRecord> none;
    ASSERT_TRUE(fresh.list(&none, nullptr));
    EXPECT_TRUE(none.isEmpty());
    EXPECT_EQ(QFileInfo(empty).size(), 0);
    ASSERT_TRUE(fresh.add(Record(QString()), Downloaded(3), nullptr));
    EXPECT_EQ(fresh.fileVersion(), Archive::SchemaVersion);
    EXPECT_TRUE(fresh.takeNotice().isEmpty());

    // A later version's file: read, never written.
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("v"));
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery(db).exec(
            QStringLiteral("PRAGMA user_version = %1").arg(Archive::SchemaVersion + 1));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("v"));
    Archive newer(path);
    ASSERT_TRUE(newer.open(nullptr));
    EXPECT_TRUE(newer.isReadOnly());
    EXPECT_FALSE(newer.takeNotice().isEmpty());
    ArchiveError error;
    EXPECT_FALSE(newer.add(Record(QString()), Downloaded(3), &error));
    EXPECT_EQ(error.reason, ArchiveError::Reason::NewerVersion);
    QList<TestRecord> tests;
    ASSERT_TRUE(newer.list(&tests, nullptr));
    EXPECT_EQ(tests.size(), 1);
}

TEST(Archive, AWriteHeldByAnotherConnectionPastTheTimeoutFailsAndLosesNothing) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("records.sqlite"));
    Archive archive(path, 200);
    ASSERT_TRUE(archive.add(Record(QStringLiteral("kept")), Downloaded(5), nullptr));
    Archive other(path, 200);
    ASSERT_TRUE(other.open(nullptr));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("l"));
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        ASSERT_TRUE(QSqlQuery(db).exec(QStringLiteral("BEGIN IMMEDIATE")));
        ArchiveError error;
        EXPECT_FALSE(archive.add(Record(QStringLiteral("late")), Downloaded(5), &error));
        EXPECT_EQ(error.reason, ArchiveError::Reason::Locked) << qPrintable(error.text());
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("l"));
    ASSERT_TRUE(other.add(Record(QStringLiteral("after")), Downloaded(5), nullptr));
    QList<TestRecord> tests;
    ASSERT_TRUE(archive.list(&tests, nullptr));
    ASSERT_EQ(tests.size(), 2);
    EXPECT_EQ(tests[0].info.station, QStringLiteral("after"));
}

TEST(Archive, AFullOrReadOnlyFileSystemFailsTheWriteWithItsReasonAndKeepsTheTests) {
    QTemporaryDir dir;
    const QString mount = dir.filePath(QStringLiteral("m"));
    QDir().mkpath(mount);
    if (!Shell(QStringLiteral("mount -t tmpfs -o size=96k tmpfs '%1' 2>/dev/null").arg(mount)))
        GTEST_SKIP() << "no tmpfs mount here";
    const QString path = mount + QStringLiteral("/records.sqlite");
    {
        Archive archive(path);
        ASSERT_TRUE(archive.add(Record(QStringLiteral("kept")), Downloaded(10), nullptr));
        Shell(QStringLiteral("dd if=/dev/zero of='%1/fill' bs=4k 2>/dev/null").arg(mount));
        ArchiveError error;
        EXPECT_FALSE(archive.add(Record(QStringLiteral("big")), Downloaded(4000), &error));
        EXPECT_EQ(error.reason, ArchiveError::Reason::DiskFull) << qPrintable(error.text());
        QFile::remove(mount + QStringLiteral("/fill"));
    }
    const bool readOnly = Shell(QStringLiteral("mount -o remount,ro '%1'").arg(mount));
    if (readOnly) {
        Archive archive(path);
        ArchiveError error;
        EXPECT_FALSE(archive.add(Record(QStringLiteral("late")), Downloaded(10), &error));
        EXPECT_TRUE(error.reason == ArchiveError::Reason::ReadOnly ||
                    error.reason == ArchiveError::Reason::CannotOpen)
            << qPrintable(error.text());
        Shell(QStringLiteral("mount -o remount,rw '%1'").arg(mount));
    }
    {
        Archive archive(path);
        QList<TestRecord> tests;
        ASSERT_TRUE(archive.list(&tests, nullptr));
        ASSERT_EQ(tests.size(), 1);
        EXPECT_EQ(tests[0].stored, 10);
    }
    Shell(QStringLiteral("umount '%1'").arg(mount));
    if (!readOnly)
        GTEST_SKIP() << "no read-only remount here";
}

// The database deleted or moved away while the program runs: reading no longer shows the old
// file's tests, and the next test goes into a new file at the path (the notice says so).
TEST(Archive, ADatabaseDeletedOrMovedWhileOpenIsStartedAgainAtItsPath) {
    for (const bool moved : {false, true}) {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("records.sqlite"));
        Archive archive(path);
        ASSERT_TRUE(archive.add(Record(QStringLiteral("first")), Downloaded(5), nullptr));
        bool gone = true;
        for (const char* part : {"", "-wal", "-shm"}) {
            const bool done = moved ? QFile::rename(path + QLatin1String(part),
                                                    path + QLatin1String(".old") + part)
                                    : QFile::remove(path + QLatin1String(part));
            gone = gone && (done || *part != '\0');
        }
        if (!gone) // Windows keeps an open database from being removed or renamed
            GTEST_SKIP() << "the system does not let an open database be removed or moved";
        ArchiveError error;
        QList<TestRecord> tests;
        EXPECT_TRUE(!archive.list(&tests, &error) &&
                    error.reason == ArchiveError::Reason::NoDatabase);
        ASSERT_TRUE(archive.add(Record(QStringLiteral("second")), Downloaded(6), &error))
            << qPrintable(error.text());
        EXPECT_TRUE(archive.takeNotice().contains(QDir::toNativeSeparators(path)));
        ASSERT_TRUE(Archive(path).list(&tests, nullptr));
        ASSERT_EQ(tests.size(), 1) << moved;
        EXPECT_EQ(tests[0].info.station, QStringLiteral("second"));
    }
}

} // namespace

// Every field of the test information with a value of its own.
TestInfo EveryField() {
    TestInfo info;
    int n = 0;
    for (const TestInfoTextField& f : TestInfoTextFields)
        info.*f.member = QStringLiteral("%1 值 %2").arg(QLatin1String(f.key)).arg(++n);
    info.accuracy = AccuracyClass::C0_2S;
    info.date = QDate(2026, 12, 9);
    info.setCalibration = QDate(2026, 11, 30);
    info.logo = QByteArray("\x89PNG\r\n\x1a\n\0\xff", 10);
    info.guardBand = 5;
    return info;
}

void ExpectSameInfo(const TestInfo& a, const TestInfo& b) {
    for (const TestInfoTextField& f : TestInfoTextFields)
        EXPECT_EQ(a.*f.member, b.*f.member) << f.key;
    EXPECT_EQ(a.accuracy, b.accuracy);
    EXPECT_EQ(a.date, b.date);
    EXPECT_EQ(a.setCalibration, b.setCalibration);
    EXPECT_EQ(a.logo, b.logo);
    EXPECT_EQ(a.guardBand, b.guardBand);
}

TEST(Archive, EveryFieldOfTheTestInformationIsKeptAddedAndEditedAndOneUuidOnlyOnce) {
    QTemporaryDir dir;
    Archive archive(dir.filePath(QStringLiteral("records.sqlite")));
    TestRecord record = Record(QString());
    record.info = EveryField();
    const auto number = archive.add(record, Downloaded(5), nullptr);
    ASSERT_TRUE(number);
    TestRecord kept;
    ASSERT_TRUE(archive.find(*number, &kept, nullptr, nullptr));
    ExpectSameInfo(kept.info, record.info);
    EXPECT_FALSE(QUuid::fromString(kept.uuid).isNull()) << kept.uuid.toStdString();

    TestInfo edited = EveryField();
    for (const TestInfoTextField& f : TestInfoTextFields)
        edited.*f.member += QStringLiteral("'改");
    edited.logo.clear();
    edited.setCalibration = QDate();
    edited.guardBand = 0;
    ASSERT_TRUE(archive.updateInfo(*number, edited, nullptr));
    ASSERT_TRUE(archive.find(*number, &kept, nullptr, nullptr));
    ExpectSameInfo(kept.info, edited);

    // The same test (its uuid) a second time is refused and nothing is written.
    ArchiveError error;
    EXPECT_FALSE(archive.add(kept, Downloaded(3), &error));
    EXPECT_EQ(error.reason, ArchiveError::Reason::AlreadyKept);
    EXPECT_EQ(error.system, QString::number(*number));
    QList<TestRecord> tests;
    ASSERT_TRUE(archive.list(&tests, nullptr));
    EXPECT_EQ(tests.size(), 1);
}

TEST(Archive, AVersionOneFileIsReadAsItIsAndMigratedWithItsTestsAndFramesByTheFirstWrite) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("v1.sqlite"));
    const RecordStore store = Downloaded(40);
    {
        // The version-1 file as the program before wrote it.
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("v1"));
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        for (const char* sql :
             {"CREATE TABLE tests (number INTEGER PRIMARY KEY AUTOINCREMENT, started TEXT NOT "
              "NULL, ended TEXT NOT NULL, port TEXT NOT NULL, ending TEXT NOT NULL, announced "
              "INTEGER NOT NULL, stored INTEGER NOT NULL, station TEXT NOT NULL, device TEXT NOT "
              "NULL, serial TEXT NOT NULL, rated_ratio TEXT NOT NULL, class TEXT NOT NULL, tester "
              "TEXT NOT NULL, reviewer TEXT NOT NULL, test_date TEXT NOT NULL, remarks TEXT NOT "
              "NULL, pass INTEGER NOT NULL, fail INTEGER NOT NULL, undecided INTEGER NOT NULL, "
              "version TEXT NOT NULL)",
              "CREATE TABLE groups (test INTEGER NOT NULL REFERENCES tests(number) ON DELETE "
              "CASCADE, group_no INTEGER NOT NULL CHECK (group_no BETWEEN 0 AND 4000), frame BLOB "
              "NOT NULL CHECK (length(frame) = 20), PRIMARY KEY (test, group_no)) WITHOUT ROWID",
              "CREATE INDEX tests_by_end ON tests(ended)", "PRAGMA user_version = 1",
              "INSERT INTO tests VALUES (7, '2026-01-02T03:04:05.006', '2026-01-02T03:05:00.000', "
              "'COM3', 'complete', 40, 40, '城南变', 'CT', 'A-1', '', '0.5', '张', '李', "
              "'2026-01-02', '', 40, 0, 0, '1.0')",
              "INSERT INTO tests VALUES (9, '2026-01-03T03:04:05.006', '2026-01-03T03:05:00.000', "
              "'COM3', 'watchdog', 60, 40, '北郊站', '', '', '', '', '', '', '', '', 0, 0, 40, "
              "'1.0')"})
            ASSERT_TRUE(q.exec(QString::fromUtf8(sql))) << sql;
        db.transaction();
        q.prepare(QStringLiteral("INSERT INTO groups VALUES (?, ?, ?)"));
        for (const qint64 test : {7, 9}) {
            for (const ArchivedGroup& g : ArchivedGroups(store)) {
                q.addBindValue(test);
                q.addBindValue(g.group);
                q.addBindValue(g.frame.toByteArray());
                ASSERT_TRUE(q.exec());
            }
        }
        db.commit();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("v1"));
    const auto bytes = [&] {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QByteArray before = bytes();

    // Reading never migrates: the old file is read with empty new fields and left as it was.
    {
        Archive reader(path);
        QList<TestRecord> tests;
        ASSERT_TRUE(reader.list(&tests, nullptr));
        ASSERT_EQ(tests.size(), 2);
        EXPECT_EQ(tests[1].info.station, QStringLiteral("城南变"));
        EXPECT_TRUE(tests[1].uuid.isEmpty());
        EXPECT_TRUE(tests[1].info.standard.isEmpty());
        EXPECT_EQ(reader.fileVersion(), 1);
    }
    EXPECT_EQ(bytes(), before);

    Archive archive(path);
    const auto added = archive.add(Record(QStringLiteral("新")), Downloaded(2), nullptr);
    ASSERT_TRUE(added);
    EXPECT_EQ(*added, 10);
    EXPECT_EQ(archive.fileVersion(), Archive::SchemaVersion);
    QSet<QString> uuids;
    for (const qint64 number : {7, 9}) {
        TestRecord test;
        QList<ArchivedGroup> groups;
        ASSERT_TRUE(archive.find(number, &test, &groups, nullptr));
        RecordStore reopened;
        FillStore(groups, &reopened);
        EXPECT_EQ(SavedBytes(reopened, dir.path()), SavedBytes(store, dir.path()));
        EXPECT_EQ(test.stored, 40);
        EXPECT_TRUE(test.info.organisation.isEmpty() && test.info.logo.isEmpty() &&
                    test.info.guardBand == 0 && !test.info.setCalibration.isValid());
        EXPECT_FALSE(QUuid::fromString(test.uuid).isNull());
        uuids.insert(test.uuid);
    }
    EXPECT_EQ(uuids.size(), 2);
}

namespace {

// The frames a list of tests gives, in the tests' order: "group:frame hex" each.
QStringList FramesOf(Archive& archive, const QList<qint64>& numbers) {
    QStringList frames;
    for (const qint64 n : numbers) {
        QList<ArchivedGroup> groups;
        EXPECT_TRUE(archive.find(n, nullptr, &groups, nullptr)) << n;
        for (const ArchivedGroup& g : groups)
            frames << QStringLiteral("%1:%2").arg(g.group).arg(
                QString::fromLatin1(g.frame.toByteArray().toHex()));
    }
    return frames;
}

TEST(Archive, SplitPartsTakeEveryGroupOnceAndAMergePutsTheDownloadBack) {
    QTemporaryDir dir;
    Archive archive(dir.filePath(QStringLiteral("records.sqlite")));
    const auto number = archive.add(Record(QStringLiteral("城南变")), Downloaded(40), nullptr);
    ASSERT_TRUE(number);
    const QStringList whole = FramesOf(archive, {*number});
    ASSERT_EQ(whole.size(), 40);

    const struct {
        QList<int> cuts;
        const char* ranges; // "first-last/stored" per part; nullptr: refused
    } cases[] = {
        {{11, 31}, "1-10/10 11-30/20 31-40/10"},
        {{40, 2}, "1-1/1 2-39/38 40-40/1"},
        {{1}, nullptr},  // the first group starts the test already
        {{41}, nullptr}, // past its last group
    };
    for (const auto& c : cases) {
        ArchiveError error;
        const auto parts = archive.split(*number, c.cuts, &error);
        if (!c.ranges) {
            EXPECT_FALSE(parts) << c.cuts.first();
            EXPECT_EQ(error.reason, ArchiveError::Reason::Refused);
            EXPECT_EQ(FramesOf(archive, {*number}), whole);
            continue;
        }
        ASSERT_TRUE(parts) << error.text().toStdString();
        EXPECT_EQ(parts->first(), *number);
        QStringList ranges;
        QSet<QString> uuids, downloads;
        for (const qint64 n : *parts) {
            TestRecord t;
            ASSERT_TRUE(archive.find(n, &t, nullptr, nullptr));
            ranges << QStringLiteral("%1-%2/%3").arg(t.firstGroup).arg(t.lastGroup).arg(t.stored);
            EXPECT_EQ(t.pass + t.fail + t.none, t.stored);
            EXPECT_EQ(t.info.station, QStringLiteral("城南变"));
            downloads.insert(t.download);
            uuids.insert(t.uuid);
        }
        EXPECT_EQ(ranges.join(QLatin1Char(' ')), QLatin1String(c.ranges));
        EXPECT_EQ(uuids.size(), parts->size());
        EXPECT_EQ(downloads.size(), 1);
        // The parts' groups are the download's, each once, in order.
        EXPECT_EQ(FramesOf(archive, *parts), whole);
        // A part of another download is not merged in; the parts are, whole again.
        const auto other = archive.add(Record(QStringLiteral("北郊站")), Downloaded(3), nullptr);
        ASSERT_TRUE(other);
        EXPECT_FALSE(archive.merge({parts->at(0), *other}, nullptr));
        ASSERT_TRUE(archive.remove(*other, nullptr));
        const auto merged = archive.merge(*parts, nullptr);
        ASSERT_TRUE(merged);
        EXPECT_EQ(*merged, *number);
        EXPECT_EQ(FramesOf(archive, {*number}), whole);
        QList<TestRecord> tests;
        ASSERT_TRUE(archive.list(&tests, nullptr));
        EXPECT_EQ(tests.size(), 1);
        EXPECT_EQ(tests.first().stored, 40);
    }
}

TEST(Archive, RemovingAPartKeepsTheOtherPartsFramesAndDropsOnlyItsOwn) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("records.sqlite"));
    Archive archive(path);
    const auto number = archive.add(Record(QStringLiteral("城南变")), Downloaded(30), nullptr);
    ASSERT_TRUE(number);
    const QStringList whole = FramesOf(archive, {*number});
    const auto parts = archive.split(*number, {11, 21}, nullptr);
    ASSERT_TRUE(parts);
    ASSERT_TRUE(archive.remove(parts->at(1), nullptr));
    EXPECT_EQ(FramesOf(archive, {parts->at(0), parts->at(2)}),
              whole.mid(0, 10) + whole.mid(20, 10));
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("count"));
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery q(QStringLiteral("SELECT count(*) FROM groups"), db);
        ASSERT_TRUE(q.next());
        EXPECT_EQ(q.value(0).toInt(), 20); // the removed part's ten are gone, no other
    }
    QSqlDatabase::removeDatabase(QStringLiteral("count"));
}

} // namespace
