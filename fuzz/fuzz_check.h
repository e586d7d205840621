// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Shared by the fuzz targets: an invariant that fails stops the process at once, so libFuzzer
// keeps the input and the corpus replay reports the file.

#include "records/record_store.h"
#include "records/text_codec.h"

#include <QDir>
#include <QString>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>

#define FUZZ_CHECK(condition, what)                                                                \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "invariant broken: %s (%s:%d)\n", what, __FILE__, __LINE__);      \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

namespace velantis::fuzz {

// Reads the fuzzer's bytes front to back; past the end every read gives zeros.
class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool atEnd() const { return at_ >= size_; }
    std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::uint16_t word() {
        const std::uint16_t high = byte();
        return static_cast<std::uint16_t>(high << 8 | byte());
    }
    QByteArray bytes(std::size_t n) {
        n = std::min(n, size_ - std::min(at_, size_));
        const QByteArray out(reinterpret_cast<const char*>(data_ + at_), static_cast<qsizetype>(n));
        at_ += n;
        return out;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

inline bool SameRecord(const GroupRecord& a, const GroupRecord& b) {
    return a.recHvCurrent == b.recHvCurrent && a.recRCurrent == b.recRCurrent &&
           a.recSCurrent == b.recSCurrent && a.recTCurrent == b.recTCurrent &&
           a.recRatioError == b.recRatioError && a.recRatio == b.recRatio &&
           a.recHvLow == b.recHvLow && a.recLvLow == b.recLvLow && a.recChannel == b.recChannel;
}

// A folder for the whole run in memory-backed storage where there is one, so that the history
// file written on every refresh and the files opened and saved cost no disk.
inline QString MemoryFolder() {
    static const std::unique_ptr<QTemporaryDir> folder(
        QDir(QStringLiteral("/dev/shm")).exists()
            ? new QTemporaryDir(QStringLiteral("/dev/shm/velantis-fuzz-XXXXXX"))
            : new QTemporaryDir());
    FUZZ_CHECK(folder->isValid(), "a folder for the files");
    return folder->path();
}

// The instrument's display rules, worked out here from the frame's bytes on their own (with
// printf arithmetic, not the program's formatting), so the targets hold the program's texts
// against an account of their own.
namespace model {

// raw / 10^decimals in decimal. The fraction's trailing zeros go; a whole value keeps
// `wholeZeros` zeros after the point ("12.00A") or none ("1%").
inline QString Fixed(unsigned raw, int decimals, bool wholeZeros) {
    const unsigned scale = decimals == 0 ? 1 : decimals == 1 ? 10 : decimals == 2 ? 100 : 1000;
    char text[32];
    if (decimals == 0 || (raw % scale == 0 && !wholeZeros))
        std::snprintf(text, sizeof text, "%u", raw / scale);
    else
        std::snprintf(text, sizeof text, "%u.%0*u", raw / scale, decimals, raw % scale);
    std::string out(text);
    if (raw % scale != 0)
        out.erase(out.find_last_not_of('0') + 1);
    return QString::fromStdString(out);
}

// A block is a frame when it holds exactly 20 bytes and byte 19 is the sum of bytes 0..18
// modulo 256.
inline bool Valid(const QByteArray& block) {
    unsigned sum = 0;
    for (qsizetype i = 0; i + 1 < block.size(); ++i)
        sum += static_cast<std::uint8_t>(block[i]);
    return block.size() == 20 && (sum & 0xFF) == static_cast<std::uint8_t>(block[19]);
}

inline unsigned Raw(const std::uint8_t* b, int at) {
    return b[at] * 256u + b[at + 1];
}

// A current at byte `at`: value high, value low, range byte. The range byte's low nibble 1..3 is
// the number of decimals (any other: none), its high nibble 4 means milliamperes.
inline QString Current(const std::uint8_t* b, int at) {
    static constexpr int Decimals[16] = {0, 1, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    const unsigned raw = Raw(b, at);
    if (raw == 10000)
        return QStringLiteral("    OL");
    if (raw == 20000)
        return QStringLiteral("err");
    const std::uint8_t range = b[at + 2];
    return Fixed(raw, Decimals[range & 0x0F], true) +
           ((range >> 4) == 4 ? QStringLiteral("mA") : QStringLiteral("A"));
}

// Byte 14: 0x6E shows no value, bit 7 is the sign (set: +), the rest tenths of a percent.
inline QString RatioError(std::uint8_t e) {
    if (e == 0x6E)
        return QStringLiteral("--%");
    if ((e & 0x7F) == 0)
        return QStringLiteral("0.0%");
    return QLatin1Char(e & 0x80 ? '+' : '-') + Fixed(e & 0x7Fu, 1, false) + QLatin1Char('%');
}

// Byte 18's high nibble names the channel R, S, T (0..2); any other code, or a high-voltage
// current that reads "err", is no channel (3).
inline int Channel(const std::uint8_t* b) {
    const int code = b[18] >> 4;
    return code <= 2 && Raw(b, 0) != 20000 ? code : 3;
}

inline QString Letter(int channel) {
    static const char* const Letters[] = {"R", "S", "T", "- -"};
    return QLatin1String(Letters[channel]);
}

// The slot a stored frame makes; the ratio text is checked with RatioFits instead.
inline GroupRecord Record(const std::uint8_t* b) {
    GroupRecord slot;
    slot.recHvCurrent = Current(b, 0);
    slot.recRCurrent = Current(b, 3);
    slot.recSCurrent = Current(b, 6);
    slot.recTCurrent = Current(b, 9);
    slot.recRatioError = RatioError(b[14]);
    slot.recHvLow = b[15] & 0x40 ? 1 : 0;
    slot.recLvLow = b[15] & 0x80 ? 1 : 0;
    slot.recChannel = static_cast<std::int16_t>(Channel(b));
    return slot;
}

// The measured ratio "P/xA": x the rated secondary (byte 17, tenths of an ampere); P the
// high-voltage current over the channel's, both in 10 uA steps, times x, to the nearest whole
// number (within 0.6: the division truncates before rounding); "0" for a zero current, "---" for
// an overload or error (raw 10000 and over) or no channel.
inline bool RatioFits(const std::uint8_t* b, const QString& ratio) {
    const QString rated = QLatin1Char('/') + Fixed(b[17], 1, false) + QLatin1Char('A');
    if (!ratio.endsWith(rated))
        return false;
    const QString value = ratio.chopped(rated.size());
    const int c = Channel(b);
    const unsigned p = Raw(b, 0);
    const unsigned s = c == 3 ? 0 : Raw(b, 3 * c + 3);
    if (c == 3 || p >= 10000 || s >= 10000)
        return value == QLatin1String("---");
    if (p == 0 || s == 0)
        return value == QLatin1String("0");
    // 10 uA steps per raw unit by range code: amperes with 0..3 decimals, milliamperes with 0..1.
    const auto step = [](std::uint8_t code) {
        static const std::pair<std::uint8_t, double> Steps[] = {
            {0x30, 1e5}, {0x31, 1e4}, {0x32, 1e3}, {0x33, 1e2}, {0x40, 1e2}, {0x41, 1e1}};
        for (const auto& [c, f] : Steps)
            if (c == code)
                return f;
        return 1.0;
    };
    bool ok = false;
    const qlonglong shown = value.toLongLong(&ok);
    const double exact = p * step(b[2]) * b[17] / (s * step(b[3 * c + 5])) / 10;
    return ok && value == QString::number(shown) && std::fabs(double(shown) - exact) <= 0.6;
}

// A column: the text right-aligned in `width` cells, a text of exactly the width with one
// space before it, a wider one as it stands.
inline QString Column(const QString& text, int width) {
    return QString(std::max<qsizetype>(width - text.size(), text.size() == width ? 1 : 0),
                   QLatin1Char(' ')) +
           text;
}

// The row of slot n: 第NNNN组, the four currents (10 cells each, two spaces before S, one before
// T), two spaces, the error (6), one space, the ratio (10), five spaces, the channel letter.
inline QString Row(const GroupRecord& slot, int n) {
    char lead[8];
    std::snprintf(lead, sizeof lead, "%04d", n);
    return QStringLiteral("第") + QLatin1String(lead) + QStringLiteral("组") +
           Column(slot.recHvCurrent, 10) + Column(slot.recRCurrent, 10) + QLatin1String("  ") +
           Column(slot.recSCurrent, 10) + QLatin1Char(' ') + Column(slot.recTCurrent, 10) +
           QLatin1String("  ") + Column(slot.recRatioError, 6) + QLatin1Char(' ') +
           Column(slot.recRatio, 10) + QLatin1String("     ") + Letter(slot.recChannel);
}

} // namespace model

} // namespace velantis::fuzz
