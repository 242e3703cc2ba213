// Writing a bitmap as an uncompressed, single-strip, little-endian TIFF file: bilevel for
// 1-bit bitmaps, palette colour for 4- and 8-bit ones, RGB for every other depth (a 32-bit
// pixel drops its fourth byte; 15-, 16-bit and device bitmaps go out as 24-bit RGB). Rows are
// written top row first, without fill bytes; resolution 877/10 per inch, software
// "Tessaroven". A bilevel file says which of its two values is white, so a bitmap whose
// palette starts with white keeps its colours. UI thread or any thread that owns the bitmap.
#pragma once
#include <string>

#include "platform/gfx/Bitmap.h"
#include "platform/rtl/Streams.h"

// Writes at the stream's position; the directory offset is patched 4 bytes after that
// position. A bitmap without pixels raises gfx::EInvalidGraphicOperation and writes nothing.
void SaveBitmapAsTiffStream(rtl::TStream& Stream, const gfx::TBitmap& Bitmap);
// The whole file through a temporary file renamed over FileName once complete.
void SaveBitmapAsTiffFile(const std::string& FileName, const gfx::TBitmap& Bitmap);
