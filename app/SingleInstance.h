// The single-instance test of the program start: a lock file in the user's runtime folder
// stands for the desktop-wide named mutex "MutexObjectForFlorvennic". The first process holds
// the lock for its whole life; a second start finds it held and ends without a word. A lock
// left behind by a process that died is taken over (QLockFile checks the owner's process id).
//
// UI thread, before any window exists.
#pragma once

#include <memory>
#include <string>

class QLockFile;

inline constexpr const char* InstanceMutexName = "MutexObjectForFlorvennic";

// The folder the lock lives in: $XDG_RUNTIME_DIR, else the system's temporary folder.
std::string InstanceLockFolder();

// Null when another running program holds the lock; otherwise the lock to keep alive while
// the program runs. A folder that cannot take a lock file at all does not keep the program
// from starting: the returned lock is then not held and guards nothing.
std::unique_ptr<QLockFile> OpenInstanceMutex(const std::string& Folder);
