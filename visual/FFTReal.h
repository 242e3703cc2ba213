// Radix-2 fast Fourier transform specialised for real input, used by the spectrum modes of
// the visualiser to turn a block of sample values into spectrum values once per painted frame.
//
// A `TFFTReal` owns its bit-reversal table, its cosine table and one work buffer, all made by
// the constructor, so `Transform` allocates nothing. Values are stored as 32-bit floats; sums
// and products are formed in long double and rounded back to float when stored.
//
// Output of `Transform` for N inputs x[n], with X[k] = sum x[n] e^(-2 pi i k n / N):
//   Dest[k]         =  Re X[k]   for k = 0 .. N/2
//   Dest[N/2 + k]   = -Im X[k]   for k = 1 .. N/2 - 1
// No scaling is applied; `Rescale` divides by N.
//
// The unit also holds the process-wide spectrum state of the visualiser (`SetupFFT`): one
// transform of length 128, its sample and spectrum buffers and the per-band bar state that the
// spectrum modes keep between frames.
//
// Not thread-safe (the work buffer and the spectrum state are shared between calls); the
// visualiser runs all of it on the user-interface thread.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

// Entry i holds i with its Bits low bits reversed.
class TBitReversedLUT {
public:
    explicit TBitReversedLUT(int Bits);
    const std::uint32_t* GetPtr() const { return FTable.data(); }
    int Size() const { return static_cast<int>(FTable.size()); }

private:
    std::vector<std::uint32_t> FTable;
};

// Cosines for the passes 3 .. Bits-1: level L holds cos(i pi / 2^L) for i = 0 .. 2^(L-1) - 1
// and starts at element 2^(L-1) - 4. Empty for Bits <= 3.
class TTrigoLUT {
public:
    explicit TTrigoLUT(int Bits);
    // Start of level Level (3 <= Level < Bits).
    const float* GetPtr(int Level) const { return FTable.data() + ((1 << (Level - 1)) - 4); }
    int Size() const { return static_cast<int>(FTable.size()); }

private:
    std::vector<float> FTable;
};

class TFFTReal {
public:
    // Length must be a power of two, at least 1; anything else throws std::invalid_argument.
    explicit TFFTReal(int Length);

    // Forward transform of the Length floats at Source into the Length floats at Dest
    // (distinct arrays; Source is only read).
    void Transform(float* Dest, const float* Source);

    // Multiplies each of the Length floats at Data by 1/Length.
    void Rescale(float* Data) const;

    int Length() const { return FLength; }
    int Bits() const { return FNbrBits; }
    bool HasWorkBuffer() const { return !FBuffer.empty(); }
    const TBitReversedLUT& BitReversedLUT() const { return FBitRevLUT; }
    const TTrigoLUT& TrigoLUT() const { return FTrigoLUT; }

private:
    void TransformSmall(float* Dest, const float* Source) const;
    void FirstStages(float* P, const float* Source) const;
    void ThirdStage(float* Q, const float* P) const;
    void Pass(int p, float* P, const float* Q) const;

    TBitReversedLUT FBitRevLUT;
    TTrigoLUT FTrigoLUT;
    float FSqrt2_2;
    int FLength;
    int FNbrBits;
    std::vector<float> FBuffer;
};

// What the spectrum modes share between frames and tracks. The buffers and the transform exist
// between SetupFFT(true) and SetupFFT(false); the band arrays live as long as the process.
struct TFFTState {
    static constexpr int BandCount = 256;
    int FFTLength = 0;
    int BufferLength = 0;
    std::vector<float> SampleBuffer;    // BufferLength floats; the transform reads the first FFTLength
    std::vector<float> SpectrumBuffer;  // BufferLength floats; the transform writes the first FFTLength
    std::unique_ptr<TFFTReal> FFT;
    std::array<std::int32_t, BandCount> BandHeights{};
    std::array<std::int32_t, BandCount> BandPeaks{};
    std::array<std::int32_t, BandCount> PeakHoldCounters{};  // never reset by SetupFFT
};

TFFTState& FFTState();

// With true: makes the two buffers and the transform of length 128 and zeroes the band heights
// and peaks. With false: frees the buffers and the transform.
void SetupFFT(bool Create);
