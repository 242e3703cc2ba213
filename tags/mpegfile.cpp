#include "tags/mpegfile.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "tags/MpegFrame.h"
#include "tags/ReadOnlyFile.h"
#include "tags/xID3v1.h"
#include "tags/xID3v2.h"

namespace {

constexpr std::int64_t kMinFileSize = 6;
// The first frame mostly stands right where the search starts: small blocks read little.
constexpr std::size_t kScanBlock = 4 * 1024;

// A header at `pos` whose successor one frame length on is a header of the same stream.
bool isFirstFrame(tags::ReadOnlyFile& file, std::int64_t pos, const std::uint8_t* bytes,
                  std::int64_t audioEnd)
{
    if (!mpeg::isValidHeader(bytes))
        return false;
    const mpeg::FrameHeader header = mpeg::decodeHeader(bytes);
    const std::int64_t next = pos + mpeg::frameLength(header);
    std::uint8_t nextBytes[4];
    return next > pos && next + 4 <= audioEnd && file.readExact(next, 4, nextBytes) &&
           mpeg::isValidHeader(nextBytes) &&
           mpeg::sameStream(header, mpeg::decodeHeader(nextBytes));
}

// Offset of the first frame in [start, end), or -1. Reads in blocks; only a byte 0xFF can
// start a header.
std::int64_t findFirstFrame(tags::ReadOnlyFile& file, std::int64_t start, std::int64_t end)
{
    for (std::int64_t block = start; block + 4 <= end; block += kScanBlock) {
        const auto bytes = file.readAt(block, kScanBlock + 3);
        const std::size_t positions = std::min<std::size_t>(kScanBlock, bytes.size());
        for (std::size_t i = 0; i + 4 <= bytes.size() && i < positions; ++i) {
            const void* sync = std::memchr(bytes.data() + i, 0xFF, positions - i);
            if (!sync)
                break;
            i = static_cast<const std::uint8_t*>(sync) - bytes.data();
            if (i + 4 <= bytes.size() && block + std::int64_t(i) + 4 <= end &&
                isFirstFrame(file, block + std::int64_t(i), bytes.data() + i, end))
                return block + std::int64_t(i);
        }
    }
    return -1;
}

void describeHeader(const mpeg::FrameHeader& h, TMPEGData& data)
{
    static const std::uint8_t kVersionNumbers[4] = {3, 0, 2, 1};
    data.Version = kVersionNumbers[h.VersionID];
    data.Layer = static_cast<std::uint8_t>(4 - h.LayerID);
    data.SampleRate = static_cast<std::uint16_t>(mpeg::sampleRate(h.VersionID, h.SampleRateID));
    data.BitRate = static_cast<std::uint16_t>(mpeg::bitRate(h.VersionID, h.LayerID, h.BitRateID));
    data.Mode = h.ModeID;
    data.Copyright = h.CopyrightBit;
    data.Original = h.OriginalBit;
    data.NoCrc = !h.ProtectionBit;
    data.Padding = h.PaddingBit;
    data.FrameLength = static_cast<std::uint16_t>(mpeg::frameLength(h));
}

// A Xing header gives the true frame count of a VBR file, and with it the average frame
// length, bit rate and duration.
void applyXing(tags::ReadOnlyFile& file, std::int64_t frame, const mpeg::FrameHeader& h,
               std::int64_t audioBytes, TMPEGData& data)
{
    const mpeg::VbrHeader xing = mpeg::readXing(file, frame, h);
    const int samples = mpeg::samplesPerFrame(h.VersionID, h.LayerID);
    if (!xing.Found || xing.ID != "Xing" || xing.Frames == 0 || data.SampleRate == 0 || samples == 0)
        return;
    data.Encoder = "Audio Catalyst VBR";
    const double seconds = double(xing.Frames) * samples / data.SampleRate;
    data.FrameLength =
        static_cast<std::uint16_t>(std::min<std::int64_t>(audioBytes / xing.Frames, 0xFFFF));
    data.BitRate =
        static_cast<std::uint16_t>(std::min(audioBytes * 8.0 / seconds / 1000.0, 65535.0));
    data.Duration = static_cast<std::uint32_t>(seconds);
}

// Some encoders leave a mark in the fourth header byte and the side information behind it.
void guessEncoder(const std::uint8_t* b, TMPEGData& data)
{
    if (b[3] == 4)
        data.Encoder = b[6] == 15 ? "Mp3 Compressor" : "RadiumCodec|Xing 2.20";
    if (b[3] == 'D')
        data.Encoder = b[7] == 0 ? "l3Enc" : b[6] == 1 ? "Audioactive P. Studio" : "mp3 Producer";
    if (b[3] & 0x08)
        data.Encoder = "Audio Catalyst";
    if (b[3] == 'L')
        data.Encoder = "Audio Catalyst VBR";
}

}  // namespace

int ReadMPEGData(const std::string& FileName, TMPEGData& Data)
{
    tags::ReadOnlyFile file(FileName);
    return ReadMPEGData(file, Data);
}

int ReadMPEGData(tags::ReadOnlyFile& file, TMPEGData& Data)
{
    Data = TMPEGData{};
    if (!file.isOpen() || file.size() < kMinFileSize)
        return -1;
    Data.FileSize = file.size();
    const std::int64_t start = tags::id3v2TagSize(file);
    const std::int64_t end = file.size() - tags::trailingTagsSize(file, start);
    const std::int64_t frame = findFirstFrame(file, start, end);
    std::uint8_t bytes[8];
    if (frame < 0 || !file.readExact(frame, 4, bytes))
        return 0;
    const mpeg::FrameHeader first = mpeg::decodeHeader(bytes);
    const mpeg::FrameHeader header =
        mpeg::headerBehindInfo(file, frame, first, mpeg::readXing(file, frame, first)).value_or(first);
    describeHeader(header, Data);
    const std::int64_t audioBytes = end - frame;
    if (Data.BitRate > 0)
        Data.Duration =
            static_cast<std::uint32_t>(audioBytes * 8 / (std::int64_t(Data.BitRate) * 1000));
    applyXing(file, frame, header, audioBytes, Data);
    if (file.readExact(frame, sizeof bytes, bytes))
        guessEncoder(bytes, Data);
    return 0;
}
