// The picture front end on files that ImageMagick and a record-layout script write, checked
// against ImageMagick's (and icotool's, emf2svg's) own reading of what we write.
#include "pictures/PictureFormats.h"
#include "pictures/Resample.h"
#include "pictures/libImg.h"
#include "platform/gfx/Jpeg.h"
#include "support/TestSupport.h"
#include "util/libWindows.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QWidget>

#include <cmath>
#include <filesystem>
#include <cstdlib>
#include <limits>
#include <set>
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

TEST(libImg, ExtensionTestsLowerTheCasePicturesByListTextMusicByWholeExtension)
{
    EXPECT_EQ(LowerFileExt("/a/B.JPEG"), ".jpeg");
    EXPECT_EQ(LowerFileExt("/a.b/noext"), "");
    EXPECT_TRUE(IsImageFileExt("/x/PHOTO.JPG"));
    EXPECT_TRUE(IsImageFileExt("/x/p.jpe"));  // a piece of ".jpeg"
    EXPECT_FALSE(IsImageFileExt("/x/p"));
    EXPECT_FALSE(IsImageFileExt("/x.jpg/p"));
    EXPECT_FALSE(IsImageFileExt("/x/p.mp3"));
    EXPECT_EQ(IsImageFileExt("/x/a.ico"), !IsWindows7());
    for (const char* name : {"/x/a.MP3", "/x/a.mid", "/x/a.rmi", "/x/a.wma", "/x/a.mp1", "/x/a.aif", "/x/a.au"})
        EXPECT_TRUE(IsMediaFileExt(name)) << name;
    // Pieces of listed extensions, and their joins across the separator, are no media files.
    for (const char* name : {"/x/a.mi", "/x/a.m", "/x/libfoo.a", "/x/a.mp", "/x/a.wav", "/x/a.mp3x", "/x/a.au;"})
        EXPECT_FALSE(IsMediaFileExt(name)) << name;
    EXPECT_TRUE(IsWaveFileExt("/x/a.WAV"));
    for (const char* name : {"/x/a.w", "/x/a.wa", "/x/a.wave", "/x/wav"})
        EXPECT_FALSE(IsWaveFileExt(name)) << name;
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
    EXPECT_EQ(fit(1000, 1, 100, 100), "0,49 100x1");  // never thinner than a pixel
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
    // A zoom that leaves less than a pixel keeps one.
    forms::TImage tiny;
    LoadPictureFile(tiny, makeQuadrants(dir, "tiny.bmp", 3, 3), true);
    LoadPictureZoomed(tiny, false, "", 0.31111);
    EXPECT_EQ(tiny.Picture().Width(), 1);
    EXPECT_EQ(tiny.Picture().Height(), 1);
    EXPECT_NO_THROW(LoadPictureZoomed(image, false, "", std::numeric_limits<double>::quiet_NaN()));
    EXPECT_EQ(image.Picture().Width(), 1);
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

    // Picture extensions without a writer write nothing and say so; other names are no pictures.
    EXPECT_FALSE(SavePictureByExt(bitmap, dir.file("out.psd"), false));
    EXPECT_FALSE(SavePictureByExt(bitmap, dir.file("out.txt"), false));
    for (const char* name : {"out.psd", "out.txt"})
        EXPECT_FALSE(std::filesystem::exists(dir.file(name))) << name;
}

namespace {

std::vector<gfx::TColor> pixelsOf(const gfx::TBitmap& b)
{
    std::vector<gfx::TColor> out;
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x)
            out.push_back(b.PixelColor(x, y));
    return out;
}

// The quadrants' colours at their centres, as ImageMagick reads `path` (scaled to its size).
void expectQuadrantsInFile(const std::string& file, int tolerance)
{
    // Through a PNG, so that a bottom-up Targa is cropped where its rows show.
    const std::string path = file.substr(file.find(':') + 1) + "-read.png";
    ASSERT_EQ(runCommand("convert", {file, "-auto-orient", path}).exitCode, 0) << file;
    auto r = runCommand("identify", {"-format", "%w %h", path});
    int w = 0, h = 0;
    std::istringstream(r.out) >> w >> h;
    ASSERT_GT(w, 0) << path << r.err;
    EXPECT_TRUE(near(magickPixel(path, w / 4, h / 4), gfx::clRed, tolerance)) << path;
    EXPECT_TRUE(near(magickPixel(path, 3 * w / 4, h / 4), gfx::clLime, tolerance)) << path;
    EXPECT_TRUE(near(magickPixel(path, w / 4, 3 * h / 4), gfx::clBlue, tolerance)) << path;
    EXPECT_TRUE(near(magickPixel(path, 3 * w / 4, 3 * h / 4), gfx::clWhite, tolerance)) << path;
}

// Registers the formats of pictures/ for one test.
struct Formats {
    Formats() { RegisterPictureFormats(); }
    ~Formats() { UnregisterPictureFormats(); }
};

}  // namespace

TEST(libImg, SavePictureByExtWritesEveryFormatOnACopyThroughATemporaryFile)
{
    TempDir dir;
    forms::TImage image;
    LoadPictureFile(image, makeQuadrants(dir, "q.bmp", 40, 30), true);
    const gfx::TBitmap& bitmap = *bitmapOf(image);
    const std::vector<gfx::TColor> before = pixelsOf(bitmap);
    struct Row {
        const char* name;
        const char* format;  // as identify names it
        int tolerance;
    };
    for (const Row& row : {Row{"o.bmp", "BMP3", 0}, Row{"o.dib", "BMP3", 0}, Row{"o.rle", "BMP3", 0},
                           Row{"o.jpg", "JPEG", 24}, Row{"o.jpeg", "JPEG", 24}, Row{"o.png", "PNG", 0},
                           Row{"o.tif", "TIFF", 0}, Row{"o.tiff", "TIFF", 0}, Row{"o.tga", "TGA", 8},
                           Row{"o.wmf", "WMF", 40}, Row{"o.gif", "GIF", 8}}) {
        const std::string path = dir.file(row.name);
        ASSERT_TRUE(SavePictureByExt(bitmap, path, false)) << row.name;
        // ImageMagick does not take a ".dib" or ".rle" name for a bitmap: read them as BMP.
        const std::string read = std::string(row.name).find(".dib") != std::string::npos ||
                                         std::string(row.name).find(".rle") != std::string::npos
                                     ? "bmp:" + path
                                     : path;
        auto r = runCommand("identify", {"-format", "%m", read});
        EXPECT_EQ(r.out, row.format) << row.name << r.err;
        expectQuadrantsInFile(read, row.tolerance);
    }
    // Debian's emf2svg reads the EMF, and the SVG shows the bitmap.
    ASSERT_TRUE(SavePictureByExt(bitmap, dir.file("o.emf"), false));
    ASSERT_EQ(runCommand("emf2svg-conv", {"-i", dir.file("o.emf"), "-o", dir.file("emf.svg")}).exitCode, 0);
    expectQuadrantsInFile(dir.file("emf.svg"), 40);

    // A transparent PNG: 256 colours at most, the bottom-left colour see-through.
    ASSERT_TRUE(SavePictureByExt(bitmap, dir.file("t.png"), true));
    auto alpha = [&](int x, int y) {
        auto r = runCommand("convert", {dir.file("t.png"), "-crop", "1x1+" + std::to_string(x) + "+" + std::to_string(y),
                                        "-depth", "8", "rgba:-"});
        return r.out.size() == 4 ? int(uint8_t(r.out[3])) : -1;
    };
    EXPECT_EQ(alpha(0, 29), 0);
    EXPECT_EQ(alpha(0, 0), 255);
    EXPECT_TRUE(near(magickPixel(dir.file("t.png"), 5, 5), gfx::clRed, 8));
    EXPECT_LE(std::stoi(runCommand("identify", {"-format", "%k", dir.file("t.png")}).out), 256);

    // A transparent GIF: the transparent index is the bottom-left pixel's (blue).
    ASSERT_TRUE(SavePictureByExt(bitmap, dir.file("t.gif"), true));
    if (haveProgram("gifsicle")) {
        auto info = runCommand("gifsicle", {"--info", "--color-info", dir.file("t.gif")});
        const std::size_t at = info.out.find("transparent ");
        ASSERT_NE(at, std::string::npos) << info.out;
        const int index = std::stoi(info.out.substr(at + 12));
        // The colour table's line of that index: "|    5: #0000FF" (the entry's colour).
        std::ostringstream entry;
        entry << index << ": #";
        const std::size_t line = info.out.find(" " + entry.str());
        ASSERT_NE(line, std::string::npos) << info.out;
        EXPECT_EQ(info.out.substr(line + 1 + entry.str().size(), 6), "0000FF") << info.out;
    }
    EXPECT_TRUE(near(magickPixel(dir.file("t.gif"), 5, 5), gfx::clRed, 8));
    auto gifAlpha = runCommand("convert", {dir.file("t.gif"), "-crop", "1x1+0+29", "-depth", "8", "rgba:-"}).out;
    ASSERT_EQ(gifAlpha.size(), 4u);
    EXPECT_EQ(uint8_t(gifAlpha[3]), 0);

    // The writers worked on copies.
    EXPECT_EQ(pixelsOf(bitmap), before);
    EXPECT_EQ(bitmap.Width(), 40);

    // An empty bitmap has no bottom-left pixel: refused, and the old file stays.
    writeFile(dir.file("old.ico"), "old icon");
    gfx::TBitmap empty;
    EXPECT_THROW(SavePictureByExt(empty, dir.file("old.ico"), false), gfx::EInvalidGraphicOperation);
    EXPECT_THROW(SavePictureByExt(empty, dir.file("old.png"), true), gfx::EInvalidGraphicOperation);
    EXPECT_THROW(SavePictureByExt(empty, dir.file("old.gif"), false), gfx::EInvalidGraphicOperation);
    EXPECT_EQ(readFile(dir.file("old.ico")), "old icon");
    EXPECT_FALSE(std::filesystem::exists(dir.file("old.png")));
}

TEST(libImg, SavesAnIconOfTheNextSideWithTheBottomLeftColourTransparent)
{
    if (!haveProgram("icotool"))
        GTEST_SKIP() << "icoutils missing";
    TempDir dir;
    forms::TImage image;
    LoadPictureFile(image, makeQuadrants(dir, "q.bmp", 40, 30), true);
    const gfx::TBitmap& bitmap = *bitmapOf(image);
    const std::vector<gfx::TColor> before = pixelsOf(bitmap);
    ASSERT_TRUE(SavePictureByExt(bitmap, dir.file("q.ico"), false));
    EXPECT_EQ(pixelsOf(bitmap), before);  // the caller's bitmap keeps its size

    auto list = runCommand("icotool", {"-l", dir.file("q.ico")});
    EXPECT_NE(list.out.find("--width=48 --height=48 --bit-depth=24"), std::string::npos) << list.out << list.err;
    ASSERT_EQ(runCommand("icotool", {"-x", "-o", dir.file("x.png"), dir.file("q.ico")}).exitCode, 0);
    const QImage x = QImage(QString::fromStdString(dir.file("x.png"))).convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(x.size(), QSize(48, 48));
    // The picture is 48 x 36 at y 6 on the bottom-left colour (blue), which the mask leaves out.
    for (int y : {0, 5, 42, 47})
        EXPECT_EQ(qAlpha(x.pixel(24, y)), 0) << y;
    EXPECT_EQ(qAlpha(x.pixel(5, 35)), 0);   // the blue quadrant itself
    EXPECT_EQ(x.pixel(5, 10), qRgb(255, 0, 0));
    EXPECT_EQ(x.pixel(40, 10), qRgb(0, 255, 0));
    EXPECT_EQ(x.pixel(40, 35), qRgb(255, 255, 255));
    EXPECT_EQ(qAlpha(x.pixel(24, 7)), 255);

    // A square icon size is kept as it is.
    forms::TImage square;
    LoadPictureFile(square, makeQuadrants(dir, "s.bmp", 32, 32), true);
    ASSERT_TRUE(SavePictureByExt(*bitmapOf(square), dir.file("s.ico"), false));
    EXPECT_NE(runCommand("icotool", {"-l", dir.file("s.ico")}).out.find("--width=32 --height=32"), std::string::npos);
}

TEST(libImg, ResampleModesAreTheStretchTheBSplineAndBilinear)
{
    TempDir dir;
    forms::TImage image;
    LoadPictureFile(image, makeQuadrants(dir, "q.bmp", 40, 30), true);
    for (int mode : {1, 2, 7}) {
        auto ours = CopyBitmap(*bitmapOf(image));
        auto resampler = CopyBitmap(*bitmapOf(image));
        ResampleBitmap(*ours, 23, 17, mode);
        ASSERT_TRUE(ResampleBitmap24(*resampler, 23, 17, mode == 1 ? 4 : 1));
        EXPECT_EQ(pixelsOf(*ours), pixelsOf(*resampler)) << mode;
    }
    auto stretched = CopyBitmap(*bitmapOf(image));
    stretched->SetPixelFormat(gfx::pf8bit);
    ResampleBitmap(*stretched, 80, 60, 0);
    EXPECT_EQ(stretched->PixelFormat(), gfx::pf24bit);
    EXPECT_EQ(stretched->PixelColor(39, 29), gfx::clRed);  // nearest pixel: no blend at the edge
    EXPECT_EQ(stretched->PixelColor(40, 29), gfx::clLime);
}

TEST(libImg, FitImageCenteredSizesTheControlAndCentresThePicture)
{
    TempDir dir;
    forms::TImage image;
    LoadPictureFile(image, makeQuadrants(dir, "w.bmp", 200, 100), true);
    FitImageCentered(image, 100, 100);
    EXPECT_EQ(image.width(), 100);
    EXPECT_EQ(image.height(), 50);
    gfx::TBitmap* b = bitmapOf(image);
    ASSERT_EQ(b->Width(), 100);
    ASSERT_EQ(b->Height(), 100);
    EXPECT_EQ(b->PixelColor(10, 30), gfx::clRed);
    EXPECT_EQ(b->PixelColor(10, 70), gfx::clBlue);
    EXPECT_EQ(b->PixelColor(90, 70), gfx::clWhite);
    FitImageCentered(image, 0, 100);  // nothing
    EXPECT_EQ(b->Width(), 100);
}

TEST(libImg, MetafilesAndIconsShowThroughTheFittingRoutines)
{
    Formats formats;
    TempDir dir;
    forms::TImage source;
    LoadPictureFile(source, makeQuadrants(dir, "q.bmp", 40, 30), true);
    ASSERT_TRUE(SavePictureByExt(*bitmapOf(source), dir.file("q.wmf"), false));
    ASSERT_TRUE(SavePictureByExt(*bitmapOf(source), dir.file("q.emf"), false));
    ASSERT_EQ(runCommand("convert", {dir.file("q.bmp"), dir.file("q.ico")}).exitCode, 0);
    for (const char* name : {"q.wmf", "q.emf", "q.ico"}) {
        SCOPED_TRACE(name);
        QWidget parent;
        parent.resize(200, 200);
        forms::TImage image(&parent);
        LoadPictureFitParent(image, true, true, true, dir.file(name));
        EXPECT_EQ(image.geometry(), QRect(82, 87, 40, 30));
        gfx::TBitmap* b = bitmapOf(image);
        ASSERT_NE(b, nullptr);
        EXPECT_TRUE(near(b->PixelColor(5, 5), gfx::clRed, 8));
        EXPECT_TRUE(near(b->PixelColor(35, 25), gfx::clWhite, 8));

        forms::TImage zoomed;
        LoadPictureZoomed(zoomed, false, dir.file(name), 2);
        EXPECT_EQ(zoomed.Picture().Width(), 80);
        EXPECT_TRUE(near(bitmapOf(zoomed)->PixelColor(70, 10), gfx::clLime, 8));
    }
}

// Every extension that has a reader: a file that another program wrote loads through
// LoadPictureFile into a 24-bit bitmap of its pixels.
TEST(libImg, EveryListedFormatLoadsIntoA24BitBitmap)
{
    Formats formats;
    TempDir dir;
    const std::string bmp = makeQuadrants(dir, "q.bmp", 40, 30);
    struct Row {
        const char* ext;
        std::vector<std::string> make;  // the command that writes f<ext> from q.bmp
        int tolerance;
    };
    const std::string shapes = sourceDir() + "/tests/platform/metafile_shapes.py";
    const Row rows[] = {
        {".bmp", {"convert", bmp, "BMP3:" + dir.file("f.bmp")}, 0},
        {".jpg", {"convert", bmp, dir.file("f.jpg")}, 24},
        {".jpeg", {"convert", bmp, "jpg:" + dir.file("f.jpeg")}, 24},
        {".png", {"convert", bmp, dir.file("f.png")}, 0},
        {".gif", {"convert", bmp, dir.file("f.gif")}, 0},
        {".ico", {"convert", bmp, dir.file("f.ico")}, 0},
        {".wmf", {python3(), shapes, dir.path()}, 0},
        {".emf", {python3(), shapes, dir.path()}, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.ext);
        ASSERT_EQ(runCommand(row.make[0], std::vector<std::string>(row.make.begin() + 1, row.make.end())).exitCode, 0);
        const bool metafile = std::string(row.ext) == ".wmf" || std::string(row.ext) == ".emf";
        const std::string path = metafile ? dir.file(std::string("shapes") + row.ext) : dir.file(std::string("f") + row.ext);
        forms::TImage image;
        ASSERT_TRUE(LoadPictureFile(image, path, true));
        ASSERT_TRUE(ConvertImageTo24Bit(image));  // metafiles stay metafiles until asked
        gfx::TBitmap* b = bitmapOf(image);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->PixelFormat(), gfx::pf24bit);
        if (metafile) {
            EXPECT_EQ(b->Width(), 200);
            EXPECT_EQ(b->PixelColor(40, 60), gfx::clRed);
            EXPECT_EQ(b->PixelColor(5, 5), gfx::clWhite);
        } else {
            EXPECT_EQ(b->Width(), 40);
            EXPECT_TRUE(near(b->PixelColor(5, 5), gfx::clRed, row.tolerance));
            // (an icon's bottom-left colour is its transparent one, shown white)
            EXPECT_TRUE(near(b->PixelColor(35, 5), gfx::clLime, row.tolerance));
        }
    }
}

// Leaves what a person sees: a 300 x 300 panel after LoadPictureFitParent for each fixture,
// and our saved files as ImageMagick reads them, in build/pictures-look/front-end-*.png.
TEST(libImg, LeavesTheFittedPicturesForALook)
{
    Formats formats;
    TempDir dir;
    const std::string bmp = makeQuadrants(dir, "q.bmp", 400, 260);
    forms::TImage source;
    LoadPictureFile(source, bmp, true);
    ASSERT_EQ(runCommand(python3(), {sourceDir() + "/tests/platform/metafile_shapes.py", dir.path()}).exitCode, 0);
    writeFile(dir.file("damaged.jpg"), "not a jpeg");
    std::vector<std::string> files = {bmp, dir.file("shapes.wmf"), dir.file("shapes.emf"), dir.file("damaged.jpg")};
    for (const char* ext : {".jpg", ".png", ".gif", ".ico", ".tif", ".tga", ".wmf", ".emf"}) {
        const std::string path = dir.file(std::string("saved") + ext);
        ASSERT_TRUE(SavePictureByExt(*bitmapOf(source), path, true));
        files.push_back(path);
    }
    const QString look = QCoreApplication::applicationDirPath() + "/../pictures-look";
    QDir().mkpath(look);
    for (const std::string& path : files) {
        QWidget panel;
        panel.resize(300, 300);
        panel.setStyleSheet("background: #808080");
        forms::TImage image(&panel);
        LoadPictureFitParent(image, true, true, false, path);
        const QString name = QString::fromStdString(std::filesystem::path(path).filename().string()).replace('.', '-');
        EXPECT_TRUE(panel.grab().save(look + "/front-end-" + name + ".png")) << path;
        if (path.find("saved") != std::string::npos && path.find(".emf") == std::string::npos)
            runCommand("convert", {path + "[0]", "-auto-orient",
                                   (look + "/front-end-" + name + "-imagemagick.png").toStdString()});
    }
}

TEST(libImg, ReduceBitmapColorsKeepsThePictureInAtMost256Colours)
{
    // A gradient of far more than 256 colours.
    gfx::TBitmap b(64, 64, gfx::pf24bit);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            b.Canvas().SetPixel(x, y, gfx::RGB(uint8_t(x * 4), uint8_t(y * 4), uint8_t(255 - x * 2)));
    const std::vector<gfx::TColor> before = pixelsOf(b);
    ReduceBitmapColors(b);
    const std::vector<gfx::TColor> after = pixelsOf(b);
    ASSERT_EQ(after.size(), before.size());
    EXPECT_LE(std::set<gfx::TColor>(after.begin(), after.end()).size(), 256u);
    double error = 0;
    for (size_t i = 0; i < after.size(); ++i)
        for (int shift = 0; shift < 24; shift += 8)
            error += std::abs(int(after[i] >> shift & 0xFF) - int(before[i] >> shift & 0xFF));
    EXPECT_LT(error / (after.size() * 3), 6.0);  // dithered, close on average
    gfx::TBitmap empty;
    EXPECT_THROW(ReduceBitmapColors(empty), gfx::EInvalidGraphicOperation);
}

namespace {

// A graphic that claims more pixels than any bitmap may hold, so turning it into one fails.
class OversizedGraphic : public gfx::TGraphic {
public:
    static const gfx::TGraphicClassInfo Info;
    gfx::TGraphicClass ClassType() const override { return &Info; }
    bool Empty() const override { return false; }
    int32_t Width() const override { return 40000; }
    int32_t Height() const override { return 40000; }
    void LoadFromStream(rtl::TStream&) override {}
    void SaveToStream(rtl::TStream&) override {}
    void Draw(gfx::TCanvas&, const gfx::TRect&) const override {}
};
const gfx::TGraphicClassInfo OversizedGraphic::Info{"OversizedGraphic", [] {
    return std::unique_ptr<gfx::TGraphic>(std::make_unique<OversizedGraphic>());
}};

}  // namespace

TEST(libImg, APictureThatCannotBecomeABitmapGivesTheBlackSquareOrTheCard)
{
    forms::TImage zoomed;
    zoomed.Picture().TakeGraphic(std::make_unique<OversizedGraphic>());
    LoadPictureZoomed(zoomed, false, "", 1.0);
    gfx::TBitmap* b = bitmapOf(zoomed);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->Width(), 8);
    EXPECT_EQ(b->Height(), 8);
    EXPECT_EQ(b->PixelColor(7, 7), gfx::clBlack);

    QWidget parent;
    parent.resize(150, 100);
    forms::TImage fitted(&parent);
    fitted.Picture().TakeGraphic(std::make_unique<OversizedGraphic>());
    LoadPictureFitParent(fitted, true, false, false, "");
    EXPECT_EQ(fitted.geometry(), QRect(3, 3, 148, 98));
    EXPECT_EQ(bitmapOf(fitted)->PixelColor(0, 0), gfx::TColor(0xE9C2E6));
}

namespace {

// The memory a load takes, each in a process of its own: "reader" decodes the file through
// the picture registry, "frontEnd" loads it zoomed as album art is.
const PeakMemoryMode readerMemory("pictureReaderMemory", [](const std::vector<std::string>& args) {
    RegisterPictureFormats();
    gfx::TPicture picture;
    picture.LoadFromFile(args.at(0));
});
const PeakMemoryMode frontEndMemory("pictureFrontEndMemory", [](const std::vector<std::string>& args) {
    RegisterPictureFormats();
    forms::TImage image;
    LoadPictureZoomed(image, false, args.at(0), 1.0);
});

}  // namespace

// The front end builds no bitmap larger than the reader's data backs, and takes no more than
// the reader's memory and one 24-bit bitmap.
TEST(libImg, TheFrontEndsBitmapsArePaidForByTheFilesData)
{
    RegisterPictureFormats();
    TempDir dir;
    // A GIF screen of 16384 x 5461 pixels over 35 bytes of file.
    const std::string gif = dir.file("screen.gif");
    writeFile(gif, std::string("GIF89a\x00\x40\x55\x15\x80\x00\x00\x00\x00\x00\xFF\xFF\xFF,\0\0\0\0\x01\0\x01\0\0\x02\x02\x44\x01\0;", 35));
    forms::TImage zoomed;
    LoadPictureZoomed(zoomed, false, gif, 1.0);
    EXPECT_EQ(zoomed.Picture().Width(), 8);
    QWidget parent;
    parent.resize(150, 100);
    forms::TImage fitted(&parent);
    LoadPictureFitParent(fitted, true, false, false, gif);
    EXPECT_EQ(fitted.geometry(), QRect(3, 3, 148, 98));  // the card that says it cannot be read

#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer's allocator keeps freed memory";
#endif
    // Grey with alpha, the reader's 2 bytes a pixel against a 24-bit bitmap's 3.
    const std::string png = dir.file("big.png");
    const int side = 4096;
    ASSERT_EQ(runCommand("convert", {"-size", "4096x4096", "gradient:white-black", "(", "+clone", "-rotate", "90", ")",
                                     "-alpha", "off", "-compose", "CopyOpacity", "-composite", png})
                  .exitCode,
              0);
    const int64_t reader = PeakMemoryOf("pictureReaderMemory", {png});
    const int64_t frontEnd = PeakMemoryOf("pictureFrontEndMemory", {png});
    ASSERT_GT(reader, int64_t(side) * side);
    EXPECT_LE(frontEnd, reader + int64_t(3) * side * side + (8 << 20)) << "reader " << reader;
    EXPECT_GT(PeakMemoryOf("pictureFrontEndMemory", {gif}), -1);
    EXPECT_LT(PeakMemoryOf("pictureFrontEndMemory", {gif}), 16 << 20);
}
