// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "archive/archive.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QSortFilterProxyModel>
#include <QWidget>

#include <functional>

class QLabel;
class QLineEdit;
class QMessageBox;
class QPushButton;
class QTableView;

namespace velantis {

class FileDialogs;
class ListImportDialog;
class SplitDialog;

// The tests of the record database as a table, one row per test, newest first.
class TestTableModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        Number,
        Time,
        Station,
        Device,
        Serial,
        Groups,
        Ending, // how the download ended
        Class,
        Pass,
        Fail,
        Download, // the download a split test came from and how many tests it gave
        ColumnCount
    };
    using QAbstractTableModel::QAbstractTableModel;

    // Keeps the tests of one download together, in group order, at the place of its newest.
    void setTests(QList<TestRecord> tests);
    const TestRecord& test(int row) const { return tests_[row]; }
    bool holds(qint64 number) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QList<TestRecord> tests_;
    QHash<QString, int> perDownload_; // tests per download id
};

// Keeps the tests whose station, equipment, serial or remarks hold the filter text.
class TestFilterModel final : public QSortFilterProxyModel {
    Q_OBJECT
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void setFilterText(const QString& text);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    QString text_;
};

// 历史记录: the tests kept, a filter box, and for the selected test 打开 (its groups into the
// main window's list, as if just downloaded), 导出报告 (carrying the test's JSON), 导出 CSV,
// 测试信息 (edit what the test says of itself, verdicts recounted) and 删除 (asked once, 否 the
// default); 导入… takes a test from a JSON file. The list is read
// again whenever the window gets the focus and after each action, so that a test another program
// deleted or added shows as it is.
class HistoryWindow final : public QWidget {
    Q_OBJECT
public:
    // open: puts a test into the main window; false when it cannot now (a download runs).
    using Opener = std::function<bool(const TestRecord&, const QList<ArchivedGroup>&)>;
    HistoryWindow(Archive& archive, FileDialogs& dialogs, Opener open, QWidget* parent = nullptr);

    // Reads the tests from the database again; false when it cannot (told, unless the same
    // failure was told by the last reading). No database yet is an empty list with a note.
    bool reload();
    // Whether the list read last holds the test with that number (filter or not).
    bool lists(qint64 number) const { return model_.holds(number); }
    // The note under the filter: what the list shows when it cannot show tests.
    QString note() const;
    void setFilterText(const QString& text);
    // Selects the test with that number; false when it is not shown.
    bool select(qint64 number);
    // The selected test's number, 0 for none.
    qint64 selectedNumber() const;
    int shownCount() const;

    void openSelected();
    void exportReport();
    void exportCsv();
    void editInfo();
    // 拆分测试: the selected test's groups in ranges of one setting each, made tests of their own.
    void splitSelected();
    void deleteSelected();
    // 导入…: a test's JSON file (from another PC's 导出 or records export --json) kept as a new
    // test and selected; a file refused, or a test kept already, is told. Any other file is read
    // as a saved list, the rated ratio and the time asked in ListImportDialog.
    void importFile();
    // Asks whether to delete; tests answer without a dialog.
    void setConfirm(std::function<bool(const QString&)> confirm) { confirm_ = std::move(confirm); }
    // Runs the split dialog (exec() unless tests answer through it); true for OK.
    void setSplitRunner(std::function<bool(SplitDialog&)> run) { runSplit_ = std::move(run); }
    // Runs the list import dialog (exec() unless tests answer through it); true for 导入.
    void setListImportRunner(std::function<bool(ListImportDialog&)> run) {
        runListImport_ = std::move(run);
    }
    // The question 删除 asks, 否 its default button.
    static QMessageBox* DeleteQuestion(const QString& question, QWidget* parent);

signals:
    // The list was read again.
    void reloaded();
    // A test's information was changed here.
    void infoChanged(qint64 number, const velantis::TestInfo& info);
    // An export wrote this file.
    void fileWritten(const QString& path);
    // 导入… kept a test under this number.
    void imported(qint64 number);
    // 拆分测试 split a test into these parts, the first the test itself.
    void split(qint64 number, const QList<qint64>& parts);

protected:
    bool event(QEvent* event) override;

private:
    // The selected test and its groups; false (told) when none is selected or it cannot be read.
    bool selected(TestRecord* test, QList<ArchivedGroup>* groups);
    void tell(const QString& title, const QString& text);
    // 导入… of a saved list: the dialog, then the test kept and selected.
    void importList(const QString& path, const QByteArray& bytes);
    void updateButtons();

    Archive& archive_;
    FileDialogs& dialogs_;
    Opener open_;
    std::function<bool(const QString&)> confirm_;
    std::function<bool(SplitDialog&)> runSplit_;
    std::function<bool(ListImportDialog&)> runListImport_;
    TestTableModel model_;
    TestFilterModel filter_;
    QLineEdit* filterBox_ = nullptr;
    QTableView* table_ = nullptr;
    QLabel* count_ = nullptr;
    QLabel* note_ = nullptr;
    QString lastFailure_; // the reading's failure told last, so that focus does not repeat it
    QList<QPushButton*> actions_;
    QPushButton* import_ = nullptr;
};

// What went wrong with the record database at path, in the window's words.
QString ArchiveFailureText(const QString& path, const ArchiveError& error);

} // namespace velantis
