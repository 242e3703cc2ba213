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
