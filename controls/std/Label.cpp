#include "controls/std/Label.h"

namespace controls {

using gfx::TRect;

TCustomLabel::TCustomLabel(QWidget* parent) : TCustomControl(parent)
{
    SetTabStop(false);
    resize(65, 17);
    adjustBounds();
}

unsigned TCustomLabel::TextFlags() const
{
    unsigned flags = gfx::DT_EXPANDTABS | (wordWrap_ ? gfx::DT_WORDBREAK : 0u);
    if (alignment_ == taRightJustify) flags |= gfx::DT_RIGHT;
    else if (alignment_ == taCenter) flags |= gfx::DT_CENTER;
    return flags;
}

void TCustomLabel::DoDrawText(TRect& rect, unsigned flags)
{
    std::string text = Caption();
    // An empty caption still has the height of a line (and a lone "&" would vanish).
    if (text.empty() || (showAccelChar_ && text == "&"))
        text += ' ';
    if (!showAccelChar_)
        flags |= gfx::DT_NOPREFIX;
    gfx::TCanvas& c = Canvas();
    c.Font().Assign(Font());
    if (flags & gfx::DT_CALCRECT) {
        c.DrawText(text, rect, flags);
        return;
    }
    c.Brush().SetStyle(gfx::bsClear);
    if (Enabled()) {
        c.DrawText(text, rect, flags);
        return;
    }
    TRect shifted = gfx::OffsetRect(rect, 1, 1);
    c.Font().SetColor(gfx::clBtnHighlight);
    c.DrawText(text, shifted, flags);
    c.Font().SetColor(gfx::clBtnShadow);
    c.DrawText(text, rect, flags);
}

void TCustomLabel::Paint()
{
    gfx::TCanvas& c = Canvas();
    if (!transparent_) {
        c.Brush().SetStyle(gfx::bsSolid);
        c.Brush().SetColor(Color());
        c.FillRect(gfx::Rect(0, 0, Width(), Height()));
    }
    TRect r = gfx::Rect(0, 0, Width(), Height());
    const unsigned flags = TextFlags();
    if (layout_ != tlTop) {
        TRect calc = r;
        DoDrawText(calc, flags | gfx::DT_CALCRECT);
        const int dy = layout_ == tlBottom ? Height() - calc.Bottom : (Height() - calc.Bottom) / 2;
        r = gfx::OffsetRect(r, 0, dy);
    }
    DoDrawText(r, flags);
}

void TCustomLabel::adjustBounds()
{
    if (!autoSize_)
        return;
    TRect r = gfx::Rect(0, 0, Width(), Height());
    DoDrawText(r, gfx::DT_EXPANDTABS | gfx::DT_CALCRECT | (wordWrap_ ? gfx::DT_WORDBREAK : 0u));
    int x = Left();
    // A right-aligned label grows and shrinks to the left.
    if (alignment_ == taRightJustify)
        x += Width() - r.Right;
    SetBounds(x, Top(), std::max(r.Right, 1), std::max(r.Bottom, 1));
}

void TCustomLabel::TextChanged()
{
    adjustBounds();
    Invalidate();
}

void TCustomLabel::FontChanged()
{
    adjustBounds();
    Invalidate();
}

void TCustomLabel::SetAlignment(TAlignment a)
{
    if (a == alignment_)
        return;
    alignment_ = a;
    Invalidate();
}

void TCustomLabel::SetLayout(TTextLayout l)
{
    if (l == layout_)
        return;
    layout_ = l;
    Invalidate();
}

void TCustomLabel::SetAutoSize(bool on)
{
    if (on == autoSize_)
        return;
    autoSize_ = on;
    adjustBounds();
}

void TCustomLabel::SetWordWrap(bool on)
{
    if (on == wordWrap_)
        return;
    wordWrap_ = on;
    adjustBounds();
    Invalidate();
}

void TCustomLabel::SetShowAccelChar(bool on)
{
    if (on == showAccelChar_)
        return;
    showAccelChar_ = on;
    adjustBounds();
    Invalidate();
}

void TCustomLabel::SetTransparent(bool on)
{
    if (on == transparent_)
        return;
    transparent_ = on;
    SetTransparentBackground(SeesThrough());
}

bool TCustomLabel::DialogChar(char32_t ch)
{
    if (!showAccelChar_ || !focusControl_ || !focusControl_->isEnabled() || !IsAccel(ch, Caption()))
        return false;
    focusControl_->setFocus(Qt::ShortcutFocusReason);
    return true;
}

}  // namespace controls
