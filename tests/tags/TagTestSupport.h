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
