// `TfrmDetails`, the details view ("Details Infomation"): shows, read-only, the tag and the
// audio information of one music file with the tag's photo, comment and lyrics. The caller
// puts the file's full path into `lblFile`, runs it modally and frees it. It writes nothing.
// The title shows as stored, even when empty; the photo only when the tag names a bare file
// of the current music folder. UI thread only.
#pragma once

#include "platform/forms/Form.h"

#include <array>

class QKeyEvent;
class QLabel;
class QPlainTextEdit;
class QWidget;
class TTagDialogHost;

namespace controls {
class TRbButton;
}
namespace forms {
class TImage;
}

class TfrmDetails : public forms::TForm {
public:
    explicit TfrmDetails(TTagDialogHost& Host, QWidget* Parent = nullptr);
    ~TfrmDetails() override;

    QLabel* lblFile;  // the file's full path (hidden), set through SetFileLabel
    QLabel* lblInfo;  // "( " + tag kind + " )"
    QLabel* lblName;
    QLabel *lblYear, *lblGenre, *lblAlbum, *lblArtist, *lblTitle, *lblTrack;
    QWidget* pnlPhoto;
    forms::TImage* imgPhoto;
    QPlainTextEdit* edtComment;
    QPlainTextEdit* edtLyrics;
    QWidget* pnlInfo;
    // lblOriginal .. lblMode in the order of AudioInfoLabels.
    std::array<QLabel*, 18> lblInfos{};
    controls::TRbButton* spdCan;

    void FormCreate(QObject* Sender);
    void FormShow(QObject* Sender);
    void FormCloseQuery(QObject* Sender, bool& CanClose);
    void FormKeyDown(QObject* Sender, int& Key, forms::TShiftState Shift);
    void spdCanClick(QObject* Sender);

protected:
    bool PreviewEvent(QObject* Watched, QEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;

private:
    void createControls();

    TTagDialogHost& host_;
};
