#include "pictures/libImg.h"

#include "pictures/Bmp2Tiff.h"
#include "pictures/Resample.h"
#include "pictures/gif/GIFImage.h"
#include "pictures/icons/Icon32.h"
#include "pictures/icons/IconComponent.h"
#include "pictures/icons/icoread.h"
#include "pictures/icons/icoutil.h"
#include "pictures/libTGA.h"
#include "pictures/png/pngimage.h"
#include "pictures/reduce/ColorReduction.h"
#include "platform/forms/Application.h"
#include "platform/gfx/Jpeg.h"
#include "platform/gfx/Metafile.h"
#include "platform/rtl/FileNames.h"
#include "platform/rtl/LittleEndian.h"
#include "platform/rtl/Numerics.h"
#include "util/libWindows.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <memory>
#include <string_view>

namespace {

constexpr const char* kImageExts =
    ".eps;.bmp;.dib;.rle;.emf;.wmf;.gif;.png;.tga;.jpg;.jpeg;.tif;.tiff;.fax;.psp;.pdd;.psd;.rla;.ppm;.pcx;.pic;.ico";
// Windows 7 showed icons through its own viewer, so they were not offered as pictures there.
constexpr const char* kImageExtsWindows7 =
    ".eps;.bmp;.dib;.rle;.emf;.wmf;.gif;.png;.tga;.jpg;.jpeg;.tif;.tiff;.fax;.psp;.pdd;.psd;.rla;.ppm;.pcx;.pic";
constexpr const char* kMediaExts = ".mid;.rmi;.wma;.mp1;.mp2;.mp3;.aif;.au";
constexpr const char* kWaveExts = ".wav";

// The picture test: the extension occurs somewhere in the list text, so a piece of a listed
// extension (".jpe" of ".jpeg") counts; a false match only loads as an empty picture.
bool extIn(const std::string& FileName, const std::string& list)
{
    const std::string ext = LowerFileExt(FileName);
    return !ext.empty() && list.find(ext) != std::string::npos;
}

// The music tests compare whole extensions: a piece of one (".a", ".mi", ".w") would import a
// library or a stray file as music or offer to convert it.
bool extListed(const std::string& FileName, std::string_view list)
{
    const std::string ext = LowerFileExt(FileName);
    if (ext.empty())
        return false;
    while (!list.empty()) {
        const std::size_t semi = std::min(list.find(';'), list.size());
        if (list.substr(0, semi) == ext)
            return true;
        list.remove_prefix(std::min(semi + 1, list.size()));
    }
    return false;
}

bool isFile(const std::string& FileName)
{
    std::error_code ec;
    return !FileName.empty() && std::filesystem::is_regular_file(FileName, ec);
}

// A JPEG decodes at full size, 24 bits and best quality, in this order.
void setJpegFullQuality(gfx::TPicture& picture)
{
    if (auto* jpeg = dynamic_cast<gfx::TJPEGImage*>(picture.Graphic())) {
        jpeg->SetScale(gfx::jsFullSize);
        jpeg->SetPixelFormat(gfx::jf24Bit);
        jpeg->SetPerformance(gfx::jpBestQuality);
    }
}

}  // namespace

std::string LowerFileExt(const std::string& FileName)
{
    return rtl::LowerExtension(FileName);
}

bool IsImageFileExt(const std::string& FileName)
{
    return extIn(FileName, IsWindows7() ? kImageExtsWindows7 : kImageExts);
}

bool IsMediaFileExt(const std::string& FileName) { return extListed(FileName, kMediaExts); }

bool IsWaveFileExt(const std::string& FileName) { return extListed(FileName, kWaveExts); }

bool ClearImage(forms::TImage& Image, gfx::TColor Color)
{
    try {
        Image.resize(std::max(Image.Width(), 2), std::max(Image.Height(), 2));
        auto bitmap = std::make_unique<gfx::TBitmap>(Image.Width(), Image.Height(), gfx::pf24bit);
        gfx::TCanvas& canvas = bitmap->Canvas();
        canvas.Brush().SetColor(Color);
        canvas.FillRect(gfx::Rect(0, 0, bitmap->Width(), bitmap->Height()));
        Image.Picture().TakeGraphic(std::move(bitmap));
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool ConvertImageTo24Bit(forms::TImage& Image)
{
    try {
        gfx::TPicture& picture = Image.Picture();
        if (!dynamic_cast<gfx::TBitmap*>(picture.Graphic())) {
            auto bitmap = std::make_unique<gfx::TBitmap>();
            if (const gfx::TGraphic* g = picture.Graphic()) {
                if (dynamic_cast<const gfx::TJPEGImage*>(g)) {
                    bitmap->Assign(*g);
                } else {
                    // A GIF's screen is drawn only within the bound of its own rendering: no
                    // larger than the file's data pays for.
                    if (const auto* gif = dynamic_cast<const TGIFImage*>(g); gif && !gif->ScreenPaidFor())
                        return false;
                    bitmap->SetPixelFormat(gfx::pf24bit);
                    bitmap->SetSize(g->Width(), g->Height());
                    // A PNG draws the same pixels straight into the rows, without a 32-bit
                    // copy of the picture or the bitmap.
                    if (const auto* png = dynamic_cast<const png::TPNGObject*>(g))
                        png->DrawOnto24Bit(*bitmap);
                    else if (!bitmap->Empty())
                        bitmap->Canvas().Draw(0, 0, *g);
                }
            }
            picture.TakeGraphic(std::move(bitmap));
        }
        picture.Bitmap().SetHandleType(gfx::bmDIB);
        picture.Bitmap().SetPixelFormat(gfx::pf24bit);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool LoadPictureFile(forms::TImage& Image, const std::string& FileName, bool To24Bit)
{
    if (!isFile(FileName) || !IsImageFileExt(FileName))
        return false;
    const std::string ext = LowerFileExt(FileName);
    gfx::TPicture& picture = Image.Picture();
    try {
        if (ext.find(".ico") != std::string::npos)
            LoadIconPicture(Image, FileName);
        else
            picture.LoadFromFile(FileName);
    } catch (const std::exception&) {
        picture.SetGraphic(nullptr);  // the caller sees the failure as an empty picture
    }
    setJpegFullQuality(picture);
    if (To24Bit && ext != ".emf" && ext != ".wmf")
        ConvertImageTo24Bit(Image);
    else if (ext.find(".ico") != std::string::npos)
        Image.SetTransparent(true);
    forms::ProcessMessages();
    return true;
}

void LoadIconPicture(forms::TImage& Image, const std::string& FileName)
{
    gfx::TPicture& picture = Image.Picture();
    {
        TIcon32 icon32;
        if (icon32.LoadFromFile(FileName)) {
            auto bitmap = std::make_unique<gfx::TBitmap>(icon32.IconWidth(), icon32.IconHeight(), gfx::pf24bit);
            gfx::TBitmap icon;
            icon.Assign(icon32.Bitmap());
            icon.SetTransparent(true);
            bitmap->Canvas().Draw(0, 0, icon);
            picture.TakeGraphic(std::move(bitmap));
            return;
        }
    }
    TInternalIcon icon;
    icon.LoadFromFile(FileName);
    int colors = 0;
    const gfx::TBitmap* image = icon.GetImage(0, colors);
    if (!image || image->Empty())
        throw gfx::EInvalidGraphic("Cannot read the icon \"" + FileName + "\"");
    picture.SetGraphic(image);
}

TFitRect CalcFitRect(int32_t PictureW, int32_t PictureH, int32_t MaxW, int32_t MaxH)
{
    TFitRect r;
    if (MaxW <= 0 || MaxH <= 0)
        return r;
    const double pw = PictureW > 0 ? PictureW : MaxW;
    const double ph = PictureH > 0 ? PictureH : MaxH;
    r.Width = MaxW;
    r.Height = int32_t(rtl::Trunc(MaxW / pw * ph));
    if (r.Height > MaxH) {
        r.Width = int32_t(rtl::Trunc(double(MaxH) / r.Height * r.Width));
        r.Height = MaxH;
    }
    // A very long picture still keeps one row or column.
    r.Width = std::max(r.Width, 1);
    r.Height = std::max(r.Height, 1);
    r.Left = (MaxW - r.Width) / 2;
    r.Top = (MaxH - r.Height) / 2;
    return r;
}

void ResampleBitmap(gfx::TBitmap& Bitmap, int32_t NewWidth, int32_t NewHeight, int Mode)
{
    NewWidth = std::max(NewWidth, 0);
    NewHeight = std::max(NewHeight, 0);
    // A plain stretch to the same size copies every pixel as it is: only the format changes.
    if (Mode == 0 && NewWidth == Bitmap.Width() && NewHeight == Bitmap.Height()) {
        Bitmap.SetPixelFormat(gfx::pf24bit);
        return;
    }
    if (Mode != 0 && !Bitmap.Empty()) {
        Bitmap.SetPixelFormat(gfx::pf24bit);
        if (ResampleBitmap24(Bitmap, NewWidth, NewHeight, Mode == 1 ? 4 : 1))
            return;
    }
    gfx::TBitmap result(NewWidth, NewHeight, gfx::pf24bit);
    if (!result.Empty() && !Bitmap.Empty())
        result.Canvas().StretchDraw(gfx::Rect(0, 0, NewWidth, NewHeight), Bitmap);
    Bitmap.Assign(result);
    Bitmap.SetPixelFormat(gfx::pf24bit);
}

void ReduceBitmapColors(gfx::TBitmap& Bitmap)
{
    if (Bitmap.Empty())
        throw gfx::EInvalidGraphicOperation("Cannot reduce the colours of an empty bitmap");
    const TPalette palette = CreateOptimalPalette(Bitmap, 256, 8, false);
    const std::unique_ptr<gfx::TBitmap> reduced = ReduceColors(Bitmap, rmCustomPalette, dmFloydSteinberg, 8, &palette);
    TGIFImage gif;
    gif.Assign(*reduced);
    gif.AssignTo(Bitmap);
}

namespace {

// The picture as a bitmap: a metafile or any other graphic is drawn at its own size first,
// where the picture's own Bitmap() would replace it by an empty one.
gfx::TBitmap& pictureBitmap(forms::TImage& Image)
{
    if (!dynamic_cast<gfx::TBitmap*>(Image.Picture().Graphic()))
        ConvertImageTo24Bit(Image);
    return Image.Picture().Bitmap();
}

// Step one of the zoomed and fitted loads: the file when it exists, else the picture already
// there, as a 24-bit bitmap.
void loadAs24Bit(forms::TImage& Image, const std::string& FileName)
{
    if (isFile(FileName))
        LoadPictureFile(Image, FileName, true);
    if (!ConvertImageTo24Bit(Image))
        throw gfx::EInvalidGraphic("Cannot convert the picture");
}

}  // namespace

void LoadPictureZoomed(forms::TImage& Image, bool Smooth, const std::string& FileName, double Zoom)
{
    try {
        loadAs24Bit(Image, FileName);
    } catch (const std::exception&) {
        Image.resize(8, 8);
        ClearImage(Image, gfx::clBlack);
    }
    gfx::TPicture& picture = Image.Picture();
    const int32_t pw = picture.Width(), ph = picture.Height();
    if (pw <= 0 || ph <= 0)
        return;  // nothing to zoom: an empty picture stays empty
    // A zoom that is not a number or far too large gives the smallest or the largest bitmap,
    // never a conversion error.
    auto side = [Zoom](int32_t s) {
        const double z = s * Zoom;
        return z >= 1 ? int32_t(rtl::Trunc(std::min<double>(z, gfx::TBitmap::MaxSide))) : 1;
    };
    const TFitRect fit = CalcFitRect(pw, ph, side(pw), side(ph));
    ResampleBitmap(pictureBitmap(Image), fit.Width, fit.Height, Smooth ? 1 : 0);
}

void FitImageCentered(forms::TImage& Image, int32_t Width, int32_t Height)
{
    if (Width < 1 || Height < 1)
        return;
    gfx::TBitmap& bitmap = pictureBitmap(Image);
    const TFitRect fit = CalcFitRect(bitmap.Width(), bitmap.Height(), Width, Height);
    Image.resize(fit.Width, fit.Height);
    ResampleBitmap(bitmap, fit.Width, fit.Height, 0);
    gfx::TBitmap framed(Width, Height, gfx::pf24bit);
    framed.Canvas().Draw((Width - fit.Width) / 2, (Height - fit.Height) / 2, bitmap);
    Image.Picture().Bitmap().Assign(framed);
}

void FitImageResample(forms::TImage& Image, int32_t Width, int32_t Height, bool Smooth)
{
    gfx::TBitmap& bitmap = pictureBitmap(Image);
    const TFitRect fit = CalcFitRect(bitmap.Width(), bitmap.Height(), Width, Height);
    ResampleBitmap(bitmap, fit.Width, fit.Height, Smooth ? 1 : 0);
}

namespace {

constexpr gfx::TColor kCannotReadBackground = 0xE9C2E6;
constexpr gfx::TColor kCannotReadText = 0xFF0000;  // blue

void showCannotRead(forms::TImage& Image, int32_t Pw, int32_t Ph)
{
    Image.resize(std::max(Pw - 2, 2), std::max(Ph - 2, 2));
    ClearImage(Image, kCannotReadBackground);
    gfx::TCanvas& canvas = Image.Picture().Bitmap().Canvas();
    canvas.Font().SetColor(kCannotReadText);
    canvas.Brush().SetStyle(gfx::bsClear);
    const std::string text = "Sorry!! The file can't be read.";
    canvas.TextOut((Image.Width() - canvas.TextWidth(text)) / 2, 20, text);
}

}  // namespace

void LoadPictureFitParent(forms::TImage& Image, bool Fit, bool Smooth, bool HideWhileLoading,
                          const std::string& FileName)
{
    if (HideWhileLoading)
        Image.hide();
    const QWidget* parent = Image.parentWidget();
    const int32_t Pw = parent ? parent->width() : Image.Width();
    const int32_t Ph = parent ? parent->height() : Image.Height();
    bool readable = true;
    try {
        loadAs24Bit(Image, FileName);
        readable = !Image.Picture().Bitmap().Empty() || !isFile(FileName);
    } catch (const std::exception&) {
        readable = false;
    }
    if (!readable)
        showCannotRead(Image, Pw, Ph);
    gfx::TPicture& picture = Image.Picture();
    const int32_t pw = picture.Width() > 0 ? picture.Width() : Pw;
    const int32_t ph = picture.Height() > 0 ? picture.Height() : Ph;
    int32_t w = pw, h = ph;
    if (Fit && (pw > Pw || ph > Ph)) {
        w = Pw;
        h = std::max(int32_t(rtl::Trunc(double(Pw) / pw * ph)), 1);
        if (h > Ph) {
            w = std::max(int32_t(rtl::Trunc(double(Ph) / h * w)), 1);
            h = Ph;
        }
        ResampleBitmap(picture.Bitmap(), w, h, Smooth ? 1 : 0);
    }
    Image.setGeometry((Pw - w) / 2 + 2, (Ph - h) / 2 + 2, w, h);
    if (HideWhileLoading)
        Image.show();
}

// ---- writers ----

namespace {

bool hasExt(const std::string& FileName, std::initializer_list<const char*> exts)
{
    const std::string ext = LowerFileExt(FileName);
    for (const char* e : exts)
        if (ext == e)
            return true;
    return false;
}

void refuseEmpty(const gfx::TBitmap& Bitmap, const char* what)
{
    if (Bitmap.Empty())
        throw gfx::EInvalidGraphicOperation(std::string("Cannot save an empty bitmap as ") + what);
}

bool saveMetafile(const gfx::TBitmap& Bitmap, const std::string& FileName, bool enhanced)
{
    gfx::TMetafile metafile;
    metafile.SetBitmap(Bitmap);
    metafile.SetEnhanced(enhanced);
    metafile.SaveToFile(FileName);
    return true;
}

}  // namespace

bool SaveAsWmf(const gfx::TBitmap& Bitmap, const std::string& FileName)
{
    return hasExt(FileName, {".wmf"}) && saveMetafile(Bitmap, FileName, false);
}

bool SaveAsEmf(const gfx::TBitmap& Bitmap, const std::string& FileName)
{
    return hasExt(FileName, {".emf"}) && saveMetafile(Bitmap, FileName, true);
}

bool SaveAsJpeg(const gfx::TBitmap& Bitmap, const std::string& FileName, int Quality)
{
    if (!hasExt(FileName, {".jpg", ".jpeg"}))
        return false;
    gfx::TJPEGImage jpeg;
    jpeg.SetPixelFormat(gfx::jf24Bit);
    jpeg.SetCompressionQuality(Quality);
    jpeg.Assign(Bitmap);
    jpeg.SaveToFile(FileName);
    return true;
}

namespace {

// The GIF takes the bitmap, and its first frame marks the index of its bottom-left pixel
// transparent.
void AssignGifTransparent(TGIFImage& Gif, const gfx::TBitmap& Bitmap)
{
    Gif.Assign(Bitmap);
    TGIFSubImage& frame = *Gif.Images()[0];
    if (!frame.GraphicControlExtension())
        frame.Extensions().Add(std::make_unique<TGIFGraphicControlExtension>(&frame));
    TGIFGraphicControlExtension& gce = *frame.GraphicControlExtension();
    gce.SetTransparent(true);
    gce.SetTransparentColorIndex(frame.Pixels(0, frame.Height() - 1));
    Gif.FreeCaches();
}

}  // namespace

bool SaveAsGif(const gfx::TBitmap& Bitmap, const std::string& FileName, bool Transparent)
{
    if (!hasExt(FileName, {".gif"}))
        return false;
    refuseEmpty(Bitmap, "a GIF");
    TGIFImage gif;
    gif.ColorReduction = rmQuantizeWindows;
    gif.DitherMode = dmNearest;
    gif.Compression = gcLZW;
    const std::unique_ptr<gfx::TBitmap> reduced = CopyBitmap(Bitmap);
    ReduceBitmapColors(*reduced);
    if (Transparent)
        AssignGifTransparent(gif, *reduced);
    else
        gif.Assign(*reduced);
    gif.SaveToFile(FileName);
    return true;
}

bool SaveAsPng(const gfx::TBitmap& Bitmap, const std::string& FileName, bool Transparent)
{
    if (!hasExt(FileName, {".png"}))
        return false;
    png::TPNGObject png;
    if (!Transparent) {
        png.Assign(Bitmap);
    } else {
        refuseEmpty(Bitmap, "a transparent PNG");
        const std::unique_ptr<gfx::TBitmap> reduced = CopyBitmap(Bitmap);
        ReduceBitmapColors(*reduced);
        png.AssignHandle(*reduced, true, reduced->PixelColor(0, reduced->Height() - 1));
    }
    png.SaveToFile(FileName);
    return true;
}

bool SaveAsTiff(const gfx::TBitmap& Bitmap, const std::string& FileName)
{
    if (!hasExt(FileName, {".tif", ".tiff"}))
        return false;
    SaveBitmapAsTiffFile(FileName, Bitmap);
    return true;
}

bool SaveAsTga(const gfx::TBitmap& Bitmap, const std::string& FileName)
{
    if (!hasExt(FileName, {".tga"}))
        return false;
    SaveGraphicAsTga(Bitmap, FileName);
    return true;
}

bool SaveAsBmp(const gfx::TBitmap& Bitmap, const std::string& FileName)
{
    if (!hasExt(FileName, {".bmp", ".dib", ".rle"}))
        return false;
    CopyBitmap(Bitmap)->SaveToFile(FileName);
    return true;
}

bool SaveAsIcon(const gfx::TBitmap& Bitmap, const std::string& FileName)
{
    if (!hasExt(FileName, {".ico"}))
        return false;
    refuseEmpty(Bitmap, "an icon");
    const int32_t w = Bitmap.Width(), h = Bitmap.Height();
    std::unique_ptr<gfx::TBitmap> icon;
    if (w == h && (w == 16 || w == 32 || w == 48 || w == 64)) {
        icon = CopyBitmap(Bitmap);
    } else {
        const int32_t S = (w < 16 && h < 16) ? 16 : (w < 24 && h < 24) ? 24 : (w < 32 && h < 32) ? 32
                        : (w < 48 && h < 48) ? 48 : 64;
        icon = std::make_unique<gfx::TBitmap>(S, S, gfx::pf24bit);
        gfx::TCanvas& canvas = icon->Canvas();
        canvas.Brush().SetColor(Bitmap.PixelColor(0, h - 1));
        canvas.FillRect(gfx::Rect(0, 0, S, S));
        const std::unique_ptr<gfx::TBitmap> picture = CopyBitmap(Bitmap);
        if (h >= w) {
            const int32_t pw = std::max(int32_t(rtl::Round(double(S) / h * w)), 1);
            ResampleBitmap(*picture, pw, S, 1);
            canvas.Draw((S - pw) / 2, 0, *picture);
        } else {
            const int32_t ph = std::max(int32_t(rtl::Round(double(S) / w * h)), 1);
            ResampleBitmap(*picture, S, ph, 1);
            canvas.Draw(0, (S - ph) / 2, *picture);
        }
    }
    icon->SetPixelFormat(gfx::pf24bit);
    icon->SetTransparent(true);
    icon->SetTransparentMode(gfx::tmAuto);
    WriteIconFile(FileName, *icon);
    return true;
}

void WriteIconStream(rtl::TStream& Stream, const gfx::TBitmap& Bitmap)
{
    refuseEmpty(Bitmap, "an icon");
    const std::unique_ptr<gfx::TBitmap> colour = CopyBitmap(Bitmap);
    colour->SetPixelFormat(gfx::pf24bit);
    const int32_t w = colour->Width(), h = colour->Height();
    const gfx::TColor key = gfx::ColorToRGB(Bitmap.TransparentColor());
    const std::unique_ptr<gfx::TBitmap> mask = colour->CreateMask(key);
    const uint32_t colourRow = uint32_t(BytesPerScanline(w, 24, 32));
    const uint32_t maskRow = uint32_t(BytesPerScanline(w, 1, 32));
    const uint32_t colourBytes = colourRow * uint32_t(h), maskBytes = maskRow * uint32_t(h);
    constexpr uint32_t headerSize = 40;
    std::vector<uint8_t> block(22 + headerSize + colourBytes + maskBytes, 0);
    uint8_t* p = block.data();
    rtl::put_le16(p + 2, 1);  // icon
    rtl::put_le16(p + 4, 1);  // one image
    p[6] = uint8_t(w >= 1 && w <= 255 ? w : 0);
    p[7] = uint8_t(h >= 1 && h <= 255 ? h : 0);
    p[8] = 0;  // 2^24 colours do not fit the byte
    rtl::put_le16(p + 10, 1);
    rtl::put_le16(p + 12, 24);
    rtl::put_le32(p + 14, headerSize + colourBytes + maskBytes);
    rtl::put_le32(p + 18, 22);
    uint8_t* header = p + 22;
    rtl::put_le32(header, headerSize);
    rtl::put_le32(header + 4, uint32_t(w));
    rtl::put_le32(header + 8, uint32_t(h) * 2);  // colour rows and mask rows
    rtl::put_le16(header + 12, 1);
    rtl::put_le16(header + 14, 24);
    rtl::put_le32(header + 20, colourBytes);
    uint8_t* colourRows = header + headerSize;
    uint8_t* maskRows = colourRows + colourBytes;
    for (int32_t y = 0; y < h; ++y) {
        // Bottom-up rows; the transparent colour's pixels are black, so that the AND mask
        // leaves the screen as it was there.
        const uint8_t* src = colour->ScanLine(h - 1 - y);
        uint8_t* dst = colourRows + size_t(y) * colourRow;
        uint8_t* bits = maskRows + size_t(y) * maskRow;
        for (int32_t x = 0; x < w; ++x) {
            const bool transparent = mask->PixelColor(x, h - 1 - y) == gfx::clWhite;
            if (transparent)
                bits[x / 8] |= uint8_t(0x80 >> (x % 8));
            else
                std::copy(src + 3 * x, src + 3 * x + 3, dst + 3 * x);
        }
    }
    Stream.WriteBuffer(block.data(), int64_t(block.size()));
}

void WriteIconFile(const std::string& FileName, const gfx::TBitmap& Bitmap)
{
    TIconComponent component;
    rtl::TMemoryStream m;
    WriteIconStream(m, Bitmap);
    m.SaveToFile(FileName);
}

bool SavePictureByExt(const gfx::TBitmap& Bitmap, const std::string& FileName, bool Transparent)
{
    // The tag editor marks its photos read-only: an existing target gets its owner's write
    // permission back, as clearing the read-only attribute did.
    std::error_code ec;
    if (std::filesystem::exists(FileName, ec))
        SetHiddenAttr(FileName, false);
    if (!IsImageFileExt(FileName))
        return false;
    return SaveAsWmf(Bitmap, FileName) || SaveAsEmf(Bitmap, FileName) || SaveAsJpeg(Bitmap, FileName) ||
           SaveAsGif(Bitmap, FileName, Transparent) || SaveAsPng(Bitmap, FileName, Transparent) || SaveAsTiff(Bitmap, FileName) ||
           SaveAsTga(Bitmap, FileName) || SaveAsBmp(Bitmap, FileName) || SaveAsIcon(Bitmap, FileName);
}
