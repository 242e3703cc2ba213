// The one BMP/DIB header reader: every header ImageMagick writes (OS/2 core, 40-byte, V4, V5;
// 1 to 32 bits; RLE; bit fields; top-down) read field for field, with the bitmap that reads
// through it showing the pixels ImageMagick sees; hostile headers each a clear error.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include "platform/gfx/Bitmap.h"
#include "platform/gfx/DibHeader.h"
#include "support/TestSupport.h"

using namespace gfx;
using testsupport::runCommand;

namespace {

uint32_t le32(const std::string& s, size_t at)
{
    return uint8_t(s[at]) | uint8_t(s[at + 1]) << 8 | uint8_t(s[at + 2]) << 16 | uint32_t(uint8_t(s[at + 3])) << 24;
}
void put32(std::string& s, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        s[at + size_t(i)] = char(v >> (8 * i));
}

rtl::TMemoryStream streamOf(const std::string& s)
{
    return rtl::TMemoryStream(std::vector<uint8_t>(s.begin(), s.end()));
}

// ImageMagick's own reading of a picture: 0xAARRGGBB, top row first.
std::vector<uint32_t> magickRgba(const std::string& path, int w, int h)
{
    const std::string raw = runCommand("convert", {path, "-depth", "8", "rgba:-"}).out;
    std::vector<uint32_t> px;
    EXPECT_EQ(raw.size(), size_t(w) * h * 4) << path;
    for (size_t i = 0; i + 3 < raw.size(); i += 4)
        px.push_back(uint32_t(uint8_t(raw[i + 3])) << 24 | uint8_t(raw[i]) << 16 | uint8_t(raw[i + 1]) << 8 | uint8_t(raw[i + 2]));
    return px;
}

bool within(uint32_t a, uint32_t b, int t)
{
    for (int s = 0; s < 24; s += 8)
        if (std::abs(int((a >> s) & 255) - int((b >> s) & 255)) > t)
            return false;
    return true;
}

// The header of a BMP file of `bytes`, read as the bitmaps read it.
struct Read {
    TBmpFileHeader file;
    TDibHeader dib;
    std::vector<TColor> table;
};
Read readHeaders(const std::string& bytes)
{
    rtl::TMemoryStream s = streamOf(bytes);
    Read r;
    r.file = ReadBmpFileHeader(s);
    r.dib = ReadDibHeader(s);
    if (r.dib.BitCount <= 8)
        r.table = ReadDibColorTable(s, r.dib, r.dib.ColorCount());
    return r;
}

long peakKilobytes()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

std::string errorOf(const std::string& bytes)
{
    try {
        readHeaders(bytes);
    } catch (const EBmpHeader& e) {
        return e.what();
    }
    return "";
}

}  // namespace

TEST(DibHeader, ReadsEveryHeaderImageMagickWritesAndTheBitmapSeesItsPixels)
{
    if (!testsupport::haveProgram("convert"))
        GTEST_SKIP() << "ImageMagick missing";
    testsupport::TempDir dir;
    const std::string src = dir.file("src.ppm");
    ASSERT_EQ(runCommand("convert", {"-size", "7x5", "gradient:red-blue", "(", "-size", "7x5", "gradient:lime-yellow",
                                     "-rotate", "90", "-resize", "7x5!", ")", "-compose", "multiply", "-composite", src})
                  .exitCode, 0);
    struct Case {
        std::vector<std::string> args;
        uint32_t headerSize, bits, compression, colours, redMask;
        int tolerance;
    };
    const Case cases[] = {
        {{"-type", "bilevel", "BMP2:"}, 12, 1, BI_RGB, 2, 0, 0},
        {{"-type", "truecolor", "BMP2:"}, 12, 24, BI_RGB, 0, 0, 0},
        {{"-compress", "None", "-colors", "9", "-type", "palette", "BMP3:"}, 40, 4, BI_RGB, 16, 0, 0},
        {{"-compress", "None", "-colors", "30", "-type", "palette", "BMP3:"}, 40, 8, BI_RGB, 256, 0, 0},
        {{"-compress", "RLE", "-colors", "30", "-type", "palette", "BMP3:"}, 40, 8, BI_RLE8, 256, 0, 0},
        {{"-type", "truecolor", "BMP3:"}, 40, 24, BI_RGB, 0, 0, 0},
        {{"-colors", "9", "-type", "palette", "BMP:"}, 124, 4, BI_RGB, 16, 0xFF0000, 0},  // masks written, unused
        {{"-define", "bmp:subtype=RGB565", "BMP:"}, 124, 16, BI_BITFIELDS, 0, 0xF800, 1},
        {{"-define", "bmp:subtype=RGB555", "BMP:"}, 124, 16, BI_BITFIELDS, 0, 0x7C00, 1},
        {{"-alpha", "on", "BMP:"}, 124, 32, BI_BITFIELDS, 0, 0xFF0000, 0},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string path = dir.file(std::to_string(n++) + ".bmp");
        std::vector<std::string> args = {src};
        args.insert(args.end(), c.args.begin(), c.args.end() - 1);
        args.push_back(c.args.back() + path);
        ASSERT_EQ(runCommand("convert", args).exitCode, 0);
        std::string bytes = testsupport::readFile(path);
        // The V4 header is the V5 one without its last 16 bytes (intent and profile).
        std::vector<std::pair<std::string, uint32_t>> forms = {{bytes, c.headerSize}};
        if (c.headerSize == 124) {
            std::string v4 = bytes.substr(0, 14 + 108) + bytes.substr(14 + 124);
            put32(v4, 2, uint32_t(v4.size()));
            put32(v4, 10, le32(v4, 10) - 16);
            put32(v4, 14, 108);
            forms.push_back({v4, 108});
        }
        // Top-down: the rows in the other order and the height negated, as such writers do.
        if (c.headerSize == 40 && c.compression == BI_RGB) {
            const uint32_t off = le32(bytes, 10);
            const size_t row = (size_t(7) * c.bits + 31) / 32 * 4;
            std::string td = bytes.substr(0, off);
            for (int y = 4; y >= 0; --y)
                td += bytes.substr(off + size_t(y) * row, row);
            put32(td, 22, uint32_t(-5));
            forms.push_back({td, 40});
        }
        const std::vector<uint32_t> ref = magickRgba(path, 7, 5);
        for (const auto& [file, size] : forms) {
            SCOPED_TRACE(c.args[c.args.size() - 2] + " header " + std::to_string(size));
            const Read r = readHeaders(file);
            EXPECT_EQ(r.dib.HeaderSize, size);
            EXPECT_TRUE(r.dib.KnownVersion());
            EXPECT_EQ(r.dib.Width, 7);
            EXPECT_EQ(r.dib.Height, 5);
            EXPECT_EQ(r.dib.TopDown, &file != &forms[0].first && size == 40);
            EXPECT_EQ(r.dib.BitCount, c.bits);
            EXPECT_EQ(r.dib.Compression, c.compression);
            EXPECT_EQ(r.dib.RedMask, c.redMask);
            EXPECT_EQ(r.table.size(), c.colours);
            if (size == 12) {
                EXPECT_EQ(r.file.OffBits, 14 + 12 + 3 * c.colours);
            }
            TBitmap b;
            rtl::TMemoryStream s = streamOf(file);
            b.LoadFromStream(s);
            ASSERT_EQ(b.Width(), 7);
            ASSERT_EQ(b.Height(), 5);
            for (int y = 0; y < 5; ++y)
                for (int x = 0; x < 7; ++x) {
                    const TColor p = b.PixelColor(x, y);
                    const uint32_t ours = uint32_t(GetRValue(p)) << 16 | GetGValue(p) << 8 | GetBValue(p);
                    EXPECT_TRUE(within(ours, ref[size_t(y) * 7 + x], c.tolerance))
                        << x << "," << y << std::hex << " " << ours << " vs " << ref[size_t(y) * 7 + x];
                }
        }
    }
}

TEST(DibHeader, HostileHeadersGiveAClearErrorWithoutSizingAnythingByThem)
{
    // A 2 x 2 8-bit file with a 40-byte header and a full table.
    std::string good = std::string("BM") + std::string(12, '\0');
    good += std::string(40, '\0');
    put32(good, 14, 40);
    put32(good, 18, 2);
    put32(good, 22, 2);
    good[26] = 1;
    good[28] = 8;
    good += std::string(256 * 4, '\x10') + std::string(8, '\x01');
    put32(good, 10, 14 + 40 + 1024);
    ASSERT_EQ(errorOf(good), "");

    // Every truncation of the headers and the table.
    for (size_t n = 0; n < 14 + 40 + 1024; n += 5)
        EXPECT_NE(errorOf(good.substr(0, n)), "") << n;
    EXPECT_EQ(errorOf(good.substr(0, 10)), "BMP file header cut short");

    auto patched = [&](size_t at, uint32_t v) {
        std::string f = good;
        put32(f, at, v);
        return f;
    };
    EXPECT_EQ(errorOf("BX" + good.substr(2)), "Not a BMP file");
    EXPECT_EQ(errorOf(patched(14, 39)), "Unknown BMP header size 39");
    EXPECT_EQ(errorOf(patched(14, 0xFFFFFFF0)), "BMP header cut short");  // skipped, not allocated
    EXPECT_EQ(errorOf(patched(18, 0)), "BMP picture without pixels");
    EXPECT_EQ(errorOf(patched(18, 0x7FFFFFFF)), "BMP picture too large");
    EXPECT_EQ(errorOf(patched(22, 0x80000000)), "BMP picture too large");  // height -2^31
    // Sides within the limit whose rows would overflow it: 32768 x 32768 at 32 bits.
    std::string wide = patched(18, 32768);
    put32(wide, 22, 32768);
    wide[28] = 32;
    EXPECT_EQ(errorOf(wide), "BMP picture too large");
    wide[28] = char(0xFF), wide[29] = char(0xFF);  // 65535 bits a pixel
    EXPECT_EQ(errorOf(wide), "BMP picture too large");
    EXPECT_EQ(errorOf(patched(30, 4)), "Unsupported BMP compression");  // JPEG inside
    std::string rleTopDown = patched(30, BI_RLE8);
    put32(rleTopDown, 22, uint32_t(-2));
    EXPECT_EQ(errorOf(rleTopDown), "Unsupported BMP compression");
    EXPECT_EQ(errorOf(patched(30, BI_RLE4)), "Unsupported BMP compression");  // at 8 bits
    EXPECT_EQ(errorOf(patched(30, BI_BITFIELDS).substr(0, 14 + 40 + 8)), "BMP bit-field masks cut short");

    // A table past the end: refused whole, or read as far as it goes where the bitmap asks so.
    const std::string shortTable = good.substr(0, 14 + 40 + 10 * 4 + 3);
    EXPECT_EQ(errorOf(shortTable), "BMP colour table cut short");
    rtl::TMemoryStream s = streamOf(shortTable);
    ReadBmpFileHeader(s);
    const TDibHeader h = ReadDibHeader(s);
    EXPECT_EQ(ReadDibColorTable(s, h, 256, 1 << 20).size(), 11u);
    // A colour count of four thousand million is checked against the bytes, not allocated.
    const long before = peakKilobytes();
    EXPECT_EQ(errorOf(patched(46, 0xFFFFFFFF)), "BMP colour table cut short");
    EXPECT_LT(peakKilobytes() - before, 64 * 1024);

    // Each bitmap turns the reader's refusal into its own error.
    for (const std::string& bad : {patched(18, 0x7FFFFFFF), patched(14, 0xFFFFFFF0), shortTable}) {
        TBitmap b(1, 1);
        rtl::TMemoryStream in = streamOf(bad);
        EXPECT_THROW(b.LoadFromStream(in), EInvalidGraphic);
        EXPECT_EQ(b.Width(), 1);
    }
}
