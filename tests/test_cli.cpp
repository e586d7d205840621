// SPDX-License-Identifier: GPL-3.0-or-later
// The command-line tool's own surface: its help, its version, the options it refuses, and the
// start-up check of the GBK codec.
#include "cli/records.h"
#include "cli/session.h"
#include "records/text_codec.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <functional>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

#include <gtest/gtest.h>

using namespace velantis;

namespace {

struct CliResult {
    int exitCode = -1;
    QString out, err;
    QByteArray bytes; // the standard output as written
};

CliResult Finished(QProcess& p, int milliseconds) {
    if (!p.waitForFinished(milliseconds) || p.exitStatus() != QProcess::NormalExit)
        return {};
    const QByteArray out = p.readAllStandardOutput();
    return {p.exitCode(), QString::fromUtf8(out), QString::fromUtf8(p.readAllStandardError()), out};
}

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
    return Finished(p, 30000);
}

// The words of a command line, split at spaces.
QStringList Args(const char* words) {
    return QString::fromUtf8(words).split(u' ', Qt::SkipEmptyParts);
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray FileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
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
    for (const char* command : {"records", "server schema"})
        EXPECT_TRUE(r.out.contains(QStringLiteral("  %1 ").arg(QLatin1String(command)))) << command;
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

// Whatever a field holds, a test is one line of fourteen tab-separated fields: how its download
// ended the eighth, its range of groups and its download's id after it, then its identity (uuid,
// origin PC and user, revision).
TEST(Cli, RecordsListLineIsOneLineOfFieldsEndingWithTheRangeTheDownloadAndTheIdentity) {
    const struct {
        QString station;
        const char* shown;
        DownloadEnd ending;
        int announced;
        const char* endingField;
    } cases[] = {
        {"城南变", "城南变", DownloadEnd::EndFrame, 58, "complete"},
        {"A\t1\tforged\n9", "A\\t1\\tforged\\n9", DownloadEnd::LinkLost, 100, "58/100 link-lost"},
        {"\\\r%1", "\\\\\\r%1", DownloadEnd::Watchdog, -1, "58/? watchdog"},
    };
    for (const auto& c : cases) {
        TestRecord t;
        t.info.station = c.station;
        t.ending = c.ending;
        t.announced = c.announced;
        t.stored = 58;
        t.firstGroup = 3;
        t.lastGroup = 60;
        t.download = QStringLiteral("d-1");
        t.uuid = QStringLiteral("u-1");
        t.originPc = c.station; // escaped as every field
        t.originUser = QStringLiteral("wang");
        t.revision = 3;
        const QStringList fields = RecordsListLine(t).split(u'\t');
        ASSERT_EQ(fields.size(), 14) << RecordsListLine(t).toStdString();
        EXPECT_EQ(fields[2], QString::fromUtf8(c.shown));
        EXPECT_EQ(fields[4], QStringLiteral("58"));
        EXPECT_EQ(fields[7], QLatin1String(c.endingField));
        EXPECT_EQ(fields[8], QStringLiteral("3-60"));
        EXPECT_EQ(fields[9], QStringLiteral("d-1"));
        EXPECT_EQ(fields.mid(10), (QStringList{QStringLiteral("u-1"), QString::fromUtf8(c.shown),
                                               QStringLiteral("wang"), QStringLiteral("3")}));
    }
}

// Runs velantis-cli in a folder as a user whom file permissions bind: the tests' own, or "nobody"
// (given the folder) where the tests run as root; `why` tells why there is none.
struct Runner {
    QString folder;
    QStringList command{QStringLiteral(VELANTIS_CLI)};
    QString why;

    explicit Runner(const QString& in) : folder(in) {
#ifdef Q_OS_UNIX
        if (::geteuid() != 0)
            return;
        if (QStandardPaths::findExecutable(QStringLiteral("runuser")).isEmpty() ||
            QProcess::execute(QStringLiteral("chown"), {QStringLiteral("nobody"), folder}) != 0)
            why = QStringLiteral("root, and no user 'nobody' or no runuser to run as another");
        else
            command = Args("runuser -u nobody --") + command;
#else
        why = QStringLiteral("no file permissions here");
#endif
    }
    CliResult operator()(const QStringList& args) const {
        QProcess p;
        p.setWorkingDirectory(folder);
        p.start(command.first(), command.mid(1) + args + Args("--records a.sqlite"));
        return Finished(p, 60000);
    }
    QString database() const {
        return folder + QStringLiteral("/a.sqlite");
    }
    // Runs SQL on the folder's a.sqlite as another program would.
    void sql(const QString& statement) const {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), folder);
            db.setDatabaseName(database());
            EXPECT_TRUE(db.open() && QSqlQuery(db).exec(statement)) << statement.toStdString();
        }
        QSqlDatabase::removeDatabase(folder);
    }
};

const QStringList DemoDownload = Args("download --demo --demo-groups 3");

// A run that found the record database read-only leaves nothing behind that keeps a later run
// from writing once the file is writable again.
TEST(Cli, ARunOnAReadOnlyDatabaseLeavesNothingThatStopsALaterWrite) {
    QTemporaryDir dir;
    const Runner run(dir.path());
    if (!run.why.isEmpty())
        GTEST_SKIP() << run.why.toStdString();
    ASSERT_TRUE(run(DemoDownload).err.contains(QStringLiteral("archived as test 1")));
    ASSERT_TRUE(QFile::setPermissions(run.database(), QFileDevice::ReadOwner));
    EXPECT_EQ(run(Args("records list")).exitCode, 0);
    EXPECT_TRUE(run(DemoDownload).err.contains(QStringLiteral("read-only")));
    ASSERT_TRUE(
        QFile::setPermissions(run.database(), QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    const CliResult r = run(DemoDownload);
    EXPECT_TRUE(r.err.contains(QStringLiteral("archived as test 2"))) << r.err.toStdString();
    EXPECT_EQ(run(Args("records delete 1")).exitCode, 0);
}

// Each way a record command can fail: its exit code, every line it says in the chosen language
// (with --lang zh none without Chinese, with --lang en none with Chinese), and a reading command
// that makes, migrates or renames nothing.
TEST(Cli, RecordCommandsFailInTheChosenLanguageAndReadingLeavesFilesAsTheyAre) {
    const auto damaged = [](const Runner& run) {
        ASSERT_TRUE(WriteFile(run.database(), QByteArray(4096, 'x')));
    };
    const auto foreign = [](const Runner& run) { run.sql("CREATE TABLE notes (text TEXT)"); };
    const auto kept = [](const Runner& run) { run(DemoDownload); };
    const char* const readOnly = "a read-only database"; // file permissions must bind the tool
    const struct {
        const char* name;
        std::function<void(const Runner&)> make;
        const char* args;
        int exitCode;
        bool untouched; // the folder as it was before
    } cases[] = {
        {"no database, read", nullptr, "records list", 2, true},
        {"no database, deleted from", nullptr, "records delete 1", 2, true},
        {"another program's database, read", foreign, "records list", 5, true},
        {"another program's database, written", foreign, "download --demo --demo-groups 3", 0,
         true},
        {"a damaged file, read", damaged, "records show 1", 5, true},
        {"a damaged file, renamed aside", damaged, "records delete 1", 2, false},
        {"a later version's database",
         [&](const Runner& run) {
             kept(run);
             run.sql("PRAGMA user_version = 9");
         },
         "records delete 1", 5, false},
        {"no such test", kept, "records show 99", 2, false},
        {"an option the command does not take", kept, "records show 1 --csv", 2, false},
        {readOnly,
         [&](const Runner& run) {
             kept(run);
             QFile::setPermissions(run.database(), QFileDevice::ReadOwner);
         },
         "records delete 1", 5, false},
    };
    for (const auto& c : cases) {
        for (const char* language : {"zh", "en"}) {
            SCOPED_TRACE(std::string(c.name) + " " + language);
            QTemporaryDir dir;
            const Runner run(dir.path());
            if (c.name == readOnly && !run.why.isEmpty())
                continue; // told by the read-only test
            if (c.make)
                c.make(run);
            const auto files = [&] {
                QStringList out;
                for (const QFileInfo& f : QDir(dir.path()).entryInfoList(QDir::Files))
                    out << f.fileName() + QString::number(f.size()) + f.lastModified().toString();
                return out;
            };
            const QStringList before = files();
            const CliResult r = run(Args(c.args) << "--lang" << language);
            EXPECT_EQ(r.exitCode, c.exitCode) << r.err.toStdString();
            const QStringList lines = r.err.split(u'\n', Qt::SkipEmptyParts);
            EXPECT_FALSE(lines.isEmpty());
            for (const QString& line : lines)
                EXPECT_EQ(HasChinese(line), *language == 'z') << line.toStdString();
            EXPECT_TRUE(!c.untouched || files() == before);
        }
    }
}

// The file pdfdetach saves as the PDF's first attachment.
QByteArray Attachment(const QString& pdf, const QString& folder) {
    const QString saved = QDir(folder).filePath(QStringLiteral("attachment.json"));
    QFile::remove(saved);
    QProcess::execute(QStringLiteral("pdfdetach"), Args("-save 1 -o") << saved << pdf);
    return FileBytes(saved);
}

TEST(Cli, ATestTravelsAsJsonToAnotherDatabaseByteForByteAndEveryReportCarriesIt) {
    QTemporaryDir dir;
    const auto in = [&](const char* name) { return dir.filePath(QLatin1String(name)); };
    const QString one = in("one.sqlite"), two = in("two.sqlite");
    QStringList download = Args("download --demo --demo-groups 30 --class 0.5 --guard 0.05 --info "
                                "set-calibration=2026-01-31 --records")
                           << one << "-o" << in("list.txt") << "--report" << in("d.pdf");
    for (const TestInfoTextField& f : TestInfoTextFields)
        download << QStringLiteral("--info")
                 << QStringLiteral("%1=%1 值").arg(QLatin1String(f.key));
    const CliResult downloaded = Cli(download);
    ASSERT_EQ(downloaded.exitCode, 0) << downloaded.err.toStdString();
    const auto records = [](const char* command, const QString& database) {
        return Cli(Args(command) << "--records" << database);
    };
    const CliResult exported = records("records export 1 --json", one);
    ASSERT_EQ(exported.exitCode, 0);
    const QByteArray json = exported.bytes;
    for (const char* field : {"\"set-serial\": \"set-serial 值\"", "\"guard-band\": \"0.05\"",
                              "\"set-calibration\": \"2026-01-31\""})
        EXPECT_TRUE(exported.out.contains(QString::fromUtf8(field))) << field;
    // The CSV of the kept test is judged under its guard band, as the report is.
    const CliResult csv = records("records export 1 --csv", one);
    EXPECT_TRUE(csv.out.contains(QStringLiteral("接受限(%)"))) << csv.out.left(300).toStdString();
    ASSERT_EQ(Cli(Args("records export 1 --report") << in("e.pdf") << "--records" << one).exitCode,
              0);

    const QString file = in("test.json");
    ASSERT_TRUE(WriteFile(file, json));
    const QStringList import = Args("records import") << file << "--records" << two;
    EXPECT_EQ(Cli(import).exitCode, 0);
    const CliResult again = Cli(import);
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_TRUE(again.err.contains(QStringLiteral("skipped"))) << again.err.toStdString();
    // Save's bytes of the imported test are those of the download.
    const QByteArray shown = records("records show 1", two).bytes;
    EXPECT_EQ(shown, FileBytes(in("list.txt")));
    EXPECT_EQ(records("records show 1", one).bytes, shown);
    EXPECT_EQ(records("records export 1 --json", two).bytes, json);
    // The reports carry the same bytes (read back where poppler's pdfdetach is at hand).
    if (QStandardPaths::findExecutable(QStringLiteral("pdfdetach")).isEmpty())
        GTEST_SKIP() << "no pdfdetach (poppler-utils) to read the reports' attachment";
    EXPECT_EQ(Attachment(in("d.pdf"), dir.path()), json);
    EXPECT_EQ(Attachment(in("e.pdf"), dir.path()), json);
}

TEST(Cli, AFileThatIsNoTestIsRefusedWithItsPlaceAndNothingOfItIsKept) {
    QTemporaryDir dir;
    const QString records = dir.filePath(QStringLiteral("r.sqlite"));
    const struct {
        const char* name;
        QByteArray bytes;
        const char* told;
    } cases[] = {
        {"list.txt",
         QByteArray("\xB5\xDA"
                    "0001\xD7\xE9    100.0A\r\n"),
         "a saved list, which does not hold the rated ratio"},
        {"frame.json",
         QByteArray("{\"format\": \"velantis-test\", \"version\": 1, \"info\": {}, \"download\": "
                    "{\"ending\": \"complete\", \"announced\": 1}, \"groups\": [{\"group\": 1, "
                    "\"frame\": \"00000000000000000000000000000000000000FF\"}]}"),
         "groups[0].frame: the frame's checksum is wrong"},
    };
    for (const auto& c : cases) {
        const QString path = dir.filePath(QLatin1String(c.name));
        ASSERT_TRUE(WriteFile(path, c.bytes));
        const CliResult r = Cli(Args("records import") << path << "--records" << records);
        EXPECT_EQ(r.exitCode, 2) << c.name;
        EXPECT_TRUE(r.err.contains(QDir::toNativeSeparators(path) + QStringLiteral(": ")) &&
                    r.err.contains(QLatin1String(c.told)))
            << r.err.toStdString();
        EXPECT_TRUE(Cli(Args("records list --records") << records).out.isEmpty()) << c.name;
    }
}

TEST(Cli, GuardBandAndInformationOutOfRangeAreRefusedBeforeAnyDownload) {
    for (const char* options :
         {"--class 0.2S --guard 0.2", "--guard 0.05", "--info set-calibration=2026-02-30",
          "--info logo=/dev/null", "--info nameplate=x"}) {
        const QStringList words = Args(options);
        const CliResult r = Cli(Args("download --no-archive") + words);
        EXPECT_EQ(r.exitCode, 2) << options;
        EXPECT_TRUE(r.err.contains(words.at(words.size() - 2))) << r.err.toStdString();
    }
}

// The rows of `records show N`: the group lines of the list.
QStringList ShownRows(const QStringList& records, qint64 number) {
    const CliResult r = Cli(Args("records show") << QString::number(number) << records);
    QStringList rows;
    for (const QByteArray& line : r.bytes.split('\n')) {
        if (line.startsWith("\xb5\xda")) // 第 in GBK: a group's row
            rows << QString::fromLatin1(line.toHex());
    }
    return rows;
}

// Split and merge through the command line: after each step the tests of the first download
// with their ranges, and their `records show` rows together the download's rows, in order.
TEST(Cli, SplitAndMergeKeepEveryRowOfTheDownloadOnceAndRefuseWhatCannotBe) {
    QTemporaryDir dir;
    const QStringList records = {QStringLiteral("--records"),
                                 dir.filePath(QStringLiteral("a.sqlite"))};
    ASSERT_EQ(Cli(Args("download --demo --demo-groups 30 --class 0.5") + records).exitCode, 0);
    const QStringList whole = ShownRows(records, 1);
    ASSERT_EQ(whole.size(), 30);
    const struct {
        const char* command;
        int exitCode;
        const char* ranges; // the first download's tests, "number:first-last" in group order
    } steps[] = {
        {"records split 1 --at 11,21", 0, "1:1-10 2:11-20 3:21-30"},
        {"records split 2 --at 5", 2, "1:1-10 2:11-20 3:21-30"}, // not inside test 2
        {"records split 2 --at x", 2, "1:1-10 2:11-20 3:21-30"},
        {"records merge 1 3", 2, "1:1-10 2:11-20 3:21-30"}, // test 2 lies between
        {"records merge 3 2 1", 0, "3:1-30"},
        // The demo instrument changes its setting every three groups.
        {"records split 3 --by-setting", 0,
         "3:1-3 4:4-6 5:7-9 6:10-12 7:13-15 8:16-18 9:19-21 10:22-24 11:25-27 12:28-30"},
        {"records merge 3 4 5 6 7 8 9 10 11 12", 0, "3:1-30"},
        // Another download split as it is kept: the first stays as it is.
        {"download --demo --demo-groups 9 --split-by-setting", 0, "3:1-30"},
    };
    QString download;
    for (const auto& step : steps) {
        const CliResult r = Cli(Args(step.command) + records);
        EXPECT_EQ(r.exitCode, step.exitCode) << step.command << r.err.toStdString();
        QMap<int, QString> ranges;
        QSet<QString> others;
        for (const QString& line :
             Cli(Args("records list") + records).out.split(u'\n', Qt::SkipEmptyParts)) {
            const QStringList f = line.split(u'\t');
            ASSERT_EQ(f.size(), 14) << line.toStdString();
            if (download.isEmpty())
                download = f[9];
            if (f[9] != download) {
                others.insert(f[8]);
                continue;
            }
            ranges.insert(f[8].section(u'-', 0, 0).toInt(), f[0] + u':' + f[8]);
        }
        EXPECT_EQ(ranges.values().join(u' '), QLatin1String(step.ranges)) << step.command;
        QStringList rows;
        for (const QString& range : ranges)
            rows += ShownRows(records, range.section(u':', 0, 0).toLongLong());
        EXPECT_EQ(rows, whole) << step.command;
        if (QLatin1String(step.command).startsWith(QLatin1String("download"))) {
            EXPECT_EQ(QStringList(others.begin(), others.end()).size(), 3) << r.err.toStdString();
        }
    }
}

} // namespace

// The report of one part of a split download names only that part's groups and its own rated
// ratio, where the whole download's says the settings differ.
TEST(Cli, AReportOfOnePartIsThatTestsAlone) {
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        GTEST_SKIP() << "no pdftotext to read the report back";
    QTemporaryDir dir;
    const QStringList records = {QStringLiteral("--records"),
                                 dir.filePath(QStringLiteral("a.sqlite"))};
    const QString pdf = dir.filePath(QStringLiteral("part.pdf"));
    ASSERT_EQ(Cli(Args("download --demo --demo-groups 12 --split-by-setting --lang en") + records)
                  .exitCode,
              0);
    const auto reportText = [&](qint64 number) {
        EXPECT_EQ(Cli(Args("records export --lang en")
                      << QString::number(number) << QStringLiteral("--report") << pdf << records)
                      .exitCode,
                  0);
        QProcess text;
        text.start(QStringLiteral("pdftotext"),
                   {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        EXPECT_TRUE(text.waitForFinished(20000));
        return QString::fromUtf8(text.readAllStandardOutput());
    };
    const QString part = reportText(2);
    QStringList rowGroups;
    static const QRegularExpression row(QStringLiteral("\\n\\s+(\\d+)\\s+\\d+\\.\\d+A"));
    for (auto m = row.globalMatch(part); m.hasNext();)
        rowGroups << m.next().captured(1);
    EXPECT_EQ(rowGroups.join(u' '), QStringLiteral("4 5 6")) << part.toStdString();
    EXPECT_TRUE(part.contains(QRegularExpression(QStringLiteral("Rated ratio:\\s+400/5A\\n"))));
    EXPECT_TRUE(part.contains(QStringLiteral("Groups 3 ")));
    ASSERT_EQ(Cli(Args("records merge 1 2 3 4") + records).exitCode, 0);
    EXPECT_TRUE(reportText(1).contains(QStringLiteral("settings differ")));
}
