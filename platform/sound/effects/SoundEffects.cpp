#include "platform/sound/effects/SoundEffects.h"

namespace snd {

std::unique_ptr<SoundEffect> createSoundEffect(EffectKind kind) {
    switch (kind) {
    case EffectKind::Chorus: return std::make_unique<ChorusEffect>();
    case EffectKind::Compressor: return std::make_unique<CompressorEffect>();
    case EffectKind::Echo: return std::make_unique<EchoEffect>();
    case EffectKind::Flanger: return std::make_unique<FlangerEffect>();
    case EffectKind::Gargle: return std::make_unique<GargleEffect>();
    case EffectKind::ParamEq: return std::make_unique<ParamEqEffect>();
    case EffectKind::WavesReverb: return std::make_unique<WavesReverbEffect>();
    }
    return nullptr;
}

}  // namespace snd
