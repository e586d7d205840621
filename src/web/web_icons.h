// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QPixmap>

namespace velantis {

// The web-page window's pictures, drawn in code.
enum class WebIcon { Back, Forward, Home, Stop, Window };

QPixmap WebPixmap(WebIcon which, int size = 32);
QIcon WebWindowIcon();

} // namespace velantis
