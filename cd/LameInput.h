// What the MP3 encoder reads from an input file: where its samples are, how many, and their
// rate and channels. A file whose bytes 8-11 say "WAVE" must be a RIFF WAVE of 16-bit PCM,
// found by walking its chunks (tags' TWAVfile, every size checked against the file), so that
// chunks before "data" (ffmpeg's LIST) are never taken for sound; anything else is raw 16-bit
// PCM from its first byte, with the rate and channels the caller gives.
#pragma once

#include <cstdint>

namespace tags {
class ReadOnlyFile;
}

namespace cd {

struct TLameInput {
    bool Wave = false;
    std::uint32_t SampleRate = 0;
    std::uint16_t Channels = 0;
    std::uint16_t BlockAlign = 0;     // bytes of one sample frame
    std::int64_t DataStart = 0;
    std::int64_t DataSize = 0;        // whole frames present in the file
};

// False for a WAVE that is not 16-bit PCM (plain or extensible) with one or two channels, has no "fmt " or "data"
// chunk within the file, or whose block alignment disagrees with its channels.
[[nodiscard]] bool DescribeLameInput(tags::ReadOnlyFile& file, std::uint32_t rawRate,
                                     std::uint16_t rawChannels, TLameInput& input);

}  // namespace cd
