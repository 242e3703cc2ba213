// `TfrmCDDB_MP3`, the CDDB look-up for a music file: the flow of the disc window
// (cd/xCDDB.h) for the disc a file was ripped from, asked by the query path its tag keeps.
// The read writes the track's title and the disc's artist, album, year and genre into the
// file's tag (nothing goes to the system CD database) and refreshes the main window's row
// that lblCDID's Tag names: 1 the music list's selected row, 2 the playlist's, 0 none (the
// caller takes the result texts instead). Pauses are short: 10 ms after an error answer and
// 50 ms before the fallback server.
//
// The query path is sent only when it is a plain path ("/" first, no space or control
// character); anything else is sent as "/", which the server answers with an error.
//
// User-interface thread only.
#pragma once

#include "cd/forms/xCDDB.h"

class TfrmCDDB_MP3 : public TfrmCDDB {
public:
    explicit TfrmCDDB_MP3(QWidget* parent = nullptr);
    ~TfrmCDDB_MP3() override { Handlers.Stop(); }  // before the strings its look-up fills go

    // Caption: the music file; Tag: the row to refresh (see above).
    QLabel* lblCDID;
    int lblCDIDTag() const;
    void SetLblCDID(const std::string& FileName, int Tag);

    // After a successful read with Tag 0: the xmcd answer, the category read, the tag's
    // track number and its TIME text.
    std::string ResultText, ResultGenre, ResultTrack, ResultTime;

    // The path the query sends for a tag's CDDB query path.
    static std::string SafeQueryPath(const std::string& Path);

protected:
    std::string queryUrl() override;
    bool storeEntry(const std::string& Text, const std::string& Category) override;
    void placeWindow() override;

private:
    std::string file() const;
};
