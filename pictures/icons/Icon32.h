// `TIcon32`: a small control that shows an icon whose first image has 32 bits per pixel. The
// decoding itself (`DecodeIcon32`) is a plain bytes-to-bitmap routine; the control keeps the
// file's bytes and the decoded bitmap and paints the bitmap at its top-left corner.
//
// What it reads: the first directory entry must name 32 bits per pixel, and the data at that
// entry's offset must start with a 40-byte bitmap header of 32 bits per pixel and sides of 1
// to 256 (the stored height counts colour and mask rows, so the image is half of it). Pixels
// are blue, green, red and alpha, the bottom row first; alpha is not used. Anything else
// (fewer bits, a PNG image in the entry, a cut file) answers false, so that the caller can
// try the general icon reader. UI thread (it is a control).
#pragma once

#include "platform/forms/Control.h"
#include "platform/gfx/Bitmap.h"

#include <cstdint>
#include <string>
#include <vector>

// Decodes the first image of the icon file in data into Bitmap (made Width x Height, 32 bits
// per pixel); false, with Bitmap untouched, when the icon is not one this decoder reads.
bool DecodeIcon32(const uint8_t* data, size_t size, gfx::TBitmap& Bitmap);

class TIcon32 : public forms::TCustomControl {
public:
    explicit TIcon32(QWidget* Owner = nullptr);
    ~TIcon32() override;

    // Reads the whole file and decodes it; false (no exception) when it is not a 32-bit icon
    // this control reads. A file that cannot be opened raises EFOpenError.
    bool LoadFromFile(const std::string& FileName);

    gfx::TBitmap& Bitmap() { return bitmap_; }
    // Takes a copy of Value, made 32 bits per pixel.
    void SetBitmap(const gfx::TBitmap& Value);
    // The decoded icon's size; 32 x 32 until an icon is loaded.
    int32_t IconWidth() const { return iconWidth_; }
    int32_t IconHeight() const { return iconHeight_; }
    // The file's bytes as last loaded (none after a failed load).
    const std::vector<uint8_t>& Data() const { return data_; }

protected:
    void Paint() override;

private:
    std::vector<uint8_t> data_;
    gfx::TBitmap bitmap_;
    int32_t iconWidth_ = 32;
    int32_t iconHeight_ = 32;
};
