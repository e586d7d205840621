// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "archive/archive.h"
#include "i18n/language.h"
#include "link/monitor.h"
#include "link/monitor_timers.h"
#include "records/test_report.h"
#include "report/report_pages.h"
#include "windows/window_services.h"

#include <QDateTime>
#include <QMainWindow>
#include <QPointer>

#include <functional>

#include <memory>
#include <optional>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QToolBar;

namespace velantis {

class Archive;
class SyncService;
class HistoryWindow;
class ListView;
class LiveRecorder;
class PrintRangeDialog;
class CurveWindow;
class ServerDialog;
class TrendSamples;
class TrendWindow;

// What the main window is given: the serial line and port numbering it drives, the program's
// folder, and the dialogs it shows (the real ones in the program, answering stand-ins in tests).
struct MainWindowParts {
    std::unique_ptr<SerialLine> line;
    std::unique_ptr<PortMap> ports;
    QString programFolder;
    std::unique_ptr<FileDialogs> fileDialogs;
    std::unique_ptr<PrinterChooser> printerChooser;
    Language language = Language::Chinese; // the windows' language in this run
};

// "Velantis V1.0": the readings, the port and link state, the list of downloaded groups and the
// six operations (open, read, save, clear, print, exit), each from its button, toolbar button
// and menu item. It shows what the controller holds and forwards every click to it.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int ClientWidth = 887;  // 13305 twips
    static constexpr int ClientHeight = 641; // 9615 twips

    explicit MainWindow(MainWindowParts parts);
    ~MainWindow() override;

    Monitor& monitor() { return *monitor_; }
    MonitorTimers& timers() { return *timers_; }
    // Starts the five timers (tests call the ticks themselves instead).
    void startTimers();

    // The operations, whichever of their three entry points ran them.
    void Command1_Click(); // Open
    void Command2_Click(); // Read
    void Command3_Click(); // Save
    void Command4_Click(); // Clear
    void Command6_Click(); // Print: the print-range dialog
    void Command5_Click(); // Exit
    void Toolbar1_ButtonClick(const QString& key);
    // Beyond the six: the whole list shown before printing, or written to a PDF file.
    void PrintPreview();
    void ExportPdf();
    // Beyond the six: the stored groups as CSV, and the live trend chart.
    void ExportCsv();
    void ShowTrend();
    TrendWindow* trendWindow() const;
    // 误差曲线: the error curve of the test shown, beside this window; it follows that test.
    void ShowCurve();
    CurveWindow* curveWindow() const;
    // Beyond the six: the test information and the test report (printed, previewed, as PDF).
    void EditTestInfo();
    // 拆分测试: the test shown, when it is archived, split in 历史记录's dialog.
    void SplitTest();
    void PrintReport();
    void PreviewReport();
    void ExportReport();
    const TestInfo& testInfo() const { return testInfo_; }
    // What 测试信息 sets: the information of the test the window shows (the last download or a
    // reopened test), kept in its record too. It is remembered for the next download (and the
    // next run) unless the window shows a reopened test.
    void setTestInfo(const TestInfo& info);
    TestReport currentReport() const;
    // The test's JSON every report of the shown test carries: read from the record database
    // when the test is archived (the same bytes as its export), else made from the download.
    PdfAttachment reportAttachment() const;
    // The kept tests of the download the shown test came from, in group order: more than one
    // once it was split.
    QList<TestRecord> downloadTests() const;
    // 打印报告, 报告预览 and 导出报告 of a split download ask which of its tests, or all of them
    // (one after the other, each with its own report number and page count): items, the one
    // preselected; the index chosen (the last item: all), -1 for none. Tests replace the dialog.
    using ReportChooser = std::function<int(const QStringList& items, int preselected)>;
    void setReportChooser(ReportChooser chooser) { reportChooser_ = std::move(chooser); }
    // The reports those make, each with the JSON it carries; false when none was chosen.
    bool chooseReports(const QString& title, QList<TestReport>* reports,
                       QList<PdfAttachment>* attachments);
    // The record number of the test the window shows; 0 for none (nothing kept, cleared, a file
    // opened, or its record deleted).
    qint64 shownRecord() const { return shownRecord_; }
    // 历史记录: the tests kept in the record database (a message when there is none).
    void ShowHistory();
    HistoryWindow* historyWindow() const;
    // 文件 → 服务器…: where the department's server is; OK remembers it for both programs and
    // the server view of 历史记录 reads from it.
    void ShowServerDialog();
    ServerDialog* serverDialog() const;
    // A test of the department's server shown as a reopened test is ("服务器上的测试" in the
    // title): report, CSV and curve of it; 测试信息 edits it on the server (one's own only), never
    // a record here. False while a download runs.
    bool showServerTest(const TestRecord& test, const QList<ArchivedGroup>& groups);
    // The server test the window shows, if any.
    const std::optional<TestRecord>& serverTest() const { return serverTest_; }
    // Keeps every download from now on in the database at path; empty: none kept.
    void setRecordsPath(const QString& path);
    // A kept test's groups into the store and the list, as if just downloaded; false while a
    // download runs.
    bool reopenTest(const TestRecord& test, const QList<ArchivedGroup>& groups);
    // After a split of the download the list shows: the list stays the download's, the report
    // and the exports speak of the part number is.
    void showPartOfDownload(qint64 number);
    // 记录: asks for a file and records every live reading to it until chosen again (停止记录)
    // or until a row cannot be written, which stops it with a message.
    void ToggleRecording();
    bool recording() const;
    // The record's default name: "QRTLIVE", the date and the time (in SaveFolder()).
    static QString DefaultRecordFileName();

    // The data file's default name: "QRTDATA" and today's date as yyyy-M-d. Save and the exports
    // offer it in SaveFolder().
    static QString DefaultDataFileBase();
    // The file name Open starts with: the program folder (the documents folder when the program
    // folder cannot be written) and DefaultDataFileBase().
    QString DefaultDataFileName() const;
    // The folder of that name: the program folder, unless it cannot be written or the program
    // is installed with the system.
    static QString DataFolder(const QString& programFolder);
    static const QStringList OpenFilters;
    static const QStringList SaveFilters;
    // The print-range dialog while it is open.
    PrintRangeDialog* printRangeDialog() const { return printRange_; }
    // A word for the title panel, shown there for 10 s.
    void showStatusNotice(const QString& text);
    // What the title panel shows now.
    QString titlePanelText() const;
    QString titlePanelTip() const;
    // The sync with the department's server: the title panel shows "待同步 n" while tests wait,
    // 立即同步 asks for a pass, each archive and edit nudges it. Only signals pass between the
    // window and the worker's thread: the window never waits on the network. The window owns
    // the sync and starts it; a server chosen in 服务器… replaces it with one of its own.
    void setSync(std::unique_ptr<SyncService> sync);

signals:
    // Exit was chosen: the program ends at once.
    void exitRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildControls(QWidget* area);
    void buildToolbar(QWidget* area);
    void buildMenus();
    void buildLanguageMenu(class QMenu* file);
    void render();
    void PrintList(const QString& text);
    void showMessage(const QString& title, const QString& text);
    void onDownloadEnded(DownloadEnd how);
    // Keeps the download that just ended in the record database; the number, or 0.
    // A failure is told in a message, or put into *failure when one is given.
    qint64 archiveDownload(DownloadEnd how, QString* failure = nullptr);
    // Opens the record database, telling once what the first opening did; false when told why not.
    // With missingIsFine, no database there yet is no failure (the first test kept makes one).
    bool openArchive(bool missingIsFine = false);
    // Tells what the database did beside the last call (a file moved aside, a new one started).
    void tellArchiveNotice();
    void releasePort();
    // Closing while a download runs: what it stored is kept as an interrupted test; a failure is
    // told before the window goes.
    void keepInterruptedDownload();
    // The window leaves the test it shows (a new download, Clear, a file opened): a reopened
    // test's information gives way to the remembered one.
    void leaveShownTest();
    // The shown test's record is gone from the database: the title no longer names it, told once.
    void forgetGoneTest();
    // False (told) while the list shows an opened file, which has no groups for a report or CSV.
    bool groupsShown(const QString& title);
    void recordReading(const Reading& reading);
    void stopRecording();
    // Puts a window of this program beside this one, where it fits.
    void placeBeside(QWidget* window);
    // A kept test (here or on the server) into the store and the list, its report's download
    // information its own; false while a download runs.
    bool loadTest(const TestRecord& test, const QList<ArchivedGroup>& groups);
    // The error curve window, when open, takes the shown test again.
    void followCurve();
    // What the title panel shows when no notice is up: the title, or the record's row count.
    QString titleText() const;

    MainWindowParts parts_;
    std::unique_ptr<Monitor> monitor_;
    std::unique_ptr<MonitorTimers> timers_;

    QToolBar* toolbar_ = nullptr;
    QLabel* readingLabels_[9] = {};
    QLabel* label14_ = nullptr;
    QLabel* label17_ = nullptr;
    QLabel* label15_ = nullptr;
    QLabel* label16_ = nullptr;
    ListView* list_ = nullptr;
    ListView* printBuffer_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QComboBox* portField_ = nullptr;
    QLineEdit* stateFields_[4] = {};
    QPushButton* buttons_[4] = {}; // Command1..Command4
    QPushButton* exitButton_ = nullptr;
    QLabel* panels_[3] = {};
    PrintRangeDialog* printRange_ = nullptr;
    QPointer<TrendWindow> trend_;
    QPointer<CurveWindow> curve_;
    std::unique_ptr<LiveRecorder> recorder_;
    std::unique_ptr<Archive> archive_;
    QPointer<HistoryWindow> history_;
    QPointer<ServerDialog> serverDialog_;
    std::optional<TestRecord> serverTest_; // the server test shown, if any
    QString serverPassword_;               // given in 服务器… for this run only, never kept
    QString openedTest_;                   // the title panel's words for a reopened test
    qint64 shownRecord_ = 0;               // the record of the test the window shows
    bool reopened_ = false;                // the window shows a test reopened from 历史记录
    // The list shows a whole download that was split; the report, CSV and curve are of the
    // shown test, one of its parts.
    bool partOfDownload_ = false;
    ReportChooser reportChooser_;
    bool listFromFile_ = false; // the list shows an opened file, not the stored groups
    bool interruptedKept_ = false;
    std::unique_ptr<TrendSamples> trendSamples_; // the last ten minutes, whether shown or not
    QAction* recordAction_ = nullptr;

    TestInfo testInfo_;
    DownloadInfo lastDownload_;
    bool adviceShown_ = false; // the title panel shows what to try when no instrument answers
    QString statusNotice_;
    QDateTime statusNoticeUntil_;
    QString lastPortNotice_;
    std::unique_ptr<SyncService> sync_;
    QAction* syncNowAction_ = nullptr;
    int syncWaiting_ = 0;
    QString syncTip_; // the last reason something waits, naming the server, and when
    QString dataPath_;
    bool centred_ = false;
    bool released_ = false;
};

} // namespace velantis
