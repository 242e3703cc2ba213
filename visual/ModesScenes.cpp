// Visual modes 25-29, the soft scenes: a flower field, floating rectangles over a swaying
// picture, a walker on a wavy sea, a dancer turning in space and a planet over a ribbon of
// past waveforms. Each builds its picture in the scene bitmap (picture slot 0), deforms it
// with the fast-bitmap routines, puts it on the pane and draws sharp details over it.
//
// Mode 28 draws its frame straight through: letting the message loop run in the middle of it
// would let a display tick paint over the half-built scene and the shared work buffers.
#include <algorithm>
#include <cmath>

#include "platform/gfx/Bitmap.h"
#include "visual/BitmapRoutines.h"
#include "visual/VisualModes.h"
#include "visual/VisualResources.h"

using namespace visualmodes;

namespace {

// Picture slots of the built-in pictures these modes use.
constexpr int kHeadPicture = 3;    // "b02"
constexpr int kSkyPicture = 6;     // "j02"
constexpr int kWalkerPicture = 7;  // "g02"

constexpr double Degree = Pi / 180;

// Each component 0 or 255 at random, Instead when that is black.
gfx::TColor onOffOr(gfx::TColor Instead)
{
    const gfx::TColor c = RandomOnOff(255);
    return c == 0 ? Instead : c;
}

void setPenAndBrush(gfx::TCanvas& Canvas, gfx::TColor Colour)
{
    Canvas.Pen().SetColor(Colour);
    Canvas.Brush().SetColor(Colour);
}

void circle(gfx::TCanvas& Canvas, int X, int Y, int R)
{
    Canvas.Ellipse(X - R, Y - R, X + R, Y + R);
}

// A blob colour of the flower field: greens mostly, now and then a bright one.
gfx::TColor meadowColour()
{
    const int pick = rtl::Random(10);
    switch (pick) {
    case 0: return gfx::RGB(0, 150, 100);
    case 1: return gfx::RGB(100, 160, 0);
    case 2: return gfx::RGB(150, 150, 100);
    case 3:
    case 4:
    case 5: return BrightRandomColour();
    default: {
        const int green = 100 + rtl::Random(110);
        return gfx::RGB(0, green, 0);
    }
    }
}

// The falling blobs of the sea scene, coloured by their index.
gfx::TColor blobColour(int K)
{
    if (K <= 2)
        return 0x00FF00FF;
    if (K <= 4)
        return 0x0000FFFF;
    if (K <= 9)
        return 0x000000FF;
    if (K <= 12)
        return 0x00FFFF00;
    if (K <= 17)
        return 0x0000FF00;
    return 0x00FF0000;
}

}  // namespace

// Soft green blobs drifting down behind flowers that open to the beat.
void TVisualPainter::mode25(TCall& C)
{
    auto& points = State.Points;
    auto& flowers = State.Particles;
    int& counter = State.Counters[25];
    C.Canvas.Brush().SetStyle(gfx::bsSolid);
    if (State.FirstPaint[25]) {
        for (int k = 0; k <= 20; ++k) {
            points[k].Y = rtl::Random(C.H);
            points[k].X = rtl::Random(C.W + 50);
        }
        State.FirstPaint[25] = 0;
        counter = 0;
        for (int k = 0; k <= 20; ++k) {
            TParticle& f = flowers[k];
            f.Shade = 0;
            f.X = rtl::Random(20) + (C.W / 21) * k + 16;
            f.Y = rtl::Random(C.H - 20) + 10;
            f.Colour = onOffOr(0x004080FF);
        }
    }
    gfx::TBitmap& meadow = scene(C.W, C.H);
    gfx::TCanvas& sc = meadow.Canvas();
    for (int k = 0; k <= 20; ++k) {
        gfx::TPoint& p = points[k];
        Sink(p, counter);
        if (p.Y > -40) {
            setPenAndBrush(sc, meadowColour());
            sc.Ellipse(p.X, p.Y, p.X + 50, p.Y + 50);
        }
        if (p.Y > C.HalfH)
            BackAbove(p, C.W, C.H);
    }
    BlurBitmap(FRes, meadow, 7);
    C.Canvas.Draw(0, 0, meadow);

    TParticle& beat = flowers[Trunc32(C.Min(21) * 0.078125)];
    if (beat.Shade == 0)
        beat.Shade = 12;
    gfx::TCanvas& cv = C.Canvas;
    for (int k = 0; k <= 20; ++k) {
        TParticle& f = flowers[k];
        if (f.Shade <= 0)
            continue;
        const double s = std::min(f.Shade / 10.0, 1.0);
        cv.Pen().SetColor(gfx::clWhite);
        cv.Brush().SetColor(f.Colour);
        const int petal = Trunc32(s * 6.0);
        for (int p = 0; p <= 4; ++p) {
            const double angle = p * 72 * Degree;
            circle(cv, Trunc32(std::cos(angle) * 8.0 * s) + f.X,
                   Trunc32(std::sin(angle) * 8.0 * s) + f.Y, petal);
        }
        cv.Brush().SetColor(0x0000FFFF);
        circle(cv, f.X, f.Y, Trunc32(s * 4.0));
        if (counter % 4 == 0) {
            if (--f.Shade == 0)
                f.Colour = onOffOr(0x004080FF);
        }
    }
    if (++counter > C.H)
        counter = 0;
}

// Blurred coloured rectangles and sparkles blended over a slowly swaying picture.
void TVisualPainter::mode26(TCall& C)
{
    auto& points = State.Points;
    auto& drift = State.Drift;
    int& counter = State.Counters[26];
    C.Canvas.Brush().SetStyle(gfx::bsSolid);
    if (State.FirstPaint[26]) {
        for (int k = 0; k <= 50; ++k) {
            points[k].X = rtl::Random(C.W + 50);
            points[k].Y = rtl::Random(C.H);
        }
        for (gfx::TPoint& d : drift) {
            d.X = rtl::Random(C.W);
            d.Y = rtl::Random(C.H);
        }
        State.FirstPaint[26] = 0;
        counter = 0;
        State.ScrollOffset = -5.0;
        State.ScrollStep = 0.01;
    }
    gfx::TBitmap& picture = scene(C.W, C.H);
    gfx::TCanvas& sc = picture.Canvas();
    const double g = std::max(C.Lv(), 0.3);
    for (int k = 0; k <= 40; ++k) {
        const gfx::TColor colour = RandomOnOff(Trunc32(g * 220.0));
        State.CurrentColour = colour == 0 ? gfx::TColor(0x00FF0000) : colour;
        gfx::TPoint& d = drift[k];
        d.X += 1;
        if (counter % 3 == 0) {
            d.X += (k % 2 == 0) + (k % 3 == 0);
            d.Y += (k % 5 == 0) - (k % 4 == 0);
        }
        // Whether a rectangle shows is read from the sparkle with its index, as it always was.
        if (points[k].X > -40) {
            setPenAndBrush(sc, State.CurrentColour);
            sc.Rectangle(d.X, d.Y, d.X + 40, d.Y + 20);
        }
        if (d.X > C.W || d.Y > C.H) {
            d.X = -rtl::Random(C.W);
            d.Y = rtl::Random(C.H - 20);
        }
    }
    BlurBitmap(FRes, picture, 8);
    for (int k = 0; k <= 100; ++k) {
        gfx::TPoint& p = points[k];
        Sink(p, counter);
        if (p.Y > -1)
            sc.SetPixel(p.X, p.Y, RandomOnOff(200));
        if (p.Y > C.HalfH)
            BackAbove(p, C.W, C.H);
    }

    gfx::TBitmap& sky = FRes.WorkA();
    sky.SetSize(C.W, C.H);
    const int z = Trunc32(static_cast<double>(State.ScrollOffset));
    sky.Canvas().StretchDraw({0, z, C.W, C.H + z}, FRes.Picture(kSkyPicture));
    State.ScrollOffset += State.ScrollStep;
    if (State.ScrollOffset <= -5.0 || State.ScrollOffset >= 5.0)
        State.ScrollStep = -State.ScrollStep;
    ShiftBitmap(FRes, sky, -counter / 4, 0);
    BlendBitmaps(FRes, picture, sky, 200);
    C.Canvas.Draw(0, 0, picture);
    if (++counter > 4 * C.W)
        counter = 0;
}

// A little figure bobbing and wandering on a wavy sea under falling coloured blobs.
void TVisualPainter::mode27(TCall& C)
{
    auto& points = State.Points;
    int& counter = State.Counters[27];
    gfx::TCanvas& cv = C.Canvas;
    cv.Brush().SetStyle(gfx::bsSolid);
    if (State.FirstPaint[27]) {
        for (int k = 0; k <= 20; ++k) {
            points[k].Y = rtl::Random(C.HalfH + 25) - 25;
            points[k].X = rtl::Random(C.HalfW + 20) - 10;
        }
        State.FirstPaint[27] = 0;
        counter = 0;
        State.Walkers[0].Direction = rtl::Random(3) - 1;
        State.Walkers[1].Direction = rtl::Random(3) - 1;
        State.Walkers[0].X = rtl::Random(C.HalfW) + C.HalfW / 4;
        State.Walkers[1].X = rtl::Random(C.HalfW) + C.HalfW / 4;
    }
    TPainterState::TWalker& walker = State.Walkers[C.Ch];
    gfx::TBitmap& figure = FRes.Picture(kWalkerPicture);
    const int rightmost = C.W - figure.Width() - 5;
    if (walker.X < 10) {
        walker.X = 10;
        walker.Direction = 1;
    }
    if (walker.X > rightmost) {
        walker.X = rightmost;
        walker.Direction = -1;
    }
    if (rtl::Random(400) == 1)
        walker.Direction = -walker.Direction;

    gfx::TBitmap& sky = scene(C.HalfW, C.HalfH);
    gfx::TCanvas& sc = sky.Canvas();
    for (int k = 0; k <= 20; ++k) {
        gfx::TPoint& p = points[k];
        if (counter % 5 == 0)
            p.Y += 1;
        if (rtl::Random(3) == 0 && counter % 6 == 0)
            p.Y += 1;
        if (rtl::Random(4) == 0 && counter % 3 == 0)
            p.X -= 1;
        if (p.Y > -25) {
            State.CurrentColour = blobColour(k);
            setPenAndBrush(sc, State.CurrentColour);
            sc.Ellipse(p.X, p.Y, p.X + 25, p.Y + 25);
        }
        if (p.Y > C.HalfH) {
            p.X = rtl::Random(C.HalfW + 20) - 10;
            p.Y = -rtl::Random(C.HalfH) - 25;
        }
    }
    TwistBitmap(FRes, sky, 25);
    BlurBitmap(FRes, sky, 4);
    cv.StretchDraw({0, 0, C.W, C.H - 16}, sky);

    const int bob = Trunc32(std::sin(counter * 4 * Degree) * 5.0);
    gfx::TBitmap& tilted = FRes.WorkA();
    tilted.Assign(figure);
    RotateBitmap(FRes, tilted, bob - 4);
    tilted.SetTransparent(true);
    cv.Draw(walker.X, C.HalfH - 9 + bob, tilted);
    if (counter % 4 == 0)
        walker.X += walker.Direction;

    cv.Pen().SetColor(0x00FF0000);
    cv.Brush().SetColor(gfx::RGB(0, 0, 90));
    FPolygon.clear();
    for (int i = 0; i <= C.W; ++i) {
        const int wave = Trunc32(std::sin((counter + i) * 4 * Degree) * 4.0);
        FPolygon.push_back({i, wave + 16 + C.Min(i / 8) / 20 + 24});
    }
    FPolygon.push_back({C.W, C.H});
    FPolygon.push_back({0, C.H});
    cv.Polygon(FPolygon);
    if (++counter > 360)
        counter = 0;
}

// A stick dancer turning slowly in space over glowing blobs and stars.
void TVisualPainter::mode28(TCall& C)
{
    auto& points = State.Points;
    auto& glows = State.Particles;
    int& counter = State.Counters[28];
    gfx::TCanvas& cv = C.Canvas;
    cv.Brush().SetStyle(gfx::bsSolid);
    if (State.FirstPaint[28]) {
        for (int k = 0; k <= 100; ++k) {
            points[k].X = rtl::Random(C.W + 25);
            points[k].Y = rtl::Random(C.H);
        }
        State.FirstPaint[28] = 0;
        counter = 0;
        State.Spins = {};
        for (int k = 0; k <= 10; ++k) {
            TParticle& g = glows[k];
            g.Colour = RandomOnOff(255);
            g.X = rtl::Random(20) + (C.HalfW / 12) * k;
            g.Y = rtl::Random(C.HalfH - 10) + 5;
            g.Shade = 0;
        }
    }
    TParticle& beat = glows[Trunc32(C.Min(91) * 0.046875)];
    if (beat.Shade == 0)
        beat.Shade = 10;

    gfx::TBitmap& space = scene(C.HalfW, C.HalfH);
    gfx::TCanvas& sc = space.Canvas();
    for (int k = 0; k <= 10; ++k) {
        TParticle& g = glows[k];
        if (g.Shade <= 0)
            continue;
        const double s = std::min(g.Shade / 10.0, 1.0);
        sc.Pen().SetColor(gfx::clWhite);
        const int rx = Trunc32(s * 30.0);
        const int ry = Trunc32(s * 20.0);
        sc.Brush().SetColor(g.Colour);
        sc.Ellipse(g.X - rx, g.Y - ry, g.X + rx, g.Y + ry);
        sc.Brush().SetColor(gfx::clWhite);
        circle(sc, g.X, g.Y, Trunc32(s * 10.0));
        if (counter % 2 == 0) {
            g.Colour = RandomOnOff(255);
            g.Shade -= 1;
        }
    }
    BlurBitmap(FRes, space, 4);
    cv.StretchDraw({0, 0, C.W, C.H}, space);

    // Stars show only on the dark background; a pixel outside the pane reads -1, which
    // (as an unsigned number) is never dark, so nothing is written there.
    constexpr std::uint32_t kDark = gfx::RGB(20, 20, 20);
    for (int k = 0; k <= 100; ++k) {
        cv.Pen().SetColor(RandomOnOff(255));
        gfx::TPoint& p = points[k];
        p.Y -= 1;
        if (counter % 2 == 0)
            p.X += Drift(k);
        if (p.Y < C.H && static_cast<std::uint32_t>(cv.Pixels(p.X, p.Y)) < kDark)
            cv.SetPixel(p.X, p.Y, cv.Pen().Color());
        if (p.Y < -16 || p.X > C.W) {
            p.X = rtl::Random(C.W - 2);
            p.Y = C.H + rtl::Random(C.H);
        }
    }
    if (++counter > 360)
        counter = 0;
    spaceDancer(C);
}

// Mode 28's dancer, drawn in a 40 x 50 bitmap, turned by the channel's angle and put beside
// the middle of the pane.
void TVisualPainter::spaceDancer(TCall& C)
{
    gfx::TBitmap& figure = scene(40, 50);
    gfx::TCanvas& fc = figure.Canvas();
    fc.Pen().SetWidth(3);
    fc.Pen().SetColor(RandomColour(0, 255));
    const int v = Trunc32(C.Lv() * 100.0) - 50;
    int lean = poseAndLean(C, v > 0, v < 0, 2);
    if (rtl::Random(2) == 0)
        State.Bob = rtl::Random(6) - 2;
    lean = -lean;

    const int x = 20;
    const int y = 20;
    fc.MoveTo(x + 1, y + State.Bob);
    fc.LineTo(x + 1 + lean, y + 10);
    gfx::TBitmap& head = FRes.Picture(kHeadPicture);
    head.SetTransparent(true);
    fc.Draw(x - 6, y - 16 + State.Bob - (lean != 0 ? 1 : 0), head);
    static constexpr TLegPoints kSpaceLegs{{-4, -5, -9}, {6, 7, 11}, {7, 7, 8}};
    figureB(C, fc, x, y, lean, kSpaceLegs);

    int px = (C.W - 40) / 3;
    int shift = 16 - Trunc32(C.Lv() * 32.0);
    if (C.Ch == 1)
        shift = -shift;
    px = C.Ch == 0 ? 2 * px + shift : px - shift;
    TPainterState::TSpin& spin = State.Spins[C.Ch];
    RotateBitmap(FRes, figure, static_cast<double>(360.0L - spin.Angle));
    figure.SetTransparent(true);
    C.Canvas.Draw(px, (C.H - figure.Height()) / 2 + 4, figure);

    spin.Angle += spin.Spin;
    if (rtl::Random(200) == 0)
        spin.Spin = -spin.Spin;
    if (rtl::Random(200) == 0)
        spin.Spin = rtl::Random(10) / 10.0L + 0.1L;
}

void visualmodes::FallingStars(gfx::TCanvas& Canvas, std::array<gfx::TPoint, 301>& Points, int W, int H, int Counter)
{
    for (int k = 0; k <= 100; ++k) {
        const gfx::TColor colour = RandomOnOff(255);
        setPenAndBrush(Canvas, colour);
        gfx::TPoint& p = Points[k];
        p.Y += 1;
        if (Counter % 2 == 0)
            p.X += Drift(k);
        const int kind = k % 32;
        const int size = kind == 28 || kind == 29 ? 2 : kind >= 30 ? 3 : 1;
        if (p.Y > -4) {
            if (size == 1)
                Canvas.SetPixel(p.X, p.Y, colour);
            else
                Canvas.Ellipse(p.X, p.Y, p.X + size, p.Y + size);
        }
        if (p.Y > H - 8) {
            p.X = rtl::Random(W - 32);
            p.Y = -rtl::Random(H);
        }
    }
}

// A small planet circling above a ribbon of the last ten waveforms that moves along with the
// play position.
void TVisualPainter::mode29(TCall& C)
{
    auto& points = State.Points;
    int& counter = State.Counters[29];
    gfx::TCanvas& cv = C.Canvas;
    if (State.FirstPaint[29]) {
        for (int k = 0; k <= 100; ++k) {
            points[k].X = rtl::Random(C.W);
            points[k].Y = rtl::Random(C.H);
        }
        std::fill_n(&State.History[0][0][0], sizeof State.History, static_cast<std::uint8_t>(C.HalfH));
        State.FirstPaint[29] = 0;
        counter = 0;
    }
    FallingStars(cv, points, C.W, C.H, counter);

    gfx::TBitmap& planet = scene(C.HalfH, C.HalfH);
    gfx::TCanvas& sc = planet.Canvas();
    const int centre = C.HalfH / 2;
    static constexpr struct {
        int Radius;
        gfx::TColor Colour;
    } kRings[] = {{10, 0x00FF0000}, {7, 0x0000FF00}, {5, 0x00FFFFFF}};
    for (const auto& ring : kRings) {
        setPenAndBrush(sc, ring.Colour);
        circle(sc, centre, centre, ring.Radius);
    }
    BlurBitmap(FRes, planet, 3);
    const int g = Trunc32(C.Lv() * 30.0) - 15;
    const double turn = (180 * C.Ch + counter) * Degree;
    const double scale = (std::sin(turn) + 1.0 + 0.3) / 2.0;
    const int wd = Trunc32(planet.Width() * scale);
    const int ht = Trunc32(planet.Height() * scale);
    const int px = Trunc32(std::cos(counter * Degree) * (C.HalfW / 1.5)) - wd / 2 + C.HalfW;
    const int py = Trunc32(std::sin(turn) * 10.0) - ht / 2 + Trunc32(g * scale) - 2 + C.HalfH;
    planet.SetTransparent(true);
    cv.StretchDraw({px, py, px + wd, py + ht}, planet);

    // The history keeps 251 columns; a wider pane draws and ages the first 251.
    auto& history = State.History[C.Ch];
    const int q = std::min(C.HalfW / 4, TPainterState::HistoryColumns - 1);
    const int pos = Trunc32(C.Frame.Gauge1Position * C.HalfW / 100.0) - 16;
    cv.Pen().SetWidth(6);
    for (int i = 0; i <= q; ++i) {
        auto xp = [&](int Column, int Row) { return Trunc32(4 * Column * Row / 9.0) + 5 * Row + 12 + pos; };
        for (int r = 0; r <= 9; ++r) {
            const double f = r * 25.5;
            cv.Pen().SetColor(C.Ch == 0 ? gfx::RGB(Trunc32(f * 0.4), Trunc32(f * 0.7), Trunc32(f * 0.4))
                                        : gfx::RGB(Trunc32(f * 0.9), Trunc32(f * 0.8), Trunc32(f * 0.3)));
            const int y0 = r + 28;
            if (r == 0) {
                cv.MoveTo(xp(i, r), history[r][i] + y0);
                continue;
            }
            cv.LineTo(xp(i, r), history[r][i] + y0);
            if (i < q) {
                cv.LineTo(xp(i + 1, r), history[r][i + 1] + y0);
                cv.MoveTo(xp(i, r), history[r][i] + y0);
            }
        }
        cv.LineTo(xp(i, 9) + 6, history[9][i] + 47);
    }
    for (int r = 0; r <= 8; ++r)
        for (int i = 0; i <= q; ++i)
            history[r][i] = static_cast<std::uint8_t>(Trunc32(history[r + 1][i] * 0.85));
    for (int i = 0; i <= q; ++i)
        history[9][i] = static_cast<std::uint8_t>((255 - C.Min(i)) / 4);
    if (++counter > 360)
        counter = 0;
}
