#include "util/SafeFile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace safefile {
namespace {

long long writeBudget = -1;

// How much of `wanted` the test hook lets through now.
std::size_t allowedBytes(std::size_t wanted)
{
    if (writeBudget < 0)
        return wanted;
    return static_cast<std::size_t>(std::min<long long>(writeBudget, static_cast<long long>(wanted)));
}

void spend(std::size_t bytes)
{
    if (writeBudget >= 0)
        writeBudget -= static_cast<long long>(bytes);
}

// One write loop for both positioned and sequential writes.
bool writeLoop(int fd, const char* p, std::size_t left, std::int64_t offset)
{
    while (left > 0) {
        std::size_t n = allowedBytes(left);
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        ssize_t r = offset >= 0 ? ::pwrite(fd, p, n, offset) : ::write(fd, p, n);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (r == 0) {
            errno = EIO;
            return false;
        }
        spend(static_cast<std::size_t>(r));
        p += r;
        left -= static_cast<std::size_t>(r);
        if (offset >= 0)
            offset += r;
    }
    return true;
}

std::string folderOf(const std::string& path)
{
    auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool syncFolder(const std::string& folder)
{
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

// The file a path finally names, so that replacing it keeps a symbolic link intact.
std::string resolvedPath(const std::string& path)
{
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real)
        return {};
    std::string result(real);
    std::free(real);
    return result;
}

}  // namespace

namespace {

// The file systems written in place since the live DeferredSync began: device and one open
// descriptor on it. Null while no DeferredSync lives.
std::vector<std::pair<dev_t, int>>* deferredFileSystems = nullptr;

}  // namespace

bool flushInPlace(int fd)
{
    if (!deferredFileSystems)
        return ::fsync(fd) == 0;
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return false;
    for (const auto& [dev, kept] : *deferredFileSystems)
        if (dev == st.st_dev)
            return true;
    const int kept = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (kept < 0)
        return ::fsync(fd) == 0;
    deferredFileSystems->emplace_back(st.st_dev, kept);
    return true;
}

DeferredSync::DeferredSync()
{
    if (!deferredFileSystems)
        deferredFileSystems = new std::vector<std::pair<dev_t, int>>;
}

DeferredSync::~DeferredSync()
{
    (void)flush();
    delete deferredFileSystems;
    deferredFileSystems = nullptr;
}

bool DeferredSync::flush()
{
    bool ok = true;
    if (deferredFileSystems) {
        for (const auto& [dev, kept] : *deferredFileSystems) {
            ok = ::syncfs(kept) == 0 && ok;
            ::close(kept);
        }
        deferredFileSystems->clear();
    }
    return ok;
}

void setWriteBudget(long long bytes)
{
    writeBudget = bytes < 0 ? -1 : bytes;
}

bool writeAll(int fd, std::string_view data)
{
    return writeLoop(fd, data.data(), data.size(), -1);
}

bool writeAt(int fd, std::uint64_t offset, std::string_view data)
{
    if (offset > static_cast<std::uint64_t>(LLONG_MAX))
        return false;
    return writeLoop(fd, data.data(), data.size(), static_cast<std::int64_t>(offset));
}

bool readAt(int fd, std::uint64_t offset, std::uint64_t length, std::string& out)
{
    out.clear();
    if (offset > static_cast<std::uint64_t>(LLONG_MAX) || length > out.max_size())
        return false;
    // Grow as the bytes arrive rather than trusting `length` for an allocation up front.
    constexpr std::size_t kChunk = 1 << 16;
    while (out.size() < length) {
        std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, length - out.size()));
        std::size_t old = out.size();
        out.resize(old + want);
        ssize_t r = ::pread(fd, out.data() + old, want, static_cast<off_t>(offset + old));
        if (r < 0 && errno == EINTR) {
            out.resize(old);
            continue;
        }
        if (r <= 0) {
            out.resize(old);
            return false;
        }
        out.resize(old + static_cast<std::size_t>(r));
    }
    return true;
}

bool readInto(int fd, std::uint64_t offset, char* out, std::size_t length)
{
    if (offset > static_cast<std::uint64_t>(LLONG_MAX))
        return false;
    std::size_t done = 0;
    while (done < length) {
        const ssize_t r = ::pread(fd, out + done, length - done, static_cast<off_t>(offset + done));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        done += static_cast<std::size_t>(r);
    }
    return true;
}

bool copyRange(int in, std::uint64_t offset, std::uint64_t length, int out)
{
    std::vector<char> buf(1 << 16);
    while (length > 0) {
        std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(buf.size(), length));
        ssize_t r = ::pread(in, buf.data(), want, static_cast<off_t>(offset));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        if (!writeAll(out, std::string_view(buf.data(), static_cast<std::size_t>(r))))
            return false;
        offset += static_cast<std::uint64_t>(r);
        length -= static_cast<std::uint64_t>(r);
    }
    return true;
}

namespace {

// The one body of both replace routines. `mode` < 0: the file must exist and keeps its mode
// and owner; otherwise a missing file is created with that mode (less the umask).
bool replaceOrCreate(const std::string& path, const std::function<bool(int fd)>& produce, int mode)
{
    std::string target = resolvedPath(path);
    struct stat st {};
    bool exists = !target.empty() && ::stat(target.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) {
        errno = EISDIR;
        return false;
    }
    if (!exists) {
        if (mode < 0)
            return false;
        std::string folder = resolvedPath(folderOf(path));
        if (folder.empty())
            return false;
        target = (folder == "/" ? "" : folder) + "/" + path.substr(path.rfind('/') + 1);
    }

    std::string folder = folderOf(target);
    std::string name = target.substr(target.rfind('/') + 1);
    // The temporary name has to fit where the file's own name did: a name near the longest a
    // folder takes is cut short for it (the random part keeps it apart from its neighbours).
    constexpr std::size_t room = NAME_MAX - std::char_traits<char>::length("..XXXXXX");
    std::string temp = folder + "/." + name.substr(0, room) + ".XXXXXX";
    int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return false;

    bool ok;
    if (exists) {
        ok = ::fchmod(fd, st.st_mode & 07777) == 0;
        if (ok && ::fchown(fd, st.st_uid, st.st_gid) != 0) {
            // Not fatal: a user may not hand a file to another owner.
        }
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        ok = ::fchmod(fd, static_cast<mode_t>(mode) & ~mask & 07777) == 0;
    }
    ok = ok && produce(fd) && ::fsync(fd) == 0;
    int err = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && !syncFolder(folder)) {
        ok = false;
        err = errno;
    }
    if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        errno = err;
        return false;
    }
    // The new contents are in place; a failed folder flush only weakens the crash guarantee.
    syncFolder(folder);
    return true;
}

}  // namespace

bool replaceFile(const std::string& path, const std::function<bool(int fd)>& produce)
{
    return replaceOrCreate(path, produce, -1);
}

bool writeFileAtomically(const std::string& path, std::string_view contents, int mode)
{
    return replaceOrCreate(path, [&](int fd) { return writeAll(fd, contents); }, mode);
}

}  // namespace safefile
