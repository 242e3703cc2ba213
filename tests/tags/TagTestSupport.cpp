#include "TagTestSupport.h"

#include "support/TestSupport.h"

#include <stdexcept>

namespace tagtest {

const std::string& mp3Audio()
{
    static const std::string audio = [] {
        testsupport::TempDir dir;
        auto sox = testsupport::runCommand(
            "sox", {"-n", "-r", "44100", "-c", "2", dir.file("a.wav"), "synth", "0.4", "sine", "440"});
        auto lame = testsupport::runCommand(
            "lame", {"--quiet", "-b", "128", dir.file("a.wav"), dir.file("a.mp3")});
        if (sox.exitCode != 0 || lame.exitCode != 0)
            throw std::runtime_error("cannot make the MP3 fixture: " + sox.err + lame.err);
        return testsupport::readFile(dir.file("a.mp3"));
    }();
    return audio;
}

bool decodesCleanly(const std::string& path)
{
    auto r = testsupport::runCommand("ffmpeg", {"-v", "error", "-i", path, "-f", "null", "-"});
    return r.exitCode == 0 && r.err.empty();
}

std::string makeFile(const std::string& path, const std::string& bytes)
{
    testsupport::writeFile(path, bytes);
    return path;
}

}  // namespace tagtest

namespace tagtest {

std::string syncSafe(unsigned value)
{
    std::string s;
    for (int shift = 21; shift >= 0; shift -= 7)
        s += static_cast<char>((value >> shift) & 0x7F);
    return s;
}

std::string bigEndian(unsigned value)
{
    std::string s;
    for (int shift = 24; shift >= 0; shift -= 8)
        s += static_cast<char>((value >> shift) & 0xFF);
    return s;
}

std::string id3Header(int version, int revision, int flags, unsigned bodySize)
{
    return std::string("ID3") + static_cast<char>(version) + static_cast<char>(revision) +
           static_cast<char>(flags) + syncSafe(bodySize);
}

std::string frame(int version, const std::string& id, const std::string& data, int statusFlags, int formatFlags)
{
    auto size = static_cast<unsigned>(data.size());
    return id + (version == 3 ? bigEndian(size) : syncSafe(size)) + static_cast<char>(statusFlags) +
           static_cast<char>(formatFlags) + data;
}

}  // namespace tagtest
