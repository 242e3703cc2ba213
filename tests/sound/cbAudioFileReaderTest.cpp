// The reader's window, error texts and decoding ahead over a real decode.
#include "sound/cbAudioFileReader.h"
#include "support/AudioFixtures.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace sound;
using namespace testsupport;

TEST(cbAudioFileReader, ReadsToTheEndThenZeroAndRefusesAnEmptyBuffer)
{
    TempDir dir;
    std::string path = makeMp3(dir, "a.mp3", 22050, 1, 1.5, {"-b", "64"});
    TcbAudioFileReader r(path);
    EXPECT_NEAR(r.Duration() / 1e7, probeSeconds(path), 0.05);
    std::string pcm;
    std::vector<uint8_t> buf(5000);
    while (uint32_t n = r.Read(buf.data(), 5000))
        pcm.append(reinterpret_cast<char*>(buf.data()), n);
    EXPECT_TRUE(pcm == referencePcm(path, 16, true));
    EXPECT_EQ(r.CurrentTime(), r.SampleEndTime());
    EXPECT_EQ(r.Read(buf.data(), 5000), 0u);
    try {
        r.Read(buf.data(), 0);
        FAIL();
    } catch (const EAudioReadError& e) {
        EXPECT_STREQ(e.what(), "Invalid buffer size.");
        EXPECT_EQ(e.ErrorCode, 0x8000001);
    }
}

TEST(cbAudioFileReader, WindowCutsTheLastBlockToWholeFramesAndSeeksAreClamped)
{
    TempDir dir;
    std::string path = makePcm(dir, "a.wav", 8000, 2, 16, 2.0);
    TcbAudioFileReader r(path);
    r.SetStartTime(2'500'000);     // 0.25 s
    r.SetLength(3'333'333);        // to 0.5833333 s
    r.Seek(-5);
    EXPECT_EQ(r.CurrentTime(), 2'500'000);
    std::vector<uint8_t> buf(1000);
    uint32_t total = 0;
    while (uint32_t n = r.Read(buf.data(), 1000)) {
        EXPECT_EQ(n % 4, 0u);
        total += n;
    }
    EXPECT_EQ(total / 4, 2666u);   // 0.3333333 s × 8000, cut down to whole frames
    EXPECT_EQ(r.CurrentTime(), 2'500'000 + 3'333'333);
    r.SetLength(5);
    EXPECT_EQ(r.Length(), TcbAudioFileReader::kMinLength);
    r.SetLength(0);
    r.Seek(r.Duration() + 99'000'000);
    EXPECT_EQ(r.CurrentTime(), r.Duration());
    EXPECT_EQ(r.Read(buf.data(), 1000), 0u);
}

TEST(cbAudioFileReader, ErrorTextsComeFromTheTableThenThePlatform)
{
    EXPECT_EQ(AudioReadErrorText(0x40003), "Reached the end of the stream; the sample wasn't updated.");
    EXPECT_EQ(AudioReadErrorText(int32_t(0x8004040A)), "The IMultiMediaStream object is not in running state.");
    EXPECT_EQ(AudioReadErrorText(int32_t(0x80070002)), "The system cannot find the file specified.");
    EXPECT_EQ(AudioReadErrorText(12345), "Unrecognized error value.");
    TempDir dir;
    writeFile(dir.file("junk.wma"), std::string(5000, '\x11'));
    EXPECT_THROW(TcbAudioFileReader(dir.file("junk.wma")), EAudioReadError);
}

// The channel's refill thread decodes ahead while the user-interface thread may seek: with a
// thread decoding ahead without pause, reads and seeks still give the file's own sound, and
// the reader's times are those of what was read.
TEST(cbAudioFileReader, DecodingAheadOnAnotherThreadLeavesReadsAndSeeksExact)
{
    TempDir dir;
    std::string path = makeMp3(dir, "a.mp3", 44100, 2, 4.0, {"-b", "128"});
    const std::string ref = referencePcm(path, 16, true);
    TcbAudioFileReader r(path);
    std::atomic<bool> stop{false};
    std::atomic<int> pieces{0};
    std::thread ahead([&] {
        while (!stop)
            if (r.Prefetch(400))
                ++pieces;
            else
                std::this_thread::yield();
    });
    while (pieces == 0)  // it has begun
        std::this_thread::yield();
    std::vector<uint8_t> buf(17640);
    for (int64_t ms : {0, 1500, 700, 3000, 100, 2200}) {
        r.Seek(ms * 10000);
        for (int block = 0; block < 3; ++block) {
            const int64_t start = r.CurrentTime();
            uint32_t n = r.Read(buf.data(), uint32_t(buf.size()));
            ASSERT_EQ(n, buf.size()) << ms;
            EXPECT_EQ(r.SampleStartTime(), start);
            const size_t at = size_t(start * 44100 / 10'000'000) * 4;
            EXPECT_TRUE(std::string(reinterpret_cast<char*>(buf.data()), n) == ref.substr(at, n))
                << "after a seek to " << ms << " ms, block " << block;
        }
    }
    stop = true;
    ahead.join();
}
