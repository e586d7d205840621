// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/formats.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <limits>

using namespace velantis;

namespace {

// P and S as raw values with their range bytes.
QString Ratio(int p, int pRange, int s, int sRange, int rated) {
    const auto u8 = [](int v) { return static_cast<std::uint8_t>(v); };
    return FormatRatio(u8(p >> 8), u8(p), u8(pRange), u8(s >> 8), u8(s), u8(sRange), u8(rated));
}

} // namespace

TEST(Formats, NumberText) {
    constexpr auto Max = std::numeric_limits<std::uint64_t>::max();
    const std::vector<std::tuple<std::uint64_t, int, const char*>> cases = {
        {0, 0, "0"},
        {7, 0, "7"},
        {5, 1, "0.5"},
        {50, 1, "5"},
        {1230, 2, "12.3"},
        {1200, 2, "12"},
        {5, 3, "0.005"},
        {100005, 5, "1.00005"},
        {Max, 3, "18446744073709551.615"}};
    for (const auto& [units, decimals, text] : cases)
        EXPECT_EQ(NumberText(units, decimals).toStdString(), text) << units << " / 10^" << decimals;
}

TEST(Formats, Current) {
    const std::vector<std::tuple<std::uint8_t, std::uint8_t, std::uint8_t, const char*>> cases = {
        {0x00, 0x00, 0x31, "0.0A"},   {0x03, 0xE8, 0x31, "100.0A"},  {0x04, 0xD2, 0x32, "12.34A"},
        {0x04, 0xCE, 0x32, "12.3A"},  {0x04, 0xB0, 0x32, "12.00A"},  {0x04, 0xB0, 0x33, "1.2A"},
        {0x03, 0xE8, 0x33, "1.000A"}, {0xFF, 0xFF, 0x33, "65.535A"}, {0x00, 0x05, 0x41, "0.5mA"},
        {0x00, 0x00, 0x41, "0.0mA"},  {0x00, 0x07, 0x40, "7mA"},     {0x00, 0x05, 0x43, "0.005mA"},
        {0x00, 0x05, 0x34, "5A"},     {0x27, 0x10, 0x33, "    OL"},  {0x27, 0x10, 0x40, "    OL"},
        {0x4E, 0x20, 0x31, "err"},    {0x00, 0x05, 0x51, "0.5A"},    {0xFF, 0xFF, 0x4F, "65535mA"}};
    for (const auto& [high, low, range, text] : cases) {
        SCOPED_TRACE(testing::Message()
                     << std::hex << int(high) << ' ' << int(low) << ' ' << int(range));
        EXPECT_EQ(FormatCurrent(high, low, range).toStdString(), text);
    }
}

TEST(Formats, RatioError) {
    const std::vector<std::pair<std::uint8_t, const char*>> cases = {
        {0x6E, "--%"},    {0x00, "0.0%"},   {0x80, "0.0%"},  {0x8F, "+1.5%"},
        {0x0F, "-1.5%"},  {0x8A, "+1%"},    {0x05, "-0.5%"}, {0x01, "-0.1%"},
        {0xFF, "+12.7%"}, {0x7F, "-12.7%"}, {0xEE, "+11%"}};
    for (const auto& [byte, text] : cases)
        EXPECT_EQ(FormatRatioError(byte).toStdString(), text) << std::hex << int(byte);
}

TEST(Formats, Ratio) {
    struct Case {
        int p, pRange, s, sRange, rated;
        const char* text;
    };
    // q = 1005 rounds to the even 100, q = 1015 to 102; an out-of-range term wins over a zero
    // one; an unknown range byte leaves its term unscaled; from 5000 at 0x31 on, P' x rated
    // leaves 32 bits.
    const std::vector<Case> cases = {
        {1000, 0x31, 5000, 0x33, 50, "100/5A"},  {1500, 0x31, 4987, 0x33, 50, "150/5A"},
        {1005, 0x31, 5000, 0x33, 50, "100/5A"},  {1015, 0x31, 5000, 0x33, 50, "102/5A"},
        {1006, 0x31, 5000, 0x33, 50, "101/5A"},  {100, 0x30, 5000, 0x33, 50, "100/5A"},
        {1000, 0x31, 5000, 0x40, 50, "100/5A"},  {200, 0x32, 5, 0x30, 50, "2/5A"},
        {1000, 0x31, 5000, 0x33, 25, "50/2.5A"}, {0, 0x31, 5000, 0x33, 50, "0/5A"},
        {1000, 0x31, 0, 0x33, 5, "0/0.5A"},      {10000, 0x31, 5000, 0x33, 50, "---/5A"},
        {20000, 0x31, 0, 0x33, 10, "---/1A"},    {0, 0x31, 10000, 0x33, 10, "---/1A"},
        {1000, 0x31, 5000, 0x33, 0, "0/0A"},     {1000, 0x31, 5000, 0x05, 50, "10000/5A"},
        {5000, 0x31, 5000, 0x33, 50, "500/5A"},  {9999, 0x30, 1, 0x41, 255, "2549745000/25.5A"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.p << '@' << c.pRange << " : " << c.s << '@' << c.sRange
                                        << " rated " << c.rated);
        EXPECT_EQ(Ratio(c.p, c.pRange, c.s, c.sRange, c.rated).toStdString(), c.text);
    }
}

TEST(Formats, SettingAndNoRatio) {
    EXPECT_EQ(SettingText(100, 50).toStdString(), "设定:100/5A");
    EXPECT_EQ(SettingText(1000, 25).toStdString(), "设定:1000/2.5A");
    EXPECT_EQ(SettingText(16383, 255).toStdString(), "设定:16383/25.5A");
    EXPECT_EQ(NoRatioText(5).toStdString(), "---/0.5A");
}

// Run a second time under a comma-decimal locale: the texts must still use ".".
TEST(Formats, IndependentOfProcessLocale) {
    if (std::getenv("VELANTIS_EXPECT_COMMA_LOCALE") == nullptr)
        GTEST_SKIP() << "only meaningful under a comma-decimal locale";
    ASSERT_STREQ(std::localeconv()->decimal_point, ",")
        << "the comma locale is not in effect (is de_DE.UTF-8 generated?)";
    EXPECT_EQ(FormatCurrent(0x04, 0xD2, 0x32).toStdString(), "12.34A");
    EXPECT_EQ(FormatRatioError(0x8F).toStdString(), "+1.5%");
    EXPECT_EQ(Ratio(1000, 0x31, 5000, 0x33, 25).toStdString(), "50/2.5A");
    EXPECT_EQ(SettingText(1000, 25).toStdString(), "设定:1000/2.5A");
}
