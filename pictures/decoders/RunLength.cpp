// The run-length decoders. Each works between two cursors that know their buffer's end, so
// a header that claims more than is there is cut at the end of the source or destination;
// runs are block fills and literals block copies.
#include <algorithm>
#include <cstring>

#include "pictures/decoders/GraphicCompression.h"

namespace decoders {

namespace {

struct Cursor {
    const uint8_t* p;
    const uint8_t* end;
    size_t left() const { return size_t(end - p); }
};

struct Output {
    uint8_t* p;
    uint8_t* end;
    size_t left() const { return size_t(end - p); }
    void fill(uint8_t value, size_t n)
    {
        n = std::min(n, left());
        if (n == 0)
            return;  // an empty target may have no memory at all
        std::memset(p, value, n);
        p += n;
    }
    // Copies up to n bytes from the source, both cut at their ends.
    void copy(Cursor& in, size_t n)
    {
        n = std::min({n, left(), in.left()});
        if (n == 0)
            return;
        std::memcpy(p, in.p, n);
        p += n;
        in.p += n;
    }
};

Cursor sourceOf(const TSource& s, size_t packed)
{
    return Cursor{s.data(), s.data() + std::min(packed, s.size())};
}

Output targetOf(const TTarget& d, size_t unpacked)
{
    return Output{d.data(), d.data() + std::min(unpacked, d.size())};
}

}  // namespace

void TDecoder::Encode(TSource, TTarget, size_t, size_t& BytesStored)
{
    BytesStored = 0;
}

// ---- Targa

TTargaRLEDecoder::TTargaRLEDecoder(int ColorDepth) : colorDepth_(ColorDepth)
{
    switch (ColorDepth) {
    case 8: bytesPerPixel_ = 1; break;
    case 15:
    case 16: bytesPerPixel_ = 2; break;
    case 24: bytesPerPixel_ = 3; break;
    case 32: bytesPerPixel_ = 4; break;
    default: bytesPerPixel_ = 0; break;
    }
}

void TTargaRLEDecoder::Decode(TSource& Source, TTarget& Dest, size_t, size_t UnpackedSize)
{
    const size_t bpp = bytesPerPixel_;
    if (bpp == 0)
        return;
    Cursor in{Source.data(), Source.data() + Source.size()};
    Output out = targetOf(Dest, std::min(UnpackedSize, Dest.size() / bpp) * bpp);
    while (out.left() >= bpp && in.left() > 0) {
        const uint8_t h = *in.p++;
        const size_t n = (h & 0x7Fu) + 1;
        const size_t fits = std::min(n, out.left() / bpp);
        if (h & 0x80) {
            if (in.left() < bpp)
                break;
            if (bpp == 1) {
                out.fill(*in.p, fits);
            } else {
                for (size_t i = 0; i < fits; ++i, out.p += bpp)
                    std::memcpy(out.p, in.p, bpp);
            }
            in.p += bpp;
        } else {
            const size_t literal = std::min(n * bpp, in.left());
            Cursor part{in.p, in.p + std::min(literal, fits * bpp)};
            out.copy(part, fits * bpp);
            in.p += literal;
        }
    }
    Source = Source.subspan(size_t(in.p - Source.data()));
}

void TTargaRLEDecoder::Encode(TSource Source, TTarget Dest, size_t Count, size_t& BytesStored)
{
    BytesStored = 0;
    const size_t bpp = size_t(colorDepth_ + 1) / 8;
    if (bpp == 0 || bytesPerPixel_ == 0)
        return;
    Count = std::min(Count, Source.size() / bpp);
    const uint8_t* p = Source.data();
    auto same = [bpp](const uint8_t* a, const uint8_t* b) { return std::memcmp(a, b, bpp) == 0; };
    auto put = [&](uint8_t header, const uint8_t* pixels, size_t bytes) {
        if (Dest.size() - BytesStored < bytes + 1)
            throw EGraphicCompression("Targa encoding buffer too small.");
        Dest[BytesStored] = header;
        std::memcpy(Dest.data() + BytesStored + 1, pixels, bytes);
        BytesStored += bytes + 1;
    };
    size_t left = Count;
    while (left > 0) {
        size_t raw = 0;
        if (left == 1) {
            raw = 1;
        } else {
            while (raw < left - 1 && raw < 128 && !same(p + raw * bpp, p + (raw + 1) * bpp))
                ++raw;
        }
        if (raw > 0) {
            put(uint8_t(raw - 1), p, raw * bpp);
            p += raw * bpp;
            left -= raw;
        }
        size_t run = left > 0 ? 1 : 0;
        while (run < left && run < 128 && same(p, p + run * bpp))
            ++run;
        if (run > 1) {
            put(uint8_t((run - 1) | 0x80), p, bpp);
            p += run * bpp;
            left -= run;
        }
    }
}

// ---- PackBits

void TPackbitsRLEDecoder::Decode(TSource& Source, TTarget& Dest, size_t PackedSize, size_t UnpackedSize)
{
    Cursor in = sourceOf(Source, PackedSize);
    Output out = targetOf(Dest, UnpackedSize);
    while (out.left() > 0 && in.left() > 0) {
        const int n = int8_t(*in.p++);
        if (n >= 0) {
            out.copy(in, size_t(n) + 1);
        } else if (n != -128) {
            if (in.left() == 0)
                break;
            out.fill(*in.p++, size_t(1 - n));
        }
    }
}

// ---- PCX

void TPCXRLEDecoder::Decode(TSource& Source, TTarget& Dest, size_t PackedSize, size_t UnpackedSize)
{
    Cursor in = sourceOf(Source, PackedSize);
    Output out = targetOf(Dest, UnpackedSize);
    while (out.left() > 0 && in.left() > 0) {
        const uint8_t b = *in.p++;
        if (b >= 0xC0) {
            if (in.left() == 0)
                break;
            out.fill(*in.p++, b & 0x3Fu);
        } else {
            *out.p++ = b;
        }
    }
}

// ---- SGI

TSGIRLEDecoder::TSGIRLEDecoder(int SampleSize) : sampleSize_(SampleSize) {}

void TSGIRLEDecoder::Decode(TSource& Source, TTarget& Dest, size_t, size_t)
{
    Cursor in{Source.data(), Source.data() + Source.size()};
    Output out{Dest.data(), Dest.data() + Dest.size()};
    if (sampleSize_ == 16) {
        while (out.left() >= 2 && in.left() >= 2) {
            const unsigned header = unsigned(in.p[0]) << 8 | in.p[1];
            in.p += 2;
            const size_t n = header & 0x7F;
            if (n == 0)
                break;
            if (header & 0x80) {
                out.copy(in, std::min(n * 2, in.left() & ~size_t(1)));
            } else {
                if (in.left() < 2)
                    break;
                for (size_t i = 0; i < n && out.left() >= 2; ++i, out.p += 2)
                    std::memcpy(out.p, in.p, 2);
                in.p += 2;
            }
        }
        return;
    }
    while (out.left() > 0 && in.left() > 0) {
        const uint8_t b = *in.p++;
        const size_t n = b & 0x7Fu;
        if (n == 0)
            break;
        if (b & 0x80) {
            out.copy(in, n);
        } else {
            if (in.left() == 0)
                break;
            out.fill(*in.p++, n);
        }
    }
}

// ---- Dr. Halo CUT

void TCUTRLEDecoder::Decode(TSource& Source, TTarget& Dest, size_t, size_t UnpackedSize)
{
    Cursor in{Source.data(), Source.data() + Source.size()};
    Output out = targetOf(Dest, UnpackedSize);
    in.p += std::min<size_t>(2, in.left());
    while (in.left() > 0) {
        if (out.left() == 0) {
            // A full row still passes over its closing count, so the next row starts right.
            if (*in.p == 0)
                ++in.p;
            break;
        }
        const uint8_t b = *in.p++;
        if (b == 0)
            break;
        const size_t n = b & 0x7Fu;
        if (b & 0x80) {
            if (in.left() == 0)
                break;
            out.fill(*in.p++, n);
        } else {
            out.copy(in, n);
        }
    }
    Source = Source.subspan(size_t(in.p - Source.data()));
}

// ---- Paint Shop Pro

void TPSPRLEDecoder::Decode(TSource& Source, TTarget& Dest, size_t PackedSize, size_t UnpackedSize)
{
    Cursor in = sourceOf(Source, PackedSize);
    Output out = targetOf(Dest, UnpackedSize);
    while (in.left() > 0 && out.left() > 0) {
        const uint8_t b = *in.p++;
        if (b < 128) {
            out.copy(in, b);
        } else {
            if (in.left() == 0)
                break;
            out.fill(*in.p++, b - 128u);
        }
    }
}

// ---- RLA

void TRLADecoder::Decode(TSource& Source, TTarget& Dest, size_t PackedSize, size_t UnpackedSize)
{
    Cursor in = sourceOf(Source, PackedSize);
    Output out = targetOf(Dest, UnpackedSize);
    while (in.left() > 0 && out.left() > 0) {
        const int n = int8_t(*in.p++);
        if (n >= 0) {
            if (in.left() == 0)
                break;
            out.fill(*in.p++, size_t(n) + 1);
        } else {
            out.copy(in, size_t(-n));
        }
    }
}

// ---- ThunderScan

TThunderDecoder::TThunderDecoder(size_t Width) : width_(Width) {}

namespace {

constexpr int twoBitDeltas[4] = {0, 1, 0, -1};
constexpr int threeBitDeltas[8] = {0, 1, 2, 3, 0, -3, -2, -1};

// A row of 4-bit pixels being built, high nibble first; every write stays inside the row.
struct NibbleRow {
    uint8_t* op;
    uint8_t* end;
    size_t count = 0;  // pixels set so far
    uint8_t last = 0;

    void setPixel(int p)
    {
        last = uint8_t(p & 15);
        if (op < end) {
            if (count & 1)
                *op++ |= last;
            else
                *op = uint8_t(last << 4);
        }
        ++count;
    }

    // A run of the last pixel; n counts pixels and may end at -1, which takes the half byte
    // back (the completed pending byte then keeps only its high nibble).
    void run(int n, size_t pixelsLeft)
    {
        uint8_t* written = nullptr;
        if (count & 1) {
            if (op < end) {
                *op |= last;
                last = *op;
                written = op++;
            }
            ++count;
            --n;
            --pixelsLeft;
        } else {
            last = uint8_t(last | last << 4);
        }
        if (n > int(pixelsLeft))
            n = int(pixelsLeft);
        count = size_t(int64_t(count) + n);
        for (; n > 0; n -= 2)
            if (op < end) {
                *op = last;
                written = op++;
            }
        if (n == -1 && written) {
            op = written;
            *op &= 0xF0;
        }
        last &= 0x0F;
    }

    // Three 2-bit or two 3-bit deltas from the last pixel, the first in the highest bits; the
    // middle code of each width sets no pixel.
    void deltas(uint8_t b, int bits, const int* table, size_t pixels)
    {
        const int skip = 1 << (bits - 1);
        for (int shift = 6 - bits; shift >= 0; shift -= bits) {
            const int d = (b >> shift) & ((1 << bits) - 1);
            if (d != skip && count < pixels)
                setPixel(last + table[d]);
        }
    }
};

}  // namespace

void TThunderDecoder::Decode(TSource& Source, TTarget& Dest, size_t PackedSize, size_t UnpackedSize)
{
    if (width_ == 0)
        return;
    Cursor in = sourceOf(Source, PackedSize);
    Output out = targetOf(Dest, UnpackedSize);
    for (uint8_t* row = out.p; row < out.end && in.left() > 0; row += std::min(width_, size_t(out.end - row))) {
        NibbleRow r{row, row + std::min(width_, size_t(out.end - row))};
        const size_t pixels = 2 * width_;
        while (in.left() > 0 && r.count < pixels) {
            const uint8_t b = *in.p++;
            switch (b >> 6) {
            case 0:
                r.run(b, pixels - r.count);
                break;
            case 1:
                r.deltas(b, 2, twoBitDeltas, pixels);
                break;
            case 2:
                r.deltas(b, 3, threeBitDeltas, pixels);
                break;
            default:
                r.setPixel(b);
                break;
            }
        }
    }
}

}  // namespace decoders
