// Modes 14-17 and 22-24 on synthetic analyses: the day's fortune and its rise, the neon bars'
// spacing, the graveyard with and without its wave picture, the sparks and stars of mode 22,
// mode 23's wave phase, and wide panes.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include <QImage>

#include "SurfaceRig.h"
#include "VisualTestUtil.h"

namespace {

PainterRig freshRig(int mode, int width = 250, int height = 68)
{
    PainterRig rig(mode, width, height);
    rig.Painter->SetFreshStart(true);
    return rig;
}

// The y of the fortune text in a recording, or -1000 when there is none.
int fortuneY(const std::vector<std::string>& log, std::string* text = nullptr)
{
    for (const auto& line : callsOf(log, "TextOut")) {
        if (line.find("今日のラッキー") == std::string::npos)
            continue;
        if (text) {
            const std::size_t open = line.find('"') + 1;
            *text = line.substr(open, line.find('"', open) - open);
        }
        return argsOf(line)[1];
    }
    return -1000;
}

// The caption "L" or "R" drawn twice on a paint box means the frame reached its end.
int captions(const std::vector<std::string>& log)
{
    int n = 0;
    for (const auto& line : callsOf(log, "TextOut"))
        n += line.find("\"L\"") != std::string::npos || line.find("\"R\"") != std::string::npos;
    return n;
}

}  // namespace

TEST(Mode24, TheDayGivesTheLuckyColourAndNumber)
{
    struct Case {
        const char *Today, *Colour, *Number;
        gfx::TColor Value;
    };
    const TestAnalysis a = TestAnalysis::silence(250);
    for (const Case& c : {Case{"20240305", "ピンク", "92", 0xFF00FF}, Case{"20240109", "黒", "40", 0},
                          Case{"20250203", "黄", "25", 0x00FFFF},
                          Case{"20230405", "オレンジ", "7", 0x0080FF}}) {  // 2023 x 9 = 18207
        PainterRig rig = freshRig(24);
        rig.use(a);
        rig.Frame.Today = c.Today;
        rig.paint(0);
        EXPECT_EQ(rig.Painter->State.LuckyName, c.Colour) << c.Today;
        EXPECT_EQ(rig.Painter->State.LuckyNumber, c.Number) << c.Today;
        EXPECT_EQ(rig.Painter->State.CurrentColour, c.Value) << c.Today;
    }
}

TEST(Mode24, FortuneRisesEverySecondFrameStopsHalfwayAndGoesWithTheGauge)
{
    const TestAnalysis a = TestAnalysis::sweep(250);
    PainterRig rig = freshRig(24);
    rig.use(a);
    rig.Frame.Today = "20240109";
    rig.Frame.Gauge1Position = 91;
    for (int frame = 0; frame < 90; ++frame) {
        std::string text;
        const int y = fortuneY(rig.paint(frame % 2), &text);
        EXPECT_EQ(y, std::max(68 - (frame / 2 + 1), 34)) << "frame " << frame;
        EXPECT_EQ(text, frame % 2 == 0 ? "今日のラッキーカラー : 黒" : "今日のラッキーナンバー : 40");
    }
    rig.Frame.Gauge1Position = 90;
    EXPECT_EQ(fortuneY(rig.paint(0)), -1000);
    EXPECT_EQ(rig.Painter->State.Rise, 0);

    // Black as the lucky colour: black text on a white box, on a real canvas.
    QImage pane(250, 68, QImage::Format_RGB32);
    gfx::TCanvas canvas(&pane);
    rig.Frame.Canvas = &canvas;
    rig.Frame.Gauge1Position = 100;
    for (int frame = 0; frame < 40; ++frame) {
        pane.fill(Qt::black);
        rig.Painter->PaintVisual(0, true, rig.Frame);
    }
    const int top = 68 - rig.Painter->State.Rise;
    int white = 0, black = 0, left = 250, right = -1;
    for (int x = 0; x < 250; ++x) {
        if ((pane.pixel(x, top + 1) & 0xFFFFFF) == 0xFFFFFF) {
            left = std::min(left, x);
            right = std::max(right, x);
        }
    }
    ASSERT_LT(left + 60, right);
    for (int y = top + 1; y < top + 11; ++y) {
        for (int x = left; x <= right; ++x) {
            const QRgb p = pane.pixel(x, y) & 0xFFFFFF;
            white += p == 0xFFFFFF;
            black += p == 0;
        }
    }
    EXPECT_GT(white, (right - left) * 5);
    EXPECT_GT(black, 40);
}

TEST(Mode16, BarsStandOnEveryFifthColumnAtFullLevelAndEvery55thOnSilence)
{
    TestAnalysis a = TestAnalysis::sweep(250);
    for (const auto& [level, step] : {std::pair{1.0, 5}, std::pair{0.0, 55}}) {
        a.Levels[0] = level;
        PainterRig rig = freshRig(16);
        rig.use(a);
        const auto log = rig.paint(0);
        const auto from = callsOf(log, "MoveTo"), to = callsOf(log, "LineTo");
        std::vector<int> want;
        for (int i = 0; i < 250; ++i)
            if (i % step == 1)
                want.push_back(i);
        ASSERT_EQ(from.size(), want.size()) << "level " << level;
        ASSERT_EQ(to.size(), want.size());
        for (std::size_t k = 0; k < want.size(); ++k) {
            const auto m = argsOf(from[k]), l = argsOf(to[k]);
            const int d = std::abs(34 - ((255 - a.Mins[2 * want[k]]) >> 2));
            EXPECT_EQ(m, (std::vector<int>{want[k], 34 - d + 8}));
            EXPECT_EQ(l, (std::vector<int>{want[k], 34 + d + 8}));
        }
    }
}

TEST(Mode14, PaintBoxDrawsTheGraveyardAndASurfaceAddsTheWavePicture)
{
    const TestAnalysis a = TestAnalysis::sweep(250);
    PainterRig box = freshRig(14);
    box.use(a);
    const auto log = box.paint(0);
    EXPECT_EQ(callsOf(log, "Polygon").size(), 12u);  // six crosses on six bases
    EXPECT_EQ(callsOf(log, "Ellipse").size(), 16u);  // the wisps
    EXPECT_EQ(callsOf(log, "DrawImage").size(), 1u);  // the ghost
    EXPECT_EQ(box.Painter->State.Counters[14], 1);
    EXPECT_EQ(box.Painter->State.GhostX, -249);
    // The ghost leaves at the right edge and comes again after twice the width.
    box.Painter->State.GhostX = 250;
    EXPECT_TRUE(callsOf(box.paint(1), "DrawImage").empty());
    box.Painter->State.GhostX = 500;
    box.paint(0);
    EXPECT_EQ(box.Painter->State.GhostX, -20);

    for (int bits : {32, 16}) {
        SurfaceRig s(bits);
        PainterRig rig = freshRig(14);
        rig.use(a);
        s.bind(rig.Frame);
        const TPainterState start = rig.Painter->State;
        // The same frame without and with the picture list: only the wave picture differs.
        QImage frames[2];
        for (int withList = 0; withList < 2; ++withList) {
            rig.Painter->State = start;
            rig.Frame.ImageList = withList ? &s.List : nullptr;
            rtl::RandSeed = 7;
            rig.Painter->PaintVisual(0, true, rig.Frame);
            frames[withList] = s.image();
        }
        const int amp = int(0.5 * 20), top = (68 - 20) / 2 + 2 + amp - 15;
        int differ = 0, outside = 0;
        for (int y = 0; y < 68; ++y) {
            for (int x = 0; x < 250; ++x) {
                if (frames[0].pixel(x, y) == frames[1].pixel(x, y))
                    continue;
                ++differ;
                // The wave shifts rows sideways by up to the amplitude.
                outside += x < 250 - 44 - amp || x >= 250 - 14 + amp || y < top || y >= top + 35;
            }
        }
        EXPECT_GT(differ, 150) << bits;
        EXPECT_EQ(outside, 0) << bits;
    }
}

TEST(Mode22And23, SparksOnSilenceStarsOnSurfacesAndTheWavePhase)
{
    const TestAnalysis quiet = TestAnalysis::silence(250);
    // On a paint box: no stars, no exception (the captions close the frame), the sparks.
    PainterRig box = freshRig(22);
    box.use(quiet);
    const auto log = box.paint(0);
    EXPECT_EQ(captions(log), 2);
    int white = 0;
    for (const auto& line : callsOf(log, "SetPixel")) {
        const auto p = argsOf(line);
        const bool inside = p[0] >= 0 && p[0] < 250 && p[1] >= 0 && p[1] < 68;
        if (p[0] == 125 && p[1] == 34 && line.find("#FFFFFF") != std::string::npos)
            ++white;
        else
            EXPECT_FALSE(inside) << line;  // yellow and blue fly off the pane
    }
    EXPECT_EQ(white, 18 * 31);

    PainterRig wave = freshRig(23);
    wave.use(quiet);
    EXPECT_EQ(captions(wave.paint(0)), 2);
    EXPECT_EQ(callsOf(wave.paint(1), "LineTo").size(), 30u);
    for (int frame = 2; frame < 501; ++frame)
        wave.paint(frame % 2);
    EXPECT_EQ(wave.Painter->State.Counters[23], 0);  // wrapped after 2W + 1 frames

    for (int bits : {32, 16}) {
        SurfaceRig s(bits);
        PainterRig rig = freshRig(22);
        rig.use(quiet);
        s.bind(rig.Frame);
        const int depth = s.Stars[0]->Depth;
        for (int frame = 0; frame < 3; ++frame)
            rig.Painter->PaintVisual(frame % 2, true, rig.Frame);
        EXPECT_EQ(s.Stars[0]->Depth, depth > 3 ? depth - 3 : s.Stars[0]->Depth);
        const QImage stars = s.image();
        EXPECT_EQ(stars.pixel(125, 34) & 0xFFFFFF, 0xFFFFFFu) << bits;
        EXPECT_GT(colouredPixels(stars), 150) << bits;
        const int chosen = int(std::count_if(s.Stars.begin(), s.Stars.end(), [&](auto* star) {
            return star->Image != s.List.Items().GetItem(0);
        }));
        EXPECT_GT(chosen, 50);
        EXPECT_LT(chosen, 250);

        // Mode 23: every star gets item 5 and moves away; at counter 7 the phase is 28 on.
        rig.Frame.Effect = 23;
        rig.Painter->PaintVisual(0, true, rig.Frame);
        EXPECT_TRUE(std::all_of(s.Stars.begin(), s.Stars.end(),
                                [&](auto* star) { return star->Image == s.List.Items().GetItem(5); }));
        for (auto* star : s.Stars)
            star->Depth = 100;  // off to the back: none is drawn this frame
        rig.Painter->State.Counters[23] = 7;
        rig.Painter->PaintVisual(1, true, rig.Frame);
        EXPECT_EQ(rig.Painter->State.Counters[23], 8);
        visual::TDirectDrawSurface want(*s.Dx.DDraw);
        want.SetSize(250, 68);
        want.Fill(0);
        s.List.Items().GetItem(2)->DrawWaveDistort(want, 31 + 125 - 48, 31 - 10, 20, 20, 0,
                                                   128 / 20, 80, 128 / 20 + 28);
        int lit = 0, differ = 0;
        for (int y = 0; y < 68; ++y) {
            for (int x = 0; x < 250; ++x) {
                if (y == 35 && x >= 105 && x <= 135)
                    continue;  // the waveform line
                lit += want.Pixel(x, y) != 0;
                differ += s.Dx.Surface->Pixel(x, y) != want.Pixel(x, y);
            }
        }
        EXPECT_GT(lit, 100) << bits;
        EXPECT_EQ(differ, 0) << bits;
    }
}

TEST(Modes14To24, WidePanesStayInsideTheTables)
{
    for (int width : {600, 1200}) {
        const TestAnalysis a = TestAnalysis::sweep(width);
        for (int mode : {14, 15, 16, 17, 22, 23, 24}) {
            PainterRig rig = freshRig(mode, width, 68);
            rig.use(a);
            rig.Frame.Gauge1Position = 95;
            for (int frame = 0; frame < 6; ++frame)
                EXPECT_EQ(captions(rig.paint(frame % 2)), 2) << mode << " " << width;
        }
    }
}
