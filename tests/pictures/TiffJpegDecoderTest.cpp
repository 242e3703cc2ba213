// The JPEG-in-TIFF decoder on strips that libtiff's tiffcp and ImageMagick compress (RGB,
// subsampled YCbCr, grey; with JPEG tables; a short last strip), checked against libtiff's
// tiff2rgba within JPEG's tolerance; its checks; damaged strips that must raise (and leave the
// process alive) or warn once per load.
#include "pictures/DecoderFixtures.h"
#include "pictures/decoders/GraphicCompression.h"
#include "pictures/formats/FormatGraphic.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace decoders;
using decoderfixtures::Bytes;
using testsupport::TempDir;

namespace {

// Flat colour blocks (red, green, blue, grey) over a gradient, so that red staying red shows.
Bytes blocks(int w, int h)
{
    Bytes rgb(size_t(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = &rgb[(size_t(y) * w + x) * 3];
            const int block = x * 4 / w;
            const uint8_t colours[4][3] = {{255, 0, 0}, {0, 200, 0}, {0, 0, 255}, {uint8_t(x * 4), uint8_t(y * 5), 128}};
            std::memcpy(p, colours[block], 3);
        }
    return rgb;
}

TImageProperties propertiesOf(const decoderfixtures::Tiff& t)
{
    TImageProperties p;
    p.Width = t.width();
    p.Height = t.height();
    p.SamplesPerPixel = uint8_t(t.get(277, 1));
    p.BitsPerSample = uint8_t(t.get(258, 1));
    p.PlanarConfig = t.get(284, 1);
    p.ColorScheme = t.get(262) == 6 ? psYCbCr : t.get(262) == 2 ? psRGB : psGray;
    p.RowsPerStrip = {t.get(278, p.Height)};
    // TIFF's default subsampling is 2 x 2, which tiffcp leaves out.
    if (t.values.count(530))
        p.YCbCrSubSampling = {uint8_t(t.values.at(530)[0]), uint8_t(t.values.at(530)[1])};
    else if (p.ColorScheme == psYCbCr)
        p.YCbCrSubSampling = {2, 2};
    if (t.raw.count(347))
        p.JPEGTables = t.raw.at(347);
    p.Compression = ctJPEG;
    return p;
}

struct Warnings {
    std::vector<std::string> shown;
    Warnings()
    {
        SetDecoderWarningSink([this](const std::string& caption, const std::string& text) {
            EXPECT_EQ(caption, "Warning");
            shown.push_back(text);
        });
    }
    ~Warnings() { SetDecoderWarningSink(nullptr); }
};

// Decodes every strip into rows of width x samples bytes (blue-green-red for colour).
Bytes decodeAll(const decoderfixtures::Tiff& t, TImageProperties& p)
{
    const size_t line = size_t(p.Width) * p.SamplesPerPixel;
    Bytes out(line * p.Height + 4, 0xEE);
    TTIFFJPEGDecoder d(p);
    d.DecodeInit();
    for (size_t i = 0; i < t.strips.size(); ++i) {
        p.CurrentRow = uint32_t(i * p.RowsPerStrip[0]);
        const size_t rows = std::min<size_t>(p.RowsPerStrip[0], p.Height - p.CurrentRow);
        TSource s(t.strips[i]);
        TTarget dest(out.data() + p.CurrentRow * line, rows * line);
        d.Decode(s, dest, s.size(), dest.size());
    }
    d.DecodeEnd();
    EXPECT_EQ(Bytes(out.end() - 4, out.end()), Bytes(4, 0xEE));
    out.resize(line * p.Height);
    return out;
}

// Largest and mean difference to tiff2rgba's reading (RGBA), our rows being BGR or grey.
void expectClose(const Bytes& ours, const Bytes& rgba, int samples, const std::string& what)
{
    ASSERT_EQ(rgba.size() / 4 * size_t(samples), ours.size()) << what;
    int worst = 0;
    double sum = 0;
    for (size_t i = 0; i < rgba.size() / 4; ++i)
        for (int c = 0; c < samples; ++c) {
            const int mine = samples == 3 ? ours[i * 3 + 2 - size_t(c)] : ours[i];
            const int d = std::abs(mine - rgba[i * 4 + size_t(c)]);
            worst = std::max(worst, d);
            sum += d;
        }
    EXPECT_LE(worst, 12) << what;
    EXPECT_LE(sum / double(ours.size()), 1.5) << what;
}

}  // namespace

TEST(TiffJpegDecoder, StripsOfTiffcpAndImageMagickEqualTiff2rgbaAndRedStaysRed)
{
    TempDir dir;
    const int w = 48, h = 37;  // the last strip of 16 rows holds 5
    const Bytes rgb = blocks(w, h);
    const std::string ppm = decoderfixtures::writePpm(dir, "p.ppm", rgb, w, h);
    ASSERT_TRUE(decoderfixtures::run("convert", {ppm, "-depth", "8", "-compress", "none", dir.file("raw.tif")}));
    struct Case {
        std::string name;
        std::vector<std::string> command;
    };
    const std::vector<Case> cases = {
        {"ycbcr", {"tiffcp", "-c", "jpeg", "-r", "16", dir.file("raw.tif"), dir.file("out.tif")}},
        {"rgb", {"tiffcp", "-c", "jpeg:r", "-r", "16", dir.file("raw.tif"), dir.file("out.tif")}},
        {"magick", {"convert", ppm, "-compress", "JPEG", "-define", "tiff:rows-per-strip=16", dir.file("out.tif")}},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(decoderfixtures::run(c.command[0], {c.command.begin() + 1, c.command.end()}));
        const auto t = decoderfixtures::readTiff(dir.file("out.tif"));
        ASSERT_EQ(t.get(259), 7u) << c.name;
        ASSERT_TRUE(t.raw.count(347)) << c.name << " has JPEG tables";
        ASSERT_EQ(t.strips.size(), 3u) << c.name;
        if (c.name == "ycbcr") {
            ASSERT_EQ(t.get(262), 6u);
        }
        TImageProperties p = propertiesOf(t);
        const Bytes got = decodeAll(t, p);
        expectClose(got, decoderfixtures::tiffRgba(dir, dir.file("out.tif")), 3, c.name);
        for (int y : {2, 20, 35}) {  // the red block's middle, in the last strip too
            const uint8_t* px = &got[(size_t(y) * w + 5) * 3];
            EXPECT_TRUE(px[2] > 220 && px[1] < 40 && px[0] < 40)
                << c.name << " row " << y << ": " << int(px[2]) << "," << int(px[1]) << "," << int(px[0]);
        }
    }
}

TEST(TiffJpegDecoder, GreyStripsDecodeAsOneComponent)
{
    TempDir dir;
    const int w = 33, h = 20;
    const Bytes rgb = blocks(w, h);
    const std::string ppm = decoderfixtures::writePpm(dir, "p.ppm", rgb, w, h);
    ASSERT_TRUE(decoderfixtures::run(
        "convert", {ppm, "-colorspace", "gray", "-depth", "8", "-compress", "none", dir.file("grey.tif")}));
    ASSERT_TRUE(decoderfixtures::run("tiffcp", {"-c", "jpeg", "-r", "8", dir.file("grey.tif"), dir.file("out.tif")}));
    const auto t = decoderfixtures::readTiff(dir.file("out.tif"));
    ASSERT_EQ(t.get(277), 1u);
    TImageProperties p = propertiesOf(t);
    expectClose(decodeAll(t, p), decoderfixtures::tiffRgba(dir, dir.file("out.tif")), 1, "grey");
}

TEST(TiffJpegDecoder, StripsThatDoNotFitTheTagsRaiseTheirMessages)
{
    TempDir dir;
    const int w = 32, h = 16;
    const std::string ppm = decoderfixtures::writePpm(dir, "p.ppm", blocks(w, h), w, h);
    ASSERT_TRUE(decoderfixtures::run("convert", {ppm, "-depth", "8", "-compress", "none", dir.file("raw.tif")}));
    ASSERT_TRUE(decoderfixtures::run("tiffcp", {"-c", "jpeg", "-r", "16", dir.file("raw.tif"), dir.file("out.tif")}));
    const auto t = decoderfixtures::readTiff(dir.file("out.tif"));
    ASSERT_EQ(t.strips.size(), 1u);
    const TImageProperties good = propertiesOf(t);
    auto message = [&](const TImageProperties& p, size_t unpacked) -> std::string {
        TTIFFJPEGDecoder d(p);
        Bytes out(size_t(w) * h * 3);
        try {
            d.DecodeInit();
            TSource s(t.strips[0]);
            TTarget dest(out);
            d.Decode(s, dest, s.size(), unpacked);
            d.DecodeEnd();
        } catch (const EGraphicCompression& e) {
            return e.what();
        }
        return "";
    };
    const size_t all = size_t(w) * h * 3;
    EXPECT_EQ(message(good, all), "");
    EXPECT_EQ(message(good, all - 1), "Fractional JPEG scanline unsupported.");
    TImageProperties p = good;
    p.Width = w + 1;
    EXPECT_EQ(message(p, all), "Improper JPEG strip/tile size.");
    p = good;
    p.RowsPerStrip = {8};
    EXPECT_EQ(message(p, all), "Improper JPEG strip/tile size.");
    p = good;
    p.SamplesPerPixel = 4;
    EXPECT_EQ(message(p, all), "Improper JPEG component count.");
    p = good;
    p.BitsPerSample = 12;
    EXPECT_EQ(message(p, all), "Improper JPEG data precision.");
    p = good;
    p.YCbCrSubSampling = {1, 1};
    EXPECT_EQ(message(p, all), "Improper JPEG sampling factors.");
    p = good;
    p.JPEGTables = t.strips[0];  // a whole image is no tables-only stream
    EXPECT_EQ(message(p, all), "Bogus JPEG tables field.");
}

TEST(TiffJpegDecoder, DamagedStripsRaiseOrWarnOncePerLoad)
{
    TempDir dir;
    const int w = 32, h = 64;
    const std::string ppm = decoderfixtures::writePpm(dir, "p.ppm", blocks(w, h), w, h);
    ASSERT_TRUE(decoderfixtures::run("convert", {ppm, "-depth", "8", "-compress", "none", dir.file("raw.tif")}));
    ASSERT_TRUE(decoderfixtures::run("tiffcp", {"-c", "jpeg", "-r", "16", dir.file("raw.tif"), dir.file("out.tif")}));
    auto t = decoderfixtures::readTiff(dir.file("out.tif"));
    ASSERT_EQ(t.strips.size(), 4u);
    TImageProperties p = propertiesOf(t);

    // Every strip cut short: decoding goes on, and one box at the end says so.
    {
        Warnings warnings;
        auto cut = t;
        for (Bytes& s : cut.strips)
            s.resize(s.size() / 2);
        decodeAll(cut, p);
        ASSERT_EQ(warnings.shown.size(), 1u);
        EXPECT_NE(warnings.shown[0].find("JPEG decompression error. Unexpected end of input."), std::string::npos);
    }
    // A preview loads silently.
    {
        Warnings warnings;
        TSilentDecoderWarnings quiet;
        auto cut = t;
        cut.strips[3].resize(40);
        decodeAll(cut, p);
        EXPECT_TRUE(warnings.shown.empty());
    }
    // Damaged and foreign strips raise, the process lives, and the next strip decodes.
    Bytes noJpeg(100, 0x42), flipped = t.strips[1];
    for (size_t i = 0; i < flipped.size(); i += 7)
        flipped[i] ^= 0xA5;
    for (const Bytes* bad : {&noJpeg, &flipped}) {
        Warnings warnings;
        TTIFFJPEGDecoder d(p);
        d.DecodeInit();
        p.CurrentRow = 0;
        Bytes out(size_t(w) * 16 * 3);
        TSource s(*bad), good(t.strips[0]);
        TTarget dest(out), again(out);
        if (bad == &noJpeg)
            EXPECT_THROW(d.Decode(s, dest, s.size(), out.size()), EGraphicCompression);
        else
            try {
                d.Decode(s, dest, s.size(), out.size());
            } catch (const EGraphicCompression&) {
            }
        EXPECT_NO_THROW(d.Decode(good, again, good.size(), out.size()));
        d.DecodeEnd();
        EXPECT_LE(warnings.shown.size(), 1u);
    }
}
