// Events of the streaming channel that belong to a file it has closed since.
#include "support/AudioFixtures.h"
#include "tests/sound/ChannelRig.h"

#include <gtest/gtest.h>

using namespace sound;
using namespace testsupport;

TEST(TcbDSMixerChannel, DropsAnEndEventOfAFileClosedBeforeItArrived)
{
    TempDir dir;
    ChannelRig rig;
    int ends = 0;
    rig.channel->OnPlayEnd = [&ends](TcbDSMixerChannel*) { ++ends; };
    std::string a = makePcm(dir, "a.wav", 44100, 2, 16, 0.2);
    rig.channel->Open(a);
    rig.channel->Play();
    for (int i = 0; i < 30 && rig.channel->State() == TcbDSMixerChannel::csPlaying; ++i)
        rig.clock.advance(100);  // events stay queued
    ASSERT_EQ(rig.channel->State(), TcbDSMixerChannel::csStopped);
    rig.channel->Open(makePcm(dir, "b.wav", 44100, 2, 16, 1.0));
    QCoreApplication::processEvents();
    EXPECT_EQ(ends, 0);

    rig.channel->Play();
    rig.run(3000);
    EXPECT_EQ(ends, 1);  // the new file's own end still arrives
}
