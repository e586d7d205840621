// Arbitrary 20-byte blocks through the frame check, the decoder, the number formats, the record
// store, the group rows and the list built from them.
#include "fuzz_check.h"

#include "formats/formats.h"
#include "protocol/frame.h"
#include "protocol/reading.h"
#include "records/history.h"
#include "records/record_store.h"

#include <QTemporaryDir>

#include <cstring>
#include <map>

using namespace velantis;
using velantis::fuzz::CheckRow;
using velantis::fuzz::GbkEncodable;
using velantis::fuzz::SameRecord;

namespace {

bool IsPlainAscii(const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7E)
            return false;
    }
    return true;
}

void CheckReading(const MeasurementFrame& frame, const Reading& r) {
    for (const QString* text : {&r.hvText, &r.rText, &r.sText, &r.tText, &r.errText, &r.ratioText})
        FUZZ_CHECK(!text->isEmpty() && IsPlainAscii(*text), "reading texts are plain ASCII");
    FUZZ_CHECK(GbkEncodable(r.settingText), "the setting text is GBK");
    FUZZ_CHECK(r.channel >= 0 && r.channel <= NoChannel, "channel code 0..3");
    FUZZ_CHECK(r.groupNo == frame.groupNo(), "the group number is the frame's");
    FUZZ_CHECK(r.hvLowFlag == frame.hvLowFlag() && r.lvLowFlag == frame.lvLowFlag(),
               "flags are the frame's");
    FUZZ_CHECK(r.hvText == FormatCurrent(frame.byte(0), frame.byte(1), frame.hvRange()),
               "the high-voltage text is its current's");
    FUZZ_CHECK(r.errText == FormatRatioError(frame.ratioError()), "the ratio error text");
    for (int c = 0; c <= 3; ++c)
        FUZZ_CHECK(frame.channelBytes(c).has_value(), "channel codes 0..3 have their bytes");
    FUZZ_CHECK(!frame.channelBytes(4).has_value() && !frame.channelBytes(-1).has_value(),
               "no channel bytes outside the frame");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static QTemporaryDir folder;
    RecordStore store;
    std::map<int, GroupRecord> expected; // slot -> what the last block for it stored
    for (std::size_t at = 0; at + MeasurementFrame::Size <= size; at += MeasurementFrame::Size) {
        const QByteArray block(reinterpret_cast<const char*>(data + at), MeasurementFrame::Size);
        const auto frame = MeasurementFrame::fromBlock(block);
        FUZZ_CHECK(frame.has_value(), "20 bytes make a frame");
        FUZZ_CHECK(frame->toByteArray() == block, "a frame holds its bytes");
        FUZZ_CHECK(IsValidFrame(block) == (frame->checksum() == frame->computedChecksum()),
                   "the check is the additive checksum");
        FUZZ_CHECK(!IsValidFrame(block.left(19)) && !IsValidFrame(block + block.left(1)),
                   "only exactly 20 bytes are a frame");
        const Reading reading = DeriveReading(*frame);
        CheckReading(*frame, reading);

        const GroupRecord slot = RecordOf(reading);
        const auto n = SlotIndex::make(frame->groupNo() % RecordStore::SlotCount);
        FUZZ_CHECK(n.has_value(), "group numbers modulo 4001 name a slot");
        const QString row = FormatGroupRow(slot, *n);
        CheckRow(row, slot, *n);
        FUZZ_CHECK(GbkEncodable(row), "a row is GBK");
        store.store(*n, reading);
        FUZZ_CHECK(SameRecord(store.at(*n), slot), "a stored slot holds its frame's texts");
        expected[n->value()] = slot;
    }
    FUZZ_CHECK(!SlotIndex::make(-1) && !SlotIndex::make(RecordStore::SlotCount),
               "no slot outside 0..4000");

    // The list of the whole store: the heading, then one row per filled slot in order.
    HistoryList history(folder.path());
    int first = 0;
    int last = 0;
    history.RefreshHistory(store, first, last);
    FUZZ_CHECK(GbkEncodable(history.listText()), "the list is GBK");
    QString want = HistoryHeading();
    for (const auto& [n, slot] : expected) {
        if (n >= HistoryList::DefaultFirst && n <= HistoryList::DefaultLast &&
            !store.isEmpty(*SlotIndex::make(n)))
            want += FormatGroupRow(slot, *SlotIndex::make(n)) + QStringLiteral("\r\n");
    }
    FUZZ_CHECK(history.listText() == want, "the list is the rows of the filled slots");
    return 0;
}
