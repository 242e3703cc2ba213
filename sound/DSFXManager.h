// The effect chain of the channel's sound buffer. The playback engine binds the manager to
// each new buffer (SetBuffer), reads the effects' default parameters once (LoadDefaults), and
// rebuilds the chain whenever an effect switch changes or play starts: Clear, AddEffect for
// each effect switched on, Apply. The chain runs in the order of the AddEffect calls, not in
// the order of the kinds. Every effect runs with its default parameters.
//
// The buffer refuses a new chain while it plays (Apply then raises EDirectXError): the
// engine pauses the channel around Apply.
//
// The manager holds the buffer weakly: when the channel closes its buffer, the manager is
// unbound and the buffer goes away, and a later Clear only empties the manager's tables. The
// effects obtained from the chain are held by the manager as shared references, so they stay
// valid as long as the manager keeps them, whatever happens to the buffer.
//
// User-interface thread only.
#pragma once

#include "platform/sound/SoundDevice.h"
#include "platform/sound/effects/EffectParameters.h"

#include <array>
#include <cstdint>
#include <memory>

namespace sound {

// Effect kinds as the engine numbers them.
inline constexpr uint8_t fxChorus = 0;
inline constexpr uint8_t fxCompressor = 1;
inline constexpr uint8_t fxEcho = 2;
inline constexpr uint8_t fxFlanger = 3;
inline constexpr uint8_t fxGargle = 4;
inline constexpr uint8_t fxParamEq = 5;
inline constexpr uint8_t fxWavesReverb = 6;

// The parameters each effect starts with, as the effects themselves report them.
struct TDSFXParameters {
    snd::DSFXChorus Chorus;
    snd::DSFXCompressor Compressor;
    snd::DSFXEcho Echo;
    snd::DSFXFlanger Flanger;
    snd::DSFXGargle Gargle;
    snd::DSFXParamEq ParamEq;
    snd::DSFXWavesReverb WavesReverb;
};

class TDSFXManager {
public:
    static constexpr int kKinds = 7;

    // Every table empty, every parameter record zero until LoadDefaults reads them.
    TDSFXManager();
    ~TDSFXManager();
    TDSFXManager(const TDSFXManager&) = delete;
    TDSFXManager& operator=(const TDSFXManager&) = delete;

    // Binds the manager to Buffer; a null buffer leaves the binding as it is.
    void SetBuffer(const std::shared_ptr<snd::SoundBuffer>& Buffer);
    // Drops every effect from the chain and from the buffer.
    void Clear();
    // Appends an effect to the chain; a kind above 6 or one already added is ignored.
    void AddEffect(uint8_t Kind);
    // Sets the chain on the bound buffer and takes hold of each effect in it.
    void Apply();
    // Fills Parameters() with every effect's defaults, leaving the buffer without effects.
    void LoadDefaults();

    uint8_t Count() const { return count_; }
    // The kind at chain position `position` (< Count()).
    uint8_t KindAt(int position) const { return kinds_[size_t(position)]; }
    bool Added(uint8_t Kind) const { return Kind < kKinds && added_[Kind]; }
    // The effect of a kind in the applied chain, null when it is not there.
    snd::SoundEffect* Effect(uint8_t Kind) const { return Kind < kKinds ? effects_[Kind].get() : nullptr; }
    // The bound buffer, null when none is bound or it has been closed since.
    std::shared_ptr<snd::SoundBuffer> Buffer() const { return buffer_.lock(); }
    const TDSFXParameters& Parameters() const { return parameters_; }

private:
    void ReadParameters();

    uint8_t count_ = 0;
    std::weak_ptr<snd::SoundBuffer> buffer_;
    std::array<bool, kKinds> added_{};
    std::array<uint8_t, kKinds> kinds_{};  // in chain order
    std::array<std::shared_ptr<snd::SoundEffect>, kKinds> effects_{};
    TDSFXParameters parameters_;
};

}  // namespace sound
