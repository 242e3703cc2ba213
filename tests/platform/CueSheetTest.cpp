// Cue sheets as CD programs write them, read by the CD audio device and the ripper: a FILE
// named otherwise than the sheet, one WAVE file per track with the gap at the end of the file
// before (sox and ffmpeg write the WAVEs), big-endian MOTOROLA data, a data track last, PREGAP,
// and the sheets and files that must give no disc. Addresses are checked against libdiscid's id
// of the same layout, samples against sox's little-endian output.
#include "platform/cdaudio/CdAudioDevice.h"
#include "platform/cdio/CueSheet.h"
#include "platform/cdrip/CdRipper.h"
#include "platform/sound/MemorySoundDevice.h"
#include "support/CdImages.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <filesystem>

using namespace testsupport;
using cdaudio::Status;
using cdio_disc::CueFault;

namespace {

constexpr uint32_t kSector = 2352;

// `sectors` of a sox tone as raw 16-bit stereo, in the byte order sox is told ("-L" or "-B").
std::string tone(const TempDir& dir, uint32_t sectors, int hz, const char* order = "-L")
{
    const std::string raw = dir.file("tone.raw");
    // No dither: two runs in the two byte orders give the same samples.
    const CommandResult r = runCommand("sox", {"-D", "-r", "44100", "-c", "2", "-n", "-b", "16", "-e", "signed-integer", order,
                                               "-t", "raw", raw, "synth", std::to_string(sectors * 588) + "s", "sine",
                                               std::to_string(hz), "sine", std::to_string(hz * 3 / 2), "vol", "0.5"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return readFile(raw);
}

// A WAVE file of `pcm` (little-endian 16-bit stereo) written by sox, or by ffmpeg, which puts
// a LIST chunk before the data.
void writeWave(const TempDir& dir, const std::string& path, const std::string& pcm, bool ffmpeg = false)
{
    writeFile(dir.file("pcm.raw"), pcm);
    const CommandResult r =
        ffmpeg ? runCommand("ffmpeg", {"-v", "error", "-y", "-f", "s16le", "-ar", "44100", "-ac", "2", "-i",
                                       dir.file("pcm.raw"), "-c:a", "pcm_s16le", path})
               : runCommand("sox", {"-t", "raw", "-r", "44100", "-c", "2", "-b", "16", "-e", "signed-integer", "-L",
                                    dir.file("pcm.raw"), path});
    ASSERT_EQ(r.exitCode, 0) << r.err;
}

struct Player {
    snd::ManualClock clock;
    std::shared_ptr<snd::MemorySoundDevice> sound = snd::MemorySoundDevice::create(clock);
    std::unique_ptr<cdaudio::CdAudioDevice> device;

    explicit Player(const std::string& cue)
    {
        int error = -1;
        device = cdaudio::CdAudioDevice::open(cue, sound, clock, error);
        EXPECT_EQ(error, cdaudio::error::kOk);
    }
    uint32_t get(Status item, uint32_t track = 0)
    {
        uint32_t v = 0;
        EXPECT_EQ(device->status(item, v, track), cdaudio::error::kOk);
        return v;
    }
    // Track starts and the lead-out, in frames from address 0.
    std::vector<uint32_t> addresses()
    {
        EXPECT_EQ(device->setTimeFormat(cdaudio::kMsf), 0);
        std::vector<uint32_t> out;
        const uint32_t n = get(Status::NumberOfTracks);
        for (uint32_t t = 1; t <= n; ++t)
            out.push_back(cdaudio::msfFrames(get(Status::Position, t)));
        out.push_back(cdaudio::msfFrames(get(Status::Length)));
        return out;
    }
    // What the sound device hears of addresses [from, to).
    std::string play(uint32_t from, uint32_t to)
    {
        EXPECT_EQ(device->setTimeFormat(cdaudio::kMsf), 0);
        EXPECT_EQ(device->play(cdaudio::packMsf(from), cdaudio::packMsf(to), {}), 0);
        clock.advance(int64_t(to - from) * 1000 / 75 + 2000);
        QCoreApplication::processEvents();
        const std::vector<uint8_t> bytes = sound->takeRecorded();
        return std::string(bytes.begin(), bytes.begin() + std::ptrdiff_t(std::min<size_t>(bytes.size(), size_t(to - from) * kSector)));
    }
    std::string id()
    {
        std::string text;
        EXPECT_EQ(device->info(cdaudio::InfoItem::MediaIdentity, text), 0);
        char hex[16];
        std::snprintf(hex, sizeof hex, "%08x", unsigned(std::stoul(text)));
        return hex;
    }
};

// The ripper's TOC of the image: starts and lead-out as sectors, and the flag bytes.
std::vector<cdrip::TocEntry> ripperToc(const std::string& cue)
{
    std::vector<cdrip::TocEntry> out;
    if (cdrip::CR_Init({cue}) != cdrip::CR_OK || cdrip::CR_ReadToc() != cdrip::CR_OK)
        return out;
    for (int32_t i = 0; i <= cdrip::CR_GetNumTocEntries(); ++i)
        out.push_back(cdrip::CR_GetTocEntry(i));
    return out;
}

// Sectors [first, last] as the ripper reads them from the image.
std::string rip(const std::string& cue, int32_t first, int32_t last)
{
    std::string out;
    int32_t size = 0;
    if (cdrip::CR_Init({cue}) != cdrip::CR_OK || cdrip::CR_OpenRipper(size, first, last) != cdrip::CR_OK)
        return out;
    std::vector<uint8_t> buffer(static_cast<size_t>(size));
    for (int32_t result = cdrip::CR_OK; result != cdrip::CR_RIPPING_DONE && result != cdrip::CR_FAILED;) {
        int32_t got = 0;
        result = cdrip::CR_RipChunk(buffer.data(), got);
        out.append(reinterpret_cast<const char*>(buffer.data()), size_t(got));
    }
    (void)cdrip::CR_CloseRipper();
    return out;
}

std::string msf(uint32_t f)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", f / 4500, f / 75 % 60, f % 75);
    return text;
}

}  // namespace

// The sheet names "disc.bin"; "album.bin" beside it, which shares the sheet's stem, is another
// disc and must not be heard.
TEST(CueSheet, TheFileTheSheetNamesIsRead)
{
    TempDir dir;
    const std::string a = tone(dir, 100, 440), b = tone(dir, 80, 660);
    writeFile(dir.file("disc.bin"), a + b);
    writeFile(dir.file("album.bin"), tone(dir, 300, 220));
    writeFile(dir.file("album.cue"), "REM COMMENT \"written by hand\"\r\nFILE \"disc.bin\" BINARY\r\n"
                                     "  TRACK 01 AUDIO\r\n    INDEX 01 00:00:00\r\n"
                                     "  TRACK 02 AUDIO\r\n    INDEX 01 00:01:25\r\n");
    Player p(dir.file("album.cue"));
    ASSERT_TRUE(p.device);
    EXPECT_EQ(p.addresses(), (std::vector<uint32_t>{150, 250, 330}));
    EXPECT_EQ(p.id(), libdiscidId(330, {150, 250}));
    EXPECT_TRUE(p.play(150, 330) == a + b);
    EXPECT_EQ(cdaudio::volumeLabel(dir.file("album.cue")), "Audio CD");
    EXPECT_TRUE(rip(dir.file("album.cue"), 100, 179) == b);

    // A sheet whose file is gone shows no disc, names the file, and plays no stand-in.
    writeFile(dir.file("album.cue"), "FILE \"gone.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    Player lost(dir.file("album.cue"));
    ASSERT_TRUE(lost.device);
    EXPECT_EQ(lost.get(Status::Mode), uint32_t(cdaudio::Mode::NotReady));
    EXPECT_EQ(lost.device->imageError().fault, CueFault::MissingFile);
    EXPECT_EQ(lost.device->imageError().file, "gone.bin");
    EXPECT_TRUE(ripperToc(dir.file("album.cue")).empty());
    EXPECT_EQ(cdaudio::volumeLabel(dir.file("album.cue")), "");
}

// One WAVE per track as rippers write them: track 2's two-second gap at the end of track 1's
// file (INDEX 00 there, INDEX 01 at the start of its own), names with blanks, unquoted names,
// lower-case keywords, a PREGAP that is in no file.
TEST(CueSheet, OneWaveFilePerTrackWithGapsAndPregap)
{
    TempDir dir;
    const std::string t1 = tone(dir, 120, 440), gap = tone(dir, 150, 330), t2 = tone(dir, 90, 550),
                      t3 = tone(dir, 75, 770);
    writeWave(dir, dir.file("01 - One.wav"), t1 + gap);
    writeWave(dir, dir.file("02 - Two.wav"), t2, true);
    writeWave(dir, dir.file("three.wav"), t3);
    writeFile(dir.file("Album.cue"), "REM GENRE Pop\nREM DATE 1998\nPERFORMER \"Someone\"\nTITLE \"Album\"\n"
                                     "FILE \"01 - One.wav\" WAVE\n  TRACK 01 AUDIO\n    TITLE \"One\"\n"
                                     "    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    INDEX 00 00:01:45\n"
                                     "FILE \"02 - Two.wav\" WAVE\n    INDEX 01 00:00:00\n"
                                     "file three.wav wave\n  track 03 audio\n    pregap 00:01:00\n    index 01 00:00:00\n");
    Player p(dir.file("Album.cue"));
    ASSERT_TRUE(p.device);
    // Track 2 starts after track 1's file and its gap; track 3 after 75 sectors of silence.
    const std::vector<uint32_t> at = {150, 150 + 270, 150 + 270 + 90 + 75, 150 + 270 + 90 + 75 + 75};
    EXPECT_EQ(p.addresses(), at);
    EXPECT_EQ(p.id(), libdiscidId(at[3], {at[0], at[1], at[2]}));
    EXPECT_TRUE(p.play(at[0], at[3]) == t1 + gap + t2 + std::string(75 * kSector, '\0') + t3);

    const auto toc = ripperToc(dir.file("Album.cue"));
    ASSERT_EQ(toc.size(), 4u);
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(toc[i].StartSector, int32_t(at[i] - 150)) << i;
    EXPECT_TRUE(rip(dir.file("Album.cue"), toc[1].StartSector, toc[2].StartSector - 1) == t2 + std::string(75 * kSector, '\0'));
}

// cdrdao's MOTOROLA files hold big-endian samples: what is heard and ripped is the same tone
// as sox writes it little-endian.
TEST(CueSheet, MotorolaSamplesAreSwappedOnRead)
{
    TempDir dir;
    writeFile(dir.file("be.bin"), tone(dir, 150, 440, "-B") + tone(dir, 75, 880, "-B"));
    const std::string expected = tone(dir, 150, 440, "-L") + tone(dir, 75, 880, "-L");
    ASSERT_NE(readFile(dir.file("be.bin")), expected);
    writeFile(dir.file("be.cue"), "FILE be.bin MOTOROLA\n  TRACK 01 AUDIO\n    FLAGS DCP\n    INDEX 01 00:00:00\n"
                                  "  TRACK 02 AUDIO\n    INDEX 01 00:02:00\n");
    Player p(dir.file("be.cue"));
    ASSERT_TRUE(p.device);
    EXPECT_TRUE(p.play(150, 375) == expected);
    EXPECT_TRUE(rip(dir.file("be.cue"), 0, 224) == expected);
    const auto toc = ripperToc(dir.file("be.cue"));
    ASSERT_EQ(toc.size(), 3u);
    EXPECT_EQ(toc[0].Flags, 0x12);
    EXPECT_EQ(toc[1].Flags, 0x10);
}

// An enhanced CD: the data track last, in its own file of 2,048-byte sectors. It plays as
// silence, rips as raw sectors with their header, and counts in the disc id.
TEST(CueSheet, DataTrackLast)
{
    TempDir dir;
    const std::string audio = tone(dir, 150, 440);
    std::string data;
    for (int i = 0; i < 40; ++i)
        data += std::string(2048, char('A' + i % 26));
    writeFile(dir.file("audio.bin"), audio);
    writeFile(dir.file("data.iso"), data);
    writeFile(dir.file("cdextra.cue"), "FILE \"audio.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                       "FILE \"data.iso\" BINARY\n  TRACK 02 MODE1/2048\n    INDEX 01 00:00:00\n");
    Player p(dir.file("cdextra.cue"));
    ASSERT_TRUE(p.device);
    EXPECT_EQ(p.addresses(), (std::vector<uint32_t>{150, 300, 340}));
    EXPECT_EQ(p.id(), libdiscidId(340, {150, 300}));
    EXPECT_TRUE(p.play(150, 340) == audio + std::string(40 * kSector, '\0'));
    EXPECT_EQ(cdaudio::volumeLabel(dir.file("cdextra.cue")), "");  // no ISO 9660 in it

    const auto toc = ripperToc(dir.file("cdextra.cue"));
    ASSERT_EQ(toc.size(), 3u);
    EXPECT_EQ(toc[1].Flags, 0x14);
    const std::string raw = rip(dir.file("cdextra.cue"), 150, 189);
    ASSERT_EQ(raw.size(), 40 * kSector);
    EXPECT_EQ(raw.substr(0, 16), std::string("\x00\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x00\x00\x04\x00\x01", 16));
    EXPECT_EQ(raw.substr(39 * kSector + 16, 2048), std::string(2048, 'N'));
    EXPECT_TRUE(rip(dir.file("cdextra.cue"), 150, 190).empty());  // past the lead-out
}

// Sheets and files that give no disc, each with the file (or the sheet's line) at fault.
TEST(CueSheet, RefusedAndHostileSheets)
{
    TempDir dir;
    writeFile(dir.file("a.bin"), std::string(300 * kSector, '\0'));
    writeFile(dir.file("song.mp3"), std::string(1000, '\xFF'));
    ASSERT_EQ(runCommand("sox", {"-n", "-r", "48000", "-c", "2", "-b", "16", dir.file("48k.wav"), "synth", "1", "sine", "440"}).exitCode, 0);
    ASSERT_EQ(runCommand("sox", {"-n", "-r", "44100", "-c", "1", "-b", "16", dir.file("mono.wav"), "synth", "1", "sine", "440"}).exitCode, 0);
    writeFile(dir.file("notriff.wav"), std::string(3000, 'x'));
    // A data chunk that claims more than the file holds is read as far as the file goes.
    writeCdWav(dir.file("cut.wav"), std::string(10 * kSector, '\x11'));
    std::filesystem::resize_file(dir.file("cut.wav"), 44 + 5 * kSector);

    const std::string track = "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n";
    std::string tracks99;
    for (int n = 1; n <= 99; ++n) {
        char t[64];
        std::snprintf(t, sizeof t, "  TRACK %02d AUDIO\n    INDEX 01 %s\n", n, msf(uint32_t(n - 1) * 2).c_str());
        tracks99 += t;
    }
    const std::string tracks100 = tracks99 + "  TRACK 100 AUDIO\n    INDEX 01 00:03:00\n";
    struct Case {
        const char* name;
        std::string sheet;
        CueFault fault;
        std::string file;  // "" = the sheet
        int line = 0;
    };
    const std::string cue = dir.file("x.cue");
    const std::vector<Case> cases = {
        {"mp3", "FILE \"song.mp3\" MP3\n" + track, CueFault::UnsupportedFile, "song.mp3"},
        {"aiff", "FILE \"a.bin\" AIFF\n" + track, CueFault::UnsupportedFile, "a.bin"},
        {"wave at 48 kHz", "FILE \"48k.wav\" WAVE\n" + track, CueFault::UnsupportedFile, "48k.wav"},
        {"mono wave", "FILE \"mono.wav\" WAVE\n" + track, CueFault::UnsupportedFile, "mono.wav"},
        {"not riff", "FILE \"notriff.wav\" WAVE\n" + track, CueFault::UnsupportedFile, "notriff.wav"},
        {"missing", "FILE \"a.bin\" BINARY\n" + track + "FILE \"b.bin\" BINARY\n  TRACK 02 AUDIO\n    INDEX 01 00:00:00\n",
         CueFault::MissingFile, "b.bin"},
        {"index past the file", "FILE \"a.bin\" BINARY\n" + track + "  TRACK 02 AUDIO\n    INDEX 01 00:04:01\n",
         CueFault::ShortFile, "a.bin"},
        {"index at the file's end", "FILE \"a.bin\" BINARY\n" + track + "  TRACK 02 AUDIO\n    INDEX 01 00:04:00\n",
         CueFault::ShortFile, "a.bin"},
        {"cut wave", "FILE \"cut.wav\" WAVE\n" + track + "  TRACK 02 AUDIO\n    INDEX 01 00:00:08\n",
         CueFault::ShortFile, "cut.wav"},
        {"data only", "FILE \"a.bin\" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n", CueFault::NoAudioTrack, ""},
        {"no track", "REM nothing\nFILE \"a.bin\" BINARY\n", CueFault::NoAudioTrack, ""},
        {"empty", "", CueFault::NoAudioTrack, ""},
        {"99 tracks fit", "FILE \"a.bin\" BINARY\n" + tracks99, CueFault::None, ""},
        {"track 100", "FILE \"a.bin\" BINARY\n" + tracks100, CueFault::BadSheet, "", 200},
        {"frame 75", "FILE \"a.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:75\n", CueFault::BadSheet, "", 3},
        {"second 60", "FILE \"a.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:60:00\n", CueFault::BadSheet, "", 3},
        {"index back in the file", "FILE \"a.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:01:00\n"
                                   "  TRACK 02 AUDIO\n    INDEX 01 00:00:10\n", CueFault::BadSheet, "", 5},
        {"index numbers down", "FILE \"a.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n    INDEX 00 00:01:00\n",
         CueFault::BadSheet, "", 4},
        {"no index 01", "FILE \"a.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 00 00:00:00\n", CueFault::BadSheet, "", 2},
        {"tracks skip", "FILE \"a.bin\" BINARY\n" + track + "  TRACK 03 AUDIO\n    INDEX 01 00:01:00\n",
         CueFault::BadSheet, "", 4},
        {"track before file", track + "FILE \"a.bin\" BINARY\n", CueFault::BadSheet, "", 1},
        {"unknown track type", "FILE \"a.bin\" BINARY\n  TRACK 01 CDG\n    INDEX 01 00:00:00\n", CueFault::BadSheet, "", 2},
        {"unclosed quote", "FILE \"a.bin BINARY\n" + track, CueFault::BadSheet, "", 1},
        {"more than 100 minutes", "FILE \"a.bin\" BINARY\n" + track + "    POSTGAP 99:59:74\n  TRACK 02 AUDIO\n"
                                  "    PREGAP 99:00:00\n    INDEX 01 00:02:00\n", CueFault::BadSheet, "", 7},
        {"binary garbage", std::string("\x00\xFF\x01\"FILE", 9) + std::string(100, '\n'), CueFault::NoAudioTrack, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(cue, c.sheet);
        cdio_disc::CueError error;
        const auto image = cdio_disc::CueImage::open(cue, error);
        EXPECT_EQ(error.fault, c.fault);
        EXPECT_EQ(error.file, c.fault == CueFault::None ? "" : c.file.empty() ? cue : c.file);
        EXPECT_EQ(error.line, c.line);
        EXPECT_EQ(image != nullptr, c.fault == CueFault::None);
        if (c.fault == CueFault::None)
            continue;
        Player p(cue);
        ASSERT_TRUE(p.device);
        EXPECT_EQ(p.get(Status::Mode), uint32_t(cdaudio::Mode::NotReady));
        EXPECT_EQ(p.device->imageError().fault, c.fault);
    }
    writeFile(cue, std::string(1024 * 1024 + 1, '\n'));
    cdio_disc::CueError error;
    EXPECT_FALSE(cdio_disc::CueImage::open(cue, error));
    EXPECT_EQ(error.fault, CueFault::BadSheet);
}
