// A named collection of pictures bound to one display control (`TDXImageList`). While the
// control is initialised every picture is cut into surfaces on the control's display object
// and divided into equal patterns (frames), which can be drawn, stretched or drawn with a wave
// distortion onto any surface of that object. Surfaces are rebuilt on every restore of the
// control and freed when it is finalised.
//
// Item names are kept in a 256-bucket hash; the hash is kept up but nothing looks names up.
//
// UI thread only.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/gfx/Colors.h"
#include "platform/gfx/Picture.h"
#include "visual/DIB.h"
#include "visual/DXClass.h"
#include "visual/DXDraw.h"

namespace visual {

class EPictureCollectionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// (Length x 16 + first byte + next-to-last byte) and 255 over the lower-cased name's bytes;
// a one-byte name counts only its length.
int32_t HashName(const std::string& name);

class THashCollection;

class THashCollectionItem {
public:
    explicit THashCollectionItem(THashCollection& collection);
    virtual ~THashCollectionItem();
    THashCollectionItem(const THashCollectionItem&) = delete;
    THashCollectionItem& operator=(const THashCollectionItem&) = delete;

    virtual void Assign(const THashCollectionItem& source);
    const std::string& Name() const { return name_; }
    void SetName(const std::string& value);
    THashCollection& Collection() const { return collection_; }

    int32_t Bucket = -1;
    int32_t CachedIndex = 0;
    THashCollectionItem* PrevInBucket = nullptr;
    THashCollectionItem* NextInBucket = nullptr;

private:
    void LinkIntoBucket();
    void UnlinkFromBucket();
    THashCollection& collection_;
    std::string name_;
};

// Owns its items; an item joins the collection when made and leaves it when deleted.
class THashCollection {
public:
    THashCollection() = default;
    virtual ~THashCollection();
    THashCollection(const THashCollection&) = delete;
    THashCollection& operator=(const THashCollection&) = delete;

    int32_t Count() const { return int32_t(items_.size()); }
    THashCollectionItem* Item(int32_t index) const { return items_.at(size_t(index)); }
    void Delete(int32_t index) { delete Item(index); }
    void Clear();

    std::array<THashCollectionItem*, 256> Buckets{};

private:
    friend class THashCollectionItem;
    std::vector<THashCollectionItem*> items_;
};

class TPictureCollection;

struct TPictureCollectionItemPattern {
    gfx::TRect Rect;
    TDirectDrawSurface* Surface = nullptr;
};

class TPictureCollectionItem : public THashCollectionItem {
public:
    explicit TPictureCollectionItem(TPictureCollection& collection);
    ~TPictureCollectionItem() override;

    void Assign(const THashCollectionItem& source) override;
    void Initialize();
    void Finalize();
    // Cuts the picture into surfaces and patterns on the collection's display object.
    void Restore();

    TPictureCollection& PictureCollection() const;
    int32_t Width() const;
    int32_t Height() const;
    int32_t PatternCount() const { return int32_t(PatternList.size()); }
    // (0, 0, 0, 0) and none for an index out of range.
    gfx::TRect PatternRect(int32_t index) const;
    TDirectDrawSurface* PatternSurface(int32_t index) const;

    // Nothing for a bad index or before initialisation.
    void Draw(TDirectDrawSurface& dest, int32_t x, int32_t y, int32_t patternIndex);
    void StretchDraw(TDirectDrawSurface& dest, const gfx::TRect& destRect, int32_t patternIndex);
    void DrawWaveDistort(TDirectDrawSurface& dest, int32_t x, int32_t y, int32_t width,
                         int32_t height, int32_t patternIndex, int32_t amplitude,
                         int32_t period, int32_t phase);

    gfx::TColor TransparentColor() const { return transparentColor_; }
    void SetTransparentColor(gfx::TColor value);

    gfx::TPicture Picture;
    bool Initialized = false;
    int32_t PatternHeight = 0, PatternWidth = 0;
    std::vector<TPictureCollectionItemPattern> PatternList;
    int32_t SkipHeight = 0, SkipWidth = 0;
    std::vector<std::unique_ptr<TDirectDrawSurface>> SurfaceList;
    bool SystemMemory = false;
    bool Transparent = true;

private:
    TDirectDrawSurface* MakeSurface(const gfx::TRect& rect);
    bool Valid(int32_t index) const { return Initialized && index >= 0 && index < PatternCount(); }
    gfx::TColor transparentColor_ = gfx::clBlack;
};

class TCustomDXImageList;

class TPictureCollection : public THashCollection {
public:
    explicit TPictureCollection(TCustomDXImageList* owner = nullptr) : Owner(owner) {}
    ~TPictureCollection() override;

    TPictureCollectionItem* Add();
    TPictureCollectionItem* GetItem(int32_t index) const;
    // The bound control is set and initialised.
    bool Initialized() const;
    // EPictureCollectionError when the control is not initialised.
    void Initialize(TCustomDXDraw* dxDraw);
    void Finalize();
    void Restore();

    TCustomDXDraw* DXDraw = nullptr;
    TCustomDXImageList* Owner;
    TRGBQuads ColorTable{};
};

class TCustomDXImageList {
public:
    TCustomDXImageList();
    virtual ~TCustomDXImageList();
    TCustomDXImageList(const TCustomDXImageList&) = delete;
    TCustomDXImageList& operator=(const TCustomDXImageList&) = delete;

    TCustomDXDraw* DXDraw() const { return link_.Get(); }
    // An initialised control at once initialises and restores the items.
    void SetDXDraw(TCustomDXDraw* value) { link_.Set(value); }
    TPictureCollection& Items() { return *items_; }

private:
    static void DXDrawNotifyEvent(void* data, TCustomDXDraw& sender, TDXDrawNotifyKind kind);
    std::unique_ptr<TPictureCollection> items_;
    TDXDrawLink link_{&DXDrawNotifyEvent, this};  // goes before the items
};

class TDXImageList : public TCustomDXImageList {
public:
    using TCustomDXImageList::TCustomDXImageList;
};

}  // namespace visual
