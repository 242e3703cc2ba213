// Colour reduction: the modes' palettes and thresholds, the octree against ImageMagick's
// quantizer on the same picture, the limits that keep bad arguments harmless, the row writer,
// and GIF text sub-blocks. A picture for a person to look at is written to
// build/pictures-look/reduce.png.
#include "pictures/reduce/ColorQuantizer.h"
#include "pictures/reduce/ColorReduction.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QPainter>

#include <cmath>
#include <functional>
#include <random>
#include <set>

using gfx::TBitmap;
using namespace testsupport;

namespace {

// A 24-bit bitmap of f(x, y) -> 0x00BBGGRR.
std::unique_ptr<TBitmap> bitmapOf(int w, int h, const std::function<gfx::TColor(int, int)>& f)
{
    auto b = std::make_unique<TBitmap>(w, h, gfx::pf24bit);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const gfx::TColor c = f(x, y);
            uint8_t* p = b->ScanLine(y) + x * 3;
            p[0] = uint8_t(gfx::GetBValue(c)), p[1] = uint8_t(gfx::GetGValue(c)), p[2] = uint8_t(gfx::GetRValue(c));
        }
    return b;
}

// Smooth hue across, light to dark down, with a soft bright spot: what banding, streaks and
// worms show up in.
std::unique_ptr<TBitmap> photo(int w, int h, int stepX = 1, int stepY = 1)
{
    return bitmapOf(w, h, [=](int x, int y) {
        x = x / stepX * stepX, y = y / stepY * stepY;
        const double hue = 6.0 * x / w, light = 1.0 - 0.8 * y / h;
        const double spot = std::exp(-(std::pow(x - 0.3 * w, 2) + std::pow(y - 0.35 * h, 2)) / (0.02 * w * h));
        auto channel = [&](double offset) {
            const double d = std::fmod(hue + offset + 6.0, 6.0);
            const double v = std::clamp(std::min(d, 4.0 - d), 0.0, 1.0);
            return int(std::clamp((0.15 + 0.85 * v) * light * 255 + spot * 90, 0.0, 255.0));
        };
        return gfx::RGB(channel(0), channel(4), channel(2));
    });
}

std::set<gfx::TColor> usedColors(const TBitmap& b)
{
    std::set<gfx::TColor> used;
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x)
            used.insert(b.PixelColor(x, y));
    return used;
}

}  // namespace

TEST(ColorReduction, SystemColoursAndMonochromeThreshold)
{
    // Quantizing with the system colours keeps them at both ends whatever the picture holds.
    auto q = ReduceColors(*photo(64, 48), rmQuantizeWindows, dmNearest, 8, nullptr);
    ASSERT_EQ(q->PixelFormat(), gfx::pf8bit);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(q->Palette()[size_t(i)], PaletteEntryToColor(SystemColors()[size_t(i)])) << i;
        EXPECT_EQ(q->Palette()[size_t(246 + i)], PaletteEntryToColor(SystemColors()[size_t(10 + i)])) << i;
    }

    std::mt19937 random(55);
    const auto noise = bitmapOf(40, 30, [&](int, int) { return gfx::TColor(random() & 0xFFFFFF); });
    auto mono = ReduceColors(*noise, rmMonochrome, dmNearest, 8, nullptr);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            const gfx::TColor c = noise->PixelColor(x, y);
            const bool white = Luminance256(gfx::GetRValue(c), gfx::GetGValue(c), gfx::GetBValue(c)) > 32512;
            ASSERT_EQ(mono->ScanLine(y)[x], white ? 1 : 0) << x << "," << y;
        }
}

TEST(ColorReduction, OutOfRangeArgumentsAreHarmless)
{
    const auto src = photo(30, 20);
    EXPECT_TRUE(ReduceColors(*src, TColorReduction(10), dmNearest, 8, nullptr)->Empty());
    EXPECT_TRUE(ReduceColors(*src, TColorReduction(-1), dmNearest, 8, nullptr)->Empty());
    EXPECT_TRUE(ReduceColors(*src, rmNetscape, TDitherMode(7), 8, nullptr)->Empty());
    // A custom palette that is missing or empty gives nothing to map to.
    EXPECT_TRUE(ReduceColors(*src, rmCustomPalette, dmNearest, 8, nullptr)->Empty());
    const TPalette none;
    EXPECT_TRUE(ReduceColors(*src, rmCustomPalette, dmFloydSteinberg, 8, &none)->Empty());
    // More than 256 entries: the first 256 serve.
    TPalette big;
    for (int i = 0; i < 400; ++i)
        big.Entries.push_back({uint8_t(i), uint8_t(i >> 8), 7, 0});
    auto r = ReduceColors(*src, rmCustomPalette, dmSierra, 8, &big);
    ASSERT_FALSE(r->Empty());
    EXPECT_EQ(r->Palette()[255], PaletteEntryToColor(big.Entries[255]));

    // Reduction bits beyond 1..8 once asked for no colours or shifted past an int.
    const std::pair<int, int> bitsAndMost[] = {{0, 2}, {-3, 2}, {3, 8}, {9, 256}, {40, 256}};
    for (const auto& [bits, most] : bitsAndMost) {
        auto q = ReduceColors(*src, rmQuantize, dmNearest, bits, nullptr);
        ASSERT_FALSE(q->Empty()) << bits;
        EXPECT_LE(usedColors(*q).size(), size_t(most)) << bits;
    }
}

TEST(ColorQuantizer, ExactColoursAndLimits)
{
    const gfx::TColor three[] = {gfx::RGB(200, 30, 40), gfx::RGB(10, 220, 90), gfx::RGB(77, 77, 250)};
    const auto src = bitmapOf(9, 7, [&](int x, int y) { return three[(x + 2 * y) % 3]; });
    const TPalette p = CreateOptimalPalette(*src, 256, 8, false);
    ASSERT_EQ(p.Count(), 256);
    const std::set<gfx::TColor> found{PaletteEntryToColor(p.Entries[0]), PaletteEntryToColor(p.Entries[1]),
                                      PaletteEntryToColor(p.Entries[2])};
    EXPECT_EQ(found, std::set<gfx::TColor>(std::begin(three), std::end(three)));
    for (int i = 3; i < 256; ++i)
        ASSERT_EQ(p.Entries[size_t(i)], TPaletteEntry{}) << i;

    // No colours asked for once never ended: at least one colour, and reduction stops when the
    // tree is a single leaf.
    TColorQuantizer none(0, 8);
    for (gfx::TColor c : three)
        none.AddColor(uint8_t(gfx::GetRValue(c)), uint8_t(gfx::GetGValue(c)), uint8_t(gfx::GetBValue(c)));
    std::vector<TPaletteEntry> table;
    none.GetColorTable(table);
    ASSERT_EQ(table.size(), 1u);
    EXPECT_EQ(table[0].peRed, (200 + 10 + 77) / 3);  // the average of all
    // Depths outside 1..8 are clamped, not used as shifts or list indices.
    TColorQuantizer deep(4, 20);
    std::mt19937 random(7);
    for (int i = 0; i < 2000; ++i)
        deep.AddColor(uint8_t(random()), uint8_t(random()), uint8_t(random()));
    EXPECT_LE(deep.LeafCount(), 4);

    try {
        CreateOptimalPalette(std::vector<const TBitmap*>{}, 16, 8, true);
        ADD_FAILURE() << "an empty list was taken";
    } catch (const GIFException& e) {
        EXPECT_STREQ(e.what(), "Invalid bitmap list");
    }
}

// 300 colours to 256: the octree's error stays within a small factor of ImageMagick's
// quantizer on the same picture, both measured by ImageMagick reading the two results.
TEST(ColorQuantizer, CloseToImageMagickOnThreeHundredColours)
{
    if (!haveProgram("convert") || !haveProgram("compare"))
        GTEST_SKIP() << "ImageMagick is not installed";
    TempDir dir;
    const auto src = photo(600, 40, 4, 20);  // two bands of 150 steps
    ASSERT_GT(usedColors(*src).size(), 256u);
    src->SaveToFile(dir.file("src.bmp"));
    auto ours = ReduceColors(*src, rmQuantize, dmNearest, 8, nullptr);
    ours->SaveToFile(dir.file("ours.bmp"));
    ASSERT_EQ(runCommand("convert", {dir.file("src.bmp"), "-dither", "None", "-colors", "256", dir.file("im.bmp")}).exitCode, 0);
    auto mse = [&](const std::string& file) {
        // "absolute (normalised)" on standard error; the normalised error is per channel on 0..1.
        const std::string err = runCommand("compare", {"-metric", "MSE", dir.file("src.bmp"), file, "null:"}).err;
        const size_t open = err.find('(');
        EXPECT_NE(open, std::string::npos) << err;
        return open == std::string::npos ? 1e9 : std::stod(err.substr(open + 1)) * 255.0 * 255.0;
    };
    const double im = mse(dir.file("im.bmp")), our = mse(dir.file("ours.bmp"));
    EXPECT_LE(our, 4.0 * im + 1.0) << "ours " << our << ", ImageMagick " << im;
}

TEST(DIBReaderWriter, BadSizesAndOtherFormats)
{
    TBitmap target(3, 3, gfx::pf24bit);
    EXPECT_THROW(TDIBWriter(target, nullptr, 0, 5, gfx::pf8bit), GIFException);
    EXPECT_THROW(TDIBWriter(target, nullptr, 5, 5, gfx::pfDevice), GIFException);
    // Past the bitmap limit: refused before anything is allocated.
    EXPECT_THROW(TDIBWriter(target, nullptr, 30000, 30000, gfx::pf24bit), GIFException);
    EXPECT_EQ(target.Width(), 3);
    EXPECT_EQ(target.PixelFormat(), gfx::pf24bit);
    EXPECT_THROW(ReduceColors(TBitmap(), rmNetscape, dmNearest, 8, nullptr), GIFException);
    // A bitmap that was only sized (device format) and an indexed one are read through copies.
    TBitmap device, indexed(2, 2, gfx::pf4bit);
    device.SetSize(2, 2);
    EXPECT_EQ(ReduceColors(device, rmGrayScale, dmNearest, 8, nullptr)->ScanLine(1)[1], 255);
    indexed.ScanLine(0)[0] = 0x00;  // the top row black, the bottom one still white
    auto mono = ReduceColors(indexed, rmMonochrome, dmBurkes, 8, nullptr);
    EXPECT_EQ(mono->ScanLine(0)[1] + 2 * mono->ScanLine(1)[0], 2);
    EXPECT_EQ(device.PixelFormat(), gfx::pfDevice);
}

TEST(GifSubBlocks, TextBytesAndRoundTrip)
{
    const std::string three = "abc", long300(300, 'x');
    rtl::TMemoryStream s;
    WriteStrings(s, {three, long300});
    const std::vector<uint8_t> bytes = s.Bytes();
    ASSERT_EQ(bytes.size(), 1 + 3 + 1 + 255 + 1 + 45 + 1u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "\x03" + three);
    EXPECT_EQ(bytes[4], 255);
    EXPECT_EQ(bytes[4 + 256], 45);
    EXPECT_EQ(bytes.back(), 0);

    // Blocks come back as lines: the long line as its two blocks, nothing lost; lines that fit
    // a block come back as they were.
    s.SetPosition(0);
    std::vector<std::string> lines;
    ReadStrings(s, lines);
    EXPECT_EQ(lines, (std::vector<std::string>{three, long300.substr(0, 255), long300.substr(255)}));
    const std::vector<std::string> comment{"Tambourelle", "ジャケット写真", std::string(255, 'z')};
    s.Clear();
    WriteStrings(s, comment);
    s.SetPosition(0);
    lines.clear();
    ReadStrings(s, lines);
    EXPECT_EQ(lines, comment);

    // A body of more one-byte blocks than any text has ends with an error, not with a list
    // that grows with the file; the most there may be still reads.
    for (const int blocks : {MaxStringBlocks, MaxStringBlocks + 1}) {
        std::vector<uint8_t> many;
        for (int i = 0; i < blocks; ++i)
            many.insert(many.end(), {1, uint8_t('a' + i % 26)});
        many.push_back(0);
        rtl::TMemoryStream body(std::move(many));
        std::vector<std::string> read;
        if (blocks > MaxStringBlocks) {
            EXPECT_THROW(ReadStrings(body, read), GIFException);
            EXPECT_EQ(read.size(), std::size_t(MaxStringBlocks));
        } else {
            ReadStrings(body, read);
            ASSERT_EQ(read.size(), std::size_t(blocks));
            EXPECT_EQ(read.back(), std::string(1, char('a' + (blocks - 1) % 26)));
        }
    }

    // Cut inside the second block, and before the closing 0: the first line is kept.
    for (size_t cut : {size_t(10), bytes.size() - 1}) {
        rtl::TMemoryStream truncated(std::vector<uint8_t>(bytes.begin(), bytes.begin() + long(cut)));
        std::vector<std::string> partial;
        EXPECT_THROW(ReadStrings(truncated, partial), GIFException) << cut;
        ASSERT_FALSE(partial.empty());
        EXPECT_EQ(partial[0], three);
    }
}

// One photo with smooth gradients reduced by modes 1-9 with nearest colour, then by its
// optimal palette with each ditherer, in tiles with their names; the original comes first.
TEST(ColorReduction, LookPicture)
{
    constexpr int W = 240, H = 160, Columns = 4, Label = 16;
    const auto src = photo(W, H);
    const TPalette optimal = CreateOptimalPalette(*src, 256, 8, false);
    std::vector<std::pair<QString, std::unique_ptr<TBitmap>>> tiles;
    tiles.emplace_back("original", ReduceColors(*src, rmNone, dmNearest, 8, nullptr));
    const char* modes[] = {"1 system 20", "2 halftone", "3 grey 4", "4 mono", "5 grey 256",
                           "6 web 216", "7 quantize 16", "8 quantize+system", "9 optimal"};
    for (int m = 1; m <= 9; ++m)
        tiles.emplace_back(modes[m - 1], ReduceColors(*src, TColorReduction(m), dmNearest, 4, &optimal));
    const char* ditherers[] = {"Floyd-Steinberg", "Stucki", "Sierra", "Jarvis-Judice-Ninke", "Stevenson-Arce", "Burkes"};
    for (int d = 1; d <= 6; ++d)
        tiles.emplace_back(QString("9 + ") + ditherers[d - 1], ReduceColors(*src, rmCustomPalette, TDitherMode(d), 8, &optimal));

    QImage sheet(Columns * (W + 4), int(tiles.size() + Columns - 1) / Columns * (H + Label + 4), QImage::Format_RGB32);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    for (size_t i = 0; i < tiles.size(); ++i) {
        const int x = int(i % Columns) * (W + 4), y = int(i / Columns) * (H + Label + 4);
        ASSERT_EQ(tiles[i].second->Width(), W) << tiles[i].first.toStdString();
        painter.drawImage(x, y + Label, tiles[i].second->ToImage());
        painter.drawText(QRect(x, y, W, Label), Qt::AlignLeft | Qt::AlignVCenter, tiles[i].first);
    }
    painter.end();
    const QString out = QCoreApplication::applicationDirPath() + "/../pictures-look";
    QDir().mkpath(out);
    EXPECT_TRUE(sheet.save(out + "/reduce.png"));
}
