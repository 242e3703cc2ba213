#include <gtest/gtest.h>

#include <QMouseEvent>

#include "controls/display/AnalogMeter.h"
#include "controls/display/BitmapPanel.h"
#include "controls/display/DisplayTestSupport.h"

using namespace controls;
using namespace displaytest;

namespace {

// Counts every event of a meter.
struct EventLog {
    int change = 0, riseHigh = 0, fallHigh = 0, riseLow = 0, fallLow = 0;
    explicit EventLog(TAnalogMeter& m)
    {
        m.onChange = [this](QObject*) { ++change; };
        m.onRiseAboveHigh = [this](QObject*) { ++riseHigh; };
        m.onFallBelowHigh = [this](QObject*) { ++fallHigh; };
        m.onRiseAboveLow = [this](QObject*) { ++riseLow; };
        m.onFallBelowLow = [this](QObject*) { ++fallLow; };
    }
    int zones() const { return riseHigh + fallHigh + riseLow + fallLow; }
};

std::unique_ptr<gfx::TBitmap> filled(int w, int h, gfx::TColor color)
{
    auto b = std::make_unique<gfx::TBitmap>(w, h, gfx::pf32bit);
    b->Canvas().Brush().SetColor(color);
    b->Canvas().FillRect(gfx::Rect(0, 0, w, h));
    return b;
}

void mouse(QWidget& w, QEvent::Type type, QPoint at, Qt::MouseButtons held)
{
    QMouseEvent e(type, QPointF(at), w.mapToGlobal(QPointF(at)), Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(&w, &e);
}

}  // namespace

TEST(AnalogMeter, ValueIsClampedAndRewritingItFiresNothing)
{
    TAnalogMeter m;
    EventLog log(m);
    m.SetValue(m.Max() + 10);
    EXPECT_EQ(m.Value(), 100);
    EXPECT_EQ(log.change, 1);
    m.SetValue(100);
    m.SetValue(250);
    EXPECT_EQ(log.change, 1);
    m.SetMax(60);  // pulls the value into the new range
    EXPECT_EQ(m.Value(), 60);
    EXPECT_EQ(log.change, 2);
}

TEST(AnalogMeter, ZoneCrossingsFireOnce)
{
    TAnalogMeter m;
    m.SetLowZone(30);
    m.SetHighZone(70);
    m.SetValue(50);
    EventLog log(m);
    m.SetValue(80);
    m.SetValue(85);
    EXPECT_EQ(log.riseHigh, 1);
    EXPECT_EQ(log.zones(), 1);
    m.SetValue(50);
    EXPECT_EQ(log.fallHigh, 1);
    EXPECT_EQ(log.zones(), 2);
    // Straight across both boundaries: only the outer crossing is reported.
    m.SetValue(95);
    m.SetValue(5);
    EXPECT_EQ(log.riseHigh, 2);
    EXPECT_EQ(log.fallLow, 1);
    EXPECT_EQ(log.zones(), 4);
    m.SetValue(40);
    EXPECT_EQ(log.riseLow, 1);
    // Moving a boundary over the value reports the crossing too.
    m.SetLowZone(60);
    EXPECT_EQ(log.fallLow, 2);
    m.SetEnableZoneEvents(false);
    m.SetLowZone(10);
    m.SetValue(99);
    EXPECT_EQ(log.zones(), 6);
}

TEST(AnalogMeter, SettingsAreKeptInTheirRanges)
{
    TAnalogMeter m;
    m.SetHighZone(90);
    m.SetLowZone(95);
    EXPECT_EQ(m.HighZone(), 95);
    m.SetHighZone(20);
    EXPECT_EQ(m.LowZone(), 20);
    m.SetLowZone(300);
    EXPECT_EQ(m.LowZone(), 100);
    m.SetAngularRange(5);
    EXPECT_EQ(m.AngularRange(), 10);
    m.SetAngularRange(400);
    EXPECT_EQ(m.AngularRange(), 360);
    m.SetMax(8);
    m.SetTickCount(20);
    EXPECT_EQ(m.TickCount(), 8);
    m.SetMin(50);  // cannot pass the maximum
    EXPECT_EQ(m.Min(), 8);
    m.SetCaption("  LT ");
    EXPECT_EQ(m.Caption(), "LT");
    int resizes = 0;
    m.onResize = [&](QObject*) { ++resizes; };
    m.resize(40, 30);
    EXPECT_EQ(m.width(), 52);
    EXPECT_EQ(m.height(), 37);
    picture(m);
    picture(m);
    EXPECT_EQ(resizes, 1);
}

TEST(AnalogMeter, NeedleAngles)
{
    TAnalogMeter m;  // 0..100 over 270 degrees: from 45 past straight down, round the top
    EXPECT_DOUBLE_EQ(m.AngleOf(0), 45);
    EXPECT_DOUBLE_EQ(m.AngleOf(50), 180);
    EXPECT_DOUBLE_EQ(m.AngleOf(100), 315);
    m.SetAngularRange(180);
    EXPECT_DOUBLE_EQ(m.AngleOf(0), 90);
    EXPECT_DOUBLE_EQ(m.AngleOf(25), 135);
    EXPECT_EQ(TAnalogMeter::EllipsePoint(10, 10, 0), (gfx::TPoint{0, 10}));    // down
    EXPECT_EQ(TAnalogMeter::EllipsePoint(10, 10, 90), (gfx::TPoint{-10, 0}));  // left
    EXPECT_EQ(TAnalogMeter::EllipsePoint(20, 5, 180), (gfx::TPoint{0, -5}));   // up
    EXPECT_EQ(TAnalogMeter::EllipsePoint(20, 5, 270), (gfx::TPoint{20, 0}));   // right
    EXPECT_EQ(TAnalogMeter::EllipsePoint(0.5, 5, 30), (gfx::TPoint{0, 0}));
    // A range of one value keeps the needle at the start.
    m.SetMax(0);
    EXPECT_EQ(m.Max(), 0);
    EXPECT_DOUBLE_EQ(m.AngleOf(0), 90);
    EXPECT_DOUBLE_EQ(m.AngleOf(7), 90);
    EXPECT_FALSE(picture(m).isNull());
}

TEST(AnalogMeter, NeedleAndHubShowTheValueAndItsZone)
{
    TAnalogMeter m;
    m.SetColor(gfx::clWhite);
    auto needleUp = [&](const QImage& img) {
        const gfx::TPoint c = m.Centre();
        return at(img, c.X, c.Y - m.HubRadius() - 6) == gfx::clBlack;
    };
    auto hub = [&](const QImage& img) { return at(img, m.Centre().X, m.Centre().Y); };
    m.SetValue(50);
    QImage img = picture(m);
    EXPECT_TRUE(needleUp(img));
    EXPECT_EQ(hub(img), gfx::ColorToRGB(gfx::cl3DLight));
    m.SetValue(5);
    img = picture(m);
    EXPECT_FALSE(needleUp(img));
    EXPECT_EQ(hub(img), gfx::clYellow);
    m.SetValue(95);
    EXPECT_EQ(hub(picture(m)), gfx::clRed);
}

TEST(AnalogMeter, RepaintsOnlyForANewValue)
{
    Host host;
    TAnalogMeter m(&host);
    m.SetBounds(0, 0, 70, 70);
    m.show();
    m.SetValue(20);
    Host::settle();
    PaintCounter paints(&m);
    m.SetValue(20);
    m.SetValue(-5);
    m.SetValue(0);
    Host::settle();
    EXPECT_EQ(paints.count, 1);
}

TEST(AnalogMeter, TexturedMeterTakesItsPanelsPicture)
{
    TBitmapPanel panel;
    panel.SetDisplay(diSimple);
    panel.resize(200, 200);
    TAnalogMeter plain(&panel), textured(&panel);
    plain.SetBounds(10, 10, 70, 70);
    textured.SetBounds(100, 10, 70, 70);
    plain.SetColor(gfx::clWhite);
    textured.SetColor(gfx::clWhite);
    textured.SetTexture(true);
    panel.SetBitmap(*filled(200, 200, gfx::clGreen));
    EXPECT_EQ(at(picture(textured), 3, 3), gfx::clGreen);  // outside the dial
    EXPECT_EQ(at(picture(plain), 3, 3), gfx::clWhite);
}

TEST(BitmapPanel, LayoutsSizeAndPlaceTheBitmap)
{
    TBitmapPanel panel;
    panel.SetColor(gfx::clBlack);
    panel.resize(10, 10);
    panel.SetBitmap(*filled(40, 30, gfx::clRed));
    EXPECT_EQ(panel.size(), QSize(40, 30));  // autosize
    panel.SetDisplay(diCenter);
    panel.resize(60, 50);
    QImage img = picture(panel);
    EXPECT_EQ(at(img, 9, 9), gfx::clBlack);
    EXPECT_EQ(at(img, 10, 10), gfx::clRed);
    EXPECT_EQ(at(img, 49, 39), gfx::clRed);
    EXPECT_EQ(at(img, 50, 40), gfx::clBlack);
    panel.SetDisplay(diKeepAscpect);  // 60 x 45 fits, centred in 60 x 50
    img = picture(panel);
    EXPECT_EQ(at(img, 30, 1), gfx::clBlack);
    EXPECT_EQ(at(img, 30, 3), gfx::clRed);
    panel.SetDisplay(diSimple);  // grows to hold the bitmap, never shrinks
    panel.resize(20, 20);
    panel.SetBitmap(*filled(40, 30, gfx::clRed));
    EXPECT_EQ(panel.size(), QSize(40, 30));

    int changes = 0;
    panel.OnDisplayChange = [&](QObject*) { ++changes; };
    panel.SetAlign(TBitmapPanel::alTop);
    panel.SetDisplay(diAutosize);
    EXPECT_EQ(panel.Display(), diCenter);
    EXPECT_EQ(changes, 1);
}

TEST(BitmapPanel, PressSelectsAndAMoveableOneIsDragged)
{
    Host host;
    TBitmapPanel panel(&host);
    panel.SetColor(gfx::clWhite);
    panel.SetBounds(10, 10, 50, 40);
    panel.show();
    int selects = 0, moves = 0;
    panel.OnSelectClick = [&](QObject*) { ++selects; };
    panel.OnPanelMove = [&](QObject*) { ++moves; };

    mouse(panel, QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton);
    EXPECT_EQ(selects, 1);
    EXPECT_TRUE(panel.Selected());
    EXPECT_EQ(at(picture(panel), 1, 1), gfx::clRed);
    mouse(panel, QEvent::MouseMove, {15, 5}, Qt::LeftButton);
    EXPECT_EQ(panel.pos(), QPoint(10, 10));  // not moveable
    mouse(panel, QEvent::MouseButtonRelease, {15, 5}, Qt::NoButton);
    EXPECT_FALSE(panel.Selected());
    EXPECT_EQ(at(picture(panel), 1, 1), gfx::clWhite);

    panel.SetMoveable(true);
    mouse(panel, QEvent::MouseButtonPress, {5, 5}, Qt::LeftButton);
    mouse(panel, QEvent::MouseMove, {25, 15}, Qt::LeftButton);
    EXPECT_EQ(panel.pos(), QPoint(30, 20));
    mouse(panel, QEvent::MouseButtonRelease, {5, 5}, Qt::NoButton);
    EXPECT_EQ(moves, 1);
    EXPECT_EQ(panel.pos(), QPoint(30, 20));
}
