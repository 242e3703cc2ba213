// A canvas of vector commands: the canvas calls drawn through a QPainter (a printed page, a
// recorded picture), in the painter's units, so lines, shapes and text stay vectors in a PDF
// and pictures keep their own pixels. It is the printer's canvas and the metafile canvas.
// It follows the canvas's rules where vectors can (right and bottom edges excluded, a 1-unit
// pen outlining inside the box, text cells placed at their top-left, turned fonts); raster
// operations other than copy, flood fills and pixel reads have no meaning there and do
// nothing (Pixels reads -1). Without a painter it only measures.
// UI thread only.
#pragma once

#include "platform/gfx/Canvas.h"

class QPainter;

namespace gfx {

class TPainterCanvas : public TCanvas {
public:
    // The painter stays the caller's; null detaches.
    void Attach(QPainter* painter) { painter_ = painter; }
    QPainter* Painter() const { return painter_; }

    void LineTo(int32_t x, int32_t y) override;
    void Polyline(std::span<const TPoint> points) override;
    void Polygon(std::span<const TPoint> points, bool winding = false) override;
    void Rectangle(int32_t l, int32_t t, int32_t r, int32_t b) override;
    using TCanvas::Rectangle;
    void RoundRect(int32_t l, int32_t t, int32_t r, int32_t b, int32_t w, int32_t h) override;
    void Ellipse(int32_t l, int32_t t, int32_t r, int32_t b) override;
    using TCanvas::Ellipse;
    void FillRect(const TRect& r) override;
    void FrameRect(const TRect& r) override;
    void TextOut(int32_t x, int32_t y, const std::string& text) override;
    void TextRect(const TRect& r, int32_t x, int32_t y, const std::string& text) override;
    void DrawImage(const QImage& src, const TRect& srcRect, const TRect& dest,
                   TColor transparentKey = clNone) override;
    void DrawPicture(const QPicture& picture, const TRect& frame, const TRect& dest) override;

private:
    enum Paint { Outline = 1, Fill = 2 };
    // Sets the painter's pen and brush for a figure; false when nothing would show.
    bool prepare(int paint);
    void text(int32_t x, int32_t y, const std::string& text, const TRect* clip);
    QPainter* painter_ = nullptr;
};

}  // namespace gfx
