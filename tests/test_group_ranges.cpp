// SPDX-License-Identifier: GPL-3.0-or-later
// The proposal of ranges from the settings of a download's groups, and cutting and merging them.
#include "records/group_ranges.h"

#include <gtest/gtest.h>

#include <string_view>

using namespace velantis;

namespace {

// "1:200/5A 2:200/5A 5:150/1A" -> the groups.
QList<GroupSetting> Groups(const char* text) {
    QList<GroupSetting> groups;
    for (const QString& item : QString::fromLatin1(text).split(u' ', Qt::SkipEmptyParts))
        groups.append({item.section(u':', 0, 0).toInt(), item.section(u':', 1)});
    return groups;
}

// The ranges as "first-last/count/setting", joined by spaces.
QString Text(const QList<GroupRange>& ranges) {
    QStringList out;
    for (const GroupRange& r : ranges)
        out << QStringLiteral("%1-%2/%3/%4").arg(r.first).arg(r.last).arg(r.count).arg(r.setting);
    return out.join(QLatin1Char(' '));
}

TEST(GroupRanges, ProposalJoinsConsecutiveGroupsOfOneSetting) {
    const struct {
        const char* groups;
        const char* ranges;
    } cases[] = {
        {"", ""},
        {"1:200/5A", "1-1/1/200/5A"},
        // Three phases of one bay share a rating: one range, gaps between groups included.
        {"1:200/5A 2:200/5A 4:200/5A", "1-4/3/200/5A"},
        {"1:200/5A 2:200/5A 3:150/1A 4:150/1A 5:200/5A", "1-2/2/200/5A 3-4/2/150/1A 5-5/1/200/5A"},
        // A setting that changes every group gives as many ranges.
        {"7:100/5A 8:150/5A 9:100/5A", "7-7/1/100/5A 8-8/1/150/5A 9-9/1/100/5A"},
        {"0:400/1A 4000:400/1A", "0-4000/2/400/1A"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Text(ProposeRanges(Groups(c.groups))), QLatin1String(c.ranges)) << c.groups;
}

TEST(GroupRanges, CutAndMergeRecountAndRefuseWhatCannotBe) {
    const auto groups = Groups("1:200/5A 2:200/5A 4:200/5A 5:150/1A 6:150/1A");
    const auto proposed = ProposeRanges(groups);
    ASSERT_EQ(Text(proposed), QLatin1String("1-4/3/200/5A 5-6/2/150/1A"));
    const struct {
        const char* operation;
        int at;
        const char* result;
    } cases[] = {
        {"cut", 4, "1-2/2/200/5A 4-4/1/200/5A 5-6/2/150/1A"},
        {"cut", 2, "1-1/1/200/5A 2-4/2/200/5A 5-6/2/150/1A"},
        {"cut", 1, "refused"}, // starts a range already
        {"cut", 5, "refused"},
        {"cut", 3, "refused"}, // no group 3 stored
        {"cut", 9, "refused"},
        {"merge", 0, "1-6/5/"}, // the settings differ: none in common
        {"merge", 1, "refused"},
        {"merge", -1, "refused"},
    };
    for (const auto& c : cases) {
        const auto r = c.operation == std::string_view("cut") ? CutRanges(proposed, groups, c.at)
                                                              : MergeRanges(proposed, groups, c.at);
        EXPECT_EQ(r ? Text(*r) : "refused", QLatin1String(c.result)) << c.operation << c.at;
    }
    // Cutting and merging back gives the proposal again.
    EXPECT_EQ(MergeRanges(*CutRanges(proposed, groups, 4), groups, 0), proposed);
}

} // namespace
