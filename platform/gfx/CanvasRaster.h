// Inside the canvas: the rasteriser that TCanvas's drawing calls share. Included only by the
// canvas's own sources (Canvas.cpp, CanvasText.cpp).
//
// Rasterising follows one scheme: a primitive first decides, for every pixel of its visible
// bounding box, whether the pixel belongs to the pen (2), the brush (1) or neither (0), and
// only then paints, so each pixel is touched once whatever the pen mode. Row spans of
// rectangles, ellipses and rounded rectangles give the outline directly: a pixel is on the
// 1-px outline when it ends its row's span or its neighbour above or below is outside the
// figure. Wide pens are stroked by QPainter into a coverage mask first (a single line's shape
// is stroked once and kept).
#pragma once

#include "platform/gfx/Canvas.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <optional>
#include <unordered_map>
#include <vector>

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QPicture>

#include "platform/gfx/Graphic.h"
#include "platform/gfx/Raster.h"

namespace gfx {

namespace canvas_raster {

using raster::Span;

inline constexpr double kPi = std::numbers::pi;

// Dash patterns of 1-px pens, one entry per pixel.
inline const std::vector<bool>& dashPattern(TPenStyle s)
{
    static const std::vector<bool> dash = [] {
        std::vector<bool> v(24, true);
        std::fill(v.begin() + 18, v.end(), false);
        return v;
    }();
    static const std::vector<bool> dot = {true, true, true, false, false, false};
    static const std::vector<bool> dashDot = [] {
        std::vector<bool> v;
        v.insert(v.end(), 9, true); v.insert(v.end(), 6, false);
        v.insert(v.end(), 3, true); v.insert(v.end(), 6, false);
        return v;
    }();
    static const std::vector<bool> dashDotDot = [] {
        std::vector<bool> v;
        v.insert(v.end(), 9, true); v.insert(v.end(), 3, false);
        v.insert(v.end(), 3, true); v.insert(v.end(), 3, false);
        v.insert(v.end(), 3, true); v.insert(v.end(), 3, false);
        return v;
    }();
    static const std::vector<bool> solid = {true};
    switch (s) {
    case psDash: return dash;
    case psDot: return dot;
    case psDashDot: return dashDot;
    case psDashDotDot: return dashDotDot;
    default: return solid;
    }
}

inline bool hatchOn(TBrushStyle s, int64_t x, int64_t y)
{
    const int64_t hx = x & 7, hy = y & 7;
    switch (s) {
    case bsHorizontal: return hy == 0;
    case bsVertical: return hx == 0;
    case bsFDiagonal: return ((hx - hy) & 7) == 0;
    case bsBDiagonal: return ((hx + hy) & 7) == 7;
    case bsCross: return hx == 0 || hy == 0;
    case bsDiagCross: return ((hx - hy) & 7) == 0 || ((hx + hy) & 7) == 7;
    default: return true;
    }
}

inline uint32_t rop3(uint32_t rop, uint32_t p, uint32_t s, uint32_t d)
{
    const uint32_t code = (rop >> 16) & 0xFF;
    switch (code) {
    case 0xCC: return s;
    case 0xEE: return s | d;
    case 0x88: return s & d;
    case 0x66: return s ^ d;
    default: break;
    }
    uint32_t r = 0;
    for (int i = 0; i < 8; ++i)
        if ((code >> i) & 1)
            r |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
    return r & 0xFFFFFF;
}

// Walks the pixels of the line from (x0, y0) to (x1, y1) that lie `kFrom` to `kTo` steps along
// its major axis, giving each its step. The walk's state at `kFrom` is worked out rather than
// stepped to (after k steps the minor axis has moved round(k * minor / major), halves
// rounding up), so a part of a line covers exactly the pixels the whole line covers there.
template <class Put>
void bresenham(int64_t x0, int64_t y0, int64_t x1, int64_t y1, int64_t kFrom, int64_t kTo, Put put)
{
    const int64_t dx = std::llabs(x1 - x0), dy = -std::llabs(y1 - y0);
    const int64_t sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    const int64_t major = std::max(dx, -dy), minor = std::min(dx, -dy);
    kFrom = std::max<int64_t>(kFrom, 0);
    kTo = std::min(kTo, major);
    if (kFrom > kTo)
        return;
    const auto minorAt = [&](int64_t k) {
        return major == 0 ? 0 : int64_t((__int128(2) * minor * k + major) / (__int128(2) * major));
    };
    const bool xMajor = dx >= -dy;
    const int64_t i = xMajor ? kFrom : minorAt(kFrom);  // steps taken in x
    const int64_t j = xMajor ? minorAt(kFrom) : kFrom;  // ... and in y
    int64_t x = x0 + sx * i, y = y0 + sy * j;
    int64_t err = int64_t(__int128(dx) * (1 + j) + __int128(dy) * (1 + i));
    for (int64_t k = kFrom;; ++k) {
        put(x, y, k);
        if (k == kTo)
            return;
        const int64_t e2 = 2 * err;
        if (e2 >= dy) { err += dy; x += sx; }
        if (e2 <= dx) { err += dx; y += sy; }
    }
}

// Liang-Barsky clip of a segment to the box [xmin, xmax] x [ymin, ymax] in doubles; gives the
// parameter range kept, or false when nothing is left.
inline bool clipSegment(double x0, double y0, double x1, double y1, double xmin, double ymin,
                 double xmax, double ymax, double& t0, double& t1)
{
    t0 = 0; t1 = 1;
    const double dx = x1 - x0, dy = y1 - y0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0 - xmin, xmax - x0, y0 - ymin, ymax - y0};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0)
                return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0) t0 = std::max(t0, t);
        else t1 = std::min(t1, t);
        if (t0 > t1)
            return false;
    }
    return true;
}

// Walks a line clipped (in doubles, so any 32-bit coordinates work) to `box` grown by one
// pixel. The pixels walked and their steps from (x0, y0) along the major axis are those of the
// whole line, whatever the clip cut off, so neither a line nor its dash pattern shifts where
// it leaves the visible area.
template <class Put>
void walkClipped(int64_t x0, int64_t y0, int64_t x1, int64_t y1, bool includeEnd, const QRect& box,
                 Put put)
{
    double t0, t1;
    if (!clipSegment(double(x0), double(y0), double(x1), double(y1), box.left() - 1.0,
                     box.top() - 1.0, box.right() + 1.0, box.bottom() + 1.0, t0, t1))
        return;
    // Steps [from, to] along the major axis cover the kept part, with a step to spare each side.
    const int64_t major = std::max(std::llabs(x1 - x0), std::llabs(y1 - y0));
    const int64_t from = t0 > 0 ? int64_t(std::floor(t0 * double(major))) - 1 : 0;
    int64_t to = includeEnd ? major : major - 1;
    if (t1 < 1)
        to = std::min(to, int64_t(std::ceil(t1 * double(major))) + 1);
    bresenham(x0, y0, x1, y1, from, to, put);
}

// Pixels along a line, its end point included or not.
inline int64_t lineSteps(int64_t x0, int64_t y0, int64_t x1, int64_t y1, bool includeEnd)
{
    return std::max(std::llabs(x1 - x0), std::llabs(y1 - y0)) + (includeEnd ? 1 : 0);
}

inline bool patternOn(const std::vector<bool>& pattern, int64_t step)
{
    const int64_t n = int64_t(pattern.size());
    return pattern[size_t(((step % n) + n) % n)];
}

// Where each pixel of a figure's 1-px outline lies along the outline, so that a styled pen's
// pattern runs on around the whole figure, whatever part of it is visible. The figure is given
// by its row spans; a pixel is on the outline when it ends its row's span or its neighbour
// above or below is outside the figure, so each row's outline is the span's ends widened to
// `leftEnd` and from `rightStart`. The outline starts at the left end of the top row and runs
// clockwise on the screen: right along the top, down the right-hand half of every row
// (rightwards in the upper half, leftwards in the lower), then up the left-hand half.
// Positions are counted row by row, so a figure taller than `kMaxRows` counts from its first
// visible row instead, to keep the work bounded.
class OutlineOrder {
public:
    struct Row {
        Span s;
        int64_t leftEnd = 0, rightStart = 0;
        // Outline pixels of the row within [lo, hi].
        int64_t count(int64_t lo, int64_t hi) const
        {
            lo = std::max(lo, s.a);
            hi = std::min(hi, s.b);
            if (lo > hi)
                return 0;
            const int64_t a = std::min(leftEnd, hi), b = std::max(rightStart, lo);
            if (a >= lo && b <= hi && b <= a + 1)
                return hi - lo + 1;
            return std::max<int64_t>(0, a - lo + 1) + std::max<int64_t>(0, hi - b + 1);
        }
        bool edge(int64_t x) const { return s.contains(x) && (x <= leftEnd || x >= rightStart); }
    };
    static constexpr int64_t kMaxRows = 1 << 16;

    // Rows [t, b) of the figure in the box [l, r) x [t, b); `shown` the rows that will be
    // asked about.
    template <class SpanFn>
    OutlineOrder(int64_t l, int64_t t, int64_t r, int64_t b, SpanFn span, int64_t shownTop,
                 int64_t shownBottom)
        : t_(t), b_(b), mid_((l + r) >> 1)
    {
        y0_ = t; y1_ = b;
        if (b - t > kMaxRows) {
            y0_ = std::clamp(shownTop, t, b);
            y1_ = std::clamp(shownBottom + 1, y0_, b);
        }
        std::vector<Span> spans;
        spans.reserve(size_t(y1_ - y0_ + 2));
        for (int64_t y = y0_ - 1; y <= y1_; ++y)
            spans.push_back(y >= t && y < b ? span(l, t, r, b, y) : Span{});
        rows_.resize(size_t(y1_ - y0_));
        rightBefore_.assign(rows_.size() + 1, 0);
        leftAfter_.assign(rows_.size() + 1, 0);
        for (size_t i = 0; i < rows_.size(); ++i) {
            const Span& up = spans[i];
            const Span& s = spans[i + 1];
            const Span& dn = spans[i + 2];
            Row& row = rows_[i];
            row.s = s;
            if (up.empty() || dn.empty()) {
                row.leftEnd = s.b;
                row.rightStart = s.a;
            } else {
                row.leftEnd = std::clamp(std::max(up.a, dn.a) - 1, s.a, s.b);
                row.rightStart = std::clamp(std::min(up.b, dn.b) + 1, s.a, s.b);
            }
            rightBefore_[i + 1] = rightBefore_[i] + row.count(mid_, s.b);
        }
        for (size_t i = rows_.size(); i-- > 0;)
            leftAfter_[i] = leftAfter_[i + 1] + rows_[i].count(rows_[i].s.a, mid_ - 1);
        length_ = rightBefore_.back() + leftAfter_.front();
        if (!rows_.empty())
            start_ = rows_.front().count(rows_.front().s.a, mid_ - 1);
    }

    bool has(int64_t y) const { return y >= y0_ && y < y1_; }
    const Row& row(int64_t y) const { return rows_[size_t(y - y0_)]; }
    int64_t length() const { return length_; }

    // The position of outline pixel (x, y), 0 at the start.
    int64_t position(int64_t x, int64_t y) const
    {
        const size_t i = size_t(y - y0_);
        const Row& row = rows_[i];
        const bool upper = 2 * y + 1 < t_ + b_;
        int64_t p;
        if (x >= mid_) {
            p = rightBefore_[i] + (upper ? row.count(mid_, x - 1) : row.count(x + 1, row.s.b));
        } else {
            p = rightBefore_.back() + leftAfter_[i + 1] +
                (upper ? row.count(row.s.a, x - 1) : row.count(x + 1, mid_ - 1));
        }
        return (p + start_) % length_;
    }

    // The position of the outline pixel nearest to the point (px, py) among those `accept`
    // takes, or else among all; 0 when no row near it is counted.
    template <class Accept>
    int64_t nearest(double px, double py, Accept accept) const
    {
        const int64_t cy = int64_t(std::floor(py));
        double best = -1;
        int64_t found = 0;
        bool accepted = false;
        for (int64_t y = cy - 1; y <= cy + 1; ++y) {
            if (!has(y))
                continue;
            const Row& row = rows_[size_t(y - y0_)];
            const int64_t x0 = int64_t(std::floor(px));
            for (const int64_t x : {std::clamp(x0, row.s.a, row.leftEnd), std::clamp(x0, row.rightStart, row.s.b)}) {
                const bool ok = accept(x, y);
                if (accepted && !ok)
                    continue;
                if (ok && !accepted) {
                    accepted = true;
                    best = -1;
                }
                const double dx = x + 0.5 - px, dy = y + 0.5 - py;
                const double d = dx * dx + dy * dy;
                // Near ties go to the first found, so a figure moved by whole pixels starts
                // its pattern on the same pixel despite rounding.
                if (best < 0 || d < best - 1e-9) {
                    best = d;
                    found = position(x, y);
                }
            }
        }
        return found;
    }

private:
    int64_t t_, b_, mid_, y0_ = 0, y1_ = 0;
    std::vector<Row> rows_;
    std::vector<int64_t> rightBefore_;  // outline pixels in the right-hand halves of the rows above
    std::vector<int64_t> leftAfter_;    // ... in the left-hand halves of this row and those below
    int64_t length_ = 0, start_ = 0;
};

// Which pixels of a box belong to the pen (2) and which to the brush (1).
struct Mask {
    QRect box;
    std::vector<uint8_t> v;
    explicit Mask(QRect b) : box(b), v(size_t(std::max(0, b.width())) * std::max(0, b.height())) {}
    bool empty() const { return box.isEmpty(); }
    bool inside(int64_t x, int64_t y) const
    {
        return x >= box.left() && x <= box.right() && y >= box.top() && y <= box.bottom();
    }
    uint8_t& at(int64_t x, int64_t y)
    {
        return v[size_t(y - box.top()) * box.width() + size_t(x - box.left())];
    }
    void mark(int64_t x, int64_t y, uint8_t value)
    {
        if (inside(x, y))
            at(x, y) = value;
    }
};

// Box [l, r) x [t, b) in 64 bits, grown by `grow`, met with the visible box.
inline QRect visiblePart(const QRect& visible, int64_t l, int64_t t, int64_t r, int64_t b, int64_t grow)
{
    const int64_t L = std::max<int64_t>(l - grow, visible.left());
    const int64_t T = std::max<int64_t>(t - grow, visible.top());
    const int64_t R = std::min<int64_t>(r + grow, int64_t(visible.right()) + 1);
    const int64_t B = std::min<int64_t>(b + grow, int64_t(visible.bottom()) + 1);
    if (L >= R || T >= B)
        return {};
    return QRect(int(L), int(T), int(R - L), int(B - T));
}

// Local: the path is given relative to the mask's box rather than to the surface.
inline void strokeIntoMask(Mask& m, const QPainterPath& path, int width, Qt::PenCapStyle cap,
                    Qt::PenJoinStyle join, bool local = false)
{
    if (m.empty())
        return;
    QImage cover(m.box.size(), QImage::Format_ARGB32_Premultiplied);
    cover.fill(0);
    QPainter p(&cover);
    p.setRenderHint(QPainter::Antialiasing, false);
    if (!local)
        p.translate(-m.box.left(), -m.box.top());
    p.strokePath(path, QPen(Qt::black, width, Qt::SolidLine, cap, join));
    p.end();
    for (int y = 0; y < m.box.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(cover.constScanLine(y));
        for (int x = 0; x < m.box.width(); ++x)
            if (qAlpha(line[x]) > 127)
                m.v[size_t(y) * m.box.width() + x] = 2;
    }
}

// The pen pixels of a whole, unclipped round-capped line of `width` from (0, 0) to (dx, dy),
// cut to the pixels it covers. A single line is stroked in the coordinates of its own box, so
// the same line moved by whole pixels covers the same pixels moved: the visual modes draw
// hundreds of short wide lines a frame from a few hundred shapes, and stroke each once.
struct LineShape {
    int left = 0, top = 0, width = 0, height = 0;  // box relative to the line's start
    std::vector<uint8_t> v;                          // 2 on the pen, row by row
};

inline const LineShape& wideLineShape(int width, int64_t dx, int64_t dy)
{
    thread_local std::unordered_map<uint64_t, LineShape> shapes;
    const uint64_t key = uint64_t(uint16_t(width)) << 48 | uint64_t(uint32_t(dx) & 0xFFFFFF) << 24 |
                         uint64_t(uint32_t(dy) & 0xFFFFFF);
    if (const auto found = shapes.find(key); found != shapes.end())
        return found->second;
    if (shapes.size() >= 2048)
        shapes.clear();
    const int64_t grow = int64_t(width) + 2;
    const QRect box(int(std::min<int64_t>(dx, 0) - grow), int(std::min<int64_t>(dy, 0) - grow),
                    int(std::llabs(dx) + 2 + 2 * grow), int(std::llabs(dy) + 2 + 2 * grow));
    Mask m(box);
    QPainterPath path(QPointF(0.5 - box.left(), 0.5 - box.top()));
    path.lineTo(double(dx) + 0.5 - box.left(), double(dy) + 0.5 - box.top());
    strokeIntoMask(m, path, width, Qt::RoundCap, Qt::RoundJoin, true);
    int l = box.width(), t = box.height(), r = -1, b = -1;
    for (int y = 0; y < box.height(); ++y)
        for (int x = 0; x < box.width(); ++x)
            if (m.v[size_t(y) * box.width() + x]) {
                l = std::min(l, x); r = std::max(r, x);
                t = std::min(t, y); b = std::max(b, y);
            }
    LineShape shape;
    if (r >= 0) {
        shape.left = box.left() + l;
        shape.top = box.top() + t;
        shape.width = r - l + 1;
        shape.height = b - t + 1;
        shape.v.resize(size_t(shape.width) * shape.height);
        for (int y = 0; y < shape.height; ++y)
            std::copy_n(m.v.begin() + ptrdiff_t(y + t) * box.width() + l, shape.width,
                        shape.v.begin() + ptrdiff_t(y) * shape.width);
    }
    return shapes.emplace(key, std::move(shape)).first->second;
}

}  // namespace canvas_raster

using namespace canvas_raster;

// The drawing work of one call, with the canvas's surface and clip resolved.
struct CanvasRaster {
    TCanvas& c;
    QImage* img = nullptr;
    QRect visible;       // surface rectangle met with the clip's bounding box
    bool complex = false;  // clip is not a plain rectangle
    QRegion region;

    explicit CanvasRaster(TCanvas& canvas) : c(canvas)
    {
        QImage* s = c.Surface();
        if (!s || s->isNull() || !raster::isPaintable(s->format()))
            return;
        img = s;
        visible = s->rect();
        if (c.hasClip_) {
            region = c.clip_.intersected(visible);
            visible = region.boundingRect();
            complex = region.rectCount() > 1;
        }
    }
    bool ok() const { return img && !visible.isEmpty(); }
    bool isVisible(int64_t x, int64_t y) const
    {
        if (x < visible.left() || x > visible.right() || y < visible.top() || y > visible.bottom())
            return false;
        return !complex || region.contains(QPoint(int(x), int(y)));
    }
    void plot(int64_t x, int64_t y, TColor color, TPenMode mode)
    {
        if (!isVisible(x, y))
            return;
        const int ix = int(x), iy = int(y);
        const TColor d = mode == pmCopy ? 0 : raster::getPixel(*img, ix, iy);
        raster::setPixel(*img, ix, iy, ApplyPenMode(mode, color, d));
    }
    TColor penColor() const { return ColorToRGB(c.pen_.Color()); }
    bool hasPen() const { return c.pen_.Style() != psClear && c.pen_.Mode() != pmNop; }
    bool widePen() const { return c.pen_.Width() > 1; }

    void brushPlot(int64_t x, int64_t y, TPenMode mode)
    {
        const TBrushStyle s = c.brush_.Style();
        if (s == bsClear || !hatchOn(s, x, y))
            return;
        plot(x, y, ColorToRGB(c.brush_.Color()), mode);
    }
    void apply(Mask& m)
    {
        paint(m.box, [&m](int x, int y) { return m.at(x, y); });
    }

    static bool isRgb32(QImage::Format f)
    {
        return f == QImage::Format_RGB32 || f == QImage::Format_ARGB32 ||
               f == QImage::Format_ARGB32_Premultiplied;
    }
    // Paints the pixels of `box` that `kind(x, y)` gives to the pen (2) or the brush (1). The
    // 32-bit surfaces nearly every canvas paints on find the row once per row instead of once
    // per pixel: the visual modes fill many boxes a frame.
    template <class Kind>
    void paint(const QRect& box, Kind kind)
    {
        const TPenMode mode = c.pen_.Mode();
        const TColor pen = penColor();
        if (complex || !isRgb32(img->format())) {
            for (int y = box.top(); y <= box.bottom(); ++y)
                for (int x = box.left(); x <= box.right(); ++x) {
                    const uint8_t v = kind(x, y);
                    if (v == 2) plot(x, y, pen, mode);
                    else if (v == 1) brushPlot(x, y, mode);
                }
            return;
        }
        const QRect area = box.intersected(visible);
        if (area.isEmpty())
            return;
        const TBrushStyle bs = c.brush_.Style();
        const TColor brush = ColorToRGB(c.brush_.Color());
        uchar* const bits = img->bits();  // scanLine() would check for sharing on every row
        const qsizetype stride = img->bytesPerLine();
        auto row = [&](int y) { return reinterpret_cast<QRgb*>(bits + y * stride); };
        if (mode == pmCopy && (bs == bsSolid || bs == bsClear)) {
            const QRgb penQ = raster::toQRgb(pen), brushQ = raster::toQRgb(brush);
            const bool fill = bs == bsSolid;
            for (int y = area.top(); y <= area.bottom(); ++y) {
                QRgb* line = row(y);
                for (int x = area.left(); x <= area.right(); ++x) {
                    const uint8_t v = kind(x, y);
                    if (v == 2)
                        line[x] = penQ;
                    else if (v == 1 && fill)
                        line[x] = brushQ;
                }
            }
            return;
        }
        for (int y = area.top(); y <= area.bottom(); ++y) {
            QRgb* line = row(y);
            for (int x = area.left(); x <= area.right(); ++x) {
                const uint8_t v = kind(x, y);
                TColor color;
                if (v == 2)
                    color = pen;
                else if (v == 1 && bs != bsClear && hatchOn(bs, x, y))
                    color = brush;
                else
                    continue;
                const TColor d = mode == pmCopy ? 0 : raster::fromQRgb(line[x]);
                line[x] = raster::toQRgb(ApplyPenMode(mode, color, d));
            }
        }
    }

    // A 1-px line, clipped in 64 bits first; its pattern starts `firstStep` steps in.
    void line(int64_t x0, int64_t y0, int64_t x1, int64_t y1, bool includeEnd, int64_t firstStep = 0)
    {
        const auto& pattern = dashPattern(c.pen_.Style());
        const TColor color = penColor();
        const TPenMode mode = c.pen_.Mode();
        const bool solid = pattern.size() == 1;
        walkClipped(x0, y0, x1, y1, includeEnd, visible, [&](int64_t x, int64_t y, int64_t step) {
            if (solid || patternOn(pattern, firstStep + step))
                plot(x, y, color, mode);
        });
    }
    // A 1-px pen with a pattern of gaps.
    bool styledPen() const { return hasPen() && !widePen() && dashPattern(c.pen_.Style()).size() > 1; }

    // A line with a wide pen and round caps.
    void wideLine(int64_t x0, int64_t y0, int64_t x1, int64_t y1)
    {
        const int w = c.pen_.Width();
        double t0, t1;
        const double reach = w + 2.0;
        if (!clipSegment(double(x0), double(y0), double(x1), double(y1), visible.left() - reach,
                         visible.top() - reach, visible.right() + reach, visible.bottom() + reach, t0, t1))
            return;
        // A line that reaches no further than just outside the visible area (the usual case)
        // is drawn from its stroked shape, so what it covers does not depend on where the
        // surface ends. A line running far outside is cut to the area first and stroked as
        // it then stands.
        if (t0 == 0 && t1 == 1 && w < 0x8000) {
            const LineShape& shape = wideLineShape(w, x1 - x0, y1 - y0);
            if (shape.v.empty())
                return;
            const QRect box(int(x0 + shape.left), int(y0 + shape.top), shape.width, shape.height);
            paint(box, [&shape, &box](int x, int y) {
                return shape.v[size_t(y - box.top()) * shape.width + size_t(x - box.left())];
            });
            return;
        }
        const double dx = double(x1 - x0), dy = double(y1 - y0);
        const QPointF a(double(x0) + t0 * dx + 0.5, double(y0) + t0 * dy + 0.5);
        const QPointF b(double(x0) + t1 * dx + 0.5, double(y0) + t1 * dy + 0.5);
        QPainterPath span(a);
        span.lineTo(b);
        Mask m(strokeBox(span, w));
        QPainterPath path(a - m.box.topLeft());
        path.lineTo(b - m.box.topLeft());
        strokeIntoMask(m, path, w, Qt::RoundCap, Qt::RoundJoin, true);
        apply(m);
    }

    // The visible pixels a stroke of `path` with a pen `width` wide can touch: a mask of these
    // instead of the whole surface keeps a short wide line as cheap as a short thin one.
    QRect strokeBox(const QPainterPath& path, int width) const
    {
        const QRectF b = path.boundingRect();
        const int64_t grow = int64_t(width) + 2;
        return visiblePart(visible, int64_t(std::floor(b.left())), int64_t(std::floor(b.top())),
                           int64_t(std::ceil(b.right())) + 1, int64_t(std::ceil(b.bottom())) + 1, grow);
    }

    // A rectangle with a 1-px pen or none: the pixels spanFigure gives it, straight from its
    // edges rather than through a mask.
    void rect(int64_t l, int64_t t, int64_t r, int64_t b)
    {
        if (!hasPen()) {
            paint(visiblePart(visible, l, t, r - 1, b - 1, 0), [](int, int) { return uint8_t(1); });
            return;
        }
        paint(visiblePart(visible, l, t, r, b, 0), [=](int x, int y) {
            return uint8_t(x == l || x == r - 1 || y == t || y == b - 1 ? 2 : 1);
        });
    }

    // A figure given by its row spans over [t, b), with the pen outlining it.
    template <class SpanFn>
    void spanFigure(int64_t l, int64_t t, int64_t r, int64_t b, SpanFn span,
                    const QPainterPath* widePath)
    {
        if (!hasPen()) {
            // Without a pen the filled box shrinks by one on the right and bottom.
            --r; --b;
            Mask m(visiblePart(visible, l, t, r, b, 0));
            for (int y = m.box.top(); y <= m.box.bottom(); ++y) {
                const Span s = span(l, t, r, b, y);
                for (int64_t x = std::max<int64_t>(s.a, m.box.left()); x <= std::min<int64_t>(s.b, m.box.right()); ++x)
                    m.at(x, y) = 1;
            }
            apply(m);
            return;
        }
        const int grow = widePen() ? c.pen_.Width() : 0;
        Mask m(visiblePart(visible, l, t, r, b, grow));
        if (styledPen()) {
            // The pen's gaps show the brush: they are inside the figure.
            if (m.empty())
                return;
            const auto& pattern = dashPattern(c.pen_.Style());
            const OutlineOrder order(l, t, r, b, span, m.box.top(), m.box.bottom());
            for (int y = m.box.top(); y <= m.box.bottom(); ++y) {
                if (!order.has(y))
                    continue;
                const OutlineOrder::Row& row = order.row(y);
                for (int64_t x = std::max<int64_t>(row.s.a, m.box.left()); x <= std::min<int64_t>(row.s.b, m.box.right()); ++x)
                    m.at(x, y) = row.edge(x) && patternOn(pattern, order.position(x, y)) ? 2 : 1;
            }
            apply(m);
            return;
        }
        for (int y = m.box.top(); y <= m.box.bottom(); ++y) {
            if (y < t || y >= b)
                continue;
            const Span s = span(l, t, r, b, y);
            const Span up = y > t ? span(l, t, r, b, y - 1) : Span{};
            const Span dn = y + 1 < b ? span(l, t, r, b, y + 1) : Span{};
            for (int64_t x = std::max<int64_t>(s.a, m.box.left()); x <= std::min<int64_t>(s.b, m.box.right()); ++x) {
                const bool edge = x == s.a || x == s.b || !up.contains(x) || !dn.contains(x);
                m.at(x, y) = (edge && !widePath) ? 2 : 1;
            }
        }
        if (widePath)
            strokeIntoMask(m, *widePath, c.pen_.Width(), Qt::SquareCap, Qt::MiterJoin);
        apply(m);
    }
};

}  // namespace gfx
