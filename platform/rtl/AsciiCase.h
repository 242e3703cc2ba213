// Letter case of ASCII text, the way the program compares names without regard to case
// (settings sections and keys, file extensions, sorted lists): only A-Z and a-z change; every
// other byte, CP932 and UTF-8 bytes included, stays as it is, whatever the C locale says.
// Pure functions, any thread.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace rtl {

constexpr char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

inline std::string LowerAscii(std::string s)
{
    for (char& c : s)
        c = LowerAscii(c);
    return s;
}

constexpr char UpperAscii(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - ('a' - 'A')) : c;
}

inline std::string UpperAscii(std::string s)
{
    for (char& c : s)
        c = UpperAscii(c);
    return s;
}

// Whether every byte is ASCII (below 0x80): such a text reads the same in UTF-8, CP932 and
// UTF-16 (unit for byte), and its case folds by the routines above.
inline bool IsAscii(std::string_view s)
{
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Equal but for the case of ASCII letters.
inline bool SameAsciiText(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

}  // namespace rtl
