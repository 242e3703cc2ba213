#include "app/SortListView.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <stdexcept>

#include <QApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyledItemDelegate>

#include "controls/common/ControlTypes.h"
#include "platform/collate/SortKeys.h"
#include "platform/forms/Application.h"
#include "platform/rtl/BlockPool.h"
#include "platform/rtl/Formatting.h"
#include "platform/rtl/RadixSort.h"
#include "util/Cp932.h"

using gfx::TCanvas;
using gfx::TRect;

namespace {

// A header item's layout: the caption's margin from the item's edge, and the room between
// the caption and the sort arrow.
constexpr int CaptionMargin = 4;
constexpr int ArrowGap = 8;

double nowMs()
{
    static QElapsedTimer timer;
    if (!timer.isValid())
        timer.start();
    return double(timer.nsecsElapsed()) / 1e6;
}

}  // namespace

// Rows of owner-drawn lists take the measured height; cells of every list follow their
// column's alignment, as the owner-drawn rows do, whatever the item itself says.
class SortListRowDelegate : public QStyledItemDelegate {
public:
    explicit SortListRowDelegate(TCustomSortListView* list) : QStyledItemDelegate(list), list_(list) {}
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->displayAlignment = list_->columnAlignment(index.column()) | Qt::AlignVCenter;
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize s = QStyledItemDelegate::sizeHint(option, index);
        if (list_->Style() == lvOwnerDrawFixed)
            s.setHeight(list_->RowHeight());
        return s;
    }

private:
    TCustomSortListView* list_;
};


// The header: owner-drawn items when arrows are shown or the list draws them itself, a
// column click for the list, and the pressed item drawn sunken.
class TSortHeader : public QHeaderView {
public:
    explicit TSortHeader(TCustomSortListView* list) : QHeaderView(Qt::Horizontal, list), list_(list)
    {
        setSectionsClickable(true);
        setHighlightSections(false);
        connect(this, &QHeaderView::sectionPressed, this, [this](int i) {
            pressed_ = i;
            viewport()->update();
        });
        connect(this, &QHeaderView::sectionClicked, this,
                [this](int i) { forms::RunGuarded([&] { list_->ColumnClick(i); }); });
    }
    bool OwnerDraw = false;

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override
    {
        if (!OwnerDraw || rect.isEmpty()) {
            QHeaderView::paintSection(painter, rect, logicalIndex);
            return;
        }
        QImage img(rect.size(), QImage::Format_RGB32);
        TCanvas canvas(&img);
        canvas.Font().Assign(list_->Font());
        forms::RunGuarded([&] {
            list_->paintHeaderItem(canvas, logicalIndex, TRect{0, 0, rect.width(), rect.height()},
                                   pressed_ == logicalIndex);
        });
        painter->drawImage(rect.topLeft(), img);
    }
    void mouseReleaseEvent(QMouseEvent* e) override
    {
        QHeaderView::mouseReleaseEvent(e);
        pressed_ = -1;
        viewport()->update();
    }

private:
    TCustomSortListView* list_;
    int pressed_ = -1;
};

TCustomSortListView::TCustomSortListView(QWidget* parent) : QTreeWidget(parent)
{
    header_ = new TSortHeader(this);
    setHeader(header_);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSortingEnabled(false);
    // One column even before the window adds its own: a list without columns has no cells
    // to select, so a row selected then would keep a mark of its own that no selection
    // change (clearSelection included) ever clears. The first AddColumn takes this one.
    setColumnCount(1);
    headerItem()->setText(0, QString());
    header_->setSectionsClickable(true);  // Qt ties clickable headers to its own sorting
    setItemDelegate(new SortListRowDelegate(this));
    Clock = nowMs;
    font_.OnChange = [this] {
        setFont(font_.toQFont());
        buildArrows();
        measureRows();
    };
    setFont(font_.toQFont());
    measureRows();
}

TCustomSortListView::~TCustomSortListView()
{
    forms::RunGuarded([this] { WriteSavedSettings(); });
}

// --- TSortListItem

TSortListItem::TSortListItem(std::initializer_list<std::string_view> Texts) : QTreeWidgetItem(Type)
{
    std::size_t size = 0;
    for (std::string_view text : Texts)
        size += text.size();
    count_ = static_cast<int>(Texts.size());
    // Room for the row's number, which is written in later.
    texts_.reserve(EndSize * Texts.size() + size + 7);
    texts_.resize(EndSize * Texts.size());
    int c = 0;
    for (std::string_view text : Texts) {
        texts_ += text;
        setEnd(c++, texts_.size() - EndSize * Texts.size());
    }
}

std::uint32_t TSortListItem::end(int Column) const
{
    std::uint32_t e;
    std::memcpy(&e, texts_.data() + EndSize * std::size_t(Column), EndSize);
    return e;
}

void TSortListItem::setEnd(int Column, std::size_t End)
{
    const auto e = static_cast<std::uint32_t>(End);
    std::memcpy(texts_.data() + EndSize * std::size_t(Column), &e, EndSize);
}

std::string_view TSortListItem::Text(int Column) const
{
    if (Column < 0 || Column >= count_)
        return {};
    const std::size_t begin = Column == 0 ? 0 : end(Column - 1);
    return std::string_view(texts_).substr(EndSize * std::size_t(count_) + begin, end(Column) - begin);
}

TSortListItem::TSortListItem(const TSortListItem& Other)
    : QTreeWidgetItem(Type), texts_(Other.texts_), count_(Other.count_)
{
    QTreeWidgetItem::operator=(Other);
}

void TSortListItem::SetTextQuietly(int Column, std::string_view Text)
{
    if (Column < 0)
        return;
    if (Column >= count_) {
        // Empty texts up to Column: their ends are where the texts end now.
        const std::size_t total = texts_.size() - EndSize * std::size_t(count_);
        texts_.insert(EndSize * std::size_t(count_), EndSize * std::size_t(Column + 1 - count_), '\0');
        for (int c = count_; c <= Column; ++c)
            setEnd(c, total);
        count_ = Column + 1;
    }
    const std::size_t begin = Column == 0 ? 0 : end(Column - 1);
    const std::size_t oldSize = end(Column) - begin;
    texts_.replace(EndSize * std::size_t(count_) + begin, oldSize, Text);
    for (int c = Column; c < count_; ++c)
        setEnd(c, end(c) + Text.size() - oldSize);
}

namespace {

rtl::BlockPool& rowPool()
{
    // Never destroyed: the rows of a list that outlives static destruction are freed into it.
    static rtl::BlockPool* const pool = new rtl::BlockPool(sizeof(TSortListItem), alignof(TSortListItem));
    return *pool;
}

}  // namespace

void* TSortListItem::operator new(std::size_t Size)
{
    return Size == sizeof(TSortListItem) ? rowPool().allocate() : ::operator new(Size);
}

void TSortListItem::operator delete(void* Row, std::size_t Size) noexcept
{
    if (Size == sizeof(TSortListItem))
        rowPool().deallocate(Row);
    else
        ::operator delete(Row);  // sized global delete is not in every compiler's default mode
}

bool TSortListItem::ranked_ = false;

bool TSortListItem::operator<(const QTreeWidgetItem& other) const
{
    if (ranked_)
        return rank_ < static_cast<const TSortListItem&>(other).rank_;
    return QTreeWidgetItem::operator<(other);
}

QVariant TSortListItem::data(int column, int role) const
{
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return QTreeWidgetItem::data(column, role);
    if (column < 0 || column >= count_)
        return {};
    const std::string_view text = Text(column);
    if (!cp932::isValidUtf8(text))   // a file's name from an old archive
        return QString::fromStdString(cp932::nameForDisplay(text));
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

namespace {

QModelIndex indexOfItem(const QTreeWidgetItem* item, int column)
{
    QTreeWidget* view = item->treeWidget();
    const QTreeWidgetItem* parent = item->parent();
    if (!parent)
        return view->model()->index(view->indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(item)), column);
    return view->model()->index(parent->indexOfChild(const_cast<QTreeWidgetItem*>(item)), column,
                                indexOfItem(parent, 0));
}

}  // namespace

void TSortListItem::setData(int column, int role, const QVariant& value)
{
    if (role != Qt::DisplayRole && role != Qt::EditRole) {
        QTreeWidgetItem::setData(column, role, value);
        return;
    }
    if (column < 0)
        return;
    const QByteArray text = value.toString().toUtf8();
    const std::string_view now = Text(column);
    if (column < TextCount() && now == std::string_view(text.constData(), std::size_t(text.size())))
        return;
    SetTextQuietly(column, std::string_view(text.constData(), std::size_t(text.size())));
    // The view is told of the one cell; finding the row is a search through its siblings,
    // which a caller that changes many rows avoids by blocking the model's signals.
    QTreeWidget* view = treeWidget();
    if (view && !view->model()->signalsBlocked()) {
        const QModelIndex index = indexOfItem(this, column);
        emit view->model()->dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    }
}

// --- TCustomSortListView

QTreeWidgetItem* TCustomSortListView::AddColumn(const std::string& Caption, int Width,
                                                Qt::Alignment Alignment)
{
    const int column = columnsAdded_ ? columnCount() : 0;
    columnsAdded_ = true;
    setColumnCount(std::max(columnCount(), column + 1));
    QTreeWidgetItem* h = headerItem();
    h->setText(column, QString::fromStdString(Caption));
    h->setTextAlignment(column, Alignment | Qt::AlignVCenter);
    setColumnWidth(column, Width);
    return h;
}

Qt::Alignment TCustomSortListView::columnAlignment(int column) const
{
    const auto a = Qt::Alignment(headerItem()->textAlignment(column));
    if (a & Qt::AlignRight)
        return Qt::AlignRight;
    if (a & Qt::AlignHCenter)
        return Qt::AlignHCenter;
    return Qt::AlignLeft;
}

QTreeWidgetItem* TCustomSortListView::AddItem(const std::string& Caption,
                                              const std::vector<std::string>& SubItems)
{
    auto* item = new QTreeWidgetItem;
    item->setText(0, QString::fromStdString(Caption));
    for (std::size_t i = 0; i < SubItems.size(); ++i)
        item->setText(int(i + 1), QString::fromStdString(SubItems[i]));
    addTopLevelItem(item);
    ItemChanged();
    return item;
}

void TCustomSortListView::ItemChanged()
{
    if (AutoResort)
        SortAgain();
}

std::string TCustomSortListView::ColumnText(const QTreeWidgetItem* Item, int Index)
{
    if (Item && Item->type() == TSortListItem::Type)
        return std::string(static_cast<const TSortListItem*>(Item)->Text(Index + 1));
    if (!Item || Index < -1 || Index + 1 >= Item->columnCount())
        return {};
    return Item->text(Index + 1).toStdString();
}

void TCustomSortListView::MoveRow(int OldIndex, int NewIndex)
{
    if (OldIndex == NewIndex || OldIndex < 0 || OldIndex >= Count() || NewIndex < 0 ||
        NewIndex > Count())
        return;
    BeginItemUpdate();
    QTreeWidgetItem* old = Item(OldIndex);
    const bool selected = old->isSelected();
    const bool focused = currentItem() == old;
    QTreeWidgetItem* copy = old->clone();
    insertTopLevelItem(NewIndex > OldIndex ? NewIndex + 1 : NewIndex, copy);
    delete takeTopLevelItem(indexOfTopLevelItem(old));
    copy->setSelected(selected);
    if (focused)
        setCurrentItem(copy, 0, QItemSelectionModel::NoUpdate);
    EndItemUpdate();
}

void TCustomSortListView::SetAutoColumnSort(TAutoColumnSort v)
{
    autoColumnSort_ = v;
    if (v != acsNoSort)
        SortAgain();
}

void TCustomSortListView::SetAutoSortStyle(TAutoSortStyle v)
{
    autoSortStyle_ = v;
    SortAgain();
}

void TCustomSortListView::SetAutoSortAscending(bool v)
{
    autoSortAscending_ = v;
    SetCurrentSortAscending(v);
}

void TCustomSortListView::SetCurrentSortAscending(bool v)
{
    ascending_ = v;
    header_->viewport()->update();
}

void TCustomSortListView::BeginItemUpdate()
{
    if (updateCount_++ == 0)
        setUpdatesEnabled(false);
}

void TCustomSortListView::EndItemUpdate()
{
    if (updateCount_ == 0)
        return;
    if (--updateCount_ == 0) {
        setUpdatesEnabled(true);
        if (sortPending_)
            SortAgain();
    }
}

void TCustomSortListView::MarkSortColumn(int Column)
{
    if (autoColumnSort_ == acsMarkOnly || autoColumnSort_ == acsSortToggle)
        ascending_ = true;
    markArrowColumn(Column);
}

void TCustomSortListView::ColumnClick(int C)
{
    if (C == CancelSort)
        return;
    if (autoColumnSort_ == acsSortToggle || autoColumnSort_ == acsMarkOnly)
        ascending_ = C == lastColumn_ ? !ascending_ : autoSortAscending_;
    if (autoColumnSort_ != acsNoSort && C < columnCount() && autoColumnSort_ != acsMarkOnly)
        SortOnColumn(C, ascending_);
    markArrowColumn(C);
    if (OnColumnClick)
        OnColumnClick(this, C);
}

void TCustomSortListView::markArrowColumn(int Column)
{
    lastColumn_ = Column;
    // A shown column too narrow for its caption beside the arrow would cut the caption
    // ("Tr..."): it is widened to hold both. Hidden (zero-width) columns stay hidden.
    if (Column >= 0 && Column < columnCount() && !header_->isSectionHidden(Column) &&
        columnWidth(Column) > 0) {
        const int needed = SortedColumnWidth(Column);
        if (columnWidth(Column) < needed)
            setColumnWidth(Column, needed);
    }
    header_->viewport()->update();
}

int TCustomSortListView::SortedColumnWidth(int Index)
{
    const gfx::TBitmap* arrow = upArrow_ ? upArrow_.get() : downArrow_.get();
    if (!showSortArrows_ || !arrow || autoColumnSort_ == acsNoSort || Index < 0 || Index >= columnCount())
        return 0;
    // Measured in the font the caption is drawn in, which the owner may set.
    QImage scratch(1, 1, QImage::Format_RGB32);
    TCanvas c(&scratch);
    c.Font().Assign(font_);
    if (OnDrawHeader) {
        TRect rect{0, 0, columnWidth(Index), header_->height()};
        bool defaultDrawing = true;
        forms::RunGuarded([&] { OnDrawHeader(this, c, Index, rect, false, defaultDrawing); });
    }
    const int caption = c.TextWidth(headerItem()->text(Index).toStdString());
    // The item's 2-pixel edge on both sides, the caption's margin, the gap to the arrow, and
    // two for the pressed item, whose room and caption move right.
    return 2 + CaptionMargin + caption + ArrowGap + arrow->Width() + 2 + 2;
}

void TCustomSortListView::Loaded()
{
    shownBackground_ = backgroundImage_.Empty() ? QImage() : backgroundImage_.ToImage();
    viewport()->update();
    updateCount_ = 0;
    if (SaveSettings.AutoSave) {
        ReadSavedSettings();
    } else if (columnCount() > 0) {
        lastColumn_ = 0;
        SortAgain();
    }
    updateHeaderDrawing();
}

void TCustomSortListView::paintEvent(QPaintEvent* e)
{
    if (!shownBackground_.isNull()) {
        QPainter p(viewport());
        p.drawImage(0, 0, shownBackground_);
    }
    QTreeWidget::paintEvent(e);
}

bool TCustomSortListView::SelectByPrefix(const std::string& Text, int ColumnIndex)
{
    const QString prefix = QString::fromStdString(Text).toLower();
    const std::string prefixUtf8 = prefix.toStdString();
    return selectFirstFrom([&](const QString& text) {
        return collate::compare(text.left(prefix.size()).toLower().toStdString(), prefixUtf8) == 0;
    }, ColumnIndex);
}

bool TCustomSortListView::SelectBySubstring(const std::string& Text, int ColumnIndex)
{
    const QString part = QString::fromStdString(Text);
    return selectFirstFrom([&](const QString& text) { return text.contains(part, Qt::CaseSensitive); },
                           ColumnIndex);
}

bool TCustomSortListView::selectFirstFrom(const std::function<bool(const QString&)>& matches,
                                          int ColumnIndex)
{
    const int n = Count();
    int start = -1;
    for (int i = 0; i < n; ++i)
        if (Item(i)->isSelected()) {
            start = i;
            break;
        }
    for (int k = 1; k <= n; ++k) {
        QTreeWidgetItem* item = Item((start + k) % n);
        if (!matches(QString::fromStdString(ColumnText(item, ColumnIndex - 1))))
            continue;
        clearSelection();
        item->setSelected(true);
        setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
        scrollToItem(item);
        return true;
    }
    return false;
}

void TCustomSortListView::keyPressEvent(QKeyEvent* e)
{
    const QString text = e->text();
    const bool printable = text.size() == 1 && text[0].unicode() >= 32 && text[0].unicode() <= 127;
    if (!ColumnSearch || !printable || (e->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        QTreeWidget::keyPressEvent(e);
        return;
    }
    e->accept();
    const double now = Clock ? Clock() : nowMs();
    if (now - lastSearchKey_ > 1000)
        searchText_.clear();
    lastSearchKey_ = now;
    searchText_ += char(text[0].unicode());
    if (!SelectByPrefix(searchText_, std::max(lastColumn_, 0))) {
        QApplication::beep();
        searchText_ = text.toStdString();
    }
}

void TCustomSortListView::SetStyle(TViewStyleExt v)
{
    style_ = v;
    measureRows();
}

void TCustomSortListView::SetShowSortArrows(bool v)
{
    showSortArrows_ = v;
    buildArrows();
    updateHeaderDrawing();
}

void TCustomSortListView::SetReverseSortArrows(bool v)
{
    reverseSortArrows_ = v;
    buildArrows();
    header_->viewport()->update();
}

void TCustomSortListView::SetNoColumnResize(bool v)
{
    noColumnResize_ = v;
    header_->setSectionResizeMode(v ? QHeaderView::Fixed : QHeaderView::Interactive);
}

void TCustomSortListView::updateHeaderDrawing()
{
    header_->OwnerDraw = showSortArrows_ || bool(OnDrawHeader);
    header_->viewport()->update();
}

// Qt repaints only the cells whose state changed; owner-drawn rows are repainted whole, the
// strip right of the last column included, or it would keep an old row colour.
void TCustomSortListView::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    QTreeWidget::selectionChanged(selected, deselected);
    if (style_ == lvOwnerDrawFixed)
        viewport()->update();
}

void TCustomSortListView::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTreeWidget::currentChanged(current, previous);
    if (style_ == lvOwnerDrawFixed)
        viewport()->update();
}

void TCustomSortListView::changeEvent(QEvent* e)
{
    QTreeWidget::changeEvent(e);
    if (e->type() == QEvent::PaletteChange || e->type() == QEvent::StyleChange)
        buildArrows();
}

void TCustomSortListView::measureRows()
{
    TCanvas measure;
    measure.Font().Assign(font_);
    int height = measure.TextExtent("Wg").cy;
    if (OnMeasureItem)
        OnMeasureItem(this, height);
    rowHeight_ = std::max(height, 1);
    doItemsLayout();
}

void TCustomSortListView::buildArrows()
{
    upArrow_.reset();
    downArrow_.reset();
    if (!showSortArrows_)
        return;
    TCanvas measure;
    measure.Font().Assign(font_);
    const int textHeight = measure.TextHeight("Wy");
    const int s = textHeight - 6 + (textHeight % 2 != 0 ? 1 : 0);
    if (s < 1)
        return;
    const int m = s / 2;
    const gfx::TColor face = gfx::ColorToRGB(gfx::clBtnFace);
    const gfx::TColor shadow = gfx::ColorToRGB(gfx::clBtnShadow);
    const gfx::TColor light = gfx::ColorToRGB(gfx::clBtnHighlight);
    auto blank = [&] {
        auto b = std::make_unique<gfx::TBitmap>(s, s, gfx::pf24bit);
        b->Canvas().Brush().SetColor(face);
        b->Canvas().FillRect(TRect{0, 0, s, s});
        return b;
    };
    downArrow_ = blank();
    TCanvas& d = downArrow_->Canvas();
    d.Pen().SetColor(shadow);
    d.MoveTo(m, s - 2);
    d.LineTo(s - 1, 0);
    d.SetPixel(s - 1, 0, shadow);
    d.Pen().SetColor(light);
    d.MoveTo(s - 2, 0);
    d.LineTo(0, 0);
    d.LineTo(m - 1, s - 2);
    d.SetPixel(m - 1, s - 2, light);

    upArrow_ = blank();
    TCanvas& u = upArrow_->Canvas();
    u.Pen().SetColor(light);
    u.MoveTo(0, s - 1);
    u.LineTo(m - 1, 0);
    u.Pen().SetColor(shadow);
    u.MoveTo(m, 0);
    u.LineTo(s - 1, s - 1);
    u.LineTo(-1, s - 1);
    u.SetPixel(m, 0, face);
    header_->viewport()->update();
}

void TCustomSortListView::HeaderLayout(int Index, const TRect& ItemRect, bool Pressed,
                                       TRect& TextRect, TRect& ArrowRect, const gfx::TFont* CaptionFont)
{
    const Qt::Alignment align = columnAlignment(Index);
    TextRect = ItemRect;
    ArrowRect = TRect{};
    if (align == Qt::AlignLeft)
        TextRect.Left += CaptionMargin;
    else if (align == Qt::AlignRight)
        TextRect.Right -= CaptionMargin;
    const gfx::TBitmap* arrow = (ascending_ != reverseSortArrows_) ? upArrow_.get() : downArrow_.get();
    const bool withArrow = showSortArrows_ && arrow && Index == lastColumn_ && autoColumnSort_ != acsNoSort;
    if (!withArrow) {
        if (Pressed)
            TextRect = gfx::OffsetRect(TextRect, 1, 1);
        return;
    }
    const int size = arrow->Width();
    const int reserve = size + ArrowGap;
    TCanvas measure;
    measure.Font().Assign(CaptionFont ? *CaptionFont : font_);
    const int width = measure.TextWidth(headerItem()->text(Index).toStdString());
    if (align == Qt::AlignRight) {
        TextRect.Left += reserve;
        TextRect.Left = std::max(TextRect.Left, TextRect.Right - width);
    } else {
        TextRect.Right -= reserve;
        if (align == Qt::AlignHCenter) {
            const int left = TextRect.Left + (TextRect.Width() - width) / 2;
            TextRect.Left = std::max(TextRect.Left, left);
        }
        TextRect.Right = std::min(TextRect.Right, TextRect.Left + width);
    }
    // Kept inside the item, never inside out.
    TextRect.Left = std::clamp(TextRect.Left, ItemRect.Left, ItemRect.Right);
    TextRect.Right = std::clamp(TextRect.Right, TextRect.Left, ItemRect.Right);
    if (Pressed)
        TextRect = gfx::OffsetRect(TextRect, 1, 1);
    const int x = align == Qt::AlignRight ? TextRect.Left - ArrowGap - size : TextRect.Right + ArrowGap;
    const int y = ItemRect.Top + (ItemRect.Height() - size) / 2;
    if (x >= ItemRect.Left && x + size <= ItemRect.Right)
        ArrowRect = TRect{x, y, x + size, y + size};
}

void TCustomSortListView::paintHeaderItem(TCanvas& c, int index, TRect rect, bool pressed)
{
    // The owner may change the font the caption is drawn with.
    c.Font().Assign(font_);
    c.Font().SetColor(gfx::clBtnText);
    if (OnDrawHeader) {
        bool defaultDrawing = true;
        OnDrawHeader(this, c, index, rect, pressed, defaultDrawing);
        if (!defaultDrawing)
            return;
    }
    c.Brush().SetStyle(gfx::bsSolid);
    c.Brush().SetColor(gfx::clBtnFace);
    c.FillRect(rect);
    TRect edge = rect;
    c.DrawEdge(edge, pressed ? gfx::EDGE_SUNKEN : gfx::EDGE_RAISED, gfx::BF_RECT);
    TRect item = gfx::InflateRect(rect, -2, -2);
    if (pressed) {
        item.Left += 1;
        item.Top += 1;
    }
    TRect text, arrow;
    // Measured in the font the owner chose (bold in the main window), or the caption would
    // not fit the room it is given beside the arrow.
    HeaderLayout(index, item, pressed, text, arrow, &c.Font());
    const Qt::Alignment align = columnAlignment(index);
    const unsigned flags = gfx::DT_SINGLELINE | gfx::DT_VCENTER | gfx::DT_NOPREFIX |
                           gfx::DT_END_ELLIPSIS |
                           (align == Qt::AlignRight ? gfx::DT_RIGHT
                            : align == Qt::AlignHCenter ? gfx::DT_CENTER : gfx::DT_LEFT);
    c.Brush().SetStyle(gfx::bsClear);
    c.DrawText(headerItem()->text(index).toStdString(), text, flags);
    if (!arrow.IsEmpty()) {
        const gfx::TBitmap* bmp = (ascending_ != reverseSortArrows_) ? upArrow_.get() : downArrow_.get();
        c.Draw(arrow.Left, arrow.Top, *bmp);
    }
}

void TCustomSortListView::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const
{
    if (style_ != lvOwnerDrawFixed) {
        QTreeWidget::drawRow(painter, option, index);
        return;
    }
    auto* self = const_cast<TCustomSortListView*>(this);
    const int row = index.row();
    // The row's own rectangle spans its columns; the strip right of the last one is the
    // list's, filled below.
    const int columnsRight = std::max(0, header()->length() - header()->offset());
    const int width = std::max(viewport()->width(), columnsRight);
    QImage img(width, option.rect.height(), QImage::Format_RGB32);
    TCanvas c(&img);
    const TRect rect{0, 0, columnsRight, option.rect.height()};
    TOwnerDrawState state = 0;
    if (selectionModel()->isRowSelected(row, index.parent()))
        state |= odSelected;
    if (currentIndex().row() == row && hasFocus())
        state |= odFocused;
    c.Font().Assign(font_);
    c.Brush().SetColor(gfx::clWindow);
    bool defaultDrawing = true, fullRowSelect = true;
    forms::RunGuarded([&] {
        if (OnDrawItem)
            OnDrawItem(self, c, row, rect, state, defaultDrawing, fullRowSelect);
        if (defaultDrawing)
            paintDefaultRow(c, row, rect, state);
        if (OnAfterDefaultDrawItem)
            OnAfterDefaultDrawItem(self, c, row, rect, state);
    });
    // The strip carries on the background the row ended with (sampled inside the last
    // cell's margin, clear of its text and focus frame), so a selected row reads as one band
    // whatever colours its owner chose.
    if (columnsRight < width) {
        gfx::TColor back = columnsRight >= 2 ? c.Pixels(columnsRight - 2, rect.Height() / 2) : -1;
        if (back == gfx::TColor(-1))
            back = gfx::ColorToRGB(gfx::clWindow);
        c.Brush().SetStyle(gfx::bsSolid);
        c.Brush().SetColor(back);
        c.FillRect(TRect{columnsRight, 0, width, rect.Height()});
    }
    painter->drawImage(0, option.rect.top(), img);
}

void TCustomSortListView::paintDefaultRow(TCanvas& c, int row, const TRect& rect,
                                          TOwnerDrawState state) const
{
    auto* self = const_cast<TCustomSortListView*>(this);
    gfx::TColor back = gfx::clWindow, fore = gfx::clWindowText;
    if ((state & odSelected) && hasFocus()) {
        back = gfx::clHighlight;
        fore = gfx::clHighlightText;
    } else if (state & odSelected) {  // selections stay visible without the focus
        back = gfx::clBtnFace;
        fore = gfx::clBtnText;
    }
    c.Brush().SetStyle(gfx::bsSolid);
    c.Brush().SetColor(back);
    c.FillRect(rect);
    const QTreeWidgetItem* item = Item(row);
    for (int col = 0; col < columnCount(); ++col) {
        if (header()->isSectionHidden(col))
            continue;
        const int x = header()->sectionViewportPosition(col);
        const TRect cell{x, rect.Top, x + header()->sectionSize(col), rect.Bottom};
        // The owner may change the font and fill the cell; the text then goes over it.
        c.Font().Assign(font_);
        c.Font().SetColor(fore);
        bool defaultDrawing = true;
        if (col > 0 && OnDrawSubItem)
            OnDrawSubItem(self, c, row, col, cell, state, defaultDrawing);
        if (!defaultDrawing)
            continue;
        const Qt::Alignment align = columnAlignment(col);
        TRect text{cell.Left + 4, cell.Top, cell.Right - 4, cell.Bottom};
        c.Brush().SetStyle(gfx::bsClear);
        c.DrawText(cp932::nameForDisplay(ColumnText(item, col - 1)), text,
                   gfx::DT_SINGLELINE | gfx::DT_VCENTER | gfx::DT_NOPREFIX | gfx::DT_END_ELLIPSIS |
                       (align == Qt::AlignRight ? gfx::DT_RIGHT
                        : align == Qt::AlignHCenter ? gfx::DT_CENTER : gfx::DT_LEFT));
    }
    if (state & odFocused)
        controls::DrawFocusMark(c, rect);
}
