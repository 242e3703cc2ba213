// The frame every standard effect shares: its parameter record with the platform's
// GetAllParameters/SetAllParameters calls, the hand-over of new parameters to the device
// thread, the denormal guard, and the guarantee that what leaves process() is finite and
// inside [-1, 1].
//
// A concrete effect supplies three device-thread steps: reset() sizes and clears its history
// for the format given to prepare(), configure() derives its coefficients from params(), and
// run() processes frames. Parameter calls may come from any thread; a new record takes
// effect at the start of the next process() call.
#pragma once

#include <cstddef>

#include "platform/sound/SoundEffect.h"
#include "platform/sound/effects/DspSupport.h"
#include "platform/sound/effects/EffectParameters.h"

namespace snd {

template <class Record, EffectKind Kind>
class StandardEffect : public SoundEffect {
public:
    using Parameters = Record;
    static constexpr EffectKind kKind = Kind;

    EffectKind kind() const final { return Kind; }

    FxResult GetAllParameters(Record* out) const {
        if (!out) return kFxInvalidPointer;
        *out = box_.get();
        return kFxOk;
    }

    // Refuses the whole record when one field is out of range; the effect keeps its
    // previous parameters then.
    FxResult SetAllParameters(const Record* in) {
        if (!in) return kFxInvalidPointer;
        if (!isValid(*in)) return kFxInvalidParam;
        box_.set(*in);
        return kFxOk;
    }

    void prepare(int sampleRate, int channels) final {
        prepared_ = sampleRate > 0 && channels > 0;
        if (!prepared_) return;
        sampleRate_ = sampleRate;
        channels_ = channels;
        if (!box_.fetch(active_)) active_ = box_.get();
        reset();
        configure();
    }

    void process(float* frames, std::size_t frameCount) final {
        if (!prepared_) return;  // the frame layout is not known yet
        fx::DenormalGuard guard;
        if (box_.fetch(active_)) configure();
        run(frames, frameCount);
    }

protected:
    const Record& params() const { return active_; }
    int sampleRate() const { return sampleRate_; }
    int channels() const { return channels_; }

    virtual void reset() = 0;
    virtual void configure() = 0;
    // Reads every input through fx::cleanSample and writes every output through it.
    virtual void run(float* frames, std::size_t frameCount) = 0;

private:
    fx::ParamBox<Record> box_{Record{}};
    Record active_{};
    bool prepared_ = false;
    int sampleRate_ = 0;
    int channels_ = 0;
};

}  // namespace snd
