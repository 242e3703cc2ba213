// Floating-point values to and from text by the run-time library's rules: `FloatToStrF` with
// its five formats, `FloatToStr` (general, 15 digits) and `StrToFloat`. The separators and the
// currency layouts are those of the Japanese settings the program runs with: "." decimal
// point, "," thousands, "¥" before the amount, "-¥1" for a negative amount, no decimals by
// default.
//
// Rounding works on the decimal digits of the value (17 significant digits, enough to hold a
// double exactly) and takes halves away from zero, so 0.125 at two decimals is "0.13" and
// not the binary tie-break's "0.12". Pure functions; any thread.
#pragma once
#include <stdexcept>
#include <string>

namespace rtl {

enum TFloatFormat { ffGeneral, ffExponent, ffFixed, ffNumber, ffCurrency };

// The locale settings the formats use.
inline constexpr char DecimalSeparator = '.';
inline constexpr char ThousandSeparator = ',';
inline constexpr const char* CurrencyString = "\xC2\xA5";  // U+00A5 YEN SIGN
// Positive "¥1" (CurrencyFormat 0) and negative "-¥1" (NegCurrFormat 1).
inline constexpr int CurrencyFormat = 0;
inline constexpr int NegCurrFormat = 1;

// Raised for text that is not a number (StrToFloat here; the text routines of util too).
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Precision: significant digits (1..18; double holds no more than 17). Digits: the exponent's
// minimum digit count (0..4) for ffGeneral and ffExponent, the decimals (0..18) for the
// others. ffGeneral writes the shortest text: fixed notation while the integer part has at
// most Precision digits and |value| >= 0.00001, else "1.5E15" / "1E-6". ffExponent always
// writes Precision digits and a signed exponent ("1.235E+03"). ffFixed, ffNumber (with
// thousands separators) and ffCurrency fall back to the general form when the integer part
// has more than Precision digits. NaN and the infinities are "NAN", "INF" and "-INF".
std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits);
// FloatToStrF(value, ffGeneral, 15, 0).
std::string FloatToStr(double value);

// Optional blanks, sign, digits with at most one decimal separator, an optional exponent
// ("E", sign, digits), optional blanks. TryStrToFloat answers false for anything else (and
// for values beyond the range of a double); StrToFloat raises EConvertError.
bool TryStrToFloat(const std::string& text, double& value);
double StrToFloat(const std::string& text);

}  // namespace rtl
