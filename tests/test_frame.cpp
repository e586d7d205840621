// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/frame.h"
#include "protocol/reading.h"

#include <QStringList>

#include <gtest/gtest.h>

using namespace velantis;

namespace {

const QByteArray LiveBlock = QByteArray::fromHex("03E83113883300003300003300008F0064320277");
const QByteArray StoredBlock = QByteArray::fromHex("05DC31138833137B33139233000703009632115C");

} // namespace

TEST(Frame, ChecksumBoundaries) {
    // Bytes 0.. (the rest of 0..18 zero) and the checksum they need.
    const std::vector<std::pair<QByteArray, char>> cases = {{"", 0x00},
                                                            {"\xFF\xFF\x01", '\xFF'},
                                                            {"\xFF\xFF\x02", 0x00},
                                                            {QByteArray(19, '\xFF'), '\xED'}};
    for (const auto& [head, sum] : cases) {
        SCOPED_TRACE(head.toHex().constData());
        QByteArray block = head.leftJustified(19, '\0') + sum;
        EXPECT_TRUE(IsValidFrame(block));
        block[19] = static_cast<char>(sum + 1);
        EXPECT_FALSE(IsValidFrame(block));
    }
    EXPECT_EQ(MeasurementFrame::fromBlock(QByteArray(20, '\0'))->kind(), 0);
}

TEST(Frame, EverySingleByteChangeInvalidates) {
    ASSERT_TRUE(IsValidFrame(LiveBlock));
    for (int i = 0; i < MeasurementFrame::Size; ++i) {
        for (int delta : {1, 0x80, 0xFF}) {
            SCOPED_TRACE(testing::Message() << "byte " << i << " + " << delta);
            QByteArray bad = LiveBlock;
            bad[i] = static_cast<char>(static_cast<std::uint8_t>(bad[i]) + delta);
            EXPECT_FALSE(IsValidFrame(bad));
        }
    }
}

TEST(Frame, OnlyTwentyBytesAreAFrame) {
    const QByteArray good = LiveBlock;
    for (const QByteArray& block : {good.left(19), good + '\0', good + good, QByteArray()})
        EXPECT_FALSE(IsValidFrame(block)) << block.size();
    EXPECT_FALSE(MeasurementFrame::fromBlock(good.left(19)).has_value());
}

TEST(Frame, FieldsAndFlags) {
    // Bytes 15 and 16: rated primary, hv-low flag, lv-low flag.
    const std::vector<std::array<int, 5>> cases = {{0xC1, 0x2C, 300, 1, 1},
                                                   {0x41, 0x2C, 300, 1, 0},
                                                   {0x81, 0x2C, 300, 0, 1},
                                                   {0x3F, 0xFF, 16383, 0, 0}};
    for (const auto& [b15, b16, primary, hvLow, lvLow] : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << b15 << ' ' << b16);
        const auto f = FrameBuilder().raw(15, std::uint8_t(b15)).raw(16, std::uint8_t(b16)).build();
        EXPECT_EQ(f.ratedPrimary(), primary);
        EXPECT_EQ(f.hvLowFlag(), hvLow);
        EXPECT_EQ(f.lvLowFlag(), lvLow);
    }
}

TEST(Frame, ReadingsOfFrames) {
    struct Case {
        const char* name;
        MeasurementFrame frame;
        int kind, group, channel;
        const char* texts; // hv|R|S|T|error|ratio|setting
    };
    const auto real = FrameBuilder()
                          .hv(1000, 0x31)
                          .r(5000, 0x33)
                          .s(0, 0x31)
                          .t(0, 0x31)
                          .ratioError(5)
                          .rated(100, 50);
    const std::vector<Case> cases = {
        {"live", *MeasurementFrame::fromBlock(LiveBlock), 2, 0, 0,
         "100.0A|5.000A|0.000A|0.000A|+1.5%|100/5A|设定:100/5A"},
        {"stored", *MeasurementFrame::fromBlock(StoredBlock), 1, 7, 1,
         "150.0A|5.000A|4.987A|5.01A|-0.3%|150/5A|设定:150/5A"},
        {"hv error", FrameBuilder(real).hv(20000, 0x31).channelKind(0, 2).build(), 2, 0, NoChannel,
         "err|5.000A|0.0A|0.0A|-0.5%|---/5A|设定:100/5A"},
        {"hv overload keeps its channel", FrameBuilder(real).hv(10000, 0x31).build(), 0, 0, 0,
         "    OL|5.000A|0.0A|0.0A|-0.5%|---/5A|设定:100/5A"},
        {"channel code 3", FrameBuilder(real).channelKind(3, 2).build(), 2, 0, NoChannel,
         "100.0A|5.000A|0.0A|0.0A|-0.5%|---/5A|设定:100/5A"},
        {"channel code 5", FrameBuilder(real).rated(100, 25).groupNo(9).channelKind(5, 1).build(),
         1, 9, NoChannel, "100.0A|5.000A|0.0A|0.0A|-0.5%|---/2.5A|设定:100/2.5A"},
        {"channel T", FrameBuilder(real).t(5000, 0x33).ratioError(0x6E).channelKind(2, 2).build(),
         2, 0, 2, "100.0A|5.000A|0.0A|5.000A|--%|100/5A|设定:100/5A"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(IsValidFrame(c.frame.toByteArray()));
        EXPECT_EQ(c.frame.kind(), c.kind);
        const Reading r = DeriveReading(c.frame);
        EXPECT_EQ(r.groupNo, c.group);
        EXPECT_EQ(r.channel, c.channel);
        const QStringList got = {r.hvText,  r.rText,     r.sText,      r.tText,
                                 r.errText, r.ratioText, r.settingText};
        EXPECT_EQ(got.join(QLatin1Char('|')).toStdString(), c.texts);
    }
}
