// Analysis of an MPEG audio file (MPEG 1, 2 or 2.5; Layer I, II or III) for the audio-file
// information: the first frame's header, a Xing or VBRI VBR header, frame count, bit rate,
// duration and a guess at the encoder. The ID3v1 and ID3v2 tags around the audio are found
// first (through the two small readers this object owns, which locate them without reading
// their texts) so that they are not taken for audio.
// Reads only; user-interface thread, like the rest of the tag layer.
#pragma once

#include <cstdint>
#include <string>

#include "tags/MpegFrame.h"
#include "tags/xID3v1.h"
#include "tags/xID3v2.h"

namespace tags {
class ReadOnlyFile;
}

class TMPEGaudio {
public:
    struct FrameData : mpeg::FrameHeader {
        bool Found = false;
        std::int64_t Position = 0;  // first frame, counted from the end of the ID3v2 tag
        std::uint16_t Size = 0;     // length of the first frame
        bool Xing = false;          // six zero bytes follow the header (one encoder's CBR mark)
        std::uint8_t Data[4] = {};  // the 4 header bytes
    };

    TMPEGaudio() { ResetData(); }

    // True when the file could be read, whether or not an MPEG frame was found in it.
    bool ReadFromFile(const std::string& FileName);
    bool ReadFromFile(tags::ReadOnlyFile& file);
    void ResetData();

    std::string Version() const;      // "MPEG 1", "MPEG 2", "MPEG 2.5", "MPEG ?"
    std::string Layer() const;        // "Layer I" .. "Layer III", "Layer ?"
    std::string ChannelMode() const;  // "Stereo", "Joint Stereo", "Dual Channel", "Mono", "Unknown"
    std::string Emphasis() const;
    int BitRate() const;              // kbit/s; the average of a VBR file
    int SampleRate() const;           // Hz
    std::int64_t Frames() const;
    double Duration() const;          // seconds
    int EncoderID() const;            // 0 Unknown, 1 Xing, 2 FhG, 3 LAME, 4 Blade, 5 GoGo, 6 Shine
    std::string Encoder() const;
    bool Valid() const;
    // True when frames after the first (near the start or in the middle of the audio) have
    // another bit rate: a VBR stream without a VBR header.
    bool OtherRateFollows(tags::ReadOnlyFile& file) const;
    // A VBR stream without a VBR header states its length nowhere. Without this call BitRate,
    // Frames and Duration take the mean rate of the frames in the first block read (quick, for
    // lists); with it, when the rate changes (OtherRateFollows) and no Info header calls the
    // stream CBR, the frames are counted to the end of the audio in one pass and the three are
    // exact. True when the frames were counted.
    bool CountFrames(tags::ReadOnlyFile& file);
    // The rates were seen to change (by CountFrames or in the first block) with no VBR header.
    bool VbrWithoutHeader() const { return counted_.Frames > 0 || blockFrameBytes_ > 0; }

    std::int64_t FileLength = 0;
    std::string VendorID;  // "LAME" + four version characters (near the end or in an Info header), or "GOGO"
    mpeg::VbrHeader VBR;  // not for the Info header of a CBR file (see below)
    // The first frame. When it holds an Info header (the Xing header of a CBR file) it carries
    // no audio and its header may name any bit rate that fits it: the header fields are then
    // those of the frame behind it, which describe the stream.
    FrameData Frame;
    TxID3v1 ID3v1;  // located only: Exists and VersionID
    TxID3v2 ID3v2;  // located only: Exists, VersionID and Size

private:
    std::int64_t audioBytes() const;  // from the first frame to the tags at the end or the end
    std::int64_t trailingTags = 0;    // the ID3v1 and APE tags behind the audio
    bool infoHeader_ = false;         // the first frame holds an Info header (a CBR stream)
    double blockFrameBytes_ = 0;      // mean frame length in the first block when rates differ there
    mpeg::FrameTally counted_;        // by CountFrames
    int samplesPerFrame() const;
    double meanKbps() const;          // of a stream without a VBR header
};

// The length in seconds of a VBR stream without a VBR header, its frames counted (CountFrames,
// one pass over the file); 0 for any other file, whose VBR header or steady rate states it.
double CountedVbrDuration(const std::string& FileName);
