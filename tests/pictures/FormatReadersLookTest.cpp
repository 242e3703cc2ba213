// What a person sees of Photoshop, Paint Shop Pro and portable map files through the picture
// front end (and of a Photo-CD pack through its reader): a sheet with each file's picture
// beside the picture it was made from, written to pictures-look/psd-psp-pcd-pnm.png.
#include "pictures/PictureFixtures.h"
#include "pictures/PictureFormats.h"
#include "pictures/formats/PhotoCdGraphic.h"
#include "pictures/libImg.h"
#include "platform/forms/Image.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <QWidget>

#include <cstdlib>

using namespace testsupport;

namespace {

struct Row {
    QString label;
    QImage ours, reference;
};

// The largest channel difference at a few points spread over both pictures (scaled alike).
int differenceAtPoints(const QImage& a, const QImage& b)
{
    int most = 0;
    for (int i = 1; i < 8; ++i)
        for (int j = 1; j < 8; ++j) {
            const QRgb p = a.pixel(a.width() * i / 8, a.height() * j / 8), q = b.pixel(b.width() * i / 8, b.height() * j / 8);
            most = std::max({most, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
        }
    return most;
}

QImage throughFrontEnd(const std::string& path)
{
    QWidget parent;
    parent.resize(244, 164);
    forms::TImage image(&parent);
    LoadPictureFitParent(image, true, true, false, path);
    auto* bitmap = dynamic_cast<gfx::TBitmap*>(image.Picture().Graphic());
    return bitmap ? bitmap->ToImage().convertToFormat(QImage::Format_RGB32) : QImage();
}

TEST(FormatReadersLook, SheetOfPhotoshopPaintShopPhotoCdAndMaps)
{
    if (!haveProgram("convert") || !haveProgram("pnmdepth"))
        GTEST_SKIP() << "ImageMagick and netpbm are needed";
    TempDir dir;
    const std::string src = dir.file("source.png");
    runCommand("convert", {"-size", "240x160", "gradient:#ffd000-#0030ff", "-fill", "#e00000", "-draw",
                           "circle 60,60 60,20", "-fill", "#00a000", "-draw", "rectangle 130,90 220,150", src});
    const QImage source(QString::fromStdString(src));
    RegisterPictureFormats();
    std::vector<Row> rows;
    auto add = [&](const QString& label, const std::string& file, const QImage& reference, int tolerance) {
        const QImage ours = throughFrontEnd(file);
        ASSERT_FALSE(ours.isNull()) << label.toStdString();
        EXPECT_LE(differenceAtPoints(ours, reference), tolerance) << label.toStdString();
        rows.push_back({label, ours, reference});
    };
    runCommand("convert", {src, "-colorspace", "CMYK", "-compress", "RLE", dir.file("cmyk.psd")});
    add("Photoshop CMYK (.psd)", dir.file("cmyk.psd"), source, 12);
    runCommand("convert", {src, "-type", "TrueColor", dir.file("rgb.psd")});
    add("Photoshop RGB (.psd)", dir.file("rgb.psd"), source, 4);
    runCommand("convert", {src, dir.file("rgb.ppm")});
    add("Pixel map (.ppm)", dir.file("rgb.ppm"), source, 4);
    // Maximum 15: mid greys, not black.
    const auto gray = runCommand("convert", {src, "-colorspace", "gray", "pgm:-"});
    writeFile(dir.file("gray15.ppm"), runCommand("pnmdepth", {"15"}, gray.out).out);
    runCommand("convert", {src, "-colorspace", "gray", dir.file("gray.png")});
    add("Grey map, maximum 15 (.ppm)", dir.file("gray15.ppm"), QImage(QString::fromStdString(dir.file("gray.png"))), 12);
    // Paint Shop Pro: the script's picture is the reference.
    runCommand(python3(), {sourceDir() + "/tests/pictures/psp_files.py", dir.path()});
    const std::string rgb = readFile(dir.file("rgb_v4_c2.rgb"));
    QImage pspReference(13, 5, QImage::Format_RGB32);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 13; ++x) {
            const size_t i = size_t(y * 13 + x) * 3;
            pspReference.setPixel(x, y, qRgb(uint8_t(rgb[i]), uint8_t(rgb[i + 1]), uint8_t(rgb[i + 2])));
        }
    add("Paint Shop Pro (.psp)", dir.file("rgb_v4_c2.psp"), pspReference, 0);
    UnregisterPictureFormats();
    // Photo-CD is not among the front end's files: its reader directly.
    runCommand("convert", {src, "-resize", "768x512!", dir.file("pack.ppm")});
    runCommand("convert", {dir.file("pack.ppm"), dir.file("pack.pcd")});
    TPCDGraphic pcd;
    pcd.LoadFromFile(dir.file("pack.pcd"));
    rows.push_back({"Photo-CD (.pcd)", pcd.ToImage(), source});

    // Each row: ours, then the reference, both scaled to 240 x 160.
    QImage sheet(2 * 250 + 200, int(rows.size()) * 170 + 10, QImage::Format_RGB32);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    for (size_t i = 0; i < rows.size(); ++i) {
        const int top = 10 + int(i) * 170;
        painter.drawText(QRect(5, top, 190, 160), Qt::AlignVCenter | Qt::TextWordWrap, rows[i].label);
        painter.drawImage(QRect(200, top, 240, 160), rows[i].ours);
        painter.drawImage(QRect(450, top, 240, 160), rows[i].reference);
    }
    painter.end();
    EXPECT_TRUE(sheet.save(picturefixtures::lookDir() + "/psd-psp-pcd-pnm.png"));
}

}  // namespace
