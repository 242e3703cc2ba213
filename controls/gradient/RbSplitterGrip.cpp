#include "controls/gradient/RbSplitterGrip.h"

#include <algorithm>

namespace controls {

namespace {

constexpr int BandLength = 80;
constexpr int FirstDot = -40, DotPitch = 3, DotCount = 27;

// One raised dot with its top left at (x, y): a grey square lit by a white one a pixel down
// and right, a silver heart and a white outer corner.
void drawDot(gfx::TCanvas& c, int x, int y)
{
    for (int dy = 0; dy < 2; ++dy)
        for (int dx = 0; dx < 2; ++dx)
            c.SetPixel(x + dx, y + dy, gfx::clGray);
    for (int dy = 1; dy < 3; ++dy)
        for (int dx = 1; dx < 3; ++dx)
            c.SetPixel(x + dx, y + dy, gfx::clWhite);
    c.SetPixel(x + 1, y + 1, gfx::clSilver);
    c.SetPixel(x, y, gfx::clGray);
    c.SetPixel(x + 2, y + 2, gfx::clWhite);
}

void drawOne(TBitmap& bmp, const TSplitterGripLook& look, TColor from, TColor to)
{
    const int w = std::max(0, look.Width), h = std::max(0, look.Height);
    bmp.SetPixelFormat(gfx::pf24bit);
    bmp.SetSize(w, h);
    if (w == 0 || h == 0)
        return;
    gfx::TCanvas& c = bmp.Canvas();
    c.Brush().SetStyle(gfx::bsSolid);
    c.Brush().SetColor(look.ControlColor);
    c.FillRect({0, 0, w, h});
    const bool alongX = w > h;
    const int length = alongX ? w : h, middle = length / 2;
    TRect band{0, 0, w, h};
    if (!look.WholeLength) {
        const int a = std::max(0, middle - BandLength / 2), b = std::min(length, middle + BandLength / 2);
        band = alongX ? TRect{a, 0, b, h} : TRect{0, a, w, b};
    }
    DrawGradient(bmp, band, from, nullptr, look.GradientType, to);
    if (!look.ShowGrip)
        return;
    const int across = (alongX ? h : w) / 2 - 1;
    for (int i = 0; i < DotCount; ++i) {
        const int along = middle + FirstDot + i * DotPitch;
        if (alongX) drawDot(c, along, across);
        else drawDot(c, across, along);
    }
}

}  // namespace

void DrawSplitterGrip(TBitmap& normal, TBitmap& over, const TSplitterGripLook& look,
                      const TRbSplitterColors& colors)
{
    drawOne(normal, look, colors.DefaultFrom(), colors.DefaultTo());
    drawOne(over, look, colors.OverFrom(), colors.OverTo());
}

TRbSplitterGrip::TRbSplitterGrip()
{
    colors_.OnChanged = [this] { Rebuild(); };
}

void TRbSplitterGrip::SetLook(const TSplitterGripLook& look)
{
    look_ = look;
    Rebuild();
}

void TRbSplitterGrip::Rebuild() { DrawSplitterGrip(normal_, over_, look_, colors_); }

}  // namespace controls
