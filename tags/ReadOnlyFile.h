// Read-only, bounds-checked access to a file for the header readers (MPEG, WAV and the small
// ID3 readers that skip tags around the audio). Every read says how many bytes it delivered, so
// a reader cannot run past the end of a short or truncated file. Not shared between threads.
//
// The readers look at the same few places again and again (the ID3v2 header, the first frames,
// the ID3v1 tag, the last blocks): reads are served from a few cached blocks (12 KiB, less for
// a reader of headers), each read from the file once, on first use, at the place asked for. The
// blocks' memory is kept by the thread for the next file, so that reading many files does not
// allocate for each, and the file is opened through RecentFd, so that the next reader of the
// same file need not open it again.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tags/RecentFile.h"

namespace tags {

class ReadOnlyFile {
public:
    // Enough for the first frames' search behind an aligned start; more would only be copied.
    static constexpr std::size_t kBlockBytes = 12 * 1024;
    // Enough for the chunks of a RIFF header in front of its sound.
    static constexpr std::size_t kHeaderBlockBytes = 2 * 1024;

    // `blockBytes` sizes the cached blocks (at most kBlockBytes): smaller for a reader that
    // looks only at a header, where copying more would be wasted.
    explicit ReadOnlyFile(const std::string& path, std::size_t blockBytes = kBlockBytes);
    // Blocks of another size from here on; the cached ones are forgotten.
    void setBlockBytes(std::size_t blockBytes);
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    bool isOpen() const { return fd_.valid(); }
    std::int64_t size() const { return size_; }

    // Up to `count` bytes from `offset`; fewer (or none) at the end of the file or on failure.
    std::vector<std::uint8_t> readAt(std::int64_t offset, std::size_t count);

    // Exactly `count` bytes from `offset` into `out`, or false.
    bool readExact(std::int64_t offset, std::size_t count, std::uint8_t* out);

private:
    struct Block {
        std::int64_t start = 0;
        std::size_t length = 0;  // 0: not loaded
        std::vector<std::uint8_t> bytes;
    };
    bool read(std::int64_t offset, std::size_t count, std::uint8_t* out);

    RecentFd fd_;
    std::size_t blockBytes_;
    std::int64_t size_ = 0;
    static constexpr int kBlocks = 4;
    Block blocks_[kBlocks];
    int nextBlock_ = 0;  // the block a new place takes next, in turn
};

// Big- and little-endian words from a byte buffer; the caller checks the bounds.
inline std::uint32_t bigEndian32(const std::uint8_t* p)
{
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
           std::uint32_t(p[3]);
}
inline std::uint16_t littleEndian16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t littleEndian32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}

}  // namespace tags
