#include "controls/flat/HSLUtils.h"

#include <algorithm>
#include <cmath>

#include "platform/rtl/Numerics.h"

namespace controls {

void RGBtoHSL(gfx::TColor color, double& h, double& s, double& l)
{
    color = gfx::ColorToRGB(color);
    const double r = gfx::GetRValue(color) / 255.0, g = gfx::GetGValue(color) / 255.0,
                 b = gfx::GetBValue(color) / 255.0;
    const double mx = std::max({r, g, b}), mn = std::min({r, g, b});
    l = (mx + mn) / 2;
    if (mx == mn) {
        h = s = 0;
        return;
    }
    const double delta = mx - mn;
    s = l < 0.5 ? delta / (mx + mn) : delta / (2 - mx - mn);
    if (r == mx)
        h = (g - b) / delta;
    else if (g == mx)
        h = 2 + (b - r) / delta;
    else
        h = 4 + (r - g) / delta;
    h /= 6;
    if (h < 0)
        h += 1;
}

int HueToChannel(double m1, double m2, double h)
{
    if (!std::isfinite(h))
        h = 0;
    h -= std::floor(h);  // into 0..1
    double v;
    if (6 * h < 1)
        v = m1 + (m2 - m1) * h * 6;
    else if (2 * h < 1)
        v = m2;
    else if (3 * h < 2)
        v = m1 + (m2 - m1) * (2.0 / 3 - h) * 6;
    else
        v = m1;
    return int(std::clamp<int64_t>(rtl::Round(std::clamp(255 * v, -1.0, 256.0)), 0, 255));
}

gfx::TColor HSLtoRGB(double h, double s, double l)
{
    if (s == 0) {
        const int g = int(std::clamp<int64_t>(rtl::Round(std::clamp(255 * l, -1.0, 256.0)), 0, 255));
        return gfx::RGB(g, g, g);
    }
    const double m2 = l <= 0.5 ? l * (1 + s) : l + s - l * s;
    const double m1 = 2 * l - m2;
    return gfx::RGB(HueToChannel(m1, m2, h + 1.0 / 3), HueToChannel(m1, m2, h),
                    HueToChannel(m1, m2, h - 1.0 / 3));
}

void RGBtoHSLRange(gfx::TColor color, int& h, int& s, int& l)
{
    double hh, ss, ll;
    RGBtoHSL(color, hh, ss, ll);
    h = int(rtl::Round((HSLRange - 1) * hh));
    s = int(rtl::Round(HSLRange * ss));
    l = int(rtl::Round(HSLRange * ll));
}

gfx::TColor HSLRangeToRGB(int h, int s, int l)
{
    return HSLtoRGB(h / double(HSLRange - 1), s / double(HSLRange), l / double(HSLRange));
}

}  // namespace controls
