// Rasterising follows one scheme: a primitive first decides, for every pixel of its visible
// bounding box, whether the pixel belongs to the pen (2), the brush (1) or neither (0), and
// only then paints, so each pixel is touched once whatever the pen mode. Row spans of
// rectangles, ellipses and rounded rectangles give the outline directly: a pixel is on the
// 1-px outline when it ends its row's span or its neighbour above or below is outside the
// figure. Wide pens are stroked by QPainter into a coverage mask first (a single line's shape
// is stroked once and kept).
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

using raster::Span;

namespace {

constexpr double kPi = std::numbers::pi;

// Dash patterns of 1-px pens, one entry per pixel.
const std::vector<bool>& dashPattern(TPenStyle s)
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

bool hatchOn(TBrushStyle s, int64_t x, int64_t y)
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

uint32_t rop3(uint32_t rop, uint32_t p, uint32_t s, uint32_t d)
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
bool clipSegment(double x0, double y0, double x1, double y1, double xmin, double ymin,
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
int64_t lineSteps(int64_t x0, int64_t y0, int64_t x1, int64_t y1, bool includeEnd)
{
    return std::max(std::llabs(x1 - x0), std::llabs(y1 - y0)) + (includeEnd ? 1 : 0);
}

bool patternOn(const std::vector<bool>& pattern, int64_t step)
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
QRect visiblePart(const QRect& visible, int64_t l, int64_t t, int64_t r, int64_t b, int64_t grow)
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
void strokeIntoMask(Mask& m, const QPainterPath& path, int width, Qt::PenCapStyle cap,
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

const LineShape& wideLineShape(int width, int64_t dx, int64_t dy)
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

}  // namespace

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

// ---- text ----

namespace {
struct PrefixText {
    QString text;
    int underline = -1;  // index in text of the letter after the first single "&"
};

PrefixText stripPrefix(const QString& s, bool keep)
{
    if (keep)
        return {s, -1};
    PrefixText r;
    for (int i = 0; i < s.size(); ++i) {
        if (s[i] == u'&' && i + 1 < s.size()) {
            ++i;
            if (s[i] != u'&' && r.underline < 0)
                r.underline = int(r.text.size());
        } else if (s[i] == u'&') {
            continue;  // a lone "&" at the end shows nothing
        }
        r.text += s[i];
    }
    return r;
}

// Greedy word wrap: breaks at the last blank that fits, else between characters (Japanese
// text has no blanks).
QStringList wrapLine(const QString& line, const QFontMetrics& fm, int width)
{
    QStringList out;
    QString rest = line;
    while (!rest.isEmpty() && fm.horizontalAdvance(rest) > width) {
        int fit = 0;
        while (fit < rest.size() && fm.horizontalAdvance(rest.left(fit + 1)) <= width) ++fit;
        if (fit == 0) fit = 1;
        int cut = fit;
        const int blank = rest.left(fit + 1).lastIndexOf(u' ');
        if (blank > 0)
            cut = blank;
        out << rest.left(cut);
        rest = rest.mid(cut);
        while (rest.startsWith(u' ')) rest.remove(0, 1);
    }
    if (!rest.isEmpty() || out.isEmpty())
        out << rest;
    return out;
}
}  // namespace

TSize TCanvas::TextExtent(const std::string& text)
{
    const QFontMetrics fm(font_.toQFont());
    return {fm.horizontalAdvance(QString::fromStdString(text)), fm.height()};
}

static void paintText(TCanvas& canvas, CanvasRaster& r, int32_t x, int32_t y, const QString& s,
                      const QRect* clip, int underline)
{
    const QFont qf = canvas.Font().toQFont();
    const QFontMetrics fm(qf);
    const int w = fm.horizontalAdvance(s), h = fm.height();
    // Qt's raster engine misplaces unantialiased glyphs on 16-bit images (half of them land
    // half a row to the right), so text for any image that is not 32-bit is drawn on a 32-bit
    // copy of its area and copied back pixel by pixel.
    QImage scratch;
    QPoint origin;
    if (!CanvasRaster::isRgb32(r.img->format())) {
        const QRect area = canvas.Font().Orientation() != 0 ? r.visible
                                                            : QRect(x, y, w, h).intersected(r.visible);
        if (area.isEmpty())
            return;
        scratch = r.img->copy(area).convertToFormat(QImage::Format_RGB32);
        origin = area.topLeft();
    }
    QPainter p(scratch.isNull() ? r.img : &scratch);
    p.translate(-origin);
    QRegion region = r.complex ? r.region : QRegion(r.visible);
    if (clip)
        region = region.intersected(*clip);
    p.setClipRegion(region);
    p.setRenderHint(QPainter::TextAntialiasing, false);
    if (canvas.Font().Orientation() != 0) {
        p.translate(x, y);
        p.rotate(-canvas.Font().Orientation() / 10.0);
        x = 0; y = 0;
    }
    if (canvas.Brush().Style() != bsClear)
        p.fillRect(QRect(x, y, w, h), QColor(raster::toQRgb(canvas.Brush().Color())));
    p.setFont(qf);
    const QColor color(raster::toQRgb(canvas.Font().Color()));
    p.setPen(color);
    p.drawText(QPoint(x, y + fm.ascent()), s);
    if (underline >= 0 && underline < s.size()) {
        const int ux = x + fm.horizontalAdvance(s.left(underline));
        const int uw = fm.horizontalAdvance(s.mid(underline, 1));
        p.fillRect(QRect(ux, y + fm.ascent() + 1, uw, 1), color);
    }
    p.end();
    for (int sy = 0; sy < scratch.height(); ++sy) {
        const QRgb* line = reinterpret_cast<const QRgb*>(scratch.constScanLine(sy));
        for (int sx = 0; sx < scratch.width(); ++sx)
            raster::setPixel(*r.img, origin.x() + sx, origin.y() + sy, raster::fromQRgb(line[sx]));
    }
}

void TCanvas::TextOut(int32_t x, int32_t y, const std::string& text)
{
    CanvasRaster r(*this);
    const QString s = QString::fromStdString(text);
    if (r.ok())
        paintText(*this, r, x, y, s, nullptr, -1);
    penPos_ = {x + TextWidth(text), y};
    Changed();
}

void TCanvas::TextRect(const TRect& rc, int32_t x, int32_t y, const std::string& text)
{
    CanvasRaster r(*this);
    if (!r.ok() || rc.IsEmpty())
        return;
    const QRect clip(rc.Left, rc.Top, rc.Width(), rc.Height());
    if (brush_.Style() != bsClear)
        FillRect(rc);
    const TBrushStyle saved = brush_.Style();
    brush_.SetStyle(bsClear);
    paintText(*this, r, x, y, QString::fromStdString(text), &clip, -1);
    brush_.SetStyle(saved);
    Changed();
}

int32_t TCanvas::DrawText(const std::string& text, TRect& rc, unsigned flags)
{
    const QFontMetrics fm(font_.toQFont());
    const PrefixText pt = stripPrefix(QString::fromStdString(text), flags & DT_NOPREFIX);
    const int width = rc.Width();
    QStringList lines;
    if (flags & DT_SINGLELINE) {
        QString one = pt.text;
        one.replace(u'\r', u' ').replace(u'\n', u' ');
        lines << one;
    } else {
        // As on the original desktop, CR, LF and CR LF each end a line.
        QString all = pt.text;
        all.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
        for (const QString& l : all.split(u'\n'))
            lines << ((flags & DT_WORDBREAK) ? wrapLine(l, fm, width) : QStringList{l});
    }
    if (flags & (DT_END_ELLIPSIS | DT_PATH_ELLIPSIS))
        for (QString& l : lines)
            if (fm.horizontalAdvance(l) > width)
                l = fm.elidedText(l, (flags & DT_PATH_ELLIPSIS) ? Qt::ElideMiddle : Qt::ElideRight, width);
    const int lineHeight = fm.height();
    const int height = lineHeight * int(lines.size());
    if (flags & DT_CALCRECT) {
        int widest = 0;
        for (const QString& l : lines) widest = std::max(widest, int(fm.horizontalAdvance(l)));
        if (!(flags & DT_WORDBREAK) || widest > width)
            rc.Right = rc.Left + widest;
        rc.Bottom = rc.Top + height;
        return height;
    }
    CanvasRaster r(*this);
    if (!r.ok())
        return height;
    int y = rc.Top;
    if (flags & DT_SINGLELINE) {
        if (flags & DT_VCENTER) y = rc.Top + (rc.Height() - lineHeight) / 2;
        else if (flags & DT_BOTTOM) y = rc.Bottom - lineHeight;
    }
    const QRect clip(rc.Left, rc.Top, rc.Width(), rc.Height());
    for (int i = 0; i < lines.size(); ++i, y += lineHeight) {
        const int w = fm.horizontalAdvance(lines[i]);
        int x = rc.Left;
        if (flags & DT_CENTER) x = rc.Left + (width - w) / 2;
        else if (flags & DT_RIGHT) x = rc.Right - w;
        const bool underlined = i == 0 && lines.size() == 1 && lines[0].size() == pt.text.size();
        paintText(*this, r, x, y, lines[i], (flags & DT_NOCLIP) ? nullptr : &clip,
                  underlined ? pt.underline : -1);
    }
    Changed();
    return height;
}

// ---- pictures ----

void TCanvas::Draw(int32_t x, int32_t y, const TGraphic& graphic)
{
    if (graphic.Empty())
        return;
    graphic.Draw(*this, Rect(x, y, x + graphic.Width(), y + graphic.Height()));
}

void TCanvas::StretchDraw(const TRect& dest, const TGraphic& graphic)
{
    if (graphic.Empty())
        return;
    graphic.Draw(*this, dest);
}

void TCanvas::CopyRect(const TRect& dest, TCanvas& source, const TRect& srcRect)
{
    QImage* s = source.Surface();
    if (!s || s->isNull())
        return;
    if (s == Surface()) {
        const QImage copy = s->copy();  // overlapping copies read the original pixels
        DrawImage(copy, srcRect, dest);
    } else {
        DrawImage(*s, srcRect, dest);
    }
}

void TCanvas::DrawImage(const QImage& src, const TRect& srcRect, const TRect& dest,
                        TColor transparentKey)
{
    CanvasRaster r(*this);
    if (!r.ok() || src.isNull() || dest.IsEmpty() || srcRect.IsEmpty())
        return;
    const QImage rgb = (src.format() == QImage::Format_RGB32 || src.format() == QImage::Format_ARGB32)
                           ? src : src.convertToFormat(QImage::Format_RGB32);
    const QRect box = visiblePart(r.visible, dest.Left, dest.Top, dest.Right, dest.Bottom, 0);
    if (box.isEmpty())
        return;
    const int64_t dw = dest.Width(), dh = dest.Height(), sw = srcRect.Width(), sh = srcRect.Height();
    const bool keyed = transparentKey != clNone;
    const TColor key = keyed ? ColorToRGB(transparentKey) : 0;
    const uint32_t pat = uint32_t(ColorToRGB(brush_.Color()));
    const bool plain32 = r.img->format() == QImage::Format_RGB32 || r.img->format() == QImage::Format_ARGB32;
    if (copyMode_ == cmSrcCopy && !keyed && !r.complex && plain32) {
        // Straight copies (most picture draws), row by row. A scaled row takes its source
        // columns from a table made once, and a row that repeats the one above (an
        // enlargement) is copied from it whole.
        std::vector<int32_t> cols;
        bool allCols = true;
        if (sw != dw) {
            cols.resize(size_t(box.width()));
            for (int x = box.left(); x <= box.right(); ++x) {
                const int64_t sx = srcRect.Left + ((2 * (x - dest.Left) + 1) * sw) / (2 * dw);
                const bool inside = sx >= 0 && sx < rgb.width();
                cols[size_t(x - box.left())] = inside ? int32_t(sx) : -1;
                allCols = allCols && inside;
            }
        }
        int64_t lastSy = -1;
        for (int y = box.top(); y <= box.bottom(); ++y) {
            const int64_t sy = srcRect.Top + ((2 * (y - dest.Top) + 1) * sh) / (2 * dh);
            if (sy < 0 || sy >= rgb.height())
                continue;
            const QRgb* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(int(sy)));
            QRgb* out = reinterpret_cast<QRgb*>(r.img->scanLine(y));
            if (sw == dw) {
                // One to one across: no scaling arithmetic per pixel.
                const int64_t shift = srcRect.Left - dest.Left;
                const int from = int(std::max<int64_t>(box.left(), -shift));
                const int to = int(std::min<int64_t>(box.right(), rgb.width() - 1 - shift));
                for (int x = from; x <= to; ++x)
                    out[x] = line[x + shift] | 0xFF000000u;
                continue;
            }
            if (allCols && sy == lastSy && y > box.top()) {
                const QRgb* above = reinterpret_cast<const QRgb*>(r.img->constScanLine(y - 1));
                std::memcpy(out + box.left(), above + box.left(), size_t(box.width()) * sizeof(QRgb));
                continue;
            }
            lastSy = sy;
            const int32_t* col = cols.data() - box.left();
            for (int x = box.left(); x <= box.right(); ++x)
                if (col[x] >= 0)
                    out[x] = line[col[x]] | 0xFF000000u;
        }
        Changed();
        return;
    }
    for (int y = box.top(); y <= box.bottom(); ++y) {
        const int64_t sy = srcRect.Top + ((2 * (y - dest.Top) + 1) * sh) / (2 * dh);
        if (sy < 0 || sy >= rgb.height())
            continue;
        const QRgb* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(int(sy)));
        for (int x = box.left(); x <= box.right(); ++x) {
            const int64_t sx = srcRect.Left + ((2 * (x - dest.Left) + 1) * sw) / (2 * dw);
            if (sx < 0 || sx >= rgb.width() || !r.isVisible(x, y))
                continue;
            const TColor s = raster::fromQRgb(line[sx]);
            if (keyed && s == key)
                continue;
            const TColor d = copyMode_ == cmSrcCopy ? 0 : raster::getPixel(*r.img, x, y);
            raster::setPixel(*r.img, x, y, TColor(rop3(copyMode_, pat, uint32_t(s), uint32_t(d))));
        }
    }
    Changed();
}

void TCanvas::DrawPicture(const QPicture& picture, const TRect& frame, const TRect& dest)
{
    QImage* s = Surface();
    if (!s || s->isNull() || frame.IsEmpty() || dest.IsEmpty())
        return;
    QPainter painter(s);
    if (hasClip_)
        painter.setClipRegion(clip_);
    PlayPicture(painter, picture, frame, dest);
    painter.end();
    Changed();
}

void PlayPicture(QPainter& painter, const QPicture& picture, const TRect& frame, const TRect& dest)
{
    painter.save();
    painter.translate(dest.Left, dest.Top);
    // Qt plays a picture scaled from its resolution to the device's; its units are ours.
    const QPaintDevice* device = painter.device();
    const double fx = device && device->logicalDpiX() > 0 ? double(picture.logicalDpiX()) / device->logicalDpiX() : 1;
    const double fy = device && device->logicalDpiY() > 0 ? double(picture.logicalDpiY()) / device->logicalDpiY() : 1;
    painter.scale(fx * dest.Width() / frame.Width(), fy * dest.Height() / frame.Height());
    painter.translate(-frame.Left, -frame.Top);
    painter.drawPicture(0, 0, picture);
    painter.restore();
}

// ---- clipping ----

void TCanvas::SetClipRect(const TRect& r)
{
    SetClipRegion(QRegion(QRect(r.Left, r.Top, std::max(0, r.Width()), std::max(0, r.Height()))));
}

void TCanvas::SetClipRegion(const QRegion& region)
{
    clip_ = region;
    hasClip_ = true;
}

void TCanvas::ClearClip()
{
    clip_ = QRegion();
    hasClip_ = false;
}

TRect TCanvas::ClipRect()
{
    CanvasRaster r(*this);
    if (!r.ok())
        return {};
    const QRect b = r.visible;
    return {b.left(), b.top(), b.right() + 1, b.bottom() + 1};
}

}  // namespace gfx
