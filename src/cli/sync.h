// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace velantis {

// Sends to the department's server what the record database at records holds and the server
// lacks, now: one line per test sent, updated, superseded or refused (on standard output, or on
// standard error when toStdout is false), and the reason when something still waits. 0 when
// nothing waits any longer, 7 when something does, 2 when no server is given or remembered.
int SyncRecords(const QString& records, const QString& connInfo, const QString& command,
                bool toStdout);

} // namespace velantis
