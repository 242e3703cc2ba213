// The platform drawing rules, checked pixel by pixel on small images.
#include <gtest/gtest.h>

#include <QImage>

#include <utility>

#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Canvas.h"
#include "platform/gfx/RecordingCanvas.h"
#include "platform/gfx/Regions.h"

using namespace gfx;

namespace {

struct Surface {
    QImage image;
    TCanvas canvas;
    Surface(int w, int h) : image(w, h, QImage::Format_RGB32), canvas(&image)
    {
        image.fill(Qt::white);
    }
    // Reads the image itself, whatever the canvas's clip.
    TColor at(int x, int y)
    {
        if (!image.rect().contains(x, y))
            return -1;
        const QRgb v = image.pixel(x, y);
        return RGB(qRed(v), qGreen(v), qBlue(v));
    }
    // Pixels of the given colour as a text picture, '#' set, '.' not.
    std::string picture(TColor c)
    {
        std::string s;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                s += at(x, y) == c ? '#' : '.';
            s += '\n';
        }
        return s;
    }
    // Bounding box of the pixels that are not white.
    TRect inkBox()
    {
        TRect r{image.width(), image.height(), -1, -1};
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (at(x, y) != clWhite) {
                    r.Left = std::min(r.Left, x); r.Top = std::min(r.Top, y);
                    r.Right = std::max(r.Right, x + 1); r.Bottom = std::max(r.Bottom, y + 1);
                }
        return r;
    }
};

}  // namespace

TEST(Canvas, RectangleOutlinesInsideAndExcludesRightAndBottom)
{
    Surface s(8, 8);
    s.canvas.Pen().SetColor(clBlack);
    s.canvas.Brush().SetColor(clRed);
    s.canvas.Rectangle(1, 1, 6, 5);
    EXPECT_EQ(s.picture(clBlack),
              "........\n"
              ".#####..\n"
              ".#...#..\n"
              ".#...#..\n"
              ".#####..\n"
              "........\n"
              "........\n"
              "........\n");
    EXPECT_EQ(s.at(2, 2), clRed);
    EXPECT_EQ(s.at(4, 3), clRed);

    // Corners given the other way round draw the same box.
    Surface t(8, 8);
    t.canvas.Pen().SetColor(clBlack);
    t.canvas.Brush().SetColor(clRed);
    t.canvas.Rectangle(6, 5, 1, 1);
    EXPECT_EQ(t.picture(clBlack), s.picture(clBlack));
}

TEST(Canvas, FillRectAndPenlessRectangle)
{
    Surface s(6, 6);
    s.canvas.Brush().SetColor(clBlue);
    s.canvas.FillRect(Rect(1, 1, 4, 3));
    EXPECT_EQ(s.inkBox(), Rect(1, 1, 4, 3));

    // Without a pen the platform fills one pixel less on the right and bottom.
    Surface t(6, 6);
    t.canvas.Pen().SetStyle(psClear);
    t.canvas.Brush().SetColor(clBlue);
    t.canvas.Rectangle(1, 1, 4, 3);
    EXPECT_EQ(t.inkBox(), Rect(1, 1, 3, 2));

    Surface u(6, 6);
    u.canvas.Brush().SetColor(clBlack);
    u.canvas.FrameRect(Rect(0, 0, 4, 3));
    EXPECT_EQ(u.picture(clBlack), "####..\n#..#..\n####..\n......\n......\n......\n");
}

TEST(Canvas, LineToSkipsItsEndPointAndMovesThePen)
{
    Surface s(8, 8);
    s.canvas.MoveTo(1, 1);
    s.canvas.LineTo(5, 1);
    s.canvas.LineTo(5, 4);
    EXPECT_EQ(s.canvas.PenPos(), Point(5, 4));
    EXPECT_EQ(s.picture(clBlack),
              "........\n"
              ".#####..\n"
              ".....#..\n"
              ".....#..\n"
              "........\n"
              "........\n"
              "........\n"
              "........\n");
    // A diagonal: (0,0)..(3,3) painted, (4,4) not.
    Surface d(6, 6);
    d.canvas.MoveTo(0, 0);
    d.canvas.LineTo(4, 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(d.at(i, i), clBlack) << i;
    EXPECT_EQ(d.at(4, 4), clWhite);
    // A zero-length line paints nothing.
    Surface z(3, 3);
    z.canvas.MoveTo(1, 1);
    z.canvas.LineTo(1, 1);
    EXPECT_EQ(z.inkBox().Right, -1);
}

TEST(Canvas, EllipseAndRoundRectStayInsideTheirBoxAndTouchEveryEdge)
{
    for (TRect box : {Rect(1, 1, 9, 7), Rect(0, 0, 2, 2), Rect(2, 3, 13, 14), Rect(1, 1, 4, 12)}) {
        Surface s(16, 16);
        s.canvas.Brush().SetColor(clLime);
        s.canvas.Ellipse(box);
        EXPECT_EQ(s.inkBox(), box);
        // The box's corners stay free on shapes large enough to be round.
        if (box.Width() > 4 && box.Height() > 4) {
            EXPECT_EQ(s.at(box.Left, box.Top), clWhite);
        }

        Surface r(16, 16);
        r.canvas.RoundRect(box.Left, box.Top, box.Right, box.Bottom, 4, 4);
        EXPECT_EQ(r.inkBox(), box);
    }
    // Filled inside, outlined around: the centre gets the brush.
    Surface s(10, 10);
    s.canvas.Brush().SetColor(clLime);
    s.canvas.Ellipse(0, 0, 10, 10);
    EXPECT_EQ(s.at(5, 5), clLime);
    EXPECT_EQ(s.at(0, 5), clBlack);
    EXPECT_EQ(s.at(5, 9), clBlack);
    EXPECT_EQ(s.at(0, 0), clWhite);
    // A round rectangle with corner size 0 is a rectangle.
    Surface a(8, 8), b(8, 8);
    a.canvas.RoundRect(1, 1, 7, 6, 0, 0);
    b.canvas.Rectangle(1, 1, 7, 6);
    EXPECT_EQ(a.picture(clBlack), b.picture(clBlack));
}

TEST(Canvas, XorDrawnTwiceRestoresEveryPixel)
{
    Surface s(24, 24);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 24; ++x)
            s.image.setPixel(x, y, qRgb(x * 10, y * 10, (x * y) & 255));
    const QImage before = s.image.copy();
    const TPoint star[] = {{12, 1}, {19, 22}, {1, 8}, {23, 8}, {5, 22}};
    for (TPenMode mode : {pmXor, pmNot}) {
        for (int pass = 0; pass < 2; ++pass) {
            s.canvas.Pen().SetMode(mode);
            s.canvas.Pen().SetColor(RGB(0x5A, 0xA5, 0x3C));
            s.canvas.Brush().SetColor(RGB(0x11, 0x22, 0x33));
            s.canvas.Rectangle(2, 2, 20, 15);
            s.canvas.Ellipse(3, 4, 21, 23);
            s.canvas.RoundRect(0, 0, 24, 24, 9, 7);
            s.canvas.Polygon(star);
            s.canvas.Pie(0, 0, 20, 20, 20, 0, 0, 20);
            s.canvas.MoveTo(0, 23);
            s.canvas.LineTo(23, 0);
            s.canvas.LineTo(0, 0);
            s.canvas.DrawFocusRect(Rect(1, 1, 22, 22));
            s.canvas.Pen().SetWidth(3);
            s.canvas.LineTo(20, 20);
            s.canvas.Ellipse(5, 5, 15, 15);
            s.canvas.Pen().SetWidth(1);
            s.canvas.MoveTo(0, 0);
        }
        EXPECT_TRUE(s.image == before) << "mode " << mode;
    }
}

TEST(Canvas, PenModesCombineWithTheDestination)
{
    Surface s(4, 1);
    s.image.fill(qRgb(0x0F, 0xF0, 0x33));  // TColor 0x33F00F
    s.canvas.Pen().SetColor(TColor(0x00F0F0));
    s.canvas.Pen().SetMode(pmMerge);
    s.canvas.MoveTo(0, 0);
    s.canvas.LineTo(1, 0);
    s.canvas.Pen().SetMode(pmXor);
    s.canvas.LineTo(2, 0);
    s.canvas.Pen().SetMode(pmNot);
    s.canvas.LineTo(3, 0);
    EXPECT_EQ(s.at(0, 0), TColor(0x33F00F | 0x00F0F0));
    EXPECT_EQ(s.at(1, 0), TColor(0x33F00F ^ 0x00F0F0));
    EXPECT_EQ(s.at(2, 0), TColor(~0x33F00F & 0xFFFFFF));
    EXPECT_EQ(s.at(3, 0), TColor(0x33F00F));
}

TEST(Canvas, FarAwayLinesCrossTheVisibleAreaWhereTheyShould)
{
    Surface s(10, 10);
    s.canvas.MoveTo(INT32_MIN, 3);
    s.canvas.LineTo(INT32_MAX, 3);
    s.canvas.MoveTo(-1000000000, -1000000000);
    s.canvas.LineTo(1000000000, 1000000000);
    for (int x = 0; x < 10; ++x) {
        EXPECT_EQ(s.at(x, 3), clBlack) << x;
        EXPECT_EQ(s.at(x, x), clBlack) << x;
    }
    EXPECT_EQ(s.at(5, 4), clWhite);
    // A line whose far end is off-screen paints up to the edge, including the last column.
    Surface e(10, 10);
    e.canvas.MoveTo(2, 7);
    e.canvas.LineTo(2000000000, 7);
    EXPECT_EQ(e.inkBox(), Rect(2, 7, 10, 8));
    // Polygon edges and pie radii towards far-away points are clipped too (no endless walk).
    Surface p(10, 10);
    const TPoint far[] = {{INT32_MIN, 0}, {INT32_MAX, 0}, {0, INT32_MAX}};
    p.canvas.Brush().SetColor(clRed);
    p.canvas.Polygon(far);
    EXPECT_EQ(p.at(0, 0), clBlack);
    EXPECT_EQ(p.at(5, 5), clRed);
    Surface q(10, 10);
    q.canvas.Pie(-2000000000, -2000000000, 2000000000, 2000000000, 2000000000, 0, 0, -2000000000);
    EXPECT_EQ(q.at(5, 5), clWhite);   // below the horizontal radius: outside the quarter
    EXPECT_EQ(q.at(5, 0), clBlack);   // ... which runs along row 0
    // Huge shapes are clipped, not wrapped.
    Surface r(10, 10);
    r.canvas.Brush().SetColor(clRed);
    r.canvas.Rectangle(-2147483000, 4, 2147483000, 2147483000);
    EXPECT_EQ(r.at(0, 4), clBlack);
    EXPECT_EQ(r.at(9, 9), clRed);
    EXPECT_EQ(r.at(9, 3), clWhite);
}

// A wide line covers the same pixels wherever it lies, and whichever edges of the surface
// cut it: each line is drawn on a roomy surface and, moved, on a small one it runs off.
TEST(Canvas, WideLinesCoverTheSamePixelsWhereverTheyLie)
{
    struct Line { int x0, y0, x1, y1; };
    for (int width : {2, 3, 6, 7}) {
        for (const Line& l : {Line{0, 0, 20, 0}, Line{0, 0, 0, -9}, Line{0, 0, 13, 5}, Line{0, 0, -4, 17},
                              Line{0, 0, 1, 1}, Line{0, 0, 0, 0}}) {
            constexpr int farX = 145, farY = 37;  // where rounding once told them apart
            Surface roomy(200, 80);
            roomy.canvas.Pen().SetWidth(width);
            roomy.canvas.MoveTo(l.x0 + farX, l.y0 + farY);
            roomy.canvas.LineTo(l.x1 + farX, l.y1 + farY);
            // Offsets that put the line across the left and top, the right and bottom, and inside.
            for (const auto& [dx, dy] : {std::pair{-2, -3}, std::pair{14, 9}, std::pair{5, 6}}) {
                Surface small(16, 12);
                small.canvas.Pen().SetWidth(width);
                small.canvas.MoveTo(l.x0 + dx, l.y0 + dy);
                small.canvas.LineTo(l.x1 + dx, l.y1 + dy);
                for (int y = 0; y < 12; ++y)
                    for (int x = 0; x < 16; ++x)
                        ASSERT_EQ(small.at(x, y), roomy.at(x - dx + farX, y - dy + farY))
                            << "width " << width << " line to " << l.x1 << "," << l.y1 << " at " << dx
                            << "," << dy << " pixel " << x << "," << y;
            }
        }
    }
}

TEST(Canvas, PolygonAlternateAndWindingFill)
{
    const TPoint star[] = {{10, 0}, {16, 19}, {0, 7}, {20, 7}, {4, 19}};
    Surface alt(21, 21), wind(21, 21);
    for (Surface* s : {&alt, &wind}) {
        s->canvas.Pen().SetStyle(psClear);
        s->canvas.Brush().SetColor(clBlue);
    }
    alt.canvas.Polygon(star, false);
    wind.canvas.Polygon(star, true);
    EXPECT_EQ(alt.at(10, 10), clWhite);  // the pentagon in the middle is outside
    EXPECT_EQ(wind.at(10, 10), clBlue);
    EXPECT_EQ(alt.at(10, 3), clBlue);   // a tip is inside either way
    EXPECT_EQ(wind.at(10, 3), clBlue);
}

TEST(Canvas, FloodFillSurfaceAndBorder)
{
    Surface s(10, 10);
    s.canvas.Brush().SetStyle(bsClear);
    s.canvas.Rectangle(2, 2, 8, 8);
    s.canvas.Brush().SetColor(clRed);
    s.canvas.FloodFill(4, 4, clBlack, fsBorder);
    EXPECT_EQ(s.at(4, 4), clRed);
    EXPECT_EQ(s.at(3, 6), clRed);
    EXPECT_EQ(s.at(2, 2), clBlack);
    EXPECT_EQ(s.at(1, 1), clWhite);
    EXPECT_EQ(s.at(8, 8), clWhite);
    // Surface: only the connected white outside.
    s.canvas.Brush().SetColor(clLime);
    s.canvas.FloodFill(0, 0, clWhite, fsSurface);
    EXPECT_EQ(s.at(9, 9), clLime);
    EXPECT_EQ(s.at(4, 4), clRed);
    // A start point that does not qualify fills nothing.
    s.canvas.Brush().SetColor(clBlue);
    s.canvas.FloodFill(4, 4, clWhite, fsSurface);
    EXPECT_EQ(s.at(4, 4), clRed);
}

TEST(Canvas, PixelsOutsideReadAsInvalidAndAreIgnored)
{
    Surface s(3, 3);
    EXPECT_EQ(s.canvas.Pixels(-1, 0), -1);
    EXPECT_EQ(s.canvas.Pixels(3, 0), -1);
    s.canvas.SetClipRect(Rect(0, 0, 1, 1));
    EXPECT_EQ(s.canvas.Pixels(2, 2), -1);
    s.canvas.ClearClip();
    s.canvas.SetPixel(5, 5, clRed);
    s.canvas.SetPixel(1, 1, clRed);
    EXPECT_EQ(s.at(1, 1), clRed);
    // System colours are resolved when written.
    s.canvas.SetPixel(0, 0, clBtnFace);
    EXPECT_EQ(s.at(0, 0), ColorToRGB(clBtnFace));
    TCanvas none;
    EXPECT_EQ(none.Pixels(0, 0), -1);
    none.Rectangle(0, 0, 5, 5);  // no surface: nothing happens
}

TEST(Canvas, ClipRectangleAndRegionLimitDrawing)
{
    Surface s(10, 10);
    s.canvas.SetClipRect(Rect(2, 2, 5, 5));
    s.canvas.Brush().SetColor(clRed);
    s.canvas.FillRect(Rect(0, 0, 10, 10));
    EXPECT_EQ(s.inkBox(), Rect(2, 2, 5, 5));
    EXPECT_EQ(s.canvas.ClipRect(), Rect(2, 2, 5, 5));
    s.canvas.SetClipRegion(QRegion(0, 0, 1, 1) + QRegion(9, 9, 1, 1));
    s.canvas.Brush().SetColor(clBlue);
    s.canvas.FillRect(Rect(0, 0, 10, 10));
    EXPECT_EQ(s.at(0, 0), clBlue);
    EXPECT_EQ(s.at(9, 9), clBlue);
    EXPECT_EQ(s.at(5, 5), clWhite);
    s.canvas.ClearClip();
    EXPECT_EQ(s.canvas.ClipRect(), Rect(0, 0, 10, 10));
}

TEST(Canvas, PieAndArcStayInTheirSector)
{
    // Quarter from 3 o'clock counter-clockwise to 12 o'clock: the top-right quarter.
    Surface s(20, 20);
    s.canvas.Brush().SetColor(clRed);
    s.canvas.Pie(0, 0, 20, 20, 20, 10, 10, 0);
    EXPECT_EQ(s.at(15, 5), clRed);
    EXPECT_EQ(s.at(5, 5), clWhite);
    EXPECT_EQ(s.at(5, 15), clWhite);
    EXPECT_EQ(s.at(15, 15), clWhite);
    Surface a(20, 20);
    a.canvas.Arc(0, 0, 20, 20, 0, 10, 20, 10);  // lower half, counter-clockwise from 9 o'clock
    EXPECT_EQ(a.inkBox().Top, 10);
    EXPECT_EQ(a.inkBox().Bottom, 20);
}

TEST(Canvas, HatchBrushLeavesGapsUntouched)
{
    Surface s(8, 8);
    s.canvas.Brush().SetColor(clBlack);
    s.canvas.Brush().SetStyle(bsHorizontal);
    s.canvas.FillRect(Rect(0, 0, 8, 8));
    int black = 0;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            black += s.at(x, y) == clBlack;
    EXPECT_EQ(black, 8);
    // Setting a colour on a clear brush makes it solid.
    s.canvas.Brush().SetStyle(bsClear);
    s.canvas.Brush().SetColor(clRed);
    EXPECT_EQ(s.canvas.Brush().Style(), bsSolid);
}

TEST(Canvas, TextStartsAtTheTopLeftOfItsCell)
{
    Surface s(120, 40);
    s.canvas.Font().SetName("Arial");
    s.canvas.Font().SetSize(12);
    s.canvas.Font().SetColor(clBlack);
    s.canvas.Brush().SetColor(clYellow);
    const TSize ext = s.canvas.TextExtent("Wg");
    ASSERT_GT(ext.cx, 0);
    ASSERT_GE(ext.cy, 12);
    s.canvas.TextOut(10, 5, "Wg");
    EXPECT_EQ(s.canvas.PenPos(), Point(10 + ext.cx, 5));
    // The opaque cell starts exactly at (10, 5).
    EXPECT_NE(s.at(10, 5), clWhite);
    EXPECT_EQ(s.at(9, 5), clWhite);
    EXPECT_EQ(s.at(10, 4), clWhite);
    EXPECT_EQ(s.at(10 + ext.cx, 5 + ext.cy), clWhite);
    // Glyph ink lies inside the cell.
    Surface t(120, 40);
    t.canvas.Font().SetName("Arial");
    t.canvas.Font().SetSize(12);
    t.canvas.Font().SetColor(clBlack);
    t.canvas.Brush().SetStyle(bsClear);
    t.canvas.TextOut(10, 5, "Wg");
    const TRect ink = t.inkBox();
    EXPECT_GE(ink.Left, 10);
    EXPECT_GE(ink.Top, 5);
    EXPECT_LE(ink.Right, 10 + ext.cx + 1);
    EXPECT_LE(ink.Bottom, 5 + ext.cy);
}

TEST(Canvas, DrawTextMeasuresElidesAndStripsPrefixes)
{
    Surface s(100, 40);
    TRect calc = Rect(0, 0, 0, 0);
    const int h = s.canvas.DrawText("&Open", calc, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(h, s.canvas.TextHeight("Open"));
    EXPECT_EQ(calc.Width(), s.canvas.TextWidth("Open"));
    TRect amp = Rect(0, 0, 0, 0);
    s.canvas.DrawText("a&&b", amp, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(amp.Width(), s.canvas.TextWidth("a&b"));
    // An ellipsis keeps the drawing inside a narrow box.
    s.canvas.Brush().SetStyle(bsClear);
    TRect r = Rect(10, 10, 40, 30);
    s.canvas.DrawText("A rather long caption that cannot fit", r, DT_SINGLELINE | DT_END_ELLIPSIS);
    const TRect ink = s.inkBox();
    EXPECT_GE(ink.Left, 10);
    EXPECT_LE(ink.Right, 40);
    // Word break makes more lines.
    TRect wrap = Rect(0, 0, 40, 0);
    const int lines = s.canvas.DrawText("one two three four", wrap, DT_CALCRECT | DT_WORDBREAK);
    EXPECT_GT(lines, s.canvas.TextHeight("o"));
}

TEST(Canvas, DrawTextBreaksLinesAtCrLfAndCrLf)
{
    Surface s(100, 40);
    const int line = s.canvas.TextHeight("A");
    for (const char* text : {"one\rtwo", "one\ntwo", "one\r\ntwo"}) {
        TRect calc = Rect(0, 0, 0, 0);
        EXPECT_EQ(s.canvas.DrawText(text, calc, DT_CALCRECT), 2 * line) << text;
        EXPECT_EQ(calc.Width(), s.canvas.TextWidth("one")) << text;
    }
    TRect single = Rect(0, 0, 0, 0);
    EXPECT_EQ(s.canvas.DrawText("one\rtwo", single, DT_CALCRECT | DT_SINGLELINE), line);
}

TEST(Canvas, TransparentDrawSkipsTheBottomLeftColour)
{
    TBitmap b(3, 2);
    b.Canvas().Brush().SetColor(clLime);
    b.Canvas().FillRect(Rect(0, 0, 3, 2));
    b.Canvas().SetPixel(1, 0, clRed);
    b.SetTransparent(true);
    EXPECT_EQ(b.TransparentColor(), clLime);
    Surface s(5, 5);
    s.canvas.Draw(1, 1, b);
    EXPECT_EQ(s.at(2, 1), clRed);
    EXPECT_EQ(s.at(1, 1), clWhite);
    EXPECT_EQ(s.at(3, 2), clWhite);
    // A fixed transparent colour instead.
    b.SetTransparentColor(clRed);
    Surface f(5, 5);
    f.canvas.Draw(0, 0, b);
    EXPECT_EQ(f.at(1, 0), clWhite);
    EXPECT_EQ(f.at(0, 0), clLime);
    // StretchDraw is nearest neighbour: each source pixel becomes a 2 x 2 block.
    b.SetTransparent(false);
    Surface g(6, 4);
    g.canvas.StretchDraw(Rect(0, 0, 6, 4), b);
    EXPECT_EQ(g.at(2, 0), clRed);
    EXPECT_EQ(g.at(3, 1), clRed);
    EXPECT_EQ(g.at(4, 0), clLime);
    EXPECT_EQ(g.at(1, 3), clLime);
}

TEST(Canvas, CopyRectAppliesTheCopyMode)
{
    Surface src(2, 1), dst(2, 1);
    src.image.setPixel(0, 0, qRgb(0xF0, 0, 0));
    src.image.setPixel(1, 0, qRgb(0x0F, 0, 0));
    dst.image.fill(qRgb(0x33, 0, 0));
    dst.canvas.SetCopyMode(cmSrcInvert);
    dst.canvas.CopyRect(Rect(0, 0, 2, 1), src.canvas, Rect(0, 0, 2, 1));
    EXPECT_EQ(GetRValue(dst.at(0, 0)), 0xF0 ^ 0x33);
    EXPECT_EQ(GetRValue(dst.at(1, 0)), 0x0F ^ 0x33);
    dst.canvas.SetCopyMode(cmSrcAnd);
    dst.canvas.CopyRect(Rect(0, 0, 1, 1), src.canvas, Rect(1, 0, 2, 1));
    EXPECT_EQ(GetRValue(dst.at(0, 0)), (0xF0 ^ 0x33) & 0x0F);
}

TEST(Canvas, OneToOneCopiesMatchTheScaledRule)
{
    // A 1:1 copy from an offset source, partly off the surface on both sides and partly past
    // the source's edge, lands every pixel where the scaled copy would.
    QImage src(6, 3, QImage::Format_RGB32);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 6; ++x)
            src.setPixel(x, y, qRgb(10 * x + 1, 20 * y + 1, 7));
    Surface one(5, 4), ref(5, 4);
    one.canvas.DrawImage(src, Rect(2, 0, 8, 3), Rect(-1, 1, 5, 4));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x) {
            const int sx = x + 1 + 2, sy = y - 1;   // dest (-1, 1) shows source (2, 0)
            const bool inside = y >= 1 && sx < 6;
            const TColor want = inside ? RGB(10 * sx + 1, 20 * sy + 1, 7) : clWhite;
            EXPECT_EQ(one.at(x, y), want) << x << "," << y;
        }
    // The same copy through the scaled path (drawn at twice the size, then every other pixel).
    Surface big(10, 8);
    big.canvas.DrawImage(src, Rect(2, 0, 8, 3), Rect(-2, 2, 10, 8));
    EXPECT_EQ(big.at(2, 2), one.at(1, 1));
    EXPECT_EQ(big.at(6, 4), one.at(3, 2));
}

TEST(Canvas, ScaledCopiesTakeEachPixelFromTheNearestSourcePixel)
{
    // Enlargements repeat whole rows, so rows may be copied from the one above; a source
    // rectangle reaching past the picture leaves those columns as they were, on every row.
    QImage src(7, 5, QImage::Format_RGB32);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            src.setPixel(x, y, qRgb(30 * x + 3, 40 * y + 5, 9));
    struct Case { TRect from, to; };
    for (const Case& c : {Case{Rect(0, 0, 7, 5), Rect(-4, -3, 17, 14)},    // x3, off the top left
                          Case{Rect(4, 1, 10, 5), Rect(1, 2, 19, 14)},     // past the right edge
                          Case{Rect(0, 0, 7, 5), Rect(2, 1, 6, 4)}}) {     // reduced
        Surface s(16, 12);
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 16; ++x)
                s.image.setPixel(x, y, qRgb(x, y, 200));
        s.canvas.DrawImage(src, c.from, c.to);
        const int64_t sw = c.from.Width(), sh = c.from.Height(), dw = c.to.Width(), dh = c.to.Height();
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 16; ++x) {
                TColor want = RGB(x, y, 200);
                if (x >= c.to.Left && x < c.to.Right && y >= c.to.Top && y < c.to.Bottom) {
                    const int64_t sx = c.from.Left + (2 * (x - c.to.Left) + 1) * sw / (2 * dw);
                    const int64_t sy = c.from.Top + (2 * (y - c.to.Top) + 1) * sh / (2 * dh);
                    if (sx < 7 && sy < 5)
                        want = RGB(30 * sx + 3, 40 * sy + 5, 9);
                }
                ASSERT_EQ(s.at(x, y), want) << c.to.Left << ": " << x << "," << y;
            }
    }
}

TEST(Canvas, RecordingCanvasLogsCallsWithTheirState)
{
    TRecordingCanvas c(10, 10);
    c.Pen().SetColor(clRed);
    c.Brush().SetStyle(bsClear);
    c.Rectangle(0, 0, 10, 10);
    c.MoveTo(1, 2);
    c.LineTo(3, 4);
    c.Font().SetName("Arial");
    c.Font().SetHeight(-12);
    c.Font().SetColor(clBlue);
    c.TextOut(4, 4, "OK");
    TRect r = Rect(0, 0, 10, 10);
    c.TextRect(r, 1, 1, "x");
    EXPECT_EQ(c.Text(),
              "Rectangle(0,0,10,10) pen=#FF0000/1/psSolid/pmCopy brush=#FFFFFF/bsClear\n"
              "MoveTo(1,2)\n"
              "LineTo(3,4) pen=#FF0000/1/psSolid/pmCopy\n"
              "TextOut(4,4,\"OK\") font=\"Arial\"/-12/#0000FF/0 brush=#FFFFFF/bsClear\n"
              "TextRect(0,0,10,10,1,1,\"x\") font=\"Arial\"/-12/#0000FF/0 brush=#FFFFFF/bsClear\n");
    // It still paints.
    EXPECT_EQ(c.Pixels(0, 0), clRed);
}

TEST(Colors, SystemColoursResolveThroughTheFixedTable)
{
    EXPECT_EQ(ColorToRGB(clBtnFace), RGB(212, 208, 200));
    EXPECT_EQ(ColorToRGB(clWindow), clWhite);
    EXPECT_EQ(ColorToRGB(SystemColor(200)), clBlack);
    EXPECT_EQ(ColorToRGB(0x7F123456), 0x123456);
    EXPECT_EQ(RGB(1, 2, 3), 0x030201);
    EXPECT_EQ(GetGValue(RGB(1, 2, 3)), 2);
}

TEST(Fonts, NamesMapThroughTheSubstitutionTableAndSizesAt96Dpi)
{
    EXPECT_EQ(MapFontName("ＭＳ Ｐゴシック"), "IPAPGothic");
    EXPECT_EQ(MapFontName("ＭＳ ゴシック"), "IPAGothic");
    EXPECT_EQ(MapFontName("arial"), "Nimbus Sans");
    EXPECT_EQ(MapFontName("Unknown Face"), "Unknown Face");
    TFont f;
    int changes = 0;
    f.OnChange = [&] { ++changes; };
    f.SetSize(9);
    EXPECT_EQ(f.Height(), -12);
    EXPECT_EQ(f.Size(), 9);
    f.SetSize(9);
    f.SetHeight(-16);
    EXPECT_EQ(f.Size(), 12);
    EXPECT_EQ(changes, 1);  // 9 pt was already the default height -12
    EXPECT_EQ(f.toQFont().pixelSize(), 16);
}

TEST(Regions, ShapesCoverTheSamePixelsAsTheCanvasFills)
{
    Surface e(20, 14), r(20, 14);
    e.canvas.Brush().SetColor(clBlack);
    e.canvas.Ellipse(1, 2, 19, 13);
    r.canvas.Brush().SetColor(clBlack);
    r.canvas.RoundRect(1, 2, 19, 13, 8, 6);
    const QRegion er = CreateEllipticRgn(1, 2, 19, 13);
    const QRegion rr = CreateRoundRectRgn(1, 2, 19, 13, 8, 6);
    for (int y = 0; y < 14; ++y)
        for (int x = 0; x < 20; ++x) {
            EXPECT_EQ(PtInRegion(er, x, y), e.at(x, y) == clBlack) << x << "," << y;
            EXPECT_EQ(PtInRegion(rr, x, y), r.at(x, y) == clBlack) << x << "," << y;
        }
    EXPECT_EQ(CreateRectRgn(5, 5, 2, 3).boundingRect(), QRect(2, 3, 3, 2));
    const TPoint tri[] = {{0, 0}, {10, 0}, {0, 10}};
    EXPECT_TRUE(PtInRegion(CreatePolygonRgn(tri, false), 2, 2));
    EXPECT_FALSE(PtInRegion(CreatePolygonRgn(tri, false), 8, 8));
}

TEST(Canvas, ChordEndsOnItsRadialPoints)
{
    // The chord from 3 o'clock to 9 o'clock is one straight row.
    Surface s(24, 16);
    s.canvas.Brush().SetColor(clRed);
    s.canvas.Chord(0, 0, 24, 16, 24, 8, 0, 8);
    EXPECT_EQ(s.inkBox(), Rect(0, 0, 24, 9));
    for (int x = 0; x < 24; ++x)
        EXPECT_EQ(s.at(x, 8), clBlack) << x;
}

TEST(Canvas, DrawEdgeUsesTheSystemColoursAndAdjusts)
{
    Surface s(6, 6);
    TRect r = Rect(0, 0, 6, 6);
    s.canvas.DrawEdge(r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    EXPECT_EQ(r, Rect(2, 2, 4, 4));
    EXPECT_EQ(s.at(0, 0), ColorToRGB(clBtnShadow));      // outer top-left
    EXPECT_EQ(s.at(5, 5), ColorToRGB(clBtnHighlight));   // outer bottom-right
    EXPECT_EQ(s.at(1, 1), ColorToRGB(cl3DDkShadow));     // inner top-left
    EXPECT_EQ(s.at(4, 4), ColorToRGB(cl3DLight));        // inner bottom-right
    EXPECT_EQ(s.at(3, 3), clWhite);
}

TEST(Fonts, JapaneseFacesDrawJapaneseText)
{
    Surface s(80, 30);
    s.canvas.Font().SetName("ＭＳ Ｐゴシック");
    s.canvas.Font().SetColor(clBlack);
    s.canvas.Brush().SetStyle(bsClear);
    const TSize ext = s.canvas.TextExtent("日本語");
    EXPECT_GT(ext.cx, 20);
    s.canvas.TextOut(2, 2, "日本語");
    const TRect ink = s.inkBox();
    EXPECT_GT(ink.Width(), 20);
    EXPECT_GE(ink.Left, 2);
}

TEST(Fonts, TextOnSixteenBitImagesLandsWhereItDoesOnThirtyTwo)
{
    for (QImage::Format f : {QImage::Format_RGB16, QImage::Format_RGB555, QImage::Format_BGR888}) {
        QImage narrow(120, 30, f), wide(120, 30, QImage::Format_RGB32);
        narrow.fill(Qt::black);
        wide.fill(Qt::black);
        for (QImage* img : {&narrow, &wide}) {
            TCanvas c(img);
            c.Brush().SetStyle(bsClear);
            c.Font().SetColor(clWhite);
            c.TextOut(4, 4, "Left 左");
        }
        EXPECT_EQ(narrow.convertToFormat(QImage::Format_RGB32), wide) << f;
    }
}
