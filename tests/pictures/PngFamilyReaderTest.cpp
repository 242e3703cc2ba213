// The reader family's PNG reader over the PNG object's fixture set (the same pixels as the PNG
// object and ImageMagick), hand-made files for its chunk rules, filters and interlacing, and
// broken and hostile files.
#include "PictureTestSupport.h"
#include "PngFixtures.h"
#include "pictures/formats/PngGraphic.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <set>

using namespace testsupport;
using namespace pngtest;

namespace {

std::unique_ptr<TPNGGraphic> loadFamily(const std::string& bytes)
{
    auto g = std::make_unique<TPNGGraphic>();
    rtl::TMemoryStream m(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    g->LoadFromStream(m);
    return g;
}

std::string errorOf(const std::string& bytes)
{
    try {
        loadFamily(bytes);
    } catch (const std::exception& e) {
        return e.what();
    }
    return "";
}

// A grey 8-bit picture of w x h with rows given whole (filter byte first), in one IDAT.
std::string grayFile(uint32_t w, uint32_t h, const std::string& raw, int interlace = 0, const std::string& extra = {})
{
    return Signature + ihdr(w, h, 8, 0, interlace) + extra + chunk("IDAT", deflated(raw)) + chunk("IEND", "");
}

uint8_t value(uint32_t x, uint32_t y) { return uint8_t(x * 37 + y * 11 + (x * y) % 7); }

TEST(PngFamilyReader, SamePixelsAsThePngObjectAndImageMagick)
{
    if (!haveProgram("convert") || !haveProgram("pnmtopng"))
        GTEST_SKIP() << "ImageMagick and netpbm are needed";
    TempDir dir;
    int n = 0;
    for (const Kind& k : kinds()) {
        SCOPED_TRACE(k.name);
        const std::string file = make(dir, "k" + std::to_string(n++) + ".png", k.command);
        int w = 0, h = 0;
        const auto theirs = magickPixels(file, &w, &h);
        png::TPNGObject object;
        object.LoadFromFile(file);
        std::unique_ptr<TPNGGraphic> g;
        ASSERT_NO_THROW(g = loadFamily(readFile(file)));
        ASSERT_EQ(g->Width(), w);
        ASSERT_EQ(g->Height(), h);
        // 16-bit samples: the colour manager rounds to 8 bits where the others take the high byte.
        const int slack = k.depth == 16 ? 1 : 0;
        auto differs = [slack](const Rgba& a, const Rgba& b) {
            return std::abs(a.r - b.r) > slack || std::abs(a.g - b.g) > slack || std::abs(a.b - b.b) > slack;
        };
        int wrongObject = 0, wrongMagick = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const Rgba o = ourPixel(object, x, y), t = theirs[size_t(y) * size_t(w) + size_t(x)];
                const gfx::TColor c = g->PixelColor(x, y);
                const Rgba f{uint8_t(gfx::GetRValue(c)), uint8_t(gfx::GetGValue(c)), uint8_t(gfx::GetBValue(c)), 255};
                if (o.a != 0)
                    wrongObject += differs(f, o);
                if (t.a != 0)
                    wrongMagick += differs(f, t);
                if (k.colorType == 6)
                    wrongObject += std::abs(g->ScanLine(y)[4 * x + 3] - o.a) > slack;
            }
        EXPECT_EQ(wrongObject, 0);
        EXPECT_EQ(wrongMagick, 0);
    }
}

TEST(PngFamilyReader, ChunkRules)
{
    std::string raw;
    for (uint32_t y = 0; y < 3; ++y) {
        raw += '\0';
        for (uint32_t x = 0; x < 4; ++x)
            raw += char(value(x, y));
    }
    // Chunk names compare without their case bits.
    const std::string lower = Signature + ihdr(4, 3, 8, 0) + chunk("idat", deflated(raw)) + chunk("iend", "");
    auto g = loadFamily(lower);
    EXPECT_EQ(g->ScanLine(2)[3], value(3, 2));

    // Palettes: 767 bytes and more than 256 entries refused; tRNS fills the entries it has.
    std::string pal, entries;
    for (int i = 0; i < 256; ++i)
        pal += std::string{char(i), char(255 - i), char(i / 2)};
    const std::string indices = std::string(1, '\0') + "\x01\x02\x0f\x10";
    auto palette = [&](const std::string& plte, const std::string& trns) {
        return Signature + ihdr(4, 1, 8, 3) + chunk("PLTE", plte) + (trns.empty() ? "" : chunk("tRNS", trns)) +
               chunk("IDAT", deflated(indices)) + chunk("IEND", "");
    };
    const std::string invalid = "Cannot load image. Palette in PNG file is invalid.";
    EXPECT_EQ(errorOf(palette(pal.substr(0, 767), "")), invalid);
    EXPECT_EQ(errorOf(palette(pal + "abc", "")), invalid);
    auto withAlpha = loadFamily(palette(pal, std::string(16, '\x40')));
    EXPECT_EQ(withAlpha->Transparency()[15], 0x40);
    EXPECT_EQ(withAlpha->Transparency()[16], 255);
    EXPECT_EQ(withAlpha->Transparency()[255], 255);
    EXPECT_EQ(gfx::ColorToRGB(withAlpha->PixelColor(3, 0)), gfx::RGB(16, 239, 8));
    EXPECT_NO_THROW(loadFamily(palette(pal, std::string(300, '\x20'))));

    // Critical chunks the reader does not know stop it; ancillary ones are passed over.
    EXPECT_EQ(errorOf(grayFile(4, 3, raw, 0, chunk("ABCD", "x"))),
              "Cannot load PNG image. Unexpected but critical chunk detected.");
    EXPECT_EQ(loadFamily(grayFile(4, 3, raw, 0, chunk("abCD", "x")))->ScanLine(1)[1], value(1, 1));
    std::string crc = grayFile(4, 3, raw);
    crc[8 + 25 - 1] ^= 1;
    EXPECT_EQ(errorOf(crc), "Cannot load image. CRC error found in PNG file.");
    // Image data that ends before the last row, in the stream or at another chunk.
    EXPECT_EQ(errorOf(grayFile(4, 3, raw.substr(0, 10))), "Cannot load image. Compression error found in PNG file.");
    const std::string cut = deflated(raw);
    EXPECT_EQ(errorOf(Signature + ihdr(4, 3, 8, 0) + chunk("IDAT", cut.substr(0, 6)) + chunk("tEXt", "a\0b") +
                      chunk("IDAT", cut.substr(6)) + chunk("IEND", "")),
              "Cannot load image. Compression error found in PNG file.");
    // Split over chunks, it reads on.
    EXPECT_EQ(loadFamily(Signature + ihdr(4, 3, 8, 0) + chunk("IDAT", cut.substr(0, 6)) + chunk("IDAT", cut.substr(6)) +
                         chunk("IEND", ""))->ScanLine(2)[2],
              value(2, 2));
    EXPECT_EQ(errorOf(Signature + ihdr(4, 3, 16, 3) + chunk("IDAT", cut) + chunk("IEND", "")),
              "Invalid color format in PNG file.");
}

TEST(PngFamilyReader, FiltersAndInterlacing)
{
    EXPECT_EQ(TPNGGraphic::PaethPredictor(10, 20, 15), 15);
    EXPECT_EQ(TPNGGraphic::PaethPredictor(10, 20, 30), 10);
    EXPECT_EQ(TPNGGraphic::PaethPredictor(20, 20, 5), 20);  // left and above equally close: left
    EXPECT_EQ(TPNGGraphic::PaethPredictor(0, 15, 5), 15);   // above and upper left equally close: above

    // Every filter over every row, plain and Adam7; each pass filters against a zero row
    // first (a filter 2 row that took the last pass's row would come out wrong).
    const uint32_t w = 11, h = 9;
    for (const int interlace : {0, 1})
        for (int filter = 0; filter <= 4; ++filter) {
            std::string raw;
            auto addRows = [&](uint32_t x0, uint32_t dx, uint32_t y0, uint32_t dy) {
                std::vector<uint8_t> prev;
                for (uint32_t y = y0; y < h; y += dy) {
                    std::vector<uint8_t> row;
                    for (uint32_t x = x0; x < w; x += dx)
                        row.push_back(value(x, y));
                    if (row.empty())
                        return;
                    if (prev.empty())
                        prev.assign(row.size(), 0);
                    raw += char(filter);
                    for (size_t i = 0; i < row.size(); ++i) {
                        const uint8_t a = i ? row[i - 1] : 0, b = prev[i], c = i ? prev[i - 1] : 0;
                        const uint8_t predicted = filter == 1 ? a : filter == 2 ? b : filter == 3 ? uint8_t((a + b) / 2)
                                                  : filter == 4 ? TPNGGraphic::PaethPredictor(a, b, c) : 0;
                        raw += char(row[i] - predicted);
                    }
                    prev = row;
                }
            };
            if (interlace)
                for (const auto& [y0, x0, dy, dx] : std::vector<std::array<uint32_t, 4>>{
                         {0, 0, 8, 8}, {0, 4, 8, 8}, {4, 0, 8, 4}, {0, 2, 4, 4}, {2, 0, 4, 2}, {0, 1, 2, 2}, {1, 0, 2, 1}})
                    addRows(x0, dx, y0, dy);
            else
                addRows(0, 1, 0, 1);
            auto g = loadFamily(grayFile(w, h, raw, interlace));
            int wrong = 0;
            for (uint32_t y = 0; y < h; ++y)
                for (uint32_t x = 0; x < w; ++x)
                    wrong += g->ScanLine(int32_t(y))[x] != value(x, y);
            EXPECT_EQ(wrong, 0) << "filter " << filter << " interlace " << interlace;
        }
    // A one-pixel interlaced picture: six empty passes carry nothing.
    auto one = loadFamily(grayFile(1, 1, std::string("\0\x7b", 2), 1));
    EXPECT_EQ(one->ScanLine(0)[0], 0x7b);
}

TEST(PngFamilyReader, HostileFiles)
{
    const std::set<std::string> allowed = {
        "Cannot load image. Invalid or unexpected PNG image format.", "Stream read error in PNG file.",
        "Cannot load image. CRC error found in PNG file.", "Cannot load image. Compression error found in PNG file.",
        "Cannot load image. Extra compressed data found in PNG file.", "Cannot load image. Palette in PNG file is invalid.",
        "Cannot load PNG image. Unexpected but critical chunk detected.", "Invalid color format in PNG file.",
        "Cannot load image. The compression scheme is not supported for PNG files.", "Bitmap too large"};
    std::string raw;
    for (uint32_t y = 0; y < 6; ++y) {
        raw += char(y % 5);
        for (uint32_t x = 0; x < 7 * 3; ++x)
            raw += char(value(x, y));
    }
    const std::string file = Signature + ihdr(7, 6, 8, 2, 0) + chunk("gAMA", be32(45455)) + chunk("IDAT", deflated(raw)) +
                             chunk("IEND", "");
    for (size_t n = 0; n < file.size(); ++n) {
        const std::string e = errorOf(file.substr(0, n));
        // The end chunk's CRC is not needed.
        EXPECT_TRUE(allowed.count(e) || (e.empty() && n >= file.size() - 4)) << "cut at " << n << ": " << e;
    }
    // Changed bytes with their CRCs mended, so that the reader sees the change.
    for (size_t at = 16; at + 12 < file.size(); ++at)
        for (const char v : {'\x00', '\x03', '\x7f', '\xff'}) {
            std::string bad = file;
            bad[at] = v;
            size_t pos = 8;
            while (pos + 12 <= bad.size()) {
                const uint32_t len = uint32_t(uint8_t(bad[pos])) << 24 | uint32_t(uint8_t(bad[pos + 1])) << 16 |
                                     uint32_t(uint8_t(bad[pos + 2])) << 8 | uint8_t(bad[pos + 3]);
                if (pos + 12 + uint64_t(len) > bad.size())
                    break;
                const uint32_t c = uint32_t(crc32(0, reinterpret_cast<const Bytef*>(bad.data() + pos + 4), len + 4));
                bad.replace(pos + 8 + len, 4, be32(c));
                pos += 12 + len;
            }
            const std::string e = errorOf(bad);
            EXPECT_TRUE(e.empty() || allowed.count(e)) << "byte " << at << ": " << e;
        }
}

}  // namespace
