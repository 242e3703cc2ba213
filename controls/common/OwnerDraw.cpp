#include "controls/common/OwnerDraw.h"

#include <QPainter>

#include "controls/common/ControlTypes.h"
#include "platform/forms/Application.h"
#include "platform/gfx/Raster.h"

namespace controls {

void TOwnerDrawItems::DrawItem(int, const gfx::TRect& Rect, TOwnerDrawState)
{
    canvas_.FillRect(Rect);
}

void TOwnerDrawItems::PaintOwnerDrawItem(QPainter& painter, const QRect& rect, int index,
                                         TOwnerDrawState state)
{
    if (rect.isEmpty())
        return;
    if (surface_.size() != rect.size())
        surface_ = QImage(rect.size(), QImage::Format_RGB32);
    // What the list erased the item to before the owner draws.
    surface_.fill(gfx::raster::toQRgb(gfx::ColorToRGB(ItemColor())));
    canvas_.SetSurface(&surface_);
    canvas_.ClearClip();
    canvas_.SetCopyMode(gfx::cmSrcCopy);
    canvas_.Pen().SetColor(gfx::clBlack);
    canvas_.Pen().SetStyle(gfx::psSolid);
    canvas_.Pen().SetMode(gfx::pmCopy);
    canvas_.Pen().SetWidth(1);
    canvas_.Font().Assign(ItemFont());
    canvas_.Brush().SetStyle(gfx::bsSolid);
    canvas_.Brush().SetColor(ItemColor());
    if (index >= 0 && (state & odSelected)) {
        canvas_.Brush().SetColor(gfx::clHighlight);
        canvas_.Font().SetColor(gfx::clHighlightText);
    }
    const gfx::TColor back = canvas_.Brush().Color();
    const gfx::TRect r = gfx::Rect(0, 0, rect.width(), rect.height());
    // A failing DrawItem must not cross the view's paint event; the item keeps its fill.
    forms::RunGuarded([&] {
        if (index >= 0)
            DrawItem(index, r, state);
        else
            canvas_.FillRect(r);
    });
    if ((state & odFocused) && !(state & odNoFocusRect))
        DrawFocusMark(canvas_, r, back);
    canvas_.SetSurface(nullptr);
    painter.drawImage(rect.topLeft(), surface_);
}

TOwnerDrawState OwnerDrawState(const QStyleOptionViewItem& option)
{
    TOwnerDrawState state = 0;
    if (option.state & QStyle::State_Selected)
        state |= odSelected;
    if (option.state & QStyle::State_HasFocus)
        state |= odFocused;
    if (!(option.state & QStyle::State_Enabled))
        state |= odDisabled;
    return state;
}

TOwnerDrawDelegate::TOwnerDrawDelegate(TOwnerDrawItems& owner, QObject* parent)
    : QStyledItemDelegate(parent), owner_(owner)
{
}

void TOwnerDrawDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const
{
    owner_.PaintOwnerDrawItem(*painter, option.rect, index.isValid() ? index.row() : -1,
                              OwnerDrawState(option));
}

QSize TOwnerDrawDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QSize s = owner_.MeasureItem(index.row());
    if (s.width() <= 0)
        s.setWidth(QStyledItemDelegate::sizeHint(option, index).width());
    return s;
}

}  // namespace controls
