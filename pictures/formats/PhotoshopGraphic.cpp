#include "pictures/formats/PhotoshopGraphic.h"

#include "pictures/decoders/GraphicCompression.h"
#include "platform/rtl/BigEndian.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>

namespace {

const char* const psdWord = "PSD or PDD";
constexpr uint32_t headerSize = 26;
// Photoshop itself writes at most 56 channels.
constexpr uint32_t maxChannels = 56;

enum TPsdMode : uint16_t { pmBitmap = 0, pmGray = 1, pmIndexed = 2, pmRGB = 3, pmCMYK = 4, pmMultichannel = 7,
                           pmDuotone = 8, pmLab = 9 };

std::unique_ptr<gfx::TGraphic> createPhotoshop() { return std::make_unique<TPSDGraphic>(); }

using rtl::be16;
using rtl::be32;

struct THeader {
    uint16_t version = 0, channels = 0, depth = 0, mode = 0;
    uint32_t rows = 0, columns = 0;
    bool signature = false;
};

THeader readHeader(rtl::TStream& Stream)
{
    THeader h;
    if (Stream.Size() - Stream.Position() < int64_t(headerSize))
        return h;
    uint8_t d[headerSize];
    Stream.ReadBuffer(d, headerSize);
    h.signature = std::toupper(d[0]) == '8' && std::toupper(d[1]) == 'B' && std::toupper(d[2]) == 'P' &&
                  std::toupper(d[3]) == 'S';
    h.version = be16(d + 4);
    h.channels = be16(d + 12);
    h.rows = be32(d + 14);
    h.columns = be32(d + 18);
    h.depth = be16(d + 22);
    h.mode = be16(d + 24);
    return h;
}

uint32_t readLength(rtl::TStream& Stream)
{
    uint8_t d[4];
    Stream.ReadBuffer(d, 4);
    return be32(d);
}

uint64_t left(rtl::TStream& Stream) { return uint64_t(Stream.Remaining()); }

void skipSection(rtl::TStream& Stream)
{
    const uint32_t n = readLength(Stream);
    if (n > left(Stream))
        FormatErrorFmt(msgStreamReadError, {psdWord});
    Stream.Seek(n, rtl::soCurrent);
}

}  // namespace

const gfx::TGraphicClassInfo TPSDGraphic::ClassInfo{"TPSDGraphic", createPhotoshop};

bool TPSDGraphic::CanLoad(rtl::TStream& Stream) const
{
    const int64_t start = Stream.Position();
    if (Stream.Size() - start <= int64_t(headerSize))
        return false;
    const THeader h = readHeader(Stream);
    Stream.SetPosition(start);
    return h.signature && h.version == 1;
}

bool TPSDGraphic::ReadImageProperties(rtl::TStream& Stream, uint32_t ImageIndex)
{
    TFormatGraphic::ReadImageProperties(Stream, ImageIndex);
    const THeader h = readHeader(Stream);
    if (!h.signature)
        return false;
    TImageProperties& P = ImageProperties;
    P.Options = ioBigEndian;
    P.BitsPerSample = uint8_t(std::min<uint16_t>(h.depth, 255));
    P.Channels = uint8_t(std::min<uint16_t>(h.channels, 255));
    P.Width = h.columns;
    P.Height = h.rows;
    // One sample for the one-plane modes, whatever extra channels (alpha) they carry.
    uint16_t needed = 1;
    switch (h.mode) {
    case pmBitmap: P.ColorScheme = psGray, P.Options |= ioMinIsWhite; break;
    case pmGray:
    case pmDuotone: P.ColorScheme = psGray; break;
    case pmIndexed: P.ColorScheme = psIndexed; break;
    case pmRGB:
    case pmMultichannel: P.ColorScheme = h.channels == 3 ? psRGB : psRGBA, needed = 3; break;
    case pmCMYK: P.ColorScheme = psCMYK, needed = 4; break;
    case pmLab: P.ColorScheme = psLab, needed = 3; break;
    default: P.ColorScheme = psUnknown; break;
    }
    P.SamplesPerPixel = uint8_t(needed == 1 ? 1 : std::min<uint16_t>(h.channels, 4));
    P.HasAlpha = P.ColorScheme == psRGBA;
    P.BitsPerPixel = uint8_t(std::min(255, P.SamplesPerPixel * P.BitsPerSample));
    const bool depthFits = h.mode == pmBitmap ? h.depth == 1
                           : h.mode == pmIndexed ? h.depth == 8
                                                 : h.depth == 8 || h.depth == 16;
    if (P.ColorScheme == psUnknown || !depthFits || h.channels < needed || h.channels > maxChannels ||
        P.Width == 0 || P.Height == 0)
        return false;
    // The three sections before the image data.
    for (int i = 0; i < 3; ++i) {
        if (left(Stream) < 4)
            return false;
        const uint32_t n = readLength(Stream);
        if (n > left(Stream))
            return false;
        Stream.Seek(n, rtl::soCurrent);
    }
    if (left(Stream) < 2)
        return false;
    uint8_t c[2];
    Stream.ReadBuffer(c, 2);
    P.Compression = be16(c) == 1 ? ctPackBits : be16(c) == 0 ? ctNone : ctUnknown;
    return true;
}

void TPSDGraphic::LoadFromStream(rtl::TStream& Stream)
{
    BeginLoad(Stream, psdWord);
    const TImageProperties& P = ImageProperties;
    ProgressStart(stagePreparing);
    readHeader(Stream);
    if (P.Compression == ctUnknown)
        FormatErrorFmt(msgUnsupportedFeature, {msgCompressionScheme, psdWord});

    TColorManager& CM = ColorManager();
    const bool wide = P.BitsPerSample == 16;
    // The CMYK and Lab converters read 16-bit samples low byte first only: those planes are
    // put in that order here, the others are swapped as they are converted.
    const bool swapHere = wide && (P.ColorScheme == psCMYK || P.ColorScheme == psLab);
    CM.SourceOptions = wide && !swapHere ? soSwapBytes : 0;
    CM.SetSourceBitsPerSample(P.BitsPerSample);
    CM.SetTargetBitsPerSample(wide ? 8 : P.BitsPerSample);
    CM.SetSourceSamplesPerPixel(P.SamplesPerPixel);
    CM.SetTargetSamplesPerPixel(P.SamplesPerPixel);
    CM.SetSourceColorScheme(P.ColorScheme);
    switch (P.ColorScheme) {
    case psIndexed:
    case psGray: CM.SetTargetColorScheme(P.ColorScheme); break;
    case psRGB: CM.SetTargetColorScheme(psBGR); break;
    case psRGBA: CM.SetTargetColorScheme(psBGRA); break;
    case psCMYK: CM.SetTargetColorScheme(psBGR), CM.SetTargetSamplesPerPixel(3); break;
    case psLab:
        CM.SetTargetColorScheme(psBGR);
        CM.SourceOptions |= soLabScaledLightness | soLabOffsetChroma;
        break;
    default: break;
    }
    SetPixelFormat(CM.GetPixelFormat(1));

    // Colour mode data: an indexed picture's palette, three planes of 256 values.
    const uint32_t modeData = readLength(Stream);
    if (modeData > left(Stream))
        FormatErrorFmt(msgStreamReadError, {psdWord});
    std::vector<gfx::TColor> palette;
    if (P.ColorScheme == psIndexed) {
        if (modeData != 768)
            FormatErrorFmt(msgInvalidPalette, {psdWord});
        std::vector<uint8_t> planes(768);
        Stream.ReadBuffer(planes.data(), 768);
        const TRowSpan rows[3] = {TRowSpan(planes).subspan(0, 256), TRowSpan(planes).subspan(256, 256),
                                  TRowSpan(planes).subspan(512, 256)};
        palette = CM.BuildColorPalette(rows, pdPlanar8, 256, false).ToColors();
    } else {
        Stream.Seek(modeData, rtl::soCurrent);
        if (P.ColorScheme == psGray)
            palette = CM.BuildGrayPalette(P.Options & ioMinIsWhite).ToColors();
    }
    skipSection(Stream);
    skipSection(Stream);
    Stream.Seek(2, rtl::soCurrent);

    const uint32_t W = P.Width, H = P.Height, channels = P.Channels;
    const size_t planes = P.SamplesPerPixel;  // the planes converted, the first ones of the file
    const uint64_t rowBytes = (uint64_t(W) * P.BitsPerSample + 7) / 8;
    const bool packed = P.Compression == ctPackBits;

    // Run-length data: a byte count for each row of every channel first.
    std::vector<uint32_t> counts;
    uint64_t packedTotal = 0;
    if (packed) {
        const uint64_t tableBytes = uint64_t(H) * channels * 2;
        if (tableBytes > left(Stream))
            FormatErrorFmt(msgStreamReadError, {psdWord});
        std::vector<uint8_t> table(size_t(H) * planes * 2);
        Stream.ReadBuffer(table.data(), int64_t(table.size()));
        Stream.Seek(int64_t(tableBytes - table.size()), rtl::soCurrent);
        counts.resize(size_t(H) * planes);
        for (size_t i = 0; i < counts.size(); ++i)
            packedTotal += counts[i] = be16(table.data() + 2 * i);
    }
    // The picture is paid for by its data: raw planes present, a PackBits pair at most 128 bytes.
    const uint64_t unpacked = rowBytes * H * planes;
    if (packed ? packedTotal > left(Stream) || unpacked > packedTotal * 64 : unpacked > left(Stream))
        FormatErrorFmt(msgStreamReadError, {psdWord});
    SetSize(int32_t(W), int32_t(H));
    if (!palette.empty())
        SetPalette(palette);

    std::vector<uint8_t> data(static_cast<size_t>(unpacked));
    if (packed) {
        decoders::TPackbitsRLEDecoder decoder;
        std::vector<uint8_t> source(static_cast<size_t>(packedTotal));
        Stream.ReadBuffer(source.data(), int64_t(source.size()));
        size_t at = 0;
        for (size_t row = 0; row < counts.size(); ++row) {
            decoders::TSource in = decoders::TSource(source).subspan(at, counts[row]);
            decoders::TTarget out = decoders::TTarget(data).subspan(row * size_t(rowBytes), size_t(rowBytes));
            decoder.Decode(in, out, counts[row], size_t(rowBytes));
            at += counts[row];
        }
    } else {
        // The planes lie one after the other: the first ones are what is converted.
        Stream.ReadBuffer(data.data(), int64_t(data.size()));
    }
    // No ink is 255 in the file and 0 for the converter.
    if (P.ColorScheme == psCMYK)
        for (uint8_t& b : data)
            b = uint8_t(255 - b);
    if (swapHere)
        SwapShorts(data, data.size() / 2);

    ProgressStart(stageTransferring);
    const size_t planeBytes = size_t(rowBytes) * H;
    std::vector<TRowSpan> rows(planes);
    for (uint32_t y = 0; y < H; ++y) {
        for (size_t p = 0; p < planes; ++p)
            rows[p] = TRowSpan(data).subspan(p * planeBytes + y * size_t(rowBytes), size_t(rowBytes));
        CM.ConvertRow(TSourceRows(rows), std::span<uint8_t>(ScanLine(int32_t(y)), size_t(BytesPerLine())), W, 0xFF);
        ProgressRow(y);
    }
    ProgressEnd();
}
