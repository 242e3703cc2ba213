#include "controls/xi/XiButton.h"

#include <algorithm>

#include "controls/common/ControlTypes.h"
#include "platform/forms/Form.h"
#include "platform/rtl/Numerics.h"

namespace controls {

namespace xibutton {

namespace {
constexpr int SchemeCount = 12;
constexpr int Unset = -1;
// One row per colour index, one column per built-in scheme (csNeoDesert .. csSilver).
constexpr int32_t Schemes[ciColorCount][SchemeCount] = {
    {0xC6ECFF, 0xFFEEDD, 0xDDF9E8, 0xF3F3F3, 0xE8E8FF, 0xF0FFFF, 0x95DDFF, 0x98EBB7, 0xFFE0C1, 0xA8FFFF, 0xC6C6FF, 0xE0E0E0},  // ColorFace
    {0x37BEFF, 0xFFB66C, 0x5EDF8E, 0xBCBCBC, 0x9595FF, 0x20D8F9, Unset, Unset, Unset, Unset, Unset, Unset},  // ColorGrad
    {0x009CE8, 0xFFA851, 0x24B95C, 0xA7A7A7, 0x8282FF, 0x00BBBB, 0x009CE8, 0x24B95C, 0xFFA953, 0x00BBBB, 0x8282FF, 0xAEAEAE},  // ColorDark
    {0xB9E7FF, 0xFFECD9, 0xCBF5DB, 0xF7F7F7, 0xDDDDFF, 0xF2FFFF, 0xB9E7FF, 0xCBF5DB, 0xFFECD9, 0xF2FFFF, 0xDDDDFF, 0xF7F7F7},  // ColorLight
    {0x005680, 0xB35900, 0x156F37, 0x626262, 0x00009D, 0x006464, 0x005680, 0x156F37, 0xB35900, 0x006464, 0x00009D, 0x626262},  // ColorBorder
    {0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000},  // ColorText
    {0xB3E7FF, 0xFFEBD7, 0xBFF2D2, 0xF0F0F0, 0xDFDFFF, 0xD5FCFF, 0x6FD0FF, 0x68E196, 0xFFCD9B, 0x66F3FF, 0xB0B0FF, 0xCFCFCF},  // OverColorFace
    {0x00A3F0, 0xFFA346, 0x3DD877, 0xA6A6A6, 0x7777FF, 0x05BCDC, Unset, Unset, Unset, Unset, Unset, Unset},  // OverColorGrad
    {0x008ED2, 0xFF9E3E, 0x23B459, 0xA2A2A2, 0x6A6AFF, 0x00A6A6, 0x008ED2, 0x23B459, 0xFFB164, 0x00A6A6, 0x6A6AFF, 0x797979},  // OverColorDark
    {0x95DAFF, 0xFFE4CA, 0xB5F0CB, 0xEEEEEE, 0xD7D7FF, 0xCCFFFF, 0x95DAFF, 0xB5F0CB, 0xFFE4CA, 0xCCFFFF, 0xD7D7FF, 0xEEEEEE},  // OverColorLight
    {0x005680, 0xB35900, 0x17793D, 0x757575, 0x00009D, 0x006464, 0x005680, 0x17793D, 0xB35900, 0x006464, 0x00009D, 0x757575},  // OverColorBorder
    {0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000},  // OverColorText
    {0x2BBAFF, 0xFFB366, 0x4EDC83, 0xCACACA, 0xA6A6FF, 0x05D1F5, 0x6FD0FF, 0x4EDC83, 0xFFC082, 0x22EEFF, 0x9F9FFF, 0xD3D3D3},  // DownColorFace
    {0x77D2FF, 0xFFCE9D, 0x80E6A6, 0xDADADA, 0xB9B9FF, 0x66F0FB, Unset, Unset, Unset, Unset, Unset, Unset},  // DownColorGrad
    {0x8AD9FF, 0xFFD3A8, 0x89E7AC, 0xE9E9E9, 0xCECEFF, 0x66F3FF, 0x8AD9FF, 0x89E7AC, 0xFFD3A8, 0x66F3FF, 0x8888FF, 0xE9E9E9},  // DownColorDark
    {0x0077B7, 0xFF9E3E, 0x177D3E, 0x7C7C7C, 0x5E5EFF, 0x008484, 0x0077B7, 0x177D3E, 0xFF9122, 0x008484, 0x5E5EFF, 0x7C7C7C},  // DownColorLight
    {0x0070A6, 0xB35900, 0x167439, 0x4E4E4E, 0x00009D, 0x006464, 0x0070A6, 0x167439, 0xB35900, 0x006464, 0x00009D, 0x4E4E4E},  // DownColorBorder
    {0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000},  // DownColorText
    {0xEEEEEE, 0xEEEEEE, 0xEEEEEE, 0xEEEEEE, 0xEEEEEE, 0xEEEEEE, 0xE2E2E2, 0xE2E2E2, 0xE2E2E2, 0xE2E2E2, 0xE2E2E2, 0xE2E2E2},  // DisabledColorFace
    {0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, Unset, Unset, Unset, Unset, Unset, Unset},  // DisabledColorGrad
    {0xD2D2D2, 0xD2D2D2, 0xD2D2D2, 0xD2D2D2, 0xD2D2D2, 0xD2D2D2, 0xD8D8D8, 0xD8D8D8, 0xD8D8D8, 0xD8D8D8, 0xD8D8D8, 0xD8D8D8},  // DisabledColorDark
    {0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xEAEAEA, 0xEAEAEA, 0xEAEAEA, 0xEAEAEA, 0xEAEAEA, 0xEAEAEA},  // DisabledColorLight
    {0x808080, 0x808080, 0x808080, 0x808080, 0x808080, 0x808080, 0xC4C4C4, 0xC4C4C4, 0xC4C4C4, 0xC4C4C4, 0xC4C4C4, 0xC4C4C4},  // DisabledColorBorder
    {0x808080, 0x808080, 0x808080, 0x808080, 0x808080, 0x808080, 0x808080, 0x808080, 0x808080, 0x808080, 0x808080, 0x808080},  // DisabledColorText
    {0x4080FF, 0xFFA953, 0x24B95C, 0xADADAD, 0x5E5EFF, 0x00BBBB, 0x4080FF, 0x00A421, 0xDC9B14, 0x008CF4, 0x5E5EFF, 0x8A8A8A},  // ColorFocusRect
};
}  // namespace

gfx::TColor SchemeColor(TColorScheme scheme, int index)
{
    if (scheme < 0 || scheme >= SchemeCount || index < 0 || index >= ciColorCount)
        return Unset;
    return Schemes[index][scheme];
}

}  // namespace xibutton

using namespace xibutton;

TXiButton::TXiButton(QWidget* parent) : forms::TCustomControl(parent)
{
    for (int i = 0; i < ciColorCount; ++i)
        colors_[size_t(i)] = SchemeColor(csNeoDesert, i);
    colors_[ciOverColorGrad] = colors_[ciDownColorGrad] = colors_[ciDisabledColorGrad] = gfx::clWhite;
    resize(75, 25);
    SetTabStop(true);
}

void TXiButton::SetColor(int index, TColor value)
{
    if (index < 0 || index >= ciColorCount)
        return;
    colors_[size_t(index)] = value;
    scheme_ = csCustom;
    Invalidate();
}

void TXiButton::SetColorScheme(TColorScheme scheme)
{
    scheme_ = scheme;
    if (scheme != csCustom) {
        for (int i = 0; i < ciColorCount; ++i) {
            const TColor c = SchemeColor(scheme, i);
            if (c != -1)
                SetColor(i, c);
        }
        gradient_ = scheme <= csNeoSun;
    }
    Invalidate();
    scheme_ = scheme;  // every colour write above switched it to csCustom
}

void TXiButton::SetRoundCorner(bool on)
{
    if (on == roundCorner_) return;
    roundCorner_ = on;
    Invalidate();
}

void TXiButton::SetCtl3D(bool on) { ctl3D_ = on; Invalidate(); }
void TXiButton::SetLayout(TButtonLayout l) { layout_ = l; Invalidate(); }
void TXiButton::SetGlyph(const gfx::TBitmap& glyph) { glyph_.Assign(glyph); Invalidate(); }
void TXiButton::SetSpacing(int s) { spacing_ = s; Invalidate(); }
void TXiButton::SetTransparentGlyph(bool on) { transparentGlyph_ = on; Invalidate(); }
void TXiButton::SetGradient(bool on) { gradient_ = on; Invalidate(); }

void TXiButton::SetDefault(bool on)
{
    default_ = on;
    NotifyFocusChanged(*this);
}

void TXiButton::setLook(TLook look)
{
    look_ = look;
    Repaint();
}

bool TXiButton::canTakeFocus() const
{
    return isEnabled() && isVisible() && focusPolicy() != Qt::NoFocus;
}

void TXiButton::Click()
{
    if (forms::TForm* f = ParentForm())
        f->SetModalResult(modalResult_);
    setLook(lookNormal);
    forms::TCustomControl::Click();
}

void TXiButton::MouseEnter()
{
    forms::TCustomControl::MouseEnter();
    if (hotTrack_)
        setLook(mousePressed_ ? lookDown : lookOver);
}

void TXiButton::MouseLeave()
{
    forms::TCustomControl::MouseLeave();
    setLook(lookNormal);
}

void TXiButton::MouseDown(forms::TMouseButton b, forms::TShiftState s, int x, int y)
{
    if (b == forms::mbLeft) {
        mousePressed_ = true;
        if (TabStop() && canTakeFocus())
            setFocus(Qt::MouseFocusReason);
        setLook(lookDown);
    }
    forms::TCustomControl::MouseDown(b, s, x, y);
}

void TXiButton::MouseUp(forms::TMouseButton b, forms::TShiftState s, int x, int y)
{
    if (b == forms::mbLeft) {
        mousePressed_ = false;
        if (x > 0 && x < Width() && y > 0 && y < Height())
            setLook(hotTrack_ ? lookOver : lookNormal);
    }
    forms::TCustomControl::MouseUp(b, s, x, y);
}

void TXiButton::KeyDown(int& key, forms::TShiftState shift)
{
    forms::TCustomControl::KeyDown(key, shift);
    if (key == forms::VK_SPACE)
        setLook(lookDown);
    else if (key == forms::VK_RETURN)
        Click();
}

void TXiButton::KeyUp(int& key, forms::TShiftState shift)
{
    forms::TCustomControl::KeyUp(key, shift);
    if (key == forms::VK_SPACE) {
        setLook(lookNormal);
        Click();
    }
}

void TXiButton::DoExit()
{
    forms::TCustomControl::DoExit();
    setLook(lookNormal);
}

bool TXiButton::DialogKey(int key, forms::TShiftState shift)
{
    if (shift & (forms::ssShift | forms::ssCtrl | forms::ssAlt))
        return false;
    const bool wanted = (key == forms::VK_RETURN && (hasFocus() || default_))
        || (key == forms::VK_ESCAPE && cancel_);
    if (!wanted || !canTakeFocus())
        return false;
    Click();
    return true;
}

bool TXiButton::DialogChar(char32_t ch)
{
    if (!isEnabled() || !IsAccel(ch, Caption()))
        return false;
    Click();
    return true;
}

void TXiButton::Paint()
{
    gfx::TCanvas& c = Canvas();
    const int w = Width(), h = Height();
    const int group = !isEnabled() ? 18 : look_ == lookOver ? 6 : look_ == lookDown ? 12 : 0;
    const TColor face = colors_[size_t(group)], grad = colors_[size_t(group + 1)];
    const TColor dark = colors_[size_t(group + 2)], light = colors_[size_t(group + 3)];
    const TColor border = colors_[size_t(group + 4)], text = colors_[size_t(group + 5)];

    c.Brush().SetStyle(gfx::bsSolid);
    c.Brush().SetColor(face);
    c.FillRect(gfx::Rect(0, 0, w, h));
    c.Pen().SetStyle(gfx::psSolid);
    c.Pen().SetWidth(1);
    if (gradient_ && h > 0) {
        const TColor f = gfx::ColorToRGB(face), g = gfx::ColorToRGB(grad);
        auto mix = [h](int a, int b, int y) { return int(rtl::Round(a + double(b - a) * y / h)); };
        for (int y = 0; y <= h; ++y) {
            c.Pen().SetColor(gfx::RGB(mix(gfx::GetRValue(f), gfx::GetRValue(g), y),
                                      mix(gfx::GetGValue(f), gfx::GetGValue(g), y),
                                      mix(gfx::GetBValue(f), gfx::GetBValue(g), y)));
            c.MoveTo(0, y);
            c.LineTo(w, y);
        }
    }

    c.Font().Assign(Font());
    c.Font().SetColor(text);
    TRect measure;
    if (!Caption().empty())
        c.DrawText(Caption(), measure, gfx::DT_CALCRECT | gfx::DT_SINGLELINE);
    const int tw = measure.Width(), th = measure.Height();
    int x = (w - tw) / 2, y = (h - th) / 2;
    const int shift = look_ == lookDown ? 1 : 0;

    if (!glyph_.Empty()) {
        const int gw = glyph_.Width(), gh = glyph_.Height();
        const int s1 = Caption().empty() ? 0 : spacing_ / 2;
        const int s2 = Caption().empty() ? 0 : spacing_ - spacing_ / 2;
        int gx = 0, gy = 0;
        switch (layout_) {
        case blGlyphLeft: gx = x - gw / 2 - s2; gy = (h - gh) / 2; x = x + gw / 2 + s1; break;
        case blGlyphRight: gx = x + tw - gw / 2 + s2; gy = (h - gh) / 2; x = x - gw / 2 - s1; break;
        case blGlyphTop: gx = (w - gw) / 2; gy = y - gh / 2 - gh % 2 - s2; y = y + gh / 2 + s1; break;
        case blGlyphBottom: gx = (w - gw) / 2; gy = y + th - gh / 2 + s2; y = y - gh / 2 - s1; break;
        }
        gfx::TBitmap g;
        g.Assign(glyph_);
        c.DrawImage(g.PaintImage(), gfx::Rect(0, 0, gw, gh), gfx::Bounds(gx + shift, gy + shift, gw, gh),
                    transparentGlyph_ ? g.PixelColor(0, 0) : gfx::clNone);
    }

    if (!Caption().empty()) {
        c.Brush().SetStyle(gfx::bsClear);
        TRect r = gfx::Bounds(x + shift, y + shift, tw, th);
        c.DrawText(Caption(), r, gfx::DT_CENTER | gfx::DT_SINGLELINE | gfx::DT_NOCLIP);
    }

    c.Brush().SetStyle(gfx::bsClear);
    c.Pen().SetColor(border);
    if (roundCorner_)
        c.RoundRect(0, 0, w, h, 5, 5);
    else
        c.Rectangle(0, 0, w, h);

    if (ctl3D_) {
        c.Pen().SetColor(light);
        c.MoveTo(1, h - 2);
        if (roundCorner_) {
            c.LineTo(1, 2);
            c.MoveTo(2, 1);
            c.LineTo(w - 2, 1);
        } else {
            c.LineTo(1, 1);
            c.LineTo(w - 1, 1);
        }
        c.Pen().SetColor(dark);
        c.MoveTo(w - 2, 1);
        c.LineTo(w - 2, h - 2);
        c.LineTo(roundCorner_ ? 2 : 1, h - 2);
    }

    if (hasFocus()) {
        c.Pen().SetColor(colors_[ciColorFocusRect]);
        c.Brush().SetStyle(gfx::bsClear);
        if (roundCorner_)
            c.RoundRect(3, 3, w - 3, h - 3, 5, 5);
        else
            c.Rectangle(3, 3, w - 3, h - 3);
        // The scheme's own frame can be close to the face (grey on silver): a clear mark
        // just outside it shows the focus whatever the scheme.
        DrawFocusMark(c, gfx::Rect(2, 2, w - 2, h - 2));
    }
}

}  // namespace controls
