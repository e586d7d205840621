// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QPixmap>
#include <QRect>
#include <QSize>

namespace velantis {

// The splash pictures, drawn in code. Both are 794 x 462, 24 bits a pixel, and are identical
// except in the prompt patch, where the word 進入 ("enter") is white with a dark outline in the
// light picture and dark in the dark one; toggling between them makes the prompt blink.
inline constexpr QSize kSplashImageSize{794, 462};
inline constexpr QRect kPromptPatch{76, 385, 62, 30};

enum class PromptShade { Light, Dark };
QImage SplashImage(PromptShade shade);

// The pointer over the prompt: a 32 x 32 (or 16 x 16) arrow stepping through a door, with its
// hot spot at the arrow's tip (SplashPointerHotSpot).
QPixmap SplashPointerPixmap(int size = 32);
QPoint SplashPointerHotSpot(int size = 32);

} // namespace velantis
