#include "ImageTools.h"

#include <cstdio>
#include <sstream>

#include "support/TestSupport.h"

namespace imagetools {

Pixels readWithImageMagick(const std::string& path)
{
    Pixels p;
    const auto r = testsupport::runCommand("convert", {path, "-alpha", "off", "-depth", "8", "txt:-"});
    if (r.exitCode != 0)
        return p;
    std::istringstream in(r.out);
    std::string line;
    std::getline(in, line);  // "# ImageMagick pixel enumeration: W,H,..."
    if (std::sscanf(line.c_str(), "# ImageMagick pixel enumeration: %d,%d", &p.width, &p.height) != 2)
        return {};
    p.colors.assign(size_t(p.width) * p.height, -1);
    while (std::getline(in, line)) {
        int x, y;
        const size_t hash = line.find('#');
        if (std::sscanf(line.c_str(), "%d,%d:", &x, &y) != 2 || hash == std::string::npos ||
            x < 0 || y < 0 || x >= p.width || y >= p.height)
            continue;
        unsigned rgb = 0;
        std::sscanf(line.c_str() + hash + 1, "%6x", &rgb);
        p.colors[size_t(y) * p.width + x] = gfx::RGB(int(rgb >> 16), int((rgb >> 8) & 255), int(rgb & 255));
    }
    return p;
}

bool near(gfx::TColor a, gfx::TColor b, int t)
{
    return std::abs(gfx::GetRValue(a) - gfx::GetRValue(b)) <= t &&
           std::abs(gfx::GetGValue(a) - gfx::GetGValue(b)) <= t &&
           std::abs(gfx::GetBValue(a) - gfx::GetBValue(b)) <= t;
}

}  // namespace imagetools
