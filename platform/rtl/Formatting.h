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
// z zzz; "AM/PM" (AM or PM in the pattern's own case) and "ampm" (午前 or 午後), either of
// which anywhere in the pattern makes every hour 1..12; g (the Japanese era's first
// character), gg or ggg (its name: 明治, 大正, 昭和, 平成, 令和) and e, ee (the year of the era,
// the Western year before 明治); aaa (土) and aaaa (土曜日) for the weekday. "/" and ":" stand
// for themselves; text in '...' or "..." is copied, an unclosed quote copying the rest of the
// pattern; anything else is copied as it is.
std::string FormatDateTime(const std::string& format, TDateTime dt);

// Pattern: "0" a digit always shown, "#" a digit shown when significant, "." the decimal
// point, "," anywhere in the integer part turns on thousands separators; up to three
// sections "positive;negative;zero"; other characters are copied. Halves round away from
// zero in decimal.
std::string FormatFloat(const std::string& format, double value);

}  // namespace rtl
