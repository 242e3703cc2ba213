#include "controls/display/CoolGauge.h"

#include <algorithm>

#include "platform/rtl/Numerics.h"

namespace controls {

std::string FormatGaugeText(const std::string& format, int percent)
{
    std::string out;
    out.reserve(format.size() + 8);
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size()) {
            if (format[i + 1] == 'd') {
                out += std::to_string(percent);
                ++i;
                continue;
            }
            if (format[i + 1] == '%') {
                out += '%';
                ++i;
                continue;
            }
        }
        out += format[i];
    }
    return out;
}

TCoolGauge::TCoolGauge(QWidget* parent) : TCustomControl(parent)
{
    resize(100, 20);
}

int TCoolGauge::FilledWidth() const
{
    if (maxValue_ == 0)
        return 0;
    const double w = double(width()) / maxValue_ * progress_;
    return int(std::clamp<int64_t>(rtl::Round(w), 0, width()));
}

int TCoolGauge::Percent() const
{
    if (maxValue_ == 0)
        return 0;
    return int(rtl::Round(double(progress_) / maxValue_ * 100));
}

std::string TCoolGauge::ShownText() const
{
    return FormatGaugeText(text_, Percent());
}

void TCoolGauge::changeProgress(int value)
{
    const int oldWidth = FilledWidth();
    const int oldPercent = Percent();
    progress_ = value;
    // The percentage can move while the filled width stays (narrow bars, long ranges).
    if (FilledWidth() != oldWidth || (!text_.empty() && Percent() != oldPercent))
        Invalidate();
}

void TCoolGauge::SetProgress(int value)
{
    if (value == progress_ || value < minValue_ || value > maxValue_)
        return;
    changeProgress(value);
}

void TCoolGauge::SetMaxValue(int value)
{
    if (value == maxValue_)
        return;
    if (value > minValue_)
        maxValue_ = value;
    if (value < progress_)
        progress_ = std::clamp(value, minValue_, maxValue_);
    Invalidate();
}

void TCoolGauge::SetMinValue(int value)
{
    if (value == minValue_)
        return;
    if (value < maxValue_)
        minValue_ = value;
    if (value > progress_)
        progress_ = std::clamp(value, minValue_, maxValue_);
    Invalidate();
}

void TCoolGauge::SetBackColor(gfx::TColor c)
{
    if (c == backColor_)
        return;
    backColor_ = c;
    Invalidate();
}

void TCoolGauge::SetForeColor1(gfx::TColor c)
{
    if (c == foreColor1_)
        return;
    foreColor1_ = c;
    rampStale_ = true;
    Invalidate();
}

void TCoolGauge::SetForeColor2(gfx::TColor c)
{
    if (c == foreColor2_)
        return;
    foreColor2_ = c;
    rampStale_ = true;
    Invalidate();
}

void TCoolGauge::SetStyle(tCoolGaugeStyle s)
{
    if (s == style_)
        return;
    style_ = s;
    rampStale_ = true;
    Invalidate();
}

void TCoolGauge::SetBorderStyle(TBorderStyle s)
{
    if (s == borderStyle_)
        return;
    borderStyle_ = s;
    Invalidate();
}

void TCoolGauge::SetFrame(bool on)
{
    if (on == frame_)
        return;
    frame_ = on;
    Invalidate();
}

void TCoolGauge::SetText(const std::string& format)
{
    if (format == text_)
        return;
    text_ = format;
    Invalidate();
}

// 256 bands, each one unit per channel nearer the end colour than the band before, so the
// ramp only reaches ForeColor2 where no channel differs by more than 256 steps.
void TCoolGauge::buildRamp(int w, int h)
{
    ramp_.SetPixelFormat(gfx::pf32bit);
    ramp_.SetSize(w, h);
    gfx::TCanvas& c = ramp_.Canvas();
    c.Brush().SetStyle(gfx::bsSolid);
    if (style_ == sSolid) {
        c.Brush().SetColor(foreColor1_);
        c.FillRect(gfx::Rect(0, 0, w, h));
        rampStale_ = false;
        return;
    }
    const gfx::TColor from = gfx::ColorToRGB(foreColor1_), to = gfx::ColorToRGB(foreColor2_);
    int ch[3] = {gfx::GetRValue(from), gfx::GetGValue(from), gfx::GetBValue(from)};
    const int end[3] = {gfx::GetRValue(to), gfx::GetGValue(to), gfx::GetBValue(to)};
    for (int i = 0; i < 256; ++i) {
        for (int k = 0; k < 3; ++k)
            if (ch[k] != end[k])
                ch[k] += ch[k] < end[k] ? 1 : -1;
        c.Brush().SetColor(gfx::RGB(ch[0], ch[1], ch[2]));
        c.FillRect(gfx::Rect(w * i / 256, 0, w * (i + 1) / 256, h));
    }
    rampStale_ = false;
}

void TCoolGauge::Paint()
{
    const int w = width(), h = height();
    if (rampStale_ || ramp_.Width() != w || ramp_.Height() != h)
        buildRamp(w, h);
    gfx::TCanvas& c = Canvas();
    c.Brush().SetStyle(gfx::bsSolid);
    c.Brush().SetColor(backColor_);
    c.FillRect(gfx::Rect(0, 0, w, h));
    const int filled = FilledWidth();
    if (filled > 0)
        c.DrawImage(ramp_.PaintImage(), gfx::Rect(0, 0, filled, h), gfx::Rect(0, 0, filled, h));
    if (!text_.empty()) {
        const std::string shown = ShownText();
        const gfx::TSize size = c.TextExtent(shown);
        c.Brush().SetStyle(gfx::bsClear);
        c.TextOut((w - size.cx) / 2, (h - size.cy) / 2, shown);
    }
    if (borderStyle_ == bsSingle) {
        c.Brush().SetStyle(gfx::bsSolid);
        c.Brush().SetColor(Font().Color());
        c.FrameRect(gfx::Rect(0, 0, w, h));
    }
}

}  // namespace controls
