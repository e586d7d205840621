// SPDX-License-Identifier: GPL-3.0-or-later
// 历史记录 → 导入… of a saved list: the dialog asks the rated ratio and the time, shows what is
// wrong with its line and keeps nothing until the whole list reads back.
#include "records/list_test_import.h"
#include "support/saved_lists.h"
#include "support/window_stand_ins.h"
#include "windows/history_window.h"
#include "windows/list_import_dialog.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace velantis;
using namespace velantis::testing;

namespace {

// Groups 1-3 rated 100/5 A, as Save writes them.
QByteArray SavedList() {
    return SaveBytes(SimulatedGroups(3, 100, 50));
}

} // namespace

// From 历史记录: a ratio that is none, or one a row does not read back with, is shown in the
// dialog (with the line of the list) and keeps nothing; then the list is kept as a test of the
// time given, its origin the file, and selected.
TEST(ListImportDialog, HistoryKeepsTheListAsATestOfTheTimeGiven) {
    QTemporaryDir dir;
    const QString list = dir.filePath(QStringLiteral("old.txt"));
    {
        QFile f(list);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(SavedList());
    }
    Archive archive(dir.filePath(QStringLiteral("r.sqlite")));
    AnsweringDialogs files;
    files.answer = list;
    HistoryWindow history(archive, files,
                          [](const TestRecord&, const QList<ArchivedGroup>&) { return true; });
    const QDateTime at(QDate(2026, 12, 9), QTime(14, 35));
    QString shown;
    QString rated;
    history.setListImportRunner([&](ListImportDialog& dialog) {
        dialog.setRated(rated);
        dialog.setTime(at);
        const bool taken = dialog.take();
        shown = dialog.problem();
        return taken; // a problem: the user gives up
    });
    for (const auto& [given, told] : {std::pair{"", "额定变比: "}, {"100/1", "第 3 行: "}}) {
        rated = QString::fromUtf8(given);
        history.importFile();
        EXPECT_TRUE(shown.startsWith(QString::fromUtf8(told))) << shown.toStdString();
        EXPECT_EQ(history.shownCount(), 0);
    }

    rated = QStringLiteral("100/5");
    history.importFile();
    ASSERT_EQ(history.shownCount(), 1);
    EXPECT_EQ(history.selectedNumber(), 1);
    TestRecord test;
    QList<ArchivedGroup> groups;
    ASSERT_TRUE(archive.find(1, &test, &groups, nullptr));
    EXPECT_EQ(test.ended, at);
    EXPECT_EQ(ImportedListFile(test.originPc), QDir::toNativeSeparators(list));
    EXPECT_EQ(groups.size(), 3);
}
