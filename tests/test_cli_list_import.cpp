// SPDX-License-Identifier: GPL-3.0-or-later
// velantis-cli records import of saved lists: the test kept with the rating and time given, its
// Save bytes those of the file, its report saying where it came from; wrong options and damaged
// lists refused with nothing kept.
#include "records/text_codec.h"
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
    const QString list = dir.filePath("old list.txt"), records = dir.filePath("r.sqlite");
    const QByteArray saved = SavedList(30);
    ASSERT_TRUE(WriteFile(list, saved));
    const auto cli = [&](QStringList args) { return RunCli(args << "--records" << records); };
    const auto imported =
        cli(Args("records import") << list << Args("--rated 400/5 --at 2026-12-09T14:35:00"));
    ASSERT_EQ(imported.code, 0) << imported.err.toStdString();
    EXPECT_TRUE(imported.err.contains("imported as test 1")) << imported.err.toStdString();

    EXPECT_EQ(cli(Args("records show 1")).out, saved);
    const QString line = QString::fromUtf8(cli(Args("records list")).out);
    EXPECT_TRUE(line.startsWith("1\t2026-12-09 14:35:00\t")) << line.toStdString();
    const QJsonObject json =
        QJsonDocument::fromJson(cli(Args("records export 1 --json")).out).object();
    EXPECT_EQ(json["origin-pc"].toString(), "imported from " + list);
    const QJsonArray groups = json["groups"].toArray();
    ASSERT_EQ(groups.size(), 30);
    for (const auto g : groups) {
        const auto frame = MeasurementFrame::fromBlock(
            QByteArray::fromHex(g.toObject()["frame"].toString().toLatin1()));
        EXPECT_EQ(frame->ratedPrimary(), 400);
        EXPECT_EQ(frame->ratedSecondary(), 50);
    }

    const QString pdf = dir.filePath("r.pdf");
    ASSERT_EQ(cli(Args("records export 1 --report") << pdf).code, 0);
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        GTEST_SKIP() << "no pdftotext (poppler-utils) to read the report";
    QProcess text;
    text.start("pdftotext", {pdf, "-"});
    ASSERT_TRUE(text.waitForFinished(30000));
    const QString shown = QString::fromUtf8(text.readAllStandardOutput()).simplified();
    for (const char* part : {"Imported from saved list", "old list.txt"})
        EXPECT_TRUE(shown.contains(part)) << shown.toStdString();
}

// A wrong option or a damaged list is exit 2 with the reason, and nothing of any file is kept.
TEST(CliListImport, WrongOptionsAndDamagedListsKeepNothing) {
    QTemporaryDir dir;
    const QString list = dir.filePath("list.txt"), damaged = dir.filePath("damaged.txt");
    ASSERT_TRUE(WriteFile(list, SavedList(3)));
    ASSERT_TRUE(WriteFile(damaged, SavedList(3).replace(EncodeGbk("第0002"), EncodeGbk("第0001"))));
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
    const QString records = dir.filePath("r.sqlite");
    for (const auto& c : cases) {
        const auto r = RunCli(Args("records import") + c.args + QStringList{"--records", records});
        EXPECT_EQ(r.code, 2) << c.told;
        EXPECT_TRUE(r.err.contains(QLatin1String(c.told))) << r.err.toStdString();
        EXPECT_TRUE(RunCli(Args("records list --records") << records).out.isEmpty()) << c.told;
    }
}
