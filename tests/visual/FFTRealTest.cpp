// The real-input FFT against a plain double-precision DFT, and its two lookup tables.
#include "visual/FFTReal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <stdexcept>
#include <vector>

namespace {

// Expected output in the transform's layout: Re X[0..N/2], then -Im X[k] for k = 1..N/2-1.
std::vector<double> naiveLayout(const std::vector<float>& x)
{
    const std::size_t n = x.size();
    std::vector<double> out(n);
    for (std::size_t k = 0; k <= n / 2 && k < n; ++k) {
        double re = 0, im = 0;
        for (std::size_t t = 0; t < n; ++t) {
            const double ang = -2 * std::numbers::pi * double(k * t % n) / double(n);
            re += x[t] * std::cos(ang);
            im += x[t] * std::sin(ang);
        }
        out[k] = re;
        if (k >= 1 && k < n / 2)
            out[n / 2 + k] = -im;
    }
    return out;
}

void expectMatchesDft(const std::vector<float>& x)
{
    const int n = int(x.size());
    TFFTReal fft(n);
    std::vector<float> src = x, dest(n, -12345.0f);
    fft.Transform(dest.data(), src.data());
    EXPECT_EQ(src, x) << "source must only be read";
    const std::vector<double> want = naiveLayout(x);
    double mag = 1;
    for (float v : x)
        mag += std::fabs(v);
    const double tol = 4e-7 * mag * std::log2(double(n) + 1);
    for (int k = 0; k < n; ++k)
        EXPECT_NEAR(dest[k], want[k], tol) << "N=" << n << " k=" << k;
}

}  // namespace

TEST(FFTReal, MatchesNaiveDftForEveryLengthAndSeveralInputs)
{
    std::mt19937 rng(17);
    std::uniform_real_distribution<float> noise(-300.0f, 300.0f);
    for (int n = 1; n <= 1024; n *= 2) {
        std::vector<float> random(n), impulse(n, 0.0f), tone(n), ramp(n);
        for (int i = 0; i < n; ++i) {
            random[i] = noise(rng);
            tone[i] = float(100 * std::cos(2 * std::numbers::pi * 3 * i / n) + 40);
            ramp[i] = float(255 - (i % 200));
        }
        impulse[n / 3] = 1.0f;
        expectMatchesDft(random);
        expectMatchesDft(impulse);
        expectMatchesDft(tone);
        expectMatchesDft(ramp);
    }
}

TEST(FFTReal, ConstantInputOfLength128HasOnlyADcTerm)
{
    TFFTReal fft(128);
    std::vector<float> src(128, 3.5f), dest(128);
    fft.Transform(dest.data(), src.data());
    EXPECT_FLOAT_EQ(dest[0], 128 * 3.5f);
    for (int k = 1; k < 128; ++k)
        EXPECT_NEAR(dest[k], 0.0f, 1e-4f) << k;
}

TEST(FFTReal, RescaledImpulseGivesOneOverNInTheRealHalf)
{
    for (int n : {1, 2, 4, 8, 128}) {
        TFFTReal fft(n);
        std::vector<float> src(n, 0.0f), dest(n);
        src[0] = 1.0f;
        fft.Transform(dest.data(), src.data());
        fft.Rescale(dest.data());
        for (int k = 0; k < n; ++k)
            EXPECT_FLOAT_EQ(dest[k], k <= n / 2 ? 1.0f / float(n) : 0.0f) << "N=" << n << " k=" << k;
    }
}

TEST(FFTReal, SmallLengthsNeedNoWorkBufferAndOthersHaveOne)
{
    for (int n : {1, 2, 4})
        EXPECT_FALSE(TFFTReal(n).HasWorkBuffer()) << n;
    for (int n : {8, 128})
        EXPECT_TRUE(TFFTReal(n).HasWorkBuffer()) << n;
    EXPECT_EQ(TFFTReal(128).Bits(), 7);
    EXPECT_EQ(TFFTReal(1).Bits(), 0);
}

TEST(FFTReal, LengthThatIsNotAPowerOfTwoIsRefused)
{
    for (int n : {0, -4, 3, 100, 129})
        EXPECT_THROW(TFFTReal{n}, std::invalid_argument) << n;
}

TEST(FFTReal, BitReversalTableReversesTheLowBits)
{
    const TBitReversedLUT three(3);
    const std::vector<std::uint32_t> want3{0, 4, 2, 6, 1, 5, 3, 7};
    EXPECT_EQ(std::vector<std::uint32_t>(three.GetPtr(), three.GetPtr() + 8), want3);

    const TBitReversedLUT seven(7);
    ASSERT_EQ(seven.Size(), 128);
    for (std::uint32_t i = 0; i < 128; ++i) {
        std::uint32_t r = 0;
        for (int b = 0; b < 7; ++b)
            r |= ((i >> b) & 1u) << (6 - b);
        EXPECT_EQ(seven.GetPtr()[i], r) << i;
    }
    EXPECT_EQ(TBitReversedLUT(0).Size(), 1);
}

TEST(FFTReal, CosineTableHoldsEachLevelAtItsOffset)
{
    EXPECT_EQ(TTrigoLUT(3).Size(), 0);
    const TTrigoLUT trig(7);
    ASSERT_EQ(trig.Size(), 60);  // 2^6 - 4: levels 3, 4, 5, 6
    for (int level = 3; level < 7; ++level) {
        const float* p = trig.GetPtr(level);
        EXPECT_EQ(p - trig.GetPtr(3), (1 << (level - 1)) - 4);
        for (int i = 0; i < (1 << (level - 1)); ++i)
            EXPECT_FLOAT_EQ(p[i], float(std::cos(i * std::numbers::pi / (1 << level))))
                << "level " << level << " i " << i;
    }
}

TEST(FFTReal, SetupFFTMakesAndFreesTheSpectrumState)
{
    TFFTState& st = FFTState();
    st.BandHeights[3] = 9;
    st.BandPeaks[255] = -4;
    st.PeakHoldCounters[7] = 5;
    SetupFFT(true);
    EXPECT_EQ(st.FFTLength, 128);
    EXPECT_EQ(st.BufferLength, 32768);
    EXPECT_EQ(st.SampleBuffer.size(), 32768u);
    EXPECT_EQ(st.SpectrumBuffer.size(), 32768u);
    ASSERT_NE(st.FFT, nullptr);
    EXPECT_EQ(st.FFT->Length(), 128);
    EXPECT_EQ(st.BandHeights[3], 0);
    EXPECT_EQ(st.BandPeaks[255], 0);
    EXPECT_EQ(st.PeakHoldCounters[7], 5);

    SetupFFT(false);
    EXPECT_EQ(st.SampleBuffer.capacity(), 0u);
    EXPECT_EQ(st.SpectrumBuffer.capacity(), 0u);
    EXPECT_EQ(st.FFT, nullptr);
    st.PeakHoldCounters[7] = 0;
}
