// File access shared by the ID3 tag classes: the status words of a failed file operation, the
// "read-only" test and a descriptor that closes itself. Runs on whatever thread uses the tags.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <sys/stat.h>

namespace id3file {

// Failure codes of the file layer, in the high byte of a tag status word.
constexpr std::uint16_t kOpenFailed = 0x100;
constexpr std::uint16_t kReadOnlyFile = 0x200;
constexpr std::uint16_t kReadFailed = 0x300;
constexpr std::uint16_t kWriteFailed = 0x400;

// A failure code combined with the information bits gathered so far.
constexpr std::uint16_t fail(std::uint16_t status, std::uint16_t code)
{
    return static_cast<std::uint16_t>((status & 0xFF) | code);
}

bool isRegularFile(const std::string& path);

// The stand-in for the read-only attribute: nobody may write the file (no write bit at all,
// which also holds for root) or we may not.
bool isReadOnly(const std::string& path);

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd();
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }

private:
    int fd_;
};

// isReadOnly judged from a status at hand: no write bit at all, or none for our user and
// groups (access lists and read-only mounts are not looked at).
bool isReadOnly(const struct stat& status);

// Opens an existing regular file; an invalid Fd on failure.
Fd openForReading(const std::string& path);
Fd openForWriting(const std::string& path);

std::optional<std::uint64_t> fileSize(int fd);

}  // namespace id3file
