// The encoder layer's limits: which configurations open a stream, and that stale handles and
// oversized chunks are refused rather than followed.
#include <gtest/gtest.h>

#include "platform/lame/Mp3Encoder.h"
#include "support/TestSupport.h"

#include <functional>
#include <vector>

using namespace lame;

TEST(Mp3Encoder, ConfigurationLimits)
{
    struct Case {
        const char* name;
        std::function<void(BeConfig&)> change;
        std::uint32_t chunk;   // 0: refused
    };
    const Case cases[] = {
        {"defaults", [](BeConfig&) {}, 2304},
        {"mono", [](BeConfig& c) { c.Mode = BE_MODE_MONO; }, 1152},
        {"dual channel", [](BeConfig& c) { c.Mode = BE_MODE_DUALCHANNEL; }, 2304},
        {"22,050 Hz at 160", [](BeConfig& c) { c.SampleRate = 22050, c.Bitrate = 160; }, 2304},
        {"11,025 Hz at 8", [](BeConfig& c) { c.SampleRate = 11025, c.Bitrate = 8; }, 2304},
        {"96 kHz resampled to 48", [](BeConfig& c) { c.SampleRate = 96000, c.ReSampleRate = 48000; }, 2304},
        {"VBR 0 from 32 to 320", [](BeConfig& c) { c.EnableVBR = 1, c.VBRQuality = 0, c.Bitrate = 32; }, 2304},
        {"voice preset", [](BeConfig& c) { c.Preset = BE_PRESET_VOICE; }, 2304},
        {"another kind", [](BeConfig& c) { c.Config = 0; }, 0},
        {"another size", [](BeConfig& c) { c.StructSize = 330; }, 0},
        {"rate 0", [](BeConfig& c) { c.SampleRate = 0; }, 0},
        {"rate 12,345 without resampling", [](BeConfig& c) { c.SampleRate = 12345; }, 0},
        {"mode 4", [](BeConfig& c) { c.Mode = 4; }, 0},
        {"preset 4", [](BeConfig& c) { c.Preset = 4; }, 0},
        {"bit rate 100", [](BeConfig& c) { c.Bitrate = 100; }, 0},
        {"224 at 22,050 Hz", [](BeConfig& c) { c.SampleRate = 22050, c.Bitrate = 224; }, 0},
        {"VBR maximum below minimum", [](BeConfig& c) { c.EnableVBR = 1, c.MaxBitrate = 96; }, 0},
        {"VBR quality 10", [](BeConfig& c) { c.EnableVBR = 1, c.VBRQuality = 10; }, 0},
        {"emphasis 2", [](BeConfig& c) { c.Emphasis = 2; }, 0},
        {"ABR rate", [](BeConfig& c) { c.VbrAbrBps = 128000; }, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BeConfig config;
        c.change(config);
        std::uint32_t chunk = 0, size = 0;
        BeStream stream = 0;
        const std::uint32_t r = beInitStream(config, chunk, size, stream);
        EXPECT_EQ(r == BE_OK, c.chunk != 0);
        EXPECT_EQ(chunk, c.chunk);
        if (r == BE_OK) {
            EXPECT_GE(size, 7200u);
            EXPECT_EQ(beCloseStream(stream), BE_OK);
        } else {
            EXPECT_EQ(stream, 0u);
        }
    }
}

TEST(Mp3Encoder, HandlesChunksAndTheHeaderFrame)
{
    testsupport::TempDir dir;
    BeConfig config;
    config.EnableVBR = config.WriteVBRHeader = 1;
    std::uint32_t chunk = 0, size = 0;
    BeStream stream = 0;
    ASSERT_EQ(beInitStream(config, chunk, size, stream), BE_OK);
    std::vector<std::int16_t> pcm(chunk + 1, 0);
    std::vector<std::uint8_t> out(size);
    std::uint32_t written = 0;
    std::string mp3;
    EXPECT_EQ(beEncodeChunk(stream, chunk + 1, pcm.data(), out.data(), written), BE_TOO_MANY_SAMPLES);
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(beEncodeChunk(stream, chunk, pcm.data(), out.data(), written), BE_OK);
        mp3.append(reinterpret_cast<char*>(out.data()), written);
    }
    EXPECT_EQ(beWriteVBRHeader(stream, dir.file("x.mp3")), BE_FILE_FAILED);   // not flushed yet
    ASSERT_EQ(beDeinitStream(stream, out.data(), written), BE_OK);
    mp3.append(reinterpret_cast<char*>(out.data()), written);
    EXPECT_EQ(beEncodeChunk(stream, chunk, pcm.data(), out.data(), written), BE_FINISHED);

    // A file that does not start with the stream's frame is left alone.
    testsupport::writeFile(dir.file("other.mp3"), "ID3 and something else");
    EXPECT_EQ(beWriteVBRHeader(stream, dir.file("other.mp3")), BE_FILE_FAILED);
    EXPECT_EQ(testsupport::readFile(dir.file("other.mp3")), "ID3 and something else");
    testsupport::writeFile(dir.file("x.mp3"), mp3);
    EXPECT_EQ(beWriteVBRHeader(stream, dir.file("x.mp3")), BE_OK);
    const std::string filled = testsupport::readFile(dir.file("x.mp3"));
    EXPECT_EQ(filled.size(), mp3.size());
    EXPECT_EQ(mp3.find("Xing"), std::string::npos);
    EXPECT_EQ(filled.find("Xing"), 36u);   // after the header and MPEG-1 stereo side info

    EXPECT_EQ(beCloseStream(stream), BE_OK);
    EXPECT_EQ(beCloseStream(stream), BE_BAD_HANDLE);
    EXPECT_EQ(beEncodeChunk(stream, chunk, pcm.data(), out.data(), written), BE_BAD_HANDLE);
    EXPECT_EQ(beDeinitStream(0, out.data(), written), BE_BAD_HANDLE);

    BeVersion version;
    beVersion(version);
    EXPECT_EQ(version.MajorVersion, 3);
    EXPECT_FALSE(version.HomePage.empty());
}
