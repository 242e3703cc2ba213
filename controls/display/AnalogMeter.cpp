#include "controls/display/AnalogMeter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>

#include "controls/display/BitmapPanel.h"
#include "platform/rtl/Numerics.h"

namespace controls {

namespace {
constexpr double kDeg = std::numbers::pi / 180;

// A 1:1 copy of a 32-bit bitmap onto an image of the same size, row by row (the canvas's
// general picture drawing scales every pixel; a dial is copied on every value change).
void copyRows(const gfx::TBitmap& from, QImage& to)
{
    const int w = from.Width(), h = from.Height();
    for (int y = 0; y < h; ++y)
        std::memcpy(to.scanLine(y), from.ScanLine(y), size_t(w) * 4);
}

bool sameShape(const gfx::TBitmap& from, const QImage* to)
{
    return to && to->width() == from.Width() && to->height() == from.Height() &&
           (to->format() == QImage::Format_RGB32 || to->format() == QImage::Format_ARGB32);
}

std::string trimmed(const std::string& s)
{
    const size_t a = s.find_first_not_of(' ');
    if (a == std::string::npos)
        return {};
    return s.substr(a, s.find_last_not_of(' ') - a + 1);
}
}  // namespace

TAnalogMeter::TAnalogMeter(QWidget* parent) : TCustomControl(parent)
{
    static_.SetPixelFormat(gfx::pf32bit);
    dial_.SetPixelFormat(gfx::pf32bit);
    setMinimumSize(52, 37);
    resize(121, 117);
    computeBounds();
    ready_ = true;
    FontChanged();  // text height, geometry and both layers
}

// ---- geometry ----

gfx::TPoint TAnalogMeter::EllipsePoint(double a, double b, double angle)
{
    if (a < 1 || b <= 0)
        return {0, 0};
    const double s = std::sin(angle * kDeg), c = std::cos(angle * kDeg);
    const double r = a * b / std::sqrt(b * b * s * s + a * a * c * c);
    return {int32_t(rtl::Round(-s * r)), int32_t(rtl::Round(c * r))};
}

double TAnalogMeter::AngleOf(double value) const
{
    if (max_ == min_)
        return startAngle_;
    return (value - min_) * angularRange_ / (double(max_) - min_) + startAngle_;
}

gfx::TPoint TAnalogMeter::outerPoint(double value) const
{
    const gfx::TPoint p = EllipsePoint(rx_, ry_, AngleOf(value));
    return {cx_ + p.X, cy_ + p.Y};
}

int TAnalogMeter::percentOf(double bound) const
{
    return max_ == min_ ? 0 : int(std::lround((bound - min_) * 100 / (max_ - min_)));
}

void TAnalogMeter::computeBounds()
{
    const double span = double(max_) - min_;
    lowBound_ = min_ + span * lowZone_ / 100;
    highBound_ = min_ + span * highZone_ / 100;
}

// The dial is as tall as fits: with a start angle below 90 degrees the needle's ends reach
// below the centre, so the vertical half-axis grows only while centre plus that reach fit.
void TAnalogMeter::computeGeometry()
{
    const int w = width(), h = height();
    margin_ = (w + h) / 40;
    const int availH = h - 2 * margin_ - textHeight_;
    const int availW = w - 2 * margin_;
    const double s = startAngle_;
    if (s >= 90) {
        ry_ = availH;
    } else {
        const double q = availW * std::cos(s * kDeg) / 2;
        const double sinS = std::sin(s * kDeg);
        auto reach = [&](int r) {
            const double d = std::sqrt(double(r) * r * sinS * sinS + q * q);
            return r + (d > 0 ? r * q / d : 0.0);
        };
        int r = availH / 2;
        while (r <= std::max(availH, 0) && reach(r) <= availH)
            ++r;
        ry_ = r - 1;
    }
    cx_ = w / 2;
    cy_ = margin_ + ry_;
    rx_ = cx_ - margin_;
    const int k = (w + h) / 25;
    irx_ = rx_ - k;
    iry_ = ry_ - k;
}

gfx::TColor TAnalogMeter::shadowColor() const
{
    return Color() == gfx::clBtnShadow ? gfx::cl3DLight : gfx::clBtnShadow;
}

gfx::TColor TAnalogMeter::zoneColorOf(int value) const
{
    if (min_ < lowBound_ && value <= lowBound_)
        return lowZoneColor_;
    if (max_ > highBound_ && value >= highBound_)
        return highZoneColor_;
    return okZoneColor_;
}

// ---- drawing ----

void TAnalogMeter::redrawAll()
{
    if (!ready_)
        return;
    computeGeometry();
    drawStatic();
    drawDynamic();
    Invalidate();
}

// Everything that does not move with the value: background, zones, face, ticks, caption and
// frame.
void TAnalogMeter::drawStatic()
{
    const int w = width(), h = height();
    static_.SetSize(w, h);
    gfx::TCanvas& c = static_.Canvas();
    c.Pen().SetStyle(gfx::psSolid);
    c.Brush().SetStyle(gfx::bsSolid);
    c.Brush().SetColor(Color());
    c.FillRect(gfx::Rect(0, 0, w, h));
    if (auto* panel = dynamic_cast<TBitmapPanel*>(parentWidget()); texture_ && panel)
        c.Draw(-x(), -y(), panel->Bitmap());

    c.Pen().SetWidth(2);
    c.Pen().SetColor(shadowColor());
    const gfx::TRect outer = gfx::Rect(cx_ - rx_, cy_ - ry_, cx_ + rx_, cy_ + ry_);
    // A wedge from one value to a higher one runs counter-clockwise from the higher value's
    // ray; one too thin to have two distinct rays is left out rather than drawn as a whole
    // ellipse.
    auto wedge = [&](double from, double to, gfx::TColor color) {
        const gfx::TPoint a = outerPoint(to), b = outerPoint(from);
        if (a == b && (AngleOf(to) - AngleOf(from)) < 180)
            return;
        c.Brush().SetColor(color);
        c.Pie(outer.Left, outer.Top, outer.Right, outer.Bottom, a.X, a.Y, b.X, b.Y);
    };
    if (min_ < lowBound_)
        wedge(min_, lowBound_, lowZoneColor_);
    if (lowBound_ != highBound_)
        wedge(lowBound_, highBound_, okZoneColor_);
    if (max_ > highBound_)
        wedge(highBound_, max_, highZoneColor_);

    drawFace(c);
    drawTicks(c);
    if (!caption_.empty()) {
        c.Brush().SetStyle(gfx::bsSolid);
        c.Brush().SetColor(Color());
        c.Font().SetColor(Font().Color());
        c.TextOut(cx_ - c.TextWidth(caption_) / 2, cy_ - (iry_ + margin_ + 1) / 2, caption_);
    }
    if (showFrame_)
        drawFrame(c);
}

// The inner ellipse's arc along the dial, then the face inside it, which leaves the zones a
// ring.
void TAnalogMeter::drawFace(gfx::TCanvas& c)
{
    const gfx::TPoint start = outerPoint(min_), end = outerPoint(max_);
    c.Pen().SetWidth(2);
    c.Pen().SetColor(shadowColor());
    c.Arc(cx_ - irx_, cy_ - iry_, cx_ + irx_, cy_ + iry_, end.X, end.Y, start.X, start.Y);
    c.Pen().SetWidth(1);
    c.Pen().SetColor(Color());
    c.Brush().SetStyle(gfx::bsSolid);
    c.Brush().SetColor(Color());
    c.Ellipse(cx_ - irx_ + 2, cy_ - iry_ + 2, cx_ + irx_ - 2, cy_ + iry_ - 2);
}

void TAnalogMeter::drawTicks(gfx::TCanvas& c)
{
    if (!showTicks_ || tickCount_ < 2)
        return;
    c.Pen().SetWidth(1);
    c.Pen().SetColor(tickColor_);
    const int inset = (width() + height()) / 35;
    for (int k = 1; k <= tickCount_; ++k) {
        const double angle = AngleOf(min_ + (double(max_) - min_) * (k - 1) / (tickCount_ - 1));
        const gfx::TPoint from = EllipsePoint(irx_, iry_, angle);
        const gfx::TPoint to = EllipsePoint(irx_ - inset, iry_ - inset, angle);
        c.MoveTo(cx_ + from.X, cy_ + from.Y);
        c.LineTo(cx_ + to.X, cy_ + to.Y);
    }
}

void TAnalogMeter::drawFrame(gfx::TCanvas& c)
{
    const int w = width(), h = height();
    c.Pen().SetWidth(1);
    c.Pen().SetColor(gfx::clBtnShadow);
    c.MoveTo(0, h - 1);
    c.LineTo(0, 0);
    c.LineTo(w, 0);
    c.Pen().SetColor(gfx::clBtnHighlight);
    c.MoveTo(w - 1, 1);
    c.LineTo(w - 1, h - 1);
    c.LineTo(0, h - 1);
}

// Wide pens are stroked through a mask of the visible area, so the needle and the hub are
// clipped to their own boxes to keep that mask small.
void TAnalogMeter::drawNeedle(gfx::TCanvas& c)
{
    const gfx::TPoint tip = EllipsePoint(irx_ - 3, iry_ - 3, AngleOf(value_));
    const int x1 = cx_ + tip.X, y1 = cy_ + tip.Y;
    c.SetClipRect(gfx::Rect(std::min(cx_, x1) - 3, std::min(cy_, y1) - 3, std::max(cx_, x1) + 4,
                            std::max(cy_, y1) + 4));
    c.Pen().SetWidth(2);
    c.Pen().SetColor(tickColor_);
    c.MoveTo(cx_, cy_);
    c.LineTo(x1, y1);
    const gfx::TColor zone = zoneColorOf(value_);
    const int m = margin_;
    c.SetClipRect(gfx::Rect(cx_ - m - 3, cy_ - m - 3, cx_ + m + 4, cy_ + m + 4));
    c.Brush().SetStyle(gfx::bsSolid);
    c.Brush().SetColor(zone);
    c.Pen().SetWidth(3);
    c.Pen().SetColor(shadowColor());
    c.Ellipse(cx_ - m, cy_ - m, cx_ + m + 1, cy_ + m + 1);
    c.Pen().SetWidth(1);
    c.Pen().SetColor(zone);
    c.Ellipse(cx_ - m + 1, cy_ - m + 1, cx_ + m, cy_ + m);
    c.ClearClip();
}

// The moving layer: the static picture, then needle, hub and number.
void TAnalogMeter::drawDynamic()
{
    const int w = width(), h = height();
    dial_.SetSize(w, h);
    gfx::TCanvas& c = dial_.Canvas();
    copyRows(static_, dial_.PaintImage());
    drawNeedle(c);
    if (showValue_) {
        char text[16];
        const int n = std::snprintf(text, sizeof text, "%d", value_);
        const std::string number(text, size_t(std::max(n, 0)));
        c.Brush().SetStyle(gfx::bsClear);
        c.Font().SetColor(Font().Color());
        c.TextOut(cx_ - c.TextWidth(number) / 2, h - margin_ - textHeight_ - 1, number);
    }
}

void TAnalogMeter::Paint()
{
    if (dial_.Width() != width() || dial_.Height() != height())
        redrawAll();
    QImage* screen = Canvas().Surface();
    if (sameShape(dial_, screen))
        copyRows(dial_, *screen);
    else
        Canvas().Draw(0, 0, dial_);
}

// ---- events of the widget ----

// Qt repeats the resize notice of a hidden control on every render; only a new size counts.
void TAnalogMeter::Resized()
{
    if (size() == notifiedSize_)
        return;
    notifiedSize_ = size();
    if (onResize)
        onResize(this);
    TCustomControl::Resized();
    redrawAll();
}

void TAnalogMeter::ColorChanged()
{
    redrawAll();
}

void TAnalogMeter::FontChanged()
{
    if (!ready_)
        return;
    static_.Canvas().Font().Assign(Font());
    dial_.Canvas().Font().Assign(Font());
    textHeight_ = dial_.Canvas().TextHeight("S") + 2;
    redrawAll();
}

void TAnalogMeter::ParentPictureChanged()
{
    if (texture_)
        redrawAll();
}

// ---- properties ----

void TAnalogMeter::SetValue(int value)
{
    const int v = std::clamp(value, min_, std::max(min_, max_));
    if (v == value_)
        return;
    const int old = value_;
    value_ = v;
    fire(onChange);
    if (dial_.Width() != width() || dial_.Height() != height()) {
        redrawAll();
    } else {
        drawDynamic();
        Invalidate();
    }
    if (!enableZoneEvents_)
        return;
    // A jump over both boundaries reports only the outer crossing.
    bool outer = false;
    if (onFallBelowLow && old >= lowBound_ && v < lowBound_) {
        onFallBelowLow(this);
        outer = true;
    }
    if (onRiseAboveHigh && old < highBound_ && v >= highBound_) {
        onRiseAboveHigh(this);
        outer = true;
    }
    if (outer)
        return;
    if (old >= highBound_ && highBound_ > v)
        fire(onFallBelowHigh);
    if (old < lowBound_ && lowBound_ <= v)
        fire(onRiseAboveLow);
}

void TAnalogMeter::SetMin(int value)
{
    value = std::min(value, max_);
    if (value == min_)
        return;
    min_ = value;
    computeBounds();
    SetValue(value_ < min_ ? min_ : value_);
    redrawAll();
}

void TAnalogMeter::SetMax(int value)
{
    value = std::max(value, min_);
    if (value == max_)
        return;
    max_ = value;
    computeBounds();
    SetValue(value_ > max_ ? max_ : value_);
    redrawAll();
}

void TAnalogMeter::lowZoneMoved(double oldBound)
{
    if (!enableZoneEvents_)
        return;
    if (value_ >= oldBound && value_ < lowBound_)
        fire(onFallBelowLow);
    else if (value_ < oldBound && value_ >= lowBound_)
        fire(onRiseAboveLow);
}

void TAnalogMeter::highZoneMoved(double oldBound)
{
    if (!enableZoneEvents_)
        return;
    if (value_ >= oldBound && value_ < highBound_)
        fire(onFallBelowHigh);
    else if (value_ < oldBound && value_ >= highBound_)
        fire(onRiseAboveHigh);
}

void TAnalogMeter::SetLowZone(int percent)
{
    percent = std::clamp(percent, 0, 100);
    if (percent == lowZone_)
        return;
    const double oldLow = lowBound_, oldHigh = highBound_;
    lowZone_ = percent;
    const bool raiseHigh = highZone_ < percent;
    if (raiseHigh)
        highZone_ = percent;
    computeBounds();
    redrawAll();
    lowZoneMoved(oldLow);
    if (raiseHigh)
        highZoneMoved(oldHigh);
}

void TAnalogMeter::SetHighZone(int percent)
{
    percent = std::clamp(percent, 0, 100);
    if (percent == highZone_)
        return;
    const double oldLow = lowBound_, oldHigh = highBound_;
    highZone_ = percent;
    const bool lowerLow = lowZone_ > percent;
    if (lowerLow)
        lowZone_ = percent;
    computeBounds();
    redrawAll();
    highZoneMoved(oldHigh);
    if (lowerLow)
        lowZoneMoved(oldLow);
}

void TAnalogMeter::SetAngularRange(int degrees)
{
    degrees = std::clamp(degrees, 10, 360);
    if (degrees == angularRange_)
        return;
    angularRange_ = degrees;
    startAngle_ = (360 - degrees) / 2.0;
    redrawAll();
}

void TAnalogMeter::SetTickCount(int count)
{
    count = int(std::clamp<int64_t>(count, 0, int64_t(max_) - min_));
    if (count == tickCount_)
        return;
    tickCount_ = count;
    redrawAll();
}

void TAnalogMeter::SetTexture(bool on)
{
    if (on == texture_)
        return;
    texture_ = on;
    redrawAll();
}

void TAnalogMeter::SetCaption(const std::string& text)
{
    const std::string t = trimmed(text);
    if (t == caption_)
        return;
    caption_ = t;
    redrawAll();
}

// Setters of looks: store, then draw the layers again.
#define METER_SETTER(Name, field, Type) \
    void TAnalogMeter::Set##Name(Type v) \
    { \
        if (v == field) \
            return; \
        field = v; \
        redrawAll(); \
    }
METER_SETTER(ShowValue, showValue_, bool)
METER_SETTER(HighZoneColor, highZoneColor_, gfx::TColor)
METER_SETTER(LowZoneColor, lowZoneColor_, gfx::TColor)
METER_SETTER(OKZoneColor, okZoneColor_, gfx::TColor)
METER_SETTER(TickColor, tickColor_, gfx::TColor)
METER_SETTER(ShowTicks, showTicks_, bool)
METER_SETTER(ShowFrame, showFrame_, bool)
#undef METER_SETTER

}  // namespace controls
