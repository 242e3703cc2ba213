#include "pictures/formats/PaintShopProGraphic.h"

#include "pictures/decoders/GraphicCompression.h"
#include "platform/rtl/LittleEndian.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

namespace {

const char* const pspWord = "PSP";
const char signature[] = "Paint Shop Pro Image File";
constexpr size_t signatureSize = 25, fileHeaderSize = 36, attributesSize = 42;
constexpr uint16_t blockGeneral = 0, blockPalette = 2, blockLayerStart = 3, blockLayer = 4, blockChannel = 5;
// What one byte of coded data can stand for at most: a run of 127 (two bytes) and deflate's
// best ratio, a little over a thousand.
constexpr uint64_t rleRatio = 64, deflateRatio = 1032;

std::unique_ptr<gfx::TGraphic> createPaintShopPro() { return std::make_unique<TPSPGraphic>(); }

using rtl::le16;
using rtl::le32;

[[noreturn]] void streamError() { FormatErrorFmt(msgStreamReadError, {pspWord}); }

// Reads within the file and within the block being read; anything beyond raises.
class TReader {
public:
    explicit TReader(rtl::TStream& Stream) : stream_(Stream) {}
    int64_t position() { return stream_.Position(); }
    uint64_t left() { return uint64_t(stream_.Remaining()); }
    void read(void* Data, uint64_t Count)
    {
        if (Count > left())
            streamError();
        stream_.ReadBuffer(Data, int64_t(Count));
    }
    uint8_t u8()
    {
        uint8_t b;
        read(&b, 1);
        return b;
    }
    uint16_t u16()
    {
        uint8_t b[2];
        read(b, 2);
        return le16(b);
    }
    uint32_t u32()
    {
        uint8_t b[4];
        read(b, 4);
        return le32(b);
    }
    void seek(int64_t Position)
    {
        if (Position < 0 || Position > stream_.Size())
            streamError();
        stream_.SetPosition(Position);
    }
    bool atBlock()
    {
        if (left() < 1)
            return false;
        const uint8_t b = u8();
        stream_.Seek(-1, rtl::soCurrent);
        return b == 0x7E;
    }

private:
    rtl::TStream& stream_;
};

struct TBlock {
    uint16_t id = 0;
    int64_t body = 0;  // first byte after the header
    int64_t end = 0;   // first byte after the body
};

TBlock readBlockHeader(TReader& R, uint32_t Version)
{
    uint8_t marker[4];
    R.read(marker, 4);
    if (std::memcmp(marker, "~BK\0", 4) != 0)
        FormatErrorFmt(msgInvalidImage, {pspWord});
    TBlock b;
    b.id = R.u16();
    if (Version == 3)
        R.u32();  // initial data length
    const uint32_t total = R.u32();
    b.body = R.position();
    if (total > R.left())
        streamError();
    b.end = b.body + total;
    return b;
}

// A chunk's size counts its own four bytes; the chunk must lie within its block.
int64_t readChunkEnd(TReader& R, const TBlock& Block)
{
    const int64_t start = R.position();
    const uint32_t size = R.u32();
    if (size < 4 || start + int64_t(size) > Block.end)
        streamError();
    return start + size;
}

}  // namespace

const gfx::TGraphicClassInfo TPSPGraphic::ClassInfo{"TPSPGraphic", createPaintShopPro};

bool TPSPGraphic::CanLoad(rtl::TStream& Stream) const
{
    const int64_t start = Stream.Position();
    if (Stream.Size() - start < 37)
        return false;
    uint8_t d[fileHeaderSize];
    Stream.ReadBuffer(d, fileHeaderSize);
    Stream.SetPosition(start);
    return std::memcmp(d, signature, signatureSize) == 0 && le16(d + 32) >= 3;
}

bool TPSPGraphic::ReadImageProperties(rtl::TStream& Stream, uint32_t ImageIndex)
{
    TFormatGraphic::ReadImageProperties(Stream, ImageIndex);
    if (!CanLoad(Stream))
        return false;
    TReader R(Stream);
    uint8_t d[fileHeaderSize];
    R.read(d, fileHeaderSize);
    TImageProperties& P = ImageProperties;
    P.Version = le16(d + 32);
    const TBlock general = readBlockHeader(R, P.Version);
    if (general.id != blockGeneral)
        return false;
    if (P.Version > 3)
        readChunkEnd(R, general);
    uint8_t a[attributesSize];
    R.read(a, attributesSize);
    P.Width = le32(a);
    P.Height = le32(a + 4);
    double resolution;
    std::memcpy(&resolution, a + 8, 8);
    const uint8_t metric = a[16];
    const uint16_t compression = le16(a + 17);
    const uint16_t depth = le16(a + 19);
    const bool grey = a[27] != 0;
    if (depth == 24) {
        P.ColorScheme = psRGB, P.BitsPerSample = 8, P.SamplesPerPixel = 3;
    } else {
        P.BitsPerSample = uint8_t(std::min<uint16_t>(depth, 255));
        P.SamplesPerPixel = 1;
        P.ColorScheme = grey ? psGray : psIndexed;
    }
    P.BitsPerPixel = uint8_t(std::min(255, P.BitsPerSample * P.SamplesPerPixel));
    P.Compression = compression == 0 ? ctNone : compression == 1 ? ctRLE : compression == 2 ? ctDeflate
                    : compression == 3 ? ctJPEG : ctUnknown;
    if (!(resolution > 0 && resolution < 1e6))
        resolution = 0;
    P.XResolution = P.YResolution = float(metric == 2 ? resolution * 2.54 : resolution);
    return true;
}

void TPSPGraphic::LoadFromStream(rtl::TStream& Stream)
{
    BeginLoad(Stream, pspWord);
    ProgressStart(stagePreparing);
    const TImageProperties& P = ImageProperties;
    const uint32_t W = P.Width, H = P.Height, version = P.Version;
    if (P.Compression != ctNone && P.Compression != ctRLE && P.Compression != ctDeflate)
        FormatErrorFmt(msgUnsupportedFeature, {msgCompressionScheme, pspWord});
    uint64_t rowBytes = 0;
    switch (P.BitsPerPixel) {
    case 1: rowBytes = (uint64_t(W) + 7) / 8; break;
    case 4: rowBytes = (uint64_t(W) + 1) / 2; break;
    case 8:
    case 24: rowBytes = W; break;
    default: FormatErrorFmt(msgInvalidColorFormat, {pspWord});
    }
    if (W == 0 || H == 0)
        FormatErrorFmt(msgInvalidImage, {pspWord});

    TColorManager& CM = ColorManager();
    CM.SetSourceBitsPerSample(P.BitsPerSample);
    CM.SetTargetBitsPerSample(P.BitsPerSample);
    CM.SetSourceSamplesPerPixel(P.SamplesPerPixel);
    CM.SetTargetSamplesPerPixel(P.SamplesPerPixel);
    CM.SetSourceColorScheme(P.ColorScheme);
    CM.SetTargetColorScheme(P.ColorScheme == psRGB ? psBGR : P.ColorScheme);

    TReader R(Stream);
    R.seek(int64_t(BasePosition) + int64_t(fileHeaderSize));
    const TBlock general = readBlockHeader(R, version);
    R.seek(general.end);

    std::vector<gfx::TColor> palette;
    // Channel planes by channel type: 0 index (or mask), 1 red, 2 green, 3 blue.
    std::array<std::vector<uint8_t>, 4> planes;
    bool layerTaken = false;
    uint16_t channelCount = 0;
    const uint64_t planeBytes = rowBytes * H;
    // The bitmap's own limit, before any plane is allocated.
    if (W > uint32_t(gfx::TBitmap::MaxSide) || H > uint32_t(gfx::TBitmap::MaxSide) ||
        planeBytes > uint64_t(gfx::TBitmap::MaxPixelBytes))
        throw gfx::EInvalidGraphicOperation("Bitmap too large");

    while (!layerTaken && R.atBlock()) {
        const TBlock block = readBlockHeader(R, version);
        if (block.id == blockPalette) {
            if (version > 3)
                readChunkEnd(R, block);
            const uint32_t count = R.u32();
            if (count > 256 || int64_t(count) * 4 > block.end - R.position())
                FormatErrorFmt(msgInvalidPalette, {pspWord});
            std::vector<uint8_t> entries(size_t(count) * 4);
            R.read(entries.data(), entries.size());
            const TRowSpan rows[1] = {TRowSpan(entries)};
            palette = CM.BuildColorPalette(rows, pdInterleaved8Padded, count, true).ToColors();
        } else if (block.id == blockLayerStart) {
            while (!layerTaken && R.position() < block.end && R.atBlock()) {
                const TBlock layer = readBlockHeader(R, version);
                if (layer.id != blockLayer || layer.end > block.end)
                    break;
                uint8_t type = 0;
                int64_t infoEnd = 0;
                if (version == 3) {
                    uint8_t info[256 + 115];
                    R.read(info, sizeof info);
                    type = info[256];
                } else {
                    const int64_t chunkEnd = readChunkEnd(R, layer);
                    const uint16_t nameLength = R.u16();
                    R.seek(R.position() + nameLength);
                    if (R.position() >= chunkEnd)
                        streamError();
                    type = R.u8();
                    R.seek(chunkEnd);
                }
                if (version == 3 ? type != 0 : type >= 2) {
                    R.seek(layer.end);
                    continue;
                }
                if (version > 3)
                    infoEnd = readChunkEnd(R, layer);
                R.u16();  // bitmap count
                channelCount = R.u16();
                if (version > 3)
                    R.seek(infoEnd);
                for (uint16_t c = 0; c < channelCount && R.position() < layer.end; ++c) {
                    const TBlock channel = readBlockHeader(R, version);
                    if (channel.id != blockChannel || channel.end > layer.end)
                        streamError();
                    const int64_t headerEnd = version > 3 ? readChunkEnd(R, channel) : 0;
                    const uint32_t packedLength = R.u32();
                    const uint32_t length = R.u32();
                    R.u16();  // bitmap type
                    const uint16_t channelType = R.u16();
                    if (version > 3)
                        R.seek(headerEnd);
                    if (channelType > 3 || !planes[channelType].empty() || packedLength > channel.end - R.position()) {
                        R.seek(channel.end);
                        continue;
                    }
                    // The plane must fill the picture's rows; only those are kept.
                    if (length < planeBytes)
                        streamError();
                    const uint64_t ratio = P.Compression == ctNone ? 1 : P.Compression == ctRLE ? rleRatio : deflateRatio;
                    if (planeBytes > uint64_t(packedLength) * ratio)
                        streamError();
                    std::vector<uint8_t> plane(static_cast<size_t>(planeBytes));
                    if (P.Compression == ctNone) {
                        R.read(plane.data(), plane.size());
                    } else {
                        std::vector<uint8_t> packed(packedLength);
                        R.read(packed.data(), packed.size());
                        decoders::TSource in(packed);
                        decoders::TTarget out(plane);
                        if (P.Compression == ctRLE) {
                            decoders::TPSPRLEDecoder().Decode(in, out, packed.size(), plane.size());
                        } else {
                            decoders::TLZ77Decoder lz(4, false);
                            lz.DecodeInit();
                            lz.Decode(in, out, packed.size(), plane.size());
                            const bool bad = lz.Failed() || (lz.Status() != Z_STREAM_END && lz.AvailableOutput() != 0);
                            lz.DecodeEnd();
                            if (bad)
                                FormatErrorFmt(msgCompression, {pspWord});
                        }
                    }
                    planes[channelType] = std::move(plane);
                    R.seek(channel.end);
                }
                layerTaken = true;
            }
        }
        if (!layerTaken)
            R.seek(block.end);
    }

    const bool rgb = P.ColorScheme == psRGB;
    const bool alpha = rgb && channelCount > 3 && !planes[0].empty();
    if (alpha) {
        CM.SetSourceColorScheme(psRGBA);
        CM.SetTargetColorScheme(psBGRA);
        CM.SetSourceSamplesPerPixel(4);
        CM.SetTargetSamplesPerPixel(4);
    }
    SetPixelFormat(alpha ? gfx::pf32bit : CM.GetPixelFormat(1));
    SetSize(int32_t(W), int32_t(H));
    if (P.ColorScheme == psGray)
        SetPalette(CM.BuildGrayPalette(false).ToColors());
    else if (P.ColorScheme == psIndexed && !palette.empty())
        SetPalette(palette);

    // A layer without the channels its depth needs leaves the picture as it was made.
    const bool complete = rgb ? !planes[1].empty() && !planes[2].empty() && !planes[3].empty() : !planes[0].empty();
    if (!complete)
        streamError();
    ProgressStart(stageTransferring);
    std::vector<TRowSpan> rows(rgb ? (alpha ? 4 : 3) : 1);
    for (uint32_t y = 0; y < H; ++y) {
        const size_t at = size_t(y) * size_t(rowBytes);
        if (rgb) {
            for (size_t i = 0; i < 3; ++i)
                rows[i] = TRowSpan(planes[i + 1]).subspan(at, size_t(rowBytes));
            if (alpha)
                rows[3] = TRowSpan(planes[0]).subspan(at, size_t(rowBytes));
        } else {
            rows[0] = TRowSpan(planes[0]).subspan(at, size_t(rowBytes));
        }
        CM.ConvertRow(TSourceRows(rows), std::span<uint8_t>(ScanLine(int32_t(y)), size_t(BytesPerLine())), W, 0xFF);
        ProgressRow(y);
    }
    ProgressEnd();
}
