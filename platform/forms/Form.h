// `TForm`: the base of the program's windows, a QDialog with the window habits the window
// code relies on:
//  - `ModalResult`: ShowModal runs the window modally and returns it; setting a non-zero
//    ModalResult while the window runs modally closes it with that result; closing the
//    window otherwise gives mrCancel;
//  - dialog keys: Return and Escape not taken by the focused control are offered to every
//    control (`TCustomControl::DialogKey`), so a Default or Cancel button of our own answers
//    them; Alt+letter goes to the controls' accelerators (`DialogChar`); nothing else closes
//    the window on Escape;
//  - `Color` and `Font` pass to the controls whose ParentColor/ParentFont is set;
//  - `Loading` is true from construction until the first show, when every control gets
//    `Loaded`; every change of the keyboard focus inside the window is announced to the
//    controls (`FocusChanged`), for default-button repaints;
//  - each show fits the window inside its screen's work area (PlaceOnScreen), shrinking it
//    as far as its minimum allows, so that no button ends up beyond a small screen's edge;
//  - OnShow, OnCloseQuery (may refuse) and OnClose, run guarded;
//  - `Handlers`: a window attaches its handlers to its child widgets through it and calls
//    `Handlers.Stop()` first in its destructor, so no handler runs in a half-destroyed window.
// UI thread only.
#pragma once
#include <functional>
#include <string>

#include <QDialog>

#include "platform/forms/Control.h"
#include "platform/forms/Handlers.h"

namespace forms {

class TForm : public QDialog, public TParentLook {
public:
    explicit TForm(QWidget* parent = nullptr);
    ~TForm() override;

    int ModalResult() const { return modalResult_; }
    void SetModalResult(int result);
    int ShowModal();

    void SetColor(TColor c);
    void SetFont(const gfx::TFont& f) { font_.Assign(f); }
    std::string Caption() const;
    void SetCaption(const std::string& text);
    bool Loading() const { return loading_; }
    // Offers a dialog key to the controls; true when one took it.
    bool DispatchDialogKey(int key, TShiftState shift);
    bool DispatchDialogChar(char32_t ch);
    // Alt+letter: offers the letter (the key's, else the typed text's) to the accelerators.
    bool DispatchAccelerator(int key, TShiftState shift, const QString& text);

    TNotifyEvent OnShow;
    std::function<void(QObject* sender, bool& canClose)> OnCloseQuery;
    TNotifyEvent OnClose;

protected:
    THandlers Handlers;  // stopped at the latest when TForm's own destructor starts

    void keyPressEvent(QKeyEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void reject() override;
    // Runs on every show, once the window has its place: a window that places itself by its
    // own rules overrides it.
    virtual void PlaceOnScreen();

private:
    template <class Fn> void forEachControl(Fn fn);
    int modalResult_ = mrNone;
    bool inModal_ = false;
    bool loading_ = true;
};

}  // namespace forms
