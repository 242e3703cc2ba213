// Files dropped onto the main window from a file manager, and the import that copies them
// into the current music folder and lists the ones the chosen category shows. The directory
// monitor lists the files other programs put into the folder through the same import.
#include "app/MainForm.h"

#include "app/DirMon.h"
#include "app/DropSource.h"
#include "app/FileDrop.h"
#include "app/Globals.h"
#include "app/libMusic.h"
#include "pictures/libImg.h"
#include "tags/libID3Tag.h"
#include "util/libControl.h"
#include "util/CaseFold.h"
#include "util/Cp932.h"
#include "util/libWindows.h"

#include "app/libFavorite.h"
#include "platform/forms/Application.h"

#include <QDrag>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QScopeGuard>

#include <filesystem>
#include <unordered_set>

namespace fs = std::filesystem;

namespace {

std::string fileNameOf(const std::string& Path)
{
    return Path.substr(Path.rfind('/') + 1);
}

bool isImportKind(const std::string& Path)
{
    return IsMediaFileExt(Path) || IsWaveFileExt(Path);
}

// Whether a file whose tag CurrentTag holds belongs under the category node Node.
bool fitsCategory(const QTreeWidgetItem* Node, const std::string& Path)
{
    if (!Node)
        return false;
    const std::string root = CategoryKey(GetRootNodeText(Node));
    if (root == "title")
        return true;
    if (!Node->parent() || Node->parent()->parent())
        return false;
    const std::string* value = nullptr;
    ReadTag(Path);
    if (root == "year")
        value = &CurrentTag.Year;
    else if (root == "genre")
        value = &CurrentTag.Genre;
    else if (root == "album")
        value = &CurrentTag.Album;
    else if (root == "artist")
        value = &CurrentTag.Artist;
    return value && SameCategory(*value, Node->text(0).toStdString());
}

// The list a drag of rows came from, when it is one of ours.
TSortListView* rowDragSource(const QMimeData* Data, TSortListView* MusicList)
{
    if (!Data || !Data->hasFormat(QLatin1String(TfrmMain::RowDragMime)))
        return nullptr;
    return Data->data(QLatin1String(TfrmMain::RowDragMime)) == MusicList->objectName().toUtf8() ? MusicList
                                                                                               : nullptr;
}

}  // namespace

void TfrmMain::CreateRowDragHandlers()
{
    // Each widget's events reach the window's handler until the window's teardown starts; a
    // handler that fails reports through the message box, never across the event loop.
    const auto hook = [this](QWidget* Widget, std::function<bool(QEvent*)> Handler) {
        Handlers.Hook(Widget, [Handler = std::move(Handler)](QEvent* Event) {
            bool taken = false;
            forms::RunGuarded([&] { taken = Handler(Event); });
            return taken;
        });
    };
    lstMP3->setDragEnabled(false);
    RunDrag = [](QDrag* Drag) { return Drag->exec(Qt::CopyAction); };
    // lstMP3MouseDown / MouseMove / MouseUp: a press on selected rows arms the drag, a move
    // of 2 pixels with the left button alone starts it.
    auto pressAt = std::make_shared<QPoint>();
    hook(lstMP3->viewport(), [this, pressAt](QEvent* Event) {
        switch (Event->type()) {
        case QEvent::MouseButtonPress: {
            auto* e = static_cast<QMouseEvent*>(Event);
            if (DxSound)
                DxSound->UpdateLyricsAndMeter(true);
            *pressAt = e->position().toPoint();
            // The view selects the pressed row after this; the move checks the selection.
            DragArmed = e->button() == Qt::LeftButton;
            return false;
        }
        case QEvent::MouseMove: {
            auto* e = static_cast<QMouseEvent*>(Event);
            if (e->buttons() != Qt::LeftButton) {
                DragArmed = false;
                return false;
            }
            if (!DragArmed || (e->position().toPoint() - *pressAt).manhattanLength() < 2)
                return false;
            DragArmed = false;
            if (lstMP3->selectedItems().isEmpty())
                return false;
            auto* drag = new QDrag(lstMP3);
            auto* data = new QMimeData;
            data->setData(QLatin1String(RowDragMime), QByteArray("lstMP3"));
            drag->setMimeData(data);
            RunDrag(drag);
            drag->deleteLater();
            return true;
        }
        case QEvent::MouseButtonRelease:
            DragArmed = false;
            DragStartPoint = QPoint(-1, -1);
            return false;
        default:
            return false;
        }
    });
    // lstFileMouseDown / MouseMove: the selected playlist rows leave as files.
    DropSource1 = new TDropFileSource(this);
    DropSource1->Dragtypes = dtCopy | dtMove | dtLink;
    DropSource1->Image = QPixmap(QStringLiteral(":/pictures/DragFiles.png"));
    hook(lstFile->viewport(), [this](QEvent* Event) {
        if (Event->type() == QEvent::MouseButtonPress) {
            // The view selects the pressed row after this; the move checks the selection.
            DragStartPoint = static_cast<QMouseEvent*>(Event)->position().toPoint();
            if (DxSound)
                DxSound->UpdateLyricsAndMeter(true);
            return false;
        }
        if (Event->type() != QEvent::MouseMove)
            return false;
        auto* e = static_cast<QMouseEvent*>(Event);
        const QPoint moved = e->position().toPoint() - DragStartPoint;
        if (DragStartPoint == QPoint(-1, -1) || lstFile->selectedItems().isEmpty() ||
            (e->buttons() != Qt::LeftButton && e->buttons() != Qt::RightButton) ||
            (std::abs(moved.x()) < 8 && std::abs(moved.y()) < 8))
            return false;
        DragPlaylistOut();
        return true;
    });
    // Where the rows may go: every handler accepts only our own drag of rows.
    const auto target = [this, hook](QWidget* Widget, std::function<void(TSortListView*, QPoint)> Drop) {
        Widget->setAcceptDrops(true);
        hook(Widget, [this, Drop](QEvent* Event) {
            if (Event->type() != QEvent::DragEnter && Event->type() != QEvent::DragMove &&
                Event->type() != QEvent::Drop)
                return false;
            auto* e = static_cast<QDropEvent*>(Event);
            TSortListView* source = rowDragSource(e->mimeData(), lstMP3);
            if (!source)
                return false;
            e->setDropAction(Qt::CopyAction);
            e->accept();
            if (Event->type() == QEvent::Drop && Drop)
                Drop(source, e->position().toPoint());
            return true;
        });
    };
    target(lstMP3->viewport(), {});   // over its own rows: nothing happens on a drop
    target(lstFile->viewport(), [this](TSortListView* s, QPoint) { lstFileDragDrop(s); });
    target(trrFavorite->viewport(), [this](TSortListView* s, QPoint at) { trrGenreDragDrop(s, at); });
    // dxdRightDragDrop: the panes, bars, labels and meters take no drops of their own, so
    // the drag reaches the window.
    target(this, [this](TSortListView* s, QPoint) { PlaySelected(s); });
}

void TfrmMain::DragPlaylistOut()
{
    DropSource1->Files.clear();
    for (int i = 0; i < lstFile->topLevelItemCount(); ++i)
        if (lstFile->topLevelItem(i)->isSelected())
            DropSource1->Files.push_back(RowPath(lstFile->topLevelItem(i)));
    // A drop back onto the window (FileDrop1, the playlist) plays instead of importing.
    DraggingOut = true;
    const auto done = qScopeGuard([this] {
        DraggingOut = false;
        DragStartPoint = QPoint(-1, -1);
    });
    DropSource1->StartDrag(false);
    Delay(300);
    lstFile->clearSelection();
}

void TfrmMain::lstFileDragDrop(TSortListView* Source)
{
    if (Source == lstMP3)
        CopySelectionToPlaylist(false);
}

void TfrmMain::trrGenreDragDrop(TSortListView* Source, QPoint At)
{
    QTreeWidgetItem* node = trrFavorite->itemAt(At);
    if (!node)
        return;
    const std::string name = node->text(0).toStdString();
    const bool favourite = node->parent() && !node->parent()->parent() &&
                           GetRootNodeText(node) == "Favorite";
    if (!favourite) {
        MsgBoxEx(this, "お気に入りに追加", "『 " + name + " 』　には追加できません！！", 1, "Y", "i");
        return;
    }
    std::vector<std::string> paths;
    for (int i = 0; i < Source->topLevelItemCount(); ++i)
        if (Source->topLevelItem(i)->isSelected())
            paths.push_back(RowPath(Source->topLevelItem(i)));
    if (paths.empty())
        return;
    std::vector<std::string> stored;
    ReadFavoriteItems(stored, name);
    // Alike as the favourite's own list tells them apart (odd bytes kept).
    const std::string first = CaseFolded(paths.front());
    for (const std::string& s : stored)
        if (CaseFolded(s) == first) {
            MsgBoxEx(this, "お気に入りに追加",
                     "『 " + name + " 』　に同じファイル　『 " + cp932::nameForDisplay(fileNameOf(paths.front())) + " 』　があります！！",
                     1, "Y", "i");
            return;
        }
    AppendFavoriteItems(name, paths);
    if (trrFavorite->currentItem() == node && node->isSelected())
        CopySelectionToPlaylist(false);
}

void TfrmMain::FileDrop1FileDrop(const std::vector<std::string>& Files)
{
    if (DraggingOut) {
        PlaySelected(lstFile);
        return;
    }
    // Our own copies would come back as new files of the folder meanwhile.
    const bool watching = DirMon1->Active();
    DirMon1->SetActive(false);
    ImportFiles(Files, true);
    if (watching)
        DirMon1->SetActive(true);
}

void TfrmMain::ImportFiles(const std::vector<std::string>& Files, bool CopyFirst)
{
    if (::Mp3Path.empty())
        return;   // no current music folder to import into
    TWaitCursor wait;
    lstMP3->BeginItemUpdate();
    const auto resume = qScopeGuard([this] { lstMP3->EndItemUpdate(); });
    const QList<QTreeWidgetItem*> chosen = trrGenre->selectedItems();
    const QTreeWidgetItem* category = chosen.isEmpty() ? nullptr : chosen.first();
    std::unordered_set<std::string> listed;
    for (int i = 0; i < lstMP3->topLevelItemCount(); ++i)
        listed.insert(RowPath(lstMP3->topLevelItem(i)));
    std::string failed;
    bool added = false;
    for (const std::string& file : Files) {
        if (!isImportKind(file))
            continue;
        const std::string name = fileNameOf(file);
        const std::string dest = ::Mp3Path + "/" + name;
        std::error_code ec;
        const bool existed = fs::exists(dest, ec);
        if (!CopyFirst && !existed)
            continue;   // gone again, or from a folder that is no longer current
        bool overwritten = false;
        if (CopyFirst && !(existed && fs::equivalent(file, dest, ec))) {
            if (existed) {
                if (MsgBoxEx(this, "インポート",
                             "同じファイル　『　" + cp932::nameForDisplay(name) + "　』　があります！！\r\r  上書きしますか？",
                             2, "YN", "?") != 6)
                    continue;
                overwritten = true;
            }
            if (!CopyFileSetArchive(file, dest, overwritten ? 1 : 0)) {
                failed += "\r" + cp932::nameForDisplay(name);
                continue;
            }
        }
        if (overwritten || listed.contains(dest) || !fitsCategory(category, dest))
            continue;
        InsertFileRow(dest, -1);
        listed.insert(dest);
        added = true;
    }
    if (added) {
        RenumberList(lstMP3);
        lstMP3->clearSelection();
        QTreeWidgetItem* last = lstMP3->topLevelItem(lstMP3->topLevelItemCount() - 1);
        lstMP3->setFocus();
        lstMP3->setCurrentItem(last);
        last->setSelected(true);
        lstMP3->scrollToItem(last);
    }
    if (!failed.empty())
        MsgBoxEx(this, "インポート", "次のファイルをコピーできませんでした！！\r" + failed, 1, "Y", "!");
}

void TfrmMain::InsertFileRow(const std::string& Path, int Index)
{
    ReadTag(Path);
    const TCurrentTag& t = CurrentTag;
    auto* row = new TSortListItem({{}, {}, RowTitle(t.Title, Path), t.Artist, t.Album, t.Year, t.Genre, t.Track, Path});
    if (Index < 0 || Index > lstMP3->topLevelItemCount())
        lstMP3->addTopLevelItem(row);
    else
        lstMP3->insertTopLevelItem(Index, row);
    lstMP3->ItemChanged();
    if (Index >= 0)
        RenumberList(lstMP3);
}
