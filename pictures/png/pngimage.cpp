// The PNG object, its chunk list and the chunks other than the image data (pngimageRead.cpp
// decodes IDAT, pngimageWrite.cpp encodes it).
#include "pictures/png/pngimage.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>

#include <zlib.h>

#include "pictures/png/pngrows.h"
#include "platform/rtl/BigEndian.h"

namespace png {

// ---- errors ----

#define TAMBOURELLE_PNG_TEXT(Name, Text) \
    Name::Name() : EPngError(Text) {}
TAMBOURELLE_PNG_TEXT(EPNGInvalidFileHeader,
    "The file being readed is not a valid \"Portable Network Graphics\" image because it contains "
    "an invalid header. This file may be corruped, try obtaining it again.")
TAMBOURELLE_PNG_TEXT(EPNGIHDRNotFirst,
    "This \"Portable Network Graphics\" image is not supported or it might be invalid.\r\n"
    "(IHDR chunk is not the first)")
TAMBOURELLE_PNG_TEXT(EPngUnexpectedEnd,
    "This \"Portable Network Graphics\" image is invalid because the decoder found an unexpected "
    "end of the file.")
TAMBOURELLE_PNG_TEXT(EPNGUnknownCriticalChunk,
    "This \"Portable Network Graphics\" image contains an unknown critical part which could not be "
    "decoded.")
TAMBOURELLE_PNG_TEXT(EPNGNoImageData, "This \"Portable Network Graphics\" image contains no data.")
TAMBOURELLE_PNG_TEXT(EPngInvalidCRC,
    "This \"Portable Network Graphics\" image is not valid because it contains invalid pieces of "
    "data (crc error)")
TAMBOURELLE_PNG_TEXT(EPngInvalidIHDR,
    "The \"Portable Network Graphics\" image could not be loaded because one of its main piece of "
    "data (ihdr) might be corrupted")
// The side named is the one CheckImageSize applies, the bitmap's, not the 65535 of the header test.
static_assert(gfx::TBitmap::MaxSide == 32768);
TAMBOURELLE_PNG_TEXT(EPNGSizeExceeds,
    "This \"Portable Network Graphics\" image is not supported because either it's width or "
    "height exceeds the maximum size, which is 32768 pixels length.")
TAMBOURELLE_PNG_TEXT(EPNGUnknownCompression,
    "This \"Portable Network Graphics\" image is encoded with an unknown compression scheme which "
    "could not be decoded.")
TAMBOURELLE_PNG_TEXT(EPNGUnknownInterlace,
    "This \"Portable Network Graphics\" image uses an unknown interlace scheme which could not be "
    "decoded.")
TAMBOURELLE_PNG_TEXT(EPNGInvalidPalette, "The \"Portable Network Graphics\" image contains an invalid palette.")
TAMBOURELLE_PNG_TEXT(EPNGMissingMultipleIDAT,
    "This \"Portable Network Graphics\" image is invalid because it has missing image parts.")
TAMBOURELLE_PNG_TEXT(EPNGHeaderNotPresent,
    "This operation is not valid because the current image contains no valid header.")
TAMBOURELLE_PNG_TEXT(EPNGOutMemory,
    "Some operation could not be performed because the system is out of resources. Close some "
    "windows and try again.")
#undef TAMBOURELLE_PNG_TEXT

EPNGZLIBError::EPNGZLIBError(const std::string& description)
    : EPngError("Could not decompress the image because it contains invalid compressed data.\r\n"
                " Description: " + description)
{
}

const char* const EPNGCannotAssignChunkText = "The chunks must be compatible to be assigned.";
const char* const EPNGUnknownPalEntryText = "There is no such palette entry.";
const char* const EPNGCannotChangeSizeText =
    "The \"Portable Network Graphics\" image can not be resize by changing width and height "
    "properties. Try assigning the image from a bitmap.";

// ---- CRC and byte order ----

uint32_t UpdateCrc(uint32_t crc, const uint8_t* data, size_t size)
{
    // The PNG CRC is zlib's, continued the same way; zlib answers a null buffer (an empty
    // chunk's data) with its initial value instead of leaving the CRC as it is.
    return size == 0 ? crc : uint32_t(crc32_z(crc, data, size));
}

void putBe32(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v >> 24), p[1] = uint8_t(v >> 16), p[2] = uint8_t(v >> 8), p[3] = uint8_t(v);
}

void WriteChunk(rtl::TStream& stream, const std::string& name, const uint8_t* data, size_t size)
{
    uint8_t head[8];
    putBe32(head, uint32_t(size));
    std::memcpy(head + 4, name.data(), 4);
    stream.WriteBuffer(head, 8);
    if (size)
        stream.WriteBuffer(data, int64_t(size));
    uint8_t crc[4];
    putBe32(crc, UpdateCrc(UpdateCrc(0, head + 4, 4), data, size));
    stream.WriteBuffer(crc, 4);
}

void CheckChunkLength(rtl::TStream& stream, uint32_t length)
{
    // The data and its CRC must be there before anything is sized by the length.
    if (length > TPNGObject::MaxChunkLength || int64_t(length) + 4 > stream.Remaining())
        throw EPngUnexpectedEnd();
}

// ---- the chunk-class registry ----

namespace {

template <class T>
std::unique_ptr<TChunk> make(TPNGObject& owner)
{
    return std::make_unique<T>(owner);
}

std::vector<TChunkClass>& chunkClasses()
{
    static std::vector<TChunkClass> classes{&TChunkIHDR::ClassInfo, &TChunkPLTE::ClassInfo, &TChunkgAMA::ClassInfo,
                                            &TChunktRNS::ClassInfo, &TChunkIDAT::ClassInfo, &TChunktIME::ClassInfo,
                                            &TChunktEXt::ClassInfo, &TChunkIEND::ClassInfo};
    return classes;
}

}  // namespace

const TChunkClassInfo TChunk::ClassInfo{"", &make<TChunk>};
const TChunkClassInfo TChunkIHDR::ClassInfo{"IHDR", &make<TChunkIHDR>};
const TChunkClassInfo TChunkPLTE::ClassInfo{"PLTE", &make<TChunkPLTE>};
const TChunkClassInfo TChunkgAMA::ClassInfo{"gAMA", &make<TChunkgAMA>};
const TChunkClassInfo TChunktRNS::ClassInfo{"tRNS", &make<TChunktRNS>};
const TChunkClassInfo TChunkIDAT::ClassInfo{"IDAT", &make<TChunkIDAT>};
const TChunkClassInfo TChunktIME::ClassInfo{"tIME", &make<TChunktIME>};
const TChunkClassInfo TChunktEXt::ClassInfo{"tEXt", &make<TChunktEXt>};
const TChunkClassInfo TChunkIEND::ClassInfo{"IEND", &make<TChunkIEND>};

void RegisterChunk(TChunkClass chunkClass) { chunkClasses().push_back(chunkClass); }

TChunkClass FindChunkClass(const std::string& name)
{
    const auto& classes = chunkClasses();
    for (auto it = classes.rbegin(); it != classes.rend(); ++it)
        if (name == (*it)->name)
            return *it;
    return &TChunk::ClassInfo;
}

// ---- TChunk ----

TChunk::TChunk(TPNGObject& owner) : owner_(owner) {}
TChunk::~TChunk() = default;

void TChunk::RequireSameClass(const TChunk& source) const
{
    if (source.ClassType() != ClassType())
        throw EPngError(EPNGCannotAssignChunkText);
}

void TChunk::Assign(const TChunk& source)
{
    if (ClassType() != &TChunk::ClassInfo)
        RequireSameClass(source);
    name_ = source.name_;
    data_ = source.data_;
}

bool TChunk::LoadFromStream(rtl::TStream& stream, const std::string& chunkName, uint32_t size)
{
    CheckChunkLength(stream, size);
    name_ = chunkName;
    data_.resize(size);
    if (size)
        stream.ReadBuffer(data_.data(), size);
    uint8_t crc[4];
    stream.ReadBuffer(crc, 4);
    const uint32_t mine = UpdateCrc(UpdateCrc(0, reinterpret_cast<const uint8_t*>(chunkName.data()), 4),
                                    data_.data(), data_.size());
    if (mine != rtl::be32(crc))
        throw EPngInvalidCRC();
    return true;
}

bool TChunk::SaveToStream(rtl::TStream& stream)
{
    WriteChunk(stream, name_, data_.data(), data_.size());
    return true;
}

// ---- IHDR ----

TChunkIHDR::TChunkIHDR(TPNGObject& owner) : TChunk(owner) { SetName("IHDR"); }

int TChunkIHDR::DibBits(uint8_t colorType, uint8_t bitDepth)
{
    switch (colorType) {
    case pngGray:
        return bitDepth == 1 || bitDepth == 4 || bitDepth == 8 ? bitDepth
             : bitDepth == 2 ? 4 : bitDepth == 16 ? 8 : 0;
    case pngIndexed:
        return bitDepth == 1 || bitDepth == 4 || bitDepth == 8 ? bitDepth : bitDepth == 2 ? 4 : 0;
    case pngRGB:
    case pngRGBAlpha:
        return bitDepth == 8 || bitDepth == 16 ? 24 : 0;
    case pngGrayAlpha:
        return bitDepth == 8 || bitDepth == 16 ? 8 : 0;
    default:
        return 0;
    }
}

void TChunkIHDR::Assign(const TChunk& source)
{
    TChunk::Assign(source);
    const auto& s = static_cast<const TChunkIHDR&>(source);
    Width = s.Width, Height = s.Height, BitDepth = s.BitDepth, ColorType = s.ColorType;
    CompressionMethod = s.CompressionMethod, FilterMethod = s.FilterMethod, InterlaceMethod = s.InterlaceMethod;
    ColorTable = s.ColorTable;
    ImageData.Assign(s.ImageData);
    ImageAlpha = s.ImageAlpha;
}

bool TChunkIHDR::LoadFromStream(rtl::TStream& stream, const std::string& chunkName, uint32_t size)
{
    if (!TChunk::LoadFromStream(stream, chunkName, size))
        return false;
    if (data_.size() < 13)
        throw EPngInvalidIHDR();
    Width = rtl::be32(data_.data());
    Height = rtl::be32(data_.data() + 4);
    BitDepth = data_[8], ColorType = data_[9], CompressionMethod = data_[10];
    FilterMethod = data_[11], InterlaceMethod = data_[12];
    if (Width == 0 || Height == 0 || Width > 0xFFFF || Height > 0xFFFF)
        throw EPNGSizeExceeds();
    if (DibBits(ColorType, BitDepth) == 0)
        throw EPngInvalidIHDR();
    if (CompressionMethod != 0)
        throw EPNGUnknownCompression();
    if (InterlaceMethod > imAdam7)
        throw EPNGUnknownInterlace();
    Owner().InterlaceMethod = InterlaceMethod;
    CheckImageSize();
    // Nothing is allocated that the rest of the stream could not inflate to.
    const rows::Layout l(*this);
    if (l.InflatedBytes(InterlaceMethod) > 1032 * uint64_t(stream.Remaining()) + 1032)
        throw EPngUnexpectedEnd();
    PrepareImageData();
    return true;
}

void TChunkIHDR::CheckImageSize() const
{
    const int bits = DibBits(ColorType, BitDepth);
    if (bits == 0)
        throw EPngInvalidIHDR();
    const int64_t stride = ((int64_t(bits) * Width + 31) / 32) * 4;
    if (Width > uint32_t(gfx::TBitmap::MaxSide) || Height > uint32_t(gfx::TBitmap::MaxSide) ||
        stride * Height > gfx::TBitmap::MaxPixelBytes ||
        (HasAlpha() && int64_t(Width) * Height > gfx::TBitmap::MaxPixelBytes))
        throw EPNGSizeExceeds();
}

void TChunkIHDR::PrepareImageData()
{
    CheckImageSize();
    const int bits = DibBits(ColorType, BitDepth);
    const gfx::TPixelFormat f = bits == 1 ? gfx::pf1bit : bits == 4 ? gfx::pf4bit : bits == 8 ? gfx::pf8bit : gfx::pf24bit;
    ImageData.SetSize(0, 0);
    ImageData.SetPixelFormat(f);
    ImageData.SetSize(int32_t(Width), int32_t(Height));
    for (int32_t y = 0; y < int32_t(Height); ++y)
        std::memset(ImageData.ScanLine(y), 0, size_t(ImageData.BytesPerLine()));
    ImageAlpha.assign(HasAlpha() ? size_t(Width) * Height : 0, 0);
    ColorTable = {};
    ApplyColorTable();
}

void TChunkIHDR::ApplyColorTable()
{
    if (ImageData.PixelFormat() == gfx::pf24bit)
        return;
    std::vector<gfx::TColor> colors(size_t(1) << gfx::TBitmap::BitsPerPixel(ImageData.PixelFormat()));
    for (size_t i = 0; i < colors.size(); ++i)
        colors[i] = gfx::RGB(ColorTable[i].rgbRed, ColorTable[i].rgbGreen, ColorTable[i].rgbBlue);
    ImageData.SetPalette(colors);
}

bool TChunkIHDR::SaveToStream(rtl::TStream& stream)
{
    data_.assign(13, 0);
    putBe32(data_.data(), Width);
    putBe32(data_.data() + 4, Height);
    // A 2-bit image is held as 4-bit data.
    data_[8] = BitDepth == 2 ? 4 : BitDepth;
    data_[9] = ColorType, data_[10] = CompressionMethod, data_[11] = FilterMethod;
    data_[12] = Owner().InterlaceMethod;
    return TChunk::SaveToStream(stream);
}

// ---- PLTE ----

TChunkPLTE::TChunkPLTE(TPNGObject& owner) : TChunk(owner) { SetName("PLTE"); }

void TChunkPLTE::Assign(const TChunk& source)
{
    TChunk::Assign(source);
    count_ = static_cast<const TChunkPLTE&>(source).count_;
}

bool TChunkPLTE::LoadFromStream(rtl::TStream& stream, const std::string& chunkName, uint32_t size)
{
    if (!TChunk::LoadFromStream(stream, chunkName, size))
        return false;
    if (data_.size() % 3 != 0 || data_.size() > 768)
        throw EPNGInvalidPalette();
    count_ = int(data_.size() / 3);
    TChunkIHDR& h = Owner().Header();
    const auto& g = Owner().GammaTable;
    for (int i = 0; i < count_; ++i) {
        TRGBQuad& q = h.ColorTable[size_t(i)];
        q.rgbRed = g[data_[size_t(i) * 3]], q.rgbGreen = g[data_[size_t(i) * 3 + 1]];
        q.rgbBlue = g[data_[size_t(i) * 3 + 2]], q.rgbReserved = 0;
    }
    h.ApplyColorTable();
    return true;
}

TRGBQuad TChunkPLTE::Item(int index) const
{
    if (index < 0 || index >= count_)
        throw EPngError(EPNGUnknownPalEntryText);
    return Owner().Header().ColorTable[size_t(index)];
}

bool TChunkPLTE::SaveToStream(rtl::TStream& stream)
{
    const TChunkIHDR& h = Owner().Header();
    const auto& inv = Owner().InverseGamma;
    data_.resize(size_t(count_) * 3);
    for (int i = 0; i < count_; ++i) {
        const TRGBQuad& q = h.ColorTable[size_t(i)];
        data_[size_t(i) * 3] = inv[q.rgbRed];
        data_[size_t(i) * 3 + 1] = inv[q.rgbGreen];
        data_[size_t(i) * 3 + 2] = inv[q.rgbBlue];
    }
    return TChunk::SaveToStream(stream);
}

// ---- gAMA ----

TChunkgAMA::TChunkgAMA(TPNGObject& owner) : TChunk(owner) { SetName("gAMA"); }

void TChunkgAMA::Assign(const TChunk& source)
{
    TChunk::Assign(source);
    Gamma = static_cast<const TChunkgAMA&>(source).Gamma;
}

bool TChunkgAMA::LoadFromStream(rtl::TStream& stream, const std::string& chunkName, uint32_t size)
{
    if (!TChunk::LoadFromStream(stream, chunkName, size))
        return false;
    // A value of another size says nothing about the gamma: the tables stay as they are
    // (reading it as 1 would darken the whole picture to near black).
    if (data_.size() != 4)
        return true;
    Gamma = rtl::be32(data_.data());
    if (Gamma == 0)
        return true;
    auto& table = Owner().GammaTable;
    auto& inverse = Owner().InverseGamma;
    const double g = Gamma / 100000.0;
    for (int i = 0; i < 256; ++i) {
        const double v = std::pow(i / 255.0, 1.0 / (g * 2.2));
        const long r = std::lround(v * 255);
        const uint8_t b = uint8_t(std::clamp(r, 0L, 255L));
        table[size_t(i)] = b;
        inverse[b] = uint8_t(i);
    }
    return true;
}

bool TChunkgAMA::SaveToStream(rtl::TStream& stream)
{
    // A value that was not read goes back as it came.
    if (!data_.empty() && data_.size() != 4)
        return TChunk::SaveToStream(stream);
    data_.resize(4);
    putBe32(data_.data(), Gamma);
    return TChunk::SaveToStream(stream);
}

// ---- tRNS ----

TChunktRNS::TChunktRNS(TPNGObject& owner) : TChunk(owner)
{
    SetName("tRNS");
    PaletteValues.fill(255);
}

void TChunktRNS::Assign(const TChunk& source)
{
    TChunk::Assign(source);
    const auto& s = static_cast<const TChunktRNS&>(source);
    PaletteValues = s.PaletteValues;
    BitTransparency = s.BitTransparency;
}

bool TChunktRNS::LoadFromStream(rtl::TStream& stream, const std::string& chunkName, uint32_t size)
{
    if (!TChunk::LoadFromStream(stream, chunkName, size))
        return false;
    if (data_.size() > 256)
        throw EPNGInvalidPalette();
    PaletteValues.fill(255);
    std::copy(data_.begin(), data_.end(), PaletteValues.begin());
    const TChunkIHDR& h = Owner().Header();
    switch (h.ColorType) {
    case pngGray:
        BitTransparency = data_.size() >= 2;
        break;
    case pngRGB:
        BitTransparency = data_.size() >= 6;
        break;
    case pngIndexed: {
        // One entry cut out wholly is a key colour; a translucent one must be blended.
        int below = 0;
        bool clear = false;
        for (uint8_t a : data_)
            if (a < 255)
                ++below, clear = a == 0;
        BitTransparency = below == 1 && clear;
        break;
    }
    default:
        BitTransparency = false;
    }
    return true;
}

gfx::TColor TChunktRNS::TransparentColor() const
{
    const TChunkIHDR& h = Owner().Header();
    const auto& g = Owner().GammaTable;
    // The key as the pixels hold it: through the gamma table and, for gray, the ramp, so
    // that it matches the pixels it names.
    auto sample = [&](size_t i) { return h.BitDepth == 16 ? PaletteValues[i] : PaletteValues[i + 1]; };
    switch (h.ColorType) {
    case pngGray: {
        const int bits = TChunkIHDR::DibBits(h.ColorType, h.BitDepth);
        const int maxKey = h.BitDepth >= 8 ? 255 : (1 << h.BitDepth) - 1;
        const int key = std::min<int>(sample(0), maxKey);
        const int index = h.BitDepth == 2 ? key * 5 : key;
        const TRGBQuad& q = h.ColorTable[size_t(index) & ((1u << bits) - 1)];
        return gfx::RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
    }
    case pngRGB:
        return gfx::RGB(g[sample(0)], g[sample(2)], g[sample(4)]);
    case pngIndexed:
        for (size_t i = 0; i < data_.size(); ++i)
            if (PaletteValues[i] < 255) {
                const TRGBQuad& q = h.ColorTable[i];
                return gfx::RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
            }
        return 0;
    default:
        return 0;
    }
}

void TChunktRNS::SetTransparentColor(gfx::TColor color)
{
    const TChunkIHDR& h = Owner().Header();
    color = gfx::ColorToRGB(color);
    const uint8_t r = uint8_t(gfx::GetRValue(color)), g = uint8_t(gfx::GetGValue(color)), b = uint8_t(gfx::GetBValue(color));
    PaletteValues.fill(255);
    BitTransparency = true;
    switch (h.ColorType) {
    case pngIndexed: {
        data_.clear();
        for (size_t i = 0; i < 256; ++i) {
            const TRGBQuad& q = h.ColorTable[i];
            if (q.rgbRed == r && q.rgbGreen == g && q.rgbBlue == b) {
                PaletteValues[i] = 0;
                data_.assign(PaletteValues.begin(), PaletteValues.begin() + ptrdiff_t(i) + 1);
                return;
            }
        }
        // No entry has the colour: all stay opaque.
        data_.assign(PaletteValues.begin(), PaletteValues.end());
        BitTransparency = false;
        return;
    }
    case pngGray:
        data_ = {0, r};
        break;
    case pngRGB:
        data_ = {0, r, 0, g, 0, b};
        break;
    default:
        data_.clear();
        BitTransparency = false;
        return;
    }
    std::copy(data_.begin(), data_.end(), PaletteValues.begin());
}

bool TChunktRNS::SaveToStream(rtl::TStream& stream) { return TChunk::SaveToStream(stream); }

// ---- tIME, tEXt, IEND, IDAT ----

TChunktIME::TChunktIME(TPNGObject& owner) : TChunk(owner) { SetName("tIME"); }

void TChunktIME::Assign(const TChunk& source)
{
    TChunk::Assign(source);
    const auto& s = static_cast<const TChunktIME&>(source);
    Year = s.Year, Month = s.Month, Day = s.Day, Hour = s.Hour, Minute = s.Minute, Second = s.Second;
}

bool TChunktIME::LoadFromStream(rtl::TStream& stream, const std::string& chunkName, uint32_t size)
{
    if (!TChunk::LoadFromStream(stream, chunkName, size))
        return false;
    if (data_.size() == 7) {
        // The year as stored: its two bytes in the file's order.
        std::memcpy(&Year, data_.data(), 2);
        Month = data_[2], Day = data_[3], Hour = data_[4], Minute = data_[5], Second = data_[6];
    }
    return true;
}

bool TChunktIME::SaveToStream(rtl::TStream& stream)
{
    if (!data_.empty() && data_.size() != 7)
        return TChunk::SaveToStream(stream);
    data_.resize(7);
    std::memcpy(data_.data(), &Year, 2);
    data_[2] = Month, data_[3] = Day, data_[4] = Hour, data_[5] = Minute, data_[6] = Second;
    return TChunk::SaveToStream(stream);
}

TChunktEXt::TChunktEXt(TPNGObject& owner) : TChunk(owner) { SetName("tEXt"); }

void TChunktEXt::Assign(const TChunk& source)
{
    TChunk::Assign(source);
    const auto& s = static_cast<const TChunktEXt&>(source);
    Keyword = s.Keyword, Text = s.Text;
}

bool TChunktEXt::LoadFromStream(rtl::TStream& stream, const std::string& chunkName, uint32_t size)
{
    if (!TChunk::LoadFromStream(stream, chunkName, size))
        return false;
    if (data_.size() >= 3) {
        const auto zero = std::find(data_.begin(), data_.end(), uint8_t(0));
        Keyword.assign(data_.begin(), zero);
        Text.assign(zero == data_.end() ? zero : zero + 1, data_.end());
    }
    return true;
}

bool TChunktEXt::SaveToStream(rtl::TStream& stream)
{
    if (!data_.empty() && data_.size() < 3)
        return TChunk::SaveToStream(stream);
    data_.assign(Keyword.begin(), Keyword.end());
    data_.push_back(0);
    data_.insert(data_.end(), Text.begin(), Text.end());
    return TChunk::SaveToStream(stream);
}

TChunkIEND::TChunkIEND(TPNGObject& owner) : TChunk(owner) { SetName("IEND"); }

TChunkIDAT::TChunkIDAT(TPNGObject& owner) : TChunk(owner) { SetName("IDAT"); }

// ---- the lists ----

TChunk* TPNGPointerList::Add(std::unique_ptr<TChunk> chunk)
{
    items_.push_back(std::move(chunk));
    return items_.back().get();
}

void TPNGPointerList::Remove(const TChunk* chunk)
{
    std::erase_if(items_, [chunk](const std::unique_ptr<TChunk>& c) { return c.get() == chunk; });
}

// ---- TPNGObject ----

namespace {
std::unique_ptr<gfx::TGraphic> createPng() { return std::make_unique<TPNGObject>(); }
const uint8_t Signature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
}  // namespace

const gfx::TGraphicClassInfo TPNGObject::ClassInfo{"TPNGObject", &createPng};

TPNGObject::TPNGObject() { InitializeGamma(); }
TPNGObject::~TPNGObject() = default;

void TPNGObject::InitializeGamma()
{
    for (int i = 0; i < 256; ++i)
        GammaTable[size_t(i)] = InverseGamma[size_t(i)] = uint8_t(i);
}

TChunkIHDR& TPNGObject::Header() const
{
    auto* h = chunks_.ItemFromClass<TChunkIHDR>();
    if (!h)
        throw EPNGHeaderNotPresent();
    return *h;
}

bool TPNGObject::Empty() const { return chunks_.Count() == 0 || !chunks_.ItemFromClass<TChunkIHDR>(); }
int32_t TPNGObject::Width() const { return Empty() ? 0 : int32_t(Header().Width); }
int32_t TPNGObject::Height() const { return Empty() ? 0 : int32_t(Header().Height); }
void TPNGObject::SetWidth(int32_t) { throw EPngError(EPNGCannotChangeSizeText); }
void TPNGObject::SetHeight(int32_t) { throw EPngError(EPNGCannotChangeSizeText); }
bool TPNGObject::Transparent() const { return TransparencyMode() != ptmNone; }

TPNGTransparencyMode TPNGObject::TransparencyMode() const
{
    const auto* h = chunks_.ItemFromClass<TChunkIHDR>();
    if (!h)
        return ptmNone;
    if (h->HasAlpha())
        return ptmPartial;
    const auto* t = chunks_.ItemFromClass<TChunktRNS>();
    if (!t)
        return ptmNone;
    if (t->BitTransparency)
        return ptmSingleColor;
    if (h->ColorType == pngIndexed)
        for (uint8_t a : t->PaletteValues)
            if (a < 255)
                return ptmPartial;
    return ptmNone;
}

gfx::TColor TPNGObject::TransparentColor() const
{
    const auto* t = chunks_.ItemFromClass<TChunktRNS>();
    return t ? t->TransparentColor() : 0;
}

void TPNGObject::LoadFromStream(rtl::TStream& stream)
{
    chunks_.Clear();
    InitializeGamma();
    uint8_t sig[8];
    if (stream.Read(sig, 8) != 8 || std::memcmp(sig, Signature, 8) != 0)
        throw EPNGInvalidFileHeader();
    readChunks(stream);
    Changed();
}

void TPNGObject::readChunks(rtl::TStream& stream)
{
    bool haveIdat = false;
    for (;;) {
        uint8_t head[8];
        if (stream.Read(head, 8) != 8)
            throw EPngUnexpectedEnd();
        const uint32_t length = rtl::be32(head);
        const std::string name(reinterpret_cast<const char*>(head + 4), 4);
        CheckChunkLength(stream, length);
        if (chunks_.Count() == 0 && name != "IHDR")
            throw EPNGIHDRNotFirst();
        if (name == "cHRM" || (name == "IDAT" && haveIdat)) {
            stream.Seek(int64_t(length) + 4, rtl::soCurrent);
            continue;
        }
        if (chunks_.Count() >= MaxChunks)
            throw EPNGOutMemory();
        const TChunkClass cls = FindChunkClass(name);
        if (cls == &TChunk::ClassInfo && (name[0] & 0x20) == 0)
            throw EPNGUnknownCriticalChunk();
        // A second header would replace the image the others describe.
        if (cls == &TChunkIHDR::ClassInfo && chunks_.Count() > 0)
            throw EPngInvalidIHDR();
        TChunk* chunk = chunks_.Add(cls->create(*this));
        haveIdat = haveIdat || cls == &TChunkIDAT::ClassInfo;
        if (!chunk->LoadFromStream(stream, name, length) || name == "IEND")
            break;
    }
    if (!haveIdat)
        throw EPNGNoImageData();
}

void TPNGObject::SaveToStream(rtl::TStream& stream)
{
    const TChunkIHDR& h = Header();
    if (h.ImageData.Empty())
        throw EPNGHeaderNotPresent();
    stream.WriteBuffer(Signature, 8);
    for (int i = 0; i < chunks_.Count(); ++i)
        chunks_.Item(i)->SaveToStream(stream);
}

// ---- drawing ----

void TPNGObject::Draw(gfx::TCanvas& canvas, const gfx::TRect& r) const
{
    if (Empty())
        return;
    const TChunkIHDR& h = Header();
    const gfx::TRect src = gfx::Rect(0, 0, int32_t(h.Width), int32_t(h.Height));
    switch (TransparencyMode()) {
    case ptmNone:
        canvas.DrawImage(h.ImageData.ToImage(), src, r);
        break;
    case ptmSingleColor:
        canvas.DrawImage(h.ImageData.ToImage(), src, r, TransparentColor());
        break;
    case ptmPartial:
        drawBlended(canvas, r);
        break;
    }
}

namespace {

// A channel of a pixel with opacity a over what is there: (source x a + 255 + (255 - a) x
// destination) div 256.
unsigned blendChannel(unsigned source, unsigned destination, unsigned a)
{
    return (source * a + 255 + (255 - a) * destination) >> 8;
}

}  // namespace

void TPNGObject::DrawOnto24Bit(gfx::TBitmap& target) const
{
    if (Empty() || target.PixelFormat() != gfx::pf24bit)
        return;
    const TChunkIHDR& h = Header();
    const gfx::TBitmap& image = h.ImageData;
    const TPNGTransparencyMode mode = TransparencyMode();
    const auto* trns = chunks_.ItemFromClass<TChunktRNS>();
    const gfx::TColor key = mode == ptmSingleColor ? gfx::ColorToRGB(TransparentColor()) : gfx::clNone;
    const bool indexed = h.ColorType == pngIndexed;
    const bool direct = image.PixelFormat() == gfx::pf24bit, bytes = image.PixelFormat() == gfx::pf8bit;
    std::array<gfx::TColor, 256> palette{};
    std::copy_n(image.Palette().begin(), std::min<size_t>(image.Palette().size(), 256), palette.begin());
    const int32_t w = std::min(int32_t(h.Width), target.Width()), height = std::min(int32_t(h.Height), target.Height());
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* out = target.ScanLine(y);
        const uint8_t* in = image.ScanLine(y);
        const uint8_t* alphaRow = mode == ptmPartial && h.HasAlpha() ? h.AlphaRow(y) : nullptr;
        for (int32_t x = 0; x < w; ++x, out += 3) {
            const gfx::TColor c = direct ? gfx::RGB(in[3 * x + 2], in[3 * x + 1], in[3 * x])
                                  : bytes  ? palette[in[x]]
                                           : image.PixelColor(x, y);
            const uint8_t b = uint8_t(gfx::GetBValue(c)), g = uint8_t(gfx::GetGValue(c)), r = uint8_t(gfx::GetRValue(c));
            if (mode == ptmPartial) {
                unsigned a = 255;
                if (alphaRow)
                    a = alphaRow[x];
                else if (indexed && trns)
                    a = trns->PaletteValues[rows::PackedPixel(in, x, image.PixelFormat())];
                out[0] = uint8_t(blendChannel(b, out[0], a));
                out[1] = uint8_t(blendChannel(g, out[1], a));
                out[2] = uint8_t(blendChannel(r, out[2], a));
            } else if (c != key) {
                out[0] = b, out[1] = g, out[2] = r;
            }
        }
    }
}

// Each pixel over what the canvas holds (blendChannel), a from the alpha plane or the pixel's
// palette entry.
void TPNGObject::drawBlended(gfx::TCanvas& canvas, const gfx::TRect& r) const
{
    QImage* surface = canvas.Surface();
    if (!surface || surface->isNull() || r.IsEmpty())
        return;
    const TChunkIHDR& h = Header();
    const auto* trns = chunks_.ItemFromClass<TChunktRNS>();
    const QImage src = h.ImageData.ToImage();
    const int64_t dw = r.Width(), dh = r.Height(), sw = h.Width, sh = h.Height;
    const int x0 = int(std::max<int64_t>(r.Left, 0)), x1 = int(std::min<int64_t>(r.Right, surface->width()));
    const int y0 = int(std::max<int64_t>(r.Top, 0)), y1 = int(std::min<int64_t>(r.Bottom, surface->height()));
    if (x0 >= x1 || y0 >= y1)
        return;
    QImage area = surface->copy(x0, y0, x1 - x0, y1 - y0).convertToFormat(QImage::Format_RGB32);
    if (area.isNull())
        throw EPNGOutMemory();
    const bool indexed = h.ColorType == pngIndexed;
    for (int y = y0; y < y1; ++y) {
        const int32_t sy = int32_t(((2 * (y - r.Top) + 1) * sh) / (2 * dh));
        const QRgb* in = reinterpret_cast<const QRgb*>(src.constScanLine(sy));
        const uint8_t* alphaRow = h.HasAlpha() ? h.AlphaRow(sy) : nullptr;
        const uint8_t* indexRow = indexed ? h.ImageData.ScanLine(sy) : nullptr;
        QRgb* out = reinterpret_cast<QRgb*>(area.scanLine(y - y0));
        for (int x = x0; x < x1; ++x) {
            const int32_t sx = int32_t(((2 * (x - r.Left) + 1) * sw) / (2 * dw));
            unsigned a = 255;
            if (alphaRow)
                a = alphaRow[sx];
            else if (indexRow && trns)
                a = trns->PaletteValues[rows::PackedPixel(indexRow, sx, h.ImageData.PixelFormat())];
            const QRgb s = in[sx], d = out[x - x0];
            out[x - x0] = qRgb(int(blendChannel(qRed(s), qRed(d), a)), int(blendChannel(qGreen(s), qGreen(d), a)),
                               int(blendChannel(qBlue(s), qBlue(d), a)));
        }
    }
    const gfx::TRect whole = gfx::Rect(0, 0, area.width(), area.height());
    const gfx::TCopyMode mode = canvas.CopyMode();
    canvas.SetCopyMode(gfx::cmSrcCopy);
    canvas.DrawImage(area, whole, gfx::Rect(x0, y0, x1, y1));
    canvas.SetCopyMode(mode);
}

// ---- assigning ----

void TPNGObject::Assign(const gfx::TGraphic& source)
{
    if (const auto* p = dynamic_cast<const TPNGObject*>(&source)) {
        if (p == this)
            return;
        InterlaceMethod = p->InterlaceMethod;
        SetMaxIdatSize(p->MaxIdatSize());
        CompressionLevel = p->CompressionLevel;
        Filters = p->Filters;
        GammaTable = p->GammaTable;
        InverseGamma = p->InverseGamma;
        chunks_.Clear();
        for (int i = 0; i < p->chunks_.Count(); ++i) {
            const TChunk* s = p->chunks_.Item(i);
            chunks_.Add(s->ClassType()->create(*this))->Assign(*s);
        }
        Changed();
        return;
    }
    if (const auto* b = dynamic_cast<const gfx::TBitmap*>(&source)) {
        AssignHandle(*b, b->Transparent(), gfx::ColorToRGB(b->TransparentColor()));
        return;
    }
    TGraphic::Assign(source);
}

void TPNGObject::AssignTo(gfx::TBitmap& dest) const
{
    const TChunkIHDR& h = Header();
    dest.Assign(h.ImageData);
    if (TransparencyMode() == ptmSingleColor) {
        dest.SetTransparentColor(TransparentColor());
        dest.SetTransparent(true);
    } else {
        dest.SetTransparent(false);
    }
}

void TPNGObject::AssignHandle(const gfx::TBitmap& bitmap, bool transparent, gfx::TColor transparentColor)
{
    chunks_.Clear();
    InitializeGamma();
    if (bitmap.Empty()) {
        Changed();
        return;
    }
    const int bits = gfx::TBitmap::BitsPerPixel(bitmap.PixelFormat());
    const bool palette = bits > 0 && bits < 16 && bitmap.PixelFormat() != gfx::pfDevice;
    auto* h = static_cast<TChunkIHDR*>(chunks_.Add(std::make_unique<TChunkIHDR>(*this)));
    TChunkPLTE* plte = palette ? static_cast<TChunkPLTE*>(chunks_.Add(std::make_unique<TChunkPLTE>(*this))) : nullptr;
    TChunktRNS* trns = transparent ? static_cast<TChunktRNS*>(chunks_.Add(std::make_unique<TChunktRNS>(*this))) : nullptr;
    chunks_.Add(std::make_unique<TChunkIDAT>(*this));
    chunks_.Add(std::make_unique<TChunkIEND>(*this));

    h->Width = uint32_t(bitmap.Width());
    h->Height = uint32_t(bitmap.Height());
    h->ColorType = palette ? pngIndexed : pngRGB;
    h->BitDepth = palette ? uint8_t(bits) : 8;
    h->CompressionMethod = 0, h->FilterMethod = 0, h->InterlaceMethod = 0;
    h->PrepareImageData();
    if (palette) {
        const auto& pal = bitmap.Palette();
        for (size_t i = 0; i < pal.size() && i < 256; ++i) {
            const gfx::TColor c = gfx::ColorToRGB(pal[i]);
            h->ColorTable[i] = TRGBQuad{uint8_t(gfx::GetBValue(c)), uint8_t(gfx::GetGValue(c)), uint8_t(gfx::GetRValue(c)), 0};
        }
        h->ApplyColorTable();
        plte->SetCount(1 << bits);
        for (int32_t y = 0; y < bitmap.Height(); ++y)
            std::memcpy(h->ImageData.ScanLine(y), bitmap.ScanLine(y), size_t(h->ImageData.BytesPerLine()));
    } else {
        gfx::TBitmap copy;
        copy.Assign(bitmap);
        copy.SetPixelFormat(gfx::pf24bit);
        for (int32_t y = 0; y < copy.Height(); ++y)
            std::memcpy(h->ImageData.ScanLine(y), copy.ScanLine(y), size_t(h->ImageData.BytesPerLine()));
    }
    if (trns)
        trns->SetTransparentColor(transparentColor);
    Changed();
}

void TPNGObject::SaveToClipboardFormat() const
{
    if (Empty())
        return;
    QGuiApplication::clipboard()->setImage(Header().ImageData.ToImage());
}

void TPNGObject::LoadFromClipboardFormat()
{
    const QImage image = QGuiApplication::clipboard()->image();
    gfx::TBitmap b;
    if (!image.isNull())
        b.FromImage(image);
    AssignHandle(b, false, 0);
}

}  // namespace png
