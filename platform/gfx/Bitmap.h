// `TBitmap`: a device-independent bitmap in its own memory, the picture type that every
// reader decodes into and every effect works on. Pixels are kept top-down (ScanLine(0) is the
// top row) in rows padded to 32 bits, in one of the formats the drawing code names:
//   pf1bit, pf4bit, pf8bit   palette indices (1 bit: most significant bit first; 4 bits: high
//                            nibble first), with a palette of 2, 16 or 256 colours
//   pf15bit                  16-bit words, 5-5-5 (blue in the low bits)
//   pf16bit                  16-bit words, 5-6-5
//   pf24bit                  bytes blue, green, red
//   pf32bit, pfDevice        bytes blue, green, red, unused
// Changing Width/Height keeps the top-left content (new area white); changing PixelFormat
// converts the pixels (to a palette by nearest colour). Drawing on `Canvas` works on a QImage
// view of the same memory; an indexed bitmap becomes 24-bit the first time it is painted on.
//
// One size limit guards every allocation (at most 32768 pixels a side and 2^28 bytes of
// pixels), so no file header can ask for gigabytes. BMP files (core and info headers, 1-32
// bits, RLE4/RLE8, bit fields) are read with every field validated and written uncompressed.
// `Transparent` draws skip the transparent colour: the bottom-left pixel (tmAuto) or a fixed
// colour (tmFixed). UI thread (the canvas); the pixel memory itself may be filled anywhere.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include <QImage>

#include "platform/gfx/Canvas.h"
#include "platform/gfx/Graphic.h"

namespace gfx {

// pfCustom answers for samples no bitmap format holds; a bitmap given it stores 32 bits.
enum TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };
enum TTransparentMode { tmAuto, tmFixed };
enum TBitmapHandleType { bmDIB, bmDDB };

// Decodes BMP RLE8 (or RLE4 when `four`) data into packed rows of w x h pixels, 8 or 4 bits
// each (the high nibble first), that the caller has zeroed; row(y) gives row y, top row first.
// Only the pixels the data sets are touched, so the work follows the data, never the size a
// short file claims. Runs and offsets stop at the image's edges; data ending inside a code
// raises EInvalidGraphic.
void DecodeBmpRle(const std::vector<uint8_t>& data, bool four, int32_t w, int32_t h,
                  const std::function<uint8_t*(int32_t y)>& row);

class TBitmap : public TGraphic {
public:
    static const TGraphicClassInfo ClassInfo;
    static constexpr int32_t MaxSide = 32768;
    static constexpr int64_t MaxPixelBytes = int64_t(1) << 28;

    TBitmap();
    TBitmap(int32_t width, int32_t height, TPixelFormat format = pf24bit);
    ~TBitmap() override;

    TGraphicClass ClassType() const override { return &ClassInfo; }
    bool Empty() const override { return width_ == 0 || height_ == 0; }
    int32_t Width() const override { return width_; }
    int32_t Height() const override { return height_; }
    void SetWidth(int32_t w) override { SetSize(w, height_); }
    void SetHeight(int32_t h) override { SetSize(width_, h); }
    // EInvalidGraphicOperation "Bitmap too large" beyond the size limit; negatives count as 0.
    void SetSize(int32_t w, int32_t h);
    TPixelFormat PixelFormat() const { return format_; }
    void SetPixelFormat(TPixelFormat f);
    static int BitsPerPixel(TPixelFormat f);
    // Kept for callers that set it; every bitmap here is device-independent.
    TBitmapHandleType HandleType() const { return bmDIB; }
    void SetHandleType(TBitmapHandleType) {}

    // Row y (0 = top), BytesPerLine() long; EInvalidGraphicOperation for y out of range.
    uint8_t* ScanLine(int32_t y);
    const uint8_t* ScanLine(int32_t y) const;
    int32_t BytesPerLine() const { return stride_; }

    // Palette of the indexed formats (2^bits entries, 0x00BBGGRR); empty otherwise.
    const std::vector<TColor>& Palette() const { return palette_; }
    // Takes up to 2^bits entries (the rest black); ignored for formats without a palette.
    void SetPalette(const std::vector<TColor>& colors);

    TCanvas& Canvas();

    TTransparentMode TransparentMode() const { return transparentMode_; }
    void SetTransparentMode(TTransparentMode m) { transparentMode_ = m; }
    // tmAuto: the bottom-left pixel's colour; tmFixed: the stored colour.
    TColor TransparentColor() const;
    // clDefault returns to tmAuto; any other colour fixes it.
    void SetTransparentColor(TColor c);

    // Colour of one pixel (no canvas needed), -1 outside.
    TColor PixelColor(int32_t x, int32_t y) const;
    // A 1-bit mask of this picture: white where the pixel has `color`, black elsewhere.
    std::unique_ptr<TBitmap> CreateMask(TColor color) const;

    void Assign(const TGraphic& source) override;
    void AssignTo(TBitmap& dest) const override;
    void LoadFromStream(rtl::TStream& stream) override;  // BMP
    void SaveToStream(rtl::TStream& stream) override;    // BMP
    void Draw(TCanvas& canvas, const TRect& r) const override;

    // A 32-bit copy of the pixels (for reading, drawing elsewhere, saving through Qt).
    QImage ToImage() const;
    // Takes the pixels of any QImage as 24-bit (or 32-bit with `keep32`).
    void FromImage(const QImage& image, bool keep32 = false);
    // The view the canvas paints on (converts indexed bitmaps to 24 bits first). It stays
    // valid until the size or format changes.
    QImage& PaintImage();

private:
    void allocate(int32_t w, int32_t h, TPixelFormat f);
    void rebuildView();
    void fillFromImage(const QImage& rgb32, int32_t w, int32_t h);
    void readBmp(rtl::TStream& stream);

    int32_t width_ = 0;
    int32_t height_ = 0;
    TPixelFormat format_ = pfDevice;
    int32_t stride_ = 0;
    std::vector<uint8_t> bits_;
    std::vector<TColor> palette_;
    QImage view_;
    std::unique_ptr<TCanvas> canvas_;
    TTransparentMode transparentMode_ = tmAuto;
    TColor transparentColor_ = clDefault;
};

// The default palettes of the indexed formats: black and white; the 16 VGA colours; a
// 6 x 6 x 6 colour cube followed by 40 greys.
std::vector<TColor> DefaultPalette(TPixelFormat f);

}  // namespace gfx
