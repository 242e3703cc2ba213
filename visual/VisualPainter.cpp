#include "visual/VisualPainter.h"

#include <exception>

#include "visual/VisualModes.h"

namespace {

// Modes whose set-up runs again whenever the user switches into them.
constexpr int kSetUpOnSwitch[] = {0, 1, 5, 10, 22, 23, 24, 25, 28, 29, 30, 4};

// Gives the DirectX surface canvas back however the frame ends.
class TSurfaceRelease {
public:
    explicit TSurfaceRelease(TVisualSurface* Surface) : FSurface(Surface) {}
    TSurfaceRelease(const TSurfaceRelease&) = delete;
    TSurfaceRelease& operator=(const TSurfaceRelease&) = delete;
    ~TSurfaceRelease()
    {
        if (!FSurface)
            return;
        try {
            FSurface->Release();
        } catch (...) {
        }
    }

private:
    TVisualSurface* FSurface;
};

}  // namespace

int TVisualPainter::PaneLevel(const TAnalysisView& Analysis, int Channel)
{
    return 31 - ((255 - Analysis.Min(1, Channel)) >> 2);
}

void TVisualPainter::detectModeChange(int Effect)
{
    for (int mode : kSetUpOnSwitch) {
        if (State.PreviousMode != mode && Effect == mode)
            State.FirstPaint[mode] = 1;
    }
    State.PreviousMode = Effect;
}

void TVisualPainter::PaintVisual(int Channel, bool HasData, const TVisualFrame& Frame)
{
    if (!Frame.TimerEnabled || !Frame.Canvas)
        return;
    TVisualSurface* surface = Frame.Surface;
    if (surface && !surface->CanDraw())
        return;
    bool painted = false;
    {
        TSurfaceRelease release(surface);
        try {
            paintFrame(Channel, HasData, Frame);
            painted = true;
        } catch (const std::exception&) {
            // This frame is lost (its surface still given back); the next tick paints afresh.
        }
    }
    if (painted && surface && Frame.TimerEnabled)
        surface->Flip();
}

void TVisualPainter::paintFrame(int Channel, bool HasData, const TVisualFrame& Frame)
{
    gfx::TCanvas& canvas = *Frame.Canvas;
    detectModeChange(Frame.Effect);
    canvas.Brush().SetColor(gfx::clBlack);
    if (Frame.PlayStatus != "pause") {
        if (Frame.Surface)
            Frame.Surface->Clear();
        else
            PaintOverlayText(canvas, Channel, Frame);
    }
    if (Frame.PlayStatus == "play" && HasData && Frame.Analysis) {
        if (State.FreshStart) {
            State.FreshStart = 0;
            State.Counters.fill(0);
            for (int m = 0; m < TPainterState::ModeCount - 1; ++m)
                State.FirstPaint[m] = 1;
        }
        canvas.Pen().SetWidth(1);
        canvas.Brush().SetStyle(gfx::bsClear);
        TCall call{Frame, canvas, *Frame.Analysis, Channel == 1 ? 1 : 0, Frame.GraphWidth,
                   Frame.GraphHeight, Frame.GraphWidth / 2, Frame.GraphHeight / 2};
        dispatch(call);
    }
    PaintOverlayText(canvas, Channel, Frame);
}

void TVisualPainter::seedPoints(int Last, int XRange, int H)
{
    for (int i = 0; i <= Last; ++i) {
        State.Points[i].Y = rtl::Random(H);
        State.Points[i].X = rtl::Random(XRange);
    }
}

void TVisualPainter::dispatch(TCall& C)
{
    switch (C.Frame.Effect) {
    case 0: mode0(C); break;
    case 1: mode1(C); break;
    case 2: mode2(C); break;
    case 3: mode3(C); break;
    case 4: mode4(C); break;
    case 5: mode5(C); break;
    case 6: mode6(C); break;
    case 7: mode7(C); break;
    case 8: mode8(C); break;
    case 9: mode9(C); break;
    case 10: mode10(C); break;
    case 11: mode11(C); break;
    case 12: mode12(C); break;
    case 13: mode13(C); break;
    case 14: mode14(C); break;
    case 15: mode15(C); break;
    case 16: mode16(C); break;
    case 17: mode17(C); break;
    case 18: mode18(C); break;
    case 19: mode19(C); break;
    case 20: mode20(C); break;
    case 21: mode21(C); break;
    case 22: mode22(C); break;
    case 23: mode23(C); break;
    case 24: mode24(C); break;
    case 25: mode25(C); break;
    case 26: mode26(C); break;
    case 27: mode27(C); break;
    case 28: mode28(C); break;
    case 29: mode29(C); break;
    case 30: mode30(C); break;
    default: break;  // a mode not built yet, or no mode at all, draws nothing
    }
}
