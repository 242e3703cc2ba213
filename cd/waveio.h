// WAVE files frame by frame. TWaveStream reads and writes the data chunk of a RIFF WAVE file in
// whole frames (block-align units); TFileWaveStream opens or creates one by name;
// TPCMWaveReader turns any WAVE data FFmpeg can decode into PCM.
//
// Opening checks the file step by step and raises EWaveError with the step's text. Sizes come
// from the file and are never trusted: a data chunk larger than the file is clamped to it, and
// a format with no channels or a zero block align is refused, so nothing divides by zero.
//
// A written stream writes its chunk sizes when finished: call Finish() to see a failure; the
// destructor finishes quietly. Threads: none; one thread at a time.
#pragma once

#include "platform/media/MediaStream.h"
#include "platform/rtl/Streams.h"
#include "platform/sound/WaveFormat.h"
#include "platform/wave/Riff.h"

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace waveio {

class EWaveError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

constexpr uint16_t kMpegLayer3 = 0x55;

class TWaveStream {
public:
    virtual ~TWaveStream();
    TWaveStream(const TWaveStream&) = delete;
    TWaveStream& operator=(const TWaveStream&) = delete;

    // Up to `frames` frames from the position; fewer at the end of the data, 0 past it.
    virtual int64_t Read(void* buffer, int64_t frames);
    // Returns the new position; outside 0..Length raises.
    virtual int64_t Seek(int64_t frame, rtl::TSeekOrigin origin);
    // Writes `frames` frames at the position; a refused write raises.
    virtual int64_t Write(const void* buffer, int64_t frames);

    const snd::WaveFormat& Format() const { return format_; }
    // The bytes that follow the 18-byte format record (compressed formats only).
    const std::vector<uint8_t>& FormatExtra() const { return extra_; }
    int64_t Length() const { return length_; }
    int64_t Position() const { return position_; }
    const std::string& FileName() const { return fileName_; }

    // Writes the chunk sizes of a created stream and flushes it.
    void Finish();

protected:
    TWaveStream() = default;
    void openForReading(const std::string& path);
    void createForWriting(const std::string& path, const snd::WaveFormat& format,
                          const std::vector<uint8_t>& extra);

private:
    void readFormat(const wave::ChunkInfo& fmt);

    wave::RiffFile file_;
    wave::ChunkInfo riff_, data_;
    snd::WaveFormat format_;
    std::vector<uint8_t> extra_;
    std::string fileName_;
    int64_t length_ = 0;
    int64_t position_ = 0;
    bool writing_ = false;
};

class TFileWaveStream : public TWaveStream {
public:
    // Opens an existing file for reading.
    explicit TFileWaveStream(const std::string& path);
    // Creates (replaces) a file holding `format`.
    TFileWaveStream(const std::string& path, const snd::WaveFormat& format,
                    const std::vector<uint8_t>& extra = {});
};

class TPCMWaveReader {
public:
    explicit TPCMWaveReader(TWaveStream& source);
    ~TPCMWaveReader();

    const snd::WaveFormat& Format() const { return pcm_; }
    // PCM frames: the source's for PCM, else the source length through the byte rates.
    int64_t Length() const { return length_; }
    // Up to `frames` PCM frames from the position; 0 at the end.
    int64_t Read(void* buffer, int64_t frames);

private:
    TWaveStream& source_;
    snd::WaveFormat pcm_;
    std::unique_ptr<media::MediaStream> decoder_;
    int64_t length_ = 0;
};

}  // namespace waveio
