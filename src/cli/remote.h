// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

class QCommandLineParser;

namespace velantis {

// `velantis-cli server schema`: prints server.sql, the schema the department's administrator
// loads into the server's database.
int RunServer(const QStringList& args);

// `velantis-cli records list|show|export --remote`: the tests on the department's server.
int RunRemoteRecords(const QStringList& args);

// The --server CONNINFO option, for every command that reaches the server.
void AddServerOption(QCommandLineParser& parser);
// The server a command works with: --server when given, else the connection remembered in the
// programs' settings; empty when there is neither (the command tells NoServerText() and exits 2).
QString ServerConnection(const QCommandLineParser& parser);
QString NoServerText(const QString& command);

} // namespace velantis
