// TAudio records PCM from a wave input device through a ring of four buffers, handing each
// filled buffer to OnRecord (optionally split into left and right channel), plays PCM streams
// through a wave output device, and writes recorded channel streams as a WAV file.
//
// Threads: every method and event runs on the user-interface thread. The wave input's device
// thread only copies a filled buffer and posts it to the recorder's receiver; OnRecord,
// requeueing and the player's buffer notices all run from the event loop. A report posted
// before a close (or a reopen) is dropped: a closed device reports nothing.
#pragma once

#include "cd/waveio.h"
#include "platform/mixer/Mixer.h"
#include "platform/rtl/Streams.h"
#include "platform/wave/WaveDevice.h"

#include <QObject>
#include <QTemporaryFile>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace cd {

enum class TChannels { Mono, Stereo };
enum class TBPS { _8, _16 };

class TAudio;

class TAudioSettings {
public:
    virtual ~TAudioSettings();
    TChannels Channels() const { return channels_; }
    void SetChannels(TChannels v);
    TBPS BitsPerSample() const { return bits_; }
    void SetBitsPerSample(TBPS v);
    uint16_t SampleRate() const { return rate_; }
    void SetSampleRate(uint16_t v);
    // The PCM format these settings describe.
    snd::WaveFormat Format() const;

protected:
    explicit TAudioSettings(TAudio& owner) : owner_(owner) {}
    friend class TAudio;
    // Frees and builds the buffers for the current format; closes the device first.
    virtual void Rebuild() = 0;

    TAudio& owner_;
    TChannels channels_ = TChannels::Mono;
    TBPS bits_ = TBPS::_8;
    uint16_t rate_ = 11025;
};

class TRecorder : public TAudioSettings {
public:
    static constexpr int kBuffers = 4;

    explicit TRecorder(TAudio& owner);
    ~TRecorder() override;

    uint32_t NoSamples() const { return noSamples_; }
    void SetNoSamples(uint32_t v);
    bool SplitChannels() const { return split_; }
    // Only possible in stereo.
    void SetSplitChannels(bool v);
    int TrigLevel() const { return trigLevel_; }
    void SetTrigLevel(int v) { trigLevel_ = v; }
    bool Triggered() const { return triggered_; }
    void SetTriggered(bool v) { triggered_ = v; }

    // Opens the device and queues the four buffers; an open recorder succeeds at once.
    bool Open();
    bool Start();
    // Resets and closes the device ("Recorder already closed" when it is), and finishes the
    // output file.
    bool Close();
    bool IsOpen() const { return open_; }
    // Appends what is recorded from the trigger on to a new WAVE file of the recorder's
    // format, until the recorder closes. False (with the error text) when it cannot be made.
    bool OpenFile(const std::string& path);
    // Input frames lost because no buffer was queued, since the last open.
    uint64_t DroppedFrames() const { return in_.droppedFrames(); }
    // Bytes in one buffer.
    size_t BufferBytes() const { return buffers_[0].data.size(); }

private:
    struct Buffer {
        std::vector<uint8_t> data;
        std::vector<uint8_t> right;  // half of data: the right channel when splitting
        wave::WaveHeader header;
    };

    void Rebuild() override;
    void onFilled(wave::WaveHeader* h);  // device thread
    void onData(int index, const std::vector<uint8_t>& bytes);
    bool testTrigger(const std::vector<uint8_t>& bytes);
    bool fail(int32_t code, const char* context);
    void closeFile();

    uint32_t noSamples_ = 8192;
    bool split_ = false;
    int trigLevel_ = 0;
    bool triggered_ = false;
    bool open_ = false;
    std::atomic<uint64_t> generation_{0};
    std::array<Buffer, kBuffers> buffers_;
    std::vector<uint8_t> left_;
    std::unique_ptr<waveio::TFileWaveStream> file_;
    // Declared before the device, so that the device (and its thread) goes first.
    QObject receiver_;
    wave::WaveIn in_;
};

class TPlayer : public TAudioSettings {
public:
    static constexpr int kBuffers = 4;
    static constexpr uint32_t kBufferFrames = 8192;

    explicit TPlayer(TAudio& owner);
    ~TPlayer() override;

    // Plays `left`, or `left` and `right` interleaved when both are given and of equal size.
    // Both streams are read from their start. False when a device call failed or a play is
    // already being prepared.
    bool Play(rtl::TStream& left, rtl::TStream* right = nullptr);
    // Resets and closes the device ("Player already closed" when it is).
    bool Close();
    bool IsOpen() const { return open_; }

private:
    struct Buffer {
        std::vector<uint8_t> data;
        wave::WaveHeader header;
    };

    void Rebuild() override;
    bool writeWorkFile(rtl::TStream& left, rtl::TStream* right);
    bool fill(int index);
    void onPlayed(int index);
    void finish();
    bool fail(int32_t code, const char* context);

    bool open_ = false;
    bool preparing_ = false;
    bool cancel_ = false;
    int pending_ = 0;
    std::atomic<uint64_t> generation_{0};
    std::array<Buffer, kBuffers> buffers_;
    std::unique_ptr<QTemporaryFile> work_;
    QObject receiver_;
    wave::WaveOut out_;
};

class TMixerSettings {
public:
    bool Opened() const { return device_ != nullptr; }
    mixer::MixerDevice* Device() const { return device_.get(); }

private:
    friend class TAudio;
    std::unique_ptr<mixer::MixerDevice> device_;
};

class TAudio {
public:
    static constexpr const char* kVersion = "4.1 (32bit)";

    explicit TAudio(std::shared_ptr<wave::WaveSystem> waves = wave::alsaWaveSystem(),
                    std::shared_ptr<mixer::MixerSystem> mixers = mixer::alsaMixerSystem());
    ~TAudio();
    TAudio(const TAudio&) = delete;
    TAudio& operator=(const TAudio&) = delete;

    std::string Version() const { return kVersion; }
    // Writing the version restores it.
    void SetVersion(const std::string&) {}
    // 0..9, or -1 for the wave mapper (which any other value selects).
    int AudioDeviceID() const { return deviceId_; }
    void SetAudioDeviceID(int v);
    int MixerDeviceID() const { return mixerId_; }
    void SetMixerDeviceID(int v);
    // When false, a format change of the recorder or the player applies to both.
    bool SeparateCtrls() const { return separate_; }
    void SetSeparateCtrls(bool v) { separate_ = v; }
    TRecorder& Recorder() { return *recorder_; }
    TPlayer& Player() { return *player_; }
    TMixerSettings& Mixer() { return mixer_; }
    // The last failure.
    const std::string& ErrorText() const { return error_; }

    // Writes a 44-byte-header PCM WAVE file of the recorder's format: `left` and `right`
    // interleaved when both are given and of equal size, else `left` alone. The file is
    // replaced only when complete; false when it could not be written.
    [[nodiscard]] bool SaveToFile(const std::string& fileName, rtl::TStream& left, rtl::TStream* right = nullptr);

    std::function<void(TAudio* sender, const uint8_t* left, const uint8_t* right, uint32_t bytes)> OnRecord;
    std::function<void(TAudio* sender)> OnBufferPlayed;
    std::function<void(TAudio* sender)> OnPlayed;
    std::function<void(TAudio* sender)> OnMixerChange;

private:
    friend class TAudioSettings;
    friend class TRecorder;
    friend class TPlayer;

    void setError(std::string text) { error_ = std::move(text); }
    // The settings that a change made through `s` applies to.
    std::vector<TAudioSettings*> linked(TAudioSettings* s);
    void openMixer();

    std::shared_ptr<wave::WaveSystem> waves_;
    std::shared_ptr<mixer::MixerSystem> mixers_;
    int deviceId_ = 0;
    int mixerId_ = 0;
    bool separate_ = false;
    std::string error_;
    std::unique_ptr<TRecorder> recorder_;
    std::unique_ptr<TPlayer> player_;
    TMixerSettings mixer_;
};

// Interleaves two equal-sized channel blocks of `bytesPerSample`-byte samples into `out`.
void InterleaveChannels(const uint8_t* left, const uint8_t* right, size_t bytesPerChannel, int bytesPerSample,
                        uint8_t* out);

}  // namespace cd
