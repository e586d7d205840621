// SPDX-License-Identifier: GPL-3.0-or-later
// Offline first: the record database knows where each test was made, its revision and what the
// department's server has of it; a split or merge of a test the server has replaces it there.
#include "archive/archive.h"
#include "archive/sync_worker.h"
#include "support/cli_run.h"
#include "support/server_tests.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

#include <sys/types.h>

using namespace velantis;
using namespace velantis::testing;

namespace {

// A test of `groups` groups just downloaded at station, added to the record database.
std::optional<qint64> Add(Archive& archive, const QString& station, int groups) {
    TestRecord r;
    r.started = QDateTime::currentDateTime();
    r.ended = r.started.addSecs(30);
    r.port = QStringLiteral("COM3");
    r.info.station = station;
    RecordStore store;
    FillStore(SentGroups(groups), &store);
    return archive.add(r, store, nullptr);
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
            ASSERT_TRUE(Add(archive, QStringLiteral("站%1").arg(n), 10 * n));
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
    EXPECT_FALSE(ThisPc().isEmpty());
    for (qsizetype i = 0; i < read.size(); ++i) {
        QList<ArchivedGroup> groups;
        ASSERT_TRUE(archive.find(read[i].number, nullptr, &groups, nullptr));
        const TestRecord& r = read[i];
        EXPECT_EQ(std::tuple(r.uuid, r.info.station, r.stored, groups.size(), r.originPc,
                             r.originUser, r.revision, waiting[i].sentRevision),
                  std::tuple(before[i].uuid, before[i].info.station, before[i].stored,
                             qsizetype(before[i].stored), ThisPc(), QStringLiteral("prüfer"), 1,
                             0));
    }
}

TEST(SyncBookkeeping, AnEditRaisesTheRevisionAndWaitsAgainUnlessTheServerRefusedIt) {
    QTemporaryDir dir;
    Archive archive(dir.filePath(QStringLiteral("r.sqlite")));
    const auto number = Add(archive, QStringLiteral("甲"), 5);
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
    for (const bool merge : {false, true})
        for (const bool sent : {false, true}) {
            SCOPED_TRACE(std::string(merge ? "merge" : "split") +
                         (sent ? ", sent" : ", never sent"));
            QTemporaryDir dir;
            Archive archive(dir.filePath(QStringLiteral("s.sqlite")));
            const auto number = Add(archive, QStringLiteral("乙"), 20);
            ASSERT_TRUE(number);
            QList<qint64> numbers = {*number};
            if (merge) {
                numbers = *archive.split(*number, {11}, nullptr);
                ASSERT_EQ(numbers.size(), 2);
            }
            QStringList before;
            for (const qint64 n : numbers) {
                before << Found(archive, n).uuid;
                if (sent) {
                    ASSERT_TRUE(archive.markSent(Found(archive, n), nullptr));
                }
            }
            const auto result = merge ? std::optional<QList<qint64>>(QList<qint64>{
                                            archive.merge(numbers, nullptr).value_or(0)})
                                      : archive.split(*number, {11}, nullptr);
            ASSERT_TRUE(result);
            QStringList queue;
            ASSERT_TRUE(archive.supersedeQueue(&queue, nullptr));
            QList<WaitingTest> waiting;
            ASSERT_TRUE(archive.waiting(&waiting, nullptr));
            EXPECT_EQ(waiting.size(), result->size());
            if (!sent) { // split or merged as before
                EXPECT_TRUE(queue.isEmpty());
                EXPECT_EQ(Found(archive, result->first()).uuid, before.first());
                continue;
            }
            before.sort();
            EXPECT_EQ(queue, before);
            for (const WaitingTest& w : waiting) {
                EXPECT_FALSE(before.contains(w.record.uuid));
                EXPECT_EQ(w.sentRevision, 0);
            }
            EXPECT_EQ(archive.waitingCount(nullptr), result->size() + before.size());
            ASSERT_TRUE(archive.unqueueSupersede(queue, nullptr));
            ASSERT_TRUE(archive.supersedeQueue(&queue, nullptr));
            EXPECT_TRUE(queue.isEmpty());
        }
}

TEST(SyncBookkeeping, ATestSplitWhileOnItsWayToTheServerBecomesANewTest) {
    QTemporaryDir dir;
    Archive archive(dir.filePath(QStringLiteral("w.sqlite")));
    const auto number = Add(archive, QStringLiteral("丙"), 20);
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
    for (const WaitingTest& w : waiting)
        EXPECT_NE(w.record.uuid, onItsWay.uuid);
}

class SyncWithServer : public ClusterTest {
protected:
    static QString Conn() { return cluster->connInfo(QStringLiteral("tester_a")); }
    static QString Pw() { return PgCluster::Password(QStringLiteral("tester_a")); }
    // records sync of the record database at path, with the tester's password.
    static QProcess* StartSync(const QString& path) {
        return StartCli(Args("records sync --records") + QStringList{path, "--server", Conn()},
                        {{}, Pw()});
    }
};

// A record database at path with tests of the given sizes; their uuids and groups in all.
QStringList Fill(const QString& path, const QList<int>& sizes, int* groups = nullptr) {
    Archive archive(path);
    QStringList uuids;
    for (const int size : sizes) {
        const auto n = Add(archive, QStringLiteral("站%1").arg(size), size);
        EXPECT_TRUE(n);
        uuids << (n ? Found(archive, *n).uuid : QString());
        if (groups)
            *groups += size;
    }
    return uuids;
}

// "tests groups" the server holds of these uuids: each test once, each group once.
QString OnServer(const PgCluster& cluster, const QStringList& uuids) {
    const QString list = u'\'' + uuids.join(QStringLiteral("','")) + u'\'';
    return cluster.sql(
        QStringLiteral("SELECT (SELECT count(*) FROM tests WHERE uuid IN (%1)) || ' ' "
                       "|| (SELECT count(*) FROM groups WHERE test IN (%1))")
            .arg(list));
}
QString Expected(const QStringList& uuids, int groups) {
    return QStringLiteral("%1 %2").arg(uuids.size()).arg(groups);
}

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
    const auto a = Add(archive, QStringLiteral("丁"), 20);
    const auto b = Add(archive, QStringLiteral("戊"), 5);
    ASSERT_TRUE(a && b);
    SyncResult result;
    EXPECT_EQ(Pass(archive, server, &result).size(), 2);
    EXPECT_EQ(result.waiting, 0) << result.reason.toStdString();
    EXPECT_TRUE(Pass(archive, server, &result).isEmpty()); // nothing twice
    const TestRecord sent = Found(archive, *a);
    EXPECT_EQ(cluster->count(QStringLiteral("tests")), 2);
    EXPECT_EQ(OnServer(*cluster, {sent.uuid}), QStringLiteral("1 20"));

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
    EXPECT_EQ(cluster->count(QStringLiteral("tests WHERE NOT superseded")), 3);
}

// records sync: 2 with no server given or remembered, 7 while the server is down, then 0 with
// every test sent once, to the server given or the one the program remembers.
TEST_F(SyncWithServer, RecordsSyncExitCodesAndEveryTestSentOnce) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("c.sqlite"));
    int groups = 0;
    const QStringList uuids = Fill(path, {1, 2, 3}, &groups);
    const CliEnv env{dir.path(), Pw()};
    const CliRun none = RunCli(Args("records sync --records") << path, env);
    EXPECT_EQ(none.code, 2) << none.text().toStdString();
    cluster->stop();
    const CliRun down = FinishCli(StartSync(path));
    EXPECT_EQ(down.code, 7) << down.text().toStdString();
    EXPECT_TRUE(down.text().contains(QStringLiteral("3"))) << down.text().toStdString();
    ASSERT_TRUE(cluster->restart());
    EXPECT_EQ(OnServer(*cluster, uuids), QStringLiteral("0 0"));
    QSettings settings(dir.filePath(QStringLiteral(".config/velantis/velantis.conf")),
                       QSettings::IniFormat);
    RememberServer(settings, Conn());
    settings.sync();
    for (const int sent : {3, 0}) { // the remembered server; nothing twice
        const CliRun up = RunCli(Args("records sync --records") << path, env);
        EXPECT_EQ(up.code, 0) << up.text().toStdString();
        EXPECT_EQ(up.text().count(QStringLiteral("sent\t")), sent) << up.text().toStdString();
    }
    EXPECT_EQ(OnServer(*cluster, uuids), Expected(uuids, groups));
    EXPECT_EQ(Archive(path).waitingCount(nullptr), 0);
}

TEST_F(SyncWithServer, TwoProcessesSyncingAtOnceSendEveryTestOnce) {
    const struct {
        const char* what;
        bool sameTests; // copies of one record database: both send the same uuids
    } cases[] = {{"two record databases", false}, {"two copies of one record database", true}};
    for (const auto& c : cases) {
        QTemporaryDir dir;
        const QString one = dir.filePath(QStringLiteral("one.sqlite"));
        const QString two = dir.filePath(QStringLiteral("two.sqlite"));
        const QList<int> sizes = {400, 30, 250, 7, 120, 60, 300, 1, 90, 200};
        int groups = 0;
        QStringList uuids = Fill(one, sizes, &groups);
        if (c.sameTests)
            ASSERT_TRUE(QFile::copy(one, two));
        else
            uuids += Fill(two, sizes, &groups);
        QProcess* first = StartSync(one);
        QProcess* second = StartSync(two);
        const CliRun a = FinishCli(first), b = FinishCli(second);
        EXPECT_EQ(a.code, 0) << c.what << a.text().toStdString();
        EXPECT_EQ(b.code, 0) << c.what << b.text().toStdString();
        EXPECT_EQ((a.text() + b.text()).count(QStringLiteral("sent\t")), 2 * sizes.size())
            << c.what;
        EXPECT_EQ(OnServer(*cluster, uuids), Expected(uuids, groups)) << c.what;
        for (const QString& path : {one, two}) {
            Archive archive(path);
            EXPECT_EQ(archive.waitingCount(nullptr), 0) << c.what;
        }
    }
}

// Waits for the service's next pass: its result, or a failure after timeoutMs.
SyncResult NextPass(SyncService& service, int timeoutMs, qint64* tookMs = nullptr) {
    QSignalSpy spy(&service, &SyncService::passDone);
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(spy.wait(timeoutMs)) << "no pass ended within " << timeoutMs << " ms";
    if (tookMs)
        *tookMs = clock.elapsed();
    return spy.isEmpty() ? SyncResult{-1, {}, true} : spy.first().first().value<SyncResult>();
}

TEST_F(SyncWithServer, TheServerStoppedDuringASyncLosesNothingAndSendsNothingTwice) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("d.sqlite"));
    const QList<int> sizes(40, 1000);
    int groups = 0;
    const QStringList uuids = Fill(path, sizes, &groups);
    SyncService service(path, Conn(), nullptr, Pw());
    QList<int> shown;
    QObject::connect(&service, &SyncService::status,
                     [&](int waiting, const QString&, const QDateTime&) { shown << waiting; });
    int sent = 0;
    QObject::connect(&service, &SyncService::event, [&](const SyncEvent&) {
        if (++sent == 3)
            cluster->stop(); // while the worker sends the next
    });
    service.start();
    const SyncResult during = NextPass(service, 60000);
    EXPECT_TRUE(during.failed);
    EXPECT_GT(during.waiting, 0);
    EXPECT_LT(during.waiting, sizes.size()) << "the pass ended before the server stopped";
    EXPECT_TRUE(during.reason.contains(QString::number(cluster->port())))
        << during.reason.toStdString();
    ASSERT_TRUE(cluster->restart());
    service.nudge();
    const SyncResult after = NextPass(service, 60000);
    EXPECT_FALSE(after.failed) << after.reason.toStdString();
    EXPECT_EQ(after.waiting, 0);
    EXPECT_EQ(shown, (QList<int>{during.waiting, 0}));
    EXPECT_EQ(OnServer(*cluster, uuids), Expected(uuids, groups));
}

// Every process of the private server (the postmaster and its backends) stopped, as a server
// that hangs: the kernel still takes the data, nothing answers. Continued when it goes.
class Frozen {
public:
    explicit Frozen(const QString& clusterDir) {
        QFile pidFile(clusterDir + QStringLiteral("/data/postmaster.pid"));
        EXPECT_TRUE(pidFile.open(QIODevice::ReadOnly));
        const pid_t postmaster = pidFile.readLine().trimmed().toInt();
        EXPECT_GT(postmaster, 0);
        pids_ << postmaster;
        ::kill(postmaster, SIGSTOP); // first, so that it starts no further process
        const QStringList all = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
        for (const QString& name : all) {
            QFile stat(QStringLiteral("/proc/%1/stat").arg(name));
            if (name.toInt() <= 0 || !stat.open(QIODevice::ReadOnly))
                continue;
            // pid (comm) state ppid ...: comm may hold spaces, so read after its last ')'.
            const QByteArray line = stat.readAll();
            const QList<QByteArray> rest = line.mid(line.lastIndexOf(')') + 2).split(' ');
            if (rest.size() > 1 && rest[1].toInt() == postmaster) {
                pids_ << name.toInt();
                ::kill(name.toInt(), SIGSTOP);
            }
        }
    }
    ~Frozen() {
        for (const pid_t pid : pids_)
            ::kill(pid, SIGCONT);
    }
    Frozen(const Frozen&) = delete;
    Frozen& operator=(const Frozen&) = delete;

private:
    QList<pid_t> pids_;
};

TEST_F(SyncWithServer, TheWatchdogFreesAPassStuckOnAServerThatStoppedAnswering) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("e.sqlite"));
    int groups = 0;
    QStringList uuids = Fill(path, {5}, &groups);
    SyncService service(path, Conn(), nullptr, Pw());
    {
        ServerArchive server(Conn(), Pw());
        ASSERT_TRUE(server.connect(nullptr));
        EXPECT_GE(SocketOf(server), 0) << server.driverHandle().typeName();
    }
    constexpr int StuckMs = 1500;
    service.setStuckLimit(StuckMs);
    service.start();
    ASSERT_EQ(NextPass(service, 30000).waiting, 0); // connected, the backend waiting
    uuids += Fill(path, {300, 20, 7}, &groups);
    {
        const Frozen frozen(cluster->dir());
        service.nudge();
        qint64 took = 0;
        const SyncResult stuck = NextPass(service, 20000, &took);
        EXPECT_TRUE(stuck.failed);
        EXPECT_EQ(stuck.waiting, 3);
        EXPECT_TRUE(stuck.reason.contains(QString::number(cluster->port())))
            << stuck.reason.toStdString();
        EXPECT_GE(took, StuckMs);
        EXPECT_LT(took, StuckMs + 5000);
        EXPECT_EQ(service.dropped(), 1);
    }
    service.nudge();
    const SyncResult after = NextPass(service, 30000);
    EXPECT_FALSE(after.failed) << after.reason.toStdString();
    EXPECT_EQ(after.waiting, 0);
    EXPECT_EQ(OnServer(*cluster, uuids), Expected(uuids, groups));
}

TEST_F(SyncWithServer, DownloadWithServerArchivesThenSends) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("f.sqlite"));
    const CliRun run = RunCli(Args("download --demo --demo-groups 12 --records") +
                                  QStringList{path, "--server", Conn()},
                              {{}, Pw()});
    EXPECT_EQ(run.code, 0) << run.text().toStdString();
    Archive archive(path);
    QList<TestRecord> tests;
    ASSERT_TRUE(archive.list(&tests, nullptr));
    ASSERT_EQ(tests.size(), 1);
    EXPECT_EQ(archive.waitingCount(nullptr), 0);
    EXPECT_EQ(OnServer(*cluster, {tests[0].uuid}), Expected({tests[0].uuid}, 12));
}

} // namespace
