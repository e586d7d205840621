// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/sync.h"

#include "archive/sync_worker.h"
#include "cli/output.h"
#include "cli/remote.h"

#include <QCoreApplication>

#include <cstdio>

namespace velantis {

namespace {

enum ExitCode { Ok = 0, Usage = 2, Waiting = 7 };

// One line per test: what happened, the uuid and the local number. The fixed words are data
// for scripts, never translated.
QString EventLine(const SyncEvent& e) {
    switch (e.kind) {
    case SyncEvent::Kind::Sent:
        return QStringLiteral("sent\t%1\t%2").arg(e.uuid).arg(e.number);
    case SyncEvent::Kind::Updated:
        return QStringLiteral("updated\t%1\t%2\trevision %3")
            .arg(e.uuid)
            .arg(e.number)
            .arg(e.revision);
    case SyncEvent::Kind::Superseded:
        return QStringLiteral("superseded\t%1").arg(e.uuid);
    case SyncEvent::Kind::Refused:
        return QStringLiteral("refused\t%1\t%2").arg(e.uuid).arg(e.number);
    }
    return {};
}

} // namespace

int SyncRecords(const QString& records, const QString& connInfo, const QString& command,
                bool toStdout) {
    if (connInfo.isEmpty()) {
        PrintLine(NoServerText(command));
        return Usage;
    }
    // One pass on this thread: the command waits for it anyway, and libpq's connect_timeout,
    // keepalives and tcp_user_timeout (which the server archive adds) bound a silent server.
    Archive archive(records);
    ServerArchive server(connInfo);
    const SyncResult outcome = SyncPass(
        archive, server,
        [&](const SyncEvent& e) {
            PrintLine(EventLine(e), toStdout ? stdout : stderr);
            if (e.kind == SyncEvent::Kind::Refused)
                PrintLine(e.reason);
        },
        nullptr);
    if (outcome.waiting == 0)
        return Ok;
    PrintLine(QCoreApplication::translate("Sync", "velantis-cli %1: %n still waiting: %2", nullptr,
                                          outcome.waiting)
                  .arg(command, outcome.reason));
    return Waiting;
}

} // namespace velantis
