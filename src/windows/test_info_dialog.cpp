// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/test_info_dialog.h"
#include "report/shown_texts.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>

namespace velantis {

namespace {

// The remembered text fields: settings key, and the member of TestInfo.
const struct {
    const char* key;
    QString TestInfo::*field;
} TextFields[] = {
    {"station", &TestInfo::station}, {"device", &TestInfo::device},
    {"serial", &TestInfo::serial},   {"ratedRatio", &TestInfo::ratedRatio},
    {"tester", &TestInfo::tester},   {"reviewer", &TestInfo::reviewer},
    {"remarks", &TestInfo::remarks},
};

QLineEdit* Field(QWidget* parent, const char* name, const QString& text) {
    auto* edit = new QLineEdit(text, parent);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

} // namespace

TestInfoDialog::TestInfoDialog(const TestInfo& info, const QString& defaultRatio, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("TestInfoDialog"));
    setWindowTitle(tr("测试信息"));
    auto* form = new QFormLayout(this);
    station_ = Field(this, "station", info.station);
    device_ = Field(this, "device", info.device);
    serial_ = Field(this, "serial", info.serial);
    ratedRatio_ = Field(this, "ratedRatio", info.ratedRatio);
    ratedRatio_->setPlaceholderText(defaultRatio.isEmpty()
                                        ? tr("默认: 最小组号的设定")
                                        : tr("默认: %1 (最小组号的设定)").arg(defaultRatio));
    accuracy_ = new QComboBox(this);
    accuracy_->setObjectName(QStringLiteral("accuracy"));
    for (AccuracyClass c : AllClasses())
        accuracy_->addItem(ShownText(ClassName(c)), static_cast<int>(c));
    accuracy_->setCurrentIndex(static_cast<int>(AllClasses().indexOf(info.accuracy)));
    tester_ = Field(this, "tester", info.tester);
    reviewer_ = Field(this, "reviewer", info.reviewer);
    date_ = new QDateEdit(info.date.isValid() ? info.date : QDate::currentDate(), this);
    date_->setObjectName(QStringLiteral("testDate"));
    date_->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    date_->setCalendarPopup(true);
    remarks_ = new QPlainTextEdit(info.remarks, this);
    remarks_->setObjectName(QStringLiteral("remarks"));
    remarks_->setTabChangesFocus(true);
    remarks_->setFixedHeight(remarks_->fontMetrics().lineSpacing() * 4);

    form->addRow(tr("站名"), station_);
    form->addRow(tr("设备"), device_);
    form->addRow(tr("编号"), serial_);
    form->addRow(tr("额定变比"), ratedRatio_);
    form->addRow(tr("准确级"), accuracy_);
    form->addRow(tr("试验人员"), tester_);
    form->addRow(tr("审核"), reviewer_);
    form->addRow(tr("试验日期"), date_);
    form->addRow(tr("备注"), remarks_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(tr("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(tr("取消"));
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    setMinimumWidth(420);
}

TestInfo TestInfoDialog::info() const {
    TestInfo info;
    info.station = station_->text();
    info.device = device_->text();
    info.serial = serial_->text();
    info.ratedRatio = ratedRatio_->text();
    info.accuracy = static_cast<AccuracyClass>(accuracy_->currentData().toInt());
    info.tester = tester_->text();
    info.reviewer = reviewer_->text();
    info.date = date_->date();
    info.remarks = remarks_->toPlainText();
    return info;
}

TestInfo LoadTestInfo(QSettings& settings) {
    TestInfo info;
    settings.beginGroup(QStringLiteral("testInfo"));
    for (const auto& f : TextFields)
        info.*f.field = settings.value(QString::fromLatin1(f.key)).toString();
    info.accuracy = ParseClass(settings.value(QStringLiteral("accuracy")).toString())
                        .value_or(AccuracyClass::None);
    settings.endGroup();
    info.date = QDate::currentDate();
    return info;
}

void SaveTestInfo(QSettings& settings, const TestInfo& info) {
    settings.beginGroup(QStringLiteral("testInfo"));
    for (const auto& f : TextFields)
        settings.setValue(QString::fromLatin1(f.key), info.*f.field);
    settings.setValue(QStringLiteral("accuracy"), ClassName(info.accuracy));
    settings.endGroup();
}

} // namespace velantis
