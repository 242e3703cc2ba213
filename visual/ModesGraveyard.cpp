// Visual modes 14-17: the graveyard with its tumbling ghost and wisps, the lyrics over snow
// beside the rising photo (the laser otherwise), the neon bars and the whirlpool.
//
// Radii from quiet columns or empty bands come out zero or negative; the generator reads a
// zero bound as zero spread and a negative one as unsigned, so such points land far outside
// the pane and are lost, as in the other scatter modes.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/gfx/Bitmap.h"
#include "sound/DxSound.h"
#include "visual/BitmapRoutines.h"
#include "visual/DXDraw.h"
#include "visual/DXImageList.h"
#include "visual/FFTReal.h"
#include "visual/VisualModes.h"
#include "visual/VisualResources.h"

using namespace visualmodes;

namespace {

struct TStone {
    int X, Y;
    double Size;
};

// Back to front: two small stones far away, two in the middle, two large in front.
constexpr TStone kStones[6] = {{75, 10, 0.1}, {105, 10, 0.1}, {50, 20, 0.2},
                               {120, 20, 0.2}, {10, 20, 0.4},  {140, 20, 0.4}};
constexpr gfx::TPoint kCross[] = {{15, 0},  {25, 0},  {25, 10}, {35, 10}, {35, 20},
                                  {25, 20}, {25, 30}, {15, 30}, {15, 20}, {5, 20},
                                  {5, 10},  {15, 10}, {15, 0}};
constexpr gfx::TPoint kBase[] = {{15, 30}, {5, 30},  {0, 35},  {0, 45},
                                 {40, 45}, {40, 35}, {35, 30}, {25, 30}};

template <std::size_t N>
void stonePart(gfx::TCanvas& Canvas, const gfx::TPoint (&Shape)[N], double K, int X, int Y)
{
    gfx::TPoint points[N];
    for (std::size_t i = 0; i < N; ++i)
        points[i] = {Trunc32(K * Shape[i].X) + X, Trunc32(K * Shape[i].Y) + Y};
    Canvas.Polygon(points);
}

}  // namespace

visual::TDirectDrawSurface* TVisualPainter::paneSurface(TCall& C)
{
    return C.Frame.Surface && C.Frame.DXDraw && C.Frame.DXDraw->Surface
               ? C.Frame.DXDraw->Surface.get()
               : nullptr;
}

void TVisualPainter::drawTurned(TCall& C, int Slot, double Angle, int X, int Y)
{
    gfx::TBitmap& bmp = FRes.WorkA();
    bmp.Assign(FRes.Picture(Slot));
    RotateBitmap(FRes, bmp, Angle);
    bmp.SetTransparent(true);
    C.Canvas.Draw(X, Y, bmp);
}

// Gravestones in six layers; a ghost tumbles through the third, wisps glow in the fifth and,
// on a pane's surface, a picture hums at the right edge.
void TVisualPainter::mode14(TCall& C)
{
    gfx::TCanvas& cv = C.Canvas;
    int& counter = State.Counters[14];
    spectrumInput(C, false);
    int band[33];
    for (int b = 0; b <= 32; ++b)
        band[b] = Trunc32((FFTState().SpectrumBuffer[b] + 50.0) / 3.5);
    if (State.FirstPaint[14]) {
        State.FirstPaint[14] = 0;
        counter = 0;
        State.StepD = 0;
        State.GhostKind = 0;
        State.GhostX = -C.W;
    }
    const double level = C.Lv();
    visual::TDirectDrawSurface* target = paneSurface(C);
    if (target && C.Frame.ImageList && C.Frame.ImageList->Items().Count() > 1) {
        const int amp = Trunc32(level * 20);
        target->Canvas().Release();  // the blit locks the surface
        // The counter has no bound: the phase wraps, which the wave blit takes in its stride.
        C.Frame.ImageList->Items().GetItem(1)->DrawWaveDistort(
            *target, C.W - 44, (C.H - 20) / 2 + 2 + amp - 15, 30, 35, 0, amp, 80,
            int32_t(uint32_t(counter) * 4u));
    }
    counter = Add32(counter, 1);

    cv.Brush().SetStyle(gfx::bsSolid);
    cv.Brush().SetColor(gfx::clBlack);
    for (int layer = 1; layer <= 6; ++layer) {
        if (layer == 3) {
            int& gx = State.GhostX;
            if (gx < C.W) {
                const int slot = State.GhostKind == 1 ? 5 : State.GhostKind == 2 ? 2 : 4;
                const int y = Trunc32(std::sin(gx * 5 * Pi / 180) * (gx / 10 + 10)) + C.HalfH - 10;
                drawTurned(C, slot, gx * 4.0, gx, y);
            }
            if (++gx > 2 * C.W) {
                State.GhostKind = rtl::Random(5);
                gx = -20;
            }
        } else if (layer == 5) {
            // The bob of each wisp comes from the last dot angle of the one before it.
            double s = -2.0;
            for (int n = 0; n <= 15; ++n) {
                cv.Pen().SetColor(RandomColour(0, 220));
                int x = ((n + 1) * C.W) / 16 + State.StepD;
                const int r = band[2 * n + 1] / 4;
                if (x > C.W + r)
                    x -= C.W;
                const int oy = Trunc32(s);
                const int cy = C.HalfH + 5 + oy;
                cv.Ellipse(x - r, cy - r, x + r, cy + r);
                cv.Pen().SetColor(RandomColour(0, 220));
                for (int dot = 0; dot <= 10 * r; ++dot) {
                    s = RandomAngle();
                    const int px = Trunc32(std::cos(s) * rtl::Random(2 * r)) + x;
                    const int py = Trunc32(std::sin(s) * rtl::Random(2 * r)) + cy;
                    cv.SetPixel(px, py, cv.Pen().Color());
                }
                s += 0.5;
            }
            if (++State.StepD > C.W)
                State.StepD = 0;
        }
        const TStone& stone = kStones[layer - 1];
        const double k = stone.Size + level * 0.2;
        cv.Pen().SetColor(gfx::RGB(100, 100, 100));
        cv.Brush().SetColor(gfx::clBlack);
        stonePart(cv, kCross, k, stone.X, stone.Y);
        stonePart(cv, kBase, k, stone.X, stone.Y);
    }
}

// The lyrics climbing through snow on the left, the photo rising and resting on the right,
// a laser wherever neither is shown.
void TVisualPainter::mode15(TCall& C)
{
    int& counter = State.Counters[15];
    if (State.FirstPaint[15]) {
        seedPoints(100, C.W - 4, C.H);
        State.FirstPaint[15] = 0;
        counter = 0;
    }
    if (!lyrics(C)) {
        const int cx = photo(C);
        sound::TDxSound* engine = C.Frame.Engine;
        const bool noPhoto = !engine || engine->PhotoIndex() < 0;
        const bool halve = C.Ch == 1 && !noPhoto;
        for (int k = 0; k <= C.H; k += 16) {
            C.Canvas.Pen().SetColor(RandomColour());
            int a = C.W - C.Min(k) + (noPhoto ? 1 : 0);
            const int b = C.H - (C.Min(k + 1) >> 1);
            if (halve)
                a /= 2;
            for (int n = 0; n < 10; ++n)
                lineScatter(C.Canvas, cx, C.HalfH, a, b);
            for (int n = 0; n <= 40; ++n)
                pixelScatter(C.Canvas, cx, C.HalfH, a, b);
        }
    }
    if (++counter > C.H)
        counter = 0;
}

// The left pane's lyrics over falling snow; false when there is nothing to show there.
bool TVisualPainter::lyrics(TCall& C)
{
    sound::TDxSound* engine = C.Frame.Engine;
    if (C.Ch != 0 || !engine || engine->LyricsTxt().Count() == 0)
        return false;
    gfx::TCanvas& cv = C.Canvas;
    for (int i = 0; i <= 200; ++i) {
        gfx::TPoint& p = State.Points[i];
        p.Y += 1;
        if (State.Counters[15] % 2 == 0)
            p.X += Drift(i);
        if (p.Y > -4)
            cv.SetPixel(p.X, p.Y, RandomOnOff(255));
        if (p.Y > C.H) {
            p.X = rtl::Random(C.W - 2);
            p.Y = -rtl::Random(C.H);
        }
    }
    cv.Font().SetColor(gfx::RGB(250, 251, 210));
    const rtl::TStringList& text = engine->LyricsTxt();
    int y = C.H - engine->LyricsOffset();
    for (int i = 0; i < text.Count(); ++i) {
        const std::string line = text[i].empty() ? std::string(" ") : text[i];
        cv.TextOut(14, y, line);
        y += cv.TextHeight(line) + 8;
    }
    // Other modes leave the shared step where they stopped: anything from 2 up counts.
    if (++State.StepD >= 2) {
        engine->SetLyricsOffset(engine->LyricsOffset() + 1);
        State.StepD = 0;
    }
    if (y < 0)
        engine->SetLyricsOffset(0);
    return true;
}

// The right pane's photo rising from the bottom, resting centred, leaving at the top and
// coming again; gives the laser's centre.
int TVisualPainter::photo(TCall& C)
{
    sound::TDxSound* engine = C.Frame.Engine;
    if (C.Ch != 1 || !engine || engine->PhotoIndex() < 0)
        return C.HalfW;
    const gfx::TBitmap& bmp = engine->WorkBitmap();
    int index = engine->PhotoIndex();
    const int y = C.H - index;
    C.Canvas.Draw(C.HalfW / 3, y, bmp);
    bool resting = false;
    if (y == (C.H - bmp.Height()) / 2) {
        if (State.PhotoHold < 100) {
            ++State.PhotoHold;
            resting = true;
        } else {
            // The rest is over: the photo leaves the centre at once, or the next call
            // would find it centred and rest it all over again.
            State.PhotoHold = 0;
            State.PhotoStep = 0;
            ++index;
            resting = true;
        }
    }
    if (!resting && ++State.PhotoStep >= 2) {
        ++index;
        State.PhotoStep = 0;
    }
    if (y < -bmp.Height())
        index = 0;
    engine->SetPhotoIndex(index);
    return C.HalfW + C.HalfW / 2;
}

// Vertical bars in random colours mirrored about the middle, denser the louder.
void TVisualPainter::mode16(TCall& C)
{
    // The level stays within 0..1; a wilder value must not make the step zero.
    const int p = std::clamp(55 - Trunc32(C.Lv() * 50), 5, 55);
    for (int i = 0; i < C.Analysis.Columns; ++i) {
        if (i % p != 1)
            continue;
        C.Canvas.Pen().SetColor(RandomColour());
        const int d = std::abs(C.HalfH - ((255 - C.Min(i)) >> 2));
        C.Canvas.MoveTo(i, C.HalfH - d + 8);
        C.Canvas.LineTo(i, C.HalfH + d + 8);
    }
}

// Foam drifting right and down over a whirl of scattered dots and two spiral arms.
void TVisualPainter::mode17(TCall& C)
{
    gfx::TCanvas& cv = C.Canvas;
    auto& pts = State.Points;
    int& counter = State.Counters[17];
    if (State.FirstPaint[17]) {
        seedPoints(50, C.W, C.H);
        State.FirstPaint[17] = 0;
        counter = 0;
    }
    for (int i = 0; i <= 100; ++i) {
        gfx::TPoint& p = pts[i];
        cv.Pen().SetColor(RandomOnOff(255));
        p.X += 1;
        if (counter % 3 == 0) {
            p.X += (i % 2 == 0) + (i % 3 == 0);
            p.Y += (i % 4 == 0) + (i % 5 == 0);
        }
        if (p.X > -4)
            cv.Ellipse(p.X, p.Y, p.X + 2, p.Y + 2);
        for (bool out : {p.X > C.W, p.Y > C.H}) {
            if (out) {
                p.X = -rtl::Random(C.W);
                p.Y = rtl::Random(C.H - 4);
            }
        }
        if (++counter > C.W)
            counter = 0;
    }
    const double step = 6.28 / C.H;
    const double level = C.Lv();
    for (int k = 0; k < C.H; ++k) {
        if (rtl::Random(2) != 1)
            continue;
        cv.Pen().SetColor(RandomColour());
        const gfx::TColor colour = cv.Pen().Color();
        const int rx = C.W - Trunc32(C.Min(k) * 2.2);
        const int ry = C.H - Trunc32(C.Min(k + 1) * 0.4);
        for (int n = 0; n <= 10; ++n)
            pixelScatter(cv, C.HalfW, C.HalfH, rx, ry);
        double t = k * step;
        for (int j = 20; j <= 30; ++j) {
            t += 0.1;
            cv.SetPixel(C.HalfW - Trunc32(std::cos(t) * j * level * 2),
                        C.HalfH - Trunc32(std::sin(t) * j * level), colour);
        }
        const double q = std::sin(t / 10);
        for (int j = 20; j <= 30; ++j) {
            t += 0.1;
            cv.SetPixel(C.HalfW - Trunc32(std::cos(t) * j * q * 2),
                        C.HalfH - Trunc32(std::sin(t) * j * q), colour);
        }
    }
}
