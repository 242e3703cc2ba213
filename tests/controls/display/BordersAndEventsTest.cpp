// The display controls' borders, the bitmap panel's resize veto and the meter's zone
// percents read back from their boundaries.
#include <gtest/gtest.h>

#include <memory>

#include "controls/display/AnalogMeter.h"
#include "controls/display/BitmapPanel.h"
#include "controls/display/DisplayTestSupport.h"
#include "controls/display/LightStr.h"

using namespace controls;
using namespace displaytest;

namespace {

std::unique_ptr<gfx::TBitmap> filled(int w, int h, gfx::TColor color)
{
    auto b = std::make_unique<gfx::TBitmap>(w, h, gfx::pf32bit);
    b->Canvas().Brush().SetColor(color);
    b->Canvas().FillRect(gfx::Rect(0, 0, w, h));
    return b;
}

}  // namespace

TEST(DisplayBorders, SingleBorderFramesTheMarqueeAndThePanel)
{
    TLightStr sign;
    sign.SetShowFontH(5);
    sign.resize(63, 15);
    sign.SetBackColor(gfx::clNavy);
    picture(sign);
    ASSERT_EQ(sign.size(), QSize(63, 15));
    sign.SetBorderStyle(TLightStr::bsSingle);
    QImage img = picture(sign);
    EXPECT_EQ(sign.size(), QSize(65, 17));  // the same 21 x 5 dots inside a frame
    for (QPoint p : {QPoint(0, 0), QPoint(64, 0), QPoint(0, 16), QPoint(64, 16), QPoint(30, 16)})
        EXPECT_EQ(at(img, p.x(), p.y()), gfx::clBlack) << p.x() << "," << p.y();
    EXPECT_EQ(at(img, 1, 1), gfx::clNavy);  // the first dot cell's corner, inside the frame
    sign.SetBorderStyle(TLightStr::bsNone);
    picture(sign);
    EXPECT_EQ(sign.size(), QSize(63, 15));

    TBitmapPanel panel;
    panel.SetColor(gfx::clWhite);
    panel.SetBorderStyle(TBitmapPanel::bsSingle);
    panel.SetBitmap(*filled(40, 30, gfx::clRed));
    EXPECT_EQ(panel.size(), QSize(42, 32));  // sized to the bitmap and its frame
    img = picture(panel);
    EXPECT_EQ(at(img, 0, 0), gfx::clBlack);
    EXPECT_EQ(at(img, 41, 31), gfx::clBlack);
    EXPECT_EQ(at(img, 1, 1), gfx::clRed);
    EXPECT_EQ(at(img, 40, 30), gfx::clRed);
}

TEST(DisplayBorders, PanelAsksBeforeItsSizeChanges)
{
    TBitmapPanel panel;
    panel.resize(30, 30);
    std::vector<QSize> asked;
    bool allow = false;
    panel.OnCanResize = [&](QObject*, int& w, int& h, bool& resize) {
        asked.emplace_back(w, h);
        resize = allow;
        h = std::min(h, 50);  // a taller panel is cut to 50
    };
    panel.SetBitmap(*filled(80, 60, gfx::clRed));  // autosize, vetoed
    ASSERT_EQ(asked, std::vector<QSize>{QSize(80, 60)});
    EXPECT_EQ(panel.size(), QSize(30, 30));
    panel.SetBounds(5, 6, 70, 70);
    EXPECT_EQ(panel.pos(), QPoint(5, 6));
    EXPECT_EQ(panel.size(), QSize(30, 30));
    allow = true;
    panel.SetBounds(5, 6, 70, 70);
    EXPECT_EQ(panel.size(), QSize(70, 50));

    // A shown panel resized from elsewhere is put back when the answer is no.
    Host host;
    TBitmapPanel shown(&host);
    shown.resize(40, 40);
    shown.show();
    Host::settle();
    shown.OnCanResize = [](QObject*, int&, int&, bool& resize) { resize = false; };
    shown.resize(90, 20);
    Host::settle();
    EXPECT_EQ(shown.size(), QSize(40, 40));
}

TEST(DisplayBorders, ZonePercentsReadBackFromTheBoundaries)
{
    TAnalogMeter m;
    m.SetMax(150);
    m.SetLowZone(33);
    m.SetHighZone(67);
    EXPECT_EQ(m.LowZone(), 33);
    EXPECT_EQ(m.HighZone(), 67);
    m.SetMax(m.Min());  // an empty range: every boundary sits on Min
    EXPECT_EQ(m.Max(), m.Min());
    EXPECT_EQ(m.LowZone(), 0);
    EXPECT_EQ(m.HighZone(), 0);
    m.SetMax(200);  // the percents set still place the boundaries
    EXPECT_EQ(m.LowZone(), 33);
    EXPECT_EQ(m.HighZone(), 67);
}
