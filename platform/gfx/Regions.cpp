#include "platform/gfx/Regions.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/gfx/Raster.h"

namespace gfx {

namespace {
// Builds a region row by row from inclusive spans.
template <class SpanFn>
QRegion fromSpans(int32_t t, int32_t b, SpanFn span)
{
    QRegion rgn;
    std::vector<QRect> rects;
    for (int32_t y = t; y < b; ++y) {
        const raster::Span s = span(y);
        if (!s.empty())
            rects.emplace_back(int(s.a), int(y), int(s.b - s.a + 1), 1);
    }
    rgn.setRects(rects.data(), int(rects.size()));
    return rgn;
}

void order(int32_t& l, int32_t& t, int32_t& r, int32_t& b)
{
    if (l > r) std::swap(l, r);
    if (t > b) std::swap(t, b);
}
}  // namespace

QRegion CreateRectRgn(int32_t l, int32_t t, int32_t r, int32_t b)
{
    order(l, t, r, b);
    return QRegion(l, t, r - l, b - t);
}

QRegion CreateEllipticRgn(int32_t l, int32_t t, int32_t r, int32_t b)
{
    order(l, t, r, b);
    return fromSpans(t, b, [&](int32_t y) { return raster::ellipseSpan(l, t, r, b, y); });
}

QRegion CreateRoundRectRgn(int32_t l, int32_t t, int32_t r, int32_t b, int32_t w, int32_t h)
{
    order(l, t, r, b);
    return fromSpans(t, b, [&](int32_t y) { return raster::roundRectSpan(l, t, r, b, w, h, y); });
}

QRegion CreatePolygonRgn(std::span<const TPoint> pts, bool winding)
{
    if (pts.size() < 3)
        return {};
    QPolygon poly;
    for (const auto& p : pts)
        poly << QPoint(p.X, p.Y);
    return QRegion(poly, winding ? Qt::WindingFill : Qt::OddEvenFill);
}

}  // namespace gfx
