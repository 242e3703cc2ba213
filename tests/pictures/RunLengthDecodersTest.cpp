// The run-length decoders against files that independent encoders write (libtiff's tiffcp,
// netpbm's ppmtopcx and pnmtosgi, ImageMagick's Targa writer), our Targa encoder read back by
// ImageMagick, and hand-made streams for the rules' corners and for headers that claim more
// than the buffers hold.
#include "pictures/DecoderFixtures.h"
#include "pictures/PictureTestSupport.h"
#include "pictures/decoders/GraphicCompression.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace decoders;
using decoderfixtures::Bytes;
using testsupport::TempDir;

namespace {

constexpr int W = 37, H = 23;

// Decodes `in` into a buffer of `size` bytes pre-filled with 0xEE, so that bytes a decoder did
// not write show; the buffer has 4 guard bytes that must stay untouched.
Bytes decode(TDecoder& d, const Bytes& in, size_t size, size_t packed = SIZE_MAX, size_t unpacked = SIZE_MAX)
{
    Bytes out(size + 4, 0xEE);
    TSource s(in);
    TTarget t(out.data(), size);
    d.Decode(s, t, packed == SIZE_MAX ? in.size() : packed, unpacked == SIZE_MAX ? size : unpacked);
    for (size_t i = size; i < out.size(); ++i)
        EXPECT_EQ(out[i], 0xEE) << "write past the destination at " << i;
    out.resize(size);
    return out;
}

uint32_t le16(const Bytes& b, size_t at) { return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8; }
uint32_t be16(const Bytes& b, size_t at) { return uint32_t(b[at]) << 8 | b[at + 1]; }
uint32_t be32(const Bytes& b, size_t at) { return be16(b, at) << 16 | be16(b, at + 2); }

}  // namespace

TEST(RunLengthDecoders, PackBitsStripsOfTiffcpDecodeToTheUncompressedRows)
{
    TempDir dir;
    const Bytes rgb = decoderfixtures::pattern(W, H, 3);
    const std::string ppm = decoderfixtures::writePpm(dir, "p.ppm", rgb, W, H);
    ASSERT_TRUE(decoderfixtures::run("convert", {ppm, "-depth", "8", "-compress", "none", dir.file("raw.tif")}));
    ASSERT_TRUE(decoderfixtures::run("tiffcp", {"-c", "packbits", "-r", "5", dir.file("raw.tif"), dir.file("pb.tif")}));
    const auto raw = decoderfixtures::readTiff(dir.file("raw.tif"));
    const auto packed = decoderfixtures::readTiff(dir.file("pb.tif"));
    ASSERT_EQ(packed.get(259), 32773u);
    ASSERT_EQ(packed.strips.size(), size_t((H + 4) / 5));
    Bytes expected;
    for (const Bytes& s : raw.strips)
        expected.insert(expected.end(), s.begin(), s.end());
    EXPECT_EQ(expected, rgb);
    Bytes got;
    TPackbitsRLEDecoder d;
    for (size_t i = 0; i < packed.strips.size(); ++i) {
        const size_t rows = std::min<size_t>(5, H - i * 5);
        const Bytes strip = decode(d, packed.strips[i], rows * W * 3);
        got.insert(got.end(), strip.begin(), strip.end());
    }
    EXPECT_EQ(got, rgb);
}

TEST(RunLengthDecoders, PackBitsCornersAndOverlongHeaders)
{
    TPackbitsRLEDecoder d;
    // 0x80 is no header of its own: the next byte is read as one.
    EXPECT_EQ(decode(d, {0x80, 0x01, 'a', 'b', 0xFE, 'c'}, 5), (Bytes{'a', 'b', 'c', 'c', 'c'}));
    // A literal that claims more than the source holds copies what is there.
    EXPECT_EQ(decode(d, {0x05, 'a', 'b'}, 4), (Bytes{'a', 'b', 0xEE, 0xEE}));
    // Runs and literals are cut at the destination's end.
    EXPECT_EQ(decode(d, {0x81, 'z'}, 3), (Bytes{'z', 'z', 'z'}));
    // The caller keeps its own position.
    Bytes in{0x00, 'q'}, out(1);
    TSource s(in);
    TTarget t(out);
    d.Decode(s, t, 2, 1);
    EXPECT_EQ(s.data(), in.data());
    EXPECT_EQ(t.data(), out.data());
    // A destination of no bytes, which has no memory behind it, takes neither runs nor literals.
    TSource runs(in);
    TTarget none;
    d.Decode(runs, none, 2, 0);
    EXPECT_TRUE(none.empty());
}

TEST(RunLengthDecoders, PcxOfPpmtopcxDecodesToItsPlanes)
{
    TempDir dir;
    const Bytes rgb = decoderfixtures::pattern(W, H, 5);
    const std::string ppm = decoderfixtures::writePpm(dir, "p.ppm", rgb, W, H);
    const auto r = testsupport::runCommand("ppmtopcx", {ppm});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Bytes pcx(r.out.begin(), r.out.end());
    ASSERT_GT(pcx.size(), 128u);
    ASSERT_EQ(pcx[2], 1) << "run-length encoded";
    const uint32_t planes = pcx[65], line = le16(pcx, 66);
    ASSERT_EQ(planes, 3u);
    ASSERT_EQ(le16(pcx, 8) - le16(pcx, 4) + 1, uint32_t(W));
    const Bytes data(pcx.begin() + 128, pcx.end());
    TPCXRLEDecoder d;
    const Bytes got = decode(d, data, size_t(H) * planes * line);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            for (uint32_t c = 0; c < 3; ++c)
                ASSERT_EQ(got[(size_t(y) * planes + c) * line + x], rgb[(size_t(y) * W + x) * 3 + c])
                    << x << "," << y << " plane " << c;
    // 0xC0 counts 0: it writes nothing and takes the next byte with it.
    EXPECT_EQ(decode(d, {0xC0, 0x55, 0x07, 0xC3, 0x09}, 4), (Bytes{0x07, 0x09, 0x09, 0x09}));
    // A run header at the source's end, and a run past the destination's end.
    EXPECT_EQ(decode(d, {0x01, 0xC5}, 2), (Bytes{0x01, 0xEE}));
    EXPECT_EQ(decode(d, {0xFF, 0x02}, 5), (Bytes(5, 0x02)));
}

TEST(RunLengthDecoders, SgiRowsOfPnmtosgiDecodeInEightAndSixteenBits)
{
    TempDir dir;
    const Bytes rgb = decoderfixtures::pattern(W, H, 7);
    const std::string ppm = decoderfixtures::writePpm(dir, "p.ppm", rgb, W, H);
    ASSERT_TRUE(decoderfixtures::run("convert", {ppm, "-depth", "16", dir.file("p16.ppm")}));
    for (int bits : {8, 16}) {
        const auto r = testsupport::runCommand("pnmtosgi", {"-rle", bits == 8 ? ppm : dir.file("p16.ppm")});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const Bytes sgi(r.out.begin(), r.out.end());
        const int bpc = sgi[3];
        ASSERT_EQ(bpc * 8, bits);
        ASSERT_EQ(be16(sgi, 6), uint32_t(W));
        TSGIRLEDecoder d(bits);
        for (int c = 0; c < 3; ++c)
            for (int row = 0; row < H; ++row) {
                const size_t entry = size_t(c) * H + row;
                const uint32_t start = be32(sgi, 512 + entry * 4);
                const uint32_t length = be32(sgi, 512 + size_t(H) * 3 * 4 + entry * 4);
                ASSERT_LE(size_t(start) + length, sgi.size());
                const Bytes in(sgi.begin() + start, sgi.begin() + start + length);
                const Bytes got = decode(d, in, size_t(W) * bpc);
                const int y = H - 1 - row;  // bottom row first
                for (int x = 0; x < W; ++x) {
                    const uint8_t want = rgb[(size_t(y) * W + x) * 3 + size_t(c)];
                    ASSERT_EQ(got[size_t(x) * bpc], want) << bits << " bits, " << x << "," << y;
                }
            }
    }
    // A row ends when full even without its closing count, and a literal is cut there.
    TSGIRLEDecoder d8(8);
    EXPECT_EQ(decode(d8, {0x05, 0x11, 0x83, 1, 2, 3}, 7), (Bytes{0x11, 0x11, 0x11, 0x11, 0x11, 1, 2}));
    EXPECT_EQ(decode(d8, {0x02, 0x11, 0x00, 0x02, 0x22}, 4), (Bytes{0x11, 0x11, 0xEE, 0xEE}));
    TSGIRLEDecoder d16(16);
    EXPECT_EQ(decode(d16, {0x00, 0x02, 0xAB, 0xCD, 0x00, 0x81, 1, 2, 0x00, 0x00}, 8),
              (Bytes{0xAB, 0xCD, 0xAB, 0xCD, 1, 2, 0xEE, 0xEE}));
}

TEST(RunLengthDecoders, TargaOfImageMagickDecodesRowByRowAndHandsBackItsPosition)
{
    TempDir dir;
    const Bytes rgb = decoderfixtures::pattern(W, H, 9);
    const std::string ppm = decoderfixtures::writePpm(dir, "p.ppm", rgb, W, H);
    ASSERT_TRUE(decoderfixtures::run("convert", {ppm, "-compress", "RLE", dir.file("rle.tga")}));
    ASSERT_TRUE(decoderfixtures::run("convert", {ppm, "-compress", "none", dir.file("raw.tga")}));
    const Bytes rle = decoderfixtures::readBytes(dir.file("rle.tga"));
    const Bytes raw = decoderfixtures::readBytes(dir.file("raw.tga"));
    ASSERT_EQ(rle[2], 10);
    ASSERT_EQ(rle[16], 24);
    ASSERT_EQ(raw[2], 2);
    TTargaRLEDecoder d(24);
    TSource s(rle.data() + 18 + rle[0], rle.size() - 18 - rle[0]);
    const size_t rowBytes = size_t(W) * 3;
    for (int row = 0; row < H; ++row) {
        Bytes line(rowBytes);
        TTarget t(line);
        const uint8_t* before = s.data();
        d.Decode(s, t, s.size(), W);
        EXPECT_GT(s.data(), before);
        const size_t at = 18 + raw[0] + row * rowBytes;
        ASSERT_EQ(line, Bytes(raw.begin() + long(at), raw.begin() + long(at + rowBytes))) << "row " << row;
    }
}

TEST(RunLengthDecoders, TargaDepthsAndPacketsCutAtThePixelsAsked)
{
    // 15 bits take two bytes a pixel, as 16 do.
    TTargaRLEDecoder d15(15);
    EXPECT_EQ(decode(d15, {0x81, 0x34, 0x12, 0x00, 0x78, 0x56}, 6), (Bytes{0x34, 0x12, 0x34, 0x12, 0x78, 0x56}));
    // A run of 128 asked for 3 pixels writes 3; a literal cut short still passes over its
    // pixels, so the next packet starts right.
    TTargaRLEDecoder d8(8);
    EXPECT_EQ(decode(d8, {0xFF, 0x42}, 3), (Bytes{0x42, 0x42, 0x42}));
    Bytes in{0x03, 1, 2, 3, 4, 0x80, 9};
    Bytes out(2);
    TSource s(in);
    TTarget t(out);
    d8.Decode(s, t, in.size(), 2);
    EXPECT_EQ(out, (Bytes{1, 2}));
    EXPECT_EQ(s.data(), in.data() + 5);
    // A literal longer than the source copies what is there; other depths decode nothing.
    EXPECT_EQ(decode(d8, {0x05, 7, 8}, 4), (Bytes{7, 8, 0xEE, 0xEE}));
    TTargaRLEDecoder d12(12);
    EXPECT_EQ(decode(d12, {0x80, 1, 2}, 2), (Bytes{0xEE, 0xEE}));
}

TEST(RunLengthDecoders, TargaEncodingIsReadBackByImageMagick)
{
    TempDir dir;
    const Bytes rgb = decoderfixtures::pattern(W, H, 11);
    TTargaRLEDecoder d(24);
    Bytes file = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, W, 0, H, 0, 24, 0x20};  // top-down
    for (int y = 0; y < H; ++y) {
        Bytes bgr(size_t(W) * 3);
        for (int x = 0; x < W; ++x)
            for (int c = 0; c < 3; ++c)
                bgr[size_t(x) * 3 + c] = rgb[(size_t(y) * W + x) * 3 + 2 - c];
        Bytes packed(bgr.size() * 2);
        size_t stored = 0;
        d.Encode(bgr, packed, W, stored);
        ASSERT_GT(stored, 0u);
        file.insert(file.end(), packed.begin(), packed.begin() + long(stored));
        // Our own decoder agrees as well.
        EXPECT_EQ(decode(d, Bytes(packed.begin(), packed.begin() + long(stored)), bgr.size(), SIZE_MAX, W), bgr);
    }
    testsupport::writeFile(dir.file("ours.tga"), std::string(file.begin(), file.end()));
    int w = 0, h = 0;
    const auto px = pngtest::magickPixels(dir.file("ours.tga"), &w, &h);
    ASSERT_EQ(w, W);
    ASSERT_EQ(h, H);
    for (size_t i = 0; i < px.size(); ++i)
        ASSERT_TRUE(px[i].r == rgb[i * 3] && px[i].g == rgb[i * 3 + 1] && px[i].b == rgb[i * 3 + 2]) << "pixel " << i;

    // 130 equal pixels: a run of 128 and a run of 2; a lone last pixel a literal of 1.
    Bytes same(131 * 3, 0x10);
    same[130 * 3] = same[130 * 3 + 1] = same[130 * 3 + 2] = 0x20;
    Bytes packed(1000);
    size_t stored = 0;
    d.Encode(same, packed, 131, stored);
    packed.resize(stored);
    EXPECT_EQ(packed, (Bytes{0xFF, 0x10, 0x10, 0x10, 0x81, 0x10, 0x10, 0x10, 0x00, 0x20, 0x20, 0x20}));
}

TEST(RunLengthDecoders, CutRowsEndAtTheirCountOrWhenFullAndHandBackThePosition)
{
    TCUTRLEDecoder d;
    // Two rows: a run and a literal, each with its 2-byte length and closing 0.
    const Bytes in{5, 0, 0x83, 0x44, 0x02, 7, 8, 0, 3, 0, 0x82, 0x66, 0};
    Bytes row(5);
    TSource s(in);
    TTarget t(row);
    d.Decode(s, t, in.size(), row.size());
    EXPECT_EQ(row, (Bytes{0x44, 0x44, 0x44, 7, 8}));
    EXPECT_EQ(s.size(), 5u);
    Bytes second(2);
    TTarget t2(second);
    d.Decode(s, t2, s.size(), second.size());
    EXPECT_EQ(second, (Bytes{0x66, 0x66}));
    EXPECT_TRUE(s.empty());
    // A run past the row's end is cut; a truncated run writes nothing.
    EXPECT_EQ(decode(d, {0, 0, 0xFF, 0x01}, 4), (Bytes(4, 0x01)));
    EXPECT_EQ(decode(d, {0, 0, 0x01, 0x05, 0x85}, 3), (Bytes{0x05, 0xEE, 0xEE}));
}

TEST(RunLengthDecoders, PaintShopProAndRlaRunsAndLiteralsStayInsideTheBuffers)
{
    TPSPRLEDecoder psp;
    EXPECT_EQ(decode(psp, {0x02, 1, 2, 0x83, 9}, 5), (Bytes{1, 2, 9, 9, 9}));
    EXPECT_EQ(decode(psp, {0x7F, 1, 2}, 4), (Bytes{1, 2, 0xEE, 0xEE}));
    EXPECT_EQ(decode(psp, {0x01, 1, 0x85}, 3), (Bytes{1, 0xEE, 0xEE}));
    // The packed size limits the source as well.
    EXPECT_EQ(decode(psp, {0x01, 1, 0x82, 5}, 3, 2), (Bytes{1, 0xEE, 0xEE}));
    TRLADecoder rla;
    EXPECT_EQ(decode(rla, {0x02, 7, 0xFE, 1, 2}, 5), (Bytes{7, 7, 7, 1, 2}));
    EXPECT_EQ(decode(rla, {0x80, 1, 2}, 4), (Bytes{1, 2, 0xEE, 0xEE}));
    EXPECT_EQ(decode(rla, {0xFF, 1, 0x03}, 3), (Bytes{1, 0xEE, 0xEE}));
}

TEST(RunLengthDecoders, ThunderScanRunsDeltasAndRowEnds)
{
    // Rows of 3 bytes (6 pixels). Pixels 7 and 9, then a run of 3 after the even count:
    // two bytes of 9s, the second keeping only its high nibble.
    TThunderDecoder d(3);
    EXPECT_EQ(decode(d, {0xC7, 0xC9, 0x03}, 3), (Bytes{0x79, 0x99, 0x90}));
    // A run after an odd count completes the pending byte with the last pixel first, and the
    // whole byte is what the run repeats.
    EXPECT_EQ(decode(d, {0xC5, 0x03}, 3), (Bytes{0x55, 0x55, 0xEE}));
    // 2-bit deltas {0, +1, skip, -1} and 3-bit deltas {0..3, skip, -3..-1} from the last pixel.
    EXPECT_EQ(decode(d, {0xC8, 0x40 | 1 << 4 | 2 << 2 | 3, 0x80 | 3 << 3 | 5}, 3),
              (Bytes{0x89, 0x8B, 0x80}));
    // A run longer than the row is cut at the row's end; the next row starts afresh.
    EXPECT_EQ(decode(d, {0xC1, 0x3F, 0xC2, 0x01}, 6), (Bytes{0x11, 0x11, 0x11, 0x22, 0xEE, 0xEE}));
    // A destination shorter than a row is never overrun.
    EXPECT_EQ(decode(d, {0xC4, 0x3F}, 2), (Bytes{0x44, 0x44}));
}
