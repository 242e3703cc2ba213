// The Targa reader on files from ImageMagick, netpbm, our 16-bit writer and byte-built
// corner cases, compared with netpbm's tgatoppm; the Targa writer's files read back by
// tgatoppm and ImageMagick.
#include "pictures/formats/TargaGraphic.h"
#include "pictures/libTGA.h"
#include "PictureTestSupport.h"
#include "platform/rtl/Streams.h"

#include <gtest/gtest.h>

using namespace testsupport;
using namespace pngtest;

namespace {

TTargaGraphic* loadFile(TTargaGraphic& g, const std::string& file)
{
    rtl::TFileStream s(file, rtl::fmOpenRead);
    g.LoadFromStream(s);
    return &g;
}

// Pixels of `b` that differ from what tgatoppm reads in `file` (-1: sizes differ or no reading).
int differentFromNetpbm(const std::string& file, const gfx::TBitmap& b)
{
    const std::string ppm = file + ".ppm";
    const auto r = runCommand("sh", {"-c", "tgatoppm '" + file + "' > '" + ppm + "'"});
    if (r.exitCode != 0)
        return -1;
    return differentPixels(ppm, b);
}

std::string header(uint8_t idLength, uint8_t mapType, uint8_t type, uint16_t mapStart, uint16_t mapLength,
                   uint8_t entryBits, uint16_t w, uint16_t h, uint8_t pixelBits, uint8_t descriptor)
{
    auto le16 = [](uint16_t v) { return std::string{char(v), char(v >> 8)}; };
    return std::string{char(idLength), char(mapType), char(type)} + le16(mapStart) + le16(mapLength) +
           std::string(1, char(entryBits)) + le16(0) + le16(0) + le16(w) + le16(h) +
           std::string{char(pixelBits), char(descriptor)};
}

class TargaFiles : public ::testing::Test {
protected:
    TempDir dir;
};

}  // namespace

TEST_F(TargaFiles, ImageMagickAndNetpbmFilesMatchTgatoppm)
{
    std::vector<std::string> files;
    for (const char* type : {"Palette", "Grayscale", "TrueColor", "TrueColorAlpha"})
        for (const char* compress : {"RLE", "None"}) {
            files.push_back(dir.file(std::string("im-") + type + compress + ".tga"));
            ASSERT_EQ(runCommand("convert", {"rose:", "-type", type, "-compress", compress, files.back()}).exitCode, 0);
        }
    const std::string ppm = dir.file("rose.ppm"), pgm = dir.file("rose.pgm"), pbm = dir.file("rose.pbm");
    ASSERT_EQ(runCommand("convert", {"rose:", "-colors", "200", ppm}).exitCode, 0);
    ASSERT_EQ(runCommand("convert", {"rose:", "-colorspace", "gray", pgm}).exitCode, 0);
    ASSERT_EQ(runCommand("convert", {"rose:", "-monochrome", pbm}).exitCode, 0);
    const std::vector<std::pair<std::string, std::string>> netpbm = {
        {"-cmap", ppm}, {"-cmap16", ppm}, {"-rgb", ppm}, {"-rgb -norle", ppm}, {"-cmap -norle", ppm},
        {"-mono", pgm}, {"-mono -norle", pbm}};
    std::string cmap16;
    for (const auto& [options, input] : netpbm) {
        files.push_back(dir.file("netpbm" + std::to_string(files.size()) + ".tga"));
        const auto r = runCommand("sh", {"-c", "pamtotga " + options + " '" + input + "' > '" + files.back() + "'"});
        if (r.exitCode != 0 && options == "-cmap16") {  // older netpbm has no 16-bit maps
            files.pop_back();
            continue;
        }
        ASSERT_EQ(r.exitCode, 0) << options << r.err;
        if (options == "-cmap16")
            cmap16 = files.back();
    }
    // Our 16-bit writer: 5-5-5 pixels, bottom row first.
    files.push_back(dir.file("ours16.tga"));
    const auto b = pattern(gfx::pf24bit, 23, 11);
    SaveGraphicAsTga(*b, files.back());

    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        TTargaGraphic g;
        loadFile(g, file);
        // 16-bit map entries become 5 bits shifted up, netpbm widens them to the full range.
        const int shift = file == cmap16 ? 3 : 0;
        const std::string ppm = file + ".ppm";
        ASSERT_EQ(runCommand("sh", {"-c", "tgatoppm '" + file + "' > '" + ppm + "'"}).exitCode, 0);
        EXPECT_EQ(g.Width() > 0 ? differentPixels(ppm, g, shift) : -2, 0);
    }
}

TEST_F(TargaFiles, CornerCasesOfTheFormat)
{
    // Bottom-up rows of 8-bit grey: the first stored row is the lowest.
    {
        TTargaGraphic g;
        EXPECT_EQ(loadError(g, header(2, 0, 3, 0, 0, 0, 2, 3, 8, 0) + "id" + "\x10\x11\x20\x21\x30\x31"), "");
        ASSERT_EQ(g.Height(), 3);
        EXPECT_EQ(g.ScanLine(2)[0], 0x10);
        EXPECT_EQ(g.ScanLine(0)[1], 0x31);
        EXPECT_EQ(g.PixelColor(1, 0), gfx::RGB(0x31, 0x31, 0x31));
    }
    // A 16-bit map starting at entry 5: entry 0x7FFF is light grey; 300 entries are all skipped.
    {
        std::string map;
        for (int i = 0; i < 300; ++i)
            map += i == 0 ? std::string("\xFF\x7F") : i == 1 ? std::string("\x1F\x00", 2) : std::string(2, '\0');
        TTargaGraphic g;
        EXPECT_EQ(loadError(g, header(0, 1, 1, 5, 300, 16, 2, 1, 8, 0x20) + map + "\x05\x06"), "");
        EXPECT_EQ(g.PixelColor(0, 0), gfx::RGB(248, 248, 248));
        EXPECT_EQ(g.PixelColor(1, 0), gfx::RGB(0, 0, 248));
    }
    // 15-bit true colour, run-length coded with runs across rows' ends.
    {
        const std::string red("\x00\x7C", 2), blue("\x1F\x00", 2);
        const std::string data = "\x84" + red + "\x02" + blue + blue + blue;  // 5 red, 3 blue
        TTargaGraphic g;
        EXPECT_EQ(loadError(g, header(0, 0, 10, 0, 0, 0, 4, 2, 15, 0x20) + data), "");
        ASSERT_EQ(g.Width(), 4);
        ASSERT_EQ(g.PixelFormat(), gfx::pf15bit);
        EXPECT_EQ(g.PixelColor(3, 0), gfx::RGB(255, 0, 0));
        EXPECT_EQ(g.PixelColor(0, 1), gfx::RGB(255, 0, 0));
        EXPECT_EQ(g.PixelColor(1, 1), gfx::RGB(0, 0, 255));
        EXPECT_EQ(g.PixelColor(3, 1), gfx::RGB(0, 0, 255));
    }
    // Grey with alpha: the grey level is kept.
    {
        TTargaGraphic g;
        EXPECT_EQ(loadError(g, header(0, 0, 3, 0, 0, 0, 2, 1, 16, 0x28) + std::string("\x40\xFF\x80\x00", 4)), "");
        EXPECT_EQ(g.PixelColor(0, 0), gfx::RGB(0x40, 0x40, 0x40));
        EXPECT_EQ(g.PixelColor(1, 0), gfx::RGB(0x80, 0x80, 0x80));
    }
    // Kinds and depths that do not belong together end the load without a picture.
    for (const std::string& h : {header(0, 0, 5, 0, 0, 0, 2, 1, 8, 0), header(0, 0, 2, 0, 0, 0, 2, 1, 12, 0),
                                 header(0, 0, 1, 0, 0, 0, 2, 1, 8, 0), header(0, 1, 2, 0, 1, 8, 2, 1, 24, 0),
                                 header(0, 0, 3, 0, 0, 0, 2, 1, 24, 0)}) {
        TTargaGraphic g;
        EXPECT_EQ(loadError(g, h + std::string(64, '\x01')), "");
        EXPECT_TRUE(g.Empty());
    }
    // A side of 0 pixels, raw or run-length coded, ends the load before any row is touched.
    for (const std::string& h : {header(0, 0, 2, 0, 0, 0, 0, 5, 24, 0), header(0, 0, 10, 0, 0, 0, 0, 5, 24, 0),
                                 header(0, 0, 3, 0, 0, 0, 5, 0, 8, 0)}) {
        TTargaGraphic g;
        EXPECT_EQ(loadError(g, h), "");
        EXPECT_EQ(g.Width() + g.Height(), 0);
    }
}

TEST_F(TargaFiles, HostileFilesFailCleanly)
{
    const std::string read = "Stream read error in TGA file.";
    TTargaGraphic g;
    // A 65535-entry map that is not there, a picture far larger than its data.
    EXPECT_EQ(loadError(g, header(0, 1, 1, 0, 65535, 32, 2, 2, 8, 0) + std::string(100, '\0')), read);
    EXPECT_EQ(loadError(g, header(0, 0, 10, 0, 0, 0, 65535, 65535, 32, 0) + std::string(100, '\xFF')), read);
    EXPECT_EQ(loadError(g, header(0, 0, 2, 0, 0, 0, 300, 300, 24, 0) + std::string(1000, '\0')), read);
    const std::string file = dir.file("rle.tga");
    ASSERT_EQ(runCommand("convert", {"rose:", "-compress", "RLE", file}).exitCode, 0);
    const std::string good = readFile(file);
    for (size_t n = 0; n < good.size(); n += 37) {
        TTargaGraphic cut;
        const std::string r = loadError(cut, good.substr(0, n));
        EXPECT_EQ(r.rfind("other:", 0), std::string::npos) << n << ": " << r;
    }
}

TEST_F(TargaFiles, WrittenFilesReadByNetpbmImageMagickAndUs)
{
    const auto source = pattern(gfx::pf24bit, 37, 9);
    for (gfx::TPixelFormat f : {gfx::pf1bit, gfx::pf4bit, gfx::pf8bit, gfx::pf15bit, gfx::pf16bit, gfx::pf24bit,
                                gfx::pf32bit}) {
        for (bool compressed : {true, false}) {
            SCOPED_TRACE(std::to_string(int(f)) + (compressed ? " rle" : " raw"));
            TTargaGraphic b;
            b.Assign(*source);
            b.SetPixelFormat(f);
            // What the file should show: 5-6-5 pictures lose their green's lowest bit.
            gfx::TBitmap expected;
            expected.Assign(b);
            if (f == gfx::pf16bit)
                expected.SetPixelFormat(gfx::pf15bit);
            const std::string file = dir.file("w.tga");
            {
                rtl::TFileStream out(file, rtl::fmCreate);
                b.SaveToStream(out, compressed);
            }
            const std::string bytes = readFile(file);
            EXPECT_EQ(uint8_t(bytes[2]), (gfx::TBitmap::BitsPerPixel(f) <= 8 ? 1 : 2) + (compressed ? 8 : 0));
            EXPECT_EQ(uint8_t(bytes[17]), 0x20);
            EXPECT_EQ(differentFromNetpbm(file, expected), 0);
            EXPECT_EQ(differentPixels(file, expected), 0);
            TTargaGraphic back;
            loadFile(back, file);
            int wrong = 0;
            for (int y = 0; y < 9; ++y)
                for (int x = 0; x < 37; ++x)
                    wrong += back.PixelColor(x, y) != expected.PixelColor(x, y);
            EXPECT_EQ(wrong, 0);
        }
    }
    // The plain form saves run-length coded; a 4-bit picture becomes 8 bits with 256 entries.
    TTargaGraphic four;
    four.Assign(*source);
    four.SetPixelFormat(gfx::pf4bit);
    rtl::TMemoryStream m;
    four.SaveToStream(m);
    ASSERT_GT(m.Bytes().size(), 18u + 768u);
    EXPECT_EQ(m.Bytes()[2], 9);
    EXPECT_EQ(m.Bytes()[5] | m.Bytes()[6] << 8, 256);
    EXPECT_EQ(m.Bytes()[16], 8);
}
