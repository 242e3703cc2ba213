// TLameCoder's batch against independent readers: ffprobe for the stream, the ffmpeg tool's
// decode correlated with the input, python3-mutagen for the VBR header frame, and the frame
// header bits read straight from the first frame.
#include <gtest/gtest.h>

#include "cd/CdTestSupport.h"
#include "cd/LameCoder.h"
#include "platform/rtl/Streams.h"

#include <QDir>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

using namespace testsupport;
using cd::TLameCoder;

namespace {

void encode(TLameCoder& coder, const std::string& in, const std::string& out)
{
    coder.SetInputFiles({in});
    coder.SetOutputFiles({out});
    coder.EncodeFiles();
}

std::string sox(const std::vector<std::string>& args)
{
    auto r = runCommand("sox", args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return r.out;
}

// The input's samples as sox reads them (raw input needs its format).
std::vector<std::int16_t> reference(const std::string& path, const std::vector<std::string>& rawFormat = {})
{
    std::vector<std::string> args = rawFormat;
    args.insert(args.end(), {path, "-t", "raw", "-e", "signed-integer", "-b", "16", "-L", "-"});
    return asSamples16(sox(args));
}

// The mutagen view of an MP3: bitrate mode, encoder text, and the sample frames that its
// Xing/Info frame accounts for (its frame count less the encoder's delay and padding; -1
// without such a frame).
std::string mutagenInfo(const std::string& path)
{
    const char* script = R"(
import sys, mutagen.mp3 as m
info = m.MP3(sys.argv[1]).info
samples = -1
with open(sys.argv[1], 'rb') as f:
    try:
        f.seek(m.XingHeader.get_offset(info))
        x = m.XingHeader(f)
        samples = x.frames * 1152 - x.lame_header.encoder_delay_start - x.lame_header.encoder_padding_end
    except Exception:
        pass
print(str(info.bitrate_mode).split('.')[-1], repr(info.encoder_info), samples)
)";
    auto r = runCommand(python3(), {"-c", script, path});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return r.out.substr(0, r.out.find('\n'));
}

// Fails the test program instead of letting a hung loop run into the ctest timeout.
class Watchdog {
public:
    explicit Watchdog(std::chrono::seconds limit)
        : thread_([this, limit] {
              std::unique_lock lock(mutex_);
              if (!cv_.wait_for(lock, limit, [this] { return done_; })) {
                  std::fprintf(stderr, "watchdog: the call did not return in time\n");
                  std::_Exit(1);
              }
          })
    {
    }
    ~Watchdog()
    {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool done_ = false;
    std::thread thread_;
};

class LameCoderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir = new TempDir;
        stereo = makePcm(*dir, "s44.wav", 44100, 2, 16, 2.0);
    }
    static void TearDownTestSuite()
    {
        delete dir;
        dir = nullptr;
    }
    static TempDir* dir;
    static std::string stereo;
};
TempDir* LameCoderTest::dir = nullptr;
std::string LameCoderTest::stereo;

TEST_F(LameCoderTest, EncodesEachInputKindAtItsOwnRateAndChannels)
{
    const std::string mono = makePcm(*dir, "m44.wav", 44100, 1, 16, 2.0);
    const std::string s22 = makePcm(*dir, "s22.wav", 22050, 2, 16, 2.0);
    // ffmpeg puts a LIST chunk between "fmt " and "data": a reader that trusts a 44-byte
    // header would encode it, one sample frame out of step, as a click with swapped channels.
    const std::string list = dir->file("list.wav");
    ASSERT_EQ(runCommand("ffmpeg", {"-v", "error", "-y", "-i", stereo, "-metadata", "title=Tambourelle", list}).exitCode, 0);
    const std::string listBytes = readFile(list);
    ASSERT_LT(listBytes.find("LIST"), listBytes.find("data"));
    ASSERT_NE(listBytes.find("data") + 8, 44u);
    const std::string raw = dir->file("s44.pcm");
    sox({stereo, "-t", "raw", raw});
    const std::string raw22m = dir->file("m22.pcm");
    sox({"-n", "-r", "22050", "-c", "1", "-b", "16", "-e", "signed-integer", "-t", "raw", raw22m, "synth", "1.5",
         "sine", "300-2000", "vol", "0.8"});
    const std::vector<std::string> raw44 = {"-t", "raw", "-r", "44100", "-c", "2", "-b", "16", "-e", "signed-integer"};
    const std::vector<std::string> raw22 = {"-t", "raw", "-r", "22050", "-c", "1", "-b", "16", "-e", "signed-integer"};

    struct Case {
        const char* name;
        std::string input;
        std::vector<std::string> rawFormat;
        std::uint32_t propertyRate;
        cd::TLameMode mode;
        int rate, channels;
        bool mixDown;   // the reference is the mean of the input's two channels
    };
    const Case cases[] = {
        {"stereo 44.1 kHz", stereo, {}, 44100, cd::STEREO, 44100, 2, false},
        {"mono WAV, stereo mode", mono, {}, 44100, cd::STEREO, 44100, 1, false},
        {"22,050 Hz WAV, 44,100 Hz property", s22, {}, 44100, cd::JSTEREO, 22050, 2, false},
        {"WAV with a LIST chunk", list, {}, 44100, cd::STEREO, 44100, 2, false},
        {"raw stereo PCM", raw, raw44, 44100, cd::STEREO, 44100, 2, false},
        {"raw mono PCM at 22,050 Hz", raw22m, raw22, 22050, cd::MONO, 22050, 1, false},
        {"stereo WAV, mono mode", stereo, {}, 44100, cd::MONO, 44100, 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TLameCoder coder;
        coder.SetSampleRate(c.propertyRate);
        coder.SetMode(c.mode);
        const std::string out = dir->file("kind.mp3");
        encode(coder, c.input, out);
        const auto p = cdtest::probe(out);
        EXPECT_EQ(p.codec, "mp3");
        EXPECT_EQ(p.rate, c.rate);
        EXPECT_EQ(p.channels, c.channels);

        const auto in = reference(c.input, c.rawFormat);
        const int inChannels = c.mixDown ? 2 : c.channels;
        const double inSeconds = double(in.size()) / inChannels / c.rate;
        // No LAME tag in CBR: the decode keeps the encoder's delay and the last frame's padding.
        EXPECT_NEAR(p.seconds, inSeconds, 0.11);
        const auto got = cdtest::decode(out);
        // Aligned on channel 0, the sweep (or the mix that holds it); a tone per channel then
        // checks that each channel kept its place.
        int lag = 0;
        for (int ch = 0; ch < c.channels; ++ch) {
            std::vector<double> want = cdtest::channel(in, inChannels, ch);
            if (c.mixDown) {
                const auto right = cdtest::channel(in, 2, 1);
                for (std::size_t i = 0; i < want.size(); ++i)
                    want[i] = (want[i] + right[i]) / 2;
            }
            const auto decoded = cdtest::channel(got, c.channels, ch);
            if (ch == 0)
                lag = cdtest::align(want, decoded, 4000).lag;
            EXPECT_GT(cdtest::correlationAt(want, decoded, lag), 0.99) << "channel " << ch << " lag " << lag;
        }
    }
}

TEST_F(LameCoderTest, ConstantRatesHaveNoHeaderFrameAndVbrHasAFilledOne)
{
    std::string files;
    for (int kbps : {64, 96, 128, 160, 192, 224, 256, 320}) {
        SCOPED_TRACE(kbps);
        TLameCoder coder;
        coder.SetBitrate(std::uint32_t(kbps));
        const std::string out = cdtest::outDir() + "/encode-" + std::to_string(kbps) + "kbps.mp3";
        encode(coder, stereo, out);
        const auto p = cdtest::probe(out);
        EXPECT_EQ(p.codec, "mp3");
        EXPECT_EQ(p.bitRate, kbps * 1000L);
        EXPECT_EQ(mutagenInfo(out), "UNKNOWN '' -1");
    }

    // VBR: the header frame counts every frame, so it and ffmpeg's trimmed decode come out at
    // the input's exact length.
    TLameCoder vbr;
    vbr.SetEnableVBR(true);
    ASSERT_TRUE(vbr.WriteVBRHeader());
    const std::string out = cdtest::outDir() + "/encode-vbr.mp3";
    encode(vbr, stereo, out);
    const std::string info = mutagenInfo(out);
    EXPECT_EQ(info.substr(0, 10), "VBR 'LAME ") << info;
    EXPECT_EQ(info.substr(info.rfind(' ') + 1), "88200") << info;
    EXPECT_EQ(cdtest::decode(out).size(), std::size_t(2 * 44100 * 2));

    // VBR without the header: no empty placeholder frame in front of the audio.
    vbr.SetWriteVBRHeader(false);
    encode(vbr, stereo, dir->file("vbr-bare.mp3"));
    const std::string bare = readFile(dir->file("vbr-bare.mp3")).substr(0, 200);
    EXPECT_EQ(bare.find("Xing"), std::string::npos);
    EXPECT_EQ(bare.find("Info"), std::string::npos);
    EXPECT_EQ(mutagenInfo(dir->file("vbr-bare.mp3")), "UNKNOWN '' -1");
}

// A file of several reads with a short last chunk: every sample reaches the encoder in its
// place (the lame program, same library and settings, writes the same bytes) and the gauge
// hears each percentage once.
TEST_F(LameCoderTest, LongInputGivesTheLameProgramsFramesAndEachPercentOnce)
{
    const std::string wav = makePcm(*dir, "long.wav", 44100, 2, 16, 3.3);
    const std::string theirs = dir->file("long-lame.mp3");
    ASSERT_EQ(runCommand("lame", {"--quiet", "--noreplaygain", "-b", "128", "-m", "s", "-q", "5", "-p", "-t", "-o",
                                  wav, theirs})
                  .exitCode,
              0);
    TLameCoder coder;
    std::vector<int> percents;
    coder.OnProgress = [&](TLameCoder*, std::uint16_t p) { percents.push_back(p); };
    const std::string ours = dir->file("long.mp3");
    encode(coder, wav, ours);
    EXPECT_TRUE(readFile(ours) == readFile(theirs));
    ASSERT_FALSE(percents.empty());
    EXPECT_EQ(percents.back(), 100);
    EXPECT_TRUE(std::adjacent_find(percents.begin(), percents.end(), std::greater_equal<int>()) == percents.end());
}

TEST_F(LameCoderTest, FrameHeaderBitsFollowTheProperties)
{
    struct Bits {
        bool crc, priv, copyright, original;
    };
    for (const Bits b : {Bits{true, false, false, false}, Bits{false, true, true, true}, Bits{true, true, false, true},
                         Bits{false, false, true, false}}) {
        SCOPED_TRACE(::testing::Message() << b.crc << b.priv << b.copyright << b.original);
        TLameCoder coder;
        coder.SetCRC(b.crc);
        coder.SetPrivate(b.priv);
        coder.SetCopyright(b.copyright);
        coder.SetOriginal(b.original);
        const std::string out = dir->file("bits.mp3");
        encode(coder, stereo, out);
        const std::string head = readFile(out).substr(0, 4);
        ASSERT_EQ(std::uint8_t(head[0]), 0xFF);
        EXPECT_EQ((head[1] & 1) == 0, b.crc);
        EXPECT_EQ((head[2] & 1) != 0, b.priv);
        EXPECT_EQ((head[3] & 8) != 0, b.copyright);
        EXPECT_EQ((head[3] & 4) != 0, b.original);
    }
}

TEST_F(LameCoderTest, BatchEventsCancelAndReentry)
{
    const std::string shortWav = makePcm(*dir, "short.wav", 44100, 2, 16, 0.3);   // not a whole number of chunks
    std::vector<std::string> events;
    TLameCoder coder;
    coder.OnBeginProcess = [&](TLameCoder*) { events.push_back("begin"); };
    coder.OnBeginFile = [&](TLameCoder*, std::uint16_t n, const std::string& f) {
        events.push_back("file" + std::to_string(n) + " " + QDir(QString::fromStdString(f)).dirName().toStdString());
    };
    coder.OnEndFile = [&](TLameCoder*, std::uint16_t n, const std::string& f) {
        events.push_back("end" + std::to_string(n) + " " + QDir(QString::fromStdString(f)).dirName().toStdString());
    };
    coder.OnEndProcess = [&](TLameCoder*) { events.push_back("done"); };
    std::vector<int> percents;
    std::string reentry;
    coder.OnProgress = [&](TLameCoder* sender, std::uint16_t p) {
        percents.push_back(p);
        if (percents.size() == 2) {
            try {
                sender->EncodeFiles();
            } catch (const cd::ELameError& e) {
                reentry = e.what();
            }
            EXPECT_NE(sender->InitStream(), 0u);
        }
    };

    // Output names follow the inputs when InputFiles is set last.
    coder.SetOutputFiles({dir->file("chosen.mp3")});
    coder.SetInputFiles({shortWav, stereo});
    ASSERT_EQ(coder.OutputFiles().Count(), 2);
    EXPECT_EQ(coder.OutputFiles()[0], dir->file("short.mp3"));
    coder.EncodeFiles();
    EXPECT_EQ(events, (std::vector<std::string>{"begin", "file0 short.wav", "end0 short.mp3", "file1 s44.wav",
                                                "end1 s44.mp3", "done"}));
    EXPECT_FALSE(reentry.empty());
    // Each file's progress rises to 100 once.
    EXPECT_EQ(std::count(percents.begin(), percents.end(), 100), 2);
    EXPECT_EQ(percents.back(), 100);
    for (std::size_t i = 1; i < percents.size(); ++i)
        EXPECT_TRUE(percents[i] > percents[i - 1] || percents[i - 1] == 100) << i;
    EXPECT_NEAR(cdtest::probe(dir->file("short.mp3")).seconds, 0.3, 0.11);

    // Cancel during the last chunk: no further events, the output as far as written, no
    // temporary file left beside it.
    events.clear();
    coder.OnProgress = [&](TLameCoder* sender, std::uint16_t p) {
        if (p == 100)
            sender->Cancel();
    };
    QDir(QString::fromStdString(dir->path())).mkdir("cancel");
    const std::string cancelled = dir->file("cancel/c.mp3");
    encode(coder, stereo, cancelled);
    EXPECT_EQ(events, (std::vector<std::string>{"begin", "file0 s44.wav"}));
    EXPECT_GT(readFile(cancelled).size(), 20000u);
    EXPECT_EQ(QDir(QString::fromStdString(dir->file("cancel"))).entryList(QDir::Files).size(), 1);
}

// A WAVE header of 16-bit PCM-like fields with `data` bytes of silence after it.
std::string waveFile(std::uint16_t format, std::uint16_t channels, std::uint32_t rate, std::uint16_t blockAlign,
                     std::uint16_t bits, std::uint32_t data)
{
    std::string h;
    auto u32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            h += char(v >> (8 * i));
    };
    auto u16 = [&](std::uint16_t v) { h += char(v), h += char(v >> 8); };
    h += "RIFF";
    u32(36 + data);
    h += "WAVEfmt ";
    u32(16);
    u16(format);
    u16(channels);
    u32(rate);
    u32(rate * blockAlign);
    u16(blockAlign);
    u16(bits);
    h += "data";
    u32(data);
    return h + std::string(data, '\0');
}

// WAVs as other programs write them: what the coder takes it encodes at the nearest MPEG rate
// (96 kHz comes from ffmpeg as WAVE_FORMAT_EXTENSIBLE), and what it cannot take it says so
// beforehand, so that nobody is shown "Read Error" for a 24-bit file.
TEST_F(LameCoderTest, OtherWritersWavesAreTakenOrRefusedBeforehand)
{
    const auto ffmpeg = [&](const char* name, std::vector<std::string> options) {
        std::vector<std::string> args = {"-v", "error", "-y", "-i", stereo};
        args.insert(args.end(), options.begin(), options.end());
        args.push_back(dir->file(name));
        EXPECT_EQ(runCommand("ffmpeg", args).exitCode, 0);
        return dir->file(name);
    };
    writeFile(dir->file("empty.wav"), "");
    struct Case {
        const char* name;
        std::string file;
        int rate;   // of the MP3; 0: refused
    };
    const Case cases[] = {
        {"96 kHz", ffmpeg("96k.wav", {"-ar", "96000"}), 48000},
        {"11,025 Hz mono", ffmpeg("11k.wav", {"-ar", "11025", "-ac", "1"}), 11025},
        {"24-bit", ffmpeg("24.wav", {"-c:a", "pcm_s24le"}), 0},
        {"8-bit", ffmpeg("8.wav", {"-c:a", "pcm_u8"}), 0},
        {"float", ffmpeg("f.wav", {"-c:a", "pcm_f32le"}), 0},
        {"5.1", ffmpeg("51.wav", {"-ac", "6"}), 0},
        {"MS ADPCM", ffmpeg("adpcm.wav", {"-c:a", "adpcm_ms"}), 0},
        {"A-law", ffmpeg("alaw.wav", {"-c:a", "pcm_alaw"}), 0},
        {"MPEG audio", ffmpeg("mp3.wav", {"-c:a", "libmp3lame"}), 0},
        {"0 bytes", dir->file("empty.wav"), 0},
    };
    TLameCoder coder;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(coder.CanEncodeWave(c.file), c.rate != 0);
        if (c.rate == 0)
            continue;
        const std::string out = dir->file("other.mp3");
        encode(coder, c.file, out);
        const auto p = cdtest::probe(out);
        EXPECT_EQ(p.rate, c.rate);
        // No LAME tag in CBR: the decode keeps the encoder's delay (1,105 samples with the
        // decoder's) and the last frame's padding.
        const double frame = c.rate >= 32000 ? 1152 : 576;
        EXPECT_GE(p.seconds, 2.0);
        EXPECT_LE(p.seconds, 2.0 + (1105 + frame) / c.rate);
    }
    EXPECT_FALSE(coder.CanEncodeWave(dir->file("missing.wav")));
}

TEST_F(LameCoderTest, BadInputRaisesAndKeepsAnEarlierOutput)
{
    struct Case {
        const char* name;
        std::string bytes;
        std::uint32_t bitrate;
        const char* message;
    };
    const Case cases[] = {
        {"block align 0", waveFile(1, 2, 44100, 0, 16, 40000), 128, "Read Error"},
        {"block align not the channels'", waveFile(1, 2, 44100, 2, 16, 40000), 128, "Read Error"},
        {"20-byte WAVE", waveFile(1, 2, 44100, 4, 16, 0).substr(0, 20), 128, "Read Error"},
        {"8-bit PCM", waveFile(1, 2, 44100, 2, 8, 40000), 128, "Read Error"},
        {"float samples", waveFile(3, 2, 44100, 8, 32, 40000), 128, "Read Error"},
        {"six channels", waveFile(1, 6, 44100, 12, 16, 40000), 128, "Read Error"},
        {"rate below MPEG's", waveFile(1, 2, 4000, 4, 16, 40000), 128, "beInitStream failed 1"},
        {"rate 0", waveFile(1, 2, 0, 4, 16, 40000), 128, "beInitStream failed 1"},
        {"bit rate not MPEG's", waveFile(1, 2, 44100, 4, 16, 40000), 100, "beInitStream failed 1"},
    };
    const std::string out = dir->file("keep.mp3");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(dir->file("bad.wav"), c.bytes);
        writeFile(out, "an earlier file");
        TLameCoder coder;
        coder.SetBitrate(c.bitrate);
        std::string message;
        {
            Watchdog limit(std::chrono::seconds(30));
            try {
                encode(coder, dir->file("bad.wav"), out);
            } catch (const cd::ELameError& e) {
                message = e.what();
            }
        }
        EXPECT_EQ(message, c.message);
        EXPECT_EQ(readFile(out), "an earlier file");
    }
    TLameCoder coder;
    EXPECT_THROW(encode(coder, dir->file("missing.wav"), out), rtl::EFOpenError);
}

TEST_F(LameCoderTest, StreamInterfaceAndSettings)
{
    TLameCoder coder;
    EXPECT_EQ(coder.LameVersion().MajorVersion(), 3);
    auto v = runCommand("lame", {"--version"});
    EXPECT_NE(v.out.find("version 3." + std::to_string(coder.LameVersion().MinorVersion())), std::string::npos);

    ASSERT_EQ(coder.InitStream(), 0u);
    EXPECT_EQ(coder.SamplesPerChunk(), 2304u);
    EXPECT_GE(coder.OutputBufferSize(), 7200u);
    std::vector<std::int16_t> pcm(2305, 1000);
    std::vector<std::uint8_t> mp3(coder.OutputBufferSize());
    std::uint32_t written = 0;
    EXPECT_EQ(coder.EncodeChunk(pcm.data(), mp3.data(), written), 0u);
    EXPECT_NE(coder.EncodeChunk(pcm.data(), 2305, mp3.data(), written), 0u);
    EXPECT_EQ(coder.DeinitStream(mp3.data(), written), 0u);
    EXPECT_GT(written, 0u);
    EXPECT_NE(coder.EncodeChunk(pcm.data(), 100, mp3.data(), written), 0u);
    coder.CloseStream();
    EXPECT_NE(coder.EncodeChunk(pcm.data(), 100, mp3.data(), written), 0u);
    coder.SetMode(cd::MONO);
    ASSERT_EQ(coder.InitStream(), 0u);
    EXPECT_EQ(coder.SamplesPerChunk(), 1152u);
    coder.SetVBRQuality(10);
    coder.SetEnableVBR(true);
    EXPECT_NE(coder.InitStream(), 0u);

    TLameCoder copy;
    copy.Assign(coder);
    EXPECT_EQ(copy.Mode(), cd::MONO);
    EXPECT_EQ(copy.VBRQuality(), 10);
    EXPECT_TRUE(copy.EnableVBR() && copy.WriteVBRHeader());
    EXPECT_TRUE(copy.CRC());
    EXPECT_EQ(copy.Bitrate(), 128u);
}

}  // namespace
