// Tiny, random, truncated and lying files through every header reader: each gives an invalid
// result and none reads out of bounds, divides by zero or hangs.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "AudioFixtures.h"
#include "support/TestSupport.h"
#include "tags/MP3Utils.h"
#include "tags/MPEGaudio.h"
#include "tags/WAVfile.h"
#include "tags/mpegfile.h"

using namespace testsupport;

namespace {

void expectNothingFound(const std::string& file, std::size_t size)
{
    TMPEGaudio mpeg;
    EXPECT_TRUE(mpeg.ReadFromFile(file));
    EXPECT_FALSE(mpeg.Valid());
    EXPECT_TRUE(std::isfinite(mpeg.Duration()));

    TWAVfile wav;
    EXPECT_TRUE(wav.ReadFromFile(file));
    EXPECT_FALSE(wav.Valid);

    TMPEGData data;
    EXPECT_EQ(ReadMPEGData(file, data), size < 6 ? -1 : 0);
    EXPECT_EQ(data.Duration, 0u);

    TMp3Record record;
    EXPECT_EQ(ScanMP3File(file, record), 0);
    EXPECT_EQ(record.FirstFrame, -1);
}

TEST(HostileFiles, TinyAndRandomFiles)
{
    TempDir dir;
    for (std::size_t size : {0, 1, 3, 5, 100, 4096, 65536, 1 << 20}) {
        for (unsigned seed : {1u, 2u}) {
            SCOPED_TRACE(std::to_string(size) + " bytes, seed " + std::to_string(seed));
            const std::string file = dir.file("r" + std::to_string(size));
            writeFile(file, fixtures::randomBytes(size, seed));
            expectNothingFound(file, size);
        }
    }
    writeFile(dir.file("ff"), std::string(10000, '\xFF'));
    expectNothingFound(dir.file("ff"), 10000);
}

// The start of real files cut short: no second frame, a tag header without its tag, a RIFF
// header without its chunks.
TEST(HostileFiles, TruncatedHeaders)
{
    TempDir dir;
    const std::string wav = fixtures::makeTone(dir.path(), "s.wav", 44100, 2, 1);
    const std::string mp3 = readFile(fixtures::lame(wav, dir.path(), "a.mp3", {"-b", "128"}));
    const std::string pcm = readFile(wav);
    const std::vector<std::string> cases = {
        mp3.substr(0, 3), mp3.substr(0, 4), mp3.substr(0, 10), mp3.substr(0, 500),
        std::string("ID3\x03\x00\x00", 6), std::string("ID3\x04\x00\x10\x7f\x7f\x7f\x7f", 10),
        std::string("ID3\x03\x00\x00\x00\x00\x00\x20", 10) + mp3.substr(0, 100),
        pcm.substr(0, 12), pcm.substr(0, 20), pcm.substr(0, 40)};
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE("case " + std::to_string(i));
        writeFile(dir.file("t"), cases[i]);
        expectNothingFound(dir.file("t"), cases[i].size());
    }
}

// VBR headers that claim no frames or no bytes fall back to counting from the file size.
TEST(HostileFiles, EmptyVbrHeaders)
{
    TempDir dir;
    const std::string wav = fixtures::makeTone(dir.path(), "s.wav", 44100, 2, 2);
    std::string mp3 = readFile(fixtures::lame(wav, dir.path(), "v.mp3", {"-V", "4"}));
    const std::size_t xing = mp3.find("Xing");
    ASSERT_EQ(xing, 36u);
    mp3.replace(xing + 8, 8, std::string(8, '\0'));  // frames and bytes 0
    writeFile(dir.file("zero.mp3"), mp3);

    TMPEGaudio mpeg;
    ASSERT_TRUE(mpeg.ReadFromFile(dir.file("zero.mp3")));
    EXPECT_TRUE(mpeg.VBR.Found);
    EXPECT_GT(mpeg.Frames(), 0);
    EXPECT_GT(mpeg.BitRate(), 0);
    EXPECT_GT(mpeg.Duration(), 0.0);
    TMp3Record record;
    EXPECT_GT(ScanMP3File(dir.file("zero.mp3"), record), 0);
    EXPECT_EQ(record.XingPosition, -1);
    EXPECT_GT(record.FrameCount, 0);
    TMPEGData data;
    EXPECT_EQ(ReadMPEGData(dir.file("zero.mp3"), data), 0);
    EXPECT_GT(data.BitRate, 0);

    // The same frame with a VBRI header of no frames in place of the Xing header.
    mp3.replace(xing, 18, std::string("VBRI\0\1\0\0\0\x50", 10) + std::string(8, '\0'));
    writeFile(dir.file("vbri.mp3"), mp3);
    ASSERT_TRUE(mpeg.ReadFromFile(dir.file("vbri.mp3")));
    EXPECT_EQ(mpeg.VBR.ID, "VBRI");
    EXPECT_EQ(mpeg.EncoderID(), 2);
    EXPECT_GT(mpeg.Frames(), 0);
    EXPECT_TRUE(std::isfinite(mpeg.Duration()));
}

// Real files with bytes of their headers and tags overwritten at random.
TEST(HostileFiles, MutatedHeaders)
{
    TempDir dir;
    const std::string wav = fixtures::makeTone(dir.path(), "s.wav", 22050, 1, 1);
    const std::string tagged = fixtures::id3v23Tag(
        {{"TIT2", std::string("\1\xff\xfeT\0", 5)}, {"COMM", std::string("\0eng\0c", 7)}}, 64);
    const std::vector<std::string> originals = {
        tagged + readFile(fixtures::lame(wav, dir.path(), "v.mp3", {"-V", "5"})),
        readFile(fixtures::ffmpeg(wav, dir.path(), "l.wav", {"-c:a", "pcm_s16le"}))};
    std::mt19937 random(11);
    for (const std::string& original : originals) {
        for (int round = 0; round < 150; ++round) {
            std::string bytes = original;
            const int changes = 1 + int(random() % 8);
            for (int i = 0; i < changes; ++i)
                bytes[random() % std::min<std::size_t>(bytes.size(), 600)] = char(random());
            writeFile(dir.file("m"), bytes);
            TMPEGaudio mpeg;
            EXPECT_TRUE(mpeg.ReadFromFile(dir.file("m")));
            EXPECT_TRUE(std::isfinite(mpeg.Duration()));
            EXPECT_GE(mpeg.Duration(), 0.0);
            TWAVfile wavFile;
            EXPECT_TRUE(wavFile.ReadFromFile(dir.file("m")));
            EXPECT_LE(wavFile.HeaderSize, std::int64_t(bytes.size()));
            TMPEGData data;
            EXPECT_EQ(ReadMPEGData(dir.file("m"), data), 0);
            TMp3Record record;
            EXPECT_GE(ScanMP3File(dir.file("m"), record), 0);
            EXPECT_LT(record.FirstFrame, std::int64_t(bytes.size()));
        }
    }
}

}  // namespace
