// Parameter records of the seven standard effects, with the values they start with and the
// ranges they accept. A default-constructed record holds the effect's documented defaults,
// which is what every effect runs with until someone sets its parameters.
//
// The records are plain values: they are copied in and out of an effect under its own lock
// (see StandardEffect.h), so any thread may hold one.
#pragma once

#include <cstdint>

namespace snd {

// Result codes of the parameter calls, in the platform's numbering: callers compare
// against 0 for success.
using FxResult = std::int32_t;
inline constexpr FxResult kFxOk = 0;
inline constexpr FxResult kFxInvalidParam = static_cast<FxResult>(0x80070057u);
inline constexpr FxResult kFxInvalidPointer = static_cast<FxResult>(0x80004003u);

// An inclusive range; NaN is never inside.
struct FxRange {
    float lo;
    float hi;
    constexpr bool contains(double v) const { return v >= lo && v <= hi; }
};

// Shape of the chorus and flanger oscillator.
inline constexpr std::int32_t kLfoWaveTriangle = 0;
inline constexpr std::int32_t kLfoWaveSine = 1;
// Phase of the right channel's oscillator against the left one, in quarter turns from -180
// degrees: 0 = -180, 1 = -90, 2 = 0, 3 = +90, 4 = +180.
inline constexpr std::int32_t kLfoPhaseNeg180 = 0;
inline constexpr std::int32_t kLfoPhaseNeg90 = 1;
inline constexpr std::int32_t kLfoPhaseZero = 2;
inline constexpr std::int32_t kLfoPhase90 = 3;
inline constexpr std::int32_t kLfoPhase180 = 4;

inline constexpr FxRange kWetDryMixRange{0.0f, 100.0f};   // percent of processed signal
inline constexpr FxRange kModDepthRange{0.0f, 100.0f};    // percent of the delay swept
inline constexpr FxRange kModFeedbackRange{-99.0f, 99.0f};
inline constexpr FxRange kModFrequencyRange{0.0f, 10.0f};  // Hz
inline constexpr FxRange kChorusDelayRange{0.0f, 20.0f};   // ms
inline constexpr FxRange kFlangerDelayRange{0.0f, 4.0f};   // ms

struct DSFXChorus {
    float fWetDryMix = 50.0f;
    float fDepth = 10.0f;
    float fFeedback = 25.0f;
    float fFrequency = 1.1f;
    std::int32_t lWaveform = kLfoWaveSine;
    float fDelay = 16.0f;
    std::int32_t lPhase = kLfoPhase90;
};

struct DSFXFlanger {
    float fWetDryMix = 50.0f;
    float fDepth = 100.0f;
    float fFeedback = -50.0f;
    float fFrequency = 0.25f;
    std::int32_t lWaveform = kLfoWaveSine;
    float fDelay = 2.0f;
    std::int32_t lPhase = kLfoPhaseZero;
};

inline constexpr FxRange kCompGainRange{-60.0f, 60.0f};          // dB after compression
inline constexpr FxRange kCompAttackRange{0.01f, 500.0f};        // ms
inline constexpr FxRange kCompReleaseRange{50.0f, 3000.0f};      // ms
inline constexpr FxRange kCompThresholdRange{-60.0f, 0.0f};      // dB full scale
inline constexpr FxRange kCompRatioRange{1.0f, 100.0f};          // input dB per output dB
inline constexpr FxRange kCompPredelayRange{0.0f, 4.0f};         // ms the signal lags the detector

struct DSFXCompressor {
    float fGain = 0.0f;
    float fAttack = 10.0f;
    float fRelease = 200.0f;
    float fThreshold = -20.0f;
    float fRatio = 3.0f;
    float fPredelay = 4.0f;
};

inline constexpr FxRange kEchoFeedbackRange{0.0f, 100.0f};  // percent fed back per repeat
inline constexpr FxRange kEchoDelayRange{1.0f, 2000.0f};    // ms

struct DSFXEcho {
    float fWetDryMix = 50.0f;
    float fFeedback = 50.0f;
    float fLeftDelay = 500.0f;
    float fRightDelay = 500.0f;
    std::int32_t lPanDelay = 0;  // 1: each repeat changes sides
};

inline constexpr std::uint32_t kGargleWaveTriangle = 0;
inline constexpr std::uint32_t kGargleWaveSquare = 1;
inline constexpr std::uint32_t kGargleRateMin = 1;     // Hz
inline constexpr std::uint32_t kGargleRateMax = 1000;  // Hz

struct DSFXGargle {
    std::uint32_t dwRateHz = 20;
    std::uint32_t dwWaveShape = kGargleWaveTriangle;
};

inline constexpr FxRange kEqCenterRange{80.0f, 16000.0f};  // Hz
inline constexpr FxRange kEqBandwidthRange{1.0f, 36.0f};   // semitones
inline constexpr FxRange kEqGainRange{-15.0f, 15.0f};      // dB

struct DSFXParamEq {
    float fCenter = 8000.0f;
    float fBandwidth = 12.0f;
    float fGain = 0.0f;
};

inline constexpr FxRange kReverbInGainRange{-96.0f, 0.0f};         // dB
inline constexpr FxRange kReverbMixRange{-96.0f, 0.0f};            // dB of the reverberation
inline constexpr FxRange kReverbTimeRange{0.001f, 3000.0f};        // ms to decay by 60 dB
inline constexpr FxRange kReverbHfRatioRange{0.001f, 0.999f};      // high-frequency time / time

struct DSFXWavesReverb {
    float fInGain = 0.0f;
    float fReverbMix = 0.0f;
    float fReverbTime = 1000.0f;
    float fHighFreqRTRatio = 0.001f;
};

// True when every field lies in its range (NaN never does).
bool isValid(const DSFXChorus& p);
bool isValid(const DSFXCompressor& p);
bool isValid(const DSFXEcho& p);
bool isValid(const DSFXFlanger& p);
bool isValid(const DSFXGargle& p);
bool isValid(const DSFXParamEq& p);
bool isValid(const DSFXWavesReverb& p);

}  // namespace snd
