// Around the file model: bitmaps and other pictures converted into frames, frames rendered
// and drawn, copies, the clipboard, and the optimiser, whose every option must leave the
// animation ImageMagick coalesces unchanged frame for frame. The built-in GIF pictures decode as
// ImageMagick decodes them. A picture for a person to look at is written to
// build/pictures-look/gif.png.
#include "GIFTestSupport.h"
#include "pictures/PictureFormats.h"
#include "platform/gfx/Picture.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QPainter>

#include <set>

using namespace giftest;
using gfx::TBitmap;

namespace {

std::unique_ptr<TBitmap> colourful(int w, int h)
{
    auto b = std::make_unique<TBitmap>(w, h, gfx::pf24bit);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = b->ScanLine(y) + x * 3;
            p[0] = uint8_t(x * 13), p[1] = uint8_t(y * 29), p[2] = uint8_t((x * y) & 0xFF);
        }
    return b;
}

// An animation that gives every option something to do: a frame repeating most of the one
// before (merge), transparent borders (crop), a frame that clears its rectangle under an opaque
// one that covers it, a fully transparent frame, an unused transparent index, disposal 3,
// comments and a loop (cleanup), and maps in no order of use (colour maps).
Bytes optimisable()
{
    const int W = 16, H = 12;
    const Bytes base = noise(W * H, 8, 21);
    Bytes second = base;
    for (int y = 3; y < 6; ++y)
        for (int x = 5; x < 9; ++x)
            second[size_t(y * W + x)] = 9;
    Bytes bordered(8 * 6, 15);
    for (int y = 2; y < 4; ++y)
        for (int x = 3; x < 6; ++x)
            bordered[size_t(y * 8 + x)] = uint8_t(9 + x);
    GifBuilder b;
    b.header(W, H, 4).loop(2).comment("first").gce(1, 10).frame(0, 0, W, H, base, 4);
    b.gce(1, 10).frame(0, 0, W, H, second, 4);
    b.gce(0, 10, 15).frame(2, 2, 8, 6, bordered, 4);
    b.gce(2, 10).frame(4, 4, 4, 4, Bytes(16, 3), 4);
    b.gce(1, 10).comment("cover").frame(0, 0, W, H, noise(W * H, 12, 5), 4);
    b.gce(1, 7, 15).frame(0, 0, W, H, Bytes(size_t(W * H), 15), 4);
    b.gce(3, 10, 14).frame(3, 3, 5, 5, noise(25, 6, 8), 4);
    Bytes last = noise(W * H, 16, 9);
    b.gce(1, 10, 15).frame(0, 0, W, H, last, 4, 0, 4);
    // Clearing a rectangle that the next frame hides only in part still shows.
    b.gce(2, 10).frame(0, 0, W, H, noise(W * H, 5, 10), 4);
    b.gce(1, 10).frame(5, 5, 3, 3, Bytes(9, 2), 4);
    return b.trailer().bytes;
}

}  // namespace

TEST(GIFConvert, BitmapsAndOtherPicturesBecomeFrames)
{
    // 24 bits with more than 256 colours: reduced by the image's method, at most 256 entries.
    auto photo = colourful(40, 30);
    std::set<gfx::TColor> colours;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            colours.insert(photo->PixelColor(x, y));
    ASSERT_GT(colours.size(), 300u);
    TGIFImage gif;
    gif.Assign(*photo);
    ASSERT_EQ(gif.Images().Count(), 1);
    EXPECT_EQ(gif.Width(), 40);
    EXPECT_LE(gif.Images()[0]->ActiveColorMap().Count(), 256);
    EXPECT_GT(gif.Images()[0]->ActiveColorMap().Count(), 16);
    const Bytes file = saved(gif);
    EXPECT_EQ(load(file).error, "");

    // 8 bits keep their indices and palette; 4 bits unpack high nibble first.
    TBitmap four(5, 2, gfx::pf4bit);
    four.ScanLine(0)[0] = 0x1F, four.ScanLine(0)[1] = 0x2E, four.ScanLine(0)[2] = 0x30;
    TGIFImage fourGif;
    fourGif.Add(four);
    EXPECT_EQ(fourGif.Images()[0]->Scanline(0)[0], 1);
    EXPECT_EQ(fourGif.Images()[0]->Scanline(0)[1], 15);
    EXPECT_EQ(fourGif.Images()[0]->Scanline(0)[4], 3);
    EXPECT_EQ(fourGif.Images()[0]->ColorMap().Count(), 16);

    // A transparent bitmap: its transparent colour becomes the frame's transparent index.
    TBitmap sprite(6, 4, gfx::pf24bit);
    sprite.Canvas().Brush().SetColor(gfx::clFuchsia);
    sprite.Canvas().FillRect(gfx::Rect(0, 0, 6, 4));
    sprite.Canvas().Brush().SetColor(gfx::clNavy);
    sprite.Canvas().FillRect(gfx::Rect(1, 1, 4, 3));
    sprite.SetTransparentColor(gfx::clFuchsia);
    sprite.SetTransparent(true);
    TGIFImage spriteGif;
    spriteGif.ColorReduction = rmNone;
    spriteGif.Add(sprite);
    TGIFSubImage& f = *spriteGif.Images()[0];
    ASSERT_TRUE(f.Transparent());
    const int t = f.GraphicControlExtension()->TransparentIndex;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(f.Pixels(x, y) == t, !(x >= 1 && x < 4 && y >= 1 && y < 3)) << x << "," << y;
    if (haveTools()) {
        testsupport::TempDir dir;
        writeBytes(dir.file("sprite.gif"), saved(spriteGif));
        EXPECT_EQ(magickRGBA(dir.file("sprite.gif"), 0), frameRGBA(f));
    }
    // Without any transparent pixel the extra entry goes again.
    TBitmap plain(3, 3, gfx::pf24bit);
    plain.SetTransparentColor(gfx::clLime);
    plain.SetTransparent(true);
    TGIFImage plainGif;
    plainGif.Add(plain);
    EXPECT_FALSE(plainGif.Images()[0]->Transparent());
    EXPECT_EQ(plainGif.Images()[0]->ColorMap().Count(), 1);
}

TEST(GIFConvert, RenderingDrawingAndCopies)
{
    Loaded r = load(optimisable());
    ASSERT_EQ(r.error, "");
    TGIFImage& gif = *r.image;
    TGIFSubImage& frame = *gif.Images()[2];  // transparent, at 2,2
    const TBitmap& rendered = frame.Bitmap();
    EXPECT_EQ(rendered.PixelFormat(), gfx::pf8bit);
    EXPECT_EQ(rendered.PixelColor(3, 2), frame.ActiveColorMap().Colors(frame.Pixels(3, 2)));
    ASSERT_NE(frame.Mask(), nullptr);
    EXPECT_EQ(frame.Mask()->PixelColor(0, 0), gfx::clWhite);
    EXPECT_EQ(frame.Mask()->PixelColor(3, 2), gfx::clBlack);

    // Drawn doubled onto grey: transparent pixels keep the grey, the others take the frame's.
    TBitmap canvas(32, 24, gfx::pf24bit);
    canvas.Canvas().Brush().SetColor(gfx::clGray);
    canvas.Canvas().FillRect(gfx::Rect(0, 0, 32, 24));
    frame.StretchDraw(canvas.Canvas(), gfx::Rect(0, 0, 32, 24), true, false);
    EXPECT_EQ(canvas.PixelColor(4, 4), gfx::clGray);
    EXPECT_EQ(canvas.PixelColor(2 * (2 + 3), 2 * (2 + 2)), frame.ActiveColorMap().Colors(frame.Pixels(3, 2)));
    EXPECT_EQ(canvas.PixelColor(0, 0), gfx::clGray);
    // Tiled at the image's size: the same pixel again one screen further right.
    TBitmap tiled(40, 12, gfx::pf24bit);
    frame.StretchDraw(tiled.Canvas(), gfx::Rect(0, 0, 40, 12), false, true);
    EXPECT_EQ(tiled.PixelColor(16 + 5, 4), tiled.PixelColor(5, 4));
    EXPECT_EQ(tiled.PixelColor(32 + 5, 4), tiled.PixelColor(5, 4));

    // Dithering to the web palette when asked for without the display test.
    gif.DrawOptions = drawTransparent | drawDither;
    frame.FreeCaches();
    EXPECT_EQ(frame.Bitmap().Palette()[215], gfx::clWhite);
    EXPECT_EQ(frame.Mask()->PixelColor(0, 0), gfx::clWhite);
    EXPECT_FALSE(GIFDoDither(drawDither | drawAutoDither));

    // A copy is a whole new image; a bitmap takes frame 0 at the image size.
    gif.DrawOptions = GIFDefaults().DrawOptions;
    TGIFImage copy;
    copy.Assign(gif);
    EXPECT_EQ(saved(copy), saved(gif));
    TBitmap first;
    gif.AssignTo(first);
    EXPECT_EQ(first.Width(), 16);
    EXPECT_EQ(first.PixelColor(7, 5), gif.Images()[0]->ActiveColorMap().Colors(gif.Images()[0]->Pixels(7, 5)));

    // The screen cannot shrink below a frame; it keeps its size.
    EXPECT_THROW(gif.SetWidth(15), GIFException);
    EXPECT_THROW(gif.SetHeight(11), GIFException);
    EXPECT_EQ(gif.Width(), 16);
    gif.SetWidth(20);
    EXPECT_EQ(gif.Width(), 20);
}

TEST(GIFConvert, ClipboardRoundTrip)
{
    Loaded r = load(optimisable());
    QMimeData data;
    r.image->SaveToClipboardFormat(data);
    EXPECT_TRUE(data.hasFormat("image/gif"));
    EXPECT_TRUE(data.hasImage());
    TGIFImage back;
    back.LoadFromClipboardFormat(data);
    EXPECT_EQ(saved(back), saved(*r.image));

    QMimeData picture;
    picture.setImageData(QImage(7, 5, QImage::Format_RGB32));
    back.LoadFromClipboardFormat(picture);
    EXPECT_EQ(back.Width(), 7);
    EXPECT_EQ(back.Images().Count(), 1);

    QMimeData text;
    text.setText("not a picture");
    try {
        back.LoadFromClipboardFormat(text);
        ADD_FAILURE() << "loaded text";
    } catch (const GIFException& e) {
        EXPECT_STREQ(e.what(), "未対応のクリップボード データです");
    }

    if (QGuiApplication::clipboard()) {
        r.image->SaveToClipboard();
        TGIFImage fromClipboard;
        fromClipboard.LoadFromClipboard();
        EXPECT_EQ(saved(fromClipboard), saved(*r.image));
    }
}

TEST(GIFOptimize, EveryOptionKeepsTheCoalescedAnimation)
{
    if (!haveTools())
        GTEST_SKIP() << "ImageMagick or gifsicle missing";
    testsupport::TempDir dir;
    const Bytes original = optimisable();
    writeBytes(dir.file("in.gif"), original);
    const std::vector<Bytes> before = magickCoalesced(dir.file("in.gif"), 16, 12);
    ASSERT_EQ(before.size(), 10u);
    ASSERT_EQ(before[5], before[4]);  // the fully transparent frame shows nothing new

    for (unsigned options : {unsigned(optColorMaps), unsigned(optCleanup), unsigned(optMerge), unsigned(optCrop), optAll}) {
        SCOPED_TRACE(options);
        Loaded r = load(original);
        r.image->Optimize(options, rmNone, dmNearest, 8);
        const std::string out = dir.file("out" + std::to_string(options) + ".gif");
        writeBytes(out, saved(*r.image));
        std::vector<Bytes> expected = before;
        if (options & optCrop)
            expected.erase(expected.begin() + 5);
        EXPECT_EQ(magickCoalesced(out, 16, 12), expected);
        EXPECT_LE(saved(*r.image).size(), original.size() + 4);
    }

    // Cropping: borders go, the transparent frame goes and its delay joins the frame before.
    Loaded crop = load(original);
    crop.image->Optimize(optCrop, rmNone, dmNearest, 8);
    ASSERT_EQ(crop.image->Images().Count(), 9);
    EXPECT_EQ(crop.image->Images()[2]->BoundsRect(), gfx::Rect(5, 4, 8, 6));
    EXPECT_EQ(crop.image->Images()[4]->GraphicControlExtension()->Delay, 17);
    EXPECT_EQ(crop.image->Images()[3]->Width(), 4);  // clears its rectangle: kept whole

    // Cleanup: comments go, frame 0 keeps its loop, the unused transparency goes, and the
    // frame that clears a rectangle the next frame hides keeps nothing to clear.
    Loaded clean = load(original);
    clean.image->Optimize(optCleanup, rmNone, dmNearest, 8);
    TGIFImage& c = *clean.image;
    TGIFExtensionList& first = c.Images()[0]->Extensions();
    ASSERT_EQ(first.Count(), 2);  // the loop, and the delay
    EXPECT_NE(dynamic_cast<TGIFAppExtNSLoop*>(first[0]), nullptr);
    EXPECT_NE(dynamic_cast<TGIFGraphicControlExtension*>(first[1]), nullptr);
    EXPECT_EQ(c.Images()[4]->Extensions().Count(), 1);
    EXPECT_FALSE(c.Images()[6]->Transparent());
    EXPECT_EQ(c.Images()[3]->GraphicControlExtension()->Disposal(), 0);
    EXPECT_EQ(c.Images()[8]->GraphicControlExtension()->Disposal(), 2);

    // Merge: the repeated part of frame 1 becomes transparent.
    Loaded merge = load(original);
    merge.image->Optimize(optMerge, rmNone, dmNearest, 8);
    TGIFSubImage& second = *merge.image->Images()[1];
    ASSERT_TRUE(second.Transparent());
    EXPECT_EQ(second.Pixels(0, 0), second.GraphicControlExtension()->TransparentIndex);
    EXPECT_EQ(second.Pixels(6, 4), 9);

    // Stored as embedded data, optimised first when the setting asks for it.
    Loaded stored = load(original);
    rtl::TMemoryStream plainData, optimisedData;
    stored.image->WriteData(plainData);
    EXPECT_EQ(plainData.Bytes(), saved(*load(original).image));
    GIFDefaults().OptimizeOnStream = true;
    stored.image->WriteData(optimisedData);
    GIFDefaults().OptimizeOnStream = false;
    EXPECT_LT(optimisedData.Size(), plainData.Size());
    EXPECT_EQ(load(optimisedData.Bytes()).image->Images().Count(), 9);

    // The colour-map reduction with the caller's palette needs the cleanup.
    EXPECT_THROW(merge.image->Optimize(optReduceColors, rmCustomPalette, dmNearest, 8), GIFException);
}

TEST(GIFConvert, BuiltInPicturesDecodeAsImageMagickDoesAndALookSheet)
{
    if (!haveTools())
        GTEST_SKIP() << "ImageMagick missing";
    testsupport::TempDir tmp;
    // Rows of (ours, ImageMagick's) pairs, each scaled 3 times: the built-in pictures, every
    // frame of the optimiser's animation, and a photo saved as GIF and read back.
    std::vector<std::pair<QImage, QImage>> pairs;
    const auto rgbaImage = [](const Bytes& rgba, int w, int h) {
        QImage image(w, h, QImage::Format_ARGB32);
        image.fill(Qt::lightGray);
        if (rgba.size() != size_t(w) * size_t(h) * 4)
            return image;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const uint8_t* p = &rgba[(size_t(y) * size_t(w) + size_t(x)) * 4];
                if (p[3])
                    image.setPixel(x, y, qRgb(p[0], p[1], p[2]));
            }
        return image;
    };
    const std::string dir = testsupport::sourceDir() + "/resources/pictures/";
    for (const char* name : {"G01.gif", "G02.gif", "G03.gif"}) {
        SCOPED_TRACE(name);
        Loaded r = loadFile(dir + name);
        ASSERT_EQ(r.error, "");
        EXPECT_TRUE(r.warnings.empty());
        ASSERT_EQ(r.image->Images().Count(), magickFrames(dir + name));
        TGIFSubImage& f = *r.image->Images()[0];
        EXPECT_EQ(frameRGBA(f), magickRGBA(dir + name, 0));
        pairs.push_back({r.image->Bitmap().ToImage(), rgbaImage(magickRGBA(dir + name, 0), f.Width(), f.Height())});
    }
    writeBytes(tmp.file("anim.gif"), optimisable());
    Loaded anim = loadFile(tmp.file("anim.gif"));
    for (int i = 0; i < anim.image->Images().Count(); ++i) {
        TGIFSubImage& f = *anim.image->Images()[i];
        pairs.push_back({rgbaImage(frameRGBA(f), f.Width(), f.Height()),
                         rgbaImage(magickRGBA(tmp.file("anim.gif"), i), f.Width(), f.Height())});
    }
    TGIFImage photo;
    photo.Assign(*colourful(64, 48));
    writeBytes(tmp.file("photo.gif"), saved(photo));
    Loaded back = loadFile(tmp.file("photo.gif"));
    pairs.push_back({back.image->Bitmap().ToImage(), rgbaImage(magickRGBA(tmp.file("photo.gif"), 0), 64, 48)});

    constexpr int Scale = 3;
    int Cell = 0;
    for (const auto& pair : pairs)
        Cell = std::max(Cell, pair.first.width() * Scale);
    QImage sheet(2 * Cell + 30, int(pairs.size()) * (60 * Scale + 10), QImage::Format_RGB32);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    int y = 5;
    for (const auto& [ours, theirs] : pairs) {
        painter.drawImage(QRect(10, y, ours.width() * Scale, ours.height() * Scale), ours);
        painter.drawImage(QRect(20 + Cell, y, theirs.width() * Scale, theirs.height() * Scale), theirs);
        y += std::max(ours.height(), 16) * Scale + 10;
    }
    painter.end();
    const QString out = QCoreApplication::applicationDirPath() + "/../pictures-look";
    QDir().mkpath(out);
    EXPECT_TRUE(sheet.copy(0, 0, sheet.width(), y).save(out + "/gif.png"));
}

TEST(GIFConvert, RegisteredWithThePictureClass)
{
    testsupport::TempDir dir;
    writeBytes(dir.file("anim.GIF"), optimisable());
    gfx::TPicture picture;
    UnregisterPictureFormats();
    EXPECT_THROW(picture.LoadFromFile(dir.file("anim.GIF")), gfx::EInvalidGraphic);
    RegisterPictureFormats();
    EXPECT_EQ(gfx::TPicture::FindGraphicClass(".gif"), &TGIFImage::ClassInfo);
    picture.LoadFromFile(dir.file("anim.GIF"));
    auto* gif = dynamic_cast<TGIFImage*>(picture.Graphic());
    ASSERT_NE(gif, nullptr);
    EXPECT_EQ(gif->Images().Count(), 10);
    gfx::TPicture copy;
    copy.Assign(picture);
    EXPECT_EQ(saved(*dynamic_cast<TGIFImage*>(copy.Graphic())), saved(*gif));
    // Saving a bitmap as GIF through the picture class.
    gfx::TPicture photo;
    photo.Bitmap().Assign(*colourful(20, 10));
    TGIFImage asGif;
    asGif.Assign(*photo.Graphic());
    asGif.SaveToFile(dir.file("photo.gif"));
    EXPECT_EQ(loadFile(dir.file("photo.gif")).image->Width(), 20);
    UnregisterPictureFormats();
    EXPECT_EQ(gfx::TPicture::FindGraphicClass("gif"), nullptr);
}
