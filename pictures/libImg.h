// The program's front door to pictures: which file names count as pictures, media or wave
// files, and loading a picture file into an image control as a 24-bit bitmap, zoomed or
// cleared. Every load goes through the picture registry by extension (BMP and JPEG from the
// start; other formats add themselves when they register).
//
// No routine raises for a bad or unreadable picture: a file that cannot be decoded leaves an
// empty picture, and the caller learns of it from there. The unit holds no state; each routine
// works on the control it is given. User-interface thread only.
//
// Not here yet: icons (".ico" goes through the registry like any other extension until an
// icon reader registers), colour reduction, and the writers other than BMP and JPEG.
#pragma once

#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Colors.h"
#include "platform/forms/Image.h"

#include <cstdint>
#include <string>

// The extension of the file name, dot included, in ASCII lower case; "" when it has none.
std::string LowerFileExt(const std::string& FileName);

// The extension tests: the lower-cased extension occurs somewhere in the format's list text
// (so a piece of a listed extension matches too); a name without an extension never does.
bool IsImageFileExt(const std::string& FileName);
bool IsMediaFileExt(const std::string& FileName);
bool IsWaveFileExt(const std::string& FileName);

// The control becomes at least 2 x 2; its picture a 24-bit bitmap of its size in Color.
// False when that failed.
bool ClearImage(forms::TImage& Image, gfx::TColor Color);

// Makes the picture a 24-bit bitmap: a bitmap only changes format, a JPEG is assigned, any
// other graphic is drawn at (0, 0) on a bitmap of its size. False when that failed.
bool ConvertImageTo24Bit(forms::TImage& Image);

// Loads the file into the control's picture when the file exists and has a picture
// extension; true then, also when decoding failed (the picture is empty). With To24Bit the
// result becomes a 24-bit bitmap.
bool LoadPictureFile(forms::TImage& Image, const std::string& FileName, bool To24Bit);

// The size of a picture of PictureW x PictureH fitted into MaxW x MaxH keeping its aspect
// ratio (a smaller picture is enlarged), and the offsets that centre it. A zero picture side
// counts as the box's; a box without area gives all zeros.
struct TFitRect {
    int32_t Left = 0, Top = 0, Width = 0, Height = 0;
};
TFitRect CalcFitRect(int32_t PictureW, int32_t PictureH, int32_t MaxW, int32_t MaxH);

// Resizes the bitmap in place to NewWidth x NewHeight, 24 bits per pixel after. Mode 0 is a
// plain stretch (nearest pixel); any other mode filters (Qt's smooth scaling stands in for
// the program's own resampler until that exists).
void ResampleBitmap(gfx::TBitmap& Bitmap, int32_t NewWidth, int32_t NewHeight, int Mode);

// Loads the file as LoadPictureFile does with 24-bit conversion when it exists, else turns
// the picture already there into 24 bits; then resamples the picture to its size times Zoom
// (filtered when Smooth). When the load fails outright the picture is an 8 x 8 black bitmap
// before zooming; an empty picture stays empty.
void LoadPictureZoomed(forms::TImage& Image, bool Smooth, const std::string& FileName, double Zoom);

// Resamples the picture's bitmap to its CalcFitRect size inside Width x Height (filtered when
// Smooth, else a plain stretch); the control keeps its size.
void FitImageResample(forms::TImage& Image, int32_t Width, int32_t Height, bool Smooth);

// Loads the file as LoadPictureZoomed does (without zooming), shrinks the picture to the
// parent's size when Fit and it is larger (keeping its aspect ratio; a smaller picture keeps
// its size) and sizes and places the control centred in the parent, offset by 2 pixels for
// the parent's bevel. A file that exists but cannot be decoded leaves a (parent - 2)-sized
// picture that says "Sorry!! The file can't be read.". With HideWhileLoading the control is
// hidden meanwhile and shown again at the end. Without a parent the control's own size is
// the box.
void LoadPictureFitParent(forms::TImage& Image, bool Fit, bool Smooth, bool HideWhileLoading,
                          const std::string& FileName);

// Writes the bitmap in the format of the file name's extension (".jpg": JPEG at quality 90,
// ".bmp": BMP) through a temporary file, after making an existing file writable. Other picture
// extensions write nothing. The result tells whether the name has a picture extension, not
// whether a file was written; a write that fails raises (EFCreateError and the like).
bool SavePictureByExt(const gfx::TBitmap& Bitmap, const std::string& FileName, bool Transparent);
