// The headers of BMP files and device-independent bitmaps, read once for every bitmap class
// that loads them (`TBitmap`, the visualiser's `TDIB`, the memory bitmap `TBitmap64`): the
// 14-byte file header, the information header in each of its versions (OS/2 core 12 bytes;
// Windows 40, with the bit-field masks inside from 52, alpha 56, V4 108, V5 124 bytes; a
// longer header is read as far as these fields and its rest skipped), bit-field masks that
// follow a 40-byte header, and the colour table after them.
//
// Every field is checked before anything is sized by it: a picture of at least 1 x 1 pixels
// inside `TBitmap`'s one size limit (sides and pixel bytes), a known compression (none, RLE8,
// RLE4, bit fields) with RLE only bottom-up at its own depth, and bytes that are there. What a
// header does not pass raises `EBmpHeader`, an `EInvalidGraphic` naming the fault; each class
// reports it as its own error. Which versions, depths and colour counts a class takes beyond
// that is the class's own choice, as is where it reads the pixels from.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/gfx/Colors.h"
#include "platform/gfx/Graphic.h"
#include "platform/rtl/Streams.h"

namespace gfx {

constexpr uint32_t BI_RGB = 0, BI_RLE8 = 1, BI_RLE4 = 2, BI_BITFIELDS = 3;

class EBmpHeader : public EInvalidGraphic {
public:
    using EInvalidGraphic::EInvalidGraphic;
};

struct TBmpFileHeader {
    uint32_t FileSize = 0;
    uint32_t OffBits = 0;  // the pixels' offset from the file's first byte (0: right after the table)
};

struct TDibHeader {
    uint32_t HeaderSize = 0;
    int32_t Width = 0;
    int32_t Height = 0;  // rows, without the sign that marks a top-down file
    bool TopDown = false;
    uint16_t Planes = 0;
    uint16_t BitCount = 0;
    uint32_t Compression = BI_RGB;  // the core header has none
    uint32_t SizeImage = 0;
    uint32_t ClrUsed = 0;
    // From a header of 52 bytes or more, or the 12 bytes after a 40-byte one with bit fields.
    uint32_t RedMask = 0, GreenMask = 0, BlueMask = 0;

    bool Core() const { return HeaderSize == 12; }
    // One of the sizes Windows and OS/2 1.x define: 12, 40, 52, 56, 108, 124.
    bool KnownVersion() const;
    bool Rle() const { return Compression == BI_RLE8 || Compression == BI_RLE4; }
    // Bytes of a stored row: padded to 32 bits.
    int64_t RowBytes() const { return (int64_t(Width) * BitCount + 31) / 32 * 4; }
    // 3 bytes (blue, green, red) in a core header's table, else 4.
    int ColorEntrySize() const { return Core() ? 3 : 4; }
    // Entries the table declares: ClrUsed, or 2^BitCount when that is 0 at 8 bits or fewer.
    uint32_t ColorCount() const;
};

// The file header; EBmpHeader for fewer than 14 bytes or a type other than "BM".
TBmpFileHeader ReadBmpFileHeader(rtl::TStream& stream);

// The information header at the stream's position and the masks after it; the stream is left
// at the colour table. EBmpHeader for anything the checks above refuse.
TDibHeader ReadDibHeader(rtl::TStream& stream);

// `count` entries of the colour table at the stream's position, as colours. With `end` (a
// stream position), a table cut short there or by the stream's end gives the entries whose
// colour bytes came before it; without, a short table raises EBmpHeader.
std::vector<TColor> ReadDibColorTable(rtl::TStream& stream, const TDibHeader& header,
                                      uint32_t count, int64_t end = -1);

}  // namespace gfx
