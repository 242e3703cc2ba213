#include "visual/FFTReal.h"

#include <cmath>
#include <stdexcept>
#include <utility>

namespace {

using ext = long double;

int checkedLength(int Length)
{
    // A length that is not a power of two would make the passes run past the arrays.
    if (Length < 1 || (Length & (Length - 1)) != 0)
        throw std::invalid_argument("FFT length must be a power of two");
    return Length;
}

// The two tables are sized with slightly different roundings of log2 N; for every power of
// two both give the exact exponent.
int bitsOf(int Length, double bias)
{
    return static_cast<int>(std::floor(std::log(double(Length)) / std::log(2.0) + bias));
}

}  // namespace

TBitReversedLUT::TBitReversedLUT(int Bits) : FTable(std::size_t(1) << Bits, 0)
{
    const std::uint32_t n = std::uint32_t(1) << Bits;
    std::uint32_t r = 0;
    for (std::uint32_t i = 1; i < n; ++i) {
        std::uint32_t bit = n >> 1;
        r ^= bit;
        while ((r & bit) == 0) {
            bit >>= 1;
            r ^= bit;
        }
        FTable[i] = r;
    }
}

TTrigoLUT::TTrigoLUT(int Bits)
{
    if (Bits <= 3)
        return;
    FTable.resize((std::size_t(1) << (Bits - 1)) - 4);
    const ext pi = 4 * std::atan2(ext(1), ext(1));
    for (int level = 3; level < Bits; ++level) {
        const int count = 1 << (level - 1);
        float* dst = FTable.data() + (count - 4);
        const ext mul = pi / ext(1 << level);
        for (int i = 0; i < count; ++i)
            dst[i] = float(std::cos(i * mul));
    }
}

TFFTReal::TFFTReal(int Length)
    : FBitRevLUT(bitsOf(checkedLength(Length), 0.5)),
      FTrigoLUT(bitsOf(Length, 0.05)),
      FSqrt2_2(float(std::sqrt(ext(2)) * ext(0.5))),
      FLength(Length),
      FNbrBits(bitsOf(Length, 0.5))
{
    if (FNbrBits > 2)
        FBuffer.resize(std::size_t(FLength));
}

void TFFTReal::Transform(float* Dest, const float* Source)
{
    if (FNbrBits <= 2) {
        TransformSmall(Dest, Source);
        return;
    }
    // The two arrays alternate pass by pass; which one starts is chosen so that the last
    // pass writes into Dest.
    float* P = (FNbrBits & 1) ? FBuffer.data() : Dest;
    float* Q = (FNbrBits & 1) ? Dest : FBuffer.data();
    FirstStages(P, Source);
    ThirdStage(Q, P);
    for (int p = 3; p < FNbrBits; ++p) {
        Pass(p, P, Q);
        std::swap(P, Q);
    }
}

void TFFTReal::TransformSmall(float* Dest, const float* Source) const
{
    const float* x = Source;
    switch (FNbrBits) {
    case 0:
        Dest[0] = x[0];
        break;
    case 1:
        Dest[0] = float(ext(x[0]) + x[1]);
        Dest[1] = float(ext(x[0]) - x[1]);
        break;
    default: {
        Dest[1] = float(ext(x[0]) - x[2]);
        Dest[3] = float(ext(x[1]) - x[3]);
        const ext b0 = ext(x[0]) + x[2];
        const ext b2 = ext(x[1]) + x[3];
        Dest[0] = float(b0 + b2);
        Dest[2] = float(b0 - b2);
        break;
    }
    }
}

// Stages 1 and 2 in one go, reading the input in bit-reversed order.
void TFFTReal::FirstStages(float* P, const float* Source) const
{
    const std::uint32_t* lut = FBitRevLUT.GetPtr();
    for (int i = 0; i < FLength; i += 4) {
        const ext a = Source[lut[i]];
        const ext b = Source[lut[i + 1]];
        const ext c = Source[lut[i + 2]];
        const ext d = Source[lut[i + 3]];
        P[i + 1] = float(a - b);
        P[i + 3] = float(c - d);
        const ext s0 = a + b;
        const ext s2 = c + d;
        P[i] = float(s0 + s2);
        P[i + 2] = float(s0 - s2);
    }
}

void TFFTReal::ThirdStage(float* Q, const float* P) const
{
    const ext h = FSqrt2_2;
    for (int i = 0; i < FLength; i += 8) {
        Q[i] = float(ext(P[i]) + P[i + 4]);
        Q[i + 4] = float(ext(P[i]) - P[i + 4]);
        Q[i + 2] = P[i + 2];
        Q[i + 6] = P[i + 6];
        ext v = (ext(P[i + 5]) - P[i + 7]) * h;
        Q[i + 1] = float(P[i + 1] + v);
        Q[i + 3] = float(P[i + 1] - v);
        v = (ext(P[i + 5]) + P[i + 7]) * h;
        Q[i + 5] = float(v + P[i + 3]);
        Q[i + 7] = float(v - P[i + 3]);
    }
}

// One butterfly pass with 2^p coefficients per half block, from Q into P.
void TFFTReal::Pass(int p, float* P, const float* Q) const
{
    const int c = 1 << p;
    const int h = c / 2;
    const float* level = FTrigoLUT.GetPtr(p);
    for (int i = 0; i < FLength; i += 2 * c) {
        const int s1 = i, s2 = i + c, s1i = i + h, s2i = i + h + c;
        const int dr = i, di = i + c;
        P[dr] = float(ext(Q[s1]) + Q[s2]);
        P[di] = float(ext(Q[s1]) - Q[s2]);
        P[dr + h] = Q[s1 + h];
        P[di + h] = Q[s2 + h];
        for (int j = 1; j < h; ++j) {
            const ext co = level[j];
            const ext si = level[h - j];
            ext v = Q[s2 + j] * co - Q[s2i + j] * si;
            P[dr + j] = float(Q[s1 + j] + v);
            P[di - j] = float(Q[s1 + j] - v);
            v = Q[s2 + j] * si + Q[s2i + j] * co;
            P[di + j] = float(v + Q[s1i + j]);
            P[di + c - j] = float(v - Q[s1i + j]);
        }
    }
}

void TFFTReal::Rescale(float* Data) const
{
    const float mul = float(1.0L / FLength);
    for (int i = FLength - 1; i >= 0; --i)
        Data[i] = float(ext(Data[i]) * mul);
}

TFFTState& FFTState()
{
    static TFFTState state;
    return state;
}

void SetupFFT(bool Create)
{
    TFFTState& st = FFTState();
    if (!Create) {
        st.SampleBuffer = std::vector<float>();
        st.SpectrumBuffer = std::vector<float>();
        st.FFT.reset();
        return;
    }
    constexpr int fftLength = 128;
    constexpr int bufferLength = fftLength << 8;
    static_assert(fftLength <= bufferLength);
    st.FFTLength = fftLength;
    st.BufferLength = bufferLength;
    st.SampleBuffer.assign(bufferLength, 0.0f);
    st.SpectrumBuffer.assign(bufferLength, 0.0f);
    st.FFT = std::make_unique<TFFTReal>(fftLength);
    st.BandHeights.fill(0);
    st.BandPeaks.fill(0);
}
