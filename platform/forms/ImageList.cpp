#include "platform/forms/ImageList.h"

#include <algorithm>
#include <unordered_set>

#include "platform/gfx/Bitmap.h"
#include "platform/gfx/Canvas.h"
#include "platform/gfx/Raster.h"

namespace forms {

using gfx::TColor;

namespace {

constexpr QRgb rgbOnly = 0x00FFFFFFu;

// A colour that no visible pixel of `image` has: the first see-through pixel's own colour
// when it is free (so the picture looks as it was drawn), then fuchsia, then the first free
// value. A picture of n pixels uses at most n colours, so the search ends early.
QRgb freeKey(const QImage& image, const std::vector<bool>& clear)
{
    std::unordered_set<QRgb> used;
    QRgb first = 0xFF00FFu;
    bool haveFirst = false;
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = line[x] & rgbOnly;
            if (!clear[size_t(y) * size_t(image.width()) + size_t(x)])
                used.insert(c);
            else if (!haveFirst)
                first = c, haveFirst = true;
        }
    }
    if (!used.count(first))
        return first;
    if (!used.count(0xFF00FFu))
        return 0xFF00FFu;
    QRgb c = 0;
    while (used.count(c))
        ++c;
    return c;
}

}  // namespace

TImageList::TImageList(int32_t width, int32_t height, QObject* owner)
    : QObject(owner), width_(std::max(width, 1)), height_(std::max(height, 1))
{
}

TImageList::~TImageList() = default;

void TImageList::SetSize(int32_t width, int32_t height)
{
    width = std::max(width, 1);
    height = std::max(height, 1);
    if (width == width_ && height == height_)
        return;
    width_ = width;
    height_ = height;
    images_.clear();
    Change();
}

std::vector<TImageList::Entry> TImageList::cut(const gfx::TBitmap& image, const gfx::TBitmap* mask,
                                               TColor maskColor) const
{
    if (image.Width() < width_ || image.Height() < height_)
        throw gfx::EInvalidGraphicOperation("Invalid image size");
    const QImage pixels = image.ToImage();
    const QImage maskPixels = mask ? mask->ToImage() : QImage();
    const QRgb maskKey = gfx::raster::toQRgb(gfx::ColorToRGB(maskColor)) & rgbOnly;
    std::vector<Entry> out;
    for (int32_t left = 0; left + width_ <= image.Width(); left += width_) {
        Entry e;
        e.pixels = pixels.copy(left, 0, width_, height_).convertToFormat(QImage::Format_RGB32);
        if (mask) {
            // White in the mask (anything but black) is see-through; past the mask's edge is
            // not.
            std::vector<bool> clear(size_t(width_) * size_t(height_), false);
            for (int32_t y = 0; y < height_ && y < maskPixels.height(); ++y)
                for (int32_t x = 0; x < width_ && left + x < maskPixels.width(); ++x)
                    clear[size_t(y) * size_t(width_) + size_t(x)] =
                        (maskPixels.pixel(left + x, y) & rgbOnly) != 0;
            const QRgb key = freeKey(e.pixels, clear);
            bool any = false;
            for (int32_t y = 0; y < height_; ++y) {
                QRgb* line = reinterpret_cast<QRgb*>(e.pixels.scanLine(y));
                for (int32_t x = 0; x < width_; ++x)
                    if (clear[size_t(y) * size_t(width_) + size_t(x)])
                        line[x] = 0xFF000000u | key, any = true;
            }
            if (any)
                e.key = gfx::raster::fromQRgb(key);
        } else if (maskColor != gfx::clNone) {
            e.key = gfx::raster::fromQRgb(maskKey);
        }
        out.push_back(std::move(e));
    }
    return out;
}

int TImageList::insert(std::vector<Entry> entries)
{
    const int first = Count();
    for (Entry& e : entries)
        images_.push_back(std::move(e));
    Change();
    return first;
}

int TImageList::Add(const gfx::TBitmap& image, const gfx::TBitmap* mask)
{
    return insert(cut(image, mask, gfx::clNone));
}

int TImageList::AddMasked(const gfx::TBitmap& image, TColor maskColor)
{
    return insert(cut(image, nullptr, maskColor));
}

void TImageList::checkIndex(int index) const
{
    if (index < 0 || index >= Count())
        throw gfx::EInvalidGraphicOperation("Invalid ImageList Index");
}

void TImageList::Replace(int index, const gfx::TBitmap& image, const gfx::TBitmap* mask)
{
    checkIndex(index);
    images_[size_t(index)] = std::move(cut(image, mask, gfx::clNone).front());
    Change();
}

void TImageList::ReplaceMasked(int index, const gfx::TBitmap& image, TColor maskColor)
{
    checkIndex(index);
    images_[size_t(index)] = std::move(cut(image, nullptr, maskColor).front());
    Change();
}

void TImageList::Delete(int index)
{
    checkIndex(index);
    images_.erase(images_.begin() + index);
    Change();
}

void TImageList::Clear()
{
    if (images_.empty())
        return;
    images_.clear();
    Change();
}

void TImageList::Draw(gfx::TCanvas& canvas, int32_t x, int32_t y, int index) const
{
    if (index < 0 || index >= Count())
        return;
    const Entry& e = images_[size_t(index)];
    canvas.DrawImage(e.pixels, gfx::Rect(0, 0, width_, height_),
                     gfx::Rect(x, y, x + width_, y + height_), e.key);
}

void TImageList::Watch(QObject* watcher, std::function<void()> onChange)
{
    Unwatch(watcher);
    if (watcher && onChange)
        watchers_.push_back({watcher, std::move(onChange)});
}

void TImageList::Unwatch(QObject* watcher)
{
    std::erase_if(watchers_, [&](const Watcher& w) { return w.object.isNull() || w.object == watcher; });
}

void TImageList::Change()
{
    if (OnChange)
        OnChange(this);
    // A watcher may stop watching (or go) while it hears of the change.
    const std::vector<Watcher> now = watchers_;
    for (const Watcher& w : now)
        if (!w.object.isNull() &&
            std::any_of(watchers_.begin(), watchers_.end(), [&](const Watcher& x) { return x.object == w.object; }))
            w.onChange();
}

}  // namespace forms
