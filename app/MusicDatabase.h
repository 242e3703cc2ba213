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
// UI thread only.
#pragma once

#include <array>
#include <string>
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
public:
    using TRow = std::array<std::string, MusicColumnCount>;

    TMusicDatabase() : rows_(1) {}

    int FixedRows() const { return 0; }
    int ColCount() const { return MusicColumnCount; }
    int RowCount() const { return static_cast<int>(rows_.size()); }
    // Rows added are empty; the count never goes below one.
    void SetRowCount(int Count);
    int Row() const { return row_; }
    void SetRow(int Row);

    // Empty text for a cell outside the grid; writes outside it are dropped.
    const std::string& Cells(int Col, int Row) const;
    void SetCell(int Col, int Row, const std::string& Text);
    const TRow& Rows(int Row) const;
    // The cells of Row to write in place (a whole row's texts copied straight in, with no row
    // built aside first); null outside the grid.
    TRow* RowToWrite(int Row);

    bool Shown(int Row) const { return Cells(mcShown, Row) == "1"; }

private:
    std::vector<TRow> rows_;
    int row_ = 0;
};
