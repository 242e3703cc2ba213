// `TfrmCD`, the audio-CD player window (instance `frmCD`, made at start-up after the main
// window and kept until the program ends; the main window shows it modally). A dark player
// panel with the disc's labels, the position gauges and the transport over a black track
// grid; an edit panel in which the user types the disc's and the tracks' titles, which go to
// the system CD database. It owns the one CD player component `CDPlayer1`, which the CDDB and
// ripper windows use too.
//
// Handlers that wait with Delay (back, step, the gauge click) run one at a time; a close asked
// for meanwhile is carried out when the running one has finished, so nothing plays on behind
// a closed window. The CDDB, mixer and ripper windows are reached through hooks that tests
// replace.
//
// User-interface thread only.
#pragma once

#include "cd/MCDPlayer.h"
#include "controls/flat/TFlatCheckBoxUnit.h"
#include "controls/flat/TFlatComboBoxUnit.h"
#include "controls/flat/TFlatEditUnit.h"
#include "controls/gradient/RbButton.h"
#include "controls/gradient/RbProgressBar.h"
#include "controls/std/StringGrid.h"
#include "platform/forms/Form.h"
#include "platform/forms/Timer.h"
#include "platform/sound/Clock.h"
#include "util/xMessageBox.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QSlider;

namespace snd {
class SoundDevice;
}

class TfrmCD : public forms::TForm {
public:
    // The disc plays through Sound; Ticks clocks the player (a manual clock in tests).
    explicit TfrmCD(QWidget* parent = nullptr, std::shared_ptr<snd::SoundDevice> Sound = nullptr,
                    snd::TickSource& Ticks = snd::systemTicks());
    ~TfrmCD() override;

    std::unique_ptr<TCDPlayer> CDPlayer1;

    // Fills the labels and the track grid from CDPlayer1; with AskCddb, an unknown disc opens
    // the CDDB window (once the current event is over).
    void RefreshDisc(bool AskCddb);
    // With a Sender, asks first; without, opens the CDDB window at once.
    void spdCDDBClick(QObject* Sender);

    // The windows of other units (empty: the button does nothing; the ripper, which lives
    // here, is shown modally when its hook is empty). The CDDB window is cd/xCDDB's, the
    // volume control cd/xVolume's `frmVolume`.
    std::function<void()> OpenCddbWindow;
    std::function<void()> OpenVolumeWindow;
    std::function<void()> OpenRipperWindow;
    // The questions; tests answer through here.
    TMsgBoxFn MsgBoxEx;

    // Window state.
    bool DiscPresent = false;
    int PlayState = 0;  // 0 stopped, 1 playing, 2 paused
    bool FirstShow = true;
    bool Removed = false;
    std::string TotalText = "00:00";
    bool EditMode() const { return editing_; }

    // Handlers.
    void CDPlayer1AfterInsert();
    void CDPlayer1AfterRemove();
    void Timer1Timer();
    void DisplayUpdate();
    void lblGaugeMouseDown(int X);
    void sbPrevClick();
    void sbNextClick();
    void TracBarChange();
    void sbBackClick();
    void sbStepClick();
    void sbPauseClick();
    void sbPlayClick();
    void sbStopClick();
    void sbEjectClick();
    void sgdTrackKeyDown(int& Key);
    void sgdTrackDblClick();
    void spdVolumeClick();
    void spdMP3Click();
    void PopupMenu1Popup();
    void set_CDInfoClick();
    void spdOkClick(QObject* Sender);
    void FormKeyDown(int& Key);
    void spdCloseClick() { close(); }

    // --- player panel
    QFrame* pnlPlayer;
    QLabel *lblArtist, *lblAlbum, *lbGenre, *lblSerial, *lblTrack, *lblTime, *lblTotal;
    // One line over the empty track list when a disc image cannot be played: which file of it
    // is missing, cut short or of a kind we cannot read.
    QLabel* lblStatus;
    controls::TRbProgressBar* Gauge1;
    controls::TRbProgressBar* Gauge2;
    QSlider* TracBar;
    forms::TPaintBox* lblGauge;
    controls::TRbButton *sbBack, *sbPrev, *sbPlay, *sbStop, *sbPause, *sbStep, *sbNext, *sbEject, *spdVolume,
        *spdMP3, *spdCDDB, *spdClose;
    controls::TFlatCheckBox* chkRepeart;
    controls::TStringGrid* sgdTrack;
    forms::TTimer Timer1;
    QMenu* PopupMenu1;
    QAction* set_CDInfo;

    // --- edit panel
    QFrame* pnlInfo;
    controls::TFlatEdit *edtInp1, *edtInp2, *edtInp3, *edtInp4;
    controls::TFlatComboBox* cmbCategry;
    controls::TStringGrid* sgdTitle;
    QFrame* pnlTitle;
    controls::TFlatEdit* edtTitle;
    controls::TRbButton *spdOk, *spdCan;

    // Grid colours (0x00BBGGRR) by column: number, title, length, start.
    static constexpr gfx::TColor ColumnColors[4] = {0xFFFF00, 0xE8E8E8, 0xF578EC, 0x00FF00};
    static constexpr gfx::TColor OutlineColor = 0x808080;

protected:
    void showEvent(QShowEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    // The grids' row height and the rows each shows before its scroll bar appears, and the
    // eject button's hint while the door is shut: for the controls' set-up (xCDControls.cpp)
    // and the window's work alike.
    static constexpr int GridRowHeight = 15;
    static constexpr int TrackGridRowsShown = 18;
    static constexpr int TitleGridRowsShown = 16;
    static constexpr const char* HintDoorOpen = "ＣＤドアオープン";

    void createControls();
    void createEditPanel();
    void FormCreate();
    void FormShow();
    void FormCloseQuery(bool& CanClose);
    void FormDestroy();
    void enableTransport(bool On);
    void showImageStatus();
    void showNoDisc();
    bool canTransport() const;
    bool playing();
    void seekBy(int DeltaMs);
    void stepTrack(void (TCDPlayer::*Step)());
    void seekTo(int Ms);
    void drawCell(controls::TStringGrid* Grid, int Col, int Row, const gfx::TRect& Rect, bool Selected);
    void askCddbLater();
    // Edit mode.
    void edtInpExit(controls::TFlatEdit* Edit);
    bool edtInpKeyDown(QObject* Sender, int Key);
    bool edtInp1KeyPress(QObject* Sender, const QString& Text);
    void focusTag(int Tag);
    void cmbCategryEnter();
    void cmbCategryChange();
    void sgdTitleEnter();
    void sgdTitleMouseDown(int X, int Y);
    void edtTitleExit();
    bool edtTitleKeyDown(int Key);
    void placeTitleEditor(int Row);
    void storeTitle();
    void leaveEditMode();
    bool edited();
    void finishBusy();

    struct TShownInfo {
        std::string Date, Title, Artist, Genre;
    } shown_;  // what edit mode started from
    bool editing_ = false;
    int titleRow_ = 0;  // the title grid's row the editor stands on
    bool busy_ = false;
    bool closePending_ = false;
    bool destroying_ = false;
};

// The CD player window (null before start-up has made it and after it is gone).
extern TfrmCD* frmCD;
