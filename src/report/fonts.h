// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>

namespace velantis {

// The Song face the labels ask for, or the CJK face that stands in for it where it is missing.
QFont SongFont(qreal pointSize, bool bold = false);
// The list's font, 9 pt: Chinese glyphs exactly two ASCII cells wide, so the columns line up.
QFont ListFont();

} // namespace velantis
