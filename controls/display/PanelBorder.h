// The border a panel-like display control may carry (the marquee, the bitmap panel, the
// gauge): none, or a one-pixel frame just inside the control's edge. Plain values.
#pragma once

namespace controls {

// Inherited by the controls so that the names read as their own (TLightStr::bsSingle).
struct TPanelBorder {
    enum TBorderStyle { bsNone, bsSingle };
    // The width of the frame on each side.
    static int BorderWidth(TBorderStyle s) { return s == bsSingle ? 1 : 0; }
};

}  // namespace controls
