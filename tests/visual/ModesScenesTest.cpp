// Modes 25-29 on synthetic analyses: the flowers' life, the background's sway, the walkers,
// the dancer's spin and the planet and ribbon, and wide panes that must stay inside the
// tables.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>

#include <cmath>
#include <regex>

#include "VisualTestUtil.h"

namespace {

PainterRig freshRig(int mode, int width = 250, int height = 68)
{
    PainterRig rig(mode, width, height);
    rig.Painter->SetFreshStart(true);
    rtl::RandSeed = 7;
    return rig;
}

// Every integer of a recorded call, in order ("DrawImage(40x50,0,0,40,50,..." gives 40, 50, ...).
std::vector<int> numbersOf(const std::string& line)
{
    std::vector<int> out;
    static const std::regex number("-?[0-9]+");
    for (auto it = std::sregex_iterator(line.begin(), line.end(), number); it != std::sregex_iterator(); ++it)
        out.push_back(std::stoi(it->str()));
    return out;
}

}  // namespace

// A flower opens at shade 12 and loses one shade every fourth frame: full size while the
// shade is 12, 11 and 10, smaller for shades 9 .. 1, then closed with a colour drawn afresh.
TEST(Modes25To29, FlowerOpensOnALoudColumnAndFadesInTwelveSteps)
{
    PainterRig rig = freshRig(25);
    TestAnalysis loud = TestAnalysis::silence(250);
    loud.set(21, 0, 255, 255);
    const TestAnalysis quiet = TestAnalysis::silence(250);
    const TParticle& flower = rig.Painter->State.Particles[19];
    std::vector<int> petals;  // petal radius of flower 19 per frame, -1 when not drawn
    for (int frame = 0; frame < 60; ++frame) {
        rig.use(frame == 0 ? loud : quiet);
        const auto log = rig.paint();
        int radius = -1;
        const auto ellipses = callsOf(log, "Ellipse");
        for (std::size_t k = 0; k < ellipses.size(); ++k) {
            const auto e = argsOf(ellipses[k]);
            const bool heart = ellipses[k].find("brush=#FFFF00") != std::string::npos;
            if (heart && e[0] + e[2] == 2 * flower.X && e[1] + e[3] == 2 * flower.Y && k >= 5)
                radius = (argsOf(ellipses[k - 5])[2] - argsOf(ellipses[k - 5])[0]) / 2;
        }
        petals.push_back(radius);
    }
    // Shade s is drawn with petals of Trunc(min(s / 10, 1) x 6).
    for (int frame = 0; frame < 60; ++frame) {
        const int shade = frame == 0 ? 12 : 11 - (frame - 1) / 4;
        const int expected = shade > 0 ? int(std::min(shade / 10.0, 1.0) * 6.0) : -1;
        EXPECT_EQ(petals[frame], expected) << "frame " << frame;
    }
    EXPECT_EQ(flower.Shade, 0);
    EXPECT_NE(flower.Colour, 0);
}

TEST(Modes25To29, BackgroundSwaysBetweenMinusAndPlusFivePixels)
{
    PainterRig rig = freshRig(26);
    const TestAnalysis a = TestAnalysis::sweep(250);
    rig.use(a);
    TPainterState& s = rig.Painter->State;
    rig.paint();
    EXPECT_NEAR(double(s.ScrollOffset), -4.99, 1e-9);
    EXPECT_NEAR(double(s.ScrollStep), 0.01, 1e-12);
    for (const long double start : {4.985L, -4.985L}) {
        s.ScrollOffset = start;
        s.ScrollStep = start > 0 ? 0.01L : -0.01L;
        int turns = 0;
        for (int frame = 0; frame < 40; ++frame) {
            const long double before = s.ScrollStep;
            rig.paint(frame % 2);
            EXPECT_LE(std::fabs(double(s.ScrollOffset)), 5.0 + 0.01 + 1e-9);
            if (s.ScrollStep != before) {
                ++turns;
                EXPECT_GE(std::fabs(double(s.ScrollOffset)), 5.0 - 1e-9) << "turns only at an end";
            }
        }
        EXPECT_EQ(turns, 1) << double(start);
    }
}

TEST(Modes25To29, WalkersStartApartAndOneStandingStillStaysPut)
{
    PainterRig rig = freshRig(27);
    const TestAnalysis a = TestAnalysis::sweep(250);
    rig.use(a);
    TPainterState& s = rig.Painter->State;
    const std::uint32_t before = rtl::RandSeed;
    rig.paint();
    // After the 21 blob points (two draws each): both directions, then both places.
    rtl::RandSeed = before;
    for (int k = 0; k < 42; ++k)
        rtl::Random(2);
    const int direction0 = rtl::Random(3) - 1;
    const int direction1 = rtl::Random(3) - 1;
    const int place0 = rtl::Random(125) + 31;
    const int place1 = rtl::Random(125) + 31;
    EXPECT_EQ(std::abs(s.Walkers[0].Direction), std::abs(direction0));
    EXPECT_EQ(s.Walkers[0].X, place0 + s.Walkers[0].Direction) << "the painted walker took a step";
    EXPECT_EQ(s.Walkers[1].Direction, direction1);
    EXPECT_EQ(s.Walkers[1].X, place1);

    s.Walkers[0] = {0, 100};
    for (int frame = 0; frame < 400; ++frame)
        rig.paint(0);
    EXPECT_EQ(s.Walkers[0].Direction, 0);
    EXPECT_EQ(s.Walkers[0].X, 100);
    // A walker at an edge turns back in.
    s.Walkers[1] = {1, 1000};
    rig.paint(1);
    EXPECT_EQ(s.Walkers[1].Direction, -1);
    EXPECT_LE(s.Walkers[1].X, 250 - 5);
}

TEST(Modes25To29, DancerStaysUnturnedUntilASpinIsDrawn)
{
    PainterRig rig = freshRig(28);
    const TestAnalysis a = TestAnalysis::sweep(250);
    rig.use(a);
    TPainterState& s = rig.Painter->State;
    bool spun[2] = {false, false};
    for (int frame = 0; frame < 3000 && !(spun[0] && spun[1]); ++frame) {
        const int ch = frame % 2;
        const long double angle = s.Spins[ch].Angle;
        const auto log = rig.paint(ch);
        if (!spun[ch]) {
            EXPECT_EQ(angle, 0.0L);
            const auto images = callsOf(log, "DrawImage");
            ASSERT_EQ(images.size(), 2u);  // the glows, then the figure
            const auto figure = numbersOf(images[1]);
            EXPECT_EQ(figure[0], 40);
            EXPECT_EQ(figure[1], 50);
            EXPECT_EQ(figure[7], (68 - 50) / 2 + 4);
        }
        if (s.Spins[ch].Spin != 0) {
            spun[ch] = true;
            const double spin = std::fabs(double(s.Spins[ch].Spin));
            EXPECT_GE(spin, 0.1 - 1e-9);
            EXPECT_LE(spin, 1.0 + 1e-9);
        }
    }
    EXPECT_TRUE(spun[0] && spun[1]);
}

// The frame runs straight through: a display tick waiting in the queue is not served inside it.
TEST(Modes25To29, DancerFrameLetsNoOtherWorkRunInsideIt)
{
    PainterRig rig = freshRig(28);
    const TestAnalysis a = TestAnalysis::sweep(250);
    rig.use(a);
    bool fired = false;
    QTimer::singleShot(0, [&fired] { fired = true; });
    rig.paint();
    EXPECT_FALSE(fired);
    QCoreApplication::processEvents();
    EXPECT_TRUE(fired);
}

TEST(Modes25To29, RibbonStartsFlatAndFillsFromItsNewestRow)
{
    PainterRig rig = freshRig(29);
    const TestAnalysis a = TestAnalysis::sweep(250);
    rig.use(a);
    rig.Frame.Gauge1Position = 50;
    const int halfH = 34;
    const auto log = rig.paint();
    const auto lines = callsOf(log, "LineTo");
    ASSERT_FALSE(lines.empty());
    for (const auto& l : lines) {
        const int y = argsOf(l)[1];
        const bool row = y >= halfH + 29 && y <= halfH + 37;
        EXPECT_TRUE(row || y == halfH + 47) << l;  // rows 1..9, then the drop from row 9
    }
    // The ribbon follows the gauge: row 0 of column 0 sits at 12 + Trunc(50 x 125 / 100) - 16.
    const auto moves = callsOf(log, "MoveTo");
    EXPECT_EQ(argsOf(moves.front()), (std::vector<int>{12 + 62 - 16, halfH + 28}));
    const auto& history = rig.Painter->State.History[0];
    for (int i = 0; i <= 31; ++i) {
        EXPECT_EQ(history[9][i], (255 - a.Mins[2 * i]) / 4) << i;
        EXPECT_EQ(history[8][i], int(halfH * 0.85)) << i;
    }
}

TEST(Modes25To29, RightPlanetIsHalfATurnAhead)
{
    PainterRig rig = freshRig(29);
    TestAnalysis a = TestAnalysis::sweep(250);
    a.Levels[0] = a.Levels[1] = 0.5;
    rig.use(a);
    rig.paint();
    auto planet = [&](int ch, int counter) {
        rig.Painter->State.Counters[29] = counter;
        const auto images = callsOf(rig.paint(ch), "DrawImage");
        EXPECT_EQ(images.size(), 1u);
        const auto v = numbersOf(images.back());
        return std::vector<int>{v[8] - v[6], v[9] - v[7], v[7]};  // width, height, top
    };
    for (int counter : {0, 45, 90, 150}) {
        EXPECT_EQ(planet(1, counter), planet(0, counter + 180)) << counter;
    }
    const auto big = planet(0, 90);
    const auto small = planet(1, 90);
    EXPECT_GT(big[0], 3 * small[0]);
}

// Panes wider than the sea buffer of old and the ribbon's history.
TEST(Modes25To29, WidePanesStayInsideTheTables)
{
    for (int width : {600, 2100}) {
        for (int mode = 25; mode <= 29; ++mode) {
            PainterRig rig = freshRig(mode, width);
            const TestAnalysis a = TestAnalysis::sweep(width);
            rig.use(a);
            for (int frame = 0; frame < 4; ++frame) {
                const auto log = rig.paint(frame % 2);
                if (mode == 27) {
                    const auto sea = callsOf(log, "Polygon");
                    ASSERT_EQ(sea.size(), 1u);
                    EXPECT_EQ(std::count(sea[0].begin(), sea[0].end(), '(') - 1, width + 3);
                }
                if (mode == 29) {
                    const int q = std::min(width / 2 / 4, 250);
                    EXPECT_EQ(callsOf(log, "LineTo").size(), std::size_t((q + 1) * 10 + q * 9));
                }
            }
        }
    }
}
