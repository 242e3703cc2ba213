// The bitmap resampler: resizes a 24-bit bitmap with one of six interpolation filters, in
// extended (long double) arithmetic, one destination pixel at a time. The filters, by the
// numbers callers pass:
//   0 nearest neighbour            1 bilinear (2 x 2)
//   2 cubic convolution, a = -1    3 cubic Lagrange
//   4 cubic B-spline               5 Mitchell-Netravali, B = C = 1/3   (2..5 read 4 x 4)
// Destination pixel (x, y) samples the source at (x * sw / NewWidth, y * sh / NewHeight), so
// the grid is anchored at the top-left corner. A 4 x 4 window that reaches past the source's
// edge reads the window's own centre column or row instead.
//
// Each filter's weights depend only on the column or only on the row, so they are worked out
// once per column and per row. The bytes are those of the per-pixel sums in long double (rows
// outer, columns inner; a sample times its column weight times its row weight, for the
// B-spline times the product of the two): the 4 x 4 filters sum in double first and redo in
// long double only the pixels whose double sums lie too near a rounding boundary to decide.
// Works on the bitmap it is given; any thread, one bitmap at a time.
#pragma once

#include "platform/gfx/Bitmap.h"

#include <cstdint>
#include <memory>
#include <vector>

// A row table over a 24-bit bitmap: the start of every row (row 0 at the top) and the size,
// so pixels are reached without a call per pixel. The bitmap must outlive the table and keep
// its size and format meanwhile.
class TBmpData24 {
public:
    explicit TBmpData24(gfx::TBitmap& Bitmap);
    // The 3 bytes (blue, green, red) of column X in row Y; unchecked.
    uint8_t* Pixel(int32_t X, int32_t Y) const { return Rows[size_t(Y)] + 3 * size_t(X); }

    std::vector<uint8_t*> Rows;
    int32_t Width = 0;
    int32_t Height = 0;
};

// 0 below 0, 255 above 255, else the value rounded to the nearest integer (halves to even).
uint8_t ClampByte(long double Value);

// A new bitmap with the same pixels, format, palette and transparency.
std::unique_ptr<gfx::TBitmap> CopyBitmap(const gfx::TBitmap& Source);

// Replaces the bitmap's content by its resampling to NewWidth x NewHeight (24 bits per pixel)
// with the given filter; true then. A bitmap that is not 24 bits per pixel, or that has no
// pixels to sample, stays as it was and the result is false. A new side of 0 or less gives an
// empty 24-bit bitmap. A filter number outside 0..5 leaves the source's top-left pixels in
// place (the rest white), as a plain resize would.
bool ResampleBitmap24(gfx::TBitmap& Bitmap, int32_t NewWidth, int32_t NewHeight, int Filter);
