#include "controls/gradient/RbProgressBar.h"

#include <cmath>

#include "controls/common/ControlTypes.h"
#include "platform/rtl/Numerics.h"

namespace controls {

TRbProgressBar::TRbProgressBar(QWidget* parent) : TRbCustomControl(parent)
{
    SetTextShadow(false);
    resize(150, 16);
    UpdateGradients();
}

void TRbProgressBar::SetPosition(int32_t value)
{
    // Clamped in one pass: a range left inverted while loading must not bounce between ends.
    if (value < min_)
        value = min_;
    else if (value > max_)
        value = max_;
    position_ = value;
    recomputePercent();
    Invalidate();
}

void TRbProgressBar::recomputePercent()
{
    if (max_ == min_) {
        percent_ = 0;
        return;
    }
    const double ratio = std::fabs((double(position_) - min_) / (double(max_) - min_));
    percent_ = int(std::min<int64_t>(rtl::Round(ratio * 100), 100));
}

void TRbProgressBar::SetMax(int32_t value)
{
    if (!Loading() && (value == max_ || value <= min_))
        return;
    max_ = value;
    if (value < position_)
        SetPosition(value);
    SetPosition(position_);
    Invalidate();
}

void TRbProgressBar::SetMin(int32_t value)
{
    if (!Loading() && (value == min_ || value >= max_))
        return;
    min_ = value;
    if (position_ < value)
        SetPosition(value);
    SetPosition(position_);
    Invalidate();
}

void TRbProgressBar::SetDefaultFrom(TColor c)
{
    if (c == defaultFrom_) return;
    defaultFrom_ = c;
    UpdateGradients();
}

void TRbProgressBar::SetDefaultTo(TColor c)
{
    if (c == defaultTo_) return;
    defaultTo_ = c;
    UpdateGradients();
}

void TRbProgressBar::SetGradientType(TGradientType t)
{
    if (t == gradientType_) return;
    gradientType_ = t;
    UpdateGradients();
}

void TRbProgressBar::SetBorderLines(TBorderLines lines)
{
    if (lines == borderLines_) return;
    borderLines_ = lines;
    Invalidate();
}

void TRbProgressBar::SetBorderColor(TColor c)
{
    if (c == borderColor_) return;
    borderColor_ = c;
    Invalidate();
}

void TRbProgressBar::SetBorderWidth(int value)
{
    if (value == borderWidth_ || value < 0 || value >= Height() / 2)
        return;
    borderWidth_ = value;
    Invalidate();
}

void TRbProgressBar::SetOrientation(TProgressBarOrientation o)
{
    if (o == orientation_) return;
    orientation_ = o;
    Invalidate();
}

void TRbProgressBar::SetShowText(bool on)
{
    if (on == showText_) return;
    showText_ = on;
    Invalidate();
}

void TRbProgressBar::UpdateGradients()
{
    gradient_.SetSize(Width(), Height());
    gradient_.SetPixelFormat(gfx::pf24bit);
    DrawGradient(gradient_, gfx::Rect(0, 0, Width(), Height()), defaultFrom_, nullptr,
                 gradientType_, defaultTo_);
    Invalidate();
}

void TRbProgressBar::Resized()
{
    UpdateGradients();
    TRbCustomControl::Resized();
}

std::string TRbProgressBar::DisplayText() const
{
    const std::string percentText = showText_ ? std::to_string(percent_) + "%" : std::string();
    if (!Caption().empty() && ShowCaption())
        return showText_ ? Caption() + " " + percentText : Caption();
    return percentText;
}

void TRbProgressBar::Paint()
{
    gfx::TCanvas& c = Canvas();
    const int w = Width(), h = Height();
    c.Brush().SetStyle(gfx::bsSolid);
    c.Brush().SetColor(Color());
    c.FillRect(gfx::Rect(0, 0, w, h));

    TRect r = gfx::Rect(0, 0, w, h);
    if (orientation_ == pbHorizontal)
        r.Right = w * percent_ / 100;
    else
        r.Top = h * (100 - percent_) / 100;
    const int shrink = borderWidth_ + (borderLines_ != 0 ? 1 : 0);
    r = gfx::InflateRect(r, -shrink, -shrink);
    if (percent_ > 0 && !r.IsEmpty())
        c.DrawImage(gradient_.PaintImage(), r, r);

    if (showText_ || ShowCaption()) {
        const std::string text = DisplayText();
        if (!text.empty()) {
            c.Brush().SetStyle(gfx::bsClear);
            DrawCaptionText(c, text, Font(), gfx::clWhite, TextShadow(),
                            gfx::DT_CENTER | gfx::DT_VCENTER | gfx::DT_SINGLELINE,
                            gfx::Rect(0, 0, w, h), true);
        }
    }

    c.Pen().SetColor(borderColor_);
    c.Pen().SetWidth(1);
    c.Pen().SetStyle(gfx::psSolid);
    if (borderLines_ & blTop) { c.MoveTo(0, 0); c.LineTo(w, 0); }
    if (borderLines_ & blBottom) { c.MoveTo(0, h - 1); c.LineTo(w, h - 1); }
    if (borderLines_ & blLeft) { c.MoveTo(0, 0); c.LineTo(0, h); }
    if (borderLines_ & blRight) { c.MoveTo(w - 1, 0); c.LineTo(w - 1, h); }
    // A bar is a Tab stop like every control of its family, so it shows when it has the focus.
    if (hasFocus())
        DrawFocusMark(c, gfx::Rect(0, 0, w, h));
}

}  // namespace controls
