#include "pictures/Resample.h"

#include <cfloat>
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

// One destination pixel of filters 2 to 5 summed in long double: rows outer, columns inner;
// filters 2, 3 and 5 weight a sample by its column weight, then by its row weight, the
// B-spline (filter 4) by the product of the two.
template <bool WeightProduct>
void ExactPixel(const TBmpData24& src, const Taps& c, const Taps& r, uint8_t* d)
{
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
    d[0] = Clamp(blue);
    d[1] = Clamp(green);
    d[2] = Clamp(red);
}

// The largest sum of the weights' magnitudes over the windows of one axis.
Real LargestWeightSum(const std::vector<Taps>& taps)
{
    Real largest = 0;
    for (const Taps& t : taps)
        largest = std::max(largest, std::fabs(t.Weight[0]) + std::fabs(t.Weight[1]) + std::fabs(t.Weight[2]) +
                                        std::fabs(t.Weight[3]));
    return largest;
}

// Added to and taken from a double of magnitude below 2^51, rounds it to an integer (nearest,
// halves to even) in the default rounding mode.
const double DoubleRoundingShift = std::ldexp(1.5, std::numeric_limits<double>::digits - 1);
static_assert(FLT_EVAL_METHOD == 0, "the double sums must be rounded to double at every step");

// Filters 2 to 5. Long double arithmetic per tap is slow, so every channel is first summed in
// double, separably: each source row's four column taps, then the window's four rows. That sum
// D differs from the long double sum L in the last bits only, and only a value whose D lies
// close to a rounding boundary (a half; 0 and 255 are no boundaries, since clamping and rounding
// agree there) is summed again in long double, tap by tap as the filter defines it. So the bytes
// are exactly the long double ones.
//
// How close: with the weights w as long double numbers and T the exact sum of s x wx x wy
// over the 16 taps, every term of D carries at most 10 double roundings (two weights made
// double, the column product, three column additions, the row product, three row additions)
// and every term of L at most 17 long double ones (two products, fifteen additions). By the
// usual bound for sums of products, |D - T| <= 10 ud S and |L - T| <= 17 uL S, ignoring second
// order terms, with ud and uL the unit roundoffs and S the sum of |s wx wy|, which is at most
// 255 x (largest sum of |wx|) x (largest sum of |wy|). Twice that covers the second order terms
// and the rounding of the bound itself. When D is farther than the bound from every half, L
// is on the same side of the same half and rounds to the same byte.
template <bool WeightProduct>
void Window4(const TBmpData24& src, const TBmpData24& dst, Real rx, Real ry, int filter)
{
    const std::vector<Taps> columns = WindowTaps(dst.Width, rx, src.Width, filter);
    const std::vector<Taps> rows = WindowTaps(dst.Height, ry, src.Height, filter);
    const Real ud = std::numeric_limits<double>::epsilon() / 2, uL = std::numeric_limits<Real>::epsilon() / 2;
    const double errorBound = double(2 * (10 * ud + 17 * uL) * 255 * LargestWeightSum(columns) * LargestWeightSum(rows));
    // A double sum nearer than this to its nearest integer rounds as the long double sum does.
    const double safeDistance = 0.5 - errorBound;

    struct DoubleTaps {
        size_t Offset[4];  // of the tap's pixel in its row
        double Weight[4];
    };
    std::vector<DoubleTaps> columnTaps(columns.size());
    for (size_t x = 0; x < columns.size(); ++x)
        for (int i = 0; i < 4; ++i) {
            columnTaps[x].Offset[i] = 3 * size_t(columns[x].Index[i]);
            columnTaps[x].Weight[i] = double(columns[x].Weight[i]);
        }

    // The column sums of the source rows the current windows read, each row kept in slot
    // (row mod 4): a window's rows lie within four consecutive ones, so they never share a slot.
    const size_t n = 3 * size_t(dst.Width);
    std::vector<double> rowSums(4 * n), sums(n);
    int32_t rowInSlot[4] = {-1, -1, -1, -1};
    auto columnSums = [&](int32_t row) -> const double* {
        double* h = &rowSums[size_t(row & 3) * n];
        if (rowInSlot[row & 3] != row) {
            rowInSlot[row & 3] = row;
            const uint8_t* line = src.Rows[size_t(row)];
            for (size_t x = 0; x < columnTaps.size(); ++x) {
                const DoubleTaps& t = columnTaps[x];
                const uint8_t *p0 = line + t.Offset[0], *p1 = line + t.Offset[1], *p2 = line + t.Offset[2],
                              *p3 = line + t.Offset[3];
                for (int ch = 0; ch < 3; ++ch)
                    h[3 * x + ch] = p0[ch] * t.Weight[0] + p1[ch] * t.Weight[1] + p2[ch] * t.Weight[2] +
                                    p3[ch] * t.Weight[3];
            }
        }
        return h;
    };

    for (int32_t y = 0; y < dst.Height; ++y) {
        const Taps& r = rows[size_t(y)];
        const double* h0 = columnSums(r.Index[0]);
        const double* h1 = columnSums(r.Index[1]);
        const double* h2 = columnSums(r.Index[2]);
        const double* h3 = columnSums(r.Index[3]);
        const double w0 = double(r.Weight[0]), w1 = double(r.Weight[1]), w2 = double(r.Weight[2]),
                     w3 = double(r.Weight[3]);
        double* sum = sums.data();
        for (size_t k = 0; k < n; ++k)
            sum[k] = h0[k] * w0 + h1[k] * w1 + h2[k] * w2 + h3[k] * w3;

        uint8_t* d = dst.Rows[size_t(y)];
        for (int32_t x = 0; x < dst.Width; ++x) {
            bool decided = true;
            for (int ch = 0; ch < 3; ++ch) {
                const double v = sum[3 * x + ch];
                const double nearest = (v + DoubleRoundingShift) - DoubleRoundingShift;
                decided = decided && std::fabs(v - nearest) < safeDistance;
                d[3 * x + ch] = nearest < 0 ? 0 : nearest > 255 ? 255 : uint8_t(nearest);
            }
            if (!decided)
                ExactPixel<WeightProduct>(src, columns[size_t(x)], r, d + 3 * size_t(x));
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
