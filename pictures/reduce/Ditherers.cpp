#include "pictures/reduce/Ditherers.h"

#include <algorithm>

TDitherEngine::TDitherEngine(int Width, TColorLookup& Lookup) : lookup_(Lookup), width_(std::max(0, Width)) {}

int TDitherEngine::Dither(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G, uint8_t& B)
{
    column_ += direction_;
    return lookup_.Lookup(Red, Green, Blue, R, G, B);
}

void TDitherEngine::NextLine()
{
    direction_ = -direction_;
    column_ = direction_ > 0 ? 0 : width_ - 1;
}

namespace {

// A kernel passes on the whole error, and reaches no further than the margins and its rows.
constexpr bool wellFormed(const TDiffusionKernel& k)
{
    int sum = 0;
    for (int i = 0; i < k.Count; ++i) {
        const TDiffusionWeight& w = k.Weights[size_t(i)];
        if (w.dx < -TErrorDiffusionDitherer::Margin || w.dx > TErrorDiffusionDitherer::Margin || w.dy < 0 ||
            w.dy >= k.Rows || (w.dy == 0 && w.dx <= 0))
            return false;
        sum += w.weight;
    }
    return k.Count <= TDiffusionKernel::MaxWeights && sum == k.Divisor;
}
static_assert(wellFormed(FloydSteinbergKernel) && wellFormed(StuckiKernel) && wellFormed(SierraKernel) &&
              wellFormed(JaJuNiKernel) && wellFormed(SteveArcheKernel) && wellFormed(BurkesKernel));

}  // namespace

TErrorDiffusionDitherer::TErrorDiffusionDitherer(int Width, TColorLookup& Lookup, const TDiffusionKernel& Kernel)
    : TDitherEngine(Width, Lookup),
      kernel_(Kernel),
      rows_(size_t(Kernel.Rows), std::vector<int32_t>(size_t(width_ + 2 * Margin) * 3, 0))
{
}

int TErrorDiffusionDitherer::Dither(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G, uint8_t& B)
{
    if (column_ < 0 || column_ >= width_)
        return TDitherEngine::Dither(Red, Green, Blue, R, G, B);
    const int divisor = kernel_.Divisor;
    const int32_t* pending = rows_[0].data() + size_t(column_ + Margin) * 3;
    // Integer division truncates toward zero, after adding half the divisor.
    auto corrected = [&](int value, int32_t error) {
        return uint8_t(std::clamp(value + (error + divisor / 2) / divisor, 0, 255));
    };
    const uint8_t r = corrected(Red, pending[0]);
    const uint8_t g = corrected(Green, pending[1]);
    const uint8_t b = corrected(Blue, pending[2]);
    const int index = lookup_.Lookup(r, g, b, R, G, B);
    const int32_t er = r - R, eg = g - G, eb = b - B;
    for (int i = 0; i < kernel_.Count; ++i) {
        const TDiffusionWeight& w = kernel_.Weights[size_t(i)];
        int32_t* cell = rows_[size_t(w.dy)].data() + size_t(column_ + w.dx * direction_ + Margin) * 3;
        cell[0] += er * w.weight;
        cell[1] += eg * w.weight;
        cell[2] += eb * w.weight;
    }
    column_ += direction_;
    return index;
}

void TErrorDiffusionDitherer::NextLine()
{
    std::rotate(rows_.begin(), rows_.begin() + 1, rows_.end());
    std::fill(rows_.back().begin(), rows_.back().end(), 0);
    TDitherEngine::NextLine();
}

void DitherRow(const uint8_t* Source, uint8_t* Target, TDitherEngine& Ditherer)
{
    uint8_t r, g, b;
    for (int x = Ditherer.Column(); x >= 0 && x < Ditherer.Width(); x = Ditherer.Column()) {
        const uint8_t* p = Source + size_t(x) * 3;
        Target[x] = uint8_t(Ditherer.Dither(p[2], p[1], p[0], r, g, b));
    }
    Ditherer.NextLine();
}

std::unique_ptr<TDitherEngine> CreateDitherer(TDitherMode Mode, int Width, TColorLookup& Lookup)
{
    switch (Mode) {
    case dmNearest: return std::make_unique<TDitherEngine>(Width, Lookup);
    case dmFloydSteinberg: return std::make_unique<TFloydSteinbergDitherer>(Width, Lookup);
    case dmStucki: return std::make_unique<TStuckiDitherer>(Width, Lookup);
    case dmSierra: return std::make_unique<TSierraDitherer>(Width, Lookup);
    case dmJaJuNi: return std::make_unique<TJaJuNiDitherer>(Width, Lookup);
    case dmSteveArche: return std::make_unique<TSteveArcheDitherer>(Width, Lookup);
    case dmBurkes: return std::make_unique<TBurkesDitherer>(Width, Lookup);
    }
    return nullptr;
}
