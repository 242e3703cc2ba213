// The Photo-CD reader on image packs ImageMagick writes from a picture made here: size,
// orientation and brightness against that picture (ImageMagick's own reading of its packs is
// far off in colour, so it is no reference); rotations patched into the pack, an overview
// file put together from the same data, short and unsigned files.
#include "pictures/formats/PhotoCdGraphic.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace testsupport;

namespace {

#define REQUIRE_MAGICK() \
    if (!haveProgram("convert")) \
    GTEST_SKIP() << "ImageMagick is needed"

std::unique_ptr<TPCDGraphic> load(const std::string& bytes)
{
    auto g = std::make_unique<TPCDGraphic>();
    rtl::TMemoryStream m(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    g->LoadFromStream(m);
    return g;
}

double luma(gfx::TColor c)
{
    return 0.2125 * gfx::GetRValue(c) + 0.7154 * gfx::GetGValue(c) + 0.0721 * gfx::GetBValue(c);
}

struct Pack {
    std::string bytes;
    // The source picture's pixels, RGB, 768 x 512.
    std::string rgb;
};

// A landscape picture: a grey ramp from white at the top to black at the bottom, a red block
// at the top left and a blue one at the bottom right.
const Pack& pack()
{
    static Pack p = [] {
        TempDir dir;
        const std::vector<std::string> draw{"-size", "768x512", "gradient:white-black", "-fill", "red", "-draw",
                                            "rectangle 0,0 99,49", "-fill", "blue", "-draw",
                                            "rectangle 600,400 767,511"};
        std::vector<std::string> args = draw;
        args.push_back(dir.file("source.ppm"));
        runCommand("convert", args);
        runCommand("convert", {dir.file("source.ppm"), dir.file("source.pcd")});
        Pack made;
        made.bytes = readFile(dir.file("source.pcd"));
        made.rgb = runCommand("convert", {dir.file("source.ppm"), "-depth", "8", "rgb:-"}).out;
        return made;
    }();
    return p;
}

TEST(PhotoCdReader, ReadsTheBaseResolution)
{
    REQUIRE_MAGICK();
    const Pack& p = pack();
    ASSERT_EQ(p.rgb.size(), size_t(768 * 512 * 3));
    auto g = load(p.bytes);
    ASSERT_EQ(g->Width(), 768);
    ASSERT_EQ(g->Height(), 512);
    EXPECT_EQ(g->PixelFormat(), gfx::pf24bit);
    // Brightness follows the picture's all over it (the grey ramp and the blocks): close, and
    // tied to it almost linearly (the Photo-YCC scale leaves an offset of its own).
    double worst = 0, n = 0, sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
    for (int y = 0; y < 512; y += 3)
        for (int x = 0; x < 768; x += 3) {
            const size_t i = (size_t(y) * 768 + size_t(x)) * 3;
            const double theirs = 0.2125 * uint8_t(p.rgb[i]) + 0.7154 * uint8_t(p.rgb[i + 1]) +
                                  0.0721 * uint8_t(p.rgb[i + 2]);
            const double ours = luma(g->PixelColor(x, y));
            worst = std::max(worst, std::fabs(theirs - ours));
            n += 1, sa += theirs, sb += ours, saa += theirs * theirs, sbb += ours * ours, sab += theirs * ours;
        }
    const double correlation = (n * sab - sa * sb) / std::sqrt((n * saa - sa * sa) * (n * sbb - sb * sb));
    EXPECT_GT(correlation, 0.99);
    EXPECT_LT(worst, 48.0);
    // Chroma loosely: the blocks keep their hue.
    const gfx::TColor red = g->PixelColor(50, 25), blue = g->PixelColor(700, 480), grey = g->PixelColor(400, 256);
    EXPECT_GT(gfx::GetRValue(red), gfx::GetBValue(red) + 80);
    EXPECT_GT(gfx::GetRValue(red), gfx::GetGValue(red) + 80);
    EXPECT_GT(gfx::GetBValue(blue), gfx::GetRValue(blue) + 60);
    EXPECT_NEAR(gfx::GetRValue(grey), gfx::GetBValue(grey), 24);
}

TEST(PhotoCdReader, RotationsAndOverviewFiles)
{
    REQUIRE_MAGICK();
    const Pack& p = pack();
    auto landscape = load(p.bytes);
    for (const int rotate : {1, 3}) {
        std::string turned = p.bytes;
        turned[0x0E02] = char((uint8_t(turned[0x0E02]) & ~3) | rotate);
        auto g = load(turned);
        ASSERT_EQ(g->Width(), 512) << rotate;
        ASSERT_EQ(g->Height(), 768) << rotate;
        // Rotation 1: the first landscape row is the left column, its first pixel at the
        // bottom; 3: the right column, first pixel at the top.
        for (const auto& [x, y] : {std::pair{0, 0}, std::pair{5, 20}, std::pair{700, 480}, std::pair{767, 511}}) {
            const gfx::TColor want = landscape->PixelColor(x, y);
            const gfx::TColor got = rotate == 1 ? g->PixelColor(y, 767 - x) : g->PixelColor(511 - y, x);
            EXPECT_EQ(got, want) << rotate << " " << x << "," << y;
        }
    }
    // An overview file holds its picture from sector 5.
    std::string overview = "PCD_OPA" + std::string(5 * 2048 - 7, '\0') + p.bytes.substr(96 * 2048);
    overview[0x0E02] = 0;
    auto fromOverview = load(overview);
    ASSERT_EQ(fromOverview->Width(), 768);
    for (const auto& [x, y] : {std::pair{0, 0}, std::pair{400, 300}, std::pair{767, 511}})
        EXPECT_EQ(fromOverview->PixelColor(x, y), landscape->PixelColor(x, y));
}

TEST(PhotoCdReader, ShortAndUnsignedFiles)
{
    REQUIRE_MAGICK();
    const Pack& p = pack();
    // Shorter than the sectors of the picture: an error, not a picture read past the file.
    for (const size_t size : {size_t(6145), size_t(96 * 2048 + 100), p.bytes.size() - 2048 * 95})
        EXPECT_THROW(load(p.bytes.substr(0, size)), gfx::EInvalidGraphic) << size;
    try {
        load(p.bytes.substr(0, 100000));
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "Stream read error in PCD file.");
    }
    // Without its signatures a pack loads nothing, silently.
    std::string unsigned_ = p.bytes;
    unsigned_[2048] = 'X';
    EXPECT_TRUE(load(unsigned_)->Empty());
    EXPECT_TRUE(load(std::string(100, 'P'))->Empty());
    EXPECT_FALSE(TPCDGraphic().CanLoad(*std::make_unique<rtl::TMemoryStream>(
        std::vector<uint8_t>(unsigned_.begin(), unsigned_.end()))));
}

}  // namespace
