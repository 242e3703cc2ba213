#include "controls/pickers/ComboBox97.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

#include "platform/gfx/Raster.h"

namespace controls {

TComboBox97::TComboBox97(QWidget* parent) : TComboBox(parent)
{
    setMouseTracking(true);
    setAttribute(Qt::WA_Hover);
}

TComboBox97::~TComboBox97() = default;

void TComboBox97::SetFlat(bool on)
{
    flat_ = on;
    update();
}

void TComboBox97::SetStyle(TComboBoxStyle s)
{
    TComboBox::SetStyle(s);
    if (OwnerDrawn()) {
        if (!dynamic_cast<TOwnerDrawDelegate*>(view()->itemDelegate()))
            view()->setItemDelegate(new TOwnerDrawDelegate(*this, this));
        resize(width(), itemHeight_ + 6);
    }
    update();
}

void TComboBox97::SetItemHeight(int h)
{
    itemHeight_ = std::max(h, 1);
    if (OwnerDrawn())
        resize(width(), itemHeight_ + 6);
    update();
}

int TComboBox97::ButtonWidth() const
{
    return style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this) + 2;
}

bool TComboBox97::Active() const
{
    if (!isEnabled())
        return false;
    const QWidget* focus = QApplication::focusWidget();
    return mouseInside_ || focus == this || (focus && lineEdit() && focus == lineEdit());
}

QRect TComboBox97::buttonRect() const
{
    return QRect(width() - ButtonWidth() - 2, 2, ButtonWidth(), height() - 4);
}

QRect TComboBox97::ItemArea() const
{
    const int right = Style() == csSimple ? width() - 3 : width() - ButtonWidth() - 2;
    return QRect(QPoint(3, 3), QPoint(right - 1, height() - 4));
}

QSize TComboBox97::MeasureItem(int) const
{
    return {0, itemHeight_};
}

void TComboBox97::DrawItem(int Index, const gfx::TRect& Rect, TOwnerDrawState)
{
    gfx::TCanvas& c = Canvas();
    c.FillRect(Rect);
    if (Index >= 0 && Index < Items().Count())
        c.TextOut(Rect.Left + 2, Rect.Top, Items()[Index]);
}

// The frame on the whole control: sunken while active, flat in the face colour otherwise,
// then a face-coloured and a window-coloured ring inside.
void TComboBox97::drawFrame(gfx::TCanvas& c, bool active)
{
    TRect r = gfx::Rect(0, 0, width(), height());
    c.Brush().SetStyle(gfx::bsSolid);
    if (active) {
        c.DrawEdge(r, gfx::EDGE_SUNKEN, gfx::BF_RECT | gfx::BF_ADJUST);
    } else {
        c.Brush().SetColor(gfx::clBtnFace);
        c.FrameRect(r);
        r = gfx::InflateRect(r, -1, -1);
        c.FrameRect(r);
        r = gfx::InflateRect(r, -1, -1);
    }
    c.Brush().SetColor(gfx::clBtnFace);
    c.FrameRect(r);
    c.Brush().SetColor(gfx::clWindow);
    c.FrameRect(gfx::InflateRect(r, -1, -1));
}

// The drop-down button: a flat button face with its arrow; raised while active (flat while
// held or dropped), framed in the face colour otherwise.
void TComboBox97::drawButton(gfx::TCanvas& c, bool active)
{
    const QRect q = buttonRect();
    TRect r = gfx::Rect(q.left(), q.top(), q.right() + 1, q.bottom() + 1);
    c.Brush().SetStyle(gfx::bsSolid);
    c.Brush().SetColor(gfx::clBtnFace);
    c.FillRect(r);
    const int cx = (r.Left + r.Right) / 2, cy = (r.Top + r.Bottom) / 2;
    const gfx::TColor ink = isEnabled() ? gfx::clBtnText : gfx::clGrayText;
    for (int row = 0; row < 4; ++row)
        for (int x = cx - 3 + row; x <= cx + 3 - row; ++x)
            c.SetPixel(x, cy - 1 + row, gfx::ColorToRGB(ink));
    if (active) {
        c.DrawEdge(r, gfx::EDGE_RAISED, gfx::BF_RECT | ((pressed_ || DroppedDown()) ? gfx::BF_FLAT : 0));
    } else {
        c.Brush().SetColor(gfx::clBtnFace);
        c.FrameRect(r);
        c.FrameRect(gfx::InflateRect(r, -1, -1));
    }
}

void TComboBox97::paintEvent(QPaintEvent* e)
{
    if (!flat_ && !OwnerDrawn()) {
        TComboBox::paintEvent(e);
        return;
    }
    QImage image(size(), QImage::Format_RGB32);
    image.fill(gfx::raster::toQRgb(gfx::ColorToRGB(Color())));
    gfx::TCanvas c(&image);
    const QRect area = ItemArea();
    if (OwnerDrawn()) {
        TOwnerDrawState state = odComboBoxEdit;
        if (hasFocus() && !DroppedDown())
            state |= odSelected | odFocused;
        if (!isEnabled())
            state |= odDisabled;
        QPainter p(&image);
        PaintOwnerDrawItem(p, area, currentIndex(), state);
    } else if (!lineEdit()) {
        c.Font().Assign(Font());
        c.Font().SetColor(isEnabled() ? gfx::clWindowText : gfx::clGrayText);
        c.Brush().SetStyle(gfx::bsClear);
        c.TextOut(area.left() + 2, area.top() + (area.height() - c.TextHeight("Ag")) / 2, Text());
    }
    const bool active = Active();
    if (flat_) {
        drawFrame(c, active);
        if (Style() != csSimple)
            drawButton(c, active);
    } else {
        TRect r = gfx::Rect(0, 0, width(), height());
        c.DrawEdge(r, gfx::EDGE_SUNKEN, gfx::BF_RECT | gfx::BF_ADJUST);
        drawButton(c, true);
    }
    QPainter out(this);
    out.drawImage(0, 0, image);
}

void TComboBox97::enterEvent(QEnterEvent* e)
{
    TComboBox::enterEvent(e);
    if (isEnabled()) {
        mouseInside_ = true;
        update();
    }
}

void TComboBox97::leaveEvent(QEvent* e)
{
    TComboBox::leaveEvent(e);
    if (isEnabled()) {
        mouseInside_ = false;
        update();
    }
}

void TComboBox97::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton && buttonRect().contains(e->position().toPoint())) {
        pressed_ = true;
        update();
    }
    TComboBox::mousePressEvent(e);
}

void TComboBox97::mouseMoveEvent(QMouseEvent* e)
{
    if (pressed_ && !buttonRect().contains(e->position().toPoint())) {
        pressed_ = false;
        update();
    }
    TComboBox::mouseMoveEvent(e);
}

void TComboBox97::mouseReleaseEvent(QMouseEvent* e)
{
    if (pressed_) {
        pressed_ = false;
        update();
    }
    TComboBox::mouseReleaseEvent(e);
}

void TComboBox97::focusInEvent(QFocusEvent* e)
{
    TComboBox::focusInEvent(e);
    update();
}

void TComboBox97::focusOutEvent(QFocusEvent* e)
{
    TComboBox::focusOutEvent(e);
    update();
}

void TComboBox97::DropDown()
{
    TComboBox::DropDown();
    update();
}

void TComboBox97::CloseUp()
{
    pressed_ = false;
    update();
    TComboBox::CloseUp();
}

void TComboBox97::changeEvent(QEvent* e)
{
    TComboBox::changeEvent(e);
    if (e->type() != QEvent::EnabledChange || !flat_)
        return;
    if (!isEnabled() && !colourSaved_) {
        savedColor_ = Color();
        colourSaved_ = true;
        if (const forms::TParentLook* look = forms::NearestParentLook(this))
            SetColor(look->Color());
        else if (QWidget* parent = parentWidget())
            SetColor(gfx::raster::fromQRgb(parent->palette().color(parent->backgroundRole()).rgb()));
        mouseInside_ = false;
    } else if (isEnabled() && colourSaved_) {
        colourSaved_ = false;
        SetColor(savedColor_);
    }
    update();
}

}  // namespace controls
