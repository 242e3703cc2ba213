// Helpers of the control tests: a plain parent that paints a known background, the colour of
// one pixel of a widget's picture, and writing a control's look to
// <build>/screenshots/controls/<name>.png for a person to inspect.
#pragma once
#include <functional>
#include <string>

#include <QImage>
#include <QWidget>

#include "platform/gfx/Colors.h"

namespace shots {

// A parent widget whose own painting is `paint` (children drawn over it).
class Backdrop : public QWidget {
public:
    explicit Backdrop(std::function<void(QImage&)> paint, int w, int h);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    std::function<void(QImage&)> paint_;
};

// The widget as it shows on screen now (children included).
QImage grab(QWidget& w);
// The 0x00BBGGRR colour of one pixel.
gfx::TColor pixel(const QImage& img, int x, int y);
// Saves the image, enlarged `scale` times, and returns the file's path.
std::string save(const QImage& img, const std::string& name, int scale = 2);

}  // namespace shots
