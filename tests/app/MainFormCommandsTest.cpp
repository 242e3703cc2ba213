// The music list, playlist and favourite commands of the main window, driven through their
// handlers on a folder of tagged songs, a scratch settings file and a home folder of the
// test's own (its trash included): deleting files to the trash, copying, moving and removing
// rows, and favourites created, saved, updated, renamed, deleted and loaded again, with the
// modified flag and the questions that follow the user's edits.
#include "ListColumns.h"
#include "shared/SettingsFixture.h"
#include "shared/TaggedSongs.h"

#include "app/Globals.h"
#include "app/MainForm.h"
#include "app/libFavorite.h"
#include "app/libMusic.h"
#include "app/xInput.h"
#include "labels/forms/xCDTitle.h"
#include "tags/libID3Tag.h"
#include "controls/std/Label.h"
#include "util/libIme.h"
#include "util/libIni.h"
#include "util/libWindows.h"
#include "util/xMessageBox.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDialog>
#include <QFileDialog>
#include <QApplication>
#include <QLineEdit>
#include <QTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QCoreApplication>
#include <QImage>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <functional>
#include <optional>

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::ScopedEnv;
using testsupport::writeFile;

using testsupport::waitFor;

namespace {

using Strings = std::vector<std::string>;

struct Question {
    std::string caption, text, buttons;
};

const std::vector<TaggedSong> kSongs = {
    {"a.mp3", "Apple", "Ann", "Blue", "2001", "Jazz", "1"},
    {"b.mp3", "Banana", "Bob", "Red", "1999", "Rock", "2"},
    {"c.mp3", "Cherry", "Cid", "Green", "2003", "Pop", "3"},
};

// A main window over a music folder of three songs, in a home folder of its own; questions
// are answered from Answers (then Answer), name dialogs from Typed (then cancelled).
struct CommandsRig {
    CommandsRig() : homeEnv("HOME", home.path()), dataEnv("XDG_DATA_HOME", home.file("data"))
    {
        fs::create_directories(music());
        IniWriteString(settings.base, "SETTING", "MP3_PATH", music());
        create();
        writeTaggedSongs(music(), kSongs);
        writeFile(music() + "/notes.txt", "not music");
    }
    void create()
    {
        Mp3Path.clear();
        MusicFolders.clear();
        w = std::make_unique<TfrmMain>();
        ProgramInput = w->InputFavoriteName;
        w->MsgBoxEx = [this](QWidget*, const std::string& c, const std::string& t, int,
                             const std::string& b, const std::string&) {
            Asked.push_back({c, t, b});
            if (Answers.empty())
                return Answer;
            const int a = Answers.front();
            Answers.pop_front();
            return a;
        };
        w->InputFavoriteName = [this](const std::string& Prompt, std::string& Name) {
            Prompts.push_back(Prompt);
            Shown.push_back(Name);
            if (Typed.empty())
                return false;
            Name = Typed.front();
            Typed.pop_front();
            return true;
        };
    }
    void showAndLoad()
    {
        w->show();
        ASSERT_TRUE(waitFor([&] { return w->Loaded(); }));
    }
    // A window on the same settings, as at the next start.
    void restart()
    {
        Answer = 6;
        w->close();
        w.reset();
        create();
        showAndLoad();
    }
    std::string music() const { return home.file("music"); }
    std::string song(const char* Name) const { return music() + "/" + Name; }
    static void select(TSortListView* List, std::initializer_list<int> Rows)
    {
        List->clearSelection();
        for (int r : Rows)
            List->topLevelItem(r)->setSelected(true);
    }
    QTreeWidgetItem* favouriteNode(const std::string& Name) const
    {
        QTreeWidgetItem* root = w->trrFavorite->topLevelItem(0);
        for (int i = 0; root && i < root->childCount(); ++i)
            if (root->child(i)->text(0).toStdString() == Name)
                return root->child(i);
        return nullptr;
    }
    Strings favouriteNodes() const
    {
        Strings out;
        QTreeWidgetItem* root = w->trrFavorite->topLevelItem(0);
        for (int i = 0; root && i < root->childCount(); ++i)
            out.push_back(root->child(i)->text(0).toStdString());
        return out;
    }
    // The values of a section as python's configparser reads the file; none when missing.
    std::optional<Strings> section(const std::string& Name) const
    {
        const ParsedIni ini = readWithConfigParser(settings.path());
        if (!ini.has(Name))
            return std::nullopt;
        Strings values;
        for (const auto& [key, value] : ini.keys(Name))
            values.push_back(value);
        return values;
    }

    testsupport::TempDir home;
    ScopedEnv homeEnv, dataEnv;
    SettingsFixture settings;
    std::unique_ptr<TfrmMain> w;
    int Answer = 6;
    std::deque<int> Answers;
    std::vector<Question> Asked;
    std::deque<std::string> Typed;
    Strings Prompts, Shown;
    std::function<bool(const std::string&, std::string&)> ProgramInput;   // the window's own
};

Strings namesIn(const std::string& Folder)
{
    Strings names;
    if (fs::is_directory(Folder))
        for (const auto& e : fs::directory_iterator(Folder))
            names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

const char* const DeleteFirst = "選択したファイルを削除します。 よろしいですか　（ファイルをゴミ箱に移します）？　";
const char* const DeleteAgain = "本当に削除してもよろしいですか　（ファイルをゴミ箱に移します）？　";
const char* const NewPrompt = "新規に作成するお気に入りの 『タイトル』 を入力して下さい。";

}  // namespace

TEST(MainFormCommands, DeletedFilesGoToTheTrashAndLeaveBothLists)
{
    CommandsRig rig;
    rig.showAndLoad();
    TfrmMain& w = *rig.w;
    ASSERT_EQ(columnTexts(w.lstMP3, 2), (Strings{"Apple", "Banana", "Cherry"}));
    rig.select(w.lstMP3, {0, 2});
    w.spdCopyListClick();
    const std::string apple = readFile(rig.song("a.mp3")), banana = readFile(rig.song("b.mp3"));

    rig.select(w.lstMP3, {0, 1});
    w.PopupMenu2Popup();
    ASSERT_TRUE(w.do_DelTitle->isEnabled());
    rig.Answers = {6, 7};   // No to the second question: nothing happens
    w.do_DelTitleClick();
    EXPECT_EQ(columnTexts(w.lstMP3, 2), (Strings{"Apple", "Banana", "Cherry"}));
    EXPECT_EQ(namesIn(rig.music()), (Strings{"a.mp3", "b.mp3", "c.mp3", "notes.txt"}));

    rig.Asked.clear();
    w.do_DelTitleClick();
    ASSERT_EQ(rig.Asked.size(), 2u);
    EXPECT_EQ(rig.Asked[0].caption, "Title削除");
    EXPECT_EQ(rig.Asked[0].text, DeleteFirst);
    EXPECT_EQ(rig.Asked[1].text, DeleteAgain);
    EXPECT_EQ(rig.Asked[1].buttons, "YN");

    // Only the two files moved, into the freedesktop trash with their origins recorded.
    EXPECT_EQ(namesIn(rig.music()), (Strings{"c.mp3", "notes.txt"}));
    const std::string trash = rig.home.file("data/Trash");
    ASSERT_EQ(namesIn(trash + "/files"), (Strings{"a.mp3", "b.mp3"}));
    EXPECT_EQ(readFile(trash + "/files/a.mp3"), apple);
    EXPECT_EQ(readFile(trash + "/files/b.mp3"), banana);
    EXPECT_EQ(namesIn(trash + "/info"), (Strings{"a.mp3.trashinfo", "b.mp3.trashinfo"}));
    const std::string info = readFile(trash + "/info/b.mp3.trashinfo");
    EXPECT_NE(info.find("Path=" + rig.song("b.mp3") + "\n"), std::string::npos) << info;

    EXPECT_EQ(columnTexts(w.lstMP3, 2), (Strings{"Cherry"}));
    EXPECT_EQ(columnTexts(w.lstMP3, 1), (Strings{"1"}));
    EXPECT_TRUE(w.lstMP3->topLevelItem(0)->isSelected());
    EXPECT_EQ(columnTexts(w.lstFile, 8), (Strings{rig.song("c.mp3")}));   // a's row went too
    w.close();
}

TEST(MainFormCommands, AFileThatCannotBeTrashedKeepsItsRowAndTheUserIsTold)
{
    CommandsRig rig;
    rig.showAndLoad();
    TfrmMain& w = *rig.w;
    // Gone behind the list's back: nothing can move it to the trash.
    fs::remove(rig.song("b.mp3"));
    rig.select(w.lstMP3, {1, 2});
    rig.Answers = {6, 6};
    w.do_DelTitleClick();
    EXPECT_EQ(namesIn(rig.music()), (Strings{"a.mp3", "notes.txt"}));
    EXPECT_EQ(namesIn(rig.home.file("data/Trash/files")), (Strings{"c.mp3"}));
    EXPECT_EQ(columnTexts(w.lstMP3, 2), (Strings{"Apple", "Banana"}));
    EXPECT_EQ(columnTexts(w.lstMP3, 1), (Strings{"1", "2"}));
    ASSERT_EQ(rig.Asked.size(), 3u);
    const Question& told = rig.Asked[2];
    EXPECT_EQ(told.caption, "Title削除");
    EXPECT_EQ(told.buttons, "Y");
    EXPECT_NE(told.text.find(rig.song("b.mp3")), std::string::npos) << told.text;
    EXPECT_EQ(told.text.find(rig.song("c.mp3")), std::string::npos) << told.text;
    EXPECT_EQ(told.text.find(rig.song("a.mp3")), std::string::npos) << told.text;
    w.close();
}

TEST(MainFormCommands, CopyingFollowsTheSameSongOptionAndTheButtonsFollowTheRows)
{
    CommandsRig rig;
    rig.showAndLoad();
    TfrmMain& w = *rig.w;
    rig.select(w.lstMP3, {1});
    EXPECT_TRUE(w.spdDetails->isEnabled());
    EXPECT_EQ(w.spdDetails->Tag, 1);
    EXPECT_TRUE(w.spdCopyList->isEnabled());
    EXPECT_FALSE(w.spdPlayList->isEnabled());
    w.spdCopyListClick();
    ASSERT_EQ(w.lstFile->topLevelItemCount(), 1);
    for (int c = 2; c <= 8; ++c)
        EXPECT_EQ(w.lstFile->topLevelItem(0)->text(c), w.lstMP3->topLevelItem(1)->text(c)) << c;
    EXPECT_EQ(TCustomSortListView::ColumnText(w.lstFile->topLevelItem(0), 1), "Banana");  // as drawn
    EXPECT_TRUE(w.lstMP3->selectedItems().isEmpty());
    EXPECT_TRUE(w.spdPlayList->isEnabled());
    EXPECT_TRUE(w.spdFavorite->isEnabled());
    EXPECT_TRUE(w.FavoriteModified);

    rig.select(w.lstMP3, {1});
    w.spdCopyListClick();   // already there
    EXPECT_EQ(w.lstFile->topLevelItemCount(), 1);
    w.do_SameMusic->setChecked(true);
    rig.select(w.lstMP3, {1});
    w.spdCopyListClick();
    EXPECT_EQ(columnTexts(w.lstFile, 2), (Strings{"Banana", "Banana"}));
    w.do_SameMusic->setChecked(false);
    w.do_CopyAllClick();
    EXPECT_EQ(columnTexts(w.lstFile, 2), (Strings{"Banana", "Banana", "Apple", "Cherry"}));
    EXPECT_EQ(columnTexts(w.lstFile, 1), (Strings{"1", "2", "3", "4"}));

    rig.select(w.lstFile, {0});
    EXPECT_EQ(w.spdDetails->Tag, 2);
    w.PopupMenu3Popup();
    EXPECT_TRUE(w.do_MoveUp->isEnabled());
    EXPECT_TRUE(w.do_DelList->isEnabled());
    rig.select(w.lstFile, {0, 1});
    w.PopupMenu3Popup();
    EXPECT_FALSE(w.do_MoveUp->isEnabled());
    EXPECT_TRUE(w.do_DelList->isEnabled());
    rig.Answers = {7};
    w.do_DelListClick();   // No keeps the rows
    EXPECT_EQ(w.lstFile->topLevelItemCount(), 4);
    w.do_DelListClick();
    EXPECT_EQ(columnTexts(w.lstFile, 2), (Strings{"Apple", "Cherry"}));
    EXPECT_EQ(columnTexts(w.lstFile, 1), (Strings{"1", "2"}));
    EXPECT_TRUE(w.lstFile->topLevelItem(0)->isSelected());
    EXPECT_EQ(rig.Asked.back().text,
              "選択したタイトルをリストから削除します。 よろしいですか　（ファイルは削除されません）？　");

    w.PopupMenu3Popup();
    rig.Asked.clear();
    w.do_DelListAllClick();
    EXPECT_EQ(rig.Asked.size(), 2u);
    EXPECT_EQ(w.lstFile->topLevelItemCount(), 0);
    EXPECT_FALSE(w.spdPlayList->isEnabled());
    EXPECT_FALSE(w.spdFavorite->isEnabled());
    EXPECT_EQ(namesIn(rig.music()), (Strings{"a.mp3", "b.mp3", "c.mp3", "notes.txt"}));
    rig.Answer = 6;
    w.close();
}

TEST(MainFormCommands, MovingAndSortingRenumberTheRows)
{
    CommandsRig rig;
    rig.showAndLoad();
    TfrmMain& w = *rig.w;
    w.do_CopyAllClick();
    w.FavoriteModified = false;
    rig.select(w.lstFile, {0});
    w.do_MoveUpClick();   // the first row stays
    EXPECT_EQ(columnTexts(w.lstFile, 2), (Strings{"Apple", "Banana", "Cherry"}));
    EXPECT_FALSE(w.FavoriteModified);
    w.do_MoveDownClick();
    EXPECT_EQ(columnTexts(w.lstFile, 2), (Strings{"Banana", "Apple", "Cherry"}));
    EXPECT_EQ(columnTexts(w.lstFile, 8), (Strings{rig.song("b.mp3"), rig.song("a.mp3"), rig.song("c.mp3")}));
    EXPECT_EQ(columnTexts(w.lstFile, 1), (Strings{"1", "2", "3"}));
    EXPECT_EQ(w.lstFile->selectedItems(), QList<QTreeWidgetItem*>{w.lstFile->topLevelItem(1)});
    EXPECT_TRUE(w.FavoriteModified);
    rig.select(w.lstFile, {2});
    w.do_MoveDownClick();   // the last row stays
    rig.select(w.lstFile, {0, 1});
    w.do_MoveDownClick();   // two selected: nothing moves
    w.do_MoveUpClick();
    EXPECT_EQ(columnTexts(w.lstFile, 2), (Strings{"Banana", "Apple", "Cherry"}));

    // Ctrl+Up is taken on key down and moves the row on key up; Delete removes rows.
    auto key = [&](QEvent::Type Type, int Key, Qt::KeyboardModifiers Mods) {
        QKeyEvent e(Type, Key, Mods);
        return QCoreApplication::sendEvent(w.lstFile, &e) && e.isAccepted();
    };
    rig.select(w.lstFile, {2});
    key(QEvent::KeyPress, Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(columnTexts(w.lstFile, 2), (Strings{"Banana", "Apple", "Cherry"}));
    key(QEvent::KeyRelease, Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(columnTexts(w.lstFile, 2), (Strings{"Banana", "Cherry", "Apple"}));
    rig.Answers = {6};
    key(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    EXPECT_EQ(columnTexts(w.lstFile, 2), (Strings{"Banana", "Apple"}));

    // The music list was sorted by title when filled: a click on Title sorts it the other
    // way and numbers it again from the top; a click on "No." does nothing.
    rig.select(w.lstMP3, {0});
    w.lstMP3->ColumnClick(2);
    EXPECT_EQ(columnTexts(w.lstMP3, 2), (Strings{"Cherry", "Banana", "Apple"}));
    EXPECT_EQ(columnTexts(w.lstMP3, 1), (Strings{"1", "2", "3"}));
    EXPECT_TRUE(w.lstMP3->selectedItems().isEmpty());
    w.lstMP3->ColumnClick(1);
    EXPECT_EQ(columnTexts(w.lstMP3, 2), (Strings{"Cherry", "Banana", "Apple"}));
    // Sorting the playlist is not an edit of it.
    w.FavoriteModified = false;
    w.lstFile->ColumnClick(3);
    EXPECT_EQ(columnTexts(w.lstFile, 1), (Strings{"1", "2"}));
    EXPECT_FALSE(w.FavoriteModified);
    rig.Answer = 6;
    w.close();
}

TEST(MainFormCommands, FavouritesAreWhatTheSettingsFileHolds)
{
    CommandsRig rig;
    rig.showAndLoad();
    TfrmMain& w = *rig.w;
    EXPECT_EQ(rig.favouriteNodes(), Strings{});

    rig.Typed = {"Drive", "Other", "drive"};
    w.do_AddFavorite1Click();
    w.do_AddFavorite1Click();
    w.do_AddFavorite1Click();   // the same name in other letters
    EXPECT_EQ(rig.Prompts, (Strings{NewPrompt, NewPrompt, NewPrompt}));
    EXPECT_EQ(rig.Asked.back().text, "同じ名前があります！！");
    EXPECT_EQ(rig.favouriteNodes(), (Strings{"Drive", "Other"}));
    EXPECT_EQ(rig.section("Favorite"), (Strings{"Drive", "Other"}));

    w.trrFavorite->setCurrentItem(rig.favouriteNode("Drive"));
    EXPECT_EQ(w.lblFavorite->text().toStdString(), "Drive");
    w.do_CopyAllClick();
    EXPECT_TRUE(w.FavoriteModified);
    EXPECT_TRUE(w.spdFvUpdate->isEnabled());

    // Saving under the name in other letters adds to the favourite as it is stored.
    rig.Asked.clear();
    rig.Typed = {"drive"};
    w.spdFavoriteClick();
    EXPECT_EQ(rig.Shown.back(), "Drive");
    ASSERT_EQ(rig.Asked.size(), 1u);
    EXPECT_EQ(rig.Asked[0].text, "お気に入りの 『 drive  』 にリストを追加しますか？");
    const Strings sorted{rig.song("a.mp3"), rig.song("b.mp3"), rig.song("c.mp3")};
    EXPECT_EQ(rig.section("Favorite_Drive"), sorted);
    EXPECT_EQ(w.lblFavorite->text().toStdString(), "Drive");
    EXPECT_FALSE(w.FavoriteModified);
    EXPECT_FALSE(w.spdFvUpdate->isEnabled());

    // An edit makes the close ask; the update stores the new order and the close goes.
    rig.select(w.lstFile, {2});
    w.do_MoveUpClick();
    EXPECT_TRUE(w.FavoriteModified);
    rig.Answer = 7;
    EXPECT_FALSE(w.close());
    EXPECT_EQ(rig.Asked.back().text,
              "お気に入り　『　Drive　』　が変更されています！！\r\r　　終了してもよろしいですか？");
    rig.Answer = 6;
    w.spdFvUpdateClick();
    EXPECT_EQ(rig.section("Favorite_Drive"), (Strings{rig.song("a.mp3"), rig.song("c.mp3"), rig.song("b.mp3")}));
    EXPECT_FALSE(w.FavoriteModified);

    // Renaming in place moves the entries; a name another favourite has is refused.
    std::string text = "Road";
    w.trrGenreEdited(rig.favouriteNode("Drive"), text);
    EXPECT_EQ(text, "Road");
    EXPECT_EQ(w.lblFavorite->text().toStdString(), "Road");
    text = "other";
    w.trrGenreEdited(rig.favouriteNode("Road"), text);
    EXPECT_EQ(text, "Road");
    EXPECT_EQ(rig.Asked.back().text, "同じ名前があります！！");
    EXPECT_EQ(rig.favouriteNodes(), (Strings{"Road", "Other"}));
    EXPECT_EQ(rig.section("Favorite"), (Strings{"Road", "Other"}));
    EXPECT_EQ(rig.section("Favorite_Road"), (Strings{rig.song("a.mp3"), rig.song("c.mp3"), rig.song("b.mp3")}));
    EXPECT_EQ(rig.section("Favorite_Drive"), std::nullopt);

    // The next start shows the same favourites and loads what is stored.
    rig.Asked.clear();
    rig.restart();
    EXPECT_TRUE(rig.Asked.empty());   // nothing unsaved at the close
    TfrmMain& again = *rig.w;
    EXPECT_EQ(rig.favouriteNodes(), (Strings{"Road", "Other"}));
    again.trrFavorite->setCurrentItem(rig.favouriteNode("Road"));
    EXPECT_EQ(again.lblFavorite->text().toStdString(), "Road");
    Strings loaded = columnTexts(again.lstFile, 8);
    std::sort(loaded.begin(), loaded.end());
    EXPECT_EQ(loaded, sorted);
    EXPECT_FALSE(again.FavoriteModified);
    EXPECT_TRUE(again.close());
    EXPECT_TRUE(rig.Asked.empty());
}

TEST(MainFormCommands, DeletingAFavouriteAsksBeforeADifferentModifiedPlaylistGoes)
{
    CommandsRig rig;
    for (const char* name : {"A", "B", "C"}) {
        ASSERT_TRUE(AddFavoriteName(name));
        WriteFavoriteItems(name, {rig.song("a.mp3")});
    }
    rig.showAndLoad();
    TfrmMain& w = *rig.w;
    w.trrFavorite->setCurrentItem(rig.favouriteNode("C"));
    rig.select(w.lstMP3, {2});
    w.spdCopyListClick();
    ASSERT_TRUE(w.FavoriteModified);
    // The tree shows B while the playlist holds the modified C.
    w.TreeUpdating = true;
    w.trrFavorite->setCurrentItem(rig.favouriteNode("B"));
    w.TreeUpdating = false;

    w.PopupMenu7Popup();
    EXPECT_FALSE(w.do_AddFavorite->isEnabled());
    ASSERT_TRUE(w.do_DelFavorite->isEnabled());
    rig.Answers = {6, 6, 7};   // delete B; keep the modified C
    w.do_DelFavoriteClick();
    ASSERT_EQ(rig.Asked.size(), 3u);
    EXPECT_EQ(rig.Asked[0].caption, "Favorite削除");
    EXPECT_EQ(rig.Asked[0].text, "「B」 を削除します。 よろしいですか？　");
    EXPECT_EQ(rig.Asked[2].text,
              "お気に入り　『　C　』　が変更されています！！\r\r　　『　C　』　を読み込んでもよろしいですか？");
    EXPECT_EQ(rig.favouriteNodes(), (Strings{"A", "C"}));
    EXPECT_EQ(rig.section("Favorite"), (Strings{"A", "C"}));
    EXPECT_EQ(w.lblFavorite->text().toStdString(), "C");
    EXPECT_EQ(columnTexts(w.lstFile, 8), (Strings{rig.song("a.mp3"), rig.song("c.mp3")}));
    EXPECT_TRUE(w.FavoriteModified);
    EXPECT_EQ(w.trrFavorite->currentItem(), rig.favouriteNode("C"));

    // Deleting the open favourite, the last in the tree, empties the playlist and loads the
    // one before it.
    rig.Asked.clear();
    rig.Answers = {6, 6};
    w.PopupMenu7Popup();
    w.do_DelFavoriteClick();
    EXPECT_EQ(rig.Asked.size(), 2u);
    EXPECT_EQ(rig.favouriteNodes(), (Strings{"A"}));
    EXPECT_EQ(w.trrFavorite->currentItem(), rig.favouriteNode("A"));
    EXPECT_EQ(w.lblFavorite->text().toStdString(), "A");
    EXPECT_EQ(columnTexts(w.lstFile, 8), (Strings{rig.song("a.mp3")}));
    EXPECT_FALSE(w.FavoriteModified);
    w.close();
}

TEST(MainFormCommands, AnUnnamedPlaylistIsNotReplacedOrDiscardedWithoutAsking)
{
    CommandsRig rig;
    ASSERT_TRUE(AddFavoriteName("A"));
    WriteFavoriteItems("A", {rig.song("b.mp3")});
    rig.showAndLoad();
    TfrmMain& w = *rig.w;
    rig.select(w.lstMP3, {0});
    w.spdCopyListClick();
    rig.Answers = {7};
    w.trrFavorite->setCurrentItem(rig.favouriteNode("A"));
    ASSERT_EQ(rig.Asked.size(), 1u);
    EXPECT_EQ(rig.Asked[0].caption, "プレイリスト");
    EXPECT_EQ(columnTexts(w.lstFile, 2), (Strings{"Apple"}));
    EXPECT_TRUE(w.lblFavorite->text().isEmpty());
    EXPECT_TRUE(w.trrFavorite->selectedItems().isEmpty());

    rig.Answers = {7};
    w.do_NewPlayListClick();
    EXPECT_EQ(rig.Asked.back().text, "プレイリストが作成されています！！\r\r　　破棄してもよろしいですか？");
    EXPECT_EQ(w.lstFile->topLevelItemCount(), 1);
    rig.Answers = {6};
    w.do_NewPlayListClick();
    EXPECT_EQ(w.lstFile->topLevelItemCount(), 0);
    EXPECT_FALSE(w.spdFavorite->isEnabled());
    EXPECT_FALSE(w.spdPlayList->isEnabled());
    rig.Asked.clear();
    EXPECT_TRUE(w.close());
    EXPECT_TRUE(rig.Asked.empty());
}

TEST(MainFormCommands, SelectedRowsTakeTheListsColours)
{
    CommandsRig rig;
    rig.showAndLoad();
    TfrmMain& w = *rig.w;
    w.do_CopyAllClick();
    w.trrFavorite->setFocus();
    rig.select(w.lstFile, {1});
    rig.select(w.lstMP3, {1});
    auto background = [](TSortListView* List, int Row) {
        const QRect r = List->visualItemRect(List->topLevelItem(Row));
        const QImage shot = List->viewport()->grab().toImage();
        // The right end of the Album cell, past its short text.
        const int x = List->header()->sectionViewportPosition(4) + List->columnWidth(4) - 3;
        return shot.pixelColor(x * shot.width() / List->viewport()->width(),
                               (r.center().y()) * shot.height() / List->viewport()->height()).rgb() & 0xFFFFFF;
    };
    EXPECT_EQ(background(w.lstFile, 1), 0xFCF1A9u);   // 0x00BBGGRR 0xA9F1FC
    EXPECT_EQ(background(w.lstMP3, 1), 0xCABEF3u);
    EXPECT_EQ(background(w.lstFile, 0), 0xFFFFFFu);
    rig.Answer = 6;
    w.close();
}

TEST(MainFormCommands, TheNameDialogNamesTheNewFavourite)
{
    CommandsRig rig;
    rig.showAndLoad();
    TfrmMain& w = *rig.w;
    w.InputFavoriteName = rig.ProgramInput;
    w.do_CopyAllClick();
    std::string prompt;
    QTimer::singleShot(0, [&] {
        auto* dialog = dynamic_cast<TfrmInput*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        prompt = dialog->lblTitle->Caption();
        dialog->edtInp->setText(QString::fromUtf8("　夜のドライブ "));
        dialog->spdOKClick(dialog->spdOK);
    });
    w.spdFavoriteClick();
    EXPECT_EQ(prompt, "新規に作成するお気に入りの 『タイトル』 を入力して下さい。\r"
                      "既存のお気に入りに追加する場合はその名前を入力して下さい！！");
    EXPECT_EQ(rig.section("Favorite"), (Strings{"夜のドライブ"}));
    EXPECT_EQ(rig.favouriteNodes(), (Strings{"夜のドライブ"}));
    EXPECT_EQ(w.lblFavorite->text().toStdString(), "夜のドライブ");
    EXPECT_EQ(rig.section("Favorite_夜のドライブ")->size(), 3u);
    w.close();
}

TEST(MainFormCommands, RenamingInPlaceGoesThroughTheStore)
{
    CommandsRig rig;
    ASSERT_TRUE(AddFavoriteName("Drive"));
    ASSERT_TRUE(AddFavoriteName("Walk"));
    rig.showAndLoad();
    TfrmMain& w = *rig.w;
    auto rename = [&](const char* From, const char* To) {
        QTreeWidgetItem* node = rig.favouriteNode(From);
        w.trrFavorite->setCurrentItem(node);
        w.trrFavorite->editItem(node);
        EXPECT_EQ(GetImeMode(&w), 6);   // hiragana while a name is typed
        auto* edit = w.trrFavorite->viewport()->findChild<QLineEdit*>();
        ASSERT_NE(edit, nullptr);
        edit->setText(QString::fromUtf8(To));
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(edit, &enter);
        // The editor commits once back in the event loop.
        EXPECT_TRUE(waitFor([&] { return w.trrFavorite->viewport()->findChild<QLineEdit*>() == nullptr; }));
    };
    rename("Drive", "Road");
    EXPECT_EQ(rig.favouriteNodes(), (Strings{"Road", "Walk"}));
    EXPECT_EQ(rig.section("Favorite"), (Strings{"Road", "Walk"}));
    EXPECT_EQ(w.lblFavorite->text().toStdString(), "Road");
    rename("Road", "walk");   // another favourite's name: refused
    EXPECT_EQ(rig.favouriteNodes(), (Strings{"Road", "Walk"}));
    EXPECT_EQ(rig.section("Favorite"), (Strings{"Road", "Walk"}));
    EXPECT_EQ(rig.Asked.back().text, "同じ名前があります！！");
    w.close();
}

namespace {

// The four ways a user refuses a question in the program's own message box.
struct Refusal {
    const char* name;
    void (*act)(TfrmMessageBox&);
};

void sendKey(TfrmMessageBox& Box, Qt::Key Key, const QString& Text)
{
    QWidget* target = Box.focusWidget() ? Box.focusWidget() : &Box;
    QKeyEvent press(QEvent::KeyPress, Key, Qt::NoModifier, Text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, Key, Qt::NoModifier, Text);
    QApplication::sendEvent(target, &release);
}

const Refusal kRefusals[] = {
    {"No button",
     [](TfrmMessageBox& b) {
         const QPointF at(5, 5);
         QMouseEvent press(QEvent::MouseButtonPress, at, b.btnMode2->mapToGlobal(at), Qt::LeftButton,
                           Qt::LeftButton, Qt::NoModifier);
         QApplication::sendEvent(b.btnMode2, &press);
         QMouseEvent release(QEvent::MouseButtonRelease, at, b.btnMode2->mapToGlobal(at), Qt::LeftButton,
                             Qt::NoButton, Qt::NoModifier);
         QApplication::sendEvent(b.btnMode2, &release);
     }},
    {"N key", [](TfrmMessageBox& b) { sendKey(b, Qt::Key_N, "n"); }},
    {"Esc", [](TfrmMessageBox& b) { sendKey(b, Qt::Key_Escape, "\x1b"); }},
    {"close box", [](TfrmMessageBox& b) { b.close(); }},
};

}  // namespace

// Every question the window asks is put in the program's own box with a No button, and each
// of the four refusals leaves everything as it was: no file trashed, no row removed, no
// favourite changed, the window open.
TEST(MainFormCommands, EveryQuestionCanBeRefusedEveryWay)
{
    CommandsRig rig;
    IniWriteSectionList(rig.settings.base, "MUSIC_FOLDER", {rig.music()});
    IniWriteSectionList(rig.settings.base, "Favorite", {"F", "G"});
    IniWriteSectionList(rig.settings.base, "Favorite_F", {rig.song("a.mp3")});
    IniWriteSectionList(rig.settings.base, "Favorite_G", {rig.song("b.mp3")});
    rig.w.reset();
    rig.create();
    rig.showAndLoad();
    TfrmMain& w = *rig.w;
    const std::string stored = readFile(rig.settings.path());

    // The real box is shown; the questions before the one refused are answered Yes.
    const Refusal* refusal = nullptr;
    int yesBefore = 0, asked = 0;
    w.MsgBoxEx = [&](QWidget* Owner, const std::string& Caption, const std::string& Text, int Default,
                     const std::string& Buttons, const std::string& Icon) {
        rig.Asked.push_back({Caption, Text, Buttons});
        if (asked++ < yesBefore)
            return 6;
        bool acted = false;
        QTimer::singleShot(0, qApp, [&, Default] {
            if (!frmMessageBox)
                return;
            acted = true;
            EXPECT_EQ(ButtonMode, 2) << Text;
            EXPECT_EQ(DefaultButton, Default) << "names a hidden button: " << Text;
            refusal->act(*frmMessageBox);
        });
        const int answer = ::MsgBoxEx(Owner, Caption, Text, Default, Buttons, Icon);
        EXPECT_TRUE(acted) << Text;
        EXPECT_EQ(answer, 7) << refusal->name << ": " << Text;
        return answer;
    };

    auto loadFavourite = [&](const char* Name) {
        w.trrFavorite->setCurrentItem(w.trrFavorite->topLevelItem(0));
        w.trrFavorite->setCurrentItem(rig.favouriteNode(Name));
    };
    auto unnamedPlaylist = [&] {
        rig.Answer = 6;
        w.do_NewPlayListClick();
        w.do_CopyAllClick();
    };
    auto modifiedFavourite = [&] {
        unnamedPlaylist();
        loadFavourite("F");
        w.do_CopyAllClick();
        ASSERT_TRUE(w.FavoriteModified);
    };
    auto playlistIsKept = [&](const char* Name) {
        EXPECT_EQ(w.lstFile->topLevelItemCount(), 3);
        EXPECT_EQ(w.lblFavorite->text().toStdString(), Name);
    };
    struct Caller {
        const char* name;
        int questions;
        std::function<void()> setUp, ask, unchanged;
    };
    const std::vector<Caller> callers = {
        {"delete files", 2, [&] { rig.select(w.lstMP3, {0}); w.PopupMenu2Popup(); }, [&] { w.do_DelTitleClick(); },
         [&] {
             EXPECT_EQ(namesIn(rig.music()), (Strings{"a.mp3", "b.mp3", "c.mp3", "notes.txt"}));
             EXPECT_EQ(w.lstMP3->topLevelItemCount(), 3);
         }},
        {"remove rows", 1, [&] { unnamedPlaylist(); rig.select(w.lstFile, {1}); w.PopupMenu3Popup(); },
         [&] { w.do_DelListClick(); }, [&] { playlistIsKept(""); }},
        {"remove all rows", 2, [&] { unnamedPlaylist(); w.PopupMenu3Popup(); }, [&] { w.do_DelListAllClick(); },
         [&] { playlistIsKept(""); }},
        {"discard the unnamed playlist", 1, unnamedPlaylist, [&] { w.do_NewPlayListClick(); },
         [&] { playlistIsKept(""); }},
        {"discard the modified favourite", 1, modifiedFavourite, [&] { w.do_NewPlayListClick(); },
         [&] { playlistIsKept("F"); }},
        {"load over the unnamed playlist", 1, unnamedPlaylist, [&] { loadFavourite("G"); },
         [&] { playlistIsKept(""); }},
        {"load over the modified favourite", 1, modifiedFavourite, [&] { loadFavourite("G"); },
         [&] { playlistIsKept("F"); }},
        {"close over the unnamed playlist", 1, unnamedPlaylist, [&] { w.close(); },
         [&] { EXPECT_TRUE(w.isVisible()); }},
        {"close over the modified favourite", 1, modifiedFavourite, [&] { w.close(); },
         [&] { EXPECT_TRUE(w.isVisible()); }},
        {"update the favourite", 1, modifiedFavourite, [&] { w.spdFvUpdateClick(); },
         [&] { EXPECT_EQ(rig.section("Favorite_F"), Strings{rig.song("a.mp3")}); }},
        {"add to a stored favourite", 1, unnamedPlaylist,
         [&] {
             rig.Typed = {"G"};
             w.spdFavoriteClick();
         },
         [&] { EXPECT_EQ(rig.section("Favorite_G"), Strings{rig.song("b.mp3")}); }},
        {"delete a favourite", 2,
         [&] {
             w.trrFavorite->setCurrentItem(rig.favouriteNode("G"));
             w.PopupMenu7Popup();
         },
         [&] { w.do_DelFavoriteClick(); }, [&] { EXPECT_EQ(rig.favouriteNodes(), (Strings{"F", "G"})); }},
        {"remove a music folder", 1,
         [&] { w.trrFile->setCurrentItem(w.trrFile->topLevelItem(0)->child(0)); },
         [&] { w.do_DeleteDir->trigger(); }, [&] { EXPECT_EQ(w.trrFile->topLevelItem(0)->childCount(), 1); }},
    };
    for (const Caller& caller : callers) {
        yesBefore = asked = 0;
        refusal = nullptr;   // set-up questions are answered by the rig's Answer
        auto own = w.MsgBoxEx;
        w.MsgBoxEx = [&](QWidget*, const std::string&, const std::string&, int, const std::string&,
                         const std::string&) { return rig.Answer; };
        caller.setUp();
        w.MsgBoxEx = own;
        for (int question = 0; question < caller.questions; ++question)
            for (const Refusal& r : kRefusals) {
                SCOPED_TRACE(std::string(caller.name) + ", question " + std::to_string(question + 1) + ", " + r.name);
                refusal = &r;
                yesBefore = question;
                asked = 0;
                rig.Asked.clear();
                caller.ask();
                ASSERT_EQ(asked, question + 1);
                EXPECT_EQ(rig.Asked.back().buttons, "YN");
                caller.unchanged();
            }
    }
    EXPECT_EQ(readFile(rig.settings.path()), stored);   // nothing refused was written
    w.MsgBoxEx = [](QWidget*, const std::string&, const std::string&, int, const std::string&,
                    const std::string&) { return 6; };
    w.close();
}

namespace {

// Runs the export command, choosing Folder in the folder dialog; returns the folder the
// dialog opened at.
std::string exportTo(TfrmMain& w, const std::string& Folder)
{
    std::string opened;
    QTimer::singleShot(0, [&] {
        auto* window = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        auto* browser = window ? window->findChild<QFileDialog*>() : nullptr;
        ASSERT_NE(browser, nullptr);
        opened = browser->directory().absolutePath().toStdString();
        browser->setDirectory(QString::fromStdString(Folder));
        static_cast<QDialog*>(browser)->accept();
    });
    w.do_CopyList2->trigger();
    return opened;
}

}  // namespace

TEST(MainFormCommands, ExportCopiesThePlaylistAndItsPhotos)
{
    CommandsRig rig;
    writeFile(rig.music() + "/a.jpg", "photo of a");
    writeFile(rig.home.file("secret.jpg"), "outside the music folder");
    for (const auto& [song, photo] : {std::pair{"a.mp3", "a.jpg"}, std::pair{"b.mp3", "../secret.jpg"}}) {
        ReadTag(rig.song(song));
        CurrentTag.PhotoName = photo;
        ASSERT_TRUE(WriteTag(rig.song(song)));
    }
    rig.showAndLoad();
    TfrmMain& w = *rig.w;
    rig.select(w.lstMP3, {0, 1, 2});
    w.spdCopyListClick();
    fs::create_directories(GetSpecialFolder(7));
    const std::string out = rig.home.file("player");
    fs::create_directories(out + "/b.mp3");   // a folder in the way: that copy fails
    writeFile(out + "/c.mp3", "old");

    rig.Answers = {6, 6, 7};   // start, overwrite b.mp3, keep c.mp3
    EXPECT_EQ(exportTo(w, out), GetSpecialFolder(7));   // the default: the Music folder
    ASSERT_EQ(rig.Asked.size(), 4u);
    EXPECT_EQ(rig.Asked[1].text, "同じファイル名 『 b.mp3 』 があります。\r\r上書きしますか？");
    EXPECT_EQ(rig.Asked[3].caption, "エクスポート");
    EXPECT_NE(rig.Asked[3].text.find("b.mp3"), std::string::npos) << "the failure is named";
    EXPECT_EQ(readFile(out + "/a.mp3"), readFile(rig.song("a.mp3")));
    EXPECT_EQ(readFile(out + "/a.jpg"), "photo of a");
    EXPECT_EQ(fs::status(out + "/a.jpg").permissions() & (fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write), fs::perms::none)
        << "the photo is read-only";
    EXPECT_EQ(readFile(out + "/c.mp3"), "old");
    EXPECT_EQ(namesIn(out), (Strings{"a.jpg", "a.mp3", "b.mp3", "c.mp3"})) << "no photo from outside";
    const IniKeys keys = readWithConfigParser(rig.settings.path()).keys("SETTING");
    EXPECT_NE(std::find(keys.begin(), keys.end(), std::pair<std::string, std::string>("COPY_FOLDER", out)), keys.end());

    // Again, over the read-only photo: it is replaced; the dialog opens at the last folder.
    writeFile(rig.music() + "/a.jpg", "new photo");
    rig.Asked.clear();
    rig.Answers = {6, 6, 7, 7};
    EXPECT_EQ(exportTo(w, out), out);
    EXPECT_EQ(readFile(out + "/a.jpg"), "new photo");

    // The music folder itself: every file is its own destination and stays as it was.
    const std::string a = readFile(rig.song("a.mp3"));
    rig.Asked.clear();
    rig.Answer = 6;
    exportTo(w, rig.music());
    EXPECT_EQ(rig.Asked.size(), 1u);
    EXPECT_EQ(readFile(rig.song("a.mp3")), a);
}

TEST(MainFormCommands, BurningStagesThePlaylistForTheDesktopsBurner)
{
    CommandsRig rig;
    ScopedEnv dirs("XDG_DATA_DIRS", rig.home.file("none")), config("XDG_CONFIG_HOME", rig.home.file("config")),
        cache("XDG_CACHE_HOME", rig.home.file("cache"));
    rig.showAndLoad();
    TfrmMain& w = *rig.w;
    const std::string other = rig.home.file("other/a.mp3");
    fs::create_directories(rig.home.file("other"));
    writeFile(other, "another song of the same name");
    ASSERT_TRUE(FillList(w.Library, w.lstFile, {rig.song("a.mp3"), other}, true));
    const std::string staging = rig.home.file("cache") + "/Tambourelle/cd-burning";
    const char* const Failed = "ＣＤバナーの起動に失敗しました！！";

    // No drive: asked until Cancel, then nothing more.
    w.CdDrive = [] { return std::string(); };
    rig.Answers = {6, 6, 6, 2};
    w.do_BurnCD1->trigger();
    ASSERT_EQ(rig.Asked.size(), 4u);
    EXPECT_EQ(rig.Asked[1].text, "ＣＤドライブ の認識が出来ません！！");
    EXPECT_EQ(rig.Asked[3].buttons, "yc");
    EXPECT_FALSE(w.pnlBurnCD->isVisible());

    // A drive with a disc (an image) but no burner on the desktop: the failure is told and
    // nothing stays staged. A link someone left in the folder goes, its target stays.
    const std::string cue = rig.home.file("disc.cue");
    writeFile(cue, "FILE \"disc.bin\" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n");
    writeFile(rig.home.file("disc.bin"), std::string(2352 * 4, '\0'));
    w.CdDrive = [&] { return cue; };
    const std::string target = rig.home.file("keep.txt");
    writeFile(target, "keep me");
    fs::create_directories(staging);
    fs::create_directory_symlink(rig.home.path(), staging + "/home-link");
    fs::create_symlink(target, staging + "/file-link");
    rig.Asked.clear();
    w.do_BurnCD1->trigger();
    ASSERT_EQ(rig.Asked.size(), 2u);
    EXPECT_EQ(rig.Asked[1].text, Failed);
    EXPECT_TRUE(namesIn(staging).empty());
    EXPECT_EQ(readFile(target), "keep me");
    EXPECT_TRUE(fs::exists(rig.song("a.mp3")));

    // With a burner: it gets exactly the staged files, same names kept apart.
    const std::string apps = rig.home.file("data") + "/applications", recorder = rig.home.file("record.sh");
    fs::create_directories(apps);
    writeFile(recorder, "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.args.tmp\" && mv \"$0.args.tmp\" \"$0.args\"\nsleep 2\n");
    fs::permissions(recorder, fs::perms::owner_all);
    writeFile(apps + "/burner.desktop", "[Desktop Entry]\nType=Application\nMimeType=x-content/blank-cd;\nExec=" + recorder + " %F\n");
    rig.Asked.clear();
    w.do_BurnCD1->trigger();
    EXPECT_EQ(rig.Asked.size(), 1u) << "no message";
    EXPECT_TRUE(w.pnlBurnCD->isVisible());
    ASSERT_TRUE(waitFor([&] { return fs::exists(recorder + ".args"); }));
    EXPECT_EQ(readFile(recorder + ".args"), staging + "/a.mp3\n" + staging + "/a(2).mp3\n");
    // In the playlist's order.
    EXPECT_EQ(readFile(staging + "/a.mp3"), readFile(TfrmMain::RowPath(w.lstFile->topLevelItem(0))));
    EXPECT_EQ(readFile(staging + "/a(2).mp3"), readFile(TfrmMain::RowPath(w.lstFile->topLevelItem(1))));
    w.PopupMenu3Popup();
    EXPECT_FALSE(w.do_BurnCD1->isEnabled()) << "one burn at a time";
    ASSERT_TRUE(waitFor([&] { return !w.pnlBurnCD->isVisible(); }));
    EXPECT_TRUE(w.isVisible()) << "the window stays";
}

TEST(MainFormCommands, ThePrintItemOpensTheDesignerOverThePlaylist)
{
    CommandsRig rig;
    rig.showAndLoad();
    TfrmMain& w = *rig.w;
    // The designer as the print item shows it: its caption and the playlist's rows; closed.
    auto look = [](std::string& Caption, int& Rows) {
        QTimer::singleShot(0, [&] {
            auto* d = dynamic_cast<TfrmCD_Label*>(QApplication::activeModalWidget());
            if (!d)
                return;
            Caption = d->Caption();
            waitFor([&] { return d->BuildCount() > 0; });
            Rows = d->JacketTracks().Rows;
            d->close();
        });
    };
    std::string caption;
    int rows = -1;
    w.PopupMenu3Popup();
    EXPECT_FALSE(w.do_Print->isEnabled());
    look(caption, rows);
    w.do_PrintClick();   // without rows nothing opens
    QCoreApplication::processEvents();
    EXPECT_EQ(caption, "");

    w.do_CopyAllClick();
    w.PopupMenu3Popup();
    EXPECT_TRUE(w.do_Print->isEnabled());
    look(caption, rows);
    w.do_Print->trigger();
    EXPECT_EQ(caption, "ＣＤジャケットとラベルの印刷");
    EXPECT_EQ(rows, 3);
}
