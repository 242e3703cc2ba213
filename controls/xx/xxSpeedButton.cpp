#include "controls/xx/xxSpeedButton.h"

#include <QCursor>

namespace controls {

using namespace gfx;

TxxSpeedButton::TxxSpeedButton(QWidget* parent) : TSpeedButton(parent)
{
    onFont_.SetColor(clHighlight);
    watch_.setInterval(WatchInterval);
    QObject::connect(&watch_, &QTimer::timeout, this, [this] { watchTick(); });
}

void TxxSpeedButton::setColor(TColor& field, TColor value)
{
    if (field == value)
        return;
    field = value;
    Invalidate();
}

void TxxSpeedButton::SetOnUpColor(TColor c) { setColor(onUpColor_, c); }
void TxxSpeedButton::SetOnDownColor(TColor c) { setColor(onDownColor_, c); }
void TxxSpeedButton::SetBackColor(TColor c) { setColor(backColor_, c); }
void TxxSpeedButton::SetFrameColor(TColor c) { setColor(frameColor_, c); }

void TxxSpeedButton::SetOnAction(bool on)
{
    if (on == onAction_)
        return;
    onAction_ = on;
    Invalidate();
}

void TxxSpeedButton::SetOnFont(const TFont& font)
{
    onFont_.Assign(font);
    Invalidate();
}

TColor TxxSpeedButton::FaceColor() const
{
    if (!Flat())
        return TSpeedButton::FaceColor();
    return (State() == bsDown || State() == bsExclusive) ? onDownColor_ : backColor_;
}

void TxxSpeedButton::MouseEnter()
{
    if (Flat() && Enabled())
        Invalidate();
    FireAtCursor(OnMouseEnter, this);
    if (!Enabled())
        return;
    mouseInside_ = true;
    watch_.start();
    Invalidate();
}

void TxxSpeedButton::MouseLeave()
{
    if (Flat() && Enabled())
        Invalidate();
    FireAtCursor(OnMouseLeave, this);
    mouseInside_ = false;
    watch_.stop();
    Invalidate();
}

void TxxSpeedButton::watchTick()
{
    if (!mouseInside_ || !Enabled())
        return;
    if (rect().contains(mapFromGlobal(QCursor::pos())))
        return;
    // The leave was missed (a fast move off the window): end the hover state now.
    QEvent leave(QEvent::Leave);
    leaveEvent(&leave);
}

void TxxSpeedButton::Paint()
{
    const TRect client = Rect(0, 0, Width(), Height());
    PaintFace(client);
    TCanvas& c = Canvas();
    const bool down = State() == bsDown || State() == bsExclusive;
    if (Enabled() && Flat()) {
        c.Brush().SetStyle(bsSolid);
        switch (flatStyle_) {
        case fsNetscape4:
            if (down) {
                c.Brush().SetColor(clBlack);
                c.FrameRect(client);
                TRect inner = InflateRect(client, -1, -1);
                c.DrawEdge(inner, BDR_SUNKENOUTER, BF_RECT);
            } else if (mouseInside_) {
                if (onAction_) {
                    c.Brush().SetColor(onUpColor_);
                    c.FillRect(client);
                } else {
                    TRect inner = InflateRect(client, -1, -1);
                    c.DrawEdge(inner, BDR_RAISEDINNER, BF_RECT);
                    c.Brush().SetColor(clBlack);
                    c.FrameRect(client);
                }
            }
            break;
        case fsFlatUp:
        case fsFlatAll:
        case fsFrame:
            if (!onAction_)
                break;
            if (!mouseInside_) {
                c.Brush().SetColor(Color());
                c.FrameRect(client);
            } else if (!down) {
                c.Brush().SetColor(flatStyle_ == fsFrame ? frameColor_ : onUpColor_);
                c.FrameRect(client);
            }
            break;
        case fsOffice97:
            break;
        }
    }
    PaintContent(client, onAction_ && mouseInside_ ? onFont_ : Font());
}

}  // namespace controls
