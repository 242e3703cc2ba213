#include "util/libWindows.h"

#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <system_error>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

std::string executableDir()
{
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.parent_path().string();
}

std::string homeDir()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return "/tmp";
}

// $XDG_DATA_HOME when it is an absolute path (the only kind the XDG rules accept).
fs::path dataHome()
{
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/')
        return xdg;
    return fs::path(homeDir()) / ".local" / "share";
}

}  // namespace

std::string GetAppDir()
{
    return AppDirFor(executableDir());
}

std::string AppDirFor(const std::string& ProgramDir)
{
    std::string dir = ProgramDir;
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    if (!dir.empty() && ::access(dir.c_str(), W_OK) == 0)
        return dir;
    fs::path own = dataHome() / "Tambourelle";
    std::error_code ec;
    fs::create_directories(own, ec);  // a failure shows when the first file is written there
    return own.string();
}
