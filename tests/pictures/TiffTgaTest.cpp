// The TIFF and Targa writers: the small files byte by byte, and what libtiff's tools, netpbm
// and ImageMagick read back from larger ones.
#include "pictures/Bmp2Tiff.h"
#include "pictures/libTGA.h"
#include "pictures/png/pngimage.h"
#include "PictureTestSupport.h"
#include "util/libWindows.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <set>

using namespace testsupport;
using namespace pngtest;

namespace {

std::string le16(int v) { return std::string{char(v), char(v >> 8)}; }
std::string le32(uint32_t v) { return le16(int(v & 0xFFFF)) + le16(int(v >> 16)); }
std::string entry(int tag, int type, uint32_t count, uint32_t value)
{
    return le16(tag) + le16(type) + le32(count) + (type == 3 && count == 1 ? le16(int(value)) + le16(0) : le32(value));
}

}  // namespace

TEST(TiffWrite, ThreeByTwoRgbFileByteForByte)
{
    gfx::TBitmap b(3, 2, gfx::pf24bit);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            uint8_t* p = b.ScanLine(y) + 3 * x;
            p[0] = uint8_t(10 * x + y), p[1] = uint8_t(100 + x), p[2] = uint8_t(200 + y);  // blue, green, red
        }
    std::string expected = "II" + le16(42) + le32(58) + le32(877) + le32(10) + le32(877) + le32(10) + le16(8) +
                           le16(8) + le16(8) + "Tessaroven";
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            expected += std::string{char(200 + y), char(100 + x), char(10 * x + y)};
    expected += le16(15) + entry(254, 4, 1, 0) + entry(256, 3, 1, 3) + entry(257, 3, 1, 2) + entry(258, 3, 3, 24) +
                entry(259, 3, 1, 1) + entry(262, 3, 1, 2) + entry(273, 4, 1, 40) + entry(277, 3, 1, 3) +
                entry(278, 4, 1, 2) + entry(279, 4, 1, 18) + entry(282, 5, 1, 8) + entry(283, 5, 1, 16) +
                entry(284, 3, 1, 1) + entry(296, 3, 1, 2) + entry(305, 2, 10, 30) + le32(0);
    rtl::TMemoryStream m;
    SaveBitmapAsTiffStream(m, b);
    EXPECT_EQ(std::string(m.Bytes().begin(), m.Bytes().end()), expected);
}

TEST(TiffWrite, LibtiffAndImageMagickReadEveryDepth)
{
    TempDir dir;
    for (gfx::TPixelFormat f : {gfx::pf1bit, gfx::pf4bit, gfx::pf8bit, gfx::pf16bit, gfx::pf24bit, gfx::pf32bit}) {
        const int bits = gfx::TBitmap::BitsPerPixel(f);
        SCOPED_TRACE(bits);
        // Ten columns: a 4-bit row ends in half a byte.
        const auto b = pattern(f, 10, 7);
        const std::string file = dir.file("p.tif");
        SaveBitmapAsTiffFile(file, *b);
        auto dump = runCommand("tiffdump", {file});
        ASSERT_EQ(dump.exitCode, 0) << dump.err;
        EXPECT_NE(dump.out.find("ImageWidth (256) SHORT (3) 1<10>"), std::string::npos) << dump.out;
        EXPECT_NE(dump.out.find("Software (305) ASCII (2) 10<Tessaroven"), std::string::npos) << dump.out;
        EXPECT_NE(dump.out.find("XResolution (282) RATIONAL (5) 1<87.7>"), std::string::npos) << dump.out;
        const bool palette = bits == 4 || bits == 8;
        EXPECT_EQ(dump.out.find("Colormap (320) SHORT (3) " + std::to_string(palette ? 3 << bits : 0) + "<") !=
                      std::string::npos,
                  palette);
        EXPECT_EQ(dump.out.find("PlanarConfig (284)") != std::string::npos, !palette && bits != 1);
        size_t entries = 0;
        for (size_t at = dump.out.find(") SHORT (") ; at != std::string::npos; at = dump.out.find(") SHORT (", at + 1))
            ++entries;
        for (const char* type : {") LONG (", ") RATIONAL (", ") ASCII ("})
            for (size_t at = dump.out.find(type); at != std::string::npos; at = dump.out.find(type, at + 1))
                ++entries;
        EXPECT_EQ(entries, bits == 1 ? 14u : 15u);

        gfx::TBitmap expected;
        expected.Assign(*b);
        expected.SetPixelFormat(gfx::pf24bit);
        EXPECT_EQ(differentPixels(file, expected), 0);
        const std::string rgba = dir.file("rgba.tif");
        ASSERT_EQ(runCommand("tiff2rgba", {file, rgba}).exitCode, 0);
        EXPECT_EQ(differentPixels(rgba, expected), 0);
    }
}

TEST(TiffWrite, BilevelKeepsItsColoursWhicheverEntryIsWhite)
{
    TempDir dir;
    for (bool whiteFirst : {false, true}) {
        SCOPED_TRACE(whiteFirst);
        gfx::TBitmap b(9, 3, gfx::pf1bit);
        b.SetPalette(whiteFirst ? std::vector<gfx::TColor>{gfx::clWhite, gfx::clBlack}
                                : std::vector<gfx::TColor>{gfx::clBlack, gfx::clWhite});
        for (int y = 0; y < 3; ++y)
            b.ScanLine(y)[0] = uint8_t(0xB0 >> y), b.ScanLine(y)[1] = 0x80;
        const std::string file = dir.file("bw.tif");
        SaveBitmapAsTiffFile(file, b);
        EXPECT_EQ(differentPixels(file, b), 0);
    }
}

TEST(TiffWrite, EmptyBitmapsAreRefusedAndTheOldFileStays)
{
    TempDir dir;
    const std::string file = dir.file("keep.tif");
    writeFile(file, "old");
    EXPECT_THROW(SaveBitmapAsTiffFile(file, gfx::TBitmap()), gfx::EInvalidGraphicOperation);
    EXPECT_EQ(readFile(file), "old");
}

TEST(TgaWrite, ReadersSeeEveryChannelAtItsFiveBitValue)
{
    TempDir dir;
    const auto before = [] {
        std::set<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(GetAppDir()))
            names.insert(e.path().filename().string());
        return names;
    };
    const std::set<std::string> appDir = before();
    // A work file of that name in the program's folder could not be written: no matter.
    const std::string blocker = GetAppDir() + "/@temp.bmp";
    std::filesystem::create_directory(blocker);
    const std::unique_ptr<const std::string, void (*)(const std::string*)> removeBlocker(
        &blocker, [](const std::string* path) { std::error_code ec; std::filesystem::remove(*path, ec); });
    const auto b = pattern(gfx::pf24bit, 13, 6);
    const std::string file = dir.file("p.tga");
    SaveGraphicAsTga(*b, file);
    EXPECT_EQ(readFile(file).size(), 18u + 13 * 6 * 2);
    EXPECT_EQ(differentPixels(file, *b, 3), 0);
    const std::string ppm = dir.file("p.ppm");
    ASSERT_EQ(runCommand("sh", {"-c", "tgatoppm '" + file + "' > '" + ppm + "'"}).exitCode, 0);
    EXPECT_EQ(differentPixels(ppm, *b, 3), 0);

    // The smallest: 2 x 1 is the header and two pixels; a PNG goes the same way.
    png::TPNGObject small;
    small.Assign(*pattern(gfx::pf24bit, 2, 1));
    SaveGraphicAsTga(small, file);
    const std::string two = readFile(file);
    ASSERT_EQ(two.size(), 22u);
    EXPECT_EQ(two.substr(0, 18), std::string("\0\0\2\0\0\0\0\0\0\0\0\0\2\0\1\0\x10\0", 18));
    std::filesystem::remove(blocker);
    EXPECT_EQ(before(), appDir);
    EXPECT_THROW(SaveGraphicAsTga(gfx::TBitmap(), file), gfx::EInvalidGraphicOperation);
}
