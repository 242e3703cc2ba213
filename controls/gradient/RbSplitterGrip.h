// The grip of a gradient splitter: two pictures of the splitter's size, one for rest and one
// for the mouse over it, each the control colour with a gradient band along the splitter
// (its whole length, or 80 pixels about the middle) and, when the grip shows, a row of 27
// raised dots along the middle line. `TRbSplitterGrip` owns the pictures and the colour set,
// and rebuilds both whenever a colour changes. The toolkit offers it for a splitter control;
// no window of the program places one. UI thread only.
#pragma once
#include "controls/gradient/RbDrawCore.h"

namespace controls {

struct TSplitterGripLook {
    int Width = 0, Height = 0;  // the splitter's size; it runs along the longer side
    TColor ControlColor = gfx::clBtnFace;
    TGradientType GradientType = gtVertical;
    bool WholeLength = true;  // else a band of 80 pixels centred on the middle
    bool ShowGrip = true;
};

// Paints the rest and over pictures of a splitter (both take the splitter's size).
void DrawSplitterGrip(TBitmap& normal, TBitmap& over, const TSplitterGripLook& look,
                      const TRbSplitterColors& colors);

class TRbSplitterGrip {
public:
    TRbSplitterGrip();
    TRbSplitterGrip(const TRbSplitterGrip&) = delete;
    TRbSplitterGrip& operator=(const TRbSplitterGrip&) = delete;

    TRbSplitterColors& Colors() { return colors_; }
    const TSplitterGripLook& Look() const { return look_; }
    void SetLook(const TSplitterGripLook& look);
    const TBitmap& Normal() const { return normal_; }
    const TBitmap& Over() const { return over_; }
    void Rebuild();

private:
    TRbSplitterColors colors_;
    TSplitterGripLook look_;
    TBitmap normal_, over_;
};

}  // namespace controls
