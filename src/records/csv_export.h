// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "records/data_file.h"
#include "records/record_store.h"
#include "records/verdict.h"

#include <QByteArray>
#include <QString>

namespace velantis {

// The stored groups as a CSV file for spreadsheets: UTF-8 with a byte-order mark (so the Chinese
// heading reads right), CR LF line ends, one row per stored group with plain numbers taken from
// the stored texts - group, high-voltage current A, R/S/T currents A (mA converted), ratio
// error %, the ratio's primary and secondary figures, channel letter. Texts that show no number
// ("OL", "err", "- -", "- - - -", "--%") stay as they are in their cells. With an accuracy
// class, columns more: the current in % of the group's rated primary (电流百分数, whenever it
// can be computed), the limit (with a verdict), under a guard band (in hundredths of a per
// cent, see GuardBandFits) the acceptance limit, the verdict, as the report shows them, and why
// there is no verdict (empty for 合格 and 超差).
QByteArray CsvBytes(const RecordStore& store, AccuracyClass accuracy = AccuracyClass::None,
                    int guardBand = 0);

// Writes CsvBytes to path, as Save writes a list; false with the reason.
bool SaveCsvFile(const QString& path, const RecordStore& store, AccuracyClass accuracy,
                 QString* error, FileError* failure = nullptr);
bool SaveCsvFile(const QString& path, const RecordStore& store, AccuracyClass accuracy,
                 int guardBand, QString* error, FileError* failure = nullptr);

} // namespace velantis
