// What the three tag dialogs (editor, bulk change, details) share: placing a dialog over the
// main window, the field colours, the photo box, the information labels under a file's tag
// and a scope guard for the steps that must run whatever happens in between.
// User-interface thread only.
#pragma once

#include "platform/gfx/Colors.h"

#include <array>
#include <string>

class QFont;
class QLabel;
class QWidget;
class TTagDialogHost;

namespace controls {
class TRbButton;
}
namespace forms {
class TForm;
class TImage;
}  // namespace forms

inline constexpr gfx::TColor FieldFocusColor = 0x80FFFF;  // light yellow
inline constexpr const char* TagMsgCaption = "ＴＡＧ編集";
// What the user is told when a file's tag could not be saved.
inline constexpr const char* TagNotSavedText = "タグを保存できませんでした！！";

// A fixed-size dialog window with a title bar and a close box.
void SetupTagDialogWindow(forms::TForm& Dialog, const char* Caption, int Width, int Height);
// A button of the dialogs: the program's own, with the hand cursor.
controls::TRbButton* CreateTagDialogButton(QWidget* Parent, const char* Caption, int Tag);

// Centres Dialog over the host's main window (nothing without one).
void CentreOverMainWindow(QWidget& Dialog, const TTagDialogHost& Host);

// The background of an edit or memo.
void SetFieldBackground(QWidget* Field, gfx::TColor Color);

// Whether two paths name the same file as the main window compares them (without case).
bool SameFileIgnoringCase(const std::string& A, const std::string& B);

// The photo box: a white framed box at Left, Top of the given size, holding the panel the
// picture routine fits the photo into and the image itself.
struct TPhotoBox {
    QWidget* Panel;
    forms::TImage* Image;
};
TPhotoBox CreatePhotoBox(QWidget* Parent, int Left, int Top, int Width, int Height);

// Shows the photo Name of the current music folder in Image, fitted to its panel without
// smoothing, when Name is a bare file name and the file is there; the image is cleared to
// white first either way.
void ShowTagPhoto(forms::TImage& Image, const std::string& Mp3Path, const std::string& Name);

// The eighteen labels of AudioInfoLabels, in a fixed-pitch font, named after their entries.
using TAudioInfoLabelSet = std::array<QLabel*, 18>;
void CreateAudioInfoLabels(QWidget* Parent, TAudioInfoLabelSet& Labels);
// Runs GetAudioFileInfo on the file (a header-less VBR stream's frames counted) and puts each
// label's prefix and text up.
void ShowAudioInfo(const TAudioInfoLabelSet& Labels, const std::string& FileName);

// The fixed-pitch font of file names and information texts.
QFont TagFixedFont();

// The hidden label through which a dialog is told its file. It shows the name as the user
// reads it and keeps the name's own bytes, which need not be UTF-8, for the file operations;
// a label whose text was set directly gives that text.
void SetFileLabel(QLabel* Label, const std::string& Path);
std::string FileOfLabel(const QLabel* Label);


