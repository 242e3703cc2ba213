#include "controls/flat/TFlatSpeedButtonUnit.h"

#include <QApplication>
#include <QCursor>

#include "controls/flat/FlatTracking.h"
#include "platform/forms/Form.h"

namespace controls {

namespace {

TFlatTracking& tracking()
{
    static TFlatTracking t([] { TFlatSpeedButton::TrackingTick(); });
    return t;
}

}  // namespace

TFlatSpeedButton::TFlatSpeedButton(QWidget* parent)
    : forms::TCustomControl(parent), glyph_(std::make_unique<gfx::TBitmap>())
{
    tracking().Attach();
    SetColor(0xE1EAEB);
    SetParentColor(true);
    SetTabStop(false);
    SetClickEvents(false);  // the release decides, see MouseUp
    resize(25, 25);
}

TFlatSpeedButton::~TFlatSpeedButton()
{
    tracking().Detach(this);
}

bool TFlatSpeedButton::SharedTimerExists()
{
    return tracking().TimerExists();
}

TFlatSpeedButton* TFlatSpeedButton::TrackedControl()
{
    return static_cast<TFlatSpeedButton*>(tracking().Tracked());
}

void TFlatSpeedButton::TrackingTick()
{
    TFlatSpeedButton* b = TrackedControl();
    if (b && !b->pointerOver())
        b->mouseLeft();
}

bool TFlatSpeedButton::pointerOver() const
{
    return isVisible() && rect().contains(mapFromGlobal(QCursor::pos()));
}

void TFlatSpeedButton::SetTransparentMode(TTransparentMode mode)
{
    if (mode == transparentMode_)
        return;
    transparentMode_ = mode;
    SetTransparentBackground(mode != tmNone);
    Invalidate();
}

void TFlatSpeedButton::SetAllowAllUp(bool on)
{
    if (on == allowAllUp_)
        return;
    allowAllUp_ = on;
    tellGroup();
}

void TFlatSpeedButton::SetGroupIndex(int index)
{
    if (index == groupIndex_)
        return;
    groupIndex_ = index;
    tellGroup();
}

void TFlatSpeedButton::SetDown(bool on)
{
    if (groupIndex_ == 0)
        on = false;
    if (on == down_)
        return;
    if (down_ && !allowAllUp_)
        return;
    down_ = on;
    if (on) {
        if (state_ == bsUp)
            Invalidate();
        state_ = bsExclusive;
    } else {
        state_ = bsUp;
        Repaint();
    }
    if (on)
        tellGroup();
}

// The other buttons of the group on the same parent take this one's AllowAllUp, and a down
// one comes up when this one is down.
void TFlatSpeedButton::tellGroup()
{
    if (groupIndex_ == 0 || !parentWidget())
        return;
    for (QObject* o : parentWidget()->children())
        if (auto* other = dynamic_cast<TFlatSpeedButton*>(o))
            other->groupPressed(this);
}

void TFlatSpeedButton::groupPressed(TFlatSpeedButton* sender)
{
    if (sender == this || sender->groupIndex_ != groupIndex_)
        return;
    if (sender->down_ && down_) {
        down_ = false;
        state_ = bsUp;
        Invalidate();
    }
    allowAllUp_ = sender->allowAllUp_;
}

TColor TFlatSpeedButton::Colors(int index) const
{
    return index >= 0 && index < 5 ? colors_[index] : TColor(-1);
}

void TFlatSpeedButton::SetColors(int index, TColor value)
{
    if (index < 0 || index >= 5)
        return;
    colors_[index] = value;
    Invalidate();
}

TAdvColors TFlatSpeedButton::AdvColors(int index) const
{
    return index >= 0 && index < 3 ? adv_[index] : -1;
}

void TFlatSpeedButton::SetAdvColors(int index, TAdvColors value)
{
    if (index < 0 || index >= 3)
        return;
    adv_[index] = std::clamp(value, 0, 100);
    updateAdvColors();
    Invalidate();
}

void TFlatSpeedButton::SetUseAdvColors(bool on)
{
    if (on == useAdvColors_)
        return;
    useAdvColors_ = on;
    SetParentColor(on);
    updateAdvColors();
    Invalidate();
}

void TFlatSpeedButton::updateAdvColors()
{
    if (!useAdvColors_)
        return;
    colors_[0] = CalcAdvancedColor(Color(), colors_[0], adv_[0], false);
    colors_[1] = CalcAdvancedColor(Color(), colors_[1], adv_[1], true);
    colors_[2] = CalcAdvancedColor(Color(), colors_[2], adv_[2], true);
}

void TFlatSpeedButton::ParentColorChanged()
{
    updateAdvColors();
    Invalidate();
}

void TFlatSpeedButton::ColorChanged()
{
    updateAdvColors();
    Invalidate();
}

void TFlatSpeedButton::SetGlyph(const gfx::TBitmap& bitmap)
{
    glyph_->Assign(bitmap);
    if (!bitmap.Empty() && bitmap.Width() % bitmap.Height() == 0) {
        const int n = bitmap.Width() / bitmap.Height();
        numGlyphs_ = n > 4 ? 1 : n;
    }
    Invalidate();
}

void TFlatSpeedButton::SetActionImage(const forms::TImageList& images, int index)
{
    if (!glyph_->Empty() || index < 0 || index >= images.Count())
        return;
    gfx::TBitmap over(images.Width(), images.Height(), gfx::pf24bit);
    gfx::TCanvas& c = over.Canvas();
    c.Brush().SetStyle(gfx::bsSolid);
    c.Brush().SetColor(gfx::clFuchsia);
    c.FillRect(gfx::Rect(0, 0, images.Width(), images.Height()));
    images.Draw(c, 0, 0, index);
    over.SetTransparentColor(gfx::clFuchsia);
    SetGlyph(over);
}

void TFlatSpeedButton::SetNumGlyphs(int n)
{
    n = std::clamp(n, 1, 4);
    if (n == numGlyphs_)
        return;
    numGlyphs_ = n;
    Invalidate();
}

void TFlatSpeedButton::SetLayout(TButtonLayout layout)
{
    if (layout == layout_)
        return;
    layout_ = layout;
    Invalidate();
}

void TFlatSpeedButton::SetMargin(int margin)
{
    if (margin == margin_ || margin < -1)
        return;
    margin_ = margin;
    Invalidate();
}

void TFlatSpeedButton::SetSpacing(int spacing)
{
    if (spacing == spacing_)
        return;
    spacing_ = spacing;
    Invalidate();
}

void TFlatSpeedButton::Click()
{
    if (forms::TForm* form = ParentForm())
        form->SetModalResult(modalResult_);
    forms::TCustomControl::Click();
}

bool TFlatSpeedButton::DialogChar(char32_t ch)
{
    if (!IsAccel(ch, Caption()) || !isEnabled() || !isVisible())
        return false;
    Click();
    return true;
}

void TFlatSpeedButton::DblClick()
{
    if (down_)
        forms::TCustomControl::DblClick();
}

bool TFlatSpeedButton::Inside(int x, int y) const
{
    return x >= 0 && x < width() && y >= 0 && y <= height();
}

void TFlatSpeedButton::MouseDown(forms::TMouseButton b, forms::TShiftState s, int x, int y)
{
    forms::TCustomControl::MouseDown(b, s, x, y);
    if (b != forms::mbLeft || !isEnabled())
        return;
    if (!down_) {
        state_ = bsDown;
        Invalidate();
    }
    dragging_ = true;
}

void TFlatSpeedButton::MouseMove(forms::TShiftState s, int x, int y)
{
    forms::TCustomControl::MouseMove(s, x, y);
    if (MouseInControl() && TrackedControl() != this) {
        if (TFlatSpeedButton* previous = TrackedControl())
            previous->mouseLeft();
        if (QApplication::activeWindow()) {
            tracking().Track(this);
            mouseEntered();
        }
    }
    if (!dragging_)
        return;
    TButtonState next = down_ ? bsExclusive : bsUp;
    if (Inside(x, y))
        next = down_ ? bsExclusive : bsDown;
    if (next != state_) {
        state_ = next;
        Invalidate();
    }
}

void TFlatSpeedButton::MouseUp(forms::TMouseButton b, forms::TShiftState s, int x, int y)
{
    forms::TCustomControl::MouseUp(b, s, x, y);
    if (!dragging_)
        return;
    dragging_ = false;
    const bool inside = Inside(x, y);
    if (groupIndex_ == 0) {
        state_ = bsUp;
        mouseIn_ = false;
        if (inside)
            Invalidate();
    } else if (inside) {
        SetDown(!down_);
        if (down_)
            Repaint();
    } else {
        if (down_)
            state_ = bsExclusive;
        Repaint();
    }
    if (inside)
        Click();
    else
        mouseLeft();
    // The pointer may have come or gone while the button was held.
    const bool over = pointerOver() || MouseInControl();
    if (over != mouseIn_ && isEnabled()) {
        mouseIn_ = over;
        if (!over && TrackedControl() == this)
            tracking().Stop();
        Repaint();
    }
}

// OnMouseEnter and OnMouseLeave follow the hover state, not the window system's crossings:
// a leave that only the timer sees is reported too, and a held button's leave waits.
void TFlatSpeedButton::mouseEntered()
{
    if (!isEnabled() || mouseIn_)
        return;
    mouseIn_ = true;
    Invalidate();
    forms::TCustomControl::MouseEnter();
}

void TFlatSpeedButton::mouseLeft()
{
    if (!isEnabled() || !mouseIn_ || dragging_)
        return;
    mouseIn_ = false;
    if (TrackedControl() == this)
        tracking().Stop();
    Invalidate();
    forms::TCustomControl::MouseLeave();
}

void TFlatSpeedButton::MouseEnter()
{
    // The move that follows makes the button the tracked one (MouseMove).
}

void TFlatSpeedButton::MouseLeave()
{
    mouseLeft();
}

void TFlatSpeedButton::EnabledChanged()
{
    if (!isEnabled()) {
        mouseIn_ = false;
        state_ = bsDisabled;
        if (TrackedControl() == this)
            tracking().Stop();
    }
    Invalidate();
}

void TFlatSpeedButton::Paint()
{
    if (!isEnabled()) {
        state_ = bsDisabled;
        dragging_ = false;
    } else if (state_ == bsDisabled) {
        state_ = down_ && groupIndex_ != 0 ? bsExclusive : bsUp;
    }
    gfx::TCanvas& c = Canvas();
    const TRect client = gfx::Rect(0, 0, width(), height());
    if (transparentMode_ == tmNone || (transparentMode_ == tmNotFocused && mouseIn_)) {
        TColor face = Color();
        switch (state_) {
        case bsUp: face = mouseIn_ ? ColorFocused() : Color(); break;
        case bsDisabled: face = Color(); break;
        case bsDown: face = ColorDown(); break;
        case bsExclusive: face = mouseIn_ ? ColorFocused() : ColorDown(); break;
        }
        c.Brush().SetStyle(gfx::bsSolid);
        c.Brush().SetColor(face);
        c.FillRect(client);
    }
    TRect frame = client;
    if (state_ == bsDown || state_ == bsExclusive)
        Frame3D(c, frame, ColorShadow(), ColorHighLight(), 1);
    else if (state_ == bsUp && mouseIn_)
        Frame3D(c, frame, ColorHighLight(), ColorShadow(), 1);
    else
        Frame3D(c, frame, ColorBorder(), ColorBorder(), 1);
    PaintGlyphAndCaption(client);
}

void TFlatSpeedButton::PaintGlyphAndCaption(const TRect& client)
{
    gfx::TCanvas& c = Canvas();
    c.Font().Assign(Font());
    const bool pressed = state_ == bsDown || state_ == bsExclusive;
    const gfx::TPoint offset = pressed ? gfx::TPoint{1, 1} : gfx::TPoint{0, 0};
    gfx::TPoint glyphPos;
    TRect textBounds;
    CalcButtonLayout(c, client, offset, Caption(), layout_, margin_, spacing_, glyphPos,
                     textBounds, glyph_.get(), numGlyphs_);
    if (!glyph_->Empty()) {
        const int w = glyph_->Width() / numGlyphs_, h = glyph_->Height();
        int index = int(state_);
        if (index >= numGlyphs_)
            index = 0;
        gfx::TBitmap image(w, h, gfx::pf24bit);
        image.Canvas().CopyRect(gfx::Rect(0, 0, w, h), glyph_->Canvas(),
                                gfx::Bounds(index * w, 0, w, h));
        image.SetTransparentColor(glyph_->TransparentColor());
        std::unique_ptr<gfx::TBitmap> disabled;
        const gfx::TBitmap* shown = &image;
        if (state_ == bsDisabled && numGlyphs_ < 2) {
            disabled = CreateDisabledBitmap(image, gfx::clBlack, gfx::clBtnFace, gfx::clBtnHighlight,
                                            gfx::clBtnShadow, true);
            shown = disabled.get();
        }
        c.DrawImage(shown->ToImage(), gfx::Rect(0, 0, w, h), gfx::Bounds(glyphPos.X, glyphPos.Y, w, h),
                    shown->TransparentColor());
    }
    if (Caption().empty())
        return;
    c.Brush().SetStyle(gfx::bsClear);
    const unsigned flags = gfx::DT_CENTER | gfx::DT_VCENTER | gfx::DT_SINGLELINE;
    if (state_ == bsDisabled) {
        TRect shifted = gfx::OffsetRect(textBounds, 1, 1);
        c.Font().SetColor(gfx::clBtnHighlight);
        c.DrawText(Caption(), shifted, flags);
        c.Font().SetColor(gfx::clBtnShadow);
    }
    c.DrawText(Caption(), textBounds, flags);
}

}  // namespace controls
