// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/history_window.h"
#include "report/shown_texts.h"

#include "records/csv_export.h"
#include "records/list_test_import.h"
#include "records/test_json.h"
#include "report/report_pages.h"
#include "windows/file_messages.h"
#include "windows/list_import_dialog.h"
#include "windows/list_printing.h"
#include "windows/server_history.h"
#include "windows/split_dialog.h"
#include "windows/test_info_dialog.h"
#include "windows/window_services.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace velantis {

QString ArchiveFailureText(const QString& path, const ArchiveError& error) {
    QString reason;
    switch (error.reason) {
    case ArchiveError::Reason::DiskFull:
        reason = QCoreApplication::translate("velantis::HistoryWindow", "磁盘已满");
        break;
    case ArchiveError::Reason::ReadOnly:
        reason = QCoreApplication::translate("velantis::HistoryWindow", "文件或磁盘只读");
        break;
    case ArchiveError::Reason::Locked:
        reason = QCoreApplication::translate("velantis::HistoryWindow",
                                             "被其他程序占用，等待后仍未释放");
        break;
    case ArchiveError::Reason::NotADatabase:
        reason = QCoreApplication::translate("velantis::HistoryWindow", "不是记录数据库或已损坏");
        break;
    case ArchiveError::Reason::NewerVersion:
        reason = QCoreApplication::translate("velantis::HistoryWindow",
                                             "由更新版本的程序写入，只能读取");
        break;
    case ArchiveError::Reason::CannotOpen:
        reason = QCoreApplication::translate("velantis::HistoryWindow", "无法打开");
        break;
    case ArchiveError::Reason::NoSuchTest:
        reason = QCoreApplication::translate("velantis::HistoryWindow", "没有这条记录");
        break;
    case ArchiveError::Reason::NoDatabase:
        reason = QCoreApplication::translate("velantis::HistoryWindow", "还没有记录数据库");
        break;
    case ArchiveError::Reason::Foreign:
        reason =
            QCoreApplication::translate("velantis::HistoryWindow", "是其他程序的数据库，未作改动");
        break;
    case ArchiveError::Reason::AlreadyKept:
        reason =
            QCoreApplication::translate("velantis::HistoryWindow", "同一测试已存为第 %1 号记录")
                .arg(error.system);
        return QCoreApplication::translate("velantis::HistoryWindow", "记录数据库：%1\n原因：%2")
            .arg(QDir::toNativeSeparators(path), reason);
    case ArchiveError::Reason::None:
    case ArchiveError::Reason::Other:
    case ArchiveError::Reason::Refused:
        break;
    }
    if (reason.isEmpty())
        reason = error.system;
    else if (!error.system.isEmpty())
        reason += QStringLiteral(" (%1)").arg(error.system);
    return QCoreApplication::translate("velantis::HistoryWindow", "记录数据库：%1\n原因：%2")
        .arg(QDir::toNativeSeparators(path), reason);
}

void TestTableModel::setTests(QList<TestRecord> tests) {
    beginResetModel();
    // Newest first, as read; a download's tests all at the place of its newest, in group order.
    // (A version-1 file's tests name no download: each stands alone.)
    const auto key = [](const TestRecord& t) {
        return t.download.isEmpty() ? QString::number(t.number) : t.download;
    };
    QHash<QString, qsizetype> place;
    perDownload_.clear();
    for (qsizetype i = 0; i < tests.size(); ++i) {
        place.insert(key(tests[i]), std::min(place.value(key(tests[i]), i), i));
        ++perDownload_[key(tests[i])];
    }
    std::stable_sort(tests.begin(), tests.end(), [&](const TestRecord& a, const TestRecord& b) {
        const qsizetype pa = place.value(key(a)), pb = place.value(key(b));
        return pa != pb ? pa < pb : a.firstGroup < b.firstGroup;
    });
    tests_ = std::move(tests);
    endResetModel();
}

bool TestTableModel::holds(qint64 number) const {
    return std::any_of(tests_.cbegin(), tests_.cend(),
                       [number](const TestRecord& t) { return t.number == number; });
}

int TestTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(tests_.size());
}

int TestTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TestTableModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole && role != Qt::TextAlignmentRole)
        return {};
    const int column = index.column();
    if (role == Qt::TextAlignmentRole)
        return column == Number || column == Groups || column == Pass || column == Fail
                   ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                   : QVariant();
    const TestRecord& t = tests_[index.row()];
    switch (column) {
    case Number:
        return t.number;
    case Time:
        return t.ended.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case Station:
        return t.info.station;
    case Device:
        return t.info.device;
    case Serial:
        return t.info.serial;
    case Groups:
        return t.stored;
    case Ending: {
        const QString ending = DownloadEndingText(t.ending, t.stored, t.announced);
        return ending.isEmpty() ? tr("完整") : ending;
    }
    case Class:
        return ShownText(ClassName(t.info.accuracy));
    case Pass:
        return t.pass;
    case Fail:
        return t.fail;
    case Download: {
        const int parts = perDownload_.value(t.download);
        if (parts < 2)
            return QString();
        return tr("%1 下载: %2 项测试 (第 %3-%4 组)")
            .arg(t.started.toString(QStringLiteral("yyyy-MM-dd HH:mm")))
            .arg(parts)
            .arg(t.firstGroup)
            .arg(t.lastGroup);
    }
    default:
        return {};
    }
}

QVariant TestTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char* const names[ColumnCount] = {
        QT_TR_NOOP("记录号"), QT_TR_NOOP("日期时间"), QT_TR_NOOP("站名"),    QT_TR_NOOP("设备"),
        QT_TR_NOOP("编号"),   QT_TR_NOOP("组数"),     QT_TR_NOOP("下载"),    QT_TR_NOOP("准确级"),
        QT_TR_NOOP("合格"),   QT_TR_NOOP("超差"),     QT_TR_NOOP("同一下载")};
    return tr(names[section]);
}

void TestFilterModel::setFilterText(const QString& text) {
    text_ = text;
    invalidateFilter();
}

bool TestFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
    return MatchesFilter(static_cast<const TestTableModel*>(sourceModel())->test(sourceRow), text_);
}

HistoryWindow::HistoryWindow(Archive& archive, FileDialogs& dialogs, Opener open, QWidget* parent)
    : QWidget(parent, Qt::Window), archive_(archive), dialogs_(dialogs), open_(std::move(open)) {
    setObjectName(QStringLiteral("historyWindow"));
    setWindowTitle(tr("历史记录"));
    filter_.setSourceModel(&model_);
    serverModel_ = new ServerTestModel(this);
    connect(serverModel_, &ServerTestModel::pageShown, this, [this](int rows) {
        showServerStatus(tr("服务器 %1 条").arg(rows) +
                         (serverModel_->canFetchMore({}) ? tr("，向下滚动读取更多") : QString()));
        updateButtons();
        emit serverAnswered();
    });
    // A new filter or server empties the view, and its selection with it.
    connect(serverModel_, &ServerTestModel::modelReset, this, &HistoryWindow::updateButtons);
    connect(serverModel_, &ServerTestModel::failed, this, [this](const ServerError& error) {
        showServerFailure(error);
        emit serverAnswered();
    });
    filterPause_ = new QTimer(this);
    filterPause_->setSingleShot(true);
    filterPause_->setInterval(300);
    connect(filterPause_, &QTimer::timeout, this,
            [this] { serverModel_->setFilter(filterBox_->text()); });

    sourceSwitch_ = new QComboBox(this);
    sourceSwitch_->setObjectName(QStringLiteral("historySourceSwitch"));
    sourceSwitch_->addItems({tr("本机"), tr("服务器")});
    connect(sourceSwitch_, &QComboBox::currentIndexChanged, this,
            [this](int index) { setSource(index == 1 ? Source::Server : Source::Local); });
    serverStatus_ = new QLabel(this);
    serverStatus_->setObjectName(QStringLiteral("serverStatus"));
    serverStatus_->setWordWrap(true);
    serverStatus_->hide();

    filterBox_ = new QLineEdit(this);
    filterBox_->setObjectName(QStringLiteral("filter"));
    filterBox_->setPlaceholderText(tr("站名、设备、编号或备注"));
    filterBox_->setClearButtonEnabled(true);
    connect(filterBox_, &QLineEdit::textChanged, this, &HistoryWindow::setFilterText);
    count_ = new QLabel(this);
    count_->setObjectName(QStringLiteral("count"));
    note_ = new QLabel(this);
    note_->setObjectName(QStringLiteral("note"));
    note_->hide();

    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("tests"));
    table_->setModel(&filter_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    connect(table_, &QTableView::doubleClicked, this, &HistoryWindow::openSelected);

    auto* filterRow = new QHBoxLayout;
    filterRow->addWidget(sourceSwitch_);
    filterRow->addWidget(new QLabel(tr("查找："), this));
    filterRow->addWidget(filterBox_, 1);
    filterRow->addWidget(count_);
    auto* buttons = new QHBoxLayout;
    const struct {
        const char* name;
        void (HistoryWindow::*handler)();
    } actions[] = {{QT_TR_NOOP("打开"), &HistoryWindow::openSelected},
                   {QT_TR_NOOP("导出报告"), &HistoryWindow::exportReport},
                   {QT_TR_NOOP("导出 CSV"), &HistoryWindow::exportCsv},
                   {QT_TR_NOOP("测试信息"), &HistoryWindow::editInfo},
                   {QT_TR_NOOP("拆分测试"), &HistoryWindow::splitSelected},
                   {QT_TR_NOOP("删除"), &HistoryWindow::deleteSelected}};
    for (const auto& a : actions) {
        auto* button = new QPushButton(tr(a.name), this);
        button->setObjectName(QString::fromUtf8(a.name));
        connect(button, &QPushButton::clicked, this, a.handler);
        buttons->addWidget(button);
        actions_ << button;
    }
    copy_ = new QPushButton(tr("复制到本机"), this);
    copy_->setObjectName(QStringLiteral("copyToLocalButton"));
    connect(copy_, &QPushButton::clicked, this, &HistoryWindow::copyToLocal);
    copy_->hide();
    buttons->addWidget(copy_);
    buttons->addStretch(1);
    import_ = new QPushButton(tr("导入…"), this);
    import_->setObjectName(QStringLiteral("导入"));
    connect(import_, &QPushButton::clicked, this, &HistoryWindow::importFile);
    buttons->addWidget(import_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filterRow);
    layout->addWidget(note_);
    layout->addWidget(table_, 1);
    layout->addWidget(serverStatus_);
    layout->addLayout(buttons);
    resize(1050, 480);

    showModel();
    confirm_ = [this](const QString& question) {
        QMessageBox* box = DeleteQuestion(question, this);
        const bool yes = box->exec() == QMessageBox::Yes;
        delete box;
        return yes;
    };
    reload();
}

HistoryWindow::~HistoryWindow() {
    // The model goes before the session its answers would come from.
    serverModel_->setSession(nullptr);
}

void HistoryWindow::showModel() {
    const bool server = source_ == Source::Server;
    QItemSelectionModel* old = table_->selectionModel();
    table_->setModel(server ? static_cast<QAbstractItemModel*>(serverModel_) : &filter_);
    if (table_->selectionModel() != old)
        delete old; // the view leaves the model's old selection to its maker
    connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &HistoryWindow::updateButtons);
    // Fixed widths: sizing the columns to their contents would read every row.
    static const int local[TestTableModel::ColumnCount] = {60,  140, 120, 110, 100, 50,
                                                           210, 55,  50,  50,  250};
    static const int remote[ServerTestModel::ColumnCount] = {140, 120, 110, 100, 50,
                                                             55,  50,  50,  220, 100};
    const int* widths = server ? remote : local;
    for (int c = 0; c < table_->model()->columnCount(); ++c)
        table_->setColumnWidth(c, widths[c]);
    serverStatus_->setVisible(server);
    note_->setVisible(!server && !note_->text().isEmpty()); // the note speaks of local tests
    copy_->setVisible(server);
    updateButtons();
}

void HistoryWindow::setSource(Source source) {
    if (source == source_)
        return;
    source_ = source;
    sourceSwitch_->setCurrentIndex(source == Source::Server ? 1 : 0);
    showModel();
    if (source == Source::Server)
        startServer();
}

void HistoryWindow::setServer(const QString& connInfo, const QString& password) {
    if (connInfo == serverConn_ && password == serverPassword_)
        return;
    serverConn_ = connInfo;
    serverPassword_ = password;
    serverModel_->setSession(nullptr);
    session_.reset();
    serverRole_.clear();
    serverReadOnly_ = false;
    if (source_ == Source::Server)
        startServer();
}

void HistoryWindow::startServer() {
    if (session_)
        return;
    if (serverConn_.isEmpty()) {
        showServerStatus(tr("还没有设置服务器：请在主窗口的 文件 → 服务器… 中设置。"));
        return;
    }
    session_ = std::make_unique<ServerSession>(serverConn_, serverPassword_);
    showServerStatus(tr("正在连接服务器…"));
    struct Role {
        ServerOutcome outcome;
        ServerInfo info;
    };
    // Who is connected decides which tests 测试信息 may change; asked before the first page.
    session_->call<Role>(
        [](ServerArchive& archive) {
            Role r;
            r.outcome.ok =
                archive.connect(&r.outcome.error) && archive.info(&r.info, &r.outcome.error);
            return r;
        },
        this,
        [this](const Role& r) {
            if (!r.outcome.ok)
                return; // the page asked next says why
            serverRole_ = r.info.user;
            serverReadOnly_ = r.info.readOnly;
        });
    serverModel_->setFilter(filterBox_->text());
    serverModel_->setSession(session_.get());
}

QString HistoryWindow::serverStatus() const {
    return serverStatus_->text();
}

void HistoryWindow::showServerStatus(const QString& text) {
    serverStatus_->setText(text);
}

void HistoryWindow::showServerFailure(const ServerError& error) {
    showServerStatus(tr("服务器：%1").arg(error.text()));
}

bool HistoryWindow::selectServerTest(const QString& uuid) {
    if (source_ != Source::Server)
        return false;
    const int row = serverModel_->rowOf(uuid);
    if (row < 0)
        return false;
    table_->selectRow(row);
    table_->scrollTo(serverModel_->index(row, 0));
    return true;
}

QString HistoryWindow::selectedUuid() const {
    if (source_ != Source::Server)
        return {};
    const QModelIndexList rows = table_->selectionModel()->selectedRows();
    return rows.isEmpty() ? QString() : serverModel_->test(rows.first().row()).uuid;
}

void HistoryWindow::withServerTest(
    std::function<void(const TestRecord&, const QList<ArchivedGroup>&)> use) {
    const QString uuid = selectedUuid();
    if (uuid.isEmpty() || !session_)
        return;
    struct Found {
        ServerOutcome outcome;
        TestRecord test;
        QList<ArchivedGroup> groups;
    };
    showServerStatus(tr("正在从服务器读取…"));
    session_->call<Found>(
        [uuid](ServerArchive& archive) {
            Found f;
            f.outcome.ok = archive.connect(&f.outcome.error) &&
                           archive.find(uuid, &f.test, &f.groups, &f.outcome.error);
            return f;
        },
        this,
        [this, use = std::move(use)](const Found& f) {
            if (!f.outcome.ok) {
                showServerFailure(f.outcome.error);
            } else {
                showServerStatus(QString());
                use(f.test, f.groups);
            }
            emit serverAnswered();
        });
}

void HistoryWindow::copyToLocal() {
    withServerTest([this](const TestRecord& test, const QList<ArchivedGroup>& groups) {
        RecordStore store;
        FillStore(groups, &store);
        ArchiveError error;
        const auto number = archive_.add(test, store, &error);
        const QString notice = archive_.takeNotice();
        if (!notice.isEmpty())
            tell(tr("复制到本机"), notice);
        if (number) {
            showServerStatus(tr("已复制到本机：第 %1 号记录").arg(*number));
            reload();
            emit copied(*number);
        } else if (error.reason == ArchiveError::Reason::AlreadyKept) {
            tell(tr("复制到本机"),
                 tr("这项测试已在本机，是第 %1 号记录，未再复制。").arg(error.system));
        } else {
            tell(tr("复制到本机"), ArchiveFailureText(archive_.path(), error));
        }
    });
}

void HistoryWindow::editServerInfo(const TestRecord& test, const QList<ArchivedGroup>& groups) {
    if (!session_)
        return;
    if (serverReadOnly_) {
        tell(tr("测试信息"), tr("服务器的数据库结构来自更新版本的程序：只能浏览，不能修改。"));
        return;
    }
    if (serverRole_.isEmpty() || test.owner != serverRole_) {
        tell(tr("测试信息"),
             tr("不是你的测试：这项测试由 %1 发送，只有发送者可以修改它的测试信息。")
                 .arg(test.owner));
        return;
    }
    RecordStore store;
    FillStore(groups, &store);
    TestInfoDialog dialog(test.info, MakeTestReport(store, {}, {}).ratedRatio, this);
    if (!(runInfo_ ? runInfo_(dialog) : dialog.exec() == QDialog::Accepted))
        return;
    TestRecord edited = test;
    edited.info = dialog.info();
    const TestReport report = MakeTestReport(store, edited.info, {});
    edited.pass = report.pass;
    edited.fail = report.fail;
    edited.none = report.none;
    edited.revision = test.revision + 1;
    edited.edited = QDateTime::currentDateTimeUtc();
    struct Sent {
        ServerOutcome outcome;
        bool applied = false;
    };
    showServerStatus(tr("正在把测试信息发送到服务器…"));
    session_->call<Sent>(
        [edited](ServerArchive& archive) {
            Sent s;
            s.outcome.ok = archive.connect(&s.outcome.error) &&
                           archive.updateInfo(edited, &s.applied, &s.outcome.error);
            return s;
        },
        this,
        [this, edited](const Sent& s) {
            if (s.outcome.ok && s.applied) {
                showServerStatus(tr("服务器上的测试信息已修改"));
                serverModel_->replace(edited);
                emit serverInfoChanged(edited);
            } else if (s.outcome.ok) {
                showServerStatus(QString());
                tell(tr("测试信息"), tr("服务器上这项测试已有更新的修改，这次的修改未保存。"));
            } else if (s.outcome.error.reason == ServerError::Reason::NotYourTest) {
                showServerStatus(QString());
                tell(tr("测试信息"), tr("不是你的测试：这项测试由 %1 发送，只有发送者可以修改它的"
                                        "测试信息。")
                                         .arg(edited.owner));
            } else {
                showServerFailure(s.outcome.error);
                tell(tr("测试信息"),
                     tr("测试信息未能存入服务器：\n%1").arg(s.outcome.error.text()));
            }
            emit serverAnswered();
        });
}

QMessageBox* HistoryWindow::DeleteQuestion(const QString& question, QWidget* parent) {
    // A deletion is not undone: Enter keeps the test.
    auto* box = new QMessageBox(QMessageBox::Question, tr("删除"), question,
                                QMessageBox::Yes | QMessageBox::No, parent);
    box->setDefaultButton(QMessageBox::No);
    box->setEscapeButton(QMessageBox::No);
    return box;
}

bool HistoryWindow::event(QEvent* event) {
    // Another program may have added or deleted tests meanwhile.
    if (event->type() == QEvent::WindowActivate)
        reload();
    return QWidget::event(event);
}

QString HistoryWindow::note() const {
    return note_->text();
}

bool HistoryWindow::reload() {
    const qint64 keep = selectedNumber();
    QList<TestRecord> tests;
    ArchiveError error;
    const bool read = archive_.list(&tests, &error);
    const bool none = !read && error.reason == ArchiveError::Reason::NoDatabase;
    model_.setTests(read ? std::move(tests) : QList<TestRecord>());
    note_->setText(none ? tr("还没有存档的测试：每次读取到数据后，测试会自动存入这里。")
                        : QString());
    note_->setVisible(none && source_ == Source::Local);
    if (read || none) {
        lastFailure_.clear();
    } else if (const QString failure = ArchiveFailureText(archive_.path(), error);
               failure != lastFailure_) {
        lastFailure_ = failure;
        tell(tr("历史记录"), failure);
    }
    if (keep != 0)
        select(keep);
    updateButtons();
    if (read || none)
        emit reloaded();
    return read;
}

void HistoryWindow::setFilterText(const QString& text) {
    if (filterBox_->text() != text)
        filterBox_->setText(text); // comes back here through textChanged
    filter_.setFilterText(text);
    if (source_ == Source::Server && session_)
        filterPause_->start(); // the server is asked once, when typing pauses
    updateButtons();
}

bool HistoryWindow::select(qint64 number) {
    setSource(Source::Local);
    for (int row = 0; row < filter_.rowCount(); ++row) {
        const QModelIndex index = filter_.index(row, 0);
        if (filter_.data(index).toLongLong() == number) {
            table_->selectRow(row);
            table_->scrollTo(index);
            return true;
        }
    }
    return false;
}

qint64 HistoryWindow::selectedNumber() const {
    if (source_ != Source::Local)
        return 0;
    const QModelIndexList rows = table_->selectionModel()->selectedRows();
    return rows.isEmpty() ? 0 : filter_.data(rows.first()).toLongLong();
}

int HistoryWindow::shownCount() const {
    return filter_.rowCount();
}

void HistoryWindow::updateButtons() {
    // The buttons go by their (UTF-8) names.
    const auto named = [](const QPushButton* b, std::initializer_list<const char*> names) {
        return std::any_of(names.begin(), names.end(), [b](const char* name) {
            return b->objectName() == QString::fromUtf8(name);
        });
    };
    if (source_ == Source::Server) {
        const bool any = !selectedUuid().isEmpty();
        // Splitting and deleting are the record database's: never of a server test.
        for (QPushButton* b : actions_)
            b->setEnabled(any && !named(b, {"删除", "拆分测试"}));
        copy_->setEnabled(any && !archive_.isReadOnly());
        import_->setEnabled(false);
        count_->setText(tr("%1 条").arg(serverModel_->rowCount()));
        return;
    }
    const bool any = selectedNumber() != 0;
    for (QPushButton* b : actions_)
        b->setEnabled(any &&
                      (!archive_.isReadOnly() || !named(b, {"删除", "测试信息", "拆分测试"})));
    import_->setEnabled(!archive_.isReadOnly());
    count_->setText(tr("%1 / %2 条").arg(filter_.rowCount()).arg(model_.rowCount()));
}

void HistoryWindow::tell(const QString& title, const QString& text) {
    auto* box = new QMessageBox(QMessageBox::NoIcon, title, text, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

bool HistoryWindow::selected(TestRecord* test, QList<ArchivedGroup>* groups) {
    const qint64 number = selectedNumber();
    if (number == 0)
        return false;
    ArchiveError error;
    if (archive_.find(number, test, groups, &error))
        return true;
    tell(tr("历史记录"), ArchiveFailureText(archive_.path(), error));
    reload();
    return false;
}

void HistoryWindow::openSelected() {
    if (source_ == Source::Server) {
        withServerTest([this](const TestRecord& test, const QList<ArchivedGroup>& groups) {
            if (openServer_ && !openServer_(test, groups))
                tell(tr("打开"), tr("正在读取数据，读取结束后再打开记录。"));
        });
        return;
    }
    TestRecord test;
    QList<ArchivedGroup> groups;
    if (selected(&test, &groups) && !open_(test, groups))
        tell(tr("打开"), tr("正在读取数据，读取结束后再打开记录。"));
    reload();
}

void HistoryWindow::exportReport() {
    if (source_ == Source::Server) {
        withServerTest([this](const TestRecord& test, const QList<ArchivedGroup>& groups) {
            exportReportOf(test, groups);
        });
        return;
    }
    TestRecord test;
    QList<ArchivedGroup> groups;
    if (selected(&test, &groups))
        exportReportOf(test, groups);
}

void HistoryWindow::exportReportOf(const TestRecord& test, const QList<ArchivedGroup>& groups) {
    const QString path = AskSaveName(dialogs_, this, DefaultReportName(test.info, test.ended),
                                     {QStringLiteral("PDF Files (*.pdf) (*.pdf)")});
    if (path.isEmpty()) {
        reload();
        return;
    }
    QString message;
    if (!ExportPagesPdf(path, ReportDrawer(ArchivedTestReport(test, groups)), &message,
                        {TestJsonAttachment(test, groups)}))
        tell(tr("导出报告"), message);
    else
        emit fileWritten(path);
    reload();
}

void HistoryWindow::exportCsv() {
    if (source_ == Source::Server) {
        withServerTest([this](const TestRecord& test, const QList<ArchivedGroup>& groups) {
            exportCsvOf(test, groups);
        });
        return;
    }
    TestRecord test;
    QList<ArchivedGroup> groups;
    if (selected(&test, &groups))
        exportCsvOf(test, groups);
}

void HistoryWindow::exportCsvOf(const TestRecord& test, const QList<ArchivedGroup>& groups) {
    // A server test goes by the start of its uuid: its number is the server's, not a record's here.
    const QString name =
        QStringLiteral("QRTDATA-%1.csv")
            .arg(source_ == Source::Server ? test.uuid.left(8) : QString::number(test.number));
    const QString path =
        AskSaveName(dialogs_, this, name, {QStringLiteral("CSV Files (*.csv) (*.csv)")});
    if (path.isEmpty()) {
        reload();
        return;
    }
    RecordStore store;
    FillStore(groups, &store);
    FileError failure;
    if (!SaveCsvFile(path, store, test.info.accuracy, test.info.guardBand, nullptr, &failure))
        tell(tr("导出 CSV"), SaveFailureText(path, failure));
    else
        emit fileWritten(path);
    reload();
}

void HistoryWindow::editInfo() {
    if (source_ == Source::Server) {
        withServerTest([this](const TestRecord& test, const QList<ArchivedGroup>& groups) {
            editServerInfo(test, groups);
        });
        return;
    }
    TestRecord test;
    QList<ArchivedGroup> groups;
    if (!selected(&test, &groups))
        return;
    RecordStore store;
    FillStore(groups, &store);
    TestInfoDialog dialog(test.info, MakeTestReport(store, {}, {}).ratedRatio, this);
    if (dialog.exec() != QDialog::Accepted) {
        reload();
        return;
    }
    ArchiveError error;
    if (!archive_.updateInfo(test.number, dialog.info(), &error))
        tell(tr("测试信息"), ArchiveFailureText(archive_.path(), error));
    else
        emit infoChanged(test.number, dialog.info());
    reload();
}

void HistoryWindow::splitSelected() {
    TestRecord test;
    QList<ArchivedGroup> groups;
    if (!selected(&test, &groups))
        return;
    RecordStore store;
    FillStore(groups, &store);
    SplitDialog dialog(SettingsOf(store), test.info, this);
    const bool ok = runSplit_ ? runSplit_(dialog) : dialog.exec() == QDialog::Accepted;
    if (!ok || dialog.ranges().size() < 2) {
        reload();
        return;
    }
    ArchiveError error;
    const auto parts = archive_.split(test.number, dialog.cuts(), dialog.infos(), &error);
    if (!parts)
        tell(tr("拆分测试"), ArchiveFailureText(archive_.path(), error));
    reload();
    select(test.number);
    if (parts)
        emit split(test.number, *parts);
}

void HistoryWindow::importFile() {
    const QString path =
        dialogs_.openFileName(this, QString(),
                              {tr("测试数据 (*.json) (*.json)"), tr("保存的列表 (*.txt) (*.txt)"),
                               tr("所有文件 (*) (*)")});
    if (path.isEmpty())
        return;
    if (QByteArray bytes; ReadImportFile(path, &bytes, nullptr) && !LooksLikeJson(bytes)) {
        importList(path, bytes);
        return;
    }
    const TestImport result = ImportTestFile(archive_, path);
    const QString notice = archive_.takeNotice();
    const QString file = QDir::toNativeSeparators(path);
    QString text;
    switch (result.outcome) {
    case TestImport::Outcome::Imported:
        reload();
        select(result.number);
        if (!notice.isEmpty())
            tell(tr("导入"), notice);
        emit imported(result.number);
        return;
    case TestImport::Outcome::AlreadyKept:
        text = tr("%1 中的测试已存为第 %2 号记录，未再次导入。").arg(file).arg(result.number);
        break;
    case TestImport::Outcome::Unreadable:
        text = SaveFailureText(path, result.file);
        break;
    case TestImport::Outcome::NotJson:
        text = tr("%1 不是测试数据文件 (JSON)，未导入。").arg(file);
        break;
    case TestImport::Outcome::Refused:
        text = tr("%1 未导入，文件中没有任何数据存入记录。\n位置：%2\n原因：%3")
                   .arg(file, result.problem.place, result.problem.reason);
        break;
    case TestImport::Outcome::NotArchived:
        text = ArchiveFailureText(archive_.path(), result.archive);
        break;
    }
    if (!notice.isEmpty())
        text = notice + QLatin1Char('\n') + text;
    tell(tr("导入"), text);
    reload();
    if (result.outcome == TestImport::Outcome::AlreadyKept)
        select(result.number);
}

void HistoryWindow::importList(const QString& path, const QByteArray& bytes) {
    ListImportDialog dialog(path, bytes, ListFileTime(path), this);
    if (!(runListImport_ ? runListImport_(dialog) : dialog.exec() == QDialog::Accepted))
        return;
    ArchiveError error;
    const auto number = KeepListTest(archive_, dialog.groups(), QDir::toNativeSeparators(path),
                                     dialog.time(), &error);
    QString text = number ? archive_.takeNotice() : ArchiveFailureText(archive_.path(), error);
    if (const QString notice = number ? QString() : archive_.takeNotice(); !notice.isEmpty())
        text = notice + QLatin1Char('\n') + text;
    if (!text.isEmpty())
        tell(tr("导入"), text);
    reload();
    if (number) {
        select(*number);
        emit imported(*number);
    }
}

void HistoryWindow::deleteSelected() {
    const qint64 number = selectedNumber();
    if (number == 0 || !confirm_(tr("删除第 %1 号记录？").arg(number)))
        return;
    ArchiveError error;
    if (!archive_.remove(number, &error))
        tell(tr("删除"), ArchiveFailureText(archive_.path(), error));
    reload();
}

} // namespace velantis
