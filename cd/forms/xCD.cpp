#include "cd/forms/xCD.h"

#include "cd/forms/GridLook.h"
#include "cd/forms/PanelLook.h"
#include "cd/libYear.h"
#include "cd/forms/xCD2MP3.h"
#include "cd/forms/xCDDB.h"
#include "cd/forms/xVolume.h"
#include "platform/forms/Application.h"
#include "platform/gfx/DrawTools.h"
#include "tags/libID3Tag.h"
#include "util/MainWindowHost.h"
#include "util/libControl.h"
#include "util/libIni.h"
#include "util/libText.h"
#include "util/libWindows.h"

#include <QAction>
#include <QApplication>
#include <QFontMetrics>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>

#include <algorithm>
#include <cstdio>

TfrmCD* frmCD = nullptr;

namespace {

constexpr int HandCursor = 1;

const char* const HintDoorClose = "ＣＤドアクローズ";

std::string fmt(const char* format, int a, int b = 0)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, format, a, b);
    return buf;
}

std::string mmss(int ms) { return fmt("%2.2d:%2.2d", ms / 1000 / 60, ms / 1000 % 60); }

std::string text(const QLineEdit* e) { return e->text().toStdString(); }
void setText(QLineEdit* e, const std::string& s) { e->setText(QString::fromStdString(s)); }
void setCaption(QLabel* l, const std::string& s) { l->setText(QString::fromStdString(s)); }


// The grid as ClearGridRows works on it.
struct GridRows {
    controls::TStringGrid& g;
    int FixedRows() const { return g.FixedRows(); }
    int RowCount() const { return g.RowCount(); }
    int ColCount() const { return g.ColCount(); }
    void SetRowCount(int n) { g.SetRowCount(n); }
    void SetRow(int r) { g.SetRow(r); }
    void SetCell(int c, int r, const std::string& s) { g.SetCells(c, r, s); }
};

// The line the window shows for a disc image that gives no disc; empty when it did.
std::string imageFaultText(const cdio_disc::CueError& e)
{
    const std::string name = e.file.substr(e.file.rfind('/') + 1);
    switch (e.fault) {
    case cdio_disc::CueFault::MissingFile:
        return "ディスクイメージのファイルが見つかりません: " + e.file;
    case cdio_disc::CueFault::ShortFile:
        return "ディスクイメージのファイルが途中で切れています: " + e.file;
    case cdio_disc::CueFault::UnsupportedFile:
        return "再生できない形式のファイルです: " + e.file;
    case cdio_disc::CueFault::NoAudioTrack:
        return "音楽トラックがありません: " + name;
    case cdio_disc::CueFault::BadSheet:
        return "キューシートを読めません: " + name + (e.line > 0 ? " (" + std::to_string(e.line) + "行目)" : "");
    case cdio_disc::CueFault::None:
        break;
    }
    return {};
}

// A disc without titles: no track, or a track whose title is empty or a drive's stand-in.
bool unknownDisc(const TTOC& toc)
{
    if (toc.empty())
        return true;
    return std::any_of(toc.begin(), toc.end(), [](const TTOCEntry& e) {
        return e.Title.empty() || e.Title.find("AudioTrack") != std::string::npos;
    });
}

}  // namespace

TfrmCD::TfrmCD(QWidget* parent, std::shared_ptr<snd::SoundDevice> Sound, snd::TickSource& Ticks) : TForm(parent)
{
    setObjectName(QStringLiteral("frmCD"));
    SetCaption("ＣＤプレーヤー");
    CDPlayer1 = std::make_unique<TCDPlayer>(Ticks);
    CDPlayer1->SetSoundDevice(std::move(Sound));
    CDPlayer1->DisplayTimeMode = tfTotalElapsed;
    CDPlayer1->AfterInsert = [this](TCDPlayer*, const std::string&) { forms::RunGuarded([this] { CDPlayer1AfterInsert(); }); };
    CDPlayer1->AfterRemove = [this](TCDPlayer*, const std::string&) { forms::RunGuarded([this] { CDPlayer1AfterRemove(); }); };
    Handlers.Set(CDPlayer1->OnNotify, [](TCDPlayer*, TNotifyValues) {});  // CDPlayer1Notify: nothing to do
    MsgBoxEx = ::MsgBoxEx;
    OpenCddbWindow = [this] { ShowCddbWindow(this); };
    OpenVolumeWindow = [] {
        if (frmVolume)
            frmVolume->ShowModal();
    };
    createControls();
    Timer1.SetInterval(1000);
    Timer1.SetOnTimer([this] { Timer1Timer(); });
    OnCloseQuery = [this](QObject*, bool& canClose) { FormCloseQuery(canClose); };
    frmCD = this;
    DoCreate([this] { FormCreate(); });
}

TfrmCD::~TfrmCD()
{
    Handlers.Stop();  // the controls' going reaches no handler of this window
    destroying_ = true;
    Timer1.SetEnabled(false);
    forms::RunGuarded([this] { FormDestroy(); });
    if (frmCD == this)
        frmCD = nullptr;
}

// ---------------------------------------------------------------- life cycle

void TfrmCD::FormCreate()
{
    CentreOverMainWindow(this);
    AssignImeNames(this);
    SetChildShowHint(this, true);
    SetChildShowHint(pnlPlayer, true);
    ReplaceCursor(this, crHandPoint, HandCursor);
    chkRepeart->SetChecked(!IniBase.empty() && IniReadBool(IniBase, "CDPlayer", "CD_REPEAT", false));

    sgdTrack->SetColor(gfx::clBlack);
    sgdTrack->SetDefaultDrawing(false);
    sgdTrack->SetBorderStyle(controls::bsNone);
    sgdTrack->SetGridLineWidth(0);
    sgdTrack->SetScrollBars(controls::ssVertical);
    sgdTrack->SetOptions(controls::goRowSelect);
    sgdTrack->SetRowCount(1);
    sgdTrack->SetColCount(5);
    sgdTrack->SetFixedRows(0);
    sgdTrack->SetFixedCols(0);
    sgdTrack->SetDefaultRowHeight(GridRowHeight);
    const int widths[5] = {30, sgdTrack->width() - 120, 45, 45, 0};
    for (int c = 0; c < 5; ++c)
        sgdTrack->SetColWidths(c, widths[c]);

    sgdTitle->SetColor(gfx::clBlack);
    sgdTitle->SetDefaultDrawing(false);
    sgdTitle->SetBorderStyle(controls::bsNone);
    sgdTitle->SetGridLineWidth(0);
    sgdTitle->SetScrollBars(controls::ssVertical);
    sgdTitle->SetOptions(controls::goRowSelect);
    sgdTitle->SetColCount(2);
    sgdTitle->SetFixedRows(0);
    sgdTitle->SetFixedCols(0);
    sgdTitle->SetDefaultRowHeight(GridRowHeight);
    sgdTitle->SetColWidths(0, 30);
    sgdTitle->SetColWidths(1, sgdTitle->width() - 30);

    DiscPresent = false;
    Gauge1->SetPosition(0);
    Gauge2->SetPosition(0);
    CDPlayer1AfterRemove();
    Removed = false;
}

void TfrmCD::showEvent(QShowEvent* e)
{
    TForm::showEvent(e);
    forms::RunGuarded([this] { FormShow(); });
}

void TfrmCD::FormShow()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    struct Restore {
        ~Restore() { QApplication::restoreOverrideCursor(); }
    } restore;
    if (std::exchange(FirstShow, false) && !DiscPresent)
        CDPlayer1AfterInsert();
    if (DiscPresent)
        RefreshDisc(true);
}

void TfrmCD::FormCloseQuery(bool& CanClose)
{
    if (editing_) {
        CanClose = false;
        return;
    }
    if (busy_) {  // a waiting handler runs: the close follows once it has finished
        closePending_ = true;
        CanClose = false;
        return;
    }
    sbStopClick();
    Timer1.SetEnabled(false);
    if (!IniBase.empty())
        IniWriteBool(IniBase, "CDPlayer", "CD_REPEAT", chkRepeart->Checked() ? -1 : 0);
}

void TfrmCD::FormDestroy()
{
    sbStopClick();
    CDPlayer1->Close();
}

void TfrmCD::finishBusy()
{
    if (std::exchange(closePending_, false) && !destroying_)
        QTimer::singleShot(0, this, [this] { close(); });
}

// ---------------------------------------------------------------- disc

void TfrmCD::enableTransport(bool On)
{
    for (auto* b : {sbBack, sbPrev, sbPlay, sbStop, sbPause, sbStep, sbNext})
        b->SetEnabled(On);
}

void TfrmCD::showImageStatus()
{
    const std::string line = imageFaultText(CDPlayer1->ImageError());
    lblStatus->setText(QString::fromStdString(line));
    lblStatus->setVisible(!line.empty());
}

void TfrmCD::CDPlayer1AfterInsert()
{
    struct Status {
        TfrmCD* w;
        ~Status() { w->showImageStatus(); }  // also when the drive could not be opened
    } status{this};
    CDPlayer1->Reopen();
    DiscPresent = CDPlayer1->HasAudioDisc();
    if (!DiscPresent)
        showNoDisc();  // an image whose files went wrong under a disc that was shown
    enableTransport(DiscPresent);
    RefreshDisc(Removed && isVisible());
    Removed = false;
}

void TfrmCD::CDPlayer1AfterRemove()
{
    lblStatus->hide();
    Removed = true;
    showNoDisc();
    enableTransport(CDPlayer1->HasAudioDisc());
}

void TfrmCD::showNoDisc()
{
    PlayState = 0;
    DiscPresent = false;
    GridRows rows{*sgdTrack};
    ClearGridRows(rows, true);
    sgdTrack->SetRow(0);
    Gauge1->SetPosition(0);
    Gauge2->SetPosition(0);
    setCaption(lbGenre, "Genre:");
    setCaption(lblAlbum, "Album:");
    setCaption(lblArtist, "Artist:");
    setCaption(lblTrack, "Track: 0 of 0");
    setCaption(lblSerial, "SN:");
    setCaption(lblTime, "Time: 00:00 / 00:00");
    setCaption(lblTotal, "Total: 00:00 / 00:00");
    for (QLabel* l : {lbGenre, lblAlbum, lblArtist, lblTrack, lblSerial, lblTime, lblTotal})
        l->adjustSize();
    lblAlbum->move(lblArtist->x() + lblArtist->width() + 16, lblAlbum->y());
}

void TfrmCD::RefreshDisc(bool AskCddb)
{
    if (!DiscPresent)
        return;
    TCDPlayer& p = *CDPlayer1;
    cmbCategry->SetItems(CurrentTag.GenreList);
    setCaption(lblArtist, p.GetArtist().empty() ? "Unknown CD" : "Artist: " + p.GetArtist());
    setCaption(lblAlbum, p.GetTitle().empty() ? "Unknown" : "Album: " + p.GetTitle());
    const std::string genre = !p.GetGenre().empty() ? p.GetGenre() : !p.GetCategory().empty() ? p.GetCategory() : "???";
    setCaption(lbGenre, "Genre: " + genre);
    setCaption(lblSerial, "SN: " + fmt("%06X", int(p.GetMediaIdentity())));
    const TTOC& toc = p.TOC();
    const int count = int(toc.size());
    setCaption(lblTrack, fmt("Track 1 of %d", count));
    for (QLabel* l : {lbGenre, lblAlbum, lblArtist, lblTrack, lblSerial})
        l->adjustSize();
    lblAlbum->move(lblArtist->x() + lblArtist->width() + 16, lblAlbum->y());

    for (int i = 0; i < count; ++i) {
        const TTOCEntry& e = toc[size_t(i)];
        const std::string title = e.Title.empty() ? "Track " + std::to_string(i + 1) : e.Title;
        rtl::TStringList row;
        row.Add(fmt(" %2d.", i + 1));
        row.Add(TrimBlanksUtf8(title));
        row.Add(fmt("%2.2d:%2.2d", e.LengthMinute, e.LengthSecond));
        row.Add(fmt("%2.2d:%2.2d", e.StartMinute, e.StartSecond));
        row.Add(e.Note);
        sgdTrack->SetRows(i, row);
    }
    sgdTrack->SetRowCount(std::max(count, 1));
    sgdTrack->SetColWidths(1, sgdTrack->width() - 120 - (count > TrackGridRowsShown ? 22 : 0));

    p.DisplayTimeMode = tfTotalElapsed;
    TotalText = mmss(p.GetLengthMs());
    setCaption(lblTotal, "Total: 00:00 / " + TotalText);
    lblTotal->adjustSize();
    {
        const QSignalBlocker quiet(TracBar);
        TracBar->setMaximum(p.GetCurrentTrackLengthMs());
        TracBar->setValue(0);
    }
    Gauge1->SetMax(p.GetCurrentTrackLengthMs());
    Gauge1->SetPosition(0);
    Gauge2->SetMax(p.GetLengthMs());
    Gauge2->SetPosition(0);
    if (AskCddb && unknownDisc(toc))
        askCddbLater();
}

// The CDDB window comes after the event that asked for it (the window's showing) is over,
// over a window that is on the screen by then.
void TfrmCD::askCddbLater()
{
    QTimer::singleShot(0, this, [this] {
        if (isVisible() && DiscPresent)
            forms::RunGuarded([this] { spdCDDBClick(nullptr); });
    });
}

void TfrmCD::spdCDDBClick(QObject* Sender)
{
    if (!DiscPresent)
        return;
    if (Sender && MsgBoxEx(this, "確認", "ＣＤＤＢにアクセスをします。よろしいですか？", 1, "yn", "?") == forms::mrNo)
        return;
    if (OpenCddbWindow)
        OpenCddbWindow();
}

// ---------------------------------------------------------------- display and transport

bool TfrmCD::playing() { return CDPlayer1->GetMode() == cdmPlaying; }

bool TfrmCD::canTransport() const
{
    return DiscPresent && sgdTrack->Row() >= 0 && !sgdTrack->Cells(0, sgdTrack->Row()).empty();
}

void TfrmCD::Timer1Timer()
{
    if (playing()) {
        DisplayUpdate();
    } else if (PlayState == 1 && CDPlayer1->GetMode() == cdmStopped) {
        // The play ran to the disc's end between two ticks: show the end once, and with
        // repeat start again from track 1.
        PlayState = 0;
        DisplayUpdate();
    }
}

void TfrmCD::DisplayUpdate()
{
    TCDPlayer& p = *CDPlayer1;
    const int track = p.GetCurrentTrack();
    const int count = p.GetTrackCount();
    setCaption(lblTrack, "Track: " + std::to_string(track) + " of " + std::to_string(count));
    int m = 0, s = 0;
    p.DisplayTimeMode = tfTrackElapsed;
    p.GetDisplayTime(m, s);
    setCaption(lblTime, "Time: " + fmt("%2.2d:%2.2d", m, s) + " / " + sgdTrack->Cells(2, std::max(track - 1, 0)));
    p.DisplayTimeMode = tfTotalElapsed;
    p.GetDisplayTime(m, s);
    setCaption(lblTotal, "Total: " + fmt("%2.2d:%2.2d", m, s) + " / " + TotalText);
    for (QLabel* l : {lblTrack, lblTime, lblTotal})
        l->adjustSize();
    if (track >= 1 && track <= sgdTrack->RowCount())
        sgdTrack->SetRow(track - 1);
    {
        const QSignalBlocker quiet(TracBar);
        TracBar->setMaximum(p.GetCurrentTrackLengthMs());
        TracBar->setValue(p.GetTrackElapsedMs());
    }
    Gauge1->SetMax(TracBar->maximum());
    Gauge1->SetPosition(TracBar->value());
    Gauge2->SetPosition(p.GetPositionMs());
    if (Gauge2->Max() > 0 && Gauge2->Position() >= Gauge2->Max() && chkRepeart->Checked()) {
        p.Stop();
        sgdTrack->SetRow(0);
        p.SetTrack(1);
        sbPlayClick();
    }
}

void TfrmCD::sbPlayClick()
{
    if (!DiscPresent)
        CDPlayer1AfterInsert();
    if (!canTransport())
        return;
    PlayState = 1;
    CDPlayer1->Play();
    Timer1.SetEnabled(true);
}

void TfrmCD::sbPauseClick()
{
    if (!canTransport() || !playing())
        return;
    PlayState = 2;
    CDPlayer1->Pause();
}

void TfrmCD::sbStopClick()
{
    // Also from pause: a paused disc left behind a closed window would hold the drive.
    const int mode = CDPlayer1->GetMode();
    if (!canTransport() || (mode != cdmPlaying && mode != cdmPaused))
        return;
    CDPlayer1->Stop();
    PlayState = 0;
}

void TfrmCD::stepTrack(void (TCDPlayer::*Step)())
{
    if (!canTransport())
        return;
    ((*CDPlayer1).*Step)();
    if (!playing())
        DisplayUpdate();
}

void TfrmCD::sbPrevClick() { stepTrack(&TCDPlayer::Previous); }

void TfrmCD::sbNextClick() { stepTrack(&TCDPlayer::Next); }

void TfrmCD::seekTo(int Ms)
{
    // Delay lets events run: one seek at a time, and a close waits for it.
    TReentryGuard guard(busy_);
    if (!guard)
        return;
    QPointer<TfrmCD> self(this);
    CDPlayer1->Pause();
    Delay(50);
    if (!self || destroying_)
        return;
    {
        const QSignalBlocker quiet(TracBar);
        TracBar->setValue(std::clamp(Ms, 0, TracBar->maximum()));
    }
    CDPlayer1->SetPositionInTrack(TracBar->value());
    CDPlayer1->Play();
    finishBusy();
}

void TfrmCD::seekBy(int DeltaMs)
{
    if (!canTransport() || !playing())
        return;
    seekTo(TracBar->value() + DeltaMs);
}

void TfrmCD::sbBackClick() { seekBy(-10000); }

void TfrmCD::sbStepClick() { seekBy(10000); }

void TfrmCD::lblGaugeMouseDown(int X)
{
    if (!canTransport() || !playing() || lblGauge->width() <= 0)
        return;
    seekTo(int(int64_t(TracBar->maximum()) * X / lblGauge->width()));
}

void TfrmCD::TracBarChange()
{
    CDPlayer1->SetPositionInTrack(TracBar->value());
    if (PlayState == 1)
        CDPlayer1->Play();
}

void TfrmCD::sgdTrackDblClick()
{
    if (!canTransport())
        return;
    const bool wasPlaying = playing();
    if (wasPlaying)
        CDPlayer1->Stop();
    CDPlayer1->SetTrack(sgdTrack->Row() + 1);
    if (!wasPlaying)
        DisplayUpdate();
    sbPlayClick();
}

void TfrmCD::sgdTrackKeyDown(int& Key)
{
    switch (Key) {
    case forms::VK_RETURN:
        sgdTrackDblClick();
        Key = 0;
        break;
    case forms::VK_LEFT:
        sbBackClick();
        Key = 0;
        break;
    case forms::VK_RIGHT:
        sbStepClick();
        Key = 0;
        break;
    default:
        break;
    }
}

void TfrmCD::sbEjectClick()
{
    if (!Removed) {
        CDPlayer1->Eject();
        sbEject->SetHint(HintDoorClose);
    } else {
        CDPlayer1->CloseDoor();
        sbEject->SetHint(HintDoorOpen);
    }
}

void TfrmCD::spdVolumeClick()
{
    if (OpenVolumeWindow)
        OpenVolumeWindow();
}

void TfrmCD::spdMP3Click()
{
    const bool wasPlaying = playing();
    if (wasPlaying)
        sbPauseClick();
    if (OpenRipperWindow) {
        OpenRipperWindow();
    } else {
        TfrmMP3 ripper(this);
        ripper.ShowModal();
    }
    if (wasPlaying)
        sbPlayClick();
}

void TfrmCD::FormKeyDown(int& Key)
{
    if (Key != forms::VK_ESCAPE)
        return;
    Key = 0;
    if (editing_)
        spdOkClick(spdCan);
    else
        close();
}

// ---------------------------------------------------------------- grid drawing

void TfrmCD::drawCell(controls::TStringGrid* Grid, int Col, int Row, const gfx::TRect& Rect, bool Selected)
{
    static const char* const fonts[4] = {"ＭＳ ゴシック", "ＭＳ Ｐゴシック", "ＭＳ ゴシック", "ＭＳ ゴシック"};
    const TGridLook look{Grid == sgdTrack ? 4 : 2, fonts, ColumnColors, OutlineColor};
    DrawGridCell(*Grid, look, Col, Row, Rect, Selected);
}

// ---------------------------------------------------------------- edit mode

void TfrmCD::PopupMenu1Popup() { set_CDInfo->setEnabled(CDPlayer1->HasAudioDisc()); }

void TfrmCD::set_CDInfoClick()
{
    if (!CDPlayer1->HasAudioDisc())
        return;
    TCDPlayer& p = *CDPlayer1;
    SetImeAlphaMode(this);
    shown_ = {TrimBlanksUtf8(p.GetDate()), TrimBlanksUtf8(p.GetTitle()), TrimBlanksUtf8(p.GetArtist()),
              p.GetGenre().empty() ? p.GetCategory() : p.GetGenre()};
    setText(edtInp1, shown_.Date);
    setText(edtInp2, shown_.Title);
    setText(edtInp3, shown_.Artist);
    setText(edtInp4, shown_.Genre);
    const TTOC& toc = p.TOC();
    const int count = int(toc.size());
    sgdTitle->SetRowCount(std::max(count, 1));
    for (int i = 0; i < count; ++i) {
        sgdTitle->SetCells(0, i, fmt(" %2d.", i + 1));
        sgdTitle->SetCells(1, i, toc[size_t(i)].Title);
    }
    editing_ = true;
    pnlInfo->show();
    pnlInfo->raise();
    sgdTitle->SetRow(0);
    placeTitleEditor(0);
    if (!shown_.Date.empty() && !shown_.Title.empty() && !shown_.Artist.empty() && !shown_.Genre.empty())
        edtTitle->setFocus();
    else
        edtInp1->setFocus();
}

void TfrmCD::placeTitleEditor(int Row)
{
    titleRow_ = std::clamp(Row, 0, sgdTitle->RowCount() - 1);
    if (sgdTitle->Row() != titleRow_)
        sgdTitle->SetRow(titleRow_);
    const gfx::TRect r = sgdTitle->CellRect(1, titleRow_);
    const int width = sgdTitle->ColWidths(1) - (sgdTitle->RowCount() > TitleGridRowsShown ? 23 : 0);
    // The editor keeps the height its font needs, centred on the row.
    const int height = std::max(QFontMetrics(edtTitle->font()).height() + 6, GridRowHeight);
    pnlTitle->setGeometry(r.Left, r.Top - (height - GridRowHeight) / 2, std::max(width, 1), height);
    edtTitle->setGeometry(0, 0, pnlTitle->width(), height);
    edtTitle->setText(QString::fromStdString(sgdTitle->Cells(1, titleRow_)));
    pnlTitle->setVisible(r.Bottom > r.Top);
}

void TfrmCD::storeTitle()
{
    if (editing_)
        sgdTitle->SetCells(1, titleRow_, TrimBlanksUtf8(text(edtTitle)));
}

void TfrmCD::edtTitleExit() { storeTitle(); }

bool TfrmCD::edtTitleKeyDown(int Key)
{
    if (Key != forms::VK_RETURN && Key != forms::VK_DOWN && Key != forms::VK_UP)
        return false;
    storeTitle();
    int index = titleRow_;
    std::uint16_t key = std::uint16_t(Key);
    bool down = false;
    RowNavigateKey(0, sgdTitle->RowCount() - 1, index, key, down);
    if (key != 0)
        placeTitleEditor(index);
    edtTitle->setFocus();
    return true;
}

void TfrmCD::sgdTitleMouseDown(int X, int Y)
{
    int col = -1, row = -1;
    sgdTitle->MouseToCell(X, Y, col, row);
    storeTitle();
    if (row >= 0) {
        placeTitleEditor(row);
        edtTitle->setFocus();
    }
}

void TfrmCD::sgdTitleEnter()
{
    placeTitleEditor(sgdTitle->Row());
    edtTitle->setFocus();
}

void TfrmCD::edtInpExit(controls::TFlatEdit* Edit)
{
    std::string s = TrimBlanksUtf8(text(Edit));
    if (Edit == edtInp1)
        s = NormalizeDate(s);
    if (s != text(Edit))
        setText(Edit, s);
}

bool TfrmCD::edtInp1KeyPress(QObject* Sender, const QString& Text)
{
    if (Text.isEmpty())
        return false;
    const QChar ch = Text.front();
    if (ch.unicode() == 13 || ch.unicode() == 27)
        return true;  // swallowed: no beep, no default button
    if (Sender != edtInp1 || ch.unicode() < 32)
        return false;
    return !(ch == QLatin1Char(' ') || (ch >= QLatin1Char('/') && ch <= QLatin1Char('9')));
}

void TfrmCD::focusTag(int Tag)
{
    for (auto* e : {edtInp1, edtInp2, edtInp3, edtInp4})
        if (e->property("Tag").toInt() == Tag) {
            e->setFocus();
            return;
        }
    if (Tag == sgdTitle->Tag) {
        storeTitle();
        placeTitleEditor(0);
        edtTitle->setFocus();
    }
}

bool TfrmCD::edtInpKeyDown(QObject* Sender, int Key)
{
    if (Key != forms::VK_RETURN && Key != forms::VK_DOWN && Key != forms::VK_UP)
        return false;
    auto* edit = static_cast<controls::TFlatEdit*>(Sender);
    edtInpExit(edit);
    int index = edit->property("Tag").toInt();
    std::uint16_t key = std::uint16_t(Key);
    bool down = false;
    RowNavigateKey(101, 105, index, key, down);
    if (key != 0)
        focusTag(index);
    return true;
}

void TfrmCD::cmbCategryEnter()
{
    const std::vector<std::string> items = cmbCategry->Items();
    const auto it = std::find(items.begin(), items.end(), text(edtInp4));
    if (it != items.end())
        cmbCategry->SetItemIndex(int(it - items.begin()));
}

void TfrmCD::cmbCategryChange() { edtInp4->setText(cmbCategry->currentText()); }

bool TfrmCD::edited()
{
    storeTitle();
    for (auto* e : {edtInp1, edtInp2, edtInp3, edtInp4})
        edtInpExit(e);
    if (text(edtInp1) != shown_.Date || text(edtInp2) != shown_.Title || text(edtInp3) != shown_.Artist ||
        text(edtInp4) != shown_.Genre)
        return true;
    const TTOC& toc = CDPlayer1->TOC();
    for (size_t i = 0; i < toc.size(); ++i)
        if (sgdTitle->Cells(1, int(i)) != toc[i].Title)
            return true;
    return false;
}

void TfrmCD::spdOkClick(QObject* Sender)
{
    if (!editing_)
        return;
    if (!edited()) {
        leaveEditMode();
        return;
    }
    if (Sender == spdOk) {
        const int answer = MsgBoxEx(this, "ＣＤ情報", "データが編集されています！！\r登録してもよろしいですか？", 1, "ync", "?");
        if (answer == forms::mrCancel)
            return;
        if (answer == forms::mrYes) {
            std::vector<std::string> titles;
            for (size_t i = 0; i < CDPlayer1->TOC().size(); ++i)
                titles.push_back(sgdTitle->Cells(1, int(i)));
            CDPlayer1->WriteCdPlayerIni(CDPlayer1->GetMediaIdentity(), text(edtInp3), text(edtInp2), text(edtInp1),
                                        text(edtInp4), CDPlayer1->GetCategory(), titles);
            RefreshDisc(false);
        }
        leaveEditMode();
        return;
    }
    if (MsgBoxEx(this, "ＣＤ情報", "データが編集されています！！\r終了してもよろしいですか？", 2, "yn", "?") != forms::mrNo)
        leaveEditMode();
}

void TfrmCD::leaveEditMode()
{
    editing_ = false;
    pnlTitle->hide();
    pnlInfo->hide();
    sgdTrack->setFocus();
}

// ---------------------------------------------------------------- keys

void TfrmCD::keyPressEvent(QKeyEvent* e)
{
    int key = forms::VirtualKey(e->key());
    if (key == forms::VK_ESCAPE) {
        forms::RunGuarded([&] { FormKeyDown(key); });
        return;
    }
    TForm::keyPressEvent(e);
}

bool TfrmCD::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::FocusIn && watched == cmbCategry)
        forms::RunGuarded([this] { cmbCategryEnter(); });
    if (e->type() != QEvent::KeyPress)
        return TForm::eventFilter(watched, e);
    auto* k = static_cast<QKeyEvent*>(e);
    int key = forms::VirtualKey(k->key());
    bool used = false;
    forms::RunGuarded([&] {
        if (key == forms::VK_ESCAPE) {
            FormKeyDown(key);
            used = true;
        } else if (watched == edtTitle) {
            used = edtTitleKeyDown(key);
        } else if (watched == edtInp1 || watched == edtInp2 || watched == edtInp3 || watched == edtInp4) {
            used = edtInpKeyDown(watched, key) || edtInp1KeyPress(watched, k->text());
        }
    });
    return used || TForm::eventFilter(watched, e);
}
