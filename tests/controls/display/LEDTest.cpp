#include <gtest/gtest.h>

#include "controls/display/LED.h"
#include "controls/display/DisplayTestSupport.h"
#include "platform/forms/Control.h"

using namespace controls;
using namespace displaytest;

namespace {

// A lamp on a blue panel, so what the lamp leaves alone shows blue.
struct LampOnPanel {
    Host host;
    forms::TCustomControl panel{&host};
    TLED led{&panel};
    LampOnPanel(int w, int h)
    {
        panel.SetColor(gfx::clBlue);
        panel.SetBounds(0, 0, 100, 100);
        led.SetBounds(10, 10, w, h);
        panel.show();
        led.show();
        Host::settle();
    }
};

}  // namespace

TEST(LED, LampColourFollowsStatusAndCornersShowTheParent)
{
    LampOnPanel p(19, 11);
    EXPECT_FALSE(p.led.Status());
    QImage img = picture(p.led);
    EXPECT_EQ(at(img, 9, 6), gfx::clGray);
    EXPECT_EQ(at(img, 0, 0), gfx::clBlue);  // outside the bevelled outline
    p.led.SetStatus(true);
    img = picture(p.led);
    EXPECT_EQ(at(img, 9, 6), gfx::clRed);
    EXPECT_EQ(at(img, 18, 0), gfx::clBlue);
}

TEST(LED, RepaintsOnlyWhenStatusChanges)
{
    LampOnPanel p(19, 11);
    PaintCounter paints(&p.led);
    p.led.SetStatus(false);
    Host::settle();
    EXPECT_EQ(paints.count, 0);
    p.led.SetStatus(true);
    Host::settle();
    EXPECT_EQ(paints.count, 1);
    p.led.SetStatus(true);
    Host::settle();
    EXPECT_EQ(paints.count, 1);
}

TEST(LED, SquareLampLiesDownTallLampStands)
{
    // A lying lamp keeps its top row free (its highlight starts at row 1); a standing one
    // starts its highlight at the top row.
    auto topRowTouched = [](int w, int h) {
        LampOnPanel p(w, h);
        const QImage img = picture(p.led);
        for (int x = 0; x < w; ++x)
            if (at(img, x, 0) != gfx::clBlue)
                return true;
        return false;
    };
    EXPECT_FALSE(topRowTouched(16, 16));
    EXPECT_FALSE(topRowTouched(24, 13));
    EXPECT_TRUE(topRowTouched(13, 24));
}
