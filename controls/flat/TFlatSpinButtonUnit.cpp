#include "controls/flat/TFlatSpinButtonUnit.h"

#include "resources/BuiltinResources.h"

namespace controls {

TTimerSpeedButton::~TTimerSpeedButton() = default;

void TTimerSpeedButton::SetTimeBtnState(int flags)
{
    if (flags == timeBtnState_)
        return;
    timeBtnState_ = flags;
    Invalidate();
}

void TTimerSpeedButton::MouseDown(forms::TMouseButton b, forms::TShiftState s, int x, int y)
{
    TFlatSpeedButton::MouseDown(b, s, x, y);
    if (!(timeBtnState_ & tbAllowTimer))
        return;
    if (!repeatTimer_)
        repeatTimer_ = std::make_unique<forms::TTimer>();
    repeatTimer_->SetOnTimer([this] { TimerExpired(); });
    repeatTimer_->SetInterval(InitRepeatPause);
    repeatTimer_->SetEnabled(true);
}

void TTimerSpeedButton::MouseUp(forms::TMouseButton b, forms::TShiftState s, int x, int y)
{
    TFlatSpeedButton::MouseUp(b, s, x, y);
    if (repeatTimer_)
        repeatTimer_->SetEnabled(false);
}

void TTimerSpeedButton::TimerExpired()
{
    if (!repeatTimer_)
        return;
    repeatTimer_->SetInterval(RepeatPause);
    // Only while the press that started the timer still holds the button down.
    if (State() == bsDown && IsDragging())
        Click();
}

void TTimerSpeedButton::Paint()
{
    TFlatSpeedButton::Paint();
    if (timeBtnState_ & tbFocusRect)
        DrawFocusMark(Canvas(), gfx::InflateRect(gfx::Rect(0, 0, width(), height()), -2, -2));
}

TSpinButton::TSpinButton(QWidget* parent)
    : forms::TCustomControl(parent), up_(new TTimerSpeedButton(this)), down_(new TTimerSpeedButton(this))
{
    SetTabStop(false);
    for (TTimerSpeedButton* b : {up_, down_}) {
        b->SetTimeBtnState(tbAllowTimer);
        b->OnClick = [this, b](QObject*) { buttonClick(b); };
        b->OnMouseDown = [this, b](QObject*, forms::TMouseButton button, forms::TShiftState, int, int) {
            if (button == forms::mbLeft)
                buttonMouseDown(b);
        };
        b->SetMargin(2);
        b->show();
    }
    setGlyph(*up_, gfx::TBitmap(), "FlatUp");
    up_->SetLayout(blGlyphTop);
    setGlyph(*down_, gfx::TBitmap(), "FlatDown");
    down_->SetLayout(blGlyphBottom);
    resize(21, 10);
    focused_ = up_;
    adjustButtons();
}

void TSpinButton::setGlyph(TTimerSpeedButton& button, const gfx::TBitmap& glyph, const char* builtin)
{
    if (!glyph.Empty()) {
        button.SetGlyph(glyph);
        return;
    }
    gfx::TBitmap arrow;
    if (LoadBuiltinBitmap(arrow, builtin)) {
        button.SetGlyph(arrow);
        button.SetNumGlyphs(1);
    }
}

void TSpinButton::SetUpGlyph(const gfx::TBitmap& glyph)
{
    setGlyph(*up_, glyph, "FlatUp");
}

void TSpinButton::SetDownGlyph(const gfx::TBitmap& glyph)
{
    setGlyph(*down_, glyph, "FlatDown");
}

void TSpinButton::adjustButtons()
{
    const int h = height();
    up_->SetBounds(0, 0, 11, h);
    down_->SetBounds(10, 0, 11, h);
    if (width() != 21)
        resize(21, h);
}

void TSpinButton::Resized()
{
    forms::TCustomControl::Resized();
    adjustButtons();
}

void TSpinButton::buttonClick(TTimerSpeedButton* button)
{
    const forms::TNotifyEvent& handler = button == up_ ? OnUpClick : OnDownClick;
    if (handler)
        handler(this);
}

void TSpinButton::buttonMouseDown(TTimerSpeedButton* button)
{
    if (TabStop() && isEnabled())
        setFocusBtn(button);
    if (focusControl_ && focusControl_->focusPolicy() != Qt::NoFocus && focusControl_->isEnabled() &&
        focusControl_->isVisible() && !focusControl_->hasFocus())
        focusControl_->setFocus(Qt::MouseFocusReason);
    else if (TabStop() && !hasFocus())
        setFocus(Qt::MouseFocusReason);
}

void TSpinButton::setFocusBtn(TTimerSpeedButton* button)
{
    if (!TabStop() || button == focused_)
        return;
    focused_->SetTimeBtnState(focused_->TimeBtnState() & ~tbFocusRect);
    focused_ = button;
    if (hasFocus())
        focused_->SetTimeBtnState(focused_->TimeBtnState() | tbFocusRect);
}

void TSpinButton::KeyDown(int& key, forms::TShiftState shift)
{
    forms::TCustomControl::KeyDown(key, shift);
    switch (key) {
    case forms::VK_SPACE:
        focused_->Click();
        break;
    case forms::VK_UP:
        setFocusBtn(up_);
        up_->Click();
        break;
    case forms::VK_DOWN:
        setFocusBtn(down_);
        down_->Click();
        break;
    default:
        return;
    }
    key = 0;
}

void TSpinButton::DoEnter()
{
    forms::TCustomControl::DoEnter();
    focused_->SetTimeBtnState(focused_->TimeBtnState() | tbFocusRect);
}

void TSpinButton::DoExit()
{
    forms::TCustomControl::DoExit();
    focused_->SetTimeBtnState(focused_->TimeBtnState() & ~tbFocusRect);
}

}  // namespace controls
