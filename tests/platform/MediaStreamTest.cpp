// MediaStream against independent decoders: sox for PCM containers, the ffmpeg tool for
// compressed files; durations against ffprobe.
#include "platform/media/MediaStream.h"
#include "support/AudioFixtures.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>

using media::MediaStream;
using namespace testsupport;

namespace {

// Every read of `chunk` bytes to the end, with what it reported: bytes and stream times.
struct Reads {
    std::string pcm;
    std::vector<std::pair<int64_t, int64_t>> times;
};

// Reads `s` to the end in chunks; before each read, `ahead` (when given) decodes ahead as it
// likes.
Reads readReporting(MediaStream& s, uint32_t chunk, const std::function<void(int)>& ahead = {})
{
    Reads out;
    std::vector<uint8_t> buf(chunk);
    for (int i = 0;; ++i) {
        if (ahead)
            ahead(i);
        uint32_t got = 0;
        int32_t r = s.read(buf.data(), chunk, got);
        if (r == MediaStream::kEndOfStream)
            break;
        EXPECT_EQ(r, MediaStream::kOk);
        if (r != MediaStream::kOk)
            break;
        out.pcm.append(reinterpret_cast<char*>(buf.data()), got);
        out.times.emplace_back(s.sampleStart(), s.sampleEnd());
    }
    return out;
}

std::string readAll(MediaStream& s, uint32_t chunk = 10000) { return readReporting(s, chunk).pcm; }

int maxDifference16(const std::string& a, const std::string& b)
{
    auto x = asSamples16(a), y = asSamples16(b);
    int worst = 0;
    for (size_t i = 0; i < std::min(x.size(), y.size()); ++i)
        worst = std::max(worst, std::abs(int(x[i]) - int(y[i])));
    return worst;
}

struct Case {
    std::string name;
    int rate, channels, bits;
    bool compressed;
};

}  // namespace

TEST(MediaStream, PcmContainersDecodeExactlyWithTheirOwnDepth)
{
    TempDir dir;
    for (const Case& c : {Case{"u8.wav", 11025, 1, 8, false}, Case{"s16.wav", 44100, 2, 16, false},
                          Case{"s16.au", 8000, 1, 16, false}, Case{"s16.aiff", 22050, 2, 16, false},
                          Case{"s8.aiff", 16000, 1, 8, false}}) {
        SCOPED_TRACE(c.name);
        std::string path = makePcm(dir, c.name, c.rate, c.channels, c.bits, 1.3);
        MediaStream s;
        ASSERT_EQ(s.open(path), MediaStream::kOk);
        EXPECT_EQ(s.format(), snd::WaveFormat::pcm(c.rate, c.channels, c.bits));
        std::string pcm = readAll(s, 999);
        EXPECT_TRUE(pcm == referencePcm(path, c.bits, false));
        EXPECT_EQ(pcm.size(), size_t(1.3 * c.rate) * c.channels * c.bits / 8);
        EXPECT_NEAR(s.duration() / 1e7, probeSeconds(path), 0.001);
        EXPECT_FALSE(s.durationGuessedFromBitRate());
    }
}

TEST(MediaStream, CompressedFilesDecodeTo16BitLikeTheFfmpegTool)
{
    TempDir dir;
    // Only an MPEG stream whose file states no length (no VBR or Info header) has its
    // duration guessed from the bit rate.
    struct Made { std::string path; int rate, channels; bool guessed; };
    std::vector<Made> files{
        {makeMp3(dir, "cbr.mp3", 44100, 2, 2.5, {"-b", "128"}), 44100, 2, false},
        {makeMp3(dir, "vbr.mp3", 22050, 1, 2.5, {"-V", "4"}), 22050, 1, false},
        {makeMp3(dir, "plain.mp3", 44100, 2, 2.5, {"-b", "128", "-t"}), 44100, 2, true},
        {makeWithFfmpeg(dir, "a.mp2", 48000, 2, 2.5, "mp2"), 48000, 2, true},
        {makeWithFfmpeg(dir, "a.wma", 44100, 2, 2.5, "wmav2"), 44100, 2, false},
    };
    for (const Made& f : files) {
        SCOPED_TRACE(f.path);
        MediaStream s;
        ASSERT_EQ(s.open(f.path), MediaStream::kOk);
        EXPECT_EQ(s.format(), snd::WaveFormat::pcm(f.rate, f.channels, 16));
        std::string pcm = readAll(s, 4096 * 3);
        std::string ref = referencePcm(f.path, 16, true);
        EXPECT_EQ(pcm.size(), ref.size());
        EXPECT_LE(maxDifference16(pcm, ref), 1);
        EXPECT_NEAR(s.duration() / 1e7, probeSeconds(f.path), 0.05);
        EXPECT_EQ(s.durationGuessedFromBitRate(), f.guessed);
    }
}

TEST(MediaStream, ReadFillsWholeRequestsThenATailThenEnds)
{
    TempDir dir;
    std::string path = makePcm(dir, "a.wav", 8000, 2, 16, 1.0);  // 32000 bytes
    MediaStream s;
    ASSERT_EQ(s.open(path), MediaStream::kOk);
    std::vector<uint8_t> buf(7003);
    uint32_t got = 0;
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(s.read(buf.data(), 7003, got), MediaStream::kOk);
        EXPECT_EQ(got, 7000u);  // whole frames only
    }
    ASSERT_EQ(s.read(buf.data(), 7003, got), MediaStream::kOk);
    EXPECT_EQ(got, 4000u);
    EXPECT_EQ(s.sampleStart(), 4 * 1750 * 10'000'000LL / 8000);
    EXPECT_EQ(s.sampleEnd(), 10'000'000LL);
    EXPECT_EQ(s.read(buf.data(), 7003, got), MediaStream::kEndOfStream);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(s.read(buf.data(), 7003, got), MediaStream::kEndOfStream);
}

TEST(MediaStream, SeekLandsOnTheRequestedFrameForwardBackwardAndAfterTheEnd)
{
    TempDir dir;
    std::vector<std::pair<std::string, bool>> files{
        {makePcm(dir, "a.wav", 44100, 2, 16, 2.0), false},
        {makeMp3(dir, "a.mp3", 44100, 2, 3.0, {"-b", "160"}), true},
        {makeWithFfmpeg(dir, "a.wma", 44100, 2, 3.0, "wmav2"), true},
    };
    for (auto& [path, compressed] : files) {
        SCOPED_TRACE(path);
        std::string ref = referencePcm(path, 16, compressed);
        MediaStream s;
        ASSERT_EQ(s.open(path), MediaStream::kOk);
        std::string tail = readAll(s);  // ends the stream first: seeks must work after the end
        std::vector<uint8_t> buf(4000);
        for (int64_t frame : {70000, 1000, 12345, 12345 + 2000, 0, 44100 + 7}) {
            ASSERT_EQ(s.seek(s.framesToTime(frame)), MediaStream::kOk);
            EXPECT_EQ(s.position(), frame);
            uint32_t got = 0;
            ASSERT_EQ(s.read(buf.data(), 4000, got), MediaStream::kOk);
            ASSERT_EQ(got, 4000u);
            std::string want = ref.substr(size_t(frame) * 4, 4000);
            EXPECT_LE(maxDifference16(std::string(reinterpret_cast<char*>(buf.data()), 4000), want), 1)
                << "at frame " << frame;
        }
        ASSERT_EQ(s.seek(s.duration() + 10'000'000), MediaStream::kOk);
        uint32_t got = 0;
        EXPECT_EQ(s.read(buf.data(), 4000, got), MediaStream::kEndOfStream);
    }
}

TEST(MediaStream, ReportsTrueDepthAndChannelsOfPcmItCannotPlay)
{
    TempDir dir;
    std::string deep = makePcm(dir, "s24.wav", 44100, 2, 24, 0.2);
    MediaStream s;
    ASSERT_EQ(s.open(deep), MediaStream::kOk);
    EXPECT_EQ(s.format().bitsPerSample, 24);
    EXPECT_EQ(s.format().blockAlign, 6);
    EXPECT_TRUE(readAll(s) == referencePcm(deep, 24, false));

    std::string wide = dir.file("six.wav");
    ASSERT_EQ(runCommand("sox", {"-n", "-r", "48000", "-c", "6", "-b", "16", wide, "synth", "0.1", "sine", "300"}).exitCode, 0);
    ASSERT_EQ(s.open(wide), MediaStream::kOk);
    EXPECT_EQ(s.format().channels, 6);
}

TEST(MediaStream, UnreadableFilesFailWithTheirResult)
{
    TempDir dir;
    MediaStream s;
    EXPECT_EQ(s.open(dir.file("missing.mp3")), MediaStream::kFileNotFound);
    writeFile(dir.file("junk.mp3"), std::string(3000, '\x5a'));
    int32_t r = s.open(dir.file("junk.mp3"));
    EXPECT_LT(r, 0);
    EXPECT_FALSE(MediaStream::errorText(r).empty());
    EXPECT_FALSE(s.isOpen());
    uint32_t got = 1;
    EXPECT_EQ(s.read(nullptr, 10, got), MediaStream::kNotOpen);
}

TEST(MediaStream, TruncatedAndLyingFilesGiveWhatTheyHoldThenEnd)
{
    TempDir dir;
    std::string mp3 = readFile(makeMp3(dir, "a.mp3", 44100, 2, 2.0, {"-b", "128"}));
    writeFile(dir.file("cut.mp3"), mp3.substr(0, mp3.size() / 2 + 77));  // cut inside a frame
    std::string wav = readFile(makePcm(dir, "a.wav", 8000, 1, 16, 1.0));
    writeFile(dir.file("short.wav"), wav.substr(0, 44 + 3001));  // the header still says 16000 bytes
    for (const char* name : {"cut.mp3", "short.wav"}) {
        SCOPED_TRACE(name);
        MediaStream s;
        ASSERT_EQ(s.open(dir.file(name)), MediaStream::kOk);
        std::string pcm = readAll(s);
        EXPECT_GT(pcm.size(), 0u);
        EXPECT_EQ(pcm.size() % s.format().blockAlign, 0u);
        EXPECT_LT(pcm.size(), name[0] == 'c' ? 2u * 44100 * 4 : 16000u);
        ASSERT_EQ(s.seek(0), MediaStream::kOk);
        EXPECT_TRUE(readAll(s) == pcm);  // the same again after a rewind
    }
}

// A compressed stream goes back by reopening its file, which waits for the next read: nothing
// decoding ahead meanwhile does it, and a file gone since fails that read, not the seek.
TEST(MediaStream, GoingBackReopensTheFileAtTheNextReadOnly)
{
    TempDir dir;
    const std::string path = makeMp3(dir, "a.mp3", 44100, 2, 2.0, {"-b", "128"});
    const std::string whole = [&] {
        MediaStream s;
        EXPECT_EQ(s.open(path), MediaStream::kOk);
        return readAll(s);
    }();
    MediaStream s;
    ASSERT_EQ(s.open(path), MediaStream::kOk);
    EXPECT_TRUE(readAll(s) == whole);
    // Back, forth and back again before reading: one restart, landing where the last seek said.
    for (int64_t frame : {0, 30000, 1000}) {
        ASSERT_EQ(s.seek(s.framesToTime(frame)), MediaStream::kOk);
        EXPECT_EQ(s.position(), frame);
        EXPECT_FALSE(s.prefetch(UINT32_MAX));
    }
    EXPECT_TRUE(readAll(s) == whole.substr(1000 * 4));
    EXPECT_EQ(s.position(), int64_t(whole.size() / 4));

    ASSERT_EQ(std::remove(path.c_str()), 0);
    ASSERT_EQ(s.seek(0), MediaStream::kOk);
    EXPECT_FALSE(s.prefetch(UINT32_MAX));
    std::vector<uint8_t> buf(4000);
    uint32_t got = 1;
    EXPECT_EQ(s.read(buf.data(), 4000, got), MediaStream::kFileNotFound);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(s.read(buf.data(), 4000, got), MediaStream::kNotOpen);
}

// Decoding ahead (as the channel's refill thread does between its ticks) must change nothing a
// reader sees: the same bytes, cut the same way, with the same times, whether it decodes a
// little, up to its limit, or on to the end of the file.
TEST(MediaStream, DecodingAheadChangesNeitherTheSoundNorItsTimes)
{
    TempDir dir;
    std::vector<std::string> files{
        makeMp3(dir, "a.mp3", 44100, 2, 2.5, {"-b", "128"}),
        makeWithFfmpeg(dir, "a.wma", 44100, 2, 2.5, "wmav2"),
        makePcm(dir, "a.wav", 22050, 1, 8, 2.5),
    };
    for (const std::string& path : files) {
        SCOPED_TRACE(path);
        MediaStream plain;
        ASSERT_EQ(plain.open(path), MediaStream::kOk);
        const Reads want = readReporting(plain, 7000);
        ASSERT_FALSE(want.pcm.empty());
        const std::vector<std::function<void(MediaStream&, int)>> ways{
            [](MediaStream& s, int i) { s.prefetch(uint32_t(i % 5) * 3000); },           // a little, now and then
            [](MediaStream& s, int) { while (s.prefetch(20000)) {} },                      // up to the limit
            [](MediaStream& s, int i) { if (i == 0) while (s.prefetch(UINT32_MAX)) {} },  // all of it at once
        };
        for (size_t w = 0; w < ways.size(); ++w) {
            SCOPED_TRACE(w);
            MediaStream s;
            ASSERT_EQ(s.open(path), MediaStream::kOk);
            const Reads got = readReporting(s, 7000, [&](int i) { ways[w](s, i); });
            EXPECT_TRUE(got.pcm == want.pcm);
            EXPECT_EQ(got.times, want.times);
            uint32_t n = 0;
            std::vector<uint8_t> buf(100);
            EXPECT_FALSE(s.prefetch(UINT32_MAX));  // nothing left to decode
            EXPECT_EQ(s.read(buf.data(), 100, n), MediaStream::kEndOfStream);
        }
    }
}

TEST(MediaStream, DecodingAheadStopsAtItsLimitAndASeekDropsWhatItDecoded)
{
    TempDir dir;
    std::vector<std::pair<std::string, bool>> files{
        {makeMp3(dir, "a.mp3", 44100, 2, 3.0, {"-b", "160"}), true},
        {makePcm(dir, "a.wav", 44100, 2, 16, 2.0), false},
    };
    for (auto& [path, compressed] : files) {
        SCOPED_TRACE(path);
        const std::string ref = referencePcm(path, 16, compressed);
        MediaStream s;
        ASSERT_EQ(s.open(path), MediaStream::kOk);
        int pieces = 0;
        while (s.prefetch(16000))
            ++pieces;
        EXPECT_GT(pieces, 0);
        EXPECT_LT(pieces, 10);  // a few codec frames, not the file
        std::vector<uint8_t> buf(4000);
        // Forward within what was decoded ahead, beyond it, and back to before it.
        for (int64_t frame : {1000, 30000, 500, 44100 + 7}) {
            while (s.prefetch(40000)) {
            }
            ASSERT_EQ(s.seek(s.framesToTime(frame)), MediaStream::kOk);
            EXPECT_EQ(s.position(), frame);
            uint32_t got = 0;
            ASSERT_EQ(s.read(buf.data(), 4000, got), MediaStream::kOk);
            ASSERT_EQ(got, 4000u);
            EXPECT_LE(maxDifference16(std::string(reinterpret_cast<char*>(buf.data()), 4000),
                                      ref.substr(size_t(frame) * 4, 4000)), 1)
                << "at frame " << frame;
            EXPECT_EQ(s.sampleStart(), s.framesToTime(frame));
        }
    }
}
