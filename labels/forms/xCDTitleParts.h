// What the designer's source files share: its settings section, the look of its frames and
// editors, the jacket photo's default box, and conversions between the two rectangle kinds.
// UI thread only.
#pragma once

#include "platform/gfx/Colors.h"
#include "platform/gfx/Geometry.h"

#include <QRect>
#include <QSize>

namespace cdlabel::designer {

constexpr const char* Section = "CD_LABEL";
constexpr gfx::TColor FrameColor = 0x808080;
constexpr gfx::TColor RingColor = 0xC8C8C8;
constexpr gfx::TColor EditFocusColor = 0x80FFFF;
constexpr int EditorWidth = 300, EditorHeight = 22;
constexpr QSize JacketPhotoDefault{180, 180};
constexpr int JacketPhotoMargin = 20;

inline QRect rectOf(const gfx::TRect& r) { return {r.Left, r.Top, r.Width(), r.Height()}; }
inline gfx::TRect trectOf(const QRect& r) { return {r.x(), r.y(), r.x() + r.width(), r.y() + r.height()}; }

}  // namespace cdlabel::designer
