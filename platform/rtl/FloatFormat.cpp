#include "platform/rtl/FloatFormat.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace rtl {

namespace {

// A value as 0.d1d2d3... x 10^exponent: no leading or trailing zero digits; no digits is zero.
struct Decimal {
    bool negative = false;
    std::string digits;
    int exponent = 0;
};

// The value rounded (halves away from zero) to at most `precision` significant digits and at
// most `decimals` digits after the decimal point.
Decimal toDecimal(double value, int precision, int decimals)
{
    Decimal d;
    if (value == 0)
        return d;
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.16e", std::fabs(value));
    std::string digits;
    const char* p = buf;
    for (; *p && *p != 'e'; ++p)
        if (*p != '.')
            digits += *p;
    int exponent = std::atoi(p + 1) + 1;
    const long long wanted = std::min<long long>(precision, static_cast<long long>(exponent) + decimals);
    if (wanted < 0)
        return d;
    const size_t keep = size_t(wanted);
    if (keep < digits.size()) {
        const bool up = digits[keep] >= '5';
        digits.resize(keep);
        if (up) {
            size_t i = keep;
            while (i > 0 && digits[i - 1] == '9')
                digits[--i] = '0';
            if (i > 0) {
                ++digits[i - 1];
            } else {
                digits.insert(digits.begin(), '1');
                ++exponent;
            }
        }
    }
    while (!digits.empty() && digits.back() == '0')
        digits.pop_back();
    if (digits.empty())
        return d;
    d.negative = value < 0;
    d.digits = std::move(digits);
    d.exponent = exponent;
    return d;
}

// The exponent's text: sign ("-" only, or always with `plus`) and at least `minDigits` digits.
std::string exponentText(int exponent, int minDigits, bool plus)
{
    std::string n = std::to_string(std::abs(exponent));
    if (int(n.size()) < minDigits)
        n.insert(0, size_t(minDigits - int(n.size())), '0');
    return std::string("E") + (exponent < 0 ? "-" : plus ? "+" : "") + n;
}

// Digit i of the value (0 = the first significant one), zero past the end.
char digitAt(const Decimal& d, long i)
{
    return i >= 0 && i < long(d.digits.size()) ? d.digits[size_t(i)] : '0';
}

std::string integerPart(const Decimal& d, bool thousands)
{
    std::string s;
    for (long i = 0; i < d.exponent; ++i)
        s += digitAt(d, i);
    if (s.empty())
        s = "0";
    if (thousands)
        for (long i = long(s.size()) - 3; i > 0; i -= 3)
            s.insert(size_t(i), 1, ThousandSeparator);
    return s;
}

std::string formatGeneral(double value, int precision, int expDigits)
{
    const Decimal d = toDecimal(value, precision, INT_MAX / 2);
    if (d.digits.empty())
        return "0";
    std::string s = d.negative ? "-" : "";
    // 0.00001 is 0.1E-4: fixed notation down to that exponent.
    if (d.exponent <= precision && d.exponent >= -4) {
        s += integerPart(d, false);
        if (long(d.digits.size()) > d.exponent) {
            s += DecimalSeparator;
            for (long i = d.exponent; i < long(d.digits.size()); ++i)
                s += digitAt(d, i);
        }
        return s;
    }
    s += d.digits[0];
    if (d.digits.size() > 1)
        s += DecimalSeparator + d.digits.substr(1);
    return s + exponentText(d.exponent - 1, expDigits, false);
}

std::string formatExponent(double value, int precision, int expDigits)
{
    const Decimal d = toDecimal(value, precision, INT_MAX / 2);
    std::string s = d.negative ? "-" : "";
    s += digitAt(d, 0);
    if (precision > 1) {
        s += DecimalSeparator;
        for (int i = 1; i < precision; ++i)
            s += digitAt(d, i);
    }
    return s + exponentText(d.digits.empty() ? 0 : d.exponent - 1, expDigits, true);
}

std::string formatFixed(double value, TFloatFormat format, int precision, int decimals)
{
    const Decimal d = toDecimal(value, precision, decimals);
    if (d.exponent > precision)
        return formatGeneral(value, precision, 0);
    std::string number = integerPart(d, format != ffFixed);
    if (decimals > 0) {
        number += DecimalSeparator;
        for (long i = 0; i < decimals; ++i)
            number += digitAt(d, d.exponent + i);
    }
    if (format != ffCurrency)
        return (d.negative ? "-" : "") + number;
    static_assert(CurrencyFormat == 0 && NegCurrFormat == 1, "the layouts written below");
    return (d.negative ? "-" : "") + std::string(CurrencyString) + number;
}

}  // namespace

std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits)
{
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value > 0 ? "INF" : "-INF";
    precision = std::clamp(precision, 1, 18);
    switch (format) {
    case ffGeneral: return formatGeneral(value, precision, std::clamp(digits, 0, 4));
    case ffExponent: return formatExponent(value, precision, std::clamp(digits, 0, 4));
    case ffFixed:
    case ffNumber:
    case ffCurrency: return formatFixed(value, format, precision, std::clamp(digits, 0, 18));
    }
    return formatGeneral(value, precision, 0);
}

std::string FloatToStr(double value)
{
    return FloatToStrF(value, ffGeneral, 15, 0);
}

bool TryStrToFloat(const std::string& text, double& value)
{
    size_t b = 0, e = text.size();
    while (b < e && static_cast<unsigned char>(text[b]) <= ' ')
        ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ')
        --e;
    // Checked by hand, so that only the library's own syntax passes (no "inf", no hex).
    std::string plain;
    size_t i = b;
    if (i < e && (text[i] == '+' || text[i] == '-'))
        plain += text[i++];
    bool digits = false, point = false;
    for (; i < e; ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            digits = true;
            plain += c;
        } else if (c == DecimalSeparator && !point) {
            point = true;
            plain += '.';
        } else {
            break;
        }
    }
    if (!digits)
        return false;
    if (i < e && (text[i] == 'e' || text[i] == 'E')) {
        plain += 'e';
        ++i;
        if (i < e && (text[i] == '+' || text[i] == '-'))
            plain += text[i++];
        bool expDigits = false;
        for (; i < e && text[i] >= '0' && text[i] <= '9'; ++i) {
            expDigits = true;
            plain += text[i];
        }
        if (!expDigits)
            return false;
    }
    if (i != e)
        return false;
    const char* first = plain.data() + (plain[0] == '+' ? 1 : 0);
    double v = 0;
    const auto [end, ec] = std::from_chars(first, plain.data() + plain.size(), v);
    if (ec != std::errc() || end != plain.data() + plain.size())
        return false;
    value = v;
    return true;
}

double StrToFloat(const std::string& text)
{
    double v = 0;
    if (!TryStrToFloat(text, v))
        throw EConvertError("'" + text + "' is not a valid floating point value");
    return v;
}

}  // namespace rtl
