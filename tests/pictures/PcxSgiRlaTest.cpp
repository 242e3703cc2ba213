// The PCX, Dr. Halo, SGI, Autodesk and RLA readers: files that ImageMagick and netpbm write,
// read to the same pixels as ImageMagick reads them; files that a script writes from the
// formats' layouts, read to the pixels it wrote; and damaged files, which give the readers'
// messages or an empty picture and nothing else.
#include "pictures/formats/CUTGraphic.h"
#include "pictures/formats/PCXGraphic.h"
#include "pictures/formats/AutodeskGraphic.h"
#include "pictures/formats/RLAGraphic.h"
#include "pictures/formats/SGIGraphic.h"
#include "PictureTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>

using namespace testsupport;
using namespace pngtest;

namespace {

std::string script() { return sourceDir() + "/tests/pictures/pcx_sgi_rla.py"; }

std::string sh(const std::string& command)
{
    const auto r = runCommand("sh", {"-c", command});
    EXPECT_EQ(r.exitCode, 0) << command << "\n" << r.err;
    return r.out;
}

// A 41 x 27 picture whose rows, columns and channels all differ, as a PPM with `colors`
// colours at most (0: as drawn).
std::string drawPpm(const TempDir& dir, const std::string& name, int colors)
{
    const std::string file = dir.file(name);
    std::string cmd = "convert -size 41x27 gradient:orange-navy -fill lime -draw 'rectangle 3,2 15,9' "
                      "-fill white -draw 'circle 30,18 30,24'";
    if (colors > 0)
        cmd += " +dither -colors " + std::to_string(colors);
    sh(cmd + " -depth 8 ppm:" + file);
    return file;
}

template <class Reader>
std::unique_ptr<Reader> load(const std::string& file)
{
    auto r = std::make_unique<Reader>();
    r->LoadFromFile(file);
    return r;
}

std::string errorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return {};
}

// The pixels the fixture script says the reader must show: "" when all match.
std::string matchesExpected(const gfx::TBitmap& b, const std::string& file, int tolerance = 0)
{
    const std::string e = readFile(file + ".expect");
    uint32_t w = 0, h = 0;
    std::memcpy(&w, e.data(), 4);
    std::memcpy(&h, e.data() + 4, 4);
    if (int(w) != b.Width() || int(h) != b.Height())
        return "size " + std::to_string(b.Width()) + "x" + std::to_string(b.Height());
    const bool alpha = b.PixelFormat() == gfx::pf32bit;
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            const auto* p = reinterpret_cast<const uint8_t*>(e.data()) + 8 + 4 * (y * w + x);
            const gfx::TColor c = b.PixelColor(int(x), int(y));
            const int got[4] = {gfx::GetRValue(c), gfx::GetGValue(c), gfx::GetBValue(c),
                                alpha ? b.ScanLine(int(y))[4 * x + 3] : 255};
            for (int k = 0; k < 4; ++k)
                if (std::abs(got[k] - p[k]) > tolerance)
                    return "pixel " + std::to_string(x) + "," + std::to_string(y) + " channel " + std::to_string(k) +
                           ": " + std::to_string(got[k]) + " not " + std::to_string(p[k]);
        }
    return {};
}

std::string le16(int v) { return std::string{char(v), char(v >> 8)}; }
std::string be16(int v) { return std::string{char(v >> 8), char(v)}; }

// A PCX header with the fields the tests vary; the rest zero.
std::string pcxHeader(int bits, int planes, int xmin, int xmax, int ymax, int bytesPerLine, int encoding = 0,
                      int version = 5, int paletteType = 1)
{
    std::string h(128, '\0');
    h[0] = 10, h[1] = char(version), h[2] = char(encoding), h[3] = char(bits);
    h.replace(4, 2, le16(xmin));
    h.replace(8, 2, le16(xmax));
    h.replace(10, 2, le16(ymax));
    for (int i = 0; i < 16; ++i)  // colour map: entry i = (16 i, 255 - 16 i, 8 i)
        h[16 + 3 * i] = char(16 * i), h[17 + 3 * i] = char(255 - 16 * i), h[18 + 3 * i] = char(8 * i);
    h[65] = char(planes);
    h.replace(66, 2, le16(bytesPerLine));
    h.replace(68, 2, le16(paletteType));
    return h;
}

std::string sgiHeader(int storage, int bpc, int dimension, int x, int y, int z)
{
    std::string h = be16(0x01DA) + char(storage) + char(bpc) + be16(dimension) + be16(x) + be16(y) + be16(z);
    return h + std::string(512 - h.size(), '\0');
}

}  // namespace

TEST(PcxRead, ImageMagickFilesReadAsImageMagickReadsThem)
{
    TempDir dir;
    const std::string full = drawPpm(dir, "full.ppm", 0), few = drawPpm(dir, "few.ppm", 200);
    struct Case {
        std::string source, options;
        gfx::TPixelFormat format;
    };
    for (const Case& c : {Case{few, "-type Palette -compress None", gfx::pf8bit},
                          Case{few, "-type Palette -compress RLE", gfx::pf8bit},
                          Case{full, "-type TrueColor -compress RLE", gfx::pf24bit},
                          Case{full, "-type TrueColor -compress None", gfx::pf24bit},
                          Case{full, "-type Bilevel", gfx::pf24bit}}) {
        SCOPED_TRACE(c.options);
        const std::string file = dir.file("im.pcx");
        sh("convert " + c.source + " " + c.options + " " + file);
        const auto pcx = load<TPCXGraphic>(file);
        EXPECT_EQ(pcx->PixelFormat(), c.format);
        EXPECT_EQ(differentPixels(file, *pcx), 0);
    }
}

TEST(PcxRead, NetpbmPlanesAndPackedPixelsReadAsImageMagickReadsThem)
{
    TempDir dir;
    struct Case {
        int colors;
        std::string options;
        int planes, bits;
        gfx::TPixelFormat format;
    };
    for (const Case& c : {Case{16, "", 4, 1, gfx::pf4bit}, Case{8, "", 3, 1, gfx::pf4bit},
                          Case{4, "", 2, 1, gfx::pf4bit}, Case{4, "-packed", 1, 2, gfx::pf4bit},
                          Case{16, "-packed", 1, 4, gfx::pf4bit}, Case{16, "-8bit", 1, 8, gfx::pf8bit},
                          Case{200, "", 1, 8, gfx::pf8bit}, Case{16, "-24bit", 3, 8, gfx::pf24bit},
                          Case{2, "", 1, 1, gfx::pf1bit}}) {
        SCOPED_TRACE(std::to_string(c.colors) + " colours " + c.options);
        const std::string ppm = drawPpm(dir, "p.ppm", c.colors), file = dir.file("n.pcx");
        sh("ppmtopcx " + c.options + " " + ppm + " > " + file);
        const std::string head = readFile(file);
        ASSERT_EQ(int(head[65]), c.planes);
        ASSERT_EQ(int(head[3]), c.bits);
        const auto pcx = load<TPCXGraphic>(file);
        EXPECT_EQ(pcx->PixelFormat(), c.format);
        if (c.bits == 1 && c.planes == 1) {
            // One bit is black and white, whatever the header's map holds.
            for (int i = 0; i < 2; ++i)
                EXPECT_EQ(pcx->Palette()[size_t(i)], i ? gfx::clWhite : gfx::clBlack);
            continue;
        }
        EXPECT_EQ(differentPixels(file, *pcx), 0);
    }
}

TEST(PcxRead, WindowPalettesAndDepthsOfHandMadeFiles)
{
    TempDir dir;
    // XMin 10 to XMax 19 is ten pixels; 2 bits a pixel widen to 4 with the header's colours.
    std::string twoBit = pcxHeader(2, 1, 10, 19, 1, 4);
    twoBit += std::string("\x1B\xE4\x00\x00", 4) + std::string("\xFF\xFF\x00\x00", 4);
    writeFile(dir.file("two.pcx"), twoBit);
    const auto two = load<TPCXGraphic>(dir.file("two.pcx"));
    ASSERT_EQ(two->Width(), 10);
    ASSERT_EQ(two->Height(), 2);
    EXPECT_EQ(two->PixelFormat(), gfx::pf4bit);
    const int indices[] = {0, 1, 2, 3, 3, 2, 1, 0};  // 0x1B, 0xE4
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(two->PixelColor(x, 0), gfx::RGB(16 * indices[x], 255 - 16 * indices[x], 8 * indices[x])) << x;
    EXPECT_EQ(two->PixelColor(0, 1), gfx::RGB(48, 255 - 48, 24));

    // 8 bits without a palette block: the format's own palette, and the last 769 bytes are
    // still picture (ten rows of 100).
    std::string plain = pcxHeader(8, 1, 0, 99, 9, 100);
    for (int i = 0; i < 1000; ++i)
        plain += char(i % 7 + 1);
    writeFile(dir.file("plain.pcx"), plain);
    const auto p8 = load<TPCXGraphic>(dir.file("plain.pcx"));
    ASSERT_EQ(p8->PixelFormat(), gfx::pf8bit);
    EXPECT_EQ(p8->Palette(), gfx::DefaultPalette(gfx::pf8bit));
    EXPECT_EQ(p8->ScanLine(9)[99], uint8_t(999 % 7 + 1));
    // PaletteType 2 without a block is grey.
    plain[68] = 2;
    writeFile(dir.file("grey.pcx"), plain);
    EXPECT_EQ(load<TPCXGraphic>(dir.file("grey.pcx"))->Palette()[200], gfx::RGB(200, 200, 200));
    // Version 3 carries no palette: the default one, not the header's.
    std::string v3 = pcxHeader(4, 1, 0, 1, 0, 1, 0, 3) + std::string(1, '\x12');
    writeFile(dir.file("v3.pcx"), v3);
    EXPECT_EQ(load<TPCXGraphic>(dir.file("v3.pcx"))->Palette(), gfx::DefaultPalette(gfx::pf4bit));

    // Four 1-bit planes: plane k is bit k of the index.
    std::string planes = pcxHeader(1, 4, 0, 7, 0, 1) + std::string("\x0F\x33\x55\xFF", 4);
    writeFile(dir.file("planes.pcx"), planes);
    const auto p4 = load<TPCXGraphic>(dir.file("planes.pcx"));
    const int want[] = {8, 12, 10, 14, 9, 13, 11, 15};
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(p4->PixelColor(x, 0), gfx::RGB(16 * want[x], 255 - 16 * want[x], 8 * want[x])) << x;

    rtl::TMemoryStream header(std::vector<uint8_t>(planes.begin(), planes.end()));
    EXPECT_TRUE(TPCXGraphic().CanLoad(header));
    EXPECT_EQ(header.Position(), 0);
    // Screen captures (maker 205) are offered as the load takes them.
    planes[0] = char(205);
    rtl::TMemoryStream capture(std::vector<uint8_t>(planes.begin(), planes.end()));
    EXPECT_TRUE(TPCXGraphic().CanLoad(capture));
}

TEST(PcxRead, DamagedFilesGiveTheReadersAnswers)
{
    TempDir dir;
    auto read = [&](const std::string& bytes, std::string* error = nullptr) {
        writeFile(dir.file("bad.pcx"), bytes);
        auto pcx = std::make_unique<TPCXGraphic>();
        const std::string e = errorOf([&] { pcx->LoadFromFile(dir.file("bad.pcx")); });
        if (error)
            *error = e;
        else
            EXPECT_EQ(e, "");
        return pcx;
    };
    const std::string body(400, '\x41');
    // Silent ends: inside-out windows, rows shorter than their pixels, a foreign maker.
    EXPECT_TRUE(read(pcxHeader(8, 1, 20, 10, 3, 20) + body)->Empty());
    EXPECT_TRUE(read(pcxHeader(8, 1, 0, 10, 3, 10) + body)->Empty());
    std::string foreign = pcxHeader(8, 1, 0, 9, 3, 10) + body;
    foreign[0] = 12;
    EXPECT_TRUE(read(foreign)->Empty());
    rtl::TMemoryStream m(std::vector<uint8_t>(foreign.begin(), foreign.end()));
    EXPECT_FALSE(TPCXGraphic().CanLoad(m));
    // Layouts no reader shows.
    std::string error;
    for (auto [bits, planes] : {std::pair{8, 4}, std::pair{4, 2}, std::pair{2, 3}, std::pair{16, 1}}) {
        read(pcxHeader(bits, planes, 0, 3, 3, 8) + body, &error);
        EXPECT_EQ(error, "Invalid color format in PCX file.") << bits << "x" << planes;
    }
    // A huge picture over a few bytes is refused before it is allocated, stored or packed.
    read(pcxHeader(8, 1, 0, 30000, 30000, 30001) + body, &error);
    EXPECT_EQ(error, "Stream read error in PCX file.");
    read(pcxHeader(8, 1, 0, 999, 99, 1000, 1) + body, &error);
    EXPECT_EQ(error, "Stream read error in PCX file.");
    // A run-length file shorter than its runs ends in zeros; no palette block fits in it.
    const auto shortRuns = read(pcxHeader(8, 1, 0, 9, 9, 10, 1) + std::string("\xC5\x07\x0C", 3));
    ASSERT_EQ(shortRuns->Height(), 10);
    EXPECT_EQ(shortRuns->ScanLine(0)[4], 7);
    EXPECT_EQ(shortRuns->ScanLine(0)[5], 12);
    EXPECT_EQ(shortRuns->ScanLine(9)[9], 0);
}

TEST(SgiRead, NetpbmAndImageMagickFilesReadAsImageMagickReadsThem)
{
    TempDir dir;
    const std::string colour = drawPpm(dir, "c.ppm", 0);
    const std::string grey = dir.file("g.pgm"), deep = dir.file("d.ppm");
    sh("ppmtopgm " + colour + " > " + grey);
    sh("convert " + colour + " -depth 16 ppm:" + deep);
    struct Case {
        std::string command;
        gfx::TPixelFormat format;
    };
    for (const Case& c : {Case{"pnmtosgi -rle " + colour, gfx::pf24bit},
                          Case{"pnmtosgi -verbatim " + colour, gfx::pf24bit},
                          Case{"pnmtosgi -rle " + grey, gfx::pf8bit},
                          Case{"pnmtosgi -verbatim " + grey, gfx::pf8bit},
                          Case{"pnmtosgi -rle " + deep, gfx::pf24bit},
                          Case{"convert " + colour + " -compress RLE sgi:-", gfx::pf24bit},
                          Case{"convert " + deep + " -depth 16 sgi:-", gfx::pf24bit}}) {
        SCOPED_TRACE(c.command);
        const std::string file = dir.file("p.sgi");
        sh(c.command + " > " + file);
        const auto sgi = load<TSGIGraphic>(file);
        EXPECT_EQ(sgi->PixelFormat(), c.format);
        EXPECT_EQ(differentPixels(file, *sgi), 0);
    }
    // Sixteen-bit runs: the length table counts bytes, and the last row ends the file.
    const std::string rle16 = dir.file("p.sgi");
    sh("pnmtosgi -rle " + deep + " > " + rle16);
    const std::string bytes = readFile(rle16);
    const uint32_t rows = 27 * 3;
    auto at = [&](size_t i) {
        const auto* p = reinterpret_cast<const uint8_t*>(bytes.data()) + 512 + 4 * i;
        return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
    };
    uint32_t end = 0;
    for (uint32_t i = 0; i < rows; ++i)
        end = std::max(end, at(i) + at(rows + i));
    EXPECT_EQ(end, bytes.size());

    // Four channels: 32 bits with alpha, the first file row at the bottom.
    const std::string rgba = dir.file("a.sgi");
    sh("convert " + colour + " \\( -size 41x27 gradient:white-black \\) -alpha off -compose copyopacity -composite "
       "-compress RLE sgi:" + rgba);
    const auto four = load<TSGIGraphic>(rgba);
    ASSERT_EQ(four->PixelFormat(), gfx::pf32bit);
    EXPECT_EQ(differentPixels(rgba, *four), 0);
    const auto theirs = magickPixels(rgba);
    EXPECT_EQ(four->ScanLine(0)[3], theirs[0].a);
    EXPECT_EQ(four->ScanLine(26)[3], theirs[26 * 41].a);
    EXPECT_LT(four->ScanLine(26)[3], 20);
}

TEST(SgiRead, DamagedFilesGiveTheFormatMessages)
{
    const std::string word = "sgi, bw or rgb(a)";
    auto error = [](const std::string& bytes) {
        rtl::TMemoryStream m(std::vector<uint8_t>(bytes.begin(), bytes.end()));
        TSGIGraphic sgi;
        return errorOf([&] { sgi.LoadFromStream(m); });
    };
    const std::string invalid = "Cannot load image. Invalid or unexpected " + word + " image format.";
    const std::string readError = "Stream read error in " + word + " file.";
    const std::string pixels(64 * 64 * 4, '\x20');
    EXPECT_EQ(error(sgiHeader(0, 1, 3, 8, 8, 5) + pixels), invalid);  // five channels
    EXPECT_EQ(error(sgiHeader(0, 1, 1, 8, 8, 1) + pixels), invalid);  // one dimension, eight rows
    EXPECT_EQ(error(sgiHeader(0, 1, 2, 8, 8, 3) + pixels), invalid);  // two dimensions, three channels
    EXPECT_EQ(error(sgiHeader(0, 3, 3, 8, 8, 3) + pixels), invalid);
    EXPECT_EQ(error(sgiHeader(0, 1, 3, 0, 8, 3) + pixels), invalid);
    EXPECT_EQ(error(sgiHeader(0, 1, 3, 65535, 65535, 4) + pixels), readError);
    EXPECT_EQ(error(sgiHeader(1, 2, 3, 60000, 60000, 3)), readError);
    // Tables that point past the end, or run past it.
    std::string tables = sgiHeader(1, 1, 2, 4, 2, 1) + be32(uint32_t(528)) + be32(uint32_t(530)) + be32(uint32_t(2)) + be32(uint32_t(2)) + "\x84\x07\x84\x09";
    EXPECT_EQ(error(tables), "");
    tables.replace(512 + 4, 4, be32(uint32_t(600)));
    EXPECT_EQ(error(tables), readError);
    tables.replace(512 + 4, 4, be32(uint32_t(528)));
    tables.replace(512 + 12, 4, be32(0xFFFFFFF0u));
    EXPECT_EQ(error(tables), readError);
    // A two-channel picture is its grey channel; one dimension is a single row.
    std::string greyAlpha = sgiHeader(0, 1, 3, 2, 1, 2) + std::string("\x10\x80\xFF\x00", 4);
    rtl::TMemoryStream m(std::vector<uint8_t>(greyAlpha.begin(), greyAlpha.end()));
    TSGIGraphic sgi;
    sgi.LoadFromStream(m);
    ASSERT_EQ(sgi.PixelFormat(), gfx::pf8bit);
    EXPECT_EQ(sgi.PixelColor(0, 0), gfx::RGB(0x10, 0x10, 0x10));
    EXPECT_EQ(sgi.PixelColor(1, 0), gfx::RGB(0x80, 0x80, 0x80));
    EXPECT_EQ(error(sgiHeader(0, 1, 1, 3, 0, 0) + "abc"), "");
}

TEST(ScriptedRead, AutodeskRlaAndDrHaloFilesShowThePixelsWritten)
{
    TempDir dir;
    sh(python3() + " " + script() + " " + dir.path());
    const auto pic = load<TAutodeskGraphic>(dir.file("picture.pic"));
    EXPECT_EQ(pic->Palette()[5], gfx::RGB(252, 0, 128));
    EXPECT_EQ(matchesExpected(*pic, dir.file("picture.pic")), "");

    for (const char* name : {"bottomup.rla", "topdown.rla", "matte.rla", "wide.rla", "tenbit.rla"}) {
        SCOPED_TRACE(name);
        const auto rla = load<TRLAGraphic>(dir.file(name));
        EXPECT_EQ(rla->PixelFormat(), std::string(name) == "matte.rla" ? gfx::pf32bit : gfx::pf24bit);
        EXPECT_EQ(matchesExpected(*rla, dir.file(name), 1), "");
    }
    EXPECT_EQ(load<TRLAGraphic>(dir.file("matte.rla"))->ImageProperties.SamplesPerPixel, 4);

    for (const char* name : {"palette.cut", "upper.cut", "grey.cut"}) {
        SCOPED_TRACE(name);
        const auto cut = load<TCUTGraphic>(dir.file(name));
        EXPECT_EQ(matchesExpected(*cut, dir.file(name)), "");
        if (std::string(name) != "grey.cut") {
            EXPECT_EQ(differentPixels(dir.file(name), *cut), 0);
        }
    }
    EXPECT_EQ(TCUTGraphic::PaletteFileFor(dir.file("upper.cut")), dir.file("upper.PAL"));
    EXPECT_EQ(TCUTGraphic::PaletteFileFor(dir.file("grey.cut")), dir.file("grey.pal"));
    rtl::TMemoryStream any(std::vector<uint8_t>(100, 1));
    EXPECT_FALSE(TCUTGraphic().CanLoad(any));
}

TEST(ScriptedRead, DamagedAutodeskRlaAndDrHaloFiles)
{
    TempDir dir;
    sh(python3() + " " + script() + " " + dir.path());
    const std::string rla = readFile(dir.file("bottomup.rla"));
    auto loadRla = [](std::string bytes, TRLAGraphic& g) {
        rtl::TMemoryStream m(std::vector<uint8_t>(bytes.begin(), bytes.end()));
        return errorOf([&] { g.LoadFromStream(m); });
    };
    auto patched = [&](size_t at, const std::string& with) {
        std::string b = rla;
        b.replace(at, with.size(), with);
        return b;
    };
    // Right below left, "xyz" space and a size no bitmap holds load nothing, silently.
    for (const std::string& bytes : {patched(8, be16(10) + be16(5)), patched(580, std::string("xyz", 3)),
                                     patched(8, be16(0) + be16(32767) + be16(0) + be16(32767))}) {
        TRLAGraphic g;
        EXPECT_EQ(loadRla(bytes, g), "");
        EXPECT_TRUE(g.Empty());
    }
    // Offsets and counts past the end.
    TRLAGraphic g;
    EXPECT_EQ(loadRla(patched(740, be32(0x7FFFFFF0)), g), "Stream read error in RLA file.");
    EXPECT_EQ(loadRla(patched(740 + 4 * 24, be16(0xFFFF)), g), "Stream read error in RLA file.");
    EXPECT_EQ(loadRla(patched(8, be16(0) + be16(3000) + be16(0) + be16(3000)), g), "Stream read error in RLA file.");
    // Gamma text in any locale's spelling: "2,2" is no number and gives 1.0.
    TRLAGraphic comma;
    loadRla(patched(28, std::string("2,2\0", 4)), comma);
    EXPECT_FLOAT_EQ(comma.ImageProperties.FileGamma, 1.0f);

    std::string pic = readFile(dir.file("picture.pic"));
    TAutodeskGraphic a;
    rtl::TMemoryStream cut(std::vector<uint8_t>(pic.begin(), pic.begin() + 820));
    EXPECT_EQ(errorOf([&] { a.LoadFromStream(cut); }), "Stream read error in Autodesk file.");
    // No columns: refused before the first row is read.
    std::string narrow = pic;
    narrow.replace(2, 2, le16(0));
    rtl::TMemoryStream empty(std::vector<uint8_t>(narrow.begin(), narrow.end()));
    EXPECT_EQ(errorOf([&] { a.LoadFromStream(empty); }), "Cannot load image. Invalid or unexpected Autodesk image format.");
    pic[0] = 0;
    rtl::TMemoryStream foreign(std::vector<uint8_t>(pic.begin(), pic.end()));
    EXPECT_EQ(errorOf([&] { a.LoadFromStream(foreign); }),
              "Cannot load image. Invalid or unexpected Autodesk image format.");

    // A huge Dr. Halo picture over a few bytes loads nothing; rows end when full.
    writeFile(dir.file("huge.cut"), le16(30000) + le16(30000) + le16(0) + "\x02\x00\xFF\x01");
    EXPECT_TRUE(load<TCUTGraphic>(dir.file("huge.cut"))->Empty());
    writeFile(dir.file("wide.cut"), le16(65535) + le16(1) + le16(0) + std::string(1000, '\x01'));
    EXPECT_TRUE(load<TCUTGraphic>(dir.file("wide.cut"))->Empty());
    writeFile(dir.file("full.cut"), le16(3) + le16(2) + le16(0) + le16(4) + "\x85\x09" + le16(3) + "\x01\x05\x00");
    const auto full = load<TCUTGraphic>(dir.file("full.cut"));
    EXPECT_EQ(full->ScanLine(0)[2], 9);
    EXPECT_EQ(full->ScanLine(1)[0], 5);
    // A palette file claiming 65535 entries holds at most 256 and is read only where it has bytes.
    std::string pal(64, '\0');
    pal.replace(12, 2, le16(0xFFFF));
    pal.replace(40, 6, le16(200) + le16(100) + le16(50));
    writeFile(dir.file("full.pal"), pal);
    const auto paletted = load<TCUTGraphic>(dir.file("full.cut"));
    EXPECT_EQ(paletted->Palette()[0], gfx::RGB(200, 100, 50));
    EXPECT_EQ(paletted->Palette()[5], gfx::clBlack);
}
