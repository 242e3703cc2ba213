#include "pictures/PictureFormats.h"

#include "pictures/formats/FileFormatList.h"
#include "pictures/formats/IconGraphic.h"
#include "pictures/formats/CUTGraphic.h"
#include "pictures/formats/PCXGraphic.h"
#include "pictures/formats/PaintShopProGraphic.h"
#include "pictures/formats/PhotoCdGraphic.h"
#include "pictures/formats/PhotoshopGraphic.h"
#include "pictures/formats/PngGraphic.h"
#include "pictures/formats/PortableMapGraphic.h"
#include "pictures/formats/AutodeskGraphic.h"
#include "pictures/formats/RLAGraphic.h"
#include "pictures/formats/SGIGraphic.h"
#include "pictures/formats/TargaGraphic.h"
#include "pictures/formats/TiffGraphic.h"
#include "pictures/gif/GIFImage.h"
#include "pictures/png/pngimage.h"
#include "platform/gfx/Jpeg.h"
#include "platform/gfx/Metafile.h"
#include "platform/gfx/Picture.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace {

struct TFormatRow {
    const char* extension;
    gfx::TGraphicClass graphicClass;
    const char* common;
    const char* individual;
    TFormatKinds kinds;
};

// In registration order; a reader's rows join in their place.
const TFormatRow formatRows[] = {
    {"bmp", &gfx::TBitmap::ClassInfo, "Windows bitmaps", "", fkRaster},
    {"ico", &TIconGraphic::ClassInfo, "Windows icons", "", fkRaster},
    {"wmf", &gfx::TMetafile::ClassInfo, "Windows metafiles", "", fkVector},
    {"emf", &gfx::TMetafile::ClassInfo, "Windows metafiles", "Windows enhanced meta files", fkVector},
    {"jfif", &gfx::TJPEGImage::ClassInfo, "JPG images", "JFIF images", fkRaster},
    {"jpg", &gfx::TJPEGImage::ClassInfo, "", "JPG images", fkRaster},
    {"jpe", &gfx::TJPEGImage::ClassInfo, "", "JPE images", fkRaster},
    {"jpeg", &gfx::TJPEGImage::ClassInfo, "", "JPEG images", fkRaster},
    {"rle", &gfx::TBitmap::ClassInfo, "Windows bitmaps", "Run length encoded Windows bitmaps", fkRaster},
    {"dib", &gfx::TBitmap::ClassInfo, "", "Device independant Windows bitmaps", fkRaster},
    {"win", &TTargaGraphic::ClassInfo, "Truevision images", "", fkRaster},
    {"vst", &TTargaGraphic::ClassInfo, "", "", fkRaster},
    {"vda", &TTargaGraphic::ClassInfo, "", "", fkRaster},
    {"tga", &TTargaGraphic::ClassInfo, "", "", fkRaster},
    {"icb", &TTargaGraphic::ClassInfo, "", "", fkRaster},
    {"tiff", &TTIFFGraphic::ClassInfo, "Tagged image file format images", "Macintosh TIFF images", fkRaster | fkMultiImage},
    {"tif", &TTIFFGraphic::ClassInfo, "", "PC TIF images", fkRaster | fkMultiImage},
    {"fax", &TTIFFGraphic::ClassInfo, "", "GFI fax images", fkRaster | fkMultiImage},
    {"eps", &TEPSGraphic::ClassInfo, "Encapsulated Postscript images", "", fkRaster},
    {"pcx", &TPCXGraphic::ClassInfo, "ZSoft Paintbrush images", "", fkRaster},
    {"pcc", &TPCXGraphic::ClassInfo, "", "", fkRaster},
    {"scr", &TPCXGraphic::ClassInfo, "", "Word 5.x screen capture images", fkRaster},
    {"rpf", &TRLAGraphic::ClassInfo, "Alias/Wavefront images", "", fkRaster},
    {"rla", &TRLAGraphic::ClassInfo, "", "", fkRaster},
    {"sgi", &TSGIGraphic::ClassInfo, "SGI images", "SGI true color images", fkRaster},
    {"rgba", &TSGIGraphic::ClassInfo, "", "SGI true color images with alpha", fkRaster},
    {"rgb", &TSGIGraphic::ClassInfo, "", "SGI true color images", fkRaster},
    {"bw", &TSGIGraphic::ClassInfo, "", "SGI black/white images", fkRaster},
    {"cel", &TAutodeskGraphic::ClassInfo, "Autodesk images", "", fkRaster},
    {"pic", &TAutodeskGraphic::ClassInfo, "Autodesk images", "", fkRaster},
    {"cut", &TCUTGraphic::ClassInfo, "Dr. Halo images", "", fkRaster},
    {"psd", &TPSDGraphic::ClassInfo, "Photoshop images", "", fkRaster | fkLayered},
    {"pdd", &TPSDGraphic::ClassInfo, "", "", fkRaster | fkLayered},
    {"ppm", &TPPMGraphic::ClassInfo, "Portable map images", "Portable pixel map images", fkRaster},
    {"pgm", &TPPMGraphic::ClassInfo, "", "Portable gray map images", fkRaster},
    {"pbm", &TPPMGraphic::ClassInfo, "", "Portable bitmap images", fkRaster},
    {"pcd", &TPCDGraphic::ClassInfo, "Kodak Photo-CD images", "", fkRaster},
    {"psp", &TPSPGraphic::ClassInfo, "Paintshop Pro images", "", fkRaster | fkVector},
    {"png", &TPNGGraphic::ClassInfo, "Portable network graphic images", "", fkRaster},
};

std::unique_ptr<TFileFormatList> formatList;
// The class library's registrations of the classes the table takes over.
std::vector<gfx::TFileFormat> layerFormats;

bool inTable(gfx::TGraphicClass c)
{
    return std::any_of(std::begin(formatRows), std::end(formatRows),
                       [c](const TFormatRow& row) { return row.graphicClass == c; });
}

}  // namespace

TFileFormatList* FileFormatList()
{
    return formatList.get();
}

void RegisterPictureFormats()
{
    UnregisterPictureFormats();
    for (const gfx::TFileFormat& f : gfx::TPicture::FileFormats())
        if (inTable(f.graphicClass))
            layerFormats.push_back(f);
    for (const gfx::TFileFormat& f : layerFormats)
        gfx::TPicture::UnregisterGraphicClass(f.graphicClass);

    formatList = std::make_unique<TFileFormatList>();
    for (const TFormatRow& row : formatRows)
        formatList->RegisterFileFormat(row.extension, row.common, row.individual, row.kinds, false, row.graphicClass);
    gfx::TPicture::RegisterFileFormat("gif", "GIF Image", &TGIFImage::ClassInfo);
    gfx::TPicture::RegisterFileFormat("png", "Portable Network Graphics", &png::TPNGObject::ClassInfo);
}

void UnregisterPictureFormats()
{
    gfx::TPicture::UnregisterGraphicClass(&png::TPNGObject::ClassInfo);
    gfx::TPicture::UnregisterGraphicClass(&TGIFImage::ClassInfo);
    if (!formatList)
        return;
    formatList->UnregisterFileFormat("rle", &gfx::TBitmap::ClassInfo);
    formatList->UnregisterFileFormat("dib", &gfx::TBitmap::ClassInfo);
    // Its Clear takes the remaining classes out of the picture class.
    formatList.reset();
    for (const gfx::TFileFormat& f : layerFormats)
        gfx::TPicture::RegisterFileFormat(f.extension, f.description, f.graphicClass);
    layerFormats.clear();
}
