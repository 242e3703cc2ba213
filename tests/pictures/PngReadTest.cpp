// Reading PNG files that ImageMagick and netpbm write: every colour type and depth, plain and
// interlaced, with transparency and gamma, compared pixel for pixel with ImageMagick's own
// reading; drawing over a background compared with ImageMagick's flattening; and the reader's
// answers to broken and hostile files.
#include "PictureTestSupport.h"
#include "PngFixtures.h"
#include "pictures/PictureFormats.h"
#include "platform/gfx/Picture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

using namespace testsupport;
using namespace pngtest;

namespace {

uint8_t header(const std::string& file, int at) { return uint8_t(readFile(file).at(size_t(at))); }

// The gamma of the reader for a gAMA of g (value / 100000).
uint8_t gammaOf(int v, double g) { return uint8_t(std::lround(std::pow(v / 255.0, 1.0 / (g * 2.2)) * 255)); }

template <class E>
void expectError(const std::string& bytes, const std::string& text = {})
{
    png::TPNGObject p;
    try {
        load(p, bytes);
        ADD_FAILURE() << "no error";
    } catch (const E& e) {
        if (!text.empty()) {
            EXPECT_EQ(std::string(e.what()), text);
        }
    } catch (const std::exception& e) {
        ADD_FAILURE() << "other error: " << e.what();
    }
}

}  // namespace

TEST(PngRead, EveryKindEqualsImageMagicksReading)
{
    TempDir dir;
    int n = 0;
    for (const Kind& k : kinds()) {
        SCOPED_TRACE(k.name);
        const std::string file = make(dir, "k" + std::to_string(n++) + ".png", k.command);
        ASSERT_EQ(header(file, 25), k.colorType);
        ASSERT_EQ(header(file, 24), k.depth);
        ASSERT_EQ(header(file, 28), k.interlace);
        int w = 0, h = 0;
        const auto theirs = magickPixels(file, &w, &h);
        ASSERT_FALSE(theirs.empty());
        png::TPNGObject p;
        p.LoadFromFile(file);
        ASSERT_EQ(p.Width(), w);
        ASSERT_EQ(p.Height(), h);
        const int expectedBits = k.colorType == 2 || k.colorType == 6 ? 24
                                 : k.depth == 2 ? 4 : k.depth == 16 ? 8 : k.depth;
        EXPECT_EQ(gfx::TBitmap::BitsPerPixel(p.Header().ImageData.PixelFormat()), expectedBits);
        int wrong = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const Rgba a = ourPixel(p, x, y), b = theirs[size_t(y) * w + x];
                if (b.a == 0 && a.a == 0)
                    continue;  // a transparent pixel's colour is free
                wrong += a.r != b.r || a.g != b.g || a.b != b.b || a.a != b.a;
            }
        EXPECT_EQ(wrong, 0);
    }
}

TEST(PngRead, GammaAppliesTheReadersFormula)
{
    TempDir dir;
    for (const char* g : {"0.45455", "1.0", "0.8"}) {
        SCOPED_TRACE(g);
        // ImageMagick corrects for a file's gamma when it reads it: the samples come from the
        // source the file was made of.
        const std::string source = make(dir, "g.ppm", "convert -size 40x10 gradient:red-blue -depth 8 ppm:$OUT");
        const std::string file = make(dir, "g.png", "pnmtopng -gamma " + std::string(g) + " " + source + " > $OUT");
        const auto theirs = magickPixels(source);
        ASSERT_EQ(theirs.size(), 400u);
        png::TPNGObject p;
        p.LoadFromFile(file);
        const double gamma = std::lround(std::stod(g) * 100000) / 100000.0;
        for (int i = 0; i < 400; i += 7) {
            const Rgba a = ourPixel(p, i % 40, i / 40), b = theirs[size_t(i)];
            EXPECT_EQ(a.r, gammaOf(b.r, gamma));
            EXPECT_EQ(a.b, gammaOf(b.b, gamma));
        }
    }
    // A gAMA of the wrong size changes nothing.
    png::TPNGObject p;
    load(p, grayPng(4, 1, chunk("gAMA", std::string("\x00\x00\x01", 3))));
    EXPECT_EQ(p.Header().ImageData.PixelColor(1, 0), gfx::RGB(7, 7, 7));
}

TEST(PngRead, DrawingOverABackgroundEqualsImageMagicksFlattening)
{
    TempDir dir;
    const std::vector<std::pair<std::string, std::string>> cases{
        {"rgba 8", "convert " + ShapesAlpha + " PNG32:$OUT"},
        {"gray-alpha 8", "convert " + Grays + " " + Alpha + " -define png:bit-depth=8 -define png:color-type=4 $OUT"},
        {"palette with translucent entries", PaletteAlpha},
        {"palette 8 with a key", "convert " + ShapesAlpha + " PNG8:$OUT"},
        {"rgb key", "convert " + Colourful + " -depth 8 ppm:- | pnmtopng -transparent '#00ff00' > $OUT"},
        {"palette one key", "convert -size 37x23 xc:red -fill blue -draw 'rectangle 3,3 12,9' -type palette ppm:- | "
                            "pnmtopng -transparent blue > $OUT"},
        {"gray 2 key", "convert " + Grays + " -depth 2 -define png:bit-depth=2 -define png:color-type=0 ppm:- | "
                       "ppmtopgm | pnmtopng -transparent '#555555' > $OUT"},
    };
    for (const auto& [name, command] : cases) {
        SCOPED_TRACE(name);
        const std::string file = make(dir, "t.png", command);
        auto flat = runCommand("convert", {file, "-colorspace", "sRGB", "-background", "#3080c0", "-flatten", "-depth", "8", "rgb:-"});
        ASSERT_EQ(flat.exitCode, 0);
        png::TPNGObject p;
        p.LoadFromFile(file);
        ASSERT_TRUE(p.Transparent());
        gfx::TBitmap back(p.Width(), p.Height());
        back.Canvas().Brush().SetColor(gfx::RGB(0x30, 0x80, 0xC0));
        back.Canvas().FillRect(gfx::Rect(0, 0, p.Width(), p.Height()));
        back.Canvas().StretchDraw(gfx::Rect(0, 0, p.Width(), p.Height()), p);
        ASSERT_EQ(flat.out.size(), size_t(p.Width()) * p.Height() * 3);
        int worst = 0;
        for (int y = 0; y < p.Height(); ++y)
            for (int x = 0; x < p.Width(); ++x) {
                const gfx::TColor c = back.PixelColor(x, y);
                const auto* f = reinterpret_cast<const uint8_t*>(flat.out.data()) + (size_t(y) * p.Width() + x) * 3;
                worst = std::max({worst, std::abs(gfx::GetRValue(c) - f[0]), std::abs(gfx::GetGValue(c) - f[1]),
                                  std::abs(gfx::GetBValue(c) - f[2])});
            }
        EXPECT_LE(worst, 1);
    }
}

TEST(PngRead, OneTranslucentPaletteEntryIsBlendedNotCutOut)
{
    png::TPNGObject p;
    load(p, Signature + ihdr(2, 1, 8, 3) + chunk("PLTE", std::string(6, '\x40')) + chunk("tRNS", "\x80") +
                chunk("IDAT", deflated(std::string("\0\0\1", 3))) + chunk("IEND", ""));
    EXPECT_EQ(p.TransparencyMode(), png::ptmPartial);
    load(p, Signature + ihdr(2, 1, 8, 3) + chunk("PLTE", std::string(6, '\x40')) + chunk("tRNS", std::string(1, '\0')) +
                chunk("IDAT", deflated(std::string("\0\0\1", 3))) + chunk("IEND", ""));
    EXPECT_EQ(p.TransparencyMode(), png::ptmSingleColor);
}

TEST(PngRead, RegistryLoadsPngFilesThroughThePngObject)
{
    RegisterPictureFormats();
    EXPECT_EQ(gfx::TPicture::FindGraphicClass(".PNG"), &png::TPNGObject::ClassInfo);
    TempDir dir;
    const std::string file = make(dir, "r.png", "convert " + Shapes + " PNG24:$OUT");
    gfx::TPicture picture;
    picture.LoadFromFile(file);
    EXPECT_NE(dynamic_cast<png::TPNGObject*>(picture.Graphic()), nullptr);
    UnregisterPictureFormats();
    EXPECT_EQ(gfx::TPicture::FindGraphicClass("png"), nullptr);
}

TEST(PngRead, ChunksKeptAndSkipped)
{
    // IDAT split over several chunks, an ancillary private chunk kept, cHRM skipped.
    std::string raw;
    for (int y = 0; y < 5; ++y)
        raw += std::string(1, '\0') + std::string(6, char(y * 40));
    const std::string z = deflated(raw);
    std::string idats;
    for (size_t i = 0; i < z.size(); i += 3)
        idats += chunk("IDAT", z.substr(i, 3));
    png::TPNGObject p;
    load(p, Signature + ihdr(6, 5, 8, 0) + chunk("cHRM", std::string(32, '\1')) + chunk("prVt", "kept") + idats +
                chunk("tEXt", std::string("Title\0Hello", 11)) + chunk("IEND", ""));
    EXPECT_EQ(p.Header().ImageData.PixelColor(5, 4), gfx::RGB(160, 160, 160));
    std::vector<std::string> names;
    for (int i = 0; i < p.Chunks().Count(); ++i)
        names.push_back(p.Chunks().Item(i)->Name());
    EXPECT_EQ(names, (std::vector<std::string>{"IHDR", "prVt", "IDAT", "tEXt", "IEND"}));
    EXPECT_EQ(p.Chunks().ItemFromClass<png::TChunktEXt>()->Text, "Hello");
    EXPECT_THROW(p.SetWidth(3), png::EPngError);
    try {
        p.SetHeight(3);
    } catch (const png::EPngError& e) {
        EXPECT_STREQ(e.what(), png::EPNGCannotChangeSizeText);
    }
    EXPECT_THROW(p.Chunks().ItemFromClass<png::TChunkIHDR>()->Assign(*p.Chunks().Item(1)), png::EPngError);
}

TEST(PngRead, ErrorsWithTheirTexts)
{
    const std::string good = grayPng(4, 3);
    std::string sig = good;
    sig[3] = 'g';
    expectError<png::EPNGInvalidFileHeader>(sig,
        "The file being readed is not a valid \"Portable Network Graphics\" image because it contains an invalid "
        "header. This file may be corruped, try obtaining it again.");
    expectError<png::EPNGIHDRNotFirst>(Signature + chunk("tEXt", "a\0b") + good.substr(8),
        "This \"Portable Network Graphics\" image is not supported or it might be invalid.\r\n(IHDR chunk is not the first)");
    expectError<png::EPNGUnknownCriticalChunk>(grayPng(4, 3, chunk("CRIT", "x")));
    std::string crc = good;
    crc[8 + 8 + 3] ^= 1;  // the IHDR's width
    expectError<png::EPngInvalidCRC>(crc,
        "This \"Portable Network Graphics\" image is not valid because it contains invalid pieces of data (crc error)");
    expectError<png::EPNGSizeExceeds>(Signature + ihdr(65536, 1, 8, 0) + good.substr(33),
        "This \"Portable Network Graphics\" image is not supported because either it's width or height exceeds "
        "the maximum size, which is 32768 pixels length.");
    expectError<png::EPNGSizeExceeds>(Signature + ihdr(65535, 65535, 8, 6) + good.substr(33));
    expectError<png::EPngInvalidIHDR>(Signature + ihdr(4, 3, 4, 2) + good.substr(33));
    expectError<png::EPngInvalidIHDR>(Signature + ihdr(4, 3, 16, 3) + good.substr(33));
    expectError<png::EPngInvalidIHDR>(Signature + chunk("IHDR", std::string(12, '\1')) + good.substr(33));
    expectError<png::EPNGUnknownCompression>(Signature + chunk("IHDR", be32(4) + be32(3) + std::string("\x08\x00\x01\x00\x00", 5)) + good.substr(33));
    expectError<png::EPNGUnknownInterlace>(Signature + ihdr(4, 3, 8, 0, 2) + good.substr(33));
    expectError<png::EPNGNoImageData>(Signature + ihdr(4, 3, 8, 0) + chunk("IEND", ""),
                                      "This \"Portable Network Graphics\" image contains no data.");
    expectError<png::EPNGInvalidPalette>(Signature + ihdr(4, 3, 8, 3) + chunk("PLTE", std::string(10, '\0')) + good.substr(33));
    // The image's IDAT sequence interrupted before the last row.
    std::string raw(3 * 5, '\0');
    const std::string z = deflated(raw);
    expectError<png::EPNGMissingMultipleIDAT>(Signature + ihdr(4, 3, 8, 0) + chunk("IDAT", z.substr(0, 4)) +
                                                  chunk("tEXt", "a\0b") + chunk("IDAT", z.substr(4)) + chunk("IEND", ""),
        "This \"Portable Network Graphics\" image is invalid because it has missing image parts.");
    // A zlib stream that ends before the last row: whichever of the two the reader meets
    // first, never a picture.
    for (const std::string& shortRows : {raw.substr(0, 10), raw.substr(0, 12)}) {
        png::TPNGObject p;
        try {
            load(p, Signature + ihdr(4, 3, 8, 0) + chunk("IDAT", deflated(shortRows)) + chunk("IEND", ""));
            ADD_FAILURE() << "loaded";
        } catch (const png::EPNGZLIBError&) {
        } catch (const png::EPNGMissingMultipleIDAT&) {
        }
    }
    expectError<png::EPNGZLIBError>(Signature + ihdr(4, 3, 8, 0) + chunk("IDAT", "garbage!") + chunk("IEND", ""),
        "Could not decompress the image because it contains invalid compressed data.\r\n Description: data error");
    // A length past the stream's end or above 2^31 - 1.
    std::string huge = good;
    huge.replace(33, 4, be32(0x7FFFFFF0));
    expectError<png::EPngUnexpectedEnd>(huge,
        "This \"Portable Network Graphics\" image is invalid because the decoder found an unexpected end of the file.");
    huge.replace(33, 4, be32(0xFFFFFFF0));
    expectError<png::EPngUnexpectedEnd>(huge);
}

TEST(PngRead, HostileFilesRaiseOnlyTheReadersErrorsWithoutLargeAllocations)
{
    // Cut at every byte: only PNG errors, never a half picture taken as complete.
    const std::string good = grayPng(9, 7, chunk("tEXt", "k\0v"));
    for (size_t n = 0; n < good.size() - 12; ++n) {
        png::TPNGObject p;
        EXPECT_THROW(load(p, good.substr(0, n)), png::EPngError) << n;
    }
    // Pictures past the bitmap's size limit, and a header that the few bytes after it could
    // never fill, are refused before their pixels exist.
    const std::string data = chunk("IDAT", deflated(std::string(100, '\0'))) + chunk("IEND", "");
    expectError<png::EPNGSizeExceeds>(Signature + ihdr(30000, 30000, 8, 6) + data);
    expectError<png::EPNGSizeExceeds>(Signature + ihdr(32768, 32768, 8, 4) + data);
    expectError<png::EPngUnexpectedEnd>(Signature + ihdr(8000, 8000, 8, 0) + data);
    // A small IDAT that inflates far past the rows: the rows decode, the rest is never inflated.
    std::string raw;
    for (int y = 0; y < 2; ++y)
        raw += std::string(1, '\0') + std::string(2, '\x7f');
    raw += std::string(50 << 20, '\0');
    png::TPNGObject p;
    load(p, Signature + ihdr(2, 2, 8, 0) + chunk("IDAT", deflated(raw)) + chunk("IEND", ""));
    EXPECT_EQ(p.Header().ImageData.PixelColor(1, 1), gfx::RGB(0x7f, 0x7f, 0x7f));
    // Adam7 passes without pixels carry no bytes: a 1 x 1 interlaced image is one row.
    png::TPNGObject one;
    load(one, Signature + ihdr(1, 1, 8, 0, 1) + chunk("IDAT", deflated(std::string("\0\x42", 2))) + chunk("IEND", ""));
    EXPECT_EQ(one.Header().ImageData.PixelColor(0, 0), gfx::RGB(0x42, 0x42, 0x42));
}

TEST(PngRead, ManySmallChunksLoad)
{
    std::string body;
    const std::string small = chunk("zzZz", "");
    body.reserve(200000 * small.size());
    for (int i = 0; i < 200000; ++i)
        body += small;
    png::TPNGObject p;
    load(p, grayPng(2, 2, body));
    EXPECT_EQ(p.Chunks().Count(), 200003);
}
