// The streaming output stage of the sound engine.
//
// TcbDSMixer owns the sound device (platform/sound), its output format and every channel it
// makes; users of a channel hold a TChannelHandle, which the mixer empties when it frees the
// channel, so nothing else ever deletes one. TcbDSMixerChannel
// plays one music file: it decodes it through TcbAudioFileReader and streams the PCM into one
// looping secondary buffer of four seconds, kept ahead of the play cursor by its refill
// thread (TcbUpdateChannelThread). A table of the last 50 writes (TPositionTimes) maps buffer
// offsets back to stream time, so the channel can say which moment of the file is being
// heard. The channel keeps a copy of what it wrote, which the level analysis reads through
// LockPlayed without touching the device buffer.
//
// Threads: the user-interface thread calls every public operation; the refill thread wakes
// every 400 ms (on the channel's TickSource) and tops the buffer up. Both hold the channel's
// mutex, taken with 250 ms waits; a public operation that cannot get it in time does
// nothing and returns 0. Between ticks the refill thread decodes up to DecodeAheadMs of the
// file ahead, holding only the reader (which has a lock of its own), so a tick mostly copies
// and no public operation waits behind a decode. What is played never depends on it. End of data, end of a fade and a lost buffer are posted to a QObject
// that lives on the thread that created the channel (the user-interface thread), so the
// events OnPlayEnd, OnFadeEnd and OnBufferLost always run there, outside the mutex. An event
// still queued when the channel opens another file (or none) is dropped.
#pragma once

#include "platform/sound/Clock.h"
#include "platform/sound/SoundDevice.h"
#include "sound/cbAudioFileReader.h"

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

class QObject;

namespace sound {

// A failed sound-device result: the standard description, and the result as code.
class EDirectXError : public std::runtime_error {
public:
    EDirectXError(const std::string& message, int32_t code) : std::runtime_error(message), ErrorCode(code) {}
    int32_t ErrorCode;
};

// Raises EDirectXError for every result but 0.
void DXCheck(int32_t result);

enum class TacahBitsPerSample { bs8Bit, bs16Bit };
enum class TacahLevel { lNormal, lPriority, lExclusive };

class TcbDSMixerChannel;

// A user's view of a channel, not an owner: empty from the moment its mixer frees the channel.
class TChannelHandle {
public:
    TChannelHandle() = default;
    TcbDSMixerChannel* get() const { return slot_ ? *slot_ : nullptr; }
    TcbDSMixerChannel* operator->() const { return get(); }
    TcbDSMixerChannel& operator*() const { return *get(); }
    explicit operator bool() const { return get() != nullptr; }

private:
    friend class TcbDSMixer;
    explicit TChannelHandle(std::shared_ptr<TcbDSMixerChannel*> slot) : slot_(std::move(slot)) {}
    std::shared_ptr<TcbDSMixerChannel*> slot_;
};

class TcbDSMixer {
public:
    using DeviceFactory = std::function<std::shared_ptr<snd::SoundDevice>(const std::string& id)>;

    // `factory` opens the device of an id ("" = default); by default the real device, or the
    // null device when there is no sound card.
    explicit TcbDSMixer(DeviceFactory factory = {});
    // Frees the channels still made by it, then the device.
    virtual ~TcbDSMixer();
    TcbDSMixer(const TcbDSMixer&) = delete;
    TcbDSMixer& operator=(const TcbDSMixer&) = delete;

    TacahBitsPerSample BitsPerSample = TacahBitsPerSample::bs16Bit;
    bool Stereo = true;
    TacahLevel Level = TacahLevel::lPriority;
    bool Active = true;
    int DeviceIndex = 0;

    int32_t Frequency() const { return frequency_; }
    void SetFrequency(int32_t Value);
    uint32_t SpeakerConfig() const { return speakerConfig_; }
    void SetSpeakerConfig(uint32_t Value) { speakerConfig_ = Value; }

    // The device, opened on first use (and reopened after it was lost).
    std::shared_ptr<snd::SoundDevice> GetDirectSound();
    // Why the open device is silent (the error of the card it stands in for); empty while a
    // card plays, or nothing is open.
    std::string SilentReason() const { return device_ ? device_->silentReason() : std::string(); }
    void Close();

    // A new channel on this mixer, which owns it until FreeChannel or its own end. `ticks`
    // drives the channel's refill thread; tests pass the memory device's manual clock.
    TChannelHandle NewChannel(snd::TickSource& ticks = snd::systemTicks());
    // Frees the handle's channel (nothing when the handle is empty) and empties every handle on it.
    void FreeChannel(const TChannelHandle& channel);

    // The output devices at start: descriptions, and ids ("" for the default device).
    static const std::vector<std::string>& DeviceDescriptions();
    static const std::vector<std::string>& DeviceIds();

protected:
    void Open();
    // Called after the device has been created or closed (never while the mixer is destroyed).
    virtual void DeviceCreated() {}

private:
    struct Owned {
        std::unique_ptr<TcbDSMixerChannel> channel;
        std::shared_ptr<TcbDSMixerChannel*> slot;  // what the handles read
    };
    void closeBuffers();

    DeviceFactory factory_;
    int32_t frequency_ = 44100;
    uint32_t speakerConfig_ = 4;
    std::shared_ptr<snd::SoundDevice> device_;
    std::mutex channelsLock_;
    std::vector<Owned> channels_;
};

// Ring of the last 50 buffer writes: the byte range written and the stream time it holds.
class TPositionTimes {
public:
    static constexpr int kEntries = 50;
    // Zero-length ranges are skipped: they map nothing.
    void Add(int32_t PosStart, int32_t PosEnd, int64_t TimeStart, int64_t TimeEnd);
    // Milliseconds of stream time at buffer offset Pos.
    uint32_t GetPosTime(int32_t Pos) const;
    void Clear();

private:
    struct Entry {
        int32_t PosStart = 0, PosEnd = 0;
        int64_t TimeStart = 0, TimeEnd = 0;
    };
    std::array<Entry, kEntries> entries_{};
    int next_ = 0;
    int count_ = 0;
};

class TcbUpdateChannelThread {
public:
    TcbUpdateChannelThread(TcbDSMixerChannel* Channel, snd::TickSource& ticks, uint32_t IntervalMs);
    ~TcbUpdateChannelThread();
    void SetActive(bool Value);
    bool Active() const { return active_; }
    const uint32_t Interval;

private:
    void Execute();

    TcbDSMixerChannel* channel_;
    std::unique_ptr<snd::Waiter> event_;
    std::atomic<bool> active_{false};
    std::atomic<bool> terminated_{false};
    std::thread thread_;
};

class TcbDSMixerChannel {
public:
    using TChannelEvent = std::function<void(TcbDSMixerChannel*)>;
    enum : uint8_t { csStopped = 0, csPlaying = 1, csPaused = 2 };
    static constexpr uint32_t BufferLengthMs = 4000;
    static constexpr int MutexWaitMs = 250;
    // Three ticks of sound: enough that the decoding goes on while a busy machine keeps the
    // thread that drives the clock away for a while.
    static constexpr uint32_t DecodeAheadMs = 3 * (BufferLengthMs / 10);

    ~TcbDSMixerChannel();
    TcbDSMixerChannel(const TcbDSMixerChannel&) = delete;
    TcbDSMixerChannel& operator=(const TcbDSMixerChannel&) = delete;

    void Open(const std::string& FileName);
    void Play();
    void Pause();
    void Stop();
    uint32_t GetPosition();
    void SetPosition(uint32_t Ms);
    void SetFrequency(uint32_t Hz);
    void SetVolume(int32_t Value);
    void SetPan(int32_t Value);
    void SetStartTime(uint32_t Ms);
    void SetEndTime(uint32_t Ms);
    // Ramps the volume from the current one to EndVolume over DurationMs on the refill tick,
    // then raises OnFadeEnd.
    void Fade(int32_t EndVolume, uint32_t DurationMs);
    void LockPlayed(uint32_t Offset, uint32_t Size, const uint8_t*& P1, uint32_t& N1, const uint8_t*& P2,
                    uint32_t& N2);
    void UnlockPlayed();

    std::shared_ptr<snd::SoundBuffer> Buffer();
    uint32_t SampleRate();
    uint32_t Channels();
    uint32_t BitsPerSample();
    uint32_t BlockAlign();
    uint32_t FileLengthMs();
    uint8_t State();
    std::string FileName();
    TcbAudioFileReader* Reader();
    int MutexNumber() const { return mutexNumber_; }

    TChannelEvent OnPlayEnd;
    TChannelEvent OnBufferLost;
    TChannelEvent OnFadeEnd;

    // Channel messages posted to the user-interface thread.
    static constexpr int WM_CHANNELEND = 1025;
    static constexpr int WM_CHANNELFADEEND = 1026;
    static constexpr int WM_CHANNELLOST = 1027;

private:
    friend class TcbUpdateChannelThread;
    friend class TcbDSMixer;
    class Guard;

    // Made by the mixer only (TcbDSMixer::NewChannel), which owns it.
    TcbDSMixerChannel(TcbDSMixer* Mixer, snd::TickSource& ticks);

    void CreateBuffer();
    void CloseBuffer();
    void CloseFile();
    void ResetPlayback();
    void ReadIntoCopy(uint32_t Offset, uint32_t Count);
    void FillFromReader(uint32_t Offset, uint32_t Count);
    void WriteSilenceChunk(uint32_t Offset, uint32_t Count);
    bool LockBuffer(uint32_t Offset, uint32_t Count, uint8_t*& P1, uint32_t& N1, uint8_t*& P2, uint32_t& N2);
    void UpdateBuffer();
    void Refill();
    bool Prefetch();
    void RefillFailed();
    void StopPlayback();
    void BufferLost();
    uint32_t PlayCursor();
    uint8_t SilenceByte() const { return bitsPerSample_ == 8 ? 0x80 : 0; }
    void PostMessage(int Message);
    void HandleMessage(int Message, uint32_t OpenCount);

    TcbDSMixer* mixer_;
    std::shared_ptr<snd::SoundBuffer> buffer_;
    std::string fileName_;
    bool analysisLock_ = false;
    bool primed_ = false;
    bool fadeActive_ = false;
    bool endOfData_ = false;
    uint32_t sampleRate_ = 0, channels_ = 0, bitsPerSample_ = 0, blockAlign_ = 0;
    uint32_t lengthMs_ = 0;
    uint32_t startTime_ = 0, endTime_ = 0;
    uint32_t bufferSize_ = 0, lowWater_ = 0, chunk_ = 0;
    uint32_t writeCursor_ = 0;
    uint32_t lastPlayCursor_ = 0;
    uint32_t lastRefill_ = 0;
    uint32_t frequency_ = 44100;
    uint32_t fadeStartTick_ = 0, fadeEndTick_ = 0;
    int32_t volume_ = 0, pan_ = 0;
    int32_t fadeStartVolume_ = 0, fadeEndVolume_ = 0;
    int64_t endOfDataPos_ = -1;
    std::unique_ptr<TcbAudioFileReader> reader_;
    // Held while the reader is made or freed, and by the refill thread's decoding ahead, which
    // runs without the channel's mutex.
    std::mutex readerLife_;
    uint8_t state_ = csStopped;
    TPositionTimes positions_;
    snd::TickSource& ticks_;
    std::vector<uint8_t> copy_;
    std::recursive_timed_mutex mutex_;
    int mutexNumber_ = 0;
    // Counts the opens, so that an event posted for a file closed since is dropped.
    std::atomic<uint32_t> openCount_{0};
    QObject* window_ = nullptr;
    std::unique_ptr<TcbUpdateChannelThread> thread_;
};

}  // namespace sound
