// `TAnalogMeter`: a needle instrument on an elliptic dial with low, normal and high zones,
// ticks, a caption, a hub in the colour of the zone the value is in, and the value as a
// number; moving across a zone boundary fires the matching event.
//
// It owns two pictures of its size: the static layer (background, from a `TBitmapPanel`
// parent when `Texture` is on, and the zone wedges), redrawn only when the geometry, colours
// or zones change, and the dial as shown, which a value change rebuilds from the static
// layer plus the face, ticks, caption, needle and number. A paint only copies the dial.
//
// Angles are in degrees from straight down, turning left and over the top; a value sits at
// (value - Min) x AngularRange / (Max - Min) past the start angle, and a meter whose Min
// equals its Max keeps its needle at the start angle. UI thread only.
#pragma once
#include <string>

#include "platform/forms/Control.h"
#include "platform/gfx/Bitmap.h"

namespace controls {

class TAnalogMeter : public forms::TCustomControl {
public:
    explicit TAnalogMeter(QWidget* parent = nullptr);

    bool Texture() const { return texture_; }
    void SetTexture(bool on);
    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& text);  // stored without surrounding blanks
    int Min() const { return min_; }
    void SetMin(int value);
    int Max() const { return max_; }
    void SetMax(int value);
    int Value() const { return value_; }
    void SetValue(int value);
    int AngularRange() const { return angularRange_; }
    void SetAngularRange(int degrees);  // kept within 10..360
    int TickCount() const { return tickCount_; }
    void SetTickCount(int count);  // kept within 0..Max - Min
    // Zone boundaries in percent of the range, 0..100, LowZone <= HighZone. They read back
    // from the boundaries as values, so an empty range (Max = Min) reads 0; the percents set
    // are kept and place the boundaries again once the range opens.
    int LowZone() const { return percentOf(lowBound_); }
    void SetLowZone(int percent);
    int HighZone() const { return percentOf(highBound_); }
    void SetHighZone(int percent);
    bool ShowValue() const { return showValue_; }
    void SetShowValue(bool on);
    gfx::TColor HighZoneColor() const { return highZoneColor_; }
    void SetHighZoneColor(gfx::TColor c);
    gfx::TColor LowZoneColor() const { return lowZoneColor_; }
    void SetLowZoneColor(gfx::TColor c);
    gfx::TColor OKZoneColor() const { return okZoneColor_; }
    void SetOKZoneColor(gfx::TColor c);
    gfx::TColor TickColor() const { return tickColor_; }
    void SetTickColor(gfx::TColor c);
    bool ShowTicks() const { return showTicks_; }
    void SetShowTicks(bool on);
    bool ShowFrame() const { return showFrame_; }
    void SetShowFrame(bool on);
    bool EnableZoneEvents() const { return enableZoneEvents_; }
    void SetEnableZoneEvents(bool on) { enableZoneEvents_ = on; }

    // The angle of a value on this dial, and the point at `angle` on an ellipse with half-axes
    // a and b around the origin (rounded; the origin when a < 1 or b <= 0).
    double AngleOf(double value) const;
    static gfx::TPoint EllipsePoint(double a, double b, double angle);
    // The dial as shown, and the centre of its hub.
    const gfx::TBitmap& Dial() const { return dial_; }
    gfx::TPoint Centre() const { return {cx_, cy_}; }
    int HubRadius() const { return margin_; }
    // The parent panel's picture changed: a textured meter takes the new background.
    void ParentPictureChanged();

    forms::TNotifyEvent onResize, onChange, onRiseAboveHigh, onFallBelowHigh, onRiseAboveLow,
        onFallBelowLow;

protected:
    void Paint() override;
    void Resized() override;
    void ColorChanged() override;
    void FontChanged() override;

private:
    void computeBounds();
    void computeGeometry();
    void redrawAll();
    void drawStatic();
    void drawDynamic();
    void drawFace(gfx::TCanvas& c);
    void drawTicks(gfx::TCanvas& c);
    void drawNeedle(gfx::TCanvas& c);
    void drawFrame(gfx::TCanvas& c);
    gfx::TColor shadowColor() const;
    gfx::TColor zoneColorOf(int value) const;
    gfx::TPoint outerPoint(double value) const;
    void fire(const forms::TNotifyEvent& e) { if (e) e(this); }
    int percentOf(double bound) const;
    void lowZoneMoved(double oldBound);
    void highZoneMoved(double oldBound);

    bool texture_ = false;
    std::string caption_ = "mV";
    int min_ = 0;
    int max_ = 100;
    int value_ = 0;
    int angularRange_ = 270;
    int tickCount_ = 11;
    int lowZone_ = 10;
    int highZone_ = 90;
    bool showValue_ = true;
    gfx::TColor highZoneColor_ = gfx::clRed;
    gfx::TColor lowZoneColor_ = gfx::clYellow;
    gfx::TColor okZoneColor_ = gfx::cl3DLight;
    gfx::TColor tickColor_ = gfx::clBlack;
    bool showTicks_ = true;
    bool showFrame_ = true;
    bool enableZoneEvents_ = true;

    // Zone boundaries as values, the start angle and the dial geometry.
    double lowBound_ = 0, highBound_ = 0;
    double startAngle_ = 45;
    int margin_ = 0, textHeight_ = 0;
    int cx_ = 0, cy_ = 0, rx_ = 0, ry_ = 0, irx_ = 0, iry_ = 0;
    gfx::TBitmap static_;
    gfx::TBitmap dial_;
    bool ready_ = false;  // geometry and layers exist
    QSize notifiedSize_;  // the size onResize last reported
};

}  // namespace controls
