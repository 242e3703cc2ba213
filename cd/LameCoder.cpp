#include "cd/LameCoder.h"

#include "cd/LameInput.h"
#include "platform/forms/Application.h"
#include "platform/rtl/FileNames.h"
#include "platform/rtl/Streams.h"
#include "tags/ReadOnlyFile.h"

#include <QSaveFile>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>

namespace cd {

namespace {

// Encoder chunks taken by one read of the input: a system call and a progress report for every
// chunk of 1,152 frames cost more than the conversion of its samples.
constexpr std::int64_t kChunksPerRead = 64;
// The event loop runs when the percentage changes, and at least this often on a long file: often
// enough for the gauge and a cancel, rarely enough to stay out of the encoder's way.
constexpr auto kEventInterval = std::chrono::milliseconds(10);

// Little-endian bytes (read into `out` itself) to samples in place; a stereo frame mixed to its
// channels' mean when the stream is mono.
std::uint32_t toSamples(std::size_t count, bool mixDown, std::int16_t* out)
{
    const std::size_t samples = count / 2;
    if constexpr (std::endian::native != std::endian::little) {
        auto* bytes = reinterpret_cast<const std::uint8_t*>(out);
        for (std::size_t i = 0; i < samples; ++i)
            out[i] = std::int16_t(std::uint16_t(bytes[2 * i] | bytes[2 * i + 1] << 8));
    }
    if (!mixDown)
        return std::uint32_t(samples);
    for (std::size_t f = 0; f < samples / 2; ++f)
        out[f] = std::int16_t((int(out[2 * f]) + int(out[2 * f + 1])) / 2);
    return std::uint32_t(samples / 2);
}

}  // namespace

TLameVersion::TLameVersion()
{
    lame::beVersion(record_);
}

void TLameVersion::Assign(const TLameVersion& other)
{
    record_.DLLMajorVersion = other.record_.DLLMajorVersion;
    record_.DLLMinorVersion = other.record_.DLLMinorVersion;
    record_.MajorVersion = other.record_.MajorVersion;
    record_.MinorVersion = other.record_.MinorVersion;
}

TLameCoder::TLameCoder() = default;

TLameCoder::~TLameCoder()
{
    CloseStream();
}

void TLameCoder::SetEnableVBR(bool Value)
{
    enableVBR_ = Value;
    writeVBRHeader_ = Value;
}

void TLameCoder::SetInputFiles(const rtl::TStringList& List)
{
    inputFiles_.Assign(List);
    outputFiles_.Clear();
    for (int i = 0; i < inputFiles_.Count(); ++i)
        outputFiles_.Add(rtl::ChangeFileExt(inputFiles_[i], DefaultExt));
}

void TLameCoder::SetOutputFiles(const rtl::TStringList& List)
{
    outputFiles_.Assign(List);
}

void TLameCoder::Assign(const TLameCoder& Source)
{
    sampleRate_ = Source.sampleRate_;
    bitrate_ = Source.bitrate_;
    maxBitrate_ = Source.maxBitrate_;
    quality_ = Source.quality_;
    private_ = Source.private_;
    crc_ = Source.crc_;
    mode_ = Source.mode_;
    copyright_ = Source.copyright_;
    original_ = Source.original_;
    writeVBRHeader_ = Source.writeVBRHeader_;
    enableVBR_ = Source.enableVBR_;
    vbrQuality_ = Source.vbrQuality_;
}

lame::BeConfig TLameCoder::Config(std::uint32_t rate, TLameMode mode) const
{
    lame::BeConfig c;
    c.SampleRate = rate;
    // MP3 carries only the MPEG rates: anything else (a 96 kHz recording) is resampled.
    const std::uint32_t out = lame::MpegOutputRate(rate);
    c.ReSampleRate = out == rate ? 0 : out;
    c.Mode = mode;
    c.Bitrate = bitrate_;
    c.MaxBitrate = maxBitrate_;
    c.Preset = quality_;
    c.MpegVersion = 1;
    c.PsyModel = 0;
    c.Emphasis = 0;
    c.Private = private_;
    c.CRC = crc_;
    c.Copyright = copyright_;
    c.Original = original_;
    c.WriteVBRHeader = writeVBRHeader_;
    c.EnableVBR = enableVBR_;
    c.VBRQuality = vbrQuality_;
    return c;
}

std::uint32_t TLameCoder::OpenStream(const lame::BeConfig& config)
{
    CloseStream();
    const std::uint32_t result = lame::beInitStream(config, samplesPerChunk_, outputBufferSize_, stream_);
    if (result == lame::BE_OK)
        output_.assign(outputBufferSize_, 0);
    return result;
}

std::uint32_t TLameCoder::InitStream()
{
    if (batchRunning_)
        return lame::BE_BAD_HANDLE;
    return OpenStream(Config(sampleRate_, mode_));
}

std::uint32_t TLameCoder::EncodeChunk(const std::int16_t* Samples, std::uint8_t* Output, std::uint32_t& Written)
{
    return EncodeChunk(Samples, samplesPerChunk_, Output, Written);
}

std::uint32_t TLameCoder::EncodeChunk(const std::int16_t* Samples, std::uint32_t Count, std::uint8_t* Output,
                                      std::uint32_t& Written)
{
    return lame::beEncodeChunk(stream_, Count, Samples, Output, Written);
}

std::uint32_t TLameCoder::DeinitStream(std::uint8_t* Output, std::uint32_t& Written)
{
    return lame::beDeinitStream(stream_, Output, Written);
}

std::uint32_t TLameCoder::FinishVBRHeader(const std::string& FileName)
{
    return lame::beWriteVBRHeader(stream_, FileName);
}

void TLameCoder::CloseStream()
{
    output_.clear();
    if (stream_)
        (void)lame::beCloseStream(stream_);
    stream_ = 0;
}

bool TLameCoder::CanEncodeWave(const std::string& FileName) const
{
    tags::ReadOnlyFile file(FileName);
    TLameInput source;
    if (!file.isOpen() || !DescribeLameInput(file, sampleRate_, 2, source) || !source.Wave)
        return false;
    std::uint32_t samples = 0, outputSize = 0;
    lame::BeStream stream = 0;
    if (lame::beInitStream(Config(source.SampleRate, source.Channels == 1 ? MONO : mode_), samples, outputSize,
                           stream) != lame::BE_OK)
        return false;
    (void)lame::beCloseStream(stream);
    return true;
}

void TLameCoder::EncodeFiles()
{
    if (batchRunning_)
        throw ELameError("EncodeFiles is already running on this coder");
    struct Running {
        TLameCoder& c;
        explicit Running(TLameCoder& coder) : c(coder) { c.batchRunning_ = true; }
        ~Running()
        {
            c.CloseStream();
            c.batchRunning_ = false;
        }
    } running(*this);
    cancel_ = false;
    // Handlers run while the batch serves the event loop; they must not change its files.
    const rtl::TStringList inputs = inputFiles_;
    const rtl::TStringList outputs = outputFiles_;
    if (OnBeginProcess)
        OnBeginProcess(this);
    for (int i = 0; i < inputs.Count(); ++i)
        if (!EncodeFile(i, inputs[i], outputs[i]))
            return;
    if (OnEndProcess)
        OnEndProcess(this);
}

bool TLameCoder::EncodeFile(int index, const std::string& input, const std::string& output)
{
    if (OnBeginFile)
        OnBeginFile(this, std::uint16_t(index), input);
    tags::ReadOnlyFile file(input);
    if (!file.isOpen())
        throw rtl::EFOpenError("Cannot open file \"" + input + "\".");
    TLameInput source;
    if (!DescribeLameInput(file, sampleRate_, mode_ == MONO ? 1 : 2, source))
        throw ELameError("Read Error");
    const TLameMode mode = source.Channels == 1 ? MONO : mode_;
    if (const std::uint32_t r = OpenStream(Config(source.SampleRate, mode)))
        throw ELameError("beInitStream failed " + std::to_string(r));

    const bool mixDown = source.Channels == 2 && mode == MONO;
    const std::uint32_t frames = samplesPerChunk_ / (mode == MONO ? 1 : 2);
    const std::int64_t chunkBytes = std::int64_t(frames) * source.BlockAlign;
    const std::int64_t readBytes = chunkBytes * kChunksPerRead;
    std::vector<std::int16_t> samples(std::size_t(readBytes / 2), 0);

    QSaveFile out(QString::fromStdString(output));
    if (!out.open(QIODevice::WriteOnly))
        throw rtl::EFOpenError("Cannot create file \"" + output + "\".");
    const auto write = [&](std::uint32_t count, const char* error) {
        if (out.write(reinterpret_cast<const char*>(output_.data()), count) != qint64(count))
            throw ELameError(error);
    };

    const std::int64_t total = source.DataSize;
    int reported = -1;
    auto lastEvents = std::chrono::steady_clock::now();
    for (std::int64_t done = 0; done < total;) {
        const std::int64_t n = std::min(readBytes, total - done);
        if (!file.readExact(source.DataStart + done, std::size_t(n), reinterpret_cast<std::uint8_t*>(samples.data())))
            throw ELameError("Read Error");
        const std::uint32_t count = toSamples(std::size_t(n), mixDown, samples.data());
        const std::int64_t end = done + n;
        for (std::uint32_t at = 0; at < count; at += samplesPerChunk_) {
            std::uint32_t written = 0;
            if (const std::uint32_t r = EncodeChunk(samples.data() + at, std::min(samplesPerChunk_, count - at),
                                                    output_.data(), written))
                throw ELameError("beEncodeChunk failed " + std::to_string(r));
            write(written, "Write Error");
            done = std::min(done + chunkBytes, end);
            const int percent = int(std::lround(double(done) / double(total) * 100.0));
            const bool moved = percent != reported;
            if (moved && OnProgress)
                OnProgress(this, std::uint16_t(percent));
            reported = percent;
            if (const auto now = std::chrono::steady_clock::now(); moved || now - lastEvents >= kEventInterval) {
                forms::ProcessMessages();
                lastEvents = std::chrono::steady_clock::now();
            }
            if (cancel_) {
                (void)out.commit();
                return false;
            }
        }
    }
    std::uint32_t written = 0;
    if (DeinitStream(output_.data(), written) != lame::BE_OK)
        throw ELameError("Write error");
    write(written, "Write error");
    if (!out.commit() || FinishVBRHeader(output) != lame::BE_OK)
        throw ELameError("Write error");
    CloseStream();
    if (OnEndFile)
        OnEndFile(this, std::uint16_t(index), output);
    return true;
}

}  // namespace cd
