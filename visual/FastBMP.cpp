#include "visual/FastBMP.h"

#include "platform/gfx/Bitmap.h"

#include "platform/rtl/Numerics.h"

#include <QImage>

#include <algorithm>
#include <climits>
#include <cstring>
#include <stdexcept>

namespace {

void paintImage(QPainter& DC, const QRect& target, const QImage& image, const QRect& source,
                TFastRGB::TRop Rop)
{
    DC.save();
    DC.setCompositionMode(Rop);
    DC.setRenderHint(QPainter::SmoothPixmapTransform, false);  // nearest pixel, as on colour
    DC.drawImage(target, image, source);
    DC.restore();
}

}  // namespace

void TFastBMP::SetSize(int AWidth, int AHeight)
{
    AWidth = std::max(AWidth, 0);
    AHeight = std::max(AHeight, 0);
    if (AWidth == Width && AHeight == Height)
        return;
    const long long stride = ((static_cast<long long>(AWidth) * 24 + 31) >> 5) << 2;
    const long long bytes = stride * AHeight;
    if (bytes > INT_MAX)
        throw std::length_error("fast bitmap too large");
    FPixels.assign(static_cast<std::size_t>(bytes), 0);
    Width = AWidth;
    Height = AHeight;
    RowStride = static_cast<int>(stride);
    RowPad = Width % 4;
    ByteSize = static_cast<int>(bytes);
    PixelData = FPixels.data();
    RowTable.resize(static_cast<std::size_t>(Height));
    for (int y = 0; y < Height; ++y)
        RowTable[y] = PixelData + static_cast<std::size_t>(y) * RowStride;
}

QImage TFastBMP::ToImage() const
{
    if (Empty())
        return QImage();
    QImage image(Width, Height, QImage::Format_BGR888);
    for (int y = 0; y < Height; ++y)
        std::memcpy(image.scanLine(y), RowTable[Height - 1 - y], static_cast<std::size_t>(Width) * 3);
    return image;
}

void TFastBMP::LoadFromImage(const QImage& Image)
{
    const QImage image = Image.convertToFormat(QImage::Format_BGR888);
    SetSize(image.width(), image.height());
    for (int y = 0; y < Height; ++y)
        std::memcpy(RowTable[Height - 1 - y], image.constScanLine(y), static_cast<std::size_t>(Width) * 3);
}

void TFastBMP::LoadFromBitmap(const gfx::TBitmap& Bitmap)
{
    if (Bitmap.PixelFormat() != gfx::pf24bit) {
        LoadFromImage(Bitmap.ToImage());
        return;
    }
    SetSize(Bitmap.Width(), Bitmap.Height());
    for (int y = 0; y < Height; ++y)
        std::memcpy(RowTable[Height - 1 - y], Bitmap.ScanLine(y), static_cast<std::size_t>(Width) * 3);
}

void TFastBMP::DrawOnBitmap(gfx::TBitmap& Bitmap, int X, int Y) const
{
    if (Empty())
        return;
    if (Bitmap.PixelFormat() != gfx::pf24bit) {
        const QImage image = ToImage();
        Bitmap.Canvas().DrawImage(image, gfx::TRect{0, 0, Width, Height},
                                  gfx::TRect{X, Y, X + Width, Y + Height});
        return;
    }
    const int left = std::max(X, 0);
    const int right = std::min(X + Width, Bitmap.Width());
    const int top = std::max(Y, 0);
    const int bottom = std::min(Y + Height, Bitmap.Height());
    if (left >= right || top >= bottom)
        return;
    const auto bytes = static_cast<std::size_t>(right - left) * 3;
    for (int y = top; y < bottom; ++y)
        std::memcpy(Bitmap.ScanLine(y) + 3 * left, Pixel(left - X, Height - 1 - (y - Y)), bytes);
}

void TFastBMP::CopyFrom(const TFastRGB& Src)
{
    if (&Src == this)
        return;
    SetSize(Src.Width, Src.Height);
    if (ByteSize > 0)
        std::memcpy(PixelData, Src.PixelData, static_cast<std::size_t>(ByteSize));
}

void TFastBMP::Draw(QPainter& DC, int X, int Y, TRop Rop) const
{
    if (!Empty())
        paintImage(DC, QRect(X, Y, Width, Height), ToImage(), QRect(0, 0, Width, Height), Rop);
}

void TFastBMP::Stretch(QPainter& DC, int X, int Y, int W, int H, TRop Rop) const
{
    if (!Empty())
        paintImage(DC, QRect(X, Y, W, H), ToImage(), QRect(0, 0, Width, Height), Rop);
}

void TFastBMP::DrawRect(QPainter& DC, int X, int Y, int W, int H, int SrcX, int SrcY, TRop Rop) const
{
    if (!Empty())
        paintImage(DC, QRect(X, Y, W, H), ToImage(), QRect(SrcX, SrcY, W, H), Rop);
}

void TFastBMP::StretchRect(QPainter& DC, int X, int Y, int W, int H, int SrcX, int SrcY, int SrcW,
                           int SrcH, TRop Rop) const
{
    if (!Empty())
        paintImage(DC, QRect(X, Y, W, H), ToImage(), QRect(SrcX, SrcY, SrcW, SrcH), Rop);
}

void TFastBMP::TileDraw(QPainter& DC, int X, int Y, int W, int H) const
{
    if (Empty() || W <= 0 || H <= 0)
        return;
    TFastBMP tiled;
    tiled.SetSize(W, H);
    Tile(tiled);
    tiled.Draw(DC, X, Y);
}

// Enlarging in both directions writes each source pixel as a block; otherwise each
// destination pixel samples its source in 16.16 fixed point. Rows are memory rows.
void TFastBMP::Resize(TFastRGB& Dst) const
{
    if (Empty() || Dst.Empty() || &Dst == this)
        return;
    if (Dst.Width == Width && Dst.Height == Height) {
        std::memcpy(Dst.PixelData, PixelData, static_cast<std::size_t>(ByteSize));
        return;
    }
    const float sx = float(Dst.Width) / float(Width);
    const float sy = float(Dst.Height) / float(Height);
    if (sx >= 1 && sy >= 1) {
        const int repeatX = static_cast<int>(rtl::Round(double(sx) + 0.5));
        const int repeatY = static_cast<int>(rtl::Round(double(sy) + 0.5));
        std::vector<std::uint8_t> row(static_cast<std::size_t>(Dst.Width) * 3, 0);
        for (int y = 0; y < Height; ++y) {
            for (int x = 0; x < Width; ++x) {
                const int start = static_cast<int>(x * double(sx));
                for (int k = 0; k < repeatX && start + k < Dst.Width; ++k)
                    std::memcpy(&row[3 * std::size_t(start + k)], Pixel(x, y), 3);
            }
            const int top = static_cast<int>(y * double(sy));
            for (int k = 0; k < repeatY && top + k < Dst.Height; ++k)
                std::memcpy(Dst.RowTable[top + k], row.data(), row.size());
        }
        return;
    }
    const long long xstep = (static_cast<long long>(Width) << 16) / Dst.Width;
    const long long ystep = (static_cast<long long>(Height) << 16) / Dst.Height;
    long long fy = 0;
    for (int y = 0; y < Dst.Height; ++y, fy += ystep) {
        const int sy0 = static_cast<int>(fy >> 16);
        long long fx = 0;
        for (int x = 0; x < Dst.Width; ++x, fx += xstep)
            std::memcpy(Dst.Pixel(x, y), Pixel(static_cast<int>(fx >> 16), sy0), 3);
    }
}

// Bilinear in 17.15 fixed point. The second row and column are clamped to the picture, so a
// one-pixel-high source (whose second row has weight 0) is never read past its end.
void TFastBMP::SmoothResize(TFastRGB& Dst) const
{
    if (Dst.Width < 1 || Dst.Height < 1 || Empty() || &Dst == this)
        return;
    if (Width == 1) {
        Resize(Dst);
        return;
    }
    if (Dst.Width == Width && Dst.Height == Height) {
        std::memcpy(Dst.PixelData, PixelData, static_cast<std::size_t>(ByteSize));
        return;
    }
    const long long xstep = (static_cast<long long>(Width - 1) << 15) / Dst.Width;
    const long long ystep = (static_cast<long long>(Height - 1) << 15) / Dst.Height;
    for (int y = 0; y < Dst.Height; ++y) {
        const long long fy = y * ystep;
        const int r0 = static_cast<int>(fy >> 15);
        const int r1 = std::min(r0 + 1, Height - 1);
        const int wy = static_cast<int>(fy & 0x7FFF);
        std::uint8_t* out = Dst.RowTable[y];
        for (int x = 0; x < Dst.Width; ++x, out += 3) {
            const long long fx = x * xstep;
            const int c0 = static_cast<int>(fx >> 15);
            const int c1 = std::min(c0 + 1, Width - 1);
            const int wx = static_cast<int>(fx & 0x7FFF);
            const int w10 = (wx * (32768 - wy)) >> 15;
            const int w11 = (wx * wy) >> 15;
            const int w00 = 32768 - wy - w10;
            const int w01 = wy - w11;
            const std::uint8_t* p00 = Pixel(c0, r0);
            const std::uint8_t* p10 = Pixel(c1, r0);
            const std::uint8_t* p01 = Pixel(c0, r1);
            const std::uint8_t* p11 = Pixel(c1, r1);
            for (int b = 0; b < 3; ++b)
                out[b] = static_cast<std::uint8_t>(
                    (p00[b] * w00 + p10[b] * w10 + p01[b] * w01 + p11[b] * w11) >> 15);
        }
    }
}

void TFastBMP::CopyRect(TFastRGB& Dst, int AX, int AY, int AW, int AH, int ASrcX, int ASrcY) const
{
    // 64-bit so that no clipping step can overflow, whatever the caller passes.
    long long X = AX, Y = AY, W = AW, H = AH, SrcX = ASrcX, SrcY = ASrcY;
    if (X < 0) { SrcX -= X; W += X; X = 0; }
    if (Y < 0) { SrcY -= Y; H += Y; Y = 0; }
    if (SrcX < 0) { X -= SrcX; W += SrcX; SrcX = 0; }
    if (SrcY < 0) { Y -= SrcY; H += SrcY; SrcY = 0; }
    if (SrcX >= Width || SrcY >= Height)
        return;
    W = std::min({W, Width - SrcX, Dst.Width - X});
    H = std::min({H, Height - SrcY, Dst.Height - Y});
    if (W <= 0 || H <= 0)
        return;
    // Picture rows count from the top, memory rows from the bottom. memmove: Tile copies
    // within one bitmap.
    for (long long i = 0; i < H; ++i)
        std::memmove(Dst.Pixel(int(X), int(Dst.Height - 1 - (Y + i))),
                     Pixel(int(SrcX), int(Height - 1 - (SrcY + i))), static_cast<std::size_t>(W) * 3);
}

void TFastBMP::Tile(TFastRGB& Dst) const
{
    if (Empty() || Dst.Empty())
        return;
    CopyRect(Dst, 0, 0, Width, Height, 0, 0);
    const int filledH = std::min(Height, Dst.Height);
    for (int w = Width; w < Dst.Width; w *= 2)
        Dst.CopyRect(Dst, w, 0, w, filledH, 0, 0);
    for (int h = filledH; h < Dst.Height; h *= 2)
        Dst.CopyRect(Dst, 0, h, Dst.Width, h, 0, 0);
}
