#include "tags/ReadOnlyFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tags {

namespace {

constexpr std::size_t kHeadBytes = 64 * 1024;
constexpr std::size_t kTailBytes = 8 * 1024;

}  // namespace

ReadOnlyFile::ReadOnlyFile(const std::string& path)
{
    // Non-blocking, so that a FIFO given as a music file cannot hang the open.
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0)
        return;
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        return;
    }
    size_ = static_cast<std::int64_t>(st.st_size);
}

ReadOnlyFile::~ReadOnlyFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool ReadOnlyFile::read(std::int64_t offset, std::size_t count, std::uint8_t* out)
{
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(fd_, out + done, count - done, static_cast<off_t>(offset) + off_t(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool ReadOnlyFile::fromBlock(Block& block, std::int64_t start, std::size_t length,
                             std::int64_t offset, std::size_t count, std::uint8_t* out)
{
    if (offset < start || offset + std::int64_t(count) > start + std::int64_t(length))
        return false;
    if (!block.loaded) {
        block.loaded = true;
        block.start = start;
        block.bytes.resize(length);
        if (!read(start, length, block.bytes.data()))
            block.bytes.clear();
    }
    if (block.bytes.size() != length)
        return false;
    std::memcpy(out, block.bytes.data() + (offset - start), count);
    return true;
}

bool ReadOnlyFile::readExact(std::int64_t offset, std::size_t count, std::uint8_t* out)
{
    if (fd_ < 0 || offset < 0 || offset > size_ || static_cast<std::uint64_t>(size_ - offset) < count)
        return false;
    if (count == 0)
        return true;
    const std::size_t headLength = static_cast<std::size_t>(std::min<std::int64_t>(size_, kHeadBytes));
    const std::size_t tailLength = static_cast<std::size_t>(std::min<std::int64_t>(size_, kTailBytes));
    return fromBlock(head_, 0, headLength, offset, count, out) ||
           fromBlock(tail_, size_ - std::int64_t(tailLength), tailLength, offset, count, out) ||
           read(offset, count, out);
}

std::vector<std::uint8_t> ReadOnlyFile::readAt(std::int64_t offset, std::size_t count)
{
    std::vector<std::uint8_t> bytes;
    if (fd_ < 0 || offset < 0 || offset >= size_)
        return bytes;
    const auto available = static_cast<std::uint64_t>(size_ - offset);
    bytes.resize(static_cast<std::size_t>(std::min<std::uint64_t>(count, available)));
    if (!readExact(offset, bytes.size(), bytes.data()))
        bytes.clear();
    return bytes;
}

}  // namespace tags
