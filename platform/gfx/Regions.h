// Regions of pixels in the platform's shapes, for clipping, window shapes and region fills:
// rectangles, ellipses and rounded rectangles hold the same pixels the canvas fills for that
// shape with a 1-px pen (right and bottom edges excluded); polygons follow Qt's fill of the
// outline. They are plain QRegions, so they combine with QRegion's operators.
// Pure functions; any thread.
#pragma once
#include <span>

#include <QRegion>

#include "platform/gfx/Geometry.h"

namespace gfx {

QRegion CreateRectRgn(int32_t l, int32_t t, int32_t r, int32_t b);
QRegion CreateEllipticRgn(int32_t l, int32_t t, int32_t r, int32_t b);
QRegion CreateRoundRectRgn(int32_t l, int32_t t, int32_t r, int32_t b, int32_t w, int32_t h);
// Alternate fill, or nonzero winding with `winding`.
QRegion CreatePolygonRgn(std::span<const TPoint> points, bool winding);
inline bool PtInRegion(const QRegion& rgn, int32_t x, int32_t y) { return rgn.contains(QPoint(x, y)); }

}  // namespace gfx
