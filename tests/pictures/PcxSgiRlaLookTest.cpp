// What a person sees of the PCX, SGI, Autodesk, RLA and Dr. Halo readers: every kind of
// fixture beside ImageMagick's reading of it (or, where ImageMagick reads no such file, the
// pixels its script wrote), and ".pcx", ".pic" and ".rla" files shown by the picture front
// end, in build/pictures-look/pcx-sgi-rla.png.
#include "pictures/PictureFormats.h"
#include "pictures/formats/CUTGraphic.h"
#include "pictures/formats/PCXGraphic.h"
#include "pictures/formats/AutodeskGraphic.h"
#include "pictures/formats/RLAGraphic.h"
#include "pictures/formats/SGIGraphic.h"
#include "pictures/libImg.h"
#include "PictureFixtures.h"
#include "PictureTestSupport.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <QWidget>

#include <cstring>

using namespace testsupport;

namespace {

constexpr int Zoom = 3;

QImage magickImage(const std::string& file)
{
    int w = 0, h = 0;
    const auto px = pngtest::magickPixels(file, &w, &h);
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const auto& p = px[size_t(y) * w + x];
            img.setPixel(x, y, qRgb(p.r, p.g, p.b));
        }
    return img;
}

// The pixels the fixture script wrote beside the file.
QImage expectedImage(const std::string& file)
{
    const std::string e = readFile(file + ".expect");
    uint32_t w = 0, h = 0;
    std::memcpy(&w, e.data(), 4);
    std::memcpy(&h, e.data() + 4, 4);
    QImage img(int(w), int(h), QImage::Format_RGB32);
    for (uint32_t i = 0; i < w * h; ++i) {
        const auto* p = reinterpret_cast<const uint8_t*>(e.data()) + 8 + 4 * i;
        img.setPixel(int(i % w), int(i / w), qRgb(p[0], p[1], p[2]));
    }
    return img;
}

void sh(const std::string& command)
{
    const auto r = runCommand("sh", {"-c", command});
    ASSERT_EQ(r.exitCode, 0) << command << "\n" << r.err;
}

}  // namespace

TEST(PcxSgiRlaLook, FixturesBesideImageMagickAndThroughTheFrontEnd)
{
    TempDir dir;
    sh(python3() + " " + sourceDir() + "/tests/pictures/pcx_sgi_rla.py " + dir.path());
    const std::string ppm = dir.file("p.ppm"), few = dir.file("few.ppm");
    // Orange to navy, a lime box top left and a white disc bottom right: upright at a glance.
    sh("convert -size 60x40 gradient:orange-navy -fill lime -draw 'rectangle 4,3 22,14' -fill white "
       "-draw 'circle 44,27 44,36' -depth 8 ppm:" + ppm);
    sh("convert " + ppm + " +dither -colors 16 ppm:" + few);
    const std::vector<std::pair<std::string, std::string>> made{
        {"im8.pcx", "convert " + ppm + " -type Palette -compress RLE $OUT"},
        {"im24.pcx", "convert " + ppm + " -type TrueColor $OUT"},
        {"planes16.pcx", "ppmtopcx " + few + " > $OUT"},
        {"rle.sgi", "pnmtosgi -rle " + ppm + " > $OUT"},
        {"grey.bw", "ppmtopgm " + ppm + " | pnmtosgi -verbatim > $OUT"},
        {"alpha.rgba", "convert " + ppm + " -alpha set -channel A -evaluate set 60% +channel -compress RLE sgi:$OUT"},
    };
    for (const auto& [name, command] : made)
        sh("OUT='" + dir.file(name) + "'; " + command);

    struct Row {
        std::string file;
        std::unique_ptr<TFormatGraphic> ours;
        bool magick;
    };
    std::vector<Row> rows;
    for (const char* name : {"im8.pcx", "im24.pcx", "planes16.pcx"})
        rows.push_back({dir.file(name), std::make_unique<TPCXGraphic>(), true});
    for (const char* name : {"rle.sgi", "grey.bw", "alpha.rgba"})
        rows.push_back({dir.file(name), std::make_unique<TSGIGraphic>(), true});
    rows.push_back({dir.file("picture.pic"), std::make_unique<TAutodeskGraphic>(), false});
    for (const char* name : {"bottomup.rla", "matte.rla", "wide.rla"})
        rows.push_back({dir.file(name), std::make_unique<TRLAGraphic>(), false});
    rows.push_back({dir.file("palette.cut"), std::make_unique<TCUTGraphic>(), true});

    const int cell = 64 * Zoom, gap = 8;
    QImage sheet(4 * (cell + gap), int((rows.size() + 1) / 2 + 1) * (cell + gap), QImage::Format_RGB32);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    auto put = [&](const QImage& img, int column, int row) {
        const QSize size = img.size() * Zoom;
        painter.drawImage(QRect(column * (cell + gap), row * (cell + gap), size.width(), size.height()), img);
    };
    for (size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(rows[i].file);
        rows[i].ours->LoadFromFile(rows[i].file);
        const QImage mine = rows[i].ours->ToImage();
        const QImage theirs = rows[i].magick ? magickImage(rows[i].file) : expectedImage(rows[i].file);
        ASSERT_FALSE(theirs.isNull());
        EXPECT_EQ(mine.size(), theirs.size());
        put(mine.convertToFormat(QImage::Format_RGB32), int(i % 2) * 2, int(i / 2));
        put(theirs, int(i % 2) * 2 + 1, int(i / 2));
    }

    // The front end fits each picture into its window, upright and in its colours.
    RegisterPictureFormats();
    const int last = int((rows.size() + 1) / 2);
    int column = 0;
    for (size_t index : {size_t(2), size_t(6), size_t(7)}) {
        const std::string name = rows[index].file;
        QWidget parent;
        parent.resize(cell, cell);
        forms::TImage image(&parent);
        LoadPictureFitParent(image, true, false, false, name);
        auto* shown = dynamic_cast<gfx::TBitmap*>(image.Picture().Graphic());
        ASSERT_NE(shown, nullptr) << name;
        // Small enough to fit: shown as the reader read it, not the cannot-read picture.
        EXPECT_EQ(shown->ToImage(), rows[index].ours->ToImage()) << name;
        painter.drawImage(QPoint(column++ * (cell + gap), last * (cell + gap)), parent.grab().toImage());
    }
    UnregisterPictureFormats();
    painter.end();
    EXPECT_TRUE(sheet.save(picturefixtures::lookDir() + "/pcx-sgi-rla.png"));
}
