#include "tags/WAVfile.h"

#include <algorithm>
#include <cstring>

#include "tags/ReadOnlyFile.h"
#include "tags/id3File.h"
#include "tags/xID3v1.h"
#include "util/SafeFile.h"

// RIFF: "RIFF", size of what follows, "WAVE", then chunks of a 4-character identifier, a
// little-endian size and the data, padded to an even length. "fmt " holds format tag,
// channels, sample rate, byte rate, block align and bits per sample; "fact" the sample count
// of compressed data; "data" the samples. Streaming writers leave sizes of 0 or 0xFFFFFFFF,
// so a size past the end of the file is cut to the file.

namespace {

constexpr std::int64_t kRiffHeader = 12;
constexpr std::int64_t kChunkHeader = 8;
constexpr std::size_t kFormatBytes = 16;
// The extensible format record: the 16 bytes above, its extra size, valid bits, channel mask and
// the sub-format GUID.
constexpr std::size_t kExtensibleBytes = 40;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;
constexpr std::uint16_t kFormatPcm = 1;
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
    SubFormatID = 0;
    HasFact = false;
    DataPastEnd = false;
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
    const std::uint32_t riffSize = tags::littleEndian32(riff + 4);
    // A streaming writer that never came back leaves 0 or 0xFFFFFFFF in both sizes.
    const bool streamed = riffSize == 0 || riffSize == 0xFFFFFFFF;
    FileSize = std::min<std::int64_t>(std::int64_t(riffSize) + 8, file.size());

    // The chunks are walked to the end of the file: a RIFF size too small to hold them (or
    // never filled in) must not hide the sound that every player finds.
    bool haveFormat = false, haveData = false, haveFact = false;
    std::int64_t at = kRiffHeader;
    for (int chunks = 0; chunks < kMaxChunks && at + kChunkHeader <= file.size(); ++chunks) {
        std::uint8_t header[kChunkHeader];
        if (!file.readExact(at, sizeof header, header))
            break;
        const std::int64_t start = at + kChunkHeader;
        const std::int64_t stated = tags::littleEndian32(header + 4);
        const std::int64_t size = std::min<std::int64_t>(stated, file.size() - start);
        std::uint8_t body[kExtensibleBytes];
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
            // WAVE_FORMAT_EXTENSIBLE names the real format in the first word of its GUID.
            if (FormatID == kFormatExtensible && size >= std::int64_t(kExtensibleBytes) &&
                file.readExact(start, kExtensibleBytes, body))
                SubFormatID = tags::littleEndian16(body + 24);
        } else if (std::memcmp(header, "fact", 4) == 0 && size >= 4 &&
                   file.readExact(start, 4, body)) {
            haveFact = true;
            SampleNumber = tags::littleEndian32(body);
        } else if (!haveData && std::memcmp(header, "data", 4) == 0) {
            haveData = true;
            HeaderSize = start;
            DataSize = size;
            // An unfilled data size runs to the end of the file, as it does for players.
            if (stated == 0 && streamed)
                DataSize = file.size() - start;
            // A sound that runs to the end of the file ends before an ID3v1 tag there. A data
            // size that fits the file is the sound's own, whatever its last bytes look like.
            const bool runsToEnd = stated > file.size() - start || (stated == 0 && streamed);
            const std::int64_t tagAt = file.size() - (runsToEnd ? tags::id3v1TagSize(file) : 0);
            if (tagAt >= start && start + DataSize > tagAt)
                DataSize = tagAt - start;
            DataPastEnd = stated != DataSize;
        }
        if (haveFormat && haveData)
            break;
        at = start + size + (size & 1);
    }
    if (haveData && FileSize < HeaderSize + DataSize)
        FileSize = file.size();
    if (!haveFact && BlockAlign > 0)
        SampleNumber = DataSize / BlockAlign;
    HasFact = haveFact;
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
    // Compressed data counts its samples in "fact": some writers leave a byte rate that does
    // not match their data (ffmpeg's ADPCM).
    if (HasFact && FormatID != kFormatPcm && SampleRate > 0)
        return double(SampleNumber) / SampleRate;
    return BytesPerSecond > 0 ? double(DataSize) / BytesPerSecond : 0.0;
}

bool SealWaveData(const std::string& FileName)
{
    TWAVfile wave;
    {
        tags::ReadOnlyFile file(FileName);
        if (!wave.ReadFromFile(file))
            return false;
    }
    if (!wave.DataPastEnd)
        return true;
    const std::int64_t end = wave.HeaderSize + wave.DataSize;
    if (end - 8 > 0xFFFFFFFFLL)
        return true;  // no RIFF size can say it; the file is left as players read it
    const auto le32 = [](std::int64_t v) {
        std::string b(4, '\0');
        for (int i = 0; i < 4; ++i)
            b[std::size_t(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
        return b;
    };
    id3file::Fd fd = id3file::openForWriting(FileName);
    return fd.valid() && safefile::writeAt(fd.get(), std::uint64_t(wave.HeaderSize - 4), le32(wave.DataSize)) &&
           safefile::writeAt(fd.get(), 4, le32(end - 8)) && safefile::flushInPlace(fd.get());
}
