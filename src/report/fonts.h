// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>
#include <QString>

namespace velantis {

// The face Chinese text is drawn in, found once: an installed Song face (宋体, SimSun) or
// WenQuanYi Zen Hei, else any installed face for simplified Chinese, else a Chinese font of the
// system's font folder loaded into the program (the offscreen platform on Windows sees none of
// the system's fonts by itself), else the font shipped beside the program (ShippedFontPath()).
// Empty when none of them is there: text drawn then would come out as filled bars.
QString ChineseFontFamily();
// Where the programs look for the font shipped with them: fonts/wqy-microhei.ttc beside the
// program.
QString ShippedFontPath();

// The Song face the labels ask for, or the CJK face that stands in for it where it is missing.
QFont SongFont(qreal pointSize, bool bold = false);
// The list's font, 9 pt: Chinese glyphs exactly two ASCII cells wide, so the columns line up.
QFont ListFont();

} // namespace velantis
