// TCDPlayer over cue/bin images written here, playing into a memory sound device on a
// manual clock; the settings file and the XDG folders point at scratch folders.
#include "cd/MCDPlayer.h"
#include "platform/sound/MemorySoundDevice.h"
#include "support/CdImages.h"
#include "util/libIni.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>

#include <cstdlib>
#include <filesystem>
#include <optional>

using namespace testsupport;

namespace {

// Each tone holds whole cycles, so the joins between tracks are continuous.
const std::vector<ImageTrack> kTones = {{true, 150, 440}, {true, 113, 675}, {true, 187, 900}};

class CDPlayerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedIniBase_ = IniBase;
        IniBase = dir.file("Tambourelle");
    }
    void TearDown() override { IniBase = savedIniBase_; }

    // A player whose drive list starts with `drive`, opened with its disc loaded.
    std::unique_ptr<TCDPlayer> player(const std::string& drive)
    {
        IniWriteString(IniBase, "CDPlayer", "CD_DRIVE", drive);
        auto p = std::make_unique<TCDPlayer>(clock);
        EXPECT_EQ(p->CurrentDrive, drive);
        p->SetSoundDevice(sound);
        p->OnNotify = [this](TCDPlayer*, TNotifyValues v) { notices.push_back(v); };
        p->AfterInsert = [this](TCDPlayer*, const std::string& d) { changes.push_back("+" + d); };
        p->AfterRemove = [this](TCDPlayer*, const std::string& d) { changes.push_back("-" + d); };
        p->Reopen();
        return p;
    }
    std::vector<TNotifyValues> take()
    {
        QCoreApplication::processEvents();
        return std::exchange(notices, {});
    }

    TempDir dir;
    snd::ManualClock clock;
    std::shared_ptr<snd::MemorySoundDevice> sound = snd::MemorySoundDevice::create(clock);
    std::vector<TNotifyValues> notices;
    std::vector<std::string> changes;

private:
    std::string savedIniBase_;
};

uint32_t tmsf(int track, int sec, int frame = 0) { return uint32_t(track) | uint32_t(sec) << 16 | uint32_t(frame) << 24; }

}  // namespace

TEST_F(CDPlayerTest, ReadsTheTocAndPlaysTheDiscThroughTheSoundDevice)
{
    const std::string cue = writeCdImage(dir, "tones", kTones);
    auto p = player(cue);
    ASSERT_NE(p->DeviceId(), 0u);
    EXPECT_EQ(p->GetTimeFormat(), 10u);
    EXPECT_TRUE(p->HasAudioDisc());
    EXPECT_EQ(p->Capabilities(), 4);  // plays; an image has no tray to eject
    struct Row {
        int startFrame, startMin, startSec, lenMin, lenSec;
        bool operator==(const Row&) const = default;
    };
    const std::vector<Row> rows = {{150, 0, 2, 0, 2}, {300, 0, 4, 0, 1}, {413, 0, 5, 0, 2}};
    ASSERT_EQ(p->TOC().size(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        TTOCEntry e;
        p->GetTrackInfo(int(i), e);
        EXPECT_EQ((Row{e.StartFrame, e.StartMinute, e.StartSecond, e.LengthMinute, e.LengthSecond}),
                  rows[i])
            << "track " << i + 1;
    }
    TTOCEntry outside;
    EXPECT_THROW(p->GetTrackInfo(3, outside), ECDPlayerError);
    EXPECT_THROW(p->GetTrackInfo(-1, outside), ECDPlayerError);
    EXPECT_EQ(p->GetLengthMs(), 8000);

    p->Play();
    clock.advance(2500);  // to address 337, half a second into track 2
    EXPECT_EQ(p->GetCurrentTrack(), 2);
    int m = 0, s = 0;
    p->GetTimeByMode(tfTrackElapsed, m, s);
    EXPECT_EQ(m * 60 + s, 0);
    p->GetTimeByMode(tfTotalRemain, m, s);
    EXPECT_EQ(m * 60 + s, 8 - 4);
    p->GetTimeByMode(tfTrackRemain, m, s);
    EXPECT_EQ(m * 60 + s, 1);
    EXPECT_EQ(p->GetTimeFormat(), 10u);  // every mode restores the device's format
    clock.advance(4000);
    const std::vector<uint8_t> bytes = sound->takeRecorded();
    const std::string played(bytes.begin(), bytes.end());
    const std::string disc = binSlice(cue, 150, 450);
    ASSERT_GE(played.size(), disc.size());
    EXPECT_TRUE(played.compare(0, disc.size(), disc) == 0);
    EXPECT_EQ(take(), std::vector{nvSuccessful});
    EXPECT_EQ(p->GetMode(), cdmStopped);
    EXPECT_EQ(p->GetPositionMs(), 8000);

    // What a listener hears: each track's tone in turn, no click at the joins.
    const QString out = QCoreApplication::applicationDirPath() + "/out/cd";
    QDir().mkpath(out);
    writeCdWav((out + "/played.wav").toStdString(), played.substr(0, disc.size()));

    // At the very end, AutoRewind plays from the start again.
    p->Play();
    EXPECT_EQ(p->GetMode(), cdmPlaying);
    EXPECT_EQ(p->GetCurrentTrack(), 1);
    p->Stop();
    EXPECT_EQ(take(), (std::vector{nvAborted, nvSuccessful}));
}

TEST_F(CDPlayerTest, NextPreviousAndPositionsInTracks)
{
    auto p = player(writeCdImage(dir, "tones", kTones));
    struct Case {
        const char* name;
        uint32_t from;
        bool next;
        uint32_t expected;
    };
    const std::vector<Case> cases = {
        {"previous in the first second of track 3", tmsf(3, 0, 40), false, tmsf(2, 0)},
        {"previous a second into track 3", tmsf(3, 1), false, tmsf(3, 0)},
        {"previous on track 1", tmsf(1, 1, 10), false, tmsf(1, 0)},
        {"previous at the start of track 1", tmsf(1, 0), false, tmsf(1, 0)},
        {"next from track 1", tmsf(1, 1), true, tmsf(2, 0)},
        {"next on the last track", tmsf(3, 1), true, tmsf(3, 0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        p->Seek(c.from);
        c.next ? p->Next() : p->Previous();
        EXPECT_EQ(p->GetPosition(), c.expected);
        EXPECT_EQ(p->GetMode(), cdmStopped);
    }
    EXPECT_EQ(take(), std::vector<TNotifyValues>(12, nvSuccessful));

    // While playing, Next plays on from the next track; the pending play is superseded.
    p->Seek(tmsf(1, 0));
    p->Play();
    clock.advance(400);
    p->Next();
    EXPECT_EQ(p->GetMode(), cdmPlaying);
    EXPECT_EQ(p->GetCurrentTrack(), 2);
    p->Pause();
    EXPECT_EQ(take(), (std::vector{nvSuccessful, nvSuperseded, nvAborted, nvSuccessful}));

    p->SetTrack(3);
    p->SetPositionInTrack(1500);
    // From the track's start in whole seconds (5 s; the track starts at 5.507 s).
    EXPECT_EQ(p->GetPosition(), tmsf(3, 0, 74));
    EXPECT_EQ(p->GetTrackElapsedMs(), 0);
    EXPECT_EQ(p->GetCurrentTrackLengthMs(), 2000);

    // A report queued for a device that is closed meanwhile never arrives.
    take();
    p->Stop();
    p->Close();
    EXPECT_TRUE(take().empty());
    EXPECT_EQ(p->GetMode(), 0);  // no device: status reads 0, commands do nothing
    p->Play();

    // A handler may close the device whose report it is handling.
    p->Reopen();
    p->OnNotify = [&](TCDPlayer* Sender, TNotifyValues) { Sender->Close(); };
    p->Stop();
    take();
    EXPECT_EQ(p->DeviceId(), 0u);
}

TEST_F(CDPlayerTest, DiscChangesFollowTheWatcher)
{
    const std::string a = writeCdImage(dir, "a", kTones);
    const std::string b = dir.file("b.cue");
    auto p = player(a);
    p->Watcher().setDrives({a, b});
    auto poll = [&] {
        p->Watcher().poll();
        QCoreApplication::processEvents();
        return std::exchange(changes, {});
    };
    using V = std::vector<std::string>;
    p->Eject();
    EXPECT_EQ(p->GetMode(), cdmOpen);
    EXPECT_EQ(poll(), V{"-" + a});
    EXPECT_TRUE(p->TOC().empty());
    EXPECT_EQ(p->GetGenre(), "");
    p->CloseDoor();
    EXPECT_EQ(poll(), V{"+" + a});
    EXPECT_EQ(p->TOC().size(), 3u);  // reloaded: the arrival was on CurrentDrive

    // Another drive's disc only fires the event with its path; the player's disc stays.
    writeCdImage(dir, "b", {{true, 75, 330}});
    EXPECT_EQ(poll(), V{"+" + b});
    EXPECT_EQ(p->TOC().size(), 3u);
    // A removal anywhere clears the disc texts and the TOC.
    std::filesystem::remove(b);
    EXPECT_EQ(poll(), V{"-" + b});
    EXPECT_TRUE(p->TOC().empty());
}

TEST_F(CDPlayerTest, AudioDiscTestAndMediaIdentity)
{
    struct Case {
        const char* name;
        std::vector<ImageTrack> tracks;
        std::string currentDrive;  // empty: the image itself
        bool audio;
    };
    const std::vector<Case> cases = {
        {"one audio track", {{true, 75, 440}}, "", true},
        {"one data track", {{false, 30, 0}}, "", false},
        {"unknown drive, two tracks", {{false, 30, 0}, {true, 75, 440}}, "/nonexistent/drive", true},
        {"unknown drive, one track", {{false, 30, 0}}, "/nonexistent/drive", false},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string cue = writeCdImage(dir, "disc" + std::to_string(n++), c.tracks);
        auto p = player(cue);
        if (!c.currentDrive.empty())
            p->CurrentDrive = c.currentDrive;
        EXPECT_EQ(p->IsAudioDisc(p->CurrentDrive), c.audio);
    }
    // 27 one-second tracks: the checksum byte is 153, so the id is above 2^31 and must not
    // read as 0. One of them is audio: a sheet of data tracks alone is no disc to play.
    std::vector<ImageTrack> tracks(27, {false, 75, 0});
    tracks[0] = {true, 75, 440};
    const std::string big = writeCdImage(dir, "big", tracks);
    auto p = player(big);
    EXPECT_EQ(p->GetMediaIdentity(), (153u << 24) | (27u << 8) | 27u);
    std::filesystem::remove(dir.file("big.bin"));
}

TEST_F(CDPlayerTest, AutoPlayHandlerInMimeAppsList)
{
    ScopedEnv config("XDG_CONFIG_HOME", dir.file("config"));
    ScopedEnv data("XDG_DATA_HOME", dir.file("data"));
    ScopedEnv dataDirs("XDG_DATA_DIRS", dir.file("system"));
    QDir().mkpath(QString::fromStdString(dir.file("config")));
    QDir().mkpath(QString::fromStdString(dir.file("system/applications")));
    writeFile(dir.file("system/applications/other.desktop"), "[Desktop Entry]\nName=Other\nExec=other-player %U\n");
    const std::string mimeApps = dir.file("config/mimeapps.list");
    const std::string original = "# mine\r\n[Added Associations]\r\nx-content/audio-cdda=other.desktop;\r\n\r\n"
                                 "[Default Applications]\r\ntext/plain=editor.desktop\r\n\r\n[Removed Associations]\r\n";
    writeFile(mimeApps, original);

    IniWriteString(IniBase, "CDPlayer", "CD_DRIVE", "");
    TCDPlayer p(clock);
    EXPECT_FALSE(p.AutoRun());
    p.SetAutoRun(true);
    EXPECT_TRUE(p.AutoRun());
    EXPECT_EQ(readFile(mimeApps), "# mine\r\n[Added Associations]\r\nx-content/audio-cdda=other.desktop;\r\n\r\n"
                                  "[Default Applications]\r\ntext/plain=editor.desktop\r\n"
                                  "x-content/audio-cdda=tambourelle-audiocd.desktop\n\r\n[Removed Associations]\r\n");
    EXPECT_EQ(p.DefaultPlayer(), "");  // our entry has no command yet
    p.SetDefaultPlayer("/opt/tambourelle --cd %U");
    EXPECT_EQ(p.DefaultPlayer(), "/opt/tambourelle --cd %U");
    p.SetDefaultPlayer("tambourelle");
    EXPECT_EQ(p.DefaultPlayer(), "tambourelle");
    p.SetAutoRun(false);
    EXPECT_FALSE(p.AutoRun());
    EXPECT_EQ(readFile(mimeApps), original);

    // Another program's handler: its command is the default player.
    writeFile(mimeApps, "[Default Applications]\nx-content/audio-cdda=other.desktop\n");
    EXPECT_TRUE(p.AutoRun());
    EXPECT_EQ(p.DefaultPlayer(), "other-player %U");
    // No mimeapps.list at all: switching on writes one.
    std::filesystem::remove(mimeApps);
    p.SetAutoRun(true);
    EXPECT_EQ(readFile(mimeApps), "[Default Applications]\nx-content/audio-cdda=tambourelle-audiocd.desktop\n");
}

// Without the drive the settings name (and no other), opening tells so in the CD windows'
// language and names the drive that was looked for.
TEST_F(CDPlayerTest, AMissingDriveIsToldInJapaneseWithItsName)
{
    IniWriteString(IniBase, "CDPlayer", "CD_DRIVE", "/nonexistent/sr9");
    TCDPlayer p(clock);
    ASSERT_EQ(p.DriveList().front(), "/nonexistent/sr9");
    try {
        p.Reopen();
        FAIL() << "opened a drive that does not exist";
    } catch (const EMCIDeviceError& e) {
        EXPECT_EQ(e.Code, cdaudio::error::kNoDrive);
        EXPECT_EQ(std::string(e.what()), "CD ドライブまたはディスク イメージが見つかりません。\r\r/nonexistent/sr9");
    }
    EXPECT_EQ(p.GetMode(), 0);
}
