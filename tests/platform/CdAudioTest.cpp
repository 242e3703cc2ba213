// The audio-CD device on images written here, played into a memory sound device on a
// manual clock: addresses against cd-info's reading of the same cue, what was heard
// against the .bin's bytes, notifications, the simulated tray and the disc watcher.
#include "platform/cdaudio/CdAudioDevice.h"
#include "platform/cdaudio/DiscWatcher.h"
#include "platform/sound/MemorySoundDevice.h"
#include "support/CdImages.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <filesystem>

using namespace testsupport;
using cdaudio::Status;

namespace {

struct Rig {
    snd::ManualClock clock;
    std::shared_ptr<snd::MemorySoundDevice> sound = snd::MemorySoundDevice::create(clock);
    std::vector<cdaudio::Notify> notices;
    cdaudio::NotifyFn record = [this](cdaudio::Notify n) { notices.push_back(n); };

    std::unique_ptr<cdaudio::CdAudioDevice> open(const std::string& drive)
    {
        int error = -1;
        auto device = cdaudio::CdAudioDevice::open(drive, sound, clock, error);
        EXPECT_EQ(error, cdaudio::error::kOk) << drive;
        return device;
    }
    std::vector<cdaudio::Notify> take()
    {
        QCoreApplication::processEvents();
        return std::exchange(notices, {});
    }
    std::string heard()
    {
        const std::vector<uint8_t> bytes = sound->takeRecorded();
        return std::string(bytes.begin(), bytes.end());
    }
};

uint32_t get(cdaudio::CdAudioDevice& d, Status item, uint32_t track = 0)
{
    uint32_t v = 0;
    EXPECT_EQ(d.status(item, v, track), cdaudio::error::kOk);
    return v;
}

// `played` begins with `expected` and holds only silence after it.
void expectPlayed(const std::string& played, const std::string& expected)
{
    ASSERT_GE(played.size(), expected.size());
    EXPECT_TRUE(played.compare(0, expected.size(), expected) == 0) << "first difference at byte "
        << std::distance(expected.begin(), std::mismatch(expected.begin(), expected.end(), played.begin()).first);
    EXPECT_EQ(played.find_first_not_of('\0', expected.size()), std::string::npos);
}

const std::vector<ImageTrack> kThreeTones = {{true, 150, 440}, {true, 113, 660}, {true, 187, 880}};

}  // namespace

TEST(CdAudio, TableOfContentsInEveryTimeFormatMatchesCdInfo)
{
    TempDir dir;
    struct Case {
        const char* name;
        std::vector<ImageTrack> tracks;
    };
    // Track lengths in frames are odd on purpose; "short" ends one frame before a whole second.
    const std::vector<Case> cases = {
        {"tones", kThreeTones},
        {"short", {{true, 150, 440}, {true, 149, 660}}},
        {"mixed", {{false, 40, 0}, {true, 90, 550}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string cue = writeCdImage(dir, c.name, c.tracks);
        std::vector<uint32_t> expected = {150};
        for (const ImageTrack& t : c.tracks)
            expected.push_back(expected.back() + t.sectors);
        if (haveProgram("cd-info")) {
            EXPECT_EQ(cdInfoAddresses(cue), expected);
        }
        Rig rig;
        auto d = rig.open(cue);
        ASSERT_TRUE(d);
        const uint32_t n = uint32_t(c.tracks.size()), leadout = expected.back();
        EXPECT_EQ(get(*d, Status::NumberOfTracks), n);
        EXPECT_EQ(get(*d, Status::TimeFormat), cdaudio::kMsf);
        for (uint32_t t = 1; t <= n; ++t) {
            const uint32_t start = expected[t - 1];
            const uint32_t length = expected[t] - start - (t == n ? 1 : 0);
            ASSERT_EQ(d->setTimeFormat(cdaudio::kMsf), 0);
            EXPECT_EQ(get(*d, Status::Position, t), cdaudio::packMsf(start));
            EXPECT_EQ(get(*d, Status::Length, t), cdaudio::packMsf(length));
            ASSERT_EQ(d->setTimeFormat(cdaudio::kTmsf), 0);
            EXPECT_EQ(get(*d, Status::Position, t), t);
            EXPECT_EQ(get(*d, Status::Length, t), cdaudio::packMsf(length));
            ASSERT_EQ(d->setTimeFormat(cdaudio::kMilliseconds), 0);
            EXPECT_EQ(get(*d, Status::Position, t), start * 1000 / 75);
            EXPECT_EQ(get(*d, Status::Length, t), length * 1000 / 75);
        }
        // The last track's start + length + 1 frame lands on the lead-out, the disc's length.
        EXPECT_EQ(get(*d, Status::Length), leadout * 1000 / 75);
        ASSERT_EQ(d->setTimeFormat(cdaudio::kMsf), 0);
        EXPECT_EQ(get(*d, Status::Length), cdaudio::packMsf(leadout));
        EXPECT_EQ(get(*d, Status::Position), cdaudio::packMsf(150));
        uint32_t v = 0;
        EXPECT_EQ(d->status(Status::Position, v, n + 1), cdaudio::error::kOutOfRange);
        EXPECT_EQ(d->setTimeFormat(3), cdaudio::error::kBadTimeFormat);
        EXPECT_EQ(d->seek(cdaudio::packMsf(leadout + 1), {}), cdaudio::error::kOutOfRange);
    }
    // 2 + 4 + 5 (digit sums of the starts in seconds), 6 s, 3 tracks.
    Rig rig;
    auto d = rig.open(dir.file("tones.cue"));
    std::string id;
    ASSERT_EQ(d->info(cdaudio::InfoItem::MediaIdentity, id), 0);
    EXPECT_EQ(id, std::to_string((11u << 24) | (6u << 8) | 3u));
    EXPECT_FALSE(d->caps().canEject);
    EXPECT_TRUE(d->caps().canPlay);
    EXPECT_EQ(cdaudio::volumeLabel(dir.file("tones.cue")), "Audio CD");
    EXPECT_EQ(cdaudio::volumeLabel(dir.file("mixed.cue")), "");  // a data track without ISO 9660
}

TEST(CdAudio, PlaysTheBinBytesAcrossPauseResumeAndSeek)
{
    TempDir dir;
    const std::string cue = writeCdImage(dir, "tones", kThreeTones);
    Rig rig;
    auto d = rig.open(cue);
    ASSERT_TRUE(d);
    ASSERT_EQ(d->setTimeFormat(cdaudio::kTmsf), 0);

    // Track 2 to the end, paused after 1 s (75 whole frames) and resumed.
    ASSERT_EQ(d->play(2, std::nullopt, rig.record), 0);
    EXPECT_EQ(get(*d, Status::Mode), uint32_t(cdaudio::Mode::Playing));
    rig.clock.advance(1000);
    ASSERT_EQ(d->pause({}), 0);
    EXPECT_EQ(get(*d, Status::Position), 2u | cdaudio::packMsf(75) << 8);
    std::string played = rig.heard();
    rig.clock.advance(500);
    EXPECT_EQ(rig.heard().find_first_not_of('\0'), std::string::npos);  // nothing while paused
    EXPECT_EQ(rig.take(), std::vector{cdaudio::Notify::Aborted});
    ASSERT_EQ(d->play(std::nullopt, std::nullopt, rig.record), 0);
    rig.clock.advance(6000);
    played += rig.heard();
    expectPlayed(played, binSlice(cue, 300, 300));
    EXPECT_EQ(rig.take(), std::vector{cdaudio::Notify::Successful});
    EXPECT_EQ(get(*d, Status::Mode), uint32_t(cdaudio::Mode::Stopped));
    ASSERT_EQ(d->setTimeFormat(cdaudio::kMsf), 0);
    EXPECT_EQ(get(*d, Status::Position), get(*d, Status::Length));  // stays on the end point

    // A seek leaves the device stopped at its target; a play from there with an end point.
    ASSERT_EQ(d->seek(cdaudio::packMsf(200), rig.record), 0);
    EXPECT_EQ(get(*d, Status::Mode), uint32_t(cdaudio::Mode::Stopped));
    EXPECT_EQ(get(*d, Status::Position), cdaudio::packMsf(200));
    ASSERT_EQ(d->play(std::nullopt, cdaudio::packMsf(290), rig.record), 0);
    rig.clock.advance(3000);
    expectPlayed(rig.heard(), binSlice(cue, 200, 90));
    EXPECT_EQ(get(*d, Status::Position), cdaudio::packMsf(290));
    EXPECT_EQ(rig.take(), (std::vector{cdaudio::Notify::Successful, cdaudio::Notify::Successful}));
}

TEST(CdAudio, NotifyResults)
{
    TempDir dir;
    const std::string cue = writeCdImage(dir, "tones", kThreeTones);
    Rig rig;
    auto d = rig.open(cue);
    ASSERT_TRUE(d);
    using N = cdaudio::Notify;
    const std::vector<std::pair<const char*, std::function<void()>>> cases = {
        {"play supersedes", [&] { ASSERT_EQ(d->play(cdaudio::packMsf(300), std::nullopt, {}), 0); }},
        {"seek supersedes", [&] { ASSERT_EQ(d->seek(cdaudio::packMsf(300), {}), 0); }},
        {"stop aborts", [&] { ASSERT_EQ(d->stop({}), 0); }},
        {"pause aborts", [&] { ASSERT_EQ(d->pause({}), 0); }},
    };
    const std::vector<N> expected = {N::Superseded, N::Superseded, N::Aborted, N::Aborted};
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].first);
        ASSERT_EQ(d->play(cdaudio::packMsf(150), std::nullopt, rig.record), 0);
        rig.clock.advance(200);
        cases[i].second();
        EXPECT_EQ(rig.take(), std::vector{expected[i]});
    }
    // A play without a callback reports nothing.
    ASSERT_EQ(d->play(cdaudio::packMsf(500), std::nullopt, {}), 0);
    rig.clock.advance(2000);
    EXPECT_TRUE(rig.take().empty());

    // A .bin cut shorter than its cue: reading past its end fails the play, without a hang.
    auto cut = rig.open(cue);
    ASSERT_TRUE(cut);
    const std::string bin = dir.file("tones.bin");
    std::filesystem::resize_file(bin, std::filesystem::file_size(bin) - 100 * 2352);
    ASSERT_EQ(cut->play(cdaudio::packMsf(300), std::nullopt, rig.record), 0);
    rig.clock.advance(8000);
    EXPECT_EQ(rig.take(), std::vector{N::Failure});
    EXPECT_EQ(get(*cut, Status::Mode), uint32_t(cdaudio::Mode::Stopped));

    // Destroying a device with a report in the queue drops the report.
    ASSERT_EQ(d->play(cdaudio::packMsf(150), std::nullopt, rig.record), 0);
    ASSERT_EQ(d->stop(rig.record), 0);
    d.reset();
    EXPECT_TRUE(rig.take().empty());
}

TEST(CdAudio, DataTrackPlaysAsSilence)
{
    TempDir dir;
    const std::string cue = writeCdImage(dir, "mixed", {{false, 45, 0}, {true, 75, 550}});
    Rig rig;
    auto d = rig.open(cue);
    ASSERT_TRUE(d);
    ASSERT_EQ(d->play(cdaudio::packMsf(150), std::nullopt, rig.record), 0);
    rig.clock.advance(3000);
    expectPlayed(rig.heard(), std::string(45 * 2352, '\0') + binSlice(cue, 195, 75));
    EXPECT_EQ(rig.take(), std::vector{cdaudio::Notify::Successful});
}

TEST(CdAudio, ImageTrayAndMissingDrives)
{
    TempDir dir;
    const std::string cue = writeCdImage(dir, "tones", kThreeTones);
    Rig rig;
    auto d = rig.open(cue);
    ASSERT_TRUE(d);
    ASSERT_EQ(d->play(cdaudio::packMsf(150), std::nullopt, rig.record), 0);
    ASSERT_EQ(d->setDoor(true, {}), 0);
    EXPECT_EQ(get(*d, Status::Mode), uint32_t(cdaudio::Mode::Open));
    EXPECT_EQ(get(*d, Status::MediaPresent), 0u);
    uint32_t v = 0;
    EXPECT_EQ(d->status(Status::NumberOfTracks, v), cdaudio::error::kNotReady);
    EXPECT_EQ(d->play(std::nullopt, std::nullopt, {}), cdaudio::error::kNotReady);
    EXPECT_TRUE(cdaudio::imageTrayOpen(cue));
    EXPECT_EQ(cdaudio::volumeLabel(cue), "");
    ASSERT_EQ(d->setDoor(false, {}), 0);
    EXPECT_EQ(get(*d, Status::Mode), uint32_t(cdaudio::Mode::Stopped));
    EXPECT_EQ(get(*d, Status::NumberOfTracks), 3u);
    EXPECT_EQ(rig.take(), std::vector{cdaudio::Notify::Aborted});

    int error = 0;
    EXPECT_FALSE(cdaudio::CdAudioDevice::open("", rig.sound, rig.clock, error));
    EXPECT_EQ(error, cdaudio::error::kNoDrive);
    EXPECT_FALSE(cdaudio::CdAudioDevice::open(dir.file("none"), rig.sound, rig.clock, error));
    EXPECT_EQ(error, cdaudio::error::kNoDrive);
    EXPECT_NE(cdaudio::errorText(error), cdaudio::errorText(cdaudio::error::kNotReady));
    // A sheet whose .bin is gone opens as a drive without a disc; no sound device, no play.
    writeFile(dir.file("lost.cue"), "FILE \"lost.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    auto lost = rig.open(dir.file("lost.cue"));
    ASSERT_TRUE(lost);
    EXPECT_EQ(get(*lost, Status::Mode), uint32_t(cdaudio::Mode::NotReady));
    auto mute = cdaudio::CdAudioDevice::open(cue, nullptr, rig.clock, error);
    ASSERT_TRUE(mute);
    EXPECT_EQ(mute->play(std::nullopt, std::nullopt, {}), cdaudio::error::kNoSoundDevice);
}

TEST(CdAudio, WatcherReportsImagesAppearingChangingAndTheirTray)
{
    TempDir dir;
    std::vector<std::string> events;
    snd::ManualClock clock;
    cdaudio::DiscWatcher watcher([&](const std::string& d) { events.push_back("+" + d); },
                                 [&](const std::string& d) { events.push_back("-" + d); }, clock);
    const std::string a = dir.file("a.cue"), b = dir.file("b.cue");
    writeCdImage(dir, "a", {{true, 75, 440}});
    watcher.setDrives({a, b});  // learns the state: no notice for a disc already there
    auto step = [&](const std::function<void()>& change) {
        change();
        watcher.poll();
        QCoreApplication::processEvents();
        return std::exchange(events, {});
    };
    using V = std::vector<std::string>;
    EXPECT_EQ(step([] {}), V{});
    EXPECT_EQ(step([&] { writeCdImage(dir, "b", {{true, 75, 440}, {true, 75, 660}}); }), V{"+" + b});
    EXPECT_EQ(step([&] { std::filesystem::remove(a); }), V{"-" + a});
    EXPECT_EQ(step([&] {
        writeFile(b, readFile(b) + "\n");
    }), (V{"-" + b, "+" + b}));
    Rig rig;
    auto d = rig.open(b);
    EXPECT_EQ(step([&] { ASSERT_EQ(d->setDoor(true, {}), 0); }), V{"-" + b});
    EXPECT_EQ(step([&] { ASSERT_EQ(d->setDoor(false, {}), 0); }), V{"+" + b});
    // The worker polls on its own every 2 s.
    std::filesystem::remove(b);
    clock.advance(cdaudio::DiscWatcher::kIntervalMs);
    QCoreApplication::processEvents();
    EXPECT_EQ(events, V{"-" + b});
}
