// The genre history of the tag dialogs: the genres typed before that are not standard genre
// names, offered in a second drop-down beside the standard list. It is kept in the settings
// file's section [TAG_GENRE] as keys "1".."n"; the dialogs load it when they are created and
// write it back when they close, so a genre typed in one dialog is offered in the next.
// The history lives in the combo box's items while a dialog is open.
// User-interface thread only.
#pragma once

#include <string>

namespace controls {
class TComboBox;
}
namespace rtl {
class TStringList;
}

// The history as the settings file holds it (empty values left out).
void LoadGenreHistory(rtl::TStringList& History);
// Replaces [TAG_GENRE] by the history; raises EIniFileError when the file cannot be written.
void SaveGenreHistory(const rtl::TStringList& History);

// Adds Genre to the history when it is in neither Standard nor History (the empty name is a
// standard one); true when it was added.
bool AddGenreHistory(rtl::TStringList& History, const rtl::TStringList& Standard,
                     const std::string& Genre);

// Removes the chosen history entry, if any, and chooses Genre's entry again.
void DeleteGenreHistory(controls::TComboBox& History, const std::string& Genre);

// Chooses Genre's entry of the history (none when it has none).
void SyncGenreHistory(controls::TComboBox& History, const std::string& Genre);
