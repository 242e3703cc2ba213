// Fast 24-bit bitmaps: the work surfaces on which the visualiser's picture effects
// (FastFX.h) run pixel loops straight over memory, and which are then drawn in one call.
//
// A `TFastBMP` owns its pixel memory: rows of RowStride bytes (pixels of blue, green, red,
// then RowPad bytes of padding to a multiple of four), stored bottom-up as a device-independent
// bitmap is: RowTable[0] is the bottom line of the picture and RowTable[Height - 1] the top.
// The effects and the resizing routines work in this memory order, so their results depend on
// it; only the drawing and loading routines and CopyRect/Tile speak in picture coordinates
// (y counted from the top line).
//
// The visualiser's bitmap routines load class-library bitmaps with `LoadFromBitmap` and draw
// the result back with `DrawOnBitmap` (24-bit rows copied straight). `Draw`, `Stretch`,
// `DrawRect`, `StretchRect` and `TileDraw` paint on any QPainter with a composition mode as
// their raster operation (QPainter::CompositionMode_Source is the plain copy), and
// `LoadFromImage`/`ToImage` exchange pixels with a QImage.
//
// Not thread-safe; the visualiser uses its fast bitmaps on the user-interface thread only.
#pragma once

#include <QPainter>

#include <cstdint>
#include <vector>

class QImage;
namespace gfx {
class TBitmap;
}

// The picture layout shared by the fast bitmaps; the ten drawing and resizing operations are
// the ones every variant provides.
class TFastRGB {
public:
    virtual ~TFastRGB() = default;

    // Layout, set only by SetSize.
    int RowPad = 0;      // padding bytes after each row: Width mod 4
    int RowStride = 0;   // bytes per row, a multiple of 4
    int ByteSize = 0;    // RowStride * Height
    int Width = 0;
    int Height = 0;
    std::vector<std::uint8_t*> RowTable;  // RowTable[y] = PixelData + y * RowStride
    std::uint8_t* PixelData = nullptr;

    using TRop = QPainter::CompositionMode;
    static constexpr TRop ropCopy = QPainter::CompositionMode_Source;

    virtual void SetSize(int AWidth, int AHeight) = 0;
    virtual void Draw(QPainter& DC, int X, int Y, TRop Rop = ropCopy) const = 0;
    virtual void Stretch(QPainter& DC, int X, int Y, int W, int H, TRop Rop = ropCopy) const = 0;
    virtual void DrawRect(QPainter& DC, int X, int Y, int W, int H, int SrcX, int SrcY,
                          TRop Rop = ropCopy) const = 0;
    virtual void StretchRect(QPainter& DC, int X, int Y, int W, int H, int SrcX, int SrcY,
                             int SrcW, int SrcH, TRop Rop = ropCopy) const = 0;
    virtual void TileDraw(QPainter& DC, int X, int Y, int W, int H) const = 0;
    virtual void Resize(TFastRGB& Dst) const = 0;
    virtual void SmoothResize(TFastRGB& Dst) const = 0;
    virtual void CopyRect(TFastRGB& Dst, int X, int Y, int W, int H, int SrcX, int SrcY) const = 0;
    virtual void Tile(TFastRGB& Dst) const = 0;

    bool Empty() const { return Width <= 0 || Height <= 0; }
    // Address of pixel x of memory row y (y = 0 is the bottom line).
    std::uint8_t* Pixel(int x, int y) const { return RowTable[y] + 3 * x; }
};

class TFastBMP : public TFastRGB {
public:
    TFastBMP() = default;
    TFastBMP(const TFastBMP&) = delete;
    TFastBMP& operator=(const TFastBMP&) = delete;

    // Gives the bitmap new, black pixels; nothing when the size is unchanged. Negative sizes
    // count as 0; a picture whose bytes would not fit in 32 bits throws std::length_error.
    void SetSize(int AWidth, int AHeight) override;

    void Draw(QPainter& DC, int X, int Y, TRop Rop = ropCopy) const override;
    void Stretch(QPainter& DC, int X, int Y, int W, int H, TRop Rop = ropCopy) const override;
    void DrawRect(QPainter& DC, int X, int Y, int W, int H, int SrcX, int SrcY,
                  TRop Rop = ropCopy) const override;
    void StretchRect(QPainter& DC, int X, int Y, int W, int H, int SrcX, int SrcY, int SrcW,
                     int SrcH, TRop Rop = ropCopy) const override;
    void TileDraw(QPainter& DC, int X, int Y, int W, int H) const override;

    // Nearest-neighbour scaling into Dst's size.
    void Resize(TFastRGB& Dst) const override;
    // Bilinear scaling into Dst's size.
    void SmoothResize(TFastRGB& Dst) const override;
    // Copies the W x H block at (SrcX, SrcY) to (X, Y) of Dst, clipped to both pictures.
    void CopyRect(TFastRGB& Dst, int X, int Y, int W, int H, int SrcX, int SrcY) const override;
    // Fills Dst with copies of this picture, starting at its top-left corner.
    void Tile(TFastRGB& Dst) const override;

    // Takes size and pixels of a picture (the seam where the class library's bitmap plugs in).
    void LoadFromImage(const QImage& Image);
    // Takes size and pixels of a class-library bitmap (24-bit rows are copied straight).
    void LoadFromBitmap(const gfx::TBitmap& Bitmap);
    // Copies the picture onto Bitmap with its top-left corner at (X, Y), clipped to Bitmap,
    // as a plain copy; Bitmap keeps its size.
    void DrawOnBitmap(gfx::TBitmap& Bitmap, int X, int Y) const;
    // Takes size and pixels of another fast bitmap.
    void CopyFrom(const TFastRGB& Src);
    // A top-down copy of the picture (Format_BGR888); a null image when empty.
    QImage ToImage() const;

private:
    std::vector<std::uint8_t> FPixels;
};
