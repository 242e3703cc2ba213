#include "pictures/formats/SGIGraphic.h"

#include "pictures/decoders/GraphicCompression.h"
#include "pictures/formats/ReaderStreams.h"
#include "platform/rtl/BigEndian.h"

#include <cstring>

namespace {

std::unique_ptr<gfx::TGraphic> createSGI() { return std::make_unique<TSGIGraphic>(); }

constexpr const char* sgiWord = "sgi, bw or rgb(a)";

using rtl::be16;
using rtl::be32;

// SGI header fields after the magic.
struct SgiHeader {
    uint8_t Storage = 0, BytesPerChannel = 0;
    uint16_t Dimension = 0, XSize = 0, YSize = 0, ZSize = 0;
};

SgiHeader sgiHeader(const uint8_t* b)
{
    return SgiHeader{b[2], b[3], be16(b + 4), be16(b + 6), be16(b + 8), be16(b + 10)};
}

}  // namespace

const gfx::TGraphicClassInfo TSGIGraphic::ClassInfo{"TSGIGraphic", createSGI};

bool TSGIGraphic::CanLoad(rtl::TStream& Stream) const
{
    if (Stream.Remaining() < 513)
        return false;
    const std::vector<uint8_t> b = PeekBytes(Stream, 12);
    if (b.size() < 12 || be16(b.data()) != 0x01DA)
        return false;
    const SgiHeader h = sgiHeader(b.data());
    return (h.BytesPerChannel == 1 || h.BytesPerChannel == 2) && h.Dimension >= 1 && h.Dimension <= 3;
}

bool TSGIGraphic::ReadImageProperties(rtl::TStream& Stream, uint32_t ImageIndex)
{
    TFormatGraphic::ReadImageProperties(Stream, ImageIndex);
    uint8_t b[12];
    if (Stream.Read(b, 12) != 12 || be16(b) != 0x01DA)
        return false;
    SgiHeader h = sgiHeader(b);
    // A one-dimensional picture is a single row of one channel, a two-dimensional one a single
    // channel; sizes that say otherwise, and channels beyond RGBA, are not a picture we know.
    if (h.Dimension == 1) {
        if (h.YSize > 1 || h.ZSize > 1)
            return false;
        h.YSize = h.ZSize = 1;
    } else if (h.Dimension == 2) {
        if (h.ZSize > 1)
            return false;
        h.ZSize = 1;
    } else if (h.Dimension != 3) {
        return false;
    }
    if ((h.BytesPerChannel != 1 && h.BytesPerChannel != 2) || h.Storage > 1 || h.ZSize < 1 || h.ZSize > 4 ||
        h.XSize == 0 || h.YSize == 0)
        return false;
    TImageProperties& p = ImageProperties;
    p.Options |= ioBigEndian;
    p.BitsPerSample = uint8_t(8 * h.BytesPerChannel);
    p.Width = h.XSize;
    p.Height = h.YSize;
    p.SamplesPerPixel = uint8_t(h.ZSize);
    p.ColorScheme = h.ZSize == 3 ? psRGB : h.ZSize == 4 ? psRGBA : h.ZSize == 2 ? psGrayAlpha : psIndexed;
    p.HasAlpha = h.ZSize == 2 || h.ZSize == 4;
    p.BitsPerPixel = uint8_t(p.BitsPerSample * p.SamplesPerPixel);
    p.Compression = h.Storage == 1 ? ctRLE : ctNone;
    p.BytesPerLine = uint32_t((uint64_t(p.BitsPerPixel) * p.Width + 7) / 8);
    return true;
}

void TSGIGraphic::LoadFromStream(rtl::TStream& Stream)
{
    BeginLoad(Stream, sgiWord);
    ProgressStart(stagePreparing);
    const TImageProperties& p = ImageProperties;
    const std::vector<uint8_t> file = ReadToEnd(Stream);
    const uint64_t W = p.Width, H = p.Height, Z = p.SamplesPerPixel;
    const uint64_t bpc = p.BitsPerSample / 8;
    const uint64_t body = file.size() > 512 ? file.size() - 512 : 0;
    const bool rle = p.Compression == ctRLE;
    // What the file must hold: the two tables and at most 127 samples a run byte, or every
    // sample as it is.
    if (rle ? (8 * H * Z > body || W * H * Z > 127 * body) : W * H * Z * bpc > body)
        FormatErrorFmt(msgStreamReadError, {sgiWord});
    std::vector<uint32_t> starts, lengths;
    if (rle) {
        starts.resize(H * Z);
        lengths.resize(H * Z);
        for (size_t i = 0; i < starts.size(); ++i) {
            starts[i] = be32(file.data() + 512 + 4 * i);
            lengths[i] = be32(file.data() + 512 + 4 * (H * Z + i));
            // Lengths count bytes whatever the sample size.
            if (uint64_t(starts[i]) + lengths[i] > file.size())
                FormatErrorFmt(msgStreamReadError, {sgiWord});
        }
    }

    // Grey with alpha shows its grey channel only.
    const uint8_t shown = Z == 2 ? 1 : uint8_t(Z);
    TColorManager& cm = ColorManager();
    cm.SourceOptions = p.BitsPerSample == 16 ? soSwapBytes : 0;
    cm.TargetOptions = 0;
    cm.SetSourceColorScheme(shown == 1 ? psIndexed : p.ColorScheme);
    cm.SetSourceBitsPerSample(p.BitsPerSample);
    cm.SetSourceSamplesPerPixel(shown);
    gfx::TPixelFormat format;
    if (shown == 1) {
        cm.SetTargetColorScheme(psIndexed);
        cm.SetTargetBitsPerSample(8);
        cm.SetTargetSamplesPerPixel(1);
        format = cm.GetPixelFormat(1);
    } else {
        format = SetTrueColorTarget(cm, shown);
    }
    SetPixelFormat(format);
    if (shown == 1)
        SetPalette(cm.BuildGrayPalette(false).ToColors());
    SetSize(int32_t(W), int32_t(H));

    const size_t rowBytes = size_t(W * bpc);
    std::vector<uint8_t> planes(rowBytes * shown);
    TRowSpan rows[4];
    for (size_t c = 0; c < shown; ++c)
        rows[c] = TRowSpan(planes.data() + c * rowBytes, rowBytes);
    decoders::TSGIRLEDecoder decoder(p.BitsPerSample);
    ProgressStart(stageTransferring);
    const size_t stride = size_t(BytesPerLine());
    for (uint64_t r = 0; r < H; ++r) {
        for (uint64_t c = 0; c < shown; ++c) {
            uint8_t* plane = planes.data() + c * rowBytes;
            if (rle) {
                const size_t k = size_t(c * H + r);
                decoders::TSource source(file.data() + starts[k], lengths[k]);
                decoders::TTarget target(plane, rowBytes);
                std::memset(plane, 0, rowBytes);
                decoder.Decode(source, target, lengths[k], size_t(W));
            } else {
                std::memcpy(plane, file.data() + 512 + (W * r + W * c * H) * bpc, rowBytes);
            }
        }
        cm.ConvertRow(TSourceRows(rows, shown), {ScanLine(int32_t(H - 1 - r)), stride}, uint32_t(W), 0xFF);
        ProgressRow(uint32_t(r));
    }
    ProgressEnd();
}
