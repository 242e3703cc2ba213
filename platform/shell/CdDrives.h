// The CD drives of the machine and the discs in them, through libcdio. A "drive" is named
// by its device path ("/dev/sr0"); a CD image (a .cue sheet with its .bin, or a cdrdao .toc)
// is accepted wherever a drive is and behaves as a drive with a disc in it, except that
// it has no tray.
//
// The calls block while the drive answers (a drive spinning up can take seconds). Any
// thread, but one disc handle is never shared: each call opens and closes its own.
#pragma once

#include <string>
#include <vector>

namespace shell {

// The kinds of drive the program tells apart, numbered as the program shows them.
enum class DriveKind {
    Unknown = 0,
    NoRoot = 1,       // the path does not exist
    Removable = 2,
    Fixed = 3,
    Remote = 4,       // a network file system
    CdRom = 5,        // a CD drive or a CD image
    RamDisk = 6,
};

// The CD drives libcdio finds, in its order; empty when there is none.
std::vector<std::string> cdDriveDevices();

// Whether `path` names a CD image sheet (.cue, .toc, .nrg) by its extension.
bool hasImageExtension(const std::string& path);

// What kind of drive `path` is: a CD drive or image, another block device, or the file
// system that holds a folder.
DriveKind driveKind(const std::string& path);

// Opens or closes the drive's tray. False when it failed, also for a CD image (no tray)
// and for an empty path (libcdio would pick a drive of its own).
[[nodiscard]] bool ejectTray(const std::string& device);
[[nodiscard]] bool closeTray(const std::string& device);

enum class DiscStatus { Ok, Missing /* no such path */, NotReady /* no disc or unreadable */ };

// The name of the disc in the drive: the volume name of its first data track's ISO 9660
// file system, else the album title of its CD-TEXT, else empty (a plain audio CD).
DiscStatus discLabel(const std::string& drive, std::string& label);
// Whether the drive holds a disc, blank or written (the drive's medium status, not a file
// system); an image counts as one.
bool discInDrive(const std::string& drive);

}  // namespace shell
