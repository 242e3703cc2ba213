#include "util/xpButtonEx.h"

#include <algorithm>

#include <QString>

#include "platform/forms/Form.h"
#include "platform/gfx/Canvas.h"
#include "platform/rtl/Numerics.h"

using gfx::RGB;
using gfx::TCanvas;
using gfx::TColor;
using gfx::TRect;

namespace {

TColor channelBlend(TColor from, TColor to, int i, int last)
{
    auto channel = [&](int shift) {
        const int a = int((from >> shift) & 0xFF);
        const int b = int((to >> shift) & 0xFF);
        return TColor((a + rtl::MulDiv(i, b - a, last)) & 0xFF) << shift;
    };
    return channel(0) | channel(8) | channel(16);
}

// The caption as drawn: the first "&" taken out. Pos is the byte offset of that "&" or npos.
std::string shownCaption(const std::string& caption, std::size_t& pos)
{
    pos = caption.find('&');
    if (pos == std::string::npos)
        return caption;
    return caption.substr(0, pos) + caption.substr(pos + 1);
}

// The byte length of the UTF-8 character that starts at pos.
std::size_t utf8Length(const std::string& s, std::size_t pos)
{
    const unsigned char c = static_cast<unsigned char>(s[pos]);
    const std::size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    return std::min(n, s.size() - pos);
}

}  // namespace

void GradientFillRect(TCanvas& Canvas, const TRect& Rect, TColor StartColor, TColor EndColor,
                      int Style, uint8_t Steps)
{
    if (Rect.IsEmpty())
        return;
    const TColor start = gfx::ColorToRGB(StartColor);
    const TColor end = gfx::ColorToRGB(EndColor);
    Canvas.Brush().SetStyle(gfx::bsSolid);
    if (Steps < 2) {
        Canvas.Brush().SetColor(start);
        Canvas.FillRect(Rect);
        return;
    }
    const bool reversed = Style == 1 || Style == 3;
    const bool vertical = Style == 0 || Style == 1;  // bands stacked from top to bottom
    const TColor first = reversed ? end : start;
    const TColor last = reversed ? start : end;
    const int extent = vertical ? Rect.Height() : Rect.Width();
    const int bands = std::max(2, std::min<int>(Steps, extent));
    const int band = extent / bands;
    Canvas.Pen().SetStyle(gfx::psSolid);
    Canvas.Pen().SetMode(gfx::pmCopy);
    auto slice = [&](int from, int size) {
        return vertical ? TRect{Rect.Left, Rect.Top + from, Rect.Right, Rect.Top + from + size}
                        : TRect{Rect.Left + from, Rect.Top, Rect.Left + from + size, Rect.Bottom};
    };
    if (band > 0) {
        for (int i = 0; i < bands; ++i) {
            Canvas.Brush().SetColor(channelBlend(first, last, i, bands - 1));
            Canvas.FillRect(slice(i * band, band));
        }
    }
    const int rest = extent % bands;
    if (rest >= 1) {
        Canvas.Brush().SetColor(last);
        Canvas.FillRect(slice(extent - rest, rest));
    }
}

TxpButtonEx::TxpButtonEx(QWidget* parent) : TCustomControl(parent)
{
    resize(75, 25);
    SetCaptureMouse(false);
    SetClickEvents(false);  // clicks come from our own press/release bookkeeping
    SetTabStop(true);
    SetCaption("XP Button");
}

void TxpButtonEx::TextChanged()
{
    const std::string& caption = Caption();
    const std::size_t amp = caption.find('&');
    accelerator_ = 0;
    if (amp != std::string::npos && amp + 1 < caption.size()) {
        const QString next = QString::fromUtf8(caption.data() + amp + 1,
                                               qsizetype(utf8Length(caption, amp + 1)));
        accelerator_ = next.toUpper().toUcs4().value(0);
    }
    Invalidate();
}

void TxpButtonEx::FireClick()
{
    if (OnClick)
        OnClick(this);
    if (ModalResult != 0)
        if (forms::TForm* form = ParentForm())
            form->SetModalResult(ModalResult);
}

void TxpButtonEx::MouseDown(forms::TMouseButton button, forms::TShiftState shift, int, int)
{
    // The second press of a double click arrives as DblClick alone.
    if (button != forms::mbLeft || (shift & forms::ssDouble) || pressed_)
        return;
    pressed_ = true;
    if (!hasFocus() && isEnabled())
        setFocus(Qt::MouseFocusReason);
    Repaint();
}

void TxpButtonEx::MouseUp(forms::TMouseButton button, forms::TShiftState, int, int)
{
    if (button != forms::mbLeft || !pressed_)
        return;
    pressed_ = false;
    Repaint();
    FireClick();
}

void TxpButtonEx::DblClick()
{
    FireClick();
}

void TxpButtonEx::MouseEnter()
{
    if (!hover_) {
        hover_ = true;
        Repaint();
    }
    TCustomControl::MouseEnter();
}

void TxpButtonEx::MouseLeave()
{
    if (hover_) {
        hover_ = false;
        Repaint();
    }
    TCustomControl::MouseLeave();
}

void TxpButtonEx::KeyDown(int& key, forms::TShiftState shift)
{
    if (!pressed_ && (key == forms::VK_RETURN || key == forms::VK_SPACE)) {
        pressed_ = true;
        Invalidate();
    }
    TCustomControl::KeyDown(key, shift);
}

void TxpButtonEx::KeyUp(int& key, forms::TShiftState shift)
{
    if (pressed_) {
        pressed_ = false;
        Invalidate();
        FireClick();
    }
    TCustomControl::KeyUp(key, shift);
}

bool TxpButtonEx::DialogKey(int key, forms::TShiftState)
{
    if (!isEnabled())
        return false;
    if ((Cancel && key == forms::VK_ESCAPE) || (Default && key == forms::VK_RETURN)) {
        FireClick();
        return true;
    }
    return false;
}

bool TxpButtonEx::DialogChar(char32_t ch)
{
    if (accelerator_ == 0 || ch != accelerator_)
        return false;
    FireClick();
    return true;
}

void TxpButtonEx::Paint()
{
    TCanvas& c = Canvas();
    const int w = Width();
    const int h = Height();
    c.Font().Assign(Font());
    if (isEnabled())
        paintEnabled(c, w, h);
    else
        paintDisabled(c, w, h);
}

void TxpButtonEx::paintEnabled(TCanvas& c, int w, int h)
{
    c.Pen().SetWidth(1);
    c.Pen().SetStyle(gfx::psSolid);
    c.Brush().SetStyle(gfx::bsSolid);
    c.Brush().SetColor(RGB(214, 211, 211));
    c.Pen().SetColor(RGB(214, 211, 211));
    c.RoundRect(0, 0, w, h, 3, 3);
    c.Brush().SetStyle(gfx::bsClear);
    c.Pen().SetColor(RGB(0, 60, 116));
    c.RoundRect(1, 1, w - 1, h - 1, 5, 5);

    const bool down = pressed_ && hover_;
    const TRect face{4, 4, w - 4, h - 4};
    GradientFillRect(c, face, RGB(253, 253, 253), RGB(205, 204, 223), down ? 1 : 0,
                     uint8_t(std::clamp(down ? h / 2 : h / 3, 0, 255)));

    c.Pen().SetColor(RGB(206, 231, 255));
    c.MoveTo(3, 2);
    c.LineTo(w - 3, 2);
    c.Pen().SetColor(RGB(105, 130, 238));
    c.MoveTo(3, h - 3);
    c.LineTo(w - 3, h - 3);
    c.Pen().SetColor(RGB(188, 212, 246));
    c.Brush().SetStyle(gfx::bsClear);
    c.Rectangle(2, 3, w - 2, h - 3);
    c.Pen().SetColor(gfx::clWhite);
    c.MoveTo(3, 4);
    c.LineTo(3, h - 4);
    c.MoveTo(w - 4, 4);
    c.LineTo(w - 4, h - 4);
    c.MoveTo(3, h - 1);
    c.LineTo(w - 3, h - 1);
    c.MoveTo(w - 1, h - 4);
    c.LineTo(w - 1, 2);
    if (hover_) {
        c.Brush().SetStyle(gfx::bsClear);
        c.Pen().SetColor(RGB(248, 179, 48));
        c.Pen().SetWidth(1);
        c.RoundRect(3, 3, w - 3, h - 3, 2, 2);
    }
    paintCaption(c, w, h, pressed_ ? 1 : 0);
    if (hasFocus()) {
        c.Brush().SetStyle(gfx::bsSolid);
        c.Pen().SetColor(gfx::clWhite);
        c.Pen().SetWidth(2);
        c.DrawFocusRect(face);
        c.Pen().SetWidth(1);
    }
}

void TxpButtonEx::paintDisabled(TCanvas& c, int w, int h)
{
    c.Pen().SetWidth(1);
    c.Pen().SetStyle(gfx::psSolid);
    c.Brush().SetStyle(gfx::bsSolid);
    c.Brush().SetColor(RGB(241, 241, 237));
    c.Pen().SetColor(RGB(214, 211, 211));
    c.RoundRect(0, 0, w, h, 3, 3);
    for (auto [x, y] : {std::pair{0, 0}, {w - 1, 0}, {w - 1, h - 1}, {0, h - 1}})
        c.SetPixel(x, y, gfx::clBtnFace);
    c.Brush().SetStyle(gfx::bsClear);
    c.Pen().SetColor(RGB(196, 195, 191));
    c.RoundRect(1, 1, w - 1, h - 1, 5, 5);
    c.Font().SetColor(RGB(161, 161, 146));
    paintCaption(c, w, h, 0);
}

void TxpButtonEx::paintCaption(TCanvas& c, int w, int h, int p)
{
    std::size_t amp;
    const std::string shown = shownCaption(Caption(), amp);
    const gfx::TSize size = c.TextExtent(shown);
    const int left = (w - size.cx) / 2;
    const int top = (h - size.cy) / 2;
    c.Brush().SetStyle(gfx::bsClear);
    c.TextRect(TRect{4, 4, w - 4, h - 4}, left + p, top + p, shown);
    if (amp == std::string::npos || amp >= shown.size())
        return;
    // Underline the character that took the "&"'s place.
    const int from = c.TextWidth(shown.substr(0, amp));
    const int to = c.TextWidth(shown.substr(0, amp + utf8Length(shown, amp)));
    c.Pen().SetColor(c.Font().Color());
    c.Pen().SetWidth(1);
    const int y = top + size.cy + p;
    c.MoveTo(from + left + p, y);
    c.LineTo(to + left + p, y);
}
