#include "controls/display/LED.h"

#include <array>

namespace controls {

using gfx::TPoint;

namespace {
constexpr gfx::TColor kGrey = gfx::clGray;
constexpr gfx::TColor kSilver = gfx::clSilver;

void polyline(gfx::TCanvas& c, gfx::TColor color, std::span<const TPoint> pts)
{
    c.Pen().SetColor(color);
    c.Polyline(pts);
}
}  // namespace

TLED::TLED(QWidget* parent) : TCustomControl(parent)
{
    // Drawn on whatever lies behind it, as a windowless lamp was.
    SetTransparentBackground(true);
    resize(24, 13);
}

void TLED::SetStatus(bool on)
{
    if (on == status_)
        return;
    status_ = on;
    Invalidate();
}

void TLED::Paint()
{
    gfx::TCanvas& c = Canvas();
    c.Pen().SetWidth(1);
    c.Pen().SetStyle(gfx::psSolid);
    c.Pen().SetColor(gfx::clBlack);
    c.Brush().SetStyle(gfx::bsSolid);
    c.Brush().SetColor(status_ ? gfx::clRed : kGrey);
    const int w = width(), h = height();
    if (w >= h)
        paintHorizontal(c, w, h);
    else
        paintVertical(c, w, h);
}

void TLED::paintHorizontal(gfx::TCanvas& c, int w, int h)
{
    const int a = h / 2, b = w - a;
    const std::array<TPoint, 7> body = {{{0, a + 2}, {a - 1, 3}, {b + 1, 3}, {w - 1, a + 1},
                                         {b, h - 1}, {a - 2, h - 1}, {0, a + 2}}};
    c.Polygon(body);
    const std::array<TPoint, 6> light = {{{0, a}, {a - 1, 1}, {b + 1, 1}, {w - 1, a - 1},
                                          {b, h - 3}, {a - 3, h - 3}}};
    polyline(c, gfx::clWhite, light);
    const std::array<TPoint, 4> upper = {{{0, a + 1}, {a - 1, 2}, {b, 2}, {w - 2, a}}};
    polyline(c, kGrey, upper);
    const std::array<TPoint, 4> lower = {{{w - 1, a}, {b, h - 2}, {a - 2, h - 2}, {0, a + 1}}};
    polyline(c, kGrey, lower);
    c.Pen().SetColor(kSilver);
    c.MoveTo(a - 2, h - 3);
    c.LineTo(0, h / 2);
}

void TLED::paintVertical(gfx::TCanvas& c, int w, int h)
{
    const int a = w / 2, b = h - a;
    const std::array<TPoint, 7> body = {{{a + 2, 0}, {w - 1, a - 2}, {w - 1, b}, {a + 1, h - 1},
                                         {3, b + 1}, {3, a - 1}, {a + 2, 0}}};
    c.Polygon(body);
    const std::array<TPoint, 6> light = {{{a, 0}, {1, a - 1}, {1, b + 1}, {a - 1, h - 1},
                                          {w - 3, b}, {w - 3, a - 3}}};
    polyline(c, gfx::clWhite, light);
    const std::array<TPoint, 4> left = {{{a + 1, 0}, {2, a - 1}, {2, b}, {a, h - 2}}};
    polyline(c, kGrey, left);
    const std::array<TPoint, 4> right = {{{a, h - 1}, {w - 2, b}, {w - 2, a - 2}, {a + 1, 0}}};
    polyline(c, kGrey, right);
    c.Pen().SetColor(kSilver);
    c.MoveTo(w - 3, a - 2);
    c.LineTo(w / 2, 0);
}

}  // namespace controls
