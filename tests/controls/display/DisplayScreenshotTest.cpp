// Writes each display control's look to PNG files under the build folder
// (screenshots/controls/), at real size and enlarged four times, for people to look at.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QPainter>

#include "controls/display/AnalogMeter.h"
#include "controls/display/BitmapPanel.h"
#include "controls/display/CoolGauge.h"
#include "controls/display/DisplayTestSupport.h"
#include "controls/display/LED.h"
#include "controls/display/Lcd99.h"
#include "controls/display/LightStr.h"
#include "platform/forms/Control.h"

using namespace controls;
using namespace displaytest;

namespace {

// A sheet of controls on a face-coloured panel.
struct Sheet {
    forms::TCustomControl panel;
    explicit Sheet(int w, int h)
    {
        panel.SetColor(gfx::clBtnFace);
        panel.resize(w, h);
    }
    void save(const char* name)
    {
        const QString dir = QCoreApplication::applicationDirPath() + "/../screenshots/controls";
        ASSERT_TRUE(QDir().mkpath(dir));
        const QImage img = picture(panel);
        // Something besides the face colour was drawn.
        bool drawn = false;
        for (int y = 0; y < img.height() && !drawn; ++y)
            for (int x = 0; x < img.width() && !drawn; ++x)
                drawn = at(img, x, y) != gfx::ColorToRGB(gfx::clBtnFace);
        EXPECT_TRUE(drawn);
        const QString base = dir + "/" + name;
        EXPECT_TRUE(img.save(base + ".png"));
        EXPECT_TRUE(img.scaled(img.size() * 4, Qt::IgnoreAspectRatio, Qt::FastTransformation).save(base + "-x4.png"));
    }
};

}  // namespace

TEST(DisplayScreenshots, Leds)
{
    Sheet s(120, 40);
    TLED a(&s.panel), b(&s.panel), c(&s.panel), d(&s.panel);
    a.SetBounds(4, 4, 19, 11);
    b.SetBounds(28, 4, 19, 11);
    c.SetBounds(52, 4, 24, 13);
    d.SetBounds(84, 4, 13, 28);
    b.SetStatus(true);
    d.SetStatus(true);
    s.save("led");
}

TEST(DisplayScreenshots, Lcds)
{
    Sheet s(220, 130);
    TLCD99 main(&s.panel), plain(&s.panel), dots(&s.panel), letters(&s.panel);
    main.SetBounds(4, 4, 66, 13);  // the main window's odometer
    main.SetDigitNum(5);
    main.SetOnColor(gfx::clRed);
    main.SetOffColor(gfx::RGB(48, 0, 0));
    main.SetDigitSpacing(1);
    main.SetGapX(0);
    main.SetGapY(0);
    main.SetSegmentSize(1);
    main.SetValue("12345");
    plain.SetBounds(4, 24, 92, 34);
    plain.SetDigitNum(5);
    plain.SetOffColor(gfx::RGB(0, 48, 0));
    plain.SetValue("12:34");
    dots.SetBounds(100, 24, 114, 44);
    dots.SetDotDisplay(true);
    dots.SetOffColor(gfx::RGB(0, 40, 40));
    dots.SetOnColor(gfx::clAqua);
    dots.SetValue("3.14");
    letters.SetBounds(4, 76, 210, 44);
    letters.SetDigitNum(7);
    letters.SetOffColor(gfx::RGB(40, 40, 0));
    letters.SetOnColor(gfx::clYellow);
    letters.SetValue("hello-8");
    s.save("lcd");
}

TEST(DisplayScreenshots, Meters)
{
    Sheet s(270, 125);
    TAnalogMeter big(&s.panel), left(&s.panel), balance(&s.panel);
    big.SetBounds(4, 4, 121, 117);
    big.SetValue(35);
    left.SetBounds(130, 4, 70, 70);
    left.SetMax(150);
    left.SetCaption("LT");
    left.SetValue(120);
    balance.SetBounds(210, 4, 52, 56);
    balance.SetCaption("BL");
    balance.SetValue(50);
    s.save("meter");
}

TEST(DisplayScreenshots, TexturedMeterOnBitmapPanel)
{
    Sheet s(150, 100);
    TBitmapPanel panel(&s.panel);
    panel.move(4, 4);
    gfx::TBitmap stripes(140, 90, gfx::pf32bit);
    for (int y = 0; y < 90; y += 10) {
        stripes.Canvas().Brush().SetColor(y % 20 ? gfx::RGB(60, 90, 140) : gfx::RGB(90, 130, 190));
        stripes.Canvas().FillRect(gfx::Rect(0, y, 140, y + 10));
    }
    TAnalogMeter meter(&panel);
    meter.SetBounds(10, 10, 70, 70);
    meter.SetTexture(true);
    meter.SetCaption("RT");
    meter.SetValue(80);
    panel.SetBitmap(stripes);
    s.save("bitmap-panel");
}

TEST(DisplayScreenshots, Gauges)
{
    Sheet s(190, 80);
    TCoolGauge mp3(&s.panel), dithered(&s.panel), solid(&s.panel);
    mp3.SetBounds(4, 4, 175, 15);  // the converter's gauge
    mp3.SetBorderStyle(TCoolGauge::bsNone);
    mp3.SetForeColor1(gfx::RGB(200, 220, 255));
    mp3.SetForeColor2(gfx::RGB(255, 200, 220));
    mp3.SetProgress(37);
    dithered.SetBounds(4, 26, 180, 20);
    dithered.SetProgress(70);
    solid.SetBounds(4, 52, 180, 20);
    solid.SetStyle(sSolid);
    solid.SetForeColor1(gfx::clGreen);
    solid.Font().SetColor(gfx::clNavy);
    solid.SetText("%d%% done");
    solid.SetProgress(45);
    s.save("gauge");
}

TEST(DisplayScreenshots, Marquees)
{
    Sheet s(200, 60);
    TLightStr main(&s.panel), big(&s.panel);
    main.move(4, 4);
    main.SetShowFontH(5);
    main.resize(63, 15);
    main.SetShowStrings({"______x______"});
    big.move(4, 24);
    big.SetShowFontH(11);
    big.resize(189, 33);
    big.SetShowStrings({"Tambourelle : 宇宙"});
    main.Start();
    big.Start();
    for (int i = 0; i < 60; ++i) {
        main.Step();
        big.Step();
    }
    s.save("marquee");
}
