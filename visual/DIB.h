// `TDIB`: a device-independent bitmap picture with direct pixel access, 1, 4, 8, 16 (5-5-5 or
// 5-6-5), 24 or 32 bits per pixel. Copies share one image (`TDIBSharedImage`) until one of
// them changes (copy on write); colour tables go through one palette manager, which hands
// out one shared table for equal tables.
//
// Rows are kept top-down in memory, so that the canvas can paint on a QImage view of them:
// `TopRow` is the top row, `RowStep` is +`RowBytes`, and `ScanLine(Y)` = `TopRow` +
// Y x `RowStep`. Files are still written bottom-up. Compressed (RLE) files are decoded when
// read; the image in memory is never compressed.
//
// Reading: BMP files and clipboard DIBs with OS/2 core or Windows info headers, RLE4/RLE8,
// bit fields; bad or short data raises EInvalidGraphic "DIB is invalid" and leaves the
// picture as it was. UI thread only.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include <QImage>

#include "platform/gfx/Canvas.h"
#include "platform/gfx/Graphic.h"

class QClipboard;

namespace visual {

struct TDIBChannelFormat {
    uint32_t RedMask = 0, GreenMask = 0, BlueMask = 0;
    int32_t RedBits = 0, GreenBits = 0, BlueBits = 0;
    int32_t RedShift = 0, GreenShift = 0, BlueShift = 0;
    int32_t RedPad = 0, GreenPad = 0, BluePad = 0;
    friend bool operator==(const TDIBChannelFormat&, const TDIBChannelFormat&) = default;
};

TDIBChannelFormat FormatFromBitCounts(int32_t r, int32_t g, int32_t b);
TDIBChannelFormat FormatFromMasks(uint32_t r, uint32_t g, uint32_t b);

struct TRGBQuad {
    uint8_t rgbBlue = 0, rgbGreen = 0, rgbRed = 0, rgbReserved = 0;
    friend bool operator==(const TRGBQuad&, const TRGBQuad&) = default;
};
using TRGBQuads = std::array<TRGBQuad, 256>;

struct TPaletteEntry {
    uint8_t peRed = 0, peGreen = 0, peBlue = 0, peFlags = 0;
};
using TPaletteEntries = std::array<TPaletteEntry, 256>;

TRGBQuad MakeRGBQuad(uint8_t r, uint8_t g, uint8_t b);
TRGBQuad PaletteEntryToRGBQuad(const TPaletteEntry& e);
TPaletteEntry RGBQuadToPaletteEntry(const TRGBQuad& q);
TRGBQuads PaletteEntriesToRGBQuads(const TPaletteEntries& e);
TPaletteEntries RGBQuadsToPaletteEntries(const TRGBQuads& q);
TRGBQuads GreyscaleColorTable();

// A palette handle: the first `Count` entries of a table, shared by every holder of an equal
// table; the last holder to let go frees it.
struct TPaletteTable {
    TRGBQuads Table;
    int32_t Count = 0;
};
using HPALETTE = std::shared_ptr<const TPaletteTable>;

class TPaletteManager {
public:
    static TPaletteManager& Instance();
    HPALETTE CreatePalette(const TRGBQuads& table, int32_t count);
    void ReleasePalette(HPALETTE& palette) { palette.reset(); }

private:
    struct Item {
        uint32_t Key = 0;
        std::weak_ptr<const TPaletteTable> Palette;
    };
    std::vector<Item> items_;
};

class TDIBSharedImage {
public:
    int32_t BitCount = 0;
    std::vector<uint8_t> BitmapInfo;  // header, masks, colour table: what a file carries
    int32_t BitmapInfoSize = 0;
    bool PaletteStale = true;
    TRGBQuads ColorTable = GreyscaleColorTable();
    int32_t ColorTableOffset = 40;
    int32_t Height = 0;
    int32_t Width = 0;
    int32_t RowBytes = 0;
    int32_t RowStep = 0;
    HPALETTE Palette;
    int32_t PaletteCount = 0;
    TDIBChannelFormat PixelFormat = FormatFromBitCounts(8, 8, 8);
    int64_t Size = 0;
    std::vector<uint8_t> Bits;  // top row first

    uint8_t* TopRow() { return Bits.data(); }
    // Sizes the image; the pixels start at 0.
    void Build(int32_t width, int32_t height, int32_t bitCount, const TDIBChannelFormat& format,
               const TRGBQuads& table);
    void SetColorTable(const TRGBQuads& table);
};

class TDIB : public gfx::TGraphic {
public:
    static const gfx::TGraphicClassInfo ClassInfo;

    TDIB();
    ~TDIB() override;

    gfx::TGraphicClass ClassType() const override { return &ClassInfo; }
    bool Empty() const override { return image_->Size == 0; }
    int32_t Width() const override { return image_->Width; }
    int32_t Height() const override { return image_->Height; }
    void SetWidth(int32_t w) override;
    void SetHeight(int32_t h) override;
    void SetSize(int32_t width, int32_t height, int32_t bitCount);
    void Clear();

    int32_t BitCount() const { return image_->BitCount; }
    int32_t RowBytes() const { return image_->RowBytes; }
    int32_t RowStep() const { return image_->RowStep; }
    int64_t Size() const { return image_->Size; }
    const TDIBChannelFormat& PixelFormat() const { return image_->PixelFormat; }
    TDIBChannelFormat NewImageFormat = FormatFromBitCounts(8, 8, 8);
    // Writable pixels: the image is made this picture's own first.
    uint8_t* Bits();
    uint8_t* TopRow() { return Bits(); }
    uint8_t* ScanLine(int32_t y) { return Bits() + int64_t(y) * RowStep(); }
    const uint8_t* ConstScanLine(int32_t y) const
    {
        return image_->Bits.data() + int64_t(y) * image_->RowStep;
    }
    void SetPixel(int32_t x, int32_t y, uint32_t value);

    const TRGBQuads& ColorTable() const { return colorTable_; }
    void SetColorTable(const TRGBQuads& table) { colorTable_ = table; }
    void UpdatePalette();
    HPALETTE GetPalette();
    void SetPalette(const TPaletteEntries& entries);

    // A canvas on the pixels (16, 24 or 32 bits; fewer raise EInvalidGraphicOperation).
    gfx::TCanvas& Canvas();
    // The pixels as an image the canvas can draw from (indexed formats through their table).
    QImage ToImage() const;

    void Draw(gfx::TCanvas& canvas, const gfx::TRect& r) const override;
    void Assign(const gfx::TGraphic& source) override;
    void Assign(const TDIB& source);

    void LoadFromStream(rtl::TStream& stream) override;
    void SaveToStream(rtl::TStream& stream) override;
    void ReadData(rtl::TStream& stream);
    void WriteData(rtl::TStream& stream) const;
    // The clipboard's "image/bmp": a BMP file of this picture; either a file or bare DIB
    // bytes are read back.
    void SaveToClipboardFormat(QClipboard& clipboard) const;
    void LoadFromClipboardFormat(const QClipboard& clipboard);

    const std::shared_ptr<TDIBSharedImage>& Image() const { return image_; }

private:
    void Attach(std::shared_ptr<TDIBSharedImage> image);
    void MakeUnique();
    void ReadDIB(rtl::TStream& stream, int64_t fileStart, uint32_t offBits);

    std::shared_ptr<TDIBSharedImage> image_;
    TRGBQuads colorTable_;
    std::unique_ptr<gfx::TCanvas> canvas_;
    QImage view_;
};

// Makes "dib" files open as TDIB pictures.
void RegisterDIBFormat();

}  // namespace visual
