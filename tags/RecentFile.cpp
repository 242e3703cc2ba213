#include "tags/RecentFile.h"

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QThread>

namespace tags {

namespace {

// A change this long before our look at a file can no longer share its time stamp with a
// change after it, whatever the file system's time granularity.
constexpr long kSettledSeconds = 1;

struct KeptFile {
    std::string path;  // of the latest open on this thread
    unsigned turn = 0;  // counts the opens on this thread
    int fd = -1;        // kept descriptor of `path`, or -1
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

bool sameTime(const struct timespec& a, const struct timespec& b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

bool unchanged(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size && a.st_mode == b.st_mode &&
           a.st_uid == b.st_uid && a.st_gid == b.st_gid && sameTime(a.st_ctim, b.st_ctim) &&
           sameTime(a.st_mtim, b.st_mtim);
}

// The change time is set by the kernel's clock on every change and cannot be set back by a
// program, so it is what tells a later change apart.
bool settled(const struct stat& status)
{
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
    return status.st_ctim.tv_sec < now.tv_sec - kSettledSeconds;
}

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
    turn_ = ++kept.turn;
    if (kept.fd >= 0 && kept.path == path) {
        struct stat now {};
        if (::stat(path.c_str(), &now) == 0 && unchanged(now, kept.status)) {
            fd_ = kept.fd;
            status_ = kept.status;
            keepable_ = true;
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
    keepable_ = fd_ >= 0 && settled(status_);
}

RecentFd::~RecentFd()
{
    if (fd_ < 0)
        return;
    // Kept only when no other file was opened on this thread since.
    if (keepable_ && kept.turn == turn_ && kept.fd < 0 && mayKeep()) {
        kept.fd = fd_;
        kept.status = status_;
        queueClose();
        return;
    }
    ::close(fd_);
}

}  // namespace tags
