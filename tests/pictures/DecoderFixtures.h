// Fixtures of the decoder tests: a test picture written as a binary PPM, a small reader of
// the first image directory of a TIFF file (enough to pull out its strips, as other programs
// wrote them), and the reference pixels that libtiff's tiff2rgba gives for a TIFF file.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace decoderfixtures {

using Bytes = std::vector<uint8_t>;

// A w x h RGB picture with flat areas (runs) and noisy ones (literals); `seed` varies it.
Bytes pattern(int w, int h, int seed);
// Writes rgb (w x h, top row first) as a binary PPM; the path.
std::string writePpm(const testsupport::TempDir& dir, const std::string& name, const Bytes& rgb, int w, int h);

struct Tiff {
    bool bigEndian = false;
    std::map<uint16_t, std::vector<uint32_t>> values;  // numeric tags
    std::map<uint16_t, Bytes> raw;                     // UNDEFINED and BYTE tags (JPEG tables)
    std::vector<Bytes> strips;
    uint32_t get(uint16_t tag, uint32_t fallback = 0) const;
    uint32_t width() const { return get(256); }
    uint32_t height() const { return get(257); }
};

// The first image directory's tags and its strips (or tiles); empty strips when unreadable.
Tiff readTiff(const std::string& path);

// Writes a one-strip-per-list TIFF of the given tags around `strips` (little-endian).
void writeTiff(const std::string& path, const std::map<uint16_t, std::vector<uint32_t>>& tags,
               const std::vector<Bytes>& strips);

// tiff2rgba's reading of the file as RGBA, top row first; empty when it fails.
Bytes tiffRgba(const testsupport::TempDir& dir, const std::string& path);

// Runs a tool and fails the calling test (returning false) when it does not succeed.
bool run(const std::string& program, const std::vector<std::string>& args);

Bytes readBytes(const std::string& path);

}  // namespace decoderfixtures
