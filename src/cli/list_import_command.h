// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// `velantis-cli records import` of saved lists (the files Save writes): a file that is not JSON
// is read as a list, with the rated ratio from --rated and the time from --at.

#include "archive/archive.h"
#include "records/list_import.h"

#include <QCommandLineParser>
#include <QDateTime>
#include <QStringList>

#include <optional>

namespace velantis {

struct ListImportOptions {
    QList<RatedRange> rated; // --rated; empty when not given
    QDateTime at;            // --at; invalid: each file's modification time
};

// Adds --rated to the parser of `records` (--at, which split takes too, is there already).
void AddListImportOptions(QCommandLineParser& parser);

// Whether a file given to import is a saved list: it can be read and is not JSON. (One that
// cannot be read is told by the JSON import.)
bool IsSavedListFile(const QString& path);

// --rated and --at as given; nothing (told on standard error: exit 2) when either is wrong, or
// when a saved list is among the files and no --rated was given.
std::optional<ListImportOptions> ReadListImportOptions(const QCommandLineParser& parser,
                                                       const QStringList& files);

// Keeps the saved list at path as a new test, telling on standard error what became of it: 0,
// 2 for a file refused (nothing of it kept) or unreadable, 5 when the database failed.
int ImportSavedList(Archive& archive, const QString& path, const ListImportOptions& options);

} // namespace velantis
