#include "cd/forms/PanelLook.h"

namespace {
constexpr gfx::TColor LightText = 0xE8E8E8;
}

void DressDarkCheckBox(controls::TFlatCheckBox& Box, gfx::TColor Face)
{
    Box.SetColor(Face);
    Box.SetParentFont(false);
    Box.Font().SetColor(LightText);
    Box.SetColors(2, LightText);  // the tick
}
