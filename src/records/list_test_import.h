// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A saved list kept as a test of the record database: the list read back into frames
// (list_import.h) with the rated ratios the user gives, and the test made of them.

#include "archive/archive.h"
#include "records/list_import.h"

#include <QDateTime>
#include <QList>
#include <QString>

namespace velantis {

// The test a saved list gives: downloaded (and ended) at `at`, complete, no count announced, its
// date that day, its origin "imported from FILE" (the file as given) and the user logged in.
TestRecord ListTestRecord(const QList<ListGroup>& groups, const QString& file, const QDateTime& at,
                          const QString& user);
// That test kept in the record database as a new test, by the user logged in: its number, or
// nothing and why.
std::optional<qint64> KeepListTest(Archive& archive, const QList<ListGroup>& groups,
                                   const QString& file, const QDateTime& at, ArchiveError* error);

// What a report shows of a test's download: its time, port and ending, its number, and the saved
// list it was imported from (from its origin).
DownloadInfo DownloadInfoOf(const TestRecord& test);

// When a saved list was made, where nothing else tells: the file's modification time (invalid
// when the file is not there).
QDateTime ListFileTime(const QString& path);

// What became of one saved list given to import.
struct ListTestImport {
    enum class Outcome {
        Imported,    // kept as a new test: number, groups
        Unreadable,  // the file could not be read: file
        Refused,     // not a saved list, or a row no frame prints: problem; nothing kept
        NotArchived, // the record database failed: archive
    };
    Outcome outcome = Outcome::Imported;
    qint64 number = 0;
    int groups = 0;
    FileError file;
    ListImportProblem problem;
    ArchiveError archive;
};

// Keeps the saved list at path as a new test with the rated ratios given, made at `at` (invalid:
// the file's modification time); nothing of a refused file is kept. Only a regular file of at
// most MaxDataFileBytes is read.
ListTestImport ImportListFile(Archive& archive, const QString& path, const QList<RatedRange>& rated,
                              const QDateTime& at);

} // namespace velantis
