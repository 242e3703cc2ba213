// Modes 18-21 on synthetic analyses: the face's eyes and mouth, the analyser's bars and
// peaks, the dancers' count, poses and heads, the stage floor's lights, the number of random
// draws, and that one seed and one input always give the same drawing.
#include <gtest/gtest.h>

#include <cmath>

#include "VisualTestUtil.h"
#include "visual/FFTReal.h"

namespace {

// Column minima that give spectrum band 16 a large negative value (a quiet band for the
// dancers) and every other band about nothing.
TestAnalysis quietBand16(int columns)
{
    TestAnalysis a(columns);
    for (int c = 0; c < columns; ++c) {
        const int q = int(std::lround(32 + 31 * std::cos(2 * M_PI * 16 * c / 128.0)));
        a.set(c, 0, 4 * q, 200);
        a.set(c, 1, 4 * q, 200);
    }
    return a;
}

int height(const std::string& ellipse)
{
    const auto v = argsOf(ellipse);
    return v[3] - v[1];
}

}  // namespace

TEST(Modes18To21, FaceEyesOpenWithTheLevelAndTheMouthStaysSmall)
{
    PainterRig rig(18);
    TestAnalysis quiet = TestAnalysis::silence(250);
    rig.use(quiet);
    auto eyes = callsOf(rig.paint(), "Ellipse");
    ASSERT_EQ(eyes.size(), 2u);
    EXPECT_EQ(height(eyes[0]), 1);
    EXPECT_EQ(height(eyes[1]), 1);

    const TestAnalysis loud = TestAnalysis::fullScale(250);
    rig.use(loud);
    const std::uint32_t before = rtl::RandSeed;
    const auto log = rig.paint();
    EXPECT_EQ(drawsBetween(before, rtl::RandSeed), 3 + 2 * 41 * (3 + 3));
    eyes = callsOf(log, "Ellipse");
    EXPECT_EQ(height(eyes[0]), 6);
    const auto mouth = callsOf(log, "RoundRect");
    ASSERT_EQ(mouth.size(), 1u) << "with a 250-pixel pane only column 0 makes a mouth";
    const auto m = argsOf(mouth[0]);
    EXPECT_LE(m[2] - m[0], 100);
    EXPECT_EQ(m[4], 2 * 2 + 8);
    EXPECT_EQ(callsOf(log, "SetPixel").size(), 82u);
}

TEST(Modes18To21, FaceOnAOnePixelPaneHasNoMouth)
{
    PainterRig rig(18, 1, 68);
    const TestAnalysis a = TestAnalysis::sweep(2);
    rig.use(a);
    const auto log = rig.paint();
    EXPECT_TRUE(callsOf(log, "RoundRect").empty());
    EXPECT_EQ(callsOf(log, "Ellipse").size(), 2u);
}

TEST(Modes18To21, AnalyserDrawsThirtyBarsBelowTheTopAndHoldsPeaksEightFrames)
{
    PainterRig rig(19);
    const TestAnalysis a = TestAnalysis::fullScale(250);
    rig.use(a);
    TFFTState& fft = FFTState();
    fft.BandHeights[4] = 40;
    fft.BandPeaks[4] = 50;
    fft.PeakHoldCounters[4] = 8;
    const auto log = rig.paint();
    const auto bars = callsOf(log, "Rectangle");
    ASSERT_EQ(bars.size(), 30u);
    EXPECT_EQ(argsOf(bars[0])[0], 5);
    for (const auto& b : bars)
        EXPECT_GE(argsOf(b)[3], 20) << "no bar above H - 10";
    EXPECT_EQ(fft.BandHeights[4], 38);
    for (int frame = 2; frame <= 8; ++frame)
        rig.paint();
    EXPECT_EQ(fft.BandPeaks[4], 50);
    EXPECT_EQ(fft.PeakHoldCounters[4], 0);
    rig.paint();
    EXPECT_EQ(fft.BandPeaks[4], 49);
    EXPECT_EQ(fft.BandHeights[4], 22);
}

TEST(Modes18To21, AnalyserOnAWidePaneKeepsToItsBandTables)
{
    PainterRig rig(19, 1000, 68);
    const TestAnalysis a = TestAnalysis::sweep(1000);
    rig.use(a);
    const std::uint32_t before = rtl::RandSeed;
    const auto log = rig.paint();
    EXPECT_EQ(callsOf(log, "Rectangle").size(), 127u);
    // three laser groups (j = 0, 32, 64): colour, 4 line and 41 pixel scatters
    EXPECT_EQ(drawsBetween(before, rtl::RandSeed), 3 * (3 + 4 * 3 + 41 * 3));
}

TEST(Modes18To21, DancersJoinAfterLongQuietStretchesUpToSix)
{
    PainterRig rig(20);
    const TestAnalysis a = quietBand16(250);
    rig.use(a);
    rig.Painter->SetFreshStart(true);
    rig.paint();
    EXPECT_LT(FFTState().BandHeights[16], 0);
    TPainterState& s = rig.Painter->State;
    EXPECT_EQ(s.Counters[20], 1);
    EXPECT_EQ(s.StepD, 1);
    for (int i = 0; i < 150; ++i)
        rig.paint();
    EXPECT_EQ(s.Counters[20], 2) << "the 151st quiet frame adds a dancer";
    for (int i = 0; i < 151 * 6; ++i)
        rig.paint(i % 2);
    EXPECT_EQ(s.Counters[20], 6);
}

TEST(Modes18To21, DancersStandStraightWithUnrotatedHeadsWhileBothPosesAreZero)
{
    PainterRig rig(20);
    const TestAnalysis a = quietBand16(250);
    rig.use(a);
    rig.Painter->SetFreshStart(true);
    const auto log = rig.paint();
    ASSERT_EQ(rig.Painter->State.LeftPose, 0);
    const auto heads = callsOf(log, "DrawImage");
    ASSERT_EQ(heads.size(), 1u);
    EXPECT_EQ(heads[0].rfind("DrawImage(16x16", 0), 0u) << heads[0];
    // One dancer at W div 2 + S, S = 16 at level 0: the body runs straight down.
    const int x = 125 + 16;
    const int bob = rig.Painter->State.Bob;
    const auto lines = callsOf(log, "LineTo");
    const auto moves = callsOf(log, "MoveTo");
    bool body = false;
    for (std::size_t i = 0; i < moves.size(); ++i)
        body |= argsOf(moves[i]) == std::vector<int>{x + 1, 34 + 6 + bob};
    EXPECT_TRUE(body);
    bool straight = false;
    for (const auto& l : lines)
        straight |= argsOf(l) == std::vector<int>{x + 1, 34 + 6 + 10};
    EXPECT_TRUE(straight);
}

TEST(Modes18To21, StageFloorLightsMoveOneLinePerFrame)
{
    PainterRig rig(21);
    const TestAnalysis a = TestAnalysis::silence(250);
    rig.use(a);
    rig.Painter->SetFreshStart(true);
    auto lit = [&](const std::vector<std::string>& log) {
        std::vector<std::string> pens;
        for (const auto& l : callsOf(log, "LineTo")) {
            const auto v = argsOf(l);
            if (v.size() == 2 && v[0] > 125 && l.find("/2/") != std::string::npos)
                pens.push_back(std::to_string(v[0]) + l.substr(l.find("pen=") + 4, 7));
        }
        return pens;
    };
    EXPECT_EQ(lit(rig.paint()), (std::vector<std::string>{"250#969600"}));
    EXPECT_EQ(lit(rig.paint(1)), (std::vector<std::string>{"250#009696", "242#969600"}));
    auto third = lit(rig.paint());
    EXPECT_EQ(third, (std::vector<std::string>{"250#960096", "242#009696", "234#969600"}));
}

TEST(Modes18To21, SameSeedAndInputGiveTheSameDrawingInEveryMode)
{
    const TestAnalysis a = TestAnalysis::sweep(250);
    for (int mode : {0, 1, 2, 3, 4, 6, 7, 8, 9, 10, 11, 12, 13, 18, 19, 20, 21}) {
        std::string runs[2];
        for (auto& run : runs) {
            PainterRig rig(mode);
            rig.use(a);
            rig.Frame.Labels.Music.Text = "タイトル";
            FFTState().PeakHoldCounters.fill(0);
            rtl::RandSeed = 4242;
            for (int frame = 0; frame < 4; ++frame) {
                rig.paint(frame % 2);
                run += rig.Canvas->Text();
            }
        }
        EXPECT_EQ(runs[0], runs[1]) << "mode " << mode;
        EXPECT_GT(runs[0].size(), 100u) << "mode " << mode;
    }
}

TEST(Modes18To21, DancerFigureAFollowsThePoseTable)
{
    PainterRig rig(20);
    const TestAnalysis a = quietBand16(250);
    rig.use(a);
    rig.Painter->SetFreshStart(true);
    TPainterState& s = rig.Painter->State;
    s.LeftPose = 1;
    s.RightPose = 1;
    const auto log = rig.paint(0);
    ASSERT_EQ(s.LeftPose, 1) << "band 10 is quiet: the pose stays";

    // The segments drawn after the head picture.
    std::vector<std::vector<int>> seg;
    bool afterHead = false;
    for (const auto& l : log) {
        afterHead |= l.rfind("DrawImage(", 0) == 0;
        if (afterHead && (l.rfind("MoveTo(", 0) == 0 || l.rfind("LineTo(", 0) == 0))
            seg.push_back(argsOf(l));
    }
    ASSERT_EQ(seg.size(), 15u);
    const int X = 125 + 16, Y = 34 + 6, bob = s.Bob;
    const int lean = seg[1][0] - (X + 1);
    EXPECT_TRUE(lean <= -4 && lean >= -6) << "left pose 1 leans left on channel 0: " << lean;
    EXPECT_EQ(seg[0], (std::vector<int>{X + 1, Y + bob}));
    EXPECT_EQ(seg[1], (std::vector<int>{X + 1 + lean, Y + 10}));
    auto arm = [&](int c) { return std::clamp(68 - a.Mins[2 * c] / 6, Y - 4, Y + 4); };
    auto leg = [&](int c) { return a.Maxs[2 * c] / 8 + Y; };
    const int sl = (X + 4 - seg[3][0]) / 2;
    EXPECT_TRUE(sl >= 6 && sl <= 9) << sl;
    EXPECT_EQ(seg[2], (std::vector<int>{X, Y + 2}));
    EXPECT_EQ(seg[3], (std::vector<int>{X - 2 * sl + 4, arm(0) - 2 + bob}));
    EXPECT_EQ(seg[4], (std::vector<int>{X - 2 * sl - 2, arm(1) + 4 + bob}));
    EXPECT_EQ(seg[5], (std::vector<int>{X + lean + 1, Y + 10}));
    EXPECT_EQ(seg[6], (std::vector<int>{X + lean - 7, leg(0)}));
    EXPECT_EQ(seg[7], (std::vector<int>{X + lean - 12, leg(1)}));
    const int sr = (seg[9][0] - X + 1) / 2;
    EXPECT_TRUE(sr >= 6 && sr <= 9) << sr;
    EXPECT_EQ(seg[8], (std::vector<int>{X + 2, Y + 2}));
    EXPECT_EQ(seg[9], (std::vector<int>{X + 2 * sr - 1, arm(22) - 2 + bob}));
    EXPECT_EQ(seg[10], (std::vector<int>{X + 2 * sr + 4, arm(21) - 6 + bob}));
    EXPECT_EQ(seg[11], (std::vector<int>{X + lean, Y + 10}));
    EXPECT_EQ(seg[12], (std::vector<int>{X + lean + 8, Y + 12}));
    EXPECT_EQ(seg[13], (std::vector<int>{X + 7 + lean, leg(20)}));
    EXPECT_EQ(seg[14], (std::vector<int>{X + 12 + lean, leg(21)}));
}
