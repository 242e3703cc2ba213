// The visualiser joined to the playback engine, as the main window's display timer drives
// them: the engine plays generated files on the memory sound device, and each display tick
// runs the engine's position tick and then paints both panes on recording canvases that the
// test erases black first, as the paint boxes' panels do.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "VisualTestUtil.h"
#include "sound/EngineRig.h"
#include "support/AudioFixtures.h"
#include "platform/draw/Draw.h"
#include "visual/DXClass.h"
#include "visual/EngineVisual.h"

using namespace testsupport;

namespace {

constexpr int kWidth = 250;
constexpr int kHeight = 68;
constexpr intptr_t kUnset = 999;

class RecordingPanes : public TVisualPanes {
public:
    std::unique_ptr<gfx::TRecordingCanvas> canvas[2] = {
        std::make_unique<gfx::TRecordingCanvas>(kWidth, kHeight),
        std::make_unique<gfx::TRecordingCanvas>(kWidth, kHeight)};
    intptr_t tags[2] = {kUnset, kUnset};
    int canvasRequests[2] = {0, 0};
    bool timerEnabled = true;
    bool directX = false;
    std::vector<int> intervals;
    TOverlayLabels labels;

    RecordingPanes()
    {
        labels.Left = {"L", 4, 4};
        labels.Right = {"R", 4, 4};
        labels.Music = {"踊るタンブレル - Tambourelle", 0, 4};
        labels.Duration = {"", 150, 54};
        labels.Clock = {"12:00", 200, 54};
    }

    gfx::TCanvas* PaintBoxCanvas(int Channel) override
    {
        ++canvasRequests[Channel];
        return canvas[Channel].get();
    }
    void SetPaneTag(int Channel, intptr_t Level) override { tags[Channel] = Level; }
    void ReadOverlayLabels(TOverlayLabels& Labels) const override { Labels = labels; }
    bool TimDxTimerEnabled() const override { return timerEnabled; }
    int Gauge1Position() const override { return 0; }
    void SetTimDxTimerInterval(int Ms) override { intervals.push_back(Ms); }
    bool DxdLeftVisible() const override { return directX; }
    // Surfaces the panes are drawn on in DirectX mode (none: surface frames are skipped).
    TVisualSurface* surfaces[2] = {};
    gfx::TCanvas* surfaceCanvas[2] = {};
    TVisualSurface* PaneSurface(int Channel) override { return surfaces[Channel]; }
    gfx::TCanvas* SurfaceCanvas(int Channel) override { return surfaceCanvas[Channel]; }
    // The main window's picture list and sprite engine, when a test gives them.
    visual::TDXImageList* list = nullptr;
    visual::TDXSpriteEngine* sprites = nullptr;
    visual::TDXImageList* ImageList() override { return list; }
    visual::TDXSpriteEngine* SpriteEngine() override { return sprites; }

    // The paint boxes' black panels, and fresh logs.
    void erase()
    {
        for (auto& c : canvas) {
            c->Surface()->fill(Qt::black);
            c->ClearLog();
        }
    }
    const std::vector<std::string>& log(int Channel) const { return canvas[Channel]->Log(); }
    const QImage& image(int Channel) { return *canvas[Channel]->Surface(); }
};

struct VisualRig {
    RecordingPanes panes;  // outlives the engine, as the main window does
    EngineRig rig;
    TEngineVisual* visual = nullptr;

    explicit VisualRig(visual::TDXImageList* list = nullptr,
                       visual::TDXSpriteEngine* sprites = nullptr)
    {
        panes.list = list;
        panes.sprites = sprites;
        rtl::RandSeed = 2026;
        rig.engine.SetGraphWidth(kWidth);
        rig.engine.SetGraphHeight(kHeight);
        auto v = std::make_unique<TEngineVisual>(rig.engine, panes);
        visual = v.get();
        rig.engine.SetVisual(std::move(v));
    }
    TPainterState& state() { return visual->Painter().State; }

    void open(const std::string& path, int effect)
    {
        rig.engine.SetEffect(effect);
        rig.engine.PlayFile(path);
        ASSERT_NE(rig.engine.Analysis(), nullptr);
    }
    // One display tick while playing.
    void tick()
    {
        rig.run(63);
        rig.engine.UpdatePlayPosition();
        panes.labels.Duration.Text = rig.display.value("lblDuration.Caption");
        panes.labels.DurationTag = rig.display.value("lblDuration.Tag") == "1" ? 1 : 0;
        panes.erase();
        visual->PaintLeft();
        visual->PaintRight();
    }
};

// 16-bit stereo WAV; each channel a python expression of the frame index i.
std::string stereoWav(const TempDir& dir, const std::string& name, const std::string& left,
                      const std::string& right)
{
    return makeWavWithPython(dir, name, 44100, 2, 16, 2.0,
                             "(" + left + ") if c == 0 else (" + right + ")");
}

bool anyModeDrawing(const std::vector<std::string>& log)
{
    for (const char* call : {"LineTo", "SetPixel", "Ellipse", "Polygon", "Polyline", "Rectangle"})
        if (!callsOf(log, call).empty())
            return true;
    return false;
}

int textOuts(const std::vector<std::string>& log, const std::string& text)
{
    int n = 0;
    for (const auto& line : callsOf(log, "TextOut"))
        n += line.find("\"" + text + "\"") != std::string::npos;
    return n;
}

// The y of each point of mode 0's waveform line (its MoveTo and LineTo calls).
std::vector<int> waveform(const std::vector<std::string>& log)
{
    std::vector<int> ys;
    for (const auto& line : log)
        if (line.rfind("MoveTo(", 0) == 0 || line.rfind("LineTo(", 0) == 0)
            ys.push_back(argsOf(line).at(1));
    return ys;
}

}  // namespace

TEST(EngineVisual, CreationAddsSixPicturesAndAFieldOfFiveHundredStars)
{
    visual::TDXImageList list;
    visual::TDXSpriteEngine sprites;
    visual::TPictureCollectionItem* own = list.Items().Add();  // not the engine's
    const QDir appDir(QCoreApplication::applicationDirPath());
    const QStringList filesBefore = appDir.entryList(QDir::Files);
    std::vector<std::array<int32_t, 3>> field;
    {
        VisualRig r(&list, &sprites);
        ASSERT_EQ(list.Items().Count(), 7);
        for (int i = 1; i <= 6; ++i) {
            const auto* item = list.Items().GetItem(i);
            EXPECT_EQ(item->Picture.Width(), i == 6 ? 93 : 32) << i;
            EXPECT_EQ(item->Picture.Height(), i == 6 ? 92 : 32) << i;
            EXPECT_NE(dynamic_cast<const visual::TDIB*>(item->Picture.Graphic()), nullptr);
        }
        EXPECT_EQ(sprites.Engine().Count(), TEngineVisual::StarCount);
        bool nearDepths = false, farDepths = false;
        for (const visual::TMySprite* star : r.visual->Stars()) {
            ASSERT_NE(star, nullptr);
            EXPECT_EQ(star->Image, list.Items().GetItem(1));
            EXPECT_EQ(star->Width, 32);
            EXPECT_TRUE(star->StarX >= -999 && star->StarX <= 999) << star->StarX;
            EXPECT_TRUE(star->StarY >= -499 && star->StarY <= 499) << star->StarY;
            EXPECT_TRUE(star->Depth >= 0 && star->Depth <= 99) << star->Depth;
            nearDepths |= star->Depth < 10;
            farDepths |= star->Depth > 90;
            field.push_back({star->StarX, star->StarY, star->Depth});
        }
        EXPECT_TRUE(nearDepths && farDepths);
        // Made again, the visualiser still holds six pictures of its own.
        r.visual->CreateVisualResources();
        EXPECT_EQ(list.Items().Count(), 7);
        EXPECT_EQ(sprites.Engine().Count(), TEngineVisual::StarCount);
    }
    // Freed with the engine: the stars and its six pictures go, the list's own item stays.
    EXPECT_EQ(list.Items().Count(), 1);
    EXPECT_EQ(list.Items().GetItem(0), own);
    EXPECT_EQ(sprites.Engine().Count(), 0);
    EXPECT_EQ(appDir.entryList(QDir::Files), filesBefore);
    // One seed, one field.
    VisualRig again(&list, &sprites);
    for (size_t i = 0; i < field.size(); ++i) {
        const visual::TMySprite* star = again.visual->Stars()[i];
        ASSERT_EQ(field[i], (std::array<int32_t, 3>{star->StarX, star->StarY, star->Depth})) << i;
    }
}

TEST(EngineVisual, WithoutAStereoAnalysisOnlyTheOverlayIsPaintedAndTagsStay)
{
    TempDir dir;
    VisualRig v;
    v.visual->PaintLeft();  // nothing open: no analysis at all
    EXPECT_EQ(textOuts(v.panes.log(0), "L"), 2);
    EXPECT_FALSE(anyModeDrawing(v.panes.log(0)));

    v.open(makeWavWithPython(dir, "mono.wav", 44100, 1, 16, 2.0, "int(20000 * ((i // 2) % 2) - 10000)"), 0);
    v.rig.engine.Play();
    for (int n = 0; n < 3; ++n)
        v.tick();
    for (int ch = 0; ch < 2; ++ch) {
        EXPECT_EQ(v.panes.tags[ch], kUnset);
        EXPECT_FALSE(anyModeDrawing(v.panes.log(ch))) << ch;
    }
    EXPECT_EQ(textOuts(v.panes.log(1), "R"), 2);

    // With the display timer off, a paint handler's call paints nothing at all.
    v.panes.timerEnabled = false;
    v.panes.erase();
    v.visual->PaintLeft();
    EXPECT_TRUE(v.panes.log(0).empty());
}

TEST(EngineVisual, PaneTagsTakeTheLevelOfEachChannel)
{
    TempDir dir;
    VisualRig v;
    // A square swinging down to -16384 on the left, silence on the right. The analysis puts
    // the last sample of a frame (right) in its entry 0, which is the left pane's.
    v.open(stereoWav(dir, "square.wav", "-16384 if (i // 2) % 2 else 16383", "0"), 0);
    v.rig.engine.Play();
    v.tick();
    EXPECT_EQ(v.panes.tags[0], 0);    // silence: minimum byte 128
    EXPECT_EQ(v.panes.tags[1], -16);  // high byte -64 + 128 = 64: 31 - (191 >> 2)

    // The particles of the effect overlay store the level too, and fall on the paint box
    // even while the panes are meant to be drawn on surfaces.
    v.panes.directX = true;
    v.panes.tags[1] = kUnset;
    v.panes.erase();
    v.visual->PaintRightParticles();
    EXPECT_EQ(v.panes.tags[1], -16);
    EXPECT_TRUE(anyModeDrawing(v.panes.log(1)));
    // No surfaces exist yet: a surface frame is skipped, the paint box left alone.
    v.panes.canvasRequests[0] = 0;
    v.visual->PaintLeft();
    EXPECT_EQ(v.panes.canvasRequests[0], 0);
    EXPECT_TRUE(v.panes.log(0).empty());
}

TEST(EngineVisual, ModeZeroDrawsTheWaveformOfThePlayingFile)
{
    TempDir dir;
    VisualRig v;
    // 20 Hz: one period spans the 50 ms that a pane shows.
    v.open(stereoWav(dir, "sine.wav", "0", "int(29000 * math.sin(2 * math.pi * 20 * i / 44100))"), 0);
    v.rig.engine.Play();
    for (int n = 0; n < 4; ++n)
        v.tick();

    const std::vector<int> wave = waveform(v.panes.log(0));
    ASSERT_EQ(wave.size(), std::size_t(kWidth));
    const auto [low, high] = std::minmax_element(wave.begin(), wave.end());
    EXPECT_GE(*high - *low, 40);  // most of the 4..67 swing of a loud sine
    for (std::size_t i = 1; i < wave.size(); ++i)
        EXPECT_LE(std::abs(wave[i] - wave[i - 1]), 3) << "a sine has no jumps, column " << i;

    const std::vector<int> flat = waveform(v.panes.log(1));
    ASSERT_EQ(flat.size(), std::size_t(kWidth));
    EXPECT_TRUE(std::all_of(flat.begin(), flat.end(), [](int y) { return y == (127 >> 2) + 4; }));
}

TEST(EngineVisual, StopPaintsOneStopFrameOnEachPane)
{
    TempDir dir;
    VisualRig v;
    v.open(makePcm(dir, "song.wav", 44100, 2, 16, 2.0), 0);
    v.rig.engine.Play();
    v.tick();
    EXPECT_TRUE(anyModeDrawing(v.panes.log(0)));

    v.panes.erase();
    v.panes.canvasRequests[0] = v.panes.canvasRequests[1] = 0;
    v.rig.engine.Stop();
    for (int ch = 0; ch < 2; ++ch) {
        EXPECT_EQ(v.panes.canvasRequests[ch], 1) << ch;
        EXPECT_FALSE(anyModeDrawing(v.panes.log(ch))) << ch;
    }
    // The overlay before and after the (skipped) mode: one frame.
    EXPECT_EQ(textOuts(v.panes.log(0), "L"), 2);
    EXPECT_EQ(textOuts(v.panes.log(1), "R"), 2);
}

TEST(EngineVisual, PlayingFromRestStartsTheModesAfreshButResumingDoesNot)
{
    TempDir dir;
    VisualRig v;
    v.open(makePcm(dir, "song.wav", 44100, 2, 16, 2.0), 0);
    auto& counters = v.state().Counters;
    counters[7] = 777;  // a mode that is not shown: only a fresh start touches it
    v.rig.engine.Play();
    EXPECT_EQ(v.state().FreshStart, 1);
    v.tick();
    EXPECT_EQ(counters[7], 0);
    EXPECT_EQ(v.state().FreshStart, 0);

    counters[7] = 777;
    v.rig.engine.Pause();
    v.rig.engine.Play();
    v.tick();
    EXPECT_EQ(counters[7], 777);

    v.rig.engine.Stop();
    v.rig.engine.Play();
    v.tick();
    EXPECT_EQ(counters[7], 0);
}

TEST(EngineVisual, SwitchingModesFollowsTheEnginesEffect)
{
    TempDir dir;
    VisualRig v;
    v.open(makePcm(dir, "song.wav", 44100, 2, 16, 2.0), 0);
    v.rig.engine.Play();
    v.tick();
    v.rig.engine.SetEffect(3);
    v.tick();
    // Back into mode 0: its particles are laid out again.
    v.state().Particles[0].Step = 7;
    v.rig.engine.SetEffect(0);
    v.tick();
    EXPECT_EQ(std::abs(v.state().Particles[0].Step), 1);
    EXPECT_EQ(v.state().PreviousMode, 0);
    // Back into mode 3: it carries on where it was.
    v.state().Counters[3] = 20;
    v.rig.engine.SetEffect(3);
    v.tick();
    EXPECT_EQ(v.state().Counters[3], 22);  // one step per pane
}

TEST(EngineVisual, ASurfacePaneShowsWhatThePaintBoxShows)
{
    TempDir dir;
    const std::string wav = stereoWav(dir, "two.wav", "int(20000 * math.sin(2 * math.pi * 220 * i / 44100))",
                                      "int(15000 * math.sin(2 * math.pi * 30 * i / 44100))");
    const int mode = 2;
    // The captions fade by the paint (twice a frame on paint boxes, once on surfaces), so
    // they are moved off the panes: what is compared is the mode's own drawing.
    auto offPane = [](RecordingPanes& panes) {
        for (TOverlayLabel* l : {&panes.labels.Left, &panes.labels.Right, &panes.labels.Music,
                                 &panes.labels.Duration, &panes.labels.Clock})
            l->Left = 1000;
        panes.labels.Music.Text.clear();  // the title scrolls across wherever it starts
    };
    QImage box[2];
    {
        VisualRig v;
        offPane(v.panes);
        v.open(wav, mode);
        v.rig.engine.Play();
        for (int n = 0; n < 4; ++n)
            v.tick();
        for (int ch = 0; ch < 2; ++ch)
            box[ch] = v.panes.image(ch).convertToFormat(QImage::Format_RGB32);
    }
    struct Pane : TVisualSurface {
        visual::TDirectDrawSurface& s;
        explicit Pane(visual::TDirectDrawSurface& surface) : s(surface) {}
        bool CanDraw() override { return true; }
        void Clear() override { s.Fill(0); }
        void Release() override { s.Canvas().Release(); }
        void Flip() override {}
    };
    for (uint32_t bits : {32u, 16u}) {
        SCOPED_TRACE(bits);
        draw::SetCurrentBackend(draw::DrawBackend::Memory(bits));
        {
            visual::TDirectDraw dd(nullptr);
            visual::TDirectDrawSurface s0(dd), s1(dd);
            s0.SetSize(kWidth, kHeight);
            s1.SetSize(kWidth, kHeight);
            Pane p0(s0), p1(s1);
            VisualRig v;
            offPane(v.panes);
            v.panes.directX = true;
            v.panes.surfaces[0] = &p0;
            v.panes.surfaces[1] = &p1;
            v.panes.surfaceCanvas[0] = &s0.Canvas();
            v.panes.surfaceCanvas[1] = &s1.Canvas();
            v.open(wav, mode);
            v.rig.engine.Play();
            for (int n = 0; n < 4; ++n)
                v.tick();
            visual::TDirectDrawSurface* s[2] = {&s0, &s1};
            for (int ch = 0; ch < 2; ++ch) {
                draw::DrawSurfaceDesc d;
                ASSERT_TRUE(s[ch]->Lock(nullptr, d));
                const QImage shown = QImage(static_cast<uchar*>(d.lpSurface), kWidth, kHeight, d.lPitch,
                                            bits == 16 ? QImage::Format_RGB16 : QImage::Format_RGB32)
                                         .convertToFormat(QImage::Format_RGB32);
                s[ch]->Unlock();
                const QImage want = bits == 16 ? box[ch].convertToFormat(QImage::Format_RGB16)
                                                     .convertToFormat(QImage::Format_RGB32)
                                               : box[ch];
                EXPECT_EQ(shown, want) << "channel " << ch;
            }
        }
        draw::SetCurrentBackend(nullptr);
    }
}

namespace {

// The top of the photo drawn in a recording (-1000: none).
int photoTop(const std::vector<std::string>& log)
{
    for (const auto& line : callsOf(log, "DrawImage")) {
        if (line.rfind("DrawImage(28x14,", 0) == 0)
            return argsOf("(" + line.substr(line.find(',') + 1))[5];
    }
    return -1000;
}

int lyricsTop(const std::vector<std::string>& log)
{
    for (const auto& line : callsOf(log, "TextOut"))
        if (line.find("\"first line\"") != std::string::npos)
            return argsOf(line)[1];
    return -1000;
}

}  // namespace

TEST(EngineVisual, LyricsClimbThroughSnowBesideTheRisingPhotoAndANewFileResetsThem)
{
    TempDir dir;
    VisualRig v;
    v.rig.display.mp3Path = dir.path();
    auto r = runCommand("convert", {"-size", "90x45", "xc:orange", dir.file("p.jpg")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    v.open(taggedMp3(dir, "with.mp3", "p.jpg", "first line\n\nthird line", 9.0), 15);
    v.rig.engine.Play();
    sound::TDxSound& engine = v.rig.engine;
    for (int tick = 0; tick < 8; ++tick) {
        v.tick();
        // The text rises a pixel every second left call, over snow; the photo a pixel every
        // second right call, with the laser beside it.
        EXPECT_EQ(lyricsTop(v.panes.log(0)), kHeight - tick / 2) << tick;
        EXPECT_GT(callsOf(v.panes.log(0), "SetPixel").size(), 150u);
        EXPECT_EQ(textOuts(v.panes.log(0), " "), 1);  // the empty line
        EXPECT_EQ(photoTop(v.panes.log(1)), kHeight - tick / 2) << tick;
        EXPECT_EQ(callsOf(v.panes.log(1), "LineTo").size(), 50u);
        EXPECT_TRUE(callsOf(v.panes.log(0), "LineTo").empty());
    }
    EXPECT_EQ(engine.LyricsOffset(), 4);
    EXPECT_EQ(engine.PhotoIndex(), 4);

    // Centred ((68 - 14) / 2 = 27), the photo rests for 100 calls, then rises on.
    engine.SetPhotoIndex(kHeight - 27);
    int centred = 0;
    for (int tick = 0; tick < 110; ++tick) {
        v.tick();
        centred += photoTop(v.panes.log(1)) == 27;
    }
    EXPECT_EQ(centred, 101);
    EXPECT_EQ(engine.PhotoIndex(), kHeight - 27 + 1 + 4);
    // Past the top it comes in again from the bottom; so does the text.
    engine.SetPhotoIndex(kHeight + 15);
    engine.SetLyricsOffset(kHeight + 120);
    v.tick();
    EXPECT_EQ(engine.PhotoIndex(), 0);
    EXPECT_EQ(engine.LyricsOffset(), 0);

    // Without lyrics and photo both panes show the laser; the open reset the offset and index.
    engine.SetLyricsOffset(9);
    v.open(taggedMp3(dir, "plain.mp3", "", "", 4.0), 15);
    EXPECT_EQ(engine.LyricsOffset(), 0);
    EXPECT_EQ(engine.PhotoIndex(), -1);
    v.rig.engine.Play();
    v.tick();
    for (int ch = 0; ch < 2; ++ch) {
        EXPECT_EQ(callsOf(v.panes.log(ch), "LineTo").size(), 50u) << ch;
        EXPECT_EQ(lyricsTop(v.panes.log(ch)), -1000);
        EXPECT_EQ(photoTop(v.panes.log(ch)), -1000);
    }
}
