#include "pictures/formats/PCXGraphic.h"

#include "pictures/decoders/GraphicCompression.h"
#include "pictures/formats/ReaderStreams.h"
#include "platform/rtl/LittleEndian.h"

#include <algorithm>
#include <array>

namespace {

std::unique_ptr<gfx::TGraphic> createPCX() { return std::make_unique<TPCXGraphic>(); }

constexpr const char* pcxWord = "PCX";

struct PcxHeader {
    uint8_t Manufacturer = 0, Version = 0, Encoding = 0, BitsPerPixel = 0;
    uint16_t XMin = 0, YMin = 0, XMax = 0, YMax = 0, XDpi = 0, YDpi = 0;
    std::array<uint8_t, 48> ColorMap{};
    uint8_t ColorPlanes = 0;
    uint16_t BytesPerLine = 0, PaletteType = 0;
};

// The 128-byte header at the stream's position; false when the stream is shorter.
bool readPcxHeader(rtl::TStream& Stream, PcxHeader& h)
{
    uint8_t b[128];
    if (Stream.Read(b, 128) != 128)
        return false;
    h.Manufacturer = b[0], h.Version = b[1], h.Encoding = b[2], h.BitsPerPixel = b[3];
    h.XMin = rtl::le16(b + 4), h.YMin = rtl::le16(b + 6), h.XMax = rtl::le16(b + 8), h.YMax = rtl::le16(b + 10);
    h.XDpi = rtl::le16(b + 12), h.YDpi = rtl::le16(b + 14);
    std::copy_n(b + 16, 48, h.ColorMap.begin());
    h.ColorPlanes = b[65];
    h.BytesPerLine = rtl::le16(b + 66), h.PaletteType = rtl::le16(b + 68);
    return true;
}

// Planes of a depth this reader can show: one plane of 1, 2, 4 or 8 bits, two to four
// planes of 1 bit, or three planes of 8 bits.
bool pcxLayoutKnown(uint8_t planes, uint8_t bits)
{
    if (planes == 1)
        return bits == 1 || bits == 2 || bits == 4 || bits == 8;
    return (planes >= 2 && planes <= 4 && bits == 1) || (planes == 3 && bits == 8);
}

// Bit planes of one row (each BytesPerLine long, most significant bit first) as 4-bit
// indices, two to a byte, plane k giving bit k.
void mergeBitPlanes(const uint8_t* row, size_t bytesPerLine, int planes, uint32_t width, uint8_t* target)
{
    for (uint32_t x = 0; x < width; ++x) {
        const size_t byte = x >> 3;
        const int shift = 7 - int(x & 7);
        uint8_t index = 0;
        for (int k = 0; k < planes; ++k)
            index |= uint8_t(((row[size_t(k) * bytesPerLine + byte] >> shift) & 1) << k);
        uint8_t& t = target[x >> 1];
        t = (x & 1) ? uint8_t((t & 0xF0) | index) : uint8_t(index << 4);
    }
}

}  // namespace

const gfx::TGraphicClassInfo TPCXGraphic::ClassInfo{"TPCXGraphic", createPCX};

bool TPCXGraphic::CanLoad(rtl::TStream& Stream) const
{
    const int64_t start = Stream.Position();
    if (Stream.Remaining() <= 128)
        return false;
    PcxHeader h;
    const bool read = readPcxHeader(Stream, h);
    Stream.SetPosition(start);
    // The same manufacturers the load accepts: ZSoft's 10 and 205 of screen captures.
    return read && (h.Manufacturer == 10 || h.Manufacturer == 205) &&
           (h.Version == 0 || h.Version == 2 || h.Version == 3 || h.Version == 5) && h.Encoding <= 1;
}

bool TPCXGraphic::ReadImageProperties(rtl::TStream& Stream, uint32_t ImageIndex)
{
    TFormatGraphic::ReadImageProperties(Stream, ImageIndex);
    PcxHeader h;
    if (!readPcxHeader(Stream, h) || (h.Manufacturer != 10 && h.Manufacturer != 205))
        return false;
    // A window turned inside out, or rows too short for the pixels they claim, is no header.
    if (h.XMax < h.XMin || h.YMax < h.YMin || h.BitsPerPixel == 0 || h.ColorPlanes == 0)
        return false;
    TImageProperties& p = ImageProperties;
    p.Width = uint32_t(h.XMax - h.XMin) + 1;
    p.Height = uint32_t(h.YMax - h.YMin) + 1;
    if (h.BytesPerLine < (uint64_t(p.Width) * h.BitsPerPixel + 7) / 8)
        return false;
    p.SamplesPerPixel = h.ColorPlanes;
    p.BitsPerSample = h.BitsPerPixel;
    p.BitsPerPixel = uint8_t(std::min(255, h.ColorPlanes * h.BitsPerPixel));
    p.ColorScheme = h.ColorPlanes * h.BitsPerPixel > 8 ? psRGB : psIndexed;
    p.Compression = h.Encoding == 1 ? ctRLE : ctNone;
    p.XResolution = h.XDpi;
    p.YResolution = h.YDpi;
    p.BytesPerLine = uint32_t((uint64_t(p.BitsPerPixel) * p.Width + 7) / 8);
    return true;
}

void TPCXGraphic::LoadFromStream(rtl::TStream& Stream)
{
    if (!BeginLoad(Stream, ""))
        return;
    ProgressStart(stagePreparing);
    PcxHeader h;
    readPcxHeader(Stream, h);
    const int64_t dataStart = Stream.Position();
    const int64_t streamSize = Stream.Size();
    int64_t dataSize = streamSize - dataStart;
    const TImageProperties& p = ImageProperties;
    if (!pcxLayoutKnown(h.ColorPlanes, h.BitsPerPixel))
        FormatErrorFmt(msgInvalidColorFormat, {pcxWord});

    // Bit planes become 4-bit indices here; everything else goes through the colour manager.
    const bool bitPlanes = h.ColorPlanes > 1 && h.BitsPerPixel == 1;
    TColorManager& cm = ColorManager();
    cm.SourceOptions = 0;
    cm.TargetOptions = 0;
    cm.SetSourceColorScheme(p.ColorScheme);
    cm.SetTargetColorScheme(p.ColorScheme == psIndexed ? psIndexed : psBGR);
    const uint8_t sourceBits = bitPlanes ? 4 : p.BitsPerSample;
    const uint8_t spp = bitPlanes ? 1 : p.SamplesPerPixel;
    cm.SetSourceBitsPerSample(sourceBits);
    cm.SetTargetBitsPerSample(sourceBits == 2 ? 4 : sourceBits);
    cm.SetSourceSamplesPerPixel(spp);
    cm.SetTargetSamplesPerPixel(spp);
    const gfx::TPixelFormat format = cm.GetPixelFormat(1);
    if (format == gfx::pfCustom)
        FormatErrorFmt(msgInvalidColorFormat, {pcxWord});
    SetPixelFormat(format);

    // A 256-colour file ends with its palette: a byte 12 and 768 bytes, after the data.
    bool paletteBlock = false;
    std::array<uint8_t, 768> block{};
    if (format == gfx::pf8bit && dataSize >= 769) {
        Stream.SetPosition(streamSize - 769);
        uint8_t marker = 0;
        Stream.ReadBuffer(&marker, 1);
        if (marker == 12) {
            Stream.ReadBuffer(block.data(), 768);
            paletteBlock = true;
            dataSize -= 769;
        }
        Stream.SetPosition(dataStart);
    }
    if (format != gfx::pf24bit) {
        TPalette palette;
        if (h.Version == 3 && format != gfx::pf1bit) {
            SetPalette(gfx::DefaultPalette(format));
        } else if (format == gfx::pf1bit) {
            SetPalette(cm.BuildGrayPalette(false).ToColors());
        } else if (format == gfx::pf4bit) {
            const TRowSpan map(h.ColorMap.data(), h.ColorMap.size());
            SetPalette((h.PaletteType == 2 ? cm.BuildGrayPalette(false)
                                           : cm.BuildColorPalette(TSourceRows(&map, 1), pdInterleaved8, 16, false))
                           .ToColors());
        } else if (paletteBlock) {
            const TRowSpan map(block.data(), block.size());
            SetPalette(cm.BuildColorPalette(TSourceRows(&map, 1), pdInterleaved8, 256, false).ToColors());
        } else if (h.PaletteType == 2) {
            SetPalette(cm.BuildGrayPalette(false).ToColors());
        }
    }

    // The data must pay for the picture: stored rows are there in full, and a run-length
    // byte pair gives at most 63 bytes.
    const size_t lineSize = size_t(h.ColorPlanes) * h.BytesPerLine;
    const uint64_t unpacked = uint64_t(lineSize) * p.Height;
    const bool rle = p.Compression == ctRLE;
    if (rle ? unpacked > uint64_t(dataSize) * 63 : unpacked > uint64_t(dataSize))
        FormatErrorFmt(msgStreamReadError, {pcxWord});
    std::vector<uint8_t> data = ReadBytes(Stream, rle ? dataSize : int64_t(unpacked));
    if (rle) {
        std::vector<uint8_t> expanded(size_t(unpacked), 0);
        decoders::TSource source(data);
        decoders::TTarget target(expanded);
        decoders::TPCXRLEDecoder().Decode(source, target, data.size(), expanded.size());
        data = std::move(expanded);
    }
    SetSize(int32_t(p.Width), int32_t(p.Height));

    ProgressStart(stageTransferring);
    const size_t stride = size_t(BytesPerLine());
    for (uint32_t y = 0; y < p.Height; ++y) {
        const uint8_t* row = data.data() + size_t(y) * lineSize;
        uint8_t* line = ScanLine(int32_t(y));
        if (bitPlanes) {
            mergeBitPlanes(row, h.BytesPerLine, h.ColorPlanes, p.Width, line);
        } else if (h.ColorPlanes == 3) {
            const size_t plane = lineSize / 3;
            const TRowSpan planes[3] = {{row, plane}, {row + plane, plane}, {row + 2 * plane, plane}};
            cm.ConvertRow(TSourceRows(planes, 3), {line, stride}, p.Width, 0xFF);
        } else {
            cm.ConvertRow(TRowSpan(row, lineSize), {line, stride}, p.Width, 0xFF);
        }
        ProgressRow(y);
    }
    ProgressEnd();
}
