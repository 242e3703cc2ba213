// The bitmap resampler: flat pictures, the sampling grid's edges, rounding and clamping, and
// photos against ImageMagick's resize with the matching filters.
#include "pictures/PictureFixtures.h"
#include "pictures/Resample.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QPainter>

#include <cmath>
#include <random>

using namespace testsupport;
using gfx::TBitmap;
using gfx::TColor;

namespace {

void set(TBitmap& b, int x, int y, TColor c)
{
    uint8_t* p = b.ScanLine(y) + 3 * x;
    p[0] = uint8_t(c >> 16);
    p[1] = uint8_t(c >> 8);
    p[2] = uint8_t(c);
}

void fill(TBitmap& b, TColor c)
{
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x)
            set(b, x, y, c);
}

// A picture ImageMagick draws (smooth plasma with a few hard edges), read back as a 24-bit bitmap.
bool magickPicture(const TempDir& dir, const std::string& name, int w, int h, TBitmap& out)
{
    const std::string png = dir.file(name);
    const std::string size = std::to_string(w) + "x" + std::to_string(h);
    const auto r = runCommand("convert", {"-seed", "5", "-size", size, "plasma:tomato-steelblue", "-blur", "0x1",
                                          "-fill", "gold", "-draw", "circle " + std::to_string(w / 3) + "," +
                                          std::to_string(h / 2) + " " + std::to_string(w / 3) + "," + std::to_string(h / 5),
                                          "-depth", "8", "PNG24:" + png});
    if (r.exitCode != 0)
        return false;
    out.FromImage(QImage(QString::fromStdString(png)));
    return out.Width() == w;
}

// ImageMagick's resize of the picture to w x h with its filter, as a 24-bit bitmap.
std::unique_ptr<TBitmap> magickResize(const TempDir& dir, const TBitmap& source, const std::string& filter, int w, int h)
{
    const std::string in = dir.file("in.png"), out = dir.file("out-" + filter + ".png");
    source.ToImage().save(QString::fromStdString(in));
    const auto r = runCommand("convert", {in, "-filter", filter, "-resize",
                                          std::to_string(w) + "x" + std::to_string(h) + "!", "PNG24:" + out});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    auto b = std::make_unique<TBitmap>();
    b->FromImage(QImage(QString::fromStdString(out)));
    return b;
}

// Mean absolute difference of one channel (0 blue, 1 green, 2 red) over the whole picture.
double meanDifference(const TBitmap& a, const TBitmap& b, int channel)
{
    double sum = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            sum += std::abs(int(a.ScanLine(y)[3 * x + channel]) - int(b.ScanLine(y)[3 * x + channel]));
    return sum / (double(a.Width()) * a.Height());
}

// The resampler written the plain way, as a yardstick: every pixel works out its own
// weights and sums in long double, rows outer, columns inner, the B-spline weighting a sample
// by the product of its two weights, the other cubics by one weight and then the other.
struct Reference {
    std::vector<uint8_t> bytes;  // rows of blue, green, red, no padding
    int nearHalves = 0;          // channel sums within 1e-9 of a rounding boundary
};

long double kernel(int filter, long double d)
{
    switch (filter) {
    case 2: return d < 1 ? (d - 1) * (d * d - d - 1) : -(d - 1) * (d - 2) * (d - 2);
    case 3: return d < 1 ? (d - 2) * (d + 1) * (d - 1) / 2 : -(d - 3) * (d - 2) * (d - 1) / 6;
    default:
        const long double d2 = d * d, d3 = d * d * d;
        return d < 1 ? 7 * d3 / 6 - 2 * d2 + 8.0L / 9 : -7 * d3 / 18 + 2 * d2 - 10 * d / 3 + 16.0L / 9;
    }
}

void bsplineWeights(long double u, long double* w)
{
    auto cube = [](long double v) { return v * v * v; };
    w[0] = cube(1 - u) / 6;
    w[1] = (cube(2 - u) - 4 * cube(1 - u)) / 6;
    w[2] = (cube(3 - u) - 4 * cube(2 - u) + 6 * cube(1 - u)) / 6;
    w[3] = (cube(4 - u) - 4 * cube(3 - u) + 6 * cube(2 - u) - 4 * cube(1 - u)) / 6;
}

Reference referenceResample(const TBitmap& source, int nw, int nh, int filter)
{
    const int sw = source.Width(), sh = source.Height();
    const long double rx = (long double)sw / nw, ry = (long double)sh / nh;
    Reference out;
    out.bytes.resize(size_t(nw) * nh * 3);
    auto at = [&](int x, int y, int ch) { return source.ScanLine(y)[3 * x + ch]; };
    auto store = [&](int x, int y, int ch, long double v) {
        if (std::fabs(v - std::floor(v) - 0.5L) < 1e-9L)
            ++out.nearHalves;
        out.bytes[(size_t(y) * nw + x) * 3 + ch] = v < 0 ? 0 : v > 255 ? 255 : uint8_t(std::llrintl(v));
    };
    for (int y = 0; y < nh; ++y)
        for (int x = 0; x < nw; ++x) {
            const long double fx = x * rx, fy = y * ry;
            if (filter == 0) {
                const int sx = int(std::min<long long>(std::llrintl(fx), sw - 1));
                const int sy = int(std::min<long long>(std::llrintl(fy), sh - 1));
                for (int ch = 0; ch < 3; ++ch)
                    out.bytes[(size_t(y) * nw + x) * 3 + ch] = at(sx, sy, ch);
            } else if (filter == 1) {
                const int x0 = std::max(0, int(fx)), x1 = x0 + 1 > sw - 1 ? x0 : x0 + 1;
                const int y0 = std::max(0, int(fy)), y1 = y0 + 1 > sh - 1 ? y0 : y0 + 1;
                const long double dx = fx - x0, dy = fy - y0;
                for (int ch = 0; ch < 3; ++ch) {
                    const long double top = at(x0, y0, ch) * (1 - dx) + at(x1, y0, ch) * dx;
                    const long double bottom = at(x0, y1, ch) * (1 - dx) + at(x1, y1, ch) * dx;
                    store(x, y, ch, top * (1 - dy) + bottom * dy);
                }
            } else {
                const int ix = int(fx), iy = int(fy);
                long double bx[4], by[4];
                bsplineWeights(fx - ix, bx);
                bsplineWeights(fy - iy, by);
                long double sum[3] = {0, 0, 0};
                for (int j = 0; j < 4; ++j) {
                    const int row = iy + j - 1;
                    const int sy = row < 0 || row > sh - 1 ? iy : row;
                    for (int i = 0; i < 4; ++i) {
                        const int column = ix + i - 1;
                        const int sx = column < 0 || column > sw - 1 ? ix : column;
                        for (int ch = 0; ch < 3; ++ch) {
                            if (filter == 4) {
                                const long double w = bx[i] * by[j];
                                sum[ch] += at(sx, sy, ch) * w;
                            } else {
                                const long double wx = kernel(filter, std::fabs(fx - column));
                                const long double wy = kernel(filter, std::fabs(fy - row));
                                sum[ch] += at(sx, sy, ch) * wx * wy;
                            }
                        }
                    }
                }
                for (int ch = 0; ch < 3; ++ch)
                    store(x, y, ch, sum[ch]);
            }
        }
    return out;
}

// Pictures that make the sums hard: noise over the whole range (overshoots under the sharp
// cubics), black and white only (many sums land on or next to a half), and a few dark levels.
void fillRandomly(TBitmap& b, int kind, std::mt19937& random)
{
    const int w = b.Width(), h = b.Height();
    std::uniform_int_distribution<int> byte(0, 255), bit(0, 1), level(0, 3);
    for (int y = 0; y < h; ++y)
        for (int i = 0; i < 3 * w; ++i)
            b.ScanLine(y)[i] = uint8_t(kind == 0 ? byte(random) : kind == 1 ? 255 * bit(random) : level(random));
}

}  // namespace

TEST(Resample, EveryFilterGivesTheBytesOfThePlainPerPixelSums)
{
    // Whole-number zooms put the sampling positions on quarters and halves, where sums fall on
    // or within rounding noise of a half; the rest are uneven ratios, shrinking and thin sources.
    const int sizes[][4] = {{37, 23, 74, 46},  {37, 23, 148, 92}, {60, 40, 240, 160}, {37, 23, 111, 69},
                            {37, 23, 50, 31},  {37, 23, 20, 11},  {37, 23, 37, 23},   {1, 1, 4, 4},
                            {2, 2, 4, 4},      {1, 7, 5, 14},     {9, 1, 36, 3},      {3, 2, 2, 3}};
    std::mt19937 random(53);
    for (int kind = 0; kind < 3; ++kind)
        for (const auto& s : sizes) {
            TBitmap source(s[0], s[1], gfx::pf24bit);
            fillRandomly(source, kind, random);
            for (int filter = 0; filter <= 5; ++filter) {
                const Reference expected = referenceResample(source, s[2], s[3], filter);
                const bool evenZoom = s[2] % (2 * s[0]) == 0 && s[3] % (2 * s[1]) == 0;
                if (evenZoom && s[0] > 2 && (filter == 1 || filter == 4)) {
                    EXPECT_GT(expected.nearHalves, 0) << "the case should test rounding at halves: filter " << filter
                                                      << " kind " << kind << " " << s[0] << "x" << s[1] << " -> "
                                                      << s[2] << "x" << s[3];
                }
                TBitmap b;
                b.Assign(source);
                ASSERT_TRUE(ResampleBitmap24(b, s[2], s[3], filter));
                ASSERT_EQ(b.Width(), s[2]);
                ASSERT_EQ(b.Height(), s[3]);
                int wrong = 0;
                for (int y = 0; y < s[3]; ++y)
                    for (int i = 0; i < 3 * s[2]; ++i) {
                        const int want = expected.bytes[size_t(y) * s[2] * 3 + i], got = b.ScanLine(y)[i];
                        if (got != want && ++wrong <= 3)
                            ADD_FAILURE() << "filter " << filter << " kind " << kind << " " << s[0] << "x" << s[1]
                                          << " -> " << s[2] << "x" << s[3] << " at " << i / 3 << "," << y
                                          << " channel " << i % 3 << ": " << got << " instead of " << want;
                    }
                EXPECT_EQ(wrong, 0);
            }
        }
}

TEST(Resample, AFlatColourStaysFlatUnderEveryFilterAndSize)
{
    const TColor colour = 0x4DC80C;
    const int sizes[][4] = {{7, 5, 3, 2}, {7, 5, 20, 13}, {1, 1, 5, 4}, {5, 1, 9, 3}, {3, 9, 1, 1}, {16, 16, 16, 16}};
    for (int filter = 0; filter <= 5; ++filter)
        for (const auto& s : sizes) {
            TBitmap b(s[0], s[1], gfx::pf24bit);
            fill(b, colour);
            ASSERT_TRUE(ResampleBitmap24(b, s[2], s[3], filter));
            ASSERT_EQ(b.Width(), s[2]);
            ASSERT_EQ(b.Height(), s[3]);
            EXPECT_EQ(b.PixelFormat(), gfx::pf24bit);
            for (int y = 0; y < s[3]; ++y)
                for (int x = 0; x < s[2]; ++x)
                    ASSERT_EQ(b.PixelColor(x, y), colour) << "filter " << filter << " " << s[0] << "x" << s[1]
                                                          << " -> " << s[2] << "x" << s[3] << " at " << x << "," << y;
        }
}

TEST(Resample, GridEdgesOfNearestAndBilinear)
{
    // Nearest, 4 x 4 -> 2 x 2: source pixels (0,0), (2,0), (0,2), (2,2).
    TBitmap b(4, 4, gfx::pf24bit);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            set(b, x, y, TColor(x * 40 + y * 7));
    ASSERT_TRUE(ResampleBitmap24(b, 2, 2, 0));
    EXPECT_EQ(b.PixelColor(0, 0), TColor(0));
    EXPECT_EQ(b.PixelColor(1, 0), TColor(80));
    EXPECT_EQ(b.PixelColor(0, 1), TColor(14));
    EXPECT_EQ(b.PixelColor(1, 1), TColor(94));

    // Nearest rounds halves to even: 5 -> 2 samples columns 0 and 2.5 -> 2.
    TBitmap row(5, 1, gfx::pf24bit);
    for (int x = 0; x < 5; ++x)
        set(row, x, 0, TColor(10 * (x + 1)));
    ASSERT_TRUE(ResampleBitmap24(row, 2, 1, 0));
    EXPECT_EQ(row.PixelColor(1, 0), TColor(30));

    // Bilinear, 2 x 2 -> 4 x 4: the last column repeats the last source column, the middle
    // ones are halves rounded to even (10|21 -> 15.5 -> 16, 10|23 -> 16.5 -> 16).
    TBitmap q(2, 2, gfx::pf24bit);
    set(q, 0, 0, 10);
    set(q, 1, 0, 21);
    set(q, 0, 1, 10);
    set(q, 1, 1, 23);
    ASSERT_TRUE(ResampleBitmap24(q, 4, 4, 1));
    EXPECT_EQ(q.PixelColor(3, 0), TColor(21));
    EXPECT_EQ(q.PixelColor(2, 0), TColor(21));
    EXPECT_EQ(q.PixelColor(3, 2), TColor(23));
    EXPECT_EQ(q.PixelColor(3, 3), TColor(23));
    EXPECT_EQ(q.PixelColor(1, 0), TColor(16));
    EXPECT_EQ(q.PixelColor(1, 2), TColor(16));
    EXPECT_EQ(q.PixelColor(0, 1), TColor(10));
}

TEST(Resample, ValuesAreRoundedToEvenAndClampedNotWrapped)
{
    EXPECT_EQ(ClampByte(-0.5L), 0);
    EXPECT_EQ(ClampByte(-1e30L), 0);
    EXPECT_EQ(ClampByte(2.5L), 2);
    EXPECT_EQ(ClampByte(3.5L), 4);
    EXPECT_EQ(ClampByte(2.5L + 1e-15L), 3);  // extended precision: not a half any more
    EXPECT_EQ(ClampByte(254.5L), 254);
    EXPECT_EQ(ClampByte(255.4L), 255);
    EXPECT_EQ(ClampByte(1e30L), 255);

    // A hard black-to-white edge overshoots under the sharpening cubics: the overshoot must
    // saturate at 0 and 255, not wrap to the other end.
    for (int filter : {2, 3, 5}) {
        TBitmap edge(8, 1, gfx::pf24bit);
        for (int x = 0; x < 8; ++x)
            set(edge, x, 0, x < 4 ? gfx::clBlack : gfx::clWhite);
        ASSERT_TRUE(ResampleBitmap24(edge, 64, 1, filter));
        for (int x = 0; x < 64; ++x) {
            const int v = int(edge.PixelColor(x, 0) & 0xFF);
            if (x < 24) {
                EXPECT_LE(v, 8) << "filter " << filter << " x " << x;
            } else if (x >= 32) {
                EXPECT_GE(v, 200) << "filter " << filter << " x " << x;
            }
        }
    }
}

TEST(Resample, OtherFormatsAndEmptySourcesStayAsTheyAre)
{
    for (gfx::TPixelFormat f : {gfx::pf1bit, gfx::pf8bit, gfx::pf16bit, gfx::pf32bit}) {
        TBitmap b(6, 4, f);
        b.ScanLine(1)[0] = 0x5A;
        const QImage before = b.ToImage();
        EXPECT_FALSE(ResampleBitmap24(b, 3, 2, 1));
        EXPECT_EQ(b.PixelFormat(), f);
        EXPECT_EQ(b.ToImage(), before);
    }
    for (auto side : {std::pair{0, 5}, std::pair{5, 0}, std::pair{0, 0}})
        for (int filter = 0; filter <= 5; ++filter) {
            TBitmap b(side.first, side.second, gfx::pf24bit);
            EXPECT_FALSE(ResampleBitmap24(b, 4, 4, filter));
            EXPECT_EQ(b.Width(), side.first);
            EXPECT_EQ(b.Height(), side.second);
        }
    for (auto side : {std::pair{0, 3}, std::pair{3, 0}, std::pair{-2, 3}})
        for (int filter = 0; filter <= 5; ++filter) {
            TBitmap b(3, 3, gfx::pf24bit);
            fill(b, gfx::clRed);
            EXPECT_TRUE(ResampleBitmap24(b, side.first, side.second, filter));
            EXPECT_TRUE(b.Empty());
            EXPECT_EQ(b.PixelFormat(), gfx::pf24bit);
        }
}

// Cases on pictures ImageMagick draws; skipped without it.
class ResampleWithMagick : public testing::Test {
protected:
    void SetUp() override
    {
        if (!haveProgram("convert"))
            GTEST_SKIP() << "ImageMagick is needed";
    }
    TempDir dir;
};

TEST_F(ResampleWithMagick, PhotosStayCloseToImageMagicksResize)
{
    TBitmap photo;
    ASSERT_TRUE(magickPicture(dir, "photo.png", 240, 160, photo));
    // The two grids differ by up to half a pixel (ours starts at the corner, ImageMagick's at
    // pixel centres), and ImageMagick widens its filter when shrinking: so "close", with a
    // limit per direction (measured: about 1.9, 1.0 and 2.8). Swapped channels land far above.
    const struct {
        int filter;
        const char* magick;
    } pairs[] = {{1, "Triangle"}, {4, "Spline"}, {5, "Mitchell"}};
    const struct {
        int w, h;
        double limit;
    } targets[] = {{120, 80, 3.5}, {480, 320, 2.0}, {90, 60, 4.5}};
    for (const auto& p : pairs)
        for (const auto& t : targets) {
            TBitmap ours;
            ours.Assign(photo);
            ASSERT_TRUE(ResampleBitmap24(ours, t.w, t.h, p.filter));
            const auto theirs = magickResize(dir, photo, p.magick, t.w, t.h);
            ASSERT_EQ(theirs->Width(), t.w);
            for (int channel = 0; channel < 3; ++channel)
                EXPECT_LT(meanDifference(ours, *theirs, channel), t.limit)
                    << "filter " << p.filter << " to " << t.w << "x" << t.h << " channel " << channel;
        }

    // The same comparison fails for a picture with red and blue swapped.
    TBitmap swapped;
    swapped.Assign(photo);
    for (int y = 0; y < swapped.Height(); ++y)
        for (int x = 0; x < swapped.Width(); ++x)
            std::swap(swapped.ScanLine(y)[3 * x], swapped.ScanLine(y)[3 * x + 2]);
    ASSERT_TRUE(ResampleBitmap24(swapped, 120, 80, 1));
    EXPECT_GT(meanDifference(swapped, *magickResize(dir, photo, "Triangle", 120, 80), 2), 3.5 * 4);
}

TEST_F(ResampleWithMagick, EnlargementsByEveryFilterForALook)
{
    TBitmap picture;
    ASSERT_TRUE(magickPicture(dir, "look.png", 48, 32, picture));
    const int gap = 8;
    QImage sheet(gap + 6 * (4 * 48 + gap), 4 * 32 + 2 * gap, QImage::Format_RGB32);
    sheet.fill(QColor(64, 64, 64));
    QPainter painter(&sheet);
    for (int filter = 0; filter <= 5; ++filter) {
        TBitmap b;
        b.Assign(picture);
        ASSERT_TRUE(ResampleBitmap24(b, 4 * 48, 4 * 32, filter));
        painter.drawImage(gap + filter * (4 * 48 + gap), gap, b.ToImage());
    }
    painter.end();
    EXPECT_TRUE(sheet.save(picturefixtures::lookDir() + "/resample.png"));
}
