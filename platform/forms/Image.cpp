#include "platform/forms/Image.h"

#include <algorithm>

namespace forms {

TImage::TImage(QWidget* parent) : TCustomControl(parent)
{
    picture_.OnChange = [this] { pictureChanged(); };
}

TImage::~TImage()
{
    picture_.OnChange = nullptr;
}

void TImage::pictureChanged()
{
    if (gfx::TGraphic* g = picture_.Graphic()) {
        if (g->Transparent() != transparent_ && transparent_)
            g->SetTransparent(true);
        if (autoSize_ && !g->Empty())
            resize(g->Width(), g->Height());
    }
    Invalidate();
}

gfx::TCanvas& TImage::Canvas()
{
    if (!picture_.Graphic()) {
        gfx::TBitmap& b = picture_.Bitmap();
        b.SetPixelFormat(gfx::pf24bit);
        b.SetSize(width(), height());
    }
    auto* b = dynamic_cast<gfx::TBitmap*>(picture_.Graphic());
    if (!b)
        throw gfx::EInvalidGraphicOperation("Can only modify an image if it contains a bitmap");
    return b->Canvas();
}

void TImage::SetStretch(bool on)
{
    if (on != stretch_) { stretch_ = on; Invalidate(); }
}
void TImage::SetCenter(bool on)
{
    if (on != center_) { center_ = on; Invalidate(); }
}
void TImage::SetProportional(bool on)
{
    if (on != proportional_) { proportional_ = on; Invalidate(); }
}
void TImage::SetTransparent(bool on)
{
    if (on == transparent_)
        return;
    transparent_ = on;
    if (gfx::TGraphic* g = picture_.Graphic())
        g->SetTransparent(on);
    Invalidate();
}
void TImage::SetAutoSize(bool on)
{
    autoSize_ = on;
    if (on)
        pictureChanged();
}

gfx::TRect TImage::DestRect() const
{
    const gfx::TGraphic* g = picture_.Graphic();
    if (!g || g->Empty())
        return {};
    int w = g->Width(), h = g->Height();
    const int cw = width(), ch = height();
    if (stretch_ || (proportional_ && (w > cw || h > ch))) {
        if (proportional_ && w > 0 && h > 0) {
            // Fit inside the control keeping the aspect ratio.
            if (int64_t(cw) * h > int64_t(ch) * w) {
                w = int(int64_t(ch) * w / h);
                h = ch;
            } else {
                h = int(int64_t(cw) * h / w);
                w = cw;
            }
        } else {
            w = cw;
            h = ch;
        }
    }
    int x = 0, y = 0;
    if (center_) {
        x = (cw - w) / 2;
        y = (ch - h) / 2;
    }
    return gfx::Bounds(x, y, w, h);
}

void TImage::Paint()
{
    gfx::TCanvas& c = TCustomControl::Canvas();
    c.Brush().SetStyle(gfx::bsSolid);
    c.Brush().SetColor(Color());
    c.FillRect(gfx::Rect(0, 0, width(), height()));
    if (const gfx::TGraphic* g = picture_.Graphic(); g && !g->Empty())
        c.StretchDraw(DestRect(), *g);
}

}  // namespace forms
