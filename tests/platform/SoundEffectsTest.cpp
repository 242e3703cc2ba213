// What every standard effect promises whatever its kind: documented defaults, validated
// parameters, the same output however the frames are split into calls, and finite output
// inside [-1, 1] on any input.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <random>
#include <thread>

#include "EffectTestSupport.h"

#if defined(__x86_64__)
#include <xmmintrin.h>
#endif

using namespace snd;
using namespace fxtest;

namespace {

constexpr EffectKind kAllKinds[] = {EffectKind::Chorus,  EffectKind::Compressor,
                                    EffectKind::Echo,    EffectKind::Flanger,
                                    EffectKind::Gargle,  EffectKind::ParamEq,
                                    EffectKind::WavesReverb};

// Music-like test signal: two tones and some noise, peaking just under full scale.
std::vector<float> programme(std::size_t frames, int channels) {
    auto v = noise(frames * channels, 0.2f, 7);
    for (std::size_t i = 0; i < v.size(); ++i) {
        const double t = double(i / channels) / kRate;
        v[i] += 0.4f * float(std::sin(2 * M_PI * 220 * t)) + 0.3f * float(std::sin(2 * M_PI * 3100 * t));
    }
    return v;
}

template <class Effect>
void expectRefused(const std::function<void(typename Effect::Parameters&)>& spoil) {
    Effect effect;
    typename Effect::Parameters before{}, bad{}, after{};
    spoil(bad);
    EXPECT_EQ(effect.SetAllParameters(&bad), kFxInvalidParam);
    ASSERT_EQ(effect.GetAllParameters(&after), kFxOk);
    EXPECT_EQ(std::memcmp(&before, &after, sizeof after), 0) << "a refused record must change nothing";
}

template <class Effect>
void expectAccepted(const std::function<void(typename Effect::Parameters&)>& set) {
    Effect effect;
    typename Effect::Parameters good{}, after{};
    set(good);
    EXPECT_EQ(effect.SetAllParameters(&good), kFxOk);
    ASSERT_EQ(effect.GetAllParameters(&after), kFxOk);
    EXPECT_EQ(std::memcmp(&good, &after, sizeof after), 0);
}

}  // namespace

TEST(SoundEffects, FactoryMakesEachKindWithItsDocumentedDefaults) {
    for (EffectKind kind : kAllKinds) {
        auto effect = createSoundEffect(kind);
        ASSERT_NE(effect, nullptr);
        EXPECT_EQ(effect->kind(), kind);
    }
    DSFXEcho echo;
    ASSERT_EQ(dynamic_cast<EchoEffect&>(*createSoundEffect(EffectKind::Echo)).GetAllParameters(&echo), kFxOk);
    EXPECT_EQ(echo.fWetDryMix, 50);
    EXPECT_EQ(echo.fFeedback, 50);
    EXPECT_EQ(echo.fLeftDelay, 500);
    EXPECT_EQ(echo.fRightDelay, 500);
    EXPECT_EQ(echo.lPanDelay, 0);

    DSFXChorus chorus;
    ASSERT_EQ(dynamic_cast<ChorusEffect&>(*createSoundEffect(EffectKind::Chorus)).GetAllParameters(&chorus), kFxOk);
    EXPECT_EQ(chorus.fWetDryMix, 50);
    EXPECT_EQ(chorus.fDepth, 10);
    EXPECT_EQ(chorus.fFeedback, 25);
    EXPECT_FLOAT_EQ(chorus.fFrequency, 1.1f);
    EXPECT_EQ(chorus.lWaveform, kLfoWaveSine);
    EXPECT_EQ(chorus.fDelay, 16);
    EXPECT_EQ(chorus.lPhase, kLfoPhase90);

    DSFXFlanger flanger;
    ASSERT_EQ(dynamic_cast<FlangerEffect&>(*createSoundEffect(EffectKind::Flanger)).GetAllParameters(&flanger), kFxOk);
    EXPECT_EQ(flanger.fWetDryMix, 50);
    EXPECT_EQ(flanger.fDepth, 100);
    EXPECT_EQ(flanger.fFeedback, -50);
    EXPECT_FLOAT_EQ(flanger.fFrequency, 0.25f);
    EXPECT_EQ(flanger.lWaveform, kLfoWaveSine);
    EXPECT_EQ(flanger.fDelay, 2);
    EXPECT_EQ(flanger.lPhase, kLfoPhaseZero);

    DSFXWavesReverb reverb;
    ASSERT_EQ(dynamic_cast<WavesReverbEffect&>(*createSoundEffect(EffectKind::WavesReverb)).GetAllParameters(&reverb), kFxOk);
    EXPECT_EQ(reverb.fInGain, 0);
    EXPECT_EQ(reverb.fReverbMix, 0);
    EXPECT_EQ(reverb.fReverbTime, 1000);
    EXPECT_FLOAT_EQ(reverb.fHighFreqRTRatio, 0.001f);

    DSFXCompressor comp;
    ASSERT_EQ(dynamic_cast<CompressorEffect&>(*createSoundEffect(EffectKind::Compressor)).GetAllParameters(&comp), kFxOk);
    EXPECT_EQ(comp.fGain, 0);
    EXPECT_EQ(comp.fAttack, 10);
    EXPECT_EQ(comp.fRelease, 200);
    EXPECT_EQ(comp.fThreshold, -20);
    EXPECT_EQ(comp.fRatio, 3);
    EXPECT_EQ(comp.fPredelay, 4);

    DSFXGargle gargle;
    ASSERT_EQ(dynamic_cast<GargleEffect&>(*createSoundEffect(EffectKind::Gargle)).GetAllParameters(&gargle), kFxOk);
    EXPECT_EQ(gargle.dwRateHz, 20u);
    EXPECT_EQ(gargle.dwWaveShape, kGargleWaveTriangle);

    DSFXParamEq eq;
    ASSERT_EQ(dynamic_cast<ParamEqEffect&>(*createSoundEffect(EffectKind::ParamEq)).GetAllParameters(&eq), kFxOk);
    EXPECT_EQ(eq.fCenter, 8000);
    EXPECT_EQ(eq.fBandwidth, 12);
    EXPECT_EQ(eq.fGain, 0);
}

TEST(SoundEffects, ParameterRangesAreEnforcedAtTheirEdges) {
    const float nan = std::nanf("");
    // Edges are inside.
    expectAccepted<EchoEffect>([](DSFXEcho& p) { p.fLeftDelay = 1; p.fRightDelay = 2000; p.fFeedback = 100; p.lPanDelay = 1; });
    expectAccepted<ChorusEffect>([](DSFXChorus& p) { p.fFeedback = -99; p.fDelay = 20; p.fFrequency = 10; p.lPhase = kLfoPhase180; });
    expectAccepted<FlangerEffect>([](DSFXFlanger& p) { p.fFeedback = 99; p.fDelay = 0; p.lWaveform = kLfoWaveTriangle; p.lPhase = kLfoPhaseNeg180; });
    expectAccepted<CompressorEffect>([](DSFXCompressor& p) { p.fAttack = 0.01f; p.fRelease = 3000; p.fRatio = 100; p.fGain = -60; });
    expectAccepted<GargleEffect>([](DSFXGargle& p) { p.dwRateHz = 1000; p.dwWaveShape = kGargleWaveSquare; });
    expectAccepted<ParamEqEffect>([](DSFXParamEq& p) { p.fCenter = 80; p.fBandwidth = 36; p.fGain = -15; });
    expectAccepted<WavesReverbEffect>([](DSFXWavesReverb& p) { p.fInGain = -96; p.fReverbTime = 0.001f; p.fHighFreqRTRatio = 0.999f; });

    // Just outside, or not a number.
    expectRefused<EchoEffect>([](DSFXEcho& p) { p.fLeftDelay = 0.5f; });
    expectRefused<EchoEffect>([](DSFXEcho& p) { p.fRightDelay = 2001; });
    expectRefused<EchoEffect>([](DSFXEcho& p) { p.fFeedback = 100.5f; });
    expectRefused<EchoEffect>([nan](DSFXEcho& p) { p.fWetDryMix = nan; });
    expectRefused<EchoEffect>([](DSFXEcho& p) { p.lPanDelay = 2; });
    expectRefused<ChorusEffect>([](DSFXChorus& p) { p.fDelay = 20.5f; });
    expectRefused<ChorusEffect>([](DSFXChorus& p) { p.lPhase = 5; });
    expectRefused<ChorusEffect>([](DSFXChorus& p) { p.lWaveform = -1; });
    expectRefused<FlangerEffect>([](DSFXFlanger& p) { p.fDelay = 4.5f; });
    expectRefused<FlangerEffect>([](DSFXFlanger& p) { p.fFeedback = -100; });
    expectRefused<FlangerEffect>([](DSFXFlanger& p) { p.fFrequency = 10.5f; });
    expectRefused<CompressorEffect>([](DSFXCompressor& p) { p.fRelease = 40; });
    expectRefused<CompressorEffect>([](DSFXCompressor& p) { p.fRatio = 0.5f; });
    expectRefused<CompressorEffect>([](DSFXCompressor& p) { p.fThreshold = 1; });
    expectRefused<GargleEffect>([](DSFXGargle& p) { p.dwRateHz = 0; });
    expectRefused<GargleEffect>([](DSFXGargle& p) { p.dwWaveShape = 2; });
    expectRefused<ParamEqEffect>([](DSFXParamEq& p) { p.fCenter = 16001; });
    expectRefused<ParamEqEffect>([](DSFXParamEq& p) { p.fGain = -16; });
    expectRefused<WavesReverbEffect>([](DSFXWavesReverb& p) { p.fReverbTime = 0; });
    expectRefused<WavesReverbEffect>([](DSFXWavesReverb& p) { p.fHighFreqRTRatio = 1; });
    expectRefused<WavesReverbEffect>([nan](DSFXWavesReverb& p) { p.fReverbMix = nan; });

    EchoEffect echo;
    EXPECT_EQ(echo.SetAllParameters(nullptr), kFxInvalidPointer);
    EXPECT_EQ(echo.GetAllParameters(nullptr), kFxInvalidPointer);
}

TEST(SoundEffects, NewParametersTakeEffectAtTheNextCall) {
    auto echo = make<EchoEffect>(1);
    auto signal = impulse(30000, 1);
    echo->process(signal.data(), 10);
    DSFXEcho dry;
    dry.fWetDryMix = 0;
    ASSERT_EQ(echo->SetAllParameters(&dry), kFxOk);
    echo->process(signal.data() + 10, signal.size() - 10);
    // The impulse went into the line before the change, but the mix now hides the repeat.
    EXPECT_EQ(signal[22050], 0.0f);
    EXPECT_FLOAT_EQ(signal[0], 0.5f);
}

TEST(SoundEffects, ParametersSetFromAnotherThreadReachTheDeviceThread) {
    auto echo = make<EchoEffect>(2);
    std::thread writer([&echo] {
        for (int i = 0; i < 2000; ++i) {
            const DSFXEcho p{float(i % 101), 50, float(1 + i % 2000), 500, i % 2};
            ASSERT_EQ(echo->SetAllParameters(&p), kFxOk);
        }
        const DSFXEcho last{0, 0, 10, 10, 0};
        ASSERT_EQ(echo->SetAllParameters(&last), kFxOk);
    });
    auto v = programme(kRate, 2);
    for (std::size_t at = 0; at < std::size_t(kRate); at += 100) echo->process(v.data() + 2 * at, 100);
    writer.join();
    auto dry = programme(1000, 2);
    auto out = dry;
    echo->process(out.data(), 1000);  // the last record: wholly dry
    for (std::size_t i = 0; i < dry.size(); ++i) ASSERT_EQ(out[i], fx::cleanSample(dry[i])) << i;
}

TEST(SoundEffects, ChunkedProcessingEqualsOneCall) {
    const std::size_t frames = 3 * kRate;
    for (EffectKind kind : kAllKinds) {
        for (auto [rate, channels] : {std::pair{kRate, 1}, {kRate, 2}, {8000, 2}}) {
            SCOPED_TRACE(testing::Message() << "kind " << int(kind) << ", " << rate << " Hz, channels " << channels);
            auto whole = programme(frames, channels);
            auto pieces = whole;
            auto one = createSoundEffect(kind);
            auto many = createSoundEffect(kind);
            one->prepare(rate, channels);
            many->prepare(rate, channels);
            one->process(whole.data(), frames);
            std::mt19937 rng{static_cast<unsigned>(kind)};
            std::uniform_int_distribution<std::size_t> size(1, 700);
            for (std::size_t at = 0; at < frames;) {
                const std::size_t n = std::min(size(rng), frames - at);
                many->process(pieces.data() + at * channels, n);
                at += n;
            }
            EXPECT_EQ(std::memcmp(whole.data(), pieces.data(), whole.size() * sizeof(float)), 0);
        }
    }
}

TEST(SoundEffects, PrepareClearsTheHistory) {
    for (EffectKind kind : kAllKinds) {
        auto effect = createSoundEffect(kind);
        effect->prepare(kRate, 2);
        auto first = programme(kRate, 2);
        auto again = first;
        effect->process(first.data(), kRate);
        effect->prepare(kRate, 2);
        effect->process(again.data(), kRate);
        EXPECT_EQ(std::memcmp(first.data(), again.data(), first.size() * sizeof(float)), 0) << int(kind);
    }
}

namespace {

// Every effect at its defaults and at the settings that drive it hardest.
std::vector<std::unique_ptr<SoundEffect>> allEffectsIncludingExtremes() {
    std::vector<std::unique_ptr<SoundEffect>> v;
    for (EffectKind kind : kAllKinds) v.push_back(createSoundEffect(kind));
    DSFXEcho echo{100, 100, 1, 2000, 1};
    DSFXChorus chorus{100, 100, 99, 10, kLfoWaveTriangle, 20, kLfoPhase180};
    DSFXFlanger flanger{100, 100, -99, 10, kLfoWaveSine, 0, kLfoPhaseNeg90};
    DSFXCompressor comp{60, 0.01f, 50, -60, 100, 0};
    DSFXGargle gargle{1000, kGargleWaveSquare};
    DSFXParamEq eq{16000, 1, 15};
    DSFXWavesReverb reverb{0, 0, 3000, 0.999f};
    auto add = [&v](auto effect, const auto& params) {
        EXPECT_EQ(effect->SetAllParameters(&params), kFxOk);
        v.push_back(std::move(effect));
    };
    add(std::make_unique<EchoEffect>(), echo);
    add(std::make_unique<ChorusEffect>(), chorus);
    add(std::make_unique<FlangerEffect>(), flanger);
    add(std::make_unique<CompressorEffect>(), comp);
    add(std::make_unique<GargleEffect>(), gargle);
    add(std::make_unique<ParamEqEffect>(), eq);
    add(std::make_unique<WavesReverbEffect>(), reverb);
    return v;
}

void expectSane(const std::vector<float>& out, const char* what, int kind) {
    for (std::size_t i = 0; i < out.size(); ++i) {
        const float y = out[i];
        ASSERT_TRUE(std::isfinite(y) && y >= -1.0f && y <= 1.0f && std::fpclassify(y) != FP_SUBNORMAL)
            << what << ", kind " << kind << ", sample " << i << " = " << y;
    }
}

}  // namespace

TEST(SoundEffects, HostileInputGivesFiniteOutputInRange) {
    const std::size_t frames = 2 * kRate;
    const float inf = std::numeric_limits<float>::infinity();
    struct Input {
        const char* name;
        std::function<float(std::size_t)> sample;  // by sample index
    };
    const Input inputs[] = {
        {"full-scale square", [](std::size_t i) { return (i / 2 / 200) % 2 ? 1.0f : -1.0f; }},
        {"full-scale Nyquist", [](std::size_t i) { return (i / 2) % 2 ? 1.0f : -1.0f; }},
        {"DC", [](std::size_t) { return 1.0f; }},
        {"denormal", [](std::size_t i) { return (i % 3 ? 1e-40f : -3e-39f); }},
        {"out of range, NaN and infinity",
         [inf](std::size_t i) { return i % 5 == 0 ? std::nanf("") : (i % 5 == 1 ? inf : (i % 5 == 2 ? -inf : 7.0f)); }},
    };
    for (const auto& input : inputs) {
        for (auto& effect : allEffectsIncludingExtremes()) {
            effect->prepare(kRate, 2);
            std::vector<float> v(frames * 2);
            for (std::size_t i = 0; i < v.size(); ++i) v[i] = input.sample(i);
            effect->process(v.data(), frames);
            expectSane(v, input.name, int(effect->kind()));
        }
    }
}

TEST(SoundEffects, ReverbTailFlushesToZeroWithoutDenormals) {
    DSFXWavesReverb params;
    params.fReverbTime = 300;
    params.fHighFreqRTRatio = 0.999f;
    auto reverb = make<WavesReverbEffect>(2, params);
    auto tail = impulse(10 * kRate, 2);
#if defined(__x86_64__)
    const unsigned callerMode = _mm_getcsr();
#endif
    reverb->process(tail.data(), 10 * kRate);
#if defined(__x86_64__)
    EXPECT_EQ(_mm_getcsr(), callerMode) << "the caller's floating-point mode must come back";
#endif
    expectSane(tail, "decaying tail", 6);
    // By the last two seconds the tail has fallen over 1500 dB, through the denormal range.
    for (std::size_t i = tail.size() - 2 * kRate; i < tail.size(); ++i) ASSERT_EQ(tail[i], 0.0f) << i;
}
