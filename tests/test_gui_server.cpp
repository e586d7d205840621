// SPDX-License-Identifier: GPL-3.0-or-later
// 文件 → 服务器… and 历史记录's server view: the connection strings and the password file the
// dialog writes, then against a private PostgreSQL server the paging, the filter, 打开,
// 复制到本机 and 测试信息 of the tests on it.
#include "support/server_tests.h"
#include "support/window_fixture.h"
#include "windows/history_window.h"
#include "windows/server_dialog.h"
#include "windows/server_history.h"
#include "windows/test_info_dialog.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSet>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableView>
#include <QTcpServer>
#include <QTest>

using namespace velantis;
using namespace velantis::testing;

namespace {

// Only the owner may read or write it (libpq ignores a password file others may read).
bool OwnerOnly(const QString& path) {
    return (QFile::permissions(path) &
            ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser)) ==
           (QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}
bool Enabled(QObject* window, const char* button) {
    return window->findChild<QPushButton*>(QString::fromUtf8(button))->isEnabled();
}
QString CountShown(QObject* history) {
    return history->findChild<QLabel*>(QStringLiteral("count"))->text();
}

// A connection string as the dialog makes it from its fields and reads it back, and the line of
// the password file for it (the password "p:w\\d" escaped as "p\\:w\\\\d" after it).
TEST(ServerDialogText, ConnectionStringAndPasswordLineAsLibpqReadsThem) {
    using K = ServerFields::Kind;
    const struct {
        ServerFields fields;
        const char* expected;
        const char* passwordLine;
    } cases[] = {
        {{.host = "db.lab", .port = "5433", .database = "velantis", .user = "zhang"},
         "host=db.lab port=5433 dbname=velantis user=zhang sslmode=verify-full",
         "db.lab:5433:velantis:zhang"},
        {{.host = " db.lab ", .sslMode = "require"},
         "host=db.lab sslmode=require",
         "db.lab:5432:login:login"},
        {{.host = "db",
          .database = "my :db",
          .user = "o'brien",
          .sslMode = "verify-ca",
          .rootCert = R"(C:\certs\root ca.crt)"},
         R"(host=db dbname='my :db' user='o\'brien' sslmode=verify-ca sslrootcert='C:/certs/root ca.crt')",
         R"(db:5432:my \:db:o'brien)"},
        {{.host = "db",
          .database = "a\\b",
          .sslMode = "disable",
          .rootCert = R"(\\share\pki\root.crt)"},
         R"(host=db dbname='a\\b' sslmode=disable sslrootcert=//share/pki/root.crt)",
         R"(db:5432:a\\b:login)"},
        {{.host = "/run/postgresql", .user = "u", .sslMode = "prefer"},
         "host=/run/postgresql user=u sslmode=prefer",
         "localhost:5432:u:u"},
        {{.kind = K::Service, .service = "lab"}, "service=lab", "*:*:*:*"},
        {{.kind = K::Service, .service = "my lab"}, "service='my lab'", "*:*:*:*"},
        {{.kind = K::Raw, .raw = " service=lab user=u "}, "service=lab user=u", "*:*:*:u"},
        {{.kind = K::Raw, .raw = "dbname=v"}, "dbname=v", "localhost:5432:v:login"},
        {{.kind = K::Raw, .raw = "postgresql://db/velantis"}, "postgresql://db/velantis", nullptr},
        {{.kind = K::Raw, .raw = "host=db application_name=x"},
         "host=db application_name=x",
         "db:5432:login:login"},
    };
    for (const auto& c : cases) {
        const QString made = ConnectionString(c.fields);
        EXPECT_EQ(made, QString::fromUtf8(c.expected));
        // Read back (the dialog opened again on the remembered string) it makes the same string.
        const ServerFields back = FieldsOf(made);
        EXPECT_EQ(back.kind, c.fields.kind) << c.expected;
        EXPECT_EQ(ConnectionString(back), made);
        if (c.passwordLine) {
            EXPECT_EQ(PasswordLine(made, QStringLiteral("p:w\\d"), QStringLiteral("login")),
                      QString::fromUtf8(c.passwordLine) + QStringLiteral(R"(:p\:w\\d)"))
                << c.expected;
        }
    }
}

TEST(ServerDialogText, PasswordLineIsAddedOwnerOnlyOrTheFileLeftAsItWas) {
    QTemporaryDir dir;
    QFile(dir.filePath(QStringLiteral("file"))).open(QIODevice::WriteOnly);
    const struct {
        const char* name; // in dir
        QByteArray before;
        QByteArray after; // empty: not written
    } cases[] = {{"new/sub/.pgpass", {}, "h:1:d:u:p\n"},
                 {"old", "a:1:b:c:d", "a:1:b:c:d\nh:1:d:u:p\n"},
                 {"file/.pgpass", {}, {}}}; // its folder is a file
    for (const auto& c : cases) {
        const QString path = dir.filePath(QString::fromUtf8(c.name));
        QFile f(path);
        if (!c.before.isEmpty()) {
            ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(c.before) > 0);
            f.close();
            f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                             QFileDevice::ReadOther);
        }
        const bool writes = !c.after.isEmpty();
        QString why;
        EXPECT_EQ(AddPasswordLine(path, QStringLiteral("h:1:d:u:p"), &why), writes) << c.name;
        EXPECT_EQ(why.isEmpty(), writes) << c.name;
        EXPECT_EQ(f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray(), c.after) << c.name;
        EXPECT_TRUE(!writes || OwnerOnly(path)) << c.name;
    }
}

// Which of 历史记录's actions a record database written by a later version still offers: those
// that only read it.
TEST_F(WindowFixture, ReadOnlyRecordDatabaseOffersOnlyReading) {
    const QString path = folder.filePath(QStringLiteral("records.sqlite"));
    window->setRecordsPath(path);
    download(3);
    {
        auto db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("later"));
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery(db).exec(
            QStringLiteral("PRAGMA user_version = %1").arg(Archive::SchemaVersion + 1));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("later"));
    window->setRecordsPath(path);
    window->ShowHistory();
    if (QMessageBox* box = OpenMessageBox()) // told that it is read only
        box->close();
    HistoryWindow* history = window->historyWindow();
    ASSERT_TRUE(history && history->select(1));
    const struct {
        const char* button;
        bool enabled;
    } buttons[] = {{"打开", true},      {"导出报告", true}, {"导出 CSV", true}, {"测试信息", false},
                   {"拆分测试", false}, {"删除", false},    {"导入", false}};
    for (const auto& b : buttons)
        EXPECT_EQ(Enabled(history, b.button), b.enabled) << b.button;
}

// The main window over a fake line, with a record database, and a private server shared by the
// tests of the program (emptied before each).
class ServerWindow : public WindowFixture {
protected:
    static void SetUpTestSuite() { cluster = PgCluster::StartOrSkip(); }
    static void TearDownTestSuite() { cluster.reset(); }
    void SetUp() override {
        VELANTIS_NEED_CLUSTER(cluster);
        cluster->sql(
            QStringLiteral("TRUNCATE tests CASCADE; UPDATE velantis_schema SET version = 1"));
        // libpq finds no password but the ones given here.
        qputenv("PGPASSFILE", folder.filePath(QStringLiteral("pgpass")).toLocal8Bit());
        WindowFixture::SetUp();
        window->setRecordsPath(recordsPath());
    }

    QString recordsPath() const { return folder.filePath(QStringLiteral("records.sqlite")); }
    static QString conn(const QString& role) { return cluster->connInfo(role); }

    // A test of three groups as pc-7 sent it, `minutes` after a fixed start.
    static TestRecord Sent(int minutes, const QString& station) {
        return SentTest(station, QDateTime(QDate(2026, 3, 1), QTime(8, 0)).addSecs(60 * minutes),
                        3);
    }
    static void push(const QString& role, const TestRecord& test,
                     const QList<ArchivedGroup>& groups = SentGroups(3)) {
        bool inserted = false;
        ServerError error;
        ASSERT_TRUE(velantis::testing::As(*cluster, role)->push(test, groups, &inserted, &error))
            << error.text().toStdString();
        ASSERT_TRUE(inserted);
    }
    static TestRecord onServer(const QString& uuid) {
        TestRecord test;
        ServerError error;
        EXPECT_TRUE(velantis::testing::As(*cluster, QStringLiteral("tester_a"))
                        ->find(uuid, &test, nullptr, &error))
            << error.text().toStdString();
        return test;
    }

    // 历史记录 showing the server as role.
    HistoryWindow* serverView(const QString& role = QStringLiteral("tester_a")) {
        window->ShowHistory();
        HistoryWindow* history = window->historyWindow();
        EXPECT_NE(history, nullptr);
        history->setServer(conn(role), PgCluster::Password(role));
        history->findChild<QComboBox*>(QStringLiteral("historySourceSwitch"))->setCurrentIndex(1);
        EXPECT_EQ(history->source(), HistoryWindow::Source::Server);
        settle(history);
        return history;
    }
    // Waits until the server view has no page on its way and the role is known.
    static void settle(HistoryWindow* history) {
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                return !history->serverModel().busy() &&
                       history->serverModel().filter() ==
                           history->findChild<QLineEdit*>(QStringLiteral("filter"))->text();
            },
            20000));
        QTest::qWait(50);
    }
    // Runs a server action of the selected test and waits for its answer.
    static void answered(HistoryWindow* history, const std::function<void()>& action) {
        int answers = 0;
        const auto c =
            QObject::connect(history, &HistoryWindow::serverAnswered, [&answers] { ++answers; });
        action();
        EXPECT_TRUE(QTest::qWaitFor([&] { return answers > 0; }, 20000));
        QObject::disconnect(c);
    }
    QByteArray save() {
        files->answer = folder.filePath(QStringLiteral("saved%1.txt").arg(++saves));
        window->Command3_Click();
        QFile f(files->answer);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return f.readAll();
    }
    int saves = 0;

    static inline std::shared_ptr<PgCluster> cluster;
};

TEST_F(ServerWindow, ViewPagesThroughTheServerNewestFirstAsItScrolls) {
    QSet<QString> sent;
    for (int i = 0; i < 250; ++i) {
        const TestRecord t = Sent(i, QStringLiteral("站%1").arg(i));
        push(QStringLiteral("tester_b"), t);
        sent.insert(t.uuid);
    }
    HistoryWindow* history = serverView();
    ServerTestModel& model = history->serverModel();
    auto* table = history->findChild<QTableView*>(QStringLiteral("tests"));
    EXPECT_EQ(model.rowCount(), ServerArchive::PageSize);
    EXPECT_EQ(model.pagesAsked(), 1);
    for (int rows : {200, 250}) {
        table->scrollToBottom();
        EXPECT_TRUE(QTest::qWaitFor([&] { return model.rowCount() == rows; }, 20000))
            << model.rowCount();
        settle(history);
    }
    table->scrollToBottom();
    QTest::qWait(100);
    EXPECT_EQ(model.pagesAsked(), 3); // the last page was short: no fourth asked
    QSet<QString> shown;
    for (int row = 0; row < model.rowCount(); ++row) {
        shown.insert(model.test(row).uuid);
        if (row > 0) {
            EXPECT_GT(model.test(row - 1).started, model.test(row).started) << row;
        }
    }
    EXPECT_EQ(shown, sent);
    EXPECT_EQ(CountShown(history), QStringLiteral("250 条"));
    EXPECT_EQ(model.index(0, ServerTestModel::Origin).data().toString(),
              QStringLiteral("pc-7 (zhang)"));
    // Local-only actions are off for server rows.
    ASSERT_TRUE(history->selectServerTest(model.test(0).uuid));
    const std::pair<const char*, bool> actions[] = {
        {"删除", false}, {"拆分测试", false}, {"导入", false},
        {"打开", true},  {"测试信息", true},  {"copyToLocalButton", true}};
    for (const auto& [name, enabled] : actions)
        EXPECT_EQ(Enabled(history, name), enabled) << name;
}

// Typing: one page asked once typing pauses, a page of an earlier filter dropped; the server gone,
// the reason is told in the status line, never in a dialog.
TEST_F(ServerWindow, FilterAsksTheServerOnceTypingPauses) {
    const char* const stations[] = {"城南变", "城南变", "城南变",
                                    "城北站", "城北站", "Alpha Plant"};
    for (int i = 0; i < 6; ++i)
        push(QStringLiteral("tester_a"), Sent(i, QString::fromUtf8(stations[i])));
    HistoryWindow* history = serverView();
    ServerTestModel& model = history->serverModel();
    ASSERT_TRUE(history->selectServerTest(model.test(0).uuid));
    const struct {
        const char* filter;
        int rows;
    } cases[] = {{"城南变", 3}, {"城南", 3}, {"城", 5}, {"alpha", 1}, {"zz", 0}, {"", 6}};
    for (const auto& c : cases) {
        const int asked = model.pagesAsked();
        const QString text = QString::fromUtf8(c.filter); // typed a character at a time
        for (qsizetype n = text.isEmpty() ? 0 : 1; n <= text.size(); ++n)
            history->setFilterText(text.left(n));
        QTest::qWait(400);
        settle(history);
        EXPECT_EQ(model.rowCount(), c.rows) << c.filter;
        EXPECT_EQ(model.pagesAsked(), asked + 1) << c.filter;
        // The selection went with the rows before: nothing to open until one is chosen.
        EXPECT_FALSE(Enabled(history, "打开"));
        EXPECT_EQ(CountShown(history), QStringLiteral("%1 条").arg(c.rows));
        if (c.rows > 0) {
            ASSERT_TRUE(history->selectServerTest(model.test(0).uuid));
        }
    }
    int shown = 0;
    QObject::connect(&model, &ServerTestModel::pageShown, [&shown] { ++shown; });
    model.setFilter(QStringLiteral("城北站"));
    model.setFilter(QStringLiteral("城南变")); // before the first page came
    EXPECT_TRUE(QTest::qWaitFor([&] { return shown > 0; }, 20000));
    QTest::qWait(300);
    EXPECT_EQ(shown, 1);
    ASSERT_EQ(model.rowCount(), 3);
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(model.test(row).info.station, QStringLiteral("城南变"));
    ASSERT_TRUE(history->selectServerTest(model.test(0).uuid));
    answered(history, [&] {
        history->setServer(QStringLiteral("host=127.0.0.1 port=1 dbname=velantis "
                                          "user=tester_a connect_timeout=2"));
    });
    EXPECT_EQ(CountShown(history), QStringLiteral("0 条"));
    EXPECT_FALSE(Enabled(history, "打开"));
    for (const char* text : {"a", "ab", "abc"})
        history->setFilterText(QString::fromLatin1(text));
    answered(history, [] {});
    EXPECT_TRUE(history->serverStatus().contains(QStringLiteral("127.0.0.1")))
        << history->serverStatus().toStdString();
    EXPECT_EQ(OpenMessageBox(), nullptr);
}

// 打开 shows a server test as its local reopening; 复制到本机 keeps its uuid, once.
TEST_F(ServerWindow, OpenAndCopyToLocal) {
    download(5);
    TestRecord local;
    QList<ArchivedGroup> groups;
    ASSERT_TRUE(Archive(recordsPath()).find(1, &local, &groups, nullptr));
    window->ShowHistory();
    ASSERT_TRUE(window->historyWindow()->select(1));
    window->historyWindow()->openSelected();
    const QByteArray reopened = save();
    push(QStringLiteral("tester_a"), local, groups);
    const TestRecord sent = Sent(1, QStringLiteral("城南变"));
    push(QStringLiteral("tester_b"), sent);

    HistoryWindow* history = serverView();
    ASSERT_TRUE(history->selectServerTest(local.uuid));
    answered(history, [&] { history->openSelected(); });
    ASSERT_TRUE(window->serverTest().has_value());
    EXPECT_EQ(window->serverTest()->uuid, local.uuid);
    EXPECT_TRUE(window->titlePanelText().contains(QStringLiteral("服务器上的测试")))
        << window->titlePanelText().toStdString();
    EXPECT_EQ(save(), reopened);
    EXPECT_EQ(window->shownRecord(), 0); // no record here is the shown test

    ASSERT_TRUE(history->selectServerTest(sent.uuid));
    qint64 number = 0;
    QObject::connect(history, &HistoryWindow::copied, [&number](qint64 n) { number = n; });
    answered(history, [&] { history->findChild<QPushButton*>("copyToLocalButton")->click(); });
    TestRecord kept;
    ASSERT_TRUE(Archive(recordsPath()).find(number, &kept, &groups, nullptr));
    EXPECT_EQ(kept.uuid, sent.uuid);
    EXPECT_EQ(kept.info.station, sent.info.station);
    ASSERT_EQ(groups.size(), 3);
    EXPECT_EQ(groups[2].frame.toByteArray(), SentGroup(3).toByteArray());
    answered(history, [&] { history->copyToLocal(); });
    QMessageBox* box = OpenMessageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->text().contains(QStringLiteral("第 %1 号").arg(number)))
        << box->text().toStdString();
    QList<TestRecord> all;
    ASSERT_TRUE(Archive(recordsPath()).list(&all, nullptr));
    EXPECT_EQ(all.size(), 2);
}

// From 历史记录's 测试信息 or from the main window showing the test opened from the server.
TEST_F(ServerWindow, InfoEditsOnlyOnesOwnServerTests) {
    for (const auto& [sender, fromMainWindow] : {std::pair{"tester_a", false},
                                                 {"tester_b", false},
                                                 {"tester_a", true},
                                                 {"tester_b", true}}) {
        const bool applied = sender == std::string_view("tester_a");
        const TestRecord sent = Sent(1, QStringLiteral("城南变"));
        push(QString::fromLatin1(sender), sent);
        HistoryWindow* history = serverView(QStringLiteral("tester_a"));
        ASSERT_FALSE(history->serverRole().isEmpty());
        history->serverModel().refresh();
        settle(history);
        ASSERT_TRUE(history->selectServerTest(sent.uuid)) << sender;
        int asked = 0;
        history->setInfoRunner([&asked](TestInfoDialog& dialog) {
            ++asked;
            dialog.findChild<QLineEdit*>(QStringLiteral("station"))
                ->setText(QStringLiteral("北郊站"));
            return true;
        });
        if (fromMainWindow) {
            answered(history, [&] { history->openSelected(); });
            window->EditTestInfo();
        } else {
            answered(history, [&] { history->editInfo(); });
        }
        // A refused edit is waited for briefly: it must not arrive meanwhile either.
        const bool edited = QTest::qWaitFor([&] { return onServer(sent.uuid).revision == 2; },
                                            applied ? 20000 : 200);
        EXPECT_EQ(edited, applied) << sender;
        const TestRecord after = onServer(sent.uuid);
        EXPECT_EQ(asked, applied ? 1 : 0) << sender;
        EXPECT_EQ(after.info.station, applied ? QStringLiteral("北郊站") : sent.info.station)
            << sender;
        EXPECT_EQ(after.revision, applied ? 2 : 1) << sender;
        if (fromMainWindow) { // the report of the shown test says what the server holds
            EXPECT_TRUE(QTest::qWaitFor(
                [&] { return window->testInfo().station == after.info.station; }, 20000));
        }
        QMessageBox* box = OpenMessageBox();
        EXPECT_EQ(box != nullptr, !applied) << sender;
        if (box) {
            EXPECT_TRUE(box->text().contains(QStringLiteral("不是你的测试")))
                << box->text().toStdString();
            box->close();
        }
    }
}

TEST_F(ServerWindow, DialogAsksForThePasswordAndWritesItOwnerOnly) {
    const QString pgpass = folder.filePath(QStringLiteral("pgpass"));
    window->findChild<QAction*>(QStringLiteral("serverAction"))->trigger();
    ServerDialog* dialog = window->serverDialog();
    ASSERT_NE(dialog, nullptr);
    dialog->setPasswordFile(pgpass);
    const QString connInfo = conn(QStringLiteral("tester_a"));
    dialog->setFields(FieldsOf(connInfo));
    bool connected = false;
    int tests = 0;
    QObject::connect(dialog, &ServerDialog::tested, [&](bool ok) {
        connected = ok;
        ++tests;
    });
    auto* button = dialog->findChild<QPushButton*>(QStringLiteral("testConnectionButton"));
    button->click();
    EXPECT_TRUE(dialog->testing()); // the window goes on while the server is asked
    EXPECT_TRUE(QTest::qWaitFor([&] { return tests == 1; }, 20000));
    EXPECT_FALSE(connected);
    auto* password = dialog->findChild<QLineEdit*>(QStringLiteral("password"));
    ASSERT_FALSE(password->isHidden()) << dialog->status().toStdString();
    password->setText(PgCluster::Password(QStringLiteral("tester_a")));
    dialog->findChild<QCheckBox*>(QStringLiteral("savePassword"))->setChecked(true);
    button->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return tests == 2; }, 20000));
    EXPECT_TRUE(connected) << dialog->status().toStdString();
    for (const char* shown : {"PostgreSQL 15", "tester_a", "读取", "添加", "修改"})
        EXPECT_TRUE(dialog->status().contains(QString::fromUtf8(shown)))
            << shown << " in " << dialog->status().toStdString();
    dialog->accept();
    EXPECT_EQ(RememberedServer(ProgramSettings()), connInfo);
    QFile file(pgpass);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QStringLiteral("localhost:%1:velantis:tester_a:tester_a-pw\n")
                                  .arg(cluster->port())
                                  .toUtf8());
    EXPECT_TRUE(OwnerOnly(pgpass));
    // The server emptied: forgotten, and the sync to the one before ends.
    auto* syncNow = window->findChild<QAction*>(QStringLiteral("syncNowAction"));
    EXPECT_TRUE(syncNow->isEnabled());
    window->findChild<QAction*>(QStringLiteral("serverAction"))->trigger();
    window->serverDialog()->setFields({.kind = ServerFields::Kind::Raw});
    window->serverDialog()->accept();
    EXPECT_TRUE(RememberedServer(ProgramSettings()).isEmpty());
    EXPECT_FALSE(syncNow->isEnabled());
}

TEST_F(ServerWindow, DialogTellsTheRightsAndABrowsingOnlySchema) {
    const struct {
        const char* role;
        int schema;
        const char* shown;
        bool browsingOnly;
    } cases[] = {{"tester_b", 1, "tester_b", false},
                 {"admin_a", 1, "删除", false},
                 {"tester_a", 2, "只能浏览", true}};
    for (const auto& c : cases) {
        cluster->sql(QStringLiteral("UPDATE velantis_schema SET version = %1").arg(c.schema));
        ASSERT_TRUE(AddPasswordLine(
            folder.filePath(QStringLiteral("pgpass")),
            QStringLiteral("*:*:*:%1:%2").arg(c.role, PgCluster::Password(c.role)), nullptr));
        ServerDialog dialog(conn(QString::fromLatin1(c.role)), *files);
        bool done = false;
        QObject::connect(&dialog, &ServerDialog::tested, [&done] { done = true; });
        dialog.testConnection();
        EXPECT_TRUE(QTest::qWaitFor([&] { return done; }, 20000));
        EXPECT_TRUE(dialog.status().contains(QString::fromUtf8(c.shown)))
            << dialog.status().toStdString();
        EXPECT_EQ(dialog.status().contains(QStringLiteral("只能浏览")), c.browsingOnly)
            << dialog.status().toStdString();
    }
}

// A server that takes the connection and never answers: Cancel closes the dialog at once, and
// the test under way ends on its own thread later.
TEST(ServerDialogWait, CancelLeavesWhileTheServerKeepsSilent) {
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    AnsweringDialogs files;
    auto* dialog = new ServerDialog(
        QStringLiteral("host=127.0.0.1 port=%1 dbname=velantis user=u connect_timeout=2")
            .arg(silent.serverPort()),
        files);
    dialog->show();
    dialog->testConnection();
    EXPECT_TRUE(QTest::qWaitFor([&] { return silent.hasPendingConnections(); }, 5000));
    EXPECT_TRUE(dialog->testing());
    QElapsedTimer waited;
    waited.start();
    dialog->reject();
    delete dialog;
    EXPECT_LT(waited.elapsed(), 500);
    QTest::qWait(3000); // the libpq wait ends meanwhile: nothing left to answer to
}

} // namespace
