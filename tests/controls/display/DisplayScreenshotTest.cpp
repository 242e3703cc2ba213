// Writes each display control's look to PNG files under the build folder
// (screenshots/controls/), at real size and enlarged four times, for people to look at, and
// checks in each picture what such a person looks for: the lamp lit or dark, lit and unlit
// segments and dots in their own colours, the meter's zones and needle, the gauge's ramp
// ends, and texts that fit.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include <QCoreApplication>
#include <QDir>
#include <QPainter>

#include "controls/ControlTestSupport.h"
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
using controltest::between;
using controltest::captionFits;
using controltest::countColour;
using controltest::inkInside;
using controltest::near;
using controltest::showsColour;

namespace {

// A sheet of controls on a face-coloured panel.
struct Sheet {
    forms::TCustomControl panel;
    explicit Sheet(int w, int h)
    {
        panel.SetColor(gfx::clBtnFace);
        panel.resize(w, h);
    }
    // Saves the sheet and returns its picture.
    QImage save(const char* name)
    {
        const QString dir = QCoreApplication::applicationDirPath() + "/../screenshots/controls";
        EXPECT_TRUE(QDir().mkpath(dir));
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
        return img;
    }
    // Where a control stands on the sheet.
    QRect place(const QWidget& w) const { return QRect(w.mapTo(&panel, QPoint(0, 0)), w.size()); }
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
    const QImage img = s.save("led");
    // Red when on, grey when off, each with its black outline and white bevel.
    for (TLED* led : {&a, &b, &c, &d}) {
        const QRect r = s.place(*led);
        SCOPED_TRACE(led->Status() ? "on" : "off");
        EXPECT_TRUE(showsColour(img, gfx::clBlack, "the outline", 0, r));
        EXPECT_TRUE(showsColour(img, gfx::clWhite, "the bevel", 0, r));
        EXPECT_EQ(countColour(img, gfx::clRed, 0, r) > 0, led->Status());
        EXPECT_TRUE(showsColour(img, 0x808080, "the grey", 0, r));
    }
    // The lit lamp is mostly red, the dark one mostly grey.
    EXPECT_GT(countColour(img, gfx::clRed, 0, s.place(b)), countColour(img, 0x808080, 0, s.place(b)));
    EXPECT_GT(countColour(img, 0x808080, 0, s.place(a)), 2 * countColour(img, 0x808080, 0, s.place(b)) / 3);
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
    const QImage img = s.save("lcd");
    // Each display shows its background, lit segments in OnColor and unlit ones in OffColor,
    // and nothing of either strays outside it.
    for (TLCD99* lcd : {&main, &plain, &dots, &letters}) {
        const QRect r = s.place(*lcd);
        SCOPED_TRACE(lcd->Value());
        EXPECT_TRUE(showsColour(img, lcd->Color(), "Color", 0, r));
        EXPECT_TRUE(showsColour(img, lcd->OnColor(), "OnColor", 0, r));
        EXPECT_TRUE(showsColour(img, lcd->OffColor(), "OffColor", 0, r));
        EXPECT_EQ(countColour(img, lcd->OnColor()) , countColour(img, lcd->OnColor(), 0, r));
    }
    // "12345" lights 26 of 35 segments, far more than it leaves dark.
    EXPECT_GT(countColour(img, main.OnColor(), 0, s.place(main)), countColour(img, main.OffColor(), 0, s.place(main)));
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
    const QImage img = s.save("meter");
    for (TAnalogMeter* m : {&big, &left, &balance}) {
        const QRect r = s.place(*m);
        SCOPED_TRACE(m->Caption());
        // The low and high zones, the ticks and needle in TickColor, and the value below.
        EXPECT_TRUE(showsColour(img, m->LowZoneColor(), "LowZoneColor", 0, r));
        EXPECT_TRUE(showsColour(img, m->HighZoneColor(), "HighZoneColor", 0, r));
        EXPECT_TRUE(showsColour(img, m->OKZoneColor(), "OKZoneColor", 0, r));
        EXPECT_TRUE(showsColour(img, m->TickColor(), "TickColor", 0, r));
        EXPECT_TRUE(inkInside(img, m->Font().Color(), 0, r.adjusted(1, 1, -1, -1)));
        EXPECT_TRUE(captionFits(m->Font(), m->Caption(), m->width() / 2));
        EXPECT_TRUE(captionFits(m->Font(), std::to_string(m->Value()), m->width() - 4));
    }
    // The needle's hub takes the colour of the zone the value is in: 120 of 150 is high.
    EXPECT_GT(countColour(img, left.HighZoneColor(), 0, s.place(left)),
              countColour(img, balance.HighZoneColor(), 0, s.place(balance)));
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
    const QImage img = s.save("bitmap-panel");
    // The stripes show round the meter and, through its texture, inside it too, with the
    // zones drawn over them.
    const QRect r = s.place(meter);
    for (gfx::TColor stripe : {gfx::RGB(60, 90, 140), gfx::RGB(90, 130, 190)}) {
        EXPECT_TRUE(showsColour(img, stripe, "a stripe", 0, s.place(panel)));
        EXPECT_TRUE(showsColour(img, stripe, "a stripe under the meter", 0, r));
    }
    EXPECT_TRUE(showsColour(img, meter.LowZoneColor(), "LowZoneColor", 0, r));
    EXPECT_TRUE(showsColour(img, meter.HighZoneColor(), "HighZoneColor", 0, r));
    EXPECT_TRUE(captionFits(meter.Font(), meter.Caption(), meter.width() / 2));
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
    const QImage img = s.save("gauge");
    for (TCoolGauge* g : {&mp3, &dithered, &solid}) {
        const QRect r = s.place(*g);
        SCOPED_TRACE(g->ShownText());
        const int filled = int(std::lround(double(g->width()) / g->MaxValue() * g->Progress()));
        const int y = r.top() + g->height() / 2, edge = g->BorderStyle() == TCoolGauge::bsNone ? 0 : 1;
        // The ramp starts at ForeColor1 (a step or two in: the 256 bands are narrower than a
        // pixel) and stops at the filled width; the rest is BackColor; a single border is in
        // the font colour.
        EXPECT_TRUE(near(at(img, r.left() + edge, r.top() + edge + 1), g->ForeColor1(), 3))
            << std::hex << at(img, r.left() + edge, r.top() + edge + 1);
        EXPECT_TRUE(between(at(img, r.left() + filled - 1, r.top() + edge + 1), g->ForeColor1(), g->ForeColor2()));
        EXPECT_EQ(at(img, r.left() + filled, r.top() + edge + 1), gfx::ColorToRGB(g->BackColor()));
        EXPECT_EQ(at(img, r.right() - edge - 1, y), gfx::ColorToRGB(g->BackColor()));
        if (edge) {
            EXPECT_EQ(at(img, r.left(), r.top()), gfx::ColorToRGB(g->Font().Color()));
        } else {
            EXPECT_NE(at(img, r.left(), r.top()), gfx::ColorToRGB(g->Font().Color()));
        }
        // The percentage text fits and none of it is cut.
        EXPECT_TRUE(captionFits(g->Font(), g->ShownText(), g->width() - 2 * edge - 2));
        EXPECT_TRUE(inkInside(img, g->Font().Color(), 0, r.adjusted(edge, edge, -edge, -edge)));
    }
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
    const QImage img = s.save("marquee");
    // Lit dots in LightColor over unlit ones in DarkColor on the BackColor grid; the big
    // marquee's text has scrolled into view.
    for (TLightStr* m : {&main, &big}) {
        const QRect r = s.place(*m);
        EXPECT_TRUE(showsColour(img, m->LightColor(), "LightColor", 0, r));
        EXPECT_TRUE(showsColour(img, m->DarkColor(), "DarkColor", 0, r));
        EXPECT_TRUE(showsColour(img, m->BackColor(), "BackColor", 0, r));
        EXPECT_LT(countColour(img, m->LightColor(), 0, r), countColour(img, m->DarkColor(), 0, r));
    }
    EXPECT_GT(countColour(img, big.LightColor(), 0, s.place(big)), 150);
}
