#include "controls/std/StringGrid.h"

#include <algorithm>

#include <QScrollBar>
#include <QStyle>

#include "platform/forms/Application.h"

namespace controls {

using namespace gfx;

namespace {
constexpr const char* IndexError = "Grid index out of range";
}

TStringGrid::TStringGrid(QWidget* parent) : TCustomControl(parent)
{
    SetTabStop(true);
    SetParentColor(false);
    SetColor(clWindow);
    colWidths_.assign(colCount_, defaultColWidth_);
    rowHeights_.assign(rowCount_, defaultRowHeight_);
    vScroll_ = new QScrollBar(Qt::Vertical, this);
    hScroll_ = new QScrollBar(Qt::Horizontal, this);
    for (QScrollBar* bar : {vScroll_, hScroll_}) {
        bar->hide();
        bar->setFocusPolicy(Qt::NoFocus);
    }
    QObject::connect(vScroll_, &QScrollBar::valueChanged, this, [this](int v) {
        if (!syncingBars_)
            forms::RunGuarded([&] { SetTopRow(v); });
    });
    QObject::connect(hScroll_, &QScrollBar::valueChanged, this, [this](int v) {
        if (!syncingBars_)
            forms::RunGuarded([&] { SetLeftCol(v); });
    });
    // The arrows scroll first and are then reported.
    QObject::connect(hScroll_, &QScrollBar::actionTriggered, this, [this](int action) {
        const int direction = action == QAbstractSlider::SliderSingleStepSub ? -1
                            : action == QAbstractSlider::SliderSingleStepAdd ? 1 : 0;
        if (direction == 0)
            return;
        forms::RunGuarded([&] {
            SetLeftCol(hScroll_->sliderPosition());
            HorzScrollArrow(direction);
        });
    });
    resize(320, 120);
}

TStringGrid::~TStringGrid() = default;

// ---- the cell store ----

std::string TStringGrid::Cells(int col, int row) const
{
    const auto r = cells_.find(row);
    if (r == cells_.end())
        return {};
    const auto c = r->second.find(col);
    return c == r->second.end() ? std::string() : c->second;
}

void TStringGrid::SetCells(int col, int row, const std::string& text)
{
    if (col < 0 || row < 0)
        throw EInvalidGridOperation(IndexError);
    if (text.empty()) {
        const auto r = cells_.find(row);
        if (r != cells_.end()) {
            r->second.erase(col);
            if (r->second.empty())
                cells_.erase(r);
        }
    } else {
        cells_[row][col] = text;
    }
    if (isVisible() && col < colCount_ && row < rowCount_)
        Invalidate();
}

rtl::TStringList TStringGrid::Rows(int row) const
{
    rtl::TStringList out;
    for (int c = 0; c < colCount_; ++c)
        out.Add(Cells(c, row));
    return out;
}

void TStringGrid::SetRows(int row, const rtl::TStringList& cells)
{
    if (row < 0)
        throw EInvalidGridOperation(IndexError);
    cells_.erase(row);
    for (int c = 0; c < cells.Count(); ++c)
        if (!cells[c].empty())
            cells_[row][c] = cells[c];
    if (isVisible())
        Invalidate();
}

// ---- size ----

void TStringGrid::SetRowCount(int n)
{
    n = std::max(n, 1);
    if (n == rowCount_)
        return;
    if (n < rowCount_)
        cells_.erase(cells_.lower_bound(n), cells_.lower_bound(rowCount_));
    rowCount_ = n;
    rowHeights_.resize(n, defaultRowHeight_);
    fixedRows_ = std::min(fixedRows_, n);
    row_ = std::clamp(row_, std::min(fixedRows_, n - 1), n - 1);
    topRow_ = std::clamp(topRow_, fixedRows_, std::max(fixedRows_, maxTopRow()));
    updateScrollBars();
    Invalidate();
}

void TStringGrid::SetColCount(int n)
{
    n = std::max(n, 1);
    if (n == colCount_)
        return;
    colCount_ = n;
    colWidths_.resize(n, defaultColWidth_);
    fixedCols_ = std::min(fixedCols_, n);
    col_ = std::clamp(col_, std::min(fixedCols_, n - 1), n - 1);
    leftCol_ = std::clamp(leftCol_, fixedCols_, std::max(fixedCols_, maxLeftCol()));
    updateScrollBars();
    Invalidate();
}

void TStringGrid::SetFixedRows(int n)
{
    if (n < 0 || n > rowCount_)
        throw EInvalidGridOperation("Fixed row count must not exceed row count");
    fixedRows_ = n;
    row_ = std::min(n, rowCount_ - 1);
    topRow_ = n;
    updateScrollBars();
    Invalidate();
}

void TStringGrid::SetFixedCols(int n)
{
    if (n < 0 || n > colCount_)
        throw EInvalidGridOperation("Fixed column count must not exceed column count");
    fixedCols_ = n;
    col_ = std::min(n, colCount_ - 1);
    leftCol_ = n;
    updateScrollBars();
    Invalidate();
}

void TStringGrid::SetDefaultColWidth(int w)
{
    defaultColWidth_ = std::max(w, 0);
    colWidths_.assign(colCount_, defaultColWidth_);
    updateScrollBars();
    Invalidate();
}

void TStringGrid::SetDefaultRowHeight(int h)
{
    defaultRowHeight_ = std::max(h, 0);
    rowHeights_.assign(rowCount_, defaultRowHeight_);
    updateScrollBars();
    Invalidate();
}

int TStringGrid::ColWidths(int col) const
{
    return col >= 0 && col < colCount_ ? colWidths_[col] : defaultColWidth_;
}

void TStringGrid::SetColWidths(int col, int w)
{
    if (col < 0 || col >= colCount_)
        throw EInvalidGridOperation(IndexError);
    colWidths_[col] = std::max(w, 0);
    updateScrollBars();
    Invalidate();
}

int TStringGrid::RowHeights(int row) const
{
    return row >= 0 && row < rowCount_ ? rowHeights_[row] : defaultRowHeight_;
}

void TStringGrid::SetRowHeights(int row, int h)
{
    if (row < 0 || row >= rowCount_)
        throw EInvalidGridOperation(IndexError);
    rowHeights_[row] = std::max(h, 0);
    updateScrollBars();
    Invalidate();
}

void TStringGrid::SetGridLineWidth(int w)
{
    gridLineWidth_ = std::max(w, 0);
    updateScrollBars();
    Invalidate();
}

void TStringGrid::SetOptions(TGridOptions o)
{
    options_ = o;
    Invalidate();
}

void TStringGrid::SetScrollBars(TScrollStyle s)
{
    scrollBars_ = s;
    updateScrollBars();
    Invalidate();
}

void TStringGrid::SetBorderStyle(TGridBorderStyle s)
{
    borderStyle_ = s;
    updateScrollBars();
    Invalidate();
}

void TStringGrid::SetFixedColor(TColor c)
{
    if (c == fixedColor_)
        return;
    fixedColor_ = c;
    Invalidate();
}

// ---- geometry ----

int TStringGrid::origin() const
{
    return borderStyle_ == bsSingle ? 2 : 0;
}

int TStringGrid::ClientWidth() const
{
    return std::max(0, Width() - 2 * origin() - (vScroll_->isHidden() ? 0 : vScroll_->width()));
}

int TStringGrid::ClientHeight() const
{
    return std::max(0, Height() - 2 * origin() - (hScroll_->isHidden() ? 0 : hScroll_->height()));
}

// (index, offset in the client area) of every row or column that shows.
std::vector<std::pair<int, int>> TStringGrid::visibleSpans(bool rows) const
{
    const int count = rows ? rowCount_ : colCount_;
    const int fixed = rows ? fixedRows_ : fixedCols_;
    const int first = rows ? topRow_ : leftCol_;
    const int limit = rows ? ClientHeight() : ClientWidth();
    std::vector<std::pair<int, int>> out;
    int pos = 0;
    auto extent = [&](int i) { return rows ? rowHeights_[i] : colWidths_[i]; };
    for (int i = 0; i < fixed && pos < limit; ++i) {
        out.emplace_back(i, pos);
        pos += extent(i) + gridLineWidth_;
    }
    for (int i = std::max(first, fixed); i < count && pos < limit; ++i) {
        out.emplace_back(i, pos);
        pos += extent(i) + gridLineWidth_;
    }
    return out;
}

namespace {
// How many of the extents from `first` on fit whole into `avail`.
template <class Extent> int fitting(int first, int count, int avail, int line, Extent extent)
{
    int n = 0;
    for (int i = first; i < count; ++i) {
        avail -= extent(i) + line;
        if (avail < 0)
            break;
        ++n;
    }
    return n;
}
// The first index from which the rest fits into `avail` (never below `fixed`).
template <class Extent> int lastStart(int fixed, int count, int avail, int line, Extent extent)
{
    int start = count;
    while (start > fixed) {
        const int need = extent(start - 1) + line;
        if (need > avail)
            break;
        avail -= need;
        --start;
    }
    return std::max(fixed, std::min(start, count - 1));
}
}  // namespace

int TStringGrid::VisibleRowCount() const
{
    int avail = ClientHeight();
    for (int i = 0; i < fixedRows_; ++i) avail -= rowHeights_[i] + gridLineWidth_;
    return fitting(topRow_, rowCount_, avail, gridLineWidth_, [this](int i) { return rowHeights_[i]; });
}

int TStringGrid::VisibleColCount() const
{
    int avail = ClientWidth();
    for (int i = 0; i < fixedCols_; ++i) avail -= colWidths_[i] + gridLineWidth_;
    return fitting(leftCol_, colCount_, avail, gridLineWidth_, [this](int i) { return colWidths_[i]; });
}

int TStringGrid::maxTopRow() const
{
    int avail = ClientHeight();
    for (int i = 0; i < fixedRows_; ++i) avail -= rowHeights_[i] + gridLineWidth_;
    return lastStart(fixedRows_, rowCount_, avail, gridLineWidth_, [this](int i) { return rowHeights_[i]; });
}

int TStringGrid::maxLeftCol() const
{
    int avail = ClientWidth();
    for (int i = 0; i < fixedCols_; ++i) avail -= colWidths_[i] + gridLineWidth_;
    return lastStart(fixedCols_, colCount_, avail, gridLineWidth_, [this](int i) { return colWidths_[i]; });
}

TRect TStringGrid::CellRect(int col, int row) const
{
    const int o = origin();
    TRect out;
    bool found = false;
    for (const auto& [c, x] : visibleSpans(false))
        if (c == col) {
            out.Left = o + x;
            out.Right = o + std::min(x + colWidths_[c], ClientWidth());
            found = true;
        }
    if (!found)
        return {};
    found = false;
    for (const auto& [r, y] : visibleSpans(true))
        if (r == row) {
            out.Top = o + y;
            out.Bottom = o + std::min(y + rowHeights_[r], ClientHeight());
            found = true;
        }
    return found ? out : TRect{};
}

void TStringGrid::MouseToCell(int x, int y, int& col, int& row) const
{
    col = row = -1;
    const int o = origin();
    if (x < o || y < o || x >= o + ClientWidth() || y >= o + ClientHeight())
        return;
    for (const auto& [c, cx] : visibleSpans(false))
        if (x - o >= cx && x - o < cx + colWidths_[c] + gridLineWidth_)
            col = c;
    for (const auto& [r, ry] : visibleSpans(true))
        if (y - o >= ry && y - o < ry + rowHeights_[r] + gridLineWidth_)
            row = r;
    if (col < 0 || row < 0)
        col = row = -1;
}

// ---- the current cell and scrolling ----

bool TStringGrid::SelectCell(int col, int row)
{
    bool can = true;
    if (OnSelectCell)
        OnSelectCell(this, col, row, can);
    return can;
}

void TStringGrid::moveCurrent(int col, int row)
{
    if (col < 0 || row < 0 || col >= colCount_ || row >= rowCount_)
        throw EInvalidGridOperation(IndexError);
    if (!SelectCell(col, row))
        return;
    col_ = col;
    row_ = row;
    scrollIntoView();
    Invalidate();
}

void TStringGrid::SetRow(int row) { moveCurrent(col_, row); }
void TStringGrid::SetCol(int col) { moveCurrent(col, row_); }

void TStringGrid::scrollIntoView()
{
    if (row_ >= fixedRows_) {
        if (row_ < topRow_)
            SetTopRow(row_);
        else if (const int n = std::max(VisibleRowCount(), 1); row_ >= topRow_ + n)
            SetTopRow(row_ - n + 1);
    }
    if (col_ >= fixedCols_ && !(options_ & goRowSelect)) {
        if (col_ < leftCol_)
            SetLeftCol(col_);
        else if (const int n = std::max(VisibleColCount(), 1); col_ >= leftCol_ + n)
            SetLeftCol(col_ - n + 1);
    }
}

void TStringGrid::SetTopRow(int row)
{
    row = std::clamp(row, fixedRows_, std::max(fixedRows_, maxTopRow()));
    if (row == topRow_)
        return;
    topRow_ = row;
    topLeftChanged();
}

void TStringGrid::SetLeftCol(int col)
{
    col = std::clamp(col, fixedCols_, std::max(fixedCols_, maxLeftCol()));
    if (col == leftCol_)
        return;
    leftCol_ = col;
    topLeftChanged();
}

void TStringGrid::topLeftChanged()
{
    updateScrollBars();
    Invalidate();
    if (OnTopLeftChanged)
        OnTopLeftChanged(this);
}

void TStringGrid::updateScrollBars()
{
    syncingBars_ = true;
    const int o = origin();
    const int extent = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const bool wantV = scrollBars_ == ssVertical || scrollBars_ == ssBoth;
    const bool wantH = scrollBars_ == ssHorizontal || scrollBars_ == ssBoth;
    // Each bar takes room from the other's direction: settle in two rounds.
    for (int round = 0; round < 2; ++round) {
        vScroll_->setVisible(wantV && maxTopRow() > fixedRows_);
        hScroll_->setVisible(wantH && maxLeftCol() > fixedCols_);
    }
    const int innerW = Width() - 2 * o, innerH = Height() - 2 * o;
    if (!vScroll_->isHidden()) {
        vScroll_->setGeometry(o + innerW - extent, o, extent, innerH - (hScroll_->isHidden() ? 0 : extent));
        vScroll_->setRange(fixedRows_, maxTopRow());
        vScroll_->setPageStep(std::max(1, VisibleRowCount()));
        vScroll_->setValue(topRow_);
    }
    if (!hScroll_->isHidden()) {
        hScroll_->setGeometry(o, o + innerH - extent, innerW - (vScroll_->isHidden() ? 0 : extent), extent);
        hScroll_->setRange(fixedCols_, maxLeftCol());
        hScroll_->setPageStep(std::max(1, VisibleColCount()));
        hScroll_->setValue(leftCol_);
    }
    syncingBars_ = false;
}

void TStringGrid::Resized()
{
    SetTopRow(topRow_);
    SetLeftCol(leftCol_);
    updateScrollBars();
    TCustomControl::Resized();
}

// ---- painting ----

void TStringGrid::DrawCell(int col, int row, const TRect& rect, TGridDrawState state)
{
    TCanvas& c = Canvas();
    c.Font().Assign(Font());
    if (defaultDrawing_) {
        const bool highlight = (state & gdSelected)
            && (!(state & gdFocused) || (options_ & (goDrawFocusSelected | goRowSelect)));
        c.Brush().SetStyle(bsSolid);
        if (state & gdFixed) {
            c.Brush().SetColor(fixedColor_);
        } else if (highlight) {
            c.Brush().SetColor(clHighlight);
            c.Font().SetColor(clHighlightText);
        } else {
            c.Brush().SetColor(Color());
        }
        c.TextRect(rect, rect.Left + 2, rect.Top + 2, Cells(col, row));
    }
    if (OnDrawCell)
        OnDrawCell(this, col, row, rect, state);
    if (defaultDrawing_ && (state & gdFixed)) {
        TRect edge = rect;
        c.DrawEdge(edge, BDR_RAISEDINNER, BF_RECT);
    }
    if (defaultDrawing_ && (state & gdFocused) && !(options_ & goRowSelect))
        c.DrawFocusRect(rect);
}

void TStringGrid::Paint()
{
    TCanvas& c = Canvas();
    const int o = origin();
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(Color());
    c.FillRect(Rect(0, 0, Width(), Height()));
    const int right = o + ClientWidth(), bottom = o + ClientHeight();
    c.SetClipRect(Rect(o, o, right, bottom));
    const auto cols = visibleSpans(false);
    const auto rows = visibleSpans(true);
    const int lw = gridLineWidth_;
    for (const auto& [r, y] : rows)
        for (const auto& [col, x] : cols) {
            const bool fixed = r < fixedRows_ || col < fixedCols_;
            const TRect cell = Bounds(o + x, o + y, colWidths_[col], rowHeights_[r]);
            TGridDrawState state = fixed ? TGridDrawState(gdFixed) : 0u;
            if (!fixed && r == row_ && (col == col_ || (options_ & goRowSelect)))
                state |= gdSelected;
            if (!fixed && r == row_ && col == col_ && hasFocus())
                state |= gdFocused;
            DrawCell(col, r, cell, state);
            if (lw <= 0)
                continue;
            c.Brush().SetStyle(bsSolid);
            c.Brush().SetColor(fixed ? clBlack : clSilver);
            if (options_ & (fixed ? goFixedVertLine : goVertLine))
                c.FillRect(Rect(cell.Right, cell.Top, cell.Right + lw, cell.Bottom + lw));
            if (options_ & (fixed ? goFixedHorzLine : goHorzLine))
                c.FillRect(Rect(cell.Left, cell.Bottom, cell.Right + lw, cell.Bottom + lw));
        }
    c.ClearClip();
    if (!vScroll_->isHidden() && !hScroll_->isHidden()) {
        c.Brush().SetColor(clBtnFace);
        c.FillRect(Rect(right, bottom, Width() - o, Height() - o));
    }
    if (borderStyle_ == bsSingle) {
        TRect edge = Rect(0, 0, Width(), Height());
        c.DrawEdge(edge, EDGE_SUNKEN, BF_RECT);
    }
}

// ---- input ----

void TStringGrid::MouseDown(forms::TMouseButton b, forms::TShiftState s, int x, int y)
{
    if (b == forms::mbLeft) {
        if (TabStop() && !hasFocus())
            setFocus(Qt::MouseFocusReason);
        int col, row;
        MouseToCell(x, y, col, row);
        if (col >= fixedCols_ && row >= fixedRows_)
            moveCurrent(col, row);
    }
    TCustomControl::MouseDown(b, s, x, y);
}

void TStringGrid::KeyDown(int& key, forms::TShiftState shift)
{
    TCustomControl::KeyDown(key, shift);
    if (key == 0 || fixedRows_ >= rowCount_ || fixedCols_ >= colCount_)
        return;
    const bool rowSelect = options_ & goRowSelect;
    const int page = std::max(1, VisibleRowCount());
    int row = row_, col = col_;
    switch (key) {
    case forms::VK_UP: --row; break;
    case forms::VK_DOWN: ++row; break;
    case forms::VK_PRIOR: row -= page; break;
    case forms::VK_NEXT: row += page; break;
    case forms::VK_LEFT:
        if (rowSelect) SetLeftCol(leftCol_ - 1); else --col;
        break;
    case forms::VK_RIGHT:
        if (rowSelect) SetLeftCol(leftCol_ + 1); else ++col;
        break;
    case forms::VK_HOME:
        if (rowSelect || (shift & forms::ssCtrl)) row = fixedRows_; else col = fixedCols_;
        break;
    case forms::VK_END:
        if (rowSelect || (shift & forms::ssCtrl)) row = rowCount_ - 1; else col = colCount_ - 1;
        break;
    default: return;
    }
    row = std::clamp(row, fixedRows_, rowCount_ - 1);
    col = std::clamp(col, fixedCols_, colCount_ - 1);
    if (row != row_ || col != col_)
        moveCurrent(col, row);
}

void TStringGrid::DoMouseWheel(int step)
{
    if (fixedRows_ >= rowCount_)
        return;
    const int row = std::clamp(row_ + step, fixedRows_, rowCount_ - 1);
    if (row != row_)
        moveCurrent(col_, row);
}

void TStringGrid::wheelEvent(QWheelEvent* e)
{
    const int step = WheelStep(e);
    if (step == 0) {
        TCustomControl::wheelEvent(e);
        return;
    }
    e->accept();
    forms::RunGuarded([&] { DoMouseWheel(step); });
}

}  // namespace controls
