// SPDX-License-Identifier: GPL-3.0-or-later
// Downloads kept in the record database through the main window, found again in 历史记录 and
// reopened to the very bytes Save wrote after the download; a database that cannot be written
// is told once and the list goes on.
#include "records/data_file.h"
#include "support/window_fixture.h"
#include "windows/history_window.h"

#include <QDir>
#include <QFile>
#include <QMessageBox>

using namespace velantis;
using namespace velantis::testing;

namespace {

class ArchiveWindow : public WindowFixture {
protected:
    QByteArray save() {
        files->answer = folder.filePath(QStringLiteral("saved%1.txt").arg(++saves));
        window->Command3_Click();
        QFile f(files->answer);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return f.readAll();
    }
    int saves = 0;
};

TEST_F(ArchiveWindow, DownloadsAreKeptFoundByFilterAndReopenedToSavesBytes) {
    window->setRecordsPath(folder.filePath(QStringLiteral("records.sqlite")));
    TestInfo info;
    info.station = QStringLiteral("城南变");
    window->setTestInfo(info);
    download(5);
    EXPECT_TRUE(window->titlePanelText().contains(QStringLiteral("已存档 第 1 号")))
        << window->titlePanelText().toStdString();
    const QByteArray first = save();
    info.station = QStringLiteral("北郊站");
    window->setTestInfo(info);
    download(8);
    EXPECT_NE(save(), first);

    window->ShowHistory();
    HistoryWindow* history = window->historyWindow();
    ASSERT_NE(history, nullptr);
    EXPECT_EQ(history->shownCount(), 2);
    history->setFilterText(QStringLiteral("城南"));
    ASSERT_EQ(history->shownCount(), 1);
    ASSERT_TRUE(history->select(1));
    history->openSelected();
    EXPECT_EQ(save(), first);
    EXPECT_TRUE(window->titlePanelText().contains(QStringLiteral("第 1 号")));
    EXPECT_EQ(window->currentReport().info.station, QStringLiteral("城南变"));
    download(3); // a new download takes the remembered information, not the reopened test's
    EXPECT_EQ(window->testInfo().station, QStringLiteral("北郊站"));
    EXPECT_EQ(OpenMessageBox(), nullptr);
}

TEST_F(ArchiveWindow, AnUnwritableDatabaseIsToldOnceAndTheListGoesOn) {
    const QString blocker = folder.filePath(QStringLiteral("file"));
    QFile(blocker).open(QIODevice::WriteOnly);
    window->setRecordsPath(blocker + QStringLiteral("/records.sqlite")); // a folder that is a file
    download(4);
    QMessageBox* box = OpenMessageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->text().contains(QDir::toNativeSeparators(blocker)))
        << box->text().toStdString();
    box->close();
    EXPECT_EQ(OpenMessageBox(), nullptr);
    EXPECT_EQ(save(), DataFileBytes(monitor().history().listText()));
    EXPECT_EQ(save().count("\r\n"), 4 + 3);
}

} // namespace
