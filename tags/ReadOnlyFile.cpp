#include "tags/ReadOnlyFile.h"

#include <sys/stat.h>

namespace tags {

ReadOnlyFile::ReadOnlyFile(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return;
    file_ = std::fopen(path.c_str(), "rb");
    if (file_)
        size_ = static_cast<std::int64_t>(st.st_size);
}

ReadOnlyFile::~ReadOnlyFile()
{
    if (file_)
        std::fclose(file_);
}

std::vector<std::uint8_t> ReadOnlyFile::readAt(std::int64_t offset, std::size_t count)
{
    std::vector<std::uint8_t> bytes;
    if (!file_ || offset < 0 || offset >= size_)
        return bytes;
    const auto available = static_cast<std::uint64_t>(size_ - offset);
    if (count > available)
        count = static_cast<std::size_t>(available);
    if (fseeko(file_, static_cast<off_t>(offset), SEEK_SET) != 0)
        return bytes;
    bytes.resize(count);
    bytes.resize(std::fread(bytes.data(), 1, count, file_));
    return bytes;
}

bool ReadOnlyFile::readExact(std::int64_t offset, std::size_t count, std::uint8_t* out)
{
    if (!file_ || offset < 0 || offset > size_ ||
        static_cast<std::uint64_t>(size_ - offset) < count)
        return false;
    if (fseeko(file_, static_cast<off_t>(offset), SEEK_SET) != 0)
        return false;
    return std::fread(out, 1, count, file_) == count;
}

}  // namespace tags
