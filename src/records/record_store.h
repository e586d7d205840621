// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/reading.h"

#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace velantis {

// A group number that names a slot of the record store: 0..4000. The only way to get one is
// through make(), so no store access or row can fall outside the store.
class SlotIndex {
public:
    static constexpr int Highest = 4000;
    static constexpr std::optional<SlotIndex> make(int n) {
        if (n < 0 || n > Highest)
            return std::nullopt;
        return SlotIndex(n);
    }
    constexpr int value() const { return n_; }

private:
    constexpr explicit SlotIndex(int n) : n_(n) {}
    int n_;
};

// One slot: a group's readings as their finished display texts, the two voltage-low flags
// and the channel code.
struct GroupRecord {
    QString recHvCurrent;
    QString recRCurrent;
    QString recSCurrent;
    QString recTCurrent;
    QString recRatioError;
    QString recRatio;
    std::int16_t recHvLow = 0;
    std::int16_t recLvLow = 0;
    std::int16_t recChannel = 0;
};

// The slot contents a reading gives when it is stored.
GroupRecord RecordOf(const Reading& reading);

// The text "30000" in the high-voltage column marks a slot empty.
inline const QString EmptyMark = QStringLiteral("30000");

// Every group downloaded from the instrument, one slot per group number 0..4000.
class RecordStore {
public:
    static constexpr int SlotCount = SlotIndex::Highest + 1;

    RecordStore(); // every slot empty

    const GroupRecord& at(SlotIndex n) const { return slots_[static_cast<std::size_t>(n.value())]; }
    bool isEmpty(SlotIndex n) const { return at(n).recHvCurrent == EmptyMark; }

    // Writes all the fields of a slot together.
    void store(SlotIndex n, const Reading& reading);
    // The same from the instrument's stored-group frame, which the slot keeps beside its texts
    // (its rated primary decides the verdict; the archive keeps the frames).
    void store(SlotIndex n, const MeasurementFrame& frame);
    // The same when the caller has the frame's reading (DeriveReading(frame)) already.
    void store(SlotIndex n, const MeasurementFrame& frame, const Reading& reading);
    // The frame a slot was stored from; nothing for an empty slot or one stored from texts.
    const std::optional<MeasurementFrame>& frame(SlotIndex n) const {
        return frames_[static_cast<std::size_t>(n.value())];
    }

    // Marks every slot empty and forgets the frames; the ratio texts stay as they were (a store
    // always rewrites them).
    void clear();

private:
    std::vector<GroupRecord> slots_;
    std::vector<std::optional<MeasurementFrame>> frames_;
};

// "0" x count.
QString ZeroFill(std::uint8_t count);
// count spaces; a count of 0 still gives one space.
QString SpaceFill(std::uint8_t count);
// "R", "S", "T" for 0, 1, 2 and "- -" for every other code.
QString ChannelLetter(std::int16_t code);

// The text row of slot n: "第0012组    100.0A    5.000A        0.0A       0.0A   -0.5%     100/5A
// R". A value text wider than its column is written as it stands, with no leading space.
QString FormatGroupRow(const RecordStore& store, SlotIndex n);
QString FormatGroupRow(const GroupRecord& slot, SlotIndex n);

} // namespace velantis
