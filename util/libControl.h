// Small routines that windows call on their own controls: emptying a string grid, giving
// every control with the stock hand cursor the program's own one, switching hints of all
// children, setting a memo's text margins, and stepping a row index with the arrow and
// Enter keys. None keeps state; the cursor table is the one process-wide list of cursor
// identifiers (the stock shapes and the program's own cursors registered at start-up).
//
// The grid routine works on any string grid with the usual shape (fixed rows on top,
// RowCount, Row, Cells), so it serves the program's own grid and test stand-ins alike.
// UI thread only.
#pragma once
#include <algorithm>
#include <concepts>
#include <cstdint>
#include <string>

class QCursor;
class QObject;
class QTextEdit;
class QWidget;

// A string grid as ClearGridRows sees it. A smaller RowCount drops the texts of the rows it
// takes away, as the program's own grids do.
template <class G>
concept TStringGridLike = requires(G g, int i, const std::string& s) {
    { g.FixedRows() } -> std::convertible_to<int>;
    { g.RowCount() } -> std::convertible_to<int>;
    { g.ColCount() } -> std::convertible_to<int>;
    g.SetRowCount(i);
    g.SetRow(i);
    g.SetCell(i, i, s);  // column, row, text
};

// Empties every data row (FixedRows .. RowCount - 1; the fixed rows keep their texts). With
// Shrink the grid keeps one empty data row, which becomes the current row.
template <TStringGridLike G>
void ClearGridRows(G& Grid, bool Shrink)
{
    // The rows that Shrink drops take their texts with them: only the row it keeps is emptied.
    const int end = Shrink ? std::min(Grid.RowCount(), Grid.FixedRows() + 1) : Grid.RowCount();
    for (int row = Grid.FixedRows(); row < end; ++row)
        for (int col = 0; col < Grid.ColCount(); ++col)
            Grid.SetCell(col, row, std::string());
    if (Shrink) {
        Grid.SetRowCount(Grid.FixedRows() + 1);
        Grid.SetRow(Grid.FixedRows());
    }
}

// The hourglass (the application's override cursor) for the length of a scope; nothing
// without a GUI application.
class TWaitCursor {
public:
    TWaitCursor();
    ~TWaitCursor();
    TWaitCursor(const TWaitCursor&) = delete;
    TWaitCursor& operator=(const TWaitCursor&) = delete;
};

// Cursor identifiers as the windows name them.
using TCursor = std::int16_t;
constexpr TCursor crDefault = 0, crNone = -1, crArrow = -2, crCross = -3, crIBeam = -4,
                  crSizeNESW = -6, crSizeNS = -7, crSizeNWSE = -8, crSizeWE = -9,
                  crUpArrow = -10, crHourGlass = -11, crDrag = -12, crNoDrop = -13,
                  crHSplit = -14, crVSplit = -15, crMultiDrag = -16, crSQLWait = -17,
                  crNo = -18, crAppStart = -19, crHelp = -20, crHandPoint = -21,
                  crSizeAll = -22;

// Makes Id stand for Cursor (the program registers its own "HAND" as 1 at start-up).
void RegisterCursor(TCursor Id, const QCursor& Cursor);
// The widget's cursor identifier: the one set through SetControlCursor, else the stock
// identifier of its Qt cursor shape (crDefault when it has none of its own).
TCursor ControlCursor(const QWidget* Control);
// Gives the widget the cursor of Id (an unknown id falls back to the arrow).
void SetControlCursor(QWidget* Control, TCursor Id);

// Every widget below Owner whose cursor is OldCursor gets NewCursor; objects that are no
// widgets are passed over, and a failure on one does not stop the walk.
void ReplaceCursor(QObject* Owner, TCursor OldCursor, TCursor NewCursor);

// Hints on or off for each direct child control of Parent (Qt's own widgets have no such
// switch and keep their tooltips).
void SetChildShowHint(QWidget* Parent, bool Value);

// Every window calls this at creation; it has never done anything (the input-method names it
// once assigned are not used), so it returns at once.
inline void AssignImeNames(QWidget* /*Owner*/) {}

// The memo's text starts Left pixels from its left and Top from its top edge and stops 2
// pixels before its right edge.
void SetMemoMargins(QTextEdit* Memo, int Left, int Top);

// Enter and Down step Index forward (Down := true), Up steps it back (Down := false), within
// Min..Max; at the end of the range the key is eaten (Key := 0). Other keys change nothing.
void RowNavigateKey(int Min, int Max, int& Index, std::uint16_t& Key, bool& Down);
