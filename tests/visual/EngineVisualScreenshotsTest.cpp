// Both panes as the engine paints them while a song plays (strummed chords on the left, the
// chords with kick, snare and hi-hat on the right, made with sox), written under the build
// folder (screenshots/visual/engine-*.png) for a person to look at. The test checks that each
// pane carries a fair amount of colour.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QPainter>

#include "VisualTestUtil.h"
#include "platform/gfx/Canvas.h"
#include "platform/rtl/Numerics.h"
#include "sound/EngineRig.h"
#include "visual/EngineVisual.h"

using namespace testsupport;

namespace {

constexpr int kWidth = 250;
constexpr int kHeight = 68;

class ImagePanes : public TVisualPanes {
public:
    QImage image[2] = {QImage(kWidth, kHeight, QImage::Format_RGB32),
                       QImage(kWidth, kHeight, QImage::Format_RGB32)};
    gfx::TCanvas canvas[2] = {gfx::TCanvas(&image[0]), gfx::TCanvas(&image[1])};
    TOverlayLabels labels;

    gfx::TCanvas* PaintBoxCanvas(int Channel) override { return &canvas[Channel]; }
    void SetPaneTag(int, intptr_t) override {}
    void ReadOverlayLabels(TOverlayLabels& Labels) const override { Labels = labels; }
    bool TimDxTimerEnabled() const override { return true; }
    int Gauge1Position() const override { return 0; }
    void SetTimDxTimerInterval(int) override {}
};

// Four seconds of 16-bit stereo at 44.1 kHz, or "" without sox.
std::string makeSong(const TempDir& dir)
{
    if (!haveProgram("sox"))
        return {};
    const auto f = [&](const char* n) { return dir.file(n); };
    const std::vector<std::vector<std::string>> steps = {
        {"-n", "-r", "44100", "-b", "16", "-c", "1", f("chords.wav"), "synth", "0.5", "pluck", "C3", "pluck",
         "E3", "pluck", "G3", "pluck", "C4", "remix", "-", "vol", "0.7", "repeat", "7"},
        {"-n", "-r", "44100", "-b", "16", "-c", "1", f("kick.wav"), "synth", "0.25", "sine", "150-40", "fade",
         "q", "0", "0.25", "0.2", "pad", "0", "0.25", "repeat", "7"},
        {"-n", "-r", "44100", "-b", "16", "-c", "1", f("snare.wav"), "synth", "0.12", "whitenoise", "fade",
         "q", "0", "0.12", "0.1", "vol", "0.4", "pad", "0.25", "0.13", "repeat", "7"},
        {"-n", "-r", "44100", "-b", "16", "-c", "1", f("hat.wav"), "synth", "0.03", "whitenoise", "highpass",
         "6000", "fade", "q", "0", "0.03", "0.02", "vol", "0.3", "pad", "0.125", "0.095", "repeat", "15"},
        {"-m", f("chords.wav"), f("kick.wav"), f("snare.wav"), f("hat.wav"), f("band.wav")},
        {"-M", f("chords.wav"), f("band.wav"), f("song.wav")},
    };
    for (const auto& args : steps)
        if (runCommand("sox", args, "").exitCode != 0)
            return {};
    return f("song.wav");
}

}  // namespace

TEST(EngineVisualScreenshots, PanesWhileASongPlays)
{
    TempDir dir;
    const std::string song = makeSong(dir);
    if (song.empty())
        GTEST_SKIP() << "sox is not available";
    const QString outDir = QCoreApplication::applicationDirPath() + "/../screenshots/visual/";
    QDir().mkpath(outDir);

    for (int mode : {0, 19, 21}) {
        rtl::RandSeed = 2026;
        ImagePanes panes;
        panes.labels.Left = {"L", 4, 4};
        panes.labels.Right = {"R", 4, 4};
        panes.labels.Music = {"踊るタンブレル - Tambourelle", 0, 4};
        panes.labels.Duration = {"", 150, 54};
        panes.labels.DurationTag = 1;
        EngineRig rig;
        rig.engine.SetGraphWidth(kWidth);
        rig.engine.SetGraphHeight(kHeight);
        rig.engine.SetVisual(std::make_unique<TEngineVisual>(rig.engine, panes));
        rig.engine.SetEffect(mode);
        rig.engine.PlayFile(song);
        rig.engine.Play();
        for (int tick = 0; tick < 24; ++tick) {
            rig.run(63);
            rig.engine.UpdatePlayPosition();
            panes.labels.Duration.Text = rig.display.value("lblDuration.Caption");
            for (auto& image : panes.image)
                image.fill(Qt::black);
            rig.engine.Visual().PaintLeft();
            rig.engine.Visual().PaintRight();
        }
        QImage shot(2 * kWidth + 4, kHeight, QImage::Format_RGB32);
        shot.fill(Qt::darkGray);
        QPainter p(&shot);
        for (int ch = 0; ch < 2; ++ch) {
            EXPECT_GT(colouredPixels(panes.image[ch]), 150) << "mode " << mode << " pane " << ch;
            p.drawImage(ch * (kWidth + 4), 0, panes.image[ch]);
        }
        p.end();
        EXPECT_TRUE(shot.save(outDir + QStringLiteral("engine-mode%1.png").arg(mode, 2, 10, QLatin1Char('0'))));
        rig.engine.Stop();
    }
}
