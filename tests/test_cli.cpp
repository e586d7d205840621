// SPDX-License-Identifier: GPL-3.0-or-later
// The command-line tool's own surface: its help, its version, the options it refuses, and the
// start-up check of the GBK codec.
#include "cli/session.h"
#include "records/text_codec.h"

#include <QProcess>

#include <algorithm>

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

} // namespace
