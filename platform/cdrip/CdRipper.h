// The CD-reading library's calls over libcdio-paranoia: a list of drives (device paths or
// .cue images) with a parameter block each, the table of contents of the active drive, and a
// ripper that reads an inclusive sector range chunk by chunk with jitter correction.
//
//  - The drives are the list CR_Init is given; CR_SetActiveCDROM picks one by index.
//  - A .cue image is read through cdio_disc::CueImage (its FILE lines, byte order and gaps),
//    sector by sector and without paranoia: a file has no jitter.
//  - The parameter block keeps the drive table fields, the output format, the read speed and
//    the jitter word. CR_SetCDROMParameters stores it; the speed and the paranoia mode (full
//    with jitter correction when the word is non-zero, none without) take effect on the open
//    ripper, or on the next one.
//  - TOC entries: the start sector (LSN) and a flag byte 0x10 | the track's control bits
//    (0x01 pre-emphasis, 0x02 copy permitted, 0x04 data, 0x08 four channels); entry `count`
//    is the lead-out.
//  - CR_RipChunk reads up to CR_OpenRipper's buffer size worth of sectors. Samples keep the
//    byte order the drive delivers (no guessed swap; CD-DA is little-endian 16-bit stereo)
//    and are converted to the output format: mono as the mean of the two channels, 22,050 and
//    11,025 Hz as the mean of 2 or 4 neighbouring frames. Results: 0 read, 1 failed (the
//    chunk's sectors are passed over and nothing is returned), 3 read with a jitter error, 4
//    read and the range is done.
//  - A jitter error is a correction paranoia had to make (dropped, duplicated or shifted
//    samples, a skip or a read error); its two positions are the first and last sector of the
//    chunk where such corrections happened. A test hook reports jitter at chosen sectors.
//
// Global state, as a library is: one thread at a time, one ripper open at a time.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace cdrip {

enum : std::int32_t { CR_OK = 0, CR_FAILED = 1, CR_JITTER_ERROR = 3, CR_RIPPING_DONE = 4 };

// Output formats, in this order.
enum : std::int32_t { CR_STEREO44100, CR_MONO44100, CR_STEREO22050, CR_MONO22050, CR_STEREO11025, CR_MONO11025 };

struct CdromParams {
    // The drive table; the numbers of the component's enumerations.
    std::int32_t DriveType = 0;     // generic
    std::int32_t ReadMethod = 0;    // MMC
    std::int32_t SetSpeed = 1;      // MMC
    std::int32_t Endian = 1;        // little-endian
    std::int32_t EnableMode = 0;    // none
    std::int32_t Density = 0;
    std::int32_t Atapi = 0;         // true for a device, false for an image
    std::int32_t OutputFormat = CR_STEREO44100;
    std::int32_t Speed = 0;         // read speed in multiples of 176,400 bytes/s; 0 the fastest
    std::int32_t JitterCorrection = -1;
};

struct TocEntry {
    std::int32_t StartSector = 0;
    std::uint8_t TrackNumber = 0;   // 0xAA for the lead-out
    std::uint8_t Flags = 0;
};

constexpr std::int32_t kSectorBytes = 2352;

std::int32_t CR_GetCDRipVersion();
// Fails (1) for an empty list; the first drive becomes the active one.
std::int32_t CR_Init(const std::vector<std::string>& drives);
std::int32_t CR_GetActiveCDROM();
std::int32_t CR_SetActiveCDROM(std::int32_t index);
std::int32_t CR_GetCDROMParameters(CdromParams& params);
std::int32_t CR_SetCDROMParameters(const CdromParams& params);

// Reads the active drive's table of contents; fails without a readable disc.
std::int32_t CR_ReadToc();
std::int32_t CR_GetNumTocEntries();
// Entries 0..count (the lead-out); others are all zero.
TocEntry CR_GetTocEntry(std::int32_t index);

// Opens a ripper on sectors start..end of the active drive; bufferSize receives the most bytes
// one CR_RipChunk returns. Fails for an empty or out-of-disc range.
std::int32_t CR_OpenRipper(std::int32_t& bufferSize, std::int32_t startSector, std::int32_t endSector);
std::int32_t CR_RipChunk(std::uint8_t* buffer, std::int32_t& bytesRead);
void CR_GetLastJitterErrorPosition(std::int32_t& first, std::int32_t& last);
std::int32_t CR_GetPercentCompleted();
std::int32_t CR_GetNumberOfJitterErrors();
std::int32_t CR_CloseRipper();

// Test hook: from now on a read of any of these sectors counts as a jitter error.
void CR_SetTestJitterSectors(std::set<std::int32_t> sectors);

}  // namespace cdrip
