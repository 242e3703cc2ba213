// Visual modes 18-21: the face in the dark, the spectrum analyser with its laser, the humming
// dancers and the stage duo, with the scatter, burst, stars and floor they share and dancer
// figures A and B (the stick figures of modes 20, 21 and 28).
//
// Scatter radii come straight from the column bytes and are negative for quiet columns; the
// generator then reads the bound as unsigned and the point lands far outside the pane, where
// its pixel is lost and its line is clipped, which is how these modes are meant to look.
#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "platform/gfx/Bitmap.h"
#include "visual/BitmapRoutines.h"
#include "visual/FFTReal.h"
#include "visual/VisualModes.h"
#include "visual/VisualResources.h"

using namespace visualmodes;

namespace {

constexpr int kBandCount = TFFTState::BandCount;

}  // namespace

// Samples from the column minima (Quarter: (255 - Min) div 4; otherwise 255 - Min shr 2),
// transformed; the band value of spectrum entry i is then Trunc((S[i] + 50) / 2.5).
void TVisualPainter::spectrumInput(TCall& C, bool Quarter)
{
    TFFTState& fft = FFTState();
    if (!fft.FFT)
        throw std::logic_error("the spectrum is not set up");
    const int count = std::min(C.Analysis.Columns, fft.BufferLength);
    for (int i = 0; i < count; ++i) {
        const int m = C.Min(i);
        fft.SampleBuffer[i] = static_cast<float>(Quarter ? (255 - m) / 4 : 255 - (m >> 2));
    }
    fft.FFT->Transform(fft.SpectrumBuffer.data(), fft.SampleBuffer.data());
}

int TVisualPainter::bandValue(int i)
{
    return Trunc32((FFTState().SpectrumBuffer[i] + 50.0) / 2.5);
}

void TVisualPainter::burst(TCall& C)
{
    for (int j = 0; j <= C.H; j += 16) {
        C.Canvas.Pen().SetColor(RandomColour());
        const int x = C.W - 2 * C.Min(j);
        const int y = C.H - (C.Min(j + 1) >> 1);
        for (int k = 0; k <= 100; ++k)
            pixelScatter(C.Canvas, C.HalfW, C.HalfH, x / 2, y / 2, 25);
    }
}

void TVisualPainter::stars(TCall& C)
{
    const int count = Trunc32(C.Lv() * 50.0) + 1;
    for (int k = 0; k < count; ++k) {
        C.Canvas.Pen().SetColor(BrightRandomColour());
        const int x = rtl::Random(C.W);
        const int y = rtl::Random(C.HalfH - 10);
        C.Canvas.SetPixel(x, y, C.Canvas.Pen().Color());
    }
}

// Quiet ticks count frames whose band 16 is empty; every 151st adds a dancer, up to six.
void TVisualPainter::countQuietTicks(int& FigureCount)
{
    if (FFTState().BandHeights[16] < 0) {
        if (++State.StepD > 150) {
            FigureCount = std::min(FigureCount + 1, 6);
            State.StepD = 0;
        }
    }
}

// The channel's pose flag may change with the music (LeftMoves on the left channel,
// RightMoves on the right); the lean, 4 and up to Spread - 1 more pixels, follows it.
int TVisualPainter::poseAndLean(TCall& C, bool LeftMoves, bool RightMoves, int Spread)
{
    if (LeftMoves && C.Ch == 0)
        State.LeftPose = rtl::Random(2);
    if (RightMoves && C.Ch == 1)
        State.RightPose = rtl::Random(2);
    const int m = rtl::Random(Spread) + 4;
    const int pose = C.Ch == 0 ? State.LeftPose : State.RightPose;
    int lean = pose == 0 ? m : -m;
    if (State.LeftPose == 0 && State.RightPose == 0)
        lean = 0;
    return lean;
}

// Head picture Slot copied into work bitmap A, tilted with the lean, drawn at (X + DX, Y).
void TVisualPainter::pictureHead(TCall& C, int Slot, int Lean, double Tilt, const int DX[3],
                                 int X, int Y)
{
    gfx::TBitmap& head = FRes.WorkA();
    head.Assign(FRes.Picture(Slot));
    int dx = DX[1];
    if (Lean < 0) {
        RotateBitmap(FRes, head, -Tilt);
        dx = DX[0];
    } else if (Lean > 0) {
        RotateBitmap(FRes, head, Tilt);
        dx = DX[2];
    }
    head.SetTransparent(true);
    C.Canvas.Draw(X + dx, Y - (Lean != 0 ? 1 : 0), head);
}

// Figure A: arms reach with the column minima, legs stretch with the maxima.
void TVisualPainter::figureA(TCall& C, int X, int Y, int Lean, int ArmDiv, int LegDiv,
                             int Range, bool Body, int LeftKneeX, int RightKneeX)
{
    gfx::TCanvas& cv = C.Canvas;
    const int bob = State.Bob;
    const int L = State.LeftPose;
    const int R = State.RightPose;
    auto arm = [&](int c) {
        int t = C.H - C.Min(c) / ArmDiv;
        ClampAround(t, Y, Range);
        return t;
    };
    auto leg = [&](int c) { return C.Max(c) / LegDiv + Y; };
    if (Body) {
        cv.MoveTo(X + 1, Y + bob);
        cv.LineTo(X + 1 + Lean, Y + 10);
    }
    int s = rtl::Random(4) + 6;
    cv.MoveTo(X, Y + 2);
    cv.LineTo(X - 2 * s + (L == 0 ? 5 : 4), arm(0) - 2 + bob);
    if (L == 0)
        cv.LineTo(X - 2 * s, arm(1) - 7 + bob);
    else
        cv.LineTo(X - 2 * s - 2, arm(1) + 4 + bob);
    if (L == 0) {
        cv.MoveTo(X + Lean, Y + 10);
        cv.LineTo(X + Lean + LeftKneeX, Y + 14);
    } else {
        cv.MoveTo(X + Lean + 1, Y + 10);
    }
    cv.LineTo(X + Lean - 7, leg(0));
    cv.LineTo(X + Lean - (L == 0 ? 10 : 12), leg(1));

    s = rtl::Random(4) + 6;
    cv.MoveTo(X + 2, Y + 2);
    cv.LineTo(X + 2 * s - (R == 0 ? 2 : 1), arm(22) - 2 + bob);
    if (L == 0)
        cv.LineTo(X + 2 * s + 2, arm(21) + 2 + bob);
    else
        cv.LineTo(X + 2 * s + 4, arm(21) - 6 + bob);
    if (R == 0) {
        cv.MoveTo(X + 2 + Lean, Y + 12);
    } else {
        cv.MoveTo(X + Lean, Y + 10);
        cv.LineTo(X + Lean + RightKneeX, Y + 12);
    }
    cv.LineTo(X + 7 + Lean, leg(20));
    cv.LineTo(X + 12 + Lean, leg(21));
}

// Figure B: longer arms clamped wider, three-part legs whose points the caller gives.
void TVisualPainter::figureB(TCall& C, gfx::TCanvas& Cv, int X, int Y, int Lean,
                             const TLegPoints& Legs)
{
    const int bob = State.Bob;
    auto arm = [&](int c) {
        int t = C.H - (C.Min(c) >> 2);
        ClampAround(t, Y, 8);
        return t;
    };
    auto leg = [&](int c, int Point) { return C.Max(c) / Legs.Div[Point] + Y; };
    int s = rtl::Random(5) + 6;
    Cv.MoveTo(X, Y + 1 + bob);
    Cv.LineTo(X - s - 1, arm(0));
    Cv.LineTo(X - 2 * s + 3, arm(1));
    Cv.MoveTo(X + Lean, Y + 10);
    Cv.LineTo(X + Legs.Left[0], leg(20, 0) - 6);
    Cv.LineTo(X + Legs.Left[1] + Lean, leg(0, 1));
    Cv.LineTo(X + Legs.Left[2] + Lean, leg(1, 2) + 4);
    s = rtl::Random(5) + 6;
    Cv.MoveTo(X + 2, Y + 1 + bob);
    Cv.LineTo(X + s + 4, arm(22) + 1);
    Cv.LineTo(X + 2 * s, arm(21) + 1);
    Cv.MoveTo(X + 1 + Lean, Y + 10);
    Cv.LineTo(X + Legs.Right[0], leg(24, 0) - 6);
    Cv.LineTo(X + Legs.Right[1] + Lean, leg(30, 1));
    Cv.LineTo(X + Legs.Right[2] + Lean, leg(31, 2) + 4);
}

// Face in the dark: eyes open with the level, the mouth follows the waveform, light sprays
// on both sides.
void TVisualPainter::mode18(TCall& C)
{
    gfx::TCanvas& cv = C.Canvas;
    cv.Brush().SetColor(gfx::clBlack);
    cv.Brush().SetStyle(gfx::bsSolid);
    const int e = 7 - Trunc32(C.Lv() * 5.0);
    cv.Pen().SetColor(RandomColour());
    cv.Ellipse(C.HalfW - 25 - e, C.HalfH - 15 + e, C.HalfW - 10, C.HalfH - 7);
    cv.Ellipse(C.HalfW + 10, C.HalfH - 15 + e, C.HalfW + 25 + e, C.HalfH - 7);
    if (C.HalfW > 0) {  // a pane too narrow to divide by has no mouth
        for (int j = 0; j <= C.H; j += C.HalfW) {
            cv.Pen().SetColor(0x0000FF);
            int x = C.W - 2 * C.Min(j);
            int y = C.H - (C.Min(j + 1) >> 1);
            ClampAround(x, C.HalfW - 60, 30);
            ClampAround(y, C.HalfH - 60, 40);
            x = std::min(x, 50);
            y = std::min(y, 20);
            cv.RoundRect(C.HalfW - x, C.HalfH - y + 14, C.HalfW + x, C.HalfH + y + 14, 2 * e + 8,
                         2 * e + 8);
        }
    }
    const double levels[2] = {C.Analysis.Level(0), C.Analysis.Level(1)};
    for (int side = 0; side < 2; ++side) {
        // Each spray leans with the other side's level.
        const int o = Trunc32(levels[1 - side] * 40.0) - 20;
        const int d = C.Min(side) >> 3;
        const int cx = side == 0 ? C.HalfW - 80 - o : C.HalfW + 80 + o;
        for (int k = 0; k <= 40; ++k) {
            const gfx::TPoint p = Scatter(cx, C.HalfH + 5 + d, 20, 10);
            cv.SetPixel(p.X, p.Y, BrightRandomColour());
        }
    }
}

// Thirty spectrum bars with falling peak marks, and a laser burst beside them.
void TVisualPainter::mode19(TCall& C)
{
    gfx::TCanvas& cv = C.Canvas;
    cv.Pen().SetColor(gfx::clBlack);
    cv.Brush().SetStyle(gfx::bsSolid);
    spectrumInput(C, true);
    TFFTState& fft = FFTState();
    auto& a = fft.BandHeights;
    auto& b = fft.BandPeaks;
    auto& p = fft.PeakHoldCounters;
    const int bands = std::min(C.Analysis.Columns, kBandCount);
    for (int i = 0; i < bands; ++i) {
        int v = bandValue(i);
        if (v < 20)
            v = -10;
        if (a[i] < v) {
            a[i] = v;
            if (b[i] < v) {
                b[i] = v;
                p[i] = 8;
            }
        } else {
            if (a[i] > 0)
                a[i] -= 2;
            if (b[i] > 0) {
                if (p[i] == 0)
                    b[i] -= 1;
                if (p[i] > 0)
                    p[i] -= 1;
            }
        }
        a[i] = std::min(a[i], C.H - 10);
        b[i] = std::min(b[i], C.H - 10);
    }
    for (int i = 2; i < kBandCount && (i - 2) * 2 < C.W - 130; i += 2) {
        const int x = (i - 2) * 2;
        cv.Pen().SetColor(gfx::clBlack);
        cv.Brush().SetColor(gfx::RGB(3 * i, 100, 255 - 3 * i));
        cv.Rectangle(x + 5, C.H - 7, x + 10, C.H - a[i] + 10);
        const int y = C.H - b[i] + 10;
        if (y > 10) {
            cv.Pen().SetColor(0x008000);
            cv.MoveTo(x + 5, y);
            cv.LineTo(x + 8, y);
        }
    }
    const int cx = C.HalfW + 70;
    const int cy = C.HalfH + 10;
    for (int j = 0; j <= C.H; j += 32) {
        cv.Pen().SetColor(RandomColour());
        const int x = C.W - C.Min(j) + 1;
        const int y = C.H - (C.Min(j + 1) >> 1);
        for (int k = 0; k < 4; ++k)
            lineScatter(cv, cx, cy, x / 2, y);
        for (int k = 0; k <= 40; ++k)
            pixelScatter(cv, cx, cy, x / 2, y);
    }
}

namespace {

// Whether dancer f of Count wears a picture head.
bool hasPictureHead(int Count, int F)
{
    switch (Count) {
    case 0:
    case 1: return F == 1;
    case 2: return F == 1 || F == 2;
    case 3: return F == 2;
    case 4: return F == 2 || F == 3;
    case 5: return F == 3;
    case 6: return F == 1 || F == 3 || F == 4 || F == 6;
    default: return false;
    }
}

}  // namespace

// Humming dancers: one more joins after each long quiet stretch, up to six.
void TVisualPainter::mode20(TCall& C)
{
    gfx::TCanvas& cv = C.Canvas;
    stars(C);
    burst(C);
    stageFloor(C, [&](int) { cv.Pen().SetColor(0x00105050); });
    spectrumInput(C, false);
    auto& bands = FFTState().BandHeights;
    for (int i = 0; i <= 30; ++i)
        bands[i] = bandValue(i);
    int& count = State.Counters[20];
    if (State.FirstPaint[20]) {
        State.FirstPaint[20] = 0;
        count = 1;
        State.StepD = 0;
    }
    countQuietTicks(count);
    int shift = 16 - Trunc32(C.Lv() * 32.0);
    if (C.Ch == 1)
        shift = -shift;
    static constexpr int kHeadDX[3] = {-5, -6, -11};
    for (int f = 1; f <= count; ++f) {
        const int x = (C.W / (count + 1)) * f + shift;
        cv.Pen().SetWidth(3);
        cv.Pen().SetColor(BrightRandomColour());
        const int lean = poseAndLean(C, bands[10] > 20, bands[24] < 0, 3);
        if (rtl::Random(2) == 0)
            State.Bob = rtl::Random(5) - 2;
        int y = C.HalfH;
        int lift = 0;
        int d = 4;
        if (hasPictureHead(count, f)) {
            lift = 6;
            d = 6;
            pictureHead(C, 4, lean, 20.0, kHeadDX, x, y - 10 + State.Bob);
        } else {
            cv.Ellipse(x - 3 - lean / 2, y - 10 + State.Bob, x + 5 - lean / 2, y - 1 + State.Bob);
        }
        y += lift;
        figureA(C, x, y, lean, d, d + 2, 4, true, -7, 8);
    }
}

// Stage duo: two larger dancers on a floor whose lines light up in turn.
void TVisualPainter::mode21(TCall& C)
{
    gfx::TCanvas& cv = C.Canvas;
    stars(C);
    burst(C);
    int& count = State.Counters[21];
    if (State.FirstPaint[21]) {
        State.FirstPaint[21] = 0;
        count = 1;
        State.StepD = 0;
        State.StageTicks = 0;
        State.StageStep = 0;
    }
    if (State.StageTicks % 500 == 0)
        ++State.StageStep;
    if (State.StageTicks > 1000)
        State.StageTicks = 0;
    if (State.StageStep > 15)
        State.StageStep = 0;
    const int step = State.StageStep;
    stageFloor(C, [&](int k) {
        static constexpr gfx::TColor kLit[3] = {gfx::RGB(150, 150, 0), gfx::RGB(0, 150, 150),
                                                gfx::RGB(150, 0, 150)};
        const int behind = step - 1 - k;  // 0 for the leading lit line
        if (behind >= 0 && behind <= 2) {
            cv.Pen().SetWidth(2);
            cv.Pen().SetColor(kLit[behind]);
        } else {
            cv.Pen().SetWidth(1);
            cv.Pen().SetColor(0x00400080);
        }
    });
    for (int j = 0; j <= C.H; j += 32) {
        cv.Pen().SetColor(RandomOnOff(120));
        const int x = C.W - C.Min(j);
        const int y = C.H - (C.Min(j + 1) >> 1);
        for (int k = 0; k < 4; ++k)
            lineScatter(cv, C.HalfW, C.HalfH, x, y);
        for (int k = 0; k <= 40; ++k)
            pixelScatter(cv, C.HalfW, C.HalfH, x, y);
    }
    spectrumInput(C, false);
    auto& bands = FFTState().BandHeights;
    for (int i = 0; i <= 30; ++i)
        bands[i] = bandValue(i);
    countQuietTicks(count);

    int shift = 16 - Trunc32(C.Lv() * 32.0);
    if (C.Ch == 1)
        shift = -shift;
    const int third = C.W / 3;
    int x = C.Ch == 0 ? third - shift : 2 * third + shift;
    int lean = poseAndLean(C, bands[10] > 20, bands[24] < 0, 3);
    if (rtl::Random(2) == 0)
        State.Bob = rtl::Random(6) - 2;
    const int y = C.HalfH + 6;
    cv.Pen().SetWidth(6);
    cv.Pen().SetColor(BrightRandomColour());
    cv.MoveTo(x + 1, y + State.Bob);
    cv.LineTo(x + 1 + lean, y + 10);
    static constexpr int kFirstDX[3] = {-6, -5, -11};
    pictureHead(C, 2, lean, 15.0, kFirstDX, x, y - 16 + State.Bob);
    cv.Pen().SetWidth(3);
    figureA(C, x, y, lean, 4, 6, 4, false, -5, 6);

    lean = -lean;
    x = C.Ch == 0 ? 2 * third + shift : third - shift;
    cv.Pen().SetWidth(3);
    cv.MoveTo(x + 1, y + State.Bob);
    cv.LineTo(x + 1 + lean, y + 10);
    static constexpr int kSecondDX[3] = {-6, -6, -10};
    pictureHead(C, 3, lean, 15.0, kSecondDX, x, y - 16 + State.Bob);
    static constexpr TLegPoints kStageLegs{{-4, -6, -10}, {6, 8, 12}, {6, 6, 7}};
    figureB(C, cv, x, y, lean, kStageLegs);
}
