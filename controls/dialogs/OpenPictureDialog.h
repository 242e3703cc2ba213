// The windows' one call for picking a picture file: the picture open dialog with its preview
// (`TCoolOpenPictureDialog`), titled "画像を開く", opening in InitialDir (or its nearest existing
// parent). UI thread only.
#pragma once

#include <string>

class QWidget;

// The chosen file, or "" when the user cancelled.
std::string ExecuteOpenPictureDialog(QWidget* Owner, const std::string& InitialDir);
