// The desktop's AutoPlay handler for audio CDs: the x-content/audio-cdda default in the
// user's mimeapps.list ($XDG_CONFIG_HOME) and the program's own desktop entry
// (tambourelle-audiocd.desktop in $XDG_DATA_HOME/applications) whose Exec line is the
// command that plays a disc. Writes change only their one key and file; every other byte
// of the file stays as it was, and the file is replaced through a temporary file.
//
// Any thread; nothing is cached.
#pragma once

#include <string>

namespace shell {

inline constexpr const char* kAudioCdMimeType = "x-content/audio-cdda";
inline constexpr const char* kAudioCdDesktopEntry = "tambourelle-audiocd.desktop";

// The desktop entry that [Default Applications] names for audio CDs; empty when none.
std::string audioCdHandler();
// Names `entry` as the audio-CD handler; an empty `entry` removes the key.
[[nodiscard]] bool setAudioCdHandler(const std::string& entry);

// The desktop entry that [Default Applications] names first for `mimeType`; empty when none.
std::string defaultApplication(const std::string& mimeType);
// The value of `key` in a desktop entry found in the data folders; empty when there is none.
std::string desktopEntryKey(const std::string& entry, const std::string& key);
// The Exec line of a desktop entry found in the data folders; empty when there is none.
std::string desktopEntryExec(const std::string& entry);
// Sets the Exec line of the program's own entry, creating the entry when missing.
[[nodiscard]] bool setOwnAudioCdCommand(const std::string& command);

}  // namespace shell
