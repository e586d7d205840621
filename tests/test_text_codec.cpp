// SPDX-License-Identifier: GPL-3.0-or-later
// GBK through whichever codec the build has: Qt's (from ICU) on Linux, the system's code page 936
// on Windows. With VELANTIS_GBK_TABLE set, the test also writes what every code decodes to, so
// that the two builds can be compared byte for byte (scripts/test-windows.sh compares them).
#include "records/text_codec.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace velantis;

namespace {

// Every two-byte GBK code (lead 0x81..0xFE, trail 0x40..0xFE but 0x7F) decodes to one character
// that encodes back to the same two bytes, and ASCII stays itself.
TEST(TextCodec, EveryGbkCodeRoundTrips) {
    ASSERT_TRUE(GbkCodecAvailable());
    QByteArray table;
    int characters = 0;
    int wrong = 0;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail == 0x7F)
                continue;
            const char code[] = {static_cast<char>(lead), static_cast<char>(trail)};
            const QByteArray bytes(code, 2);
            const QString text = DecodeGbk(bytes);
            table += bytes.toHex() + ' ' + text.toUtf8().toHex() + '\n';
            if (text.size() != 1 || text.at(0) == QChar::ReplacementCharacter ||
                text.at(0) == QLatin1Char('?'))
                continue;
            ++characters;
            if (EncodeGbk(text) != bytes && ++wrong <= 5)
                ADD_FAILURE() << bytes.toHex().constData() << " comes back as "
                              << EncodeGbk(text).toHex().constData();
        }
    }
    // GBK's two-byte area holds 21886 characters.
    EXPECT_GE(characters, 21886);
    EXPECT_EQ(wrong, 0);

    QByteArray ascii;
    for (int c = 0; c < 0x80; ++c)
        ascii += static_cast<char>(c);
    EXPECT_EQ(EncodeGbk(DecodeGbk(ascii)), ascii);
    EXPECT_EQ(DecodeGbk(ascii), QString::fromLatin1(ascii));

    if (const QString path = qEnvironmentVariable("VELANTIS_GBK_TABLE"); !path.isEmpty()) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        EXPECT_EQ(file.write(table), table.size());
    }
}

// A code cut short at the end shows the replacement character as other broken sequences do,
// never silently nothing; a whole code or a lone byte before it is unchanged.
TEST(TextCodec, ALeadByteCutShortAtTheEndIsShown) {
    const struct {
        QByteArray bytes;
        QString text;
    } cases[] = {
        {"\x81", QStringLiteral("\uFFFD")},
        {"abc\xD6", QStringLiteral("abc\uFFFD")},
        {"\xD6\xD0\xD6", QStringLiteral("\u4E2D\uFFFD")}, // 中, then a cut code
        {"\xD6\xD0", QStringLiteral("\u4E2D")},           // whole: nothing added
        {"\xD6\xD0\r\n", QStringLiteral("\u4E2D\r\n")},
        {"\xB0\xA1\xFE", QStringLiteral("\u554A\uFFFD")}, // 啊, then 0xFE alone
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecodeGbk(c.bytes), c.text) << c.bytes.toHex().constData();
}

} // namespace
