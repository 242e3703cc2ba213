#include "pictures/PictureFormats.h"

#include "pictures/gif/GIFImage.h"
#include "pictures/png/pngimage.h"
#include "platform/gfx/Metafile.h"
#include "platform/gfx/Picture.h"

void RegisterPictureFormats()
{
    UnregisterPictureFormats();
    gfx::TPicture::RegisterFileFormat("gif", "GIF Image", &TGIFImage::ClassInfo);
    gfx::TPicture::RegisterFileFormat("png", "Portable Network Graphics", &png::TPNGObject::ClassInfo);
    gfx::TPicture::RegisterFileFormat("wmf", "Windows metafiles", &gfx::TMetafile::ClassInfo);
    gfx::TPicture::RegisterFileFormat("emf", "Windows enhanced meta files", &gfx::TMetafile::ClassInfo);
}

void UnregisterPictureFormats()
{
    gfx::TPicture::UnregisterGraphicClass(&png::TPNGObject::ClassInfo);
    gfx::TPicture::UnregisterGraphicClass(&gfx::TMetafile::ClassInfo);
    gfx::TPicture::UnregisterGraphicClass(&TGIFImage::ClassInfo);
}
