// Saving any picture as a 16-bit Targa file: the picture as a 24-bit bitmap, converted in
// memory to 5-5-5 pixels by the memory bitmap (TBitmap64) and written by it, bottom row
// first. No work file: the conversion goes through a BMP in memory, and the target is
// replaced only once complete. UI thread (pictures may draw themselves to be converted).
#pragma once
#include <string>

#include "platform/gfx/Graphic.h"

// Errors of the conversion and the write pass to the caller (bitmap64::EInOutError, stream
// errors); a picture without pixels raises gfx::EInvalidGraphicOperation.
void SaveGraphicAsTga(const gfx::TGraphic& Graphic, const std::string& FileName);
