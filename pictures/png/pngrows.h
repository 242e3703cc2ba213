// Inside the PNG object: chunk framing, the row geometry of each PNG kind, the five filters
// and the converters between PNG rows and the DIB form (both ways, whole rows and the Adam7
// passes' every n-th pixel). Not for use outside pictures/png, except that the family PNG
// reader (formats/PngGraphic) undoes its filters with the same routine.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "pictures/png/pngimage.h"

namespace png {

void putBe32(uint8_t* p, uint32_t v);
// Length, name, data and the CRC of name and data.
void WriteChunk(rtl::TStream& stream, const std::string& name, const uint8_t* data, size_t size);
// EPngUnexpectedEnd unless `length` data bytes and a CRC are left in the stream.
void CheckChunkLength(rtl::TStream& stream, uint32_t length);

namespace rows {

// One Adam7 pass: the first pixel and the steps between pixels and rows.
struct Pass {
    uint32_t x0, y0, dx, dy;
};
extern const std::array<Pass, 7> Adam7;

// Pixels of a pass along a side of `full` pixels.
constexpr uint32_t PassSize(uint32_t full, uint32_t start, uint32_t step)
{
    return full > start ? (full - start + step - 1) / step : 0;
}

// Calls fn(pass, pass width, pass height) for each Adam7 pass that has pixels, or once for
// the whole picture when it is not interlaced. Empty passes have no rows, not even filter
// bytes.
template <class Fn>
void ForEachPass(uint32_t width, uint32_t height, uint8_t interlace, Fn fn)
{
    if (interlace != imAdam7) {
        fn(Pass{0, 0, 1, 1}, width, height);
        return;
    }
    for (const Pass& p : Adam7) {
        const uint32_t pw = PassSize(width, p.x0, p.dx), ph = PassSize(height, p.y0, p.dy);
        if (pw && ph)
            fn(p, pw, ph);
    }
}

// The row geometry of a PNG kind.
struct Layout {
    Layout(uint32_t width, uint32_t height, uint8_t colorType, uint8_t bitDepth);
    explicit Layout(const TChunkIHDR& h) : Layout(h.Width, h.Height, h.ColorType, h.BitDepth) {}
    uint32_t width, height;
    int bitsPerPixel;  // PNG bits of one pixel, all samples
    int filterOffset;  // bytes of one complete pixel, at least 1
    size_t RowBytes(uint32_t pixels) const { return size_t((uint64_t(pixels) * uint64_t(bitsPerPixel) + 7) / 8); }
    // All rows with their filter bytes, as the zlib stream must deliver them.
    uint64_t InflatedBytes(uint8_t interlace) const;
};

// Pixel x of a packed row of a 1-, 4- or 8-bit format (high bits first).
unsigned PackedPixel(const uint8_t* row, int32_t x, gfx::TPixelFormat format);
void SetPackedPixel(uint8_t* row, int32_t x, int bits, unsigned value);

// The closest of left a, above b and upper left c to a + b - c (ties in that order).
uint8_t Paeth(int a, int b, int c);
// Undoes filter `type` on `row` (n bytes) against the previous raw row.
void Unfilter(uint8_t type, uint8_t* row, const uint8_t* prev, size_t n, int bpp);
// Writes filter `type` of `row` into out.
void Filter(uint8_t type, const uint8_t* row, const uint8_t* prev, uint8_t* out, size_t n, int bpp);

// PNG samples of `count` pixels into DIB row y at x0, x0 + dx, ...
void DecodeRow(TChunkIHDR& h, const std::array<uint8_t, 256>& gamma, const uint8_t* src, int32_t y, uint32_t x0,
               uint32_t dx, uint32_t count);
// And back: the pixels of DIB row y at x0, x0 + dx, ... as PNG samples of `depth` bits.
void EncodeRow(const TChunkIHDR& h, const std::array<uint8_t, 256>& inverse, uint8_t depth, uint8_t* dst, int32_t y,
               uint32_t x0, uint32_t dx, uint32_t count);

}  // namespace rows
}  // namespace png
