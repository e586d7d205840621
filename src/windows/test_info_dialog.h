// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "records/test_report.h"

#include <QDialog>

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QSettings;

namespace velantis {

// The test information the report prints: the station, equipment, serial, rated ratio and
// accuracy class, the transformer's nameplate, the conditions of the test, the test set and its
// calibration (a warning under it when it ran out before the test date), the organisation and
// its logo, the report number's prefix, the decision rule, tester, reviewer, date and remarks.
// Every field's objectName is its key (--info, the record database, the JSON).
class TestInfoDialog : public QDialog {
    Q_OBJECT
public:
    // defaultRatio: what an empty rated ratio stands for (the lowest stored group's setting).
    TestInfoDialog(const TestInfo& info, const QString& defaultRatio, QWidget* parent = nullptr);
    TestInfo info() const;

    // Takes the logo from a PNG or JPEG file (scaled down to fit MaxLogoBytes where it has to);
    // false, told under the logo and the logo kept as it was, when the file gives none.
    bool setLogoFile(const QString& path);
    // The warning under the calibration date; empty when there is none.
    QString calibrationWarning() const;
    // Why the guard band cannot be taken as typed; empty when it can.
    QString guardBandProblem() const;

public slots:
    // Closes with the information only when the guard band suits the class; told otherwise.
    void accept() override;

private:
    void chooseLogo();
    void showLogo();
    void updateCalibrationWarning();
    void updateDecisionRule();

    QLineEdit* station_;
    QLineEdit* device_;
    QLineEdit* serial_;
    QLineEdit* ratedRatio_;
    QComboBox* accuracy_;
    QLineEdit* tester_;
    QLineEdit* reviewer_;
    QDateEdit* date_;
    QPlainTextEdit* remarks_;
    // The free-text fields that TestInfoTextFields names, beside the ones above.
    QList<std::pair<QString TestInfo::*, QLineEdit*>> texts_;
    QDateEdit* setCalibration_;
    QLabel* calibrationWarning_;
    QByteArray logo_;
    QLabel* logoState_;
    QComboBox* rule_;
    QLineEdit* guardBand_;
    QLabel* ruleProblem_;
};

// The fields remembered between runs: the station's, the class, the organisation, its logo, the
// standard, the test set's serial and calibration date and the report prefix. The nameplate,
// the conditions and the decision rule belong to one test; the date is today's at each start.
TestInfo LoadTestInfo(QSettings& settings);
void SaveTestInfo(QSettings& settings, const TestInfo& info);

} // namespace velantis
