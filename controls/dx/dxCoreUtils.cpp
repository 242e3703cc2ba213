#include "controls/dx/dxCoreUtils.h"

#include <algorithm>

#include "platform/gfx/Colors.h"
#include "platform/gfx/Raster.h"

namespace controls {

void FillBandedGradient(gfx::TBitmap& bitmap, int w, int h, gfx::TColor fromColor,
                        gfx::TColor toColor, int bands)
{
    bitmap.SetPixelFormat(gfx::pf24bit);
    bitmap.SetSize(std::max(0, w), std::max(0, h));
    if (bitmap.Empty())
        return;
    bands = std::max(1, bands);
    const gfx::TColor a = gfx::ColorToRGB(fromColor), b = gfx::ColorToRGB(toColor);
    auto mix = [bands](int from, int to, int band) {
        return bands == 1 ? from : from + (to - from) * band / (bands - 1);
    };
    gfx::TCanvas& c = bitmap.Canvas();
    c.Brush().SetStyle(gfx::bsSolid);
    for (int band = 0; band < bands; ++band) {
        const int top = int(int64_t(band) * h / bands), bottom = int(int64_t(band + 1) * h / bands);
        if (bottom <= top)
            continue;
        c.Brush().SetColor(gfx::RGB(mix(gfx::GetRValue(a), gfx::GetRValue(b), band),
                                    mix(gfx::GetGValue(a), gfx::GetGValue(b), band),
                                    mix(gfx::GetBValue(a), gfx::GetBValue(b), band)));
        c.FillRect(gfx::Rect(0, top, w, bottom));
    }
}

void GreyGlyph(QImage& glyph, gfx::TColor key)
{
    if (glyph.format() != QImage::Format_RGB32 && glyph.format() != QImage::Format_ARGB32)
        glyph = glyph.convertToFormat(QImage::Format_ARGB32);
    const QRgb keyRgb = gfx::raster::toQRgb(gfx::ColorToRGB(key)) & 0xFFFFFFu;
    for (int y = 0; y < glyph.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(glyph.scanLine(y));
        for (int x = 0; x < glyph.width(); ++x) {
            if ((row[x] & 0xFFFFFFu) == keyRgb)
                continue;
            const int g = std::min(255, (qRed(row[x]) + qGreen(row[x]) + qBlue(row[x])) / 3 + 100);
            row[x] = qRgba(g, g, g, qAlpha(row[x]));
        }
    }
}

}  // namespace controls
