// SPDX-License-Identifier: GPL-3.0-or-later
// The command-line tool's own surface: its help, its version, the options it refuses, and the
// start-up check of the GBK codec.
#include "cli/records.h"
#include "cli/session.h"
#include "records/text_codec.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <functional>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

using namespace velantis;

namespace {

struct CliResult {
    int exitCode = -1;
    QString out, err;
};

// Runs the tool; `lang` is the locale it runs in (the C locale unless told otherwise, whatever the
// tests were started in).
CliResult Cli(const QStringList& args, const QString& lang = QStringLiteral("C")) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LC_NUMERIC", "LANGUAGE"})
        env.remove(QLatin1String(name));
    env.insert(QStringLiteral("LANG"), lang);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(VELANTIS_CLI), args);
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit)
        return {};
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

bool HasChinese(const QString& text) {
    return std::any_of(text.cbegin(), text.cend(), [](QChar c) {
        return (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF) ||
               (c.unicode() >= 0x3000 && c.unicode() <= 0x303F) ||
               (c.unicode() >= 0xFF00 && c.unicode() <= 0xFFEF);
    });
}

TEST(Cli, HelpNamesEveryCommandWithAnExample) {
    const CliResult r = Cli({QStringLiteral("--help")});
    EXPECT_EQ(r.exitCode, 0);
    for (const char* command : {"decode", "simulate", "live", "download"}) {
        EXPECT_TRUE(r.out.contains(QStringLiteral("  %1 ").arg(QLatin1String(command)))) << command;
        EXPECT_TRUE(
            r.out.contains(QStringLiteral("e.g. velantis-cli %1").arg(QLatin1String(command))))
            << command;
    }
    const CliResult version = Cli({QStringLiteral("--version")});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.out.startsWith(QStringLiteral("velantis-cli ")));
}

TEST(Cli, TimeoutMustBeAFiniteNumberInRange) {
    for (const char* value : {"nan", "inf", "-inf", "2200000", "86401", "0", "-1", "1e400", "x"}) {
        for (const char* command : {"live", "download"}) {
            const CliResult r =
                Cli({QLatin1String(command), QStringLiteral("--timeout"), QLatin1String(value)});
            EXPECT_EQ(r.exitCode, 2) << command << " --timeout " << value;
            EXPECT_TRUE(r.err.contains(QStringLiteral("--timeout"))) << r.err.toStdString();
        }
    }
}

TEST(Cli, MissingGbkCodecStopsWithItsOwnExitCode) {
    const CodecLookup none = [](const char*) { return false; };
    const CodecLookup onlyGbk = [](const char* name) { return QByteArray(name) == "GBK"; };
#ifndef Q_OS_WIN // Windows always has code page 936
    EXPECT_FALSE(GbkCodecAvailable(none));
    EXPECT_EQ(RunDownload({}, none), NoGbkCodecExitCode);
    EXPECT_EQ(RunLive({}, none), NoGbkCodecExitCode);
#endif
    EXPECT_TRUE(GbkCodecAvailable(onlyGbk));
    EXPECT_TRUE(GbkCodecAvailable()) << "Debian's Qt has ICU";
    EXPECT_NE(NoGbkCodecExitCode, 2);
    EXPECT_TRUE(NoGbkCodecMessage().contains(QStringLiteral("GBK")));
}

// The tool speaks Chinese in a Chinese locale and English elsewhere (the C locale included);
// --lang, before or after the command, decides over the locale. Option names stay as typed.
TEST(Cli, SpeaksTheLanguageOfTheLocaleOrOfLang) {
    const QString zh = QStringLiteral("zh_CN.UTF-8");
    const struct {
        const char* name;
        QString locale;
        QStringList args;
        bool chinese;
        int exitCode;
        const char* kept; // a text that stays in either language
    } cases[] = {
        {"C locale", "C", {"--help"}, false, 0, "--port N=DEVICE"},
        {"Chinese locale", zh, {"--help"}, true, 0, "--port N=DEVICE"},
        {"--lang zh in the C locale", "C", {"--lang", "zh", "--help"}, true, 0, "--version"},
        {"--lang en in a Chinese locale", zh, {"--lang=en", "--help"}, false, 0, "--version"},
        {"a command's help, --lang after it",
         "C",
         {"download", "--lang", "zh", "--help"},
         true,
         0,
         "--port <N=DEVICE>"},
        {"a command's help in a Chinese locale", zh, {"download", "--help"}, true, 0, "--csv"},
        {"a command's help, --lang en",
         zh,
         {"download", "--help", "--lang", "en"},
         false,
         0,
         "--csv"},
#ifdef Q_OS_UNIX // the simulator runs on a pseudo-terminal
        {"the simulator's help",
         "C",
         {"--lang", "zh", "simulate", "--help"},
         true,
         0,
         "--latency-timer MS"},
#endif
        {"an error", "C", {"live", "--lang=zh", "--count", "0"}, true, 2, "--count"},
        {"an error in English", zh, {"live", "--lang=en", "--count", "0"}, false, 2, "--count"},
        {"a core error", "C", {"download", "--lang=zh", "--port", "0=x"}, true, 2, "N=DEVICE"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CliResult r = Cli(c.args, c.locale);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err.toStdString();
        const QString said = c.exitCode == 0 ? r.out : r.err;
        EXPECT_EQ(HasChinese(said), c.chinese) << said.toStdString();
        EXPECT_TRUE(said.contains(QLatin1String(c.kept))) << said.toStdString();
        if (c.chinese && c.exitCode == 0) {
            EXPECT_TRUE(said.contains(QStringLiteral("用法"))) << said.toStdString();
        }
    }

    for (const QStringList& args : {QStringList{"--lang", "xx"}, QStringList{"--lang=fr", "--help"},
                                    QStringList{"download", "--help", "--lang"}}) {
        const CliResult r = Cli(args);
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("--lang"))) << r.err.toStdString();
    }
}

// What the tool writes as data - decode's JSON, the list Save writes, the CSV with its verdicts -
// is the same bytes whatever language it speaks.
TEST(Cli, DataIsTheSameInEveryLanguage) {
    const QStringList demo{"--demo", "--demo-groups", "12", "--no-archive"};
    const QStringList commands[] = {
        {"decode", "03E8311388330000330000330000", "8F0064320277"},
        QStringList{"download"} + demo,
        QStringList{"download", "--csv", "--class", "0.5"} + demo,
    };
    for (const QStringList& command : commands) {
        SCOPED_TRACE(command.join(' ').toStdString());
        const CliResult english = Cli(command + QStringList{"--lang", "en"});
        ASSERT_FALSE(english.out.isEmpty()) << english.err.toStdString();
        for (const CliResult& other :
             {Cli(command + QStringList{"--lang", "zh"}), Cli(command, "zh_CN.UTF-8")}) {
            EXPECT_EQ(other.exitCode, english.exitCode);
            EXPECT_EQ(other.out, english.out);
        }
    }
}

// The text a field of `records list` stood for.
QString Unescaped(const QString& field) {
    QString out;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] != u'\\' || i + 1 == field.size()) {
            out += field[i];
            continue;
        }
        const QChar c = field[++i];
        out += c == u't' ? u'\t' : c == u'r' ? u'\r' : c == u'n' ? u'\n' : c;
    }
    return out;
}

// Whatever a field holds, a test is one line of eight tab-separated fields, the last one how its
// download ended.
TEST(Cli, RecordsListLineIsOneLineOfEightFieldsEndingWithHowTheDownloadEnded) {
    const struct {
        QString station;
        QString serial;
        DownloadEnd ending;
        int announced;
        int stored;
        const char* endingField;
    } cases[] = {
        {"城南变", "CT-1", DownloadEnd::EndFrame, 60, 60, "complete"},
        {"A\t2026-01-01\tforged\n99\tx", "s", DownloadEnd::LinkLost, 100, 58, "58/100 link-lost"},
        {"back\\slash\r\n", "tab\tserial", DownloadEnd::Watchdog, -1, 3, "3/? watchdog"},
        {"%1 %2 %7", "\\t", DownloadEnd::Interrupted, 200, 57, "57/200 interrupted"},
        {"", "", DownloadEnd::StoreFull, 4100, 4000, "4000/4100 store-full"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.station.toStdString());
        TestRecord t;
        t.number = 7;
        t.ended = QDateTime(QDate(2026, 11, 30), QTime(9, 5, 1));
        t.info.station = c.station;
        t.info.serial = c.serial;
        t.ending = c.ending;
        t.announced = c.announced;
        t.stored = c.stored;
        t.pass = 2;
        t.fail = 1;
        const QString line = RecordsListLine(t);
        EXPECT_FALSE(line.contains(u'\n') || line.contains(u'\r')) << line.toStdString();
        const QStringList fields = line.split(u'\t');
        ASSERT_EQ(fields.size(), 8) << line.toStdString();
        EXPECT_EQ(fields[0], QStringLiteral("7"));
        EXPECT_EQ(fields[1], QStringLiteral("2026-11-30 09:05:01"));
        EXPECT_EQ(Unescaped(fields[2]), c.station);
        EXPECT_EQ(Unescaped(fields[3]), c.serial);
        EXPECT_EQ(fields[4], QString::number(c.stored));
        EXPECT_EQ(fields[5], QStringLiteral("合格 2"));
        EXPECT_EQ(fields[6], QStringLiteral("超差 1"));
        EXPECT_EQ(fields[7], QLatin1String(c.endingField));
    }
}

// Runs velantis-cli in a folder as a user whom file permissions bind: the tests' own user, or
// "nobody" (the folder then given to it) where the tests run as root. `why` says why there is none.
struct Runner {
    QStringList prefix; // the program and its first arguments
    QString folder;
    QString why;

    explicit Runner(const QString& in) : folder(in) {
        prefix = {QStringLiteral(VELANTIS_CLI)};
#ifdef Q_OS_UNIX
        if (::geteuid() != 0)
            return;
        const passwd* nobody = ::getpwnam("nobody");
        const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
        if (!nobody || setpriv.isEmpty()) {
            why = QStringLiteral("running as root, and no user 'nobody' or no setpriv");
            return;
        }
        if (::chown(QFile::encodeName(folder).constData(), nobody->pw_uid, nobody->pw_gid) != 0) {
            why = QStringLiteral("cannot give the folder to 'nobody'");
            return;
        }
        prefix = QStringList{setpriv, QStringLiteral("--reuid=%1").arg(nobody->pw_uid),
                             QStringLiteral("--regid=%1").arg(nobody->pw_gid),
                             QStringLiteral("--clear-groups"), QStringLiteral(VELANTIS_CLI)};
#else
        why = QStringLiteral("no file permissions to test here");
#endif
    }

    CliResult operator()(const QStringList& args) const {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANGUAGE", "XDG_RUNTIME_DIR"})
            env.remove(QLatin1String(name));
        env.insert(QStringLiteral("LANG"), QStringLiteral("C"));
        env.insert(QStringLiteral("HOME"), folder);
        env.insert(QStringLiteral("XDG_DATA_HOME"), folder);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), folder);
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(folder);
        p.start(prefix.first(), prefix.mid(1) + args);
        if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
            return {};
        return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }
};

const QStringList DemoDownload{"download", "--demo", "--demo-groups", "3", "--records", "a.sqlite"};

// Runs SQL on an SQLite file as another program would.
void Sql(const QString& path, const QStringList& statements) {
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("t"));
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        for (const QString& sql : statements)
            EXPECT_TRUE(QSqlQuery(db).exec(sql)) << sql.toStdString();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("t"));
}

// A run that found the record database read-only leaves nothing behind that keeps a later run
// from writing once the file is writable again.
TEST(Cli, ARunOnAReadOnlyDatabaseLeavesNothingThatStopsALaterWrite) {
    QTemporaryDir dir;
    const Runner run(dir.path());
    if (!run.why.isEmpty())
        GTEST_SKIP() << run.why.toStdString();
    const QString database = dir.filePath(QStringLiteral("a.sqlite"));
    CliResult r = run(DemoDownload);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    ASSERT_TRUE(r.err.contains(QStringLiteral("archived as test 1"))) << r.err.toStdString();
    const auto readOnly = QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
    ASSERT_TRUE(QFile::setPermissions(database, readOnly));
    r = run({"records", "list", "--records", "a.sqlite"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    r = run(DemoDownload);
    EXPECT_TRUE(r.err.contains(QStringLiteral("not archived")) &&
                r.err.contains(QStringLiteral("read-only")))
        << r.err.toStdString();
    EXPECT_EQ(run({"records", "delete", "1", "--records", "a.sqlite"}).exitCode, 5);

    ASSERT_TRUE(QFile::setPermissions(database, readOnly | QFileDevice::WriteOwner));
    r = run(DemoDownload);
    EXPECT_TRUE(r.err.contains(QStringLiteral("archived as test 2"))) << r.err.toStdString();
    r = run({"records", "delete", "1", "--records", "a.sqlite"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(run({"records", "list", "--records", "a.sqlite"}).out.count(u'\n'), 1);
}

// Every message of the record database speaks the tool's language: with --lang zh no line of
// it is without Chinese, with --lang en none has Chinese.
TEST(Cli, RecordDatabaseMessagesSpeakTheChosenLanguage) {
    const auto download = [](const Runner& run) { run(DemoDownload); };
    const struct {
        const char* name;
        std::function<void(const Runner&)> make;
        QStringList args;
        bool needsUser; // file permissions must bind the tool
    } cases[] = {
        {"no record database", nullptr, {"records", "list"}, false},
        {"another program's database",
         [](const Runner& run) {
             Sql(run.folder + QStringLiteral("/a.sqlite"),
                 {QStringLiteral("CREATE TABLE notes (text TEXT)")});
         },
         {"records", "show", "1"},
         false},
        {"a damaged file renamed aside",
         [](const Runner& run) {
             QFile f(run.folder + QStringLiteral("/a.sqlite"));
             ASSERT_TRUE(f.open(QIODevice::WriteOnly));
             f.write(QByteArray(4096, 'x'));
         },
         {"records", "delete", "1"},
         false},
        {"a later version's database",
         [&](const Runner& run) {
             download(run);
             Sql(run.folder + QStringLiteral("/a.sqlite"),
                 {QStringLiteral("PRAGMA user_version = 9")});
         },
         {"records", "delete", "1"},
         false},
        {"a read-only database",
         [&](const Runner& run) {
             download(run);
             QFile::setPermissions(run.folder + QStringLiteral("/a.sqlite"),
                                   QFileDevice::ReadOwner);
         },
         {"records", "delete", "1"},
         true},
        {"no such test", download, {"records", "show", "99"}, false},
    };
    for (const auto& c : cases) {
        for (const bool chinese : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (chinese ? " zh" : " en"));
            QTemporaryDir dir;
            const Runner run(dir.path());
            if (c.needsUser && !run.why.isEmpty())
                continue; // told by the read-only test
            if (c.make)
                c.make(run);
            const CliResult r =
                run(c.args + QStringList{"--records", "a.sqlite", "--lang", chinese ? "zh" : "en"});
            EXPECT_NE(r.exitCode, 0);
            const QStringList lines = r.err.split(u'\n', Qt::SkipEmptyParts);
            EXPECT_FALSE(lines.isEmpty());
            for (const QString& line : lines)
                EXPECT_EQ(HasChinese(line), chinese) << line.toStdString();
        }
    }
}

// Reading commands open an existing database and nothing else; an option a command does not take
// is a usage error.
TEST(Cli, ReadingCommandsMakeNoDatabaseAndRefuseOptionsTheyDoNotTake) {
    QTemporaryDir dir;
    const Runner run(dir.path());
    const struct {
        QStringList args;
        const char* said;
    } cases[] = {
        {{"list", "--records", "typo/dir/x.sqlite"}, "no record database at typo/dir/x.sqlite"},
        {{"show", "1"}, "no record database at a.sqlite"},
        {{"export", "1", "--csv"}, "no record database"},
        {{"delete", "1"}, "no record database"},
        {{"show", "1", "--csv"}, "--csv"},
        {{"list", "--report", "r.pdf"}, "--report"},
        {{"delete", "1", "--filter", "x"}, "--filter"},
        {{"show", "1", "-o", "x.txt"}, "-o"},
        {{"export", "1", "--report", "r.pdf", "-o", "x.txt"}, "-o"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(u' ').toStdString());
        QStringList args = QStringList{"records"} + c.args;
        if (!c.args.contains(QStringLiteral("--records")))
            args << QStringLiteral("--records") << QStringLiteral("a.sqlite");
        const CliResult r = run(args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_TRUE(r.err.contains(QLatin1String(c.said))) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_TRUE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty())
            << "nothing made";
    }
}

} // namespace
