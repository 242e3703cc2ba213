#include "tags/ReadOnlyFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tags {

namespace {

constexpr std::size_t kSmallestBlock = 256;
constexpr std::int64_t kBlockAlign = 4096;
// The last block: the ID3v1 and APE tags and the last frames' encoder mark before them.
constexpr std::int64_t kEndBytes = 8 * 1024;

// Block memory handed from one file to the next on the same thread.
thread_local std::vector<std::vector<std::uint8_t>> spareBlocks;

}  // namespace

ReadOnlyFile::ReadOnlyFile(const std::string& path, std::size_t blockBytes)
    : fd_(path), blockBytes_(std::clamp<std::size_t>(blockBytes, kSmallestBlock, kBlockBytes))
{
    if (fd_.valid())
        size_ = static_cast<std::int64_t>(fd_.status().st_size);
}

void ReadOnlyFile::setBlockBytes(std::size_t blockBytes)
{
    blockBytes_ = std::clamp<std::size_t>(blockBytes, kSmallestBlock, kBlockBytes);
    for (Block& block : blocks_)
        block.length = 0;
}

ReadOnlyFile::~ReadOnlyFile()
{
    for (Block& block : blocks_)
        if (block.bytes.capacity() != 0 && spareBlocks.size() < 4 * kBlocks)
            spareBlocks.push_back(std::move(block.bytes));
}

bool ReadOnlyFile::read(std::int64_t offset, std::size_t count, std::uint8_t* out)
{
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(fd_.get(), out + done, count - done, static_cast<off_t>(offset) + off_t(done));
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
    if (!fd_.valid() || offset < 0 || offset > size_ || static_cast<std::uint64_t>(size_ - offset) < count)
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
    const std::int64_t align = std::min<std::int64_t>(kBlockAlign, std::int64_t(blockBytes_) / 2);
    const std::int64_t endBytes = std::min<std::int64_t>(kEndBytes, std::int64_t(blockBytes_) - align);
    std::int64_t start = offset / align * align;
    if (size_ - start < endBytes)
        start = std::max<std::int64_t>(0, (size_ - endBytes + align - 1) / align * align);
    const auto length = static_cast<std::size_t>(std::min<std::int64_t>(std::int64_t(blockBytes_), size_ - start));
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
    if (!fd_.valid() || offset < 0 || offset >= size_)
        return bytes;
    const auto available = static_cast<std::uint64_t>(size_ - offset);
    bytes.resize(static_cast<std::size_t>(std::min<std::uint64_t>(count, available)));
    if (!readExact(offset, bytes.size(), bytes.data()))
        bytes.clear();
    return bytes;
}

}  // namespace tags
