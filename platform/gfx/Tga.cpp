#include "platform/gfx/Tga.h"

#include <algorithm>
#include <cstring>

#include "platform/gfx/Bitmap.h"
#include "platform/rtl/LittleEndian.h"

namespace gfx {

namespace {

using rtl::le16;

uint32_t le(const uint8_t* p, int bytes)
{
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

uint32_t widen5(uint32_t v) { return (v << 3) | (v >> 2); }

}  // namespace

int TTgaHeader::BytesPerPixel() const
{
    switch (PixelSize) {
    case 8: return 1;
    case 15: case 16: return 2;
    case 24: return 3;
    case 32: return 4;
    default: return 0;
    }
}

TTgaHeader ReadTgaHeader(const uint8_t* d, size_t size)
{
    if (size < 18)
        throw ETgaError("Truncated TGA header");
    TTgaHeader h;
    h.IdLength = d[0];
    h.ColorMapType = d[1];
    h.ImageType = d[2];
    h.ColorMapStart = le16(d + 3);
    h.ColorMapLength = le16(d + 5);
    h.ColorMapEntrySize = d[7];
    h.XOrigin = le16(d + 8);
    h.YOrigin = le16(d + 10);
    h.Width = le16(d + 12);
    h.Height = le16(d + 14);
    h.PixelSize = d[16];
    h.Descriptor = d[17];
    return h;
}

TTgaImage ReadTga(const uint8_t* d, size_t size)
{
    TTgaImage img;
    TTgaHeader& h = img.Header;
    h = ReadTgaHeader(d, size);
    const bool knownType = (h.ImageType >= 1 && h.ImageType <= 3) || (h.ImageType >= 9 && h.ImageType <= 11);
    if (!knownType || h.ColorMapType > 1 || (h.Mapped() && h.ColorMapType != 1))
        throw ETgaError("Unsupported TGA image type");
    const int bytes = h.BytesPerPixel();
    if (bytes == 0 || ((h.Mapped() || h.Grey()) && bytes != 1))
        throw ETgaError("Unsupported TGA pixel depth");
    const bool map = h.ColorMapType == 1;
    const int entry = h.ColorMapEntrySize;
    if (map && entry != 15 && entry != 16 && entry != 24 && entry != 32)
        throw ETgaError("Unsupported TGA colour map");
    const int64_t w = h.Width, rows = h.Height, pixels = w * rows;
    if (w < 1 || rows < 1 || w > TBitmap::MaxSide || rows > TBitmap::MaxSide ||
        pixels * bytes > TBitmap::MaxPixelBytes)
        throw ETgaError("Invalid picture size");

    size_t at = 18 + size_t(h.IdLength);
    if (map) {
        const size_t mapBytes = size_t(h.ColorMapLength) * size_t(h.ColorMapEntryBytes());
        if (at > size || size - at < mapBytes)
            throw ETgaError("Truncated TGA colour map");
        img.ColorMap.assign(d + at, d + at + mapBytes);
        at += mapBytes;
    }
    if (at > size)
        throw ETgaError("Truncated TGA pixels");
    const size_t left = size - at;
    const size_t rowBytes = size_t(w) * size_t(bytes);
    // A run-length packet of two bytes or more gives at most 128 pixels.
    if (h.Rle() ? uint64_t(pixels) > uint64_t(left) * 128 : uint64_t(pixels) * bytes > left)
        throw ETgaError("Truncated TGA pixels");

    // The file's pixels in the order it stores them, then its rows put top row first.
    std::vector<uint8_t> stored;
    const uint8_t* src = d + at;
    if (h.Rle()) {
        stored.resize(size_t(pixels) * size_t(bytes));
        const uint8_t* end = d + size;
        size_t done = 0;
        while (done < size_t(pixels)) {
            if (src >= end)
                throw ETgaError("Truncated TGA pixels");
            const uint8_t head = *src++;
            const size_t n = std::min<size_t>((head & 0x7F) + 1, size_t(pixels) - done);
            const size_t need = head & 0x80 ? size_t(bytes) : n * size_t(bytes);
            if (size_t(end - src) < need)
                throw ETgaError("Truncated TGA pixels");
            uint8_t* out = stored.data() + done * size_t(bytes);
            if (head & 0x80) {
                for (size_t k = 0; k < n; ++k)
                    std::memcpy(out + k * size_t(bytes), src, size_t(bytes));
            } else {
                std::memcpy(out, src, need);
            }
            src += need;
            done += n;
        }
        src = stored.data();
    }
    img.Pixels.resize(size_t(pixels) * size_t(bytes));
    for (int64_t y = 0; y < rows; ++y) {
        const int64_t from = h.TopDown() ? y : rows - 1 - y;
        std::memcpy(img.Pixels.data() + size_t(y) * rowBytes, src + size_t(from) * rowBytes, rowBytes);
    }
    return img;
}

uint32_t TTgaImage::Value(int32_t x, int32_t y) const
{
    const int bytes = Header.BytesPerPixel();
    return le(Row(y) + size_t(x) * size_t(bytes), bytes);
}

uint32_t TTgaImage::colour(uint32_t v, int bytes, bool grey) const
{
    switch (bytes) {
    case 1:
        return grey ? 0xFF000000u | v << 16 | v << 8 | v : 0xFF000000u;
    case 2: {
        const uint32_t alpha = (Header.Descriptor & 0x0F) && !(v & 0x8000) ? 0 : 0xFF000000u;
        return alpha | widen5((v >> 10) & 31) << 16 | widen5((v >> 5) & 31) << 8 | widen5(v & 31);
    }
    case 3:
        return 0xFF000000u | v;
    default:
        return (Header.Descriptor & 0x0F) ? v : 0xFF000000u | v;
    }
}

uint32_t TTgaImage::Argb(int32_t x, int32_t y) const
{
    const uint32_t v = Value(x, y);
    if (!Header.Mapped())
        return colour(v, Header.BytesPerPixel(), Header.Grey() || Header.BytesPerPixel() == 1);
    const int entry = Header.ColorMapEntryBytes();
    const int64_t i = int64_t(v) - Header.ColorMapStart;
    if (i < 0 || i >= Header.ColorMapLength)
        return 0xFF000000u;
    const uint8_t* p = ColorMap.data() + size_t(i) * size_t(entry);
    return colour(le(p, entry), entry, false);
}

}  // namespace gfx
