#include "controls/imagelist/ImageListBox.h"

#include <algorithm>

#include <QAbstractListModel>
#include <QKeyEvent>
#include <QScrollBar>

#include "platform/forms/Application.h"
#include "platform/gfx/Raster.h"

namespace controls {

// Rows without data: the list is only as long as the image list.
class TCustomImageListBox::CountModel : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;
    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : count_; }
    QVariant data(const QModelIndex&, int) const override { return {}; }
    int count() const { return count_; }
    // Rows come and go at the end, so the selection of the rows that stay is kept.
    void setCount(int n)
    {
        if (n > count_) {
            beginInsertRows({}, count_, n - 1);
            count_ = n;
            endInsertRows();
        } else if (n < count_) {
            beginRemoveRows({}, n, count_ - 1);
            count_ = n;
            endRemoveRows();
        }
    }

private:
    int count_ = 0;
};

TCustomImageListBox::TCustomImageListBox(QWidget* parent)
    : TControlProperties<QListView>(parent), model_(new CountModel(this))
{
    setModel(model_);
    setItemDelegate(new TOwnerDrawDelegate(*this, this));
    setViewMode(QListView::ListMode);
    setMovement(QListView::Static);
    setResizeMode(QListView::Adjust);
    setUniformItemSizes(true);
    setSpacing(0);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerItem);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!quiet_)
            forms::RunGuarded([this] { Click(); });
    });
    recreate();
}

TCustomImageListBox::~TCustomImageListBox()
{
    QObject::disconnect(imagesGone_);
    if (images_)
        images_->Unwatch(this);
}

void TCustomImageListBox::SetImages(forms::TImageList* images)
{
    if (images == images_)
        return;
    if (images_)
        images_->Unwatch(this);
    QObject::disconnect(imagesGone_);
    images_ = images;
    if (images) {
        images->Watch(this, [this] { refresh(); });
        imagesGone_ = connect(images, &QObject::destroyed, this, [this] {
            images_ = nullptr;
            refresh();
        });
    }
    refresh();
}

int TCustomImageListBox::Count() const
{
    return model_->count();
}

void TCustomImageListBox::refresh()
{
    quiet_ = true;
    model_->setCount(images_ ? images_->Count() : 0);
    quiet_ = false;
    // The cells may take the images' size.
    relayout();
}

int TCustomImageListBox::fontHeight() const
{
    gfx::TCanvas measure;
    measure.Font().Assign(font_);
    return std::max(measure.TextHeight("0"), 1);
}

int TCustomImageListBox::effectiveItemHeight() const
{
    if (itemHeight_ > 0)
        return itemHeight_;
    return images_ ? images_->Height() : fontHeight();
}

int TCustomImageListBox::effectiveColumnWidth() const
{
    if (columnWidth_ >= 1)
        return columnWidth_;
    return images_ ? images_->Width() : fontHeight();
}

QSize TCustomImageListBox::MeasureItem(int) const
{
    // One column spans the list; several are each a column wide.
    return {multiColumn_ ? effectiveColumnWidth() : std::max(viewport()->width(), 1),
            effectiveItemHeight()};
}

void TCustomImageListBox::relayout()
{
    doItemsLayout();
    viewport()->update();
}

void TCustomImageListBox::recreate()
{
    setFlow(QListView::TopToBottom);
    setWrapping(multiColumn_);
    setHorizontalScrollBarPolicy(multiColumn_ ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    setSelectionMode(!multiSelect_     ? QAbstractItemView::SingleSelection
                     : extendedSelect_ ? QAbstractItemView::ExtendedSelection
                                       : QAbstractItemView::MultiSelection);
    setFrameStyle(borderStyle_ == bsSingle ? QFrame::StyledPanel | QFrame::Sunken : QFrame::NoFrame);
    SetColor(color_);
    refresh();
    relayout();
    quiet_ = true;
    selectionModel()->clear();
    quiet_ = false;
}

namespace {

// Stores a value that differs; true when it did.
template <class T>
bool changed(T& field, T value)
{
    if (field == value)
        return false;
    field = value;
    return true;
}

}  // namespace

void TCustomImageListBox::SetItemHeight(int value)
{
    if (changed(itemHeight_, value))
        relayout();
}

void TCustomImageListBox::SetColumnWidth(int value)
{
    if (changed(columnWidth_, value))
        relayout();
}

void TCustomImageListBox::SetMultiColumn(bool value)
{
    if (changed(multiColumn_, value))
        recreate();
}

void TCustomImageListBox::SetMultiSelect(bool value)
{
    if (changed(multiSelect_, value))
        recreate();
}

void TCustomImageListBox::SetExtendedSelect(bool value)
{
    if (changed(extendedSelect_, value))
        recreate();
}

void TCustomImageListBox::SetIntegralHeight(bool value)
{
    if (changed(integralHeight_, value)) {
        recreate();
        fitIntegralHeight();
    }
}

void TCustomImageListBox::SetBorderStyle(TBorderStyle value)
{
    if (changed(borderStyle_, value))
        recreate();
}

void TCustomImageListBox::SetColor(gfx::TColor value)
{
    color_ = value;
    QPalette p = palette();
    p.setColor(QPalette::Base, QColor::fromRgb(gfx::raster::toQRgb(gfx::ColorToRGB(value))));
    setPalette(p);
    viewport()->update();
}

void TCustomImageListBox::SetFont(const gfx::TFont& value)
{
    font_.Assign(value);
    relayout();
}

int TCustomImageListBox::ItemIndex() const
{
    if (multiSelect_)
        return currentIndex().isValid() ? currentIndex().row() : -1;
    const QModelIndexList chosen = selectionModel()->selectedIndexes();
    return chosen.isEmpty() ? -1 : chosen.front().row();
}

void TCustomImageListBox::SetItemIndex(int index)
{
    if (index == ItemIndex())
        return;
    quiet_ = true;
    if (index >= 0 && index < Count())
        selectionModel()->setCurrentIndex(model_->index(index), QItemSelectionModel::ClearAndSelect);
    else
        selectionModel()->clear();
    quiet_ = false;
}

void TCustomImageListBox::DrawItem(int Index, const gfx::TRect& Rect, TOwnerDrawState State)
{
    TOwnerDrawItems::DrawItem(Index, Rect, State);
    if (images_ && Index < images_->Count())
        images_->Draw(Canvas(), Rect.Left + (Rect.Width() - images_->Width()) / 2,
                      Rect.Top + (Rect.Height() - images_->Height()) / 2, Index);
}

void TCustomImageListBox::Click()
{
    if (OnClick)
        OnClick(this);
}

void TCustomImageListBox::DblClick()
{
    if (OnDblClick)
        OnDblClick(this);
}

void TCustomImageListBox::keyPressEvent(QKeyEvent* e)
{
    int key = forms::VirtualKey(e->key());
    const forms::TShiftState shift = forms::ShiftState(e->modifiers());
    if (key && OnKeyDown && !forms::RunGuarded([&] { OnKeyDown(this, key, shift); }))
        key = 0;
    // Enter belongs to the list: neither a default button nor the view's own activation
    // hears of it.
    if (key == 0 || e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        e->accept();
        return;
    }
    QListView::keyPressEvent(e);
    const QString text = e->text();
    if (OnKeyPress && !text.isEmpty() && text.front().isPrint()) {
        char32_t ch = text.toUcs4().value(0);
        forms::RunGuarded([&] { OnKeyPress(this, ch); });
    }
}

void TCustomImageListBox::mousePressEvent(QMouseEvent* e)
{
    // A press past the items keeps the selection, as a list box does.
    if (!indexAt(e->position().toPoint()).isValid()) {
        if (focusPolicy() & Qt::ClickFocus)
            setFocus(Qt::MouseFocusReason);
        e->accept();
        return;
    }
    QListView::mousePressEvent(e);
}

void TCustomImageListBox::mouseDoubleClickEvent(QMouseEvent* e)
{
    QListView::mouseDoubleClickEvent(e);
    if (indexAt(e->position().toPoint()).isValid())
        forms::RunGuarded([this] { DblClick(); });
}

void TCustomImageListBox::focusInEvent(QFocusEvent* e)
{
    QListView::focusInEvent(e);
    if (OnEnter)
        forms::RunGuarded([this] { OnEnter(this); });
}

void TCustomImageListBox::focusOutEvent(QFocusEvent* e)
{
    QListView::focusOutEvent(e);
    if (OnExit)
        forms::RunGuarded([this] { OnExit(this); });
}

void TCustomImageListBox::resizeEvent(QResizeEvent* e)
{
    QListView::resizeEvent(e);
    // Columns and the single column's width follow the size at once.
    relayout();
    fitIntegralHeight();
}

void TCustomImageListBox::fitIntegralHeight()
{
    if (!integralHeight_)
        return;
    const int item = effectiveItemHeight();
    const int frame = height() - viewport()->height();
    const int rows = std::max(viewport()->height() / item, 1);
    if (frame + rows * item != height())
        resize(width(), frame + rows * item);
}

}  // namespace controls
