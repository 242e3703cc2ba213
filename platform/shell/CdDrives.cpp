#include "platform/shell/CdDrives.h"
#include "platform/cdio/CdioDisc.h"
#include "platform/rtl/AsciiCase.h"

#include <cdio/cdio.h>
#include <cdio/cdtext.h>
#include <cdio/mmc_hl_cmds.h>

#include <array>
#include <cctype>
#include <fstream>
#include <memory>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>

namespace shell {

namespace {

using cdio_disc::CdioHandle;

CdioHandle openDisc(const std::string& path)
{
    return CdioHandle(path.empty() ? nullptr : cdio_open(path.c_str(), DRIVER_UNKNOWN));
}

bool isImage(const std::string& path)
{
    CdioHandle cd = openDisc(path);
    if (!cd)
        return false;
    const driver_id_t id = cdio_get_driver_id(cd.get());
    return id == DRIVER_BINCUE || id == DRIVER_CDRDAO || id == DRIVER_NRG;
}

// Block devices: SCSI CD-ROM major 11, else the "removable" flag of the disk in sysfs
// (a partition's own directory has none; its parent disk's has).
DriveKind blockDeviceKind(const struct stat& st)
{
    if (major(st.st_rdev) == 11)
        return DriveKind::CdRom;
    for (const std::string& devPath : cdDriveDevices())
        if (struct stat cd; ::stat(devPath.c_str(), &cd) == 0 && cd.st_rdev == st.st_rdev)
            return DriveKind::CdRom;
    const std::string sys = "/sys/dev/block/" + std::to_string(major(st.st_rdev)) + ":"
                            + std::to_string(minor(st.st_rdev));
    for (const char* flag : {"/removable", "/../removable"}) {
        std::ifstream in(sys + flag);
        if (char c; in >> c)
            return c == '1' ? DriveKind::Removable : DriveKind::Fixed;
    }
    return DriveKind::Fixed;
}

// Folders: the kind of the file system they lie on (statfs magic numbers).
DriveKind fileSystemKind(const std::string& path)
{
    struct statfs fs {};
    if (::statfs(path.c_str(), &fs) != 0)
        return DriveKind::Unknown;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case 0x6969:      // NFS
    case 0x517B:      // SMB
    case 0xFF534D42:  // CIFS
    case 0xFE534D42:  // SMB2
        return DriveKind::Remote;
    case 0x01021994:  // tmpfs
    case 0x858458F6:  // ramfs
        return DriveKind::RamDisk;
    case 0x9660:      // ISO 9660
    case 0x15013346:  // UDF
        return DriveKind::CdRom;
    default:
        return DriveKind::Fixed;
    }
}

// The volume identifier of an ISO 9660 primary volume descriptor (sector 16 of the data
// track): type 1, "CD001", the 32-byte name at offset 40, padded with spaces.
std::string iso9660VolumeName(CdIo_t* cd, track_t track)
{
    std::array<unsigned char, CDIO_CD_FRAMESIZE> sector{};
    const lsn_t lsn = cdio_get_track_lsn(cd, track);
    if (lsn == CDIO_INVALID_LSN
        || cdio_read_data_sectors(cd, sector.data(), lsn + 16, CDIO_CD_FRAMESIZE, 1)
               != DRIVER_OP_SUCCESS
        || sector[0] != 1 || std::string(sector.begin() + 1, sector.begin() + 6) != "CD001")
        return {};
    std::string name(sector.begin() + 40, sector.begin() + 72);
    name.erase(name.find_last_not_of(' ') + 1);
    return name;
}

}  // namespace

// An image sheet counts as a drive even when its data file is unreadable: that drive
// then holds no readable disc.
bool hasImageExtension(const std::string& path)
{
    const auto dot = path.rfind('.');
    if (dot == std::string::npos)
        return false;
    const std::string ext = rtl::LowerAscii(path.substr(dot + 1));
    return ext == "cue" || ext == "toc" || ext == "nrg";
}

std::vector<std::string> cdDriveDevices()
{
    std::vector<std::string> devices;
    char** list = cdio_get_devices(DRIVER_DEVICE);
    for (char** p = list; p && *p; ++p)
        devices.emplace_back(*p);
    if (list)
        cdio_free_device_list(list);
    return devices;
}

DriveKind driveKind(const std::string& path)
{
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0)
        return DriveKind::NoRoot;
    if (S_ISBLK(st.st_mode))
        return blockDeviceKind(st);
    if (S_ISDIR(st.st_mode))
        return fileSystemKind(path);
    if (S_ISREG(st.st_mode) && (hasImageExtension(path) || isImage(path)))
        return DriveKind::CdRom;
    return DriveKind::Unknown;
}

bool ejectTray(const std::string& device)
{
    if (device.empty() || driveKind(device) != DriveKind::CdRom
        || !cdio_is_device(device.c_str(), DRIVER_DEVICE))
        return false;
    return cdio_eject_media_drive(device.c_str()) == DRIVER_OP_SUCCESS;
}

bool closeTray(const std::string& device)
{
    if (device.empty() || driveKind(device) != DriveKind::CdRom
        || !cdio_is_device(device.c_str(), DRIVER_DEVICE))
        return false;
    driver_id_t driver = DRIVER_DEVICE;
    return cdio_close_tray(device.c_str(), &driver) == DRIVER_OP_SUCCESS;
}

DiscStatus discLabel(const std::string& drive, std::string& label)
{
    label.clear();
    struct stat st {};
    if (drive.empty() || ::stat(drive.c_str(), &st) != 0)
        return DiscStatus::Missing;
    CdioHandle cd = openDisc(drive);
    if (!cd)
        return DiscStatus::NotReady;
    int first = 0, count = 0;
    if (!cdio_disc::TrackRange(cd.get(), first, count))
        return DiscStatus::NotReady;
    for (int t = first; t < first + count && label.empty(); ++t)
        if (cdio_get_track_format(cd.get(), track_t(t)) == TRACK_FORMAT_DATA)
            label = iso9660VolumeName(cd.get(), track_t(t));
    if (label.empty())
        if (const cdtext_t* text = cdio_get_cdtext(cd.get()))
            if (const char* title = cdtext_get_const(text, CDTEXT_FIELD_TITLE, 0))
                label = title;
    return DiscStatus::Ok;
}

bool discInDrive(const std::string& drive)
{
    struct stat st {};
    if (drive.empty() || ::stat(drive.c_str(), &st) != 0 || driveKind(drive) != DriveKind::CdRom)
        return false;
    if (S_ISREG(st.st_mode))
        return true;   // an image is a disc in its drive
    CdioHandle cd = openDisc(drive);
    if (!cd)
        return false;
    // The drive's current profile names the medium, a blank one too; 0 means none.
    cdio_mmc_feature_profile_t profile{};
    if (mmc_get_disctype(cd.get(), 2000, &profile) == DRIVER_OP_SUCCESS)
        return profile != 0 && profile != 0xFFFF;
    const discmode_t mode = cdio_get_discmode(cd.get());
    return mode != CDIO_DISC_MODE_NO_INFO && mode != CDIO_DISC_MODE_ERROR;
}

}  // namespace shell
