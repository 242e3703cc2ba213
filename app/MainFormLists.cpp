// The commands of the music list and the playlist: selection bookkeeping, copying rows to
// the playlist, deleting files to the trash, removing and moving playlist rows, the popup
// menus' states and the colours of rows and headers.
//
// Rows coming and going are watched on the lists' models, so every unit that fills a list
// keeps the buttons and the playlist's modified flag right; a list sorting itself takes its
// rows out and puts them back, which is neither.
#include "app/MainForm.h"

#include <algorithm>
#include <unordered_set>

#include <QAction>
#include <QKeyEvent>
#include <QMenu>

#include "app/DirMon.h"
#include "app/MainFormSupport.h"
#include "pictures/libImg.h"
#include "tags/libID3Tag.h"
#include "util/CaseFold.h"
#include "util/Cp932.h"
#include "util/libWindows.h"

namespace {

const std::string CR = "\r";
constexpr int PathColumn = 8;

// Row and header colours (0x00BBGGRR).
constexpr gfx::TColor HeaderText = 0x000000, HeaderPressedText = 0x0000FF;
constexpr gfx::TColor CaptionText = 0x008000, AccentText = 0xFF0000, PlainText = 0x000000;
constexpr gfx::TColor SelectedFocused = 0xEFAAFB, SelectedMusic = 0xF3BECA,
                      SelectedPlaylist = 0xA9F1FC;

int selectedCount(const TSortListView* ListView)
{
    return int(ListView->selectedItems().size());
}

// The rows a command that asks first acts on are taken before it asks: while the question is
// open, list play moves the playlist's selection on, and the answer is about what the user
// chose. All rows, or the selected ones, in list order.
std::vector<QTreeWidgetItem*> takeRows(const TSortListView* ListView, bool All)
{
    std::vector<QTreeWidgetItem*> rows;
    for (int i = 0; i < ListView->topLevelItemCount(); ++i)
        if (All || ListView->topLevelItem(i)->isSelected())
            rows.push_back(ListView->topLevelItem(i));
    return rows;
}

// The rows a list holds, for asking whether a row taken earlier is still one of them (events
// run while a question is open or play stops, and may have removed it). Only addresses are
// compared, never followed; Refresh after anything that let events run. A set, so that removing
// every row of a long list stays linear.
class ListedRows {
public:
    explicit ListedRows(const TSortListView* ListView) : list_(ListView) { Refresh(); }
    void Refresh()
    {
        rows_.clear();
        rows_.reserve(size_t(list_->topLevelItemCount()));
        for (int i = 0; i < list_->topLevelItemCount(); ++i)
            rows_.insert(list_->topLevelItem(i));
    }
    bool Contains(const QTreeWidgetItem* Row) const { return rows_.count(Row) != 0; }
    void Forget(const QTreeWidgetItem* Row) { rows_.erase(Row); }

private:
    const TSortListView* list_;
    std::unordered_set<const QTreeWidgetItem*> rows_;
};

// The index of the first of Rows still listed; -1 when none is.
int firstListedIndex(const TSortListView* ListView, const std::vector<QTreeWidgetItem*>& Rows)
{
    const ListedRows listed(ListView);
    for (QTreeWidgetItem* row : Rows)
        if (listed.Contains(row))
            return ListView->indexOfTopLevelItem(row);
    return -1;
}

bool sameFileIgnoringCase(const std::string& A, const std::string& B)
{
    return CaseFolded(A) == CaseFolded(B);
}

template <class F>
void bind(forms::THandlers& Handlers, QAction* Action, QObject* Context, F Handler)
{
    Handlers.Connect(Action, &QAction::triggered, Context, [Handler] { forms::RunGuarded(Handler); });
}

}  // namespace

std::string TfrmMain::RowPath(const QTreeWidgetItem* Row)
{
    // The row's own bytes: a name that is not UTF-8 would not survive a trip through text.
    return Row ? TCustomSortListView::ColumnText(Row, PathColumn - 1) : std::string();
}

std::vector<std::string> TfrmMain::PlaylistPaths() const
{
    std::vector<std::string> paths;
    for (int i = 0; i < lstFile->topLevelItemCount(); ++i)
        paths.push_back(RowPath(lstFile->topLevelItem(i)));
    return paths;
}

// ---------------------------------------------------------------- wiring

void TfrmMain::ConnectListCommands()
{
    for (TSortListView* list : {lstMP3, lstFile}) {
        list->SetAutoColumnSort(acsSortToggle);
        list->AutoResort = false;
        list->SetShowSortArrows(true);
        list->CancelSort = 1;
        Handlers.Set(list->OnSortBegin, [this](QObject*, int, bool) { ++sorting_; });
        Handlers.Set(list->OnSortFinished, [this](QObject*, int, bool) { --sorting_; });
        SetupListDrawing(list);
    }
    Handlers.Set(lstMP3->OnColumnClick, [this](QObject*, int Column) { lstMP3ColumnClick(Column); });
    Handlers.Set(lstFile->OnColumnClick, [this](QObject*, int Column) { lstFileColumnClick(Column); });

    auto guarded = [this](void (TfrmMain::*Handler)()) {
        return [this, Handler] {
            if (sorting_ == 0)
                forms::RunGuarded([this, Handler] { (this->*Handler)(); });
        };
    };
    QAbstractItemModel* music = lstMP3->model();
    Handlers.Connect(music, &QAbstractItemModel::rowsInserted, this, guarded(&TfrmMain::lstMP3Insert));
    Handlers.Connect(music, &QAbstractItemModel::rowsRemoved, this, guarded(&TfrmMain::lstMP3Insert));
    Handlers.Connect(music, &QAbstractItemModel::modelReset, this, guarded(&TfrmMain::lstMP3Insert));
    QAbstractItemModel* playlist = lstFile->model();
    Handlers.Connect(playlist, &QAbstractItemModel::rowsInserted, this, guarded(&TfrmMain::lstFileInsert));
    Handlers.Connect(playlist, &QAbstractItemModel::rowsRemoved, this, guarded(&TfrmMain::lstFileDeletion));
    Handlers.Connect(playlist, &QAbstractItemModel::modelReset, this, guarded(&TfrmMain::lstFileDeletion));
    Handlers.Connect(lstMP3, &QTreeWidget::itemSelectionChanged, this, guarded(&TfrmMain::lstMP3SelectItem));
    Handlers.Connect(lstFile, &QTreeWidget::itemSelectionChanged, this, guarded(&TfrmMain::lstFileSelectItem));

    Handlers.Hook(lstMP3, [this](QEvent* e) {
        if (e->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(e)->key();
            if (key == Qt::Key_Delete || key == Qt::Key_Return || key == Qt::Key_Enter) {
                forms::RunGuarded([this, key] { lstMP3KeyDown(key); });
                return true;
            }
        } else if (e->type() == QEvent::FocusIn) {
            lstFile->viewport()->update();
        }
        return false;
    });
    Handlers.Hook(lstFile, [this](QEvent* e) {
        if (e->type() == QEvent::KeyPress || e->type() == QEvent::KeyRelease) {
            const auto* k = static_cast<QKeyEvent*>(e);
            bool used = false;
            forms::RunGuarded([&] {
                used = e->type() == QEvent::KeyPress ? lstFileKeyDown(k->key(), k->modifiers())
                                                     : lstFileKeyUp(k->key(), k->modifiers());
            });
            return used;
        }
        // The other list shows its selection in its unfocused colour at once.
        if (e->type() == QEvent::FocusIn)
            lstMP3->viewport()->update();
        return false;
    });
    RemovePathFromListHook = [this](TSortListView* ListView, const std::string& Path) {
        RemovePathFromList(ListView, Path);
    };

    Handlers.Set(spdCopyList->OnClick, [this](QObject*) { spdCopyListClick(); });
    Handlers.Set(spdAllCopy->OnClick, [this](QObject*) { do_CopyAllClick(); });
    bind(Handlers, do_CopyAll, this, [this] { do_CopyAllClick(); });
    bind(Handlers, do_AllSelect, this, [this] { do_AllSelectClick(); });
    bind(Handlers, do_AllList, this, [this] { do_AllListClick(); });
    bind(Handlers, do_DelTitle, this, [this] { do_DelTitleClick(); });
    bind(Handlers, do_DelList, this, [this] { do_DelListClick(); });
    bind(Handlers, do_DelListAll, this, [this] { do_DelListAllClick(); });
    bind(Handlers, do_MoveUp, this, [this] { do_MoveUpClick(); });
    bind(Handlers, do_MoveDown, this, [this] { do_MoveDownClick(); });
    Handlers.Connect(PopupMenu2, &QMenu::aboutToShow, this, [this] { forms::RunGuarded([this] { PopupMenu2Popup(); }); });
    Handlers.Connect(PopupMenu3, &QMenu::aboutToShow, this, [this] { forms::RunGuarded([this] { PopupMenu3Popup(); }); });
}

// Both lists draw their own rows: black bold header captions (red while pressed), the
// caption column green, No., Artist and Year blue, the rest black; selected rows on the
// list's own colour, brighter while the list has the focus.
void TfrmMain::SetupListDrawing(TSortListView* ListView)
{
    ListView->SetStyle(lvOwnerDrawFixed);
    Handlers.Set(ListView->OnDrawHeader, [](QObject*, gfx::TCanvas& C, int, gfx::TRect&, bool Pressed, bool&) {
        C.Font().SetColor(Pressed ? HeaderPressedText : HeaderText);
        C.Font().SetStyle(gfx::fsBold);
    });
    const gfx::TColor selectedColor = ListView == lstMP3 ? SelectedMusic : SelectedPlaylist;
    Handlers.Set(ListView->OnDrawSubItem, [ListView, selectedColor](QObject*, gfx::TCanvas& C, int, int SubItem,
                                                        gfx::TRect R, TOwnerDrawState State, bool&) {
        C.Font().SetStyle(0);
        gfx::TColor text = PlainText;
        if (SubItem == 0)
            text = CaptionText;
        else if (SubItem == 1 || SubItem == 3 || SubItem == 5)
            text = AccentText;
        C.Font().SetColor(text);
        C.Brush().SetStyle(gfx::bsSolid);
        if (State & odSelected)
            C.Brush().SetColor(ListView->hasFocus() ? SelectedFocused : selectedColor);
        else
            C.Brush().SetColor(gfx::clWindow);
        C.FillRect(R);
    });
}

// ---------------------------------------------------------------- selection and rows

void TfrmMain::lstMP3SelectItem()
{
    spdDetails->Tag = 1;
    const int selected = selectedCount(lstMP3);
    spdDetails->setEnabled(selected == 1);
    spdCopyList->setEnabled(selected >= 1);
}

void TfrmMain::lstFileSelectItem()
{
    spdDetails->setEnabled(selectedCount(lstFile) == 1);
    spdDetails->Tag = 2;
}

void TfrmMain::lstMP3Insert()
{
    spdAllCopy->setEnabled(lstMP3->topLevelItemCount() > 0);
}

void TfrmMain::lstFileInsert()
{
    SetPlaylistModified(true);
    spdPlayList->setEnabled(lstFile->topLevelItemCount() > 0);
}

void TfrmMain::lstFileDeletion()
{
    SetPlaylistModified(true);
    const bool rows = lstFile->topLevelItemCount() > 0;
    spdPlayList->setEnabled(rows);
    spdFavorite->setEnabled(rows);
}

void TfrmMain::lstMP3ColumnClick(int Column)
{
    lstMP3->clearSelection();
    if (ColumnTag(Column) > 0)
        RenumberList(lstMP3);
    FitListColumns(lstMP3);   // the sorted column may have widened
}

void TfrmMain::lstFileColumnClick(int Column)
{
    lstFile->clearSelection();
    if (ColumnTag(Column) > 0)
        RenumberList(lstFile);
    FitListColumns(lstFile);   // the sorted column may have widened
}

void TfrmMain::lstMP3KeyDown(int Key)
{
    if (Key == Qt::Key_Return || Key == Qt::Key_Enter) {
        lstMP3DblClick();
    } else if (Key == Qt::Key_Delete) {
        // The item's state is kept by the popup; the key must not find it stale.
        const int first = FirstSelectedIndex(lstMP3);
        do_DelTitle->setEnabled(first >= 0 && !RowPath(lstMP3->topLevelItem(first)).empty());
        do_DelTitleClick();
    }
}

namespace {

bool isCtrlArrow(int Key, Qt::KeyboardModifiers Modifiers)
{
    return (Key == Qt::Key_Up || Key == Qt::Key_Down) &&
           (Modifiers & ~Qt::KeypadModifier) == Qt::ControlModifier;
}

}  // namespace

bool TfrmMain::lstFileKeyDown(int Key, Qt::KeyboardModifiers Modifiers)
{
    if (isCtrlArrow(Key, Modifiers))
        return true;
    if (Key == Qt::Key_Return || Key == Qt::Key_Enter) {
        lstFileDblClick();
        return true;
    }
    if (Key == Qt::Key_Delete) {
        do_DelList->setEnabled(selectedCount(lstFile) > 0);
        do_DelListClick();
        return true;
    }
    return false;
}

bool TfrmMain::lstFileKeyUp(int Key, Qt::KeyboardModifiers Modifiers)
{
    if (!isCtrlArrow(Key, Modifiers))
        return false;
    MovePlaylistItem(Key == Qt::Key_Up ? 1 : 2);
    return true;
}

// ---------------------------------------------------------------- copying

void TfrmMain::CopySelectionToPlaylist(bool All)
{
    TWaitCursor wait;
    lstFile->BeginItemUpdate();
    std::vector<std::string> present = PlaylistPaths();
    const bool allowSame = do_SameMusic->isChecked();
    QList<QTreeWidgetItem*> added;
    for (int i = 0; i < lstMP3->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = lstMP3->topLevelItem(i);
        if (!All && !row->isSelected())
            continue;
        row->setSelected(false);
        const std::string path = RowPath(row);
        if (!allowSame && std::find(present.begin(), present.end(), path) != present.end())
            continue;
        present.push_back(path);
        added.push_back(row->clone());
    }
    lstFile->addTopLevelItems(added);
    FitListColumns(lstFile);
    RenumberList(lstFile);
    lstFile->EndItemUpdate();
}

void TfrmMain::spdCopyListClick()
{
    if (!spdCopyList->isEnabled())
        return;
    if (DxSound && DxSound->ListPlay())
        sbStopClick();
    CopySelectionToPlaylist(false);
    if (DxSound)
        DxSound->UpdateLyricsAndMeter(true);
}

void TfrmMain::do_CopyAllClick()
{
    if (!spdAllCopy->isEnabled())
        return;
    if (DxSound && DxSound->ListPlay())
        sbStopClick();
    CopySelectionToPlaylist(true);
    if (DxSound)
        DxSound->UpdateLyricsAndMeter(true);
}

void TfrmMain::do_AllSelectClick()
{
    lstMP3->selectAll();
}

void TfrmMain::do_AllListClick()
{
    lstFile->selectAll();
}

// ---------------------------------------------------------------- deleting

void TfrmMain::ForgetPendingFile()
{
    PendingFile.clear();
    PendingFileOpened = false;
}

bool TfrmMain::IsCurrentFile(const std::string& Path) const
{
    return DxSound && !Path.empty() && sameFileIgnoringCase(Path, DxSound->FileNamme());
}

bool TfrmMain::StopIfCurrent(const std::string& Path)
{
    if (!IsCurrentFile(Path))
        return false;
    DxSound->CloseFile();
    return true;
}

void TfrmMain::RemovePathFromList(TSortListView* ListView, const std::string& Path)
{
    for (int i = ListView->topLevelItemCount() - 1; i >= 0; --i)
        if (RowPath(ListView->topLevelItem(i)) == Path)
            delete ListView->topLevelItem(i);
    FitListColumns(ListView);
}

// After rows were deleted, the row that took the first deleted one's place is the one
// selected and shown.
void TfrmMain::SelectRowAfterDelete(TSortListView* ListView, int Index)
{
    const int count = ListView->topLevelItemCount();
    if (Index < 0 || count == 0)
        return;
    QTreeWidgetItem* row = ListView->topLevelItem(std::min(Index, count - 1));
    ListView->setCurrentItem(row, 0, QItemSelectionModel::NoUpdate);
    row->setSelected(true);
    ListView->scrollToItem(row);
}

// Files go to the trash one by one; one that cannot be moved there keeps its rows and is
// named to the user afterwards.
void TfrmMain::do_DelTitleClick()
{
    if (!do_DelTitle->isEnabled() || trrGenre->selectedItems().isEmpty())
        return;
    const std::string caption = GetRootNodeText(trrGenre->selectedItems().first()) + "削除";
    const std::vector<QTreeWidgetItem*> chosen = takeRows(lstMP3, false);
    if (chosen.empty()) {
        RenumberList(lstMP3);
        return;
    }
    if (MsgBoxEx(this, caption, "選択したファイルを削除します。 よろしいですか　（ファイルをゴミ箱に移します）？　", 2, "YN", "?") != 6 ||
        MsgBoxEx(this, caption, "本当に削除してもよろしいですか　（ファイルをゴミ箱に移します）？　", 2, "YN", "?") != 6)
        return;
    const bool watched = DirMon1->Active();
    if (watched)
        DirMon1->SetActive(false);
    int index = firstListedIndex(lstMP3, chosen);
    std::vector<std::string> kept;
    ListedRows listed(lstMP3);
    for (QTreeWidgetItem* row : chosen) {
        if (!listed.Contains(row))
            continue;
        const std::string path = RowPath(row);
        row->setSelected(false);
        if (StopIfCurrent(path))   // stopping play lets events run
            listed.Refresh();
        ForgetPendingFile();
        if (path.empty() || !RecycleFile(path)) {
            kept.push_back(path);
            continue;
        }
        if (listed.Contains(row)) {
            listed.Forget(row);
            delete row;
        }
        RemovePathFromList(lstFile, path);
    }
    FitListColumns(lstMP3);
    SelectRowAfterDelete(lstMP3, index);
    if (index >= 0 && lstMP3->topLevelItemCount() > 0)
        index = std::min(index, lstMP3->topLevelItemCount() - 1);
    if (watched)
        ResumeWatching();
    ShowTrackTitle(lstMP3, index);
    RenumberList(lstMP3);
    if (!kept.empty()) {
        std::string names;
        for (const std::string& path : kept)
            names += CR + cp932::nameForDisplay(path);
        MsgBoxEx(this, caption, "次のファイルはゴミ箱に移せませんでした（削除されていません）。" + CR + names, 1, "Y", "!");
    }
}

void TfrmMain::do_DelListClick()
{
    if (!do_DelList->isEnabled() || selectedCount(lstFile) == 0)
        return;
    const std::vector<QTreeWidgetItem*> chosen = takeRows(lstFile, false);
    if (MsgBoxEx(this, "リストの削除", "選択したタイトルをリストから削除します。 よろしいですか　（ファイルは削除されません）？　", 2, "YN", "?") != 6)
        return;
    if (DxSound && DxSound->ListPlay())
        sbStopClick();
    const int index = RemovePlaylistRows(chosen);
    if (index >= 0)
        ForgetPendingFile();
    SelectRowAfterDelete(lstFile, index);
    RenumberList(lstFile);
}

void TfrmMain::do_DelListAllClick()
{
    if (!do_DelListAll->isEnabled())
        return;
    const std::vector<QTreeWidgetItem*> chosen = takeRows(lstFile, true);
    if (MsgBoxEx(this, "リストの削除", "全てのタイトルをリストから削除します。 よろしいですか　（ファイルは削除されません）？　", 2, "YN", "?") != 6 ||
        MsgBoxEx(this, "リストの削除", "本当に削除してもよろしいですか　（ファイルは削除されません）？　", 2, "YN", "?") != 6)
        return;
    if (DxSound && DxSound->ListPlay())
        sbStopClick();
    RemovePlaylistRows(chosen);
    ShowTrackTitle(lstFile, 0);
}

// Removes those of Rows still in the playlist, releasing the playing file when it is among
// them; returns the index of the first removed row (-1 when none was).
int TfrmMain::RemovePlaylistRows(const std::vector<QTreeWidgetItem*>& Rows)
{
    const int first = firstListedIndex(lstFile, Rows);
    ListedRows listed(lstFile);
    lstFile->BeginItemUpdate();
    // From the last row up, so that each removal moves no row after it.
    for (auto it = Rows.rbegin(); it != Rows.rend(); ++it) {
        QTreeWidgetItem* row = *it;
        if (!listed.Contains(row))
            continue;
        if (StopIfCurrent(RowPath(row))) {   // lets events run: the row is looked for again
            ForgetPendingFile();
            listed.Refresh();
            if (!listed.Contains(row))
                continue;
        }
        listed.Forget(row);
        delete row;
    }
    lstFile->EndItemUpdate();
    FitListColumns(lstFile);
    const bool rows = lstFile->topLevelItemCount() > 0;
    spdPlayList->setEnabled(rows);
    spdFavorite->setEnabled(rows);
    return first;
}

// ---------------------------------------------------------------- moving

void TfrmMain::do_MoveUpClick()
{
    MovePlaylistItem(1);
}

void TfrmMain::do_MoveDownClick()
{
    MovePlaylistItem(2);
}

// Moves the one selected row; with none or several selected nothing moves.
void TfrmMain::MovePlaylistItem(int Direction)
{
    const QList<QTreeWidgetItem*> selected = lstFile->selectedItems();
    if (selected.size() != 1)
        return;
    const int index = lstFile->indexOfTopLevelItem(selected.first());
    if (Direction == 1 && index > 0)
        SwapPlaylistRows(index, index - 1);
    else if (Direction == 2 && index < lstFile->topLevelItemCount() - 1)
        SwapPlaylistRows(index, index + 1);
    forms::ProcessMessages();
}

// The rows' texts move; the "No." column stays with its position.
void TfrmMain::SwapPlaylistRows(int From, int To)
{
    const int count = lstFile->topLevelItemCount();
    if (From == To || From < 0 || To < 0 || From >= count || To >= count)
        return;
    if (DxSound && DxSound->ListPlay())
        sbStopClick();
    lstFile->BeginItemUpdate();
    auto texts = [this](int Row) {
        QStringList t;
        for (int c = 2; c <= PathColumn; ++c)
            t << lstFile->topLevelItem(Row)->text(c);
        return t;
    };
    auto write = [this](int Row, const QStringList& T) {
        for (int c = 2; c <= PathColumn; ++c)
            lstFile->topLevelItem(Row)->setText(c, T[c - 2]);
    };
    const QStringList kept = texts(From);
    const int step = To > From ? 1 : -1;
    for (int r = From; r != To; r += step)
        write(r, texts(r + step));
    write(To, kept);
    lstFile->topLevelItem(From)->setSelected(false);
    QTreeWidgetItem* target = lstFile->topLevelItem(To);
    lstFile->setCurrentItem(target, 0, QItemSelectionModel::NoUpdate);
    target->setSelected(true);
    lstFile->scrollToItem(target);
    lstFile->EndItemUpdate();
    SetPlaylistModified(true);
    RenumberList(lstFile);
}

// ---------------------------------------------------------------- popup menus

namespace {

// The CDDB commands need the disc the file was ripped from, which its tag names.
bool hasCddbQuery(const std::string& Path)
{
    if (Path.empty())
        return false;
    ReadTag(Path);
    return !CurrentTag.CddbPath.empty();
}

}  // namespace

void TfrmMain::PopupMenu2Popup()
{
    const int selected = selectedCount(lstMP3);
    const bool rows = lstMP3->topLevelItemCount() > 0;
    const int first = FirstSelectedIndex(lstMP3);
    const std::string path = first >= 0 ? RowPath(lstMP3->topLevelItem(first)) : std::string();
    do_DelTitle->setEnabled(selected > 0 && !path.empty());
    for (QAction* a : {do_Play1, do_Details1, do_EditTag1})
        a->setEnabled(selected == 1);
    const QList<QTreeWidgetItem*> category = trrGenre->selectedItems();
    do_ModifyTag->setEnabled(selected > 1 &&
                             GetRootNodeText(category.isEmpty() ? nullptr : category.first()) != "Title");
    for (QAction* a : {do_CopyAll, do_AllSelect, do_UpdateTag1})
        a->setEnabled(rows);
    do_ConvMp3->setEnabled(first >= 0 && IsWaveFileExt(path));
    do_ConvWav->setEnabled(first >= 0 && !IsWaveFileExt(path));
    do_CDDB_MP3_1->setEnabled(first >= 0 && hasCddbQuery(path));
    do_CDDB_INF_1->setEnabled(do_CDDB_MP3_1->isEnabled());
}

void TfrmMain::PopupMenu3Popup()
{
    const int selected = selectedCount(lstFile);
    const bool rows = lstFile->topLevelItemCount() > 0;
    for (QAction* a : {do_Play2, do_MoveUp, do_MoveDown, do_Details2, do_EditTag2})
        a->setEnabled(selected == 1);
    do_DelList->setEnabled(selected >= 1);
    for (QAction* a : {do_Shuffle, do_AllList, do_DelListAll, do_NewPlayList, do_UpdateTag2})
        a->setEnabled(rows);
    for (QAction* a : {do_Print, do_BurnCD1, do_ListPlay, do_CopyList1})
        a->setEnabled(spdPlayList->isEnabled());
    // One burn at a time: a second would empty the folder the first one reads.
    do_BurnCD1->setEnabled(do_BurnCD1->isEnabled() && !CdBurnerRuns(cdBurner_));
    do_FavUpdate->setEnabled(spdFvUpdate->isEnabled());
    do_Favorite2->setEnabled(spdFavorite->isEnabled());
    do_AutoShuffle2->setChecked(chkShuffle->Checked());
    const int first = FirstSelectedIndex(lstFile);
    do_CDDB_MP3_2->setEnabled(first >= 0 && hasCddbQuery(RowPath(lstFile->topLevelItem(first))));
    do_CDDB_INF_2->setEnabled(do_CDDB_MP3_2->isEnabled());
}
