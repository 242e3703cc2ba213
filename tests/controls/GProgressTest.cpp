#include <gtest/gtest.h>

#include <QApplication>

#include "ControlTestSupport.h"
#include "controls/alpha/GProgress.h"
#include "platform/forms/Application.h"

using namespace controls;
using gfx::ColorToRGB;

namespace {

struct Bar {
    QWidget host;
    TGProgress* bar = new TGProgress(&host);
    Bar()
    {
        host.resize(200, 40);
        bar->SetBounds(0, 0, 150, 16);
        host.show();
        QApplication::processEvents();
    }
    QImage look()
    {
        QApplication::processEvents();
        return controltest::snapshot(*bar);
    }
};

// Collects the error reports made while it lives.
struct Reports {
    std::vector<std::string> messages;
    Reports()
    {
        forms::SetExceptionReporter([this](const std::string& m) { messages.push_back(m); });
    }
    ~Reports() { forms::SetExceptionReporter(nullptr); }
};

}  // namespace

TEST(GProgress, HalfwayOn150PixelsFillsBlocksZeroToSeven)
{
    Bar b;
    b.bar->SetGradientBar(false);
    b.bar->SetPosition(50);
    EXPECT_EQ(b.bar->LastBlock(), 7);
    const QImage img = b.look();
    const gfx::TColor fill = ColorToRGB(gfx::clHighlight);
    const gfx::TColor back = ColorToRGB(gfx::clBtnFace);
    EXPECT_EQ(controltest::pixel(img, 2, 8), fill);    // block 0 starts at x = 2
    EXPECT_EQ(controltest::pixel(img, 79, 8), fill);   // block 7 ends at x = 79
    EXPECT_EQ(controltest::pixel(img, 80, 8), back);   // gap before block 8
    EXPECT_EQ(controltest::pixel(img, 85, 8), back);   // block 8 not drawn
    EXPECT_EQ(controltest::pixel(img, 5, 1), back);    // blocks keep one pixel off the frame
    EXPECT_EQ(controltest::pixel(img, 0, 8), ColorToRGB(gfx::clBtnShadow));
    EXPECT_EQ(controltest::pixel(img, 5, 0), ColorToRGB(gfx::clBtnShadow));
    EXPECT_EQ(controltest::pixel(img, 149, 8), ColorToRGB(gfx::clBtnHighlight));
    EXPECT_EQ(controltest::pixel(img, 5, 15), ColorToRGB(gfx::clBtnHighlight));
}

TEST(GProgress, AtMinimumNoBlockAndSolidBlocksCloseTheGaps)
{
    Bar b;
    const QImage empty = b.look();
    EXPECT_EQ(controltest::pixel(empty, 5, 8), ColorToRGB(gfx::clBtnFace));
    b.bar->SetSolid(true);
    b.bar->SetGradientBar(false);  // the default gradient ends in the face colour
    b.bar->SetPosition(100);
    const QImage img = b.look();
    for (int x = 2; x < 148; ++x)
        ASSERT_NE(controltest::pixel(img, x, 8), ColorToRGB(gfx::clBtnFace)) << x;
}

TEST(GProgress, GradientRunsFromColorToColorEnd)
{
    Bar b;
    b.bar->SetColor(gfx::RGB(0, 0, 200));
    b.bar->SetColorEnd(gfx::RGB(200, 100, 0));
    b.bar->SetPosition(100);
    EXPECT_EQ(b.bar->BlockColor(0), gfx::RGB(0, 0, 200));
    EXPECT_EQ(b.bar->BlockColor(14), gfx::RGB(200, 100, 0));
    EXPECT_EQ(b.bar->BlockColor(15), gfx::RGB(200, 100, 0));  // beyond the whole blocks
    EXPECT_EQ(b.bar->BlockColor(7), gfx::RGB(100, 50, 100));
    const QImage img = b.look();
    EXPECT_EQ(controltest::pixel(img, 4, 8), gfx::RGB(0, 0, 200));
    EXPECT_EQ(controltest::pixel(img, 75, 8), gfx::RGB(100, 50, 100));
    EXPECT_EQ(controltest::pixel(img, 145, 8), gfx::RGB(200, 100, 0));
    // A bar of one block has no gradient to spread and shows Color.
    b.bar->SetBounds(0, 0, 15, 16);
    EXPECT_EQ(b.bar->BlockColor(0), gfx::RGB(0, 0, 200));
}

TEST(GProgress, RaisingOnlyAddsBlocksWhileLoweringRepaintsFully)
{
    Bar b;
    b.bar->SetPosition(30);
    b.look();
    // A mark where only a full paint would erase it.
    b.bar->Canvas().SetPixel(120, 8, gfx::clRed);
    b.bar->SetPosition(60);
    EXPECT_EQ(b.bar->Canvas().Pixels(120, 8), gfx::clRed);
    EXPECT_NE(b.bar->Canvas().Pixels(85, 8), ColorToRGB(gfx::clBtnFace));  // block 8 added
    b.bar->SetPosition(20);
    const QImage img = b.look();
    EXPECT_EQ(controltest::pixel(img, 120, 8), ColorToRGB(gfx::clBtnFace));
    EXPECT_EQ(controltest::pixel(img, 45, 8), ColorToRGB(gfx::clBtnFace));
}

TEST(GProgress, RangeSettersRefuseNegativesAndClampThePosition)
{
    Bar b;
    Reports r;
    b.bar->SetMax(-1);
    EXPECT_EQ(b.bar->Max(), 100);
    b.bar->SetMin(-5);
    b.bar->SetStep(-2);
    EXPECT_EQ(b.bar->Min(), 0);
    EXPECT_EQ(b.bar->Step(), 10);
    ASSERT_EQ(r.messages.size(), 3u);
    EXPECT_EQ(r.messages[0], "Value must be between 0 and 2147483647");

    b.bar->SetPosition(150);
    EXPECT_EQ(b.bar->Position(), 100);
    b.bar->SetMax(40);
    EXPECT_EQ(b.bar->Position(), 40);
    b.bar->SetMin(10);
    b.bar->SetPosition(-3);
    EXPECT_EQ(b.bar->Position(), 10);
    EXPECT_TRUE(r.messages.size() == 3u);
}

TEST(GProgress, HugeRangesDoNotWrap)
{
    Bar b;
    b.bar->SetMax(2000000000);
    b.bar->SetPosition(1000000000);
    EXPECT_EQ(b.bar->LastBlock(), 7);
    b.bar->SetMin(2000000000);
    EXPECT_EQ(b.bar->LastBlock(), 0);  // empty range
}

TEST(GProgress, TransparentBarShowsItsParent)
{
    controltest::Backdrop back([](QImage& img) { img.fill(qRgb(10, 200, 30)); }, 200, 40);
    auto* bar = new TGProgress(&back);
    bar->SetTransparent(true);
    bar->SetPosition(30);
    back.show();
    const QImage img = controltest::snapshot(back);
    EXPECT_EQ(controltest::pixel(img, 120, 8), gfx::RGB(10, 200, 30));
    EXPECT_EQ(controltest::pixel(img, 4, 8), ColorToRGB(gfx::clHighlight));
}

TEST(GProgress, Screenshot)
{
    QWidget host;
    host.resize(170, 90);
    host.setStyleSheet("background: #d4d0c8");
    const int positions[] = {0, 37, 75, 100};
    for (int i = 0; i < 4; ++i) {
        auto* bar = new TGProgress(&host);
        bar->SetBounds(10, 10 + i * 20, 150, 16);
        bar->SetColorEnd(gfx::RGB(255, 128, 0));
        bar->SetSolid(i == 3);
        bar->SetPosition(positions[i]);
    }
    host.show();
    const QImage img = controltest::snapshot(host);
    EXPECT_EQ(controltest::pixel(img, 10 + 4, 10 + 20 * 2 + 8), ColorToRGB(gfx::clHighlight));
    controltest::saveShot(img, "GProgress", 3);
}
