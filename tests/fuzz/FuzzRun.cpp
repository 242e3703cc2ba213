// Runs a fuzz target's entry point without libFuzzer, the same inputs on every run: each seed
// file of a folder as it is, then a fixed number of mutations of it, mutation m of a seed drawn
// from a generator seeded by the seed's name and m alone. Built into the sanitizer build, where
// a bad read or write, undefined behaviour, an exception escaping the target or a hang ends
// the run:
//   fuzzrun_<target> SEEDS MUTATIONS OUTPUT        the whole run; OUTPUT/current-<target> holds
//                                                  the name of the input running ("seed#m"),
//                                                  and is removed when every input passed
//   fuzzrun_<target> --make SEED M FILE            writes mutation M of the seed file (0: the
//                                                  seed itself) into FILE, to run it again
//   fuzzrun_<target> --one FILE                    runs one input from a file
// Where the process still can (an exception, a signal, AddressSanitizer's report), it also
// names the input on standard error and keeps its bytes in OUTPUT.
#include <algorithm>
#include <array>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#if defined(__has_include)
#if __has_include(<sanitizer/common_interface_defs.h>)
#include <sanitizer/common_interface_defs.h>
#define FUZZRUN_HAVE_SANITIZER 1
#endif
#endif

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::string target;
std::string outputFolder;
std::string currentName;
std::vector<std::uint8_t> current;
int currentFile = -1;  // OUTPUT/current-<target>

// Tells which input was running and keeps it; called once, as the process dies.
void nameInput()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    std::string kept;
    if (!outputFolder.empty()) {
        std::string safe = currentName;
        std::replace(safe.begin(), safe.end(), '/', '_');
        kept = outputFolder + "/crash-" + target + "-" + safe;
        if (std::FILE* f = std::fopen(kept.c_str(), "wb")) {
            std::fwrite(current.data(), 1, current.size(), f);
            std::fclose(f);
        }
    }
    std::fprintf(stderr, "fuzzrun: %s failed on input %s (%zu bytes)%s%s\n", target.c_str(), currentName.c_str(),
                 current.size(), kept.empty() ? "" : ", kept as ", kept.c_str());
    std::fflush(stderr);
}

[[noreturn]] void onSignal(int sig)
{
    if (sig == SIGALRM)
        std::fprintf(stderr, "fuzzrun: no answer within a minute\n");
    nameInput();
    std::signal(sig, SIG_DFL);
    std::raise(sig == SIGALRM ? SIGABRT : sig);
    std::_Exit(1);
}

void run(const std::string& name, std::vector<std::uint8_t> bytes)
{
    currentName = name;
    current = std::move(bytes);
    // Written before the input runs, so that it names the input whatever ends the process.
    if (currentFile >= 0 && (ftruncate(currentFile, 0) != 0 || pwrite(currentFile, name.data(), name.size(), 0) < 0))
        std::perror("fuzzrun");
    alarm(60);
    // The target gets its own copy of exactly the input's length, so any read past it shows.
    std::vector<std::uint8_t> copy(current);
    LLVMFuzzerTestOneInput(copy.empty() ? nullptr : copy.data(), copy.size());
    alarm(0);
}

std::vector<std::uint8_t> readAll(const std::filesystem::path& path)
{
    std::ifstream f(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// One to four edits of the kinds that break readers: bits flipped, bytes and little- or
// big-endian words set to edge values, pieces copied over, inserted, removed or cut off.
// Mutation m of a seed depends on the seed's name and m only.
std::vector<std::uint8_t> mutate(std::vector<std::uint8_t> b, const std::string& seedName, long m)
{
    std::vector<std::uint32_t> key(seedName.begin(), seedName.end());
    key.push_back(std::uint32_t(m));
    std::seed_seq seq(key.begin(), key.end());
    std::mt19937 random(seq);
    static const std::array<std::uint32_t, 10> edges = {0, 1, 2, 0x7F, 0x80, 0xFF, 0x7FFF, 0xFFFF, 0x7FFFFFFF, 0xFFFFFFFF};
    auto pick = [&](std::size_t n) { return n == 0 ? std::size_t(0) : std::size_t(random() % n); };
    const int edits = 1 + int(random() % 4);
    for (int e = 0; e < edits; ++e) {
        switch (random() % 8) {
        case 0:
            if (!b.empty())
                b[pick(b.size())] ^= std::uint8_t(1u << (random() % 8));
            break;
        case 1:
            if (!b.empty())
                b[pick(b.size())] = std::uint8_t(edges[pick(edges.size())]);
            break;
        case 2:
        case 3: {
            const std::size_t width = random() % 2 ? 4 : 2;
            if (b.size() < width)
                break;
            const std::size_t at = pick(b.size() - width + 1);
            const std::uint32_t v = edges[pick(edges.size())] + (random() % 3) - 1;
            for (std::size_t i = 0; i < width; ++i)
                b[at + i] = std::uint8_t(v >> (8 * (random() % 2 ? i : width - 1 - i)));
            break;
        }
        case 4:
            if (b.size() > 1) {
                const std::size_t from = pick(b.size()), to = pick(b.size());
                const std::size_t n = std::min({pick(64) + 1, b.size() - from, b.size() - to});
                std::memmove(b.data() + to, b.data() + from, n);
            }
            break;
        case 5: {
            const std::size_t at = pick(b.size() + 1);
            std::vector<std::uint8_t> piece(1 + pick(16));
            for (auto& x : piece)
                x = std::uint8_t(random());
            b.insert(b.begin() + std::ptrdiff_t(at), piece.begin(), piece.end());
            break;
        }
        case 6:
            if (!b.empty()) {
                const std::size_t at = pick(b.size());
                b.erase(b.begin() + std::ptrdiff_t(at), b.begin() + std::ptrdiff_t(std::min(b.size(), at + 1 + pick(32))));
            }
            break;
        default:
            b.resize(pick(b.size() + 1));
            break;
        }
    }
    return b;
}

}  // namespace

int main(int argc, char** argv)
{
    target = std::filesystem::path(argv[0]).filename().string();
    if (target.rfind("fuzzrun_", 0) == 0)
        target = target.substr(8);
    std::set_terminate([] {
        std::fprintf(stderr, "fuzzrun: an exception escaped the target\n");
        nameInput();
        std::abort();
    });
    for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGALRM})
        std::signal(sig, onSignal);
#ifdef FUZZRUN_HAVE_SANITIZER
    __sanitizer_set_death_callback(nameInput);
#endif
    if (argc == 3 && std::string(argv[1]) == "--one") {
        run(argv[2], readAll(argv[2]));
        return 0;
    }
    if (argc == 5 && std::string(argv[1]) == "--make") {
        const std::filesystem::path seed(argv[2]);
        const long m = std::strtol(argv[3], nullptr, 10);
        const std::vector<std::uint8_t> bytes = m > 0 ? mutate(readAll(seed), seed.filename().string(), m) : readAll(seed);
        std::ofstream(argv[4], std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return 0;
    }
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s SEEDS MUTATIONS OUTPUT | --make SEED M FILE | --one FILE\n", argv[0]);
        return 2;
    }
    outputFolder = argv[3];
    const std::string currentPath = outputFolder + "/current-" + target;
    currentFile = open(currentPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const long mutations = std::strtol(argv[2], nullptr, 10);
    std::vector<std::filesystem::path> seeds;
    for (const auto& entry : std::filesystem::directory_iterator(argv[1]))
        if (entry.is_regular_file())
            seeds.push_back(entry.path());
    std::sort(seeds.begin(), seeds.end());
    if (seeds.empty()) {
        std::fprintf(stderr, "fuzzrun: no seeds in %s\n", argv[1]);
        return 2;
    }
    const auto started = std::chrono::steady_clock::now();
    long inputs = 0;
    for (const auto& seed : seeds) {
        const std::vector<std::uint8_t> bytes = readAll(seed);
        const std::string name = seed.filename().string();
        run(name, bytes);
        ++inputs;
        for (long m = 1; m <= mutations; ++m, ++inputs)
            run(name + "#" + std::to_string(m), mutate(bytes, name, m));
    }
    close(currentFile);
    std::filesystem::remove(currentPath);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("fuzzrun: %s ran %ld inputs from %zu seeds in %.1f s\n", target.c_str(), inputs, seeds.size(), seconds);
    return 0;
}
