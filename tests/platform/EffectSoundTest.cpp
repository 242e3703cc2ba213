// What each effect does to sound, measured on impulses and tones: where the echoes fall and
// how loud, how the chorus and flanger delays sweep, how long the reverberation lasts, and
// what the compressor, gargle and equaliser do to a level.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "EffectTestSupport.h"

using namespace snd;
using namespace fxtest;

namespace {

std::vector<float> sine(std::size_t frames, int channels, double hz, float amplitude) {
    std::vector<float> v(frames * channels);
    for (std::size_t i = 0; i < v.size(); ++i)
        v[i] = amplitude * float(std::sin(2 * M_PI * hz * double(i / channels) / kRate));
    return v;
}

float peak(const std::vector<float>& v, std::size_t from, std::size_t to) {
    float p = 0;
    for (std::size_t i = from; i < to; ++i) p = std::max(p, std::abs(v[i]));
    return p;
}

double rms(const std::vector<float>& v, std::size_t from, std::size_t to) {
    double e = 0;
    for (std::size_t i = from; i < to; ++i) e += double(v[i]) * v[i];
    return std::sqrt(e / double(to - from));
}

// Everything outside the listed (sample, value) pairs is silent.
void expectOnly(const std::vector<float>& signal, const std::vector<std::pair<std::size_t, float>>& expected) {
    std::vector<float> want(signal.size(), 0.0f);
    for (auto [at, value] : expected) want[at] = value;
    for (std::size_t i = 0; i < signal.size(); ++i) ASSERT_NEAR(signal[i], want[i], 1e-6) << "sample " << i;
}

// Arrival times, in samples after each input impulse, of impulses sent every `spacing`
// frames through a fully wet modulated delay without feedback.
template <class Effect>
std::vector<std::pair<double, double>> sweptDelays(typename Effect::Parameters p, int c, std::size_t frames, std::size_t spacing) {
    p.fWetDryMix = 100;
    p.fFeedback = 0;
    auto effect = make<Effect>(2, p);
    std::vector<float> v(frames * 2, 0.0f);
    for (std::size_t at = 0; at < frames; at += spacing) v[at * 2] = v[at * 2 + 1] = 1.0f;
    effect->process(v.data(), frames);
    const auto out = channel(v, 2, c);
    std::vector<std::pair<double, double>> delays;  // (time of impulse, delay in samples)
    for (std::size_t at = 0; at + spacing <= frames; at += spacing)
        delays.emplace_back(double(at) / kRate, centroid(out, at, at + spacing) - double(at));
    return delays;
}

// The delay an impulse sent at t0 meets: the output at t reads the input at t - delay(t),
// so the impulse comes out where t = t0 + delay(t).
template <class Model>
double arrivalDelay(double t0, Model delayAt) {
    double d = delayAt(t0);
    for (int i = 0; i < 8; ++i) d = delayAt(t0 + d / kRate);
    return d;
}

}  // namespace

TEST(EchoEffect, DefaultsRepeatEveryHalfSecondAtHalfTheLevel) {
    auto echo = make<EchoEffect>(2);
    auto v = impulse(4 * kRate, 2);
    echo->process(v.data(), 4 * kRate);
    for (int c = 0; c < 2; ++c) {
        SCOPED_TRACE(c);
        // Dry half, then the wet half of each repeat, each repeat half the one before.
        expectOnly(channel(v, 2, c), {{0, 0.5f}, {22050, 0.5f}, {44100, 0.25f}, {66150, 0.125f},
                                       {88200, 0.0625f}, {110250, 0.03125f}, {132300, 0.015625f},
                                       {154350, 0.0078125f}});
    }
}

TEST(EchoEffect, PanDelayAlternatesSidesWithTheirOwnDelays) {
    DSFXEcho p;
    p.fWetDryMix = 100;
    p.fLeftDelay = 250;
    p.fRightDelay = 400;
    p.lPanDelay = 1;
    auto echo = make<EchoEffect>(2, p);
    std::vector<float> v(2 * kRate * 2, 0.0f);
    v[0] = 1.0f;  // left only
    echo->process(v.data(), 2 * kRate);
    const std::size_t left = 11025, right = 17640;
    expectOnly(channel(v, 2, 0), {{left, 1.0f}, {2 * left + right, 0.25f}, {3 * left + 2 * right, 0.0625f}});
    expectOnly(channel(v, 2, 1), {{left + right, 0.5f}, {2 * left + 2 * right, 0.125f},
                                  {3 * left + 3 * right, 0.03125f}});
}

TEST(EchoEffect, DelayFollowsTheSampleRateAndMonoUsesTheLeftDelay) {
    DSFXEcho p;
    p.fLeftDelay = 100;
    p.fRightDelay = 900;
    p.lPanDelay = 1;  // no partner in mono: the repeat stays
    EchoEffect echo;
    ASSERT_EQ(echo.SetAllParameters(&p), kFxOk);
    echo.prepare(48000, 1);
    auto v = impulse(20000, 1);
    echo.process(v.data(), v.size());
    expectOnly(v, {{0, 0.5f}, {4800, 0.5f}, {9600, 0.25f}, {14400, 0.125f}, {19200, 0.0625f}});
}

TEST(FlangerEffect, DelaySweepsFromZeroToTwiceTheBaseOnceEveryFourSeconds) {
    const auto delays = sweptDelays<FlangerEffect>({}, 0, 8 * kRate, 2205);
    const double base = 0.002 * kRate;
    double longest = 0, shortest = 1e9;
    for (auto [t, d] : delays) {
        const double model = arrivalDelay(t, [&](double at) { return std::max(1.0, base * (1 + std::sin(2 * M_PI * 0.25 * at))); });
        EXPECT_NEAR(d, model, 1.0) << "at " << t << " s";
        longest = std::max(longest, d);
        shortest = std::min(shortest, d);
    }
    EXPECT_GT(longest, 2 * base - 1.5);
    EXPECT_LT(shortest, 1.5);
}

TEST(FlangerEffect, CombNotchMovesAtTheOscillatorRate) {
    // Dry plus a copy delayed by 2 ms cancels 250 Hz; at 0 or 4 ms the copy adds to it. The
    // default feedback must not fill the notch in.
    auto flanger = make<FlangerEffect>(1);
    auto v = sine(5 * kRate, 1, 250, 0.5f);
    flanger->process(v.data(), v.size());
    const auto window = [&](double t) { return rms(v, std::size_t(t * kRate) - 441, std::size_t(t * kRate) + 441); };
    const double full = 0.5 / std::sqrt(2.0);
    // Between the notches the feedback leaves 1 / (1 + 0.5) of the level.
    EXPECT_NEAR(window(1.0), full / 1.5, 0.05 * full);  // delay 4 ms
    EXPECT_LT(window(2.0), 0.05 * full);  // delay 2 ms: the notch sits on the tone
    EXPECT_NEAR(window(3.0), full / 1.5, 0.05 * full);  // delay near zero
    EXPECT_LT(window(4.0), 0.05 * full);  // a period later the notch is back
}

TEST(ChorusEffect, DelaySwaysAroundSixteenMillisecondsWithTheRightAQuarterTurnAhead) {
    const double base = 0.016 * kRate;
    for (int c = 0; c < 2; ++c) {
        const double shift = c == 1 ? M_PI / 2 : 0.0;
        double longest = 0, shortest = 1e9;
        for (auto [t, d] : sweptDelays<ChorusEffect>({}, c, 2 * kRate, 1470)) {
            const double model = arrivalDelay(t, [&](double at) { return base * (1 + 0.1 * std::sin(2 * M_PI * 1.1 * at + shift)); });
            EXPECT_NEAR(d, model, 1.0) << "channel " << c << " at " << t << " s";
            longest = std::max(longest, d);
            shortest = std::min(shortest, d);
        }
        EXPECT_NEAR(longest, 1.1 * base, 3.0);
        EXPECT_NEAR(shortest, 0.9 * base, 3.0);
    }
}

TEST(ChorusEffect, TriangleWaveSweepsLinearly) {
    DSFXChorus p;
    p.lWaveform = kLfoWaveTriangle;
    p.fFrequency = 1;
    p.fDepth = 50;
    p.fDelay = 10;
    const double base = 0.010 * kRate;
    for (auto [t, d] : sweptDelays<ChorusEffect>(p, 0, kRate, 2205)) {
        const double model = arrivalDelay(t, [&](double at) {
            const double turn = std::fmod(at + 0.25, 1.0);
            return base * (1 + 0.5 * (1 - 4 * std::abs(turn - 0.5)));
        });
        EXPECT_NEAR(d, model, 1.0) << t;
    }
}

TEST(WavesReverbEffect, DefaultsDecaySixtyDecibelsInAboutOneSecond) {
    auto reverb = make<WavesReverbEffect>(2);
    auto v = impulse(6 * kRate, 2);
    reverb->process(v.data(), 6 * kRate);
    v[0] -= 1.0f;  // leave the reverberation alone
    v[1] -= 1.0f;
    const auto left = channel(v, 2, 0), right = channel(v, 2, 1);
    EXPECT_NEAR(reverbTime(left, kRate), 1.0, 0.15);
    EXPECT_NEAR(reverbTime(right, kRate), 1.0, 0.15);
    // Both sides reverberate, but not alike: the sound is wide.
    double l = 0, r = 0, lr = 0;
    for (std::size_t i = 0; i < left.size(); ++i) l += left[i] * left[i], r += right[i] * right[i], lr += left[i] * right[i];
    EXPECT_GT(l, 0.05);
    EXPECT_NEAR(l / r, 1.0, 0.3);
    EXPECT_LT(std::abs(lr) / std::sqrt(l * r), 0.2);
}

TEST(WavesReverbEffect, ReverbTimeParameterIsTheDecayTimeAtAnySampleRate) {
    for (int rate : {8000, kRate, 96000}) {
        for (float ms : {300.0f, 1500.0f, 3000.0f}) {
            DSFXWavesReverb p;
            p.fReverbTime = ms;
            p.fHighFreqRTRatio = 0.999f;  // even decay over the spectrum
            WavesReverbEffect reverb;
            ASSERT_EQ(reverb.SetAllParameters(&p), kFxOk);
            reverb.prepare(rate, 1);
            auto v = impulse(std::size_t(3 * ms / 1000 * rate), 1);
            reverb.process(v.data(), v.size());
            v[0] -= 1.0f;
            EXPECT_NEAR(reverbTime(v, rate), ms / 1000.0, 0.05 * ms / 1000.0) << ms << " ms at " << rate << " Hz";
        }
    }
}

TEST(WavesReverbEffect, LowHighFrequencyRatioDarkensTheTail) {
    // Share of the tail's energy above about 5 kHz (by first difference) after 300 ms.
    auto trebleShare = [](float ratio) {
        DSFXWavesReverb p;
        p.fHighFreqRTRatio = ratio;
        auto reverb = make<WavesReverbEffect>(1, p);
        auto v = impulse(kRate, 1);
        reverb->process(v.data(), v.size());
        double all = 0, treble = 0;
        for (std::size_t i = std::size_t(0.3 * kRate); i < v.size(); ++i) {
            all += double(v[i]) * v[i];
            treble += double(v[i] - v[i - 1]) * (v[i] - v[i - 1]);
        }
        return treble / all;
    };
    EXPECT_LT(trebleShare(0.001f), 0.2 * trebleShare(0.999f));
}

TEST(WavesReverbEffect, GainsScaleTheDryAndTheReverberation) {
    auto run = [](float inGain, float mix) {
        auto reverb = make<WavesReverbEffect>(1, DSFXWavesReverb{inGain, mix, 1000, 0.001f});
        auto v = impulse(kRate, 1);
        reverb->process(v.data(), v.size());
        return v;
    };
    const auto normal = run(0, 0), quiet = run(-20, 0), dry = run(0, -96);
    EXPECT_FLOAT_EQ(quiet[0], 0.1f);
    for (std::size_t i = 1; i < normal.size(); i += 97) EXPECT_NEAR(quiet[i], 0.1f * normal[i], 1e-6);
    EXPECT_NEAR(peak(dry, 1, dry.size()) / peak(normal, 1, normal.size()), std::pow(10.0, -96.0 / 20), 1e-6);
}

TEST(CompressorEffect, LoudToneIsReducedByTheRatioAboveTheThreshold) {
    auto comp = make<CompressorEffect>(2);
    auto v = sine(kRate, 2, 1000, 1.0f);
    comp->process(v.data(), kRate);
    // A 0 dB peak is 20 dB over the threshold, which comes out as 20 / 3 dB over it; the
    // detector sags a little between the peaks of the tone.
    const double outDb = 20 * std::log10(peak(v, kRate, 2 * kRate));
    EXPECT_NEAR(outDb, -20.0 + 20.0 / 3.0, 1.0);
}

TEST(CompressorEffect, QuietSignalPassesDelayedAndGetsTheOutputGain) {
    DSFXCompressor p;
    p.fGain = 6;
    auto comp = make<CompressorEffect>(1, p);
    const auto in = noise(kRate, 0.05f);  // far below -20 dB
    auto out = in;
    comp->process(out.data(), out.size());
    const std::size_t predelay = 176;  // 4 ms
    for (std::size_t i = 0; i < predelay; ++i) ASSERT_EQ(out[i], 0.0f);
    for (std::size_t i = predelay; i < in.size(); i += 13)
        ASSERT_NEAR(out[i], in[i - predelay] * std::pow(10.0f, 6.0f / 20), 1e-5) << i;
}

TEST(GargleEffect, ModulatesTheLevelAtTheRate) {
    std::vector<float> v(2 * 4410, 0.5f);  // stereo DC, two periods at 20 Hz
    auto gargle = make<GargleEffect>(2);
    gargle->process(v.data(), 4410);
    for (std::size_t f = 0; f < 4410; f += 105) {
        const double turn = std::fmod(double(f) / 2205, 1.0);
        const double level = turn < 0.5 ? 2 * turn : 2 - 2 * turn;
        EXPECT_NEAR(v[2 * f], 0.5 * level, 1e-5) << f;
        EXPECT_EQ(v[2 * f], v[2 * f + 1]);
    }
    auto square = make<GargleEffect>(1, DSFXGargle{100, kGargleWaveSquare});
    std::vector<float> s(882, 0.5f);
    square->process(s.data(), s.size());
    EXPECT_EQ(s[10], 0.5f);
    EXPECT_EQ(s[300], 0.0f);
    EXPECT_EQ(s[450], 0.5f);
}

TEST(ParamEqEffect, RaisesTheBandAroundTheCentreOnly) {
    auto level = [](const DSFXParamEq& p, double hz) {
        auto eq = make<ParamEqEffect>(1, p);
        auto v = sine(kRate / 2, 1, hz, 0.05f);
        eq->process(v.data(), v.size());
        return 20 * std::log10(peak(v, v.size() / 2, v.size()) / 0.05);
    };
    const DSFXParamEq boost{1000, 12, 12};
    EXPECT_NEAR(level(boost, 1000), 12.0, 0.2);
    EXPECT_NEAR(level(boost, 100), 0.0, 0.5);
    EXPECT_NEAR(level({1000, 12, -15}, 1000), -15.0, 0.2);
    EXPECT_NEAR(level({}, 8000), 0.0, 0.01);  // gain 0 leaves the sound alone
}
