// Helpers of the control tests: painting a control off screen into an image, reading its
// pixels as colour values, a parent that paints a known background for see-through controls,
// turning the mouse wheel over a control, and writing the look of a control to
// build/screenshots/controls for a person to inspect.
#pragma once
#include <functional>
#include <string>

#include <QImage>
#include <QWidget>

#include "platform/gfx/Colors.h"

namespace controltest {

// The control's current look (it is painted for this).
QImage snapshot(QWidget& w);
// The 0x00BBGGRR colour of one pixel.
gfx::TColor pixel(const QImage& img, int x, int y);
// Saves the image, enlarged `scale` times, as <build>/screenshots/controls/<name>.png;
// returns the path.
std::string saveShot(const QImage& img, const std::string& name, int scale = 1);

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
