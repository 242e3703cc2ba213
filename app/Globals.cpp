#include "app/Globals.h"

std::string Mp3Path;
std::vector<std::string> MusicFolders;
