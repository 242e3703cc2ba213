// Mode 30, the dashboard: a night drive in the left pane, and the main window's meter panel
// (lamps, needles, odometer, segment bar, marquee and gear lamps) driven beside it.
#include <algorithm>
#include <cmath>
#include <string>

#include "visual/DistractBar.h"
#include "visual/FFTReal.h"
#include "visual/MeterPanel.h"
#include "visual/VisualModes.h"

using namespace visualmodes;

namespace {

constexpr double Degree = Pi / 180;
// The marquee's lead-in, before the title.
constexpr const char* kMarqueeLeadIn = "Tambourelle";
constexpr int kLampCount = 10;

void penAndBrush(gfx::TCanvas& Canvas, gfx::TColor Colour)
{
    Canvas.Pen().SetColor(Colour);
    Canvas.Brush().SetColor(Colour);
}

}  // namespace

void TVisualPainter::mode30(TCall& C)
{
    gfx::TCanvas& cv = C.Canvas;
    auto& history = State.History[0];
    int& counter = State.Counter30;
    // The history keeps 251 columns; a wider pane uses the first 251.
    const int q = std::min(C.HalfW / 4, TPainterState::HistoryColumns - 1);
    auto& rows = FFTState().BandHeights;
    auto& columns = FFTState().BandPeaks;
    if (State.FirstPaint[30]) {
        State.FirstPaint[30] = 0;
        counter = 0;
        State.GearPhase = 0;
        for (int m = 0; m < kLampCount; ++m) {
            rows[m] = m;
            columns[m] = m % 2 == 0 ? 0 : q;
        }
        std::fill_n(&State.History[0][0][0], sizeof State.History, std::uint8_t(0));
        for (int k = 0; k <= 100; ++k) {
            State.Points[k].Y = rtl::Random(C.H);
            State.Points[k].X = rtl::Random(C.W);
        }
        if (C.Frame.Panel)
            C.Frame.Panel->SetMarqueeText(std::string(kMarqueeLeadIn) + " : " + C.Frame.Labels.Music.Text);
    }
    if (C.Ch != 0)
        return;

    FallingStars(cv, State.Points, C.W, C.H, counter);

    // Sparks swinging across the pane.
    const int sx = Trunc32(std::sin(counter * Degree) * q) + C.HalfW;
    for (int j = 0; j <= C.H; ++j) {
        const int x = C.W - 2 * C.Min(j);
        if (j % 4 == 0) {
            cv.Pen().SetColor(gfx::clWhite);
            const int y = C.HalfH - (C.Min(j + 1) >> 2);
            for (int k = 0; k <= 30; ++k)
                pixelScatter(cv, sx, C.HalfH - 2, x / 12, y / 8);
        }
        const int y = C.H - (C.Min(j + 1) >> 1);
        if (j % 8 == 0) {
            cv.Pen().SetColor(0x0000FFFF);
            for (int k = 0; k <= 100; ++k)
                pixelScatter(cv, sx, C.HalfH - 2, x / 6, y / 4);
        }
        if (j % 16 == 0) {
            cv.Pen().SetColor(0x00FF0000);
            for (int k = 0; k <= 200; ++k)
                pixelScatter(cv, sx, C.HalfH - 2, x / 4, y / 3);
        }
    }

    // The hill.
    cv.Pen().SetWidth(1);
    cv.Pen().SetColor(gfx::RGB(125, 125, 125));
    cv.Brush().SetColor(gfx::RGB(0, 0, 60));
    gfx::TPoint hill[43];
    for (int a = 250; a <= 290; ++a)
        hill[a - 250] = {Trunc32(std::cos(a * Degree) * C.W * 2.0) + C.HalfW,
                         Trunc32(std::sin(a * Degree) * C.W * 1.0) + C.W + C.HalfH};
    hill[41] = {C.W, C.H};
    hill[42] = {0, C.H};
    cv.Polygon(hill);

    // The road: the last ten waveform rows in perspective, row 0 the newest and farthest.
    const int mid = q / 2;
    constexpr double F = 85 / 3.0;
    const int sx2 = Trunc32(std::sin(counter * Degree) * q) + C.HalfW - 10;
    auto xp = [&](int Column, int Row) { return 11 * Row - Trunc32(6 * Column * Row / 9.0) + 12 - Row + sx2; };
    cv.Pen().SetWidth(4);
    for (int i = 0; i <= q; ++i) {
        for (int r = 0; r <= 9; ++r) {
            const double f = r * F;
            cv.Pen().SetColor(i >= mid - 1 && i <= mid + 1
                                  ? gfx::RGB(Trunc32(f * 0.9), Trunc32(f * 0.9), Trunc32(f * 0.9))
                                  : gfx::RGB(Trunc32(f * 0.5), Trunc32(f * 0.7), Trunc32(f * 0.5)));
            const int y0 = r + 28 + C.HalfH;
            if (r == 0) {
                cv.MoveTo(xp(i, r), y0 - history[r][i]);
                continue;
            }
            cv.LineTo(xp(i, r), y0 - history[r][i]);
            if (i < q) {
                cv.LineTo(xp(i + 1, r), y0 - history[r][i + 1]);
                cv.MoveTo(xp(i, r), y0 - history[r][i]);
            }
        }
        cv.LineTo(xp(i, 9) + 6, 37 + C.HalfH - history[9][i] + 10);
    }

    // Road-side lamps running towards the viewer, one row a frame.
    cv.Pen().SetWidth(1);
    for (int m = 0; m < kLampCount; ++m) {
        const int r = std::clamp<int>(rows[m], 0, 9);
        const int c = std::clamp<int>(columns[m], 0, q);
        const int y = r + 28 + C.HalfH - history[r][c];
        const int x = xp(c, r);
        penAndBrush(cv, m % 3 == 0 ? 0x00DAF3DF : 0x00C0C0C0);
        const int d = (r + 1) / 2;
        cv.Ellipse(x - d, y - d, x + d, y + d);
        rows[m] = r + 1;
        columns[m] = c;
        if (rows[m] == 10) {
            rows[m] = 0;
            columns[m] = m % 2 == 0 ? q : 0;
        }
    }

    for (int r = 9; r >= 1; --r)
        for (int i = 0; i <= q; ++i)
            history[r][i] = std::uint8_t(Trunc32(history[r - 1][i] * 0.85));
    for (int i = 0; i <= q; ++i)
        history[0][i] = std::uint8_t((255 - C.Min(i)) / 6);

    if (C.Frame.Panel)
        meterPanel(C);
    if (++counter > 360)
        counter = 0;
}

// The dashboard beside the pane.
void TVisualPainter::meterPanel(TCall& C)
{
    TMeterPanel& panel = *C.Frame.Panel;
    const int led = rtl::Random(10);
    if (led >= 1 && led <= 3)
        panel.SetLEDStatus(led, !panel.LEDStatus(led));

    if (panel.PlayPositionMs() % 10 == 0) {
        static constexpr gfx::TColor kLamp[] = {0x000000FF, 0x0000FF00, 0x00FFFF00};
        panel.SetLCD1BrushColor(kLamp[rtl::Random(3)]);
    }

    panel.SetMeterValue(TMeterPanel::mtrLeft, panel.BarLeftPosition());
    panel.SetMeterValue(TMeterPanel::mtrRight, panel.BarRightPosition());
    panel.SetMeterValue(TMeterPanel::mtrBalanse,
                        50 - (panel.MeterValue(TMeterPanel::mtrRight) - panel.MeterValue(TMeterPanel::mtrLeft)));

    // The odometer in hundredths of a second; its dot blinks every tenth of a second. Pending
    // events are not served here: a display tick served inside this frame would paint again.
    const std::uint32_t t = panel.PlayPositionMs() / 10;
    panel.SetLcdMeterValue(std::to_string(t));
    if (t % 10 == 0)
        panel.SetLblMK0FontColor(panel.LblMK0FontColor() == 0x0000FFFF ? 0x00FF0000 : 0x0000FFFF);

    panel.SetDbrMeterWidth(95);
    panel.SetDbrMeterProcess(visual::apRandom);
    panel.SetDbrMeterWidth(96);

    // Gears: up from P at the start, wandering between third and fifth, down at the end.
    int& phase = State.GearPhase;
    const int gauge = C.Frame.Gauge1Position;
    if (phase < 7) {
        static constexpr struct {
            int Counter;
            int Lamp;
        } kShift[] = {{5, 0}, {8, 1}, {10, 2}, {15, 3}, {35, 4}, {60, 5}, {90, 6}, {130, 7}};
        for (const auto& s : kShift)
            if (State.Counter30 == s.Counter)
                panel.SetShiftLamp(s.Lamp);
        if (State.Counter30 == 130)
            phase = 14;
    } else if (gauge < 93) {
        if (rtl::Random(10) == 1) {
            phase = std::clamp(phase + rtl::Random(3) - 1, 12, 14);
            panel.SetShiftLamp(phase - 7);
        }
    } else {
        const int d = 100 - gauge;
        if (d != 1)
            panel.SetShiftLamp(d);
    }
}
