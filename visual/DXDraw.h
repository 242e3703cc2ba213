// `TCustomDXDraw` / `TDXDraw`: a control that owns a display object, a primary surface, a
// drawing surface (`Surface`) of its own size, a clipper and a palette. Owners draw into
// `Surface` and call `Flip` to present it; windowed, the present lands in the control (the
// platform layer's presented image), which its paint shows.
//
// The first showing of the control's window initialises it (with `AutoInitialize`); the
// control is finalised when it is destroyed or initialised again. Registered callbacks hear
// of every stage (`TDXDrawNotifyKind`), last registered first.
//
// There is no 3D mode: `do3D` makes `Initialize` raise. Full screen shows the window full
// screen at the desktop's own mode; `ChangeMode` accepts only that mode.
//
// UI thread only; `Reconfiguring` refuses drawing and presenting while (re)initialising.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/forms/Control.h"
#include "visual/DIB.h"
#include "visual/DXClass.h"

namespace visual {

enum TDXDrawOption {
    doFullScreen, doNoWindowChange, doAllowReboot, doWaitVBlank, doAllowPalette256,
    doSystemMemory, doStretch, doCenter, doFlip, do3D, doDirectX7Mode, doRetainedMode,
    doHardware, doSelectDriver, doZBuffer
};
using TDXDrawOptions = uint16_t;
constexpr TDXDrawOptions Opt(TDXDrawOption o) { return TDXDrawOptions(1u << o); }
constexpr TDXDrawOptions DefaultDXDrawOptions = 13452;

enum TDXDrawNotifyKind {
    dnDestroying, dnInitializing, dnInitialize, dnInitializeSurface, dnFinalize,
    dnFinalizeSurface, dnRestore, dnSurfaceSize
};

class TCustomDXDraw;
using TDXDrawNotifyProc = void (*)(void* data, TCustomDXDraw& sender, TDXDrawNotifyKind kind);

class EDXDrawError : public EDirectDrawError {
public:
    using EDirectDrawError::EDirectDrawError;
};

struct TDXDrawDisplayMode {
    int32_t Width = 0, Height = 0, BitCount = 0;
};

class TDXDrawDisplay {
public:
    explicit TDXDrawDisplay(TCustomDXDraw& owner) : owner_(owner) {}
    int32_t BitCount() const { return bitCount_; }
    void SetBitCount(int32_t value);
    int32_t Width() const { return width_; }
    void SetWidth(int32_t v) { width_ = v < 0 ? 0 : v; }
    int32_t Height() const { return height_; }
    void SetHeight(int32_t v) { height_ = v < 0 ? 0 : v; }
    bool FixedBitCount = true, FixedRatio = true, FixedSize = false;
    const std::vector<TDXDrawDisplayMode>& ModeList();
    void ClearModes() { modes_.clear(); }
    bool ChangeMode(int32_t width, int32_t height, int32_t bitCount);
    void Assign(const TDXDrawDisplay& other);

private:
    TCustomDXDraw& owner_;
    int32_t bitCount_ = 8, width_ = 640, height_ = 480;
    std::vector<TDXDrawDisplayMode> modes_;
};

class TDXDrawDriver {
public:
    explicit TDXDrawDriver(TCustomDXDraw& dxDraw);
    virtual ~TDXDrawDriver();
    virtual void Finalize();
    virtual void Flip() = 0;
    virtual void Initialize() = 0;
    virtual bool SetSize(int32_t width, int32_t height);
    bool Restore();

protected:
    void MakePalette(uint32_t caps);
    TCustomDXDraw& DXDraw;
};

class TDXDrawDriverBlt : public TDXDrawDriver {
public:
    using TDXDrawDriver::TDXDrawDriver;
    void Flip() override;
    void Initialize() override;
    bool SetSize(int32_t width, int32_t height) override;
    void MakeSurface();
};

class TDXDrawDriverFlip : public TDXDrawDriver {
public:
    using TDXDrawDriver::TDXDrawDriver;
    void Flip() override;
    void Initialize() override;
};

class TCustomDXDraw : public forms::TCustomControl {
public:
    explicit TCustomDXDraw(QWidget* parent = nullptr);
    ~TCustomDXDraw() override;

    void Initialize();
    void Finalize();
    void Restore();
    void Flip();
    bool CanDraw();

    void AddNotifyHandler(TDXDrawNotifyProc proc, void* data);
    void RemoveNotifyHandler(TDXDrawNotifyProc proc, void* data);
    void SetColorTable(const TRGBQuads& entries);

    TDXDrawOptions Options() const { return options_; }
    void SetOptions(TDXDrawOptions value);
    TDXDrawOptions ActiveOptions = 0;
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool on);
    int32_t SurfaceWidth() const;
    int32_t SurfaceHeight() const;
    void SetSurfaceWidth(int32_t w) { SetSurfaceSize(w, SurfaceHeight()); }
    void SetSurfaceHeight(int32_t h) { SetSurfaceSize(SurfaceWidth(), h); }
    TDXDrawDisplay& Display() { return display_; }

    bool AutoInitialize = true;
    bool InitializeEventsFired = false;
    bool SurfaceEventsFired = false;
    QWidget* Form = nullptr;
    bool Initialized = false;
    bool InitializedOnce = false;
    bool DriverActive = false;
    bool Reconfiguring = false;
    int32_t RestoreNotifyBlock = 0;
    std::unique_ptr<TDXDrawDriver> Driver;
    std::unique_ptr<TDirectDraw> DDraw;
    std::unique_ptr<TDirectDrawClipper> Clipper;
    std::unique_ptr<TDirectDrawPalette> Palette;
    std::unique_ptr<TDirectDrawSurface> Primary;
    std::unique_ptr<TDirectDrawSurface> Surface;
    TRGBQuads ColorTable;
    TRGBQuads DefaultColorTable;
    // The surface size kept while no surface exists.
    int32_t StoredSurfaceWidth = 640;
    int32_t StoredSurfaceHeight = 480;

    forms::TNotifyEvent OnFinalize, OnFinalizeSurface, OnInitialize, OnInitializeSurface,
        OnInitializing, OnRestoreSurface;

    void Loaded() override;
    void NotifyEventList(TDXDrawNotifyKind kind);
    void FireEvent(const forms::TNotifyEvent& event) { if (event) event(this); }
    bool UpdateSurface();  // the lost-surface check

protected:
    void paintEvent(QPaintEvent* e) override;
    void Resized() override;
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    friend class TDXDrawDriver;
    friend class TDXDrawDriverBlt;
    friend class TDXDrawDriverFlip;
    void HookForm();
    void SetSurfaceSize(int32_t w, int32_t h);
    void SetCooperativeLevel();
    std::vector<draw::PaletteEntry> PaletteEntries(const TRGBQuads& table) const;

    TDXDrawOptions options_ = DefaultDXDrawOptions;
    bool autoSize_ = true;
    TDXDrawDisplay display_{*this};
    struct Notify {
        TDXDrawNotifyProc Proc;
        void* Data;
    };
    std::vector<Notify> notifyList_;
};

// A notification callback kept registered on whichever control is bound: binding another
// unregisters it from the old control (which hears finalize) and registers it on the new one
// (which at once hears initialize and restore when initialised).
class TDXDrawLink {
public:
    TDXDrawLink(TDXDrawNotifyProc proc, void* data) : proc_(proc), data_(data) {}
    ~TDXDrawLink() { Set(nullptr); }
    TDXDrawLink(const TDXDrawLink&) = delete;
    TDXDrawLink& operator=(const TDXDrawLink&) = delete;
    TCustomDXDraw* Get() const { return dxDraw_; }
    void Set(TCustomDXDraw* value);

private:
    TDXDrawNotifyProc proc_;
    void* data_;
    TCustomDXDraw* dxDraw_ = nullptr;
};

class TDXDraw : public TCustomDXDraw {
public:
    using TCustomDXDraw::TCustomDXDraw;
};

}  // namespace visual
