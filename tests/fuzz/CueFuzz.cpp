// Feeds a cue sheet and the one file it may name to the CD image reader. The input up to its
// first NUL byte is the sheet; the bytes after it are the content of both "f.bin" and "f.wav"
// beside it (so FILE lines of every type find a file to read). An image that opens must keep
// its promises: at most 99 tracks starting in order inside the disc, a disc of at most 100
// minutes, and reads of its first, last and every track's first sector that stay in bounds.
#include "platform/cdio/CueSheet.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

void put(const std::string& path, const std::uint8_t* data, std::size_t size)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0 || (size > 0 && write(fd, data, size) != static_cast<ssize_t>(size)) || close(fd) != 0)
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string folder = [] {
        static const std::string name = "/dev/shm/fuzzcue-" + std::to_string(getpid());
        mkdir(name.c_str(), 0700);
        std::atexit([] {
            for (const char* f : {"/x.cue", "/f.bin", "/f.wav"})
                unlink((name + f).c_str());
            rmdir(name.c_str());
        });
        return name;
    }();
    std::size_t cut = 0;
    while (cut < size && data[cut] != 0)
        ++cut;
    put(folder + "/x.cue", data, cut);
    const std::size_t rest = cut < size ? cut + 1 : size;
    put(folder + "/f.bin", data + rest, size - rest);
    put(folder + "/f.wav", data + rest, size - rest);

    cdio_disc::CueError error;
    auto image = cdio_disc::CueImage::open(folder + "/x.cue", error);
    if (!image) {
        if (error.fault == cdio_disc::CueFault::None)
            __builtin_trap();
        return 0;
    }
    const auto& tracks = image->tracks();
    if (tracks.empty() || tracks.size() > std::size_t(cdio_disc::kMaxCueTracks)
        || image->leadout() > cdio_disc::kMaxDiscSectors)
        __builtin_trap();
    std::vector<std::uint8_t> sector(cdio_disc::kRawSectorBytes * 2);
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        if (tracks[i].start >= image->leadout() || (i > 0 && tracks[i].start <= tracks[i - 1].start))
            __builtin_trap();
        (void)image->read(tracks[i].start, 1, sector.data());
    }
    (void)image->read(0, 1, sector.data());
    (void)image->read(image->leadout() - 1, 1, sector.data());
    if (image->read(image->leadout() - 1, 2, sector.data()) || image->read(image->leadout(), 1, sector.data()))
        __builtin_trap();  // past the lead-out
    return 0;
}
