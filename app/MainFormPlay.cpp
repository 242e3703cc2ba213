// The main window's player: how a double click, Enter, a popup command or a transport button
// becomes a call on the playback engine; list play and shuffle of the playlist; seeking with
// the position gauge and stepping with rewind and fast forward; the frequency slider, its
// Ctrl+Left/Right steps and the effect check boxes; and the display, blink and step timers.
//
// The engine owns the play state and writes it back into the window (timers, labels, gauge);
// these handlers only ask it. A row of either list keeps the file's full path in its last
// sub-item and the title in the second.
//
// Handlers that let events run (a stop waits for the panes to clear) mark the window busy,
// so that a close asked for meanwhile waits until they are done.
//
// UI thread only.
#include "app/MainForm.h"
#include "app/MainFormSupport.h"
#include "cd/forms/xCD.h"
#include "cd/forms/xVolume.h"
#include "cd/forms/xWAVE.h"

#include <algorithm>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include "platform/rtl/Numerics.h"
#include "util/libWindows.h"

namespace {

constexpr int TitleColumn = 2;   // sub-item 1: the title
constexpr int FrequencyStep = 200;   // Hz per Ctrl+Left/Right
constexpr int GaugeStep = 10;        // gauge pixels per rewind / fast-forward tick

// The window's key preview and the double click of the frequency label: key presses of any
// widget of the window reach FormKeyDown before the focused widget sees them.
class PlayEventFilter : public QObject {
public:
    explicit PlayEventFilter(TfrmMain* Window) : QObject(Window), window_(Window) {}

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (e->type() == QEvent::MouseButtonDblClick && watched == window_->lblScale) {
            forms::RunGuarded([this] { window_->lblScaleDblClick(); });
            return true;
        }
        if (e->type() != QEvent::KeyPress || !isFirstReceiver(watched))
            return false;
        auto* key = static_cast<QKeyEvent*>(e);
        int vk = forms::VirtualKey(key->key());
        forms::TShiftState shift = 0;
        if (key->modifiers() & Qt::ShiftModifier)
            shift |= forms::ssShift;
        if (key->modifiers() & Qt::ControlModifier)
            shift |= forms::ssCtrl;
        if (key->modifiers() & Qt::AltModifier)
            shift |= forms::ssAlt;
        const int pressed = vk;
        forms::RunGuarded([&] { window_->FormKeyDown(vk, shift); });
        if (pressed != 0 && vk == 0)
            return true;   // the preview consumed it
        if (vk == forms::VK_RETURN && shift == 0)
            return playFromList(watched);
        return false;
    }

private:
    // A key travels from the focused widget up to its parents; it is previewed once, when
    // it reaches the focused widget of this window.
    bool isFirstReceiver(QObject* watched) const
    {
        auto* w = qobject_cast<QWidget*>(watched);
        return w && w == QApplication::focusWidget() && w->window() == window_;
    }
    bool playFromList(QObject* watched)
    {
        if (watched == window_->lstFile)
            forms::RunGuarded([this] { window_->lstFileDblClick(); });
        else if (watched == window_->lstMP3)
            forms::RunGuarded([this] { window_->lstMP3DblClick(); });
        else
            return false;
        return true;
    }
    TfrmMain* window_;
};

}  // namespace

void TfrmMain::HookPlayHandlers()
{
    auto guarded = [this](void (TfrmMain::*handler)()) {
        return [this, handler] { forms::RunGuarded([this, handler] { (this->*handler)(); }); };
    };
    Handlers.Connect(lstFile, &QTreeWidget::itemDoubleClicked, this, guarded(&TfrmMain::lstFileDblClick));
    Handlers.Connect(lstMP3, &QTreeWidget::itemDoubleClicked, this, guarded(&TfrmMain::lstMP3DblClick));
    Handlers.Connect(lstFile, &QTreeWidget::itemSelectionChanged, this, guarded(&TfrmMain::lstFileChange));
    Handlers.Connect(lstMP3, &QTreeWidget::itemSelectionChanged, this, guarded(&TfrmMain::lstMP3Change));
    Handlers.Connect(do_Play2, &QAction::triggered, this, guarded(&TfrmMain::lstFileDblClick));
    Handlers.Connect(do_Play1, &QAction::triggered, this, guarded(&TfrmMain::lstMP3DblClick));
    Handlers.Connect(do_ListPlay, &QAction::triggered, this, guarded(&TfrmMain::spdPlayListClick));
    Handlers.Connect(do_Shuffle, &QAction::triggered, this, guarded(&TfrmMain::do_ShuffleClick));
    Handlers.Connect(do_AutoShuffle1, &QAction::triggered, this, guarded(&TfrmMain::do_AutoShuffle1Click));
    Handlers.Connect(do_AutoShuffle2, &QAction::triggered, this, guarded(&TfrmMain::do_AutoShuffle1Click));
    // do_SameMusic is a checkable action: the menu toggles its check mark itself.

    Handlers.Connect(do_CdPlayer, &QAction::triggered, this, guarded(&TfrmMain::spdCdClick));
    Handlers.Set(spdCd->OnClick, [this](QObject*) { spdCdClick(); });
    Handlers.Connect(do_Volume, &QAction::triggered, this, guarded(&TfrmMain::spdVolumeClick));
    Handlers.Set(spdVolume->OnClick, [this](QObject*) { spdVolumeClick(); });
    Handlers.Connect(do_Recoder, &QAction::triggered, this, guarded(&TfrmMain::spdVoiceClick));
    Handlers.Set(spdVoice->OnClick, [this](QObject*) { spdVoiceClick(); });
    Handlers.Set(spdPlayList->OnClick, [this](QObject*) { spdPlayListClick(); });
    Handlers.Set(sbPlay->OnClick, [this](QObject*) { sbPlayClick(); });
    Handlers.Set(sbStop->OnClick, [this](QObject*) { sbStopClick(); });
    Handlers.Set(sbPause->OnClick, [this](QObject*) { sbPauseClick(); });
    for (controls::TRbButton* b : {sbBack, sbStep}) {
        Handlers.Set(b->OnMouseDown, [this](QObject* s, forms::TMouseButton, forms::TShiftState, int, int) { sbBackMouseDown(s); });
        Handlers.Set(b->OnMouseUp, [this](QObject* s, forms::TMouseButton, forms::TShiftState, int, int) { sbBackMouseUp(s); });
    }
    // The conversion gauge shares the seek, measured on the position gauge.
    for (forms::TCustomControl* gauge : std::initializer_list<forms::TCustomControl*>{Gauge1, GaugeMP3})
        Handlers.Set(gauge->OnMouseDown, [this](QObject*, forms::TMouseButton b, forms::TShiftState s, int x, int y) {
            Gauge1MouseDown(b, s, x, y);
        });
    Handlers.Set(Gauge1->OnMouseMove, [this](QObject*, forms::TShiftState s, int x, int y) { Gauge1MouseMove(s, x, y); });
    Gauge1->SetShowHint(true);
    Handlers.Set(trackFrequency->OnChange, [this](QObject*) { trackFrequencyChange(); });
    Handlers.Set(trackFrequency->OnDblClick, [this](QObject*) { lblScaleDblClick(); });
    Handlers.Set(chkEcho->OnClick, [this](QObject*) { chkEchoClick(); });
    Handlers.Set(chkReverb->OnClick, [this](QObject*) { chkReverbClick(); });
    Handlers.Set(ckkChorus->OnClick, [this](QObject*) { ckkChorusClick(); });
    Handlers.Set(chkFlanger->OnClick, [this](QObject*) { chkFlangerClick(); });
    for (controls::TFlatCheckBox* c : {chkEcho, chkReverb, ckkChorus, chkFlanger})
        Handlers.Set(c->OnKeyDown, [this](QObject*, int&, forms::TShiftState) { chkEchoKeyDown(); });

    timDxTimer.SetOnTimer([this] { timDxTimerTimer(); });
    timPlay.SetOnTimer([this] { timPlayTimer(); });
    timList.SetOnTimer([this] { timListTimer(); });
    timRF.SetOnTimer([this] { timRFTimer(); });
    timFF.SetOnTimer([this] { timFFTimer(); });
    Handlers.Set(pbxLeft->OnPaint, [this](QObject*) { pbxLeftPaint(); });
    Handlers.Set(pbxRight->OnPaint, [this](QObject*) { pbxRightPaint(); });

    auto* filter = new PlayEventFilter(this);
    qApp->installEventFilter(filter);
    lblScale->installEventFilter(filter);
}

// ---------------------------------------------------------------- from the lists to the engine

void TfrmMain::lstFileDblClick() { PlaySelected(lstFile); }
void TfrmMain::lstMP3DblClick() { PlaySelected(lstMP3); }

void TfrmMain::PlaySelected(TSortListView* List)
{
    const int index = FirstSelectedIndex(List);
    if (index < 0 || !DxSound)
        return;
    TReentryGuard guard(busy_);
    if (!guard)
        return;
    const std::string path = RowPath(List->topLevelItem(index));
    ShowTrackTitle(List, index);
    if (IsRegularFile(path)) {
        if (!DxSound->ListPlay()) {
            if (DxSound->IsPlaying()) {
                DxSound->Stop();
                Delay(100);
            }
        } else if (List == lstFile) {
            DxSound->SetListPosition(index);   // list play goes on from this row
        } else {
            DxSound->CloseFile();   // a music-list file plays alone
        }
        if (DxSound) {
            OpenAndPlay(path);
            lstMP3->setProperty("Tag", List == lstMP3 ? 1 : 0);
        }
    }
    FinishBusyStep();
}

void TfrmMain::OpenAndPlay(const std::string& Path)
{
    if (!IsRegularFile(Path))
        return;
    DxSound->SetGraphHeight(dxdLeft->height());
    DxSound->SetGraphWidth(dxdLeft->width());
    DxSound->PlayFile(Path);
    DxSound->ResetDisplay();
    sbPlayClick();
}

void TfrmMain::ShowTrackTitle(TSortListView* ListView, int Index)
{
    const bool exists = Index >= 0 && Index < ListView->topLevelItemCount();
    lblMusic->setText(exists ? ListView->topLevelItem(Index)->text(TitleColumn) : QString());
    timDxTimer.SetInterval(60);
}

void TfrmMain::FocusActiveList()
{
    if (DxSound && DxSound->ListPlay())
        lstFile->setFocus();
    else if (lstMP3->property("Tag").toInt() == 1)
        lstMP3->setFocus();
    else
        lstFile->setFocus();
}

// A single click while nothing plays proposes the row to the play button.
void TfrmMain::lstFileChange()
{
    const int index = FirstSelectedIndex(lstFile);
    if (index < 0 || !DxSound || DxSound->IsPlaying() || PendingFileOpened)
        return;
    DxSound->SetGraphWidth(dxdLeft->width());
    DxSound->SetGraphHeight(dxdLeft->height());
    ShowTrackTitle(lstFile, index);
    PendingFile = RowPath(lstFile->topLevelItem(index));
    lstMP3->setProperty("Tag", 0);
}

void TfrmMain::lstMP3Change()
{
    const int index = FirstSelectedIndex(lstMP3);
    if (index < 0 || !DxSound || DxSound->IsPlaying() || PendingFileOpened)
        return;
    DxSound->SetGraphWidth(dxdLeft->width());
    DxSound->SetGraphHeight(dxdLeft->height());
    ShowTrackTitle(lstMP3, index);
    PendingFile = RowPath(lstMP3->topLevelItem(index));
    lstMP3->setProperty("Tag", 1);
}

void TfrmMain::spdPlayListClick()
{
    if (!spdPlayList->isEnabled() || !DxSound || lstFile->topLevelItemCount() == 0)
        return;
    lstFile->setFocus();
    lstFile->clearSelection();
    QTreeWidgetItem* first = lstFile->topLevelItem(0);
    lstFile->setCurrentItem(first, 0, QItemSelectionModel::NoUpdate);
    first->setSelected(true);
    lstFile->scrollToItem(first);
    rtl::TStringList paths;
    for (int i = 0; i < lstFile->topLevelItemCount(); ++i)
        paths.Add(RowPath(lstFile->topLevelItem(i)));
    DxSound->SetGraphHeight(dxdLeft->height());
    DxSound->SetGraphWidth(dxdLeft->width());
    ShowTrackTitle(lstFile, 0);
    DxSound->PlayList(paths);
    PendingFileOpened = true;
    DxSound->UpdateLyricsAndMeter(true);
}

// ---------------------------------------------------------------- transport

void TfrmMain::sbPlayClick()
{
    if (!DxSound)
        return;
    bool wasStopped = DxSound->PlayStatus() == "stop";
    if (!PendingFileOpened && !PendingFile.empty()) {
        DxSound->PlayFile(PendingFile);
        PendingFileOpened = true;
        wasStopped = false;
    }
    DxSound->Play();
    FocusActiveList();
    if (wasStopped)
        DxSound->UpdateLyricsAndMeter(true);
}

void TfrmMain::sbStopClick()
{
    // The close query stops the engine too; whoever comes first owns the busy mark.
    TReentryGuard guard(busy_);
    StopPlaying();
    if (guard)
        FinishBusyStep();
}

void TfrmMain::StopPlaying()
{
    if (!DxSound)
        return;
    if (DxSound->PlayStatus() != "stop") {
        DxSound->Stop();
        DxSound->ResetDisplay();
        trackFrequency->SetPosition(int32_t(trackFrequency->Tag));
    }
    FocusActiveList();
    DxSound->UpdateLyricsAndMeter(true);
    forms::ProcessMessages();
}

// The CD player window, with the main playback paused while it shows.
void TfrmMain::spdCdClick()
{
    FocusActiveList();
    if (!frmCD)
        return;
    if (DxSound && DxSound->PlayStatus() == "play") {
        sbPauseClick();
        frmCD->ShowModal();
        sbPlayClick();
    } else {
        frmCD->ShowModal();
    }
}

void TfrmMain::spdVolumeClick()
{
    FocusActiveList();
    if (frmVolume)
        frmVolume->ShowModal();
}

// The voice recorder, made for this showing and freed after it.
void TfrmMain::spdVoiceClick()
{
    FocusActiveList();
    auto recorder = std::make_unique<TfrmWAV>(this);
    recorder->ShowModal();
}

void TfrmMain::sbPauseClick()
{
    if (!DxSound)
        return;
    if (DxSound->PlayStatus() == "pause") {
        sbPlayClick();
        return;
    }
    DxSound->Pause();
    FocusActiveList();
    dxdLeft->setProperty("Tag", 0);
    dxdRight->setProperty("Tag", 0);
    DxSound->ResetDisplay();
}

// ---------------------------------------------------------------- seeking and stepping

// Positions outside the gauge (a drag past its ends) count as its ends.
void TfrmMain::Gauge1MouseDown(forms::TMouseButton, forms::TShiftState Shift, int X, int)
{
    if (!DxSound || !DxSound->IsPlaying() || Shift != forms::ssLeft)
        return;
    const int width = Gauge1->width();
    DxSound->Seek(std::clamp(X, 0, width), width);
}

void TfrmMain::Gauge1MouseMove(forms::TShiftState Shift, int X, int)
{
    const int width = Gauge1->width();
    const int x = std::clamp(X, 0, width);
    if (DxSound && DxSound->IsPlaying() && (Shift & forms::ssLeft))
        DxSound->Seek(x, width);
    if (width > 0)
        Gauge1->SetHint(std::to_string(x * 100 / width) + "%");
}

void TfrmMain::sbBackMouseDown(QObject* Sender)
{
    const auto* button = dynamic_cast<forms::TCustomControl*>(Sender);
    if (!button)
        return;
    if (button->Tag == 1) {
        timRF.SetEnabled(true);
        lblPlay->setText(QStringLiteral("[ Rewind ]"));
    } else if (button->Tag == 2) {
        timFF.SetEnabled(true);
        lblPlay->setText(QStringLiteral("[ Forward ]"));
    }
}

void TfrmMain::sbBackMouseUp(QObject* Sender)
{
    const auto* button = dynamic_cast<forms::TCustomControl*>(Sender);
    if (!button)
        return;
    if (button->Tag == 1)
        timRF.SetEnabled(false);
    else if (button->Tag == 2)
        timFF.SetEnabled(false);
    lblPlay->setText(QStringLiteral("[ Playing ]"));
    FocusActiveList();
}

void TfrmMain::timRFTimer() { StepTimer(false); }
void TfrmMain::timFFTimer() { StepTimer(true); }

// One step of GaugeStep pixels from the gauge's position, never past either end of the track;
// at an end the step does nothing.
void TfrmMain::StepTimer(bool Forward)
{
    if (!DxSound)
        return;
    const int width = Gauge1->width();
    const int p = int(int64_t(Gauge1->Position()) * width / 100);
    if (Forward ? p >= width : p <= 0)
        return;
    DxSound->Seek(std::clamp(p + (Forward ? GaugeStep : -GaugeStep), 0, width), width);
    // The seek plays on and shows "[ Playing ]"; while the button is held it still steps.
    lblPlay->setText(Forward ? QStringLiteral("[ Forward ]") : QStringLiteral("[ Rewind ]"));
}

// ---------------------------------------------------------------- shuffle

// A uniform shuffle (Fisher-Yates) of the playlist's rows; with fewer than two rows the
// order stays. The rows themselves move, so their texts need no second reading.
void TfrmMain::do_ShuffleClick()
{
    TReentryGuard guard(busy_);
    if (!guard)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    forms::ProcessMessages();
    if (DxSound && DxSound->ListPlay())
        StopPlaying();
    std::vector<QTreeWidgetItem*> rows;
    while (lstFile->topLevelItemCount() > 0)
        rows.push_back(lstFile->takeTopLevelItem(0));
    for (int i = int(rows.size()) - 1; i > 0; --i)
        std::swap(rows[size_t(i)], rows[size_t(rtl::Random(i + 1))]);
    for (size_t i = 0; i < rows.size(); ++i) {
        rows[i]->setText(1, QString::number(i + 1));   // "No." follows the new order
        lstFile->addTopLevelItem(rows[i]);
    }
    QApplication::restoreOverrideCursor();
    FinishBusyStep();
}

void TfrmMain::do_AutoShuffle1Click()
{
    chkShuffle->SetChecked(!chkShuffle->Checked());
    do_AutoShuffle1->setChecked(chkShuffle->Checked());
    do_AutoShuffle2->setChecked(chkShuffle->Checked());
}

// ---------------------------------------------------------------- frequency and effects

void TfrmMain::trackFrequencyChange()
{
    if (DxSound)
        DxSound->SetFrequency(uint32_t(std::max(0, trackFrequency->Position())));
}

void TfrmMain::lblScaleDblClick() { trackFrequency->SetPosition(int32_t(trackFrequency->Tag)); }

void TfrmMain::FormKeyDown(int& Key, forms::TShiftState Shift)
{
    if (Shift == forms::ssCtrl && (Key == forms::VK_LEFT || Key == forms::VK_RIGHT)) {
        const int32_t before = trackFrequency->Position();
        trackFrequency->SetPosition(before + (Key == forms::VK_LEFT ? -FrequencyStep : FrequencyStep));
        if (trackFrequency->Position() != before)
            Key = 0;
    }
    if (DxSound)
        DxSound->UpdateLyricsAndMeter(true);
}

void TfrmMain::chkEchoClick()
{
    if (DxSound)
        DxSound->SetEcho(chkEcho->Checked());
}

void TfrmMain::chkReverbClick()
{
    if (DxSound)
        DxSound->SetReverb(chkReverb->Checked());
}

void TfrmMain::ckkChorusClick()
{
    if (DxSound)
        DxSound->SetChorus(ckkChorus->Checked());
}

void TfrmMain::chkFlangerClick()
{
    if (DxSound)
        DxSound->SetFlanger(chkFlanger->Checked());
}

void TfrmMain::chkEchoKeyDown() { lstMP3->setFocus(); }

// ---------------------------------------------------------------- display and blink timers

void TfrmMain::timDxTimerTimer()
{
    if (!DxSound || !visual_)
        return;
    DxSound->UpdatePlayPosition();
    const bool overlay = spdEffect->Tag != 0;
    if (!overlay)
        DrawLyricsPanel();
    if (DxSound->PlayStatus() != "pause" && pbxLeft->isVisible()) {
        pbxLeft->update();
        pbxRight->update();
    } else if (overlay) {
        visual_->PaintLeftParticles();
        visual_->PaintRightParticles();
    } else {
        visual_->PaintLeft();
        visual_->PaintRight();
    }
}

// A repaint starts from the pane's black panel, as the panel's erase did.
void TfrmMain::pbxLeftPaint()
{
    if (!visual_)
        return;
    pbxLeft->Canvas().Brush().SetColor(0);
    pbxLeft->Canvas().FillRect(gfx::Rect(0, 0, pbxLeft->width(), pbxLeft->height()));
    if (spdEffect->Tag == 1)
        visual_->PaintLeftParticles();
    else if (pbxLeft->isVisible())
        visual_->PaintLeft();
}

void TfrmMain::pbxRightPaint()
{
    if (!visual_)
        return;
    pbxRight->Canvas().Brush().SetColor(0);
    pbxRight->Canvas().FillRect(gfx::Rect(0, 0, pbxRight->width(), pbxRight->height()));
    if (spdEffect->Tag == 1)
        visual_->PaintRightParticles();
    else if (pbxRight->isVisible())
        visual_->PaintRight();
}

// "[ Playing ]" alternates blue and red.
void TfrmMain::timPlayTimer()
{
    SetFontColor(lblPlay, FontColor(lblPlay) != 0xFF0000 ? 0xFF0000 : 0x0000FF);
}

// The favourite's name blinks black and red during list play.
void TfrmMain::timListTimer()
{
    QLabel* label = lblFavorite->text().isEmpty() ? lblFavorite0 : lblFavorite;
    SetFontColor(label, FontColor(label) != 0 ? 0 : 0x0000FF);
}
