// Music files made by the tests with sox, lame and ffmpeg, and independent decodes of them
// (sox for PCM containers, the ffmpeg tool for compressed ones) to check our decoder against.
#pragma once

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// A sox synth of `seconds` seconds: a sweep on the left, noise-free tone on the right, so that
// every sample differs from its neighbours and a gap or repeat shows.
inline std::vector<std::string> synthArgs(double seconds, int channels)
{
    std::vector<std::string> a{"synth", std::to_string(seconds), "sine", "200-3000"};
    if (channels == 2)
        a.insert(a.end(), {"sine", "441"});
    a.insert(a.end(), {"vol", "0.8"});
    return a;
}

// Writes a PCM file with sox; `type` is a sox file type (wav, au, aiff).
inline std::string makePcm(const TempDir& dir, const std::string& name, int rate, int channels,
                           int bits, double seconds)
{
    std::string path = dir.file(name);
    std::vector<std::string> args{"-n", "-r", std::to_string(rate), "-c", std::to_string(channels),
                                  "-b", std::to_string(bits)};
    if (bits == 8 && name.size() > 4 && name.substr(name.size() - 4) == ".wav")
        args.insert(args.end(), {"-e", "unsigned-integer"});
    else
        args.insert(args.end(), {"-e", "signed-integer"});
    args.push_back(path);
    for (auto& s : synthArgs(seconds, channels))
        args.push_back(s);
    auto r = runCommand("sox", args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return path;
}

// Encodes a 16-bit WAV with lame; `mode` is e.g. {"-b", "128"} or {"-V", "4"}.
inline std::string makeMp3(const TempDir& dir, const std::string& name, int rate, int channels,
                           double seconds, const std::vector<std::string>& mode)
{
    std::string wav = makePcm(dir, name + ".src.wav", rate, channels, 16, seconds);
    std::string path = dir.file(name);
    std::vector<std::string> args{"--quiet"};
    args.insert(args.end(), mode.begin(), mode.end());
    args.insert(args.end(), {wav, path});
    auto r = runCommand("lame", args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return path;
}

// A VBR MP3 without a VBR header (lame -t writes no Xing frame) of pink noise and a tone,
// stereo at 44.1 kHz: its rate changes from frame to frame and nothing in it states its
// length. The same noise every run (sox -R), so how far its first frames' rate lies from the
// whole file's does not change by chance.
inline std::string makeVbrWithoutHeader(const TempDir& dir, const std::string& name, double seconds)
{
    const std::string wav = dir.file(name + ".src.wav"), path = dir.file(name);
    auto r = runCommand("sox", {"-R", "-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth",
                                std::to_string(seconds), "pinknoise", "sine", "440", "vol", "0.5"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    r = runCommand("lame", {"--quiet", "-V", "2", "-t", wav, path});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return path;
}

// The frames of the file's first audio stream as ffprobe counts them, decoding it all.
inline long countedFrames(const std::string& path)
{
    auto r = runCommand("ffprobe", {"-v", "error", "-count_frames", "-select_streams", "a:0", "-show_entries",
                                    "stream=nb_read_frames", "-of", "default=nw=1:nk=1", path});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return r.exitCode == 0 ? std::stol(r.out) : 0;
}

// Encodes with the ffmpeg tool (MP2, WMA, ...): `codec` names the encoder.
inline std::string makeWithFfmpeg(const TempDir& dir, const std::string& name, int rate,
                                  int channels, double seconds, const std::string& codec)
{
    std::string wav = makePcm(dir, name + ".src.wav", rate, channels, 16, seconds);
    std::string path = dir.file(name);
    auto r = runCommand("ffmpeg", {"-v", "error", "-y", "-i", wav, "-c:a", codec, path});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return path;
}

// The file's PCM as the independent decoder gives it: sox keeps a PCM file's own encoding,
// the ffmpeg tool decodes compressed files to 16-bit little endian.
inline std::string referencePcm(const std::string& path, int bits, bool compressed)
{
    CommandResult r;
    if (compressed)
        r = runCommand("ffmpeg", {"-v", "error", "-i", path, "-f", "s16le", "-"});
    else
        r = runCommand("sox", {path, "-t", "raw", "-e", bits == 8 ? "unsigned-integer" : "signed-integer",
                               "-b", std::to_string(bits), "-L", "-"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return r.out;
}

// Duration in seconds as ffprobe reports it.
inline double probeSeconds(const std::string& path)
{
    auto r = runCommand("ffprobe", {"-v", "error", "-show_entries", "format=duration", "-of",
                                    "default=nw=1:nk=1", path});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return std::stod(r.out);
}

inline std::vector<int16_t> asSamples16(const std::string& bytes)
{
    std::vector<int16_t> s(bytes.size() / 2);
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<int16_t>(uint16_t(uint8_t(bytes[2 * i])) | uint16_t(uint8_t(bytes[2 * i + 1])) << 8);
    return s;
}

}  // namespace testsupport
