// The date of a disc as the CD player's edit mode stores it: numbers joined by single "/".
#pragma once

#include <string>

// Trimmed; every character other than a digit becomes "/", runs of "/" shrink to one, and a
// leading and a trailing "/" go: "1998-10-03" -> "1998/10/03", "/1998/" -> "1998".
std::string NormalizeDate(const std::string& S);
