// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "records/text_codec.h"

#include <QStringList>

namespace velantis {

// `velantis-cli live`: one line per live reading, as the main window would show it.
// Both commands first check that GBK can be had (through lookup) and stop with
// NoGbkCodecExitCode and a message when it cannot.
int RunLive(const QStringList& args, const CodecLookup& lookup = QtCodecAvailable);
// `velantis-cli download`: reads every stored group and writes what Save would write.
int RunDownload(const QStringList& args, const CodecLookup& lookup = QtCodecAvailable);

// The longest --timeout taken, in seconds (a day).
inline constexpr double MaxTimeoutSeconds = 86400;

} // namespace velantis
