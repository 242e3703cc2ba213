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

std::uint64_t load8(const std::uint8_t* P)
{
    std::uint64_t v;
    std::memcpy(&v, P, 8);
    return v;
}

// (a + b + c + d) >> 2 of each of eight bytes at once: the even and the odd bytes are summed
// in 16-bit lanes, where four bytes cannot overflow.
std::uint64_t meanOfFour(std::uint64_t A, std::uint64_t B, std::uint64_t C, std::uint64_t D)
{
    constexpr std::uint64_t lanes = 0x00FF00FF00FF00FFull;
    const std::uint64_t even = ((A & lanes) + (B & lanes) + (C & lanes) + (D & lanes)) >> 2 & lanes;
    const std::uint64_t odd = (((A >> 8) & lanes) + ((B >> 8) & lanes) + ((C >> 8) & lanes) +
                               ((D >> 8) & lanes)) >> 2 & lanes;
    return even | odd << 8;
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

// The column offsets are the same on every row, so they are worked out once per pass. A row
// that reads only other rows (every row but the edge ones whose reach clamps back onto
// themselves) is independent of the order its pixels are written in, and its middle part,
// where no column clamps, is a plain run of bytes taken eight at a time.
void SplitBlur(TFastBMP& Bmp, int Amount)
{
    if (Bmp.Empty())
        return;
    // Any reach beyond the picture clamps to its edge; limiting it first keeps y + A in range.
    const int width = Bmp.Width;
    const int reach = std::max(width, Bmp.Height);
    const int a = ClampInt(Amount, -reach, reach);
    thread_local std::vector<int> ahead, behind;
    ahead.resize(width);
    behind.resize(width);
    for (int x = 0; x < width; ++x) {
        ahead[x] = 3 * ClampInt(x + a, 0, width - 1);
        behind[x] = 3 * ClampInt(x - a, 0, width - 1);
    }
    // Columns whose both neighbours lie inside the row.
    const int first = std::min(std::abs(a), width);
    const int last = std::max(width - std::abs(a), first);
    const std::ptrdiff_t shift = 3 * std::ptrdiff_t(a);
    for (int y = 0; y < Bmp.Height; ++y) {
        const std::uint8_t* up = Bmp.RowTable[ClampInt(y + a, 0, Bmp.Height - 1)];
        const std::uint8_t* down = Bmp.RowTable[ClampInt(y - a, 0, Bmp.Height - 1)];
        std::uint8_t* out = Bmp.RowTable[y];
        auto pixel = [&](int x) {
            const std::uint8_t* p1 = up + ahead[x];
            const std::uint8_t* p2 = down + ahead[x];
            const std::uint8_t* p3 = up + behind[x];
            const std::uint8_t* p4 = down + behind[x];
            for (int c = 0; c < 3; ++c)
                out[3 * x + c] = static_cast<std::uint8_t>((p1[c] + p2[c] + p3[c] + p4[c]) >> 2);
        };
        if (up == out || down == out) {
            // The row reads itself: left to right, as the pass is defined.
            for (int x = 0; x < width; ++x)
                pixel(x);
            continue;
        }
        for (int x = 0; x < first; ++x)
            pixel(x);
        const std::uint8_t* u = up;
        const std::uint8_t* d = down;
        std::uint8_t* o = out;
        std::ptrdiff_t i = 3 * std::ptrdiff_t(first);
        const std::ptrdiff_t end = 3 * std::ptrdiff_t(last);
        for (; i + 8 <= end; i += 8) {
            const std::uint64_t m = meanOfFour(load8(u + i + shift), load8(d + i + shift),
                                               load8(u + i - shift), load8(d + i - shift));
            std::memcpy(o + i, &m, 8);
        }
        for (; i < end; ++i)
            o[i] = static_cast<std::uint8_t>((u[i + shift] + d[i + shift] + u[i - shift] + d[i - shift]) >> 2);
        for (int x = last; x < width; ++x)
            pixel(x);
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

namespace {

// Where each pixel of a twist reads its four source pixels and how much of each it takes:
// it depends only on the sizes and the amount, so a scene twisted every frame works it out
// once.
struct TwistMap {
    int W = -1, H = -1, Stride = -1, Width = -1, Height = -1, Amount = 0;
    struct Tap {
        std::ptrdiff_t Offset[4];  // from the first pixel byte: row * stride + 3 * column
        double Weight[4];
    };
    std::vector<Tap> Taps;  // Width x Height, row by row

    void build(int w, int h, int stride, int width, int height, int amount)
    {
        W = w; H = h; Stride = stride; Width = width; Height = height; Amount = amount;
        Taps.resize(static_cast<std::size_t>(std::max(width, 0)) * std::max(height, 0));
        const float cx = (W - 1) / 2.0f, cy = (H - 1) / 2.0f;
        std::size_t n = 0;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x, ++n) {
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
                Tap& tap = Taps[n];
                for (int j = 0; j < 2; ++j) {
                    const int row = iy + j < H ? iy + j : H - iy - j;
                    for (int i = 0; i < 2; ++i) {
                        const int col = ix + i < W ? ix + i : W - ix - i;
                        tap.Offset[2 * j + i] = std::ptrdiff_t(row) * stride + 3 * std::ptrdiff_t(col);
                        tap.Weight[2 * j + i] = double(wx[i]) * wy[j];
                    }
                }
            }
        }
    }
};

// Round (halves to the even neighbour) of a sum that lies near 0 .. 255, clamped to a byte.
std::uint8_t roundToByte(double Sum)
{
    const double lower = std::floor(Sum);
    const double diff = Sum - lower;
    double r = lower;
    if (diff > 0.5 || (diff == 0.5 && std::fmod(lower, 2.0) != 0.0))
        r = lower + 1.0;
    return static_cast<std::uint8_t>(std::clamp(r, 0.0, 255.0));
}

}  // namespace

void Twist(const TFastBMP& Src, TFastBMP& Dst, int Amount)
{
    const int W = Src.Width, H = Src.Height;
    const int width = std::min(W, Dst.Width);
    const int height = std::min(H, Dst.Height);
    if (width <= 0 || height <= 0)
        return;
    thread_local TwistMap map;
    if (map.W != W || map.H != H || map.Stride != Src.RowStride || map.Width != width ||
        map.Height != height || map.Amount != Amount)
        map.build(W, H, Src.RowStride, width, height, Amount);
    const std::uint8_t* base = Src.PixelData;
    const TwistMap::Tap* tap = map.Taps.data();
    for (int y = 0; y < height; ++y) {
        std::uint8_t* out = Dst.RowTable[y];
        for (int x = 0; x < width; ++x, ++tap, out += 3) {
            double sum[3] = {0, 0, 0};
            for (int t = 0; t < 4; ++t) {
                const std::uint8_t* p = base + tap->Offset[t];
                for (int k = 0; k < 3; ++k)
                    sum[k] += p[k] * tap->Weight[t];
            }
            for (int k = 0; k < 3; ++k)
                out[k] = roundToByte(sum[k]);
        }
    }
}
