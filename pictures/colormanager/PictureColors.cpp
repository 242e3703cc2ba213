#include "pictures/colormanager/PictureColors.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr const char* msgColorConversion = "Color conversion failed. Could not find a proper method.";
constexpr const char* msgInvalidColorDepth = "Color depth is invalid. Bits per sample must be 1, 2, 4, 8 or 16.";
constexpr const char* msgInvalidSampleCount =
    "Sample count per pixel does not correspond to the given color scheme.";
constexpr const char* msgInvalidSubsampling = "Subsampling value is invalid. Allowed are 1, 2 and 4.";
constexpr const char* msgVerticalSubsampling =
    "Vertical subsampling value must be <= horizontal subsampling value.";
constexpr const char* msgIndexedNotSupported =
    "Conversion between indexed and non-indexed pixel formats is not supported.";

bool isPacked(uint8_t bits) { return bits == 1 || bits == 2 || bits == 4 || bits == 8; }
bool isWide(uint8_t bits) { return bits == 8 || bits == 16; }
bool isRgbTarget(TPixelScheme s) { return s == psRGB || s == psRGBA; }
bool isBgrTarget(TPixelScheme s) { return s == psBGR || s == psBGRA; }

// Round half to even, as the tables were computed.
int32_t roundEven(double v) { return int32_t(std::nearbyint(v)); }

}  // namespace

TColorManager::TColorManager()
{
    SetGamma(1.0f, 2.2f);
}

void TColorManager::setProperty(uint8_t& field, uint8_t v, bool valid, const char* message)
{
    if (field == v)
        return;
    if (!valid)
        throw EColorConversionError(message);
    field = v;
    changed_ = true;
}

void TColorManager::SetSourceBitsPerSample(uint8_t v)
{
    setProperty(sourceBPS_, v, v >= 1 && v <= 16, msgInvalidColorDepth);
}

void TColorManager::SetTargetBitsPerSample(uint8_t v)
{
    setProperty(targetBPS_, v, v >= 1 && v <= 16, msgInvalidColorDepth);
}

void TColorManager::SetSourceSamplesPerPixel(uint8_t v)
{
    setProperty(sourceSPP_, v, v >= 1 && v <= 4, msgInvalidSampleCount);
}

void TColorManager::SetTargetSamplesPerPixel(uint8_t v)
{
    setProperty(targetSPP_, v, v >= 1 && v <= 4, msgInvalidSampleCount);
}

void TColorManager::SetSourceColorScheme(TPixelScheme v)
{
    setProperty(reinterpret_cast<uint8_t&>(sourceScheme_), v, true, nullptr);
}

void TColorManager::SetTargetColorScheme(TPixelScheme v)
{
    setProperty(reinterpret_cast<uint8_t&>(targetScheme_), v, true, nullptr);
}

void TColorManager::SetGamma(float FileGamma, float DisplayGamma)
{
    fileGamma_ = FileGamma > 0 ? FileGamma : 1.0f;
    displayGamma_ = DisplayGamma > 0 ? DisplayGamma : 2.2f;
    // On the 0..255 scale for every depth: the palette builders look entries up on it.
    const float g = 1.0f / (fileGamma_ * displayGamma_);
    for (int i = 0; i < 256; ++i)
        gamma_[i] = uint8_t(std::clamp(roundEven(std::pow(float(i) / 255.0f, g) * 255.0f), 0, 255));
}

void TColorManager::SetYCbCrParameters(std::initializer_list<float> Coefficients, uint8_t HorizontalSubsampling,
                                       uint8_t VerticalSubsampling)
{
    std::copy_n(Coefficients.begin(), std::min<size_t>(Coefficients.size(), 3), coefficients_);
    auto valid = [](uint8_t f) { return f == 1 || f == 2 || f == 4; };
    if (!valid(HorizontalSubsampling) || !valid(VerticalSubsampling))
        throw EColorConversionError(msgInvalidSubsampling);
    if (VerticalSubsampling > HorizontalSubsampling)
        throw EColorConversionError(msgVerticalSubsampling);
    hSubsampling_ = HorizontalSubsampling;
    vSubsampling_ = VerticalSubsampling;
}

void TColorManager::buildChromaTables()
{
    const float r = coefficients_[0], g = coefficients_[1], b = coefficients_[2];
    crToRedF_ = 2 - 2 * r;
    crToGreenF_ = r * crToRedF_ / g;
    cbToBlueF_ = 2 - 2 * b;
    cbToGreenF_ = b * cbToBlueF_ / g;
    const int crOffset = sourceScheme_ == psPhotoYCC ? 137 : 128;
    const int cbOffset = sourceScheme_ == psPhotoYCC ? 156 : 128;
    CrToRed.assign(256, 0);
    CbToBlue.assign(256, 0);
    CrToGreen.assign(256, 0);
    CbToGreen.assign(256, 0);
    for (int i = 0; i < 256; ++i) {
        const double cr = i - crOffset, cb = i - cbOffset;
        CrToRed[i] = roundEven(cr * crToRedF_);
        CbToBlue[i] = roundEven(cb * cbToBlueF_);
        CrToGreen[i] = -roundEven(cr * crToGreenF_);
        CbToGreen[i] = -roundEven(cb * cbToGreenF_);
    }
}

// Depths a converter does not handle count as no converter, so that the row fails loudly
// instead of leaving the target as it was.
TColorManager::TRowConverter TColorManager::chooseConverter() const
{
    const uint8_t S = sourceBPS_, T = targetBPS_;
    const bool toRgb = isRgbTarget(targetScheme_), toBgr = isBgrTarget(targetScheme_);
    switch (sourceScheme_) {
    case psIndexed:
        if (S == 16 && T == 16)
            return &TColorManager::RowIndexed16To16;
        if (S == 16)
            return isPacked(T) ? &TColorManager::RowIndexed16ToPacked : nullptr;
        if (T == 16)
            return isPacked(S) ? &TColorManager::RowIndexedPackedTo16 : nullptr;
        return isPacked(S) && isPacked(T) ? &TColorManager::RowIndexed : nullptr;
    case psGray:
        if (S == 16 || T == 16)
            return isWide(S) && isWide(T) ? &TColorManager::RowGray : nullptr;
        return isPacked(S) && isPacked(T) ? &TColorManager::RowIndexed : nullptr;
    case psGrayAlpha:
        return isWide(S) && isWide(T) ? &TColorManager::RowGray : nullptr;
    default:
        break;
    }
    if (!toRgb && !toBgr)
        return nullptr;
    const bool wide = isWide(S) && isWide(T);
    switch (sourceScheme_) {
    case psRGB:
    case psRGBA:
        return !wide ? nullptr : toRgb ? &TColorManager::RowRgbToRgb : &TColorManager::RowRgbToBgr;
    case psBGR:
    case psBGRA:
        return !wide ? nullptr : toRgb ? &TColorManager::RowBgrToRgb : &TColorManager::RowBgrToBgr;
    case psCMYK:
        return !wide ? nullptr : toRgb ? &TColorManager::RowCmykToRgb : &TColorManager::RowCmykToBgr;
    case psLab:
        return !wide ? nullptr : toRgb ? &TColorManager::RowLabToRgb : &TColorManager::RowLabToBgr;
    case psYCbCr:
        return !wide ? nullptr : toRgb ? &TColorManager::RowYCbCrToRgb : &TColorManager::RowYCbCrToBgr;
    case psPhotoYCC:
        return !wide ? nullptr : toRgb ? &TColorManager::RowPhotoYCCToRgb : &TColorManager::RowPhotoYCCToBgr;
    default:
        return nullptr;
    }
}

void TColorManager::selectConverter()
{
    converter_ = nullptr;
    const bool sourceIndexed = sourceScheme_ == psIndexed || sourceScheme_ == psGray || sourceScheme_ == psGrayAlpha;
    const bool targetIndexed = targetScheme_ == psIndexed || targetScheme_ == psGray;
    if (sourceIndexed != targetIndexed)
        throw EColorConversionError(msgIndexedNotSupported);
    auto hasAlpha = [](TPixelScheme s) { return s == psGrayAlpha || s == psRGBA || s == psBGRA; };
    SourceOptions = hasAlpha(sourceScheme_) ? (SourceOptions | soHasAlpha) : (SourceOptions & ~soHasAlpha);
    TargetOptions = hasAlpha(targetScheme_) ? (TargetOptions | soHasAlpha) : (TargetOptions & ~soHasAlpha);
    if (sourceScheme_ == psYCbCr || sourceScheme_ == psPhotoYCC)
        buildChromaTables();
    converter_ = chooseConverter();
    changed_ = false;
}

void TColorManager::ConvertRow(TSourceRows Source, std::span<uint8_t> Target, uint32_t Count, uint8_t Mask)
{
    if (changed_)
        selectConverter();
    if (!converter_)
        throw EColorConversionError(msgColorConversion);
    (this->*converter_)(Source, Target, Count, Mask);
}

TPalette TColorManager::BuildColorPalette(TSourceRows Data, TPaletteDataFormat DataFormat, uint32_t ColorCount,
                                          bool BGROrder) const
{
    const bool wide = DataFormat >= pdInterleaved16;
    const bool planar = DataFormat == pdPlanar8 || DataFormat == pdPlanar8Padded || DataFormat == pdPlanar16 ||
                        DataFormat == pdPlanar16Padded;
    const bool padded = DataFormat == pdInterleaved8Padded || DataFormat == pdInterleaved16Padded;
    const bool gamma = TargetOptions & soApplyGamma;
    const bool swap = SourceOptions & soSwapBytes;
    auto value = [&](const uint8_t* p) -> uint8_t {
        uint8_t v = p[0];
        if (wide) {
            const uint16_t raw = swap ? uint16_t(p[0] << 8 | p[1]) : uint16_t(p[1] << 8 | p[0]);
            v = uint8_t(MulDiv16(raw, 255, 65535));
        }
        return gamma ? gamma_[v] : v;
    };

    TPalette palette;
    const uint32_t count = std::min<uint32_t>(ColorCount, TPalette::MaxEntries);
    std::vector<TPaletteEntry> entries(TPalette::MaxEntries);
    const size_t sampleBytes = wide ? 2 : 1;
    // Entries the data holds: planar formats per plane, interleaved ones per entry.
    size_t held = 0;
    if (DataFormat <= pdPlanar16Padded && !Data.empty()) {
        if (planar) {
            held = Data.size() >= 3 ? std::min({Data[0].size(), Data[1].size(), Data[2].size()}) / sampleBytes : 0;
        } else {
            const size_t entryBytes = sampleBytes * (padded ? 4 : 3);
            held = Data[0].size() / entryBytes;
        }
    }
    const size_t filled = std::min<size_t>(count, held);
    for (size_t i = 0; i < filled; ++i) {
        TPaletteEntry& e = entries[i];
        if (planar) {
            e.peRed = value(Data[0].data() + i * sampleBytes);
            e.peGreen = value(Data[1].data() + i * sampleBytes);
            e.peBlue = value(Data[2].data() + i * sampleBytes);
        } else {
            const uint8_t* p = Data[0].data() + i * sampleBytes * (padded ? 4 : 3);
            const uint8_t first = value(p), second = value(p + sampleBytes), third = value(p + 2 * sampleBytes);
            e = BGROrder ? TPaletteEntry{third, second, first, 0} : TPaletteEntry{first, second, third, 0};
        }
    }

    uint32_t entryCount = count;
    const uint32_t sourceMax = (1u << sourceBPS_) - 1, targetMax = (1u << targetBPS_) - 1;
    if (targetBPS_ <= 8 && sourceMax != targetMax) {
        // Index i of the target depth shows what index i x SourceMax / TargetMax of the source
        // depth showed; deeper sources are capped at the entries a palette holds.
        auto from = [&](uint32_t i) {
            return std::min<uint32_t>(MulDiv16(uint16_t(i), uint16_t(sourceMax), uint16_t(targetMax)), 255);
        };
        if (sourceMax < targetMax)
            for (uint32_t i = targetMax + 1; i-- > 0;)
                entries[i] = entries[from(i)];
        else
            for (uint32_t i = 0; i <= targetMax; ++i)
                entries[i] = entries[from(i)];
        entryCount = targetMax + 1;
    }
    entries.resize(entryCount);
    palette.Entries = std::move(entries);
    return palette;
}

TPalette TColorManager::BuildGrayPalette(bool MinimumIsWhite) const
{
    const int bits = std::min(8, targetBPS_ * targetSPP_);
    const int count = 1 << bits, top = count - 1, step = 255 / top;
    TPalette palette;
    palette.Entries.resize(size_t(count));
    const bool gamma = TargetOptions & soApplyGamma;
    for (int i = 0; i <= top; ++i) {
        const uint8_t level = gamma ? gamma_[i * step] : uint8_t(i * step);
        palette.Entries[size_t(MinimumIsWhite ? top - i : i)] = TPaletteEntry{level, level, level, 0};
    }
    return palette;
}

gfx::TPixelFormat TColorManager::GetPixelFormat(int Index) const
{
    const uint8_t spp = Index == 0 ? sourceSPP_ : targetSPP_;
    const uint8_t bps = Index == 0 ? sourceBPS_ : targetBPS_;
    switch (spp) {
    case 1:
        return bps == 1 ? gfx::pf1bit : bps <= 4 ? gfx::pf4bit : bps <= 13 ? gfx::pf8bit : gfx::pfCustom;
    case 3:
        return bps <= 5 ? gfx::pf15bit : gfx::pf24bit;
    case 4:
        return bps >= 8 ? gfx::pf32bit : gfx::pfCustom;
    default:
        return gfx::pfCustom;
    }
}
