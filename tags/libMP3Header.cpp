#include "tags/libMP3Header.h"
#include "platform/rtl/FileNames.h"
#include "platform/rtl/Streams.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QGuiApplication>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "tags/MP3Utils.h"
#include "util/libControl.h"
#include "tags/MPEGaudio.h"
#include "tags/ReadOnlyFile.h"
#include "tags/WAVfile.h"
#include "tags/id3File.h"
#include "tags/libID3Tag.h"
#include "tags/mpegfile.h"
#include "util/SafeFile.h"
#include "util/libText.h"

TAudioFileInfo AudioFileInfo;
TMp3WrapDialogs Mp3WrapDialogs;

namespace {

constexpr std::int64_t kRiffHeaderSize = 70;
constexpr std::uint32_t kCodecDelay = 1105;
constexpr std::uint16_t kFormatMpeg = 80;       // MPEG Layer I/II in RIFF
constexpr std::uint16_t kFormatMpegLayer3 = 85;

const char* yesNo(bool value) { return value ? "Yes" : "No"; }

std::string grouped(std::int64_t value) { return FormatFloatGrouped(static_cast<long double>(value), 0); }

std::string kilobytes(std::int64_t bytes) { return std::to_string((bytes + 512) / 1024) + " KB"; }

std::string twoDigits(std::int64_t n) { return (n < 10 ? "0" : "") + std::to_string(n); }

void setDuration(TAudioFileInfo& info, std::int64_t seconds)
{
    info.Text[aiSeconds] = grouped(seconds);
    info.Text[aiSecondsText] = info.Text[aiSeconds] + " sec";
    info.Text[aiTime] = std::to_string(seconds / 3600) + ":" + twoDigits(seconds / 60 % 60) + ":" +
                        twoDigits(seconds % 60);
    info.Text[aiDuration] = info.Text[aiTime] + " (" + info.Text[aiSecondsText] + ")";
}

// First frame, frame count and the header bits the scanner sees.
void fromScanner(tags::ReadOnlyFile& file, TAudioFileInfo& info)
{
    TMp3Record record;
    info.Valid = ScanMP3File(file, record) > 0;
    if (!info.Valid)
        return;
    info.Text[aiPrivate] = yesNo(record.PrivateBit);
    info.Text[aiPadding] = yesNo(record.PaddingBit);
    info.Text[aiStartByte] = grouped(record.FirstFrame) + " Byte";
    info.FrameCount = record.FrameCount;
    info.Text[aiFrames] = grouped(record.FrameCount);
    info.Text[aiSamples] = grouped(record.FrameCount * record.SamplesPerFrame);
}

void fromFrameReader(tags::ReadOnlyFile& file, TAudioFileInfo& info, bool takeDuration)
{
    TMPEGData data;
    ReadMPEGData(file, data);
    const bool found = data.Layer != 0;
    if (takeDuration)
        setDuration(info, data.Duration);
    info.Text[aiCopyright] = yesNo(data.Copyright);
    info.Text[aiOriginal] = yesNo(data.Original);
    info.Text[aiPadding] = yesNo(data.Padding);
    info.Text[aiCrc] = yesNo(found && !data.NoCrc);
}

// The duration of a WAV file comes from its data size and byte rate.
void fromWav(const TWAVfile& wave, TAudioFileInfo& info)
{
    info.Valid = wave.Valid;
    info.Text[aiVersion].clear();
    info.Text[aiFormat] = "WavFormat     : " + wave.Format();
    info.Text[aiFileSize] = kilobytes(wave.FileSize);
    info.Text[aiBitRate] = std::to_string((std::int64_t(wave.BytesPerSecond) * 8 + 500) / 1000) + " Kbps";
    info.Text[aiChannelMode] = wave.Channel();
    info.SampleRate = static_cast<std::int32_t>(std::min<std::uint32_t>(wave.SampleRate, INT32_MAX));
    info.Text[aiSampleRate] = std::to_string(info.SampleRate) + " Hz";
    info.Text[aiStartByte] = grouped(wave.HeaderSize) + " Byte";
    setDuration(info, static_cast<std::int64_t>(wave.Duration()));
}

std::string vbrText(const TMPEGaudio& mpeg)
{
    const std::string id = mpeg.VBR.Found ? mpeg.VBR.ID : std::string(4, '\0');
    return id + " " + (mpeg.VBR.Found ? "Yes (VBR)" : "No (CBR)");
}

void fromMpegAudio(tags::ReadOnlyFile& file, TAudioFileInfo& info, bool countFrames)
{
    TMPEGaudio mpeg;
    mpeg.ReadFromFile(file);
    // A VBR stream without a VBR header: its frames counted to the end (or the mean of the
    // first ones) give the length, rate and counts in place of the first frame's.
    if (countFrames)
        mpeg.CountFrames(file);
    info.Valid = mpeg.Valid();
    info.Text[aiFileSize] = kilobytes(mpeg.FileLength);
    info.Text[aiVersion] = mpeg.Version() + " " + mpeg.Layer();
    info.SampleRate = mpeg.SampleRate();
    info.Text[aiSampleRate] = std::to_string(info.SampleRate) + " Hz";
    info.Text[aiBitRate] = std::to_string(mpeg.BitRate()) + " Kbps";
    info.Text[aiVbr] = vbrText(mpeg);
    // Kept from the program's Windows days: a header-less VBR stream whose first frame says
    // 32 kbit/s is shown as a 320 kbit/s VBR file. A stream that stays at 32 kbit/s is what it
    // says.
    const int firstRate = mpeg::bitRate(mpeg.Frame.VersionID, mpeg.Frame.LayerID, mpeg.Frame.BitRateID);
    if (!mpeg.VBR.Found && firstRate == 32 && info.Text[aiVersion] == "MPEG 1 Layer III" &&
        mpeg.OtherRateFollows(file)) {
        info.Text[aiBitRate] = "320 Kbps";
        info.Text[aiVbr] = "Yes";
    }
    info.Text[aiChannelMode] = mpeg.ChannelMode();
    info.Text[aiEmphasis] = mpeg.Emphasis();
    info.FrameCount = mpeg.Frames();
    info.Text[aiFrames] = grouped(info.FrameCount);
    if (mpeg.VbrWithoutHeader()) {
        setDuration(info, static_cast<std::int64_t>(mpeg.Duration()));
        info.Text[aiSamples] =
            grouped(info.FrameCount * mpeg::samplesPerFrame(mpeg.Frame.VersionID, mpeg.Frame.LayerID));
    }
    info.Text[aiEncoder] = mpeg.Encoder();
    info.Text[aiFormat] = "EncoderID     : " + std::to_string(mpeg.EncoderID());
}

// RIFF files that wrap MPEG audio are worth the MPEG readers; PCM is not (and a long PCM file
// would have the frame reader search all of it).
bool mayHoldMpeg(const TWAVfile& wave)
{
    return !wave.Valid || wave.FormatID == kFormatMpeg || wave.FormatID == kFormatMpegLayer3;
}

void putLE16(std::string& out, std::size_t at, std::uint32_t v)
{
    out[at] = static_cast<char>(v & 0xFF);
    out[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

void putLE32(std::string& out, std::size_t at, std::uint32_t v)
{
    putLE16(out, at, v & 0xFFFF);
    putLE16(out, at + 2, v >> 16);
}

std::uint32_t clamp32(std::int64_t v)
{
    return static_cast<std::uint32_t>(std::clamp<std::int64_t>(v, 0, UINT32_MAX));
}

std::string withExtension(const std::string& path, const std::string& ext)
{
    return path.substr(0, rtl::ExtensionPos(path)) + ext;
}

bool exists(const std::string& path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

// What part of the source goes into the new file, behind which header.
struct WrapPlan {
    bool cancelled = false;
    std::string header;
    std::int64_t from = 0;
    std::int64_t length = 0;
    bool padOdd = false;
};

// A source whose audio starts late enough may already be a RIFF wrapper: the user may take
// its header as it is.
WrapPlan planWrap(int fd, const std::string& fileName, const TMp3Record& record)
{
    WrapPlan plan{false, BuildMp3RiffHeader(record), record.FirstFrame, record.AudioLength, true};
    std::string head;
    if (record.FirstFrame < 58 || !safefile::readAt(fd, 0, 20, head))
        return plan;
    const auto* b = reinterpret_cast<const std::uint8_t*>(head.data());
    const std::int64_t riffEnd = std::int64_t(tags::littleEndian32(b + 4)) + 8;
    if (std::memcmp(b, "RIFF", 4) != 0 || riffEnd > record.FirstFrame + record.AudioLength ||
        std::memcmp(b + 8, "WAVE", 4) != 0 || std::memcmp(b + 12, "fmt ", 4) != 0 ||
        tags::littleEndian32(b + 16) < 30)
        return plan;
    const TRiffAnswer answer =
        Mp3WrapDialogs.AskTakeHeader
            ? Mp3WrapDialogs.AskTakeHeader(fileName + "\r\nhas a RIFF WAVE header!\r\n\r\nTake this header?")
            : TRiffAnswer::Yes;
    if (answer == TRiffAnswer::Cancel)
        plan.cancelled = true;
    else if (answer == TRiffAnswer::Yes)
        plan = WrapPlan{false, {}, 0, riffEnd, false};
    return plan;
}

// Writes the plan into a temporary file beside `out` and gives it the name `out` only when it
// is complete; never replaces a file that appeared under that name meanwhile.
bool writeWrapped(int source, const WrapPlan& plan, const std::string& out)
{
    std::string pattern = out + ".XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        return false;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    bool ok = ::fchmod(fd, 0666 & ~mask) == 0 && safefile::writeAll(fd, plan.header) &&
              safefile::copyRange(source, std::uint64_t(plan.from), std::uint64_t(plan.length), fd) &&
              (!(plan.padOdd && (plan.length & 1)) || safefile::writeAll(fd, std::string(1, '\0')));
    ok = ::fsync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::link(pattern.c_str(), out.c_str()) == 0;
    ::unlink(pattern.c_str());
    return ok;
}

}  // namespace

bool IsWavFile(const std::string& FileName) { return rtl::HasExtension(FileName, ".wav"); }

void GetAudioFileInfo(const std::string& FileName, bool CountFrames)
{
    TAudioFileInfo& info = AudioFileInfo;
    info.Clear();
    info.Text[aiFileName] = FileName;
    const bool wav = IsWavFile(FileName);
    // One open file for all the readers: they share its first and last blocks. A WAV file's
    // header is all that is read of it, unless it may hold MPEG audio.
    tags::ReadOnlyFile file(FileName, wav ? tags::ReadOnlyFile::kHeaderBlockBytes : tags::ReadOnlyFile::kBlockBytes);
    TWAVfile wave;
    if (wav)
        wave.ReadFromFile(file);
    if (wav && mayHoldMpeg(wave))
        file.setBlockBytes(tags::ReadOnlyFile::kBlockBytes);
    if (!wav || mayHoldMpeg(wave)) {
        fromScanner(file, info);
        fromFrameReader(file, info, !wav);
    } else {
        for (int slot : {aiPadding, aiCrc, aiCopyright, aiOriginal})
            info.Text[slot] = yesNo(false);
    }
    if (wav)
        fromWav(wave, info);
    else
        fromMpegAudio(file, info, CountFrames);
}

void ReadSampleRate(const std::string& FileName)
{
    if (IsWavFile(FileName)) {
        TWAVfile wave;
        wave.ReadFromFile(FileName);
        AudioFileInfo.SampleRate = static_cast<std::int32_t>(std::min<std::uint32_t>(wave.SampleRate, INT32_MAX));
    } else {
        TMPEGaudio mpeg;
        mpeg.ReadFromFile(FileName);
        AudioFileInfo.SampleRate = mpeg.SampleRate();
    }
}

std::string BuildMp3RiffHeader(const TMp3Record& Record)
{
    const bool xing = Record.XingPosition >= 0;
    const std::int64_t audio = std::max<std::int64_t>(Record.AudioLength, 0);
    std::string h(kRiffHeaderSize, '\0');
    std::memcpy(h.data(), "RIFF", 4);
    putLE32(h, 4, clamp32(kRiffHeaderSize - 8 + audio + (audio & 1)));
    std::memcpy(h.data() + 8, "WAVEfmt ", 8);
    putLE32(h, 16, 30);
    putLE16(h, 20, kFormatMpegLayer3);
    putLE16(h, 22, Record.ModeID == mpeg::kModeMono ? 1 : 2);
    putLE32(h, 24, clamp32(Record.SampleRate()));
    putLE32(h, 28, clamp32(std::int64_t(Record.AverageBitRate > 0 ? Record.AverageBitRate : Record.BitRate()) * 125));
    putLE16(h, 32, 1);
    putLE16(h, 34, 0);
    putLE16(h, 36, 12);
    putLE16(h, 38, 1);
    putLE32(h, 40, xing ? 0 : Record.PaddingBit ? 1 : 2);
    putLE16(h, 44, static_cast<std::uint16_t>(std::clamp(Record.FrameLength, 0, 0xFFFF)));
    putLE16(h, 46, 1);
    putLE16(h, 48, kCodecDelay);
    std::memcpy(h.data() + 50, "fact", 4);
    putLE32(h, 54, 4);
    putLE32(h, 58, clamp32((Record.FrameCount - (xing ? 2 : 1)) * Record.SamplesPerFrame - kCodecDelay));
    std::memcpy(h.data() + 62, "data", 4);
    putLE32(h, 66, clamp32(audio));
    return h;
}

std::string MakeUniqueFileName(const std::string& FileName)
{
    if (!exists(FileName))
        return FileName;
    const std::size_t dot = rtl::ExtensionPos(FileName);
    const std::string stem = FileName.substr(0, dot), ext = FileName.substr(dot);
    for (int n = 2;; ++n) {
        std::string name = stem + "(" + std::to_string(n) + ")" + ext;
        if (!exists(name))
            return name;
    }
}

std::string ConvertMp3ToRiffWave(const std::string& FileName)
{
    TMp3Record record;
    {
        tags::ReadOnlyFile file(FileName);
        if (ScanMP3File(file, record) <= 0) {
            if (Mp3WrapDialogs.Inform)
                Mp3WrapDialogs.Inform("This file is no MP3 valid file!");
            return {};
        }
        // The "fact" sample count and the byte rate of a VBR stream without a VBR header come
        // from its frames counted, not from its first frame.
        TMPEGaudio mpeg;
        if (record.XingPosition < 0 && mpeg.ReadFromFile(file) && mpeg.CountFrames(file)) {
            record.FrameCount = mpeg.Frames();
            record.AverageBitRate = mpeg.BitRate();
        }
    }
    // The RIFF sizes are 32-bit.
    if (record.AudioLength > std::int64_t(UINT32_MAX) - kRiffHeaderSize - 1)
        throw rtl::EWriteError("\"" + FileName + "\" is too large for a WAV file.");
    TWaitCursor wait;
    ReadTag(FileName);
    const TCarriedTagTexts kept;
    const std::string out = MakeUniqueFileName(withExtension(FileName, ".wav"));
    id3file::Fd source = id3file::openForReading(FileName);
    if (!source.valid())
        throw rtl::EFOpenError("Cannot open file \"" + FileName + "\".");
    const WrapPlan plan = planWrap(source.get(), FileName, record);
    if (plan.cancelled)
        return {};
    // A failed write is told, not taken for a cancel: the user would wait for a file that never comes.
    if (!writeWrapped(source.get(), plan, out))
        throw rtl::EWriteError("Cannot create file \"" + out + "\".");
    kept.Restore();
    // The new file keeps what we could of the tag; a failure here leaves a playable file.
    (void)WriteTag(out);
    return out;
}
