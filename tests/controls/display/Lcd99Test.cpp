#include <gtest/gtest.h>

#include <set>

#include <QElapsedTimer>

#include "controls/display/DisplayTestSupport.h"
#include "controls/display/Lcd99.h"
#include "platform/rtl/Numerics.h"

using namespace controls;
using namespace displaytest;

namespace {

TSegmentPattern segs(std::initializer_list<int> list)
{
    TSegmentPattern p = 0;
    for (int s : list)
        p |= TSegmentPattern(1u << (s - 1));
    return p;
}

constexpr gfx::TColor kBack = gfx::clNavy, kOn = gfx::clRed, kOff = gfx::RGB(0, 64, 0);

// The default 92 x 34 solid display (cells 15 wide, 21 apart, the first at x = 6) in colours
// that tell background, lit and unlit apart.
struct LcdFixture {
    TLCD99 lcd;
    explicit LcdFixture(int digits = 4)
    {
        lcd.SetColor(kBack);
        lcd.SetOnColor(kOn);
        lcd.SetOffColor(kOff);
        lcd.SetDigitNum(digits);
        lcd.resize(digits == 4 ? 92 : 113, 34);
    }
    int x0(int cell) const { return 6 + cell * 21; }
    gfx::TColor top(const QImage& img, int cell) const { return at(img, x0(cell) + 7, 1); }
    gfx::TColor middle(const QImage& img, int cell) const { return at(img, x0(cell) + 7, 16); }
    gfx::TColor upperLeft(const QImage& img, int cell) const { return at(img, x0(cell) + 1, 8); }
    gfx::TColor colon(const QImage& img, int cell) const { return at(img, x0(cell) + 7, 10); }
    gfx::TColor point(const QImage& img, int cell) const { return at(img, x0(cell) - 4, 31); }
};

}  // namespace

TEST(Lcd99, SegmentTable)
{
    EXPECT_EQ(SegmentPattern('8'), segs({1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(SegmentPattern('0'), segs({1, 2, 3, 5, 6, 7}));
    EXPECT_EQ(SegmentPattern('1'), segs({3, 6}));
    EXPECT_EQ(SegmentPattern('7'), segs({1, 3, 6}));
    EXPECT_EQ(SegmentPattern('A'), segs({1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(SegmentPattern('M'), SegmentPattern('N'));
    EXPECT_EQ(SegmentPattern('R'), segs({4, 5}));
    EXPECT_EQ(SegmentPattern('Z'), SegmentPattern('2'));
    EXPECT_EQ(SegmentPattern('-'), segs({4}));
    EXPECT_EQ(SegmentPattern(':'), segs({8}));
    EXPECT_EQ(SegmentPattern(' '), 0);
    for (char c = '0'; c <= '9'; ++c)
        EXPECT_NE(SegmentPattern(c), 0) << c;
    for (char c = 'A'; c <= 'Z'; ++c) {
        EXPECT_NE(SegmentPattern(c), 0) << c;
        EXPECT_EQ(SegmentPattern(c) & segs({8}), 0) << c;
    }
    EXPECT_EQ(SegmentOrder(anNone), (std::array<int, 8>{1, 2, 3, 8, 4, 5, 6, 7}));
    EXPECT_EQ(SegmentOrder(anSpiral), (std::array<int, 8>{8, 4, 2, 1, 3, 6, 7, 5}));
    EXPECT_EQ(SegmentOrder(anRight), (std::array<int, 8>{2, 5, 1, 8, 4, 7, 3, 6}));
}

TEST(Lcd99, WrittenTextIsUpperCasedCheckedAndSplit)
{
    EXPECT_EQ(NormaliseLcdText("12a"), "12A");
    EXPECT_EQ(NormaliseLcdText("1#2"), "");
    EXPECT_EQ(NormaliseLcdText("１２"), "");  // full-width digits are outside the set
    EXPECT_EQ(NormaliseLcdText("5."), "5");
    EXPECT_EQ(NormaliseLcdText("5.."), "5.");
    EXPECT_EQ(NormaliseLcdText("12:34 -"), "12:34 -");

    TLcdCells c = SplitLcdText("3.14", 4);
    EXPECT_EQ(c.digits, " 314");
    EXPECT_EQ(c.points, "  . ");
    c = SplitLcdText("12", 5);
    EXPECT_EQ(c.digits, "   12");
    c = SplitLcdText("123456", 4);
    EXPECT_EQ(c.digits, "1234");
    c = SplitLcdText("1..2", 3);
    EXPECT_EQ(c.digits, "1 2");
    EXPECT_EQ(c.points, " ..");
    c = SplitLcdText("5.", 2);  // a point after the last character marks no cell
    EXPECT_EQ(c.digits, " 5");
    EXPECT_EQ(c.points, "  ");
}

TEST(Lcd99, ValueChangesFireOnceWithOldAndNewText)
{
    TLCD99 lcd;
    std::vector<std::pair<std::string, std::string>> seen;
    lcd.OnChange = [&](QObject*, const std::string& o, const std::string& n) { seen.emplace_back(o, n); };
    lcd.SetValue("12a");
    lcd.SetValue("12A");  // the text shown: nothing happens
    lcd.SetValue("12a");  // another spelling of it: stored and announced again
    lcd.SetValue("1#");
    lcd.SetValue("1#");   // not the text shown (that is empty): announced again
    using Change = std::pair<std::string, std::string>;
    EXPECT_EQ(seen, (std::vector<Change>{{"", "12A"}, {"12A", "12A"}, {"12A", ""}, {"", ""}}));
    EXPECT_EQ(lcd.Value(), "");
}

TEST(Lcd99, RefusesGeometryThatCannotBeDrawn)
{
    TLCD99 lcd;
    lcd.SetDigitNum(0);
    lcd.SetDigitNum(-3);
    EXPECT_EQ(lcd.DigitNum(), 4);
    lcd.SetSegmentSize(0);
    EXPECT_EQ(lcd.SegmentSize(), 2);
    lcd.SetDotSpacing(-2);  // pitch 2 + -2 = 0
    EXPECT_EQ(lcd.DotSpacing(), 2);
    lcd.SetDotSpacing(-1);  // pitch 1 still works
    EXPECT_EQ(lcd.DotSpacing(), -1);
    lcd.SetSegmentSize(1);  // would make the pitch 0
    EXPECT_EQ(lcd.SegmentSize(), 2);
    lcd.SetDotDisplay(true);
    lcd.SetValue("8:8.8");
    lcd.resize(3, 2);  // too small for any cell
    EXPECT_FALSE(picture(lcd).isNull());
}

TEST(Lcd99, SolidCellsShowTheirSegmentsAndPoints)
{
    LcdFixture d;
    d.lcd.SetValue("3.14");
    QImage img = picture(d.lcd);
    EXPECT_EQ(at(img, 1, 1), kBack);
    EXPECT_EQ(d.top(img, 0), kOff);    // blank leading cell
    EXPECT_EQ(d.top(img, 1), kOn);     // 3
    EXPECT_EQ(d.upperLeft(img, 1), kOff);
    EXPECT_EQ(d.top(img, 2), kOff);    // 1
    EXPECT_EQ(d.point(img, 2), kOn);   // the point before the 1
    EXPECT_EQ(d.point(img, 3), kOff);
    EXPECT_EQ(d.middle(img, 3), kOn);  // 4
    EXPECT_EQ(d.upperLeft(img, 3), kOn);

    d.lcd.SetValue("1:");  // the trailing colon is a cell of its own
    img = picture(d.lcd);
    EXPECT_EQ(d.colon(img, 3), kOn);
    EXPECT_EQ(d.top(img, 3), kOff);
    EXPECT_EQ(d.middle(img, 3), kOff);
    EXPECT_EQ(d.colon(img, 2), kOff);
    EXPECT_EQ(d.point(img, 2), kOff);

    d.lcd.SetValue("");
    img = picture(d.lcd);
    for (int cell = 0; cell < 4; ++cell) {
        EXPECT_EQ(d.top(img, cell), kOff);
        EXPECT_EQ(d.middle(img, cell), kOff);
    }
}

TEST(Lcd99, ShortTextIsRightAligned)
{
    LcdFixture d(5);
    d.lcd.SetValue("12");
    const QImage img = picture(d.lcd);
    for (int cell = 0; cell < 3; ++cell)
        EXPECT_EQ(d.top(img, cell), kOff) << cell;
    EXPECT_EQ(d.top(img, 3), kOff);  // 1
    EXPECT_EQ(at(img, d.x0(3) + 14, 8), kOn);
    EXPECT_EQ(d.top(img, 4), kOn);   // 2
}

TEST(Lcd99, OnlyChangedCellsAreDrawnAgain)
{
    LcdFixture d;
    d.lcd.SetValue("1234");
    picture(d.lcd);
    // Mark the first cell behind the control's back; an unchanged cell is not drawn over.
    d.lcd.Canvas().SetPixel(d.x0(0) + 7, 1, gfx::clWhite);
    d.lcd.Canvas().SetPixel(d.x0(3) + 7, 1, gfx::clWhite);
    d.lcd.SetValue("1235");
    const QImage img = picture(d.lcd);
    EXPECT_EQ(at(img, d.x0(0) + 7, 1), gfx::clWhite);
    EXPECT_EQ(at(img, d.x0(3) + 7, 1), kOn);  // 5 lights its top again
}

TEST(Lcd99, DotCellsKeepSharedCornersLit)
{
    // 3 px dots on a 4 px pitch: a 4-digit 92 x 34 display has cells of four dot columns at
    // x = 5 + 20i and seven dot rows at y = 0, 4, .., 24 (the middle row at 12).
    TLCD99 lcd;
    lcd.SetColor(kBack);
    lcd.SetOnColor(kOn);
    lcd.SetOffColor(kOff);
    lcd.SetDotDisplay(true);
    lcd.SetSegmentSize(3);
    lcd.SetDotSpacing(1);
    lcd.SetValue("   7");  // 7: top, upper right, lower right
    const QImage img = picture(lcd);
    const int x0 = 5 + 3 * 20;
    auto dot = [&](int col, int row) { return at(img, x0 + 4 * col + 1, 4 * row + 1); };
    EXPECT_EQ(dot(0, 0), kOn);   // top-left corner: the lit top bar's own end
    EXPECT_EQ(dot(1, 0), kOn);
    EXPECT_EQ(dot(0, 1), kOff);  // unlit upper left
    EXPECT_EQ(dot(3, 3), kOn);   // middle-right corner, shared with the lit verticals
    EXPECT_EQ(dot(0, 3), kOff);  // middle-left corner: nothing lit meets there
    EXPECT_EQ(dot(1, 3), kOff);  // unlit middle bar
    EXPECT_EQ(dot(3, 6), kOn);   // bottom-right end of the lit lower right
    EXPECT_EQ(dot(1, 6), kOff);  // unlit bottom bar
    EXPECT_EQ(at(img, x0 + 3, 1), kBack);  // between two dots
}

TEST(Lcd99, RandomAnimationPicksOnlyAnimatedOrders)
{
    rtl::RandSeed = 7;
    std::set<int> picked;
    for (int i = 0; i < 200; ++i) {
        const TLCDAnimation a = ResolveAnimation(anRandom);
        ASSERT_GE(a, anSpiral);
        ASSERT_LE(a, anRight);
        picked.insert(a);
    }
    EXPECT_EQ(picked.size(), 5u);
    EXPECT_EQ(ResolveAnimation(anUp), anUp);
}

TEST(Lcd99, AnimationBuildsUpInTimerStepsAndPaintsMeanwhileDoNothing)
{
    LcdFixture d;
    d.lcd.SetValue("   1");
    picture(d.lcd);
    d.lcd.SetAnimation(anUp);  // bottom first, top last
    d.lcd.SetAnimationDelay(70);
    d.lcd.SetValue("   8");
    const QImage first = picture(d.lcd);
    EXPECT_TRUE(d.lcd.IsPainting());
    EXPECT_EQ(at(first, d.x0(3) + 7, 32), kOn);  // bottom bar drawn in the first step
    EXPECT_EQ(d.top(first, 3), kOff);            // top bar not yet
    EXPECT_EQ(picture(d.lcd), first);            // a paint meanwhile changes nothing
    QElapsedTimer t;
    t.start();
    while (d.lcd.IsPainting() && t.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    EXPECT_FALSE(d.lcd.IsPainting());

    LcdFixture plain;
    plain.lcd.SetValue("   8");
    EXPECT_EQ(picture(d.lcd), picture(plain.lcd));

    // A value written during a build-up completes it first.
    d.lcd.SetValue("   0");
    picture(d.lcd);
    EXPECT_TRUE(d.lcd.IsPainting());
    d.lcd.SetAnimation(anNone);
    d.lcd.SetValue("   2");
    EXPECT_FALSE(d.lcd.IsPainting());
    plain.lcd.SetValue("   2");
    EXPECT_EQ(picture(d.lcd), picture(plain.lcd));
}
