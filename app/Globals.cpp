#include "app/Globals.h"

std::vector<std::string> MusicFolders;
