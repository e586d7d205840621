// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

namespace velantis {

// `velantis-cli decode HEX...`: one captured frame as JSON. Exit 0 valid, 1 checksum mismatch,
// 2 input that is not 20 bytes of hex.
int RunDecode(const QStringList& args);

} // namespace velantis
