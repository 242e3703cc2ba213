#include "ControlTestSupport.h"

#include <QCoreApplication>
#include <QDir>

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

std::string saveShot(const QImage& img, const std::string& name)
{
    const QString dir = QCoreApplication::applicationDirPath() + "/../screenshots/controls";
    QDir().mkpath(dir);
    const QString path = dir + "/" + QString::fromStdString(name) + ".png";
    img.save(path);
    return path.toStdString();
}

}  // namespace controltest
