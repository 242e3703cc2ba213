// TLameCoder: the MP3 encoder component over platform/lame. Two ways of use: a batch
// (EncodeFiles: each of InputFiles into the matching OutputFiles entry, with events and
// cancel) and a stream (InitStream, EncodeChunk, DeinitStream, CloseStream) that the CD
// ripper feeds chunk by chunk.
//
// Inputs are RIFF WAVE files of 16-bit PCM, whose own rate and channels are encoded (the
// chunks are walked to "fmt " and "data"; a stereo WAVE with Mode MONO is mixed down; a rate
// that MP3 does not carry is resampled to the next MPEG rate below it), or raw
// 16-bit PCM at SampleRate with the channels of Mode. Each output is written into a temporary
// file beside it that replaces the target when the file is done or cancelled, so a failure
// leaves an earlier file of that name as it was.
//
// User-interface thread only. EncodeFiles reports each new percentage and serves the event loop
// then and at least every few milliseconds; a handler run meanwhile may call Cancel() (the batch
// ends after the current chunk), but not start another batch or stream on this coder (refused)
// nor destroy it.
#pragma once

#include "platform/lame/Mp3Encoder.h"
#include "platform/rtl/StringList.h"

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace cd {

class ELameError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum TLameMode { STEREO, JSTEREO, DUALCHANNEL, MONO };
enum MPEG_QUALITY { NORMAL_QUALITY, LOW_QUALITY, HIGH_QUALITY, VOICE_QUALITY };

class TLameCoder;
using TLameNotifyEvent = std::function<void(TLameCoder* Sender)>;
using TProcessFileEvent = std::function<void(TLameCoder* Sender, std::uint16_t Num, const std::string& FileName)>;
using TProgressEvent = std::function<void(TLameCoder* Sender, std::uint16_t PercentComplete)>;

// The encoder library's version record, read when the coder is created.
class TLameVersion {
public:
    TLameVersion();
    std::uint8_t DLLMajorVersion() const { return record_.DLLMajorVersion; }
    std::uint8_t DLLMinorVersion() const { return record_.DLLMinorVersion; }
    std::uint8_t MajorVersion() const { return record_.MajorVersion; }
    std::uint8_t MinorVersion() const { return record_.MinorVersion; }
    const lame::BeVersion& Record() const { return record_; }
    // Copies the four published bytes.
    void Assign(const TLameVersion& other);

private:
    lame::BeVersion record_;
};

class TLameCoder {
public:
    TLameCoder();
    ~TLameCoder();
    TLameCoder(const TLameCoder&) = delete;
    TLameCoder& operator=(const TLameCoder&) = delete;

    std::uint32_t SampleRate() const { return sampleRate_; }
    void SetSampleRate(std::uint32_t Value) { sampleRate_ = Value; }
    std::uint32_t Bitrate() const { return bitrate_; }
    void SetBitrate(std::uint32_t Value) { bitrate_ = Value; }
    std::uint32_t MaxBitrate() const { return maxBitrate_; }
    void SetMaxBitrate(std::uint32_t Value) { maxBitrate_ = Value; }
    MPEG_QUALITY Quality() const { return quality_; }
    void SetQuality(MPEG_QUALITY Value) { quality_ = Value; }
    bool Private() const { return private_; }
    void SetPrivate(bool Value) { private_ = Value; }
    bool CRC() const { return crc_; }
    void SetCRC(bool Value) { crc_ = Value; }
    TLameMode Mode() const { return mode_; }
    void SetMode(TLameMode Value) { mode_ = Value; }
    bool Copyright() const { return copyright_; }
    void SetCopyright(bool Value) { copyright_ = Value; }
    bool Original() const { return original_; }
    void SetOriginal(bool Value) { original_ = Value; }
    bool WriteVBRHeader() const { return writeVBRHeader_; }
    void SetWriteVBRHeader(bool Value) { writeVBRHeader_ = Value; }
    bool EnableVBR() const { return enableVBR_; }
    // Also sets WriteVBRHeader to the same value.
    void SetEnableVBR(bool Value);
    int VBRQuality() const { return vbrQuality_; }
    void SetVBRQuality(int Value) { vbrQuality_ = Value; }

    const rtl::TStringList& InputFiles() const { return inputFiles_; }
    // Copies the list and names each output after its input with DefaultExt, replacing the
    // output names chosen before.
    void SetInputFiles(const rtl::TStringList& List);
    const rtl::TStringList& OutputFiles() const { return outputFiles_; }
    void SetOutputFiles(const rtl::TStringList& List);
    const TLameVersion& LameVersion() const { return version_; }
    std::string DefaultExt = ".mp3";
    std::string Mp3FileName;

    TLameNotifyEvent OnBeginProcess;
    TProcessFileEvent OnBeginFile;
    TProcessFileEvent OnEndFile;
    TLameNotifyEvent OnEndProcess;
    TProgressEvent OnProgress;

    // Copies the settings SampleRate through VBRQuality.
    void Assign(const TLameCoder& Source);

    // Opens the encoder stream with the current settings; the library's result (0 = success).
    [[nodiscard]] std::uint32_t InitStream();
    // 16-bit samples over all channels that one EncodeChunk takes, and the output room it
    // needs; valid after InitStream.
    std::uint32_t SamplesPerChunk() const { return samplesPerChunk_; }
    std::uint32_t OutputBufferSize() const { return outputBufferSize_; }
    // Encodes one whole chunk, or the first Count samples (a shorter last chunk).
    [[nodiscard]] std::uint32_t EncodeChunk(const std::int16_t* Samples, std::uint8_t* Output, std::uint32_t& Written);
    [[nodiscard]] std::uint32_t EncodeChunk(const std::int16_t* Samples, std::uint32_t Count, std::uint8_t* Output,
                                            std::uint32_t& Written);
    // The last frames, into Output (OutputBufferSize bytes).
    [[nodiscard]] std::uint32_t DeinitStream(std::uint8_t* Output, std::uint32_t& Written);
    // With WriteVBRHeader: fills in the VBR header frame at the start of the finished file
    // that holds the whole stream. Call after DeinitStream and before CloseStream.
    [[nodiscard]] std::uint32_t FinishVBRHeader(const std::string& FileName);
    void CloseStream();

    // True for a RIFF WAVE that EncodeFiles takes with these settings: 16-bit PCM, mono or
    // stereo, at a rate the encoder takes.
    [[nodiscard]] bool CanEncodeWave(const std::string& FileName) const;

    // The batch. ELameError on a failure (the file's streams closed, its output discarded);
    // rtl::EFOpenError for an input that cannot be opened.
    void EncodeFiles();
    // Ends a running batch after its current chunk; the output stays as far as written.
    void Cancel() { cancel_ = true; }
    bool Busy() const { return batchRunning_; }

private:
    lame::BeConfig Config(std::uint32_t rate, TLameMode mode) const;
    std::uint32_t OpenStream(const lame::BeConfig& config);
    // Encodes one file; false when cancelled.
    bool EncodeFile(int index, const std::string& input, const std::string& output);

    std::uint32_t sampleRate_ = 44100;
    std::uint32_t bitrate_ = 128;
    std::uint32_t maxBitrate_ = 320;
    MPEG_QUALITY quality_ = NORMAL_QUALITY;
    bool private_ = false;
    bool crc_ = true;
    TLameMode mode_ = STEREO;
    bool copyright_ = false;
    bool original_ = false;
    bool writeVBRHeader_ = false;
    bool enableVBR_ = false;
    int vbrQuality_ = 4;

    rtl::TStringList inputFiles_;
    rtl::TStringList outputFiles_;
    TLameVersion version_;

    lame::BeStream stream_ = 0;
    std::uint32_t samplesPerChunk_ = 0;
    std::uint32_t outputBufferSize_ = 0;
    std::vector<std::uint8_t> output_;
    bool cancel_ = false;
    bool batchRunning_ = false;
};

}  // namespace cd
