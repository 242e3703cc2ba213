// Small enumerations that the standard controls of this folder share with the rest of the
// toolkit: text alignment, vertical text layout and the glyph placement of buttons; and the
// step of a mouse-wheel turn as the controls report it. Plain values.
#pragma once
#include <QWheelEvent>

namespace controls {

enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TTextLayout { tlTop, tlCenter, tlBottom };
enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };

// +1 for a wheel turned toward the user, -1 away, 0 for no vertical turn.
inline int WheelStep(const QWheelEvent* e)
{
    const int delta = e->angleDelta().y();
    return delta < 0 ? 1 : delta > 0 ? -1 : 0;
}

}  // namespace controls
