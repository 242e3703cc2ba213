// The sound output layer: a SoundDevice mixes every playing SoundBuffer into one output
// stream, with the buffer semantics the playback code relies on (a circular secondary buffer
// in the file's own PCM format, Lock/Unlock, looping play that resumes at the cursor, an
// audible play cursor, frequency, volume in 1/100 dB, pan, an effect chain, buffer loss).
//
// Backends (one class each): AlsaSoundDevice plays through ALSA; NullSoundDevice consumes
// sound at wall-clock speed when no card can be opened; MemorySoundDevice, for tests, plays
// on a ManualClock and records every output frame. SoundDevice::open() picks ALSA and falls
// back to the null device, which keeps ALSA's error as its silentReason().
//
// A NOTE ON THREADS: every public call may come from any thread. One device thread per
// device (the advancing test thread for the memory device) calls render(), which runs the
// effect chains and mixes under the device lock. Lock() hands out pointers into the buffer
// memory; the caller writes only behind the play cursor, where the device does not read.
#pragma once

#include "platform/sound/SoundEffect.h"
#include "platform/sound/SoundResult.h"
#include "platform/sound/WaveFormat.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace snd {

class SoundDevice;

// Copies `bytes` into a buffer's memory (the pointers Lock gave) with streaming stores. The
// device reads those bytes on its own thread, mostly on another core, where the lines still
// sit from the last time round the ring: a plain copy would first fetch each of them back
// from there. Same bytes as memcpy, any alignment.
void copyToBuffer(void* dst, const void* src, size_t bytes);

// Capability flags of a secondary buffer, and the status and play flags.
namespace caps {
constexpr uint32_t kCtrlFrequency = 0x20;
constexpr uint32_t kCtrlPan = 0x40;
constexpr uint32_t kCtrlVolume = 0x80;
constexpr uint32_t kCtrlFx = 0x200;
constexpr uint32_t kGlobalFocus = 0x8000;
constexpr uint32_t kGetCurrentPosition2 = 0x10000;
}  // namespace caps
constexpr uint32_t kPlayLooping = 1;
namespace status {
constexpr uint32_t kPlaying = 1;
constexpr uint32_t kBufferLost = 2;
constexpr uint32_t kLooping = 4;
}  // namespace status

struct BufferDesc {
    uint32_t flags = 0;
    uint32_t bufferBytes = 0;
    WaveFormat format;
};

class SoundBuffer {
public:
    static constexpr uint32_t kMinFrequency = 100;
    static constexpr uint32_t kMaxFrequency = 200000;
    static constexpr uint32_t kMinBufferBytes = 4;
    static constexpr uint32_t kMaxBufferBytes = 0x0FFFFFFF;
    static constexpr int32_t kVolumeMin = -10000;
    static constexpr int32_t kPanLeft = -10000;
    static constexpr int32_t kPanRight = 10000;

    ~SoundBuffer();
    SoundBuffer(const SoundBuffer&) = delete;
    SoundBuffer& operator=(const SoundBuffer&) = delete;

    const WaveFormat& format() const { return desc_.format; }
    uint32_t size() const { return desc_.bufferBytes; }

    // Up to two pieces of the ring from `offset`; the second is null when no wrap is needed.
    [[nodiscard]] int32_t Lock(uint32_t offset, uint32_t bytes, void** p1, uint32_t* n1, void** p2,
                               uint32_t* n2);
    [[nodiscard]] int32_t Unlock(void* p1, uint32_t n1, void* p2, uint32_t n2);
    [[nodiscard]] int32_t Play(uint32_t flags);
    [[nodiscard]] int32_t Stop();
    // play: the frame being heard now; write: the first frame the device has not taken yet.
    [[nodiscard]] int32_t GetCurrentPosition(uint32_t* play, uint32_t* write);
    [[nodiscard]] int32_t SetCurrentPosition(uint32_t offset);
    [[nodiscard]] int32_t GetStatus(uint32_t* status);
    // 0 means the format's own rate.
    [[nodiscard]] int32_t SetFrequency(uint32_t hz);
    [[nodiscard]] int32_t GetFrequency(uint32_t* hz);
    [[nodiscard]] int32_t SetVolume(int32_t hundredthsDb);
    [[nodiscard]] int32_t GetVolume(int32_t* hundredthsDb);
    [[nodiscard]] int32_t SetPan(int32_t pan);
    [[nodiscard]] int32_t GetPan(int32_t* pan);
    // Replaces the effect chain; only while stopped. An empty chain removes every effect.
    [[nodiscard]] int32_t SetFX(std::vector<std::shared_ptr<SoundEffect>> chain);
    // The effect at `index` of the chain.
    [[nodiscard]] int32_t GetObjectInPath(uint32_t index, SoundEffect** effect);

private:
    friend class SoundDevice;
    SoundBuffer(std::shared_ptr<SoundDevice> device, const BufferDesc& desc);

    // Device thread, device lock held.
    void mixInto(float* out, size_t frames, const WaveFormat& output, size_t heldFrames);
    // Whether mixing this buffer alone would give its own 16-bit samples back unchanged (the
    // output's rate and channels, full volume, centred, no effects, on a whole frame); then
    // copyInto gives the same output and cursor as mixing, without the round trip through float.
    bool passesStraight(const WaveFormat& output) const;
    void copyInto(uint8_t* out, size_t frames, size_t heldFrames);
    void stage(size_t needed);
    void resetStage();
    uint32_t frames() const { return desc_.bufferBytes / desc_.format.blockAlign; }
    uint32_t audibleFrame() const;
    float gainFor(int channel) const;

    std::shared_ptr<SoundDevice> device_;
    BufferDesc desc_;
    std::vector<uint8_t> data_;
    bool playing_ = false;
    bool looping_ = false;
    bool lost_ = false;
    uint64_t pos_ = 0;          // read position in frames, 32.32 fixed point
    uint64_t consumed_ = 0;     // frames taken since the last Play, to bound the audible cursor
    size_t held_ = 0;           // buffer frames the device holds that are not heard yet
    uint32_t frequency_ = 0;
    int32_t volume_ = 0;
    int32_t pan_ = 0;
    std::vector<std::shared_ptr<SoundEffect>> chain_;
    // Frames from the cursor on, converted to float and through the effect chain once each.
    std::vector<float> stage_;
    uint32_t stageBase_ = 0;    // ring frame of stage_[0]
    size_t stageFrames_ = 0;
};

class SoundDevice : public std::enable_shared_from_this<SoundDevice> {
public:
    struct Info {
        std::string description;
        std::string id;  // "" for the default device
    };

    // The output devices; the first row is the default device.
    static std::vector<Info> enumerate();
    // The ALSA device `id` ("" = default); the null device when it cannot be opened.
    static std::shared_ptr<SoundDevice> open(const std::string& id);

    virtual ~SoundDevice();
    SoundDevice(const SoundDevice&) = delete;
    SoundDevice& operator=(const SoundDevice&) = delete;

    virtual std::string name() const = 0;
    // Why nothing is heard from this device: the error of the device that could not be
    // opened in its place. Empty for a device that plays what it is given.
    virtual std::string silentReason() const { return {}; }
    // Asks for an output format; the device keeps the nearest it can play (read it back).
    [[nodiscard]] int32_t setPrimaryFormat(const WaveFormat& wanted);
    WaveFormat primaryFormat() const;
    [[nodiscard]] int32_t createSoundBuffer(const BufferDesc& desc, std::shared_ptr<SoundBuffer>* out);
    bool isLost() const;
    // The device went away: every buffer is lost and stops.
    void markLost();

protected:
    explicit SoundDevice(const WaveFormat& output);

    // Mixes `frames` output frames into `out` (primary format); `heldFrames` is how much
    // of what was rendered before the device still holds unheard.
    void render(uint8_t* out, size_t frames, size_t heldFrames = 0);
    // Backend hook for setPrimaryFormat, called without the device lock: reconfigure the
    // output and adjust `format` to what it accepts.
    virtual int32_t applyFormat(WaveFormat& format) = 0;

    mutable std::recursive_mutex lock_;

private:
    friend class SoundBuffer;
    void detach(SoundBuffer* buffer);

    WaveFormat output_;
    bool lost_ = false;
    std::vector<SoundBuffer*> buffers_;
    std::vector<float> mix_;
};

}  // namespace snd
