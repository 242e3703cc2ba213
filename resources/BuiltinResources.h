// The program's built-in pictures (the visualiser's figures, sprites and scenes and the splash
// window's logo, the controls' glyphs), stored in this static library as Qt resources under
// ":/pictures/", named as stored: B01.bmp .. B05.bmp, G01.gif .. G03.gif, J01.jpg, J02.jpg,
// D01.jpg .. D06.jpg; the spin buttons' arrows FlatUp.bmp and FlatDown.bmp and the font
// picker's kind icons FONTTRUETYPEANSI.bmp, FONTTRUETYPESYMBOL.bmp and FONTRASTER.bmp; the picture
// dialog's full-preview button PREVIEWGLYPH.bmp.
//
// A static library's resources reach the resource system only once they are registered, so
// whoever loads a built-in picture calls initBuiltinResources() first. Any thread; repeated
// calls do nothing.
#pragma once
#include <string>

namespace gfx {
class TBitmap;
}

void initBuiltinResources();

// The built-in bitmap ":/pictures/<name>.bmp" into `target` (registering the resources
// first); false, and `target` untouched, when there is none.
bool LoadBuiltinBitmap(gfx::TBitmap& target, const std::string& name);
