// The overlay captions, the title cross-fade's length in both display modes and the
// falling-particle frame.
#include <gtest/gtest.h>

#include "VisualTestUtil.h"

namespace {

std::vector<std::string> texts(const std::vector<std::string>& log)
{
    return callsOf(log, "TextOut");
}

class NullSurface : public TVisualSurface {
public:
    bool CanDraw() override { return true; }
    void Clear() override {}
    void Release() override {}
    void Flip() override {}
};

}  // namespace

TEST(OverlayText, RightPaneShowsTheTimeInYellowOrElseTheClockInRed)
{
    PainterRig rig(0);
    rig.Frame.Labels.Duration = {"01:23", 150, 40};
    rig.Painter->PaintOverlayText(*rig.Canvas, 1, rig.Frame);
    auto t = texts(rig.Canvas->Log());
    ASSERT_EQ(t.size(), 2u);
    EXPECT_NE(t[0].find("(1,1,\"R\")"), std::string::npos) << t[0];
    EXPECT_NE(t[1].find("(199,49,\"12:00\")"), std::string::npos) << t[1];
    EXPECT_NE(t[1].find("#FF0000"), std::string::npos) << t[1];

    rig.Canvas->ClearLog();
    rig.Frame.Labels.DurationTag = 1;
    rig.Painter->PaintOverlayText(*rig.Canvas, 1, rig.Frame);
    t = texts(rig.Canvas->Log());
    EXPECT_NE(t[1].find("(149,39,\"01:23\")"), std::string::npos) << t[1];
    EXPECT_NE(t[1].find("#FFFF00"), std::string::npos) << t[1];
}

TEST(OverlayText, TitleFadesInOverEightFramesInEitherDisplayMode)
{
    for (bool directX : {false, true}) {
        PainterRig rig(0);
        NullSurface surface;
        if (directX)
            rig.Frame.Surface = &surface;
        int slowDowns = 0;
        rig.Frame.PlayStatus = "stop";
        rig.Frame.SlowDownTimer = [&] { ++slowDowns; };
        rig.Frame.Labels.Music.Text = "新しい曲";
        int calls = 0;
        while (rig.Painter->State.StoredTitle != "新しい曲" && calls < 100) {
            rig.Canvas->ClearLog();
            rig.Painter->PaintOverlayText(*rig.Canvas, 0, rig.Frame);
            ++calls;
            if (rig.Painter->State.StoredTitle.empty()) {
                const auto images = callsOf(rig.Canvas->Log(), "DrawImage");
                ASSERT_EQ(images.size(), 1u);
                EXPECT_EQ(images[0].rfind("DrawImage(250x", 0), 0u);
            }
        }
        // The paint-box path overlays twice per frame, the DirectX path once.
        EXPECT_EQ(calls, directX ? 8 : 16);
        EXPECT_EQ(slowDowns, 1);
        EXPECT_EQ(rig.Painter->State.Fade, 0);

        rig.Canvas->ClearLog();  // settled: the title is drawn as text, right-aligned
        rig.Painter->PaintOverlayText(*rig.Canvas, 0, rig.Frame);
        const auto t = texts(rig.Canvas->Log());
        ASSERT_EQ(t.size(), 2u);
        const int x = 250 - rig.Canvas->TextWidth("新しい曲") - 5;
        EXPECT_EQ(argsOf(t[1])[0], x);
    }
}

TEST(OverlayText, ALongTitleStartsAtThirty)
{
    PainterRig rig(0);
    rig.Frame.Labels.Music.Text = std::string(80, 'W');
    rig.Painter->State.StoredTitle = rig.Frame.Labels.Music.Text;
    rig.Painter->PaintOverlayText(*rig.Canvas, 0, rig.Frame);
    const auto t = texts(rig.Canvas->Log());
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(argsOf(t[1]), (std::vector<int>{30, 2}));
}

TEST(Particles, FallOnlyWhilePlayingAndSetUpOnce)
{
    PainterRig rig(0);
    rig.Frame.PlayStatus = "stop";
    rig.Painter->PaintParticles(rig.Frame, 1);
    EXPECT_TRUE(callsOf(rig.Canvas->Log(), "SetPixel").empty());
    EXPECT_EQ(texts(rig.Canvas->Log()).size(), 2u);
    EXPECT_EQ(rig.Painter->State.ParticleSetup, 1);

    rig.Frame.PlayStatus = "play";
    rtl::RandSeed = 99;
    int drawn = 0;
    for (int frame = 0; frame < 80; ++frame) {
        rig.Canvas->ClearLog();
        rig.Painter->PaintParticles(rig.Frame, 0);
        const auto& log = rig.Canvas->Log();
        drawn += int(callsOf(log, "SetPixel").size() + callsOf(log, "Ellipse").size());
        for (const auto& e : callsOf(log, "Ellipse")) {
            const auto v = argsOf(e);
            EXPECT_TRUE(v[2] - v[0] == 2 || v[2] - v[0] == 3) << e;
        }
        EXPECT_EQ(callsOf(log, "FillRect").size(), 1u);
    }
    EXPECT_EQ(rig.Painter->State.ParticleSetup, 0);
    EXPECT_GT(drawn, 80 * 20) << "particles rain through the pane";
    for (int i = 0; i <= 100; ++i)
        EXPECT_LE(rig.Painter->State.Points[i].Y, 68 - 8 + 1);
}
