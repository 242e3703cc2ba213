// The dark faces of the CD player and ripper windows and the check boxes that sit on them.
#pragma once

#include "controls/flat/TFlatCheckBoxUnit.h"

// Puts Box on the dark Face with a light caption and a light tick; the box's own black tick
// would vanish into the face.
void DressDarkCheckBox(controls::TFlatCheckBox& Box, gfx::TColor Face);
