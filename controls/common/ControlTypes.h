// Small types and helpers that several control families share: the glyph layout of buttons,
// text alignment, the styles of combo boxes, and the "&x" accelerator test of captions.
// Plain values; UI thread callers.
#pragma once
#include <string>

class QWidget;

#include "platform/gfx/Colors.h"
#include "platform/gfx/Geometry.h"

namespace controls {

using gfx::TColor;
using gfx::TRect;

enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
enum TAlignment { taLeftJustify, taRightJustify, taCenter };
// The edit styles (csDropDown, csSimple) have an edit; the others are pick-only lists.
enum TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };

// Whether `ch` (already upper-cased, as the form hands it over) is the accelerator of
// `caption`: the character after a single "&" ("&&" is a literal ampersand).
bool IsAccel(char32_t ch, const std::string& caption);

// Tells every control of `control`'s window that the focus moved, so that a button that
// became or stopped being the default one repaints.
void NotifyFocusChanged(QWidget& control);

}  // namespace controls
