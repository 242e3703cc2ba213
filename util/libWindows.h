// Plain routines over the operating system that the windows share: the program folder,
// special folders, file operations and the like. None keeps state between calls.
//
// User-interface thread only.
#pragma once

#include <string>

// The folder of the running program, without a trailing "/". When that folder is not
// writable (an installed program), the program's own folder under $XDG_DATA_HOME
// (~/.local/share/Tambourelle), created when missing, since the settings file and the work
// files live in the folder this names.
std::string GetAppDir();

// The folder GetAppDir gives for a program that lies in ProgramDir.
std::string AppDirFor(const std::string& ProgramDir);
