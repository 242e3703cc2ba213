// The LZW codec: streams other encoders are allowed to write (no clear code, a full table,
// 12-bit codes split over tiny sub-blocks, data cut short), our two encoders on noise, flat and
// striped frames of every depth read back by ImageMagick and gifsicle, and the codes that
// must not come out (empty frames, colours outside the map).
#include "GIFTestSupport.h"
#include "pictures/gif/GIFCodec.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <random>

using namespace giftest;
using testsupport::runCommand;

namespace {

// Decodes LZW data into w x h pixels filled with `fill`; warnings collected.
Bytes decode(const Bytes& data, int w, int h, std::vector<std::string>* warnings = nullptr, uint8_t fill = 0)
{
    rtl::TMemoryStream stream(data);
    Bytes pixels(size_t(w) * size_t(h), fill);
    DecodeGIFFrame(stream, pixels.data(), w, h, false, [&](const std::string& m) {
        if (warnings)
            warnings->push_back(m);
    });
    return pixels;
}

// A file of one w x h frame over a 256-entry global map, with `data` as its LZW data.
Bytes fileWith(int w, int h, const Bytes& data)
{
    return GifBuilder().header(w, h, 8).raw({',', 0, 0, 0, 0, uint8_t(w), uint8_t(w >> 8), uint8_t(h), uint8_t(h >> 8), 0})
        .raw(data).trailer().bytes;
}

}  // namespace

TEST(GIFCodec, StreamsOtherEncodersWrite)
{
    // No clear code in front: the decoder starts as if it had read one.
    EXPECT_EQ(decode(packCodes(2, {{1, 3}, {0, 3}, {1, 3}, {5, 4}}), 3, 1), (Bytes{1, 0, 1}));

    // Literal codes only, past the 4096th table entry without a clear code: the table stays
    // full and codes stay 12 bits.
    std::mt19937 random(4);
    std::vector<std::pair<int, int>> codes;
    Bytes expected;
    int size = 9, next = 258, limit = 512;
    for (int i = 0; i < 4500; ++i) {
        const int literal = int(random() % 256);
        expected.push_back(uint8_t(literal));
        codes.push_back({literal, size});
        if (i > 0 && next < 4096 && ++next >= limit && limit < 4096) {
            limit *= 2;
            ++size;
        }
    }
    codes.push_back({257, size});
    EXPECT_EQ(size, 12);
    const Bytes full = packCodes(8, codes);
    EXPECT_EQ(decode(full, 90, 50), expected);

    // The same codes cut into 1-byte sub-blocks: a 12-bit code then spans three of them.
    Bytes tiny = {full[0]};
    for (size_t i = 1; i < full.size();) {
        const size_t len = full[i++];
        for (size_t k = 0; k < len; ++k)
            tiny.insert(tiny.end(), {1, full[i + k]});
        i += len;
    }
    tiny.push_back(0);
    std::vector<std::string> warnings;
    EXPECT_EQ(decode(tiny, 90, 50, &warnings), expected);
    EXPECT_TRUE(warnings.empty());

    if (haveTools()) {
        testsupport::TempDir dir;
        writeBytes(dir.file("full.gif"), fileWith(90, 50, tiny));
        Loaded ours = loadFile(dir.file("full.gif"));
        ASSERT_EQ(ours.error, "");
        EXPECT_EQ(magickRGBA(dir.file("full.gif"), 0), frameRGBA(*ours.image->Images()[0]));
    }
}

TEST(GIFCodec, DataCutShortKeepsTheFillValue)
{
    const Bytes pixels = noise(400, 16, 9);
    const Bytes data = lzw(pixels, 20, 20, 4);
    // The first sub-block claims more bytes than the file has left.
    const Bytes cut(data.begin(), data.begin() + 2 + 40);
    for (int transparent : {-1, 7}) {
        Bytes file = GifBuilder().header(20, 20, 4).gce(0, 0, transparent).bytes;
        GifBuilder frame;
        frame.raw({',', 0, 0, 0, 0, 20, 0, 20, 0, 0}).raw(cut);
        file.insert(file.end(), frame.bytes.begin(), frame.bytes.end());
        Loaded r = load(file);
        ASSERT_EQ(r.error, "");
        EXPECT_EQ(r.warnings.front(), "Premature end of data");
        const Bytes& got = r.image->Images()[0]->DataBuffer();
        const uint8_t fill = transparent < 0 ? 0 : uint8_t(transparent);
        size_t same = 0;
        while (same < got.size() && got[same] == pixels[same])
            ++same;
        EXPECT_GT(same, 40u);
        EXPECT_LT(same, 400u);
        EXPECT_TRUE(std::all_of(got.begin() + 300, got.end(), [&](uint8_t p) { return p == fill; }));
    }
}

TEST(GIFCodec, EncodersReadBackByOtherPrograms)
{
    if (!haveTools())
        GTEST_SKIP() << "ImageMagick or gifsicle missing";
    testsupport::TempDir dir;
    const int w = 61, h = 37;
    for (int bits = 1; bits <= 8; ++bits) {
        const int colors = 1 << bits;
        std::vector<std::pair<std::string, Bytes>> patterns = {{"noise", noise(w * h, colors, unsigned(bits))},
                                                              {"flat", Bytes(size_t(w * h), uint8_t(colors - 1))},
                                                              {"stripes", {}}};
        for (int i = 0; i < w * h; ++i)
            patterns[2].second.push_back(uint8_t((i / 5 + i / w) % colors));
        for (const auto& [name, pixels] : patterns) {
            for (TGIFCompression compression : {gcLZW, gcRLE}) {
                SCOPED_TRACE(name + " " + std::to_string(bits) + " bits, " + (compression == gcLZW ? "LZW" : "RLE"));
                TGIFImage image;
                image.Compression = compression;
                for (int c = 0; c < colors; ++c)
                    image.GlobalColorMap().Add(gfx::RGB(c * 255 / colors, (c * 77) & 255, 255 - c));
                auto frame = std::make_unique<TGIFSubImage>(&image);
                frame->SetBoundsRect(gfx::Bounds(0, 0, w, h));
                frame->SetInterlaced(bits % 3 == 0);
                std::copy(pixels.begin(), pixels.end(), frame->Data());
                image.Add(std::move(frame));
                const std::string ours = dir.file("ours.gif"), theirs = dir.file("theirs.gif");
                writeBytes(ours, saved(image));
                EXPECT_EQ(load(readBytes(ours)).image->Images()[0]->DataBuffer(), pixels);
                const Bytes expected = frameRGBA(*image.Images()[0]);
                EXPECT_EQ(magickRGBA(ours, 0), expected);
                // gifsicle decodes and encodes the frame again to change its interlacing.
                const auto r = runCommand("gifsicle", {bits % 3 == 0 ? "--no-interlace" : "--interlace", ours, "-o", theirs});
                ASSERT_EQ(r.exitCode, 0);
                EXPECT_EQ(r.err, "");
                // (It drops unused colours, so its indices may differ; the colours may not.)
                EXPECT_EQ(frameRGBA(*load(readBytes(theirs)).image->Images()[0]), expected);
            }
        }
    }
}

TEST(GIFCodec, WhatTheEncoderWritesAndRefuses)
{
    // One bit per pixel still takes the smallest code size, 2.
    EXPECT_EQ(lzw({0, 1, 1, 0}, 2, 2, 1)[0], 2);
    // An empty frame: the code size, the end code, and the 0 block.
    rtl::TMemoryStream empty;
    TLZWEncoder().Compress(empty, 8, 0, 0, false, nullptr, 256);
    EXPECT_EQ(empty.Bytes(), (Bytes{8, 2, 1, 1, 0}));
    rtl::TMemoryStream emptyTwo;
    TRLEEncoder().Compress(emptyTwo, 1, 0, 5, false, nullptr, 2);
    EXPECT_EQ(emptyTwo.Bytes(), (Bytes{2, 1, 5, 0}));

    // An interlaced frame with its own map stays interlaced in its descriptor.
    if (haveTools()) {
        TGIFImage own;
        auto f = std::make_unique<TGIFSubImage>(&own);
        f->SetBoundsRect(gfx::Bounds(0, 0, 9, 20));
        f->SetInterlaced(true);
        for (int c = 0; c < 8; ++c)
            f->ColorMap().Add(gfx::RGB(c * 30, 255 - c * 30, c * 7));
        const Bytes rows = noise(9 * 20, 8, 3);
        std::copy(rows.begin(), rows.end(), f->Data());
        own.Add(std::move(f));
        testsupport::TempDir dir;
        writeBytes(dir.file("own.gif"), saved(own));
        EXPECT_EQ(magickRGBA(dir.file("own.gif"), 0), frameRGBA(*own.Images()[0]));
        EXPECT_TRUE(load(saved(own)).image->Images()[0]->Interlaced());
    }

    // A pixel outside the colour map.
    TGIFImage image;
    image.GlobalColorMap().Add(gfx::clRed);
    image.GlobalColorMap().Add(gfx::clBlue);
    image.GlobalColorMap().Add(gfx::clLime);
    auto frame = std::make_unique<TGIFSubImage>(&image);
    frame->SetBoundsRect(gfx::Bounds(0, 0, 2, 2));
    frame->SetPixels(1, 1, 3);
    image.Add(std::move(frame));
    rtl::TMemoryStream out;
    try {
        image.SaveToStream(out);
        ADD_FAILURE() << "saved";
    } catch (const GIFException& e) {
        EXPECT_STREQ(e.what(), "Color not in color table");
    }

    // The writer stream only writes.
    rtl::TMemoryStream sink;
    TGIFWriter writer(sink);
    uint8_t b = 0;
    EXPECT_THROW(writer.Read(&b, 1), std::runtime_error);
    for (int i = 0; i < 300; ++i)
        writer.WriteByte(uint8_t(i));
    writer.Flush();
    ASSERT_EQ(sink.Size(), 302);
    EXPECT_EQ(sink.Bytes()[0], 255);
    EXPECT_EQ(sink.Bytes()[256], 45);
}
