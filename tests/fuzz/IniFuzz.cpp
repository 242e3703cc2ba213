// Feeds arbitrary bytes to the settings file reader as the file's content: reads of a value,
// a number, a section, a section's list (how favourites and their playlists are stored), then
// one write. A write must read back and leave every other section as it was.
#include "util/libIni.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string base = [] {
        static const std::string name = "/dev/shm/fuzzini-" + std::to_string(getpid());
        std::atexit([] { unlink((name + ".ini").c_str()); });
        return name;
    }();
    const int fd = ::open((base + ".ini").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0 || (size > 0 && write(fd, data, size) != static_cast<ssize_t>(size)) || close(fd) != 0)
        __builtin_trap();

    (void)IniReadString(base, "CDPlayer", "CDDB_SERVER", "");
    (void)IniReadInteger(base, "Main", "Top", 7);
    (void)IniReadValueKeys(base, "Favorite");
    std::vector<std::string> names, songs;
    IniReadSectionList(base, "Favorite", names, false);
    IniReadSectionList(base, "Favorite_a", songs, true);
    const auto before = IniReadSection(base, "Favorite_a");

    IniWriteString(base, "Fuzz", "Key", "value");
    std::vector<std::string> namesAfter;
    IniReadSectionList(base, "Favorite", namesAfter, false);
    if (IniReadString(base, "Fuzz", "Key", "") != "value" || namesAfter != names ||
        IniReadSection(base, "Favorite_a") != before)
        __builtin_trap();
    return 0;
}
