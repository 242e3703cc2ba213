// The effects manager on the channel's buffer of the memory device, used the way the playback
// engine uses it: bound to a stopped buffer, defaults read, the chain rebuilt with the channel
// paused around it.
#include "platform/sound/effects/SoundEffects.h"
#include "sound/DSFXManager.h"
#include "support/AudioFixtures.h"
#include "tests/sound/ChannelRig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>

using namespace sound;
using namespace testsupport;

namespace {

// Opens a file and creates, primes and rewinds its buffer, as the engine does before binding.
void openStopped(ChannelRig& rig, const std::string& path)
{
    rig.channel->Open(path);
    rig.channel->Play();
    rig.channel->Stop();
}

std::vector<snd::EffectKind> chainOf(snd::SoundBuffer& buffer)
{
    std::vector<snd::EffectKind> kinds;
    snd::SoundEffect* e = nullptr;
    for (uint32_t i = 0; buffer.GetObjectInPath(i, &e) == 0; ++i)
        kinds.push_back(e->kind());
    return kinds;
}

// The engine's ApplyEffects: the channel paused around the new chain.
void applyEffects(TcbDSMixerChannel& channel, TDSFXManager& fx, std::initializer_list<uint8_t> kinds)
{
    bool wasPlaying = channel.State() == TcbDSMixerChannel::csPlaying;
    channel.Pause();
    fx.Clear();
    for (uint8_t k : kinds)
        fx.AddEffect(k);
    fx.Apply();
    if (wasPlaying)
        channel.Play();
}

}  // namespace

TEST(TDSFXManager, ReadsEveryEffectsDefaultsAndLeavesTheBufferWithoutEffects)
{
    TempDir dir;
    ChannelRig rig;
    openStopped(rig, makePcm(dir, "a.wav", 44100, 2, 16, 1.0));
    TDSFXManager fx;
    EXPECT_EQ(fx.Parameters().Echo.fLeftDelay, 0.0f);  // nothing read yet
    fx.SetBuffer(rig.channel->Buffer());
    fx.LoadDefaults();

    const TDSFXParameters& p = fx.Parameters();
    using std::tuple;
    EXPECT_EQ(tuple(p.Echo.fWetDryMix, p.Echo.fFeedback, p.Echo.fLeftDelay, p.Echo.fRightDelay, p.Echo.lPanDelay),
              tuple(50.0f, 50.0f, 500.0f, 500.0f, 0));
    EXPECT_EQ(tuple(p.Chorus.fWetDryMix, p.Chorus.fDepth, p.Chorus.fFeedback, p.Chorus.fFrequency, p.Chorus.lWaveform,
                    p.Chorus.fDelay, p.Chorus.lPhase),
              tuple(50.0f, 10.0f, 25.0f, 1.1f, snd::kLfoWaveSine, 16.0f, snd::kLfoPhase90));
    EXPECT_EQ(tuple(p.Flanger.fWetDryMix, p.Flanger.fDepth, p.Flanger.fFeedback, p.Flanger.fFrequency,
                    p.Flanger.lWaveform, p.Flanger.fDelay, p.Flanger.lPhase),
              tuple(50.0f, 100.0f, -50.0f, 0.25f, snd::kLfoWaveSine, 2.0f, snd::kLfoPhaseZero));
    EXPECT_EQ(tuple(p.WavesReverb.fInGain, p.WavesReverb.fReverbMix, p.WavesReverb.fReverbTime,
                    p.WavesReverb.fHighFreqRTRatio),
              tuple(0.0f, 0.0f, 1000.0f, 0.001f));
    EXPECT_EQ(tuple(p.Compressor.fGain, p.Compressor.fAttack, p.Compressor.fRelease, p.Compressor.fThreshold,
                    p.Compressor.fRatio, p.Compressor.fPredelay),
              tuple(0.0f, 10.0f, 200.0f, -20.0f, 3.0f, 4.0f));
    EXPECT_EQ(tuple(p.Gargle.dwRateHz, p.Gargle.dwWaveShape), tuple(20u, snd::kGargleWaveTriangle));
    EXPECT_EQ(tuple(p.ParamEq.fCenter, p.ParamEq.fBandwidth, p.ParamEq.fGain), tuple(8000.0f, 12.0f, 0.0f));

    EXPECT_EQ(fx.Count(), 0);
    EXPECT_TRUE(chainOf(*rig.channel->Buffer()).empty());
}

TEST(TDSFXManager, TheChainKeepsTheOrderOfAddingAndHoldsEachKindOnce)
{
    TempDir dir;
    ChannelRig rig;
    openStopped(rig, makePcm(dir, "a.wav", 44100, 2, 16, 1.0));
    TDSFXManager fx;
    fx.SetBuffer(rig.channel->Buffer());
    fx.SetBuffer(nullptr);  // keeps the binding
    ASSERT_EQ(fx.Buffer(), rig.channel->Buffer());

    fx.Apply();  // nothing added: nothing happens
    EXPECT_TRUE(chainOf(*rig.channel->Buffer()).empty());

    for (uint8_t k : {fxEcho, fxWavesReverb, fxChorus, fxEcho, fxFlanger, uint8_t(7)})
        fx.AddEffect(k);
    ASSERT_EQ(fx.Count(), 4);
    fx.Apply();
    using K = snd::EffectKind;
    EXPECT_EQ(chainOf(*rig.channel->Buffer()), (std::vector<K>{K::Echo, K::WavesReverb, K::Chorus, K::Flanger}));
    snd::SoundEffect* first = nullptr;
    ASSERT_EQ(rig.channel->Buffer()->GetObjectInPath(0, &first), 0);
    EXPECT_EQ(fx.Effect(fxEcho), first);
    EXPECT_EQ(fx.Effect(fxGargle), nullptr);
    EXPECT_FALSE(fx.Added(fxGargle));

    // The order is that of the calls, not of the kind numbers.
    applyEffects(*rig.channel, fx, {fxFlanger, fxChorus});
    EXPECT_EQ(chainOf(*rig.channel->Buffer()), (std::vector<K>{K::Flanger, K::Chorus}));
    EXPECT_EQ(fx.Effect(fxEcho), nullptr);

    fx.Clear();
    EXPECT_EQ(fx.Count(), 0);
    EXPECT_TRUE(chainOf(*rig.channel->Buffer()).empty());
}

TEST(TDSFXManager, ANewChainIsRefusedWhileTheBufferPlays)
{
    TempDir dir;
    ChannelRig rig;
    openStopped(rig, makePcm(dir, "a.wav", 44100, 2, 16, 2.0));
    TDSFXManager fx;
    fx.SetBuffer(rig.channel->Buffer());
    rig.channel->Play();
    rig.run(200);
    fx.AddEffect(fxEcho);
    try {
        fx.Apply();
        ADD_FAILURE() << "Apply on a playing buffer succeeded";
    } catch (const EDirectXError& e) {
        EXPECT_EQ(e.ErrorCode, snd::result::kInvalidCall);
        EXPECT_EQ(std::string(e.what()), snd::soundResultText(snd::result::kInvalidCall));
    }
    EXPECT_TRUE(chainOf(*rig.channel->Buffer()).empty());

    applyEffects(*rig.channel, fx, {fxEcho});  // paused around it, as the engine does
    EXPECT_EQ(rig.channel->State(), TcbDSMixerChannel::csPlaying);
    EXPECT_EQ(chainOf(*rig.channel->Buffer()), std::vector<snd::EffectKind>{snd::EffectKind::Echo});
}

// Closing the file releases the buffer; the manager must neither keep it alive nor touch it.
TEST(TDSFXManager, AClosedBufferLeavesTheManagerUnboundAndSafe)
{
    TempDir dir;
    ChannelRig rig;
    std::string path = makePcm(dir, "a.wav", 44100, 2, 16, 1.0);
    openStopped(rig, path);
    auto fx = std::make_unique<TDSFXManager>();
    fx->SetBuffer(rig.channel->Buffer());
    applyEffects(*rig.channel, *fx, {fxEcho, fxChorus});
    std::weak_ptr<snd::SoundBuffer> old = rig.channel->Buffer();

    rig.channel->Open("");
    EXPECT_TRUE(old.expired());
    EXPECT_EQ(fx->Buffer(), nullptr);
    ASSERT_NE(fx->Effect(fxEcho), nullptr);  // still held by the manager
    EXPECT_EQ(fx->Effect(fxEcho)->kind(), snd::EffectKind::Echo);
    fx->Clear();
    EXPECT_EQ(fx->Count(), 0);
    EXPECT_EQ(fx->Effect(fxEcho), nullptr);
    fx->AddEffect(fxEcho);
    fx->Apply();  // unbound: nothing to do
    fx->LoadDefaults();  // unbound: nothing to do

    openStopped(rig, path);  // the next file binds again
    fx->SetBuffer(rig.channel->Buffer());
    applyEffects(*rig.channel, *fx, {fxWavesReverb});
    EXPECT_EQ(chainOf(*rig.channel->Buffer()), std::vector<snd::EffectKind>{snd::EffectKind::WavesReverb});
    rig.channel->Open("");
    fx.reset();  // destroying after the close is safe too
}

// A click at 3.8 s through the default echo: half of it at once, then repeats 500 ms apart,
// the first as loud as the direct sound and each next one half the one before (wet/dry 50,
// feedback 50). The repeats cross the seam of the
// channel's four-second ring.
TEST(TDSFXManager, EchoOnAPlayingFileRepeatsEveryHalfSecond)
{
    TempDir dir;
    const int click = 3 * 44100 + 44100 * 8 / 10;
    std::string path = makeWavWithPython(dir, "click.wav", 44100, 2, 16, 6,
                                         "16000 if i == " + std::to_string(click) + " else 0");
    for (bool echo : {false, true}) {
        SCOPED_TRACE(echo ? "echo" : "dry");
        ChannelRig rig;
        openStopped(rig, path);
        TDSFXManager fx;
        fx.SetBuffer(rig.channel->Buffer());
        fx.LoadDefaults();
        if (echo)
            applyEffects(*rig.channel, fx, {fxEcho});
        rig.channel->Play();
        rig.run(5500);
        auto out = rig.output();
        ASSERT_GT(out.size(), size_t(click + 3 * 22050 + 1) * 2);
        // The click and its repeats up to 5.5 s, frame and expected value.
        std::vector<std::pair<int, int>> sounds{{click, echo ? 8000 : 16000}};
        if (echo)
            for (int k = 1, v = 8000; k <= 3; ++k, v /= 2)
                sounds.emplace_back(click + k * 22050, v);
        double rest = 0;
        for (size_t i = 0; i < out.size() / 2; ++i) {
            auto s = std::find_if(sounds.begin(), sounds.end(), [&](auto& f) { return size_t(f.first) == i; });
            for (int c = 0; c < 2; ++c) {
                if (s != sounds.end())
                    EXPECT_NEAR(out[2 * i + size_t(c)], s->second, 1) << "frame " << i;
                else
                    rest += std::abs(out[2 * i + size_t(c)]);
            }
        }
        // Nothing else sounds.
        EXPECT_LT(rest, 100.0);
    }
}
