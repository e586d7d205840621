#pragma once

#include <QStringList>

namespace velantis {

// `velantis-cli live`: one line per live reading, as the main window would show it.
int RunLive(const QStringList& args);
// `velantis-cli download`: reads every stored group and writes what Save would write.
int RunDownload(const QStringList& args);

} // namespace velantis
