#include <gtest/gtest.h>

#include <QElapsedTimer>

#include "controls/display/DisplayTestSupport.h"
#include "controls/display/LightStr.h"

using namespace controls;
using namespace displaytest;

namespace {

// The marquee of the main window: 63 x 15, lime on teal on black, 5 dots high.
struct Marquee {
    TLightStr sign;
    std::vector<int> lines;
    std::vector<bool> active;
    int eofs = 0;
    Marquee()
    {
        sign.SetShowFontH(5);
        sign.resize(63, 15);
        sign.OnLineNext = [this](QObject*, int i) { lines.push_back(i); };
        sign.OnShowActive = [this](QObject*, bool on) { active.push_back(on); };
        sign.OnLineEof = [this](QObject*) { ++eofs; };
    }
};

}  // namespace

TEST(LightStr, StartWithoutLinesStaysIdle)
{
    Marquee m;
    m.sign.Start();
    EXPECT_FALSE(m.sign.ShowActive());
    EXPECT_TRUE(m.active.empty());
    m.sign.SetShowStrings({"A"});
    m.sign.Start();
    m.sign.Start();
    EXPECT_TRUE(m.sign.ShowActive());
    EXPECT_EQ(m.active, std::vector<bool>{true});
    m.sign.Stop();
    m.sign.Stop();  // told again, though nothing runs
    EXPECT_EQ(m.active, (std::vector<bool>{true, false, false}));
}

TEST(LightStr, WithoutLoopBothLinesThenOneBlankScreenThenStop)
{
    Marquee m;
    m.sign.SetShowLoop(false);
    m.sign.SetShowStrings({"AB", "CDE"});
    EXPECT_EQ(m.sign.ShowCount(), 2);
    m.sign.Start();
    std::vector<int> widths;
    m.sign.OnLineNext = [&](QObject*, int i) { m.lines.push_back(i); widths.push_back(-1); };
    int steps = 0;
    while (m.sign.ShowActive() && steps < 10000) {
        const int before = int(m.lines.size());
        m.sign.Step();
        ++steps;
        if (int(m.lines.size()) != before)
            widths.back() = m.sign.LineBitmap().Width();
    }
    ASSERT_EQ(m.lines, (std::vector<int>{0, 1}));
    EXPECT_EQ(m.eofs, 0);
    EXPECT_EQ(m.active, (std::vector<bool>{true, false}));
    const int blank = 63 / 3 + 1;
    EXPECT_EQ(steps, widths[0] + widths[1] + blank + 1);
    EXPECT_EQ(m.sign.ShowIndex(), -1);

    // The last text has scrolled out: the sign is dark, as a fresh one.
    Marquee fresh;
    EXPECT_EQ(picture(m.sign), picture(fresh.sign));

    // Starting again begins with the first line.
    m.sign.Start();
    EXPECT_TRUE(m.sign.ShowActive());
    EXPECT_EQ(m.lines.back(), 0);
}

TEST(LightStr, LoopStartsOverAfterTheLastLine)
{
    Marquee m;
    m.sign.SetShowStrings({"1", "2"});
    m.sign.Start();
    for (int i = 0; i < 200 && m.lines.size() < 4; ++i)
        m.sign.Step();
    EXPECT_EQ(m.lines, (std::vector<int>{0, 1, 0, 1}));
    EXPECT_EQ(m.eofs, 1);
    EXPECT_TRUE(m.sign.ShowActive());
}

TEST(LightStr, LitDotsFollowTheRenderedLine)
{
    Marquee m;
    m.sign.SetShowFontH(11);
    m.sign.resize(90, 33);
    m.sign.SetShowStrings({"W"});
    m.sign.Start();
    const QImage blank = picture(m.sign);
    for (int k = 0; k < 3; ++k)
        m.sign.Step();
    // Rendered without antialiasing: black and white only, so no edge half-lights a dot.
    const gfx::TBitmap& line = m.sign.LineBitmap();
    int black = 0;
    for (int y = 0; y < line.Height(); ++y)
        for (int x = 0; x < line.Width(); ++x) {
            const gfx::TColor c = line.PixelColor(x, y);
            ASSERT_TRUE(c == gfx::clBlack || c == gfx::clWhite) << x << "," << y;
            black += c == gfx::clBlack;
        }
    ASSERT_GT(black, 0);
    // The newest column (x = 87) shows line column 2; the one before it column 1.
    const QImage img = picture(m.sign);
    int lit = 0;
    for (int col = 1; col <= 2; ++col)
        for (int r = 0; r < 11; ++r) {
            const int x = 87 - 3 * (2 - col), y = 3 * r;
            const bool on = line.PixelColor(col, r) != gfx::clWhite;
            lit += on;
            EXPECT_EQ(at(img, x + 1, y + 1), on ? gfx::clLime : gfx::clTeal) << col << "," << r;
            EXPECT_EQ(at(img, x + 2, y + 2), gfx::clTeal);
            EXPECT_EQ(at(img, x, y + 1), gfx::clBlack);
            EXPECT_EQ(at(img, x + 1, y), gfx::clBlack);
        }
    EXPECT_GT(lit, 0);
    EXPECT_EQ(at(img, 1, 1), at(blank, 1, 1));  // the left edge has not been reached yet
}

TEST(LightStr, FiveDotLettersReachTheTopRow)
{
    Marquee m;
    m.sign.SetShowStrings({"Tambourelle"});
    m.sign.Start();
    bool topLit = false;
    for (int k = 0; k < 60 && !topLit; ++k) {
        m.sign.Step();
        topLit = at(picture(m.sign), 60 + 1, 1) == gfx::clLime;  // the newest column's top dot
    }
    EXPECT_TRUE(topLit) << "the capital T and the ascenders light the top dot row";
}

TEST(LightStr, SizeFollowsTheDotGrid)
{
    Marquee m;
    m.sign.resize(64, 15);
    picture(m.sign);
    EXPECT_EQ(m.sign.width(), 63);
    m.sign.resize(2, 15);
    picture(m.sign);
    EXPECT_EQ(m.sign.width(), 3);
    m.sign.SetShowFontH(0);
    m.sign.SetShowInterval(0);
    EXPECT_EQ(m.sign.ShowFontH(), 5);
    EXPECT_EQ(m.sign.ShowInterval(), 100u);
    m.sign.SetShowFontH(7);
    EXPECT_EQ(m.sign.height(), 21);
    m.sign.SetShowIndex(0);  // no lines yet
    EXPECT_EQ(m.sign.ShowIndex(), -1);
}

TEST(LightStr, TimerScrollsOnlyWhileActive)
{
    Marquee m;
    m.sign.SetShowInterval(1);
    m.sign.SetShowStrings({"X"});
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 30)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    EXPECT_TRUE(m.lines.empty());
    m.sign.Start();
    t.restart();
    while (m.lines.empty() && t.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    EXPECT_EQ(m.lines, std::vector<int>{0});
    m.sign.Stop();
}
