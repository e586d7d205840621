// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/test_info_dialog.h"

#include "report/shown_texts.h"
#include "windows/window_services.h"

#include "records/logo_image.h"
#include "records/test_json.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

namespace velantis {

namespace {

// The remembered text fields: settings key, and the member of TestInfo.
const struct {
    const char* key;
    QString TestInfo::*field;
} TextFields[] = {
    {"station", &TestInfo::station},
    {"device", &TestInfo::device},
    {"serial", &TestInfo::serial},
    {"ratedRatio", &TestInfo::ratedRatio},
    {"tester", &TestInfo::tester},
    {"reviewer", &TestInfo::reviewer},
    {"remarks", &TestInfo::remarks},
    {"organisation", &TestInfo::organisation},
    {"standard", &TestInfo::standard},
    {"set-serial", &TestInfo::setSerial},
    {"report-prefix", &TestInfo::reportPrefix},
};

// The fields of the nameplate, the conditions, the test set and the organisation with their
// labels, in the order the dialog shows them (the station's fields come first, by their own).
const struct {
    QString TestInfo::*member;
    const char* label;
} NewTextFields[] = {
    {&TestInfo::organisation, QT_TRANSLATE_NOOP("velantis::TestInfoDialog", "试验单位")},
    {&TestInfo::reportPrefix, QT_TRANSLATE_NOOP("velantis::TestInfoDialog", "报告编号前缀")},
    {&TestInfo::maker, QT_TRANSLATE_NOOP("velantis::TestInfoDialog", "制造厂")},
    {&TestInfo::type, QT_TRANSLATE_NOOP("velantis::TestInfoDialog", "型号")},
    {&TestInfo::phase, QT_TRANSLATE_NOOP("velantis::TestInfoDialog", "相别")},
    {&TestInfo::core, QT_TRANSLATE_NOOP("velantis::TestInfoDialog", "绕组/抽头")},
    {&TestInfo::ratedBurden, QT_TRANSLATE_NOOP("velantis::TestInfoDialog", "额定二次负荷 (VA)")},
    {&TestInfo::testBurden, QT_TRANSLATE_NOOP("velantis::TestInfoDialog", "试验时二次负荷 (VA)")},
    {&TestInfo::standard, QT_TRANSLATE_NOOP("velantis::TestInfoDialog", "执行标准")},
    {&TestInfo::temperature, QT_TRANSLATE_NOOP("velantis::TestInfoDialog", "环境温度 (°C)")},
    {&TestInfo::humidity, QT_TRANSLATE_NOOP("velantis::TestInfoDialog", "相对湿度 (%)")},
    {&TestInfo::setSerial, QT_TRANSLATE_NOOP("velantis::TestInfoDialog", "测试仪编号")},
};

const char* KeyOf(QString TestInfo::*member) {
    for (const TestInfoTextField& f : TestInfoTextFields) {
        if (f.member == member)
            return f.key;
    }
    return "";
}

QLineEdit* Field(QWidget* parent, const char* name, const QString& text) {
    auto* edit = new QLineEdit(text, parent);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

// A date edit that can say "not given": its lowest date stands for none.
const QDate NoDate(2000, 1, 1);

QLabel* Warning(QWidget* parent, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setStyleSheet(QStringLiteral("color: #b00000"));
    label->setWordWrap(true);
    label->hide();
    return label;
}

} // namespace

TestInfoDialog::TestInfoDialog(const TestInfo& info, const QString& defaultRatio, QWidget* parent)
    : QDialog(parent), logo_(info.logo) {
    setObjectName(QStringLiteral("TestInfoDialog"));
    setWindowTitle(tr("测试信息"));
    // Two columns: the test and its verdict on the left; the organisation, the nameplate, the
    // conditions and the test set on the right.
    auto* outer = new QVBoxLayout(this);
    auto* columns = new QHBoxLayout;
    auto* form = new QFormLayout;
    auto* side = new QFormLayout;
    for (QFormLayout* column : {form, side}) {
        auto* top = new QVBoxLayout; // the rows at the top, the room below them
        top->addLayout(column);
        top->addStretch(1);
        columns->addLayout(top, 1);
    }
    columns->insertSpacing(1, 16);
    outer->addLayout(columns);
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

    // The decision rule: simple acceptance, or a guard band w inside the class's limits.
    rule_ = new QComboBox(this);
    rule_->setObjectName(QStringLiteral("decision-rule"));
    rule_->addItem(tr("简单接受"));
    rule_->addItem(tr("保护带"));
    rule_->setCurrentIndex(info.guardBand > 0 ? 1 : 0);
    guardBand_ =
        Field(this, "guard-band", info.guardBand > 0 ? GuardBandText(info.guardBand) : QString());
    guardBand_->setPlaceholderText(tr("w (%)"));
    auto* ruleRow = new QHBoxLayout;
    ruleRow->addWidget(rule_);
    ruleRow->addWidget(guardBand_, 1);
    form->addRow(tr("判定规则"), ruleRow);
    ruleProblem_ = Warning(this, "guard-band-problem");
    form->addRow(QString(), ruleProblem_);
    connect(rule_, &QComboBox::currentIndexChanged, this, &TestInfoDialog::updateDecisionRule);
    connect(accuracy_, &QComboBox::currentIndexChanged, this, [this] { ruleProblem_->hide(); });

    for (const auto& f : NewTextFields) {
        QLineEdit* edit = Field(this, KeyOf(f.member), info.*f.member);
        texts_.append({f.member, edit});
        side->addRow(tr(f.label), edit);
        if (f.member == &TestInfo::setSerial) {
            setCalibration_ = new QDateEdit(this);
            setCalibration_->setObjectName(QStringLiteral("set-calibration"));
            setCalibration_->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
            setCalibration_->setCalendarPopup(true);
            setCalibration_->setMinimumDate(NoDate);
            setCalibration_->setSpecialValueText(tr("未填写"));
            setCalibration_->setDate(info.setCalibration.isValid() ? info.setCalibration : NoDate);
            side->addRow(tr("测试仪校准有效期至"), setCalibration_);
            calibrationWarning_ = Warning(this, "set-calibration-warning");
            side->addRow(QString(), calibrationWarning_);
        }
        if (f.member == &TestInfo::organisation) {
            logoState_ = new QLabel(this);
            logoState_->setObjectName(QStringLiteral("logo-state"));
            auto* choose = new QPushButton(tr("选择…"), this);
            choose->setObjectName(QStringLiteral("logo"));
            auto* clear = new QPushButton(tr("清除"), this);
            clear->setObjectName(QStringLiteral("logo-clear"));
            connect(choose, &QPushButton::clicked, this, &TestInfoDialog::chooseLogo);
            connect(clear, &QPushButton::clicked, this, [this] {
                logo_.clear();
                showLogo();
            });
            auto* row = new QHBoxLayout;
            row->addWidget(logoState_, 1);
            row->addWidget(choose);
            row->addWidget(clear);
            side->addRow(tr("标志图片"), row);
        }
    }
    connect(setCalibration_, &QDateEdit::dateChanged, this,
            &TestInfoDialog::updateCalibrationWarning);
    connect(date_, &QDateEdit::dateChanged, this, &TestInfoDialog::updateCalibrationWarning);

    form->addRow(tr("试验人员"), tester_);
    form->addRow(tr("审核"), reviewer_);
    form->addRow(tr("试验日期"), date_);
    form->addRow(tr("备注"), remarks_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(tr("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(tr("取消"));
    outer->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &TestInfoDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    setMinimumWidth(820);
    showLogo();
    updateCalibrationWarning();
    updateDecisionRule();
}

void TestInfoDialog::showLogo() {
    logoState_->setText(logo_.isEmpty() ? tr("无")
                                        : tr("PNG 图片，%1 kB").arg((logo_.size() + 1023) / 1024));
}

bool TestInfoDialog::setLogoFile(const QString& path) {
    LogoProblem problem;
    const QByteArray png = LogoFromFile(path, &problem);
    if (problem.reason == LogoProblem::Reason::None) {
        logo_ = png;
        showLogo();
        return true;
    }
    QString why;
    switch (problem.reason) {
    case LogoProblem::Reason::NoFile:
        why = tr("文件不存在");
        break;
    case LogoProblem::Reason::NotAFile:
        why = tr("不是普通文件");
        break;
    case LogoProblem::Reason::FileTooBig:
        why = tr("文件大于 %1 MB").arg(MaxLogoFileBytes / (1024 * 1024));
        break;
    case LogoProblem::Reason::NotAnImage:
        why = tr("不是 PNG 或 JPEG 图片");
        break;
    case LogoProblem::Reason::CannotRead:
    case LogoProblem::Reason::None:
        why = problem.system;
        break;
    }
    logoState_->setText(tr("未采用 %1：%2").arg(QDir::toNativeSeparators(path), why));
    return false;
}

void TestInfoDialog::chooseLogo() {
    const QString path = QFileDialog::getOpenFileName(
        this, tr("标志图片"), DocumentsFolder(), tr("图片 (*.png *.jpg *.jpeg)"), nullptr,
        QFileDialog::DontUseNativeDialog | QFileDialog::HideNameFilterDetails);
    if (!path.isEmpty())
        setLogoFile(path);
}

QString TestInfoDialog::calibrationWarning() const {
    return calibrationWarning_->isVisibleTo(this) ? calibrationWarning_->text() : QString();
}

void TestInfoDialog::updateCalibrationWarning() {
    const QDate until = setCalibration_->date();
    const bool expired = until != NoDate && until < date_->date();
    calibrationWarning_->setText(expired ? tr("校准有效期早于试验日期：测试仪校准已过期。")
                                         : QString());
    calibrationWarning_->setVisible(expired);
}

void TestInfoDialog::updateDecisionRule() {
    guardBand_->setEnabled(rule_->currentIndex() == 1);
    ruleProblem_->hide();
}

QString TestInfoDialog::guardBandProblem() const {
    if (rule_->currentIndex() == 0)
        return {};
    const auto w = ParseGuardBand(guardBand_->text());
    const auto c = static_cast<AccuracyClass>(accuracy_->currentData().toInt());
    if (!w || *w == 0 || c == AccuracyClass::None)
        return c == AccuracyClass::None ? tr("保护带需要先选择准确级。")
                                        : tr("保护带 w 以 % 为单位，最多两位小数，大于 0。");
    if (const int smallest = SmallestLimit(c); *w >= smallest)
        return tr("%1 级的保护带应大于 0 且小于 %2 %。")
            .arg(ShownText(ClassName(c)), GuardBandText(SmallestLimit(c)));
    return {};
}

void TestInfoDialog::accept() {
    if (const QString problem = guardBandProblem(); !problem.isEmpty()) {
        ruleProblem_->setText(problem);
        ruleProblem_->show();
        guardBand_->setFocus();
        return;
    }
    QDialog::accept();
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
    for (const auto& [member, edit] : texts_)
        info.*member = edit->text();
    info.logo = logo_;
    info.setCalibration = setCalibration_->date() == NoDate ? QDate() : setCalibration_->date();
    info.guardBand = rule_->currentIndex() == 1 && guardBandProblem().isEmpty()
                         ? ParseGuardBand(guardBand_->text()).value_or(0)
                         : 0;
    return info;
}

TestInfo LoadTestInfo(QSettings& settings) {
    TestInfo info;
    settings.beginGroup(QStringLiteral("testInfo"));
    for (const auto& f : TextFields)
        info.*f.field = settings.value(QString::fromLatin1(f.key), info.*f.field).toString();
    info.accuracy = ParseClass(settings.value(QStringLiteral("accuracy")).toString())
                        .value_or(AccuracyClass::None);
    info.logo = settings.value(QStringLiteral("logo")).toByteArray();
    if (info.logo.size() > MaxLogoBytes)
        info.logo.clear();
    info.setCalibration = QDate::fromString(
        settings.value(QStringLiteral("set-calibration")).toString(), Qt::ISODate);
    settings.endGroup();
    info.date = QDate::currentDate();
    return info;
}

void SaveTestInfo(QSettings& settings, const TestInfo& info) {
    settings.beginGroup(QStringLiteral("testInfo"));
    for (const auto& f : TextFields)
        settings.setValue(QString::fromLatin1(f.key), info.*f.field);
    settings.setValue(QStringLiteral("accuracy"), ClassName(info.accuracy));
    settings.setValue(QStringLiteral("logo"), info.logo);
    settings.setValue(QStringLiteral("set-calibration"), info.setCalibration.toString(Qt::ISODate));
    settings.endGroup();
}

} // namespace velantis
