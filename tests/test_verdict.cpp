// SPDX-License-Identifier: GPL-3.0-or-later
// The verdict of a group against an accuracy class: each class row's points, a value just
// inside and just outside, the middle of segments, and every reason for no verdict.
#include "records/verdict.h"

#include <gtest/gtest.h>

using namespace velantis;

namespace {

GroupRecord Slot(const char* hv, const char* error, const char* channelCurrent = "4.000A",
                 int channel = 0, int hvLow = 0) {
    GroupRecord g;
    g.recHvCurrent = QString::fromUtf8(hv);
    g.recRCurrent = channel == 0 ? QString::fromUtf8(channelCurrent) : QStringLiteral("0.0A");
    g.recSCurrent = channel == 1 ? QString::fromUtf8(channelCurrent) : QStringLiteral("0.0A");
    g.recTCurrent = channel == 2 ? QString::fromUtf8(channelCurrent) : QStringLiteral("0.0A");
    g.recRatioError = QString::fromUtf8(error);
    g.recChannel = static_cast<std::int16_t>(channel);
    g.recHvLow = static_cast<std::int16_t>(hvLow);
    return g;
}

TEST(Verdict, PointsSegmentsBoundariesAndReasons) {
    using O = GroupVerdict::Outcome;
    const struct {
        const char* cls;
        GroupRecord slot;
        int rated;
        O outcome;
        const char* load; // "" for none
        const char* limitOrReason;
    } cases[] = {
        // At the points (rated 100 A: the load is the current in A), on and past the limit.
        {"0.5", Slot("100.0A", "-0.5%"), 100, O::Pass, "100.0", "0.50"},
        {"0.5", Slot("100.0A", "+0.6%"), 100, O::Fail, "100.0", "0.50"},
        {"0.5", Slot("5.000A", "+1.5%"), 100, O::Pass, "5.0", "1.50"},
        {"0.5", Slot("5.000A", "-1.6%"), 100, O::Fail, "5.0", "1.50"},
        {"0.5", Slot("120.0A", "+0.5%"), 100, O::Pass, "120.0", "0.50"},
        {"0.1", Slot("20.0A", "+0.2%"), 100, O::Pass, "20.0", "0.20"},
        {"0.1", Slot("20.0A", "+0.3%"), 100, O::Fail, "20.0", "0.20"},
        {"0.2", Slot("5.000A", "-0.7%"), 100, O::Pass, "5.0", "0.75"},
        {"0.2", Slot("5.000A", "-0.8%"), 100, O::Fail, "5.0", "0.75"},
        {"1", Slot("100.0A", "-1.0%"), 100, O::Pass, "100.0", "1.00"},
        {"1", Slot("100.0A", "-1.1%"), 100, O::Fail, "100.0", "1.00"},
        {"0.2S", Slot("1.000A", "+0.7%"), 100, O::Pass, "1.0", "0.75"},
        {"0.5s", Slot("1.000A", "+1.6%"), 100, O::Fail, "1.0", "1.50"},
        {"3", Slot("50.0A", "-3.0%"), 100, O::Pass, "50.0", "3.00"},
        {"5", Slot("120.0A", "+5.1%"), 100, O::Fail, "120.0", "5.00"},
        // Middles of segments: 12.5 % of 0.5 is 1.125 (shown cut to 1.12), 60 % is 0.625.
        {"0.5", Slot("12.5A", "+1.1%"), 100, O::Pass, "12.5", "1.12"},
        {"0.5", Slot("12.5A", "+1.2%"), 100, O::Fail, "12.5", "1.12"},
        {"0.5", Slot("60.0A", "-0.6%"), 100, O::Pass, "60.0", "0.62"},
        {"0.5", Slot("60.0A", "-0.7%"), 100, O::Fail, "60.0", "0.62"},
        // An interpolated limit met exactly: 0.2S at 2.5 % is 0.6 (binary floating point says
        // 0.6000000000000001 or 0.5999999999999999 along the way).
        {"0.2S", Slot("2.5A", "+0.6%"), 100, O::Pass, "2.5", "0.60"},
        {"0.2S", Slot("2.5A", "+0.7%"), 100, O::Fail, "2.5", "0.60"},
        // mA readings, another rated primary, rounding of the load half up.
        {"0.5", Slot("500.0mA", "+1.5%"), 10, O::Pass, "5.0", "1.50"},
        {"0.5", Slot("49.0A", "+0.7%"), 400, O::Pass, "12.3", "1.13"},
        {"0.5", Slot("48.96A", "+0.7%"), 400, O::Pass, "12.2", "1.13"},
        // No verdict, and why; the load is still given where it can be computed.
        {"不判定", Slot("100.0A", "-0.5%"), 100, O::None, "100.0", "未选准确级"},
        {"0.5", Slot("4.9A", "-0.5%"), 100, O::None, "4.9", "负荷低于 5 %"},
        {"0.2S", Slot("0.9A", "-0.5%"), 100, O::None, "0.9", "负荷低于 1 %"},
        {"3", Slot("49.9A", "-0.5%"), 100, O::None, "49.9", "负荷低于 50 %"},
        {"0.5", Slot("120.1A", "-0.5%"), 100, O::None, "120.1", "负荷高于 120 %"},
        {"0.5", Slot("100.0A", "--%"), 100, O::None, "100.0", "F.Er 无数值"},
        {"0.5", Slot("OL", "-0.5%"), 100, O::None, "", "高压电流无数值"},
        {"0.5", Slot("err", "-0.5%"), 100, O::None, "", "高压电流无数值"},
        {"0.5", Slot("100.0A", "-0.5%", "OL", 1), 100, O::None, "100.0", "通道电流无数值"},
        {"0.5", Slot("100.0A", "-0.5%", "err", 2), 100, O::None, "100.0", "通道电流无数值"},
        {"0.5", Slot("100.0A", "-0.5%"), 0, O::None, "", "额定一次为 0"},
        {"0.5", Slot("100.0A", "-0.5%", "4.000A", 3), 100, O::None, "100.0", "无通道"},
    };
    for (const auto& c : cases) {
        const auto cls = ParseClass(QString::fromUtf8(c.cls));
        ASSERT_TRUE(cls) << c.cls;
        const GroupVerdict v = Judge(c.slot, c.rated, *cls);
        const std::string what = std::string(c.cls) + " " + c.slot.recHvCurrent.toStdString() +
                                 " " + c.slot.recRatioError.toStdString();
        EXPECT_EQ(v.outcome, c.outcome) << what;
        EXPECT_EQ(v.load.value_or(QString()), QString::fromUtf8(c.load)) << what;
        if (c.outcome == O::None) {
            EXPECT_EQ(v.reason, QString::fromUtf8(c.limitOrReason)) << what;
            EXPECT_FALSE(v.limit) << what;
        } else {
            EXPECT_EQ(v.limit.value_or(QString()), QString::fromUtf8(c.limitOrReason)) << what;
        }
    }
    // A voltage-low flag marks the row but does not stop the verdict.
    const GroupVerdict low =
        Judge(Slot("100.0A", "+0.4%", "4.000A", 0, 1), 100, AccuracyClass::C0_5);
    EXPECT_EQ(low.outcome, O::Pass);
    EXPECT_TRUE(low.voltageLow);
    EXPECT_FALSE(ParseClass(QStringLiteral("0.3")));
    EXPECT_EQ(LimitRowText(AccuracyClass::C0_2S),
              QStringLiteral("1 %: ±0.75  5 %: ±0.35  20 %: ±0.2  100 %: ±0.2  120 %: ±0.2"));
}

// A load outside a class's range never reads as inside it: rounded away from the range (down
// below the first point, up above 120 %), whatever else stops the verdict; inside the range, and
// without a class, half up. Rated 2000 A: 99.99 A is 4.9995 %.
TEST(Verdict, LoadOutsideTheRangeIsRoundedAwayFromIt) {
    using O = GroupVerdict::Outcome;
    const struct {
        const char* cls;
        const char* hv;
        const char* error;
        O outcome;
        const char* load;
    } cases[] = {
        {"0.1", "99.99A", "+0.1%", O::None, "4.9"},
        {"0.1", "100.0A", "+0.1%", O::Pass, "5.0"},
        {"0.2", "99.99A", "+0.1%", O::None, "4.9"},
        {"0.5", "100.9A", "+0.1%", O::Pass, "5.0"},
        {"1", "99.99A", "+0.1%", O::None, "4.9"},
        {"0.2S", "19.99A", "+0.1%", O::None, "0.9"},
        {"0.2S", "20.00A", "+0.1%", O::Pass, "1.0"},
        {"0.5S", "19.99A", "+0.1%", O::None, "0.9"},
        {"3", "999.9A", "+0.1%", O::None, "49.9"},
        {"3", "1000.0A", "+0.1%", O::Pass, "50.0"},
        {"5", "999.9A", "+0.1%", O::None, "49.9"},
        {"0.1", "2400.1A", "+0.1%", O::None, "120.1"},
        {"0.5", "2400.4A", "+0.1%", O::None, "120.1"},
        {"0.5S", "2400.1A", "+0.1%", O::None, "120.1"},
        {"3", "2400.1A", "+0.1%", O::None, "120.1"},
        {"5", "2400.0A", "+0.1%", O::Pass, "120.0"},
        {"0.5", "2399.1A", "+0.1%", O::Pass, "120.0"},
        {"0.5", "99.99A", "--%", O::None, "4.9"},
        {"0.5", "2400.1A", "--%", O::None, "120.1"},
        {"不判定", "99.99A", "+0.1%", O::None, "5.0"},
        {"不判定", "2400.1A", "+0.1%", O::None, "120.0"},
    };
    for (const auto& c : cases) {
        const GroupVerdict v =
            Judge(Slot(c.hv, c.error), 2000, *ParseClass(QString::fromUtf8(c.cls)));
        EXPECT_EQ(v.outcome, c.outcome) << c.cls << " " << c.hv;
        EXPECT_EQ(v.load.value_or(QString()), QString::fromUtf8(c.load)) << c.cls << " " << c.hv;
    }
}

// Under a guard band w a group passes up to the acceptance limit, the limit less w at its load,
// in the same exact arithmetic: |e| = AL passes, AL + 0.01 fails, also where the limit is
// interpolated. A guard band fits a class when 0 < w < its smallest limit; one that does not
// gives no verdict.
TEST(Verdict, GuardBandAcceptsUpToTheLimitLessW) {
    using O = GroupVerdict::Outcome;
    const struct {
        const char* cls;
        int guard;
        const char* hv;
        const char* error;
        O outcome;
        const char* acceptanceOrReason; // "" for none
    } cases[] = {
        {"0.5", 5, "100.0A", "+0.45%", O::Pass, "0.45"},
        {"0.5", 5, "100.0A", "-0.46%", O::Fail, "0.45"},
        {"0.5", 10, "100.0A", "-0.5%", O::Fail, "0.40"}, // passes without the guard band
        {"0.5", 5, "60.0A", "+0.575%", O::Pass, "0.57"}, // 0.625 - 0.05, shown cut
        {"0.5", 5, "60.0A", "+0.585%", O::Fail, "0.57"},
        {"0.2S", 15, "2.5A", "+0.45%", O::Pass, "0.45"}, // 0.6 - 0.15
        {"0.2S", 15, "2.5A", "+0.46%", O::Fail, "0.45"},
        {"0.5", 0, "100.0A", "+0.5%", O::Pass, ""}, // simple acceptance: no acceptance limit
        {"0.5", 50, "100.0A", "+0.0%", O::None, "保护带超出范围"},
        {"0.1", 10, "100.0A", "+0.0%", O::None, "保护带超出范围"},
        {"0.5", -5, "100.0A", "+0.0%", O::None, "保护带超出范围"},
    };
    for (const auto& c : cases) {
        const GroupVerdict v =
            Judge(Slot(c.hv, c.error), 100, *ParseClass(QString::fromUtf8(c.cls)), c.guard);
        const QString got = c.outcome == O::None ? v.reason : v.acceptance.value_or(QString());
        EXPECT_EQ(v.outcome, c.outcome) << c.cls << " w=" << c.guard << " " << c.error;
        EXPECT_EQ(got, QString::fromUtf8(c.acceptanceOrReason)) << c.cls << " " << c.error;
    }
    EXPECT_TRUE(GuardBandFits(AccuracyClass::C0_2S, 19) && GuardBandFits(AccuracyClass::None, 0));
    EXPECT_FALSE(GuardBandFits(AccuracyClass::C0_2S, 20) || GuardBandFits(AccuracyClass::None, 5));
}

} // namespace
