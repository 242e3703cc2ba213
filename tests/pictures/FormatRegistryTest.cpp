// The format registry over the picture class, the start-up table, the reader base's load
// frame and the small routines the readers share (predictor, upsampling, byte swapping).
#include "pictures/PictureFormats.h"
#include "pictures/PictureFixtures.h"
#include "pictures/formats/FileFormatList.h"
#include "pictures/formats/FormatGraphic.h"
#include "pictures/formats/IconGraphic.h"
#include "pictures/gif/GIFImage.h"
#include "pictures/png/pngimage.h"
#include "platform/gfx/Jpeg.h"
#include "platform/gfx/Metafile.h"
#include "platform/gfx/Picture.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <map>

using namespace testsupport;

namespace {

std::unique_ptr<gfx::TGraphic> makeBitmap() { return std::make_unique<gfx::TBitmap>(); }
const gfx::TGraphicClassInfo fakeTarga{"TTargaGraphic", makeBitmap};
const gfx::TGraphicClassInfo fakeJpeg{"TJPEGImage", makeBitmap};
const gfx::TGraphicClassInfo fakeBitmap{"TBitmap", makeBitmap};

std::string descriptionOf(const std::string& ext)
{
    std::string d;
    for (const auto& f : gfx::TPicture::FileFormats())
        if (f.extension == ext)
            d = f.description;
    return d;
}

std::map<std::string, gfx::TGraphicClass> resolution()
{
    std::map<std::string, gfx::TGraphicClass> r;
    for (const auto& f : gfx::TPicture::FileFormats())
        r[f.extension] = gfx::TPicture::FindGraphicClass(f.extension);
    return r;
}

// The start-up registration for a test's scope, taken back however the test ends.
struct Registered {
    Registered() { RegisterPictureFormats(); }
    ~Registered() { UnregisterPictureFormats(); }
};

std::string errorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return {};
}

}  // namespace

TEST(FileFormatList, RegistersDescriptionsCountsAndRefusesTwice)
{
    TFileFormatList list;
    list.RegisterFileFormat("win", "Truevision images", "", fkRaster, false, &fakeTarga);
    list.RegisterFileFormat("vst", "", "", fkRaster, false, &fakeTarga);
    list.RegisterFileFormat("tga", "", "", fkRaster, false, &fakeTarga);
    list.RegisterFileFormat("jfif", "JPG images", "JFIF images", fkRaster, false, &fakeJpeg);
    list.RegisterFileFormat("jpg", "", "JPG images", fkRaster, false, &fakeJpeg);
    list.RegisterFileFormat("", "x", "y", fkRaster, false, &fakeJpeg);
    EXPECT_EQ(descriptionOf("vst"), "Truevision images");
    EXPECT_EQ(descriptionOf("jpg"), "JPG images");
    EXPECT_EQ(descriptionOf("jfif"), "JFIF images");
    EXPECT_EQ(list.ExtensionCount(), 5);

    EXPECT_EQ(errorOf([&] { list.RegisterFileFormat("TGA", "", "", fkRaster, false, &fakeJpeg); }),
              "Attempt to register TGA twice.");
    EXPECT_EQ(list.ClassRecord(list.FindGraphicClass(&fakeTarga)).Count, 3);
    EXPECT_EQ(list.FindExtension("TGA"), list.FindExtension("tga"));
    EXPECT_EQ(list.FindExtension(""), -1);

    // Replacing moves the extension; a class left without extensions loses its record.
    list.RegisterFileFormat("jfif", "", "", fkRaster, true, &fakeTarga);
    list.RegisterFileFormat("jpg", "", "", fkRaster, true, &fakeTarga);
    EXPECT_EQ(list.FindGraphicClass(&fakeJpeg), -1);
    EXPECT_EQ(list.ClassRecord(list.FindGraphicClass(&fakeTarga)).Count, 5);
    EXPECT_EQ(gfx::TPicture::FindGraphicClass("jpg"), &fakeTarga);
    // The class that lost its last extension has left the picture class as well.
    list.UnregisterFileFormat("", &fakeTarga);
    EXPECT_EQ(gfx::TPicture::FindGraphicClass("jfif"), nullptr);
    list.RegisterFileFormat("tga", "", "", fkRaster, false, &fakeTarga);
    list.Clear();
    EXPECT_EQ(gfx::TPicture::FindGraphicClass("tga"), nullptr);
}

TEST(FileFormatList, UnregistersOneExtensionOrTheWholeClass)
{
    TFileFormatList list;
    list.RegisterFileFormat("bmp", "Windows bitmaps", "", fkRaster, false, &fakeBitmap);
    list.RegisterFileFormat("rle", "Windows bitmaps", "Run length encoded Windows bitmaps", fkRaster, false,
                            &fakeBitmap);
    list.RegisterFileFormat("dib", "", "Device independant Windows bitmaps", fkRaster, false, &fakeBitmap);
    list.RegisterFileFormat("tga", "Truevision images", "", fkRaster, false, &fakeTarga);

    list.UnregisterFileFormat("RLE", &fakeBitmap);
    EXPECT_EQ(list.FindExtension("rle"), -1);
    EXPECT_GE(list.FindExtension("bmp"), 0);
    EXPECT_GE(list.FindExtension("dib"), 0);
    EXPECT_EQ(list.ClassRecord(list.FindGraphicClass(&fakeBitmap)).Count, 2);
    EXPECT_EQ(gfx::TPicture::FindGraphicClass("dib"), &fakeBitmap);
    list.UnregisterFileFormat("rle", &fakeBitmap);  // no longer there: nothing happens

    // An empty extension for a class that was never registered leaves every record alone.
    list.UnregisterFileFormat("", &fakeJpeg);
    EXPECT_EQ(list.ExtensionCount(), 3);
    EXPECT_EQ(list.ClassCount(), 2);

    list.UnregisterFileFormat("", &fakeBitmap);
    EXPECT_EQ(list.ExtensionCount(), 1);
    EXPECT_EQ(list.FindGraphicClass(&fakeBitmap), -1);
    EXPECT_NE(gfx::TPicture::FindGraphicClass("bmp"), &fakeBitmap);
    EXPECT_NE(gfx::TPicture::FindGraphicClass("dib"), &fakeBitmap);

    // The last extension of a class takes the class out of the picture class.
    list.UnregisterFileFormat("tga", nullptr);
    EXPECT_EQ(list.ClassCount(), 0);
    EXPECT_EQ(gfx::TPicture::FindGraphicClass("tga"), nullptr);
}

TEST(PictureFormats, StartUpShutDownAndStartUpAgain)
{
    const auto before = resolution();
    RegisterPictureFormats();
    const auto first = resolution();
    const size_t registrations = gfx::TPicture::FileFormats().size();
    EXPECT_EQ(gfx::TPicture::FindGraphicClass("png"), &png::TPNGObject::ClassInfo);
    EXPECT_EQ(gfx::TPicture::FindGraphicClass("gif"), &TGIFImage::ClassInfo);
    EXPECT_EQ(gfx::TPicture::FindGraphicClass("ico"), &TIconGraphic::ClassInfo);
    EXPECT_EQ(gfx::TPicture::FindGraphicClass("JPE"), &gfx::TJPEGImage::ClassInfo);
    EXPECT_EQ(gfx::TPicture::FindGraphicClass("dib"), &gfx::TBitmap::ClassInfo);
    EXPECT_EQ(descriptionOf("bmp"), "Windows bitmaps");
    EXPECT_EQ(descriptionOf("jpeg"), "JPEG images");
    EXPECT_EQ(descriptionOf("dib"), "Device independant Windows bitmaps");
    EXPECT_EQ(gfx::TPicture::FindGraphicClass("emf"), &gfx::TMetafile::ClassInfo);
    EXPECT_EQ(descriptionOf("wmf"), "Windows metafiles");
    EXPECT_EQ(descriptionOf("emf"), "Windows enhanced meta files");
    ASSERT_NE(FileFormatList(), nullptr);

    UnregisterPictureFormats();
    EXPECT_EQ(FileFormatList(), nullptr);
    EXPECT_EQ(resolution(), before);
    EXPECT_EQ(gfx::TPicture::FindGraphicClass("jpg"), &gfx::TJPEGImage::ClassInfo);

    RegisterPictureFormats();
    EXPECT_EQ(resolution(), first);
    EXPECT_EQ(gfx::TPicture::FileFormats().size(), registrations);
    UnregisterPictureFormats();
}

TEST(PictureFormats, LoadsTheFirstImageOfAnIcon)
{
    if (!haveProgram("convert"))
        GTEST_SKIP() << "ImageMagick is needed";
    TempDir dir;
    // A 16-colour icon (the general reader) and a 32-bit one (the 32-bit decoder).
    ASSERT_EQ(runCommand("convert", {"-size", "16x16", "xc:red", "-type", "palette", "-colors", "16",
                                     "BMP3:" + dir.file("red.bmp")}).exitCode, 0);
    ASSERT_EQ(runCommand("convert", {dir.file("red.bmp"), dir.file("red.ico")}).exitCode, 0);
    ASSERT_EQ(runCommand("convert", {"-size", "24x20", "xc:blue", "-alpha", "on", dir.file("blue.ico")}).exitCode, 0);
    const Registered registered;
    gfx::TPicture picture;
    picture.LoadFromFile(dir.file("red.ico"));
    ASSERT_EQ(picture.Width(), 16);
    EXPECT_EQ(picture.Bitmap().PixelColor(5, 5), gfx::RGB(255, 0, 0));
    picture.LoadFromFile(dir.file("blue.ico"));
    ASSERT_EQ(picture.Width(), 24);
    EXPECT_EQ(picture.Bitmap().PixelColor(3, 17), gfx::RGB(0, 0, 255));
    writeFile(dir.file("bad.ico"), std::string("\0\0\1\0\1\0", 6) + std::string(16, '\0'));
    EXPECT_THROW(picture.LoadFromFile(dir.file("bad.ico")), gfx::EInvalidGraphic);
    EXPECT_EQ(picture.Width(), 24);
}

namespace {

// A reader of a made-up format: "TEST", width and height bytes, then grey rows.
class TTestGraphic : public TFormatGraphic {
public:
    bool ReadImageProperties(rtl::TStream& Stream, uint32_t ImageIndex) override
    {
        TFormatGraphic::ReadImageProperties(Stream, ImageIndex);
        uint8_t h[6] = {};
        if (Stream.Read(h, 6) != 6 || std::string(reinterpret_cast<char*>(h), 4) != "TEST")
            return false;
        ImageProperties.Width = h[4];
        ImageProperties.Height = h[5];
        return true;
    }
    void LoadFromStream(rtl::TStream& Stream) override
    {
        if (!BeginLoad(Stream, "TEST"))
            return;
        Stream.Seek(6, rtl::soCurrent);
        ProgressStart(stageLoadingData);
        for (uint32_t y = 0; y < ImageProperties.Height; ++y)
            ProgressRow(y);
        ProgressEnd();
    }
};

}  // namespace

TEST(FormatGraphic, LoadFrameReportsProgressAndErrors)
{
    TTestGraphic g;
    EXPECT_FALSE(g.CanLoad(sourceDir() + "/README.md"));
    EXPECT_THROW(g.CanLoad("/nonexistent/picture.tst"), rtl::EFOpenError);
    std::vector<std::string> log;
    g.OnProgress = [&](gfx::TGraphic&, gfx::TProgressStage stage, int percent, bool, const gfx::TRect& r,
                       const std::string& msg) {
        log.push_back(std::to_string(stage) + " " + std::to_string(percent) + " " + std::to_string(r.Top) + " " +
                      std::to_string(r.Right) + " " + msg);
    };
    rtl::TMemoryStream good({'x', 'T', 'E', 'S', 'T', 7, 4});
    good.SetPosition(1);
    g.LoadFromStream(good);
    EXPECT_EQ(g.BasePosition, 1u);
    const std::vector<std::string> expected = {"0 0 0 7 Loading data...", "1 0 0 7 ", "1 25 1 7 ", "1 50 2 7 ",
                                               "1 75 3 7 ", "2 0 4 7 "};
    EXPECT_EQ(log, expected);

    TTestGraphic copy;
    copy.Assign(g);
    EXPECT_EQ(copy.ImageProperties.Width, 7u);

    rtl::TMemoryStream bad({'T', 'E', 'S', 'X', 1, 1});
    EXPECT_EQ(errorOf([&] { g.LoadFromStream(bad); }), "Cannot load image. Invalid or unexpected TEST image format.");
    EXPECT_EQ(g.ImageProperties.FileGamma, 1.0f);
    EXPECT_EQ(g.ImageProperties.Width, 0u);
}

TEST(FormatRoutines, PredictorsUpsamplingAndSwapsStayInTheirRows)
{
    std::vector<uint8_t> row = {10, 20, 30, 1, 2, 3, 250, 10, 0};
    auto one = row;
    ApplyPredictor3(one, 0);  // width 1
    EXPECT_EQ(one, row);
    ApplyPredictor3(one, -1);  // width 0
    EXPECT_EQ(one, row);
    ApplyPredictor3(one, 2);
    EXPECT_EQ(one, (std::vector<uint8_t>{10, 20, 30, 11, 22, 33, 5, 32, 33}));
    auto four = row;
    ApplyPredictor4(std::span<uint8_t>(four).first(6), 100);  // counts past the row stop at its end
    EXPECT_EQ(four, (std::vector<uint8_t>{10, 20, 30, 1, 12, 23, 250, 10, 0}));
    auto single = row;
    ApplyPredictor1(single, 3);
    EXPECT_EQ(single, (std::vector<uint8_t>{10, 30, 60, 61, 2, 3, 250, 10, 0}));

    const int S = 5;
    std::vector<uint8_t> plane(S * 4, 0xEE);
    plane[0] = 10, plane[1] = 20, plane[S] = 30, plane[S + 1] = 40;
    const auto untouched = plane;
    EXPECT_FALSE(Upsample(2, 0, S, plane));
    EXPECT_FALSE(Upsample(0, 2, S, plane));
    EXPECT_FALSE(Upsample(2, 2, 3, plane));
    EXPECT_FALSE(Upsample(2, 2, S, std::span<uint8_t>(plane).first(S * 3 + 3)));
    EXPECT_EQ(plane, untouched);
    ASSERT_TRUE(Upsample(2, 2, S, plane));
    const std::vector<std::vector<uint8_t>> rows = {{10, 15, 20, 20}, {20, 25, 30, 30}, {30, 35, 40, 40}, {30, 35, 40, 40}};
    for (int y = 0; y < 4; ++y) {
        EXPECT_EQ(std::vector<uint8_t>(plane.begin() + y * S, plane.begin() + y * S + 4), rows[size_t(y)]) << y;
        EXPECT_EQ(plane[size_t(y * S + 4)], 0xEE);
    }

    std::vector<uint8_t> bytes = {1, 2, 3, 4, 5, 6, 7};
    SwapShorts(bytes, 10);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{2, 1, 4, 3, 6, 5, 7}));
    SwapLongs(bytes, 10);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{3, 4, 1, 2, 6, 5, 7}));
    EXPECT_EQ(SwapLong(0x11223344u), 0x44332211u);
    EXPECT_EQ(errorOf([] { FormatErrorFmt(msgUnsupportedFeature, {msgCompressionScheme, "PSD"}); }),
              "Cannot load image. The compression scheme is not supported for PSD files.");
}
