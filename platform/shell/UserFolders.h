// The user's folders as the freedesktop conventions name them: the XDG user directories
// (desktop, documents, music, ...), the menu and autostart folders, the user's font folder
// and the trash. These stand in for the shell's special folders of the program's Windows
// origin. Nothing is cached: every call reads the environment and user-dirs.dirs afresh,
// so a changed $HOME or $XDG_CONFIG_HOME takes effect at once.
//
// Any thread; the trash routine touches the file system.
#pragma once

#include <string>
#include <vector>

namespace shell {

enum class UserFolder {
    Desktop,
    Applications,   // the user's menu entries ($XDG_DATA_HOME/applications)
    Recent,         // no folder on Linux (recent files are one .xbel list): empty
    Documents,
    Autostart,      // $XDG_CONFIG_HOME/autostart
    Music,
    SendTo,         // no equivalent on Linux: empty
    Fonts,          // $XDG_DATA_HOME/fonts
    Trash,          // the files/ folder of the home trash
};

// The folder's path without a trailing "/", or empty where Linux has no such folder. The
// folder is not created.
std::string userFolderPath(UserFolder folder);

// $XDG_CONFIG_HOME (default ~/.config), where mimeapps.list lives.
std::string configHomePath();
// The folders searched for desktop entries (each + "/applications"): $XDG_DATA_HOME first,
// then $XDG_DATA_DIRS (default /usr/local/share:/usr/share).
std::vector<std::string> dataFolderPaths();

// The home trash of the freedesktop trash: $XDG_DATA_HOME/Trash, holding
// files/ and info/<name>.trashinfo.
std::string homeTrashPath();

// Moves a file or folder into the trash (with its .trashinfo record, so the desktop's
// trash can restore it). False when the path does not exist or cannot be moved.
[[nodiscard]] bool moveToTrash(const std::string& path);

}  // namespace shell
