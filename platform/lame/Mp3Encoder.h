// The MP3 encoder library's calls over libmp3lame: version record, open a stream from a
// configuration block, encode chunks of 16-bit PCM, flush, close, and write the finished VBR
// header frame into the file.
//
// Every field of the configuration is applied explicitly, so that none of libmp3lame's own
// defaults (original bit on, an Info/Xing frame in every file, ID3 tags) reaches the output:
//  - Mode 0..3 (stereo, joint stereo, dual channel, mono); mono streams take 1-channel input,
//    the others interleaved 2-channel input.
//  - Output rate: ReSampleRate, or the input rate when it is 0; it must be an MPEG rate (8,000
//    to 48,000 Hz), and it decides the MPEG version (MPEG-1 for 32-48 kHz, MPEG-2 for 16-24 kHz,
//    MPEG-2.5 below), as the format defines it. MpegVersion (1 = MPEG-1, 0 = MPEG-2) is accepted
//    for either value and otherwise refused.
//  - Constant bit rate: Bitrate must be one of the version's rates. VBR (EnableVBR): libmp3lame's
//    default VBR method with VBRQuality 0 (best) .. 9 as its VBR quality, Bitrate and MaxBitrate
//    as the lowest and highest frame rates allowed.
//  - Preset (the algorithm's effort, libmp3lame's "quality" 0 best .. 9 fastest):
//      0 normal -> 5, 1 low -> 7, 2 high -> 2, 3 voice -> 5 with a 12 kHz low pass.
//  - Private, CRC, Copyright, Original: the frame header bits; Emphasis 0, 1 or 3.
//  - WriteVBRHeader: the stream starts with an empty VBR header frame (Xing for VBR, Info for
//    CBR), which beWriteVBRHeader fills in after beDeinitStream; without it there is none.
//  - NoRes, StrictIso: bit reservoir off, strict ISO bit-rate limits.
//  - PsyModel, VbrAbrBps, VbrMethod and Quality must be 0 (the library has one model and
//    method; the preset gives the quality).
// A configuration outside these limits gives BE_BAD_CONFIG and no stream.
//
// A stream belongs to one thread at a time; different streams may run on different threads.
// Handles are checked: a closed or unknown handle gives BE_BAD_HANDLE, never a crash.
#pragma once

#include <cstdint>
#include <string>

namespace lame {

enum : std::uint32_t {
    BE_OK = 0,
    BE_BAD_CONFIG = 1,       // a field out of range, or an unknown configuration kind
    BE_BAD_HANDLE = 2,       // no open stream by this handle
    BE_TOO_MANY_SAMPLES = 3, // more samples in one chunk than beInitStream allows
    BE_ENCODER_FAILED = 4,   // libmp3lame reported an error
    BE_FILE_FAILED = 5,      // beWriteVBRHeader could not read or write the file
    BE_FINISHED = 6,         // the stream was already flushed
};

constexpr std::uint32_t BE_CONFIG_LAME = 256;
constexpr std::uint32_t BE_CONFIG_VERSION = 1;

enum : std::int32_t { BE_MODE_STEREO = 0, BE_MODE_JSTEREO = 1, BE_MODE_DUALCHANNEL = 2, BE_MODE_MONO = 3 };
enum : std::int32_t { BE_PRESET_NORMAL = 0, BE_PRESET_LOW = 1, BE_PRESET_HIGH = 2, BE_PRESET_VOICE = 3 };

// The configuration block: 32-bit little-endian fields in this order, 331 bytes in all.
#pragma pack(push, 1)
struct BeConfig {
    std::uint32_t Config = BE_CONFIG_LAME;
    std::uint32_t StructVersion = BE_CONFIG_VERSION;
    std::uint32_t StructSize = 331;
    std::uint32_t SampleRate = 44100;
    std::uint32_t ReSampleRate = 0;
    std::int32_t Mode = BE_MODE_STEREO;
    std::uint32_t Bitrate = 128;
    std::uint32_t MaxBitrate = 320;
    std::int32_t Preset = BE_PRESET_NORMAL;
    std::uint32_t MpegVersion = 1;
    std::uint32_t PsyModel = 0;
    std::uint32_t Emphasis = 0;
    std::int32_t Private = 0;
    std::int32_t CRC = 0;
    std::int32_t Copyright = 0;
    std::int32_t Original = 0;
    std::int32_t WriteVBRHeader = 0;
    std::int32_t EnableVBR = 0;
    std::int32_t VBRQuality = 4;
    std::uint32_t VbrAbrBps = 0;
    std::int32_t VbrMethod = 0;
    std::int32_t NoRes = 0;
    std::int32_t StrictIso = 0;
    std::uint16_t Quality = 0;
    std::uint8_t Reserved[237] = {};
};
#pragma pack(pop)
static_assert(sizeof(BeConfig) == 331);

// The version record: this layer's own version, then libmp3lame's.
struct BeVersion {
    std::uint8_t DLLMajorVersion = 0;
    std::uint8_t DLLMinorVersion = 0;
    std::uint8_t MajorVersion = 0;
    std::uint8_t MinorVersion = 0;
    std::uint8_t AlphaLevel = 0;
    std::uint8_t BetaLevel = 0;
    std::string HomePage;
};

// A stream's handle; 0 is none, and a closed stream's number is never given out again.
using BeStream = std::uint64_t;

void beVersion(BeVersion& version);

// Opens a stream. SamplesPerChunk: the most 16-bit samples (over all channels) one
// beEncodeChunk takes, 1,152 per channel; OutputBufferSize: the output room that any chunk, and
// the flush, needs at most.
[[nodiscard]] std::uint32_t beInitStream(const BeConfig& config, std::uint32_t& SamplesPerChunk,
                                         std::uint32_t& OutputBufferSize, BeStream& stream);

// Encodes `samples` 16-bit samples (interleaved for two channels; a trailing half frame is
// ignored) into `output`, which holds OutputBufferSize bytes; `written` receives the MP3 bytes.
[[nodiscard]] std::uint32_t beEncodeChunk(BeStream stream, std::uint32_t samples, const std::int16_t* pcm,
                                          std::uint8_t* output, std::uint32_t& written);

// The last frames: pads and flushes what the encoder holds. Nothing may be encoded afterwards.
[[nodiscard]] std::uint32_t beDeinitStream(BeStream stream, std::uint8_t* output, std::uint32_t& written);

std::uint32_t beCloseStream(BeStream stream);

// The MPEG rate that input at `inputRate` Hz is encoded at: the rate itself when it is one,
// else the highest one below it (96 kHz -> 48 kHz), 0 when there is none (below 8 kHz).
[[nodiscard]] std::uint32_t MpegOutputRate(std::uint32_t inputRate);

// After beDeinitStream, with every byte of the stream written to `mp3Path` from its start:
// replaces the empty VBR header frame at the start of that file by the finished one. Does
// nothing (BE_OK) when the stream has no VBR header; refuses (BE_FILE_FAILED) a file that does
// not start with the stream's header frame, so that a file changed since is left alone.
[[nodiscard]] std::uint32_t beWriteVBRHeader(BeStream stream, const std::string& mp3Path);

}  // namespace lame
