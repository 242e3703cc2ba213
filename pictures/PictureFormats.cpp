#include "pictures/PictureFormats.h"

#include "pictures/gif/GIFImage.h"
#include "pictures/png/pngimage.h"
#include "platform/gfx/Picture.h"

void RegisterPictureFormats()
{
    UnregisterPictureFormats();
    gfx::TPicture::RegisterFileFormat("gif", "GIF Image", &TGIFImage::ClassInfo);
    gfx::TPicture::RegisterFileFormat("png", "Portable Network Graphics", &png::TPNGObject::ClassInfo);
}

void UnregisterPictureFormats()
{
    gfx::TPicture::UnregisterGraphicClass(&png::TPNGObject::ClassInfo);
    gfx::TPicture::UnregisterGraphicClass(&TGIFImage::ClassInfo);
}
