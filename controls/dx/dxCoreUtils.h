// Drawing helpers of the themed controls: the banded face gradients and the greyed glyph.
// Plain functions on pictures; UI thread callers.
#pragma once
#include <QImage>

#include "platform/gfx/Bitmap.h"

namespace controls {

// Makes `bitmap` a 24-bit picture of w x h filled top to bottom with `bands` horizontal bands
// running from `fromColor` (first band) to `toColor` (last band). Sizes below 1 give an empty
// picture.
void FillBandedGradient(gfx::TBitmap& bitmap, int w, int h, gfx::TColor fromColor,
                        gfx::TColor toColor, int bands = 64);

// Greys a glyph: each pixel becomes (R + G + B) / 3 + 100, at most 255, in all three channels;
// pixels of the colour `key` (the glyph's see-through colour) stay as they are.
void GreyGlyph(QImage& glyph, gfx::TColor key);

}  // namespace controls
