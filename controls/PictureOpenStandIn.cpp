#include "controls/PictureOpenStandIn.h"

#include "platform/forms/Dialogs.h"

#include <QFileDialog>

std::string ExecuteOpenPictureDialog(QWidget* Owner, const std::string& InitialDir)
{
    QFileDialog dialog(Owner, QString::fromUtf8("画像を開く"), QString::fromStdString(forms::ExistingFolderOf(InitialDir)));
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(QString::fromUtf8("画像 (*.bmp *.jpg *.jpeg *.JPG *.BMP);;すべて (*)"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first().toStdString();
}
