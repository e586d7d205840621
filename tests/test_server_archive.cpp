// SPDX-License-Identifier: GPL-3.0-or-later
// The department's archive against a private PostgreSQL server of its own: what a tester may and
// may not do, paging and the filter, TLS, a newer schema, and the CLI's reading commands.
#include "cli/records.h"
#include "records/test_json.h"
#include "support/cli_run.h"
#include "support/server_tests.h"

#include <QElapsedTimer>
#include <QSettings>
#include <QSqlDatabase>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace velantis;
using namespace velantis::testing;

namespace {

using ServerArchiveTest = ClusterTest;
const auto Groups = SentGroups;

TEST_F(ServerArchiveTest, APushSendsTheTestAndItsGroupsOnceAndFindGivesThemBack) {
    auto a = As(QStringLiteral("tester_a"));
    const TestRecord sent = SentTest(QStringLiteral("城南变电站"));
    const QList<ArchivedGroup> groups = Groups(60);
    for (const bool expectInserted : {true, false}) {
        bool inserted = !expectInserted;
        ServerError error;
        ASSERT_TRUE(a->push(sent, groups, &inserted, &error)) << error.text().toStdString();
        EXPECT_EQ(inserted, expectInserted);
    }
    TestRecord back;
    QList<ArchivedGroup> found;
    ASSERT_TRUE(As(QStringLiteral("tester_b"))->find(sent.uuid.toUpper(), &back, &found, nullptr));
    // What the JSON carries of a test (its origin and start too) comes back unchanged, and the
    // server names the sender.
    EXPECT_EQ(TestJson(back, found), TestJson(sent, groups));
    EXPECT_EQ(back.owner, QStringLiteral("tester_a"));
    EXPECT_EQ(std::tuple(back.pass, back.fail, back.none, back.revision), std::tuple(50, 4, 6, 1));
    ServerError error;
    EXPECT_FALSE(a->find(QUuid::createUuid().toString(), nullptr, nullptr, &error));
    EXPECT_EQ(error.reason, ServerError::Reason::NoSuchTest);
}

TEST_F(ServerArchiveTest, OnlyTheSenderEditsATestOnlyANewerRevisionReplacesItAdminDeletes) {
    auto a = As(QStringLiteral("tester_a"));
    auto b = As(QStringLiteral("tester_b"));
    TestRecord test = SentTest(QStringLiteral("北郊变"));
    ASSERT_TRUE(a->push(test, Groups(3), nullptr, nullptr));
    const struct {
        ServerArchive* who;
        int revision;
        const char* station;
        bool ok;
        ServerError::Reason reason;
        bool applied;
        const char* stationAfter;
    } cases[] = {
        {b.get(), 2, "被改了", false, ServerError::Reason::NotYourTest, false, "北郊变"},
        {a.get(), 2, "北郊变 2 号主变", true, ServerError::Reason::None, true, "北郊变 2 号主变"},
        {a.get(), 2, "同一修订", true, ServerError::Reason::None, false, "北郊变 2 号主变"},
        {a.get(), 1, "更旧的修订", true, ServerError::Reason::None, false, "北郊变 2 号主变"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.station);
        test.revision = c.revision;
        test.info.station = QString::fromUtf8(c.station);
        test.edited = QDateTime::currentDateTime();
        bool applied = !c.applied;
        ServerError error;
        EXPECT_EQ(c.who->updateInfo(test, &applied, &error), c.ok);
        EXPECT_EQ(error.reason, c.reason);
        EXPECT_EQ(applied, c.applied);
        EXPECT_EQ(cluster->sql(
                      QStringLiteral("SELECT station FROM tests WHERE uuid = '%1'").arg(test.uuid)),
                  QString::fromUtf8(c.stationAfter));
    }
    // Through SQL of their own testers neither change the owner, delete nor send as another
    // role; the administrator deletes.
    const struct {
        const char* role;
        QString sql;
        bool ok;
        int countAfter;
    } sqlCases[] = {
        {"tester_a",
         QStringLiteral("UPDATE tests SET owner = 'tester_b' WHERE uuid = '%1'").arg(test.uuid),
         false, 1},
        {"tester_a", QStringLiteral("DELETE FROM tests WHERE uuid = '%1'").arg(test.uuid), false,
         1},
        {"tester_a", QStringLiteral("DELETE FROM groups WHERE test = '%1'").arg(test.uuid), false,
         1},
        {"tester_b",
         QStringLiteral("INSERT INTO tests (uuid, started, ended, ending, announced, stored, owner)"
                        " VALUES ('%1', now(), now(), 'complete', 1, 1, 'tester_a')")
             .arg(QUuid::createUuid().toString(QUuid::WithoutBraces)),
         false, 1},
        {"tester_b",
         QStringLiteral(
             "INSERT INTO groups VALUES ('%1', 99, '\\x0102030405060708091011121314151617181920')")
             .arg(test.uuid),
         false, 1},
        {"admin_a", QStringLiteral("DELETE FROM tests WHERE uuid = '%1'").arg(test.uuid), true, 0},
    };
    for (const auto& c : sqlCases) {
        SCOPED_TRACE(c.sql.toStdString());
        QString why;
        EXPECT_EQ(cluster->trySql(c.sql, QLatin1String(c.role), &why), c.ok) << why.toStdString();
        EXPECT_TRUE(c.ok || why.contains(QStringLiteral("permission denied")) ||
                    why.contains(QStringLiteral("row-level security")))
            << why.toStdString();
        EXPECT_EQ(cluster->count(QStringLiteral("tests WHERE uuid = '%1'").arg(test.uuid)),
                  c.countAfter);
    }
    EXPECT_EQ(cluster->count(QStringLiteral("groups WHERE test = '%1'").arg(test.uuid)), 0);
    ServerInfo info;
    ASSERT_TRUE(As(QStringLiteral("tester_b"))->info(&info, nullptr));
    EXPECT_EQ(std::tuple(info.user, info.schemaVersion, info.canSelect, info.canInsert,
                         info.canUpdate, info.canDelete, info.readOnly),
              std::tuple(QStringLiteral("tester_b"), 1, true, true, true, false, false));
    EXPECT_FALSE(info.serverVersion.isEmpty());
}

TEST_F(ServerArchiveTest, ANewerSchemaIsBrowsedButNothingIsSentOrEdited) {
    const TestRecord kept = SentTest(QStringLiteral("东站"));
    ASSERT_TRUE(As(QStringLiteral("tester_a"))->push(kept, Groups(2), nullptr, nullptr));
    cluster->sql(QStringLiteral("UPDATE velantis_schema SET version = 2"));
    auto a = As(QStringLiteral("tester_a"));
    ServerError error;
    ASSERT_TRUE(a->connect(&error)) << error.text().toStdString();
    EXPECT_TRUE(a->readOnly());
    QList<TestRecord> tests;
    EXPECT_TRUE(a->page(QStringLiteral("东站"), std::nullopt, 10, &tests, nullptr));
    EXPECT_FALSE(tests.isEmpty());
    bool inserted = true;
    EXPECT_FALSE(a->push(SentTest(QStringLiteral("新")), Groups(1), &inserted, &error));
    EXPECT_EQ(error.reason, ServerError::Reason::NewerSchema);
    EXPECT_FALSE(inserted);
    TestRecord edit = kept;
    edit.revision = 2;
    error = {};
    EXPECT_FALSE(a->updateInfo(edit, nullptr, &error));
    EXPECT_EQ(error.reason, ServerError::Reason::NewerSchema);
    cluster->sql(QStringLiteral("UPDATE velantis_schema SET version = 1"));
}

TEST_F(ServerArchiveTest, PagesGiveEveryTestOnceNewestFirstAndTheFilterFindsChineseText) {
    cluster->sql(QStringLiteral("UPDATE tests SET superseded = true"));
    auto a = As(QStringLiteral("tester_a"));
    // Several tests of one start time: the uuid orders them, and no page boundary loses one.
    const QDateTime base = QDateTime(QDate(2026, 3, 1), QTime(9, 0));
    const QStringList stations = {QStringLiteral("华北电力变电站"), QStringLiteral("华东站"),
                                  QStringLiteral("north_50%"), QStringLiteral("Northwest")};
    QList<std::pair<QDateTime, QString>> sent;
    for (int i = 0; i < 23; ++i) {
        const TestRecord t = SentTest(stations[i % stations.size()], base.addSecs(60 * (i / 3)));
        ASSERT_TRUE(a->push(t, Groups(1), nullptr, nullptr));
        sent.append({t.started, t.uuid});
    }
    std::sort(sent.rbegin(), sent.rend());
    QStringList paged;
    std::optional<ServerPageKey> after;
    for (;;) {
        QList<TestRecord> page;
        ServerError error;
        ASSERT_TRUE(a->page({}, after, 5, &page, &error)) << error.text().toStdString();
        if (page.isEmpty())
            break;
        for (const TestRecord& t : page)
            paged << t.uuid;
        after = ServerPageKey{page.last().started, page.last().uuid};
    }
    for (qsizetype i = 0; i < sent.size(); ++i)
        EXPECT_EQ(paged.value(i), sent[i].second) << i;
    EXPECT_EQ(paged.size(), sent.size());

    const struct {
        const char* filter;
        int count;
    } filters[] = {
        {"电力变", 6},                          // inside the text, by trigrams
        {"华", 12},                             // one character: the start of the text
        {"华东", 6},   {"力变", 0},             // two characters match at the start only
        {"NORTH", 11},                          // case ignored
        {"_50%", 6},   {"h_5", 6},  {"h%5", 0}, // % and _ are taken as they are
        {"CT-20", 23},                          // the serial
    };
    for (const auto& f : filters) {
        SCOPED_TRACE(f.filter);
        QList<TestRecord> found;
        ASSERT_TRUE(a->page(QString::fromUtf8(f.filter), std::nullopt, 100, &found, nullptr));
        EXPECT_EQ(found.size(), f.count);
    }
}

TEST_F(ServerArchiveTest, SupersededTestsLeaveTheViewAndOnlyTheirSenderMarksThem) {
    auto a = As(QStringLiteral("tester_a"));
    auto b = As(QStringLiteral("tester_b"));
    const TestRecord first = SentTest(QStringLiteral("拆分前甲"));
    const TestRecord second = SentTest(QStringLiteral("拆分前乙"));
    ASSERT_TRUE(a->push(first, Groups(2), nullptr, nullptr));
    ASSERT_TRUE(a->push(second, Groups(2), nullptr, nullptr));
    const QString never = QUuid::createUuid().toString();
    const struct {
        ServerArchive* who;
        QStringList uuids;
        ServerError::Reason reason;
        int shown; // of the two, still in the view
    } cases[] = {
        {b.get(), {first.uuid}, ServerError::Reason::NotYourTest, 2},
        {a.get(),
         {first.uuid, second.uuid.toUpper(), QStringLiteral("x")},
         ServerError::Reason::NoSuchTest,
         2},
        {a.get(), {first.uuid, never}, ServerError::Reason::None, 1}, // one the server lacks
        {a.get(), {first.uuid, second.uuid}, ServerError::Reason::None, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.uuids.join(u' ').toStdString());
        ServerError error;
        EXPECT_EQ(c.who->supersede(c.uuids, &error), c.reason == ServerError::Reason::None);
        EXPECT_EQ(error.reason, c.reason);
        QList<TestRecord> shown;
        ASSERT_TRUE(a->page(QStringLiteral("拆分前"), std::nullopt, 10, &shown, nullptr));
        EXPECT_EQ(shown.size(), c.shown);
    }
    TestRecord kept;
    ASSERT_TRUE(b->find(first.uuid, &kept, nullptr, nullptr));
    EXPECT_TRUE(kept.superseded);
}

TEST_F(ServerArchiveTest, ConnectionFailuresAreToldApart) {
    const QString a = cluster->connInfo(QStringLiteral("tester_a"));
    const QString pw = PgCluster::Password(QStringLiteral("tester_a"));
    const struct {
        QString connInfo;
        QString password;
        ServerError::Reason reason;
    } cases[] = {
        {a, {}, ServerError::Reason::PasswordNeeded},
        {a, QStringLiteral("wrong"), ServerError::Reason::CannotConnect},
        {QString(a).replace(QStringLiteral("=velantis"), QStringLiteral("=postgres")), pw,
         ServerError::Reason::NoSchema},
        {QStringLiteral("host='unterminated"), {}, ServerError::Reason::CannotConnect},
        // The driver would turn the ';' into a space: refused rather than altered.
        {a + QStringLiteral(" application_name='a;b'"), pw, ServerError::Reason::CannotConnect},
        {QStringLiteral("host=127.0.0.1 port=1 user=x dbname=y"), QStringLiteral("p"),
         ServerError::Reason::CannotConnect},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.connInfo.toStdString());
        ServerArchive server(c.connInfo, c.password);
        ServerError error;
        EXPECT_FALSE(server.connect(&error));
        EXPECT_EQ(error.reason, c.reason) << error.text().toStdString();
        EXPECT_FALSE(server.isConnected());
    }
}

TEST_F(ServerArchiveTest, TheSchemaRunsAgainAndARestartedServerIsReachedAgain) {
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("server.sql")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(ServerArchive::SchemaSql().toUtf8());
    file.close();
    QFile::setPermissions(file.fileName(), QFile::ReadOwner | QFile::ReadOther | QFile::WriteOwner);
    QString why;
    EXPECT_TRUE(cluster->trySql(QStringLiteral("\\i '%1'").arg(file.fileName()),
                                QStringLiteral("postgres"), &why))
        << why.toStdString();
    EXPECT_EQ(cluster->count(QStringLiteral("velantis_schema")), 1);

    auto a = As(QStringLiteral("tester_a"));
    ASSERT_TRUE(a->connect(nullptr));
    ASSERT_TRUE(cluster->restart(&why)) << why.toStdString();
    // The connection the restart broke is told as lost; the next call connects again.
    ServerError error;
    EXPECT_FALSE(a->push(SentTest(QStringLiteral("重连")), Groups(1), nullptr, &error));
    EXPECT_EQ(error.reason, ServerError::Reason::Lost) << error.text().toStdString();
    EXPECT_TRUE(a->push(SentTest(QStringLiteral("重连")), Groups(1), nullptr, &error))
        << error.text().toStdString();
}

TEST_F(ServerArchiveTest, TheCliListsShowsAndExportsServerTestsAsItsOwn) {
    QTemporaryDir home;
    const QString records = home.filePath(QStringLiteral("records.sqlite"));
    // A tab in a field is escaped in the line as in the local list.
    const QList<ArchivedGroup> groups = Groups(12);
    RecordStore store;
    FillStore(groups, &store);
    Archive local(records);
    const auto number = local.add(SentTest(QStringLiteral("城南\t变")), store, nullptr);
    ASSERT_TRUE(number);
    TestRecord kept;
    ASSERT_TRUE(local.find(*number, &kept, nullptr, nullptr));
    ASSERT_TRUE(As(QStringLiteral("tester_a"))->push(kept, groups, nullptr, nullptr));

    // velantis-cli with a settings folder of its own (nothing remembered) and tester_b's password.
    const CliEnv env{home.path(), PgCluster::Password(QStringLiteral("tester_b"))};
    const QStringList server = {QStringLiteral("--server"),
                                cluster->connInfo(QStringLiteral("tester_b"))};
    const CliRun list = RunCli(Args("records list --filter 城南 --remote") + server, env);
    ASSERT_EQ(list.code, 0) << list.err.toStdString();
    TestRecord listed = kept;
    listed.number = 0; // the server has no number of this PC's database
    EXPECT_EQ(QString::fromUtf8(list.out), RecordsListLine(listed) + u'\n');

    // The same words as for this PC's test (the uuid in capitals for the CSV).
    for (const char* words :
         {"records export %1 --json", "records export %1 --csv", "records show %1"}) {
        SCOPED_TRACE(words);
        const QString w = QString::fromUtf8(words);
        const QString uuid = w.contains(QLatin1String("csv")) ? kept.uuid.toUpper() : kept.uuid;
        const CliRun fromServer = RunCli(w.arg(uuid).split(u' ') << "--remote" << server, env);
        const CliRun fromHere = RunCli(w.arg(*number).split(u' ') << "--records" << records, env);
        EXPECT_EQ(fromServer.code, 0) << fromServer.err.toStdString();
        EXPECT_FALSE(fromServer.out.isEmpty());
        EXPECT_EQ(fromServer.out, fromHere.out);
    }

    const struct {
        QStringList args;
        int code;
        const char* told;
    } failures[] = {
        {Args("records list --remote"), 2, "no server"},
        {Args("records show --remote") + server + QStringList{QUuid::createUuid().toString()}, 2,
         "no test"},
        {Args("records show --remote 17") + server, 2, "no test"},
        {Args("records list --remote --server") + QStringList{"host=127.0.0.1 port=1 dbname=x"}, 5,
         "cannot connect"},
        {Args("records list --remote --csv") + server, 2, "goes with another command"},
    };
    for (const auto& f : failures) {
        SCOPED_TRACE(f.args.join(u' ').toStdString());
        const CliRun r = RunCli(f.args, env);
        EXPECT_EQ(r.code, f.code);
        EXPECT_TRUE(r.err.contains(QLatin1String(f.told))) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }

    const CliRun schema = RunCli(Args("server schema"), env);
    EXPECT_EQ(schema.code, 0);
    EXPECT_EQ(QString::fromUtf8(schema.out), ServerArchive::SchemaSql());
}

TEST(ServerArchiveTimeouts, AServerThatNeverAnswersEndsTheWaitAtTheGivenTimeout) {
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
        if (PgCluster::MustRun())
            FAIL() << "no QPSQL driver";
        GTEST_SKIP() << "no QPSQL driver (libqt6sql6-psql)";
    }
    // A port that takes connections (the system's backlog) and never says a word.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    auto* at = reinterpret_cast<sockaddr*>(&address);
    ASSERT_TRUE(!::bind(listener, at, length) && !::listen(listener, 4) &&
                !::getsockname(listener, at, &length));
    const int port = ntohs(address.sin_port);
    ServerArchive server(
        QStringLiteral("host=127.0.0.1 port=%1 dbname=velantis user=x connect_timeout=2").arg(port),
        QStringLiteral("pw"));
    QElapsedTimer timer;
    timer.start();
    ServerError error;
    EXPECT_FALSE(server.connect(&error));
    EXPECT_EQ(error.reason, ServerError::Reason::CannotConnect);
    EXPECT_GE(timer.elapsed(), 1500);
    EXPECT_LT(timer.elapsed(), 8000);
    EXPECT_EQ(server.where(), QStringLiteral("127.0.0.1:%1").arg(port));
    ::close(listener);
}

TEST(ServerArchiveSettings, TheRememberedConnectionNeverHoldsAPassword) {
    QTemporaryDir dir;
    QSettings settings(dir.filePath(QStringLiteral("s.conf")), QSettings::IniFormat);
    const struct {
        const char* given;
        const char* kept;
    } cases[] = {
        {"host=db.example port=5432 dbname=velantis", "host=db.example port=5432 dbname=velantis"},
        {"host=db password='se cret' user=zhang", "host='db' user='zhang'"},
        {"  ", ""},
    };
    for (const auto& c : cases) {
        RememberServer(settings, QLatin1String(c.given));
        EXPECT_EQ(RememberedServer(settings), QLatin1String(c.kept));
    }
    EXPECT_FALSE(settings.contains(QStringLiteral("server/connection")));
}

TEST(ServerArchiveTls, VerifyFullConnectsWithTheClusterCaAndNotWithAnother) {
    auto cluster = PgCluster::StartOrSkip(true);
    VELANTIS_NEED_CLUSTER(cluster);
    const QString tcp = cluster->connInfo(QStringLiteral("tester_a"), PgCluster::Transport::Tcp);
    const struct {
        QString connInfo;
        bool connects;
    } cases[] = {
        {tcp, true},
        {QString(tcp).replace(cluster->caFile(), cluster->otherCaFile()), false},
        {QString(tcp).replace(QStringLiteral("127.0.0.1"), QStringLiteral("localhost")), true},
        {QString(tcp).replace(QStringLiteral("=verify-full"), QStringLiteral("=disable")), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.connInfo.toStdString());
        ServerArchive server(c.connInfo, QStringLiteral("tester_a-pw"));
        ServerError error;
        EXPECT_EQ(server.connect(&error), c.connects) << error.text().toStdString();
        EXPECT_EQ(error.reason,
                  c.connects ? ServerError::Reason::None : ServerError::Reason::CannotConnect);
    }
}

} // namespace
