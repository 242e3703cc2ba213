// Process-wide values that every window of the program shares. They are set once at start-up
// by the main window and read everywhere after that; tests point them at scratch folders.
//
// User-interface thread only.
#pragma once

#include "util/libIni.h"  // IniBase, Mp3Path

#include <string>
#include <vector>

// The registered music folders that exist, in registration order. Filled once the main
// window is visible, emptied by its close query.
extern std::vector<std::string> MusicFolders;
