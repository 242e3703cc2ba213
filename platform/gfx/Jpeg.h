// `TJPEGImage`: JPEG pictures through libjpeg. Loading keeps the compressed bytes and decodes
// them (at the chosen `Scale`) into a 24-bit bitmap; saving writes the original bytes when the
// picture was not changed, else compresses the bitmap at `CompressionQuality` (1..100).
// Damaged or truncated data raises EJPEG "JPEG error #n" (libjpeg's error code) instead of
// ending the process, and the picture keeps its previous content. Pictures larger than the
// bitmap size limit, or than their data could back, are refused before their pixels exist. A JPEG object is used by one thread at a time.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Graphic.h"

namespace gfx {

class EJPEG : public EInvalidGraphic {
public:
    using EInvalidGraphic::EInvalidGraphic;
};

enum TJPEGScale { jsFullSize, jsHalf, jsQuarter, jsEighth };
enum TJPEGPerformance { jpBestQuality, jpBestSpeed };
enum TJPEGPixelFormat { jf24Bit, jf8Bit };

class TJPEGImage : public TGraphic {
public:
    static const TGraphicClassInfo ClassInfo;
    TJPEGImage();
    ~TJPEGImage() override;

    TGraphicClass ClassType() const override { return &ClassInfo; }
    bool Empty() const override { return bitmap_->Empty(); }
    int32_t Width() const override { return bitmap_->Width(); }
    int32_t Height() const override { return bitmap_->Height(); }

    int CompressionQuality() const { return quality_; }
    void SetCompressionQuality(int q);  // clamped to 1..100; takes effect on the next compression
    TJPEGScale Scale() const { return scale_; }
    void SetScale(TJPEGScale s);  // decodes again from the kept bytes
    TJPEGPerformance Performance() const { return performance_; }
    void SetPerformance(TJPEGPerformance p);
    TJPEGPixelFormat PixelFormat() const { return pixelFormat_; }
    void SetPixelFormat(TJPEGPixelFormat f) { pixelFormat_ = f; }
    bool Grayscale() const { return grayscale_; }
    void SetGrayscale(bool on);
    bool ProgressiveEncoding() const { return progressive_; }
    void SetProgressiveEncoding(bool on) { progressive_ = on; }

    // Compresses the bitmap now (done by SaveToStream when needed).
    void Compress();
    // The decoded picture.
    const TBitmap& Bitmap() const { return *bitmap_; }

    void LoadFromStream(rtl::TStream& stream) override;
    void SaveToStream(rtl::TStream& stream) override;
    void Assign(const TGraphic& source) override;
    void AssignTo(TBitmap& dest) const override;
    void Draw(TCanvas& canvas, const TRect& r) const override;

private:
    void decode();
    std::vector<uint8_t> data_;  // compressed bytes matching bitmap_, or empty when changed
    std::unique_ptr<TBitmap> bitmap_;  // never null
    int quality_ = 90;
    TJPEGScale scale_ = jsFullSize;
    TJPEGPerformance performance_ = jpBestQuality;
    TJPEGPixelFormat pixelFormat_ = jf24Bit;
    bool grayscale_ = false;
    bool progressive_ = false;
};

}  // namespace gfx
