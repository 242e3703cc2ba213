// The CCITT decoders against T.4 strips that libtiff's tiffcp and ImageMagick write, modified
// Huffman strips from a small encoder of our own (fax_mh.py), each checked pixel by pixel
// against libtiff's tiff2rgba; hand-made rows for the codes' corners. Leaves the page of text
// that ImageMagick compressed, as we decode it, in build/pictures-look/fax.png.
#include "pictures/DecoderFixtures.h"
#include "pictures/PictureFixtures.h"
#include "pictures/decoders/GraphicCompression.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QImage>

#include <sstream>

using namespace decoders;
using decoderfixtures::Bytes;
using testsupport::TempDir;

namespace {

// A bilevel page, 1 = black, rows of (w + 7) / 8 bytes: runs of every length class (short
// terminating runs, make-up runs, extended make-up runs past 1728), rows that end in white
// and rows that end in black.
Bytes page(int w, int h)
{
    const size_t stride = size_t(w + 7) / 8;
    Bytes bits(stride * h);
    uint32_t seed = 12345;
    for (int y = 0; y < h; ++y) {
        int x = 0;
        bool black = y % 3 == 1;
        while (x < w) {
            seed = seed * 1103515245u + 12345u;
            const int kind = int(seed >> 28);
            int run = kind < 8 ? 1 + int(seed >> 16) % 9 : kind < 13 ? 60 + int(seed >> 16) % 200 : 1700 + int(seed >> 16) % 900;
            run = std::min(run, w - x);
            for (int i = 0; i < run; ++i, ++x)
                if (black)
                    bits[size_t(y) * stride + size_t(x) / 8] |= uint8_t(0x80 >> (x % 8));
            black = !black;
        }
    }
    return bits;
}

std::string writePbm(const TempDir& dir, const std::string& name, const Bytes& bits, int w, int h)
{
    std::string s = "P4\n" + std::to_string(w) + " " + std::to_string(h) + "\n";
    s.append(reinterpret_cast<const char*>(bits.data()), bits.size());
    testsupport::writeFile(dir.file(name), s);
    return dir.file(name);
}

// Our bits as tiff2rgba gives them: 1 black (0, 0, 0) and 0 white (255, 255, 255), or the
// other way round in a min-is-black file.
std::string firstDifference(const Bytes& bits, const Bytes& rgba, int w, int h, bool minIsBlack = false)
{
    const size_t stride = size_t(w + 7) / 8;
    if (rgba.size() != size_t(w) * h * 4)
        return "reference of " + std::to_string(rgba.size()) + " bytes";
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool black = bool(bits[size_t(y) * stride + size_t(x) / 8] & (0x80 >> (x % 8))) != minIsBlack;
            const uint8_t want = rgba[(size_t(y) * w + x) * 4];
            if ((black ? 0 : 255) != want)
                return "pixel " + std::to_string(x) + "," + std::to_string(y);
        }
    return "";
}

// Decodes every strip of a bilevel TIFF with the decoder its compression asks for.
Bytes decodeTiff(const decoderfixtures::Tiff& t)
{
    const uint32_t w = t.width(), h = t.height(), rowsPerStrip = t.get(278, h);
    const size_t stride = (w + 7) / 8;
    const uint32_t compression = t.get(259);
    const bool swap = t.get(266, 1) == 2;
    std::unique_ptr<TDecoder> d;
    if (compression == 3)
        d = std::make_unique<TCCITTFax3Decoder>(t.get(292), swap, w, false);
    else
        d = std::make_unique<TCCITTMHDecoder>(0, swap, w, compression == 32771);
    Bytes out(stride * h + 4, 0xEE);
    d->DecodeInit();
    for (size_t i = 0; i < t.strips.size(); ++i) {
        const size_t first = i * rowsPerStrip;
        const size_t rows = std::min<size_t>(rowsPerStrip, h - first);
        TSource s(t.strips[i]);
        TTarget dest(out.data() + first * stride, rows * stride);
        d->Decode(s, dest, s.size(), dest.size());
    }
    d->DecodeEnd();
    for (size_t i = stride * h; i < out.size(); ++i)
        EXPECT_EQ(out[i], 0xEE) << "write past the page";
    out.resize(stride * h);
    return out;
}

// Bytes of a bit string ("0011..."), the last byte padded with 0s.
Bytes bitsOf(const std::string& s)
{
    Bytes b((s.size() + 7) / 8);
    for (size_t i = 0; i < s.size(); ++i)
        if (s[i] == '1')
            b[i / 8] |= uint8_t(0x80 >> (i % 8));
    return b;
}

Bytes decodeBits(TDecoder& d, const std::string& bits, size_t size)
{
    const Bytes in = bitsOf(bits);
    Bytes out(size + 2, 0xEE);
    TSource s(in);
    TTarget t(out.data(), size);
    d.Decode(s, t, in.size(), size);
    EXPECT_EQ(out[size], 0xEE);
    EXPECT_EQ(out[size + 1], 0xEE);
    out.resize(size);
    return out;
}

const std::string EOL = "000000000001";

}  // namespace

TEST(FaxDecoders, T4StripsOfTiffcpEqualTiff2rgba)
{
    TempDir dir;
    const int w = 2700, h = 24;
    const Bytes bits = page(w, h);
    ASSERT_TRUE(decoderfixtures::run("convert", {writePbm(dir, "p.pbm", bits, w, h), dir.file("raw.tif")}));
    const std::vector<std::vector<std::string>> cases = {
        {"-c", "g3:1d", "-r", "7"}, {"-c", "g3:1d:fill", "-r", "24"}, {"-c", "g3:1d", "-f", "lsb2msb", "-r", "10"}};
    for (const auto& args : cases) {
        std::vector<std::string> all = args;
        all.push_back(dir.file("raw.tif"));
        all.push_back(dir.file("g3.tif"));
        ASSERT_TRUE(decoderfixtures::run("tiffcp", all));
        const auto t = decoderfixtures::readTiff(dir.file("g3.tif"));
        ASSERT_EQ(t.get(259), 3u);
        const bool minIsBlack = t.get(262) == 1;
        Bytes got = decodeTiff(t);
        EXPECT_EQ(firstDifference(got, decoderfixtures::tiffRgba(dir, dir.file("g3.tif")), w, h, minIsBlack), "")
            << args[1];
        // ImageMagick stores the page min-is-black, its bits inverted.
        for (uint8_t& b : got)
            b = minIsBlack ? uint8_t(~b) : b;
        for (int y = 0; y < h; ++y)  // the pad bits at the rows' ends are the tools' own
            got[size_t(y + 1) * ((w + 7) / 8) - 1] &= uint8_t(0xFF << (7 - (w - 1) % 8));
        EXPECT_EQ(got, bits) << args[1];
    }
}

// libtiff reads word-aligned strips (32771) by its own lookahead, which drops a byte after
// some rows that end on an even byte; the aligned strips are checked against its reading of
// the same rows without the padding.
TEST(FaxDecoders, ModifiedHuffmanStripsEqualTiff2rgbaPlainWordAlignedAndBitReversed)
{
    TempDir dir;
    const int w = 2003, h = 17;
    const Bytes bits = page(w, h);
    const std::string pbm = writePbm(dir, "p.pbm", bits, w, h);
    Bytes reference;
    for (const std::vector<std::string>& mode : {std::vector<std::string>{}, {"lsb"}, {"aligned"}, {"aligned", "lsb"}}) {
        std::vector<std::string> args{testsupport::sourceDir() + "/tests/pictures/fax_mh.py", pbm};
        args.insert(args.end(), mode.begin(), mode.end());
        const auto r = testsupport::runCommand(testsupport::python3(), args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        // Rows of odd byte lengths are what word alignment pads.
        std::istringstream lengths(r.err);
        int odd = 0;
        for (int n = 0; lengths >> n;)
            odd += n % 2;
        EXPECT_GT(odd, 0);
        const bool aligned = mode.size() && mode[0] == "aligned";
        const bool lsb = mode.size() && mode.back() == "lsb";
        decoderfixtures::writeTiff(dir.file("mh.tif"),
                                   {{256, {uint32_t(w)}}, {257, {uint32_t(h)}}, {258, {1}}, {259, {aligned ? 32771u : 2u}},
                                    {262, {0}}, {266, {lsb ? 2u : 1u}}, {277, {1}}, {278, {uint32_t(h)}}},
                                   {Bytes(r.out.begin(), r.out.end())});
        if (!aligned)
            reference = decoderfixtures::tiffRgba(dir, dir.file("mh.tif"));
        const Bytes got = decodeTiff(decoderfixtures::readTiff(dir.file("mh.tif")));
        EXPECT_EQ(firstDifference(got, reference, w, h), "") << (aligned ? "aligned " : "") << (lsb ? "lsb" : "");
        EXPECT_EQ(got, bits);
    }
}

TEST(FaxDecoders, RowCornersZeroWhiteRunsOverlongRunsAndShortDestinations)
{
    // A white run of 0 (its terminating code) before black starts the row with black.
    TCCITTFax3Decoder t4(0, false, 8, false);
    EXPECT_EQ(decodeBits(t4, EOL + "00110101" + "000101", 1), (Bytes{0xFF}));
    TCCITTMHDecoder mh(0, false, 8, false);
    EXPECT_EQ(decodeBits(mh, "00110101" "000101", 1), (Bytes{0xFF}));
    // A white run of 10 in rows of 8 is cut at the row's end; the next row is where it belongs.
    EXPECT_EQ(decodeBits(t4, EOL + "00111" + EOL + "0111" "0010", 2), (Bytes{0x00, 0x3F}));
    EXPECT_EQ(decodeBits(mh, "00111000" "01110010", 2), (Bytes{0x00, 0x3F}));
    // A modified Huffman row that ends in white: the next row starts white all the same.
    EXPECT_EQ(decodeBits(mh, "10011000" "1011" "011" "0", 2), (Bytes{0x00, 0x0F}));
    // Fill bits before an end-of-line are passed over.
    EXPECT_EQ(decodeBits(t4, "0000" + EOL + "1011" "011" + "000000" + EOL + "0111" "0010", 2), (Bytes{0x0F, 0x3F}));
    // More rows than the destination holds, and a black run past its last byte, stop there.
    EXPECT_EQ(decodeBits(t4, EOL + "0111" "0010" + EOL + "0111" "0010" + EOL + "0111" "0010", 2), (Bytes{0x3F, 0x3F}));
    TCCITTFax3Decoder wide(0, false, 64, false);
    EXPECT_EQ(decodeBits(wide, EOL + "00110101" "0000001111", 2), (Bytes{0xFF, 0xFF}));
    TCCITTMHDecoder wideMh(0, false, 64, false);
    EXPECT_EQ(decodeBits(wideMh, "00110101" "0000001111", 1), (Bytes{0xFF}));
    // Word alignment counts from the strip's first byte: a 1-byte row is followed by a pad.
    TCCITTMHDecoder aligned(0, false, 8, true);
    EXPECT_EQ(decodeBits(aligned, "10011000" "11111111" "0111" "0010", 2), (Bytes{0x00, 0x3F}));
    // A destination of no bytes (a strip of no rows) has no memory to clear or fill.
    for (TDecoder* d : {static_cast<TDecoder*>(&t4), static_cast<TDecoder*>(&mh)}) {
        const Bytes in = bitsOf(EOL + "0111" "0010");
        TSource s(in);
        TTarget none;
        d->Decode(s, none, in.size(), 0);
        EXPECT_TRUE(none.empty());
    }
}

TEST(FaxDecoders, ImageMagicksFaxPageDecodesUnsheared)
{
    TempDir dir;
    const std::string tif = dir.file("page.tif");
    ASSERT_TRUE(decoderfixtures::run(
        "convert", {"-size", "640x220", "xc:white", "-fill", "black", "-pointsize", "22", "-annotate", "+20+40",
                    "Tambourelle: a page of text sent by fax.", "-annotate", "+20+80",
                    "The quick brown fox jumps over the lazy dog.", "-annotate", "+20+120",
                    "Lines stay straight, letters unsheared.", "-draw", "rectangle 20,150 620,153", "-draw",
                    "line 20,170 620,210", "-monochrome", "-compress", "Fax", tif}));
    const auto t = decoderfixtures::readTiff(tif);
    ASSERT_EQ(t.get(259), 3u);
    const int w = int(t.width()), h = int(t.height());
    const Bytes got = decodeTiff(t);
    const Bytes rgba = decoderfixtures::tiffRgba(dir, tif);
    // ImageMagick writes min-is-white: black (1) shows as 0.
    EXPECT_EQ(firstDifference(got, rgba, w, h), "");
    QImage look(w, h, QImage::Format_Mono);
    look.setColor(0, qRgb(255, 255, 255));
    look.setColor(1, qRgb(0, 0, 0));
    for (int y = 0; y < h; ++y)
        std::memcpy(look.scanLine(y), got.data() + size_t(y) * ((w + 7) / 8), size_t(w + 7) / 8);
    EXPECT_TRUE(look.save(picturefixtures::lookDir() + "/fax.png"));
}
