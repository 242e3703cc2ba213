// UTF-16 byte strings as the stored formats hold them (ID3v2 text frames): little- or big-endian
// code units, optionally behind a byte-order mark, converted to and from the program's UTF-8;
// and the same decoding for code units already in memory, and UTF-8 of one code point.
// Decoding never fails: unpaired surrogates become U+FFFD and an odd last byte is dropped.
// Pure functions; any thread.
#pragma once

#include <string>
#include <string_view>

namespace utf16 {

// A leading byte-order mark decides the byte order; without one, `bigEndian` does.
std::string toUtf8(std::string_view bytes, bool bigEndian);

// Little-endian with a leading byte-order mark, or big-endian without one.
std::string fromUtf8(std::string_view utf8, bool bigEndian);

// Code units (already in the machine's order) to UTF-8.
std::string unitsToUtf8(std::u16string_view units);

// One code point appended to UTF-8 text.
void appendUtf8(std::string& out, char32_t c);

}  // namespace utf16
