#include "util/Utf16.h"

#include <QString>

namespace utf16 {

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string unitsToUtf8(std::u16string_view w)
{
    std::string out;
    for (std::size_t i = 0; i < w.size(); ++i) {
        char32_t c = w[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < w.size() && w[i + 1] >= 0xDC00 && w[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (w[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        appendUtf8(out, c);
    }
    return out;
}

std::string toUtf8(std::string_view d, bool bigEndian)
{
    if (d.size() >= 2) {
        auto b0 = static_cast<unsigned char>(d[0]), b1 = static_cast<unsigned char>(d[1]);
        if ((b0 == 0xFF && b1 == 0xFE) || (b0 == 0xFE && b1 == 0xFF)) {
            bigEndian = b0 == 0xFE;
            d.remove_prefix(2);
        }
    }
    std::u16string units(d.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i) {
        auto a = static_cast<unsigned char>(d[2 * i]), b = static_cast<unsigned char>(d[2 * i + 1]);
        units[i] = static_cast<char16_t>(bigEndian ? (a << 8 | b) : (b << 8 | a));
    }
    return unitsToUtf8(units);
}

std::string fromUtf8(std::string_view utf8, bool bigEndian)
{
    QString s = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    std::string out;
    if (!bigEndian)
        out = "\xFF\xFE";
    for (QChar c : s) {
        char16_t u = c.unicode();
        char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    }
    return out;
}

}  // namespace utf16
