// The memory bitmap: colour packing, drawing and blits against hand-computed pixels, and its
// TGA/BMP files checked against ImageMagick and netpbm.
#include "bitmap64/Bitmap64.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "support/TestSupport.h"

using namespace bitmap64;
using testsupport::runCommand;
using testsupport::TempDir;

namespace {

// The pixels another program decodes from a picture file: width, height, 8-bit RGB triples.
struct Rgb8 {
    int w = 0, h = 0;
    std::string rgb;
    TRGB at(int x, int y) const
    {
        size_t i = (size_t(y) * w + x) * 3;
        return {uint8_t(rgb[i]), uint8_t(rgb[i + 1]), uint8_t(rgb[i + 2])};
    }
};

Rgb8 magickPixels(const std::string& path)
{
    Rgb8 r;
    auto size = runCommand("identify", {"-format", "%w %h", path});
    EXPECT_EQ(sscanf(size.out.c_str(), "%d %d", &r.w, &r.h), 2) << path;
    r.rgb = runCommand("convert", {path, "-auto-orient", "-depth", "8", "rgb:-"}).out;
    EXPECT_EQ(r.rgb.size(), size_t(r.w) * r.h * 3) << path;
    return r;
}

Rgb8 ppmPixels(const std::string& ppm)
{
    Rgb8 r;
    int maxval = 0, used = 0;
    EXPECT_EQ(sscanf(ppm.c_str(), "P6 %d %d %d%n", &r.w, &r.h, &maxval, &used), 3);
    r.rgb = ppm.substr(size_t(used) + 1);
    for (char& c : r.rgb)
        c = char((uint8_t(c) * 255 + maxval / 2) / maxval);
    EXPECT_EQ(r.rgb.size(), size_t(r.w) * r.h * 3);
    return r;
}

// A w x h picture of varied colours, as a PPM file.
std::string makePpm(const TempDir& dir, int w, int h)
{
    std::string ppm = "P6 " + std::to_string(w) + " " + std::to_string(h) + " 255\n";
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            ppm += {char(37 * x + 91 * y), char(200 - 53 * x + 7 * y), char(17 + 71 * y * x)};
    std::string path = dir.file("src" + std::to_string(w) + "x" + std::to_string(h) + ".ppm");
    testsupport::writeFile(path, ppm);
    return path;
}

// Every pixel of `b` equals what the other reader saw, packed at b's depth.
void expectSamePixels(const TBitmap64& b, const Rgb8& ref, const std::string& what)
{
    ASSERT_EQ(b.Width(), ref.w) << what;
    ASSERT_EQ(b.Height(), ref.h) << what;
    for (int y = 0; y < ref.h; ++y)
        for (int x = 0; x < ref.w; ++x) {
            TRGB c = ref.at(x, y);
            ASSERT_EQ(b.GetPixel(x, y), b.MakeColor(c.r, c.g, c.b)) << what << " at " << x << "," << y;
        }
}

}  // namespace

TEST(Bitmap64, ColourPackingAtEachDepth)
{
    TBitmap64 b15(1, 1, 15), b16(1, 1, 16), b32(1, 1, 32), b8(1, 1, 8);
    EXPECT_EQ(b15.MakeColor(255, 255, 255), 0x7FFFu);
    EXPECT_EQ(b15.ColorToRGB(0x7FFF), (TRGB{248, 248, 248}));
    EXPECT_EQ(b15.MakeColorFromTColor(0xFFFF00), 0x03FFu);
    EXPECT_EQ(b16.MakeColor(255, 4, 8), 0xF821u);
    EXPECT_EQ(b16.ColorToRGB(0xF821), (TRGB{248, 4, 8}));
    EXPECT_EQ(b32.MakeColorFromTColor(gfx::RGB(1, 2, 3)), 0x010203u);
    EXPECT_EQ(b8.MakeColor(255, 255, 255), 0u);  // no palette yet
    std::vector<uint8_t> pal(768, 0);
    pal[5 * 3] = 200, pal[5 * 3 + 1] = 100, pal[5 * 3 + 2] = 50;  // blue, green, red
    pal[6 * 3] = 200, pal[6 * 3 + 1] = 100, pal[6 * 3 + 2] = 50;  // a later equal entry
    b8.SetPalette(pal);
    EXPECT_EQ(b8.MakeColor(52, 99, 201), 5u);
    EXPECT_EQ(b8.MakeColor(255, 255, 255), 0u);  // farther than 10000 from every entry
    for (int bpp : {15, 16, 32}) {
        TBitmap64 b(2, 1, bpp);
        b.SetPixel(0, 0, b.MakeColor(10, 20, 30));
        b.SwapRedBlue();
        EXPECT_EQ(b.GetPixel(0, 0), b.MakeColor(30, 20, 10)) << bpp;
    }
}

TEST(Bitmap64, PixelsLinesAndClipping)
{
    TBitmap64 b(4, 3, 15);
    b.SetPixel(-1, 0, 0x7FFF);
    b.SetPixel(4, 0, 0x7FFF);
    EXPECT_EQ(b.GetPixel(9, 9), 0u);
    b.BlendPixel(0, 0, 0x7FFF);
    EXPECT_EQ(b.GetPixel(0, 0), 0x3DEFu);  // white on black
    b.HLine(10, 1, 0x1F, -10);  // reversed and clipped at both ends
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(b.GetPixel(x, 1), 0x1Fu);
    b.VLine(3, 5, 0x3E0, -5);
    EXPECT_EQ(b.GetPixel(3, 0), 0x3E0u);
    EXPECT_EQ(b.GetPixel(3, 2), 0x3E0u);
    b.FillRect(2, 2, 0x7C00, -3, 9);
    EXPECT_EQ(b.GetPixel(0, 2), 0x7C00u);
    EXPECT_EQ(b.GetPixel(2, 2), 0x7C00u);
    EXPECT_EQ(b.GetPixel(3, 2), 0x3E0u);
    TBitmap64 l(5, 5, 32);
    l.Line(0, 0, 1, 4, 2);
    for (auto [x, y] : {std::pair{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}})
        EXPECT_EQ(l.GetPixel(x, y), 1u) << x << "," << y;
    TBitmap64 e(7, 7, 32);
    e.Circle(3, 3, 1, 3);
    for (auto [x, y] : {std::pair{0, 3}, {6, 3}, {3, 0}, {3, 6}})
        EXPECT_EQ(e.GetPixel(x, y), 1u) << x << "," << y;
    EXPECT_EQ(e.GetPixel(3, 3), 0u);
    EXPECT_EQ(e.GetPixel(0, 0), 0u);
}

TEST(Bitmap64, BlitsClipAtEachEdge)
{
    TBitmap64 src(2, 2, 15);
    src.SetPixel(0, 0, 0x7C00), src.SetPixel(1, 0, 0x03E0), src.SetPixel(0, 1, 0x001F), src.SetPixel(1, 1, 0x7FFF);
    struct Case {
        int x, y, dx, dy, sx, sy;  // one destination pixel that the source pixel (sx, sy) covers
    };
    for (Case c : {Case{-1, 0, 0, 0, 1, 0}, {2, 0, 2, 0, 0, 0}, {0, -1, 0, 0, 0, 1}, {0, 2, 0, 2, 0, 0}}) {
        TBitmap64 dst(3, 3, 15);
        dst.Draw(c.x, c.y, src);
        EXPECT_EQ(dst.GetPixel(c.dx, c.dy), src.GetPixel(c.sx, c.sy)) << c.x << "," << c.y;
    }
    TBitmap64 dst(2, 2, 15);
    dst.FillRect(0, 0, 0x7FFF, 1, 1);
    src.Transparent = true;
    src.TransparentColor = 0x7C00;
    dst.Draw(0, 0, src);
    EXPECT_EQ(dst.GetPixel(0, 0), 0x7FFFu);  // skipped
    EXPECT_EQ(dst.GetPixel(1, 0), 0x03E0u);
    dst.FillRect(0, 0, 0x0421, 1, 1);  // 1, 1, 1
    dst.DrawAdd(0, 0, 1.0, 0.5, 1.0, src);
    EXPECT_EQ(dst.GetPixel(0, 0), 0x0421u);                      // transparent: untouched
    EXPECT_EQ(dst.GetPixel(1, 0), (1u << 10) | (16u << 5) | 1u);  // green 1 + 31/2
    EXPECT_EQ(dst.GetPixel(1, 1), (31u << 10) | (16u << 5) | 31u);  // red and blue limited
    dst.FillRect(0, 0, 0x7FFF, 1, 1);
    dst.DrawLens(0, 0, src);
    EXPECT_EQ(dst.GetPixel(0, 1), 0x3DEFu + 0x000Fu);  // even mix of white and blue
    dst.FillRect(0, 0, 0x7FFF, 1, 1);
    dst.DrawBlend(0, 0, 1.0, 1.0, src);
    EXPECT_EQ(dst.GetPixel(0, 1), 0x7FFFu);
    dst.DrawGray(0, 0, src);
    TRGB g = dst.ColorToRGB(dst.GetPixel(0, 1));
    EXPECT_TRUE(g.r == g.g && g.g == g.b && g.r > 0 && g.r < 64);
    EXPECT_THROW(dst.Draw(0, 0, TBitmap64(1, 1, 16)), std::runtime_error);
    EXPECT_THROW(dst.DrawLens(0, 0, TBitmap64(1, 1, 32)), std::runtime_error);
}

TEST(Bitmap64, ScreenRowsFollowThePaddedBackingBitmap)
{
    EXPECT_THROW(TScreen64(2, 2, 24), std::runtime_error);
    QImage target(5, 3, QImage::Format_RGB32);
    target.fill(Qt::black);
    gfx::TCanvas canvas(&target);
    TScreen64 s(&canvas, 3, 3, 15);  // 6 bytes a row, padded to 8
    ASSERT_EQ(s.Bitmap().BytesPerLine(), 8);
    s.Clear(s.MakeColor(0, 0, 255));
    s.SetPixel(2, 1, s.MakeColor(255, 0, 0));
    s.TBitmap64::Flip();  // upside down: row 1 stays
    EXPECT_EQ(s.Bitmap().PixelColor(2, 1), gfx::RGB(255, 0, 0));
    EXPECT_EQ(s.Bitmap().PixelColor(0, 2), gfx::RGB(0, 0, 255));
    s.Flip();
    EXPECT_EQ(QColor(target.pixel(2, 1)), QColor(255, 0, 0));
    EXPECT_EQ(QColor(target.pixel(4, 1)), QColor(0, 0, 0));
    rtl::TMemoryStream none;
    EXPECT_THROW(s.LoadFromTGA(none), std::runtime_error);
}

TEST(Bitmap64, SavedTgaReadByImageMagickAndNetpbm)
{
    TempDir dir;
    TBitmap64 two(2, 1, 15);
    two.SetPixel(0, 0, 0x1234), two.SetPixel(1, 0, 0x4321);
    rtl::TMemoryStream m;
    two.SaveToTGA(m);
    ASSERT_EQ(m.Size(), 22);
    EXPECT_EQ(m.Bytes()[18] | m.Bytes()[19] << 8, 0x1234);
    for (int bpp : {8, 15, 16, 24, 32}) {
        TBitmap64 b(3, 2, bpp);
        if (bpp == 8) {
            std::vector<uint8_t> pal(768);
            for (size_t i = 0; i < pal.size(); ++i)
                pal[i] = uint8_t(i * 7);
            b.SetPalette(pal);
        }
        const TRGB colours[6] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {8, 128, 248}, {255, 255, 255}, {40, 80, 160}};
        for (int i = 0; i < 6; ++i) {
            uint32_t c = b.MakeColor(colours[i].r, colours[i].g, colours[i].b);
            uint8_t* p = b.PixelAddress(i % 3, i / 3);
            for (int k = 0; k < b.BytesPerPixel(); ++k)
                p[k] = uint8_t(c >> (8 * k));
        }
        std::string path = dir.file("out" + std::to_string(bpp) + ".tga");
        b.SaveToTGA(path);
        Rgb8 im = magickPixels(path);
        Rgb8 pbm = ppmPixels(runCommand("tgatoppm", {path}).out);
        for (int i = 0; i < 6; ++i) {
            uint32_t c = bpp == 24 ? 0 : b.GetPixel(i % 3, i / 3);
            TRGB want = bpp == 24 ? colours[i] : b.ColorToRGB(c);
            if (bpp == 8)
                want = {b.Palette()[c * 3 + 2], b.Palette()[c * 3 + 1], b.Palette()[c * 3]};
            for (const Rgb8* r : {&im, &pbm}) {
                TRGB got = r->at(i % 3, i / 3);
                EXPECT_EQ((TRGB{uint8_t(got.r >> 3), uint8_t(got.g >> 3), uint8_t(got.b >> 3)}),
                          (TRGB{uint8_t(want.r >> 3), uint8_t(want.g >> 3), uint8_t(want.b >> 3)}))
                    << bpp << " pixel " << i << (r == &im ? " ImageMagick" : " tgatoppm");
            }
        }
    }
}

TEST(Bitmap64, LoadsTgaAndBmpFilesOfOtherProgramsPixelForPixel)
{
    TempDir dir;
    for (int w = 1; w <= 5; ++w) {
        std::string ppm = makePpm(dir, w, 3);
        struct File {
            std::string name;
            std::vector<std::string> options;
            int bpp;  // the bitmap it is loaded into
        };
        std::vector<File> files = {
            {"plain.tga", {"-compress", "None"}, 32},
            {"topleft.tga", {"-compress", "None", "-orient", "TopLeft"}, 15},
            {"comment.tga", {"-compress", "None", "-set", "comment", "made here"}, 16},
            {"alpha.tga", {"-compress", "None", "-alpha", "on"}, 15},
            {"five.tga", {"-compress", "None", "-depth", "5"}, 15},
            {"b24.bmp", {"-type", "TrueColor"}, 32},
            {"b24top.bmp", {"-type", "TrueColor", "-define", "bmp:top-down=true"}, 16},
            {"b555.bmp", {"-define", "bmp:subtype=RGB555"}, 15},
            {"b32.bmp", {"-alpha", "on", "-define", "bmp3:alpha=true"}, 32},
        };
        for (const File& f : files) {
            std::string path = dir.file(std::to_string(w) + f.name);
            std::vector<std::string> args = {ppm};
            args.insert(args.end(), f.options.begin(), f.options.end());
            args.push_back((f.name.ends_with(".bmp") && f.name != "b555.bmp" ? "bmp3:" : "") + path);
            ASSERT_EQ(runCommand("convert", args).exitCode, 0) << f.name;
            TBitmap64 b(0, 0, f.bpp);
            if (f.name.ends_with(".tga"))
                b.LoadFromTGA(path);
            else
                b.LoadFromBMP(path);
            expectSamePixels(b, magickPixels(path), std::to_string(w) + f.name);
        }
        std::string pbm = dir.file(std::to_string(w) + "netpbm.tga");
        // ppmtotga takes the file's path for the image identifier, whose length is the first
        // byte: a path of 40 characters makes ImageMagick take the file for a DIB. A name of our
        // own keeps the identifier, whatever the temporary folder is called.
        testsupport::writeFile(pbm, runCommand("ppmtotga", {"-rgb", "-norle", "-name=netpbm", ppm}).out);
        TBitmap64 b(0, 0, 32);
        b.LoadFromTGA(pbm);
        expectSamePixels(b, magickPixels(pbm), std::to_string(w) + "netpbm.tga");
    }
}

TEST(Bitmap64, BadFilesRaiseAndLeaveTheBitmapAlone)
{
    TempDir dir;
    std::string ppm = makePpm(dir, 3, 2);
    TBitmap64 b(2, 2, 15);
    b.SetPixel(1, 1, 0x1234);
    auto expectUnchanged = [&](const std::string& what) {
        EXPECT_EQ(b.Width(), 2) << what;
        EXPECT_EQ(b.GetPixel(1, 1), 0x1234u) << what;
    };
    // Types other than uncompressed true colour: palette, grey, and the three RLE forms.
    for (std::vector<std::string> o : {std::vector<std::string>{"-type", "Palette", "-compress", "None"},
                                       {"-type", "Grayscale", "-compress", "None"},
                                       {"-type", "Palette", "-compress", "RLE"},
                                       {"-compress", "RLE"},
                                       {"-type", "Grayscale", "-compress", "RLE"}}) {
        std::string path = dir.file("other.tga");
        o.insert(o.begin(), ppm);
        o.push_back(path);
        ASSERT_EQ(runCommand("convert", o).exitCode, 0);
        EXPECT_THROW(b.LoadFromTGA(path), EInOutError) << o[2];
        expectUnchanged(o[2]);
    }
    std::vector<uint8_t> good(18 + 2 * 2 * 2, 0);
    good[2] = 2, good[12] = 2, good[14] = 2, good[16] = 16;
    struct Bad {
        const char* what;
        size_t at;
        uint8_t value;
        size_t keep;
    };
    for (Bad c : {Bad{"truncated", 0, 0, 20}, {"zero width", 12, 0, 0}, {"depth 12", 16, 12, 0},
                  {"id past the end", 0, 255, 0}, {"huge", 13, 0xFF, 0}, {"header only", 0, 0, 10}}) {
        std::vector<uint8_t> d = good;
        d[c.at] = c.value;
        if (c.keep)
            d.resize(c.keep);
        rtl::TMemoryStream s(d);
        EXPECT_THROW(b.LoadFromTGA(s), EInOutError) << c.what;
        expectUnchanged(c.what);
    }
    std::string bmp = dir.file("a.bmp");
    ASSERT_EQ(runCommand("convert", {ppm, "-type", "TrueColor", "bmp3:" + bmp}).exitCode, 0);
    std::string bytes = testsupport::readFile(bmp);
    for (auto [at, value] : {std::pair{10, 0xF0}, {18, 0}, {28, 4}, {30, 1}, {22, 0x7F}}) {
        std::string bad = bytes;
        bad[size_t(at)] = char(value);
        rtl::TMemoryStream s(std::vector<uint8_t>(bad.begin(), bad.end()));
        EXPECT_THROW(b.LoadFromBMP(s), EInOutError) << at;
        expectUnchanged("bmp " + std::to_string(at));
    }
    b.LoadFromBMP(dir.file("missing.bmp"));
    expectUnchanged("missing bmp");
    std::vector<uint8_t> raw(32 + 2 * 1 * 2, 0);
    raw[4] = 2, raw[8] = 1, raw[32] = 0x34, raw[33] = 0x12;
    rtl::TMemoryStream rawTruncated(std::vector<uint8_t>(raw.begin(), raw.end() - 1));
    EXPECT_THROW(b.LoadRaw(rawTruncated), EInOutError);
    expectUnchanged("raw");
    rtl::TMemoryStream rawGood(raw);
    b.LoadRaw(rawGood);
    EXPECT_EQ(b.Width(), 2);
    EXPECT_EQ(b.GetPixel(0, 0), 0x1234u);
}

TEST(Bitmap64, FailedSaveLeavesBitmapAndFolderUnchanged)
{
    TempDir dir;
    TBitmap64 b(3, 2, 15);
    b.SetPixel(0, 0, 0x7C00);
    std::string locked = dir.file("locked");
    std::filesystem::create_directory(locked);
    chmod(locked.c_str(), 0555);
    // root writes into read-only folders: a folder that is a plain file fails for everyone.
    std::string target = access(locked.c_str(), W_OK) == 0 ? dir.file("plain") + "/x.tga" : locked + "/x.tga";
    testsupport::writeFile(dir.file("plain"), "x");
    EXPECT_THROW(b.SaveToTGA(target), EInOutError);
    EXPECT_EQ(b.GetPixel(0, 0), 0x7C00u);
    EXPECT_TRUE(std::filesystem::is_empty(locked));
    chmod(locked.c_str(), 0755);
}
