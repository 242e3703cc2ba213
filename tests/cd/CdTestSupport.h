// Checks of the encoder's and the ripper's files by independent tools: ffprobe's view of a
// file, the ffmpeg tool's decode, and the alignment and correlation of two PCM signals.
#pragma once

#include "support/AudioFixtures.h"
#include "support/TestSupport.h"

#include <QString>

#include <cstdint>
#include <string>
#include <vector>

namespace cdtest {

// The folder under the build folder where the tests leave files to listen to.
std::string outDir();
// The folder where the window tests leave their screenshots (screenshots/cd).
QString screenshotDir();

struct Probe {
    std::string codec;
    int rate = 0;
    int channels = 0;
    long bitRate = 0;
    double seconds = 0;
};
Probe probe(const std::string& path);

// The file decoded by the ffmpeg tool to 16-bit samples at its own rate and channels.
std::vector<std::int16_t> decode(const std::string& path);

// One channel of interleaved samples.
std::vector<double> channel(const std::vector<std::int16_t>& samples, int channels, int which);

// The delay (0..maxLag frames) at which `got` best matches `ref`, found on a window near the
// start, and the normalised correlation of the two over their whole overlap at that delay.
struct Match {
    int lag = 0;
    double correlation = 0;
};
// Use a signal with no period of its own (a sweep): a pure tone matches at every period.
Match align(const std::vector<double>& ref, const std::vector<double>& got, int maxLag);
// The normalised correlation over the whole overlap with `got` delayed by `lag`.
double correlationAt(const std::vector<double>& ref, const std::vector<double>& got, int lag);

double rms(const std::vector<double>& a);

}  // namespace cdtest
