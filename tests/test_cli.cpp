// SPDX-License-Identifier: GPL-3.0-or-later
// The command-line tool's own surface: its help, its version, the options it refuses, and the
// start-up check of the GBK codec.
#include "cli/session.h"
#include "records/text_codec.h"

#include <QProcess>

#include <gtest/gtest.h>

using namespace velantis;

namespace {

struct CliResult {
    int exitCode = -1;
    QString out, err;
};

CliResult Cli(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(VELANTIS_CLI), args);
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit)
        return {};
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
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

} // namespace
