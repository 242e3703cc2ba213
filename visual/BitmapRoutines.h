// The picture effects of FastFX.h applied to class-library bitmaps: each routine loads the
// bitmap into the engine's work fast bitmaps, runs the effect and draws the result back onto
// the bitmap at (0, 0). Also the small colour and clamping helpers of the visual modes.
//
// The routines share the work buffers 1-3 and work bitmap B of TVisualResources, so no two of
// them may run at once (UI thread only). Each swallows any exception raised inside it: the
// bitmap then keeps whatever was drawn back before the failure.
#pragma once

#include <cstdint>

#include "platform/gfx/Colors.h"

namespace gfx {
class TBitmap;
}
class TVisualResources;

// Resizes Bitmap to the bounds of its picture rotated by Angle degrees and fills it with the
// picture so rotated about the centre, on black (the colour the modes make transparent).
void RotateBitmap(TVisualResources& Res, gfx::TBitmap& Bitmap, double Angle);
void TwistBitmap(TVisualResources& Res, gfx::TBitmap& Bitmap, int Amount);
void BlurBitmap(TVisualResources& Res, gfx::TBitmap& Bitmap, int Amount);
void SplitBlurBitmap(TVisualResources& Res, gfx::TBitmap& Bitmap, int Amount);
// Vertical 0: horizontal shift; otherwise vertical.
void ShiftBitmap(TVisualResources& Res, gfx::TBitmap& Bitmap, int Amount, int Vertical);
// A := B + (A - B) x Amount / 256 over the area the two share; Amount 256 leaves A, 0 copies B.
void BlendBitmaps(TVisualResources& Res, gfx::TBitmap& A, gfx::TBitmap& B, int Amount);

// The colour resolved to RGB (system colours included), split into its bytes.
void SplitColor(gfx::TColor Colour, int& Red, int& Green, int& Blue);
// Value limited to Centre - Range .. Centre + Range.
void ClampAround(int& Value, int Centre, int Range);
