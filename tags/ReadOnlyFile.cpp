#include "tags/ReadOnlyFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tags {

namespace {

// Enough for the first frames' search behind an aligned start; more would only be copied.
constexpr std::size_t kBlockBytes = 12 * 1024;
constexpr std::int64_t kBlockAlign = 4096;
// The last block: the ID3v1 and APE tags and the last frames' encoder mark before them.
constexpr std::int64_t kEndBytes = 8 * 1024;

// Block memory handed from one file to the next on the same thread.
thread_local std::vector<std::vector<std::uint8_t>> spareBlocks;

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
    for (Block& block : blocks_)
        if (block.bytes.capacity() != 0 && spareBlocks.size() < 4 * kBlocks)
            spareBlocks.push_back(std::move(block.bytes));
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

bool ReadOnlyFile::readExact(std::int64_t offset, std::size_t count, std::uint8_t* out)
{
    if (fd_ < 0 || offset < 0 || offset > size_ || static_cast<std::uint64_t>(size_ - offset) < count)
        return false;
    if (count == 0)
        return true;
    const std::int64_t end = offset + std::int64_t(count);
    for (const Block& block : blocks_) {
        if (block.length != 0 && offset >= block.start && end <= block.start + std::int64_t(block.length)) {
            std::memcpy(out, block.bytes.data() + (offset - block.start), count);
            return true;
        }
    }
    // A new place: its block starts a little before it, so that reads just around it (the
    // next frame header, the bytes before a tag) find it too. Near the end of the file the
    // block is the file's last: the tags there and the frames before them are looked at
    // together.
    std::int64_t start = offset / kBlockAlign * kBlockAlign;
    if (size_ - start < kEndBytes)
        start = std::max<std::int64_t>(0, (size_ - kEndBytes + kBlockAlign - 1) / kBlockAlign * kBlockAlign);
    const auto length = static_cast<std::size_t>(std::min<std::int64_t>(kBlockBytes, size_ - start));
    if (end > start + std::int64_t(length))
        return read(offset, count, out);  // larger than a block: straight from the file
    Block& block = blocks_[nextBlock_];
    nextBlock_ = (nextBlock_ + 1) % kBlocks;
    if (block.bytes.capacity() == 0 && !spareBlocks.empty()) {
        block.bytes = std::move(spareBlocks.back());
        spareBlocks.pop_back();
    }
    block.bytes.resize(kBlockBytes);
    block.length = 0;
    if (!read(start, length, block.bytes.data()))
        return false;
    block.start = start;
    block.length = length;
    std::memcpy(out, block.bytes.data() + (offset - start), count);
    return true;
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
