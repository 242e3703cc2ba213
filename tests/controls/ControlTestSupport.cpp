#include "ControlTestSupport.h"

#include <QApplication>
#include <QCoreApplication>
#include <QWheelEvent>
#include <QDir>
#include <QPainter>

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

void turnWheel(QWidget& w, int delta)
{
    const QPointF p(10, 10);
    QWheelEvent e(p, w.mapToGlobal(p), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(&w, &e);
}

}  // namespace controltest
