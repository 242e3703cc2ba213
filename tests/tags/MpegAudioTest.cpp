#include <gtest/gtest.h>

#include <cmath>

#include "AudioFixtures.h"
#include "support/TestSupport.h"
#include "tags/MPEGaudio.h"

using namespace testsupport;

namespace {

// Writes an MPEG 1 Layer I mono stream of silent frames (bit-rate index, sample-rate index,
// frame count), padded like an encoder keeps the average rate; an optional text ends the last
// frame.
const char* const kLayerOneStream = R"(
import sys
path, br, sr, count = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
tail = sys.argv[5].encode() if len(sys.argv) > 5 else b''
rate = [0,32,64,96,128,160,192,224,256,288,320,352,384,416,448,0][br]
hz = [44100,48000,32000,0][sr]
exact = 12 * rate * 1000 / hz if rate and hz else 100
out, carry = bytearray(), 0.0
for i in range(count):
    slots = int(exact); carry += exact - slots
    pad = 1 if carry >= 1 else 0; carry -= pad
    frame = bytearray((slots + pad) * 4)
    frame[0:4] = bytes([0xFF, 0xFF, (br << 4) | (sr << 2) | (pad << 1), 0xC0])
    if i == count - 1 and tail:
        frame[-len(tail):] = tail
    out += frame
open(path, 'wb').write(out)
)";

std::string layerOne(const std::string& path, int bitRateIndex, int sampleRateIndex, int frames,
                     const std::string& tail = {})
{
    std::vector<std::string> args = {path, std::to_string(bitRateIndex),
                                     std::to_string(sampleRateIndex), std::to_string(frames)};
    if (!tail.empty())
        args.push_back(tail);
    fixtures::python(kLayerOneStream, args);
    return path;
}

double number(const std::map<std::string, std::string>& values, const std::string& key)
{
    const auto it = values.find(key);
    return it == values.end() ? NAN : std::stod(it->second);
}

// LAME's version as its encoder tag spells it: "3.100" -> "3.10".
std::string lameVersion()
{
    const std::string out = runCommand("lame", {"--version"}).out;
    const auto at = out.find("version ");
    return at == std::string::npos ? std::string() : out.substr(at + 8, 4);
}

struct CbrCase {
    const char* name;
    const char* tool;  // "lame" or "ffmpeg"
    int sampleRate;    // of the source tone
    int channels;
    std::vector<std::string> options;
    const char* version;
    const char* layer;
    const char* mode;
};

void PrintTo(const CbrCase& c, std::ostream* os) { *os << c.name; }

class MpegAudioCbr : public ::testing::TestWithParam<CbrCase> {};

// Constant-bit-rate files of every version, both layers the tools write, and each channel
// mode; ffprobe decides sample rate, bit rate and duration.
TEST_P(MpegAudioCbr, AgreesWithFfprobe)
{
    const CbrCase& c = GetParam();
    TempDir dir;
    const std::string wav = fixtures::makeTone(dir.path(), "tone.wav", c.sampleRate, c.channels, 3);
    const std::string file = std::string(c.tool) == "lame"
                                 ? fixtures::lame(wav, dir.path(), "out.mp3", c.options)
                                 : fixtures::ffmpeg(wav, dir.path(), "out.mp2", c.options);
    const auto probe = fixtures::ffprobe(file);

    TMPEGaudio mpeg;
    ASSERT_TRUE(mpeg.ReadFromFile(file));
    EXPECT_TRUE(mpeg.Valid());
    EXPECT_FALSE(mpeg.VBR.Found);
    EXPECT_EQ(mpeg.Version(), c.version);
    EXPECT_EQ(mpeg.Layer(), c.layer);
    EXPECT_EQ(mpeg.ChannelMode(), c.mode);
    EXPECT_EQ(mpeg.SampleRate(), number(probe, "sample_rate"));
    EXPECT_EQ(mpeg.BitRate() * 1000, number(probe, "bit_rate"));
    const double frameSeconds =
        mpeg::samplesPerFrame(mpeg.Frame.VersionID, mpeg.Frame.LayerID) / double(mpeg.SampleRate());
    EXPECT_NEAR(mpeg.Duration(), number(probe, "format_duration"), 1.5 * frameSeconds);
    EXPECT_NEAR(double(mpeg.Frames()), mpeg.Duration() / frameSeconds, 2.0);
}

INSTANTIATE_TEST_SUITE_P(
    Files, MpegAudioCbr,
    ::testing::Values(
        CbrCase{"LameJoint128", "lame", 44100, 2, {"-b", "128", "-m", "j"}, "MPEG 1", "Layer III", "Joint Stereo"},
        CbrCase{"LameStereo192", "lame", 48000, 2, {"-b", "192", "-m", "s"}, "MPEG 1", "Layer III", "Stereo"},
        CbrCase{"LameMono64", "lame", 32000, 1, {"-b", "64", "-m", "m"}, "MPEG 1", "Layer III", "Mono"},
        CbrCase{"LameNoXingTag", "lame", 44100, 2, {"-t", "-b", "128"}, "MPEG 1", "Layer III", "Joint Stereo"},
        CbrCase{"LameMpeg2", "lame", 22050, 2, {"-b", "64", "-m", "s"}, "MPEG 2", "Layer III", "Stereo"},
        CbrCase{"LameMpeg25Mono", "lame", 11025, 1, {"-t", "-b", "32"}, "MPEG 2.5", "Layer III", "Mono"},
        CbrCase{"Mp2Mpeg1", "ffmpeg", 44100, 2, {"-c:a", "mp2", "-b:a", "192k"}, "MPEG 1", "Layer II", "Stereo"},
        CbrCase{"Mp2Mpeg1Mono", "ffmpeg", 48000, 1, {"-c:a", "mp2", "-b:a", "96k"}, "MPEG 1", "Layer II", "Mono"},
        CbrCase{"Mp2Mpeg2", "ffmpeg", 22050, 2, {"-c:a", "mp2", "-b:a", "64k"}, "MPEG 2", "Layer II", "Stereo"},
        CbrCase{"Mp2Mpeg2Mono", "ffmpeg", 16000, 1, {"-c:a", "mp2", "-b:a", "32k"}, "MPEG 2", "Layer II", "Mono"}),
    [](const auto& info) { return std::string(info.param.name); });

// Xing headers of lame -V files give the frame count; the average bit rate follows from it.
TEST(MpegAudio, LameVbrUsesXingHeader)
{
    TempDir dir;
    const std::string stereo = fixtures::makeTone(dir.path(), "s.wav", 44100, 2, 4);
    const std::string mono = fixtures::makeTone(dir.path(), "m.wav", 22050, 1, 4);
    for (const std::string& file : {fixtures::lame(stereo, dir.path(), "v2.mp3", {"-V", "2"}),
                                    fixtures::lame(mono, dir.path(), "v6.mp3", {"-V", "6"})}) {
        SCOPED_TRACE(file);
        const auto probe = fixtures::ffprobe(file);
        TMPEGaudio mpeg;
        ASSERT_TRUE(mpeg.ReadFromFile(file));
        EXPECT_TRUE(mpeg.Valid());
        ASSERT_TRUE(mpeg.VBR.Found);
        EXPECT_EQ(mpeg.VBR.ID, "Xing");
        EXPECT_EQ(mpeg.Frames(), mpeg.VBR.Frames);
        EXPECT_NEAR(mpeg.Duration(), number(probe, "format_duration"), 0.03);
        EXPECT_NEAR(mpeg.BitRate(), number(probe, "bit_rate") / 1000.0, 2.0);
        EXPECT_EQ(mpeg.EncoderID(), 3);
        EXPECT_EQ(mpeg.Encoder(), "LAME " + lameVersion());
    }
}

// Without a VBR header the encoder tag is looked for near the end of the audio.
TEST(MpegAudio, LameCbrEncoderFromVendorScan)
{
    TempDir dir;
    const std::string wav = fixtures::makeTone(dir.path(), "s.wav", 44100, 2, 3);
    for (const auto& options : {std::vector<std::string>{"-b", "128"},
                                std::vector<std::string>{"-t", "-b", "160"}}) {
        TMPEGaudio mpeg;
        ASSERT_TRUE(mpeg.ReadFromFile(fixtures::lame(wav, dir.path(), "c.mp3", options)));
        EXPECT_EQ(mpeg.VendorID, "LAME" + lameVersion());
        EXPECT_EQ(mpeg.Encoder(), "LAME " + lameVersion());
    }
    // A stream of another encoder whose last frame carries "LAME3.92".
    TMPEGaudio mpeg;
    ASSERT_TRUE(mpeg.ReadFromFile(layerOne(dir.file("l1.mp1"), 12, 0, 300, "LAME3.92")));
    EXPECT_EQ(mpeg.EncoderID(), 3);
    EXPECT_EQ(mpeg.Encoder(), "LAME 3.92");
}

// Layer I counts in 4-byte slots: at 384 kbit/s and 44100 Hz a frame is 416 or 420 bytes.
TEST(MpegAudio, LayerOneFramesAndValidity)
{
    TempDir dir;
    const std::string file = layerOne(dir.file("a.mp1"), 12, 0, 300);
    TMPEGaudio mpeg;
    ASSERT_TRUE(mpeg.ReadFromFile(file));
    ASSERT_TRUE(mpeg.Frame.Found);
    EXPECT_EQ(mpeg.Layer(), "Layer I");
    EXPECT_EQ(mpeg.Frame.Size, 416);
    EXPECT_EQ(mpeg.BitRate(), 384);
    EXPECT_NEAR(mpeg.Duration(), number(fixtures::ffprobe(file), "format_duration"), 0.01);

    // 448 kbit/s for 2 s is valid; two frames (under 0.1 s) are not.
    EXPECT_TRUE(mpeg.ReadFromFile(layerOne(dir.file("b.mp1"), 14, 0, 230)));
    EXPECT_TRUE(mpeg.Valid());
    EXPECT_NEAR(mpeg.Duration(), 230 * 384 / 44100.0, 0.01);
    EXPECT_TRUE(mpeg.ReadFromFile(layerOne(dir.file("c.mp1"), 14, 0, 2)));
    EXPECT_FALSE(mpeg.Valid());

    // Bit-rate index 15 and sample-rate index 3 never make a frame.
    for (auto [bitRate, sampleRate] : {std::pair{15, 0}, std::pair{12, 3}}) {
        EXPECT_TRUE(mpeg.ReadFromFile(layerOne(dir.file("d.mp1"), bitRate, sampleRate, 50)));
        EXPECT_FALSE(mpeg.Frame.Found);
        EXPECT_FALSE(mpeg.Valid());
        EXPECT_EQ(mpeg.Duration(), 0.0);
    }
}

// A 300 KB picture in the ID3v2 tag - holding what looks like MPEG audio itself - does not
// hide the audio behind it, and the tags are not counted as audio.
TEST(MpegAudio, LargeId3v2TagInFront)
{
    TempDir dir;
    const std::string wav = fixtures::makeTone(dir.path(), "s.wav", 44100, 2, 3);
    const std::string plain = fixtures::lame(wav, dir.path(), "plain.mp3", {"-b", "128"});
    const std::string audio = readFile(plain);
    std::string picture = std::string("\0image/jpeg\0\x03\0", 14) + audio.substr(0, 5000) +
                          fixtures::randomBytes(300 * 1024, 7);
    const std::string tag = fixtures::id3v23Tag({{"TIT2", std::string("\0Title", 6)},
                                                 {"APIC", picture}}, 512);
    const std::string v1 = "TAG" + std::string(125, ' ');
    writeFile(dir.file("tagged.mp3"), tag + audio + v1);

    TMPEGaudio before, after;
    ASSERT_TRUE(before.ReadFromFile(plain));
    ASSERT_TRUE(after.ReadFromFile(dir.file("tagged.mp3")));
    EXPECT_TRUE(after.ID3v2.Exists);
    EXPECT_EQ(after.ID3v2.Size, std::int64_t(tag.size()));
    EXPECT_TRUE(after.ID3v1.Exists);
    EXPECT_TRUE(after.Valid());
    EXPECT_EQ(after.Frame.Position, before.Frame.Position);
    EXPECT_EQ(after.Frames(), before.Frames());
    EXPECT_DOUBLE_EQ(after.Duration(), before.Duration());
    EXPECT_EQ(after.Encoder(), before.Encoder());
}

}  // namespace
