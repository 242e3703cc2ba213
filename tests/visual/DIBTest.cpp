// Device-independent bitmaps: files made by ImageMagick and netpbm read as ImageMagick reads
// them, our files read back by ImageMagick, copy on write, shared palettes, bad input.
#include <gtest/gtest.h>

#include <cstring>

#include <QClipboard>
#include <QGuiApplication>

#include "support/TestSupport.h"
#include "platform/gfx/Bitmap.h"
#include "platform/rtl/Streams.h"
#include "visual/DIB.h"

using namespace visual;
using namespace testsupport;

namespace {

// ImageMagick's decode of a file: width, height and RGB bytes.
struct Rgb {
    int w = 0, h = 0;
    std::string bytes;
};

Rgb Decode(const std::string& path)
{
    auto size = runCommand("identify", {"-format", "%w %h", path});
    Rgb out;
    EXPECT_EQ(size.exitCode, 0) << size.err;
    std::sscanf(size.out.c_str(), "%d %d", &out.w, &out.h);
    auto rgb = runCommand("convert", {path, "-depth", "8", "rgb:-"});
    EXPECT_EQ(rgb.exitCode, 0) << rgb.err;
    out.bytes = rgb.out;
    return out;
}

Rgb OurDecode(const TDIB& dib)
{
    const QImage img = dib.ToImage().convertToFormat(QImage::Format_RGB32);
    Rgb out{img.width(), img.height(), {}};
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QRgb p = img.pixel(x, y);
            out.bytes += char(qRed(p));
            out.bytes += char(qGreen(p));
            out.bytes += char(qBlue(p));
        }
    return out;
}

int MaxDiff(const Rgb& a, const Rgb& b)
{
    if (a.w != b.w || a.h != b.h || a.bytes.size() != b.bytes.size())
        return 256;
    int d = 0;
    for (size_t i = 0; i < a.bytes.size(); ++i)
        d = std::max(d, std::abs(int(uint8_t(a.bytes[i])) - int(uint8_t(b.bytes[i]))));
    return d;
}

void Load(TDIB& dib, const std::string& bytes)
{
    rtl::TMemoryStream s(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    dib.LoadFromStream(s);
}

std::string Save(TDIB& dib)
{
    rtl::TMemoryStream s;
    dib.SaveToStream(s);
    return std::string(s.Bytes().begin(), s.Bytes().end());
}

void Le(std::string& s, uint32_t v, int n)
{
    for (int i = 0; i < n; ++i)
        s += i < 4 ? char(v >> (8 * i)) : '\0';  // wider fields are zero-extended
}

// A BMP file with a 40-byte header, the given table and pixel bytes.
std::string Bmp(int32_t w, int32_t h, int bits, uint32_t compression,
                const std::string& extra, const std::string& pixels, uint32_t offBits = 0)
{
    std::string info;
    Le(info, 40, 4);
    Le(info, uint32_t(w), 4);
    Le(info, uint32_t(h), 4);
    Le(info, 1, 2);
    Le(info, uint32_t(bits), 2);
    Le(info, compression, 4);
    Le(info, uint32_t(pixels.size()), 4);
    Le(info, 0, 16);
    info += extra;
    std::string f = "BM";
    Le(f, uint32_t(14 + info.size() + pixels.size()), 4);
    Le(f, 0, 4);
    Le(f, offBits ? offBits : uint32_t(14 + info.size()), 4);
    return f + info + pixels;
}

std::string Grey256()
{
    std::string t;
    for (int i = 0; i < 256; ++i)
        t += std::string{char(i), char(i), char(i), 0};
    return t;
}

TEST(DIB, ReadsWhatImageMagickAndNetpbmWriteAsImageMagickDoes)
{
    if (!haveProgram("convert") || !haveProgram("identify"))
        GTEST_SKIP() << "ImageMagick missing";
    TempDir dir;
    const std::string src = dir.file("src.ppm");
    ASSERT_EQ(runCommand("convert", {"-size", "13x7", "gradient:red-blue", "-fill", "lime",
                                     "-draw", "point 3,2", src}).exitCode, 0);
    struct Case {
        const char* name;
        std::vector<std::string> args;  // between source and target
        const char* prefix;
    } cases[] = {
        {"24 bits", {}, "BMP3:"},
        {"32 bits", {"-alpha", "on", "-define", "bmp3:alpha=true"}, "BMP3:"},
        {"8 bits", {"-colors", "200", "-type", "Palette"}, "BMP3:"},
        {"4 bits", {"-colors", "16"}, "BMP3:"},
        {"1 bit", {"-monochrome"}, "BMP3:"},
        {"RLE8", {"-colors", "100", "-compress", "RLE"}, "BMP3:"},
        {"OS/2", {}, "BMP2:"},
        {"OS/2 palette", {"-colors", "16"}, "BMP2:"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string bmp = dir.file("x.bmp");
        std::vector<std::string> args{src};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.push_back(std::string(c.prefix) + bmp);
        ASSERT_EQ(runCommand("convert", args).exitCode, 0);
        TDIB dib;
        Load(dib, readFile(bmp));
        EXPECT_EQ(MaxDiff(OurDecode(dib), Decode(bmp)), 0);
    }
    if (haveProgram("ppmtobmp")) {
        const std::string bmp = dir.file("os2.bmp");
        auto r = runCommand("ppmtobmp", {"-os2", src});
        ASSERT_EQ(r.exitCode, 0);
        writeFile(bmp, r.out);
        TDIB os2, windows;
        Load(os2, r.out);
        Load(windows, runCommand("ppmtobmp", {"-windows", src}).out);
        EXPECT_EQ(MaxDiff(OurDecode(os2), Decode(bmp)), 0);
        EXPECT_EQ(OurDecode(os2).bytes, OurDecode(windows).bytes);
    }
}

TEST(DIB, ImageMagickReadsWhatWeWrite)
{
    if (!haveProgram("convert") || !haveProgram("identify"))
        GTEST_SKIP() << "ImageMagick missing";
    TempDir dir;
    struct Case {
        int bits;
        TDIBChannelFormat format;
    } cases[] = {{1, FormatFromBitCounts(8, 8, 8)}, {4, FormatFromBitCounts(8, 8, 8)},
                 {8, FormatFromBitCounts(8, 8, 8)}, {16, FormatFromBitCounts(5, 6, 5)},
                 {16, FormatFromBitCounts(5, 5, 5)}, {24, FormatFromBitCounts(8, 8, 8)},
                 {32, FormatFromBitCounts(8, 8, 8)}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bits);
        TDIB dib;
        TRGBQuads table = GreyscaleColorTable();
        table[1] = MakeRGBQuad(255, 0, 0);
        dib.SetColorTable(table);
        dib.NewImageFormat = c.format;
        dib.SetSize(11, 5, c.bits);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 11; ++x)
                dib.SetPixel(x, y, uint32_t(x * 977 + y * 131071) ^ 0x5A5A5A);
        const std::string path = dir.file("ours.bmp");
        writeFile(path, Save(dib));
        EXPECT_EQ(MaxDiff(OurDecode(dib), Decode(path)), 0);
        TDIB back;
        Load(back, readFile(path));
        EXPECT_EQ(OurDecode(back).bytes, OurDecode(dib).bytes);
    }
}

TEST(DIB, HandMadeFilesAndEdgeCases)
{
    TDIB dib;
    dib.SetSize(3, 2, 24);
    EXPECT_EQ(dib.RowBytes(), 12);
    EXPECT_EQ(dib.Size(), 24);
    dib.SetSize(3, 2, 1);
    EXPECT_EQ(dib.RowBytes(), 4);

    // Top-down 8-bit file: loads upright, saves bottom-up with a positive height.
    std::string px = std::string("\x01\x02\x00\x00", 4) + std::string("\x03\x04\x00\x00", 4);
    Load(dib, Bmp(2, -2, 8, 0, Grey256(), px));
    EXPECT_EQ(dib.ConstScanLine(0)[0], 1);
    EXPECT_EQ(dib.ConstScanLine(1)[1], 4);
    const std::string saved = Save(dib);
    EXPECT_EQ(int32_t(uint8_t(saved[22]) | uint8_t(saved[23]) << 8), 2);
    EXPECT_EQ(saved.substr(saved.size() - 8, 1), "\x03");

    // RLE8: a delta (0, 2, 3, 1) moves three right and one row on; runs stop at the edge.
    const std::string rle = std::string("\x02\x07\x00\x02\x03\x01\x09\x05\x00\x01", 10);
    Load(dib, Bmp(6, 3, 8, 1, Grey256(), rle));
    EXPECT_EQ(dib.ConstScanLine(2)[0], 7);  // the first file row is the bottom one
    EXPECT_EQ(dib.ConstScanLine(2)[1], 7);
    EXPECT_EQ(dib.ConstScanLine(1)[4], 0);
    EXPECT_EQ(dib.ConstScanLine(1)[5], 5);

    // Bit fields with a gap before the pixels that bfOffBits points past.
    std::string masks;
    Le(masks, 0xF800, 4);
    Le(masks, 0x07E0, 4);
    Le(masks, 0x001F, 4);
    Load(dib, Bmp(1, 1, 16, 3, masks + "GAP!", std::string("\x1F\x00\x00\x00", 4), 14 + 40 + 16));
    EXPECT_EQ(dib.PixelFormat(), FormatFromBitCounts(5, 6, 5));
    EXPECT_EQ(dib.ConstScanLine(0)[0], 0x1F);

    // Saving an empty DIB writes nothing; copies share until one changes.
    TDIB empty;
    EXPECT_EQ(Save(empty), "");
    TDIB copy;
    copy.Assign(dib);
    EXPECT_EQ(copy.Image(), dib.Image());
    copy.SetPixel(0, 0, 0x1234);
    EXPECT_NE(copy.Image(), dib.Image());
    EXPECT_EQ(dib.ConstScanLine(0)[0], 0x1F);

    // Equal 16-colour tables share one palette handle.
    TDIB a, b;
    for (TDIB* d : {&a, &b}) {
        TRGBQuads t{};
        t[3] = MakeRGBQuad(1, 2, 3);
        d->SetColorTable(t);
        d->SetSize(2, 2, 4);
    }
    EXPECT_NE(a.GetPalette(), nullptr);
    EXPECT_EQ(a.GetPalette(), b.GetPalette());

    // The clipboard pair.
    if (QClipboard* clip = QGuiApplication::clipboard()) {
        dib.SaveToClipboardFormat(*clip);
        TDIB pasted;
        pasted.LoadFromClipboardFormat(*clip);
        EXPECT_EQ(OurDecode(pasted).bytes, OurDecode(dib).bytes);
    }
}

TEST(DIB, BadInputRaisesAndLeavesThePictureAsItWas)
{
    TDIB dib;
    dib.SetSize(2, 2, 24);
    dib.SetPixel(1, 1, 0xABCDEF);
    const std::string before = Save(dib);
    std::string masks0(12, '\0');
    const std::string bad[] = {
        "BM",                                                               // short header
        "XX" + std::string(60, '\0'),                                       // not BM
        Bmp(2, 2, 24, 0, "", std::string(10, 'x')),                         // short pixels
        Bmp(0, 2, 24, 0, "", ""),                                           // no width
        Bmp(70000, 2, 24, 0, "", ""),                                       // too wide
        Bmp(0x40000000, 0x40000000, 32, 0, "", ""),                         // overflow
        Bmp(2, 2, 16, 3, masks0, std::string(8, 'x')),                      // zero masks
        Bmp(2, 2, 16, 3, std::string(12, '\xFF'), std::string(8, 'x')),    // masks of all 32 bits
        Bmp(4, 4, 8, 1, Grey256(), std::string("\x00\x03\x01", 3)),         // RLE cut short
        Bmp(2, 2, 24, 7, "", std::string(16, 'x')),                         // compression 7
        Bmp(2, 2, 24, 0, "", std::string(16, 'x'), 4000),                   // offset past end
    };
    for (const std::string& b : bad) {
        SCOPED_TRACE(b.size());
        try {
            Load(dib, b);
            ADD_FAILURE() << "accepted";
        } catch (const std::exception&) {
        }
        EXPECT_EQ(Save(dib), before);
    }
    EXPECT_THROW(Load(dib, Bmp(2, 2, 24, 0, "", std::string(10, 'x'))), gfx::EInvalidGraphic);
}

}  // namespace
