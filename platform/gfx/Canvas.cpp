// TCanvas's lines, figures, fills and pixels, each drawn by the rasteriser of CanvasRaster.h
// under the platform's rules for end points, edges and pen modes.
#include "platform/gfx/Canvas.h"
#include "platform/gfx/CanvasRaster.h"

namespace gfx {

namespace {
// Half-open box normalised as the platform does (swapped corners).
void normalise(int32_t& l, int32_t& t, int32_t& r, int32_t& b)
{
    if (l > r) std::swap(l, r);
    if (t > b) std::swap(t, b);
}

Span rectSpan(int64_t l, int64_t, int64_t r, int64_t, int64_t) { return {l, r - 1}; }
}  // namespace

TCanvas::TCanvas() = default;
TCanvas::TCanvas(QImage* target) : target_(target) {}
TCanvas::~TCanvas() = default;

void TCanvas::MoveTo(int32_t x, int32_t y)
{
    penPos_ = {x, y};
}

void TCanvas::LineTo(int32_t x, int32_t y)
{
    CanvasRaster r(*this);
    if (r.ok() && r.hasPen()) {
        if (r.widePen()) r.wideLine(penPos_.X, penPos_.Y, x, y);
        else r.line(penPos_.X, penPos_.Y, x, y, false);
    }
    penPos_ = {x, y};
    Changed();
}

void TCanvas::Polyline(std::span<const TPoint> pts)
{
    CanvasRaster r(*this);
    if (!r.ok() || !r.hasPen() || pts.size() < 2)
        return;
    if (r.widePen()) {
        QPainterPath path(QPointF(pts[0].X + 0.5, pts[0].Y + 0.5));
        for (size_t i = 1; i < pts.size(); ++i)
            path.lineTo(pts[i].X + 0.5, pts[i].Y + 0.5);
        Mask m(r.strokeBox(path, pen_.Width()));
        strokeIntoMask(m, path, pen_.Width(), Qt::RoundCap, Qt::RoundJoin);
        r.apply(m);
    } else {
        // The pattern runs on from one segment to the next.
        int64_t step = 0;
        for (size_t i = 1; i < pts.size(); ++i) {
            r.line(pts[i - 1].X, pts[i - 1].Y, pts[i].X, pts[i].Y, false, step);
            step += lineSteps(pts[i - 1].X, pts[i - 1].Y, pts[i].X, pts[i].Y, false);
        }
    }
    Changed();
}

void TCanvas::Polygon(std::span<const TPoint> pts, bool winding)
{
    CanvasRaster r(*this);
    if (!r.ok() || pts.size() < 2)
        return;
    int64_t l = pts[0].X, t = pts[0].Y, rr = pts[0].X, b = pts[0].Y;
    for (const auto& p : pts) {
        l = std::min<int64_t>(l, p.X); rr = std::max<int64_t>(rr, p.X);
        t = std::min<int64_t>(t, p.Y); b = std::max<int64_t>(b, p.Y);
    }
    const int grow = r.widePen() ? pen_.Width() : 0;
    Mask m(visiblePart(r.visible, l, t, rr + 1, b + 1, grow));
    if (m.empty())
        return;
    const size_t n = pts.size();
    std::vector<std::pair<double, int>> cross;
    for (int y = m.box.top(); y <= m.box.bottom(); ++y) {
        const double yc = y + 0.5;
        cross.clear();
        for (size_t i = 0; i < n; ++i) {
            const TPoint& p0 = pts[i];
            const TPoint& p1 = pts[(i + 1) % n];
            if (p0.Y == p1.Y)
                continue;
            const double ya = std::min(p0.Y, p1.Y), yb = std::max(p0.Y, p1.Y);
            if (yc < ya || yc >= yb)
                continue;
            const double x = p0.X + (yc - p0.Y) * (double(p1.X) - p0.X) / (double(p1.Y) - p0.Y);
            cross.emplace_back(x, p1.Y > p0.Y ? 1 : -1);
        }
        std::sort(cross.begin(), cross.end());
        int wind = 0;
        for (size_t k = 0; k + 1 < cross.size(); ++k) {
            wind += cross[k].second;
            const bool inside = winding ? wind != 0 : (k % 2 == 0);
            if (!inside)
                continue;
            const int64_t xa = int64_t(std::ceil(cross[k].first - 0.5));
            const int64_t xb = int64_t(std::ceil(cross[k + 1].first - 0.5)) - 1;
            for (int64_t x = std::max<int64_t>(xa, m.box.left()); x <= std::min<int64_t>(xb, m.box.right()); ++x)
                m.at(x, y) = 1;
        }
    }
    if (r.hasPen()) {
        if (r.widePen()) {
            QPainterPath path(QPointF(pts[0].X + 0.5, pts[0].Y + 0.5));
            for (size_t i = 1; i < n; ++i)
                path.lineTo(pts[i].X + 0.5, pts[i].Y + 0.5);
            path.closeSubpath();
            strokeIntoMask(m, path, pen_.Width(), Qt::RoundCap, Qt::RoundJoin);
        } else {
            // The pattern runs on around the polygon; its gaps leave the fill (or nothing).
            const auto& pattern = dashPattern(pen_.Style());
            const bool solid = pattern.size() == 1;
            int64_t step = 0;
            for (size_t i = 0; i < n; ++i) {
                const TPoint& p0 = pts[i];
                const TPoint& p1 = pts[(i + 1) % n];
                walkClipped(p0.X, p0.Y, p1.X, p1.Y, false, m.box, [&](int64_t x, int64_t y, int64_t k) {
                    if (solid || patternOn(pattern, step + k))
                        m.mark(x, y, 2);
                });
                step += lineSteps(p0.X, p0.Y, p1.X, p1.Y, false);
            }
        }
    }
    r.apply(m);
    Changed();
}

void TCanvas::Rectangle(int32_t l, int32_t t, int32_t rr, int32_t b)
{
    normalise(l, t, rr, b);
    CanvasRaster r(*this);
    if (!r.ok() || rr <= l || b <= t)
        return;
    if (r.widePen()) {
        QPainterPath path;
        path.addRect(QRectF(l + 0.5, t + 0.5, double(rr) - l - 1, double(b) - t - 1));
        r.spanFigure(l, t, rr, b, rectSpan, &path);
    } else if (r.styledPen()) {
        r.spanFigure(l, t, rr, b, rectSpan, nullptr);
    } else {
        r.rect(l, t, rr, b);
    }
    Changed();
}

void TCanvas::RoundRect(int32_t l, int32_t t, int32_t rr, int32_t b, int32_t w, int32_t h)
{
    normalise(l, t, rr, b);
    CanvasRaster r(*this);
    if (!r.ok() || rr <= l || b <= t)
        return;
    auto span = [w, h](int64_t L, int64_t T, int64_t R, int64_t B, int64_t y) {
        return raster::roundRectSpan(L, T, R, B, w, h, y);
    };
    QPainterPath path;
    if (r.widePen())
        path.addRoundedRect(QRectF(l + 0.5, t + 0.5, double(rr) - l - 1, double(b) - t - 1),
                            w / 2.0, h / 2.0);
    r.spanFigure(l, t, rr, b, span, r.widePen() ? &path : nullptr);
    Changed();
}

void TCanvas::Ellipse(int32_t l, int32_t t, int32_t rr, int32_t b)
{
    normalise(l, t, rr, b);
    CanvasRaster r(*this);
    if (!r.ok() || rr <= l || b <= t)
        return;
    QPainterPath path;
    if (r.widePen())
        path.addEllipse(QRectF(l + 0.5, t + 0.5, double(rr) - l - 1, double(b) - t - 1));
    r.spanFigure(l, t, rr, b, raster::ellipseSpan, r.widePen() ? &path : nullptr);
    Changed();
}

namespace {
enum class ArcKind { Arc, Pie, Chord };

struct ArcGeometry {
    double cx, cy, ax, by, start, sweep;
    int64_t l, t, r, b;
    // The pixel holding a point of the ellipse (a small bias keeps 8 - 1e-15 on pixel 8).
    int64_t px(double angle) const { return pixel(cx + std::cos(angle) * ax, l, r); }
    int64_t py(double angle) const { return pixel(cy - std::sin(angle) * by, t, b); }
    static int64_t pixel(double v, int64_t lo, int64_t hi)
    {
        return std::clamp<int64_t>(int64_t(std::floor(v + 1e-7)), lo, hi - 1);
    }
    bool inSector(double x, double y) const
    {
        double a = std::atan2(-(y - cy), x - cx);
        double d = std::fmod(a - start + 4 * kPi, 2 * kPi);
        return d <= sweep + 1e-9;
    }
};

ArcGeometry arcGeometry(int32_t l, int32_t t, int32_t r, int32_t b, int32_t x3, int32_t y3,
                        int32_t x4, int32_t y4)
{
    ArcGeometry g;
    g.l = l; g.t = t; g.r = r; g.b = b;
    g.cx = (double(l) + r) / 2; g.cy = (double(t) + b) / 2;
    g.ax = (double(r) - l) / 2; g.by = (double(b) - t) / 2;
    g.start = std::atan2(-(y3 - g.cy), x3 - g.cx);
    const double end = std::atan2(-(y4 - g.cy), x4 - g.cx);
    g.sweep = std::fmod(end - g.start + 4 * kPi, 2 * kPi);
    if (g.sweep < 1e-12)
        g.sweep = 2 * kPi;
    return g;
}
}  // namespace

static void arcFigure(TCanvas& canvas, CanvasRaster& r, ArcKind kind, int32_t l, int32_t t,
                      int32_t rr, int32_t b, int32_t x3, int32_t y3, int32_t x4, int32_t y4)
{
    normalise(l, t, rr, b);
    if (!r.ok() || rr <= l || b <= t)
        return;
    const ArcGeometry g = arcGeometry(l, t, rr, b, x3, y3, x4, y4);
    const bool pen = r.hasPen();
    const bool wide = pen && r.widePen();
    Mask m(visiblePart(r.visible, l, t, rr, b, wide ? canvas.Pen().Width() : 0));
    if (m.empty())
        return;
    const double endAngle = g.start + g.sweep;
    // Chord: keep the side of the chord line where the arc's middle lies.
    const double sx = g.cx + std::cos(g.start) * g.ax, sy = g.cy - std::sin(g.start) * g.by;
    const double ex = g.cx + std::cos(endAngle) * g.ax, ey = g.cy - std::sin(endAngle) * g.by;
    const double mid = g.start + g.sweep / 2;
    const double mx = g.cx + std::cos(mid) * g.ax, my = g.cy - std::sin(mid) * g.by;
    auto side = [&](double x, double y) { return (ex - sx) * (y - sy) - (ey - sy) * (x - sx); };
    const double midSide = side(mx, my);
    const bool fullChord = g.sweep >= 2 * kPi - 1e-9;
    auto keep = [&](double x, double y) {
        if (kind == ArcKind::Chord)
            return fullChord || side(x, y) * midSide >= 0;
        return g.inSector(x, y);
    };
    // A styled pen's pattern runs from the start of the arc counter-clockwise to its end, then
    // (pie) to the centre and back out to the start, or (chord) straight back to the start.
    const bool styled = r.styledPen();
    const auto& pattern = dashPattern(canvas.Pen().Style());
    std::optional<OutlineOrder> order;
    int64_t arcStart = 0, arcLength = 0;
    if (styled) {
        order.emplace(l, t, rr, b, raster::ellipseSpan, m.box.top(), m.box.bottom());
        const int64_t n = order->length();
        // The arc's ends are its first and last pixels in the sector.
        auto inSector = [&g](int64_t x, int64_t y) { return g.inSector(x + 0.5, y + 0.5); };
        arcStart = order->nearest(sx, sy, inSector);
        arcLength = g.sweep >= 2 * kPi - 1e-9 ? n : (arcStart - order->nearest(ex, ey, inSector) + n) % n;
    }
    // Steps along the arc, counted against the outline's clockwise order; a pixel the sector
    // takes in just before the start counts back from it.
    auto arcStep = [&](int64_t x, int64_t y) {
        const int64_t n = order->length();
        const int64_t d = (arcStart - order->position(x, y) + n) % n;
        return d > arcLength && n - d < d - arcLength ? d - n : d;
    };
    const uint8_t gap = kind == ArcKind::Arc ? 0 : 1;
    for (int y = m.box.top(); y <= m.box.bottom(); ++y) {
        if (y < t || y >= b)
            continue;
        const Span s = raster::ellipseSpan(l, t, rr, b, y);
        const Span up = y > t ? raster::ellipseSpan(l, t, rr, b, y - 1) : Span{};
        const Span dn = y + 1 < b ? raster::ellipseSpan(l, t, rr, b, y + 1) : Span{};
        for (int64_t x = std::max<int64_t>(s.a, m.box.left()); x <= std::min<int64_t>(s.b, m.box.right()); ++x) {
            if (!keep(x + 0.5, y + 0.5))
                continue;
            const bool edge = x == s.a || x == s.b || !up.contains(x) || !dn.contains(x);
            if (edge && pen && !wide)
                m.at(x, y) = !styled || patternOn(pattern, arcStep(x, y)) ? 2 : gap;
            else if (kind != ArcKind::Arc)
                m.at(x, y) = 1;
        }
    }
    if (pen && !wide && kind != ArcKind::Arc) {
        // Each line is walked from its first point as before; `back` counts its steps from the
        // far end, for the lines the outline runs along towards their first point.
        auto markFrom = [&](int64_t first, int64_t length, bool back) {
            return [&m, &pattern, styled, first, length, back](int64_t x, int64_t y, int64_t k) {
                if (!styled || patternOn(pattern, first + (back ? length - 1 - k : k)))
                    m.mark(x, y, 2);
            };
        };
        const int64_t cxp = ArcGeometry::pixel(g.cx, l, rr), cyp = ArcGeometry::pixel(g.cy, t, b);
        const int64_t spx = g.px(g.start), spy = g.py(g.start), epx = g.px(endAngle), epy = g.py(endAngle);
        if (kind == ArcKind::Pie) {
            const int64_t toEnd = lineSteps(cxp, cyp, epx, epy, true);
            walkClipped(cxp, cyp, epx, epy, true, m.box, markFrom(arcLength, toEnd, true));
            walkClipped(cxp, cyp, spx, spy, true, m.box, markFrom(arcLength + toEnd - 1, 0, false));
        } else if (!fullChord) {
            walkClipped(spx, spy, epx, epy, true, m.box,
                        markFrom(arcLength, lineSteps(spx, spy, epx, epy, true), true));
        }
    }
    if (wide) {
        const QRectF box(l + 0.5, t + 0.5, double(rr) - l - 1, double(b) - t - 1);
        const double startDeg = g.start * 180 / kPi, sweepDeg = g.sweep * 180 / kPi;
        QPainterPath path;
        if (kind == ArcKind::Pie) {
            path.moveTo(box.center());
            path.arcTo(box, startDeg, sweepDeg);
            path.closeSubpath();
        } else {
            path.arcMoveTo(box, startDeg);
            path.arcTo(box, startDeg, sweepDeg);
            if (kind == ArcKind::Chord)
                path.closeSubpath();
        }
        strokeIntoMask(m, path, canvas.Pen().Width(), Qt::RoundCap, Qt::RoundJoin);
    }
    r.apply(m);
}

void TCanvas::Arc(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3,
                  int32_t x4, int32_t y4)
{
    CanvasRaster r(*this);
    arcFigure(*this, r, ArcKind::Arc, x1, y1, x2, y2, x3, y3, x4, y4);
    Changed();
}

void TCanvas::Pie(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3,
                  int32_t x4, int32_t y4)
{
    CanvasRaster r(*this);
    arcFigure(*this, r, ArcKind::Pie, x1, y1, x2, y2, x3, y3, x4, y4);
    Changed();
}

void TCanvas::Chord(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3,
                    int32_t x4, int32_t y4)
{
    CanvasRaster r(*this);
    arcFigure(*this, r, ArcKind::Chord, x1, y1, x2, y2, x3, y3, x4, y4);
    Changed();
}

void TCanvas::FillRect(const TRect& rc)
{
    CanvasRaster r(*this);
    if (!r.ok() || rc.IsEmpty())
        return;
    const QRect box = visiblePart(r.visible, rc.Left, rc.Top, rc.Right, rc.Bottom, 0);
    if (box.isEmpty())
        return;
    const bool plain32 = r.img->format() == QImage::Format_RGB32 || r.img->format() == QImage::Format_ARGB32;
    if (brush_.Style() == bsSolid && !r.complex && plain32) {
        // The common case (every control clears its background this way), row by row.
        const QRgb v = raster::toQRgb(brush_.Color());
        for (int y = box.top(); y <= box.bottom(); ++y)
            std::fill_n(reinterpret_cast<QRgb*>(r.img->scanLine(y)) + box.left(), box.width(), v);
    } else {
        for (int y = box.top(); y <= box.bottom(); ++y)
            for (int x = box.left(); x <= box.right(); ++x)
                r.brushPlot(x, y, pmCopy);
    }
    Changed();
}

void TCanvas::FrameRect(const TRect& rc)
{
    CanvasRaster r(*this);
    if (!r.ok() || rc.IsEmpty())
        return;
    Mask m(visiblePart(r.visible, rc.Left, rc.Top, rc.Right, rc.Bottom, 0));
    for (int y = m.box.top(); y <= m.box.bottom(); ++y)
        for (int x = m.box.left(); x <= m.box.right(); ++x)
            if (x == rc.Left || x == rc.Right - 1 || y == rc.Top || y == rc.Bottom - 1)
                r.plot(x, y, ColorToRGB(brush_.Color()), pmCopy);
    Changed();
}

void TCanvas::DrawFocusRect(const TRect& rc)
{
    CanvasRaster r(*this);
    if (!r.ok() || rc.IsEmpty())
        return;
    Mask m(visiblePart(r.visible, rc.Left, rc.Top, rc.Right, rc.Bottom, 0));
    for (int y = m.box.top(); y <= m.box.bottom(); ++y)
        for (int x = m.box.left(); x <= m.box.right(); ++x) {
            const bool ring = x == rc.Left || x == rc.Right - 1 || y == rc.Top || y == rc.Bottom - 1;
            if (ring && ((x + y) & 1) == 0)
                r.plot(x, y, 0xFFFFFF, pmXor);
        }
    Changed();
}

void TCanvas::DrawEdge(TRect& rc, unsigned edge, unsigned flags)
{
    struct Ring {
        unsigned bit;
        TColor topLeft, bottomRight;
    };
    // Outer ring first, then inner.
    const Ring rings[2][2] = {
        {{BDR_RAISEDOUTER, cl3DLight, cl3DDkShadow}, {BDR_SUNKENOUTER, clBtnShadow, clBtnHighlight}},
        {{BDR_RAISEDINNER, clBtnHighlight, clBtnShadow}, {BDR_SUNKENINNER, cl3DDkShadow, cl3DLight}},
    };
    const TBrush saved = brush_;
    TRect cur = rc;
    for (const auto& pair : rings) {
        for (const Ring& ring : pair) {
            if (!(edge & ring.bit) || cur.IsEmpty())
                continue;
            TColor tl = ring.topLeft, br = ring.bottomRight;
            if (flags & BF_MONO) tl = br = clWindowFrame;
            else if (flags & BF_FLAT) tl = br = clBtnShadow;
            brush_.SetStyle(bsSolid);
            brush_.SetColor(tl);
            if (flags & BF_TOP) FillRect({cur.Left, cur.Top, cur.Right, cur.Top + 1});
            if (flags & BF_LEFT) FillRect({cur.Left, cur.Top, cur.Left + 1, cur.Bottom});
            brush_.SetColor(br);
            if (flags & BF_BOTTOM) FillRect({cur.Left, cur.Bottom - 1, cur.Right, cur.Bottom});
            if (flags & BF_RIGHT) FillRect({cur.Right - 1, cur.Top, cur.Right, cur.Bottom});
            if (flags & BF_LEFT) ++cur.Left;
            if (flags & BF_TOP) ++cur.Top;
            if (flags & BF_RIGHT) --cur.Right;
            if (flags & BF_BOTTOM) --cur.Bottom;
            break;
        }
    }
    if (flags & BF_MIDDLE) {
        brush_.SetStyle(bsSolid);
        brush_.SetColor(clBtnFace);
        FillRect(cur);
    }
    brush_ = saved;
    if (flags & BF_ADJUST)
        rc = cur;
    Changed();
}

void TCanvas::FloodFill(int32_t x, int32_t y, TColor color, TFillStyle style)
{
    CanvasRaster r(*this);
    if (!r.ok() || !r.isVisible(x, y))
        return;
    const TColor key = ColorToRGB(color);
    const QRect box = r.visible;
    const QImage snapshot = r.img->copy();  // decide on the original pixels only
    auto qualifies = [&](int px, int py) {
        if (!r.isVisible(px, py))
            return false;
        const bool same = raster::getPixel(snapshot, px, py) == key;
        return style == fsSurface ? same : !same;
    };
    if (!qualifies(x, y))
        return;
    std::vector<uint8_t> seen(size_t(box.width()) * box.height());
    auto idx = [&](int px, int py) { return size_t(py - box.top()) * box.width() + (px - box.left()); };
    std::vector<QPoint> stack{QPoint(x, y)};
    while (!stack.empty()) {
        QPoint p = stack.back();
        stack.pop_back();
        if (seen[idx(p.x(), p.y())] || !qualifies(p.x(), p.y()))
            continue;
        int xl = p.x(), xr = p.x();
        while (xl - 1 >= box.left() && !seen[idx(xl - 1, p.y())] && qualifies(xl - 1, p.y())) --xl;
        while (xr + 1 <= box.right() && !seen[idx(xr + 1, p.y())] && qualifies(xr + 1, p.y())) ++xr;
        for (int px = xl; px <= xr; ++px) {
            seen[idx(px, p.y())] = 1;
            r.brushPlot(px, p.y(), pmCopy);
            for (int dy : {-1, 1}) {
                const int ny = p.y() + dy;
                if (ny >= box.top() && ny <= box.bottom() && !seen[idx(px, ny)] && qualifies(px, ny))
                    stack.emplace_back(px, ny);
            }
        }
    }
    Changed();
}

TColor TCanvas::Pixels(int32_t x, int32_t y)
{
    CanvasRaster r(*this);
    if (!r.ok() || !r.isVisible(x, y))
        return -1;
    return raster::getPixel(*r.img, x, y);
}

void TCanvas::SetPixel(int32_t x, int32_t y, TColor color)
{
    CanvasRaster r(*this);
    if (!r.ok())
        return;
    r.plot(x, y, ColorToRGB(color), pmCopy);
    Changed();
}


}  // namespace gfx
