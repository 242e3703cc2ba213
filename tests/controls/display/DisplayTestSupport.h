// Helpers of the display-control tests: a shown top-level host so paint events really
// happen (offscreen), a paint counter, and pixel reads of a control's rendered picture.
#pragma once
#include <QApplication>
#include <QEvent>
#include <QImage>
#include <QObject>
#include <QWidget>

#include "platform/gfx/Colors.h"

namespace displaytest {

// A visible window of the given colour for the controls under test.
class Host : public QWidget {
public:
    explicit Host(int w = 320, int h = 200)
    {
        resize(w, h);
        show();
        settle();
    }
    static void settle()
    {
        for (int i = 0; i < 3; ++i)
            QApplication::processEvents();
    }
};

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* w) { w->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            ++count;
        return false;
    }
};

// The control's picture as it is painted now.
inline QImage picture(QWidget& w)
{
    return w.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

inline gfx::TColor at(const QImage& img, int x, int y)
{
    const QRgb v = img.pixel(x, y);
    return gfx::RGB(qRed(v), qGreen(v), qBlue(v));
}

}  // namespace displaytest
