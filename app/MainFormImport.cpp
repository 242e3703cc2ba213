// Files dropped onto the main window from a file manager, and the import that copies them
// into the current music folder and lists the ones the chosen category shows. The directory
// monitor lists the files other programs put into the folder through the same import.
#include "app/MainForm.h"

#include "app/DirMon.h"
#include "app/FileDrop.h"
#include "app/Globals.h"
#include "app/libMusic.h"
#include "pictures/libImg.h"
#include "tags/TagDialogSupport.h"   // TFinally
#include "tags/libID3Tag.h"
#include "util/libControl.h"
#include "util/libWindows.h"

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

}  // namespace

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
    TFinally resume([this] { lstMP3->EndItemUpdate(); });
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
                             "同じファイル　『　" + name + "　』　があります！！\r\r  上書きしますか？",
                             2, "YN", "?") != 6)
                    continue;
                overwritten = true;
            }
            if (!CopyFileSetArchive(file, dest, overwritten ? 1 : 0)) {
                failed += "\r" + name;
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
    const std::string title = t.Title.empty() ? fileNameOf(Path) : t.Title;
    auto* row = new TSortListItem({{}, {}, title, t.Artist, t.Album, t.Year, t.Genre, t.Track, Path});
    if (Index < 0 || Index > lstMP3->topLevelItemCount())
        lstMP3->addTopLevelItem(row);
    else
        lstMP3->insertTopLevelItem(Index, row);
    lstMP3->ItemChanged();
    if (Index >= 0)
        RenumberList(lstMP3);
}
