#include "platform/cdrip/CdRipper.h"

#include "platform/cdio/CdioDisc.h"
#include "platform/cdio/CueSheet.h"

#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace cdrip {

namespace {

constexpr std::int32_t kLayerVersion = 100;
constexpr std::int32_t kSectorsPerChunk = 26;
constexpr std::int32_t kFramesPerSector = kSectorBytes / 4;

struct Drive {
    std::string path;
    CdromParams params;
};

// A drive is read through paranoia; a cue sheet's files straight through CueImage, which has
// no jitter to correct.
struct Ripper {
    cdrom_drive_t* drive = nullptr;
    cdrom_paranoia_t* paranoia = nullptr;
    std::unique_ptr<cdio_disc::CueImage> image;
    std::int32_t start = 0, end = 0, cursor = 0;
    std::int32_t paranoiaAt = 0;   // the sector paranoia reads next
    std::int32_t jitterErrors = 0;
    std::int32_t lastFirst = 0, lastLast = 0;
    // Corrections reported while the current chunk was read.
    bool chunkJitter = false;
    std::int32_t chunkFirst = 0, chunkLast = 0;
};

struct Library {
    std::vector<Drive> drives;
    std::int32_t active = -1;
    std::vector<TocEntry> toc;   // the tracks, then the lead-out
    Ripper ripper;
    bool open = false;
    std::set<std::int32_t> testJitter;
};

Library& lib()
{
    static Library library;
    return library;
}

Drive* activeDrive()
{
    Library& l = lib();
    return l.active >= 0 && l.active < std::int32_t(l.drives.size()) ? &l.drives[std::size_t(l.active)] : nullptr;
}

bool isImage(const std::string& path)
{
    return path.rfind("/dev/", 0) != 0;
}

void noteJitter(std::int32_t sector)
{
    Ripper& r = lib().ripper;
    if (!r.chunkJitter) {
        r.chunkJitter = true;
        r.chunkFirst = sector;
    }
    r.chunkLast = sector;
}

void paranoiaCallback(long inpos, paranoia_cb_mode_t mode)
{
    switch (mode) {
    case PARANOIA_CB_FIXUP_EDGE:
    case PARANOIA_CB_FIXUP_ATOM:
    case PARANOIA_CB_FIXUP_DROPPED:
    case PARANOIA_CB_FIXUP_DUPED:
    case PARANOIA_CB_DRIFT:
    case PARANOIA_CB_SKIP:
    case PARANOIA_CB_READERR:
        noteJitter(std::int32_t(inpos / (kSectorBytes / 2)));
        break;
    default:
        break;
    }
}

void applyParams(const CdromParams& p)
{
    Ripper& r = lib().ripper;
    if (!lib().open || r.image)
        return;
    // An image has no speed, and many drives refuse one: the rip goes on at the drive's own.
    (void)cdio_cddap_speed_set(r.drive, p.Speed > 0 ? p.Speed : -1);
    cdio_paranoia_modeset(r.paranoia, p.JitterCorrection ? PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP
                                                         : PARANOIA_MODE_DISABLE);
}

// One sector of CD-DA (588 little-endian stereo frames) in the output format.
std::int32_t convert(const std::uint8_t* in, std::int32_t format, std::uint8_t* out)
{
    if (format == CR_STEREO44100) {
        std::memcpy(out, in, kSectorBytes);
        return kSectorBytes;
    }
    const bool mono = format == CR_MONO44100 || format == CR_MONO22050 || format == CR_MONO11025;
    const int group = format <= CR_MONO44100 ? 1 : format <= CR_MONO22050 ? 2 : 4;
    const auto sample = [&](int i) { return int(std::int16_t(std::uint16_t(in[2 * i] | in[2 * i + 1] << 8))); };
    std::uint8_t* o = out;
    const auto put = [&](int v) {
        *o++ = std::uint8_t(v & 0xFF);
        *o++ = std::uint8_t((v >> 8) & 0xFF);
    };
    for (int f = 0; f < kFramesPerSector; f += group) {
        int left = 0, right = 0;
        for (int g = 0; g < group; ++g) {
            left += sample(2 * (f + g));
            right += sample(2 * (f + g) + 1);
        }
        if (mono) {
            put((left + right) / (2 * group));
        } else {
            put(left / group);
            put(right / group);
        }
    }
    return std::int32_t(o - out);
}

// The sector at the ripper's cursor. Audio goes through paranoia; a data track's sectors are
// read raw, as paranoia would retry them for ever.
const std::uint8_t* readSector(Ripper& r)
{
    static std::uint8_t raw[kSectorBytes];
    if (r.image)
        return r.image->read(std::uint32_t(r.cursor), 1, raw) ? raw : nullptr;
    const int track = cdio_cddap_sector_gettrack(r.drive, r.cursor);
    if (track > 0 && !cdio_cddap_track_audiop(r.drive, track_t(track)))
        return cdio_read_audio_sectors(r.drive->p_cdio, raw, r.cursor, 1) == DRIVER_OP_SUCCESS ? raw : nullptr;
    if (r.paranoiaAt != r.cursor)
        cdio_paranoia_seek(r.paranoia, r.cursor, SEEK_SET);
    const std::int16_t* sector = cdio_paranoia_read_limited(r.paranoia, paranoiaCallback, 20);
    // After a failure paranoia's own position is not known: seek again next time.
    r.paranoiaAt = sector ? r.cursor + 1 : -1;
    return reinterpret_cast<const std::uint8_t*>(sector);
}

std::uint8_t flagsOf(CdIo_t* cd, track_t t)
{
    std::uint8_t flags = 0x10;
    if (cdio_get_track_preemphasis(cd, t) == CDIO_TRACK_FLAG_TRUE)
        flags |= 0x01;
    if (cdio_get_track_copy_permit(cd, t) == CDIO_TRACK_FLAG_TRUE)
        flags |= 0x02;
    if (cdio_get_track_format(cd, t) != TRACK_FORMAT_AUDIO)
        flags |= 0x04;
    if (cdio_get_track_channels(cd, t) == 4)
        flags |= 0x08;
    return flags;
}

}  // namespace

std::int32_t CR_GetCDRipVersion()
{
    return kLayerVersion;
}

std::int32_t CR_Init(const std::vector<std::string>& drives)
{
    Library& l = lib();
    CR_CloseRipper();
    l.drives.clear();
    l.toc.clear();
    for (const std::string& path : drives) {
        Drive d{path, {}};
        d.params.Atapi = isImage(path) ? 0 : 1;
        l.drives.push_back(d);
    }
    l.active = l.drives.empty() ? -1 : 0;
    return l.drives.empty() ? CR_FAILED : CR_OK;
}

std::int32_t CR_GetActiveCDROM()
{
    return lib().active;
}

std::int32_t CR_SetActiveCDROM(std::int32_t index)
{
    Library& l = lib();
    if (index < 0 || index >= std::int32_t(l.drives.size()) || l.open)
        return CR_FAILED;
    l.active = index;
    l.toc.clear();
    return CR_OK;
}

std::int32_t CR_GetCDROMParameters(CdromParams& params)
{
    const Drive* d = activeDrive();
    if (!d)
        return CR_FAILED;
    params = d->params;
    return CR_OK;
}

std::int32_t CR_SetCDROMParameters(const CdromParams& params)
{
    Drive* d = activeDrive();
    if (!d || params.OutputFormat < CR_STEREO44100 || params.OutputFormat > CR_MONO11025 || params.Speed < 0)
        return CR_FAILED;
    d->params = params;
    applyParams(params);
    return CR_OK;
}

namespace {

// The table of contents of a cue sheet, as CR_ReadToc gives it.
std::int32_t readSheetToc(const std::string& sheet, std::vector<TocEntry>& toc)
{
    cdio_disc::CueError error;
    const auto image = cdio_disc::CueImage::open(sheet, error);
    if (!image)
        return CR_FAILED;
    for (const cdio_disc::CueTrack& t : image->tracks())
        toc.push_back({std::int32_t(t.start), std::uint8_t(t.number),
                       std::uint8_t(0x10 | (t.preemphasis ? 0x01 : 0) | (t.copyPermitted ? 0x02 : 0)
                                    | (t.audio ? 0 : 0x04) | (t.fourChannels ? 0x08 : 0))});
    toc.push_back({std::int32_t(image->leadout()), 0xAA, 0x10});
    return CR_OK;
}

}  // namespace

std::int32_t CR_ReadToc()
{
    Library& l = lib();
    l.toc.clear();
    const Drive* d = activeDrive();
    if (!d)
        return CR_FAILED;
    if (isImage(d->path) && cdio_disc::isCueSheet(d->path))
        return readSheetToc(d->path, l.toc);
    CdIo_t* cd = cdio_open(d->path.c_str(), DRIVER_UNKNOWN);
    if (!cd)
        return CR_FAILED;
    int first = 0, count = 0;
    if (!cdio_disc::TrackRange(cd, first, count)) {
        cdio_destroy(cd);
        return CR_FAILED;
    }
    for (int t = first; t < first + count; ++t)
        l.toc.push_back({std::int32_t(cdio_get_track_lsn(cd, track_t(t))), std::uint8_t(t), flagsOf(cd, track_t(t))});
    l.toc.push_back({std::int32_t(cdio_get_track_lsn(cd, CDIO_CDROM_LEADOUT_TRACK)), 0xAA, 0x10});
    cdio_destroy(cd);
    return CR_OK;
}

std::int32_t CR_GetNumTocEntries()
{
    return lib().toc.empty() ? 0 : std::int32_t(lib().toc.size()) - 1;
}

TocEntry CR_GetTocEntry(std::int32_t index)
{
    const auto& toc = lib().toc;
    return index >= 0 && index < std::int32_t(toc.size()) ? toc[std::size_t(index)] : TocEntry{};
}

std::int32_t CR_OpenRipper(std::int32_t& bufferSize, std::int32_t startSector, std::int32_t endSector)
{
    Library& l = lib();
    CR_CloseRipper();
    bufferSize = 0;
    const Drive* d = activeDrive();
    if (!d || startSector < 0 || endSector < startSector)
        return CR_FAILED;
    Ripper& r = l.ripper;
    if (isImage(d->path) && cdio_disc::isCueSheet(d->path)) {
        cdio_disc::CueError error;
        auto image = cdio_disc::CueImage::open(d->path, error);
        if (!image || std::uint32_t(endSector) >= image->leadout())
            return CR_FAILED;
        r = Ripper{};
        r.image = std::move(image);
        r.start = r.cursor = startSector;
        r.end = endSector;
        l.open = true;
        bufferSize = kSectorsPerChunk * kSectorBytes;
        return CR_OK;
    }
    cdrom_drive_t* drive = cdio_cddap_identify(d->path.c_str(), CDDA_MESSAGE_FORGETIT, nullptr);
    if (!drive)
        return CR_FAILED;
    // The disc runs to the lead-out: a data track after the last audio track is rippable too.
    if (cdio_cddap_open(drive) != 0 || endSector >= cdio_get_track_lsn(drive->p_cdio, CDIO_CDROM_LEADOUT_TRACK)) {
        cdio_cddap_close(drive);
        return CR_FAILED;
    }
    // The samples come as the disc holds them: no byte swap on a guess of the drive's order.
    drive->b_swap_bytes = false;
    r = Ripper{};
    r.drive = drive;
    r.paranoia = cdio_paranoia_init(drive);
    r.start = r.cursor = r.paranoiaAt = startSector;
    r.end = endSector;
    cdio_paranoia_seek(r.paranoia, startSector, SEEK_SET);
    l.open = true;
    applyParams(d->params);
    bufferSize = kSectorsPerChunk * kSectorBytes;
    return CR_OK;
}

std::int32_t CR_RipChunk(std::uint8_t* buffer, std::int32_t& bytesRead)
{
    Library& l = lib();
    bytesRead = 0;
    const Drive* d = activeDrive();
    if (!l.open || !d)
        return CR_FAILED;
    Ripper& r = l.ripper;
    r.chunkJitter = false;
    bool failed = false;
    const std::int32_t last = std::min(r.end, r.cursor + kSectorsPerChunk - 1);
    for (; r.cursor <= last; ++r.cursor) {
        const std::uint8_t* sector = readSector(r);
        if (!sector) {
            failed = true;
            continue;
        }
        if (l.testJitter.count(r.cursor))
            noteJitter(r.cursor);
        bytesRead += convert(sector, d->params.OutputFormat, buffer + bytesRead);
    }
    if (r.chunkJitter) {
        ++r.jitterErrors;
        r.lastFirst = r.chunkFirst;
        r.lastLast = r.chunkLast;
    }
    if (failed)
        bytesRead = 0;
    if (r.cursor > r.end)
        return failed ? CR_FAILED : CR_RIPPING_DONE;
    return failed ? CR_FAILED : r.chunkJitter ? CR_JITTER_ERROR : CR_OK;
}

void CR_GetLastJitterErrorPosition(std::int32_t& first, std::int32_t& last)
{
    first = lib().ripper.lastFirst;
    last = lib().ripper.lastLast;
}

std::int32_t CR_GetPercentCompleted()
{
    const Ripper& r = lib().ripper;
    if (!lib().open)
        return 0;
    return std::int32_t(std::int64_t(r.cursor - r.start) * 100 / (std::int64_t(r.end) - r.start + 1));
}

std::int32_t CR_GetNumberOfJitterErrors()
{
    return lib().ripper.jitterErrors;
}

std::int32_t CR_CloseRipper()
{
    Library& l = lib();
    if (!l.open)
        return CR_FAILED;
    if (l.ripper.paranoia)
        cdio_paranoia_free(l.ripper.paranoia);
    if (l.ripper.drive)
        cdio_cddap_close(l.ripper.drive);
    l.ripper.paranoia = nullptr;
    l.ripper.drive = nullptr;
    l.ripper.image.reset();
    l.open = false;
    return CR_OK;
}

void CR_SetTestJitterSectors(std::set<std::int32_t> sectors)
{
    lib().testJitter = std::move(sectors);
}

}  // namespace cdrip
