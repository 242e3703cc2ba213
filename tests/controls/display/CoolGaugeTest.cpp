#include <gtest/gtest.h>

#include "controls/display/CoolGauge.h"
#include "controls/display/DisplayTestSupport.h"

using namespace controls;
using namespace displaytest;

TEST(CoolGauge, ProgressStaysWithinTheRange)
{
    TCoolGauge g;
    g.SetProgress(150);
    EXPECT_EQ(g.Progress(), 0);
    g.SetProgress(80);
    g.SetMaxValue(50);
    EXPECT_EQ(g.MaxValue(), 50);
    EXPECT_EQ(g.Progress(), 50);
    // A maximum below the minimum is refused and cannot drag the progress below it.
    g.SetMinValue(10);
    g.SetMaxValue(-5);
    EXPECT_EQ(g.MaxValue(), 50);
    EXPECT_EQ(g.Progress(), 10);
    // Nor can a refused minimum push it above the maximum.
    g.SetProgress(20);
    g.SetMinValue(70);
    EXPECT_EQ(g.MinValue(), 10);
    EXPECT_EQ(g.Progress(), 50);
    g.SetProgress(5);
    EXPECT_EQ(g.Progress(), 50);
}

TEST(CoolGauge, ZeroMaximumShowsAnEmptyBar)
{
    TCoolGauge g;
    g.SetMinValue(-10);
    g.SetMaxValue(0);
    ASSERT_EQ(g.MaxValue(), 0);
    g.SetProgress(-4);
    EXPECT_EQ(g.FilledWidth(), 0);
    EXPECT_EQ(g.ShownText(), "0%");
    g.SetBorderStyle(TCoolGauge::bsNone);
    g.SetBackColor(gfx::clWhite);
    const QImage img = picture(g);
    EXPECT_EQ(at(img, 2, 2), gfx::clWhite);
}

TEST(CoolGauge, TextFormatKnowsPercentDAndDoublePercentOnly)
{
    TCoolGauge g;
    g.SetProgress(37);
    EXPECT_EQ(g.ShownText(), "37%");
    EXPECT_EQ(FormatGaugeText("%s%n%x %d", 5), "%s%n%x 5");
    EXPECT_EQ(FormatGaugeText("%d%% of %d", 42), "42% of 42");
    EXPECT_EQ(FormatGaugeText("100%", 1), "100%");
    EXPECT_EQ(FormatGaugeText("", 1), "");
    g.SetMaxValue(300);
    EXPECT_EQ(g.Percent(), 12);  // 37 / 300 rounds to 12 %
}

TEST(CoolGauge, RepaintsOnlyWhenTheBarOrItsNumberChanges)
{
    Host host;
    TCoolGauge g(&host);
    g.SetBounds(0, 0, 100, 20);
    g.show();
    g.SetMaxValue(1000);
    g.SetProgress(370);
    Host::settle();
    PaintCounter paints(&g);
    g.SetProgress(370);
    g.SetProgress(371);  // 37.1 px and 37.1 %: nothing moves
    Host::settle();
    EXPECT_EQ(paints.count, 0);
    g.SetProgress(376);  // 37.6 px rounds to 38
    Host::settle();
    EXPECT_EQ(paints.count, 1);

    // A narrow bar: the width stays at 3 px while the number moves from 31 % to 32 %.
    g.SetBounds(0, 0, 10, 20);
    g.SetMaxValue(100);
    g.SetProgress(31);
    Host::settle();
    paints.count = 0;
    g.SetProgress(32);
    Host::settle();
    EXPECT_EQ(paints.count, 1);
    g.SetText("");
    Host::settle();
    paints.count = 0;
    g.SetProgress(33);
    Host::settle();
    EXPECT_EQ(paints.count, 0);
}

TEST(CoolGauge, RampStepsFromTheFirstColourToTheSecond)
{
    TCoolGauge g;
    g.resize(256, 10);
    g.SetBorderStyle(TCoolGauge::bsNone);
    g.SetText("");
    g.SetProgress(50);
    QImage img = picture(g);
    // One unit per channel and band: blue to red meet halfway.
    EXPECT_EQ(at(img, 0, 5), gfx::RGB(1, 0, 254));
    EXPECT_EQ(at(img, 99, 5), gfx::RGB(100, 0, 155));
    EXPECT_EQ(at(img, 127, 5), gfx::RGB(128, 0, 127));
    EXPECT_EQ(at(img, 128, 5), gfx::clWhite);
    g.SetProgress(100);
    img = picture(g);
    EXPECT_EQ(at(img, 255, 5), gfx::clRed);
    // Solid: the first colour throughout; a border in the font colour.
    g.SetStyle(sSolid);
    g.SetBorderStyle(TCoolGauge::bsSingle);
    g.Font().SetColor(gfx::clLime);
    img = picture(g);
    EXPECT_EQ(at(img, 200, 5), gfx::clBlue);
    EXPECT_EQ(at(img, 0, 5), gfx::clLime);
    EXPECT_EQ(at(img, 100, 9), gfx::clLime);
}
