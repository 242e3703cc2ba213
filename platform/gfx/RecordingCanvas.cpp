#include "platform/gfx/RecordingCanvas.h"

#include <cstdio>

namespace gfx {

namespace {
const char* const kPenStyles[] = {"psSolid", "psDash", "psDot", "psDashDot", "psDashDotDot", "psClear", "psInsideFrame"};
const char* const kPenModes[] = {"pmBlack", "pmWhite", "pmNop", "pmNot", "pmCopy", "pmNotCopy",
    "pmMergePenNot", "pmMaskPenNot", "pmMergeNotPen", "pmMaskNotPen", "pmMerge", "pmNotMerge",
    "pmMask", "pmNotMask", "pmXor", "pmNotXor"};
const char* const kBrushStyles[] = {"bsSolid", "bsClear", "bsHorizontal", "bsVertical",
    "bsFDiagonal", "bsBDiagonal", "bsCross", "bsDiagCross"};

std::string hex(TColor c)
{
    c = ColorToRGB(c);
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c));
    return buf;
}

std::string args(std::initializer_list<int64_t> v)
{
    std::string s;
    for (int64_t x : v) {
        if (!s.empty()) s += ',';
        s += std::to_string(x);
    }
    return s;
}

std::string points(std::span<const TPoint> pts)
{
    std::string s;
    for (const auto& p : pts) {
        if (!s.empty()) s += ',';
        s += "(" + std::to_string(p.X) + "," + std::to_string(p.Y) + ")";
    }
    return s;
}

std::string rect(const TRect& r) { return args({r.Left, r.Top, r.Right, r.Bottom}); }
}  // namespace

// Every override logs, then lets the base class paint with logging suspended (so helper calls
// such as DrawEdge's fills, or TextRect's inner fill, appear once).
#define RECORD(call, pen, brush, font, body) \
    do {                                       \
        if (nested_ == 0) record(call, pen, brush, font); \
        ++nested_;                              \
        body;                                   \
        --nested_;                              \
    } while (0)

TRecordingCanvas::TRecordingCanvas(int width, int height)
{
    if (width > 0 && height > 0) {
        image_ = QImage(width, height, QImage::Format_RGB32);
        image_.fill(Qt::white);
    }
}

std::string TRecordingCanvas::Text() const
{
    std::string s;
    for (const auto& l : log_) {
        s += l;
        s += '\n';
    }
    return s;
}

void TRecordingCanvas::record(const std::string& call, bool pen, bool brush, bool font)
{
    std::string line = call;
    if (pen)
        line += " pen=" + hex(Pen().Color()) + "/" + std::to_string(Pen().Width()) + "/" +
                kPenStyles[Pen().Style()] + "/" + kPenModes[Pen().Mode()];
    if (font)
        line += " font=\"" + Font().Name() + "\"/" + std::to_string(Font().Height()) + "/" +
                hex(Font().Color()) + "/" + std::to_string(Font().Style());
    if (brush)
        line += " brush=" + hex(Brush().Color()) + "/" + kBrushStyles[Brush().Style()];
    log_.push_back(line);
}

void TRecordingCanvas::MoveTo(int32_t x, int32_t y)
{
    RECORD("MoveTo(" + args({x, y}) + ")", false, false, false, TCanvas::MoveTo(x, y));
}
void TRecordingCanvas::LineTo(int32_t x, int32_t y)
{
    RECORD("LineTo(" + args({x, y}) + ")", true, false, false, TCanvas::LineTo(x, y));
}
void TRecordingCanvas::Polyline(std::span<const TPoint> p)
{
    RECORD("Polyline(" + points(p) + ")", true, false, false, TCanvas::Polyline(p));
}
void TRecordingCanvas::Polygon(std::span<const TPoint> p, bool winding)
{
    RECORD(std::string(winding ? "PolygonWinding(" : "Polygon(") + points(p) + ")", true, true,
           false, TCanvas::Polygon(p, winding));
}
void TRecordingCanvas::Rectangle(int32_t l, int32_t t, int32_t r, int32_t b)
{
    RECORD("Rectangle(" + args({l, t, r, b}) + ")", true, true, false, TCanvas::Rectangle(l, t, r, b));
}
void TRecordingCanvas::RoundRect(int32_t l, int32_t t, int32_t r, int32_t b, int32_t w, int32_t h)
{
    RECORD("RoundRect(" + args({l, t, r, b, w, h}) + ")", true, true, false,
           TCanvas::RoundRect(l, t, r, b, w, h));
}
void TRecordingCanvas::Ellipse(int32_t l, int32_t t, int32_t r, int32_t b)
{
    RECORD("Ellipse(" + args({l, t, r, b}) + ")", true, true, false, TCanvas::Ellipse(l, t, r, b));
}
void TRecordingCanvas::Arc(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3,
                           int32_t x4, int32_t y4)
{
    RECORD("Arc(" + args({x1, y1, x2, y2, x3, y3, x4, y4}) + ")", true, false, false,
           TCanvas::Arc(x1, y1, x2, y2, x3, y3, x4, y4));
}
void TRecordingCanvas::Pie(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3,
                           int32_t x4, int32_t y4)
{
    RECORD("Pie(" + args({x1, y1, x2, y2, x3, y3, x4, y4}) + ")", true, true, false,
           TCanvas::Pie(x1, y1, x2, y2, x3, y3, x4, y4));
}
void TRecordingCanvas::Chord(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3,
                             int32_t y3, int32_t x4, int32_t y4)
{
    RECORD("Chord(" + args({x1, y1, x2, y2, x3, y3, x4, y4}) + ")", true, true, false,
           TCanvas::Chord(x1, y1, x2, y2, x3, y3, x4, y4));
}
void TRecordingCanvas::FillRect(const TRect& r)
{
    RECORD("FillRect(" + rect(r) + ")", false, true, false, TCanvas::FillRect(r));
}
void TRecordingCanvas::FrameRect(const TRect& r)
{
    RECORD("FrameRect(" + rect(r) + ")", false, true, false, TCanvas::FrameRect(r));
}
void TRecordingCanvas::DrawFocusRect(const TRect& r)
{
    RECORD("DrawFocusRect(" + rect(r) + ")", false, false, false, TCanvas::DrawFocusRect(r));
}
void TRecordingCanvas::FloodFill(int32_t x, int32_t y, TColor color, TFillStyle style)
{
    RECORD("FloodFill(" + args({x, y}) + "," + hex(color) + (style == fsSurface ? ",fsSurface)" : ",fsBorder)"),
           false, true, false, TCanvas::FloodFill(x, y, color, style));
}
void TRecordingCanvas::SetPixel(int32_t x, int32_t y, TColor color)
{
    RECORD("SetPixel(" + args({x, y}) + "," + hex(color) + ")", false, false, false,
           TCanvas::SetPixel(x, y, color));
}
void TRecordingCanvas::TextOut(int32_t x, int32_t y, const std::string& text)
{
    RECORD("TextOut(" + args({x, y}) + ",\"" + text + "\")", false, true, true,
           TCanvas::TextOut(x, y, text));
}
void TRecordingCanvas::TextRect(const TRect& r, int32_t x, int32_t y, const std::string& text)
{
    RECORD("TextRect(" + rect(r) + "," + args({x, y}) + ",\"" + text + "\")", false, true, true,
           TCanvas::TextRect(r, x, y, text));
}
int32_t TRecordingCanvas::DrawText(const std::string& text, TRect& r, unsigned flags)
{
    int32_t h = 0;
    RECORD("DrawText(\"" + text + "\"," + rect(r) + "," + std::to_string(flags) + ")", false, true,
           true, h = TCanvas::DrawText(text, r, flags));
    return h;
}
void TRecordingCanvas::DrawImage(const QImage& src, const TRect& srcRect, const TRect& dest,
                                 TColor key)
{
    RECORD("DrawImage(" + std::to_string(src.width()) + "x" + std::to_string(src.height()) + "," +
               rect(srcRect) + "," + rect(dest) + "," + (key == clNone ? "opaque" : hex(key)) +
               ",mode=" + std::to_string(CopyMode()) + ")",
           false, false, false, TCanvas::DrawImage(src, srcRect, dest, key));
}

}  // namespace gfx
