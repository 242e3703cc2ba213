// Helpers of the control tests: painting a control off screen into an image, reading its
// pixels as colour values, a parent that paints a known background for see-through controls,
// turning the mouse wheel over a control, and writing the look of a control to
// build/screenshots/controls for a person to inspect, and the checks a person makes when looking
// at such a picture (a colour shows, a caption fits, two states differ).
#pragma once
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include <QFont>
#include <QImage>
#include <QRect>
#include <QWidget>

#include "platform/gfx/Colors.h"
#include "platform/gfx/DrawTools.h"

namespace controltest {

// The control's current look (it is painted for this).
QImage snapshot(QWidget& w);
// The 0x00BBGGRR colour of one pixel.
gfx::TColor pixel(const QImage& img, int x, int y);
// Saves the image, enlarged `scale` times, as <build>/screenshots/controls/<name>.png;
// returns the path.
std::string saveShot(const QImage& img, const std::string& name, int scale = 1);

// Pixels of `area` (the whole image when empty) whose colour lies within `tolerance` of `c`
// on each channel; system colours are resolved first.
int countColour(const QImage& img, gfx::TColor c, int tolerance = 0, QRect area = {});
// The bounding box of those pixels (empty when there are none).
QRect colourBox(const QImage& img, gfx::TColor c, int tolerance = 0, QRect area = {});
// Whether `c` lies within `tolerance` of `want` on each channel.
bool near(gfx::TColor c, gfx::TColor want, int tolerance);
// The colour a linear ramp from `from` to `to` reaches at `t` (0..1), channel by channel.
gfx::TColor ramp(gfx::TColor from, gfx::TColor to, double t);
// Whether each channel of `c` lies between those of `a` and `b` (with one unit of slack).
bool between(gfx::TColor c, gfx::TColor a, gfx::TColor b);
// How many pixels of two equally sized pictures differ.
int differingPixels(const QImage& a, const QImage& b);

// `what` (a colour property of the control) shows somewhere in `area` of the picture.
::testing::AssertionResult showsColour(const QImage& img, gfx::TColor c, const char* what,
                                       int tolerance = 0, QRect area = {});
// The caption, measured in the control's font, fits the room it is given.
::testing::AssertionResult captionFits(const gfx::TFont& font, const std::string& caption,
                                       int room);
::testing::AssertionResult captionFits(const QFont& font, const std::string& caption, int room);
// The caption's ink (pixels of its colour) shows and keeps clear of the picture's edges, so
// nothing of it is cut away.
::testing::AssertionResult inkInside(const QImage& img, gfx::TColor ink, int tolerance = 0,
                                     QRect area = {});

// Shows the window and makes it the active one (the flat controls track the mouse only in an
// active window).
void activate(QWidget& window);

// Turns the mouse wheel over the control by `delta` (120 a notch; negative toward the user).
void turnWheel(QWidget& w, int delta);

// A parent widget whose own painting is `paint` (children drawn over it).
class Backdrop : public QWidget {
public:
    Backdrop(std::function<void(QImage&)> paint, int w, int h);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    std::function<void(QImage&)> paint_;
};

}  // namespace controltest
