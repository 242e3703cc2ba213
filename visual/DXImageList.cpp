#include "visual/DXImageList.h"

#include <algorithm>

#include <QString>

namespace visual {

int32_t HashName(const std::string& name)
{
    const std::string u = QString::fromStdString(name).toLower().toStdString();
    int32_t h = int32_t(u.size()) * 16;
    if (u.size() >= 2)
        h += uint8_t(u[0]) + uint8_t(u[u.size() - 2]);
    return h & 255;
}

// ---- Hash collection ----------------------------------------------------------------------

THashCollectionItem::THashCollectionItem(THashCollection& collection) : collection_(collection)
{
    collection_.items_.push_back(this);
    CachedIndex = int32_t(collection_.items_.size()) - 1;
    LinkIntoBucket();
}

THashCollectionItem::~THashCollectionItem()
{
    auto& items = collection_.items_;
    const auto it = std::find(items.begin(), items.end(), this);
    for (auto later = it; later != items.end(); ++later)
        --(*later)->CachedIndex;
    UnlinkFromBucket();
    if (it != items.end())
        items.erase(it);
}

void THashCollectionItem::Assign(const THashCollectionItem& source)
{
    SetName(source.Name());
}

void THashCollectionItem::SetName(const std::string& value)
{
    if (value == name_)
        return;
    name_ = value;
    UnlinkFromBucket();
    LinkIntoBucket();
}

void THashCollectionItem::LinkIntoBucket()
{
    Bucket = HashName(name_);
    THashCollectionItem*& head = collection_.Buckets[size_t(Bucket)];
    NextInBucket = head;
    PrevInBucket = nullptr;
    if (head)
        head->PrevInBucket = this;
    head = this;
}

void THashCollectionItem::UnlinkFromBucket()
{
    if (Bucket < 0)
        return;
    if (PrevInBucket)
        PrevInBucket->NextInBucket = NextInBucket;
    else
        collection_.Buckets[size_t(Bucket)] = NextInBucket;
    if (NextInBucket)
        NextInBucket->PrevInBucket = PrevInBucket;
    PrevInBucket = NextInBucket = nullptr;
    Bucket = -1;
}

THashCollection::~THashCollection() { Clear(); }

void THashCollection::Clear()
{
    while (!items_.empty())
        delete items_.back();
}

// ---- Picture items ------------------------------------------------------------------------

TPictureCollectionItem::TPictureCollectionItem(TPictureCollection& collection)
    : THashCollectionItem(collection)
{
}

TPictureCollectionItem::~TPictureCollectionItem() { Finalize(); }

TPictureCollection& TPictureCollectionItem::PictureCollection() const
{
    return static_cast<TPictureCollection&>(Collection());
}

void TPictureCollectionItem::Assign(const THashCollectionItem& source)
{
    const auto* other = dynamic_cast<const TPictureCollectionItem*>(&source);
    if (!other) {
        THashCollectionItem::Assign(source);
        return;
    }
    const bool wasInitialized = Initialized;
    Finalize();
    PatternHeight = other->PatternHeight;
    PatternWidth = other->PatternWidth;
    SkipHeight = other->SkipHeight;
    SkipWidth = other->SkipWidth;
    SystemMemory = other->SystemMemory;
    Transparent = other->Transparent;
    transparentColor_ = other->transparentColor_;
    Picture.Assign(other->Picture);
    if (wasInitialized)
        Restore();
}

void TPictureCollectionItem::Initialize()
{
    Finalize();
    Initialized = PictureCollection().Initialized();
}

void TPictureCollectionItem::Finalize()
{
    if (!Initialized)
        return;
    Initialized = false;
    PatternList.clear();
    SurfaceList.clear();
}

int32_t TPictureCollectionItem::Width() const
{
    return PatternWidth > 0 ? PatternWidth : Picture.Width();
}

int32_t TPictureCollectionItem::Height() const
{
    return PatternHeight > 0 ? PatternHeight : Picture.Height();
}

gfx::TRect TPictureCollectionItem::PatternRect(int32_t index) const
{
    return index >= 0 && index < PatternCount() ? PatternList[size_t(index)].Rect
                                                : gfx::Rect(0, 0, 0, 0);
}

TDirectDrawSurface* TPictureCollectionItem::PatternSurface(int32_t index) const
{
    return index >= 0 && index < PatternCount() ? PatternList[size_t(index)].Surface : nullptr;
}

TDirectDrawSurface* TPictureCollectionItem::MakeSurface(const gfx::TRect& rect)
{
    auto surface = std::make_unique<TDirectDrawSurface>(*PictureCollection().DXDraw->DDraw);
    surface->UseSystemMemory = SystemMemory;
    surface->LoadGraphicRect(*Picture.Graphic(), 0, 0, rect);
    surface->SetTransparentColor(uint32_t(surface->MatchColor(transparentColor_)));
    SurfaceList.push_back(std::move(surface));
    return SurfaceList.back().get();
}

void TPictureCollectionItem::Restore()
{
    if (!Picture.Graphic() || Picture.Graphic()->Empty())
        return;
    if (!Initialized) {
        if (PictureCollection().Initialized())
            Initialize();
        if (!Initialized)
            return;
    }
    PatternList.clear();
    SurfaceList.clear();
    const int32_t w = Width(), h = Height();
    const int32_t stepW = w + SkipWidth, stepH = h + SkipHeight;
    const int32_t picW = Picture.Width(), picH = Picture.Height();
    // The tiling divides by the steps: a gap that swallows the pattern makes nothing.
    if (stepW < 1 || stepH < 1 || w < 1 || h < 1)
        return;
    if (w == picW && h == picH) {
        PatternList.push_back({gfx::Rect(0, 0, picW, picH), MakeSurface(gfx::Rect(0, 0, picW, picH))});
        return;
    }
    const int32_t countPX = (picW + SkipWidth) / stepW, countPY = (picH + SkipHeight) / stepH;
    if (SystemMemory) {
        TDirectDrawSurface* surface = MakeSurface(gfx::Rect(0, 0, picW, picH));
        for (int32_t py = 0; py < countPY; ++py)
            for (int32_t px = 0; px < countPX; ++px)
                PatternList.push_back({gfx::Bounds(px * stepW, py * stepH, w, h), surface});
        return;
    }
    // Tiles of about 512 pixels at most, whole multiples of the step.
    const int32_t tileW = std::min(((stepW + 511) / stepW) * stepW, countPX * stepW);
    const int32_t tileH = std::min(((stepH + 511) / stepH) * stepH, countPY * stepH);
    if (tileW <= 0 || tileH <= 0)
        return;
    const int32_t countX = (picW + tileW - 1) / tileW, countY = (picH + tileH - 1) / tileH;
    for (int32_t ty = 0; ty < countY; ++ty) {
        for (int32_t tx = 0; tx < countX; ++tx) {
            int32_t tw = std::min(tileW, std::max(picW - tx * tileW, 0));
            int32_t th = std::min(tileH, std::max(picH - ty * tileH, 0));
            if (tw == 0)
                tw = tileW;
            if (th == 0)
                th = tileH;
            MakeSurface(gfx::Bounds(tx * tileW, ty * tileH, tw, th));
        }
    }
    for (int32_t py = 0; py < countPY; ++py) {
        for (int32_t px = 0; px < countPX; ++px) {
            const int32_t x0 = px * stepW, y0 = py * stepH;
            const size_t tile = size_t(x0 / tileW + (y0 / tileH) * countX);
            PatternList.push_back({gfx::Bounds(x0 % tileW, y0 % tileH, w, h),
                                   tile < SurfaceList.size() ? SurfaceList[tile].get() : nullptr});
        }
    }
}

void TPictureCollectionItem::Draw(TDirectDrawSurface& dest, int32_t x, int32_t y,
                                  int32_t patternIndex)
{
    if (Valid(patternIndex))
        dest.Draw(x, y, PatternRect(patternIndex), PatternSurface(patternIndex), Transparent);
}

void TPictureCollectionItem::StretchDraw(TDirectDrawSurface& dest, const gfx::TRect& destRect,
                                         int32_t patternIndex)
{
    if (Valid(patternIndex))
        dest.StretchDraw(destRect, PatternRect(patternIndex), PatternSurface(patternIndex),
                         Transparent);
}

void TPictureCollectionItem::DrawWaveDistort(TDirectDrawSurface& dest, int32_t x, int32_t y,
                                             int32_t width, int32_t height, int32_t patternIndex,
                                             int32_t amplitude, int32_t period, int32_t phase)
{
    if (Valid(patternIndex))
        dest.DrawWaveDistort(x, y, width, height, PatternRect(patternIndex),
                             PatternSurface(patternIndex), Transparent, amplitude, period, phase);
}

void TPictureCollectionItem::SetTransparentColor(gfx::TColor value)
{
    if (value == transparentColor_)
        return;
    transparentColor_ = value;
    for (auto& surface : SurfaceList)
        surface->SetTransparentColor(uint32_t(surface->MatchColor(value)));
}

// ---- Picture collection -------------------------------------------------------------------

TPictureCollection::~TPictureCollection()
{
    Finalize();
    Clear();
}

TPictureCollectionItem* TPictureCollection::Add()
{
    return new TPictureCollectionItem(*this);
}

TPictureCollectionItem* TPictureCollection::GetItem(int32_t index) const
{
    return static_cast<TPictureCollectionItem*>(Item(index));
}

bool TPictureCollection::Initialized() const
{
    return DXDraw && DXDraw->Initialized;
}

void TPictureCollection::Initialize(TCustomDXDraw* dxDraw)
{
    Finalize();
    DXDraw = dxDraw;
    if (!Initialized())
        throw EPictureCollectionError("TPictureCollection cannot be initialized");
    for (int32_t i = 0; i < Count(); ++i)
        GetItem(i)->Initialize();
}

void TPictureCollection::Finalize()
{
    for (int32_t i = 0; i < Count(); ++i)
        GetItem(i)->Finalize();
    DXDraw = nullptr;
}

void TPictureCollection::Restore()
{
    for (int32_t i = 0; i < Count(); ++i)
        GetItem(i)->Restore();
}

// ---- Image list ---------------------------------------------------------------------------

TCustomDXImageList::TCustomDXImageList() : items_(std::make_unique<TPictureCollection>(this)) {}

TCustomDXImageList::~TCustomDXImageList()
{
    SetDXDraw(nullptr);
}

void TCustomDXImageList::DXDrawNotifyEvent(void* data, TCustomDXDraw& sender,
                                           TDXDrawNotifyKind kind)
{
    auto* self = static_cast<TCustomDXImageList*>(data);
    switch (kind) {
    case dnDestroying:
        self->SetDXDraw(nullptr);
        break;
    case dnInitialize:
        self->items_->Initialize(&sender);
        break;
    case dnFinalize:
        self->items_->Finalize();
        break;
    case dnRestore:
        self->items_->Restore();
        break;
    default:
        break;
    }
}

}  // namespace visual
