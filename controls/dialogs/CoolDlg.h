// `TCoolOpenDialog` and `TCoolSaveDialog`: the open and save dialogs the program's windows
// use. Over the class library's dialogs they add the user's places in the side bar, a
// position centred on the main window's monitor a third of the way down (which the owner may
// change through OnSettingPos), a size grip with a minimum of the first size, and a memory of
// how much the user enlarged the last dialog: the next one of the process opens that much
// larger. The file view takes the growth; the toolkit's layout keeps the controls left of it
// in place and moves the buttons at its right with the growth. UI thread only.
#pragma once

#include <functional>

#include <QSize>
#include <QSizeGrip>

#include "platform/forms/Dialogs.h"

class QDialog;

namespace controls {

// The 16 x 16 size grip at the dialog's bottom-right corner.
class TCoolGrip : public QSizeGrip {
public:
    explicit TCoolGrip(QWidget* Dialog);
    // Keeps the grip in the dialog's bottom-right corner.
    void Place();
};

// Sender, X, Y (may be changed), W, H.
using TCODSetPositionEvent = std::function<void(class TCoolOpenDialog& Sender, int& X, int& Y, int W, int H)>;

class TCoolOpenDialog : public forms::TOpenDialog {
public:
    using forms::TOpenDialog::TOpenDialog;

    bool PlaceBar = true;
    TCODSetPositionEvent OnSettingPos;

    // The extra size (current minus first) the last closed dialog of the process had.
    static QSize RememberedExtra();
    static void ForgetExtra();

protected:
    int Run(QFileDialog& Dialog) override;
    // Moves the shown dialog to its place (neither resizing nor activating it).
    virtual void Position(QDialog& Dialog);
    // After every re-layout of the dialog for a new size.
    virtual void Resized(QDialog& /*Dialog*/) {}

private:
    class TWatcher;
};

class TCoolSaveDialog : public TCoolOpenDialog {
public:
    using TCoolOpenDialog::TCoolOpenDialog;

protected:
    bool Saving() const override { return true; }
};

}  // namespace controls
