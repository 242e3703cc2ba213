// The sound layer on the memory device: what a buffer holds comes out sample for sample,
// cursors, frequency, volume and pan, the effect chain hook, buffer loss; and the device
// chosen on this machine (ALSA or the silent fallback) plays a tone.
#include "platform/sound/AlsaSoundDevice.h"
#include "platform/sound/MemorySoundDevice.h"
#include "platform/sound/NullSoundDevice.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

using namespace snd;

namespace {

constexpr uint32_t kAllControls = caps::kCtrlFrequency | caps::kCtrlPan | caps::kCtrlVolume | caps::kCtrlFx;

std::vector<int16_t> samples(const std::vector<uint8_t>& bytes)
{
    std::vector<int16_t> s(bytes.size() / 2);
    std::memcpy(s.data(), bytes.data(), s.size() * 2);
    return s;
}

// A 16-bit stereo ramp: frame i holds (i, -i) modulo 16 bits.
std::vector<uint8_t> ramp(uint32_t frames)
{
    std::vector<int16_t> s(frames * 2);
    for (uint32_t i = 0; i < frames; ++i) {
        s[2 * i] = int16_t(i);
        s[2 * i + 1] = int16_t(-int(i));
    }
    std::vector<uint8_t> b(s.size() * 2);
    std::memcpy(b.data(), s.data(), b.size());
    return b;
}

struct Rig {
    ManualClock clock;
    std::shared_ptr<MemorySoundDevice> device = MemorySoundDevice::create(clock);
    std::shared_ptr<SoundBuffer> buffer;

    void make(const WaveFormat& f, const std::vector<uint8_t>& content)
    {
        BufferDesc d{kAllControls, uint32_t(content.size()), f};
        ASSERT_EQ(device->createSoundBuffer(d, &buffer), result::kOk);
        void *p1, *p2;
        uint32_t n1, n2;
        ASSERT_EQ(buffer->Lock(0, d.bufferBytes, &p1, &n1, &p2, &n2), result::kOk);
        ASSERT_EQ(n1, d.bufferBytes);
        EXPECT_EQ(n2, 0u);
        std::memcpy(p1, content.data(), n1);
        ASSERT_EQ(buffer->Unlock(p1, n1, p2, n2), result::kOk);
    }
    uint32_t playCursor()
    {
        uint32_t play = 0;
        EXPECT_EQ(buffer->GetCurrentPosition(&play, nullptr), result::kOk);
        return play;
    }
};

// Counts the frames it sees and scales them, to check chain order and once-only processing.
class TestEffect : public SoundEffect {
public:
    TestEffect(float scale, float offset) : scale_(scale), offset_(offset) {}
    EffectKind kind() const override { return EffectKind::Gargle; }
    void prepare(int rate, int channels) override { rate_ = rate, channels_ = channels, frames_ = 0; }
    void process(float* f, std::size_t n) override
    {
        for (size_t i = 0; i < n * size_t(channels_); ++i)
            f[i] = f[i] * scale_ + offset_;
        frames_ += n;
    }
    float scale_, offset_;
    int rate_ = 0, channels_ = 0;
    size_t frames_ = 0;
};

}  // namespace

TEST(SoundDevice, LoopingBufferComesOutSampleExactAndResumesAfterStop)
{
    Rig rig;
    auto content = ramp(44100);  // one second
    rig.make(WaveFormat::pcm(44100, 2, 16), content);
    ASSERT_EQ(rig.buffer->Play(kPlayLooping), result::kOk);
    rig.clock.advance(700);
    EXPECT_EQ(rig.playCursor(), 30870u * 4);
    ASSERT_EQ(rig.buffer->Stop(), result::kOk);
    rig.clock.advance(300);  // silence while stopped
    ASSERT_EQ(rig.buffer->Play(kPlayLooping), result::kOk);
    rig.clock.advance(1000);  // wraps around once
    auto out = samples(rig.device->takeRecorded());
    ASSERT_EQ(out.size(), 2u * 88200);
    for (size_t i = 0; i < 30870; ++i)
        ASSERT_EQ(out[2 * i], int16_t(i)) << i;
    for (size_t i = 30870; i < 30870 + 13230; ++i)
        ASSERT_EQ(out[2 * i], 0) << i;
    for (size_t k = 0; k < 44100; ++k) {
        size_t i = 30870 + 13230 + k, frame = (30870 + k) % 44100;
        ASSERT_EQ(out[2 * i], int16_t(frame)) << i;
        ASSERT_EQ(out[2 * i + 1], int16_t(-int(frame))) << i;
    }
    EXPECT_EQ(rig.playCursor(), uint32_t((30870 + 44100) % 44100) * 4);
}

TEST(SoundDevice, EightBitMonoIsWidenedToBothChannels)
{
    Rig rig;
    std::vector<uint8_t> content(8000);
    for (size_t i = 0; i < content.size(); ++i)
        content[i] = uint8_t(i * 7);
    rig.make(WaveFormat::pcm(44100, 1, 8), content);
    ASSERT_EQ(rig.buffer->Play(kPlayLooping), result::kOk);
    rig.clock.advance(100);
    auto out = samples(rig.device->takeRecorded());
    for (size_t i = 0; i < 4410; ++i) {
        int16_t want = int16_t((int(content[i % 8000]) - 128) * 256);
        ASSERT_EQ(out[2 * i], want);
        ASSERT_EQ(out[2 * i + 1], want);
    }
}

TEST(SoundDevice, FrequencyChangesSpeedWithinItsRange)
{
    Rig rig;
    rig.make(WaveFormat::pcm(44100, 2, 16), ramp(44100 * 2));
    EXPECT_EQ(rig.buffer->SetFrequency(99), result::kInvalidParam);
    EXPECT_EQ(rig.buffer->SetFrequency(200001), result::kInvalidParam);
    ASSERT_EQ(rig.buffer->SetFrequency(22050), result::kOk);
    ASSERT_EQ(rig.buffer->Play(kPlayLooping), result::kOk);
    rig.clock.advance(1000);
    EXPECT_EQ(rig.playCursor(), 22050u * 4);
    auto half = samples(rig.device->takeRecorded());
    EXPECT_EQ(half[2 * 1000], 500);      // on a frame
    EXPECT_EQ(half[2 * 1001], 500);      // halfway: 500.5 rounds to even
    ASSERT_EQ(rig.buffer->SetFrequency(88200), result::kOk);
    rig.clock.advance(500);
    EXPECT_EQ(rig.playCursor(), (22050u + 44100u) * 4);
    auto dbl = samples(rig.device->takeRecorded());
    EXPECT_EQ(dbl[2 * 10], int16_t(22050 + 20));
    ASSERT_EQ(rig.buffer->SetFrequency(0), result::kOk);  // back to the format's rate
    uint32_t hz = 0;
    ASSERT_EQ(rig.buffer->GetFrequency(&hz), result::kOk);
    EXPECT_EQ(hz, 44100u);
}

TEST(SoundDevice, VolumeAndPanAttenuateInHundredthsOfADecibel)
{
    Rig rig;
    std::vector<int16_t> loud(2 * 4410, 20000);
    std::vector<uint8_t> bytes(loud.size() * 2);
    std::memcpy(bytes.data(), loud.data(), bytes.size());
    rig.make(WaveFormat::pcm(44100, 2, 16), bytes);
    EXPECT_EQ(rig.buffer->SetVolume(1), result::kInvalidParam);
    ASSERT_EQ(rig.buffer->SetVolume(-600), result::kOk);
    ASSERT_EQ(rig.buffer->SetPan(-10000), result::kOk);  // right side silent
    ASSERT_EQ(rig.buffer->Play(kPlayLooping), result::kOk);
    rig.clock.advance(10);
    auto out = samples(rig.device->takeRecorded());
    EXPECT_NEAR(out[0], 20000 * std::pow(10.0, -0.3), 1.0);
    EXPECT_EQ(out[1], 0);
    ASSERT_EQ(rig.buffer->SetPan(1000), result::kOk);  // left 10 dB down
    ASSERT_EQ(rig.buffer->SetVolume(0), result::kOk);
    rig.clock.advance(10);
    out = samples(rig.device->takeRecorded());
    EXPECT_NEAR(out[0], 20000 * std::pow(10.0, -0.5), 1.0);
    EXPECT_EQ(out[1], 20000);
}

// A render that spans a whole turn of the ring ends where it began: what is written behind
// the cursor afterwards must be heard, not the frames converted a turn before.
TEST(SoundDevice, FramesWrittenAfterAWholeTurnAreHeard)
{
    Rig rig;
    rig.make(WaveFormat::pcm(44100, 2, 16), ramp(4410));
    ASSERT_EQ(rig.buffer->SetVolume(-600), result::kOk);  // mixed, not copied straight
    ASSERT_EQ(rig.buffer->Play(kPlayLooping), result::kOk);
    rig.clock.advance(100);
    ASSERT_EQ(rig.playCursor(), 0u);
    void *p1, *p2;
    uint32_t n1, n2;
    ASSERT_EQ(rig.buffer->Lock(100 * 4, 4310 * 4, &p1, &n1, &p2, &n2), result::kOk);
    std::vector<int16_t> loud(2 * 4310, 20000);
    std::memcpy(p1, loud.data(), n1);
    ASSERT_EQ(rig.buffer->Unlock(p1, n1, p2, n2), result::kOk);
    rig.device->takeRecorded();
    rig.clock.advance(50);
    auto out = samples(rig.device->takeRecorded());
    ASSERT_EQ(out.size(), 2u * 2205);
    for (size_t i = 100; i < 2205; ++i)
        ASSERT_NEAR(out[2 * i], 20000 * std::pow(10.0, -0.3), 1.0) << i;
}

TEST(SoundDevice, EffectChainIsSetWhileStoppedAndRunsInOrderOnEveryFrameOnce)
{
    Rig rig;
    std::vector<int16_t> level(2 * 44100, 8192);  // 0.25
    std::vector<uint8_t> bytes(level.size() * 2);
    std::memcpy(bytes.data(), level.data(), bytes.size());
    rig.make(WaveFormat::pcm(22050, 2, 16), bytes);
    auto half = std::make_shared<TestEffect>(0.5f, 0.0f);
    auto lift = std::make_shared<TestEffect>(1.0f, 0.25f);
    ASSERT_EQ(rig.buffer->SetFX({half, lift}), result::kOk);
    EXPECT_EQ(half->rate_, 22050);
    EXPECT_EQ(half->channels_, 2);
    ASSERT_EQ(rig.buffer->Play(kPlayLooping), result::kOk);
    EXPECT_EQ(rig.buffer->SetFX({}), result::kInvalidCall);
    for (int i = 0; i < 10; ++i)
        rig.clock.advance(100);
    auto out = samples(rig.device->takeRecorded());
    EXPECT_EQ(out[100], 12288);  // 0.25 * 0.5 + 0.25, not (0.25 + 0.25) * 0.5
    // Frames heard (22050 at half speed) plus the one read ahead for interpolation.
    EXPECT_LE(half->frames_ - 22050, 2u);
    EXPECT_EQ(lift->frames_, half->frames_);
    SoundEffect* e = nullptr;
    ASSERT_EQ(rig.buffer->GetObjectInPath(1, &e), result::kOk);
    EXPECT_EQ(e, lift.get());
    EXPECT_EQ(rig.buffer->GetObjectInPath(2, &e), result::kObjectNotFound);
    ASSERT_EQ(rig.buffer->Stop(), result::kOk);
    ASSERT_EQ(rig.buffer->SetFX({}), result::kOk);
    EXPECT_EQ(rig.buffer->GetObjectInPath(0, &e), result::kObjectNotFound);
}

TEST(SoundDevice, LostDeviceLosesAndStopsEveryBuffer)
{
    Rig rig;
    rig.make(WaveFormat::pcm(44100, 2, 16), ramp(4410));
    ASSERT_EQ(rig.buffer->Play(kPlayLooping), result::kOk);
    rig.clock.advance(10);
    rig.device->markLost();
    uint32_t st = 0;
    ASSERT_EQ(rig.buffer->GetStatus(&st), result::kOk);
    EXPECT_EQ(st, status::kBufferLost);
    void *p1, *p2;
    uint32_t n1, n2;
    EXPECT_EQ(rig.buffer->Lock(0, 4, &p1, &n1, &p2, &n2), result::kBufferLost);
    EXPECT_EQ(rig.buffer->Play(kPlayLooping), result::kBufferLost);
    std::shared_ptr<SoundBuffer> other;
    EXPECT_EQ(rig.device->createSoundBuffer({0, 4410 * 4, WaveFormat::pcm(44100, 2, 16)}, &other),
              result::kBufferLost);
    EXPECT_EQ(soundResultText(result::kBufferLost), "The buffer memory has been lost and must be restored.");
}

TEST(SoundDevice, RefusesFormatsAndSizesItCannotPlay)
{
    Rig rig;
    std::shared_ptr<SoundBuffer> b;
    EXPECT_EQ(rig.device->createSoundBuffer({0, 6000, WaveFormat::pcm(44100, 2, 24)}, &b), result::kBadFormat);
    EXPECT_EQ(rig.device->createSoundBuffer({0, 6000, WaveFormat::pcm(44100, 6, 16)}, &b), result::kBadFormat);
    EXPECT_EQ(rig.device->createSoundBuffer({0, 6002, WaveFormat::pcm(44100, 2, 16)}, &b), result::kInvalidParam);
    ASSERT_EQ(rig.device->createSoundBuffer({0, 6000, WaveFormat::pcm(44100, 2, 16)}, &b), result::kOk);
    EXPECT_EQ(b->SetVolume(-100), result::kControlUnavailable);
    EXPECT_EQ(b->SetFX({}), result::kControlUnavailable);
    EXPECT_EQ(rig.device->setPrimaryFormat(WaveFormat::pcm(22050, 1, 8)), result::kOk);
    EXPECT_EQ(rig.device->primaryFormat(), WaveFormat::pcm(22050, 1, 8));
}

namespace {

// Plays a looping tone on `device` until its play cursor moves (real time, so it waits only
// for that), then stops it.
void playToneUntilTheCursorMoves(const std::shared_ptr<SoundDevice>& device)
{
    std::vector<int16_t> tone(2 * 4410);
    for (size_t i = 0; i < 4410; ++i)
        tone[2 * i] = tone[2 * i + 1] = int16_t(8000 * std::sin(double(i) * 2 * M_PI * 441 / 44100));
    std::shared_ptr<SoundBuffer> b;
    ASSERT_EQ(device->createSoundBuffer({kAllControls, uint32_t(tone.size() * 2), WaveFormat::pcm(44100, 2, 16)}, &b),
              result::kOk);
    void *p1, *p2;
    uint32_t n1, n2;
    ASSERT_EQ(b->Lock(0, b->size(), &p1, &n1, &p2, &n2), result::kOk);
    std::memcpy(p1, tone.data(), n1);
    ASSERT_EQ(b->Unlock(p1, n1, p2, n2), result::kOk);
    ASSERT_EQ(b->Play(kPlayLooping), result::kOk);
    uint32_t play = 0;
    for (int i = 0; i < 200 && play == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_EQ(b->GetCurrentPosition(&play, nullptr), result::kOk);
    }
    EXPECT_GT(play, 0u) << device->name();
    ASSERT_EQ(b->Stop(), result::kOk);
}

}  // namespace

TEST(SoundDevice, TheDeviceOfThisMachinePlaysAToneOrFallsBackSilently)
{
    auto list = SoundDevice::enumerate();
    ASSERT_FALSE(list.empty());
    EXPECT_EQ(list[0].id, "");
    auto device = SoundDevice::open("");
    ASSERT_TRUE(device);
    playToneUntilTheCursorMoves(device);
    // A device that cannot be opened leaves the null device, which knows ALSA's reason.
    auto missing = SoundDevice::open("no_such_pcm_for_tambourelle");
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->name(), "null");
    EXPECT_EQ(missing->silentReason().rfind("ALSA no_such_pcm_for_tambourelle: cannot open: ", 0), 0u)
        << missing->silentReason();
    EXPECT_GT(missing->silentReason().size(), std::string("ALSA no_such_pcm_for_tambourelle: cannot open: ").size());
    playToneUntilTheCursorMoves(missing);
    EXPECT_EQ(device->name() == "null", !device->silentReason().empty());
}

TEST(SoundDevice, AlsaBackendPlaysThroughAlsasNullPcm)
{
    auto device = AlsaSoundDevice::create("null");
    if (!device)
        GTEST_SKIP() << "ALSA has no configuration here";
    playToneUntilTheCursorMoves(device);
    EXPECT_EQ(device->setPrimaryFormat(WaveFormat::pcm(22050, 1, 8)), result::kOk);
    EXPECT_EQ(device->primaryFormat(), WaveFormat::pcm(22050, 1, 8));
    playToneUntilTheCursorMoves(device);
    EXPECT_FALSE(device->isLost());
}

// The streaming copy into a buffer handles its own head and tail around the aligned middle:
// every alignment of either side and lengths around the block sizes give memcpy's bytes, and
// nothing beyond the range is touched.
TEST(SoundDevice, CopyToBufferGivesTheSameBytesAtAnyAlignment)
{
    std::vector<uint8_t> src(5000);
    for (size_t i = 0; i < src.size(); ++i)
        src[i] = uint8_t(i * 131 + 7);
    for (size_t to = 0; to < 17; ++to)
        for (size_t from : {0, 1, 9, 16})
            for (size_t n : {0, 1, 15, 16, 17, 63, 64, 65, 127, 1000, 4099}) {
                std::vector<uint8_t> dst(4200, 0xEE);
                snd::copyToBuffer(dst.data() + to, src.data() + from, n);
                std::vector<uint8_t> want(4200, 0xEE);
                std::memcpy(want.data() + to, src.data() + from, n);
                ASSERT_TRUE(dst == want) << "to +" << to << ", from +" << from << ", " << n << " bytes";
            }
}
