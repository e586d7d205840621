// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A saved list (the bytes Save writes: GBK, CR LF, the two heading lines, one row per group and
// one more CR LF) read back into groups. A row holds the group number, the four currents, F.Er,
// the measured ratio and the channel, but neither the rated setting nor the voltage-low flags:
// the rated ratio is given by the caller, the flags stay unset. Each row is rebuilt into a
// stored-group frame that prints exactly the row read, through the same formatting as the list;
// a row that no frame prints refuses the whole file. Pure QtCore.

#include "protocol/frame.h"
#include "records/data_file.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

namespace velantis {

// A rated ratio as a stored-group frame holds it: the primary in amperes (14 bits) and the
// secondary in tenths of an ampere (one byte).
struct RatedRatio {
    std::uint16_t primary = 0;
    std::uint8_t secondaryTenths = 0;
    bool operator==(const RatedRatio&) const = default;
};

// The rated ratio of the groups first..last.
struct RatedRange {
    int first = 1;
    int last = 4000;
    RatedRatio ratio;
    bool operator==(const RatedRange&) const = default;
};

// The rated ratios a text gives: one for every group ("200/5", "200/5A", "100/0.5") or one per
// range of groups ("1-9:200/5,10-15:150/1"; "7:200/5" is group 7 alone). Ranges lie inside
// 1..4000 and do not overlap. Nothing, with the reason in *problem, for a text that is not such
// a list or a ratio the frame cannot hold (primary 1..16383 A, secondary 0.1..25.5 A in tenths).
std::optional<QList<RatedRange>> ParseRatedRatios(const QString& text, QString* problem);

// The rated ratio for a group; nothing when no range holds it.
std::optional<RatedRatio> RatedRatioFor(const QList<RatedRange>& ranges, int group);

// One group of an imported list: its number and the frame rebuilt from its row.
struct ListGroup {
    int group = 0;
    MeasurementFrame frame;
};

// Why a list was refused: the line of the file (1 for the first; 0 when the rated ratios given
// are at fault) and the reason, in the interface's language.
struct ListImportProblem {
    int line = 0;
    QString reason;
};

// The groups of a saved list, in group order, or nothing (and the first problem) when the file
// is not such a list: empty, not GBK (a UTF-8 file too), a line not ended by CR LF, another
// heading, a line that is no row, a row no frame prints, a group outside 1..4000, not above the
// group before it or without a rated ratio, or no group at all. Line 1 is the title line,
// which other programs wrote with their own name: any text is taken there; line 2 must be the
// column heading. Gaps between group numbers are kept as gaps (the list never prints an empty
// slot). After the rows only empty lines may follow (Save writes one).
std::optional<QList<ListGroup>>
ReadSavedList(const QByteArray& bytes, const QList<RatedRange>& rated, ListImportProblem* problem);

// The same with the rated ratios as text (ParseRatedRatios): a text it refuses is a problem at
// line 0.
std::optional<QList<ListGroup>> ReadSavedList(const QByteArray& bytes, const QString& rated,
                                              ListImportProblem* problem);

// Reads a file whole for the import: only a regular file of at most MaxDataFileBytes. False
// with the reason.
bool ReadImportFile(const QString& path, QByteArray* bytes, FileError* failure);

// The origin a test imported from a saved list gives as its PC: "imported from FILE".
QString ImportedOrigin(const QString& file);
// The file named by such an origin; empty for a test that was not imported from a list.
QString ImportedListFile(const QString& originPc);

} // namespace velantis
