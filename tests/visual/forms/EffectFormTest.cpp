// The effect overlay on the engine's memory sound device: album art, the pages, sizes, timers
// and phases, driven by calling the timer handlers; and grabs of its pages under the build
// folder (screenshots/visual/effect-*.png) for a person to look at.
#include "visual/forms/EffectForm.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>

#include "visual/VisualTestUtil.h"
#include "visual/forms/EffectFolder.h"
#include "sound/EngineRig.h"
#include "tags/libID3Tag.h"
#include "util/libText.h"

using namespace testsupport;

namespace {

class Host : public visual::TEffectHost {
public:
    Host(int w, int h) : image(std::max(w, 1), std::max(h, 1), QImage::Format_RGB32), w_(w), h_(h)
    {
        image.fill(Qt::black);
    }
    QImage image;
    gfx::TCanvas canvas{&image};
    std::string folder;
    int gauge = 50;

    gfx::TCanvas* EffectCanvas() override { return &canvas; }
    int EffectWidth() const override { return w_; }
    int EffectHeight() const override { return h_; }
    QPoint Mp3PanelOrigin() const override { return {}; }
    int Gauge1Position() const override { return gauge; }
    int LevelBarPosition(int Channel) const override { return Channel == 0 ? 40 : 60; }
    intptr_t PaneLevel(int Channel) const override { return Channel == 0 ? 12 : -8; }
    std::string Mp3Path() const override { return folder; }

private:
    int w_, h_;
};

// The overlay shown on a host of w x h pixels while the song plays.
struct Playing {
    EffectFolder f;
    Host host;
    EngineRig rig;
    std::unique_ptr<visual::TfrmEffect> effect;
    Playing(int w, int h) : host(w, h)
    {
        host.folder = f.dir.path();
        rig.display.mp3Path = host.folder;
        rig.engine.PlayFile(f.song);
        effect = std::make_unique<visual::TfrmEffect>(host, rig.engine);
        effect->Show();
    }
};

}  // namespace

TEST(EffectForm, PicturesPagesAndSizes)
{
    EffectFolder f;
    Host host(640, 200);
    host.folder = f.dir.path();
    EngineRig rig;
    rig.display.mp3Path = host.folder;
    visual::TfrmEffect effect(host, rig.engine);

    // Only AlbumArt1 is laid out: AlbumArt2 is too narrow, cover.jpg has another name.
    EXPECT_EQ(effect.AlbumArt().size(), 4u);
    EXPECT_EQ(effect.AlbumContentHeight(), 10 + 300);
    bitmap64::TScreen64& sheet = *effect.AlbumSheet();
    EXPECT_NE(sheet.GetPixel(20, 20), sheet.TransparentColor);
    EXPECT_EQ(sheet.GetPixel(330, 20), sheet.TransparentColor);

    // No file: the credits alone.
    EXPECT_EQ(effect.CreditLines().size(), 12u);
    EXPECT_TRUE(effect.InfoLines().empty());
    EXPECT_EQ(effect.CreditLines()[0].Size, 24);

    rig.engine.PlayFile(f.song);
    CurrentTag.Title = "being edited";
    effect.DrawFrame();
    EXPECT_EQ(CurrentTag.Title, "being edited");  // the frame's re-read left the record alone
    ASSERT_EQ(effect.InfoLines().size(), 26u);
    EXPECT_EQ(effect.InfoLines()[2].Text, "FileName : song.mp3");
    EXPECT_EQ(effect.InfoLines()[7].Text, "Title    : 踊るタンブレル");
    EXPECT_EQ(effect.InfoLines()[23].Text.rfind("Sample Rate   : ", 0), 0u);
    EXPECT_GT(effect.PhotoWidth(), 0);
    rig.engine.PlayFile(f.other);
    effect.DrawFrame();
    EXPECT_EQ(effect.InfoLines()[2].Text, "FileName : other.mp3");
    EXPECT_EQ(effect.PhotoWidth(), 0);
    ClearTag();

    Host half(320, 120), wide(1005, 300), none(0, 0);
    visual::TfrmEffect small(half, rig.engine), big(wide, rig.engine), empty(none, rig.engine);
    EXPECT_EQ(small.CreditLines()[0].Size, 12);
    EXPECT_EQ(small.CreditLines()[0].Indent, 15);
    EXPECT_EQ(small.InfoLines()[0].Size, 7);
    big.Restart(true);
    EXPECT_EQ(big.Timer1.Interval(), 16);
    EXPECT_TRUE(big.Timer1.Enabled());
    empty.Restart(true);
    EXPECT_FALSE(empty.Timer1.Enabled());
    EXPECT_FALSE(empty.Timer2.Enabled());
    empty.Timer1Timer();  // nothing to draw on, nothing breaks
}

// A VBR stream without a VBR header: the page shows its frames counted, as ffprobe counts
// them, not the guess from its first frames (2 s for this one).
TEST(EffectForm, TheInfoPageCountsTheFramesOfAVbrStreamWithoutHeader)
{
    TempDir dir;
    const std::string mp3 = makeVbrWithoutHeader(dir, "vbr.mp3", 3.06);
    const long frames = countedFrames(mp3);
    Host host(640, 200);
    EngineRig rig;
    rig.engine.PlayFile(mp3);
    visual::TfrmEffect effect(host, rig.engine);
    effect.DrawFrame();
    ASSERT_EQ(effect.InfoLines().size(), 26u);
    EXPECT_EQ(effect.InfoLines()[20].Text, "Frame Count   : " + FormatFloatGrouped(frames, 0));
    EXPECT_EQ(effect.InfoLines()[21].Text, "Frame Samples : " + FormatFloatGrouped(frames * 1152.0, 0));
    const std::string seconds = std::to_string(long(frames * 1152 / 44100));
    EXPECT_EQ(effect.InfoLines()[22].Text, "Duration      : 0:00:0" + seconds + " (" + seconds + " sec)");
}

TEST(EffectForm, PhasesAndClosing)
{
    Playing scene(400, 150);
    visual::TfrmEffect& effect = *scene.effect;
    Host& host = scene.host;
    ASSERT_TRUE(effect.Timer1.Enabled());
    EXPECT_TRUE(effect.TextPhase());
    int frames = 0;
    while (effect.TextPhase() && frames < 5000)
        effect.Timer1Timer(), ++frames;
    EXPECT_TRUE(effect.AlbumPhase()) << frames;
    while (effect.AlbumPhase() && frames < 10000)
        effect.Timer1Timer(), ++frames;
    EXPECT_TRUE(effect.Timer3.Enabled());
    EXPECT_FALSE(effect.TextPhase());
    effect.Timer3Timer();
    EXPECT_TRUE(effect.TextPhase());
    EXPECT_EQ(effect.TextScroll(), 0);

    host.gauge = 15;
    effect.Timer1Timer();
    EXPECT_TRUE(effect.GreyMode());
    host.gauge = 100;
    effect.Timer1Timer();
    EXPECT_FALSE(effect.GreyMode());

    effect.Close();
    EXPECT_FALSE(effect.Timer1.Enabled());
    host.image.fill(Qt::red);
    effect.Timer1.SetEnabled(true);  // a tick queued before the close
    effect.Timer1Timer();
    effect.Timer2.SetEnabled(true);
    effect.Timer2Timer();
    EXPECT_EQ(QColor(host.image.pixel(10, 10)), QColor(Qt::red));
}

TEST(EffectForm, PagesAsAPersonSeesThem)
{
    Playing scene(640, 200);
    visual::TfrmEffect& effect = *scene.effect;
    Host& host = scene.host;
    const QString outDir = QCoreApplication::applicationDirPath() + "/../screenshots/visual/";
    QDir().mkpath(outDir);
    auto run = [&](int frames) { runEffectFrames(effect, frames); };
    run(120);  // two seconds at 17 ms
    EXPECT_GT(colouredPixels(host.image), 2000);
    EXPECT_TRUE(host.image.save(outDir + "effect-text.png"));
    while (effect.TextScroll() < 1120)  // the lyrics beside the photo
        run(1);
    EXPECT_TRUE(host.image.save(outDir + "effect-lyrics.png"));
    while (!effect.AlbumPhase())
        run(1);
    run(150);
    EXPECT_TRUE(host.image.save(outDir + "effect-album.png"));
    host.gauge = 15;
    run(2);
    EXPECT_TRUE(host.image.save(outDir + "effect-grey.png"));
    effect.Close();
}
