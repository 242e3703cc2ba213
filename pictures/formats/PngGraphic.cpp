#include "pictures/formats/PngGraphic.h"

#include "pictures/decoders/GraphicCompression.h"
#include "pictures/png/pngrows.h"
#include "platform/rtl/BigEndian.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <cstdlib>

namespace {

const char* const pngWord = "PNG";
const uint8_t pngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
// Deflate's best ratio is a little over a thousand to one.
constexpr uint64_t deflateRatio = 1032;

std::unique_ptr<gfx::TGraphic> createPng() { return std::make_unique<TPNGGraphic>(); }

using rtl::be32;

uint64_t left(rtl::TStream& Stream) { return uint64_t(Stream.Remaining()); }

[[noreturn]] void compressionError() { FormatErrorFmt(msgCompression, {pngWord}); }

struct TPass {
    uint32_t row, column, rowStep, columnStep;
    uint8_t mask;
};
const TPass adam7[7] = {{0, 0, 8, 8, 0x80}, {0, 4, 8, 8, 0x08}, {4, 0, 8, 4, 0x88}, {0, 2, 4, 4, 0x22},
                        {2, 0, 4, 2, 0xAA}, {0, 1, 2, 2, 0x55}, {1, 0, 2, 1, 0xFF}};

struct THeader {
    uint32_t width = 0, height = 0;
    uint8_t depth = 0, colorType = 0, compression = 0, filter = 0, interlace = 0;
};

THeader parseHeader(const std::vector<uint8_t>& d)
{
    THeader h;
    h.width = be32(d.data());
    h.height = be32(d.data() + 4);
    h.depth = d[8], h.colorType = d[9], h.compression = d[10], h.filter = d[11], h.interlace = d[12];
    return h;
}

uint8_t sampleToByte(const uint8_t* p, uint8_t depth)
{
    return depth == 16 ? p[0] : uint8_t(std::min(255u, (uint32_t(p[0]) << 8 | p[1]) * 255u / ((1u << depth) - 1)));
}

}  // namespace

const gfx::TGraphicClassInfo TPNGGraphic::ClassInfo{"TPNGGraphic", createPng};

TPNGGraphic::TPNGGraphic() = default;
TPNGGraphic::~TPNGGraphic() = default;

bool TPNGGraphic::CanLoad(rtl::TStream& Stream) const
{
    const int64_t start = Stream.Position();
    if (Stream.Size() - start < 9)
        return false;
    uint8_t d[8];
    Stream.ReadBuffer(d, 8);
    Stream.SetPosition(start);
    return std::memcmp(d, pngSignature, 8) == 0;
}

bool TPNGGraphic::IsChunk(const char* Type, const char* Name)
{
    for (int i = 0; i < 4; ++i)
        if ((Type[i] | 0x20) != (Name[i] | 0x20))
            return false;
    return true;
}

uint8_t TPNGGraphic::PaethPredictor(uint8_t Left, uint8_t Above, uint8_t UpperLeft)
{
    return png::rows::Paeth(Left, Above, UpperLeft);
}

bool TPNGGraphic::ApplyFilter(uint8_t Filter, std::span<uint8_t> Row, std::span<const uint8_t> Previous, size_t BPP)
{
    if (Filter > 4)
        return false;
    png::rows::Unfilter(Filter, Row.data(), Previous.data(), std::min(Row.size(), Previous.size()), int(BPP));
    return true;
}

bool TPNGGraphic::ReadChunkHeader(rtl::TStream& Stream)
{
    if (left(Stream) < 8)
        return false;
    uint8_t d[8];
    Stream.ReadBuffer(d, 8);
    chunk_.Length = be32(d);
    std::memcpy(chunk_.Type, d + 4, 4);
    chunk_.Type[4] = 0;
    return true;
}

void TPNGGraphic::ReadDataAndCheckCRC(rtl::TStream& Stream)
{
    if (uint64_t(chunk_.Length) + 4 > left(Stream))
        FormatErrorFmt(msgStreamReadError, {pngWord});
    chunk_.Data.resize(chunk_.Length);
    Stream.ReadBuffer(chunk_.Data.data(), chunk_.Length);
    uint8_t c[4];
    Stream.ReadBuffer(c, 4);
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(chunk_.Type), 4);
    crc = crc32(crc, chunk_.Data.data(), uInt(chunk_.Data.size()));
    if (uint32_t(crc) != be32(c))
        FormatErrorFmt(msgInvalidCRC, {pngWord});
}

bool TPNGGraphic::ReadImageProperties(rtl::TStream& Stream, uint32_t ImageIndex)
{
    TFormatGraphic::ReadImageProperties(Stream, ImageIndex);
    if (!CanLoad(Stream))
        return false;
    Stream.Seek(8, rtl::soCurrent);
    if (!ReadChunkHeader(Stream) || !IsChunk(chunk_.Type, "IHDR") || chunk_.Length != 13)
        return false;
    ReadDataAndCheckCRC(Stream);
    const THeader h = parseHeader(chunk_.Data);
    TImageProperties& P = ImageProperties;
    P.Options = ioBigEndian;
    P.Width = h.width;
    P.Height = h.height;
    P.BitsPerSample = h.depth;
    switch (h.colorType) {
    case 0: P.ColorScheme = psGray, P.SamplesPerPixel = 1; break;
    case 2: P.ColorScheme = psRGB, P.SamplesPerPixel = 3; break;
    case 3: P.ColorScheme = psIndexed, P.SamplesPerPixel = 1; break;
    case 4: P.ColorScheme = psGrayAlpha, P.SamplesPerPixel = 2; break;
    case 6: P.ColorScheme = psRGBA, P.SamplesPerPixel = 4; break;
    default: P.ColorScheme = psUnknown; break;
    }
    P.BitsPerPixel = uint8_t(std::min(255, P.BitsPerSample * P.SamplesPerPixel));
    P.Compression = h.compression == 0 ? ctDeflate : ctUnknown;
    P.FilterMode = h.filter;
    P.Interlaced = h.interlace != 0;
    P.HasAlpha = P.ColorScheme == psGrayAlpha || P.ColorScheme == psRGBA;
    while (ReadChunkHeader(Stream) && !IsChunk(chunk_.Type, "IEND")) {
        if (IsChunk(chunk_.Type, "gAMA") && chunk_.Length == 4 && left(Stream) >= 8) {
            uint8_t g[4];
            Stream.ReadBuffer(g, 4);
            P.FileGamma = float(be32(g)) / 100000.0f;
            break;
        }
        if (uint64_t(chunk_.Length) + 4 > left(Stream))
            break;
        Stream.Seek(int64_t(chunk_.Length) + 4, rtl::soCurrent);
    }
    // Only the two interlace methods and the one filter method exist.
    return P.Width > 0 && P.Height > 0 && h.interlace <= 1 && h.filter == 0;
}

size_t TPNGGraphic::setupColors(uint8_t ColorType, uint8_t Depth)
{
    TColorManager& CM = ColorManager();
    auto valid = [Depth](std::initializer_list<int> depths) {
        return std::find(depths.begin(), depths.end(), Depth) != depths.end();
    };
    const bool known = ColorType == 0   ? valid({1, 2, 4, 8, 16})
                       : ColorType == 3 ? valid({1, 2, 4, 8})
                                        : (ColorType == 2 || ColorType == 4 || ColorType == 6) && valid({8, 16});
    if (!known)
        FormatErrorFmt(msgInvalidColorFormat, {pngWord});
    CM.SourceOptions = Depth == 16 ? soSwapBytes : 0;
    CM.SetSourceBitsPerSample(Depth);
    size_t bpp = 0;
    switch (ColorType) {
    case 0:
        CM.SetSourceColorScheme(psGray), CM.SetSourceSamplesPerPixel(1);
        CM.SetTargetColorScheme(psGray), CM.SetTargetSamplesPerPixel(1);
        CM.SetTargetBitsPerSample(Depth == 2 ? 4 : Depth == 16 ? 8 : Depth);
        bpp = (Depth + 7) / 8;
        break;
    case 2:
        CM.SetSourceColorScheme(psRGB), CM.SetSourceSamplesPerPixel(3);
        CM.SetTargetColorScheme(psBGR), CM.SetTargetSamplesPerPixel(3), CM.SetTargetBitsPerSample(8);
        bpp = 3 * Depth / 8;
        break;
    case 3:
        CM.SetSourceColorScheme(psIndexed), CM.SetSourceSamplesPerPixel(1);
        CM.SetTargetColorScheme(psIndexed), CM.SetTargetSamplesPerPixel(1);
        CM.SetTargetBitsPerSample(Depth == 2 ? 4 : Depth);
        bpp = 1;
        break;
    case 4:
        CM.SetSourceColorScheme(psGrayAlpha), CM.SetSourceSamplesPerPixel(1);
        CM.SetTargetColorScheme(psIndexed), CM.SetTargetSamplesPerPixel(1), CM.SetTargetBitsPerSample(8);
        bpp = 2 * Depth / 8;
        break;
    case 6:
        CM.SetSourceColorScheme(psRGBA), CM.SetSourceSamplesPerPixel(4);
        CM.SetTargetColorScheme(psBGRA), CM.SetTargetSamplesPerPixel(4), CM.SetTargetBitsPerSample(8);
        bpp = 4 * Depth / 8;
        break;
    default: break;
    }
    SetPixelFormat(ColorType == 2 ? gfx::pf24bit : ColorType == 6 ? gfx::pf32bit
                   : ColorType == 4 ? gfx::pf8bit : CM.GetPixelFormat(1));
    return bpp;
}

void TPNGGraphic::fillRow(rtl::TStream& Stream, std::span<uint8_t> Row)
{
    decoders::TTarget out = Row;
    while (!out.empty()) {
        if (input_.empty()) {
            // The image data goes on in the next chunk, which must be image data too.
            if (!ReadChunkHeader(Stream) || !IsChunk(chunk_.Type, "IDAT"))
                compressionError();
            ReadDataAndCheckCRC(Stream);
            input_ = chunk_.Data;
            continue;
        }
        const size_t before = out.size() + input_.size();
        decoders::TSource in = input_;
        decoder_->Decode(in, out, in.size(), out.size());
        input_ = in;
        if (decoder_->Failed())
            compressionError();
        if (decoder_->Status() == Z_STREAM_END) {
            if (!out.empty())
                compressionError();
            if (!input_.empty())
                FormatErrorFmt(msgExtraCompressedData, {pngWord});
        } else if (out.size() + input_.size() == before) {
            compressionError();
        }
    }
}

void TPNGGraphic::readImageData(rtl::TStream& Stream, size_t BPP)
{
    const TImageProperties& P = ImageProperties;
    const uint32_t bits = P.BitsPerPixel;
    input_ = chunk_.Data;
    auto rowBytes = [bits](uint32_t pixels) { return (uint64_t(pixels) * bits + 7) / 8; };
    std::vector<uint8_t> current(size_t(rowBytes(P.Width)) + 1), previous(current.size());
    auto convert = [&](uint32_t y, size_t bytes, uint8_t mask) {
        const std::span<uint8_t> row = std::span<uint8_t>(current).subspan(1, bytes);
        if (!ApplyFilter(current[0], row, std::span<const uint8_t>(previous).subspan(1, bytes), BPP))
            compressionError();
        ColorManager().ConvertRow(TRowSpan(row), std::span<uint8_t>(ScanLine(int32_t(y)), size_t(BytesPerLine())),
                                  P.Width, mask);
        std::swap(current, previous);
    };
    ProgressStart(stageTransferring);
    if (!P.Interlaced) {
        const size_t bytes = size_t(rowBytes(P.Width));
        for (uint32_t y = 0; y < P.Height; ++y) {
            fillRow(Stream, std::span<uint8_t>(current).first(bytes + 1));
            convert(y, bytes, 0xFF);
            ProgressRow(y);
        }
    } else {
        for (const TPass& pass : adam7) {
            const uint32_t columns = P.Width > pass.column ? (P.Width - pass.column + pass.columnStep - 1) / pass.columnStep : 0;
            const uint32_t rows = P.Height > pass.row ? (P.Height - pass.row + pass.rowStep - 1) / pass.rowStep : 0;
            // A pass without pixels has no rows, not even filter bytes.
            if (columns == 0 || rows == 0)
                continue;
            const size_t bytes = size_t(rowBytes(columns));
            // Each pass filters against a zero row first.
            std::fill(previous.begin(), previous.end(), 0);
            for (uint32_t r = 0; r < rows; ++r) {
                fillRow(Stream, std::span<uint8_t>(current).first(bytes + 1));
                convert(pass.row + r * pass.rowStep, bytes, pass.mask);
            }
        }
    }
    ProgressEnd();
}

void TPNGGraphic::LoadFromStream(rtl::TStream& Stream)
{
    BeginLoad(Stream, pngWord);
    ProgressStart(stagePreparing);
    const TImageProperties& P = ImageProperties;
    transparency_.fill(255);
    transparentSample_.fill(-1);
    background_ = 0;
    if (P.Compression != ctDeflate)
        FormatErrorFmt(msgUnsupportedFeature, {msgCompressionScheme, pngWord});

    // What the image data can hold: every row, filter byte included, for the data present.
    const int64_t start = Stream.Position();
    Stream.Seek(8 + 25, rtl::soCurrent);
    uint64_t packed = 0;
    while (ReadChunkHeader(Stream) && !IsChunk(chunk_.Type, "IEND") && uint64_t(chunk_.Length) + 4 <= left(Stream)) {
        if (IsChunk(chunk_.Type, "IDAT"))
            packed += chunk_.Length;
        Stream.Seek(int64_t(chunk_.Length) + 4, rtl::soCurrent);
    }
    const uint64_t unpacked = ((uint64_t(P.Width) * P.BitsPerPixel + 7) / 8 + 1) * P.Height;
    Stream.SetPosition(start + 8);
    ReadChunkHeader(Stream);
    ReadDataAndCheckCRC(Stream);
    colorType_ = parseHeader(chunk_.Data).colorType;
    const size_t bpp = setupColors(colorType_, P.BitsPerSample);
    if (unpacked > packed * deflateRatio)
        compressionError();
    SetSize(int32_t(std::min<uint32_t>(P.Width, INT32_MAX)), int32_t(std::min<uint32_t>(P.Height, INT32_MAX)));
    if (colorType_ == 0 || colorType_ == 4)
        SetPalette(ColorManager().BuildGrayPalette(false).ToColors());

    decoder_ = std::make_unique<decoders::TLZ77Decoder>(1, false);
    decoder_->DecodeInit();
    bool imageRead = false;
    for (;;) {
        if (!ReadChunkHeader(Stream))
            FormatErrorFmt(msgStreamReadError, {pngWord});
        if (IsChunk(chunk_.Type, "IEND"))
            break;
        ReadDataAndCheckCRC(Stream);
        const std::vector<uint8_t>& d = chunk_.Data;
        if (IsChunk(chunk_.Type, "IDAT")) {
            if (imageRead)
                continue;  // data after the last row
            readImageData(Stream, bpp);
            imageRead = true;
        } else if (IsChunk(chunk_.Type, "PLTE")) {
            if (d.size() % 3 != 0 || d.size() > 768)
                FormatErrorFmt(msgInvalidPalette, {pngWord});
            if (colorType_ == 3) {
                const TRowSpan rows[1] = {TRowSpan(d)};
                SetPalette(ColorManager().BuildColorPalette(rows, pdInterleaved8, uint32_t(d.size() / 3), false).ToColors());
            }
        } else if (IsChunk(chunk_.Type, "gAMA")) {
            if (d.size() == 4) {
                ColorManager().SetGamma(float(be32(d.data())) / 100000.0f, 2.2f);
                ColorManager().TargetOptions |= soApplyGamma;
            }
        } else if (IsChunk(chunk_.Type, "bKGD")) {
            if (colorType_ == 3 && d.size() >= 1)
                background_ = d[0];
            else if ((colorType_ == 0 || colorType_ == 4) && d.size() >= 2) {
                const uint8_t v = sampleToByte(d.data(), P.BitsPerSample);
                background_ = gfx::RGB(v, v, v);
            } else if ((colorType_ == 2 || colorType_ == 6) && d.size() >= 6) {
                background_ = gfx::RGB(sampleToByte(d.data(), P.BitsPerSample), sampleToByte(d.data() + 2, P.BitsPerSample),
                                       sampleToByte(d.data() + 4, P.BitsPerSample));
            }
        } else if (IsChunk(chunk_.Type, "tRNS")) {
            // At most one entry a palette colour; grey and colour pictures name one sample value.
            if (colorType_ == 3)
                std::copy_n(d.begin(), std::min<size_t>(d.size(), 256), transparency_.begin());
            else if ((colorType_ == 0 && d.size() >= 2) || (colorType_ == 2 && d.size() >= 6))
                for (size_t i = 0; i < (colorType_ == 0 ? 1u : 3u); ++i)
                    transparentSample_[i] = uint16_t(d[2 * i] << 8 | d[2 * i + 1]);
        } else if ((chunk_.Type[0] & 0x20) == 0) {
            FormatError(msgUnknownCriticalChunk);
        }
    }
    decoder_->DecodeEnd();
    decoder_.reset();
    if (!imageRead)
        compressionError();
    ProgressEnd();
}
