// Reading GIF files: files that ImageMagick and gifsicle make in the test (1 to 8 bits,
// interlaced, local and global maps, transparency, comments, text, loops, unknown application
// blocks, frames with offsets) read to the frames ImageMagick decodes and the structure gifsicle
// reports; the format's odd corners as one table with their warnings and errors; and writing
// the header's colour table.
#include "GIFTestSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace giftest;
using testsupport::runCommand;

namespace {

// A P6 picture of `pixels` (indices) through a palette of distinct colours.
void writePPM(const std::string& path, int w, int h, const Bytes& pixels)
{
    std::string s = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    for (uint8_t p : pixels) {
        s += char(uint8_t(p * 37));
        s += char(uint8_t(p * 91 + 13));
        s += char(uint8_t(p * 53 + 7));
    }
    testsupport::writeFile(path, s);
}

void expectMatchesTools(const std::string& path)
{
    SCOPED_TRACE(path);
    Loaded r = loadFile(path);
    ASSERT_EQ(r.error, "");
    EXPECT_TRUE(r.warnings.empty()) << r.warnings.front();
    EXPECT_EQ(ourFacts(*r.image), gifsicleFacts(path));
    ASSERT_EQ(r.image->Images().Count(), magickFrames(path));
    for (int i = 0; i < r.image->Images().Count(); ++i) {
        TGIFSubImage& frame = *r.image->Images()[i];
        EXPECT_EQ(frameRGBA(frame), magickRGBA(path, i)) << "frame " << i;
    }
}

}  // namespace

TEST(GIFRead, FilesOfOtherProgramsMatchImageMagickAndGifsicle)
{
    if (!haveTools())
        GTEST_SKIP() << "ImageMagick or gifsicle missing";
    testsupport::TempDir dir;
    // Every depth from ImageMagick, two of them interlaced.
    for (int bits = 1; bits <= 8; ++bits) {
        const std::string ppm = dir.file("n" + std::to_string(bits) + ".ppm");
        writePPM(ppm, 33, 21, noise(33 * 21, 1 << bits, unsigned(bits)));
        const std::string gif = dir.file("n" + std::to_string(bits) + ".gif");
        std::vector<std::string> args = {ppm};
        if (bits == 3 || bits == 8)
            args.insert(args.end(), {"-interlace", "GIF"});
        args.push_back(gif);
        ASSERT_EQ(runCommand("convert", args).exitCode, 0);
        expectMatchesTools(gif);
    }

    // ImageMagick's animation: a local map, an offset, transparency, a comment, a loop count.
    const std::string anim = dir.file("anim.gif");
    ASSERT_EQ(runCommand("convert", {"-size", "20x10", "xc:red", "-fill", "blue", "-draw", "rectangle 2,2 8,8", "(",
                                     "-size", "12x6", "xc:green", "-fill", "yellow", "-draw", "point 3,3", "-set",
                                     "page", "+4+2", "-transparent", "green", ")", "-set", "delay", "15", "-loop", "2",
                                     "-comment", "made by magick", anim})
                  .exitCode, 0);
    expectMatchesTools(anim);

    // gifsicle's: a loop extension, a comment, an unknown application block, interlacing, a
    // position, disposal and delay, a transparent colour.
    const std::string a = dir.file("a.gif"), b = dir.file("b.gif"), mixed = dir.file("mixed.gif");
    ASSERT_EQ(runCommand("convert", {"-size", "20x10", "xc:red", "-fill", "blue", "-draw", "rectangle 2,2 8,8", a}).exitCode, 0);
    ASSERT_EQ(runCommand("convert", {"-size", "12x6", "xc:green", "-fill", "yellow", "-draw", "point 3,3", b}).exitCode, 0);
    const auto r = runCommand("gifsicle", {"--loopcount=3", "--comment", "hi there", "--app-extension", "ABCDEFGHXYZ",
                                           "payload", a, "-i", "-p", "4,2", "-d", "20", "-D", "2", "-t", "#008000", b,
                                           "-o", mixed});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    expectMatchesTools(mixed);

    // A plain-text extension in front of the frame (no program writes one any more).
    Bytes withText = readBytes(a);
    const Bytes text = {0x21, 0x01, 12, 1, 0, 2, 0, 16, 0, 8, 0, 4, 8, 1, 0, 5, 'H', 'e', 'l', 'l', 'o', 0};
    const size_t at = 13 + 3 * (2 << (withText[10] & 7));
    withText.insert(withText.begin() + long(at), text.begin(), text.end());
    const std::string textGif = dir.file("text.gif");
    writeBytes(textGif, withText);
    expectMatchesTools(textGif);
    Loaded t = loadFile(textGif);
    auto* ext = dynamic_cast<TGIFTextExtension*>(t.image->Images()[0]->Extensions()[0]);
    ASSERT_NE(ext, nullptr);
    EXPECT_EQ(ext->GridWidth, 16);
    EXPECT_EQ(ext->CharWidth, 4);
    EXPECT_EQ(ext->CharHeight, 8);
    EXPECT_EQ(ext->Text, std::vector<std::string>{"Hello"});
}

TEST(GIFRead, OddCornersGiveTheirWarningsAndErrors)
{
    const Bytes pixels = {0, 1, 2, 3, 3, 2, 1, 0, 1, 1, 2, 2};
    const auto base = [&] { return GifBuilder().header(4, 3, 2); };
    const Bytes frame = GifBuilder().frame(0, 0, 4, 3, pixels, 2).bytes;
    Bytes netscapeShort = {0x21, 0xFF, 11};
    for (char c : std::string("NETSCAPE2.0"))
        netscapeShort.push_back(uint8_t(c));
    netscapeShort.insert(netscapeShort.end(), {2, 1, 5, 0});
    Bytes widthZero = frame;
    widthZero[5] = widthZero[6] = 0;

    struct Case {
        const char* name;
        Bytes file;
        std::string error;
        std::vector<std::string> warnings;
        int frames;
    };
    std::vector<Case> cases = {
        {"4-byte prefix", GifBuilder().raw({1, 2, 3, 4}).raw(base().raw(frame).trailer().bytes).bytes, "", {}, 1},
        {"lower-case signature", GifBuilder().header(4, 3, 2, "gif89a").raw(frame).trailer().bytes, "", {}, 1},
        {"width 0", base().raw(widthZero).trailer().bytes, "", {"Image exceeds Logical Screen size"}, 1},
        {"extensions after the last frame", base().raw(frame).comment("end").trailer().bytes, "", {}, 2},
        {"0x00 between frames", base().raw(frame).raw({0, 0}).raw(frame).trailer().bytes, "", {}, 2},
        {"0x99 between frames", base().raw(frame).raw({0x99}).raw(frame).trailer().bytes, "",
         {"Unknown GIF block type", "Invalid Image trailer"}, 1},
        {"NETSCAPE id 1 with one byte", base().raw(netscapeShort).raw(frame).trailer().bytes, "Invalid GIF data", {}, 1},
        {"no trailer", base().raw(frame).bytes, "", {}, 1},
        {"bad signature", GifBuilder().header(4, 3, 2, "JIF89a").raw(frame).bytes, "Invalid GIF signature", {}, 0},
        {"unknown extension label", base().raw({0x21, 0x77, 0}).raw(frame).bytes, "Unknown extension type", {}, 1},
        {"application block size 5", base().raw({0x21, 0xFF, 5, 1, 2, 3, 4, 5, 0}).raw(frame).bytes,
         "Unsupported Application Extension block size", {}, 1},
        {"short graphic control block", base().raw({0x21, 0xF9, 4, 1}).bytes, "", {"Premature end of data"}, 1},
        {"frame past the screen", base().raw(GifBuilder().frame(3, 2, 4, 3, pixels, 2).bytes).trailer().bytes, "",
         {"Image width too small for contained frames", "Image height too small for contained frames",
          "Image exceeds Logical Screen size"}, 1},
        {"cut header", Bytes{'G', 'I', 'F', '8', '9', 'a', 4, 0}, "Premature end of data", {}, 0},
        {"local map outside", base().raw(GifBuilder().frame(0, 0, 4, 3, pixels, 2, 0, 2).bytes).trailer().bytes, "", {}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Loaded r = load(c.file);
        EXPECT_EQ(r.error, c.error);
        EXPECT_EQ(r.warnings, c.warnings);
        EXPECT_EQ(r.image->Images().Count(), c.frames);
    }

    // What the cases left: the frame's pixels, the widths taken from the screen, the grown screen.
    Loaded zero = load(base().raw(widthZero).trailer().bytes);
    EXPECT_EQ(zero.image->Images()[0]->Width(), 4);
    EXPECT_EQ(zero.image->Images()[0]->DataBuffer(), pixels);
    Loaded grown = load(base().raw(GifBuilder().frame(3, 2, 4, 3, pixels, 2).bytes).bytes);
    EXPECT_EQ(grown.image->Width(), 7);
    EXPECT_EQ(grown.image->Height(), 5);
    Loaded trailing = load(base().raw(frame).comment("end").trailer().bytes);
    EXPECT_TRUE(trailing.image->Images()[1]->Empty());
    EXPECT_EQ(trailing.image->Images()[1]->Extensions().Count(), 1);
}

TEST(GIFRead, ColourTablesAreWrittenAtTheirSizeField)
{
    // Three colours are written as four triples, the last zero, and other readers agree.
    TGIFImage image;
    auto frame = std::make_unique<TGIFSubImage>(&image);
    frame->SetBoundsRect(gfx::Bounds(0, 0, 3, 2));
    const Bytes pixels = {0, 1, 2, 2, 1, 0};
    std::copy(pixels.begin(), pixels.end(), frame->Data());
    image.Add(std::move(frame));
    for (gfx::TColor c : {gfx::clRed, gfx::clLime, gfx::clBlue})
        image.GlobalColorMap().Add(c);
    Bytes file = saved(image);
    EXPECT_EQ(file[10] & 0x87, 0x81);
    const Bytes table(file.begin() + 13, file.begin() + 13 + 12);
    EXPECT_EQ(table, (Bytes{255, 0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0}));

    // A local map of 16 entries beside a global one of 3: the header's size field (4 bits) and
    // the global table written follow the larger map, so gifsicle and ImageMagick find the frames.
    auto second = std::make_unique<TGIFSubImage>(&image);
    second->SetBoundsRect(gfx::Bounds(0, 0, 3, 2));
    for (int i = 0; i < 16; ++i)
        second->ColorMap().Add(gfx::RGB(i * 16, 0, 0));
    std::fill(second->Data(), second->Data() + 6, uint8_t(15));
    image.Add(std::move(second));
    file = saved(image);
    EXPECT_EQ(file[10] & 7, 3);
    if (!haveTools())
        return;
    testsupport::TempDir dir;
    writeBytes(dir.file("maps.gif"), file);
    EXPECT_EQ(gifsicleFacts(dir.file("maps.gif")), ourFacts(*load(file).image));
    EXPECT_EQ(magickRGBA(dir.file("maps.gif"), 1), frameRGBA(*image.Images()[1]));
    EXPECT_EQ(magickRGBA(dir.file("maps.gif"), 0), frameRGBA(*image.Images()[0]));
}
