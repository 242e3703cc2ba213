#include "pictures/PictureFixtures.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>

using testsupport::runCommand;

namespace picturefixtures {

bool haveTools()
{
    return testsupport::haveProgram("icotool") && testsupport::haveProgram("convert");
}

std::string drawPicture(const testsupport::TempDir& dir, const std::string& name, int w, int h, int seed,
                        int colors)
{
    const std::string png = dir.file(name);
    const std::string size = std::to_string(w) + "x" + std::to_string(h);
    const std::string body = seed % 2 ? "gradient:orange-navy" : "gradient:lime-purple";
    const std::string inset = std::to_string(w / 8) + "," + std::to_string(h / 8) + " " +
                              std::to_string(w - 1 - w / 8) + "," + std::to_string(h - 1 - h / 8);
    const std::string box = std::to_string(w / 4) + "," + std::to_string(h / 4 + seed % 3) + " " +
                            std::to_string(w / 2) + "," + std::to_string(h / 2);
    // A rounded body on transparent black, so the corners are see-through; alpha is all or
    // nothing, as an icon's mask is.
    std::vector<std::string> args{"-size", size, body, "(", "-size", size, "xc:none", "-fill", "white", "-draw",
                                  "roundrectangle " + inset + " 4,4", ")", "-compose", "CopyOpacity", "-composite",
                                  "-compose", "Over", "-fill", seed % 2 ? "cyan" : "red", "-draw", "rectangle " + box,
                                  "-channel", "A", "-threshold", "50%", "+channel", "-background", "black",
                                  "-alpha", "background"};
    if (colors == 2)
        args.insert(args.end(), {"-channel", "RGB", "-colorspace", "Gray", "-threshold", "50%", "+channel", "-type",
                                 "PaletteAlpha"});
    else if (colors)
        args.insert(args.end(), {"-colors", std::to_string(colors - 1), "-type", "PaletteAlpha"});
    args.push_back((colors ? "PNG8:" : "PNG32:") + png);
    const auto r = runCommand("convert", args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return png;
}

std::string makeIcon(const testsupport::TempDir& dir, const std::string& name, const std::vector<std::string>& pngs,
                     int bits, const std::vector<std::string>& raw)
{
    const std::string ico = dir.file(name);
    std::vector<std::string> args{"-c", "-o", ico};
    if (bits)
        args.insert(args.end(), {"-b", std::to_string(bits)});
    args.insert(args.end(), pngs.begin(), pngs.end());
    for (const std::string& png : raw)
        args.push_back("--raw=" + png);
    const auto r = runCommand("icotool", args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return ico;
}

QImage extract(const testsupport::TempDir& dir, const std::string& icon, int index)
{
    const std::string png = dir.file("extracted-" + std::to_string(index) + ".png");
    const auto r = runCommand("icotool", {"-x", "-i", std::to_string(index), "-o", png, icon});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return QImage(QString::fromStdString(png)).convertToFormat(QImage::Format_ARGB32);
}

QImage flattenOnWhite(const QImage& image)
{
    QImage flat = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < flat.height(); ++y)
        for (int x = 0; x < flat.width(); ++x)
            if (qAlpha(flat.pixel(x, y)) == 0)
                flat.setPixel(x, y, qRgb(255, 255, 255));
    return flat;
}

std::string firstDifference(const gfx::TBitmap& bitmap, const QImage& image)
{
    if (bitmap.Width() != image.width() || bitmap.Height() != image.height())
        return "size " + std::to_string(bitmap.Width()) + "x" + std::to_string(bitmap.Height()) + " against " +
               std::to_string(image.width()) + "x" + std::to_string(image.height());
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            const gfx::TColor want = gfx::TColor(qRed(p) | qGreen(p) << 8 | qBlue(p) << 16);
            const gfx::TColor got = bitmap.PixelColor(x, y);
            if (got != want) {
                char text[96];
                std::snprintf(text, sizeof text, "pixel (%d, %d): %06X against %06X", x, y, unsigned(got),
                              unsigned(want));
                return text;
            }
        }
    return {};
}

QString lookDir()
{
    const QString dir = QCoreApplication::applicationDirPath() + "/../pictures-look";
    QDir().mkpath(dir);
    return dir;
}

}  // namespace picturefixtures
