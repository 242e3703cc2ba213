// The main window with its music library: the deferred load scans the music folder of the
// settings into the category tree and the music list, a category chosen in the tree filters
// the list, the update commands scan again and reread the playlist's tags, and a close asked
// for while library work lets events run waits for it.
#include "ListColumns.h"
#include "shared/SettingsFixture.h"
#include "shared/TaggedSongs.h"

#include "app/Globals.h"
#include "app/MainForm.h"
#include "platform/rtl/Numerics.h"
#include "util/libIni.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

#include <QAction>
#include <set>
#include <QCoreApplication>

using testsupport::waitFor;

namespace {

const std::vector<TaggedSong> kSongs = {
    {"1.mp3", "Delta", "Ann", "Blue", "2001", "Jazz", "4"},
    {"2.mp3", "alpha", "Bob", "Red", "1999", "Rock", "1"},
    {"3.mp3", "Charlie", "Ann", "Blue", "2001", "Rock", "3"},
    {"4.mp3", "", "", "", "", "", ""},
};

// A main window whose settings name a folder of tagged songs as the music folder.
struct LibraryRig {
    LibraryRig()
    {
        IniWriteString(settings.base, "SETTING", "MP3_PATH", music.path());
        Mp3Path.clear();
        MusicFolders.clear();
        w = std::make_unique<TfrmMain>();
        w->MsgBoxEx = [this](QWidget*, const std::string& Caption, const std::string&, int,
                             const std::string&, const std::string&) {
            Asked.push_back(Caption);
            return 6;
        };
        writeTaggedSongs(music.path(), kSongs);   // the window has set up the tag objects
        testsupport::writeFile(music.file("notes.txt"), "not music");
    }
    void showAndLoad()
    {
        w->show();
        ASSERT_TRUE(waitFor([&] { return w->Loaded(); }));
    }
    std::vector<std::string> titles() const { return columnTexts(w->lstMP3, 2); }

    SettingsFixture settings;
    testsupport::TempDir music;
    std::vector<std::string> Asked;
    std::unique_ptr<TfrmMain> w;
};

using Strings = std::vector<std::string>;

}  // namespace

TEST(MainFormLibrary, TheDeferredLoadListsTheMusicFolderAndTheTreeFiltersIt)
{
    LibraryRig rig;
    TfrmMain& w = *rig.w;
    rig.showAndLoad();
    EXPECT_EQ(w.Library.sgdMusic.RowCount(), 4);
    EXPECT_FALSE(w.pnlSplash->isVisible());
    EXPECT_TRUE(w.pnlFile->isVisible());

    // Every song sorted by title (the untitled one by its file name), numbered, with its path.
    EXPECT_EQ(rig.titles(), (Strings{"4.mp3", "alpha", "Charlie", "Delta"}));
    EXPECT_EQ(columnTexts(w.lstMP3, 1), (Strings{"1", "2", "3", "4"}));
    EXPECT_EQ(columnTexts(w.lstMP3, 8).back(), rig.music.file("1.mp3"));
    EXPECT_EQ(columnTexts(w.lstMP3, 3), (Strings{"", "Bob", "Ann", "Ann"}));
    EXPECT_TRUE(w.lstMP3->topLevelItem(0)->isSelected());

    // The category tree: five roots, the distinct values under each, "Title" chosen.
    ASSERT_EQ(w.trrGenre->topLevelItemCount(), 5);
    EXPECT_EQ(w.trrGenre->currentItem(), w.trrGenre->topLevelItem(0));
    const std::vector<std::pair<std::string, Strings>> tree = {
        {"Title", {}}, {"Year", {"", "1999", "2001"}}, {"Genre", {"", "Jazz", "Rock"}},
        {"Artist", {"", "Ann", "Bob"}}, {"Album", {"", "Blue", "Red"}}};
    for (int r = 0; r < 5; ++r) {
        const QTreeWidgetItem* root = w.trrGenre->topLevelItem(r);
        Strings children;
        for (int c = 0; c < root->childCount(); ++c)
            children.push_back(root->child(c)->text(0).toStdString());
        EXPECT_EQ(root->text(0).toStdString(), tree[r].first);
        EXPECT_EQ(children, tree[r].second) << tree[r].first;
    }

    // Choosing a node in the tree filters the music list.
    w.trrGenre->setCurrentItem(w.trrGenre->topLevelItem(2)->child(2));   // Rock
    EXPECT_EQ(rig.titles(), (Strings{"alpha", "Charlie"}));
    w.trrGenre->setCurrentItem(w.trrGenre->topLevelItem(3)->child(1));   // Ann
    EXPECT_EQ(rig.titles(), (Strings{"Charlie", "Delta"}));
    EXPECT_EQ(columnTexts(w.lstMP3, 1), (Strings{"1", "2"}));
    w.trrGenre->setCurrentItem(w.trrGenre->topLevelItem(1)->child(0));   // no year
    EXPECT_EQ(rig.titles(), (Strings{"4.mp3"}));
    // A root other than "Title" lists nothing and disables copying all.
    w.spdAllCopy->setEnabled(true);
    w.trrGenre->setCurrentItem(w.trrGenre->topLevelItem(4));
    EXPECT_EQ(w.lstMP3->topLevelItemCount(), 0);
    EXPECT_FALSE(w.spdAllCopy->isEnabled());
    w.trrGenre->setCurrentItem(w.trrGenre->topLevelItem(0));
    EXPECT_EQ(w.lstMP3->topLevelItemCount(), 4);
    EXPECT_TRUE(w.close());
}

TEST(MainFormLibrary, UpdateScansAgainAndRereadsThePlaylistTags)
{
    LibraryRig rig;
    TfrmMain& w = *rig.w;
    rig.showAndLoad();
    ASSERT_TRUE(FillList(w.Library, w.lstFile, {rig.music.file("2.mp3")}, true));
    EXPECT_EQ(columnTexts(w.lstFile, 2), Strings{"alpha"});

    // A song retitled and a new one, seen after the update only.
    writeTaggedSongs(rig.music.path(), {{"2.mp3", "Alpha Two", "Bob", "Red", "1999", "Rock", "1"},
                                        {"5.mp3", "Echo", "Cat", "Green", "2010", "Pop", "5"}});
    w.do_Update->setEnabled(false);   // the update follows the music list's item
    w.do_Update1->trigger();
    EXPECT_EQ(w.lstMP3->topLevelItemCount(), 4);
    EXPECT_EQ(columnTexts(w.lstFile, 2), Strings{"alpha"});

    w.do_Update->setEnabled(true);
    w.trrGenre->setCurrentItem(w.trrGenre->topLevelItem(2));
    w.do_Update1->trigger();
    EXPECT_EQ(rig.titles(), (Strings{"4.mp3", "Alpha Two", "Charlie", "Delta", "Echo"}));
    EXPECT_EQ(w.trrGenre->currentItem(), w.trrGenre->topLevelItem(0));
    EXPECT_EQ(w.trrGenre->topLevelItem(3)->childCount(), 4);   // "", Ann, Bob, Cat
    EXPECT_EQ(columnTexts(w.lstFile, 2), Strings{"Alpha Two"});
    w.do_Update->trigger();   // the music list's own item does the same
    EXPECT_EQ(w.lstMP3->topLevelItemCount(), 5);
    EXPECT_TRUE(w.close());
    EXPECT_EQ(rig.Asked, Strings{"プレイリスト"});   // the playlist is not lost unasked
}

TEST(MainFormLibrary, CloseDuringLibraryWorkWaitsForIt)
{
    LibraryRig rig;
    TfrmMain& w = *rig.w;
    rig.showAndLoad();
    bool refused = false;
    // Library work that lets a close request in, as a long scan does.
    w.Library.library.Run(-1, [&] {
        refused = !w.close();
        QCoreApplication::processEvents();
        EXPECT_TRUE(w.isVisible());
        EXPECT_NE(w.DxSound, nullptr);
    });
    EXPECT_TRUE(refused);
    ASSERT_TRUE(waitFor([&] { return !w.isVisible(); }));
    EXPECT_EQ(w.DxSound, nullptr);
    EXPECT_EQ(IniReadString(rig.settings.base, "SETTING", "MP3_PATH", ""), rig.music.path());
}

TEST(MainFormLibrary, APlaylistFilledWithShuffleOnIsShuffled)
{
    LibraryRig rig;
    TfrmMain& w = *rig.w;
    rig.showAndLoad();
    w.chkShuffle->SetChecked(true);
    const Strings paths = {rig.music.file("1.mp3"), rig.music.file("2.mp3"), rig.music.file("3.mp3")};
    std::set<Strings> orders;
    for (uint32_t seed = 1; seed <= 12; ++seed) {
        rtl::RandSeed = seed;
        FillList(w.Library, w.lstFile, paths, true);
        Strings got = columnTexts(w.lstFile, 8);
        EXPECT_EQ(columnTexts(w.lstFile, 1), (Strings{"1", "2", "3"}));
        orders.insert(got);
        std::sort(got.begin(), got.end());
        EXPECT_EQ(got, paths);   // every song exactly once
    }
    EXPECT_GT(orders.size(), 1u);
}
