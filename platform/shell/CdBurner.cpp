#include "platform/shell/CdBurner.h"

#include "platform/shell/AudioCdHandler.h"
#include "platform/shell/UserFolders.h"

#include <QDir>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fstream>

namespace shell {

namespace {

// Splits an Exec line into arguments: double quotes group, a backslash inside them escapes
// the next character.
std::vector<std::string> splitExec(const std::string& exec)
{
    std::vector<std::string> args;
    std::string cur;
    bool quoted = false, any = false;
    for (size_t i = 0; i < exec.size(); ++i) {
        const char c = exec[i];
        if (quoted) {
            if (c == '\\' && i + 1 < exec.size())
                cur += exec[++i];
            else if (c == '"')
                quoted = false;
            else
                cur += c;
        } else if (c == '"') {
            quoted = any = true;
        } else if (c == ' ' || c == '\t') {
            if (any || !cur.empty())
                args.push_back(cur);
            cur.clear();
            any = false;
        } else {
            cur += c;
        }
    }
    if (any || !cur.empty())
        args.push_back(cur);
    return args;
}

bool listsType(const std::string& mimeTypes, const std::string& type)
{
    size_t at = 0;
    while (at <= mimeTypes.size()) {
        const size_t end = std::min(mimeTypes.find(';', at), mimeTypes.size());
        if (mimeTypes.compare(at, end - at, type) == 0)
            return true;
        at = end + 1;
    }
    return false;
}

}  // namespace

std::string cdBurningFolderPath()
{
    const char* cache = std::getenv("XDG_CACHE_HOME");
    std::string base = cache && cache[0] == '/' ? cache : QDir::homePath().toStdString() + "/.cache";
    return base + "/Tambourelle/cd-burning";
}

std::string blankCdBurnerEntry()
{
    const std::string preferred = defaultApplication(kBlankCdMimeType);
    if (!preferred.empty() && !desktopEntryExec(preferred).empty())
        return preferred;
    for (const std::string& folder : dataFolderPaths()) {
        QDir apps(QString::fromStdString(folder + "/applications"));
        const QStringList names = apps.entryList({QStringLiteral("*.desktop")}, QDir::Files, QDir::Name);
        for (const QString& name : names) {
            const std::string entry = name.toStdString();
            if (listsType(desktopEntryKey(entry, "MimeType"), kBlankCdMimeType) &&
                !desktopEntryExec(entry).empty())
                return entry;
        }
    }
    return {};
}

std::vector<std::string> expandExecLine(const std::string& exec, const std::vector<std::string>& files,
                                        const std::string& folder)
{
    std::vector<std::string> out;
    for (const std::string& arg : splitExec(exec)) {
        if (arg == "%F" || arg == "%U") {
            out.insert(out.end(), files.begin(), files.end());
            continue;
        }
        std::string expanded;
        bool dropped = false;
        for (size_t i = 0; i < arg.size(); ++i) {
            if (arg[i] != '%' || i + 1 >= arg.size()) {
                expanded += arg[i];
                continue;
            }
            const char code = arg[++i];
            if (code == '%')
                expanded += '%';
            else if (code == 'f' || code == 'u')
                expanded += folder;
            else
                dropped = true;   // %i, %c, %k and the deprecated codes: nothing to give
        }
        if (!expanded.empty() || !dropped)
            out.push_back(expanded);
    }
    return out;
}

std::int64_t startCdBurner(const std::vector<std::string>& files, const std::string& folder)
{
    const std::string entry = blankCdBurnerEntry();
    if (entry.empty())
        return 0;
    const std::vector<std::string> args = expandExecLine(desktopEntryExec(entry), files, folder);
    if (args.empty())
        return 0;
    QStringList rest;
    for (size_t i = 1; i < args.size(); ++i)
        rest << QString::fromStdString(args[i]);
    qint64 pid = 0;
    if (!QProcess::startDetached(QString::fromStdString(args[0]), rest, QString::fromStdString(folder), &pid))
        return 0;
    return pid;
}

bool processRuns(std::int64_t pid)
{
    if (pid <= 0)
        return false;
    if (::kill(pid_t(pid), 0) != 0 && errno != EPERM)
        return false;
    // A finished child that nobody has reaped yet is no longer running.
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const size_t close = line.rfind(')');
    return close == std::string::npos || close + 2 >= line.size() || line[close + 2] != 'Z';
}

}  // namespace shell
