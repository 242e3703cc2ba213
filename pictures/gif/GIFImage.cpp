// The file model and its reader and writer. Blocks are read as the file lays them out:
// header (signature, logical screen, global map), then frames, each the extensions in front of
// it followed by its image descriptor, local map and LZW data, then the trailer. The colour
// maps live in GIFColorMap.cpp, the extension blocks in GIFExtensions.cpp.
#include "pictures/gif/GIFImage.h"

#include "pictures/gif/GIFBlocks.h"
#include "pictures/gif/GIFCodec.h"
#include "platform/gfx/Picture.h"
#include "platform/rtl/LittleEndian.h"

#include <algorithm>
#include <cctype>

using namespace gifblocks;

namespace {

// Whether a frame of Width x Height may have its pixels: it fits a bitmap, the image's total
// and, when reading, what its LZW bytes can expand to.
void checkFrameSize(int64_t Width, int64_t Height)
{
    if (Width > gfx::TBitmap::MaxSide || Height > gfx::TBitmap::MaxSide ||
        Width * Height > gfx::TBitmap::MaxPixelBytes)
        throw GIFException("Frame too large (" + std::to_string(Width) + " x " + std::to_string(Height) + ")");
}

}  // namespace

TGIFDefaults& GIFDefaults()
{
    static TGIFDefaults defaults;
    return defaults;
}

// --- items and lists ----------------------------------------------------------------------

void TGIFItem::Warning(int Severity, const std::string& Message)
{
    if (image_)
        image_->Warning(Severity, Message);
}

void TGIFItem::SaveToFile(const std::string& FileName)
{
    rtl::TMemoryStream stream;
    SaveToStream(stream);
    stream.SaveToFile(FileName);
}

void TGIFItem::LoadFromFile(const std::string& FileName)
{
    rtl::TMemoryStream stream;
    stream.LoadFromFile(FileName);
    LoadFromStream(stream);
}

template <class T>
int TGIFList<T>::Add(std::unique_ptr<T> Item)
{
    items_.push_back(std::move(Item));
    return Count() - 1;
}

template <class T>
void TGIFList<T>::Delete(int Index)
{
    auto item = std::move(items_.at(size_t(Index)));
    items_.erase(items_.begin() + Index);
    item.reset();
}

template <class T>
void TGIFList<T>::Clear()
{
    while (!items_.empty())
        Delete(0);
}

template <class T>
int TGIFList<T>::IndexOf(const T* Item) const
{
    for (int i = 0; i < Count(); ++i)
        if (items_[size_t(i)].get() == Item)
            return i;
    return -1;
}

template <class T>
int TGIFList<T>::Remove(T* Item)
{
    const int i = IndexOf(Item);
    if (i >= 0)
        Delete(i);
    return i;
}

template <class T>
void TGIFList<T>::Insert(int Index, std::unique_ptr<T> Item)
{
    items_.insert(items_.begin() + Index, std::move(Item));
}

template <class T>
std::unique_ptr<T> TGIFList<T>::Extract(int Index)
{
    auto item = std::move(items_.at(size_t(Index)));
    items_.erase(items_.begin() + Index);
    return item;
}

template <class T>
void TGIFList<T>::SaveToStream(rtl::TStream& Stream)
{
    for (auto& item : items_)
        item->SaveToStream(Stream);
}

template <class T>
void TGIFList<T>::Warning(int Severity, const std::string& Message)
{
    if (image_)
        image_->Warning(Severity, Message);
}

template class TGIFList<TGIFSubImage>;
template class TGIFList<TGIFExtension>;

// --- header -------------------------------------------------------------------------------

TGIFHeader::TGIFHeader(TGIFImage* Image) : TGIFItem(Image), colorMap_(this) {}

TGIFVersion TGIFHeader::Version() const
{
    return colorMap_.Optimized() || AspectRatio != 0 ? gv89a : gv87a;
}

void TGIFHeader::Clear()
{
    Width = Height = 0;
    Packed = BackgroundColorIndex = AspectRatio = 0;
    colorMap_.Clear();
}

void TGIFHeader::Assign(const TGIFHeader& Source)
{
    Width = Source.Width;
    Height = Source.Height;
    Packed = Source.Packed;
    BackgroundColorIndex = Source.BackgroundColorIndex;
    AspectRatio = Source.AspectRatio;
    colorMap_.Assign(Source.colorMap_);
}

void TGIFHeader::LoadFromStream(rtl::TStream& Stream)
{
    const int64_t start = Stream.Position();
    char signature[6];
    auto isGIF = [&] {
        return std::toupper(uint8_t(signature[0])) == 'G' && std::toupper(uint8_t(signature[1])) == 'I' &&
               std::toupper(uint8_t(signature[2])) == 'F';
    };
    readExact(Stream, signature, 6);
    if (!isGIF()) {
        // Some writers put a 4-byte length in front.
        Stream.SetPosition(start + 4);
        readExact(Stream, signature, 6);
        if (!isGIF())
            throw GIFException("Invalid GIF signature");
    }
    uint8_t screen[7];
    readExact(Stream, screen, 7);
    Width = rtl::le16(screen);
    Height = rtl::le16(screen + 2);
    Packed = screen[4];
    BackgroundColorIndex = screen[5];
    AspectRatio = screen[6];
    if (Packed & 0x80) {
        const int count = 2 << (Packed & 7);
        if (count < 2 || count > 256)
            throw GIFException("Invalid number of colors specified in Screen Descriptor");
        colorMap_.LoadFromStream(Stream, count);
        colorMap_.SetOptimized((Packed & 0x08) != 0);
    } else {
        colorMap_.Clear();
    }
}

void TGIFHeader::SaveToStream(rtl::TStream& Stream)
{
    const TGIFVersion version = image_ ? image_->Version() : Version();
    if (version != gv87a && version != gv89a)
        throw GIFException("Unsupported GIF version");
    Stream.WriteBuffer(version == gv87a ? "GIF87a" : "GIF89a", 6);
    int bits = colorMap_.BitsPerPixel();
    if (image_)
        for (int i = 0; i < image_->Images().Count(); ++i)
            bits = std::max(bits, image_->Images()[i]->ColorMap().BitsPerPixel());
    Packed = 0;
    if (colorMap_.Count() > 0)
        Packed |= 0x80 | (colorMap_.Optimized() ? 0x08 : 0);
    if (bits > 0)
        Packed |= uint8_t((((bits - 1) & 7) << 4) | ((bits - 1) & 7));
    writeWord(Stream, Width);
    writeWord(Stream, Height);
    writeByte(Stream, Packed);
    writeByte(Stream, BackgroundColorIndex);
    writeByte(Stream, AspectRatio);
    // The table follows the size field, so that readers that trust the field find the frames.
    if (colorMap_.Count() > 0)
        colorMap_.SaveToStream(Stream, bits);
}

// --- frames -------------------------------------------------------------------------------

TGIFSubImage::TGIFSubImage(TGIFImage* Image) : TGIFItem(Image), colorMap_(this), extensions_(Image) {}

TGIFSubImage::~TGIFSubImage() { extensions_.Clear(); }

TGIFVersion TGIFSubImage::Version() const
{
    if (colorMap_.Optimized())
        return gv89a;
    TGIFVersion v = gv87a;
    for (int i = 0; i < extensions_.Count(); ++i)
        v = std::max(v, extensions_[i]->Version());
    return v;
}

void TGIFSubImage::Clear()
{
    extensions_.Clear();
    colorMap_.Clear();
    data_.clear();
    left_ = top_ = width_ = height_ = 0;
    Packed = 0;
    transparent_ = false;
    FreeCaches();
}

void TGIFSubImage::FreeCaches()
{
    bitmap_.reset();
    mask_.reset();
    palette_.reset();
    if (image_)
        image_->FreeCaches();
}

void TGIFSubImage::allocateData()
{
    if (width_ <= 0 || height_ <= 0) {
        data_.clear();
        return;
    }
    checkFrameSize(width_, height_);
    data_.assign(size_t(width_) * size_t(height_), 0);
}

void TGIFSubImage::SetBoundsRect(const gfx::TRect& Bounds)
{
    const int w = std::max(0, Bounds.Width()), h = std::max(0, Bounds.Height());
    if (w != width_ || h != height_) {
        checkFrameSize(w, h);
        FreeCaches();
        data_.clear();
        width_ = w;
        height_ = h;
        allocateData();
    }
    left_ = Bounds.Left;
    top_ = Bounds.Top;
    if (!image_)
        return;
    // The logical screen grows to hold the frame (as far as its 16-bit fields reach).
    TGIFHeader& header = image_->Header();
    bool grew = false;
    if (int64_t(left_) + width_ > header.Width) {
        if (header.Width > 0) {
            Warning(GIFSeverityWarning, "Image width too small for contained frames");
            grew = true;
        }
        header.Width = uint16_t(std::min<int64_t>(int64_t(left_) + width_, 0xFFFF));
    }
    if (int64_t(top_) + height_ > header.Height) {
        if (header.Height > 0) {
            Warning(GIFSeverityWarning, "Image height too small for contained frames");
            grew = true;
        }
        header.Height = uint16_t(std::min<int64_t>(int64_t(top_) + height_, 0xFFFF));
    }
    if (grew)
        Warning(GIFSeverityWarning, "Image exceeds Logical Screen size");
}

void TGIFSubImage::SetTransparentFlag(bool Value)
{
    if (transparent_ != Value) {
        transparent_ = Value;
        FreeCaches();
    }
}

uint8_t* TGIFSubImage::Data()
{
    if (data_.empty())
        allocateData();
    if (data_.empty())
        throw GIFException("Image is empty");
    return data_.data();
}

uint8_t TGIFSubImage::Pixels(int X, int Y)
{
    if (X < 0 || X >= width_ || Y < 0 || Y >= height_)
        throw GIFException("Invalid pixel coordinates");
    return Data()[size_t(Y) * size_t(width_) + size_t(X)];
}

void TGIFSubImage::SetPixels(int X, int Y, uint8_t Value)
{
    if (X < 0 || X >= width_ || Y < 0 || Y >= height_)
        throw GIFException("Invalid pixel coordinates");
    Data()[size_t(Y) * size_t(width_) + size_t(X)] = Value;
    FreeCaches();
}

uint8_t* TGIFSubImage::Scanline(int Y)
{
    if (Y < 0 || Y >= height_)
        throw GIFException("Invalid pixel coordinates");
    return Data() + size_t(Y) * size_t(width_);
}

TGIFColorMap& TGIFSubImage::ActiveColorMap()
{
    if (colorMap_.Count() > 0 || !image_ || image_->GlobalColorMap().Count() == 0)
        return colorMap_;
    return image_->GlobalColorMap();
}

void TGIFSubImage::LoadFromStream(rtl::TStream& Stream)
{
    Clear();
    extensions_.LoadFromStream(Stream, this);
    const std::optional<uint8_t> next = tryByte(Stream);
    if (!next)
        return;
    Stream.Seek(-1, rtl::soCurrent);
    if (*next == ';' || *next == 0)
        return;  // extensions only

    uint8_t descriptor[10];
    readExact(Stream, descriptor, 10);
    int width = rtl::le16(descriptor + 5), height = rtl::le16(descriptor + 7);
    const int left = rtl::le16(descriptor + 1), top = rtl::le16(descriptor + 3);
    if (width == 0 || height == 0) {
        Warning(GIFSeverityWarning, "Image exceeds Logical Screen size");
        if (image_) {
            width = width == 0 ? image_->Width() : width;
            height = height == 0 ? image_->Height() : height;
        }
    }
    const uint8_t packed = descriptor[9];
    if (packed & 0x80) {
        const int count = 2 << (packed & 7);
        if (count < 2 || count > 256)
            throw GIFException("Invalid number of colors specified in Image Descriptor");
        colorMap_.LoadFromStream(Stream, count);
        colorMap_.SetOptimized((packed & 0x20) != 0);
    }

    // Memory is paid for by data: the frame, the image's frames together, and the LZW bytes
    // that follow must all be able to hold this many pixels before they are allocated.
    const int64_t pixels = int64_t(width) * height;
    if (pixels > 0) {
        checkFrameSize(width, height);
        if (image_) {
            TGIFImage::LoadBudget& budget = image_->Budget();
            if (budget.PixelBytes + pixels > GIFLimits::MaxImagePixelBytes)
                throw GIFException("Frames too large for one image");
            budget.PixelBytes += pixels;
        }
        const int64_t needed = (pixels + GIFLimits::PixelsPerDataByte - 1) / GIFLimits::PixelsPerDataByte;
        if (CountGIFDataBytes(Stream, needed) + 1 < needed)
            throw GIFException("Frame data too short for its size (" + std::to_string(width) + " x " +
                               std::to_string(height) + ")");
    }
    Packed = packed;
    SetBoundsRect(gfx::Bounds(left, top, width, height));
    if (transparent_ && gce_)
        std::fill(data_.begin(), data_.end(), gce_->TransparentIndex);
    DecodeGIFFrame(Stream, data_.data(), width_, height_, Interlaced(),
                   [this](const std::string& m) { Warning(GIFSeverityWarning, m); });
    if (GIFDefaults().RenderOnLoad && !Empty())
        Bitmap();
}

void TGIFSubImage::SaveToStream(rtl::TStream& Stream)
{
    extensions_.SaveToStream(Stream);
    if (Empty())
        return;
    const int localBits = colorMap_.BitsPerPixel();
    if (colorMap_.Count() > 0)
        Packed = uint8_t(0x80 | (colorMap_.Optimized() ? 0x20 : 0) | ((localBits - 1) & 7) | (Packed & 0x40));
    else
        Packed &= 0x40 | 0x10 | 0x08;
    writeByte(Stream, ',');
    writeWord(Stream, uint16_t(left_));
    writeWord(Stream, uint16_t(top_));
    writeWord(Stream, uint16_t(width_));
    writeWord(Stream, uint16_t(height_));
    writeByte(Stream, Packed);
    if (colorMap_.Count() > 0)
        colorMap_.SaveToStream(Stream, localBits);
    TGIFColorMap& map = ActiveColorMap();
    std::unique_ptr<TGIFEncoder> encoder;
    if (image_ && image_->Compression == gcRLE)
        encoder = std::make_unique<TRLEEncoder>();
    else
        encoder = std::make_unique<TLZWEncoder>();
    encoder->Compress(Stream, map.BitsPerPixel(), width_, height_, Interlaced(), data_.data(), map.Count());
}

void TGIFImageList::LoadFromStream(rtl::TStream& Stream, TGIFImage* Parent)
{
    const int64_t size = std::max<int64_t>(Stream.Size(), 1);
    for (;;) {
        std::optional<uint8_t> b = tryByte(Stream);
        while (b && *b == 0)
            b = tryByte(Stream);
        if (!b)
            return;
        Stream.Seek(-1, rtl::soCurrent);  // the trailer reader finds ';' or the stray byte
        if (*b == ';')
            return;
        if (*b != '!' && *b != ',') {
            Warning(GIFSeverityWarning, "Unknown GIF block type");
            return;
        }
        if (Count() >= GIFLimits::MaxFrames)
            throw GIFException("Too many frames");
        auto frame = std::make_unique<TGIFSubImage>(Parent);
        TGIFSubImage* f = frame.get();
        Add(std::move(frame));
        f->LoadFromStream(Stream);
        if (Parent)
            Parent->Progress(gfx::psRunning, int(Stream.Position() * 100 / size), "Loading...");
    }
}

// --- trailer ------------------------------------------------------------------------------

void TGIFTrailer::SaveToStream(rtl::TStream& Stream) { writeByte(Stream, ';'); }

void TGIFTrailer::LoadFromStream(rtl::TStream& Stream)
{
    const std::optional<uint8_t> b = tryByte(Stream);
    if (b && *b != ';')
        Warning(GIFSeverityWarning, "Invalid Image trailer");
}

// --- the image ----------------------------------------------------------------------------

const gfx::TGraphicClassInfo TGIFImage::ClassInfo = {
    "TGIFImage", []() -> std::unique_ptr<gfx::TGraphic> { return std::make_unique<TGIFImage>(); }};

TGIFImage::TGIFImage() : header_(this), images_(this)
{
    const TGIFDefaults& d = GIFDefaults();
    DrawOptions = d.DrawOptions;
    ColorReduction = d.ColorReduction;
    ReductionBits = d.ReductionBits;
    DitherMode = d.DitherMode;
    Compression = d.Compression;
    ThreadPriority = d.ThreadPriority;
    AnimationSpeed = d.AnimationSpeed;
    DrawBackgroundColor = d.DrawBackgroundColor;
}

TGIFImage::~TGIFImage()
{
    PaintStop();
    images_.Clear();
}

void TGIFImage::Warning(int Severity, const std::string& Message)
{
    if (OnWarning)
        OnWarning(*this, Severity, Message);
}

void TGIFImage::Progress(gfx::TProgressStage Stage, int PercentDone, const std::string& Message)
{
    TGraphic::Progress(Stage, PercentDone, false, gfx::TRect{}, Message);
}

void TGIFImage::FreeCaches()
{
    bitmap_.reset();
    palette_.reset();
}

void TGIFImage::Clear()
{
    PaintStop();
    images_.Clear();
    header_.Clear();
    FreeCaches();
}

TGIFVersion TGIFImage::Version() const
{
    TGIFVersion v = header_.Version();
    for (int i = 0; i < images_.Count(); ++i)
        v = std::max(v, images_[i]->Version());
    return v;
}

void TGIFImage::LoadFromStream(rtl::TStream& Stream)
{
    Progress(gfx::psStarting, 0, "Loading...");
    try {
        Clear();
        budget_ = {};
        budget_.LoadedBytes = std::max<int64_t>(Stream.Remaining(), 1);
        header_.LoadFromStream(Stream);
        images_.LoadFromStream(Stream, this);
        TGIFTrailer trailer(this);
        trailer.LoadFromStream(Stream);
    } catch (...) {
        Progress(gfx::psEnding, 0, "Loading...");
        Changed();
        throw;
    }
    Progress(gfx::psEnding, 100, "Loading...");
    Changed();
}

void TGIFImage::SaveToStream(rtl::TStream& Stream)
{
    Progress(gfx::psStarting, 0, "Saving...");
    try {
        header_.SaveToStream(Stream);
        for (int i = 0; i < images_.Count(); ++i) {
            images_[i]->SaveToStream(Stream);
            Progress(gfx::psRunning, (i + 1) * 100 / images_.Count(), "Saving...");
        }
        TGIFTrailer trailer(this);
        trailer.SaveToStream(Stream);
    } catch (...) {
        Progress(gfx::psEnding, 0, "Saving...");
        throw;
    }
    Progress(gfx::psEnding, 100, "Saving...");
}

void TGIFImage::WriteData(rtl::TStream& Stream)
{
    if (GIFDefaults().OptimizeOnStream)
        Optimize(optAll, rmNone, dmNearest, 8);
    SaveToStream(Stream);
}

void TGIFImage::SetWidth(int32_t Value) { setScreenSide(true, Value); }
void TGIFImage::SetHeight(int32_t Value) { setScreenSide(false, Value); }

void TGIFImage::setScreenSide(bool Width, int32_t Value)
{
    for (int i = 0; i < images_.Count(); ++i) {
        const TGIFSubImage& f = *images_[i];
        if ((Width ? f.Left() + f.Width() : f.Top() + f.Height()) > Value)
            throw GIFException(Width ? "Image width too small for contained frames"
                                     : "Image height too small for contained frames");
    }
    uint16_t& side = Width ? header_.Width : header_.Height;
    if (Value != side) {
        side = uint16_t(std::clamp(Value, 0, 0xFFFF));
        FreeCaches();
        Changed();
    }
}

int TGIFImage::Add(std::unique_ptr<TGIFSubImage> SubImage)
{
    FreeCaches();
    return images_.Add(std::move(SubImage));
}

int TGIFImage::Add(const gfx::TGraphic& Source)
{
    auto frame = std::make_unique<TGIFSubImage>(this);
    TGIFSubImage* f = frame.get();
    const int index = images_.Add(std::move(frame));
    try {
        f->Assign(Source);
    } catch (...) {
        images_.Delete(index);
        throw;
    }
    FreeCaches();
    Changed();
    return index;
}

