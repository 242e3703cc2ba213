// Writing PNG files: ImageMagick reads what we write with the pixels we hold, and Python's
// zlib (tests/pictures/png_chunks.py) checks the chunks and the filter of every row.
#include "PictureTestSupport.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstring>
#include <random>

using namespace testsupport;
using namespace pngtest;

namespace {

QJsonObject describe(const std::string& file)
{
    auto r = runCommand(python3(), {sourceDir() + "/tests/pictures/png_chunks.py", file});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
}

std::vector<std::string> chunkNames(const QJsonObject& d)
{
    std::vector<std::string> names;
    for (const auto& c : d["chunks"].toArray()) {
        names.push_back(c.toArray()[0].toString().toStdString());
        EXPECT_TRUE(c.toArray()[2].toBool()) << "CRC of " << names.back();
    }
    return names;
}

std::vector<int> filtersOf(const QJsonObject& d)
{
    std::vector<int> f;
    for (const auto& v : d["filters"].toArray())
        f.push_back(v.toInt());
    return f;
}

std::string saveFile(png::TPNGObject& p, const TempDir& dir, const std::string& name)
{
    const std::string file = dir.file(name);
    p.SaveToFile(file);
    return file;
}

}  // namespace

TEST(PngWrite, ImageMagickReadsOurBitmapsWithTheirPixels)
{
    TempDir dir;
    for (gfx::TPixelFormat f : {gfx::pf1bit, gfx::pf4bit, gfx::pf8bit, gfx::pf15bit, gfx::pf24bit, gfx::pf32bit}) {
        SCOPED_TRACE(gfx::TBitmap::BitsPerPixel(f));
        const auto owned = pattern(f, 29, 17);
        const gfx::TBitmap& b = *owned;
        for (uint8_t interlace : {png::imNone, png::imAdam7}) {
            png::TPNGObject p;
            p.Assign(b);
            p.InterlaceMethod = interlace;
            p.Filters = interlace ? png::AllFilters : png::FilterSet(png::pfSub);
            const std::string file = saveFile(p, dir, "b.png");
            const QJsonObject d = describe(file);
            const bool palette = gfx::TBitmap::BitsPerPixel(f) < 15;
            EXPECT_EQ(d["ihdr"].toObject()["colorType"].toInt(), palette ? 3 : 2);
            EXPECT_EQ(d["ihdr"].toObject()["interlace"].toInt(), interlace);
            EXPECT_EQ(d["rest"].toInt(), 0);
            gfx::TBitmap expected;
            expected.Assign(b);
            expected.SetPixelFormat(gfx::pf24bit);
            EXPECT_EQ(differentPixels(file, expected), 0);
        }
    }
}

TEST(PngWrite, LoadedPicturesGoBackOutWithTheirPixels)
{
    TempDir dir;
    const std::vector<std::string> commands{
        "convert -size 37x23 gradient:red-blue PNG64:$OUT",
        "convert -size 37x23 gradient:red-blue \\( -size 37x23 gradient:white-black \\) -alpha off "
        "-compose copyopacity -composite -interlace PNG PNG32:$OUT",
        "convert -size 37x23 gradient:black-white -colorspace gray -depth 2 -define png:bit-depth=2 "
        "-define png:color-type=0 $OUT",
        "convert -size 37x23 gradient:red-blue -colors 4 -define png:bit-depth=2 -define png:color-type=3 $OUT",
        "convert -size 37x23 gradient:black-white -colorspace gray \\( -size 37x23 gradient:white-black \\) "
        "-alpha off -compose copyopacity -composite -define png:bit-depth=16 -define png:color-type=4 $OUT",
        "convert -size 37x23 gradient:black-white -colorspace gray -define png:bit-depth=16 -define png:color-type=0 "
        "-interlace PNG $OUT",
    };
    for (const std::string& command : commands) {
        SCOPED_TRACE(command);
        const std::string in = dir.file("in.png");
        ASSERT_EQ(runCommand("sh", {"-c", "OUT='" + in + "'; " + command}).exitCode, 0);
        const auto theirs = magickPixels(in);
        png::TPNGObject p;
        p.LoadFromFile(in);
        p.Filters = png::AllFilters;
        const std::string out = saveFile(p, dir, "out.png");
        const QJsonObject d = describe(out);
        // Two-bit pictures are held, and written, as four bits.
        const int depthIn = uint8_t(readFile(in)[24]);
        EXPECT_EQ(d["ihdr"].toObject()["depth"].toInt(), depthIn == 2 ? 4 : depthIn);
        const auto ours = magickPixels(out);
        ASSERT_EQ(ours.size(), theirs.size());
        int wrong = 0;
        for (size_t i = 0; i < ours.size(); ++i)
            wrong += ours[i].r != theirs[i].r || ours[i].g != theirs[i].g || ours[i].b != theirs[i].b ||
                     ours[i].a != theirs[i].a;
        EXPECT_EQ(wrong, 0);
    }
}

TEST(PngWrite, ChunksOfABitmapWithAndWithoutTransparency)
{
    TempDir dir;
    png::TPNGObject rgb;
    rgb.Assign(*pattern(gfx::pf24bit, 29, 17));
    QJsonObject d = describe(saveFile(rgb, dir, "rgb.png"));
    EXPECT_EQ(chunkNames(d), (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
    EXPECT_EQ(d["ihdr"].toObject()["depth"].toInt(), 8);
    // Sub on every row by default.
    const std::vector<int> filters = filtersOf(d);
    EXPECT_EQ(filters, std::vector<int>(17, 1));

    const auto owned = pattern(gfx::pf8bit, 29, 17);
    gfx::TBitmap& eight = *owned;
    const gfx::TColor fifth = eight.Palette().at(5);
    png::TPNGObject keyed;
    keyed.AssignHandle(eight, true, fifth);
    d = describe(saveFile(keyed, dir, "keyed.png"));
    EXPECT_EQ(chunkNames(d), (std::vector<std::string>{"IHDR", "PLTE", "tRNS", "IDAT", "IEND"}));
    EXPECT_EQ(d["chunks"].toArray()[1].toArray()[1].toInt(), 768);
    const QJsonArray trns = d["trns"].toArray();
    ASSERT_EQ(trns.size(), 6);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(trns[i].toInt(), 255);
    EXPECT_EQ(trns[5].toInt(), 0);
    EXPECT_EQ(keyed.TransparencyMode(), png::ptmSingleColor);

    // The bitmap's own transparency comes along through Assign.
    eight.SetTransparentColor(fifth);
    eight.SetTransparent(true);
    png::TPNGObject assigned;
    assigned.Assign(eight);
    EXPECT_EQ(assigned.TransparentColor(), gfx::ColorToRGB(fifth));
    gfx::TBitmap back;
    assigned.AssignTo(back);
    EXPECT_TRUE(back.Transparent());
    EXPECT_EQ(back.TransparentColor(), gfx::ColorToRGB(fifth));
    EXPECT_EQ(back.PixelFormat(), gfx::pf8bit);
}

TEST(PngWrite, FilterChoiceAmongNoneSubAndUp)
{
    // Every row the same run of distinct bytes: from the second row on Up gives all zeros,
    // the most repeats, while None and Sub give few.
    gfx::TBitmap same(40, 6, gfx::pf24bit);
    for (int y = 0; y < 6; ++y)
        for (int i = 0; i < 120; ++i)
            same.ScanLine(y)[i] = uint8_t(i * i * 7 + i * 3);
    png::TPNGObject p;
    p.Assign(same);
    p.Filters = png::FilterSet(png::pfNone) | png::FilterSet(png::pfSub) | png::FilterSet(png::pfUp);
    TempDir dir;
    const std::vector<int> chosen = filtersOf(describe(saveFile(p, dir, "f.png")));
    ASSERT_EQ(chosen.size(), 6u);
    EXPECT_NE(chosen[0], 2);  // the first row has only zeros above it
    EXPECT_EQ(std::vector<int>(chosen.begin() + 1, chosen.end()), std::vector<int>(5, 2));
    // A row with no repeats at all under any filter keeps filter 0 even when None is not offered.
    gfx::TBitmap ramp(1, 3, gfx::pf24bit);
    const uint8_t rows[3][3] = {{1, 2, 3}, {10, 30, 60}, {7, 100, 20}};
    for (int y = 0; y < 3; ++y)
        std::memcpy(ramp.ScanLine(y), rows[y], 3);
    p.Assign(ramp);
    p.Filters = png::FilterSet(png::pfSub) | png::FilterSet(png::pfUp);
    const std::string file = saveFile(p, dir, "r.png");
    EXPECT_EQ(filtersOf(describe(file))[0], 0);
    EXPECT_EQ(differentPixels(file, ramp), 0);
}

TEST(PngWrite, LargeDataIsCutInto65535ByteIdats)
{
    gfx::TBitmap noise(300, 300, gfx::pf24bit);
    std::mt19937 rng(7);
    for (int y = 0; y < 300; ++y)
        for (int i = 0; i < 900; ++i)
            noise.ScanLine(y)[i] = uint8_t(rng());
    png::TPNGObject p;
    p.Assign(noise);
    p.SetMaxIdatSize(1000);  // raised to the least, 65535
    EXPECT_EQ(p.MaxIdatSize(), 65535u);
    TempDir dir;
    const std::string file = saveFile(p, dir, "n.png");
    const QJsonObject d = describe(file);
    std::vector<int> idats;
    for (const auto& c : d["chunks"].toArray())
        if (c.toArray()[0].toString() == "IDAT")
            idats.push_back(c.toArray()[1].toInt());
    ASSERT_GE(idats.size(), 4u);
    for (size_t i = 0; i + 1 < idats.size(); ++i)
        EXPECT_EQ(idats[i], 65535);
    EXPECT_LT(idats.back(), 65535);
    EXPECT_GT(idats.back(), 0);
    EXPECT_EQ(differentPixels(file, noise), 0);
}

TEST(PngWrite, CopiesKeepEveryChunkAndEmptyPicturesAreRefused)
{
    const std::string text = chunk("tEXt", std::string("Title\0Hi", 8));
    const std::string original = grayPng(5, 4, chunk("gAMA", be32(50000)) + chunk("prVt", "private") + text +
                                                    chunk("tIME", std::string("\x07\xea\x0c\x07\x08\x05\x09", 7)));
    png::TPNGObject p;
    load(p, original);
    png::TPNGObject copy;
    copy.Assign(p);
    const std::string a = save(p), b = save(copy);
    EXPECT_EQ(a, b);
    png::TPNGObject again;
    load(again, b);
    EXPECT_EQ(again.Chunks().ItemFromClass<png::TChunktEXt>()->Keyword, "Title");
    EXPECT_EQ(again.Chunks().ItemFromClass<png::TChunkgAMA>()->Gamma, 50000u);
    EXPECT_EQ(again.Chunks().Item(2)->Name(), "prVt");
    EXPECT_EQ(again.Chunks().Item(2)->Data(), (std::vector<uint8_t>{'p', 'r', 'i', 'v', 'a', 't', 'e'}));
    EXPECT_EQ(again.Chunks().ItemFromClass<png::TChunktIME>()->Second, 9);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(again.Header().ImageData.PixelColor(x, y), p.Header().ImageData.PixelColor(x, y));

    // Chunks of the typed names whose data could not be parsed go back as they came.
    const std::string odd = chunk("gAMA", std::string("\x01\x02\x03", 3)) + chunk("tIME", "ab") + chunk("tEXt", "k");
    png::TPNGObject unparsed;
    load(unparsed, grayPng(3, 2, odd));
    EXPECT_NE(save(unparsed).find(odd), std::string::npos);

    png::TPNGObject empty;
    empty.Assign(gfx::TBitmap());
    rtl::TMemoryStream m;
    EXPECT_THROW(empty.SaveToStream(m), png::EPNGHeaderNotPresent);
    EXPECT_EQ(m.Size(), 0);
}

TEST(PngWrite, ClipboardCarriesAPlainImage)
{
    png::TPNGObject p;
    p.Assign(*pattern(gfx::pf24bit, 29, 17));
    p.SaveToClipboardFormat();
    png::TPNGObject back;
    back.LoadFromClipboardFormat();
    ASSERT_EQ(back.Width(), 29);
    EXPECT_EQ(back.Header().ImageData.PixelColor(28, 16), p.Header().ImageData.PixelColor(28, 16));
    EXPECT_FALSE(back.Transparent());
}
