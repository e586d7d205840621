// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "records/record_store.h"

#include <QList>
#include <QString>

#include <optional>

namespace velantis {

// The accuracy classes of measuring current transformers a group is judged against.
enum class AccuracyClass { None, C0_1, C0_2, C0_5, C1, C0_2S, C0_5S, C3, C5 };

// Every class in the order they are offered, None ("不判定") first.
const QList<AccuracyClass>& AllClasses();
// "不判定", "0.1", ..., "0.2S", "0.5S", "3", "5".
QString ClassName(AccuracyClass c);
// The class a name gives, "s" or "S" alike; nothing for an unknown name.
std::optional<AccuracyClass> ParseClass(const QString& name);

// One point of a class's limit row: at p % of rated current, |ratio error| may be up to
// limitHundredths / 100 %.
struct LimitPoint {
    int percent;
    int limitHundredths;
};
// The class's points as the standard gives them (empty for None). Between two points the limit
// goes linearly with the load; below the first point and above 120 % there is no verdict.
QList<LimitPoint> LimitRow(AccuracyClass c);
// "5 %: 1.5  20 %: 0.75  100 %: 0.5  120 %: 0.5"
QString LimitRowText(AccuracyClass c);

// The decision rule's guard band w, in hundredths of a per cent of ratio error: 0 is simple
// acceptance (合格 when |F.Er| <= the limit); w > 0 accepts up to the acceptance limit, the limit
// less w at the group's load (ILAC-G8:09/2019, binary rule with a guard band). A guard band fits
// a class when 0 < w < the class's smallest limit, so that something is accepted at every load;
// 0 fits every class, and no other w fits None.
// The smallest limit of a class's row in hundredths of a per cent; 0 without a class.
int SmallestLimit(AccuracyClass c);
bool GuardBandFits(AccuracyClass c, int hundredths);
// Hundredths of a per cent as the shortest text: 5 "0.05", 10 "0.1", 150 "1.5", 300 "3".
QString HundredthsText(int hundredths);
// The class's limit at 100 % of rated current in hundredths of a per cent (0 for None).
int LimitAtRated(AccuracyClass c);

// A group's verdict against a class.
struct GroupVerdict {
    enum class Outcome { Pass, Fail, None };
    Outcome outcome = Outcome::None;
    QString reason; // why there is no verdict
    // The load point in %, whenever the high-voltage current and the rated primary give one, to
    // one decimal: rounded half up, but with a class, a load outside the class's range is
    // rounded away from it (4.9995 % shows "4.9", 120.02 % "120.1") so that it never reads as
    // a load a verdict is given at.
    std::optional<QString> load;
    std::optional<QString> limit; // the limit at that load in ±%, cut to two decimals (so a shown
                                  // limit never contradicts the verdict); only with a verdict
    // The acceptance limit (the limit less the guard band) in ±%, cut to two decimals; only with
    // a verdict under a guard band.
    std::optional<QString> acceptance;
    bool voltageLow = false; // a voltage-low flag was set; it does not stop a verdict
};

// "合格", "超差", "不判定".
QString OutcomeName(GroupVerdict::Outcome o);

// The verdict of a slot's texts, with the rated primary (A) of its frame, under a guard band in
// hundredths of a per cent (0: simple acceptance). Decided in exact rational arithmetic on the
// texts' decimals: no floating point decides a boundary. A guard band that does not fit the
// class gives no verdict rather than one by a rule that accepts nothing somewhere.
GroupVerdict Judge(const GroupRecord& slot, int ratedPrimary, AccuracyClass c, int guardBand = 0);
// The verdict of a stored slot; a slot kept without its frame has no rated primary to judge by.
GroupVerdict JudgeSlot(const RecordStore& store, SlotIndex n, AccuracyClass c, int guardBand = 0);

} // namespace velantis
