// The name dialog: a small modal window in which the user types a favourite's name or picks
// one of the names already stored. The caller sets the prompt (`lblTitle`'s caption) and the
// initial text (`edtInp`), runs it with ShowModal, reads `Tag` (1 after OK; 0 after Cancel,
// and also after the close box of a new dialog) and the edit's text, trimmed of ASCII and
// full-width blanks at both ends, and frees the dialog.
//
// The window owns its controls. The drop-down lies under the edit box with only its arrow
// showing, so picking a name fills the edit. The window previews every key of its controls:
// Enter is OK and Escape is Cancel wherever the focus is. User-interface thread only.
#pragma once
#include <cstdint>
#include <string>

#include "platform/forms/Form.h"

class QLineEdit;

namespace controls {
class TLabel;
class TRbButton;
class TxxComboBox;
}  // namespace controls

class TfrmInput : public forms::TForm {
public:
    // Centred over the main window; without one over Owner's window, else over the screen's
    // work area.
    explicit TfrmInput(QWidget* Owner = nullptr);
    ~TfrmInput() override { Handlers.Stop(); }  // the controls' going reaches no handler

    intptr_t Tag = 0;

    controls::TLabel* lblTitle;
    controls::TxxComboBox* cmbInput;
    QLineEdit* edtInp;
    controls::TRbButton* spdOK;
    controls::TRbButton* spdCan;

    void FormCreate(QObject* Sender);
    void FormShow(QObject* Sender);
    void FormCloseQuery(QObject* Sender, bool& CanClose);
    void FormKeyDown(QObject* Sender, int& Key, forms::TShiftState Shift);
    // OK (a sender with Tag 1) or Cancel (any other); Cancel asks first when the text was
    // edited since the dialog was shown, and stays open on No.
    void spdOKClick(QObject* Sender);
    void edtInpKeyPress(QObject* Sender, char& Key);
    void cmbInputDropDown(QObject* Sender);
    void cmbInputChange(QObject* Sender);
    void cmbInputCloseUp(QObject* Sender);

protected:
    bool PreviewEvent(QObject* watched, QEvent* event) override;

private:
    void placeControls();
    void centreOver(QWidget* Owner);
    bool previewKey(QObject* watched, int qtKey, Qt::KeyboardModifiers mods, const QString& text);

    QWidget* owner_;
    std::string ShownText;  // the edit's text when the dialog was shown
};
