#include "tags/id3File.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace id3file {

bool isRegularFile(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool isReadOnly(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return false;
    return (st.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0;
}

Fd::~Fd()
{
    if (fd_ >= 0)
        ::close(fd_);
}

static Fd openRegular(const std::string& path, int flags)
{
    if (!isRegularFile(path))
        return Fd();
    return Fd(::open(path.c_str(), flags | O_CLOEXEC));
}

Fd openForReading(const std::string& path)
{
    return openRegular(path, O_RDONLY);
}

Fd openForWriting(const std::string& path)
{
    return openRegular(path, O_RDWR);
}

std::optional<std::uint64_t> fileSize(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_size < 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(st.st_size);
}

}  // namespace id3file
