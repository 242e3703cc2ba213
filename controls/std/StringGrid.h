// `TStringGrid`: the class library's grid of text cells. It paints itself (fixed rows and
// columns in `FixedColor`, the current row or cell highlighted, grid lines, scroll bars when
// the cells do not fit) and lets `OnDrawCell` paint over each cell; the arrow, page and
// Home/End keys, clicks and the mouse wheel move the current cell, each move offered first
// to `OnSelectCell`.
//
// The cells live in a sparse store of their own, independent of painting, so a hidden grid
// serves as a table in memory. Cells may be written beyond the current RowCount x ColCount
// before the size is set; they show once the grid grows over them. A smaller RowCount drops
// the rows it takes away, texts and all, so that a list that grows again never shows an
// earlier list's rows; a smaller ColCount hides columns without erasing them. A grid keeps
// at least one row and one column.
// UI thread only.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "controls/std/StdTypes.h"
#include "platform/forms/Control.h"
#include "platform/rtl/StringList.h"

class QScrollBar;

namespace controls {

class EInvalidGridOperation : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum TGridOption : unsigned {
    goFixedVertLine = 1u << 0, goFixedHorzLine = 1u << 1, goVertLine = 1u << 2,
    goHorzLine = 1u << 3, goRangeSelect = 1u << 4, goDrawFocusSelected = 1u << 5,
    goRowSelect = 1u << 6, goThumbTracking = 1u << 7
};
using TGridOptions = unsigned;
enum TGridDrawStateBit : unsigned { gdSelected = 1, gdFocused = 2, gdFixed = 4 };
using TGridDrawState = unsigned;
enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };
using TGridBorderStyle = TBorderStyle;

using TDrawCellEvent = std::function<void(QObject* sender, int col, int row,
                                          const gfx::TRect& rect, TGridDrawState state)>;
using TSelectCellEvent = std::function<void(QObject* sender, int col, int row, bool& canSelect)>;

class TStringGrid : public forms::TCustomControl {
public:
    explicit TStringGrid(QWidget* parent = nullptr);
    ~TStringGrid() override;

    // The cell store.
    std::string Cells(int col, int row) const;
    // Negative indices raise EInvalidGridOperation.
    void SetCells(int col, int row, const std::string& text);
    // Cells 0 .. ColCount-1 of a row.
    rtl::TStringList Rows(int row) const;
    // Empties the whole row (also beyond ColCount), then writes the list's strings from
    // column 0 on.
    void SetRows(int row, const rtl::TStringList& cells);

    // Size; values below 1 count as 1; fixed rows and columns shrink along when needed. Rows
    // from the new RowCount up to the old one lose their texts.
    int RowCount() const { return rowCount_; }
    void SetRowCount(int n);
    int ColCount() const { return colCount_; }
    void SetColCount(int n);
    // At most RowCount / ColCount, else EInvalidGridOperation.
    int FixedRows() const { return fixedRows_; }
    void SetFixedRows(int n);
    int FixedCols() const { return fixedCols_; }
    void SetFixedCols(int n);

    int DefaultColWidth() const { return defaultColWidth_; }
    // Resets every column to the new width.
    void SetDefaultColWidth(int w);
    int DefaultRowHeight() const { return defaultRowHeight_; }
    void SetDefaultRowHeight(int h);
    int ColWidths(int col) const;
    void SetColWidths(int col, int w);
    int RowHeights(int row) const;
    void SetRowHeights(int row, int h);
    int GridLineWidth() const { return gridLineWidth_; }
    void SetGridLineWidth(int w);

    // The current cell; a move outside the grid raises EInvalidGridOperation "Grid index
    // out of range", and OnSelectCell may refuse it.
    int Row() const { return row_; }
    void SetRow(int row);
    int Col() const { return col_; }
    void SetCol(int col);
    int TopRow() const { return topRow_; }
    void SetTopRow(int row);
    int LeftCol() const { return leftCol_; }
    void SetLeftCol(int col);
    // Whole non-fixed rows / columns that fit.
    int VisibleRowCount() const;
    int VisibleColCount() const;

    TGridOptions Options() const { return options_; }
    void SetOptions(TGridOptions o);
    TScrollStyle ScrollBars() const { return scrollBars_; }
    void SetScrollBars(TScrollStyle s);
    TGridBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TGridBorderStyle s);
    gfx::TColor FixedColor() const { return fixedColor_; }
    void SetFixedColor(gfx::TColor c);
    bool DefaultDrawing() const { return defaultDrawing_; }
    void SetDefaultDrawing(bool on) { defaultDrawing_ = on; Invalidate(); }

    // The area inside the border and the scroll bars.
    int ClientWidth() const;
    int ClientHeight() const;
    // The cell's rectangle on the control (without its grid lines), cut to the client area;
    // empty when the cell is scrolled out of view.
    gfx::TRect CellRect(int col, int row) const;
    // The cell under a point; -1, -1 when there is none.
    void MouseToCell(int x, int y, int& col, int& row) const;

    TDrawCellEvent OnDrawCell;
    TSelectCellEvent OnSelectCell;
    forms::TNotifyEvent OnTopLeftChanged;

protected:
    void Paint() override;
    // Paints one cell: the default look (when DefaultDrawing), then OnDrawCell.
    virtual void DrawCell(int col, int row, const gfx::TRect& rect, TGridDrawState state);
    virtual bool SelectCell(int col, int row);
    // A wheel turn of `step` (+1 toward the user): the grid moves the current row.
    virtual void DoMouseWheel(int step);
    // After the horizontal scroll bar's arrow (-1 left, +1 right) has scrolled the grid.
    virtual void HorzScrollArrow(int direction) { (void)direction; }

    void MouseDown(forms::TMouseButton b, forms::TShiftState s, int x, int y) override;
    void KeyDown(int& key, forms::TShiftState shift) override;
    void Resized() override;
    void wheelEvent(QWheelEvent* e) override;

private:
    int origin() const;
    // Moves the current cell (with OnSelectCell) and scrolls it into view.
    void moveCurrent(int col, int row);
    void scrollIntoView();
    void updateScrollBars();
    int maxTopRow() const;
    int maxLeftCol() const;
    std::vector<std::pair<int, int>> visibleSpans(bool rows) const;
    void topLeftChanged();

    std::map<int, std::map<int, std::string>> cells_;  // row -> column -> text
    int rowCount_ = 5, colCount_ = 5, fixedRows_ = 1, fixedCols_ = 1;
    int defaultColWidth_ = 64, defaultRowHeight_ = 24, gridLineWidth_ = 1;
    std::vector<int> colWidths_, rowHeights_;
    int row_ = 1, col_ = 1, topRow_ = 1, leftCol_ = 1;
    TGridOptions options_ = goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine | goRangeSelect;
    TScrollStyle scrollBars_ = ssBoth;
    TGridBorderStyle borderStyle_ = bsSingle;
    gfx::TColor fixedColor_ = gfx::clBtnFace;
    bool defaultDrawing_ = true;
    QScrollBar* vScroll_ = nullptr;
    QScrollBar* hScroll_ = nullptr;
    bool syncingBars_ = false;
};

}  // namespace controls
