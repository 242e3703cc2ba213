// `GIFException`: what the GIF codec and its colour reduction raise (bad dimensions, an
// unsupported pixel format, an empty bitmap list, bad GIF data). It is an invalid-graphic
// error, so callers that catch every picture failure catch it too.
#pragma once

#include "platform/gfx/Graphic.h"

class GIFException : public gfx::EInvalidGraphic {
public:
    using gfx::EInvalidGraphic::EInvalidGraphic;
};
