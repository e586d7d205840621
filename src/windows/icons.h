// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QPixmap>

namespace velantis {

// The program's own pictures, drawn in code: no icon files to ship or license.
enum class ToolIcon { Open, Read, Save, Print, Clear, Exit };

// A 32 x 32 toolbar picture for one operation.
QPixmap ToolPixmap(ToolIcon which, int size = 32);
// The window icon (a ratio meter in front of a transformer coil), at any size.
QPixmap AppPixmap(int size);
QIcon AppIcon();

} // namespace velantis
