// Colour lookups and ditherers: the lookups' formulas at their thresholds, the fast lookup's
// tie rule and awkward palettes, and what error diffusion must keep: the mean colour of a
// field, every column once per row, and the serpentine turn.
#include "pictures/reduce/Ditherers.h"

#include <gtest/gtest.h>

#include <map>

namespace {

TPalette paletteOf(std::initializer_list<TPaletteEntry> entries) { return TPalette{entries}; }

// The index and the returned colour as one number: index << 24 | 0xBBGGRR.
int64_t lookUp(TColorLookup& lookup, uint8_t red, uint8_t green, uint8_t blue)
{
    uint8_t r, g, b;
    const int index = lookup.Lookup(red, green, blue, r, g, b);
    return int64_t(index) << 24 | gfx::RGB(r, g, b);
}

// Answers every colour with itself (index = red), so no error is ever spread, and counts the
// reds it is asked for: a row whose red is the column tells which columns were visited.
class EchoLookup : public TColorLookup {
public:
    int Lookup(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G, uint8_t& B) override
    {
        ++asked[Red];
        R = Red, G = Green, B = Blue;
        return Red;
    }
    int Colors() const override { return 256; }
    std::map<int, int> asked;
};

}  // namespace

TEST(ColorLookups, FormulasAtTheirThresholds)
{
    TMonochromeLookup mono;
    EXPECT_EQ(lookUp(mono, 255, 255, 255), int64_t(1) << 24 | 0xFFFFFF);
    // 77 + 150 + 29 = 256, so (127, 127, 127) sums to exactly 32512: not above it.
    EXPECT_EQ(lookUp(mono, 127, 127, 127), 0);
    EXPECT_EQ(lookUp(mono, 128, 127, 127) >> 24, 1);

    TNetscapeColorLookup web;
    EXPECT_EQ(lookUp(web, 255, 128, 0), int64_t(192) << 24 | gfx::RGB(255, 102, 0));
    EXPECT_EQ(lookUp(web, 47, 48, 0) >> 24, 6);  // 48 + 3 reaches 51, 47 + 3 does not
    // Every index the lookup answers is the entry of mode 6's palette with the colour it answers.
    const TPalette cube = NetscapePalette();
    for (int v = 0; v < 256 * 256 * 256; v += 997) {
        const int64_t m = lookUp(web, uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16));
        ASSERT_EQ(PaletteEntryToColor(cube.Entries[size_t(m >> 24)]), m & 0xFFFFFF) << v;
    }

    TGrayScaleLookup grey;
    const int level = (77 * 200 + 150 * 100 + 29 * 50) >> 8;
    EXPECT_EQ(lookUp(grey, 200, 100, 50), int64_t(level) << 24 | gfx::RGB(level, level, level));
}

TEST(ColorLookups, FastLookupTiesAndAwkwardPalettes)
{
    // The same colour twice, and a miss equally far from two entries: the lower index wins.
    TFastColorLookup twice(paletteOf({{0, 0, 0, 0}, {200, 10, 10, 0}, {200, 10, 10, 0}, {0, 0, 100, 0}}));
    EXPECT_EQ(lookUp(twice, 200, 10, 10) >> 24, 1);
    EXPECT_EQ(lookUp(twice, 0, 0, 50) >> 24, 0);
    // A miss takes the least sum of absolute differences where the least squared distance
    // would choose the other entry: to (100, 160, 160) the sums are 120 and 100, the squares
    // 7200 and 10000.
    TFastColorLookup sums(paletteOf({{100, 100, 100, 0}, {0, 160, 160, 0}}));
    EXPECT_EQ(lookUp(sums, 100, 160, 160), int64_t(1) << 24 | gfx::RGB(0, 160, 160));

    // No entries: no colours, and asking anyway reads nothing (AddressSanitizer watches).
    TFastColorLookup none{TPalette{}};
    EXPECT_EQ(none.Colors(), 0);
    EXPECT_EQ(lookUp(none, 1, 2, 3), 0);
    // More than 256 entries: the first 256 (reds) count, not the blue behind them.
    TPalette big;
    for (int i = 0; i < 300; ++i)
        big.Entries.push_back(i < 256 ? TPaletteEntry{uint8_t(i), 0, 0, 0} : TPaletteEntry{0, 0, 255, 0});
    TFastColorLookup first(big);
    EXPECT_EQ(first.Colors(), 256);
    EXPECT_EQ(lookUp(first, 0, 0, 255), 0);
}

TEST(Ditherers, FloydSteinbergAlternatesAndTurnsAtTheRowEnd)
{
    TFastColorLookup bw(paletteOf({{0, 0, 0, 0}, {255, 255, 255, 0}}));
    TFloydSteinbergDitherer fs(8, bw);
    std::vector<uint8_t> grey(8 * 3, 128), out(8);
    DitherRow(grey.data(), out.data(), fs);
    for (int x = 1; x < 8; ++x)
        EXPECT_NE(out[size_t(x)], out[size_t(x - 1)]) << "column " << x;
    EXPECT_EQ(fs.Direction(), -1);
    EXPECT_EQ(fs.Column(), 7);
    uint8_t r, g, b;
    fs.Dither(128, 128, 128, r, g, b);
    EXPECT_EQ(fs.Column(), 6);
}

TEST(Ditherers, EveryColumnOnceAtEachTurn)
{
    constexpr int W = 11, Rows = 6;
    std::vector<uint8_t> row(W * 3);
    for (int x = 0; x < W; ++x)
        row[size_t(x) * 3 + 2] = uint8_t(x);  // red = column
    for (int mode = dmNearest; mode <= dmBurkes; ++mode) {
        EchoLookup echo;
        auto d = CreateDitherer(TDitherMode(mode), W, echo);
        for (int y = 0; y < Rows; ++y) {
            std::vector<uint8_t> out(W, 0xEE);
            DitherRow(row.data(), out.data(), *d);
            for (int x = 0; x < W; ++x)
                ASSERT_EQ(out[size_t(x)], x) << "mode " << mode << " row " << y;
        }
        ASSERT_EQ(echo.asked.size(), size_t(W)) << "mode " << mode;
        for (const auto& [column, times] : echo.asked)
            EXPECT_EQ(times, Rows) << "mode " << mode << " column " << column;
    }
    EchoLookup echo;
    EXPECT_EQ(CreateDitherer(TDitherMode(7), W, echo), nullptr);
}

// Wrong weights, a wrong divisor or weights not mirrored on the rows scanned leftwards lose
// or invent error, and a large flat field drifts away from its colour: one weight off by one
// moves a dark grey by about four levels, unmirrored weights drive it to white. Adding half
// the divisor before a division that truncates toward zero drops small negative errors, which
// by itself lifts a field by up to about two levels.
TEST(Ditherers, ErrorDiffusionKeepsTheMeanOfAFlatField)
{
    constexpr int W = 200, H = 200;
    const TPalette bw = paletteOf({{0, 0, 0, 0}, {255, 255, 255, 0}});
    const TPalette eight = paletteOf({{0, 0, 0, 0}, {255, 0, 0, 0}, {0, 255, 0, 0}, {0, 0, 255, 0},
                                      {255, 255, 0, 0}, {0, 255, 255, 0}, {255, 0, 255, 0}, {255, 255, 255, 0}});
    const std::pair<const TPalette*, gfx::TColor> fields[] = {
        {&bw, gfx::RGB(37, 37, 37)}, {&bw, gfx::RGB(128, 128, 128)}, {&bw, gfx::RGB(201, 201, 201)},
        {&eight, gfx::RGB(90, 200, 30)}, {&eight, gfx::RGB(240, 60, 170)}};
    for (int mode = dmFloydSteinberg; mode <= dmBurkes; ++mode) {
        for (const auto& [palette, colour] : fields) {
            TFastColorLookup lookup(*palette);
            auto d = CreateDitherer(TDitherMode(mode), W, lookup);
            std::vector<uint8_t> row(W * 3), out(W);
            for (int x = 0; x < W * 3; x += 3) {
                row[size_t(x)] = uint8_t(gfx::GetBValue(colour));
                row[size_t(x) + 1] = uint8_t(gfx::GetGValue(colour));
                row[size_t(x) + 2] = uint8_t(gfx::GetRValue(colour));
            }
            double sum[3] = {0, 0, 0};
            for (int y = 0; y < H; ++y) {
                DitherRow(row.data(), out.data(), *d);
                for (uint8_t index : out) {
                    const TPaletteEntry& e = palette->Entries[index];
                    sum[0] += e.peRed, sum[1] += e.peGreen, sum[2] += e.peBlue;
                }
            }
            constexpr double Levels = 2.75, N = double(W) * H;
            EXPECT_NEAR(sum[0] / N, gfx::GetRValue(colour), Levels) << "mode " << mode;
            EXPECT_NEAR(sum[1] / N, gfx::GetGValue(colour), Levels) << "mode " << mode;
            EXPECT_NEAR(sum[2] / N, gfx::GetBValue(colour), Levels) << "mode " << mode;
        }
    }
}
