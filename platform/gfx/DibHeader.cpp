#include "platform/gfx/DibHeader.h"

#include <algorithm>

#include "platform/gfx/Bitmap.h"
#include "platform/rtl/LittleEndian.h"

namespace gfx {

namespace {

using rtl::le16;
using rtl::le32;

// The largest header whose fields are read; the rest of a longer one is skipped.
constexpr uint32_t LargestKnownHeader = 124;

void readAll(rtl::TStream& stream, uint8_t* into, int64_t count, const char* what)
{
    if (stream.Read(into, count) != count)
        throw EBmpHeader(what);
}

}  // namespace

bool TDibHeader::KnownVersion() const
{
    switch (HeaderSize) {
    case 12: case 40: case 52: case 56: case 108: case 124: return true;
    default: return false;
    }
}

uint32_t TDibHeader::ColorCount() const
{
    if (ClrUsed != 0)
        return ClrUsed;
    return BitCount <= 8 ? 1u << BitCount : 0;
}

TBmpFileHeader ReadBmpFileHeader(rtl::TStream& stream)
{
    uint8_t fh[14];
    readAll(stream, fh, 14, "BMP file header cut short");
    if (fh[0] != 'B' || fh[1] != 'M')
        throw EBmpHeader("Not a BMP file");
    return {le32(fh + 2), le32(fh + 10)};
}

TDibHeader ReadDibHeader(rtl::TStream& stream)
{
    uint8_t h[LargestKnownHeader] = {};
    readAll(stream, h, 4, "BMP header cut short");
    TDibHeader d;
    d.HeaderSize = le32(h);
    if (d.HeaderSize != 12 && d.HeaderSize < 40)
        throw EBmpHeader("Unknown BMP header size " + std::to_string(d.HeaderSize));
    const uint32_t kept = std::min(d.HeaderSize, LargestKnownHeader);
    readAll(stream, h + 4, kept - 4, "BMP header cut short");
    if (d.HeaderSize > kept) {
        // Skipped, not read: a hostile size costs no memory, and bytes that are not there fail.
        const int64_t rest = int64_t(d.HeaderSize) - kept;
        if (stream.Remaining() < rest)
            throw EBmpHeader("BMP header cut short");
        stream.Seek(rest, rtl::soCurrent);
    }

    int64_t height;
    if (d.Core()) {
        d.Width = int32_t(le16(h + 4));
        height = le16(h + 6);
        d.Planes = uint16_t(le16(h + 8));
        d.BitCount = uint16_t(le16(h + 10));
    } else {
        d.Width = int32_t(le32(h + 4));
        height = int32_t(le32(h + 8));
        d.Planes = uint16_t(le16(h + 12));
        d.BitCount = uint16_t(le16(h + 14));
        d.Compression = le32(h + 16);
        d.SizeImage = le32(h + 20);
        d.ClrUsed = le32(h + 32);
    }
    d.TopDown = height < 0;
    height = d.TopDown ? -height : height;

    const int64_t rowBytes = (int64_t(d.Width) * std::max<int>(d.BitCount, 1) + 31) / 32 * 4;
    if (d.Width < 1 || height < 1)
        throw EBmpHeader("BMP picture without pixels");
    if (d.Width > TBitmap::MaxSide || height > TBitmap::MaxSide || rowBytes * height > TBitmap::MaxPixelBytes)
        throw EBmpHeader("BMP picture too large");
    d.Height = int32_t(height);

    const bool rleOk = (d.Compression == BI_RLE8 && d.BitCount == 8) || (d.Compression == BI_RLE4 && d.BitCount == 4);
    if (d.Compression > BI_BITFIELDS || (d.Rle() && (!rleOk || d.TopDown)))
        throw EBmpHeader("Unsupported BMP compression");

    if (d.HeaderSize >= 52) {
        d.RedMask = le32(h + 40);
        d.GreenMask = le32(h + 44);
        d.BlueMask = le32(h + 48);
    } else if (d.Compression == BI_BITFIELDS) {
        uint8_t m[12];
        readAll(stream, m, 12, "BMP bit-field masks cut short");
        d.RedMask = le32(m);
        d.GreenMask = le32(m + 4);
        d.BlueMask = le32(m + 8);
    }
    return d;
}

std::vector<TColor> ReadDibColorTable(rtl::TStream& stream, const TDibHeader& header, uint32_t count,
                                      int64_t end)
{
    const int64_t entry = header.ColorEntrySize();
    const int64_t want = int64_t(count) * entry;
    int64_t take = want;
    if (end >= 0)
        take = std::clamp<int64_t>(std::min(end, stream.Size()) - stream.Position(), 0, want);
    else if (stream.Remaining() < want)
        throw EBmpHeader("BMP colour table cut short");
    std::vector<uint8_t> raw(size_t(take), 0);
    take = stream.Read(raw.data(), take);
    std::vector<TColor> colors;
    // An entry needs its three colour bytes; the fourth is unused.
    for (int64_t at = 0; at + 3 <= take; at += entry)
        colors.push_back(RGB(raw[size_t(at) + 2], raw[size_t(at) + 1], raw[size_t(at)]));
    if (end < 0 && colors.size() != count)
        throw EBmpHeader("BMP colour table cut short");
    return colors;
}

}  // namespace gfx
