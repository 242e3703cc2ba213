#include "util/libIni.h"

#include "platform/rtl/AsciiCase.h"
#include "util/Cp932.h"
#include "util/SafeFile.h"

#include <QWidget>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>
#include <utility>

// The file is kept as its lines, grouped by section, so that a write changes only the one
// line it must and leaves comments, blank lines and unknown lines exactly as they were.

std::string IniBase;
std::string Mp3Path;

namespace {

constexpr std::size_t kMaxValueChars = 2047;

struct Line {
    std::string text;
    std::string key;  // trimmed key of a "key=value" line; empty for any other line
};

struct Section {
    std::string name;
    bool hasHeader = false;  // false only for the lines before the first header
    std::vector<Line> lines;
};

using IniFile = std::vector<Section>;

std::string trimmed(std::string_view s)
{
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return std::string(s);
}

// Names and values are written on one line; a line break inside one would split it. The file
// reads back as UTF-8 only while all of it is UTF-8 (otherwise as an older version's CP932):
// bytes that are not (a file name from an old archive) are replaced here rather than turning
// every other text of the file into nonsense on the next start.
std::string oneLine(std::string s)
{
    for (char& c : s)
        if (c == '\r' || c == '\n')
            c = ' ';
    if (!cp932::isValidUtf8(s))
        s = QString::fromUtf8(s.data(), qsizetype(s.size())).toUtf8().toStdString();
    return s;
}

std::string iniPath(const std::string& baseName)
{
    return baseName + ".ini";
}

IniFile parse(std::string_view text)
{
    IniFile file(1);
    bool firstLine = true;
    while (!text.empty()) {
        std::size_t eol = text.find('\n');
        std::string_view raw = text.substr(0, eol);
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
        // Every carriage return before the line feed belongs to the line end: a value kept
        // with one would lose it when a write ends the line anew.
        while (raw.ends_with('\r'))
            raw.remove_suffix(1);
        // A byte order mark stays in the first line's text, so that a rewrite keeps it and
        // the line means what it meant before; only the line's meaning leaves it out.
        std::string_view content = raw;
        if (std::exchange(firstLine, false) && content.starts_with("\xEF\xBB\xBF"))
            content.remove_prefix(3);
        std::string t = trimmed(content);
        if (t.starts_with('[') && t.find(']') != std::string::npos) {
            file.push_back({trimmed(std::string_view(t).substr(1, t.rfind(']') - 1)), true, {}});
            file.back().lines.push_back({std::string(raw), {}});
            continue;
        }
        Line line{std::string(raw), {}};
        std::size_t eq = t.find('=');
        if (file.back().hasHeader && !t.starts_with(';') && eq != std::string::npos)
            line.key = trimmed(std::string_view(t).substr(0, eq));
        file.back().lines.push_back(std::move(line));
    }
    return file;
}

std::string serialize(const IniFile& file)
{
    std::string out;
    for (const auto& section : file)
        for (const auto& line : section.lines)
            out += line.text + "\n";
    return out;
}

Section* findSection(IniFile& file, std::string_view name)
{
    for (auto& s : file)
        if (s.hasHeader && rtl::SameAsciiText(s.name, name))
            return &s;
    return nullptr;
}

Line* findKey(Section& section, std::string_view key)
{
    for (auto& l : section.lines)
        if (!l.key.empty() && rtl::SameAsciiText(l.key, key))
            return &l;
    return nullptr;
}

// The value of a key line as the platform's reader gives it: trimmed, one pair of enclosing
// double quotes removed, cut to 2047 characters.
std::string valueOf(const Line& line)
{
    std::string v = trimmed(std::string_view(line.text).substr(line.text.find('=') + 1));
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"')
        v = v.substr(1, v.size() - 2);
    std::size_t chars = 0;
    for (std::size_t i = 0; i < v.size(); ++i) {
        if ((static_cast<unsigned char>(v[i]) & 0xC0) != 0x80 && ++chars > kMaxValueChars) {
            v.resize(i);
            break;
        }
    }
    return v;
}

std::string errorText(const std::string& path, int err, const std::string& folder = {})
{
    // Shown to the user as it stands (in the message box, "\r" breaks the line).
    std::string text = "設定を保存できません！！\r\r設定ファイル ";
    text.append(path).append(" に書き込めません (");
    if (!folder.empty())
        text.append("フォルダ ").append(folder).append(" を作れません: ");
    return text.append(std::strerror(err)).append(")");
}

// The files kept in memory while the disk refuses them (path -> the file's text), and who
// hears of it; while Tell is empty a failure raises instead.
struct Session {
    std::function<void(const std::string&)> tell;
    std::unordered_map<std::string, std::string> unsaved;
    std::unordered_map<std::string, std::string> untold;   // found on loading, told once the change is in memory
};

Session& session()
{
    static Session s;
    return s;
}

// The disk refused the file: in a session its text lives on in memory and the user hears of
// it once; otherwise the write fails.
void keepUnsaved(const std::string& path, std::string text, std::string message)
{
    Session& s = session();
    if (!s.tell)
        throw EIniFileError(message);
    s.unsaved[path] = std::move(text);
    if (message.empty())
        return;
    const auto tell = s.tell;   // it may run events that change the session
    tell(message + "\r\r変更した設定は終了するまで使えますが、保存されません。");
}

// The file's text, or nothing when it cannot be read; a missing file reads as empty.
std::optional<std::string> readText(const std::string& path, int& err)
{
    err = 0;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        err = errno;
        if (err == ENOENT)
            return std::string();
        return std::nullopt;
    }
    std::string bytes;
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            err = errno;
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        bytes.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return cp932::fromUtf8OrCp932(bytes);
}

const std::string* unsavedText(const std::string& path)
{
    const auto& unsaved = session().unsaved;
    const auto it = unsaved.find(path);
    return it == unsaved.end() ? nullptr : &it->second;
}

IniFile loadForReading(const std::string& baseName)
{
    if (const std::string* text = unsavedText(iniPath(baseName)))
        return parse(*text);
    int err;
    return parse(readText(iniPath(baseName), err).value_or(""));
}

// A file we could not read must not be replaced by one made of our single change. In a
// session it is left alone on disk, and the changes start from what its reads gave: nothing.
IniFile loadForWriting(const std::string& baseName)
{
    const std::string path = iniPath(baseName);
    if (const std::string* text = unsavedText(path))
        return parse(*text);
    int err;
    auto text = readText(path, err);
    if (!text) {
        Session& s = session();
        if (!s.tell)
            throw EIniFileError(errorText(path, err));
        s.unsaved[path] = {};
        s.untold[path] = errorText(path, err);
        return parse("");
    }
    return parse(*text);
}

// The step that keeps the file from being written, with the system's reason: a folder that
// cannot be made, a read-only file (refused even where its folder would allow the rename), or
// the replacement itself. Empty when the file was written.
std::string writeFailure(const std::string& path, const std::string& text)
{
    const auto slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos || slash == 0 ? std::string() : path.substr(0, slash);
    if (!folder.empty() && ::access((folder + "/").c_str(), F_OK) != 0 && errno == ENOENT) {
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        if (ec)
            return errorText(path, ec.value(), folder);
    }
    if (::access(path.c_str(), F_OK) == 0 && ::access(path.c_str(), W_OK) != 0)
        return errorText(path, errno);
    if (!safefile::writeFileAtomically(path, text))
        return errorText(path, errno);
    return {};
}

// The settings file is replaced as a whole, never left half-written; one kept in memory stays
// there.
void replaceFile(const std::string& path, std::string text)
{
    if (unsavedText(path)) {
        auto untold = session().untold.extract(path);
        keepUnsaved(path, std::move(text), untold ? std::move(untold.mapped()) : std::string());
    }
    else if (std::string failure = writeFailure(path, text); !failure.empty())
        keepUnsaved(path, std::move(text), std::move(failure));
}

void writeValues(const std::string& baseName, const std::string& sectionName,
                 const std::vector<std::pair<std::string, std::string>>& values)
{
    IniFile file = loadForWriting(baseName);
    const std::string name = trimmed(oneLine(sectionName));
    Section* section = findSection(file, name);
    if (!section) {
        file.push_back({name, true, {{"[" + name + "]", {}}}});
        section = &file.back();
    }
    auto& lines = section->lines;
    // Each key's first line, found once for all the values.
    std::unordered_map<std::string, std::size_t> lineOfKey;
    for (std::size_t i = lines.size(); i-- > 0;)
        if (!lines[i].key.empty())
            lineOfKey[rtl::LowerAscii(lines[i].key)] = i;
    // New keys go after the section's last non-blank line, so blank lines before the next
    // header stay.
    std::size_t at = lines.size();
    while (at > 1 && trimmed(lines[at - 1].text).empty())
        --at;
    std::vector<Line> added;
    for (const auto& [keyName, value] : values) {
        const std::string key = trimmed(oneLine(keyName));
        const std::string v = oneLine(value);
        auto [it, isNew] = lineOfKey.try_emplace(rtl::LowerAscii(key), at + added.size());
        if (isNew) {
            added.push_back(Line{key + "=" + v, key});
        } else {
            Line& line = it->second < at ? lines[it->second] : added[it->second - at];
            line.text = line.key + "=" + v;
        }
    }
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), std::make_move_iterator(added.begin()),
                 std::make_move_iterator(added.end()));
    replaceFile(iniPath(baseName), serialize(file));
}

std::optional<std::int32_t> parseInteger(const std::string& text)
{
    std::string_view s = text;
    int base = 10;
    bool negative = false;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    } else if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    if (s.empty())
        return std::nullopt;
    std::uint64_t value = 0;
    // Hexadecimal takes all 32 bits ("0xFFFFFFFF" is -1); decimal stays in the signed range.
    const std::uint64_t limit = base == 16 ? 0xFFFFFFFFu : negative ? 0x80000000u : 0x7FFFFFFFu;
    for (char c : s) {
        int digit = c >= '0' && c <= '9' ? c - '0'
                  : base == 16 && c >= 'a' && c <= 'f' ? c - 'a' + 10
                  : base == 16 && c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (digit < 0)
            return std::nullopt;
        value = value * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
        if (value > limit)
            return std::nullopt;
    }
    if (negative)
        return static_cast<std::int32_t>(-static_cast<std::int64_t>(value));
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

}  // namespace

void IniKeepUnsavedInMemory(std::function<void(const std::string& Message)> Tell)
{
    Session& s = session();
    s.tell = std::move(Tell);
    if (!s.tell) {
        s.unsaved.clear();
        s.untold.clear();
    }
}

std::string IniReadString(const std::string& BaseName, const std::string& Section,
                          const std::string& Key, const std::string& Default)
{
    IniFile file = loadForReading(BaseName);
    if (auto* section = findSection(file, trimmed(Section)))
        if (auto* line = findKey(*section, trimmed(Key)))
            return valueOf(*line);
    return Default;
}

void IniWriteString(const std::string& BaseName, const std::string& Section,
                    const std::string& Key, const std::string& Value)
{
    writeValues(BaseName, Section, {{Key, Value}});
}

std::int32_t IniReadInteger(const std::string& BaseName, const std::string& Section,
                            const std::string& Key, std::int32_t Default)
{
    return parseInteger(IniReadString(BaseName, Section, Key, {})).value_or(Default);
}

void IniWriteInteger(const std::string& BaseName, const std::string& Section,
                     const std::string& Key, std::int32_t Value)
{
    writeValues(BaseName, Section, {{Key, std::to_string(Value)}});
}

bool IniReadBool(const std::string& BaseName, const std::string& Section,
                 const std::string& Key, bool Default)
{
    return IniReadInteger(BaseName, Section, Key, Default ? 1 : 0) != 0;
}

void IniWriteBool(const std::string& BaseName, const std::string& Section,
                  const std::string& Key, bool Value)
{
    writeValues(BaseName, Section, {{Key, Value ? "1" : "0"}});
}

void IniWriteBool(const std::string& BaseName, const std::string& Section,
                  const std::string& Key, int Value)
{
    writeValues(BaseName, Section, {{Key, std::to_string(Value)}});
}

void WriteListSection(const std::string& Section, const std::vector<std::string>& List)
{
    IniWriteSectionList(IniBase, Section, List);
}

void IniWriteStrings(const std::string& BaseName, const std::string& Section,
                     const std::vector<std::pair<std::string, std::string>>& Values)
{
    writeValues(BaseName, Section, Values);
}

std::unordered_set<std::string> IniReadValueKeys(const std::string& BaseName, const std::string& Section)
{
    std::unordered_set<std::string> keys, seen;
    IniFile file = loadForReading(BaseName);
    if (auto* section = findSection(file, trimmed(Section)))
        for (const auto& line : section->lines)
            if (!line.key.empty() && seen.insert(rtl::LowerAscii(line.key)).second && !valueOf(line).empty())
                keys.insert(rtl::LowerAscii(line.key));
    return keys;
}

std::optional<std::unordered_map<std::string, std::string>> IniReadSection(const std::string& BaseName,
                                                                           const std::string& Section)
{
    IniFile file = loadForReading(BaseName);
    auto* section = findSection(file, trimmed(Section));
    if (!section)
        return std::nullopt;
    std::unordered_map<std::string, std::string> values;
    for (const auto& line : section->lines)
        if (!line.key.empty())
            values.try_emplace(rtl::LowerAscii(line.key), valueOf(line));
    return values;
}

void IniEraseSection(const std::string& BaseName, const std::string& Section)
{
    IniFile file = loadForWriting(BaseName);
    const std::string name = trimmed(oneLine(Section));
    auto before = file.size();
    std::erase_if(file, [&](const auto& s) { return s.hasHeader && rtl::SameAsciiText(s.name, name); });
    if (file.size() != before)
        replaceFile(iniPath(BaseName), serialize(file));
}

void IniWriteSectionList(const std::string& BaseName, const std::string& Section,
                         const std::vector<std::string>& List)
{
    IniFile file = loadForWriting(BaseName);
    const std::string name = trimmed(oneLine(Section));
    std::erase_if(file, [&](const auto& s) { return s.hasHeader && rtl::SameAsciiText(s.name, name); });
    if (List.empty()) {
        replaceFile(iniPath(BaseName), serialize(file));
        return;
    }
    file.push_back({name, true, {{"[" + name + "]", {}}}});
    auto& lines = file.back().lines;
    for (std::size_t i = 0; i < List.size(); ++i) {
        std::string key = std::to_string(i + 1);
        lines.push_back({key + "=" + oneLine(List[i]), key});
    }
    replaceFile(iniPath(BaseName), serialize(file));
}

void IniReadSectionList(const std::string& BaseName, const std::string& Section,
                        std::vector<std::string>& List, bool Quote)
{
    List.clear();
    IniFile file = loadForReading(BaseName);
    auto* section = findSection(file, trimmed(Section));
    if (!section)
        return;
    // Each key once, at its first place, with its first value (the one a read of it gives).
    std::unordered_set<std::string> seen;
    for (const auto& line : section->lines) {
        if (line.key.empty() || !seen.insert(rtl::LowerAscii(line.key)).second)
            continue;
        std::string value = valueOf(line);
        if (value.empty())
            continue;
        List.push_back(Quote ? "\"" + value + "\"" : value);
    }
}

void IniLoadFormPos(const std::string& BaseName, const std::string& Section,
                    const std::string& KeyPrefix, QWidget* Control)
{
    Control->move(Control->x(), IniReadInteger(BaseName, Section, KeyPrefix + "Top", Control->y()));
    Control->move(IniReadInteger(BaseName, Section, KeyPrefix + "Left", Control->x()), Control->y());
}

void IniSaveFormPos(const std::string& BaseName, const std::string& Section,
                    const std::string& KeyPrefix, QWidget* Control)
{
    IniWriteInteger(BaseName, Section, KeyPrefix + "Top", Control->y());
    IniWriteInteger(BaseName, Section, KeyPrefix + "Left", Control->x());
}

void IniLoadFormSize(const std::string& BaseName, const std::string& Section,
                     const std::string& KeyPrefix, QPoint DefaultSize, QWidget* Control)
{
    Control->resize(IniReadInteger(BaseName, Section, KeyPrefix + "Width", DefaultSize.x()), Control->height());
    Control->resize(Control->width(), IniReadInteger(BaseName, Section, KeyPrefix + "Height", DefaultSize.y()));
}

void IniSaveFormSize(const std::string& BaseName, const std::string& Section,
                     const std::string& KeyPrefix, QWidget* Control)
{
    IniWriteInteger(BaseName, Section, KeyPrefix + "Width", Control->width());
    IniWriteInteger(BaseName, Section, KeyPrefix + "Height", Control->height());
}
