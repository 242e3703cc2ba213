#include "util/Cp932.h"

#include "platform/rtl/AsciiCase.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>
#include <stdexcept>

namespace cp932 {
namespace {

// One converter per direction and thread; iconv_open loads a table and is worth keeping.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from))
    {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " + to);
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    enum class Stop { Done, Invalid, Incomplete };

    // Converts as much of `in` as possible, appending to `out`; advances `in`.
    Stop run(std::string_view& in, std::string& out)
    {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char buf[1024];
        while (!in.empty()) {
            char* src = const_cast<char*>(in.data());
            size_t srcLeft = in.size();
            char* dst = buf;
            size_t dstLeft = sizeof buf;
            size_t r = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
            out.append(buf, static_cast<size_t>(dst - buf));
            in.remove_prefix(in.size() - srcLeft);
            if (r == static_cast<size_t>(-1)) {
                if (errno == E2BIG)
                    continue;
                return errno == EINVAL ? Stop::Incomplete : Stop::Invalid;
            }
        }
        return Stop::Done;
    }

private:
    iconv_t cd_;
};

Converter& decoder()
{
    thread_local Converter c("UTF-8", "CP932");
    return c;
}

Converter& encoder()
{
    thread_local Converter c("CP932", "UTF-8");
    return c;
}

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// Length of the well-formed UTF-8 sequence at the start of `s`, or 0 when it is malformed.
size_t utf8SequenceLength(std::string_view s)
{
    if (s.empty())
        return 0;
    auto b = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
    unsigned char c = b(0);
    if (c < 0x80)
        return 1;
    size_t n;
    unsigned lo = 0x80, hi = 0xBF;
    if (c >= 0xC2 && c <= 0xDF)
        n = 2;
    else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        if (c == 0xE0) lo = 0xA0;
        if (c == 0xED) hi = 0x9F;  // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        if (c == 0xF0) lo = 0x90;
        if (c == 0xF4) hi = 0x8F;
    } else
        return 0;
    if (s.size() < n)
        return 0;
    if (b(1) < lo || b(1) > hi)
        return 0;
    for (size_t i = 2; i < n; ++i)
        if (b(i) < 0x80 || b(i) > 0xBF)
            return 0;
    return n;
}

}  // namespace

std::string toUtf8(std::string_view sjis)
{
    // Most tag texts are plain ASCII, which CP932 keeps as it is (0x5C and 0x7E included).
    if (rtl::IsAscii(sjis))
        return std::string(sjis);
    std::string out;
    out.reserve(sjis.size() * 3 / 2);
    while (!sjis.empty()) {
        if (decoder().run(sjis, out) == Converter::Stop::Done)
            break;
        out += kReplacement;
        sjis.remove_prefix(1);
    }
    return out;
}

std::optional<std::string> encode(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    if (encoder().run(utf8, out) != Converter::Stop::Done)
        return std::nullopt;
    return out;
}

std::string encodeLossy(std::string_view utf8, char fallback)
{
    std::string out;
    out.reserve(utf8.size());
    while (!utf8.empty()) {
        if (encoder().run(utf8, out) == Converter::Stop::Done)
            break;
        out += fallback;
        size_t n = utf8SequenceLength(utf8);
        utf8.remove_prefix(n ? n : 1);
    }
    return out;
}

bool canEncode(std::string_view utf8)
{
    return encode(utf8).has_value();
}

bool isValidUtf8(std::string_view text)
{
    while (!text.empty()) {
        size_t n = utf8SequenceLength(text);
        if (n == 0)
            return false;
        text.remove_prefix(n);
    }
    return true;
}

std::size_t byteLength(std::string_view utf8)
{
    return encodeLossy(utf8).size();
}

std::string_view cutToBytes(std::string_view utf8, std::size_t maxBytes)
{
    std::size_t used = 0;
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        size_t n = utf8SequenceLength(utf8.substr(pos));
        if (n == 0)
            n = 1;
        size_t bytes;
        if (n == 1)
            bytes = 1;  // ASCII, or an invalid byte written as one fallback byte
        else
            bytes = encodeLossy(utf8.substr(pos, n)).size();
        if (used + bytes > maxBytes)
            break;
        used += bytes;
        pos += n;
    }
    return utf8.substr(0, pos);
}

std::string fromUtf8OrCp932(std::string_view bytes)
{
    if (isValidUtf8(bytes))
        return std::string(bytes);
    return toUtf8(bytes);
}

namespace {

// One part of a name: as it is when UTF-8, decoded when it is clean CP932, escaped otherwise.
void appendNamePart(std::string_view part, std::string& out)
{
    if (isValidUtf8(part)) {
        out += part;
        return;
    }
    std::string decoded;
    if (std::string_view in = part; decoder().run(in, decoded) == Converter::Stop::Done) {
        out += decoded;
        return;
    }
    static constexpr char hex[] = "0123456789ABCDEF";
    while (!part.empty()) {
        if (const size_t n = utf8SequenceLength(part)) {
            out += part.substr(0, n);
            part.remove_prefix(n);
            continue;
        }
        const auto b = static_cast<unsigned char>(part.front());
        out += "\\x";
        out += hex[b >> 4];
        out += hex[b & 15];
        part.remove_prefix(1);
    }
}

}  // namespace

std::string nameForDisplay(std::string_view name)
{
    if (isValidUtf8(name))
        return std::string(name);
    // '/' is never the second byte of a CP932 character, so each part decodes on its own: a
    // UTF-8 folder above a Shift-JIS file keeps its own reading.
    std::string out;
    out.reserve(name.size() * 3 / 2);
    for (;;) {
        const size_t slash = name.find('/');
        appendNamePart(name.substr(0, slash), out);
        if (slash == std::string_view::npos)
            break;
        out += '/';
        name.remove_prefix(slash + 1);
    }
    return out;
}

}  // namespace cp932
