// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "archive/archive.h"

#include <QStringList>

namespace velantis {

// `velantis-cli records list|show|export|delete`: the tests kept in the record database.
int RunRecords(const QStringList& args);

// Adds the test the controller has just downloaded to the archive at path, telling on standard
// error what became of it (its number, or the file and the reason); the download's own outcome
// does not change. Nothing happens when the store holds no group.
void ArchiveDownload(const QString& path, const Monitor& monitor, DownloadEnd how,
                     const TestInfo& info, const QString& port);

// One line of `records list`: number, date and time, station, serial, groups, 合格 n, 超差 n,
// separated by tabs.
QString RecordsListLine(const TestRecord& test);

} // namespace velantis
