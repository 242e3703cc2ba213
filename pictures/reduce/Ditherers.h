// Ditherers: map one row of pixels after another to palette indices through a colour lookup.
// `TDitherEngine` takes the nearest colour; the error-diffusion kinds add to each pixel the
// error that earlier pixels left for it and spread this pixel's own error (corrected colour
// minus the entry's colour) to the pixels after it with their kind's weights.
//
// Rows are scanned serpentine: left to right, then right to left, and so on. The driver reads
// `Column` and `Direction`, hands the pixel at `Column` to `Dither` (which steps `Column` on)
// while the column lies inside the row, then calls `NextLine`. Weights are given for a scan to
// the right and mirrored for a scan to the left, so the grain has no direction.
//
// Every error-diffusion kind is one table of weights (`TDiffusionKernel`) run by one step:
// errors accumulate as integers, scaled by the kernel's divisor, in one row of accumulators
// per row the kernel reaches, and a pixel takes (error + divisor / 2) / divisor of them,
// truncated toward zero; rows carry a margin of three pixels on each side (the widest
// reach), so no weight needs a test at the edges. A ditherer belongs to one thread.
#pragma once

#include "pictures/reduce/ColorLookup.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class TDitherEngine {
public:
    // The lookup is the caller's and must outlive the ditherer.
    TDitherEngine(int Width, TColorLookup& Lookup);
    virtual ~TDitherEngine() = default;
    TDitherEngine(const TDitherEngine&) = delete;
    TDitherEngine& operator=(const TDitherEngine&) = delete;

    // The index for the pixel at Column; R, G, B receive the entry's colour. Steps Column on.
    virtual int Dither(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G, uint8_t& B);
    // Turns the scan round and puts Column on the new row's first pixel.
    virtual void NextLine();

    int Column() const { return column_; }
    int Direction() const { return direction_; }
    int Width() const { return width_; }

protected:
    TColorLookup& lookup_;
    int width_;
    int direction_ = 1;
    int column_ = 0;
};

// One weight of a kernel: dx pixels along the scan, dy rows down.
struct TDiffusionWeight {
    int8_t dx = 0, dy = 0;
    int16_t weight = 0;
};

// The weights for a scan to the right; each kernel's weights add up to its divisor, so that
// the whole error is passed on.
struct TDiffusionKernel {
    static constexpr int MaxWeights = 12;
    int Divisor;
    int Rows;  // the current row and the rows below it that receive error
    int Count;
    std::array<TDiffusionWeight, MaxWeights> Weights;
};

inline constexpr TDiffusionKernel FloydSteinbergKernel{16, 2, 4, {{{1, 0, 7}, {-1, 1, 3}, {0, 1, 5}, {1, 1, 1}}}};
inline constexpr TDiffusionKernel StuckiKernel{42, 3, 12, {{{1, 0, 8}, {2, 0, 4},
    {-2, 1, 2}, {-1, 1, 4}, {0, 1, 8}, {1, 1, 4}, {2, 1, 2},
    {-2, 2, 1}, {-1, 2, 2}, {0, 2, 4}, {1, 2, 2}, {2, 2, 1}}}};
inline constexpr TDiffusionKernel SierraKernel{32, 3, 10, {{{1, 0, 5}, {2, 0, 3},
    {-2, 1, 2}, {-1, 1, 4}, {0, 1, 5}, {1, 1, 4}, {2, 1, 2},
    {-1, 2, 2}, {0, 2, 3}, {1, 2, 2}}}};
inline constexpr TDiffusionKernel JaJuNiKernel{48, 3, 12, {{{1, 0, 7}, {2, 0, 5},
    {-2, 1, 3}, {-1, 1, 5}, {0, 1, 7}, {1, 1, 5}, {2, 1, 3},
    {-2, 2, 1}, {-1, 2, 3}, {0, 2, 5}, {1, 2, 3}, {2, 2, 1}}}};
inline constexpr TDiffusionKernel SteveArcheKernel{200, 4, 12, {{{2, 0, 32},
    {-3, 1, 12}, {-1, 1, 26}, {1, 1, 30}, {3, 1, 16},
    {-2, 2, 12}, {0, 2, 26}, {2, 2, 12},
    {-3, 3, 5}, {-1, 3, 12}, {1, 3, 12}, {3, 3, 5}}}};
inline constexpr TDiffusionKernel BurkesKernel{32, 2, 7, {{{1, 0, 8}, {2, 0, 4},
    {-2, 1, 2}, {-1, 1, 4}, {0, 1, 8}, {1, 1, 4}, {2, 1, 2}}}};

class TErrorDiffusionDitherer : public TDitherEngine {
public:
    static constexpr int Margin = 3;

    TErrorDiffusionDitherer(int Width, TColorLookup& Lookup, const TDiffusionKernel& Kernel);
    int Dither(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G, uint8_t& B) override;
    void NextLine() override;

private:
    const TDiffusionKernel& kernel_;
    // rows_[dy]: red, green, blue accumulators of each pixel (margins included), interleaved.
    std::vector<std::vector<int32_t>> rows_;
};

// Each kind only chooses its kernel.
template <const TDiffusionKernel& Kernel>
class TKernelDitherer : public TErrorDiffusionDitherer {
public:
    TKernelDitherer(int Width, TColorLookup& Lookup) : TErrorDiffusionDitherer(Width, Lookup, Kernel) {}
};
using TFloydSteinbergDitherer = TKernelDitherer<FloydSteinbergKernel>;
using TStuckiDitherer = TKernelDitherer<StuckiKernel>;
using TSierraDitherer = TKernelDitherer<SierraKernel>;
using TJaJuNiDitherer = TKernelDitherer<JaJuNiKernel>;
using TSteveArcheDitherer = TKernelDitherer<SteveArcheKernel>;
using TBurkesDitherer = TKernelDitherer<BurkesKernel>;

// Maps one 24-bit row (blue, green, red) to indices in Target, in the ditherer's order from
// its current column, then turns it to the next row.
void DitherRow(const uint8_t* Source, uint8_t* Target, TDitherEngine& Ditherer);

// Dither modes: 0 nearest colour, 1 Floyd-Steinberg, 2 Stucki, 3 Sierra, 4 Jarvis-Judice-Ninke,
// 5 Stevenson-Arce, 6 Burkes.
enum TDitherMode : int {
    dmNearest, dmFloydSteinberg, dmStucki, dmSierra, dmJaJuNi, dmSteveArche, dmBurkes
};
// The ditherer of a mode over Width pixels; null for a mode outside 0..6.
std::unique_ptr<TDitherEngine> CreateDitherer(TDitherMode Mode, int Width, TColorLookup& Lookup);
