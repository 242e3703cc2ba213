// `TCustomControl`: the base of the program's own controls, a QWidget that gives its
// subclasses the habits the control code was written for:
//  - `Paint` draws on `Canvas`, a TCanvas over a backing image the size of the control that
//    is copied to the screen after each paint; drawing on Canvas outside Paint lands in the
//    same image and schedules a repaint;
//  - `Color`/`ParentColor` and `Font`/`ParentFont`: a control with the Parent flag follows
//    its parent's colour or font until it is given its own;
//  - mouse and key events as virtual calls (MouseDown, MouseUp, MouseMove, Click, DblClick,
//    MouseEnter, MouseLeave, KeyDown, KeyPress, KeyUp, DoEnter, DoExit) whose base versions
//    fire the matching On... event; key codes are the platform's virtual-key numbers;
//  - mouse capture: by default a control keeps the mouse while a button is held; without
//    capture (`SetCaptureMouse(false)`) moves and the release outside it are not reported;
//  - form notices: `DialogKey` (Return and Escape offered to every control, for Default and
//    Cancel buttons), `DialogChar` ("&x" accelerators, given the upper-cased character, for
//    Alt+x and for plain keys typed on a control that does not want characters),
//    `FocusChanged` (the form's focus moved), `Loaded` (the form's loading state ended at
//    its first show);
//  - `Tag`, `Hint`/`ShowHint`, bounds (TControlProperties), `Caption`; `SetTransparentBackground`
//    for see-through controls.
// Every handler runs guarded: an exception is reported and never crosses the event loop.
// UI thread only.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include <QImage>
#include <QWidget>

#include "platform/gfx/Canvas.h"

namespace forms {

using gfx::TColor;

enum TMouseButton { mbLeft, mbRight, mbMiddle };
using TShiftState = int;
constexpr TShiftState ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16,
                      ssMiddle = 32, ssDouble = 64;

// Modal results.
constexpr int mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5,
              mrYes = 6, mrNo = 7;

// Virtual-key numbers the handlers compare against.
constexpr int VK_BACK = 8, VK_TAB = 9, VK_RETURN = 13, VK_SHIFT = 16, VK_CONTROL = 17,
              VK_MENU = 18, VK_ESCAPE = 27, VK_SPACE = 32, VK_PRIOR = 33, VK_NEXT = 34,
              VK_END = 35, VK_HOME = 36, VK_LEFT = 37, VK_UP = 38, VK_RIGHT = 39,
              VK_DOWN = 40, VK_INSERT = 45, VK_DELETE = 46, VK_F1 = 112;
// The virtual-key number of a Qt key (0 when it has none).
int VirtualKey(int qtKey);

using TNotifyEvent = std::function<void(QObject* sender)>;
using TMouseEvent = std::function<void(QObject* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(QObject* sender, TShiftState shift, int x, int y)>;
using TKeyEvent = std::function<void(QObject* sender, int& key, TShiftState shift)>;
using TKeyPressEvent = std::function<void(QObject* sender, char32_t& key)>;

// Colour and font that children with ParentColor/ParentFont follow; shared by controls and
// forms.
class TParentLook {
public:
    virtual ~TParentLook() = default;
    TColor Color() const { return color_; }
    gfx::TFont& Font() { return font_; }
    const gfx::TFont& Font() const { return font_; }

protected:
    // Pushes this look to the children (recursing through widgets of other kinds).
    void propagateLook(QWidget* self, bool color, bool font);
    TColor color_ = gfx::clBtnFace;
    gfx::TFont font_;
};

// The look the nearest ancestor with one gives (a form or one of our controls); none when no
// ancestor has one.
TParentLook* NearestParentLook(const QWidget* w);

// The properties every control shows over whatever Qt widget it is: `Tag`, `Hint` (the tool
// tip, shown only while `ShowHint`), its bounds and `Enabled`.
template <class Widget>
class TControlProperties : public Widget {
public:
    using Widget::Widget;

    intptr_t Tag = 0;
    const std::string& Hint() const { return hint_; }
    void SetHint(const std::string& text)
    {
        hint_ = text;
        this->setToolTip(showHint_ ? QString::fromStdString(hint_) : QString());
    }
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool on)
    {
        showHint_ = on;
        SetHint(hint_);
    }

    int Left() const { return this->x(); }
    int Top() const { return this->y(); }
    int Width() const { return this->width(); }
    int Height() const { return this->height(); }
    void SetBounds(int left, int top, int w, int h) { this->setGeometry(left, top, w, h); }
    bool Enabled() const { return this->isEnabled(); }
    void SetEnabled(bool on) { this->setEnabled(on); }

private:
    std::string hint_;
    bool showHint_ = false;
};

class TForm;

class TCustomControl : public TControlProperties<QWidget>, public TParentLook {
public:
    explicit TCustomControl(QWidget* parent = nullptr);
    ~TCustomControl() override;

    gfx::TCanvas& Canvas();

    void SetColor(TColor c);
    bool ParentColor() const { return parentColor_; }
    void SetParentColor(bool on);
    void SetFont(const gfx::TFont& f) { font_.Assign(f); }
    bool ParentFont() const { return parentFont_; }
    void SetParentFont(bool on);
    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& text);
    bool Focused() const { return hasFocus(); }
    // A tab stop takes the focus by Tab and by click; otherwise it never takes it.
    bool TabStop() const { return focusPolicy() != Qt::NoFocus; }
    void SetTabStop(bool on) { setFocusPolicy(on ? Qt::StrongFocus : Qt::NoFocus); }
    bool MouseInControl() const { return mouseInside_; }
    void SetCaptureMouse(bool on) { captureMouse_ = on; }
    // Whether a left press and release inside fires Click (on by default).
    void SetClickEvents(bool on) { clickEvents_ = on; }
    // When on, every paint starts from the parent's own picture under the control (without
    // its other children), for see-through controls; otherwise from the last picture.
    void SetTransparentBackground(bool on) { transparentBackground_ = on; update(); }

    void Invalidate() { update(); }
    void Repaint() { repaint(); }
    // True while the form that holds this control has not been shown yet.
    bool Loading() const;
    TForm* ParentForm() const;

    TNotifyEvent OnClick, OnDblClick, OnMouseEnter, OnMouseLeave, OnEnter, OnExit, OnResize;
    TMouseEvent OnMouseDown, OnMouseUp;
    TMouseMoveEvent OnMouseMove;
    TKeyEvent OnKeyDown, OnKeyUp;
    TKeyPressEvent OnKeyPress;

    // Form notices (public so the form can deliver them).
    virtual bool DialogKey(int key, TShiftState shift);
    virtual bool DialogChar(char32_t ch);
    virtual void FocusChanged(QWidget* focused);
    virtual void Loaded() {}
    // Follows the nearest ancestor's look where the Parent flags are set.
    void takeParentLook(bool color, bool font);

protected:
    // Default: fills the client area with Color.
    virtual void Paint();
    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);
    virtual void Click();
    virtual void DblClick();
    virtual void MouseEnter();
    virtual void MouseLeave();
    virtual void KeyDown(int& key, TShiftState shift);
    virtual void KeyUp(int& key, TShiftState shift);
    virtual void KeyPress(char32_t& key);
    virtual void DoEnter();
    virtual void DoExit();
    virtual void EnabledChanged() { Invalidate(); }
    virtual void TextChanged() { Invalidate(); }
    virtual void ColorChanged() { Invalidate(); }
    virtual void FontChanged() { Invalidate(); }
    virtual void ParentColorChanged() {}
    virtual void Resized();
    // True when the control wants Return/Escape itself rather than as dialog keys.
    virtual bool WantsKey(int /*key*/) const { return false; }
    // True when typed characters are the control's own; otherwise a character that KeyPress
    // leaves alone is offered to the window's accelerators (a plain "y" for "&Yes").
    virtual bool WantsChars() const { return false; }

    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void changeEvent(QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    class ControlCanvas;
    void setInside(bool inside);
    void ensureBacking();
    QImage backing_;
    std::unique_ptr<ControlCanvas> canvas_;
    bool inPaint_ = false;
    bool parentColor_ = true;
    bool parentFont_ = true;
    bool captureMouse_ = true;
    bool clickEvents_ = true;
    bool transparentBackground_ = false;
    bool mouseInside_ = false;
    bool leftDown_ = false;
    std::string caption_;
};

// A control that leaves its painting to OnPaint.
class TPaintBox : public TCustomControl {
public:
    using TCustomControl::TCustomControl;
    TNotifyEvent OnPaint;

protected:
    void Paint() override;
};

// Shift state of Qt modifiers and buttons.
TShiftState ShiftState(Qt::KeyboardModifiers mods, Qt::MouseButtons buttons = Qt::NoButton);

}  // namespace forms
