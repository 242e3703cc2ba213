// The PCM format record shared by the media reader and the sound device: the same fields, in
// the same order, as the wave-format record the playback code was written against.
// Plain data; any thread.
#pragma once

#include <cstdint>

namespace snd {

struct WaveFormat {
    static constexpr uint16_t kPcm = 1;

    uint16_t formatTag = kPcm;
    uint16_t channels = 0;
    uint32_t samplesPerSec = 0;
    uint32_t avgBytesPerSec = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
    uint16_t extraSize = 0;

    static WaveFormat pcm(uint32_t rate, uint16_t channels, uint16_t bits)
    {
        WaveFormat f;
        f.channels = channels;
        f.samplesPerSec = rate;
        f.bitsPerSample = bits;
        f.blockAlign = static_cast<uint16_t>(bits / 8 * channels);
        f.avgBytesPerSec = f.blockAlign * rate;
        return f;
    }
    bool operator==(const WaveFormat&) const = default;
};

}  // namespace snd
