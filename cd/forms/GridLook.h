// The black track grids of the CD windows: a font and a colour per column, 9-point text, and
// a one-pixel outline around the selected row.
#pragma once

#include "controls/std/StringGrid.h"

struct TGridLook {
    int Columns;                  // columns drawn; the outline closes after the last
    const char* const* FontNames;  // per column
    const gfx::TColor* Colors;    // per column, 0x00BBGGRR
    gfx::TColor Outline = 0x808080;
    int FitColumn = -1;           // a column of fixed-length codes, drawn smaller if they overflow
};

// Paints one cell of Grid; text 2 pixels in (4 in column 1). Text in FitColumn that would run
// past its cell steps down a pixel at a time until it fits.
void DrawGridCell(controls::TStringGrid& Grid, const TGridLook& Look, int Col, int Row, const gfx::TRect& Rect,
                  bool Selected);
