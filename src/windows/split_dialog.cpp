// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/split_dialog.h"

#include "windows/test_info_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace velantis {

namespace {

// What the tests of one download have in common, copied to every range when one is changed.
void CopyCommon(const TestInfo& from, TestInfo* to) {
    to->station = from.station;
    to->tester = from.tester;
    to->reviewer = from.reviewer;
    to->date = from.date;
    to->organisation = from.organisation;
    to->logo = from.logo;
    to->setSerial = from.setSerial;
    to->setCalibration = from.setCalibration;
    to->standard = from.standard;
    to->temperature = from.temperature;
    to->humidity = from.humidity;
    to->reportPrefix = from.reportPrefix;
}

} // namespace

SplitDialog::SplitDialog(const QList<GroupSetting>& groups, const TestInfo& info, QWidget* parent)
    : QDialog(parent), groups_(groups), ranges_(ProposeRanges(groups)) {
    setObjectName(QStringLiteral("SplitDialog"));
    setWindowTitle(tr("拆分测试"));
    for (qsizetype i = 0; i < ranges_.size(); ++i)
        infos_ << info;
    table_ = new QTableWidget(this);
    table_->setObjectName(QStringLiteral("ranges"));
    table_->setColumnCount(5);
    table_->setHorizontalHeaderLabels({tr("组"), tr("组数"), tr("设定"), tr("设备"), tr("编号")});
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    connect(table_, &QTableWidget::cellDoubleClicked, this, &SplitDialog::editSelected);

    cutGroup_ = new QSpinBox(this);
    cutGroup_->setObjectName(QStringLiteral("cutGroup"));
    cutGroup_->setRange(0, SlotIndex::Highest);
    auto* cut = new QPushButton(tr("在此组拆分"), this);
    connect(cut, &QPushButton::clicked, this, [this] { cutAt(cutGroup_->value()); });
    auto* merge = new QPushButton(tr("与下一段合并"), this);
    connect(merge, &QPushButton::clicked, this, [this] { mergeWithNext(selectedRange()); });
    auto* edit = new QPushButton(tr("测试信息"), this);
    connect(edit, &QPushButton::clicked, this, &SplitDialog::editSelected);
    auto* tools = new QHBoxLayout;
    tools->addWidget(new QLabel(tr("组号："), this));
    tools->addWidget(cutGroup_);
    tools->addWidget(cut);
    tools->addWidget(merge);
    tools->addWidget(edit);
    tools->addStretch(1);

    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(
        tr("每段成为一项测试。同一站名、试验人员、日期和单位填写一次即复制到各段。"), this));
    layout->addWidget(table_, 1);
    layout->addLayout(tools);
    layout->addWidget(box);
    resize(620, 400);
    showRanges();
}

QList<int> SplitDialog::cuts() const {
    QList<int> cuts;
    for (qsizetype i = 1; i < ranges_.size(); ++i)
        cuts << ranges_[i].first;
    return cuts;
}

bool SplitDialog::cutAt(int at) {
    const auto cut = CutRanges(ranges_, groups_, at);
    if (!cut)
        return false;
    for (qsizetype i = 0; i < ranges_.size(); ++i) {
        if (at > ranges_[i].first && at <= ranges_[i].last) {
            infos_.insert(i + 1, infos_[i]); // the new range starts with its range's information
            break;
        }
    }
    ranges_ = *cut;
    showRanges();
    return true;
}

bool SplitDialog::mergeWithNext(int index) {
    const auto merged = MergeRanges(ranges_, groups_, index);
    if (!merged)
        return false;
    ranges_ = *merged;
    infos_.removeAt(index + 1);
    showRanges();
    return true;
}

void SplitDialog::setInfo(int index, const TestInfo& info) {
    if (index < 0 || index >= infos_.size())
        return;
    infos_[index] = info;
    for (TestInfo& other : infos_)
        CopyCommon(info, &other);
    showRanges();
}

int SplitDialog::selectedRange() const {
    const auto rows = table_->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void SplitDialog::editSelected() {
    const int index = selectedRange();
    if (index < 0)
        return;
    TestInfoDialog dialog(infos_[index], ranges_[index].setting, this);
    if (dialog.exec() == QDialog::Accepted)
        setInfo(index, dialog.info());
}

void SplitDialog::showRanges() {
    const int selected = selectedRange();
    table_->setRowCount(static_cast<int>(ranges_.size()));
    for (int i = 0; i < ranges_.size(); ++i) {
        const GroupRange& r = ranges_[i];
        const QStringList cells = {QStringLiteral("%1-%2").arg(r.first).arg(r.last),
                                   QString::number(r.count),
                                   r.setting.isEmpty() ? tr("各组设定不同") : r.setting,
                                   infos_[i].device, infos_[i].serial};
        for (int c = 0; c < cells.size(); ++c)
            table_->setItem(i, c, new QTableWidgetItem(cells[c]));
    }
    if (selected >= 0 && selected < table_->rowCount())
        table_->selectRow(selected);
}

} // namespace velantis
