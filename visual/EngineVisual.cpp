#include "visual/EngineVisual.h"

TEngineVisual::TEngineVisual(sound::TDxSound& Engine, TVisualPanes& Panes) : FEngine(Engine), FPanes(Panes)
{
    FFrame.Analysis = &FView;
    FFrame.SlowDownTimer = [this] { FPanes.SetTimDxTimerInterval(1000); };
}

void TEngineVisual::CreateVisualResources()
{
    FRes.CreateVisualResources();
    // The picture list's items and the star sprites belong to the DirectDraw panes, which
    // make them here once they exist.
}

void TEngineVisual::FreeVisualResources()
{
    // The DirectDraw panes free their picture list and sprites first, once they exist.
    FRes.FreeVisualResources();
}

bool TEngineVisual::TakeAnalysis(int Channel)
{
    const sound::TAnalysis* analysis = FEngine.Analysis();
    if (!analysis || analysis->ChannelCount() < 2) {
        FView = TAnalysisView{};
        return false;
    }
    FView.Columns = analysis->Columns();
    FView.Channels = analysis->ChannelCount();
    FView.MinTable = analysis->MinimumTable();
    FView.MaxTable = analysis->MaximumTable();
    FView.Levels[0] = analysis->Level(0);
    FView.Levels[1] = analysis->Level(1);
    FPanes.SetPaneTag(Channel, TVisualPainter::PaneLevel(FView, Channel));
    return true;
}

void TEngineVisual::FillFrame()
{
    FFrame.Effect = FEngine.Effect();
    FFrame.PlayStatus = FEngine.PlayStatus();
    FFrame.GraphWidth = FEngine.GraphWidth();
    FFrame.GraphHeight = FEngine.GraphHeight();
    FFrame.TimerEnabled = FPanes.TimDxTimerEnabled();
    FFrame.Gauge1Position = FPanes.Gauge1Position();
    FPanes.ReadOverlayLabels(FFrame.Labels);
}

void TEngineVisual::PaintPane(int Channel)
{
    // Without its pictures (before creation, or while the engine goes) nothing is painted.
    if (!FRes.Created())
        return;
    const bool hasData = TakeAnalysis(Channel);
    FillFrame();
    if (FPanes.DxdLeftVisible()) {
        FFrame.Surface = FPanes.PaneSurface(Channel);
        FFrame.Canvas = FFrame.Surface ? FPanes.SurfaceCanvas(Channel) : nullptr;
    } else {
        FFrame.Surface = nullptr;
        FFrame.Canvas = FPanes.PaintBoxCanvas(Channel);
    }
    FPainter.PaintVisual(Channel, hasData, FFrame);
}

void TEngineVisual::PaintPaneParticles(int Channel)
{
    if (!FRes.Created())
        return;
    TakeAnalysis(Channel);
    FillFrame();
    FFrame.Surface = nullptr;
    FFrame.Canvas = FPanes.PaintBoxCanvas(Channel);
    FPainter.PaintParticles(FFrame, Channel);
}
