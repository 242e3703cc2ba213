// `TfrmTAG`, the tag editor ("ID3v2 Tagger"): edits year, genre, artist, album, title,
// comment, lyrics and photo of one music file and shows its audio information. The caller
// puts the file's path into `lblFile` and the list it came from into `lblFileTag` (1 the
// music list, 2 the playlist, other values no list), runs it modally and frees it; `Tag` is 1
// afterwards when the tag was saved.
//
// The dialog reads the tag once when shown and keeps its own copy of every field, so a read
// by anyone else while it is open (the engine opening the next song) never leaks into the
// file it writes. A photo is a bare file name in the tag; the picture itself lies in the
// current music folder, read-only, under a name of the form date + time + 8 digits + ".jpg".
// Only names of that form are ever deleted, and a save adds the new photo first, then writes
// the tag, and deletes the old photo only when the tag was written.
//
// Saving the file the engine has open closes it first and gives the engine back its state
// (playing, paused or stopped, at the same place) afterwards, also when the save failed. The
// directory monitor is off while the tag is written.
//
// Everything else goes through the host (tags/TagDialogHost.h). UI thread only.
#pragma once

#include "platform/forms/Form.h"
#include "platform/gfx/Bitmap.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QAction;
class QPlainTextEdit;
class QWidget;
class TTagDialogHost;

namespace controls {
class TComboBox;
class TRbButton;
}  // namespace controls
namespace forms {
class TImage;
}

class TfrmTAG : public forms::TForm {
public:
    explicit TfrmTAG(TTagDialogHost& Host, QWidget* Parent = nullptr);
    ~TfrmTAG() override;

    intptr_t Tag = 0;
    QLabel* lblFile;          // the file's full path (hidden)
    intptr_t lblFileTag = 0;  // 1 music list, 2 playlist

    QGroupBox* GroupBox1;
    QLineEdit* Edit1;  // year
    QLineEdit* Edit2;  // genre
    QLineEdit* Edit3;  // artist
    QLineEdit* Edit4;  // album
    QLineEdit* Edit5;  // title
    QLineEdit* Edit6;  // track (read-only)
    QPlainTextEdit* Edit7;  // comment
    QPlainTextEdit* Edit8;  // lyrics
    controls::TComboBox* cmbCategry;  // the standard genres
    controls::TComboBox* cmbGenre;    // the genre history
    QWidget* pnlPhoto;
    forms::TImage* imgPhoto;
    QMenu* PopupMenu1;
    QAction* do_DelPhoto;
    controls::TRbButton* btnPhoto;
    controls::TRbButton* spdOk;
    controls::TRbButton* spdCan;
    QLabel* lblName;
    // lblOriginal .. lblMode in the order of AudioInfoLabels.
    std::array<QLabel*, 18> lblInfo{};

    // The picture-open dialog: the chosen file or "" (tests answer through here).
    std::function<std::string(const std::string& InitialDir)> OpenPictureDialog1;

    void FormCreate(QObject* Sender);
    void FormShow(QObject* Sender);
    void FormCloseQuery(QObject* Sender, bool& CanClose);
    void FormKeyDown(QObject* Sender, int& Key, forms::TShiftState Shift);
    void spdOkClick(QObject* Sender);
    void spdCanClick(QObject* Sender);
    void spdOkMouseDown(QObject* Sender);
    void Edit1KeyDown(QObject* Sender, int& Key, forms::TShiftState Shift);
    void Edit1Enter(QObject* Sender);
    void Edit1Exit(QObject* Sender);
    void cmbGenreKeyDown(QObject* Sender, int& Key, forms::TShiftState Shift);
    void cmbGenreChange(QObject* Sender);
    void cmbCategryChange(QObject* Sender);
    void cmbCategryCloseUp(QObject* Sender);
    void cmbCategryEnter(QObject* Sender);
    void cmbCategryExit(QObject* Sender);
    void btnPhotoClick(QObject* Sender);
    void imgPhotoDblClick(QObject* Sender);
    void FileDrop1FileDrop(const std::vector<std::string>& Files);
    void do_DelPhotoClick();
    void PopupMenu1Popup();

    static bool IsMp3File(const std::string& FileName);
    bool IsTagModified() const;
    // True when the tag was saved.
    bool SaveTag();
    void SyncGenreHistory();
    std::string MakeUniquePhotoName() const;
    // A file of a picture type that does not load raises, with the user's message, and
    // changes nothing; a file of another type is ignored.
    void SetPhoto(const std::string& FileName);
    void ShowPhoto(const std::string& FileName);

    // The photo name the dialog holds now ("" for none).
    const std::string& PhotoName() const { return fields_.PhotoName; }
    // Whether Name is of the form MakeUniquePhotoName gives.
    static bool IsPhotoFileName(const std::string& Name);

protected:
    bool PreviewEvent(QObject* Watched, QEvent* Event) override;

private:
    // The tag's texts; also what the boxes show.
    struct TFields {
        std::string Year, Genre, Artist, Album, Title, Track, Comment, Lyrics, CddbPath, TimeText,
            PhotoName, UserText, UserDefText, UserUrl;
        std::uint32_t Undecodable = 0;
    };
    static const std::array<std::string TFields::*, 8> BoxTexts;
    // kept_ with the boxes' texts.
    TFields shownTexts() const;
    void createControls();
    void placeControls();
    QWidget* fieldByTag(int Tag) const;
    int fieldTag(const QObject* Field) const;
    void setFieldColor(QWidget* Field, bool Focused);
    std::string fileName() const;
    std::string photoPath(const std::string& Name) const;
    bool writeTagWithPhoto();
    void tellSaveFailed();

    TTagDialogHost& host_;
    TFields fields_;   // what the dialog will write (photo name included)
    TFields kept_;     // what the tag holds: a box left as shown writes this back
    TFields shown_;    // what the boxes showed, for change detection
    std::string shownPath_;       // lblFile as shown
    std::int64_t frameCount_ = 0; // of the file being edited
    gfx::TBitmap photo_;          // the chosen photo at full size, until it is saved
    bool saving_ = false;
};
