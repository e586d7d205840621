// SPDX-License-Identifier: GPL-3.0-or-later
// A saved list read back into groups: every row rebuilt into a frame that prints it again, Save's
// bytes given back byte for byte, and every kind of damaged list refused at its line.
#include "formats/formats.h"
#include "records/history.h"
#include "records/list_import.h"
#include "records/text_codec.h"
#include "support/saved_lists.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

using namespace velantis;

namespace {

using velantis::testing::SaveBytes;
using velantis::testing::SimulatedGroups;
using velantis::testing::WithRating;

QByteArray SaveBytes(const QList<ListGroup>& groups) {
    QList<MeasurementFrame> frames;
    for (const ListGroup& g : groups)
        frames << g.frame;
    return velantis::testing::SaveBytes(frames);
}

MeasurementFrame Group(int n, std::uint16_t hv = 1000) {
    FrameBuilder b;
    b.hv(hv, 0x31).r(5000, 0x33).s(12, 0x41).t(0, 0x31).ratioError(0x85).channelKind(0, 1);
    return b.groupNo(static_cast<std::uint16_t>(n)).rated(100, 50).build();
}

// Frames of arbitrary bytes at scattered group numbers up to 3500, all of one rating.
QList<MeasurementFrame> RandomFrames(QRandomGenerator& random, std::uint16_t primary,
                                     std::uint8_t tenths) {
    QList<MeasurementFrame> frames;
    for (int n = 1; n <= 3500; n += random.bounded(1, 4)) {
        FrameBuilder b;
        for (int i = 0; i < MeasurementFrame::Size - 1; ++i)
            b.raw(i, static_cast<std::uint8_t>(random.bounded(256)));
        const int marker = random.bounded(10);
        if (marker < 4) // values of the instrument's range below its overload
            b.hv(static_cast<std::uint16_t>(random.bounded(10000)), b.build().hvRange());
        else if (marker == 4 || marker == 5)
            b.hv(marker == 4 ? 10000 : 20000, 0x31);
        b.r(static_cast<std::uint16_t>(random.bounded(marker < 8 ? 10000 : 65536)),
            b.build().rRange());
        frames << WithRating(b.groupNo(static_cast<std::uint16_t>(n)).build(), primary, tenths);
    }
    return frames;
}

// Groups 1, 2 and 3 of 100/5A as Save writes them, as text.
QString BaseText() {
    return DecodeGbk(SaveBytes(QList<MeasurementFrame>{Group(1), Group(2, 2000), Group(3)}));
}

} // namespace

// Frames of one rating come back as the same Save bytes, every group rated as given: a simulated
// download (flags and all, rebuilt without low flags), and frames of arbitrary bytes (any range
// code, overloads, errors, every F.Er byte and channel code).
TEST(ListImport, SavedListsRoundTripToSaveBytes) {
    for (const quint32 seed : {0u, 1u, 2u, 3u, 4u}) {
        QRandomGenerator random(seed);
        const auto primary = static_cast<std::uint16_t>(seed ? random.bounded(1, 16384) : 400);
        const auto tenths = static_cast<std::uint8_t>(seed ? random.bounded(1, 256) : 50);
        const QList<MeasurementFrame> frames =
            seed ? RandomFrames(random, primary, tenths) : SimulatedGroups(3500, 400, 50, 11);
        const QByteArray saved = SaveBytes(frames);
        const QString rated = QStringLiteral("%1/%2").arg(primary).arg(NumberText(tenths, 1));
        ListImportProblem problem;
        const auto groups = ReadSavedList(saved, rated, &problem);
        ASSERT_TRUE(groups) << "seed " << seed << " line " << problem.line << ": "
                            << problem.reason.toStdString();
        EXPECT_EQ(SaveBytes(*groups), saved) << "seed " << seed;
        for (const ListGroup& g : *groups) {
            EXPECT_EQ(g.frame.ratedPrimary(), primary);
            EXPECT_EQ(g.frame.kind(), static_cast<int>(FrameKind::StoredGroup));
            EXPECT_EQ(seed ? 0 : g.frame.hvLowFlag() + g.frame.lvLowFlag(), 0);
        }
    }
}

// Per-range ratings give each group its own setting; gaps between group numbers stay gaps.
TEST(ListImport, RangesRateTheirGroupsAndGapsStay) {
    const QByteArray saved = SaveBytes(
        QList<MeasurementFrame>{WithRating(Group(2), 200, 50), WithRating(Group(9), 200, 50),
                                WithRating(Group(10), 150, 10), WithRating(Group(15), 150, 10)});
    ListImportProblem problem;
    // Group 10-15's rows say /1A: their currents print other ratios, so only the ranges fit.
    const auto groups = ReadSavedList(saved, QStringLiteral("1-9:200/5, 10-15:150/1A"), &problem);
    ASSERT_TRUE(groups) << problem.line << ": " << problem.reason.toStdString();
    QStringList settings;
    for (const ListGroup& g : *groups)
        settings << QString::number(g.group) + DeriveReading(g.frame).settingText;
    EXPECT_EQ(settings,
              (QStringList{"2设定:200/5A", "9设定:200/5A", "10设定:150/1A", "15设定:150/1A"}));
    EXPECT_EQ(SaveBytes(*groups), saved);
}

TEST(ListImport, RatedRatioTextsGiveTheirRanges) {
    const struct {
        const char* text;
        QList<RatedRange> ranges;
    } cases[] = {
        {"200/5", {{1, 4000, {200, 50}}}},
        {" 200 / 5A ", {{1, 4000, {200, 50}}}},
        {"16383/25.5", {{1, 4000, {16383, 255}}}},
        {"100/0.1", {{1, 4000, {100, 1}}}},
        {"10-15:150/1,1-9:200/5", {{1, 9, {200, 50}}, {10, 15, {150, 10}}}},
        {"7:300/1", {{7, 7, {300, 10}}}},
    };
    for (const auto& c : cases) {
        QString problem;
        const auto ranges = ParseRatedRatios(QString::fromUtf8(c.text), &problem);
        ASSERT_TRUE(ranges) << c.text << ": " << problem.toStdString();
        EXPECT_EQ(*ranges, c.ranges) << c.text;
    }
}

// Whatever is wrong with a list, the whole file is refused at the line at fault, with the reason;
// only what Save writes after the rows is taken (one empty line, or none).
TEST(ListImport, MalformedListsAreRefusedAtTheirLine) {
    const QString base = BaseText();
    const auto gbk = [](const QString& text) { return EncodeGbk(text); };
    const auto edited = [&](const QString& from, const QString& to) {
        QString t = base;
        EXPECT_TRUE(t.contains(from)) << from.toStdString();
        return gbk(t.replace(from, to));
    };
    const QString row1 = base.section("\r\n", 2, 2);
    const QString row2 = base.section("\r\n", 3, 3);
    const struct {
        const char* name;
        QByteArray bytes;
        int line;
        const char* reason; // nullptr: taken, its three groups
        const char* rated = "100/5";
    } cases[] = {
        {"as saved", gbk(base), 0, nullptr},
        {"no empty line after the rows", gbk(base.chopped(2)), 0, nullptr},
        {"another empty line after the rows", gbk(base + "\r\n"), 0, nullptr},
        {"empty file", {}, 1, "empty"},
        {"UTF-8 with mark", "\xEF\xBB\xBF" + base.toUtf8(), 1, "UTF-8"},
        {"UTF-8 without mark", base.toUtf8(), 3, "not GBK"},
        {"broken GBK", gbk(base).replace(gbk("0002组"), "0002\x81"), 4, "not GBK"},
        {"LF line ends", gbk(QString(base).replace("\r\n", "\n")), 1, "LF alone"},
        {"CR alone", edited(row1 + "\r\n", row1 + "\r"), 3, "CR alone"},
        {"no line end", gbk(base.chopped(4)), 5, "no line end"},
        {"other heading", edited("F.Er", "F.Ex"), 2, "column heading"},
        {"heading only", gbk(HistoryHeading() + "\r\n"), 3, "no groups"},
        {"not a row", edited("第0002组", "组0002第"), 4, "not a row"},
        {"empty line among rows", edited(row2, "\r\n" + row2), 4, "empty line"},
        {"duplicate group", edited("第0003组", "第0002组"), 5, "twice"},
        {"descending groups", edited("第0003组", "第0001组"), 5, "ascending"},
        {"group 0", edited("第0001组", "第0000组"), 3, "outside"},
        {"ratio no frame gives", edited("200/5A", "201/5A"), 4, "not what the currents give"},
        {"F.Er no byte gives", edited("+0.5%", "+0.50%"), 3, "ratio error"},
        {"F.Er of the no-value code", edited("+0.5%", "-11.0%"), 3, "ratio error"},
        {"current of four decimals", edited("5.000A", "5.0000A"), 3, "R current"},
        {"unknown channel", edited(row1, row1.chopped(1) + u'X'), 3, "no channel"},
        {"err without - -", edited("    100.0A", "       err"), 3, "err has no channel"},
        {"spacing off", edited(row1, row1.left(6) + row1.mid(7) + u' '), 3, "columns"},
        {"another rated secondary", gbk(base), 3, "another rated secondary", "100/1"},
        {"group without a range", gbk(base), 5, "no rated ratio", "1-2:100/5"},
        {"primary too large", gbk(base), 0, "rated primary", "20000/5"},
        {"secondary finer than 0.1 A", gbk(base), 0, "rated secondary", "100/0.05"},
        {"no ratio", gbk(base), 0, "no rated ratio", ""},
        {"not a ratio", gbk(base), 0, "not", "100:5"},
        {"overlapping ranges", gbk(base), 0, "overlap", "1-9:100/5,5-12:100/5"},
        {"range without groups", gbk(base), 0, "groups:ratio", "100/5,10-15:150/1"},
    };
    for (const auto& c : cases) {
        ListImportProblem problem;
        const auto groups = ReadSavedList(c.bytes, QString::fromUtf8(c.rated), &problem);
        EXPECT_EQ(groups ? int(groups->size()) : -1, c.reason ? -1 : 3) << c.name;
        EXPECT_EQ(problem.line, c.line) << c.name << ": " << problem.reason.toStdString();
        EXPECT_TRUE(problem.reason.contains(QLatin1String(c.reason)))
            << c.name << ": " << problem.reason.toStdString();
    }
}
