// Encoding the image data: each row converted from the DIB form, filtered by the object's
// filter choice and deflated into one zlib stream that is cut into IDAT chunks of
// `MaxIdatSize` bytes.
#include <algorithm>
#include <bit>
#include <vector>

#include <zlib.h>

#include "pictures/png/pngimage.h"
#include "pictures/png/pngrows.h"

namespace png {

namespace {

class IdatWriter {
public:
    IdatWriter(rtl::TStream& stream, int level, uint32_t chunkSize) : s_(stream), out_(chunkSize)
    {
        if (deflateInit(&z_, std::clamp(level, 0, 9)) != Z_OK)
            throw EPNGOutMemory();
        z_.next_out = out_.data();
        z_.avail_out = uInt(out_.size());
    }
    ~IdatWriter() { deflateEnd(&z_); }
    IdatWriter(const IdatWriter&) = delete;
    IdatWriter& operator=(const IdatWriter&) = delete;

    void Write(const uint8_t* p, size_t n)
    {
        z_.next_in = const_cast<uint8_t*>(p);
        z_.avail_in = uInt(n);
        while (z_.avail_in > 0) {
            if (deflate(&z_, Z_NO_FLUSH) == Z_STREAM_ERROR)
                throw EPNGZLIBError(zError(Z_STREAM_ERROR));
            if (z_.avail_out == 0)
                flush();
        }
    }

    void Finish()
    {
        int ret;
        do {
            ret = deflate(&z_, Z_FINISH);
            if (ret == Z_STREAM_ERROR)
                throw EPNGZLIBError(zError(ret));
            if (z_.avail_out == 0)
                flush();
        } while (ret != Z_STREAM_END);
        if (z_.avail_out < out_.size())
            flush();
    }

private:
    void flush()
    {
        WriteChunk(s_, "IDAT", out_.data(), out_.size() - z_.avail_out);
        z_.next_out = out_.data();
        z_.avail_out = uInt(out_.size());
    }

    rtl::TStream& s_;
    std::vector<uint8_t> out_;
    z_stream z_{};
};

// Repeats within a filtered row: a byte equal to the one or two before it.
int score(const uint8_t* f, size_t n)
{
    int s = 0;
    for (size_t i = 2; i < n; ++i)
        s += f[i] == f[i - 1] || f[i] == f[i - 2];
    return s;
}

}  // namespace

bool TChunkIDAT::SaveToStream(rtl::TStream& stream)
{
    const TPNGObject& png = Owner();
    const TChunkIHDR& h = png.Header();
    const uint8_t depth = h.BitDepth == 2 ? 4 : h.BitDepth;
    const rows::Layout l(h.Width, h.Height, h.ColorType, depth);
    IdatWriter out(stream, png.CompressionLevel, png.MaxIdatSize());
    const size_t full = l.RowBytes(h.Width);
    std::vector<uint8_t> raw(full), prev(full), best(full + 1);
    std::array<std::vector<uint8_t>, 5> filtered;
    const TFilters set = png.Filters & AllFilters;
    const bool single = std::popcount(unsigned(set)) <= 1;
    const uint8_t only = set ? uint8_t(std::countr_zero(unsigned(set))) : uint8_t(pfNone);
    for (auto& f : filtered)
        f.resize(full);

    rows::ForEachPass(h.Width, h.Height, png.InterlaceMethod, [&](const rows::Pass& p, uint32_t pw, uint32_t ph) {
        const size_t n = l.RowBytes(pw);
        std::fill(prev.begin(), prev.end(), 0);
        for (uint32_t r = 0; r < ph; ++r) {
            rows::EncodeRow(h, png.InverseGamma, depth, raw.data(), int32_t(p.y0 + r * p.dy), p.x0, p.dx, pw);
            uint8_t type = only;
            if (single) {
                rows::Filter(type, raw.data(), prev.data(), best.data() + 1, n, l.filterOffset);
            } else {
                int bestScore = 0;
                type = pfNone;
                for (uint8_t t = 0; t < 5; ++t) {
                    if (!(set & FilterSet(TFilter(t))))
                        continue;
                    rows::Filter(t, raw.data(), prev.data(), filtered[t].data(), n, l.filterOffset);
                    const int sc = score(filtered[t].data(), n);
                    if (sc > bestScore)
                        bestScore = sc, type = t;
                }
                if (set & FilterSet(TFilter(type)))
                    std::copy_n(filtered[type].begin(), n, best.begin() + 1);
                else
                    std::copy_n(raw.begin(), n, best.begin() + 1);
            }
            best[0] = type;
            out.Write(best.data(), n + 1);
            std::swap(raw, prev);
        }
    });
    out.Finish();
    return true;
}

}  // namespace png
