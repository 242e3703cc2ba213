// Read-only opens for the header and tag readers that remember the last file: the details of a
// file read its tag and then its audio information, two readers of the same file in a row. The
// descriptor of the file a reader has finished with stays open, one per thread, and the next
// reader of the same path takes it instead of opening the file again, once a stat of the path
// finds the same file there (device and inode). Nothing of the file's contents is kept: what is
// read through the descriptor, and the status of that stat, are the file as it is now, however
// it was rewritten in place since; a file replaced under its name is opened afresh.
//
// On the thread of the application object the kept descriptor is closed as soon as the event
// loop runs again, so no file stays open while the program waits for the user (a stick could
// not be unmounted); without an application object (tools, tests, benchmarks) it is closed by
// the next open or when the thread ends. Other threads keep nothing.
#pragma once

#include <string>

#include <sys/stat.h>

namespace tags {

class RecentFd {
public:
    // Opens `path` for reading (without blocking on a FIFO), or takes back the kept
    // descriptor; not valid when it cannot be opened or is no regular file.
    explicit RecentFd(const std::string& path);
    // Hands the descriptor back to be kept for the next reader, or closes it.
    ~RecentFd();
    RecentFd(const RecentFd&) = delete;
    RecentFd& operator=(const RecentFd&) = delete;

    bool valid() const { return fd_ >= 0; }
    int get() const { return fd_; }
    // The file's status when it was opened or taken back.
    const struct stat& status() const { return status_; }

private:
    int fd_ = -1;
    struct stat status_ {};
};

}  // namespace tags
