#include "controls/flat/TFlatComboBoxUnit.h"

#include <QAbstractItemView>
#include <QLineEdit>
#include <QLayout>
#include <QPainter>
#include <QScreen>

#include <algorithm>

#include "platform/forms/Application.h"
#include "platform/gfx/Raster.h"

namespace controls {

TFlatComboBox::TFlatComboBox(QWidget* parent) : QComboBox(parent)
{
    resize(145, 21);
    SetStyle(csDropDown);
    setMaxVisibleItems(dropDownCount_);
    connect(this, &QComboBox::currentIndexChanged, this, [this](int) {
        update();
        if (OnChange) forms::RunGuarded([this] { OnChange(this); });
    });
    connect(this, &QComboBox::editTextChanged, this, [this](const QString&) {
        if (OnChange && lineEdit() && lineEdit()->hasFocus())
            forms::RunGuarded([this] { OnChange(this); });
    });
}

void TFlatComboBox::SetStyle(TComboBoxStyle s)
{
    style_ = s;
    const bool editable = s == csDropDown || s == csSimple;
    setEditable(editable);
    if (QLineEdit* edit = lineEdit()) {
        edit->setFrame(false);
        edit->installEventFilter(this);
        placeEditPart();
    }
    SetColor(color_);
}

void TFlatComboBox::SetColor(TColor c)
{
    color_ = c;
    // The edit part shares the control's face.
    if (QLineEdit* edit = lineEdit()) {
        QPalette pal = edit->palette();
        pal.setColor(QPalette::Base, QColor(gfx::raster::toQRgb(c)));
        edit->setPalette(pal);
    }
    update();
}

TColor TFlatComboBox::Colors(int index) const
{
    return index == 0 ? colorArrow_ : index == 1 ? colorArrowBackground_ : index == 2 ? colorBorder_ : -1;
}

void TFlatComboBox::SetColors(int index, TColor value)
{
    switch (index) {
    case 0: colorArrow_ = value; break;
    case 1: colorArrowBackground_ = value; break;
    case 2: colorBorder_ = value; break;
    default: return;
    }
    update();
}

void TFlatComboBox::SetAdvColors(int index, TAdvColors value)
{
    value = std::clamp(value, 0, 100);
    if (index == 0)
        advBorder_ = value;
    else if (index == 1)
        advArrowBackground_ = value;
    else
        return;
    updateAdvColors();
    update();
}

void TFlatComboBox::SetUseAdvColors(bool on)
{
    if (on == useAdvColors_)
        return;
    useAdvColors_ = on;
    updateAdvColors();
    update();
}

TColor TFlatComboBox::parentLookColor() const
{
    if (const forms::TParentLook* look = forms::NearestParentLook(this))
        return look->Color();
    return color_;
}

void TFlatComboBox::updateAdvColors()
{
    if (!useAdvColors_)
        return;
    const TColor parent = parentLookColor();
    colorBorder_ = CalcAdvancedColor(parent, colorBorder_, advBorder_, true);
    colorArrowBackground_ = CalcAdvancedColor(parent, colorArrowBackground_, advArrowBackground_, true);
}

void TFlatComboBox::ParentColorChanged()
{
    updateAdvColors();
    update();
}

void TFlatComboBox::SetDropDownCount(int n)
{
    dropDownCount_ = std::max(n, 1);
    setMaxVisibleItems(dropDownCount_);
}

std::vector<std::string> TFlatComboBox::Items() const
{
    std::vector<std::string> out;
    for (int i = 0; i < count(); ++i)
        out.push_back(itemText(i).toStdString());
    return out;
}

void TFlatComboBox::SetItems(const std::vector<std::string>& items)
{
    clear();
    for (const std::string& s : items)
        addItem(QString::fromStdString(s));
}

bool TFlatComboBox::Active() const
{
    return droppedDown_ || hasFocus() || (lineEdit() && lineEdit()->hasFocus());
}

int TFlatComboBox::DropDownListHeight() const
{
    const int rows = std::min(count(), dropDownCount_);
    const bool fixedRows = style_ == csOwnerDrawFixed || style_ == csOwnerDrawVariable || style_ == csSimple;
    const int rowHeight = fixedRows ? itemHeight_ : GetFontHeight(font()) - 2;
    const int h = rows * rowHeight + 4;
    return h < 5 ? 10 : h;
}

TRect TFlatComboBox::ButtonRect() const
{
    return gfx::Rect(width() - ButtonWidth - 1, 0, width(), height());
}

TRect TFlatComboBox::SelectedArea() const
{
    return gfx::Rect(2, 3, width() - ButtonWidth - 3, height() - 3);
}

void TFlatComboBox::placeEditPart()
{
    if (QLineEdit* edit = lineEdit())
        edit->setGeometry(3, 3, std::max(0, width() - ButtonWidth - 8), std::max(0, height() - 6));
}

void TFlatComboBox::drawButton(gfx::TCanvas& c)
{
    const TRect b = ButtonRect();
    c.Brush().SetStyle(gfx::bsSolid);
    c.Brush().SetColor(colorArrowBackground_);
    c.FillRect(b);
    c.Brush().SetColor(colorBorder_);
    c.FrameRect(b);
    const int x = (b.Left + b.Right) / 2 - 6, y = (b.Top + b.Bottom) / 2 - 1;
    auto arrow = [&](int dx, int dy, TColor color) {
        const gfx::TPoint down[] = {{x + dx + 4, y + dy}, {x + dx + 8, y + dy}, {x + dx + 6, y + dy + 2}};
        const gfx::TPoint up[] = {{x + dx + 4, y + dy + 2}, {x + dx + 8, y + dy + 2}, {x + dx + 6, y + dy}};
        c.Pen().SetColor(color);
        c.Brush().SetColor(color);
        c.Polygon(droppedDown_ ? std::span<const gfx::TPoint>(up) : std::span<const gfx::TPoint>(down));
    };
    if (isEnabled()) {
        arrow(0, 0, colorArrow_);
    } else {
        arrow(1, 1, gfx::clWhite);
        arrow(0, 0, 0x808080);
    }
}

void TFlatComboBox::paintEvent(QPaintEvent*)
{
    QImage image(size(), QImage::Format_RGB32);
    gfx::TCanvas c(&image);
    const int w = width(), h = height();
    c.Pen().SetWidth(1);
    c.Pen().SetStyle(gfx::psSolid);
    c.Brush().SetStyle(gfx::bsSolid);
    c.Brush().SetColor(color_);
    c.FillRect(gfx::Rect(0, 0, w, h));

    if (style_ != csDropDown && style_ != csSimple) {
        const TRect area = SelectedArea();
        const bool selected = hasFocus() && !droppedDown_;
        c.Brush().SetColor(selected ? gfx::clHighlight : color_);
        c.FillRect(area);
        c.Brush().SetStyle(gfx::bsClear);
        gfx::TFont font;
        font.SetHeight(-QFontInfo(this->font()).pixelSize());
        font.SetName(this->font().family().toStdString());
        font.SetColor(selected ? gfx::clHighlightText : isEnabled() ? gfx::clWindowText : gfx::clGrayText);
        c.Font().Assign(font);
        TRect text = gfx::InflateRect(area, -2, 0);
        c.DrawText(currentText().toStdString(), text, gfx::DT_SINGLELINE | gfx::DT_VCENTER | gfx::DT_NOPREFIX);
        if (selected)
            c.DrawFocusRect(gfx::InflateRect(gfx::Rect(0, 0, w - ButtonWidth, h), -3, -3));
    } else if (droppedDown_) {
        c.Brush().SetColor(gfx::clWindow);
        c.FrameRect(gfx::Rect(2, 2, w - ButtonWidth - 3, h - 2));
    }

    TRect frame = gfx::Rect(0, 0, w - ButtonWidth - 1, h);
    c.Brush().SetColor(colorBorder_);
    c.FrameRect(frame);
    c.Brush().SetColor(color_);
    for (int i = 1; i <= 2; ++i)
        c.FrameRect(gfx::InflateRect(frame, -i, -i));
    if (style_ != csSimple)
        drawButton(c);

    QPainter p(this);
    p.drawImage(0, 0, image);
}

void TFlatComboBox::resizeEvent(QResizeEvent* e)
{
    QComboBox::resizeEvent(e);
    placeEditPart();
}

void TFlatComboBox::focusInEvent(QFocusEvent* e)
{
    QComboBox::focusInEvent(e);
    update();
}

void TFlatComboBox::focusOutEvent(QFocusEvent* e)
{
    QComboBox::focusOutEvent(e);
    update();
}

void TFlatComboBox::changeEvent(QEvent* e)
{
    QComboBox::changeEvent(e);
    if (e->type() == QEvent::FontChange)
        itemHeight_ = 13;
    else if (e->type() == QEvent::EnabledChange)
        update();
}

bool TFlatComboBox::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == lineEdit() && (e->type() == QEvent::FocusIn || e->type() == QEvent::FocusOut))
        update();
    return QComboBox::eventFilter(watched, e);
}

void TFlatComboBox::showPopup()
{
    if (OnDropDown)
        forms::RunGuarded([this] { OnDropDown(this); });
    droppedDown_ = true;
    update();
    QComboBox::showPopup();
    QWidget* popup = view() ? view()->window() : nullptr;
    if (!popup || popup == window())
        return;
    // Qt's style may have placed a long list over its box, up to the screen's top; the list
    // opens under its box (above it when the screen leaves more room there), its rows whole.
    const int rows = std::min(count(), dropDownCount_);
    const int rowsHeight = rows > 0 ? rows * view()->sizeHintForRow(0) : 0;
    const int w = std::max(popup->width(), width());
    auto place = [&](int h) {
        const QPoint below = mapToGlobal(QPoint(0, height()));
        const int aboveTop = mapToGlobal(QPoint(0, 0)).y() - h;
        int x = below.x(), y = below.y();
        if (const QScreen* s = screen()) {
            const QRect area = s->availableGeometry();
            if (y + h > area.bottom() + 1 && aboveTop >= area.top())
                y = aboveTop;
            x = std::clamp(x, area.left(), std::max(area.left(), area.right() + 1 - w));
        }
        popup->setGeometry(x, y, w, h);
        if (QLayout* l = popup->layout())
            l->activate();
    };
    int h = std::max(DropDownListHeight(), rowsHeight + popup->height() - view()->viewport()->height());
    place(h);
    // The list's scroll arrows may show only at the new height.
    if (const int missing = rowsHeight - view()->viewport()->height(); missing > 0)
        place(h + missing);
}

void TFlatComboBox::hidePopup()
{
    QComboBox::hidePopup();
    droppedDown_ = false;
    if (OnCloseUp)
        forms::RunGuarded([this] { OnCloseUp(this); });
    update();
}

}  // namespace controls
