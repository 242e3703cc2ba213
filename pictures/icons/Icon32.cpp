#include "pictures/icons/Icon32.h"

#include "platform/rtl/LittleEndian.h"
#include "platform/rtl/Streams.h"

#include <algorithm>

using rtl::le16;
using rtl::le32;

namespace {

// Directory header, one entry, the entry's bit count and data size and offset.
constexpr size_t DirectorySize = 6, EntrySize = 16, EntryBitCount = 6 + 6, EntryBytes = 6 + 8,
                 EntryOffset = 6 + 12;
constexpr uint32_t InfoHeaderSize = 40;
constexpr int32_t LargestSide = 256;

}  // namespace

bool DecodeIcon32(const uint8_t* data, size_t size, gfx::TBitmap& Bitmap)
{
    if (size < DirectorySize + EntrySize || le16(data + 4) == 0 || data[EntryBitCount] != 32)
        return false;
    // The image lies where its entry says (byte 22 only in a one-image file).
    const uint64_t at = le32(data + EntryOffset);
    if (at + InfoHeaderSize > size)
        return false;
    const uint8_t* header = data + at;
    if (le32(header) != InfoHeaderSize || le16(header + 14) != 32)
        return false;
    const int32_t width = int32_t(le32(header + 4));
    const int32_t height = int32_t(le32(header + 8)) / 2;  // colour rows, then as many mask rows
    if (width < 1 || width > LargestSide || height < 1 || height > LargestSide)
        return false;
    // The header's image size, or, when a writer left it (nearly) empty, what the entry holds
    // beyond header and mask.
    int64_t pixelBytes = le32(header + 20);
    if (pixelBytes < 100)
        pixelBytes = int64_t(le32(data + EntryBytes)) - 104;

    // Whole pixels only, while both the claimed count and the file last; the rest stays white.
    const uint64_t end = std::min<uint64_t>(size, at + InfoHeaderSize + uint64_t(std::max<int64_t>(pixelBytes, 0)));
    gfx::TBitmap decoded(width, height, gfx::pf32bit);
    uint64_t pos = at + InfoHeaderSize;
    for (int32_t y = height - 1; y >= 0 && pos + 4 <= end; --y) {
        uint8_t* row = decoded.ScanLine(y);
        for (int32_t x = 0; x < width && pos + 4 <= end; ++x, pos += 4) {
            row[4 * x] = data[pos];
            row[4 * x + 1] = data[pos + 1];
            row[4 * x + 2] = data[pos + 2];
            row[4 * x + 3] = 0;
        }
    }
    Bitmap.Assign(decoded);
    return true;
}

TIcon32::TIcon32(QWidget* Owner) : TCustomControl(Owner)
{
    bitmap_.SetPixelFormat(gfx::pf32bit);
    resize(32, 32);
}

TIcon32::~TIcon32() = default;

bool TIcon32::LoadFromFile(const std::string& FileName)
{
    rtl::TMemoryStream file;
    file.LoadFromFile(FileName);
    data_ = file.Bytes();
    if (!DecodeIcon32(data_.data(), data_.size(), bitmap_)) {
        data_.clear();
        return false;
    }
    iconWidth_ = bitmap_.Width();
    iconHeight_ = bitmap_.Height();
    // Only a control placed in a window is shown: one made without a parent would open a
    // window of its own.
    const bool placed = parentWidget() != nullptr;
    if (placed)
        hide();
    resize(iconWidth_, iconHeight_);
    if (placed)
        show();
    Invalidate();
    return true;
}

void TIcon32::SetBitmap(const gfx::TBitmap& Value)
{
    bitmap_.Assign(Value);
    bitmap_.SetPixelFormat(gfx::pf32bit);
    Invalidate();
}

void TIcon32::Paint()
{
    TCustomControl::Paint();
    Canvas().Draw(0, 0, bitmap_);
}
