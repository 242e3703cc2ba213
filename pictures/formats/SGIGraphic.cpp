#include "pictures/formats/SGIGraphic.h"

#include "pictures/decoders/GraphicCompression.h"
#include "platform/rtl/AsciiCase.h"
#include "platform/rtl/BigEndian.h"
#include "platform/rtl/FloatFormat.h"
#include "platform/rtl/LittleEndian.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

std::unique_ptr<gfx::TGraphic> createSGI() { return std::make_unique<TSGIGraphic>(); }
std::unique_ptr<gfx::TGraphic> createAutodesk() { return std::make_unique<TAutodeskGraphic>(); }
std::unique_ptr<gfx::TGraphic> createRLA() { return std::make_unique<TRLAGraphic>(); }

constexpr const char* sgiWord = "sgi, bw or rgb(a)";
constexpr const char* autodeskWord = "Autodesk";
constexpr const char* rlaWord = "RLA";

using rtl::be16;
using rtl::be32;

// Count bytes from the stream's position, or fewer when it ends first; the position is kept.
std::vector<uint8_t> peek(rtl::TStream& Stream, size_t Count)
{
    const int64_t start = Stream.Position();
    std::vector<uint8_t> bytes(Count);
    bytes.resize(size_t(std::max<int64_t>(0, Stream.Read(bytes.data(), int64_t(Count)))));
    Stream.SetPosition(start);
    return bytes;
}

// The stream from its position to the end: the readers index the file's offsets into it.
std::vector<uint8_t> readToEnd(rtl::TStream& Stream)
{
    std::vector<uint8_t> data(size_t(Stream.Remaining()));
    Stream.ReadBuffer(data.data(), int64_t(data.size()));
    return data;
}

// Target side of the merged planes: 8-bit blue-green-red, with alpha for four channels.
gfx::TPixelFormat setTrueColorTarget(TColorManager& cm, uint8_t samples)
{
    cm.SetTargetColorScheme(samples == 4 ? psBGRA : psBGR);
    cm.SetTargetBitsPerSample(8);
    cm.SetTargetSamplesPerPixel(samples);
    return cm.GetPixelFormat(1);
}

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
const gfx::TGraphicClassInfo TAutodeskGraphic::ClassInfo{"TAutodeskGraphic", createAutodesk};
const gfx::TGraphicClassInfo TRLAGraphic::ClassInfo{"TRLAGraphic", createRLA};

// --- SGI ---------------------------------------------------------------------------------

bool TSGIGraphic::CanLoad(rtl::TStream& Stream) const
{
    if (Stream.Remaining() < 513)
        return false;
    const std::vector<uint8_t> b = peek(Stream, 12);
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
    const std::vector<uint8_t> file = readToEnd(Stream);
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
        format = setTrueColorTarget(cm, shown);
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

// --- Autodesk ----------------------------------------------------------------------------

bool TAutodeskGraphic::CanLoad(rtl::TStream& Stream) const
{
    if (Stream.Remaining() < 33)
        return false;
    const std::vector<uint8_t> b = peek(Stream, 12);
    return b.size() == 12 && rtl::le16(b.data()) == 0x9119 && b[10] == 8 && b[11] == 0;
}

bool TAutodeskGraphic::ReadImageProperties(rtl::TStream& Stream, uint32_t ImageIndex)
{
    TFormatGraphic::ReadImageProperties(Stream, ImageIndex);
    uint8_t b[6];
    if (Stream.Read(b, 6) != 6 || rtl::le16(b) != 0x9119)
        return false;
    TImageProperties& p = ImageProperties;
    p.ColorScheme = psIndexed;
    p.Width = rtl::le16(b + 2);
    p.Height = rtl::le16(b + 4);
    p.BitsPerSample = 8;
    p.SamplesPerPixel = 1;
    p.BitsPerPixel = 8;
    p.Compression = ctNone;
    p.BytesPerLine = p.Width;
    return true;
}

void TAutodeskGraphic::LoadFromStream(rtl::TStream& Stream)
{
    BeginLoad(Stream, autodeskWord);
    ProgressStart(stageTransferring);
    const TImageProperties& p = ImageProperties;
    constexpr int64_t pixelsAt = 32 + 768;
    if (Stream.Remaining() < pixelsAt + int64_t(p.Width) * p.Height)
        FormatErrorFmt(msgStreamReadError, {autodeskWord});
    uint8_t head[pixelsAt];
    Stream.ReadBuffer(head, pixelsAt);
    std::vector<gfx::TColor> palette(256);
    for (size_t i = 0; i < 256; ++i) {
        const uint8_t* e = head + 32 + 3 * i;
        palette[i] = gfx::RGB(uint8_t(e[0] * 4), uint8_t(e[1] * 4), uint8_t(e[2] * 4));
    }
    SetPixelFormat(gfx::pf8bit);
    SetPalette(palette);
    SetSize(int32_t(p.Width), int32_t(p.Height));
    for (uint32_t y = 0; y < p.Height; ++y) {
        Stream.ReadBuffer(ScanLine(int32_t(y)), p.Width);
        ProgressRow(y);
    }
    ProgressEnd();
}

// --- RLA ---------------------------------------------------------------------------------

namespace {

constexpr size_t rlaHeaderSize = 740;

std::string rlaText(const uint8_t* p, size_t size)
{
    return std::string(reinterpret_cast<const char*>(p), strnlen(reinterpret_cast<const char*>(p), size));
}

// The gamma text read the same in every locale; no number (or none above 0) is 1.0.
float rlaGamma(const std::string& text)
{
    std::string t = text;
    t.erase(std::remove_if(t.begin(), t.end(), [](char c) { return c == ' ' || c == '\t'; }), t.end());
    double value = 0;
    if (!rtl::TryStrToFloat(t, value) || !(value > 0) || value > 1e6)
        return 1.0f;
    return float(value);
}

}  // namespace

bool TRLAGraphic::CanLoad(rtl::TStream& Stream) const
{
    if (Stream.Remaining() <= int64_t(rlaHeaderSize))
        return false;
    const std::vector<uint8_t> h = peek(Stream, rlaHeaderSize);
    if (h.size() != rlaHeaderSize || be16(h.data() + 26) != 0xFFFE)
        return false;
    const std::string space = rtl::LowerAscii(rlaText(h.data() + 580, 32));
    return space == "rgb" || space == "xyz";
}

bool TRLAGraphic::ReadImageProperties(rtl::TStream& Stream, uint32_t ImageIndex)
{
    TFormatGraphic::ReadImageProperties(Stream, ImageIndex);
    uint8_t h[rlaHeaderSize];
    if (Stream.Read(h, rlaHeaderSize) != int64_t(rlaHeaderSize))
        return false;
    auto field = [&](size_t at) { return int16_t(be16(h + at)); };
    const int left = field(8), right = field(10), bottom = field(12), top = field(14);
    const int channels = field(20), mattes = field(22), channelBits = field(658);
    const std::string space = rtl::LowerAscii(rlaText(h + 580, 32));
    // Red, green and blue in "rgb" space, an optional matte, 1 to 16 bits a sample.
    if (space != "rgb" || channels != 3 || channelBits < 1 || channelBits > 16 || right < left)
        return false;
    TImageProperties& p = ImageProperties;
    p.Options |= ioBigEndian;
    p.SamplesPerPixel = uint8_t(channels + (mattes == 1 ? 1 : 0));
    p.BitsPerSample = uint8_t(channelBits);
    p.ColorScheme = mattes == 1 ? psRGBA : psRGB;
    p.HasAlpha = mattes == 1;
    p.FileGamma = rlaGamma(rlaText(h + 28, 16));
    p.Compression = ctRLE;
    p.Width = uint32_t(right - left + 1);
    p.Height = uint32_t(std::abs(top - bottom) + 1);
    p.BottomUp = bottom < top;
    p.BitsPerPixel = uint8_t(p.BitsPerSample * p.SamplesPerPixel);
    p.BytesPerLine = uint32_t((uint64_t(p.BitsPerPixel) * p.Width + 7) / 8);
    // A picture no bitmap can hold is not loaded either.
    if (p.Width > uint32_t(gfx::TBitmap::MaxSide) || p.Height > uint32_t(gfx::TBitmap::MaxSide) ||
        int64_t(p.Width) * 4 * p.Height > gfx::TBitmap::MaxPixelBytes)
        return false;
    return true;
}

void TRLAGraphic::LoadFromStream(rtl::TStream& Stream)
{
    if (!BeginLoad(Stream, ""))
        return;
    ProgressStart(stageTransferring);
    const TImageProperties& p = ImageProperties;
    const std::vector<uint8_t> file = readToEnd(Stream);
    const uint64_t W = p.Width, H = p.Height, Z = p.SamplesPerPixel;
    const size_t sampleBytes = p.BitsPerSample > 8 ? 2 : 1;
    const uint64_t body = file.size() - rlaHeaderSize;
    // The offset table, and at most 128 bytes out of each run pair.
    if (4 * H > body || W * H * Z * sampleBytes > 128 * body)
        FormatErrorFmt(msgStreamReadError, {rlaWord});

    TColorManager& cm = ColorManager();
    cm.SourceOptions = sampleBytes == 2 ? soSwapBytes : 0;
    cm.TargetOptions = soApplyGamma;
    cm.SetSourceColorScheme(p.ColorScheme);
    cm.SetSourceBitsPerSample(uint8_t(8 * sampleBytes));
    cm.SetSourceSamplesPerPixel(uint8_t(Z));
    const gfx::TPixelFormat format = setTrueColorTarget(cm, uint8_t(Z));
    cm.SetGamma(p.FileGamma, 2.2f);
    SetPixelFormat(format);
    SetSize(int32_t(W), int32_t(H));

    const size_t rowBytes = size_t(W) * sampleBytes;
    std::vector<uint8_t> planes(rowBytes * Z);
    TRowSpan rows[4];
    for (size_t c = 0; c < Z; ++c)
        rows[c] = TRowSpan(planes.data() + c * rowBytes, rowBytes);
    // Samples narrower than their bytes are spread to the whole byte or word.
    const int spread = int(8 * sampleBytes) - p.BitsPerSample;
    decoders::TRLADecoder decoder;
    const size_t stride = size_t(BytesPerLine());
    for (uint64_t row = 0; row < H; ++row) {
        uint64_t at = be32(file.data() + rlaHeaderSize + 4 * row);
        for (size_t c = 0; c < Z; ++c) {
            if (at + 2 > file.size())
                FormatErrorFmt(msgStreamReadError, {rlaWord});
            const size_t count = be16(file.data() + at);
            at += 2;
            if (at + count > file.size())
                FormatErrorFmt(msgStreamReadError, {rlaWord});
            uint8_t* plane = planes.data() + c * rowBytes;
            std::memset(plane, 0, rowBytes);
            decoders::TSource source(file.data() + at, count);
            decoders::TTarget target(plane, rowBytes);
            decoder.Decode(source, target, count, rowBytes);
            at += count;
            if (spread > 0) {
                for (size_t i = 0; i < W; ++i) {
                    if (sampleBytes == 1) {
                        plane[i] = uint8_t(std::min(255, plane[i] * 255 / ((1 << p.BitsPerSample) - 1)));
                    } else {
                        const uint32_t v = uint32_t(be16(plane + 2 * i)) * 65535 / ((1u << p.BitsPerSample) - 1);
                        plane[2 * i] = uint8_t(std::min<uint32_t>(v, 65535) >> 8);
                        plane[2 * i + 1] = uint8_t(std::min<uint32_t>(v, 65535));
                    }
                }
            }
        }
        const int32_t y = int32_t(p.BottomUp ? H - 1 - row : row);
        cm.ConvertRow(TSourceRows(rows, size_t(Z)), {ScanLine(y), stride}, uint32_t(W), 0xFF);
        ProgressRow(uint32_t(row));
    }
    ProgressEnd();
}
