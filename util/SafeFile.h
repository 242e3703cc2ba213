// Writing users' files without ever leaving them half-written.
//
// `replaceFile` builds the new contents of a file in a temporary file beside it (same folder, so
// the rename stays on one file system), gives it the original's permissions, flushes it and the
// folder to disk, renames it over the original and flushes the folder again: at every instant
// the path names either the complete old file or the complete new one. The in-place writers
// (`writeAt`, `writeAll`) are for changes that touch only a known region, where a failure is
// reported and can damage nothing outside that region.
//
// Every byte written through this unit passes one test hook, `setWriteBudget`, so that tests can
// make the disk "fill up" after any number of bytes and check what is left behind.
//
// Plain POSIX calls on file descriptors; no shared state except the test hook, which is meant
// to be set by single-threaded tests only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace safefile {

// Test hook: after `bytes` further bytes have been written through this unit, every write fails
// as a full disk would (ENOSPC). A negative value (the default) switches the hook off.
void setWriteBudget(long long bytes);

// Writes all of `data` at the current position / at `offset`; false on any failure.
[[nodiscard]] bool writeAll(int fd, std::string_view data);
[[nodiscard]] bool writeAt(int fd, std::uint64_t offset, std::string_view data);

// Flushes a file written in place to disk: at once, or, while a `DeferredSync` lives, at its
// `flush`. False when the flush failed.
[[nodiscard]] bool flushInPlace(int fd);

// Gathers the disk flushes of in-place writes (a bulk change of many files) into one flush of
// each file system they touched, instead of one device flush per file. While it lives,
// `flushInPlace` only notes the file's file system; `flush` writes them out (syncfs) and
// tells whether all of that reached the disk. The destructor flushes what is left. One at a
// time, on one thread; files replaced through a temporary file are flushed at once as ever.
class DeferredSync {
public:
    DeferredSync();
    ~DeferredSync();
    DeferredSync(const DeferredSync&) = delete;
    DeferredSync& operator=(const DeferredSync&) = delete;
    [[nodiscard]] bool flush();
};

// Reads exactly `length` bytes at `offset` into `out`; false on an error or a short file.
[[nodiscard]] bool readAt(int fd, std::uint64_t offset, std::uint64_t length, std::string& out);

// Reads exactly `length` bytes at `offset` into `out`, which has room for them; false on an
// error or a short file.
[[nodiscard]] bool readInto(int fd, std::uint64_t offset, char* out, std::size_t length);

// Copies `length` bytes of `in` starting at `offset` to the current position of `out`, through
// a fixed buffer; false on any failure or when `in` ends early.
[[nodiscard]] bool copyRange(int in, std::uint64_t offset, std::uint64_t length, int out);

// Replaces the file at `path` (an existing regular file; a symbolic link is followed and its
// target replaced) by what `produce` writes to the descriptor it is given (a fresh, empty
// temporary file). When `produce` returns false or any step fails, the temporary file is removed,
// the original is left as it was and the result is false.
[[nodiscard]] bool replaceFile(const std::string& path, const std::function<bool(int fd)>& produce);

// Gives the file at `path` exactly `contents` the same way, creating it with `mode` (less the
// umask) when it does not exist yet. On failure errno tells why.
[[nodiscard]] bool writeFileAtomically(const std::string& path, std::string_view contents,
                                       int mode = 0666);

}  // namespace safefile
