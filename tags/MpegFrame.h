// What the three MPEG audio readers (the header analysis, the frame reader and the record-based
// scanner) share about one MPEG audio frame: the header test, the ISO 11172-3 / 13818-3 bit-rate
// and sample-rate tables, samples per frame, frame length, where a VBR header sits in the first
// frame, and the parsing of the Xing and VBRI headers. Pure functions on byte buffers; any
// thread.
//
// Field values are kept as the header stores them: VersionID 0 = MPEG 2.5, 1 = reserved,
// 2 = MPEG 2, 3 = MPEG 1; LayerID 0 = reserved, 1 = Layer III, 2 = Layer II, 3 = Layer I.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace tags {
class ReadOnlyFile;
}

namespace mpeg {

constexpr int kMpeg25 = 0;
constexpr int kMpeg2 = 2;
constexpr int kMpeg1 = 3;
constexpr int kLayer3 = 1;
constexpr int kLayer2 = 2;
constexpr int kLayer1 = 3;
constexpr int kModeMono = 3;

struct FrameHeader {
    std::uint8_t VersionID = 1;
    std::uint8_t LayerID = 0;
    bool ProtectionBit = false;  // true when CRC-protected (the stored bit is 0)
    std::uint8_t BitRateID = 0;
    std::uint8_t SampleRateID = 3;
    bool PaddingBit = false;
    bool PrivateBit = false;
    std::uint8_t ModeID = 4;
    std::uint8_t ModeExtensionID = 4;
    bool CopyrightBit = false;
    bool OriginalBit = false;
    std::uint8_t EmphasisID = 2;
};

// The 4 bytes form an acceptable frame header: sync, no reserved version or layer, a bit-rate
// index other than 0 (free format) and 15, a sample-rate index other than 3, and no reserved
// emphasis.
bool isValidHeader(const std::uint8_t* bytes);

FrameHeader decodeHeader(const std::uint8_t* bytes);

// Where the search for the first frame starts: the first byte at or after `from` (before `end`)
// that is not zero. Some writers leave padding behind the ID3v2 tag, outside its size; a run of
// zeros longer than any such padding is not skipped.
std::int64_t skipZeros(tags::ReadOnlyFile& file, std::int64_t from, std::int64_t end);

// Two headers of the same stream: same version, layer and sample rate.
bool sameStream(const FrameHeader& a, const FrameHeader& b);

int bitRate(int versionID, int layerID, int bitRateID);  // kbit/s, 0 for invalid indexes
int sampleRate(int versionID, int sampleRateID);          // Hz, 0 for invalid indexes
int samplesPerFrame(int versionID, int layerID);          // 0 for reserved values

// Length in bytes of a frame; Layer I counts in 4-byte slots. 0 when a rate is 0.
int frameLength(int versionID, int layerID, int bitRateKbps, int sampleRateHz, bool padding);
int frameLength(const FrameHeader& header);

// The frames of one stream (that of `first`) counted one by one from `start` to `end`, for a VBR
// stream without a VBR header, whose length no first frame tells: their number and bytes.
// Bytes that do not continue the stream (a damaged stretch) are searched through to the next
// frame that another one follows. One pass over the audio, in large blocks.
struct FrameTally {
    std::int64_t Frames = 0;
    std::int64_t Bytes = 0;
};
FrameTally countFrames(tags::ReadOnlyFile& file, std::int64_t start, std::int64_t end, const FrameHeader& first);

// Offset from the frame start of a Xing header: header plus side information.
int xingOffset(int versionID, int modeID);
// The VBRI header of the Fraunhofer encoder stands at this offset in every mode.
constexpr int kVbriOffset = 36;

// A Xing (or VBRI) VBR header; fields not present in the header stay 0 / empty. LAME and FFmpeg
// put the same header into the first frame of a CBR file under the name "Info".
struct VbrHeader {
    bool Found = false;
    std::string ID;        // "Xing", "Info" or "VBRI"
    std::uint32_t Frames = 0;
    std::uint32_t Bytes = 0;
    std::uint8_t Scale = 0;
    std::string VendorID;  // up to 8 characters of the encoder tag behind a Xing header
};

// The Xing (or Info) header in the frame that starts at `frameStart` with `header`, if there is
// one.
VbrHeader readXing(tags::ReadOnlyFile& file, std::int64_t frameStart, const FrameHeader& header);
// When the frame at `frameStart` holds an Info header (the Xing header of a CBR file, which
// carries no audio and whose own header may name any bit rate that fits it): the header of the
// frame behind it, which describes the stream. Nothing otherwise. `xing` is what readXing gave
// for that frame; the caller has it already.
std::optional<FrameHeader> headerBehindInfo(tags::ReadOnlyFile& file, std::int64_t frameStart,
                                            const FrameHeader& header, const VbrHeader& xing);
// The VBRI header in the frame that starts at `frameStart`, if there is one.
VbrHeader readVbri(tags::ReadOnlyFile& file, std::int64_t frameStart);

}  // namespace mpeg
