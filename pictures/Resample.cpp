#include "pictures/Resample.h"

#include <cmath>
#include <limits>

using gfx::TBitmap;

namespace {

using Real = long double;

// Halves go to the even neighbour (the default rounding mode), in extended precision: a
// value just above a half must not become the half on its way through a double.
int64_t RoundExtended(Real x) { return std::llrintl(x); }

// 2 to the power (mantissa bits - 1): a value of 0..255 added to it keeps no fraction bits.
const Real RoundingShift = std::ldexp(Real(1), std::numeric_limits<Real>::digits - 1);

// ClampByte without a library call per channel: the sum with RoundingShift is the value
// rounded as llrintl rounds it (nearest, halves to even); the integer then passes exactly
// through a double.
inline uint8_t Clamp(Real v)
{
    if (v < 0)
        return 0;
    if (v > 255)
        return 255;
    const Real rounded = (v + RoundingShift) - RoundingShift;
    return uint8_t(double(rounded));
}

// The source columns (or rows) and weights of one destination column (or row).
struct Taps {
    int32_t Index[4];
    Real Weight[4];
};

Real CubicConvolution(Real d)
{
    return d < 1 ? (d - 1) * (d * d - d - 1) : -(d - 1) * (d - 2) * (d - 2);
}

Real CubicLagrange(Real d)
{
    return d < 1 ? (d - 2) * (d + 1) * (d - 1) / 2 : -(d - 3) * (d - 2) * (d - 1) / 6;
}

Real Mitchell(Real d)
{
    const Real d2 = d * d, d3 = d2 * d;
    return d < 1 ? 7 * d3 / 6 - 2 * d2 + Real(8) / 9
                 : -7 * d3 / 18 + 2 * d2 - 10 * d / 3 + Real(16) / 9;
}

Real Cube(Real v) { return v * v * v; }

// The uniform cubic B-spline basis at the fractional position u, for the offsets -1..2.
void BSplineWeights(Real u, Real* w)
{
    w[0] = Cube(1 - u) / 6;
    w[1] = (Cube(2 - u) - 4 * Cube(1 - u)) / 6;
    w[2] = (Cube(3 - u) - 4 * Cube(2 - u) + 6 * Cube(1 - u)) / 6;
    w[3] = (Cube(4 - u) - 4 * Cube(3 - u) + 6 * Cube(2 - u) - 4 * Cube(1 - u)) / 6;
}

// The 4-tap window around the sampling position f = i x ratio on an axis of `size` pixels:
// positions trunc(f) - 1 .. trunc(f) + 2, a position past either edge replaced by trunc(f).
std::vector<Taps> WindowTaps(int32_t count, Real ratio, int32_t size, int filter)
{
    std::vector<Taps> taps(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
        const Real f = i * ratio;
        const int32_t centre = int32_t(f);
        Taps& t = taps[size_t(i)];
        if (filter == 4)
            BSplineWeights(f - centre, t.Weight);
        for (int k = 0; k < 4; ++k) {
            const int32_t at = centre + k - 1;
            t.Index[k] = at < 0 || at > size - 1 ? centre : at;
            const Real d = std::fabs(f - at);
            if (filter == 2)
                t.Weight[k] = CubicConvolution(d);
            else if (filter == 3)
                t.Weight[k] = CubicLagrange(d);
            else if (filter == 5)
                t.Weight[k] = Mitchell(d);
        }
    }
    return taps;
}

void Nearest(const TBmpData24& src, const TBmpData24& dst, Real rx, Real ry)
{
    std::vector<int32_t> columns(static_cast<size_t>(dst.Width));
    for (int32_t x = 0; x < dst.Width; ++x)
        columns[size_t(x)] = int32_t(std::min<int64_t>(RoundExtended(x * rx), src.Width - 1));
    for (int32_t y = 0; y < dst.Height; ++y) {
        const int32_t sy = int32_t(std::min<int64_t>(RoundExtended(y * ry), src.Height - 1));
        for (int32_t x = 0; x < dst.Width; ++x) {
            const uint8_t* s = src.Pixel(columns[size_t(x)], sy);
            uint8_t* d = dst.Pixel(x, y);
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
        }
    }
}

// The two neighbours of a sampling position and its distance from the first.
struct Pair {
    int32_t Low, High;
    Real Fraction;
};

std::vector<Pair> PairTaps(int32_t count, Real ratio, int32_t size)
{
    std::vector<Pair> pairs(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
        const Real f = i * ratio;
        const int32_t low = std::max(0, int32_t(f));
        const int32_t high = low + 1 > size - 1 ? low : low + 1;
        pairs[size_t(i)] = {low, high, f - low};
    }
    return pairs;
}

void Bilinear(const TBmpData24& src, const TBmpData24& dst, Real rx, Real ry)
{
    const std::vector<Pair> columns = PairTaps(dst.Width, rx, src.Width);
    const std::vector<Pair> rows = PairTaps(dst.Height, ry, src.Height);
    for (int32_t y = 0; y < dst.Height; ++y) {
        const Pair& r = rows[size_t(y)];
        const Real dy = r.Fraction;
        for (int32_t x = 0; x < dst.Width; ++x) {
            const Pair& c = columns[size_t(x)];
            const Real dx = c.Fraction;
            const uint8_t* p00 = src.Pixel(c.Low, r.Low);
            const uint8_t* p10 = src.Pixel(c.High, r.Low);
            const uint8_t* p01 = src.Pixel(c.Low, r.High);
            const uint8_t* p11 = src.Pixel(c.High, r.High);
            uint8_t* d = dst.Pixel(x, y);
            for (int ch = 0; ch < 3; ++ch) {
                const Real top = p00[ch] * (1 - dx) + p10[ch] * dx;
                const Real bottom = p01[ch] * (1 - dx) + p11[ch] * dx;
                d[ch] = Clamp(top * (1 - dy) + bottom * dy);
            }
        }
    }
}

// Filters 2, 3 and 5 weight a sample by its column weight, then by its row weight; the
// B-spline (filter 4) by the product of the two, which is worked out once per tap.
template <bool WeightProduct>
void Window4(const TBmpData24& src, const TBmpData24& dst, Real rx, Real ry, int filter)
{
    const std::vector<Taps> columns = WindowTaps(dst.Width, rx, src.Width, filter);
    const std::vector<Taps> rows = WindowTaps(dst.Height, ry, src.Height, filter);
    for (int32_t y = 0; y < dst.Height; ++y) {
        const Taps& r = rows[size_t(y)];
        for (int32_t x = 0; x < dst.Width; ++x) {
            const Taps& c = columns[size_t(x)];
            Real blue = 0, green = 0, red = 0;
            for (int j = 0; j < 4; ++j) {
                const Real wy = r.Weight[j];
                const uint8_t* row = src.Rows[size_t(r.Index[j])];
                for (int i = 0; i < 4; ++i) {
                    const Real wx = c.Weight[i];
                    const uint8_t* s = row + 3 * size_t(c.Index[i]);
                    if constexpr (WeightProduct) {
                        const Real w = wx * wy;
                        blue += s[0] * w;
                        green += s[1] * w;
                        red += s[2] * w;
                    } else {
                        blue += s[0] * wx * wy;
                        green += s[1] * wx * wy;
                        red += s[2] * wx * wy;
                    }
                }
            }
            uint8_t* d = dst.Pixel(x, y);
            d[0] = Clamp(blue);
            d[1] = Clamp(green);
            d[2] = Clamp(red);
        }
    }
}

}  // namespace

TBmpData24::TBmpData24(gfx::TBitmap& Bitmap) : Width(Bitmap.Width()), Height(Bitmap.Height())
{
    Rows.reserve(size_t(Height));
    for (int32_t y = 0; y < Height; ++y)
        Rows.push_back(Bitmap.ScanLine(y));
}

uint8_t ClampByte(long double Value)
{
    return Clamp(Value);
}

std::unique_ptr<TBitmap> CopyBitmap(const TBitmap& Source)
{
    auto copy = std::make_unique<TBitmap>();
    copy->Assign(Source);
    return copy;
}

bool ResampleBitmap24(TBitmap& Bitmap, int32_t NewWidth, int32_t NewHeight, int Filter)
{
    const int32_t sw = Bitmap.Width(), sh = Bitmap.Height();
    // Without a source pixel there is nothing to sample (and the edge rules would read column -1).
    if (Bitmap.PixelFormat() != gfx::pf24bit || sw == 0 || sh == 0)
        return false;
    std::unique_ptr<TBitmap> dest = CopyBitmap(Bitmap);
    dest->SetSize(NewWidth, NewHeight);
    if (dest->Empty()) {
        Bitmap.Assign(*dest);
        return true;
    }
    const Real rx = Real(sw) / dest->Width(), ry = Real(sh) / dest->Height();
    const TBmpData24 src(Bitmap), dst(*dest);
    switch (Filter) {
    case 0: Nearest(src, dst, rx, ry); break;
    case 1: Bilinear(src, dst, rx, ry); break;
    case 2:
    case 3:
    case 5: Window4<false>(src, dst, rx, ry, Filter); break;
    case 4: Window4<true>(src, dst, rx, ry, Filter); break;
    default: break;
    }
    Bitmap.Assign(*dest);
    return true;
}
