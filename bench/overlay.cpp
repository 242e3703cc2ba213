// One frame of the visualiser's overlay text on a 250 x 68 pane (captions, title, time), both
// settled and during the title cross-fade, and one frame of each built visual mode on a busy
// synthetic analysis, on a paint box (BM_Mode) and, for the modes that draw pictures and the
// 500 stars there, on a display control's surface at 16 and 32 bits (BM_ModeSurface). The
// painter runs twice per 63 ms display tick; both panes take turns. The anchor is mode 99 (no
// mode: the clear and the overlay), in each of the two. Mode 30 drives a dashboard that records
// what it is told, with a real, shown segment-bar meter that the mode resizes twice a frame.
// Goals: a frame of the overlay well under 1 ms; every visual mode at most 1 ms a pane, read as
// the `max` of the 5 repetitions (not the median); mode 30 under 2 ms a frame.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QWidget>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "platform/draw/Draw.h"

#include "platform/gfx/Canvas.h"
#include "platform/rtl/Numerics.h"
#include "visual/DXDraw.h"
#include "visual/DXImageList.h"
#include "visual/DXSprite.h"
#include "visual/EngineVisual.h"
#include "visual/DistractBar.h"
#include "visual/MeterPanel.h"
#include "visual/VisualPainter.h"
#include "visual/VisualResources.h"

#include "bench/BenchSupport.h"

namespace {

constexpr int kWidth = 250;
constexpr int kHeight = 68;

struct BenchPanel : TMeterPanel {
    visual::TDistractBar Bar;
    bool Leds[4] = {};
    int Meters[3] = {0, 0, 50};
    std::string Lcd, Marquee;
    gfx::TColor Dot = 0x0000FFFF, Lamp = 0;
    int Gear = 0;
    std::uint32_t Position = 0;

    BenchPanel()
    {
        Bar.resize(96, 12);
        Bar.SetBarCount(16);
        Bar.SetBarSpacing(1);
        Bar.show();
    }
    bool LEDStatus(int n) const override { return Leds[n]; }
    void SetLEDStatus(int n, bool on) override { Leds[n] = on; }
    void SetLCD1BrushColor(gfx::TColor c) override { Lamp = c; }
    void SetMeterValue(TMeter m, int v) override { Meters[m] = std::clamp(v, 0, 100); }
    int MeterValue(TMeter m) const override { return Meters[m]; }
    void SetLcdMeterValue(const std::string& t) override { Lcd = t; }
    gfx::TColor LblMK0FontColor() const override { return Dot; }
    void SetLblMK0FontColor(gfx::TColor c) override { Dot = c; }
    void SetDbrMeterWidth(int w) override { Bar.resize(w, Bar.height()); }
    void SetDbrMeterProcess(int p) override { Bar.SetProcess(visual::TDBAnimProcessType(p)); }
    void SetMarqueeText(const std::string& t) override { Marquee = t; }
    void SetShiftLamp(int i) override { Gear = i; }
    int BarLeftPosition() const override { return 80; }
    int BarRightPosition() const override { return 70; }
    std::uint32_t PlayPositionMs() override { return Position += 63; }
};

struct Pane {
    TVisualResources Res;
    BenchPanel Panel;
    QImage Image{kWidth, kHeight, QImage::Format_RGB32};
    gfx::TCanvas Canvas{&Image};
    TVisualFrame Frame;
    std::vector<std::uint8_t> Mins, Maxs;
    TAnalysisView View;

    Pane()
    {
        Res.CreateVisualResources();
        Frame.Canvas = &Canvas;
        Frame.Panel = &Panel;
        Frame.Gauge1Position = 50;
        Frame.PlayStatus = "play";
        Frame.Labels.Left = {"L", 4, 4};
        Frame.Labels.Right = {"R", 4, 4};
        Frame.Labels.Music = {"踊るタンブレル - Tambourelle", 0, 4};
        Frame.Labels.Duration = {"00:01:23", 196, 54};
        Frame.Labels.DurationTag = 1;
        Frame.Gauge1Position = 95;  // the lucky fortune shows
        // A loud, busy waveform: two tones beating against each other.
        for (int c = 0; c < kWidth; ++c) {
            const double s = 0.6 * std::sin(c * 0.31) + 0.35 * std::sin(c * 0.047);
            const int swing = int(std::lround(std::fabs(s) * 127));
            for (int ch = 0; ch < 2; ++ch) {
                Mins.push_back(std::uint8_t(128 - swing));
                Maxs.push_back(std::uint8_t(std::min(128 + swing, 255)));
            }
        }
        View.Columns = kWidth;
        View.Channels = 2;
        View.MinTable = Mins.data();
        View.MaxTable = Maxs.data();
        View.Levels[0] = 0.8;
        View.Levels[1] = 0.7;
        Frame.Analysis = &View;
    }
};

void BM_OverlaySettled(benchmark::State& state)
{
    Pane pane;
    TVisualPainter painter(pane.Res);
    painter.State.StoredTitle = pane.Frame.Labels.Music.Text;
    for (auto _ : state) {
        painter.PaintOverlayText(pane.Canvas, 0, pane.Frame);
        painter.PaintOverlayText(pane.Canvas, 1, pane.Frame);
    }
}
BENCHMARK(BM_OverlaySettled)->Unit(benchmark::kMicrosecond);

void BM_OverlayCrossFade(benchmark::State& state)
{
    Pane pane;
    TVisualPainter painter(pane.Res);
    painter.State.StoredTitle = "前の曲";
    for (auto _ : state) {
        painter.State.Fade = 64;  // stay in the middle of the fade
        painter.PaintOverlayText(pane.Canvas, 0, pane.Frame);
        painter.PaintOverlayText(pane.Canvas, 1, pane.Frame);
    }
}
BENCHMARK(BM_OverlayCrossFade)->Unit(benchmark::kMicrosecond);

// One channel's frame of a mode, overlay included, as the paint box path draws it.
void BM_Mode(benchmark::State& state)
{
    Pane pane;
    TVisualPainter painter(pane.Res);
    pane.Frame.Effect = static_cast<int>(state.range(0));
    painter.State.StoredTitle = pane.Frame.Labels.Music.Text;
    rtl::RandSeed = 1;
    int channel = 0;
    for (auto _ : state) {
        pane.Image.fill(Qt::black);
        painter.PaintVisual(channel, true, pane.Frame);
        channel ^= 1;
    }
}
// Every mode number the painter knows; one not built yet draws the overlay only, as does the
// anchor 99 (no mode at all: the clear and the overlay).
BENCHMARK(BM_Mode)->DenseRange(0, 30)->Arg(99)->Unit(benchmark::kMicrosecond)->Repetitions(5)
    ->ComputeStatistics("max", benchsupport::largest)->DisplayAggregatesOnly(true);

// The main window's pane on a display control, with its picture list and 500 stars.
struct SurfacePane : TVisualSurface {
    QWidget Form;
    visual::TDXDraw Dx{&Form};
    visual::TDXImageList List;
    visual::TDXSpriteEngine Sprites;
    std::array<visual::TMySprite*, 500> Stars{};

    SurfacePane()
    {
        Form.setGeometry(0, 0, kWidth + 50, kHeight + 32);
        Dx.setGeometry(0, 0, kWidth, kHeight);
        for (const char* name : {"d01", "d02", "d03", "d04", "d05", "d06"})
            AddDXPicture(List, name);
        List.SetDXDraw(&Dx);
        Form.show();
        rtl::RandSeed = 38;
        MakeStars(Sprites, *List.Items().GetItem(0), Stars.data(), int(Stars.size()));
    }
    ~SurfacePane() override
    {
        for (auto* star : Stars)
            delete star;
    }
    bool CanDraw() override { return Dx.CanDraw(); }
    void Clear() override { Dx.Surface->Fill(0); }
    void Release() override { Dx.Surface->Canvas().Release(); }
    void Flip() override { Dx.Flip(); }
};

// One channel's frame of a mode on a pane's surface: clear, mode, overlay, release, flip.
void BM_ModeSurface(benchmark::State& state)
{
    draw::SetCurrentBackend(draw::DrawBackend::Memory(uint32_t(state.range(1)), 1280, 800));
    {
        Pane pane;
        SurfacePane surface;
        TVisualPainter painter(pane.Res);
        pane.Frame.Effect = static_cast<int>(state.range(0));
        pane.Frame.Surface = &surface;
        pane.Frame.Canvas = &surface.Dx.Surface->Canvas();
        pane.Frame.DXDraw = &surface.Dx;
        pane.Frame.ImageList = &surface.List;
        pane.Frame.SpriteEngine = &surface.Sprites;
        pane.Frame.Stars = &surface.Stars;
        painter.State.StoredTitle = pane.Frame.Labels.Music.Text;
        rtl::RandSeed = 1;
        int channel = 0;
        for (auto _ : state) {
            painter.PaintVisual(channel, true, pane.Frame);
            channel ^= 1;
        }
    }
    draw::SetCurrentBackend(nullptr);
}
BENCHMARK(BM_ModeSurface)->ArgsProduct({{14, 22, 23, 99}, {16, 32}})->ArgNames({"mode", "bits"})
    ->Unit(benchmark::kMicrosecond)->Repetitions(5)
    ->ComputeStatistics("max", benchsupport::largest)->DisplayAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) { return benchsupport::runOffscreen<QApplication>(argc, argv); }
