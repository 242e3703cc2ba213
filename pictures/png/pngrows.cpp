#include "pictures/png/pngrows.h"

#include <cstdlib>
#include <cstring>

namespace png::rows {

const std::array<Pass, 7> Adam7{{{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                 {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}}};

namespace {
int channels(uint8_t colorType)
{
    switch (colorType) {
    case pngRGB: return 3;
    case pngGrayAlpha: return 2;
    case pngRGBAlpha: return 4;
    default: return 1;
    }
}
}  // namespace

Layout::Layout(uint32_t w, uint32_t h, uint8_t colorType, uint8_t bitDepth)
    : width(w), height(h), bitsPerPixel(channels(colorType) * bitDepth),
      filterOffset(bitsPerPixel < 8 ? 1 : bitsPerPixel / 8)
{
}

uint64_t Layout::InflatedBytes(uint8_t interlace) const
{
    uint64_t total = 0;
    ForEachPass(width, height, interlace,
                [&](const Pass&, uint32_t pw, uint32_t ph) { total += uint64_t(ph) * (RowBytes(pw) + 1); });
    return total;
}

unsigned PackedPixel(const uint8_t* row, int32_t x, gfx::TPixelFormat format)
{
    switch (format) {
    case gfx::pf1bit: return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case gfx::pf4bit: return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15;
    default: return row[x];
    }
}

void SetPackedPixel(uint8_t* row, int32_t x, int bits, unsigned value)
{
    if (bits == 8) {
        row[x] = uint8_t(value);
        return;
    }
    const int perByte = 8 / bits;
    const int shift = (perByte - 1 - x % perByte) * bits;
    const unsigned mask = ((1u << bits) - 1) << shift;
    uint8_t& b = row[x / perByte];
    b = uint8_t((b & ~mask) | ((value << shift) & mask));
}

uint8_t Paeth(int a, int b, int c)
{
    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return uint8_t(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

void Unfilter(uint8_t type, uint8_t* row, const uint8_t* prev, size_t n, int bpp)
{
    const size_t o = size_t(bpp);
    switch (type) {
    case pfSub:
        for (size_t i = o; i < n; ++i)
            row[i] = uint8_t(row[i] + row[i - o]);
        break;
    case pfUp:
        for (size_t i = 0; i < n; ++i)
            row[i] = uint8_t(row[i] + prev[i]);
        break;
    case pfAverage:
        for (size_t i = 0; i < n; ++i)
            row[i] = uint8_t(row[i] + (((i >= o ? row[i - o] : 0) + prev[i]) >> 1));
        break;
    case pfPaeth:
        for (size_t i = 0; i < n; ++i)
            row[i] = uint8_t(row[i] + (i >= o ? Paeth(row[i - o], prev[i], prev[i - o]) : prev[i]));
        break;
    default:
        break;
    }
}

void Filter(uint8_t type, const uint8_t* row, const uint8_t* prev, uint8_t* out, size_t n, int bpp)
{
    const size_t o = size_t(bpp);
    for (size_t i = 0; i < n; ++i) {
        const int left = i >= o ? row[i - o] : 0, up = prev[i], upLeft = i >= o ? prev[i - o] : 0;
        int pred = 0;
        switch (type) {
        case pfSub: pred = left; break;
        case pfUp: pred = up; break;
        case pfAverage: pred = (left + up) >> 1; break;
        case pfPaeth: pred = Paeth(left, up, upLeft); break;
        default: break;
        }
        out[i] = uint8_t(row[i] - pred);
    }
}

void DecodeRow(TChunkIHDR& h, const std::array<uint8_t, 256>& g, const uint8_t* s, int32_t y, uint32_t x0,
               uint32_t dx, uint32_t count)
{
    uint8_t* d = h.ImageData.ScanLine(y);
    uint8_t* a = h.HasAlpha() ? h.AlphaRow(y) : nullptr;
    const bool wide = h.BitDepth == 16;
    switch (h.ColorType) {
    case pngRGB:
    case pngRGBAlpha: {
        const size_t step = (h.ColorType == pngRGB ? 3 : 4) * (wide ? 2 : 1), sample = wide ? 2 : 1;
        uint8_t* p = d + size_t(x0) * 3;
        const size_t pstep = size_t(dx) * 3;
        for (uint32_t i = 0; i < count; ++i, s += step, p += pstep) {
            p[0] = g[s[2 * sample]], p[1] = g[s[sample]], p[2] = g[s[0]];
            if (a)
                a[x0 + i * dx] = s[3 * sample];
        }
        return;
    }
    case pngGrayAlpha: {
        const size_t step = wide ? 4 : 2;
        for (uint32_t i = 0; i < count; ++i, s += step) {
            d[x0 + i * dx] = s[0];
            a[x0 + i * dx] = s[wide ? 2 : 1];
        }
        return;
    }
    default:
        break;
    }
    // Gray and palette indices.
    if (h.BitDepth == 16) {
        for (uint32_t i = 0; i < count; ++i)
            d[x0 + i * dx] = s[2 * i];
        return;
    }
    if (dx == 1 && x0 == 0 && h.BitDepth != 2) {
        std::memcpy(d, s, (size_t(count) * h.BitDepth + 7) / 8);
        return;
    }
    const int bits = h.BitDepth, dib = h.BitDepth == 2 ? 4 : h.BitDepth;
    // Two-bit gray values step through the 16-entry ramp by 5 so the four levels stay exact.
    const unsigned scale = (h.BitDepth == 2 && h.ColorType == pngGray) ? 5 : 1;
    const unsigned mask = (1u << bits) - 1;
    for (uint32_t i = 0; i < count; ++i) {
        const size_t bit = size_t(i) * size_t(bits);
        const unsigned v = (s[bit >> 3] >> (8 - bits - (bit & 7))) & mask;
        SetPackedPixel(d, int32_t(x0 + i * dx), dib, v * scale);
    }
}

void EncodeRow(const TChunkIHDR& h, const std::array<uint8_t, 256>& inv, uint8_t depth, uint8_t* o, int32_t y,
               uint32_t x0, uint32_t dx, uint32_t count)
{
    const uint8_t* d = h.ImageData.ScanLine(y);
    const uint8_t* a = h.HasAlpha() ? h.AlphaRow(y) : nullptr;
    const bool wide = depth == 16;
    switch (h.ColorType) {
    case pngRGB:
    case pngRGBAlpha: {
        const uint8_t* p = d + size_t(x0) * 3;
        for (uint32_t i = 0; i < count; ++i, p += size_t(dx) * 3) {
            const uint8_t v[4] = {inv[p[2]], inv[p[1]], inv[p[0]], a ? a[x0 + i * dx] : uint8_t(0)};
            const int n = a ? 4 : 3;
            for (int c = 0; c < n; ++c) {
                *o++ = v[c];
                if (wide)
                    *o++ = 0;
            }
        }
        return;
    }
    case pngGrayAlpha:
        for (uint32_t i = 0; i < count; ++i) {
            *o++ = d[x0 + i * dx];
            if (wide)
                *o++ = 0;
            *o++ = a[x0 + i * dx];
            if (wide)
                *o++ = 0;
        }
        return;
    default:
        break;
    }
    if (wide) {
        for (uint32_t i = 0; i < count; ++i)
            *o++ = d[x0 + i * dx], *o++ = 0;
        return;
    }
    const size_t bytes = (size_t(count) * depth + 7) / 8;
    if (dx == 1 && x0 == 0) {
        std::memcpy(o, d, bytes);
        return;
    }
    std::memset(o, 0, bytes);
    const gfx::TPixelFormat f = h.ImageData.PixelFormat();
    for (uint32_t i = 0; i < count; ++i)
        SetPackedPixel(o, int32_t(i), depth, PackedPixel(d, int32_t(x0 + i * dx), f));
}

}  // namespace png::rows
