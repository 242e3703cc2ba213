// The program's front door to pictures: which file names count as pictures, media or wave
// files; loading a picture file into an image control as a 24-bit bitmap, fitted, zoomed or
// cleared; reducing a bitmap to 256 colours; and saving a bitmap in the format its file name's
// extension names. Icons load through the program's own icon readers, every other picture
// through the picture registry by extension (RegisterPictureFormats fills it at start-up).
//
// No routine raises for a bad or unreadable picture: a file that cannot be decoded leaves an
// empty picture, and the caller learns of it from there. The unit holds no state; each routine
// works on the control it is given. User-interface thread only.
#pragma once

#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Colors.h"
#include "platform/forms/Image.h"
#include "platform/rtl/Streams.h"

#include <cstdint>
#include <string>

// The extension of the file name, dot included, in ASCII lower case; "" when it has none.
std::string LowerFileExt(const std::string& FileName);

// The extension tests on the lower-cased extension; a name without one never matches. A
// picture's extension need only occur somewhere in the list text (so ".jpe", a piece of
// ".jpeg", counts); a media or wave file's must be one of its list's extensions whole
// (".mid;.rmi;.wma;.mp1;.mp2;.mp3;.aif;.au" and ".wav").
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

// Loads an ".ico" file into the control's picture: a 32-bit icon through TIcon32 (drawn over
// white, its bottom-left colour transparent), any other through TInternalIcon's first image.
// Raises when neither reads it.
void LoadIconPicture(forms::TImage& Image, const std::string& FileName);

// The size of a picture of PictureW x PictureH fitted into MaxW x MaxH keeping its aspect
// ratio (a smaller picture is enlarged), and the offsets that centre it. A zero picture side
// counts as the box's; a box without area gives all zeros; a box with area gives at least
// 1 x 1.
struct TFitRect {
    int32_t Left = 0, Top = 0, Width = 0, Height = 0;
};
TFitRect CalcFitRect(int32_t PictureW, int32_t PictureH, int32_t MaxW, int32_t MaxH);

// Resizes the bitmap in place to NewWidth x NewHeight, 24 bits per pixel after. Mode 0 is the
// canvas's stretch (nearest pixel), 1 the resampler's cubic B-spline, any other the bilinear
// filter.
void ResampleBitmap(gfx::TBitmap& Bitmap, int32_t NewWidth, int32_t NewHeight, int Mode);

// Replaces the bitmap by a 256-colour version of itself: an optimal palette of its own
// colours, Floyd-Steinberg dithered. Raises EInvalidGraphicOperation for an empty bitmap.
void ReduceBitmapColors(gfx::TBitmap& Bitmap);

// Loads the file as LoadPictureFile does with 24-bit conversion when it exists, else turns
// the picture already there into 24 bits; then resamples the picture to its size times Zoom
// (at least 1 x 1; filtered when Smooth). When the load fails outright the picture is an 8 x 8
// black bitmap before zooming; an empty picture stays empty.
void LoadPictureZoomed(forms::TImage& Image, bool Smooth, const std::string& FileName, double Zoom);

// Fits the picture into Width x Height (CalcFitRect), sizes the control to the fitted size and
// makes the picture a Width x Height bitmap with the fitted picture centred on it. Nothing
// happens for a side below 1.
void FitImageCentered(forms::TImage& Image, int32_t Width, int32_t Height);

// Resamples the picture's bitmap to its CalcFitRect size inside Width x Height (the B-spline
// when Smooth, else a plain stretch); the control keeps its size.
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

// Writes the bitmap in the format of the file name's extension, after giving an existing file
// that is read-only for its owner the owner's write permission back. The result tells whether
// a writer served the extension: false (and nothing written) for a name that is no picture or
// whose format has no writer here. Every writer works on a copy (the caller's bitmap stays as
// it was) and writes a temporary file renamed over the target, so a failed save keeps the old
// file; its errors (EFOpenError, EWriteError, EInvalidGraphicOperation for an empty bitmap
// where the format needs a pixel) reach the caller.
bool SavePictureByExt(const gfx::TBitmap& Bitmap, const std::string& FileName, bool Transparent);

// The writers behind SavePictureByExt: each writes only when the file name has its own
// extension(s) and answers whether it did.
bool SaveAsWmf(const gfx::TBitmap& Bitmap, const std::string& FileName);   // ".wmf": placeable
bool SaveAsEmf(const gfx::TBitmap& Bitmap, const std::string& FileName);   // ".emf"
// ".jpg", ".jpeg": 24-bit JPEG at Quality.
bool SaveAsJpeg(const gfx::TBitmap& Bitmap, const std::string& FileName, int Quality = 90);
// ".gif": reduced to 256 colours (an optimal palette, Floyd-Steinberg); with Transparent the
// bottom-left pixel's index is the transparent one.
bool SaveAsGif(const gfx::TBitmap& Bitmap, const std::string& FileName, bool Transparent);
// ".png": the bitmap as it is; with Transparent reduced to 256 colours with its bottom-left
// colour transparent.
bool SaveAsPng(const gfx::TBitmap& Bitmap, const std::string& FileName, bool Transparent);
bool SaveAsTiff(const gfx::TBitmap& Bitmap, const std::string& FileName);  // ".tif", ".tiff"
bool SaveAsTga(const gfx::TBitmap& Bitmap, const std::string& FileName);   // ".tga": 16 bits
bool SaveAsBmp(const gfx::TBitmap& Bitmap, const std::string& FileName);   // ".bmp", ".dib", ".rle"
// ".ico": one 24-bit image of 16, 24, 32, 48 or 64 pixels a side; any other size is resampled
// (B-spline) into the smallest side that holds it, centred on its bottom-left colour, which is
// the icon's transparent colour.
bool SaveAsIcon(const gfx::TBitmap& Bitmap, const std::string& FileName);

// An icon file of the bitmap as it is: one image, its 24-bit colour rows with the transparent
// colour's pixels black, then the AND mask (set where the bitmap is transparent), the stored
// header's height doubled for the two. WriteIconFile goes through a temporary file.
void WriteIconStream(rtl::TStream& Stream, const gfx::TBitmap& Bitmap);
void WriteIconFile(const std::string& FileName, const gfx::TBitmap& Bitmap);
