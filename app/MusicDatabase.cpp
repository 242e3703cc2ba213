#include "app/MusicDatabase.h"

#include <algorithm>

namespace {

bool inside(int col, int row, int rows)
{
    return col >= 0 && col < MusicColumnCount && row >= 0 && row < rows;
}

}  // namespace

void TMusicDatabase::SetRowCount(int Count)
{
    rows_.resize(static_cast<std::size_t>(std::max(Count, 1)));
    row_ = std::min(row_, RowCount() - 1);
}

void TMusicDatabase::SetRow(int Row)
{
    if (Row >= 0 && Row < RowCount())
        row_ = Row;
}

const std::string& TMusicDatabase::Cells(int Col, int Row) const
{
    static const std::string empty;
    return inside(Col, Row, RowCount()) ? rows_[static_cast<std::size_t>(Row)][static_cast<std::size_t>(Col)]
                                        : empty;
}

void TMusicDatabase::SetCell(int Col, int Row, const std::string& Text)
{
    if (inside(Col, Row, RowCount()))
        rows_[static_cast<std::size_t>(Row)][static_cast<std::size_t>(Col)] = Text;
}

const TMusicDatabase::TRow& TMusicDatabase::Rows(int Row) const
{
    static const TRow empty;
    return Row >= 0 && Row < RowCount() ? rows_[static_cast<std::size_t>(Row)] : empty;
}

TMusicDatabase::TRow* TMusicDatabase::RowToWrite(int Row)
{
    return Row >= 0 && Row < RowCount() ? &rows_[static_cast<std::size_t>(Row)] : nullptr;
}
