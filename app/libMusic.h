// Small routines of the music library that the main window and its dialogs share: which
// files count as music, the date and time stamps that make work-file names unique, and the
// writer of list-valued settings sections.
//
// User-interface thread only (WriteListSection goes through the settings file).
#pragma once

#include <string>
#include <vector>

class QDate;
class QTime;

// The extensions of the files the player lists, as the folder dialog shows them.
inline constexpr const char* MusicFileExtensions = ".au;.aif;.wav;.mp1;.mp2;.mp3;.wma;.mpa";

// True when Name (a file name or a path) ends in one of MusicFileExtensions, compared as a
// whole extension without regard to letter case. A path that names an existing folder is
// refused however it is named; a name that does not exist is judged by its extension alone.
bool IsMusicFile(const std::string& Name);

// Today as YYYYMMDD and now as HHMMSSmmm (local time), each field zero-padded and cut to
// its width. The overloads format a given date or time.
std::string MakeDateStamp();
std::string MakeDateStamp(const QDate& Date);
std::string MakeTimeStamp();
std::string MakeTimeStamp(const QTime& Time);

// Replaces the settings section Section (in the file IniBase names) by List as the keys
// "1".."N" in order. Raises EIniFileError when the file cannot be written.
void WriteListSection(const std::string& Section, const std::vector<std::string>& List);

class QWidget;

// The program's message box as every window asks its questions: DefaultButton (1..3) as
// number, Buttons "y", "yn", "yc" or "ync" (any letter case), Icon "!", "?", "i" or "x".
// Returns 6 yes, 7 no, 2 cancel.
int MsgBoxEx(QWidget* Owner, const std::string& Caption, const std::string& Text,
             int DefaultButton, const std::string& Buttons, const std::string& Icon);
