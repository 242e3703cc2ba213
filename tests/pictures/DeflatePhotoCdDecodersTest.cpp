// The deflate decoder on strips that libtiff's tiffcp compresses, in pieces as the PNG reader
// feeds it, and on damaged data; the Photo-CD decoder on detail streams laid out as the
// format has them (Huffman tables, row markers, planes), built bit by bit here.
#include "pictures/DecoderFixtures.h"
#include "pictures/decoders/GraphicCompression.h"
#include "platform/rtl/Streams.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <zlib.h>

using namespace decoders;
using decoderfixtures::Bytes;
using testsupport::TempDir;

TEST(DeflateDecoder, TiffcpZipStripsInflateToTheRawRows)
{
    TempDir dir;
    const int w = 41, h = 29;
    const Bytes rgb = decoderfixtures::pattern(w, h, 13);
    const std::string ppm = decoderfixtures::writePpm(dir, "p.ppm", rgb, w, h);
    ASSERT_TRUE(decoderfixtures::run("convert", {ppm, "-depth", "8", "-compress", "none", dir.file("raw.tif")}));
    ASSERT_TRUE(decoderfixtures::run("tiffcp", {"-c", "zip", "-r", "8", dir.file("raw.tif"), dir.file("zip.tif")}));
    const auto t = decoderfixtures::readTiff(dir.file("zip.tif"));
    ASSERT_EQ(t.get(259), 8u);
    ASSERT_EQ(t.strips.size(), 4u);
    TLZ77Decoder d(Z_PARTIAL_FLUSH, true);
    d.DecodeInit();
    Bytes got(rgb.size() + 4, 0xEE);
    for (size_t i = 0; i < t.strips.size(); ++i) {
        const size_t rowBytes = size_t(w) * 3, first = i * 8, rows = std::min<size_t>(8, h - first);
        TSource s(t.strips[i]);
        TTarget out(got.data() + first * rowBytes, rows * rowBytes);
        uint8_t* end = out.data() + out.size();
        d.Decode(s, out, s.size(), out.size());
        EXPECT_EQ(d.Status(), Z_STREAM_END) << "strip " << i;
        EXPECT_FALSE(d.Failed());
        // Both positions are handed back: the whole strip read, the rows all written.
        EXPECT_TRUE(s.empty());
        EXPECT_EQ(out.data(), end);
    }
    d.DecodeEnd();
    EXPECT_EQ(Bytes(got.begin() + long(rgb.size()), got.end()), Bytes(4, 0xEE));
    got.resize(rgb.size());
    EXPECT_EQ(got, rgb);
}

TEST(DeflateDecoder, PiecesContinueWhereTheLastCallStoppedAndDamageIsReported)
{
    Bytes raw(5000);
    for (size_t i = 0; i < raw.size(); ++i)
        raw[i] = uint8_t(i * 7 / 13);
    uLongf packedSize = compressBound(uLong(raw.size()));
    Bytes packed(packedSize);
    ASSERT_EQ(compress2(packed.data(), &packedSize, raw.data(), uLong(raw.size()), 9), Z_OK);
    packed.resize(packedSize);

    // As the PNG reader does: no reset, the output in rows of 100 bytes, the input in pieces.
    TLZ77Decoder d(Z_PARTIAL_FLUSH, false);
    d.DecodeInit();
    Bytes out(raw.size());
    TSource in(packed.data(), 10);
    size_t fed = 10;
    for (size_t row = 0; row < raw.size() / 100; ++row) {
        TTarget t(out.data() + row * 100, 100);
        while (!t.empty() && d.Status() != Z_STREAM_END) {
            if (in.empty()) {
                const size_t n = std::min<size_t>(10, packed.size() - fed);
                in = TSource(packed.data() + fed, n);
                fed += n;
            }
            d.Decode(in, t, in.size(), t.size());
            ASSERT_FALSE(d.Failed()) << d.Status();
            EXPECT_EQ(d.AvailableInput(), in.size());
            EXPECT_EQ(d.AvailableOutput(), t.size());
        }
    }
    EXPECT_EQ(d.Status(), Z_STREAM_END);
    EXPECT_EQ(out, raw);
    d.DecodeEnd();

    // A damaged stream reaches the caller as zlib's data error; nothing raises meanwhile.
    Bytes damaged = packed;
    for (size_t i = 20; i < 40; ++i)
        damaged[i] ^= 0x5A;
    TLZ77Decoder once(Z_FINISH, true);
    once.DecodeInit();
    Bytes sink(raw.size());
    TSource s(damaged);
    TTarget t(sink);
    once.Decode(s, t, s.size(), t.size());
    EXPECT_EQ(once.Status(), Z_DATA_ERROR);
    EXPECT_TRUE(once.Failed());
    // A reset starts the next strip afresh.
    TSource good(packed);
    TTarget all(sink);
    once.Decode(good, all, good.size(), all.size());
    EXPECT_EQ(once.Status(), Z_STREAM_END);
    EXPECT_EQ(sink, raw);
    once.DecodeEnd();
}

namespace {

// A Photo-CD detail stream, bit by bit: tables, then rows each behind a marker.
struct PcdStream {
    std::string bits;
    void byte(unsigned v)
    {
        for (int b = 7; b >= 0; --b)
            bits += (v >> b) & 1 ? '1' : '0';
    }
    void word(unsigned v) { byte(v >> 8), byte(v & 0xFF); }
    // One table of (code, delta); codes as bit strings.
    void table(const std::vector<std::pair<std::string, int>>& entries, int lengthOverride = 0)
    {
        byte(unsigned(entries.size() - 1));
        for (const auto& [code, delta] : entries) {
            byte(unsigned(lengthOverride ? lengthOverride : int(code.size())) - 1);
            word(unsigned(std::stoul(code + std::string(16 - code.size(), '0'), nullptr, 2)));
            byte(unsigned(delta) & 0xFF);
        }
    }
    // A marker for `row` of `plane` (0 luma, 2 and 3 chroma), then the codes, then ones up to
    // the next byte.
    void row(unsigned row, unsigned plane, const std::string& codes)
    {
        bits += std::string(3, '1');  // bits that are no code: the decoder looks for the marker
        while (bits.size() % 8)
            bits += '1';
        byte(0xFF), byte(0xFF), byte(0xFE);
        byte(plane << 6 | row >> 7), byte((row & 0x7F) << 1);
        bits += codes;
    }
    Bytes bytes() const
    {
        std::string b = bits;
        while (b.size() % 8)
            b += '1';
        Bytes out(b.size() / 8);
        for (size_t i = 0; i < b.size(); ++i)
            if (b[i] == '1')
                out[i / 8] |= uint8_t(0x80 >> (i % 8));
        return out;
    }
};

std::string repeat(const std::string& s, size_t n)
{
    std::string r;
    for (size_t i = 0; i < n; ++i)
        r += s;
    return r;
}

// "00" lowers by 1, "01" raises by 100, "10" keeps.
const std::vector<std::pair<std::string, int>> deltas = {{"00", 0xFF}, {"01", 100}, {"10", 0}};

void run(const PcdStream& p, size_t width, size_t rows, Bytes& luma, Bytes& c1, Bytes& c2)
{
    rtl::TMemoryStream stream(p.bytes());
    TPCDDecoder d(stream);
    d.SetPlanes(luma, c1, c2);
    TSource none;
    TTarget nowhere;
    d.Decode(none, nowhere, width, rows);
}

}  // namespace

TEST(PhotoCdDecoder, FourBaseStreamReadsOneTableAndClampsItsDeltas)
{
    const size_t width = 1536, rows = 4;
    PcdStream p;
    p.table(deltas);
    p.row(1, 0, "00" "01" "00" "10" "01");
    // A chroma row while only one table was read is passed over.
    p.row(2, 2, repeat("01", 10));
    // Codes past the row's end are dropped, not carried into the next row.
    p.row(0, 0, repeat("01", width + 5));
    p.row(4, 0, "01");  // the rows' end: decoding stops
    p.row(3, 0, "01");
    Bytes luma(width * rows, 7), c1(width * rows / 4, 9), c2(width * rows / 4, 9);
    luma[width + 0] = 0, luma[width + 1] = 200, luma[width + 2] = 50, luma[width + 4] = 160;
    run(p, width, rows, luma, c1, c2);
    EXPECT_EQ(Bytes(luma.begin() + long(width), luma.begin() + long(width) + 6), (Bytes{0, 255, 49, 7, 255, 7}));
    EXPECT_EQ(Bytes(luma.begin(), luma.begin() + long(width)), Bytes(width, 107));
    EXPECT_EQ(luma[width + 6], 7);
    EXPECT_EQ(Bytes(luma.begin() + long(3 * width), luma.end()), Bytes(width, 7));
    EXPECT_EQ(c1, Bytes(c1.size(), 9));
    EXPECT_EQ(c2, Bytes(c2.size(), 9));
}

TEST(PhotoCdDecoder, SixteenBaseStreamReadsThreeTablesForLumaAndChroma)
{
    const size_t width = 3072, rows = 4;
    PcdStream p;
    p.table(deltas);
    p.table({{"01", 1}, {"00", 0xFE}});
    p.table({{"011", 3}, {"00", 0}, {"010", 0xFD}});
    p.row(0, 0, "01" "01");
    p.row(3, 2, "01" "00" "01");            // first chroma, row 3 / 2 = 1, its own table
    p.row(2, 3, "011" "010" "00" "011");  // second chroma, row 1
    Bytes luma(width * rows, 10), c1(width * 2, 10), c2(width * 2, 10);
    run(p, width, rows, luma, c1, c2);
    EXPECT_EQ(Bytes(luma.begin(), luma.begin() + 3), (Bytes{110, 110, 10}));
    EXPECT_EQ(Bytes(c1.begin() + long(width), c1.begin() + long(width) + 4), (Bytes{11, 8, 11, 10}));
    EXPECT_EQ(Bytes(c2.begin() + long(width), c2.begin() + long(width) + 5), (Bytes{13, 7, 10, 13, 10}));
    EXPECT_EQ(Bytes(c1.begin(), c1.begin() + long(width)), Bytes(width, 10));
}

TEST(PhotoCdDecoder, LongCodesPlaneOneAndStreamsWithoutMarkersEndQuietly)
{
    const size_t width = 1536, rows = 2;
    Bytes luma(width * rows, 50), c1(16, 0), c2(16, 0);
    PcdStream longCodes;
    longCodes.table(deltas, 17);
    longCodes.row(0, 0, "01");
    run(longCodes, width, rows, luma, c1, c2);
    EXPECT_EQ(luma, Bytes(luma.size(), 50));

    PcdStream planeOne;
    planeOne.table(deltas);
    planeOne.row(0, 1, "01");
    planeOne.row(1, 0, "01");
    run(planeOne, width, rows, luma, c1, c2);
    EXPECT_EQ(luma, Bytes(luma.size(), 50));

    // Tables and then nothing that looks like a marker: the search ends with the stream.
    PcdStream noMarker;
    noMarker.table(deltas);
    noMarker.bits += repeat("01", 5000);
    run(noMarker, width, rows, luma, c1, c2);
    EXPECT_EQ(luma, Bytes(luma.size(), 50));
    // A row number past the planes' rows ends decoding.
    PcdStream pastEnd;
    pastEnd.table(deltas);
    pastEnd.row(7000, 0, "01");
    run(pastEnd, width, rows, luma, c1, c2);
    EXPECT_EQ(luma, Bytes(luma.size(), 50));
}
