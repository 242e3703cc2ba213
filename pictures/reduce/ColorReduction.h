// Colour reduction: turns a bitmap of any format into an 8-bit bitmap with a palette, for the
// GIF codec (frames of more than 256 colours) and the picture front end (album art saved as
// GIF or transparent PNG). `ReduceColors` picks a palette by reduction mode (fixed tables, an
// octree-quantized optimal palette, or the caller's), maps every pixel through a colour lookup
// and a ditherer, and returns the new bitmap, which the caller owns.
//
// Also here: the raw-row reader and writer the reduction and the GIF codec move pixels with,
// GIF data sub-blocks of text, and the small counts a GIF writer needs. Failures raise
// `GIFException`; every allocation goes through `TBitmap`'s size limit. One thread at a time.
#pragma once

#include "pictures/reduce/ColorLookup.h"
#include "pictures/reduce/Ditherers.h"
#include "pictures/reduce/GIFException.h"
#include "platform/gfx/Bitmap.h"
#include "platform/rtl/Streams.h"

#include <memory>
#include <string>
#include <vector>

// Reduction modes (the palette a reduction maps to).
enum TColorReduction : int {
    rmNone,             // a 24-bit copy of the source
    rmWindows20,        // the 20 system colours
    rmWindows256,       // the 256-colour halftone table
    rmWindowsGray,      // 0, 128, 192, 255
    rmMonochrome,       // black, white
    rmGrayScale,        // 256 greys
    rmNetscape,         // the 216-colour web cube
    rmQuantize,         // an optimal palette of 2^ReductionBits colours
    rmQuantizeWindows,  // an optimal palette of 236 colours between the 20 system colours
    rmCustomPalette           // the caller's palette (its first 256 entries)
};

// Raw rows of a bitmap in one pixel format. A bitmap of another format is read through a
// converted copy; the caller's bitmap never changes. Raises GIFException for a bitmap without
// pixels, pfDevice (no fixed layout) or a row outside the bitmap.
class TDIBReader {
public:
    TDIBReader(const gfx::TBitmap& Bitmap, gfx::TPixelFormat PixelFormat);
    const uint8_t* Scanline(int Row) const;
    int Width() const { return bitmap_->Width(); }
    int Height() const { return bitmap_->Height(); }
    gfx::TPixelFormat PixelFormat() const { return bitmap_->PixelFormat(); }

private:
    gfx::TBitmap copy_;
    const gfx::TBitmap* bitmap_;
};

// Makes Bitmap a Width x Height bitmap of PixelFormat with the given palette (may be null)
// at once, and gives its rows to fill. Raises GIFException for non-positive dimensions,
// pfDevice, or a size past TBitmap's limit; the bitmap is left as it was then.
class TDIBWriter {
public:
    TDIBWriter(gfx::TBitmap& Bitmap, const TPalette* Palette, int Width, int Height, gfx::TPixelFormat PixelFormat);
    uint8_t* Scanline(int Row);

private:
    gfx::TBitmap& bitmap_;
};

// The reduced bitmap: 8 bits with the mode's palette, or a 24-bit copy for mode 0. A mode
// outside 0..9, a dither mode outside 0..6, or a palette without entries gives an empty
// bitmap. ReductionBits (mode 7) is clamped to 1..8; CustomPalette serves mode 9.
std::unique_ptr<gfx::TBitmap> ReduceColors(const gfx::TBitmap& Bitmap, TColorReduction ColorReduction,
                                           TDitherMode DitherMode, int ReductionBits,
                                           const TPalette* CustomPalette);

// An optimal palette for every pixel of the bitmaps together: Colors entries (1..256) of a
// quantizer with ColorBits levels (1..8), black where the quantizer found fewer colours. With
// Windows, 256 entries: the system colours at 0..9 and 246..255, 236 quantized ones between.
// An empty list (or a null bitmap in it) raises "Invalid bitmap list".
TPalette CreateOptimalPalette(const std::vector<const gfx::TBitmap*>& Bitmaps, int Colors, int ColorBits, bool Windows);
TPalette CreateOptimalPalette(const gfx::TBitmap& Bitmap, int Colors, int ColorBits, bool Windows);
TPalette CreateOptimalPaletteFromDIB(TDIBReader& Reader, int Colors, int ColorBits, bool Windows);

// GIF data sub-blocks of text: each line as blocks of at most 255 bytes (a length byte, then
// the bytes), one 0 byte after the last. Empty lines have no blocks and vanish.
void WriteStrings(rtl::TStream& Stream, const std::vector<std::string>& Lines);
// Appends one line per block up to the 0 length (so a line longer than 255 bytes comes back as
// several). Data ending before the 0 raises GIFException "Premature end of data", and a body of
// more than MaxStringBlocks blocks "Too many text blocks"; the lines read until then stay in
// Lines.
void ReadStrings(rtl::TStream& Stream, std::vector<std::string>& Lines);
// The most sub-blocks one body of GIF data is read into: each costs a line (or a block) of its
// own, far more memory than its two bytes of file at the least.
constexpr int MaxStringBlocks = 65536;

// Bits an index needs for Colors colours: 0 for none, 1 for up to 2, else the least n with
// 2^n >= Colors.
int BitsForColorCount(int Colors);
