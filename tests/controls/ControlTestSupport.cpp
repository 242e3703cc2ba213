#include "ControlTestSupport.h"

#include <QApplication>
#include <QTest>
#include <QCoreApplication>
#include <QWheelEvent>
#include <QDir>
#include <QFontMetrics>
#include <QPainter>

#include <cmath>
#include <cstdio>

namespace controltest {

QImage snapshot(QWidget& w)
{
    return w.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

gfx::TColor pixel(const QImage& img, int x, int y)
{
    const QRgb v = img.pixel(x, y);
    return gfx::RGB(qRed(v), qGreen(v), qBlue(v));
}

std::string saveShot(const QImage& img, const std::string& name, int scale)
{
    const QString dir = QCoreApplication::applicationDirPath() + "/../screenshots/controls";
    QDir().mkpath(dir);
    const QString path = dir + "/" + QString::fromStdString(name) + ".png";
    (scale > 1 ? img.scaled(img.size() * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation) : img)
        .save(path);
    return path.toStdString();
}

namespace {

std::string hex(gfx::TColor c)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%06X", unsigned(c));
    return buf;
}

int channel(gfx::TColor c, int shift)
{
    return int((c >> shift) & 0xFF);
}

}  // namespace

bool near(gfx::TColor c, gfx::TColor want, int tolerance)
{
    want = gfx::ColorToRGB(want);
    for (int shift : {0, 8, 16})
        if (std::abs(channel(c, shift) - channel(want, shift)) > tolerance)
            return false;
    return true;
}

gfx::TColor ramp(gfx::TColor from, gfx::TColor to, double t)
{
    from = gfx::ColorToRGB(from);
    to = gfx::ColorToRGB(to);
    gfx::TColor out = 0;
    for (int shift : {0, 8, 16}) {
        const double a = channel(from, shift), b = channel(to, shift);
        out |= gfx::TColor(std::lround(a + (b - a) * t)) << shift;
    }
    return out;
}

bool between(gfx::TColor c, gfx::TColor a, gfx::TColor b)
{
    a = gfx::ColorToRGB(a);
    b = gfx::ColorToRGB(b);
    for (int shift : {0, 8, 16}) {
        const int v = channel(c, shift), lo = std::min(channel(a, shift), channel(b, shift)),
                  hi = std::max(channel(a, shift), channel(b, shift));
        if (v < lo - 1 || v > hi + 1)
            return false;
    }
    return true;
}

int countColour(const QImage& img, gfx::TColor c, int tolerance, QRect area)
{
    area = area.isEmpty() ? img.rect() : area & img.rect();
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += near(pixel(img, x, y), c, tolerance);
    return n;
}

QRect colourBox(const QImage& img, gfx::TColor c, int tolerance, QRect area)
{
    area = area.isEmpty() ? img.rect() : area & img.rect();
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (near(pixel(img, x, y), c, tolerance))
                box |= QRect(x, y, 1, 1);
    return box;
}

int differingPixels(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return a.width() * a.height();
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            n += a.pixel(x, y) != b.pixel(x, y);
    return n;
}

::testing::AssertionResult showsColour(const QImage& img, gfx::TColor c, const char* what,
                                       int tolerance, QRect area)
{
    if (countColour(img, c, tolerance, area) > 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << what << " (" << hex(gfx::ColorToRGB(c))
                                         << ") does not show";
}

::testing::AssertionResult captionFits(const gfx::TFont& font, const std::string& caption,
                                       int room)
{
    return captionFits(font.toQFont(), caption, room);
}

::testing::AssertionResult captionFits(const QFont& font, const std::string& caption, int room)
{
    const int w = QFontMetrics(font).horizontalAdvance(QString::fromStdString(caption));
    if (w <= room)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "\"" << caption << "\" needs " << w << " pixels, has "
                                         << room;
}

::testing::AssertionResult inkInside(const QImage& img, gfx::TColor ink, int tolerance, QRect area)
{
    area = area.isEmpty() ? img.rect() : area & img.rect();
    const QRect box = colourBox(img, ink, tolerance, area);
    if (box.isEmpty())
        return ::testing::AssertionFailure() << "no ink of " << hex(gfx::ColorToRGB(ink));
    if (box.left() > area.left() && box.right() < area.right() && box.top() > area.top() &&
        box.bottom() < area.bottom())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "ink of " << hex(gfx::ColorToRGB(ink)) << " at (" << box.left() << "," << box.top()
           << ")-(" << box.right() << "," << box.bottom() << ") reaches the edge of ("
           << area.left() << "," << area.top() << ")-(" << area.right() << "," << area.bottom()
           << ")";
}

Backdrop::Backdrop(std::function<void(QImage&)> paint, int w, int h) : paint_(std::move(paint))
{
    resize(w, h);
}

void Backdrop::paintEvent(QPaintEvent*)
{
    QImage img(size(), QImage::Format_RGB32);
    img.fill(Qt::white);
    paint_(img);
    QPainter p(this);
    p.drawImage(0, 0, img);
}

void activate(QWidget& window)
{
    window.show();
    QApplication::setActiveWindow(&window);
    (void)QTest::qWaitForWindowActive(&window, 1000);
}

void turnWheel(QWidget& w, int delta)
{
    const QPointF p(10, 10);
    QWheelEvent e(p, w.mapToGlobal(p), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(&w, &e);
}

}  // namespace controltest
