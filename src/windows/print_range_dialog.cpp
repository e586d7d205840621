// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/print_range_dialog.h"

#include "report/fonts.h"
#include "windows/twips.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>

#include <cfenv>
#include <cmath>

namespace velantis {

std::optional<qint16> ParseGroupNumber(const QString& text) {
    const QString trimmed = text.trimmed();
    // Plain decimal notation only: no "inf", "nan" or hexadecimal.
    for (const QChar c : trimmed) {
        if (!(c.isDigit() && c.unicode() < 128) && !QStringLiteral("+-.eE").contains(c))
            return std::nullopt;
    }
    bool ok = false;
    const double value = QLocale::c().toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(value); // an exact half goes to the even neighbour
    if (rounded < -32768 || rounded > 32767)
        return std::nullopt;
    return static_cast<qint16>(rounded);
}

namespace {

template <typename W> W* Place(QWidget* parent, const char* name, const QRect& rect) {
    auto* w = new W(parent);
    w->setObjectName(QLatin1String(name));
    w->setGeometry(rect);
    return w;
}

QLabel* Caption(QWidget* parent, const char* name, const QString& text, const QRect& rect,
                qreal points) {
    auto* label = Place<QLabel>(parent, name, rect);
    label->setText(text);
    label->setFont(SongFont(points, true));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

} // namespace

PrintRangeDialog::PrintRangeDialog()
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(tr("打印选项"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(TwipsToPixels(6135), TwipsToPixels(3120));

    option1_ = Place<QRadioButton>(this, "Option1", Twips(480, 720, 375, 375));
    Caption(this, "Label1", tr("打印:"), Twips(960, 720, 855, 375), 15);
    text1_ = Place<QLineEdit>(this, "Text1", Twips(1800, 720, 975, 375));
    Caption(this, "Label3", QStringLiteral("-"), Twips(2880, 670, 375, 375), 24);
    text2_ = Place<QLineEdit>(this, "Text2", Twips(3240, 720, 1095, 375));
    Caption(this, "Label2", tr("组"), Twips(4440, 760, 615, 375), 15);
    option2_ = Place<QRadioButton>(this, "Option2", Twips(480, 1320, 375, 375));
    Caption(this, "Label4", tr("全部"), Twips(960, 1320, 975, 375), 15);
    auto* ok = Place<QPushButton>(this, "Command1", Twips(1080, 2280, 1215, 615));
    auto* cancel = Place<QPushButton>(this, "Command2", Twips(3720, 2280, 1215, 615));

    text1_->setText(QStringLiteral("1"));
    text2_->setText(QStringLiteral("100"));
    for (QLineEdit* t : {text1_, text2_})
        t->setFont(SongFont(15, true));
    option1_->setChecked(true);
    ok->setText(tr("确  定"));
    cancel->setText(tr("取  消"));
    // Neither button is the default: Enter presses nothing.
    for (QPushButton* b : {ok, cancel}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    setTabOrder(ok, cancel);
    setTabOrder(cancel, text1_);
    setTabOrder(text1_, text2_);
    setTabOrder(text2_, option1_);
    setTabOrder(option1_, option2_);
    connect(ok, &QPushButton::clicked, this, &PrintRangeDialog::Command1_Click);
    connect(cancel, &QPushButton::clicked, this, &PrintRangeDialog::Command2_Click);
    ok->setFocus();
}

void PrintRangeDialog::Command1_Click() {
    if (finished_)
        return;
    int first = 0;
    int last = 0;
    if (option1_->isChecked()) {
        const auto a = ParseGroupNumber(text1_->text());
        const auto b = ParseGroupNumber(text2_->text());
        if (!a || !b) {
            QLineEdit* bad = a ? text2_ : text1_;
            auto* box =
                new QMessageBox(QMessageBox::Warning, tr("打印选项"),
                                tr("请输入 -32768 到 32767 之间的组号。"), QMessageBox::Ok, this);
            box->setAttribute(Qt::WA_DeleteOnClose);
            connect(box, &QMessageBox::finished, bad, [bad] {
                bad->setFocus();
                bad->selectAll();
            });
            box->open();
            return;
        }
        first = *a;
        last = *b;
    }
    finished_ = true;
    emit accepted(first, last);
    finish();
}

void PrintRangeDialog::Command2_Click() {
    if (finished_)
        return;
    finished_ = true;
    emit cancelled();
    finish();
}

void PrintRangeDialog::finish() {
    QDialog::done(QDialog::Rejected); // hides; WA_DeleteOnClose deletes it
}

void PrintRangeDialog::reject() {
    // Esc: as Cancel, or the main window would stay disabled for good.
    Command2_Click();
}

void PrintRangeDialog::closeEvent(QCloseEvent* event) {
    Command2_Click();
    event->accept();
}

} // namespace velantis
