#include "tags/MPEGaudio.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "tags/ReadOnlyFile.h"

namespace {

// The first frame is looked for among the first 1729 positions of a block of this size, block
// after block up to kJunkSearched bytes into the audio part (and, failing that, in a block in
// the middle of the audio).
constexpr std::size_t kSearchBlock = 3458;
constexpr std::size_t kSearchPositions = 1729;
constexpr std::int64_t kJunkSearched = 64 * 1024;

const char* const kVersions[] = {"MPEG 2.5", "MPEG ?", "MPEG 2", "MPEG 1"};
const char* const kLayers[] = {"Layer ?", "Layer III", "Layer II", "Layer I"};
const char* const kModes[] = {"Stereo", "Joint Stereo", "Dual Channel", "Mono", "Unknown"};
const char* const kEmphasis[] = {"None", "50/15 ms", "Unknown", "CCIT J.17"};
const char* const kEncoders[] = {"Unknown", "Xing", "FhG", "LAME", "Blade", "GoGo", "Shine"};

enum Encoders { kUnknown, kXing, kFhG, kLame, kBlade, kGoGo, kShine };

template <std::size_t N>
const char* textOf(const char* const (&table)[N], unsigned index)
{
    return table[index < N ? index : N - 1];
}

bool startsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Finds the first frame in a block read at `blockStart` (absolute): a valid header followed
// one frame length on by another of the same stream, both inside the block.
bool findFrame(const std::vector<std::uint8_t>& block, std::int64_t blockStart,
               std::int64_t audioStart, TMPEGaudio::FrameData& frame)
{
    const std::size_t size = block.size();
    for (std::size_t pos = 0; pos < kSearchPositions && pos + 4 <= size; ++pos) {
        const std::uint8_t* p = block.data() + pos;
        if (!mpeg::isValidHeader(p))
            continue;
        const mpeg::FrameHeader header = mpeg::decodeHeader(p);
        const std::size_t length = static_cast<std::size_t>(mpeg::frameLength(header));
        if (length == 0 || pos + length + 4 > size)
            continue;
        const std::uint8_t* next = p + length;
        if (!mpeg::isValidHeader(next) || !mpeg::sameStream(header, mpeg::decodeHeader(next)))
            continue;
        static_cast<mpeg::FrameHeader&>(frame) = header;
        frame.Found = true;
        frame.Position = blockStart + std::int64_t(pos) - audioStart;
        frame.Size = static_cast<std::uint16_t>(length);
        std::memcpy(frame.Data, p, 4);
        static const std::uint8_t kZeros[6] = {};
        frame.Xing = pos + 10 <= size && std::memcmp(p + 4, kZeros, 6) == 0;
        return true;
    }
    return false;
}

// Calls visit(header, length, pos) for each frame of the chain that starts at `pos` while the
// headers continue the stream of `first` (the last may run past the block's end); a visit
// that answers false ends the walk.
template <class Visit>
void walkChain(const std::vector<std::uint8_t>& block, std::size_t pos, const mpeg::FrameHeader& first, Visit visit)
{
    while (pos + 4 <= block.size() && mpeg::isValidHeader(block.data() + pos)) {
        const mpeg::FrameHeader header = mpeg::decodeHeader(block.data() + pos);
        const int length = mpeg::frameLength(header);
        if (!mpeg::sameStream(first, header) || length <= 0 || !visit(header, length, pos))
            return;
        pos += static_cast<std::size_t>(length);
    }
}

// True when a frame of the chain that starts at `pos` has another bit rate than `first`; the
// chain ends at the block's end or at a header that does not continue the stream.
bool otherRateInChain(const std::vector<std::uint8_t>& block, std::size_t pos, const mpeg::FrameHeader& first)
{
    const int rate = mpeg::bitRate(first.VersionID, first.LayerID, first.BitRateID);
    bool other = false;
    walkChain(block, pos, first, [&](const mpeg::FrameHeader& header, int, std::size_t) {
        other = mpeg::bitRate(header.VersionID, header.LayerID, header.BitRateID) != rate;
        return !other;
    });
    return other;
}

// The mean length of the whole frames of the chain that starts at `pos`, when their bit rates
// differ; 0 when they do not (or there is no chain).
double meanFrameBytesIfRatesDiffer(const std::vector<std::uint8_t>& block, std::size_t pos,
                                   const mpeg::FrameHeader& first)
{
    std::int64_t frames = 0, bytes = 0;
    bool differ = false;
    walkChain(block, pos, first, [&](const mpeg::FrameHeader& header, int length, std::size_t at) {
        if (at + std::size_t(length) > block.size())
            return false;
        differ = differ || header.BitRateID != first.BitRateID;
        ++frames;
        bytes += length;
        return true;
    });
    return differ && frames > 0 ? double(bytes) / double(frames) : 0.0;
}

mpeg::VbrHeader readVbrHeader(tags::ReadOnlyFile& file, std::int64_t frameStart,
                              const mpeg::FrameHeader& header)
{
    const mpeg::VbrHeader xing = mpeg::readXing(file, frameStart, header);
    return xing.Found ? xing : mpeg::readVbri(file, frameStart);
}

// "LAME" and four version characters, or "GOGO", nearest the end of the block.
std::string findVendor(const std::vector<std::uint8_t>& block)
{
    const auto* text = reinterpret_cast<const char*>(block.data());
    for (std::size_t i = block.size() >= 4 ? block.size() - 4 + 1 : 0; i-- > 0;) {
        if (std::memcmp(text + i, "GOGO", 4) == 0)
            return "GOGO";
        if (std::memcmp(text + i, "LAME", 4) == 0)
            return std::string(text + i, std::min<std::size_t>(8, block.size() - i));
    }
    return {};
}

}  // namespace

void TMPEGaudio::ResetData()
{
    FileLength = 0;
    VendorID.clear();
    VBR = {};
    Frame = {};
    trailingTags = 0;
    infoHeader_ = false;
    blockFrameBytes_ = 0;
    counted_ = {};
    ID3v1.ResetData();
    ID3v2.ResetData();
}

bool TMPEGaudio::ReadFromFile(const std::string& FileName)
{
    tags::ReadOnlyFile file(FileName);
    return ReadFromFile(file);
}

bool TMPEGaudio::ReadFromFile(tags::ReadOnlyFile& file)
{
    ResetData();
    // Only where the tags stand matters here; their texts are the tag readers' business.
    if (!ID3v1.Locate(file) || !ID3v2.Locate(file))
        return false;
    FileLength = file.size();
    const std::int64_t audioStart = ID3v2.Size;
    // Junk before the first frame (the rest of an old tag, say) is searched through for a while:
    // a frame found in the middle of the audio would count only the frames behind it, and hide
    // the VBR header of the first.
    const std::int64_t searchStart = mpeg::skipZeros(file, audioStart, FileLength);
    std::vector<std::uint8_t> first;
    std::int64_t firstAt = searchStart;
    for (; firstAt - searchStart < kJunkSearched; firstAt += std::int64_t(kSearchPositions)) {
        first = file.readAt(firstAt, kSearchBlock);
        if (findFrame(first, firstAt, audioStart, Frame) || first.size() < kSearchBlock)
            break;
    }
    if (!Frame.Found && first.size() == kSearchBlock) {
        const std::int64_t middle = audioStart + (FileLength - audioStart) / 2;
        findFrame(file.readAt(middle, kSearchBlock), middle, audioStart, Frame);
    }
    if (!Frame.Found) {
        Frame = {};
        return true;
    }
    const std::int64_t firstFrame = audioStart + Frame.Position;
    trailingTags = tags::trailingTagsSize(file, firstFrame);
    VBR = readVbrHeader(file, firstFrame, Frame);
    if (VBR.ID == "Info") {
        infoHeader_ = true;
        const mpeg::VbrHeader info = std::exchange(VBR, {});
        if (const auto next = mpeg::headerBehindInfo(file, firstFrame, Frame, info)) {
            static_cast<mpeg::FrameHeader&>(Frame) = *next;
            Frame.Size = static_cast<std::uint16_t>(mpeg::frameLength(Frame));
        }
        if (startsWith(info.VendorID, "LAME"))
            VendorID = info.VendorID;
    }
    if (!VBR.Found && !infoHeader_ && firstFrame >= firstAt && firstFrame < firstAt + std::int64_t(first.size()))
        blockFrameBytes_ = meanFrameBytesIfRatesDiffer(first, std::size_t(firstFrame - firstAt), Frame);
    if (!VBR.Found) {
        const std::int64_t end = FileLength - trailingTags;
        const std::int64_t start = std::max(audioStart, end - std::int64_t(kSearchBlock));
        if (end > start) {
            std::string found = findVendor(file.readAt(start, static_cast<std::size_t>(end - start)));
            if (!found.empty())
                VendorID = std::move(found);
        }
    }
    return true;
}

bool TMPEGaudio::OtherRateFollows(tags::ReadOnlyFile& file) const
{
    if (!Frame.Found)
        return false;
    constexpr std::size_t kWindow = 64 * 1024;
    const std::int64_t audioStart = ID3v2.Size;
    const std::int64_t first = audioStart + Frame.Position;
    if (otherRateInChain(file.readAt(first, kWindow), 0, Frame))
        return true;
    // A stream may open with a long stretch of silence, all at the lowest rate.
    const std::int64_t middle = first + audioBytes() / 2;
    const auto block = file.readAt(middle, kWindow);
    FrameData there;
    return findFrame(block, middle, middle, there) && mpeg::sameStream(Frame, there) &&
           otherRateInChain(block, static_cast<std::size_t>(there.Position), Frame);
}

bool TMPEGaudio::CountFrames(tags::ReadOnlyFile& file)
{
    if (!Frame.Found || VBR.Found || infoHeader_ || !OtherRateFollows(file))
        return false;
    const std::int64_t first = ID3v2.Size + Frame.Position;
    counted_ = mpeg::countFrames(file, first, first + audioBytes(), Frame);
    return counted_.Frames > 0;
}

std::string TMPEGaudio::Version() const { return textOf(kVersions, Frame.VersionID); }
std::string TMPEGaudio::Layer() const { return textOf(kLayers, Frame.LayerID); }
std::string TMPEGaudio::ChannelMode() const { return textOf(kModes, Frame.ModeID); }
std::string TMPEGaudio::Emphasis() const { return textOf(kEmphasis, Frame.EmphasisID); }

int TMPEGaudio::SampleRate() const { return mpeg::sampleRate(Frame.VersionID, Frame.SampleRateID); }

int TMPEGaudio::samplesPerFrame() const
{
    return mpeg::samplesPerFrame(Frame.VersionID, Frame.LayerID);
}

std::int64_t TMPEGaudio::audioBytes() const
{
    const std::int64_t bytes = FileLength - ID3v2.Size - Frame.Position - trailingTags;
    return bytes > 0 ? bytes : 0;
}

double TMPEGaudio::meanKbps() const
{
    const int samples = samplesPerFrame();
    const int rate = SampleRate();
    const double frameBytes = counted_.Frames > 0 ? double(counted_.Bytes) / double(counted_.Frames) : blockFrameBytes_;
    if (frameBytes > 0 && samples > 0 && rate > 0)
        return frameBytes * 8.0 * rate / samples / 1000.0;
    return mpeg::bitRate(Frame.VersionID, Frame.LayerID, Frame.BitRateID);
}

int TMPEGaudio::BitRate() const
{
    const int samples = samplesPerFrame();
    const int rate = SampleRate();
    if (!(VBR.Found && VBR.Frames > 0) || samples == 0 || rate == 0)
        return static_cast<int>(std::lround(meanKbps()));
    const double bytes = VBR.Bytes > 0 ? double(VBR.Bytes) : double(audioBytes());
    const double perFrame = bytes / VBR.Frames - (Frame.PaddingBit ? 1 : 0);
    return static_cast<int>(std::lround(perFrame * 8.0 * rate / samples / 1000.0));
}

std::int64_t TMPEGaudio::Frames() const
{
    if (VBR.Found && VBR.Frames > 0)
        return VBR.Frames;
    if (counted_.Frames > 0)
        return counted_.Frames;
    if (blockFrameBytes_ > 0)
        return std::llround(double(audioBytes()) / blockFrameBytes_);
    return Frame.Size > 0 ? audioBytes() / Frame.Size : 0;
}

double TMPEGaudio::Duration() const
{
    const int rate = SampleRate();
    if (VBR.Found && VBR.Frames >= 1 && rate > 0)
        return double(samplesPerFrame()) * VBR.Frames / rate;
    if (counted_.Frames > 0 && rate > 0)
        return double(samplesPerFrame()) * double(counted_.Frames) / rate;
    const double kbps = blockFrameBytes_ > 0 ? meanKbps() : double(BitRate());
    return kbps > 0 ? double(audioBytes()) * 8.0 / kbps / 1000.0 : 0.0;
}

bool TMPEGaudio::Valid() const
{
    const int kbps = BitRate();
    return Frame.Found && kbps >= 8 && kbps <= 448 && Duration() >= 0.1;
}

int TMPEGaudio::EncoderID() const
{
    if (!Frame.Found)
        return kUnknown;
    if (VBR.Found) {
        int id = kUnknown;
        if (startsWith(VBR.VendorID, "LAME"))
            id = kLame;
        else if (startsWith(VBR.VendorID, "GOGO") || startsWith(VBR.VendorID, "MPGE"))
            id = kGoGo;
        else if (VBR.ID == "Xing")
            id = kXing;
        return VBR.ID == "VBRI" ? kFhG : id;
    }
    if (VendorID == "GOGO")
        return kGoGo;
    if (startsWith(VendorID, "LAME"))
        return kLame;
    if (Frame.ModeID == 2 && Frame.ProtectionBit)
        return kShine;
    if (Frame.Xing && Frame.OriginalBit)
        return kXing;
    if (Frame.CopyrightBit && Frame.OriginalBit && !Frame.ProtectionBit)
        return kXing;
    if (BitRate() < 161 && Frame.ModeID == 0)
        return kBlade;
    if (Frame.OriginalBit && Frame.ProtectionBit)
        return kLame;
    return kFhG;
}

std::string TMPEGaudio::Encoder() const
{
    const int id = EncoderID();
    std::string name = kEncoders[id];
    const std::string& vendor = VBR.Found ? VBR.VendorID : VendorID;
    if (id == kLame && vendor.size() >= 8 && isDigit(vendor[4]) && vendor[5] == '.' &&
        isDigit(vendor[6]) && isDigit(vendor[7]))
        name += " " + vendor.substr(4, 4);
    return name;
}

double CountedVbrDuration(const std::string& FileName)
{
    tags::ReadOnlyFile file(FileName);
    TMPEGaudio mpeg;
    return mpeg.ReadFromFile(file) && mpeg.CountFrames(file) ? mpeg.Duration() : 0.0;
}
