#include "controls/display/BitmapPanel.h"

#include <algorithm>

#include <QResizeEvent>

#include "controls/display/AnalogMeter.h"

namespace controls {

TBitmapPanel::TBitmapPanel(QWidget* parent) : TCustomControl(parent)
{
    bitmap_.SetPixelFormat(gfx::pf32bit);
}

void TBitmapPanel::SetBitmap(const gfx::TBitmap& bitmap)
{
    bitmap_.Assign(bitmap);
    bitmapChanged();
}

void TBitmapPanel::SetDisplay(TDisplay d)
{
    display_ = d;
    bitmapChanged();
    if (OnDisplayChange)
        OnDisplayChange(this);
}

void TBitmapPanel::SetAlign(TAlign a)
{
    if (a == align_)
        return;
    align_ = a;
    bitmapChanged();
}

void TBitmapPanel::bitmapChanged()
{
    fitToBitmap();
    for (QObject* child : children())
        if (auto* meter = dynamic_cast<TAnalogMeter*>(child))
            meter->ParentPictureChanged();
    Invalidate();
}

void TBitmapPanel::SetBorderStyle(TBorderStyle s)
{
    if (s == borderStyle_)
        return;
    borderStyle_ = s;
    bitmapChanged();
}

bool TBitmapPanel::canResize(int& w, int& h)
{
    bool ok = true;
    if (OnCanResize)
        OnCanResize(this, w, h, ok);
    return ok;
}

void TBitmapPanel::resizeTo(int w, int h)
{
    if (QSize(w, h) == size() || !canResize(w, h))
        return;
    resizing_ = true;
    resize(std::max(0, w), std::max(0, h));
    resizing_ = false;
}

void TBitmapPanel::SetBounds(int left, int top, int w, int h)
{
    move(left, top);
    resizeTo(w, h);
}

// A resize from elsewhere is asked about after the fact and put back (or adjusted) at once.
void TBitmapPanel::resizeEvent(QResizeEvent* e)
{
    if (!resizing_ && OnCanResize && e->oldSize().isValid()) {
        int w = e->size().width(), h = e->size().height();
        const QSize want = canResize(w, h) ? QSize(std::max(0, w), std::max(0, h)) : e->oldSize();
        if (want != e->size()) {
            resizing_ = true;
            resize(want);
            resizing_ = false;
            return;
        }
    }
    TCustomControl::resizeEvent(e);
}

// The layouts that size the panel do so when the picture or the layout changes.
void TBitmapPanel::fitToBitmap()
{
    if (bitmap_.Empty())
        return;
    if (display_ == diAutosize && align_ != alNone)
        display_ = diCenter;  // an owner's layout sizes the panel from now on
    const int b2 = 2 * BorderWidth(borderStyle_);
    if (display_ == diAutosize)
        resizeTo(bitmap_.Width() + b2, bitmap_.Height() + b2);
    else if (display_ == diSimple)
        resizeTo(std::max(width(), bitmap_.Width() + b2), std::max(height(), bitmap_.Height() + b2));
}

void TBitmapPanel::drawBitmap(gfx::TCanvas& c)
{
    const int b = BorderWidth(borderStyle_);
    const int w = width() - 2 * b, h = height() - 2 * b, bw = bitmap_.Width(), bh = bitmap_.Height();
    c.SetClipRect(gfx::Rect(b, b, b + w, b + h));
    switch (display_) {
    case diSimple:
    case diAutosize:
        c.Draw(b, b, bitmap_);
        break;
    case diTile:
        for (int y = 0; y < h; y += bh)
            for (int x = 0; x < w; x += bw)
                c.Draw(b + x, b + y, bitmap_);
        break;
    case diScretch:
        c.StretchDraw(gfx::Rect(b, b, b + w, b + h), bitmap_);
        break;
    case diKeepAscpect: {
        const double ratio = double(bh) / bw;
        int dw = w, dh = int(w * ratio);
        if (dh > h) {
            dh = h;
            dw = int(h / ratio);
        }
        const int left = b + (w - dw) / 2, top = b + (h - dh) / 2;
        c.StretchDraw(gfx::Rect(left, top, left + dw, top + dh), bitmap_);
        break;
    }
    case diCenter:
        c.Draw(b + (bw < w ? (w - bw) / 2 : 0), b + (bh < h ? (h - bh) / 2 : 0), bitmap_);
        break;
    }
    c.ClearClip();
}

void TBitmapPanel::Paint()
{
    TCustomControl::Paint();
    gfx::TCanvas& c = Canvas();
    if (!bitmap_.Empty())
        drawBitmap(c);
    if (borderStyle_ == bsSingle) {
        c.Brush().SetColor(gfx::clWindowFrame);
        c.FrameRect(gfx::Rect(0, 0, width(), height()));
    }
    if (selected_) {
        c.Pen().SetWidth(1);
        c.Pen().SetStyle(gfx::psDot);
        c.Pen().SetColor(gfx::clRed);
        c.Brush().SetStyle(gfx::bsClear);
        c.Rectangle(1, 1, width() - 2, height() - 2);
        c.Pen().SetStyle(gfx::psSolid);
        c.Brush().SetStyle(gfx::bsSolid);
    }
}

void TBitmapPanel::MouseDown(forms::TMouseButton button, forms::TShiftState shift, int x, int y)
{
    TCustomControl::MouseDown(button, shift, x, y);
    grabOffset_ = QPoint(x, y);
    selected_ = true;
    if (OnSelectClick)
        OnSelectClick(this);
    Invalidate();
}

// With the left button held a selected, moveable panel follows the mouse; any other move
// drops the selection.
void TBitmapPanel::MouseMove(forms::TShiftState shift, int x, int y)
{
    TCustomControl::MouseMove(shift, x, y);
    if (!(shift & forms::ssLeft)) {
        if (selected_) {
            selected_ = false;
            Invalidate();
        }
        return;
    }
    if (moveable_ && selected_) {
        const QPoint to = mapToParent(QPoint(x, y)) - grabOffset_;
        if (to != pos()) {
            move(to);
            moving_ = true;
        }
    }
}

void TBitmapPanel::MouseUp(forms::TMouseButton button, forms::TShiftState shift, int x, int y)
{
    TCustomControl::MouseUp(button, shift, x, y);
    if (moving_) {
        moving_ = false;
        if (OnPanelMove)
            OnPanelMove(this);
    }
    if (selected_) {
        selected_ = false;
        Invalidate();
    }
}

}  // namespace controls
