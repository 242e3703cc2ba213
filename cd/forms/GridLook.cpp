#include "cd/forms/GridLook.h"

#include "platform/gfx/DrawTools.h"

namespace {
constexpr int MinFitPixels = 8;  // smaller letters are no longer legible
}

void DrawGridCell(controls::TStringGrid& Grid, const TGridLook& Look, int Col, int Row, const gfx::TRect& Rect,
                  bool Selected)
{
    gfx::TCanvas& c = Grid.Canvas();
    c.Brush().SetColor(gfx::clBlack);
    c.FillRect(Rect);
    if (Col < 0 || Col >= Look.Columns || Rect.Right <= Rect.Left)
        return;
    c.Font().SetName(gfx::MapFontName(Look.FontNames[Col]));
    c.Font().SetSize(9);
    c.Font().SetColor(Look.Colors[Col]);
    c.Brush().SetStyle(gfx::bsClear);
    const int inset = Col == 1 ? 4 : 2;
    const std::string& text = Grid.Cells(Col, Row);
    if (Col == Look.FitColumn) {
        // The substitute face's digits are wider than those the column was sized for; the
        // outline's pixel at the right stays clear.
        const int room = Rect.Right - Rect.Left - inset - 1;
        for (int px = -c.Font().Height(); px > MinFitPixels && c.TextWidth(text) > room;)
            c.Font().SetHeight(-(--px));
    }
    c.TextOut(Rect.Left + inset, Rect.Top + 1, text);
    if (!Selected)
        return;
    // One outline around the whole row: top and bottom in every cell, the sides at the ends.
    c.Pen().SetColor(Look.Outline);
    c.MoveTo(Rect.Left, Rect.Top);
    c.LineTo(Rect.Right, Rect.Top);
    c.MoveTo(Rect.Left, Rect.Bottom - 1);
    c.LineTo(Rect.Right, Rect.Bottom - 1);
    if (Col == 0) {
        c.MoveTo(Rect.Left, Rect.Top);
        c.LineTo(Rect.Left, Rect.Bottom);
    }
    if (Col == Look.Columns - 1) {
        c.MoveTo(Rect.Right - 1, Rect.Top);
        c.LineTo(Rect.Right - 1, Rect.Bottom);
    }
}
