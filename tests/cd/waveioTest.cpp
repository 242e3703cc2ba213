// WAVE file streams against sox's files and decodes, hostile headers, and files we write.
#include "cd/waveio.h"
#include "support/AudioFixtures.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using namespace waveio;
using testsupport::runCommand;
using testsupport::TempDir;

std::string readAll(TPCMWaveReader& r)
{
    std::string out;
    std::vector<uint8_t> buf(4096 * 4);
    const int64_t block = r.Format().blockAlign;
    for (int64_t n; (n = r.Read(buf.data(), int64_t(buf.size()) / block)) > 0;)
        out.append(reinterpret_cast<const char*>(buf.data()), size_t(n * block));
    return out;
}

std::string soxDecode(const std::string& path, int bits)
{
    auto r = runCommand("sox", {path, "-t", "raw", "-e", bits == 8 ? "unsigned-integer" : "signed-integer", "-b",
                                std::to_string(bits), "-L", "-"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return r.out;
}

struct SoxCase {
    const char* name;
    int channels;
    std::vector<std::string> encoding;  // sox output options
    int pcmBits;                        // of our decode
    int tolerance;                      // largest sample difference allowed; 0 = byte exact
};

TEST(TPCMWaveReader, DecodesSoxFilesAsSoxDoes)
{
    const SoxCase cases[] = {
        {"u8 mono", 1, {"-b", "8", "-e", "unsigned-integer"}, 8, 0},
        {"u8 stereo", 2, {"-b", "8", "-e", "unsigned-integer"}, 8, 0},
        {"s16 mono", 1, {"-b", "16", "-e", "signed-integer"}, 16, 0},
        {"s16 stereo", 2, {"-b", "16", "-e", "signed-integer"}, 16, 0},
        {"mu-law", 1, {"-e", "u-law"}, 16, 0},
        {"a-law", 2, {"-e", "a-law"}, 16, 0},
        {"ima adpcm", 1, {"-e", "ima-adpcm"}, 16, 32},
        {"ms adpcm", 2, {"-e", "ms-adpcm"}, 16, 64},
        {"gsm", 1, {"-e", "gsm-full-rate"}, 16, 8},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file("f.wav");
        std::vector<std::string> args{"-n", "-r", "8000", "-c", std::to_string(c.channels)};
        args.insert(args.end(), c.encoding.begin(), c.encoding.end());
        args.push_back(path);
        for (auto& s : testsupport::synthArgs(0.5, c.channels))
            args.push_back(s);
        auto made = runCommand("sox", args);
        ASSERT_EQ(made.exitCode, 0) << made.err;

        TFileWaveStream stream(path);
        TPCMWaveReader reader(stream);
        EXPECT_EQ(reader.Format().formatTag, snd::WaveFormat::kPcm);
        EXPECT_EQ(reader.Format().channels, c.channels);
        EXPECT_EQ(reader.Format().bitsPerSample, c.pcmBits);
        const std::string ours = readAll(reader);
        const std::string ref = soxDecode(path, c.pcmBits);
        std::vector<uint8_t> past(64);
        EXPECT_EQ(reader.Read(past.data(), 8), 0);
        if (c.tolerance == 0) {
            EXPECT_TRUE(ours == ref) << "sizes " << ours.size() << " and " << ref.size();
            EXPECT_EQ(reader.Length() * reader.Format().blockAlign, int64_t(ref.size()));
            continue;
        }
        // The two decoders round differently; they agree closely and on the length.
        const auto a = testsupport::asSamples16(ours), b = testsupport::asSamples16(ref);
        ASSERT_GT(a.size(), 3000u);
        EXPECT_EQ(a.size(), b.size());
        int worst = 0;
        for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
            worst = std::max(worst, std::abs(a[i] - b[i]));
        EXPECT_LE(worst, c.tolerance);
        EXPECT_NEAR(double(reader.Length()), double(b.size() / size_t(c.channels)), 0.05 * double(b.size()));
    }
}

TEST(TFileWaveStream, RefusesMp3InWave)
{
    TempDir dir;
    const std::string path = dir.file("mp3.wav");
    auto r = runCommand("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "sine=d=0.2", "-c:a", "libmp3lame", "-f",
                                   "wav", path});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    try {
        TFileWaveStream s(path);
        FAIL() << "opened";
    } catch (const EWaveError& e) {
        EXPECT_STREQ(e.what(), "MPEG Layer-3 compression is not supported.");
    }
}

// Little-endian building blocks for hand-made headers.
std::string u16(unsigned v) { return {char(v & 0xFF), char(v >> 8 & 0xFF)}; }
std::string u32(uint32_t v) { return u16(v & 0xFFFF) + u16(v >> 16); }
std::string chunk(const std::string& id, const std::string& body, uint32_t claimed = UINT32_MAX)
{
    return id + u32(claimed == UINT32_MAX ? uint32_t(body.size()) : claimed) + body;
}
std::string fmt(unsigned tag, unsigned channels, unsigned align) 
{
    return u16(tag) + u16(channels) + u32(8000) + u32(8000 * align) + u16(align) + u16(16);
}
std::string riff(const std::string& body) { return chunk("RIFF", "WAVE" + body); }

TEST(TFileWaveStream, BadHeadersGiveTheirErrors)
{
    const std::string pcm = chunk("fmt ", fmt(1, 1, 2));
    const struct {
        const char* name;
        std::string bytes;
        const char* error;
    } cases[] = {
        {"empty", "", "Invalid multimedia file!"},
        {"short", "RIFF\x10", "Invalid multimedia file!"},
        {"not riff", chunk("RIFX", "WAVEfmt "), "Not a wave file!"},
        {"avi", chunk("RIFF", "AVI " + pcm), "Not a wave file!"},
        {"no fmt", riff(chunk("data", "abcd")), "Couldn't find 'fmt' chunk!"},
        {"huge chunk before fmt", riff(chunk("LIST", "xx", 0xFFFFFFF0u) + pcm), "Couldn't find 'fmt' chunk!"},
        {"small fmt", riff(chunk("fmt ", fmt(1, 1, 2).substr(0, 14))), "Abnormal 'fmt' size!"},
        {"fmt past the end", riff("fmt " + u32(16) + fmt(1, 1, 2).substr(0, 10)), "Abnormal 'fmt' size!"},
        {"zero channels", riff(chunk("fmt ", fmt(1, 0, 2))), "Error reading 'fmt' chunk!"},
        {"zero block align", riff(chunk("fmt ", fmt(1, 1, 0))), "Error reading 'fmt' chunk!"},
        {"no extra size", riff(chunk("fmt ", fmt(2, 1, 256))), "Error reading 'waveformatex' length!"},
        {"extra past chunk", riff(chunk("fmt ", fmt(2, 1, 256) + u16(32) + "ab")), "Error reading 'waveformatex'!"},
        {"mp3", riff(chunk("fmt ", fmt(0x55, 1, 1) + u16(0))), "MPEG Layer-3 compression is not supported."},
        {"no data", riff(pcm + chunk("LIST", "abcd")), "Error seeking data!"},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::writeFile(dir.file("bad.wav"), c.bytes);
        try {
            TFileWaveStream s(dir.file("bad.wav"));
            ADD_FAILURE() << "opened";
        } catch (const EWaveError& e) {
            EXPECT_STREQ(e.what(), c.error);
        }
    }
    EXPECT_THROW(TFileWaveStream(dir.file("missing.wav")), EWaveError);
}

TEST(TFileWaveStream, DataLongerThanTheFileIsClampedAndSeeksAreChecked)
{
    TempDir dir;
    const std::string path = dir.file("long.wav");
    testsupport::writeFile(path, riff(chunk("fmt ", fmt(1, 1, 2)) + chunk("data", "\x01\x02\x03\x04\x05", 0x7FFFFFF0)));
    TFileWaveStream s(path);
    EXPECT_EQ(s.Length(), 2);
    int16_t frames[8] = {};
    EXPECT_EQ(s.Read(frames, 8), 2);
    EXPECT_EQ(frames[1], 0x0403);
    EXPECT_EQ(s.Read(frames, 8), 0);
    EXPECT_EQ(s.Seek(-1, rtl::soEnd), 1);
    try {
        s.Seek(3, rtl::soBeginning);
        FAIL();
    } catch (const EWaveError& e) {
        EXPECT_STREQ(e.what(), "Seeking to an invalid location in the file.");
    }
    // A compressed format whose byte rate is 0 has no length to tell, rather than a division by it.
    testsupport::writeFile(path, riff(chunk("fmt ", u16(7) + u16(1) + u32(8000) + u32(0) + u16(1) + u16(8) + u16(0)) +
                                      chunk("data", std::string(100, '\xFF'))));
    TFileWaveStream mulaw(path);
    TPCMWaveReader reader(mulaw);
    EXPECT_EQ(reader.Length(), 0);
}

// A RIFF size that its writer never filled in (0), or one too small for the chunks, hides no
// sound: players read to the end of the file, and so does the recorder.
TEST(TFileWaveStream, RiffSizesNeverFilledInOrTooSmall)
{
    TempDir dir;
    const std::string tone = dir.file("tone.wav");
    ASSERT_EQ(runCommand("sox", {"-n", "-r", "8000", "-c", "2", "-b", "16", tone, "synth", "0.5", "sine", "440"}).exitCode, 0);
    const std::string sound = soxDecode(tone, 16);
    for (const uint32_t riffSize : {0u, 36u}) {
        SCOPED_TRACE(riffSize);
        std::string bytes = testsupport::readFile(tone);
        bytes.replace(4, 4, u32(riffSize));
        const std::string path = dir.file("patched.wav");
        testsupport::writeFile(path, bytes);
        TFileWaveStream s(path);
        EXPECT_EQ(s.Length(), int64_t(sound.size() / 4));
        TPCMWaveReader r(s);
        EXPECT_EQ(readAll(r), sound);
    }
}

TEST(TFileWaveStream, WrittenFilesReadBackInSox)
{
    TempDir dir;
    const std::string path = dir.file("out.wav");
    std::vector<int16_t> frames;
    for (int i = 0; i < 3001; ++i)
        frames.insert(frames.end(), {int16_t(i * 9), int16_t(-i * 5)});
    {
        TFileWaveStream w(path, snd::WaveFormat::pcm(22050, 2, 16));
        EXPECT_EQ(w.Write(frames.data(), 1000), 1000);
        EXPECT_EQ(w.Write(frames.data() + 2000, 2001), 2001);
        w.Finish();
    }
    auto info = runCommand("sox", {"--i", "-s", path});
    EXPECT_EQ(info.out, "3001\n") << info.err;
    EXPECT_EQ(soxDecode(path, 16), std::string(reinterpret_cast<const char*>(frames.data()), frames.size() * 2));
    TFileWaveStream back(path);
    EXPECT_EQ(back.Length(), 3001);

    // A disk that refuses the first write fails the creation, not a later silent close.
    try {
        TFileWaveStream full("/dev/full", snd::WaveFormat::pcm(8000, 1, 8));
        FAIL();
    } catch (const EWaveError& e) {
        EXPECT_STREQ(e.what(), "Error creating chunk.");
    }
}

}  // namespace
