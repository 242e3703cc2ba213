// Pixel-level helpers shared by the canvas, the region builders and the bitmap: reading and
// writing one pixel of a QImage in any of the formats our surfaces use, and the row spans of
// the platform's ellipse and rounded rectangle. Internal to platform/gfx. Any thread, on
// images the caller owns.
#pragma once
#include <cstdint>

#include <QImage>

#include "platform/gfx/Colors.h"

namespace gfx::raster {

// Inclusive pixel range a..b of one row; empty when a > b.
struct Span {
    int64_t a = 1;
    int64_t b = 0;
    bool empty() const { return a > b; }
    bool contains(int64_t x) const { return x >= a && x <= b; }
};

// Row y of the ellipse inscribed in the box [l, r) x [t, b): the pixels whose centres lie in
// it, never empty for t <= y < b, so the figure reaches all four edges of its box.
Span ellipseSpan(int64_t l, int64_t t, int64_t r, int64_t b, int64_t y);
// Row y of the rectangle [l, r) x [t, b) with corners rounded by a w x h ellipse.
Span roundRectSpan(int64_t l, int64_t t, int64_t r, int64_t b, int64_t w, int64_t h, int64_t y);

// Formats that a canvas can draw on.
bool isPaintable(QImage::Format f);
// Pixel read/write for the paintable formats (x, y inside the image).
TColor getPixel(const QImage& img, int x, int y);
void setPixel(QImage& img, int x, int y, TColor c);

// The colour of a 32-bit ARGB value, and back (alpha 255).
inline TColor fromQRgb(QRgb v) { return RGB(qRed(v), qGreen(v), qBlue(v)); }
inline QRgb toQRgb(TColor c)
{
    c = ColorToRGB(c);
    return qRgb(GetRValue(c), GetGValue(c), GetBValue(c));
}

}  // namespace gfx::raster
