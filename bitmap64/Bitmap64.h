// `TBitmap64`: a software bitmap of 8, 15, 16, 24 or 32 bits per pixel in plain memory, with
// pixel access, colour packing by channel masks, solid and 50 % blended drawing, whole-picture
// blits (transparent colour, weighted, additive, grey, tinted, "lens"), loading BMP, TGA and a
// raw format, and saving as a 16-bit (1-5-5-5) TGA. `TScreen64` keeps its pixels in a
// gfx::TBitmap (rows top-down, padded to 32 bits) so that `Flip` can show them on a canvas.
//
// Every routine reaches row y through `Row`, which knows the real stride, so the same code
// serves the packed memory of `TBitmap64` and the padded rows of `TScreen64`.
//
// Colours are packed pixel values of the bitmap's own depth:
//   15 bits 0RRRRRGGGGGBBBBB, 16 bits RRRRRGGGGGGBBBBB, 24/32 bits 0x(00)RRGGBB,
//   8 bits a palette index (the palette is 256 entries of blue, green, red).
// Pixel access outside the bitmap is ignored (reads give 0). `GetPixel`/`SetPixel` address
// 1-, 2- and 4-byte pixels; 24-bit pixels are reached by the blits and loaders only.
//
// Choices of our own:
//   - grey level (`DrawGray`, `DrawMono`): (77 R + 150 G + 29 B) / 256 on 8-bit channels,
//     covering every column of the clipped area;
//   - `BlendPixel` at 24 bits averages each byte; at 8 bits it leaves the pixel alone;
//   - `TextureSpan` samples the texture nearest-neighbour along a linear run of (u, v);
//     `TextureTriangle` divides u, v by the vertices' depth, interpolates u/z, v/z and 1/z
//     down both edges and fills each row with `TextureSpan` (perspective-correct at the ends
//     of each row, linear between them). Both need a texture of the same bytes per pixel.
//
// Loaders read the whole input first and go through the BMP and TGA readers of platform/gfx,
// which check every header field (sizes of at least 1 and within gfx::TBitmap's size limits,
// data present); the loaders take only the kinds and depths this bitmap loads. Bad input
// raises EInOutError and leaves the bitmap as it was. UI thread, or one thread per bitmap.
#pragma once
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/gfx/Bitmap.h"
#include "platform/rtl/Streams.h"

namespace bitmap64 {

// File errors of the loaders, `SaveToTGA` and `LoadPalette`.
class EInOutError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TRGB {
    uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const TRGB&, const TRGB&) = default;
};

class TBitmap64 {
public:
    TBitmap64(int32_t Width, int32_t Height, int Bpp);
    virtual ~TBitmap64() = default;
    TBitmap64(const TBitmap64&) = delete;
    TBitmap64& operator=(const TBitmap64&) = delete;

    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    int BytesPerPixel() const { return bytesPP_; }
    int32_t RowSize() const { return rowSize_; }
    uint32_t RedMask() const { return redMask_; }
    uint32_t GreenMask() const { return greenMask_; }
    uint32_t BlueMask() const { return blueMask_; }
    int RedShift() const { return redShift_; }
    int GreenShift() const { return greenShift_; }
    int BlueShift() const { return blueShift_; }

    uint32_t TransparentColor = 0;
    bool Transparent = false;

    int GetBpp() const { return bpp_; }
    virtual void SetBpp(int b);
    // Start of row y (0 = top); nullptr outside.
    uint8_t* ScanLine(int32_t y);
    const uint8_t* ScanLine(int32_t y) const;
    void SetWidth(int32_t w) { SetSize(w, height_); }
    void SetHeight(int32_t h) { SetSize(width_, h); }
    // Nothing when unchanged; otherwise new (zeroed) pixels.
    virtual void SetSize(int32_t W, int32_t H);
    uint8_t* PixelAddress(int32_t x, int32_t y);

    // The palette of 8-bit bitmaps: 768 bytes (blue, green, red), empty until loaded.
    const std::vector<uint8_t>& Palette() const { return palette_; }
    void SetPalette(const std::vector<uint8_t>& bgr768);
    // 256 entries of 6-bit red, green, blue from "default.pal" in the current folder.
    void LoadPalette(const std::string& FileName = "default.pal");

    void SetPixel(int32_t x, int32_t y, uint32_t Color);
    uint32_t GetPixel(int32_t x, int32_t y) const;
    // The pixel becomes the even mix of itself and Color.
    void BlendPixel(int32_t x, int32_t y, uint32_t Color);
    void HLine(int32_t x1, int32_t y, uint32_t Color, int32_t x2);
    void VLine(int32_t x, int32_t y1, uint32_t Color, int32_t y2);
    void Line(int32_t x1, int32_t y1, uint32_t Color, int32_t x2, int32_t y2);
    void Ellipse(int32_t cx, int32_t cy, uint32_t Color, int32_t rx, int32_t ry);
    void Circle(int32_t cx, int32_t cy, uint32_t Color, int32_t r) { Ellipse(cx, cy, Color, r, r); }
    void LineBlend(int32_t x1, int32_t y1, uint32_t Color, int32_t x2, int32_t y2);
    void HLineBlend(int32_t x1, int32_t y, uint32_t Color, int32_t x2);
    // Corners inclusive, in any order.
    void FillRect(int32_t x1, int32_t y1, uint32_t Color, int32_t x2, int32_t y2);
    void Rectangle(int32_t x1, int32_t y1, uint32_t Color, int32_t x2, int32_t y2);
    void FillRectBlend(int32_t x1, int32_t y1, uint32_t Color, int32_t x2, int32_t y2);

    // Blits of the whole of Src with its top-left corner at (x, y), clipped to this bitmap.
    void Draw(int32_t x, int32_t y, const TBitmap64& Src);
    // Src scaled (nearest neighbour) onto w x h pixels at (x, y); 2-byte pixels only.
    void StretchDraw(int32_t x, int32_t y, int32_t w, int32_t h, const TBitmap64& Src);
    void DrawBlend(int32_t x, int32_t y, double SrcWeight, double DstWeight, const TBitmap64& Src);
    void DrawAdd(int32_t x, int32_t y, double RedWeight, double GreenWeight, double BlueWeight,
                 const TBitmap64& Src);
    void DrawMono(int32_t x, int32_t y, int Brightness, int Blue, int Green, int Red,
                  const TBitmap64& Src);
    void DrawLens(int32_t x, int32_t y, const TBitmap64& Src);
    void DrawGray(int32_t x, int32_t y, const TBitmap64& Src);
    void DrawTinted(int32_t x, int32_t y, uint32_t Color, const TBitmap64& Src);

    // Readers. The file forms raise EInOutError when the file cannot be read, except that
    // `LoadFromBMP` of a missing file does nothing. A `TScreen64` refuses them all.
    void LoadFromTGA(const std::string& FileName);
    void LoadFromTGA(rtl::TStream& Stream);
    void LoadFromBMP(const std::string& FileName);
    void LoadFromBMP(rtl::TStream& Stream);
    void LoadRaw(const std::string& FileName);
    void LoadRaw(rtl::TStream& Stream);
    // 16-bit TGA, bottom-left origin; the file is replaced only once complete.
    void SaveToTGA(const std::string& FileName) const;
    void SaveToTGA(rtl::TStream& Stream) const;

    TRGB ColorToRGB(uint32_t Color) const;
    uint32_t MakeColor(int R, int G, int B) const;
    // From a class-library colour (0x00BBGGRR).
    uint32_t MakeColorFromTColor(gfx::TColor Color) const;

    void Mirror();       // reverse each row
    void Flip();         // upside down
    void Blur();         // 2-byte pixels
    void SmoothRows565();   // 16 bits only
    void SmoothRowsHalf();  // 2-byte pixels
    void SwapRedBlue();

    void TextureSpan(int32_t y, int32_t x1, int32_t x2, float u1, float v1, float u2, float v2,
                     const TBitmap64& Texture);
    struct TTexVertex {
        float x, y, z, u, v;
    };
    void TextureTriangle(const TTexVertex& a, const TTexVertex& b, const TTexVertex& c,
                         const TBitmap64& Texture);

protected:
    // Points the pixel routines at memory: row 0 at `top`, rows `stride` bytes apart.
    void Bind(uint8_t* top, int32_t stride) { data_ = top; stride_ = stride; }
    void SetGeometry(int32_t w, int32_t h);
    virtual bool IsScreen() const { return false; }

    uint8_t* Row(int32_t y) const { return data_ + int64_t(y) * stride_; }

private:
    struct Clip {
        int32_t sx, sy, dx, dy, w, h;
    };
    bool ClipTo(int32_t x, int32_t y, const TBitmap64& Src, Clip& c) const;
    void SetMasks();
    uint32_t Get(const uint8_t* p) const;
    void Put(uint8_t* p, uint32_t c) const;
    uint32_t Half(uint32_t a, uint32_t b) const;
    void Channels(uint32_t c, int& r, int& g, int& b) const;
    uint32_t Pack(int r, int g, int b) const;
    int GreyOf(uint32_t c, const TBitmap64& Src) const;
    void CheckLoadable() const;

    int32_t width_ = 0;
    int32_t height_ = 0;
    int bytesPP_ = 0;
    int bpp_ = 0;
    int32_t rowSize_ = 0;
    uint32_t redMask_ = 0, greenMask_ = 0, blueMask_ = 0;
    int redShift_ = 0, greenShift_ = 0, blueShift_ = 0;
    std::vector<uint8_t> own_;
    std::vector<uint8_t> palette_;
    uint8_t* data_ = nullptr;
    int32_t stride_ = 0;
};

// Pixels in a class-library bitmap of 8, 15, 16 or 32 bits ("Unsupported pixel format!"
// otherwise), shown on `Target` by `Flip`.
class TScreen64 : public TBitmap64 {
public:
    TScreen64(int32_t Width, int32_t Height, int Bpp);
    TScreen64(gfx::TCanvas* Target, int32_t Width, int32_t Height, int Bpp);

    void SetBpp(int b) override;
    void SetSize(int32_t W, int32_t H) override;
    void Clear(uint32_t Color) { FillRect(0, 0, Color, Width() - 1, Height() - 1); }
    // Copies the whole bitmap onto the target canvas at (0, 0) (nothing without one). Hides
    // TBitmap64::Flip, which turns the picture upside down.
    void Flip();
    gfx::TBitmap& Bitmap() { return *backing_; }
    gfx::TCanvas* Target() const { return target_; }
    void SetTarget(gfx::TCanvas* t) { target_ = t; }

protected:
    bool IsScreen() const override { return true; }

private:
    void Rebind();
    std::unique_ptr<gfx::TBitmap> backing_;
    gfx::TCanvas* target_ = nullptr;
};

}  // namespace bitmap64
