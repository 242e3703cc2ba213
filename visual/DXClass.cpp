#include "visual/DXClass.h"
#include "visual/DXRender.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <map>
#include <numbers>

#include "platform/gfx/Colors.h"
#include "visual/DIB.h"

namespace visual {

using gfx::TRect;

namespace {

constexpr uint32_t BltFlags[2] = {draw::DDBLT_WAIT, draw::DDBLT_KEYSRC | draw::DDBLT_WAIT};
constexpr uint32_t BltFastFlags[2] = {draw::DDBLTFAST_WAIT,
                                      draw::DDBLTFAST_SRCCOLORKEY | draw::DDBLTFAST_WAIT};

using CreateProc = draw::DrawResult (*)(const draw::DriverGuid*,
                                        std::shared_ptr<draw::DrawDevice>&);
using EnumerateProc = draw::DrawResult (*)(const draw::DriverCallback&);

draw::DrawBltFX BltFX() { return {100, 0, 0}; }

std::string Format(const char* pattern, const std::string& name)
{
    std::string s = pattern;
    s.replace(s.find("%s"), 2, name);
    return s;
}

template <typename T>
void Unlist(std::vector<T*>& list, T* item)
{
    list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

}  // namespace

int32_t Max(int32_t a, int32_t b) { return a > b ? a : b; }
int32_t Min(int32_t a, int32_t b) { return a < b ? a : b; }

bool RectsOverlap(const TRect& r1, const TRect& r2)
{
    return r1.Left < r2.Right && r1.Right > r2.Left && r1.Top < r2.Bottom && r1.Bottom > r2.Top;
}

const std::array<double, 256>& CosineTable()
{
    static const std::array<double, 256> table = [] {
        std::array<double, 256> t{};
        for (int i = 0; i < 256; ++i)
            t[size_t(i)] = std::cos(i / 256.0 * 2 * std::numbers::pi);
        return t;
    }();
    return table;
}

void* BindLibraryProc(const std::string& fileName, const std::string& procName)
{
    // Our layers stand where the platform's libraries were.
    static const std::map<std::string, std::map<std::string, void*>> layers = {
        {"ddraw.dll",
         {{"DirectDrawCreateEx", reinterpret_cast<void*>(&draw::DirectDrawCreateEx)},
          {"DirectDrawCreate", reinterpret_cast<void*>(&draw::DirectDrawCreate)},
          {"DirectDrawEnumerateA", reinterpret_cast<void*>(&draw::DirectDrawEnumerate)}}}};
    std::string lower = fileName;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    const auto lib = layers.find(lower);
    if (lib != layers.end()) {
        const auto proc = lib->second.find(procName);
        if (proc != lib->second.end())
            return proc->second;
    }
    throw std::runtime_error(Format("%s not loaded", fileName));
}

draw::DrawResult EnumerateDirectDraw(const draw::DriverCallback& callback)
{
    auto proc = reinterpret_cast<EnumerateProc>(BindLibraryProc("DDraw.dll", "DirectDrawEnumerateA"));
    return proc(callback);
}

// ---- display object -----------------------------------------------------------------------

TDirectDraw::TDirectDraw(const draw::DriverGuid* driver, bool directX7Mode)
{
    const char* entry = directX7Mode ? "DirectDrawCreateEx" : "DirectDrawCreate";
    auto create = reinterpret_cast<CreateProc>(BindLibraryProc("DDraw.dll", entry));
    if (create(driver, device_) != draw::DD_OK || !device_)
        throw EDirectDrawError(Format("%s cannot be initialized", "DirectDraw"));
    if (directX7Mode) {
        draw7_ = device_->QueryInterface(draw::DrawInterface::DirectDraw7);
        if (!device_->QueryInterface(draw::DrawInterface::DirectDraw) ||
            !device_->QueryInterface(draw::DrawInterface::DirectDraw4))
            throw EDirectDrawError("Necessary since DirectX 7");
    } else if (!device_->QueryInterface(draw::DrawInterface::DirectDraw4)) {
        throw EDirectDrawError("Necessary since DirectX 6");
    }
    DriverCaps.dwSize = 380;
    HELCaps.dwSize = 380;
    LastResult = device_->GetCaps(&DriverCaps, &HELCaps);
}

TDirectDraw::~TDirectDraw()
{
    while (!Surfaces.empty())
        delete Surfaces.back();
    while (!Palettes.empty())
        delete Palettes.back();
    while (!Clippers.empty())
        delete Clippers.back();
}

draw::DrawDevice& TDirectDraw::DrawIntf() const
{
    if (!device_)
        throw EDirectDrawError(Format("%s not made", "IDirectDraw"));
    return *device_;
}

draw::DrawDevice& TDirectDraw::DrawIntf7() const
{
    if (!device_ || !draw7_)
        throw EDirectDrawError(Format("%s not made", "IDirectDraw7"));
    return *device_;
}

// ---- palette and clipper ------------------------------------------------------------------

TDirectDrawPalette::TDirectDrawPalette(TDirectDraw& ddraw) : DDraw(ddraw)
{
    DDraw.Palettes.push_back(this);
}

TDirectDrawPalette::~TDirectDrawPalette() { Unlist(DDraw.Palettes, this); }

bool TDirectDrawPalette::CreatePalette(uint32_t caps, const draw::PaletteEntry* entries)
{
    intf_.reset();
    std::shared_ptr<draw::DrawPalette> made;
    DDraw.LastResult = DDraw.DrawIntf().CreatePalette(caps, entries, made);
    LastResult = DDraw.LastResult;
    if (LastResult != draw::DD_OK)
        return false;
    intf_ = made;
    return true;
}

bool TDirectDrawPalette::SetEntries(uint32_t start, uint32_t count,
                                    const draw::PaletteEntry* entries)
{
    if (!intf_)
        return false;
    LastResult = intf_->SetEntries(0, start, count, entries);
    return LastResult == draw::DD_OK;
}

const std::shared_ptr<draw::DrawPalette>& TDirectDrawPalette::PaletteIntf() const
{
    if (!intf_)
        throw EDirectDrawPaletteError(Format("%s not made", "IDirectDrawPalette"));
    return intf_;
}

TDirectDrawClipper::TDirectDrawClipper(TDirectDraw& ddraw) : DDraw(ddraw)
{
    DDraw.LastResult = DDraw.DrawIntf().CreateClipper(0, intf_);
    LastResult = DDraw.LastResult;
    if (LastResult != draw::DD_OK)
        throw EDirectDrawClipperError(Format("%s cannot be made", "Clipper"));
    DDraw.Clippers.push_back(this);
}

TDirectDrawClipper::~TDirectDrawClipper() { Unlist(DDraw.Clippers, this); }

void TDirectDrawClipper::SetHandle(QWidget* window) { LastResult = intf_->SetHWnd(0, window); }

void TDirectDrawClipper::SetClipRectangles(const std::vector<TRect>& rects)
{
    LastResult = intf_->SetClipList(rects, 0);
}

const std::shared_ptr<draw::DrawClipper>& TDirectDrawClipper::ClipperIntf() const
{
    if (!intf_)
        throw EDirectDrawClipperError(Format("%s not made", "IDirectDrawClipper"));
    return intf_;
}

// ---- surface canvas -----------------------------------------------------------------------

TDirectDrawSurfaceCanvas::TDirectDrawSurfaceCanvas(TDirectDrawSurface& surface)
    : surface_(surface)
{
}

TDirectDrawSurfaceCanvas::~TDirectDrawSurfaceCanvas() { Release(); }

void TDirectDrawSurfaceCanvas::CreateHandle()
{
    if (!surface_.intf_)
        return;
    gfx::TCanvas* dc = nullptr;
    surface_.LastResult = surface_.intf_->GetDC(dc);
    if (surface_.LastResult == draw::DD_OK)
        dc_ = dc;
}

QImage* TDirectDrawSurfaceCanvas::Surface()
{
    if (!dc_)
        CreateHandle();
    return dc_ ? dc_->Surface() : nullptr;
}

void TDirectDrawSurfaceCanvas::Release()
{
    if (surface_.intf_ && dc_) {
        gfx::TCanvas* dc = dc_;
        dc_ = nullptr;
        surface_.intf_->ReleaseDC(dc);
    }
}

// ---- surface ------------------------------------------------------------------------------

TDirectDrawSurface::TDirectDrawSurface(TDirectDraw& ddraw) : DDraw(ddraw)
{
    DDraw.Surfaces.push_back(this);
}

TDirectDrawSurface::~TDirectDrawSurface()
{
    canvas_.reset();
    AttachSurface(nullptr);
    Unlist(DDraw.Surfaces, this);
}

draw::DrawSurface& TDirectDrawSurface::SurfaceIntf() const
{
    if (!intf_)
        throw EDirectDrawSurfaceError(Format("%s not made", "IDirectDrawSurface"));
    return *intf_;
}

TDirectDrawSurfaceCanvas& TDirectDrawSurface::Canvas()
{
    if (!canvas_)
        canvas_ = std::make_unique<TDirectDrawSurfaceCanvas>(*this);
    return *canvas_;
}

void TDirectDrawSurface::AttachSurface(std::shared_ptr<draw::DrawSurface> value)
{
    if (value && value == intf_)
        return;
    if (canvas_)
        canvas_->Release();
    if (intf_ && LockDepth > 0)
        intf_->Unlock(nullptr);
    intf_.reset();
    ClipperAttached = false;
    LockDepth = 0;
    Description = {};
    if (!value)
        return;
    intf_ = std::move(value);
    std::shared_ptr<draw::DrawClipper> clipper;
    ClipperAttached = intf_->GetClipper(clipper) == draw::DD_OK && clipper;
    Description.dwSize = 108;
    intf_->GetSurfaceDesc(Description);
}

bool TDirectDrawSurface::CreateSurface(const draw::DrawSurfaceDesc& desc)
{
    AttachSurface(nullptr);
    std::shared_ptr<draw::DrawSurface> made;
    DDraw.LastResult = DDraw.DrawIntf().CreateSurface(desc, made);
    LastResult = DDraw.LastResult;
    if (LastResult != draw::DD_OK)
        return false;
    AttachSurface(made);
    SetTransparentColor(0);
    return true;
}

void TDirectDrawSurface::SetSize(int32_t width, int32_t height)
{
    if (width < 1 || height < 1) {
        AttachSurface(nullptr);
        return;
    }
    draw::DrawSurfaceDesc desc;
    desc.dwSize = 108;
    desc.dwFlags = draw::DDSD_CAPS | draw::DDSD_HEIGHT | draw::DDSD_WIDTH;
    desc.dwWidth = uint32_t(width);
    desc.dwHeight = uint32_t(height);
    desc.dwCaps = draw::DDSCAPS_OFFSCREENPLAIN | (UseSystemMemory ? draw::DDSCAPS_SYSTEMMEMORY : 0);
    bool ok = CreateSurface(desc);
    if (!ok && !UseSystemMemory) {
        desc.dwCaps = (desc.dwCaps & ~draw::DDSCAPS_VIDEOMEMORY) | draw::DDSCAPS_SYSTEMMEMORY;
        ok = CreateSurface(desc);
        if (ok)
            UseSystemMemory = true;
    }
    if (!ok)
        throw EDirectDrawSurfaceError(Format("%s cannot be made", "Surface"));
}

bool TDirectDrawSurface::Blt(const TRect* dest, const TRect* src, uint32_t flags,
                             const draw::DrawBltFX& fx, TDirectDrawSurface* source)
{
    if (!intf_)
        return false;
    LastResult = intf_->Blt(dest, source ? source->intf_.get() : nullptr, src, flags, &fx);
    return LastResult == draw::DD_OK;
}

bool TDirectDrawSurface::BltFast(int32_t x, int32_t y, const TRect& src, uint32_t flags,
                                 TDirectDrawSurface* source)
{
    if (!intf_)
        return false;
    LastResult = intf_->BltFast(x, y, source ? source->intf_.get() : nullptr, &src, flags);
    return LastResult == draw::DD_OK;
}

void TDirectDrawSurface::Fill(uint32_t devColor)
{
    draw::DrawBltFX fx = BltFX();
    fx.dwFillColor = devColor;
    Blt(nullptr, nullptr, draw::DDBLT_COLORFILL | draw::DDBLT_WAIT, fx, nullptr);
}

bool ClipRectPair(TRect& destRect, TRect& srcRect, const TRect& destClip, const TRect& srcClip)
{
    if (destClip.Left > destRect.Left) {
        srcRect.Left += destClip.Left - destRect.Left;
        destRect.Left = destClip.Left;
    }
    if (destClip.Top > destRect.Top) {
        srcRect.Top += destClip.Top - destRect.Top;
        destRect.Top = destClip.Top;
    }
    if (srcClip.Left > srcRect.Left) {
        destRect.Left += srcClip.Left - srcRect.Left;
        srcRect.Left = srcClip.Left;
    }
    if (srcClip.Top > srcRect.Top) {
        destRect.Top += srcClip.Top - srcRect.Top;
        srcRect.Top = srcClip.Top;
    }
    if (destClip.Right < destRect.Right) {
        srcRect.Right -= destRect.Right - destClip.Right;
        destRect.Right = destClip.Right;
    }
    if (destClip.Bottom < destRect.Bottom) {
        srcRect.Bottom -= destRect.Bottom - destClip.Bottom;
        destRect.Bottom = destClip.Bottom;
    }
    if (srcClip.Right < srcRect.Right) {
        destRect.Right -= srcRect.Right - srcClip.Right;
        srcRect.Right = srcClip.Right;
    }
    if (srcClip.Bottom < srcRect.Bottom) {
        destRect.Bottom -= srcRect.Bottom - srcClip.Bottom;
        srcRect.Bottom = srcClip.Bottom;
    }
    return !destRect.IsEmpty() && !srcRect.IsEmpty();
}

void TDirectDrawSurface::Draw(int32_t x, int32_t y, const TRect& srcRect,
                              TDirectDrawSurface* source, bool transparent)
{
    if (!source || x > Width() || y > Height())
        return;
    TRect src = srcRect;
    if (src.Left > src.Right || src.Top > src.Bottom) {
        if (std::abs(src.Left - src.Right) + x <= 0 || std::abs(src.Top - src.Bottom) + y <= 0)
            return;
        draw::DrawBltFX fx = BltFX();
        const bool leftRight = src.Left > src.Right;
        const bool upDown = src.Bottom < src.Top;
        if (leftRight) {
            std::swap(src.Left, src.Right);
            fx.dwDDFX |= draw::DDBLTFX_MIRRORLEFTRIGHT;
        }
        if (upDown) {
            std::swap(src.Top, src.Bottom);
            fx.dwDDFX |= draw::DDBLTFX_MIRRORUPDOWN;
        }
        TRect dest = gfx::Rect(x, y, x + src.Width(), y + src.Height());
        if (!ClipRectPair(dest, src, ClientRect(), source->ClientRect()))
            return;
        if (leftRight) {
            const int32_t left = src.Left;
            src.Left = source->Width() - src.Right;
            src.Right = source->Width() - left;
        }
        if (upDown) {
            const int32_t top = src.Top;
            src.Top = source->Height() - src.Bottom;
            src.Bottom = source->Height() - top;
        }
        Blt(&dest, &src, BltFlags[transparent] | draw::DDBLT_DDFX, fx, source);
        return;
    }
    TRect dest = gfx::Rect(x, y, x + src.Width(), y + src.Height());
    if (!ClipRectPair(dest, src, ClientRect(), source->ClientRect()))
        return;
    if (ClipperAttached) {
        Blt(&dest, &src, BltFlags[transparent], BltFX(), source);
        return;
    }
    if (!BltFast(dest.Left, dest.Top, src, BltFastFlags[transparent], source) &&
        LastResult == draw::DDERR_BLTFASTCANTCLIP) {
        std::shared_ptr<draw::DrawClipper> clipper;
        ClipperAttached = intf_->GetClipper(clipper) == draw::DD_OK && clipper;
        Blt(&dest, &src, BltFlags[transparent], BltFX(), source);
    }
}

void TDirectDrawSurface::StretchDraw(const TRect& destRect, const TRect& srcRect,
                                     TDirectDrawSurface* source, bool transparent)
{
    if (!source || destRect.IsEmpty() || srcRect.IsEmpty() || !intf_)
        return;
    if (ClipperAttached) {
        Blt(&destRect, &srcRect, BltFlags[transparent], BltFX(), source);
        return;
    }
    TDirectDrawClipper temporary(DDraw);
    temporary.SetClipRectangles({ClientRect()});
    std::shared_ptr<draw::DrawClipper> previous;
    intf_->GetClipper(previous);
    intf_->SetClipper(temporary.ClipperIntf());
    struct Restore {
        draw::DrawSurface& surface;
        std::shared_ptr<draw::DrawClipper> previous;
        ~Restore() { surface.SetClipper(previous); }
    } restore{*intf_, previous};
    Blt(&destRect, &srcRect, BltFlags[transparent], BltFX(), source);
}

void TDirectDrawSurface::DrawWaveDistort(int32_t x, int32_t y, int32_t width, int32_t height,
                                         const TRect& srcRect, TDirectDrawSurface* source,
                                         bool transparent, int32_t amplitude, int32_t period,
                                         int32_t phase)
{
    if (!source || source == this || !intf_ || !source->intf_ || width == 0 || height == 0)
        return;
    TRenderSurface dest, src;
    if (!LockRenderSurface(*this, dest))
        return;
    if (LockRenderSurface(*source, src)) {
        const uint32_t key = source->LockedDescription.ddckCKSrcBlt.dwColorSpaceLowValue;
        RenderMachine().WaveBlit(dest, src, x, y, width, height, srcRect, amplitude, period,
                                 phase, 1, 0, transparent, key);
        UnlockRenderSurface(*source, src);
    }
    UnlockRenderSurface(*this, dest);
}

bool TDirectDrawSurface::Lock(const TRect* rect, draw::DrawSurfaceDesc& desc)
{
    if (!intf_ || LockDepth >= 1)
        return false;
    LockedDescription = {};
    LockedDescription.dwSize = 108;
    const bool whole = !rect || *rect == ClientRect();
    LastResult = intf_->Lock(whole ? nullptr : rect, LockedDescription, draw::DDLOCK_WAIT);
    if (LastResult != draw::DD_OK)
        return false;
    LockDepth = 1;
    desc = LockedDescription;
    return true;
}

void TDirectDrawSurface::Unlock()
{
    if (!intf_ || LockDepth <= 0)
        return;
    if (--LockDepth == 0)
        LastResult = intf_->Unlock(LockedDescription.lpSurface);
}

bool TDirectDrawSurface::Restore()
{
    if (!intf_)
        return false;
    LastResult = intf_->Restore();
    return LastResult == draw::DD_OK;
}

void TDirectDrawSurface::SetClipper(TDirectDrawClipper* clipper)
{
    if (!intf_)
        return;
    LastResult = intf_->SetClipper(clipper ? clipper->ClipperIntf() : nullptr);
    ClipperAttached = clipper && LastResult == draw::DD_OK;
}

void TDirectDrawSurface::SetPalette(TDirectDrawPalette* palette)
{
    if (!intf_)
        return;
    LastResult = intf_->SetPalette(palette ? palette->PaletteIntf() : nullptr);
}

void TDirectDrawSurface::SetColorKey(uint32_t flags, const draw::DrawColorKey& key)
{
    if (!intf_)
        return;
    LastResult = intf_->SetColorKey(flags, &key);
}

void TDirectDrawSurface::SetTransparentColor(uint32_t value)
{
    SetColorKey(draw::DDCKEY_SRCBLT, {value, value});
}

uint32_t TDirectDrawSurface::Pixel(int32_t x, int32_t y)
{
    if (x < 0 || y < 0 || x >= Width() || y >= Height())
        return 0;
    draw::DrawSurfaceDesc d;
    if (!Lock(nullptr, d))
        return 0;
    const uint8_t* row = static_cast<const uint8_t*>(d.lpSurface) + int64_t(y) * d.lPitch;
    uint32_t v = 0;
    switch (d.ddpfPixelFormat.dwRGBBitCount) {
    case 32:
        std::memcpy(&v, row + size_t(x) * 4, 4);
        v &= 0xFFFFFF;  // the top byte is unused
        break;
    case 24:
        v = row[x * 3] | row[x * 3 + 1] << 8 | row[x * 3 + 2] << 16;
        break;
    case 16: {
        uint16_t w;
        std::memcpy(&w, row + size_t(x) * 2, 2);
        v = w;
        break;
    }
    case 8:
        v = row[x];
        break;
    case 4:
        v = (x % 2) ? row[x / 2] & 15 : row[x / 2] >> 4;
        break;
    case 1:
        v = (row[x / 8] >> (7 - x % 8)) & 1;
        break;
    }
    Unlock();
    return v;
}

void TDirectDrawSurface::SetPixel(int32_t x, int32_t y, uint32_t value)
{
    if (x < 0 || y < 0 || x >= Width() || y >= Height())
        return;
    draw::DrawSurfaceDesc d;
    if (!Lock(nullptr, d))
        return;
    uint8_t* row = static_cast<uint8_t*>(d.lpSurface) + int64_t(y) * d.lPitch;
    switch (d.ddpfPixelFormat.dwRGBBitCount) {
    case 32:
        std::memcpy(row + size_t(x) * 4, &value, 4);
        break;
    case 24:
        row[x * 3] = uint8_t(value);
        row[x * 3 + 1] = uint8_t(value >> 8);
        row[x * 3 + 2] = uint8_t(value >> 16);
        break;
    case 16: {
        const uint16_t w = uint16_t(value);
        std::memcpy(row + size_t(x) * 2, &w, 2);
        break;
    }
    case 8:
        row[x] = uint8_t(value);
        break;
    case 4:
        row[x / 2] = (x % 2) ? uint8_t((row[x / 2] & 0xF0) | (value & 15))
                             : uint8_t((row[x / 2] & 0x0F) | (value & 15) << 4);
        break;
    case 1: {
        const uint8_t bit = uint8_t(0x80 >> (x % 8));
        row[x / 8] = (value & 1) ? uint8_t(row[x / 8] | bit) : uint8_t(row[x / 8] & ~bit);
        break;
    }
    }
    Unlock();
}

int32_t TDirectDrawSurface::MatchColor(gfx::TColor color)
{
    if (!intf_)
        return 0;
    const uint32_t saved = Pixel(0, 0);
    TDIB dib;
    TRGBQuads table = dib.ColorTable();
    const gfx::TColor rgb = gfx::ColorToRGB(color);
    table[0] = MakeRGBQuad(uint8_t(gfx::GetRValue(rgb)), uint8_t(gfx::GetGValue(rgb)),
                           uint8_t(gfx::GetBValue(rgb)));
    dib.SetColorTable(table);
    dib.SetSize(1, 1, 8);
    dib.UpdatePalette();
    dib.SetPixel(0, 0, 0);
    Canvas().Draw(0, 0, dib);
    Canvas().Release();
    const int32_t result = int32_t(Pixel(0, 0));
    SetPixel(0, 0, saved);
    return result;
}

void TDirectDrawSurface::LoadGraphic(const gfx::TGraphic& graphic)
{
    LoadGraphicRect(graphic, 0, 0, gfx::Rect(0, 0, graphic.Width(), graphic.Height()));
}

void TDirectDrawSurface::LoadGraphicRect(const gfx::TGraphic& graphic, int32_t width,
                                         int32_t height, const TRect& srcRect)
{
    const int32_t w = width ? width : srcRect.Width();
    const int32_t h = height ? height : srcRect.Height();
    SetSize(w, h);
    if (const auto* dib = dynamic_cast<const TDIB*>(&graphic)) {
        if (!dib->Empty())
            Canvas().DrawImage(dib->ToImage(), srcRect, gfx::Rect(0, 0, w, h));
    } else if (w == srcRect.Width() && h == srcRect.Height()) {
        Canvas().Draw(-srcRect.Left, -srcRect.Top, graphic);
    } else {
        TDIB temporary;
        temporary.SetSize(srcRect.Width(), srcRect.Height(), 24);
        temporary.Canvas().Draw(-srcRect.Left, -srcRect.Top, graphic);
        Canvas().StretchDraw(gfx::Rect(0, 0, w, h), temporary);
    }
    Canvas().Release();
}

void TDirectDrawSurface::Assign(const gfx::TGraphic* source)
{
    if (!source)
        AttachSurface(nullptr);
    else
        LoadGraphic(*source);
}

void TDirectDrawSurface::Assign(const TDirectDrawSurface& source)
{
    if (&source == this)
        return;
    if (!source.intf_) {
        AttachSurface(nullptr);
        return;
    }
    std::shared_ptr<draw::DrawSurface> copy;
    DDraw.LastResult = DDraw.DrawIntf().DuplicateSurface(source.intf_, copy);
    LastResult = DDraw.LastResult;
    if (LastResult == draw::DD_OK)
        AttachSurface(copy);
}

void TDirectDrawSurface::AssignTo(TDIB& dest)
{
    dest.NewImageFormat = FormatFromBitCounts(8, 8, 8);
    dest.SetSize(Width(), Height(), 24);
    if (!dest.Empty())
        dest.Canvas().CopyRect(gfx::Rect(0, 0, dest.Width(), dest.Height()), Canvas(),
                               ClientRect());
    Canvas().Release();
}

}  // namespace visual
