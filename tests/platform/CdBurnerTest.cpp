// The desktop's burner for blank CDs, in temporary XDG folders: the mimeapps.list default
// wins over an entry that merely lists the type, the Exec line's field codes give the files
// or the folder, and the started burner's arguments are exactly the staged files.
#include "platform/shell/CdBurner.h"

#include "support/TestSupport.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

using testsupport::readFile;
using testsupport::ScopedEnv;
using testsupport::writeFile;

using Strings = std::vector<std::string>;

TEST(CdBurner, ExecLinesExpandTheirFieldCodes)
{
    const Strings files = {"/s/a b.mp3", "/s/c.mp3"};
    struct Case {
        const char* exec;
        Strings args;
    };
    for (const Case& c : {
             Case{"brasero --data %F", {"brasero", "--data", "/s/a b.mp3", "/s/c.mp3"}},
             Case{"k3b %U", {"k3b", "/s/a b.mp3", "/s/c.mp3"}},
             Case{"xfburn -d %f", {"xfburn", "-d", "/s"}},
             Case{"\"/opt/my burner\" --icon %i %c 100%% %u", {"/opt/my burner", "--icon", "100%", "/s"}},
             Case{"", {}},
         })
        EXPECT_EQ(shell::expandExecLine(c.exec, files, "/s"), c.args) << c.exec;
}

TEST(CdBurner, TheBlankCdApplicationGetsTheStagedFiles)
{
    testsupport::TempDir home;
    ScopedEnv data("XDG_DATA_HOME", home.file("data")), dirs("XDG_DATA_DIRS", home.file("none")),
        config("XDG_CONFIG_HOME", home.file("config")), cache("XDG_CACHE_HOME", home.file("cache"));
    EXPECT_EQ(shell::cdBurningFolderPath(), home.file("cache") + "/Tambourelle/cd-burning");
    EXPECT_EQ(shell::blankCdBurnerEntry(), "");
    EXPECT_EQ(shell::startCdBurner({"/x"}, "/"), 0) << "no burner: none starts";

    const std::string apps = home.file("data") + "/applications";
    std::filesystem::create_directories(apps);
    const std::string recorder = home.file("record.sh");
    writeFile(recorder, "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.args.tmp\" && mv \"$0.args.tmp\" \"$0.args\"\nsleep 1\n");
    ::chmod(recorder.c_str(), 0755);
    writeFile(apps + "/a-lister.desktop",
              "[Desktop Entry]\nType=Application\nMimeType=text/plain;x-content/blank-cd;\nExec=" + recorder + " %F\n");
    writeFile(apps + "/b-other.desktop",
              "[Desktop Entry]\nType=Application\nMimeType=x-content/blank-cd;\nExec=" + recorder + " %f\n");
    EXPECT_EQ(shell::blankCdBurnerEntry(), "a-lister.desktop") << "the first that lists the type";
    std::filesystem::create_directories(home.file("config"));
    writeFile(home.file("config") + "/mimeapps.list", "[Default Applications]\nx-content/blank-cd=b-other.desktop;a-lister.desktop\n");
    EXPECT_EQ(shell::blankCdBurnerEntry(), "b-other.desktop") << "the default";
    writeFile(home.file("config") + "/mimeapps.list", "[Default Applications]\nx-content/blank-cd=gone.desktop\n");
    ASSERT_EQ(shell::blankCdBurnerEntry(), "a-lister.desktop") << "a default that is not there";

    std::filesystem::create_directories(home.file("s"));
    const Strings staged = {home.file("s/a b.mp3"), home.file("s/a b(2).mp3")};
    const std::int64_t pid = shell::startCdBurner(staged, home.file("s"));
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(shell::processRuns(pid));
    ASSERT_TRUE(testsupport::waitFor([&] { return std::filesystem::exists(recorder + ".args"); }, 10000));
    EXPECT_EQ(readFile(recorder + ".args"), staged[0] + "\n" + staged[1] + "\n");
    EXPECT_TRUE(testsupport::waitFor([&] { return !shell::processRuns(pid); }, 10000)) << "it ends";
}
