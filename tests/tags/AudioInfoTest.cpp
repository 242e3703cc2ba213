// The audio-file information texts for MP3 (CBR, VBR), Layer II and WAV files against ffprobe,
// hostile files, and the MP3-in-RIFF wrapping checked with ffprobe and ffmpeg.
#include "AudioFixtures.h"
#include "TagTestSupport.h"
#include "platform/rtl/Streams.h"
#include "support/TestSupport.h"
#include "tags/MP3Utils.h"
#include "tags/MPEGaudio.h"
#include "tags/ReadOnlyFile.h"
#include "tags/libID3Tag.h"
#include "tags/libMP3Header.h"
#include "tags/mpegfile.h"
#include "util/SafeFile.h"
#include "util/libText.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>

using testsupport::readFile;
using testsupport::TempDir;

namespace {

std::uint32_t le32(const std::string& s, std::size_t at)
{
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(s[at + i]);
    return v;
}

std::uint16_t le16(const std::string& s, std::size_t at)
{
    return static_cast<std::uint16_t>(static_cast<unsigned char>(s[at]) |
                                      (static_cast<unsigned char>(s[at + 1]) << 8));
}

double probeDuration(const std::string& file)
{
    auto p = fixtures::ffprobe(file);
    return std::stod(p.count("duration") && p["duration"] != "N/A" ? p["duration"] : p["format_duration"]);
}

std::string text(TAudioInfoSlot slot) { return AudioFileInfo.Text[slot]; }

// Whole seconds of the duration slot must match ffprobe's to within a second.
void expectDurationNear(const std::string& file)
{
    const double probed = probeDuration(file);
    const long seconds = std::stol(text(aiSeconds));
    EXPECT_LE(std::abs(seconds - probed), 1.0) << text(aiDuration);
    EXPECT_EQ(text(aiSecondsText), text(aiSeconds) + " sec");
    EXPECT_EQ(text(aiDuration), text(aiTime) + " (" + text(aiSecondsText) + ")");
}

class AudioInfo : public testing::Test {
protected:
    void SetUp() override { SetupTagObjects(true); }
    void TearDown() override
    {
        SetupTagObjects(false);
        Mp3WrapDialogs = {};
        safefile::setWriteBudget(-1);
    }
    TempDir dir;
};

}  // namespace

TEST_F(AudioInfo, LameCbrAndVbr)
{
    const std::string wav = fixtures::makeTone(dir.path(), "t.wav", 44100, 2, 3.0);
    const std::string cbr = fixtures::lame(wav, dir.path(), "cbr.mp3", {"-b", "128"});
    GetAudioFileInfo(cbr);
    EXPECT_TRUE(AudioFileInfo.Valid);
    EXPECT_EQ(text(aiFileName), cbr);
    EXPECT_EQ(text(aiBitRate), "128 Kbps");
    EXPECT_EQ(text(aiSampleRate), "44100 Hz");
    EXPECT_EQ(AudioFileInfo.SampleRate, 44100);
    EXPECT_EQ(text(aiChannelMode), "Joint Stereo");
    EXPECT_EQ(text(aiVbr), std::string(4, '\0') + " No (CBR)");
    EXPECT_EQ(text(aiVersion), "MPEG 1 Layer III");
    EXPECT_EQ(text(aiEncoder).rfind("LAME", 0), 0u) << text(aiEncoder);
    EXPECT_EQ(text(aiFormat), "EncoderID     : 3");
    EXPECT_EQ(text(aiStartByte), "0 Byte");
    EXPECT_EQ(text(aiFileSize), std::to_string((std::filesystem::file_size(cbr) + 512) / 1024) + " KB");
    EXPECT_EQ(text(aiTime), "0:00:03");
    expectDurationNear(cbr);
    // lame's frames: 3 s of 1152-sample frames, plus its delay and the info frame.
    EXPECT_NEAR(double(AudioFileInfo.FrameCount), 3.0 * 44100 / 1152, 4.0);
    EXPECT_EQ(text(aiFrames), std::to_string(AudioFileInfo.FrameCount));
    for (TAudioInfoSlot yesNo : {aiPadding, aiPrivate, aiCrc, aiCopyright, aiOriginal})
        EXPECT_TRUE(text(yesNo) == "Yes" || text(yesNo) == "No") << yesNo;
    EXPECT_EQ(text(aiCrc), "No");  // lame writes no CRC unless asked

    // 32 kbit/s MPEG 1 Layer III without a VBR header: a VBR stream whose first frame says 32
    // shows as 320 kbit/s VBR, as the program always showed it; a 32 kbit/s stream as it is.
    const std::string low = fixtures::lame(wav, dir.path(), "low.mp3", {"-b", "32", "--resample", "32"});
    const std::string high = fixtures::lame(wav, dir.path(), "high.mp3", {"-b", "128", "--resample", "32"});
    const std::string abr = fixtures::lame(wav, dir.path(), "abr.mp3", {"--abr", "32", "--resample", "32"});
    const std::string lowBytes = readFile(low);
    const std::string mixed = tagtest::makeFile(dir.file("mixed.mp3"), lowBytes.substr(0, 144) + readFile(high));
    struct Case {
        std::string file;
        const char* rate;
        std::string vbr;
    };
    for (const Case& c : {Case{low, "32 Kbps", std::string(4, '\0') + " No (CBR)"}, Case{mixed, "320 Kbps", "Yes"},
                          Case{abr, "", "Xing Yes (VBR)"}}) {
        SCOPED_TRACE(c.file);
        GetAudioFileInfo(c.file);
        EXPECT_EQ(text(aiVersion), "MPEG 1 Layer III");
        if (*c.rate) {
            EXPECT_EQ(text(aiBitRate), c.rate);
        }
        EXPECT_EQ(text(aiVbr), c.vbr);
    }

    const std::string vbr = fixtures::lame(wav, dir.path(), "vbr.mp3", {"-V", "4", "-m", "m"});
    GetAudioFileInfo(vbr);
    EXPECT_TRUE(AudioFileInfo.Valid);
    EXPECT_EQ(text(aiVbr), "Xing Yes (VBR)");
    EXPECT_EQ(text(aiChannelMode), "Mono");
    const double probedRate = std::stod(fixtures::ffprobe(vbr)["bit_rate"]) / 1000;
    EXPECT_NEAR(std::stod(text(aiBitRate)), probedRate, probedRate * 0.1) << text(aiBitRate);
    expectDurationNear(vbr);
}

// VBR streams without a Xing header, as `lame -t` and ffmpeg's `-write_xing 0` write them: the
// first frame's rate says nothing of the length. The details count the frames to the end, as
// ffprobe -count_frames does; the quick analysis takes the mean of the frames it read first.
TEST_F(AudioInfo, VbrWithoutVbrHeader)
{
    for (int seconds : {3, 20}) {
        const std::string wav = dir.file("n" + std::to_string(seconds) + ".wav");
        // The same noise every run (-R): how far the first frames' rate lies from the whole
        // file's must not change by chance from run to run.
        auto made = testsupport::runCommand("sox", {"-R", "-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth",
                                                    std::to_string(seconds), "pinknoise", "sine", "440", "vol", "0.5"});
        ASSERT_EQ(made.exitCode, 0) << made.err;
        const std::string name = std::to_string(seconds);
        for (const std::string& mp3 :
             {fixtures::lame(wav, dir.path(), "lame" + name + ".mp3", {"-V", "2", "-t"}),
              fixtures::ffmpeg(wav, dir.path(), "ffmpeg" + name + ".mp3",
                               {"-c:a", "libmp3lame", "-q:a", "2", "-write_xing", "0"})}) {
            SCOPED_TRACE(mp3);
            auto probe = testsupport::runCommand("ffprobe", {"-v", "error", "-count_frames", "-select_streams", "a:0",
                                                             "-show_entries", "stream=nb_read_frames", "-of",
                                                             "default=nw=1:nk=1", mp3});
            ASSERT_EQ(probe.exitCode, 0) << probe.err;
            const long frames = std::stol(probe.out);
            const double length = frames * 1152.0 / 44100;
            const std::string bytes = readFile(mp3);
            const std::size_t tag = bytes.compare(0, 3, "ID3") == 0
                                        ? 10 + (std::size_t(bytes[6]) << 21) + (std::size_t(bytes[7]) << 14) +
                                              (std::size_t(bytes[8]) << 7) + std::size_t(bytes[9])
                                        : 0;
            const double kbps = double(bytes.size() - tag) * 8 / length / 1000;

            GetAudioFileInfo(mp3, true);
            EXPECT_TRUE(AudioFileInfo.Valid);
            EXPECT_EQ(AudioFileInfo.FrameCount, frames);
            EXPECT_EQ(text(aiFrames), FormatFloatGrouped(frames, 0));
            EXPECT_EQ(text(aiSamples), FormatFloatGrouped(frames * 1152.0, 0));
            EXPECT_EQ(std::stol(text(aiSeconds)), long(length)) << text(aiDuration);
            EXPECT_NEAR(std::stod(text(aiBitRate)), kbps, 1.0) << text(aiBitRate);
            EXPECT_EQ(text(aiVbr), std::string(4, '\0') + " No (CBR)");

            // Without the count: the mean of the first block's frames (the first of lame is at
            // 320 kbit/s), near enough for a list where the first frame's rate is not.
            GetAudioFileInfo(mp3);
            EXPECT_NEAR(std::stod(text(aiSeconds)), length, length * 0.25 + 1) << text(aiDuration);  // whole seconds
            EXPECT_NEAR(double(AudioFileInfo.FrameCount), double(frames), frames * 0.25);
            EXPECT_NEAR(std::stod(text(aiBitRate)), kbps, kbps * 0.25) << text(aiBitRate);
            tags::ReadOnlyFile file(mp3);
            TMPEGaudio quick;
            ASSERT_TRUE(quick.ReadFromFile(file));
            EXPECT_NEAR(quick.Duration(), length, length * 0.25);
            EXPECT_NEAR(quick.BitRate(), kbps, kbps * 0.25);

            // The wrapped file's "fact" samples and byte rate come from the frames counted.
            if (seconds == 3) {
                const std::string wrapped = ConvertMp3ToRiffWave(mp3);
                ASSERT_FALSE(wrapped.empty());
                const std::string riff = readFile(wrapped);
                ASSERT_GE(riff.size(), 70u);
                EXPECT_EQ(le32(riff, 58), std::uint32_t((frames - 1) * 1152 - 1105));
                EXPECT_NEAR(double(le32(riff, 28)), kbps * 125, 125.0);
                std::filesystem::remove(wrapped);
            }
        }
    }
}

TEST_F(AudioInfo, LayerTwoInBothVersions)
{
    const std::string wav = fixtures::makeTone(dir.path(), "t.wav", 44100, 2, 4.0);
    struct Case {
        const char* rate;
        const char* version;
    };
    for (Case c : {Case{"48000", "MPEG 1 Layer II"}, Case{"22050", "MPEG 2 Layer II"}}) {
        SCOPED_TRACE(c.rate);
        const std::string mp2 = fixtures::ffmpeg(wav, dir.path(), std::string("l2_") + c.rate + ".mp2",
                                                 {"-c:a", "mp2", "-b:a", "64k", "-ar", c.rate});
        GetAudioFileInfo(mp2);
        EXPECT_TRUE(AudioFileInfo.Valid);
        EXPECT_EQ(text(aiVersion), c.version);
        EXPECT_EQ(text(aiBitRate), "64 Kbps");
        EXPECT_EQ(AudioFileInfo.SampleRate, std::stoi(c.rate));
        expectDurationNear(mp2);
        // 1152 samples per Layer II frame in every version.
        EXPECT_NEAR(double(AudioFileInfo.FrameCount), 4.0 * std::stoi(c.rate) / 1152, 3.0);
    }
}

// A CBR file starts with an Info frame (the Xing header of CBR), which carries no audio. FFmpeg
// gives it the lowest bit rate it fits in when no rate is asked for: the stream's rate and
// length come from the frames behind it.
TEST_F(AudioInfo, InfoFrameOfAnotherRate)
{
    const std::string wav = fixtures::makeTone(dir.path(), "t.wav", 44100, 2, 3.0);
    struct Case {
        const char* name;
        std::vector<std::string> options;
    };
    for (const Case& c : {Case{"default.mp3", {"-c:a", "libmp3lame"}},
                          Case{"asked.mp3", {"-c:a", "libmp3lame", "-b:a", "128k"}}}) {
        SCOPED_TRACE(c.name);
        const std::string mp3 = fixtures::ffmpeg(wav, dir.path(), c.name, c.options);
        ASSERT_NE(readFile(mp3).find("Info"), std::string::npos);
        GetAudioFileInfo(mp3);
        EXPECT_TRUE(AudioFileInfo.Valid);
        EXPECT_EQ(text(aiBitRate), "128 Kbps");
        EXPECT_EQ(text(aiVbr), std::string(4, '\0') + " No (CBR)");
        expectDurationNear(mp3);
        EXPECT_NEAR(double(AudioFileInfo.FrameCount), 3.0 * 44100 / 1152, 4.0);
        TMp3Record record;
        EXPECT_NEAR(double(ScanMP3File(mp3, record)), 3000.0, 100.0);
        EXPECT_EQ(std::stoi(fixtures::ffprobe(mp3)["bit_rate"]), record.BitRate() * 1000);
    }
}

// Some writers leave padding behind the ID3v2 tag, outside its size, or the rest of an older
// tag: the audio behind is described as without them.
TEST_F(AudioInfo, ZerosAndJunkBetweenTagAndAudio)
{
    const std::string wav = fixtures::makeTone(dir.path(), "t.wav", 44100, 2, 3.0);
    for (const char* rate : {"-b", "-V"}) {  // CBR, and VBR with its Xing header
        const std::string mp3 = fixtures::lame(wav, dir.path(), "tagged.mp3", {rate, *rate == 'b' ? "128" : "4"});
        fixtures::python("import sys\nfrom mutagen.id3 import ID3, TIT2\nt = ID3()\n"
                         "t.add(TIT2(encoding=3, text='t'))\nt.save(sys.argv[1], padding=lambda info: 0)",
                         {mp3});
        const std::string tagged = readFile(mp3);
        ASSERT_EQ(tagged.substr(0, 3), "ID3");
        const std::size_t tagSize = 10 + (std::size_t(tagged[8]) << 7) + std::size_t(tagged[9]);
        GetAudioFileInfo(mp3);
        const TAudioFileInfo plain = AudioFileInfo;
        for (const std::string& gap : {std::string(20000, '\0'), fixtures::randomBytes(6000, 7)}) {
            SCOPED_TRACE(std::string(rate) + (gap[0] ? " junk" : " zeros"));
            const std::string padded =
                tagtest::makeFile(dir.file("padded.mp3"), tagged.substr(0, tagSize) + gap + tagged.substr(tagSize));
            GetAudioFileInfo(padded);
            EXPECT_TRUE(AudioFileInfo.Valid);
            EXPECT_EQ(text(aiStartByte), FormatFloatGrouped(static_cast<long double>(tagSize + gap.size()), 0) + " Byte");
            for (TAudioInfoSlot slot : {aiBitRate, aiVbr, aiFrames, aiSamples, aiDuration, aiEncoder}) {
                EXPECT_EQ(text(slot), plain.Text[slot]) << slot;
            }
        }
    }
}

// An APE tag appended by a tagger or gain tool, before an ID3v1 tag or at the very end, is no
// audio; a footer whose tag would not fit behind the audio's start is taken for audio.
TEST_F(AudioInfo, ApeTagBehindTheAudio)
{
    const std::string wav = fixtures::makeTone(dir.path(), "t.wav", 44100, 2, 3.0);
    const std::string plain = fixtures::lame(wav, dir.path(), "plain.mp3", {"-b", "128"});
    const std::string audio = readFile(plain);
    const std::string apeFile = tagtest::makeFile(dir.file("ape.mp3"), audio);
    fixtures::python("import sys\nfrom mutagen.apev2 import APEv2\nt = APEv2()\nt['Title'] = 't'\n"
                     "t['Comment'] = 'c' * 5000\nt.save(sys.argv[1])",
                     {apeFile});
    const std::string ape = readFile(apeFile).substr(audio.size());
    ASSERT_EQ(ape.substr(0, 8), "APETAGEX");  // mutagen writes the header too
    ASSERT_GT(ape.size(), 5000u);
    std::string headerless = ape.substr(32);
    headerless[headerless.size() - 32 + 23] &= 0x7F;  // the footer no longer claims a header
    const std::string id3v1 = "TAG" + std::string(125, '\0');
    auto footer = [](std::uint32_t size) {
        std::string f = "APETAGEX" + std::string(24, '\0');
        for (int i = 0; i < 4; ++i) {
            f[8 + i] = static_cast<char>((2000u >> (8 * i)) & 0xFF);
            f[12 + i] = static_cast<char>((size >> (8 * i)) & 0xFF);
        }
        return f;
    };
    // One byte more than the audio and the footer itself.
    const std::string pastStart = footer(std::uint32_t(audio.size() + 33));
    struct Case {
        const char* name;
        std::string tail;
        std::size_t audioTail;  // bytes of the tail that stay audio
    };
    TMp3Record plainRecord;
    ASSERT_GT(ScanMP3File(plain, plainRecord), 0);
    TMPEGData plainData;
    ASSERT_EQ(ReadMPEGData(plain, plainData), 0);
    GetAudioFileInfo(plain);
    const TAudioFileInfo plainInfo = AudioFileInfo;
    const double probed = probeDuration(plain);
    for (const Case& c : {Case{"with header", ape, 0}, Case{"before ID3v1", ape + id3v1, 0},
                          Case{"without header", headerless + id3v1, 0},
                          Case{"size past the file", footer(0x7FFFFFF0), 32},
                          Case{"one byte too large", pastStart + id3v1, 32}}) {
        SCOPED_TRACE(c.name);
        const std::string file = tagtest::makeFile(dir.file("tailed.mp3"), audio + c.tail);
        TMp3Record record;
        ScanMP3File(file, record);
        EXPECT_EQ(record.AudioLength, plainRecord.AudioLength + std::int64_t(c.audioTail));
        TMPEGData data;
        ASSERT_EQ(ReadMPEGData(file, data), 0);
        EXPECT_EQ(data.Duration, plainData.Duration);
        GetAudioFileInfo(file);
        EXPECT_LE(std::abs(std::stod(text(aiSeconds)) - probed), 1.0);
        for (TAudioInfoSlot slot : {aiBitRate, aiFrames, aiSamples, aiDuration}) {
            EXPECT_EQ(text(slot), plainInfo.Text[slot]) << slot;
        }

        const std::string out = ConvertMp3ToRiffWave(file);
        ASSERT_FALSE(out.empty());
        const std::string wrapped = readFile(out);
        EXPECT_EQ(le32(wrapped, 66), std::uint32_t(record.AudioLength));
        EXPECT_EQ(wrapped.find("APETAGEX") != std::string::npos, c.audioTail > 0);
        EXPECT_NEAR(probeDuration(out), probed, 0.1);
        std::filesystem::remove(out);
    }
}

TEST_F(AudioInfo, WavDurationFromDataSizeAndByteRate)
{
    const std::string tone = fixtures::makeTone(dir.path(), "tone.wav", 8000, 1, 65.0);
    // ffmpeg puts a LIST chunk before "data".
    const std::string wav =
        fixtures::ffmpeg(tone, dir.path(), "listed.WAV", {"-metadata", "title=x", "-c:a", "pcm_s16le"});
    const std::string bytes = readFile(wav);
    ASSERT_NE(bytes.find("LIST"), std::string::npos);
    GetAudioFileInfo(wav);
    EXPECT_TRUE(AudioFileInfo.Valid);
    EXPECT_EQ(text(aiFormat), "WavFormat     : Windows PCM");
    EXPECT_EQ(text(aiTime), "0:01:05");
    EXPECT_EQ(text(aiDuration), "0:01:05 (65 sec)");
    EXPECT_EQ(text(aiBitRate), "128 Kbps");  // 8000 x 2 bytes x 8
    EXPECT_EQ(text(aiChannelMode), "Mono");
    EXPECT_EQ(text(aiSampleRate), "8000 Hz");
    EXPECT_EQ(text(aiStartByte), std::to_string(bytes.find("data") + 8) + " Byte");
    EXPECT_EQ(text(aiVersion), "");
    EXPECT_EQ(text(aiFileSize), std::to_string((bytes.size() + 512) / 1024) + " KB");
    expectDurationNear(wav);

    AudioFileInfo.SampleRate = 0;
    ReadSampleRate(wav);
    EXPECT_EQ(AudioFileInfo.SampleRate, 8000);
    EXPECT_EQ(text(aiFileName), wav);  // nothing else changes
    ReadSampleRate(fixtures::lame(tone, dir.path(), "m.mp3", {"-b", "32", "--resample", "16"}));
    EXPECT_EQ(AudioFileInfo.SampleRate, 16000);
}

// The information reads a WAV file's header in small blocks: chunks that lie beyond the first
// one (a long odd-sized LIST, an "id3 " chunk in front of "fmt ", "fmt " behind the sound) are
// found as ffprobe finds them, with 8-, 16- and 24-bit (extensible) samples.
TEST_F(AudioInfo, WavLayoutsAgainstFfprobe)
{
    const std::string tone = fixtures::makeTone(dir.path(), "tone.wav", 32000, 2, 3.0);
    const std::string bytes8 = dir.file("eight.wav"), bytes24 = dir.file("extensible.wav");
    ASSERT_EQ(testsupport::runCommand("sox", {tone, "-b", "8", bytes8}).exitCode, 0);
    ASSERT_EQ(testsupport::runCommand("sox", {tone, "-b", "24", "-r", "48000", bytes24}).exitCode, 0);
    fixtures::python(R"(
import struct, sys
src = open(sys.argv[1], 'rb').read()
fmt = src[12:12 + 8 + 16]
sound = src[src.index(b'data') + 8:]
def chunk(cid, data):
    return cid + struct.pack('<I', len(data)) + data + b'\0' * (len(data) % 2)
def riff(body):
    return b'RIFF' + struct.pack('<I', len(body) + 4) + b'WAVE' + body
layouts = {
    'longlist.wav': fmt + chunk(b'LIST', b'INFOICMT' + struct.pack('<I', 4989) + b'c' * 4989) + chunk(b'data', sound),
    'id3first.wav': chunk(b'id3 ', b'ID3\3\0\0\0\0\x17\x30' + b'\0' * 2992) + fmt + chunk(b'data', sound),
    'fmtlast.wav': chunk(b'data', sound) + fmt,
}
for name, body in layouts.items():
    open(sys.argv[2] + '/' + name, 'wb').write(riff(body))
)",
                     {tone, dir.path()});
    for (const char* name : {"eight.wav", "extensible.wav", "longlist.wav", "id3first.wav", "fmtlast.wav"}) {
        SCOPED_TRACE(name);
        const std::string file = dir.file(name);
        const std::string bytes = readFile(file);
        auto probe = fixtures::ffprobe(file);
        ReadTag(file);
        GetAudioFileInfo(file);
        EXPECT_TRUE(AudioFileInfo.Valid);
        EXPECT_EQ(text(aiSampleRate), probe["sample_rate"] + " Hz");
        EXPECT_EQ(text(aiChannelMode), probe["channels"] == "2" ? "Stereo" : "Mono");
        EXPECT_EQ(text(aiStartByte), FormatFloatGrouped(static_cast<long double>(bytes.find("data") + 8), 0) + " Byte");
        EXPECT_EQ(text(aiFormat), std::string("WavFormat     : ") + (std::string(name) == "extensible.wav" ? "" : "Windows PCM"));
        expectDurationNear(file);
        EXPECT_EQ(text(aiSeconds), "3");
    }
}

TEST_F(AudioInfo, HostileAndTinyFilesAreInvalid)
{
    const std::string mp3 = tagtest::mp3Audio();
    const std::vector<std::string> contents = {
        "", "\xFF", "\xFF\xFB\x90", std::string(100, '\xFF'), fixtures::randomBytes(5000, 7),
        mp3.substr(0, 10), mp3.substr(0, 3), "ID3\x03\0\0\x7f\x7f\x7f\x7f", "RIFF\xFF\xFF\xFF\xFFWAVEfmt \x10\0\0\0",
        "RIFF\x24\0\0\0WAVEdata\xF0\xFF\xFF\xFF" + std::string(40, '\0')};
    int informed = 0;
    Mp3WrapDialogs.Inform = [&](const std::string& message) {
        EXPECT_EQ(message, "This file is no MP3 valid file!");
        ++informed;
    };
    int n = 0;
    for (const std::string& data : contents) {
        for (const char* ext : {".mp3", ".wav"}) {
            const std::string path = tagtest::makeFile(dir.file("h" + std::to_string(n++) + ext), data);
            SCOPED_TRACE(path);
            GetAudioFileInfo(path);
            EXPECT_FALSE(AudioFileInfo.Valid);
            ReadSampleRate(path);
            EXPECT_FALSE(ReadTag(path));
            EXPECT_EQ(ConvertMp3ToRiffWave(path), "");
        }
    }
    EXPECT_EQ(informed, 2 * int(contents.size()));
    GetAudioFileInfo(dir.file("missing.mp3"));
    EXPECT_FALSE(AudioFileInfo.Valid);
    // A FIFO under a music name must not hang any reader.
    const std::string fifo = dir.file("fifo.mp3");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    GetAudioFileInfo(fifo);
    EXPECT_FALSE(AudioFileInfo.Valid);
    ReadSampleRate(fifo);
    EXPECT_FALSE(ReadTag(fifo));
    EXPECT_FALSE(WriteTag(fifo));
    EXPECT_EQ(ConvertMp3ToRiffWave(fifo), "");
}

TEST_F(AudioInfo, UniqueNames)
{
    const std::string song = dir.file("song.wav");
    EXPECT_EQ(MakeUniqueFileName(song), song);
    tagtest::makeFile(song, "x");
    EXPECT_EQ(MakeUniqueFileName(song), dir.file("song(2).wav"));
    tagtest::makeFile(dir.file("song(2).wav"), "x");
    EXPECT_EQ(MakeUniqueFileName(song), dir.file("song(3).wav"));
    tagtest::makeFile(dir.file("plain"), "x");
    EXPECT_EQ(MakeUniqueFileName(dir.file("plain")), dir.file("plain(2)"));
}

TEST_F(AudioInfo, WrapsMp3IntoRiffWave)
{
    const std::string wav = fixtures::makeTone(dir.path(), "src.wav", 44100, 2, 2.0);
    const std::string mp3 = fixtures::lame(wav, dir.path(), "song.mp3", {"-b", "160"});
    ClearTag();
    CurrentTag.Title = "包む歌";
    CurrentTag.Artist = "Artist";
    CurrentTag.Lyrics = "lyrics stay in the MP3";
    ASSERT_TRUE(WriteTag(mp3));
    tagtest::makeFile(dir.file("song.wav"), "taken");

    TMp3Record record;
    ASSERT_GT(ScanMP3File(mp3, record), 0);
    const std::string out = ConvertMp3ToRiffWave(mp3);
    ASSERT_EQ(out, dir.file("song(2).wav"));
    const std::string bytes = readFile(out);
    const std::string source = readFile(mp3);
    ASSERT_EQ(bytes.size(), 70 + record.AudioLength + (record.AudioLength & 1) + 128);
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(le32(bytes, 4), bytes.size() - 128 - 8);  // the ID3v1 tag follows the RIFF
    EXPECT_EQ(bytes.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(le16(bytes, 20), 85);
    EXPECT_EQ(le16(bytes, 22), 2);
    EXPECT_EQ(le32(bytes, 24), 44100u);
    EXPECT_EQ(le32(bytes, 28), 160u * 125);
    EXPECT_EQ(bytes.substr(50, 4), "fact");
    EXPECT_EQ(bytes.substr(62, 4), "data");
    EXPECT_EQ(le32(bytes, 66), std::uint32_t(record.AudioLength));
    EXPECT_EQ(bytes.substr(70, std::size_t(record.AudioLength)),
              source.substr(std::size_t(record.FirstFrame), std::size_t(record.AudioLength)));

    auto probe = fixtures::ffprobe(out);
    EXPECT_EQ(probe["codec_name"], "mp3");
    EXPECT_NEAR(probeDuration(out), probeDuration(mp3), 0.1);
    EXPECT_TRUE(tagtest::decodesCleanly(out));
    ClearTag();
    EXPECT_FALSE(ReadTag(out));
    EXPECT_EQ(CurrentTag.Title, "包む歌");
    EXPECT_EQ(CurrentTag.TagKindNo, 1);

    GetAudioFileInfo(out);
    EXPECT_EQ(text(aiFormat), "WavFormat     : MPEG Layer III");
    EXPECT_EQ(text(aiStartByte), "70 Byte");
    EXPECT_EQ(text(aiSeconds), "2");
}

TEST_F(AudioInfo, ExistingRiffHeaderIsOfferedAndWritesAreAtomic)
{
    const std::string wav = fixtures::makeTone(dir.path(), "src.wav", 44100, 1, 1.0);
    const std::string mp3 = fixtures::lame(wav, dir.path(), "a.mp3", {"-b", "64"});
    const std::string wrapped = ConvertMp3ToRiffWave(mp3);
    ASSERT_FALSE(wrapped.empty());
    // A RIFF-wrapped MP3 under an .mp3 name.
    const std::string again = dir.file("again.mp3");
    std::filesystem::rename(wrapped, again);
    const std::string source = readFile(again);
    const std::size_t riffEnd = le32(source, 4) + 8;

    std::vector<std::string> asked;
    TRiffAnswer answer = TRiffAnswer::Cancel;
    Mp3WrapDialogs.AskTakeHeader = [&](const std::string& q) {
        asked.push_back(q);
        return answer;
    };
    EXPECT_EQ(ConvertMp3ToRiffWave(again), "");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], again + "\r\nhas a RIFF WAVE header!\r\n\r\nTake this header?");
    EXPECT_FALSE(std::filesystem::exists(dir.file("again.wav")));

    answer = TRiffAnswer::Yes;
    std::string out = ConvertMp3ToRiffWave(again);
    ASSERT_EQ(out, dir.file("again.wav"));
    EXPECT_EQ(readFile(out).substr(0, riffEnd), source.substr(0, riffEnd));
    EXPECT_EQ(readFile(out).size(), riffEnd + 128);

    answer = TRiffAnswer::No;
    out = ConvertMp3ToRiffWave(again);
    ASSERT_EQ(out, dir.file("again(2).wav"));
    const std::string fresh = readFile(out);
    EXPECT_EQ(le16(fresh, 22), 1);  // mono
    EXPECT_EQ(fresh.substr(70, riffEnd - 70), source.substr(70, riffEnd - 70));
    // The old wrapper's pad byte now ends the audio, which ffmpeg reports; it still decodes.
    EXPECT_EQ(fixtures::ffprobe(out)["codec_name"], "mp3");
    EXPECT_NEAR(probeDuration(out), probeDuration(again), 0.1);

    // A disk that fills up leaves neither the new file nor a temporary one behind, and says so
    // instead of passing for a cancel.
    const auto filesBefore = std::distance(std::filesystem::directory_iterator(dir.path()), {});
    safefile::setWriteBudget(1000);
    EXPECT_THROW(ConvertMp3ToRiffWave(mp3), rtl::EWriteError);
    safefile::setWriteBudget(-1);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), filesBefore);
}
