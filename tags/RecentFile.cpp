#include "tags/RecentFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QThread>

namespace tags {

namespace {

struct KeptFile {
    // Of the latest open on this thread. Whichever descriptor is kept under it, a stat of the
    // path must find the descriptor's file before it is handed out.
    std::string path;
    int fd = -1;
    struct stat status {};
    bool closeQueued = false;

    ~KeptFile() { drop(); }
    void drop()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
};

thread_local KeptFile kept;

// Who may keep a descriptor, and who closes it: the application's thread, whose event loop
// closes it, or any thread of a program without an application object.
bool mayKeep()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return !app || app->thread() == QThread::currentThread();
}

void queueClose()
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || kept.closeQueued)
        return;
    kept.closeQueued = true;
    QMetaObject::invokeMethod(
        app,
        [] {
            kept.closeQueued = false;
            kept.drop();
        },
        Qt::QueuedConnection);
}

}  // namespace

RecentFd::RecentFd(const std::string& path)
{
    // The kept descriptor holds its inode, so no other file can have taken its number: the same
    // device and inode are the same file, and the fresh status gives its size and mode now.
    if (kept.fd >= 0 && kept.path == path) {
        if (::stat(path.c_str(), &status_) == 0 && status_.st_dev == kept.status.st_dev &&
            status_.st_ino == kept.status.st_ino && S_ISREG(status_.st_mode)) {
            fd_ = kept.fd;
            kept.fd = -1;
            return;
        }
    }
    kept.drop();
    kept.path = path;
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ >= 0 && (::fstat(fd_, &status_) != 0 || !S_ISREG(status_.st_mode))) {
        ::close(fd_);
        fd_ = -1;
    }
}

RecentFd::~RecentFd()
{
    if (fd_ < 0)
        return;
    if (kept.fd < 0 && mayKeep()) {
        kept.fd = fd_;
        kept.status = status_;
        queueClose();
        return;
    }
    ::close(fd_);
}

}  // namespace tags
