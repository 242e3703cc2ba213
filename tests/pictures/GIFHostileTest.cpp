// Hostile GIF files: sizes the data cannot pay for, floods of frames and extensions, code sizes
// past the table, decoder tables that loop, files cut anywhere and bytes flipped at random.
// None may crash, hang or allocate much; each ends with the reader's own errors and warnings.
#include "GIFTestSupport.h"

#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <set>

using namespace giftest;

namespace {

Bytes frameHeader(int left, int top, int w, int h)
{
    return {',', uint8_t(left), uint8_t(left >> 8), uint8_t(top), uint8_t(top >> 8), uint8_t(w), uint8_t(w >> 8),
            uint8_t(h), uint8_t(h >> 8), 0};
}

// Every message the reader may end with or warn about.
bool knownMessage(const std::string& m)
{
    static const std::set<std::string> known = {
        "Invalid GIF signature", "Invalid number of colors specified in Screen Descriptor",
        "Invalid number of colors specified in Image Descriptor", "Unknown extension type",
        "Invalid extension introducer", "Internal error: Extension Instance does not match Extension Label",
        "Unsupported Application Extension block size", "Invalid GIF data", "Premature end of data",
        "Circular decoder table entry", "Unknown GIF block type", "Decoder bit buffer under-run",
        "Invalid Image trailer", "Image exceeds Logical Screen size", "Image width too small for contained frames",
        "Image height too small for contained frames", "Invalid color index", "Too many frames",
        "Too many extensions", "Too many application data blocks", "Frames too large for one image"};
    static const std::regex ours(R"((Frame too large|Frame data too short for its size) \(\d+ x \d+\)|Invalid LZW minimum code size \d+)");
    return known.count(m) || std::regex_match(m, ours);
}

void expectOnlyKnownMessages(const Loaded& r)
{
    if (!r.error.empty()) {
        EXPECT_TRUE(knownMessage(r.error)) << r.error;
    }
    for (const auto& w : r.warnings)
        EXPECT_TRUE(knownMessage(w)) << w;
}

}  // namespace

TEST(GIFHostile, SizesTheDataCannotPayFor)
{
    // 65535 x 65535 from one descriptor: past the bitmap limit before anything is allocated.
    Loaded huge = load(GifBuilder().header(10, 10, 1).raw(frameHeader(0, 0, 65535, 65535)).raw({2, 1, 0x44, 0}).bytes);
    EXPECT_EQ(huge.error, "Frame too large (65535 x 65535)");
    // 16000 x 16000 fits a bitmap, but 10 bytes of LZW cannot become 256 million pixels.
    Loaded claim = load(GifBuilder().header(10, 10, 1).raw(frameHeader(0, 0, 16000, 16000))
                            .raw({2, 10, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0}).bytes);
    EXPECT_EQ(claim.error, "Frame data too short for its size (16000 x 16000)");
    // A 0 side that becomes a large logical screen pays the same way.
    Loaded zero = load(GifBuilder().header(16000, 16000, 1).raw(frameHeader(0, 0, 0, 0)).raw({2, 1, 0x44, 0}).bytes);
    EXPECT_EQ(zero.error, "Frame data too short for its size (16000 x 16000)");
    EXPECT_EQ(zero.warnings, std::vector<std::string>{"Image exceeds Logical Screen size"});
}

TEST(GIFHostile, FloodsOfFramesAndExtensions)
{
    GifBuilder frames;
    frames.header(1, 1, 1);
    const Bytes one = GifBuilder().frame(0, 0, 1, 1, {1}, 1).bytes;
    for (int i = 0; i < 3000; ++i)
        frames.raw(one);
    Loaded ok = load(GifBuilder(frames).trailer().bytes);
    EXPECT_EQ(ok.error, "");
    EXPECT_EQ(ok.image->Images().Count(), 3000);
    for (int i = 3000; i < GIFLimits::MaxFrames + 1; ++i)
        frames.raw(one);
    EXPECT_EQ(load(frames.bytes).error, "Too many frames");

    GifBuilder comments;
    comments.header(1, 1, 1);
    for (int i = 0; i < GIFLimits::MaxExtensions + 1; ++i)
        comments.raw({0x21, 0xFE, 0});
    EXPECT_EQ(load(comments.bytes).error, "Too many extensions");
}

TEST(GIFHostile, CodeSizesPastTheTableAndLoopingTables)
{
    for (int size : {12, 13, 100, 255}) {
        Loaded r = load(GifBuilder().header(4, 4, 1).raw(frameHeader(0, 0, 4, 4)).raw({uint8_t(size), 2, 1, 1, 0}).bytes);
        EXPECT_EQ(r.error, "Invalid LZW minimum code size " + std::to_string(size));
    }
    // A code whose prefix is itself.
    Loaded self = load(GifBuilder().header(8, 8, 2).raw(frameHeader(0, 0, 8, 8))
                           .raw(packCodes(2, {{4, 3}, {0, 3}, {7, 3}, {6, 3}, {7, 4}})).bytes);
    EXPECT_EQ(self.error, "Circular decoder table entry");
    // Two entries that are each other's prefix: the walk would never end.
    Loaded pair = load(GifBuilder().header(8, 8, 2).raw(frameHeader(0, 0, 8, 8))
                           .raw(packCodes(2, {{4, 3}, {7, 3}, {6, 3}, {7, 3}, {6, 4}})).bytes);
    EXPECT_EQ(pair.error, "Circular decoder table entry");
}

TEST(GIFHostile, CutAndFlippedFilesEndWithKnownMessages)
{
    GifBuilder b;
    b.header(24, 16, 3).loop(0).comment("a comment").gce(2, 10, 5);
    b.frame(0, 0, 24, 16, noise(24 * 16, 8, 1), 3);
    b.gce(1, 10).frame(4, 2, 9, 7, noise(63, 16, 2), 4, 0x40, 4);
    const Bytes file = b.trailer().bytes;
    for (size_t cut = 0; cut < file.size(); ++cut) {
        SCOPED_TRACE(cut);
        expectOnlyKnownMessages(load(Bytes(file.begin(), file.begin() + long(cut))));
    }
    std::mt19937 random(77);
    for (int round = 0; round < 3000; ++round) {
        Bytes bad = file;
        for (int k = 0; k < 3; ++k)
            bad[random() % bad.size()] = uint8_t(random());
        Loaded r = load(bad);
        expectOnlyKnownMessages(r);
        if (r.error.empty() && r.image->Images().Count() > 0) {
            // What loads can be drawn (unless its screen is larger than its data pays for) and
            // written again.
            try {
                (void)r.image->Bitmap();
            } catch (const GIFException& e) {
                EXPECT_TRUE(std::regex_match(e.what(), std::regex(R"(Logical screen too large \(\d+ x \d+\))"))) << e.what();
            }
            rtl::TMemoryStream out;
            try {
                r.image->SaveToStream(out);
            } catch (const GIFException& e) {
                EXPECT_STREQ(e.what(), "Color not in color table");
            }
        }
    }
}
