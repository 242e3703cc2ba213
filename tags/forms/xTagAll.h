// `TfrmTagAll`, the bulk tag change ("タグの一括変更"): sets one field of the tag (year, genre,
// artist or album) to the same value in every file selected in the main window's music list.
// The field is the one the category tree's classification names ("Year", "Genre", "Artist",
// "Album"); with any other classification, or without a selected row, nothing is editable and
// nothing is saved. The caller creates it, runs it modally and frees it.
//
// Saving goes file by file through the tag facade and lets events run between files; the
// dialog refuses a second save and its own closing meanwhile. The files are flushed to disk
// once, at the end; a list row changes only when its file was written and flushed and the row
// of its remembered index still stands for that file; files that could not be saved are named
// in one message at the end. The
// engine's file among the selection is closed for its write and gets back its state (playing,
// paused or stopped, at its place) afterwards, also when a write failed. The directory monitor
// is off while the files are written.
//
// Everything of the main window goes through the host (tags/TagDialogHost.h). UI thread only.
#pragma once

#include "platform/forms/Form.h"

#include <string>
#include <utility>
#include <vector>

class QGroupBox;
class QLabel;
class QLineEdit;
class QWidget;
class TTagDialogHost;

namespace controls {
class TComboBox;
class TRbButton;
}  // namespace controls

class TfrmTagAll : public forms::TForm {
public:
    explicit TfrmTagAll(TTagDialogHost& Host, QWidget* Parent = nullptr);
    ~TfrmTagAll() override;

    QLabel* lblClass;
    QGroupBox* GroupBox1;
    QLabel *lbl01, *lbl02, *lbl03, *lbl04, *lbl12;  // year, genre, artist, album, history
    QLineEdit* Edit1;  // year
    QLineEdit* Edit2;  // genre
    QLineEdit* Edit3;  // artist
    QLineEdit* Edit4;  // album
    controls::TComboBox* cmbCategry;  // the standard genres
    controls::TComboBox* cmbGenre;    // the genre history
    controls::TRbButton* spdOk;
    controls::TRbButton* spdCan;

    void FormCreate(QObject* Sender);
    void FormShow(QObject* Sender);
    void FormCloseQuery(QObject* Sender, bool& CanClose);
    void FormDestroy(QObject* Sender);
    void Edit1Enter(QObject* Sender);
    void Edit2Exit(QObject* Sender);
    void Edit1KeyDown(QObject* Sender, int& Key, forms::TShiftState Shift);
    void cmbCategryEnter(QObject* Sender);
    void cmbCategryChange(QObject* Sender);
    void cmbCategryCloseUp(QObject* Sender);
    void cmbGenreKeyDown(QObject* Sender, int& Key, forms::TShiftState Shift);
    void cmbGenreChange(QObject* Sender);
    void spdOkClick(QObject* Sender);
    void spdCanClick(QObject* Sender);

    bool IsTagAllModified() const;
    void SaveTagAll();
    void SyncGenreHistory();

    // The classification shown and the selected rows taken at showing (index, full path).
    const std::string& Classification() const { return classification_; }
    const std::vector<std::pair<int, std::string>>& Rows() const { return rows_; }

protected:
    bool PreviewEvent(QObject* Watched, QEvent* Event) override;

private:
    void createControls();
    bool isField(const QObject* Object) const;
    // Writes every row's file with the engine's file closed and the monitor off; the names
    // of the files that were not saved, each after a "\r".
    std::string writeAll();
    // Writes one file; true when the tag was saved.
    bool writeOne(const std::string& Path);
    void setRowTexts(int Index, const std::string& Path);

    TTagDialogHost& host_;
    std::string classification_;
    std::vector<std::pair<int, std::string>> rows_;
    std::string shownYear_, shownGenre_, shownArtist_, shownAlbum_;
    bool saving_ = false;
};
