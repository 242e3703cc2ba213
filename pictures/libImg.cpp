#include "pictures/libImg.h"

#include "platform/forms/Application.h"
#include "platform/gfx/Jpeg.h"
#include "platform/rtl/FileNames.h"
#include "platform/rtl/Numerics.h"
#include "util/libWindows.h"

#include <QImage>

#include <algorithm>
#include <exception>
#include <filesystem>
#include <memory>

namespace {

constexpr const char* kImageExts =
    ".eps;.bmp;.dib;.rle;.emf;.wmf;.gif;.png;.tga;.jpg;.jpeg;.tif;.tiff;.fax;.psp;.pdd;.psd;.rla;.ppm;.pcx;.pic;.ico";
// Windows 7 showed icons through its own viewer, so they were not offered as pictures there.
constexpr const char* kImageExtsWindows7 =
    ".eps;.bmp;.dib;.rle;.emf;.wmf;.gif;.png;.tga;.jpg;.jpeg;.tif;.tiff;.fax;.psp;.pdd;.psd;.rla;.ppm;.pcx;.pic";
constexpr const char* kMediaExts = ".mid;.rmi;.wma;.mp1;.mp2;.mp3;.aif;.au";
constexpr const char* kWaveExts = ".wav";

bool extIn(const std::string& FileName, const std::string& list)
{
    const std::string ext = LowerFileExt(FileName);
    return !ext.empty() && list.find(ext) != std::string::npos;
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

bool IsMediaFileExt(const std::string& FileName) { return extIn(FileName, kMediaExts); }

bool IsWaveFileExt(const std::string& FileName) { return extIn(FileName, kWaveExts); }

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
                    bitmap->SetPixelFormat(gfx::pf24bit);
                    bitmap->SetSize(g->Width(), g->Height());
                    if (!bitmap->Empty())
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
    r.Left = (MaxW - r.Width) / 2;
    r.Top = (MaxH - r.Height) / 2;
    return r;
}

void ResampleBitmap(gfx::TBitmap& Bitmap, int32_t NewWidth, int32_t NewHeight, int Mode)
{
    NewWidth = std::max(NewWidth, 0);
    NewHeight = std::max(NewHeight, 0);
    gfx::TBitmap result(NewWidth, NewHeight, gfx::pf24bit);
    if (!result.Empty() && !Bitmap.Empty()) {
        if (Mode == 0) {
            result.Canvas().StretchDraw(gfx::Rect(0, 0, NewWidth, NewHeight), Bitmap);
        } else {
            result.FromImage(Bitmap.ToImage().scaled(NewWidth, NewHeight, Qt::IgnoreAspectRatio,
                                                     Qt::SmoothTransformation));
        }
    }
    Bitmap.Assign(result);
    Bitmap.SetPixelFormat(gfx::pf24bit);
}

void LoadPictureZoomed(forms::TImage& Image, bool Smooth, const std::string& FileName, double Zoom)
{
    try {
        if (isFile(FileName))
            LoadPictureFile(Image, FileName, true);
        else
            ConvertImageTo24Bit(Image);
    } catch (const std::exception&) {
        Image.resize(8, 8);
        ClearImage(Image, gfx::clBlack);
    }
    gfx::TPicture& picture = Image.Picture();
    const int32_t pw = picture.Width(), ph = picture.Height();
    if (pw <= 0 || ph <= 0)
        return;  // nothing to zoom: an empty picture stays empty
    // A zoom that is not a number or far too large gives no picture or the largest bitmap,
    // never a conversion error.
    auto side = [Zoom](int32_t s) {
        const double z = s * Zoom;
        return z >= 0 ? int32_t(rtl::Trunc(std::min<double>(z, gfx::TBitmap::MaxSide))) : 0;
    };
    const TFitRect fit = CalcFitRect(pw, ph, side(pw), side(ph));
    ResampleBitmap(picture.Bitmap(), fit.Width, fit.Height, Smooth ? 1 : 0);
}

void FitImageResample(forms::TImage& Image, int32_t Width, int32_t Height, bool Smooth)
{
    gfx::TPicture& picture = Image.Picture();
    const TFitRect fit = CalcFitRect(picture.Width(), picture.Height(), Width, Height);
    ResampleBitmap(picture.Bitmap(), fit.Width, fit.Height, Smooth ? 1 : 0);
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
        if (isFile(FileName))
            readable = LoadPictureFile(Image, FileName, true) && !Image.Picture().Bitmap().Empty();
        else
            ConvertImageTo24Bit(Image);
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
        h = int32_t(rtl::Trunc(double(Pw) / pw * ph));
        if (h > Ph) {
            w = int32_t(rtl::Trunc(double(Ph) / h * w));
            h = Ph;
        }
        ResampleBitmap(picture.Bitmap(), w, h, Smooth ? 1 : 0);
    }
    Image.setGeometry((Pw - w) / 2 + 2, (Ph - h) / 2 + 2, w, h);
    if (HideWhileLoading)
        Image.show();
}

bool SavePictureByExt(const gfx::TBitmap& Bitmap, const std::string& FileName, bool /*Transparent*/)
{
    std::error_code ec;
    if (std::filesystem::exists(FileName, ec))
        SetHiddenAttr(FileName, false);
    if (!IsImageFileExt(FileName))
        return false;
    const std::string ext = LowerFileExt(FileName);
    if (ext == ".jpg") {
        gfx::TJPEGImage jpeg;
        jpeg.SetPixelFormat(gfx::jf24Bit);
        jpeg.SetCompressionQuality(90);
        jpeg.Assign(Bitmap);
        jpeg.SaveToFile(FileName);
    } else if (ext == ".bmp") {
        gfx::TBitmap copy;
        copy.Assign(Bitmap);
        copy.SaveToFile(FileName);
    }
    return true;
}
