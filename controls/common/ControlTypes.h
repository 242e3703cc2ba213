// Small types and helpers that several control families share: the glyph layout of buttons,
// text alignment, the styles of combo boxes and borders, and the "&x" accelerator test of
// captions.
// Plain values; UI thread callers.
#pragma once
#include <string>

class QWidget;
namespace gfx {
class TCanvas;
}

#include "platform/gfx/Colors.h"
#include "platform/gfx/Geometry.h"

namespace controls {

using gfx::TColor;
using gfx::TRect;

enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
enum TAlignment { taLeftJustify, taRightJustify, taCenter };
// The edit styles (csDropDown, csSimple) have an edit; the others are pick-only lists.
enum TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };
// The frame of a list or grid: none, or a sunken edge.
enum TBorderStyle { bsNone, bsSingle };

// Whether `ch` (already upper-cased, as the form hands it over) is the accelerator of
// `caption`: the character after a single "&" ("&&" is a literal ampersand).
bool IsAccel(char32_t ch, const std::string& caption);

// Tells every control of `control`'s window that the focus moved, so that a button that
// became or stopped being the default one repaints.
void NotifyFocusChanged(QWidget& control);

// The focus mark of every control of ours: a solid one-pixel frame, black over a light
// background and white over a dark one, so that the control the keyboard reaches stands out
// (a dotted XOR frame hardly shows on gradients and dark faces).
TColor FocusMarkColor(TColor Back);
void DrawFocusMark(gfx::TCanvas& C, const TRect& R, TColor Back);
// The same over what C already shows just inside R's top left corner.
void DrawFocusMark(gfx::TCanvas& C, const TRect& R);

}  // namespace controls
