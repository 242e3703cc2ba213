// `TIconGraphic`: the graphic class the picture class loads ".ico" files with. It takes the
// icon's first image as the picture front end does: a first image of 32 bits per pixel
// through the 32-bit decoder, any other through the general icon reader (composed on white
// with its mask). An icon with no readable first image raises EInvalidGraphic. Saving writes
// the picture as a BMP, as any bitmap does. One thread at a time.
#pragma once

#include "platform/gfx/Bitmap.h"

class TIconGraphic : public gfx::TBitmap {
public:
    static const gfx::TGraphicClassInfo ClassInfo;
    gfx::TGraphicClass ClassType() const override { return &ClassInfo; }
    void LoadFromStream(rtl::TStream& Stream) override;
};
