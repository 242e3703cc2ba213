// Truevision Targa files, read once for every picture class that loads them (the memory
// bitmap `TBitmap64` today, the picture readers later): the 18-byte header, the image
// identification (skipped), the colour map and the pixels of the six image kinds (colour
// mapped, true colour and grey, each uncompressed or run-length encoded; a run may carry on
// into the next row), turned upright whichever corner the file starts in.
//
// The pixels stay in the file's own form, `BytesPerPixel` bytes each in the file's byte order
// (blue first; 5-5-5 words with the attribute bit on top at 15/16 bits; map indices or grey
// levels at 8 bits); `Value` gives one as a number and `Argb` as a colour. Every field is
// checked before anything is sized by it: 1 x 1 pixels at least, `TBitmap`'s size limit, and a
// picture paid for by the data (raw rows must be there; a run-length file may claim at most 128
// pixels a byte left). What fails raises `ETgaError`, an `EInvalidGraphic` naming the fault.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/gfx/Graphic.h"

namespace gfx {

class ETgaError : public EInvalidGraphic {
public:
    using EInvalidGraphic::EInvalidGraphic;
};

struct TTgaHeader {
    uint8_t IdLength = 0;
    uint8_t ColorMapType = 0;  // 0 none, 1 a map follows the identification
    uint8_t ImageType = 0;     // 1 mapped, 2 true colour, 3 grey; 9, 10, 11 run-length encoded
    uint16_t ColorMapStart = 0;
    uint16_t ColorMapLength = 0;
    uint8_t ColorMapEntrySize = 0;  // bits
    uint16_t XOrigin = 0, YOrigin = 0;
    uint16_t Width = 0, Height = 0;
    uint8_t PixelSize = 0;   // bits: 8, 15, 16, 24, 32
    uint8_t Descriptor = 0;  // bit 5: first row at the top; bits 0-3: attribute (alpha) bits

    bool TopDown() const { return (Descriptor & 0x20) != 0; }
    bool Rle() const { return ImageType >= 9; }
    bool Mapped() const { return ImageType == 1 || ImageType == 9; }
    bool Grey() const { return ImageType == 3 || ImageType == 11; }
    // 1, 2, 2, 3, 4 for 8, 15, 16, 24, 32 bits; 0 for any other size.
    int BytesPerPixel() const;
    int ColorMapEntryBytes() const { return (ColorMapEntrySize + 7) / 8; }
};

class TTgaImage {
public:
    TTgaHeader Header;
    std::vector<uint8_t> ColorMap;  // ColorMapLength entries as the file holds them
    std::vector<uint8_t> Pixels;    // Height rows of Width pixels, top row first

    int32_t Width() const { return Header.Width; }
    int32_t Height() const { return Header.Height; }
    const uint8_t* Row(int32_t y) const
    {
        return Pixels.data() + size_t(y) * Header.Width * size_t(Header.BytesPerPixel());
    }
    // The pixel's bytes as a little-endian number.
    uint32_t Value(int32_t x, int32_t y) const;
    // The pixel as 0xAARRGGBB: through the colour map, as a grey level, or its own channels
    // (5-bit channels widened to 8 bits). Alpha is opaque unless the pixel carries its own.
    uint32_t Argb(int32_t x, int32_t y) const;

private:
    uint32_t colour(uint32_t v, int bytes, bool grey) const;
};

// The header of a file of `size` bytes; ETgaError for fewer than 18.
TTgaHeader ReadTgaHeader(const uint8_t* data, size_t size);

// The whole picture. ETgaError for a header it cannot read (no image, a colour map type
// other than 0 or 1, mapped pixels of other than 8 bits or without a map, a map entry size
// other than 15, 16, 24, 32, a pixel size other than 8, 15, 16, 24, 32), a size of 0 or past
// the limit, or data that ends early.
TTgaImage ReadTga(const uint8_t* data, size_t size);

}  // namespace gfx
