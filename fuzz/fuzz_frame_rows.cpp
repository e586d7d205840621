// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary 20-byte blocks through the frame check, the decoder, the record store, the group rows
// and the list built from them, each held against what the frame rules give for the bytes
// (fuzz_check.h's model), never against the program's own functions.
#include "fuzz_check.h"

#include "protocol/frame.h"
#include "protocol/reading.h"
#include "records/history.h"
#include "records/record_store.h"

#include <map>

using namespace velantis;
using velantis::fuzz::SameRecord;
namespace model = velantis::fuzz::model;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static HistoryList history(velantis::fuzz::MemoryFolder());
    RecordStore store;
    std::map<int, QString> rows; // slot -> the row the last block for it should give
    for (std::size_t at = 0; at + MeasurementFrame::Size <= size; at += MeasurementFrame::Size) {
        const std::uint8_t* b = data + at;
        const QByteArray block(reinterpret_cast<const char*>(b), MeasurementFrame::Size);
        FUZZ_CHECK(IsValidFrame(block) == model::Valid(block),
                   "a frame is valid when byte 19 is the sum of bytes 0..18 modulo 256");
        FUZZ_CHECK(!IsValidFrame(block.left(19)) && !IsValidFrame(block + block.left(1)),
                   "only exactly 20 bytes are a frame");

        const Reading r = DeriveReading(*MeasurementFrame::fromBlock(block));
        GroupRecord want = model::Record(b);
        want.recRatio = r.ratioText;
        FUZZ_CHECK(r.hvText == want.recHvCurrent, "the high-voltage current");
        FUZZ_CHECK(r.rText == want.recRCurrent && r.sText == want.recSCurrent &&
                       r.tText == want.recTCurrent,
                   "the channel currents");
        FUZZ_CHECK(r.errText == want.recRatioError, "the ratio error");
        FUZZ_CHECK(r.channel == want.recChannel, "the channel");
        FUZZ_CHECK(r.hvLowFlag == want.recHvLow && r.lvLowFlag == want.recLvLow,
                   "the voltage-low flags are bits 6 and 7 of byte 15");
        FUZZ_CHECK(model::RatioFits(b, r.ratioText), "the ratio");
        FUZZ_CHECK(r.groupNo == int(model::Raw(b, 12)), "the group number is bytes 12-13");
        FUZZ_CHECK(r.settingText ==
                       QStringLiteral("设定:") + QString::number((b[15] & 0x3F) * 256 + b[16]) +
                           QLatin1Char('/') + model::Fixed(b[17], 1, false) + QLatin1Char('A'),
                   "the setting is the rated primary over the rated secondary");

        const int n = r.groupNo % RecordStore::SlotCount;
        store.store(*SlotIndex::make(n), r);
        FUZZ_CHECK(SameRecord(store.at(*SlotIndex::make(n)), want), "a stored slot");
        rows[n] = model::Row(want, n);
        FUZZ_CHECK(FormatGroupRow(store, *SlotIndex::make(n)) == rows[n], "a group row");
    }

    // The list of the whole store: the heading, then one row per filled slot 1..3500 in order.
    int first = 0;
    int last = 0;
    history.RefreshHistory(store, first, last);
    QString want = HistoryHeading();
    for (const auto& [n, row] : rows) {
        if (n >= 1 && n <= 3500)
            want += row + QStringLiteral("\r\n");
    }
    FUZZ_CHECK(history.listText() == want, "the list is the rows of the filled slots");
    FUZZ_CHECK(history.printText() == want, "a full refresh prints the list");
    return 0;
}
