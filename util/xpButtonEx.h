// `TxpButtonEx`, the program's own push button: drawn entirely by itself in a rounded,
// light-gradient style with a blue frame, an orange ring while the mouse is over it and a
// one-pixel shift of the caption while it is held down. The message box is built from it.
// `GradientFillRect` is the banded two-colour fill of the button's face, usable on its own.
//
// Unlike the toolkit's buttons, this one does not capture the mouse: a press that is
// released outside does not click, and the button stays drawn pressed until a release over
// it. Enter and Space click on release. UI thread only.
#pragma once
#include <cstdint>
#include <string>

#include "platform/forms/Control.h"

namespace gfx {
class TCanvas;
struct TRect;
}

// Fills Rect with Steps bands running from StartColor to EndColor: Style 0 top to bottom,
// 1 bottom to top, 2 left to right, 3 right to left. Fewer than 2 steps fill plainly with
// StartColor; rows (columns) that do not fill a whole band take the gradient's end colour.
void GradientFillRect(gfx::TCanvas& Canvas, const gfx::TRect& Rect, gfx::TColor StartColor,
                      gfx::TColor EndColor, int Style, uint8_t Steps);

class TxpButtonEx : public forms::TCustomControl {
public:
    explicit TxpButtonEx(QWidget* parent = nullptr);

    bool Cancel = false;
    bool Default = false;
    int32_t ModalResult = 0;

    // The upper-cased character after the caption's first "&" (0: none).
    char32_t Accelerator() const { return accelerator_; }
    bool Pressed() const { return pressed_; }
    bool Hover() const { return hover_; }

    bool DialogKey(int key, forms::TShiftState shift) override;
    bool DialogChar(char32_t ch) override;

protected:
    void Paint() override;
    void MouseDown(forms::TMouseButton button, forms::TShiftState shift, int x, int y) override;
    void MouseUp(forms::TMouseButton button, forms::TShiftState shift, int x, int y) override;
    void DblClick() override;
    void MouseEnter() override;
    void MouseLeave() override;
    void KeyDown(int& key, forms::TShiftState shift) override;
    void KeyUp(int& key, forms::TShiftState shift) override;
    void TextChanged() override;

private:
    void FireClick();
    void paintEnabled(gfx::TCanvas& c, int w, int h);
    void paintDisabled(gfx::TCanvas& c, int w, int h);
    void paintCaption(gfx::TCanvas& c, int w, int h, int offset);
    bool hover_ = false;
    bool pressed_ = false;
    char32_t accelerator_ = 0;
};
