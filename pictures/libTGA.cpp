#include "pictures/libTGA.h"

#include "bitmap64/Bitmap64.h"
#include "platform/gfx/Bitmap.h"
#include "platform/rtl/Streams.h"

void SaveGraphicAsTga(const gfx::TGraphic& Graphic, const std::string& FileName)
{
    if (Graphic.Empty())
        throw gfx::EInvalidGraphicOperation("Cannot save an empty picture as Targa");
    gfx::TBitmap bitmap;
    if (const auto* b = dynamic_cast<const gfx::TBitmap*>(&Graphic))
        bitmap.Assign(*b);
    else
        Graphic.AssignTo(bitmap);
    bitmap.SetPixelFormat(gfx::pf24bit);
    rtl::TMemoryStream bmp;
    bitmap.SaveToStream(bmp);
    bmp.SetPosition(0);
    bitmap64::TBitmap64 b64(0, 0, 15);
    b64.LoadFromBMP(bmp);
    b64.SaveToTGA(FileName);
}
