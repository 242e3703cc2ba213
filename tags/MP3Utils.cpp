#include "tags/MP3Utils.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "tags/ReadOnlyFile.h"
#include "tags/xID3v1.h"
#include "tags/xID3v2.h"

namespace {

constexpr std::size_t kScanBytes = 8192;
constexpr int kMaxFollowedFrames = 8;
// A first frame counts when this many frames (itself included) line up behind it.
constexpr int kMinFrames = 3;

struct Chain {
    int frames = 0;
    bool paddingSeen = false;
    bool reachesEnd = false;  // the frames fill the audio exactly
};

// Follows the frames from `pos` through the block while their headers agree with the first.
Chain followFrames(const std::vector<std::uint8_t>& block, std::size_t pos, bool blockIsAll)
{
    Chain chain;
    const mpeg::FrameHeader first = mpeg::decodeHeader(block.data() + pos);
    std::size_t at = pos;
    while (chain.frames < kMaxFollowedFrames && at + 4 <= block.size() &&
           mpeg::isValidHeader(block.data() + at)) {
        const mpeg::FrameHeader header = mpeg::decodeHeader(block.data() + at);
        const int length = mpeg::frameLength(header);
        if (!mpeg::sameStream(first, header) || length <= 0)
            break;
        ++chain.frames;
        chain.paddingSeen = chain.paddingSeen || header.PaddingBit;
        at += static_cast<std::size_t>(length);
    }
    chain.reachesEnd = blockIsAll && at == block.size();
    return chain;
}

void describe(const std::uint8_t* bytes, std::int64_t offset, TMp3Record& record)
{
    static_cast<mpeg::FrameHeader&>(record) = mpeg::decodeHeader(bytes);
    record.FirstFrame = offset;
    std::memcpy(record.Header, bytes, 4);
    record.SamplesPerFrame = mpeg::samplesPerFrame(record.VersionID, record.LayerID);
    record.FrameLength = mpeg::frameLength(record);
}

// Frames in the audio from the first frame on, from the average frame length in 1/65536
// bytes: exact from the rates when padded frames were seen, else the first frame's length.
std::int64_t estimateFrames(const TMp3Record& r, bool paddingSeen)
{
    const std::int64_t average = paddingSeen
                                     ? 8192000LL * r.BitRate() * r.SamplesPerFrame / r.SampleRate()
                                     : std::int64_t(r.FrameLength) * 65536;
    return average > 0 ? (r.AudioLength + 2) * 65536 / average + 1 : 0;
}

}  // namespace

int TMp3Record::BitRate() const { return mpeg::bitRate(VersionID, LayerID, BitRateID); }
int TMp3Record::SampleRate() const { return mpeg::sampleRate(VersionID, SampleRateID); }

std::int64_t ScanMP3File(const std::string& FileName, TMp3Record& Record)
{
    tags::ReadOnlyFile file(FileName);
    return ScanMP3File(file, Record);
}

std::int64_t ScanMP3File(tags::ReadOnlyFile& file, TMp3Record& Record)
{
    Record = TMp3Record{};
    if (!file.isOpen())
        return 0;
    const std::int64_t audioStart = tags::id3v2TagSize(file);
    const std::int64_t end = file.size() - tags::trailingTagsSize(file, audioStart);
    const std::int64_t start = mpeg::skipZeros(file, audioStart, end);
    if (end - start < 4)
        return 0;
    const bool blockIsAll = end - start <= std::int64_t(kScanBytes);
    const auto block = file.readAt(start, blockIsAll ? std::size_t(end - start) : kScanBytes);

    for (std::size_t pos = 0; pos + 4 <= block.size(); ++pos) {
        const std::uint8_t* bytes = block.data() + pos;
        if (!mpeg::isValidHeader(bytes))
            continue;
        const mpeg::FrameHeader header = mpeg::decodeHeader(bytes);
        const std::int64_t offset = start + std::int64_t(pos);
        mpeg::VbrHeader xing = mpeg::readXing(file, offset, header);
        // A count of 0 says nothing of the length; a CBR file's Info header is counted as frames.
        xing.Found = xing.Found && xing.ID == "Xing" && xing.Frames > 0;
        const Chain chain = xing.Found ? Chain{} : followFrames(block, pos, blockIsAll);
        if (!xing.Found && chain.frames < kMinFrames && !(chain.reachesEnd && chain.frames >= 2))
            continue;
        describe(bytes, offset, Record);
        if (const auto next = mpeg::headerBehindInfo(file, offset, header, xing)) {
            static_cast<mpeg::FrameHeader&>(Record) = *next;
            Record.FrameLength = mpeg::frameLength(Record);
        }
        Record.AudioLength = end - offset;
        if (xing.Found) {
            Record.XingPosition = offset + mpeg::xingOffset(header.VersionID, header.ModeID);
            Record.FrameCount = xing.Frames;
        } else {
            Record.FrameCount = estimateFrames(Record, chain.paddingSeen);
        }
        return Record.FrameCount * Record.SamplesPerFrame * 1000 / Record.SampleRate();
    }
    return 0;
}
