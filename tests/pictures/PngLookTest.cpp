// Writes build/pictures-look/png.png for a person to look at: each PNG kind drawn by
// TPNGObject over a checkerboard beside ImageMagick's composition of the same file over the
// same board, then a row of our PNG, TIFF and Targa files as ImageMagick reads them. Every
// pair must look the same, with the board showing through transparent parts.
#include "PictureTestSupport.h"
#include "pictures/Bmp2Tiff.h"
#include "pictures/libTGA.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QPainter>

using namespace testsupport;
using namespace pngtest;

namespace {

constexpr int W = 48, H = 32, Zoom = 3;

std::unique_ptr<gfx::TBitmap> checkerboard()
{
    auto b = std::make_unique<gfx::TBitmap>(W, H, gfx::pf24bit);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            std::memset(b->ScanLine(y) + 3 * x, ((x / 8 + y / 8) & 1) ? 0xC8 : 0x78, 3);
    return b;
}

// ImageMagick's reading of a file, composed over `board` when given.
QImage magickImage(const std::string& file, const std::string& board = {})
{
    std::vector<std::string> args = board.empty() ? std::vector<std::string>{file, "-auto-orient"}
                                                  : std::vector<std::string>{board, file, "-composite"};
    args.insert(args.end(), {"-depth", "8", "rgb:-"});
    auto r = runCommand("convert", args);
    if (r.exitCode != 0 || r.out.size() != size_t(W) * H * 3)
        return {};
    return QImage(reinterpret_cast<const uchar*>(r.out.data()), W, H, W * 3, QImage::Format_RGB888).copy();
}

int worstDifference(const QImage& a, const QImage& b)
{
    int worst = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                              std::abs(qBlue(p) - qBlue(q))});
        }
    return worst;
}

}  // namespace

TEST(PngLook, KindsOverACheckerboardBesideImageMagick)
{
    TempDir dir;
    const std::string size = std::to_string(W) + "x" + std::to_string(H);
    const std::string alpha = "\\( -size " + size + " radial-gradient:white-black \\) -alpha off -compose copyopacity -composite";
    const std::string shapes = "-size " + size + " gradient:orange-purple -fill lime -draw 'circle 14,16 14,6'";
    const std::vector<std::string> kinds{
        "convert " + shapes + " PNG24:$OUT",
        "convert " + shapes + " " + alpha + " PNG32:$OUT",
        "convert " + shapes + " " + alpha + " -interlace PNG PNG64:$OUT",
        "convert " + shapes + " " + alpha + " PNG8:$OUT",
        "convert -size " + size + " gradient:black-white -colorspace gray " + alpha +
            " -define png:bit-depth=8 -define png:color-type=4 $OUT",
        "convert " + shapes + " -depth 8 ppm:- | pnmtopng -transparent '#00ff00' > $OUT",
        "convert -size " + size + " gradient:black-white -colorspace gray -depth 2 -define png:bit-depth=2 "
        "-define png:color-type=0 ppm:- | ppmtopgm | pnmtopng -transparent '#555555' > $OUT",
    };
    const auto board = checkerboard();
    const std::string boardFile = dir.file("board.bmp");
    board->SaveToFile(boardFile);

    QImage sheet((2 * W + 12) * Zoom, int(kinds.size() + 1) * (H + 6) * Zoom, QImage::Format_RGB32);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    auto put = [&](const QImage& img, int column, int row) {
        painter.drawImage(QRect(column * (W + 6) * Zoom, row * (H + 6) * Zoom, W * Zoom, H * Zoom), img);
    };
    for (size_t i = 0; i < kinds.size(); ++i) {
        SCOPED_TRACE(kinds[i]);
        const std::string file = dir.file("k" + std::to_string(i) + ".png");
        ASSERT_EQ(runCommand("sh", {"-c", "OUT='" + file + "'; " + kinds[i]}).exitCode, 0);
        png::TPNGObject p;
        p.LoadFromFile(file);
        gfx::TBitmap ours;
        ours.Assign(*board);
        ours.Canvas().StretchDraw(gfx::Rect(0, 0, W, H), p);
        const QImage mine = ours.ToImage(), theirs = magickImage(file, boardFile);
        ASSERT_FALSE(theirs.isNull());
        EXPECT_LE(worstDifference(mine, theirs), 1);
        put(mine, 0, int(i));
        put(theirs, 1, int(i));
    }
    // Our own files as ImageMagick reads them: PNG, TIFF, Targa (5 bits a channel).
    png::TPNGObject first;
    first.LoadFromFile(dir.file("k0.png"));
    gfx::TBitmap picture;
    first.AssignTo(picture);
    const std::string ourPng = dir.file("ours.png"), ourTif = dir.file("ours.tif"), ourTga = dir.file("ours.tga");
    first.SaveToFile(ourPng);
    SaveBitmapAsTiffFile(ourTif, picture);
    SaveGraphicAsTga(picture, ourTga);
    const QImage original = picture.ToImage();
    const int row = int(kinds.size());
    int column = 0;
    for (const std::string& file : {ourPng, ourTif, ourTga}) {
        const QImage read = magickImage(file);
        ASSERT_FALSE(read.isNull()) << file;
        EXPECT_LE(worstDifference(read, original), file == ourTga ? 8 : 0) << file;
        painter.drawImage(QRect(column * (W + 6) * Zoom * 2 / 3, row * (H + 6) * Zoom, W * Zoom * 2 / 3, H * Zoom * 2 / 3), read);
        ++column;
    }
    painter.end();
    const QString out = QCoreApplication::applicationDirPath() + "/../pictures-look/";
    QDir().mkpath(out);
    EXPECT_TRUE(sheet.save(out + "png.png"));
}
