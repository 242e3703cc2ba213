// The common ground of the gradient-painted controls (progress bar, fade button): the
// gradient painter that fills a 24-bit bitmap with one of seven shapes, the caption,
// blending, tinting and reduction routines their painting shares, the colour sets, the base
// control `TRbCustomControl` with its hover and press fade animation, and the shared style
// component `TRbStyleManager`.
//
// The controls paint their gradients once into off-screen 24-bit bitmaps (when colours,
// gradient type or size change) and copy or blend them at paint time. Every colour is a
// 0x00BBGGRR value or a system colour, resolved before any arithmetic; every channel that
// arithmetic produces is clamped to 0..255, and no span or rectangle size is ever divided by
// when it is zero. UI thread only; the fade runs on the control's own timer.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <QBasicTimer>
#include <QRegion>

#include "controls/common/ControlTypes.h"
#include "platform/forms/Control.h"
#include "platform/gfx/Bitmap.h"

namespace controls {

using gfx::TBitmap;
using gfx::TColor;
using gfx::TRect;

enum TGradientType {
    gtHorizontal, gtVertical, gtFromTopLeft, gtFromTopRight, gtRadial, gtDoubleHorz, gtDoubleVert
};
enum TFadeSpeed { fsSlow, fsMedium, fsFast, fsVeryFast };
enum TRbCaptionPos {
    cpGroupBox, cpTopLeft, cpTopCenter, cpTopRight, cpMiddleLeft, cpMiddleCenter,
    cpMiddleRight, cpBottomLeft, cpBottomCenter, cpBottomRight
};

// Timer interval of a fade speed in milliseconds: 40, 20, 12, 8.
int FadeInterval(TFadeSpeed speed);

// Fills `rect` of a 24-bit bitmap with a gradient from `fromColor` to `toColor`. With a
// region only its pixels are painted. The double types run from `fromColor` on the middle
// line to `toColor` at both edges; the diagonal and radial types start at the corner or the
// centre. A span of zero paints `fromColor` where the distance is zero.
void DrawGradient(TBitmap& bitmap, const TRect& rect, TColor fromColor, const QRegion* region,
                  TGradientType gradientType, TColor toColor);

// Draws a caption: with `enabled` and `withShadow` first in `shadowColor` at (+1, +1), then in
// the font's colour; disabled, engraved in the button highlight and shadow colours.
void DrawCaptionText(gfx::TCanvas& canvas, const std::string& text, const gfx::TFont& font,
                     TColor shadowColor, bool withShadow, unsigned flags, const TRect& rect,
                     bool enabled);
// DT_END_ELLIPSIS | DT_NOPREFIX | DT_VCENTER plus the alignment and the wrapping mode.
unsigned MakeTextFlags(TAlignment alignment, bool wordWrap);

// Copies `base` (from its origin) into `dest` at the rectangle's corner moved in by `inset`,
// then blends `overlay` over `rect` at `percent` (values above 100 count as 100).
void CopyBitmapBlended(TBitmap& dest, const TBitmap& base, const TBitmap& overlay, int inset,
                       const TRect& rect, int percent);
// Each pixel of `rect` becomes dest x (100 - percent)% + overlay x percent%, the overlay read
// from (x - rect.Left, y - rect.Top).
void BlendBitmap(TBitmap& dest, const TBitmap& overlay, const TRect& rect, int percent);
// Greys every pixel and adds the tint's channels (capped at 255).
void TintBitmap(TBitmap& bitmap, TColor color);
// Shrinks `big` into `small` by `factor` near the edges (within `margin` pixels) and fills the
// inner rectangle with `color`.
void ReduceAntialiased(TColor color, const TBitmap& big, TBitmap& small, int factor, int margin);

class TRbCustomControl;
class TRbStyleManager;

// A persistent set of gradient colours with the control that owns it.
class TRbCustomColors {
public:
    explicit TRbCustomColors(TRbCustomControl* owner = nullptr);
    virtual ~TRbCustomColors() = default;

    TColor DefaultFrom() const { return defaultFrom_; }
    void SetDefaultFrom(TColor c) { set(defaultFrom_, c); }
    TColor DefaultTo() const { return defaultTo_; }
    void SetDefaultTo(TColor c) { set(defaultTo_, c); }
    TColor OverFrom() const { return overFrom_; }
    void SetOverFrom(TColor c) { set(overFrom_, c); }
    TColor OverTo() const { return overTo_; }
    void SetOverTo(TColor c) { set(overTo_, c); }
    virtual void Assign(const TRbCustomColors& other);
    TRbCustomControl* Owner() const { return owner_; }

protected:
    virtual void Changed() {}
    void set(TColor& field, TColor value);
    TRbCustomControl* owner_;

private:
    TColor defaultFrom_ = 0xFFFFFF, defaultTo_ = 0xD1BEAF;
    TColor overFrom_ = 0xFFFFFF, overTo_ = 0xBE9476;
};

// The colours of a gradient button: a change of a gradient or border colour rebuilds the
// owner's gradients; hot-track and shadow colours only repaint it.
class TRbControlColors : public TRbCustomColors {
public:
    using TRbCustomColors::TRbCustomColors;
    TColor ClickedFrom() const { return clickedFrom_; }
    void SetClickedFrom(TColor c) { set(clickedFrom_, c); }
    TColor ClickedTo() const { return clickedTo_; }
    void SetClickedTo(TColor c) { set(clickedTo_, c); }
    TColor HotTrack() const { return hotTrack_; }
    void SetHotTrack(TColor c);
    TColor BorderColor() const { return borderColor_; }
    void SetBorderColor(TColor c) { set(borderColor_, c); }
    TColor TextShadow() const { return textShadow_; }
    void SetTextShadow(TColor c);
    void Assign(const TRbCustomColors& other) override;

protected:
    void Changed() override;

private:
    TColor clickedFrom_ = 0xC6CFD6, clickedTo_ = 0xEBF3F7, hotTrack_ = 0xFF0000;
    TColor borderColor_ = 0x808080, textShadow_ = 0xFFFFFF;
};

// The colours of a splitter grip; the owner hears of a change through `OnChanged`.
class TRbSplitterColors : public TRbCustomColors {
public:
    TRbSplitterColors();
    std::function<void()> OnChanged;

protected:
    void Changed() override
    {
        if (OnChanged) OnChanged();
    }
};

// The base of the gradient controls: hover and press states with a fade animation (hover
// level and click level 0..100) stepped by the control's fade timer.
class TRbCustomControl : public forms::TCustomControl {
public:
    explicit TRbCustomControl(QWidget* parent = nullptr);
    ~TRbCustomControl() override;

    bool TextShadow() const { return textShadow_; }
    void SetTextShadow(bool on);
    bool ShowCaption() const { return showCaption_; }
    void SetShowCaption(bool on);
    TRbStyleManager* RbStyleManager() const { return styleManager_; }
    void SetRbStyleManager(TRbStyleManager* manager);
    std::string About() const { return "Tambourelle gradient controls"; }

    // Animation state, readable for the windows and tests.
    int HoverLevel() const { return hoverLevel_; }
    int ClickLevel() const { return clickLevel_; }
    bool IsOver() const { return state_ & StateOver; }
    bool IsPressed() const { return state_ & StatePressed; }
    TFadeSpeed FadeSpeed() const { return fadeSpeed_; }
    void SetFadeSpeed(TFadeSpeed s) { fadeSpeed_ = s; }
    bool FadeTimerActive() const { return fadeTimer_.isActive(); }
    // Runs the current fade step once, as a timer tick does.
    void FadeTick();

    // Rebuilds the control's gradient bitmaps.
    virtual void UpdateGradients() = 0;

protected:
    friend void StartFadeTimer(TRbCustomControl& control);
    friend class TRbStyleManager;
    enum : uint8_t { StateOver = 1, StatePressed = 2 };
    enum class FadeStep { In, Out };

    virtual void LeftMouseDown();
    virtual void LeftMouseUp() {}
    virtual void MouseMoved() {}
    virtual void FadeOutStep();
    virtual void FadeInStep();

    void MouseDown(forms::TMouseButton b, forms::TShiftState s, int x, int y) override;
    void MouseUp(forms::TMouseButton b, forms::TShiftState s, int x, int y) override;
    void MouseMove(forms::TShiftState s, int x, int y) override;
    void timerEvent(QTimerEvent* e) override;
    void StopFade() { fadeTimer_.stop(); }

    int hoverLevel_ = 0;
    int clickLevel_ = 0;
    uint8_t state_ = 0;
    TFadeSpeed fadeSpeed_ = fsMedium;
    FadeStep fadeStep_ = FadeStep::In;

private:
    QBasicTimer fadeTimer_;
    bool textShadow_ = true;
    bool showCaption_ = true;
    TRbStyleManager* styleManager_ = nullptr;
};

// (Re)starts the control's fade timer with the interval of its fade speed.
void StartFadeTimer(TRbCustomControl& control);

// Shared style values for gradient controls. It only keeps them and the list of controls that
// named it; nothing is pushed to the controls. Destroying it clears their references, and a
// destroyed control leaves its list.
class TRbStyleManager {
public:
    TRbStyleManager();
    ~TRbStyleManager();
    TRbStyleManager(const TRbStyleManager&) = delete;
    TRbStyleManager& operator=(const TRbStyleManager&) = delete;

    TRbControlColors& Colors() { return colors_; }
    TRbSplitterColors& SplitterColors() { return splitterColors_; }
    gfx::TFont& Font() { return font_; }
    bool ShowFocusRect = true;
    bool HotTrack = false;
    bool GradientBorder = true;
    bool TextShadow = true;
    TColor CheckColor = 0x008000;
    TFadeSpeed FadeSpeed = fsMedium;
    TColor PanelColor = 0xE3DFDF;
    TColor BorderColor = 0x808080;

    void Assign(const TRbStyleManager& other);
    void Register(TRbCustomControl* control);
    void Unregister(TRbCustomControl* control);
    const std::vector<TRbCustomControl*>& Controls() const { return controls_; }

private:
    TRbControlColors colors_;
    TRbSplitterColors splitterColors_;
    gfx::TFont font_;
    std::vector<TRbCustomControl*> controls_;
    bool destroying_ = false;
};

}  // namespace controls
