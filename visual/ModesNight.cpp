// Visual modes 10-13: fireworks, the humming picture, the rising moon and the nebula.
// Modes 10 and 12 paint their scene into picture slot 0 and draw it whole; 11 and 13 draw on
// the pane directly.
//
// As in the other scatter modes, a negative bound from a quiet column goes to the generator
// as it stands: the point lands far outside and is lost.
#include <algorithm>
#include <cmath>

#include "platform/gfx/Bitmap.h"
#include "visual/BitmapRoutines.h"
#include "visual/FFTReal.h"
#include "visual/VisualModes.h"
#include "visual/VisualResources.h"

using namespace visualmodes;

namespace {

constexpr int kBandCount = TFFTState::BandCount;

gfx::TColor neverBlack(gfx::TColor Colour) { return Colour == 0 ? gfx::TColor(0xFFFFFF) : Colour; }

double spectrum(int Entry) { return FFTState().SpectrumBuffer[Entry]; }

}  // namespace

// Picture slot 0, the scene bitmap, made Width x Height and filled black.
gfx::TBitmap& TVisualPainter::scene(int Width, int Height)
{
    gfx::TBitmap& bmp = FRes.Picture(0);
    bmp.SetSize(Width, Height);
    bmp.SetTransparent(false);
    gfx::TCanvas& cv = bmp.Canvas();
    cv.Pen().SetWidth(1);
    cv.Brush().SetStyle(gfx::bsSolid);
    cv.Brush().SetColor(gfx::clBlack);
    cv.FillRect({0, 0, Width, Height});
    return bmp;
}

// Bursts lit by the music fading on a blurred sky, and a figure with two sparklers.
void TVisualPainter::mode10(TCall& C)
{
    auto& bursts = State.Particles;
    int& counter = State.Counters[10];
    if (State.FirstPaint[10]) {
        for (int i = 0; i <= 10; ++i) {
            State.Points[i].X = rtl::Random(C.W + 50);
            State.Points[i].Y = rtl::Random(C.H);
        }
        State.FirstPaint[10] = 0;
        counter = 0;
        for (int k = 0; k <= 10; ++k) {
            TParticle& b = bursts[k];
            b.Colour = RandomOnOff(255);
            b.X = rtl::Random(20) + (C.W / 14) * k + 16;
            b.Y = rtl::Random(C.H - 20) + 10;
            b.Shade = 0;
        }
    }
    const int t = Trunc32(C.Min(31) * 15 / 256.0);
    if (bursts[t].Shade == 0)
        bursts[t].Shade = 12;

    gfx::TBitmap& sky = scene(C.W, C.H);
    gfx::TCanvas& sc = sky.Canvas();
    for (int k = 0; k <= 10; ++k) {
        TParticle& b = bursts[k];
        if (b.Shade <= 0)
            continue;
        const double s = std::min(b.Shade / 10.0, 1.0);
        for (int n = 0; n <= 200; ++n) {
            const double angle = rtl::Random(360) * Pi / 180;
            const int r = rtl::Random(30);
            sc.SetPixel(Trunc32(std::cos(angle) * r * s) + b.X, Trunc32(std::sin(angle) * r * s) + b.Y,
                        b.Colour);
        }
        if (counter % 2 == 0) {
            b.Colour = RandomOnOff(255);
            b.Shade -= 1;
        }
    }
    SplitBlurBitmap(FRes, sky, 1);
    C.Canvas.Draw(0, 0, sky);
    if (++counter > C.H)
        counter = 0;
    sparkler(C);
}

// The figure of mode 10: arms along the column minima, a sparkler in each hand.
void TVisualPainter::sparkler(TCall& C)
{
    gfx::TCanvas& cv = C.Canvas;
    cv.Pen().SetWidth(2);
    const gfx::TColor pc = BrightRandomColour();
    if (++State.StepD > 16) {
        State.StepD = 0;
        State.CurrentColour = neverBlack(RandomOnOff(255));
    }
    cv.Brush().SetStyle(gfx::bsSolid);
    cv.Brush().SetColor(State.CurrentColour);
    cv.Pen().SetColor(pc);
    auto at = [&](int Column) {
        int y = C.H - (C.Min(Column) >> 2);
        ClampAround(y, C.HalfH, 12);
        return y;
    };
    const int y0 = at(0);
    for (int side = -1; side <= 1; side += 2) {
        const int first = side < 0 ? 1 : 2;
        cv.Pen().SetColor(pc);
        cv.MoveTo(side < 0 ? C.HalfW : C.HalfW - 1, y0);
        for (int s = 1; s <= 3; ++s)
            cv.LineTo(C.HalfW + side * 20 * s, at(first + 2 * (s - 1)));
        int y = at(first + 6);
        const int hx = C.HalfW + side * 80;
        cv.LineTo(hx, y);
        cv.Pen().SetColor(State.CurrentColour);
        cv.Ellipse(hx - 4, y - 4, hx + 4, y + 4);
        for (int n = 0; n <= 40; ++n) {
            const double angle = RandomAngle();
            const int sx = Trunc32(std::cos(angle) * rtl::Random(20)) + hx;
            y += Trunc32(std::sin(angle) * rtl::Random(10));
            cv.SetPixel(sx, y, BrightRandomColour());
        }
    }
}

// Notes drifting past a picture that hums with the bass.
void TVisualPainter::mode11(TCall& C)
{
    gfx::TCanvas& cv = C.Canvas;
    if (State.FirstPaint[11]) {
        State.FirstPaint[11] = 0;
        State.StepD = 0;
    }
    spectrumInput(C, false);
    auto& band = FFTState().BandHeights;
    for (int b = 0; b <= 32; ++b) {
        const int v = Trunc32((spectrum(b) + 30) / 4);
        if (band[b] < v)
            band[b] = v;
        else if (band[b] > 0)
            band[b] -= 8;
        band[b] = std::min(band[b], C.H - 10);
    }
    for (int n = 0; n <= 15; ++n) {
        cv.Pen().SetColor(RandomColour());
        int x = ((n + 1) * C.W) / 16 + State.StepD;
        const int r = band[n + 1] / 4;
        const int yo = band[n + 2] / 2 - 2;
        if (x > C.W + r)
            x -= C.W;
        if (x > C.HalfW / 2 + 20)
            cv.Ellipse(x - r, C.HalfH - r + 8 + yo, x + r, C.HalfH + r + 8 + yo);
    }
    const int fx = C.HalfW / 2;
    const int fy = C.HalfH + 4;
    const int sx = std::clamp(band[1] / 6 - 3, -2, 4);
    const int sy = std::clamp(band[3] / 6 - 3, -2, 4);
    gfx::TBitmap& face = FRes.Picture(1);
    face.SetTransparent(true);
    cv.StretchDraw({fx - 15 - sx, fy - 20 - sy, fx + 15 + sx, fy + 19 + sy}, face);
    for (int j = 0; j <= 30; j += 10) {
        cv.Pen().SetColor(RandomColour());
        const int rx = C.W - 2 * C.Min(j);
        const int ry = C.H - (C.Min(j + 1) >> 1);
        for (int k = 0; k <= 50; ++k) {
            const double angle = RandomAngle();
            const int dx = Trunc32(std::cos(angle) * rtl::Random(rx / 2));
            const int dy = Trunc32(std::sin(angle) * rtl::Random(ry / 3));
            cv.SetPixel(C.HalfW / 2 + dx - 8, dy + C.HalfH - 20 - sy, cv.Pen().Color());
        }
    }
    if (++State.StepD > C.W)
        State.StepD = 0;
}

// A moon (an ellipse, or now and then a picture) climbing over a red ground that rises with
// the spectrum, falling stars and a planet bobbing in the corner.
void TVisualPainter::mode12(TCall& C)
{
    spectrumInput(C, false);
    TFFTState& fft = FFTState();
    auto& band = fft.BandHeights;
    auto& peak = fft.BandPeaks;
    const int bands = std::min(C.Analysis.Columns, kBandCount);
    for (int b = 0; b < bands; ++b) {
        int v = Trunc32(spectrum(b) / 6);
        if (v < 10)
            v = 0;
        if (band[b] < v) {
            band[b] = v;
            if (peak[b] < v)
                peak[b] = v;
        } else {
            if (band[b] > -30)
                band[b] -= 3;
            if (peak[b] > -30)
                peak[b] -= 1;
        }
    }
    auto& points = State.Points;
    int& counter = State.Counters[12];
    int& d = State.StepD;
    if (State.FirstPaint[12]) {
        seedPoints(50, C.W + 50, C.H);
        std::fill_n(peak.begin(), bands, 40);
        State.FirstPaint[12] = 0;
        counter = 0;
        d = 0;
        State.MoonOffset = 0;
        State.MoonKind = 0;
        State.PlanetBob = 0;
        State.PlanetDir = 1;
    }
    gfx::TBitmap& sky = scene(C.W, C.H);
    gfx::TCanvas& sc = sky.Canvas();
    for (int i = 0; i <= 100; ++i) {
        gfx::TPoint& p = points[i];
        Sink(p, counter);
        if (p.Y > -1)
            sc.SetPixel(p.X, p.Y, RandomOnOff(255));
        if (p.Y > C.HalfH + 10)
            BackAbove(p, C.W, C.H);
    }
    for (int j = 0; j <= 20; j += 10) {
        sc.Pen().SetColor(RandomColour());
        const int rx = C.W - 2 * C.Min(j);
        const int ry = C.H - (C.Min(j + 1) >> 1);
        for (int k = 0; k <= 40; ++k) {
            const double angle = RandomAngle();
            const int dx = Trunc32(std::cos(angle) * rtl::Random(rx / 2));
            const int dy = Trunc32(std::sin(angle) * rtl::Random(ry / 3));
            if (j == 10)
                sc.SetPixel(dx + 70, dy + 20, sc.Pen().Color());
            else if (j == 20)
                sc.SetPixel(dx + 110, dy + 30, sc.Pen().Color());
        }
    }

    const int mx = d + State.MoonOffset;
    const int my = Trunc32(std::sin(2 * Pi * d) * C.H - d) + 100;
    const int lv = Trunc32(C.Lv() * 10) - 5;
    sc.Brush().SetStyle(gfx::bsSolid);
    sc.Pen().SetColor(gfx::RGB(150, 150, 150));
    sc.Brush().SetColor(gfx::RGB(lv * 8 + 120, lv * 10 + 100, lv * 10 + 50));
    if (State.MoonKind == 0) {
        sc.Ellipse(mx - 20 - lv, my - 20, mx + 20 + lv, my + 20);
    } else {
        gfx::TBitmap& face = FRes.Picture(1);
        face.SetTransparent(true);
        sc.StretchDraw({mx - 15 - lv, my - 20, mx + 15 + lv, my + 19}, face);
    }
    sc.Pen().SetColor(0xFF0000);
    for (int a = -50; a <= 225; ++a) {
        const double t = a * Pi / 180;
        const int x = Trunc32(std::cos(t) * 40 + 2 * lv) + mx - lv;
        const int y = Trunc32(std::sin(t) * 5) + my + 3;
        if (a == -50)
            sc.MoveTo(x, y);
        else
            sc.LineTo(x, y);
    }
    if (++counter % 6 == 0)
        d += 1;
    if (d > C.H + 100) {
        State.MoonKind = rtl::Random(3) == 1 ? 1 : 0;
        State.MoonOffset = rtl::Random(30);
        d = 0;
        counter = 0;
    }

    gfx::TBitmap& planet = FRes.WorkA();
    planet.Assign(FRes.Picture(2));
    RotateBitmap(FRes, planet, 45);
    planet.SetTransparent(true);
    sc.Draw(C.W - 28, C.H - State.PlanetBob, planet);
    if (d % 16 == 0) {
        State.PlanetBob += State.PlanetDir;
        if (State.PlanetBob > 32)
            State.PlanetDir = -State.PlanetDir;
        if (State.PlanetBob < 0)
            State.PlanetDir = -State.PlanetDir;
    }

    sc.Pen().SetColor(gfx::RGB(125, 125, 125));
    FPolygon.clear();
    for (int j = 0; j < C.W; ++j) {
        // The ground reads one peak per column; columns past the band tables lie flat.
        const int height = j + 1 < kBandCount ? peak[j + 1] : 0;
        FPolygon.push_back({2 * j, C.HalfH - height + 15});
    }
    FPolygon.push_back({C.W, C.H});
    FPolygon.push_back({0, C.H});
    sc.Brush().SetColor(gfx::RGB(60, 0, 0));
    sc.Polygon(FPolygon);
    C.Canvas.Draw(0, 0, sky);
}

// Stars streaming from the centre and a cloud of white, yellow and blue dots breathing with
// the column minima.
void TVisualPainter::mode13(TCall& C)
{
    gfx::TCanvas& cv = C.Canvas;
    auto& points = State.Points;
    int& counter = State.Counters[13];
    if (State.FirstPaint[13]) {
        for (auto& p : points) {
            p.Y = rtl::Random(C.H);
            p.X = rtl::Random(C.W);
        }
        State.FirstPaint[13] = 0;
        counter = 0;
        State.A3 = 0;
        State.T3 = 0;
    }
    const bool even = counter % 2 == 0;
    const bool eighth = counter % 8 == 0;
    for (auto& p : points) {
        cv.Pen().SetColor(RandomOnOff(200));
        if (p.X < -4) {
            p.X += 1;
            if (p.X > -C.W)
                p.X = rtl::Random(2) == 0 ? C.HalfW - 4 : C.HalfW + 4;
        } else {
            if (p.X > C.HalfW && even)
                p.X += 1;
            if (p.X < C.HalfW && even)
                p.X -= 1;
            if (p.Y > C.HalfH - 8 && eighth)
                p.Y += 1;
            if (p.Y < C.HalfH - 8 && eighth)
                p.Y -= 1;
            if (p.X < -4 || p.X > C.W || p.Y < -4 || p.Y > C.H) {
                p.X = -rtl::Random(C.W) - C.W;
                p.Y = rtl::Random(C.H);
            }
        }
        if (p.X > -4 && p.Y < C.W)
            cv.Ellipse(p.X, p.Y, p.X + 2, p.Y + 2);
    }
    if (++counter > C.H)
        counter = 0;

    auto dots = [&](int Count, gfx::TColor Colour, int RX, int RY) {
        for (int n = 0; n < Count; ++n) {
            const gfx::TPoint p = Scatter(C.HalfW, C.HalfH, RX, RY);
            cv.SetPixel(p.X, p.Y, Colour);
        }
    };
    for (int k = 0; k <= C.H; k += 4) {
        const int rx = C.W - 2 * C.Min(k);
        const int ry = C.H - (C.Min(k + 1) >> 1);
        dots(101, gfx::clWhite, rx / 4 + 4, ry / 4 + 2);
        if (k % 8 == 0)
            dots(151, 0x00FFFF, rx / 2, ry / 2);
        if (k % 16 == 0)
            dots(201, 0xFF0000, rx, ry);
    }
}
