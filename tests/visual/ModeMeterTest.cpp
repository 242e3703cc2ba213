// Mode 30 with a recording dashboard: the gear lamps over a track, the balance needle, the
// odometer and its dot, the silent right pane and the road-side lamps' rows and columns.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <utility>
#include <vector>

#include "VisualTestUtil.h"
#include "visual/DistractBar.h"
#include "visual/MeterPanel.h"

namespace {

struct RecordingPanel : TMeterPanel {
    int Frame = 0;                               // set by the test before each paint
    std::vector<std::pair<int, int>> ShiftLamps;  // (frame, lamp)
    int Calls = 0;
    bool Leds[4] = {};
    int Meters[3] = {0, 0, 50};
    std::string Lcd, Marquee;
    gfx::TColor Dot = 0x0000FFFF;
    std::vector<int> Widths;
    int Process = -1;
    int Left = 0, Right = 0;
    std::uint32_t Position = 0;

    bool LEDStatus(int n) const override { return Leds[n]; }
    void SetLEDStatus(int n, bool on) override { ++Calls, Leds[n] = on; }
    void SetLCD1BrushColor(gfx::TColor) override { ++Calls; }
    void SetMeterValue(TMeter m, int v) override { ++Calls, Meters[m] = std::clamp(v, 0, 100); }
    int MeterValue(TMeter m) const override { return Meters[m]; }
    void SetLcdMeterValue(const std::string& t) override { ++Calls, Lcd = t; }
    gfx::TColor LblMK0FontColor() const override { return Dot; }
    void SetLblMK0FontColor(gfx::TColor c) override { ++Calls, Dot = c; }
    void SetDbrMeterWidth(int w) override { ++Calls, Widths.push_back(w); }
    void SetDbrMeterProcess(int p) override { ++Calls, Process = p; }
    void SetMarqueeText(const std::string& t) override { ++Calls, Marquee = t; }
    void SetShiftLamp(int i) override { ++Calls, ShiftLamps.emplace_back(Frame, i); }
    int BarLeftPosition() const override { return Left; }
    int BarRightPosition() const override { return Right; }
    std::uint32_t PlayPositionMs() override { return Position; }
};

struct MeterRig {
    PainterRig Rig;
    RecordingPanel Panel;
    TestAnalysis Levels = TestAnalysis::sweep(256);

    explicit MeterRig(int Width = 250) : Rig(30, Width, 68)
    {
        rtl::RandSeed = 11;
        Rig.Frame.Panel = &Panel;
        Rig.Frame.Gauge1Position = 50;
        Rig.Frame.Labels.Music.Text = "Song";
        Rig.use(Levels);
    }
    // Frames of both panes, the left first; the panel's frame number counts left frames.
    void frames(int N)
    {
        for (int i = 0; i < N; ++i) {
            Rig.paint(0);
            Rig.paint(1);
            ++Panel.Frame;
        }
    }
};

}  // namespace

TEST(Mode30, GearsShiftUpCruiseInThirdToFifthAndShiftDownAtTheEnd)
{
    MeterRig m;
    m.frames(131);
    const std::vector<std::pair<int, int>> up = {{5, 0}, {8, 1}, {10, 2}, {15, 3}, {35, 4}, {60, 5}, {90, 6}, {130, 7}};
    EXPECT_EQ(m.Panel.ShiftLamps, up);
    EXPECT_EQ(m.Panel.Marquee, "Tambourelle : Song");

    m.Panel.ShiftLamps.clear();
    m.frames(400);
    EXPECT_GT(m.Panel.ShiftLamps.size(), 10u);
    for (const auto& [frame, lamp] : m.Panel.ShiftLamps) {
        ASSERT_GE(lamp, 5) << frame;
        ASSERT_LE(lamp, 7) << frame;
    }

    // At the end: fifth at 93 % down to N at 98; nothing at 99 (N stays), P at 100.
    const std::map<int, std::vector<int>> end = {{93, {7}}, {95, {5}}, {98, {2}}, {99, {}}, {100, {0}}};
    for (const auto& [gauge, lamps] : end) {
        m.Rig.Frame.Gauge1Position = gauge;
        m.Panel.ShiftLamps.clear();
        m.frames(1);
        std::vector<int> got;
        for (const auto& call : m.Panel.ShiftLamps)
            got.push_back(call.second);
        EXPECT_EQ(got, lamps) << gauge << " %";
    }

    // A new track starts the sequence again.
    m.Rig.Painter->ResetDisplay();
    m.Rig.Frame.Gauge1Position = 0;
    m.Panel.Frame = 0;
    m.Panel.ShiftLamps.clear();
    m.frames(6);
    EXPECT_EQ(m.Panel.ShiftLamps, (std::vector<std::pair<int, int>>{{5, 0}}));
}

TEST(Mode30, NeedlesOdometerDotAndSegmentBarFollowTheEngine)
{
    struct Case {
        int Left, Right, Balance;
        std::uint32_t Ms;
        std::string Lcd;
        gfx::TColor Dot;
    };
    const Case cases[] = {
        {30, 30, 50, 12340, "1234", 0x0000FFFF},   // equal bars; the dot keeps its colour
        {30, 40, 40, 12300, "1230", 0x00FF0000},   // right 10 above; the dot turns blue
        {120, 100, 50, 12400, "1240", 0x0000FFFF},  // read back after clamping; back to yellow
    };
    MeterRig m;
    for (const Case& c : cases) {
        m.Panel.Left = c.Left;
        m.Panel.Right = c.Right;
        m.Panel.Position = c.Ms;
        m.Panel.Widths.clear();
        m.frames(1);
        EXPECT_EQ(m.Panel.Meters[TMeterPanel::mtrBalanse], c.Balance) << c.Left << "/" << c.Right;
        EXPECT_EQ(m.Panel.Lcd, c.Lcd);
        EXPECT_EQ(m.Panel.Dot, c.Dot) << c.Ms;
        EXPECT_EQ(m.Panel.Widths, (std::vector<int>{95, 96}));
        EXPECT_EQ(m.Panel.Process, visual::apRandom);
    }
}

TEST(Mode30, TheRightPaneDrawsAndWritesNothing)
{
    MeterRig m;
    m.frames(3);
    const int calls = m.Panel.Calls;
    const std::vector<std::string> right = m.Rig.paint(1);
    EXPECT_EQ(m.Panel.Calls, calls);

    const std::vector<std::string> left = m.Rig.paint(0);
    for (const char* call : {"MoveTo", "LineTo", "Ellipse", "Polygon", "SetPixel"}) {
        EXPECT_TRUE(callsOf(right, call).empty()) << call;
        EXPECT_FALSE(callsOf(left, call).empty()) << call;
    }
}

// Lamp m starts on row m, even lamps in column 0 and odd ones in column Q; each comes back to
// row 0 in the other column and keeps it. A wide pane keeps Q within the history.
TEST(Mode30, RoadSideLampsRunTowardsTheViewerAndSwapSides)
{
    for (int width : {250, 2400}) {
        MeterRig m(width);
        const int q = std::min(width / 2 / 4, 250);
        auto& rows = FFTState().BandHeights;
        auto& columns = FFTState().BandPeaks;
        m.frames(1);
        for (int lamp = 0; lamp < 9; ++lamp) {
            EXPECT_EQ(rows[lamp], lamp + 1);
            EXPECT_EQ(columns[lamp], lamp % 2 ? q : 0) << width << " lamp " << lamp;
        }
        m.frames(9);
        for (int lamp = 0; lamp < 10; ++lamp) {
            EXPECT_EQ(rows[lamp], lamp);
            EXPECT_EQ(columns[lamp], lamp % 2 ? 0 : q) << width << " lamp " << lamp;
        }
    }
    // Markers another mode left out of range are kept within the road.
    MeterRig m;
    m.frames(1);
    FFTState().BandHeights[4] = 500;
    FFTState().BandPeaks[4] = -7;
    m.frames(1);
    EXPECT_EQ(FFTState().BandHeights[4], 0);
    EXPECT_EQ(FFTState().BandPeaks[4], 31);
}
