#include "platform/shell/AudioCdHandler.h"

#include "platform/shell/UserFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <optional>
#include <string_view>
#include <vector>

namespace shell {

namespace {

// Both files are freedesktop key files: "[Group]" lines, then "key=value" lines. Edits work
// on the raw lines so that comments, other groups, spacing and line ends survive as they were.

std::string_view trimmed(std::string_view s)
{
    const auto b = s.find_first_not_of(" \t\r");
    if (b == std::string_view::npos)
        return {};
    return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

struct Line {
    size_t begin, end;  // [begin, end) without the '\n'
};

std::vector<Line> splitLines(const std::string& text)
{
    std::vector<Line> lines;
    for (size_t at = 0; at < text.size();) {
        const size_t nl = text.find('\n', at);
        const size_t end = nl == std::string::npos ? text.size() : nl;
        lines.push_back({at, end});
        at = end + 1;
    }
    return lines;
}

// The line index of `key` within `group`, and the index of the group's last non-blank line
// (its header when it has no keys); -1 where there is none.
struct Found {
    long key = -1, groupEnd = -1;
};

Found find(const std::string& text, const std::vector<Line>& lines, const std::string& group, const std::string& key)
{
    Found f;
    bool inGroup = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = trimmed(std::string_view(text).substr(lines[i].begin, lines[i].end - lines[i].begin));
        if (line.starts_with('[')) {
            inGroup = line == "[" + group + "]";
            if (inGroup)
                f.groupEnd = long(i);
            continue;
        }
        if (!inGroup || line.empty())
            continue;
        f.groupEnd = long(i);
        const auto eq = line.find('=');
        if (f.key < 0 && eq != std::string_view::npos && trimmed(line.substr(0, eq)) == key)
            f.key = long(i);
    }
    return f;
}

std::optional<std::string> keyValue(const std::string& text, const std::string& group, const std::string& key)
{
    const std::vector<Line> lines = splitLines(text);
    const Found f = find(text, lines, group, key);
    if (f.key < 0)
        return std::nullopt;
    const std::string_view line = std::string_view(text).substr(lines[size_t(f.key)].begin,
                                                                 lines[size_t(f.key)].end - lines[size_t(f.key)].begin);
    return std::string(trimmed(line.substr(line.find('=') + 1)));
}

// The text with `key` set to `value` in `group` (or removed, for no value).
std::string withKey(const std::string& text, const std::string& group, const std::string& key,
                    const std::optional<std::string>& value)
{
    const std::vector<Line> lines = splitLines(text);
    const Found f = find(text, lines, group, key);
    const std::string line = value ? key + "=" + *value : std::string();
    if (f.key >= 0) {
        const Line& l = lines[size_t(f.key)];
        if (value) {
            const bool cr = l.end > l.begin && text[l.end - 1] == '\r';
            return text.substr(0, l.begin) + line + (cr ? "\r" : "") + text.substr(l.end);
        }
        const size_t next = std::min(text.size(), l.end + 1);
        return text.substr(0, l.begin) + text.substr(next);
    }
    if (!value)
        return text;
    if (f.groupEnd >= 0) {
        const size_t at = std::min(text.size(), lines[size_t(f.groupEnd)].end + 1);
        const std::string before = text.substr(0, at);
        return before + (before.ends_with('\n') ? "" : "\n") + line + "\n" + text.substr(at);
    }
    std::string out = text;
    if (!out.empty() && !out.ends_with('\n'))
        out += '\n';
    if (!out.empty())
        out += '\n';
    return out + "[" + group + "]\n" + line + "\n";
}

std::string readAll(const std::string& path)
{
    QFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll().toStdString();
}

bool replaceFile(const std::string& path, const std::string& text)
{
    const QString name = QString::fromStdString(path);
    if (!QDir().mkpath(QFileInfo(name).absolutePath()))
        return false;
    QSaveFile f(name);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    return f.write(text.data(), qint64(text.size())) == qint64(text.size()) && f.commit();
}

std::string mimeAppsPath() { return configHomePath() + "/mimeapps.list"; }
std::string ownEntryPath() { return dataFolderPaths().front() + "/applications/" + kAudioCdDesktopEntry; }

constexpr const char* kDefaults = "Default Applications";
constexpr const char* kEntryGroup = "Desktop Entry";

}  // namespace

std::string defaultApplication(const std::string& mimeType)
{
    std::string entry = keyValue(readAll(mimeAppsPath()), kDefaults, mimeType).value_or("");
    // The key may list several entries, the first preferred.
    entry = entry.substr(0, entry.find(';'));
    return std::string(trimmed(entry));
}

std::string audioCdHandler()
{
    return defaultApplication(kAudioCdMimeType);
}

bool setAudioCdHandler(const std::string& entry)
{
    const std::string path = mimeAppsPath();
    const std::string text = readAll(path);
    const std::string changed = withKey(text, kDefaults, kAudioCdMimeType,
                                        entry.empty() ? std::nullopt : std::optional(entry));
    return changed == text || replaceFile(path, changed);
}

std::string desktopEntryKey(const std::string& entry, const std::string& key)
{
    if (entry.empty() || entry.find('/') != std::string::npos)
        return {};
    for (const std::string& folder : dataFolderPaths()) {
        const std::string path = folder + "/applications/" + entry;
        if (QFile::exists(QString::fromStdString(path)))
            return keyValue(readAll(path), kEntryGroup, key).value_or("");
    }
    return {};
}

std::string desktopEntryExec(const std::string& entry)
{
    return desktopEntryKey(entry, "Exec");
}

bool setOwnAudioCdCommand(const std::string& command)
{
    const std::string path = ownEntryPath();
    std::string text = readAll(path);
    if (text.empty())
        text = "[Desktop Entry]\nType=Application\nName=Tambourelle Audio CD\n"
               "MimeType=x-content/audio-cdda;\nNoDisplay=true\n";
    return replaceFile(path, withKey(text, kEntryGroup, "Exec", command));
}

}  // namespace shell
