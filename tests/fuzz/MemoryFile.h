// The fuzz input as a file for readers that open files by name: a memory file (memfd) reached
// through /proc, rewritten for each input. A reader that goes by the name's extension gets a
// link with that extension beside the scratch folder's other files, removed at exit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace fuzz {

inline std::string memoryFile(const std::uint8_t* data, std::size_t size)
{
    static const int fd = memfd_create("fuzzinput", 0);
    if (ftruncate(fd, 0) != 0 || (size > 0 && pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)))
        __builtin_trap();
    return "/proc/self/fd/" + std::to_string(fd);
}

// The same file under a name ending in `extension` (one extension per process).
inline std::string memoryFile(const std::uint8_t* data, std::size_t size, const std::string& extension)
{
    static const std::string link = [&] {
        std::string name = "/dev/shm/fuzzinput-" + std::to_string(getpid()) + extension;
        unlink(name.c_str());
        if (symlink(memoryFile(nullptr, 0).c_str(), name.c_str()) != 0)
            __builtin_trap();
        static const std::string removeAtExit = name;
        std::atexit([] { unlink(removeAtExit.c_str()); });
        return name;
    }();
    memoryFile(data, size);
    return link;
}

}  // namespace fuzz
