#include "controls/alpha/AlphaCtl.h"

#include <QPainter>

namespace controls {

void BlendConstantAlpha(QImage& dest, const QImage& source, uint8_t alpha)
{
    const int w = std::min(dest.width(), source.width());
    const int h = std::min(dest.height(), source.height());
    const unsigned a = alpha, na = 255u - alpha;
    for (int y = 0; y < h; ++y) {
        uint8_t* d = dest.scanLine(y);
        const uint8_t* s = source.constScanLine(y);
        for (int x = 0; x < w; ++x, d += 4, s += 4)
            for (int ch = 0; ch < 3; ++ch)
                d[ch] = uint8_t((s[ch] * a + na * d[ch]) / 255u);
    }
}

TCustomAlphaLabel::TCustomAlphaLabel(QWidget* parent) : TCustomLabel(parent)
{
    // The blend needs the picture under the label at every paint.
    SetTransparentBackground(true);
}

void TCustomAlphaLabel::SetAlpha(uint8_t value)
{
    if (value == alpha_)
        return;
    alpha_ = value;
    Invalidate();
}

void TCustomAlphaLabel::Paint()
{
    QImage* surface = Canvas().Surface();
    if (!surface || surface->isNull()) {
        TCustomLabel::Paint();
        return;
    }
    QImage under = surface->convertToFormat(QImage::Format_RGB32);
    TCustomLabel::Paint();
    const QImage painted = surface->convertToFormat(QImage::Format_RGB32);
    BlendConstantAlpha(under, painted, alpha_);
    QPainter p(surface);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(0, 0, under);
}

}  // namespace controls
