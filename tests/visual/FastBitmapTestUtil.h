// Small helpers for building and reading fast bitmaps in the tests. Coordinates here are
// memory rows (row 0 is the bottom line) unless a name says "picture".
#pragma once

#include "visual/FastBMP.h"

#include <QImage>

#include <array>
#include <cstdint>
#include <initializer_list>
#include <vector>

using Bgr = std::array<std::uint8_t, 3>;

inline Bgr grey(int v)
{
    return {std::uint8_t(v), std::uint8_t(v), std::uint8_t(v)};
}

inline Bgr px(const TFastBMP& bmp, int x, int row)
{
    const std::uint8_t* p = bmp.Pixel(x, row);
    return {p[0], p[1], p[2]};
}

inline void setPx(TFastBMP& bmp, int x, int row, Bgr c)
{
    std::uint8_t* p = bmp.Pixel(x, row);
    p[0] = c[0];
    p[1] = c[1];
    p[2] = c[2];
}

// A bitmap from memory rows of grey levels (rows[0] is memory row 0).
inline void fillGrey(TFastBMP& bmp, std::initializer_list<std::initializer_list<int>> rows)
{
    const int h = int(rows.size());
    const int w = int(rows.begin()->size());
    bmp.SetSize(w, h);
    int y = 0;
    for (const auto& row : rows) {
        int x = 0;
        for (int v : row)
            setPx(bmp, x++, y, grey(v));
        ++y;
    }
}

// The blue level of every pixel of one memory row.
inline std::vector<int> blueRow(const TFastBMP& bmp, int row)
{
    std::vector<int> out;
    for (int x = 0; x < bmp.Width; ++x)
        out.push_back(px(bmp, x, row)[0]);
    return out;
}

// A distinct colour for each pixel, so that any misplaced pixel shows.
inline Bgr tag(int x, int row)
{
    return {std::uint8_t(10 * x + 1), std::uint8_t(10 * row + 2), std::uint8_t(100 + x + row)};
}

inline void fillTagged(TFastBMP& bmp, int w, int h)
{
    bmp.SetSize(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            setPx(bmp, x, y, tag(x, y));
}

inline Bgr imagePx(const QImage& image, int x, int y)
{
    const QRgb c = image.pixel(x, y);
    return {std::uint8_t(qBlue(c)), std::uint8_t(qGreen(c)), std::uint8_t(qRed(c))};
}
