#include "visual/DIB.h"

#include <algorithm>
#include <cstring>

#include <QClipboard>
#include <QMimeData>

#include "platform/gfx/Bitmap.h"
#include "platform/gfx/DibHeader.h"
#include "platform/gfx/Picture.h"
#include "platform/rtl/Streams.h"

namespace visual {

namespace {

const char* const MimeType = "image/bmp";

[[noreturn]] void InvalidDIB() { throw gfx::EInvalidGraphic("DIB is invalid"); }

void Put32(std::vector<uint8_t>& v, size_t at, uint32_t x)
{
    for (int i = 0; i < 4; ++i)
        v[at + size_t(i)] = uint8_t(x >> (8 * i));
}

int64_t RowBytesOf(int64_t width, int64_t bitCount) { return (width * bitCount + 31) / 32 * 4; }

bool Is555(const TDIBChannelFormat& f) { return f == FormatFromBitCounts(5, 5, 5); }
bool Is565(const TDIBChannelFormat& f) { return f == FormatFromBitCounts(5, 6, 5); }

// The first run of set bits from bit 0 upward (leading zeros skipped).
int32_t RunLength(uint32_t mask)
{
    if (mask == 0)
        return 0;
    while (!(mask & 1))
        mask >>= 1;
    int32_t n = 0;
    while (mask & 1) {
        mask >>= 1;
        ++n;
    }
    return n;
}

std::shared_ptr<TDIBSharedImage>& EmptyImage()
{
    static auto empty = std::make_shared<TDIBSharedImage>();
    return empty;
}

QImage::Format CanvasFormat(const TDIBSharedImage& im)
{
    switch (im.BitCount) {
    case 16:
        return Is565(im.PixelFormat) ? QImage::Format_RGB16 : QImage::Format_RGB555;
    case 24:
        return QImage::Format_BGR888;
    case 32:
        return QImage::Format_RGB32;
    default:
        return QImage::Format_Invalid;
    }
}

}  // namespace

namespace {

// Masks of runs a file's bit fields may make as long as 32 bits each: bits past the 32nd are
// dropped instead of shifting by the word's width or more.
uint32_t lowBits(int32_t n) { return n >= 32 ? ~uint32_t(0) : (uint32_t(1) << n) - 1; }
uint32_t shiftedUp(uint32_t v, int32_t by) { return by >= 32 ? 0 : v << by; }

}  // namespace

TDIBChannelFormat FormatFromBitCounts(int32_t r, int32_t g, int32_t b)
{
    TDIBChannelFormat f;
    f.RedMask = shiftedUp(lowBits(r), g + b);
    f.GreenMask = shiftedUp(lowBits(g), b);
    f.BlueMask = lowBits(b);
    f.RedBits = r;
    f.GreenBits = g;
    f.BlueBits = b;
    f.RedShift = g + b - (8 - r);
    f.GreenShift = b - (8 - g);
    f.BlueShift = 8 - b;
    f.RedPad = 8 - r;
    f.GreenPad = 8 - g;
    f.BluePad = 8 - b;
    return f;
}

TDIBChannelFormat FormatFromMasks(uint32_t r, uint32_t g, uint32_t b)
{
    return FormatFromBitCounts(RunLength(r), RunLength(g), RunLength(b));
}

TRGBQuad MakeRGBQuad(uint8_t r, uint8_t g, uint8_t b) { return {b, g, r, 0}; }
TRGBQuad PaletteEntryToRGBQuad(const TPaletteEntry& e) { return {e.peBlue, e.peGreen, e.peRed, 0}; }
TPaletteEntry RGBQuadToPaletteEntry(const TRGBQuad& q) { return {q.rgbRed, q.rgbGreen, q.rgbBlue, 0}; }

TRGBQuads PaletteEntriesToRGBQuads(const TPaletteEntries& e)
{
    TRGBQuads q;
    std::transform(e.begin(), e.end(), q.begin(), PaletteEntryToRGBQuad);
    return q;
}

TPaletteEntries RGBQuadsToPaletteEntries(const TRGBQuads& q)
{
    TPaletteEntries e;
    std::transform(q.begin(), q.end(), e.begin(), RGBQuadToPaletteEntry);
    return e;
}

TRGBQuads GreyscaleColorTable()
{
    TRGBQuads q;
    for (int i = 0; i < 256; ++i)
        q[size_t(i)] = MakeRGBQuad(uint8_t(i), uint8_t(i), uint8_t(i));
    return q;
}

// ---- palette manager ----------------------------------------------------------------------

TPaletteManager& TPaletteManager::Instance()
{
    static TPaletteManager manager;
    return manager;
}

HPALETTE TPaletteManager::CreatePalette(const TRGBQuads& table, int32_t count)
{
    count = std::clamp(count, 0, 256);
    uint32_t key = uint32_t(count);
    for (int32_t i = 0; i < count; ++i)
        key += table[size_t(i)].rgbRed + table[size_t(i)].rgbGreen + table[size_t(i)].rgbBlue;
    std::erase_if(items_, [](const Item& item) { return item.Palette.expired(); });
    for (const Item& item : items_) {
        if (item.Key != key)
            continue;
        HPALETTE p = item.Palette.lock();
        if (p && p->Count == count &&
            std::memcmp(p->Table.data(), table.data(), size_t(count) * 4) == 0)
            return p;
    }
    auto made = std::make_shared<TPaletteTable>();
    made->Table = table;
    made->Count = count;
    items_.push_back({key, made});
    return made;
}

// ---- shared image -------------------------------------------------------------------------

void TDIBSharedImage::Build(int32_t width, int32_t height, int32_t bitCount,
                            const TDIBChannelFormat& format, const TRGBQuads& table)
{
    *this = TDIBSharedImage();
    switch (bitCount) {
    case 1:
    case 4:
    case 8:
    case 24:
    case 32:
        if (!(format == FormatFromBitCounts(8, 8, 8)))
            throw gfx::EInvalidGraphicOperation("PixelFormat in invalid");
        break;
    case 16:
        if (!Is555(format) && !Is565(format))
            throw gfx::EInvalidGraphicOperation("PixelFormat in invalid");
        break;
    default:
        throw gfx::EInvalidGraphicOperation("Bitcount in invalid (" + std::to_string(bitCount) + ")");
    }
    const int64_t rowBytes = RowBytesOf(width, bitCount);
    if (width < 1 || height < 1 || width > gfx::TBitmap::MaxSide ||
        height > gfx::TBitmap::MaxSide || rowBytes * height > gfx::TBitmap::MaxPixelBytes)
        throw gfx::EInvalidGraphicOperation("DIB cannot be made");
    BitCount = bitCount;
    Width = width;
    Height = height;
    RowBytes = int32_t(rowBytes);
    RowStep = RowBytes;
    Size = rowBytes * height;
    PixelFormat = format;
    ColorTable = table;
    const bool bitFields = bitCount == 16 || bitCount == 32;
    PaletteCount = bitCount <= 8 ? 1 << bitCount : 0;
    ColorTableOffset = bitFields ? 52 : 40;
    BitmapInfoSize = ColorTableOffset + 4 * PaletteCount;
    BitmapInfo.assign(size_t(BitmapInfoSize), 0);
    Put32(BitmapInfo, 0, 40);
    Put32(BitmapInfo, 4, uint32_t(width));
    Put32(BitmapInfo, 8, uint32_t(height));
    BitmapInfo[12] = 1;
    BitmapInfo[14] = uint8_t(bitCount);
    Put32(BitmapInfo, 16, bitFields ? gfx::BI_BITFIELDS : gfx::BI_RGB);
    Put32(BitmapInfo, 20, uint32_t(Size));
    if (bitFields) {
        Put32(BitmapInfo, 40, format.RedMask);
        Put32(BitmapInfo, 44, format.GreenMask);
        Put32(BitmapInfo, 48, format.BlueMask);
    }
    SetColorTable(table);
    Bits.assign(size_t(Size), 0);
}

void TDIBSharedImage::SetColorTable(const TRGBQuads& table)
{
    ColorTable = table;
    if (PaletteCount > 0 && BitmapInfo.size() >= size_t(ColorTableOffset + 4 * PaletteCount))
        std::memcpy(BitmapInfo.data() + ColorTableOffset, table.data(), size_t(PaletteCount) * 4);
    PaletteStale = true;
}

// ---- the picture --------------------------------------------------------------------------

const gfx::TGraphicClassInfo TDIB::ClassInfo = {
    "TDIB", []() -> std::unique_ptr<gfx::TGraphic> { return std::make_unique<TDIB>(); }};

TDIB::TDIB() { Attach(EmptyImage()); }

TDIB::~TDIB() = default;

void TDIB::Attach(std::shared_ptr<TDIBSharedImage> image)
{
    image_ = std::move(image);
    colorTable_ = image_->ColorTable;
    if (canvas_) {
        const QImage::Format f = CanvasFormat(*image_);
        view_ = f == QImage::Format_Invalid || image_->Bits.empty()
                    ? QImage()
                    : QImage(image_->Bits.data(), image_->Width, image_->Height,
                             image_->RowBytes, f);
        canvas_->SetSurface(view_.isNull() ? nullptr : &view_);
    }
}

void TDIB::MakeUnique()
{
    if (image_.use_count() > 1 || image_ == EmptyImage())
        Attach(std::make_shared<TDIBSharedImage>(*image_));
}

void TDIB::Clear()
{
    Attach(EmptyImage());
    Changed();
}

void TDIB::SetSize(int32_t width, int32_t height, int32_t bitCount)
{
    if (width == Width() && height == Height() && bitCount == BitCount() &&
        NewImageFormat == PixelFormat())
        return;
    if (width >= 1 && height > 0) {
        auto image = std::make_shared<TDIBSharedImage>();
        image->Build(width, height, bitCount, NewImageFormat, colorTable_);
        Attach(image);
        Changed();
    } else {
        Clear();
    }
}

void TDIB::SetWidth(int32_t w)
{
    if (w < 1)
        Clear();
    else if (Empty())
        SetSize(w, std::max(Height(), 1), 8);
    else
        SetSize(w, Height(), BitCount());
}

void TDIB::SetHeight(int32_t h)
{
    if (h < 1)
        Clear();
    else if (Empty())
        SetSize(std::max(Width(), 1), h, 8);
    else
        SetSize(Width(), h, BitCount());
}

uint8_t* TDIB::Bits()
{
    MakeUnique();
    return image_->Bits.data();
}

void TDIB::SetPixel(int32_t x, int32_t y, uint32_t value)
{
    if (x < 0 || y < 0 || x >= Width() || y >= Height())
        return;
    uint8_t* row = ScanLine(y);
    switch (BitCount()) {
    case 32:
        std::memcpy(row + size_t(x) * 4, &value, 4);
        break;
    case 24: {
        uint8_t* p = row + size_t(x) * 3;
        p[0] = uint8_t(value >> 16);
        p[1] = uint8_t(value >> 8);
        p[2] = uint8_t(value);
        break;
    }
    case 16: {
        const uint16_t v = uint16_t(value);
        std::memcpy(row + size_t(x) * 2, &v, 2);
        break;
    }
    case 8:
        row[x] = uint8_t(value);
        break;
    case 4: {
        uint8_t& b = row[x / 2];
        b = (x % 2) ? uint8_t((b & 0xF0) | (value & 15)) : uint8_t((b & 0x0F) | (value & 15) << 4);
        break;
    }
    case 1: {
        const uint8_t bit = uint8_t(0x80 >> (x % 8));
        row[x / 8] = (value & 1) ? uint8_t(row[x / 8] | bit) : uint8_t(row[x / 8] & ~bit);
        break;
    }
    }
    Changed();
}

void TDIB::UpdatePalette()
{
    if (colorTable_ == image_->ColorTable)
        return;
    const TRGBQuads table = colorTable_;
    MakeUnique();
    colorTable_ = table;
    image_->SetColorTable(table);
    Changed();
}

HPALETTE TDIB::GetPalette()
{
    if (image_->PaletteCount < 1)
        return nullptr;
    if (image_->PaletteStale) {
        TPaletteManager::Instance().ReleasePalette(image_->Palette);
        image_->Palette =
            TPaletteManager::Instance().CreatePalette(image_->ColorTable, image_->PaletteCount);
        image_->PaletteStale = false;
    }
    return image_->Palette;
}

void TDIB::SetPalette(const TPaletteEntries& entries)
{
    colorTable_ = PaletteEntriesToRGBQuads(entries);
    UpdatePalette();
}

gfx::TCanvas& TDIB::Canvas()
{
    if (!Empty() && CanvasFormat(*image_) == QImage::Format_Invalid)
        throw gfx::EInvalidGraphicOperation("The canvas needs 16 bits per pixel or more");
    MakeUnique();
    if (!canvas_)
        canvas_ = std::make_unique<gfx::TCanvas>();
    Attach(image_);
    return *canvas_;
}

QImage TDIB::ToImage() const
{
    const TDIBSharedImage& im = *image_;
    if (im.Size == 0)
        return {};
    const QImage::Format f = CanvasFormat(im);
    if (f != QImage::Format_Invalid)
        return QImage(im.Bits.data(), im.Width, im.Height, im.RowBytes, f);
    QImage out(im.Width, im.Height, QImage::Format_Indexed8);
    QList<QRgb> table(im.PaletteCount);
    for (int i = 0; i < im.PaletteCount; ++i) {
        const TRGBQuad& q = im.ColorTable[size_t(i)];
        table[i] = qRgb(q.rgbRed, q.rgbGreen, q.rgbBlue);
    }
    out.setColorTable(table);
    for (int32_t y = 0; y < im.Height; ++y) {
        const uint8_t* src = im.Bits.data() + int64_t(y) * im.RowStep;
        uint8_t* dst = out.scanLine(y);
        for (int32_t x = 0; x < im.Width; ++x) {
            if (im.BitCount == 8)
                dst[x] = src[x];
            else if (im.BitCount == 4)
                dst[x] = (x % 2) ? src[x / 2] & 15 : src[x / 2] >> 4;
            else
                dst[x] = (src[x / 8] >> (7 - x % 8)) & 1;
        }
    }
    return out;
}

void TDIB::Draw(gfx::TCanvas& canvas, const gfx::TRect& r) const
{
    if (Empty())
        return;
    canvas.DrawImage(ToImage(), gfx::Rect(0, 0, Width(), Height()), r);
}

void TDIB::Assign(const TDIB& source)
{
    if (&source == this)
        return;
    if (source.canvas_) {
        // A picture whose canvas is out may still be drawn on: take a copy, not a share.
        Attach(std::make_shared<TDIBSharedImage>(*source.image_));
    } else {
        Attach(source.image_);
    }
    NewImageFormat = source.NewImageFormat;
    Changed();
}

void TDIB::Assign(const gfx::TGraphic& source)
{
    if (const auto* dib = dynamic_cast<const TDIB*>(&source)) {
        Assign(*dib);
        return;
    }
    if (const auto* bmp = dynamic_cast<const gfx::TBitmap*>(&source)) {
        if (bmp->Empty()) {
            Clear();
            return;
        }
        int32_t bits = 32;
        TDIBChannelFormat format = FormatFromBitCounts(8, 8, 8);
        switch (bmp->PixelFormat()) {
        case gfx::pf1bit: bits = 1; break;
        case gfx::pf4bit: bits = 4; break;
        case gfx::pf8bit: bits = 8; break;
        case gfx::pf15bit: bits = 16; format = FormatFromBitCounts(5, 5, 5); break;
        case gfx::pf16bit: bits = 16; format = FormatFromBitCounts(5, 6, 5); break;
        case gfx::pf24bit: bits = 24; break;
        default: break;
        }
        TRGBQuads table{};
        const auto& pal = bmp->Palette();
        for (size_t i = 0; i < std::min<size_t>(pal.size(), 256); ++i)
            table[i] = MakeRGBQuad(uint8_t(gfx::GetRValue(pal[i])), uint8_t(gfx::GetGValue(pal[i])),
                                   uint8_t(gfx::GetBValue(pal[i])));
        auto image = std::make_shared<TDIBSharedImage>();
        image->Build(bmp->Width(), bmp->Height(), bits, format, table);
        const size_t n = size_t(std::min(image->RowBytes, bmp->BytesPerLine()));
        for (int32_t y = 0; y < image->Height; ++y)
            std::memcpy(image->Bits.data() + int64_t(y) * image->RowStep, bmp->ScanLine(y), n);
        NewImageFormat = format;
        Attach(image);
        Changed();
        return;
    }
    if (source.Empty()) {
        Clear();
        return;
    }
    SetSize(source.Width(), source.Height(), 24);
    std::fill(image_->Bits.begin(), image_->Bits.end(), uint8_t(0));
    Canvas().Draw(0, 0, source);
    Changed();
}

// ---- reading and writing ------------------------------------------------------------------

void TDIB::LoadFromStream(rtl::TStream& stream)
{
    const int64_t start = stream.Position();
    if (stream.Remaining() <= 0)
        return;
    uint32_t offBits = 0;
    try {
        offBits = gfx::ReadBmpFileHeader(stream).OffBits;
    } catch (const gfx::EBmpHeader&) {
        InvalidDIB();
    }
    ReadDIB(stream, start, offBits);
}

void TDIB::ReadData(rtl::TStream& stream) { ReadDIB(stream, 0, 0); }

void TDIB::ReadDIB(rtl::TStream& stream, int64_t fileStart, uint32_t offBits)
{
    try {
        if (stream.Remaining() <= 0) {
            Clear();
            return;
        }
        const gfx::TDibHeader h = gfx::ReadDibHeader(stream);
        // Only the OS/2 core and the Windows 40-byte headers are DIBs to this picture.
        if (h.HeaderSize != 12 && h.HeaderSize != 40)
            InvalidDIB();
        const bool rle = h.Rle();
        const TDIBChannelFormat format =
            h.Compression == gfx::BI_BITFIELDS ? FormatFromMasks(h.RedMask, h.GreenMask, h.BlueMask)
            : h.BitCount == 16                 ? FormatFromBitCounts(5, 5, 5)
                                               : FormatFromBitCounts(8, 8, 8);

        TRGBQuads table{};
        const std::vector<gfx::TColor> colours =
            gfx::ReadDibColorTable(stream, h, std::min<uint32_t>(h.ColorCount(), 256));
        for (size_t i = 0; i < colours.size(); ++i)
            table[i] = MakeRGBQuad(uint8_t(gfx::GetRValue(colours[i])), uint8_t(gfx::GetGValue(colours[i])),
                                   uint8_t(gfx::GetBValue(colours[i])));
        // Files may leave a gap before the pixels; the offset says where they start.
        if (offBits != 0 && fileStart + int64_t(offBits) > stream.Position()) {
            if (fileStart + int64_t(offBits) > stream.Size())
                InvalidDIB();
            stream.SetPosition(fileStart + int64_t(offBits));
        }

        // A short file claiming a large picture is refused before its pixels are allocated.
        if (!rle && stream.Size() - stream.Position() < h.RowBytes() * h.Height)
            InvalidDIB();
        auto image = std::make_shared<TDIBSharedImage>();
        image->Build(h.Width, h.Height, h.BitCount, format, table);
        if (rle) {
            const int64_t remaining = stream.Remaining();
            const int64_t want = h.SizeImage ? std::min<int64_t>(h.SizeImage, remaining) : remaining;
            std::vector<uint8_t> data(static_cast<size_t>(want));
            stream.ReadBuffer(data.data(), want);
            gfx::DecodeBmpRle(data, h.Compression == gfx::BI_RLE4, image->Width, image->Height,
                              [&image](int32_t y) { return image->Bits.data() + int64_t(y) * image->RowStep; });
        } else {
            for (int32_t i = 0; i < image->Height; ++i) {
                const int32_t y = h.TopDown ? i : image->Height - 1 - i;
                stream.ReadBuffer(image->Bits.data() + int64_t(y) * image->RowStep,
                                  image->RowBytes);
            }
        }
        Attach(image);
        NewImageFormat = format;
        Changed();
    } catch (const rtl::EReadError&) {
        InvalidDIB();
    } catch (const gfx::EInvalidGraphic&) {
        InvalidDIB();
    }
}

void TDIB::SaveToStream(rtl::TStream& stream)
{
    if (Empty())
        return;
    uint8_t fh[14] = {'B', 'M'};
    const uint32_t info = uint32_t(image_->BitmapInfoSize);
    const uint32_t size = info + 14 + uint32_t(image_->Size);
    for (int i = 0; i < 4; ++i) {
        fh[2 + i] = uint8_t(size >> (8 * i));
        fh[10 + i] = uint8_t((info + 14) >> (8 * i));
    }
    stream.WriteBuffer(fh, 14);
    WriteData(stream);
}

void TDIB::WriteData(rtl::TStream& stream) const
{
    if (Empty())
        return;
    stream.WriteBuffer(image_->BitmapInfo.data(), image_->BitmapInfoSize);
    for (int32_t y = image_->Height - 1; y >= 0; --y)
        stream.WriteBuffer(image_->Bits.data() + int64_t(y) * image_->RowStep, image_->RowBytes);
}

void TDIB::SaveToClipboardFormat(QClipboard& clipboard) const
{
    rtl::TMemoryStream stream;
    const_cast<TDIB*>(this)->SaveToStream(stream);
    auto* mime = new QMimeData;
    const auto& bytes = stream.Bytes();
    mime->setData(MimeType, QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                       qsizetype(bytes.size())));
    clipboard.setMimeData(mime);
}

void TDIB::LoadFromClipboardFormat(const QClipboard& clipboard)
{
    const QMimeData* mime = clipboard.mimeData();
    if (!mime || !mime->hasFormat(MimeType))
        InvalidDIB();
    const QByteArray data = mime->data(MimeType);
    rtl::TMemoryStream stream(std::vector<uint8_t>(data.begin(), data.end()));
    if (data.startsWith("BM"))
        LoadFromStream(stream);
    else
        ReadData(stream);
}

void RegisterDIBFormat()
{
    gfx::TPicture::RegisterFileFormat("dib", "Device Independent Bitmap", &TDIB::ClassInfo);
}

}  // namespace visual
