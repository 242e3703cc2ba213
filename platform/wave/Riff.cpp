#include "platform/wave/Riff.h"

#include "platform/rtl/LittleEndian.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace wave {

namespace {

using rtl::le32;

void put32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

constexpr uint32_t kRiff = fourcc("RIFF");
constexpr uint32_t kList = fourcc("LIST");

}  // namespace

RiffFile::~RiffFile() { close(); }

bool RiffFile::open(const std::string& path, Mode mode)
{
    close();
    int flags = mode == Read ? O_RDONLY : (O_RDWR | O_CREAT | O_TRUNC);
    fd_ = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
    return fd_ >= 0;
}

bool RiffFile::close()
{
    if (fd_ < 0)
        return true;
    int r = ::close(fd_);
    fd_ = -1;
    return r == 0;
}

int64_t RiffFile::read(void* dst, int64_t count)
{
    if (fd_ < 0 || count < 0)
        return -1;
    int64_t done = 0;
    auto* p = static_cast<uint8_t*>(dst);
    while (done < count) {
        ssize_t n = ::read(fd_, p + done, size_t(count - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

bool RiffFile::write(const void* src, int64_t count)
{
    if (fd_ < 0 || count < 0)
        return false;
    int64_t done = 0;
    auto* p = static_cast<const uint8_t*>(src);
    while (done < count) {
        ssize_t n = ::write(fd_, p + done, size_t(count - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

int64_t RiffFile::seek(int64_t offset, int whence)
{
    if (fd_ < 0)
        return -1;
    return ::lseek(fd_, offset, whence);
}

int64_t RiffFile::size() const
{
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0)
        return -1;
    return st.st_size;
}

bool RiffFile::flush() { return fd_ >= 0 && ::fsync(fd_) == 0; }

// Reads one header at the position; the chunk must start before `limit` and its size is
// clamped so that its data ends by `limit`.
bool RiffFile::readHeader(ChunkInfo& ck, int64_t limit)
{
    int64_t at = seek(0, SEEK_CUR);
    if (at < 0 || at + 8 > limit)
        return false;
    uint8_t h[12];
    if (read(h, 8) != 8)
        return false;
    ck.id = le32(h);
    ck.dataOffset = at + 8;
    // A RIFF size of 0 was never filled in by its writer: the form runs to the limit.
    const uint32_t stated = le32(h + 4) == 0 && ck.id == kRiff ? 0xFFFFFFFF : le32(h + 4);
    ck.size = uint32_t(std::min<int64_t>(stated, limit - ck.dataOffset));
    ck.dirty = false;
    ck.formType = 0;
    if (ck.id == kRiff || ck.id == kList) {
        if (ck.size < 4 || read(h + 8, 4) != 4)
            return false;
        ck.formType = le32(h + 8);
    }
    return true;
}

bool RiffFile::descend(ChunkInfo& ck, const ChunkInfo* parent, unsigned flags)
{
    int64_t limit = size();
    if (limit < 0)
        return false;
    if (parent)
        limit = std::min<int64_t>(limit, parent->dataOffset + parent->size);
    const uint32_t wantId = (flags & FindRiff) ? kRiff : ck.id;
    const uint32_t wantForm = ck.formType;
    for (;;) {
        ChunkInfo found;
        if (!readHeader(found, limit))
            return false;
        bool match = !(flags & (FindChunk | FindRiff)) ||
                     (found.id == wantId && (!(flags & FindRiff) || found.formType == wantForm));
        if (match) {
            ck = found;
            return true;
        }
        int64_t next = found.dataOffset + found.size + (found.size & 1);
        if (seek(next, SEEK_SET) != next)
            return false;
    }
}

bool RiffFile::ascend(ChunkInfo& ck)
{
    if (ck.dirty) {
        int64_t end = seek(0, SEEK_CUR);
        if (end < ck.dataOffset)
            return false;
        int64_t size = end - ck.dataOffset;
        if (size > 0xFFFFFFFFLL)
            return false;
        if (size & 1) {
            uint8_t pad = 0;
            if (!write(&pad, 1))
                return false;
        }
        uint8_t b[4];
        put32(b, uint32_t(size));
        if (seek(ck.dataOffset - 4, SEEK_SET) < 0 || !write(b, 4))
            return false;
        ck.size = uint32_t(size);
        ck.dirty = false;
    }
    int64_t next = ck.dataOffset + ck.size + (ck.size & 1);
    return seek(next, SEEK_SET) == next;
}

bool RiffFile::createChunk(ChunkInfo& ck, unsigned flags)
{
    int64_t at = seek(0, SEEK_CUR);
    if (at < 0)
        return false;
    bool form = (flags & CreateRiff) != 0;
    if (form)
        ck.id = kRiff;
    uint8_t h[12];
    put32(h, ck.id);
    put32(h + 4, form ? 4 : 0);
    put32(h + 8, ck.formType);
    if (!write(h, form ? 12 : 8))
        return false;
    ck.dataOffset = at + 8;
    ck.size = 0;
    ck.dirty = true;
    return true;
}

}  // namespace wave
