// The application's hints (tool tips), where Qt has no counterpart: the timings
// `HintPause`, `HintShortPause` and `HintHidePause` (500, 50 and 2500 ms), the hint and
// show-hint events, and a replaceable hint window class.
//
// A control's hint is its Qt tool tip (the controls set it from `Hint` while `ShowHint`).
// While a hint window class is set, one application-wide event filter takes the widgets'
// tool tips over (the tips Qt shows for a menu's actions or a view's items stay Qt's): it
// watches every mouse move (the application's filters see them even for widgets
// that do not track the mouse), swallows Qt's own tool-tip events, and shows the hint
// window after `HintPause` over a control with a hint - after `HintShortPause` when another
// hint was showing - for `HintHidePause`. A press, a wheel turn or a key hides the hint until
// the mouse reaches another control. Without a hint window class nothing is filtered and Qt
// shows its own tool tips with its own timings.
//
// `THintWindow` is the standard hint: a borderless, click-through, unfocusable tool-tip
// window with the info colours, a black frame and word-wrapped text; subclasses change its
// size, shape and painting. Everything here runs on the user-interface thread.
#pragma once
#include <functional>
#include <memory>
#include <string>

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include "platform/forms/Control.h"
#include "platform/gfx/Canvas.h"

namespace forms {

// What a hint about to show is about; the show-hint event may change it.
struct THintInfo {
    QWidget* HintControl = nullptr;
    QPoint CursorPos;     // in the control's coordinates
    QPoint HintPos;       // screen position of the hint's top left
    int HintMaxWidth = 0;
    int HideTimeout = 0;  // ms; starts as HintHidePause
    std::string HintStr;
};

using TShowHintEvent = std::function<void(std::string& HintStr, bool& CanShow, THintInfo& HintInfo)>;

class THintWindow : public QWidget {
public:
    THintWindow();
    ~THintWindow() override;

    gfx::TFont& Font() { return font_; }
    gfx::TColor Color() const { return color_; }
    void SetColor(gfx::TColor c) { color_ = c; update(); }
    const std::string& Caption() const { return caption_; }

    // The rectangle (at the origin) the text needs when wrapped at maxWidth pixels.
    virtual gfx::TRect CalcHintRect(int maxWidth, const std::string& hint);
    // Shows the hint with its top left at rect's (screen coordinates) and rect's size.
    virtual void ActivateHint(gfx::TRect rect, const std::string& hint);
    void ReleaseHandle() { hide(); }
    // The picture the last paint drew (transparent where nothing was drawn).
    const QImage& Picture() const { return picture_; }

protected:
    // Fills the window before Paint; the standard hint fills it with Color.
    virtual void EraseBackground(gfx::TCanvas& canvas);
    // The standard hint: a black frame and the text at (2, 2) in the info-text colour.
    virtual void Paint(gfx::TCanvas& canvas);
    void paintEvent(QPaintEvent* e) override;

private:
    gfx::TFont font_;
    gfx::TColor color_ = gfx::clInfoBk;
    std::string caption_;
    QImage picture_;
};

using THintWindowClass = std::function<std::unique_ptr<THintWindow>()>;

class TApplicationHints : public QObject {
public:
    static TApplicationHints& Instance();

    int HintPause() const { return hintPause_; }
    void SetHintPause(int ms) { hintPause_ = ms; }
    int HintShortPause() const { return hintShortPause_; }
    void SetHintShortPause(int ms) { hintShortPause_ = ms; }
    int HintHidePause() const { return hintHidePause_; }
    void SetHintHidePause(int ms) { hintHidePause_ = ms; }

    // Off destroys the hint window; on again makes a new one of the current class.
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool on);
    // Empty: Qt's own tool tips. The window is made anew at the next hint.
    void SetHintWindowClass(THintWindowClass cls);
    bool HasHintWindowClass() const { return bool(class_); }
    // The window the last hint was shown in (none before the first).
    THintWindow* HintWindow() const { return window_.get(); }
    // The hint of the control under the mouse.
    const std::string& Hint() const { return hint_; }

    // Fired when the mouse reaches a control with another hint (or none).
    TNotifyEvent OnHint;
    TShowHintEvent OnShowHint;

    // The hover as the filter sees it: the mouse at pos (control coordinates) over control.
    void MouseOver(QWidget* control, QPoint pos);
    // Hides the hint and forgets the control.
    void CancelHint();

    // The timers, so that tests can fire them by hand.
    bool ShowTimerActive() const { return showTimer_.isActive(); }
    int ShowTimerInterval() const { return showTimer_.interval(); }
    void FireShowTimer();
    bool HideTimerActive() const { return hideTimer_.isActive(); }
    int HideTimerInterval() const { return hideTimer_.interval(); }
    void FireHideTimer();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TApplicationHints();
    void setControl(QWidget* control);
    void showHint();
    void hideHint();
    void updateFilter();

    int hintPause_ = 500, hintShortPause_ = 50, hintHidePause_ = 2500;
    bool showHint_ = true;
    bool filtering_ = false;
    bool suppressed_ = false;  // hidden by a press or key until another control
    THintWindowClass class_;
    std::unique_ptr<THintWindow> window_;
    QPointer<QWidget> control_;
    QPoint cursorPos_;
    std::string hint_;
    QTimer showTimer_, hideTimer_;
};

}  // namespace forms
