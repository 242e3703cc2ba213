// The row converters of TColorManager. Each one decides once per row how to read a sample
// (depth, byte order, gamma) and where each channel lies, then walks the pixels: a bit-run
// starting at bit 7 picks the pixels Mask selects; a selected pixel consumes the next source
// pixel, every pixel advances the target. Before the walk the row is cut to the pixels that
// fit in both the source rows and the target row, so a short row is converted as far as it
// goes and nothing outside it is touched. Positions are kept as offsets, not pointers, so that
// nothing is formed past the end of a row either.
#include "pictures/colormanager/PictureColors.h"

#include "platform/rtl/BigEndian.h"
#include "platform/rtl/LittleEndian.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace {

using rtl::be16;
using rtl::le16;
uint16_t widen(uint8_t v) { return MulDiv16(v, 65535, 255); }

// Per-sample functions: a sample at p to its target value (8 or 16 bits).
using TSampleFn = uint16_t (*)(const uint8_t* gamma, const uint8_t* p);
uint16_t SampleCopy8(const uint8_t*, const uint8_t* p) { return p[0]; }
uint16_t SampleGamma8(const uint8_t* g, const uint8_t* p) { return g[p[0]]; }
uint16_t SampleScale16(const uint8_t*, const uint8_t* p) { return MulDiv16(le16(p), 255, 65535); }
uint16_t SampleScaleGamma16(const uint8_t* g, const uint8_t* p) { return g[MulDiv16(le16(p), 255, 65535)]; }
uint16_t SampleSwapScale16(const uint8_t*, const uint8_t* p) { return MulDiv16(be16(p), 255, 65535); }
uint16_t SampleSwapScaleGamma16(const uint8_t* g, const uint8_t* p) { return g[MulDiv16(be16(p), 255, 65535)]; }
uint16_t SampleCopy16(const uint8_t*, const uint8_t* p) { return le16(p); }
uint16_t SampleSwap16(const uint8_t*, const uint8_t* p) { return be16(p); }

bool isWide(uint8_t bits) { return bits == 8 || bits == 16; }
bool isPacked(uint8_t bits) { return bits == 1 || bits == 2 || bits == 4 || bits == 8; }

uint8_t rotateRight(uint8_t run) { return uint8_t(run >> 1 | run << 7); }

// Pixels of a row of `count` that can be converted: no more than the target holds, and none
// from the first selected pixel for which the source has no samples left.
uint32_t fittingPixels(uint32_t count, uint8_t mask, size_t sourcePixels, size_t targetPixels)
{
    const uint64_t n = std::min<uint64_t>(count, targetPixels);
    const int selected = std::popcount(mask);
    if (selected == 0)
        return uint32_t(n);
    const uint64_t groups = sourcePixels / size_t(selected);
    if (groups > n / 8)
        return uint32_t(n);
    size_t rest = sourcePixels % size_t(selected);
    uint64_t limit = groups * 8;
    for (int bit = 0; bit < 8; ++bit, ++limit)
        if (mask & (0x80 >> bit)) {
            if (rest == 0)
                break;
            --rest;
        }
    return uint32_t(std::min(n, limit));
}

// Up to four channels of a source row: where each one starts and how far a pixel moves it.
struct Channels {
    const uint8_t* base[4] = {};
    size_t offset[4] = {};
    size_t advance = 0;
    size_t pixels = 0;  // source pixels every channel holds
    const uint8_t* at(int c, size_t k) const { return base[c] + offset[c] + k * advance; }
};

// Channels in `order` (indices into the pixel's samples or the planes); planar when Source
// has more than one row, which then needs `planes` of them.
bool channels(TSourceRows Source, const int (&order)[4], int used, size_t sampleBytes, size_t interleavedStep,
              size_t planes, Channels& ch)
{
    if (Source.empty())
        return false;
    const bool planar = Source.size() > 1;
    if (planar && Source.size() < planes)
        return false;
    ch.advance = planar ? sampleBytes : sampleBytes * interleavedStep;
    ch.pixels = SIZE_MAX;
    for (int c = 0; c < used; ++c) {
        const TRowSpan row = planar ? Source[size_t(order[c])] : Source[0];
        ch.base[c] = row.data();
        ch.offset[c] = planar ? 0 : size_t(order[c]) * sampleBytes;
        const size_t room = row.size() >= ch.offset[c] + sampleBytes ? row.size() - ch.offset[c] - sampleBytes : 0;
        ch.pixels = std::min(ch.pixels, row.size() >= ch.offset[c] + sampleBytes ? room / ch.advance + 1 : 0);
    }
    return true;
}

template <class Pixel>
void walk(uint32_t n, uint8_t mask, uint8_t* target, size_t targetAdvance, Pixel&& pixel)
{
    uint8_t run = 0x80;
    size_t k = 0;
    for (uint32_t i = 0; i < n; ++i) {
        if (mask & run)
            pixel(k++, target + size_t(i) * targetAdvance);
        run = rotateRight(run);
    }
}

// Writes r, g, b (and alpha) in the target's order, 8 or 16 bits, widening 8-bit values
// into a 16-bit target when `widenValues`.
struct Writer {
    bool bgr;
    bool sixteen;
    bool widenValues;
    void put(uint8_t* t, int index, uint16_t v) const
    {
        if (!sixteen)
            t[index] = uint8_t(v);
        else
            rtl::put_le16(t + 2 * index, widenValues ? widen(uint8_t(v)) : v);
    }
    void rgb(uint8_t* t, uint16_t r, uint16_t g, uint16_t b) const
    {
        put(t, 0, bgr ? b : r);
        put(t, 1, g);
        put(t, 2, bgr ? r : b);
    }
};

// Packed samples of `bits` each, from the most significant end of every byte.
unsigned readPacked(const uint8_t* row, size_t index, unsigned bits)
{
    const size_t pos = index * bits;
    return (row[pos >> 3] >> (8 - bits - (pos & 7))) & ((1u << bits) - 1);
}

void writePacked(uint8_t* row, size_t index, unsigned bits, unsigned value)
{
    const size_t pos = index * bits;
    const unsigned shift = 8 - bits - unsigned(pos & 7), max = (1u << bits) - 1;
    row[pos >> 3] = uint8_t((row[pos >> 3] & ~(max << shift)) | ((value & max) << shift));
}

}  // namespace

void TColorManager::rgbRow(TSourceRows Source, std::span<uint8_t> Target, uint32_t Count, uint8_t Mask,
                           bool sourceBgr, bool targetBgr)
{
    const uint8_t S = sourceBPS_, T = targetBPS_;
    if (!isWide(S) || !isWide(T))
        return;
    const bool sourceAlpha = SourceOptions & soHasAlpha, targetAlpha = TargetOptions & soHasAlpha;
    const bool planar = Source.size() > 1;
    const bool copyAlpha = sourceAlpha && targetAlpha && (!planar || Source.size() >= 4);
    const int order[4] = {sourceBgr && !planar ? 2 : 0, 1, sourceBgr && !planar ? 0 : 2, 3};
    Channels ch;
    if (!channels(Source, order, copyAlpha ? 4 : 3, S / 8, sourceAlpha ? 4 : 3, 3, ch))
        return;
    const size_t targetAdvance = size_t(T / 8) * (targetAlpha ? 4 : 3);

    const bool gamma = TargetOptions & soApplyGamma, swap = SourceOptions & soSwapBytes;
    TSampleFn colour = SampleCopy8, alpha = SampleCopy8;
    if (S == 8) {
        colour = gamma ? SampleGamma8 : SampleCopy8;
    } else if (T == 8) {
        colour = swap ? (gamma ? SampleSwapScaleGamma16 : SampleSwapScale16)
                      : (gamma ? SampleScaleGamma16 : SampleScale16);
        alpha = swap ? SampleSwapScale16 : SampleScale16;
    } else {
        colour = alpha = swap ? SampleSwap16 : SampleCopy16;
    }
    const Writer out{targetBgr, T == 16, S == 8};
    const uint8_t* g = gamma_;
    const uint32_t n = fittingPixels(Count, Mask, ch.pixels, Target.size() / targetAdvance);
    walk(n, Mask, Target.data(), targetAdvance, [&](size_t k, uint8_t* t) {
        out.rgb(t, colour(g, ch.at(0, k)), colour(g, ch.at(1, k)), colour(g, ch.at(2, k)));
        if (copyAlpha)
            out.put(t, 3, alpha(g, ch.at(3, k)));
    });
}

void TColorManager::RowRgbToBgr(TSourceRows S, std::span<uint8_t> T, uint32_t C, uint8_t M) { rgbRow(S, T, C, M, false, true); }
void TColorManager::RowRgbToRgb(TSourceRows S, std::span<uint8_t> T, uint32_t C, uint8_t M) { rgbRow(S, T, C, M, false, false); }
void TColorManager::RowBgrToBgr(TSourceRows S, std::span<uint8_t> T, uint32_t C, uint8_t M) { rgbRow(S, T, C, M, true, true); }
void TColorManager::RowBgrToRgb(TSourceRows S, std::span<uint8_t> T, uint32_t C, uint8_t M) { rgbRow(S, T, C, M, true, false); }

void TColorManager::cmykRow(TSourceRows Source, std::span<uint8_t> Target, uint32_t Count, uint8_t Mask,
                            bool targetBgr)
{
    const uint8_t S = sourceBPS_, T = targetBPS_;
    if (!isWide(S) || !isWide(T) || Source.empty())
        return;
    // Four rows are four planes; anything else is interleaved in the first row.
    const TSourceRows rows = Source.size() == 4 ? Source : Source.first(1);
    Channels ch;
    if (!channels(rows, {0, 1, 2, 3}, 4, S / 8, 4, 4, ch))
        return;
    const size_t targetAdvance = size_t(T / 8) * ((TargetOptions & soHasAlpha) ? 4 : 3);
    const Writer out{targetBgr, T == 16, S == 8};
    auto value = [S, T](const uint8_t* x, uint16_t k) -> uint16_t {
        if (S == 8) {
            const int t = x[0] - MulDiv16(x[0], k, 255) + k;
            return ClampIntToByte(255 - t);
        }
        const uint16_t t = uint16_t(le16(x) - MulDiv16(le16(x), k, 65535) + k);
        return T == 8 ? ClampIntToByte(255 - MulDiv16(t, 255, 65535)) : uint16_t(65535 - t);
    };
    const uint32_t n = fittingPixels(Count, Mask, ch.pixels, Target.size() / targetAdvance);
    walk(n, Mask, Target.data(), targetAdvance, [&](size_t k, uint8_t* t) {
        const uint8_t* black = ch.at(3, k);
        const uint16_t K = S == 8 ? black[0] : le16(black);
        out.rgb(t, value(ch.at(0, k), K), value(ch.at(1, k), K), value(ch.at(2, k), K));
    });
}

void TColorManager::RowCmykToBgr(TSourceRows S, std::span<uint8_t> T, uint32_t C, uint8_t M) { cmykRow(S, T, C, M, true); }
void TColorManager::RowCmykToRgb(TSourceRows S, std::span<uint8_t> T, uint32_t C, uint8_t M) { cmykRow(S, T, C, M, false); }

// 16-bit samples are brought to the 8-bit formulas' ranges: L* over the full 16 bits to
// 0..100, a* and b* to -128..128 (signed, or around 32768 with the offset option).
void TColorManager::labRow(TSourceRows Source, std::span<uint8_t> Target, uint32_t Count, uint8_t Mask,
                           bool targetBgr)
{
    const uint8_t S = sourceBPS_, T = targetBPS_;
    if (!isWide(S) || !isWide(T))
        return;
    Channels ch;
    if (!channels(Source, {0, 1, 2, 3}, 3, S / 8, 3, 3, ch))
        return;
    const size_t targetAdvance = size_t(T / 8) * ((TargetOptions & soHasAlpha) ? 4 : 3);
    const bool scaled = SourceOptions & soLabScaledLightness, offset = SourceOptions & soLabOffsetChroma;
    const Writer out{targetBgr, T == 16, true};
    auto lightness = [&](const uint8_t* p) -> double {
        if (S == 16)
            return le16(p) * 100.0 / 65535.0;
        return scaled ? p[0] / 2.55 : p[0];
    };
    auto chroma = [&](const uint8_t* p) -> double {
        if (S == 16)
            return offset ? (le16(p) - 32768) / 256.0 : int16_t(le16(p)) / 256.0;
        return offset ? p[0] - 128 : int8_t(p[0]);
    };
    auto toByte = [](double v) { return ClampIntToByte(int32_t(std::clamp(std::nearbyint(v * 255), -1.0, 256.0))); };
    const uint32_t n = fittingPixels(Count, Mask, ch.pixels, Target.size() / targetAdvance);
    walk(n, Mask, Target.data(), targetAdvance, [&](size_t k, uint8_t* t) {
        const double L = lightness(ch.at(0, k)), a = chroma(ch.at(1, k)), b = chroma(ch.at(2, k));
        const double fy = (L + 16) / 116;
        double X, Y, Z;
        if (L < 7.9996) {
            Y = L / 903.3;
            X = Y + a / 3893.5;
            Z = Y - b / 1557.4;
        } else {
            X = std::pow(fy + a / 500, 3);
            Y = fy * fy * fy;
            Z = std::pow(fy - b / 200, 3);
        }
        out.rgb(t, toByte(2.998 * X - 1.458 * Y - 0.541 * Z), toByte(-0.952 * X + 1.893 * Y + 0.059 * Z),
                toByte(0.099 * X - 0.198 * Y + 1.099 * Z));
    });
}

void TColorManager::RowLabToBgr(TSourceRows S, std::span<uint8_t> T, uint32_t C, uint8_t M) { labRow(S, T, C, M, true); }
void TColorManager::RowLabToRgb(TSourceRows S, std::span<uint8_t> T, uint32_t C, uint8_t M) { labRow(S, T, C, M, false); }

// YCbCr and PhotoYCC share the code; the chroma tables differ. Two 16-bit sides compute in
// full precision, each scheme by its own equations, clamped to 0..65535.
void TColorManager::yccRow(TSourceRows Source, std::span<uint8_t> Target, uint32_t Count, uint8_t Mask,
                           bool targetBgr)
{
    const uint8_t S = sourceBPS_, T = targetBPS_;
    if (!isWide(S) || !isWide(T) || CrToRed.size() != 256)
        return;
    Channels ch;
    if (!channels(Source, {0, 1, 2, 3}, 3, S / 8, 3, 3, ch))
        return;
    const size_t targetAdvance = size_t(T / 8) * ((TargetOptions & soHasAlpha) ? 4 : 3);
    const uint32_t n = fittingPixels(Count, Mask, ch.pixels, Target.size() / targetAdvance);
    if (S == 16 && T == 16) {
        const bool photo = sourceScheme_ == psPhotoYCC;
        const Writer out{targetBgr, true, false};
        auto clamp16 = [](double v) { return uint16_t(std::clamp(std::nearbyint(v), 0.0, 65535.0)); };
        walk(n, Mask, Target.data(), targetAdvance, [&](size_t k, uint8_t* t) {
            const double y = le16(ch.at(0, k)), cb = le16(ch.at(1, k)), cr = le16(ch.at(2, k));
            if (photo) {
                const double Y = 1.3584 * y, c1 = cb - 40092, c2 = cr - 35209;
                out.rgb(t, clamp16(Y + 1.8215 * c2), clamp16(Y - 0.4302726 * c1 - 0.9271435 * c2),
                        clamp16(Y + 2.2179 * c1));
            } else {
                const double c1 = cb - 32768, c2 = cr - 32768;
                out.rgb(t, clamp16(y + crToRedF_ * c2), clamp16(y - cbToGreenF_ * c1 - crToGreenF_ * c2),
                        clamp16(y + cbToBlueF_ * c1));
            }
        });
        return;
    }
    const Writer out{targetBgr, T == 16, true};
    auto sample = [S](const uint8_t* p) -> int { return S == 8 ? p[0] : MulDiv16(le16(p), 255, 65535); };
    walk(n, Mask, Target.data(), targetAdvance, [&](size_t k, uint8_t* t) {
        const int y = sample(ch.at(0, k)), cb = sample(ch.at(1, k)), cr = sample(ch.at(2, k));
        out.rgb(t, ClampIntToByte(y + CrToRed[cr]), ClampIntToByte(y + CbToGreen[cb] + CrToGreen[cr]),
                ClampIntToByte(y + CbToBlue[cb]));
    });
}

void TColorManager::RowYCbCrToBgr(TSourceRows S, std::span<uint8_t> T, uint32_t C, uint8_t M) { yccRow(S, T, C, M, true); }
void TColorManager::RowYCbCrToRgb(TSourceRows S, std::span<uint8_t> T, uint32_t C, uint8_t M) { yccRow(S, T, C, M, false); }
void TColorManager::RowPhotoYCCToBgr(TSourceRows S, std::span<uint8_t> T, uint32_t C, uint8_t M) { yccRow(S, T, C, M, true); }
void TColorManager::RowPhotoYCCToRgb(TSourceRows S, std::span<uint8_t> T, uint32_t C, uint8_t M) { yccRow(S, T, C, M, false); }

void TColorManager::RowGray(TSourceRows Source, std::span<uint8_t> Target, uint32_t Count, uint8_t Mask)
{
    const uint8_t S = sourceBPS_, T = targetBPS_;
    if (!isWide(S) || !isWide(T) || Source.empty())
        return;
    Channels ch;
    if (!channels(Source.first(1), {0, 1, 2, 3}, 1, S / 8, (SourceOptions & soHasAlpha) ? 2 : 1, 1, ch))
        return;
    const bool swap = SourceOptions & soSwapBytes;
    TSampleFn sample = SampleCopy8;
    if (S == 16)
        sample = T == 8 ? (swap ? SampleSwapScale16 : SampleScale16) : (swap ? SampleSwap16 : SampleCopy16);
    const Writer out{false, T == 16, S == 8};
    const size_t targetAdvance = T / 8;
    const uint32_t n = fittingPixels(Count, Mask, ch.pixels, Target.size() / targetAdvance);
    walk(n, Mask, Target.data(), targetAdvance,
         [&](size_t k, uint8_t* t) { out.put(t, 0, sample(gamma_, ch.at(0, k))); });
}

void TColorManager::RowIndexed(TSourceRows Source, std::span<uint8_t> Target, uint32_t Count, uint8_t Mask)
{
    const uint8_t S = sourceBPS_, T = targetBPS_;
    if (!isPacked(S) || !isPacked(T) || Source.empty())
        return;
    const TRowSpan row = Source[0];
    const uint32_t n = fittingPixels(Count, Mask, row.size() * 8 / S, Target.size() * 8 / T);
    if (S == T && Mask == 0xFF) {
        if (n > 0)
            std::memcpy(Target.data(), row.data(), (size_t(S) * n + 7) / 8);
        return;
    }
    const uint16_t sourceMax = uint16_t((1u << S) - 1), targetMax = uint16_t((1u << T) - 1);
    uint8_t run = 0x80;
    size_t k = 0;
    for (uint32_t i = 0; i < n; ++i) {
        if (Mask & run)
            writePacked(Target.data(), i, T, MulDiv16(uint16_t(readPacked(row.data(), k++, S)), targetMax, sourceMax));
        run = rotateRight(run);
    }
}

void TColorManager::RowIndexed16To16(TSourceRows Source, std::span<uint8_t> Target, uint32_t Count, uint8_t Mask)
{
    if (sourceBPS_ != 16 || targetBPS_ != 16 || Source.empty())
        return;
    const TRowSpan row = Source[0];
    const uint32_t n = fittingPixels(Count, Mask, row.size() / 2, Target.size() / 2);
    const bool swap = SourceOptions & soSwapBytes;
    if (!swap && Mask == 0xFF) {
        if (n > 0)
            std::memcpy(Target.data(), row.data(), size_t(n) * 2);
        return;
    }
    walk(n, Mask, Target.data(), 2, [&](size_t k, uint8_t* t) {
        const uint8_t* p = row.data() + 2 * k;
        rtl::put_le16(t, swap ? be16(p) : le16(p));
    });
}

void TColorManager::RowIndexed16ToPacked(TSourceRows Source, std::span<uint8_t> Target, uint32_t Count,
                                         uint8_t Mask)
{
    const uint8_t T = targetBPS_;
    if (sourceBPS_ != 16 || !isPacked(T) || Source.empty())
        return;
    const TRowSpan row = Source[0];
    const uint32_t n = fittingPixels(Count, Mask, row.size() / 2, Target.size() * 8 / T);
    const bool swap = SourceOptions & soSwapBytes;
    const uint16_t targetMax = uint16_t((1u << T) - 1);
    uint8_t run = 0x80;
    size_t k = 0;
    for (uint32_t i = 0; i < n; ++i) {
        if (Mask & run) {
            const uint8_t* p = row.data() + 2 * k++;
            writePacked(Target.data(), i, T, MulDiv16(swap ? be16(p) : le16(p), targetMax, 65535));
        }
        run = rotateRight(run);
    }
}

void TColorManager::RowIndexedPackedTo16(TSourceRows Source, std::span<uint8_t> Target, uint32_t Count,
                                         uint8_t Mask)
{
    const uint8_t S = sourceBPS_;
    if (!isPacked(S) || targetBPS_ != 16 || Source.empty())
        return;
    const TRowSpan row = Source[0];
    const uint32_t n = fittingPixels(Count, Mask, row.size() * 8 / S, Target.size() / 2);
    const bool swap = SourceOptions & soSwapBytes;
    const uint16_t sourceMax = uint16_t((1u << S) - 1);
    walk(n, Mask, Target.data(), 2, [&](size_t k, uint8_t* t) {
        const uint16_t v = MulDiv16(uint16_t(readPacked(row.data(), k, S)), 65535, sourceMax);
        rtl::put_le16(t, swap ? uint16_t(v >> 8 | v << 8) : v);
    });
}
