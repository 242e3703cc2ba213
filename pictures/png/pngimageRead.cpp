// Decoding the image data: the IDAT sequence inflated row by row straight into the DIB form.
// Only the rows' bytes are inflated, so data past the last row costs nothing; a stream or an
// IDAT sequence that ends before the last row is an error, never a half picture.
#include <algorithm>
#include <cstring>
#include <vector>

#include <zlib.h>

#include "pictures/png/pngimage.h"
#include "pictures/png/pngrows.h"
#include "platform/rtl/BigEndian.h"

namespace png {

namespace {

const uint8_t IdatName[4] = {'I', 'D', 'A', 'T'};

// The inflated bytes of consecutive IDAT chunks, checking each chunk's CRC as it is used up.
class IdatStream {
public:
    IdatStream(rtl::TStream& stream, uint32_t firstLength) : s_(stream), left_(firstLength)
    {
        crc_ = UpdateCrc(0, IdatName, 4);
        if (inflateInit(&z_) != Z_OK)
            throw EPNGOutMemory();
    }
    ~IdatStream() { inflateEnd(&z_); }
    IdatStream(const IdatStream&) = delete;
    IdatStream& operator=(const IdatStream&) = delete;

    void Read(uint8_t* out, size_t n)
    {
        z_.next_out = out;
        z_.avail_out = uInt(n);
        while (z_.avail_out > 0) {
            if (z_.avail_in == 0)
                refill();
            const int ret = inflate(&z_, Z_NO_FLUSH);
            if (ret == Z_STREAM_END && z_.avail_out > 0)
                throw EPNGZLIBError(zError(Z_DATA_ERROR));
            if (ret != Z_OK && ret != Z_STREAM_END)
                throw EPNGZLIBError(zError(ret));
        }
    }

    // The rest of the current chunk for its CRC, then the CRC.
    void Finish()
    {
        while (left_ > 0) {
            const size_t n = std::min<size_t>(left_, buffer_.size());
            s_.ReadBuffer(buffer_.data(), int64_t(n));
            crc_ = UpdateCrc(crc_, buffer_.data(), n);
            left_ -= uint32_t(n);
        }
        checkCrc();
    }

private:
    void refill()
    {
        while (left_ == 0) {
            checkCrc();
            uint8_t head[8];
            if (s_.Read(head, 8) != 8)
                throw EPngUnexpectedEnd();
            if (std::memcmp(head + 4, IdatName, 4) != 0)
                throw EPNGMissingMultipleIDAT();
            left_ = rtl::be32(head);
            CheckChunkLength(s_, left_);
            crc_ = UpdateCrc(0, IdatName, 4);
        }
        const size_t n = std::min<size_t>(left_, buffer_.size());
        s_.ReadBuffer(buffer_.data(), int64_t(n));
        crc_ = UpdateCrc(crc_, buffer_.data(), n);
        left_ -= uint32_t(n);
        z_.next_in = buffer_.data();
        z_.avail_in = uInt(n);
    }

    void checkCrc()
    {
        uint8_t crc[4];
        if (s_.Read(crc, 4) != 4)
            throw EPngUnexpectedEnd();
        if (rtl::be32(crc) != crc_)
            throw EPngInvalidCRC();
    }

    rtl::TStream& s_;
    uint32_t left_;
    uint32_t crc_ = 0;
    z_stream z_{};
    std::vector<uint8_t> buffer_ = std::vector<uint8_t>(65535);
};

void buildGrayRamp(TChunkIHDR& h, const std::array<uint8_t, 256>& gamma)
{
    const int entries = 1 << TChunkIHDR::DibBits(h.ColorType, h.BitDepth);
    for (int i = 0; i < entries; ++i) {
        const uint8_t v = gamma[size_t(i * 255 / (entries - 1))];
        h.ColorTable[size_t(i)] = TRGBQuad{v, v, v, 0};
    }
    h.ApplyColorTable();
}

}  // namespace

bool TChunkIDAT::LoadFromStream(rtl::TStream& stream, const std::string& chunkName, uint32_t size)
{
    CheckChunkLength(stream, size);
    SetName(chunkName);
    TChunkIHDR& h = Owner().Header();
    const auto& gamma = Owner().GammaTable;
    if (h.ColorType == pngGray || h.ColorType == pngGrayAlpha)
        buildGrayRamp(h, gamma);
    const rows::Layout l(h);
    IdatStream in(stream, size);
    std::vector<uint8_t> cur(l.RowBytes(h.Width) + 1), prev(cur.size());
    rows::ForEachPass(h.Width, h.Height, h.InterlaceMethod, [&](const rows::Pass& p, uint32_t pw, uint32_t ph) {
        const size_t n = l.RowBytes(pw);
        std::fill(prev.begin(), prev.end(), 0);
        for (uint32_t r = 0; r < ph; ++r) {
            in.Read(cur.data(), n + 1);
            rows::Unfilter(cur[0], cur.data() + 1, prev.data() + 1, n, l.filterOffset);
            rows::DecodeRow(h, gamma, cur.data() + 1, int32_t(p.y0 + r * p.dy), p.x0, p.dx, pw);
            std::swap(cur, prev);
        }
    });
    in.Finish();
    return true;
}

}  // namespace png
