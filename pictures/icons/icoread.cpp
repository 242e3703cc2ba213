#include "pictures/icons/icoread.h"

#include "pictures/icons/PeResources.h"
#include "pictures/icons/icoutil.h"
#include "platform/gfx/DibHeader.h"
#include "platform/rtl/LittleEndian.h"

#include <QTreeWidget>

#include <cstring>
#include <functional>
#include <vector>

using gfx::TBitmap;
using rtl::le16;
using rtl::le32;

namespace {

constexpr int64_t DirectorySize = 6, EntrySize = 16;
constexpr int32_t LargestSide = 256;

struct Decoded {
    std::unique_ptr<TBitmap> Bitmap;
    int Colors = -1;
};

gfx::TPixelFormat FormatOfBits(int bits)
{
    switch (bits) {
    case 1: return gfx::pf1bit;
    case 4: return gfx::pf4bit;
    case 8: return gfx::pf8bit;
    case 16: return gfx::pf15bit;  // plain 16-bit rows are 5-5-5
    case 24: return gfx::pf24bit;
    case 32: return gfx::pf32bit;
    default: return gfx::pfDevice;
    }
}

// A bitmap of w x h in `format` whose rows are the stored rows at `rows`, bottom row first.
std::unique_ptr<TBitmap> FromRows(const uint8_t* rows, int32_t w, int32_t h, gfx::TPixelFormat format,
                                  const std::vector<gfx::TColor>& palette)
{
    auto bitmap = std::make_unique<TBitmap>(w, h, format);
    bitmap->SetPalette(palette);
    const int64_t rowBytes = BytesPerScanline(w, TBitmap::BitsPerPixel(format), 32);
    for (int32_t y = 0; y < h; ++y)
        std::memcpy(bitmap->ScanLine(h - 1 - y), rows + y * rowBytes, size_t(rowBytes));
    return bitmap;
}

// The image in `data`, composed at the entry's size; an empty bitmap when the data is not an
// image this reader takes.
Decoded DecodeImage(std::vector<uint8_t> data, int32_t entryWidth, int32_t entryHeight)
{
    Decoded result;
    result.Bitmap = std::make_unique<TBitmap>(0, 0, gfx::pf24bit);
    rtl::TMemoryStream stream(std::move(data));
    gfx::TDibHeader header;
    std::vector<gfx::TColor> table;
    try {
        header = gfx::ReadDibHeader(stream);
        table = gfx::ReadDibColorTable(stream, header, uint32_t(GetDInColors(header.BitCount)));
    } catch (const gfx::EBmpHeader&) {
        return result;
    }
    const gfx::TPixelFormat format = FormatOfBits(header.BitCount);
    const int32_t w = header.Width, h = header.Height / 2;
    if (format == gfx::pfDevice || header.Compression != gfx::BI_RGB || header.TopDown || h < 1 ||
        w > LargestSide || h > LargestSide)
        return result;
    const int64_t colorBytes = BytesPerScanline(w, header.BitCount, 32) * h;
    const int64_t maskBytes = BytesPerScanline(w, 1, 32) * h;
    if (stream.Remaining() < colorBytes + maskBytes)
        return result;
    result.Colors = GetDInColors(header.BitCount);

    const uint8_t* rows = stream.Memory() + stream.Position();
    const auto color = StretchBitmap(*FromRows(rows, w, h, format, table), entryWidth, entryHeight, false);
    const auto mask = StretchBitmap(*FromRows(rows + colorBytes, w, h, gfx::pf1bit, {gfx::clBlack, gfx::clWhite}),
                                    entryWidth, entryHeight, true);
    // A new bitmap is white: that is what shows where the mask keeps the background.
    result.Bitmap->SetSize(entryWidth, entryHeight);
    if (!result.Bitmap->Empty()) {
        gfx::TCanvas& canvas = result.Bitmap->Canvas();
        canvas.SetCopyMode(gfx::cmSrcAnd);
        canvas.Draw(0, 0, *mask);
        canvas.SetCopyMode(gfx::cmSrcInvert);
        canvas.Draw(0, 0, *color);
        canvas.SetCopyMode(gfx::cmSrcCopy);
    }
    return result;
}

int CountItems(QTreeWidgetItem* item)
{
    int n = 1;
    for (int i = 0; i < item->childCount(); ++i)
        n += CountItems(item->child(i));
    return n;
}

QTreeWidgetItem* AddItem(QTreeWidgetItem* item, const std::string& text, int image, int selected)
{
    item->setText(0, QString::fromStdString(text));
    item->setData(0, TInternalIcon::ImageIndexRole, image);
    item->setData(0, TInternalIcon::SelectedIndexRole, selected);
    return item;
}

}  // namespace

TInternalIcon::TInternalIcon()
{
    colors_.fill(-1);
}

TInternalIcon::~TInternalIcon()
{
    Clear();
}

void TInternalIcon::Clear()
{
    for (auto& image : images_)
        image.reset();
    colors_.fill(-1);
    imageCount_ = 0;
    decoded_ = 0;
    fromFile_ = false;
}

bool TInternalIcon::ListIconGroups(const std::string& FileName, QTreeWidget& TreeView)
{
    std::optional<TIconGroups> groups;
    try {
        rtl::TFileStream file(FileName, rtl::fmOpenRead);
        groups = ReadIconGroups(file);
    } catch (const rtl::EStreamError&) {
        return false;
    }
    if (!groups)
        return false;
    if (groups->HasGroupType) {
        auto* top = AddItem(new QTreeWidgetItem(&TreeView), ResourceTypeName(RT_GROUP_ICON), 0, 1);
        for (const std::string& name : groups->Names)
            AddItem(new QTreeWidgetItem(top), name, 2, 2);
    }
    int items = 0;
    for (int i = 0; i < TreeView.topLevelItemCount(); ++i)
        items += CountItems(TreeView.topLevelItem(i));
    return items > 1;
}

void TInternalIcon::LoadFromStream(rtl::TStream& Stream)
{
    const int64_t start = Stream.Position();
    uint8_t header[DirectorySize];
    Stream.ReadBuffer(header, DirectorySize);
    Clear();
    std::memcpy(header_, header, sizeof header);
    start_ = start;
    imageCount_ = le16(header + 4);

    const int64_t entryBytes = int64_t(imageCount_) * EntrySize;
    if (Stream.Remaining() < entryBytes)
        throw rtl::EReadError("Stream read error");
    std::vector<uint8_t> entries(static_cast<size_t>(entryBytes));
    Stream.ReadBuffer(entries.data(), entryBytes);

    const int64_t streamSize = Stream.Size();
    for (int i = 0; i < imageCount_ && decoded_ < MaxImages; ++i) {
        const uint8_t* entry = &entries[size_t(i * EntrySize)];
        const int64_t size = le32(entry + 8), offset = le32(entry + 12);
        Decoded image;
        if (start + offset + size <= streamSize) {
            std::vector<uint8_t> data(static_cast<size_t>(size));
            Stream.SetPosition(start + offset);
            Stream.ReadBuffer(data.data(), size);
            image = DecodeImage(std::move(data), entry[0], entry[1]);
        } else {
            image.Bitmap = std::make_unique<TBitmap>(0, 0, gfx::pf24bit);
        }
        images_[size_t(decoded_)] = std::move(image.Bitmap);
        colors_[size_t(decoded_)] = image.Colors;
        ++decoded_;
    }
}

bool TInternalIcon::LoadFromFile(const std::string& FileName)
{
    rtl::TFileStream file(FileName, rtl::fmOpenRead);
    LoadFromStream(file);
    fromFile_ = true;
    return true;
}

TBitmap* TInternalIcon::GetImage(int Index, int& Colors) const
{
    if (Index < 0 || Index >= decoded_) {
        Colors = -1;
        return nullptr;
    }
    Colors = colors_[size_t(Index)];
    return images_[size_t(Index)].get();
}
