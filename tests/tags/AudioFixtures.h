// Music files for the header-reader tests, made on the spot with sox, lame, ffmpeg and
// python3, and ffprobe's independent view of them.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace fixtures {

// A sine tone as 16-bit PCM WAV made by sox.
std::string makeTone(const std::string& dir, const std::string& name, int sampleRate,
                     int channels, double seconds);

// `wav` encoded by lame with the given options into dir/name.
std::string lame(const std::string& wav, const std::string& dir, const std::string& name,
                 const std::vector<std::string>& options);

// `input` converted by ffmpeg with the given output options into dir/name.
std::string ffmpeg(const std::string& input, const std::string& dir, const std::string& name,
                   const std::vector<std::string>& options);

// ffprobe's stream and format entries of the first audio stream (sample_rate, channels,
// bit_rate, duration, codec_name, format_duration).
std::map<std::string, std::string> ffprobe(const std::string& file);

// Runs a python3 program with the arguments; fails the test when it fails.
void python(const std::string& program, const std::vector<std::string>& args = {});

// An ID3v2.3 tag of the given frames (each: 4-character identifier, data) with `padding`
// zero bytes.
std::string id3v23Tag(const std::vector<std::pair<std::string, std::string>>& frames,
                      std::size_t padding = 0);

// Deterministic pseudo-random bytes.
std::string randomBytes(std::size_t count, unsigned seed);

}  // namespace fixtures
