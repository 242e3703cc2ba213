// The splitter grip's pictures: the band, the row of raised dots and a rebuild on every
// colour change.
#include <gtest/gtest.h>

#include "controls/gradient/RbSplitterGrip.h"

using namespace controls;

namespace {

gfx::TColor px(const gfx::TBitmap& b, int x, int y) { return const_cast<gfx::TBitmap&>(b).Canvas().Pixels(x, y); }

TSplitterGripLook vertical(int length, bool whole)
{
    TSplitterGripLook look;
    look.Width = 8;
    look.Height = length;
    look.ControlColor = 0x102030;
    look.GradientType = gtHorizontal;
    look.WholeLength = whole;
    return look;
}

}  // namespace

TEST(SplitterGrip, TwentySevenRaisedDotsAlongTheMiddle)
{
    TRbSplitterGrip grip;
    grip.Colors().SetDefaultFrom(0x00FF00);
    grip.Colors().SetDefaultTo(0x00FF00);
    grip.SetLook(vertical(200, true));
    const gfx::TBitmap& n = grip.Normal();
    ASSERT_EQ(n.Width(), 8);
    ASSERT_EQ(n.Height(), 200);
    // Dots at 100 - 40, 100 - 37, ... 100 + 38, each starting one pixel left of the middle.
    int dots = 0;
    for (int y = 0; y < 200; ++y) {
        if (px(n, 3, y) == gfx::clGray && px(n, 4, y + 1) == gfx::clSilver && px(n, 5, y + 2) == gfx::clWhite) {
            EXPECT_EQ((y - 60) % 3, 0) << y;
            EXPECT_GE(y, 60);
            EXPECT_LE(y, 138);
            ++dots;
        }
    }
    EXPECT_EQ(dots, 27);
    EXPECT_EQ(px(n, 0, 10), 0x00FF00u);   // the band covers the whole length
    EXPECT_EQ(px(n, 4, 59), 0x00FF00u);   // and shows between the dots
    EXPECT_EQ(px(n, 4, 142), 0x00FF00u);

    TSplitterGripLook plain = vertical(200, true);
    plain.ShowGrip = false;
    grip.SetLook(plain);
    EXPECT_EQ(px(grip.Normal(), 3, 60), 0x00FF00u);
}

TEST(SplitterGrip, ShortBandAndColourChangesRebuild)
{
    TRbSplitterGrip grip;
    TSplitterGripLook look = vertical(300, false);
    look.ShowGrip = false;
    grip.SetLook(look);
    grip.Colors().SetOverFrom(0x0000FF);
    grip.Colors().SetOverTo(0x0000FF);  // each change rebuilds through the owner
    const gfx::TBitmap& over = grip.Over();
    EXPECT_EQ(px(over, 4, 109), 0x102030u);  // control colour outside the 80 pixels
    EXPECT_EQ(px(over, 4, 110), 0x0000FFu);
    EXPECT_EQ(px(over, 4, 189), 0x0000FFu);
    EXPECT_EQ(px(over, 4, 190), 0x102030u);
    // A splitter lying along x runs its band and dots along x.
    TSplitterGripLook across;
    across.Width = 200;
    across.Height = 6;
    grip.SetLook(across);
    EXPECT_EQ(px(grip.Normal(), 60, 2), gfx::clGray);
}
