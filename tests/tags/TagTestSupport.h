// Fixtures and independent checks shared by the tag tests: a short real MP3 made with sox and
// lame, a decode check with ffmpeg, and CP932 helpers for what TagLib hands back.
#pragma once

#include <string>

namespace tagtest {

// A short MP3 stream (no tags), made once per test run.
const std::string& mp3Audio();

// True when ffmpeg decodes the whole file without a complaint.
bool decodesCleanly(const std::string& path);

// Writes the bytes to `path` and returns the path.
std::string makeFile(const std::string& path, const std::string& bytes);

}  // namespace tagtest

namespace tagtest {

// Hand-made ID3v2 building blocks for tests of the reader.
std::string syncSafe(unsigned value);
std::string bigEndian(unsigned value);
std::string id3Header(int version, int revision, int flags, unsigned bodySize);
// A frame with a 2.3 (big-endian) or 2.4 (sync-safe) size; `data` includes any extra bytes.
std::string frame(int version, const std::string& id, const std::string& data, int statusFlags = 0,
                  int formatFlags = 0);

}  // namespace tagtest
