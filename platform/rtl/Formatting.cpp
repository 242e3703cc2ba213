#include "platform/rtl/Formatting.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <tuple>
#include <vector>

namespace rtl {

namespace {

// Days since 1970-01-01 of a civil date, and back (proleptic Gregorian).
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + int64_t(doe) - 719468;
}

void civilFromDays(int64_t z, int& y, int& m, int& d)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = int(doy - (153 * mp + 2) / 5 + 1);
    m = int(mp < 10 ? mp + 3 : mp - 9);
    y = int(int64_t(yoe) + era * 400 + (m <= 2));
}

constexpr int64_t kEpochOffset = 25569;  // days from 1899-12-30 to 1970-01-01

struct Parts {
    int year, month, day, hour, minute, second, msec;
};

Parts split(TDateTime dt)
{
    int64_t days = int64_t(std::trunc(dt));
    double frac = std::fabs(dt - std::trunc(dt));
    int64_t ms = std::llround(frac * MSecsPerDay);  // whole milliseconds first
    if (ms >= int64_t(MSecsPerDay)) {
        ms -= int64_t(MSecsPerDay);
        days += dt >= 0 ? 1 : -1;
    }
    Parts p{};
    civilFromDays(days - kEpochOffset, p.year, p.month, p.day);
    p.hour = int(ms / 3600000);
    p.minute = int(ms / 60000 % 60);
    p.second = int(ms / 1000 % 60);
    p.msec = int(ms % 1000);
    return p;
}

std::string pad(int v, int width)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*d", width, v);
    return buf;
}

int countRun(const std::string& f, size_t i, char lower)
{
    int n = 0;
    while (i + n < f.size() && (f[i + n] | 0x20) == lower) ++n;
    return n;
}

}  // namespace

TDateTime EncodeDate(int year, int month, int day)
{
    return double(daysFromCivil(year, unsigned(month), unsigned(day)) + kEpochOffset);
}

TDateTime EncodeTime(int hour, int minute, int second, int msec)
{
    return (((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + msec) / MSecsPerDay;
}

TDateTime Now()
{
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::system_clock::now().time_since_epoch()).count() % 1000;
    return EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) +
           EncodeTime(local.tm_hour, local.tm_min, local.tm_sec, int(ms));
}

namespace {

// The Japanese eras from their first day (Gregorian): a date belongs to the last era that
// began on or before it. Dates before the first era have no era name and count the Western
// year.
struct Era {
    int year, month, day;
    const char* name;
};
constexpr Era kEras[] = {
    {1868, 1, 25, "明治"}, {1912, 7, 30, "大正"}, {1926, 12, 25, "昭和"},
    {1989, 1, 8, "平成"}, {2019, 5, 1, "令和"},
};

const Era* eraOf(const Parts& p)
{
    const Era* found = nullptr;
    for (const Era& e : kEras)
        if (std::make_tuple(p.year, p.month, p.day) >= std::make_tuple(e.year, e.month, e.day))
            found = &e;
    return found;
}

const char* const kShortDayNames[] = {"日", "月", "火", "水", "木", "金", "土"};

bool startsWithNoCase(const std::string& f, size_t i, const char* word)
{
    for (size_t k = 0; word[k]; ++k)
        if (i + k >= f.size() || (f[i + k] | 0x20) != word[k])
            return false;
    return true;
}

// Whether the pattern asks for a 12-hour clock: an "AM/PM" or "ampm" outside quotes anywhere
// in it turns every hour of the pattern into 1..12.
bool usesTwelveHours(const std::string& f)
{
    for (size_t i = 0; i < f.size(); ++i) {
        if (f[i] == '\'' || f[i] == '"') {
            const size_t end = f.find(f[i], i + 1);
            if (end == std::string::npos)
                return false;
            i = end;
        } else if (startsWithNoCase(f, i, "am/pm") || startsWithNoCase(f, i, "ampm")) {
            return true;
        }
    }
    return false;
}

// Day of the week of a civil date, 0 = Sunday.
int dayOfWeek(const Parts& p)
{
    const int64_t days = daysFromCivil(p.year, unsigned(p.month), unsigned(p.day));
    return int(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
}

}  // namespace

std::string FormatDateTime(const std::string& f, TDateTime dt)
{
    const Parts p = split(dt);
    const bool twelve = usesTwelveHours(f);
    const int hour = twelve ? (p.hour % 12 == 0 ? 12 : p.hour % 12) : p.hour;
    const bool pm = p.hour >= 12;
    std::string out;
    bool afterHour = false;
    for (size_t i = 0; i < f.size();) {
        const char c = f[i];
        const char lc = char(c | 0x20);
        if (c == '\'' || c == '"') {
            const size_t end = f.find(c, i + 1);
            out += f.substr(i + 1, end == std::string::npos ? std::string::npos : end - i - 1);
            i = end == std::string::npos ? f.size() : end + 1;
            continue;
        }
        if (lc == 'a') {
            if (startsWithNoCase(f, i, "am/pm")) {
                out += f.substr(pm ? i + 3 : i, 2);  // in the pattern's own case
                i += 5;
            } else if (startsWithNoCase(f, i, "ampm")) {
                out += pm ? "午後" : "午前";
                i += 4;
            } else {
                const int n = countRun(f, i, 'a');
                if (n >= 3)
                    out += std::string(kShortDayNames[dayOfWeek(p)]) + (n >= 4 ? "曜日" : "");
                else
                    out.append(f, i, size_t(n));
                i += size_t(n);
            }
            continue;
        }
        if (lc == 'g' || lc == 'e') {
            const int n = countRun(f, i, lc);
            const Era* era = eraOf(p);
            if (lc == 'g') {
                // One letter: the era's first character; more: its whole name.
                const std::string name = era ? era->name : "";
                out += n == 1 ? name.substr(0, name.empty() ? 0 : 3) : name;
            } else {
                out += pad(era ? p.year - era->year + 1 : p.year, n >= 2 ? 2 : 1);
            }
            i += size_t(n);
            continue;
        }
        if (lc == 'y' || lc == 'm' || lc == 'd' || lc == 'h' || lc == 'n' || lc == 's' || lc == 'z') {
            const int n = countRun(f, i, lc);
            switch (lc) {
            case 'y': out += n <= 2 ? pad(p.year % 100, 2) : pad(p.year, 4); break;
            case 'm':
                if (afterHour) out += pad(p.minute, n >= 2 ? 2 : 1);
                else out += pad(p.month, n >= 2 ? 2 : 1);
                break;
            case 'd': out += pad(p.day, n >= 2 ? 2 : 1); break;
            case 'h': out += pad(hour, n >= 2 ? 2 : 1); break;
            case 'n': out += pad(p.minute, n >= 2 ? 2 : 1); break;
            case 's': out += pad(p.second, n >= 2 ? 2 : 1); break;
            case 'z': out += n >= 3 ? pad(p.msec, 3) : std::to_string(p.msec); break;
            }
            afterHour = lc == 'h';
            i += size_t(n);
            continue;
        }
        out += c;
        ++i;
    }
    return out;
}

namespace {

struct Section {
    std::string prefix, suffix;
    int minInt = 0;
    int minFrac = 0, maxFrac = 0;
    bool thousands = false;
    bool hasDigits = false;
};

Section parseSection(const std::string& s)
{
    Section sec;
    size_t first = s.find_first_of("0#"), last = s.find_last_of("0#");
    if (first == std::string::npos) {
        sec.prefix = s;
        return sec;
    }
    sec.hasDigits = true;
    const size_t dot = s.find('.', first);
    if (dot != std::string::npos && dot > last)
        last = dot;
    sec.prefix = s.substr(0, first);
    sec.suffix = s.substr(last + 1);
    bool inFrac = false;
    for (size_t i = first; i <= last; ++i) {
        const char c = s[i];
        if (c == '.') inFrac = true;
        else if (c == ',' && !inFrac) sec.thousands = true;
        else if (c == '0') { if (inFrac) { ++sec.minFrac; ++sec.maxFrac; } else ++sec.minInt; }
        else if (c == '#' && inFrac) ++sec.maxFrac;
    }
    return sec;
}

// Decimal digits of |v| rounded half away from zero at `decimals` places.
std::string fixedDigits(double v, int decimals, std::string& intPart, std::string& fracPart)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15e", std::fabs(v));  // 16 significant digits
    std::string mant;
    for (const char* p = buf; *p && *p != 'e'; ++p)
        if (*p != '.') mant += *p;
    const int exp = std::atoi(std::strchr(buf, 'e') + 1);
    // Digits of the number as integer part (exp + 1 digits) and fraction.
    const int point = exp + 1;
    std::string digits = mant;
    int pointPos = point;
    if (pointPos <= 0) {
        digits.insert(0, size_t(1 - pointPos), '0');
        pointPos = 1;
    }
    if (int(digits.size()) < pointPos + decimals + 1)
        digits.append(size_t(pointPos + decimals + 1 - int(digits.size())), '0');
    const int keep = pointPos + decimals;
    const bool up = digits[size_t(keep)] >= '5';
    digits.resize(size_t(keep));
    if (up) {
        int i = keep - 1;
        while (i >= 0 && digits[size_t(i)] == '9') digits[size_t(i--)] = '0';
        if (i >= 0) ++digits[size_t(i)];
        else { digits.insert(0, "1"); ++pointPos; }
    }
    intPart = digits.substr(0, size_t(pointPos));
    fracPart = digits.substr(size_t(pointPos));
    return digits;
}

}  // namespace

std::string FormatFloat(const std::string& format, double value)
{
    std::vector<std::string> sections{""};
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == ';') sections.emplace_back();
        else sections.back() += format[i];
    }
    if (!std::isfinite(value))
        return std::isnan(value) ? "NAN" : value > 0 ? "INF" : "-INF";
    const std::string* pick = &sections[0];
    bool negative = value < 0;
    if (negative && sections.size() >= 2 && !sections[1].empty()) {
        pick = &sections[1];
        negative = false;  // the section shows its own sign
    }
    const Section sec = parseSection(*pick);
    if (!sec.hasDigits)
        return (value < 0 && pick == &sections[0] ? "-" : "") + sec.prefix;
    std::string ip, fp;
    fixedDigits(value, sec.maxFrac, ip, fp);
    const bool zero = ip.find_first_not_of('0') == std::string::npos && fp.find_first_not_of('0') == std::string::npos;
    if (zero && sections.size() >= 3 && !sections[2].empty() && pick == &sections[0])
        return FormatFloat(sections[2], 0.0);
    if (zero)
        negative = false;
    // Integer part: drop leading zeros down to minInt digits.
    size_t lead = ip.find_first_not_of('0');
    ip = lead == std::string::npos ? "" : ip.substr(lead);
    if (int(ip.size()) < sec.minInt) ip.insert(0, size_t(sec.minInt - int(ip.size())), '0');
    if (sec.thousands)
        for (int i = int(ip.size()) - 3; i > 0; i -= 3) ip.insert(size_t(i), ",");
    // Fraction: drop trailing zeros down to minFrac digits.
    while (int(fp.size()) > sec.minFrac && !fp.empty() && fp.back() == '0') fp.pop_back();
    std::string out = (negative ? "-" : "") + sec.prefix + ip;
    if (!fp.empty()) out += "." + fp;
    return out + sec.suffix;
}

}  // namespace rtl
