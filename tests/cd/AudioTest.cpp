// TAudio on the generated input and the recording output: trigger, channel splitting, the data
// delivered, the thread it arrives on, the settings' rules, SaveToFile and the player.
#include "cd/Audio.h"
#include "platform/wave/TestWave.h"
#include "support/TestSupport.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QThread>

#include <cmath>

namespace {

using namespace cd;
using wave::GeneratedWaveSystem;
using wave::InputScript;
using wave::Segment;

// One TAudio over a generated input; collects what OnRecord delivers.
struct Rig {
    snd::ManualClock clock;
    std::shared_ptr<GeneratedWaveSystem> sys;
    std::shared_ptr<mixer::MemoryMixerSystem> mixers = std::make_shared<mixer::MemoryMixerSystem>(1);
    std::unique_ptr<TAudio> audio;
    std::string left, right;
    int records = 0;
    int rightBlocks = 0;
    bool offUiThread = false;

    explicit Rig(InputScript script) : sys(std::make_shared<GeneratedWaveSystem>(clock, std::move(script)))
    {
        audio = std::make_unique<TAudio>(sys, mixers);
        audio->OnRecord = [this](TAudio*, const uint8_t* l, const uint8_t* r, uint32_t bytes) {
            offUiThread |= QThread::currentThread() != qApp->thread();
            ++records;
            left.append(reinterpret_cast<const char*>(l), bytes);
            if (r) {
                ++rightBlocks;
                right.append(reinterpret_cast<const char*>(r), bytes);
            }
        };
    }
    void setup(TChannels ch, TBPS bits, uint16_t rate, uint32_t samples)
    {
        TRecorder& rec = audio->Recorder();
        rec.SetChannels(ch);
        rec.SetBitsPerSample(bits);
        rec.SetSampleRate(rate);
        rec.SetNoSamples(samples);
    }
    void record(int ms)
    {
        ASSERT_TRUE(audio->Recorder().Open()) << audio->ErrorText();
        ASSERT_TRUE(audio->Recorder().Start()) << audio->ErrorText();
        for (int t = 0; t < ms; t += 10) {
            clock.advance(10);
            QCoreApplication::processEvents();
        }
        EXPECT_EQ(audio->Recorder().DroppedFrames(), 0u);
        ASSERT_TRUE(audio->Recorder().Close()) << audio->ErrorText();
    }
};

// Frames from the start of the buffer in which the signal first reaches `level`, or -1.
int64_t triggerBufferStart(const InputScript& s, const snd::WaveFormat& f, int level, int64_t frames, int64_t bufferFrames)
{
    auto bytes = GeneratedWaveSystem::render(s, f, 0, frames);
    const size_t sample = f.bitsPerSample / 8;
    for (size_t i = 0; i + sample <= bytes.size(); i += sample) {
        int v = sample == 2 ? int16_t(uint16_t(bytes[i] | bytes[i + 1] << 8)) : bytes[i];
        if (v >= level)
            return int64_t(i / f.blockAlign) / bufferFrames * bufferFrames;
    }
    return -1;
}

TEST(TRecorder, TriggerStartsDeliveryAtTheBufferThatCrossesAndDataIsTheSignal)
{
    const struct {
        const char* name;
        TBPS bits;
        TChannels channels;
        InputScript script;
        int level;
    } cases[] = {
        {"16-bit silence", TBPS::_16, TChannels::Mono, {{{Segment::Silence, 5}}, {}}, 1311},
        {"16-bit tone below", TBPS::_16, TChannels::Mono, {{{Segment::Tone, 5, 300, 0.04}}, {}}, 1311},
        {"16-bit tone crossing", TBPS::_16, TChannels::Mono,
         {{{Segment::Silence, 0.13}, {Segment::Tone, 0.05, 1000, 0.5}, {Segment::Silence, 1}}, {}}, 1311},
        {"16-bit stereo right crossing", TBPS::_16, TChannels::Stereo,
         {{{Segment::Silence, 1}}, {{Segment::Noise, 0.2, 0, 0.01}, {Segment::Tone, 1, 700, 0.3}}}, 5000},
        {"8-bit silence", TBPS::_8, TChannels::Mono, {{{Segment::Silence, 5}}, {}}, 200},
        {"8-bit tone crossing", TBPS::_8, TChannels::Mono,
         {{{Segment::Noise, 0.21, 0, 0.3}, {Segment::Tone, 0.1, 440, 0.8}, {Segment::Silence, 1}}, {}}, 200},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig(c.script);
        rig.setup(c.channels, c.bits, 11025, 1000);
        rig.audio->Recorder().SetTrigLevel(c.level);
        rig.record(600);
        const auto f = rig.audio->Recorder().Format();
        const int64_t start = triggerBufferStart(c.script, f, c.level, 11025 * 6 / 10, 1000);
        if (start < 0) {
            EXPECT_EQ(rig.records, 0);
            EXPECT_FALSE(rig.audio->Recorder().Triggered());
            continue;
        }
        EXPECT_TRUE(rig.audio->Recorder().Triggered());
        ASSERT_GT(rig.left.size(), 0u);
        auto expected = GeneratedWaveSystem::render(c.script, f, start, int64_t(rig.left.size()) / f.blockAlign);
        EXPECT_TRUE(rig.left == std::string(expected.begin(), expected.end()));
        EXPECT_FALSE(rig.offUiThread);
    }
}

// Zero crossings upwards per second: the tone's frequency.
double frequencyOf(const std::string& bytes, int rate)
{
    const auto n = bytes.size() / 2;
    int ups = 0;
    int16_t prev = 0;
    for (size_t i = 0; i < n; ++i) {
        auto v = int16_t(uint16_t(uint8_t(bytes[2 * i]) | uint8_t(bytes[2 * i + 1]) << 8));
        ups += prev < 0 && v >= 0;
        prev = v;
    }
    return ups * double(rate) / double(n);
}

TEST(TRecorder, SplitsChannelsIntoTheirOwnBlocks)
{
    InputScript script{{{Segment::Tone, 5, 440, 0.5}}, {{Segment::Tone, 5, 1000, 0.5}}};
    for (bool split : {true, false}) {
        SCOPED_TRACE(split);
        Rig rig(script);
        rig.setup(TChannels::Stereo, TBPS::_16, 44100, 2000);
        rig.audio->Recorder().SetSplitChannels(split);
        rig.record(500);
        ASSERT_GE(rig.records, 9);
        if (!split) {
            EXPECT_EQ(rig.rightBlocks, 0);
            EXPECT_EQ(rig.left.size(), size_t(rig.records) * 8000);
            continue;
        }
        EXPECT_EQ(rig.rightBlocks, rig.records);
        EXPECT_EQ(rig.left.size(), size_t(rig.records) * 4000);
        EXPECT_NEAR(frequencyOf(rig.left, 44100), 440, 5);
        EXPECT_NEAR(frequencyOf(rig.right, 44100), 1000, 5);
    }
}

TEST(TAudio, SettingsRules)
{
    Rig rig(InputScript{});
    TAudio& a = *rig.audio;
    EXPECT_EQ(a.Version(), "4.1 (32bit)");
    a.SetVersion("9");
    EXPECT_EQ(a.Version(), "4.1 (32bit)");
    EXPECT_TRUE(a.Mixer().Opened());
    EXPECT_EQ(rig.mixers->openCount(), 1);
    a.SetMixerDeviceID(3);
    EXPECT_FALSE(a.Mixer().Opened());
    EXPECT_EQ(rig.mixers->openCount(), 0);

    a.SetAudioDeviceID(12);
    EXPECT_EQ(a.AudioDeviceID(), -1);
    ASSERT_TRUE(a.Recorder().Open()) << a.ErrorText();
    EXPECT_EQ(rig.sys->lastInputDevice(), wave::kWaveMapper);
    EXPECT_TRUE(a.Recorder().Close());
    EXPECT_TRUE(a.Recorder().Close());
    EXPECT_EQ(a.ErrorText(), "Recorder already closed");
    a.SetAudioDeviceID(4);
    EXPECT_FALSE(a.Recorder().Open());
    EXPECT_EQ(a.ErrorText(), "The specified device ID is out of range. Could not open the input device for recording: ");

    TRecorder& rec = a.Recorder();
    rig.setup(TChannels::Stereo, TBPS::_16, 8000, 100);
    rec.SetSplitChannels(true);
    EXPECT_TRUE(rec.SplitChannels());
    EXPECT_EQ(a.Player().Channels(), TChannels::Stereo);  // linked while SeparateCtrls is off
    rec.SetChannels(TChannels::Mono);
    EXPECT_FALSE(rec.SplitChannels());
    rec.SetSplitChannels(true);
    EXPECT_FALSE(rec.SplitChannels());
    EXPECT_EQ(rec.BufferBytes(), 200u);
    rec.SetNoSamples(300);
    EXPECT_EQ(rec.BufferBytes(), 600u);
    a.SetSeparateCtrls(true);
    rec.SetBitsPerSample(TBPS::_8);
    EXPECT_EQ(a.Player().BitsPerSample(), TBPS::_16);
    EXPECT_EQ(rec.BufferBytes(), 300u);

    // Buffers filled before a close are not reported after it.
    a.SetAudioDeviceID(0);
    ASSERT_TRUE(rec.Open() && rec.Start()) << a.ErrorText();
    rig.clock.advance(200);
    ASSERT_TRUE(rec.Close());
    QCoreApplication::processEvents();
    EXPECT_EQ(rig.records, 0);
}

// Python's wave module, an independent reader: channels, rate, width, frames.
std::string pythonWave(const std::string& path)
{
    auto r = testsupport::runCommand(testsupport::python3(),
                                     {"-c",
                                      "import sys,wave\nw=wave.open(sys.argv[1])\n"
                                      "print(w.getnchannels(),w.getframerate(),w.getsampwidth(),w.getnframes())\n"
                                      "sys.stdout.write(w.readframes(w.getnframes()).hex())",
                                      path});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return r.out;
}

std::string hex(const std::string& b)
{
    static const char* d = "0123456789abcdef";
    std::string s;
    for (unsigned char c : b)
        s += {d[c >> 4], d[c & 15]};
    return s;
}

rtl::TMemoryStream streamOf(const std::string& s) { return rtl::TMemoryStream(std::vector<uint8_t>(s.begin(), s.end())); }

TEST(TAudio, SaveToFileAndPlayInterleaveTheChannels)
{
    Rig rig(InputScript{});
    TAudio& a = *rig.audio;
    rig.setup(TChannels::Stereo, TBPS::_16, 22050, 512);
    a.Recorder().SetSplitChannels(true);
    std::string l, r;
    for (int i = 0; i < 30000; ++i) {
        l += {char(i), char(i >> 8)};
        r += {char(~i), char(i >> 3)};
    }
    std::string interleaved;
    for (size_t i = 0; i < l.size(); i += 2)
        interleaved += l.substr(i, 2) + r.substr(i, 2);

    testsupport::TempDir dir;
    auto left = streamOf(l), right = streamOf(r), shortRight = streamOf(r.substr(2));
    ASSERT_TRUE(a.SaveToFile(dir.file("both.wav"), left, &right));
    EXPECT_EQ(pythonWave(dir.file("both.wav")), "2 22050 2 30000\n" + hex(interleaved));
    auto sox = testsupport::runCommand("sox", {"--i", "-c", dir.file("both.wav")});
    EXPECT_EQ(sox.out, "2\n") << sox.err;
    ASSERT_TRUE(a.SaveToFile(dir.file("left.wav"), left, &shortRight));
    EXPECT_EQ(pythonWave(dir.file("left.wav")), "1 22050 2 30000\n" + hex(l));
    EXPECT_FALSE(a.SaveToFile(dir.file("no/such/folder.wav"), left, &right));

    std::vector<std::string> events;
    a.OnBufferPlayed = [&](TAudio*) { events.push_back("buffer"); };
    a.OnPlayed = [&](TAudio*) { events.push_back("played"); };
    ASSERT_TRUE(a.Player().Play(left, &right)) << a.ErrorText();
    EXPECT_FALSE(QFile::exists("PLAY.TMP"));
    ASSERT_TRUE(testsupport::waitFor([&] { return !events.empty() && events.back() == "played"; }));
    EXPECT_EQ(events.size(), 5u);  // 120000 bytes in 32768-byte buffers, then the end
    EXPECT_EQ(events.front(), "buffer");
    const auto played = rig.sys->played();
    EXPECT_TRUE(std::string(played.begin(), played.end()) == interleaved);
    EXPECT_FALSE(a.Player().IsOpen());
}

// Leaves a recording of the generated input where a person can listen to it: 440 Hz on the
// left, 1 kHz on the right.
TEST(TAudio, RecordsAndSavesTheGeneratedInput)
{
    Rig rig(InputScript{{{Segment::Tone, 5, 440, 0.5}}, {{Segment::Tone, 5, 1000, 0.5}}});
    rig.setup(TChannels::Stereo, TBPS::_16, 44100, 2000);
    rig.audio->Recorder().SetSplitChannels(true);
    testsupport::TempDir dir;
    ASSERT_TRUE(rig.audio->Recorder().OpenFile(dir.file("direct.wav")));
    rig.record(1000);
    auto left = streamOf(rig.left), right = streamOf(rig.right);
    std::string interleaved;
    for (size_t i = 0; i < rig.left.size(); i += 2)
        interleaved += rig.left.substr(i, 2) + rig.right.substr(i, 2);
    auto direct = testsupport::runCommand("sox", {dir.file("direct.wav"), "-t", "raw", "-"});
    EXPECT_TRUE(direct.out == interleaved) << direct.err;
    // Kept beside the test program for a person to listen to, never in the working folder.
    const QString out = QCoreApplication::applicationDirPath() + "/out/cd";
    QDir().mkpath(out);
    const std::string path = (out + "/recorded.wav").toStdString();
    ASSERT_TRUE(rig.audio->SaveToFile(path, left, &right)) << rig.audio->ErrorText();
    auto info = testsupport::runCommand("sox", {"--i", path});
    EXPECT_NE(info.out.find("Channels       : 2"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("Sample Rate    : 44100"), std::string::npos);
    EXPECT_NE(info.out.find("Precision      : 16-bit"), std::string::npos);
}

}  // namespace
