#include "cd/CdImage.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace cdtest {

using testsupport::runCommand;

std::string Image::trackBytes(int index) const
{
    const std::string all = testsupport::readFile(bin);
    const std::size_t from = std::size_t(starts[std::size_t(index)]) * 2352;
    const std::size_t to = std::size_t(starts[std::size_t(index) + 1]) * 2352;
    return all.substr(from, to - from);
}

Image writeImage(const testsupport::TempDir& dir, const std::string& name, const std::vector<ImageTrack>& tracks)
{
    Image image;
    image.cue = dir.file(name + ".cue");
    image.bin = dir.file(name + ".bin");
    std::string bin, cue = "FILE \"" + name + ".bin\" BINARY\n";
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        const ImageTrack& t = tracks[i];
        const std::int32_t start = std::int32_t(bin.size() / 2352);
        image.starts.push_back(start);
        char line[96];
        std::snprintf(line, sizeof line, "  TRACK %02zu %s\n", i + 1, t.audio ? "AUDIO" : "MODE1/2352");
        cue += line;
        if (!t.flags.empty())
            cue += "    FLAGS " + t.flags + "\n";
        std::snprintf(line, sizeof line, "    INDEX 01 %02d:%02d:%02d\n", start / 75 / 60, start / 75 % 60, start % 75);
        cue += line;
        std::string bytes;
        if (t.audio) {
            std::vector<std::string> args{"-n", "-r", "44100", "-c", "2", "-b", "16", "-e", "signed-integer", "-L",
                                          "-t", "raw", "-", "synth", std::to_string(t.sectors / 75.0)};
            args.insert(args.end(), t.synth.begin(), t.synth.end());
            args.insert(args.end(), {"vol", "0.7"});
            auto r = runCommand("sox", args);
            EXPECT_EQ(r.exitCode, 0) << r.err;
            bytes = r.out;
        }
        // Whole sectors, whatever sox rounded to.
        bytes.resize(std::size_t(t.sectors) * 2352, t.audio ? '\0' : '\x5A');
        bin += bytes;
    }
    image.starts.push_back(std::int32_t(bin.size() / 2352));
    testsupport::writeFile(image.bin, bin);
    testsupport::writeFile(image.cue, cue);
    return image;
}

}  // namespace cdtest
