// `TGProgress`: a progress bar made of 10-pixel blocks inside a thin 3-D frame. The blocks'
// colours can run as a gradient from `Color` to `ColorEnd`. While the position grows the bar
// only adds blocks to what it painted last; any other change repaints it fully. Min, Max and
// Step refuse negative values with an error report. UI thread only.
#pragma once
#include <cstdint>

#include "platform/forms/Control.h"

namespace controls {

class TGProgress : public forms::TCustomControl {
public:
    static constexpr const char* RangeError = "Value must be between 0 and 2147483647";

    explicit TGProgress(QWidget* parent = nullptr);

    bool Transparent() const { return transparent_; }
    void SetTransparent(bool on);
    bool GradientBar() const { return gradientBar_; }
    void SetGradientBar(bool on) { setAndInvalidate(gradientBar_, on); }
    gfx::TColor FrameColor1() const { return frameColor1_; }
    void SetFrameColor1(gfx::TColor c) { setAndInvalidate(frameColor1_, c); }
    gfx::TColor FrameColor2() const { return frameColor2_; }
    void SetFrameColor2(gfx::TColor c) { setAndInvalidate(frameColor2_, c); }
    gfx::TColor BackgroundColor() const { return backgroundColor_; }
    void SetBackgroundColor(gfx::TColor c) { setAndInvalidate(backgroundColor_, c); }
    gfx::TColor ColorEnd() const { return colorEnd_; }
    void SetColorEnd(gfx::TColor c) { setAndInvalidate(colorEnd_, c); }
    bool Solid() const { return solid_; }
    void SetSolid(bool on) { setAndInvalidate(solid_, on); }
    int32_t Step() const { return step_; }
    void SetStep(int32_t value);
    int32_t Min() const { return min_; }
    void SetMin(int32_t value);
    int32_t Max() const { return max_; }
    void SetMax(int32_t value);
    int32_t Position() const { return position_; }
    void SetPosition(int32_t value);

    // Index of the last block the position fills (-1 and below: none).
    int LastBlock() const;
    // Colour of block i of the width's n = width div 10 blocks.
    gfx::TColor BlockColor(int i) const;
    // Paints now: only the blocks when the last change added some, otherwise everything.
    void Repaint();

protected:
    void Paint() override;
    void ColorChanged() override { invalidateAll(); }
    void EnabledChanged() override { invalidateAll(); }
    void Resized() override
    {
        invalidateAll();
        TCustomControl::Resized();
    }

private:
    template <class T> void setAndInvalidate(T& field, T value)
    {
        if (field == value)
            return;
        field = value;
        invalidateAll();
    }
    void invalidateAll();
    bool refuseNegative(int32_t value) const;
    void drawBlock(int i);
    void drawBlocks();

    bool transparent_ = false;
    bool gradientBar_ = true;
    gfx::TColor frameColor1_ = gfx::clBtnShadow;
    gfx::TColor frameColor2_ = gfx::clBtnHighlight;
    gfx::TColor backgroundColor_ = gfx::clBtnFace;
    gfx::TColor colorEnd_ = gfx::clBtnFace;
    bool solid_ = false;
    int32_t step_ = 10;
    int32_t min_ = 0;
    int32_t max_ = 100;
    int32_t position_ = 0;
    int32_t lastPainted_ = 0;
    bool incremental_ = false;
    // A full paint has been asked for and not yet done: blocks alone would not be enough.
    bool fullPending_ = true;
};

}  // namespace controls
