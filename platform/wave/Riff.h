// RIFF file I/O in the manner of the multimedia file functions: open a file, descend into a
// chunk (optionally searching for one by id), ascend out of it, create chunks whose sizes are
// written when they are ascended from. Every chunk size read from the file is checked against
// the file: a chunk is clamped to the bytes the file (and its parent) really holds, so a reader
// can never be sent past the end by a header.
//
// I/O is unbuffered (POSIX descriptors), so a refused write is seen by the call that made it.
// Threads: none; one thread at a time.
#pragma once

#include <cstdint>
#include <string>

namespace wave {

constexpr uint32_t fourcc(const char (&s)[5])
{
    return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
           uint32_t(uint8_t(s[3])) << 24;
}

struct ChunkInfo {
    uint32_t id = 0;
    uint32_t size = 0;       // bytes of data, after clamping to the file
    uint32_t formType = 0;   // RIFF and LIST only
    int64_t dataOffset = 0;  // offset of the data (for RIFF/LIST: of the form type)
    bool dirty = false;      // created here: its size is written on ascend
};

class RiffFile {
public:
    enum Mode { Read, Create };
    enum Flags : unsigned { FindChunk = 1, FindRiff = 2, CreateRiff = 4 };

    RiffFile() = default;
    ~RiffFile();
    RiffFile(const RiffFile&) = delete;
    RiffFile& operator=(const RiffFile&) = delete;

    [[nodiscard]] bool open(const std::string& path, Mode mode);
    // False when closing lost data the system had not written yet.
    bool close();
    bool isOpen() const { return fd_ >= 0; }

    // Bytes read (short at the end of the file), -1 on failure.
    [[nodiscard]] int64_t read(void* dst, int64_t count);
    // True only when every byte was written.
    [[nodiscard]] bool write(const void* src, int64_t count);
    // whence as lseek; the new position, -1 on failure.
    int64_t seek(int64_t offset, int whence);
    int64_t size() const;

    // Reads the chunk header at the current position (within `parent` when given). With
    // FindChunk (or FindRiff) skips chunks until one with ck.id (and, for RIFF, ck.formType)
    // is found. On success the position is at the chunk's data (after the form type).
    [[nodiscard]] bool descend(ChunkInfo& ck, const ChunkInfo* parent, unsigned flags);
    // Moves past the chunk's data and pad byte; a created chunk gets its size written first.
    [[nodiscard]] bool ascend(ChunkInfo& ck);
    // Writes a header for ck.id (RIFF with CreateRiff, then ck.formType) at the position.
    [[nodiscard]] bool createChunk(ChunkInfo& ck, unsigned flags);
    [[nodiscard]] bool flush();

private:
    bool readHeader(ChunkInfo& ck, int64_t limit);

    int fd_ = -1;
};

}  // namespace wave
