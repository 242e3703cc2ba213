// Small CD images for the CD tests: one .bin of raw 2,352-byte sectors and a hand-written
// cue sheet. Audio tracks are sox tones or other synth sounds (16-bit stereo 44.1 kHz, a
// channel each when two are given); data tracks are mode-1
// sectors whose payload is 0x5A bytes, loud garbage if it ever reached the sound device.
#pragma once

#include "support/TestSupport.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

struct ImageTrack {
    ImageTrack(bool audio = true, uint32_t sectors = 150, int toneHz = 440, std::vector<std::string> synth = {},
               std::string flags = {})
        : audio(audio), sectors(sectors), toneHz(toneHz), synth(std::move(synth)), flags(std::move(flags))
    {
    }
    bool audio;
    uint32_t sectors;  // 75 a second
    int toneHz;
    std::vector<std::string> synth;  // sox synth arguments after the length, in place of the tone
    std::string flags;               // the cue's FLAGS ("DCP", "PRE", ...), none when empty
};

// Writes <dir>/<name>.bin and <dir>/<name>.cue; returns the cue's path.
std::string writeCdImage(const TempDir& dir, const std::string& name, const std::vector<ImageTrack>& tracks);

// The tracks' starts and the lead-out as cd-info reads the cue, in frames from address 0
// (lead-out last).
std::vector<uint32_t> cdInfoAddresses(const std::string& cue);

// The raw bytes of sectors [first, first + count) of the image's .bin (addresses from the
// first sector of the file, which is address 150).
std::string binSlice(const std::string& cue, uint32_t first, uint32_t count);

// libdiscid's freedb id (8 hex digits) of a disc whose tracks start at `offsets` and end at
// `leadout`, addresses in frames from 0 (python3-libdiscid).
std::string libdiscidId(uint32_t leadout, const std::vector<uint32_t>& offsets);

// A 16-bit stereo 44.1 kHz WAV file of `pcm`.
void writeCdWav(const std::string& path, const std::string& pcm);

}  // namespace testsupport
