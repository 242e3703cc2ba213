#include "controls/xi/XiTrackBar.h"

#include <algorithm>
#include <cmath>

#include "platform/rtl/Numerics.h"

namespace controls {

namespace xitrackbar {

namespace {
struct SchemeRow {
    int index;
    int32_t colors[6];  // csDesert, csGrass, csSilver, csSky, csRose, csSun
};
constexpr SchemeRow Schemes[] = {
    {ciTickColor, {0x006A9D, 0x1D9A4B, 0x888888, 0xC88D2D, 0x5B5BFF, 0x00A4A4}},
    {ciSlideBorderColor, {0x0082BF, 0x20A452, 0x727272, 0xF47A00, 0x4242FF, 0x0077AA}},
    {ciSlideFaceColor, {0x28B9FF, 0x3ED978, 0xC0C0C0, 0xFFBA75, 0x8282FF, 0x1AD9FB}},
    {ciSlideGradColor, {0xBBE9FF, 0xC1F4D6, 0xEAEAEA, 0xFFE9D2, 0xC6DBFF, 0xDAFAFE}},
    {ciDisabledSlideBorderColor, {0xBEBEBE, 0xBEBEBE, 0xBEBEBE, 0xBEBEBE, 0xBEBEBE, 0xBEBEBE}},
    {ciDisabledSlideFaceColor, {0xD8D8D8, 0xD8D8D8, 0xD8D8D8, 0xD8D8D8, 0xD8D8D8, 0xD8D8D8}},
    {ciDisabledSlideGradColor, {0xE8E8E8, 0xE8E8E8, 0xE8E8E8, 0xE8E8E8, 0xE8E8E8, 0xE8E8E8}},
    {ciThumbBorderColor, {0x005B88, 0x126732, 0x616161, 0xC66300, 0x0000D7, 0x004F84}},
    {ciThumbFaceColor, {0x8CDAFF, 0x82E8AA, 0xE1E1E1, 0xFFD9B3, 0x9DC2FF, 0xC6FFFF}},
    {ciThumbGradColor, {0x0093D9, 0x21AB55, 0xA3A3A3, 0xFF9224, 0x6666FF, 0x00B8E6}},
    {ciOverThumbBorderColor, {0x005680, 0x156F37, 0x747474, 0xB35900, 0x0000D7, 0x004F84}},
    {ciOverThumbFaceColor, {0x5ECBFF, 0x7CE7A7, 0xD1D1D1, 0xFFCF9F, 0x8CB8FF, 0x6AFFFF}},
    {ciOverThumbGradColor, {0x007BB7, 0x1E954A, 0x959595, 0xF97C00, 0x5151FF, 0x009CC4}},
    {ciDownThumbBorderColor, {0x005680, 0x156F37, 0x747474, 0xB35900, 0x0000D7, 0x004F84}},
    {ciDownThumbFaceColor, {0x0083C1, 0x20A251, 0x999999, 0xFF8C1A, 0x6666FF, 0x00B8E6}},
    {ciDownThumbGradColor, {0x1AB5FF, 0x5EE193, 0xC1C1C1, 0xFFBF80, 0x8CB8FF, 0x91E9FF}},
    {ciDisabledThumbBorderColor, {0xB5B5B5, 0xB5B5B5, 0xB5B5B5, 0xB5B5B5, 0xB5B5B5, 0xB5B5B5}},
    {ciDisabledThumbFaceColor, {0xEAEAEA, 0xEAEAEA, 0xEAEAEA, 0xEAEAEA, 0xEAEAEA, 0xEAEAEA}},
    {ciDisabledThumbGradColor, {0xCFCFCF, 0xCFCFCF, 0xCFCFCF, 0xCFCFCF, 0xCFCFCF, 0xCFCFCF}},
};
}  // namespace

gfx::TColor SchemeColor(TColorScheme scheme, int index)
{
    if (scheme < csDesert || scheme > csSun)
        return -1;
    if (index == ciBackColor)
        return gfx::clBtnFace;
    if (index == ciDisabledTickColor)
        return 0xC0C0C0;
    for (const SchemeRow& row : Schemes)
        if (row.index == index)
            return row.colors[scheme - csDesert];
    return -1;
}

}  // namespace xitrackbar

using namespace xitrackbar;

namespace {

TColor mix(TColor a, TColor b, int i, int n)
{
    a = gfx::ColorToRGB(a);
    b = gfx::ColorToRGB(b);
    if (n <= 1)
        return a;
    auto ch = [&](int x, int y) { return int(rtl::Round(x + double(y - x) * i / (n - 1))); };
    return gfx::RGB(ch(gfx::GetRValue(a), gfx::GetRValue(b)), ch(gfx::GetGValue(a), gfx::GetGValue(b)),
                    ch(gfx::GetBValue(a), gfx::GetBValue(b)));
}

// A box filled with lines running from `face` to `grad` (rows when `rows`, else columns),
// outlined in `border`, its corner pixels optionally in `back`.
void gradientBox(gfx::TCanvas& c, const TRect& r, TColor face, TColor grad, TColor border,
                 bool rows, bool smooth, TColor back)
{
    if (r.IsEmpty())
        return;
    const int n = rows ? r.Height() : r.Width();
    for (int i = 0; i < n; ++i) {
        c.Pen().SetColor(mix(face, grad, i, n));
        if (rows) {
            c.MoveTo(r.Left, r.Top + i);
            c.LineTo(r.Right, r.Top + i);
        } else {
            c.MoveTo(r.Left + i, r.Top);
            c.LineTo(r.Left + i, r.Bottom);
        }
    }
    c.Brush().SetStyle(gfx::bsClear);
    c.Pen().SetColor(border);
    c.Rectangle(r);
    if (smooth) {
        c.SetPixel(r.Left, r.Top, back);
        c.SetPixel(r.Right - 1, r.Top, back);
        c.SetPixel(r.Left, r.Bottom - 1, back);
        c.SetPixel(r.Right - 1, r.Bottom - 1, back);
    }
}

}  // namespace

TXiTrackBar::TXiTrackBar(QWidget* parent) : forms::TCustomControl(parent)
{
    colors_.fill(-1);
    SetColorScheme(csDesert);
    resize(100, 28);
}

int64_t TXiTrackBar::range() const
{
    return std::max<int64_t>(0, int64_t(max_) - min_);
}

int TXiTrackBar::offsetOf(int32_t position, int track) const
{
    const int64_t r = range();
    if (r == 0 || track <= 0)
        return 0;
    const double at = double(track) / double(r) * (double(position) - min_);
    return int(std::clamp<int64_t>(rtl::Round(at), 0, track));
}

TXiTrackBar::Geometry TXiTrackBar::Layout() const
{
    Geometry g;
    const int w = Width(), h = Height();
    if (orientation_ == trHorizontal) {
        g.thickness = std::max(0, h - 8);
        g.length = g.thickness / 2;
        g.track = std::max(0, w - g.length);
        g.offset = offsetOf(position_, g.track);
        g.thumb = gfx::Rect(g.offset, 4, g.offset + g.length, 4 + g.thickness);
        g.slide = gfx::Rect(0, h / 3 + 1, w, h - (h / 3 + 1));
    } else {
        g.thickness = std::max(0, w - 8);
        g.length = g.thickness / 2;
        g.track = std::max(0, h - g.length);
        g.offset = offsetOf(position_, g.track);
        g.thumb = gfx::Rect(4, g.offset, 4 + g.thickness, g.offset + g.length);
        g.slide = gfx::Rect(w / 3 + 1, 0, w - (w / 3 + 1), h);
    }
    return g;
}

void TXiTrackBar::SetPosition(int32_t value)
{
    if (value > max_)
        value = max_;
    if (value < min_)
        value = min_;
    position_ = value;
    Repaint();
    if (OnChange)
        OnChange(this);
}

void TXiTrackBar::SetMax(int32_t value)
{
    max_ = value;
    if (position_ > max_)
        position_ = std::max(max_, min_);
    Repaint();
}

void TXiTrackBar::SetMin(int32_t value)
{
    min_ = value;
    if (position_ < min_)
        position_ = min_;
    Repaint();
}

void TXiTrackBar::SetFrequency(int32_t f) { frequency_ = f; Repaint(); }
void TXiTrackBar::SetTickStyle(TTickStyle s) { tickStyle_ = s; Repaint(); }
void TXiTrackBar::SetTickMarks(TTickMark m) { tickMarks_ = m; Repaint(); }
void TXiTrackBar::SetOrientation(TTrackBarOrientation o) { orientation_ = o; Repaint(); }
void TXiTrackBar::SetSmoothCorners(bool on) { smoothCorners_ = on; Repaint(); }

TColor TXiTrackBar::Color(int index) const
{
    return index >= 0 && index < ciTrackColorCount ? colors_[size_t(index)] : -1;
}

void TXiTrackBar::SetColor(int index, TColor value)
{
    if (index < 0 || index >= ciTrackColorCount)
        return;
    colors_[size_t(index)] = value;
    scheme_ = csCustom;
    Repaint();
}

void TXiTrackBar::SetColorScheme(TColorScheme scheme)
{
    scheme_ = scheme;
    if (scheme != csCustom)
        for (int i = 0; i < ciTrackColorCount; ++i)
            if (const TColor c = SchemeColor(scheme, i); c != -1)
                colors_[size_t(i)] = c;
    Invalidate();
}

std::vector<int> TXiTrackBar::TickOffsets(bool topLeft) const
{
    std::vector<int> out;
    if (tickStyle_ == tsNone)
        return out;
    const Geometry g = Layout();
    const int64_t r = range();
    const int64_t step = tickStyle_ == tsManual ? std::max<int64_t>(r, 1)
                                                : std::max<int64_t>(frequency_, 1);
    const bool realHalf = topLeft && orientation_ == trHorizontal;
    auto pixelOf = [&](int64_t i) {
        const double along = r == 0 ? 0.0 : double(g.track) * double(i) / double(r);
        return realHalf ? int(rtl::Round(along + g.length / 2.0))
                        : int(rtl::Round(along)) + g.length / 2;
    };
    auto add = [&](int64_t i) {
        const int p = pixelOf(i);
        if (out.empty() || out.back() != p)
            out.push_back(p);
    };
    // Walks the tick indices, jumping over those that would land on a pixel already drawn,
    // so a huge range costs no more than the track is long.
    for (int64_t i = 0; i <= r;) {
        add(i);
        int64_t next = i + step;
        if (r > 0 && g.track > 0) {
            const double firstBeyond = (out.back() - g.length / 2.0 + 0.5) * double(r) / g.track;
            const int64_t candidate = int64_t(std::floor(std::max(0.0, firstBeyond)));
            next = std::max(next, (candidate + step - 1) / step * step);
        } else if (r > 0) {
            next = r + 1;  // no track: every tick is on one pixel
        }
        i = next;
    }
    add(r);
    return out;
}

void TXiTrackBar::Paint()
{
    gfx::TCanvas& c = Canvas();
    const Geometry g = Layout();
    const bool enabled = isEnabled();
    const TColor back = colors_[ciBackColor];
    const int thumbBase = !enabled ? ciDisabledThumbBorderColor
        : thumbState_ == tsOver     ? ciOverThumbBorderColor
        : thumbState_ == tsDragging ? ciDownThumbBorderColor
                                    : ciThumbBorderColor;
    const int slideBase = enabled ? ciSlideBorderColor : ciDisabledSlideBorderColor;
    const TColor tick = colors_[enabled ? ciTickColor : ciDisabledTickColor];

    c.Brush().SetStyle(gfx::bsSolid);
    c.Brush().SetColor(back);
    c.FillRect(gfx::Rect(0, 0, Width(), Height()));
    c.Pen().SetStyle(gfx::psSolid);
    c.Pen().SetWidth(1);
    const bool horizontal = orientation_ == trHorizontal;
    gradientBox(c, g.slide, colors_[size_t(slideBase + 1)], colors_[size_t(slideBase + 2)],
                colors_[size_t(slideBase)], horizontal, smoothCorners_, back);
    gradientBox(c, g.thumb, colors_[size_t(thumbBase + 1)], colors_[size_t(thumbBase + 2)],
                colors_[size_t(thumbBase)], !horizontal, smoothCorners_, back);

    c.Pen().SetColor(tick);
    const int w = Width(), h = Height();
    const bool first = tickMarks_ == tmTopLeft || tickMarks_ == tmBoth;
    const bool second = tickMarks_ == tmBottomRight || tickMarks_ == tmBoth;
    if (first)
        for (int p : TickOffsets(true)) {
            if (horizontal) { c.MoveTo(p, 0); c.LineTo(p, 3); }
            else { c.MoveTo(0, p); c.LineTo(3, p); }
        }
    if (second)
        for (int p : TickOffsets(false)) {
            if (horizontal) { c.MoveTo(p, h - 3); c.LineTo(p, h); }
            else { c.MoveTo(w - 3, p); c.LineTo(w, p); }
        }
}

bool TXiTrackBar::insideThumb(int x, int y) const
{
    const TRect t = Layout().thumb;
    return x > t.Left && x < t.Right && y > t.Top && y < t.Bottom;
}

void TXiTrackBar::MouseEnter()
{
    forms::TCustomControl::MouseEnter();
    if (isEnabled())
        Repaint();
}

void TXiTrackBar::MouseLeave()
{
    forms::TCustomControl::MouseLeave();
    if (!isEnabled())
        return;
    if (thumbState_ != tsDragging)
        thumbState_ = tsNormal;
    Repaint();
}

void TXiTrackBar::MouseDown(forms::TMouseButton b, forms::TShiftState s, int x, int y)
{
    forms::TCustomControl::MouseDown(b, s, x, y);
    if (!isEnabled())
        return;
    if (insideThumb(x, y))
        thumbState_ = tsDragging;
    Repaint();
}

void TXiTrackBar::MouseUp(forms::TMouseButton b, forms::TShiftState s, int x, int y)
{
    forms::TCustomControl::MouseUp(b, s, x, y);
    if (!isEnabled())
        return;
    thumbState_ = insideThumb(x, y) ? tsOver : tsNormal;
    Repaint();
}

void TXiTrackBar::MouseMove(forms::TShiftState s, int x, int y)
{
    forms::TCustomControl::MouseMove(s, x, y);
    if (!isEnabled())
        return;
    if (thumbState_ != tsDragging) {
        thumbState_ = insideThumb(x, y) ? tsOver : tsNormal;
        Repaint();
        return;
    }
    const Geometry g = Layout();
    const int offset = std::clamp(orientation_ == trHorizontal ? x - g.length / 2 : y - 5, 0, g.track);
    const int64_t r = range();
    const int64_t along = g.track > 0 ? rtl::Round(double(r) * offset / g.track) : 0;
    position_ = int32_t(std::clamp<int64_t>(min_ + along, min_, std::max(min_, max_)));
    Repaint();
    if (OnChange)
        OnChange(this);
}

}  // namespace controls
