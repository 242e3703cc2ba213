// Small enumerations that the standard controls of this folder share with the rest of the
// toolkit: text alignment, vertical text layout and the glyph placement of buttons.
// Plain values.
#pragma once

namespace controls {

enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TTextLayout { tlTop, tlCenter, tlBottom };
enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };

}  // namespace controls
