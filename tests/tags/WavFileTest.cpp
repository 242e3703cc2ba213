#include <gtest/gtest.h>

#include "AudioFixtures.h"
#include "support/TestSupport.h"
#include "tags/WAVfile.h"

using namespace testsupport;

namespace {

// Chunk builders for hand-made RIFF files; each case writes sys.argv[1] and prints where the
// sample data starts.
const char* const kRiffPrelude = R"(
import struct, sys
def chunk(cid, data, size=None):
    return cid + struct.pack('<I', len(data) if size is None else size) + data + b'\0' * (len(data) % 2)
def fmt(tag=1, channels=2, rate=44100, bits=16, extra=None):
    align = channels * bits // 8
    data = struct.pack('<HHIIHH', tag, channels, rate, rate * align, align, bits)
    if extra is not None:
        data += struct.pack('<H', len(extra)) + extra
    return chunk(b'fmt ', data)
def riff(body, size=None):
    return b'RIFF' + struct.pack('<I', len(body) + 4 if size is None else size) + b'WAVE' + body
pcm = bytes(range(256)) * 40
def write(out, data_at):
    open(sys.argv[1], 'wb').write(out)
    print(data_at)
)";

// Writes the file with the prelude and `program`; the data offset the program printed.
std::int64_t makeRiff(const std::string& path, const std::string& program)
{
    auto r = runCommand(python3(), {"-c", std::string(kRiffPrelude) + program, path});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return r.exitCode == 0 ? std::stoll(r.out) : -1;
}

double probeDuration(const std::string& file)
{
    return std::stod(fixtures::ffprobe(file)["duration"]);
}

TEST(WavFile, PlainPcmHeader)
{
    TempDir dir;
    const std::string file = fixtures::makeTone(dir.path(), "a.wav", 44100, 2, 1.5);
    TWAVfile wav;
    ASSERT_TRUE(wav.ReadFromFile(file));
    EXPECT_TRUE(wav.Valid);
    EXPECT_EQ(wav.HeaderSize, 44);
    EXPECT_EQ(wav.FormatID, 1);
    EXPECT_EQ(wav.Format(), "Windows PCM");
    EXPECT_EQ(wav.Channel(), "Stereo");
    EXPECT_EQ(wav.SampleRate, 44100u);
    EXPECT_EQ(wav.BytesPerSecond, 44100u * 4);
    EXPECT_EQ(wav.BlockAlign, 4);
    EXPECT_EQ(wav.BitsPerSample, 16);
    EXPECT_EQ(wav.FileSize, std::int64_t(readFile(file).size()));
    EXPECT_EQ(wav.DataSize, wav.FileSize - 44);
    EXPECT_EQ(wav.SampleNumber, wav.DataSize / 4);
    EXPECT_NEAR(wav.Duration(), probeDuration(file), 0.001);
}

// ffmpeg puts a LIST chunk before "data"; sox writes 24-bit audio as WAVE_FORMAT_EXTENSIBLE
// with a fact chunk.
TEST(WavFile, ChunksBeforeDataFromTools)
{
    TempDir dir;
    const std::string tone = fixtures::makeTone(dir.path(), "a.wav", 22050, 1, 1);
    const std::string withList = fixtures::ffmpeg(tone, dir.path(), "list.wav", {"-c:a", "pcm_s16le"});
    TWAVfile wav;
    ASSERT_TRUE(wav.ReadFromFile(withList));
    const std::string bytes = readFile(withList);
    ASSERT_NE(bytes.find("LIST"), std::string::npos);
    EXPECT_TRUE(wav.Valid);
    EXPECT_EQ(wav.HeaderSize, std::int64_t(bytes.find("data") + 8));
    EXPECT_EQ(wav.Channel(), "Mono");
    EXPECT_EQ(wav.SampleRate, 22050u);
    EXPECT_NEAR(wav.Duration(), probeDuration(withList), 0.001);

    const auto r = runCommand("sox", {tone, "-b", "24", "-r", "48000", dir.file("x.wav")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_TRUE(wav.ReadFromFile(dir.file("x.wav")));
    EXPECT_TRUE(wav.Valid);
    EXPECT_EQ(wav.BitsPerSample, 24);
    EXPECT_EQ(wav.SampleRate, 48000u);
    EXPECT_EQ(wav.HeaderSize, std::int64_t(readFile(dir.file("x.wav")).find("data") + 8));
    EXPECT_NEAR(wav.Duration(), probeDuration(dir.file("x.wav")), 0.001);
}

// Hand-made layouts that real files have: an extended fmt chunk, a fact chunk, an odd-sized
// chunk with its pad byte, an ID3v1 tag behind the RIFF data, and a streamed file whose
// sizes were never filled in.
TEST(WavFile, OddButLegalLayouts)
{
    TempDir dir;
    TWAVfile wav;
    const std::string odd = dir.file("odd.wav");
    std::int64_t dataAt = makeRiff(odd, R"(
body = fmt(tag=85, channels=1, rate=22050, bits=0, extra=b'\1\0\2\0\0\0\x20\1\1\0\x71\5') + \
       chunk(b'fact', struct.pack('<I', 123456)) + chunk(b'LIST', b'INFOISFT\3\0\0\0ab\0') + \
       chunk(b'data', pcm)
out = riff(body)
write(out + b'TAG' + b' ' * 125, len(out) - len(pcm))
)");
    ASSERT_TRUE(wav.ReadFromFile(odd));
    EXPECT_TRUE(wav.Valid);
    EXPECT_EQ(wav.Format(), "MPEG Layer III");
    EXPECT_EQ(wav.HeaderSize, dataAt);
    EXPECT_EQ(wav.SampleNumber, 123456);
    EXPECT_EQ(wav.DataSize, 256 * 40);
    EXPECT_EQ(wav.FileSize, std::int64_t(readFile(odd).size()) - 128);

    const std::string streamed = dir.file("streamed.wav");
    dataAt = makeRiff(streamed, R"(
out = riff(fmt() + chunk(b'data', pcm, size=0xFFFFFFFF), size=0xFFFFFFFF)
write(out, len(out) - len(pcm))
)");
    ASSERT_TRUE(wav.ReadFromFile(streamed));
    EXPECT_TRUE(wav.Valid);
    EXPECT_EQ(wav.HeaderSize, dataAt);
    EXPECT_EQ(wav.FileSize, std::int64_t(readFile(streamed).size()));
    EXPECT_EQ(wav.DataSize, 256 * 40);
    EXPECT_NEAR(wav.Duration(), 256 * 40 / (44100.0 * 4), 1e-9);

    // Sound whose last 128 bytes happen to start like an ID3v1 tag: its data size fits the file,
    // so it is the sound's, and a tag save has nothing to seal.
    const std::string tagLike = dir.file("taglike.wav");
    makeRiff(tagLike, R"(
out = riff(fmt() + chunk(b'data', pcm[:-128] + b'TAG' + pcm[-125:]))
write(out, len(out) - len(pcm))
)");
    ASSERT_TRUE(wav.ReadFromFile(tagLike));
    EXPECT_EQ(wav.DataSize, 256 * 40);
    EXPECT_FALSE(wav.DataPastEnd);
}

// Sizes that other writers get wrong, and formats whose byte rate does not give the length:
// the sound the reader finds is the sound that ffprobe plays.
TEST(WavFile, MisSizedHeadersAndCompressedLengthsAsPlayersReadThem)
{
    TempDir dir;
    const std::string tone = fixtures::makeTone(dir.path(), "a.wav", 44100, 2, 1);
    struct Case {
        const char* name;
        std::string file;
        std::uint16_t subFormat;
    };
    const std::string zero = dir.file("zero.wav"), small = dir.file("small.wav");
    makeRiff(zero, "write(riff(fmt() + chunk(b'data', pcm, size=0), size=0), 0)");
    makeRiff(small, "write(riff(fmt() + chunk(b'data', pcm), size=36), 0)");
    const Case cases[] = {
        {"sizes never filled in", zero, 0},
        {"RIFF size too small", small, 0},
        {"ffmpeg's IMA ADPCM", fixtures::ffmpeg(tone, dir.path(), "ima.wav", {"-c:a", "adpcm_ima_wav"}), 0},
        {"ffmpeg's MS ADPCM", fixtures::ffmpeg(tone, dir.path(), "ms.wav", {"-c:a", "adpcm_ms"}), 0},
        {"ffmpeg at 96 kHz (extensible)", fixtures::ffmpeg(tone, dir.path(), "96k.wav", {"-ar", "96000"}), 1},
        {"ffmpeg's float (extensible)", fixtures::ffmpeg(tone, dir.path(), "f.wav", {"-c:a", "pcm_f32le"}), 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TWAVfile wav;
        ASSERT_TRUE(wav.ReadFromFile(c.file));
        EXPECT_TRUE(wav.Valid);
        EXPECT_EQ(wav.SubFormatID, c.subFormat);
        EXPECT_EQ(wav.FileSize, std::int64_t(readFile(c.file).size()));
        EXPECT_NEAR(wav.Duration(), probeDuration(c.file), 0.002);
    }
}

TEST(WavFile, UnusableHeadersAreInvalid)
{
    TempDir dir;
    TWAVfile wav;
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"three channels", "write(riff(fmt(channels=3) + chunk(b'data', pcm)), 0)"},
        {"no fmt chunk", "write(riff(chunk(b'data', pcm)), 0)"},
        {"short fmt chunk", "write(riff(chunk(b'fmt ', b'\\1\\0\\2\\0') + chunk(b'data', pcm)), 0)"},
        {"chunk reaching past the end", "write(riff(fmt() + chunk(b'JUNK', b'', size=0x7FFFFFF0) + chunk(b'data', pcm)), 0)"},
        {"no data chunk", "write(riff(fmt()), 0)"},
        {"RIFF but not WAVE", "write(b'RIFF\\4\\0\\0\\0AVI ' + fmt() + chunk(b'data', pcm), 0)"},
        {"truncated inside fmt", "write(riff(fmt() + chunk(b'data', pcm))[:30], 0)"},
    };
    for (const auto& [name, program] : cases) {
        SCOPED_TRACE(name);
        makeRiff(dir.file("bad.wav"), program);
        EXPECT_TRUE(wav.ReadFromFile(dir.file("bad.wav")));
        EXPECT_FALSE(wav.Valid);
    }
    EXPECT_FALSE(wav.ReadFromFile(dir.file("missing.wav")));
    EXPECT_FALSE(wav.Valid);
}

}  // namespace
