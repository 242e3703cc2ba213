// The MP3 scanner: finds the first frame of the audio (behind any ID3v2 tag, before any ID3v1
// tag) within its first 8192 bytes, confirmed by the frames that follow it or by a Xing
// header, and works out frame geometry, frame count and duration. The audio-file information
// reads it, and the MP3-to-WAV wrapping builds its RIFF header from the record.
// Reads only; user-interface thread.
#pragma once

#include <cstdint>
#include <string>

#include "tags/MpegFrame.h"

namespace tags {
class ReadOnlyFile;
}

struct TMp3Record : mpeg::FrameHeader {
    std::int64_t FirstFrame = -1;    // offset in the file; -1 when no audio was found
    std::int64_t AudioLength = 0;    // bytes from the first frame to the ID3v1 tag or the end
    std::uint8_t Header[4] = {};     // the first frame's header bytes
    std::int64_t XingPosition = -1;  // offset of the Xing header in the file, or -1
    int SamplesPerFrame = 0;
    int FrameLength = 0;             // bytes of the first frame (of the one behind an Info frame)
    std::int64_t FrameCount = 0;
    // kbit/s over the whole stream of a VBR stream without a VBR header, once its frames have
    // been counted (FrameCount is then their number); 0 otherwise.
    int AverageBitRate = 0;

    int BitRate() const;     // kbit/s of the first frame (of the one behind an Info frame)
    int SampleRate() const;  // Hz
};

// Scans the file into `Record`; the duration in milliseconds, 0 when no audio was found.
std::int64_t ScanMP3File(const std::string& FileName, TMp3Record& Record);
std::int64_t ScanMP3File(tags::ReadOnlyFile& file, TMp3Record& Record);
