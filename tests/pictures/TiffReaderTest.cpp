// The TIFF and EPS readers on files that ImageMagick and libtiff's tools write, compared with
// what libtiff's own tiff2rgba makes of the same files, and on files broken on purpose.
#include "pictures/Bmp2Tiff.h"
#include "pictures/formats/TiffGraphic.h"
#include "PictureTestSupport.h"
#include "platform/rtl/Streams.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using namespace testsupport;
using namespace pngtest;

namespace {

// The largest channel difference between our reading and ImageMagick's reading of `reference`
// (-1 when the sizes differ).
int largestDifference(const std::string& reference, const gfx::TBitmap& b)
{
    int w = 0, h = 0, worst = 0;
    const auto theirs = magickPixels(reference, &w, &h);
    if (w != b.Width() || h != b.Height() || theirs.empty())
        return -1;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const gfx::TColor c = b.PixelColor(x, y);
            const Rgba t = theirs[size_t(y) * w + x];
            worst = std::max({worst, std::abs(t.r - int(gfx::GetRValue(c))), std::abs(t.g - int(gfx::GetGValue(c))),
                              std::abs(t.b - int(gfx::GetBValue(c)))});
        }
    return worst;
}

// Sets the value of a one-value SHORT or LONG entry of a little-endian file's first directory.
void patchTag(std::string& f, uint16_t tag, uint32_t value)
{
    auto u16 = [&](size_t at) { return uint16_t(uint8_t(f[at]) | uint8_t(f[at + 1]) << 8); };
    auto u32 = [&](size_t at) { return uint32_t(u16(at)) | uint32_t(u16(at + 2)) << 16; };
    const size_t dir = u32(4);
    for (size_t i = 0; i < u16(dir); ++i) {
        const size_t e = dir + 2 + 12 * i;
        if (u16(e) == tag) {
            for (int k = 0; k < 4; ++k)
                f[e + 8 + k] = char(u16(e + 2) == 3 && k >= 2 ? 0 : value >> (8 * k));
            return;
        }
    }
    ADD_FAILURE() << "no tag " << tag;
}

class TiffFiles : public ::testing::Test {
protected:
    TempDir dir;
    std::string make(const std::string& name, std::vector<std::string> convertArgs)
    {
        const std::string out = dir.file(name);
        convertArgs.insert(convertArgs.begin(), "rose:");
        convertArgs.push_back(out);
        const auto r = runCommand("convert", convertArgs);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return out;
    }
    std::string tiffcp(const std::string& from, const std::string& name, std::vector<std::string> args)
    {
        const std::string out = dir.file(name);
        args.push_back(from);
        args.push_back(out);
        const auto r = runCommand("tiffcp", args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return out;
    }
    // Our reading against tiff2rgba's; the largest channel difference.
    int compare(const std::string& file, TTIFFGraphic& g)
    {
        rtl::TFileStream s(file, rtl::fmOpenRead);
        g.LoadFromStream(s);
        const std::string rgba = file + ".rgba.tif";
        EXPECT_EQ(runCommand("tiff2rgba", {file, rgba}).exitCode, 0);
        return largestDifference(rgba, g);
    }
};

}  // namespace

TEST_F(TiffFiles, CompressionsDepthsAndSchemesMatchLibtiff)
{
    struct Case {
        const char* name;
        std::vector<std::string> args;
        int tolerance;
    };
    const std::vector<Case> cases = {
        {"none.tif", {"-compress", "none"}, 0},
        {"packbits.tif", {"-compress", "RLE"}, 0},
        {"zip.tif", {"-compress", "Zip"}, 0},
        {"zip-pred.tif", {"-compress", "Zip", "-define", "tiff:predictor=2"}, 0},
        {"zip16-pred.tif", {"-depth", "16", "-compress", "Zip", "-define", "tiff:predictor=2"}, 1},
        {"mm16.tif", {"-depth", "16", "-endian", "MSB", "-compress", "none"}, 1},
        {"mm-pred16.tif", {"-depth", "16", "-endian", "MSB", "-compress", "Zip", "-define", "tiff:predictor=2"}, 1},
        {"jpeg.tif", {"-compress", "JPEG", "-quality", "90"}, 12},
        {"fax.tif", {"-monochrome", "-compress", "Fax"}, 0},
        {"grey1.tif", {"-colorspace", "gray", "-depth", "1", "-compress", "none"}, 0},
        {"grey2.tif", {"-colorspace", "gray", "-depth", "2", "-compress", "none"}, 0},
        {"grey4.tif", {"-colorspace", "gray", "-depth", "4", "-compress", "none"}, 0},
        {"grey8.tif", {"-colorspace", "gray", "-compress", "RLE"}, 0},
        {"grey16.tif", {"-colorspace", "gray", "-depth", "16", "-compress", "none"}, 1},
        {"white0.tif", {"-colorspace", "gray", "-define", "tiff:photometric=min-is-white", "-compress", "none"}, 0},
        {"greyalpha.tif", {"-colorspace", "gray", "-alpha", "set", "-compress", "none"}, 0},
        {"palette.tif", {"-type", "Palette", "-compress", "none"}, 1},  // 16-bit map entries scaled down
        {"palette4.tif", {"-colors", "12", "-type", "Palette", "-depth", "4", "-compress", "none"}, 1},
        {"rgba.tif", {"-alpha", "set", "-compress", "Zip"}, 0},
        {"cmyk.tif", {"-colorspace", "CMYK", "-compress", "none"}, 1},
        {"mm.tif", {"-endian", "MSB", "-compress", "RLE"}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = make(c.name, c.args);
        TTIFFGraphic g;
        EXPECT_LE(compare(file, g), c.tolerance);
    }
}

// ImageMagick's CIE L*a*b* file: L* scaled to 0..255, a* and b* signed bytes, turned into
// XYZ and on to linear RGB (no transfer curve, unlike libtiff's reading).
TEST_F(TiffFiles, LabThroughTheXyzFormula)
{
    const std::string file = make("lab.tif", {"-colorspace", "Lab", "-compress", "none", "-define", "tiff:rows-per-strip=46"});
    const std::string bytes = readFile(file);
    TTIFFGraphic g;
    ASSERT_EQ(loadError(g, bytes), "");
    size_t at = 0;
    ASSERT_TRUE(g.FindTag(273, at));
    const uint32_t strip = g.Directory()[at].Offset;
    int worst = 0;
    for (int y = 0; y < 46; y += 3)
        for (int x = 0; x < 70; x += 4) {
            const auto* p = reinterpret_cast<const uint8_t*>(bytes.data()) + strip + 3 * (y * 70 + x);
            const double L = p[0] / 2.55, a = int8_t(p[1]), b = int8_t(p[2]);
            const double fy = (L + 16) / 116;
            const double X = L < 7.9996 ? L / 903.3 + a / 3893.5 : std::pow(fy + a / 500, 3);
            const double Y = L < 7.9996 ? L / 903.3 : fy * fy * fy;
            const double Z = L < 7.9996 ? L / 903.3 - b / 1557.4 : std::pow(fy - b / 200, 3);
            auto level = [](double v) { return int(std::clamp(std::nearbyint(v * 255), 0.0, 255.0)); };
            const gfx::TColor c = g.PixelColor(x, y);
            worst = std::max({worst, std::abs(level(2.998 * X - 1.458 * Y - 0.541 * Z) - int(gfx::GetRValue(c))),
                              std::abs(level(-0.952 * X + 1.893 * Y + 0.059 * Z) - int(gfx::GetGValue(c))),
                              std::abs(level(0.099 * X - 0.198 * Y + 1.099 * Z) - int(gfx::GetBValue(c)))});
        }
    EXPECT_LE(worst, 1);
}

TEST_F(TiffFiles, TilesPlanesFillOrderAndCopiesByTiffcp)
{
    const std::string rgb = make("rgb.tif", {"-resize", "150x100!", "-compress", "none"});
    const std::string grey = make("grey.tif", {"-resize", "150x100!", "-colorspace", "gray", "-compress", "none"});
    const std::string bw = make("bw.tif", {"-monochrome", "-depth", "1", "-compress", "none"});
    const std::vector<std::pair<std::string, int>> files = {
        {tiffcp(rgb, "tiles.tif", {"-t", "-w", "64", "-l", "64"}), 0},
        {tiffcp(rgb, "tiles-zip.tif", {"-t", "-w", "64", "-l", "64", "-c", "zip:2"}), 0},
        {tiffcp(rgb, "separate.tif", {"-p", "separate"}), 0},
        {tiffcp(rgb, "separate-packbits.tif", {"-p", "separate", "-c", "packbits", "-r", "7"}), 0},
        {tiffcp(rgb, "jpeg-rgb.tif", {"-c", "jpeg:r:90", "-r", "16"}), 12},
        {tiffcp(rgb, "jpeg-ycbcr.tif", {"-c", "jpeg:90", "-r", "16"}), 12},
        {tiffcp(grey, "fillorder.tif", {"-f", "lsb2msb", "-c", "zip"}), 0},
        {tiffcp(bw, "g3.tif", {"-c", "g3:1d", "-f", "lsb2msb"}), 0},
        {tiffcp(grey, "tiles-grey.tif", {"-t", "-w", "32", "-l", "16", "-c", "packbits"}), 0},
    };
    for (const auto& [file, tolerance] : files) {
        SCOPED_TRACE(file);
        TTIFFGraphic g;
        try {
            EXPECT_LE(compare(file, g), tolerance);
        } catch (const std::exception& e) {
            ADD_FAILURE() << e.what();
        }
    }
}

namespace {

// A one-strip little-endian WhiteIsZero file (1-bit pixels: 1 = black); the byte counts and
// the predictor tag only when asked for.
std::string bilevelTiff(uint32_t w, uint32_t h, uint32_t compression, bool lsbFirst, const std::string& strip,
                        uint32_t bits = 1, bool byteCounts = true, uint32_t predictor = 0)
{
    auto le16 = [](uint32_t v) { return std::string{char(v), char(v >> 8)}; };
    auto le32 = [&](uint32_t v) { return le16(v & 0xFFFF) + le16(v >> 16); };
    auto entry = [&](uint32_t tag, uint32_t type, uint32_t value) {
        return le16(tag) + le16(type) + le32(1) + (type == 3 ? le16(value) + le16(0) : le32(value));
    };
    std::string entries = entry(256, 4, w) + entry(257, 4, h) + entry(258, 3, bits) + entry(259, 3, compression) +
                          entry(262, 3, 0) + entry(266, 3, lsbFirst ? 2 : 1) + entry(273, 4, 8) + entry(277, 3, 1) +
                          entry(278, 4, h);
    if (byteCounts)
        entries += entry(279, 4, uint32_t(strip.size()));
    if (predictor)
        entries += entry(317, 3, predictor);
    const uint32_t dirAt = uint32_t(8 + strip.size());
    return "II" + le16(42) + le32(dirAt) + strip + le16(uint32_t(entries.size() / 12)) + entries + le32(0);
}

}  // namespace

TEST_F(TiffFiles, ModifiedHuffmanStripsInTiffFiles)
{
    const std::string pbm = make("bw.pbm", {"-resize", "300x200!", "-monochrome"});
    for (bool aligned : {false, true})
        for (bool lsb : {false, true}) {
            SCOPED_TRACE(std::to_string(aligned) + std::to_string(lsb));
            std::vector<std::string> args{sourceDir() + "/tests/pictures/fax_mh.py", pbm};
            if (aligned)
                args.push_back("aligned");
            if (lsb)
                args.push_back("lsb");
            const auto strip = runCommand(python3(), args);
            ASSERT_EQ(strip.exitCode, 0) << strip.err;
            TTIFFGraphic g;
            EXPECT_EQ(loadError(g, bilevelTiff(300, 200, aligned ? 32771 : 2, lsb, strip.out)), "");
            EXPECT_EQ(largestDifference(pbm, g), 0);
        }
}

// ThunderScan rows are counted in bytes of two pixels each: a 6-pixel row ends after 3 bytes,
// and a run that reaches past it is cut there.
TEST_F(TiffFiles, ThunderScanStripInATiffFile)
{
    // Row 0: pixels 7, 9, then a run of 9s; row 1: pixel 2, then a run of 2s.
    const std::string strip("\xC7\xC9\x3F\xC2\x3F", 5);
    TTIFFGraphic g;
    ASSERT_EQ(loadError(g, bilevelTiff(6, 2, 32809, false, strip, 4)), "");
    auto level = [&](int x, int y) { return int(gfx::GetRValue(g.PixelColor(x, y))); };
    // WhiteIsZero: level (15 - v) x 17.
    EXPECT_EQ(level(0, 0), 8 * 17);
    for (int x = 1; x < 6; ++x)
        EXPECT_EQ(level(x, 0), 6 * 17) << x;
    for (int x = 0; x < 6; ++x)
        EXPECT_EQ(level(x, 1), 13 * 17) << x;
}

TEST_F(TiffFiles, PatchedTagsOurWriterAndResolution)
{
    // Deflate under its old number, one strip claimed as 4294967295 rows: libtiff reads both.
    std::string zip = readFile(make("old.tif", {"-compress", "Zip", "-define", "tiff:rows-per-strip=1000"}));
    patchTag(zip, 259, 32946);
    patchTag(zip, 278, 0xFFFFFFFF);
    writeFile(dir.file("patched.tif"), zip);
    TTIFFGraphic g;
    EXPECT_EQ(compare(dir.file("patched.tif"), g), 0);

    // Our writer's files (it keeps 8-bit palette levels as the high byte of 16-bit ones).
    const auto b = pattern(gfx::pf24bit, 21, 13);
    for (gfx::TPixelFormat f : {gfx::pf1bit, gfx::pf4bit, gfx::pf8bit, gfx::pf24bit}) {
        SCOPED_TRACE(int(f));
        gfx::TBitmap src;
        src.Assign(*b);
        src.SetPixelFormat(f);
        SaveBitmapAsTiffFile(dir.file("ours.tif"), src);
        TTIFFGraphic ours;
        EXPECT_LE(compare(dir.file("ours.tif"), ours), 1);
    }

    TTIFFGraphic cm;
    rtl::TFileStream s(make("cm.tif", {"-units", "PixelsPerCentimeter", "-density", "100", "-compress", "none"}),
                       rtl::fmOpenRead);
    ASSERT_TRUE(cm.ReadImageProperties(s, 0));
    EXPECT_NEAR(cm.ImageProperties.XResolution, 254.0f, 0.01f);
    s.SetPosition(0);
    EXPECT_TRUE(cm.CanLoad(s));
    EXPECT_EQ(s.Position(), 0);
}

TEST_F(TiffFiles, UnsupportedAndHostileFilesGiveTheirMessages)
{
    const std::string notSupported = "Cannot load image. The compression scheme is not supported for TIF/TIFF files.";
    TTIFFGraphic g;
    EXPECT_EQ(loadError(g, readFile(make("lzw.tif", {"-compress", "LZW"}))), notSupported);
    EXPECT_EQ(loadError(g, readFile(make("g4.tif", {"-monochrome", "-compress", "Group4"}))), notSupported);
    EXPECT_EQ(loadError(g, "II*\0\0\0\0\0"), "Cannot load image. Invalid or unexpected TIF/TIFF image format.");

    const std::string good = readFile(make("good.tif", {"-compress", "Zip", "-define", "tiff:rows-per-strip=8"}));
    // A deflate stream broken in its middle.
    std::string broken = good;
    broken[8] = broken[9] = char(0xFF);  // the first strip's zlib header
    EXPECT_EQ(loadError(g, broken), "Cannot load image. Compression error found in TIF/TIFF file.");
    // A strip claiming more than its bytes can hold.
    std::string huge = good;
    patchTag(huge, 278, 30000);
    patchTag(huge, 257, 30000);
    EXPECT_EQ(loadError(g, huge), "Cannot load image. Invalid or unexpected TIF/TIFF image format.");
    // Depths the colour manager cannot take, and the predictor below 8 bits.
    const std::string colors = "Invalid color format in TIF/TIFF file.";
    EXPECT_EQ(loadError(g, bilevelTiff(8, 2, 1, false, std::string(6, '\0'), 3)), colors);
    EXPECT_EQ(loadError(g, bilevelTiff(8, 2, 1, false, std::string(64, '\0'), 32)), colors);
    EXPECT_EQ(loadError(g, bilevelTiff(16, 2, 8, false, std::string(6, '\0'), 4, true, 2)), colors);
    // Old writers leave the byte counts out of uncompressed files; a decoder needs them.
    EXPECT_EQ(loadError(g, bilevelTiff(8, 2, 1, false, "\xF0\x0F", 1, false)), "");
    EXPECT_EQ(g.PixelColor(0, 0), gfx::clBlack);
    EXPECT_EQ(g.PixelColor(0, 1), gfx::clWhite);
    EXPECT_EQ(loadError(g, bilevelTiff(8, 2, 32773, false, "\x01\xF0\x0F", 1, false)),
              "Cannot load image. Invalid or unexpected TIF/TIFF image format.");
    EXPECT_EQ(loadError(g, bilevelTiff(8, 2, 32773, false, "\x01\xF0\x0F", 1, true)), "");
    EXPECT_EQ(g.PixelColor(7, 1), gfx::clBlack);
    // Rows that are not in the file.
    EXPECT_EQ(loadError(g, bilevelTiff(8, 1000, 1, false, "\xF0\x0F", 1, false)),
              "Cannot load image. Invalid or unexpected TIF/TIFF image format.");

    // A palette whose ColorMap holds too many values.
    std::string pal = readFile(make("pal.tif", {"-type", "Palette", "-depth", "4", "-colors", "8", "-compress", "none"}));
    {
        auto u16 = [&](size_t at) { return uint16_t(uint8_t(pal[at]) | uint8_t(pal[at + 1]) << 8); };
        const size_t dirAt = uint32_t(u16(4)) | uint32_t(u16(6)) << 16;
        for (size_t i = 0; i < u16(dirAt); ++i)
            if (u16(dirAt + 2 + 12 * i) == 320)
                pal[dirAt + 2 + 12 * i + 4] = char(0xFF), pal[dirAt + 2 + 12 * i + 5] = char(0xFF);
    }
    const std::string e = loadError(g, pal);
    EXPECT_TRUE(e == "Cannot load image. Palette in TIF/TIFF file is invalid." ||
                e == "Cannot load image. Invalid or unexpected TIF/TIFF image format.")
        << e;

    // Every cut of a file fails cleanly or loads.
    for (size_t n = 0; n < good.size(); n += std::max<size_t>(1, good.size() / 97)) {
        TTIFFGraphic cut;
        const std::string r = loadError(cut, good.substr(0, n));
        EXPECT_EQ(r.rfind("other:", 0), std::string::npos) << n << ": " << r;
    }
}

namespace {

// A little-endian deflate file whose strips (or tiles) of pieceW x pieceH pixels all point at
// the same zlib stream of zeros.
std::string sharedStreamTiff(uint32_t w, uint32_t h, uint32_t spp, uint32_t bps, uint32_t pieceW, uint32_t pieceH,
                             bool tiled)
{
    auto le16 = [](uint32_t v) { return std::string{char(v), char(v >> 8)}; };
    auto le32 = [&](uint32_t v) { return le16(v & 0xFFFF) + le16(v >> 16); };
    const uint32_t pieces = (tiled ? (w + pieceW - 1) / pieceW : 1) * ((h + pieceH - 1) / pieceH);
    const std::string zeros(size_t(pieceW) * pieceH * spp * bps / 8, '\0');
    uLongf size = compressBound(uLong(zeros.size()));
    std::string stream(size, '\0');
    compress2(reinterpret_cast<Bytef*>(stream.data()), &size, reinterpret_cast<const Bytef*>(zeros.data()),
              uLong(zeros.size()), 9);
    stream.resize(size);
    std::string offsets, counts, bits;
    for (uint32_t i = 0; i < pieces; ++i)
        offsets += le32(8), counts += le32(uint32_t(size));
    for (uint32_t i = 0; i < spp; ++i)
        bits += le16(bps);
    const uint32_t offsetsAt = uint32_t(8 + stream.size()), countsAt = offsetsAt + 4 * pieces;
    const uint32_t bitsAt = countsAt + 4 * pieces, dirAt = bitsAt + uint32_t(bits.size());
    auto entry = [&](uint32_t tag, uint32_t type, uint32_t count, uint32_t value) {
        return le16(tag) + le16(type) + le32(count) + (type == 3 && count == 1 ? le16(value) + le16(0) : le32(value));
    };
    std::string entries = entry(256, 4, 1, w) + entry(257, 4, 1, h) +
                          (spp > 2 ? entry(258, 3, spp, bitsAt) : entry(258, 3, 1, bps)) + entry(259, 3, 1, 8) +
                          entry(262, 3, 1, spp >= 3 ? 2 : 1);
    if (!tiled)
        entries += entry(273, 4, pieces, offsetsAt) + entry(277, 3, 1, spp) + entry(278, 4, 1, pieceH) +
                   entry(279, 4, pieces, countsAt);
    else
        entries += entry(277, 3, 1, spp) + entry(322, 4, 1, pieceW) + entry(323, 4, 1, pieceH) +
                   entry(324, 4, pieces, offsetsAt) + entry(325, 4, pieces, countsAt);
    if (spp == 4)
        entries += entry(338, 3, 1, 2);
    return "II" + le16(42) + le32(dirAt) + stream + offsets + counts + bits + le16(uint32_t(entries.size() / 12)) +
           entries + le32(0);
}

}  // namespace

// Strips or tiles that share their bytes pay for the picture together: a few kilobytes never
// claim hundreds of megabytes, while a small picture sharing one stream still loads.
TEST_F(TiffFiles, StripsAndTilesSharingBytesArePaidForTogether)
{
    const std::string invalid = "Cannot load image. Invalid or unexpected TIF/TIFF image format.";
    TTIFFGraphic g;
    const std::string strips = sharedStreamTiff(8192, 8000, 3, 8, 8192, 64, false);  // 125 strips
    EXPECT_LT(strips.size(), 3000u);
    EXPECT_EQ(loadError(g, strips), invalid);
    const std::string tiles = sharedStreamTiff(8192, 8192, 4, 16, 256, 256, true);  // 1,024 tiles
    EXPECT_LT(tiles.size(), 10000u);
    EXPECT_EQ(loadError(g, tiles), invalid);
    EXPECT_EQ(loadError(g, sharedStreamTiff(64, 40, 3, 8, 64, 8, false)), "");
    EXPECT_EQ(g.PixelColor(63, 39), gfx::clBlack);
    EXPECT_EQ(loadError(g, sharedStreamTiff(64, 64, 4, 16, 16, 16, true)), "");
    EXPECT_EQ(g.Height(), 64);
}

// YCbCr without JPEG: chroma at full resolution converts; subsampled chroma (which no
// conversion spreads back out) is refused.
TEST_F(TiffFiles, YCbCrLoadsOnlyWithFullResolutionChroma)
{
    const std::string file = make("ycbcr.tif", {"-colorspace", "YCbCr", "-compress", "none"});
    TTIFFGraphic g;
    EXPECT_LE(compare(file, g), 2);
    std::string sub = readFile(file);
    auto u16 = [&](size_t at) { return uint16_t(uint8_t(sub[at]) | uint8_t(sub[at + 1]) << 8); };
    const size_t dirAt = uint32_t(u16(4)) | uint32_t(u16(6)) << 16;
    bool patched = false;
    for (size_t i = 0; i < u16(dirAt); ++i) {
        const size_t e = dirAt + 2 + 12 * i;
        if (u16(e) == 530)  // YCbCrSubSampling, two SHORTs in the entry itself
            sub.replace(e + 8, 4, std::string("\2\0\2\0", 4)), patched = true;
    }
    ASSERT_TRUE(patched);
    EXPECT_EQ(loadError(g, sub), "Invalid color format in TIF/TIFF file.");
}

TEST_F(TiffFiles, EpsPreviewsLoadInPlace)
{
    const std::string tiff = readFile(make("preview.tif", {"-compress", "none"}));
    const std::string ps = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 70 46\nshowpage\n";
    auto le32 = [](uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
    auto eps = [&](uint32_t magic, uint32_t previewAt, uint32_t previewLength) {
        return le32(magic) + le32(30) + le32(uint32_t(ps.size())) + le32(0) + le32(0) + le32(previewAt) +
               le32(previewLength) + std::string("\xFF\xFF", 2) + ps + tiff;
    };
    const uint32_t at = uint32_t(30 + ps.size());
    TTIFFGraphic reference;
    compare(dir.file("preview.tif"), reference);

    for (uint32_t length : {uint32_t(tiff.size()), 0u}) {
        const std::string file = eps(0xC6D3D0C5, at, length);
        TEPSGraphic g;
        rtl::TMemoryStream m(std::vector<uint8_t>(file.begin(), file.end()));
        EXPECT_EQ(g.CanLoad(m), length != 0);
        EXPECT_EQ(loadError(g, file), "");
        ASSERT_EQ(g.Width(), 70);
        EXPECT_EQ(g.PixelColor(30, 20), reference.PixelColor(30, 20));
    }
    TEPSGraphic g;
    const std::string refused = "Cannot load image. Invalid or unexpected EPS image format.";
    EXPECT_EQ(loadError(g, eps(0xC6D3D0C4, at, uint32_t(tiff.size()))), refused);
    EXPECT_EQ(loadError(g, eps(0xC6D3D0C5, 12, uint32_t(tiff.size()))), refused);
    EXPECT_EQ(loadError(g, eps(0xC6D3D0C5, 1u << 30, uint32_t(tiff.size()))), refused);

    // ImageMagick's own EPS with a TIFF preview.
    const std::string made = dir.file("im.eps");
    if (runCommand("convert", {"rose:", "ept2:" + made}).exitCode == 0) {
        TEPSGraphic im;
        rtl::TFileStream s(made, rtl::fmOpenRead);
        EXPECT_TRUE(im.CanLoad(s));
        im.LoadFromStream(s);
        EXPECT_EQ(im.Width(), 70);
    }
}
