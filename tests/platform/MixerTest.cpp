// The mixer layer: the scaling between an element's range and 0..65535, and a volume round
// trip on the machine's real mixer (skipped where there is none), put back as it was.
#include "platform/mixer/Mixer.h"

#include <gtest/gtest.h>

namespace {

using namespace mixer;

TEST(Mixer, LevelsMapAnElementsRangeLinearlyAndAnEmptyRangeReadsZero)
{
    struct Case {
        long min, max;
    };
    for (const Case c : {Case{0, 87}, Case{0, 31}, Case{-10239, 400}, Case{0, 65535}, Case{0, 1}}) {
        SCOPED_TRACE(std::to_string(c.min) + ".." + std::to_string(c.max));
        EXPECT_EQ(levelFromRaw(c.min, c.min, c.max), 0);
        EXPECT_EQ(levelFromRaw(c.max, c.min, c.max), kMaxVolume);
        EXPECT_EQ(levelFromRaw(c.max + 5, c.min, c.max), kMaxVolume) << "out of range is clamped";
        EXPECT_EQ(rawFromLevel(0, c.min, c.max), c.min);
        EXPECT_EQ(rawFromLevel(kMaxVolume, c.min, c.max), c.max);
        const double step = double(kMaxVolume) / double(c.max - c.min);
        for (int32_t level : {1, 20000, 32767, 65000}) {
            const long raw = rawFromLevel(level, c.min, c.max);
            EXPECT_LE(std::abs(levelFromRaw(raw, c.min, c.max) - level), step / 2 + 1) << level;
            EXPECT_EQ(rawFromLevel(levelFromRaw(raw, c.min, c.max), c.min, c.max), raw) << "a step is a fixed point";
        }
    }
    for (long max : {5L, 4L}) {
        EXPECT_EQ(levelFromRaw(5, 5, max), 0);
        EXPECT_EQ(rawFromLevel(40000, 5, max), 5);
    }
}

// A stereo playback line with a volume of the first device that has one.
bool findVolume(MixerDevice& m, uint32_t& control)
{
    const MixerCaps caps = m.caps();
    for (int d = 0; d < caps.destinations; ++d) {
        MixerLine line;
        if (m.line(d, -1, line) != 0)
            continue;
        for (int s = -1; s < line.connections; ++s) {
            MixerLine l;
            std::vector<MixerControl> controls;
            if (m.line(d, s, l) != 0 || m.controls(l.id, controls) != 0)
                continue;
            for (const MixerControl& c : controls)
                if (c.type == ControlType::Volume && !c.disabled) {
                    control = c.id;
                    return true;
                }
        }
    }
    return false;
}

TEST(Mixer, AlsaVolumeRoundTripWithinOneStepAndRestored)
{
    std::shared_ptr<MixerSystem> alsa = alsaMixerSystem();
    if (alsa->deviceCount() == 0)
        GTEST_SKIP() << "no ALSA mixer on this machine";
    std::unique_ptr<MixerDevice> m;
    ASSERT_EQ(alsa->open(0, m), 0);
    uint32_t control = 0;
    if (!findVolume(*m, control))
        GTEST_SKIP() << "the mixer has no volume";
    std::vector<int32_t> before;
    ASSERT_EQ(m->values(control, before), 0);
    ASSERT_FALSE(before.empty());

    auto roundTrip = [&](int32_t level) {
        EXPECT_EQ(m->setValues(control, std::vector<int32_t>(before.size(), level)), 0);
        std::vector<int32_t> now;
        EXPECT_EQ(m->values(control, now), 0);
        EXPECT_EQ(now.size(), before.size());
        return now.empty() ? -1 : now[0];
    };
    const int32_t low = roundTrip(16000), high = roundTrip(48000);
    EXPECT_LT(low, high);
    EXPECT_EQ(roundTrip(low), low) << "a value read back is one of the element's steps";
    EXPECT_EQ(m->setValues(control, before), 0);
    std::vector<int32_t> after;
    EXPECT_EQ(m->values(control, after), 0);
    EXPECT_EQ(after, before);
}

}  // namespace
