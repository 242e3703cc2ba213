// `TCoolGauge`: a horizontal progress bar whose filled part shows a colour ramp from
// `ForeColor1` towards `ForeColor2` (or `ForeColor1` alone), with the percentage centred on it
// through a small format ("%d" is the percentage, "%%" a percent sign, anything else is shown
// as written; the text never reaches a printf-style formatter). The bar is measured from 0 to
// `MaxValue`; `Progress` always lies within [`MinValue`, `MaxValue`] and a zero maximum draws
// an empty bar at 0 %.
//
// It owns the ramp picture, built once per size and colour set; a paint copies the ramp's
// filled part over the background, so a progress write only repaints when the bar's filled
// width or its shown percentage changes (the percentage alone may change on a wide step of a
// narrow bar, and a repaint only for a new width would leave the old number showing). UI thread only.
#pragma once
#include <string>

#include "controls/display/PanelBorder.h"
#include "platform/forms/Control.h"
#include "platform/gfx/Bitmap.h"

namespace controls {

enum tCoolGaugeStyle { sSolid, sDithered };

class TCoolGauge : public forms::TCustomControl, public TPanelBorder {
public:
    explicit TCoolGauge(QWidget* parent = nullptr);

    int MinValue() const { return minValue_; }
    void SetMinValue(int value);
    int MaxValue() const { return maxValue_; }
    void SetMaxValue(int value);
    int Progress() const { return progress_; }
    void SetProgress(int value);

    gfx::TColor BackColor() const { return backColor_; }
    void SetBackColor(gfx::TColor c);
    gfx::TColor ForeColor1() const { return foreColor1_; }
    void SetForeColor1(gfx::TColor c);
    gfx::TColor ForeColor2() const { return foreColor2_; }
    void SetForeColor2(gfx::TColor c);
    tCoolGaugeStyle Style() const { return style_; }
    void SetStyle(tCoolGaugeStyle s);
    TBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TBorderStyle s);
    // Kept for forms that set it; the platform's framed style has no look of its own here.
    bool Frame() const { return frame_; }
    void SetFrame(bool on);
    const std::string& Text() const { return text_; }
    void SetText(const std::string& format);

    // The bar's filled width in pixels for the current values and width.
    int FilledWidth() const;
    // The whole percentage shown (0 when `MaxValue` is 0).
    int Percent() const;
    // `Text` with the percentage put in.
    std::string ShownText() const;

protected:
    void Paint() override;

private:
    void buildRamp(int w, int h);
    void changeProgress(int value);

    int minValue_ = 0;
    int maxValue_ = 100;
    int progress_ = 0;
    gfx::TColor backColor_ = gfx::clWhite;
    gfx::TColor foreColor1_ = gfx::clBlue;
    gfx::TColor foreColor2_ = gfx::clRed;
    tCoolGaugeStyle style_ = sDithered;
    TBorderStyle borderStyle_ = bsSingle;
    bool frame_ = true;
    std::string text_ = "%d%%";
    gfx::TBitmap ramp_;
    bool rampStale_ = true;
};

// The gauge's format with the percentage put in: "%d" becomes the number, "%%" one "%";
// every other character, a lone "%" included, is kept as it is.
std::string FormatGaugeText(const std::string& format, int percent);

}  // namespace controls
