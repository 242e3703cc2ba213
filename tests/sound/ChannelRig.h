// A streaming channel on the memory sound device, driven by its manual clock, for the tests
// of the units that work on the channel (level analysis, effects manager).
#pragma once

#include "platform/sound/MemorySoundDevice.h"
#include "sound/cbDSMixer.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace testsupport {

// Writes a PCM WAV file with python's wave module; `sample` is a python expression of the
// frame index i and the channel index c (0 = left), giving the stored integer (unsigned for
// 8 bits, signed for 16).
inline std::string makeWavWithPython(const TempDir& dir, const std::string& name, int rate, int channels,
                                     int bits, double seconds, const std::string& sample)
{
    static const char* script = R"(
import math, struct, sys, wave
path, rate, ch, bits, seconds, expr = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4]), float(sys.argv[5]), sys.argv[6]
f = eval('lambda i, c: ' + expr)
data = bytearray()
for i in range(int(rate * seconds)):
    for c in range(ch):
        v = f(i, c)
        data += struct.pack('<h', v) if bits == 16 else bytes([v])
w = wave.open(path, 'wb')
w.setnchannels(ch); w.setsampwidth(bits // 8); w.setframerate(rate)
w.writeframes(bytes(data))
w.close()
)";
    std::string path = dir.file(name);
    auto r = runCommand(python3(), {"-c", script, path, std::to_string(rate), std::to_string(channels),
                                    std::to_string(bits), std::to_string(seconds), sample});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return path;
}

struct ChannelRig {
    snd::ManualClock clock;
    std::shared_ptr<snd::MemorySoundDevice> device = snd::MemorySoundDevice::create(clock);
    sound::TcbDSMixer mixer{[this](const std::string&) { return device; }};
    sound::TChannelHandle channel = mixer.NewChannel(clock);

    // Plays `ms` more milliseconds in steps of at most 100 ms, delivering posted events.
    void run(int64_t ms)
    {
        for (int64_t done = 0; done < ms; done += 100) {
            clock.advance(std::min<int64_t>(100, ms - done));
            QCoreApplication::processEvents();
        }
    }
    // What the device played since the last call, as 16-bit samples (the device's format).
    std::vector<int16_t> output()
    {
        auto bytes = device->takeRecorded();
        std::vector<int16_t> s(bytes.size() / 2);
        std::memcpy(s.data(), bytes.data(), s.size() * 2);
        return s;
    }
    // The byte offset of the play cursor in the channel's ring.
    uint32_t playCursor()
    {
        uint32_t play = 0, write = 0;
        auto buffer = channel->Buffer();
        if (!buffer || buffer->GetCurrentPosition(&play, &write) != 0)
            return 0;
        return play;
    }
};

}  // namespace testsupport
