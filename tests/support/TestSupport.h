// Helpers shared by the tests: scratch folders, running the independent tools that check
// our files (python3, ffprobe, ImageMagick, ...), reading and writing whole files.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

// A fresh folder under the system temp folder, removed with its contents on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Removes a folder and everything in it by the names' own bytes (test files are often named in
// CP932 or other bytes that are not UTF-8), opening up folders a test left read-only. False
// when something stayed behind.
bool removeTree(const std::string& path);

// Sets an environment variable for its scope and puts the old value (or its absence) back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

struct CommandResult {
    int exitCode = -1;
    std::string out;   // standard output
    std::string err;   // standard error
};

// Runs a program with arguments (no shell), feeding `input` on standard input.
CommandResult runCommand(const std::string& program, const std::vector<std::string>& args,
                         const std::string& input = {});

// Debian's python3, where python3-* modules land.
std::string python3();
bool haveProgram(const std::string& program);

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);

// Folder of small fixtures kept in the source tree.
std::string dataDir();
// Root of the source tree.
std::string sourceDir();

// Another use of a test program than running its tests: "PROGRAM --Name args..." runs Fn
// with the program's arguments instead (a static object of that program registers it).
struct TestProgramMode {
    using Fn = std::function<int(int argc, char** argv)>;
    TestProgramMode(const char* Name, Fn Run);
    // The registered mode of that name, or an empty function.
    static Fn Find(const std::string& Name);
};

// Peak memory of some work, measured in a process of its own so that nothing the tests before
// it freed is reused. `PeakMemoryMode(Name, Work)` registers a mode (a static object, as
// TestProgramMode) that runs Work on the mode's arguments and prints how far the resident
// memory's peak rose above where it stood; `PeakMemoryOf` runs this test program in that
// mode and answers the bytes, -1 when the run failed. Meaningless under AddressSanitizer,
// whose allocator keeps freed memory.
struct PeakMemoryMode {
    PeakMemoryMode(const char* Name, std::function<void(const std::vector<std::string>& Args)> Work);
};
int64_t PeakMemoryOf(const std::string& Mode, const std::vector<std::string>& Args);

}  // namespace testsupport
