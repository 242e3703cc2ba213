#include "platform/gfx/Raster.h"

#include <algorithm>
#include <cmath>

namespace gfx::raster {

Span ellipseSpan(int64_t l, int64_t t, int64_t r, int64_t b, int64_t y)
{
    if (r <= l || b <= t || y < t || y >= b)
        return {};
    const double cx = (double(l) + double(r)) / 2, cy = (double(t) + double(b)) / 2;
    const double ax = (double(r) - double(l)) / 2, by = (double(b) - double(t)) / 2;
    const double dy = (double(y) + 0.5 - cy) / by;
    const double hw = ax * std::sqrt(std::max(0.0, 1 - dy * dy));
    Span s{int64_t(std::ceil(cx - hw - 0.5)), int64_t(std::floor(cx + hw - 0.5))};
    if (s.empty())
        s = {int64_t(std::floor(cx - 0.5)), int64_t(std::ceil(cx - 0.5))};
    s.a = std::max(s.a, l);
    s.b = std::min(s.b, r - 1);
    return s;
}

Span roundRectSpan(int64_t l, int64_t t, int64_t r, int64_t b, int64_t w, int64_t h, int64_t y)
{
    if (r <= l || b <= t || y < t || y >= b)
        return {};
    w = std::clamp<int64_t>(w, 0, r - l);
    h = std::clamp<int64_t>(h, 0, b - t);
    if (w < 2 || h < 2)
        return {l, r - 1};
    if (y < t + h / 2)
        return {ellipseSpan(l, t, l + w, t + h, y).a, ellipseSpan(r - w, t, r, t + h, y).b};
    if (y >= b - h / 2)
        return {ellipseSpan(l, b - h, l + w, b, y).a, ellipseSpan(r - w, b - h, r, b, y).b};
    return {l, r - 1};
}

bool isPaintable(QImage::Format f)
{
    switch (f) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
    case QImage::Format_BGR888:
    case QImage::Format_RGB555:
    case QImage::Format_RGB16:
        return true;
    default:
        return false;
    }
}

namespace {
int expand5(int v) { return (v << 3) | (v >> 2); }
int expand6(int v) { return (v << 2) | (v >> 4); }
}  // namespace

TColor getPixel(const QImage& img, int x, int y)
{
    const uchar* line = img.constScanLine(y);
    switch (img.format()) {
    case QImage::Format_BGR888: {
        const uchar* p = line + 3 * x;
        return RGB(p[2], p[1], p[0]);
    }
    case QImage::Format_RGB555: {
        uint16_t v = reinterpret_cast<const uint16_t*>(line)[x];
        return RGB(expand5((v >> 10) & 31), expand5((v >> 5) & 31), expand5(v & 31));
    }
    case QImage::Format_RGB16: {
        uint16_t v = reinterpret_cast<const uint16_t*>(line)[x];
        return RGB(expand5((v >> 11) & 31), expand6((v >> 5) & 63), expand5(v & 31));
    }
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
        return fromQRgb(reinterpret_cast<const QRgb*>(line)[x]);
    default:
        return fromQRgb(img.pixel(x, y));
    }
}

void setPixel(QImage& img, int x, int y, TColor c)
{
    c = ColorToRGB(c);
    const int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
    uchar* line = img.scanLine(y);
    switch (img.format()) {
    case QImage::Format_BGR888: {
        uchar* p = line + 3 * x;
        p[0] = uchar(b); p[1] = uchar(g); p[2] = uchar(r);
        return;
    }
    case QImage::Format_RGB555:
        reinterpret_cast<uint16_t*>(line)[x] = uint16_t(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
        return;
    case QImage::Format_RGB16:
        reinterpret_cast<uint16_t*>(line)[x] = uint16_t(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
        return;
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
        reinterpret_cast<QRgb*>(line)[x] = qRgb(r, g, b);
        return;
    default:
        img.setPixel(x, y, qRgb(r, g, b));
    }
}

}  // namespace gfx::raster
