// A canvas that writes down every drawing call (name, arguments, and the pen, brush and font
// state at that moment) before carrying it out, so tests of drawing logic can compare what
// was asked for without depending on the rasteriser or the installed fonts. It paints on its
// own image of the given size (so Pixels reads still work) or on none. UI thread only.
//
// Each entry reads like
//   Rectangle(0,0,10,10) pen=#000000/1/psSolid/pmCopy brush=#FFFFFF/bsSolid
//   TextOut(4,4,"OK") font="Arial"/-12/#000000/0 brush=#FFFFFF/bsClear
// with colours as #RRGGBB after system colours are resolved.
#pragma once
#include <string>
#include <vector>

#include "platform/gfx/Canvas.h"

namespace gfx {

class TRecordingCanvas : public TCanvas {
public:
    // width x height 0: nothing is painted, only recorded.
    TRecordingCanvas(int width = 0, int height = 0);

    const std::vector<std::string>& Log() const { return log_; }
    // All entries joined by newlines.
    std::string Text() const;
    void ClearLog() { log_.clear(); }

    void MoveTo(int32_t x, int32_t y) override;
    void LineTo(int32_t x, int32_t y) override;
    void Polyline(std::span<const TPoint> points) override;
    void Polygon(std::span<const TPoint> points, bool winding = false) override;
    void Rectangle(int32_t l, int32_t t, int32_t r, int32_t b) override;
    using TCanvas::Rectangle;
    void RoundRect(int32_t l, int32_t t, int32_t r, int32_t b, int32_t w, int32_t h) override;
    void Ellipse(int32_t l, int32_t t, int32_t r, int32_t b) override;
    using TCanvas::Ellipse;
    void Arc(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3, int32_t x4,
             int32_t y4) override;
    void Pie(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3, int32_t x4,
             int32_t y4) override;
    void Chord(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3, int32_t x4,
               int32_t y4) override;
    void FillRect(const TRect& r) override;
    void FrameRect(const TRect& r) override;
    void DrawFocusRect(const TRect& r) override;
    void FloodFill(int32_t x, int32_t y, TColor color, TFillStyle style) override;
    void SetPixel(int32_t x, int32_t y, TColor color) override;
    void TextOut(int32_t x, int32_t y, const std::string& text) override;
    void TextRect(const TRect& r, int32_t x, int32_t y, const std::string& text) override;
    int32_t DrawText(const std::string& text, TRect& r, unsigned flags) override;
    void DrawImage(const QImage& src, const TRect& srcRect, const TRect& dest,
                   TColor transparentKey = clNone) override;

    QImage* Surface() override { return image_.isNull() ? nullptr : &image_; }

private:
    void record(const std::string& call, bool pen, bool brush, bool font = false);
    QImage image_;
    std::vector<std::string> log_;
    int nested_ = 0;  // calls made by other recorded calls are not logged again
};

}  // namespace gfx
