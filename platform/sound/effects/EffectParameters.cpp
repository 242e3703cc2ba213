#include "platform/sound/effects/EffectParameters.h"

namespace snd {

namespace {

bool validLfo(std::int32_t waveform, std::int32_t phase) {
    return (waveform == kLfoWaveTriangle || waveform == kLfoWaveSine) &&
           phase >= kLfoPhaseNeg180 && phase <= kLfoPhase180;
}

}  // namespace

bool isValid(const DSFXChorus& p) {
    return kWetDryMixRange.contains(p.fWetDryMix) && kModDepthRange.contains(p.fDepth) &&
           kModFeedbackRange.contains(p.fFeedback) && kModFrequencyRange.contains(p.fFrequency) &&
           kChorusDelayRange.contains(p.fDelay) && validLfo(p.lWaveform, p.lPhase);
}

bool isValid(const DSFXFlanger& p) {
    return kWetDryMixRange.contains(p.fWetDryMix) && kModDepthRange.contains(p.fDepth) &&
           kModFeedbackRange.contains(p.fFeedback) && kModFrequencyRange.contains(p.fFrequency) &&
           kFlangerDelayRange.contains(p.fDelay) && validLfo(p.lWaveform, p.lPhase);
}

bool isValid(const DSFXCompressor& p) {
    return kCompGainRange.contains(p.fGain) && kCompAttackRange.contains(p.fAttack) &&
           kCompReleaseRange.contains(p.fRelease) && kCompThresholdRange.contains(p.fThreshold) &&
           kCompRatioRange.contains(p.fRatio) && kCompPredelayRange.contains(p.fPredelay);
}

bool isValid(const DSFXEcho& p) {
    return kWetDryMixRange.contains(p.fWetDryMix) && kEchoFeedbackRange.contains(p.fFeedback) &&
           kEchoDelayRange.contains(p.fLeftDelay) && kEchoDelayRange.contains(p.fRightDelay) &&
           (p.lPanDelay == 0 || p.lPanDelay == 1);
}

bool isValid(const DSFXGargle& p) {
    return p.dwRateHz >= kGargleRateMin && p.dwRateHz <= kGargleRateMax &&
           (p.dwWaveShape == kGargleWaveTriangle || p.dwWaveShape == kGargleWaveSquare);
}

bool isValid(const DSFXParamEq& p) {
    return kEqCenterRange.contains(p.fCenter) && kEqBandwidthRange.contains(p.fBandwidth) &&
           kEqGainRange.contains(p.fGain);
}

bool isValid(const DSFXWavesReverb& p) {
    return kReverbInGainRange.contains(p.fInGain) && kReverbMixRange.contains(p.fReverbMix) &&
           kReverbTimeRange.contains(p.fReverbTime) &&
           kReverbHfRatioRange.contains(p.fHighFreqRTRatio);
}

}  // namespace snd
