// CD drives through libcdio, on cue/bin images written here: an audio disc with a CD-TEXT
// title and a data disc with an ISO 9660 volume name. cd-info reads the same images as an
// independent check that they are what the tests believe.
#include "platform/shell/CdDrives.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

// Two 2-second tone tracks of raw CD audio, titled through CD-TEXT in the cue sheet.
const char* kAudioImage = R"(
import math, struct, sys
folder = sys.argv[1]
with open(folder + "/audio.bin", "wb") as f:
    for freq in (440, 660):
        for i in range(150 * 588):
            v = int(8000 * math.sin(2 * math.pi * freq * i / 44100))
            f.write(struct.pack("<hh", v, v))
open(folder + "/audio.cue", "w").write(
    'TITLE "Tambourelle Test"\nFILE "audio.bin" BINARY\n'
    '  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n'
    '  TRACK 02 AUDIO\n    INDEX 01 00:02:00\n')
)";

// 20 raw mode-1 sectors (sync, BCD address, 2048 data bytes, zero EDC/ECC) with an ISO
// 9660 primary volume descriptor in sector 16 and the set terminator in 17.
const char* kDataImage = R"(
import sys
folder = sys.argv[1]
def bcd(n): return (n // 10) * 16 + n % 10
out = bytearray()
for lsn in range(20):
    data = bytearray(2048)
    if lsn == 16:
        data[0:7] = b"\x01CD001\x01"
        data[40:72] = b"PHOTOS_2026".ljust(32, b" ")
    if lsn == 17:
        data[0:7] = b"\xffCD001\x01"
    lba = lsn + 150
    out += bytes([0] + [0xFF] * 10 + [0, bcd(lba // 4500), bcd(lba // 75 % 60), bcd(lba % 75), 1])
    out += data + bytes(288)
open(folder + "/data.bin", "wb").write(out)
open(folder + "/data.cue", "w").write(
    'FILE "data.bin" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n')
)";

void makeImage(const char* script, const TempDir& dir)
{
    const CommandResult r = runCommand(python3(), {"-c", script, dir.path()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
}

std::string cdInfo(const std::string& cue)
{
    if (!haveProgram("cd-info"))
        return {};
    return runCommand("cd-info", {"--no-device-info", "--cue-file", cue}).out;
}

}  // namespace

TEST(CdDrives, AudioImageActsAsADriveWithItsCdTextTitle)
{
    TempDir dir;
    makeImage(kAudioImage, dir);
    const std::string cue = dir.file("audio.cue");
    if (const std::string info = cdInfo(cue); !info.empty()) {
        EXPECT_NE(info.find("TITLE: Tambourelle Test"), std::string::npos) << info;
        EXPECT_NE(info.find("  2: 00:04:00"), std::string::npos) << info;
    }
    EXPECT_EQ(shell::driveKind(cue), shell::DriveKind::CdRom);
    std::string label = "stale";
    EXPECT_EQ(shell::discLabel(cue, label), shell::DiscStatus::Ok);
    EXPECT_EQ(label, "Tambourelle Test");
    // An image has no tray: both tray calls report failure rather than pretend.
    EXPECT_FALSE(shell::ejectTray(cue));
    EXPECT_FALSE(shell::closeTray(cue));
    EXPECT_FALSE(shell::ejectTray(""));  // never libcdio's own choice of drive
}

TEST(CdDrives, DataImageGivesItsIso9660VolumeName)
{
    TempDir dir;
    makeImage(kDataImage, dir);
    const std::string cue = dir.file("data.cue");
    if (const std::string info = cdInfo(cue); !info.empty()) {
        EXPECT_NE(info.find("Volume     : PHOTOS_2026"), std::string::npos) << info;
    }
    std::string label;
    EXPECT_EQ(shell::discLabel(cue, label), shell::DiscStatus::Ok);
    EXPECT_EQ(label, "PHOTOS_2026");
}

TEST(CdDrives, MissingAndUnreadableDrives)
{
    TempDir dir;
    std::string label = "stale";
    EXPECT_EQ(shell::driveKind(dir.file("nothing")), shell::DriveKind::NoRoot);
    EXPECT_EQ(shell::discLabel(dir.file("nothing"), label), shell::DiscStatus::Missing);
    EXPECT_EQ(label, "");

    // A cue sheet whose data file is gone is a drive without a readable disc.
    writeFile(dir.file("lost.cue"), "FILE \"lost.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    EXPECT_EQ(shell::driveKind(dir.file("lost.cue")), shell::DriveKind::CdRom);
    EXPECT_EQ(shell::discLabel(dir.file("lost.cue"), label), shell::DiscStatus::NotReady);

    writeFile(dir.file("notes.txt"), "not a disc");
    EXPECT_EQ(shell::driveKind(dir.file("notes.txt")), shell::DriveKind::Unknown);
    EXPECT_NE(shell::driveKind(dir.path()), shell::DriveKind::NoRoot);

    for (const std::string& device : shell::cdDriveDevices())
        EXPECT_EQ(shell::driveKind(device), shell::DriveKind::CdRom) << device;
}
