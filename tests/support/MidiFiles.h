// Standard MIDI files for the tests: one track (format 0) at 96 ticks to the quarter note and
// the default tempo (120 beats a minute), made byte by byte so that each test knows exactly
// which notes the file holds.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace testsupport {

// Writes a piano melody: each key sounds for Ticks ticks at velocity 100, one after another.
inline void writeMidiMelody(const std::string& Path, const std::vector<int>& Keys, int Ticks = 48)
{
    auto varLen = [](std::vector<uint8_t>& out, uint32_t v) {
        uint8_t bytes[4];
        int n = 0;
        do {
            bytes[n++] = uint8_t(v & 0x7F);
            v >>= 7;
        } while (v != 0);
        while (n-- > 0)
            out.push_back(uint8_t(bytes[n] | (n > 0 ? 0x80 : 0)));
    };
    std::vector<uint8_t> track = {0x00, 0xC0, 0x00};  // piano on channel 1
    for (int key : Keys) {
        track.insert(track.end(), {0x00, 0x90, uint8_t(key), 100});
        varLen(track, uint32_t(Ticks));
        track.insert(track.end(), {0x80, uint8_t(key), 64});
    }
    track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});
    std::vector<uint8_t> file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96, 'M', 'T', 'r', 'k'};
    const uint32_t n = uint32_t(track.size());
    file.insert(file.end(), {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)});
    file.insert(file.end(), track.begin(), track.end());
    std::ofstream(Path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
}

}  // namespace testsupport
