#include "visual/BitmapRoutines.h"

#include <exception>

#include "platform/gfx/Bitmap.h"
#include "visual/FastBMP.h"
#include "visual/FastFX.h"
#include "visual/VisualResources.h"

namespace {

// Runs one routine, discarding what it raises (a half-drawn frame beats a lost one).
template <typename F>
void guarded(F&& routine)
{
    try {
        routine();
    } catch (const std::exception&) {
    }
}

}  // namespace

void RotateBitmap(TVisualResources& Res, gfx::TBitmap& Bitmap, double Angle)
{
    guarded([&] {
        TFastBMP& buffer1 = Res.Buffer(1);
        TFastBMP& buffer2 = Res.Buffer(2);
        buffer1.LoadFromBitmap(Bitmap);
        int w = buffer1.Width;
        int h = buffer1.Height;
        RotateSize(w, h, Angle);
        buffer1.SetSize(w, h);
        gfx::TBitmap& black = Res.WorkB();
        black.SetPixelFormat(gfx::pf24bit);
        black.SetSize(w, h);
        black.Canvas().Brush().SetColor(gfx::clBlack);
        black.Canvas().FillRect(gfx::TRect{0, 0, w, h});
        buffer1.LoadFromBitmap(black);
        buffer2.LoadFromBitmap(Bitmap);
        Bitmap.SetSize(w, h);
        Rotate(buffer2, buffer1, w / 2, h / 2, Angle);
        buffer2.CopyFrom(buffer1);
        buffer2.DrawOnBitmap(Bitmap, 0, 0);
    });
}

void TwistBitmap(TVisualResources& Res, gfx::TBitmap& Bitmap, int Amount)
{
    guarded([&] {
        Res.Buffer(2).LoadFromBitmap(Bitmap);
        Res.Buffer(1).LoadFromBitmap(Bitmap);
        Twist(Res.Buffer(2), Res.Buffer(1), Amount);
        Res.Buffer(1).DrawOnBitmap(Bitmap, 0, 0);
    });
}

void BlurBitmap(TVisualResources& Res, gfx::TBitmap& Bitmap, int Amount)
{
    guarded([&] {
        Res.Buffer(1).LoadFromBitmap(Bitmap);
        BlurPasses(Res.Buffer(1), Amount);
        Res.Buffer(1).DrawOnBitmap(Bitmap, 0, 0);
    });
}

void SplitBlurBitmap(TVisualResources& Res, gfx::TBitmap& Bitmap, int Amount)
{
    guarded([&] {
        Res.Buffer(1).LoadFromBitmap(Bitmap);
        SplitBlur(Res.Buffer(1), Amount);
        Res.Buffer(1).DrawOnBitmap(Bitmap, 0, 0);
    });
}

void ShiftBitmap(TVisualResources& Res, gfx::TBitmap& Bitmap, int Amount, int Vertical)
{
    guarded([&] {
        Res.Buffer(1).LoadFromBitmap(Bitmap);
        if (Vertical == 0)
            HorizontalShift(Res.Buffer(1), Amount);
        else
            VerticalShift(Res.Buffer(1), Amount);
        Res.Buffer(1).DrawOnBitmap(Bitmap, 0, 0);
    });
}

void BlendBitmaps(TVisualResources& Res, gfx::TBitmap& A, gfx::TBitmap& B, int Amount)
{
    guarded([&] {
        Res.Buffer(1).LoadFromBitmap(A);
        Res.Buffer(2).LoadFromBitmap(A);
        Res.Buffer(3).LoadFromBitmap(B);
        Blend(Res.Buffer(1), Res.Buffer(2), Res.Buffer(3), Amount);
        Res.Buffer(1).DrawOnBitmap(A, 0, 0);
    });
}

void SplitColor(gfx::TColor Colour, int& Red, int& Green, int& Blue)
{
    const gfx::TColor rgb = gfx::ColorToRGB(Colour);
    Red = gfx::GetRValue(rgb);
    Green = gfx::GetGValue(rgb);
    Blue = gfx::GetBValue(rgb);
}

void ClampAround(int& Value, int Centre, int Range)
{
    if (Value < Centre - Range)
        Value = Centre - Range;
    else if (Value > Centre + Range)
        Value = Centre + Range;
}
