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

// The held lock, or null when another running program holds it (or the folder cannot take
// a lock file: then the program must not start a second copy blindly either). Keep the
// result alive while the program runs.
std::unique_ptr<QLockFile> OpenInstanceMutex(const std::string& Folder);
