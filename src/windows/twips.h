// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>

namespace velantis {

// Layouts are given in twips, 15 to the pixel at 96 dpi.
constexpr int TwipsToPixels(int twips) {
    return (twips + 7) / 15;
}
constexpr QRect Twips(int left, int top, int width, int height) {
    return QRect(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width),
                 TwipsToPixels(height));
}

} // namespace velantis
