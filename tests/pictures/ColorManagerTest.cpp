// The colour manager and its row converters: the selection and its messages, gamma and
// palettes, conversions checked against ImageMagick's (CMYK, YCbCr) and known colours, the
// mask and bit packing, and rows shorter than the pixel count. Also leaves one gradient
// converted from every source scheme and depth in build/pictures-look/schemes.png.
#include "pictures/PictureFixtures.h"
#include "pictures/colormanager/PictureColors.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <cmath>
#include <functional>
#include <random>

using namespace testsupport;

namespace {

using Bytes = std::vector<uint8_t>;

std::string errorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const EColorConversionError& e) {
        return e.what();
    }
    return {};
}

// A manager set to convert `from` to `to` at the given depths and sample counts.
void setUp(TColorManager& m, TPixelScheme from, TPixelScheme to, uint8_t sourceBits = 8, uint8_t targetBits = 8,
           uint8_t sourceSamples = 3, uint8_t targetSamples = 3)
{
    m.SetSourceColorScheme(from);
    m.SetTargetColorScheme(to);
    m.SetSourceBitsPerSample(sourceBits);
    m.SetTargetBitsPerSample(targetBits);
    m.SetSourceSamplesPerPixel(sourceSamples);
    m.SetTargetSamplesPerPixel(targetSamples);
}

Bytes convert(TColorManager& m, const Bytes& source, uint32_t count, size_t targetBytes, uint8_t mask = 0xFF,
              uint8_t fill = 0)
{
    Bytes target(targetBytes, fill);
    m.ConvertRow(source, target, count, mask);
    return target;
}

constexpr const char* noMethod = "Color conversion failed. Could not find a proper method.";
constexpr const char* indexedMix = "Conversion between indexed and non-indexed pixel formats is not supported.";

}  // namespace

TEST(ColorManager, SelectionPropertiesAndMessages)
{
    TColorManager m;
    EXPECT_EQ(convert(m, {1, 2, 3, 4, 5, 6}, 2, 6), (Bytes{3, 2, 1, 6, 5, 4}));
    EXPECT_FALSE(m.Changed());
    m.SetSourceColorScheme(psRGB);
    m.SetTargetBitsPerSample(8);
    EXPECT_FALSE(m.Changed());
    m.SetTargetBitsPerSample(16);
    EXPECT_TRUE(m.Changed());
    EXPECT_EQ(convert(m, {1, 2, 3}, 1, 6), (Bytes{3, 3, 2, 2, 1, 1}));

    EXPECT_EQ(errorOf([&] { m.SetSourceBitsPerSample(17); }),
              "Color depth is invalid. Bits per sample must be 1, 2, 4, 8 or 16.");
    EXPECT_EQ(errorOf([&] { m.SetTargetSamplesPerPixel(0); }),
              "Sample count per pixel does not correspond to the given color scheme.");
    EXPECT_EQ(m.SourceBitsPerSample(), 8);
    EXPECT_EQ(m.TargetSamplesPerPixel(), 3);

    auto failure = [](TPixelScheme from, TPixelScheme to, uint8_t bits) {
        TColorManager c;
        setUp(c, from, to, bits, bits);
        const std::string e = errorOf([&] { convert(c, Bytes(8), 1, 8); });
        // A failed selection fails the next row at once, without choosing again.
        return e == indexedMix || errorOf([&] { convert(c, Bytes(8), 1, 8); }) == e ? e : "retried";
    };
    EXPECT_EQ(failure(psCMY, psBGR, 8), noMethod);
    EXPECT_EQ(failure(psRGB, psCMYK, 8), noMethod);
    EXPECT_EQ(failure(psGray, psRGB, 8), indexedMix);
    EXPECT_EQ(failure(psRGB, psGray, 8), indexedMix);
    EXPECT_EQ(failure(psGrayAlpha, psGray, 4), noMethod);
    // Depths no converter handles fail instead of leaving a black row.
    EXPECT_EQ(failure(psGray, psGray, 12), noMethod);
    EXPECT_EQ(failure(psRGB, psBGR, 5), noMethod);
    EXPECT_EQ(failure(psIndexed, psIndexed, 3), noMethod);

    EXPECT_EQ(errorOf([&] { m.SetYCbCrParameters({0.2f}, 2, 4); }),
              "Vertical subsampling value must be <= horizontal subsampling value.");
    EXPECT_EQ(errorOf([&] { m.SetYCbCrParameters({}, 3, 1); }), "Subsampling value is invalid. Allowed are 1, 2 and 4.");
    EXPECT_FLOAT_EQ(m.YCbCrCoefficients()[0], 0.2f);
    EXPECT_FLOAT_EQ(m.YCbCrCoefficients()[1], 0.587f);
    EXPECT_EQ(m.HorizontalSubsampling(), 1);

    const std::pair<int, int> sides[] = {{1, 1}, {1, 4}, {1, 8}, {1, 16}, {3, 5}, {3, 8}, {4, 8}, {4, 4}, {2, 8}};
    const gfx::TPixelFormat formats[] = {gfx::pf1bit, gfx::pf4bit,   gfx::pf8bit,   gfx::pfCustom, gfx::pf15bit,
                                         gfx::pf24bit, gfx::pf32bit, gfx::pfCustom, gfx::pfCustom};
    for (size_t i = 0; i < std::size(sides); ++i) {
        m.SetTargetSamplesPerPixel(uint8_t(sides[i].first));
        m.SetTargetBitsPerSample(uint8_t(sides[i].second));
        EXPECT_EQ(m.GetPixelFormat(1), formats[i]) << i;
    }
    EXPECT_EQ(m.GetPixelFormat(0), gfx::pf24bit);
}

TEST(ColorManager, GammaAndPalettes)
{
    TColorManager m, defaults;
    m.SetGamma(0, 0);
    EXPECT_TRUE(std::equal(m.GammaTable(), m.GammaTable() + 256, defaults.GammaTable()));
    EXPECT_EQ(defaults.GammaTable()[128], 186);  // 255 x (128 / 255)^(1 / 2.2)
    m.SetGamma(0.45455f, 2.2f);
    for (int i = 0; i < 256; ++i)
        EXPECT_LE(std::abs(m.GammaTable()[i] - i), 1) << i;
    // Shallow depths still fill the whole table on the 0..255 scale the palettes look up.
    TColorManager shallow;
    setUp(shallow, psGray, psGray, 1, 1, 1, 1);
    shallow.SetGamma(1.0f, 1.0f);
    EXPECT_EQ(shallow.GammaTable()[128], 128);
    EXPECT_EQ(shallow.GammaTable()[255], 255);

    // 16 colours of a 4-bit picture spread over an 8-bit target: entry 17v shows colour v.
    Bytes map;
    for (int v = 0; v < 16; ++v)
        map.insert(map.end(), {uint8_t(v), uint8_t(10 * v), uint8_t(255 - v)});
    setUp(m, psIndexed, psIndexed, 4, 8, 1, 1);
    TPalette p = m.BuildColorPalette(std::vector<TRowSpan>{map}, pdInterleaved8, 16, false);
    ASSERT_EQ(p.Count(), 256);
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(p.Entries[size_t(i)], (TPaletteEntry{uint8_t(i / 17), uint8_t(10 * (i / 17)), uint8_t(255 - i / 17), 0})) << i;
    // Blue-green-red order, planar 16-bit data, and entries the data does not hold.
    setUp(m, psIndexed, psIndexed, 8, 8, 1, 1);
    p = m.BuildColorPalette(std::vector<TRowSpan>{Bytes{1, 2, 3, 4, 5, 6}}, pdInterleaved8, 256, true);
    ASSERT_EQ(p.Count(), 256);
    EXPECT_EQ(p.Entries[1], (TPaletteEntry{6, 5, 4, 0}));
    EXPECT_EQ(p.Entries[2], TPaletteEntry{});
    const Bytes red{0xFF, 0xFF, 0, 0x80}, green{0, 0, 0, 0}, blue{0, 0x80, 0, 0};
    p = m.BuildColorPalette(std::vector<TRowSpan>{red, green, blue}, pdPlanar16, 2, false);
    EXPECT_EQ(p.Entries[0], (TPaletteEntry{255, 0, 127, 0}));
    EXPECT_EQ(p.Entries[1], (TPaletteEntry{127, 0, 0, 0}));
    // A 16-bit index depth re-spread into 8 bits stays within the 256 entries it holds.
    setUp(m, psIndexed, psIndexed, 16, 8, 1, 1);
    Bytes full(768);
    for (size_t i = 0; i < full.size(); ++i)
        full[i] = uint8_t(i / 3);
    p = m.BuildColorPalette(std::vector<TRowSpan>{full}, pdInterleaved8, 1000, false);
    ASSERT_EQ(p.Count(), 256);
    EXPECT_EQ(p.Entries[0].peRed, 0);
    EXPECT_EQ(p.Entries[200].peRed, 255);

    setUp(m, psGray, psGray, 1, 1, 1, 1);
    p = m.BuildGrayPalette(false);
    ASSERT_EQ(p.Count(), 2);
    EXPECT_EQ(p.Entries[0], (TPaletteEntry{0, 0, 0, 0}));
    EXPECT_EQ(p.Entries[1], (TPaletteEntry{255, 255, 255, 0}));
    EXPECT_EQ(m.BuildGrayPalette(true).Entries[0], (TPaletteEntry{255, 255, 255, 0}));
    m.SetTargetBitsPerSample(8);
    p = m.BuildGrayPalette(false);
    ASSERT_EQ(p.Count(), 256);
    EXPECT_EQ(p.Entries[77].peGreen, 77);
    m.SetTargetBitsPerSample(1);
    m.SetTargetSamplesPerPixel(3);
    p = m.BuildGrayPalette(false);
    ASSERT_EQ(p.Count(), 8);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(p.Entries[size_t(i)].peBlue, 36 * i);
    m.TargetOptions = soApplyGamma;
    EXPECT_EQ(m.BuildGrayPalette(false).Entries[7].peRed, m.GammaTable()[252]);
}

TEST(RowConverters, AgreeWithImageMagick)
{
    if (!haveProgram("convert"))
        GTEST_SKIP() << "ImageMagick is needed";
    TempDir dir;
    std::mt19937 random(58);
    const int n = 500;
    Bytes cmyk(4 * n), rgb(3 * n);
    for (auto& b : cmyk)
        b = uint8_t(random());
    for (auto& b : rgb)
        b = uint8_t(random());
    cmyk[0] = cmyk[1] = cmyk[2] = cmyk[3] = 0;
    writeFile(dir.file("in.cmyk"), std::string(cmyk.begin(), cmyk.end()));
    writeFile(dir.file("in.rgb"), std::string(rgb.begin(), rgb.end()));
    const std::string size = std::to_string(n) + "x1";
    const auto fromCmyk = runCommand("convert", {"-size", size, "-depth", "8", "cmyk:" + dir.file("in.cmyk"),
                                                 "-colorspace", "sRGB", "-depth", "8", "rgb:-"});
    // YCbCr samples of colours within the RGB cube, and ImageMagick's inverse of them.
    const auto toYcc = runCommand("convert", {"-size", size, "-depth", "8", "rgb:" + dir.file("in.rgb"), "-colorspace",
                                              "YCbCr", "-set", "colorspace", "sRGB", "-depth", "8", "rgb:-"});
    ASSERT_EQ(toYcc.out.size(), size_t(3 * n));
    writeFile(dir.file("in.ycc"), toYcc.out);
    const auto fromYcc = runCommand("convert", {"-size", size, "-depth", "8", "rgb:" + dir.file("in.ycc"), "-set",
                                                "colorspace", "YCbCr", "-colorspace", "sRGB", "-depth", "8", "rgb:-"});
    ASSERT_EQ(fromCmyk.out.size(), size_t(3 * n));
    ASSERT_EQ(fromYcc.out.size(), size_t(3 * n));

    TColorManager m;
    setUp(m, psCMYK, psRGB, 8, 8, 4, 3);
    const Bytes ours = convert(m, cmyk, n, 3 * n);
    int worst = 0;
    for (int i = 0; i < 3 * n; ++i)
        worst = std::max(worst, std::abs(ours[size_t(i)] - uint8_t(fromCmyk.out[size_t(i)])));
    EXPECT_LE(worst, 1);

    setUp(m, psYCbCr, psRGB);
    const Bytes back = convert(m, Bytes(toYcc.out.begin(), toYcc.out.end()), n, 3 * n);
    worst = 0;
    for (int i = 0; i < 3 * n; ++i)
        worst = std::max(worst, std::abs(back[size_t(i)] - uint8_t(fromYcc.out[size_t(i)])));
    EXPECT_LE(worst, 2);
}

TEST(RowConverters, KnownColoursMaskAndDepths)
{
    TColorManager m;
    setUp(m, psCMYK, psBGR, 8, 8, 4, 3);
    EXPECT_EQ(convert(m, {0, 0, 0, 0, 255, 255, 255, 0, 0, 0, 0, 255, 0, 0, 255, 0}, 4, 12),
              (Bytes{255, 255, 255, 0, 0, 0, 0, 0, 0, 0, 255, 255}));
    setUp(m, psCMYK, psRGB, 16, 16, 4, 3);
    EXPECT_EQ(convert(m, {0, 0, 0xFF, 0xFF, 0, 0x80, 0, 0}, 1, 6), (Bytes{0xFF, 0xFF, 0, 0, 0xFF, 0x7F}));

    setUp(m, psLab, psRGB);
    EXPECT_EQ(convert(m, {100, 0, 0, 0, 0, 0}, 2, 6), (Bytes{255, 255, 255, 0, 0, 0}));
    m.SourceOptions = soLabScaledLightness | soLabOffsetChroma;
    EXPECT_EQ(convert(m, {255, 128, 128}, 1, 3), (Bytes{255, 255, 255}));
    // 16-bit Lab on the 8-bit formulas' scale: L* over the full 16 bits, a* and b* over 256 steps.
    m.SourceOptions = 0;
    const Bytes lab8 = convert(m, {50, 20, uint8_t(-30)}, 1, 3);
    m.SetSourceBitsPerSample(16);
    const Bytes lab16 = convert(m, {0xFF, 0xFF, 0, 0, 0, 0, 0x00, 0x80, 0, 20, 0, uint8_t(-30)}, 2, 6);
    EXPECT_EQ(Bytes(lab16.begin(), lab16.begin() + 3), (Bytes{255, 255, 255}));
    EXPECT_EQ(Bytes(lab16.begin() + 3, lab16.end()), lab8);

    setUp(m, psYCbCr, psRGB);
    EXPECT_EQ(convert(m, {128, 128, 128, 255, 128, 255}, 2, 6), (Bytes{128, 128, 128, 255, 164, 255}));
    // Two 16-bit sides: YCbCr's own equations, results kept within 0..65535.
    setUp(m, psYCbCr, psRGB, 16, 16);
    EXPECT_EQ(convert(m, {0, 0x80, 0, 0x80, 0, 0x80, 0xFF, 0xFF, 0, 0x80, 0xFF, 0xFF}, 2, 12),
              (Bytes{0, 0x80, 0, 0x80, 0, 0x80, 0xFF, 0xFF, 0x97, 0xA4, 0xFF, 0xFF}));
    setUp(m, psPhotoYCC, psBGR, 16, 16);
    const Bytes photo = convert(m, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 1, 6);
    const long green = std::lround(1.3584 * 65535 - 0.4302726 * (65535 - 40092) - 0.9271435 * (65535 - 35209));
    EXPECT_EQ(photo, (Bytes{0xFF, 0xFF, uint8_t(green), uint8_t(green >> 8), 0xFF, 0xFF}));

    // Mask 170: pixels 0, 2, 4, 6 from the first four source pixels; the others untouched.
    setUp(m, psRGB, psBGR);
    Bytes source;
    for (uint8_t i = 0; i < 8; ++i)
        source.insert(source.end(), {i, uint8_t(i + 10), uint8_t(i + 20)});
    Bytes masked = convert(m, source, 8, 24, 170, 0xAA);
    for (int i = 0; i < 8; ++i) {
        const Bytes px(masked.begin() + 3 * i, masked.begin() + 3 * i + 3);
        EXPECT_EQ(px, i % 2 ? Bytes(3, 0xAA) : (Bytes{uint8_t(i / 2 + 20), uint8_t(i / 2 + 10), uint8_t(i / 2)})) << i;
    }
    // Alpha: dropped, left alone, or copied (never through the gamma table).
    setUp(m, psRGBA, psBGR);
    EXPECT_EQ(convert(m, {1, 2, 3, 4, 5, 6, 7, 8}, 2, 6), (Bytes{3, 2, 1, 7, 6, 5}));
    setUp(m, psRGB, psBGRA);
    EXPECT_EQ(convert(m, {1, 2, 3}, 1, 4, 0xFF, 9), (Bytes{3, 2, 1, 9}));
    setUp(m, psRGBA, psBGRA);
    m.TargetOptions = soApplyGamma;
    EXPECT_EQ(convert(m, {128, 0, 255, 128}, 1, 4), (Bytes{255, 0, m.GammaTable()[128], 128}));
    // Planar rows, one a channel.
    m.TargetOptions &= uint8_t(~soApplyGamma);
    const Bytes r{1, 2}, g{3, 4}, b{5, 6}, a{7, 8};
    Bytes planar(8);
    m.ConvertRow(std::vector<TRowSpan>{r, g, b, a}, planar, 2, 0xFF);
    EXPECT_EQ(planar, (Bytes{5, 3, 1, 7, 6, 4, 2, 8}));

    // 16-bit samples stored high byte first.
    setUp(m, psRGB, psBGR, 16, 8);
    m.SourceOptions = soSwapBytes;
    EXPECT_EQ(convert(m, {0xFF, 0xFF, 0x80, 0x00, 0, 0}, 1, 3), (Bytes{0, 127, 255}));
    setUp(m, psGray, psGray, 16, 8, 1, 1);
    EXPECT_EQ(convert(m, {0x80, 0x00, 0xFF, 0xFF}, 2, 2), (Bytes{127, 255}));

    // Index repacking: 4 to 8 bits times 17, 8 to 1 keeps only 255, 16-bit indices.
    setUp(m, psIndexed, psIndexed, 4, 8, 1, 1);
    EXPECT_EQ(convert(m, {0x1F, 0xA0}, 4, 4), (Bytes{17, 255, 170, 0}));
    setUp(m, psIndexed, psIndexed, 8, 1, 1, 1);
    EXPECT_EQ(convert(m, {255, 254, 0, 255, 1, 255, 255, 128, 255}, 9, 2), (Bytes{0x96, 0x80}));
    setUp(m, psIndexed, psIndexed, 2, 4, 1, 1);
    EXPECT_EQ(convert(m, {0x1B}, 4, 2, 0xA0, 0xFF), (Bytes{0x0F, 0x5F}));  // pixels 0 and 2: indices 0 and 1
    setUp(m, psIndexed, psGray, 16, 16, 1, 1);
    m.SourceOptions = soSwapBytes;
    EXPECT_EQ(convert(m, {0x12, 0x34}, 1, 2), (Bytes{0x34, 0x12}));
    setUp(m, psIndexed, psIndexed, 16, 2, 1, 1);
    m.SourceOptions = 0;
    EXPECT_EQ(convert(m, {0xFF, 0xFF, 0, 0x80, 0, 0, 0, 0x40}, 4, 1), (Bytes{0xD0}));
    setUp(m, psIndexed, psIndexed, 1, 16, 1, 1);
    EXPECT_EQ(convert(m, {0x80}, 2, 4), (Bytes{0xFF, 0xFF, 0, 0}));
}

TEST(RowConverters, ShortRowsAndUnhandledDepthsTouchNothingOutside)
{
    TColorManager m;
    // The target holds two of the four pixels; the bytes after it are not the row's.
    Bytes buffer(12, 0xEE);
    m.ConvertRow(Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, std::span<uint8_t>(buffer).first(6), 4, 0xFF);
    EXPECT_EQ(buffer, (Bytes{3, 2, 1, 6, 5, 4, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}));
    // The source holds one pixel: only the first selected pixel is written.
    buffer.assign(12, 0xEE);
    m.ConvertRow(Bytes{1, 2, 3, 4}, buffer, 4, 0x50);
    EXPECT_EQ(buffer, (Bytes{0xEE, 0xEE, 0xEE, 3, 2, 1, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}));
    // Too few planes, and no rows at all.
    m.ConvertRow(std::vector<TRowSpan>{Bytes{1}, Bytes{2}}, buffer, 1, 0xFF);
    m.ConvertRow(std::vector<TRowSpan>{}, buffer, 1, 0xFF);
    EXPECT_EQ(buffer[0], 0xEE);
    setUp(m, psIndexed, psIndexed, 4, 4, 1, 1);
    buffer.assign(4, 0xEE);
    m.ConvertRow(Bytes{0x12, 0x34, 0x56}, std::span<uint8_t>(buffer).first(2), 7, 0xFF);
    EXPECT_EQ(buffer, (Bytes{0x12, 0x34, 0xEE, 0xEE}));
    m.ConvertRow(Bytes{}, buffer, 0, 0xFF);

    // Called directly for a depth it does not handle, a converter writes nothing.
    setUp(m, psRGB, psBGR, 5, 8);
    using Converter = TColorManager::TRowConverter;
    for (Converter c : {&TColorManager::RowRgbToBgr, &TColorManager::RowCmykToRgb, &TColorManager::RowLabToBgr,
                        &TColorManager::RowYCbCrToRgb, &TColorManager::RowGray}) {
        Bytes target(8, 0xEE);
        (m.*c)(std::vector<TRowSpan>{Bytes(8, 1)}, target, 2, 0xFF);
        EXPECT_EQ(target, Bytes(8, 0xEE));
    }
}

namespace {

// Forward conversions of an 8-bit RGB pixel into each scheme the gradient is shown in.
struct Rgb {
    double r, g, b;
};
double luma(Rgb c) { return 0.299 * c.r + 0.587 * c.g + 0.114 * c.b; }
uint8_t byteOf(double v) { return uint8_t(std::clamp(std::lround(v), 0L, 255L)); }
Bytes toLab(Rgb c)
{
    // The inverse of the converter's XYZ-to-RGB matrix.
    static const double inv[3][3] = {{0.4416, 0.3608, 0.198}, {0.2221, 0.7068, 0.0714}, {0.0002, 0.0948, 0.9049}};
    double xyz[3];
    for (int i = 0; i < 3; ++i)
        xyz[i] = (inv[i][0] * c.r + inv[i][1] * c.g + inv[i][2] * c.b) / 255;
    auto f = [](double t) { return t > 0.008856 ? std::cbrt(t) : 7.787 * t + 16.0 / 116; };
    const double L = 116 * f(xyz[1]) - 16;
    return {byteOf(L * 2.55), byteOf(500 * (f(xyz[0]) - f(xyz[1])) + 128), byteOf(200 * (f(xyz[1]) - f(xyz[2])) + 128)};
}

}  // namespace

TEST(RowConverters, EverySchemeShowsTheSameGradient)
{
    const int W = 192, H = 24;
    auto colourAt = [](int x, int y) { return Rgb{x * 255.0 / (W - 1), y * 255.0 / (H - 1), 255 - x * 255.0 / (W - 1)}; };
    struct Band {
        std::string name;
        TPixelScheme scheme;
        uint8_t bits, samples;
        std::function<Bytes(Rgb)> samplesOf;
        TSampleOptions options = 0;
    };
    auto gray = [](Rgb c) { return Bytes{byteOf(luma(c))}; };
    auto wide = [](Bytes v) {
        Bytes w;
        for (uint8_t b : v)
            w.insert(w.end(), {b, b});
        return w;
    };
    std::vector<Band> bands = {
        {"RGB 8", psRGB, 8, 3, [](Rgb c) { return Bytes{byteOf(c.r), byteOf(c.g), byteOf(c.b)}; }},
        {"BGR 8", psBGR, 8, 3, [](Rgb c) { return Bytes{byteOf(c.b), byteOf(c.g), byteOf(c.r)}; }},
        {"RGB 16", psRGB, 16, 3, [&](Rgb c) { return wide({byteOf(c.r), byteOf(c.g), byteOf(c.b)}); }},
        {"BGRA 16", psBGRA, 16, 4, [&](Rgb c) { return wide({byteOf(c.b), byteOf(c.g), byteOf(c.r), 255}); }},
        {"CMYK 8", psCMYK, 8, 4, [](Rgb c) {
             const double k = 255 - std::max({c.r, c.g, c.b}), s = 255 - k;
             auto ink = [&](double v) { return s > 0 ? byteOf((s - v) * 255 / s) : uint8_t(0); };
             return Bytes{ink(c.r), ink(c.g), ink(c.b), byteOf(k)};
         }},
        {"Lab 8", psLab, 8, 3, toLab, soLabScaledLightness | soLabOffsetChroma},
        {"YCbCr 8", psYCbCr, 8, 3, [](Rgb c) {
             const double y = luma(c);
             return Bytes{byteOf(y), byteOf(128 + (c.b - y) / 1.772), byteOf(128 + (c.r - y) / 1.402)};
         }},
        {"PhotoYCC 8", psPhotoYCC, 8, 3, [](Rgb c) {
             const double y = luma(c);
             return Bytes{byteOf(y), byteOf(156 + (c.b - y) / 1.772), byteOf(137 + (c.r - y) / 1.402)};
         }},
        {"Indexed 8", psIndexed, 8, 1, [](Rgb c) {
             return Bytes{uint8_t(36 * std::lround(c.r / 51) + 6 * std::lround(c.g / 51) + std::lround(c.b / 51))};
         }},
        {"Gray 16", psGray, 16, 1, [&](Rgb c) { return wide(gray(c)); }},
        {"Gray 8", psGray, 8, 1, gray},
        {"Gray 4", psGray, 4, 1, gray},
        {"Gray 2", psGray, 2, 1, gray},
        {"Gray 1", psGray, 1, 1, gray},
    };
    QImage sheet(W + 90, H * int(bands.size()), QImage::Format_RGB32);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    for (size_t bi = 0; bi < bands.size(); ++bi) {
        const Band& band = bands[bi];
        const bool indexed = band.samples == 1;
        TColorManager m;
        setUp(m, band.scheme, indexed ? band.scheme : psBGR, band.bits, 8, band.samples, indexed ? 1 : 3);
        m.SourceOptions = band.options;
        TPalette palette = m.BuildGrayPalette(false);
        if (band.scheme == psIndexed) {
            Bytes cube;
            for (int i = 0; i < 216; ++i)
                cube.insert(cube.end(), {uint8_t(i / 36 * 51), uint8_t(i / 6 % 6 * 51), uint8_t(i % 6 * 51)});
            palette = m.BuildColorPalette(std::vector<TRowSpan>{cube}, pdInterleaved8, 216, false);
        }
        for (int y = 0; y < H; ++y) {
            Bytes source((W * band.bits * band.samples + 7) / 8 + 2);
            for (int x = 0; x < W; ++x) {
                Bytes s = band.samplesOf(colourAt(x, y));
                if (band.bits < 8) {
                    const unsigned v = s[0] >> (8 - band.bits), pos = unsigned(x * band.bits);
                    source[pos / 8] = uint8_t(source[pos / 8] | v << (8 - band.bits - pos % 8));
                } else {
                    std::copy(s.begin(), s.end(), source.begin() + x * long(s.size()));
                }
            }
            Bytes row(W * (indexed ? 1 : 3));
            m.ConvertRow(source, row, W, 0xFF);
            for (int x = 0; x < W; ++x) {
                QRgb c;
                if (indexed) {
                    const TPaletteEntry e = palette.Entries.at(row[size_t(x)]);
                    c = qRgb(e.peRed, e.peGreen, e.peBlue);
                } else {
                    c = qRgb(row[size_t(3 * x + 2)], row[size_t(3 * x + 1)], row[size_t(3 * x)]);
                }
                sheet.setPixel(x, int(bi) * H + y, c);
            }
        }
        painter.setPen(Qt::black);
        painter.drawText(W + 6, int(bi) * H + H - 7, QString::fromStdString(band.name));
        // The colour schemes reproduce the gradient closely; grey shows its brightness.
        if (!indexed) {
            const Rgb want = colourAt(W / 3, H / 2);
            const QRgb got = sheet.pixel(W / 3, int(bi) * H + H / 2);
            EXPECT_NEAR(qRed(got), want.r, 8) << band.name;
            EXPECT_NEAR(qGreen(got), want.g, 8) << band.name;
            EXPECT_NEAR(qBlue(got), want.b, 8) << band.name;
        }
    }
    painter.end();
    EXPECT_TRUE(sheet.save(picturefixtures::lookDir() + "/schemes.png"));
}
