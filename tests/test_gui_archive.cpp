// SPDX-License-Identifier: GPL-3.0-or-later
// Downloads kept in the record database through the main window, found again in 历史记录 and
// reopened to the very bytes Save wrote after the download; a database that cannot be written
// is told once and the list goes on.
#include "records/data_file.h"
#include "records/test_json.h"
#include "support/window_fixture.h"
#include "windows/history_window.h"
#include "windows/split_dialog.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QMessageBox>
#include <QPrintPreviewDialog>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>
#include <QUuid>

#include <tuple>

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

    QString recordsPath() const { return folder.filePath(QStringLiteral("records.sqlite")); }
    // The test as the database holds it, read as another program would.
    TestRecord stored(qint64 number, QList<ArchivedGroup>* groups = nullptr) {
        TestRecord test;
        QList<ArchivedGroup> kept;
        ArchiveError error;
        EXPECT_TRUE(Archive(recordsPath()).find(number, &test, groups ? groups : &kept, &error))
            << error.text().toStdString();
        return test;
    }
    // The history window with test `number` opened from it.
    HistoryWindow* reopen(qint64 number) {
        window->ShowHistory();
        HistoryWindow* history = window->historyWindow();
        EXPECT_TRUE(history && history->select(number));
        if (history)
            history->openSelected();
        return history;
    }
    // Another program deletes a test.
    void removeElsewhere(qint64 number) {
        Archive other(recordsPath());
        ArchiveError error;
        ASSERT_TRUE(other.remove(number, &error)) << error.text().toStdString();
    }
    TestInfo withStation(const QString& station, const QString& serial = {}) {
        TestInfo info = window->testInfo();
        info.station = station;
        info.serial = serial;
        return info;
    }
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
    window->Command4_Click(); // the information edited now is the next download's
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

// The usual order: read first, then fill in 测试信息. The report and the record say the same.
TEST_F(ArchiveWindow, InformationEditedAfterTheDownloadReachesItsRecord) {
    window->setRecordsPath(recordsPath());
    window->setTestInfo(withStation(QStringLiteral("旧站")));
    download(4);
    window->setTestInfo(withStation(QStringLiteral("城南变"), QStringLiteral("CT-2041")));
    EXPECT_EQ(window->currentReport().info.station, QStringLiteral("城南变"));
    const TestRecord test = stored(1);
    EXPECT_EQ(test.info.station, QStringLiteral("城南变"));
    EXPECT_EQ(test.info.serial, QStringLiteral("CT-2041"));
    // A new download takes what was filled in last.
    download(2);
    EXPECT_EQ(stored(2).info.station, QStringLiteral("城南变"));
}

// Editing a reopened test changes that test, never what the next download takes.
TEST_F(ArchiveWindow, EditingAReopenedTestChangesItsRecordNotTheNextDownload) {
    window->setRecordsPath(recordsPath());
    window->setTestInfo(withStation(QStringLiteral("北郊站")));
    download(3);
    window->Command4_Click();
    window->setTestInfo(withStation(QStringLiteral("城南变")));
    download(5);
    HistoryWindow* history = reopen(1);
    ASSERT_NE(history, nullptr);
    window->setTestInfo(withStation(QStringLiteral("北郊站 (改)")));
    EXPECT_EQ(stored(1).info.station, QStringLiteral("北郊站 (改)"));
    EXPECT_EQ(window->currentReport().info.station, QStringLiteral("北郊站 (改)"));
    window->Command4_Click(); // leaving the reopened test, then a new download
    download(2);
    EXPECT_EQ(stored(3).info.station, QStringLiteral("城南变"));
}

// How a download ended reaches the report and the history's column, also for a reopened test.
TEST_F(ArchiveWindow, HowTheDownloadEndedIsShownInReportAndHistory) {
    window->setRecordsPath(recordsPath());
    startDownload(6, 10);
    send(EndOfGroupsFrame()); // early
    download(3);
    const auto ended = [this] {
        const DownloadInfo& d = window->currentReport().download;
        return std::tuple(d.ending, d.stored, d.announced);
    };
    EXPECT_EQ(ended(), std::tuple(DownloadEnd::EndFrame, 3, 3));
    HistoryWindow* history = reopen(1);
    ASSERT_NE(history, nullptr);
    EXPECT_EQ(ended(), std::tuple(DownloadEnd::Incomplete, 6, 10));

    const auto* table = history->findChild<QAbstractItemView*>(QStringLiteral("tests"));
    const auto ending = [table](int row) {
        return table->model()->index(row, TestTableModel::Ending).data().toString();
    };
    EXPECT_TRUE(ending(1).contains(QStringLiteral("6 / 10"))) << ending(1).toStdString();
    EXPECT_EQ(ending(0), QStringLiteral("完整"));
}

// Closing the window while it reads keeps what was stored, as an interrupted test.
TEST_F(ArchiveWindow, ClosingDuringADownloadKeepsItsGroups) {
    window->setRecordsPath(recordsPath());
    startDownload(4, 10);
    EXPECT_TRUE(window->close());
    const TestRecord test = stored(1);
    EXPECT_EQ(std::tuple(test.ending, test.stored, test.announced),
              std::tuple(DownloadEnd::Interrupted, 4, 10));
}

// A list file has no groups: the report and CSV say so and write nothing until a download.
TEST_F(ArchiveWindow, ReportsAndCsvRefuseWhileTheListShowsAnOpenedFile) {
    download(4);
    const QString list = folder.filePath(QStringLiteral("list.txt"));
    files->answer = list;
    window->Command3_Click();
    window->Command1_Click(); // the list shows the file just saved
    const struct {
        const char* name;
        void (MainWindow::*action)();
    } actions[] = {{"导出 CSV", &MainWindow::ExportCsv},
                   {"导出报告", &MainWindow::ExportReport},
                   {"打印报告", &MainWindow::PrintReport},
                   {"报告预览", &MainWindow::PreviewReport}};
    for (const auto& a : actions) {
        SCOPED_TRACE(a.name);
        files->answer = folder.filePath(QStringLiteral("out-%1").arg(QString::fromUtf8(a.name)));
        QFile::remove(printer->pdf);
        QTimer::singleShot(50, [] { // a preview that opens anyway does not hang the test
            if (QWidget* modal = QApplication::activeModalWidget())
                modal->close();
        });
        (window->*a.action)();
        EXPECT_FALSE(QFile::exists(files->answer));
        EXPECT_FALSE(QFile::exists(printer->pdf));
        QMessageBox* box = OpenMessageBox();
        ASSERT_NE(box, nullptr);
        EXPECT_TRUE(box->text().contains(QDir::toNativeSeparators(list)));
        box->close();
    }
    download(2); // groups again: the CSV is written
    window->ExportCsv();
    EXPECT_TRUE(QFile::exists(files->answer));
}

// Another program deletes the shown test: the history drops it when it gets the focus, and the
// main window stops naming it, saying so once; editing it then finds it gone.
TEST_F(ArchiveWindow, ADeletedTestLeavesHistoryAndTitle) {
    window->setRecordsPath(recordsPath());
    download(3);
    download(2);
    HistoryWindow* history = reopen(1);
    ASSERT_NE(history, nullptr);
    EXPECT_TRUE(window->titlePanelText().contains(QStringLiteral("记录 第 1 号")));
    removeElsewhere(1);
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(history, &activate);
    EXPECT_EQ(history->shownCount(), 1);
    EXPECT_TRUE(window->titlePanelText().contains(QStringLiteral("第 1 号记录已不在")));

    // Without the history window: the edit finds test 2 gone.
    ASSERT_TRUE(history->select(2));
    history->openSelected();
    history->close();
    delete history;
    removeElsewhere(2);
    window->setTestInfo(withStation(QStringLiteral("城南变")));
    EXPECT_TRUE(window->titlePanelText().contains(QStringLiteral("第 2 号记录已不在")));
    EXPECT_EQ(OpenMessageBox(), nullptr);
    EXPECT_EQ(window->currentReport().info.station, QStringLiteral("城南变"));
}

// 删除 asks with 否 as the default: Enter keeps the test.
TEST(HistoryWindow, DeleteAsksWithNoAsTheDefault) {
    std::unique_ptr<QMessageBox> box(HistoryWindow::DeleteQuestion(QStringLiteral("?"), nullptr));
    EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
}

// The history opened before any test was kept: an empty list and a note, no error box.
TEST_F(ArchiveWindow, HistoryWithoutADatabaseYetIsEmptyWithANote) {
    window->setRecordsPath(folder.filePath(QStringLiteral("new/records.sqlite")));
    window->ShowHistory();
    ASSERT_NE(window->historyWindow(), nullptr);
    EXPECT_EQ(window->historyWindow()->shownCount(), 0);
    EXPECT_EQ(OpenMessageBox(), nullptr);
    download(2); // the first test kept makes the database
    EXPECT_EQ(window->historyWindow()->shownCount(), 1);
}

} // namespace

namespace {

// The PDF's first attachment as pdfdetach saves it.
QByteArray Attachment(const QString& pdf, const QString& folder) {
    const QString saved = QDir(folder).filePath(QStringLiteral("attachment.json"));
    QFile::remove(saved);
    QProcess::execute(QStringLiteral("pdfdetach"), {QStringLiteral("-save"), QStringLiteral("1"),
                                                    QStringLiteral("-o"), saved, pdf});
    QFile f(saved);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

TEST_F(ArchiveWindow, ReportsCarryTheTestsJsonAndImportKeepsANewTestOnceAndNothingOfABadFile) {
    window->setRecordsPath(recordsPath());
    download(6);
    EXPECT_EQ(window->currentReport().download.archived, 1);
    QList<ArchivedGroup> groups;
    const TestRecord test = stored(1, &groups);
    const QByteArray json = TestJson(test, groups);
    const QString report = folder.filePath(QStringLiteral("report.pdf"));
    files->answer = report;
    window->ExportReport();
    const QByteArray first = save();

    window->ShowHistory();
    HistoryWindow* history = window->historyWindow();
    const auto importFile = [&](const QByteArray& bytes) {
        files->answer = folder.filePath(QStringLiteral("import.json"));
        QFile f(files->answer);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
        f.close();
        history->importFile();
        QMessageBox* box = OpenMessageBox();
        const QString told = box ? box->text() : QString();
        if (box)
            box->close();
        return told;
    };
    // The same test again is told and skipped; a damaged copy is refused whole.
    EXPECT_TRUE(importFile(json).contains(QStringLiteral("第 1 号")));
    QByteArray damaged = json;
    damaged.replace(test.uuid.toLatin1(),
                    QUuid::createUuid().toString(QUuid::WithoutBraces).toLatin1());
    const QByteArray copy = damaged;
    damaged.replace("\"group\": 6", "\"group\": 4001");
    EXPECT_TRUE(importFile(damaged).contains(QStringLiteral("groups[5].group")));
    EXPECT_EQ(history->shownCount(), 1);
    EXPECT_TRUE(importFile(copy).isEmpty());
    EXPECT_EQ(history->shownCount(), 2);
    EXPECT_EQ(history->selectedNumber(), 2);
    history->openSelected();
    EXPECT_EQ(save(), first);
    // The exported report carries the test's JSON (read back where pdfdetach is at hand).
    if (QStandardPaths::findExecutable(QStringLiteral("pdfdetach")).isEmpty())
        GTEST_SKIP() << "no pdfdetach (poppler-utils) to read the report's attachment";
    EXPECT_EQ(Attachment(report, folder.path()), json);
}

// 拆分测试 from the 操作 menu: the dialog's ranges cut and merged, one range's information
// changed (what is common copied to every range), and OK makes a test of each range, shown
// together in 历史记录.
TEST_F(ArchiveWindow, SplitFromTheMenuMakesATestOfEachRangeShownTogether) {
    window->setRecordsPath(recordsPath());
    window->setTestInfo(withStation(QStringLiteral("城南变"), QStringLiteral("CT-1")));
    download(9);
    const QByteArray downloadList = save();
    window->ShowHistory();
    HistoryWindow* history = window->historyWindow();
    ASSERT_NE(history, nullptr);
    QStringList ranges;
    history->setSplitRunner([&](SplitDialog& dialog) {
        EXPECT_EQ(dialog.ranges().size(), 1); // one setting: one range proposed
        EXPECT_TRUE(dialog.cutAt(4) && dialog.cutAt(8) && dialog.cutAt(7));
        EXPECT_FALSE(dialog.cutAt(7)); // a range starts there already
        EXPECT_TRUE(dialog.mergeWithNext(2));
        TestInfo second = dialog.infos()[1];
        second.device = QStringLiteral("B相");
        second.station = QStringLiteral("北郊站");
        dialog.setInfo(1, second);
        for (const GroupRange& r : dialog.ranges())
            ranges << QStringLiteral("%1-%2").arg(r.first).arg(r.last);
        EXPECT_EQ(dialog.infos().size(), dialog.ranges().size());
        return true;
    });
    window->SplitTest();
    EXPECT_EQ(ranges.join(u' '), QStringLiteral("1-3 4-6 7-9"));
    // The window speaks of the first part now: its report is of groups 1-3 alone, while the
    // list and Save stay the download's.
    const TestReport shown = window->currentReport();
    EXPECT_EQ(shown.download.archived, 1);
    ASSERT_EQ(shown.rows.size(), 3);
    EXPECT_EQ(shown.rows.last().group, 3);
    EXPECT_TRUE(window->titlePanelText().contains(QStringLiteral("组 1–3")));
    EXPECT_EQ(save(), downloadList);
    const struct {
        qint64 number;
        const char* range;
        const char* device;
    } parts[] = {{1, "1-3", ""}, {2, "4-6", "B相"}, {3, "7-9", ""}};
    const auto* table = history->findChild<QAbstractItemView*>(QStringLiteral("tests"));
    for (int row = 0; row < 3; ++row) {
        const auto& p = parts[row];
        const TestRecord t = stored(p.number);
        EXPECT_EQ(QStringLiteral("%1-%2").arg(t.firstGroup).arg(t.lastGroup),
                  QLatin1String(p.range));
        EXPECT_EQ(t.info.device, QString::fromUtf8(p.device));
        EXPECT_EQ(t.info.station, QStringLiteral("北郊站")); // common: copied to every range
        EXPECT_EQ(t.info.serial, QStringLiteral("CT-1"));
        // Together, in group order, each saying how many tests its download gave.
        EXPECT_EQ(table->model()->index(row, TestTableModel::Number).data().toLongLong(), p.number);
        EXPECT_TRUE(table->model()
                        ->index(row, TestTableModel::Download)
                        .data()
                        .toString()
                        .contains(QStringLiteral("下载: 3 项测试")));
    }

    // 导出报告 asks which test, or all: one part's PDF holds its report alone, all parts' PDF
    // each report with its own number and page count and each test's JSON.
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        GTEST_SKIP() << "no pdftotext (poppler-utils) to read the reports back";
    const struct {
        int choice;
        QList<qint64> numbers;
    } exports[] = {{1, {2}}, {3, {1, 2, 3}}};
    for (const auto& e : exports) {
        int preselected = -1;
        window->setReportChooser([&](const QStringList& items, int pre) {
            EXPECT_EQ(items.size(), 4);
            preselected = pre;
            return e.choice;
        });
        files->answer = folder.filePath(QStringLiteral("parts%1.pdf").arg(e.choice));
        window->ExportReport();
        EXPECT_EQ(preselected, 0); // the part the window shows
        QProcess text;
        text.start(QStringLiteral("pdftotext"),
                   {QStringLiteral("-layout"), files->answer, QStringLiteral("-")});
        ASSERT_TRUE(text.waitForFinished(30000));
        const QString read = QString::fromUtf8(text.readAllStandardOutput());
        QProcess list;
        list.start(QStringLiteral("pdfdetach"), {QStringLiteral("-list"), files->answer});
        ASSERT_TRUE(list.waitForFinished(30000));
        const QString attached = QString::fromUtf8(list.readAllStandardOutput());
        for (qint64 n = 1; n <= 3; ++n) {
            const bool in = e.numbers.contains(n);
            EXPECT_EQ(read.contains(ReportNumber(stored(n).info, n)), in) << e.choice << " " << n;
            EXPECT_EQ(attached.contains(TestJsonFileName(n)), in) << e.choice << " " << n;
        }
        // Each report counts its own pages: every "共 m 页" is one page per part.
        EXPECT_EQ(
            read.count(QRegularExpression(QStringLiteral("第\\s*1\\s*页\\s*/\\s*共\\s*1\\s*页"))),
            e.numbers.size())
            << read.toStdString();
    }
}
