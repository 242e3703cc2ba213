// Taking the playlist's files out of the program: export into a folder of the user's
// choice (a portable player, a stick), with the photos their tags name.
#include "app/MainForm.h"

#include "app/Globals.h"
#include "platform/forms/Application.h"
#include "tags/libID3Tag.h"
#include "util/DirDialog.h"
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
        connect(a, &QAction::triggered, this, [this] { forms::RunGuarded([this] { do_CopyList1Click(); }); });
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
                     "同じファイル名 『 " + name + " 』 があります。" + CR + CR + "上書きしますか？", 1, "yn",
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
            list += CR + "    " + n;
        MsgBoxEx(this, "エクスポート", "次のファイルをエクスポートできませんでした！！" + CR + list, 1, "Y", "x");
    }
    FinishBusyStep();
}
