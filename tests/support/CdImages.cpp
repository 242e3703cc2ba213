#include "support/CdImages.h"

#include <cstdio>
#include <regex>
#include <stdexcept>

namespace testsupport {

namespace {

constexpr uint32_t kSector = 2352;

std::string msf(uint32_t frames)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", frames / 4500, frames / 75 % 60, frames % 75);
    return text;
}

std::string tone(const TempDir& dir, const ImageTrack& t)
{
    const std::string raw = dir.file("tone.raw");
    std::vector<std::string> args{"-r", "44100", "-c", "2", "-n", "-b", "16", "-e", "signed-integer",
                                  "-t", "raw", raw, "synth", std::to_string(t.sectors * 588) + "s"};
    if (t.synth.empty())
        args.insert(args.end(), {"sine", std::to_string(t.toneHz)});
    args.insert(args.end(), t.synth.begin(), t.synth.end());
    args.insert(args.end(), {"vol", "0.5"});
    const CommandResult r = runCommand("sox", args);
    if (r.exitCode != 0)
        throw std::runtime_error("sox failed: " + r.err);
    std::string pcm = readFile(raw);
    std::remove(raw.c_str());
    pcm.resize(size_t(t.sectors) * kSector);
    return pcm;
}

std::string dataSectors(uint32_t first, uint32_t count)
{
    std::string out;
    for (uint32_t a = first; a < first + count; ++a) {
        auto bcd = [](uint32_t n) { return char((n / 10) * 16 + n % 10); };
        std::string s(kSector, '\x5A');
        s.replace(0, 16, std::string("\x00\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x00", 12) + bcd(a / 4500)
                             + bcd(a / 75 % 60) + bcd(a % 75) + '\x01');
        out += s;
    }
    return out;
}

}  // namespace

std::string writeCdImage(const TempDir& dir, const std::string& name, const std::vector<ImageTrack>& tracks)
{
    std::string bin, cue = "FILE \"" + name + ".bin\" BINARY\n";
    uint32_t offset = 0;
    for (size_t i = 0; i < tracks.size(); ++i) {
        const ImageTrack& t = tracks[i];
        char head[64];
        std::snprintf(head, sizeof head, "  TRACK %02zu %s\n", i + 1, t.audio ? "AUDIO" : "MODE1/2352");
        cue += head;
        if (!t.flags.empty())
            cue += "    FLAGS " + t.flags + "\n";
        cue += "    INDEX 01 " + msf(offset) + "\n";
        bin += t.audio ? tone(dir, t) : dataSectors(150 + offset, t.sectors);
        offset += t.sectors;
    }
    writeFile(dir.file(name + ".bin"), bin);
    writeFile(dir.file(name + ".cue"), cue);
    return dir.file(name + ".cue");
}

std::vector<uint32_t> cdInfoAddresses(const std::string& cue)
{
    std::vector<uint32_t> out;
    if (!haveProgram("cd-info"))
        return out;
    const std::string text = runCommand("cd-info", {"--no-device-info", "--no-analyze", "--cue-file", cue}).out;
    static const std::regex row(R"(\n\s*\d+: (\d\d):(\d\d):(\d\d)\s+\d+\s+(audio|data|leadout))");
    std::smatch m;
    for (auto it = text.begin(); std::regex_search(it, text.end(), m, row, std::regex_constants::match_default);
         it = m.suffix().first)
        out.push_back(uint32_t(std::stoi(m[1]) * 4500 + std::stoi(m[2]) * 75 + std::stoi(m[3])));
    return out;
}

std::string binSlice(const std::string& cue, uint32_t first, uint32_t count)
{
    const std::string bin = readFile(cue.substr(0, cue.size() - 4) + ".bin");
    return bin.substr(size_t(first - 150) * kSector, size_t(count) * kSector);
}

std::string libdiscidId(uint32_t leadout, const std::vector<uint32_t>& offsets)
{
    std::vector<std::string> args{"-c",
                                  "import libdiscid, sys\n"
                                  "a = [int(x) for x in sys.argv[1:]]\n"
                                  "print(libdiscid.put(1, len(a) - 1, a[0], a[1:]).freedb_id)\n",
                                  std::to_string(leadout)};
    for (uint32_t o : offsets)
        args.push_back(std::to_string(o));
    const CommandResult r = runCommand(python3(), args);
    if (r.exitCode != 0)
        throw std::runtime_error("libdiscid failed: " + r.err);
    return r.out.substr(0, r.out.find('\n'));
}

void writeCdWav(const std::string& path, const std::string& pcm)
{
    auto le = [](uint32_t v, int n) {
        std::string s;
        for (int i = 0; i < n; ++i)
            s += char((v >> (8 * i)) & 0xFF);
        return s;
    };
    writeFile(path, "RIFF" + le(uint32_t(36 + pcm.size()), 4) + "WAVEfmt " + le(16, 4) + le(1, 2) + le(2, 2)
                        + le(44100, 4) + le(44100 * 4, 4) + le(4, 2) + le(16, 2) + "data" + le(uint32_t(pcm.size()), 4)
                        + pcm);
}

}  // namespace testsupport
