// The picture front end on BMP and JPEG files that ImageMagick writes, checked against
// ImageMagick's own reading of the same files.
#include "pictures/libImg.h"
#include "platform/gfx/Jpeg.h"
#include "support/TestSupport.h"
#include "util/libWindows.h"

#include <gtest/gtest.h>

#include <QWidget>

#include <cmath>
#include <filesystem>
#include <cstdlib>
#include <limits>
#include <sstream>

using namespace testsupport;

namespace {

// Four quadrants: red, lime / blue, white, so that orientation and channel order show.
std::string makeQuadrants(const TempDir& dir, const std::string& name, int w, int h,
                          const std::vector<std::string>& extra = {})
{
    std::string path = dir.file(name);
    std::string hw = std::to_string(w / 2), hh = std::to_string(h / 2);
    std::vector<std::string> args{"-size", std::to_string(w) + "x" + std::to_string(h), "xc:white",
                                  "-fill", "red", "-draw", "rectangle 0,0 " + std::to_string(w / 2 - 1) + "," + std::to_string(h / 2 - 1),
                                  "-fill", "lime", "-draw", "rectangle " + hw + ",0 " + std::to_string(w - 1) + "," + std::to_string(h / 2 - 1),
                                  "-fill", "blue", "-draw", "rectangle 0," + hh + " " + std::to_string(w / 2 - 1) + "," + std::to_string(h - 1)};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back(path);
    auto r = runCommand("convert", args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return path;
}

// ImageMagick's reading of one pixel as 0x00BBGGRR.
gfx::TColor magickPixel(const std::string& path, int x, int y)
{
    auto r = runCommand("convert", {path, "-crop", "1x1+" + std::to_string(x) + "+" + std::to_string(y),
                                    "-depth", "8", "rgb:-"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    if (r.out.size() < 3)
        return -1;
    auto b = [&](int i) { return int(uint8_t(r.out[size_t(i)])); };
    return gfx::TColor(b(0) | b(1) << 8 | b(2) << 16);
}

bool near(gfx::TColor a, gfx::TColor b, int tolerance)
{
    for (int shift = 0; shift < 24; shift += 8)
        if (std::abs((a >> shift & 0xFF) - (b >> shift & 0xFF)) > tolerance)
            return false;
    return true;
}

gfx::TBitmap* bitmapOf(forms::TImage& image) { return dynamic_cast<gfx::TBitmap*>(image.Picture().Graphic()); }

}  // namespace

TEST(libImg, ExtensionTestsLowerTheCaseAndSearchTheListText)
{
    EXPECT_EQ(LowerFileExt("/a/B.JPEG"), ".jpeg");
    EXPECT_EQ(LowerFileExt("/a.b/noext"), "");
    EXPECT_TRUE(IsImageFileExt("/x/PHOTO.JPG"));
    EXPECT_TRUE(IsImageFileExt("/x/p.jpe"));  // a piece of ".jpeg"
    EXPECT_FALSE(IsImageFileExt("/x/p"));
    EXPECT_FALSE(IsImageFileExt("/x.jpg/p"));
    EXPECT_FALSE(IsImageFileExt("/x/p.mp3"));
    EXPECT_EQ(IsImageFileExt("/x/a.ico"), !IsWindows7());
    EXPECT_TRUE(IsMediaFileExt("/x/a.MP3"));
    EXPECT_TRUE(IsMediaFileExt("/x/a.mi"));
    EXPECT_FALSE(IsMediaFileExt("/x/a.wav"));
    EXPECT_FALSE(IsMediaFileExt("/x/a.mp3x"));
    EXPECT_TRUE(IsWaveFileExt("/x/a.WAV"));
    EXPECT_FALSE(IsWaveFileExt("/x/a.wave"));
    EXPECT_FALSE(IsWaveFileExt("/x/wav"));
}

TEST(libImg, LoadsBmpAndJpegAs24BitBitmapsWithTheirPixels)
{
    TempDir dir;
    struct Case {
        std::string name;
        std::vector<std::string> extra;
        int tolerance;
    };
    for (const Case& c : {Case{"q24.bmp", {"-type", "TrueColor"}, 0}, Case{"q8.bmp", {"-type", "Palette"}, 0},
                          Case{"Q.JPG", {"-quality", "95"}, 24}}) {
        SCOPED_TRACE(c.name);
        std::string path = makeQuadrants(dir, c.name, 40, 30, c.extra);
        forms::TImage image;
        ASSERT_TRUE(LoadPictureFile(image, path, true));
        gfx::TBitmap* b = bitmapOf(image);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->PixelFormat(), gfx::pf24bit);
        ASSERT_EQ(b->Width(), 40);
        ASSERT_EQ(b->Height(), 30);
        for (auto [x, y] : {std::pair{5, 5}, {30, 5}, {5, 25}, {30, 25}})
            EXPECT_TRUE(near(b->PixelColor(x, y), magickPixel(path, x, y), c.tolerance)) << x << "," << y;
    }
}

TEST(libImg, KeepsAJpegWithoutConversionAndConvertsItOnRequest)
{
    TempDir dir;
    std::string path = makeQuadrants(dir, "q.jpg", 20, 20);
    forms::TImage image;
    ASSERT_TRUE(LoadPictureFile(image, path, false));
    auto* jpeg = dynamic_cast<gfx::TJPEGImage*>(image.Picture().Graphic());
    ASSERT_NE(jpeg, nullptr);
    EXPECT_EQ(jpeg->Scale(), gfx::jsFullSize);
    gfx::TColor before = jpeg->Bitmap().PixelColor(3, 3);

    ASSERT_TRUE(ConvertImageTo24Bit(image));
    gfx::TBitmap* b = bitmapOf(image);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->PixelFormat(), gfx::pf24bit);
    EXPECT_EQ(b->Width(), 20);
    EXPECT_EQ(b->PixelColor(3, 3), before);

    forms::TImage empty;
    EXPECT_TRUE(ConvertImageTo24Bit(empty));
    ASSERT_NE(bitmapOf(empty), nullptr);
    EXPECT_TRUE(bitmapOf(empty)->Empty());
}

TEST(libImg, RefusesMissingFilesAndOtherExtensionsAndEmptiesOnDamage)
{
    TempDir dir;
    std::string good = makeQuadrants(dir, "q.bmp", 8, 8);
    forms::TImage image;
    ASSERT_TRUE(LoadPictureFile(image, good, true));

    EXPECT_FALSE(LoadPictureFile(image, dir.file("missing.bmp"), true));
    writeFile(dir.file("notes.txt"), "hello");
    EXPECT_FALSE(LoadPictureFile(image, dir.file("notes.txt"), true));
    EXPECT_FALSE(LoadPictureFile(image, dir.path(), true));  // a folder is not a file
    ASSERT_NE(bitmapOf(image), nullptr);
    EXPECT_EQ(bitmapOf(image)->Width(), 8);  // untouched by the refused loads

    std::string jpeg = readFile(makeQuadrants(dir, "whole.jpg", 64, 64));
    writeFile(dir.file("cut.jpg"), jpeg.substr(0, 40));
    writeFile(dir.file("junk.bmp"), std::string(200, 'x'));
    for (const char* name : {"cut.jpg", "junk.bmp"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(LoadPictureFile(image, dir.file(name), true));
        EXPECT_EQ(image.Picture().Width(), 0);
    }
}

TEST(libImg, ClearImageFillsABitmapOfTheControlsSizeAtLeastTwoByTwo)
{
    forms::TImage image;
    image.resize(0, 0);
    ASSERT_TRUE(ClearImage(image, gfx::clWhite));
    EXPECT_EQ(image.Width(), 2);
    EXPECT_EQ(image.Picture().Width(), 2);
    EXPECT_EQ(image.Picture().Height(), 2);

    image.resize(30, 20);
    ASSERT_TRUE(ClearImage(image, gfx::TColor(0x123456)));
    gfx::TBitmap* b = bitmapOf(image);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->PixelFormat(), gfx::pf24bit);
    EXPECT_EQ(b->Width(), 30);
    EXPECT_EQ(b->Height(), 20);
    EXPECT_EQ(b->PixelColor(0, 0), 0x123456);
    EXPECT_EQ(b->PixelColor(29, 19), 0x123456);
}

TEST(libImg, FitRectKeepsTheAspectRatioAndEnlargesSmallPictures)
{
    auto fit = [](int pw, int ph, int w, int h) {
        TFitRect r = CalcFitRect(pw, ph, w, h);
        std::ostringstream s;
        s << r.Left << "," << r.Top << " " << r.Width << "x" << r.Height;
        return s.str();
    };
    EXPECT_EQ(fit(16, 16, 100, 100), "0,0 100x100");
    EXPECT_EQ(fit(200, 100, 100, 100), "0,25 100x50");
    EXPECT_EQ(fit(100, 200, 100, 100), "25,0 50x100");
    EXPECT_EQ(fit(0, 0, 50, 40), "0,0 50x40");  // a zero side counts as the box's
    EXPECT_EQ(fit(10, 10, 0, 40), "0,0 0x0");
}

TEST(libImg, LoadPictureZoomedScalesByTheZoomAndSurvivesDamage)
{
    TempDir dir;
    std::string path = makeQuadrants(dir, "q.bmp", 90, 44);
    forms::TImage image;
    LoadPictureZoomed(image, false, path, 0.5);
    gfx::TBitmap* b = bitmapOf(image);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->Width(), 45);
    EXPECT_EQ(b->Height(), 22);
    EXPECT_EQ(b->PixelColor(5, 5), gfx::clRed);
    EXPECT_EQ(b->PixelColor(40, 5), gfx::clLime);
    EXPECT_EQ(b->PixelColor(5, 20), gfx::clBlue);

    // Without a file name the picture already there is zoomed: 45 x 22 by 14/45.
    LoadPictureZoomed(image, false, "", 14.0 / 45.0);
    EXPECT_EQ(image.Picture().Width(), 14);
    EXPECT_EQ(image.Picture().Height(), 6);
    EXPECT_EQ(bitmapOf(image)->PixelFormat(), gfx::pf24bit);

    LoadPictureZoomed(image, true, path, 0.25);  // filtered
    EXPECT_EQ(image.Picture().Width(), 22);
    EXPECT_TRUE(near(bitmapOf(image)->PixelColor(2, 2), gfx::clRed, 8));

    writeFile(dir.file("bad.jpg"), "not a jpeg");
    forms::TImage damaged;
    EXPECT_NO_THROW(LoadPictureZoomed(damaged, false, dir.file("bad.jpg"), 0.31111));
    EXPECT_EQ(damaged.Picture().Width(), 0);
    EXPECT_NO_THROW(LoadPictureZoomed(image, false, "", std::numeric_limits<double>::quiet_NaN()));
    EXPECT_EQ(image.Picture().Width(), 0);
}

TEST(libImg, LoadPictureFitParentShrinksLargePicturesAndCentresTheControl)
{
    TempDir dir;
    struct Case {
        int w, h, parentW, parentH;
        QRect placed;
    };
    for (const Case& c : {Case{300, 500, 200, 200, QRect(42, 2, 120, 200)},
                          Case{400, 100, 200, 200, QRect(2, 77, 200, 50)},
                          Case{90, 44, 200, 100, QRect(57, 30, 90, 44)}}) {  // fits: not resampled
        const std::string path = makeQuadrants(dir, "p.bmp", c.w, c.h);
        QWidget parent;
        parent.resize(c.parentW, c.parentH);
        forms::TImage image(&parent);
        LoadPictureFitParent(image, true, false, true, path);
        EXPECT_EQ(image.geometry(), c.placed) << c.w << "x" << c.h;
        EXPECT_EQ(image.Picture().Width(), c.placed.width());
        EXPECT_EQ(image.Picture().Height(), c.placed.height());
        EXPECT_FALSE(image.isHidden());
        EXPECT_EQ(bitmapOf(image)->PixelColor(1, 1), gfx::clRed);
    }
    // A damaged file says so on the cannot-read background.
    writeFile(dir.file("bad.jpg"), "not a jpeg");
    QWidget parent;
    parent.resize(120, 90);
    forms::TImage image(&parent);
    LoadPictureFitParent(image, true, false, true, dir.file("bad.jpg"));
    ASSERT_EQ(image.Picture().Width(), 118);
    EXPECT_EQ(image.Picture().Height(), 88);
    EXPECT_EQ(bitmapOf(image)->PixelColor(1, 1), gfx::TColor(0xE9C2E6));
    int blue = 0;
    for (int y = 20; y < 40; ++y)
        for (int x = 0; x < 118; ++x)
            blue += bitmapOf(image)->PixelColor(x, y) == gfx::TColor(0xFF0000);
    EXPECT_GT(blue, 20);

    // FitImageResample fits the picture only; the control keeps its size.
    forms::TImage lyrics;
    lyrics.resize(10, 10);
    LoadPictureFile(lyrics, makeQuadrants(dir, "wide.bmp", 200, 100), true);
    FitImageResample(lyrics, 100, 100, false);
    EXPECT_EQ(lyrics.Picture().Width(), 100);
    EXPECT_EQ(lyrics.Picture().Height(), 50);
    EXPECT_EQ(lyrics.width(), 10);
}

TEST(libImg, SavePictureByExtWritesJpegAndBmpThatImageMagickReads)
{
    TempDir dir;
    forms::TImage image;
    LoadPictureFile(image, makeQuadrants(dir, "q.bmp", 64, 48), true);
    const gfx::TBitmap& bitmap = *bitmapOf(image);

    // An existing read-only file is replaced.
    writeFile(dir.file("out.jpg"), "old");
    ASSERT_TRUE(SetHiddenAttr(dir.file("out.jpg"), true));
    EXPECT_TRUE(SavePictureByExt(bitmap, dir.file("out.jpg"), false));
    auto r = runCommand("identify", {"-format", "%m %wx%h %Q", dir.file("out.jpg")});
    EXPECT_EQ(r.out, "JPEG 64x48 90") << r.err;
    EXPECT_TRUE(near(magickPixel(dir.file("out.jpg"), 5, 5), gfx::clRed, 24));

    EXPECT_TRUE(SavePictureByExt(bitmap, dir.file("out.BMP"), false));
    r = runCommand("identify", {"-format", "%m %wx%h", dir.file("out.BMP")});
    EXPECT_EQ(r.out, "BMP3 64x48") << r.err;  // a Windows 3 bitmap
    EXPECT_EQ(magickPixel(dir.file("out.BMP"), 40, 5), gfx::clLime);

    // Picture extensions without a writer write nothing; other names are no pictures.
    EXPECT_TRUE(SavePictureByExt(bitmap, dir.file("out.jpeg"), false));
    EXPECT_TRUE(SavePictureByExt(bitmap, dir.file("out.tiff"), false));
    EXPECT_FALSE(SavePictureByExt(bitmap, dir.file("out.txt"), false));
    for (const char* name : {"out.jpeg", "out.tiff", "out.txt"})
        EXPECT_FALSE(std::filesystem::exists(dir.file(name))) << name;
}
