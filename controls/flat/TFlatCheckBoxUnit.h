// `TFlatCheckBox`: a check box with a flat 11 x 11 box whose fill changes while the mouse is
// over it, while it has the focus and while it is pressed. The main window's playing options
// and the CD, print-position, MP3 and recorder windows use it.
//
// All boxes share one 100 ms timer that notices when the mouse has left the tracked box; the
// timer lives while at least one box exists, and a box that goes away is never referenced by
// the others afterwards. A click toggles only when the button is released over the box it
// was pressed on. UI thread only.
#pragma once
#include <string>

#include "controls/flat/FlatUtilitys.h"
#include "platform/forms/Control.h"

namespace controls {

class TFlatCheckBox : public forms::TCustomControl {
public:
    explicit TFlatCheckBox(QWidget* parent = nullptr);
    ~TFlatCheckBox() override;

    bool Checked() const { return checked_; }
    // On a change: stores, fires OnClick, redraws.
    void SetChecked(bool value);
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool on);
    TCheckBoxLayout Layout() const { return layout_; }
    void SetLayout(TCheckBoxLayout l);

    // Colours by index: 0 ColorFocused, 1 ColorDown, 2 ColorCheck, 3 ColorBorder.
    TColor Colors(int index) const;
    void SetColors(int index, TColor value);
    TColor ColorFocused() const { return Colors(0); }
    TColor ColorDown() const { return Colors(1); }
    TColor ColorCheck() const { return Colors(2); }
    TColor ColorBorder() const { return Colors(3); }
    // Luminance offsets by index: 0 AdvColorFocused, 1 AdvColorDown, 2 AdvColorBorder.
    TAdvColors AdvColors(int index) const;
    void SetAdvColors(int index, TAdvColors value);
    bool UseAdvColors() const { return useAdvColors_; }
    void SetUseAdvColors(bool on);

    bool IsMouseIn() const { return mouseIn_; }
    bool IsPressed() const { return pressed_; }
    // The box's rectangle for the current layout.
    TRect BoxRect() const;

    // The shared tracking: whether the timer exists, which box it follows, and one tick of it.
    static bool SharedTimerExists();
    static TFlatCheckBox* TrackedControl();
    static void TrackingTick();

    bool DialogChar(char32_t ch) override;

protected:
    void Paint() override;
    void MouseMove(forms::TShiftState s, int x, int y) override;
    void MouseLeave() override;
    void MouseDown(forms::TMouseButton b, forms::TShiftState s, int x, int y) override;
    void MouseUp(forms::TMouseButton b, forms::TShiftState s, int x, int y) override;
    void KeyPress(char32_t& key) override;
    void DoEnter() override;
    void DoExit() override;
    void EnabledChanged() override;
    void ParentColorChanged() override;
    void changeEvent(QEvent* e) override;
    void moveEvent(QMoveEvent* e) override;

private:
    void mouseLeft();
    void updateAdvColors();
    void toggle() { SetChecked(!checked_); }
    bool checked_ = false, transparent_ = false, useAdvColors_ = false;
    TColor colorFocused_ = 0xFFFFFF, colorDown_ = 0xC5D6D9, colorCheck_ = 0x000000,
           colorBorder_ = 0x8396A0;
    TAdvColors advFocused_ = 10, advDown_ = 10, advBorder_ = 50;
    TCheckBoxLayout layout_ = checkboxLeft;
    bool mouseIn_ = false, pressed_ = false;
};

}  // namespace controls
