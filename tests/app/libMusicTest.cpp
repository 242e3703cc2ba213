#include "shared/SettingsFixture.h"
#include "app/Globals.h"
#include "app/libMusic.h"
#include "util/libIni.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace testsupport;

TEST(libMusic, IsMusicFileComparesWholeExtensionsWithoutCase)
{
    for (const char* name : {"x.MP3", "song.mp3", "a.au", "b.AIF", "c.Wav", "d.mp1", "e.Mp2", "f.wma",
                             "g.MPA", "/music/曲.mp3", "dir.txt/x.mp3", ".mp3"})
        EXPECT_TRUE(IsMusicFile(name)) << name;
    // Pieces of an extension, extensions behind another one, and names without one.
    for (const char* name : {"x.mp3.txt", "x.mp", "x.w", "x.a", "x.au;", "x.wav.", "x.", "x", "",
                             ".", "..", "dir.mp3/readme", "x.mp3 ", "x.ｍｐ３", "x.wave", "x.mp3mp3mp3", "x.\xae" "au"})
        EXPECT_FALSE(IsMusicFile(name)) << name;
}

TEST(libMusic, IsMusicFileRefusesFoldersNamedLikeMusic)
{
    namespace fs = std::filesystem;
    TempDir dir;
    fs::create_directory(dir.file("a.mp3"));
    writeFile(dir.file("b.mp3"), "not really music");
    fs::create_directory_symlink(dir.file("a.mp3"), dir.file("link.wav"));
    fs::create_symlink(dir.file("b.mp3"), dir.file("link.mp3"));

    EXPECT_FALSE(IsMusicFile(dir.file("a.mp3")));
    EXPECT_FALSE(IsMusicFile(dir.file("link.wav")));
    EXPECT_TRUE(IsMusicFile(dir.file("b.mp3")));
    EXPECT_TRUE(IsMusicFile(dir.file("link.mp3")));
    EXPECT_TRUE(IsMusicFile(dir.file("missing.wma")));  // judged by its name alone
}

TEST(libMusic, WriteListSectionReplacesTheSectionAsANumberedList)
{
    SettingsFixture f;
    IniWriteString(IniBase, "SETTING", "Keep", "1");
    WriteListSection("MUSIC_FOLDER", {"/m/one", "/m/two", "/m/three", "/m/four"});
    WriteListSection("MUSIC_FOLDER", {"/m/二", "/m/a=b", "/m/c"});
    IniWriteString(IniBase, "After", "x", "y");

    ParsedIni ini = readWithConfigParser(f.path());
    EXPECT_EQ(ini.keys("MUSIC_FOLDER"), (IniKeys{{"1", "/m/二"}, {"2", "/m/a=b"}, {"3", "/m/c"}}));
    EXPECT_EQ(ini.keys("SETTING"), (IniKeys{{"Keep", "1"}}));

    std::vector<std::string> back;
    IniReadSectionList(IniBase, "music_folder", back, false);
    EXPECT_EQ(back, (std::vector<std::string>{"/m/二", "/m/a=b", "/m/c"}));

    WriteListSection("MUSIC_FOLDER", {});
    EXPECT_FALSE(readWithConfigParser(f.path()).has("MUSIC_FOLDER"));
}
