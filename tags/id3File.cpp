#include "tags/id3File.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

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

bool isReadOnly(const struct stat& status)
{
    if ((status.st_mode & 0222) == 0)
        return true;
    static const uid_t user = ::geteuid();
    if (user == 0)
        return false;
    if (user == status.st_uid)
        return (status.st_mode & S_IWUSR) == 0;
    // The process's user and groups do not change while it runs.
    static const std::vector<gid_t> groups = [] {
        std::vector<gid_t> g(static_cast<std::size_t>(std::max(::getgroups(0, nullptr), 0)));
        g.resize(static_cast<std::size_t>(std::max(::getgroups(static_cast<int>(g.size()), g.data()), 0)));
        return g;
    }();
    static const gid_t group = ::getegid();
    const bool member = group == status.st_gid ||
                        std::find(groups.begin(), groups.end(), status.st_gid) != groups.end();
    return (status.st_mode & (member ? S_IWGRP : S_IWOTH)) == 0;
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
