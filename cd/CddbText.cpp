#include "cd/CddbText.h"

#include "util/libText.h"

#include <algorithm>
#include <cctype>
#include <cstddef>

namespace {

constexpr std::size_t kMaxTracks = 99;
constexpr std::size_t kMaxTitleLineChars = 1024;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The lines of a text, without their "\r"; a final line break ends the last line rather than
// starting an empty one.
std::vector<std::string_view> linesOf(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        lines.push_back(line);
        if (eol == std::string_view::npos)
            break;
        text.remove_prefix(eol + 1);
    }
    return lines;
}

// The first `chars` characters of UTF-8 text (never splits one).
std::string_view firstChars(std::string_view s, std::size_t chars)
{
    for (std::size_t i = 0; i < s.size(); ++i)
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80 && chars-- == 0)
            return s.substr(0, i);
    return s;
}

// "TTITLEn=" with its number, or false for any other line.
bool trackLine(std::string_view line, std::size_t& number, std::string_view& text)
{
    if (!line.starts_with("TTITLE"))
        return false;
    line.remove_prefix(6);
    std::size_t digits = 0;
    number = 0;
    while (digits < line.size() && isDigit(line[digits])) {
        if (number < kMaxTracks * 10)
            number = number * 10 + std::size_t(line[digits] - '0');
        ++digits;
    }
    if (digits == 0 || digits >= line.size() || line[digits] != '=')
        return false;
    text = line.substr(digits + 1);
    return true;
}

// Four digits after "YEAR: ", or empty.
std::string yearOf(std::string_view extd)
{
    for (std::size_t at = extd.find("YEAR: "); at != std::string_view::npos; at = extd.find("YEAR: ", at + 1)) {
        const std::string_view digits = extd.substr(at + 6, 4);
        if (digits.size() == 4 && std::all_of(digits.begin(), digits.end(), isDigit))
            return std::string(digits);
    }
    return {};
}

}  // namespace

int CddbMapBody(std::string_view Body, std::string& Text)
{
    Text.clear();
    int code = 0;
    if (Body.size() >= 3 && std::all_of(Body.begin(), Body.begin() + 3, isDigit))
        code = (Body[0] - '0') * 100 + (Body[1] - '0') * 10 + (Body[2] - '0');
    const std::vector<std::string_view> lines = linesOf(Body);
    switch (code) {
    case 200:
        Text = TrimBlanksUtf8(lines.front().substr(3));
        return cddbExact;
    case 202: return cddbNoMatch;
    case 210:
    case 211:
        for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
            if (i > 1)
                Text += '\n';
            Text.append(lines[i]);
        }
        Text = TrimBlanksUtf8(Text);
        return cddbList;
    case 401: return cddbNotFound;
    case 409: return cddbServerError;
    case 500: return cddbSyntax;
    case 600:
    case 700: return cddbTimeOut;
    default: return cddbUnknown;
    }
}

bool ParseMatchLine(std::string_view Line, std::string& Category, std::string& DiscId, std::string& Rest)
{
    while (!Line.empty() && isDigit(Line.front()))
        Line.remove_prefix(1);
    const std::string text = TrimBlanksUtf8(Line);
    const std::size_t first = text.find(' ');
    Category = text.substr(0, first);
    DiscId.clear();
    Rest.clear();
    if (!Category.empty() && Category[0] >= 'a' && Category[0] <= 'z')
        Category[0] = char(Category[0] - 'a' + 'A');
    if (first == std::string::npos)
        return false;
    const std::size_t second = text.find(' ', first + 1);
    DiscId = text.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
    if (second == std::string::npos)
        return false;
    Rest = TrimBlanksUtf8(std::string_view(text).substr(second + 1));
    return true;
}

void ParseXmcdText(std::string_view Text, std::string& Year, std::vector<std::string>& Tracks, std::string& Title,
                   std::string& Artist)
{
    Year.clear();
    Title.clear();
    Artist.clear();
    Tracks.clear();
    std::string disc;
    bool inTitle = false, titleDone = false;
    for (std::string_view line : linesOf(Text)) {
        if (!titleDone && line.starts_with("DTITLE=")) {
            disc.append(firstChars(line.substr(7), kMaxTitleLineChars));
            inTitle = true;
            continue;
        }
        // The disc title is the first run of DTITLE lines only.
        titleDone = titleDone || inTitle;
        std::size_t number = 0;
        std::string_view title;
        if (trackLine(line, number, title)) {
            if (number < kMaxTracks) {
                if (Tracks.size() <= number)
                    Tracks.resize(number + 1);
                Tracks[number].append(firstChars(title, kMaxTitleLineChars));
            }
        } else if (Year.empty() && line.starts_with("EXTD=")) {
            Year = yearOf(line.substr(5));
        }
    }
    if (const std::size_t split = disc.find(" / "); split != std::string::npos) {
        Artist = disc.substr(0, split);
        Title = disc.substr(split + 3);
    }
}

bool HasXmcdTitles(std::string_view Text)
{
    std::size_t number = 0;
    std::string_view title;
    for (std::string_view line : linesOf(Text))
        if (line.starts_with("DTITLE=") || trackLine(line, number, title))
            return true;
    return false;
}
