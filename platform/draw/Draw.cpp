#include "platform/draw/Draw.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>

#include "platform/gfx/Canvas.h"

namespace draw {

using gfx::TRect;

struct PixelStore {
    int32_t w = 0;
    int32_t h = 0;
    int32_t pitch = 0;
    uint32_t bits = 32;
    std::unique_ptr<uint32_t[]> mem;
    bool lost = false;
    int busy = 0;  // canvases out and locks held
    uint8_t* Row(int32_t y) { return reinterpret_cast<uint8_t*>(mem.get()) + size_t(y) * pitch; }
    void Clear() { std::memset(mem.get(), 0, size_t(pitch) * h); }
};

namespace {

uint32_t Mask(uint32_t bits) { return bits == 16 ? 0xFFFFu : 0xFFFFFFu; }

QImage::Format FormatOf(uint32_t bits)
{
    return bits == 16 ? QImage::Format_RGB16 : QImage::Format_RGB32;
}

// Pixels the blitter reads or writes: memory, its row step and its size.
struct Plane {
    uint8_t* data = nullptr;
    int32_t pitch = 0;
    int32_t w = 0;
    int32_t h = 0;
    uint32_t bits = 32;
};

Plane PlaneOf(PixelStore& s) { return {s.Row(0), s.pitch, s.w, s.h, s.bits}; }

inline uint32_t ReadPixel(const Plane& p, int32_t x, int32_t y)
{
    const uint8_t* row = p.data + size_t(y) * p.pitch;
    if (p.bits == 16) {
        uint16_t v;
        std::memcpy(&v, row + size_t(x) * 2, 2);
        return v;
    }
    uint32_t v;
    std::memcpy(&v, row + size_t(x) * 4, 4);
    return v;
}

inline void WritePixel(const Plane& p, int32_t x, int32_t y, uint32_t v)
{
    uint8_t* row = p.data + size_t(y) * p.pitch;
    if (p.bits == 16) {
        const uint16_t s = uint16_t(v);
        std::memcpy(row + size_t(x) * 2, &s, 2);
    } else {
        std::memcpy(row + size_t(x) * 4, &v, 4);
    }
}

bool Inside(const TRect& r, int32_t w, int32_t h)
{
    return r.Left >= 0 && r.Top >= 0 && r.Right <= w && r.Bottom <= h && !r.IsEmpty();
}

struct BlitJob {
    TRect dest;              // unclipped destination
    const Plane* src = nullptr;  // none: fill
    TRect srcRect;
    uint32_t fill = 0;
    bool keyed = false;
    uint32_t keyLow = 0;
    uint32_t keyHigh = 0;
    bool mirrorX = false;
    bool mirrorY = false;
};

// Draws `job` onto `dst` inside `clip` (already within dst). Destination pixels map back to
// source pixels through the unclipped rectangles, so a clipped blit is the unclipped one cut.
void BlitInto(const Plane& dst, const TRect& clip, const BlitJob& job)
{
    const TRect area = gfx::IntersectRect(clip, job.dest);
    if (area.IsEmpty())
        return;
    const size_t bpp = dst.bits / 8;
    if (!job.src) {
        // Rows are 32-bit aligned (see NewStore and QImage), so whole pixels can be stored.
        for (int32_t y = area.Top; y < area.Bottom; ++y) {
            uint8_t* row = dst.data + size_t(y) * dst.pitch;
            if (dst.bits == 16)
                std::fill_n(reinterpret_cast<uint16_t*>(row) + area.Left, area.Width(),
                            uint16_t(job.fill));
            else
                std::fill_n(reinterpret_cast<uint32_t*>(row) + area.Left, area.Width(), job.fill);
        }
        return;
    }
    const Plane& src = *job.src;
    const int64_t dw = job.dest.Width(), dh = job.dest.Height();
    const int64_t sw = job.srcRect.Width(), sh = job.srcRect.Height();
    const bool plain = !job.keyed && !job.mirrorX && !job.mirrorY && dw == sw && dh == sh;
    const uint32_t mask = Mask(dst.bits);
    std::vector<int32_t> columns(size_t(area.Width()));
    for (int32_t x = area.Left; x < area.Right; ++x) {
        const int64_t off = (x - job.dest.Left) * sw / dw;
        columns[size_t(x - area.Left)] =
            int32_t(job.mirrorX ? job.srcRect.Right - 1 - off : job.srcRect.Left + off);
    }
    for (int32_t y = area.Top; y < area.Bottom; ++y) {
        const int64_t off = (y - job.dest.Top) * sh / dh;
        const int32_t sy =
            int32_t(job.mirrorY ? job.srcRect.Bottom - 1 - off : job.srcRect.Top + off);
        if (plain) {
            std::memmove(dst.data + size_t(y) * dst.pitch + size_t(area.Left) * bpp,
                         src.data + size_t(sy) * src.pitch + size_t(columns[0]) * bpp,
                         size_t(area.Width()) * bpp);
            continue;
        }
        for (int32_t x = area.Left; x < area.Right; ++x) {
            const uint32_t v = ReadPixel(src, columns[size_t(x - area.Left)], sy);
            if (job.keyed) {
                const uint32_t k = v & mask;
                if (k >= job.keyLow && k <= job.keyHigh)
                    continue;
            }
            WritePixel(dst, x, y, v);
        }
    }
}

struct Presented {
    QImage image;
    int painting = 0;
};

std::unordered_map<const QWidget*, Presented>& PresentedImages()
{
    static std::unordered_map<const QWidget*, Presented> images;
    return images;
}

Presented& PresentedFor(const QWidget* window)
{
    auto& images = PresentedImages();
    auto it = images.find(window);
    if (it == images.end()) {
        it = images.emplace(window, Presented{}).first;
        QObject::connect(window, &QObject::destroyed,
                         [window] { PresentedImages().erase(window); });
    }
    return it->second;
}

std::shared_ptr<DrawBackend>& Current()
{
    static std::shared_ptr<DrawBackend> backend;
    return backend;
}

TRect GlobalRect(const QWidget* w)
{
    const QPoint o = w->mapToGlobal(QPoint(0, 0));
    return gfx::Bounds(o.x(), o.y(), w->width(), w->height());
}

}  // namespace

// ---- palette and clipper -------------------------------------------------------------------

DrawResult DrawPalette::GetEntries(uint32_t, uint32_t start, uint32_t count,
                                   PaletteEntry* out) const
{
    if (!out || start > entries_.size() || count > entries_.size() - start)
        return DDERR_INVALIDPARAMS;
    std::copy_n(entries_.begin() + start, count, out);
    return DD_OK;
}

DrawResult DrawPalette::SetEntries(uint32_t, uint32_t start, uint32_t count,
                                   const PaletteEntry* in)
{
    if (!in || start > entries_.size() || count > entries_.size() - start)
        return DDERR_INVALIDPARAMS;
    std::copy_n(in, count, entries_.begin() + start);
    return DD_OK;
}

struct DrawClipper::Impl {
    QPointer<QWidget> window;
    std::vector<TRect> rects;
};

DrawClipper::DrawClipper() : impl_(std::make_shared<Impl>()) {}

DrawResult DrawClipper::SetHWnd(uint32_t, QWidget* window)
{
    impl_->window = window;
    impl_->rects.clear();
    return DD_OK;
}

DrawResult DrawClipper::GetHWnd(QWidget*& window) const
{
    window = impl_->window.data();
    return DD_OK;
}

QWidget* DrawClipper::Window() const { return impl_->window.data(); }

DrawResult DrawClipper::SetClipList(const std::vector<TRect>& rects, uint32_t)
{
    impl_->window = nullptr;
    impl_->rects = rects;
    return DD_OK;
}

DrawResult DrawClipper::GetClipList(std::vector<TRect>& rects) const
{
    if (impl_->window) {
        rects = {GlobalRect(impl_->window)};
        return DD_OK;
    }
    rects = impl_->rects;
    return DD_OK;
}

// ---- surfaces -----------------------------------------------------------------------------

DrawSurface::~DrawSurface()
{
    if (store_)
        store_->busy -= int(locked_) + int(bool(canvas_));
}

bool DrawSurface::QueryInterface(DrawInterface iface) const
{
    return iface == DrawInterface::Surface || iface == DrawInterface::Surface4 ||
           iface == DrawInterface::Surface7;
}

uint32_t DrawSurface::Width() const
{
    return store_ ? uint32_t(store_->w) : uint32_t(backend_->desktopW_);
}

uint32_t DrawSurface::Height() const
{
    return store_ ? uint32_t(store_->h) : uint32_t(backend_->desktopH_);
}

uint32_t DrawSurface::BitCount() const { return backend_->bits_; }

DrawResult DrawSurface::GetSurfaceDesc(DrawSurfaceDesc& desc) const
{
    const uint32_t size = desc.dwSize;
    desc = {};
    desc.dwSize = size;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT;
    desc.dwWidth = Width();
    desc.dwHeight = Height();
    desc.lPitch = store_ ? store_->pitch : 0;
    desc.dwCaps = caps_;
    desc.dwBackBufferCount = back_ ? 1 : 0;
    desc.ddckCKSrcBlt = key_;
    auto& pf = desc.ddpfPixelFormat;
    pf.dwFlags = DDPF_RGB;
    pf.dwRGBBitCount = BitCount();
    if (BitCount() == 16) {
        pf.dwRBitMask = 0xF800;
        pf.dwGBitMask = 0x07E0;
        pf.dwBBitMask = 0x001F;
    } else {
        pf.dwRBitMask = 0xFF0000;
        pf.dwGBitMask = 0xFF00;
        pf.dwBBitMask = 0xFF;
    }
    return DD_OK;
}

bool DrawSurface::Busy() const { return store_ && store_->busy > 0; }

DrawResult DrawSurface::CheckUsable() const
{
    if (Busy())
        return DDERR_SURFACEBUSY;
    if (store_ && store_->lost)
        return DDERR_SURFACELOST;
    return DD_OK;
}

DrawResult DrawSurface::Blt(const TRect* dest, DrawSurface* source, const TRect* src,
                            uint32_t flags, const DrawBltFX* fx)
{
    const bool fill = flags & DDBLT_COLORFILL;
    if (fill && !fx)
        return DDERR_INVALIDPARAMS;
    if (!fill && !source)
        return DDERR_INVALIDPARAMS;
    const uint32_t ddfx = (flags & DDBLT_DDFX) && fx ? fx->dwDDFX : 0;
    const TRect d = dest ? *dest : gfx::Rect(0, 0, int32_t(Width()), int32_t(Height()));
    TRect s;
    if (source)
        s = src ? *src : gfx::Rect(0, 0, int32_t(source->Width()), int32_t(source->Height()));
    return BlitTo(d, fill ? nullptr : source, s, fill, fill ? fx->dwFillColor : 0,
                  flags & DDBLT_KEYSRC, ddfx, true);
}

DrawResult DrawSurface::BltFast(int32_t x, int32_t y, DrawSurface* source, const TRect* src,
                                uint32_t flags)
{
    if (!source)
        return DDERR_INVALIDPARAMS;
    if (clipper_)
        return DDERR_BLTFASTCANTCLIP;
    const TRect s =
        src ? *src : gfx::Rect(0, 0, int32_t(source->Width()), int32_t(source->Height()));
    return BlitTo(gfx::Bounds(x, y, s.Width(), s.Height()), source, s, false, 0,
                  flags & DDBLTFAST_SRCCOLORKEY, 0, false);
}

DrawResult DrawSurface::BlitTo(const TRect& dest, DrawSurface* source, const TRect& src,
                               bool fill, uint32_t fillColor, bool keyed, uint32_t ddfx,
                               bool clip)
{
    if (DrawResult r = CheckUsable())
        return r;
    if (source && source != this)
        if (DrawResult r = source->CheckUsable())
            return r;
    if (dest.IsEmpty())
        return DDERR_INVALIDRECT;
    if (source) {
        if (!source->store_)
            return DDERR_UNSUPPORTED;
        if (source->BitCount() != BitCount())
            return DDERR_INVALIDPIXELFORMAT;
        if (!Inside(src, source->store_->w, source->store_->h))
            return DDERR_INVALIDRECT;
    }
    const bool hasClipper = clip && clipper_;
    if (!store_) {
        // The widget backend's screen: the blit lands in the clipper's control.
        return PresentToWindow(dest, source, src, fillColor, fill, keyed, ddfx);
    }
    if (!hasClipper && !Inside(dest, store_->w, store_->h))
        return DDERR_INVALIDRECT;

    // A source that shares this surface's pixels is copied first, so overlapping blits read
    // what was there before.
    PixelStore copy;
    Plane srcPlane;
    if (source) {
        srcPlane = PlaneOf(*source->store_);
        if (source->store_ == store_) {
            copy.w = store_->w;
            copy.h = store_->h;
            copy.pitch = store_->pitch;
            copy.bits = store_->bits;
            copy.mem.reset(new uint32_t[size_t(copy.pitch) * copy.h / 4]);
            std::memcpy(copy.mem.get(), store_->mem.get(), size_t(copy.pitch) * copy.h);
            srcPlane = PlaneOf(copy);
        }
    }
    BlitJob job;
    job.dest = dest;
    job.src = source ? &srcPlane : nullptr;
    job.srcRect = src;
    job.fill = fillColor & Mask(BitCount());
    if (keyed && source && source->hasKey_) {
        job.keyed = true;
        job.keyLow = source->key_.dwColorSpaceLowValue & Mask(BitCount());
        job.keyHigh = source->key_.dwColorSpaceHighValue & Mask(BitCount());
    }
    job.mirrorX = ddfx & DDBLTFX_MIRRORLEFTRIGHT;
    job.mirrorY = ddfx & DDBLTFX_MIRRORUPDOWN;

    const Plane dst = PlaneOf(*store_);
    const TRect bounds = gfx::Rect(0, 0, store_->w, store_->h);
    std::vector<TRect> clips{bounds};
    if (hasClipper) {
        std::vector<TRect> list;
        clipper_->GetClipList(list);
        if (clipper_->Window() || !list.empty()) {
            clips.clear();
            for (const TRect& r : list)
                clips.push_back(gfx::IntersectRect(r, bounds));
        }
    }
    for (const TRect& c : clips)
        BlitInto(dst, c, job);
    return DD_OK;
}

DrawResult DrawSurface::PresentToWindow(const TRect& dest, DrawSurface* source,
                                        const TRect& src, uint32_t fillColor, bool fill,
                                        bool keyed, uint32_t ddfx)
{
    QWidget* window = clipper_ ? clipper_->Window() : nullptr;
    if (!window)
        return DD_OK;  // nothing of the screen is ours to draw on
    Presented& presented = PresentedFor(window);
    QImage& image = presented.image;
    if (image.size() != window->size() || image.format() != FormatOf(BitCount())) {
        image = QImage(window->size(), FormatOf(BitCount()));
        image.fill(Qt::black);
    }
    if (image.isNull())
        return DD_OK;
    const QPoint origin = window->mapToGlobal(QPoint(0, 0));
    const TRect local = gfx::OffsetRect(dest, -origin.x(), -origin.y());
    Plane srcPlane;
    BlitJob job;
    job.dest = local;
    if (source && !fill) {
        srcPlane = PlaneOf(*source->store_);
        job.src = &srcPlane;
        job.srcRect = src;
        if (keyed && source->hasKey_) {
            job.keyed = true;
            job.keyLow = source->key_.dwColorSpaceLowValue & Mask(BitCount());
            job.keyHigh = source->key_.dwColorSpaceHighValue & Mask(BitCount());
        }
    }
    job.fill = fillColor & Mask(BitCount());
    job.mirrorX = ddfx & DDBLTFX_MIRRORLEFTRIGHT;
    job.mirrorY = ddfx & DDBLTFX_MIRRORUPDOWN;
    const Plane dst{image.bits(), int32_t(image.bytesPerLine()), image.width(), image.height(),
                    BitCount()};
    const TRect bounds = gfx::Rect(0, 0, image.width(), image.height());
    BlitInto(dst, bounds, job);
    const TRect changed = gfx::IntersectRect(bounds, local);
    if (presented.painting == 0 && !changed.IsEmpty())
        window->update(changed.Left, changed.Top, changed.Width(), changed.Height());
    return DD_OK;
}

DrawResult DrawSurface::Lock(const TRect* rect, DrawSurfaceDesc& desc, uint32_t)
{
    if (!store_)
        return DDERR_UNSUPPORTED;
    if (DrawResult r = CheckUsable())
        return r;
    const TRect r = rect ? *rect : gfx::Rect(0, 0, store_->w, store_->h);
    if (!Inside(r, store_->w, store_->h))
        return DDERR_INVALIDRECT;
    GetSurfaceDesc(desc);
    desc.dwFlags |= DDSD_LPSURFACE;
    desc.lpSurface = store_->Row(r.Top) + size_t(r.Left) * (BitCount() / 8);
    locked_ = true;
    ++store_->busy;
    return DD_OK;
}

DrawResult DrawSurface::Unlock(void*)
{
    if (!locked_)
        return DDERR_NOTLOCKED;
    locked_ = false;
    --store_->busy;
    return DD_OK;
}

DrawResult DrawSurface::GetDC(gfx::TCanvas*& canvas)
{
    canvas = nullptr;
    if (!store_)
        return DDERR_NODC;
    if (canvas_)
        return DDERR_DCALREADYCREATED;
    if (DrawResult r = CheckUsable())
        return r;
    view_ = QImage(store_->Row(0), store_->w, store_->h, store_->pitch, FormatOf(BitCount()));
    canvas_ = std::make_unique<gfx::TCanvas>(&view_);
    ++store_->busy;
    canvas = canvas_.get();
    return DD_OK;
}

DrawResult DrawSurface::ReleaseDC(gfx::TCanvas* canvas)
{
    if (!canvas_ || canvas != canvas_.get())
        return DDERR_NODC;
    canvas_.reset();
    view_ = QImage();
    --store_->busy;
    return DD_OK;
}

DrawResult DrawSurface::SetColorKey(uint32_t flags, const DrawColorKey* key)
{
    if (!(flags & DDCKEY_SRCBLT))
        return DDERR_UNSUPPORTED;
    hasKey_ = key != nullptr;
    key_ = key ? *key : DrawColorKey{};
    return DD_OK;
}

DrawResult DrawSurface::GetColorKey(uint32_t flags, DrawColorKey& key) const
{
    if (!(flags & DDCKEY_SRCBLT) || !hasKey_)
        return DDERR_NOCOLORKEY;
    key = key_;
    return DD_OK;
}

DrawResult DrawSurface::SetClipper(const std::shared_ptr<DrawClipper>& clipper)
{
    clipper_ = clipper;
    return DD_OK;
}

DrawResult DrawSurface::GetClipper(std::shared_ptr<DrawClipper>& clipper) const
{
    clipper = clipper_;
    return clipper_ ? DD_OK : DDERR_NOCLIPPERATTACHED;
}

DrawResult DrawSurface::SetPalette(const std::shared_ptr<DrawPalette>& palette)
{
    palette_ = palette;
    return DD_OK;
}

DrawResult DrawSurface::GetPalette(std::shared_ptr<DrawPalette>& palette) const
{
    palette = palette_;
    return palette_ ? DD_OK : DDERR_NOTFOUND;
}

DrawResult DrawSurface::IsLost() const
{
    return store_ && store_->lost ? DDERR_SURFACELOST : DD_OK;
}

DrawResult DrawSurface::Restore()
{
    if (store_ && store_->lost) {
        if (Busy())
            return DDERR_SURFACEBUSY;
        store_->Clear();
        store_->lost = false;
    }
    if (back_)
        return back_->Restore();
    return DD_OK;
}

DrawResult DrawSurface::Flip(DrawSurface*, uint32_t)
{
    if (!back_ || !store_)
        return DDERR_NOTFLIPPABLE;
    if (DrawResult r = CheckUsable())
        return r;
    if (DrawResult r = back_->CheckUsable())
        return r;
    std::swap(store_->mem, back_->store_->mem);
    if (!backend_->memory_ && clipper_ && clipper_->Window()) {
        const TRect whole = gfx::Rect(0, 0, store_->w, store_->h);
        // The screen of the widget backend is the clipper's control.
        DrawSurface front;
        front.backend_ = backend_;
        front.store_ = store_;
        PresentToWindow(whole, &front, whole, 0, false, false, 0);
    }
    return DD_OK;
}

DrawResult DrawSurface::GetAttachedSurface(uint32_t caps, std::shared_ptr<DrawSurface>& out) const
{
    out = (caps & DDSCAPS_BACKBUFFER) ? back_ : nullptr;
    return out ? DD_OK : DDERR_NOTFOUND;
}

// ---- device -------------------------------------------------------------------------------

bool DrawDevice::QueryInterface(DrawInterface iface) const
{
    switch (iface) {
    case DrawInterface::DirectDraw:
    case DrawInterface::DirectDraw4:
        return true;
    case DrawInterface::DirectDraw7:
        return draw7_;
    default:
        return false;
    }
}

DrawResult DrawDevice::GetCaps(DrawCaps* driver, DrawCaps* hel) const
{
    for (DrawCaps* c : {driver, hel})
        if (c) {
            const uint32_t size = c->dwSize;
            *c = {};
            c->dwSize = size;
        }
    return DD_OK;
}

DrawResult DrawDevice::SetCooperativeLevel(QWidget* window, uint32_t)
{
    window_ = window;
    return DD_OK;
}

DrawResult DrawDevice::CreateSurface(const DrawSurfaceDesc& desc, std::shared_ptr<DrawSurface>& out)
{
    out.reset();
    DrawBackend& b = *backend_;
    auto surface = std::shared_ptr<DrawSurface>(new DrawSurface);
    surface->backend_ = backend_;
    const uint32_t caps = (desc.dwFlags & DDSD_CAPS) ? desc.dwCaps : 0;
    if (caps & DDSCAPS_PRIMARYSURFACE) {
        if (b.hooks_.RefusePrimary)
            return DDERR_NODIRECTDRAWHW;
        const bool flipping = (caps & DDSCAPS_FLIP) && (desc.dwFlags & DDSD_BACKBUFFERCOUNT) &&
                              desc.dwBackBufferCount > 0;
        surface->caps_ = DDSCAPS_PRIMARYSURFACE | DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM |
                         DDSCAPS_FRONTBUFFER | (caps & (DDSCAPS_FLIP | DDSCAPS_COMPLEX));
        if (b.memory_)
            surface->store_ = b.desktop_;
        else if (flipping)
            surface->store_ = b.NewStore(b.desktopW_, b.desktopH_);
        if (flipping) {
            auto back = std::shared_ptr<DrawSurface>(new DrawSurface);
            back->backend_ = backend_;
            back->store_ = b.NewStore(b.desktopW_, b.desktopH_);
            back->caps_ = DDSCAPS_BACKBUFFER | DDSCAPS_FLIP | DDSCAPS_COMPLEX |
                          (b.hooks_.RefuseVideoMemory
                               ? DDSCAPS_SYSTEMMEMORY
                               : DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM);
            surface->back_ = back;
        }
        out = surface;
        return DD_OK;
    }
    if ((desc.dwFlags & (DDSD_WIDTH | DDSD_HEIGHT)) != (DDSD_WIDTH | DDSD_HEIGHT) ||
        desc.dwWidth < 1 || desc.dwHeight < 1)
        return DDERR_INVALIDPARAMS;
    // Bounded so that a row and the whole memory stay well inside 32 bits.
    if (desc.dwWidth > 16384 || desc.dwHeight > 16384)
        return DDERR_OUTOFMEMORY;
    if (b.hooks_.RefuseSurfaces)
        return DDERR_OUTOFMEMORY;
    if (caps & DDSCAPS_SYSTEMMEMORY) {
        surface->caps_ = DDSCAPS_SYSTEMMEMORY;
    } else {
        if (b.hooks_.RefuseVideoMemory)
            return DDERR_OUTOFVIDEOMEMORY;
        surface->caps_ = DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM;
    }
    surface->caps_ |= caps & (DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE);
    surface->store_ = b.NewStore(int32_t(desc.dwWidth), int32_t(desc.dwHeight));
    if (desc.dwFlags & DDSD_CKSRCBLT) {
        surface->hasKey_ = true;
        surface->key_ = desc.ddckCKSrcBlt;
    }
    out = surface;
    return DD_OK;
}

DrawResult DrawDevice::CreateClipper(uint32_t, std::shared_ptr<DrawClipper>& out)
{
    out.reset();
    if (backend_->hooks_.RefuseClipper)
        return DDERR_OUTOFMEMORY;
    out = std::make_shared<DrawClipper>();
    return DD_OK;
}

DrawResult DrawDevice::CreatePalette(uint32_t caps, const PaletteEntry* entries,
                                     std::shared_ptr<DrawPalette>& out)
{
    out.reset();
    const size_t count = (caps & DDPCAPS_8BIT) ? 256 : (caps & DDPCAPS_4BIT) ? 16 : 0;
    if (count == 0 || !entries)
        return DDERR_INVALIDPARAMS;
    auto palette = std::make_shared<DrawPalette>();
    palette->caps_ = caps;
    palette->entries_.assign(entries, entries + count);
    out = palette;
    return DD_OK;
}

DrawResult DrawDevice::DuplicateSurface(const std::shared_ptr<DrawSurface>& source,
                                        std::shared_ptr<DrawSurface>& out)
{
    out.reset();
    if (!source || !source->store_ || (source->caps_ & DDSCAPS_PRIMARYSURFACE))
        return DDERR_INVALIDPARAMS;
    auto copy = std::shared_ptr<DrawSurface>(new DrawSurface);
    copy->backend_ = source->backend_;
    copy->store_ = source->store_;
    copy->caps_ = source->caps_;
    copy->hasKey_ = source->hasKey_;
    copy->key_ = source->key_;
    out = copy;
    return DD_OK;
}

DrawResult DrawDevice::GetDisplayMode(DrawSurfaceDesc& desc) const
{
    const uint32_t size = desc.dwSize;
    desc = {};
    desc.dwSize = size;
    desc.dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    desc.dwWidth = uint32_t(backend_->desktopW_);
    desc.dwHeight = uint32_t(backend_->desktopH_);
    desc.ddpfPixelFormat.dwFlags = DDPF_RGB;
    desc.ddpfPixelFormat.dwRGBBitCount = backend_->bits_;
    return DD_OK;
}

DrawResult DrawDevice::EnumDisplayModes(const DisplayModeCallback& callback) const
{
    DrawSurfaceDesc desc;
    GetDisplayMode(desc);
    if (callback)
        callback(desc);
    return DD_OK;
}

DrawResult DrawDevice::SetDisplayMode(uint32_t width, uint32_t height, uint32_t bitCount)
{
    return width == uint32_t(backend_->desktopW_) && height == uint32_t(backend_->desktopH_) &&
                   bitCount == backend_->bits_
               ? DD_OK
               : DDERR_INVALIDMODE;
}

DrawResult DrawDevice::WaitForVerticalBlank(uint32_t, void*) { return DD_OK; }

// ---- backends and entry points ------------------------------------------------------------

std::shared_ptr<DrawBackend> DrawBackend::Widget()
{
    auto b = std::shared_ptr<DrawBackend>(new DrawBackend);
    const QScreen* screen = QGuiApplication::primaryScreen();
    b->bits_ = screen && screen->depth() <= 16 ? 16 : 32;
    const QRect g = screen ? screen->virtualGeometry() : QRect(0, 0, 1024, 768);
    b->desktopW_ = std::max(1, g.width());
    b->desktopH_ = std::max(1, g.height());
    return b;
}

std::shared_ptr<DrawBackend> DrawBackend::Memory(uint32_t bitCount, int32_t desktopWidth,
                                                 int32_t desktopHeight)
{
    auto b = std::shared_ptr<DrawBackend>(new DrawBackend);
    b->memory_ = true;
    b->bits_ = bitCount == 16 ? 16 : 32;
    b->desktopW_ = std::clamp(desktopWidth, 1, 16384);
    b->desktopH_ = std::clamp(desktopHeight, 1, 16384);
    b->desktop_ = b->NewStore(b->desktopW_, b->desktopH_);
    return b;
}

std::shared_ptr<PixelStore> DrawBackend::NewStore(int32_t w, int32_t h)
{
    auto s = std::make_shared<PixelStore>();
    s->w = w;
    s->h = h;
    s->bits = bits_;
    const int32_t row = (w * int32_t(bits_ / 8) + 3) & ~3;
    // The memory backend pads rows so that code assuming pitch = width shows up.
    s->pitch = memory_ ? row + 12 : row;
    s->mem.reset(new uint32_t[size_t(s->pitch) * h / 4]());
    std::erase_if(stores_, [](const std::weak_ptr<PixelStore>& p) { return p.expired(); });
    stores_.push_back(s);
    return s;
}

void DrawBackend::LoseSurfaces()
{
    if (!memory_)
        return;
    for (auto& weak : stores_)
        if (auto s = weak.lock())
            s->lost = true;
}

QImage DrawBackend::Desktop() const
{
    if (!desktop_)
        return {};
    return QImage(desktop_->Row(0), desktop_->w, desktop_->h, desktop_->pitch, FormatOf(bits_))
        .copy();
}

DrawResult DrawBackend::Create(const DriverGuid*, bool directDraw7,
                               std::shared_ptr<DrawDevice>& out)
{
    out.reset();
    if (hooks_.RefuseDevice)
        return DDERR_NODIRECTDRAWHW;
    if (directDraw7 && hooks_.RefuseDirectDraw7)
        return DDERR_NOINTERFACE;
    auto device = std::make_shared<DrawDevice>();
    device->backend_ = shared_from_this();
    device->draw7_ = directDraw7;
    out = device;
    return DD_OK;
}

std::shared_ptr<DrawBackend> CurrentBackend()
{
    auto& b = Current();
    if (!b)
        b = DrawBackend::Widget();
    return b;
}

void SetCurrentBackend(std::shared_ptr<DrawBackend> backend) { Current() = std::move(backend); }

DrawResult DirectDrawCreateEx(const DriverGuid* driver, std::shared_ptr<DrawDevice>& out)
{
    return CurrentBackend()->Create(driver, true, out);
}

DrawResult DirectDrawCreate(const DriverGuid* driver, std::shared_ptr<DrawDevice>& out)
{
    return CurrentBackend()->Create(driver, false, out);
}

DrawResult DirectDrawEnumerate(const DriverCallback& callback)
{
    if (callback)
        callback(nullptr, "Primary Display Driver", "display");
    return DD_OK;
}

const QImage* PresentedImage(const QWidget* control)
{
    auto& images = PresentedImages();
    auto it = images.find(control);
    return it == images.end() || it->second.image.isNull() ? nullptr : &it->second.image;
}

PaintScope::PaintScope(const QWidget* control) : control_(control)
{
    ++PresentedFor(control_).painting;
}

PaintScope::~PaintScope()
{
    auto& images = PresentedImages();
    auto it = images.find(control_);
    if (it != images.end())
        --it->second.painting;
}

}  // namespace draw
