// SPDX-License-Identifier: GPL-3.0-or-later
// Timings of the hot paths: one received frame, one list row, one full list refresh, and Open of
// the largest data file taken.
#include "archive/archive.h"
#include "protocol/frame.h"
#include "protocol/reading.h"
#include "records/data_file.h"
#include "records/history.h"
#include "records/list_import.h"
#include "records/record_store.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace velantis;

namespace {

const QByteArray LiveFrame = QByteArray::fromHex("03E83113883300003300003300008F0064320277");

void BM_DecodeFrame(benchmark::State& state) {
    for (auto _ : state) {
        const bool valid = IsValidFrame(LiveFrame);
        const Reading r = DeriveReading(*MeasurementFrame::fromBlock(LiveFrame));
        benchmark::DoNotOptimize(valid);
        benchmark::DoNotOptimize(r.ratioText.constData());
    }
}
BENCHMARK(BM_DecodeFrame);

void BM_FormatGroupRow(benchmark::State& state) {
    RecordStore store;
    const auto slot = *SlotIndex::make(12);
    store.store(slot, DeriveReading(*MeasurementFrame::fromBlock(LiveFrame)));
    for (auto _ : state) {
        const QString row = FormatGroupRow(store, slot);
        benchmark::DoNotOptimize(row.constData());
    }
}
BENCHMARK(BM_FormatGroupRow);

// Groups 1..3500 all filled: the largest list, written to lishi.txt, read back and deleted.
void BM_RefreshHistoryFull(benchmark::State& state) {
    QTemporaryDir dir;
    if (!dir.isValid()) {
        state.SkipWithError("no temporary folder");
        return;
    }
    RecordStore store;
    for (int n = 1; n <= HistoryList::DefaultLast; ++n) {
        const auto frame = FrameBuilder()
                               .hv(static_cast<std::uint16_t>(1000 + n), 0x31)
                               .r(static_cast<std::uint16_t>(5000 - n % 50), 0x33)
                               .ratioError(static_cast<std::uint8_t>(n & 0xFF))
                               .rated(100, 50)
                               .groupNo(static_cast<std::uint16_t>(n))
                               .channelKind(0, 1)
                               .build();
        store.store(*SlotIndex::make(n), DeriveReading(frame));
    }
    HistoryList list(dir.path());
    for (auto _ : state) {
        int first = 0;
        int last = 0;
        list.RefreshHistory(store, first, last);
        benchmark::DoNotOptimize(list.listText().constData());
    }
    if (!list.lastRefreshUsedFile())
        state.SkipWithError("the refresh did not go through the file");
    state.counters["listChars"] = static_cast<double>(list.listText().size());
}
BENCHMARK(BM_RefreshHistoryFull)->Unit(benchmark::kMillisecond);

// A file of exactly MaxDataFileBytes of arbitrary bytes, read and decoded as GBK.
void BM_LoadLargestDataFile(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("large.txt"));
    {
        QByteArray bytes(MaxDataFileBytes, Qt::Uninitialized);
        QRandomGenerator random(7);
        for (char& c : bytes)
            c = static_cast<char>(random.generate());
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
            state.SkipWithError("cannot write the test file");
            return;
        }
    }
    for (auto _ : state) {
        QString text;
        QString error;
        if (!LoadDataFile(path, &text, &error))
            state.SkipWithError(qPrintable(error));
        benchmark::DoNotOptimize(text.constData());
    }
}
BENCHMARK(BM_LoadLargestDataFile)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

// One download of 4000 groups kept in the record database: one BEGIN IMMEDIATE transaction with
// its test row and 4000 group rows, written through to the disk (synchronous=FULL).
void BM_ArchiveDownload4000(benchmark::State& state) {
    QTemporaryDir dir;
    Archive archive(dir.filePath(QStringLiteral("records.sqlite")));
    RecordStore store;
    for (int n = 1; n <= SlotIndex::Highest; ++n)
        store.store(*SlotIndex::make(n), FrameBuilder()
                                             .hv(static_cast<std::uint16_t>(200 + n % 1000), 0x31)
                                             .r(static_cast<std::uint16_t>(1000 + n), 0x33)
                                             .groupNo(static_cast<std::uint16_t>(n))
                                             .rated(100, 50)
                                             .channelKind(0, 1)
                                             .build());
    TestRecord record;
    record.info.accuracy = AccuracyClass::C0_5;
    if (!archive.open(nullptr))
        state.SkipWithError("the record database does not open");
    for (auto _ : state)
        benchmark::DoNotOptimize(archive.add(record, store, nullptr));
}
BENCHMARK(BM_ArchiveDownload4000)->Unit(benchmark::kMillisecond);

// A saved list of 3500 rows (Save's bytes) read back into frames: GBK checked, every row rebuilt
// and printed again. Goal: under 200 ms.
void BM_ImportList3500(benchmark::State& state) {
    QTemporaryDir dir;
    RecordStore store;
    for (int n = 1; n <= HistoryList::DefaultLast; ++n)
        store.store(*SlotIndex::make(n), FrameBuilder()
                                             .hv(static_cast<std::uint16_t>(200 + n % 1000), 0x31)
                                             .r(static_cast<std::uint16_t>(1000 + n), 0x33)
                                             .s(static_cast<std::uint16_t>(n % 7), 0x41)
                                             .ratioError(static_cast<std::uint8_t>(n & 0x87))
                                             .groupNo(static_cast<std::uint16_t>(n))
                                             .rated(100, 50)
                                             .channelKind(0, 1)
                                             .build());
    HistoryList list(dir.path());
    int first = 0;
    int last = 0;
    list.RefreshHistory(store, first, last);
    const QByteArray bytes = DataFileBytes(list.listText());
    const auto rated = ParseRatedRatios(QStringLiteral("100/5"), nullptr);
    for (auto _ : state) {
        ListImportProblem problem;
        const auto groups = ReadSavedList(bytes, *rated, &problem);
        if (!groups || groups->size() != HistoryList::DefaultLast)
            state.SkipWithError(qPrintable(problem.reason));
        benchmark::DoNotOptimize(groups);
    }
    state.counters["bytes"] = static_cast<double>(bytes.size());
}
BENCHMARK(BM_ImportList3500)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
