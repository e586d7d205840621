// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "records/data_file.h"
#include "records/history.h"
#include "simulator/answer_engine.h"

#include <QTemporaryDir>

namespace velantis::testing {

// The bytes Save writes after these frames were stored, each under its own group number.
inline QByteArray SaveBytes(const QList<MeasurementFrame>& frames) {
    RecordStore store;
    for (const MeasurementFrame& f : frames)
        store.store(*SlotIndex::make(f.groupNo()), f);
    QTemporaryDir dir;
    HistoryList list(dir.path());
    int first = 0, last = 0;
    list.RefreshHistory(store, first, last);
    return DataFileBytes(list.listText());
}

// A frame with another rated setting (its flags kept).
inline MeasurementFrame WithRating(const MeasurementFrame& f, std::uint16_t primary,
                                   std::uint8_t tenths) {
    FrameBuilder b;
    for (int i = 0; i < MeasurementFrame::Size - 1; ++i)
        b.raw(i, f.byte(i));
    return b.rated(primary, tenths).build();
}

// Groups 1..count of the simulated instrument, all of one rating.
inline QList<MeasurementFrame> SimulatedGroups(int count, std::uint16_t primary,
                                               std::uint8_t tenths, quint32 seed = 1) {
    SimulatorOptions options;
    options.storedGroups = count;
    options.seed = seed;
    const AnswerEngine engine(options);
    QList<MeasurementFrame> frames;
    for (int n = 1; n <= count; ++n)
        frames << WithRating(engine.storedGroup(n), primary, tenths);
    return frames;
}

} // namespace velantis::testing
