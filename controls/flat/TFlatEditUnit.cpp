#include "controls/flat/TFlatEditUnit.h"

#include <QApplication>
#include <QPainter>

#include "platform/forms/Control.h"
#include "platform/gfx/Raster.h"

namespace controls {

TCustomFlatEdit::TCustomFlatEdit(QWidget* parent) : QLineEdit(parent)
{
    setFrame(false);
    setTextMargins(3, 3, 3, 3);
    setAttribute(Qt::WA_Hover);
    resize(121, 19);
}

TColor TCustomFlatEdit::Colors(int index) const
{
    return index == 0 ? colorFocused_ : index == 1 ? colorBorder_ : index == 2 ? colorFlat_ : -1;
}

void TCustomFlatEdit::SetColors(int index, TColor value)
{
    switch (index) {
    case 0: colorFocused_ = value; break;
    case 1: colorBorder_ = value; break;
    case 2: colorFlat_ = value; parentColor_ = false; break;
    default: return;
    }
    refresh();
}

void TCustomFlatEdit::SetAdvColors(int index, TAdvColors value)
{
    value = std::clamp(value, 0, 100);
    if (index == 0)
        advFocused_ = value;
    else if (index == 1)
        advBorder_ = value;
    else
        return;
    if (useAdvColors_) {
        updateAdvColors();
        refresh();
    }
}

void TCustomFlatEdit::SetUseAdvColors(bool on)
{
    if (on == useAdvColors_)
        return;
    useAdvColors_ = on;
    SetParentColor(on);
    updateAdvColors();
    refresh();
}

void TCustomFlatEdit::SetParentColor(bool on)
{
    if (on == parentColor_)
        return;
    parentColor_ = on;
    if (on)
        colorFlat_ = parentLookColor();
    refresh();
}

void TCustomFlatEdit::ParentColorChanged()
{
    if (useAdvColors_) {
        colorFlat_ = parentLookColor();
        updateAdvColors();
    } else if (parentColor_) {
        colorFlat_ = parentLookColor();
    }
    refresh();
}

TColor TCustomFlatEdit::parentLookColor() const
{
    if (const forms::TParentLook* look = forms::NearestParentLook(this))
        return look->Color();
    if (QWidget* p = parentWidget())
        return gfx::raster::fromQRgb(p->palette().color(p->backgroundRole()).rgb());
    return colorFlat_;
}

void TCustomFlatEdit::updateAdvColors()
{
    if (!useAdvColors_)
        return;
    colorFocused_ = CalcAdvancedColor(colorFlat_, colorFocused_, advFocused_, false);
    colorBorder_ = CalcAdvancedColor(colorFlat_, colorBorder_, advBorder_, true);
}

bool TCustomFlatEdit::highlighted() const
{
    if (hasFocus())
        return true;
    // Hovering one edit while another flat edit is being typed in leaves the hovered one flat.
    return mouseIn_ && !dynamic_cast<TCustomFlatEdit*>(QApplication::focusWidget());
}

bool TCustomFlatEdit::syncFace()
{
    // The text area wears the face colour; the frame is painted over it.
    QPalette pal = palette();
    const QColor faceColor(gfx::raster::toQRgb(Color()));
    if (pal.color(QPalette::Base) == faceColor)
        return false;
    pal.setColor(QPalette::Base, faceColor);
    setPalette(pal);
    return true;
}

void TCustomFlatEdit::refresh()
{
    syncFace();
    update();
}

void TCustomFlatEdit::paintEvent(QPaintEvent* e)
{
    // The highlight can change without an event of ours (another edit took the focus); the
    // palette change then brings one more paint.
    syncFace();
    const TColor face = Color();
    QLineEdit::paintEvent(e);

    // The frame is drawn through a canvas on a see-through layer laid over the text.
    QImage frame(size(), QImage::Format_ARGB32);
    frame.fill(Qt::transparent);
    gfx::TCanvas c(&frame);
    c.Brush().SetStyle(gfx::bsSolid);
    TRect r = gfx::Rect(0, 0, width(), height());
    c.Brush().SetColor(colorBorder_);
    c.FrameRect(r);
    c.Brush().SetColor(face);
    for (int i = 1; i <= 2; ++i)
        c.FrameRect(gfx::InflateRect(r, -i, -i));
    QPainter p(this);
    p.drawImage(0, 0, frame);
}

void TCustomFlatEdit::enterEvent(QEnterEvent* e)
{
    QLineEdit::enterEvent(e);
    if (QApplication::activeWindow())
        mouseIn_ = true;
    refresh();
}

void TCustomFlatEdit::leaveEvent(QEvent* e)
{
    QLineEdit::leaveEvent(e);
    mouseIn_ = false;
    refresh();
}

void TCustomFlatEdit::focusInEvent(QFocusEvent* e)
{
    QLineEdit::focusInEvent(e);
    refresh();
}

void TCustomFlatEdit::focusOutEvent(QFocusEvent* e)
{
    QLineEdit::focusOutEvent(e);
    refresh();
}

void TCustomFlatEdit::fitHeight()
{
    resize(width(), QFontMetrics(font()).height() + 6);
}

void TCustomFlatEdit::changeEvent(QEvent* e)
{
    QLineEdit::changeEvent(e);
    if (e->type() == QEvent::FontChange && shown_)
        fitHeight();
    else if (e->type() == QEvent::ParentChange && parentColor_)
        ParentColorChanged();
}

void TCustomFlatEdit::showEvent(QShowEvent* e)
{
    QLineEdit::showEvent(e);
    if (!shown_) {
        shown_ = true;
        fitHeight();
        if (parentColor_ || useAdvColors_)
            ParentColorChanged();
    }
}

}  // namespace controls
