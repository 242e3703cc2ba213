#include "controls/panel/RbPanel.h"

#include "platform/gfx/Regions.h"

namespace controls {

using namespace gfx;

TRbPanel::TRbPanel(QWidget* parent) : TRbCustomControl(parent)
{
    SetColor(0xE3DFDF);
    Font().SetColor(0xCE0000);
    resize(185, 105);
    constructed_ = true;
    face_.SetPixelFormat(pf24bit);
    face_.SetSize(Width(), Height());
    realign();
    rebuildFace();
}

void TRbPanel::SetCaptionPosition(TRbCaptionPos p)
{
    if (p == captionPosition_)
        return;
    captionPosition_ = p;
    realign();
    UpdateGradients();
}

void TRbPanel::SetCornerWidth(int w)
{
    if (w < 0 || w == cornerWidth_)
        return;
    cornerWidth_ = w;
    UpdateGradients();
}

void TRbPanel::SetBorderWidth(int w)
{
    if (w <= 0 || w == borderWidth_)
        return;
    borderWidth_ = w;
    realign();
    UpdateGradients();
}

int TRbPanel::captionHeight()
{
    Canvas().Font().Assign(Font());
    return Canvas().TextHeight(Caption());
}

void TRbPanel::AdjustClientRect(TRect& rect)
{
    const int b = borderWidth_ + 1;
    if (captionPosition_ != cpGroupBox) {
        rect = InflateRect(rect, -b, -b);
        return;
    }
    const int half = captionHeight() / 2;
    rect = Rect(rect.Left + b, rect.Top + half + 2, rect.Right - b, rect.Bottom - half - 2);
    rect = OffsetRect(rect, 0, half - 1);
}

// Children placed by a layout keep to the adjusted client area.
void TRbPanel::realign()
{
    TRect r = Rect(0, 0, Width(), Height());
    AdjustClientRect(r);
    setContentsMargins(r.Left, r.Top, Width() - r.Right, Height() - r.Bottom);
}

void TRbPanel::UpdateGradients()
{
    if (!constructed_)
        return;
    rebuildFace();
    Invalidate();
}

void TRbPanel::Loaded()
{
    TRbCustomControl::Loaded();
    UpdateGradients();
}

void TRbPanel::Resized()
{
    if (constructed_) {
        face_.SetSize(Width(), Height());
        realign();
        UpdateGradients();
    }
    TRbCustomControl::Resized();
}

void TRbPanel::FontChanged()
{
    // A group-box caption's height places the frame and the children.
    if (constructed_ && captionPosition_ == cpGroupBox) {
        realign();
        UpdateGradients();
    }
    Invalidate();
}

void TRbPanel::ParentColorChanged()
{
    if (ParentColor())
        SetOuterColor(Color());
}

void TRbPanel::rebuildFace()
{
    if (Loading() || face_.Empty())
        return;
    const int k = antialiased_ ? 3 : 1;
    TBitmap big;
    TBitmap& work = antialiased_ ? big : face_;
    if (antialiased_) {
        big.SetPixelFormat(pf24bit);
        big.SetSize(Width() * k, Height() * k);
    }
    const int W = work.Width(), H = work.Height();
    TCanvas& c = work.Canvas();
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(outerColor_);
    c.FillRect(Rect(0, 0, W, H));
    c.Pen().SetStyle(psSolid);
    c.Pen().SetWidth(borderWidth_ * k - 1);
    c.Pen().SetColor(borderColor_);
    c.Brush().SetColor(Color());
    const int h = (borderWidth_ * k - 1) / 2;
    const int t = captionPosition_ == cpGroupBox ? h + captionHeight() * k / 2 : h;
    const int corner = cornerWidth_ * k;
    if (gradient_) {
        const QRegion inside = CreateRoundRectRgn(h, t, W - h, H - h, corner, corner);
        DrawGradient(work, Rect(0, 0, W, H), defaultFrom_, &inside, gradientType_, defaultTo_);
        c.Brush().SetStyle(bsClear);
    }
    c.RoundRect(h, t, W - h, H - h, corner, corner);
    if (antialiased_)
        ReduceAntialiased(Color(), big, face_, 3, (cornerWidth_ + 20) / 2);
}

void TRbPanel::Paint()
{
    TCanvas& c = Canvas();
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(outerColor_);
    c.FillRect(Rect(0, 0, Width(), Height()));
    c.Draw(0, 0, face_);

    const int bw = borderWidth_, cw = cornerWidth_;
    TRect r = Rect((cw + bw) / 2, bw, Width() - (cw + bw) / 2, Height() - bw);
    c.Font().Assign(Font());
    unsigned flags = DT_SINGLELINE | DT_END_ELLIPSIS;
    switch (captionPosition_) {
    case cpGroupBox:
    case cpTopLeft: break;
    case cpTopCenter: flags |= DT_CENTER; break;
    case cpTopRight: flags |= DT_RIGHT; break;
    case cpMiddleLeft: r.Left -= (cw - bw) / 2; flags |= DT_VCENTER; break;
    case cpMiddleCenter: flags |= DT_CENTER | DT_VCENTER; break;
    case cpMiddleRight: r.Right += (cw - bw) / 2; flags |= DT_RIGHT | DT_VCENTER; break;
    case cpBottomLeft: flags |= DT_BOTTOM; break;
    case cpBottomCenter: flags |= DT_CENTER | DT_BOTTOM; break;
    case cpBottomRight: flags |= DT_RIGHT | DT_BOTTOM; break;
    }
    if (captionPosition_ == cpGroupBox) {
        // The frame line is broken behind the caption.
        r.Top = 0;
        if (cw + bw < 2)
            r.Left += 5;
        const TSize text = c.TextExtent(Caption());
        const int middle = text.cy / 2;
        c.Brush().SetStyle(bsSolid);
        c.Brush().SetColor(outerColor_);
        c.FillRect(Rect(0, 0, Width(), middle));
        c.FillRect(Rect(r.Left, middle, r.Left + text.cx, middle + std::max(bw, middle)));
    }
    if (!ShowCaption())
        return;
    c.Brush().SetStyle(bsClear);
    DrawCaptionText(c, Caption(), Font(), textShadowColor_, TextShadow(), flags, r, Enabled());
}

}  // namespace controls
