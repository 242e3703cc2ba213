// Text measuring and output for the jacket designer, its font dialog and the splash: the
// Shift-JIS codes of a text's first and last characters, how far the ink of slanted or
// overhanging glyphs reaches past the text's cells (so that it is not cut), and text drawn
// with the canvas's font turned by an angle, on a box of the brush colour or without one.
// Texts are UTF-8. UI thread only (fonts are Qt objects).
#pragma once

#include <string>

#include "platform/gfx/Colors.h"

namespace gfx {
class TCanvas;
}

// The Shift-JIS code of the first (last) character: lead byte x 256 + trail byte, or the
// single byte; a character Shift-JIS cannot hold counts as its code point; 0 for "".
int FirstCharCode(const std::string& Text);
int LastCharCode(const std::string& Text);

// How far the ink of the first character reaches left of its cell, and that of the last
// character right of its cell, in pixels of the canvas's font (0 or more).
int LeadingOverhang(gfx::TCanvas& Canvas, const std::string& Text);
int TrailingOverhang(gfx::TCanvas& Canvas, const std::string& Text);
// The canvas's text width plus both overhangs: the width of the ink, cells included.
int ExactTextWidth(gfx::TCanvas& Canvas, const std::string& Text);

// Draws Text with the top-left of its cell at (X, Y), the canvas font turned Angle degrees
// counter-clockwise about that corner (the font keeps the angle afterwards). Without a box
// (clear brush) when the brush is white or KeepColor, else on a box of the brush colour.
void TextOutRotated(gfx::TCanvas& Canvas, int Angle, int X, int Y, const std::string& Text,
                    gfx::TColor KeepColor);
