#include "pictures/formats/TargaGraphic.h"

#include "pictures/decoders/GraphicCompression.h"
#include "platform/gfx/Tga.h"
#include "platform/rtl/LittleEndian.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

const char* const targaWord = "TGA";

std::unique_ptr<gfx::TGraphic> createTarga() { return std::make_unique<TTargaGraphic>(); }

bool validEntrySize(uint8_t bits) { return bits == 15 || bits == 16 || bits == 24 || bits == 32; }

// Whether the header's image kind, pixel size and colour map belong together.
bool describesImage(const gfx::TTgaHeader& h)
{
    if (h.ColorMapType > 1 || (h.ColorMapType == 1 && !validEntrySize(h.ColorMapEntrySize)))
        return false;
    switch (h.ImageType) {
    case 1: case 9: return h.PixelSize == 8 && h.ColorMapType == 1;
    case 2: case 10: return h.PixelSize == 15 || h.PixelSize == 16 || h.PixelSize == 24 || h.PixelSize == 32;
    case 3: case 11: return h.PixelSize == 8 || h.PixelSize == 16;
    default: return false;
    }
}

}  // namespace

const gfx::TGraphicClassInfo TTargaGraphic::ClassInfo{"TTargaGraphic", createTarga};

bool TTargaGraphic::CanLoad(rtl::TStream& Stream) const
{
    const int64_t start = Stream.Position();
    if (Stream.Size() - start <= 18)
        return false;
    uint8_t d[18];
    Stream.ReadBuffer(d, 18);
    Stream.SetPosition(start);
    const gfx::TTgaHeader h = gfx::ReadTgaHeader(d, 18);
    const bool type = h.ImageType <= 3 || (h.ImageType >= 9 && h.ImageType <= 11);
    return type && h.ColorMapType <= 1 && validEntrySize(h.ColorMapEntrySize) && h.BytesPerPixel() != 0;
}

bool TTargaGraphic::ReadImageProperties(rtl::TStream& Stream, uint32_t ImageIndex)
{
    TFormatGraphic::ReadImageProperties(Stream, ImageIndex);
    if (Stream.Size() - Stream.Position() < 18)
        return false;
    uint8_t d[18];
    Stream.ReadBuffer(d, 18);
    const gfx::TTgaHeader h = gfx::ReadTgaHeader(d, 18);
    TImageProperties& P = ImageProperties;
    P.Width = h.Width;
    P.Height = h.Height;
    P.BitsPerSample = 8;
    switch (h.PixelSize) {
    case 8: P.ColorScheme = h.Grey() ? psGray : psIndexed, P.SamplesPerPixel = 1; break;
    case 15:
    case 16:
        if (h.Grey())
            P.ColorScheme = psGrayAlpha, P.SamplesPerPixel = 2;
        else
            P.ColorScheme = psRGB, P.BitsPerSample = 5, P.SamplesPerPixel = 3;
        break;
    case 24: P.ColorScheme = psRGB, P.SamplesPerPixel = 3; break;
    case 32: P.ColorScheme = psRGBA, P.SamplesPerPixel = 4, P.HasAlpha = true; break;
    default: break;
    }
    P.BitsPerPixel = uint8_t(P.SamplesPerPixel * P.BitsPerSample);
    P.Compression = h.Rle() ? ctRLE : ctNone;
    P.BytesPerLine = (P.BitsPerPixel * P.Width + 7) / 8;
    return describesImage(h);
}

void TTargaGraphic::LoadFromStream(rtl::TStream& Stream)
{
    if (!BeginLoad(Stream, std::string()))
        return;
    uint8_t d[18];
    Stream.ReadBuffer(d, 18);
    const gfx::TTgaHeader h = gfx::ReadTgaHeader(d, 18);
    ProgressStart(stagePreparing);
    const uint64_t mapBytes = h.ColorMapType == 1 ? uint64_t(h.ColorMapLength) * h.ColorMapEntryBytes() : 0;
    if (uint64_t(Stream.Size() - Stream.Position()) < h.IdLength + mapBytes)
        FormatErrorFmt(msgStreamReadError, {targaWord});
    Stream.Seek(h.IdLength, rtl::soCurrent);
    std::vector<uint8_t> map;
    if (h.ColorMapType == 1) {
        // Read whole, however long: the pixels follow it.
        map.resize(size_t(h.ColorMapLength) * size_t(h.ColorMapEntryBytes()));
        Stream.ReadBuffer(map.data(), int64_t(map.size()));
    }

    const size_t bytes = size_t(h.BytesPerPixel());
    const bool greyAlpha = h.Grey() && bytes == 2;
    const uint64_t pixels = uint64_t(h.Width) * h.Height;
    const uint64_t left = uint64_t(std::max<int64_t>(0, Stream.Size() - Stream.Position()));
    // A picture paid for by its data: raw rows present, a run-length byte pair at most 128 pixels.
    if (h.Rle() ? pixels > left * 128 : pixels * bytes > left)
        FormatErrorFmt(msgStreamReadError, {targaWord});
    SetPixelFormat(bytes == 1 || greyAlpha ? gfx::pf8bit : bytes == 2 ? gfx::pf15bit : bytes == 3 ? gfx::pf24bit : gfx::pf32bit);
    SetSize(h.Width, h.Height);

    if (h.Grey()) {
        ColorManager().SetTargetBitsPerSample(8);
        ColorManager().SetTargetSamplesPerPixel(1);
        SetPalette(ColorManager().BuildGrayPalette(false).ToColors());
    } else if (h.Mapped()) {
        // Entry i is colour ColorMapStart + i; a palette keeps the first 256 indices.
        std::vector<gfx::TColor> colors(256, gfx::clBlack);
        const size_t entry = size_t(h.ColorMapEntryBytes());
        for (size_t i = 0; i < h.ColorMapLength && h.ColorMapStart + i < colors.size(); ++i) {
            const uint8_t* p = &map[i * entry];
            uint8_t r, g, b;
            if (entry == 2) {
                const uint32_t w = uint32_t(p[0]) | uint32_t(p[1]) << 8;
                r = uint8_t((w & 0x7C00) >> 7), g = uint8_t((w & 0x03E0) >> 2), b = uint8_t((w & 0x001F) << 3);
            } else {
                b = p[0], g = p[1], r = p[2];
            }
            colors[h.ColorMapStart + i] = gfx::RGB(r, g, b);
        }
        SetPalette(colors);
    }
    ProgressEnd();
    ProgressStart(stageTransferring);

    // The rows in the file's order, one stream of pixels (a run may cross a row's end).
    std::vector<uint8_t> data(size_t(pixels * bytes));
    if (h.Rle()) {
        std::vector<uint8_t> packed(static_cast<size_t>(left));
        Stream.ReadBuffer(packed.data(), int64_t(packed.size()));
        decoders::TSource from(packed.data(), packed.size());
        decoders::TTarget to(data.data(), data.size());
        decoders::TTargaRLEDecoder(h.PixelSize).Decode(from, to, packed.size(), size_t(pixels));
        Stream.Seek(-int64_t(from.size()), rtl::soCurrent);
    } else {
        Stream.ReadBuffer(data.data(), int64_t(data.size()));
    }
    const size_t rowBytes = size_t(h.Width) * bytes;
    for (uint32_t r = 0; r < h.Height; ++r) {
        const uint8_t* in = data.data() + r * rowBytes;
        uint8_t* out = ScanLine(int32_t(h.TopDown() ? r : h.Height - 1u - r));
        if (greyAlpha)
            for (size_t x = 0; x < h.Width; ++x)
                out[x] = in[2 * x];
        else
            std::memcpy(out, in, rowBytes);
        ProgressRow(r);
    }
    ProgressEnd();
}

void TTargaGraphic::SaveToStream(rtl::TStream& Stream, bool Compressed)
{
    if (Empty())
        return;
    ProgressRect = gfx::Rect(0, 0, Width(), 1);
    ProgressStart(stagePreparing);
    const gfx::TBitmap* source = this;
    gfx::TBitmap converted;
    auto convert = [&](gfx::TPixelFormat f) {
        converted.Assign(*this);
        converted.SetPixelFormat(f);
        source = &converted;
    };
    size_t bytes = 4;
    switch (PixelFormat()) {
    case gfx::pf1bit:
    case gfx::pf4bit: {
        // Indices widened to bytes under the same palette (a format change would pick a new one).
        const int bits = PixelFormat() == gfx::pf1bit ? 1 : 4;
        converted.SetPixelFormat(gfx::pf8bit);
        converted.SetSize(Width(), Height());
        converted.SetPalette(Palette());
        for (int32_t y = 0; y < Height(); ++y) {
            const uint8_t* in = ScanLine(y);
            uint8_t* out = converted.ScanLine(y);
            for (int32_t x = 0; x < Width(); ++x)
                out[x] = bits == 1 ? (in[x >> 3] >> (7 - (x & 7))) & 1 : (x & 1 ? in[x >> 1] & 0x0F : in[x >> 1] >> 4);
        }
        source = &converted;
        bytes = 1;
        break;
    }
    case gfx::pf8bit: bytes = 1; break;
    case gfx::pf15bit: bytes = 2; break;
    case gfx::pf16bit: convert(gfx::pf15bit); bytes = 2; break;  // Targa words are 5-5-5
    case gfx::pf24bit: bytes = 3; break;
    default: bytes = 4; break;
    }
    const uint32_t w = uint32_t(Width()), hgt = uint32_t(Height());
    uint8_t header[18] = {};
    header[1] = bytes == 1 ? 1 : 0;
    header[2] = uint8_t((bytes == 1 ? 1 : 2) + (Compressed ? 8 : 0));
    rtl::put_le16(header + 5, 256);
    header[7] = 24;
    rtl::put_le16(header + 12, w);
    rtl::put_le16(header + 14, hgt);
    header[16] = uint8_t(8 * bytes);
    header[17] = 0x20;  // row 0 of our bitmaps is the top one
    Stream.WriteBuffer(header, 18);
    if (bytes == 1) {
        const std::vector<gfx::TColor>& palette = source->Palette();
        uint8_t map[256 * 3] = {};
        for (size_t i = 0; i < std::min<size_t>(palette.size(), 256); ++i) {
            map[3 * i] = gfx::GetBValue(palette[i]);
            map[3 * i + 1] = gfx::GetGValue(palette[i]);
            map[3 * i + 2] = gfx::GetRValue(palette[i]);
        }
        Stream.WriteBuffer(map, sizeof map);
    }
    ProgressEnd();
    ProgressStart(stageTransferring);
    const size_t rowBytes = w * bytes;
    std::vector<uint8_t> packed(Compressed ? 2 * rowBytes : 0);
    decoders::TTargaRLEDecoder encoder(int(8 * bytes));
    for (uint32_t y = 0; y < hgt; ++y) {
        const uint8_t* row = source->ScanLine(int32_t(y));
        if (Compressed) {
            size_t stored = 0;
            encoder.Encode(decoders::TSource(row, rowBytes), decoders::TTarget(packed), w, stored);
            Stream.WriteBuffer(packed.data(), int64_t(stored));
        } else {
            Stream.WriteBuffer(row, int64_t(rowBytes));
        }
        ProgressRow(y, false);
    }
    ProgressEnd();
}
