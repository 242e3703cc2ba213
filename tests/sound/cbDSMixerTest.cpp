// The streaming channel on the memory device, driven by its manual clock: what comes out is
// the file, sample for sample, around pauses, seeks and the end; events arrive once, on the
// user-interface thread.
#include "platform/sound/MemorySoundDevice.h"
#include "sound/cbDSMixer.h"
#include "support/AudioFixtures.h"
#include "tests/sound/ChannelRig.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <future>
#include <thread>

using namespace sound;
using namespace testsupport;

namespace {

// The channel rig counting the channel's events.
struct Rig : ChannelRig {
    int ends = 0, fades = 0, losts = 0;
    bool eventsOnUiThread = true;
    int64_t endedAtMs = -1;

    Rig()
    {
        channel->OnPlayEnd = [this](TcbDSMixerChannel*) {
            ++ends;
            endedAtMs = clock.nowMs();
            eventsOnUiThread &= QThread::currentThread() == QCoreApplication::instance()->thread();
        };
        channel->OnFadeEnd = [this](TcbDSMixerChannel*) { ++fades; };
    }
};

// The file's PCM as 16-bit stereo frames, the way the memory device plays it at its own rate.
std::vector<int16_t> asPlayed(const std::string& pcm, int bits, int channels)
{
    std::vector<int16_t> out;
    if (bits == 8) {
        for (unsigned char c : pcm)
            out.push_back(int16_t((int(c) - 128) * 256));
    } else {
        out = asSamples16(pcm);
    }
    if (channels == 1) {
        std::vector<int16_t> st;
        for (int16_t s : out)
            st.insert(st.end(), {s, s});
        return st;
    }
    return out;
}

// Index of the first sample that differs from `want` at `from` in `got`, or -1.
long firstDifference(const std::vector<int16_t>& got, size_t from, const std::vector<int16_t>& want,
                     size_t wantFrom, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        if (wantFrom + i >= want.size() || from + i >= got.size() || got[from + i] != want[wantFrom + i])
            return long(i);
    return -1;
}

bool silentFrom(const std::vector<int16_t>& s, size_t from)
{
    return std::all_of(s.begin() + long(std::min(from, s.size())), s.end(), [](int16_t v) { return v == 0; });
}

}  // namespace

TEST(cbDSMixerChannel, WholeFilesComeOutSampleExactThenSilenceAndEndOnce)
{
    TempDir dir;
    struct F { std::string path; int bits, channels; bool compressed; };
    std::vector<F> files{
        {makePcm(dir, "s16.wav", 44100, 2, 16, 9.3), 16, 2, false},
        {makePcm(dir, "u8.wav", 44100, 1, 8, 5.1), 8, 1, false},
        {makeMp3(dir, "a.mp3", 44100, 2, 6.2, {"-V", "2"}), 16, 2, true},
    };
    for (const F& f : files) {
        SCOPED_TRACE(f.path);
        Rig rig;
        rig.channel->Open(f.path);
        auto want = asPlayed(referencePcm(f.path, f.bits, f.compressed), f.bits, f.channels);
        rig.channel->Play();
        rig.run(16000);
        auto got = rig.output();
        EXPECT_EQ(firstDifference(got, 0, want, 0, want.size()), -1);
        EXPECT_TRUE(silentFrom(got, want.size()));
        EXPECT_EQ(rig.ends, 1);
        EXPECT_TRUE(rig.eventsOnUiThread);
        // The end is noticed on the first tick after the last sample was heard.
        int64_t lastSampleMs = int64_t(want.size() / 2) * 1000 / 44100;
        EXPECT_GE(rig.endedAtMs, lastSampleMs);
        EXPECT_LE(rig.endedAtMs, lastSampleMs + 500);
        EXPECT_EQ(rig.channel->State(), TcbDSMixerChannel::csStopped);
    }
}

// At the end of its data the channel sends the reader back to the start for the next play,
// while the last four seconds are still to be heard; a compressed file is only reopened then.
TEST(cbDSMixerChannel, AFileRemovedWhileItPlaysIsHeardToItsEndAndFailsTheNextPlay)
{
    TempDir dir;
    const std::string path = makeMp3(dir, "a.mp3", 44100, 2, 6.2, {"-b", "128"});
    auto want = asPlayed(referencePcm(path, 16, true), 16, 2);
    Rig rig;
    rig.channel->Open(path);
    rig.channel->Play();
    rig.run(1000);
    ASSERT_EQ(std::remove(path.c_str()), 0);
    rig.run(8000);
    auto got = rig.output();
    EXPECT_EQ(firstDifference(got, 0, want, 0, want.size()), -1);
    EXPECT_TRUE(silentFrom(got, want.size()));
    EXPECT_EQ(rig.ends, 1);
    EXPECT_EQ(rig.channel->GetPosition(), 0u);
    try {
        rig.channel->Play();
        FAIL() << "played a file that is gone";
    } catch (const EAudioReadError& e) {
        EXPECT_STREQ(e.what(), "The system cannot find the file specified.");
    }
}

TEST(cbDSMixerChannel, PauseResumesAtTheSameSampleAndStopStartsOver)
{
    TempDir dir;
    std::string path = makePcm(dir, "a.wav", 44100, 2, 16, 6.0);
    auto want = asPlayed(referencePcm(path, 16, false), 16, 2);
    Rig rig;
    rig.channel->Open(path);
    rig.channel->Play();
    rig.run(1000);
    rig.channel->Pause();
    EXPECT_EQ(rig.channel->GetPosition(), 1000u);
    rig.run(500);
    rig.channel->Play();
    rig.run(1200);
    auto got = rig.output();
    EXPECT_EQ(firstDifference(got, 0, want, 0, 88200), -1);
    EXPECT_TRUE(std::all_of(got.begin() + 88200, got.begin() + 88200 + 44100, [](int16_t v) { return v == 0; }));
    EXPECT_EQ(firstDifference(got, 88200 + 44100, want, 88200, 2 * 52920), -1);
    rig.channel->Stop();
    EXPECT_EQ(rig.channel->GetPosition(), 0u);
    rig.channel->Play();
    rig.run(300);
    got = rig.output();
    EXPECT_EQ(firstDifference(got, 0, want, 0, 2 * 13230), -1);
}

TEST(cbDSMixerChannel, SetPositionLandsOnTheRequestedSample)
{
    TempDir dir;
    std::vector<std::pair<std::string, bool>> files{{makePcm(dir, "a.wav", 44100, 2, 16, 7.0), false},
                                                    {makeMp3(dir, "a.mp3", 44100, 2, 7.0, {"-b", "192"}), true}};
    for (auto& [path, compressed] : files) {
        SCOPED_TRACE(path);
        auto want = asPlayed(referencePcm(path, 16, compressed), 16, 2);
        Rig rig;
        rig.channel->Open(path);
        rig.channel->Play();
        rig.run(2000);
        rig.channel->SetPosition(1500);  // backwards, from inside the stream
        EXPECT_EQ(rig.channel->GetPosition(), 1500u);
        rig.output();
        rig.channel->Play();
        rig.run(4500);
        auto got = rig.output();
        EXPECT_EQ(firstDifference(got, 0, want, 2 * 66150, 2 * 44100 * 4), -1);
        EXPECT_NEAR(double(rig.channel->GetPosition()), 6000.0, 1.0);
        rig.channel->SetPosition(6900);  // forwards, close to the end
        rig.channel->Play();
        rig.run(1000);
        got = rig.output();
        EXPECT_EQ(firstDifference(got, 0, want, 2 * 304290, want.size() - 2 * 304290), -1);
        EXPECT_EQ(rig.ends, 1);
    }
}

// A VBR MP3 without a VBR header states no length, and FFmpeg's guess from its first frames
// misses by half a second here (7.5 s on a 5-minute file): the length is its frames
// counted, as ffprobe counts them. Play still runs to the end, and 99 % is before the end.
TEST(cbDSMixerChannel, AVbrStreamWithoutHeaderHasItsCountedLength)
{
    TempDir dir;
    const std::string mp3 = makeVbrWithoutHeader(dir, "vbr.mp3", 20.04);
    const long frames = countedFrames(mp3);
    const double lengthMs = frames * 1152 * 1000.0 / 44100;
    auto want = asPlayed(referencePcm(mp3, 16, true), 16, 2);
    ASSERT_EQ(want.size(), size_t(frames) * 1152 * 2);
    Rig rig;
    rig.channel->Open(mp3);
    EXPECT_NEAR(double(rig.channel->FileLengthMs()), lengthMs, 1.0);
    rig.channel->Play();
    rig.run(int64_t(lengthMs) + 1000);
    auto got = rig.output();
    EXPECT_EQ(firstDifference(got, 0, want, 0, want.size()), -1);
    EXPECT_EQ(rig.ends, 1);

    const uint32_t at = rig.channel->FileLengthMs() * 99 / 100;
    rig.channel->SetPosition(at);
    EXPECT_EQ(rig.channel->GetPosition(), at);
    rig.channel->Play();
    rig.run(1000);
    got = rig.output();
    const size_t from = size_t(std::llround(at * 44.1)) * 2;  // the nearest sample frame
    ASSERT_LT(from, want.size());
    EXPECT_EQ(firstDifference(got, 0, want, from, want.size() - from), -1);
    EXPECT_EQ(rig.ends, 2);
}

TEST(cbDSMixerChannel, FrequencyChangesTheSpeedOfPlay)
{
    TempDir dir;
    std::string path = makePcm(dir, "a.wav", 22050, 1, 16, 8.0);
    Rig rig;
    rig.channel->Open(path);
    rig.channel->Play();  // 22050 Hz on a 44100 Hz device: resampled at its own speed
    rig.run(1000);
    EXPECT_NEAR(double(rig.channel->GetPosition()), 1000.0, 1.0);
    rig.channel->SetFrequency(44100);
    rig.run(1000);
    EXPECT_NEAR(double(rig.channel->GetPosition()), 3000.0, 1.0);
    rig.run(3000);  // the last sample is heard at 2 s + 5 s / 2, noticed at the 4.8 s tick
    EXPECT_EQ(rig.endedAtMs, 4800);
    EXPECT_EQ(rig.ends, 1);
    EXPECT_THROW(rig.channel->SetFrequency(250000), EDirectXError);
}

TEST(cbDSMixerChannel, AFileShorterThanATickStillEndsAtTheFirstTick)
{
    TempDir dir;
    std::string path = makePcm(dir, "a.wav", 44100, 2, 16, 0.15);
    auto want = asPlayed(referencePcm(path, 16, false), 16, 2);
    Rig rig;
    rig.channel->Open(path);
    rig.channel->Play();
    rig.run(1200);
    EXPECT_EQ(rig.ends, 1);
    EXPECT_EQ(rig.endedAtMs, 400);
    auto got = rig.output();
    EXPECT_EQ(firstDifference(got, 0, want, 0, want.size()), -1);
    EXPECT_TRUE(silentFrom(got, want.size()));
    rig.channel->Play();  // plays again from the start
    rig.run(1000);
    EXPECT_EQ(rig.ends, 2);
}

TEST(cbDSMixerChannel, LockPlayedGivesTheBytesAboutToBeHeard)
{
    TempDir dir;
    std::string path = makePcm(dir, "a.wav", 44100, 2, 16, 6.0);
    std::string pcm = referencePcm(path, 16, false);
    Rig rig;
    rig.channel->Open(path);
    rig.channel->Play();
    rig.run(3900);  // the copy wraps at 4 s: ask for a range that crosses it
    const uint8_t *p1, *p2;
    uint32_t n1, n2;
    rig.channel->LockPlayed(4000, 20000, p1, n1, p2, n2);
    ASSERT_EQ(n1 + n2, 20000u);
    EXPECT_GT(n2, 0u);
    std::string got(reinterpret_cast<const char*>(p1), n1);
    got.append(reinterpret_cast<const char*>(p2), n2);
    EXPECT_TRUE(got == pcm.substr(size_t(3900 * 44100 / 1000) * 4 + 4000, 20000));
    rig.run(800);  // while locked, the refill writes silence and leaves the copy alone
    EXPECT_TRUE(std::string(reinterpret_cast<const char*>(p1), n1) == got.substr(0, n1));
    rig.channel->UnlockPlayed();
    rig.channel->LockPlayed(0, 100, p1, n1, p2, n2);
    EXPECT_EQ(n1, 100u);
    rig.channel->UnlockPlayed();
}

TEST(cbDSMixerChannel, FadeRampsTheVolumeAndEndsOnce)
{
    TempDir dir;
    Rig rig;
    rig.channel->Open(makePcm(dir, "a.wav", 44100, 2, 16, 6.0));
    rig.channel->Play();
    rig.channel->Fade(-2000, 800);
    rig.run(400);
    int32_t v = 0;
    ASSERT_EQ(rig.channel->Buffer()->GetVolume(&v), snd::result::kOk);
    EXPECT_EQ(v, -1000);
    rig.run(2000);
    ASSERT_EQ(rig.channel->Buffer()->GetVolume(&v), snd::result::kOk);
    EXPECT_EQ(v, -2000);
    EXPECT_EQ(rig.fades, 1);
}

TEST(cbDSMixerChannel, ALostDeviceStopsTheChannelAndSaysSo)
{
    TempDir dir;
    Rig rig;
    rig.channel->Open(makePcm(dir, "a.wav", 44100, 2, 16, 6.0));
    rig.channel->Play();
    rig.run(1000);
    rig.device->markLost();
    rig.run(1000);
    EXPECT_EQ(rig.channel->State(), TcbDSMixerChannel::csStopped);
    EXPECT_EQ(rig.channel->Buffer(), nullptr);
    EXPECT_EQ(rig.ends, 1);  // no loss handler: the loss ends play
    rig.channel->OnBufferLost = [&](TcbDSMixerChannel*) { ++rig.losts; };
    try {
        rig.channel->Play();  // the mixer reopens the device, which is still gone
        FAIL() << "play on a lost device succeeded";
    } catch (const EDirectXError& e) {
        EXPECT_EQ(e.ErrorCode, snd::result::kBufferLost);
        EXPECT_STREQ(e.what(), "The buffer memory has been lost and must be restored.");
    }
}

TEST(cbDSMixerChannel, OpenRefusesWhatItCannotPlayWithItsTexts)
{
    TempDir dir;
    Rig rig;
    auto openError = [&](const std::string& path) {
        try {
            rig.channel->Open(path);
        } catch (const std::exception& e) {
            return std::string(e.what());
        }
        return std::string("opened");
    };
    EXPECT_EQ(openError(makePcm(dir, "deep.wav", 44100, 2, 24, 0.5)), "Invalid number of bits per sample.");
    std::string six = dir.file("six.wav");
    ASSERT_EQ(runCommand("sox", {"-n", "-r", "48000", "-c", "6", "-b", "16", six, "synth", "0.5", "sine", "300"}).exitCode, 0);
    EXPECT_EQ(openError(six), "Invalid number of channels.");
    // A WAV header with no data.
    std::string empty("RIFF\x24\0\0\0WAVEfmt \x10\0\0\0\x01\0\x02\0\x44\xac\0\0\x10\xb1\x02\0\x04\0\x10\0data\0\0\0\0", 44);
    writeFile(dir.file("empty.wav"), empty);
    EXPECT_EQ(openError(dir.file("empty.wav")), "Audio file is empty.");
    EXPECT_EQ(openError(dir.file("missing.mp3")), "The system cannot find the file specified.");
    EXPECT_EQ(rig.channel->Buffer(), nullptr);
    EXPECT_THROW(rig.channel->Play(), std::runtime_error);  // "No file opened"
    EXPECT_EQ(rig.channel->GetPosition(), 0u);
}

TEST(cbDSMixer, FrequencyIsClampedAndTheDeviceGetsTheAskedFormat)
{
    snd::ManualClock clock;
    auto device = snd::MemorySoundDevice::create(clock);
    TcbDSMixer mixer([&](const std::string&) { return device; });
    mixer.SetFrequency(50);
    EXPECT_EQ(mixer.Frequency(), 100);
    mixer.SetFrequency(100001);
    EXPECT_EQ(mixer.Frequency(), 100000);
    mixer.SetFrequency(22050);
    mixer.Stereo = false;
    mixer.BitsPerSample = TacahBitsPerSample::bs8Bit;
    EXPECT_EQ(mixer.GetDirectSound(), device);
    EXPECT_EQ(device->primaryFormat(), snd::WaveFormat::pcm(22050, 1, 8));
    EXPECT_EQ(TcbDSMixer::DeviceIds().at(0), "");
    EXPECT_EQ(TcbDSMixer::DeviceDescriptions().size(), TcbDSMixer::DeviceIds().size());
}

TEST(cbDSMixerChannel, EveryKindOfMusicFilePlaysOnTheDeviceOfThisMachine)
{
    TempDir dir;
    std::string mp2 = makeWithFfmpeg(dir, "a.mp2", 32000, 2, 0.5, "mp2");
    writeFile(dir.file("a.mpa"), readFile(mp2));
    std::vector<std::string> files{
        makePcm(dir, "a.wav", 22050, 1, 8, 0.5),   makePcm(dir, "a.au", 8000, 1, 16, 0.5),
        makePcm(dir, "a.aif", 44100, 2, 16, 0.5),  makeMp3(dir, "a.mp3", 48000, 2, 0.5, {"-b", "128"}),
        mp2,                                       dir.file("a.mpa"),
        makeWithFfmpeg(dir, "a.wma", 44100, 2, 0.5, "wmav2"),
    };
    TcbDSMixer mixer;  // ALSA when there is a card, the silent null device otherwise
    TcbDSMixerChannel& channel = *mixer.NewChannel();
    for (const std::string& f : files) {
        SCOPED_TRACE(f);
        channel.Open(f);
        EXPECT_GT(channel.FileLengthMs(), 400u);
        channel.Play();
        // Real time: wait only until the position moves.
        for (int i = 0; i < 200 && channel.GetPosition() == 0; ++i)
            QThread::msleep(5);
        EXPECT_GT(channel.GetPosition(), 0u);
        channel.Stop();
    }
}

TEST(cbDSMixerChannel, OperationsGiveUpQuietlyWhileAnotherThreadHoldsTheChannel)
{
    TempDir dir;
    snd::ManualClock clock;
    auto device = snd::MemorySoundDevice::create(clock);
    std::promise<void> entered, release;
    std::shared_future<void> released = release.get_future().share();
    // The device opens inside Play, with the channel's mutex held: keep it there a while.
    TcbDSMixer mixer([&](const std::string&) {
        entered.set_value();
        released.wait();
        return device;
    });
    TcbDSMixerChannel& channel = *mixer.NewChannel(clock);
    channel.Open(makePcm(dir, "a.wav", 44100, 2, 16, 1.0));
    channel.SetPosition(500);
    std::thread other([&] { channel.Play(); });
    entered.get_future().wait();
    EXPECT_EQ(channel.GetPosition(), 0u);   // would be 500
    EXPECT_EQ(channel.FileLengthMs(), 0u);  // would be 1000
    channel.Pause();                        // nothing, no error
    release.set_value();
    other.join();
    EXPECT_EQ(channel.State(), TcbDSMixerChannel::csPlaying);
    EXPECT_EQ(channel.GetPosition(), 500u);
    EXPECT_EQ(channel.FileLengthMs(), 1000u);
}
