#include "util/libControl.h"

#include <gtest/gtest.h>

#include <map>

#include <QCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextFrame>
#include <QWidget>

#include "platform/forms/Control.h"

namespace {

// The smallest string grid the routine needs; like the program's grids it drops the texts
// of the rows a shrink takes away. It counts the cells written.
struct Grid {
    int fixed = 1, rows = 1, cols = 3, row = 0, writes = 0;
    std::map<std::pair<int, int>, std::string> cells;
    int FixedRows() const { return fixed; }
    int RowCount() const { return rows; }
    int ColCount() const { return cols; }
    void SetRowCount(int n)
    {
        std::erase_if(cells, [&](const auto& cell) { return cell.first.second >= n && cell.first.second < rows; });
        rows = n;
    }
    void SetRow(int r) { row = r; }
    void SetCell(int c, int r, const std::string& s)
    {
        cells[{c, r}] = s;
        ++writes;
    }
    std::string cell(int c, int r) const
    {
        auto it = cells.find({c, r});
        return it == cells.end() ? std::string() : it->second;
    }
};

}  // namespace

TEST(ClearGridRows, EmptiesDataRowsAndKeepsFixedOnes)
{
    Grid g;
    g.rows = 4;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c)
            g.SetCell(c, r, std::to_string(r) + std::to_string(c));
    ClearGridRows(g, false);
    EXPECT_EQ(g.rows, 4);
    EXPECT_EQ(g.cell(2, 0), "02");
    for (int r = 1; r < 4; ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(g.cell(c, r), "") << r << "," << c;

    g.row = 3;
    for (int r = 1; r < 4; ++r)
        for (int c = 0; c < 3; ++c)
            g.SetCell(c, r, std::to_string(r) + std::to_string(c));
    g.writes = 0;
    ClearGridRows(g, true);
    EXPECT_EQ(g.rows, 2);
    EXPECT_EQ(g.row, 1);
    EXPECT_EQ(g.writes, 3) << "only the row kept is emptied; the shrink drops the others";
    EXPECT_EQ(g.cell(2, 0), "02");
    // The rows dropped come back empty when the grid grows again.
    g.SetRowCount(4);
    for (int r = 1; r < 4; ++r)
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(g.cell(c, r), "") << r << "," << c;

    // Only the fixed row: nothing to clear; shrinking still leaves one data row current.
    Grid only;
    only.SetCell(0, 0, "head");
    ClearGridRows(only, true);
    EXPECT_EQ(only.rows, 2);
    EXPECT_EQ(only.row, 1);
    EXPECT_EQ(only.cell(0, 0), "head");
}

TEST(RowNavigateKey, StepsWithinTheRangeAndEatsKeysAtItsEnds)
{
    int index = 2;
    bool down = false;
    std::uint16_t key = 40;
    RowNavigateKey(0, 3, index, key, down);
    EXPECT_EQ(index, 3);
    EXPECT_EQ(key, 40);
    EXPECT_TRUE(down);
    key = 13;
    down = false;
    RowNavigateKey(0, 3, index, key, down);
    EXPECT_EQ(index, 3) << "at Max the index stays";
    EXPECT_EQ(key, 0) << "and the key is eaten";
    EXPECT_TRUE(down);
    key = 38;
    RowNavigateKey(0, 3, index, key, down);
    EXPECT_EQ(index, 2);
    EXPECT_FALSE(down);
    index = 0;
    key = 38;
    RowNavigateKey(0, 3, index, key, down);
    EXPECT_EQ(index, 0);
    EXPECT_EQ(key, 0);
    key = 65;
    down = true;
    RowNavigateKey(0, 3, index, key, down);
    EXPECT_EQ(key, 65);
    EXPECT_EQ(index, 0);
    EXPECT_TRUE(down);
}

TEST(ReplaceCursor, OnlyTheOldCursorIsReplaced)
{
    RegisterCursor(1, QCursor(Qt::OpenHandCursor));
    QWidget owner;
    auto* hand = new QWidget(&owner);
    hand->setCursor(Qt::PointingHandCursor);
    auto* nested = new forms::TPaintBox(hand);
    SetControlCursor(nested, crHandPoint);
    auto* beam = new QWidget(&owner);
    beam->setCursor(Qt::IBeamCursor);
    auto* plain = new QWidget(&owner);
    new QObject(&owner);  // no cursor at all: passed over

    ReplaceCursor(&owner, crHandPoint, 1);
    EXPECT_EQ(ControlCursor(hand), 1);
    EXPECT_EQ(hand->cursor().shape(), Qt::OpenHandCursor);
    EXPECT_EQ(ControlCursor(nested), 1);
    EXPECT_EQ(ControlCursor(beam), crIBeam);
    EXPECT_EQ(beam->cursor().shape(), Qt::IBeamCursor);
    EXPECT_EQ(ControlCursor(plain), crDefault);
    EXPECT_FALSE(plain->testAttribute(Qt::WA_SetCursor));
}

TEST(SetChildShowHint, SwitchesDirectChildrenOnly)
{
    QWidget parent;
    auto* child = new forms::TPaintBox(&parent);
    auto* holder = new QWidget(&parent);
    auto* grandChild = new forms::TPaintBox(holder);
    SetChildShowHint(&parent, true);
    EXPECT_TRUE(child->ShowHint());
    EXPECT_FALSE(grandChild->ShowHint());
    SetChildShowHint(&parent, false);
    EXPECT_FALSE(child->ShowHint());
}

TEST(SetMemoMargins, SetsTheTextRectangle)
{
    QTextEdit memo;
    SetMemoMargins(&memo, 6, 4);
    const QTextFrameFormat f = memo.document()->rootFrame()->frameFormat();
    EXPECT_EQ(f.leftMargin(), 6);
    EXPECT_EQ(f.topMargin(), 4);
    EXPECT_EQ(f.rightMargin(), 2);
    EXPECT_EQ(f.bottomMargin(), 0);
    EXPECT_EQ(memo.document()->documentMargin(), 0);
}
