#include "visual/DXSprite.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "platform/rtl/Numerics.h"
#include "visual/DXClass.h"
#include "visual/DXImageList.h"

namespace visual {

ESpriteError::ESpriteError(int32_t index)
    : std::runtime_error("Index of the list exceeds the range. (" + std::to_string(index) + ")")
{
}

// ---- TSprite ------------------------------------------------------------------------------

TSprite::TSprite(TSprite* parent) : Parent(parent)
{
    if (!parent)
        return;
    parent->Add(this);
    auto* engine = dynamic_cast<TSpriteEngine*>(parent);
    Engine = engine ? engine : parent->Engine;
    if (Engine)
        ++Engine->AllCount;
}

TSprite::~TSprite()
{
    while (Count() > 0)
        delete (*list_)[list_->size() - 1];
    if (Parent) {
        if (Engine) {
            --Engine->AllCount;
            std::erase(Engine->DeadList, this);
        }
        Parent->Remove(this);
    }
}

TSprite* TSprite::Items(int32_t index) const
{
    if (!list_ || index < 0 || index >= Count())
        throw ESpriteError(index);
    return (*list_)[size_t(index)];
}

void TSprite::Add(TSprite* sprite)
{
    if (!list_) {
        list_ = std::make_unique<std::vector<TSprite*>>();
        drawList_ = std::make_unique<std::vector<TSprite*>>();
    }
    list_->push_back(sprite);
    AddDrawList(sprite);
}

void TSprite::Remove(TSprite* sprite)
{
    if (!list_)
        return;
    std::erase(*list_, sprite);
    std::erase(*drawList_, sprite);
    if (list_->empty()) {
        list_.reset();
        drawList_.reset();
    }
}

void TSprite::AddDrawList(TSprite* sprite)
{
    // Binary search by Z: a new sprite goes before those of equal Z.
    auto& list = *drawList_;
    int32_t lo = 0, hi = int32_t(list.size()) - 1;
    while (lo <= hi) {
        const int32_t mid = (lo + hi) / 2;
        if (list[size_t(mid)]->z_ < sprite->z_)
            lo = mid + 1;
        else
            hi = mid - 1;
    }
    list.insert(list.begin() + lo, sprite);
}

void TSprite::SetZ(int32_t value)
{
    if (value == z_)
        return;
    z_ = value;
    if (Parent && Parent->drawList_) {
        std::erase(*Parent->drawList_, this);
        Parent->AddDrawList(this);
    }
}

double TSprite::WorldX() const { return Parent ? Parent->WorldX() + X : X; }
double TSprite::WorldY() const { return Parent ? Parent->WorldY() + Y : Y; }

void TSprite::DoCollision(TSprite&, bool&) {}
void TSprite::DoDraw() {}
void TSprite::DoMove(int32_t) {}

gfx::TRect TSprite::GetBoundsRect()
{
    return gfx::Bounds(int32_t(rtl::Trunc(WorldX())), int32_t(rtl::Trunc(WorldY())), Width, Height);
}

bool TSprite::TestCollision(TSprite&) { return true; }

// ---- TImageSprite -------------------------------------------------------------------------

TImageSprite::TImageSprite(TSprite* parent) : TSprite(parent) {}

int32_t TImageSprite::PatternIndex() const
{
    return AnimStart + int32_t(rtl::Trunc(AnimPos));
}

gfx::TRect TImageSprite::GetBoundsRect()
{
    int32_t dx = int32_t(rtl::Trunc(WorldX())), dy = int32_t(rtl::Trunc(WorldY()));
    if (Tile && Engine) {
        // Folds d into the surface's span plus one sprite; the folding divides by that
        // span, so none is done over an empty one.
        auto fold = [](int32_t& d, int32_t edge, int32_t size) {
            const int32_t wrap = edge + size;
            if (wrap < 1)
                return;
            d %= wrap;
            if (d < 0)
                d += wrap;
            if (d > edge)
                d -= wrap;
        };
        fold(dx, Engine->SurfaceRect().Right, Width);
        fold(dy, Engine->SurfaceRect().Bottom, Height);
    }
    return gfx::Bounds(dx, dy, Width, Height);
}

void TImageSprite::DoMove(int32_t moveCount)
{
    AnimPos += AnimSpeed * moveCount;
    const double c = AnimCount;
    if (AnimLooped) {
        if (AnimCount >= 1) {
            AnimPos -= std::trunc(AnimPos / c) * c;
            if (AnimPos < 0)
                AnimPos += c;
        } else {
            AnimPos = 0;
        }
    } else {
        if (AnimPos >= c) {
            AnimPos = c - 1;
            AnimSpeed = 0;
        }
        if (AnimPos < 0) {
            AnimPos = 0;
            AnimSpeed = 0;
        }
    }
}

void TImageSprite::DoDraw()
{
    if (!Image || !Engine || !Engine->Surface())
        return;
    const gfx::TRect r = GetBoundsRect();
    Image->Draw(*Engine->Surface(), r.Left + (Width - Image->Width()) / 2,
                r.Top + (Height - Image->Height()) / 2, PatternIndex());
}

namespace {

// The surface's source colour key, the value its transparent pixels hold.
uint32_t KeyOf(TDirectDrawSurface& s)
{
    draw::DrawColorKey key;
    if (s.SurfaceIntf().GetColorKey(draw::DDCKEY_SRCBLT, key) != draw::DD_OK)
        return 0xFFFFFFFF;
    return s.BitCount() == 32 ? key.dwColorSpaceLowValue & 0xFFFFFF : key.dwColorSpaceLowValue;
}

}  // namespace

bool TImageSprite::TestCollision(TSprite& sprite)
{
    auto* other = dynamic_cast<TImageSprite*>(&sprite);
    if (!other || !PixelCheck)
        return true;
    if (!Image || !other->Image)
        return false;
    TDirectDrawSurface* s1 = Image->PatternSurface(PatternIndex());
    TDirectDrawSurface* s2 = other->Image->PatternSurface(other->PatternIndex());
    if (!s1 || !s2 || !s1->HasSurface() || !s2->HasSurface())
        return false;
    const gfx::TRect p1 = Image->PatternRect(PatternIndex());
    const gfx::TRect p2 = other->Image->PatternRect(other->PatternIndex());
    const gfx::TRect b1 = GetBoundsRect(), b2 = other->GetBoundsRect();
    // Where both drawn pattern rectangles lie.
    const int32_t left = std::max(b1.Left, b2.Left), top = std::max(b1.Top, b2.Top);
    const int32_t right = std::min({b1.Right, b2.Right, b1.Left + p1.Width(), b2.Left + p2.Width()});
    const int32_t bottom =
        std::min({b1.Bottom, b2.Bottom, b1.Top + p1.Height(), b2.Top + p2.Height()});
    const uint32_t k1 = KeyOf(*s1), k2 = KeyOf(*s2);
    for (int32_t y = top; y < bottom; ++y)
        for (int32_t x = left; x < right; ++x)
            if (s1->Pixel(p1.Left + x - b1.Left, p1.Top + y - b1.Top) != k1 &&
                s2->Pixel(p2.Left + x - b2.Left, p2.Top + y - b2.Top) != k2)
                return true;
    return false;
}

// ---- TSpriteEngine ------------------------------------------------------------------------

TSpriteEngine::TSpriteEngine(TSprite* parent) : TSprite(parent) {}

TSpriteEngine::~TSpriteEngine()
{
    // The children leave while the engine still counts them.
    while (Count() > 0)
        delete Items(Count() - 1);
}

void TSpriteEngine::SetSurface(TDirectDrawSurface* value)
{
    surface_ = value;
    if (surface_) {
        surfaceRect_ = surface_->ClientRect();
        Width = surfaceRect_.Width();
        Height = surfaceRect_.Height();
    }
}

// ---- TCustomDXSpriteEngine ----------------------------------------------------------------

TCustomDXSpriteEngine::TCustomDXSpriteEngine() : engine_(std::make_unique<TSpriteEngine>(nullptr)) {}

TCustomDXSpriteEngine::~TCustomDXSpriteEngine() = default;

void TCustomDXSpriteEngine::DXDrawNotifyEvent(void* data, TCustomDXDraw& sender,
                                              TDXDrawNotifyKind kind)
{
    auto* self = static_cast<TCustomDXSpriteEngine*>(data);
    switch (kind) {
    case dnDestroying:
        self->SetDXDraw(nullptr);
        break;
    case dnInitialize:
        self->engine_->SetSurface(sender.Surface.get());
        break;
    case dnFinalize:
        self->engine_->SetSurface(nullptr);
        break;
    default:
        break;
    }
}

// ---- TMySprite ----------------------------------------------------------------------------

void TMySprite::DoMove(int32_t moveCount)
{
    Depth -= moveCount;
    if (Depth < 1)
        Depth = 100;
    if (Depth > 100)
        Depth = 0;
}

void TMySprite::DoDraw()
{
    if (Depth < 1 || Depth >= 200 || !Image || !Engine || !Engine->Surface())
        return;
    TDirectDrawSurface& surface = *Engine->Surface();
    const int32_t d = Depth, W = surface.Width(), H = surface.Height();
    const int32_t w = Image->Width() / d, h = Image->Height() / d;
    X = W / 2 - ((W / 2) / d + StarX / d);
    Y = H / 2 - ((H / 2) / d + StarY / d);
    const int32_t left = int32_t(rtl::Round(X)) - w / 2, top = int32_t(rtl::Round(Y)) - h / 2;
    Image->StretchDraw(surface, gfx::Rect(left, top, left + w, top + h), 0);
}

}  // namespace visual
