// Owner-drawn items for list-like controls (an image list box, a combo box of the
// csOwnerDrawFixed style, its closed edit part): each item is painted by the control's own
// virtual `DrawItem` (index, rectangle, state) on a TCanvas, as the platform's owner-draw
// message did.
//
// `TOwnerDrawItems` is the mix-in a control takes: it owns the `Canvas` that DrawItem paints
// on and runs the steps around it for one item (`PaintOwnerDrawItem`): the canvas takes the
// control's colour as its brush and the control's font; a selected item takes the highlight
// colour and highlight text colour instead; then DrawItem for an item index >= 0, or a plain
// fill for none; then the focus mark when the item has the focus. While an item is drawn the
// canvas covers that item alone, so DrawItem's rectangle is the item's own, starting at (0, 0).
//
// `TOwnerDrawDelegate` hands a Qt item view's items (a list view, a combo box's drop-down
// list) to that mix-in and sizes them by `MeasureItem`.
// UI thread only.
#pragma once
#include <QImage>
#include <QStyledItemDelegate>

#include "platform/gfx/Canvas.h"

class QPainter;

namespace controls {

// Item states, as the platform passed them.
using TOwnerDrawState = unsigned;
constexpr TOwnerDrawState odSelected = 0x1, odGrayed = 0x2, odDisabled = 0x4, odChecked = 0x8,
                          odFocused = 0x10, odDefault = 0x20, odHotLight = 0x40,
                          odInactive = 0x80, odNoAccel = 0x100, odNoFocusRect = 0x200,
                          odComboBoxEdit = 0x1000;

class TOwnerDrawItems {
public:
    TOwnerDrawItems() = default;
    virtual ~TOwnerDrawItems() = default;
    TOwnerDrawItems(const TOwnerDrawItems&) = delete;
    TOwnerDrawItems& operator=(const TOwnerDrawItems&) = delete;

    // The canvas DrawItem paints on (bound to the item being drawn; draws nothing otherwise).
    gfx::TCanvas& Canvas() { return canvas_; }

    // Paints item `index` (-1: the empty edit part of a combo) into `rect` of `painter`.
    void PaintOwnerDrawItem(QPainter& painter, const QRect& rect, int index, TOwnerDrawState state);

    // Draws one item; the default fills the rectangle with the brush.
    virtual void DrawItem(int Index, const gfx::TRect& Rect, TOwnerDrawState State);
    // The size of item Index; a width of 0 leaves the width to the view.
    virtual QSize MeasureItem(int Index) const = 0;

protected:
    // The control's colour and font, which each item starts from.
    virtual gfx::TColor ItemColor() const = 0;
    virtual const gfx::TFont& ItemFont() const = 0;

private:
    gfx::TCanvas canvas_;
    QImage surface_;
};

// The state an item view's style option describes.
TOwnerDrawState OwnerDrawState(const QStyleOptionViewItem& option);

class TOwnerDrawDelegate : public QStyledItemDelegate {
public:
    TOwnerDrawDelegate(TOwnerDrawItems& owner, QObject* parent);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    TOwnerDrawItems& owner_;
};

}  // namespace controls
