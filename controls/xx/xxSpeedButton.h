// `TxxSpeedButton`: the program's speed button, with flat looks of its own (`FlatStyle`) and a
// hover state: while the mouse is over an enabled button it may be highlighted with
// `OnUpColor` and show its caption in `OnFont` (`OnAction`). Entering and leaving report the
// shift state and the cursor's position (`OnMouseEnter`, `OnMouseLeave`); a 200 ms watch
// ends the hover state should the leave itself be missed. The font dialog's style toggles
// are of this kind. UI thread only.
#pragma once
#include <QTimer>

#include "controls/std/SpeedButton.h"
#include "controls/xx/xxEvents.h"

namespace controls {

enum TFlatStyle { fsOffice97, fsNetscape4, fsFlatUp, fsFlatAll, fsFrame };

class TxxSpeedButton : public TSpeedButton {
public:
    static constexpr int WatchInterval = 200;

    explicit TxxSpeedButton(QWidget* parent = nullptr);

    TFlatStyle FlatStyle() const { return flatStyle_; }
    void SetFlatStyle(TFlatStyle s) { flatStyle_ = s; }
    bool OnAction() const { return onAction_; }
    void SetOnAction(bool on);
    const gfx::TFont& OnFont() const { return onFont_; }
    void SetOnFont(const gfx::TFont& font);
    gfx::TColor OnUpColor() const { return onUpColor_; }
    void SetOnUpColor(gfx::TColor c);
    gfx::TColor OnDownColor() const { return onDownColor_; }
    void SetOnDownColor(gfx::TColor c);
    gfx::TColor BackColor() const { return backColor_; }
    void SetBackColor(gfx::TColor c);
    gfx::TColor FrameColor() const { return frameColor_; }
    void SetFrameColor(gfx::TColor c);
    bool MouseInside() const { return mouseInside_; }
    bool WatchActive() const { return watch_.isActive(); }

    // These take the mouse-move shape: (Sender, Shift, X, Y).
    forms::TMouseMoveEvent OnMouseEnter, OnMouseLeave;

protected:
    void Paint() override;
    gfx::TColor FaceColor() const override;
    void MouseEnter() override;
    void MouseLeave() override;

private:
    void setColor(gfx::TColor& field, gfx::TColor value);
    void watchTick();
    TFlatStyle flatStyle_ = fsOffice97;
    bool onAction_ = false;
    gfx::TFont onFont_;
    gfx::TColor onUpColor_ = gfx::clBtnFace;
    gfx::TColor onDownColor_ = gfx::clWindow;
    gfx::TColor backColor_ = gfx::clBtnFace;
    gfx::TColor frameColor_ = gfx::clBlack;
    bool mouseInside_ = false;
    QTimer watch_;
};

}  // namespace controls
