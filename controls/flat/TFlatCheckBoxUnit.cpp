#include "controls/flat/TFlatCheckBoxUnit.h"

#include <QApplication>
#include <QEvent>

#include "controls/common/ControlTypes.h"
#include "controls/flat/FlatTracking.h"

namespace controls {

namespace {

TFlatTracking& tracking()
{
    static TFlatTracking t([] { TFlatCheckBox::TrackingTick(); });
    return t;
}

}  // namespace

TFlatCheckBox::TFlatCheckBox(QWidget* parent) : forms::TCustomControl(parent)
{
    tracking().Attach();
    SetColor(0xE1EAEB);
    SetParentColor(true);
    SetTabStop(true);
    SetClickEvents(false);  // OnClick comes from SetChecked
    resize(121, 17);
    if (isRightToLeft())
        layout_ = checkboxRight;
}

TFlatCheckBox::~TFlatCheckBox()
{
    tracking().Detach(this);
}

bool TFlatCheckBox::SharedTimerExists()
{
    return tracking().TimerExists();
}

TFlatCheckBox* TFlatCheckBox::TrackedControl()
{
    return static_cast<TFlatCheckBox*>(tracking().Tracked());
}

void TFlatCheckBox::TrackingTick()
{
    TFlatCheckBox* box = TrackedControl();
    if (box && !box->MouseInControl())
        box->mouseLeft();
}

void TFlatCheckBox::SetChecked(bool value)
{
    if (value == checked_)
        return;
    checked_ = value;
    Click();
    Invalidate();
}

void TFlatCheckBox::SetTransparent(bool on)
{
    transparent_ = on;
    Invalidate();
}

void TFlatCheckBox::SetLayout(TCheckBoxLayout l)
{
    layout_ = l;
    Invalidate();
}

TColor TFlatCheckBox::Colors(int index) const
{
    switch (index) {
    case 0: return colorFocused_;
    case 1: return colorDown_;
    case 2: return colorCheck_;
    case 3: return colorBorder_;
    default: return -1;
    }
}

void TFlatCheckBox::SetColors(int index, TColor value)
{
    switch (index) {
    case 0: colorFocused_ = value; break;
    case 1: colorDown_ = value; break;
    case 2: colorCheck_ = value; break;
    case 3: colorBorder_ = value; break;
    default: return;
    }
    Invalidate();
}

TAdvColors TFlatCheckBox::AdvColors(int index) const
{
    return index == 0 ? advFocused_ : index == 1 ? advDown_ : index == 2 ? advBorder_ : -1;
}

void TFlatCheckBox::SetAdvColors(int index, TAdvColors value)
{
    value = std::clamp(value, 0, 100);
    switch (index) {
    case 0: advFocused_ = value; break;
    case 1: advDown_ = value; break;
    case 2: advBorder_ = value; break;
    default: return;
    }
    updateAdvColors();
    Invalidate();
}

void TFlatCheckBox::SetUseAdvColors(bool on)
{
    if (on == useAdvColors_)
        return;
    useAdvColors_ = on;
    SetParentColor(on);
    updateAdvColors();
    Invalidate();
}

void TFlatCheckBox::updateAdvColors()
{
    if (!useAdvColors_)
        return;
    colorFocused_ = CalcAdvancedColor(Color(), colorFocused_, advFocused_, false);
    colorDown_ = CalcAdvancedColor(Color(), colorDown_, advDown_, true);
    colorBorder_ = CalcAdvancedColor(Color(), colorBorder_, advBorder_, true);
}

void TFlatCheckBox::ParentColorChanged()
{
    updateAdvColors();
    Invalidate();
}

TRect TFlatCheckBox::BoxRect() const
{
    const int w = Width();
    return layout_ == checkboxLeft ? gfx::Rect(1, 3, 12, 14) : gfx::Rect(w - 12, 3, w - 1, 14);
}

void TFlatCheckBox::Paint()
{
    gfx::TCanvas& c = Canvas();
    const int w = Width(), h = Height();
    if (transparent_) {
        DrawParentImage(*this, c);
    } else {
        c.Brush().SetStyle(gfx::bsSolid);
        c.Brush().SetColor(Color());
        c.FillRect(gfx::Rect(0, 0, w, h));
    }

    const TRect box = BoxRect();
    const bool focused = hasFocus();
    c.Pen().SetWidth(1);
    c.Pen().SetStyle(gfx::psSolid);
    c.Brush().SetStyle(gfx::bsSolid);
    c.Brush().SetColor(pressed_ ? colorDown_ : (focused || mouseIn_) ? colorFocused_ : Color());
    c.FillRect(box);
    if (checked_) {
        c.Pen().SetColor(isEnabled() ? colorCheck_ : gfx::clBtnShadow);
        const int x = box.Left, y = box.Top;
        const int lines[6][4] = {{2, 4, 6, 8}, {2, 5, 5, 8}, {2, 6, 5, 9},
                                 {8, 2, 4, 6}, {8, 3, 4, 7}, {8, 4, 5, 7}};
        for (const auto& l : lines) {
            c.MoveTo(x + l[0], y + l[1]);
            c.LineTo(x + l[2], y + l[3]);
        }
    }
    c.Brush().SetColor(colorBorder_);
    c.FrameRect(box);

    c.Brush().SetStyle(gfx::bsClear);
    c.Font().Assign(Font());
    TRect text = layout_ == checkboxLeft ? gfx::Rect(16, 1, w - 1, h - 1) : gfx::Rect(1, 1, w - 16, h - 1);
    const unsigned flags = gfx::DT_WORDBREAK | (layout_ == checkboxLeft ? gfx::DT_LEFT : gfx::DT_RIGHT);
    if (isEnabled()) {
        c.DrawText(Caption(), text, flags);
    } else {
        TRect moved = gfx::OffsetRect(text, 1, 1);
        c.Font().SetColor(gfx::clBtnHighlight);
        c.DrawText(Caption(), moved, flags);
        c.Font().SetColor(gfx::clBtnShadow);
        c.DrawText(Caption(), text, flags);
    }
    // The lit box alone is too slight a sign of the keyboard's focus.
    if (focused)
        DrawFocusMark(c, gfx::Rect(0, 0, w, h));
}

void TFlatCheckBox::MouseMove(forms::TShiftState s, int x, int y)
{
    forms::TCustomControl::MouseMove(s, x, y);
    if (!MouseInControl() || TrackedControl() == this)
        return;
    if (TFlatCheckBox* previous = TrackedControl())
        previous->mouseLeft();
    if (QApplication::activeWindow()) {
        tracking().Track(this);
        if (isEnabled()) {
            mouseIn_ = true;
            Invalidate();
        }
    }
}

void TFlatCheckBox::mouseLeft()
{
    if (!isEnabled() || !mouseIn_ || pressed_)
        return;
    mouseIn_ = false;
    if (TrackedControl() == this)
        tracking().Stop();
    Invalidate();
}

void TFlatCheckBox::MouseLeave()
{
    forms::TCustomControl::MouseLeave();
    mouseLeft();
}

void TFlatCheckBox::MouseDown(forms::TMouseButton b, forms::TShiftState s, int x, int y)
{
    if (b == forms::mbLeft && isEnabled()) {
        if (focusPolicy() != Qt::NoFocus)
            setFocus(Qt::MouseFocusReason);
        pressed_ = true;
        Invalidate();
    }
    forms::TCustomControl::MouseDown(b, s, x, y);
}

void TFlatCheckBox::MouseUp(forms::TMouseButton b, forms::TShiftState s, int x, int y)
{
    if (b == forms::mbLeft && isEnabled()) {
        const bool pressedHere = pressed_;
        pressed_ = false;
        // Only a release over the box that was pressed toggles it; a release after the
        // pointer went elsewhere is a change of mind.
        if (pressedHere && rect().contains(x, y))
            toggle();
        else if (!MouseInControl())
            mouseLeft();  // the leave was held back while the button was down
        Invalidate();
    }
    forms::TCustomControl::MouseUp(b, s, x, y);
}

void TFlatCheckBox::KeyPress(char32_t& key)
{
    forms::TCustomControl::KeyPress(key);
    if (key == U' ' && hasFocus()) {
        key = 0;
        toggle();
    }
}

bool TFlatCheckBox::DialogChar(char32_t ch)
{
    if (!IsAccel(ch, Caption()) || !isEnabled() || !isVisible() || focusPolicy() == Qt::NoFocus)
        return false;
    setFocus(Qt::ShortcutFocusReason);
    toggle();
    return true;
}

void TFlatCheckBox::DoEnter()
{
    forms::TCustomControl::DoEnter();
    Invalidate();
}

void TFlatCheckBox::DoExit()
{
    forms::TCustomControl::DoExit();
    mouseIn_ = false;
    Invalidate();
}

void TFlatCheckBox::EnabledChanged()
{
    if (!isEnabled()) {
        mouseIn_ = pressed_ = false;
        if (TrackedControl() == this)
            tracking().Stop();
    }
    Invalidate();
}

void TFlatCheckBox::changeEvent(QEvent* e)
{
    forms::TCustomControl::changeEvent(e);
    if (e->type() == QEvent::LayoutDirectionChange)
        SetLayout(isRightToLeft() ? checkboxRight : checkboxLeft);
}

void TFlatCheckBox::moveEvent(QMoveEvent* e)
{
    forms::TCustomControl::moveEvent(e);
    if (transparent_)
        Invalidate();
}

}  // namespace controls
