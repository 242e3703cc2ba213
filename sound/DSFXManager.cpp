#include "sound/DSFXManager.h"

#include "platform/sound/effects/SoundEffects.h"
#include "sound/cbDSMixer.h"

#include <cstring>
#include <type_traits>
#include <vector>

namespace sound {

namespace {

// The engine's kind numbers follow the sound layer's effect order.
snd::EffectKind effectOf(uint8_t kind)
{
    return static_cast<snd::EffectKind>(kind);
}

template <class Effect>
void readDefaults(snd::SoundEffect* effect, typename Effect::Parameters& record)
{
    if (auto* e = dynamic_cast<Effect*>(effect))
        (void)e->GetAllParameters(&record);  // cannot fail with a record to write to
}

}  // namespace

TDSFXManager::TDSFXManager()
{
    static_assert(std::is_trivially_copyable_v<TDSFXParameters>);
    std::memset(static_cast<void*>(&parameters_), 0, sizeof parameters_);
}

TDSFXManager::~TDSFXManager()
{
    Clear();
}

void TDSFXManager::SetBuffer(const std::shared_ptr<snd::SoundBuffer>& Buffer)
{
    if (Buffer)
        buffer_ = Buffer;
}

// The tables are emptied even when the buffer has been closed since it was bound, so that a
// chain built for an old buffer never leaks into the next one.
void TDSFXManager::Clear()
{
    effects_ = {};
    kinds_ = {};
    added_ = {};
    count_ = 0;
    if (auto buffer = buffer_.lock())
        (void)buffer->SetFX({});  // refused while playing; the engine pauses first
}

void TDSFXManager::AddEffect(uint8_t Kind)
{
    if (Kind >= kKinds || added_[Kind])
        return;
    added_[Kind] = true;
    if (count_ >= kKinds)
        return;
    kinds_[count_] = Kind;
    ++count_;
}

void TDSFXManager::Apply()
{
    auto buffer = buffer_.lock();
    if (!buffer || count_ == 0)
        return;
    std::vector<std::shared_ptr<snd::SoundEffect>> chain;
    for (int i = 0; i < count_; ++i)
        chain.push_back(snd::createSoundEffect(effectOf(kinds_[size_t(i)])));
    DXCheck(buffer->SetFX(chain));
    for (int i = 0; i < count_; ++i) {
        snd::SoundEffect* inPath = nullptr;
        DXCheck(buffer->GetObjectInPath(uint32_t(i), &inPath));
        if (inPath != chain[size_t(i)].get())
            DXCheck(snd::result::kObjectNotFound);
        effects_[kinds_[size_t(i)]] = chain[size_t(i)];
    }
}

void TDSFXManager::LoadDefaults()
{
    if (!buffer_.lock())
        return;
    for (uint8_t kind = 0; kind < kKinds; ++kind)
        AddEffect(kind);
    try {
        Apply();
    } catch (...) {
        Clear();
        throw;
    }
    ReadParameters();
    Clear();
}

void TDSFXManager::ReadParameters()
{
    readDefaults<snd::ChorusEffect>(effects_[fxChorus].get(), parameters_.Chorus);
    readDefaults<snd::CompressorEffect>(effects_[fxCompressor].get(), parameters_.Compressor);
    readDefaults<snd::EchoEffect>(effects_[fxEcho].get(), parameters_.Echo);
    readDefaults<snd::FlangerEffect>(effects_[fxFlanger].get(), parameters_.Flanger);
    readDefaults<snd::GargleEffect>(effects_[fxGargle].get(), parameters_.Gargle);
    readDefaults<snd::ParamEqEffect>(effects_[fxParamEq].get(), parameters_.ParamEq);
    readDefaults<snd::WavesReverbEffect>(effects_[fxWavesReverb].get(), parameters_.WavesReverb);
}

}  // namespace sound
