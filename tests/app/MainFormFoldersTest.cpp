// The main window's music folders: the registered list read back by configparser through
// adds, deletes and restarts (a folder that is missing stays registered), the folder tree,
// the switch of the current folder, and changes other programs make in the watched folder
// followed in the music list.
#include "shared/SettingsFixture.h"

#include "app/DirMon.h"
#include "app/Globals.h"
#include "app/MainForm.h"
#include "app/libMusic.h"
#include "platform/forms/Application.h"
#include "util/libIni.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <filesystem>
#include <set>

using namespace testsupport;
namespace fs = std::filesystem;

using testsupport::waitFor;

// How long a test waits for what it expects.
constexpr int kWaitMs = 20000;

namespace {

bool onUiThread()
{
    return QThread::currentThread() == QCoreApplication::instance()->thread();
}

// The music files in a folder, as full paths.
std::set<std::string> filesIn(const std::string& folder)
{
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        if (IsMusicFile(e.path().string()))
            names.insert(e.path().string());
    return names;
}

// Rows the stand-in of the import routine lists carry this mark; rows of a scan do not.
constexpr int ImportedRole = Qt::UserRole + 50;

// A main window on a scratch settings file, with the real music library. The list routines
// that are not part of the window yet are stood in for: the import appends a row for each
// music file, the removal drops the row of a path.
struct FolderRig {
    FolderRig()
    {
        Mp3Path.clear();
        MusicFolders.clear();
    }
    void registerFolders(const std::vector<std::string>& folders, const std::string& current)
    {
        IniWriteSectionList(settings.base, "MUSIC_FOLDER", folders);
        IniWriteString(settings.base, "SETTING", "MP3_PATH", current);
    }
    // OwnImport keeps the window's own way of listing new files instead of the stand-in.
    void create(bool OwnImport = false)
    {
        w = std::make_unique<TfrmMain>();
        w->MsgBoxEx = [this](QWidget*, const std::string& c, const std::string& t, int d,
                             const std::string& b, const std::string& i) {
            Asked.push_back(c + "|" + t + "|" + std::to_string(d) + "|" + b + "|" + i);
            return Answer;
        };
        if (!OwnImport) w->ImportFilesHook = [this](const std::vector<std::string>& files, bool copyFirst) {
            offThread |= !onUiThread();
            EXPECT_FALSE(copyFirst);
            for (const auto& f : files) {
                Imported.push_back(f);
                if (!IsMusicFile(f))
                    continue;
                auto* row = new QTreeWidgetItem(w->lstMP3);
                row->setText(8, QString::fromStdString(f));
                row->setData(0, ImportedRole, true);
            }
        };
        w->RemovePathFromListHook = [this](TSortListView* view, const std::string& path) {
            offThread |= !onUiThread();
            if (view == w->lstFile)
                RemovedFromPlaylist.push_back(path);
            for (int i = 0; i < view->topLevelItemCount(); ++i)
                if (view->topLevelItem(i)->text(8).toStdString() == path) {
                    delete view->topLevelItem(i);
                    break;
                }
        };
    }
    std::set<std::string> musicList() const
    {
        std::set<std::string> paths;
        for (int i = 0; i < w->lstMP3->topLevelItemCount(); ++i)
            paths.insert(w->lstMP3->topLevelItem(i)->text(8).toStdString());
        return paths;
    }
    // Marks every row of the music list, to tell later whether a scan replaced them.
    void markRows()
    {
        for (int i = 0; i < w->lstMP3->topLevelItemCount(); ++i)
            w->lstMP3->topLevelItem(i)->setData(0, ImportedRole, true);
    }
    bool allRowsMarked() const
    {
        for (int i = 0; i < w->lstMP3->topLevelItemCount(); ++i)
            if (!w->lstMP3->topLevelItem(i)->data(0, ImportedRole).toBool())
                return false;
        return true;
    }
    void closeWindow()
    {
        ASSERT_TRUE(waitFor([&] { return !w->Library.Busy(); }, kWaitMs));
        EXPECT_TRUE(w->close());
    }
    void showAndLoad()
    {
        w->show();
        ASSERT_TRUE(waitFor([&] { return w->Loaded(); }, kWaitMs));
    }
    std::vector<std::string> treeTexts() const
    {
        std::vector<std::string> texts;
        for (QTreeWidgetItemIterator it(w->trrFile); *it; ++it)
            texts.push_back((*it)->text(0).toStdString());
        return texts;
    }
    std::string selectedText() const
    {
        auto* node = w->trrFile->currentItem();
        return node ? node->text(0).toStdString() : "<none>";
    }
    std::vector<std::string> storedFolders()
    {
        std::vector<std::string> folders;
        const ParsedIni ini = readWithConfigParser(settings.path());
        if (ini.has("MUSIC_FOLDER")) {
            int n = 0;
            for (const auto& [key, value] : ini.keys("MUSIC_FOLDER")) {
                EXPECT_EQ(key, std::to_string(++n));
                folders.push_back(value);
            }
        }
        return folders;
    }
    // Runs the add command, choosing Folder in the dialog (or cancelling when empty).
    void addFolder(const std::string& folder)
    {
        QTimer::singleShot(0, [this, folder] {
            auto* window = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            auto* browser = window ? window->findChild<QFileDialog*>() : nullptr;
            ASSERT_NE(browser, nullptr);
            DialogTitle = window->windowTitle().toStdString();
            DialogPos = window->pos();
            if (folder.empty()) {
                window->reject();
                return;
            }
            browser->setDirectory(QString::fromStdString(folder));
            static_cast<QDialog*>(browser)->accept();
        });
        w->do_AddMusicDir->trigger();
    }

    SettingsFixture settings;
    int Answer = 6;
    std::vector<std::string> Asked, Imported, RemovedFromPlaylist;
    bool offThread = false;
    std::string DialogTitle;
    QPoint DialogPos;
    std::unique_ptr<TfrmMain> w;
};

}  // namespace

TEST(MainFormFolders, RegistrationRoundTripsAndAMissingFolderStaysRegistered)
{
    TempDir music;
    const std::string a = music.file("ジャズ"), b = music.file("rock"), c = music.file("新しい"),
                      gone = music.file("unmounted");
    fs::create_directories(a);
    fs::create_directories(b);
    fs::create_directories(c);
    writeFile(a + "/a.mp3", "a");
    writeFile(b + "/b.mp3", "b");
    writeFile(c + "/c.mp3", "c");
    FolderRig rig;
    rig.registerFolders({a, gone, b}, b);
    rig.create();
    rig.showAndLoad();
    TfrmMain& w = *rig.w;
    EXPECT_EQ(rig.treeTexts(), (std::vector<std::string>{"MusicFolder", "ジャズ", "rock"}));
    EXPECT_EQ(rig.selectedText(), "rock");
    EXPECT_EQ(w.CurrentFolderIndex, 1);
    EXPECT_EQ(MusicFolders, (std::vector<std::string>{a, b}));
    EXPECT_EQ(w.RegisteredFolders, (std::vector<std::string>{a, gone, b}));
    EXPECT_EQ(rig.musicList(), filesIn(b));
    EXPECT_EQ(w.DirMon1->Path(), b + "/");

    // A new folder is registered after the others, the missing one kept, and made current.
    rig.addFolder(c);
    EXPECT_EQ(rig.DialogTitle, "音楽フォルダーの選択");
    EXPECT_EQ(rig.DialogPos, w.pos() + QPoint(32, 32));
    EXPECT_EQ(rig.storedFolders(), (std::vector<std::string>{a, gone, b, c}));
    EXPECT_EQ(rig.treeTexts(), (std::vector<std::string>{"MusicFolder", "ジャズ", "rock", "新しい"}));
    EXPECT_EQ(rig.selectedText(), "新しい");
    EXPECT_EQ(Mp3Path, c);
    EXPECT_EQ(rig.musicList(), filesIn(c));
    EXPECT_TRUE(w.DirMon1->Active());
    EXPECT_EQ(w.DirMon1->Path(), c + "/");

    // A registered folder only becomes current; the current one or a cancel changes nothing.
    rig.addFolder(a);
    EXPECT_EQ(rig.storedFolders(), (std::vector<std::string>{a, gone, b, c}));
    EXPECT_EQ(rig.selectedText(), "ジャズ");
    EXPECT_EQ(Mp3Path, a);
    EXPECT_EQ(rig.musicList(), filesIn(a));
    rig.markRows();
    rig.addFolder(a);
    rig.addFolder("");
    EXPECT_TRUE(rig.allRowsMarked());   // no new scan
    EXPECT_EQ(Mp3Path, a);

    // Deleting keeps the missing folder registered.
    w.trrFile->setCurrentItem(w.trrFile->topLevelItem(0)->child(1));   // rock
    rig.Asked.clear();
    w.do_DeleteDir->trigger();
    ASSERT_EQ(rig.Asked.size(), 1u);
    EXPECT_EQ(rig.Asked[0], "音楽フォルダリストの削除|「rock」 をリストから削除します。 よろしいですか？　|2|YN|?");
    EXPECT_EQ(rig.storedFolders(), (std::vector<std::string>{a, gone, c}));
    EXPECT_EQ(MusicFolders, (std::vector<std::string>{a, c}));
    rig.closeWindow();
    EXPECT_EQ(IniReadString(rig.settings.base, "SETTING", "MP3_PATH", ""), a);

    // After a restart the missing folder is still registered and not shown; once it is
    // there again the tree shows it.
    rig.create();
    rig.showAndLoad();
    EXPECT_EQ(rig.w->RegisteredFolders, (std::vector<std::string>{a, gone, c}));
    EXPECT_EQ(rig.treeTexts(), (std::vector<std::string>{"MusicFolder", "ジャズ", "新しい"}));
    fs::create_directories(gone);
    rig.w->BuildMusicFolderTree("");
    EXPECT_EQ(rig.treeTexts(), (std::vector<std::string>{"MusicFolder", "ジャズ", "unmounted", "新しい"}));
    EXPECT_EQ(rig.selectedText(), "ジャズ");
    EXPECT_EQ(rig.storedFolders(), (std::vector<std::string>{a, gone, c}));
    rig.closeWindow();
}

TEST(MainFormFolders, SelectingAFolderMakesItCurrentAndTheMenuFollowsTheSelection)
{
    TempDir music;
    const std::string a = music.file("a"), b = music.file("b");
    fs::create_directories(a);
    fs::create_directories(b);
    writeFile(a + "/a.mp3", "a");
    writeFile(b + "/b.wav", "b");
    FolderRig rig;
    rig.registerFolders({a, b}, a);
    rig.create();
    rig.showAndLoad();
    TfrmMain& w = *rig.w;
    QTreeWidgetItem* root = w.trrFile->topLevelItem(0);

    w.trrFile->setCurrentItem(root);
    w.PopupMenu6Popup();
    EXPECT_TRUE(w.do_AddMusicDir->isEnabled());
    EXPECT_FALSE(w.do_DeleteDir->isEnabled());
    EXPECT_EQ(Mp3Path, a);   // the root is no folder

    w.trrFile->setCurrentItem(root->child(1));
    w.PopupMenu6Popup();
    EXPECT_FALSE(w.do_AddMusicDir->isEnabled());
    EXPECT_TRUE(w.do_DeleteDir->isEnabled());
    EXPECT_EQ(Mp3Path, b);
    EXPECT_EQ(w.lblFolder->toolTip().toStdString(), b);
    EXPECT_EQ(w.DirMon1->Path(), b + "/");
    EXPECT_EQ(rig.musicList(), filesIn(b));

    // Changes made by code while the tree is being updated switch nothing.
    w.TreeUpdating = true;
    w.trrFile->setCurrentItem(root->child(0));
    w.TreeUpdating = false;
    EXPECT_EQ(Mp3Path, b);

    // No to the question keeps the folder.
    rig.Answer = 7;
    w.do_DeleteDir->trigger();
    EXPECT_EQ(MusicFolders.size(), 2u);
    EXPECT_EQ(rig.storedFolders(), (std::vector<std::string>{a, b}));
    rig.closeWindow();
    const IniKeys setting = readWithConfigParser(rig.settings.path()).keys("SETTING");
    EXPECT_NE(std::find(setting.begin(), setting.end(), std::pair<std::string, std::string>{"MP3_PATH", b}),
              setting.end());
}

TEST(MainFormFolders, DeletingTheLastFolderLeavesNoCurrentFolderAndNothingWatched)
{
    TempDir music;
    writeFile(music.file("a.mp3"), "a");
    FolderRig rig;
    rig.registerFolders({music.path()}, music.path());
    rig.create();
    rig.showAndLoad();
    TfrmMain& w = *rig.w;
    ASSERT_TRUE(w.DirMon1->Active());
    rig.markRows();
    w.trrFile->setCurrentItem(w.trrFile->topLevelItem(0)->child(0));
    w.do_DeleteDir->trigger();
    EXPECT_EQ(rig.treeTexts(), std::vector<std::string>{"MusicFolder"});
    EXPECT_EQ(rig.selectedText(), "MusicFolder");
    EXPECT_TRUE(Mp3Path.empty());
    EXPECT_FALSE(w.DirMon1->Active());
    EXPECT_EQ(rig.musicList(), filesIn(music.path()));
    EXPECT_TRUE(rig.allRowsMarked());   // the library is not scanned again
    EXPECT_TRUE(rig.storedFolders().empty());
    rig.closeWindow();
}

// Settings that cannot be stored (their folder is a plain file, which stops root as well): a
// folder added still joins the tree and becomes current for the session, and the user has heard
// of the settings once, at start-up.
TEST(MainFormFolders, AFolderAddedWhileSettingsCannotBeStoredHoldsForTheSession)
{
    TempDir music;
    const std::string a = music.file("ジャズ");
    fs::create_directories(a);
    writeFile(a + "/a.mp3", "a");
    FolderRig rig;
    writeFile(rig.settings.dir.file("plain"), "x");
    IniBase = rig.settings.dir.file("plain") + "/Tambourelle";
    std::vector<std::string> told;
    forms::SetExceptionReporter([&](const std::string& m) { told.push_back(m); });
    rig.create();
    rig.showAndLoad();
    EXPECT_EQ(told.size(), 1u);
    rig.addFolder(a);
    TfrmMain& w = *rig.w;
    EXPECT_EQ(rig.treeTexts(), (std::vector<std::string>{"MusicFolder", "ジャズ"}));
    EXPECT_EQ(rig.selectedText(), "ジャズ");
    EXPECT_EQ(Mp3Path, a);
    EXPECT_EQ(w.RegisteredFolders, std::vector<std::string>{a});
    EXPECT_TRUE(waitFor([&] { return rig.musicList() == filesIn(a); }, kWaitMs));
    std::vector<std::string> stored;
    IniReadSectionList(IniBase, "MUSIC_FOLDER", stored, false);
    EXPECT_EQ(stored, std::vector<std::string>{a});
    const QString shots = QCoreApplication::applicationDirPath() + "/../screenshots/app/";
    QDir().mkpath(shots);
    EXPECT_TRUE(w.grab().toImage().save(shots + "main-folder-added-settings-not-stored.png"));
    rig.closeWindow();
    EXPECT_EQ(told.size(), 1u);
    EXPECT_FALSE(fs::exists(IniBase + ".ini"));
    forms::SetExceptionReporter(nullptr);
}

TEST(MainFormFolders, ChangesByOtherProgramsReachTheListsOnTheUiThread)
{
    TempDir music, elsewhere;
    const std::string m = music.path();
    writeFile(music.file("old.mp3"), "old");
    FolderRig rig;
    rig.registerFolders({m}, m);
    rig.create();
    rig.showAndLoad();
    TfrmMain& w = *rig.w;
    ASSERT_TRUE(w.DirMon1->Active());
    EXPECT_EQ(rig.musicList(), filesIn(m));

    writeFile(music.file("new.mp3"), "new");
    ASSERT_TRUE(waitFor([&] { return rig.musicList().contains(music.file("new.mp3")); }, kWaitMs));
    fs::remove(music.file("old.mp3"));
    ASSERT_TRUE(waitFor([&] { return !rig.musicList().contains(music.file("old.mp3")); }, kWaitMs));
    EXPECT_EQ(rig.RemovedFromPlaylist, std::vector<std::string>{music.file("old.mp3")});
    writeFile(music.file("song.part"), "downloaded");
    fs::rename(music.file("song.part"), music.file("song.mp3"));
    fs::rename(music.file("new.mp3"), elsewhere.file("new.mp3"));   // moved out
    writeFile(elsewhere.file("in.mp3"), "in");
    fs::rename(elsewhere.file("in.mp3"), music.file("in.mp3"));     // moved in
    ASSERT_TRUE(waitFor([&] { return rig.musicList() == filesIn(m); }, kWaitMs));
    EXPECT_EQ(rig.musicList(), (std::set<std::string>{music.file("song.mp3"), music.file("in.mp3")}));

    // A burst of several thousand files, some gone again at once.
    for (int i = 0; i < 3000; ++i)
        writeFile(music.file("burst" + std::to_string(i) + ".mp3"), "b");
    for (int i = 0; i < 3000; i += 7)
        fs::remove(music.file("burst" + std::to_string(i) + ".mp3"));
    ASSERT_TRUE(waitFor([&] { return rig.musicList() == filesIn(m); }, kWaitMs));
    EXPECT_TRUE(rig.allRowsMarked());   // every change came through; no scan was needed
    EXPECT_FALSE(rig.offThread);
    rig.closeWindow();
}

TEST(MainFormFolders, ANewFileIsListedOnceItHasStoppedChanging)
{
    TempDir music;
    FolderRig rig;
    rig.registerFolders({music.path()}, music.path());
    rig.create();
    rig.showAndLoad();
    TfrmMain& w = *rig.w;
    const std::string path = music.file("copied.mp3");
    const std::string full(100000, 'x');
    // The copy goes on after the file was announced: the rest is written from inside the
    // announcement, before any check of the file can run.
    auto created = w.DirMon1->OnCreated;
    w.DirMon1->OnCreated = [&](TDirMon* s, const std::string& n) {
        created(s, n);
        if (n == "copied.mp3")
            writeFile(path, full);
    };
    std::uintmax_t sizeWhenListed = 0;
    auto import = w.ImportFilesHook;
    w.ImportFilesHook = [&](const std::vector<std::string>& files, bool copyFirst) {
        sizeWhenListed = fs::file_size(path);
        import(files, copyFirst);
    };
    writeFile(path, "ID3");
    ASSERT_TRUE(waitFor([&] { return !rig.Imported.empty(); }, kWaitMs));
    EXPECT_EQ(rig.Imported, std::vector<std::string>{path});
    EXPECT_EQ(sizeWhenListed, full.size());

    // A file gone before it settled is never listed.
    writeFile(music.file("brief.mp3"), "x");
    fs::remove(music.file("brief.mp3"));
    writeFile(music.file("after.mp3"), "x");
    ASSERT_TRUE(waitFor([&] { return rig.Imported.size() == 2; }, kWaitMs));
    EXPECT_EQ(rig.Imported.back(), music.file("after.mp3"));
    rig.closeWindow();
}

TEST(MainFormFolders, AnOverflowRescansTheFolderAndWatchingGoesOn)
{
    TempDir music;
    const std::string m = music.path();
    writeFile(music.file("keep.mp3"), "k");
    writeFile(music.file("listed.mp3"), "l");
    FolderRig rig;
    rig.registerFolders({m}, m);
    rig.create();
    rig.showAndLoad();
    TfrmMain& w = *rig.w;
    auto* row = new QTreeWidgetItem(w.lstFile);
    row->setText(8, QString::fromStdString(music.file("listed.mp3")));
    w.DirMon1->MaxQueuedChanges = 20;
    rig.markRows();

    // Made while the window serves no events, so the changes pile up beyond the bound.
    fs::remove(music.file("listed.mp3"));
    for (int i = 0; i < 200; ++i)
        writeFile(music.file("burst" + std::to_string(i) + ".mp3"), "b");
    ASSERT_TRUE(waitFor([&] { return rig.musicList() == filesIn(m); }, kWaitMs));
    EXPECT_FALSE(rig.allRowsMarked());   // the rows come from a new scan
    EXPECT_NE(std::find(rig.RemovedFromPlaylist.begin(), rig.RemovedFromPlaylist.end(),
                        music.file("listed.mp3")),
              rig.RemovedFromPlaylist.end());
    EXPECT_TRUE(w.DirMon1->Active());

    w.DirMon1->MaxQueuedChanges = 65536;
    writeFile(music.file("later.mp3"), "x");
    ASSERT_TRUE(waitFor([&] { return rig.musicList().contains(music.file("later.mp3")); }, kWaitMs));
    EXPECT_EQ(rig.musicList(), filesIn(m));
    EXPECT_FALSE(rig.offThread);
    rig.closeWindow();
}

TEST(MainFormFolders, TheWatchedFolderGoingAwayEmptiesTheLibrary)
{
    TempDir music;
    const std::string m = music.file("disk");
    fs::create_directories(m);
    writeFile(m + "/a.mp3", "a");
    FolderRig rig;
    rig.registerFolders({m}, m);
    rig.create();
    rig.showAndLoad();
    ASSERT_EQ(rig.musicList(), filesIn(m));
    // A row no removal would take away: only a new scan does.
    (new QTreeWidgetItem(rig.w->lstMP3))->setText(8, QString::fromStdString(m + "/ghost.mp3"));
    fs::remove_all(m);
    ASSERT_TRUE(waitFor([&] { return !rig.w->DirMon1->Active() && rig.musicList().empty(); }, kWaitMs));
    rig.closeWindow();
}

TEST(MainFormFolders, WithTheWindowsOwnImportNewMusicAppearsInTheMusicList)
{
    TempDir music;
    const std::string m = music.path();
    writeFile(music.file("old.mp3"), "old");
    FolderRig rig;
    rig.registerFolders({m}, m);
    rig.create(true);
    rig.showAndLoad();
    writeFile(music.file("notes.txt"), "not music");
    writeFile(music.file("new.mp3"), "new");
    ASSERT_TRUE(waitFor([&] { return rig.musicList().contains(music.file("new.mp3")); }, kWaitMs));
    EXPECT_FALSE(rig.musicList().contains(music.file("notes.txt")));
    rig.closeWindow();
}
