#include "support/TestSupport.h"
#include "util/libWindows.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <unistd.h>

using namespace testsupport;

namespace {

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedEnv() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

private:
    const char* name_;
    std::optional<std::string> old_;
};

}  // namespace

TEST(libWindows, AppDirIsTheProgramFolderWhenWritable)
{
    const std::string dir = GetAppDir();
    const std::string programDir = QCoreApplication::applicationDirPath().toStdString();
    if (::access(programDir.c_str(), W_OK) == 0)
        EXPECT_EQ(dir, programDir);
    else
        EXPECT_TRUE(dir.ends_with("/Tambourelle")) << dir;
    TempDir tmp;
    EXPECT_EQ(AppDirFor(tmp.path() + "/"), tmp.path());
}

TEST(libWindows, AppDirFallsBackToTheUsersDataFolder)
{
    TempDir tmp;
    writeFile(tmp.file("file"), "x");
    const std::string unwritable = tmp.file("file") + "/bin";  // cannot exist, even for root
    {
        ScopedEnv xdg("XDG_DATA_HOME", tmp.file("data").c_str());
        EXPECT_EQ(AppDirFor(unwritable), tmp.file("data") + "/Tambourelle");
        EXPECT_TRUE(std::filesystem::is_directory(tmp.file("data/Tambourelle")));
    }
    ScopedEnv home("HOME", tmp.path().c_str());
    ScopedEnv relative("XDG_DATA_HOME", "relative/path");  // not absolute: ignored
    EXPECT_EQ(AppDirFor(unwritable), tmp.path() + "/.local/share/Tambourelle");
    EXPECT_TRUE(std::filesystem::is_directory(tmp.file(".local/share/Tambourelle")));
}
