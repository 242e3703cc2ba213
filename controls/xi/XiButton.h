// `TXiButton`: a push button painted entirely from a set of 25 colours (face, gradient end,
// light and dark bevel, border and text colour for the normal, over, down and disabled looks,
// plus the focus rectangle), which twelve built-in colour schemes fill at once. The main
// window's tool buttons and the label designer's picture buttons are of this kind and switch
// their scheme at run time. UI thread only.
#pragma once
#include <array>

#include "controls/common/ControlTypes.h"
#include "platform/forms/Control.h"
#include "platform/gfx/Bitmap.h"

namespace controls {

namespace xibutton {
enum TColorScheme {
    csNeoDesert, csNeoSky, csNeoGrass, csNeoSilver, csNeoRose, csNeoSun, csDesert, csGrass,
    csSky, csSun, csRose, csSilver, csCustom
};
// Colour indexes of the button, in the order of its colour properties.
enum TXiColorIndex {
    ciColorFace, ciColorGrad, ciColorDark, ciColorLight, ciColorBorder, ciColorText,
    ciOverColorFace, ciOverColorGrad, ciOverColorDark, ciOverColorLight, ciOverColorBorder,
    ciOverColorText, ciDownColorFace, ciDownColorGrad, ciDownColorDark, ciDownColorLight,
    ciDownColorBorder, ciDownColorText, ciDisabledColorFace, ciDisabledColorGrad,
    ciDisabledColorDark, ciDisabledColorLight, ciDisabledColorBorder, ciDisabledColorText,
    ciColorFocusRect, ciColorCount
};
// The colour a built-in scheme gives an index; -1 where the scheme leaves it alone (the
// gradient ends of the plain schemes). Not for csCustom.
gfx::TColor SchemeColor(TColorScheme scheme, int index);
}  // namespace xibutton

class TXiButton : public forms::TCustomControl {
public:
    using TColorScheme = xibutton::TColorScheme;
    enum TLook { lookNormal, lookOver, lookDown };

    explicit TXiButton(QWidget* parent = nullptr);

    using forms::TParentLook::Color;
    // Stores a colour and turns the scheme into csCustom.
    TColor Color(int index) const { return colors_.at(size_t(index)); }
    void SetColor(int index, TColor value);
#define XI_COLOR(Name)                                                   \
    TColor Name() const { return Color(xibutton::ci##Name); }           \
    void Set##Name(TColor c) { SetColor(xibutton::ci##Name, c); }
    XI_COLOR(ColorFace) XI_COLOR(ColorGrad) XI_COLOR(ColorDark) XI_COLOR(ColorLight)
    XI_COLOR(ColorBorder) XI_COLOR(ColorText) XI_COLOR(OverColorFace) XI_COLOR(OverColorGrad)
    XI_COLOR(OverColorDark) XI_COLOR(OverColorLight) XI_COLOR(OverColorBorder)
    XI_COLOR(OverColorText) XI_COLOR(DownColorFace) XI_COLOR(DownColorGrad)
    XI_COLOR(DownColorDark) XI_COLOR(DownColorLight) XI_COLOR(DownColorBorder)
    XI_COLOR(DownColorText) XI_COLOR(DisabledColorFace) XI_COLOR(DisabledColorGrad)
    XI_COLOR(DisabledColorDark) XI_COLOR(DisabledColorLight) XI_COLOR(DisabledColorBorder)
    XI_COLOR(DisabledColorText) XI_COLOR(ColorFocusRect)
#undef XI_COLOR

    TColorScheme ColorScheme() const { return scheme_; }
    // A built-in scheme writes its colours (all 25 and Gradient on for the Neo schemes, all
    // but the four gradient ends and Gradient off for the plain ones); csCustom writes none.
    void SetColorScheme(TColorScheme scheme);

    bool RoundCorner() const { return roundCorner_; }
    void SetRoundCorner(bool on);
    bool Ctl3D() const { return ctl3D_; }
    void SetCtl3D(bool on);
    TButtonLayout Layout() const { return layout_; }
    void SetLayout(TButtonLayout l);
    gfx::TBitmap& Glyph() { return glyph_; }
    void SetGlyph(const gfx::TBitmap& glyph);
    int Spacing() const { return spacing_; }
    void SetSpacing(int s);
    bool TransparentGlyph() const { return transparentGlyph_; }
    void SetTransparentGlyph(bool on);
    bool Gradient() const { return gradient_; }
    void SetGradient(bool on);
    bool HotTrack() const { return hotTrack_; }
    void SetHotTrack(bool on) { hotTrack_ = on; }
    bool Cancel() const { return cancel_; }
    void SetCancel(bool on) { cancel_ = on; }
    bool Default() const { return default_; }
    void SetDefault(bool on);
    int ModalResult() const { return modalResult_; }
    void SetModalResult(int r) { modalResult_ = r; }
    TLook Look() const { return look_; }

    // Sets the window's modal result, returns to the normal look and fires OnClick.
    void Click() override;
    bool DialogKey(int key, forms::TShiftState shift) override;
    bool DialogChar(char32_t ch) override;

protected:
    void Paint() override;
    void MouseEnter() override;
    void MouseLeave() override;
    void MouseDown(forms::TMouseButton b, forms::TShiftState s, int x, int y) override;
    void MouseUp(forms::TMouseButton b, forms::TShiftState s, int x, int y) override;
    void KeyDown(int& key, forms::TShiftState shift) override;
    void KeyUp(int& key, forms::TShiftState shift) override;
    void DoExit() override;
    void FontChanged() override { Invalidate(); }

private:
    void setLook(TLook look);
    bool canTakeFocus() const;
    std::array<TColor, xibutton::ciColorCount> colors_{};
    TColorScheme scheme_ = xibutton::csNeoDesert;
    bool roundCorner_ = false, ctl3D_ = true, transparentGlyph_ = true, gradient_ = false;
    bool hotTrack_ = true, cancel_ = false, default_ = false;
    TButtonLayout layout_ = blGlyphLeft;
    gfx::TBitmap glyph_;
    int spacing_ = 4;
    int modalResult_ = 0;
    TLook look_ = lookNormal;
    bool mousePressed_ = false;
};

}  // namespace controls
