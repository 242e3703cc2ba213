// The painter's frame: which modes re-run their set-up on a switch, what a fresh start resets,
// when no mode runs, and that a DirectX surface is always given back, flipped only after a
// frame that ended well.
#include <gtest/gtest.h>

#include <stdexcept>

#include "VisualTestUtil.h"

namespace {

class FakeSurface : public TVisualSurface {
public:
    bool Drawable = true;
    bool ThrowOnClear = false;
    int Clears = 0, Releases = 0, Flips = 0;
    bool CanDraw() override { return Drawable; }
    void Clear() override
    {
        ++Clears;
        if (ThrowOnClear)
            throw std::runtime_error("surface lost");
    }
    void Release() override { ++Releases; }
    void Flip() override { ++Flips; }
};

}  // namespace

TEST(VisualPainter, SwitchingIntoAModeSetsItsFirstPaintFlagOnlyForTheListedModes)
{
    PainterRig rig(3);
    const TestAnalysis a = TestAnalysis::silence(250);
    rig.use(a);
    TPainterState& s = rig.Painter->State;
    rig.paint();  // mode 3 from "no mode": not in the list, its flag stays
    EXPECT_EQ(s.FirstPaint[3], 0);
    EXPECT_EQ(s.PreviousMode, 3);

    rig.Frame.Effect = 0;  // 3 -> 0: mode 0 starts over
    s.Particles[0].X = 12345;
    rig.paint();
    EXPECT_EQ(s.FirstPaint[0], 0) << "set-up ran and cleared the flag";
    EXPECT_NE(s.Particles[0].X, 12345 + 1) << "particles were re-initialised";

    s.Counters[3] = 7;
    rig.Frame.Effect = 3;  // 0 -> 3: mode 3 keeps its state
    rig.paint();
    EXPECT_EQ(s.Counters[3], 8);

    for (int mode : {1, 4, 5, 10, 22, 23, 24, 25, 28, 29, 30}) {
        rig.Frame.Effect = 2;
        rig.paint();
        s.FirstPaint[mode] = 0;
        rig.Frame.Effect = mode;
        rig.Frame.PlayStatus = "stop";  // the flag is set even when no mode runs
        rig.paint();
        EXPECT_EQ(s.FirstPaint[mode], 1) << "mode " << mode;
        rig.Frame.PlayStatus = "play";
    }
    for (int mode : {2, 3, 6, 18, 19, 20, 21, 27}) {
        rig.Frame.Effect = 0;
        rig.paint();
        s.FirstPaint[mode] = 0;
        rig.Frame.Effect = mode;
        rig.Frame.PlayStatus = "stop";
        rig.paint();
        EXPECT_EQ(s.FirstPaint[mode], 0) << "mode " << mode;
        rig.Frame.PlayStatus = "play";
    }
}

TEST(VisualPainter, FreshStartResetsModesZeroToTwentyNineOnTheNextPlayingFrame)
{
    PainterRig rig(2);
    const TestAnalysis a = TestAnalysis::silence(250);
    rig.use(a);
    TPainterState& s = rig.Painter->State;
    s.Counters.fill(9);
    s.FirstPaint.fill(0);
    rig.Painter->SetFreshStart(true);
    rig.Frame.PlayStatus = "pause";
    rig.paint();
    EXPECT_EQ(s.FreshStart, 1) << "not playing: nothing is reset yet";
    EXPECT_EQ(s.Counters[5], 9);

    rig.Frame.PlayStatus = "play";
    rig.paint();
    EXPECT_EQ(s.FreshStart, 0);
    for (int m = 0; m < 30; ++m) {
        EXPECT_EQ(s.Counters[m], 0) << m;
        EXPECT_EQ(s.FirstPaint[m], 1) << m;
    }
    EXPECT_EQ(s.FirstPaint[30], 0) << "the meter panel's flag is not touched";

    rig.Painter->ResetDisplay();
    EXPECT_EQ(s.FirstPaint[30], 1);
}

TEST(VisualPainter, NoModeRunsWithoutDataOrWhileNotPlayingButTheOverlayIsDrawn)
{
    PainterRig rig(2);
    const TestAnalysis a = TestAnalysis::fullScale(250);
    rig.use(a);
    rig.Frame.Labels.Music.Text = "Song";
    for (const char* status : {"stop", "pause"}) {
        rig.Frame.PlayStatus = status;
        const auto log = rig.paint();
        EXPECT_TRUE(callsOf(log, "Ellipse").empty()) << status;
        EXPECT_FALSE(callsOf(log, "TextOut").empty()) << status;
    }
    rig.Frame.PlayStatus = "play";
    rig.Canvas->ClearLog();
    rig.Painter->PaintVisual(0, false, rig.Frame);  // a mono file: no data
    EXPECT_TRUE(callsOf(rig.Canvas->Log(), "Ellipse").empty());
    EXPECT_EQ(callsOf(rig.paint(), "Ellipse").size(), 10u) << "with data mode 2 draws its spark";

    rig.Frame.Effect = 77;  // no such mode: overlay only
    const auto log = rig.paint();
    EXPECT_FALSE(callsOf(log, "TextOut").empty());
    EXPECT_TRUE(callsOf(log, "Ellipse").empty());

    rig.Frame.TimerEnabled = false;  // timer off: nothing at all
    EXPECT_TRUE(rig.paint().empty());
}

TEST(VisualPainter, DirectXSurfaceIsReleasedEveryFrameAndFlippedOnlyWhenTheFrameEnded)
{
    PainterRig rig(19);
    const TestAnalysis a = TestAnalysis::sweep(250);
    rig.use(a);
    FakeSurface surface;
    rig.Frame.Surface = &surface;
    rig.paint();
    EXPECT_EQ(surface.Clears, 1);
    EXPECT_EQ(surface.Releases, 1);
    EXPECT_EQ(surface.Flips, 1);

    surface.ThrowOnClear = true;  // the frame fails half-way: released, not flipped
    EXPECT_NO_THROW(rig.paint());
    EXPECT_EQ(surface.Releases, 2);
    EXPECT_EQ(surface.Flips, 1);

    surface.ThrowOnClear = false;  // a mode that fails: the same
    SetupFFT(false);
    EXPECT_NO_THROW(rig.paint());
    EXPECT_EQ(surface.Releases, 3);
    EXPECT_EQ(surface.Flips, 1);
    SetupFFT(true);

    surface.Drawable = false;  // a lost surface: nothing begun, nothing to give back
    rig.paint();
    EXPECT_EQ(surface.Releases, 3);
    EXPECT_EQ(surface.Clears, 3);
}

TEST(VisualPainter, PaneLevelFollowsColumnOnesMinimum)
{
    TestAnalysis a(4);
    a.set(1, 0, 128, 128);
    a.set(1, 1, 0, 255);
    const TAnalysisView v = a.view();
    EXPECT_EQ(TVisualPainter::PaneLevel(v, 0), 0);
    EXPECT_EQ(TVisualPainter::PaneLevel(v, 1), -32);
    a.set(1, 0, 255, 255);
    EXPECT_EQ(TVisualPainter::PaneLevel(a.view(), 0), 31);
}
