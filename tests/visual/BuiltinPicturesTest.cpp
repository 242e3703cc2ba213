// The built-in pictures as the drawing code meets them: loaded through the resource system,
// at the sizes and depths it expects, on the black key it makes transparent (the bottom-left
// pixel, and the black that rotation fills in), and the fortune icon's two flood-fill areas.
#include "resources/BuiltinResources.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <utility>
#include <vector>

using namespace testsupport;

namespace {

enum class Use {
    Keyed,    // drawn transparent and/or rotated: black background, no enclosed black
    Glow,     // keyed or added on black: fades to exact black inside the border
    Scene,    // drawn opaque
};

struct Picture {
    const char* file;
    const char* format;  // as ImageMagick names it
    int width;
    int height;
    Use use;
};

const Picture kPictures[] = {
    {"B01.bmp", "BMP3", 16, 16, Use::Keyed}, {"B02.bmp", "BMP3", 16, 16, Use::Keyed},
    {"B03.bmp", "BMP3", 16, 16, Use::Keyed}, {"B04.bmp", "BMP3", 14, 17, Use::Keyed},
    {"B05.bmp", "BMP3", 18, 16, Use::Keyed}, {"G01.gif", "GIF", 29, 38, Use::Keyed},
    {"G02.gif", "GIF", 80, 29, Use::Keyed},  {"G03.gif", "GIF", 108, 60, Use::Keyed},
    {"J01.jpg", "JPEG", 200, 200, Use::Glow}, {"J02.jpg", "JPEG", 63, 22, Use::Scene},
    {"D01.jpg", "JPEG", 32, 32, Use::Glow},  {"D02.jpg", "JPEG", 32, 32, Use::Glow},
    {"D03.jpg", "JPEG", 32, 32, Use::Glow},  {"D04.jpg", "JPEG", 32, 32, Use::Glow},
    {"D05.jpg", "JPEG", 32, 32, Use::Glow},  {"D06.jpg", "JPEG", 93, 92, Use::Glow},
};

QString resourcePath(const Picture& p)
{
    return QStringLiteral(":/pictures/") + QString::fromLatin1(p.file);
}

QImage load(const Picture& p)
{
    initBuiltinResources();
    return QImage(resourcePath(p)).convertToFormat(QImage::Format_RGB32);
}

bool isBlack(const QImage& img, int x, int y)
{
    return (img.pixel(x, y) & 0xFFFFFF) == 0;
}

using Cells = std::set<std::pair<int, int>>;

// The black area containing (x, y), following 8 neighbours: stricter than the 4-neighbour fill
// of the drawing code, so an area sealed here is sealed there.
Cells blackArea(const QImage& img, int x, int y)
{
    Cells area;
    if (!isBlack(img, x, y))
        return area;
    std::vector<std::pair<int, int>> todo{{x, y}};
    area.insert({x, y});
    while (!todo.empty()) {
        auto [cx, cy] = todo.back();
        todo.pop_back();
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                int nx = cx + dx, ny = cy + dy;
                if (nx < 0 || ny < 0 || nx >= img.width() || ny >= img.height()
                    || !isBlack(img, nx, ny) || !area.insert({nx, ny}).second)
                    continue;
                todo.push_back({nx, ny});
            }
    }
    return area;
}

bool touchesBorder(const QImage& img, const Cells& area)
{
    for (auto [x, y] : area)
        if (x == 0 || y == 0 || x == img.width() - 1 || y == img.height() - 1)
            return true;
    return false;
}

// The stored pictures in the source tree.
std::string picturesFolder()
{
    return testsupport::sourceDir() + "/resources/pictures/";
}

int maxChannel(QRgb c)
{
    return std::max({qRed(c), qGreen(c), qBlue(c)});
}

}  // namespace

TEST(BuiltinPictures, EveryPictureLoadsAtItsSize)
{
    for (const auto& p : kPictures) {
        QImage img = load(p);
        ASSERT_FALSE(img.isNull()) << p.file;
        EXPECT_EQ(img.width(), p.width) << p.file;
        EXPECT_EQ(img.height(), p.height) << p.file;
    }
}

TEST(BuiltinPictures, BitmapsAreUncompressed24Bit)
{
    initBuiltinResources();
    for (const auto& p : kPictures) {
        if (std::string(p.format) != "BMP3")
            continue;
        QFile f(resourcePath(p));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << p.file;
        QByteArray b = f.readAll();
        ASSERT_GE(b.size(), 54) << p.file;
        auto u16 = [&](int at) { return quint8(b[at]) | quint8(b[at + 1]) << 8; };
        EXPECT_EQ(b.left(2), QByteArray("BM")) << p.file;
        EXPECT_EQ(u16(14), 40) << p.file;  // BITMAPINFOHEADER
        EXPECT_EQ(u16(28), 24) << p.file;  // bits per pixel
        EXPECT_EQ(u16(30), 0) << p.file;   // no compression
    }
}

// Transparent drawing keys on the bottom-left pixel and rotation fills the corners black, so
// the background must be black there; black enclosed by a figure would show as a hole.
TEST(BuiltinPictures, KeyedFiguresStandOnBlackWithoutHoles)
{
    for (const auto& p : kPictures) {
        if (p.use == Use::Scene)
            continue;
        QImage img = load(p);
        const int w = img.width(), h = img.height();
        EXPECT_TRUE(isBlack(img, 0, h - 1)) << p.file;
        EXPECT_TRUE(isBlack(img, 0, 0) && isBlack(img, w - 1, 0) && isBlack(img, w - 1, h - 1))
            << p.file;
        int figure = 0, holes = 0;
        Cells seen;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                if (!isBlack(img, x, y)) {
                    ++figure;
                } else if (!seen.count({x, y})) {
                    Cells area = blackArea(img, x, y);
                    seen.insert(area.begin(), area.end());
                    if (!touchesBorder(img, area))
                        ++holes;
                }
            }
        EXPECT_GT(figure, w * h / 8) << p.file;
        if (std::string(p.file) != "B05.bmp") {  // the fortune icon's holes are meant
            EXPECT_EQ(holes, 0) << p.file;
        }
    }
}

TEST(BuiltinPictures, FortuneIconEnclosesTwoSeparateBlackAreas)
{
    const Picture& icon = kPictures[4];
    ASSERT_STREQ(icon.file, "B05.bmp");
    QImage img = load(icon);
    Cells star = blackArea(img, 9, 5);
    Cells heart = blackArea(img, 3, 12);
    ASSERT_FALSE(star.empty());
    ASSERT_FALSE(heart.empty());
    EXPECT_FALSE(touchesBorder(img, star));
    EXPECT_FALSE(touchesBorder(img, heart));
    EXPECT_EQ(star.count({3, 12}), 0u);
    EXPECT_GE(star.size(), 20u);  // big enough to show the lucky colour
    EXPECT_GE(heart.size(), 3u);
}

// The sprites are keyed on black by the display layer and the flare is added onto the
// screen: the glow ends in exact black, even after JPEG compression.
TEST(BuiltinPictures, GlowsFadeToExactBlackAndShine)
{
    for (const auto& p : kPictures) {
        if (p.use != Use::Glow)
            continue;
        QImage img = load(p);
        const int w = img.width(), h = img.height();
        int border = 0, brightest = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                if (std::min({x, y, w - 1 - x, h - 1 - y}) < 2 && !isBlack(img, x, y))
                    ++border;
                brightest = std::max(brightest, maxChannel(img.pixel(x, y)));
            }
        EXPECT_EQ(border, 0) << p.file;
        EXPECT_GE(brightest, 220) << p.file;
    }
}

TEST(BuiltinPictures, ImageMagickReadsTheStoredFiles)
{
    if (!haveProgram("identify") || !haveProgram("convert"))
        GTEST_SKIP() << "ImageMagick identify is not installed";
    const std::string folder = picturesFolder();
    initBuiltinResources();
    for (const auto& p : kPictures) {
        const std::string path = folder + p.file;
        auto r = runCommand("identify", {"-format", "%m %w %h %[channels]", path});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out.substr(0, r.out.find(' ', r.out.find(' ', r.out.find(' ') + 1) + 1)),
                  std::string(p.format) + " " + std::to_string(p.width) + " "
                      + std::to_string(p.height))
            << p.file;
        EXPECT_EQ(r.out.find('a'), std::string::npos) << p.file << ": no alpha channel";
        // Both decoders see the same colours (the JPEG pictures are RGB JPEGs, see jpeg.py).
        auto rgb = runCommand("convert", {path, "-depth", "8", "rgb:-"});
        ASSERT_EQ(rgb.exitCode, 0) << rgb.err;
        ASSERT_EQ(rgb.out.size(), size_t(p.width) * p.height * 3) << p.file;
        QImage img = load(p);
        int worst = 0;
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x) {
                const auto* m = reinterpret_cast<const unsigned char*>(rgb.out.data())
                                + (size_t(y) * p.width + x) * 3;
                QRgb q = img.pixel(x, y);
                worst = std::max({worst, std::abs(qRed(q) - m[0]), std::abs(qGreen(q) - m[1]),
                                  std::abs(qBlue(q) - m[2])});
            }
        EXPECT_LE(worst, 2) << p.file;
        // The resource is the stored file, byte for byte.
        QFile f(resourcePath(p));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_TRUE(f.readAll().toStdString() == readFile(path)) << p.file;
    }
}
