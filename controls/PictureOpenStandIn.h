// TEMPORARY STAND-IN for the program's own picture-open dialog with its preview: a plain,
// non-native Qt file dialog titled "画像を開く" that lists the picture extensions. Replaced,
// with this one function, when that dialog lands.
// UI thread only.
#pragma once

#include <string>

class QWidget;

// The chosen file, or "" when the user cancelled.
std::string ExecuteOpenPictureDialog(QWidget* Owner, const std::string& InitialDir);
