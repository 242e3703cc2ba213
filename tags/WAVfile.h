// The RIFF WAVE header of a .wav file for the audio-file information: format, channels,
// rates, where the sample data starts and how long it is. The chunks are walked one by one
// with every size checked against the file, so LIST, fact or other chunks before "data" and
// truncated or lying sizes are handled. Reads only; user-interface thread.
#pragma once

#include <cstdint>
#include <string>

namespace tags {
class ReadOnlyFile;
}

class TWAVfile {
public:
    TWAVfile() { ResetData(); }

    // True when the file could be read; `Valid` tells whether it is a usable WAVE file
    // ("fmt " and "data" chunks, 1 or 2 channels).
    bool ReadFromFile(const std::string& FileName);
    bool ReadFromFile(tags::ReadOnlyFile& file);
    void ResetData();

    std::string Format() const;   // "Windows PCM", ..., empty for other format tags
    std::string Channel() const;  // "Mono", "Stereo", else "Unknown"
    // Seconds of sample data: the "fact" count of compressed data, else the data over the byte
    // rate; 0 without either.
    double Duration() const;

    bool Valid = false;
    std::uint16_t FormatID = 0;
    std::uint8_t ChannelNumber = 0;
    std::uint32_t SampleRate = 0;
    std::uint32_t BytesPerSecond = 0;
    std::uint16_t BlockAlign = 0;
    std::uint16_t BitsPerSample = 0;
    std::int64_t SampleNumber = 0;  // sample frames: the "fact" count, else data / block align
    std::int64_t HeaderSize = 0;    // where the sample data starts
    std::int64_t FileSize = 0;      // RIFF size + 8, at most the real file size
    std::int64_t DataSize = 0;      // bytes of sample data present in the file
    std::uint16_t SubFormatID = 0;  // WAVE_FORMAT_EXTENSIBLE's real format tag, else 0
    bool HasFact = false;
    // The data chunk's size is not the sound's: never filled in, or past the end of a cut
    // file (the sound then runs to the end of the file, or to an ID3v1 tag there).
    bool DataPastEnd = false;
};

// Writes the true sizes into the data and RIFF chunk headers of a WAVE whose sound runs to the
// end of the file (`DataPastEnd`), so that an ID3v1 tag appended behind it is not taken for
// sound. True when the sizes were right already or are now; false when the file could not be
// read or written.
[[nodiscard]] bool SealWaveData(const std::string& FileName);
