// The animation painter: its timing against a manual clock (paints recorded with their times),
// disposal against ImageMagick's coalesced frames of gifsicle-made animations, and stopping
// painters while their targets and images go away. Calls meant for the UI thread go into a
// queue that the test serves between clock steps. A window showing an animation is saved
// step by step to build/pictures-look/anim-*.png.
#include "GIFTestSupport.h"
#include "pictures/PictureFormats.h"
#include "pictures/gif/GIFPainter.h"
#include "platform/forms/Application.h"
#include "platform/forms/Control.h"
#include "platform/forms/Image.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QPixmap>

#include <deque>
#include <random>
#include <thread>

using namespace giftest;

namespace {

// The UI thread's queue of the painters' calls, on a plain mutex.
struct CallQueue {
    std::mutex m;
    std::deque<std::function<void()>> calls;
    void post(std::function<void()> f)
    {
        std::lock_guard lk(m);
        calls.push_back(std::move(f));
    }
    bool runOne()
    {
        std::function<void()> f;
        {
            std::lock_guard lk(m);
            if (calls.empty())
                return false;
            f = std::move(calls.front());
            calls.pop_front();
        }
        f();
        return true;
    }
};

class PainterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        auto& env = GIFPainterEnvironment();
        saved_ = env;
        env.Ticks = &clock;
        env.Post = [this](std::function<void()> f) { queue.post(std::move(f)); };
        env.ProcessMessages = [] {};
        forms::SetExceptionReporter([this](const std::string& m) {
            std::lock_guard lk(reportsLock);
            reports.push_back(m);
        });
    }
    void TearDown() override
    {
        images.clear();
        GIFPainterEnvironment() = saved_;
        forms::SetExceptionReporter(nullptr);
    }
    // Serves the painters' calls until every painter waits on the clock again.
    void pump()
    {
        for (;;) {
            clock.advance(0);
            if (!queue.runOne())
                return;
            while (queue.runOne()) {
            }
        }
    }
    void step(int64_t ms, int64_t by)
    {
        for (int64_t t = 0; t < ms; t += by) {
            clock.advance(by);
            pump();
        }
    }

    TGIFImage& animation(const std::vector<int>& delays, int loops)
    {
        GifBuilder b;
        b.header(4, 4, 1);
        if (loops >= 0)
            b.loop(loops);
        for (size_t i = 0; i < delays.size(); ++i)
            b.gce(1, delays[i]).frame(0, 0, 4, 4, Bytes(16, uint8_t(i % 2)), 1);
        Loaded l = load(b.trailer().bytes);
        EXPECT_EQ(l.error, "");
        images.push_back(std::move(l.image));
        return *images.back();
    }

    struct Paint {
        int64_t at;
        int frame;
        bool operator==(const Paint&) const = default;
    };
    void record(TGIFImage& image)
    {
        image.OnAfterPaint = [this](TGIFPainter& p) { paints.push_back({clock.nowMs(), p.ActiveImage()}); };
        image.OnLoop = [this](TGIFPainter&) { ++passes; };
        image.OnEndPaint = [this](TGIFPainter&) { ++ends; };
    }

    rtl::ManualClock clock;
    CallQueue queue;
    std::vector<std::unique_ptr<TGIFImage>> images;
    std::vector<Paint> paints;
    int passes = 0, ends = 0;
    std::mutex reportsLock;
    std::vector<std::string> reports;
    TGIFPainterEnvironment saved_;
};

std::unique_ptr<gfx::TBitmap> surface(int w, int h, gfx::TColor colour)
{
    auto b = std::make_unique<gfx::TBitmap>(w, h, gfx::pf24bit);
    b->Canvas().Brush().SetColor(colour);
    b->Canvas().FillRect(gfx::Rect(0, 0, w, h));
    return b;
}

}  // namespace

TEST(GIFTiming, WaitsFollowTheDelayOverrunAndSpeed)
{
    using namespace GIFTiming;
    EXPECT_EQ(FrameDelay(-1, true), 10);
    EXPECT_EQ(FrameDelay(0, true), 10);
    EXPECT_EQ(FrameDelay(1, true), 3);
    EXPECT_EQ(FrameDelay(5000, true), 5000);
    EXPECT_EQ(FrameDelay(5000, false), 1000);
    EXPECT_EQ(FrameWait(0, 0, 10, 100), 120);
    EXPECT_EQ(FrameWait(0, 0, 10, 200), 60);
    EXPECT_EQ(FrameWait(0, 0, 10, 300), 40);
    // Half of the last overrun comes off the next wait.
    EXPECT_EQ(FrameWait(140, 120, 10, 100), 110);
    // A wait already overrun by far is no wait at all.
    EXPECT_EQ(FrameWait(100000, 0, 10, 100), 0);
    // The tick counter wrapped between the two readings: 20 ms passed, not 4 billion.
    const uint32_t before = 0xFFFFFFF0u, after = 4;
    EXPECT_EQ(FrameWait(uint32_t(after - before), 0, 10, 100), 110);
}

// Each case plays an animation on the manual clock; the paints are recorded with their times.
TEST_F(PainterTest, TimingTable)
{
    struct Case {
        const char* name;
        std::vector<int> delays;
        int loops;  // NETSCAPE loop count, -1 for none
        int speed;
        int64_t playMs;
        std::vector<int64_t> times;  // of the paints, frames alternating from 0
        int passes;                  // OnLoop calls
        int ends;
    };
    const std::vector<Case> cases = {
        {"missing delays are 10 units", {0, 0}, -1, 100, 1000, {0, 120}, 0, 1},
        {"loop 0 plays for ever", {0, 0}, 0, 100, 600, {0, 120, 240, 360, 480, 600}, 3, 0},
        {"speed 200 halves every wait", {0, 0}, 0, 200, 300, {0, 60, 120, 180, 240, 300}, 3, 0},
        {"a delay of 1 is 3 units", {1, 1}, 0, 100, 110, {0, 36, 72, 108}, 2, 0},
        {"three passes", {0, 0}, 3, 100, 2000, {0, 120, 240, 360, 480, 600}, 2, 1},
        {"5000 units stay for a thread", {5000, 5000}, -1, 100, 60000, {0, 60000}, 0, 1},
        {"speed 0 waits for ever", {0, 0}, 0, 0, 5000, {0}, 0, 0},
        {"a negative speed does not wait", {0, 0}, 3, -1, 12, {0, 0, 0, 0, 0, 0}, 2, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        paints.clear();
        passes = ends = 0;
        TGIFImage& image = animation(c.delays, c.loops);
        image.AnimationSpeed = c.speed;
        image.DrawOptions |= drawDirect;
        record(image);
        auto target = surface(4, 4, gfx::clWhite);
        const int64_t start = clock.nowMs();
        image.Draw(target->Canvas(), gfx::Rect(0, 0, 4, 4));
        ASSERT_EQ(paints.size(), 1u) << "the first frame is painted inside Draw";
        pump();
        step(c.playMs, 12);
        std::vector<Paint> expected;
        for (size_t i = 0; i < c.times.size(); ++i)
            expected.push_back({start + c.times[i], int(i % 2)});
        EXPECT_EQ(paints, expected);
        EXPECT_EQ(ends, c.ends);
        EXPECT_EQ(passes, c.passes);
        EXPECT_EQ(image.PainterCount(), c.ends ? 0 : 1);
        image.PaintStop();
        EXPECT_EQ(image.PainterCount(), 0);
        EXPECT_EQ(ends, c.ends) << "a stopped painter ends quietly";
    }
}

TEST_F(PainterTest, SynchronousPainterPlaysInsideDrawWithCappedDelays)
{
    TGIFImage& image = animation({5000, 5000}, -1);
    image.DrawOptions = (image.DrawOptions & ~drawAsync) | drawDirect;
    record(image);
    auto target = surface(4, 4, gfx::clWhite);
    std::atomic<bool> done{false};
    std::thread driver([&] {
        while (!done)
            clock.advance(50);
    });
    image.Draw(target->Canvas(), gfx::Rect(0, 0, 4, 4));
    done = true;
    driver.join();
    ASSERT_EQ(paints.size(), 2u);
    // The first frame waits one unit; the second 1000 units, not 5000.
    EXPECT_EQ(paints[1].at - paints[0].at, 12000);
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(image.PainterCount(), 0);
}

TEST_F(PainterTest, SynchronousPainterInAPaintEventShowsTheFirstFrameOnly)
{
    TGIFImage& image = animation({0, 0}, 0);
    image.DrawOptions &= ~drawAsync;
    record(image);
    forms::TPaintBox box;
    box.resize(8, 8);
    box.OnPaint = [&](QObject*) { image.Draw(box.Canvas(), gfx::Rect(0, 0, 8, 8)); };
    const QImage shown = box.grab().toImage();
    EXPECT_TRUE(paints.empty());
    EXPECT_EQ(image.PainterCount(), 0);
    const gfx::TColor first = image.GlobalColorMap().Colors(0);
    EXPECT_EQ(shown.pixel(3, 3) & 0xFFFFFF, qRgb(gfx::GetRValue(first), gfx::GetGValue(first), gfx::GetBValue(first)) & 0xFFFFFF);
}

TEST_F(PainterTest, OnePainterPerTargetAndNoneForOneFrame)
{
    TGIFImage& direct = animation({0, 0}, 0);
    direct.DrawOptions |= drawDirect;
    auto target = surface(8, 8, gfx::clWhite);
    direct.Draw(target->Canvas(), gfx::Rect(0, 0, 8, 8));
    TGIFPainter* first = direct.Painter();
    direct.Draw(target->Canvas(), gfx::Rect(0, 0, 8, 8));
    EXPECT_EQ(direct.Painter(), first);
    EXPECT_EQ(direct.PainterCount(), 1);
    // Another rectangle takes over from the painter before.
    direct.Draw(target->Canvas(), gfx::Rect(0, 0, 4, 4));
    pump();
    EXPECT_NE(direct.Painter(), first);
    EXPECT_EQ(direct.PainterCount(), 1);

    TGIFImage& internal = animation({0, 0}, 0);
    internal.Draw(target->Canvas(), gfx::Rect(0, 0, 8, 8));
    internal.Draw(target->Canvas(), gfx::Rect(0, 0, 8, 8));
    EXPECT_EQ(internal.PainterCount(), 1);

    TGIFImage& still = animation({0}, 0);
    record(still);
    still.Draw(target->Canvas(), gfx::Rect(0, 0, 8, 8));
    EXPECT_EQ(still.PainterCount(), 0);
    EXPECT_TRUE(paints.empty()) << "no painter, so no painter events";
    EXPECT_EQ(target->Canvas().Pixels(0, 0), still.GlobalColorMap().Colors(0));
}

TEST_F(PainterTest, RestartPlaysFromTheFirstFrame)
{
    TGIFImage& image = animation({0, 0, 0}, 0);
    image.DrawOptions |= drawDirect;
    int starts = 0;
    image.OnStartPaint = [&](TGIFPainter&) { ++starts; };
    record(image);
    auto target = surface(4, 4, gfx::clWhite);
    image.Draw(target->Canvas(), gfx::Rect(0, 0, 4, 4));
    pump();
    step(120, 12);
    ASSERT_EQ(paints.back().frame, 1);
    image.Painter()->Restart();
    pump();
    EXPECT_EQ(starts, 2);
    EXPECT_EQ(paints.back().frame, 0);
    EXPECT_EQ(paints.back().at, 120) << "a restart shows the first frame at once";
}

TEST_F(PainterTest, AfterPaintHandlerMayChooseTheNextFrame)
{
    TGIFImage& image = animation({0, 0, 0}, 0);
    image.DrawOptions |= drawDirect;
    record(image);
    auto recordOnly = image.OnAfterPaint;
    // Always back to frame 0 after frame 1: frame 2 never shows.
    image.OnAfterPaint = [&](TGIFPainter& p) {
        recordOnly(p);
        if (p.ActiveImage() == 1)
            p.SetActiveImage(0);
    };
    auto target = surface(4, 4, gfx::clWhite);
    image.Draw(target->Canvas(), gfx::Rect(0, 0, 4, 4));
    pump();
    step(600, 12);
    ASSERT_EQ(paints.size(), 6u);
    for (size_t i = 0; i < paints.size(); ++i)
        EXPECT_EQ(paints[i].frame, int(i % 2));
}

// Frames made by gifsicle with each disposal, painted over a coloured surface, equal
// ImageMagick's coalesced frames laid over the same colour.
TEST_F(PainterTest, DisposalMatchesImageMagick)
{
    if (!haveTools() || !testsupport::haveProgram("gifsicle"))
        GTEST_SKIP() << "needs ImageMagick and gifsicle";
    testsupport::TempDir dir;
    // A patterned first frame, then small frames with transparency at offsets.
    GifBuilder base;
    base.header(12, 10, 2).frame(0, 0, 12, 10, noise(120, 4, 7), 2).trailer();
    writeBytes(dir.file("f0.gif"), base.bytes);
    for (int i = 1; i <= 3; ++i) {
        GifBuilder f;
        Bytes px = noise(20, 4, unsigned(i));
        px[0] = px[7] = 3;
        f.header(5, 4, 2).gce(0, 0, 3).frame(0, 0, 5, 4, px, 2).trailer();
        writeBytes(dir.file("f" + std::to_string(i) + ".gif"), f.bytes);
    }
    const gfx::TColor ground = gfx::RGB(10, 200, 90);
    for (const char* disposal : {"none", "asis", "background", "previous"}) {
        SCOPED_TRACE(disposal);
        const std::string anim = dir.file(std::string(disposal) + ".gif");
        auto r = testsupport::runCommand("gifsicle", {dir.file("f0.gif"), "--disposal=" + std::string(disposal),
                                                      "--position", "1,2", dir.file("f1.gif"), "--position", "6,5",
                                                      dir.file("f2.gif"), "--position", "3,3", dir.file("f3.gif"),
                                                      "-o", anim});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        Loaded l = loadFile(anim);
        ASSERT_EQ(l.error, "");
        TGIFImage& image = *l.image;
        image.AnimationSpeed = -1;
        image.DrawOptions &= ~(drawDither | drawLoop);
        std::vector<QImage> shown;
        image.OnAfterPaint = [&](TGIFPainter& p) { shown.push_back(p.Canvas().Surface()->copy()); };
        auto target = surface(12, 10, ground);
        image.Draw(target->Canvas(), gfx::Rect(0, 0, 12, 10));
        pump();
        const std::vector<Bytes> expected = magickCoalesced(anim, 12, 10);
        ASSERT_EQ(shown.size(), expected.size());
        for (size_t f = 0; f < shown.size(); ++f) {
            int differing = 0;
            for (int y = 0; y < 10; ++y)
                for (int x = 0; x < 12; ++x) {
                    const uint8_t* e = &expected[f][size_t(y * 12 + x) * 4];
                    const QRgb want = e[3] ? qRgb(e[0], e[1], e[2]) : qRgb(10, 200, 90);
                    differing += (shown[f].pixel(x, y) & 0xFFFFFF) != (want & 0xFFFFFF);
                }
            EXPECT_EQ(differing, 0) << "frame " << f;
        }
    }
}

TEST_F(PainterTest, AGoneTargetEndsThePainterQuietly)
{
    TGIFImage& image = animation({0, 0}, 0);
    image.DrawOptions |= drawDirect;  // without drawValidateCanvas
    record(image);
    auto target = std::make_unique<gfx::TBitmap>(4, 4, gfx::pf24bit);
    image.Draw(target->Canvas(), gfx::Rect(0, 0, 4, 4));
    pump();
    target.reset();
    step(240, 12);
    EXPECT_EQ(paints.size(), 1u);
    EXPECT_EQ(image.PainterCount(), 0);
    EXPECT_TRUE(reports.empty());
}

TEST_F(PainterTest, AnExceptionInOnPaintEndsOnlyThatPainterAndIsReportedOnce)
{
    TGIFImage& failing = animation({0, 0}, 0);
    TGIFImage& healthy = animation({0, 0}, 0);
    failing.DrawOptions |= drawDirect;
    healthy.DrawOptions |= drawDirect;
    int failingPaints = 0;
    failing.OnPaint = [&](TGIFPainter& p) {
        if (p.ActiveImage() == 1)
            throw std::runtime_error("broken handler");
        ++failingPaints;
    };
    record(healthy);
    auto a = surface(4, 4, gfx::clWhite), b = surface(4, 4, gfx::clWhite);
    failing.Draw(a->Canvas(), gfx::Rect(0, 0, 4, 4));
    healthy.Draw(b->Canvas(), gfx::Rect(0, 0, 4, 4));
    pump();
    step(480, 12);
    EXPECT_EQ(reports, std::vector<std::string>{"broken handler"});
    EXPECT_EQ(failingPaints, 1);
    EXPECT_EQ(failing.PainterCount(), 0);
    EXPECT_EQ(healthy.PainterCount(), 1);
    EXPECT_EQ(paints.size(), 5u);
}

// Painters started and stopped in a shuffle while their targets and images go away, on the
// real clock with fast animations; each round ends with nothing left running.
TEST_F(PainterTest, StartingAndStoppingManyPainters)
{
    GIFPainterEnvironment().Ticks = nullptr;
    std::mt19937 random(5);
    for (int round = 0; round < 20; ++round) {
        std::vector<std::unique_ptr<TGIFImage>> own;
        std::vector<std::unique_ptr<gfx::TBitmap>> targets;
        for (int i = 0; i < 4; ++i) {
            TGIFImage& image = animation({1, 1, 1}, 0);
            own.push_back(std::move(images.back()));
            images.pop_back();
            image.AnimationSpeed = (i == 3) ? -1 : 5000;
            if (i % 2)
                image.DrawOptions |= drawDirect;
            targets.push_back(std::make_unique<gfx::TBitmap>(6, 6, gfx::pf24bit));
        }
        for (int n = 0; n < 30; ++n) {
            const size_t i = random() % own.size(), t = random() % targets.size();
            if (!own[i] || !targets[t])
                continue;
            switch (random() % 6) {
            case 0:
                own[i].reset();
                break;
            case 1:
                targets[t].reset();
                break;
            case 2:
                own[i]->PaintStop();
                break;
            default:
                own[i]->Draw(targets[t]->Canvas(), gfx::Rect(0, 0, int(1 + random() % 6), 6));
                break;
            }
            while (queue.runOne()) {
            }
        }
        for (auto& image : own)
            if (image) {
                image->PaintStop();
                EXPECT_EQ(image->PainterCount(), 0);
            }
        own.clear();
        // Calls still queued for painters that are gone do nothing.
        while (queue.runOne()) {
        }
    }
}

// A window showing an animated picture, saved after each step for a person to look at: a
// transparent dot moving over a pattern that is the picture's own first frame. (Disposal to
// background would clear the dot's place to what lies behind the picture, the control's
// colour, as it should; restoring the previous frame keeps the pattern.)
TEST_F(PainterTest, ImageControlAnimates)
{
    if (!testsupport::haveProgram("gifsicle"))
        GTEST_SKIP() << "needs gifsicle";
    testsupport::TempDir dir;
    const int w = 24, h = 16;
    // Four colours a person tells apart: clear (for the dot's corners), two blues, red.
    auto start = [](int width, int height) {
        GifBuilder b;
        b.raw({'G', 'I', 'F', '8', '9', 'a', uint8_t(width), 0, uint8_t(height), 0, 0x81, 0, 0,
               255, 255, 255, 150, 180, 230, 60, 90, 170, 220, 30, 30});
        return b;
    };
    GifBuilder ground = start(w, h);
    Bytes pattern(size_t(w * h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            pattern[size_t(y * w + x)] = uint8_t(((x / 4 + y / 4) % 2) + 1);
    ground.frame(0, 0, w, h, pattern, 2).trailer();
    writeBytes(dir.file("ground.gif"), ground.bytes);
    GifBuilder dot = start(4, 4);
    dot.gce(0, 0, 0).frame(0, 0, 4, 4, {0, 3, 3, 0, 3, 3, 3, 3, 3, 3, 3, 3, 0, 3, 3, 0}, 2).trailer();
    writeBytes(dir.file("dot.gif"), dot.bytes);
    std::vector<std::string> args{dir.file("ground.gif"), "--disposal=previous", "--delay=10", "--loopcount=forever"};
    for (int i = 0; i < 5; ++i) {
        args.push_back("--position");
        args.push_back(std::to_string(i * 5) + "," + std::to_string(2 + i * 2));
        args.push_back(dir.file("dot.gif"));
    }
    args.push_back("-o");
    args.push_back(dir.file("anim.gif"));
    auto r = testsupport::runCommand("gifsicle", args);
    ASSERT_EQ(r.exitCode, 0) << r.err;

    forms::TImage control;
    control.resize(w * 4, h * 4);
    control.SetStretch(true);
    RegisterPictureFormats();
    control.Picture().LoadFromFile(dir.file("anim.gif"));
    auto* gif = dynamic_cast<TGIFImage*>(control.Picture().Graphic());
    ASSERT_NE(gif, nullptr);
    gif->DrawOptions &= ~drawDither;
    const QString out = QCoreApplication::applicationDirPath() + "/../pictures-look";
    QDir().mkpath(out);
    std::vector<QImage> looks;
    for (int i = 0; i < 6; ++i) {
        looks.push_back(control.grab().toImage());
        looks.back().save(out + QString("/anim-%1.png").arg(i));
        step(120, 12);
    }
    // The dot moved each time, and the pattern behind it came back.
    for (size_t i = 1; i < looks.size(); ++i)
        EXPECT_NE(looks[i], looks[i - 1]) << "step " << i;
    // Where the first dot was: covered at step 1, the pattern again two steps later.
    const int x = 1 * 4 + 1, y = 3 * 4 + 1;
    EXPECT_NE(looks[1].pixel(x, y), looks[0].pixel(x, y));
    EXPECT_EQ(looks[3].pixel(x, y), looks[0].pixel(x, y));
    gif->PaintStop();
}
