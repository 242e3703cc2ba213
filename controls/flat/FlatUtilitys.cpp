#include "controls/flat/FlatUtilitys.h"

#include <algorithm>

#include <QImage>

#include "controls/flat/HSLUtils.h"
#include "platform/rtl/Numerics.h"

namespace controls {

void Frame3D(gfx::TCanvas& canvas, TRect& rect, TColor topColor, TColor bottomColor, int width)
{
    canvas.Pen().SetWidth(1);
    canvas.Pen().SetStyle(gfx::psSolid);
    for (int i = 0; i < width; ++i) {
        const int l = rect.Left, t = rect.Top, r = rect.Right - 1, b = rect.Bottom - 1;
        const gfx::TPoint top[] = {{l, b}, {l, t}, {r, t}};
        const gfx::TPoint bottom[] = {{r, t}, {r, b}, {l, b}};
        canvas.Pen().SetColor(topColor);
        canvas.Polyline(top);
        canvas.Pen().SetColor(bottomColor);
        canvas.Polyline(bottom);
        rect = gfx::InflateRect(rect, -1, -1);
    }
}

void DrawParentImage(QWidget& control, gfx::TCanvas& canvas)
{
    QWidget* parent = control.parentWidget();
    if (!parent || control.width() < 1 || control.height() < 1)
        return;
    QImage under(control.size(), QImage::Format_RGB32);
    under.fill(parent->palette().color(parent->backgroundRole()));
    parent->render(&under, QPoint(), QRegion(control.geometry()), QWidget::DrawWindowBackground);
    const TRect all = gfx::Rect(0, 0, control.width(), control.height());
    canvas.DrawImage(under, all, all);
}

std::unique_ptr<gfx::TBitmap> CreateDisabledBitmap(const gfx::TBitmap& glyph, TColor transparentColor,
                                                   TColor backColor, TColor highlightColor,
                                                   TColor shadowColor, bool drawHighlight)
{
    auto out = std::make_unique<gfx::TBitmap>(glyph.Width(), glyph.Height(), gfx::pf24bit);
    gfx::TCanvas& c = out->Canvas();
    c.Brush().SetStyle(gfx::bsSolid);
    c.Brush().SetColor(backColor);
    c.FillRect(gfx::Rect(0, 0, glyph.Width(), glyph.Height()));
    const TColor key = gfx::ColorToRGB(transparentColor);
    auto stamp = [&](int dx, int dy, TColor color) {
        for (int y = 0; y < glyph.Height(); ++y)
            for (int x = 0; x < glyph.Width(); ++x)
                if (glyph.PixelColor(x, y) != key)
                    c.SetPixel(x + dx, y + dy, color);
    };
    if (drawHighlight)
        stamp(1, 1, highlightColor);
    stamp(0, 0, shadowColor);
    return out;
}

TColor CalcAdvancedColor(TColor parentColor, TColor ownColor, TAdvColors percent, bool darker)
{
    if (percent == 0)
        return ownColor;
    int h, s, l;
    RGBtoHSLRange(gfx::ColorToRGB(parentColor), h, s, l);
    l += 10;
    l = darker ? std::max(l - percent, 0) : std::min(l + percent, 100);
    return HSLRangeToRGB(h, s, l);
}

void CalcButtonLayout(gfx::TCanvas& canvas, const TRect& client, gfx::TPoint offset,
                      const std::string& caption, TButtonLayout layout, int margin, int spacing,
                      gfx::TPoint& glyphPos, TRect& textBounds, const gfx::TBitmap* glyph,
                      int numGlyphs)
{
    const int clientW = client.Width(), clientH = client.Height();
    int gw = 0, gh = 0;
    if (glyph && !glyph->Empty()) {
        gw = glyph->Width() / std::max(numGlyphs, 1);
        gh = glyph->Height();
    }
    textBounds = {};
    if (!caption.empty()) {
        textBounds = gfx::Rect(0, 0, clientW, 0);
        canvas.DrawText(caption, textBounds, gfx::DT_CALCRECT | gfx::DT_SINGLELINE);
    }
    const int tw = textBounds.Width(), th = textBounds.Height();
    const bool horizontal = layout == blGlyphLeft || layout == blGlyphRight;
    gfx::TPoint textPos;
    if (horizontal) {
        glyphPos.Y = (clientH - gh + 1) / 2;
        textPos.Y = (clientH - th + 1) / 2;
    } else {
        glyphPos.X = (clientW - gw + 1) / 2;
        textPos.X = (clientW - tw + 1) / 2;
    }
    if (tw == 0 || gw == 0)
        spacing = 0;
    const int room = horizontal ? clientW : clientH;
    const int glyphSize = horizontal ? gw : gh, textSize = horizontal ? tw : th;
    if (margin == -1) {
        if (spacing == -1) {
            margin = spacing = (room - (glyphSize + textSize)) / 3;
        } else {
            margin = (room - (glyphSize + spacing + textSize) + 1) / 2;
        }
    } else if (spacing == -1) {
        spacing = (room - (margin + glyphSize) - textSize) / 2;
    }
    switch (layout) {
    case blGlyphLeft:
        glyphPos.X = margin;
        textPos.X = glyphPos.X + gw + spacing;
        break;
    case blGlyphRight:
        glyphPos.X = clientW - margin - gw;
        textPos.X = glyphPos.X - spacing - tw;
        break;
    case blGlyphTop:
        glyphPos.Y = margin;
        textPos.Y = glyphPos.Y + gh + spacing;
        break;
    case blGlyphBottom:
        glyphPos.Y = clientH - margin - gh;
        textPos.Y = glyphPos.Y - spacing - th;
        break;
    }
    glyphPos.X += client.Left + offset.X;
    glyphPos.Y += client.Top + offset.Y;
    textBounds = gfx::OffsetRect(textBounds, textPos.X + client.Left + offset.X - textBounds.Left,
                                 textPos.Y + client.Top + offset.Y - textBounds.Top);
}

QFontMetrics GetFontMetrics(const QFont& font)
{
    return QFontMetrics(font);
}

int GetFontHeight(const QFont& font)
{
    const int h = QFontMetrics(font).height();
    return int(rtl::Round(h + h / 8.0));
}

bool RectInRect(const TRect& r1, const TRect& r2)
{
    return !gfx::IntersectRect(r1, r2).IsEmpty();
}

}  // namespace controls
