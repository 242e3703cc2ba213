// Modes 0-4 on synthetic analyses: the waveform of mode 0, the title scroll of mode 1, the
// number of random draws of modes 2 and 4, the waterfall's rows and its table limit.
#include <gtest/gtest.h>

#include "VisualTestUtil.h"

TEST(Modes0To4, StarsWaveformIsAFlatLineOnSilenceAndFollowsTheMinimaOtherwise)
{
    PainterRig rig(0);
    const TestAnalysis quiet = TestAnalysis::silence(250);
    rig.use(quiet);
    rig.Frame.Labels.Music.Text = "Title";
    auto log = rig.paint();
    const auto moves = callsOf(log, "MoveTo");
    ASSERT_FALSE(moves.empty());
    EXPECT_EQ(argsOf(moves[0]), (std::vector<int>{0, 35}));
    const auto lines = callsOf(log, "LineTo");
    ASSERT_EQ(lines.size(), 249u);
    for (const auto& l : lines)
        EXPECT_EQ(argsOf(l)[1], 35) << l;

    const TestAnalysis loud = TestAnalysis::sweep(250);
    rig.use(loud);
    log = rig.paint();
    const auto swept = callsOf(log, "LineTo");
    for (int i = 1; i < 250; i += 31)
        EXPECT_EQ(argsOf(swept[i - 1])[1], ((255 - loud.Mins[2 * i]) >> 2) + 4);
}

TEST(Modes0To4, StarsSetUpNeverMakesABlackStar)
{
    PainterRig rig(0);
    const TestAnalysis a = TestAnalysis::silence(250);
    rig.use(a);
    for (std::uint32_t seed : {1u, 2u, 77u, 1234567u}) {
        rtl::RandSeed = seed;
        rig.Painter->State.FirstPaint[0] = 1;
        rig.paint();
        for (int i = 0; i <= 100; ++i) {
            const TParticle& p = rig.Painter->State.Particles[i];
            EXPECT_NE(p.Colour, 0);
            EXPECT_EQ(p.Colour & 0xFF, (p.Colour & 0xFF) ? 0xFF : 0);
        }
    }
}

TEST(Modes0To4, TitleWaveTurnsAroundWhenTheTextHasLeftAndTitleLengthIsSafe)
{
    PainterRig rig(1);
    const TestAnalysis a = TestAnalysis::silence(250);
    rig.use(a);
    rig.Frame.Labels.Music.Text = "ABC";
    rig.paint();
    TPainterState& s = rig.Painter->State;
    EXPECT_EQ(s.D1, 1);
    const int tw = rig.Canvas->TextWidth("ABC");
    // Scrolled so far that even the last character is more than a pane past the left edge.
    s.Counters[1] = 2 * 250 + 2 * tw + 100;
    rig.paint();
    EXPECT_EQ(s.D1, -1);
    EXPECT_EQ(s.Counters[1], tw + 2 * 3 - 1);

    // A title longer than the pane has columns: the late characters ride on silence.
    rig.Frame.Labels.Music.Text = std::string(300, 'x');
    const auto log = rig.paint();
    EXPECT_GE(callsOf(log, "TextOut").size(), 300u);

    rig.Frame.Labels.Music.Text.clear();  // no title: bubbles and bursts only
    const auto plain = rig.paint();
    for (const auto& t : callsOf(plain, "TextOut"))
        EXPECT_EQ(t.find("\"x\""), std::string::npos);
    EXPECT_FALSE(callsOf(plain, "Ellipse").empty());
}

TEST(Modes0To4, WanderingSparkMakesAFixedNumberOfDrawsPerFrame)
{
    PainterRig rig(2);
    const TestAnalysis a = TestAnalysis::sweep(250);
    rig.use(a);
    rig.paint();
    const std::uint32_t before = rtl::RandSeed;
    const auto log = rig.paint();
    // brush colour (3), then ten times: wander (2), pen colour (3), 21 dots of 3 draws each
    EXPECT_EQ(drawsBetween(before, rtl::RandSeed), 3 + 10 * (2 + 3 + 21 * 3));
    EXPECT_EQ(callsOf(log, "Ellipse").size(), 10u);
    EXPECT_EQ(callsOf(log, "SetPixel").size(), 210u);
}

TEST(Modes0To4, WaterfallAgesEachChannelsRowsSeparatelyAndDrawsNoRandomThings)
{
    PainterRig rig(4);
    const TestAnalysis loud = TestAnalysis::fullScale(250);
    const TestAnalysis quiet = TestAnalysis::silence(250);
    rig.use(loud);
    rig.paint(0);
    rig.use(quiet);
    rig.paint(1);
    const TPainterState& s = rig.Painter->State;
    EXPECT_EQ(s.History[0][9][5], 63);
    EXPECT_EQ(s.History[1][9][5], 31);
    EXPECT_EQ(s.History[0][8][5], 19) << "Trunc(20 x 0.95)";

    rig.use(loud);
    const std::uint32_t before = rtl::RandSeed;
    const auto log = rig.paint(0);
    EXPECT_EQ(rtl::RandSeed, before);
    const auto rects = callsOf(log, "Rectangle");
    ASSERT_EQ(rects.size(), 10u * 126);
    // Front row: x = colW + c - 54 + 17, y = 36 + baseY + 10, up to y - 63 + 10.
    EXPECT_EQ(argsOf(rects[9 * 126]), (std::vector<int>{41 - 54 + 17, 63, 41 - 54 + 22, 63 - 63 + 10}));
    EXPECT_EQ(callsOf(log, "LineTo").size(), 60u) << "the side face";
}

TEST(Modes0To4, WaterfallOnAWidePaneStaysInsideItsHistory)
{
    PainterRig rig(4, 1000, 68);
    const TestAnalysis a = TestAnalysis::sweep(1000);
    rig.use(a);
    const auto log = rig.paint(1);
    EXPECT_EQ(callsOf(log, "Rectangle").size(), 10u * TPainterState::HistoryColumns);
}

TEST(Modes0To4, SpinningBoardAndRaysStayFiniteOnFullScale)
{
    PainterRig rig(3);
    const TestAnalysis a = TestAnalysis::fullScale(250);
    rig.use(a);
    for (int i = 0; i < 5; ++i) {
        const auto log = rig.paint(i % 2);
        const auto poly = callsOf(log, "Polygon");
        ASSERT_EQ(poly.size(), 1u);
        // Level 1: n = 25, so two groups (j = 0, 16) of ten rays from the centre.
        int rays = 0;
        for (const auto& m : callsOf(log, "MoveTo"))
            rays += argsOf(m) == std::vector<int>{125, 34};
        EXPECT_EQ(rays, 20);
    }
    EXPECT_EQ(rig.Painter->State.A3, 5);
}
