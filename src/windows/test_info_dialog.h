// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "records/test_report.h"

#include <QDialog>

class QComboBox;
class QDateEdit;
class QLineEdit;
class QPlainTextEdit;
class QSettings;

namespace velantis {

// The test information the report prints: station, equipment, serial, rated ratio, accuracy
// class, tester, reviewer, date and remarks.
class TestInfoDialog : public QDialog {
    Q_OBJECT
public:
    // defaultRatio: what an empty rated ratio stands for (the lowest stored group's setting).
    TestInfoDialog(const TestInfo& info, const QString& defaultRatio, QWidget* parent = nullptr);
    TestInfo info() const;

private:
    QLineEdit* station_;
    QLineEdit* device_;
    QLineEdit* serial_;
    QLineEdit* ratedRatio_;
    QComboBox* accuracy_;
    QLineEdit* tester_;
    QLineEdit* reviewer_;
    QDateEdit* date_;
    QPlainTextEdit* remarks_;
};

// The fields remembered between runs (all but the date, which is today's at each start).
TestInfo LoadTestInfo(QSettings& settings);
void SaveTestInfo(QSettings& settings, const TestInfo& info);

} // namespace velantis
