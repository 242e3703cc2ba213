// Text output for the jacket designer and the splash: text drawn with the canvas's font
// turned by an angle, on a box of the brush colour or without one.
// UI thread only (it draws on the canvas).
#pragma once

#include <string>

#include "platform/gfx/Colors.h"

namespace gfx {
class TCanvas;
}

// Draws Text with the top-left of its cell at (X, Y), the canvas font turned Angle degrees
// counter-clockwise about that corner (the font keeps the angle afterwards). Without a box
// (clear brush) when the brush is white or KeepColor, else on a box of the brush colour.
void TextOutRotated(gfx::TCanvas& Canvas, int Angle, int X, int Y, const std::string& Text,
                    gfx::TColor KeepColor);
