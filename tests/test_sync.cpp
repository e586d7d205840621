// SPDX-License-Identifier: GPL-3.0-or-later
// Offline first: the record database knows where each test was made, its revision and what the
// department's server has of it; a split or merge of a test the server has replaces it there.
#include "archive/archive.h"
#include "archive/sync_worker.h"
#include "support/pg_cluster.h"

#include <QProcess>

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace velantis;

namespace {

MeasurementFrame Group(int n) {
    return FrameBuilder()
        .hv(static_cast<std::uint16_t>(100 + n % 900), 0x31)
        .r(5000, 0x33)
        .groupNo(static_cast<std::uint16_t>(n))
        .ratioError(static_cast<std::uint8_t>(0x80 + n % 9))
        .rated(100, 50)
        .channelKind(static_cast<std::uint8_t>(n % 3), 1)
        .build();
}

RecordStore Downloaded(int groups) {
    RecordStore store;
    for (int n = 1; n <= groups; ++n)
        store.store(*SlotIndex::make(n), Group(n));
    return store;
}

TestRecord Record(const QString& station) {
    TestRecord r;
    r.started = QDateTime::currentDateTime();
    r.ended = r.started.addSecs(30);
    r.port = QStringLiteral("COM3");
    r.info.station = station;
    return r;
}

QStringList Uuids(const QList<WaitingTest>& tests) {
    QStringList out;
    for (const WaitingTest& t : tests)
        out << t.record.uuid;
    return out;
}

TestRecord Found(Archive& archive, qint64 number) {
    TestRecord t;
    EXPECT_TRUE(archive.find(number, &t, nullptr, nullptr)) << number;
    return t;
}

TEST(SyncBookkeeping, AVersion3FileMigratesKeepingEveryTestWithThisPcAndUserAndAllWaiting) {
    qputenv("USER", "prüfer");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("v3.sqlite"));
    QList<TestRecord> before;
    {
        Archive archive(path);
        for (int n = 1; n <= 3; ++n)
            ASSERT_TRUE(
                archive.add(Record(QStringLiteral("站%1").arg(n)), Downloaded(10 * n), nullptr));
        ASSERT_TRUE(archive.list(&before, nullptr));
    }
    {
        // The file as version 3 left it: no origin, no revision, no sync state.
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("v3"));
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        for (const char* sql :
             {"DROP TABLE supersede_queue", "ALTER TABLE tests DROP COLUMN origin_pc",
              "ALTER TABLE tests DROP COLUMN origin_user", "ALTER TABLE tests DROP COLUMN revision",
              "ALTER TABLE tests DROP COLUMN edited", "ALTER TABLE tests DROP COLUMN sent_revision",
              "ALTER TABLE tests DROP COLUMN refused_revision", "PRAGMA user_version = 3"})
            ASSERT_TRUE(q.exec(QString::fromLatin1(sql))) << sql;
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("v3"));

    Archive archive(path);
    QList<TestRecord> read;
    ASSERT_TRUE(archive.list(&read, nullptr)); // reading leaves version 3 as it is
    EXPECT_EQ(archive.fileVersion(), 3);
    ASSERT_EQ(read.size(), 3);
    EXPECT_TRUE(read[0].originPc.isEmpty());

    QList<WaitingTest> waiting;
    ASSERT_TRUE(archive.waiting(&waiting, nullptr));
    EXPECT_EQ(archive.fileVersion(), 4);
    ASSERT_EQ(waiting.size(), 3);
    EXPECT_EQ(archive.waitingCount(nullptr), 3);
    ASSERT_TRUE(archive.list(&read, nullptr));
    ASSERT_EQ(read.size(), before.size());
    for (qsizetype i = 0; i < read.size(); ++i) {
        EXPECT_EQ(read[i].uuid, before[i].uuid);
        EXPECT_EQ(read[i].info.station, before[i].info.station);
        EXPECT_EQ(read[i].stored, before[i].stored);
        EXPECT_EQ(read[i].originPc, ThisPc());
        EXPECT_EQ(read[i].originUser, QStringLiteral("prüfer"));
        EXPECT_EQ(read[i].revision, 1);
        EXPECT_EQ(waiting[i].sentRevision, 0);
        QList<ArchivedGroup> groups;
        ASSERT_TRUE(archive.find(read[i].number, nullptr, &groups, nullptr));
        EXPECT_EQ(groups.size(), read[i].stored);
    }
    EXPECT_FALSE(ThisPc().isEmpty());
}

TEST(SyncBookkeeping, AnEditRaisesTheRevisionAndWaitsAgainUnlessTheServerRefusedIt) {
    QTemporaryDir dir;
    Archive archive(dir.filePath(QStringLiteral("r.sqlite")));
    const auto number = archive.add(Record(QStringLiteral("甲")), Downloaded(5), nullptr);
    ASSERT_TRUE(number);
    TestRecord test = Found(archive, *number);
    EXPECT_EQ(test.revision, 1);
    EXPECT_FALSE(test.edited.isValid());

    ASSERT_TRUE(archive.markSent(test, nullptr));
    EXPECT_EQ(archive.waitingCount(nullptr), 0);
    ASSERT_TRUE(archive.updateInfo(*number, test.info, nullptr));
    test = Found(archive, *number);
    EXPECT_EQ(test.revision, 2);
    EXPECT_TRUE(test.edited.isValid());
    QList<WaitingTest> waiting;
    ASSERT_TRUE(archive.waiting(&waiting, nullptr));
    ASSERT_EQ(waiting.size(), 1);
    EXPECT_EQ(waiting[0].sentRevision, 1);
    EXPECT_EQ(waiting[0].record.revision, 2);

    // Refused (another's test): not sent again until the next edit.
    ASSERT_TRUE(archive.markRefused(test.uuid, 2, nullptr));
    EXPECT_EQ(archive.waitingCount(nullptr), 0);
    ASSERT_TRUE(archive.updateInfo(*number, test.info, nullptr));
    EXPECT_EQ(archive.waitingCount(nullptr), 1);
}

TEST(SyncBookkeeping, ASplitOrMergeOfATestTheServerHasGivesNewUuidsAndQueuesTheOld) {
    const struct {
        const char* what;
        bool merge;
        bool sent;
    } cases[] = {
        {"split, never sent", false, false},
        {"split, sent", false, true},
        {"merge, never sent", true, false},
        {"merge, sent", true, true},
    };
    for (const auto& c : cases) {
        QTemporaryDir dir;
        Archive archive(dir.filePath(QStringLiteral("s.sqlite")));
        const auto number = archive.add(Record(QStringLiteral("乙")), Downloaded(20), nullptr);
        ASSERT_TRUE(number);
        QList<qint64> numbers = {*number};
        if (c.merge) {
            numbers = *archive.split(*number, {11}, nullptr);
            ASSERT_EQ(numbers.size(), 2);
        }
        QStringList before;
        for (const qint64 n : numbers) {
            before << Found(archive, n).uuid;
            if (c.sent) {
                ASSERT_TRUE(archive.markSent(Found(archive, n), nullptr));
            }
        }
        const auto result = c.merge ? std::optional<QList<qint64>>(QList<qint64>{
                                          archive.merge(numbers, nullptr).value_or(0)})
                                    : archive.split(*number, {11}, nullptr);
        ASSERT_TRUE(result) << c.what;
        QStringList queue;
        ASSERT_TRUE(archive.supersedeQueue(&queue, nullptr));
        QList<WaitingTest> waiting;
        ASSERT_TRUE(archive.waiting(&waiting, nullptr));
        EXPECT_EQ(waiting.size(), result->size()) << c.what;
        const TestRecord first = Found(archive, result->first());
        if (c.sent) {
            before.sort();
            EXPECT_EQ(queue, before) << c.what;
            for (const WaitingTest& w : waiting) {
                EXPECT_FALSE(before.contains(w.record.uuid)) << c.what;
                EXPECT_EQ(w.sentRevision, 0) << c.what;
            }
            EXPECT_EQ(archive.waitingCount(nullptr), result->size() + before.size());
            ASSERT_TRUE(archive.unqueueSupersede(queue, nullptr));
            ASSERT_TRUE(archive.supersedeQueue(&queue, nullptr));
            EXPECT_TRUE(queue.isEmpty()) << c.what;
        } else {
            EXPECT_TRUE(queue.isEmpty()) << c.what;
            EXPECT_EQ(first.uuid, before.first()) << c.what; // split or merged as before
        }
    }
}

TEST(SyncBookkeeping, ATestSplitWhileOnItsWayToTheServerBecomesANewTest) {
    QTemporaryDir dir;
    Archive archive(dir.filePath(QStringLiteral("w.sqlite")));
    const auto number = archive.add(Record(QStringLiteral("丙")), Downloaded(20), nullptr);
    ASSERT_TRUE(number);
    const TestRecord onItsWay = Found(archive, *number);
    ASSERT_TRUE(archive.split(*number, {8}, nullptr)); // not yet sent: keeps its uuid
    EXPECT_EQ(Found(archive, *number).uuid, onItsWay.uuid);

    // The server now has the whole range under that uuid: the first part is no longer that test.
    ASSERT_TRUE(archive.markSent(onItsWay, nullptr));
    QStringList queue;
    ASSERT_TRUE(archive.supersedeQueue(&queue, nullptr));
    EXPECT_EQ(queue, QStringList{onItsWay.uuid});
    QList<WaitingTest> waiting;
    ASSERT_TRUE(archive.waiting(&waiting, nullptr));
    EXPECT_EQ(waiting.size(), 2);
    EXPECT_FALSE(Uuids(waiting).contains(onItsWay.uuid));
}

class SyncWithServer : public ::testing::Test {
protected:
    static void SetUpTestSuite() { cluster = velantis::testing::PgCluster::StartOrSkip(); }
    void SetUp() override { VELANTIS_NEED_CLUSTER(cluster); }
    static QString Conn() { return cluster->connInfo(QStringLiteral("tester_a")); }
    static QString Pw() { return velantis::testing::PgCluster::Password(QStringLiteral("tester_a")); }
    static inline std::shared_ptr<velantis::testing::PgCluster> cluster;
};

// Every event of a pass, as "kind uuid".
QStringList Pass(Archive& archive, ServerArchive& server, SyncResult* result = nullptr) {
    QStringList events;
    const SyncResult r = SyncPass(
        archive, server,
        [&](const SyncEvent& e) { events << QStringLiteral("%1 %2").arg(int(e.kind)).arg(e.uuid); },
        nullptr);
    if (result)
        *result = r;
    return events;
}

TEST_F(SyncWithServer, SentOnceThenAnEditGoesAsAnUpdateAndASplitSupersedesTheOldUuid) {
    QTemporaryDir dir;
    Archive archive(dir.filePath(QStringLiteral("a.sqlite")));
    ServerArchive server(Conn(), Pw());
    const auto a = archive.add(Record(QStringLiteral("丁")), Downloaded(20), nullptr);
    const auto b = archive.add(Record(QStringLiteral("戊")), Downloaded(5), nullptr);
    ASSERT_TRUE(a && b);
    SyncResult result;
    EXPECT_EQ(Pass(archive, server, &result).size(), 2);
    EXPECT_EQ(result.waiting, 0) << result.reason.toStdString();
    EXPECT_TRUE(Pass(archive, server, &result).isEmpty()); // nothing twice
    const TestRecord sent = Found(archive, *a);
    EXPECT_EQ(cluster->sql(QStringLiteral("SELECT count(*) FROM tests")), QStringLiteral("2"));
    EXPECT_EQ(cluster->sql(
                  QStringLiteral("SELECT count(*) FROM groups WHERE test = '%1'").arg(sent.uuid)),
              QStringLiteral("20"));

    TestInfo edited = sent.info;
    edited.remarks = QStringLiteral("复测");
    ASSERT_TRUE(archive.updateInfo(*a, edited, nullptr));
    EXPECT_EQ(
        Pass(archive, server, &result),
        QStringList{QStringLiteral("%1 %2").arg(int(SyncEvent::Kind::Updated)).arg(sent.uuid)});
    EXPECT_EQ(cluster->sql(QStringLiteral("SELECT revision || ' ' || remarks FROM tests WHERE "
                                          "uuid = '%1'")
                               .arg(sent.uuid)),
              QStringLiteral("2 复测"));

    const auto parts = archive.split(*a, {11}, nullptr);
    ASSERT_TRUE(parts);
    EXPECT_EQ(Pass(archive, server, &result).size(), 3); // two parts sent, the old superseded
    EXPECT_EQ(result.waiting, 0);
    EXPECT_EQ(cluster->sql(
                  QStringLiteral("SELECT superseded FROM tests WHERE uuid = '%1'").arg(sent.uuid)),
              QStringLiteral("t"));
    EXPECT_EQ(cluster->sql(QStringLiteral("SELECT count(*) FROM tests WHERE NOT superseded")),
              QStringLiteral("3"));
}

TEST_F(SyncWithServer, RecordsSyncExits7WhileTheServerIsDownAndSendsEverythingOnceAfter) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("c.sqlite"));
    {
        Archive archive(path);
        for (int n = 1; n <= 3; ++n)
            ASSERT_TRUE(archive.add(Record(QStringLiteral("己%1").arg(n)), Downloaded(n), nullptr));
    }
    const auto sync = [&](int* code) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PGPASSWORD"), Pw());
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(VELANTIS_CLI),
                {QStringLiteral("records"), QStringLiteral("sync"), QStringLiteral("--records"),
                 path, QStringLiteral("--server"), Conn()});
        EXPECT_TRUE(p.waitForFinished(60000));
        *code = p.exitCode();
        return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
    };
    const QString before = cluster->sql(QStringLiteral("SELECT count(*) FROM tests"));
    cluster->stop();
    int code = 0;
    const QString down = sync(&code);
    EXPECT_EQ(code, 7) << down.toStdString();
    EXPECT_TRUE(down.contains(QStringLiteral("3"))) << down.toStdString();
    ASSERT_TRUE(cluster->restart());
    const QString up = sync(&code);
    EXPECT_EQ(code, 0) << up.toStdString();
    EXPECT_EQ(up.count(QStringLiteral("sent\t")), 3) << up.toStdString();
    sync(&code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(cluster->sql(QStringLiteral("SELECT count(*) FROM tests")).toInt(),
              before.toInt() + 3);
    Archive archive(path);
    EXPECT_EQ(archive.waitingCount(nullptr), 0);
}

} // namespace
