// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/list_import.h"

#include "formats/formats.h"
#include "protocol/reading.h"
#include "records/history.h"
#include "records/record_store.h"
#include "records/text_codec.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace velantis {

namespace {

constexpr int HighestPrimary = 0x3FFF; // 14 bits of bytes 15-16
constexpr int OverloadRaw = 10000;     // "    OL"
constexpr int ErrorRaw = 20000;        // "err"
constexpr std::uint8_t NoRatioError = 0x6E;

bool AllDigits(QStringView text) {
    return !text.isEmpty() &&
           std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// A whole number of at most 9 digits (no sign, no spaces); nothing otherwise.
std::optional<int> WholeNumber(QStringView text) {
    if (!AllDigits(text) || text.size() > 9)
        return std::nullopt;
    return text.toInt();
}

// A decimal text "12", "0.5" split into its digits: the value in 10^-decimals and the decimals.
struct Decimal {
    qint64 units = 0;
    int decimals = 0;
};
std::optional<Decimal> ParseDecimal(QStringView text) {
    const qsizetype point = text.indexOf(u'.');
    const QStringView whole = point < 0 ? text : text.left(point);
    const QStringView fraction = point < 0 ? QStringView() : text.mid(point + 1);
    if (!AllDigits(whole) || whole.size() > 9 || (point >= 0 && !AllDigits(fraction)) ||
        fraction.size() > 3)
        return std::nullopt;
    Decimal d;
    d.decimals = static_cast<int>(fraction.size());
    d.units = whole.toLongLong();
    for (const QChar c : fraction)
        d.units = d.units * 10 + (c.unicode() - u'0');
    return d;
}

// "200/5", "200/5A", "100/0.5": nothing with the reason when the frame cannot hold it.
std::optional<RatedRatio> ParseRatio(QStringView text, QString* problem) {
    QStringView t = text.trimmed();
    if (t.endsWith(u'A') || t.endsWith(u'a'))
        t.chop(1);
    const qsizetype slash = t.indexOf(u'/');
    const auto primary = slash < 0 ? std::nullopt : WholeNumber(t.left(slash).trimmed());
    const auto secondary = slash < 0 ? std::nullopt : ParseDecimal(t.mid(slash + 1).trimmed());
    if (!primary || !secondary) {
        *problem =
            QCoreApplication::translate("ListImport", "“%1” is not a rated ratio such as 200/5")
                .arg(text.trimmed());
        return std::nullopt;
    }
    if (*primary < 1 || *primary > HighestPrimary) {
        *problem =
            QCoreApplication::translate(
                "ListImport",
                "the rated primary %1 A cannot be held by the instrument's frame (1 to %2 A)")
                .arg(*primary)
                .arg(HighestPrimary);
        return std::nullopt;
    }
    qint64 tenths = secondary->units;
    for (int d = secondary->decimals; d < 1; ++d)
        tenths *= 10;
    bool exact = true;
    for (int d = secondary->decimals; d > 1; --d) {
        exact = exact && tenths % 10 == 0;
        tenths /= 10;
    }
    if (!exact || tenths < 1 || tenths > 255) {
        *problem = QCoreApplication::translate(
                       "ListImport",
                       "the rated secondary %1 A cannot be held by the instrument's frame (0.1 to "
                       "25.5 A in steps of 0.1 A)")
                       .arg(t.mid(slash + 1).trimmed());
        return std::nullopt;
    }
    return RatedRatio{static_cast<std::uint16_t>(*primary), static_cast<std::uint8_t>(tenths)};
}

// One way a frame shows a current: its raw value and range byte.
struct CurrentBytes {
    std::uint16_t raw = 0;
    std::uint8_t range = 0;
};

// Every raw value and range byte that prints a current text, one per way of scaling it into the
// ratio: the instrument's own range codes first (0x30-0x33 for A with 0-3 decimals, 0x40 and 0x41
// for mA), then codes of the same look that the ratio takes unscaled. Empty when no frame shows
// the text. "OL" stands for the overload text "    OL" (split off its leading spaces).
QList<CurrentBytes> CurrentCandidates(QStringView text) {
    if (text == u"OL")
        return {{OverloadRaw, 0x31}};
    if (text == u"err")
        return {{ErrorRaw, 0x31}};
    const bool milli = text.endsWith(u"mA");
    if (!milli && !text.endsWith(u'A'))
        return {};
    const QStringView number = text.chopped(milli ? 2 : 1);
    const auto value = ParseDecimal(number);
    if (!value)
        return {};
    // Whole values show all their decimals ("5.000A"); others drop trailing zeros, so more
    // decimals may stand behind them.
    const bool trailingZero = value->decimals > 0 && number.endsWith(u'0');
    const int most = trailingZero || value->decimals == 0 ? value->decimals : 3;
    QList<CurrentBytes> found;
    QList<CurrentBytes> unscaled;
    qint64 raw = value->units;
    for (int d = value->decimals; d <= most; ++d, raw *= 10) {
        if (raw > 0xFFFF)
            break;
        const auto r = static_cast<std::uint16_t>(raw);
        const auto code = static_cast<std::uint8_t>((milli ? 0x40 : 0x30) | d);
        found.append({r, code});
        if (!milli)
            unscaled.append({r, static_cast<std::uint8_t>(d)});
        else if (d == 0)
            unscaled.append({r, 0x44});
    }
    found += unscaled;
    const QString wanted = text.toString();
    found.removeIf([&](const CurrentBytes& c) {
        return FormatCurrent(static_cast<std::uint8_t>(c.raw >> 8),
                             static_cast<std::uint8_t>(c.raw & 0xFF), c.range) != wanted;
    });
    return found;
}

// The ratio-error byte that prints text; nothing when none does.
std::optional<std::uint8_t> RatioErrorByte(QStringView text) {
    if (text == u"--%")
        return NoRatioError;
    if (!text.endsWith(u'%') || text.size() < 3)
        return std::nullopt;
    const QChar sign = text.front();
    const auto value = ParseDecimal(text.mid(1).chopped(1));
    if (text == u"0.0%")
        return std::uint8_t{0};
    if ((sign != u'+' && sign != u'-') || !value || value->decimals > 1)
        return std::nullopt;
    const qint64 tenths = value->decimals == 1 ? value->units : value->units * 10;
    if (tenths < 1 || tenths > 0x7F)
        return std::nullopt;
    const auto byte = static_cast<std::uint8_t>(tenths | (sign == u'+' ? 0x80 : 0));
    if (FormatRatioError(byte) != text)
        return std::nullopt;
    return byte;
}

std::optional<int> ChannelCode(QStringView text) {
    if (text == u"R")
        return 0;
    if (text == u"S")
        return 1;
    if (text == u"T")
        return 2;
    if (text == u"- -")
        return NoChannel;
    return std::nullopt;
}

MeasurementFrame BuildGroup(int group, const CurrentBytes (&currents)[4], std::uint8_t error,
                            RatedRatio rated, int channel) {
    return FrameBuilder()
        .hv(currents[0].raw, currents[0].range)
        .r(currents[1].raw, currents[1].range)
        .s(currents[2].raw, currents[2].range)
        .t(currents[3].raw, currents[3].range)
        .groupNo(static_cast<std::uint16_t>(group))
        .ratioError(error)
        .rated(rated.primary, rated.secondaryTenths)
        .channelKind(static_cast<std::uint8_t>(channel),
                     static_cast<std::uint8_t>(FrameKind::StoredGroup))
        .build();
}

QString RowOf(const MeasurementFrame& frame, int group) {
    return FormatGroupRow(RecordOf(DeriveReading(frame)), *SlotIndex::make(group));
}

// The frame that prints row (a line that starts "第nnnn组", group its number) with the rated
// ratio given; nothing with the reason when no frame does.
std::optional<MeasurementFrame> RebuildRow(QStringView row, int group, RatedRatio rated,
                                           QString* problem) {
    QList<QStringView> fields = row.mid(6).split(u' ', Qt::SkipEmptyParts);
    // "- -", the channel of a row without one, is the only text with a space inside.
    if (fields.size() == 8 && fields[6] == u"-" && fields[7] == u"-") {
        fields.removeLast();
        fields.last() = row.right(3);
    }
    if (fields.size() != 7) {
        *problem = QCoreApplication::translate(
                       "ListImport", "a row has 7 columns after its group number, this line has %1")
                       .arg(fields.size());
        return std::nullopt;
    }
    static const char* const names[] = {
        QT_TRANSLATE_NOOP("ListImport", "the high-voltage current"),
        QT_TRANSLATE_NOOP("ListImport", "the R current"),
        QT_TRANSLATE_NOOP("ListImport", "the S current"),
        QT_TRANSLATE_NOOP("ListImport", "the T current"),
    };
    QList<CurrentBytes> candidates[4];
    for (int i = 0; i < 4; ++i) {
        candidates[i] = CurrentCandidates(fields[i]);
        if (candidates[i].isEmpty()) {
            *problem = QCoreApplication::translate("ListImport",
                                                   "%1 “%2” is not a reading the instrument shows")
                           .arg(QCoreApplication::translate("ListImport", names[i]), fields[i]);
            return std::nullopt;
        }
    }
    const auto error = RatioErrorByte(fields[4]);
    if (!error) {
        *problem = QCoreApplication::translate(
                       "ListImport", "the ratio error “%1” is not one the instrument shows")
                       .arg(fields[4]);
        return std::nullopt;
    }
    const auto channel = ChannelCode(fields[6]);
    if (!channel) {
        *problem = QCoreApplication::translate("ListImport", "“%1” is no channel (R, S, T or - -)")
                       .arg(fields[6]);
        return std::nullopt;
    }
    if (fields[0] == u"err" && *channel != NoChannel) {
        *problem = QCoreApplication::translate(
            "ListImport", "a group whose high-voltage current reads err has no channel (- -)");
        return std::nullopt;
    }
    const QString secondary = NumberText(rated.secondaryTenths, 1) + u'A';
    const qsizetype slash = fields[5].indexOf(u'/');
    if (slash >= 0 && fields[5].mid(slash + 1) != secondary) {
        *problem =
            QCoreApplication::translate(
                "ListImport", "the ratio “%1” is of another rated secondary than the %2 given")
                .arg(fields[5], secondary);
        return std::nullopt;
    }
    // Only the high-voltage current and the channel's own current go into the ratio; the other
    // currents take their first way.
    CurrentBytes chosen[4] = {candidates[0].front(), candidates[1].front(), candidates[2].front(),
                              candidates[3].front()};
    const int ratioChannel = *channel == NoChannel ? -1 : *channel + 1;
    const QList<CurrentBytes> one = {candidates[1].front()};
    const QList<CurrentBytes>& channelWays = ratioChannel < 0 ? one : candidates[ratioChannel];
    std::optional<MeasurementFrame> first;
    for (const CurrentBytes& hv : candidates[0]) {
        for (const CurrentBytes& ch : channelWays) {
            chosen[0] = hv;
            if (ratioChannel > 0)
                chosen[ratioChannel] = ch;
            const MeasurementFrame frame = BuildGroup(group, chosen, *error, rated, *channel);
            if (RowOf(frame, group) == row)
                return frame;
            if (!first)
                first = frame;
        }
    }
    const QString ratio = DeriveReading(*first).ratioText;
    if (ratio != fields[5])
        *problem = QCoreApplication::translate("ListImport",
                                               "the ratio “%1” is not what the currents give (%2)")
                       .arg(fields[5], ratio);
    else
        *problem = QCoreApplication::translate("ListImport",
                                               "the columns are not where the list puts them");
    return std::nullopt;
}

bool Refuse(ListImportProblem* problem, int line, const QString& reason) {
    if (problem)
        *problem = {line, reason};
    return false;
}

// The same for a function that returns the groups.
std::nullopt_t Refused(ListImportProblem* problem, int line, const QString& reason) {
    Refuse(problem, line, reason);
    return std::nullopt;
}

// Line of a byte offset: 1 + the line ends before it.
int LineAt(const QByteArray& bytes, qsizetype offset) {
    return 1 + static_cast<int>(std::count(bytes.begin(), bytes.begin() + offset, '\n'));
}

// The lines of a text whose every line must end with CR LF: false with the problem when one
// does not.
bool SplitLines(const QString& text, QList<QStringView>* lines, ListImportProblem* problem) {
    const QStringView all(text);
    qsizetype start = 0;
    while (start < all.size()) {
        qsizetype end = start;
        while (end < all.size() && all[end] != u'\r' && all[end] != u'\n')
            ++end;
        const int number = static_cast<int>(lines->size()) + 1;
        if (end == all.size())
            return Refuse(
                problem, number,
                QCoreApplication::translate("ListImport", "the line has no line end (CR LF)"));
        if (all[end] == u'\n')
            return Refuse(problem, number,
                          QCoreApplication::translate("ListImport",
                                                      "the line ends with LF alone, not CR LF"));
        if (end + 1 == all.size() || all[end + 1] != u'\n')
            return Refuse(problem, number,
                          QCoreApplication::translate("ListImport",
                                                      "the line ends with CR alone, not CR LF"));
        lines->append(all.mid(start, end - start));
        start = end + 2;
    }
    return true;
}

} // namespace

std::optional<QList<RatedRange>> ParseRatedRatios(const QString& text, QString* problem) {
    QString reason;
    QList<RatedRange> ranges;
    const QList<QStringView> parts = QStringView(text).split(u',');
    if (text.trimmed().isEmpty())
        reason = QCoreApplication::translate("ListImport", "no rated ratio given");
    for (const QStringView part : parts) {
        if (!reason.isEmpty())
            break;
        const qsizetype colon = part.indexOf(u':');
        if (colon < 0 && parts.size() == 1) {
            if (const auto ratio = ParseRatio(part, &reason))
                ranges.append({1, SlotIndex::Highest, *ratio});
            continue;
        }
        const QStringView span = colon < 0 ? part : part.left(colon).trimmed();
        const qsizetype dash = span.indexOf(u'-');
        const auto first = WholeNumber((dash < 0 ? span : span.left(dash)).trimmed());
        const auto last = dash < 0 ? first : WholeNumber(span.mid(dash + 1).trimmed());
        if (colon < 0 || !first || !last || *first < 1 || *first > *last ||
            *last > SlotIndex::Highest) {
            reason = QCoreApplication::translate(
                         "ListImport",
                         "“%1” is not groups:ratio with groups within 1-%2, such as 1-9:200/5")
                         .arg(part.trimmed())
                         .arg(SlotIndex::Highest);
            break;
        }
        if (const auto ratio = ParseRatio(part.mid(colon + 1), &reason))
            ranges.append({*first, *last, *ratio});
    }
    std::sort(ranges.begin(), ranges.end(),
              [](const RatedRange& a, const RatedRange& b) { return a.first < b.first; });
    for (qsizetype i = 1; reason.isEmpty() && i < ranges.size(); ++i) {
        if (ranges[i].first <= ranges[i - 1].last)
            reason = QCoreApplication::translate("ListImport", "the groups %1-%2 and %3-%4 overlap")
                         .arg(ranges[i - 1].first)
                         .arg(ranges[i - 1].last)
                         .arg(ranges[i].first)
                         .arg(ranges[i].last);
    }
    if (!reason.isEmpty()) {
        if (problem)
            *problem = reason;
        return std::nullopt;
    }
    return ranges;
}

std::optional<RatedRatio> RatedRatioFor(const QList<RatedRange>& ranges, int group) {
    for (const RatedRange& r : ranges) {
        if (group >= r.first && group <= r.last)
            return r.ratio;
    }
    return std::nullopt;
}

std::optional<QList<ListGroup>>
ReadSavedList(const QByteArray& bytes, const QList<RatedRange>& rated, ListImportProblem* problem) {
    if (bytes.isEmpty())
        return Refused(problem, 1, QCoreApplication::translate("ListImport", "the file is empty"));
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return Refused(problem, 1,
                       QCoreApplication::translate(
                           "ListImport",
                           "the file is UTF-8 (it starts with a byte-order mark); a saved list is "
                           "GBK"));
    // GBK that decodes and encodes back to the same bytes: anything else is another encoding or
    // damaged.
    const QString text = DecodeGbk(bytes);
    const QByteArray again = EncodeGbk(text);
    if (again != bytes) {
        const auto at = std::mismatch(bytes.begin(), bytes.end(), again.begin(), again.end());
        return Refused(problem, LineAt(bytes, at.first - bytes.begin()),
                       QCoreApplication::translate("ListImport", "the line is not GBK text"));
    }
    QList<QStringView> lines;
    if (!SplitLines(text, &lines, problem))
        return std::nullopt;
    const QString heading = HistoryHeading();
    const QStringView columns = QStringView(heading).mid(heading.indexOf(u'\n') + 1).chopped(2);
    if (lines.size() < 2 || lines[1] != columns)
        return Refused(
            problem, 2,
            QCoreApplication::translate("ListImport", "the line is not the list's column heading"));

    QList<ListGroup> groups;
    groups.reserve(lines.size() - 2);
    int previous = 0;
    qsizetype firstEmpty = -1;
    for (qsizetype i = 2; i < lines.size(); ++i) {
        const QStringView row = lines[i];
        const int line = static_cast<int>(i) + 1;
        if (row.isEmpty()) {
            if (firstEmpty < 0)
                firstEmpty = line;
            continue;
        }
        if (firstEmpty >= 0)
            return Refused(
                problem, static_cast<int>(firstEmpty),
                QCoreApplication::translate("ListImport", "an empty line among the rows"));
        if (row.size() < 6 || row[0] != u'第' || row[5] != u'组' || !AllDigits(row.mid(1, 4)))
            return Refused(problem, line,
                           QCoreApplication::translate(
                               "ListImport", "the line is not a row of groups (第nnnn组 …)"));
        const int group = row.mid(1, 4).toInt();
        QString reason;
        if (group < 1 || group > SlotIndex::Highest)
            reason = QCoreApplication::translate("ListImport", "group %1 is outside 1-%2")
                         .arg(group)
                         .arg(SlotIndex::Highest);
        else if (group == previous)
            reason = QCoreApplication::translate("ListImport", "group %1 comes twice").arg(group);
        else if (group < previous)
            reason = QCoreApplication::translate(
                         "ListImport",
                         "group %1 comes after group %2: the rows are not in ascending order")
                         .arg(group)
                         .arg(previous);
        const auto ratio = RatedRatioFor(rated, group);
        if (reason.isEmpty() && !ratio)
            reason =
                QCoreApplication::translate("ListImport", "no rated ratio was given for group %1")
                    .arg(group);
        std::optional<MeasurementFrame> frame;
        if (reason.isEmpty())
            frame = RebuildRow(row, group, *ratio, &reason);
        if (!frame)
            return Refused(problem, line, reason);
        groups.append({group, *frame});
        previous = group;
    }
    if (groups.isEmpty())
        return Refused(problem, 3,
                       QCoreApplication::translate("ListImport", "the list holds no groups"));
    return groups;
}

std::optional<QList<ListGroup>> ReadSavedList(const QByteArray& bytes, const QString& rated,
                                              ListImportProblem* problem) {
    QString reason;
    const auto ranges = ParseRatedRatios(rated, &reason);
    if (!ranges)
        return Refused(problem, 0, reason);
    return ReadSavedList(bytes, *ranges, problem);
}

bool ReadImportFile(const QString& path, QByteArray* bytes, FileError* failure) {
    const QFileInfo info(path);
    FileError e;
    QFile file(path);
    if (!info.exists())
        e.reason = FileError::Reason::NoSuchPath;
    else if (info.isDir())
        e.reason = FileError::Reason::IsFolder;
    else if (!info.isFile()) // a FIFO would block, a device might never end
        e.reason = FileError::Reason::NotAFile;
    else if (info.size() > MaxDataFileBytes)
        e.reason = FileError::Reason::OverOpenLimit;
    else if (!file.open(QIODevice::ReadOnly))
        e = FileError::FromSystemText(file.errorString());
    if (e.reason == FileError::Reason::None) {
        *bytes = file.read(MaxDataFileBytes + 1);
        if (file.error() != QFileDevice::NoError)
            e = FileError::FromSystemText(file.errorString());
        else if (bytes->size() > MaxDataFileBytes)
            e.reason = FileError::Reason::OverOpenLimit;
    }
    if (e.reason == FileError::Reason::None)
        return true;
    if (failure)
        *failure = e;
    return false;
}

QString ImportedOrigin(const QString& file) {
    return QStringLiteral("imported from ") + file;
}

QString ImportedListFile(const QString& originPc) {
    static const QString marker = QStringLiteral("imported from ");
    return originPc.startsWith(marker) ? originPc.mid(marker.size()) : QString();
}

} // namespace velantis
