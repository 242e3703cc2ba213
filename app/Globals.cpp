#include "app/Globals.h"

std::string IniBase;
