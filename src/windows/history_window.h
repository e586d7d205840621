// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "archive/archive.h"
#include "archive/server_archive.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QSortFilterProxyModel>
#include <QWidget>

#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QMessageBox;
class QPushButton;
class QTableView;
class QTimer;

namespace velantis {

class FileDialogs;
class ServerSession;
class ServerTestModel;
class ListImportDialog;
class SplitDialog;
class TestInfoDialog;

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
//
// The switch above the list shows either these tests (本机) or those on the department's server
// (服务器): fetched a page at a time as the list is scrolled, filtered on the server as the filter
// box is typed in (once typing pauses), all server calls on a thread of their own and their
// failures in the status line under the list. There 打开 shows a server test in the main window,
// the exports write it, 测试信息 edits one's own tests on the server, 复制到本机 keeps it in the
// record database under its own identity; 拆分测试, 删除 and 导入… are for local tests only.
class HistoryWindow final : public QWidget {
    Q_OBJECT
public:
    // open: puts a test into the main window; false when it cannot now (a download runs).
    using Opener = std::function<bool(const TestRecord&, const QList<ArchivedGroup>&)>;
    HistoryWindow(Archive& archive, FileDialogs& dialogs, Opener open, QWidget* parent = nullptr);
    ~HistoryWindow() override;

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
    // 复制到本机: the selected server test and its groups kept in the record database, its uuid
    // kept; a test that is there already is told with its number.
    void copyToLocal();

    enum class Source { Local, Server };
    // Shows the local tests or the server's.
    void setSource(Source source);
    Source source() const { return source_; }
    // The server the server view reads (empty: none chosen) and a password given in this run.
    void setServer(const QString& connInfo, const QString& password = {});
    ServerTestModel& serverModel() { return *serverModel_; }
    // The server view's status line.
    QString serverStatus() const;
    // The role connected to the server as, once known.
    const QString& serverRole() const { return serverRole_; }
    // Selects the server test with that uuid; false when it is not shown.
    bool selectServerTest(const QString& uuid);
    // The selected server test's uuid, empty for none.
    QString selectedUuid() const;
    // 测试信息 of a server test: one's own only (told otherwise), edited in the dialog and sent on
    // the server's thread with its revision one more; serverInfoChanged() when the server took it.
    void editServerInfo(const TestRecord& test, const QList<ArchivedGroup>& groups);
    // Puts a server test into the main window; false when it cannot now (a download runs).
    void setServerOpener(Opener open) { openServer_ = std::move(open); }
    // Runs the test information dialog (exec() unless tests answer through it); true for OK.
    void setInfoRunner(std::function<bool(TestInfoDialog&)> run) { runInfo_ = std::move(run); }

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
    // A server test's new information was taken by the server.
    void serverInfoChanged(const velantis::TestRecord& test);
    // 复制到本机 kept a server test under this number.
    void copied(qint64 number);
    // A server call answered (the status line says how).
    void serverAnswered();

protected:
    bool event(QEvent* event) override;

private:
    // The selected test and its groups; false (told) when none is selected or it cannot be read.
    bool selected(TestRecord* test, QList<ArchivedGroup>* groups);
    void tell(const QString& title, const QString& text);
    // 导入… of a saved list: the dialog, then the test kept and selected.
    void importList(const QString& path, const QByteArray& bytes);
    void updateButtons();
    // The selected server test and its groups, fetched on the server's thread, then given to
    // use; a failure is told in the status line.
    void withServerTest(std::function<void(const TestRecord&, const QList<ArchivedGroup>&)> use);
    void exportReportOf(const TestRecord& test, const QList<ArchivedGroup>& groups);
    void exportCsvOf(const TestRecord& test, const QList<ArchivedGroup>& groups);
    void showServerStatus(const QString& text);
    void showServerFailure(const ServerError& error);
    // Connects the server view (learning the role) when it shows and has no session yet.
    void startServer();
    void showModel();

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

    Source source_ = Source::Local;
    QComboBox* sourceSwitch_ = nullptr;
    QPushButton* copy_ = nullptr;
    QLabel* serverStatus_ = nullptr;
    QTimer* filterPause_ = nullptr; // the server is asked once typing pauses
    QString serverConn_;
    QString serverPassword_;
    std::unique_ptr<ServerSession> session_;
    ServerTestModel* serverModel_ = nullptr;
    QString serverRole_;
    bool serverReadOnly_ = false;
    Opener openServer_;
    std::function<bool(TestInfoDialog&)> runInfo_;
};

// What went wrong with the record database at path, in the window's words.
QString ArchiveFailureText(const QString& path, const ArchiveError& error);

} // namespace velantis
