// The tag commands of the two lists and the window as the tag dialogs see it.
#include "app/MainForm.h"

#include "app/DirMon.h"
#include "app/Globals.h"
#include "app/MainFormSupport.h"
#include "app/libMusic.h"
#include "cd/forms/xCDDB_INF.h"
#include "cd/forms/xCDDB_MP3.h"
#include "controls/xi/XiButton.h"
#include "tags/forms/TagDialogSupport.h"
#include "tags/forms/xDetails.h"
#include "tags/forms/xTAG.h"
#include "tags/forms/xTagAll.h"
#include "util/MainWindowHost.h"

#include <QAction>

namespace {

constexpr int TitleSubItem = 1;

// The row a tag command works on, and the one its dialog refreshes afterwards: the first
// selected row in list order, the one the popup menu's enable rules looked at.
QTreeWidgetItem* selectedRowOf(const TSortListView* List)
{
    const int index = FirstSelectedIndex(List);
    return index < 0 ? nullptr : List->topLevelItem(index);
}

// TfrmMain through the tag dialogs' host interface and as the windows below the main window
// see it. A class of its own, because the window's MsgBoxEx is a replaceable function the
// tests answer through and the engine's display already names Mp3Path and SetLblMusicCaption.
class TMainTagHost : public TTagDialogHost, public TMainWindowHost {
public:
    explicit TMainTagHost(TfrmMain& Main) : main_(Main) {}

    std::string EngineFileName() const override { return main_.DxSound ? main_.DxSound->FileNamme() : std::string(); }
    std::string EnginePlayStatus() const override
    {
        return main_.DxSound ? main_.DxSound->PlayStatus() : std::string("stop");
    }
    int Gauge1Percent() const override { return main_.Gauge1->Percent(); }
    void EngineCloseFile() override
    {
        closedTitle_ = main_.lblMusic->text().toStdString();
        if (main_.DxSound)
            main_.DxSound->CloseFile();
    }
    void EngineReopen(const std::string& Path, int Percent, const std::string& Status) override
    {
        if (!main_.DxSound)
            return;
        main_.DxSound->PlayFile(Path);
        // Seek plays on from there; the gauge shows the place also while paused, when no
        // display tick moves it.
        if (Status == "play" || Status == "pause")
            main_.SetGauge1Position(main_.DxSound->Seek(Percent, 100));
        if (Status == "pause")
            main_.DxSound->Pause();
        if (main_.lblMusic->text().isEmpty())
            main_.lblMusic->setText(QString::fromStdString(closedTitle_));
    }
    bool ListHasSelection(int List) const override { return selectedRow(List) != nullptr; }
    std::string ListSelectedText(int List, int SubItem) const override
    {
        const QTreeWidgetItem* row = selectedRow(List);
        return row ? row->text(SubItem + 1).toStdString() : std::string();
    }
    void SetListSelectedTexts(int List, const std::array<std::string, 6>& Texts) override
    {
        QTreeWidgetItem* row = selectedRow(List);
        if (!row)
            return;
        for (int i = 0; i < 6; ++i)
            row->setText(TitleSubItem + i + 1, QString::fromStdString(Texts[size_t(i)]));
        row->treeWidget()->viewport()->update();
    }
    std::string CategoryRootText() const override
    {
        const QList<QTreeWidgetItem*> selected = main_.trrGenre->selectedItems();
        return GetRootNodeText(selected.isEmpty() ? main_.trrGenre->currentItem() : selected.first());
    }
    std::vector<std::pair<int, std::string>> MusicListSelection() const override
    {
        std::vector<std::pair<int, std::string>> rows;
        for (int i = 0; i < main_.lstMP3->topLevelItemCount(); ++i)
            if (const QTreeWidgetItem* row = main_.lstMP3->topLevelItem(i); row->isSelected())
                rows.emplace_back(i, TfrmMain::RowPath(row));
        return rows;
    }
    std::string MusicListRowPath(int Index) const override
    {
        const QTreeWidgetItem* row = musicRow(Index);
        return row ? TfrmMain::RowPath(row) : std::string();
    }
    void SetMusicListRowText(int Index, int SubItem, const std::string& Text) override
    {
        if (QTreeWidgetItem* row = musicRow(Index); row && SubItem >= 1 && SubItem <= 6)
            row->setText(SubItem + 1, QString::fromStdString(Text));
    }
    void RefreshMusicList() override { main_.lstMP3->viewport()->update(); }
    std::string LblMusicCaption() const override { return main_.lblMusic->text().toStdString(); }
    void SetLblMusicCaption(const std::string& Text) override { main_.SetLblMusicCaption(Text); }
    std::string Mp3Path() const override { return main_.Mp3Path(); }
    int MsgBoxEx(QWidget* Owner, const std::string& Caption, const std::string& Text, int DefaultButton,
                 const std::string& Buttons, const std::string& Icon) override
    {
        return main_.MsgBoxEx(Owner, Caption, Text, DefaultButton, Buttons, Icon);
    }
    void SetDirMonActive(bool On) override
    {
        if (!On) {
            wasWatching_ = main_.DirMon1->Active();
            main_.DirMon1->SetActive(false);
        } else if (wasWatching_) {
            main_.WatchMusicFolder(::Mp3Path);
        }
    }
    QWidget* MainWindow() const override { return &main_; }

    std::vector<TPlaylistRow> PlaylistRows() const override
    {
        std::vector<TPlaylistRow> rows;
        for (int i = 0; i < main_.lstFile->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* row = main_.lstFile->topLevelItem(i);
            rows.push_back({row->text(TitleSubItem + 1).toStdString(), TfrmMain::RowPath(row)});
        }
        return rows;
    }
    bool HoldForTagWrite(const std::string& FileName) override
    {
        if (held_ || !main_.DxSound || !main_.IsCurrentFile(FileName))
            return false;
        held_ = true;
        heldPath_ = EngineFileName();
        heldPercent_ = Gauge1Percent();
        heldStatus_ = EnginePlayStatus();
        EngineCloseFile();
        return true;
    }
    void ResumeAfterTagWrite() override
    {
        if (!std::exchange(held_, false))
            return;
        EngineReopen(heldPath_, heldPercent_, heldStatus_);
    }

private:
    QTreeWidgetItem* musicRow(int Index) const
    {
        return Index >= 0 && Index < main_.lstMP3->topLevelItemCount() ? main_.lstMP3->topLevelItem(Index) : nullptr;
    }
    // The row of the list the dialog came from (1 music list, 2 playlist).
    QTreeWidgetItem* selectedRow(int List) const
    {
        return selectedRowOf(List == 1 ? main_.lstMP3 : List == 2 ? main_.lstFile : nullptr);
    }

    TfrmMain& main_;
    std::string closedTitle_;
    bool wasWatching_ = false;
    bool held_ = false;
    std::string heldPath_;
    int heldPercent_ = 0;
    std::string heldStatus_;
};

}  // namespace

TTagDialogHost& TfrmMain::TagHost()
{
    if (!tagHost_)
        tagHost_ = std::make_unique<TMainTagHost>(*this);
    return *tagHost_;
}

TMainWindowHost& TfrmMain::WindowHost() { return static_cast<TMainTagHost&>(TagHost()); }

void TfrmMain::ConnectTagCommands()
{
    Handlers.Connect(do_EditTag1, &QAction::triggered, this, [this] { forms::RunGuarded([this] { do_EditTag1Click(); }); });
    Handlers.Connect(do_EditTag2, &QAction::triggered, this, [this] { forms::RunGuarded([this] { do_EditTag2Click(); }); });
    Handlers.Connect(do_ModifyTag, &QAction::triggered, this, [this] { forms::RunGuarded([this] { do_ModifyTagClick(); }); });
    for (QAction* details : {do_Details1, do_Details2})
        Handlers.Connect(details, &QAction::triggered, this, [this] { forms::RunGuarded([this] { spdDetailsClick(); }); });
    Handlers.Set(spdDetails->OnClick, [this](QObject*) { spdDetailsClick(); });
    Handlers.Connect(do_CDDB_MP3_1, &QAction::triggered, this, [this] { forms::RunGuarded([this] { do_CDDB_MP3_1Click(); }); });
    Handlers.Connect(do_CDDB_MP3_2, &QAction::triggered, this, [this] { forms::RunGuarded([this] { do_CDDB_MP3_2Click(); }); });
    Handlers.Connect(do_CDDB_INF_1, &QAction::triggered, this, [this] { forms::RunGuarded([this] { do_CDDB_INF_1Click(); }); });
    Handlers.Connect(do_CDDB_INF_2, &QAction::triggered, this, [this] { forms::RunGuarded([this] { do_CDDB_INF_2Click(); }); });
    Handlers.Connect(do_UpdateTag1, &QAction::triggered, this, [this] { forms::RunGuarded([this] { do_UpdateTag1Click(); }); });
    Handlers.Connect(do_UpdateTag2, &QAction::triggered, this, [this] { forms::RunGuarded([this] { do_UpdateTag2Click(); }); });
}

void TfrmMain::do_UpdateTag1Click() { RefreshListTags(Library, lstMP3); }

void TfrmMain::do_UpdateTag2Click() { RefreshListTags(Library, lstFile); }

void TfrmMain::do_CDDB_MP3_1Click() { CddbTagOfSelected(lstMP3, 1); }

void TfrmMain::do_CDDB_MP3_2Click() { CddbTagOfSelected(lstFile, 2); }

void TfrmMain::do_CDDB_INF_1Click() { CddbAlbumOfSelected(lstMP3); }

void TfrmMain::do_CDDB_INF_2Click() { CddbAlbumOfSelected(lstFile); }

// The look-up refreshes the same row afterwards (selectedRowOf, through the host).
void TfrmMain::CddbTagOfSelected(TSortListView* ListView, int ListNo)
{
    const std::string path = RowPath(selectedRowOf(ListView));
    if (path.empty())
        return;
    TfrmCDDB_MP3 dialog(this);
    dialog.SetLblCDID(path, ListNo);
    dialog.ShowModal();
}

void TfrmMain::CddbAlbumOfSelected(TSortListView* ListView)
{
    const std::string path = RowPath(selectedRowOf(ListView));
    if (path.empty())
        return;
    TfrmCDDB_INF dialog(this);
    SetFileLabel(dialog.lblFile, path);
    dialog.ShowModal();
}

void TfrmMain::do_ModifyTagClick()
{
    TfrmTagAll dialog(TagHost(), this);
    dialog.ShowModal();
}

void TfrmMain::spdDetailsClick()
{
    const std::string path = RowPath(selectedRowOf(spdDetails->Tag == 1 ? lstMP3 : lstFile));
    if (path.empty())
        return;
    spdDetails->SetColorScheme(controls::TXiButton::TColorScheme(4));
    TfrmDetails dialog(TagHost(), this);
    SetFileLabel(dialog.lblFile, path);
    dialog.ShowModal();
    spdDetails->SetColorScheme(controls::TXiButton::TColorScheme(3));
}

void TfrmMain::do_EditTag1Click() { EditTagOfSelected(lstMP3, 1); }

void TfrmMain::do_EditTag2Click() { EditTagOfSelected(lstFile, 2); }

void TfrmMain::EditTagOfSelected(TSortListView* ListView, int ListNo)
{
    const std::string path = RowPath(selectedRowOf(ListView));
    if (path.empty())
        return;
    TfrmTAG dialog(TagHost(), this);
    SetFileLabel(dialog.lblFile, path);
    dialog.lblFileTag = ListNo;
    dialog.ShowModal();
    // A save from the playlist may have rewritten the file that plays: its lyrics are
    // read afresh.
    if (ListNo == 2 && dialog.Tag == 1 && DxSound)
        DxSound->UpdateLyricsAndMeter(true);
}
