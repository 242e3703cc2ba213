// Metafiles: what we write is read by ImageMagick (libwmf) and Debian's emf2svg and shows the
// bitmap; metafiles written from the formats' record layouts by a script draw their shapes in
// place; the record walk refuses what would reach the libraries damaged or oversized.
#include <gtest/gtest.h>

#include "platform/gfx/Metafile.h"
#include "support/TestSupport.h"
#include "tests/platform/ImageTools.h"

using namespace gfx;
using testsupport::runCommand;

namespace {

// A 40 x 30 bitmap: four coloured quarters, so that any flip or shift shows.
std::unique_ptr<TBitmap> quarters()
{
    auto b = std::make_unique<TBitmap>(40, 30, pf24bit);
    TCanvas& c = b->Canvas();
    const TColor colors[4] = {0x0000FF, 0x00FF00, 0xFF0000, 0x00FFFF};
    for (int i = 0; i < 4; ++i) {
        c.Brush().SetColor(colors[i]);
        c.FillRect(Rect((i % 2) * 20, (i / 2) * 15, (i % 2) * 20 + 20, (i / 2) * 15 + 15));
    }
    return b;
}

bool isColor(TColor got, TColor want) { return imagetools::near(got, want, 40); }

std::vector<uint8_t> bytesOf(const std::string& path)
{
    const std::string s = testsupport::readFile(path);
    return {s.begin(), s.end()};
}

void expectQuarters(const imagetools::Pixels& p, const std::string& what)
{
    SCOPED_TRACE(what);
    ASSERT_GT(p.width, 0);
    const int w = p.width, h = p.height;
    EXPECT_TRUE(isColor(p.at(w / 4, h / 4), 0x0000FF)) << std::hex << p.at(w / 4, h / 4);
    EXPECT_TRUE(isColor(p.at(3 * w / 4, h / 4), 0x00FF00));
    EXPECT_TRUE(isColor(p.at(w / 4, 3 * h / 4), 0xFF0000));
    EXPECT_TRUE(isColor(p.at(3 * w / 4, 3 * h / 4), 0x00FFFF));
}

imagetools::Pixels pixelsOf(const TGraphic& g)
{
    TBitmap b;
    g.AssignTo(b);
    imagetools::Pixels p;
    p.width = b.Width();
    p.height = b.Height();
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x)
            p.colors.push_back(b.PixelColor(x, y));
    return p;
}

std::string refusal(const std::vector<uint8_t>& bytes)
{
    try {
        TMetafile m;
        rtl::TMemoryStream s(bytes);
        m.LoadFromStream(s);
    } catch (const EInvalidGraphic& e) {
        return e.what();
    }
    return "";
}

}  // namespace

TEST(Metafile, WrittenBitmapIsReadByOtherProgramsAndLoadsBack)
{
    testsupport::TempDir dir;
    TMetafile m;
    m.SetBitmap(*quarters());
    EXPECT_EQ(m.Width(), 40);
    EXPECT_EQ(m.Height(), 30);
    const std::string wmf = dir.file("out.wmf"), emf = dir.file("out.emf");
    m.SaveToFile(wmf);
    m.SaveToFile(emf);
    EXPECT_EQ(bytesOf(wmf)[0], 0xD7);  // placeable key
    EXPECT_EQ(bytesOf(emf)[40], ' ');  // " EMF"

    // ImageMagick reads WMF through libwmf, at 72 dpi: 30 x 23 for our 96-dpi frame.
    const imagetools::Pixels im = imagetools::readWithImageMagick(wmf);
    EXPECT_EQ(im.width, 30);
    expectQuarters(im, "ImageMagick's WMF");
    // emf2svg-conv turns the EMF into SVG, which ImageMagick draws.
    ASSERT_EQ(runCommand("emf2svg-conv", {"-i", emf, "-o", dir.file("emf.svg")}).exitCode, 0);
    const std::string svg = testsupport::readFile(dir.file("emf.svg"));
    EXPECT_NE(svg.find("<image"), std::string::npos) << svg.substr(0, 400);
    expectQuarters(imagetools::readWithImageMagick(dir.file("emf.svg")), "emf2svg's SVG");

    for (const std::string& path : {wmf, emf}) {
        auto loaded = std::make_unique<TMetafile>();
        loaded->LoadFromFile(path);
        EXPECT_EQ(loaded->Width(), 40);
        EXPECT_EQ(loaded->Height(), 30);
        EXPECT_EQ(loaded->Enhanced(), path == emf);
        expectQuarters(pixelsOf(*loaded), "loaded " + path);
        // Saving a loaded metafile in its own kind gives its bytes back.
        const std::string again = dir.file("again" + path.substr(path.size() - 4));
        loaded->SaveToFile(again);
        EXPECT_EQ(bytesOf(again), bytesOf(path));
    }
}

TEST(Metafile, ShapesWrittenByAScriptDrawInPlace)
{
    testsupport::TempDir dir;
    ASSERT_EQ(runCommand(testsupport::python3(),
                         {testsupport::sourceDir() + "/tests/platform/metafile_shapes.py", dir.path()})
                  .exitCode, 0);
    for (const char* name : {"shapes.wmf", "shapes.emf"}) {
        SCOPED_TRACE(name);
        TMetafile m;
        m.LoadFromFile(dir.file(name));
        ASSERT_EQ(m.Width(), 200);
        ASSERT_EQ(m.Height(), 100);
        const imagetools::Pixels p = pixelsOf(m);
        EXPECT_TRUE(isColor(p.at(40, 60), 0x0000FF)) << std::hex << p.at(40, 60);  // triangle
        EXPECT_TRUE(isColor(p.at(110, 50), 0x00FF00)) << std::hex << p.at(110, 50);  // ellipse
        int blue = 0;
        for (int y = 25; y < 80; ++y)
            for (int x = 145; x < 200; ++x)
                blue += isColor(p.at(x, y), 0xFF0000);
        EXPECT_GT(blue, 50);  // the text's strokes
        for (auto [x, y] : {std::pair{5, 5}, {75, 50}, {12, 20}, {85, 12}, {190, 95}, {145, 10}})
            EXPECT_EQ(p.at(x, y), clWhite) << x << "," << y;
    }
}

TEST(Metafile, GlyphIndexTextIsKeptFromTheConverterAndTheRestDraws)
{
    // libemf2svg looks glyph indices up through fontconfig and then finalizes fontconfig under
    // Qt's feet (the metafile fuzz target aborted in fontconfig's cache): such text records never
    // reach it, and the rest of the picture still draws.
    testsupport::TempDir dir;
    ASSERT_EQ(runCommand(testsupport::python3(),
                         {testsupport::sourceDir() + "/tests/platform/metafile_shapes.py", dir.path()})
                  .exitCode, 0);
    std::vector<uint8_t> emf = bytesOf(dir.file("shapes.emf"));
    bool patched = false;
    for (std::size_t at = 88; at + 8 <= emf.size();) {
        const uint32_t type = emf[at] | emf[at + 1] << 8, size = emf[at + 4] | emf[at + 5] << 8;
        if (type == 84) {
            emf[at + 52] |= 0x10;  // the text's options: glyph indices
            patched = true;
        }
        at += size;
    }
    ASSERT_TRUE(patched);
    TMetafile m;
    rtl::TMemoryStream s(emf);
    m.LoadFromStream(s);
    const imagetools::Pixels p = pixelsOf(m);
    EXPECT_TRUE(isColor(p.at(40, 60), 0x0000FF));
    EXPECT_TRUE(isColor(p.at(110, 50), 0x00FF00));
    // Saved again, the file is the one read, glyph text and all.
    rtl::TMemoryStream out;
    m.SaveToStream(out);
    EXPECT_EQ(out.Bytes(), emf);
}

TEST(Metafile, RecordWalkRefusesDamagedAndOversizedFiles)
{
    testsupport::TempDir dir;
    TMetafile m;
    m.SetBitmap(*quarters());
    m.SaveToFile(dir.file("a.wmf"));
    m.SaveToFile(dir.file("a.emf"));
    const std::vector<uint8_t> wmf = bytesOf(dir.file("a.wmf")), emf = bytesOf(dir.file("a.emf"));
    auto patched = [](std::vector<uint8_t> b, std::size_t at, uint32_t v, int bytes = 4) {
        for (int i = 0; i < bytes; ++i)
            b[at + i] = uint8_t(v >> (8 * i));
        return b;
    };
    // WMF: the stretch record follows the two headers, the map mode and the window's origin and extent.
    const std::size_t stretch = 22 + 18 + 8 + 10 + 10;
    ASSERT_EQ(wmf[stretch + 4], 0x43);
    EXPECT_NE(refusal(std::vector<uint8_t>(wmf.begin(), wmf.end() - 6)), "");                 // no end record
    EXPECT_NE(refusal(patched(wmf, stretch, 0x7FFFFFFF)), "");                                // record past the end
    EXPECT_NE(refusal(patched(wmf, stretch + 28 + 8, 30000)), "");                             // bitmap larger than its bytes
    EXPECT_NE(refusal(patched(patched(wmf, 10, 30000, 2), 12, 30000, 2)), "");                  // frame of 900 M pixels
    EXPECT_NE(refusal(patched(wmf, 14, 0, 2)), "");                                           // no units per inch
    // EMF: header, then the stretch record at 88.
    EXPECT_NE(refusal(patched(emf, 88 + 4, 0xFFFFFFF0)), "");
    EXPECT_NE(refusal(patched(emf, 88 + 48, 0xFFFFFF00)), "");                                 // header offset out
    EXPECT_NE(refusal(patched(emf, 88 + 80 + 8, 3000)), "");                                    // bitmap height
    EXPECT_NE(refusal(patched(emf, 32, 0x7FFFFFFF)), "");                                      // frame
    EXPECT_NE(refusal(std::vector<uint8_t>(emf.begin(), emf.end() - 20)), "");                  // no end record
    // A metafile whose records draw nothing: the stretch record becomes a "save state".
    std::vector<uint8_t> blank = patched(patched(emf, 88, 33), 88 + 4, 8);
    blank.erase(blank.begin() + 88 + 8, blank.begin() + 88 + 80 + 40 + 120 * 30);
    EXPECT_NE(refusal(patched(patched(blank, 48, uint32_t(blank.size())), 52, 3)).find("draw nothing"), std::string::npos);
    // A failed load keeps what the metafile held.
    rtl::TMemoryStream bad(patched(emf, 88 + 4, 0xFFFFFFF0));
    EXPECT_THROW(m.LoadFromStream(bad), EInvalidGraphic);
    EXPECT_EQ(m.Width(), 40);
    expectQuarters(pixelsOf(m), "kept");
}

TEST(Metafile, ADrawingRecordedOnItsCanvasPlaysStretchedWithWhatPassesItsFrame)
{
    TMetafile m;
    {
        TMetafileCanvas c(m, 40, 30);
        EXPECT_TRUE(m.Empty()) << "the metafile takes the drawing when the canvas closes";
        c.Brush().SetColor(0x0000FF);
        c.Pen().SetStyle(psClear);
        c.Rectangle(0, 0, 20, 15);
        c.Brush().SetColor(0xFF0000);
        c.Rectangle(30, 20, 90, 90);  // passes the frame's right and bottom edges
    }
    ASSERT_FALSE(m.Empty());
    EXPECT_EQ(m.Width(), 40);
    EXPECT_EQ(m.Height(), 30);

    // Drawn twice its size at (10, 10) of a white bitmap.
    TBitmap b(120, 100, pf24bit);
    b.Canvas().Brush().SetColor(clWhite);
    b.Canvas().FillRect(Rect(0, 0, 120, 100));
    TMetafile copy;
    copy.Assign(m);
    b.Canvas().StretchDraw(Rect(10, 10, 90, 70), copy);
    TCanvas& c = b.Canvas();
    EXPECT_EQ(c.Pixels(10, 10), TColor(0x0000FF));
    EXPECT_EQ(c.Pixels(49, 39), TColor(0x0000FF));
    EXPECT_EQ(c.Pixels(51, 41), clWhite);
    EXPECT_EQ(c.Pixels(9, 9), clWhite);
    EXPECT_EQ(c.Pixels(71, 51), TColor(0xFF0000));
    EXPECT_EQ(c.Pixels(89, 69), TColor(0xFF0000));
    EXPECT_EQ(c.Pixels(91, 60), TColor(0xFF0000)) << "past the frame, at the same scale";
    EXPECT_EQ(c.Pixels(80, 71), TColor(0xFF0000)) << "past the frame, at the same scale";
    EXPECT_EQ(c.Pixels(119, 99), TColor(0xFF0000));
}
