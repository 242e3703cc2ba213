// The Photoshop and portable map readers on files that ImageMagick and netpbm write, checked
// against ImageMagick's reading of the same files; Photoshop files put together here from the
// format's layout for the modes those tools do not write (bitmap, Lab, indexed, extra
// channels); broken and hostile files of both formats.
#include "pictures/PictureFormats.h"
#include "pictures/PictureTestSupport.h"
#include "pictures/formats/PaintShopProGraphic.h"
#include "pictures/formats/PhotoshopGraphic.h"
#include "pictures/formats/PortableMapGraphic.h"
#include "platform/gfx/Picture.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <set>

using namespace testsupport;

namespace {

#define REQUIRE_MAGICK()                                                        \
    if (!haveProgram("convert") || !haveProgram("pnmdepth"))                    \
    GTEST_SKIP() << "ImageMagick and netpbm are needed"

std::string errorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "";
}

template <class G>
std::unique_ptr<G> loadBytes(const std::string& bytes)
{
    auto g = std::make_unique<G>();
    rtl::TMemoryStream m(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    g->LoadFromStream(m);
    return g;
}

template <class G>
std::unique_ptr<G> loadFile(const std::string& path)
{
    return loadBytes<G>(readFile(path));
}

template <class G>
std::string loadError(const std::string& bytes)
{
    return errorOf([&] { loadBytes<G>(bytes); });
}

void convert(const std::vector<std::string>& args)
{
    const auto r = runCommand("convert", args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
}

// A picture with distinct rows, columns and channels, drawn by ImageMagick.
std::string sourcePicture(const TempDir& dir, int w = 23, int h = 11)
{
    const std::string path = dir.file("source.png");
    convert({"-size", std::to_string(w) + "x" + std::to_string(h), "gradient:#ff2000-#0040c0", "(", "+clone",
             "-rotate", "90", "-resize", std::to_string(w) + "x" + std::to_string(h) + "!", ")", "-compose",
             "difference", "-composite", "-depth", "8", path});
    return path;
}

// ---- Portable maps -------------------------------------------------------------------------

TEST(PortableMapReader, ReadsWhatNetpbmAndImageMagickWrite)
{
    REQUIRE_MAGICK();
    TempDir dir;
    const std::string src = sourcePicture(dir);
    struct Case {
        std::string name;
        std::vector<std::string> args;
    };
    const std::vector<Case> cases = {
        {"raw.ppm", {}},
        {"plain.ppm", {"-compress", "none"}},
        {"raw.pgm", {"-colorspace", "gray"}},
        {"plain.pgm", {"-colorspace", "gray", "-compress", "none"}},
        {"raw.pbm", {"-threshold", "50%"}},
        {"plain.pbm", {"-threshold", "50%", "-compress", "none"}},
        {"deep.ppm", {"-depth", "16"}},
        {"deep.pgm", {"-colorspace", "gray", "-depth", "16", "-compress", "none"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{src};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.push_back(dir.file(c.name));
        convert(args);
        auto g = loadFile<TPPMGraphic>(dir.file(c.name));
        EXPECT_EQ(pngtest::differentPixels(dir.file(c.name), *g), 0) << c.name;
    }
    // netpbm's maximum 15: the greys keep their brightness (15 is white, not nearly black).
    const auto gray = runCommand("convert", {src, "-colorspace", "gray", "pgm:-"});
    for (const bool plain : {false, true}) {
        const auto r = runCommand("pnmdepth", plain ? std::vector<std::string>{"-plain", "15"}
                                                    : std::vector<std::string>{"15"}, gray.out);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        writeFile(dir.file("max15.pgm"), r.out);
        auto g = loadFile<TPPMGraphic>(dir.file("max15.pgm"));
        EXPECT_EQ(g->MaxValue(), 15u);
        EXPECT_EQ(pngtest::differentPixels(dir.file("max15.pgm"), *g), 0) << plain;
    }
    // The widest samples: high byte first.
    const auto r = runCommand("pnmdepth", {"65535"}, runCommand("convert", {src, "ppm:-"}).out);
    writeFile(dir.file("max65535.ppm"), r.out);
    auto g = loadFile<TPPMGraphic>(dir.file("max65535.ppm"));
    EXPECT_EQ(pngtest::differentPixels(dir.file("max65535.ppm"), *g), 0);
}

TEST(PortableMapReader, HeadersInAnyLayout)
{
    REQUIRE_MAGICK();
    TempDir dir;
    const std::string rows = std::string("\x10\x20\x30\x40\x50\x60", 6) + std::string("\xff\x00\x80\x01\x02\x03", 6);
    // The same 2 x 2 picture: one-line header, numbers on lines of their own, comments between.
    for (const std::string& header : {std::string("P6 2 2 255\n"), std::string("P6\n2 2\n255\n"),
                                      std::string("P6\n# made by hand\n2 # width\n#height next\n2\n255\n"),
                                      std::string("P6\r\n2\r\n2\r\n255\r")}) {
        writeFile(dir.file("h.ppm"), header + rows);
        auto g = loadFile<TPPMGraphic>(dir.file("h.ppm"));
        ASSERT_EQ(g->Width(), 2) << header;
        ASSERT_EQ(g->Height(), 2) << header;
        EXPECT_EQ(pngtest::differentPixels(dir.file("h.ppm"), *g), 0) << header;
    }
    // Plain bitmaps: single digits with or without separators, 1 black.
    auto b = loadBytes<TPPMGraphic>("P1\n3 2\n010\n1 0 1\n");
    ASSERT_EQ(b->PixelFormat(), gfx::pf1bit);
    EXPECT_EQ(gfx::ColorToRGB(b->PixelColor(0, 0)), gfx::ColorToRGB(gfx::clWhite));
    EXPECT_EQ(gfx::ColorToRGB(b->PixelColor(1, 0)), gfx::ColorToRGB(gfx::clBlack));
    EXPECT_EQ(gfx::ColorToRGB(b->PixelColor(0, 1)), gfx::ColorToRGB(gfx::clBlack));
    EXPECT_EQ(gfx::ColorToRGB(b->PixelColor(1, 1)), gfx::ColorToRGB(gfx::clWhite));
}

TEST(PortableMapReader, RefusesWhatItCannotRead)
{
    const std::string format = "Cannot load image. Invalid or unexpected PBM, PGM or PPM image format.";
    const std::string stream = "Stream read error in PPM file.";
    // A PAM file under a map's name.
    EXPECT_EQ(loadError<TPPMGraphic>("P7\nWIDTH 2\nHEIGHT 2\nDEPTH 3\nMAXVAL 255\nTUPLTYPE RGB\nENDHDR\n" +
                                     std::string(12, 'x')),
              format);
    EXPECT_EQ(loadError<TPPMGraphic>("P5 2 2 0\n" + std::string(4, 'x')), format);
    EXPECT_EQ(loadError<TPPMGraphic>("P5 2 2 65536\n" + std::string(8, 'x')), format);
    EXPECT_EQ(loadError<TPPMGraphic>("P5 0 2 255\n" + std::string(8, 'x')), format);
    EXPECT_EQ(loadError<TPPMGraphic>("GIF89a and more"), format);
    EXPECT_EQ(loadError<TPPMGraphic>("P5 99999999999 2 255\n"), format);
    // Data that ends early, and a header that asks for far more than the file holds: refused
    // before the picture is made.
    EXPECT_EQ(loadError<TPPMGraphic>("P6 4 4 255\n" + std::string(47, 'x')), stream);
    EXPECT_EQ(loadError<TPPMGraphic>("P3 2 1 255\n1 2 3 4 5"), stream);
    EXPECT_EQ(loadError<TPPMGraphic>("P6 30000 30000 65535\n" + std::string(100, 'x')), stream);
    EXPECT_EQ(loadError<TPPMGraphic>("P2 30000 30000 255\n# just a comment"), stream);
    // Every cut of a file: the stream error or the format message, nothing else (a plain file
    // may lose its last line feed).
    for (const std::string& file : {std::string("P6\n# c\n3 2\n65535\n") + std::string(36, 'q'),
                                    std::string("P1\n5 2\n0 1 0 1 1\n1 1 0 0 0\n"),
                                    std::string("P3 2 1 15\n1 2 3 4 5 6\n")})
        for (size_t n = 0; n < file.size(); ++n) {
            const std::string e = loadError<TPPMGraphic>(file.substr(0, n));
            EXPECT_TRUE(e == stream || e == format || (e.empty() && n + 1 == file.size())) << n << ": " << e;
        }
    // Values above the maximum are clamped, not read past the scale.
    auto g = loadBytes<TPPMGraphic>("P2 2 1 15\n15 999\n");
    EXPECT_EQ(g->ScanLine(0)[0], g->ScanLine(0)[1]);
}

// ---- Photoshop -----------------------------------------------------------------------------

// The largest channel difference between the bitmap and ImageMagick's reading of `file`
// (1000 when the sizes differ or it cannot read it).
int largestDifference(const std::string& file, const gfx::TBitmap& b)
{
    int w = 0, h = 0, most = 0;
    const auto theirs = pngtest::magickPixels(file, &w, &h);
    if (theirs.empty() || w != b.Width() || h != b.Height())
        return 1000;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const gfx::TColor c = b.PixelColor(x, y);
            const pngtest::Rgba t = theirs[size_t(y) * size_t(w) + size_t(x)];
            most = std::max({most, std::abs(t.r - gfx::GetRValue(c)), std::abs(t.g - gfx::GetGValue(c)),
                             std::abs(t.b - gfx::GetBValue(c))});
        }
    return most;
}

// ImageMagick's reading of a Photoshop file's merged picture (its first image; layers follow).
int differenceFromMagick(const TempDir& dir, const std::string& psd, const gfx::TBitmap& b)
{
    const std::string reference = dir.file("reference.png");
    if (runCommand("convert", {psd + "[0]", reference}).exitCode != 0)
        return 1001;
    return largestDifference(reference, b);
}

void putBe(std::string& s, uint32_t v, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        s += char(v >> (8 * i) & 0xFF);
}

// PackBits: runs of three or more equal bytes as repeats, the rest as literals.
std::string packBits(const std::string& row)
{
    std::string out;
    size_t i = 0;
    while (i < row.size()) {
        size_t run = 1;
        while (i + run < row.size() && run < 128 && row[i + run] == row[i])
            ++run;
        if (run >= 3) {
            out += char(257 - run);
            out += row[i];
            i += run;
            continue;
        }
        size_t n = 0;
        while (i + n < row.size() && n < 128) {
            if (i + n + 2 < row.size() && row[i + n] == row[i + n + 1] && row[i + n] == row[i + n + 2])
                break;
            ++n;
        }
        out += char(n - 1);
        out += row.substr(i, n);
        i += n;
    }
    return out;
}

// A Photoshop file from the format's layout: header, colour mode data, empty resources and
// layers, then the planes (each `rowBytes` x h, one after the other) raw or run-length coded.
std::string photoshop(int mode, int depth, int channels, int w, int h, const std::string& planes, bool rle,
                      const std::string& modeData = {})
{
    std::string s = "8BPS";
    putBe(s, 1, 2);
    s += std::string(6, '\0');
    putBe(s, uint32_t(channels), 2);
    putBe(s, uint32_t(h), 4);
    putBe(s, uint32_t(w), 4);
    putBe(s, uint32_t(depth), 2);
    putBe(s, uint32_t(mode), 2);
    putBe(s, uint32_t(modeData.size()), 4);
    s += modeData;
    putBe(s, 0, 4);
    putBe(s, 0, 4);
    putBe(s, rle ? 1 : 0, 2);
    if (!rle)
        return s + planes;
    const size_t rowBytes = (size_t(w) * depth + 7) / 8;
    std::string counts, data;
    for (size_t row = 0; row < size_t(channels) * h; ++row) {
        const std::string packed = packBits(planes.substr(row * rowBytes, rowBytes));
        putBe(counts, uint32_t(packed.size()), 2);
        data += packed;
    }
    return s + counts + data;
}

TEST(PhotoshopReader, ReadsWhatImageMagickWrites)
{
    REQUIRE_MAGICK();
    TempDir dir;
    const std::string src = sourcePicture(dir);
    const std::string alpha = dir.file("alpha.png"), grayAlpha = dir.file("grayalpha.png");
    convert({src, "(", "+clone", "-channel", "R", "-separate", ")", "-alpha", "off", "-compose", "copy_opacity",
             "-composite", alpha});
    convert({alpha, "-colorspace", "gray", grayAlpha});
    struct Case {
        std::string name;
        std::vector<std::string> args;
        // The picture to compare with: empty for ImageMagick's reading of the file. Its reading
        // of pictures with alpha blends the colours with white, and it cannot read indexed ones.
        std::string reference;
        int tolerance;  // 16-bit samples round either way, CMYK goes through its own arithmetic
    };
    std::vector<Case> cases;
    for (const std::string compress : {"RLE", "None"})
        for (const std::string depth : {"8", "16"}) {
            const std::vector<std::string> common{"-depth", depth, "-compress", compress};
            const std::string tag = compress + depth;
            const int tolerance = depth == "16" ? 1 : 0;
            auto with = [&](std::vector<std::string> a) {
                a.insert(a.end(), common.begin(), common.end());
                return a;
            };
            cases.push_back({"rgb" + tag + ".psd", with({src, "-type", "TrueColor"}), "", tolerance});
            cases.push_back({"rgba" + tag + ".psd", with({alpha}), alpha, tolerance});
            cases.push_back({"cmyk" + tag + ".psd", with({src, "-colorspace", "CMYK"}), "", 2});
            cases.push_back({"gray" + tag + ".psd", with({src, "-colorspace", "gray"}), "", tolerance});
            cases.push_back({"grayalpha" + tag + ".psd", with({grayAlpha}), grayAlpha, tolerance});
        }
    cases.push_back({"indexed.psd", {src}, src, 0});
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        args.push_back(dir.file(c.name));
        convert(args);
        std::unique_ptr<TPSDGraphic> g;
        ASSERT_EQ(errorOf([&] { g = loadFile<TPSDGraphic>(dir.file(c.name)); }), "") << c.name;
        const int difference = c.reference.empty() ? differenceFromMagick(dir, dir.file(c.name), *g)
                                                   : largestDifference(c.reference, *g);
        EXPECT_LE(difference, c.tolerance) << c.name;
    }
}

TEST(PhotoshopReader, ModesWrittenFromTheLayout)
{
    REQUIRE_MAGICK();
    TempDir dir;
    const int w = 9, h = 4;
    std::string r, g, b, a, extra;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            r += char(x * 28), g += char(255 - y * 60), b += char((x * y * 17) & 0xFF), a += char(200);
            extra += char(7);
        }
    for (const bool rle : {false, true}) {
        // Five channels: the first four load as colour with alpha, the fifth is left alone.
        auto five = loadBytes<TPSDGraphic>(photoshop(3, 8, 5, w, h, r + g + b + a + extra, rle));
        EXPECT_EQ(five->PixelFormat(), gfx::pf32bit);
        EXPECT_EQ(five->ScanLine(2)[4 * 3 + 3], 200);
        EXPECT_EQ(gfx::ColorToRGB(five->PixelColor(3, 2)), gfx::RGB(uint8_t(84), uint8_t(135), uint8_t(102)));

        // CMYK with every byte 255 is no ink at all.
        auto white = loadBytes<TPSDGraphic>(photoshop(4, 8, 4, w, h, std::string(size_t(4 * w * h), '\xff'), rle));
        for (int x = 0; x < w; ++x)
            EXPECT_EQ(gfx::ColorToRGB(white->PixelColor(x, h - 1)), gfx::ColorToRGB(gfx::clWhite));

        // Bitmap mode: set bits are black on white.
        const std::string bits = std::string("\xA0\x80\x00\x00\xFF\x80\x01\x00", 8);
        auto bitmap = loadBytes<TPSDGraphic>(photoshop(0, 1, 1, w, h, bits, rle));
        EXPECT_EQ(gfx::ColorToRGB(bitmap->PixelColor(0, 0)), gfx::ColorToRGB(gfx::clBlack));
        EXPECT_EQ(gfx::ColorToRGB(bitmap->PixelColor(1, 0)), gfx::ColorToRGB(gfx::clWhite));
        EXPECT_EQ(gfx::ColorToRGB(bitmap->PixelColor(8, 2)), gfx::ColorToRGB(gfx::clBlack));
        EXPECT_EQ(gfx::ColorToRGB(bitmap->PixelColor(7, 3)), gfx::ColorToRGB(gfx::clBlack));
        EXPECT_EQ(gfx::ColorToRGB(bitmap->PixelColor(8, 3)), gfx::ColorToRGB(gfx::clWhite));

        // Indexed: the palette from the colour mode data, planes of red, green and blue.
        std::string palette(768, '\0');
        for (int i = 0; i < 256; ++i)
            palette[size_t(i)] = char(i), palette[size_t(256 + i)] = char(255 - i), palette[size_t(512 + i)] = char(i / 2);
        auto indexed = loadBytes<TPSDGraphic>(photoshop(2, 8, 1, w, h, r, rle, palette));
        EXPECT_EQ(indexed->PixelFormat(), gfx::pf8bit);
        EXPECT_EQ(gfx::ColorToRGB(indexed->PixelColor(5, 1)), gfx::RGB(140, 115, 70));
        EXPECT_EQ(loadError<TPSDGraphic>(photoshop(2, 8, 1, w, h, r, rle, palette.substr(1))),
                  "Cannot load image. Palette in PSD or PDD file is invalid.");

        // One-plane 16-bit rows: two bytes a sample, high byte first, into a one-byte row.
        std::string wide;
        for (char c : r)
            wide += c, wide += char(0xFF);
        auto grey16 = loadBytes<TPSDGraphic>(photoshop(1, 16, 1, w, h, wide, rle));
        for (int x = 0; x < w; ++x)
            EXPECT_EQ(gfx::GetRValue(grey16->PixelColor(x, 3)), uint8_t(r[size_t(x)])) << x;
    }
    // Lab: lightness scaled to a byte, chroma offset by 128. Neutral pixels come out grey and
    // brighter with L; a* to red, b* to yellow. (The colour manager's own Lab arithmetic sets
    // the exact values.)
    std::string lightness, aStar(size_t(w * h), '\x80'), bStar(size_t(w * h), '\x80');
    for (int i = 0; i < w * h; ++i)
        lightness += char(i * 7);
    aStar[size_t(w * h - 2)] = char(200);
    bStar[size_t(w * h - 1)] = char(200);
    for (const bool rle : {false, true}) {
        auto labPicture = loadBytes<TPSDGraphic>(photoshop(9, 8, 3, w, h, lightness + aStar + bStar, rle));
        int last = -1;
        for (int x = 0; x < w; ++x) {
            const gfx::TColor c = labPicture->PixelColor(x, 2);
            EXPECT_NEAR(gfx::GetRValue(c), gfx::GetGValue(c), 1) << x;
            EXPECT_NEAR(gfx::GetBValue(c), gfx::GetGValue(c), 1) << x;
            EXPECT_GT(gfx::GetGValue(c), last) << x;
            last = gfx::GetGValue(c);
        }
        const gfx::TColor red = labPicture->PixelColor(w - 2, h - 1), yellow = labPicture->PixelColor(w - 1, h - 1);
        EXPECT_GT(gfx::GetRValue(red), gfx::GetGValue(red) + 40);
        EXPECT_LT(gfx::GetBValue(yellow) + 40, gfx::GetGValue(yellow));
    }
}

TEST(PhotoshopReader, RefusesWhatItCannotRead)
{
    const std::string format = "Cannot load image. Invalid or unexpected PSD or PDD image format.";
    const std::string stream = "Stream read error in PSD or PDD file.";
    const std::string rgb(3 * 4 * 4, 'x');
    EXPECT_EQ(loadError<TPSDGraphic>("8BPX" + photoshop(3, 8, 3, 4, 4, rgb, false).substr(4)), format);
    // Too few planes for the mode, too many channels, a depth the mode does not have.
    EXPECT_EQ(loadError<TPSDGraphic>(photoshop(7, 8, 2, 4, 4, rgb, false)), format);
    EXPECT_EQ(loadError<TPSDGraphic>(photoshop(4, 8, 3, 4, 4, rgb, false)), format);
    EXPECT_EQ(loadError<TPSDGraphic>(photoshop(3, 8, 57, 4, 4, rgb, false)), format);
    EXPECT_EQ(loadError<TPSDGraphic>(photoshop(3, 5, 3, 4, 4, rgb, false)), format);
    EXPECT_EQ(loadError<TPSDGraphic>(photoshop(5, 8, 3, 4, 4, rgb, false)), format);
    // Zip-compressed planes are not read as raw ones.
    std::string zip = photoshop(3, 8, 3, 4, 4, rgb, false);
    zip[26 + 12 + 1] = 2;
    EXPECT_EQ(loadError<TPSDGraphic>(zip), "Cannot load image. The compression scheme is not supported for PSD or PDD files.");
    // Short planes, short row-count tables and a header asking for far more than the file holds.
    EXPECT_EQ(loadError<TPSDGraphic>(photoshop(3, 8, 3, 4, 4, rgb.substr(1), false)), stream);
    EXPECT_EQ(loadError<TPSDGraphic>(photoshop(3, 8, 3, 4, 4, rgb, true).substr(0, 26 + 14 + 20)), stream);
    EXPECT_EQ(loadError<TPSDGraphic>(photoshop(3, 8, 3, 30000, 30000, rgb, false)), stream);
    std::string big = photoshop(3, 8, 3, 4, 4, rgb, true);
    big[17] = char(0x70);  // height far beyond the row counts present
    EXPECT_NE(loadError<TPSDGraphic>(big), "");
    // Every cut of a file and bytes changed all over it: only the reader's messages (the fifth
    // channel of the first one is never read, so cutting it loses nothing).
    const std::set<std::string> allowed = {format, stream, "Bitmap too large",
                                           "Cannot load image. Palette in PSD or PDD file is invalid.",
                                           "Cannot load image. The compression scheme is not supported for PSD or PDD files."};
    std::string palette(768, '\x10');
    for (const std::string& file : {photoshop(4, 16, 5, 3, 2, std::string(60, '\x33'), true),
                                    photoshop(2, 8, 1, 5, 2, "0123456789", false, palette)}) {
        for (size_t n = 0; n < file.size(); ++n) {
            const std::string e = loadError<TPSDGraphic>(file.substr(0, n));
            EXPECT_TRUE(allowed.count(e) || (e.empty() && n >= file.size() - 4)) << "cut at " << n << ": " << e;
        }
        for (size_t at = 4; at < std::min<size_t>(file.size(), 80); ++at)
            for (const char v : {'\x00', '\x01', '\x7f', '\xff'}) {
                std::string bad = file;
                bad[at] = v;
                const std::string e = loadError<TPSDGraphic>(bad);
                EXPECT_TRUE(e.empty() || allowed.count(e)) << "byte " << at << ": " << e;
            }
    }
    // A count that claims more than the row needs stays in its own row.
    std::string longRow = photoshop(1, 8, 1, 4, 2, "\x01\x02\x03\x04\x05\x06\x07\x08", true);
    auto ok = loadBytes<TPSDGraphic>(longRow);
    EXPECT_EQ(ok->ScanLine(1)[3], 8);
}

// ---- Paint Shop Pro ------------------------------------------------------------------------

// The files psp_files.py writes, each with the picture it holds (raw RGB rows).
std::vector<std::string> writePaintShopFiles(const TempDir& dir)
{
    const auto r = runCommand(python3(), {sourceDir() + "/tests/pictures/psp_files.py", dir.path()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.path().c_str())) {
        while (const dirent* e = readdir(d)) {
            const std::string n = e->d_name;
            if (n.size() > 4 && n.substr(n.size() - 4) == ".rgb")
                names.push_back(n.substr(0, n.size() - 4));
        }
        closedir(d);
    }
    return names;
}

TEST(PaintShopProReader, ReadsVersionsThreeAndFour)
{
    TempDir dir;
    const auto names = writePaintShopFiles(dir);
    ASSERT_EQ(names.size(), 36u);
    for (const std::string& name : names) {
        std::unique_ptr<TPSPGraphic> g;
        ASSERT_EQ(errorOf([&] { g = loadFile<TPSPGraphic>(dir.file(name + ".psp")); }), "") << name;
        const std::string rgb = readFile(dir.file(name + ".rgb"));
        ASSERT_EQ(size_t(g->Width()) * size_t(g->Height()) * 3, rgb.size()) << name;
        int wrong = 0;
        for (int y = 0; y < g->Height(); ++y)
            for (int x = 0; x < g->Width(); ++x) {
                const gfx::TColor c = g->PixelColor(x, y);
                const size_t i = (size_t(y) * size_t(g->Width()) + size_t(x)) * 3;
                wrong += gfx::GetRValue(c) != uint8_t(rgb[i]) || gfx::GetGValue(c) != uint8_t(rgb[i + 1]) ||
                         gfx::GetBValue(c) != uint8_t(rgb[i + 2]);
            }
        EXPECT_EQ(wrong, 0) << name;
        // 100 dots a centimetre.
        EXPECT_NEAR(g->ImageProperties.XResolution, 254.0, 0.01) << name;
        if (name.rfind("rgba", 0) == 0) {
            // The mask channel is the alpha.
            ASSERT_EQ(g->PixelFormat(), gfx::pf32bit);
            EXPECT_EQ(g->ScanLine(1)[4 * 3 + 3], 60) << name;
        }
        if (name.rfind("pal1", 0) == 0) {
            EXPECT_EQ(g->PixelFormat(), gfx::pf1bit);
        }
        if (name.rfind("pal4", 0) == 0) {
            EXPECT_EQ(g->PixelFormat(), gfx::pf4bit);
        }
    }
    EXPECT_EQ(errorOf([&] { loadFile<TPSPGraphic>(dir.file("jpeg.psp")); }),
              "Cannot load image. The compression scheme is not supported for PSP files.");
}

TEST(PaintShopProReader, HostileFiles)
{
    TempDir dir;
    writePaintShopFiles(dir);
    const std::set<std::string> allowed = {
        "Stream read error in PSP file.", "Cannot load image. Invalid or unexpected PSP image format.",
        "Cannot load image. Compression error found in PSP file.", "Cannot load image. Palette in PSP file is invalid.",
        "Invalid color format in PSP file.", "Bitmap too large",
        "Cannot load image. The compression scheme is not supported for PSP files."};
    // Every cut of a few files, and bytes changed all over them: only the reader's messages.
    for (const std::string name : {"rgba_v4_c2", "pal8_v3_c1", "pal4_v4_c0"}) {
        const std::string file = readFile(dir.file(name + ".psp"));
        for (size_t n = 0; n < file.size(); ++n) {
            const std::string e = loadError<TPSPGraphic>(file.substr(0, n));
            EXPECT_TRUE(allowed.count(e)) << name << " cut at " << n << ": " << e;
        }
        for (size_t at = 36; at < file.size(); ++at)
            for (const char v : {'\x00', '\x7f', '\xff'}) {
                std::string bad = file;
                bad[at] = v;
                const std::string e = loadError<TPSPGraphic>(bad);
                EXPECT_TRUE(e.empty() || allowed.count(e)) << name << " byte " << at << ": " << e;
            }
    }
    // Damaged deflate data is a compression error; a depth of 16 and a palette of 300 entries
    // are refused.
    std::string lz = readFile(dir.file("grey_v4_c2.psp"));
    lz[lz.size() - 20] = char(lz[lz.size() - 20] ^ 0x55);
    lz[lz.size() - 22] = char(lz[lz.size() - 22] ^ 0x55);
    EXPECT_EQ(loadError<TPSPGraphic>(lz), "Cannot load image. Compression error found in PSP file.");
    std::string deep = readFile(dir.file("grey_v4_c0.psp"));
    deep[36 + 10 + 4 + 19] = 16;
    EXPECT_EQ(loadError<TPSPGraphic>(deep), "Invalid color format in PSP file.");
    std::string pal = readFile(dir.file("pal8_v3_c0.psp"));
    const size_t count = pal.find(std::string("~BK\0\x02\x00", 6)) + 14;
    pal[count + 1] = 1;  // 256 + 44
    pal[count] = 44;
    EXPECT_EQ(loadError<TPSPGraphic>(pal), "Cannot load image. Palette in PSP file is invalid.");
}

TEST(PictureFormats, PhotoshopAndMapsThroughThePictureClass)
{
    REQUIRE_MAGICK();
    TempDir dir;
    const std::string src = sourcePicture(dir);
    RegisterPictureFormats();
    for (const std::string ext : {"psd", "pdd", "ppm", "pgm", "pbm"}) {
        const std::string path = dir.file("p." + ext);
        convert({src, (ext == "pdd" ? "psd:" : "") + path});
        gfx::TPicture picture;
        EXPECT_EQ(errorOf([&] { picture.LoadFromFile(path); }), "") << ext;
        EXPECT_EQ(picture.Width(), 23) << ext;
    }
    UnregisterPictureFormats();
}

}  // namespace
