#include "app/MusicDatabase.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <stdexcept>

namespace {

bool inside(int col, int row, int rows)
{
    return col >= 0 && col < MusicColumnCount && row >= 0 && row < rows;
}

bool within(const char* at, const char* from, const char* to)
{
    const std::less<const char*> before;
    return !before(at, from) && before(at, to);
}

// Written over and dropped texts are dropped from the buffer once they take more than half
// of it, and are at least this many bytes: a filter's flags never come near it.
constexpr std::size_t CollectFrom = 64 * 1024;

}  // namespace

TMusicDatabase::TMusicDatabase() : rows_(1) {}

std::string_view TMusicDatabase::TRow::operator[](int Col) const
{
    return Col >= 0 && Col < MusicColumnCount ? db_->text(cells_->cells[std::size_t(Col)]) : std::string_view();
}

std::string_view TMusicDatabase::text(const TCell& Cell) const
{
    if (Cell.size <= InlineSize)
        return std::string_view(Cell.data, Cell.size);
    std::uint32_t at;
    std::memcpy(&at, Cell.data, sizeof at);
    return std::string_view(texts_.data() + at, Cell.size);  // put keeps every text inside
}

void TMusicDatabase::put(TCell& Cell, std::string_view Text)
{
    if (Cell.size > InlineSize)
        unused_ += Cell.size;
    if (Text.size() <= InlineSize) {
        // The text may be this very cell's.
        if (!Text.empty())
            std::memmove(Cell.data, Text.data(), Text.size());
        Cell.size = static_cast<std::uint32_t>(Text.size());
        return;
    }
    if (texts_.size() + Text.size() > UINT32_MAX)
        throw std::length_error("the music database's texts do not fit");
    const auto at = static_cast<std::uint32_t>(texts_.size());
    // A text read from this database is appended as a part of the buffer itself, which stays
    // valid while the buffer grows.
    if (within(Text.data(), texts_.data(), texts_.data() + texts_.size()))
        texts_.append(texts_, std::size_t(Text.data() - texts_.data()), Text.size());
    else
        texts_.append(Text);
    std::memcpy(Cell.data, &at, sizeof at);
    Cell.size = static_cast<std::uint32_t>(Text.size());
}

bool TMusicDatabase::holds(std::string_view Text) const
{
    const auto* rows = reinterpret_cast<const char*>(rows_.data());
    return within(Text.data(), texts_.data(), texts_.data() + texts_.size()) ||
           within(Text.data(), rows, rows + rows_.size() * sizeof(TCells));
}

void TMusicDatabase::putRow(TCells& Row, const std::array<std::string_view, MusicColumnCount>& Texts)
{
    // Texts of the database are copied aside first: writing the first cells may move the
    // buffer, or write over a cell, that a later text is a view of.
    if (std::any_of(Texts.begin(), Texts.end(), [this](std::string_view t) { return holds(t); })) {
        std::array<std::string, MusicColumnCount> own;
        std::array<std::string_view, MusicColumnCount> views;
        for (std::size_t c = 0; c < Texts.size(); ++c) {
            own[c] = Texts[c];
            views[c] = own[c];
        }
        putRow(Row, views);
        return;
    }
    // Room for the long texts is made, and checked, once for the whole row: a scan appends a
    // row after every file it reads.
    std::size_t bytes = 0;
    for (std::string_view text : Texts)
        bytes += text.size() > InlineSize ? text.size() : 0;
    if (texts_.size() + bytes > UINT32_MAX)
        throw std::length_error("the music database's texts do not fit");
    texts_.reserve(texts_.size() + bytes);
    for (std::size_t c = 0; c < Texts.size(); ++c)
        put(Row.cells[c], Texts[c]);
}

void TMusicDatabase::collect()
{
    if (unused_ == texts_.size()) {
        // Nothing left to keep (a folder scanned anew starts here); the room stays for it.
        texts_.clear();
        unused_ = 0;
        return;
    }
    if (unused_ < CollectFrom || 2 * unused_ < texts_.size())
        return;
    std::string kept;
    kept.reserve(texts_.size() - unused_);
    for (TCells& row : rows_)
        for (TCell& cell : row.cells)
            if (cell.size > InlineSize) {
                const std::string_view old = text(cell);
                const auto at = static_cast<std::uint32_t>(kept.size());
                kept.append(old);
                std::memcpy(cell.data, &at, sizeof at);
            }
    texts_.swap(kept);
    unused_ = 0;
}

void TMusicDatabase::SetRowCount(int Count)
{
    const std::size_t rows = static_cast<std::size_t>(std::max(Count, 1));
    if (rows < rows_.size()) {
        // The texts of the rows dropped, counted on whichever side has fewer rows.
        std::size_t dropped = 0;
        if (rows_.size() - rows <= rows) {
            for (std::size_t r = rows; r < rows_.size(); ++r)
                for (const TCell& cell : rows_[r].cells)
                    dropped += cell.size > InlineSize ? cell.size : 0;
        } else {
            std::size_t kept = 0;
            for (std::size_t r = 0; r < rows; ++r)
                for (const TCell& cell : rows_[r].cells)
                    kept += cell.size > InlineSize ? cell.size : 0;
            dropped = texts_.size() - unused_ - kept;
        }
        unused_ += dropped;
    }
    rows_.resize(rows);
    row_ = std::min(row_, RowCount() - 1);
    collect();
}

void TMusicDatabase::SetRow(int Row)
{
    if (Row >= 0 && Row < RowCount())
        row_ = Row;
}

std::string_view TMusicDatabase::Cells(int Col, int Row) const
{
    return inside(Col, Row, RowCount()) ? text(rows_[std::size_t(Row)].cells[std::size_t(Col)]) : std::string_view();
}

void TMusicDatabase::SetCell(int Col, int Row, std::string_view Text)
{
    if (!inside(Col, Row, RowCount()))
        return;
    put(rows_[std::size_t(Row)].cells[std::size_t(Col)], Text);
    collect();
}

TMusicDatabase::TRow TMusicDatabase::Rows(int Row) const
{
    static const TCells empty;
    return TRow(*this, Row >= 0 && Row < RowCount() ? rows_[std::size_t(Row)] : empty);
}

void TMusicDatabase::SetRowTexts(int Row, const std::array<std::string_view, MusicColumnCount>& Texts)
{
    if (Row < 0 || Row >= RowCount())
        return;
    putRow(rows_[std::size_t(Row)], Texts);
    collect();
}

void TMusicDatabase::AppendRow(const std::array<std::string_view, MusicColumnCount>& Texts)
{
    TCells row;
    putRow(row, Texts);
    rows_.push_back(row);
}

void TMusicDatabase::Reserve(int Rows)
{
    rows_.reserve(static_cast<std::size_t>(std::max(Rows, 1)));
}

void TMusicDatabase::Prefetch(int Row, bool Texts) const
{
    if (Row < 0 || Row >= RowCount())
        return;
    const TCells& row = rows_[std::size_t(Row)];
    if (!Texts) {
        __builtin_prefetch(&row);
        return;
    }
    for (const TCell& cell : row.cells)
        if (cell.size > InlineSize)
            __builtin_prefetch(text(cell).data());
}

void TMusicDatabase::PrefetchEnd() const
{
    if (rows_.size() < rows_.capacity())
        __builtin_prefetch(rows_.data() + rows_.size(), 1);
    // A row's texts take a few lines of the buffer; fetched only where the buffer has room.
    const char* end = texts_.data() + texts_.size();
    const std::size_t room = texts_.capacity() - texts_.size();
    for (std::size_t at = 0; at < 256 && at < room; at += 64)
        __builtin_prefetch(end + at, 1);
}
