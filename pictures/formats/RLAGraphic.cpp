#include "pictures/formats/RLAGraphic.h"

#include "pictures/decoders/GraphicCompression.h"
#include "pictures/formats/ReaderStreams.h"
#include "platform/rtl/AsciiCase.h"
#include "platform/rtl/BigEndian.h"
#include "platform/rtl/FloatFormat.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

std::unique_ptr<gfx::TGraphic> createRLA() { return std::make_unique<TRLAGraphic>(); }

constexpr const char* rlaWord = "RLA";

using rtl::be16;
using rtl::be32;

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

const gfx::TGraphicClassInfo TRLAGraphic::ClassInfo{"TRLAGraphic", createRLA};

bool TRLAGraphic::CanLoad(rtl::TStream& Stream) const
{
    if (Stream.Remaining() <= int64_t(rlaHeaderSize))
        return false;
    const std::vector<uint8_t> h = PeekBytes(Stream, rlaHeaderSize);
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
    const std::vector<uint8_t> file = ReadToEnd(Stream);
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
    const gfx::TPixelFormat format = SetTrueColorTarget(cm, uint8_t(Z));
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
