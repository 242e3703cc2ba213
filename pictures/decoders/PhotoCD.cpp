// Photo-CD detail (the 4-Base and 16-Base residuals): Huffman-coded signed deltas, row by row,
// each row introduced by a marker (23 one bits and a zero) with its row number and plane.
// The bits pass through a 32-bit window whose top bits are the next bits of the stream.
//
// Bounds: a row number at or beyond the plane's rows ends decoding, codes past the row's end
// are dropped, a chroma row whose table was never read is passed over, and every search for
// a marker stops at the end of the stream.
#include <algorithm>
#include <array>
#include <vector>

#include "pictures/decoders/GraphicCompression.h"
#include "platform/rtl/Streams.h"

namespace decoders {

namespace {

struct HuffmanEntry {
    uint32_t code;  // left-aligned
    uint32_t mask;
    int length;
    int8_t delta;
};

using HuffmanTable = std::vector<HuffmanEntry>;

class BitWindow {
public:
    explicit BitWindow(rtl::TStream& s) : stream_(s) {}

    uint32_t sum = 0;

    void advance(int n)
    {
        sum = n >= 32 ? 0 : sum << n;
        bits_ -= n;
        while (bits_ <= 24) {
            sum |= uint32_t(nextByte()) << (24 - bits_);
            bits_ += 8;
        }
    }
    uint8_t readByte()
    {
        advance(8);
        return uint8_t(sum);
    }
    uint16_t readWord()
    {
        advance(16);
        return uint16_t(sum);
    }
    // True once the window holds nothing the stream supplied.
    bool exhausted() const { return padding_ >= 4; }

private:
    uint8_t nextByte()
    {
        if (pos_ == fill_) {
            fill_ = size_t(std::max<int64_t>(0, stream_.Read(buffer_.data(), int64_t(buffer_.size()))));
            pos_ = 0;
            if (fill_ == 0) {
                ++padding_;
                return 0;
            }
        }
        return buffer_[pos_++];
    }

    rtl::TStream& stream_;
    std::array<uint8_t, 2048> buffer_{};
    size_t pos_ = 0, fill_ = 0;
    int bits_ = 32;
    int padding_ = 0;
};

// False when a code is longer than 16 bits: the stream is not one we can read.
bool readTable(BitWindow& w, HuffmanTable& table)
{
    const int entries = w.readByte() + 1;
    table.resize(size_t(entries));
    for (HuffmanEntry& e : table) {
        e.length = w.readByte() + 1;
        if (e.length > 16)
            return false;
        e.code = uint32_t(w.readWord()) << 16;
        e.mask = ~uint32_t(0) << (32 - e.length);
        e.delta = int8_t(w.readByte());
    }
    return true;
}

bool atMarker(const BitWindow& w)
{
    return (w.sum & 0xFFFFFF00u) == 0xFFFFFE00u;
}

// Moves to the next row marker; false at the end of the stream.
bool seekMarker(BitWindow& w)
{
    while ((w.sum & 0x00FFF000u) != 0x00FFF000u) {
        if (w.exhausted())
            return false;
        w.advance(8);
    }
    while (!atMarker(w)) {
        if (w.exhausted())
            return false;
        w.advance(1);
    }
    return true;
}

const std::array<uint8_t, 768>& clampTable()
{
    static const std::array<uint8_t, 768> t = [] {
        std::array<uint8_t, 768> c{};
        for (int i = 0; i < 256; ++i) {
            c[size_t(256 + i)] = uint8_t(i);
            c[size_t(512 + i)] = 255;
        }
        return c;
    }();
    return t;
}

}  // namespace

TPCDDecoder::TPCDDecoder(rtl::TStream& Stream) : stream_(Stream) {}

void TPCDDecoder::SetPlanes(TTarget Luma, TTarget Chroma1, TTarget Chroma2)
{
    planes_[0] = Luma;
    planes_[1] = Chroma1;
    planes_[2] = Chroma2;
}

void TPCDDecoder::Decode(TSource&, TTarget&, size_t PackedSize, size_t UnpackedSize)
{
    const size_t width = PackedSize;
    const size_t rows = UnpackedSize;
    BitWindow w(stream_);
    std::vector<HuffmanTable> tables(width <= 1536 ? 1 : 3);
    for (HuffmanTable& t : tables)
        if (!readTable(w, t))
            return;
    const auto& clamp = clampTable();
    w.advance(16);
    w.advance(16);
    if (!seekMarker(w))
        return;
    uint8_t* out = nullptr;
    uint8_t* rowEnd = nullptr;
    const HuffmanTable* table = nullptr;
    while (!w.exhausted()) {
        if (atMarker(w)) {
            w.advance(16);
            const size_t row = (w.sum >> 9) & 0x1FFF;
            if (row >= rows)
                return;
            w.advance(8);
            const int plane = int(w.sum >> 30);
            w.advance(16);
            if (plane == 1)
                return;
            const size_t index = plane == 0 ? 0 : size_t(plane - 1);
            if (index >= tables.size()) {
                table = nullptr;  // a chroma row of a stream that brought one table
                if (!seekMarker(w))
                    return;
                continue;
            }
            table = &tables[index];
            TTarget target = planes_[index];
            const size_t start = (plane == 0 ? row : row / 2) * width;
            out = target.data() + std::min(start, target.size());
            rowEnd = target.data() + std::min(start + width, target.size());
            continue;
        }
        const HuffmanEntry* hit = nullptr;
        if (table)
            for (const HuffmanEntry& e : *table)
                if ((w.sum & e.mask) == e.code) {
                    hit = &e;
                    break;
                }
        if (!hit) {
            if (!seekMarker(w))
                return;
            continue;
        }
        if (out < rowEnd) {
            *out = clamp[size_t(256 + *out + hit->delta)];
            ++out;
        }
        w.advance(hit->length);
    }
}

}  // namespace decoders
