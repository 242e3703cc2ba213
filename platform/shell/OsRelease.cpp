#include "platform/shell/OsRelease.h"

#include <fstream>
#include <map>

namespace shell {

namespace {

// A value may be quoted with ' or " and use backslash escapes inside double quotes.
std::string unquote(const std::string& value)
{
    if (value.size() < 2 || (value.front() != '"' && value.front() != '\'')
        || value.back() != value.front())
        return value;
    std::string out;
    const bool escapes = value.front() == '"';
    for (std::size_t i = 1; i + 1 < value.size(); ++i) {
        if (escapes && value[i] == '\\' && i + 2 < value.size())
            ++i;
        out += value[i];
    }
    return out;
}

}  // namespace

std::string osProductName(const std::string& osReleaseFile)
{
    std::ifstream in(osReleaseFile);
    std::map<std::string, std::string> keys;
    for (std::string line; std::getline(in, line);) {
        const auto eq = line.find('=');
        if (line.empty() || line[0] == '#' || eq == std::string::npos)
            continue;
        keys[line.substr(0, eq)] = unquote(line.substr(eq + 1));
    }
    if (auto it = keys.find("PRETTY_NAME"); it != keys.end() && !it->second.empty())
        return it->second;
    if (auto it = keys.find("NAME"); it != keys.end())
        return it->second;
    return {};
}

std::string osProductName()
{
    std::string name = osProductName("/etc/os-release");
    return name.empty() ? osProductName("/usr/lib/os-release") : name;
}

}  // namespace shell
