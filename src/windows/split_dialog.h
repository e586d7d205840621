// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "records/group_ranges.h"
#include "records/test_report.h"

#include <QDialog>

class QSpinBox;
class QTableWidget;

namespace velantis {

// 拆分测试: the ranges proposed for a download's groups (consecutive groups of one setting),
// which the tester may cut at a group or merge with the next, and the test information of each
// range. What is common to the tests of one download (station, tester, date, organisation)
// changed for one range is copied to every range; the rest (device, serial, phase, class,
// nameplate) is the range's own. OK: each range becomes a test of its own.
class SplitDialog : public QDialog {
    Q_OBJECT
public:
    SplitDialog(const QList<GroupSetting>& groups, const TestInfo& info, QWidget* parent = nullptr);

    const QList<GroupRange>& ranges() const { return ranges_; }
    const QList<TestInfo>& infos() const { return infos_; }
    // The groups that start a range after the first: where the test is split.
    QList<int> cuts() const;

    // Cuts the range holding group `at` there; false when it cannot (told in the dialog).
    bool cutAt(int at);
    // Merges range `index` with the next; false when there is none.
    bool mergeWithNext(int index);
    // Gives range `index` its information, the common fields copied to every range.
    void setInfo(int index, const TestInfo& info);

private:
    void showRanges();
    int selectedRange() const;
    void editSelected();

    QList<GroupSetting> groups_;
    QList<GroupRange> ranges_;
    QList<TestInfo> infos_;
    QTableWidget* table_;
    QSpinBox* cutGroup_;
};

} // namespace velantis
