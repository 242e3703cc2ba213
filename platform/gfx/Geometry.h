// Points and rectangles as the drawing code passes them: `TRect` holds Left, Top, Right and
// Bottom, with Right and Bottom excluded from the area (a rectangle (0, 0, 2, 2) covers four
// pixels). Plain values; any thread.
#pragma once
#include <cstdint>

namespace gfx {

struct TPoint {
    int32_t X = 0;
    int32_t Y = 0;
    friend bool operator==(const TPoint&, const TPoint&) = default;
};

struct TRect {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Right = 0;
    int32_t Bottom = 0;
    int32_t Width() const { return Right - Left; }
    int32_t Height() const { return Bottom - Top; }
    bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    bool Contains(int32_t x, int32_t y) const
    {
        return x >= Left && x < Right && y >= Top && y < Bottom;
    }
    friend bool operator==(const TRect&, const TRect&) = default;
};

constexpr TPoint Point(int32_t x, int32_t y) { return {x, y}; }
constexpr TRect Rect(int32_t l, int32_t t, int32_t r, int32_t b) { return {l, t, r, b}; }
constexpr TRect Bounds(int32_t l, int32_t t, int32_t w, int32_t h) { return {l, t, l + w, t + h}; }

// GDI's InflateRect / OffsetRect / IntersectRect.
TRect InflateRect(TRect r, int32_t dx, int32_t dy);
TRect OffsetRect(TRect r, int32_t dx, int32_t dy);
TRect IntersectRect(const TRect& a, const TRect& b);  // empty (all 0) when they do not meet

}  // namespace gfx
