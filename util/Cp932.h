// The one converter between the program's in-memory text (UTF-8) and Shift-JIS (code page
// 932), the encoding of the formats we share with Windows-era peers: ID3 text and CDDB replies.
// Conversion goes through iconv's CP932 table. Text is converted only at those boundaries.
//
// Decoding never fails: a byte that is not CP932 becomes U+FFFD. Encoding either refuses text
// CP932 cannot hold (`encode` gives nothing) or replaces each such character by a fallback
// byte (`encodeLossy`), so callers choose where text may not be lost silently.
//
// Thread-safe: each thread keeps its own converters.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace cp932 {

// CP932 bytes to UTF-8; undecodable bytes become U+FFFD.
std::string toUtf8(std::string_view sjis);

// UTF-8 to CP932, or nothing when a character has no CP932 form or the input is not UTF-8.
std::optional<std::string> encode(std::string_view utf8);

// UTF-8 to CP932 with each character that has no CP932 form (or each invalid UTF-8 byte)
// replaced by `fallback`.
std::string encodeLossy(std::string_view utf8, char fallback = '?');

// True when every character of the UTF-8 text has a CP932 form.
bool canEncode(std::string_view utf8);

// True for well-formed UTF-8 (no overlongs, surrogates or code points past U+10FFFF).
bool isValidUtf8(std::string_view text);

// Number of CP932 bytes of the text as `encodeLossy` writes it.
std::size_t byteLength(std::string_view utf8);

// The longest prefix of the UTF-8 text whose CP932 form (as `encodeLossy` writes it) fits in
// maxBytes; never splits a character.
std::string_view cutToBytes(std::string_view utf8, std::size_t maxBytes);

// Text of a file that should be UTF-8 but may have been written as CP932 by an older program:
// valid UTF-8 is returned as it is, anything else is decoded as CP932.
std::string fromUtf8OrCp932(std::string_view bytes);

// A file name or path as the user reads it. Linux names are bytes: most are UTF-8, but names
// unpacked from old archives are Shift-JIS (or anything). Each part between slashes that is
// not UTF-8 is read as CP932 when every byte of it decodes; otherwise its bytes that are not
// UTF-8 are shown escaped ("\xE9"), so that names differing there still look different. Only
// for showing: file operations keep the name's own bytes.
std::string nameForDisplay(std::string_view name);

}  // namespace cp932
