#include "tags/WAVfile.h"

#include <algorithm>
#include <cstring>

#include "tags/ReadOnlyFile.h"

// RIFF: "RIFF", size of what follows, "WAVE", then chunks of a 4-character identifier, a
// little-endian size and the data, padded to an even length. "fmt " holds format tag,
// channels, sample rate, byte rate, block align and bits per sample; "fact" the sample count
// of compressed data; "data" the samples. Streaming writers leave sizes of 0 or 0xFFFFFFFF,
// so a size past the end of the file is cut to the file.

namespace {

constexpr std::int64_t kRiffHeader = 12;
constexpr std::int64_t kChunkHeader = 8;
constexpr std::size_t kFormatBytes = 16;
// A file of nothing but empty chunks must not keep us reading.
constexpr int kMaxChunks = 4096;

struct FormatName {
    std::uint16_t id;
    const char* name;
};
constexpr FormatName kFormats[] = {{1, "Windows PCM"},    {2, "Microsoft ADPCM"},
                                   {6, "A-LAW"},          {7, "MU-LAW"},
                                   {17, "DVI/IMA ADPCM"}, {85, "MPEG Layer III"}};

}  // namespace

void TWAVfile::ResetData()
{
    Valid = false;
    FormatID = 0;
    ChannelNumber = 0;
    SampleRate = 0;
    BytesPerSecond = 0;
    BlockAlign = 0;
    BitsPerSample = 0;
    SampleNumber = 0;
    HeaderSize = 0;
    FileSize = 0;
    DataSize = 0;
}

bool TWAVfile::ReadFromFile(const std::string& FileName)
{
    tags::ReadOnlyFile file(FileName);
    return ReadFromFile(file);
}

bool TWAVfile::ReadFromFile(tags::ReadOnlyFile& file)
{
    ResetData();
    if (!file.isOpen())
        return false;
    std::uint8_t riff[kRiffHeader];
    if (!file.readExact(0, sizeof riff, riff) || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0)
        return true;
    FileSize =
        std::min<std::int64_t>(std::int64_t(tags::littleEndian32(riff + 4)) + 8, file.size());

    bool haveFormat = false, haveData = false, haveFact = false;
    std::int64_t at = kRiffHeader;
    for (int chunks = 0; chunks < kMaxChunks && at + kChunkHeader <= FileSize; ++chunks) {
        std::uint8_t header[kChunkHeader];
        if (!file.readExact(at, sizeof header, header))
            break;
        const std::int64_t start = at + kChunkHeader;
        const std::int64_t size =
            std::min<std::int64_t>(tags::littleEndian32(header + 4), file.size() - start);
        std::uint8_t body[kFormatBytes];
        if (!haveFormat && std::memcmp(header, "fmt ", 4) == 0 &&
            size >= std::int64_t(kFormatBytes) && file.readExact(start, kFormatBytes, body)) {
            haveFormat = true;
            FormatID = tags::littleEndian16(body);
            const std::uint16_t channels = tags::littleEndian16(body + 2);
            ChannelNumber = static_cast<std::uint8_t>(channels > 255 ? 255 : channels);
            SampleRate = tags::littleEndian32(body + 4);
            BytesPerSecond = tags::littleEndian32(body + 8);
            BlockAlign = tags::littleEndian16(body + 12);
            BitsPerSample = tags::littleEndian16(body + 14);
        } else if (std::memcmp(header, "fact", 4) == 0 && size >= 4 &&
                   file.readExact(start, 4, body)) {
            haveFact = true;
            SampleNumber = tags::littleEndian32(body);
        } else if (!haveData && std::memcmp(header, "data", 4) == 0) {
            haveData = true;
            HeaderSize = start;
            DataSize = size;
        }
        if (haveFormat && haveData)
            break;
        at = start + size + (size & 1);
    }
    if (!haveFact && BlockAlign > 0)
        SampleNumber = DataSize / BlockAlign;
    Valid = haveFormat && haveData && (ChannelNumber == 1 || ChannelNumber == 2);
    return true;
}

std::string TWAVfile::Format() const
{
    for (const auto& format : kFormats)
        if (format.id == FormatID)
            return format.name;
    return {};
}

std::string TWAVfile::Channel() const
{
    static const char* const kChannels[] = {"Unknown", "Mono", "Stereo"};
    return kChannels[ChannelNumber <= 2 ? ChannelNumber : 0];
}

double TWAVfile::Duration() const
{
    return BytesPerSecond > 0 ? double(DataSize) / BytesPerSecond : 0.0;
}
