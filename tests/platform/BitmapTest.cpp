// The bitmap: row storage and byte order, size and format changes, the size limit, and BMP
// files checked both ways against ImageMagick; damaged files raise, never crash.
#include <gtest/gtest.h>

#include <map>

#include "ImageTools.h"
#include "platform/gfx/Bitmap.h"
#include "platform/rtl/Numerics.h"
#include "support/TestSupport.h"

using namespace gfx;
using imagetools::near;
using imagetools::readWithImageMagick;

namespace {

// A small picture with a different colour in every pixel.
std::unique_ptr<TBitmap> pattern(int w, int h, TPixelFormat f = pf24bit)
{
    auto owned = std::make_unique<TBitmap>(w, h, pf24bit);
    TBitmap& b = *owned;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.Canvas().SetPixel(x, y, RGB(x * 40 % 256, y * 60 % 256, (x * 17 + y * 90) % 256));
    b.SetPixelFormat(f);
    return owned;
}

void expectSamePixels(const TBitmap& b, const imagetools::Pixels& p, int tolerance)
{
    ASSERT_EQ(p.width, b.Width());
    ASSERT_EQ(p.height, b.Height());
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x)
            EXPECT_TRUE(near(b.PixelColor(x, y), p.at(x, y), tolerance))
                << "pixel " << x << "," << y << ": " << std::hex << b.PixelColor(x, y) << " vs " << p.at(x, y);
}

}  // namespace

TEST(Bitmap, ScanLinesAreTopDownInTheRowByteOrder)
{
    TBitmap b(3, 2, pf24bit);
    EXPECT_EQ(b.BytesPerLine(), 12);  // 9 bytes padded to 32 bits
    b.Canvas().SetPixel(1, 0, RGB(0x11, 0x22, 0x33));
    const uint8_t* row = b.ScanLine(0);
    EXPECT_EQ(row[3], 0x33);  // blue first
    EXPECT_EQ(row[4], 0x22);
    EXPECT_EQ(row[5], 0x11);
    EXPECT_EQ(b.PixelColor(0, 1), clWhite);  // a new bitmap is white
    b.ScanLine(1)[0] = 0;                     // written directly: blue of (0, 1)
    EXPECT_EQ(b.Canvas().Pixels(0, 1), clYellow);
    EXPECT_THROW(b.ScanLine(2), EInvalidGraphicOperation);
    EXPECT_THROW(b.ScanLine(-1), EInvalidGraphicOperation);

    TBitmap m(10, 1, pf1bit);
    EXPECT_EQ(m.BytesPerLine(), 4);
    TBitmap n(9, 1, pf4bit);
    n.ScanLine(0)[0] = 0x9C;  // pixel 0 = index 9, pixel 1 = index 12
    EXPECT_EQ(n.PixelColor(0, 0), n.Palette()[9]);
    EXPECT_EQ(n.PixelColor(1, 0), n.Palette()[12]);
    TBitmap w(3, 1, pf16bit);
    w.ScanLine(0)[0] = 0x1F;  // 5-6-5, little-endian: pure blue
    w.ScanLine(0)[1] = 0;
    EXPECT_EQ(w.PixelColor(0, 0), RGB(0, 0, 255));
}

TEST(Bitmap, SizeChangesKeepTheTopLeftAndFormatChangesConvert)
{
    auto owned = pattern(4, 3);
    TBitmap& b = *owned;
    const TColor c11 = b.PixelColor(1, 1);
    b.SetSize(6, 5);
    EXPECT_EQ(b.PixelColor(1, 1), c11);
    EXPECT_EQ(b.PixelColor(5, 4), clWhite);
    b.SetWidth(2);
    EXPECT_EQ(b.PixelColor(1, 1), c11);
    EXPECT_EQ(b.Width(), 2);
    // Every depth keeps its pixels and whitens the new ones (sub-byte rows included).
    for (TPixelFormat f : {pf1bit, pf4bit, pf8bit, pf16bit, pf32bit}) {
        auto q = pattern(9, 3, f);
        TBitmap white(1, 1, pf24bit);
        white.Canvas().SetPixel(0, 0, clWhite);
        white.SetPixelFormat(f);
        std::vector<TColor> before;
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 9; ++x)
                before.push_back(q->PixelColor(x, y));
        q->SetSize(10, 4);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 10; ++x)
                EXPECT_EQ(q->PixelColor(x, y), x < 9 && y < 3 ? before[size_t(y * 9 + x)] : white.PixelColor(0, 0))
                    << f << " " << x << "," << y;
    }

    TBitmap p(2, 1, pf24bit);
    p.Canvas().SetPixel(0, 0, RGB(51, 102, 153));  // on the colour cube
    p.Canvas().SetPixel(1, 0, RGB(250, 1, 3));
    p.SetPixelFormat(pf8bit);
    EXPECT_EQ(p.PixelColor(0, 0), RGB(51, 102, 153));
    EXPECT_EQ(p.PixelColor(1, 0), RGB(255, 0, 0));  // nearest entry
    // Painting on an indexed bitmap turns it into 24 bits first.
    p.Canvas().SetPixel(0, 0, RGB(1, 2, 3));
    EXPECT_EQ(p.PixelFormat(), pf24bit);
    EXPECT_EQ(p.PixelColor(0, 0), RGB(1, 2, 3));
    EXPECT_EQ(p.PixelColor(1, 0), RGB(255, 0, 0));
}

TEST(Bitmap, OneSizeLimitGuardsEveryAllocation)
{
    TBitmap b;
    EXPECT_THROW(b.SetSize(TBitmap::MaxSide + 1, 1), EInvalidGraphicOperation);
    EXPECT_THROW(b.SetSize(20000, 20000), EInvalidGraphicOperation);  // 1.2 GB at 32 bits
    EXPECT_TRUE(b.Empty());
    b.SetSize(-5, 3);
    EXPECT_EQ(b.Width(), 0);
}

TEST(Bitmap, BmpFilesWeWriteReadBackInImageMagick)
{
    if (!testsupport::haveProgram("convert"))
        GTEST_SKIP() << "ImageMagick missing";
    testsupport::TempDir dir;
    for (TPixelFormat f : {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit}) {
        auto owned = pattern(7, 5, f);
        TBitmap& b = *owned;
        const std::string path = dir.file("ours" + std::to_string(int(f)) + ".bmp");
        b.SaveToFile(path);
        SCOPED_TRACE("format " + std::to_string(int(f)));
        expectSamePixels(b, readWithImageMagick(path), f == pf15bit || f == pf16bit ? 1 : 0);
        // And back through our own reader.
        TBitmap again;
        again.LoadFromFile(path);
        EXPECT_EQ(again.PixelFormat(), f);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 7; ++x)
                EXPECT_EQ(again.PixelColor(x, y), b.PixelColor(x, y));
    }
}

TEST(Bitmap, BmpFilesFromImageMagickReadAsImageMagickSeesThem)
{
    if (!testsupport::haveProgram("convert"))
        GTEST_SKIP() << "ImageMagick missing";
    testsupport::TempDir dir;
    const std::string src = dir.file("src.png");
    ASSERT_EQ(testsupport::runCommand("convert", {"-size", "13x11", "gradient:red-blue", "(", "-size", "11x13",
                                                  "gradient:lime-black", "-rotate", "90", ")",
                                                  "-compose", "plus", "-composite", src}).exitCode, 0);
    struct Case {
        std::vector<std::string> args;
        const char* name;
        TPixelFormat format;
    };
    const Case cases[] = {
        {{"-type", "bilevel", "BMP3:"}, "1bit.bmp", pf1bit},
        {{"-colors", "16", "-type", "palette", "BMP3:"}, "4bit.bmp", pf4bit},
        {{"-colors", "100", "-type", "palette", "BMP3:"}, "8bit.bmp", pf8bit},
        {{"-type", "truecolor", "BMP3:"}, "24bit.bmp", pf24bit},
        {{"-define", "bmp:subtype=RGB565", "BMP:"}, "565.bmp", pf16bit},
        {{"-define", "bmp:subtype=RGB555", "BMP:"}, "555.bmp", pf15bit},
        {{"-compress", "RLE", "-colors", "100", "-type", "palette", "BMP3:"}, "rle8.bmp", pf8bit},
        {{"-flip", "-type", "truecolor", "BMP2:"}, "core.bmp", pf24bit},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args{src};
        args.insert(args.end(), c.args.begin(), c.args.end() - 1);
        args.push_back(c.args.back() + dir.file(c.name));
        ASSERT_EQ(testsupport::runCommand("convert", args).exitCode, 0);
        TBitmap b;
        b.LoadFromFile(dir.file(c.name));
        EXPECT_EQ(b.PixelFormat(), c.format);
        expectSamePixels(b, readWithImageMagick(dir.file(c.name)), c.format == pf15bit || c.format == pf16bit ? 1 : 0);
    }
}

TEST(Bitmap, DamagedBmpFilesRaiseAndLeaveTheBitmapAsItWas)
{
    rtl::TMemoryStream m;
    pattern(6, 4, pf8bit)->SaveToStream(m);
    const std::vector<uint8_t> file = m.Bytes();
    auto load = [](std::vector<uint8_t> bytes) {
        auto owned = pattern(2, 2);
        TBitmap& b = *owned;
        rtl::TMemoryStream s(std::move(bytes));
        bool raised = false;
        try {
            b.LoadFromStream(s);
        } catch (const EInvalidGraphic&) {
            raised = true;
        }
        if (raised) {
            EXPECT_EQ(b.Width(), 2);  // unchanged after a failure
        }
        return raised;
    };
    // Every truncation.
    for (size_t n = 0; n < file.size(); n += 7)
        EXPECT_TRUE(load({file.begin(), file.begin() + long(n)})) << n;
    auto patched = [&](size_t offset, std::vector<uint8_t> bytes) {
        std::vector<uint8_t> f = file;
        std::copy(bytes.begin(), bytes.end(), f.begin() + long(offset));
        return f;
    };
    EXPECT_TRUE(load(patched(0, {'B', 'X'})));                    // signature
    EXPECT_TRUE(load(patched(14, {39, 0, 0, 0})));                // header size
    EXPECT_TRUE(load(patched(18, {0xFF, 0xFF, 0xFF, 0x7F})));     // width 2^31-1
    EXPECT_TRUE(load(patched(22, {0x00, 0x80, 0x00, 0x00})));     // height 32768 * 6 px of 8 bits: too much data
    EXPECT_TRUE(load(patched(22, {0, 0, 0, 0x80})));              // height -2^31
    EXPECT_TRUE(load(patched(26, {2, 0})));                       // planes
    EXPECT_TRUE(load(patched(28, {7, 0})));                       // bits per pixel
    EXPECT_TRUE(load(patched(30, {9, 0, 0, 0})));                 // compression
    EXPECT_TRUE(load(patched(46, {1, 1, 0, 0})));                 // 257 colours
    EXPECT_TRUE(load(patched(10, {0xFF, 0xFF, 0, 0})));           // data offset past the end
    EXPECT_TRUE(load(patched(10, {10, 0, 0, 0})));                // data offset inside the header
    EXPECT_FALSE(load(file));
}

TEST(Bitmap, EveryDirectFormatTakesTextAndWidePens)
{
    for (TPixelFormat f : {pf15bit, pf16bit, pf24bit, pf32bit}) {
        TBitmap b(60, 20, f);
        b.Canvas().Font().SetColor(clBlack);
        b.Canvas().Brush().SetStyle(bsClear);
        b.Canvas().TextOut(2, 2, "Ink");
        b.Canvas().Pen().SetWidth(3);
        b.Canvas().MoveTo(40, 10);
        b.Canvas().LineTo(55, 10);
        EXPECT_EQ(b.PixelFormat(), f);
        int dark = 0;
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 36; ++x)
                dark += b.PixelColor(x, y) == clBlack;
        EXPECT_GT(dark, 10) << f;
        EXPECT_EQ(b.PixelColor(47, 11), clBlack) << f;
        EXPECT_EQ(b.PixelColor(47, 14), clWhite) << f;
    }
}

TEST(Bitmap, MaskMarksTheGivenColourWhite)
{
    TBitmap b(3, 1, pf24bit);
    b.Canvas().SetPixel(1, 0, clRed);
    auto m = b.CreateMask(clWhite);
    EXPECT_EQ(m->PixelFormat(), pf1bit);
    EXPECT_EQ(m->PixelColor(0, 0), clWhite);
    EXPECT_EQ(m->PixelColor(1, 0), clBlack);
    EXPECT_EQ(m->PixelColor(2, 0), clWhite);
}

TEST(Bitmap, UnusualBmpDataReadsExactly)
{
    // RLE4 on a picture as large as the limit allows: a run of 1 2 1, end of line, the absolute
    // run 3 4 5, end of bitmap. Only the two bottom rows are asked for, and they hold the nibbles.
    const std::vector<uint8_t> rle = {3, 0x12, 0, 0, 0, 3, 0x34, 0x50, 0, 1};
    std::map<int32_t, std::vector<uint8_t>> rows;
    DecodeBmpRle(rle, true, TBitmap::MaxSide, 8192, [&](int32_t y) {
        auto& row = rows[y];
        row.resize(TBitmap::MaxSide / 2);
        return row.data();
    });
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[8191][0], 0x12);
    EXPECT_EQ(rows[8191][1], 0x10);
    EXPECT_EQ(rows[8190][0], 0x34);
    EXPECT_EQ(rows[8190][1], 0x50);

    // A 32-bit bit-field picture whose red mask takes all 32 bits: red is the top 8 of them.
    std::vector<uint8_t> bmp = {'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 66, 0, 0, 0, 40, 0, 0, 0, 1, 0, 0, 0, 1, 0,
                                0, 0, 1, 0, 32, 0, 3, 0, 0, 0};
    bmp.resize(54, 0);
    for (uint32_t mask : {0xFFFFFFFFu, 0xFF00u, 0xFFu})
        for (int k = 0; k < 4; ++k)
            bmp.push_back(uint8_t(mask >> (8 * k)));
    for (uint8_t b : {0x00, 0x00, 0x00, 0x80})
        bmp.push_back(b);
    TBitmap b;
    rtl::TMemoryStream s(bmp);
    b.LoadFromStream(s);
    EXPECT_EQ(b.PixelColor(0, 0), RGB(0x80, 0, 0));
}

TEST(Bitmap, RandomlyDamagedFilesRaiseOrLoadButNeverCrash)
{
    std::vector<std::vector<uint8_t>> seeds;
    for (TPixelFormat f : {pf1bit, pf4bit, pf8bit, pf16bit, pf24bit, pf32bit}) {
        rtl::TMemoryStream m;
        pattern(9, 7, f)->SaveToStream(m);
        seeds.push_back(m.Bytes());
    }
    // An RLE8 picture: runs, an absolute run, a delta, end of line and end of bitmap.
    std::vector<uint8_t> rle = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54 + 8, 4, 0, 0,
                                40, 0, 0, 0, 8, 0, 0, 0, 4, 0, 0, 0, 1, 0, 8, 0, 1, 0, 0, 0};
    rle.resize(54, 0);
    rle.resize(54 + 1024, 0);
    rle[54 + 4] = 0xFF;  // palette entry 1: blue
    const uint8_t data[] = {3, 1, 0, 3, 1, 0, 1, 0, 0, 0, 0, 2, 2, 1, 2, 1, 0, 0, 0, 1};
    rle.insert(rle.end(), std::begin(data), std::end(data));
    rle[10] = 0x36; rle[11] = 0x04;  // data after 54 + 1024 bytes
    {
        TBitmap b;
        rtl::TMemoryStream s(rle);
        b.LoadFromStream(s);
        EXPECT_EQ(b.PixelColor(0, 3), clBlue);  // first stored row is the bottom one
        EXPECT_EQ(b.PixelColor(4, 3), clBlack);  // the absolute run 1, 0, 1
        EXPECT_EQ(b.PixelColor(5, 3), clBlue);
        EXPECT_EQ(b.PixelColor(2, 1), clBlue);   // the delta moved two right and one up
        EXPECT_EQ(b.PixelColor(2, 2), clBlack);
    }
    seeds.push_back(rle);
    rtl::RandSeed = 12345;
    int raised = 0, loaded = 0;
    for (int round = 0; round < 3000; ++round) {
        std::vector<uint8_t> f = seeds[size_t(round) % seeds.size()];
        const int flips = 1 + rtl::Random(6);
        for (int k = 0; k < flips; ++k) {
            // Headers are where the damage matters most.
            const size_t at = rtl::Random(3) == 0 ? size_t(rtl::Random(int(f.size()))) : size_t(rtl::Random(60));
            f[std::min(at, f.size() - 1)] = uint8_t(rtl::Random(256));
        }
        if (rtl::Random(4) == 0)
            f.resize(size_t(rtl::Random(int(f.size()))));
        TBitmap b;
        rtl::TMemoryStream s(std::move(f));
        try {
            b.LoadFromStream(s);
            ++loaded;
            EXPECT_LE(int64_t(b.BytesPerLine()) * b.Height(), TBitmap::MaxPixelBytes);
        } catch (const EInvalidGraphic&) {
            ++raised;
        }
    }
    EXPECT_GT(raised, 0);
    EXPECT_GT(loaded, 0);
}
