// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "archive/archive.h"
#include "link/monitor.h"

#include <QStringList>

#include <optional>

namespace velantis {

// `velantis-cli records list|show|export|delete`: the tests kept in the record database.
int RunRecords(const QStringList& args);

// The test the controller has just downloaded, as the record database keeps it (no number,
// no uuid yet), ended now.
TestRecord DownloadRecord(const Monitor& monitor, DownloadEnd how, const TestInfo& info,
                          const QString& port);

// Adds the test the controller has just downloaded to the archive at path, telling on standard
// error what became of it (its number, or the file and the reason); the download's own outcome
// does not change. Nothing happens when the store holds no group. The test's number, 0 when it
// was not archived; the record given to the archive in *record when asked.
qint64 ArchiveDownload(const QString& path, const Monitor& monitor, DownloadEnd how,
                       const TestInfo& info, const QString& port, TestRecord* record = nullptr);

// What `records show` and `records export` write of one test, kept here or on the server.
struct TestOutput {
    bool show = false; // the list's rows, as Save writes them, on standard output
    bool csv = false;
    bool json = false;
    QString report; // the test report as a PDF file
    QString curve;  // the error curve as a PNG file
    QString output; // -o FILE of csv and json; empty: standard output
};
// Writes what is asked of a test and its groups, telling failures on standard error as
// `velantis-cli COMMAND: ...`: the exit code (0, or 5 when something could not be written).
int WriteTest(const QString& command, const TestRecord& test, const QList<ArchivedGroup>& groups,
              const TestOutput& what);

// Splits test `number` of archive at the groups in cuts, or where the rated setting changes
// when there are none given, telling on standard error what became of it: the exit code.
int SplitTest(Archive& archive, const QString& command, qint64 number,
              std::optional<QList<int>> cuts);

// One line of `records list`: number, date and time, station, serial, groups, 合格 n, 超差 n,
// how the download ended ("complete", or "58/100 link-lost" with "?" for a count that never
// came), the test's range of groups ("10-15") and the id of the download it came from,
// separated by tabs. A tab, CR, LF or backslash inside a field is written \t, \r, \n or
// \\, so that a field can never make a line or a field of its own.
QString RecordsListLine(const TestRecord& test);
// A field of a line-per-record output with its tab, CR, LF and backslash escaped.
QString EscapedField(const QString& field);

} // namespace velantis
