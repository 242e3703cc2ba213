// MediaStream decodes one music file (MP3, MP1, MP2, MPA, WAV, WMA, AU, AIFF and whatever else
// FFmpeg reads) to interleaved PCM on demand. It owns the FFmpeg demuxer, decoder and sample
// converter of that file.
//
// Format: lossy codecs give 16-bit PCM; PCM sources keep their true depth (8, 16, 24 or 32
// bits) and channel count, so callers can refuse what they cannot play. The rate is never
// converted.
//
// Results are 32-bit codes in the platform's style: 0 success, kEndOfStream when read finds
// no more data, negative values are failures; errorText() gives the platform text of the
// codes this class produces.
//
// Positions are sample frames from the start of the decoded data, times are 100-ns units.
// Seeking is sample exact: PCM sources seek directly; compressed ones decode forward from the
// nearest point that is known exactly (the current position, or the start of the file). A
// compressed stream sent back is reopened from the start by the next read(), not by seek().
//
// Threads: none of its own. One thread at a time (callers lock).
#pragma once

#include "platform/sound/WaveFormat.h"

#include <cstdint>
#include <memory>
#include <string>

namespace media {

class MediaStream {
public:
    static constexpr int32_t kOk = 0;
    static constexpr int32_t kEndOfStream = 0x40003;
    static constexpr int32_t kNoStream = static_cast<int32_t>(0x80040403);
    static constexpr int32_t kFileNotFound = static_cast<int32_t>(0x80070002);
    static constexpr int32_t kInvalidFileFormat = static_cast<int32_t>(0x8004022F);
    static constexpr int32_t kUnsupportedStream = static_cast<int32_t>(0x80040265);
    static constexpr int32_t kReadFault = static_cast<int32_t>(0x8007001E);
    static constexpr int32_t kNotOpen = static_cast<int32_t>(0x80040407);

    MediaStream();
    ~MediaStream();
    MediaStream(const MediaStream&) = delete;
    MediaStream& operator=(const MediaStream&) = delete;

    [[nodiscard]] int32_t open(const std::string& path);
    void close();
    bool isOpen() const;

    const snd::WaveFormat& format() const;
    // Length of the decoded data in 100-ns units; 0 when the file does not say.
    int64_t duration() const;
    // An MPEG audio stream whose file states no length (no VBR header): duration() is FFmpeg's
    // guess from the bit rate, which misses for a VBR stream.
    bool durationGuessedFromBitRate() const;

    // Fills up to `size` bytes (rounded down to whole frames) and sets `actual`. The whole
    // request is filled except at the end of the data, which gives a short tail and then
    // kEndOfStream with actual 0.
    [[nodiscard]] int32_t read(uint8_t* dst, uint32_t size, uint32_t& actual);
    // Decodes one more piece of the stream ahead of read(), while less than `maxBytes` of PCM
    // waits decoded; the reads that follow take it first. Nothing that read() and the
    // positions report changes: a failure met here is returned by the read() that reaches it.
    // False when there is nothing more to do: enough is waiting, the end is reached, or a
    // failure.
    bool prefetch(uint32_t maxBytes);
    // Moves to the frame at `time` (100-ns units); beyond the end is allowed and reads nothing.
    // When a compressed stream goes back, a failure to reopen its file is returned by the next
    // read() (the stream is closed then).
    [[nodiscard]] int32_t seek(int64_t time);

    // Frame index of the next frame read() delivers.
    int64_t position() const;
    // Stream time of the data the last read() delivered, 100-ns units.
    int64_t sampleStart() const;
    int64_t sampleEnd() const;

    int64_t framesToTime(int64_t frames) const;
    int64_t timeToFrames(int64_t time) const;

    // The platform text for a result of this class, "" when it has none.
    static std::string errorText(int32_t result);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

}  // namespace media
