// The playback engine driven as the main window drives it, on the memory sound device with
// files made by sox, lame and python: what sounds, and what it writes into the main window.
#include "pictures/libImg.h"
#include "platform/rtl/Numerics.h"
#include "support/AudioFixtures.h"
#include "tags/libID3Tag.h"
#include "tests/sound/EngineRig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <set>

using namespace sound;
using namespace testsupport;

namespace {

std::vector<snd::EffectKind> chainOf(TDxSound& engine)
{
    std::vector<snd::EffectKind> kinds;
    auto buffer = engine.Channel().Buffer();
    snd::SoundEffect* e = nullptr;
    for (uint32_t i = 0; buffer && buffer->GetObjectInPath(i, &e) == 0; ++i)
        kinds.push_back(e->kind());
    return kinds;
}

bool anySound(const std::vector<int16_t>& samples)
{
    return std::any_of(samples.begin(), samples.end(), [](int16_t s) { return s != 0; });
}

std::vector<int16_t> played(EngineRig& rig)
{
    auto bytes = rig.device->takeRecorded();
    std::vector<int16_t> s(bytes.size() / 2);
    std::memcpy(s.data(), bytes.data(), s.size() * 2);
    return s;
}

rtl::TStringList listOf(std::initializer_list<std::string> paths)
{
    rtl::TStringList list;
    for (auto& p : paths)
        list.Add(p);
    return list;
}

}  // namespace

TEST(TDxSound, OpensWithoutSoundThenPlaysPausesResumesAndStops)
{
    TempDir dir;
    EngineRig rig;
    // Linux names are case-sensitive: the name is used as given, only the extension test
    // ignores case.
    std::string path = makePcm(dir, "Song.WAV", 22050, 2, 16, 3.0);
    rig.engine.PlayFile(path);
    EXPECT_EQ(rig.engine.FileNamme(), path);
    EXPECT_EQ(rig.engine.Channel().FileName(), path);
    EXPECT_EQ(rig.engine.PlayStatus(), "stop");
    EXPECT_EQ(rig.display.value("trackFrequency.Tag"), "22050");
    EXPECT_EQ(rig.display.value("trackFrequency.Max"), "44100");
    EXPECT_EQ(rig.display.value("trackFrequency.Position"), "22050");
    EXPECT_EQ(rig.display.value("trackFrequency.Enabled"), "true");
    ASSERT_NE(rig.engine.Analysis(), nullptr);
    EXPECT_EQ(rig.engine.Analysis()->Columns(), 64);
    rig.run(500);
    EXPECT_FALSE(anySound(played(rig)));

    rig.visualLog.clear();
    rig.engine.Play();
    EXPECT_EQ(rig.engine.PlayStatus(), "play");
    EXPECT_EQ(rig.display.value("lblPlay.Caption"), "[ Playing ]");
    EXPECT_EQ(rig.display.value("lblPlay.Font.Color"), "0000FF");
    EXPECT_EQ(rig.display.value("timDxTimer.Interval"), "63");
    EXPECT_EQ(rig.display.value("timPlay.Enabled"), "true");
    EXPECT_EQ(rig.display.value("lblDuration.Tag"), "1");
    rig.run(500);
    EXPECT_TRUE(anySound(played(rig)));

    rig.engine.Pause();
    EXPECT_EQ(rig.engine.PlayStatus(), "pause");
    EXPECT_EQ(rig.display.value("lblPlay.Caption"), "[ Paused ]");
    EXPECT_EQ(rig.display.value("timDxTimer.Interval"), "1000");
    EXPECT_EQ(rig.engine.Channel().State(), TcbDSMixerChannel::csPaused);
    rig.run(300);
    EXPECT_FALSE(anySound(played(rig)));

    rig.engine.Play();  // resumes: no fresh start for the visualiser
    rig.engine.Stop();
    EXPECT_EQ(rig.engine.PlayStatus(), "stop");
    EXPECT_EQ(rig.engine.Channel().State(), TcbDSMixerChannel::csStopped);
    EXPECT_EQ(rig.display.value("lblPlay.Caption"), "Play List :");
    EXPECT_EQ(rig.display.value("lblPlay.Font.Color"), "FF0000");
    EXPECT_EQ(rig.display.value("lblDuration.Tag"), "0");
    EXPECT_EQ(rig.visualLog, (std::vector<std::string>{"FreshStart=1", "FreshStart=0", "FreshStart=0",
                                                       "PaintLeft", "PaintRight"}));
    auto& log = rig.display.log;
    auto first = std::find(log.begin(), log.end(), "Canvas.FillRect=0,0,320,120");
    ASSERT_NE(first, log.end());
    EXPECT_EQ(*(first + 1), "Canvas.FillRect=0,0,300,100");

    rig.engine.CloseFile();
    EXPECT_EQ(rig.engine.FileNamme(), "");
    EXPECT_EQ(rig.engine.Analysis(), nullptr);
    EXPECT_EQ(rig.display.value("lblMusic.Caption"), "");
    rig.engine.Play();  // nothing open: nothing happens
    EXPECT_EQ(rig.engine.PlayStatus(), "stop");
}

TEST(TDxSound, IgnoresOtherExtensionsAndStaysSilentOnUndecodableFiles)
{
    TempDir dir;
    EngineRig rig;
    std::string good = makePcm(dir, "a.wav", 44100, 2, 16, 1.0);
    writeFile(dir.file("a.ogg"), "whatever");
    writeFile(dir.file("junk.mp3"), std::string(4000, '\x55'));

    rig.engine.PlayFile(good);
    rig.engine.PlayFile(dir.file("a.ogg"));
    EXPECT_EQ(rig.engine.FileNamme(), good);  // ignored: the open file stays

    rig.engine.PlayFile(dir.file("junk.mp3"));
    EXPECT_EQ(rig.engine.PlayStatus(), "stop");
    EXPECT_EQ(rig.engine.FileNamme(), "");
    rig.engine.Play();
    rig.run(500);
    EXPECT_FALSE(anySound(played(rig)));

    // Effects switched without an open file only remember the switch.
    EXPECT_NO_THROW(rig.engine.SetEcho(true));
    EXPECT_TRUE(rig.engine.Echo());

    // A missing file outside list play ends the track.
    rig.engine.PlayFile(good);
    rig.engine.PlayFile(dir.file("gone.wav"));
    EXPECT_EQ(rig.display.value("Gauge1.Position"), "100");
    EXPECT_EQ(rig.engine.PlayStatus(), "stop");
    rig.engine.Play();
    rig.run(500);
    EXPECT_FALSE(anySound(played(rig)));
}

TEST(TDxSound, SeeksByFractionAndShowsMinutesAndSeconds)
{
    TempDir dir;
    EngineRig rig;
    EXPECT_EQ(rig.engine.Seek(1, 2), 0);  // nothing open
    std::string path = makePcm(dir, "long.wav", 8000, 1, 8, 62.0);
    rig.engine.PlayFile(path);
    rig.engine.Play();
    rig.visualLog.clear();
    EXPECT_EQ(rig.engine.Seek(1, 2), 50);
    EXPECT_EQ(rig.engine.PlayStatus(), "play");
    EXPECT_EQ(rig.visualLog, std::vector<std::string>{"FreshStart=0"});
    EXPECT_EQ(rig.engine.Seek(1, 0), 0);  // no fraction: left alone
    rig.run(300);
    rig.engine.UpdatePlayPosition();
    EXPECT_EQ(rig.display.value("lblDuration.Caption"), "00:31 / 01:02");
    EXPECT_EQ(rig.display.value("Gauge1.Position"), "50");

    EXPECT_EQ(rig.engine.Seek(-3, 4), 0);  // before the start: the start
    rig.run(1200);
    rig.engine.UpdatePlayPosition();
    EXPECT_EQ(rig.display.value("lblDuration.Caption"), "00:01 / 01:02");
}

TEST(TDxSound, WritesLevelsGaugeAndTimesOnEveryDisplayTickWhilePlaying)
{
    TempDir dir;
    EngineRig rig;
    std::string loud = makeWavWithPython(dir, "loud.wav", 44100, 2, 16, 2.0, "20000 if (i // 50) % 2 else -20000");
    rig.engine.PlayFile(loud);
    rig.engine.UpdatePlayPosition();  // not playing: nothing written
    EXPECT_EQ(rig.display.count("lblDuration.Caption"), 0);
    rig.engine.Play();
    const int gaugeBefore = rig.display.count("Gauge1.Position");
    const int barsBefore = rig.display.count("barLeft.Position");
    for (int tick = 0; tick < 3; ++tick) {
        rig.run(200);
        rig.engine.UpdatePlayPosition();
    }
    EXPECT_EQ(rig.display.count("Gauge1.Position"), gaugeBefore + 3);
    EXPECT_EQ(rig.display.count("barLeft.Position"), barsBefore + 3);
    EXPECT_EQ(rig.display.count("lblDuration.Caption"), 3);
    EXPECT_GT(rig.display.intValue("barLeft.Position"), 50);
    EXPECT_GT(rig.display.intValue("barRight.Position"), 50);
    EXPECT_GE(rig.display.intValue("Gauge1.Position"), 20);
    EXPECT_LE(rig.display.intValue("Gauge1.Position"), 40);
    EXPECT_TRUE(std::regex_match(rig.display.value("lblDuration.Caption"), std::regex(R"(00:0[01] / 00:02)")));
}

TEST(TDxSound, ListPlayMovesOnAndWrapsOnlyWithRepeat)
{
    TempDir dir;
    std::vector<std::string> files;
    for (const char* n : {"a.wav", "b.wav", "c.wav"})
        files.push_back(makePcm(dir, n, 44100, 2, 16, 0.3));
    for (bool repeat : {false, true}) {
        SCOPED_TRACE(repeat);
        EngineRig rig;
        rig.display.repeat = repeat;
        rig.display.favoriteCaption = "fav";
        rig.engine.PlayList(listOf({files[0], files[1], files[2]}));
        EXPECT_TRUE(rig.engine.ListPlay());
        EXPECT_EQ(rig.engine.FileNamme(), files[0]);
        EXPECT_EQ(rig.display.value("timList.Enabled"), "true");
        EXPECT_EQ(rig.display.value("lblFavorite.Font.Color"), "0000FF");
        for (int32_t position : {0, 1}) {
            rig.runUntilMoved(position);
            EXPECT_EQ(rig.engine.ListPosition(), position + 1);
            EXPECT_EQ(rig.engine.FileNamme(), files[size_t(position + 1)]);
            EXPECT_EQ(rig.display.value("lstFile.SelectOnly"), std::to_string(position + 1));
            EXPECT_EQ(rig.display.value("ShowTrackTitle"), std::to_string(position + 1));
            EXPECT_TRUE(rig.engine.IsPlaying());
        }
        rig.runUntilMoved(2);
        if (repeat) {
            EXPECT_EQ(rig.engine.ListPosition(), 0);
            EXPECT_EQ(rig.engine.FileNamme(), files[0]);
            EXPECT_TRUE(rig.engine.IsPlaying());
        } else {
            EXPECT_EQ(rig.engine.PlayStatus(), "stop");
            EXPECT_TRUE(rig.engine.ListPlay());
            EXPECT_EQ(rig.engine.ListPosition(), 3);
            EXPECT_EQ(rig.display.value("lblFavorite.Font.Color"), "000000");
        }
        rig.engine.Stop();
        EXPECT_FALSE(rig.engine.ListPlay());
        EXPECT_EQ(rig.engine.ListPosition(), 0);
    }
}

TEST(TDxSound, ListPlaySkipsMissingAndUndecodableEntriesAndStopsAfterOneFailedRound)
{
    TempDir dir;
    std::string good = makePcm(dir, "b.wav", 44100, 2, 16, 0.3);
    writeFile(dir.file("junk.mp3"), std::string(3000, '\x33'));
    {
        EngineRig rig;
        rig.display.repeat = true;
        rig.engine.PlayList(listOf({dir.file("gone.wav"), dir.file("junk.mp3"), good}));
        EXPECT_EQ(rig.engine.ListPosition(), 2);
        EXPECT_EQ(rig.engine.FileNamme(), good);
        EXPECT_TRUE(rig.engine.IsPlaying());
    }
    {
        EngineRig rig;
        rig.display.repeat = true;
        rig.engine.PlayList(listOf({dir.file("x.wav"), dir.file("junk.mp3"), dir.file("y.mp3")}));
        EXPECT_EQ(rig.engine.PlayStatus(), "stop");
        EXPECT_EQ(rig.display.count("ShowTrackTitle"), 2);  // entries 1 and 2, once each
        rig.run(500);
        EXPECT_FALSE(anySound(played(rig)));
    }
}

TEST(TDxSound, AppliesTheEffectsInTheirFixedOrderWhateverOrderTheyAreSwitched)
{
    TempDir dir;
    EngineRig rig;
    rig.engine.SetFlanger(true);
    rig.engine.SetReverb(true);
    rig.engine.PlayFile(makePcm(dir, "a.wav", 44100, 2, 16, 2.0));
    rig.engine.SetChorus(true);
    rig.engine.Play();
    EXPECT_EQ(chainOf(rig.engine), (std::vector<snd::EffectKind>{snd::EffectKind::WavesReverb,
                                                                 snd::EffectKind::Chorus,
                                                                 snd::EffectKind::Flanger}));
    rig.engine.SetEcho(true);  // while playing: paused around the new chain, then on
    EXPECT_EQ(chainOf(rig.engine), (std::vector<snd::EffectKind>{snd::EffectKind::Echo, snd::EffectKind::WavesReverb,
                                                                 snd::EffectKind::Chorus, snd::EffectKind::Flanger}));
    EXPECT_EQ(rig.engine.Channel().State(), TcbDSMixerChannel::csPlaying);
    rig.engine.SetReverb(false);
    rig.engine.SetChorus(false);
    EXPECT_EQ(chainOf(rig.engine), (std::vector<snd::EffectKind>{snd::EffectKind::Echo, snd::EffectKind::Flanger}));
}

TEST(TDxSound, RandomVisualAvoidsTheCurrentModeAndSurfaceModesWithoutSurfaceDrawing)
{
    EngineRig rig;
    rig.engine.SetEffect(7);
    rig.engine.PickRandomVisual();
    EXPECT_EQ(rig.engine.Effect(), 7);  // not asked for

    rig.display.randomVisual = true;
    const std::set<int> surface(std::begin(TDxSound::kSurfaceModes), std::end(TDxSound::kSurfaceModes));
    rtl::RandSeed = 12345;
    uint32_t seed = 12345;  // the generator, stepped here independently
    auto draw = [&seed](uint32_t n) {
        seed = seed * 134775813u + 1u;
        return int(uint64_t(n) * seed >> 32);
    };
    std::set<int> seen;
    for (int i = 0; i < 300; ++i) {
        int before = rig.engine.Effect(), expected;
        do
            expected = draw(30);
        while (expected == before || surface.count(expected));
        rig.engine.PickRandomVisual();
        ASSERT_EQ(rig.engine.Effect(), expected);
        seen.insert(expected);
    }
    EXPECT_EQ(seen.size(), 30u - 9u);  // 0..29 without the nine surface modes below 30

    rig.display.surfaces = true;
    std::set<int> withSurfaces;
    for (int i = 0; i < 300; ++i) {
        int before = rig.engine.Effect();
        rig.engine.PickRandomVisual();
        EXPECT_NE(rig.engine.Effect(), before);
        withSurfaces.insert(rig.engine.Effect());
    }
    EXPECT_EQ(withSurfaces.size(), 30u);
}

TEST(TDxSound, LoadsTheTagsPhotoAndLyricsAndTakesADamagedOrStrayPhotoForNone)
{
    TempDir dir;
    EngineRig rig;
    rig.display.mp3Path = dir.path();
    auto r = runCommand("convert", {"-size", "90x45", "xc:orange", dir.file("p.jpg")});
    ASSERT_EQ(r.exitCode, 0) << r.err;

    rig.engine.PlayFile(taggedMp3(dir, "with.mp3", "p.jpg", "la la\nla"));
    EXPECT_EQ(rig.engine.PhotoIndex(), 0);
    EXPECT_TRUE(rig.engine.LyricsAvailable());
    EXPECT_EQ(rig.engine.LyricsTxt().Count(), 2);
    EXPECT_EQ(rig.engine.LyricsImg().Picture().Width(), 90);
    EXPECT_EQ(rig.engine.WorkBitmap().Width(), 28);  // 14/45 of the photo
    EXPECT_EQ(rig.engine.WorkBitmap().Height(), 14);
    EXPECT_EQ(rig.engine.FileNamme(), dir.file("with.mp3"));

    writeFile(dir.file("bad.jpg"), "no picture here");
    rig.engine.PlayFile(taggedMp3(dir, "bad.mp3", "bad.jpg", ""));
    EXPECT_EQ(rig.engine.PhotoIndex(), -1);
    EXPECT_FALSE(rig.engine.LyricsAvailable());
    EXPECT_EQ(rig.engine.FileNamme(), dir.file("bad.mp3"));  // the music still opens

    // Names that reach outside the music folder are not followed, even to a real picture.
    TempDir inner;
    rig.display.mp3Path = inner.path();
    std::string up = "../" + dir.path().substr(dir.path().rfind('/') + 1) + "/p.jpg";
    for (const std::string& name : {up, dir.file("p.jpg"), std::string("missing.jpg")}) {
        SCOPED_TRACE(name);
        rig.engine.PlayFile(taggedMp3(dir, "stray.mp3", name, "words"));
        EXPECT_EQ(rig.engine.PhotoIndex(), -1);
        EXPECT_TRUE(rig.engine.LyricsAvailable());  // the lyrics alone
    }
}

TEST(TDxSound, DisplayResetLightsParkAndPicksTheMeterPanelForModeThirty)
{
    EngineRig rig;
    auto& d = rig.display;
    EXPECT_EQ(d.value("pnlOsillo1.Color"), "000000");
    EXPECT_EQ(d.value("lblM0P.Font.Color"), "00FF00");
    EXPECT_EQ(d.value("lblM01.Font.Color"), "808080");
    EXPECT_EQ(d.value("LED3.Status"), "false");
    EXPECT_EQ(d.value("msgOstrel.ShowStrings"), "______x______");
    EXPECT_EQ(d.value("mtrBalanse.Value"), "50");
    EXPECT_EQ(d.value("dbrMeter.Process"), "4");
    EXPECT_EQ(d.value("lcdMeter.Value"), "0");
    rig.engine.SetShiftLamp(1);
    EXPECT_EQ(d.value("lblM0R.Font.Color"), "0000FF");
    EXPECT_EQ(d.value("lblM0P.Font.Color"), "808080");
    rig.engine.SetShiftLamp(2);
    EXPECT_EQ(d.value("lblM0N.Font.Color"), "FFFFFF");
    EXPECT_EQ(d.value("lblM0P.Tag"), "2");

    rig.engine.SetEffect(30);
    rig.engine.UpdateLyricsAndMeter(false);
    EXPECT_EQ(d.value("pnlMeter.Visible"), "true");
    EXPECT_EQ(d.value("lblLeft.Top"), "-14");
    EXPECT_EQ(d.log.back(), "pnlMeter.Left=0");
    EXPECT_EQ(d.value("msgOstrel.Start"), "1");
    d.effectOverlay = true;
    rig.engine.UpdateLyricsAndMeter(false);
    EXPECT_EQ(d.value("pnlMeter.Visible"), "false");
    EXPECT_EQ(d.value("lblLeft.Top"), "6");
}

TEST(TDxSound, VisualiserResourcesFollowItsAttachment)
{
    std::vector<std::string> log;
    {
        EngineRig rig;
        rig.engine.SetVisual(std::make_unique<RecordingVisual>(log));
        EXPECT_EQ(rig.visualLog, (std::vector<std::string>{"Create", "ResetFirstPaintFlags", "Free"}));
        EXPECT_EQ(log, (std::vector<std::string>{"Create", "ResetFirstPaintFlags"}));
    }
    EXPECT_EQ(log.back(), "Free");
}

TEST(TDxSound, AnEndThatArrivesAfterThePauseButtonDoesNotStartTheNextEntry)
{
    TempDir dir;
    EngineRig rig;
    std::string a = makePcm(dir, "a.wav", 44100, 2, 16, 0.2), b = makePcm(dir, "b.wav", 44100, 2, 16, 1.0);
    rig.engine.PlayList(listOf({a, b}));
    for (int i = 0; i < 30 && rig.engine.Channel().State() == TcbDSMixerChannel::csPlaying; ++i)
        rig.clock.advance(100);  // the end is posted, not yet delivered
    rig.engine.Pause();
    QCoreApplication::processEvents();
    EXPECT_EQ(rig.engine.PlayStatus(), "pause");
    EXPECT_EQ(rig.engine.ListPosition(), 0);
    EXPECT_EQ(rig.engine.FileNamme(), a);
}
