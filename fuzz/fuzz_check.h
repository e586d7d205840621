#pragma once

// Shared by the fuzz targets: an invariant that fails stops the process at once, so libFuzzer
// keeps the input and the corpus replay reports the file.

#include "records/record_store.h"
#include "records/text_codec.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

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

inline bool GbkEncodable(const QString& text) {
    return EncodeGbkExact(text, nullptr).has_value();
}

// A column of the row layout: the text right-aligned in `width` cells with at least one space
// before a text of exactly the width; a wider text as it stands.
inline qsizetype ColumnRoom(const QString& text, int width) {
    return text.size() < width ? width : text.size() + (text.size() == width ? 1 : 0);
}

// Checks one group row against the texts it was made from: the 第NNNN组 lead, every field in
// order, the channel letter at the end, and no more characters than the layout gives them.
inline void CheckRow(const QString& row, const GroupRecord& slot, SlotIndex n) {
    const QString lead = QStringLiteral("第%1组").arg(n.value(), 4, 10, QLatin1Char('0'));
    FUZZ_CHECK(row.startsWith(lead), "a row starts with its group number");
    const qsizetype allowed =
        lead.size() + ColumnRoom(slot.recHvCurrent, 10) + ColumnRoom(slot.recRCurrent, 10) + 2 +
        ColumnRoom(slot.recSCurrent, 10) + 1 + ColumnRoom(slot.recTCurrent, 10) + 2 +
        ColumnRoom(slot.recRatioError, 6) + 1 + ColumnRoom(slot.recRatio, 10) + 5 + 3;
    FUZZ_CHECK(row.size() <= allowed, "a row is no longer than the layout allows");
    qsizetype at = lead.size();
    for (const QString* field : {&slot.recHvCurrent, &slot.recRCurrent, &slot.recSCurrent,
                                 &slot.recTCurrent, &slot.recRatioError, &slot.recRatio}) {
        const qsizetype found = row.indexOf(*field, at);
        FUZZ_CHECK(found >= at, "every field of the slot appears in its row, in order");
        at = found + field->size();
    }
    FUZZ_CHECK(row.endsWith(ChannelLetter(slot.recChannel)), "a row ends with its channel");
    FUZZ_CHECK(!row.contains(QLatin1Char('\r')) && !row.contains(QLatin1Char('\n')),
               "a row is one line");
}

} // namespace velantis::fuzz
