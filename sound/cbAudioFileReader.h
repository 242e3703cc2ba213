// TcbAudioFileReader turns a music file into PCM on demand for the streaming channel. It owns
// one MediaStream (FFmpeg) and adds the playback window (start time and length limit) and the
// stream times of the data last read. Times are in 100-ns units throughout.
//
// Threads: none of its own; used under its channel's mutex, from the user-interface thread or
// the channel's refill thread, and decodes on the calling thread. Prefetch may also run
// without the channel's mutex, on the refill thread: a lock of the reader's own keeps the
// stream whole between it and Read or Seek.
#pragma once

#include "platform/media/MediaStream.h"

#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <string>

namespace sound {

class EAudioReadError : public std::runtime_error {
public:
    EAudioReadError(const std::string& message, int32_t code) : std::runtime_error(message), ErrorCode(code) {}
    int32_t ErrorCode;
};

// The message of a reader result, as raised in EAudioReadError.
std::string AudioReadErrorText(int32_t code);

class TcbAudioFileReader {
public:
    static constexpr int32_t kInvalidBufferSize = 0x8000001;
    static constexpr int64_t kMinLength = 100000;           // 10 ms
    static constexpr int64_t kMaxLength = 1000000000000000;  // 10^15

    // Raises EAudioReadError when the file cannot be opened or decoded.
    explicit TcbAudioFileReader(const std::string& FileName);

    // Bytes written to Buffer; 0 at the end of the stream or of the length limit.
    uint32_t Read(uint8_t* Buffer, uint32_t Size);
    // Decodes a little of what the next reads will take, while less than Ms milliseconds are
    // decoded ahead; nothing else the reader reports changes. False when there is nothing more
    // to do now, or Read or Seek holds the stream.
    bool Prefetch(uint32_t Ms);
    void Seek(int64_t Time);
    void SetStartTime(int64_t Time);
    void SetLength(int64_t Length);

    const snd::WaveFormat& Format() const { return stream_.format(); }
    const std::string& FileName() const { return fileName_; }
    int64_t Duration() const { return duration_; }
    int64_t CurrentTime() const { return currentTime_; }
    int64_t StartTime() const { return startTime_; }
    int64_t Length() const { return length_; }
    int64_t SampleStartTime() const { return sampleStart_; }
    int64_t SampleEndTime() const { return sampleEnd_; }

private:
    static void Check(int32_t result);

    media::MediaStream stream_;
    std::mutex streamLock_;
    std::string fileName_;
    int64_t currentTime_ = 0;
    int64_t duration_ = 0;
    int64_t startTime_ = 0;
    int64_t length_ = 0;
    int64_t sampleStart_ = 0;
    int64_t sampleEnd_ = 0;
};

}  // namespace sound
