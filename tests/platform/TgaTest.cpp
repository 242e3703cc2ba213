// The one Targa reader: every kind ImageMagick writes (true colour, grey, colour mapped, 16 and
// 32 bits; uncompressed and run-length encoded; either origin) read as ImageMagick reads it;
// runs across rows; damaged and hostile files each a clear error.
#include <gtest/gtest.h>

#include "platform/gfx/Tga.h"
#include "support/TestSupport.h"

using namespace gfx;
using testsupport::runCommand;

namespace {

std::string errorOf(const std::vector<uint8_t>& d)
{
    try {
        ReadTga(d.data(), d.size());
    } catch (const ETgaError& e) {
        return e.what();
    }
    return "";
}

std::vector<uint8_t> header(uint8_t type, uint16_t w, uint16_t h, uint8_t bits, uint8_t descriptor = 0)
{
    return {0, 0, type, 0, 0, 0, 0, 0, 0, 0, 0, 0, uint8_t(w), uint8_t(w >> 8), uint8_t(h), uint8_t(h >> 8), bits,
            descriptor};
}

}  // namespace

TEST(Tga, ReadsWhatImageMagickWritesAsImageMagickReadsIt)
{
    if (!testsupport::haveProgram("convert"))
        GTEST_SKIP() << "ImageMagick missing";
    testsupport::TempDir dir;
    const std::string src = dir.file("src.ppm");
    // Runs of equal pixels across the rows, and rows of varied ones.
    ASSERT_EQ(runCommand("convert", {"-size", "9x3", "xc:teal", "(", "-size", "9x3", "gradient:red-blue", ")",
                                     "-append", src})
                  .exitCode, 0);
    struct Case {
        std::vector<std::string> args;
        uint8_t type, bits;
        bool topDown, alpha;
    };
    const Case cases[] = {
        {{"-compress", "None"}, 2, 24, false, false},
        {{"-compress", "RLE"}, 10, 24, false, false},
        {{"-compress", "None", "-orient", "TopLeft"}, 2, 24, true, false},
        {{"-compress", "RLE", "-orient", "TopLeft"}, 10, 24, true, false},
        {{"-compress", "None", "-alpha", "on", "-channel", "A", "-fx", "i/9", "+channel"}, 2, 32, false, true},
        {{"-compress", "RLE", "-alpha", "on", "-channel", "A", "-fx", "i/9", "+channel"}, 10, 32, false, true},
        {{"-compress", "None", "-depth", "5"}, 2, 16, false, false},
        {{"-compress", "None", "-type", "Grayscale"}, 3, 8, false, false},
        {{"-compress", "RLE", "-type", "Grayscale"}, 11, 8, false, false},
        {{"-compress", "None", "-type", "Palette"}, 1, 8, false, false},
        {{"-compress", "RLE", "-type", "Palette", "-orient", "TopLeft"}, 9, 8, true, false},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string path = dir.file(std::to_string(n++) + ".tga");
        std::vector<std::string> args = {src};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.push_back(path);
        ASSERT_EQ(runCommand("convert", args).exitCode, 0);
        const std::string bytes = testsupport::readFile(path);
        SCOPED_TRACE(path);
        const TTgaImage t = ReadTga(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        EXPECT_EQ(t.Header.ImageType, c.type);
        EXPECT_EQ(t.Header.PixelSize, c.bits);
        EXPECT_EQ(t.Header.TopDown(), c.topDown);
        ASSERT_EQ(t.Width(), 9);
        ASSERT_EQ(t.Height(), 6);
        const std::string raw = runCommand("convert", {path, "-auto-orient", "-depth", "8", "rgba:-"}).out;
        ASSERT_EQ(raw.size(), 9u * 6 * 4);
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 9; ++x) {
                const uint8_t* p = reinterpret_cast<const uint8_t*>(raw.data()) + (size_t(y) * 9 + x) * 4;
                const uint32_t want = uint32_t(c.alpha ? p[3] : 255) << 24 | p[0] << 16 | p[1] << 8 | p[2];
                const uint32_t got = t.Argb(x, y) | (c.alpha ? 0 : 0xFF000000u);
                EXPECT_EQ(got, want) << x << "," << y;
            }
    }
}

TEST(Tga, RunsCarryOnAcrossRowsAndDamagedFilesGiveAClearError)
{
    // 3 x 2, bottom-left origin, 24 bits: one run of four blue pixels across both rows, then a
    // literal of two.
    std::vector<uint8_t> rle = header(10, 3, 2, 24);
    for (uint8_t b : {0x83, 0xFF, 0, 0, 0x01, 0, 0xFF, 0, 0, 0, 0xFF})
        rle.push_back(b);
    const TTgaImage t = ReadTga(rle.data(), rle.size());
    EXPECT_EQ(t.Argb(0, 1), 0xFF0000FFu);  // the first stored row is the bottom one
    EXPECT_EQ(t.Argb(2, 1), 0xFF0000FFu);
    EXPECT_EQ(t.Argb(0, 0), 0xFF0000FFu);  // the run's fourth pixel
    EXPECT_EQ(t.Argb(1, 0), 0xFF00FF00u);
    EXPECT_EQ(t.Argb(2, 0), 0xFFFF0000u);

    // A 16-bit colour map entry 0x7FFF is white; the index counts from the map's start.
    std::vector<uint8_t> mapped = header(1, 1, 1, 8);
    mapped[1] = 1, mapped[3] = 5, mapped[5] = 1, mapped[7] = 16;
    for (uint8_t b : {0xFF, 0x7F, 5})
        mapped.push_back(b);
    EXPECT_EQ(ReadTga(mapped.data(), mapped.size()).Argb(0, 0), 0xFFFFFFFFu);

    EXPECT_EQ(errorOf({1, 2, 3}), "Truncated TGA header");
    for (size_t n = 18; n < rle.size(); ++n)
        EXPECT_EQ(errorOf({rle.begin(), rle.begin() + long(n)}), "Truncated TGA pixels") << n;
    std::vector<uint8_t> raw = header(2, 2, 2, 16);
    raw.resize(18 + 8);
    EXPECT_EQ(errorOf(raw), "");
    EXPECT_EQ(errorOf({raw.begin(), raw.end() - 1}), "Truncated TGA pixels");
    auto patched = [](std::vector<uint8_t> d, size_t at, uint8_t v) {
        d[at] = v;
        return d;
    };
    EXPECT_EQ(errorOf(patched(raw, 2, 0)), "Unsupported TGA image type");  // no image
    EXPECT_EQ(errorOf(patched(raw, 2, 1)), "Unsupported TGA image type");  // mapped without a map
    EXPECT_EQ(errorOf(patched(raw, 1, 2)), "Unsupported TGA image type");
    EXPECT_EQ(errorOf(patched(raw, 16, 12)), "Unsupported TGA pixel depth");
    EXPECT_EQ(errorOf(patched(patched(raw, 2, 3), 16, 16)), "Unsupported TGA pixel depth");  // grey of 16 bits
    EXPECT_EQ(errorOf(patched(raw, 12, 0)), "Invalid picture size");
    EXPECT_EQ(errorOf(patched(raw, 0, 255)), "Truncated TGA pixels");  // identification past the end
    std::vector<uint8_t> shortMap = patched(patched(raw, 1, 1), 7, 24);
    shortMap[6] = 0xFF;  // 65280 entries
    EXPECT_EQ(errorOf(shortMap), "Truncated TGA colour map");
    EXPECT_EQ(errorOf(patched(patched(raw, 1, 1), 7, 8)), "Unsupported TGA colour map");
    // The largest run-length picture a header can claim, in a few bytes: refused before its
    // pixels are allocated, as 65535 x 65535 pixels cannot come from 4 bytes.
    std::vector<uint8_t> huge = header(10, 0xFFFF, 0xFFFF, 8);
    for (uint8_t b : {0xFF, 1, 0xFF, 2})
        huge.push_back(b);
    EXPECT_EQ(errorOf(huge), "Invalid picture size");
    huge[12] = huge[13] = huge[14] = 0;
    huge[15] = 0x40;  // 256 x 16384: within the limit, more than 4 bytes can give
    huge[13] = 1;
    EXPECT_EQ(errorOf(huge), "Truncated TGA pixels");
}
