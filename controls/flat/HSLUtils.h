// Conversions between RGB colours and hue, saturation and luminance: in floating point
// (each 0..1) and on the integer scale of 240 (hue 0..239, saturation and luminance 0..240)
// that the flat controls use to derive their colours from a parent's colour. Channels that
// come out of range are clamped to 0..255. Pure functions; any thread.
#pragma once
#include "platform/gfx/Colors.h"

namespace controls {

constexpr int HSLRange = 240;

void RGBtoHSL(gfx::TColor color, double& h, double& s, double& l);
gfx::TColor HSLtoRGB(double h, double s, double l);
// One channel from the two HSL helper values and a hue (brought into 0..1), 0..255.
int HueToChannel(double m1, double m2, double h);
void RGBtoHSLRange(gfx::TColor color, int& h, int& s, int& l);
gfx::TColor HSLRangeToRGB(int h, int s, int l);

}  // namespace controls
