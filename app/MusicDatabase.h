// The music database of the current music folder: one row per music file found by the last
// folder scan, in scan order, with the file's tag texts, its full path and whether the
// current category shows it. There is no database file; the scan rebuilds it each time a
// folder becomes current. The lists and trees of the main window are filled from it.
//
// It keeps the shape of a string grid (rows of eight text cells, at least one row, a current
// row), so the grid routines of util/libControl work on it and callers address cells by
// column as the window's hidden grid was addressed. With no files it holds one empty row,
// which no list shows because its path names no file.
//
// A folder runs to tens of thousands of rows, each written once by the scan and read by
// every list filling: the texts lie one after another in one buffer in the order they were
// written, and a row is one small record of where its texts are. Texts read from the
// database are views into it, valid until the database is next written.
//
// UI thread only.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Columns of a row.
enum TMusicColumn : int {
    mcTitle = 0,
    mcYear = 1,
    mcGenre = 2,
    mcArtist = 3,
    mcAlbum = 4,
    mcTrack = 5,
    mcPath = 6,
    mcShown = 7,  // "1": listed under the current category; "0": not
    MusicColumnCount = 8,
};

class TMusicDatabase {
    struct TCell;
    struct TCells;

public:
    // A row's texts by column (empty outside the columns).
    class TRow {
    public:
        std::string_view operator[](int Col) const;

    private:
        friend class TMusicDatabase;
        TRow(const TMusicDatabase& Db, const TCells& Cells) : db_(&Db), cells_(&Cells) {}
        const TMusicDatabase* db_;
        const TCells* cells_;
    };

    TMusicDatabase();

    int FixedRows() const { return 0; }
    int ColCount() const { return MusicColumnCount; }
    int RowCount() const { return static_cast<int>(rows_.size()); }
    // Rows added are empty; the count never goes below one.
    void SetRowCount(int Count);
    int Row() const { return row_; }
    void SetRow(int Row);

    // Empty text for a cell outside the grid; writes outside it are dropped.
    std::string_view Cells(int Col, int Row) const;
    void SetCell(int Col, int Row, std::string_view Text);
    // An empty row outside the grid.
    TRow Rows(int Row) const;
    // Writes every cell of Row at once, in column order; nothing outside the grid. Texts may be
    // texts of the database, the row's own among them.
    void SetRowTexts(int Row, const std::array<std::string_view, MusicColumnCount>& Texts);
    // Adds a row of these texts after the last one. The row is made aside and written whole:
    // a scan's rows are written between reads of files that push the last ones written out of
    // the processor's caches, and a row read back first would wait for memory each time.
    void AppendRow(const std::array<std::string_view, MusicColumnCount>& Texts);
    // Room for Rows rows in all, kept while rows are dropped and added.
    void Reserve(int Rows);
    // Asks the processor to fetch Row's record, or (Texts) its texts, ahead of a read: rows
    // read in another order than they were written lie apart.
    void Prefetch(int Row, bool Texts) const;
    // Asks the processor to fetch the room that the next row appended will be written to:
    // a scan appends a row after each file it reads, and the reading pushes that room out of
    // the nearer caches.
    void PrefetchEnd() const;

    bool Shown(int Row) const { return Cells(mcShown, Row) == "1"; }

private:
    // A text of up to InlineSize bytes (a year, a track, the shown flag) is kept in the cell
    // itself; a longer one in the buffer, where the cell holds its offset.
    static constexpr std::uint32_t InlineSize = 4;
    struct TCell {
        std::uint32_t size = 0;
        char data[InlineSize] = {};
    };
    // A row's record takes one cache line.
    struct alignas(64) TCells {
        std::array<TCell, MusicColumnCount> cells;
    };

    std::string_view text(const TCell& Cell) const;
    void put(TCell& Cell, std::string_view Text);
    // Whether Text is a view into this database, its buffer or its rows.
    bool holds(std::string_view Text) const;
    // Writes every cell of Row from Texts, in column order.
    void putRow(TCells& Row, const std::array<std::string_view, MusicColumnCount>& Texts);
    // Drops the texts of cells written over or dropped with their rows once they are most of
    // the buffer.
    void collect();

    std::vector<TCells> rows_;
    std::string texts_;
    std::size_t unused_ = 0;  // bytes of texts_ that no cell refers to
    int row_ = 0;
};
