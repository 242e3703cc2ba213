#include "controls/std/SpeedButton.h"

#include <QColor>

namespace controls {

using namespace gfx;

TSpeedButton::TSpeedButton(QWidget* parent)
    : TCustomControl(parent), glyph_(std::make_unique<TBitmap>())
{
    SetTabStop(false);
    resize(23, 22);
}

TSpeedButton::~TSpeedButton() = default;

void TSpeedButton::SetGlyph(const TBitmap& bitmap)
{
    glyph_->Assign(bitmap);
    // A glyph several times as wide as high holds that many images.
    if (bitmap.Height() > 0 && bitmap.Width() % bitmap.Height() == 0) {
        const int n = bitmap.Width() / bitmap.Height();
        if (n >= 1 && n <= 4)
            numGlyphs_ = n;
    }
    Invalidate();
}

void TSpeedButton::SetNumGlyphs(int n)
{
    n = std::clamp(n, 1, 4);
    if (n == numGlyphs_)
        return;
    numGlyphs_ = n;
    Invalidate();
}

void TSpeedButton::SetLayout(TButtonLayout l)
{
    if (l == layout_)
        return;
    layout_ = l;
    Invalidate();
}

void TSpeedButton::SetMargin(int m)
{
    if (m == margin_ || m < -1)
        return;
    margin_ = m;
    Invalidate();
}

void TSpeedButton::SetSpacing(int s)
{
    if (s == spacing_)
        return;
    spacing_ = s;
    Invalidate();
}

void TSpeedButton::SetFlat(bool on)
{
    if (on == flat_)
        return;
    flat_ = on;
    Invalidate();
}

void TSpeedButton::SetDown(bool on)
{
    if (groupIndex_ == 0)
        on = false;
    if (on == down_)
        return;
    // A latched button comes up by itself only when the group may be all up.
    if (down_ && !allowAllUp_)
        return;
    down_ = on;
    if (Enabled())
        state_ = on ? bsExclusive : bsUp;
    Invalidate();
    if (on)
        updateExclusive();
}

void TSpeedButton::SetGroupIndex(int g)
{
    if (g == groupIndex_)
        return;
    groupIndex_ = g;
    updateExclusive();
}

void TSpeedButton::SetAllowAllUp(bool on)
{
    if (on == allowAllUp_)
        return;
    allowAllUp_ = on;
    updateExclusive();
}

// The other buttons of the group on the same parent come up and share AllowAllUp.
void TSpeedButton::updateExclusive()
{
    if (groupIndex_ == 0 || !parentWidget())
        return;
    for (QObject* o : parentWidget()->children()) {
        auto* other = dynamic_cast<TSpeedButton*>(o);
        if (!other || other == this || other->groupIndex_ != groupIndex_)
            continue;
        other->allowAllUp_ = allowAllUp_;
        if (down_ && other->down_) {
            other->down_ = false;
            if (other->Enabled())
                other->state_ = bsUp;
            other->Invalidate();
        }
    }
}

TSpeedButton::ContentLayout TSpeedButton::CalcLayout(const TRect& client, TSize textSize) const
{
    const int glyphW = glyph_->Empty() ? 0 : glyph_->Width() / numGlyphs_;
    const int glyphH = glyph_->Empty() ? 0 : glyph_->Height();
    const bool horizontal = layout_ == blGlyphLeft || layout_ == blGlyphRight;
    const int avail = horizontal ? client.Width() : client.Height();
    const int cross = horizontal ? client.Height() : client.Width();
    const int g = horizontal ? glyphW : glyphH;
    const int t = horizontal ? textSize.cx : textSize.cy;
    int spacing = spacing_, margin = margin_;
    if (Caption().empty() || glyph_->Empty())
        spacing = 0;
    if (margin == -1) {
        if (spacing == -1) {
            margin = (avail - g - t) / 3;
            spacing = margin;
        } else {
            margin = (avail - g - spacing - t + 1) / 2;
        }
    } else if (spacing == -1) {
        spacing = (avail - margin - g - t) / 2;
    }
    int gPos = margin, tPos = 0;
    if (layout_ == blGlyphLeft || layout_ == blGlyphTop) {
        tPos = gPos + g + spacing;
    } else {
        gPos = avail - margin - g;
        tPos = gPos - spacing - t;
    }
    const int gCross = (cross - (horizontal ? glyphH : glyphW) + 1) / 2;
    const int tCross = (cross - (horizontal ? textSize.cy : textSize.cx) + 1) / 2;
    ContentLayout out;
    if (horizontal) {
        out.glyphPos = Point(client.Left + gPos, client.Top + gCross);
        out.textRect = Bounds(client.Left + tPos, client.Top + tCross, textSize.cx, textSize.cy);
    } else {
        out.glyphPos = Point(client.Left + gCross, client.Top + gPos);
        out.textRect = Bounds(client.Left + tCross, client.Top + tPos, textSize.cx, textSize.cy);
    }
    return out;
}

TColor TSpeedButton::FaceColor() const
{
    return flat_ ? Color() : clBtnFace;
}

void TSpeedButton::PaintFace(const TRect& client)
{
    TCanvas& c = Canvas();
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(FaceColor());
    c.FillRect(client);
    const bool pressed = state_ == bsDown || state_ == bsExclusive;
    if (state_ == bsExclusive) {
        // A latched button shows a fine check of the face and the highlight.
        const TColor light = ColorToRGB(clBtnHighlight);
        for (int y = client.Top + 1; y < client.Bottom - 1; ++y)
            for (int x = client.Left + 1 + ((y + 1) & 1); x < client.Right - 1; x += 2)
                c.SetPixel(x, y, light);
    }
    TRect r = client;
    if (!flat_)
        c.DrawEdge(r, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    else if (Enabled() && pressed)
        c.DrawEdge(r, BDR_SUNKENOUTER, BF_RECT);
    else if (Enabled() && MouseInControl())
        c.DrawEdge(r, BDR_RAISEDINNER, BF_RECT);
}

QImage TSpeedButton::glyphImage(int index) const
{
    const int w = glyph_->Width() / numGlyphs_;
    if (index >= numGlyphs_)
        index = 0;
    return glyph_->ToImage().copy(index * w, 0, w, glyph_->Height());
}

void TSpeedButton::PaintContent(const TRect& client, const TFont& font)
{
    TCanvas& c = Canvas();
    c.Font().Assign(font);
    TRect measure = Rect(0, 0, client.Width(), client.Height());
    if (!Caption().empty())
        c.DrawText(Caption(), measure, DT_CALCRECT | DT_SINGLELINE);
    const TSize textSize = Caption().empty() ? TSize{} : TSize{measure.Width(), measure.Height()};
    ContentLayout lay = CalcLayout(client, textSize);
    const bool pressed = state_ == bsDown || state_ == bsExclusive;
    const int shift = pressed ? 1 : 0;
    lay.glyphPos = Point(lay.glyphPos.X + shift, lay.glyphPos.Y + shift);
    lay.textRect = OffsetRect(lay.textRect, shift, shift);

    if (!glyph_->Empty()) {
        const TColor key = glyph_->TransparentColor();
        const bool ownDisabled = numGlyphs_ >= 2;
        QImage img = glyphImage(state_ == bsDisabled && !ownDisabled ? 0 : int(state_));
        const TRect src = Rect(0, 0, img.width(), img.height());
        const TRect dest = Bounds(lay.glyphPos.X, lay.glyphPos.Y, img.width(), img.height());
        if (state_ == bsDisabled && !ownDisabled) {
            // Without an image of its own the disabled glyph is embossed: its dark pixels in
            // the highlight one pixel down-right, then in the shadow colour.
            for (int pass = 0; pass < 2; ++pass) {
                const TColor ink = ColorToRGB(pass == 0 ? clBtnHighlight : clBtnShadow);
                for (int y = 0; y < img.height(); ++y)
                    for (int x = 0; x < img.width(); ++x) {
                        const QRgb v = img.pixel(x, y);
                        if (gfx::RGB(qRed(v), qGreen(v), qBlue(v)) == key || qGray(v) > 192)
                            continue;
                        c.SetPixel(dest.Left + x + 1 - pass, dest.Top + y + 1 - pass, ink);
                    }
            }
        } else {
            c.DrawImage(img, src, dest, key);
        }
    }
    if (Caption().empty())
        return;
    c.Brush().SetStyle(bsClear);
    const unsigned flags = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
    if (state_ == bsDisabled) {
        TRect shifted = OffsetRect(lay.textRect, 1, 1);
        c.Font().SetColor(clBtnHighlight);
        c.DrawText(Caption(), shifted, flags);
        c.Font().SetColor(clBtnShadow);
    }
    c.DrawText(Caption(), lay.textRect, flags);
}

void TSpeedButton::Paint()
{
    const TRect client = Rect(0, 0, Width(), Height());
    PaintFace(client);
    PaintContent(client, Font());
}

void TSpeedButton::MouseDown(forms::TMouseButton b, forms::TShiftState s, int x, int y)
{
    TCustomControl::MouseDown(b, s, x, y);
    if (b != forms::mbLeft || !Enabled())
        return;
    if (!down_) {
        state_ = bsDown;
        Invalidate();
    }
    dragging_ = true;
}

void TSpeedButton::MouseMove(forms::TShiftState s, int x, int y)
{
    TCustomControl::MouseMove(s, x, y);
    if (!dragging_)
        return;
    TButtonState next = down_ ? bsExclusive : bsUp;
    if (rect().contains(x, y))
        next = down_ ? bsExclusive : bsDown;
    if (next != state_) {
        state_ = next;
        Invalidate();
    }
}

void TSpeedButton::MouseUp(forms::TMouseButton b, forms::TShiftState s, int x, int y)
{
    TCustomControl::MouseUp(b, s, x, y);
    if (!dragging_ || b != forms::mbLeft)
        return;
    dragging_ = false;
    if (groupIndex_ != 0 && rect().contains(x, y))
        SetDown(!down_);
    if (Enabled())
        state_ = down_ ? bsExclusive : bsUp;
    Invalidate();
}

void TSpeedButton::MouseEnter()
{
    if (flat_ && Enabled())
        Invalidate();
    TCustomControl::MouseEnter();
}

void TSpeedButton::MouseLeave()
{
    if (flat_ && Enabled())
        Invalidate();
    TCustomControl::MouseLeave();
}

void TSpeedButton::EnabledChanged()
{
    state_ = !Enabled() ? bsDisabled : down_ ? bsExclusive : bsUp;
    Invalidate();
}

}  // namespace controls
