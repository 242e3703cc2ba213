#include "util/libText.h"

#include "util/Cp932.h"
#include "util/Utf16.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <system_error>

namespace {

constexpr unsigned char kVoicedMark = 0xDE;      // half-width "ﾞ"
constexpr unsigned char kSemiVoicedMark = 0xDF;  // half-width "ﾟ"

unsigned char byteAt(std::string_view s, std::size_t i)
{
    return static_cast<unsigned char>(s[i]);
}

bool isFullWidthSpace(std::string_view s, std::size_t i)
{
    return i + 1 < s.size() && byteAt(s, i) == 0x81 && byteAt(s, i + 1) == 0x40;
}

// Full-width forms of the half-width katakana 0xA1..0xDF, in byte order.
constexpr std::array<char16_t, 63> kKanaFullWidth = {
    u'。', u'「', u'」', u'、', u'・', u'ヲ', u'ァ', u'ィ', u'ゥ', u'ェ', u'ォ', u'ャ', u'ュ',
    u'ョ', u'ッ', u'ー', u'ア', u'イ', u'ウ', u'エ', u'オ', u'カ', u'キ', u'ク', u'ケ', u'コ',
    u'サ', u'シ', u'ス', u'セ', u'ソ', u'タ', u'チ', u'ツ', u'テ', u'ト', u'ナ', u'ニ', u'ヌ',
    u'ネ', u'ノ', u'ハ', u'ヒ', u'フ', u'ヘ', u'ホ', u'マ', u'ミ', u'ム', u'メ', u'モ', u'ヤ',
    u'ユ', u'ヨ', u'ラ', u'リ', u'ル', u'レ', u'ロ', u'ワ', u'ン', u'゛', u'゜',
};

// CP932 bytes of the full-width forms, per single source byte and per kana followed by a
// voiced or semi-voiced mark; empty where the byte has no full-width form.
struct FullWidthTables {
    std::array<std::string, 256> single;
    std::array<std::string, 256> voiced;
    std::array<std::string, 256> semiVoiced;

    FullWidthTables()
    {
        auto set = [](std::string& slot, char32_t cp) {
            std::string utf8;
            utf16::appendUtf8(utf8, cp);
            slot = cp932::encode(utf8).value_or("");
        };
        set(single[0x20], U'\u3000');
        for (unsigned b = 0x21; b <= 0x7E; ++b)
            set(single[b], 0xFF01 + (b - 0x21));
        for (unsigned b = 0xA1; b <= 0xDF; ++b)
            set(single[b], kKanaFullWidth[b - 0xA1]);
        // ｶ..ﾄ and ﾊ..ﾎ have their voiced kana right after them; ﾊ..ﾎ the semi-voiced one next.
        for (unsigned b = 0xB6; b <= 0xC4; ++b)
            set(voiced[b], kKanaFullWidth[b - 0xA1] + 1);
        for (unsigned b = 0xCA; b <= 0xCE; ++b) {
            set(voiced[b], kKanaFullWidth[b - 0xA1] + 1);
            set(semiVoiced[b], kKanaFullWidth[b - 0xA1] + 2);
        }
        set(voiced[0xB3], U'ヴ');
    }
};

const FullWidthTables& fullWidthTables()
{
    static const FullWidthTables tables;
    return tables;
}

bool isHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

bool isAsciiDigit(char c) { return c >= '0' && c <= '9'; }

// Sign, digits with at most one ".", at least one digit, optional exponent: the syntax
// TextToFloat takes after normalisation.
bool isDecimalNumber(std::string_view s)
{
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '-' || s[i] == '+'))
        ++i;
    bool digits = false, dot = false;
    for (; i < s.size() && (isAsciiDigit(s[i]) || s[i] == '.'); ++i) {
        if (s[i] == '.') {
            if (dot)
                return false;
            dot = true;
        } else {
            digits = true;
        }
    }
    if (!digits)
        return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '-' || s[i] == '+'))
            ++i;
        if (i == s.size())
            return false;
        while (i < s.size() && isAsciiDigit(s[i]))
            ++i;
    }
    return i == s.size();
}

[[noreturn]] void throwNotANumber(std::string_view s)
{
    throw EConvertError("\"" + cp932::toUtf8(s) + "\" is not a valid number");
}

// Digits of a non-negative integral value grouped by threes with ",".
std::string groupedDigits(long double value)
{
    char buf[5000];  // long double's largest finite value has 4933 digits
    // Counts (frames, bytes, seconds) are whole numbers: they skip the floating-point printer,
    // which a folder's audio details would otherwise call thousands of times.
    const bool whole = value < 9e15L && value == std::floor(value);
    const int n = whole ? int(std::to_chars(buf, buf + sizeof buf, static_cast<std::uint64_t>(value)).ptr - buf)
                        : std::snprintf(buf, sizeof buf, "%.0Lf", value);
    std::string_view digits(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += ',';
        out += digits[i];
    }
    return out;
}

}  // namespace

bool IsLeadByte(unsigned char C)
{
    return (C >= 0x81 && C <= 0x9F) || (C >= 0xE0 && C <= 0xFC);
}

bool IsTrailByte(unsigned char C)
{
    return (C >= 0x40 && C <= 0x7E) || (C >= 0x80 && C <= 0xFC);
}

bool IsDigitChar(char C)
{
    return isAsciiDigit(C);
}

bool IsControlChar(char C)
{
    return static_cast<unsigned char>(C) < 0x20;
}

char UpperChar(char C)
{
    return static_cast<char>(C & ~0x20);
}

bool IsNumericText(std::string_view S)
{
    if (!S.empty() && S.front() == '-')
        S.remove_prefix(1);
    bool digits = false, dot = false;
    for (char c : S) {
        if (c == '.') {
            if (dot)
                return false;
            dot = true;
        } else if (isAsciiDigit(c)) {
            digits = true;
        } else {
            return false;
        }
    }
    return digits;
}

std::string ToFullWidth(std::string_view S)
{
    const auto& t = fullWidthTables();
    std::string out;
    out.reserve(S.size() * 2);
    for (std::size_t i = 0; i < S.size();) {
        std::size_t len = CharLength(S, i);
        unsigned char b = byteAt(S, i);
        if (len == 1 && i + 1 < S.size()) {
            unsigned char mark = byteAt(S, i + 1);
            const std::string* joined = mark == kVoicedMark ? &t.voiced[b]
                                      : mark == kSemiVoicedMark ? &t.semiVoiced[b] : nullptr;
            if (joined && !joined->empty()) {
                out += *joined;
                i += 2;
                continue;
            }
        }
        if (len == 1 && !t.single[b].empty())
            out += t.single[b];
        else
            out.append(S.substr(i, len));
        i += len;
    }
    return out;
}

std::string TrimBlanks(std::string_view S)
{
    // Walk from the start so that a trail byte 0x81 followed by "@" is never taken for the
    // second half of a full-width space.
    std::size_t begin = std::string_view::npos, end = 0;
    for (std::size_t i = 0; i < S.size();) {
        std::size_t len = CharLength(S, i);
        bool blank = len == 1 ? S[i] == ' ' : isFullWidthSpace(S, i);
        if (!blank) {
            if (begin == std::string_view::npos)
                begin = i;
            end = i + len;
        }
        i += len;
    }
    if (begin == std::string_view::npos)
        return {};
    return std::string(S.substr(begin, end - begin));
}

std::string LeftText(std::string_view S, std::uint16_t N)
{
    return std::string(S.substr(0, N));
}

std::string RightText(std::string_view S, std::uint16_t N)
{
    return std::string(S.substr(S.size() - std::min<std::size_t>(N, S.size())));
}

std::string WideLeftText(std::u16string_view W, std::uint16_t N)
{
    W = W.substr(0, N);
    if (!W.empty() && isHighSurrogate(W.back()))
        W.remove_suffix(1);
    return cp932::encodeLossy(utf16::unitsToUtf8(W));
}

std::string WideRightText(std::u16string_view W, std::uint16_t N)
{
    W = W.substr(W.size() - std::min<std::size_t>(N, W.size()));
    if (!W.empty() && isLowSurrogate(W.front()))
        W.remove_prefix(1);
    return cp932::encodeLossy(utf16::unitsToUtf8(W));
}

std::size_t CharLength(std::string_view S, std::size_t Pos)
{
    if (Pos + 1 < S.size() && IsLeadByte(byteAt(S, Pos)) && IsTrailByte(byteAt(S, Pos + 1)))
        return 2;
    return 1;
}

std::string LeftTextWhole(std::string_view S, std::size_t N)
{
    std::size_t end = 0;
    while (end < S.size() && end + CharLength(S, end) <= N)
        end += CharLength(S, end);
    return std::string(S.substr(0, end));
}

std::string RightTextWhole(std::string_view S, std::size_t N)
{
    std::size_t first = S.size() - std::min(N, S.size());
    std::size_t pos = 0;
    while (pos < first)
        pos += CharLength(S, pos);
    return std::string(S.substr(pos));
}

std::string NormalizeNumberText(std::string_view S)
{
    std::string t = TrimBlanks(S);
    if (t.empty() || t == "." || t == "+" || t == "-")
        return "0";
    if (t.starts_with("-."))
        return "-0" + t.substr(1);
    return t;
}

long double TextToFloat(std::string_view S)
{
    const std::string text = NormalizeNumberText(S);
    if (!isDecimalNumber(text))
        throwNotANumber(S);
    std::string_view digits = text;
    if (digits.front() == '+')
        digits.remove_prefix(1);
    long double value = 0;
    auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc() || ptr != digits.data() + digits.size())
        throwNotANumber(S);
    return value;
}

namespace {

std::string padTo(std::string result, std::int32_t Width)
{
    if (Width > 0) {
        std::string padded = std::string(40, ' ') + result;
        result = padded.substr(padded.size() - std::min<std::size_t>(static_cast<std::size_t>(Width), padded.size()));
    }
    return result;
}

}  // namespace

std::string FormatGrouped(std::string_view S, std::int32_t Width)
{
    std::string result;
    if (!S.empty()) {
        std::size_t dot = S.find('.');
        std::string_view integer = S.substr(0, dot);
        long double value = std::round(TextToFloat(integer));
        bool negative = value < 0 || TrimBlanks(integer).starts_with('-');
        result = (negative ? "-" : "") + groupedDigits(std::fabs(value));
        if (dot != std::string_view::npos)
            result += "." + std::string(S.substr(dot + 1));
    }
    return padTo(std::move(result), Width);
}

std::string FormatFloatGrouped(long double Value, std::int32_t Width)
{
    // A whole number has no fraction to carry: grouped straight away, not written out and
    // read back (below 2^53, where the double of the long way holds it exactly).
    if (std::fabs(Value) < 9e15L && Value == std::floor(Value))
        return padTo((std::signbit(Value) ? "-" : "") + groupedDigits(std::fabs(Value)), Width);
    char buf[400];  // fixed notation of the largest double has 309 digits
    auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, static_cast<double>(Value), std::chars_format::fixed);
    if (ec != std::errc())
        throw EConvertError("the number cannot be written as text");
    return FormatGrouped(std::string_view(buf, static_cast<std::size_t>(ptr - buf)), Width);
}

void SwallowEnterEsc(char& Key)
{
    if (Key == '\r' || Key == '\x1B')
        Key = '\0';
}

std::string TrimBlanksUtf8(std::string_view S)
{
    const std::string_view wide = "\xE3\x80\x80";
    for (bool again = true; again;) {
        again = false;
        for (std::string_view blank : {std::string_view(" "), wide}) {
            while (S.size() >= blank.size() && S.substr(0, blank.size()) == blank)
                S.remove_prefix(blank.size()), again = true;
            while (S.size() >= blank.size() && S.substr(S.size() - blank.size()) == blank)
                S.remove_suffix(blank.size()), again = true;
        }
    }
    return std::string(S);
}
