// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/reading.h"
#include "records/history.h"
#include "records/record_store.h"

#include <QTemporaryDir>

namespace velantis::testing {

// The list text after groups 1..count of the simulated instrument were stored (on a pty or
// inside the process: anything with its storedGroup(n)).
template <typename Instrument> QString ExpectedList(const Instrument& sim, int count) {
    RecordStore store;
    for (int n = 1; n <= count; ++n)
        store.store(*SlotIndex::make(n), DeriveReading(sim.storedGroup(n)));
    QTemporaryDir dir;
    HistoryList history(dir.path());
    int first = 0;
    int last = 0;
    history.RefreshHistory(store, first, last);
    return history.listText();
}

} // namespace velantis::testing
