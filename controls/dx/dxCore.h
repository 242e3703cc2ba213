// The themed-control framework: `TdxCustomControl` turns the control messages into thirteen
// overridable hooks, keeps the mouse, button and focus state they track, and repaints after
// the hooks its two repaint-option bytes name (batched by BeginUpdate/EndUpdate). On top of
// it, `TdxCustomStyleControl` carries a `TdxStyle` and may follow a `TdxStyleManager`, which
// repaints every control that names it when its theme changes. UI thread only.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <QObject>

#include "platform/forms/Control.h"

namespace controls {

// The framework's version text (read-only, never stored).
const std::string& dxVersion();

class TdxCustomComponent : public QObject {
public:
    explicit TdxCustomComponent(QObject* owner = nullptr) : QObject(owner) {}
    const std::string& Version() const { return dxVersion(); }
};

// The hooks, in their order of declaration; hook h is bit (h mod 8) of repaint-option byte
// h / 8.
enum TdxHook {
    dxhBorderChanged, dxhEnabledChanged, dxhFocusChanged, dxhLMouseDown, dxhMouseEnter,
    dxhMouseLeave, dxhMouseMove, dxhLMouseUp, dxhParentColorChanged, dxhParentFontChanged,
    dxhPositionChanged, dxhSizeChanged, dxhTextChanged, dxhCount
};

// Bits of the state byte.
constexpr uint8_t dxsMouseIn = 1 << 1, dxsLButtonDown = 1 << 2, dxsFocused = 1 << 3;

class TdxCustomControl : public forms::TCustomControl {
public:
    explicit TdxCustomControl(QWidget* parent = nullptr);

    const std::string& Version() const { return dxVersion(); }

    // While updating no hook repaints; EndUpdate repaints once.
    void BeginUpdate() { updating_ = true; }
    void EndUpdate();
    bool IsUpdating() const { return updating_; }

    uint8_t State() const { return state_; }
    bool MouseIn() const { return state_ & dxsMouseIn; }
    bool LButtonDown() const { return state_ & dxsLButtonDown; }
    bool FocusedBit() const { return state_ & dxsFocused; }
    // Whether the window's active control is one of these controls (as of the last focus move).
    bool ActiveIsDxControl() const { return activeIsDx_; }

    uint8_t RepaintOptions(int byte) const { return repaintOptions_.at(size_t(byte)); }
    void SetRepaintOptions(uint8_t first, uint8_t second) { repaintOptions_ = {first, second}; }

    // Form notice: the keyboard focus moved inside the window.
    void FocusChanged(QWidget* focused) override;

protected:
    // Each hook runs after the standard handling of its message, then repaints when its bit
    // is set in the repaint options.
    virtual void DoBorderChanged() { repaintAfter(dxhBorderChanged); }
    virtual void DoEnabledChanged() { repaintAfter(dxhEnabledChanged); }
    virtual void DoFocusChanged(QWidget* focused);
    virtual void DoLMouseDown(forms::TShiftState shift, int x, int y);
    virtual void DoMouseEnter();
    virtual void DoMouseLeave();
    virtual void DoMouseMove(forms::TShiftState, int, int) { repaintAfter(dxhMouseMove); }
    virtual void DoLMouseUp(forms::TShiftState shift, int x, int y);
    virtual void DoParentColorChanged() { repaintAfter(dxhParentColorChanged); }
    virtual void DoParentFontChanged() { repaintAfter(dxhParentFontChanged); }
    virtual void DoPositionChanged() { repaintAfter(dxhPositionChanged); }
    virtual void DoSizeChanged() { repaintAfter(dxhSizeChanged); }
    virtual void DoTextChanged() { repaintAfter(dxhTextChanged); }

    void repaintAfter(TdxHook hook);
    // An invalidate unless updating.
    void invalidateUnlessUpdating();
    void setStateBit(uint8_t bit, bool on);

    // The standard handling, each followed by its hook.
    void EnabledChanged() override;
    void MouseDown(forms::TMouseButton b, forms::TShiftState s, int x, int y) override;
    void MouseUp(forms::TMouseButton b, forms::TShiftState s, int x, int y) override;
    void MouseMove(forms::TShiftState s, int x, int y) override;
    void MouseEnter() override;
    void MouseLeave() override;
    void DoEnter() override;
    void DoExit() override;
    void ParentColorChanged() override;
    void FontChanged() override;
    void TextChanged() override;
    void Resized() override;
    void DblClick() override {}  // double clicks count as two single clicks
    void changeEvent(QEvent* e) override;
    void moveEvent(QMoveEvent* e) override;

private:
    bool updating_ = false;
    uint8_t state_ = 0;
    bool activeIsDx_ = false;
    std::array<uint8_t, 2> repaintOptions_{0x7D, 0x03};
};

enum TdxTheme { WindowsXP, OfficeXP };

class TdxCustomStyleControl;

// The look a control asks for; owned by its control, which hears of every change.
class TdxStyle {
public:
    explicit TdxStyle(std::function<void()> changed) : changed_(std::move(changed)) {}
    TdxTheme Theme() const { return theme_; }
    void SetTheme(TdxTheme t);
    bool UseStyleManager() const { return useStyleManager_; }
    void SetUseStyleManager(bool on);

private:
    template <class T> void store(T& field, T value)
    {
        if (field == value)
            return;
        field = value;
        if (changed_)
            changed_();
    }
    std::function<void()> changed_;
    TdxTheme theme_ = WindowsXP;
    bool useStyleManager_ = true;
};

class TdxStyleManager : public TdxCustomComponent {
public:
    explicit TdxStyleManager(QObject* owner = nullptr) : TdxCustomComponent(owner) {}
    // Tells every listed control that the manager is gone and repaints it.
    ~TdxStyleManager() override;

    TdxTheme Theme() const { return theme_; }
    // A change fires OnThemeChanged and repaints every listed control.
    void SetTheme(TdxTheme t);
    const std::vector<TdxCustomStyleControl*>& Controls() const { return controls_; }
    std::function<void(QObject* sender)> OnThemeChanged;

private:
    friend class TdxCustomStyleControl;
    void add(TdxCustomStyleControl* c);
    void remove(TdxCustomStyleControl* c);
    TdxTheme theme_ = WindowsXP;
    std::vector<TdxCustomStyleControl*> controls_;
};

class TdxCustomStyleControl : public TdxCustomControl {
public:
    explicit TdxCustomStyleControl(QWidget* parent = nullptr);
    ~TdxCustomStyleControl() override;

    TdxStyle& Style() { return style_; }
    TdxStyleManager* StyleManager() const { return manager_; }
    // Registers with the new manager (leaving the old one) and repaints.
    void SetStyleManager(TdxStyleManager* manager);
    // The theme in force: the manager's when the style follows one, else the style's own.
    TdxTheme EffectiveTheme() const;

protected:
    virtual void StyleChanged() { invalidateUnlessUpdating(); }

private:
    friend class TdxStyleManager;
    TdxStyle style_;
    TdxStyleManager* manager_ = nullptr;
};

}  // namespace controls
