// The MIDI player on the system's General MIDI sound font, into the memory output: the
// sequencer's notes arrive in the file's order and the rendered sound is not silence.
#include "platform/midi/MidiPlayer.h"
#include "support/MidiFiles.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <fstream>

using namespace testsupport;

namespace {

// Waits (bounded) for the player to reach the end of its file.
bool playsToTheEnd(const midi::TMidiPlayer& Player)
{
    QElapsedTimer t;
    t.start();
    while (Player.Playing() && t.elapsed() < 20000)
        QThread::msleep(5);
    return !Player.Playing();
}

struct Rig {
    TempDir dir;
    midi::TMemoryMidiOutput* out = nullptr;
    std::unique_ptr<midi::TMidiPlayer> player;
    explicit Rig(const std::string& Font = midi::FindSoundFont(""))
    {
        auto o = std::make_unique<midi::TMemoryMidiOutput>();
        out = o.get();
        player = std::make_unique<midi::TMidiPlayer>(std::move(o), Font);
    }
};

}  // namespace

TEST(MidiPlayer, PlaysTheNotesInOrderAndRendersSound)
{
    Rig rig;
    ASSERT_FALSE(midi::FindSoundFont("").empty()) << "timgm6mb-soundfont is not installed";
    const std::string song = rig.dir.file("scale.mid");
    writeMidiMelody(song, {60, 64, 67, 72});
    ASSERT_TRUE(rig.player->Open(song)) << rig.player->LastError();
    EXPECT_FALSE(rig.out->IsOpen());  // the device opens when the playing starts
    ASSERT_TRUE(rig.player->Play()) << rig.player->LastError();
    EXPECT_TRUE(rig.out->IsOpen());
    ASSERT_TRUE(playsToTheEnd(*rig.player));

    std::vector<std::pair<int, bool>> heard;
    for (const auto& n : rig.out->Notes())
        heard.push_back({n.Key, n.Velocity > 0});
    const std::vector<std::pair<int, bool>> want = {{60, true}, {60, false}, {64, true}, {64, false},
                                                    {67, true}, {67, false}, {72, true}, {72, false}};
    EXPECT_EQ(heard, want);

    // Four eighth notes at 120 beats a minute: a second of sound that is not silence.
    const std::vector<int16_t> pcm = rig.out->Samples();
    EXPECT_GE(pcm.size(), std::size_t(midi::SampleRate) * midi::Channels * 9 / 10);
    int16_t peak = 0;
    double energy = 0;
    for (int16_t s : pcm) {
        peak = std::max<int16_t>(peak, int16_t(std::abs(int(s))));
        energy += double(s) * s;
    }
    EXPECT_GT(peak, 1000);
    EXPECT_GT(std::sqrt(energy / double(pcm.size())), 100.0);

    rig.player->Stop();
    EXPECT_FALSE(rig.out->IsOpen());
    EXPECT_EQ(rig.player->FileName(), "");
}

TEST(MidiPlayer, AnotherFileStopsTheFirstAndStopClosesTheDevice)
{
    Rig rig;
    const std::string longSong = rig.dir.file("long.mid"), other = rig.dir.file("other.MIDI");
    // Long enough (over a minute of music) that it still plays when the next file opens.
    writeMidiMelody(longSong, std::vector<int>(200, 60), 96 * 4);
    writeMidiMelody(other, {70});
    ASSERT_TRUE(rig.player->Open(longSong));
    ASSERT_TRUE(rig.player->Play());
    EXPECT_TRUE(rig.player->Playing());
    ASSERT_TRUE(rig.player->Open(other));
    EXPECT_FALSE(rig.player->Playing());
    EXPECT_FALSE(rig.out->IsOpen());
    EXPECT_EQ(rig.player->FileName(), other);
    ASSERT_TRUE(rig.player->Play());
    EXPECT_EQ(rig.out->OpenCount(), 2);
    ASSERT_TRUE(playsToTheEnd(*rig.player));
    EXPECT_EQ(rig.out->Notes().back().Key, 70);
}

TEST(MidiPlayer, PlaysThroughAnAlsaDeviceAndReleasesIt)
{
    // ALSA's "null" device takes the sound like a card, on any machine.
    TempDir dir;
    const std::string song = dir.file("short.mid");
    writeMidiMelody(song, {60, 62}, 24);
    midi::TMidiPlayer player(midi::CreateAlsaMidiOutput("null"), midi::FindSoundFont(""));
    ASSERT_TRUE(player.Open(song)) << player.LastError();
    ASSERT_TRUE(player.Play()) << player.LastError();
    EXPECT_TRUE(playsToTheEnd(player));
    player.Stop();
    // Opened again after closing: the device was given back.
    ASSERT_TRUE(player.Open(song));
    EXPECT_TRUE(player.Play()) << player.LastError();
    player.Stop();

    midi::TMidiPlayer nowhere(midi::CreateAlsaMidiOutput("no-such-device"), midi::FindSoundFont(""));
    ASSERT_TRUE(nowhere.Open(song));
    EXPECT_FALSE(nowhere.Play());
    EXPECT_NE(nowhere.LastError().find("no sound device"), std::string::npos) << nowhere.LastError();
}

TEST(MidiPlayer, RefusesWhatItCannotPlayWithoutRaising)
{
    Rig rig;
    const std::string text = rig.dir.file("notes.mid");
    std::ofstream(text) << "not a MIDI file";
    EXPECT_FALSE(rig.player->Open(text));
    EXPECT_NE(rig.player->LastError(), "");
    EXPECT_FALSE(rig.player->Play());
    EXPECT_FALSE(rig.player->Open(rig.dir.file("missing.mid")));

    // No sound font: nothing plays, and the device is never opened.
    Rig silent("");
    const std::string song = silent.dir.file("a.mid");
    writeMidiMelody(song, {60});
    EXPECT_FALSE(silent.player->Open(song));
    EXPECT_FALSE(silent.player->Play());
    EXPECT_EQ(silent.out->OpenCount(), 0);

    // A device that cannot be had: Play says so and nothing runs.
    struct NoDevice : midi::TMidiOutput {
        bool Open(std::string& Error) override
        {
            Error = "no sound device";
            return false;
        }
        void Close() override {}
        bool Write(const int16_t*, int) override { return false; }
    };
    midi::TMidiPlayer deaf(std::make_unique<NoDevice>(), midi::FindSoundFont(""));
    ASSERT_TRUE(deaf.Open(song));
    EXPECT_FALSE(deaf.Play());
    EXPECT_EQ(deaf.LastError(), "no sound device");
    EXPECT_FALSE(deaf.Playing());

    // A font named in the settings wins when it exists; a missing one falls back.
    const std::string own = rig.dir.file("own.sf2");
    std::ofstream(own) << "x";
    EXPECT_EQ(midi::FindSoundFont(own), own);
    EXPECT_EQ(midi::FindSoundFont(rig.dir.file("gone.sf2")), midi::FindSoundFont(""));
}
