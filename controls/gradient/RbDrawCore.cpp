#include "controls/gradient/RbDrawCore.h"

#include <algorithm>
#include <cmath>

#include <QTimerEvent>

#include "platform/forms/Application.h"
#include "platform/rtl/Numerics.h"

namespace controls {

namespace {

uint8_t clampChannel(double v)
{
    if (!(v > 0))  // also NaN
        return 0;
    if (v >= 255)
        return 255;
    return uint8_t(rtl::Round(v));
}

struct Rgb {
    int r, g, b;
};

Rgb rgbOf(TColor c)
{
    c = gfx::ColorToRGB(c);
    return {gfx::GetRValue(c), gfx::GetGValue(c), gfx::GetBValue(c)};
}

void ensure24(TBitmap& bmp)
{
    if (bmp.PixelFormat() != gfx::pf24bit)
        bmp.SetPixelFormat(gfx::pf24bit);
}

inline uint8_t* pixelAt(TBitmap& bmp, int x, int y)
{
    return bmp.ScanLine(y) + 3 * x;
}

inline const uint8_t* pixelAt(const TBitmap& bmp, int x, int y)
{
    return bmp.ScanLine(y) + 3 * x;
}

// The part of `r` that lies on the bitmap.
TRect onBitmap(const TBitmap& bmp, const TRect& r)
{
    return {std::max(r.Left, 0), std::max(r.Top, 0), std::min(r.Right, bmp.Width()),
            std::min(r.Bottom, bmp.Height())};
}

// A 24-bit copy of `src` when it is not 24-bit already, so the readers below can index bytes.
const TBitmap& as24(const TBitmap& src, TBitmap& scratch)
{
    if (src.PixelFormat() == gfx::pf24bit)
        return src;
    scratch.Assign(src);
    scratch.SetPixelFormat(gfx::pf24bit);
    return scratch;
}

}  // namespace

int FadeInterval(TFadeSpeed speed)
{
    switch (speed) {
    case fsSlow: return 40;
    case fsMedium: return 20;
    case fsFast: return 12;
    case fsVeryFast: return 8;
    }
    return 20;
}

void DrawGradient(TBitmap& bitmap, const TRect& rect, TColor fromColor, const QRegion* region,
                  TGradientType gradientType, TColor toColor)
{
    if (bitmap.Width() < 1 || bitmap.Height() < 1)
        return;
    ensure24(bitmap);
    const TRect area = onBitmap(bitmap, rect);
    const Rgb from = rgbOf(fromColor), to = rgbOf(toColor);
    const int w = rect.Width(), h = rect.Height();
    auto inRegion = [region](int x, int y) { return !region || region->contains(QPoint(x, y)); };

    if (fromColor == toColor) {
        for (int y = area.Top; y < area.Bottom; ++y)
            for (int x = area.Left; x < area.Right; ++x)
                if (inRegion(x, y)) {
                    uint8_t* p = pixelAt(bitmap, x, y);
                    p[0] = uint8_t(from.b); p[1] = uint8_t(from.g); p[2] = uint8_t(from.r);
                }
        return;
    }

    const double diagonal = std::sqrt(double(w) * w + double(h) * h);
    int64_t span = 0;
    switch (gradientType) {
    case gtHorizontal: span = w; break;
    case gtVertical: span = h; break;
    case gtFromTopLeft: case gtFromTopRight: span = rtl::Round(diagonal); break;
    case gtRadial: span = rtl::Round(diagonal) / 2; break;
    case gtDoubleHorz: span = w / 2; break;
    case gtDoubleVert: span = h / 2; break;
    }
    // A zero span (one-pixel double gradients, empty rectangles) has no slope: the distance is
    // then 0 wherever it is measured from, so the start colour is what shows.
    const double divisor = span > 0 ? double(span) : 1.0;
    auto step = [divisor](int a, int b) { return std::min((b - a) / divisor, 255.0); };
    const double dR = step(from.r, to.r), dG = step(from.g, to.g), dB = step(from.b, to.b);

    for (int y = area.Top; y < area.Bottom; ++y) {
        uint8_t* row = bitmap.ScanLine(y);
        const double ry = y - rect.Top;
        for (int x = area.Left; x < area.Right; ++x) {
            if (!inRegion(x, y))
                continue;
            const double rx = x - rect.Left;
            double d = 0;
            switch (gradientType) {
            case gtHorizontal: d = rx; break;
            case gtVertical: d = ry; break;
            case gtFromTopLeft: d = std::sqrt(rx * rx + ry * ry); break;
            case gtFromTopRight: d = std::sqrt(double(rect.Right - x) * (rect.Right - x) + ry * ry); break;
            case gtRadial: {
                const double cx = w / 2 - rx, cy = ry - h / 2;
                d = std::sqrt(cx * cx + cy * cy);
                break;
            }
            case gtDoubleHorz: d = std::fabs(rx - double(span)); break;
            case gtDoubleVert: d = std::fabs(ry - double(span)); break;
            }
            uint8_t* p = row + 3 * x;
            p[0] = clampChannel(d * dB + from.b);
            p[1] = clampChannel(d * dG + from.g);
            p[2] = clampChannel(d * dR + from.r);
        }
    }
}

void DrawCaptionText(gfx::TCanvas& canvas, const std::string& text, const gfx::TFont& font,
                     TColor shadowColor, bool withShadow, unsigned flags, const TRect& rect,
                     bool enabled)
{
    canvas.Font().Assign(font);
    const TColor textColor = font.Color();
    TRect moved = gfx::OffsetRect(rect, 1, 1);
    TRect r = rect;
    if (enabled) {
        if (withShadow) {
            canvas.Font().SetColor(shadowColor);
            canvas.DrawText(text, moved, flags);
        }
        canvas.Font().SetColor(textColor);
        canvas.DrawText(text, r, flags);
    } else {
        canvas.Font().SetColor(gfx::clBtnHighlight);
        canvas.DrawText(text, moved, flags);
        canvas.Font().SetColor(gfx::clBtnShadow);
        canvas.DrawText(text, r, flags);
    }
}

unsigned MakeTextFlags(TAlignment alignment, bool wordWrap)
{
    unsigned flags = gfx::DT_END_ELLIPSIS | gfx::DT_NOPREFIX | gfx::DT_VCENTER;
    if (alignment == taRightJustify)
        flags |= gfx::DT_RIGHT;
    else if (alignment == taCenter)
        flags |= gfx::DT_CENTER;
    flags |= wordWrap ? gfx::DT_WORDBREAK : gfx::DT_SINGLELINE;
    return flags;
}

void CopyBitmapBlended(TBitmap& dest, const TBitmap& base, const TBitmap& overlay, int inset,
                       const TRect& rect, int percent)
{
    ensure24(dest);
    TBitmap scratch;
    const TBitmap& src = as24(base, scratch);
    const int left = rect.Left + inset, top = rect.Top + inset;
    const int w = std::min(rect.Width() - inset, src.Width());
    const int h = std::min(rect.Height() - inset, src.Height());
    for (int y = 0; y < h; ++y) {
        if (top + y < 0 || top + y >= dest.Height())
            continue;
        for (int x = 0; x < w; ++x) {
            if (left + x < 0 || left + x >= dest.Width())
                continue;
            std::copy_n(pixelAt(src, x, y), 3, pixelAt(dest, left + x, top + y));
        }
    }
    if (percent > 0)
        BlendBitmap(dest, overlay, rect, std::min(percent, 100));
}

void BlendBitmap(TBitmap& dest, const TBitmap& overlay, const TRect& rect, int percent)
{
    ensure24(dest);
    TBitmap scratch;
    const TBitmap& over = as24(overlay, scratch);
    percent = std::clamp(percent, 0, 100);
    const double f = (100 - percent) / 100.0;
    const TRect area = onBitmap(dest, rect);
    for (int y = area.Top; y < area.Bottom; ++y) {
        const int oy = y - rect.Top;
        if (oy < 0 || oy >= over.Height())
            continue;
        for (int x = area.Left; x < area.Right; ++x) {
            const int ox = x - rect.Left;
            if (ox < 0 || ox >= over.Width())
                continue;
            uint8_t* d = pixelAt(dest, x, y);
            const uint8_t* o = pixelAt(over, ox, oy);
            for (int c = 0; c < 3; ++c)
                d[c] = clampChannel(d[c] * f + o[c] * (1 - f));
        }
    }
}

void TintBitmap(TBitmap& bitmap, TColor color)
{
    if (bitmap.Empty())
        return;
    ensure24(bitmap);
    const Rgb tint = rgbOf(color);
    for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < bitmap.Width(); ++x) {
            uint8_t* p = pixelAt(bitmap, x, y);
            const int g = int(rtl::Round((p[0] + p[1] + p[2]) / 3.0));
            p[0] = uint8_t(std::min(255, tint.b + g));
            p[1] = uint8_t(std::min(255, tint.g + g));
            p[2] = uint8_t(std::min(255, tint.r + g));
        }
}

void ReduceAntialiased(TColor color, const TBitmap& big, TBitmap& small, int factor, int margin)
{
    if (small.Empty() || factor < 1)
        return;
    ensure24(small);
    TBitmap scratch;
    const TBitmap& src = as24(big, scratch);
    const Rgb fill = rgbOf(color);
    const int w = small.Width(), h = small.Height();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = pixelAt(small, x, y);
            const bool inner = x >= margin && x < w - margin && y >= margin && y < h - margin;
            if (inner) {
                p[0] = uint8_t(fill.b); p[1] = uint8_t(fill.g); p[2] = uint8_t(fill.r);
                continue;
            }
            int sum[3] = {0, 0, 0}, n = 0;
            for (int by = y * factor; by < (y + 1) * factor && by < src.Height(); ++by)
                for (int bx = x * factor; bx < (x + 1) * factor && bx < src.Width(); ++bx) {
                    const uint8_t* s = pixelAt(src, bx, by);
                    for (int c = 0; c < 3; ++c)
                        sum[c] += s[c];
                    ++n;
                }
            if (n > 0)
                for (int c = 0; c < 3; ++c)
                    p[c] = uint8_t(sum[c] / n);
        }
}

// ---- colour sets ----

TRbCustomColors::TRbCustomColors(TRbCustomControl* owner) : owner_(owner) {}

void TRbCustomColors::set(TColor& field, TColor value)
{
    if (field == value)
        return;
    field = value;
    Changed();
}

void TRbCustomColors::Assign(const TRbCustomColors& o)
{
    defaultFrom_ = o.defaultFrom_;
    defaultTo_ = o.defaultTo_;
    overFrom_ = o.overFrom_;
    overTo_ = o.overTo_;
    Changed();
}

void TRbControlColors::SetHotTrack(TColor c)
{
    if (c == hotTrack_)
        return;
    hotTrack_ = c;
    if (owner_) owner_->Invalidate();
}

void TRbControlColors::SetTextShadow(TColor c)
{
    if (c == textShadow_)
        return;
    textShadow_ = c;
    if (owner_) owner_->Invalidate();
}

void TRbControlColors::Assign(const TRbCustomColors& other)
{
    if (auto* o = dynamic_cast<const TRbControlColors*>(&other)) {
        clickedFrom_ = o->clickedFrom_;
        clickedTo_ = o->clickedTo_;
        hotTrack_ = o->hotTrack_;
        borderColor_ = o->borderColor_;
        textShadow_ = o->textShadow_;
    }
    TRbCustomColors::Assign(other);
}

void TRbControlColors::Changed()
{
    if (owner_) owner_->UpdateGradients();
}

TRbSplitterColors::TRbSplitterColors()
{
    SetDefaultFrom(gfx::clBtnFace);
    SetDefaultTo(gfx::clBtnFace);
    SetOverFrom(0xFFFFFF);
    SetOverTo(0xBE9476);
}

// ---- base control ----

TRbCustomControl::TRbCustomControl(QWidget* parent) : forms::TCustomControl(parent)
{
    SetTabStop(true);
}

TRbCustomControl::~TRbCustomControl()
{
    if (styleManager_)
        styleManager_->Unregister(this);
}

void TRbCustomControl::SetTextShadow(bool on)
{
    if (on == textShadow_)
        return;
    textShadow_ = on;
    Invalidate();
}

void TRbCustomControl::SetShowCaption(bool on)
{
    if (on == showCaption_)
        return;
    showCaption_ = on;
    Invalidate();
}

void TRbCustomControl::SetRbStyleManager(TRbStyleManager* manager)
{
    if (manager == styleManager_)
        return;
    if (styleManager_)
        styleManager_->Unregister(this);
    styleManager_ = manager;
    if (manager)
        manager->Register(this);
}

void TRbCustomControl::LeftMouseDown()
{
    if (!hasFocus() && focusPolicy() != Qt::NoFocus && isEnabled() && isVisible())
        setFocus(Qt::MouseFocusReason);
}

void TRbCustomControl::MouseDown(forms::TMouseButton b, forms::TShiftState s, int x, int y)
{
    forms::TCustomControl::MouseDown(b, s, x, y);
    if (b == forms::mbLeft)
        LeftMouseDown();
}

void TRbCustomControl::MouseUp(forms::TMouseButton b, forms::TShiftState s, int x, int y)
{
    forms::TCustomControl::MouseUp(b, s, x, y);
    if (b == forms::mbLeft)
        LeftMouseUp();
}

void TRbCustomControl::MouseMove(forms::TShiftState s, int x, int y)
{
    MouseMoved();
    forms::TCustomControl::MouseMove(s, x, y);
}

void TRbCustomControl::FadeInStep()
{
    if ((state_ & StateOver) && (state_ & StatePressed)) {
        clickLevel_ = std::min(clickLevel_ + 25, 100);
        if (clickLevel_ >= 100)
            StopFade();
    } else {
        if (clickLevel_ > 0)
            clickLevel_ = std::max(clickLevel_ - 25, 0);
        hoverLevel_ = std::min(hoverLevel_ + 10, 100);
        if (clickLevel_ < 1 && hoverLevel_ >= 100)
            StopFade();
    }
    Invalidate();
}

void TRbCustomControl::FadeOutStep()
{
    if (clickLevel_ > 0)
        clickLevel_ = std::max(clickLevel_ - 25, 0);
    if (hoverLevel_ < 1 && clickLevel_ < 1) {
        hoverLevel_ = clickLevel_ = 0;
        StopFade();
    } else {
        hoverLevel_ = std::max(hoverLevel_ - 10, 0);
    }
    Invalidate();
}

void TRbCustomControl::FadeTick()
{
    if (fadeStep_ == FadeStep::In)
        FadeInStep();
    else
        FadeOutStep();
}

void TRbCustomControl::timerEvent(QTimerEvent* e)
{
    if (e->timerId() == fadeTimer_.timerId())
        forms::RunGuarded([this] { FadeTick(); });
    else
        forms::TCustomControl::timerEvent(e);
}

void StartFadeTimer(TRbCustomControl& control)
{
    control.fadeTimer_.stop();
    control.fadeTimer_.start(FadeInterval(control.fadeSpeed_), &control);
}

// ---- style manager ----

TRbStyleManager::TRbStyleManager() = default;

TRbStyleManager::~TRbStyleManager()
{
    destroying_ = true;
    for (TRbCustomControl* c : controls_)
        c->styleManager_ = nullptr;
}

void TRbStyleManager::Assign(const TRbStyleManager& o)
{
    colors_.Assign(o.colors_);
    splitterColors_.Assign(o.splitterColors_);
    font_.Assign(o.font_);
    ShowFocusRect = o.ShowFocusRect;
    HotTrack = o.HotTrack;
    GradientBorder = o.GradientBorder;
    TextShadow = o.TextShadow;
    CheckColor = o.CheckColor;
    FadeSpeed = o.FadeSpeed;
    PanelColor = o.PanelColor;
    BorderColor = o.BorderColor;
}

void TRbStyleManager::Register(TRbCustomControl* control)
{
    if (control && std::find(controls_.begin(), controls_.end(), control) == controls_.end())
        controls_.push_back(control);
}

void TRbStyleManager::Unregister(TRbCustomControl* control)
{
    if (destroying_)
        return;
    std::erase(controls_, control);
}

}  // namespace controls
