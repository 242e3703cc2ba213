// Taking the playlist's files out of the program: export into a folder of the user's
// choice (a portable player, a stick), with the photos their tags name, and making a CD:
// the files are staged in the program's own folder and handed to the desktop's burner,
// which titles and writes the disc.
#include "app/MainForm.h"

#include "app/Globals.h"
#include "app/MainFormSupport.h"
#include "labels/forms/xCDTitle.h"
#include "platform/shell/CdDrives.h"
#include "tags/libMP3Header.h"
#include "platform/forms/Application.h"
#include "tags/libID3Tag.h"
#include "util/DirDialog.h"
#include "util/Cp932.h"
#include "util/libIni.h"
#include "util/libWindows.h"

#include <QAction>

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

const std::string CR = "\r";

bool isFile(const std::string& Path)
{
    std::error_code ec;
    return fs::is_regular_file(Path, ec);
}

// Whether Source and Dest are one file (the folder chosen is the file's own).
bool sameFile(const std::string& Source, const std::string& Dest)
{
    std::error_code ec;
    return fs::equivalent(Source, Dest, ec) && !ec;
}

std::string fileName(const std::string& Path)
{
    return fs::path(Path).filename().string();
}

}  // namespace

void TfrmMain::ConnectExportCommands()
{
    for (QAction* a : {do_CopyList1, do_CopyList2})
        Handlers.Connect(a, &QAction::triggered, this, [this] { forms::RunGuarded([this] { do_CopyList1Click(); }); });
    Handlers.Connect(do_BurnCD1, &QAction::triggered, this, [this] { forms::RunGuarded([this] { do_BurnCD1Click(); }); });
    Handlers.Connect(do_Print, &QAction::triggered, this, [this] { forms::RunGuarded([this] { do_PrintClick(); }); });
    CdDrive = [] { return FindCdDrive(); };
    timCD1.SetOnTimer([this] { forms::RunGuarded([this] { timCD1Timer(); }); });
}

void TfrmMain::do_CopyList1Click()
{
    TReentryGuard guard(busy_);
    if (!guard)
        return;
    DirDialog1->Caption.clear();
    DirDialog1->Promt = "エクスポート先フォルダーを指定" + CR + CR + "用途 : ＣＤ、ＭＰ３プレーヤー等";
    DirDialog1->SetOptions(ddoNewStyle);
    DirDialog1->SetSelection(IniReadString(IniBase, "SETTING", "COPY_FOLDER", GetSpecialFolder(7)));
    if (!DirDialog1->Execute()) {
        FinishBusyStep();
        return;
    }
    std::string folder = DirDialog1->Directory;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    if (MsgBoxEx(this, "エクスポート", "エクスポートを開始します！！" + CR + CR + "    よろしいですか？", 1,
                 "yn", "?") != 6) {
        FinishBusyStep();
        return;
    }
    forms::ProcessMessages();
    SaveSettings([&folder] { IniWriteString(IniBase, "SETTING", "COPY_FOLDER", folder); });
    const std::string base = folder == "/" ? std::string() : folder;

    std::vector<std::string> paths;
    for (int i = 0; i < lstFile->topLevelItemCount(); ++i)
        paths.push_back(RowPath(lstFile->topLevelItem(i)));
    std::vector<std::string> failed;
    for (const std::string& path : paths) {
        if (!isFile(path))
            continue;
        const std::string name = fileName(path);
        const std::string dest = base + "/" + name;
        if (sameFile(path, dest))
            continue;   // already there: copying it onto itself could only destroy it
        if (fs::exists(fs::symlink_status(dest)) &&
            MsgBoxEx(this, "エクスポート",
                     "同じファイル名 『 " + cp932::nameForDisplay(name) + " 』 があります。" + CR + CR + "上書きしますか？", 1, "yn",
                     "?") != 6)
            continue;
        if (!CopyFileSetArchive(path, dest, 1)) {
            failed.push_back(name);
            continue;
        }
        ReadTag(path);
        const std::string photo = CurrentTag.PhotoName;
        if (!IsPlainPhotoName(photo) || !isFile(::Mp3Path + "/" + photo))
            continue;
        const std::string photoDest = base + "/" + photo;
        if (sameFile(::Mp3Path + "/" + photo, photoDest))
            continue;
        if (CopyFileSetArchive(::Mp3Path + "/" + photo, photoDest, 1))
            SetHiddenAttr(photoDest, true);
        else
            failed.push_back(photo);
    }
    if (!failed.empty()) {
        std::string list;
        for (const std::string& n : failed)
            list += CR + "    " + cp932::nameForDisplay(n);
        MsgBoxEx(this, "エクスポート", "次のファイルをエクスポートできませんでした！！" + CR + list, 1, "Y", "x");
    }
    FinishBusyStep();
}

// ---------------------------------------------------------------- jacket and label

void TfrmMain::do_PrintClick()
{
    if (lstFile->topLevelItemCount() == 0)
        return;
    TfrmCD_Label designer(this);
    designer.ShowModal();
}

// ---------------------------------------------------------------- making a CD

void TfrmMain::do_BurnCD1Click()
{
    TReentryGuard guard(busy_);
    if (!guard)
        return;
    pnlBurnCD->move((pnlList->width() - pnlBurnCD->width()) / 2,
                    (pnlList->height() - pnlBurnCD->height()) / 2 + pnlListMenu->height() / 2);
    if (MsgBoxEx(this, "ＣＤの作成", "ＣＤの作成を開始します！！" + CR + CR + "    よろしいですか？", 1, "yn",
                 "?") != 6) {
        FinishBusyStep();
        return;
    }
    pnlBurnCD->show();
    pnlBurnCD->raise();
    {
        TWaitCursor hourglass;
        forms::ProcessMessages();
        bool cancelled = false;
        if (StageFilesForCd(cancelled)) {
            timCD1.SetEnabled(true);   // the panel shows until the burner ends
        } else {
            pnlBurnCD->hide();
            if (!cancelled)
                MsgBoxEx(this, "ＣＤの作成", "ＣＤバナーの起動に失敗しました！！", 1, "y", "i");
        }
    }
    FinishBusyStep();
}

void TfrmMain::timCD1Timer()
{
    if (CdBurnerRuns(cdBurner_))
        return;
    timCD1.SetEnabled(false);
    pnlBurnCD->hide();
}

bool TfrmMain::StageFilesForCd(bool& Cancelled)
{
    Cancelled = false;
    for (;;) {
        const int ready = CheckCdReady();
        if (ready == 1)
            break;
        if (ready != 6) {   // cancel, or the box closed
            Cancelled = true;
            return false;
        }
        forms::ProcessMessages();
    }
    ClearCdBurningFolder();
    const std::string staging = GetCdBurningFolder();
    std::error_code ec;
    fs::create_directories(staging, ec);
    if (ec || !fs::is_directory(fs::symlink_status(staging)))
        return false;
    std::vector<std::string> staged;
    for (int i = 0; i < lstFile->topLevelItemCount(); ++i) {
        const std::string path = RowPath(lstFile->topLevelItem(i));
        if (!isFile(path))
            continue;
        // Two files of one name both go on the disc.
        const std::string dest = MakeUniqueFileName(staging + "/" + fileName(path));
        if (!CopyFileSetArchive(path, dest, 0)) {
            ClearCdBurningFolder();   // a disc with half the list is no use
            return false;
        }
        staged.push_back(dest);
    }
    cdBurner_ = staged.empty() ? 0 : BurnFilesToCd(staged);
    if (cdBurner_ == 0)
        ClearCdBurningFolder();
    return cdBurner_ != 0;
}

int TfrmMain::CheckCdReady()
{
    const std::string drive = CdDrive();
    if (drive.empty())
        return MsgBoxEx(this, "ＣＤエラー", "ＣＤドライブ の認識が出来ません！！", 1, "yc", "i");
    // A blank disc has no file system yet: what counts is that the drive holds a disc.
    if (!shell::discInDrive(drive)) {
        OpenCdDoor(drive);
        const int answer = MsgBoxEx(this, "ＣＤエラー",
                                    "ＣＤ が入っていません！！" + CR + CR + "ＣＤドライブに新しいＣＤを入れて下さい。", 1,
                                    "yc", "i");
        CloseCdDoor(drive);
        return answer;
    }
    return 1;
}

void TfrmMain::ClearCdBurningFolder()
{
    // Only the program's own staging folder is ever emptied, and nothing through a link.
    const std::string staging = GetCdBurningFolder();
    if (!staging.ends_with("/Tambourelle/cd-burning"))
        return;
    std::error_code ec;
    if (!fs::is_directory(fs::symlink_status(staging, ec)))
        return;
    for (const auto& e : fs::directory_iterator(staging, ec))
        fs::remove_all(e.path(), ec);   // a link goes, not what it points at
}
