// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/group_ranges.h"

#include "records/test_report.h"

namespace velantis {

namespace {

// The range of the stored groups first..last, counted and with their common setting.
GroupRange RangeOver(const QList<GroupSetting>& groups, int first, int last) {
    GroupRange r{first, last, 0, {}};
    bool mixed = false;
    for (const GroupSetting& g : groups) {
        if (g.group < first || g.group > last)
            continue;
        if (r.count++ == 0)
            r.setting = g.setting;
        else if (g.setting != r.setting)
            mixed = true;
    }
    if (mixed)
        r.setting.clear();
    return r;
}

} // namespace

QList<GroupSetting> SettingsOf(const RecordStore& store) {
    QList<GroupSetting> groups;
    for (int n = 0; n < RecordStore::SlotCount; ++n) {
        if (const auto& frame = store.frame(*SlotIndex::make(n)))
            groups.append({n, SettingOf(*frame)});
    }
    return groups;
}

QList<GroupRange> ProposeRanges(const QList<GroupSetting>& groups) {
    QList<GroupRange> ranges;
    for (const GroupSetting& g : groups) {
        if (!ranges.isEmpty() && ranges.last().setting == g.setting) {
            ranges.last().last = g.group;
            ++ranges.last().count;
        } else {
            ranges.append({g.group, g.group, 1, g.setting});
        }
    }
    return ranges;
}

std::optional<QList<GroupRange>> CutRanges(const QList<GroupRange>& ranges,
                                           const QList<GroupSetting>& groups, int at) {
    int before = -1; // the stored group just before `at`
    bool stored = false;
    for (const GroupSetting& g : groups) {
        if (g.group < at)
            before = g.group;
        stored = stored || g.group == at;
    }
    if (!stored)
        return std::nullopt;
    for (qsizetype i = 0; i < ranges.size(); ++i) {
        const GroupRange& r = ranges[i];
        if (at <= r.first || at > r.last)
            continue;
        QList<GroupRange> cut = ranges;
        cut[i] = RangeOver(groups, r.first, before);
        cut.insert(i + 1, RangeOver(groups, at, r.last));
        return cut;
    }
    return std::nullopt;
}

std::optional<QList<GroupRange>> MergeRanges(const QList<GroupRange>& ranges,
                                             const QList<GroupSetting>& groups, int index) {
    if (index < 0 || index + 1 >= ranges.size())
        return std::nullopt;
    QList<GroupRange> merged = ranges;
    merged[index] = RangeOver(groups, ranges[index].first, ranges[index + 1].last);
    merged.removeAt(index + 1);
    return merged;
}

} // namespace velantis
