// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/main_window.h"

#include "archive/sync_worker.h"
#include "records/csv_export.h"
#include "records/data_file.h"
#include "records/list_test_import.h"
#include "records/live_record.h"
#include "records/test_json.h"
#include "report/fonts.h"
#include "report/shown_texts.h"
#include "windows/curve_window.h"
#include "windows/file_messages.h"
#include "windows/history_window.h"
#include "windows/icons.h"
#include "windows/interface_language.h"
#include "windows/list_printing.h"
#include "windows/list_view.h"
#include "windows/print_range_dialog.h"
#include "windows/server_dialog.h"
#include "windows/test_info_dialog.h"
#include "windows/trend_window.h"
#include "windows/twips.h"
#include "windows/window_services.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryFile>
#include <QToolBar>

#include <algorithm>

namespace velantis {

const QStringList MainWindow::OpenFilters = {
    QStringLiteral("All Files (*.*) (*)"),
    QStringLiteral("Text Files(*.txt) (*.txt)"),
    QStringLiteral("DOC Files (*.doc) (*.doc)"),
};
const QStringList MainWindow::SaveFilters = {
    QStringLiteral("Text Files(*.txt) (*.txt)"),
    QStringLiteral("doc Files (*.doc) (*.doc)"),
};

namespace {

// A notice in the title panel stays this long before the title comes back.
constexpr qint64 StatusNoticeMs = 10000;

template <typename W> W* Place(QWidget* parent, const char* name, const QRect& rect) {
    auto* w = new W(parent);
    w->setObjectName(QString::fromUtf8(name));
    w->setGeometry(rect);
    return w;
}

QLabel* StaticLabel(QWidget* parent, const char* name, const QString& text, const QRect& rect,
                    const QFont& font) {
    auto* label = Place<QLabel>(parent, name, rect);
    label->setText(text);
    label->setFont(font);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QGroupBox* Frame(QWidget* parent, const char* name, const QString& title, const QRect& rect) {
    auto* frame = Place<QGroupBox>(parent, name, rect);
    frame->setTitle(title);
    return frame;
}

// A list: shows a text the controller keeps, CR LF and all; the user cannot edit it (an edit
// would be gone at the next refresh).
ListView* ListBox(QWidget* parent, const char* name, const QRect& rect) {
    auto* box = Place<ListView>(parent, name, rect);
    box->setFont(ListFont());
    return box;
}

// Only when the text changed: a new text puts the view back at the top.
void ShowListText(ListView* box, const QString& text) {
    if (text != box->text())
        box->setText(text);
}

void SetIfChanged(QLabel* label, const QString& text) {
    if (label->text() != text)
        label->setText(text);
}

void SetIfChanged(QLineEdit* field, const QString& text) {
    if (field->text() != text)
        field->setText(text);
}

// What to try when no instrument answers: the ports tried, the cable and power, the dialout
// group for a port the system refused, and the demo.
QString SearchAdviceText(const Monitor::SearchReport& report) {
    QStringList tried;
    for (const auto& [n, device] : report.tried)
        tried << QStringLiteral("COM%1 %2").arg(n).arg(QDir::toNativeSeparators(device));
    QString text =
        tried.isEmpty()
            ? QCoreApplication::translate("velantis::MainWindow", "未找到仪器 (没有可用的串口)")
            : QCoreApplication::translate("velantis::MainWindow", "未找到仪器 (已查找 %1)")
                  .arg(tried.join(u'、'));
    text += QCoreApplication::translate("velantis::MainWindow", "：请检查电缆和仪器电源");
    if (!report.refused.isEmpty())
        text += QCoreApplication::translate(
                    "velantis::MainWindow",
                    "；%1 无权打开，请把用户加入 dialout 组 (sudo usermod -aG dialout "
                    "$USER) 后重新登录")
                    .arg(report.refused.join(u'、'));
    return text +
           QCoreApplication::translate("velantis::MainWindow", "；无仪器时可用 --demo 试用。");
}

bool FolderWritable(const QString& folder) {
    QTemporaryFile probe(folder + QStringLiteral("/.velantis-write-test-XXXXXX"));
    return probe.open();
}

} // namespace

MainWindow::MainWindow(MainWindowParts parts) : parts_(std::move(parts)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Velantis V1.0"));
    setWindowIcon(AppIcon());
    // The default font for controls without one of their own: the 9 pt CJK face, whose ASCII
    // cells are 6 pixels wide like the system font the layout was drawn for.
    setFont(ListFont());
    setAttribute(Qt::WA_DeleteOnClose); // the close box unloads it, port and timers included
    // Fixed single border, no maximise button.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);

    if (!parts_.fileDialogs)
        parts_.fileDialogs = std::make_unique<QtFileDialogs>();
    if (!parts_.printerChooser)
        parts_.printerChooser = std::make_unique<QtPrinterChooser>();
    monitor_ = std::make_unique<Monitor>(*parts_.line, *parts_.ports, parts_.programFolder);
    {
        QSettings settings = ProgramSettings();
        testInfo_ = LoadTestInfo(settings);
    }
    timers_ = std::make_unique<MonitorTimers>(*monitor_);

    // The layout's 887 x 641 pixels lie below the menu bar; every control sits at its place.
    auto* area = new QWidget(this);
    area->setObjectName(QStringLiteral("clientArea"));
    area->setFixedSize(ClientWidth, ClientHeight);
    setCentralWidget(area);
    buildToolbar(area);
    buildControls(area);
    buildMenus();
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    connect(monitor_.get(), &Monitor::displayChanged, this, &MainWindow::render);
    connect(monitor_.get(), &Monitor::downloadEnded, this, &MainWindow::onDownloadEnded);
    connect(monitor_.get(), &Monitor::groupCountError, this, [this] {
        // The instrument holds no groups. Shown without blocking the receive handling.
        showMessage(QStringLiteral("  Error!"),
                    QStringLiteral("Error\r\n")); // the same in every language
    });
    monitor_->setPrintList([this](const QString& text) { PrintList(text); });
    connect(monitor_.get(), &Monitor::searchUnanswered, this, [this] {
        showStatusNotice(SearchAdviceText(monitor_->searchReport()));
        adviceShown_ = true;
    });
    connect(monitor_.get(), &Monitor::liveReading, this, &MainWindow::recordReading);
    // The trend keeps the last ten minutes from the start, whether or not its window is open.
    trendSamples_ = std::make_unique<TrendSamples>();
    connect(monitor_.get(), &Monitor::liveNumbers, trendSamples_.get(),
            [this](const ReadingNumbers& n) {
                trendSamples_->add(QDateTime::currentMSecsSinceEpoch(), n);
            });

    // Loading the window starts the controller: port opened, store cleared, list refreshed.
    monitor_->Form_Load();
    render();
}

MainWindow::~MainWindow() {
    releasePort();
    if (printRange_)
        printRange_->close();
}

void MainWindow::buildToolbar(QWidget* area) {
    toolbar_ = Place<QToolBar>(area, "Toolbar1", Twips(0, 0, 13305, 660));
    toolbar_->setMovable(false);
    toolbar_->setFloatable(false);
    toolbar_->setIconSize(QSize(32, 32));
    // Captions beside the icons keep the bar within its 44 pixels.
    toolbar_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    toolbar_->layout()->setContentsMargins(2, 0, 2, 0);
    toolbar_->setFocusPolicy(Qt::NoFocus);
    const struct {
        const char* key;
        ToolIcon icon;
    } buttons[] = {
        {QT_TR_NOOP("打开"), ToolIcon::Open},  {QT_TR_NOOP("读取"), ToolIcon::Read},
        {QT_TR_NOOP("保存"), ToolIcon::Save},  {QT_TR_NOOP("打印"), ToolIcon::Print},
        {QT_TR_NOOP("清除"), ToolIcon::Clear}, {QT_TR_NOOP("退出"), ToolIcon::Exit},
    };
    for (const auto& b : buttons) {
        const QString key = QString::fromUtf8(b.key);
        QAction* action = toolbar_->addAction(QIcon(ToolPixmap(b.icon)), tr(b.key));
        action->setObjectName(key);
        action->setData(key);
        connect(action, &QAction::triggered, this, [this, key] { Toolbar1_ButtonClick(key); });
    }
}

void MainWindow::buildControls(QWidget* area) {
    const QFont head = SongFont(15.75, true);
    const QFont reading = SongFont(26.25, true);
    const QFont error = SongFont(15.75, false);

    auto* frame4 = Frame(area, "Frame4", tr("其它"), Twips(120, 1080, 1695, 1575));
    label14_ =
        StaticLabel(frame4, "Label14", ShownText(NoSetting), Twips(120, 340, 1335, 255), font());
    label17_ =
        StaticLabel(frame4, "Label17", ShownText(NoRatio), Twips(120, 620, 1455, 255), font());
    label15_ =
        StaticLabel(frame4, "Label15", tr("高压端电压低"), Twips(120, 920, 1215, 255), font());
    label16_ =
        StaticLabel(frame4, "Label16", tr("低压端电压低"), Twips(120, 1200, 1095, 255), font());
    label15_->hide();
    label16_->hide();

    StaticLabel(area, "Label7", QStringLiteral("  1st"), Twips(3360, 720, 1455, 375), head);
    StaticLabel(area, "Label6", QStringLiteral("  2nd"), Twips(6840, 720, 1575, 375), head);
    StaticLabel(area, "Label18", QStringLiteral("F.Er"), Twips(9240, 720, 855, 375), head);
    StaticLabel(area, "Label3", QStringLiteral("R:"), Twips(1920, 1200, 495, 375), head);
    StaticLabel(area, "Label11", QStringLiteral("S:"), Twips(1920, 1700, 495, 375), head);
    StaticLabel(area, "Label12", QStringLiteral("T:"), Twips(1920, 2280, 495, 375), head);

    // The reading grid, in the order of DisplayState: 1st R/S/T, 2nd R/S/T, F.Er R/S/T.
    const struct {
        const char* name;
        QRect rect;
    } cells[9] = {
        {"Label8", Twips(2520, 1080, 3060, 540)},  {"Label9", Twips(2520, 1680, 3015, 495)},
        {"Label10", Twips(2520, 2280, 3015, 495)}, {"Label2", Twips(6000, 1080, 3015, 495)},
        {"Label4", Twips(6000, 1680, 3015, 495)},  {"Label5", Twips(6000, 2280, 3015, 495)},
        {"Label13", Twips(9120, 1080, 1095, 495)}, {"Label19", Twips(9120, 1680, 1095, 495)},
        {"Label20", Twips(9120, 2280, 1095, 495)},
    };
    for (int i = 0; i < 9; ++i) {
        QLabel* label = Place<QLabel>(area, cells[i].name, cells[i].rect);
        label->setFont(i < 6 ? reading : error);
        label->setText(i < 6 ? NoReading : ZeroError);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        label->setFrameShape(QFrame::Box);
        label->setLineWidth(1);
        readingLabels_[i] = label;
    }

    list_ = ListBox(area, "RichTextBox1", Twips(120, 2880, 10335, 5535));
    progress_ = Place<QProgressBar>(area, "ProgressBar1", Twips(0, 8400, 10455, 375));
    progress_->setRange(0, 100);
    progress_->setTextVisible(false);
    progress_->hide();
    printBuffer_ = ListBox(area, "RichTextBox2", Twips(720, 8880, 375, 255));
    printBuffer_->hide();

    auto* frame1 = Frame(area, "Frame1", tr("通信"), Twips(10560, 120, 2535, 975));
    StaticLabel(frame1, "Label1", QStringLiteral("COM:"), Twips(600, 360, 375, 255), font());
    portField_ = Place<QComboBox>(frame1, "Combo1", Twips(960, 280, 855, 300));
    portField_->setEditable(true);
    portField_->setInsertPolicy(QComboBox::NoInsert);
    portField_->setEditText(QStringLiteral("1"));
    // What the user types goes to the controller at once.
    connect(portField_->lineEdit(), &QLineEdit::textEdited, monitor_.get(),
            &Monitor::setPortFieldText);

    auto* frame2 = Frame(area, "Frame2", tr("操作"), Twips(10560, 1320, 2535, 5535));
    const struct {
        const char* name;
        const char* caption;
        int top;
        void (MainWindow::*handler)();
    } commands[] = {
        {"Command1", QT_TR_NOOP("打  开"), 360, &MainWindow::Command1_Click},
        {"Command2", QT_TR_NOOP("读  取"), 1200, &MainWindow::Command2_Click},
        {"Command3", QT_TR_NOOP("保  存"), 2040, &MainWindow::Command3_Click},
        {"Command4", QT_TR_NOOP("删除数据"), 2880, &MainWindow::Command4_Click},
        {"Command6", QT_TR_NOOP("打  印"), 3720, &MainWindow::Command6_Click},
        {"Command5", QT_TR_NOOP("退  出"), 4560, &MainWindow::Command5_Click},
    };
    QPushButton* made[6] = {};
    for (int i = 0; i < 6; ++i) {
        auto* button =
            Place<QPushButton>(frame2, commands[i].name, Twips(480, commands[i].top, 1695, 615));
        button->setText(tr(commands[i].caption));
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, commands[i].handler);
        made[i] = button;
    }
    for (int i = 0; i < 4; ++i)
        buttons_[i] = made[i];
    QPushButton* command6 = made[4];
    QPushButton* command5 = made[5];
    exitButton_ = command5;

    auto* frame3 = Frame(area, "Frame3", tr("状态信息"), Twips(10560, 7080, 2535, 1455));
    const char* fieldNames[4] = {"Text1", "Text2", "Text3", "Text4"};
    const QString initial[4] = {QStringLiteral("COM1"), QStringLiteral("Text2"),
                                QStringLiteral("Text3"), QString()};
    for (int i = 0; i < 4; ++i) {
        auto* field = Place<QLineEdit>(frame3, fieldNames[i], Twips(240, 240 + 240 * i, 1800, 270));
        field->setText(initial[i]);
        field->setReadOnly(true); // rewritten every 70 ms
        stateFields_[i] = field;
    }

    auto* status = Place<QStatusBar>(area, "StatusBar1", Twips(0, 9240, 13305, 375));
    status->setSizeGripEnabled(false);
    const int widths[3] = {1605, 10000, 1640};
    for (int i = 0; i < 3; ++i) {
        auto* panel = new QLabel(status);
        panel->setObjectName(QStringLiteral("panel%1").arg(i + 1));
        panel->setFixedWidth(TwipsToPixels(widths[i]));
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        status->addWidget(panel);
        panels_[i] = panel;
    }

    // Tab order by the layout's tab indexes.
    QWidget* order[] = {buttons_[0],     buttons_[1],     buttons_[2],     buttons_[3],
                        command5,        portField_,      stateFields_[0], stateFields_[1],
                        stateFields_[2], stateFields_[3], list_,           command6};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void MainWindow::buildMenus() {
    auto add = [this](QMenu* menu, const char* name, void (MainWindow::*handler)()) {
        QAction* action = menu->addAction(tr(name));
        action->setObjectName(QString::fromUtf8(name));
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    QMenu* file = menuBar()->addMenu(tr("文件"));
    file->setObjectName(QStringLiteral("at"));
    add(file, QT_TR_NOOP("打开"), &MainWindow::Command1_Click);
    add(file, QT_TR_NOOP("保存"), &MainWindow::Command3_Click);
    add(file, QT_TR_NOOP("导出 CSV"), &MainWindow::ExportCsv);
    add(file, QT_TR_NOOP("测试信息"), &MainWindow::EditTestInfo);
    add(file, QT_TR_NOOP("历史记录"), &MainWindow::ShowHistory);
    syncNowAction_ = file->addAction(tr("立即同步"));
    syncNowAction_->setObjectName(QStringLiteral("syncNowAction"));
    syncNowAction_->setEnabled(false); // until a server is set
    QAction* server = add(file, QT_TR_NOOP("服务器"), &MainWindow::ShowServerDialog);
    server->setObjectName(QStringLiteral("serverAction"));
    server->setText(tr("服务器…"));
    buildLanguageMenu(file);
    add(file, QT_TR_NOOP("退出"), &MainWindow::Command5_Click);
    QMenu* operate = menuBar()->addMenu(tr("操作"));
    operate->setObjectName(QStringLiteral("caozhou"));
    add(operate, QT_TR_NOOP("读取"), &MainWindow::Command2_Click);
    add(operate, QT_TR_NOOP("打印"), &MainWindow::Command6_Click);
    add(operate, QT_TR_NOOP("数据清除"), &MainWindow::Command4_Click);
    operate->addSeparator();
    add(operate, QT_TR_NOOP("打印预览"), &MainWindow::PrintPreview);
    add(operate, QT_TR_NOOP("导出 PDF"), &MainWindow::ExportPdf);
    add(operate, QT_TR_NOOP("打印报告"), &MainWindow::PrintReport);
    add(operate, QT_TR_NOOP("报告预览"), &MainWindow::PreviewReport);
    add(operate, QT_TR_NOOP("导出报告"), &MainWindow::ExportReport);
    add(operate, QT_TR_NOOP("趋势图"), &MainWindow::ShowTrend);
    add(operate, QT_TR_NOOP("误差曲线"), &MainWindow::ShowCurve);
    add(operate, QT_TR_NOOP("拆分测试"), &MainWindow::SplitTest);
    recordAction_ = add(operate, QT_TR_NOOP("记录"), &MainWindow::ToggleRecording);
    recordAction_->setText(tr("记录…"));
}

void MainWindow::buildLanguageMenu(QMenu* file) {
    // Each language by its own name, so that it can be found whichever the windows speak.
    QMenu* menu = file->addMenu(tr("语言"));
    menu->setObjectName(QStringLiteral("language"));
    auto* group = new QActionGroup(menu);
    const struct {
        const char* name;
        Language language;
    } languages[] = {{"中文", Language::Chinese}, {"English", Language::English}};
    for (const auto& l : languages) {
        QAction* action = menu->addAction(QString::fromUtf8(l.name));
        action->setObjectName(LanguageCode(l.language));
        action->setCheckable(true);
        action->setChecked(l.language == parts_.language);
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, language = l.language] {
            RememberWindowsLanguage(language);
            if (language != parts_.language)
                showMessage(tr("语言"), tr("界面语言将在下次启动程序时更改。"));
        });
    }
}

void MainWindow::startTimers() {
    timers_->start();
}

void MainWindow::render() {
    const DisplayState& d = monitor_->display();
    if (adviceShown_ && monitor_->linkUp == 1) { // the instrument answered: the advice goes
        adviceShown_ = false;
        statusNoticeUntil_ = QDateTime();
    }
    const QString* cells[9] = {&d.Label8, &d.Label9,  &d.Label10, &d.Label2, &d.Label4,
                               &d.Label5, &d.Label13, &d.Label19, &d.Label20};
    for (int i = 0; i < 9; ++i)
        SetIfChanged(readingLabels_[i], *cells[i]);
    SetIfChanged(label14_, ShownText(d.Label14));
    SetIfChanged(label17_, ShownText(d.Label17));
    label15_->setVisible(d.Label15Visible);
    label16_->setVisible(d.Label16Visible);

    const QString* fields[4] = {&d.Text1, &d.Text2, &d.Text3, &d.Text4};
    for (int i = 0; i < 4; ++i)
        SetIfChanged(stateFields_[i], ShownText(*fields[i]));
    // Only when the controller's text differs, so typing is not overwritten by the refresh.
    if (portField_->currentText() != d.Combo1)
        portField_->setEditText(d.Combo1);

    const bool enabled[4] = {d.Command1Enabled, d.Command2Enabled, d.Command3Enabled,
                             d.Command4Enabled};
    for (int i = 0; i < 4; ++i)
        buttons_[i]->setEnabled(enabled[i]);
    progress_->setValue(d.progressValue);
    progress_->setVisible(d.progressVisible);
    progress_->setEnabled(d.progressEnabled);

    if (!d.portNotice.isEmpty() && d.portNotice != lastPortNotice_)
        showStatusNotice(ShownText(d.portNotice));
    lastPortNotice_ = d.portNotice;
    const bool notice =
        statusNoticeUntil_.isValid() && QDateTime::currentDateTimeUtc() < statusNoticeUntil_;
    SetIfChanged(panels_[0], ShownText(d.panel1));
    SetIfChanged(panels_[1], notice ? statusNotice_ : titleText());
    // A long notice is cut at the panel's edge: the whole of it as the panel's tip.
    if (const QString tip = notice ? statusNotice_ : titlePanelTip(); panels_[1]->toolTip() != tip)
        panels_[1]->setToolTip(tip);
    SetIfChanged(panels_[2], d.panel3);

    ShowListText(list_, monitor_->history().listText());
    ShowListText(printBuffer_, monitor_->history().printText());
    followCurve();
}

void MainWindow::showStatusNotice(const QString& text) {
    statusNotice_ = text;
    statusNoticeUntil_ = QDateTime::currentDateTimeUtc().addMSecs(StatusNoticeMs);
    panels_[1]->setText(text);
}

QString MainWindow::titleText() const {
    const QString waiting =
        sync_ && syncWaiting_ > 0 ? tr("  待同步 %1").arg(syncWaiting_) : QString();
    if (!recording())
        return (openedTest_.isEmpty() ? monitor_->display().panel2 : openedTest_) + waiting;
    return tr("记录中：%1 行 → %2")
               .arg(recorder_->rows())
               .arg(QFileInfo(recorder_->path()).fileName()) +
           waiting;
}

QString MainWindow::titlePanelTip() const {
    return sync_ && syncWaiting_ > 0 ? syncTip_ : QString();
}

void MainWindow::setSync(std::unique_ptr<SyncService> sync) {
    sync_ = std::move(sync); // the one before (another server's) ends here
    syncWaiting_ = 0;
    syncTip_.clear();
    syncNowAction_->setEnabled(sync_ != nullptr);
    if (!sync_) {
        SetIfChanged(panels_[1], titleText());
        panels_[1]->setToolTip(titlePanelTip());
        return;
    }
    connect(syncNowAction_, &QAction::triggered, sync_.get(), &SyncService::nudge);
    connect(sync_.get(), &SyncService::status, this,
            [this](int waiting, const QString& reason, const QDateTime& when) {
                syncWaiting_ = waiting;
                syncTip_ = reason.isEmpty()
                               ? QString()
                               : QStringLiteral("%1 (%2)").arg(
                                     reason, QLocale().toString(when, QLocale::ShortFormat));
                const bool notice = statusNoticeUntil_.isValid() &&
                                    QDateTime::currentDateTimeUtc() < statusNoticeUntil_;
                if (!notice) {
                    SetIfChanged(panels_[1], titleText());
                    panels_[1]->setToolTip(titlePanelTip());
                }
            });
    sync_->start();
}

QString MainWindow::titlePanelText() const {
    return panels_[1]->text();
}

void MainWindow::onDownloadEnded(DownloadEnd how) {
    lastDownload_.at = QDateTime::currentDateTime();
    lastDownload_.port = QStringLiteral("COM%1 (%2)")
                             .arg(monitor_->commPort())
                             .arg(QDir::toNativeSeparators(monitor_->display().portDevice));
    lastDownload_.ending = how;
    lastDownload_.announced = monitor_->announcedGroups();
    lastDownload_.stored = monitor_->groupsStored();
    openedTest_.clear();
    reopened_ = false;
    partOfDownload_ = false;
    serverTest_.reset();
    listFromFile_ = false;
    // An end frame ends a download only with every announced group stored; any other end is
    // told for a while in the title panel, and so is the test's number in the record database.
    const qint64 number = archiveDownload(how);
    shownRecord_ = number;
    if (number != 0 && sync_)
        sync_->nudge();
    QString notice =
        how != DownloadEnd::EndFrame ? ShownText(monitor_->display().downloadSummary) : QString();
    if (number != 0)
        notice += (notice.isEmpty() ? QString() : tr("；")) + tr("已存档 第 %1 号").arg(number);
    if (!notice.isEmpty())
        showStatusNotice(notice);
}

void MainWindow::setRecordsPath(const QString& path) {
    if (history_)
        history_->close();
    delete history_.data();
    archive_.reset();
    if (!path.isEmpty())
        archive_ = std::make_unique<Archive>(path);
}

void MainWindow::tellArchiveNotice() {
    const QString notice = archive_->takeNotice();
    if (notice.isEmpty())
        return;
    if (archive_->isReadOnly())
        showMessage(tr("记录数据库"),
                    tr("记录数据库由更新版本的程序写入，只能查看，新的测试不再存档：\n%1")
                        .arg(QDir::toNativeSeparators(archive_->path())));
    else if (!archive_->asideName().isEmpty())
        showMessage(tr("记录数据库"), tr("记录数据库无法读取，已改名保存为：\n%1\n并新建了：\n%2")
                                          .arg(QDir::toNativeSeparators(archive_->asideName()),
                                               QDir::toNativeSeparators(archive_->path())));
    else // the database's own words (the file went away while the program ran, say)
        showMessage(tr("记录数据库"), notice);
}

bool MainWindow::openArchive(bool missingIsFine) {
    ArchiveError error;
    const bool open = archive_->open(&error);
    tellArchiveNotice();
    if (open || (missingIsFine && error.reason == ArchiveError::Reason::NoDatabase))
        return true;
    showMessage(tr("记录数据库"), ArchiveFailureText(archive_->path(), error));
    return false;
}

qint64 MainWindow::archiveDownload(DownloadEnd how, QString* failure) {
    if (!archive_ || monitor_->groupsStored() == 0)
        return 0;
    TestRecord record;
    record.started = monitor_->downloadStarted();
    record.ended = lastDownload_.at;
    record.port = lastDownload_.port;
    record.ending = how;
    record.announced = monitor_->announcedGroups();
    record.stored = monitor_->groupsStored();
    record.info = testInfo_;
    // No database yet is fine: the first test kept makes it.
    if (!openArchive(true))
        return 0;
    ArchiveError error;
    const auto number = archive_->add(record, monitor_->store(), &error);
    // The file may have been moved or deleted while the program ran: a new one was started.
    tellArchiveNotice();
    if (!number) {
        // Told once; the list and everything else go on as after any download.
        const QString text =
            tr("这次读取的数据未能存入记录数据库，列表中的数据不受影响，可以照常保存。\n") +
            ArchiveFailureText(archive_->path(), error);
        if (failure)
            *failure = text;
        else
            showMessage(tr("存档"), text);
        return 0;
    }
    if (history_)
        history_->reload();
    return *number;
}

void MainWindow::keepInterruptedDownload() {
    if (interruptedKept_ || monitor_->downloading != 1 || monitor_->groupsStored() == 0)
        return;
    interruptedKept_ = true;
    lastDownload_.at = QDateTime::currentDateTime();
    lastDownload_.port = QStringLiteral("COM%1 (%2)")
                             .arg(monitor_->commPort())
                             .arg(QDir::toNativeSeparators(monitor_->display().portDevice));
    QString failure;
    archiveDownload(DownloadEnd::Interrupted, &failure);
    // The download ends here: no late frame or tick may end it a second time.
    releasePort();
    if (!failure.isEmpty()) {
        // The window goes: told now, or never.
        QMessageBox box(QMessageBox::NoIcon, tr("存档"), failure, QMessageBox::Ok, this);
        box.exec();
    }
}

void MainWindow::leaveShownTest() {
    if (reopened_) {
        // A new test takes the remembered information again, not the reopened test's.
        QSettings settings = ProgramSettings();
        testInfo_ = LoadTestInfo(settings);
    }
    reopened_ = false;
    partOfDownload_ = false;
    serverTest_.reset();
    shownRecord_ = 0;
    openedTest_.clear();
}

void MainWindow::forgetGoneTest() {
    if (shownRecord_ == 0)
        return;
    const qint64 number = shownRecord_;
    shownRecord_ = 0;
    partOfDownload_ = false;
    openedTest_.clear();
    showStatusNotice(tr("第 %1 号记录已不在记录数据库中").arg(number));
    render();
}

bool MainWindow::groupsShown(const QString& title) {
    if (!listFromFile_)
        return true;
    showMessage(title, tr("列表显示的是打开的文件 %1，其中没有测试数据组，无法生成报告或 CSV。\n"
                          "请先读取数据，或从历史记录打开一次测试。")
                           .arg(QDir::toNativeSeparators(dataPath_)));
    return false;
}

HistoryWindow* MainWindow::historyWindow() const {
    return history_;
}

void MainWindow::ShowHistory() {
    if (!archive_) {
        showMessage(tr("历史记录"), tr("本次运行不保存测试记录 (--no-archive)。"));
        return;
    }
    // No database yet: the window shows that no test has been kept so far.
    if (!openArchive(true))
        return;
    if (!history_) {
        history_ = new HistoryWindow(
            *archive_, *parts_.fileDialogs,
            [this](const TestRecord& test, const QList<ArchivedGroup>& groups) {
                return reopenTest(test, groups);
            },
            this);
        connect(history_, &HistoryWindow::reloaded, this, [this] {
            if (shownRecord_ != 0 && history_ && !history_->lists(shownRecord_))
                forgetGoneTest();
        });
        connect(history_, &HistoryWindow::infoChanged, this,
                [this](qint64 number, const TestInfo& info) {
                    if (number == shownRecord_) {
                        testInfo_ = info; // the report of the shown test says the same
                        followCurve();
                    }
                });
        connect(history_, &HistoryWindow::fileWritten, this, [this](const QString& path) {
            showStatusNotice(tr("已导出 %1").arg(QFileInfo(path).fileName()));
        });
        // The test shown split: the list stays as it is, the window speaks of its first part,
        // so that a report or CSV made here is of that test alone, never of the whole download
        // under its number.
        connect(history_, &HistoryWindow::split, this, [this](qint64 number) {
            if (number == shownRecord_)
                showPartOfDownload(number);
        });
        connect(history_, &HistoryWindow::imported, this,
                [this](qint64 number) { showStatusNotice(tr("已导入 第 %1 号记录").arg(number)); });
        history_->setServerOpener(
            [this](const TestRecord& test, const QList<ArchivedGroup>& groups) {
                return showServerTest(test, groups);
            });
        connect(history_, &HistoryWindow::serverInfoChanged, this, [this](const TestRecord& test) {
            if (serverTest_ && serverTest_->uuid == test.uuid) {
                serverTest_ = test;
                testInfo_ = test.info; // the report of the shown test says the same
                followCurve();
            }
        });
        connect(history_, &HistoryWindow::copied, this, [this](qint64 number) {
            showStatusNotice(tr("已复制到本机 第 %1 号记录").arg(number));
        });
        history_->setServer(RememberedServer(ProgramSettings()), serverPassword_);
    } else {
        history_->reload();
    }
    history_->show();
    history_->raise();
    history_->activateWindow();
}

bool MainWindow::loadTest(const TestRecord& test, const QList<ArchivedGroup>& groups) {
    std::vector<std::pair<int, MeasurementFrame>> frames;
    frames.reserve(static_cast<std::size_t>(groups.size()));
    for (const ArchivedGroup& g : groups)
        frames.emplace_back(g.group, g.frame);
    if (!monitor_->loadGroups(frames))
        return false;
    // The report, the CSV and the next Save speak of this test, as after its download.
    lastDownload_ = DownloadInfoOf(test);
    testInfo_ = test.info;
    reopened_ = true;
    partOfDownload_ = false;
    listFromFile_ = false;
    return true;
}

bool MainWindow::reopenTest(const TestRecord& test, const QList<ArchivedGroup>& groups) {
    if (!loadTest(test, groups))
        return false;
    shownRecord_ = test.number;
    serverTest_.reset();
    openedTest_ =
        tr("记录 第 %1 号 %2 %3")
            .arg(test.number)
            .arg(test.ended.toString(QStringLiteral("yyyy-MM-dd HH:mm")), test.info.station)
            .trimmed();
    if (const qsizetype parts = downloadTests().size(); parts > 1)
        openedTest_ += tr("（组 %1–%2，下载的 %3 项测试之一）")
                           .arg(test.firstGroup)
                           .arg(test.lastGroup)
                           .arg(parts);
    render();
    showStatusNotice(openedTest_);
    return true;
}

void MainWindow::showPartOfDownload(qint64 number) {
    TestRecord test;
    QList<ArchivedGroup> groups;
    if (!archive_ || !archive_->find(number, &test, &groups, nullptr))
        return;
    shownRecord_ = number;
    partOfDownload_ = true;
    testInfo_ = test.info;
    openedTest_ = tr("第 %1 号记录：组 %2–%3（这次下载的 %4 项测试之一）")
                      .arg(number)
                      .arg(test.firstGroup)
                      .arg(test.lastGroup)
                      .arg(downloadTests().size());
    render();
    followCurve();
    showStatusNotice(openedTest_);
}

QList<TestRecord> MainWindow::downloadTests() const {
    QList<TestRecord> all;
    if (shownRecord_ == 0 || !archive_ || !archive_->list(&all, nullptr))
        return {};
    const auto shown = std::find_if(
        all.cbegin(), all.cend(), [this](const TestRecord& t) { return t.number == shownRecord_; });
    if (shown == all.cend())
        return {};
    QList<TestRecord> tests;
    for (const TestRecord& t : all)
        if (t.download == shown->download)
            tests.append(t);
    std::sort(tests.begin(), tests.end(),
              [](const TestRecord& a, const TestRecord& b) { return a.firstGroup < b.firstGroup; });
    return tests;
}

bool MainWindow::chooseReports(const QString& title, QList<TestReport>* reports,
                               QList<PdfAttachment>* attachments) {
    const QList<TestRecord> tests = downloadTests();
    if (tests.size() < 2) {
        *reports = {currentReport()};
        *attachments = {reportAttachment()};
        return true;
    }
    QList<TestReport> each;
    QList<PdfAttachment> jsons;
    QStringList items;
    int preselected = 0;
    for (const TestRecord& listed : tests) {
        TestRecord test;
        QList<ArchivedGroup> groups;
        if (!archive_->find(listed.number, &test, &groups, nullptr))
            continue;
        if (test.number == shownRecord_)
            preselected = static_cast<int>(items.size());
        each.append(ArchivedTestReport(test, groups));
        jsons.append(TestJsonAttachment(test, groups));
        items << tr("第 %1 号记录：组 %2–%3，额定变比 %4 %5")
                     .arg(test.number)
                     .arg(test.firstGroup)
                     .arg(test.lastGroup)
                     .arg(each.last().ratedRatio, test.info.device)
                     .trimmed();
    }
    items << tr("全部 %1 项测试，依次写入，各有报告编号和页码").arg(each.size());
    const int choice = reportChooser_ ? reportChooser_(items, preselected) : [&] {
        QInputDialog dialog(this);
        dialog.setObjectName(QStringLiteral("reportChoice"));
        dialog.setWindowTitle(title);
        dialog.setLabelText(tr("这次下载已拆分为 %1 项测试。报告写哪一项？").arg(each.size()));
        dialog.setComboBoxItems(items);
        dialog.setOption(QInputDialog::UseListViewForComboBoxItems);
        dialog.setTextValue(items.value(preselected));
        // Wide enough for the longest line, tall enough for a dozen.
        int widest = 0;
        for (const QString& item : items)
            widest = std::max(widest, dialog.fontMetrics().horizontalAdvance(item));
        dialog.resize(std::max(dialog.sizeHint().width(), widest + 80),
                      std::max(dialog.sizeHint().height(), 16 * dialog.fontMetrics().height()));
        return dialog.exec() == QDialog::Accepted
                   ? static_cast<int>(items.indexOf(dialog.textValue()))
                   : -1;
    }();
    if (choice < 0 || choice >= items.size())
        return false;
    if (choice == items.size() - 1) {
        *reports = each;
        *attachments = jsons;
    } else {
        *reports = {each[choice]};
        *attachments = {jsons[choice]};
    }
    return true;
}

bool MainWindow::showServerTest(const TestRecord& test, const QList<ArchivedGroup>& groups) {
    // As a reopened test, but no record here: 测试信息 goes to the server, never to a record.
    if (!loadTest(test, groups))
        return false;
    shownRecord_ = 0;
    serverTest_ = test;
    openedTest_ = tr("服务器上的测试 %1 %2")
                      .arg(test.started.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")),
                           test.info.station)
                      .trimmed();
    render();
    showStatusNotice(openedTest_);
    return true;
}

ServerDialog* MainWindow::serverDialog() const {
    return serverDialog_;
}

void MainWindow::ShowServerDialog() {
    if (serverDialog_) {
        serverDialog_->raise();
        return;
    }
    serverDialog_ =
        new ServerDialog(RememberedServer(ProgramSettings()), *parts_.fileDialogs, this);
    serverDialog_->setAttribute(Qt::WA_DeleteOnClose);
    connect(serverDialog_, &QDialog::accepted, this, [this] {
        QSettings settings = ProgramSettings();
        RememberServer(settings, serverDialog_->connectionString());
        serverPassword_ = serverDialog_->password();
        if (history_)
            history_->setServer(serverDialog_->connectionString(), serverPassword_);
        // From now on the archived tests go to this server.
        // An emptied server ends the sync: nothing more is sent to the one before.
        const QString server = serverDialog_->connectionString();
        if (archive_)
            setSync(server.isEmpty() ? nullptr
                                     : std::make_unique<SyncService>(archive_->path(), server,
                                                                     nullptr, serverPassword_));
    });
    serverDialog_->open(); // never a nested event loop: the serial line goes on being served
}

void MainWindow::showMessage(const QString& title, const QString& text) {
    auto* box = new QMessageBox(QMessageBox::NoIcon, title, text, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open(); // never a nested event loop: the serial line goes on being served
}

QString MainWindow::DataFolder(const QString& programFolder) {
    // A program installed with the system (under /usr) or by the Windows setup program keeps no
    // data beside itself, even where it could write there.
    const bool installed = programFolder.startsWith(QLatin1String("/usr/")) ||
                           InstalledBySetup(QCoreApplication::applicationDirPath());
    if (!installed && FolderWritable(programFolder))
        return programFolder;
    return DocumentsFolder();
}

QString MainWindow::DefaultDataFileBase() {
    return QStringLiteral("QRTDATA") + QDate::currentDate().toString(QStringLiteral("yyyy-M-d"));
}

QString MainWindow::DefaultDataFileName() const {
    return QDir(DataFolder(parts_.programFolder)).filePath(DefaultDataFileBase());
}

void MainWindow::Command1_Click() {
    const QString path = parts_.fileDialogs->openFileName(this, DefaultDataFileName(), OpenFilters);
    if (path.isEmpty())
        return; // cancelled
    dataPath_ = path;
    QString text;
    FileError failure;
    if (!LoadDataFile(path, &text, nullptr, &failure)) {
        showMessage(tr("打开"), OpenFailureText(path, failure));
        return;
    }
    monitor_->setListText(text);
    leaveShownTest();
    listFromFile_ = true;
    render();
}

void MainWindow::Command3_Click() {
    const QString path = AskSaveName(*parts_.fileDialogs, this, DefaultDataFileBase(), SaveFilters);
    if (path.isEmpty())
        return; // cancelled
    FileError failure;
    if (!SaveDataFile(path, monitor_->history().listText(), nullptr, &failure))
        showMessage(tr("保存"), SaveFailureText(path, failure));
}

void MainWindow::Command2_Click() {
    leaveShownTest();
    listFromFile_ = false;
    interruptedKept_ = false;
    monitor_->Command2_Click();
}

void MainWindow::Command4_Click() {
    leaveShownTest();
    listFromFile_ = false;
    monitor_->Command4_Click();
}

void MainWindow::Command6_Click() {
    if (printRange_)
        return;
    // The dialog has no owner: a child of this window would be disabled along with it.
    setEnabled(false);
    printRange_ = new PrintRangeDialog;
    connect(printRange_, &PrintRangeDialog::accepted, this, [this](int first, int last) {
        printRange_ = nullptr;
        monitor_->form2dybiaozi = 1;
        monitor_->form2kai = first;
        monitor_->form2jie = last;
        setEnabled(true);
    });
    connect(printRange_, &PrintRangeDialog::cancelled, this, [this] {
        printRange_ = nullptr;
        monitor_->form2dybiaozi = 0;
        setEnabled(true);
    });
    printRange_->show();
    if (const QScreen* screen = printRange_->screen())
        printRange_->move(screen->availableGeometry().center() - printRange_->rect().center());
}

void MainWindow::PrintList(const QString& text) {
    // The printer dialog runs its own event loop, in which a refresh may replace the print
    // buffer: print the text as it was when the service ran, and serve no second request
    // meanwhile.
    const QString snapshot = text;
    const bool served = timers_->Timer5.isActive();
    timers_->Timer5.stop();
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QStringLiteral("Velantis"));
    if (parts_.printerChooser->choosePrinter(printer, this)) {
        QString error;
        if (!PrintListText(printer, snapshot, &error))
            showMessage(tr("打印"), error);
    }
    if (served)
        timers_->Timer5.start();
}

void MainWindow::PrintPreview() {
    const QString snapshot = monitor_->history().printText();
    QPrinter printer(QPrinter::HighResolution);
    QPrintPreviewDialog preview(&printer, this);
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [&snapshot](QPrinter* p) { DrawListPages(*p, p->resolution(), snapshot); });
    preview.exec();
}

void MainWindow::ExportPdf() {
    const QString snapshot = monitor_->history().printText();
    const QString path =
        AskSaveName(*parts_.fileDialogs, this, DefaultDataFileBase() + QStringLiteral(".pdf"),
                    {QStringLiteral("PDF Files (*.pdf) (*.pdf)")});
    if (path.isEmpty())
        return;
    QString message;
    if (!ExportListPdf(path, snapshot, &message))
        showMessage(tr("导出 PDF"), message);
    else
        showStatusNotice(tr("已导出 %1").arg(QFileInfo(path).fileName()));
}

void MainWindow::ExportCsv() {
    if (!groupsShown(tr("导出 CSV")))
        return;
    const QString path =
        AskSaveName(*parts_.fileDialogs, this, DefaultDataFileBase() + QStringLiteral(".csv"),
                    {QStringLiteral("CSV Files (*.csv) (*.csv)")});
    if (path.isEmpty())
        return;
    // A part of a split download: its groups alone.
    RecordStore part;
    const RecordStore* store = &monitor_->store();
    TestRecord test;
    QList<ArchivedGroup> groups;
    if (partOfDownload_ && archive_ && archive_->find(shownRecord_, &test, &groups, nullptr)) {
        FillStore(groups, &part);
        store = &part;
    }
    FileError failure;
    if (!SaveCsvFile(path, *store, testInfo_.accuracy, testInfo_.guardBand, nullptr, &failure))
        showMessage(tr("导出 CSV"), SaveFailureText(path, failure));
    else
        showStatusNotice(tr("已导出 %1").arg(QFileInfo(path).fileName()));
}

void MainWindow::setTestInfo(const TestInfo& info) {
    testInfo_ = info;
    followCurve();
    if (!reopened_) { // what the next download takes
        QSettings settings = ProgramSettings();
        SaveTestInfo(settings, info);
    }
    if (shownRecord_ == 0 || !archive_)
        return;
    ArchiveError error;
    if (archive_->updateInfo(shownRecord_, info, &error)) {
        if (history_)
            history_->reload();
        if (sync_)
            sync_->nudge();
    } else if (error.reason == ArchiveError::Reason::NoSuchTest ||
               error.reason == ArchiveError::Reason::NoDatabase) {
        forgetGoneTest();
    } else {
        showMessage(tr("测试信息"), tr("测试信息未能存入第 %1 号记录。\n").arg(shownRecord_) +
                                        ArchiveFailureText(archive_->path(), error));
    }
}

TestReport MainWindow::currentReport() const {
    TestRecord part;
    QList<ArchivedGroup> groups;
    if (partOfDownload_ && archive_ && archive_->find(shownRecord_, &part, &groups, nullptr))
        return ArchivedTestReport(part, groups);
    DownloadInfo download = lastDownload_;
    download.archived = shownRecord_; // its report number; 0 when not archived
    return MakeTestReport(monitor_->store(), testInfo_, download);
}

PdfAttachment MainWindow::reportAttachment() const {
    const QString mime = QStringLiteral("application/json");
    TestRecord test;
    QList<ArchivedGroup> groups;
    if (shownRecord_ != 0 && archive_ && archive_->find(shownRecord_, &test, &groups, nullptr))
        return TestJsonAttachment(test, groups);
    if (serverTest_) // its identity goes with it
        return {TestJsonFileName(0), TestJson(*serverTest_, ArchivedGroups(monitor_->store())),
                mime};
    test.started = monitor_->downloadStarted();
    test.ended = lastDownload_.at;
    test.port = lastDownload_.port;
    test.ending = lastDownload_.ending;
    test.announced = lastDownload_.announced;
    test.info = testInfo_;
    return {TestJsonFileName(0), TestJson(test, ArchivedGroups(monitor_->store())), mime};
}

void MainWindow::EditTestInfo() {
    if (serverTest_) {
        if (history_)
            history_->editServerInfo(*serverTest_, ArchivedGroups(monitor_->store()));
        else // the record database was changed meanwhile, and with it 历史记录's connection
            showMessage(tr("测试信息"), tr("请从 历史记录 → 服务器 再打开这项测试。"));
        return;
    }
    TestInfoDialog dialog(testInfo_, MakeTestReport(monitor_->store(), {}, {}).ratedRatio, this);
    if (dialog.exec() == QDialog::Accepted)
        setTestInfo(dialog.info());
}

void MainWindow::SplitTest() {
    if (!archive_ || shownRecord_ == 0) {
        showMessage(tr("拆分测试"), tr("只能拆分已存入记录数据库的测试：请先读取数据，或从历史记录"
                                       "打开一次测试。"));
        return;
    }
    ShowHistory();
    if (history_ && history_->select(shownRecord_))
        history_->splitSelected();
}

void MainWindow::PrintReport() {
    QList<TestReport> reports;
    QList<PdfAttachment> attachments;
    if (!groupsShown(tr("打印报告")) || !chooseReports(tr("打印报告"), &reports, &attachments))
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QStringLiteral("Velantis"));
    if (!parts_.printerChooser->choosePrinter(printer, this))
        return;
    QString message;
    if (!PrintPages(printer, ReportsDrawer(reports), &message, attachments))
        showMessage(tr("打印报告"), message);
}

void MainWindow::PreviewReport() {
    QList<TestReport> reports;
    QList<PdfAttachment> attachments;
    if (!groupsShown(tr("报告预览")) || !chooseReports(tr("报告预览"), &reports, &attachments))
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(A4Paper());
    QPrintPreviewDialog preview(&printer, this);
    preview.setObjectName(QStringLiteral("reportPreview"));
    preview.setWindowTitle(tr("报告预览 - 电流互感器变比试验报告"));
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [&reports](QPrinter* p) { ReportsDrawer(reports)(*p, p->resolution()); });
    preview.exec();
}

void MainWindow::ExportReport() {
    QList<TestReport> reports;
    QList<PdfAttachment> attachments;
    if (!groupsShown(tr("导出报告")) || !chooseReports(tr("导出报告"), &reports, &attachments))
        return;
    const QString path =
        AskSaveName(*parts_.fileDialogs, this, DefaultReportName(testInfo_, lastDownload_.at),
                    {QStringLiteral("PDF Files (*.pdf) (*.pdf)")});
    if (path.isEmpty())
        return;
    QString message;
    if (!ExportPagesPdf(path, ReportsDrawer(reports), &message, attachments))
        showMessage(tr("导出报告"), message);
    else
        showStatusNotice(tr("已导出 %1").arg(QFileInfo(path).fileName()));
}

TrendWindow* MainWindow::trendWindow() const {
    return trend_;
}

void MainWindow::ShowTrend() {
    if (!trend_) {
        trend_ = new TrendWindow(*trendSamples_, *parts_.fileDialogs, this);
        connect(trend_, &TrendWindow::imageSaved, this, [this](const QString& path) {
            showStatusNotice(tr("已导出 %1").arg(QFileInfo(path).fileName()));
        });
        placeBeside(trend_);
    }
    trend_->show();
    trend_->raise();
    trend_->activateWindow();
}

void MainWindow::placeBeside(QWidget* window) {
    window->resize(window->sizeHint());
    // Beside this window where it fits (narrower if need be), the frame's decorations reckoned
    // as this window's.
    const QSize decorations = frameGeometry().size() - geometry().size();
    if (const QScreen* s = screen()) {
        const QRect place =
            PlaceBeside(frameGeometry(), window->sizeHint() + decorations,
                        window->minimumSizeHint() + decorations, s->availableGeometry());
        window->resize(place.size() - decorations);
        window->move(place.topLeft());
    }
}

CurveWindow* MainWindow::curveWindow() const {
    return curve_;
}

void MainWindow::ShowCurve() {
    if (!curve_) {
        // An opened file has no groups: the curve is then empty, as the report is refused.
        curve_ = new CurveWindow([this] { return listFromFile_ ? TestReport{} : currentReport(); },
                                 *parts_.fileDialogs, this);
        connect(curve_, &CurveWindow::imageSaved, this, [this](const QString& path) {
            showStatusNotice(tr("已导出 %1").arg(QFileInfo(path).fileName()));
        });
        placeBeside(curve_);
    }
    curve_->show();
    curve_->raise();
    curve_->activateWindow();
}

void MainWindow::followCurve() {
    if (curve_)
        curve_->refreshSoon();
}

QString MainWindow::DefaultRecordFileName() {
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-M-d_HHmmss"));
    return QStringLiteral("QRTLIVE") + stamp + QStringLiteral(".csv");
}

bool MainWindow::recording() const {
    return recorder_ && recorder_->isOpen();
}

void MainWindow::ToggleRecording() {
    if (recording()) {
        stopRecording();
        return;
    }
    const QString path = AskSaveName(*parts_.fileDialogs, this, DefaultRecordFileName(),
                                     {QStringLiteral("CSV Files (*.csv) (*.csv)")});
    if (path.isEmpty())
        return; // cancelled
    auto recorder = std::make_unique<LiveRecorder>();
    FileError failure;
    if (!recorder->open(path, &failure)) {
        showMessage(tr("记录"), SaveFailureText(path, failure));
        return;
    }
    recorder_ = std::move(recorder);
    recordAction_->setText(tr("停止记录"));
    SetIfChanged(panels_[1], titleText());
}

void MainWindow::stopRecording() {
    if (recording()) {
        const QString name = QFileInfo(recorder_->path()).fileName();
        const qint64 rows = recorder_->rows();
        recorder_.reset();
        showStatusNotice(tr("记录已停止：%1 行 → %2").arg(rows).arg(name));
    }
    recorder_.reset();
    recordAction_->setText(tr("记录…"));
    render();
}

void MainWindow::recordReading(const Reading& reading) {
    if (!recording())
        return;
    FileError failure;
    if (!recorder_->append(QDateTime::currentDateTime(), reading, &failure)) {
        const QString text = RecordFailureText(recorder_->path(), failure, recorder_->rows());
        recorder_.reset(); // stopped by the failure, not by the user: no notice of success
        stopRecording();
        showMessage(tr("记录"), text);
        return;
    }
    const bool notice =
        statusNoticeUntil_.isValid() && QDateTime::currentDateTimeUtc() < statusNoticeUntil_;
    if (!notice)
        SetIfChanged(panels_[1], titleText());
}

void MainWindow::Toolbar1_ButtonClick(const QString& key) {
    if (monitor_->downloading == 1)
        return; // every toolbar button is inert during a download
    if (key == QStringLiteral("打开"))
        Command1_Click();
    else if (key == QStringLiteral("保存"))
        Command3_Click();
    else if (key == QStringLiteral("读取"))
        Command2_Click();
    else if (key == QStringLiteral("清除"))
        Command4_Click();
    else if (key == QStringLiteral("打印"))
        Command6_Click();
    else if (key == QStringLiteral("退出"))
        Command5_Click();
}

void MainWindow::releasePort() {
    if (released_)
        return;
    released_ = true;
    timers_->stop();
    monitor_->closePort();
}

void MainWindow::Command5_Click() {
    // The program ends at once: nothing asked, nothing saved but a running download's groups,
    // the port released.
    keepInterruptedDownload();
    releasePort();
    if (printRange_)
        printRange_->close();
    emit exitRequested();
    QCoreApplication::exit(0);
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    // Command5 is the window's cancel button: Esc presses it wherever the focus is.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        exitButton_->click();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // The window is disabled while the print-range dialog is open: its close box does nothing
    // then, as its buttons do nothing.
    if (printRange_) {
        event->ignore();
        return;
    }
    // The close box unloads the window with its timers and serial port; the program ends when
    // no other window is open. A running download's groups are kept first.
    keepInterruptedDownload();
    releasePort();
    event->accept();
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!centred_) {
        centred_ = true;
        if (const QScreen* s = screen())
            move(s->availableGeometry().center() - frameGeometry().center() + pos());
    }
}

} // namespace velantis
