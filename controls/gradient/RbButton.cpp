#include "controls/gradient/RbButton.h"

#include "controls/common/ControlTypes.h"
#include "platform/forms/Form.h"

namespace controls {

TRbButton::TRbButton(QWidget* parent) : TRbCustomControl(parent)
{
    resize(75, 25);
    UpdateGradients();
}

void TRbButton::SetGlyph(const TBitmap& glyph)
{
    glyph_.Assign(glyph);
    Invalidate();
}

void TRbButton::SetSpacing(int s)
{
    spacing_ = s;
    Invalidate();
}

void TRbButton::SetLayout(TButtonLayout l)
{
    layout_ = l;
    Invalidate();
}

void TRbButton::SetShowFocusRect(bool on)
{
    showFocusRect_ = on;
    Invalidate();
}

void TRbButton::SetHotTrack(bool on)
{
    hotTrack_ = on;
    Invalidate();
}

void TRbButton::SetGradientBorder(bool on)
{
    if (on == gradientBorder_) return;
    gradientBorder_ = on;
    Invalidate();
}

void TRbButton::SetDefault(bool on)
{
    if (on == default_) return;
    default_ = on;
    NotifyFocusChanged(*this);
}

void TRbButton::SetGradientType(TGradientType t)
{
    if (t == gradientType_) return;
    gradientType_ = t;
    UpdateGradients();
}

void TRbButton::UpdateGradients()
{
    const TRect all = gfx::Rect(0, 0, Width(), Height());
    auto fill = [&](TBitmap& b, TColor from, TColor to) {
        b.SetSize(Width(), Height());
        b.SetPixelFormat(gfx::pf24bit);
        DrawGradient(b, all, from, nullptr, gradientType_, to);
    };
    fill(defaultBmp_, colors_.DefaultFrom(), colors_.DefaultTo());
    fill(overBmp_, colors_.OverFrom(), colors_.OverTo());
    fill(clickedBmp_, colors_.ClickedFrom(), colors_.ClickedTo());
    Invalidate();
}

void TRbButton::Resized()
{
    UpdateGradients();
    TRbCustomControl::Resized();
}

void TRbButton::MouseEnter()
{
    TRbCustomControl::MouseEnter();
    state_ |= StateOver;
    fadeStep_ = FadeStep::In;
    StartFadeTimer(*this);
}

void TRbButton::MouseLeave()
{
    TRbCustomControl::MouseLeave();
    if (down_)
        return;
    state_ &= ~StateOver;
    fadeStep_ = FadeStep::Out;
    StartFadeTimer(*this);
}

void TRbButton::LeftMouseDown()
{
    TRbCustomControl::LeftMouseDown();
    state_ |= StateOver | StatePressed;
    fadeStep_ = FadeStep::In;
    StartFadeTimer(*this);
}

void TRbButton::LeftMouseUp()
{
    if ((state_ & StatePressed) && !down_) {
        state_ &= ~StatePressed;
        if (state_ & StateOver)
            fadeStep_ = FadeStep::In;
    }
    StartFadeTimer(*this);
}

void TRbButton::Click()
{
    if (forms::TForm* f = ParentForm())
        f->SetModalResult(modalResult_);
    if (groupIndex_ > 0)
        SetDown(!down_);
    TRbCustomControl::Click();
}

void TRbButton::SetDown(bool value)
{
    if (groupIndex_ <= 0 || value == down_)
        return;
    QWidget* parent = parentWidget();
    auto groupMates = [&] {
        std::vector<TRbButton*> mates;
        if (parent)
            for (QWidget* w : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                if (auto* b = dynamic_cast<TRbButton*>(w); b && b != this && b->groupIndex_ == groupIndex_)
                    mates.push_back(b);
        return mates;
    };
    if (!value) {
        bool otherDown = false;
        for (TRbButton* b : groupMates())
            otherDown = otherDown || b->down_;
        if (!allowAllUp_ && !otherDown)
            return;
    }
    down_ = value;
    if (value) {
        for (TRbButton* b : groupMates())
            b->SetDown(false);
        state_ |= StateOver | StatePressed;
        fadeStep_ = FadeStep::In;
    } else {
        state_ &= ~StatePressed;
        fadeStep_ = FadeStep::Out;
    }
    StartFadeTimer(*this);
}

bool TRbButton::canTakeFocus() const
{
    return isEnabled() && isVisible() && focusPolicy() != Qt::NoFocus;
}

bool TRbButton::DialogKey(int key, forms::TShiftState shift)
{
    const bool shiftHeld = shift & (forms::ssShift | forms::ssCtrl | forms::ssAlt);
    const bool wanted = (key == forms::VK_RETURN && (hasFocus() || default_))
        || (key == forms::VK_ESCAPE && cancel_ && !shiftHeld);
    if (!wanted || !canTakeFocus())
        return false;
    Click();
    return true;
}

void TRbButton::KeyDown(int& key, forms::TShiftState shift)
{
    TRbCustomControl::KeyDown(key, shift);
    if (key == forms::VK_SPACE && !(shift & (forms::ssShift | forms::ssCtrl | forms::ssAlt))) {
        key = 0;
        Click();
    }
}

void TRbButton::FocusChanged(QWidget*)
{
    Invalidate();
}

TRect TRbButton::captionRect() const
{
    TRect r = gfx::Rect(0, 0, Width(), Height());
    if (glyph_.Empty())
        return r;
    const int dx = glyph_.Width() + spacing_, dy = glyph_.Height() + spacing_;
    switch (layout_) {
    case blGlyphLeft: r.Left += dx; break;
    case blGlyphRight: r.Left -= dx; break;
    case blGlyphTop: r.Top += dy; break;
    case blGlyphBottom: r.Top -= dy; break;
    }
    return r;
}

void TRbButton::Paint()
{
    gfx::TCanvas& c = Canvas();
    const int w = Width(), h = Height();
    TRect r = gfx::Rect(0, 0, w, h);

    TBitmap face(w, h, gfx::pf24bit);
    CopyBitmapBlended(face, defaultBmp_, overBmp_, 1, r, hoverLevel_);
    if (clickLevel_ > 0) {
        const TRect inner = gradientBorder_ ? gfx::InflateRect(r, -3, -3) : r;
        BlendBitmap(face, clickedBmp_, inner, clickLevel_);
    }
    gfx::TCanvas& fc = face.Canvas();
    fc.Brush().SetStyle(gfx::bsClear);
    fc.Pen().SetColor(Color());
    fc.Rectangle(r);
    fc.Pen().SetColor(colors_.BorderColor());
    fc.RoundRect(0, 0, w, h, 5, 5);
    c.DrawImage(face.PaintImage(), r, r);

    r = captionRect();
    c.Brush().SetStyle(gfx::bsClear);
    c.Font().Assign(Font());
    gfx::TFont font;
    font.Assign(Font());
    if (hotTrack_ && IsOver())
        font.SetColor(colors_.HotTrack());
    const bool hasCaption = ShowCaption() && !Caption().empty();
    if (ShowCaption())
        DrawCaptionText(c, Caption(), font, colors_.TextShadow(), TextShadow(),
                        MakeTextFlags(taCenter, false), r, isEnabled());

    if (!glyph_.Empty()) {
        TBitmap g;
        g.Assign(glyph_);
        g.SetPixelFormat(gfx::pf24bit);
        if (!isEnabled())
            TintBitmap(g, 0x404040);
        const int gw = g.Width(), gh = g.Height();
        const gfx::TSize text = hasCaption ? c.TextExtent(Caption()) : gfx::TSize{};
        int x = 0, y = 0;
        switch (layout_) {
        case blGlyphLeft:
            x = hasCaption ? (r.Left + r.Right - text.cx) / 2 - spacing_ - gw
                           : (r.Left + r.Right - spacing_) / 2 - gw;
            y = (h - gh) / 2;
            break;
        case blGlyphRight:
            x = hasCaption ? (r.Left + r.Right + text.cx) / 2 + spacing_
                           : (r.Left + r.Right) / 2 + spacing_;
            y = (h - gh) / 2;
            break;
        case blGlyphTop:
            y = hasCaption ? (r.Top + r.Bottom - text.cy) / 2 - spacing_ - gh
                           : (r.Top + r.Bottom) / 2 - spacing_ - gh;
            x = (w - gw) / 2;
            break;
        case blGlyphBottom:
            y = hasCaption ? (r.Top + r.Bottom + text.cy) / 2 + spacing_
                           : (r.Top + r.Bottom) / 2 + spacing_;
            x = (w - gw) / 2;
            break;
        }
        c.DrawImage(g.PaintImage(), gfx::Rect(0, 0, gw, gh), gfx::Bounds(x, y, gw, gh),
                    g.TransparentColor());
    }

    if (hasFocus() && showFocusRect_)
        DrawFocusMark(c, gfx::InflateRect(gfx::Rect(0, 0, w, h), -2, -2));
}

}  // namespace controls
