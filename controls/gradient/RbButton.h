// `TRbButton`: the gradient push button of the dialog windows. Its face is a gradient; an
// "over" gradient fades in while the mouse is over it and a "clicked" gradient while it is
// pressed. It answers Return when focused or Default and Escape when Cancel, sets its window's
// modal result when clicked, and can act as a toggle within a group of buttons of the same
// parent. The caption starts empty, not as the component's name: controls have no names at
// run time here, and every window sets its captions itself. UI thread only.
#pragma once
#include <cstdint>

#include "controls/gradient/RbDrawCore.h"

namespace controls {

class TRbButton : public TRbCustomControl {
public:
    explicit TRbButton(QWidget* parent = nullptr);

    int ModalResult() const { return modalResult_; }
    void SetModalResult(int r) { modalResult_ = r; }
    TBitmap& Glyph() { return glyph_; }
    void SetGlyph(const TBitmap& glyph);
    int Spacing() const { return spacing_; }
    void SetSpacing(int s);
    TButtonLayout Layout() const { return layout_; }
    void SetLayout(TButtonLayout l);
    TRbControlColors& Colors() { return colors_; }
    bool ShowFocusRect() const { return showFocusRect_; }
    void SetShowFocusRect(bool on);
    bool HotTrack() const { return hotTrack_; }
    void SetHotTrack(bool on);
    bool Default() const { return default_; }
    void SetDefault(bool on);
    bool Cancel() const { return cancel_; }
    void SetCancel(bool on) { cancel_ = on; }
    bool GradientBorder() const { return gradientBorder_; }
    void SetGradientBorder(bool on);
    int GroupIndex() const { return groupIndex_; }
    void SetGroupIndex(int g) { groupIndex_ = g; }
    bool AllowAllUp() const { return allowAllUp_; }
    void SetAllowAllUp(bool on) { allowAllUp_ = on; }
    bool Down() const { return down_; }
    void SetDown(bool value);
    TGradientType GradientType() const { return gradientType_; }
    void SetGradientType(TGradientType t);

    void UpdateGradients() override;
    // Sets the window's modal result, toggles within the group and fires OnClick.
    void Click() override;

    bool DialogKey(int key, forms::TShiftState shift) override;
    void FocusChanged(QWidget* focused) override;

protected:
    void Paint() override;
    void Resized() override;
    void MouseEnter() override;
    void MouseLeave() override;
    void LeftMouseDown() override;
    void LeftMouseUp() override;
    void KeyDown(int& key, forms::TShiftState shift) override;

private:
    bool canTakeFocus() const;
    TRect captionRect() const;
    int modalResult_ = 0;
    TBitmap glyph_;
    int spacing_ = 2;
    TButtonLayout layout_ = blGlyphLeft;
    TRbControlColors colors_{this};
    bool showFocusRect_ = true, hotTrack_ = false, default_ = false, cancel_ = false;
    bool gradientBorder_ = true, allowAllUp_ = false, down_ = false;
    int groupIndex_ = 0;
    TGradientType gradientType_ = gtVertical;
    TBitmap defaultBmp_, overBmp_, clickedBmp_;
};

}  // namespace controls
