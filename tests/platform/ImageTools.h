// Reading pictures back through ImageMagick, the independent reader our bitmap and JPEG
// files are checked against.
#pragma once
#include <string>
#include <vector>

#include "platform/gfx/Colors.h"

namespace imagetools {

struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<gfx::TColor> colors;  // row by row from the top
    gfx::TColor at(int x, int y) const { return colors[size_t(y) * width + x]; }
};

// The pixels of a picture file as ImageMagick decodes them (alpha ignored); empty on failure.
Pixels readWithImageMagick(const std::string& path);
// True when two colours differ by at most `tolerance` in each channel.
bool near(gfx::TColor a, gfx::TColor b, int tolerance);

}  // namespace imagetools
