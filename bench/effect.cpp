// The effect overlay at the size of pbxEffect in the default main window (1023 x 736 client:
// 1023 x 337 pixels), with a tagged song (lyrics, photo) playing and album art in its folder:
// one frame on the text page, one frame in the album phase, one particle step with every
// particle slot busy, and the anchor: a 15-bit TScreen64 of that size cleared and flipped.
// Goal: a frame under 8 ms, half the 17 ms interval at 1000 pixels. Run with
// --benchmark_repetitions=5 and read the median and the spread (min/max).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>

#include "app/Globals.h"
#include "app/MainForm.h"
#include "bench/BenchSupport.h"
#include "platform/rtl/Numerics.h"
#include "platform/sound/MemorySoundDevice.h"
#include "tags/libID3Tag.h"
#include "util/libIni.h"
#include "visual/forms/EffectForm.h"

namespace {

struct Scene {
    QTemporaryDir dir;
    snd::ManualClock clock;
    std::shared_ptr<snd::MemorySoundDevice> device = snd::MemorySoundDevice::create(clock);
    sound::TcbDSMixer mixer{[this](const std::string&) { return device; }};
    std::unique_ptr<TfrmMain> main;
    std::unique_ptr<visual::TfrmEffect> effect;

    Scene()
    {
        const std::string folder = dir.path().toStdString();
        IniBase = folder + "/Tambourelle";
        for (auto [name, size] : {std::pair{"AlbumArt1.jpg", "300x300"}, {"AlbumArt2.jpg", "260x260"},
                                  {"photo.jpg", "240x320"}})
            if (!benchsupport::run("convert", {"-size", size, "plasma:", QString::fromStdString(folder + "/" + name)}))
                throw std::runtime_error("ImageMagick is needed");
        const std::string song = folder + "/song.mp3";
        benchsupport::makeMp3(QString::fromStdString(song), QString::fromStdString(folder + "/song.wav"), 44100,
                              2, {"synth", "5", "sine", "440"}, 128);
        ClearTag();
        CurrentTag.Title = "踊るタンブレル";
        CurrentTag.Artist = "Tambourelle Band";
        CurrentTag.PhotoName = "photo.jpg";
        for (int i = 0; i < 40; ++i)
            CurrentTag.Lyrics += "A line of the song number " + std::to_string(i) + "\n";
        if (!WriteTag(song))
            throw std::runtime_error("cannot tag the song");
        Mp3Path = folder;
        main = std::make_unique<TfrmMain>(&mixer, nullptr, &clock);
        main->show();
        QApplication::processEvents();
        main->Engine()->PlayFile(song);
        effect = std::make_unique<visual::TfrmEffect>(*main, *main->Engine());
        effect->Restart(false);
    }
    ~Scene()
    {
        effect.reset();
        main->close();
    }
};

Scene& scene()
{
    static Scene s;
    return s;
}

void BM_FrameText(benchmark::State& state)
{
    visual::TfrmEffect& e = *scene().effect;
    e.Restart(false);
    for (int i = 0; i < 150; ++i)  // the information lines on screen
        e.DrawFrame();
    for (auto _ : state)
        e.DrawFrame();
}

void BM_FrameAlbum(benchmark::State& state)
{
    visual::TfrmEffect& e = *scene().effect;
    e.Restart(false);
    e.Show();
    while (!e.AlbumPhase())
        e.Timer1Timer();
    e.Close();
    for (int i = 0; i < 60; ++i)
        e.DrawFrame();
    for (auto _ : state)
        e.DrawFrame();
}

void BM_ParticleStep(benchmark::State& state)
{
    visual::TfrmEffect& e = *scene().effect;
    for (auto _ : state) {
        state.PauseTiming();
        while (e.ParticlesInUse() < 199)
            e.Explode(-1, -1);
        state.ResumeTiming();
        e.StepParticles();
    }
}

void BM_AnchorClearFlip(benchmark::State& state)
{
    TfrmMain& m = *scene().main;
    bitmap64::TScreen64 screen(m.EffectCanvas(), m.EffectWidth(), m.EffectHeight(), 15);
    for (auto _ : state) {
        screen.Clear(screen.MakeColor(0, 0, 40));
        screen.Flip();
    }
}

}  // namespace

BENCHMARK(BM_AnchorClearFlip)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", benchsupport::smallest)->ComputeStatistics("max", benchsupport::largest);
BENCHMARK(BM_FrameText)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", benchsupport::smallest)->ComputeStatistics("max", benchsupport::largest);
BENCHMARK(BM_FrameAlbum)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", benchsupport::smallest)->ComputeStatistics("max", benchsupport::largest);
BENCHMARK(BM_ParticleStep)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", benchsupport::smallest)->ComputeStatistics("max", benchsupport::largest);

int main(int argc, char** argv) { return benchsupport::runOffscreen<QApplication>(argc, argv); }
