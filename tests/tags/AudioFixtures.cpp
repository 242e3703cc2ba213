#include "AudioFixtures.h"
#include "TagTestSupport.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "support/TestSupport.h"

using testsupport::runCommand;

namespace fixtures {

std::string makeTone(const std::string& dir, const std::string& name, int sampleRate,
                     int channels, double seconds)
{
    const std::string path = dir + "/" + name;
    // Two tones, one per side, so that joint and plain stereo differ from mono.
    auto r = runCommand("sox", {"-n", "-r", std::to_string(sampleRate), "-c",
                                std::to_string(channels), "-b", "16", path, "synth",
                                std::to_string(seconds), "sine", "440", "sine", "660"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return path;
}

std::string lame(const std::string& wav, const std::string& dir, const std::string& name,
                 const std::vector<std::string>& options)
{
    const std::string path = dir + "/" + name;
    std::vector<std::string> args = {"--quiet"};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(wav);
    args.push_back(path);
    auto r = runCommand("lame", args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return path;
}

std::string ffmpeg(const std::string& input, const std::string& dir, const std::string& name,
                   const std::vector<std::string>& options)
{
    const std::string path = dir + "/" + name;
    std::vector<std::string> args = {"-v", "error", "-y", "-i", input};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(path);
    auto r = runCommand("ffmpeg", args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return path;
}

std::map<std::string, std::string> ffprobe(const std::string& file)
{
    auto r = runCommand("ffprobe", {"-v", "error", "-select_streams", "a:0", "-show_entries",
                                    "stream=codec_name,sample_rate,channels,bit_rate,duration:"
                                    "format=duration",
                                    "-of", "flat=s=_", file});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::map<std::string, std::string> values;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        std::string key = line.substr(0, eq);
        std::string value = line.substr(eq + 1);
        if (value.size() >= 2 && value.front() == '"')
            value = value.substr(1, value.size() - 2);
        key = key.rfind("streams_stream_0_", 0) == 0 ? key.substr(17) : key;
        values[key] = value;
    }
    return values;
}

void python(const std::string& program, const std::vector<std::string>& args)
{
    std::vector<std::string> all = {"-c", program};
    all.insert(all.end(), args.begin(), args.end());
    auto r = runCommand(testsupport::python3(), all);
    ASSERT_EQ(r.exitCode, 0) << r.err;
}

std::string id3v23Tag(const std::vector<std::pair<std::string, std::string>>& frames,
                      std::size_t padding)
{
    std::string body;
    for (const auto& [id, data] : frames)
        body += tagtest::frame(3, id, data);
    body += std::string(padding, '\0');
    return tagtest::id3Header(3, 0, 0, static_cast<unsigned>(body.size())) + body;
}

std::string randomBytes(std::size_t count, unsigned seed)
{
    std::mt19937 generator(seed);
    std::string bytes(count, '\0');
    for (auto& b : bytes)
        b = char(generator() & 0xFF);
    return bytes;
}

}  // namespace fixtures
