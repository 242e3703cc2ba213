// Text compared without regard to letter case the way a user means it: every letter of any
// script, full-width Latin included, folded by Unicode's case folding. (Names the settings file
// compares, and extensions, use ASCII case only: platform/rtl/AsciiCase.h.)
// Pure function, any thread.
#pragma once

#include <string>
#include <string_view>

// The UTF-8 text case-folded; texts that fold alike are the same without regard to case.
std::string CaseFolded(std::string_view Text);
// Appends the case-folded Text to Out: for many texts folded into one buffer.
void AppendCaseFolded(std::string_view Text, std::string& Out);
