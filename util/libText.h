// Plain routines over Shift-JIS (code page 932) byte strings, the text of the fixed-width
// fields, number edits and tag texts that the windows share: byte classification, trimming
// that knows the full-width space, full-width conversion, byte cuts, and the tolerant number
// parsing and grouped formatting of the numeric fields.
//
// Every routine takes and returns CP932 bytes in a std::string; UTF-8 text goes through
// util/Cp932.h first. Positions count bytes. One byte is one character for ASCII and
// half-width katakana; a lead byte and a trail byte make every other character. `LeftText`
// and `RightText` cut bytes as asked; the `...Whole` variants never split a character.
//
// Pure functions, safe on any thread. Grouping uses the Japanese "," separator whatever the
// machine's locale is.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/rtl/FloatFormat.h"

// Raised for text that is not a number: the run-time library's one conversion error.
using EConvertError = rtl::EConvertError;

bool IsLeadByte(unsigned char C);
bool IsTrailByte(unsigned char C);
bool IsDigitChar(char C);
bool IsControlChar(char C);
// Bit 5 cleared whatever the character: upper case for ASCII letters only.
char UpperChar(char C);

// An optional leading "-", then digits with at most one "." and at least one digit.
bool IsNumericText(std::string_view S);

// ASCII, space and half-width katakana become their full-width forms; a half-width kana
// followed by a voiced or semi-voiced mark becomes the one voiced full-width kana.
std::string ToFullWidth(std::string_view S);

// Without leading and trailing ASCII spaces and full-width spaces (0x81 0x40). Tabs stay.
std::string TrimBlanks(std::string_view S);
// The same for UTF-8 text: ASCII spaces and U+3000 off both ends.
std::string TrimBlanksUtf8(std::string_view S);

// The first / last N bytes (all of S when N exceeds its length); may split a character.
std::string LeftText(std::string_view S, std::uint16_t N);
std::string RightText(std::string_view S, std::uint16_t N);

// The first / last N UTF-16 code units of W (a surrogate pair is never split), as CP932;
// characters CP932 cannot hold become "?".
std::string WideLeftText(std::u16string_view W, std::uint16_t N);
std::string WideRightText(std::u16string_view W, std::uint16_t N);

// Bytes of the character that starts at Pos (0-based): 2 for a lead byte followed by a
// trail byte, 1 otherwise (a lead byte cut off at the end counts as one byte).
std::size_t CharLength(std::string_view S, std::size_t Pos);
// The longest prefix / suffix of at most N bytes that does not split a character.
std::string LeftTextWhole(std::string_view S, std::size_t N);
std::string RightTextWhole(std::string_view S, std::size_t N);

// Trimmed; "", ".", "+" and "-" become "0"; "-.5" becomes "-0.5".
std::string NormalizeNumberText(std::string_view S);
// Decimal number (sign, digits, one ".", exponent) of NormalizeNumberText(S); raises
// EConvertError for anything else.
long double TextToFloat(std::string_view S);

// The integer part grouped by threes with ",", then "." and the fraction unchanged; right
// aligned in Width bytes when Width > 0 (at most 40 blanks of padding, a longer result loses
// its leading bytes). Raises EConvertError when the integer part is not a number.
std::string FormatGrouped(std::string_view S, std::int32_t Width);
std::string FormatFloatGrouped(long double Value, std::int32_t Width);

// Key-press filter: Enter and Esc become 0 so single-line edits do not beep.
void SwallowEnterEsc(char& Key);
