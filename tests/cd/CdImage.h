// Small cue/bin disc images for the ripper tests: a .bin of whole 2,352-byte sectors (audio
// made by sox as raw 16-bit little-endian stereo 44.1 kHz; data sectors filled with 0x5A) and a
// hand-written cue sheet with each track's FLAGS.
#pragma once

#include "support/TestSupport.h"

#include <cstdint>
#include <string>
#include <vector>

namespace cdtest {

struct ImageTrack {
    bool audio = true;
    std::int32_t sectors = 150;   // 75 a second
    std::vector<std::string> synth{"sine", "440"};   // sox synth arguments after the length
    std::string flags;            // cue FLAGS, e.g. "DCP" or "PRE"
};

struct Image {
    std::string cue;
    std::string bin;
    std::vector<std::int32_t> starts;   // each track's first sector, then the lead-out
    // The raw bytes of track `index` (0-based) in the .bin.
    std::string trackBytes(int index) const;
};

Image writeImage(const testsupport::TempDir& dir, const std::string& name, const std::vector<ImageTrack>& tracks);

}  // namespace cdtest
