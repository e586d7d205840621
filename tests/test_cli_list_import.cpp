// SPDX-License-Identifier: GPL-3.0-or-later
// velantis-cli records import of saved lists: the test kept with the rating and time given, its
// Save bytes those of the file, its report saying where it came from; wrong options and damaged
// lists refused with nothing kept.
#include "support/cli_run.h"
#include "support/saved_lists.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace velantis;
using velantis::testing::Args;
using velantis::testing::RunCli;

namespace {

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Save's bytes of the simulated instrument's groups 1..count, all rated 400/5 A.
QByteArray SavedList(int count) {
    return velantis::testing::SaveBytes(velantis::testing::SimulatedGroups(count, 400, 50));
}

} // namespace

// The test of a list: its groups rated as given, made at --at (else the file's modification
// time), its Save bytes those of the file, its report saying where it came from.
TEST(CliListImport, AListIsKeptWithTheRatingAndTimeGivenAndShowsAsSaved) {
    QTemporaryDir dir;
    const QString list = dir.filePath(QStringLiteral("old list.txt"));
    const QString records = dir.filePath(QStringLiteral("r.sqlite"));
    const QByteArray saved = SavedList(30);
    ASSERT_TRUE(WriteFile(list, saved));
    const auto imported =
        RunCli(Args("records import") + QStringList{list} +
               Args("--rated 400/5 --at 2026-12-09T14:35:00 --records") + QStringList{records});
    ASSERT_EQ(imported.code, 0) << imported.err.toStdString();
    EXPECT_TRUE(imported.err.contains(QStringLiteral("imported as test 1")))
        << imported.err.toStdString();

    EXPECT_EQ(RunCli(Args("records show 1 --records") << records).out, saved);
    const QString line = QString::fromUtf8(RunCli(Args("records list --records") << records).out);
    EXPECT_TRUE(line.startsWith(QStringLiteral("1\t2026-12-09 14:35:00\t"))) << line.toStdString();
    const QJsonObject json =
        QJsonDocument::fromJson(RunCli(Args("records export 1 --json --records") << records).out)
            .object();
    EXPECT_EQ(json[QStringLiteral("origin-pc")].toString(),
              QStringLiteral("imported from ") + list);
    const QJsonArray groups = json[QStringLiteral("groups")].toArray();
    ASSERT_EQ(groups.size(), 30);
    for (const auto g : groups) {
        const auto frame = MeasurementFrame::fromBlock(
            QByteArray::fromHex(g.toObject()[QStringLiteral("frame")].toString().toLatin1()));
        EXPECT_EQ(frame->ratedPrimary(), 400);
        EXPECT_EQ(frame->ratedSecondary(), 50);
    }

    const QString pdf = dir.filePath(QStringLiteral("r.pdf"));
    ASSERT_EQ(RunCli(Args("records export 1 --report") << pdf << "--records" << records).code, 0);
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        GTEST_SKIP() << "no pdftotext (poppler-utils) to read the report";
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(30000));
    const QString shown = QString::fromUtf8(text.readAllStandardOutput()).simplified();
    EXPECT_TRUE(shown.contains(QStringLiteral("Imported from saved list"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral("old list.txt"))) << shown.toStdString();
}

// A wrong option or a damaged list is exit 2 with the reason, and nothing of any file is kept.
TEST(CliListImport, WrongOptionsAndDamagedListsKeepNothing) {
    QTemporaryDir dir;
    const QString list = dir.filePath(QStringLiteral("list.txt"));
    const QString damaged = dir.filePath(QStringLiteral("damaged.txt"));
    ASSERT_TRUE(WriteFile(list, SavedList(3)));
    QByteArray bad = SavedList(3);
    bad.replace("\xB5\xDA"
                "0002",
                "\xB5\xDA"
                "0001");
    ASSERT_TRUE(WriteFile(damaged, bad));
    const struct {
        QStringList args;
        const char* told;
    } cases[] = {
        {{list}, "give it with --rated"},
        {{list, "--rated", "20000/5"}, "rated primary"},
        {{list, "--rated", "1-2:400/5"}, "line 5: no rated ratio was given for group 3"},
        {{list, "--rated", "400/5", "--at", "yesterday"}, "ISO 8601"},
        {{damaged, "--rated", "400/5"}, "line 4: group 1 comes twice"},
    };
    const QString records = dir.filePath(QStringLiteral("r.sqlite"));
    for (const auto& c : cases) {
        const auto r = RunCli(Args("records import") + c.args + QStringList{"--records", records});
        EXPECT_EQ(r.code, 2) << c.told;
        EXPECT_TRUE(r.err.contains(QLatin1String(c.told))) << r.err.toStdString();
        EXPECT_TRUE(RunCli(Args("records list --records") << records).out.isEmpty()) << c.told;
    }
}
