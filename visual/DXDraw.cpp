#include "visual/DXDraw.h"

#include <algorithm>
#include <tuple>

#include <QEvent>
#include <QPainter>

#include "platform/forms/Application.h"
#include "platform/gfx/Colors.h"

namespace visual {

namespace {

// The twenty static entries of the platform's system palette; the rest of it is black.
TRGBQuads SystemPalette()
{
    static const uint8_t low[10][3] = {{0, 0, 0},     {128, 0, 0},   {0, 128, 0},
                                       {128, 128, 0}, {0, 0, 128},   {128, 0, 128},
                                       {0, 128, 128}, {192, 192, 192}, {192, 220, 192},
                                       {166, 202, 240}};
    static const uint8_t high[10][3] = {{255, 251, 240}, {160, 160, 164}, {128, 128, 128},
                                        {255, 0, 0},     {0, 255, 0},     {255, 255, 0},
                                        {0, 0, 255},     {255, 0, 255},   {0, 255, 255},
                                        {255, 255, 255}};
    TRGBQuads t{};
    for (int i = 0; i < 10; ++i) {
        t[size_t(i)] = MakeRGBQuad(low[i][0], low[i][1], low[i][2]);
        t[size_t(246 + i)] = MakeRGBQuad(high[i][0], high[i][1], high[i][2]);
    }
    return t;
}

constexpr uint8_t PC_NOCOLLAPSE = 0x40;

}  // namespace

// ---- display modes ------------------------------------------------------------------------

void TDXDrawDisplay::SetBitCount(int32_t value)
{
    if (value != 8 && value != 16 && value != 24 && value != 32)
        throw EDirectDrawError("It should be either of 8 or 16 or 24 or 32");
    bitCount_ = value;
}

const std::vector<TDXDrawDisplayMode>& TDXDrawDisplay::ModeList()
{
    if (modes_.empty()) {
        std::unique_ptr<TDirectDraw> temporary;
        TDirectDraw* dd = owner_.DDraw.get();
        if (!dd) {
            temporary = std::make_unique<TDirectDraw>(nullptr);
            dd = temporary.get();
        }
        dd->DrawIntf().EnumDisplayModes([this](const draw::DrawSurfaceDesc& d) {
            modes_.push_back({int32_t(d.dwWidth), int32_t(d.dwHeight),
                              int32_t(d.ddpfPixelFormat.dwRGBBitCount)});
            return true;
        });
        std::sort(modes_.begin(), modes_.end(), [](const auto& a, const auto& b) {
            return std::tie(a.Width, a.Height, a.BitCount) < std::tie(b.Width, b.Height, b.BitCount);
        });
    }
    return modes_;
}

bool TDXDrawDisplay::ChangeMode(int32_t width, int32_t height, int32_t bitCount)
{
    if (width < 1 || height < 1 ||
        (bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32) || !owner_.DDraw)
        return false;
    draw::DrawDevice& dd = owner_.DDraw->DrawIntf();
    if (dd.SetDisplayMode(uint32_t(width), uint32_t(height), uint32_t(bitCount)) == draw::DD_OK)
        return true;
    auto qualifies = [&](const TDXDrawDisplayMode& m, bool sameRatio) {
        if (FixedSize ? (m.Width != width || m.Height != height)
                      : (m.Width < width || m.Height < height))
            return false;
        if (sameRatio && int64_t(m.Width) * height != int64_t(m.Height) * width)
            return false;
        if (FixedBitCount)
            return m.BitCount == bitCount;
        return (m.BitCount > 8 && bitCount > 8) || m.BitCount >= bitCount;
    };
    for (bool sameRatio : {FixedRatio, false}) {
        for (const TDXDrawDisplayMode& m : ModeList()) {
            if (!qualifies(m, sameRatio))
                continue;
            int32_t bits = m.BitCount;
            for (const TDXDrawDisplayMode& n : ModeList())
                if (n.Width == m.Width && n.Height == m.Height && n.BitCount == bitCount)
                    bits = bitCount;
            if (dd.SetDisplayMode(uint32_t(m.Width), uint32_t(m.Height), uint32_t(bits)) ==
                draw::DD_OK)
                return true;
        }
    }
    return false;
}

void TDXDrawDisplay::Assign(const TDXDrawDisplay& other)
{
    bitCount_ = other.bitCount_;
    width_ = other.width_;
    height_ = other.height_;
    FixedBitCount = other.FixedBitCount;
    FixedRatio = other.FixedRatio;
    FixedSize = other.FixedSize;
}

// ---- drivers ------------------------------------------------------------------------------

TDXDrawDriver::TDXDrawDriver(TCustomDXDraw& dxDraw) : DXDraw(dxDraw)
{
    if (DXDraw.Options() & Opt(do3D))
        throw EDXDrawError("3D device not found");
    DXDraw.DDraw = std::make_unique<TDirectDraw>(nullptr, DXDraw.Options() & Opt(doDirectX7Mode));
}

TDXDrawDriver::~TDXDrawDriver() = default;

void TDXDrawDriver::Finalize()
{
    DXDraw.Clipper.reset();
    DXDraw.Palette.reset();
    DXDraw.Surface.reset();
    DXDraw.Primary.reset();
    DXDraw.DDraw.reset();
}

bool TDXDrawDriver::SetSize(int32_t, int32_t) { return false; }

bool TDXDrawDriver::Restore()
{
    const bool ok = DXDraw.Primary->Restore() && DXDraw.Surface->Restore();
    if (ok) {
        DXDraw.Primary->Fill(0);
        DXDraw.Surface->Fill(0);
    }
    return ok;
}

void TDXDrawDriver::MakePalette(uint32_t caps)
{
    DXDraw.Palette = std::make_unique<TDirectDrawPalette>(*DXDraw.DDraw);
    const auto entries = DXDraw.PaletteEntries(DXDraw.ColorTable);
    DXDraw.Palette->CreatePalette(caps, entries.data());
}

void TDXDrawDriverBlt::Initialize()
{
    TCustomDXDraw& dx = DXDraw;
    dx.Primary = std::make_unique<TDirectDrawSurface>(*dx.DDraw);
    draw::DrawSurfaceDesc desc;
    desc.dwSize = 108;
    desc.dwFlags = draw::DDSD_CAPS;
    desc.dwCaps = draw::DDSCAPS_PRIMARYSURFACE;
    if (!dx.Primary->CreateSurface(desc))
        throw EDXDrawError("Primary Surface cannot be made");
    dx.Surface = std::make_unique<TDirectDrawSurface>(*dx.DDraw);
    dx.Clipper = std::make_unique<TDirectDrawClipper>(*dx.DDraw);
    dx.Clipper->SetHandle(&dx);
    dx.Primary->SetClipper(dx.Clipper.get());
    MakePalette(draw::DDPCAPS_8BIT | draw::DDPCAPS_INITIALIZE |
                ((dx.ActiveOptions & Opt(doAllowPalette256)) ? draw::DDPCAPS_ALLOW256 : 0));
    dx.Primary->SetPalette(dx.Palette.get());
    MakeSurface();
}

void TDXDrawDriverBlt::MakeSurface()
{
    TCustomDXDraw& dx = DXDraw;
    dx.Surface->AttachSurface(nullptr);
    dx.ActiveOptions &= TDXDrawOptions(~Opt(doSystemMemory));
    draw::DrawSurfaceDesc desc;
    desc.dwSize = 108;
    desc.dwFlags = draw::DDSD_CAPS | draw::DDSD_HEIGHT | draw::DDSD_WIDTH;
    desc.dwWidth = uint32_t(Max(dx.StoredSurfaceWidth, 1));
    desc.dwHeight = uint32_t(Max(dx.StoredSurfaceHeight, 1));
    desc.dwCaps = draw::DDSCAPS_OFFSCREENPLAIN |
                  ((dx.Options() & Opt(doSystemMemory)) ? draw::DDSCAPS_SYSTEMMEMORY : 0) |
                  ((dx.Options() & Opt(do3D)) ? draw::DDSCAPS_3DDEVICE : 0);
    if (!dx.Surface->CreateSurface(desc)) {
        desc.dwCaps |= draw::DDSCAPS_SYSTEMMEMORY;
        if (!dx.Surface->CreateSurface(desc))
            throw EDXDrawError("Surface cannot be made");
    }
    if (!(dx.Surface->Description.dwCaps & draw::DDSCAPS_VIDEOMEMORY))
        dx.ActiveOptions |= Opt(doSystemMemory);
    dx.Surface->SetPalette(dx.Palette.get());
    dx.Surface->Fill(0);
}

void TDXDrawDriverBlt::Flip()
{
    TCustomDXDraw& dx = DXDraw;
    QPoint p = dx.mapToGlobal(QPoint(0, 0));
    gfx::TRect target;
    if (dx.ActiveOptions & Opt(doStretch)) {
        target = gfx::Bounds(p.x(), p.y(), dx.width(), dx.height());
    } else {
        if (dx.ActiveOptions & Opt(doCenter))
            p += QPoint((dx.width() - dx.SurfaceWidth()) / 2, (dx.height() - dx.SurfaceHeight()) / 2);
        target = gfx::Bounds(p.x(), p.y(), dx.SurfaceWidth(), dx.SurfaceHeight());
    }
    if (dx.ActiveOptions & Opt(doWaitVBlank))
        dx.DDraw->DrawIntf().WaitForVerticalBlank(draw::DDWAITVB_BLOCKBEGIN, nullptr);
    const gfx::TRect src = dx.Surface->ClientRect();
    dx.Primary->Blt(&target, &src, draw::DDBLT_WAIT, {100, 0, 0}, dx.Surface.get());
}

bool TDXDrawDriverBlt::SetSize(int32_t width, int32_t height)
{
    TCustomDXDraw& dx = DXDraw;
    dx.StoredSurfaceWidth = Max(width, 1);
    dx.StoredSurfaceHeight = Max(height, 1);
    ++dx.RestoreNotifyBlock;
    struct Unblock {
        int32_t& n;
        ~Unblock() { --n; }
    } unblock{dx.RestoreNotifyBlock};
    dx.NotifyEventList(dnFinalizeSurface);
    if (dx.SurfaceEventsFired) {
        dx.SurfaceEventsFired = false;
        dx.FireEvent(dx.OnFinalizeSurface);
    }
    MakeSurface();
    dx.NotifyEventList(dnInitializeSurface);
    dx.SurfaceEventsFired = true;
    dx.FireEvent(dx.OnInitializeSurface);
    return true;
}

void TDXDrawDriverFlip::Initialize()
{
    TCustomDXDraw& dx = DXDraw;
    dx.Primary = std::make_unique<TDirectDrawSurface>(*dx.DDraw);
    draw::DrawSurfaceDesc desc;
    desc.dwSize = 108;
    desc.dwFlags = draw::DDSD_CAPS | draw::DDSD_BACKBUFFERCOUNT;
    desc.dwCaps = draw::DDSCAPS_PRIMARYSURFACE | draw::DDSCAPS_FLIP | draw::DDSCAPS_COMPLEX;
    desc.dwBackBufferCount = 1;
    if (!dx.Primary->CreateSurface(desc))
        throw EDXDrawError("Primary Surface cannot be made");
    std::shared_ptr<draw::DrawSurface> back;
    dx.Primary->SurfaceIntf().GetAttachedSurface(draw::DDSCAPS_BACKBUFFER, back);
    dx.Surface = std::make_unique<TDirectDrawSurface>(*dx.DDraw);
    dx.Surface->AttachSurface(back);
    if (dx.Surface->Description.dwCaps & draw::DDSCAPS_SYSTEMMEMORY)
        dx.ActiveOptions |= Opt(doSystemMemory);
    dx.Clipper = std::make_unique<TDirectDrawClipper>(*dx.DDraw);
    dx.Clipper->SetHandle(&dx);
    // The widget backend shows the front buffer in the clipper's control.
    dx.Primary->SetClipper(dx.Clipper.get());
    MakePalette(draw::DDPCAPS_8BIT |
                ((dx.Options() & Opt(doAllowPalette256)) ? draw::DDPCAPS_ALLOW256 : 0));
    dx.Primary->SetPalette(dx.Palette.get());
    dx.Surface->SetPalette(dx.Palette.get());
}

void TDXDrawDriverFlip::Flip()
{
    TCustomDXDraw& dx = DXDraw;
    if (dx.Form && dx.Form->isActiveWindow())
        dx.Primary->LastResult = dx.Primary->SurfaceIntf().Flip(nullptr, draw::DDFLIP_WAIT);
    else
        dx.Primary->LastResult = draw::DD_OK;
}

// ---- the control --------------------------------------------------------------------------

TCustomDXDraw::TCustomDXDraw(QWidget* parent) : forms::TCustomControl(parent)
{
    SetOptions(DefaultDXDrawOptions);
    ColorTable = SystemPalette();
    DefaultColorTable = ColorTable;
    resize(100, 100);
    SetColor(gfx::clBtnFace);
    setAttribute(Qt::WA_OpaquePaintEvent);
    HookForm();
}

TCustomDXDraw::~TCustomDXDraw()
{
    forms::RunGuarded([this] { Finalize(); });
    const auto list = notifyList_;
    for (auto it = list.rbegin(); it != list.rend(); ++it)
        it->Proc(it->Data, *this, dnDestroying);
    if (Form)
        Form->removeEventFilter(this);
}

void TCustomDXDraw::HookForm()
{
    if (Form)
        Form->removeEventFilter(this);
    Form = nullptr;
    QWidget* w = window();
    if (w != this) {
        Form = w;
        Form->installEventFilter(this);
    }
}

bool TCustomDXDraw::event(QEvent* e)
{
    const bool r = forms::TCustomControl::event(e);
    if (e->type() == QEvent::ParentChange)
        HookForm();
    return r;
}

bool TCustomDXDraw::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == Form && e->type() == QEvent::Show && AutoInitialize && !InitializedOnce)
        forms::RunGuarded([this] { Initialize(); });
    return false;
}

void TCustomDXDraw::Loaded()
{
    if (autoSize_) {
        StoredSurfaceWidth = width();
        StoredSurfaceHeight = height();
    }
    NotifyEventList(dnSurfaceSize);
    if (AutoInitialize && !Form)
        Initialize();
}

void TCustomDXDraw::SetOptions(TDXDrawOptions value)
{
    options_ = value;
    if (Initialized) {
        const TDXDrawOptions taken = Opt(doWaitVBlank) | Opt(doStretch) | Opt(doCenter);
        ActiveOptions = TDXDrawOptions((ActiveOptions & ~taken) | (value & taken));
        if (!(ActiveOptions & Opt(do3D)))
            ActiveOptions &= 0x87FF;
        return;
    }
    TDXDrawOptions a = value;
    if (!(a & Opt(doFullScreen)))
        a &= 0xFEE9;
    if (!(a & Opt(do3D)))
        a &= 0x83FF;
    if (a & Opt(doSystemMemory))
        a &= TDXDrawOptions(~Opt(doFlip));
    if (a & Opt(doDirectX7Mode))
        a &= TDXDrawOptions(~Opt(doRetainedMode));
    a &= TDXDrawOptions(~Opt(doHardware));
    ActiveOptions = a;
}

void TCustomDXDraw::SetAutoSize(bool on)
{
    autoSize_ = on;
    if (on)
        SetSurfaceSize(width(), height());
}

int32_t TCustomDXDraw::SurfaceWidth() const
{
    return Surface && Surface->HasSurface() ? Surface->Width() : StoredSurfaceWidth;
}

int32_t TCustomDXDraw::SurfaceHeight() const
{
    return Surface && Surface->HasSurface() ? Surface->Height() : StoredSurfaceHeight;
}

void TCustomDXDraw::SetSurfaceSize(int32_t w, int32_t h)
{
    if ((w == SurfaceWidth() && h == SurfaceHeight()) || Reconfiguring)
        return;
    if (Initialized) {
        if (!Driver->SetSize(w, h))
            return;
    } else {
        StoredSurfaceWidth = w;
        StoredSurfaceHeight = h;
    }
    NotifyEventList(dnSurfaceSize);
}

void TCustomDXDraw::Resized()
{
    forms::TCustomControl::Resized();
    if (autoSize_ && !Reconfiguring)
        SetSurfaceSize(width(), height());
}

void TCustomDXDraw::SetCooperativeLevel()
{
    uint32_t flags = draw::DDSCL_NORMAL;
    if (ActiveOptions & Opt(doFullScreen)) {
        flags = draw::DDSCL_FULLSCREEN | draw::DDSCL_EXCLUSIVE | draw::DDSCL_ALLOWMODEX;
        if (ActiveOptions & Opt(doNoWindowChange))
            flags |= draw::DDSCL_NOWINDOWCHANGES;
        if (ActiveOptions & Opt(doAllowReboot))
            flags |= draw::DDSCL_ALLOWREBOOT;
    }
    DDraw->LastResult = DDraw->DrawIntf().SetCooperativeLevel(Form ? Form : this, flags);
}

void TCustomDXDraw::Initialize()
{
    InitializedOnce = true;
    Finalize();
    if (!Form)
        throw EDXDrawError("Form not found");
    try {
        FireEvent(OnInitializing);
        Reconfiguring = true;
        DriverActive = true;
        NotifyEventList(dnInitializing);
        if (ActiveOptions & Opt(doFlip))
            Driver = std::make_unique<TDXDrawDriverFlip>(*this);
        else
            Driver = std::make_unique<TDXDrawDriverBlt>(*this);
        SetCooperativeLevel();
        if (ActiveOptions & Opt(doFullScreen)) {
            if (!display_.ChangeMode(display_.Width(), display_.Height(), display_.BitCount()))
                throw EDXDrawError("Display mode cannot be changed (" +
                                   std::to_string(display_.Width()) + "x" +
                                   std::to_string(display_.Height()) + " " +
                                   std::to_string(display_.BitCount()) + "bit)");
            Form->showFullScreen();
        }
        if (autoSize_) {
            StoredSurfaceWidth = width();
            StoredSurfaceHeight = height();
        }
        Driver->Initialize();
        Reconfiguring = false;
    } catch (...) {
        Reconfiguring = false;
        Finalize();
        throw;
    }
    Initialized = true;
    {
        ++RestoreNotifyBlock;
        struct Unblock {
            int32_t& n;
            ~Unblock() { --n; }
        } unblock{RestoreNotifyBlock};
        NotifyEventList(dnSurfaceSize);
        NotifyEventList(dnInitialize);
        InitializeEventsFired = true;
        FireEvent(OnInitialize);
        NotifyEventList(dnInitializeSurface);
        SurfaceEventsFired = true;
        FireEvent(OnInitializeSurface);
    }
    Restore();
}

void TCustomDXDraw::Finalize()
{
    if (!DriverActive)
        return;
    StoredSurfaceWidth = SurfaceWidth();
    StoredSurfaceHeight = SurfaceHeight();
    display_.ClearModes();
    Reconfiguring = true;
    if (SurfaceEventsFired) {
        SurfaceEventsFired = false;
        FireEvent(OnFinalizeSurface);
    }
    NotifyEventList(dnFinalizeSurface);
    if (InitializeEventsFired) {
        InitializeEventsFired = false;
        FireEvent(OnFinalize);
    }
    NotifyEventList(dnFinalize);
    DriverActive = false;
    Initialized = false;
    SetOptions(options_);
    if (Driver) {
        Driver->Finalize();
        Driver.reset();
    }
    Reconfiguring = false;
}

void TCustomDXDraw::Restore()
{
    if (!Initialized || Reconfiguring)
        return;
    Reconfiguring = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{Reconfiguring};
    if (Driver->Restore()) {
        Primary->SetPalette(Palette.get());
        Surface->SetPalette(Palette.get());
        SetColorTable(DefaultColorTable);
        NotifyEventList(dnRestore);
        FireEvent(OnRestoreSurface);
        SetColorTable(ColorTable);
    }
}

bool TCustomDXDraw::UpdateSurface()
{
    if (!Initialized || Reconfiguring || !Primary || !Primary->HasSurface())
        return false;
    auto lost = [](const std::unique_ptr<TDirectDrawSurface>& s) {
        return s && s->HasSurface() && s->SurfaceIntf().IsLost() == draw::DDERR_SURFACELOST;
    };
    if (!lost(Primary) && !lost(Surface))
        return true;
    Restore();
    return Primary && Surface && Surface->HasSurface() &&
           Primary->SurfaceIntf().IsLost() == draw::DD_OK &&
           Surface->SurfaceIntf().IsLost() == draw::DD_OK;
}

bool TCustomDXDraw::CanDraw()
{
    return Initialized && !Reconfiguring && Surface && Surface->HasSurface() && UpdateSurface();
}

void TCustomDXDraw::Flip()
{
    if (Initialized && !Reconfiguring && UpdateSurface())
        Driver->Flip();
}

void TCustomDXDraw::AddNotifyHandler(TDXDrawNotifyProc proc, void* data)
{
    std::erase_if(notifyList_, [&](const Notify& n) { return n.Proc == proc && n.Data == data; });
    notifyList_.push_back({proc, data});
    proc(data, *this, dnSurfaceSize);
    if (Initialized) {
        proc(data, *this, dnInitialize);
        if (SurfaceEventsFired)
            proc(data, *this, dnInitializeSurface);
        if (RestoreNotifyBlock <= 0)
            proc(data, *this, dnRestore);
    }
}

void TCustomDXDraw::RemoveNotifyHandler(TDXDrawNotifyProc proc, void* data)
{
    const auto it = std::find_if(notifyList_.begin(), notifyList_.end(),
                                 [&](const Notify& n) { return n.Proc == proc && n.Data == data; });
    if (it == notifyList_.end())
        return;
    notifyList_.erase(it);
    if (SurfaceEventsFired)
        proc(data, *this, dnFinalizeSurface);
    if (Initialized)
        proc(data, *this, dnFinalize);
}

void TDXDrawLink::Set(TCustomDXDraw* value)
{
    if (dxDraw_)
        dxDraw_->RemoveNotifyHandler(proc_, data_);
    dxDraw_ = value;
    if (dxDraw_)
        dxDraw_->AddNotifyHandler(proc_, data_);
}

void TCustomDXDraw::NotifyEventList(TDXDrawNotifyKind kind)
{
    const auto list = notifyList_;
    for (auto it = list.rbegin(); it != list.rend(); ++it)
        it->Proc(it->Data, *this, kind);
}

std::vector<draw::PaletteEntry> TCustomDXDraw::PaletteEntries(const TRGBQuads& table) const
{
    const TRGBQuads system = SystemPalette();
    std::vector<draw::PaletteEntry> out(256);
    for (size_t i = 0; i < 256; ++i) {
        const bool fixed = !(ActiveOptions & Opt(doAllowPalette256)) && (i < 10 || i >= 246);
        const TRGBQuad& q = fixed ? system[i] : table[i];
        out[i] = {q.rgbRed, q.rgbGreen, q.rgbBlue, PC_NOCOLLAPSE};
    }
    return out;
}

void TCustomDXDraw::SetColorTable(const TRGBQuads& entries)
{
    if (!Initialized || !Palette)
        return;
    const auto table = PaletteEntries(entries);
    Palette->SetEntries(0, 256, table.data());
}

void TCustomDXDraw::paintEvent(QPaintEvent*)
{
    draw::PaintScope scope(this);
    forms::RunGuarded([this] {
        if (!Initialized)
            return;
        const TDXDrawOptions saved = ActiveOptions;
        ActiveOptions &= TDXDrawOptions(~Opt(doWaitVBlank));
        struct Back {
            TDXDrawOptions& options;
            TDXDrawOptions saved;
            ~Back() { options = saved; }
        } back{ActiveOptions, saved};
        Flip();
    });
    QPainter painter(this);
    if (const QImage* shown = draw::PresentedImage(this)) {
        painter.drawImage(0, 0, *shown);
    } else {
        const gfx::TColor c = gfx::ColorToRGB(Color());
        painter.fillRect(rect(), QColor(gfx::GetRValue(c), gfx::GetGValue(c), gfx::GetBValue(c)));
    }
}

}  // namespace visual
