// `TColorManager`: turns rows of samples as a picture file stores them (colour scheme, bits
// per sample, samples per pixel, byte order, Lab encoding) into rows of a bitmap (normally
// 8-bit blue-green-red, or 1- to 8-bit indices). Every format reader owns one: it describes
// both sides, asks for the bitmap's pixel format and palette, then hands over one row after
// the other. The manager picks one row converter per combination of schemes and depths and
// keeps the tables the converters share (gamma and the YCbCr/PhotoYCC chroma tables).
//
// Rows carry their lengths: a converter converts the pixels that fit in both the source rows
// and the target row and never reads or writes past either. Only depths of 1, 2, 4, 8 and 16
// bits are converted; a combination no converter handles raises EColorConversionError from
// `ConvertRow` rather than leaving a black picture. One thread at a time; no allocation
// while converting.
#pragma once

#include "pictures/reduce/ColorLookup.h"
#include "platform/gfx/Bitmap.h"

#include <cstdint>
#include <initializer_list>
#include <span>
#include <stdexcept>
#include <vector>

class EColorConversionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum TPixelScheme : uint8_t {
    psUnknown,
    psIndexed,
    psGray,
    psGrayAlpha,
    psRGB,
    psRGBA,
    psBGR,
    psBGRA,
    psCMY,
    psCMYK,
    psLab,
    psYCbCr,
    psPhotoYCC,
};

// Members of a `TSampleOptions` set.
enum TSampleOption : uint8_t {
    soHasAlpha = 1,            // set and cleared by the converter selection from the schemes
    soApplyGamma = 2,          // target: colours and palette entries through the gamma table
    soSwapBytes = 4,           // source: 16-bit samples stored high byte first
    soLabScaledLightness = 8,  // source: L* stored 0..255
    soLabOffsetChroma = 16,    // source: a* and b* stored with 128 added
};
using TSampleOptions = uint8_t;

enum TPaletteDataFormat : uint8_t {
    pdInterleaved8,
    pdInterleaved8Padded,
    pdPlanar8,
    pdPlanar8Padded,
    pdInterleaved16,
    pdInterleaved16Padded,
    pdPlanar16,
    pdPlanar16Padded,
};

using TRowSpan = std::span<const uint8_t>;
using TSourceRows = std::span<const TRowSpan>;

// Signed integer to 0..255.
inline uint8_t ClampIntToByte(int32_t v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); }
// A x B div C on 16-bit values through a 32-bit product, truncating (0 for a zero C).
inline uint16_t MulDiv16(uint16_t a, uint16_t b, uint16_t c)
{
    return c == 0 ? 0 : uint16_t(uint32_t(a) * b / c);
}

class TColorManager {
public:
    TColorManager();
    TColorManager(const TColorManager&) = delete;
    TColorManager& operator=(const TColorManager&) = delete;

    // Bits per sample 1..16 and samples per pixel 1..4; a value outside raises and keeps
    // the old one. A new value marks the manager changed.
    uint8_t SourceBitsPerSample() const { return sourceBPS_; }
    uint8_t TargetBitsPerSample() const { return targetBPS_; }
    uint8_t SourceSamplesPerPixel() const { return sourceSPP_; }
    uint8_t TargetSamplesPerPixel() const { return targetSPP_; }
    TPixelScheme SourceColorScheme() const { return sourceScheme_; }
    TPixelScheme TargetColorScheme() const { return targetScheme_; }
    void SetSourceBitsPerSample(uint8_t v);
    void SetTargetBitsPerSample(uint8_t v);
    void SetSourceSamplesPerPixel(uint8_t v);
    void SetTargetSamplesPerPixel(uint8_t v);
    void SetSourceColorScheme(TPixelScheme v);
    void SetTargetColorScheme(TPixelScheme v);
    bool Changed() const { return changed_; }

    TSampleOptions SourceOptions = 0;
    TSampleOptions TargetOptions = 0;

    float FileGamma() const { return fileGamma_; }
    float DisplayGamma() const { return displayGamma_; }
    const uint8_t* GammaTable() const { return gamma_; }
    const float* YCbCrCoefficients() const { return coefficients_; }
    uint8_t HorizontalSubsampling() const { return hSubsampling_; }
    uint8_t VerticalSubsampling() const { return vSubsampling_; }

    // Source: one row of interleaved samples, or one row a channel. Target: the bitmap row.
    // Count pixels; Mask selects them, bit 7 for the first of every eight (255: all).
    void ConvertRow(TSourceRows Source, std::span<uint8_t> Target, uint32_t Count, uint8_t Mask);
    void ConvertRow(TRowSpan Source, std::span<uint8_t> Target, uint32_t Count, uint8_t Mask)
    {
        ConvertRow(TSourceRows(&Source, 1), Target, Count, Mask);
    }

    // Values not above 0 become 1.0 and 2.2; the table is always on the 0..255 scale.
    void SetGamma(float FileGamma, float DisplayGamma);
    // The first one to three coefficients replace the luma weights; factors 1, 2 or 4, the
    // vertical one not above the horizontal one.
    void SetYCbCrParameters(std::initializer_list<float> Coefficients, uint8_t HorizontalSubsampling,
                            uint8_t VerticalSubsampling);

    // Data: one row (interleaved) or three (planar red, green, blue); entries the data does
    // not hold stay black. At most 256 entries, re-spread to the target depth at 8 bits or less.
    TPalette BuildColorPalette(TSourceRows Data, TPaletteDataFormat DataFormat, uint32_t ColorCount,
                               bool BGROrder) const;
    TPalette BuildGrayPalette(bool MinimumIsWhite) const;
    // 0: the source side, otherwise the target side. pfCustom where no bitmap format fits.
    gfx::TPixelFormat GetPixelFormat(int Index) const;

    // The converters, as the selection picks them. Each one converts only the depths it
    // handles and leaves the target untouched for any other.
    using TRowConverter = void (TColorManager::*)(TSourceRows, std::span<uint8_t>, uint32_t, uint8_t);
    void RowRgbToBgr(TSourceRows Source, std::span<uint8_t> Target, uint32_t Count, uint8_t Mask);
    void RowRgbToRgb(TSourceRows Source, std::span<uint8_t> Target, uint32_t Count, uint8_t Mask);
    void RowBgrToBgr(TSourceRows Source, std::span<uint8_t> Target, uint32_t Count, uint8_t Mask);
    void RowBgrToRgb(TSourceRows Source, std::span<uint8_t> Target, uint32_t Count, uint8_t Mask);
    void RowCmykToBgr(TSourceRows Source, std::span<uint8_t> Target, uint32_t Count, uint8_t Mask);
    void RowCmykToRgb(TSourceRows Source, std::span<uint8_t> Target, uint32_t Count, uint8_t Mask);
    void RowLabToBgr(TSourceRows Source, std::span<uint8_t> Target, uint32_t Count, uint8_t Mask);
    void RowLabToRgb(TSourceRows Source, std::span<uint8_t> Target, uint32_t Count, uint8_t Mask);
    void RowYCbCrToBgr(TSourceRows Source, std::span<uint8_t> Target, uint32_t Count, uint8_t Mask);
    void RowYCbCrToRgb(TSourceRows Source, std::span<uint8_t> Target, uint32_t Count, uint8_t Mask);
    void RowPhotoYCCToBgr(TSourceRows Source, std::span<uint8_t> Target, uint32_t Count, uint8_t Mask);
    void RowPhotoYCCToRgb(TSourceRows Source, std::span<uint8_t> Target, uint32_t Count, uint8_t Mask);
    void RowGray(TSourceRows Source, std::span<uint8_t> Target, uint32_t Count, uint8_t Mask);
    void RowIndexed(TSourceRows Source, std::span<uint8_t> Target, uint32_t Count, uint8_t Mask);
    void RowIndexed16To16(TSourceRows Source, std::span<uint8_t> Target, uint32_t Count, uint8_t Mask);
    void RowIndexed16ToPacked(TSourceRows Source, std::span<uint8_t> Target, uint32_t Count, uint8_t Mask);
    void RowIndexedPackedTo16(TSourceRows Source, std::span<uint8_t> Target, uint32_t Count, uint8_t Mask);
    TRowConverter RowConverter() const { return converter_; }

private:
    void setProperty(uint8_t& field, uint8_t v, bool valid, const char* message);
    void selectConverter();
    TRowConverter chooseConverter() const;
    void buildChromaTables();
    void rgbRow(TSourceRows Source, std::span<uint8_t> Target, uint32_t Count, uint8_t Mask, bool sourceBgr,
                bool targetBgr);
    void cmykRow(TSourceRows Source, std::span<uint8_t> Target, uint32_t Count, uint8_t Mask, bool targetBgr);
    void labRow(TSourceRows Source, std::span<uint8_t> Target, uint32_t Count, uint8_t Mask, bool targetBgr);
    void yccRow(TSourceRows Source, std::span<uint8_t> Target, uint32_t Count, uint8_t Mask, bool targetBgr);

    bool changed_ = true;
    uint8_t sourceBPS_ = 8, targetBPS_ = 8, sourceSPP_ = 3, targetSPP_ = 3;
    float fileGamma_ = 1.0f, displayGamma_ = 2.2f;
    uint8_t gamma_[256] = {};
    float coefficients_[3] = {0.299f, 0.587f, 0.114f};
    uint8_t hSubsampling_ = 1, vSubsampling_ = 1;
    // Chroma factors of the current tables (red from Cr, green from Cr and Cb, blue from Cb).
    float crToRedF_ = 0, crToGreenF_ = 0, cbToBlueF_ = 0, cbToGreenF_ = 0;
    std::vector<int32_t> CrToRed, CbToBlue, CrToGreen, CbToGreen;
    TPixelScheme sourceScheme_ = psRGB, targetScheme_ = psBGR;
    TRowConverter converter_ = nullptr;
};
