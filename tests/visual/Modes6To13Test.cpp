// Modes 5-13 on synthetic analyses: mode 5's wave pictures on a pane's surface, the urchins and the ground on silence, the dancer's
// mirrored sway, the fireworks lit by a quiet column, the moon's kinds, the fixed numbers of
// draws, and wide or narrow panes and analyses that must stay inside the tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include <QWidget>

#include "SurfaceRig.h"
#include "VisualTestUtil.h"
#include "platform/draw/Draw.h"
#include "visual/DXImageList.h"
#include "visual/VisualResources.h"

namespace {

PainterRig freshRig(int mode, int width = 250, int height = 68)
{
    PainterRig rig(mode, width, height);
    rig.Painter->SetFreshStart(true);
    return rig;
}

}  // namespace

TEST(Mode5, WavePicturesShowOnASurfaceOnlyWhileTheSceneRunsOnAPaintBoxToo)
{
    TestAnalysis a = TestAnalysis::silence(250);
    a.Levels[0] = a.Levels[1] = 0.5;
    // On a paint box: no drawing, the same draws of the generator as on a surface.
    PainterRig box = freshRig(5);
    box.use(a);
    rtl::RandSeed = 7;
    EXPECT_TRUE(callsOf(box.paint(0), "SetPixel").empty());
    const int boxDraws = drawsBetween(7, rtl::RandSeed);
    EXPECT_EQ(box.Painter->State.Counters[5], 1);

    {
        SurfaceRig s(32);
        visual::TDXDraw& dx = s.Dx;
        visual::TDXImageList& list = s.List;
        ASSERT_TRUE(dx.CanDraw());
        PainterRig rig = freshRig(5);
        rig.use(a);
        s.bind(rig.Frame);
        rtl::RandSeed = 7;
        rig.Painter->PaintVisual(0, true, rig.Frame);
        EXPECT_EQ(drawsBetween(7, rtl::RandSeed), boxDraws);

        // Level 0.5: amplitude 40, phase 100, y = 24 + 2 + 40 - 60 = 6.
        visual::TDirectDrawSurface want(*dx.DDraw);
        want.SetSize(250, 68);
        want.Fill(0);
        for (int k = 0; k < 5; ++k)
            list.Items().GetItem(k)->DrawWaveDistort(want, 62 + 30 * k - 4, 6, 30, 40, 0, 40, 70, 100);
        int lit = 0, differ = 0;
        for (int y = 0; y < 68; ++y) {
            for (int x = 0; x < 250; ++x) {
                const bool dot = std::any_of(
                    rig.Painter->State.Particles.begin(), rig.Painter->State.Particles.begin() + 101,
                    [&](const TParticle& p) { return p.X == x && p.Y == y; });
                lit += want.Pixel(x, y) != 0;
                differ += !dot && dx.Surface->Pixel(x, y) != want.Pixel(x, y);
            }
        }
        EXPECT_GT(lit, 1500);
        EXPECT_EQ(differ, 0);
        // Far into an endless run the phase wraps and the pictures still come.
        rig.Painter->State.Counters[5] = 2147483647;
        rig.Painter->PaintVisual(1, true, rig.Frame);
        EXPECT_EQ(rig.Painter->State.Counters[5], -2147483647 - 1);
    }
}

TEST(Modes6To13, UrchinsOnSilenceSitFiveAboveTheBottom)
{
    PainterRig rig = freshRig(6);
    const TestAnalysis quiet = TestAnalysis::silence(250);
    rig.use(quiet);
    FFTState().PeakHoldCounters.fill(0);
    std::vector<std::string> log;
    for (int frame = 0; frame < 7; ++frame)
        log = rig.paint(frame % 2);
    const TFFTState& fft = FFTState();
    for (int b = 1; b <= 32; ++b) {
        EXPECT_EQ(fft.BandHeights[b], 15) << b;
        EXPECT_EQ(fft.BandPeaks[b], 15) << b;
    }
    const auto sea = callsOf(log, "Polygon");
    ASSERT_EQ(sea.size(), 1u);
    const auto dots = callsOf(log, "SetPixel");
    ASSERT_EQ(dots.size(), 16u * 31);
    for (std::size_t k = 0; k < dots.size(); ++k) {
        const auto p = argsOf(dots[k]);
        const int urchin = int(k / 31);
        EXPECT_LE(std::abs(p[0] - (urchin * 16 + 4)), 7) << dots[k];
        EXPECT_LE(std::abs(p[1] - (68 - 5)), 7) << dots[k];
    }
}

TEST(Modes6To13, DancerSwaysInMirrorAndDrawsAFixedFigure)
{
    PainterRig rig(9);
    TestAnalysis a = TestAnalysis::silence(250);
    rig.use(a);
    for (int ch = 0; ch < 2; ++ch) {
        const std::uint32_t before = rtl::RandSeed;
        const auto log = rig.paint(ch);
        // One star at level 0 (place and colour), the figure's colour and two arm reaches.
        EXPECT_EQ(drawsBetween(before, rtl::RandSeed), 5 + 3 + 2);
        EXPECT_EQ(callsOf(log, "SetPixel").size(), 1u);
        const auto moves = callsOf(log, "MoveTo");
        // The floor's 16 lines, then the body from (cx + 1, HalfH - 4).
        ASSERT_EQ(moves.size(), 16u + 5);
        EXPECT_EQ(argsOf(moves[16]), (std::vector<int>{125 + (ch == 0 ? 16 : -16) + 1, 30}));
        EXPECT_EQ(callsOf(log, "LineTo").size(), 16u + 9);
    }
    a.Levels[0] = a.Levels[1] = 1.0;
    rig.use(a);
    EXPECT_EQ(callsOf(rig.paint(), "SetPixel").size(), 51u);
}

TEST(Modes6To13, FireworksOnSilenceLightBurstSevenOnly)
{
    PainterRig rig = freshRig(10);
    const TestAnalysis quiet = TestAnalysis::silence(250);
    rig.use(quiet);
    int lit = 0;
    for (int frame = 0; frame < 48; ++frame) {
        rig.paint(frame % 2);
        for (int k = 0; k <= 14; ++k)
            EXPECT_EQ(rig.Painter->State.Particles[k].Shade, k == 7 ? rig.Painter->State.Particles[7].Shade : 0) << k;
        lit += rig.Painter->State.Particles[7].Shade > 0;
    }
    // Twelve lives, one lost every other frame, re-lit on the frame after it dies.
    EXPECT_EQ(lit, 48 - 48 / 24);
}

TEST(Modes6To13, HummingPictureDrawsFourHumsOfFiftyOneDots)
{
    PainterRig rig = freshRig(11);
    const TestAnalysis a = TestAnalysis::sweep(250);
    rig.use(a);
    for (int frame = 0; frame < 3; ++frame) {
        const auto log = rig.paint(frame % 2);
        EXPECT_EQ(callsOf(log, "SetPixel").size(), 4u * 51);
        EXPECT_EQ(callsOf(log, "DrawImage").size(), 1u);
    }
}

// The quiet band falls three below the spectrum's zero and is lifted back on the next call,
// so the ground (HalfH - peak + 15) sinks one pixel every two calls, one display tick.
TEST(Modes6To13, RisingMoonGroundSinksOnSilenceAndThePictureMoonComesOneTimeInThree)
{
    PainterRig rig = freshRig(12);
    const TestAnalysis quiet = TestAnalysis::silence(250);
    rig.use(quiet);
    const auto& peaks = FFTState().BandPeaks;
    rig.paint();
    EXPECT_EQ(peaks[1], 40);
    EXPECT_EQ(peaks[249], 40);
    for (int call = 2; call <= 60; ++call) {
        rig.paint(call % 2);
        EXPECT_EQ(peaks[1], 40 - (call - 1) / 2) << call;
        EXPECT_EQ(peaks[249], peaks[1]);
    }
    for (int call = 0; call < 40; ++call)
        rig.paint(call % 2);
    EXPECT_EQ(peaks[1], 0);

    TPainterState& s = rig.Painter->State;
    int pictures = 0;
    for (int rise = 0; rise < 600; ++rise) {
        s.StepD = 68 + 100;
        s.Counters[12] = 5;
        rig.paint(rise % 2);
        EXPECT_EQ(s.StepD, 0);
        pictures += s.MoonKind;
    }
    EXPECT_GT(pictures, 150);
    EXPECT_LT(pictures, 250);
}

// Panes wider than the band tables, and analyses narrower than the columns a mode reads.
TEST(Modes6To13, WideAndNarrowInputsStayInsideTheTables)
{
    struct Case {
        int Mode, Width, Columns;
    };
    for (const Case& c : {Case{6, 600, 600}, Case{6, 1200, 1200}, Case{12, 600, 600},
                          Case{12, 1200, 1200}, Case{7, 250, 100}, Case{13, 250, 40},
                          Case{8, 1200, 20}, Case{11, 40, 10}, Case{10, 30, 16}}) {
        PainterRig rig = freshRig(c.Mode, c.Width);
        const TestAnalysis a = TestAnalysis::sweep(c.Columns);
        rig.use(a);
        for (int frame = 0; frame < 6; ++frame) {
            const auto log = rig.paint(frame % 2);
            if (c.Mode == 6) {
                const auto sea = callsOf(log, "Polygon");
                ASSERT_EQ(sea.size(), 1u);
                EXPECT_EQ(std::count(sea[0].begin(), sea[0].end(), '(') - 1, c.Width + 3);
            }
        }
    }
}
