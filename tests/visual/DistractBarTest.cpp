// The segment-bar meter: geometry, errors, the eight processes and the text steps driven by
// hand on the UI thread, the painted picture, the random process's bounds, and the animation
// thread (UI-thread painting only, quick stops).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QThread>

#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <vector>

#include "platform/forms/Form.h"
#include "platform/rtl/Numerics.h"
#include "visual/DistractBar.h"

using namespace visual;

namespace {

// A bar on a form that has not been shown: animated, it runs no thread until loaded, so the
// steps are the test's own.
struct HandBar {
    forms::TForm Form;
    TDistractBar* Bar = new TDistractBar(&Form);

    HandBar(int Count, TDBAnimProcessType Process)
    {
        Bar->SetBarCount(Count);
        Bar->SetProcess(Process);
        Bar->SetAnimated(true);
    }
    std::vector<std::uint32_t> steps(int N)
    {
        std::vector<std::uint32_t> out;
        for (int i = 0; i < N; ++i) {
            Bar->AnimateStep();
            out.push_back(Bar->EnableMask());
        }
        return out;
    }
};

QColor at(const QImage& img, int x, int y) { return img.pixelColor(x, y); }

void pump(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

}  // namespace

TEST(DistractBar, PropertiesRejectBadValuesAndKeepTheOldOnes)
{
    TDistractBar bar;
    EXPECT_EQ(bar.BarCount(), 10);
    EXPECT_EQ(bar.Interval(), 100);
    EXPECT_EQ(bar.Options(), DBOpt(doDrawLine) | DBOpt(doDrawText));
    auto expectError = [](auto&& Set, const char* Text) {
        try {
            Set();
            ADD_FAILURE() << "no error for " << Text;
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), Text);
        }
    };
    expectError([&] { bar.SetBarCount(0); }, "Invalid count");
    expectError([&] { bar.SetBarSpacing(-1); }, "Invalid width");
    expectError([&] { bar.SetBarBorderWidth(0); }, "Invalid width");
    expectError([&] { bar.SetTextSkip(-1); }, "Invalid value");
    expectError([&] { bar.SetAnimProcessSkip(-1); }, "Invalid value");
    expectError([&] { bar.SetAnimTextSkip(-1); }, "Invalid value");
    EXPECT_EQ(bar.BarCount(), 10);
    EXPECT_EQ(bar.BarSpacing(), 3);
    EXPECT_EQ(bar.BarBorderWidth(), 1);

    // Segments outside 0 .. N - 1, and past the 32nd, are never set.
    bar.SetBarCount(40);
    for (int i : {-1, 32, 39, 40})
        bar.SetSegment(i, true);
    EXPECT_EQ(bar.EnableMask(), 0u);
    bar.SetBarCount(4);
    bar.SetSegment(4, true);
    bar.SetSegment(3, true);
    EXPECT_EQ(bar.EnableMask(), 8u);
    EXPECT_TRUE(bar.Segment(3));
    EXPECT_FALSE(bar.Segment(4));
}

TEST(DistractBar, ProcessesFollowTheirSequencesThroughTwoCycles)
{
    struct Case {
        TDBAnimProcessType Process;
        int N;
        std::vector<std::uint32_t> Masks;
    };
    const Case cases[] = {
        {apToLeft, 4, {1, 2, 4, 8, 1, 2, 4, 8}},
        {apToRight, 4, {8, 4, 2, 1, 0, 8, 4, 2, 1, 0}},
        {apBounce, 4, {1, 2, 4, 8, 4, 2, 1, 2, 4, 8, 4, 2}},
        {apDouble, 4, {9, 6, 6, 9, 9, 6, 6, 9}},
        {apFillLeft, 3, {1, 3, 7, 6, 4, 0, 1, 3, 7, 6, 4, 0}},
        {apFillRight, 3, {4, 6, 7, 3, 1, 0, 4, 6, 7, 3, 1, 0}},
        {apFillBounce, 3, {1, 3, 7, 3, 1, 0, 4, 6, 7, 6, 4, 0, 1, 3, 7}},
    };
    for (const Case& c : cases) {
        HandBar h(c.N, c.Process);
        EXPECT_EQ(h.steps(int(c.Masks.size())), c.Masks) << "process " << c.Process;
    }
    // Skips: a process step every third tick; switching the process off clears the bar.
    HandBar h(4, apToLeft);
    h.Bar->SetAnimProcessSkip(2);
    EXPECT_EQ(h.steps(6), (std::vector<std::uint32_t>{0, 0, 1, 1, 1, 2}));
    h.Bar->SetProcess(apNone);
    EXPECT_EQ(h.Bar->EnableMask(), 0u);
}

TEST(DistractBar, TextStepsMoveTheCaption)
{
    struct Case {
        TDBTextAnimType Anim;
        int N;
        std::vector<int> Skips;
    };
    const Case cases[] = {
        {taToLeft, 4, {1, 2, 3, 0, 1}},
        {taToRight, 4, {3, 2, 1, 0, 3}},
        {taBounce, 5, {1, 2, 3, 2, 1, 0, 1, 2, 3, 2}},  // caption of 2 letters
    };
    for (const Case& c : cases) {
        HandBar h(c.N, apNone);
        h.Bar->SetCaption("AB");
        h.Bar->SetTextAnim(c.Anim);
        std::vector<int> got;
        for (size_t i = 0; i < c.Skips.size(); ++i) {
            h.Bar->AnimateStep();
            got.push_back(h.Bar->TextSkip());
        }
        EXPECT_EQ(got, c.Skips) << "text animation " << c.Anim;
    }
}

TEST(DistractBar, BlendMovesEachByteTowardTheEnd)
{
    EXPECT_EQ(TDistractBar::Blend(0x000000, 0xFFFFFF, 0.5f), 0x7F7F7Fu);
    EXPECT_EQ(TDistractBar::Blend(0x0000FF, 0x000000, 0.25f), 0x0000C0u);
    EXPECT_EQ(TDistractBar::Blend(0x102030, 0x102030, 1.0f), 0x102030u);
    EXPECT_EQ(TDistractBar::Blend(0x00FF00, 0xFF0000, 1.0f), 0xFF0000u);
}

TEST(DistractBar, PaintsSegmentsFramesLettersAndShadows)
{
    forms::TForm form;
    auto* bar = new TDistractBar(&form);
    // 96 wide, 16 segments, spacing 1: 5-pixel segments from x = 0, one-pixel gaps.
    bar->setGeometry(0, 0, 96, 12);
    bar->SetBarCount(16);
    bar->SetBarSpacing(1);
    bar->SetBackGroundColor(0xFF0000);  // blue
    bar->SetBarColorOn(0x0000FF);       // red
    bar->SetEnableMask(1);
    QImage img = bar->grab().toImage();
    EXPECT_EQ(at(img, 0, 0), QColor(0, 0, 0)) << "frame";
    EXPECT_EQ(at(img, 2, 5), QColor(255, 0, 0)) << "lit";
    EXPECT_EQ(at(img, 5, 5), QColor(0, 0, 255)) << "gap";
    EXPECT_EQ(at(img, 8, 5), QColor(0, 128, 0)) << "unlit";
    EXPECT_EQ(at(img, 95, 5), QColor(0, 0, 255)) << "last gap";

    // 150 wide, 10 segments, spacing 3: 12-pixel segments after a margin of 1.
    bar->setGeometry(0, 0, 150, 20);
    bar->SetBarCount(10);
    bar->SetBarSpacing(3);
    bar->SetOptions(0);
    img = bar->grab().toImage();
    EXPECT_EQ(at(img, 0, 5), QColor(0, 0, 255));
    EXPECT_EQ(at(img, 1, 5), QColor(255, 0, 0));
    EXPECT_EQ(at(img, 12, 5), QColor(255, 0, 0));
    EXPECT_EQ(at(img, 13, 5), QColor(0, 0, 255));

    // Blended lit colours: segment i of 4 at (i + 1) / 4 of the way from black to red.
    bar->SetBarCount(4);
    bar->SetBarSpacing(0);
    bar->SetEnableMask(0xF);
    bar->SetBarColorOn(0);
    bar->SetBarColorOnEnd(0x0000FF);
    bar->SetOptions(DBOpt(doColorOnUseEnd));
    img = bar->grab().toImage();
    EXPECT_EQ(at(img, 10, 5), QColor(63, 0, 0));
    EXPECT_EQ(at(img, 140, 5), QColor(255, 0, 0));

    // A white letter on a black segment, and shadows of 2 pixels to the right and below.
    bar->setGeometry(0, 0, 80, 40);
    bar->SetBarCount(2);
    bar->SetBarSpacing(4);
    bar->SetBarColorOn(0);
    bar->SetCaption("H");
    gfx::TFont f;
    f.SetName("Arial");
    f.SetSize(20);
    f.SetColor(gfx::clWhite);
    bar->SetFont(f);
    bar->SetBarBorderWidth(2);
    bar->SetOptions(DBOpt(doDrawText) | DBOpt(doBar3d));
    img = bar->grab().toImage();
    int white = 0;
    for (int y = 0; y < 38; ++y)
        for (int x = 0; x < 36; ++x)
            white += at(img, x, y) == QColor(255, 255, 255);
    EXPECT_GT(white, 10) << "letter H in segment 0";
    for (int y = 0; y < 38; ++y)
        for (int x = 42; x < 78; ++x)
            ASSERT_NE(at(img, x, y), QColor(255, 255, 255)) << "segment 1 has no letter";
    // Segment 0 spans 0..38 with its fill to 36 x 38; shadows fill 36..38 and 38..40.
    EXPECT_EQ(at(img, 37, 20), QColor(0, 0, 0));
    EXPECT_EQ(at(img, 20, 39), QColor(0, 0, 0));
    EXPECT_EQ(at(img, 1, 39), QColor(0, 0, 255)) << "the bottom shadow starts B to the right";
}

// Random(2^N) keeps every lit bit below N, reaches bit 31 for 32 segments and more, and
// draws on the bar's own generator, never on the program's.
TEST(DistractBar, RandomStaysWithinTheBarAndOffTheSharedGenerator)
{
    rtl::RandSeed = 1234;
    for (int n : {31, 32, 40}) {
        HandBar h(n, apRandom);
        std::uint32_t any = 0;
        for (std::uint32_t mask : h.steps(400)) {
            any |= mask;
            if (n < 32) {
                ASSERT_EQ(mask >> n, 0u) << "N = " << n;
            }
        }
        EXPECT_EQ(any >> 31, n >= 32 ? 1u : 0u) << "N = " << n;
        EXPECT_EQ(any & 1u, 1u);
    }
    EXPECT_EQ(rtl::RandSeed, 1234u);
}

namespace {

std::atomic<int> gPaintsOffUiThread{0};
std::atomic<int> gPaints{0};

class WatchedBar : public TDistractBar {
public:
    using TDistractBar::TDistractBar;

protected:
    void Paint() override
    {
        ++gPaints;
        if (QThread::currentThread() != QCoreApplication::instance()->thread())
            ++gPaintsOffUiThread;
        TDistractBar::Paint();
    }
};

}  // namespace

TEST(DistractBarThread, AnimatesOnItsThreadAndPaintsOnTheUiThreadOnly)
{
    gPaints = 0;
    gPaintsOffUiThread = 0;
    auto bar = std::make_unique<WatchedBar>();
    bar->resize(96, 12);
    bar->show();
    bar->SetBarCount(16);
    bar->SetInterval(1);
    bar->SetProcess(apRandom);
    bar->SetTextAnim(taToLeft);
    bar->SetCaption("Tambourelle");
    std::atomic<int> animated{0};
    bool offThread = false;
    bar->OnAnimate = [&](QObject*) {
        ++animated;
        offThread |= QThread::currentThread() != QCoreApplication::instance()->thread();
    };
    bar->SetAnimated(true);
    pump(2000);
    bar.reset();
    EXPECT_GT(gPaints.load(), 50);
    EXPECT_GT(animated.load(), 50);
    EXPECT_EQ(gPaintsOffUiThread.load(), 0);
    EXPECT_FALSE(offThread);
}

// Stopping wakes the sleeping thread: a thousand bars sleeping 100 ms between steps each come
// and go without waiting for their interval.
TEST(DistractBarThread, ThousandCreateAnimateDestroyRoundsEndWithoutWaiting)
{
    QElapsedTimer t;
    t.start();
    for (int round = 0; round < 1000; ++round) {
        auto bar = std::make_unique<TDistractBar>();
        bar->SetProcess(round % 2 ? apRandom : apDouble);
        bar->SetAnimated(true);
        if (round % 100 == 0)
            QCoreApplication::processEvents();
        bar->SetInterval(round % 3 ? 100 : 0);
    }
    QCoreApplication::processEvents();  // posts of bars that are gone are dropped
    EXPECT_LT(t.elapsed(), 50000) << "stops waited for the interval";
}
