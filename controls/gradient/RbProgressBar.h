// `TRbProgressBar`: a progress bar whose filled part is a window onto one precomputed
// full-size gradient, with the percentage (and caption) printed centred over it. The level
// bars, position gauges and progress displays of the windows are of this kind; the engine and
// the windows write Position, Max and DefaultFrom. UI thread only.
#pragma once
#include <cstdint>
#include <string>

#include "controls/gradient/RbDrawCore.h"

namespace controls {

enum TBorderLine { blTop = 1, blBottom = 2, blLeft = 4, blRight = 8 };
using TBorderLines = int;  // a set of TBorderLine bits
constexpr TBorderLines AllBorderLines = blTop | blBottom | blLeft | blRight;
enum TProgressBarOrientation { pbHorizontal, pbVertical };

class TRbProgressBar : public TRbCustomControl {
public:
    explicit TRbProgressBar(QWidget* parent = nullptr);

    // Position is kept within [Min, Max]; the percentage follows it.
    int32_t Position() const { return position_; }
    void SetPosition(int32_t value);
    int32_t Min() const { return min_; }
    void SetMin(int32_t value);
    int32_t Max() const { return max_; }
    void SetMax(int32_t value);
    int32_t Step() const { return step_; }
    void SetStep(int32_t value) { step_ = value; }
    int Percent() const { return percent_; }

    TColor DefaultFrom() const { return defaultFrom_; }
    void SetDefaultFrom(TColor c);
    TColor DefaultTo() const { return defaultTo_; }
    void SetDefaultTo(TColor c);
    TGradientType GradientType() const { return gradientType_; }
    void SetGradientType(TGradientType t);
    TBorderLines BorderLines() const { return borderLines_; }
    void SetBorderLines(TBorderLines lines);
    TColor BorderColor() const { return borderColor_; }
    void SetBorderColor(TColor c);
    int BorderWidth() const { return borderWidth_; }
    // Refused when negative or not below half the height.
    void SetBorderWidth(int value);
    TProgressBarOrientation Orientation() const { return orientation_; }
    void SetOrientation(TProgressBarOrientation o);
    bool ShowText() const { return showText_; }
    void SetShowText(bool on);

    // The text printed over the bar ("" when none).
    std::string DisplayText() const;
    void UpdateGradients() override;

protected:
    void Paint() override;
    void Resized() override;

private:
    void recomputePercent();
    TColor defaultFrom_ = 0xB6977E, defaultTo_ = 0xE0D2C9;
    int32_t max_ = 100, min_ = 0, position_ = 0, step_ = 1;
    TBorderLines borderLines_ = AllBorderLines;
    TColor borderColor_ = 0x808080;
    int borderWidth_ = 1;
    TGradientType gradientType_ = gtVertical;
    TProgressBarOrientation orientation_ = pbHorizontal;
    bool showText_ = true;
    int percent_ = 0;
    TBitmap gradient_;
};

}  // namespace controls
