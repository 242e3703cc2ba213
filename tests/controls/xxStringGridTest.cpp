#include <gtest/gtest.h>

#include <QApplication>
#include <set>
#include <QCursor>
#include <QScrollBar>
#include <QTest>

#include "ControlTestSupport.h"
#include "controls/xx/xxStringGrid.h"

using namespace controls;
using controltest::turnWheel;

namespace {

QScrollBar* bar(QWidget& grid, Qt::Orientation o)
{
    for (QScrollBar* b : grid.findChildren<QScrollBar*>())
        if (b->orientation() == o)
            return b;
    return nullptr;
}

// A grid of 2 fixed-less columns and `rows` rows in a shown window.
struct Shown {
    QWidget host;
    TxxStringGrid* grid = new TxxStringGrid(&host);
    explicit Shown(int rows, int cols = 3)
    {
        host.resize(320, 200);
        grid->SetBounds(0, 0, 300, 150);
        grid->SetFixedCols(0);
        grid->SetColCount(cols);
        grid->SetRowCount(rows);
        for (int r = 0; r < rows; ++r)
            grid->SetCells(0, r, "row " + std::to_string(r));
        host.show();
    }
};

}  // namespace

TEST(StringGrid, CellsMayBeWrittenBeyondTheSizeAndShrinkingDropsRows)
{
    TStringGrid grid;  // never shown: a table in memory
    grid.SetFixedRows(0);
    grid.SetFixedCols(0);
    grid.SetColCount(8);
    // Rows are written first and counted afterwards, as a folder scan does.
    for (int r = 0; r < 3000; ++r)
        for (int c = 0; c < 8; ++c)
            grid.SetCells(c, r, std::to_string(r) + ":" + std::to_string(c));
    EXPECT_EQ(grid.RowCount(), 5);
    grid.SetRowCount(3000);
    EXPECT_EQ(grid.Cells(7, 2999), "2999:7");

    // The rows a shrink takes away come back empty; columns are only hidden.
    grid.SetRowCount(12);
    grid.SetColCount(3);
    EXPECT_EQ(grid.Cells(5, 10), "10:5");
    grid.SetRowCount(20);
    grid.SetColCount(8);
    EXPECT_EQ(grid.Cells(5, 10), "10:5");
    EXPECT_EQ(grid.Cells(0, 11), "11:0");
    for (int r = 12; r < 20; ++r)
        for (int c = 0; c < 8; ++c)
            EXPECT_EQ(grid.Cells(c, r), "") << r << "," << c;
    EXPECT_EQ(grid.Rows(2999)[0], "");
    // Rows written beyond the size outlive a shrink below them, as they outlived the size.
    grid.SetCells(1, 40, "staged");
    grid.SetRowCount(1);
    EXPECT_EQ(grid.Cells(0, 0), "0:0");
    grid.SetRowCount(41);
    EXPECT_EQ(grid.Cells(1, 40), "staged");
    EXPECT_EQ(grid.Cells(5, 10), "");

    // A row written as a list is emptied beyond the list, also past ColCount.
    grid.SetCells(3, 11, "11:3");
    grid.SetColCount(2);
    rtl::TStringList row{"a"};
    grid.SetCells(5, 10, "x");
    grid.SetRows(10, row);
    grid.SetColCount(8);
    EXPECT_EQ(grid.Cells(0, 10), "a");
    EXPECT_EQ(grid.Cells(1, 10), "");
    EXPECT_EQ(grid.Cells(5, 10), "");
    EXPECT_EQ(grid.Rows(11).Count(), 8);
    EXPECT_EQ(grid.Rows(11)[3], "11:3");

    EXPECT_EQ(grid.Cells(-1, 0), "");
    EXPECT_THROW(grid.SetCells(-1, 0, "x"), EInvalidGridOperation);
}

TEST(StringGrid, SizeKeepsAtLeastOneRowAndFixedRowsFollow)
{
    TStringGrid grid;
    EXPECT_EQ(grid.FixedRows(), 1);
    EXPECT_EQ(grid.Row(), 1);
    grid.SetRowCount(0);
    EXPECT_EQ(grid.RowCount(), 1);
    EXPECT_EQ(grid.FixedRows(), 1);  // a grid of only its header row
    grid.SetRowCount(grid.FixedRows() + 1);
    grid.SetRow(grid.FixedRows());
    EXPECT_EQ(grid.Row(), 1);
    EXPECT_THROW(grid.SetFixedRows(3), EInvalidGridOperation);
    EXPECT_THROW(grid.SetRow(2), EInvalidGridOperation);
    grid.SetColCount(-4);
    EXPECT_EQ(grid.ColCount(), 1);
    EXPECT_EQ(grid.FixedCols(), 1);
}

TEST(StringGrid, KeysAndClicksMoveTheCurrentCellThroughSelectCell)
{
    Shown s(40);
    TxxStringGrid& g = *s.grid;
    g.SetOptions(g.Options() | goRowSelect);
    g.setFocus();
    EXPECT_EQ(g.Row(), 1);
    QTest::keyClick(&g, Qt::Key_Down);
    EXPECT_EQ(g.Row(), 2);
    QTest::keyClick(&g, Qt::Key_End);
    EXPECT_EQ(g.Row(), 39);
    EXPECT_GT(g.TopRow(), 1);  // scrolled into view
    const gfx::TRect last = g.CellRect(0, 39);
    EXPECT_FALSE(last.IsEmpty());
    EXPECT_LE(last.Bottom, 2 + g.ClientHeight());

    int asked = 0;
    g.OnSelectCell = [&](QObject*, int, int row, bool& can) {
        ++asked;
        can = row != 38;
    };
    QTest::keyClick(&g, Qt::Key_Up);
    EXPECT_EQ(g.Row(), 39);  // refused
    int keys = 0;
    g.OnKeyDown = [&](QObject*, int& key, forms::TShiftState) {
        ++keys;
        if (key == forms::VK_HOME) key = 0;  // the handler takes it
    };
    QTest::keyClick(&g, Qt::Key_Home);
    EXPECT_EQ(g.Row(), 39);
    EXPECT_EQ(keys, 1);

    g.SetTopRow(1);
    const gfx::TRect target = g.CellRect(1, 3);
    QTest::mouseClick(&g, Qt::LeftButton, {}, QPoint(target.Left + 3, target.Top + 3));
    EXPECT_EQ(g.Row(), 3);
    int col = 0, row = 0;
    g.MouseToCell(target.Left + 3, target.Top + 3, col, row);
    EXPECT_EQ(col, 1);
    EXPECT_EQ(row, 3);
    EXPECT_EQ(asked, 2);
}

TEST(StringGrid, PlainGridMovesOnTheWheelTheProgramsGridOnlyReportsIt)
{
    QWidget host;
    TStringGrid plain(&host);
    plain.SetRowCount(10);
    host.show();
    turnWheel(plain, -120);
    EXPECT_EQ(plain.Row(), 2);

    Shown s(40);
    std::vector<int> wheels;
    s.grid->OnMouseWheel = [&](QObject*, int w) { wheels.push_back(w); };
    turnWheel(*s.grid, -120);
    turnWheel(*s.grid, -120);
    turnWheel(*s.grid, 120);
    EXPECT_EQ(s.grid->Row(), 1);
    EXPECT_EQ(s.grid->TopRow(), 1);
    EXPECT_EQ(wheels, (std::vector<int>{1, 1, -1}));
}

TEST(StringGrid, HorizontalArrowsScrollAndThenReportTwoSteps)
{
    Shown s(5, 12);
    std::vector<int> wheels;
    s.grid->OnMouseWheel = [&](QObject*, int w) { wheels.push_back(w); };
    QScrollBar* h = bar(*s.grid, Qt::Horizontal);
    ASSERT_TRUE(h);
    ASSERT_FALSE(h->isHidden());
    EXPECT_TRUE(bar(*s.grid, Qt::Vertical)->isHidden());  // five rows fit
    int leftSeen = -1;
    s.grid->OnMouseWheel = [&](QObject* g, int w) {
        wheels.push_back(w);
        leftSeen = static_cast<TxxStringGrid*>(g)->LeftCol();
    };
    h->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(s.grid->LeftCol(), 1);
    EXPECT_EQ(leftSeen, 1);  // reported after the scroll
    h->triggerAction(QAbstractSlider::SliderSingleStepSub);
    h->triggerAction(QAbstractSlider::SliderSingleStepSub);  // at the left end: still reported
    EXPECT_EQ(s.grid->LeftCol(), 0);
    EXPECT_EQ(wheels, (std::vector<int>{2, -2, -2}));
}

TEST(StringGrid, EnterAndLeaveReportTheCursorPosition)
{
    Shown s(5);
    std::vector<std::string> seen;
    s.grid->OnMouseEnter = [&](QObject*, forms::TShiftState, int x, int y) {
        seen.push_back(std::to_string(x) + "," + std::to_string(y));
    };
    s.grid->OnMouseLeave = [&](QObject*, forms::TShiftState, int, int) { seen.push_back("leave"); };
    QCursor::setPos(s.grid->mapToGlobal(QPoint(40, 30)));
    const QPointF at(40, 30);
    QEnterEvent enter{at, at, s.grid->mapToGlobal(at)};
    QApplication::sendEvent(s.grid, &enter);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(s.grid, &leave);
    EXPECT_EQ(seen, (std::vector<std::string>{"40,30", "leave"}));
}

TEST(StringGrid, DrawCellPaintsOverEachVisibleCell)
{
    Shown s(30, 5);
    TxxStringGrid& g = *s.grid;
    g.SetFixedRows(0);
    g.SetScrollBars(ssVertical);
    g.SetColor(gfx::clBlack);
    g.SetDefaultRowHeight(15);
    g.SetColWidths(0, 30);
    g.SetColWidths(1, g.ClientWidth() - 120);
    g.SetColWidths(2, 45);
    g.SetColWidths(3, 45);
    g.SetColWidths(4, 0);
    for (int r = 0; r < 30; ++r) {
        g.SetCells(0, r, (r + 1 < 10 ? "  " : " ") + std::to_string(r + 1) + ".");
        g.SetCells(1, r, "Track " + std::to_string(r + 1));
        g.SetCells(2, r, "03:2" + std::to_string(r % 10));
        g.SetCells(3, r, "1" + std::to_string(r % 10) + ":05");
    }
    g.SetOptions(g.Options() | goRowSelect);
    g.SetRow(2);
    const gfx::TColor colours[] = {0xFFFF00, 0xE8E8E8, 0xF578EC, 0x00FF00, 0};
    std::set<std::pair<int, int>> drawn;
    g.OnDrawCell = [&](QObject*, int col, int row, const gfx::TRect& r, TGridDrawState state) {
        drawn.insert({col, row});
        gfx::TCanvas& c = g.Canvas();
        c.Brush().SetColor(gfx::clBlack);
        c.FillRect(r);
        c.Font().SetColor(colours[col]);
        c.Brush().SetStyle(gfx::bsClear);
        c.TextOut(r.Left + 2, r.Top + 1, g.Cells(col, row));
        if (state & gdSelected) {
            c.Brush().SetColor(gfx::clSilver);
            c.FrameRect(r);
        }
    };
    const QImage img = controltest::snapshot(s.host);
    EXPECT_TRUE(drawn.count({1, 0}));
    EXPECT_FALSE(drawn.count({1, 29}));  // scrolled out of view
    EXPECT_FALSE(bar(g, Qt::Vertical)->isHidden());
    const gfx::TRect sel = g.CellRect(1, 2);
    EXPECT_EQ(controltest::pixel(img, sel.Left, sel.Top + 5), gfx::clSilver);
    EXPECT_EQ(controltest::pixel(img, sel.Left + 1, sel.Top + 1), gfx::clBlack);
    controltest::saveShot(img, "xxStringGrid", 2);
}

TEST(StringGrid, DefaultLookScreenshot)
{
    QWidget host;
    host.resize(330, 130);
    TStringGrid grid(&host);
    grid.SetBounds(5, 5, 320, 120);
    for (int c = 0; c < 5; ++c)
        grid.SetCells(c, 0, "Col " + std::to_string(c));
    for (int r = 1; r < 8; ++r) {
        grid.SetCells(0, r, std::to_string(r));
        for (int c = 1; c < 5; ++c)
            grid.SetCells(c, r, "cell " + std::to_string(c) + "." + std::to_string(r));
    }
    grid.SetRowCount(8);
    grid.SetRow(2);
    grid.SetCol(2);
    host.show();
    const QImage img = controltest::snapshot(host);
    // Without the focus the current cell is highlighted; fixed cells wear the face colour.
    const gfx::TRect cur = grid.CellRect(2, 2);
    EXPECT_EQ(controltest::pixel(img, 5 + cur.Left + 1, 5 + cur.Bottom - 2), gfx::ColorToRGB(gfx::clHighlight));
    const gfx::TRect head = grid.CellRect(1, 0);
    EXPECT_EQ(controltest::pixel(img, 5 + head.Left + 40, 5 + head.Bottom - 3), gfx::ColorToRGB(gfx::clBtnFace));
    controltest::saveShot(img, "StringGrid", 2);
}
