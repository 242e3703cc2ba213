// Writes build/pictures-look/tiff-tga.png for a person to look at: each TIFF and Targa kind as
// we read it beside libtiff's (tiff2rgba) or netpbm's (tgatoppm) reading, and
// tiff-tga-panel-*.png, the front end's fitted view of a tiled TIFF and a bottom-up Targa in
// a 300 x 300 panel. Every pair must look the same: upright, same colours, tiles in place.
#include "PictureTestSupport.h"
#include "pictures/PictureFormats.h"
#include "pictures/formats/TargaGraphic.h"
#include "pictures/formats/TiffGraphic.h"
#include "pictures/libImg.h"
#include "platform/forms/Image.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QWidget>

using namespace testsupport;
using namespace pngtest;

namespace {

constexpr int W = 150, H = 100;

QImage referenceImage(const std::string& file)
{
    const bool tga = file.size() > 4 && file.substr(file.size() - 4) == ".tga";
    const std::string via = file + (tga ? ".ppm" : ".rgba.tif");
    const auto made = tga ? runCommand("sh", {"-c", "tgatoppm '" + file + "' > '" + via + "'"})
                          : runCommand("tiff2rgba", {file, via});
    if (made.exitCode != 0)
        return {};
    const auto r = runCommand("convert", {via, "-depth", "8", "rgb:-"});
    if (r.exitCode != 0 || r.out.size() != size_t(W) * H * 3)
        return {};
    return QImage(reinterpret_cast<const uchar*>(r.out.data()), W, H, W * 3, QImage::Format_RGB888).copy();
}

}  // namespace

TEST(TiffTgaLook, KindsBesideOtherReadersAndTheFittedPanel)
{
    TempDir dir;
    const std::string base = dir.file("base.tif");
    ASSERT_EQ(runCommand("convert", {"rose:", "-resize", "150x100!", "-compress", "none", base}).exitCode, 0);
    const std::vector<std::string> kinds{
        "convert $IN -compress RLE $OUT.tif",
        "tiffcp -c jpeg:90 -r 16 $IN $OUT.tif",
        "tiffcp -t -w 64 -l 64 -c zip $IN $OUT.tif",
        "tiffcp -p separate $IN $OUT.tif",
        "convert $IN -type Palette -endian MSB $OUT.tif",
        "convert $IN -colorspace gray -depth 4 -define tiff:photometric=min-is-white $OUT.tif",
        "convert $IN -colorspace CMYK $OUT.tif",
        "convert $IN -type Palette -compress RLE $OUT.tga",
        "convert $IN -depth 8 ppm:- | pamtotga -rgb > $OUT.tga",
        "convert $IN -colorspace gray -depth 8 pgm:- | pamtotga -mono -norle > $OUT.tga",
    };
    QImage sheet((2 * W + 20) * 2, int(kinds.size() + 1) / 2 * (H + 10), QImage::Format_RGB32);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    for (size_t i = 0; i < kinds.size(); ++i) {
        SCOPED_TRACE(kinds[i]);
        const bool tga = kinds[i].find(".tga") != std::string::npos;
        const std::string out = dir.file("k" + std::to_string(i));
        ASSERT_EQ(runCommand("sh", {"-c", "IN='" + base + "'; OUT='" + out + "'; " + kinds[i]}).exitCode, 0);
        const std::string file = out + (tga ? ".tga" : ".tif");
        std::unique_ptr<TFormatGraphic> g;
        if (tga)
            g = std::make_unique<TTargaGraphic>();
        else
            g = std::make_unique<TTIFFGraphic>();
        rtl::TFileStream s(file, rtl::fmOpenRead);
        g->LoadFromStream(s);
        gfx::TBitmap ours;
        ours.Assign(*g);
        ours.SetPixelFormat(gfx::pf24bit);
        const QImage mine = ours.ToImage(), theirs = referenceImage(file);
        ASSERT_FALSE(theirs.isNull());
        const int x = int(i % 2) * (2 * W + 20), y = int(i / 2) * (H + 10);
        painter.drawImage(x, y, mine);
        painter.drawImage(x + W + 4, y, theirs);
    }
    painter.end();
    const QString look = QCoreApplication::applicationDirPath() + "/../pictures-look/";
    QDir().mkpath(look);
    EXPECT_TRUE(sheet.save(look + "tiff-tga.png"));

    // The front end's fitted panel reaches both readers by extension.
    RegisterPictureFormats();
    int n = 0;
    for (const std::string& file : {dir.file("k2.tif"), dir.file("k8.tga")}) {
        QWidget parent;
        parent.resize(300, 300);
        forms::TImage image(&parent);
        LoadPictureFitParent(image, true, true, false, file);
        EXPECT_EQ(image.Picture().Width(), 150) << file;
        EXPECT_EQ(image.Picture().Height(), 100) << file;
        const auto* b = dynamic_cast<gfx::TBitmap*>(image.Picture().Graphic());
        ASSERT_NE(b, nullptr);
        // The rose's red flower is in the upper middle, the green leaves at the bottom left.
        EXPECT_GT(gfx::GetRValue(b->PixelColor(75, 40)), gfx::GetGValue(b->PixelColor(75, 40)));
        EXPECT_TRUE(parent.grab().save(look + "tiff-tga-panel-" + QString::number(++n) + ".png"));
    }
    UnregisterPictureFormats();
}
