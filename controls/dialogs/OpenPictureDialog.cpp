#include "controls/dialogs/OpenPictureDialog.h"

#include "controls/dialogs/CoolDlgEx.h"

std::string ExecuteOpenPictureDialog(QWidget* Owner, const std::string& InitialDir)
{
    controls::TCoolOpenPictureDialog dialog(Owner);
    dialog.Title = "画像を開く";
    dialog.InitialDir = InitialDir;
    return dialog.Execute() ? dialog.FileName : std::string();
}
