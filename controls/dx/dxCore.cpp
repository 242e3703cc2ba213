#include "controls/dx/dxCore.h"

#include <algorithm>

#include <QEvent>

namespace controls {

const std::string& dxVersion()
{
    static const std::string version = "1.0";
    return version;
}

TdxCustomControl::TdxCustomControl(QWidget* parent) : forms::TCustomControl(parent)
{
    // The base control already paints opaquely into a picture of its own that reaches the
    // screen in one copy, which is what the opaque style and double buffering asked for.
}

void TdxCustomControl::EndUpdate()
{
    updating_ = false;
    Invalidate();
}

void TdxCustomControl::invalidateUnlessUpdating()
{
    if (!updating_)
        Invalidate();
}

void TdxCustomControl::repaintAfter(TdxHook hook)
{
    if (repaintOptions_[size_t(hook / 8)] & (1u << (hook % 8)))
        invalidateUnlessUpdating();
}

void TdxCustomControl::setStateBit(uint8_t bit, bool on)
{
    state_ = on ? uint8_t(state_ | bit) : uint8_t(state_ & ~bit);
}

void TdxCustomControl::FocusChanged(QWidget* focused)
{
    forms::TCustomControl::FocusChanged(focused);
    DoFocusChanged(focused);
}

void TdxCustomControl::DoFocusChanged(QWidget* focused)
{
    setStateBit(dxsFocused, hasFocus());
    activeIsDx_ = dynamic_cast<TdxCustomControl*>(focused) != nullptr;
    repaintAfter(dxhFocusChanged);
}

void TdxCustomControl::DoLMouseDown(forms::TShiftState, int, int)
{
    setStateBit(dxsLButtonDown, true);
    repaintAfter(dxhLMouseDown);
}

void TdxCustomControl::DoLMouseUp(forms::TShiftState, int, int)
{
    setStateBit(dxsLButtonDown, false);
    repaintAfter(dxhLMouseUp);
}

void TdxCustomControl::DoMouseEnter()
{
    setStateBit(dxsMouseIn, true);
    forms::TCustomControl::MouseEnter();  // fires OnMouseEnter
    repaintAfter(dxhMouseEnter);
}

void TdxCustomControl::DoMouseLeave()
{
    setStateBit(dxsMouseIn, false);
    forms::TCustomControl::MouseLeave();  // fires OnMouseLeave
    repaintAfter(dxhMouseLeave);
}

void TdxCustomControl::EnabledChanged()
{
    DoEnabledChanged();
}

void TdxCustomControl::MouseDown(forms::TMouseButton b, forms::TShiftState s, int x, int y)
{
    forms::TCustomControl::MouseDown(b, s, x, y);
    if (b == forms::mbLeft)
        DoLMouseDown(s, x, y);
}

void TdxCustomControl::MouseUp(forms::TMouseButton b, forms::TShiftState s, int x, int y)
{
    forms::TCustomControl::MouseUp(b, s, x, y);
    if (b == forms::mbLeft)
        DoLMouseUp(s, x, y);
}

void TdxCustomControl::MouseMove(forms::TShiftState s, int x, int y)
{
    forms::TCustomControl::MouseMove(s, x, y);
    DoMouseMove(s, x, y);
}

void TdxCustomControl::MouseEnter()
{
    DoMouseEnter();
}

void TdxCustomControl::MouseLeave()
{
    DoMouseLeave();
}

// Outside a window of ours no focus notices arrive, so entering and leaving report too.
void TdxCustomControl::DoEnter()
{
    forms::TCustomControl::DoEnter();
    DoFocusChanged(window()->focusWidget());
}

void TdxCustomControl::DoExit()
{
    forms::TCustomControl::DoExit();
    DoFocusChanged(window()->focusWidget());
}

void TdxCustomControl::ParentColorChanged()
{
    forms::TCustomControl::ParentColorChanged();
    DoParentColorChanged();
}

void TdxCustomControl::FontChanged()
{
    // The base reports both a font of the control's own and one taken from the parent;
    // only the parent's is a hook.
    if (ParentFont())
        DoParentFontChanged();
    else
        invalidateUnlessUpdating();
}

void TdxCustomControl::TextChanged()
{
    DoTextChanged();
}

void TdxCustomControl::Resized()
{
    forms::TCustomControl::Resized();
    DoSizeChanged();
}

void TdxCustomControl::changeEvent(QEvent* e)
{
    forms::TCustomControl::changeEvent(e);
    if (e->type() == QEvent::ContentsRectChange)
        DoBorderChanged();
}

void TdxCustomControl::moveEvent(QMoveEvent* e)
{
    forms::TCustomControl::moveEvent(e);
    DoPositionChanged();
}

void TdxStyle::SetTheme(TdxTheme t)
{
    store(theme_, t);
}

void TdxStyle::SetUseStyleManager(bool on)
{
    store(useStyleManager_, on);
}

TdxStyleManager::~TdxStyleManager()
{
    const auto controls = std::move(controls_);
    for (TdxCustomStyleControl* c : controls) {
        c->manager_ = nullptr;
        c->StyleChanged();
    }
}

void TdxStyleManager::SetTheme(TdxTheme t)
{
    if (t == theme_)
        return;
    theme_ = t;
    if (OnThemeChanged)
        OnThemeChanged(this);
    for (TdxCustomStyleControl* c : controls_)
        c->StyleChanged();
}

void TdxStyleManager::add(TdxCustomStyleControl* c)
{
    if (std::find(controls_.begin(), controls_.end(), c) == controls_.end())
        controls_.push_back(c);
}

void TdxStyleManager::remove(TdxCustomStyleControl* c)
{
    controls_.erase(std::remove(controls_.begin(), controls_.end(), c), controls_.end());
}

TdxCustomStyleControl::TdxCustomStyleControl(QWidget* parent)
    : TdxCustomControl(parent), style_([this] { StyleChanged(); })
{
}

TdxCustomStyleControl::~TdxCustomStyleControl()
{
    if (manager_)
        manager_->remove(this);
}

void TdxCustomStyleControl::SetStyleManager(TdxStyleManager* manager)
{
    if (manager == manager_)
        return;
    if (manager_)
        manager_->remove(this);
    manager_ = manager;
    if (manager_)
        manager_->add(this);
    StyleChanged();
}

TdxTheme TdxCustomStyleControl::EffectiveTheme() const
{
    return manager_ && style_.UseStyleManager() ? manager_->Theme() : style_.Theme();
}

}  // namespace controls
