// `TImageList`: a list of small pictures of one fixed size (toolbar glyphs, font kind icons,
// photo thumbnails), each kept with what of it is transparent, drawn by index onto a canvas.
//
// Adding follows the platform's image lists: a bitmap narrower or lower than the list's size
// is refused ("Invalid image size"); a wider one is cut into as many whole images as fit side
// by side (a glyph strip), and rows below the list's height are left out. A picture added
// with a mask (white = transparent) or a mask colour (`AddMasked`) draws without those
// pixels; one added without either draws whole. Indices out of range raise "Invalid
// ImageList Index", except in `Draw`, which then draws nothing.
//
// Every change (add, replace, delete, clear, a new size) fires `OnChange` and tells each
// watcher (`Watch`), so any number of controls may show one list; a control that shows it
// also connects to QObject's `destroyed` to let go of it. The owner (a QObject parent) frees
// it.
// UI thread only.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include <QImage>
#include <QObject>
#include <QPointer>

#include "platform/gfx/Colors.h"

namespace gfx {
class TBitmap;
class TCanvas;
}  // namespace gfx

namespace forms {

class TImageList : public QObject {
public:
    explicit TImageList(int32_t width = 16, int32_t height = 16, QObject* owner = nullptr);
    ~TImageList() override;

    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    // A new size empties the list (its pictures no longer fit). Sides below 1 count as 1.
    void SetSize(int32_t width, int32_t height);
    int Count() const { return int(images_.size()); }

    // Each returns the index of the (first) image added.
    int Add(const gfx::TBitmap& image, const gfx::TBitmap* mask = nullptr);
    int AddMasked(const gfx::TBitmap& image, gfx::TColor maskColor);
    void Replace(int index, const gfx::TBitmap& image, const gfx::TBitmap* mask = nullptr);
    void ReplaceMasked(int index, const gfx::TBitmap& image, gfx::TColor maskColor);
    void Delete(int index);
    void Clear();

    // Image `index` with its top-left at (x, y), leaving out its transparent pixels.
    void Draw(gfx::TCanvas& canvas, int32_t x, int32_t y, int index) const;

    std::function<void(TImageList* sender)> OnChange;
    // Calls `onChange` after every change for as long as `watcher` lives, or until Unwatch.
    void Watch(QObject* watcher, std::function<void()> onChange);
    void Unwatch(QObject* watcher);

protected:
    virtual void Change();

private:
    // One picture, its see-through pixels set to `key` (clNone when it has none), a colour
    // that none of its visible pixels has.
    struct Entry {
        QImage pixels;
        gfx::TColor key = gfx::clNone;
    };
    std::vector<Entry> cut(const gfx::TBitmap& image, const gfx::TBitmap* mask,
                           gfx::TColor maskColor) const;
    void checkIndex(int index) const;
    int insert(std::vector<Entry> entries);

    struct Watcher {
        QPointer<QObject> object;
        std::function<void()> onChange;
    };
    std::vector<Watcher> watchers_;
    int32_t width_;
    int32_t height_;
    std::vector<Entry> images_;
};

}  // namespace forms
