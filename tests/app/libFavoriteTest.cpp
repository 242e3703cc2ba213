#include "shared/SettingsFixture.h"
#include "app/Globals.h"
#include "app/libFavorite.h"
#include "app/libMusic.h"
#include "util/libIni.h"

#include <gtest/gtest.h>

using namespace testsupport;
using Strings = std::vector<std::string>;

namespace {

Strings names()
{
    Strings list;
    ReadFavoriteNames(list);
    return list;
}

Strings items(const std::string& name)
{
    Strings list;
    ReadFavoriteItems(list, name);
    return list;
}

void addAll(const Strings& list)
{
    for (const auto& name : list)
        ASSERT_TRUE(AddFavoriteName(name)) << name;
}

}  // namespace

TEST(libFavorite, RoundTripThroughTheSettingsFile)
{
    SettingsFixture f;
    EXPECT_TRUE(names().empty());
    EXPECT_TRUE(items("Rock").empty());
    addAll({"Rock", "ドライブ", "a b [x"});
    WriteFavoriteItems("ドライブ", {"/m/曲 1.mp3", "/m/a=b.wav", "/m/c.wma"});
    WriteFavoriteItems("Rock", {"/r/1.mp3"});

    EXPECT_EQ(names(), (Strings{"Rock", "ドライブ", "a b [x"}));
    EXPECT_EQ(items("ドライブ"), (Strings{"/m/曲 1.mp3", "/m/a=b.wav", "/m/c.wma"}));

    ParsedIni ini = readWithConfigParser(f.path());
    EXPECT_EQ(ini.keys("Favorite"), (IniKeys{{"1", "Rock"}, {"2", "ドライブ"}, {"3", "a b [x"}}));
    EXPECT_EQ(ini.keys("Favorite_ドライブ"),
              (IniKeys{{"1", "/m/曲 1.mp3"}, {"2", "/m/a=b.wav"}, {"3", "/m/c.wma"}}));
    EXPECT_EQ(ini.keys("Favorite_Rock"), (IniKeys{{"1", "/r/1.mp3"}}));
    EXPECT_FALSE(ini.has("Favorite_a b [x"));  // no entries yet

    WriteFavoriteItems("ドライブ", {"/m/only.mp3"});
    EXPECT_EQ(readWithConfigParser(f.path()).keys("Favorite_ドライブ"), (IniKeys{{"1", "/m/only.mp3"}}));
}

TEST(libFavorite, ExistsIgnoresCaseButDeleteIsExact)
{
    SettingsFixture f;
    addAll({"Rock", "Ärger", "Ｊａｚｚ", "Pop"});
    EXPECT_TRUE(FavoriteExists("rock"));
    EXPECT_TRUE(FavoriteExists("ärger"));
    EXPECT_TRUE(FavoriteExists("ｊａｚｚ"));
    EXPECT_FALSE(FavoriteExists("Roc"));
    EXPECT_FALSE(AddFavoriteName("ROCK"));
    EXPECT_FALSE(AddFavoriteName("ÄRGER"));

    WriteFavoriteItems("Rock", {"/r/1.mp3"});
    DeleteFavorite("rock");
    EXPECT_EQ(names(), (Strings{"Rock", "Ärger", "Ｊａｚｚ", "Pop"}));
    EXPECT_EQ(items("Rock"), Strings{"/r/1.mp3"});

    DeleteFavorite("Ärger");
    EXPECT_EQ(readWithConfigParser(f.path()).keys("Favorite"),
              (IniKeys{{"1", "Rock"}, {"2", "Ｊａｚｚ"}, {"3", "Pop"}}));
}

TEST(libFavorite, DeletingAFavoriteErasesItsEntries)
{
    SettingsFixture f;
    addAll({"A", "B"});
    WriteFavoriteItems("A", {"/a/1.mp3", "/a/2.mp3"});
    WriteFavoriteItems("B", {"/b/1.mp3"});
    DeleteFavorite("A");
    EXPECT_FALSE(readWithConfigParser(f.path()).has("Favorite_A"));
    EXPECT_EQ(items("B"), Strings{"/b/1.mp3"});

    // A new favourite of the old name starts empty.
    ASSERT_TRUE(AddFavoriteName("A"));
    EXPECT_TRUE(items("A").empty());

    // So does one whose entries an older version left behind.
    IniWriteString(IniBase, "Favorite_Old", "1", "/stale.mp3");
    ASSERT_TRUE(AddFavoriteName("old"));
    EXPECT_TRUE(items("old").empty());
    EXPECT_EQ(names(), (Strings{"B", "A", "old"}));
}

TEST(libFavorite, AppendSkipsStoredPathsAndNumbersOnlyNewOnes)
{
    SettingsFixture f;
    addAll({"Mix"});
    WriteFavoriteItems("Mix", {"a", "b", "c"});
    AppendFavoriteItems("Mix", {"x", "B", "y"});
    EXPECT_EQ(readWithConfigParser(f.path()).keys("Favorite_Mix"),
              (IniKeys{{"1", "a"}, {"2", "b"}, {"3", "c"}, {"4", "x"}, {"5", "y"}}));

    // A name from an old archive (not UTF-8) cannot be kept as it is, but storing it leaves
    // every other text of the file as it was.
    addAll({"ドライブ"});
    WriteFavoriteItems("ドライブ", {"/m/曲.mp3"});
    AppendFavoriteItems("Mix", {"/m/caf\xe9.mp3", "/m/\x83\x65\x83\x58.mp3"});
    EXPECT_EQ(names(), (Strings{"Mix", "ドライブ"}));
    EXPECT_EQ(items("ドライブ"), Strings{"/m/曲.mp3"});
    EXPECT_EQ(items("Mix").size(), 7u);

    AppendFavoriteItems("Nowhere", {"p"});  // a section without a listed name, as before
    EXPECT_EQ(items("Nowhere"), Strings{"p"});
}

TEST(libFavorite, DeleteItemRemovesTheFirstExactMatchAndRenumbers)
{
    SettingsFixture f;
    WriteFavoriteItems("F", {"/m/Song.mp3", "/m/x.mp3", "/m/Song.mp3", "/m/y.mp3"});
    DeleteFavoriteItem("F", "/m/song.mp3");
    DeleteFavoriteItem("F", "/m/missing.mp3");
    EXPECT_EQ(items("F").size(), 4u);
    DeleteFavoriteItem("F", "/m/Song.mp3");
    EXPECT_EQ(readWithConfigParser(f.path()).keys("Favorite_F"),
              (IniKeys{{"1", "/m/x.mp3"}, {"2", "/m/Song.mp3"}, {"3", "/m/y.mp3"}}));
}

TEST(libFavorite, RenameReplacesWhatTheTargetSectionHeld)
{
    SettingsFixture f;
    addAll({"X", "A", "Y"});
    WriteFavoriteItems("A", {"/a/1", "/a/2", "/a/3"});
    WriteListSection("Favorite_B", {"/old/1", "/old/2", "/old/3", "/old/4", "/old/5"});

    ASSERT_TRUE(RenameFavorite("A", "B"));
    ParsedIni ini = readWithConfigParser(f.path());
    EXPECT_EQ(ini.keys("Favorite"), (IniKeys{{"1", "X"}, {"2", "B"}, {"3", "Y"}}));
    EXPECT_EQ(ini.keys("Favorite_B"), (IniKeys{{"1", "/a/1"}, {"2", "/a/2"}, {"3", "/a/3"}}));
    EXPECT_FALSE(ini.has("Favorite_A"));

    // A change of letter case keeps the entries and takes the new spelling everywhere.
    ASSERT_TRUE(RenameFavorite("B", "b"));
    ini = readWithConfigParser(f.path());
    EXPECT_EQ(ini.keys("Favorite"), (IniKeys{{"1", "X"}, {"2", "b"}, {"3", "Y"}}));
    EXPECT_EQ(ini.keys("Favorite_b"), (IniKeys{{"1", "/a/1"}, {"2", "/a/2"}, {"3", "/a/3"}}));
    EXPECT_FALSE(ini.has("Favorite_B"));
}

TEST(libFavorite, RenameRefusesMissingNamesAndClashes)
{
    SettingsFixture f;
    addAll({"Rock", "Jazz"});
    WriteFavoriteItems("Rock", {"/r/1"});
    WriteFavoriteItems("Jazz", {"/j/1"});
    const std::string before = readFile(f.path());

    EXPECT_FALSE(RenameFavorite("rock", "Blues"));  // the name to rename is matched exactly
    EXPECT_FALSE(RenameFavorite("Rock", "JAZZ"));   // would merge two favourites
    EXPECT_EQ(readFile(f.path()), before);
}

TEST(libFavorite, NamesTheFileCannotHoldAreRefused)
{
    SettingsFixture f;
    const Strings bad = {"", " a", "a ", "\ta", "a]b", "]", "a=b", "a\nb", "a\r", "\"q\"",
                         std::string(2048, 'n'), "bad\xff"};
    for (const auto& name : bad) {
        EXPECT_FALSE(IsValidFavoriteName(name)) << name;
        EXPECT_THROW((void)AddFavoriteName(name), EFavoriteNameError) << name;
    }
    for (const auto& name : Strings{"a b", "[x", "\"q", "ドライブ　", std::string(2047, 'n'), "50%"})
        EXPECT_TRUE(IsValidFavoriteName(name)) << name;

    addAll({"A"});
    WriteFavoriteItems("A", {"/a/1"});
    const std::string before = readFile(f.path());
    EXPECT_THROW((void)RenameFavorite("A", "A]"), EFavoriteNameError);
    // Names that only reach another favourite's section through trimming.
    EXPECT_THROW(WriteFavoriteItems("A ", {"/x"}), EFavoriteNameError);
    EXPECT_THROW(AppendFavoriteItems(" A", {"/x"}), EFavoriteNameError);
    EXPECT_THROW(DeleteFavoriteItem("A\n", "/a/1"), EFavoriteNameError);
    EXPECT_EQ(readFile(f.path()), before);
    EXPECT_FALSE(FavoriteExists("A "));
}

TEST(libFavorite, NamesFromOlderFilesStayUsable)
{
    SettingsFixture f;
    // Keys with gaps and a name with "=" and "]", as an older version or a hand edit left them.
    writeFile(f.path(), "[Favorite]\n1=Drive\n3=a=b]\n[Favorite_a=b]]\n1=/o/1.mp3\n");
    EXPECT_EQ(names(), (Strings{"Drive", "a=b]"}));
    EXPECT_EQ(items("a=b]"), Strings{"/o/1.mp3"});
    AppendFavoriteItems("a=b]", {"/o/2.mp3"});
    EXPECT_EQ(items("a=b]"), (Strings{"/o/1.mp3", "/o/2.mp3"}));

    ASSERT_TRUE(AddFavoriteName("New"));  // key 3 is taken: the list is renumbered
    EXPECT_EQ(names(), (Strings{"Drive", "a=b]", "New"}));
    ASSERT_TRUE(RenameFavorite("a=b]", "Clean"));
    EXPECT_EQ(names(), (Strings{"Drive", "Clean", "New"}));
    EXPECT_EQ(items("Clean"), (Strings{"/o/1.mp3", "/o/2.mp3"}));

    DeleteFavorite("Clean");
    ParsedIni ini = readWithConfigParser(f.path());
    EXPECT_EQ(ini.keys("Favorite"), (IniKeys{{"1", "Drive"}, {"2", "New"}}));
    EXPECT_FALSE(ini.has("Favorite_Clean"));
}
