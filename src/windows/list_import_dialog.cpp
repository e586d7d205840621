// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/list_import_dialog.h"

#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace velantis {

ListImportDialog::ListImportDialog(const QString& file, QByteArray bytes, const QDateTime& modified,
                                   QWidget* parent)
    : QDialog(parent), bytes_(std::move(bytes)) {
    setWindowTitle(tr("导入列表"));
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(tr("%1 是保存的列表。列表中没有额定变比，请给出额定变比，"
                                "各组相同时只给一个 (200/5)，否则按组号范围给出 "
                                "(1-9:200/5,10-15:150/1)。")
                                 .arg(QFileInfo(file).fileName()),
                             this);
    intro->setWordWrap(true);
    layout->addWidget(intro);
    auto* form = new QFormLayout;
    rated_ = new QLineEdit(this);
    rated_->setObjectName(QStringLiteral("额定变比"));
    rated_->setPlaceholderText(QStringLiteral("200/5"));
    form->addRow(tr("额定变比:"), rated_);
    at_ = new QDateTimeEdit(modified, this);
    at_->setObjectName(QStringLiteral("时间"));
    at_->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    at_->setCalendarPopup(true);
    form->addRow(tr("测试时间:"), at_);
    layout->addLayout(form);
    problem_ = new QLabel(this);
    problem_->setObjectName(QStringLiteral("问题"));
    problem_->setWordWrap(true);
    problem_->setStyleSheet(QStringLiteral("color: #b00000"));
    problem_->hide();
    layout->addWidget(problem_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(tr("导入"));
    buttons->button(QDialogButtonBox::Cancel)->setText(tr("取消"));
    connect(buttons, &QDialogButtonBox::accepted, this, &ListImportDialog::take);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    setMinimumWidth(440);
}

void ListImportDialog::setRated(const QString& text) {
    rated_->setText(text);
}

void ListImportDialog::setTime(const QDateTime& at) {
    at_->setDateTime(at);
}

QDateTime ListImportDialog::time() const {
    return at_->dateTime();
}

QString ListImportDialog::problem() const {
    return problem_->isHidden() ? QString() : problem_->text();
}

bool ListImportDialog::take() {
    groups_.clear();
    ListImportProblem problem;
    const auto groups = ReadSavedList(bytes_, rated_->text(), &problem);
    if (!groups) {
        problem_->setText(problem.line == 0 ? tr("额定变比: %1").arg(problem.reason)
                                            : tr("第 %1 行: %2\n列表未导入，没有任何数据存入记录。")
                                                  .arg(problem.line)
                                                  .arg(problem.reason));
        problem_->show();
        adjustSize(); // room for the problem's lines
        return false;
    }
    problem_->clear();
    problem_->hide();
    groups_ = *groups;
    accept();
    return true;
}

} // namespace velantis
