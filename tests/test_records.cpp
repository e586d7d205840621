// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/frame.h"
#include "records/record_store.h"
#include "records/text_codec.h"

#include <gtest/gtest.h>

#include <climits>

using namespace velantis;

namespace {

GroupRecord ExampleSlot() {
    return {"100.0A", "5.000A", "0.0A", "0.0A", "-0.5%", "100/5A"};
}

} // namespace

TEST(Records, GroupRowLayout) {
    using G = GroupRecord;
    struct Case {
        int slot;
        QString G::*field; // the one text changed from the example, if any
        const char* text;
        std::int16_t channel;
        const char* row;
    };
    const std::vector<Case> cases = {
        {12, nullptr, "", 0,
         "第0012组    100.0A    5.000A        0.0A       0.0A   -0.5%     100/5A     R"},
        {1, &G::recHvCurrent, "err", 0,
         "第0001组       err    5.000A        0.0A       0.0A   -0.5%     100/5A     R"},
        {4000, &G::recRatioError, "0.0%", 2,
         "第4000组    100.0A    5.000A        0.0A       0.0A    0.0%     100/5A     T"},
        {12, &G::recRCurrent, "1234.567mA", 0, // exactly the width: one space, the rest shifts
         "第0012组    100.0A 1234.567mA        0.0A       0.0A   -0.5%     100/5A     R"},
        {12, &G::recRatioError, "+12.7%", 0,
         "第0012组    100.0A    5.000A        0.0A       0.0A   +12.7%     100/5A     R"},
        {12, &G::recHvCurrent, "12345678901", 0, // wider than the column: no space at all
         "第0012组12345678901    5.000A        0.0A       0.0A   -0.5%     100/5A     R"},
        {12, &G::recRatioError, "+12.75%", 0,
         "第0012组    100.0A    5.000A        0.0A       0.0A  +12.75%     100/5A     R"},
        {12, &G::recRatio, "2549745000/25.5A", 3,
         "第0012组    100.0A    5.000A        0.0A       0.0A   -0.5% 2549745000/25.5A     - -"},
        {12, &G::recTCurrent, "", -1,
         "第0012组    100.0A    5.000A        0.0A              -0.5%     100/5A     - -"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row);
        GroupRecord slot = ExampleSlot();
        if (c.field != nullptr)
            slot.*c.field = QString::fromUtf8(c.text);
        slot.recChannel = c.channel;
        EXPECT_EQ(FormatGroupRow(slot, *SlotIndex::make(c.slot)).toStdString(), c.row);
    }
    const QString example = FormatGroupRow(ExampleSlot(), *SlotIndex::make(12));
    EXPECT_EQ(example.size(), 74);
    EXPECT_EQ(EncodeGbk(example).size(), 76);
}

TEST(Records, RowOfAStoredFrame) {
    RecordStore store;
    const MeasurementFrame f = *MeasurementFrame::fromBlock(
        QByteArray::fromHex("05DC31138833137B33139233000703009632115C"));
    store.store(*SlotIndex::make(7), DeriveReading(f));
    EXPECT_EQ(FormatGroupRow(store, *SlotIndex::make(7)).toStdString(),
              "第0007组    150.0A    5.000A      4.987A      5.01A   -0.3%     150/5A     S");

    const GroupRecord flagged =
        RecordOf(DeriveReading(FrameBuilder().hv(20000, 0x31).flags(true, false).build()));
    EXPECT_EQ(flagged.recHvLow, 1);
    EXPECT_EQ(flagged.recLvLow, 0);
    EXPECT_EQ(flagged.recChannel, 3);
}

TEST(Records, FillsAndChannelLetters) {
    EXPECT_EQ(ZeroFill(0).toStdString(), "");
    EXPECT_EQ(ZeroFill(3).toStdString(), "000");
    EXPECT_EQ(SpaceFill(0).toStdString(), " ");
    EXPECT_EQ(SpaceFill(7).toStdString(), "       ");
    const std::vector<std::pair<std::int16_t, const char*>> letters = {
        {0, "R"}, {1, "S"}, {2, "T"}, {3, "- -"}, {-1, "- -"}, {99, "- -"}};
    for (const auto& [code, letter] : letters)
        EXPECT_EQ(ChannelLetter(code).toStdString(), letter) << code;
}

TEST(Records, SlotIndexCoversTheStoreOnly) {
    for (int n : {-1, 4001, INT_MIN, INT_MAX})
        EXPECT_FALSE(SlotIndex::make(n).has_value()) << n;
    for (int n : {0, 1, 4000})
        EXPECT_EQ(SlotIndex::make(n).value_or(*SlotIndex::make(2)).value(), n);
}

TEST(Records, ClearEmptiesEverySlotAndKeepsRatios) {
    RecordStore store;
    for (int n = 0; n <= SlotIndex::Highest; ++n)
        ASSERT_TRUE(store.isEmpty(*SlotIndex::make(n))) << n;

    const auto f = FrameBuilder().hv(1000, 0x31).t(5000, 0x33).rated(100, 50).flags(true, true);
    for (int n : {0, 1, 3500, 3501, 4000})
        store.store(*SlotIndex::make(n), DeriveReading(FrameBuilder(f).channelKind(2, 1).build()));
    EXPECT_FALSE(store.isEmpty(*SlotIndex::make(4000)));
    EXPECT_TRUE(store.isEmpty(*SlotIndex::make(2)));

    store.clear();
    for (int n = 0; n <= SlotIndex::Highest; ++n) {
        const GroupRecord& slot = store.at(*SlotIndex::make(n));
        ASSERT_TRUE(store.isEmpty(*SlotIndex::make(n))) << n;
        ASSERT_EQ(slot.recTCurrent, EmptyMark) << n;
        ASSERT_EQ(slot.recRatioError, "0") << n;
        ASSERT_EQ(slot.recHvLow + slot.recLvLow + slot.recChannel, 0) << n;
    }
    EXPECT_EQ(store.at(*SlotIndex::make(4000)).recRatio.toStdString(), "100/5A");
    EXPECT_EQ(store.at(*SlotIndex::make(3501)).recRatio.toStdString(), "100/5A");
}
