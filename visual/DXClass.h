// The bottom of the visualiser's display library: the display object (`TDirectDraw`), its
// palettes, clippers and surfaces as small wrappers over platform/draw that keep the last
// result code, and a canvas on every surface. Calls that fail report false (or do nothing)
// and leave the code in `LastResult`; only objects that cannot be made raise.
//
// The surface canvas takes the surface's device context at its first drawing call (not when
// its pen, brush or font change) and gives it back with `Release`, which every drawing caller
// calls before the surface is blitted, flipped or locked.
//
// User-interface thread only.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/draw/Draw.h"
#include "platform/gfx/Canvas.h"
#include "platform/gfx/Graphic.h"

class QWidget;

namespace visual {

class TDIB;

int32_t Max(int32_t a, int32_t b);
int32_t Min(int32_t a, int32_t b);
// Edges that only touch do not overlap.
bool RectsOverlap(const gfx::TRect& r1, const gfx::TRect& r2);
// Entry i = cos(i / 256 x 2 pi).
const std::array<double, 256>& CosineTable();

// The address of an entry point of one of our display layers ("ddraw.dll"); any other
// library or entry raises std::runtime_error "<file> not loaded".
void* BindLibraryProc(const std::string& fileName, const std::string& procName);
draw::DrawResult EnumerateDirectDraw(const draw::DriverCallback& callback);

class EDirectXError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
class EDirectDrawError : public EDirectXError {
public:
    using EDirectXError::EDirectXError;
};
class EDirectDrawPaletteError : public EDirectDrawError {
public:
    using EDirectDrawError::EDirectDrawError;
};
class EDirectDrawClipperError : public EDirectDrawError {
public:
    using EDirectDrawError::EDirectDrawError;
};
class EDirectDrawSurfaceError : public EDirectDrawError {
public:
    using EDirectDrawError::EDirectDrawError;
};

class TDirectDrawClipper;
class TDirectDrawPalette;
class TDirectDrawSurface;

class TDirectX {
public:
    draw::DrawResult LastResult = draw::DD_OK;
};

class TDirectDraw : public TDirectX {
public:
    explicit TDirectDraw(const draw::DriverGuid* driver) : TDirectDraw(driver, true) {}
    TDirectDraw(const draw::DriverGuid* driver, bool directX7Mode);
    ~TDirectDraw();
    TDirectDraw(const TDirectDraw&) = delete;
    TDirectDraw& operator=(const TDirectDraw&) = delete;

    draw::DrawDevice& DrawIntf() const;
    draw::DrawDevice& DrawIntf7() const;
    bool HasDrawIntf7() const { return draw7_; }

    draw::DrawCaps DriverCaps;
    draw::DrawCaps HELCaps;
    std::vector<TDirectDrawClipper*> Clippers;
    std::vector<TDirectDrawPalette*> Palettes;
    std::vector<TDirectDrawSurface*> Surfaces;

private:
    std::shared_ptr<draw::DrawDevice> device_;
    bool draw7_ = false;
};

class TDirectDrawPalette : public TDirectX {
public:
    explicit TDirectDrawPalette(TDirectDraw& ddraw);
    ~TDirectDrawPalette();
    bool CreatePalette(uint32_t caps, const draw::PaletteEntry* entries);
    bool SetEntries(uint32_t start, uint32_t count, const draw::PaletteEntry* entries);
    const std::shared_ptr<draw::DrawPalette>& PaletteIntf() const;
    TDirectDraw& DDraw;

private:
    std::shared_ptr<draw::DrawPalette> intf_;
};

class TDirectDrawClipper : public TDirectX {
public:
    explicit TDirectDrawClipper(TDirectDraw& ddraw);
    ~TDirectDrawClipper();
    void SetHandle(QWidget* window);
    void SetClipRectangles(const std::vector<gfx::TRect>& rects);
    const std::shared_ptr<draw::DrawClipper>& ClipperIntf() const;
    TDirectDraw& DDraw;

private:
    std::shared_ptr<draw::DrawClipper> intf_;
};

class TDirectDrawSurfaceCanvas : public gfx::TCanvas {
public:
    explicit TDirectDrawSurfaceCanvas(TDirectDrawSurface& surface);
    ~TDirectDrawSurfaceCanvas() override;
    // Gives the device context back; the next drawing call takes a new one.
    void Release();
    QImage* Surface() override;
    bool HoldsDC() const { return dc_ != nullptr; }

private:
    void CreateHandle();
    TDirectDrawSurface& surface_;
    gfx::TCanvas* dc_ = nullptr;
};

class TDirectDrawSurface : public TDirectX {
public:
    explicit TDirectDrawSurface(TDirectDraw& ddraw);
    ~TDirectDrawSurface();
    TDirectDrawSurface(const TDirectDrawSurface&) = delete;
    TDirectDrawSurface& operator=(const TDirectDrawSurface&) = delete;

    void AttachSurface(std::shared_ptr<draw::DrawSurface> value);
    bool CreateSurface(const draw::DrawSurfaceDesc& desc);
    void SetSize(int32_t width, int32_t height);

    bool Blt(const gfx::TRect* dest, const gfx::TRect* src, uint32_t flags,
             const draw::DrawBltFX& fx, TDirectDrawSurface* source);
    bool BltFast(int32_t x, int32_t y, const gfx::TRect& src, uint32_t flags,
                 TDirectDrawSurface* source);
    void Fill(uint32_t devColor);
    void Draw(int32_t x, int32_t y, const gfx::TRect& srcRect, TDirectDrawSurface* source,
              bool transparent);
    void StretchDraw(const gfx::TRect& destRect, const gfx::TRect& srcRect,
                     TDirectDrawSurface* source, bool transparent);
    // SrcRect of Source drawn into (X, Y, Width, Height) with each row shifted sideways by a
    // sine wave (the software renderer's wave blit), keyed by Source's colour key when
    // Transparent. Nothing when either surface is empty or cannot be locked.
    void DrawWaveDistort(int32_t x, int32_t y, int32_t width, int32_t height,
                         const gfx::TRect& srcRect, TDirectDrawSurface* source, bool transparent,
                         int32_t amplitude, int32_t period, int32_t phase);
    bool Lock(const gfx::TRect* rect, draw::DrawSurfaceDesc& desc);
    void Unlock();
    bool Restore();
    void SetClipper(TDirectDrawClipper* clipper);
    void SetPalette(TDirectDrawPalette* palette);
    void SetColorKey(uint32_t flags, const draw::DrawColorKey& key);
    void SetTransparentColor(uint32_t value);
    uint32_t Pixel(int32_t x, int32_t y);
    void SetPixel(int32_t x, int32_t y, uint32_t value);
    int32_t MatchColor(gfx::TColor color);
    void LoadGraphic(const gfx::TGraphic& graphic);
    void LoadGraphicRect(const gfx::TGraphic& graphic, int32_t width, int32_t height,
                         const gfx::TRect& srcRect);
    // Null releases the surface.
    void Assign(const gfx::TGraphic* source);
    void Assign(const TDirectDrawSurface& source);
    void AssignTo(TDIB& dest);

    TDirectDrawSurfaceCanvas& Canvas();
    bool HasSurface() const { return bool(intf_); }
    draw::DrawSurface& SurfaceIntf() const;
    const std::shared_ptr<draw::DrawSurface>& SurfacePtr() const { return intf_; }
    int32_t Width() const { return int32_t(Description.dwWidth); }
    int32_t Height() const { return int32_t(Description.dwHeight); }
    int32_t BitCount() const { return int32_t(Description.ddpfPixelFormat.dwRGBBitCount); }
    gfx::TRect ClientRect() const { return gfx::Rect(0, 0, Width(), Height()); }

    bool ClipperAttached = false;
    TDirectDraw& DDraw;
    bool UseSystemMemory = false;
    draw::DrawSurfaceDesc Description;
    draw::DrawSurfaceDesc LockedDescription;
    int32_t LockDepth = 0;

private:
    friend class TDirectDrawSurfaceCanvas;
    std::shared_ptr<draw::DrawSurface> intf_;
    std::unique_ptr<TDirectDrawSurfaceCanvas> canvas_;
};

// Cuts DestRect to DestClip and SrcRect to SrcClip, moving the other by the same amount;
// true when both are left non-empty.
bool ClipRectPair(gfx::TRect& destRect, gfx::TRect& srcRect, const gfx::TRect& destClip,
                  const gfx::TRect& srcClip);

}  // namespace visual
