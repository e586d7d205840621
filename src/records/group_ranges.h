// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "records/record_store.h"

#include <QList>
#include <QString>

#include <optional>

namespace velantis {

// A stored group and the rated setting its frame names ("200/5A").
struct GroupSetting {
    int group = 0;
    QString setting;
};

// A run of stored groups that becomes one test: the first and last group number, how many
// stored groups lie between them, and their common setting (empty when they differ).
struct GroupRange {
    int first = 0;
    int last = 0;
    int count = 0;
    QString setting;
    bool operator==(const GroupRange&) const = default;
};

// The framed groups of a store in group order with their settings.
QList<GroupSetting> SettingsOf(const RecordStore& store);

// The proposal: consecutive groups (in group order) with the same setting make one range.
// groups must be in ascending group order.
QList<GroupRange> ProposeRanges(const QList<GroupSetting>& groups);

// The ranges after cutting the one holding group `at` so that `at` starts a range of its own:
// nothing when no range holds a stored group `at` or `at` already starts one.
std::optional<QList<GroupRange>> CutRanges(const QList<GroupRange>& ranges,
                                           const QList<GroupSetting>& groups, int at);
// The ranges after merging range `index` with the one after it: nothing when there is none.
std::optional<QList<GroupRange>> MergeRanges(const QList<GroupRange>& ranges,
                                             const QList<GroupSetting>& groups, int index);

} // namespace velantis
