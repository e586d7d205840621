// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace velantis {

// A group number typed into the print-range dialog, as a 16-bit integer: spaces around the
// number are allowed, a fraction goes to the nearest integer with an exact half to the even one
// ("2.5" is 2, "3.5" is 4), and an exponent is taken ("1e3" is 1000). Nothing for text that is
// no number or lies outside -32768..32767.
std::optional<qint16> ParseGroupNumber(const QString& text);

// "打印选项": picks a range of groups or the whole list. It has no owner (the main window is
// disabled while it is open) and tells its choice through the signals; it deletes itself when
// it closes.
class PrintRangeDialog : public QDialog {
    Q_OBJECT
public:
    PrintRangeDialog();

    void Command1_Click(); // OK
    void Command2_Click(); // Cancel

signals:
    // OK: the range, or 0 and 0 for the whole list.
    void accepted(int first, int last);
    // Cancel, Esc, or a close by the window manager.
    void cancelled();

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void finish();

    QRadioButton* option1_;
    QRadioButton* option2_;
    QLineEdit* text1_;
    QLineEdit* text2_;
    bool finished_ = false;
};

} // namespace velantis
