// The frame reader for the audio-file information: finds the first MPEG audio frame of a file
// (behind any ID3v2 tag, confirmed by the next frame's header), describes its header bits and
// estimates the duration, with a guess at the encoder from a few bytes of the first frame.
// Reads only; user-interface thread.
#pragma once

#include <cstdint>
#include <string>

namespace tags {
class ReadOnlyFile;
}

struct TMPEGData {
    std::uint32_t Duration = 0;    // whole seconds
    std::int64_t FileSize = 0;
    std::uint8_t Version = 0;      // 1 MPEG 1, 2 MPEG 2, 3 MPEG 2.5, 0 none
    std::uint8_t Layer = 0;        // 1..3, 0 none
    std::uint16_t SampleRate = 0;  // Hz
    std::uint16_t BitRate = 0;     // kbit/s
    std::uint8_t Mode = 0;         // the two channel-mode bits
    bool Copyright = false;
    bool Original = false;
    bool NoCrc = false;            // the header's protection bit as stored: true = no CRC
    bool Padding = false;
    std::uint16_t FrameLength = 0; // bytes; the average of a file with a Xing header
    std::string Encoder = "Nicht erkannt";
};

// Fills `Data` from the file: 0 on success (also when no frame was found: then only
// `FileSize` is set), -1 when the file cannot be read or is 5 bytes or shorter.
int ReadMPEGData(const std::string& FileName, TMPEGData& Data);
int ReadMPEGData(tags::ReadOnlyFile& file, TMPEGData& Data);
