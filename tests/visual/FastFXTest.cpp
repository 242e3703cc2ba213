// Picture effects on fast bitmaps, on small pictures whose results are worked out by hand.
#include "FastBitmapTestUtil.h"

#include "visual/FastFX.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <numbers>

TEST(FastFX, BlendMixesRoundingDown)
{
    TFastBMP a, b, dst;
    fillGrey(a, {{200, 100, 0, 255, 7}});
    fillGrey(b, {{100, 200, 255, 0, 9}});
    dst.SetSize(5, 1);
    Blend(dst, a, b, 128);
    EXPECT_EQ(blueRow(dst, 0), (std::vector<int>{150, 150, 127, 127, 8}));  // 255 - 127.5 floors to 127
    Blend(dst, a, b, 64);  // 255 - 63.75 floors to 191; 0 + 63.75 to 63
    EXPECT_EQ(blueRow(dst, 0), (std::vector<int>{125, 175, 191, 63, 8}));
    Blend(dst, a, b, 0);
    EXPECT_EQ(blueRow(dst, 0), blueRow(b, 0));
    Blend(dst, a, b, 256);
    EXPECT_EQ(blueRow(dst, 0), blueRow(a, 0));

    // Mismatched sizes: only the common area is mixed.
    TFastBMP small;
    fillGrey(small, {{50}});
    dst.SetSize(5, 2);
    Blend(dst, a, small, 256);
    EXPECT_EQ(blueRow(dst, 0), (std::vector<int>{200, 0, 0, 0, 0}));
}

TEST(FastFX, SplitBlurReadsPixelsAlreadyBlurredInThePass)
{
    TFastBMP bmp;
    fillGrey(bmp, {{0, 40, 80}, {120, 160, 200}});
    SplitBlur(bmp, 1);
    EXPECT_EQ(blueRow(bmp, 0), (std::vector<int>{80, 120, 140}));
    EXPECT_EQ(blueRow(bmp, 1), (std::vector<int>{120, 135, 148}));

    fillGrey(bmp, {{0, 40, 80}, {120, 160, 200}});
    BlurPasses(bmp, 0);
    BlurPasses(bmp, -2);
    EXPECT_EQ(blueRow(bmp, 0), (std::vector<int>{0, 40, 80}));
    SplitBlur(bmp, 0);  // every neighbour is the pixel itself
    EXPECT_EQ(blueRow(bmp, 1), (std::vector<int>{120, 160, 200}));
}

// The blur as defined, pixel by pixel in memory order, against the routine's row runs: noisy
// pictures of odd and even widths, reaches inside, at and beyond the picture, and negative.
TEST(FastFX, SplitBlurMatchesThePixelByPixelPass)
{
    auto reference = [](TFastBMP& bmp, int a) {
        for (int y = 0; y < bmp.Height; ++y)
            for (int x = 0; x < bmp.Width; ++x) {
                const int ya = std::clamp(y + a, 0, bmp.Height - 1), yb = std::clamp(y - a, 0, bmp.Height - 1);
                const int xa = std::clamp(x + a, 0, bmp.Width - 1), xb = std::clamp(x - a, 0, bmp.Width - 1);
                for (int c = 0; c < 3; ++c)
                    bmp.Pixel(x, y)[c] = std::uint8_t((bmp.Pixel(xa, ya)[c] + bmp.Pixel(xa, yb)[c] +
                                                       bmp.Pixel(xb, ya)[c] + bmp.Pixel(xb, yb)[c]) >> 2);
            }
    };
    std::uint32_t noise = 12345;
    for (const auto& [w, h] : {std::pair{125, 34}, std::pair{5, 7}, std::pair{1, 3}, std::pair{40, 1}}) {
        for (int amount : {1, 2, 3, 8, 20, 62, 63, 200, -1, -3, 0}) {
            TFastBMP fast, slow;
            fast.SetSize(w, h);
            for (int y = 0; y < h; ++y)
                for (int i = 0; i < 3 * w; ++i)
                    fast.RowTable[y][i] = std::uint8_t((noise = noise * 1103515245u + 12345u) >> 24);
            slow.CopyFrom(fast);
            SplitBlur(fast, amount);
            reference(slow, std::clamp(amount, -std::max(w, h), std::max(w, h)));
            for (int y = 0; y < h; ++y)
                ASSERT_TRUE(std::equal(fast.RowTable[y], fast.RowTable[y] + 3 * w, slow.RowTable[y]))
                    << w << "x" << h << " amount " << amount << " row " << y;
        }
    }
}

TEST(FastFX, HorizontalShiftRotatesEveryRow)
{
    struct Case { int amount; std::vector<int> row; };
    const Case cases[] = {{-1, {2, 3, 4, 1}}, {1, {4, 1, 2, 3}}, {4, {1, 2, 3, 4}},
                          {0, {1, 2, 3, 4}},  {-4, {1, 2, 3, 4}}, {5, {4, 1, 2, 3}},
                          {-5, {2, 3, 4, 1}}, {-2147483647 - 1, {1, 2, 3, 4}}};
    for (const Case& c : cases) {
        TFastBMP bmp;
        fillGrey(bmp, {{1, 2, 3, 4}, {1, 2, 3, 4}});
        HorizontalShift(bmp, c.amount);
        EXPECT_EQ(blueRow(bmp, 0), c.row) << c.amount;
        EXPECT_EQ(blueRow(bmp, 1), c.row) << c.amount;
    }
    TFastBMP three;  // rows with padding bytes
    fillGrey(three, {{1, 2, 3}});
    HorizontalShift(three, 2);
    EXPECT_EQ(blueRow(three, 0), (std::vector<int>{2, 3, 1}));
}

TEST(FastFX, VerticalShiftMovesThePictureUpWithWrapAround)
{
    TFastBMP bmp;
    fillGrey(bmp, {{1, 1}, {2, 2}, {3, 3}});  // memory rows: 1 is the bottom line
    VerticalShift(bmp, -1);                   // down by one line, bottom line on top
    EXPECT_EQ(blueRow(bmp, 0), (std::vector<int>{2, 2}));
    EXPECT_EQ(blueRow(bmp, 2), (std::vector<int>{1, 1}));
    const QImage picture = bmp.ToImage();
    EXPECT_EQ(imagePx(picture, 0, 0), grey(1));
    EXPECT_EQ(imagePx(picture, 0, 2), grey(2));

    fillGrey(bmp, {{1, 1}, {2, 2}, {3, 3}});
    VerticalShift(bmp, 1);
    EXPECT_EQ(blueRow(bmp, 0), (std::vector<int>{3, 3}));
    EXPECT_EQ(blueRow(bmp, 1), (std::vector<int>{1, 1}));
    VerticalShift(bmp, 3);
    EXPECT_EQ(blueRow(bmp, 0), (std::vector<int>{3, 3}));
}

TEST(FastFX, RotateSizeGivesTheRotatedBounds)
{
    struct Case { double angle; int w, h; };
    for (const Case& c : {Case{90, 50, 100}, Case{0, 100, 50}, Case{-90, 50, 100},
                          Case{45, 106, 106}, Case{180, 100, 50}}) {
        int w = 100, h = 50;
        RotateSize(w, h, c.angle);
        EXPECT_EQ(w, c.w) << c.angle;
        EXPECT_EQ(h, c.h) << c.angle;
    }
}

TEST(FastFX, RotateTurnsAboutTheCentreAndKeepsUncoveredPixels)
{
    TFastBMP src, dst;
    fillTagged(src, 3, 3);
    dst.SetSize(3, 3);
    Rotate(src, dst, 1, 1, 0);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(px(dst, x, y), tag(x, y));

    // 90 degrees: each row starts at source (y, 2) and steps one source row down.
    Rotate(src, dst, 1, 1, 90);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(px(dst, x, y), tag(y, 2 - x)) << x << "," << y;

    // Into a larger picture: the source is centred, the rest keeps its colour.
    dst.SetSize(5, 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x)
            setPx(dst, x, y, grey(7));
    Rotate(src, dst, 2, 2, 0);
    EXPECT_EQ(px(dst, 0, 0), grey(7));
    EXPECT_EQ(px(dst, 4, 2), grey(7));
    EXPECT_EQ(px(dst, 1, 1), tag(0, 0));
    EXPECT_EQ(px(dst, 3, 3), tag(2, 2));
}

TEST(FastFX, TwistOfOneColourGivesTheSameColour)
{
    for (int amount : {25, -3, 1, 0}) {
        TFastBMP src, dst;
        src.SetSize(5, 4);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 5; ++x)
                setPx(src, x, y, {10, 200, 33});
        dst.SetSize(5, 4);
        Twist(src, dst, amount);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 5; ++x)
                EXPECT_EQ(px(dst, x, y), (Bgr{10, 200, 33})) << amount << ": " << x << "," << y;
    }
}

TEST(FastFX, TwistWithAmountZeroIsTheQuarterTurn)
{
    // 2 x 1: both pixels land half-way between the two, at (0.5, -0.5) and (0.5, 0.5).
    TFastBMP src, dst;
    fillGrey(src, {{0, 200}});
    dst.SetSize(2, 1);
    Twist(src, dst, 0);
    EXPECT_EQ(blueRow(dst, 0), (std::vector<int>{100, 100}));

    // The centre of an odd picture stays where it is.
    fillTagged(src, 3, 3);
    dst.SetSize(3, 3);
    Twist(src, dst, 7);
    EXPECT_EQ(px(dst, 1, 1), tag(1, 1));

    // Back to the first size and amount: the routine's worked-out map follows the picture.
    fillGrey(src, {{0, 200}});
    dst.SetSize(2, 1);
    Twist(src, dst, 0);
    EXPECT_EQ(blueRow(dst, 0), (std::vector<int>{100, 100}));
}

TEST(FastFX, TinyAndMismatchedPicturesNeverReachOutside)
{
    TFastBMP one, wide, small, empty;
    fillGrey(one, {{77}});
    fillTagged(wide, 7, 2);
    small.SetSize(2, 1);
    for (int amount : {0, 1, -1, 3, 1000}) {
        TFastBMP a, b;
        a.CopyFrom(one);
        b.CopyFrom(wide);
        SplitBlur(a, amount);
        BlurPasses(b, amount % 10);
        HorizontalShift(b, amount);
        VerticalShift(b, amount);
        Twist(one, a, amount);
        EXPECT_EQ(px(a, 0, 0), grey(77));
        Twist(wide, small, amount);  // destination smaller than the source
        Twist(small, wide, amount);
        Rotate(wide, small, 3, 1, amount);
        Blend(small, wide, one, amount);
    }
    SplitBlur(empty, 2);
    HorizontalShift(empty, 2);
    VerticalShift(empty, -2);
    Twist(empty, small, 5);
    Rotate(empty, small, 0, 0, 30);
    Blend(small, empty, wide, 100);
    EXPECT_TRUE(empty.Empty());
}

TEST(FastFX, ArcTan2CoversAllQuadrants)
{
    constexpr float pi = std::numbers::pi_v<float>;
    EXPECT_FLOAT_EQ(ArcTan2(1, 0), pi / 2);
    EXPECT_FLOAT_EQ(ArcTan2(0, 0), -pi / 2);
    EXPECT_FLOAT_EQ(ArcTan2(-1, 0), -pi / 2);
    EXPECT_FLOAT_EQ(ArcTan2(1, 1), pi / 4);
    EXPECT_FLOAT_EQ(ArcTan2(0, -1), pi);
    EXPECT_FLOAT_EQ(ArcTan2(-1, -1), 5 * pi / 4);
    EXPECT_EQ(ClampInt(5, 0, 3), 3);
    EXPECT_EQ(ClampInt(-5, 0, 3), 0);
    EXPECT_EQ(ClampInt(5, 7, 3), 3);  // Max wins when the range is empty
}
