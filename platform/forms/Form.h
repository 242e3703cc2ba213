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
//  - `DoCreate`: the window's FormCreate, run once at the end of its constructor, guarded (an
//    exception is reported and the window is still made);
//  - `KeyPreview`: the window sees its controls' events before they do (`PreviewEvent`), so
//    its own key handling runs whichever control has the focus;
//  - `Handlers`: a window attaches its handlers to its child widgets through it and calls
//    `Handlers.Stop()` first in its destructor, so no handler runs in a half-destroyed window;
//    the key preview is one of them.
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

    // Once on, every event of the controls the window holds now passes PreviewEvent first;
    // the preview ends with the window's handlers (Handlers.Stop).
    bool KeyPreview() const { return keyPreview_; }
    void SetKeyPreview(bool on);

    TNotifyEvent OnShow;
    std::function<void(QObject* sender, bool& canClose)> OnCloseQuery;
    TNotifyEvent OnClose;

protected:
    THandlers Handlers;  // stopped at the latest when TForm's own destructor starts

    // Runs FormCreate guarded, once: a second call does nothing.
    void DoCreate(const std::function<void()>& FormCreate);
    // With KeyPreview on: an event of one of the window's controls; true swallows it.
    virtual bool PreviewEvent(QObject* /*Watched*/, QEvent* /*Event*/) { return false; }

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
    bool keyPreview_ = false;
    bool previewHooked_ = false;
    bool created_ = false;
};

}  // namespace forms
