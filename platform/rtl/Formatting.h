// Text from dates and numbers by the run-time library's pattern rules, for the patterns the
// windows use ("nn:ss" of a play position, "hh:nn:ss", "yyyy/mm/dd", "0.0", "#,##0").
// `TDateTime` counts days since 1899-12-30 with the time of day as the fraction; the time is
// rounded to whole milliseconds before it is split, as the original library did. Decimal
// point "." and thousands separator "," (the Japanese settings). Pure functions; any thread.
#pragma once
#include <cstdint>
#include <string>

namespace rtl {

using TDateTime = double;

constexpr double MSecsPerDay = 86400000.0;

TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int msec);
// The local date and time now.
TDateTime Now();

// Pattern letters: y yy yyyy, m mm (minutes right after h or hh), d dd, h hh, n nn, s ss,
// z zzz; "/" and ":" stand for themselves; text in '...' or "..." is copied; anything else
// is copied as it is.
std::string FormatDateTime(const std::string& format, TDateTime dt);

// Pattern: "0" a digit always shown, "#" a digit shown when significant, "." the decimal
// point, "," anywhere in the integer part turns on thousands separators; up to three
// sections "positive;negative;zero"; other characters are copied. Halves round away from
// zero in decimal.
std::string FormatFloat(const std::string& format, double value);

}  // namespace rtl
