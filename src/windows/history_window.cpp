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
#include "windows/split_dialog.h"
#include "windows/test_info_dialog.h"
#include "windows/window_services.h"

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

    filterBox_ = new QLineEdit(this);
    filterBox_->setObjectName(QStringLiteral("filter"));
    filterBox_->setPlaceholderText(tr("站名、设备、编号或备注"));
    filterBox_->setClearButtonEnabled(true);
    connect(filterBox_, &QLineEdit::textChanged, this, &HistoryWindow::setFilterText);
    count_ = new QLabel(this);
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
    // Fixed widths: sizing the columns to their contents would read every row.
    const int widths[TestTableModel::ColumnCount] = {60,  140, 120, 110, 100, 50,
                                                     210, 55,  50,  50,  250};
    for (int c = 0; c < TestTableModel::ColumnCount; ++c)
        table_->setColumnWidth(c, widths[c]);
    connect(table_, &QTableView::doubleClicked, this, &HistoryWindow::openSelected);

    auto* filterRow = new QHBoxLayout;
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
    buttons->addStretch(1);
    import_ = new QPushButton(tr("导入…"), this);
    import_->setObjectName(QStringLiteral("导入"));
    connect(import_, &QPushButton::clicked, this, &HistoryWindow::importFile);
    buttons->addWidget(import_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filterRow);
    layout->addWidget(note_);
    layout->addWidget(table_, 1);
    layout->addLayout(buttons);
    resize(1050, 480);

    connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &HistoryWindow::updateButtons);
    confirm_ = [this](const QString& question) {
        QMessageBox* box = DeleteQuestion(question, this);
        const bool yes = box->exec() == QMessageBox::Yes;
        delete box;
        return yes;
    };
    reload();
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
    note_->setVisible(none);
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
    updateButtons();
}

bool HistoryWindow::select(qint64 number) {
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
    const QModelIndexList rows = table_->selectionModel()->selectedRows();
    return rows.isEmpty() ? 0 : filter_.data(rows.first()).toLongLong();
}

int HistoryWindow::shownCount() const {
    return filter_.rowCount();
}

void HistoryWindow::updateButtons() {
    const bool any = selectedNumber() != 0;
    for (QPushButton* b : actions_)
        b->setEnabled(any &&
                      (!archive_.isReadOnly() || (b->objectName() != QLatin1String("删除") &&
                                                  b->objectName() != QLatin1String("测试信息") &&
                                                  b->objectName() != QLatin1String("拆分测试"))));
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
    TestRecord test;
    QList<ArchivedGroup> groups;
    if (selected(&test, &groups) && !open_(test, groups))
        tell(tr("打开"), tr("正在读取数据，读取结束后再打开记录。"));
    reload();
}

void HistoryWindow::exportReport() {
    TestRecord test;
    QList<ArchivedGroup> groups;
    if (!selected(&test, &groups))
        return;
    const QString path = AskSaveName(dialogs_, this, DefaultReportName(test.info, test.ended),
                                     {QStringLiteral("PDF Files (*.pdf) (*.pdf)")});
    if (path.isEmpty()) {
        reload();
        return;
    }
    RecordStore store;
    FillStore(groups, &store);
    const DownloadInfo download = DownloadInfoOf(test);
    QString message;
    if (!ExportPagesPdf(path, ReportDrawer(MakeTestReport(store, test.info, download)), &message,
                        {TestJsonFileName(test.number), TestJson(test, groups),
                         QStringLiteral("application/json")}))
        tell(tr("导出报告"), message);
    else
        emit fileWritten(path);
    reload();
}

void HistoryWindow::exportCsv() {
    TestRecord test;
    QList<ArchivedGroup> groups;
    if (!selected(&test, &groups))
        return;
    const QString name = QStringLiteral("QRTDATA-%1.csv").arg(test.number);
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
    RecordStore store;
    for (const ListGroup& g : dialog.groups())
        store.store(*SlotIndex::make(g.group), g.frame);
    ArchiveError error;
    const auto number = archive_.add(
        ListTestRecord(dialog.groups(), QDir::toNativeSeparators(path), dialog.time(), ThisUser()),
        store, &error);
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
