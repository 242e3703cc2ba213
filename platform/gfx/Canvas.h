// `TCanvas`: the drawing surface every control, visual mode and picture draws through, with
// the platform rules the drawing code was written against:
//  - no antialiasing; Rectangle, FillRect, FrameRect, Ellipse, RoundRect, Pie and Chord cover
//    Left..Right-1 and Top..Bottom-1 (right and bottom edges excluded); a 1-px pen outlines
//    inside that box and the brush fills the rest (without a pen the filled box shrinks by
//    one pixel on the right and bottom);
//  - MoveTo/LineTo keep a pen position, and a line does not paint its end point;
//  - a 1-px pen's style (dash, dot, dash-dot, dash-dot-dot) patterns every line and outline,
//    running on along a polyline and around a figure; its gaps show the figure's brush inside
//    the figure and leave the rest untouched; wider pens draw solid;
//  - the pen mode (copy, XOR, NOT, merge, ...) applies to outlines and shape fills, each pixel
//    of a primitive touched once, so an XOR figure drawn twice vanishes;
//  - coordinates are 32-bit; lines and shapes towards far-away points are clipped in 64-bit
//    arithmetic before rasterising, so they still cross the visible area where they should;
//  - TextOut puts the top-left of the character cell at (x, y), on an opaque brush-coloured
//    box unless the brush style is bsClear;
//  - Pixels outside the surface (or the clip) read as -1 and are ignored when written.
// Pixel-exact primitives are rasterised here; text and wide pens go through QPainter.
//
// A canvas draws on a QImage (a bitmap's painting view, a control's backing image). It owns
// its pen, brush and font. Subclasses supply the surface (`Surface`) and hear of each change
// (`Changed`); the recording canvas logs the calls. UI thread only.
#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include <QImage>
#include <QRegion>

class QPainter;
class QPicture;

#include "platform/gfx/DrawTools.h"
#include "platform/gfx/Geometry.h"

namespace gfx {

class TGraphic;

struct TSize {
    int32_t cx = 0;
    int32_t cy = 0;
};

enum TFillStyle { fsSurface, fsBorder };

// Ternary raster operations of CopyRect/Draw (P brush, S source, D destination).
using TCopyMode = uint32_t;
constexpr TCopyMode cmBlackness = 0x00000042, cmDstInvert = 0x00550009,
    cmMergeCopy = 0x00C000CA, cmMergePaint = 0x00BB0226, cmNotSrcCopy = 0x00330008,
    cmNotSrcErase = 0x001100A6, cmPatCopy = 0x00F00021, cmPatInvert = 0x005A0049,
    cmPatPaint = 0x00FB0A09, cmSrcAnd = 0x008800C6, cmSrcCopy = 0x00CC0020,
    cmSrcErase = 0x00440328, cmSrcInvert = 0x00660046, cmSrcPaint = 0x00EE0086,
    cmWhiteness = 0x00FF0062;

// DrawText flags.
constexpr unsigned DT_LEFT = 0, DT_CENTER = 1, DT_RIGHT = 2, DT_VCENTER = 4, DT_BOTTOM = 8,
    DT_WORDBREAK = 0x10, DT_SINGLELINE = 0x20, DT_EXPANDTABS = 0x40, DT_NOCLIP = 0x100,
    DT_CALCRECT = 0x400, DT_NOPREFIX = 0x800, DT_PATH_ELLIPSIS = 0x4000,
    DT_END_ELLIPSIS = 0x8000;

// DrawEdge edges and sides.
constexpr unsigned BDR_RAISEDOUTER = 1, BDR_SUNKENOUTER = 2, BDR_RAISEDINNER = 4,
    BDR_SUNKENINNER = 8, EDGE_RAISED = 5, EDGE_SUNKEN = 10, EDGE_ETCHED = 6, EDGE_BUMP = 9;
constexpr unsigned BF_LEFT = 1, BF_TOP = 2, BF_RIGHT = 4, BF_BOTTOM = 8, BF_RECT = 15,
    BF_MIDDLE = 0x800, BF_ADJUST = 0x2000, BF_FLAT = 0x4000, BF_MONO = 0x8000;

class TCanvas {
public:
    TCanvas();
    explicit TCanvas(QImage* target);  // draws on target; none: every call draws nothing
    virtual ~TCanvas();
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    TPen& Pen() { return pen_; }
    TBrush& Brush() { return brush_; }
    TFont& Font() { return font_; }
    const TPen& Pen() const { return pen_; }
    const TBrush& Brush() const { return brush_; }
    const TFont& Font() const { return font_; }
    TCopyMode CopyMode() const { return copyMode_; }
    void SetCopyMode(TCopyMode m) { copyMode_ = m; }
    TPoint PenPos() const { return penPos_; }
    void SetPenPos(TPoint p) { penPos_ = p; }

    virtual void MoveTo(int32_t x, int32_t y);
    virtual void LineTo(int32_t x, int32_t y);
    virtual void Polyline(std::span<const TPoint> points);
    // Alternate fill, or nonzero winding when `winding` is set.
    virtual void Polygon(std::span<const TPoint> points, bool winding = false);
    virtual void Rectangle(int32_t l, int32_t t, int32_t r, int32_t b);
    void Rectangle(const TRect& r) { Rectangle(r.Left, r.Top, r.Right, r.Bottom); }
    virtual void RoundRect(int32_t l, int32_t t, int32_t r, int32_t b, int32_t w, int32_t h);
    virtual void Ellipse(int32_t l, int32_t t, int32_t r, int32_t b);
    void Ellipse(const TRect& r) { Ellipse(r.Left, r.Top, r.Right, r.Bottom); }
    // Box (x1, y1)-(x2, y2); the figure runs counter-clockwise from the ray through (x3, y3)
    // to the ray through (x4, y4).
    virtual void Arc(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3,
                     int32_t x4, int32_t y4);
    virtual void Pie(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3,
                     int32_t x4, int32_t y4);
    virtual void Chord(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3,
                       int32_t x4, int32_t y4);
    // Brush only, copy mode, no pen.
    virtual void FillRect(const TRect& r);
    virtual void FrameRect(const TRect& r);
    // A dotted XOR frame; drawing it twice removes it.
    virtual void DrawFocusRect(const TRect& r);
    // 3-D borders in the system colours; with BF_ADJUST the rectangle shrinks past them.
    virtual void DrawEdge(TRect& r, unsigned edge, unsigned flags);
    virtual void FloodFill(int32_t x, int32_t y, TColor color, TFillStyle style);

    virtual TColor Pixels(int32_t x, int32_t y);
    virtual void SetPixel(int32_t x, int32_t y, TColor color);

    virtual void TextOut(int32_t x, int32_t y, const std::string& text);
    // Text at (x, y) clipped to r; the brush fills r first unless it is bsClear.
    virtual void TextRect(const TRect& r, int32_t x, int32_t y, const std::string& text);
    // DT_* layout of text in r: alignment, single line or word break, "&" prefixes (the
    // letter after "&" underlined, "&&" a plain "&"), end or path ellipsis. Returns the
    // height of the text; with DT_CALCRECT only measures, widening/heightening r.
    virtual int32_t DrawText(const std::string& text, TRect& r, unsigned flags);
    TSize TextExtent(const std::string& text);
    int32_t TextWidth(const std::string& text) { return TextExtent(text).cx; }
    int32_t TextHeight(const std::string& text) { return TextExtent(text).cy; }

    virtual void Draw(int32_t x, int32_t y, const TGraphic& graphic);
    virtual void StretchDraw(const TRect& dest, const TGraphic& graphic);
    // Nearest-neighbour copy of source's srcRect onto dest, through CopyMode.
    virtual void CopyRect(const TRect& dest, TCanvas& source, const TRect& srcRect);
    // The primitive behind Draw/StretchDraw/CopyRect: nearest-neighbour, CopyMode applied;
    // source pixels equal to `transparentKey` (unless clNone) are skipped.
    virtual void DrawImage(const QImage& src, const TRect& srcRect, const TRect& dest,
                           TColor transparentKey = clNone);
    // Plays recorded vector commands (a metafile's), their frame stretched onto dest; what
    // lies past the frame is drawn at the same scale (the canvas's own clip still holds).
    virtual void DrawPicture(const QPicture& picture, const TRect& frame, const TRect& dest);

    // Clipping: a rectangle or region in surface coordinates; ClipRect is the bounding box of
    // what may be drawn.
    void SetClipRect(const TRect& r);
    void SetClipRegion(const QRegion& region);
    void ClearClip();
    TRect ClipRect();
    bool HasClip() const { return hasClip_; }

    // The image drawn on (none: nothing is drawn).
    virtual QImage* Surface() { return target_; }
    void SetSurface(QImage* target) { target_ = target; }
    // Expires when the canvas is destroyed, so that a drawing kept for later (an animation
    // painter's target) can tell that its canvas is gone. Checked on the UI thread.
    std::weak_ptr<const void> Lifetime() const { return alive_; }

protected:
    // Called after every drawing call that may have changed pixels.
    virtual void Changed() {}

private:
    friend struct CanvasRaster;
    TPen pen_;
    TBrush brush_;
    TFont font_;
    TCopyMode copyMode_ = cmSrcCopy;
    TPoint penPos_;
    QImage* target_ = nullptr;
    bool hasClip_ = false;
    QRegion clip_;
    std::shared_ptr<const int> alive_ = std::make_shared<const int>(0);
};

// Plays picture on painter with its frame stretched onto dest (no clip of its own).
void PlayPicture(QPainter& painter, const QPicture& picture, const TRect& frame, const TRect& dest);

}  // namespace gfx
