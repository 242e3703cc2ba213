#include "pictures/reduce/ColorReduction.h"

#include "pictures/reduce/ColorQuantizer.h"

#include <algorithm>

using gfx::TBitmap;
using gfx::TPixelFormat;

TDIBReader::TDIBReader(const TBitmap& Bitmap, TPixelFormat PixelFormat) : bitmap_(&Bitmap)
{
    if (PixelFormat == gfx::pfDevice)
        throw GIFException("Unsupported PixelFormat");
    if (Bitmap.Empty())
        throw GIFException("Invalid bitmap dimensions");
    if (Bitmap.PixelFormat() != PixelFormat) {
        copy_.Assign(Bitmap);
        copy_.SetPixelFormat(PixelFormat);
        bitmap_ = &copy_;
    }
}

const uint8_t* TDIBReader::Scanline(int Row) const
{
    if (Row < 0 || Row >= Height())
        throw GIFException("Scan line index out of range");
    return bitmap_->ScanLine(Row);
}

TDIBWriter::TDIBWriter(TBitmap& Bitmap, const TPalette* Palette, int Width, int Height, TPixelFormat PixelFormat)
    : bitmap_(Bitmap)
{
    if (Width <= 0 || Height <= 0)
        throw GIFException("Invalid bitmap dimensions");
    if (PixelFormat == gfx::pfDevice)
        throw GIFException("Unsupported PixelFormat");
    TBitmap sized;
    try {
        sized.SetPixelFormat(PixelFormat);
        sized.SetSize(Width, Height);
    } catch (const gfx::EInvalidGraphicOperation& e) {
        throw GIFException(e.what());
    }
    if (Palette)
        sized.SetPalette(Palette->ToColors());
    // Sized apart first, so that a size past the limit leaves the caller's bitmap untouched.
    Bitmap.Assign(sized);
}

uint8_t* TDIBWriter::Scanline(int Row)
{
    if (Row < 0 || Row >= bitmap_.Height())
        throw GIFException("Scan line index out of range");
    return bitmap_.ScanLine(Row);
}

namespace {

TPalette greys(const std::vector<int>& levels)
{
    TPalette p;
    for (int v : levels)
        p.Entries.push_back({uint8_t(v), uint8_t(v), uint8_t(v), PC_NOCOLLAPSE});
    return p;
}

TPalette grayScale()
{
    std::vector<int> levels(256);
    for (int i = 0; i < 256; ++i)
        levels[size_t(i)] = i;
    return greys(levels);
}

TPalette modePalette(TColorReduction mode, TDIBReader& reader, int reductionBits, const TPalette* custom)
{
    switch (mode) {
    case rmWindows20: {
        TPalette p;
        p.Entries.assign(SystemColors().begin(), SystemColors().end());
        return p;
    }
    case rmWindows256: return HalftonePalette();
    case rmWindowsGray: return greys({0, 128, 192, 255});
    case rmMonochrome: return greys({0, 255});
    case rmGrayScale: return grayScale();
    case rmNetscape: return NetscapePalette();
    case rmQuantize:
        return CreateOptimalPaletteFromDIB(reader, 1 << std::clamp(reductionBits, 1, 8), TColorQuantizer::MaxLevels, false);
    case rmQuantizeWindows:
        return CreateOptimalPaletteFromDIB(reader, TPalette::MaxEntries, TColorQuantizer::MaxLevels, true);
    case rmCustomPalette: {
        TPalette p;
        if (custom)
            p.Entries.assign(custom->Entries.begin(),
                             custom->Entries.begin() + std::min(custom->Count(), TPalette::MaxEntries));
        return p;
    }
    default: return {};
    }
}

std::unique_ptr<TColorLookup> modeLookup(TColorReduction mode, const TPalette& palette)
{
    switch (mode) {
    case rmMonochrome: return std::make_unique<TMonochromeLookup>();
    case rmGrayScale: return std::make_unique<TGrayScaleLookup>();
    case rmNetscape: return std::make_unique<TNetscapeColorLookup>();
    default: return std::make_unique<TFastColorLookup>(palette);
    }
}

}  // namespace

std::unique_ptr<TBitmap> ReduceColors(const TBitmap& Bitmap, TColorReduction ColorReduction, TDitherMode DitherMode,
                                      int ReductionBits, const TPalette* CustomPalette)
{
    auto result = std::make_unique<TBitmap>();
    if (ColorReduction == rmNone) {
        result->Assign(Bitmap);
        result->SetPixelFormat(gfx::pf24bit);
        return result;
    }
    if (ColorReduction < rmNone || ColorReduction > rmCustomPalette || DitherMode < dmNearest || DitherMode > dmBurkes)
        return result;
    TDIBReader reader(Bitmap, gfx::pf24bit);
    const TPalette palette = modePalette(ColorReduction, reader, ReductionBits, CustomPalette);
    const std::unique_ptr<TColorLookup> lookup = modeLookup(ColorReduction, palette);
    if (lookup->Colors() == 0)
        return result;
    const std::unique_ptr<TDitherEngine> ditherer = CreateDitherer(DitherMode, reader.Width(), *lookup);
    TDIBWriter writer(*result, &palette, reader.Width(), reader.Height(), gfx::pf8bit);
    for (int y = 0; y < reader.Height(); ++y)
        DitherRow(reader.Scanline(y), writer.Scanline(y), *ditherer);
    return result;
}

namespace {

// Fills a palette around what the quantizer found (see CreateOptimalPalette).
TPalette optimalPalette(TColorQuantizer& quantizer, int colors, bool windows)
{
    std::vector<TPaletteEntry> found;
    quantizer.GetColorTable(found);
    TPalette p;
    if (!windows) {
        p.Entries.assign(size_t(colors), TPaletteEntry{});
        std::copy_n(found.begin(), std::min(found.size(), p.Entries.size()), p.Entries.begin());
        return p;
    }
    const auto& system = SystemColors();
    p.Entries.assign(TPalette::MaxEntries, TPaletteEntry{});
    std::copy(system.begin(), system.begin() + 10, p.Entries.begin());
    std::copy(system.begin() + 10, system.end(), p.Entries.end() - 10);
    std::copy_n(found.begin(), std::min<size_t>(found.size(), TPalette::MaxEntries - 20), p.Entries.begin() + 10);
    return p;
}

constexpr int WindowsQuantized = TPalette::MaxEntries - 20;

}  // namespace

TPalette CreateOptimalPaletteFromDIB(TDIBReader& Reader, int Colors, int ColorBits, bool Windows)
{
    const int colors = Windows ? WindowsQuantized : std::clamp(Colors, 1, TPalette::MaxEntries);
    TColorQuantizer quantizer(colors, ColorBits);
    quantizer.ProcessImage(Reader);
    return optimalPalette(quantizer, colors, Windows);
}

TPalette CreateOptimalPalette(const std::vector<const TBitmap*>& Bitmaps, int Colors, int ColorBits, bool Windows)
{
    if (Bitmaps.empty() || std::find(Bitmaps.begin(), Bitmaps.end(), nullptr) != Bitmaps.end())
        throw GIFException("Invalid bitmap list");
    const int colors = Windows ? WindowsQuantized : std::clamp(Colors, 1, TPalette::MaxEntries);
    TColorQuantizer quantizer(colors, ColorBits);
    for (const TBitmap* bitmap : Bitmaps) {
        TDIBReader reader(*bitmap, gfx::pf24bit);
        quantizer.ProcessImage(reader);
    }
    return optimalPalette(quantizer, colors, Windows);
}

TPalette CreateOptimalPalette(const TBitmap& Bitmap, int Colors, int ColorBits, bool Windows)
{
    return CreateOptimalPalette(std::vector<const TBitmap*>{&Bitmap}, Colors, ColorBits, Windows);
}

void WriteStrings(rtl::TStream& Stream, const std::vector<std::string>& Lines)
{
    constexpr size_t MaxBlock = 255;
    for (const std::string& line : Lines) {
        for (size_t at = 0; at < line.size(); at += MaxBlock) {
            const uint8_t n = uint8_t(std::min(MaxBlock, line.size() - at));
            Stream.WriteBuffer(&n, 1);
            Stream.WriteBuffer(line.data() + at, n);
        }
    }
    const uint8_t end = 0;
    Stream.WriteBuffer(&end, 1);
}

void ReadStrings(rtl::TStream& Stream, std::vector<std::string>& Lines)
{
    for (int blocks = 0;; ++blocks) {
        uint8_t n = 0;
        if (Stream.Read(&n, 1) != 1)
            throw GIFException("Premature end of data");
        if (n == 0)
            return;
        if (blocks >= MaxStringBlocks)
            throw GIFException("Too many text blocks");
        std::string block(n, '\0');
        if (Stream.Read(block.data(), n) != n)
            throw GIFException("Premature end of data");
        Lines.push_back(std::move(block));
    }
}

int BitsForColorCount(int Colors)
{
    if (Colors <= 0)
        return 0;
    int bits = 1;
    while (bits < 31 && (1 << bits) < Colors)
        ++bits;
    return bits;
}
