// A CD image described by a cue sheet, read by us rather than by libcdio's cue driver, which
// takes its data from "<sheet name>.bin" whatever the sheet's FILE lines say. The player
// (platform/cdaudio) and the ripper (platform/cdrip) both read images through this.
//
// What is read, as CD-authoring programs write it:
//  - FILE "name" BINARY | MOTOROLA | WAVE, the name quoted or not, relative to the sheet's
//    folder; several FILEs, one per track or with a track's INDEX 00 at the end of the file
//    before its INDEX 01. BINARY holds little-endian samples, MOTOROLA big-endian ones; a WAVE
//    file must be 44.1 kHz 16-bit stereo PCM, its data chunk read as BINARY. Other types
//    (MP3, AIFF, ...) are refused.
//  - TRACK nn AUDIO | MODE1/2048 | MODE1/2352 | MODE2/2336 | MODE2/2352, numbered one up
//    from the first, at most 99; FLAGS (DCP, 4CH, PRE); INDEX 00..99 at mm:ss:ff (ff below
//    75) rising within the file; PREGAP and POSTGAP as silence that is not in the file. REM,
//    CATALOG, TITLE, PERFORMER and other lines are passed over.
//  - Sector 0 of the disc (address 150) is the first file's first byte; each file's data
//    follows the one before it, the gaps between them.
//
// Limits: the sheet at most 1 MiB, the disc at most 100 minutes, every index inside its file.
// A sheet that breaks them, names a missing or short file, or holds no audio track, opens
// nothing and says which file is at fault.
//
// Threads: none; one thread at a time per image.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace cdio_disc {

constexpr uint32_t kRawSectorBytes = 2352;
constexpr int kMaxCueTracks = 99;
constexpr uint32_t kMaxDiscSectors = 100 * 60 * 75;

enum class CueFault {
    None,
    BadSheet,         // unreadable, too long, or a line that makes no disc (see `line`)
    MissingFile,      // a FILE that is not there
    ShortFile,        // a FILE that ends before the sheet's indexes do
    UnsupportedFile,  // a FILE type other than BINARY/MOTOROLA/WAVE, or a WAVE not CD audio
    NoAudioTrack,
};

struct CueError {
    CueFault fault = CueFault::None;
    std::string file;  // as the sheet names it; the sheet's own path for BadSheet, NoAudioTrack
    int line = 0;      // the sheet's line for BadSheet (0: the sheet as a whole)
};

struct CueTrack {
    int number = 0;
    bool audio = true;
    bool copyPermitted = false, preemphasis = false, fourChannels = false;
    uint32_t start = 0;  // sector of INDEX 01 (address - 150)
};

class CueImage {
public:
    // Null, with `error` saying why, when the sheet describes no disc we can read.
    static std::unique_ptr<CueImage> open(const std::string& sheet, CueError& error);
    ~CueImage();
    CueImage(const CueImage&) = delete;
    CueImage& operator=(const CueImage&) = delete;

    const std::vector<CueTrack>& tracks() const { return tracks_; }
    // The sector after the last (the lead-out).
    uint32_t leadout() const { return leadout_; }

    // `count` sectors from `sector` as a drive delivers them, 2,352 bytes each: audio as 16-bit
    // little-endian stereo whatever the file's order, gaps as zeros, 2,048- and 2,336-byte data
    // sectors behind their sync and header. False past the lead-out or when a file cannot give
    // its bytes (it was cut or removed after the sheet was read).
    [[nodiscard]] bool read(uint32_t sector, uint32_t count, uint8_t* out);

    struct Span;
    struct File;

private:
    CueImage() = default;
    bool readSpan(const Span& span, uint32_t first, uint32_t count, uint8_t* out);

    std::vector<CueTrack> tracks_;
    uint32_t leadout_ = 0;
    std::vector<File> files_;
    std::vector<Span> spans_;
};

// Whether `path` ends in ".cue" (any case): the images read through CueImage.
bool isCueSheet(const std::string& path);

}  // namespace cdio_disc
