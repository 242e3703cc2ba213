// The seven standard effects of a sound buffer's effect chain, made by kind. Each concrete
// effect also offers its parameter record through GetAllParameters/SetAllParameters; reach
// it with dynamic_cast to the class of the kind (EchoEffect for EffectKind::Echo, ...).
#pragma once

#include <memory>

#include "platform/sound/SoundEffect.h"
#include "platform/sound/effects/ChorusEffect.h"
#include "platform/sound/effects/CompressorEffect.h"
#include "platform/sound/effects/EchoEffect.h"
#include "platform/sound/effects/FlangerEffect.h"
#include "platform/sound/effects/GargleEffect.h"
#include "platform/sound/effects/ParamEqEffect.h"
#include "platform/sound/effects/WavesReverbEffect.h"

namespace snd {

// A new effect of the kind with its default parameters; prepare() it before use.
std::unique_ptr<SoundEffect> createSoundEffect(EffectKind kind);

}  // namespace snd
