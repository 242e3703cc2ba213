#include "controls/alpha/GProgress.h"

#include <stdexcept>

#include "platform/forms/Application.h"
#include "platform/rtl/Numerics.h"

namespace controls {

using namespace gfx;

TGProgress::TGProgress(QWidget* parent) : TCustomControl(parent)
{
    SetColor(clHighlight);
    resize(150, 16);
}

void TGProgress::invalidateAll()
{
    fullPending_ = true;
    incremental_ = false;
    Invalidate();
}

void TGProgress::SetTransparent(bool on)
{
    if (on == transparent_)
        return;
    transparent_ = on;
    SetTransparentBackground(on);
    invalidateAll();
}

bool TGProgress::refuseNegative(int32_t value) const
{
    if (value >= 0)
        return false;
    forms::HandleException(std::invalid_argument(RangeError));
    return true;
}

void TGProgress::SetStep(int32_t value)
{
    if (!refuseNegative(value))
        step_ = value;
}

void TGProgress::SetMin(int32_t value)
{
    if (refuseNegative(value))
        return;
    min_ = value;
    if (position_ < min_)
        position_ = min_;
    invalidateAll();
}

void TGProgress::SetMax(int32_t value)
{
    if (refuseNegative(value))
        return;
    max_ = value;
    if (position_ > max_)
        position_ = max_;
    invalidateAll();
}

void TGProgress::SetPosition(int32_t value)
{
    if (value < min_) value = min_;
    if (value > max_) value = max_;
    position_ = value;
    if (value >= lastPainted_ && !fullPending_) {
        incremental_ = true;
        Repaint();
    } else {
        invalidateAll();
    }
    lastPainted_ = value;
}

int TGProgress::LastBlock() const
{
    const int64_t range = int64_t(max_) - min_;
    if (range == 0)
        return 0;
    // 64-bit: a large range times the width must not wrap.
    const int64_t filled = (int64_t(position_) - min_) * Width() - 4;
    return int(filled / range / 10);
}

TColor TGProgress::BlockColor(int i) const
{
    const TColor from = ColorToRGB(Color());
    if (!gradientBar_)
        return from;
    const int n = Width() / 10;
    const TColor to = ColorToRGB(colorEnd_);
    if (i >= n)
        return to;
    if (n < 2)
        return from;  // one block: nothing to spread the gradient over
    auto channel = [&](int f, int t) { return (f + rtl::MulDiv(i, t - f, n - 1)) & 0xFF; };
    return RGB(channel(GetRValue(from), GetRValue(to)), channel(GetGValue(from), GetGValue(to)),
               channel(GetBValue(from), GetBValue(to)));
}

void TGProgress::drawBlock(int i)
{
    if (position_ == min_)
        return;
    TCanvas& c = Canvas();
    int x = solid_ ? 10 * i : 10 * i + 2;
    const int w = solid_ ? 10 : 8;
    if (i == 0)
        x = 2;
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(BlockColor(i));
    c.FillRect(Rect(x, 2, x + w, Height() - 2));
    // The last block may have run over the right edge of the frame.
    c.Pen().SetColor(frameColor2_);
    c.MoveTo(Width() - 1, 1);
    c.LineTo(Width() - 1, Height() - 1);
}

void TGProgress::drawBlocks()
{
    const int last = LastBlock();
    for (int i = 0; i <= last; ++i)
        drawBlock(i);
}

void TGProgress::Repaint()
{
    if (!isVisible()) {
        incremental_ = false;
        return;
    }
    repaint();
}

void TGProgress::Paint()
{
    TCanvas& c = Canvas();
    const bool onlyBlocks = incremental_ && !fullPending_ && !transparent_;
    incremental_ = false;
    if (onlyBlocks) {
        drawBlocks();
        return;
    }
    fullPending_ = false;
    const int w = Width(), h = Height();
    if (!transparent_) {
        c.Brush().SetStyle(bsSolid);
        c.Brush().SetColor(backgroundColor_);
        c.FillRect(Rect(1, 1, w - 1, h - 1));
    }
    drawBlocks();
    c.Pen().SetWidth(1);
    c.Pen().SetStyle(psSolid);
    c.Pen().SetColor(frameColor1_);
    c.MoveTo(0, h);
    c.LineTo(0, 0);
    c.LineTo(w, 0);
    c.Pen().SetColor(frameColor2_);
    c.MoveTo(w - 1, 1);
    c.LineTo(w - 1, h - 1);
    c.LineTo(0, h - 1);
}

}  // namespace controls
