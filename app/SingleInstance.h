// The single-instance test of the program start: a lock file stands for the desktop-wide named
// mutex "MutexObjectForFlorvennic", one per user and display (the mutex belonged to the user's
// desktop session). The first process holds an flock on the file for its whole life; a second
// start by the same user on the same display finds it held and ends without a word. The system
// lets go of an flock when its holder dies, so a file left behind never keeps anyone out, and
// since the name is the user's own, another user's file never stands in the way either.
//
// UI thread, before any window exists.
#pragma once

#include <memory>
#include <string>

inline constexpr const char* InstanceMutexName = "MutexObjectForFlorvennic";

// The lock file for user Uid on Display ($WAYLAND_DISPLAY, else $DISPLAY; empty without one).
// It lives in RuntimeDir when that is a folder the user owns ($XDG_RUNTIME_DIR is private to
// its user; su and sudo may pass on another user's), else in TempDir under a name that carries
// the uid.
std::string InstanceLockPath(const std::string& RuntimeDir, const std::string& TempDir, unsigned Uid,
                             const std::string& Display);
// The same for this process, from its environment.
std::string InstanceLockPath();

// A taken lock; closing its file lets go of it.
class InstanceLock {
public:
    explicit InstanceLock(int Fd) : fd_(Fd) {}
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
    // False when the file could not be used, and the lock guards nothing.
    bool isLocked() const { return fd_ >= 0; }

private:
    int fd_;
};

// Null when another running process holds the lock at Path; otherwise the lock to keep alive
// while the program runs. A lock file that cannot be used (a folder we may not write, a name
// taken by something that is not our own plain file) does not keep the program from starting:
// the returned lock then is not held.
std::unique_ptr<InstanceLock> OpenInstanceMutex(const std::string& Path);
