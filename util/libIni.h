// Access to the program's one settings file. Every routine takes the file's base name (the
// path without ".ini"), opens the file, does one thing and closes it again, so no settings
// object lives between calls and every change is on disk when the routine returns.
//
// The file is a plain INI text in UTF-8 (one written as CP932 by an older program is still
// read). Section and key names are compared without regard to case, keys keep the order in
// which they were first written, values are read trimmed of surrounding blanks and of one
// pair of enclosing double quotes, and a value read is cut to 2047 characters. Everything
// else in the file (comments, other sections, blank lines) is kept as it is.
//
// A write replaces the file through a temporary file in the same folder (made first when it is
// missing), so a crash never leaves half a file; a write that cannot be done raises
// EIniFileError naming the file and the system's reason. While the program runs with
// IniKeepUnsavedInMemory set, such a file is kept in memory for the rest of the session
// instead: its writes succeed there, its reads see them, and the failure is told once.
//
// User-interface thread only: calls are not locked against each other.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include <QPoint>

class QWidget;

// The settings file's base name, the program folder + "/Tambourelle"; the settings routines
// append ".ini". Start-up sets it from GetAppDir() before any setting is read or written;
// tests point it at scratch folders.
extern std::string IniBase;

// The current music folder, without a trailing separator. Set by the main window; the
// windows below it find the tags' photos there.
extern std::string Mp3Path;

class EIniFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// From now on, a settings file that cannot be read or written is kept in memory for the rest
// of the session: the change that failed and every later one go there (the disk is not tried
// again) and every read of the file sees them. Tell hears of each such file once, with a
// message naming it and the system's reason, after the change is in memory. An empty
// function ends the session: the files kept in memory are dropped and failed writes raise
// EIniFileError again.
void IniKeepUnsavedInMemory(std::function<void(const std::string& Message)> Tell);

std::string IniReadString(const std::string& BaseName, const std::string& Section,
                          const std::string& Key, const std::string& Default);
void IniWriteString(const std::string& BaseName, const std::string& Section,
                    const std::string& Key, const std::string& Value);

// Writes each key and value of Values into the section as IniWriteString would, in order,
// with one rewrite of the file: a long list costs one rewrite, never one per key.
void IniWriteStrings(const std::string& BaseName, const std::string& Section,
                     const std::vector<std::pair<std::string, std::string>>& Values);

// The names of the section's keys that hold a value (IniReadString gives them a non-empty
// text), each once, lower-cased in ASCII as keys compare.
std::unordered_set<std::string> IniReadValueKeys(const std::string& BaseName, const std::string& Section);

// Decimal text, or hexadecimal after "0x"/"0X"; Default when missing or not a number.
std::int32_t IniReadInteger(const std::string& BaseName, const std::string& Section,
                            const std::string& Key, std::int32_t Default);
void IniWriteInteger(const std::string& BaseName, const std::string& Section,
                     const std::string& Key, std::int32_t Value);

// An integer that is not 0; written as "1" or "0".
bool IniReadBool(const std::string& BaseName, const std::string& Section,
                 const std::string& Key, bool Default);
void IniWriteBool(const std::string& BaseName, const std::string& Section,
                  const std::string& Key, bool Value);
// The caller's own number for the value: the CD, recorder and label windows store true as
// -1 (or 255) and false as 0, as the files of older versions hold them.
void IniWriteBool(const std::string& BaseName, const std::string& Section,
                  const std::string& Key, int Value);

// Every key of the section with its value as IniReadString reads it, keyed by the key name
// lower-cased in ASCII (a key written twice gives its first value); nothing when the file has
// no such section.
std::optional<std::unordered_map<std::string, std::string>> IniReadSection(const std::string& BaseName,
                                                                           const std::string& Section);

void IniEraseSection(const std::string& BaseName, const std::string& Section);

// The section's non-empty values in key order (each key once), the key names dropped; each
// value wrapped in double quotes when Quote is set. List is cleared first.
void IniReadSectionList(const std::string& BaseName, const std::string& Section,
                        std::vector<std::string>& List, bool Quote);

// Replaces the section by the list's items as keys "1".."N" (an empty list removes it), in one
// write of the file: a long list costs one rewrite, and an interruption never leaves the
// section half-written.
void IniWriteSectionList(const std::string& BaseName, const std::string& Section,
                         const std::vector<std::string>& List);
// IniWriteSectionList on the settings file (IniBase).
void WriteListSection(const std::string& Section, const std::vector<std::string>& List);

// Position (KeyPrefix + "Top", "Left") and size (KeyPrefix + "Width", "Height") of a
// window; a missing key leaves that coordinate as it is, or takes DefaultSize (x = width,
// y = height).
void IniLoadFormPos(const std::string& BaseName, const std::string& Section,
                    const std::string& KeyPrefix, QWidget* Control);
void IniSaveFormPos(const std::string& BaseName, const std::string& Section,
                    const std::string& KeyPrefix, QWidget* Control);
void IniLoadFormSize(const std::string& BaseName, const std::string& Section,
                     const std::string& KeyPrefix, QPoint DefaultSize, QWidget* Control);
void IniSaveFormSize(const std::string& BaseName, const std::string& Section,
                     const std::string& KeyPrefix, QWidget* Control);
