// `TFlatSpeedButton`: a flat button with a glyph and a caption. Its face stays flat until the
// mouse comes over it, which raises a two-colour frame; pressed, or latched down within a
// group (`GroupIndex`, `AllowAllUp`), it shows a sunken frame. The label font window's colour
// button is one, and the spin buttons are built from it.
//
// All flat speed buttons share one 100 ms timer that notices when the mouse has left the
// button it follows (as the flat check boxes do with theirs); a button that goes away is never
// followed afterwards. UI thread only.
#pragma once
#include <memory>
#include <string>

#include "controls/flat/FlatUtilitys.h"
#include "controls/std/SpeedButton.h"
#include "platform/forms/Control.h"
#include "platform/forms/ImageList.h"
#include "platform/gfx/Bitmap.h"

namespace controls {

class TFlatSpeedButton : public forms::TCustomControl {
public:
    explicit TFlatSpeedButton(QWidget* parent = nullptr);
    ~TFlatSpeedButton() override;

    TTransparentMode TransparentMode() const { return transparentMode_; }
    void SetTransparentMode(TTransparentMode mode);
    bool AllowAllUp() const { return allowAllUp_; }
    void SetAllowAllUp(bool on);
    int GroupIndex() const { return groupIndex_; }
    void SetGroupIndex(int index);
    bool Down() const { return down_; }
    // Always up without a group; a down button comes up only when the group may be all up.
    void SetDown(bool on);

    // Colours by index: 0 ColorFocused, 1 ColorDown, 2 ColorBorder, 3 ColorHighLight,
    // 4 ColorShadow.
    TColor Colors(int index) const;
    void SetColors(int index, TColor value);
    TColor ColorFocused() const { return colors_[0]; }
    TColor ColorDown() const { return colors_[1]; }
    TColor ColorBorder() const { return colors_[2]; }
    TColor ColorHighLight() const { return colors_[3]; }
    TColor ColorShadow() const { return colors_[4]; }
    // Luminance offsets by index: 0 AdvColorFocused, 1 AdvColorDown, 2 AdvColorBorder.
    TAdvColors AdvColors(int index) const;
    void SetAdvColors(int index, TAdvColors value);
    bool UseAdvColors() const { return useAdvColors_; }
    void SetUseAdvColors(bool on);

    // The glyph: NumGlyphs images side by side (up, disabled, down, latched down), drawn
    // transparent (the bottom-left pixel's colour). A glyph whose width is a whole multiple
    // (up to 4) of its height sets NumGlyphs.
    const gfx::TBitmap& Glyph() const { return *glyph_; }
    void SetGlyph(const gfx::TBitmap& bitmap);
    int NumGlyphs() const { return numGlyphs_; }
    void SetNumGlyphs(int n);
    TButtonLayout Layout() const { return layout_; }
    void SetLayout(TButtonLayout layout);
    // The glyph's distance from its edge; -1 centres glyph and caption. Below -1 is refused.
    int Margin() const { return margin_; }
    void SetMargin(int margin);
    int Spacing() const { return spacing_; }
    void SetSpacing(int spacing);
    // Given to the window that holds the button when it is clicked.
    int ModalResult() const { return modalResult_; }
    void SetModalResult(int result) { modalResult_ = result; }

    // The image an action links (image `index` of `images`) as the glyph, while the button
    // has no glyph of its own: the image is drawn over fuchsia, which then shows as
    // transparent. An index out of range links nothing.
    void SetActionImage(const forms::TImageList& images, int index);

    TButtonState State() const { return state_; }
    bool IsMouseIn() const { return mouseIn_; }
    bool IsDragging() const { return dragging_; }

    // Gives the window the button's ModalResult, then fires OnClick.
    void Click() override;
    bool DialogChar(char32_t ch) override;

    // The shared tracking: whether the timer exists, which button it follows, one tick.
    static bool SharedTimerExists();
    static TFlatSpeedButton* TrackedControl();
    static void TrackingTick();

protected:
    void Paint() override;
    void MouseDown(forms::TMouseButton b, forms::TShiftState s, int x, int y) override;
    void MouseMove(forms::TShiftState s, int x, int y) override;
    void MouseUp(forms::TMouseButton b, forms::TShiftState s, int x, int y) override;
    void MouseEnter() override;
    void MouseLeave() override;
    void DblClick() override;
    void EnabledChanged() override;
    void ParentColorChanged() override;
    void ColorChanged() override;
    // Whether (x, y) counts as over the button: the bottom row's next line still does.
    bool Inside(int x, int y) const;
    // The glyph image for the current state, and where the glyph and caption go.
    virtual void PaintGlyphAndCaption(const TRect& client);

private:
    void mouseLeft();
    void mouseEntered();
    bool pointerOver() const;
    void updateAdvColors();
    void tellGroup();
    void groupPressed(TFlatSpeedButton* sender);
    TTransparentMode transparentMode_ = tmNone;
    bool allowAllUp_ = false;
    int groupIndex_ = 0;
    bool down_ = false;
    TColor colors_[5] = {0xE1EAEB, 0xC5D6D9, 0x8396A0, 0xFFFFFF, 0x000000};
    TAdvColors adv_[3] = {10, 10, 50};
    bool useAdvColors_ = false;
    std::unique_ptr<gfx::TBitmap> glyph_;
    int numGlyphs_ = 1;
    TButtonLayout layout_ = blGlyphTop;
    int margin_ = -1;
    int spacing_ = 4;
    int modalResult_ = forms::mrNone;
    TButtonState state_ = bsUp;
    bool dragging_ = false;
    bool mouseIn_ = false;
};

}  // namespace controls
