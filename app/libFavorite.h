// The favourites store: named, saved playlists kept in the settings file (the file IniBase
// names). [Favorite] lists the names as keys "1".."N" in tree order; [Favorite_<name>] lists
// one favourite's file paths as keys "1".."N" in playlist order. Every routine reads what it
// needs, changes it and writes it back before it returns; nothing is cached.
//
// Names are compared without regard to letter case when looking for a name that exists
// (FavoriteExists, AddFavoriteName, the clash test of RenameFavorite) and exactly when
// choosing the name to delete or rename. Paths are compared without regard to case.
//
// Refusals. A name that clashes with another favourite is refused by a false result. A name
// that the settings file could not give back as it was written is refused by
// EFavoriteNameError, before anything is written:
// - a new name (AddFavoriteName, the target of RenameFavorite) must pass IsValidFavoriteName;
// - the other routines take any name a favourite can have, older files' names with "]" or
//   "=" included, but refuse names no favourite can have (empty, blanks at either end,
//   control characters), which would otherwise reach a different favourite's section.
// Write failures of the file itself raise EIniFileError (util/libIni.h).
//
// Unlike older versions of the program, a favourite's section never outlives its name:
// deleting a favourite erases its entries, a new favourite starts empty even when an old
// section of its name was left in the file, and renaming replaces whatever the target
// section held.
//
// User-interface thread only.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

class EFavoriteNameError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// True for a name the settings file keeps as it is: not empty, valid UTF-8, no control
// characters (line breaks included), no blank at either end, no "]" or "=", not wrapped in
// double quotes, at most 2047 characters.
bool IsValidFavoriteName(const std::string& Name);

// True when A and B name the same favourite: equal when their letter case is ignored.
bool SameFavoriteName(const std::string& A, const std::string& B);

void ReadFavoriteNames(std::vector<std::string>& List);
bool FavoriteExists(const std::string& Name);

// Appends Name to [Favorite] unless a favourite of that name exists; true when appended.
[[nodiscard]] bool AddFavoriteName(const std::string& Name);

// Removes the first name equal to Name and its section; nothing when there is none.
void DeleteFavorite(const std::string& Name);

void ReadFavoriteItems(std::vector<std::string>& List, const std::string& Name);

// Removes the first entry equal to Path (exactly) and renumbers the rest.
void DeleteFavoriteItem(const std::string& Name, const std::string& Path);

// Renames the first favourite named exactly FromName to ToName and moves its entries to
// [Favorite_ToName], replacing what that section held. False, with nothing changed, when
// there is no such favourite or ToName is the name of another favourite.
[[nodiscard]] bool RenameFavorite(const std::string& FromName, const std::string& ToName);

// Adds, after the stored entries, each path of Paths that is not stored yet.
void AppendFavoriteItems(const std::string& Name, const std::vector<std::string>& Paths);

// Replaces the entries of the favourite by Paths.
void WriteFavoriteItems(const std::string& Name, const std::vector<std::string>& Paths);
