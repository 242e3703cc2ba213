// The visual resources: the built-in pictures in their slots at the sizes the modes expect,
// as 24-bit bitmaps, decoded in memory; and the bitmap routines that run the fast-bitmap
// effects on class-library bitmaps.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>

#include "platform/gfx/Bitmap.h"
#include "resources/BuiltinResources.h"
#include "visual/BitmapRoutines.h"
#include "visual/FFTReal.h"
#include "visual/FastBMP.h"
#include "visual/VisualResources.h"

namespace {

void fill(gfx::TBitmap& b, int w, int h, gfx::TColor c)
{
    b.SetPixelFormat(gfx::pf24bit);
    b.SetSize(w, h);
    b.Canvas().Brush().SetColor(c);
    b.Canvas().FillRect(gfx::TRect{0, 0, w, h});
}

}  // namespace

TEST(VisualResources, PicturesFillTheirSlotsAsTwentyFourBitBitmaps)
{
    TVisualResources res;
    res.CreateVisualResources();
    EXPECT_TRUE(res.Picture(0).Empty());
    const int sizes[11][2] = {{0, 0},   {29, 38}, {16, 16}, {16, 16}, {16, 16}, {14, 17},
                              {63, 22}, {80, 29}, {32, 32}, {32, 32}, {18, 16}};
    for (int i = 1; i < TVisualResources::PictureCount; ++i) {
        EXPECT_EQ(res.Picture(i).Width(), sizes[i][0]) << i;
        EXPECT_EQ(res.Picture(i).Height(), sizes[i][1]) << i;
        EXPECT_EQ(res.Picture(i).PixelFormat(), gfx::pf24bit) << i;
    }
    EXPECT_NE(FFTState().FFT, nullptr);
    EXPECT_EQ(res.Buffer(3).Width, 0);

    const QDir appDir(QCoreApplication::applicationDirPath());
    EXPECT_TRUE(appDir.entryList({"pic.*", "DXD.*"}, QDir::Files).isEmpty());
    res.FreeVisualResources();
    EXPECT_FALSE(res.Created());
    res.FreeVisualResources();
}

TEST(VisualResources, ResourceNamesMatchWithoutCaseAndAMissingOneRaises)
{
    gfx::TBitmap b;
    LoadResImage(b, "G03", "gif");
    EXPECT_EQ(b.Width(), 108);
    EXPECT_EQ(b.PixelFormat(), gfx::pf24bit);
    LoadResImage(b, "j01", "JPG");
    EXPECT_EQ(b.Width(), 200);
    EXPECT_THROW(LoadResImage(b, "b09", "BMP"), EResNotFound);
    EXPECT_THROW(LoadResImage(b, "b01", "PNG"), EResNotFound);
}

TEST(VisualResources, GifAndJpegPicturesLookAsQtDecodesThem)
{
    // Qt's image plugins decoded these before the picture classes did; they are the peer, and
    // every pixel comes out the same.
    initBuiltinResources();
    const QDir dir(":/pictures");
    int checked = 0;
    for (const QString& name : dir.entryList({"*.gif", "*.jpg"}, QDir::Files)) {
        SCOPED_TRACE(name.toStdString());
        gfx::TBitmap ours;
        LoadResImage(ours, QFileInfo(name).baseName().toStdString(), QFileInfo(name).suffix().toStdString());
        const QImage theirs = QImage(dir.filePath(name)).convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(ours.Width(), theirs.width());
        ASSERT_EQ(ours.Height(), theirs.height());
        int worst = 0;
        for (int y = 0; y < theirs.height(); ++y)
            for (int x = 0; x < theirs.width(); ++x) {
                const gfx::TColor c = ours.PixelColor(x, y);
                const QRgb q = theirs.pixel(x, y);
                worst = std::max({worst, std::abs(gfx::GetRValue(c) - qRed(q)), std::abs(gfx::GetGValue(c) - qGreen(q)),
                                  std::abs(gfx::GetBValue(c) - qBlue(q))});
            }
        EXPECT_EQ(worst, 0);
        ++checked;
    }
    EXPECT_EQ(checked, 11);
}

TEST(BitmapRoutines, RotatingAQuarterTurnSwapsTheSidesAndKeepsThePicture)
{
    TVisualResources res;
    res.CreateVisualResources();
    gfx::TBitmap b;
    fill(b, 100, 50, gfx::clWhite);
    RotateBitmap(res, b, 90.0);
    EXPECT_EQ(b.Width(), 50);
    EXPECT_EQ(b.Height(), 100);
    EXPECT_EQ(b.PixelColor(25, 50), gfx::clWhite);

    gfx::TBitmap head;
    head.Assign(res.Picture(2));
    RotateBitmap(res, head, 20.0);
    EXPECT_GT(head.Width(), 16);
    EXPECT_EQ(head.PixelColor(0, 0), gfx::clBlack) << "corners the rotation leaves are black";
}

TEST(BitmapRoutines, BlendAmountsAndClampAroundAndSplitColor)
{
    TVisualResources res;
    res.CreateVisualResources();
    gfx::TBitmap a, b;
    fill(a, 8, 4, gfx::RGB(200, 100, 0));
    fill(b, 8, 4, gfx::RGB(0, 100, 200));
    BlendBitmaps(res, a, b, 256);
    EXPECT_EQ(a.PixelColor(3, 2), gfx::RGB(200, 100, 0));
    BlendBitmaps(res, a, b, 128);
    EXPECT_EQ(a.PixelColor(3, 2), gfx::RGB(100, 100, 100));
    BlendBitmaps(res, a, b, 0);
    EXPECT_EQ(a.PixelColor(3, 2), gfx::RGB(0, 100, 200));

    int v = 100;
    ClampAround(v, 10, 30);
    EXPECT_EQ(v, 40);
    v = -100;
    ClampAround(v, 10, 30);
    EXPECT_EQ(v, -20);
    v = 15;
    ClampAround(v, 10, 30);
    EXPECT_EQ(v, 15);

    int r, g, bl;
    SplitColor(gfx::RGB(1, 2, 3), r, g, bl);
    EXPECT_EQ((std::vector<int>{r, g, bl}), (std::vector<int>{1, 2, 3}));
    SplitColor(gfx::clBtnFace, r, g, bl);
    EXPECT_EQ(gfx::RGB(r, g, bl), gfx::ColorToRGB(gfx::clBtnFace));
}

TEST(BitmapRoutines, ShiftAndBlurWorkOnTheBitmapInPlace)
{
    TVisualResources res;
    res.CreateVisualResources();
    gfx::TBitmap b;
    fill(b, 10, 6, gfx::clBlack);
    b.Canvas().SetPixel(0, 0, gfx::clWhite);
    ShiftBitmap(res, b, 3, 0);
    EXPECT_EQ(b.PixelColor(3, 0), gfx::clWhite);
    EXPECT_EQ(b.PixelColor(0, 0), gfx::clBlack);
    ShiftBitmap(res, b, 1, 1);  // memory rows move up: the top line wraps to the bottom
    EXPECT_EQ(b.PixelColor(3, 5), gfx::clWhite);
    BlurBitmap(res, b, 1);
    EXPECT_NE(b.PixelColor(3, 5), gfx::clWhite);
    TwistBitmap(res, b, 0);  // amount 0 divides nothing
    EXPECT_EQ(b.Width(), 10);
}

TEST(BitmapRoutines, FastBitmapsTakeAndGiveClassLibraryBitmapsTopLineLast)
{
    gfx::TBitmap b;
    fill(b, 5, 3, gfx::clBlack);
    b.Canvas().SetPixel(1, 0, gfx::RGB(10, 20, 30));  // top line
    TFastBMP fast;
    fast.LoadFromBitmap(b);
    ASSERT_EQ(fast.Height, 3);
    const std::uint8_t* p = fast.Pixel(1, 2);  // memory row 2 is the top line
    EXPECT_EQ((std::vector<int>{p[0], p[1], p[2]}), (std::vector<int>{30, 20, 10}));

    gfx::TBitmap target;
    fill(target, 4, 4, gfx::clWhite);
    fast.DrawOnBitmap(target, -1, 2);  // clipped on the left and at the bottom
    EXPECT_EQ(target.PixelColor(0, 2), gfx::RGB(10, 20, 30));
    EXPECT_EQ(target.PixelColor(0, 3), gfx::clBlack);
    EXPECT_EQ(target.PixelColor(0, 1), gfx::clWhite);
    EXPECT_EQ(target.Width(), 4);

    gfx::TBitmap wide;  // another pixel format goes through the canvas
    wide.SetPixelFormat(gfx::pf32bit);
    wide.SetSize(6, 3);
    fast.DrawOnBitmap(wide, 0, 0);
    EXPECT_EQ(wide.PixelColor(1, 0), gfx::RGB(10, 20, 30));
}
