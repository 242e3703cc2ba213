// `TfrmMP3`, the CD ripper window (shown modally by the CD player window): saves the chosen
// tracks of the disc in the drive as MP3 or WAV files named after their titles, tags each
// file with the disc's texts and its CDDB query path, and converts a chosen WAV file to MP3.
// The track list and the disc texts come from the CD player window (`frmCD`), which must
// exist while this window does; the ripper reads the same drive as its player.
//
// A rip or a conversion serves the event loop while it runs: STOP is the one control that
// stays live, and a close is refused until it has ended. A track cut short by STOP is
// deleted, never kept as if whole. So is a track the drive could not read whole (no file, or
// fewer sectors than the track holds): it is named as a read failure, stays selected, and the
// batch goes on; the end message counts the tracks written.
//
// User-interface thread only.
#pragma once

#include "cd/CDRIP.h"
#include "cd/LameCoder.h"
#include "controls/flat/TFlatCheckBoxUnit.h"
#include "controls/flat/TFlatComboBoxUnit.h"
#include "controls/gradient/RbButton.h"
#include "controls/gradient/RbProgressBar.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/Form.h"
#include "util/DirDialog.h"
#include "util/xMessageBox.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class QTreeWidget;

// The name a title gives a file: the characters that FAT and NTFS media cannot hold in a
// name (\ / : * ? " < > |) become their full-width forms and control characters are dropped.
std::string FileNameOfTitle(const std::string& Title);

// A track the rip could not read whole, in the window's words.
std::string ReadFailureText(int Track, const std::string& Title);
// The message at the end of a rip: the tracks written of those chosen, then the read failures.
std::string RipEndText(int Written, int Chosen, const std::vector<std::string>& Failures);

// The width of the list's title column: the list's inside less the other three columns and,
// when the list scrolls, the scroll bar.
int TitleWidth(const QTreeWidget& List, bool Scrolls);

class TfrmMP3 : public forms::TForm {
public:
    explicit TfrmMP3(QWidget* parent = nullptr);
    ~TfrmMP3() override;

    // The questions and the file dialogs; tests answer through here.
    TMsgBoxFn MsgBoxEx;
    std::function<bool(forms::TFileDialog& Dialog)> ExecuteDialog;

    QTreeWidget* lstTrack;
    controls::TRbProgressBar* Gauge1;  // per-track percent
    controls::TRbProgressBar* Gauge2;  // tracks done
    QLabel* lblTrack;
    QLabel* lblFolder;
    controls::TRbButton *sbPlay, *sbStop, *spdDir, *spdCnv, *spdClose;
    controls::TFlatCheckBox *chkMP3, *chkWAV;
    controls::TFlatComboBox* cmbBitrate;
    QMenu* PopupMenu1;
    QAction* run_SelAll;
    std::unique_ptr<cd::TLameCoder> LameCoder1;
    std::unique_ptr<cd::TCDRIP> CDRIP1;  // null when the drive could not be opened
    forms::TOpenDialog OpenDialog1;
    forms::TSaveDialog SaveDialog1;
    TDirDialog* DirDialog1;

    // The save folder as chosen (the label shows it shortened).
    const std::string& Folder() const { return folder_; }
    bool Ripping() const { return ripping_; }
    bool Converting() const { return converting_; }

    // Handlers.
    void spdCloseClick() { close(); }
    void chkMP3Click();
    void chkWAVClick();
    void run_SelAllClick();
    void sbPlayClick();
    void sbStopClick();
    void spdDirClick();
    void spdCnvClick(QObject* Sender);
    void FillTrackList();
    void SetRipControls(bool Enabled, bool StopEnabled);
    // When FileName exists, the first free "name(n).ext" for n = 2, 3, ...; OtherName is the
    // chosen name with the rip's side extension (".wav" for WAV, ".pcm" for MP3).
    void UniqueFileName(std::string& FileName, std::string& OtherName) const;
    void ShowFolder(const std::string& Path);
    // The coder settings of a bit-rate index of cmbBitrate.
    void ApplyBitrate(int Index);

protected:
    void showEvent(QShowEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void createControls();
    void FormCreate();
    void FormShow();
    void FormCloseQuery(bool& CanClose);
    void CDRIP1BeginTrack();
    void CDRIP1EndTrack();
    void setProgress(int Percent);
    void busyCursor(bool On);
    int ask(const std::string& Caption, const std::string& Text, int Default, const std::string& Buttons,
            const std::string& Icon);
    // The rip loop once the user has agreed.
    void ripSelected();
    // Whether the rip of Track left File with every sector of the track.
    bool rippedWhole(int Track, const std::string& File) const;

    std::string folder_;
    bool ripping_ = false;
    bool converting_ = false;
    bool cursorSet_ = false;
};
