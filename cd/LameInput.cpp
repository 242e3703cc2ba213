#include "cd/LameInput.h"

#include "tags/ReadOnlyFile.h"
#include "tags/WAVfile.h"

#include <cstring>

namespace cd {

bool DescribeLameInput(tags::ReadOnlyFile& file, std::uint32_t rawRate, std::uint16_t rawChannels,
                       TLameInput& input)
{
    input = {};
    if (rawChannels == 0)
        return false;
    std::uint8_t kind[4];
    if (!file.readExact(8, sizeof kind, kind) || std::memcmp(kind, "WAVE", 4) != 0) {
        input.SampleRate = rawRate;
        input.Channels = rawChannels;
        input.BlockAlign = std::uint16_t(2 * rawChannels);
        input.DataSize = file.size() - file.size() % input.BlockAlign;
        return true;
    }
    TWAVfile wav;
    if (!wav.ReadFromFile(file) || !wav.Valid)
        return false;
    // 16-bit PCM, also as WAVE_FORMAT_EXTENSIBLE (ffmpeg's choice above 48 kHz).
    const bool pcm = wav.FormatID == 1 || (wav.FormatID == 0xFFFE && wav.SubFormatID == 1);
    if (!pcm || wav.BitsPerSample != 16 ||
        wav.BlockAlign != 2 * wav.ChannelNumber)
        return false;
    input.Wave = true;
    input.SampleRate = wav.SampleRate;
    input.Channels = wav.ChannelNumber;
    input.BlockAlign = wav.BlockAlign;
    input.DataStart = wav.HeaderSize;
    input.DataSize = wav.DataSize - wav.DataSize % wav.BlockAlign;
    return true;
}

}  // namespace cd
