// Visual modes 5-9: wave pictures, sea urchins, atoms, amoebas and the dancer.
//
// Radii taken from quiet columns come out zero or negative; the generator then reads a
// negative bound as unsigned, the point lands far outside the pane and is lost, as in the
// other scatter modes.
#include <algorithm>
#include <cmath>

#include "visual/BitmapRoutines.h"
#include "visual/DXDraw.h"
#include "visual/DXImageList.h"
#include "visual/FFTReal.h"
#include "visual/VisualModes.h"

using namespace visualmodes;

namespace {

// Each component 0 or 255 at random; never black, which would vanish on the pane.
gfx::TColor urchinColour()
{
    const gfx::TColor c = RandomOnOff(255);
    return c == 0 ? gfx::TColor(0xFFFFFF) : c;
}

}  // namespace

// Five pictures wobbling with the level over dots drifting up and right. Only a pane's
// surface shows them; on the paint boxes the scene goes on unseen.
void TVisualPainter::mode5(TCall& C)
{
    auto& particles = State.Particles;
    int& counter = State.Counters[5];
    if (State.FirstPaint[5])
        seedParticles(5, [&] { return rtl::Random(C.W); }, [&] { return rtl::Random(C.H); });
    visual::TDirectDrawSurface* target = paneSurface(C);
    const double level = C.Lv();
    const int amp = Trunc32(level * 60) + 10;
    // The counter has no bound: the phase wraps, which the wave blit takes in its stride.
    const int phase = Add32(int32_t(uint32_t(counter) * 8u), Trunc32(level * 200));
    const int y = (C.H - 20) / 2 + 2 + amp - 60;
    if (target && C.Frame.ImageList) {
        target->Canvas().Release();  // the blit locks the surface
        visual::TPictureCollection& items = C.Frame.ImageList->Items();
        for (int k = 0; k < 5 && k < items.Count(); ++k)
            items.GetItem(k)->DrawWaveDistort(*target, C.HalfW / 2 + 30 * k - 4, y, 30, 40, 0,
                                              amp, 70, phase);
    }
    counter = Add32(counter, 1);
    for (int i = 0; i <= 100; ++i) {
        TParticle& p = particles[i];
        p.Y -= 1;
        if (i % 3 == 0)
            p.X += 1;
        if (counter % 4 == 0)
            p.X += 1;
        if (p.X > C.W || p.Y < 0) {
            p.X = rtl::Random(3 * C.HalfW) - C.HalfW;
            p.Y = rtl::Random(C.H) + C.H;
        }
        twinkle(C, p, target != nullptr);
    }
}

// Urchins of coloured dots riding the spectrum's peaks over a rolling blue sea.
void TVisualPainter::mode6(TCall& C)
{
    gfx::TCanvas& cv = C.Canvas;
    int& counter = State.Counters[6];
    cv.Brush().SetStyle(gfx::bsSolid);
    if (State.FirstPaint[6]) {
        State.FirstPaint[6] = 0;
        counter = 0;
    }
    cv.Pen().SetColor(0xFF0000);
    FPolygon.clear();
    for (int x = 0; x <= C.W; ++x) {
        const int wave = Trunc32(std::sin((counter + x) * Pi / 45) * 8);
        FPolygon.push_back({x, wave + C.Min(x / 4) / 10 + 18});
    }
    FPolygon.push_back({C.W, C.H});
    FPolygon.push_back({0, C.H});
    cv.Brush().SetColor(gfx::RGB(0, 0, 80));
    cv.Polygon(FPolygon);
    if (++counter > 360)
        counter = 0;

    spectrumInput(C, false);
    TFFTState& fft = FFTState();
    auto& band = fft.BandHeights;
    auto& peak = fft.BandPeaks;
    auto& hold = fft.PeakHoldCounters;
    for (int b = 0; b <= 32; ++b) {
        int v = Trunc32((fft.SpectrumBuffer[b] + 50.0) / 4.5) + 4;
        if (v < 10)
            v = -10;
        if (band[b] < v) {
            band[b] = v;
            if (peak[b] < v) {
                peak[b] = v;
                hold[b] = 8;
            }
        } else {
            if (band[b] > 0)
                band[b] -= 3;
            if (peak[b] > 0) {
                if (hold[b] == 0)
                    peak[b] -= 2;
                if (hold[b] > 0)
                    hold[b] -= 1;
            }
        }
        band[b] = std::min(band[b], C.H - 10);
        peak[b] = std::min(peak[b], C.H - 10);
    }
    for (int j = 2; j <= 32; j += 2) {
        const int x = (j - 2) * 8 + 4;
        const int y = C.H - peak[j] + 10;
        State.CurrentColour = urchinColour();
        for (int k = 0; k <= 30; ++k) {
            if (rtl::Random(10) == 0)
                State.CurrentColour = urchinColour();
            const double angle = RandomAngle();
            const int dx = Trunc32(std::cos(angle) * rtl::Random(8));
            const int dy = Trunc32(std::sin(angle) * rtl::Random(8));
            cv.SetPixel(dx + x, dy + y, State.CurrentColour);
        }
    }
}

// Particles gathering on the centre lines, and atoms whose shells and electrons swell with
// the column minima.
void TVisualPainter::mode7(TCall& C)
{
    gfx::TCanvas& cv = C.Canvas;
    auto& points = State.Points;
    int& counter = State.Counters[7];
    if (State.FirstPaint[7]) {
        seedPoints(200, C.W - 4, C.H);
        State.FirstPaint[7] = 0;
        counter = 0;
        State.A3 = 0;
        State.T3 = 0;
    }
    const bool even = counter % 2 == 0;
    const bool fourth = counter % 4 == 0;
    for (int i = 0; i <= 200; ++i) {
        cv.Pen().SetColor(RandomOnOff(200));
        gfx::TPoint& p = points[i];
        if (p.Y < -4) {
            p.Y += 1;
            if (p.Y > -C.H)
                p.Y = rtl::Random(2) == 0 ? C.HalfH - 4 : C.HalfH + 4;
        } else {
            if (p.Y > C.HalfH && even)
                p.Y += 1;
            if (p.Y < C.HalfH && even)
                p.Y -= 1;
            if (p.X > C.HalfW - 16 && fourth)
                p.X += 1;
            if (p.X < C.HalfW - 16 && fourth)
                p.X -= 1;
            if (p.Y < -4 || p.Y > C.H || p.X < -4 || p.X > C.W) {
                p.X = rtl::Random(C.W);
                p.Y = -rtl::Random(C.H) - C.H;
            }
        }
        if (p.Y > -4 && p.Y < C.H)
            cv.Ellipse(p.X, p.Y, p.X + 2, p.Y + 2);
    }
    if (++counter > C.H)
        counter = 0;

    for (int k = 0; k <= C.H; k += 32) {
        cv.Brush().SetStyle(gfx::bsClear);
        cv.Pen().SetColor(RandomColour());
        const int rx = C.W - 2 * C.Min(k);
        const int ry = C.H - (C.Min(k + 1) >> 1);
        cv.Ellipse(C.HalfW - rx, C.HalfH - ry, C.HalfW + rx, C.HalfH + ry);
        const int rx2 = C.W - 2 * C.Min(2 * k);
        const int ry2 = C.H - (C.Min(2 * k + 1) >> 1);
        cv.Ellipse(C.HalfW - rx2, C.HalfH - ry2, C.HalfW + rx2, C.HalfH + ry2);
        cv.Brush().SetStyle(gfx::bsSolid);
        cv.Brush().SetColor(cv.Pen().Color());
        for (int e = 0; e < ry2 / 6 + 1; ++e) {
            const double angle = RandomAngle();
            const int ex = C.HalfW - Trunc32(std::cos(angle) * rx2);
            const int ey = C.HalfH - Trunc32(std::sin(angle) * ry2);
            cv.Ellipse(ex - 2, ey - 2, ex + 2, ey + 2);
        }
        for (int n = 0; n <= 100; ++n) {
            const gfx::TPoint p = Scatter(C.HalfW, C.HalfH, rx2 / 2, ry2 / 2);
            cv.SetPixel(p.X, p.Y, RandomColour());
        }
    }
}

// Bubbles drifting left, and five amoebas whose outlines follow the spectrum.
void TVisualPainter::mode8(TCall& C)
{
    gfx::TCanvas& cv = C.Canvas;
    spectrumInput(C, false);
    TFFTState& fft = FFTState();
    auto& band = fft.BandHeights;
    for (int b = 0; b <= 60; ++b)
        band[b] = Trunc32((fft.SpectrumBuffer[b] + 50.0) / 20);

    auto& points = State.Points;
    int& counter = State.Counters[8];
    if (State.FirstPaint[8]) {
        seedPoints(50, C.W, C.H);
        State.FirstPaint[8] = 0;
        counter = 0;
        State.StepD = 0;
    }
    for (int i = 0; i <= 150; ++i) {
        cv.Pen().SetColor(RandomOnOff(255));
        gfx::TPoint& p = points[i];
        p.X -= 1;
        if (counter % 3 == 0) {
            p.X -= (i % 2 == 0) + (i % 3 == 0);
            p.Y -= (i % 4 == 0) + (i % 5 == 0);
        }
        if (p.X < C.W)
            cv.Ellipse(p.X, p.Y, p.X + 2, p.Y + 2);
        auto restart = [&] {
            p.X = rtl::Random(C.W) + C.W;
            p.Y = rtl::Random(C.H + 42);
        };
        if (p.X < -4)
            restart();
        if (p.Y < -4)
            restart();
        if (++counter > C.W)
            counter = 0;
    }

    const int q = C.W / 4;
    const double level = C.Lv();
    gfx::TPoint outline[21];
    for (int a = 1; a <= 5; ++a) {
        cv.Pen().SetColor(RandomColour());
        const int dy = 20 - Trunc32(level * 20);
        int cx = Trunc32(level * 20) + (a - 1) * q + State.StepD;
        if (cx > C.W + q)
            cx -= C.W + q;
        for (int j = 0; j <= 20; ++j) {
            const double angle = 18 * j * Pi / 180;
            const int r = band[a + j] + 10;
            outline[j] = {Trunc32(std::cos(angle) * r) + cx,
                          Trunc32(std::sin(angle) * r) + C.HalfH + dy};
        }
        cv.Brush().SetColor(gfx::clBlack);
        cv.Polygon(outline);
    }
    if (++State.StepD > C.W)
        State.StepD = 0;
}

// A stick dancer swaying with the level on a red floor under a few stars; the two panes
// sway in mirror.
void TVisualPainter::mode9(TCall& C)
{
    gfx::TCanvas& cv = C.Canvas;
    const double level = C.Lv();
    int sway = 16 - Trunc32(level * 32);
    if (C.Ch == 1)
        sway = -sway;
    const int cx = C.HalfW + sway;
    const int hh = C.HalfH;

    const int stars = Trunc32(level * 50) + 1;
    for (int k = 0; k < stars; ++k) {
        const int x = rtl::Random(C.W);
        const int y = rtl::Random(hh);
        cv.SetPixel(x, y, BrightRandomColour());
    }
    cv.Pen().SetColor(gfx::RGB(128, 0, 4));
    stageFloor(C, [](int) {});

    cv.Pen().SetWidth(3);
    cv.Pen().SetColor(BrightRandomColour());
    auto arm = [&](int Column) {
        int y = C.H - (C.Min(Column) >> 2);
        ClampAround(y, hh, 8);
        return y;
    };
    auto leg = [&](int Column) { return C.Max(Column) / 6 + hh; };
    cv.MoveTo(cx + 1, hh - 4);
    cv.LineTo(cx + 1, hh + 10);
    cv.Ellipse(cx - 3, hh - 12, cx + 5, hh - 4);

    cv.MoveTo(cx, hh);
    int r = rtl::Random(5) + 6;
    cv.LineTo(cx - r, arm(0));
    cv.LineTo(cx - 2 * r, arm(1));
    cv.MoveTo(cx, hh + 10);
    cv.LineTo(cx - 5, leg(0));
    cv.LineTo(cx - 10, leg(1));

    cv.MoveTo(cx + 2, hh);
    r = rtl::Random(5) + 6;
    cv.LineTo(cx + r + 2, arm(22));
    cv.LineTo(cx + 2 * r + 2, arm(21));
    cv.MoveTo(cx + 2, hh + 10);
    cv.LineTo(cx + 7, leg(20));
    cv.LineTo(cx + 12, leg(21));
}
