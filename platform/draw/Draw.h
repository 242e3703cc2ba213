// Software display surfaces in the shape the DirectDraw wrappers of the visualiser expect:
// a device (`DrawDevice`) that makes surfaces, clippers and palettes, surfaces
// (`DrawSurface`) in memory at the display's depth with blits, colour keys, locks, flips and a
// canvas on their pixels, and the result codes those calls return.
//
// Pixel formats: 32 bits (0x00RRGGBB; the top byte is unused and never counts when a pixel is
// compared, keyed or read) or 16 bits (5-6-5). Every surface of a backend has the display's
// depth; palettes are kept but change nothing above 8 bits.
//
// While a surface's canvas is out (GetDC without ReleaseDC) or it is locked, blits from or to
// it, other locks and flips fail with DDERR_SURFACEBUSY, so a forgotten release shows.
//
// Backends: the widget backend (the default) presents a blit onto the primary surface, whose
// clipper holds a control, into that control's presented image (`PresentedImage`), which the
// control paints; its surfaces are never lost. The memory backend (tests and benchmarks) has
// the depth and the desktop size it is given, pads rows past their width, keeps the primary
// as an off-screen desktop and has hooks to lose surfaces and to refuse what could fail on a
// real display.
//
// User-interface thread only.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include <QImage>

#include "platform/gfx/Geometry.h"

class QWidget;

namespace gfx {
class TCanvas;
}

namespace draw {

using DrawResult = int32_t;

constexpr DrawResult DD_OK = 0;
constexpr DrawResult DDERR_GENERIC = DrawResult(0x80004005u);
constexpr DrawResult DDERR_UNSUPPORTED = DrawResult(0x80004001u);
constexpr DrawResult DDERR_INVALIDPARAMS = DrawResult(0x80070057u);
constexpr DrawResult DDERR_OUTOFMEMORY = DrawResult(0x8007000Eu);
constexpr DrawResult DDERR_NOINTERFACE = DrawResult(0x80004002u);
constexpr DrawResult DDERR_INVALIDRECT = DrawResult(0x88760096u);
constexpr DrawResult DDERR_INVALIDPIXELFORMAT = DrawResult(0x88760091u);
constexpr DrawResult DDERR_NOCLIPPERATTACHED = DrawResult(0x887600CDu);
constexpr DrawResult DDERR_NOCOLORKEY = DrawResult(0x887600D7u);
constexpr DrawResult DDERR_NOTFOUND = DrawResult(0x887600FFu);
constexpr DrawResult DDERR_OUTOFVIDEOMEMORY = DrawResult(0x8876017Cu);
constexpr DrawResult DDERR_SURFACEBUSY = DrawResult(0x887601AEu);
constexpr DrawResult DDERR_SURFACELOST = DrawResult(0x887601C2u);
constexpr DrawResult DDERR_NODIRECTDRAWHW = DrawResult(0x88760233u);
constexpr DrawResult DDERR_BLTFASTCANTCLIP = DrawResult(0x8876023Eu);
constexpr DrawResult DDERR_NOTFLIPPABLE = DrawResult(0x88760246u);
constexpr DrawResult DDERR_NOTLOCKED = DrawResult(0x88760248u);
constexpr DrawResult DDERR_DCALREADYCREATED = DrawResult(0x8876026Cu);
constexpr DrawResult DDERR_NODC = DrawResult(0x8876024Au);
constexpr DrawResult DDERR_INVALIDMODE = DrawResult(0x887600A0u);

// Surface description flags and capabilities.
constexpr uint32_t DDSD_CAPS = 1, DDSD_HEIGHT = 2, DDSD_WIDTH = 4, DDSD_PITCH = 8,
    DDSD_BACKBUFFERCOUNT = 0x20, DDSD_PIXELFORMAT = 0x1000, DDSD_LPSURFACE = 0x800,
    DDSD_CKSRCBLT = 0x10000;
constexpr uint32_t DDSCAPS_BACKBUFFER = 4, DDSCAPS_COMPLEX = 8, DDSCAPS_FLIP = 0x10,
    DDSCAPS_FRONTBUFFER = 0x20, DDSCAPS_OFFSCREENPLAIN = 0x40, DDSCAPS_PRIMARYSURFACE = 0x200,
    DDSCAPS_SYSTEMMEMORY = 0x800, DDSCAPS_3DDEVICE = 0x2000, DDSCAPS_VIDEOMEMORY = 0x4000,
    DDSCAPS_LOCALVIDMEM = 0x10000000;
constexpr uint32_t DDPF_RGB = 0x40;
// Blits.
constexpr uint32_t DDBLT_COLORFILL = 0x400, DDBLT_DDFX = 0x800, DDBLT_KEYSRC = 0x8000,
    DDBLT_WAIT = 0x1000000;
constexpr uint32_t DDBLTFAST_NOCOLORKEY = 0, DDBLTFAST_SRCCOLORKEY = 1,
    DDBLTFAST_DESTCOLORKEY = 2, DDBLTFAST_WAIT = 0x10;
constexpr uint32_t DDBLTFX_MIRRORLEFTRIGHT = 2, DDBLTFX_MIRRORUPDOWN = 4;
constexpr uint32_t DDCKEY_SRCBLT = 8;
constexpr uint32_t DDLOCK_WAIT = 1;
constexpr uint32_t DDFLIP_WAIT = 1;
constexpr uint32_t DDWAITVB_BLOCKBEGIN = 1;
constexpr uint32_t DDSCL_FULLSCREEN = 1, DDSCL_ALLOWREBOOT = 2, DDSCL_NOWINDOWCHANGES = 4,
    DDSCL_NORMAL = 8, DDSCL_EXCLUSIVE = 0x10, DDSCL_ALLOWMODEX = 0x40;
constexpr uint32_t DDPCAPS_4BIT = 1, DDPCAPS_8BIT = 4, DDPCAPS_INITIALIZE = 8,
    DDPCAPS_ALLOW256 = 0x40;
constexpr uint32_t DDCAPS2_PRIMARYGAMMA = 0x20000;

struct DrawPixelFormat {
    uint32_t dwSize = 32;
    uint32_t dwFlags = 0;
    uint32_t dwRGBBitCount = 0;
    uint32_t dwRBitMask = 0;
    uint32_t dwGBitMask = 0;
    uint32_t dwBBitMask = 0;
};

struct DrawColorKey {
    uint32_t dwColorSpaceLowValue = 0;
    uint32_t dwColorSpaceHighValue = 0;
};

struct DrawSurfaceDesc {
    uint32_t dwSize = 0;
    uint32_t dwFlags = 0;
    uint32_t dwHeight = 0;
    uint32_t dwWidth = 0;
    int32_t lPitch = 0;
    uint32_t dwBackBufferCount = 0;
    void* lpSurface = nullptr;
    DrawColorKey ddckCKSrcBlt;
    DrawPixelFormat ddpfPixelFormat;
    uint32_t dwCaps = 0;
};

struct DrawBltFX {
    uint32_t dwSize = 0;
    uint32_t dwDDFX = 0;
    uint32_t dwFillColor = 0;
};

struct DrawCaps {
    uint32_t dwSize = 0;
    uint32_t dwCaps = 0;
    uint32_t dwCaps2 = 0;
    uint32_t dwVidMemTotal = 0;
    uint32_t dwVidMemFree = 0;
};

struct PaletteEntry {
    uint8_t peRed = 0;
    uint8_t peGreen = 0;
    uint8_t peBlue = 0;
    uint8_t peFlags = 0;
};

// The interfaces an object can be asked for.
enum class DrawInterface {
    DirectDraw, DirectDraw4, DirectDraw7, Surface, Surface4, Surface7, GammaControl
};

struct DriverGuid {
    uint8_t Bytes[16] = {};
};

class DrawBackend;
class DrawDevice;
struct PixelStore;

class DrawPalette {
public:
    DrawResult GetEntries(uint32_t flags, uint32_t start, uint32_t count, PaletteEntry* out) const;
    DrawResult SetEntries(uint32_t flags, uint32_t start, uint32_t count, const PaletteEntry* in);
    uint32_t Caps() const { return caps_; }

private:
    friend class DrawDevice;
    uint32_t caps_ = 0;
    std::vector<PaletteEntry> entries_;
};

class DrawClipper {
public:
    DrawClipper();
    DrawResult SetHWnd(uint32_t flags, QWidget* window);
    DrawResult GetHWnd(QWidget*& window) const;
    // Rectangles in the coordinates of the surface the clipper is attached to.
    DrawResult SetClipList(const std::vector<gfx::TRect>& rects, uint32_t flags);
    DrawResult GetClipList(std::vector<gfx::TRect>& rects) const;
    QWidget* Window() const;

private:
    friend class DrawSurface;
    struct Impl;
    std::shared_ptr<Impl> impl_;
};

class DrawSurface {
public:
    ~DrawSurface();
    DrawSurface(const DrawSurface&) = delete;
    DrawSurface& operator=(const DrawSurface&) = delete;

    bool QueryInterface(DrawInterface iface) const;
    DrawResult GetSurfaceDesc(DrawSurfaceDesc& desc) const;
    uint32_t Width() const;
    uint32_t Height() const;
    uint32_t BitCount() const;

    DrawResult Blt(const gfx::TRect* dest, DrawSurface* source, const gfx::TRect* src,
                   uint32_t flags, const DrawBltFX* fx);
    DrawResult BltFast(int32_t x, int32_t y, DrawSurface* source, const gfx::TRect* src,
                       uint32_t flags);
    DrawResult Lock(const gfx::TRect* rect, DrawSurfaceDesc& desc, uint32_t flags);
    DrawResult Unlock(void* bits);
    // A canvas on a view of the surface's memory, owned by the surface until ReleaseDC.
    DrawResult GetDC(gfx::TCanvas*& canvas);
    DrawResult ReleaseDC(gfx::TCanvas* canvas);
    DrawResult SetColorKey(uint32_t flags, const DrawColorKey* key);
    DrawResult GetColorKey(uint32_t flags, DrawColorKey& key) const;
    DrawResult SetClipper(const std::shared_ptr<DrawClipper>& clipper);
    DrawResult GetClipper(std::shared_ptr<DrawClipper>& clipper) const;
    DrawResult SetPalette(const std::shared_ptr<DrawPalette>& palette);
    DrawResult GetPalette(std::shared_ptr<DrawPalette>& palette) const;
    DrawResult IsLost() const;
    DrawResult Restore();
    DrawResult Flip(DrawSurface* target, uint32_t flags);
    DrawResult GetAttachedSurface(uint32_t caps, std::shared_ptr<DrawSurface>& out) const;

private:
    friend class DrawDevice;
    friend class DrawBackend;
    DrawSurface() = default;
    bool Busy() const;
    DrawResult CheckUsable() const;
    DrawResult BlitTo(const gfx::TRect& dest, DrawSurface* source, const gfx::TRect& src,
                      bool fill, uint32_t fillColor, bool keyed, uint32_t ddfx, bool clip);
    DrawResult PresentToWindow(const gfx::TRect& dest, DrawSurface* source,
                               const gfx::TRect& src, uint32_t fillColor, bool fill,
                               bool keyed, uint32_t ddfx);

    std::shared_ptr<DrawBackend> backend_;
    std::shared_ptr<PixelStore> store_;
    uint32_t caps_ = 0;
    bool hasKey_ = false;
    DrawColorKey key_;
    std::shared_ptr<DrawClipper> clipper_;
    std::shared_ptr<DrawPalette> palette_;
    std::shared_ptr<DrawSurface> back_;
    bool locked_ = false;
    std::unique_ptr<gfx::TCanvas> canvas_;
    QImage view_;
};

using DisplayModeCallback = std::function<bool(const DrawSurfaceDesc&)>;

class DrawDevice {
public:
    bool QueryInterface(DrawInterface iface) const;
    DrawResult GetCaps(DrawCaps* driver, DrawCaps* hel) const;
    DrawResult SetCooperativeLevel(QWidget* window, uint32_t flags);
    DrawResult CreateSurface(const DrawSurfaceDesc& desc, std::shared_ptr<DrawSurface>& out);
    DrawResult CreateClipper(uint32_t flags, std::shared_ptr<DrawClipper>& out);
    DrawResult CreatePalette(uint32_t caps, const PaletteEntry* entries,
                             std::shared_ptr<DrawPalette>& out);
    // A second surface on the same pixels.
    DrawResult DuplicateSurface(const std::shared_ptr<DrawSurface>& source,
                                std::shared_ptr<DrawSurface>& out);
    // One mode: the desktop's.
    DrawResult EnumDisplayModes(const DisplayModeCallback& callback) const;
    DrawResult GetDisplayMode(DrawSurfaceDesc& desc) const;
    DrawResult SetDisplayMode(uint32_t width, uint32_t height, uint32_t bitCount);
    DrawResult RestoreDisplayMode() { return DD_OK; }
    DrawResult WaitForVerticalBlank(uint32_t flags, void* event);
    DrawResult FlipToGDISurface() { return DD_OK; }
    QWidget* CooperativeWindow() const { return window_; }

private:
    friend class DrawBackend;
    std::shared_ptr<DrawBackend> backend_;
    bool draw7_ = false;
    QWidget* window_ = nullptr;
};

// What the memory backend refuses or does; set them between calls to test failure paths.
struct MemoryHooks {
    bool RefuseDevice = false;        // DirectDrawCreate/Ex fail
    bool RefuseDirectDraw7 = false;   // the device has no IDirectDraw7
    bool RefuseClipper = false;
    bool RefusePrimary = false;
    bool RefuseVideoMemory = false;   // surfaces only in system memory
    bool RefuseSurfaces = false;      // every off-screen surface fails
};

class DrawBackend : public std::enable_shared_from_this<DrawBackend> {
public:
    // The screen: 16 bits when its depth is 16 or less, else 32; never loses surfaces.
    static std::shared_ptr<DrawBackend> Widget();
    // Off screen: bitCount 16 or 32, a desktop of the given size.
    static std::shared_ptr<DrawBackend> Memory(uint32_t bitCount, int32_t desktopWidth = 1024,
                                               int32_t desktopHeight = 768);

    uint32_t BitCount() const { return bits_; }
    int32_t DesktopWidth() const { return desktopW_; }
    int32_t DesktopHeight() const { return desktopH_; }
    bool IsMemory() const { return memory_; }
    MemoryHooks& Hooks() { return hooks_; }
    // Memory backend: every surface made so far reports DDERR_SURFACELOST until restored.
    void LoseSurfaces();
    // Memory backend: the desktop behind the primary surface.
    QImage Desktop() const;

    DrawResult Create(const DriverGuid* driver, bool directDraw7,
                      std::shared_ptr<DrawDevice>& out);

private:
    friend class DrawDevice;
    friend class DrawSurface;
    DrawBackend() = default;
    std::shared_ptr<PixelStore> NewStore(int32_t w, int32_t h);

    bool memory_ = false;
    uint32_t bits_ = 32;
    int32_t desktopW_ = 0;
    int32_t desktopH_ = 0;
    MemoryHooks hooks_;
    std::shared_ptr<PixelStore> desktop_;
    std::vector<std::weak_ptr<PixelStore>> stores_;
};

// The backend the entry points use (the widget backend until another is set).
std::shared_ptr<DrawBackend> CurrentBackend();
void SetCurrentBackend(std::shared_ptr<DrawBackend> backend);

// The entry points of the display library.
DrawResult DirectDrawCreateEx(const DriverGuid* driver, std::shared_ptr<DrawDevice>& out);
DrawResult DirectDrawCreate(const DriverGuid* driver, std::shared_ptr<DrawDevice>& out);
using DriverCallback = std::function<bool(const DriverGuid* guid, const char* description,
                                          const char* name)>;
DrawResult DirectDrawEnumerate(const DriverCallback& callback);

// Widget backend: the image presented for a control (null before its first present).
const QImage* PresentedImage(const QWidget* control);
// While one lives, presents into `control` schedule no repaint (it is painting already).
class PaintScope {
public:
    explicit PaintScope(const QWidget* control);
    ~PaintScope();
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;

private:
    const QWidget* control_;
};

}  // namespace draw
