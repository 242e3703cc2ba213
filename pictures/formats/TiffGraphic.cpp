#include "pictures/formats/TiffGraphic.h"

#include "pictures/decoders/GraphicCompression.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

const char* const tiffWord = "TIF/TIFF";

std::unique_ptr<gfx::TGraphic> createTiff() { return std::make_unique<TTIFFGraphic>(); }
std::unique_ptr<gfx::TGraphic> createEps() { return std::make_unique<TEPSGraphic>(); }

enum : uint16_t { tBYTE = 1, tASCII, tSHORT, tLONG, tRATIONAL, tSBYTE, tUNDEFINED, tSSHORT, tSLONG, tSRATIONAL, tFLOAT, tDOUBLE };

uint32_t typeSize(uint16_t type)
{
    static const uint8_t sizes[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
    return type < std::size(sizes) ? sizes[type] : 0;
}

uint16_t get16(const uint8_t* p, bool mm) { return mm ? uint16_t(p[0] << 8 | p[1]) : uint16_t(p[1] << 8 | p[0]); }
uint32_t get32(const uint8_t* p, bool mm)
{
    return mm ? uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]
              : uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

// Value i of a tag's raw bytes as a number.
double valueAt(uint16_t type, const uint8_t* p, size_t i, bool mm)
{
    switch (type) {
    case tBYTE: case tASCII: case tUNDEFINED: return p[i];
    case tSBYTE: return int8_t(p[i]);
    case tSHORT: return get16(p + 2 * i, mm);
    case tSSHORT: return int16_t(get16(p + 2 * i, mm));
    case tLONG: return get32(p + 4 * i, mm);
    case tSLONG: return int32_t(get32(p + 4 * i, mm));
    case tRATIONAL: case tSRATIONAL: {
        const uint32_t n = get32(p + 8 * i, mm), d = get32(p + 8 * i + 4, mm);
        if (d == 0)
            return 0;
        return type == tRATIONAL ? double(n) / d : double(int32_t(n)) / int32_t(d);
    }
    case tFLOAT: {
        const uint32_t v = get32(p + 4 * i, mm);
        float f;
        std::memcpy(&f, &v, 4);
        return f;
    }
    case tDOUBLE: {
        const uint64_t v = uint64_t(get32(p + 8 * i, mm)) << (mm ? 32 : 0) | uint64_t(get32(p + 8 * i + 4, mm)) << (mm ? 0 : 32);
        double d;
        std::memcpy(&d, &v, 8);
        return d;
    }
    default: return 0;
    }
}

TCompressionType compressionKind(uint32_t value)
{
    switch (value) {
    case 1: return ctNone;
    case 32773: return ctPackBits;
    case 5: return ctLZW;
    case 3: return ctCCITTGroup3;
    case 2: return ctModifiedHuffman;
    case 4: return ctCCITTGroup4;
    case 32771: return ctModifiedHuffmanWordAligned;
    case 8: case 32946: return ctDeflate;
    case 7: return ctJPEG;
    case 6: return ctOldJPEG;
    case 32809: return ctThunderScan;
    case 32766: return ctNeXT;
    case 32895: return ctIT8CTPadded;
    case 32896: return ctIT8LineWork;
    case 32897: return ctIT8MonochromePicture;
    case 32898: return ctIT8BinaryLineArt;
    case 32908: return ctPixarFilm;
    case 32909: return ctPixarLog;
    case 32947: return ctKodakDCS;
    case 34661: return ctJBIG;
    default: return ctUnknown;
    }
}

// Output bytes one input byte can give at most, for the decoders this reader runs.
uint64_t largestExpansion(TCompressionType kind)
{
    switch (kind) {
    case ctPackBits: return 128;
    case ctDeflate: return 1032;
    case ctCCITTGroup3: case ctModifiedHuffman: case ctModifiedHuffmanWordAligned: return 256;
    case ctThunderScan: return 64;
    case ctJPEG: return 1536;
    default: return 1;
    }
}

// Horizontal differencing undone on 16-bit samples in the file's byte order.
void applyPredictor16(std::span<uint8_t> row, size_t samples, size_t k, bool mm)
{
    samples = std::min(samples, row.size() / 2);
    for (size_t i = k; i < samples; ++i) {
        const uint16_t v = uint16_t(get16(&row[2 * i], mm) + get16(&row[2 * (i - k)], mm));
        row[2 * i + (mm ? 0 : 1)] = uint8_t(v >> 8);
        row[2 * i + (mm ? 1 : 0)] = uint8_t(v);
    }
}

struct TChunk {
    uint32_t plane, x, y, width, rows;
    uint64_t offset, packed;
};

}  // namespace

const gfx::TGraphicClassInfo TTIFFGraphic::ClassInfo{"TTIFFGraphic", createTiff};
const gfx::TGraphicClassInfo TEPSGraphic::ClassInfo{"TEPSGraphic", createEps};

bool TTIFFGraphic::CanLoad(rtl::TStream& Stream) const
{
    const int64_t start = Stream.Position();
    const int64_t left = Stream.Size() - start;
    if (left < 9)
        return false;
    uint8_t h[8];
    Stream.ReadBuffer(h, 8);
    Stream.SetPosition(start);
    const bool mm = h[0] == 'M' && h[1] == 'M';
    if (!mm && !(h[0] == 'I' && h[1] == 'I'))
        return false;
    return get16(h + 2, mm) == 42 && int64_t(get32(h + 4, mm)) < left;
}

bool TTIFFGraphic::FindTag(uint32_t Tag, size_t& Index) const
{
    const auto it = std::lower_bound(IFD.begin(), IFD.end(), Tag, [](const TIFDEntry& e, uint32_t t) { return e.Tag < t; });
    Index = size_t(it - IFD.begin());
    return it != IFD.end() && it->Tag == Tag;
}

uint32_t TTIFFGraphic::GetValue(uint32_t Tag, uint32_t Default) const
{
    uint32_t count = 0;
    return GetValue(Tag, count, Default);
}

uint32_t TTIFFGraphic::GetValue(uint32_t Tag, uint32_t& Count, uint32_t Default) const
{
    size_t i = 0;
    Count = 0;
    if (!FindTag(Tag, i))
        return Default;
    const TIFDEntry& e = IFD[i];
    Count = e.DataLength;
    if (e.DataLength != 1)
        return e.Offset;
    switch (e.DataType) {
    case tBYTE: return e.Offset & 0xFF;
    case tSHORT: case tSSHORT: return e.Offset & 0xFFFF;
    case tLONG: case tSLONG: return e.Offset;
    default: return Default;
    }
}

bool TTIFFGraphic::rawValues(rtl::TStream& Stream, const TIFDEntry& Entry, std::vector<uint8_t>& Bytes) const
{
    const uint64_t size = uint64_t(typeSize(Entry.DataType)) * Entry.DataLength;
    if (size == 0)
        return false;
    if (size <= 4) {
        Bytes.assign(Entry.Raw, Entry.Raw + size);
        return true;
    }
    const uint64_t at = uint64_t(BasePosition) + Entry.Offset;
    if (at + size > uint64_t(Stream.Size()))
        return false;
    Bytes.resize(size_t(size));
    Stream.SetPosition(int64_t(at));
    Stream.ReadBuffer(Bytes.data(), int64_t(size));
    return true;
}

void TTIFFGraphic::GetValueList(rtl::TStream& Stream, uint32_t Tag, TFloatArray& Values) const
{
    Values.clear();
    size_t i = 0;
    std::vector<uint8_t> bytes;
    if (!FindTag(Tag, i) || !rawValues(Stream, IFD[i], bytes))
        return;
    const bool mm = ImageProperties.Options & ioBigEndian;
    Values.resize(IFD[i].DataLength);
    for (size_t k = 0; k < Values.size(); ++k)
        Values[k] = float(valueAt(IFD[i].DataType, bytes.data(), k, mm));
}

void TTIFFGraphic::GetValueList(rtl::TStream& Stream, uint32_t Tag, TCardinalArray& Values) const
{
    Values.clear();
    size_t i = 0;
    std::vector<uint8_t> bytes;
    if (!FindTag(Tag, i) || !rawValues(Stream, IFD[i], bytes))
        return;
    const bool mm = ImageProperties.Options & ioBigEndian;
    const uint16_t type = IFD[i].DataType;
    Values.resize(IFD[i].DataLength);
    for (size_t k = 0; k < Values.size(); ++k) {
        if (type == tLONG || type == tSLONG) {
            Values[k] = get32(&bytes[4 * k], mm);
        } else {
            const double v = valueAt(type, bytes.data(), k, mm);
            Values[k] = v <= 0 ? 0 : v >= 4294967295.0 ? 0xFFFFFFFFu : uint32_t(v);
        }
    }
}

void TTIFFGraphic::GetValueList(rtl::TStream& Stream, uint32_t Tag, TByteArray& Values) const
{
    TCardinalArray all;
    GetValueList(Stream, Tag, all);
    Values.assign(all.size(), 0);
    std::transform(all.begin(), all.end(), Values.begin(), [](uint32_t v) { return uint8_t(v); });
}

float TTIFFGraphic::GetValue(rtl::TStream& Stream, uint32_t Tag, float Default) const
{
    TFloatArray values;
    GetValueList(Stream, Tag, values);
    return values.empty() ? Default : values[0];
}

bool TTIFFGraphic::ReadImageProperties(rtl::TStream& Stream, uint32_t ImageIndex)
{
    TFormatGraphic::ReadImageProperties(Stream, ImageIndex);
    IFD.clear();
    TImageProperties& P = ImageProperties;
    const int64_t base = Stream.Position();
    const uint64_t left = uint64_t(std::max<int64_t>(0, Stream.Size() - base));
    if (left < 8)
        return false;
    uint8_t h[8];
    Stream.ReadBuffer(h, 8);
    const bool mm = h[0] == 'M' && h[1] == 'M';
    if (!mm && !(h[0] == 'I' && h[1] == 'I'))
        return false;
    if (mm)
        P.Options |= ioBigEndian;
    P.Version = get16(h + 2, mm);
    P.FirstIFD = get32(h + 4, mm);
    if (P.Version != 42)
        return false;

    uint64_t offset = P.FirstIFD;
    uint8_t word[4];
    uint32_t count = 0;
    for (;;) {
        if (offset + 2 > left)
            return false;
        Stream.SetPosition(base + int64_t(offset));
        Stream.ReadBuffer(word, 2);
        count = get16(word, mm);
        if (ImageIndex == 0)
            break;
        if (offset + 2 + uint64_t(count) * 12 + 4 > left)
            return false;
        Stream.SetPosition(base + int64_t(offset + 2 + uint64_t(count) * 12));
        Stream.ReadBuffer(word, 4);
        offset = get32(word, mm);
        if (offset == 0)
            return false;
        --ImageIndex;
    }
    if (offset + 2 + uint64_t(count) * 12 > left)
        return false;
    std::vector<uint8_t> entries(size_t(count) * 12);
    Stream.ReadBuffer(entries.data(), int64_t(entries.size()));
    IFD.resize(count);
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* p = &entries[12 * i];
        TIFDEntry& e = IFD[i];
        e.Tag = get16(p, mm);
        e.DataType = get16(p + 2, mm);
        e.DataLength = get32(p + 4, mm);
        std::memcpy(e.Raw, p + 8, 4);
        const uint64_t size = uint64_t(typeSize(e.DataType)) * e.DataLength;
        if ((e.DataType == tSHORT || e.DataType == tSSHORT) && e.DataLength == 1)
            e.Offset = get16(p + 8, mm);
        else if (size >= 4 || !mm)
            e.Offset = get32(p + 8, mm);
        else
            e.Offset = get32(p + 8, false);
    }
    std::stable_sort(IFD.begin(), IFD.end(), [](const TIFDEntry& a, const TIFDEntry& b) { return a.Tag < b.Tag; });

    P.Width = GetValue(256, 0);
    P.Height = GetValue(257, 0);
    if (P.Width == 0 || P.Height == 0)
        return false;
    GetValueList(Stream, 278, P.RowsPerStrip);
    if (P.RowsPerStrip.empty() || P.RowsPerStrip[0] == 0xFFFFFFFF)
        P.RowsPerStrip.assign(1, P.Height);
    samplesPerPixel_ = GetValue(277, 1);
    TCardinalArray bits;
    GetValueList(Stream, 258, bits);
    bitsPerSample_ = bits.empty() ? 1 : bits[0];
    P.SamplesPerPixel = uint8_t(std::min<uint32_t>(samplesPerPixel_, 255));
    P.BitsPerSample = uint8_t(std::min<uint32_t>(bitsPerSample_, 255));
    P.TileWidth = GetValue(322, 0);
    P.TileLength = GetValue(323, 0);
    if (P.TileWidth > 0 && P.TileLength > 0)
        P.Options |= ioTiled;
    size_t at = 0;
    if (FindTag(338, at)) {
        TCardinalArray extra;
        GetValueList(Stream, 338, extra);
        P.HasAlpha = std::all_of(extra.begin(), extra.end(), [](uint32_t v) { return v <= 2; });
    }
    P.BitsPerPixel = uint8_t(std::min<uint32_t>(bitsPerSample_ * samplesPerPixel_, 255));
    compressionTag_ = GetValue(259, 1);
    P.Compression = compressionKind(compressionTag_);
    photometric_ = GetValue(262, 0);
    switch (photometric_) {
    case 0: P.ColorScheme = psGray; P.Options |= ioMinIsWhite; break;
    case 1: P.ColorScheme = psGray; break;
    case 2: P.ColorScheme = samplesPerPixel_ >= 4 ? psRGBA : psRGB; break;
    case 3: P.ColorScheme = psIndexed; break;
    case 5: P.ColorScheme = psCMYK; break;
    case 6: P.ColorScheme = psYCbCr; break;
    case 8: P.ColorScheme = psLab; break;
    default: P.ColorScheme = psUnknown; break;
    }
    // Grey with an alpha sample, as ImageMagick writes it.
    if (P.ColorScheme == psGray && samplesPerPixel_ == 2)
        P.ColorScheme = psGrayAlpha;
    if (P.ColorScheme == psYCbCr) {
        GetValueList(Stream, 530, P.YCbCrSubSampling);
        if (P.YCbCrSubSampling.size() < 2)
            P.YCbCrSubSampling = {2, 2};
        YCbCrPositioning = GetValue(531, 1);
        GetValueList(Stream, 529, YCbCrCoefficients);
        if (YCbCrCoefficients.size() < 3)
            YCbCrCoefficients = {0.299f, 0.587f, 0.114f};
    }
    P.JPEGColorMode = 0;
    P.JPEGTablesMode = 3;
    P.PlanarConfig = GetValue(284, 0);
    P.XResolution = GetValue(Stream, 282, 0.0f);
    P.YResolution = GetValue(Stream, 283, 0.0f);
    if (GetValue(296, 2) == 3) {
        P.XResolution *= 2.54f;
        P.YResolution *= 2.54f;
    }
    P.Predictor = GetValue(317, 0);
    if (GetValue(266, 1) == 2)
        P.Options |= ioLowBitFirst;
    P.BytesPerLine = uint32_t(std::min<uint64_t>((uint64_t(bitsPerSample_) * samplesPerPixel_ * P.Width + 7) / 8, UINT32_MAX));
    return true;
}

void TTIFFGraphic::LoadFromStream(rtl::TStream& Stream)
{
    BeginLoad(Stream, tiffWord);
    TImageProperties& P = ImageProperties;
    const bool mm = P.Options & ioBigEndian;
    const uint64_t base = BasePosition, streamSize = uint64_t(Stream.Size());
    const uint32_t W = P.Width, H = P.Height;
    auto invalidImage = [] { FormatErrorFmt(msgInvalidImage, {tiffWord}); };
    auto invalidColors = [] { FormatErrorFmt(msgInvalidColorFormat, {tiffWord}); };
    ProgressStart(stagePreparing);

    const uint32_t bps = bitsPerSample_, spp = samplesPerPixel_;
    if ((bps != 1 && bps != 2 && bps != 4 && bps != 8 && bps != 16) || spp < 1 || spp > 4)
        invalidColors();
    const bool tiled = P.Options & ioTiled;
    const bool planar = P.PlanarConfig == 2 && spp > 1;
    const TCompressionType kind = P.Compression;
    const bool isJpeg = kind == ctJPEG;

    // The colour manager's two sides.
    TColorManager& cm = ColorManager();
    TPixelScheme source = P.ColorScheme, target = source;
    uint8_t targetSamples = uint8_t(spp);
    switch (source) {
    case psIndexed:
        if (spp == 2)
            source = psGrayAlpha;
        else if (spp != 1)
            invalidColors();
        targetSamples = 1;
        break;
    case psGray:
        if (spp != 1)
            invalidColors();
        break;
    case psGrayAlpha: target = psGray, targetSamples = 1; break;
    case psRGB: target = psBGR; if (spp != 3) invalidColors(); break;
    case psRGBA: target = psBGRA; break;
    case psCMYK: target = psBGR, targetSamples = 3; if (spp != 4) invalidColors(); break;
    case psLab:
    case psYCbCr: target = psBGR; if (spp != 3) invalidColors(); break;
    default: invalidColors();
    }
    if (isJpeg && spp == 3)
        source = psBGR;
    const bool indexedTarget = target == psIndexed || target == psGray;
    if (source == psGrayAlpha && bps != 8 && bps != 16)
        invalidColors();
    // YCbCr without JPEG: the colour manager converts full-resolution chroma only.
    if (P.ColorScheme == psYCbCr && !isJpeg && (P.YCbCrSubSampling[0] != 1 || P.YCbCrSubSampling[1] != 1))
        invalidColors();
    if (planar && (isJpeg || source == psGrayAlpha))
        invalidColors();
    if (P.Predictor == 2 && kind != ctNone && bps < 8)
        invalidColors();
    if (!indexedTarget && bps < 8)
        invalidColors();

    cm.SourceOptions = mm ? soSwapBytes : 0;
    if (source == psLab)
        cm.SourceOptions |= soLabScaledLightness;
    cm.SetSourceBitsPerSample(uint8_t(bps));
    cm.SetTargetBitsPerSample(uint8_t(bps == 16 || !indexedTarget ? 8 : bps == 2 ? 4 : bps));
    cm.SetSourceColorScheme(source);
    cm.SetTargetColorScheme(target);
    cm.SetSourceSamplesPerPixel(uint8_t(spp));
    cm.SetTargetSamplesPerPixel(targetSamples);
    if (P.ColorScheme == psYCbCr && !isJpeg)
        cm.SetYCbCrParameters({YCbCrCoefficients[0], YCbCrCoefficients[1], YCbCrCoefficients[2]}, 1, 1);

    // The decoder.
    std::unique_ptr<decoders::TDecoder> decoder;
    decoders::TLZ77Decoder* deflate = nullptr;
    const uint32_t faxWidth = tiled ? P.TileWidth : W;  // bits are reversed here, not by the decoder
    switch (kind) {
    case ctNone: break;
    case ctPackBits: decoder = std::make_unique<decoders::TPackbitsRLEDecoder>(); break;
    case ctCCITTGroup3: decoder = std::make_unique<decoders::TCCITTFax3Decoder>(GetValue(292, 0), false, faxWidth, false); break;
    case ctModifiedHuffman:
    case ctModifiedHuffmanWordAligned:
        decoder = std::make_unique<decoders::TCCITTMHDecoder>(GetValue(292, 0), false, faxWidth, kind == ctModifiedHuffmanWordAligned);
        break;
    case ctDeflate: {
        auto d = std::make_unique<decoders::TLZ77Decoder>(1, true);
        deflate = d.get();
        decoder = std::move(d);
        break;
    }
    case ctJPEG:
        GetValueList(Stream, 347, P.JPEGTables);
        decoder = std::make_unique<decoders::TTIFFJPEGDecoder>(P);
        break;
    case ctThunderScan:
        // The decoder counts its rows in bytes of 4-bit pixels.
        if (bps != 4 || spp != 1)
            invalidColors();
        decoder = std::make_unique<decoders::TThunderDecoder>(((tiled ? P.TileWidth : W) * 4ull + 7) / 8);
        break;
    default: FormatErrorFmt(msgUnsupportedFeature, {msgCompressionScheme, tiffWord});
    }
    if ((kind == ctCCITTGroup3 || kind == ctModifiedHuffman || kind == ctModifiedHuffmanWordAligned) && (bps != 1 || spp != 1))
        invalidColors();

    // Where every strip or tile goes, and whether together they can pay for the picture.
    TCardinalArray offsets, counts;
    GetValueList(Stream, tiled ? 324 : 273, offsets);
    GetValueList(Stream, tiled ? 325 : 279, counts);
    if (offsets.empty() || W > uint32_t(gfx::TBitmap::MaxSide) || H > uint32_t(gfx::TBitmap::MaxSide))
        invalidImage();
    const uint32_t planes = planar ? spp : 1;
    const uint64_t pixelBits = uint64_t(bps) * (planar ? 1 : spp);
    const uint64_t planeLine = (pixelBits * W + 7) / 8;
    std::vector<TChunk> chunks;
    if (tiled) {
        if (P.TileWidth > uint32_t(gfx::TBitmap::MaxSide) || P.TileLength > uint32_t(gfx::TBitmap::MaxSide) ||
            (uint64_t(P.TileWidth) * pixelBits) % 8 != 0)
            invalidColors();
        const uint32_t across = (W + P.TileWidth - 1) / P.TileWidth, down = (H + P.TileLength - 1) / P.TileLength;
        for (uint32_t p = 0; p < planes; ++p)
            for (uint32_t t = 0; t < across * down; ++t)
                chunks.push_back({p, (t % across) * P.TileWidth, (t / across) * P.TileLength, P.TileWidth, P.TileLength, 0, 0});
    } else {
        for (uint32_t p = 0; p < planes; ++p)
            for (uint32_t y = 0, i = 0; y < H; ++i) {
                uint32_t rows = P.RowsPerStrip[std::min<size_t>(i, P.RowsPerStrip.size() - 1)];
                rows = std::min(rows == 0 ? H : rows, H - y);
                chunks.push_back({p, 0, y, W, rows, 0, 0});
                y += rows;
            }
    }
    if (chunks.size() > offsets.size())
        invalidImage();
    // Strips and tiles may all name the same bytes, so each one fitting its own bytes is not
    // enough: together they expand to no more than the file's bytes can.
    const uint64_t budget = (streamSize - std::min(base, streamSize)) * largestExpansion(kind);
    uint64_t covered = 0, largest = 0, largestPacked = 0, total = 0;
    for (size_t s = 0; s < chunks.size(); ++s) {
        TChunk& c = chunks[s];
        const uint64_t unpacked = uint64_t(c.rows) * ((pixelBits * c.width + 7) / 8);
        c.offset = base + offsets[s];
        if (kind == ctNone) {
            c.packed = unpacked;
        } else {
            if (s >= counts.size())
                invalidImage();
            c.packed = counts[s];
            if (unpacked > c.packed * largestExpansion(kind))
                invalidImage();
        }
        total += unpacked;
        if (c.offset + c.packed > streamSize || total > budget)
            invalidImage();
        covered += uint64_t(std::min(c.width, W - c.x)) * std::min(c.rows, H - c.y);
        largest = std::max(largest, unpacked);
        largestPacked = std::max(largestPacked, c.packed);
    }
    if (covered < uint64_t(W) * H * planes)
        invalidImage();

    const gfx::TPixelFormat format = source == psGrayAlpha ? gfx::pf8bit : cm.GetPixelFormat(1);
    if (format == gfx::pfCustom)
        invalidColors();
    SetPixelFormat(format);
    SetSize(int32_t(W), int32_t(H));
    ProgressRect = gfx::Rect(0, 0, int32_t(W), 1);

    if (target == psIndexed) {
        TCardinalArray map;
        GetValueList(Stream, 320, map);
        if (bps > 8 || map.size() != 3u << bps)
            FormatErrorFmt(msgInvalidPalette, {tiffWord});
        uint8_t* bytes = reinterpret_cast<uint8_t*>(PaletteBuffer);
        for (size_t i = 0; i < map.size(); ++i) {
            bytes[2 * i + (mm ? 0 : 1)] = uint8_t(map[i] >> 8);
            bytes[2 * i + (mm ? 1 : 0)] = uint8_t(map[i]);
        }
        const size_t third = map.size() / 3;
        const TRowSpan planesOfMap[3] = {{bytes, 2 * third}, {bytes + 2 * third, 2 * third}, {bytes + 4 * third, 2 * third}};
        SetPalette(cm.BuildColorPalette(planesOfMap, pdPlanar16, uint32_t(third), false).ToColors());
    } else if (target == psGray) {
        SetPalette(cm.BuildGrayPalette(P.Options & ioMinIsWhite).ToColors());
    }

    // Chunky strips convert straight from the strip; tiles and separate planes are put
    // together first.
    const bool direct = !tiled && !planar;
    std::vector<std::vector<uint8_t>> image(direct ? 0 : planes, std::vector<uint8_t>(size_t(planeLine * H)));
    std::vector<uint8_t> packed(kind == ctNone ? 0 : size_t(largestPacked)), unpacked(static_cast<size_t>(largest));
    if (decoder)
        decoder->DecodeInit();
    ProgressEnd();
    ProgressStart(stageTransferring);
    P.StripCount = uint32_t(chunks.size());
    for (size_t s = 0; s < chunks.size(); ++s) {
        const TChunk& c = chunks[s];
        const size_t line = size_t((pixelBits * c.width + 7) / 8);
        const size_t size = size_t(c.rows) * line;
        std::span<uint8_t> out(unpacked.data(), size);
        std::span<uint8_t> in = decoder ? std::span<uint8_t>(packed.data(), size_t(c.packed)) : out;
        Stream.SetPosition(int64_t(c.offset));
        Stream.ReadBuffer(in.data(), int64_t(in.size()));
        if (P.Options & ioLowBitFirst)
            for (uint8_t& b : in)
                b = decoders::ReversedBits(b);
        if (decoder) {
            std::fill(out.begin(), out.end(), 0);
            P.CurrentRow = c.y;
            P.CurrentStrip = uint32_t(s);
            decoders::TSource from(in.data(), in.size());
            decoders::TTarget to = out;
            decoder->Decode(from, to, in.size(), size);
            if (deflate && deflate->Failed())
                FormatErrorFmt(msgCompression, {tiffWord});
        }
        const size_t k = planar ? 1 : spp;
        for (uint32_t r = 0; r < c.rows; ++r) {
            std::span<uint8_t> row = out.subspan(r * line, line);
            if (P.Predictor == 2 && kind != ctNone) {
                if (bps == 16)
                    applyPredictor16(row, size_t(c.width) * k, k, mm);
                else if (k == 3)
                    ApplyPredictor3(row, int64_t(c.width) - 1);
                else if (k == 4)
                    ApplyPredictor4(row, int64_t(c.width) - 1);
                else if (k == 1)
                    ApplyPredictor1(row, int64_t(c.width) - 1);
                else
                    for (size_t i = k; i < size_t(c.width) * k && i < row.size(); ++i)
                        row[i] = uint8_t(row[i] + row[i - k]);
            }
            if (c.y + r >= H || c.x >= W)
                continue;
            if (direct) {
                cm.ConvertRow(TRowSpan(row), std::span<uint8_t>(ScanLine(int32_t(c.y + r)), size_t(BytesPerLine())), W, 255);
                ProgressRow(c.y + r);
                continue;
            }
            const size_t visible = size_t((pixelBits * std::min(c.width, W - c.x) + 7) / 8);
            std::memcpy(image[c.plane].data() + (c.y + r) * planeLine + size_t(pixelBits * c.x / 8), row.data(), visible);
        }
    }
    if (decoder)
        decoder->DecodeEnd();
    std::vector<TRowSpan> rows(planes);
    for (uint32_t y = 0; y < H && !direct; ++y) {
        for (uint32_t p = 0; p < planes; ++p)
            rows[p] = TRowSpan(image[p].data() + y * planeLine, size_t(planeLine));
        cm.ConvertRow(TSourceRows(rows), std::span<uint8_t>(ScanLine(int32_t(y)), size_t(BytesPerLine())), W, 255);
        ProgressRow(y);
    }
    ProgressEnd();
}

void TTIFFGraphic::SaveToStream(rtl::TStream&) {}

bool TEPSGraphic::CanLoad(rtl::TStream& Stream) const
{
    const int64_t start = Stream.Position();
    if (Stream.Size() - start < 31)
        return false;
    uint8_t h[30];
    Stream.ReadBuffer(h, 30);
    Stream.SetPosition(start);
    return get32(h, false) == 0xC6D3D0C5 && int64_t(get32(h + 20, false)) > start + 30 && int32_t(get32(h + 24, false)) > 0;
}

void TEPSGraphic::LoadFromStream(rtl::TStream& Stream)
{
    const int64_t start = Stream.Position();
    uint8_t h[30];
    if (Stream.Size() - start < 30)
        FormatErrorFmt(msgInvalidImage, {"EPS"});
    Stream.ReadBuffer(h, 30);
    const uint32_t preview = get32(h + 20, false);
    if (get32(h, false) != 0xC6D3D0C5 || preview < 30 || int64_t(preview) >= Stream.Size() - start)
        FormatErrorFmt(msgInvalidImage, {"EPS"});
    Stream.Seek(int64_t(preview) - 30, rtl::soCurrent);
    TTIFFGraphic::LoadFromStream(Stream);
}
