#include "visual/FastFX.h"

#include "visual/FastBMP.h"
#include "platform/rtl/Numerics.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <vector>

namespace {

// How far a wrap-around shift by Amount really moves, in 0 .. Size (0: not at all; Size
// moves everything back to where it was).
int wrapShift(int Amount, int Size)
{
    long long n = Amount;
    if (Amount < 0)
        n = Size - (std::llabs(static_cast<long long>(Amount)) % Size);
    if (n > Size)
        n %= Size;
    return static_cast<int>(n);
}

std::uint8_t toByte(double Sum)
{
    return static_cast<std::uint8_t>(std::clamp(static_cast<int>(rtl::Round(Sum)), 0, 255));
}

}  // namespace

int ClampInt(int Value, int Min, int Max)
{
    if (Value > Max)
        return Max;
    if (Value < Min)
        return Min;
    return Value;
}

float ArcTan2(float Y, float X)
{
    constexpr double halfPi = std::numbers::pi / 2;
    if (X == 0)
        return static_cast<float>(Y > 0 ? halfPi : -halfPi);
    double a = std::atan(double(Y) / double(X));
    if (X < 0)
        a += std::numbers::pi;
    return static_cast<float>(a);
}

void Blend(TFastBMP& Dst, const TFastBMP& Src1, const TFastBMP& Src2, int Amount)
{
    // t[d] is the low byte of (Amount * d) >> 8; adding it to Src2 wraps to the mixed byte.
    std::uint8_t table[511];
    for (int d = -255; d <= 255; ++d)
        table[d + 255] = static_cast<std::uint8_t>(
            static_cast<std::uint32_t>(static_cast<long long>(Amount) * d) >> 8);
    const int width = std::min({Dst.Width, Src1.Width, Src2.Width});
    const int height = std::min({Dst.Height, Src1.Height, Src2.Height});
    for (int y = 0; y < height; ++y) {
        std::uint8_t* out = Dst.RowTable[y];
        const std::uint8_t* a = Src1.RowTable[y];
        const std::uint8_t* b = Src2.RowTable[y];
        for (int i = 0; i < 3 * width; ++i)
            out[i] = static_cast<std::uint8_t>(b[i] + table[a[i] - b[i] + 255]);
    }
}

void SplitBlur(TFastBMP& Bmp, int Amount)
{
    if (Bmp.Empty())
        return;
    // Any reach beyond the picture clamps to its edge; limiting it first keeps y + A in range.
    const int reach = std::max(Bmp.Width, Bmp.Height);
    const int a = ClampInt(Amount, -reach, reach);
    for (int y = 0; y < Bmp.Height; ++y) {
        const int ya = ClampInt(y + a, 0, Bmp.Height - 1);
        const int yb = ClampInt(y - a, 0, Bmp.Height - 1);
        for (int x = 0; x < Bmp.Width; ++x) {
            const int xa = ClampInt(x + a, 0, Bmp.Width - 1);
            const int xb = ClampInt(x - a, 0, Bmp.Width - 1);
            const std::uint8_t* p1 = Bmp.Pixel(xa, ya);
            const std::uint8_t* p2 = Bmp.Pixel(xa, yb);
            const std::uint8_t* p3 = Bmp.Pixel(xb, ya);
            const std::uint8_t* p4 = Bmp.Pixel(xb, yb);
            std::uint8_t* out = Bmp.Pixel(x, y);
            for (int c = 0; c < 3; ++c)
                out[c] = static_cast<std::uint8_t>((p1[c] + p2[c] + p3[c] + p4[c]) >> 2);
        }
    }
}

void BlurPasses(TFastBMP& Bmp, int Amount)
{
    for (int i = 1; i <= Amount; ++i)
        SplitBlur(Bmp, i);
}

void HorizontalShift(TFastBMP& Bmp, int Amount)
{
    if (Bmp.Empty())
        return;
    const int n = wrapShift(Amount, Bmp.Width);
    if (n == 0)
        return;
    const std::size_t keep = static_cast<std::size_t>(Bmp.Width - n) * 3;
    const std::size_t moved = static_cast<std::size_t>(n) * 3;
    std::vector<std::uint8_t> saved(moved);
    for (int y = 0; y < Bmp.Height; ++y) {
        std::uint8_t* row = Bmp.RowTable[y];
        std::memcpy(saved.data(), row + keep, moved);
        std::memmove(row + moved, row, keep);
        std::memcpy(row, saved.data(), moved);
    }
}

void VerticalShift(TFastBMP& Bmp, int Amount)
{
    if (Bmp.Empty())
        return;
    const int n = wrapShift(Amount, Bmp.Height);
    if (n == 0)
        return;
    const std::size_t stride = static_cast<std::size_t>(Bmp.RowStride);
    const std::size_t moved = n * stride;
    const std::size_t keep = (Bmp.Height - n) * stride;
    std::vector<std::uint8_t> saved(Bmp.PixelData + keep, Bmp.PixelData + keep + moved);
    std::memmove(Bmp.PixelData + moved, Bmp.PixelData, keep);
    std::memcpy(Bmp.PixelData, saved.data(), moved);
}

void RotateSize(int& Width, int& Height, double Angle)
{
    const double a = std::fabs(Angle) * std::numbers::pi / 180;
    const double c = std::cos(a), s = std::sin(a);
    const int w = static_cast<int>(rtl::Round(std::fabs(Width * c) + std::fabs(Height * s)));
    const int h = static_cast<int>(rtl::Round(std::fabs(Width * s) + std::fabs(Height * c)));
    Width = w;
    Height = h;
}

// Each destination row starts at its rotated source position and steps along the rotated
// x axis in 16.16 fixed point.
void Rotate(const TFastBMP& Src, TFastBMP& Dst, int CenterX, int CenterY, double Angle)
{
    const double a = -Angle * std::numbers::pi / 180;
    const double s = std::sin(a), c = std::cos(a);
    const int xoff = (Dst.Width - Src.Width) / 2;
    const int yoff = (Dst.Height - Src.Height) / 2;
    const double cx = CenterX, cy = CenterY;
    const long long stepX = rtl::Round(c * 65536);
    const long long stepY = rtl::Round(s * 65536);
    for (int y = 0; y < Dst.Height; ++y) {
        long long px = rtl::Round((-cx * c + cx - (y - cy) * s - xoff) * 65536);
        long long py = rtl::Round((-cx * s + cy + (y - cy) * c - yoff) * 65536);
        for (int x = 0; x < Dst.Width; ++x, px += stepX, py += stepY) {
            if (px >= 0 && py >= 0 && (px >> 16) < Src.Width && (py >> 16) < Src.Height)
                std::memcpy(Dst.Pixel(x, y), Src.Pixel(int(px >> 16), int(py >> 16)), 3);
        }
    }
}

void Twist(const TFastBMP& Src, TFastBMP& Dst, int Amount)
{
    const int W = Src.Width, H = Src.Height;
    const int width = std::min(W, Dst.Width);
    const int height = std::min(H, Dst.Height);
    const float cx = (W - 1) / 2.0f, cy = (H - 1) / 2.0f;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const float dx = x - cx, dy = y - cy;
            const float r = std::sqrt(dx * dx + dy * dy);
            float nx = cx, ny = cy;
            if (r != 0) {
                const float turn = Amount != 0 ? r / float(Amount) : 0.0f;
                const float a = ArcTan2(dy, dx) - turn + 1.5707964f;
                nx = std::cos(a) * r + cx;
                ny = std::sin(a) * r + cy;
            }
            int ix = static_cast<int>(nx), iy = static_cast<int>(ny);
            float wx[2], wy[2];
            if (nx >= 0) { wx[1] = nx - ix; wx[0] = 1 - wx[1]; }
            else { wx[0] = ix - nx; wx[1] = 1 - wx[0]; }
            if (ny >= 0) { wy[1] = ny - iy; wy[0] = 1 - wy[1]; }
            else { wy[0] = iy - ny; wy[1] = 1 - wy[0]; }
            if (ix < 0) ix = W - 1 - ((-ix) % W);
            else if (ix > W - 1) ix %= W;
            if (iy < 0) iy = H - 1 - ((-iy) % H);
            else if (iy > H - 1) iy %= H;
            double sum[3] = {0, 0, 0};
            for (int j = 0; j < 2; ++j) {
                const int row = iy + j < H ? iy + j : H - iy - j;
                for (int i = 0; i < 2; ++i) {
                    const int col = ix + i < W ? ix + i : W - ix - i;
                    const std::uint8_t* p = Src.Pixel(col, row);
                    const double w = double(wx[i]) * wy[j];
                    for (int k = 0; k < 3; ++k)
                        sum[k] += p[k] * w;
                }
            }
            std::uint8_t* out = Dst.Pixel(x, y);
            for (int k = 0; k < 3; ++k)
                out[k] = toByte(sum[k]);
        }
    }
}
