#include "platform/gfx/Graphic.h"

#include "platform/gfx/Bitmap.h"

namespace gfx {

void TGraphic::SetTransparent(bool t)
{
    if (t != transparent_) {
        transparent_ = t;
        Changed();
    }
}

void TGraphic::LoadFromFile(const std::string& path)
{
    rtl::TMemoryStream m;
    m.LoadFromFile(path);
    LoadFromStream(m);
}

void TGraphic::SaveToFile(const std::string& path)
{
    rtl::TMemoryStream m;
    SaveToStream(m);
    m.SaveToFile(path);
}

void TGraphic::Assign(const TGraphic& source)
{
    throw EInvalidGraphicOperation(std::string("Cannot assign a ") + source.ClassType()->name +
                                   " to a " + ClassType()->name);
}

void TGraphic::AssignTo(TBitmap& dest) const
{
    dest.SetPixelFormat(pf24bit);
    dest.SetSize(Width(), Height());
    Draw(dest.Canvas(), Rect(0, 0, Width(), Height()));
}

void TGraphic::Changed()
{
    if (OnChange)
        OnChange();
}

void TGraphic::Progress(TProgressStage stage, int percent, bool redrawNow, const TRect& r,
                        const std::string& msg)
{
    if (OnProgress)
        OnProgress(*this, stage, percent, redrawNow, r, msg);
}

}  // namespace gfx
