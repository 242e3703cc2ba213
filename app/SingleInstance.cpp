#include "app/SingleInstance.h"

#include <QDir>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A display name as part of a file name: ":0" and ":0.0" are one display (the screen number
// goes), and nothing but letters, digits, '.', '-' and '_' remains.
std::string displayKey(std::string display)
{
    const auto colon = display.rfind(':');
    if (colon != std::string::npos) {
        if (const auto dot = display.find('.', colon); dot != std::string::npos)
            display.resize(dot);
        if (colon == 0)
            display.erase(0, 1);
    }
    if (const auto slash = display.rfind('/'); slash != std::string::npos)
        display.erase(0, slash + 1);   // a Wayland socket given by its full path
    for (char& c : display) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           c == '.' || c == '-' || c == '_';
        if (!plain)
            c = '_';
    }
    return display;
}

bool isOwnFolder(const std::string& path, unsigned uid)
{
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == uid;
}

}  // namespace

std::string InstanceLockPath(const std::string& RuntimeDir, const std::string& TempDir, unsigned Uid,
                             const std::string& Display)
{
    const std::string key = displayKey(Display);
    const std::string onDisplay = key.empty() ? std::string() : "-" + key;
    if (isOwnFolder(RuntimeDir, Uid))
        return RuntimeDir + "/" + InstanceMutexName + onDisplay + ".lock";
    return TempDir + "/" + InstanceMutexName + "-" + std::to_string(Uid) + onDisplay + ".lock";
}

std::string InstanceLockPath()
{
    QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty())
        display = qEnvironmentVariable("DISPLAY");
    return InstanceLockPath(qEnvironmentVariable("XDG_RUNTIME_DIR").toStdString(), QDir::tempPath().toStdString(),
                            unsigned(::geteuid()), display.toStdString());
}

InstanceLock::~InstanceLock()
{
    if (fd_ >= 0)
        ::close(fd_);
}

std::unique_ptr<InstanceLock> OpenInstanceMutex(const std::string& Path)
{
    // Never through a symbolic link, and only a plain file of our own: in a shared folder
    // anyone may have put something under our name, and writing our process id into it must
    // not touch a file of someone else's.
    const int fd = ::open(Path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return std::make_unique<InstanceLock>(-1);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
        ::close(fd);
        return std::make_unique<InstanceLock>(-1);
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool held = errno == EWOULDBLOCK;
        ::close(fd);
        return held ? nullptr : std::make_unique<InstanceLock>(-1);
    }
    // The holder's process id, for whoever looks at the file; the lock itself is the flock.
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, pid.data(), pid.size(), 0) != ssize_t(pid.size())) {
        // Only the note is missing; the lock holds.
    }
    return std::make_unique<InstanceLock>(fd);
}
