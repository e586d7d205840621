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

// The standard the report names unless the tester gives another.
inline constexpr const char* DefaultStandard = "GB/T 20840.2-2014 (IEC 61869-2)";

// What the test engineer says of the test: the transformer and its nameplate, the conditions,
// the test set, the class and the decision rule, who tested it and when.
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
    // The organisation that tests, and its logo: PNG bytes (at most MaxLogoBytes), empty for none.
    QString organisation; // 试验单位
    QByteArray logo;
    // The nameplate.
    QString maker;       // 制造厂
    QString type;        // 型号
    QString phase;       // 相别
    QString core;        // 绕组/抽头
    QString ratedBurden; // 额定二次负荷 (VA), as typed
    // The conditions of the test.
    QString testBurden;                                      // 试验时二次负荷 (VA), as typed
    QString standard = QString::fromLatin1(DefaultStandard); // 执行标准
    QString temperature;                                     // 环境温度 (°C), as typed
    QString humidity;                                        // 相对湿度 (%), as typed
    // The test set: its serial and the date its calibration holds until.
    QString setSerial;    // 测试仪编号
    QDate setCalibration; // 测试仪校准有效期至; null: not given
    // What the report number starts with (the organisation's code, say); may be empty.
    QString reportPrefix;
    // The decision rule: the guard band w in hundredths of a per cent of ratio error; 0 is
    // simple acceptance (合格 when |F.Er| <= the limit), w > 0 accepts up to the limit less w.
    int guardBand = 0;
};

// The largest logo kept with a test.
inline constexpr qsizetype MaxLogoBytes = 256 * 1024;

// The free-text fields of the test information with the one key each goes by: in --info, the
// remembered settings, the record database's columns and the test's JSON. (The class, the
// dates, the logo and the guard band have forms of their own.)
struct TestInfoTextField {
    const char* key;
    QString TestInfo::*member;
};
inline constexpr TestInfoTextField TestInfoTextFields[] = {
    {"station", &TestInfo::station},
    {"device", &TestInfo::device},
    {"serial", &TestInfo::serial},
    {"rated-ratio", &TestInfo::ratedRatio},
    {"tester", &TestInfo::tester},
    {"reviewer", &TestInfo::reviewer},
    {"remarks", &TestInfo::remarks},
    {"organisation", &TestInfo::organisation},
    {"maker", &TestInfo::maker},
    {"type", &TestInfo::type},
    {"phase", &TestInfo::phase},
    {"core", &TestInfo::core},
    {"rated-burden", &TestInfo::ratedBurden},
    {"test-burden", &TestInfo::testBurden},
    {"standard", &TestInfo::standard},
    {"temperature", &TestInfo::temperature},
    {"humidity", &TestInfo::humidity},
    {"set-serial", &TestInfo::setSerial},
    {"report-prefix", &TestInfo::reportPrefix},
};

// Where and when the groups were downloaded, and how the download ended.
struct DownloadInfo {
    QDateTime at;
    QString port; // "COM3 (/dev/ttyUSB0)"
    DownloadEnd ending = DownloadEnd::EndFrame;
    int announced = -1;        // groups the instrument announced; -1: no count arrived
    int stored = 0;            // groups the download stored
    qint64 archived = 0;       // the test's number in the record database; 0: not archived
    QString importedFrom = {}; // the saved list the groups were imported from; empty: a download
};

// One stored group as the report and the CSV show it.
struct ReportRow {
    int group = 0;
    GroupRecord slot;
    GroupVerdict verdict;
    QString rated; // the group's rated ratio (its setting, "400/5A"); empty without its frame
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
