// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One test as a JSON document: everything the record database keeps of it (the test
// information, the download, the decision rule, its identity and every group's 20-byte frame),
// so that a test can go from one PC to another and come back byte for byte. Pure QtCore.
//
//   {"format": "velantis-test", "version": 1, "uuid": "…",
//    "info": {"station": "…", … every free-text field by its key …, "class": "0.5",
//             "date": "2026-12-09", "set-calibration": "2027-03-01", "logo": "<base64 PNG>",
//             "guard-band": "0.05"},
//    "download": {"started": "…", "ended": "…", "port": "COM3 (/dev/ttyUSB0)",
//                 "ending": "complete", "announced": 200},
//    "groups": [{"group": 1, "frame": "<40 hex digits>"}, …],
//    "origin-pc": "…", "origin-user": "…", "revision": 2, "edited": "…"}
// The last four only when the test has them (an origin, an edit); a document without them is a
// test of revision 1 never edited, of no known origin.

#include "archive/archive.h"
#include "records/data_file.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace velantis {

inline constexpr const char* TestJsonFormat = "velantis-test";
inline constexpr int TestJsonVersion = 1;

// The JSON of a test and its groups; the same test always gives the same bytes (keys sorted,
// groups in group order, UTF-8, LF line ends).
QByteArray TestJson(const TestRecord& test, const QList<ArchivedGroup>& groups);

// Why a JSON document is not a test: where in it (a line and column, or the path of a value
// such as "groups[3].frame") and the reason, in the interface's language.
struct TestJsonProblem {
    QString place;
    QString reason;
};

// The test a JSON document holds: its information, download and uuid in test (number, counts
// and version are left as they are), its groups in group order. False and the problem when the
// document is malformed, of another format or an unknown version, or holds a frame whose
// checksum is wrong, a group number outside 0..4000 or given twice, a logo that is no PNG or
// larger than MaxLogoBytes, or a guard band the class does not allow.
bool ReadTestJson(const QByteArray& bytes, TestRecord* test, QList<ArchivedGroup>* groups,
                  TestJsonProblem* problem);

// The name the JSON goes by beside a report: "test-0017.json", "test.json" for a test not
// archived (number 0).
QString TestJsonFileName(qint64 number);

// Whether a file's bytes are to be read as JSON: '{' first after any white space.
bool LooksLikeJson(const QByteArray& bytes);

// What became of one file given to import.
struct TestImport {
    enum class Outcome {
        Imported,    // kept as a new test: number
        AlreadyKept, // the same test (uuid) is kept already as test number: skipped
        Unreadable,  // the file could not be read: file
        NotJson,     // not a test file (JSON): something else
        Refused,     // malformed, another format or version, a bad frame: problem
        NotArchived, // the record database failed: archive
    };
    Outcome outcome = Outcome::Imported;
    qint64 number = 0;
    FileError file;
    TestJsonProblem problem;
    ArchiveError archive;
};

// Puts the test a JSON file holds into the archive as a new test, frames byte for byte; nothing
// of a file that is refused is kept. Only a regular file of at most MaxDataFileBytes is read.
TestImport ImportTestFile(Archive& archive, const QString& path);

// The guard band as text in per cent, two decimals: 5 → "0.05".
QString GuardBandText(int hundredths);
// The guard band a text gives in hundredths of a per cent ("0.05", "0.1", "0"); nothing when
// the text is no such number with at most two decimals.
std::optional<int> ParseGuardBand(const QString& text);
// Why a guard band does not go with a class, in the interface's language; empty when it does:
// 0 always, otherwise 0 < w < the class's smallest limit, and a class is needed.
QString GuardBandProblem(int hundredths, AccuracyClass c);

} // namespace velantis
