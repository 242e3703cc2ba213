// Fixtures of the picture tests: icons made by icoutils' icotool and ImageMagick from
// pictures ImageMagick draws, the reference pixels those tools give back, and the folder
// where tests leave pictures for a person to look at.
#pragma once

#include "platform/gfx/Bitmap.h"
#include "support/TestSupport.h"

#include <QImage>
#include <QString>

#include <string>
#include <vector>

namespace picturefixtures {

// Whether icotool and ImageMagick's convert are there (each test skips without them).
bool haveTools();

// Draws a w x h RGBA picture with see-through corners, a gradient body and a few flat shapes,
// varied by `seed`, as a PNG: `colors` 2 or 16 gives a palette PNG of at most that many
// colours (what icotool needs for 1 and 4 bits), 0 a full-colour one.
std::string drawPicture(const testsupport::TempDir& dir, const std::string& name, int w, int h, int seed,
                        int colors);

// `icotool -c` of the PNGs at `bits` bits per pixel (0: let icotool choose), with the `raw`
// PNGs stored as they are; the icon's path.
std::string makeIcon(const testsupport::TempDir& dir, const std::string& name, const std::vector<std::string>& pngs,
                     int bits, const std::vector<std::string>& raw = {});

// `icotool -x` of image `index` (from 1) of the icon, as ARGB32.
QImage extract(const testsupport::TempDir& dir, const std::string& icon, int index);

// The picture as it shows on white: transparent pixels white, the rest their own colour.
QImage flattenOnWhite(const QImage& image);

// The first pixel (x, y) where the bitmap differs from the image ("" when none, or a note of
// the sizes when they differ), comparing colours only.
std::string firstDifference(const gfx::TBitmap& bitmap, const QImage& image);

// build/pictures-look, made when missing: pictures a person looks at after the tests.
QString lookDir();

}  // namespace picturefixtures
