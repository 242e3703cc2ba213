#include "labels/libText.h"

#include "platform/gfx/Canvas.h"

void TextOutRotated(gfx::TCanvas& Canvas, int Angle, int X, int Y, const std::string& Text,
                    gfx::TColor KeepColor)
{
    Canvas.Font().SetOrientation(Angle * 10);
    const gfx::TColor brush = Canvas.Brush().Color();
    Canvas.Brush().SetStyle(brush == gfx::clWhite || brush == KeepColor ? gfx::bsClear : gfx::bsSolid);
    Canvas.TextOut(X, Y, Text);
}
