// The picture registry by extension and JPEG pictures, checked against ImageMagick.
#include <gtest/gtest.h>

#include <cstdlib>

#include "ImageTools.h"
#include "platform/gfx/Jpeg.h"
#include "platform/gfx/Picture.h"
#include "platform/rtl/Numerics.h"
#include "support/TestSupport.h"

#include <cstdio>

#include <jerror.h>
#include <jpeglib.h>

using namespace gfx;

namespace {

// A graphic that records that it was chosen; loading always works.
class MarkerGraphic : public TBitmap {
public:
    static const TGraphicClassInfo Info;
    TGraphicClass ClassType() const override { return &Info; }
    void LoadFromStream(rtl::TStream&) override { SetSize(3, 3); }
};
const TGraphicClassInfo MarkerGraphic::Info{"MarkerGraphic", [] {
    return std::unique_ptr<TGraphic>(std::make_unique<MarkerGraphic>());
}};

void fillGradient(TBitmap& b, int w, int h)
{
    b.SetPixelFormat(pf24bit);
    b.SetSize(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.Canvas().SetPixel(x, y, RGB(x * 255 / w, y * 255 / h, 128));
}

// ImageMagick's normalised RMSE between two picture files (0 = identical).
double rmse(const std::string& a, const std::string& b)
{
    const auto r = testsupport::runCommand("compare", {"-metric", "RMSE", a, b, "null:"});
    const size_t open = r.err.find('(');
    return open == std::string::npos ? 1.0 : std::atof(r.err.c_str() + open + 1);
}

}  // namespace

TEST(Picture, LoadsByExtensionThroughTheRegistry)
{
    testsupport::TempDir dir;
    testsupport::writeFile(dir.file("a.xyz"), "anything");
    TPicture p;
    try {
        p.LoadFromFile(dir.file("a.xyz"));
        FAIL() << "no class for .xyz";
    } catch (const EInvalidGraphic& e) {
        EXPECT_STREQ(e.what(), "Unknown picture file extension (.xyz)");
    }
    TPicture::RegisterFileFormat("XYZ", "Marker", &MarkerGraphic::Info);
    EXPECT_EQ(TPicture::FindGraphicClass(".xyz"), &MarkerGraphic::Info);
    p.LoadFromFile(dir.file("a.xyz"));
    ASSERT_NE(p.Graphic(), nullptr);
    EXPECT_EQ(p.Graphic()->ClassType(), &MarkerGraphic::Info);
    EXPECT_EQ(p.Width(), 3);
    // The latest registration of an extension wins; unregistering uncovers the older one.
    EXPECT_EQ(TPicture::FindGraphicClass("bmp"), &TBitmap::ClassInfo);
    TPicture::RegisterFileFormat("bmp", "Marker bitmaps", &MarkerGraphic::Info);
    EXPECT_EQ(TPicture::FindGraphicClass("BMP"), &MarkerGraphic::Info);
    TPicture::UnregisterGraphicClass(&MarkerGraphic::Info);
    EXPECT_EQ(TPicture::FindGraphicClass("bmp"), &TBitmap::ClassInfo);
    EXPECT_EQ(TPicture::FindGraphicClass("xyz"), nullptr);
    EXPECT_EQ(TPicture::FindGraphicClass("jpeg"), &TJPEGImage::ClassInfo);
    EXPECT_EQ(TPicture::FindGraphicClass(""), nullptr);
    // A failed load keeps the picture that was there.
    testsupport::writeFile(dir.file("bad.bmp"), "BM not really");
    EXPECT_THROW(p.LoadFromFile(dir.file("bad.bmp")), EInvalidGraphic);
    EXPECT_EQ(p.Width(), 3);
    // Bitmap() replaces another graphic by an empty bitmap.
    TPicture q;
    q.TakeGraphic(std::make_unique<TJPEGImage>());
    EXPECT_TRUE(q.Bitmap().Empty());
    EXPECT_EQ(q.Graphic()->ClassType(), &TBitmap::ClassInfo);
}

TEST(Picture, JpegRoundTripMatchesImageMagick)
{
    if (!testsupport::haveProgram("compare") || !testsupport::haveProgram("identify"))
        GTEST_SKIP() << "ImageMagick missing";
    testsupport::TempDir dir;
    TBitmap src;
    fillGradient(src, 40, 30);
    src.SaveToFile(dir.file("src.bmp"));
    TJPEGImage j;
    j.Assign(src);
    j.SetCompressionQuality(90);
    j.SaveToFile(dir.file("out.jpg"));
    const auto id = testsupport::runCommand("identify", {"-format", "%m %w %h %Q", dir.file("out.jpg")});
    EXPECT_EQ(id.out, "JPEG 40 30 90");
    EXPECT_LT(rmse(dir.file("src.bmp"), dir.file("out.jpg")), 0.02);

    // Reading it back: our decode against ImageMagick's decode of the same file.
    TPicture p;
    p.LoadFromFile(dir.file("out.jpg"));
    auto* back = dynamic_cast<TJPEGImage*>(p.Graphic());
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->Width(), 40);
    TBitmap decoded;
    decoded.Assign(*back);
    EXPECT_EQ(decoded.PixelFormat(), pf24bit);
    decoded.SaveToFile(dir.file("decoded.bmp"));
    EXPECT_LT(rmse(dir.file("decoded.bmp"), dir.file("out.jpg")), 0.01);
    // Saving an unchanged picture writes the very bytes read.
    back->SaveToFile(dir.file("again.jpg"));
    EXPECT_EQ(testsupport::readFile(dir.file("again.jpg")), testsupport::readFile(dir.file("out.jpg")));
    // Scales decode smaller.
    back->SetScale(jsHalf);
    EXPECT_EQ(back->Width(), 20);
    EXPECT_EQ(back->Height(), 15);
}

TEST(Picture, JpegFromImageMagickIncludingGreyLoads)
{
    if (!testsupport::haveProgram("convert"))
        GTEST_SKIP() << "ImageMagick missing";
    testsupport::TempDir dir;
    for (const char* type : {"truecolor", "grayscale"}) {
        const std::string path = dir.file(std::string(type) + ".jpg");
        ASSERT_EQ(testsupport::runCommand("convert", {"-size", "17x9", "gradient:yellow-navy", "-type", type,
                                                      "-quality", "95", path}).exitCode, 0);
        TJPEGImage j;
        j.LoadFromFile(path);
        const auto im = imagetools::readWithImageMagick(path);
        ASSERT_EQ(j.Width(), im.width);
        ASSERT_EQ(j.Height(), im.height);
        for (int y = 0; y < im.height; ++y)
            for (int x = 0; x < im.width; ++x)
                EXPECT_TRUE(imagetools::near(j.Bitmap().PixelColor(x, y), im.at(x, y), 3)) << type << " " << x << "," << y;
    }
}

TEST(Picture, DamagedJpegRaisesAndKeepsThePicture)
{
    TBitmap src;
    fillGradient(src, 32, 32);
    TJPEGImage j;
    j.Assign(src);
    rtl::TMemoryStream m;
    j.SaveToStream(m);
    const std::vector<uint8_t> bytes = m.Bytes();
    auto load = [](std::vector<uint8_t> data) {
        TJPEGImage k;
        TBitmap keep;
        fillGradient(keep, 5, 5);
        k.Assign(keep);
        rtl::TMemoryStream s(std::move(data));
        bool raised = false;
        try {
            k.LoadFromStream(s);
        } catch (const EJPEG&) {
            raised = true;
        }
        if (raised) {
            EXPECT_EQ(k.Width(), 5);
        }
        return raised;
    };
    EXPECT_FALSE(load(bytes));
    for (size_t n : {size_t(0), size_t(2), size_t(20), bytes.size() / 3, bytes.size() / 2, bytes.size() - 40})
        EXPECT_TRUE(load({bytes.begin(), bytes.begin() + long(n)})) << n;
    // A grey picture, decoded through a row buffer of its own, cut inside its scan.
    TJPEGImage grey;
    grey.Assign(src);
    grey.SetGrayscale(true);
    rtl::TMemoryStream g;
    grey.SaveToStream(g);
    EXPECT_TRUE(load({g.Bytes().begin(), g.Bytes().begin() + long(g.Bytes().size() / 2)}));
    std::vector<uint8_t> garbage(bytes.size(), 0x5A);
    EXPECT_TRUE(load(garbage));
    // A header that claims an enormous picture is refused before any allocation.
    std::vector<uint8_t> huge = bytes;
    for (size_t i = 0; i + 8 < huge.size(); ++i)
        if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {  // start of frame: height and width at +5
            huge[i + 5] = 0xFF; huge[i + 6] = 0xF0; huge[i + 7] = 0xFF; huge[i + 8] = 0xF0;
            break;
        }
    EXPECT_TRUE(load(huge));
    // 57 bytes claiming a progressive picture of 30976 x 768 that the data then leaves off.
    EXPECT_TRUE(load({0xFF, 0xD8, 0xFF, 0xEE, 0x00, 0x00, 0x00, 0x00, 0x35, 0xFF, 0xCA, 0x00, 0x14, 0x08, 0x03,
                      0x00, 0x79, 0x00, 0x04, 0x01, 0x11, 0x00, 0x02, 0x11, 0x01, 0x03, 0x11, 0x01, 0x04, 0x11,
                      0x00, 0x04, 0x01, 0x06, 0x56, 0xD1, 0xE2, 0xFF, 0xDA, 0x00, 0x0E, 0x04, 0x01, 0x00, 0x02,
                      0x11, 0x03, 0x11, 0x04, 0x00, 0x9D, 0x3F, 0xFD, 0xA9, 0x21, 0x2A, 0x4A}));
}

TEST(Picture, RandomlyDamagedJpegRaisesOrLoadsButNeverCrashes)
{
    TBitmap src;
    fillGradient(src, 24, 16);
    TJPEGImage j;
    j.Assign(src);
    j.SetProgressiveEncoding(true);
    rtl::TMemoryStream m;
    j.SaveToStream(m);
    rtl::RandSeed = 777;
    int raised = 0;
    for (int round = 0; round < 400; ++round) {
        std::vector<uint8_t> f = m.Bytes();
        for (int k = 1 + rtl::Random(4); k > 0; --k)
            f[size_t(rtl::Random(int(f.size())))] = uint8_t(rtl::Random(256));
        TJPEGImage k;
        rtl::TMemoryStream s(std::move(f));
        try {
            k.LoadFromStream(s);
            EXPECT_FALSE(k.Empty());
        } catch (const EJPEG&) {
            ++raised;
        }
    }
    EXPECT_GT(raised, 0);
}

TEST(Picture, JpegDataDamageRaisesAndFramesLargerThanTheirDataAreRefused)
{
    TBitmap src;
    fillGradient(src, 64, 48);
    TJPEGImage j;
    j.Assign(src);
    j.SetCompressionQuality(95);
    rtl::TMemoryStream m;
    j.SaveToStream(m);
    const std::vector<uint8_t> bytes = m.Bytes();
    ASSERT_EQ(bytes[bytes.size() - 2], 0xFF);
    ASSERT_EQ(bytes[bytes.size() - 1], 0xD9);
    auto raises = [](std::vector<uint8_t> data) {
        TJPEGImage k;
        rtl::TMemoryStream s(std::move(data));
        try {
            k.LoadFromStream(s);
        } catch (const EJPEG&) {
            return true;
        }
        return false;
    };
    // The scan cut off by the end marker: "premature end of data segment".
    std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + long(bytes.size() * 2 / 3));
    cut.insert(cut.end(), {0xFF, 0xD9});
    EXPECT_TRUE(raises(cut));
    // A restart marker where the data goes on, and bytes that are no Huffman code.
    std::vector<uint8_t> marker = bytes;
    const size_t scan = [&] {
        for (size_t i = 0; i + 1 < marker.size(); ++i)
            if (marker[i] == 0xFF && marker[i + 1] == 0xDA)
                return i + 2 + (size_t(marker[i + 2]) << 8 | marker[i + 3]);
        return size_t(0);
    }();
    ASSERT_GT(scan, 0u);
    marker[scan + 40] = 0xFF;
    marker[scan + 41] = 0xD3;
    EXPECT_TRUE(raises(marker));
    std::vector<uint8_t> noise = bytes;
    for (size_t i = scan + 20; i < scan + 60; i += 2) {  // stuffed 0xFF bytes: all-ones codes
        noise[i] = 0xFF;
        noise[i + 1] = 0x00;
    }
    EXPECT_TRUE(raises(noise));
    // What ordinary photos carry still loads: bytes after the scan before the end marker.
    std::vector<uint8_t> extra = bytes;
    extra.insert(extra.end() - 2, {0x12, 0x34, 0x56});
    EXPECT_FALSE(raises(extra));

    // A frame header that claims 32767 x 2730 for these few bytes: refused before the
    // half-gigabyte bitmap exists.
    std::vector<uint8_t> claim = bytes;
    for (size_t i = 0; i + 8 < claim.size(); ++i)
        if (claim[i] == 0xFF && claim[i + 1] == 0xC0) {  // start of frame: height, width at +5
            claim[i + 5] = 2730 >> 8; claim[i + 6] = 2730 & 0xFF;
            claim[i + 7] = 32767 >> 8; claim[i + 8] = 32767 & 0xFF;
            break;
        }
    TJPEGImage k;
    k.Assign(src);
    rtl::TMemoryStream s(claim);
    try {
        k.LoadFromStream(s);
        ADD_FAILURE() << "loaded " << k.Width() << " x " << k.Height();
    } catch (const EJPEG& e) {
        EXPECT_STREQ(e.what(), ("JPEG error #" + std::to_string(JERR_INPUT_EOF)).c_str());
    }
    EXPECT_EQ(k.Width(), 64);  // the picture before the failed load
    // The same frame claim with its data there: a 4096 x 16 picture of noise loads.
    TBitmap wide(4096, 16, pf24bit);
    rtl::RandSeed = 5;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 4096; ++x)
            wide.ScanLine(y)[3 * x] = uint8_t(rtl::Random(256));
    TJPEGImage w;
    w.Assign(wide);
    rtl::TMemoryStream ws;
    w.SaveToStream(ws);
    EXPECT_FALSE(raises(ws.Bytes()));
}
