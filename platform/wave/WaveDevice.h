// Wave input and output devices in the manner of the platform's wave API: open a device (or
// the mapper, -1) with a PCM format, hand it buffers, get each back when it is full (input) or
// played (output), reset, close. Results are the platform's codes (0 success) and
// waveErrorText() gives their texts.
//
// Backends: a WaveSystem lists the devices and opens a CaptureSource or PlaybackSink for one;
// ALSA is the real system (AlsaWave.h), TestWave.h has a generated input on a ManualClock and
// an output that records what it plays.
//
// A NOTE ON THREADS. Every method of WaveIn and WaveOut is called from one owner thread. Each
// open device runs one thread of its own that moves data between the backend and the queued
// buffers; the buffer callback runs on that thread (and, for buffers that reset() returns,
// on the owner's thread inside reset()). The callback must not call back into the device:
// it copies what it needs and posts. reset() and close() join the device thread, so no
// callback runs after they return. Backend methods are called from the device thread except
// open(), start(), stop() (owner) and interrupt() (any thread).
#pragma once

#include "platform/sound/WaveFormat.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace wave {

namespace result {
constexpr int32_t kOk = 0;
constexpr int32_t kError = 1;
constexpr int32_t kBadDeviceId = 2;
constexpr int32_t kAllocated = 4;
constexpr int32_t kInvalidHandle = 5;
constexpr int32_t kNoDriver = 6;
constexpr int32_t kNoMem = 7;
constexpr int32_t kInvalidParam = 11;
constexpr int32_t kBadFormat = 32;
constexpr int32_t kStillPlaying = 33;
constexpr int32_t kUnprepared = 34;
}  // namespace result

// The platform text of a result code.
std::string waveErrorText(int32_t code);

constexpr int kWaveMapper = -1;
// Device ids 0..kMaxDevices-1 name devices; everything else is the mapper.
constexpr int kMaxDevices = 10;

struct WaveHeader {
    enum Flags : uint32_t { Done = 1, Prepared = 2, InQueue = 16 };
    uint8_t* data = nullptr;     // owned by the caller
    uint32_t bufferLength = 0;
    uint32_t bytesRecorded = 0;  // input: bytes filled
    uintptr_t user = 0;
    uint32_t flags = 0;
};

class CaptureSource {
public:
    virtual ~CaptureSource() = default;
    virtual int32_t open(const snd::WaveFormat& format) = 0;
    virtual int32_t start() = 0;
    // Blocks until frames arrive, interrupt() is called or about 100 ms pass; frames read
    // (0: none yet), negative on failure.
    virtual int64_t read(uint8_t* dst, uint32_t maxFrames) = 0;
    virtual void interrupt() = 0;
    // After the device thread has ended; start() may follow.
    virtual void stop() = 0;
};

class PlaybackSink {
public:
    virtual ~PlaybackSink() = default;
    virtual int32_t open(const snd::WaveFormat& format) = 0;
    // Plays frames, blocking while the device is full; frames taken (0 when interrupted),
    // negative on failure.
    virtual int64_t write(const uint8_t* src, uint32_t frames) = 0;
    virtual void interrupt() = 0;
    // Drops what is still queued in the device; after the device thread has ended.
    virtual void stop() = 0;
};

class WaveSystem {
public:
    virtual ~WaveSystem() = default;
    virtual std::vector<std::string> inputDevices() = 0;
    virtual std::vector<std::string> outputDevices() = 0;
    // `device` is a valid index or kWaveMapper.
    virtual std::unique_ptr<CaptureSource> createInput(int device) = 0;
    virtual std::unique_ptr<PlaybackSink> createOutput(int device) = 0;
};

// The ALSA devices of this machine.
std::shared_ptr<WaveSystem> alsaWaveSystem();

class WaveIn {
public:
    using Callback = std::function<void(WaveHeader*)>;

    explicit WaveIn(std::shared_ptr<WaveSystem> system);
    ~WaveIn();
    WaveIn(const WaveIn&) = delete;
    WaveIn& operator=(const WaveIn&) = delete;

    [[nodiscard]] int32_t open(int device, const snd::WaveFormat& format, Callback callback);
    [[nodiscard]] int32_t prepareHeader(WaveHeader* h);
    [[nodiscard]] int32_t unprepareHeader(WaveHeader* h);
    [[nodiscard]] int32_t addBuffer(WaveHeader* h);
    [[nodiscard]] int32_t start();
    // Stops capture and returns every queued buffer (done, with what it holds so far).
    [[nodiscard]] int32_t reset();
    // kStillPlaying while buffers are queued.
    [[nodiscard]] int32_t close();
    bool isOpen() const { return source_ != nullptr; }
    // Frames that arrived while no buffer was queued, since open.
    uint64_t droppedFrames() const { return dropped_; }

private:
    void run();
    void stopThread();

    std::shared_ptr<WaveSystem> system_;
    std::unique_ptr<CaptureSource> source_;
    snd::WaveFormat format_;
    Callback callback_;
    std::mutex m_;
    std::deque<WaveHeader*> queue_;
    std::thread thread_;
    std::atomic<bool> running_{false};
    std::atomic<uint64_t> dropped_{0};
};

class WaveOut {
public:
    using Callback = std::function<void(WaveHeader*)>;

    explicit WaveOut(std::shared_ptr<WaveSystem> system);
    ~WaveOut();
    WaveOut(const WaveOut&) = delete;
    WaveOut& operator=(const WaveOut&) = delete;

    [[nodiscard]] int32_t open(int device, const snd::WaveFormat& format, Callback callback);
    [[nodiscard]] int32_t prepareHeader(WaveHeader* h);
    [[nodiscard]] int32_t unprepareHeader(WaveHeader* h);
    // Queues a prepared buffer for playing; bufferLength bytes of whole frames are played.
    [[nodiscard]] int32_t write(WaveHeader* h);
    // Stops playing and returns every queued buffer.
    [[nodiscard]] int32_t reset();
    [[nodiscard]] int32_t close();
    bool isOpen() const { return sink_ != nullptr; }

private:
    void run();
    void stopThread();

    std::shared_ptr<WaveSystem> system_;
    std::unique_ptr<PlaybackSink> sink_;
    snd::WaveFormat format_;
    Callback callback_;
    std::mutex m_;
    std::condition_variable cv_;
    std::deque<WaveHeader*> queue_;
    std::thread thread_;
    std::atomic<bool> running_{false};
};

}  // namespace wave
