// A small sprite engine: `TSprite` (a node of a sprite tree, its children kept in a list and
// in a draw list ordered by Z), `TImageSprite` (drawn from a picture of an image list),
// `TSpriteEngine` (the root, which knows the surface to draw on) and `TDXSpriteEngine`, which
// follows a display control: its engine draws on the control's surface while the control is
// initialised. `TMySprite` is the star of the star field: it flies towards the viewer in
// depth steps and draws itself scaled by its depth.
//
// The engine's own move, draw and collision walks over the tree are not built: the star modes
// call `DoMove` and `DoDraw` on each star themselves.
//
// UI thread only.
#pragma once
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

#include "platform/gfx/Geometry.h"
#include "visual/DXDraw.h"

namespace visual {

class TDirectDrawSurface;
class TPictureCollectionItem;
class TSpriteEngine;

// "Index of the list exceeds the range. (%d)".
class ESpriteError : public std::runtime_error {
public:
    explicit ESpriteError(int32_t index);
};

class TSprite {
public:
    explicit TSprite(TSprite* parent);
    virtual ~TSprite();
    TSprite(const TSprite&) = delete;
    TSprite& operator=(const TSprite&) = delete;

    virtual void DoCollision(TSprite& sprite, bool& done);
    virtual void DoDraw();
    virtual void DoMove(int32_t moveCount);
    virtual gfx::TRect GetBoundsRect();
    virtual bool TestCollision(TSprite& sprite);

    // Children: 0 without a list; ESpriteError for an index outside it.
    int32_t Count() const { return list_ ? int32_t(list_->size()) : 0; }
    TSprite* Items(int32_t index) const;
    // The children in drawing order (by Z; equal Z, newest first).
    const std::vector<TSprite*>* DrawList() const { return drawList_.get(); }
    void Add(TSprite* sprite);
    void Remove(TSprite* sprite);

    double WorldX() const;
    double WorldY() const;
    int32_t Z() const { return z_; }
    // Moves the sprite to its new place in the parent's draw list.
    void SetZ(int32_t value);

    TSpriteEngine* Engine = nullptr;
    TSprite* Parent = nullptr;
    bool Deaded = false;
    bool Collisioned = true, Moved = true, Visible = true;
    double X = 0, Y = 0;
    int32_t Width = 0, Height = 0;

private:
    void AddDrawList(TSprite* sprite);
    std::unique_ptr<std::vector<TSprite*>> list_;
    std::unique_ptr<std::vector<TSprite*>> drawList_;
    int32_t z_ = 0;
};

class TImageSprite : public TSprite {
public:
    explicit TImageSprite(TSprite* parent);

    void DoDraw() override;
    void DoMove(int32_t moveCount) override;
    gfx::TRect GetBoundsRect() override;
    // Pixel-exact with PixelCheck against another image sprite; otherwise true.
    bool TestCollision(TSprite& sprite) override;
    int32_t PatternIndex() const;

    int32_t AnimCount = 0;
    bool AnimLooped = false;
    double AnimPos = 0, AnimSpeed = 0;
    int32_t AnimStart = 0;
    TPictureCollectionItem* Image = nullptr;
    bool PixelCheck = false, Tile = false, Transparent = true;
};

class TSpriteEngine : public TSprite {
public:
    explicit TSpriteEngine(TSprite* parent);
    ~TSpriteEngine() override;

    TDirectDrawSurface* Surface() const { return surface_; }
    // Also takes the surface's client rectangle and size.
    void SetSurface(TDirectDrawSurface* value);
    const gfx::TRect& SurfaceRect() const { return surfaceRect_; }

    int32_t AllCount = 0;
    std::vector<TSprite*> DeadList;

private:
    TDirectDrawSurface* surface_ = nullptr;
    gfx::TRect surfaceRect_{};
};

class TCustomDXSpriteEngine {
public:
    TCustomDXSpriteEngine();
    virtual ~TCustomDXSpriteEngine();
    TCustomDXSpriteEngine(const TCustomDXSpriteEngine&) = delete;
    TCustomDXSpriteEngine& operator=(const TCustomDXSpriteEngine&) = delete;

    TCustomDXDraw* DXDraw() const { return link_.Get(); }
    // The engine's Surface follows to the new control's surface (none while not initialised).
    void SetDXDraw(TCustomDXDraw* value) { link_.Set(value); }
    TSpriteEngine& Engine() { return *engine_; }

private:
    static void DXDrawNotifyEvent(void* data, TCustomDXDraw& sender, TDXDrawNotifyKind kind);
    std::unique_ptr<TSpriteEngine> engine_;
    TDXDrawLink link_{&DXDrawNotifyEvent, this};  // goes before the engine
};

class TDXSpriteEngine : public TCustomDXSpriteEngine {
public:
    using TCustomDXSpriteEngine::TCustomDXSpriteEngine;
};

// A star: depth 100 is far away (the centre), depth 1 right in front.
class TMySprite : public TImageSprite {
public:
    using TImageSprite::TImageSprite;
    void DoDraw() override;
    void DoMove(int32_t moveCount) override;

    int32_t StarX = 0, StarY = 0;
    int32_t Depth = 0;
};

}  // namespace visual
