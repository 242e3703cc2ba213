// Styled 1-px pens on every figure: the dash pattern runs on around the outline, whatever part
// of the figure is visible; gaps show the brush inside a filled figure; wide pens stay solid.
#include <gtest/gtest.h>

#include <QImage>

#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/gfx/Canvas.h"

using namespace gfx;

namespace {

constexpr TColor kBack = clWhite, kPen = clBlack, kBrush = clRed;

// What a drawing left on its image.
struct Picture {
    QImage image;
    TColor at(int x, int y) const
    {
        const QRgb v = image.pixel(x, y);
        return RGB(qRed(v), qGreen(v), qBlue(v));
    }
    std::set<std::pair<int, int>> where(TColor c) const
    {
        std::set<std::pair<int, int>> s;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (at(x, y) == c)
                    s.insert({x, y});
        return s;
    }
};

using Draw = std::function<void(TCanvas&)>;

// The figure drawn with the given pen style, width and brush (clear when not filled) on a
// surface of `back`.
Picture drawn(const Draw& draw, TPenStyle style, int width = 1, bool filled = false, int w = 64,
              int h = 64, TColor back = kBack)
{
    Picture p{QImage(w, h, QImage::Format_RGB32)};
    p.image.fill(QColor(GetRValue(back), GetGValue(back), GetBValue(back)));
    TCanvas c(&p.image);
    c.Pen().SetColor(kPen);
    c.Pen().SetStyle(style);
    c.Pen().SetWidth(width);
    if (filled)
        c.Brush().SetColor(kBrush);
    else
        c.Brush().SetStyle(bsClear);
    draw(c);
    return p;
}

// Orders an 8-connected chain of pixels by walking it from `start` (through `firstStep` when
// that is one of them); stops where no unvisited neighbour is left.
std::vector<std::pair<int, int>> walkChain(std::set<std::pair<int, int>> pixels,
                                           std::pair<int, int> start, std::pair<int, int> firstStep)
{
    std::vector<std::pair<int, int>> chain{start};
    pixels.erase(start);
    std::pair<int, int> cur = start;
    if (pixels.count(firstStep)) {
        chain.push_back(firstStep);
        pixels.erase(firstStep);
        cur = firstStep;
    }
    const int steps[8][2] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}, {1, 1}, {-1, 1}, {-1, -1}, {1, -1}};
    auto free = [&](std::pair<int, int> p) {
        int n = 0;
        for (const auto& d : steps)
            n += int(pixels.count({p.first + d[0], p.second + d[1]}));
        return n;
    };
    while (true) {
        // A neighbour with fewer ways on first, so that a corner's spur is not left behind.
        std::pair<int, int> best;
        int bestFree = 9;
        for (const auto& d : steps) {
            const std::pair<int, int> next{cur.first + d[0], cur.second + d[1]};
            if (pixels.count(next) && free(next) < bestFree) {
                best = next;
                bestFree = free(next);
            }
        }
        if (bestFree == 9)
            return chain;
        chain.push_back(best);
        pixels.erase(best);
        cur = best;
    }
}

// Lengths of the runs of inked and blank pixels along a chain, first run first.
std::vector<int> runs(const std::vector<std::pair<int, int>>& chain, const Picture& s)
{
    std::vector<int> out;
    bool last = false;
    for (size_t i = 0; i < chain.size(); ++i) {
        const bool ink = s.at(chain[i].first, chain[i].second) == kPen;
        if (i == 0 || ink != last)
            out.push_back(0);
        ++out.back();
        last = ink;
    }
    return out;
}

// Every run along the chain but the first and last (where the pattern meets its own start)
// is three pixels long: the dotted pen's period, unbroken around the figure.
void expectDotsAlong(const std::vector<std::pair<int, int>>& chain, const Picture& s,
                     const std::string& what)
{
    const std::vector<int> r = runs(chain, s);
    ASSERT_GT(r.size(), 4u) << what;
    for (size_t i = 1; i + 1 < r.size(); ++i)
        EXPECT_EQ(r[i], 3) << what << " run " << i << " of " << r.size();
}

// The top row's leftmost pixel of a set, where closed outlines start.
std::pair<int, int> topLeft(const std::set<std::pair<int, int>>& pixels)
{
    std::pair<int, int> best = *pixels.begin();
    for (const auto& p : pixels)
        if (p.second < best.second || (p.second == best.second && p.first < best.first))
            best = p;
    return best;
}

}  // namespace

TEST(CanvasPenStyle, DottedRectangleMatchesTheClosedLineAroundIt)
{
    // The outline is the closed line from the top-left corner clockwise, the pattern running on
    // past the corners as it does along a polyline.
    const std::vector<TRect> boxes = {Rect(3, 2, 40, 30), Rect(5, 5, 12, 7), Rect(1, 1, 58, 61)};
    for (TPenStyle style : {psDot, psDash, psDashDot, psDashDotDot}) {
        for (const TRect& r : boxes) {
            const Picture rect = drawn([&](TCanvas& c) { c.Rectangle(r); }, style);
            const int R = r.Right - 1, B = r.Bottom - 1;
            const Picture loop = drawn([&](TCanvas& c) {
                const TPoint pts[] = {{r.Left, r.Top}, {R, r.Top}, {R, B}, {r.Left, B}, {r.Left, r.Top}};
                c.Polyline(pts);
            }, style);
            EXPECT_EQ(rect.where(kPen), loop.where(kPen)) << style << " " << r.Left << "," << r.Top;
            if (r.Width() > 30) {
                EXPECT_LT(rect.where(kPen).size(), size_t(2 * (R - r.Left + B - r.Top)));
            }
        }
    }
    // Pinned: a 9 x 4 dotted frame, three on and three off from the top-left corner.
    const Picture s = drawn([](TCanvas& c) { c.Rectangle(0, 0, 9, 4); }, psDot, 1, false, 10, 5);
    std::string pic;
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 10; ++x)
            pic += s.at(x, y) == kPen ? '#' : '.';
        pic += '\n';
    }
    EXPECT_EQ(pic,
              "###...###.\n"
              "..........\n"
              "#.........\n"
              "##...###..\n"
              "..........\n");
}

TEST(CanvasPenStyle, CurvedOutlinesCarryThePatternAllTheWayRound)
{
    const std::vector<std::pair<std::string, Draw>> figures = {
        {"circle", [](TCanvas& c) { c.Ellipse(4, 4, 60, 60); }},
        {"ellipse", [](TCanvas& c) { c.Ellipse(2, 10, 61, 41); }},
        {"tall ellipse", [](TCanvas& c) { c.Ellipse(20, 1, 43, 63); }},
        {"round rectangle", [](TCanvas& c) { c.RoundRect(3, 5, 58, 50, 20, 16); }},
    };
    for (const auto& [name, draw] : figures) {
        const Picture solid = drawn(draw, psSolid);
        const Picture dotted = drawn(draw, psDot);
        const auto outline = solid.where(kPen);
        const auto ink = dotted.where(kPen);
        // Only outline pixels are inked, and about half of them.
        for (const auto& p : ink)
            EXPECT_TRUE(outline.count(p)) << name;
        EXPECT_GT(ink.size() * 5, outline.size() * 2) << name;
        EXPECT_LT(ink.size() * 5, outline.size() * 3) << name;
        // Walked clockwise from the top-left of the outline, the pattern never breaks.
        const auto start = topLeft(outline);
        const auto chain = walkChain(outline, start, {start.first + 1, start.second});
        EXPECT_EQ(chain.size(), outline.size()) << name;
        expectDotsAlong(chain, dotted, name);
    }
}

TEST(CanvasPenStyle, PolygonAndPolylineRunThePatternOnPastTheirCorners)
{
    const TPoint tri[] = {{4, 4}, {50, 10}, {20, 55}};
    const Picture polygon = drawn([&](TCanvas& c) { c.Polygon(tri); }, psDot);
    const TPoint closed[] = {{4, 4}, {50, 10}, {20, 55}, {4, 4}};
    const Picture loop = drawn([&](TCanvas& c) { c.Polyline(closed); }, psDot);
    EXPECT_EQ(polygon.where(kPen), loop.where(kPen));
    // Around a pentagon the dots keep their spacing at the corners.
    const TPoint five[] = {{4, 4}, {40, 4}, {58, 22}, {58, 50}, {10, 50}};
    const Picture solid = drawn([&](TCanvas& c) { c.Polygon(five); }, psSolid);
    const Picture dotted = drawn([&](TCanvas& c) { c.Polygon(five); }, psDot);
    const auto chain = walkChain(solid.where(kPen), {4, 4}, {5, 4});
    EXPECT_EQ(chain.size(), solid.where(kPen).size());
    expectDotsAlong(chain, dotted, "pentagon");
    // Filled: the gaps show the brush where the fill reaches them.
    const Picture filled = drawn([&](TCanvas& c) { c.Polygon(tri); }, psDot, 1, true);
    EXPECT_EQ(filled.where(kPen), polygon.where(kPen));
    EXPECT_EQ(filled.at(25, 20), kBrush);
}

TEST(CanvasPenStyle, ArcPieAndChordPatternTheirWholeOutline)
{
    // Lower half of a circle, counter-clockwise from 9 o'clock to 3 o'clock.
    const Draw arc = [](TCanvas& c) { c.Arc(2, 2, 62, 62, 0, 32, 64, 32); };
    const Picture solidArc = drawn(arc, psSolid), dottedArc = drawn(arc, psDot);
    const auto arcPixels = solidArc.where(kPen);
    std::pair<int, int> left = *arcPixels.begin();  // smallest x: the arc's start
    const auto chain = walkChain(arcPixels, left, {left.first, left.second + 1});
    EXPECT_EQ(chain.size(), arcPixels.size());
    expectDotsAlong(chain, dottedArc, "arc");
    // The arc's start is the pattern's start: its first three pixels are inked.
    EXPECT_EQ(runs(chain, dottedArc).front(), 3);

    for (const bool pie : {true, false}) {
        const Draw figure = [pie](TCanvas& c) {
            if (pie) c.Pie(2, 2, 62, 62, 64, 32, 32, 0);  // the top-right quarter
            else c.Chord(2, 2, 62, 62, 64, 32, 0, 20);
        };
        const Picture solid = drawn(figure, psSolid, 1, true);
        const Picture dotted = drawn(figure, psDot, 1, true);
        const auto outline = solid.where(kPen);
        const auto ink = dotted.where(kPen);
        for (const auto& p : ink)
            EXPECT_TRUE(outline.count(p)) << pie;
        EXPECT_LT(ink.size() * 5, outline.size() * 3) << pie;
        // The fill is as with a solid pen; the pen's gaps show the brush where the figure is
        // filled and the background where its straight sides run just outside the fill.
        for (const auto& p : solid.where(kBrush))
            EXPECT_EQ(dotted.at(p.first, p.second), kBrush) << pie;
        for (const auto& p : outline) {
            if (!ink.count(p)) {
                const TColor c = dotted.at(p.first, p.second);
                EXPECT_TRUE(c == kBrush || c == kBack) << pie;
            }
        }
        // From the start of the arc (3 o'clock) round to the closing side, the pattern never
        // breaks.
        std::pair<int, int> start{0, 31};
        for (const auto& p : outline)
            if (p.second == 31)
                start.first = std::max(start.first, p.first);
        const auto around = walkChain(outline, start, {start.first, 30});
        ASSERT_GT(around.size(), 1u);
        EXPECT_EQ(around[1], std::make_pair(start.first, 30));
        EXPECT_EQ(around.size(), outline.size()) << pie;
        expectDotsAlong(around, dotted, pie ? "pie" : "chord");
        EXPECT_EQ(runs(around, dotted).front(), 3) << pie;
    }
}

TEST(CanvasPenStyle, GapsShowTheBrushOrWhatWasThereAndWidePensDrawSolid)
{
    const Draw ellipse = [](TCanvas& c) { c.Ellipse(3, 3, 50, 40); };
    const Picture solid = drawn(ellipse, psSolid, 1, true);
    const Picture dotted = drawn(ellipse, psDash, 1, true);
    const auto outline = solid.where(kPen);
    // The fill covers exactly the solid figure's inside plus the pen's gaps.
    auto fill = solid.where(kBrush);
    for (const auto& p : outline) {
        if (dotted.at(p.first, p.second) != kPen)
            fill.insert(p);
    }
    EXPECT_EQ(dotted.where(kBrush), fill);
    EXPECT_LT(dotted.where(kPen).size(), outline.size());
    // With a clear brush the gaps keep what lay beneath.
    const Picture green = drawn(ellipse, psDash, 1, false, 64, 64, clLime);
    EXPECT_EQ(green.where(kPen), dotted.where(kPen));
    EXPECT_EQ(green.where(kPen).size() + green.where(clLime).size(), size_t(64 * 64));
    // An XOR dotted frame drawn twice leaves nothing behind.
    const Draw twice = [](TCanvas& c) {
        c.Pen().SetMode(pmXor);
        c.Pen().SetColor(clWhite);
        c.Rectangle(5, 5, 40, 30);
        c.Ellipse(10, 10, 50, 50);
        c.Ellipse(10, 10, 50, 50);
        c.Rectangle(5, 5, 40, 30);
    };
    EXPECT_EQ(drawn(twice, psDot, 1, false, 64, 64, clLime).where(clLime).size(), size_t(64 * 64));
    // Wider pens draw every figure solid.
    const std::vector<Draw> figures = {
        [](TCanvas& c) { c.Rectangle(4, 4, 50, 40); },
        [](TCanvas& c) { c.Ellipse(4, 4, 50, 40); },
        [](TCanvas& c) { c.RoundRect(4, 4, 50, 40, 12, 12); },
        [](TCanvas& c) { c.Pie(4, 4, 50, 40, 50, 20, 20, 0); },
        [](TCanvas& c) { const TPoint p[] = {{4, 4}, {50, 10}, {20, 55}}; c.Polygon(p); },
    };
    for (size_t i = 0; i < figures.size(); ++i)
        EXPECT_EQ(drawn(figures[i], psDot, 2).where(kPen), drawn(figures[i], psSolid, 2).where(kPen)) << i;
}

TEST(CanvasPenStyle, ClippingKeepsEachDotInItsPlace)
{
    // Each figure, moved by (o, o), drawn partly off the surface or through a clip, inks
    // exactly the pixels the whole figure inks there.
    using Moved = std::function<void(TCanvas&, int)>;
    const std::vector<Moved> figures = {
        [](TCanvas& c, int o) { c.Rectangle(o - 7, o - 9, o + 50, o + 45); },
        [](TCanvas& c, int o) { c.Ellipse(o - 13, o + 5, o + 61, o + 77); },
        [](TCanvas& c, int o) { c.RoundRect(o + 3, o - 11, o + 70, o + 50, 30, 30); },
        [](TCanvas& c, int o) { c.Pie(o - 5, o - 5, o + 60, o + 60, o + 60, o + 27, o, o); },
        [](TCanvas& c, int o) { c.Chord(o - 5, o - 5, o + 60, o + 60, o + 60, o + 40, o, o + 10); },
        [](TCanvas& c, int o) { c.Arc(o - 20, o + 2, o + 60, o + 70, o, o + 36, o + 60, o + 36); },
        [](TCanvas& c, int o) {
            const TPoint p[] = {{o - 9, o + 4}, {o + 50, o - 13}, {o + 20, o + 55}};
            c.Polygon(p);
        },
        [](TCanvas& c, int o) {
            const TPoint p[] = {{o - 9, o + 4}, {o + 50, o - 13}, {o + 20, o + 55}};
            c.Polyline(p);
        },
        [](TCanvas& c, int o) { c.MoveTo(o - 9, o + 20); c.LineTo(o + 60, o + 20); },
    };
    // Solid too: a line cut by the clip keeps the pixels of the whole line.
    constexpr int kO = 30;
    const TRect clip = Rect(7, 5, 40, 50);
    for (const TPenStyle style : {psDashDot, psSolid}) {
        for (size_t i = 0; i < figures.size(); ++i) {
            const Moved& f = figures[i];
            const Picture whole = drawn([&](TCanvas& c) { f(c, kO); }, style, 1, false, 140, 140);
            const Picture off = drawn([&](TCanvas& c) { f(c, 0); }, style);
            const Picture clipped = drawn([&](TCanvas& c) { c.SetClipRect(clip); f(c, 0); }, style);
            int inked = 0, wrongOff = 0, wrongClipped = 0;
            for (int y = 0; y < 64; ++y)
                for (int x = 0; x < 64; ++x) {
                    const TColor want = whole.at(x + kO, y + kO);
                    const bool inside = x >= clip.Left && x < clip.Right && y >= clip.Top && y < clip.Bottom;
                    wrongOff += off.at(x, y) != want;
                    wrongClipped += clipped.at(x, y) != (inside ? want : kBack);
                    inked += want == kPen;
                }
            EXPECT_EQ(wrongOff, 0) << style << " figure " << i;
            EXPECT_EQ(wrongClipped, 0) << style << " figure " << i;
            EXPECT_GT(inked, 10) << style << " figure " << i;
        }
    }
    // Figures far larger than the surface still draw their visible part, dotted.
    const Picture huge = drawn([](TCanvas& c) {
        c.Ellipse(-2000000000, 10, 2000000000, 2000000000);
        c.Rectangle(-7, -2000000000, 40, 2000000000);
        c.Arc(-2000000000, -2000000000, 2000000000, 30, -2000000000, 0, 2000000000, 0);
    }, psDot);
    const auto ink = huge.where(kPen);
    for (const int y : {10, 29})
        EXPECT_TRUE(ink.count({20, y}) + ink.count({23, y}) == 1) << y;
    EXPECT_TRUE(ink.count({39, 20}) + ink.count({39, 23}) == 1);
}
