// `TTimerSpeedButton` and `TSpinButton`: a pair of small flat buttons side by side that step a
// value up and down and repeat while held: a press clicks once, the button clicks again after
// 400 ms and then every 100 ms as long as it stays pressed with the mouse held on it. The spin
// edit carries one at its right edge; the keyboard reaches it through Space and the arrow keys.
// UI thread only.
#pragma once
#include <memory>

#include "controls/flat/TFlatSpeedButtonUnit.h"
#include "platform/forms/Timer.h"

namespace controls {

// Flags of a timer button.
enum TTimeBtnStateFlag { tbFocusRect = 1, tbAllowTimer = 2 };

class TTimerSpeedButton : public TFlatSpeedButton {
public:
    static constexpr int InitRepeatPause = 400;
    static constexpr int RepeatPause = 100;

    using TFlatSpeedButton::TFlatSpeedButton;
    ~TTimerSpeedButton() override;

    // tbFocusRect and tbAllowTimer.
    int TimeBtnState() const { return timeBtnState_; }
    void SetTimeBtnState(int flags);
    // The repeat timer (none until the first press that may repeat), and one of its ticks.
    forms::TTimer* RepeatTimer() const { return repeatTimer_.get(); }
    void TimerExpired();

protected:
    void Paint() override;
    void MouseDown(forms::TMouseButton b, forms::TShiftState s, int x, int y) override;
    void MouseUp(forms::TMouseButton b, forms::TShiftState s, int x, int y) override;

private:
    std::unique_ptr<forms::TTimer> repeatTimer_;
    int timeBtnState_ = 0;
};

class TSpinButton : public forms::TCustomControl {
public:
    explicit TSpinButton(QWidget* parent = nullptr);

    TTimerSpeedButton& UpButton() { return *up_; }
    TTimerSpeedButton& DownButton() { return *down_; }
    // The button that Space clicks and that shows the focus.
    TTimerSpeedButton* FocusedButton() const { return focused_; }

    // Glyphs handed to the buttons; an empty one brings back the built-in arrow.
    const gfx::TBitmap& UpGlyph() const { return up_->Glyph(); }
    void SetUpGlyph(const gfx::TBitmap& glyph);
    const gfx::TBitmap& DownGlyph() const { return down_->Glyph(); }
    void SetDownGlyph(const gfx::TBitmap& glyph);
    int UpNumGlyphs() const { return up_->NumGlyphs(); }
    void SetUpNumGlyphs(int n) { up_->SetNumGlyphs(n); }
    int DownNumGlyphs() const { return down_->NumGlyphs(); }
    void SetDownNumGlyphs(int n) { down_->SetNumGlyphs(n); }
    // The control that takes the focus when a button is pressed (the spin edit).
    QWidget* FocusControl() const { return focusControl_; }
    void SetFocusControl(QWidget* control) { focusControl_ = control; }

    forms::TNotifyEvent OnUpClick, OnDownClick;

protected:
    void KeyDown(int& key, forms::TShiftState shift) override;
    void DoEnter() override;
    void DoExit() override;
    void Resized() override;

private:
    void buttonClick(TTimerSpeedButton* button);
    void buttonMouseDown(TTimerSpeedButton* button);
    void setFocusBtn(TTimerSpeedButton* button);
    void adjustButtons();
    void setGlyph(TTimerSpeedButton& button, const gfx::TBitmap& glyph, const char* builtin);
    TTimerSpeedButton* up_;
    TTimerSpeedButton* down_;
    TTimerSpeedButton* focused_;
    QWidget* focusControl_ = nullptr;
};

}  // namespace controls
