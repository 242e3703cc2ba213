// `TfrmCDDB_INF`, the album of a music file as CDDB knows it: once shown it runs the file's
// look-up (cd/xCDDB_MP3.h, refreshing no list row), then shows the disc's artist, title,
// genre, year and id, the track list with the file's own track selected and its time, and the
// disc's total length. "閉じる" and Escape close it.
//
// User-interface thread only.
#pragma once

#include "controls/gradient/RbButton.h"
#include "controls/std/StringGrid.h"
#include "platform/forms/Form.h"

#include <string>

class QLabel;

class TfrmCDDB_INF : public forms::TForm {
public:
    explicit TfrmCDDB_INF(QWidget* parent = nullptr);
    ~TfrmCDDB_INF() override;

    QLabel *lblFile, *lblAlbum, *lblYear, *lblGenre, *lblArtist, *lblTitle, *lblTrack, *lblSerial, *lblTotal;
    controls::TStringGrid* sgdTrack;
    controls::TRbButton* spdCan;

    // Fills the labels and the grid from a look-up's result texts: the xmcd answer, the
    // category read, the file's track number and its TIME text.
    void ShowAlbum(const std::string& Answer, const std::string& Genre, const std::string& Track,
                   const std::string& Time);
    void spdCanClick() { close(); }

protected:
    void showEvent(QShowEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void lookUp();
    void drawCell(int Col, int Row, const gfx::TRect& Rect);
    bool started_ = false;
};
