// The music folders of the main window: the registered list in the settings section
// [MUSIC_FOLDER], the folder tree trrFile that shows the ones that exist under the root
// "MusicFolder", the switch of the current folder, adding a folder through the folder
// dialog and removing one, and the answers to the directory monitor that watches the
// current folder.
//
// Two lists are kept on purpose: RegisteredFolders is what the settings file holds and is
// what gets written back, MusicFolders (and the tree) only the folders that exist now. A
// folder on a disk that is not mounted therefore stays registered through adds, deletes and
// restarts, and comes back into the tree once it is there again.
//
// The monitor's changes are followed as another program makes them: a new file is listed
// once it has stopped changing (it is announced while still empty, before its tag is
// written), a removed file leaves both lists, a rename is a removal and a new file, and a
// burst the monitor could not pass on in full (an overflow) or the loss of the folder makes
// the library scan the folder again. Paths are compared exactly, as the file system does.
//
// UI thread only.
#include "app/MainForm.h"

#include <algorithm>
#include <filesystem>

#include <QAction>
#include <QFileInfo>
#include <QMenu>

#include "util/Cp932.h"
#include "util/DirDialog.h"
#include "app/DirMon.h"
#include "app/DropTarget.h"
#include "app/FileDrop.h"
#include "app/Globals.h"
#include "app/libMusic.h"
#include "util/libIni.h"
#include "util/libWindows.h"

namespace {

const char* const FolderSection = "MUSIC_FOLDER";
const char* const RootText = "MusicFolder";
const std::string CR = "\r";
// How long a new file must stay unchanged before it is listed.
constexpr int SettleMs = 250;

bool Contains(const std::vector<std::string>& List, const std::string& Item)
{
    return std::find(List.begin(), List.end(), Item) != List.end();
}

// The text of a folder's node: its last path component ("/" for the root of the disk), as
// the user reads it.
QString NodeText(const std::string& Folder)
{
    const QString name = QFileInfo(QString::fromStdString(cp932::nameForDisplay(Folder))).fileName();
    return name.isEmpty() ? QString::fromStdString(Folder) : name;
}

// Image of the folder tree's nodes, selected or not.
constexpr int FolderImage = 23;

QTreeWidgetItem* AddNode(QTreeWidgetItem* Parent, const QString& Text)
{
    auto* node = new QTreeWidgetItem(Parent);
    node->setText(0, Text);
    node->setData(0, ImageIndexRole, FolderImage);
    node->setData(0, SelectedIndexRole, FolderImage);
    return node;
}

// The registered folders that exist, each once, in registration order.
std::vector<std::string> ExistingFolders(const std::vector<std::string>& Registered)
{
    std::vector<std::string> existing;
    for (const auto& folder : Registered)
        if (IsFolder(folder) && !Contains(existing, folder))
            existing.push_back(folder);
    return existing;
}

std::vector<std::string> ReadRegisteredFolders()
{
    std::vector<std::string> list;
    IniReadSectionList(IniBase, FolderSection, list, false);
    return list;
}

// A folder as the dialog or the settings give it, without a trailing separator.
std::string WithoutTrailingSlash(std::string Folder)
{
    while (Folder.size() > 1 && Folder.back() == '/')
        Folder.pop_back();
    return Folder;
}

}  // namespace

void TfrmMain::CreateFolderHandlers()
{
    // Only names matter to the window's handlers; write and access times would only queue
    // changes that nobody reads, and the access times change with every scan and playback.
    DirMon1->WatchFilters = {nfFILE_NAME};
    DirMon1->WatchSubtree = false;
    Handlers.Set(DirMon1->OnCreated, [this](TDirMon*, const std::string& n) { DirMon1Created(n); });
    Handlers.Set(DirMon1->OnDeleted, [this](TDirMon*, const std::string& n) { DirMon1Deleted(n); });
    Handlers.Set(DirMon1->OnRenamed, [this](TDirMon*, const std::string& a, const std::string& b) { DirMon1Renamed(a, b); });
    Handlers.Set(DirMon1->OnOverflow, [this](TDirMon*) { DirMon1Overflow(); });
    Handlers.Set(DirMon1->OnError, [this](TDirMon*, const std::string& m) { DirMon1Error(m); });
    Handlers.Set(DirDialog1->OnShowDialog, [this](QPoint& pt) { DirDialog1ShowDialog(pt); });
    FileDrop1 = new TFileDrop(this);
    Handlers.Set(FileDrop1->OnFileDrop, [this](TFileDrop*, int, const std::vector<std::string>& Files, int, int) {
        FileDrop1FileDrop(Files);
    });
    FileDrop1->Loaded();
    DropFileTarget1 = new TDropFileTarget(this);
    DropFileTarget1->Dragtypes = dtCopy;
    DropFileTarget1->GetDataOnEnter = true;
    Handlers.Set(DropFileTarget1->OnDrop, [this](TDropTarget*, Qt::KeyboardModifiers, QPoint, std::uint32_t&) {
        const std::vector<std::string> files = DropFileTarget1->Files;
        FileDrop1FileDrop(files);
    });
    DropFileTarget1->AttachTarget(lstFile);
    CreateRowDragHandlers();
    ImportFilesHook = [this](const std::vector<std::string>& Files, bool CopyFirst) {
        ImportFiles(Files, CopyFirst);
    };
    createdSettle_.SetEnabled(false);
    createdSettle_.SetInterval(SettleMs);
    createdSettle_.SetOnTimer([this] { forms::RunGuarded([this] { SettleCreatedFiles(); }); });

    Handlers.Connect(trrFile, &QTreeWidget::currentItemChanged, this,
            [this] { forms::RunGuarded([this] { trrFileChange(); }); });
    Handlers.Connect(PopupMenu6, &QMenu::aboutToShow, this, [this] { forms::RunGuarded([this] { PopupMenu6Popup(); }); });
    for (QAction* a : {do_AddMusicDir, do_Folder})
        Handlers.Connect(a, &QAction::triggered, this, [this] { forms::RunGuarded([this] { do_AddMusicDirClick(); }); });
    Handlers.Connect(do_DeleteDir, &QAction::triggered, this, [this] { forms::RunGuarded([this] { do_DeleteDirClick(); }); });
}

// ---------------------------------------------------------------- the tree

void TfrmMain::BuildMusicFolderTree(const std::string& NewFolder)
{
    TReentryGuard updating(TreeUpdating);
    const std::vector<std::string> stored = ReadRegisteredFolders();
    if (MusicFolderTreeChanged(stored, NewFolder)) {
        RegisteredFolders = stored;
        RebuildMusicFolderTree();
    } else {
        trrFile->setUpdatesEnabled(false);
        if (!NewFolder.empty()) {
            auto* node = AddNode(trrFile->topLevelItem(0), NodeText(NewFolder));
            ::Mp3Path = NewFolder;
            trrFile->setCurrentItem(node);
        }
        trrFile->setUpdatesEnabled(true);
        const auto at = std::find(MusicFolders.begin(), MusicFolders.end(), ::Mp3Path);
        const int index = at == MusicFolders.end() ? -1 : int(at - MusicFolders.begin());
        if (index != CurrentFolderIndex) {
            CurrentFolderIndex = index;
            SelectFolderNode(index);
        }
    }
    LayoutTreeSections();
}

// Whether the tree must be made afresh: the stored list differs from the one the tree was
// made from, a folder came or went, or the tree does not hold one node per folder (a
// caller that has just registered NewFolder expects its node to be added).
bool TfrmMain::MusicFolderTreeChanged(const std::vector<std::string>& Stored,
                                      const std::string& NewFolder) const
{
    if (trrFile->topLevelItemCount() != 1 || Stored != RegisteredFolders ||
        ExistingFolders(Stored) != MusicFolders)
        return true;
    const int expected = int(MusicFolders.size()) - (NewFolder.empty() ? 0 : 1);
    return trrFile->topLevelItem(0)->childCount() != expected ||
           (!NewFolder.empty() && MusicFolders.back() != NewFolder);
}

void TfrmMain::RebuildMusicFolderTree()
{
    trrFile->setUpdatesEnabled(false);
    trrFile->clear();
    auto* root = AddNode(trrFile->invisibleRootItem(), QString::fromLatin1(RootText));
    MusicFolders = ExistingFolders(RegisteredFolders);
    CurrentFolderIndex = -1;
    for (std::size_t i = 0; i < MusicFolders.size(); ++i) {
        AddNode(root, NodeText(MusicFolders[i]));
        if (MusicFolders[i] == ::Mp3Path)
            CurrentFolderIndex = int(i);
    }
    root->setExpanded(true);
    SelectFolderNode(CurrentFolderIndex);
    trrFile->setUpdatesEnabled(true);
}

// Selects the node of MusicFolders[Index], or the root for -1.
void TfrmMain::SelectFolderNode(int Index)
{
    QTreeWidgetItem* root = trrFile->topLevelItem(0);
    if (!root)
        return;
    QTreeWidgetItem* node = Index >= 0 && Index < root->childCount() ? root->child(Index) : root;
    trrFile->setCurrentItem(node);
}

void TfrmMain::trrFileChange()
{
    SelectMusicFolder();
}

void TfrmMain::SelectMusicFolder()
{
    if (TreeUpdating)
        return;
    QTreeWidgetItem* node = trrFile->currentItem();
    if (!node || !node->parent())
        return;
    const int index = node->parent()->indexOfChild(node);
    if (index < 0 || index >= int(MusicFolders.size()))
        return;
    const std::string path = MusicFolders[std::size_t(index)];
    if (path == ::Mp3Path)
        return;
    ::Mp3Path = path;
    CurrentFolderIndex = index;
    WatchMusicFolder(path);
    ShowFolderLabel(path);
    LoadMusicFolder(Library, path);
}

void TfrmMain::PopupMenu6Popup()
{
    QTreeWidgetItem* node = trrFile->currentItem();
    int nodes = 0;
    for (QTreeWidgetItemIterator it(trrFile); *it; ++it)
        ++nodes;
    do_AddMusicDir->setEnabled(node && !node->parent());
    do_DeleteDir->setEnabled(nodes > 1 && node && node->parent());
}

// ---------------------------------------------------------------- add and delete

void TfrmMain::DirDialog1ShowDialog(QPoint& Pt)
{
    Pt = pos() + QPoint(32, 32);
}

void TfrmMain::do_AddMusicDirClick()
{
    TReentryGuard guard(busy_);
    if (!guard)
        return;
    DirDialog1->Caption = "音楽フォルダーの選択";
    DirDialog1->Promt = "ファイルの種類 : au aif wav mp1 mp2 mp3 wma mpa" + CR + CR + "音楽フォルダの選択 :";
    DirDialog1->SetOptions(ddoNewStyle);
    DirDialog1->SetSelection(::Mp3Path);
    if (DirDialog1->Execute()) {
        forms::ProcessMessages();
        const std::string folder = WithoutTrailingSlash(DirDialog1->Directory);
        if (!folder.empty() && folder != ::Mp3Path) {
            if (!Contains(RegisteredFolders, folder)) {
                std::vector<std::string> registered = RegisteredFolders;
                registered.push_back(folder);
                WriteListSection(FolderSection, registered);
                RegisteredFolders = std::move(registered);
                MusicFolders.push_back(folder);
                ::Mp3Path = folder;
                BuildMusicFolderTree(folder);
            } else {
                // Registered before; it may have been missing when the tree was made.
                ::Mp3Path = folder;
                BuildMusicFolderTree(std::string());
            }
            WatchMusicFolder(::Mp3Path);
            ShowFolderLabel(::Mp3Path);
            LoadMusicFolder(Library, ::Mp3Path);
        }
    }
    FinishBusyStep();
}

void TfrmMain::do_DeleteDirClick()
{
    TReentryGuard guard(busy_);
    if (!guard)
        return;
    if (DeleteSelectedFolder())
        SelectMusicFolder();
    FinishBusyStep();
}

// Removes the selected folder from the tree and the registered list once the user agrees;
// false when nothing was removed.
bool TfrmMain::DeleteSelectedFolder()
{
    TReentryGuard updating(TreeUpdating);
    QTreeWidgetItem* node = trrFile->currentItem();
    QTreeWidgetItem* root = trrFile->topLevelItem(0);
    if (!node || !root || node->parent() != root)
        return false;
    int index = root->indexOfChild(node);
    if (index < 0 || index >= int(MusicFolders.size()))
        return false;
    const std::string text = node->text(0).toStdString();
    const std::string folder = MusicFolders[std::size_t(index)];
    if (MsgBoxEx(this, "音楽フォルダリストの削除",
                 "「" + text + "」 をリストから削除します。 よろしいですか？　", 2, "YN", "?") != 6)
        return false;
    // The folder the user was asked about, found again: events ran while they answered.
    index = int(std::find(MusicFolders.begin(), MusicFolders.end(), folder) - MusicFolders.begin());
    root = trrFile->topLevelItem(0);
    if (!root || index >= int(MusicFolders.size()) || index >= root->childCount())
        return false;
    node = root->child(index);
    std::vector<std::string> registered = RegisteredFolders;
    std::erase(registered, folder);
    WriteListSection(FolderSection, registered);
    RegisteredFolders = std::move(registered);
    MusicFolders.erase(MusicFolders.begin() + index);
    delete node;
    if (root->childCount() == 0) {
        trrFile->setCurrentItem(root);
        ::Mp3Path.clear();
        CurrentFolderIndex = -1;
        // No current folder: nothing is watched, and the lists stay as they are.
        WatchMusicFolder(::Mp3Path);
        ShowFolderLabel(::Mp3Path);
    } else {
        trrFile->setCurrentItem(root->child(0));
    }
    LayoutTreeSections();
    forms::ProcessMessages();
    return true;
}

// ---------------------------------------------------------------- the monitor

void TfrmMain::WatchMusicFolder(const std::string& Path)
{
    // Changes seen in the folder watched so far belong to it, not to the new one.
    createdFiles_.clear();
    createdOrder_.clear();
    createdSettle_.SetEnabled(false);
    if (!IsFolder(Path)) {
        DirMon1->SetActive(false);
        return;
    }
    try {
        DirMon1->SetPath(Path);
        DirMon1->SetActive(true);
    } catch (const EDirMonError& e) {
        DirMon1->SetActive(false);
        qWarning("Tambourelle: the music folder is not watched: %s", e.what());
    }
}

// After a command that wrote into the watched folder with the monitor off.
void TfrmMain::ResumeWatching()
{
    try {
        DirMon1->SetActive(true);
    } catch (const std::exception& e) {
        qWarning("Tambourelle: the music folder is no longer watched: %s", e.what());
    }
}

// Size and last write time of a file; Size -1 when it is gone or is a folder.
TfrmMain::TFileStamp TfrmMain::StampOf(const std::string& Path)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    TFileStamp stamp;
    const fs::file_status status = fs::status(Path, ec);
    if (ec || !fs::is_regular_file(status))
        return stamp;
    const auto size = fs::file_size(Path, ec);
    if (ec)
        return stamp;
    const auto time = fs::last_write_time(Path, ec);
    stamp.Size = static_cast<long long>(size);
    stamp.WriteTime = ec ? 0 : static_cast<long long>(time.time_since_epoch().count());
    return stamp;
}

void TfrmMain::DirMon1Created(const std::string& FileName)
{
    const std::string path = DirMon1->Path() + FileName;
    if (createdFiles_.insert_or_assign(path, StampOf(path)).second)
        createdOrder_.push_back(path);
    if (!createdSettle_.Enabled())
        createdSettle_.SetEnabled(true);
}

void TfrmMain::DirMon1Deleted(const std::string& FileName)
{
    const std::string path = DirMon1->Path() + FileName;
    createdFiles_.erase(path);
    CallRemovePathFromList(lstFile, path);
    CallRemovePathFromList(lstMP3, path);
}

// A rename inside the folder: the old name leaves the lists, the new one comes in as a new
// file (renaming "song.part" to "song.mp3" is how many programs finish a download).
void TfrmMain::DirMon1Renamed(const std::string& FromFileName, const std::string& ToFileName)
{
    DirMon1Deleted(FromFileName);
    DirMon1Created(ToFileName);
}

// Lists the new files that kept their size and write time over the last interval, all in
// one import, in the order they came; the others wait for the next round.
void TfrmMain::SettleCreatedFiles()
{
    std::vector<std::string> ready, waiting;
    for (const std::string& path : createdOrder_) {
        auto at = createdFiles_.find(path);
        if (at == createdFiles_.end())
            continue;   // deleted meanwhile, or a second mention
        const TFileStamp now = StampOf(path);
        if (now.Size < 0) {
            createdFiles_.erase(at);
        } else if (now == at->second) {
            ready.push_back(path);
            createdFiles_.erase(at);
        } else {
            at->second = now;
            waiting.push_back(path);
        }
    }
    createdOrder_ = std::move(waiting);
    if (createdOrder_.empty())
        createdSettle_.SetEnabled(false);
    if (!ready.empty() && ImportFilesHook)
        ImportFilesHook(ready, false);
}

void TfrmMain::DirMon1Overflow()
{
    RescanMusicFolder();
}

// The watched folder itself went away (deleted, moved, unmounted): the monitor has stopped,
// and the lists are brought in line with what is left.
void TfrmMain::DirMon1Error(const std::string& Message)
{
    qWarning("Tambourelle: %s", Message.c_str());
    if (!DirMon1->Active())
        RescanMusicFolder();
}

// Changes were lost: the library reads the folder again, and playlist rows of its files
// that are gone are dropped, as their removals would have done.
void TfrmMain::RescanMusicFolder()
{
    createdFiles_.clear();
    createdOrder_.clear();
    createdSettle_.SetEnabled(false);
    const std::string prefix = ::Mp3Path.ends_with('/') ? ::Mp3Path : ::Mp3Path + "/";
    std::vector<std::string> vanished;
    for (int i = 0; i < lstFile->topLevelItemCount(); ++i) {
        const std::string path = RowPath(lstFile->topLevelItem(i));
        if (path.starts_with(prefix) && path.find('/', prefix.size()) == std::string::npos &&
            !PathExists(path))
            vanished.push_back(path);
    }
    for (const std::string& path : vanished)
        CallRemovePathFromList(lstFile, path);
    LoadMusicFolder(Library, ::Mp3Path);
}

void TfrmMain::CallRemovePathFromList(TSortListView* ListView, const std::string& Path)
{
    if (RemovePathFromListHook)
        RemovePathFromListHook(ListView, Path);
}
