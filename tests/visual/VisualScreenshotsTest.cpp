// A strip of every built mode painted from the analysis of a music-like signal (plucked
// chords on the left, chords with kick and snare on the right, made with sox), written under
// the build folder (screenshots/visual/) for a person to look at. The test itself checks that
// every mode puts a fair amount of colour on both panes.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QPainter>

#include <cmath>
#include <cstring>
#include <iterator>
#include <memory>

#include "SurfaceRig.h"
#include "VisualTestUtil.h"
#include "support/TestSupport.h"

using namespace testsupport;

namespace {

constexpr int kRate = 44100;
constexpr int kWidth = 250;
constexpr int kHeight = 68;

// Four seconds of 16-bit stereo PCM, or empty when sox is missing.
std::vector<std::int16_t> makeSong(const TempDir& dir)
{
    if (!haveProgram("sox"))
        return {};
    const auto wav = [&](const char* n) { return dir.file(n); };
    const std::vector<std::vector<std::string>> steps = {
        {"-n", "-r", "44100", "-b", "16", "-c", "1", wav("chord.wav"), "synth", "1", "pluck", "C3",
         "pluck", "E3", "pluck", "G3", "pluck", "C4", "remix", "-", "repeat", "3"},
        {"-n", "-r", "44100", "-b", "16", "-c", "1", wav("kick.wav"), "synth", "0.25", "sine",
         "150-40", "fade", "q", "0", "0.25", "0.2", "pad", "0", "0.25", "repeat", "7"},
        {"-n", "-r", "44100", "-b", "16", "-c", "1", wav("snare.wav"), "synth", "0.12",
         "whitenoise", "fade", "q", "0", "0.12", "0.1", "vol", "0.4", "pad", "0.25", "0.13",
         "repeat", "7"},
        {"-m", wav("chord.wav"), wav("kick.wav"), wav("snare.wav"), wav("band.wav")},
        {"-M", wav("chord.wav"), wav("band.wav"), "-t", "raw", "-e", "signed", "-b", "16",
         wav("song.raw")},
    };
    for (const auto& args : steps) {
        if (runCommand("sox", args, "").exitCode != 0)
            return {};
    }
    const std::string bytes = readFile(wav("song.raw"));
    std::vector<std::int16_t> pcm(bytes.size() / 2);
    std::memcpy(pcm.data(), bytes.data(), pcm.size() * 2);
    return pcm;
}

// The level analysis of the 50 ms that follow frame `start`: one column per pixel, entry 0
// of a frame its last (right) sample, bytes offset so that silence is 128.
TestAnalysis analyse(const std::vector<std::int16_t>& pcm, std::size_t start)
{
    TestAnalysis a(kWidth);
    const int perColumn = std::max(kRate * 50 / 1000 / kWidth, 1);
    const std::size_t frames = pcm.size() / 2;
    for (int entry = 0; entry < 2; ++entry) {
        int overallMax = 0, overallMin = 255;
        for (int c = 0; c < kWidth; ++c) {
            int mx = 0, mn = 255;
            for (int f = 0; f < perColumn; ++f) {
                const std::size_t frame = (start + std::size_t(c) * perColumn + f) % frames;
                const std::int16_t s = pcm[2 * frame + (1 - entry)];
                const int v = ((s >> 8) + 128) & 0xFF;
                mx = std::max(mx, v);
                mn = std::min(mn, v);
            }
            a.set(c, entry, mn, mx);
            overallMax = std::max(overallMax, mx);
            overallMin = std::min(overallMin, mn);
        }
        const int up = std::abs(overallMax - 128), down = std::abs(overallMin - 128);
        a.Levels[entry] = std::sqrt(std::max(up, down) / 128.0);
    }
    return a;
}

}  // namespace

TEST(VisualScreenshots, EveryModeOnARealSongsAnalysis)
{
    TempDir dir;
    const std::vector<std::int16_t> pcm = makeSong(dir);
    if (pcm.empty())
        GTEST_SKIP() << "sox is not available";

    const QString outDir = QCoreApplication::applicationDirPath() + "/../screenshots/visual/";
    QDir().mkpath(outDir);
    constexpr int modes[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15,
                             16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29};
    // Modes that draw pictures or stars there are painted on a pane's surface at 32 bits.
    const auto onSurface = [](int mode) { return mode == 5 || mode == 14 || mode == 22 || mode == 23; };
    constexpr int modeCount = int(std::size(modes));
    const int moments[] = {16, 33, 50};  // display ticks shown in each strip
    const int gap = 4;
    QImage overview(2 * kWidth + gap, modeCount * (kHeight + gap), QImage::Format_RGB32);
    overview.fill(Qt::darkGray);

    for (int m = 0; m < modeCount; ++m) {
        std::unique_ptr<SurfaceRig> surface;
        if (onSurface(modes[m]))
            surface = std::make_unique<SurfaceRig>(32);
        TVisualResources res;
        res.CreateVisualResources();
        TVisualPainter painter(res);
        painter.SetFreshStart(true);
        rtl::RandSeed = 2026;
        QImage panes[2] = {QImage(kWidth, kHeight, QImage::Format_RGB32),
                           QImage(kWidth, kHeight, QImage::Format_RGB32)};
        gfx::TCanvas canvases[2] = {gfx::TCanvas(&panes[0]), gfx::TCanvas(&panes[1])};
        QImage strip(2 * kWidth + gap, 3 * (kHeight + gap), QImage::Format_RGB32);
        strip.fill(Qt::darkGray);
        QPainter stripPainter(&strip);

        TVisualFrame frame;
        if (surface)
            surface->bind(frame);
        frame.Effect = modes[m];
        frame.PlayStatus = "play";
        frame.Labels.Left = {"L", 4, 4};
        frame.Labels.Right = {"R", 4, 4};
        frame.Labels.Music = {"踊るタンブレル - Tambourelle", 0, 4};
        frame.Labels.Duration = {"00:01:23", 196, 54};
        frame.Labels.DurationTag = 1;
        frame.Gauge1Position = modes[m] == 24 ? 95 : 40;  // past 90 %: the lucky fortune shows
        frame.Today = "20240305";
        for (int tick = 0, shot = 0; tick <= moments[2]; ++tick) {
            const TestAnalysis a = analyse(pcm, std::size_t(tick) * kRate * 63 / 1000);
            const TAnalysisView view = a.view();
            frame.Analysis = &view;
            for (int ch = 0; ch < 2; ++ch) {
                if (surface) {  // one surface stands in for both panes, copied after each
                    painter.PaintVisual(ch, true, frame);
                    panes[ch] = surface->image();
                    continue;
                }
                panes[ch].fill(Qt::black);  // the paint box's black panel
                frame.Canvas = &canvases[ch];
                painter.PaintVisual(ch, true, frame);
            }
            if (tick != moments[shot])
                continue;
            for (int ch = 0; ch < 2; ++ch) {
                EXPECT_GT(colouredPixels(panes[ch]), 150) << "mode " << modes[m] << " tick " << tick;
                stripPainter.drawImage(ch * (kWidth + gap), shot * (kHeight + gap), panes[ch]);
            }
            if (shot == 1) {
                QPainter p(&overview);
                for (int ch = 0; ch < 2; ++ch)
                    p.drawImage(ch * (kWidth + gap), m * (kHeight + gap), panes[ch]);
            }
            ++shot;
        }
        stripPainter.end();
        EXPECT_TRUE(strip.save(outDir + QStringLiteral("mode%1.png").arg(modes[m], 2, 10, QLatin1Char('0'))));
    }
    EXPECT_TRUE(overview.save(outDir + "all-modes.png"));
}

// Frame 20 of each mode (seed 1, the sweep, 250 x 68, channels taking turns) against a
// picture a person has looked at: catches any later change in the canvas or the draw order.
// A missing picture is written under the build folder for a person to look at and keep.
TEST(VisualScreenshots, TwentiethFrameOfEachModeMatchesItsKeptPicture)
{
    const QString kept = QString::fromStdString(dataDir() + "/visual/");
    const QString outDir = QCoreApplication::applicationDirPath() + "/../screenshots/golden/";
    QDir().mkpath(outDir);
    const TestAnalysis a = TestAnalysis::sweep(kWidth);
    const TAnalysisView view = a.view();
    for (int mode : {6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 24, 25, 26, 27, 28, 29}) {
        TVisualResources res;
        res.CreateVisualResources();
        TVisualPainter painter(res);
        painter.SetFreshStart(true);
        FFTState().PeakHoldCounters.fill(0);
        rtl::RandSeed = 1;
        QImage pane(kWidth, kHeight, QImage::Format_RGB32);
        gfx::TCanvas canvas(&pane);
        TVisualFrame frame;
        frame.Effect = mode;
        frame.PlayStatus = "play";
        frame.Analysis = &view;
        frame.Canvas = &canvas;
        frame.Gauge1Position = mode == 24 ? 95 : 40;
        frame.Today = "20240109";  // black on a white box
        for (int call = 0; call < 20; ++call) {
            pane.fill(Qt::black);
            painter.PaintVisual(call % 2, true, frame);
        }
        const QString name = QStringLiteral("frame20-mode%1.png").arg(mode, 2, 10, QLatin1Char('0'));
        QImage expected(kept + name);
        if (expected.isNull()) {
            pane.save(outDir + name);
            ADD_FAILURE() << "no kept picture for mode " << mode << "; written to "
                          << (outDir + name).toStdString();
            continue;
        }
        EXPECT_TRUE(pane == expected.convertToFormat(QImage::Format_RGB32)) << "mode " << mode;
    }
}
