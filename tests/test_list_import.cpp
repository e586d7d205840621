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
    return FrameBuilder()
        .hv(hv, 0x31)
        .r(5000, 0x33)
        .s(12, 0x41)
        .t(0, 0x31)
        .groupNo(static_cast<std::uint16_t>(n))
        .ratioError(0x85)
        .rated(100, 50)
        .channelKind(0, 1)
        .build();
}

// Groups 1, 2 and 3 of 100/5A as Save writes them, as text.
QString BaseText() {
    return DecodeGbk(SaveBytes(QList<MeasurementFrame>{Group(1), Group(2, 2000), Group(3)}));
}

} // namespace

// A simulated download of one rating (flags and all) comes back as the same Save bytes, and every
// group's setting is the rating given.
TEST(ListImport, SimulatedDownloadRoundTripsToSaveBytes) {
    const QByteArray saved = SaveBytes(SimulatedGroups(3500, 400, 50, 11));
    ListImportProblem problem;
    const auto groups = ReadSavedList(saved, QStringLiteral("400/5"), &problem);
    ASSERT_TRUE(groups) << problem.line << ": " << problem.reason.toStdString();
    ASSERT_EQ(groups->size(), 3500);
    EXPECT_EQ(SaveBytes(*groups), saved);
    for (const ListGroup& g : *groups) {
        EXPECT_EQ(g.frame.ratedPrimary(), 400);
        EXPECT_EQ(g.frame.hvLowFlag() + g.frame.lvLowFlag(), 0);
        EXPECT_EQ(g.frame.kind(), static_cast<int>(FrameKind::StoredGroup));
    }
}

// Frames of arbitrary bytes (any range code, overloads, errors, every F.Er byte and channel
// code) print rows that are rebuilt into frames printing the same rows.
TEST(ListImport, RowsOfArbitraryFramesAreRebuilt) {
    for (const quint32 seed : {1u, 2u, 3u, 4u}) {
        QRandomGenerator random(seed);
        const auto primary = static_cast<std::uint16_t>(random.bounded(1, 16384));
        const auto tenths = static_cast<std::uint8_t>(random.bounded(1, 256));
        QList<MeasurementFrame> frames;
        for (int n = 1; n <= 3500; n += random.bounded(1, 4)) {
            FrameBuilder b;
            for (int i = 0; i < MeasurementFrame::Size - 1; ++i)
                b.raw(i, static_cast<std::uint8_t>(random.bounded(256)));
            const int marker = random.bounded(10);
            if (marker < 4) // values of the instrument's range below its overload
                b.hv(static_cast<std::uint16_t>(random.bounded(10000)), b.build().hvRange());
            else if (marker == 4)
                b.hv(10000, 0x31);
            else if (marker == 5)
                b.hv(20000, 0x31);
            b.r(static_cast<std::uint16_t>(random.bounded(marker < 8 ? 10000 : 65536)),
                b.build().rRange());
            b.groupNo(static_cast<std::uint16_t>(n));
            frames << WithRating(b.build(), primary, tenths);
        }
        const QByteArray saved = SaveBytes(frames);
        const QString rated = QStringLiteral("%1/%2").arg(primary).arg(NumberText(tenths, 1));
        ListImportProblem problem;
        const auto groups = ReadSavedList(saved, rated, &problem);
        ASSERT_TRUE(groups) << "seed " << seed << " line " << problem.line << ": "
                            << problem.reason.toStdString();
        EXPECT_EQ(SaveBytes(*groups), saved) << "seed " << seed;
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
    QList<int> numbers;
    QStringList settings;
    for (const ListGroup& g : *groups) {
        numbers << g.group;
        settings << DeriveReading(g.frame).settingText;
    }
    EXPECT_EQ(numbers, (QList<int>{2, 9, 10, 15}));
    EXPECT_EQ(settings,
              (QStringList{QStringLiteral("设定:200/5A"), QStringLiteral("设定:200/5A"),
                           QStringLiteral("设定:150/1A"), QStringLiteral("设定:150/1A")}));
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

// Whatever is wrong with a list, the whole file is refused at the line at fault, with the reason.
TEST(ListImport, MalformedListsAreRefusedAtTheirLine) {
    const QString base = BaseText();
    const auto gbk = [](const QString& text) { return EncodeGbk(text); };
    const auto edited = [&](const QString& from, const QString& to) {
        QString t = base;
        EXPECT_TRUE(t.contains(from)) << from.toStdString();
        return gbk(t.replace(from, to));
    };
    const QString row1 = base.section(QStringLiteral("\r\n"), 2, 2);
    const QString row2 = base.section(QStringLiteral("\r\n"), 3, 3);
    const QString heading = HistoryHeading();
    const struct {
        const char* name;
        QByteArray bytes;
        const char* rated;
        int line;
        const char* reason;
    } cases[] = {
        {"empty file", {}, "100/5", 1, "empty"},
        {"UTF-8 with mark", "\xEF\xBB\xBF" + base.toUtf8(), "100/5", 1, "UTF-8"},
        {"UTF-8 without mark", base.toUtf8(), "100/5", 3, "not GBK"},
        {"broken GBK",
         gbk(base).replace(gbk(QStringLiteral("第0002组")), QByteArray("\xB5\xDA"
                                                                       "0002\x81")),
         "100/5", 4, "not GBK"},
        {"LF line ends", gbk(QString(base).replace(QStringLiteral("\r\n"), QStringLiteral("\n"))),
         "100/5", 1, "LF alone"},
        {"CR alone", edited(row1 + QStringLiteral("\r\n"), row1 + QStringLiteral("\r")), "100/5", 3,
         "CR alone"},
        {"no line end", gbk(base.chopped(4)), "100/5", 5, "no line end"},
        {"other heading", edited(QStringLiteral("F.Er"), QStringLiteral("F.Ex")), "100/5", 2,
         "column heading"},
        {"heading only", gbk(heading + QStringLiteral("\r\n")), "100/5", 3, "no groups"},
        {"not a row", edited(QStringLiteral("第0002组"), QStringLiteral("组0002第")), "100/5", 4,
         "not a row"},
        {"empty line among rows", edited(row2, QStringLiteral("\r\n") + row2), "100/5", 4,
         "empty line"},
        {"duplicate group", edited(QStringLiteral("第0003组"), QStringLiteral("第0002组")), "100/5",
         5, "twice"},
        {"descending groups", edited(QStringLiteral("第0003组"), QStringLiteral("第0001组")),
         "100/5", 5, "ascending"},
        {"group 0", edited(QStringLiteral("第0001组"), QStringLiteral("第0000组")), "100/5", 3,
         "outside"},
        {"ratio no frame gives", edited(QStringLiteral("200/5A"), QStringLiteral("201/5A")),
         "100/5", 4, "not what the currents give"},
        {"F.Er no byte gives", edited(QStringLiteral("+0.5%"), QStringLiteral("+0.50%")), "100/5",
         3, "ratio error"},
        {"F.Er of the no-value code", edited(QStringLiteral("+0.5%"), QStringLiteral("-11.0%")),
         "100/5", 3, "ratio error"},
        {"current of four decimals", edited(QStringLiteral("5.000A"), QStringLiteral("5.0000A")),
         "100/5", 3, "R current"},
        {"unknown channel", edited(row1, row1.chopped(1) + u'X'), "100/5", 3, "no channel"},
        {"err without - -", edited(QStringLiteral("    100.0A"), QStringLiteral("       err")),
         "100/5", 3, "err has no channel"},
        {"spacing off", edited(row1, row1.left(6) + row1.mid(7) + u' '), "100/5", 3, "columns"},
        {"another rated secondary", gbk(base), "100/1", 3, "another rated secondary"},
        {"group without a range", gbk(base), "1-2:100/5", 5, "no rated ratio"},
        {"primary too large", gbk(base), "20000/5", 0, "rated primary"},
        {"secondary finer than 0.1 A", gbk(base), "100/0.05", 0, "rated secondary"},
        {"no ratio", gbk(base), "", 0, "no rated ratio"},
        {"not a ratio", gbk(base), "100:5", 0, "not"},
        {"overlapping ranges", gbk(base), "1-9:100/5,5-12:100/5", 0, "overlap"},
        {"range without groups", gbk(base), "100/5,10-15:150/1", 0, "groups:ratio"},
    };
    for (const auto& c : cases) {
        ListImportProblem problem;
        const auto groups = ReadSavedList(c.bytes, QString::fromUtf8(c.rated), &problem);
        EXPECT_FALSE(groups) << c.name;
        EXPECT_EQ(problem.line, c.line) << c.name << ": " << problem.reason.toStdString();
        EXPECT_TRUE(problem.reason.contains(QLatin1String(c.reason)))
            << c.name << ": " << problem.reason.toStdString();
    }
}

// Only what Save writes after the rows is taken: one empty line, or none.
TEST(ListImport, EmptyLinesAfterTheRowsAreTaken) {
    const QString base = BaseText();
    for (const QString& text : {base, base.chopped(2), base + QStringLiteral("\r\n")}) {
        ListImportProblem problem;
        const auto groups = ReadSavedList(EncodeGbk(text), QStringLiteral("100/5"), &problem);
        ASSERT_TRUE(groups) << problem.reason.toStdString();
        EXPECT_EQ(groups->size(), 3);
    }
}
