// Drawing routines shared by the flat-look controls: the two-colour 3-D frame, the parent's
// background under a transparent control, the disabled (embossed) glyph, the advanced-colour
// rule that derives a control's colours from its parent's colour, the glyph-and-caption layout
// of buttons, and font height helpers. UI thread only (canvases and fonts).
#pragma once
#include <memory>
#include <string>

#include <QFontMetrics>
#include <QWidget>

#include "controls/common/ControlTypes.h"
#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Canvas.h"

namespace controls {

// Luminance offset of the advanced colours, 0..100.
using TAdvColors = int;
enum TCheckBoxLayout { checkboxLeft, checkboxRight };
enum TTransparentMode { tmAlways, tmNotFocused, tmNone };

// Draws `width` nested frames (top and left edges in `topColor`, right and bottom edges in
// `bottomColor`) inside `rect`, which comes back shrunk by `width` on every side.
void Frame3D(gfx::TCanvas& canvas, TRect& rect, TColor topColor, TColor bottomColor, int width);

// Paints the parent's own background (not its other children) under `control` onto `canvas`,
// whose origin is the control's top-left corner. Nothing without a parent.
void DrawParentImage(QWidget& control, gfx::TCanvas& canvas);

// A glyph-sized bitmap in `backColor` with the glyph's shape (every pixel other than
// `transparentColor`) stamped in `shadowColor`, over the same shape in `highlightColor` one
// pixel down and right when `drawHighlight`.
std::unique_ptr<gfx::TBitmap> CreateDisabledBitmap(const gfx::TBitmap& glyph, TColor transparentColor,
                                                   TColor backColor, TColor highlightColor,
                                                   TColor shadowColor, bool drawHighlight);

// `ownColor` when `percent` is 0; otherwise the parent's colour on the 240 scale with its
// luminance raised by 10 and then lowered by `percent` (not below 0) when `darker`, or raised
// by it and capped at 100 when lighter.
TColor CalcAdvancedColor(TColor parentColor, TColor ownColor, TAdvColors percent, bool darker);

// Places a glyph (one of `numGlyphs` side by side in `glyph`, none when null or empty) and a
// single-line caption inside `client`. Margin -1 centres (with Spacing -1: margin and spacing
// split the free room in three); Spacing -1 with a given Margin centres the text in the room
// beyond the glyph. Both results are moved by the client's origin and `offset`.
void CalcButtonLayout(gfx::TCanvas& canvas, const TRect& client, gfx::TPoint offset,
                      const std::string& caption, TButtonLayout layout, int margin, int spacing,
                      gfx::TPoint& glyphPos, TRect& textBounds, const gfx::TBitmap* glyph,
                      int numGlyphs);

// The font's metrics on the screen, and its height plus an eighth (rounded).
QFontMetrics GetFontMetrics(const QFont& font);
int GetFontHeight(const QFont& font);

// Whether the two rectangles meet.
bool RectInRect(const TRect& r1, const TRect& r2);

}  // namespace controls
