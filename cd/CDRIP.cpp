#include "cd/CDRIP.h"

#include "platform/forms/Application.h"
#include "platform/rtl/FileNames.h"

#include <QSaveFile>

#include <cstring>

namespace cd {

namespace {

constexpr TFormatInfo kFormats[] = {
    {2, 44100, STEREO}, {1, 44100, MONO}, {2, 22050, STEREO}, {1, 22050, MONO}, {2, 11025, STEREO}, {1, 11025, MONO},
};
constexpr std::uint8_t kDataTrack = 0x04;
constexpr int kWavHeaderBytes = 44;

// The 44-byte header of 16-bit PCM with `dataBytes` of samples.
QByteArray wavHeader(const TFormatInfo& f, std::uint32_t dataBytes)
{
    QByteArray h;
    const auto u32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            h.append(char((v >> (8 * i)) & 0xFF));
    };
    const auto u16 = [&](std::uint16_t v) {
        h.append(char(v & 0xFF));
        h.append(char(v >> 8));
    };
    h.append("RIFF");
    u32(dataBytes + 36);
    h.append("WAVEfmt ");
    u32(16);
    u16(1);
    u16(std::uint16_t(f.Channels));
    u32(f.Rate);
    u32(f.Rate * std::uint32_t(f.Channels) * 2);
    u16(std::uint16_t(f.Channels * 2));
    u16(16);
    h.append("data");
    u32(dataBytes);
    return h;
}

void write(QSaveFile& out, const void* data, std::int64_t size)
{
    if (out.write(static_cast<const char*>(data), size) != size)
        throw ECDRIPError("Write error");
}

}  // namespace

TFormatInfo FormatInfo(TOutputFormat Format)
{
    return kFormats[Format >= STEREO44100 && Format <= MONO11025 ? Format : STEREO44100];
}

std::string JitterFileName(const std::string& FileName)
{
    return rtl::ChangeFileExt(FileName, "jitt");
}

TCDRIP::TCDRIP(const std::vector<std::string>& Drives)
{
    try {
        version_ = std::to_string(cdrip::CR_GetCDRipVersion());
        if (cdrip::CR_Init(Drives) == cdrip::CR_OK && cdrip::CR_GetCDROMParameters(params_) == cdrip::CR_OK) {
            cdRomNum_ = cdrip::CR_GetActiveCDROM();
            ReadParameters();
            jitterCorrect_ = true;
            params_.JitterCorrection = -1;
        }
        ReadTracks();
    } catch (const std::exception&) {
        throw ECDRIPError("Initialization failure");
    }
}

TCDRIP::~TCDRIP() = default;

void TCDRIP::ReadParameters()
{
    haveParams_ = true;
    driveTable_.DriveType = TDriveType(params_.DriveType);
    driveTable_.ReadMethod = TReadMethod(params_.ReadMethod);
    driveTable_.SetSpeed = TSetSpeed(params_.SetSpeed);
    driveTable_.Endian = TEndian(params_.Endian);
    driveTable_.EnableMode = TEnableMode(params_.EnableMode);
    driveTable_.Density = params_.Density;
    driveTable_.Atapi = params_.Atapi != 0;
    outputFormat_ = TOutputFormat(params_.OutputFormat);
    speed_ = params_.Speed;
}

void TCDRIP::ReadTracks()
{
    tracks_.clear();
    if (cdrip::CR_ReadToc() != cdrip::CR_OK)
        return;
    const int count = cdrip::CR_GetNumTocEntries();
    for (int i = 0; i < count; ++i) {
        const cdrip::TocEntry entry = cdrip::CR_GetTocEntry(i);
        TTrack t;
        t.TrackNumber = std::uint16_t(i + 1);
        t.StartSector = entry.StartSector;
        t.EndSector = cdrip::CR_GetTocEntry(i + 1).StartSector - 1;
        t.Name = (i + 1 < 10 ? "Track0" : "Track") + std::to_string(i + 1);
        t.Kind = entry.Flags & kDataTrack ? "Data" : "Audio";
        tracks_.push_back(t);
    }
}

void TCDRIP::SetCoder(TLameCoder* Value)
{
    coder_ = Value;
    SetOutputFormat(outputFormat_);
}

void TCDRIP::SetCDRomNum(int N)
{
    if (N == cdRomNum_)
        return;
    try {
        if (cdrip::CR_SetActiveCDROM(N) == cdrip::CR_OK) {
            if (cdrip::CR_GetCDROMParameters(params_) == cdrip::CR_OK) {
                ReadParameters();
                params_.JitterCorrection = jitterCorrect_ ? -1 : 0;
            }
            cdRomNum_ = N;
        }
        ReadTracks();
    } catch (const std::exception&) {
        throw ECDRIPError("Initialization failure");
    }
}

void TCDRIP::SetOutputFormat(TOutputFormat Value)
{
    outputFormat_ = Value;
    params_.OutputFormat = Value;
    if (coder_) {
        coder_->SetSampleRate(FormatInfo(Value).Rate);
        coder_->SetMode(FormatInfo(Value).Mode);
    }
}

void TCDRIP::SetJitterCorrect(bool Value)
{
    if (Value == jitterCorrect_)
        return;
    jitterCorrect_ = Value;
    params_.JitterCorrection = Value ? -1 : 0;
}

bool TCDRIP::ApplyParameters()
{
    try {
        return haveParams_ && cdrip::CR_SetCDROMParameters(params_) == cdrip::CR_OK;
    } catch (const std::exception&) {
        throw ECDRIPError("Error setting parameters");
    }
}

std::int32_t TCDRIP::SectorsRead() const
{
    const TFormatInfo f = FormatInfo(outputFormat_);
    return std::int32_t(bytesRead_ / (std::int64_t(f.Channels) * 2 * f.Rate / 75));
}

void TCDRIP::RipTrack(int TrackNum, const std::string& FileName)
{
    if (TrackNum < 1 || TrackNum > TrackCount())
        throw ECDRIPError("List index out of bounds (" + std::to_string(TrackNum - 1) + ")");
    if (OnBeginTrack)
        OnBeginTrack(this, std::uint16_t(TrackNum));
    const TTrack& t = tracks_[std::size_t(TrackNum - 1)];
    RipSectors(t.StartSector, t.EndSector, FileName);
    if (OnEndTrack)
        OnEndTrack(this, std::uint16_t(TrackNum));
}

void TCDRIP::RipSectors(std::int32_t StartSector, std::int32_t EndSector, std::string FileName)
{
    if (ripping_)
        throw ECDRIPError("A rip is already running on this component");
    if (!ApplyParameters())
        throw ECDRIPError("Invalid CD-ROM parameters");
    cancel_ = false;
    jitterList_.Clear();
    bytesRead_ = 0;
    std::int32_t bufferSize = 0;
    if (cdrip::CR_OpenRipper(bufferSize, StartSector, EndSector) != cdrip::CR_OK)
        return;
    struct Session {
        TCDRIP& rip;
        explicit Session(TCDRIP& r) : rip(r) { rip.ripping_ = true; }
        ~Session()
        {
            (void)cdrip::CR_CloseRipper();
            if (rip.coder_)
                rip.coder_->CloseStream();
            rip.ripping_ = false;
        }
    } session(*this);

    const bool encoding = Encode && coder_;
    if (encoding)
        FileName = rtl::ChangeFileExt(FileName, ".mp3");
    const TFormatInfo format = FormatInfo(outputFormat_);
    QSaveFile out(QString::fromStdString(FileName));
    if (!out.open(QIODevice::WriteOnly))
        throw ECDRIPError("Write error");
    const bool wav = WriteWAV && !encoding;
    if (wav)
        write(out, wavHeader(format, 0).constData(), kWavHeaderBytes);

    std::uint32_t chunkBytes = 0;
    std::vector<std::uint8_t> mp3;
    if (encoding) {
        // The stream must take the samples as the ripper delivers them.
        SetOutputFormat(outputFormat_);
        if (const std::uint32_t r = coder_->InitStream())
            throw ELameError("beInitStream failed " + std::to_string(r));
        chunkBytes = coder_->SamplesPerChunk() * 2;
        mp3.resize(coder_->OutputBufferSize());
    }
    // Room for a whole read behind a leftover of less than one chunk.
    std::vector<std::uint8_t> buffer(std::size_t(bufferSize) + chunkBytes);
    std::vector<std::int16_t> samples(chunkBytes / 2);
    const auto encode = [&](const std::uint8_t* bytes, std::uint32_t count) {
        for (std::uint32_t i = 0; i < count / 2; ++i)
            samples[i] = std::int16_t(std::uint16_t(bytes[2 * i] | bytes[2 * i + 1] << 8));
        std::uint32_t written = 0;
        if (const std::uint32_t r = coder_->EncodeChunk(samples.data(), count / 2, mp3.data(), written))
            throw ELameError("beEncodeChunk failed " + std::to_string(r));
        write(out, mp3.data(), written);
    };

    std::uint32_t leftover = 0;
    std::int64_t dataBytes = 0;
    std::int32_t result = cdrip::CR_OK;
    do {
        if (cancel_)
            break;
        std::int32_t bytesRead = 0;
        result = cdrip::CR_RipChunk(buffer.data() + leftover, bytesRead);
        if (result != cdrip::CR_FAILED) {
            bytesRead_ += bytesRead;
            if (encoding) {
                const std::uint32_t bytes = std::uint32_t(bytesRead) + leftover;
                std::uint32_t at = 0;
                for (; bytes - at >= chunkBytes; at += chunkBytes)
                    encode(buffer.data() + at, chunkBytes);
                leftover = bytes - at;
                std::memmove(buffer.data(), buffer.data() + at, leftover);
            } else {
                write(out, buffer.data(), bytesRead);
                dataBytes += bytesRead;
            }
        }
        if (result == cdrip::CR_JITTER_ERROR) {
            std::int32_t first = 0, last = 0;
            cdrip::CR_GetLastJitterErrorPosition(first, last);
            jitterList_.Add(std::to_string(first) + " " + std::to_string(last));
        }
        if (OnProgress)
            OnProgress(this, std::uint16_t(cdrip::CR_GetPercentCompleted()));
        forms::ProcessMessages();
    } while (result != cdrip::CR_RIPPING_DONE);

    if (encoding) {
        if (leftover > 0)
            encode(buffer.data(), leftover);
        std::uint32_t written = 0;
        if (coder_->DeinitStream(mp3.data(), written) != 0)
            throw ECDRIPError("Write error");
        write(out, mp3.data(), written);
    }
    if (wav) {
        const QByteArray header = wavHeader(format, std::uint32_t(dataBytes));
        if (!out.seek(0))
            throw ECDRIPError("Write error");
        write(out, header.constData(), kWavHeaderBytes);
    }
    jitterErrors_ = cdrip::CR_GetNumberOfJitterErrors();
    if (!out.commit())
        throw ECDRIPError("Write error");
    if (encoding && coder_->FinishVBRHeader(FileName) != 0)
        throw ECDRIPError("Write error");
    if (jitterList_.Count() > 0)
        jitterList_.SaveToFile(JitterFileName(FileName));
}

}  // namespace cd
