// The two smaller MPEG readers: the frame reader (unit mpegfile) and the record-based scanner
// (unit MP3Utils), checked against ffprobe.
#include <gtest/gtest.h>

#include "AudioFixtures.h"
#include "support/TestSupport.h"
#include "tags/MP3Utils.h"
#include "tags/mpegfile.h"

using namespace testsupport;

namespace {

double probeSeconds(const std::string& file)
{
    return std::stod(fixtures::ffprobe(file)["format_duration"]);
}

struct Encoded {
    std::string file;
    bool xing;
    int sampleRate;
    int samplesPerFrame;
    int xingOffset;  // where the Xing header sits in the first frame
};

std::vector<Encoded> encodeAll(const TempDir& dir)
{
    const std::string stereo = fixtures::makeTone(dir.path(), "s.wav", 44100, 2, 3);
    const std::string mono = fixtures::makeTone(dir.path(), "m.wav", 22050, 1, 3);
    return {
        {fixtures::lame(stereo, dir.path(), "cbr.mp3", {"-t", "-b", "128"}), false, 44100, 1152, 0},
        {fixtures::lame(stereo, dir.path(), "vbr.mp3", {"-V", "2"}), true, 44100, 1152, 36},
        {fixtures::lame(mono, dir.path(), "vbr-mono.mp3", {"-V", "6", "-m", "m"}), true, 22050, 576, 13},
        {fixtures::ffmpeg(mono, dir.path(), "lsf.mp2", {"-c:a", "mp2", "-b:a", "48k"}), false, 22050, 1152, 0},
    };
}

TEST(Mp3Scanner, DurationAndGeometryAgreeWithFfprobe)
{
    TempDir dir;
    for (const Encoded& e : encodeAll(dir)) {
        SCOPED_TRACE(e.file);
        const double seconds = probeSeconds(e.file);
        const double frameSeconds = double(e.samplesPerFrame) / e.sampleRate;
        TMp3Record record;
        const std::int64_t ms = ScanMP3File(e.file, record);
        EXPECT_NEAR(ms / 1000.0, seconds, 1.5 * frameSeconds);
        EXPECT_EQ(record.FirstFrame, 0);
        EXPECT_EQ(record.AudioLength, std::int64_t(readFile(e.file).size()));
        EXPECT_EQ(record.SampleRate(), e.sampleRate);
        EXPECT_EQ(record.SamplesPerFrame, e.samplesPerFrame);
        EXPECT_EQ(record.XingPosition, e.xing ? e.xingOffset : -1);
        EXPECT_NEAR(double(record.FrameCount), seconds / frameSeconds, 1.5);
        EXPECT_GT(record.FrameLength, 0);
    }
}

TEST(MpegFile, FirstFrameAgreesWithFfprobe)
{
    TempDir dir;
    for (const Encoded& e : encodeAll(dir)) {
        SCOPED_TRACE(e.file);
        const auto probe = fixtures::ffprobe(e.file);
        TMPEGData data;
        ASSERT_EQ(ReadMPEGData(e.file, data), 0);
        EXPECT_EQ(data.FileSize, std::int64_t(readFile(e.file).size()));
        EXPECT_EQ(data.SampleRate, std::stoi(probe.at("sample_rate")));
        EXPECT_EQ(data.Mode == 3, probe.at("channels") == "1");
        EXPECT_EQ(data.Version, e.sampleRate == 44100 ? 1 : 2);
        EXPECT_EQ(data.Layer, probe.at("codec_name") == "mp2" ? 2 : 3);
        EXPECT_NEAR(data.Duration, std::stod(probe.at("format_duration")), 1.0);
        EXPECT_NEAR(data.BitRate, std::stod(probe.at("bit_rate")) / 1000, e.xing ? 2.0 : 0.0);
    }
}

// A big tag in front, whose picture holds a copy of MPEG audio, and an ID3v1 tag behind: the
// audio starts behind the first, ends before the second.
TEST(Mp3Scanner, TagsAroundTheAudio)
{
    TempDir dir;
    const std::string stereo = fixtures::makeTone(dir.path(), "s.wav", 44100, 2, 3);
    const std::string plain = fixtures::lame(stereo, dir.path(), "p.mp3", {"-t", "-b", "128"});
    const std::string audio = readFile(plain);
    const std::string tag = fixtures::id3v23Tag(
        {{"APIC", std::string("\0image/png\0\x03\0", 13) + audio.substr(0, 20000) +
                      fixtures::randomBytes(300 * 1024, 3)}});
    writeFile(dir.file("t.mp3"), tag + audio + "TAG" + std::string(125, '\0'));

    TMp3Record before, after;
    const std::int64_t plainMs = ScanMP3File(plain, before);
    EXPECT_EQ(ScanMP3File(dir.file("t.mp3"), after), plainMs);
    EXPECT_EQ(after.FirstFrame, std::int64_t(tag.size()));
    EXPECT_EQ(after.AudioLength, before.AudioLength);
    EXPECT_EQ(after.FrameCount, before.FrameCount);

    TMPEGData plainData, taggedData;
    ASSERT_EQ(ReadMPEGData(plain, plainData), 0);
    ASSERT_EQ(ReadMPEGData(dir.file("t.mp3"), taggedData), 0);
    EXPECT_EQ(taggedData.Duration, plainData.Duration);
    EXPECT_EQ(taggedData.BitRate, 128);
}

// Under 8192 bytes the whole audio is scanned; the ID3v1 tag is no audio.
TEST(Mp3Scanner, ShortFileWithId3v1)
{
    TempDir dir;
    const std::string tone = fixtures::makeTone(dir.path(), "s.wav", 44100, 2, 0.3);
    const std::string file = fixtures::lame(tone, dir.path(), "short.mp3", {"-t", "-b", "128"});
    const std::string audio = readFile(file);
    ASSERT_LT(audio.size(), 8192u);
    writeFile(dir.file("tagged.mp3"), audio + "TAG" + std::string(125, 'x'));
    TMp3Record plain, tagged;
    const std::int64_t ms = ScanMP3File(file, plain);
    EXPECT_GT(ms, 0);
    EXPECT_EQ(ScanMP3File(dir.file("tagged.mp3"), tagged), ms);
    EXPECT_EQ(tagged.AudioLength, std::int64_t(audio.size()));
    EXPECT_NEAR(ms / 1000.0, probeSeconds(file), 1.5 * 1152 / 44100.0);
}

}  // namespace
