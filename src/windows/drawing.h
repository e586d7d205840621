// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QPainter>
#include <QPixmap>

namespace velantis::drawing {

// The colours the program's drawn icons share.
inline const QColor Ink(40, 50, 70);
inline const QColor Blue(40, 110, 200);
inline const QColor Green(40, 150, 80);
inline const QColor Red(200, 50, 40);

// A transparent square pixmap of the given size with the painter begun on it, antialiased and
// scaled so that the picture is drawn on a 32-unit grid whatever the size.
inline QPixmap Canvas(int size, QPainter& p) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    p.begin(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    return pixmap;
}

} // namespace velantis::drawing
