#include "tags/MpegFrame.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "tags/ReadOnlyFile.h"

namespace mpeg {
namespace {

// kbit/s by [MPEG 1 ? 0 : 1][layer index: 0 Layer I, 1 Layer II, 2 Layer III][bit-rate index].
// MPEG 2.5 uses the MPEG 2 (low sampling frequency) rows.
constexpr short kBitRates[2][3][16] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}},
};

// Hz by [VersionID][sample-rate index].
constexpr int kSampleRates[4][4] = {
    {11025, 12000, 8000, 0}, {0, 0, 0, 0}, {22050, 24000, 16000, 0}, {44100, 48000, 32000, 0}};

// Enough for "Xing", flags, frames, bytes, table, quality and an 8-character encoder tag.
constexpr std::size_t kXingBytes = 128;
constexpr std::size_t kVbriBytes = 18;

bool validVersion(int versionID) { return versionID >= 0 && versionID <= 3 && versionID != 1; }
bool validLayer(int layerID) { return layerID >= 1 && layerID <= 3; }

}  // namespace

bool isValidHeader(const std::uint8_t* b)
{
    if (b[0] != 0xFF || (b[1] & 0xE0) != 0xE0)
        return false;
    const int version = (b[1] >> 3) & 3;
    const int layer = (b[1] >> 1) & 3;
    const int bitRateID = b[2] >> 4;
    const int sampleRateID = (b[2] >> 2) & 3;
    const int emphasis = b[3] & 3;
    return version != 1 && layer != 0 && bitRateID != 0 && bitRateID != 15 && sampleRateID != 3 &&
           emphasis != 2;
}

FrameHeader decodeHeader(const std::uint8_t* b)
{
    FrameHeader h;
    h.VersionID = (b[1] >> 3) & 3;
    h.LayerID = (b[1] >> 1) & 3;
    h.ProtectionBit = (b[1] & 1) == 0;
    h.BitRateID = b[2] >> 4;
    h.SampleRateID = (b[2] >> 2) & 3;
    h.PaddingBit = (b[2] & 2) != 0;
    h.PrivateBit = (b[2] & 1) != 0;
    h.ModeID = b[3] >> 6;
    h.ModeExtensionID = (b[3] >> 4) & 3;
    h.CopyrightBit = (b[3] & 8) != 0;
    h.OriginalBit = (b[3] & 4) != 0;
    h.EmphasisID = b[3] & 3;
    return h;
}

std::int64_t skipZeros(tags::ReadOnlyFile& file, std::int64_t from, std::int64_t end)
{
    constexpr std::int64_t kMaxSkipped = 1 << 20;
    constexpr std::size_t kStep = 16 * 1024;
    // Nearly every file's audio starts at once: a little is looked at first, so that the scan of
    // a music folder does not copy 16 KB of each file to find its first byte.
    constexpr std::size_t kFirstLook = 512;
    std::size_t step = kFirstLook;
    for (std::int64_t at = from; at < end && at - from < kMaxSkipped; at += std::int64_t(step), step = kStep) {
        const auto bytes = file.readAt(at, static_cast<std::size_t>(std::min<std::int64_t>(step, end - at)));
        const auto nonZero = std::find_if(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b != 0; });
        if (nonZero != bytes.end())
            return at + (nonZero - bytes.begin());
        if (bytes.size() < step)
            break;
    }
    return from;
}

bool sameStream(const FrameHeader& a, const FrameHeader& b)
{
    return a.VersionID == b.VersionID && a.LayerID == b.LayerID && a.SampleRateID == b.SampleRateID;
}

int bitRate(int versionID, int layerID, int bitRateID)
{
    if (!validVersion(versionID) || !validLayer(layerID) || bitRateID < 0 || bitRateID > 15)
        return 0;
    return kBitRates[versionID == kMpeg1 ? 0 : 1][3 - layerID][bitRateID];
}

int sampleRate(int versionID, int sampleRateID)
{
    if (versionID < 0 || versionID > 3 || sampleRateID < 0 || sampleRateID > 3)
        return 0;
    return kSampleRates[versionID][sampleRateID];
}

int samplesPerFrame(int versionID, int layerID)
{
    if (!validVersion(versionID) || !validLayer(layerID))
        return 0;
    if (layerID == kLayer1)
        return 384;
    // Layer II has 1152 samples in every version; only Layer III halves them below MPEG 1.
    if (layerID == kLayer3 && versionID != kMpeg1)
        return 576;
    return 1152;
}

int frameLength(int versionID, int layerID, int bitRateKbps, int sampleRateHz, bool padding)
{
    const int samples = samplesPerFrame(versionID, layerID);
    if (samples == 0 || bitRateKbps <= 0 || sampleRateHz <= 0)
        return 0;
    const std::int64_t bitsPerSecond = std::int64_t(bitRateKbps) * 1000;
    if (layerID == kLayer1)  // whole 4-byte slots
        return static_cast<int>((12 * bitsPerSecond / sampleRateHz + (padding ? 1 : 0)) * 4);
    return static_cast<int>(samples / 8 * bitsPerSecond / sampleRateHz + (padding ? 1 : 0));
}

int frameLength(const FrameHeader& h)
{
    return frameLength(h.VersionID, h.LayerID, bitRate(h.VersionID, h.LayerID, h.BitRateID),
                       sampleRate(h.VersionID, h.SampleRateID), h.PaddingBit);
}

FrameTally countFrames(tags::ReadOnlyFile& file, std::int64_t start, std::int64_t end, const FrameHeader& first)
{
    constexpr std::size_t kBlock = 256 * 1024;
    std::vector<std::uint8_t> block;
    std::int64_t blockStart = start;
    // The bytes [at, at + count) from the block, read anew from `at` when they are not in it.
    auto bytesAt = [&](std::int64_t at, std::size_t count) -> const std::uint8_t* {
        if (at < blockStart || at + std::int64_t(count) > blockStart + std::int64_t(block.size())) {
            block = file.readAt(at, std::max(kBlock, count));
            blockStart = at;
            if (block.size() < count)
                return nullptr;
        }
        return block.data() + (at - blockStart);
    };
    // The length of a frame of the stream at `at` that ends inside the audio, else 0.
    auto frameAt = [&](std::int64_t at) {
        const std::uint8_t* h = at + 4 <= end ? bytesAt(at, 4) : nullptr;
        if (!h || !isValidHeader(h))
            return 0;
        const FrameHeader header = decodeHeader(h);
        const int length = frameLength(header);
        return sameStream(first, header) && length > 0 && at + length <= end ? length : 0;
    };
    // Out of step: the next header of the stream that another follows (or that ends the
    // audio), or -1; only a 0xFF byte can start one.
    auto nextFrame = [&](std::int64_t at) -> std::int64_t {
        while (at + 4 <= end) {
            const std::uint8_t* here = bytesAt(at, 4);
            if (!here)
                return -1;
            const std::size_t searched = block.size() - std::size_t(at - blockStart) - 3;
            const void* sync = std::memchr(here, 0xFF, searched);
            if (!sync) {
                at += std::int64_t(searched);
                continue;
            }
            at += static_cast<const std::uint8_t*>(sync) - here;
            const int length = frameAt(at);
            if (length > 0 && (at + length == end || frameAt(at + length) > 0))
                return at;
            ++at;
        }
        return -1;
    };
    FrameTally tally;
    std::int64_t pos = start;
    while (pos + 4 <= end) {
        int length = frameAt(pos);
        if (length == 0) {
            pos = nextFrame(pos + 1);
            if (pos < 0)
                break;
            length = frameAt(pos);
        }
        ++tally.Frames;
        tally.Bytes += length;
        pos += length;
    }
    return tally;
}

int xingOffset(int versionID, int modeID)
{
    const bool mono = modeID == kModeMono;
    if (versionID == kMpeg1)
        return mono ? 21 : 36;
    return mono ? 13 : 21;
}

static VbrHeader parseXing(const std::uint8_t* bytes, std::size_t size)
{
    // "Xing", flags, then frames, bytes, a 100-byte table and the quality, each only when its
    // flag is set; an encoder tag (e.g. "LAME3.100") may follow.
    VbrHeader vbr;
    if (size < 8 || (std::memcmp(bytes, "Xing", 4) != 0 && std::memcmp(bytes, "Info", 4) != 0))
        return vbr;
    const std::uint32_t flags = tags::bigEndian32(bytes + 4);
    std::size_t at = 8;
    auto field = [&](std::uint32_t flag, std::size_t length) -> const std::uint8_t* {
        if (!(flags & flag) || at + length > size)
            return nullptr;
        const std::uint8_t* p = bytes + at;
        at += length;
        return p;
    };
    vbr.Found = true;
    vbr.ID.assign(reinterpret_cast<const char*>(bytes), 4);
    if (const auto* p = field(1, 4))
        vbr.Frames = tags::bigEndian32(p);
    if (const auto* p = field(2, 4))
        vbr.Bytes = tags::bigEndian32(p);
    field(4, 100);
    if (const auto* p = field(8, 4))
        vbr.Scale = p[3];
    if (at < size) {
        const std::size_t n = std::min<std::size_t>(8, size - at);
        const auto* begin = reinterpret_cast<const char*>(bytes + at);
        vbr.VendorID.assign(begin, std::find(begin, begin + n, '\0'));
    }
    return vbr;
}

static VbrHeader parseVbri(const std::uint8_t* bytes, std::size_t size)
{
    // "VBRI", version, delay, quality, bytes, frames (big-endian).
    VbrHeader vbr;
    if (size < 18 || std::memcmp(bytes, "VBRI", 4) != 0)
        return vbr;
    vbr.Found = true;
    vbr.ID = "VBRI";
    vbr.Scale = bytes[9];
    vbr.Bytes = tags::bigEndian32(bytes + 10);
    vbr.Frames = tags::bigEndian32(bytes + 14);
    return vbr;
}

VbrHeader readXing(tags::ReadOnlyFile& file, std::int64_t frameStart, const FrameHeader& header)
{
    const auto bytes =
        file.readAt(frameStart + xingOffset(header.VersionID, header.ModeID), kXingBytes);
    return parseXing(bytes.data(), bytes.size());
}

std::optional<FrameHeader> headerBehindInfo(tags::ReadOnlyFile& file, std::int64_t frameStart,
                                            const FrameHeader& header, const VbrHeader& xing)
{
    std::uint8_t next[4];
    const int length = frameLength(header);
    if (length <= 0 || xing.ID != "Info" ||
        !file.readExact(frameStart + length, sizeof next, next) || !isValidHeader(next) ||
        !sameStream(header, decodeHeader(next)))
        return std::nullopt;
    return decodeHeader(next);
}

VbrHeader readVbri(tags::ReadOnlyFile& file, std::int64_t frameStart)
{
    const auto bytes = file.readAt(frameStart + kVbriOffset, kVbriBytes);
    return parseVbri(bytes.data(), bytes.size());
}

}  // namespace mpeg
