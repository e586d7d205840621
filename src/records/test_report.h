// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "records/download_end.h"
#include "records/record_store.h"
#include "records/verdict.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

namespace velantis {

// What the test engineer says of the test: the transformer, its class, who tested it and when.
struct TestInfo {
    QString station;    // 站名
    QString device;     // 设备
    QString serial;     // 编号
    QString ratedRatio; // 额定变比; empty: the setting of the lowest-numbered stored group
    AccuracyClass accuracy = AccuracyClass::None;
    QString tester;   // 试验人员
    QString reviewer; // 审核
    QDate date;       // 试验日期
    QString remarks;  // 备注
};

// Where and when the groups were downloaded, and how the download ended.
struct DownloadInfo {
    QDateTime at;
    QString port; // "COM3 (/dev/ttyUSB0)"
    DownloadEnd ending = DownloadEnd::EndFrame;
    int announced = -1; // groups the instrument announced; -1: no count arrived
    int stored = 0;     // groups the download stored
};

// One stored group as the report and the CSV show it.
struct ReportRow {
    int group = 0;
    GroupRecord slot;
    GroupVerdict verdict;
};

// Everything a report shows, derived from the store by the same verdict as the CSV.
struct TestReport {
    TestInfo info;
    DownloadInfo download;
    QString ratedRatio;         // the info's, or the lowest group's setting
    bool mixedSettings = false; // the groups do not all have the same setting
    QList<ReportRow> rows;
    int pass = 0;
    int fail = 0;
    int none = 0;
    // The largest |F.Er| and its group (the lowest group number on a tie); none when no group
    // shows a ratio error.
    std::optional<int> largestErrorGroup;
    QString largestError; // its text, "-0.6%"
};

TestReport MakeTestReport(const RecordStore& store, const TestInfo& info,
                          const DownloadInfo& download);

// The setting a stored-group frame names, "150/5A".
QString SettingOf(const MeasurementFrame& frame);

} // namespace velantis
